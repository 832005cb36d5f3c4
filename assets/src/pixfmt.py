"""Small, dependency-free image writers used to build Chiamoro's pictures.

Everything here works on plain Python lists:
  * an RGBA picture is a list of rows, each row a list of (r, g, b, a) tuples;
  * an indexed picture is (palette, rows) where rows hold palette indices and
    None stands for a transparent pixel.

Formats written: PNG (RGBA), GIF89a (one frame, one transparent colour),
ICO and CUR (BMP images with an AND mask, 1, 4 or 8 bits per pixel).
PNG reading covers what rsvg-convert writes (8-bit RGB / RGBA).
"""

import struct
import zlib

# --------------------------------------------------------------------- PNG

def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, rgba_rows):
    h = len(rgba_rows)
    w = len(rgba_rows[0])
    raw = bytearray()
    for row in rgba_rows:
        raw.append(0)
        for px in row:
            raw.extend(px)
    data = (b"\x89PNG\r\n\x1a\n"
            + _chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
            + _chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + _chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(data)


def read_png(path):
    """Reads a non-interlaced 8-bit RGB or RGBA PNG into RGBA rows."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(path + ": not a PNG")
    pos = 8
    idat = bytearray()
    w = h = ctype = None
    while pos < len(data):
        n, = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + n]
        pos += 12 + n
        if kind == b"IHDR":
            w, h, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or ctype not in (2, 6) or interlace:
                raise ValueError(path + ": only 8-bit RGB/RGBA, not interlaced")
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    bpp = 4 if ctype == 6 else 3
    raw = zlib.decompress(bytes(idat))
    stride = w * bpp
    prev = bytearray(stride)
    rows = []
    p = 0
    for _ in range(h):
        ft = raw[p]
        line = bytearray(raw[p + 1:p + 1 + stride])
        p += 1 + stride
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if ft == 1:
                line[i] = (line[i] + a) & 255
            elif ft == 2:
                line[i] = (line[i] + b) & 255
            elif ft == 3:
                line[i] = (line[i] + ((a + b) >> 1)) & 255
            elif ft == 4:
                pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
                pr = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pr) & 255
        prev = line
        if bpp == 4:
            rows.append([tuple(line[i:i + 4]) for i in range(0, stride, 4)])
        else:
            rows.append([tuple(line[i:i + 3]) + (255,) for i in range(0, stride, 3)])
    return rows

# --------------------------------------------------------------------- GIF

def _lzw(indices, min_size):
    clear = 1 << min_size
    eoi = clear + 1
    out = bytearray()
    acc = 0
    nbits = 0

    def emit(code, size):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(acc & 255)
            acc >>= 8
            nbits -= 8

    def fresh():
        return {bytes([i]): i for i in range(clear)}

    table = fresh()
    size = min_size + 1
    nxt = eoi + 1
    emit(clear, size)
    w = b""
    for k in indices:
        wk = w + bytes([k])
        if wk in table:
            w = wk
            continue
        emit(table[w], size)
        if nxt < 4096:
            table[wk] = nxt
            nxt += 1
            if nxt > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear, size)
            table = fresh()
            size = min_size + 1
            nxt = eoi + 1
        w = bytes([k])
    if w:
        emit(table[w], size)
    emit(eoi, size)
    if nbits:
        out.append(acc & 255)
    return bytes(out)


def write_gif(path, palette, rows, transparent_index):
    """One-frame GIF89a; palette is a list of (r, g, b), rows hold indices."""
    h = len(rows)
    w = len(rows[0])
    bits = 1
    while (1 << bits) < len(palette):
        bits += 1
    table = list(palette) + [(0, 0, 0)] * ((1 << bits) - len(palette))
    min_size = max(2, bits)
    flat = [i for row in rows for i in row]
    lzw = _lzw(flat, min_size)
    data = bytearray(b"GIF89a")
    data += struct.pack("<HHBBB", w, h, 0x80 | (bits - 1) | ((bits - 1) << 4), transparent_index, 0)
    for c in table:
        data += bytes(c)
    data += b"\x21\xf9\x04" + struct.pack("<BHB", 0x01, 0, transparent_index) + b"\x00"
    data += b"\x2c" + struct.pack("<HHHHB", 0, 0, w, h, 0)
    data.append(min_size)
    for i in range(0, len(lzw), 255):
        block = lzw[i:i + 255]
        data.append(len(block))
        data += block
    data += b"\x00\x3b"
    with open(path, "wb") as f:
        f.write(bytes(data))

# ------------------------------------------------------------- ICO / CUR

def _bmp_entry(palette, rows, bpp):
    """DIB as stored in ICO/CUR: header with doubled height, XOR bitmap, AND mask.
    Transparent pixels (None) get palette index 0, which must be black."""
    h = len(rows)
    w = len(rows[0])
    ncol = 1 << bpp
    if len(palette) > ncol:
        raise ValueError("%d colours do not fit in %d bits" % (len(palette), bpp))
    if tuple(palette[0]) != (0, 0, 0):
        raise ValueError("palette index 0 must be black (used under the mask)")
    pal = list(palette) + [(0, 0, 0)] * (ncol - len(palette))
    xor_stride = ((w * bpp + 31) // 32) * 4
    and_stride = ((w + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(xor_stride)
        mline = bytearray(and_stride)
        for x, idx in enumerate(row):
            if idx is None:
                mline[x >> 3] |= 0x80 >> (x & 7)
                idx = 0
            if bpp == 8:
                line[x] = idx
            elif bpp == 4:
                line[x >> 1] |= idx << (4 if x % 2 == 0 else 0)
            elif bpp == 1:
                line[x >> 3] |= idx << (7 - (x & 7))
        xor += line
        mask += mline
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bpp, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    body = bytearray(header)
    for r, g, b in pal:
        body += bytes((b, g, r, 0))
    return bytes(body + xor + mask)


def write_icon(path, images, hotspot=None):
    """images: list of (palette, rows, bpp). With a hotspot (x, y) a CUR is
    written (type 2, hot spot in the directory entry), otherwise an ICO."""
    kind = 2 if hotspot else 1
    entries = []
    blobs = []
    offset = 6 + 16 * len(images)
    for palette, rows, bpp in images:
        h = len(rows)
        w = len(rows[0])
        blob = _bmp_entry(palette, rows, bpp)
        count = (1 << bpp) if bpp < 8 else 0
        if hotspot:
            f1, f2 = hotspot
        else:
            f1, f2 = 1, bpp
        entries.append(struct.pack("<BBBBHHII", w & 255, h & 255, count, 0,
                                   f1, f2, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, kind, len(images)))
        for e in entries:
            f.write(e)
        for b in blobs:
            f.write(b)

# ---------------------------------------------------------- pixel maps

def hexcolour(text):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


def read_map(path):
    """Reads a hand-drawn pixel map.

    Format: lines 'size W H', optional 'hotspot X Y', 'colour C RRGGBB' for
    each letter used, then 'map' and H rows of W characters; '.' is
    transparent. '#' starts a comment line (outside the map rows)."""
    colours = {}
    size = hot = None
    rows = []
    in_map = False
    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if in_map:
                if line.strip() == "":
                    continue
                rows.append(line.strip())
                continue
            if not line.strip() or line.startswith("#"):
                continue
            words = line.split()
            if words[0] == "size":
                size = (int(words[1]), int(words[2]))
            elif words[0] == "hotspot":
                hot = (int(words[1]), int(words[2]))
            elif words[0] == "colour":
                colours[words[1]] = hexcolour(words[2])
            elif words[0] == "map":
                in_map = True
    w, h = size
    if len(rows) != h or any(len(r) != w for r in rows):
        bad = [i for i, r in enumerate(rows) if len(r) != w]
        raise ValueError("%s: map must be %dx%d (rows %d, bad rows %s)" % (path, w, h, len(rows), bad))
    rgba = []
    for r in rows:
        out = []
        for ch in r:
            if ch == ".":
                out.append((0, 0, 0, 0))
            else:
                out.append(colours[ch] + (255,))
        rgba.append(out)
    return rgba, hot


def to_indexed(rgba, max_colours):
    """Exact palette (black first) for a picture with few colours; alpha < 128
    is transparent."""
    palette = [(0, 0, 0)]
    lookup = {(0, 0, 0): 0}
    rows = []
    for row in rgba:
        out = []
        for r, g, b, a in row:
            if a < 128:
                out.append(None)
                continue
            c = (r, g, b)
            if c not in lookup:
                lookup[c] = len(palette)
                palette.append(c)
            out.append(lookup[c])
        rows.append(out)
    if len(palette) > max_colours:
        raise ValueError("%d colours, at most %d allowed" % (len(palette), max_colours))
    return palette, rows


def quantize(rgba, max_colours, seeds=()):
    """Reduces a picture to at most max_colours (index 0 black, kept for the
    mask); alpha < 128 becomes transparent. The palette starts with black and
    the given seed colours (the flat colours the picture was drawn with), then
    greedily takes the picture colour that is worst served so far, weighted by
    how often it occurs. No dithering: icons stay crisp."""
    counts = {}
    for row in rgba:
        for r, g, b, a in row:
            if a >= 128:
                counts[(r, g, b)] = counts.get((r, g, b), 0) + 1
    if len(set(counts) | {(0, 0, 0)}) <= max_colours:
        return to_indexed(rgba, max_colours)

    def dist(p, q):
        return sum((p[k] - q[k]) ** 2 for k in range(3))

    palette = [(0, 0, 0)]
    for s in seeds:
        s = tuple(s)
        if s not in palette and len(palette) < max_colours:
            palette.append(s)
    best = {c: min(dist(c, p) for p in palette) for c in counts}
    while len(palette) < max_colours:
        c = max(sorted(counts), key=lambda c: counts[c] * best[c])
        if best[c] == 0:
            break
        palette.append(c)
        for k in counts:
            best[k] = min(best[k], dist(k, c))

    def nearest(c):
        return min(range(len(palette)), key=lambda i: dist(palette[i], c))

    cache = {}
    rows = []
    for row in rgba:
        out = []
        for r, g, b, a in row:
            if a < 128:
                out.append(None)
                continue
            c = (r, g, b)
            if c not in cache:
                cache[c] = nearest(c)
            out.append(cache[c])
        rows.append(out)
    return palette, rows


def indexed_to_rgba(palette, rows):
    return [[(0, 0, 0, 0) if i is None else tuple(palette[i]) + (255,) for i in row] for row in rows]
