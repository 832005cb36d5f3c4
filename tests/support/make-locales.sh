#!/usr/bin/env bash
# Compiles the locales the tests format dates under into a folder of the
# tests' own, which they find through LOCPATH; the machine's locales and /etc
# stay as they are, and no root is needed.
#
#   make-locales.sh DIR
#
# it_IT.UTF-8, and ko_KR.EUC-KR, whose dates hold non-ASCII text in a legacy
# multibyte encoding. A locale already in DIR is kept.
set -euo pipefail
dir=${1:?folder}

[ -d /usr/share/i18n/locales ] || {
    echo "make-locales.sh: the locale sources are missing: install locales (scripts/install-deps scripts/packages-test.txt)" >&2
    exit 1
}
mkdir -p "$dir"
for wanted in it_IT.UTF-8 ko_KR.EUC-KR; do
    [ -f "$dir/$wanted/LC_TIME" ] && continue
    # Compiled beside its place and moved in whole, so that an interrupted run
    # leaves nothing half-made.
    rm -rf "$dir/$wanted.new"
    localedef -i "${wanted%%.*}" -f "${wanted#*.}" "$dir/$wanted.new"
    rm -rf "$dir/$wanted"
    mv "$dir/$wanted.new" "$dir/$wanted"
done
ls "$dir"
