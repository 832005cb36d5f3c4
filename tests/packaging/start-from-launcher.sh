#!/usr/bin/env bash
# Starts the program as a desktop menu would, on a private X server: the
# launcher's command with no file (its field codes, %F and the like, dropped),
# from HOME as the current folder. Succeeds when its window
# shows an empty phone book and "Chiamoro.DAT" has been made in HOME.
#
#   start-from-launcher.sh LAUNCHER.desktop HOME
set -euo pipefail
launcher=$1
export HOME=$2
command=$(sed -n 's/^Exec=//p' "$launcher" | sed 's/ *%[fFuU]//g')
mkdir -p "$HOME"
cd "$HOME"
# The socket through which a second start would hand files to the window.
export XDG_RUNTIME_DIR=$HOME/runtime
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
# An X server of its own, on a display it picks itself (-displayfd), so that
# no other test's server can take the number between choosing and starting.
display_file=$(mktemp)
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1024x768x24 3>"$display_file" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -f "$display_file"' EXIT
for _ in $(seq 200); do [ -s "$display_file" ] && break; sleep 0.05; done
[ -s "$display_file" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n 1 "$display_file")"
$command &
pid=$!
found=1
for _ in $(seq 100); do
  if xdotool search --name '^Record  1/ 1$' >/dev/null 2>&1; then found=0; break; fi
  sleep 0.1
done
kill $pid 2>/dev/null || true
wait $pid 2>/dev/null || true
if [ $found -ne 0 ]; then
  echo "\"$command\" showed no window titled \"Record  1/ 1\""
  exit 1
fi
test -f "$HOME/Chiamoro.DAT" || { echo "the program did not make its file in the home folder"; exit 1; }
