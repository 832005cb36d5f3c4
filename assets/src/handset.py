"""Draws handset.gif: an old-style mobile telephone, 100 x 200 pixels.

The picture is built from flat shapes without anti-aliasing, so the only
colours are the ones listed in PALETTE; everything outside the telephone is
the key colour (magenta), which the GIF marks as its transparent colour.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pixfmt  # noqa: E402

W, H = 100, 200

PALETTE = {
    "key": (255, 0, 255),      # transparent
    "line": (16, 18, 22),      # outlines
    "body": (60, 68, 80),
    "body_hi": (92, 102, 118),
    "body_lo": (40, 46, 56),
    "face": (74, 83, 97),
    "grille": (24, 27, 32),
    "bezel": (30, 34, 40),
    "lcd": (166, 196, 98),
    "lcd_lo": (134, 164, 72),
    "ink": (38, 52, 22),
    "key_top": (214, 218, 226),
    "key_lo": (150, 156, 168),
    "key_ink": (28, 32, 40),
    "nav": (176, 182, 194),
    "call": (52, 168, 72),
    "call_lo": (30, 110, 44),
    "end": (214, 48, 40),
    "end_lo": (140, 26, 22),
    "white": (245, 245, 245),
    "antenna": (34, 36, 42),
    "antenna_hi": (84, 88, 98),
}

# 3 x 5 digits for the keys and the clock on the display
FONT = {
    "0": ["###", "#.#", "#.#", "#.#", "###"],
    "1": [".#.", "##.", ".#.", ".#.", "###"],
    "2": ["###", "..#", "###", "#..", "###"],
    "3": ["###", "..#", ".##", "..#", "###"],
    "4": ["#.#", "#.#", "###", "..#", "..#"],
    "5": ["###", "#..", "###", "..#", "###"],
    "6": ["###", "#..", "###", "#.#", "###"],
    "7": ["###", "..#", ".#.", ".#.", ".#."],
    "8": ["###", "#.#", "###", "#.#", "###"],
    "9": ["###", "#.#", "###", "..#", "###"],
    "*": ["#.#", ".#.", "###", ".#.", "#.#"],
    "#": ["#.#", "###", "#.#", "###", "#.#"],
    ":": ["...", ".#.", "...", ".#.", "..."],
}


class Picture:
    def __init__(self):
        self.px = [["key"] * W for _ in range(H)]

    def set(self, x, y, c):
        if 0 <= x < W and 0 <= y < H:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def round_rect(self, x0, y0, x1, y1, r, c, edge=None):
        """Filled rectangle with quarter-circle corners (tested at pixel
        centres); with edge, its own 1-pixel border gets that colour."""
        def inside(x, y):
            if not (x0 <= x <= x1 and y0 <= y <= y1):
                return False
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            return (x - cx) ** 2 + (y - cy) ** 2 <= r * r + 0.25 * r
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                if inside(x, y):
                    border = edge and not all(inside(x + a, y + b) for a, b in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                    self.set(x, y, edge if border else c)

    def ellipse(self, cx, cy, rx, ry, c):
        for y in range(int(cy - ry) - 1, int(cy + ry) + 2):
            for x in range(int(cx - rx) - 1, int(cx + rx) + 2):
                if ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0:
                    self.set(x, y, c)

    def text(self, x, y, s, c):
        for ch in s:
            for dy, line in enumerate(FONT[ch]):
                for dx, p in enumerate(line):
                    if p == "#":
                        self.set(x + dx, y + dy, c)
            x += 4

    def outline(self, c):
        """Every drawn pixel that touches the background becomes an outline."""
        edge = []
        for y in range(H):
            for x in range(W):
                if self.px[y][x] == "key":
                    continue
                for a, b in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                    nx, ny = x + a, y + b
                    if not (0 <= nx < W and 0 <= ny < H) or self.px[ny][nx] == "key":
                        edge.append((x, y))
                        break
        for x, y in edge:
            self.px[y][x] = c


def key(p, x, y, w, h, top, lo, label=None, ink="key_ink"):
    p.round_rect(x, y, x + w - 1, y + h - 1, 3, lo, edge="line")
    p.round_rect(x + 1, y + 1, x + w - 2, y + h - 4, 2, top)
    if label:
        p.text(x + (w - (4 * len(label) - 1)) // 2, y + (h - 3 - 5) // 2 + 1, label, ink)


def draw():
    p = Picture()
    # stub antenna on the top right
    p.round_rect(66, 2, 78, 44, 6, "antenna")
    p.rect(69, 6, 70, 40, "antenna_hi")
    p.rect(63, 34, 81, 44, "body_lo")
    # body with a light left side and a dark right side
    p.round_rect(12, 30, 87, 197, 17, "body_lo")
    p.round_rect(12, 30, 84, 195, 16, "body")
    p.round_rect(14, 32, 40, 192, 14, "body_hi")
    p.round_rect(16, 33, 83, 193, 14, "body")
    # front plate
    p.round_rect(18, 36, 81, 190, 12, "face", edge="line")
    # earpiece grille
    p.round_rect(38, 42, 61, 50, 4, "grille")
    for y in (44, 46, 48):
        p.rect(41, y, 58, y, "face")
    # display
    p.round_rect(23, 55, 76, 100, 5, "bezel")
    p.rect(28, 60, 71, 95, "lcd")
    p.rect(28, 60, 71, 61, "lcd_lo")
    p.rect(28, 60, 29, 95, "lcd_lo")
    for i, hgt in enumerate((2, 4, 6, 8)):          # signal strength
        p.rect(32 + 3 * i, 72 - hgt, 33 + 3 * i, 72, "ink")
    p.rect(60, 64, 68, 68, "ink")                    # battery
    p.rect(61, 65, 63, 67, "lcd")
    p.rect(69, 65, 69, 67, "ink")
    p.text(41, 76, "12:30", "ink")
    p.rect(32, 86, 67, 86, "ink")                    # a menu bar
    p.rect(32, 89, 44, 91, "ink")
    p.rect(55, 89, 67, 91, "ink")
    # call and end keys, navigation key between them
    key(p, 22, 105, 18, 12, "call", "call_lo")
    p.rect(28, 109, 33, 110, "white")
    key(p, 60, 105, 18, 12, "end", "end_lo")
    p.rect(66, 109, 71, 110, "white")
    p.ellipse(49.5, 111, 8.5, 7, "line")
    p.ellipse(49.5, 110.5, 7.5, 5.8, "nav")
    p.rect(46, 108, 53, 108, "key_lo")
    p.rect(46, 113, 53, 113, "key_lo")
    # keypad
    labels = ["123", "456", "789", "*0#"]
    for r, row in enumerate(labels):
        for c, ch in enumerate(row):
            key(p, 21 + 21 * c, 124 + 15 * r, 17, 12, "key_top", "key_lo", ch)
    # microphone
    for x in (45, 49, 53):
        p.rect(x, 183, x + 1, 184, "grille")
    p.outline("line")
    return p


def main(out):
    p = draw()
    names = list(PALETTE)
    used = {c for row in p.px for c in row}
    names = [n for n in names if n in used or n == "key"]
    index = {n: i for i, n in enumerate(names)}
    rows = [[index[c] for c in row] for row in p.px]
    pixfmt.write_gif(out, [PALETTE[n] for n in names], rows, index["key"])


if __name__ == "__main__":
    main(sys.argv[1])
