#!/usr/bin/env bash
# A private CUPS scheduler for the printing tests, run as the invoking user from
# a folder of its own: configuration, spool, state, logs and backend all live
# there. The machine's scheduler, its printers and /etc are never touched; a
# client reaches this one only through CUPS_SERVER=SOCKET.
#
#   print-server.sh start DIR SOCKET [QUEUE...]
#       starts a fresh scheduler listening on SOCKET (an earlier one of DIR is
#       stopped and DIR emptied first) and adds each QUEUE, given as NAME or
#       NAME:OPTION[:OPTION...], where OPTION is
#         default   the server's default destination
#         reject    the queue does not accept jobs (cupsreject)
#         hold      the queue accepts jobs but does not print them (cupsdisable)
#       Every queue is raw: the document a program sends arrives unchanged as
#       the file DIR/jobs/NAME-JOBID, written whole once the job is done.
#   print-server.sh stop DIR
#       stops the scheduler of DIR and removes DIR and its socket.
set -euo pipefail
# The tools' answers are read below, in their own words.
export LC_ALL=C

readonly sbin=/usr/sbin
readonly here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

fail() {
    echo "print-server.sh: $*" >&2
    exit 1
}

# Stops the scheduler of DIR, if it still runs.
stop_server() {
    local dir=$1 pid
    if [ -f "$dir/cupsd.pid" ]; then
        pid=$(cat "$dir/cupsd.pid")
        if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = cupsd ]; then
            kill "$pid"
            for _ in $(seq 200); do
                [ -d "/proc/$pid" ] || break
                sleep 0.05
            done
            if [ -d "/proc/$pid" ]; then kill -9 "$pid"; fi
        fi
    fi
    if [ -f "$dir/socket" ]; then rm -f "$(cat "$dir/socket")"; fi
    rm -rf "$dir"
}

answers() {
    CUPS_SERVER=$1 /usr/bin/lpstat -r 2>/dev/null | grep -qx "scheduler is running"
}

start_server() {
    local dir=$1 socket=$2
    shift 2
    for tool in "$sbin/cupsd" "$sbin/lpadmin" "$sbin/cupsreject" "$sbin/cupsdisable" /usr/bin/lpstat; do
        [ -x "$tool" ] || fail "$tool is missing: install cups-daemon and cups-client (scripts/install-deps scripts/packages-test.txt)"
    done
    stop_server "$dir"
    mkdir -p "$dir"/{etc,spool/tmp,cache,state,log,jobs,bin/backend,bin/filter,data/mime,data/banners}
    dir=$(cd "$dir" && pwd)
    echo "$socket" >"$dir/socket"
    ln -s /usr/lib/cups/daemon "$dir/bin/daemon"
    # The file types but no conversions: documents go to the queues as they are.
    ln -s /usr/share/cups/mime/mime.types "$dir/data/mime/mime.types"
    # Not world-executable: it runs with the scheduler's own rights, also when
    # the scheduler runs as root.
    install -m 0700 "$here/print-backend.sh" "$dir/bin/backend/chiamoro-test"

    local run_as=""
    if [ "$(id -u)" -ne 0 ]; then
        run_as=$(printf 'User %s\nGroup %s\nSystemGroup %s' "$(id -un)" "$(id -gn)" "$(id -gn)")
    fi
    cat >"$dir/etc/cups-files.conf" <<CONF
ServerRoot $dir/etc
ServerBin $dir/bin
DataDir $dir/data
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
$run_as
CONF
    cat >"$dir/etc/cupsd.conf" <<CONF
Listen $socket
Browsing No
WebInterface No
DefaultAuthType None
LogLevel warn
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order allow,deny
    Allow all
  </Limit>
</Policy>
CONF
    rm -f "$socket"
    setsid "$sbin/cupsd" -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" \
        </dev/null >>"$dir/log/cupsd.out" 2>&1 &
    echo $! >"$dir/cupsd.pid"
    for _ in $(seq 200); do
        answers "$socket" && break
        [ -d "/proc/$(cat "$dir/cupsd.pid")" ] ||
            fail "cupsd ended at once: $(cat "$dir/log/cupsd.out" "$dir/log/error_log" 2>/dev/null)"
        sleep 0.05
    done
    answers "$socket" || fail "cupsd does not answer on $socket; its logs are in $dir/log"

    export CUPS_SERVER=$socket
    local queue name
    for queue in "$@"; do
        name=${queue%%:*}
        # A raw queue needs no driver (lpadmin says such queues are deprecated).
        "$sbin/lpadmin" -p "$name" -v "chiamoro-test:$dir/jobs" -m raw -E 2>&1 |
            { grep -v "Raw queues are deprecated" >&2 || true; }
        /usr/bin/lpstat -v "$name" >/dev/null || fail "could not add the queue $name"
        case ":$queue:" in *:default:*) "$sbin/lpadmin" -d "$name" ;; esac
        case ":$queue:" in *:reject:*) "$sbin/cupsreject" "$name" ;; esac
        case ":$queue:" in *:hold:*) "$sbin/cupsdisable" "$name" ;; esac
    done
    echo "print server on $socket"
    /usr/bin/lpstat -a 2>/dev/null || true
}

case ${1:-} in
start) start_server "${2:?folder}" "${3:?socket}" "${@:4}" ;;
stop) stop_server "${2:?folder}" ;;
*) fail "usage: print-server.sh start DIR SOCKET [QUEUE...] | stop DIR" ;;
esac
