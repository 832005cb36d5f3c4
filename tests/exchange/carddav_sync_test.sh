#!/usr/bin/env bash
# End to end: the phone book kept in step with a CardDAV address book (a
# private Xandikos, see tests/support/carddav-server.sh) through vdirsyncer's
# folder, as the README's timer does it: a contact put on the server reaches
# the phone book, an edit goes back with the card's EMAIL and PHOTO intact, a
# deletion goes each way, a conflict keeps both versions, and an emptied side
# is refused.
#
#   carddav_sync_test.sh PROGRAM SERVER_DIR
set -uo pipefail
export LC_ALL=C.UTF-8

program=$(realpath "$1")
url=$(cat "$2/url")
work=$(mktemp -d "${TMPDIR:-/tmp}/chiamoro-carddav.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0

check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAILED: $what" >&2
        failures=$((failures + 1))
    fi
}

# --- The server, through HTTP ----------------------------------------------

put() { curl -sf -o /dev/null -X PUT -H 'Content-Type: text/vcard' --data-binary "@$2" "$url$1.vcf"; }
get() { curl -sf "$url$1.vcf"; }
remove() { curl -sf -o /dev/null -X DELETE "$url$1.vcf"; }
# The cards on the server, one a line, as their text.
server_cards() {
    curl -sf -X PROPFIND -H 'Depth: 1' "$url" | grep -o '[^/<>]*\.vcf' | sort -u |
        while read -r name; do curl -sf "$url$name" | tr -d '\r'; done
}
server_count() { server_cards | grep -c '^BEGIN:VCARD'; }

# --- The phone book and the two syncs ------------------------------------------

record() { printf '%-40s%-40s%-100s' "$1" "$2" "${3:-}"; }
book_has() { grep -q -- "$1" Chiamoro.DAT; }
book_count() { echo $(($(stat -c %s Chiamoro.DAT) / 180)); }
vdir() { vdirsyncer -c config "$@" >>vdirsyncer.log 2>&1; }
chiamoro() { "$program" --sincronizza cartella "$@" 2>>chiamoro.log; }

mkdir -p cartella stato
cat >config <<CONF
[general]
status_path = "$work/stato/"

[pair rubrica]
a = "telefono"
b = "cartella"
collections = null

[storage telefono]
type = "carddav"
url = "$url"
username = "prova"
password = "prova"

[storage cartella]
type = "filesystem"
path = "$work/cartella/"
fileext = ".vcf"
CONF
vdir discover || { cat vdirsyncer.log >&2; exit 1; }

photo='PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAgGBgcGBQgHBwcJCQgKDBQNDAsLDBkSEw8UHR'
cat >anna.vcf <<CARD
BEGIN:VCARD
VERSION:3.0
UID:anna-verdi
FN:Anna Verdi
N:Verdi;Anna;;;
TEL;TYPE=CELL:+39 333 1111111
EMAIL;TYPE=INTERNET:anna@example.org
$photo
 8fHh0iLCM8OTM1OTI2Nj5AQEBFRkc=
END:VCARD
CARD

# A contact put on the server reaches the phone book. (Carla stays on both
# sides throughout: vdirsyncer refuses to sync a side emptied.)
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nUID:carla\r\nFN:Carla\r\nTEL:02 3\r\nEND:VCARD\r\n' >carla.vcf
put carla carla.vcf
vdir sync && chiamoro
put anna-verdi anna.vcf
vdir sync && chiamoro
check "a contact put on the server reaches the phone book" book_has "Anna Verdi"
carla=$(record "02 3" "Carla")

# An edit in the phone book reaches the server, its EMAIL and PHOTO intact.
{ echo -n "$carla" && record "+39 333 1111111" "Anna Verdi" "vista ieri" &&
    record "06 2222222" "Bruno Neri"; } >Chiamoro.DAT
chiamoro && vdir sync
anna=$(get anna-verdi | tr -d '\r')
check "the edit is on the server" grep -q '^NOTE:vista ieri$' <<<"$anna"
check "its EMAIL is intact" grep -q '^EMAIL;TYPE=INTERNET:anna@example.org$' <<<"$anna"
check "its PHOTO is intact" grep -qF "$photo"$'\n'" 8fHh0iLCM8OTM1OTI2Nj5AQEBFRkc=" <<<"$anna"
check "a contact new in the phone book is on the server" grep -q '^FN:Bruno Neri$' <(server_cards)

# A deletion in the phone book removes the card from the server.
{ echo -n "$carla" && record "+39 333 1111111" "Anna Verdi" "vista ieri"; } >Chiamoro.DAT
chiamoro && vdir sync
check "a deletion in the phone book reaches the server" test "$(server_count)" -eq 2

# A deletion on the server removes the record.
remove anna-verdi
vdir sync && chiamoro
check "a deletion on the server reaches the phone book" test "$(book_count)" -eq 1

# Changed on both sides: both versions are kept, on both sides.
sed 's/+39 333 1111111/+39 333 9999999/; s/anna-verdi/anna-2/' anna.vcf >anna2.vcf
put anna-2 anna2.vcf
vdir sync && chiamoro
{ echo -n "$carla" && record "+39 333 9999999" "Anna Verdi" "dal telefono fisso"; } >Chiamoro.DAT
sed 's/+39 333 9999999/+39 333 5555555/' anna2.vcf >anna3.vcf
put anna-2 anna3.vcf
vdir sync && chiamoro && vdir sync
check "a conflict is reported" grep -q "conflitto: \"Anna Verdi\"" chiamoro.log
check "both versions are in the phone book" test "$(grep -o "Anna Verdi" Chiamoro.DAT | wc -l)" -eq 2
check "both versions are on the server" test "$(server_cards | grep -c '^FN:Anna Verdi$')" -eq 2

# An emptied side is refused, and nothing changes.
book=$(cat Chiamoro.DAT)
mkdir -p smontata && mv cartella/*.vcf smontata/
check "an emptied folder is refused" test "$(chiamoro; echo $?)" -eq 1
check "the phone book is as it was" test "$(cat Chiamoro.DAT)" = "$book"
mv smontata/*.vcf cartella/
: >Chiamoro.DAT
check "an emptied phone book is refused" test "$(chiamoro; echo $?)" -eq 1
vdir sync
check "the server keeps its contacts" test "$(server_count)" -eq 3
check "with --conferma-vuota it goes through" test "$(chiamoro --conferma-vuota; echo $?)" -eq 0

if [ "$failures" -gt 0 ]; then
    echo "--- chiamoro:" >&2
    cat chiamoro.log >&2
    echo "--- vdirsyncer:" >&2
    cat vdirsyncer.log >&2
    exit 1
fi
