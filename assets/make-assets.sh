#!/bin/sh
# Regenerates every picture in assets/ from its sources:
#   chiamoro.svg     -> icons/{32,48,64,128}/chiamoro.png   (rsvg-convert)
#   src/maps/*.txt   -> pointers (.cur/.ico), icons/16/chiamoro.png
#   src/handset.py   -> handset.gif
#   icons + map      -> chiamoro.ico
# Needs python3 (standard library only) and rsvg-convert (Debian: librsvg2-bin).
# Running it again gives byte-identical files.
set -eu
cd "$(dirname "$0")"

if ! command -v rsvg-convert >/dev/null 2>&1; then
    echo "make-assets.sh: rsvg-convert not found (apt-get install librsvg2-bin)" >&2
    exit 1
fi

for size in 32 48 64 128; do
    mkdir -p "icons/$size"
    rsvg-convert -w "$size" -h "$size" -f png -o "icons/$size/chiamoro.png" chiamoro.svg
done

python3 -B src/build.py
python3 -B src/check.py
