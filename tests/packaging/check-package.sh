#!/usr/bin/env bash
# Checks the desktop integration and the Debian package of a build, without
# installing anything on the machine:
#   check-package.sh validate SOURCE_DIR             the launcher and the metainfo
#   check-package.sh staging SOURCE_DIR BUILD_DIR    an install lists exactly the expected files
#   check-package.sh deb SOURCE_DIR BUILD_DIR        the package's contents and dependencies,
#                                                    lintian finds nothing, the manual page
#                                                    renders cleanly, apt would install it, and
#                                                    the program unpacked from it starts from
#                                                    its menu entry
# Installing it for real is scripts/try-package, for a throwaway system.
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
  # Packed under a umask that would show in it.
  (cd "$work" && umask 077 && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
  deb=$(ls "$work"/chiamoro_*.deb)
  dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's:^\.::' | sort > "$work/contents"
  diff -u "$expected" "$work/contents"
  depends=$(dpkg-deb --field "$deb" Depends)
  echo "Depends: $depends"
  for library in libqt6widgets6 libqt6printsupport6 libxlsxwriter4 libc6 fonts-liberation; do
    grep -q "$library" <<<"$depends" || { echo "missing dependency $library"; exit 1; }
  done

  # The same package from every build of a commit: each file and control file
  # dated with the build's one time, the folders rwxr-xr-x, the members of the
  # .deb rw-r--r--.
  epoch=$(sed -n 's/^set(CPACK_CHIAMORO_SOURCE_DATE_EPOCH "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
  when=$(date -u -d "@$epoch" '+%F %T')
  times=$(for part in --ctrl-tarfile --fsys-tarfile; do
            dpkg-deb $part "$deb" | TZ=UTC tar -tv --full-time | awk '{print $4 " " $5}'
          done | sort -u)
  [ "$times" = "$when" ] || { echo "the package's files are dated $times, not $when"; exit 1; }
  if dpkg-deb --contents "$deb" | grep '^d' | grep -v '^drwxr-xr-x root/root '; then
    echo "folders not rwxr-xr-x root"; exit 1
  fi
  if ar tv "$deb" | grep -v '^rw-r--r-- 0/0 '; then echo "members of the .deb not rw-r--r-- root"; exit 1; fi

  # Debian's own checker, warnings included; every tag it shows is printed.
  lintian --fail-on warning --display-info "$deb"

  # apt finds everything the package needs (it only simulates: nothing is installed).
  if ! apt-get install --simulate --no-install-recommends "$deb" >"$work/apt.log" 2>&1; then
    cat "$work/apt.log"
    echo "apt would not install the package"
    exit 1
  fi
  grep -q '^Inst chiamoro ' "$work/apt.log" || { cat "$work/apt.log"; exit 1; }

  dpkg-deb -x "$deb" "$work/root"

  # The manual page renders without a single warning.
  warnings=$(zcat "$work/root/usr/share/man/man1/chiamoro.1.gz" | groff -man -ww -z 2>&1)
  [ -z "$warnings" ] || { echo "the manual page has warnings: $warnings"; exit 1; }

  # Unpacked into a folder of its own and started as a menu would.
  launcher="$work/root/usr/share/applications/it.chiamoro.Chiamoro.desktop"
  desktop-file-validate "$launcher"
  PATH="$work/root/usr/bin:$PATH" "$source/tests/packaging/start-from-launcher.sh" "$launcher" "$work/home"
  echo "contents and dependencies as expected; lintian and groff clean; apt would install it; started from its menu entry"
  ;;
esac
