#!/usr/bin/env bash
# A private CardDAV server for the sync's tests: Xandikos, run as the invoking
# user on 127.0.0.1, its address books in a folder of its own. Nothing of the
# machine is touched; a client reaches it at the URL in DIR/url.
#
#   carddav-server.sh start DIR
#       starts a fresh server (an earlier one of DIR is stopped and DIR
#       emptied first) on a free port, and writes DIR/url, the address book
#       "http://127.0.0.1:PORT/user/contacts/addressbook/".
#   carddav-server.sh stop DIR
#       stops the server of DIR and removes DIR.
set -euo pipefail
export LC_ALL=C

fail() {
    echo "carddav-server.sh: $*" >&2
    exit 1
}

stop_server() {
    local dir=$1 pid
    if [ -f "$dir/pid" ]; then
        pid=$(cat "$dir/pid")
        if grep -q xandikos "/proc/$pid/cmdline" 2>/dev/null; then
            kill "$pid"
            for _ in $(seq 100); do
                [ -d "/proc/$pid" ] || break
                sleep 0.05
            done
            if [ -d "/proc/$pid" ]; then kill -9 "$pid"; fi
        fi
    fi
    rm -rf "$dir"
}

# A port nobody listens on now; the server may still lose it to another
# program before it binds, in which case the next try takes another.
free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

start_server() {
    local dir=$1 port url
    command -v xandikos >/dev/null || fail "xandikos is missing (scripts/packages-test.txt)"
    stop_server "$dir"
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    for _ in 1 2 3; do
        port=$(free_port)
        url="http://127.0.0.1:$port/user/contacts/addressbook/"
        setsid xandikos --defaults -d "$dir/data" -l 127.0.0.1 -p "$port" \
            </dev/null >>"$dir/xandikos.log" 2>&1 &
        echo $! >"$dir/pid"
        for _ in $(seq 200); do
            if curl -sf -o /dev/null -X PROPFIND -H "Depth: 0" "$url"; then
                echo "$url" >"$dir/url"
                echo "CardDAV server at $url"
                return 0
            fi
            [ -d "/proc/$(cat "$dir/pid")" ] || break
            sleep 0.05
        done
        kill "$(cat "$dir/pid")" 2>/dev/null || true
    done
    fail "xandikos does not answer; its log: $(cat "$dir/xandikos.log")"
}

case ${1:-} in
start) start_server "${2:?folder}" ;;
stop) stop_server "${2:?folder}" ;;
*) fail "usage: carddav-server.sh start DIR | stop DIR" ;;
esac
