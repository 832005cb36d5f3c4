"""Checks the generated pictures: sizes, colour depths and hot spots, read
straight from the file headers."""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ASSETS = os.path.dirname(HERE)

# file: (resource type, [(width, height, bits per pixel), ...], hot spot or None)
EXPECTED = {
    "chiamoro.ico": (1, [(16, 16, 8), (32, 32, 4), (32, 32, 8)], None),
    "book.ico": (1, [(32, 32, 4), (16, 16, 4)], None),
    "letter.ico": (1, [(32, 32, 4)], None),
    "stop.ico": (1, [(32, 32, 4), (16, 16, 4)], None),
    "hand.cur": (2, [(32, 32, 4)], (12, 1)),
    "arrow-up-right.cur": (2, [(32, 32, 1)], (12, 0)),
    "arrow-up-left.cur": (2, [(32, 32, 1)], (0, 0)),
    "pen.cur": (2, [(32, 32, 4)], (5, 12)),
    "move.cur": (2, [(32, 32, 4)], (10, 10)),
}


def check_icon(name, kind, images, hot):
    with open(os.path.join(ASSETS, name), "rb") as f:
        data = f.read()
    reserved, rtype, count = struct.unpack("<HHH", data[:6])
    assert reserved == 0 and rtype == kind, (name, rtype)
    assert count == len(images), (name, count)
    if hot:
        x, y = struct.unpack("<HH", data[10:14])
        assert (x, y) == hot, (name, "hot spot", x, y)
        # the hot spot must sit on a drawn pixel, not on the transparent part
        _, _, _, _, _, _, _, off = struct.unpack("<BBBBHHII", data[6:22])
        w, h, bpp = images[0]
        ncol = 1 << bpp
        xor_stride = ((w * bpp + 31) // 32) * 4
        and_stride = ((w + 31) // 32) * 4
        mask = off + 40 + 4 * ncol + xor_stride * h
        byte = data[mask + (h - 1 - y) * and_stride + (x >> 3)]
        assert not (byte & (0x80 >> (x & 7))), (name, "hot spot on a transparent pixel")
    for i, (w, h, bpp) in enumerate(images):
        bw, bh, ncol, _, f1, f2, size, off = struct.unpack("<BBBBHHII", data[6 + 16 * i:22 + 16 * i])
        assert (bw, bh) == (w, h), (name, i, bw, bh)
        assert ncol == ((1 << bpp) if bpp < 8 else 0), (name, i, "colour count", ncol)
        if kind == 1:
            assert (f1, f2) == (1, bpp), (name, i, "planes/bitcount", f1, f2)
        hsize, hw, hh, planes, hbpp = struct.unpack("<IiiHH", data[off:off + 16])
        assert (hsize, hw, hh, planes, hbpp) == (40, w, 2 * h, 1, bpp), (name, i, hsize, hw, hh, planes, hbpp)
        assert off + size <= len(data)
    return "%-20s %d image(s) %s%s" % (name, count, ", ".join("%dx%d@%dbpp" % im for im in images),
                                        " hot spot %d,%d" % hot if hot else "")


def check_gif(name, w, h):
    with open(os.path.join(ASSETS, name), "rb") as f:
        data = f.read()
    assert data[:6] == b"GIF89a", name
    gw, gh, flags = struct.unpack("<HHB", data[6:11])
    assert (gw, gh) == (w, h), (name, gw, gh)
    ncol = 2 << (flags & 7)
    gce = data[13 + 3 * ncol:]
    assert gce[:3] == b"\x21\xf9\x04" and gce[3] & 1, (name, "no transparent colour")
    assert data.count(b"\x2c\x00\x00\x00\x00") >= 1
    return "%-20s %dx%d, %d-colour table, transparent index %d" % (name, w, h, ncol, gce[6])


def check_png(path, w, h):
    with open(os.path.join(ASSETS, path), "rb") as f:
        data = f.read(33)
    pw, ph, depth, ctype = struct.unpack(">IIBB", data[16:26])
    assert (pw, ph, depth, ctype) == (w, h, 8, 6), (path, pw, ph, depth, ctype)
    return "%-24s %dx%d RGBA" % (path, w, h)


def main():
    report = [check_icon(n, *e) for n, e in EXPECTED.items()]
    report.append(check_gif("handset.gif", 100, 200))
    for s in (16, 32, 48, 64, 128):
        report.append(check_png("icons/%d/chiamoro.png" % s, s, s))
    with open(os.path.join(ASSETS, "pointers.txt")) as f:
        listed = {l.split()[0]: (int(l.split()[1]), int(l.split()[2]))
                  for l in f if l.strip() and not l.startswith("#")}
    for n, (_, _, hot) in EXPECTED.items():
        if n == "chiamoro.ico":
            continue
        assert listed[n] == (hot or (16, 16)), (n, listed.get(n))
    print("\n".join(report))
    print("all pictures check out")


if __name__ == "__main__":
    try:
        main()
    except AssertionError as e:
        print("check failed:", e, file=sys.stderr)
        sys.exit(1)
