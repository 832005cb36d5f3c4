#!/usr/bin/env bash
# Generates the locales the output tests format dates under: it_IT.UTF-8, and
# ko_KR.EUC-KR, whose date and time hold non-ASCII text in a legacy multibyte
# encoding. Needs root to generate; exits with 77 (skip) when a locale is
# missing and cannot be generated.
set -euo pipefail

wanted=("it_IT.UTF-8 UTF-8" "ko_KR.EUC-KR EUC-KR")

have() {
    # locale -a spells them it_IT.utf8, ko_KR.euckr
    local name=${1%% *}
    local short
    short=$(echo "$name" | tr 'A-Z' 'a-z' | tr -d '-')
    locale -a 2>/dev/null | tr 'A-Z' 'a-z' | tr -d '-' | grep -qx "${short}"
}

missing=()
for entry in "${wanted[@]}"; do
    have "$entry" || missing+=("$entry")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ] || ! command -v locale-gen >/dev/null; then
    echo "SKIP: locales missing (${missing[*]}) and cannot be generated here (needs root and locales)"
    exit 77
fi
for entry in "${missing[@]}"; do
    if grep -Eq "^# *${entry}\$" /etc/locale.gen; then
        sed -i -E "s/^# *${entry}\$/${entry}/" /etc/locale.gen
    elif ! grep -qx "${entry}" /etc/locale.gen; then
        echo "${entry}" >>/etc/locale.gen
    fi
done
locale-gen
