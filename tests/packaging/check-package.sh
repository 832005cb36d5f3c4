#!/usr/bin/env bash
# Checks the desktop integration and the Debian package of a build:
#   check-package.sh validate SOURCE_DIR             the launcher and the metainfo
#   check-package.sh staging SOURCE_DIR BUILD_DIR    an install lists exactly the expected files
#   check-package.sh deb SOURCE_DIR BUILD_DIR        the package builds, installs with apt,
#                                                    its menu entry starts the program, it removes cleanly
set -euo pipefail
what=$1 source=$2 build=${3:-}
expected="$source/tests/packaging/expected-files.txt"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

case "$what" in
validate)
  desktop-file-validate "$source"/packaging/*.desktop
  appstreamcli validate --no-net "$source"/packaging/*.metainfo.xml
  # The one id, used the same way everywhere.
  id=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$source"/packaging/*.metainfo.xml)
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$source"/packaging/$id.metainfo.xml
  grep -qx "Icon=$id" "$source/packaging/$id.desktop"
  ;;
staging)
  DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >/dev/null
  (cd "$work/stage" && find . -type f -o -type l | sed 's:^\.::' | sort) > "$work/installed"
  diff -u "$expected" "$work/installed"
  ;;
deb)
  (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
  deb=$(ls "$work"/chiamoro_*.deb)
  dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's:^\.::' | sort > "$work/contents"
  diff -u "$expected" "$work/contents"
  depends=$(dpkg-deb --field "$deb" Depends)
  echo "Depends: $depends"
  for library in libqt6widgets6 libqt6printsupport6 libc6 fonts-liberation; do
    grep -q "$library" <<<"$depends" || { echo "missing dependency $library"; exit 1; }
  done

  if [ "$(id -u)" -ne 0 ]; then
    echo "not root: the package was built but not installed"
    exit 77
  fi
  if dpkg-query -W -f='${Status}' chiamoro 2>/dev/null | grep -q 'install ok installed'; then
    echo "chiamoro is already installed on this machine; not touching it"
    exit 77
  fi
  trap 'apt-get remove -y -qq chiamoro >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
  desktop-file-validate /usr/share/applications/it.chiamoro.Chiamoro.desktop

  # Start it as a menu would: the launcher's command, from the user's home.
  export HOME="$work/home"
  mkdir -p "$HOME"
  command=$(sed -n 's/^Exec=//p' /usr/share/applications/it.chiamoro.Chiamoro.desktop)
  (cd "$HOME" && exec xvfb-run -a sh -c "$command & pid=\$!; \
      for i in \$(seq 100); do xdotool search --name '^Record  1/ 1\$' >/dev/null 2>&1 && break; sleep 0.1; done; \
      xdotool search --name '^Record  1/ 1\$' >/dev/null; found=\$?; kill \$pid; exit \$found")
  test -f "$HOME/Chiamoro.DAT" || { echo "the program did not open its file in the home folder"; exit 1; }

  DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq chiamoro >/dev/null
  for file in $(cat "$expected"); do
    if [ -e "$file" ]; then echo "left behind: $file"; exit 1; fi
  done
  echo "installed, started from the menu entry, removed"
  ;;
esac
