#!/bin/sh
# A CUPS backend for the tests: each job's document, as the scheduler hands it
# over, becomes a file in the folder the device URI names
# (chiamoro-test:/FOLDER), called QUEUE-JOBID, written whole or not at all.
if [ $# -eq 0 ]; then
    echo 'direct chiamoro-test "Unknown" "Chiamoro test printer"'
    exit 0
fi
folder=${DEVICE_URI#chiamoro-test:}
target="$folder/$PRINTER-$1"
if [ $# -ge 6 ]; then
    cp "$6" "$target.part" || exit 1
else
    cat >"$target.part" || exit 1
fi
mv "$target.part" "$target"
