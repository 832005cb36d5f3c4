#!/usr/bin/env bash
# Print servers for the printing tests.
#
#   cups-fixture.sh start-default STATE   the machine's CUPS server, running, with a
#                                         cups-pdf printer "PDF" as the server default
#                                         writing into STATE/pdf
#   cups-fixture.sh stop-default STATE    undoes what start-default changed
#   cups-fixture.sh start-empty STATE     a second, private CUPS server without any
#                                         printer, listening on STATE/empty/cups.sock
#   cups-fixture.sh stop-empty STATE      stops it
#
# Needs root (the server, lpadmin and /etc/cups); exits with 77 (skip) otherwise.
# Every step may run again on top of an earlier, possibly interrupted, run.
set -euo pipefail

readonly skip=77
action=${1:?action}
state=${2:?state folder}

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: the print server tests need root (they start cupsd and add a printer)"
    exit "$skip"
fi
for tool in /usr/sbin/cupsd lpadmin lpstat; do
    command -v "$tool" >/dev/null || {
        echo "missing $tool: run scripts/install-deps scripts/packages-test.txt" >&2
        exit 1
    }
done
[ -f /usr/lib/cups/backend/cups-pdf ] || {
    echo "missing the cups-pdf backend: install printer-driver-cups-pdf" >&2
    exit 1
}

# Whether the scheduler answers, through the given server (empty: the default).
# lpstat -r exits with 0 either way; only its words tell.
running() {
    local server=$1
    if [ -n "$server" ]; then
        CUPS_SERVER=$server lpstat -r 2>/dev/null | grep -qx "scheduler is running"
    else
        lpstat -r 2>/dev/null | grep -qx "scheduler is running"
    fi
}

wait_ready() {
    local server=$1
    for _ in $(seq 300); do
        if running "$server"; then
            return 0
        fi
        sleep 0.05
    done
    echo "cupsd ${server:-(default)} did not come up; see $state" >&2
    return 1
}

# Stops a server this script started, by the process id it recorded.
stop_pid_file() {
    local pid_file=$1
    [ -f "$pid_file" ] || return 0
    local pid
    pid=$(cat "$pid_file")
    if kill -0 "$pid" 2>/dev/null && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = cupsd ]; then
        kill "$pid"
        for _ in $(seq 200); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
    fi
    rm -f "$pid_file"
}

conf=/etc/cups/cups-pdf.conf

# Sets "Key value" in cups-pdf.conf, replacing an active or commented-out line.
set_pdf_key() {
    local key=$1 value=$2
    if grep -Eq "^#?${key}[[:space:]]" "$conf"; then
        sed -i -E "s|^#?${key}[[:space:]].*|${key} ${value}|" "$conf"
    else
        echo "${key} ${value}" >>"$conf"
    fi
}

start_default() {
    mkdir -p "$state/pdf"
    # cups-pdf writes as the job's user (or "nobody"): let anyone write there.
    chmod 1777 "$state/pdf"
    chmod 755 "$state"

    if ! running ""; then
        mkdir -p /run/cups
        setsid /usr/sbin/cupsd -f </dev/null >>"$state/cupsd.log" 2>&1 &
        echo $! >"$state/cupsd.pid"
        wait_ready ""
    fi

    [ -f "$state/cups-pdf.conf.orig" ] || cp -p "$conf" "$state/cups-pdf.conf.orig"
    set_pdf_key Out "$state/pdf"

    # Without pdftocairo the PDF holds Type 3 fonts that pdftotext cannot read;
    # TitlePref names the file after the job's title.
    if ! lpstat -p PDF >/dev/null 2>&1; then
        lpadmin -p PDF -v cups-pdf:/ -E -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd \
            -o pdftops-renderer-default=pdftocairo -o TitlePref=1
        touch "$state/printer-added"
    else
        lpadmin -p PDF -o pdftops-renderer-default=pdftocairo -o TitlePref=1
    fi
    if [ ! -f "$state/previous-default" ]; then
        lpstat -d 2>/dev/null | sed -n 's/^system default destination: //p' >"$state/previous-default"
    fi
    lpadmin -d PDF
    cupsenable PDF
    cupsaccept PDF
    lpstat -d
}

stop_default() {
    if [ -f "$state/printer-added" ]; then
        lpadmin -x PDF || true
        rm -f "$state/printer-added"
    fi
    if [ -f "$state/previous-default" ]; then
        local previous
        previous=$(cat "$state/previous-default")
        if [ -n "$previous" ] && lpstat -p "$previous" >/dev/null 2>&1; then
            lpadmin -d "$previous" || true
        fi
        rm -f "$state/previous-default"
    fi
    if [ -f "$state/cups-pdf.conf.orig" ]; then
        cp -p "$state/cups-pdf.conf.orig" "$conf"
        rm -f "$state/cups-pdf.conf.orig"
    fi
    stop_pid_file "$state/cupsd.pid"
    rm -rf "$state/pdf" "$state/cupsd.log"
    rmdir "$state" 2>/dev/null || true
}

start_empty() {
    local root=$state/empty
    stop_pid_file "$root/cupsd.pid"
    rm -rf "$root"
    mkdir -p "$root/etc" "$root/spool/tmp" "$root/cache" "$root/state" "$root/log"
    chmod 755 "$state" "$root"
    cat >"$root/etc/cups-files.conf" <<EOF
ServerRoot $root/etc
RequestRoot $root/spool
TempDir $root/spool/tmp
CacheDir $root/cache
StateDir $root/state
AccessLog $root/log/access_log
ErrorLog $root/log/error_log
PageLog $root/log/page_log
EOF
    cat >"$root/etc/cupsd.conf" <<EOF
Listen $root/cups.sock
Browsing No
WebInterface No
<Location />
  Order allow,deny
  Allow all
</Location>
EOF
    setsid /usr/sbin/cupsd -f -c "$root/etc/cupsd.conf" -s "$root/etc/cups-files.conf" \
        </dev/null >>"$root/log/cupsd.out" 2>&1 &
    echo $! >"$root/cupsd.pid"
    wait_ready "$root/cups.sock"
    echo "empty print server on $root/cups.sock"
}

stop_empty() {
    stop_pid_file "$state/empty/cupsd.pid"
    rm -rf "$state/empty"
    rmdir "$state" 2>/dev/null || true
}

mkdir -p "$state"
case $action in
start-default) start_default ;;
stop-default) stop_default ;;
start-empty) start_empty ;;
stop-empty) stop_empty ;;
*)
    echo "unknown action $action" >&2
    exit 2
    ;;
esac
