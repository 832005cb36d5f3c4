"""Builds Chiamoro's pictures from the sources in this folder.

Run through ../make-assets.sh, which first renders chiamoro.svg into
icons/<size>/chiamoro.png for the sizes 32 to 128 with rsvg-convert.

Writes, relative to the assets folder:
  icons/16/chiamoro.png   hand-drawn small window icon (maps/chiamoro-16.txt)
  chiamoro.ico            16x16 256 colours, 32x32 16 colours, 32x32 256 colours
  handset.gif             the telephone on the main window (handset.py)
  *.cur, *.ico            the button pointers (maps/*.txt)
  pointers.txt            name and hot spot of every pointer file
"""

import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import handset  # noqa: E402
import pixfmt  # noqa: E402

ASSETS = os.path.dirname(HERE)
MAPS = os.path.join(HERE, "maps")

# file name, [(map, bits per pixel), ...]; .cur files take the hot spot from
# their (first) map, .ico pointers are hot in the middle.
POINTERS = [
    ("book.ico", [("book-32", 4), ("book-16", 4)]),
    ("hand.cur", [("hand", 4)]),
    ("letter.ico", [("letter", 4)]),
    ("arrow-up-right.cur", [("arrow-up-right", 1)]),
    ("arrow-up-left.cur", [("arrow-up-left", 1)]),
    ("pen.cur", [("pen", 4)]),
    ("move.cur", [("move", 4)]),
    ("stop.ico", [("stop-32", 4), ("stop-16", 4)]),
]


def out(*parts):
    return os.path.join(ASSETS, *parts)


def load(name):
    return pixfmt.read_map(os.path.join(MAPS, name + ".txt"))


def build_pointers():
    lines = []
    for fname, images in POINTERS:
        entries = []
        hot = None
        for i, (mapname, bpp) in enumerate(images):
            rgba, h = load(mapname)
            if i == 0:
                hot = h
            palette, rows = pixfmt.to_indexed(rgba, 1 << bpp)
            entries.append((palette, rows, bpp))
        if fname.endswith(".cur"):
            if hot is None:
                raise ValueError(fname + ": its map has no hot spot")
            pixfmt.write_icon(out(fname), entries, hotspot=hot)
        else:
            size = len(entries[0][1])
            hot = (size // 2, size // 2)
            pixfmt.write_icon(out(fname), entries)
        lines.append("%s %d %d" % (fname, hot[0], hot[1]))
    with open(out("pointers.txt"), "w") as f:
        f.write("# pointer file, hot spot x y (.ico files are hot in their middle)\n")
        f.write("\n".join(lines) + "\n")


def build_window_icon():
    small, _ = load("chiamoro-16")
    os.makedirs(out("icons", "16"), exist_ok=True)
    pixfmt.write_png(out("icons", "16", "chiamoro.png"), small)
    big = pixfmt.read_png(out("icons", "32", "chiamoro.png"))
    if len(big) != 32 or len(big[0]) != 32:
        raise ValueError("icons/32/chiamoro.png must be 32 x 32")
    # the flat colours of the drawing come first when colours must be dropped
    with open(out("chiamoro.svg")) as f:
        seeds = [pixfmt.hexcolour(c) for c in re.findall(r'(?:fill|stroke)="#([0-9a-fA-F]{6})"', f.read())]
    p16, r16 = pixfmt.to_indexed(small, 256)
    p32a, r32a = pixfmt.quantize(big, 16, seeds)
    p32b, r32b = pixfmt.quantize(big, 256, seeds)
    pixfmt.write_icon(out("chiamoro.ico"), [(p16, r16, 8), (p32a, r32a, 4), (p32b, r32b, 8)])


def main():
    build_pointers()
    build_window_icon()
    handset.main(out("handset.gif"))


if __name__ == "__main__":
    main()
