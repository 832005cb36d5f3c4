#!/usr/bin/env bash
# Starts the program as a desktop menu would, on a private X server: the
# launcher's command, from HOME as the current folder. Succeeds when its window
# shows an empty phone book and "Chiamoro.DAT" has been made in HOME.
#
#   start-from-launcher.sh LAUNCHER.desktop HOME
set -euo pipefail
launcher=$1
export HOME=$2
command=$(sed -n 's/^Exec=//p' "$launcher")
mkdir -p "$HOME"
cd "$HOME"
if ! xvfb-run -a sh -c "$command & pid=\$!
    for i in \$(seq 100); do xdotool search --name '^Record  1/ 1\$' >/dev/null 2>&1 && break; sleep 0.1; done
    xdotool search --name '^Record  1/ 1\$' >/dev/null; found=\$?; kill \$pid; exit \$found"; then
  echo "\"$command\" showed no window titled \"Record  1/ 1\""
  exit 1
fi
test -f "$HOME/Chiamoro.DAT" || { echo "the program did not make its file in the home folder"; exit 1; }
