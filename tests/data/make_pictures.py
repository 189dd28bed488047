#!/usr/bin/env python3
# Makes the pictures of tests/data/pictures that Qt's readers once got wrong, the WebP, TIFF, HEIC
# and AVIF pictures, and the files whose headers claim pictures their bytes cannot hold:
# python3 tests/data/make_pictures.py
# Every picture but the JPEGs and the photos is 40 x 30 in four quadrants (top-left, top-right,
# bottom-left, bottom-right) with a 3 x 3 black marker in the top-left corner, as
# tests/test_pictures.h draws them, so a shift, a wrap, a turn or a mirror shows. The JPEGs need
# ImageMagick's convert, the WebP pictures cwebp and img2webp (package webp), the HEIC and AVIF
# pictures heif-enc (package libheif-examples); the TIFF pictures are written here, and tiffcp
# (package libtiff-tools) tiles them, puts their samples in separate planes and compresses them
# as a fax.
import os
import struct
import subprocess
import tempfile
import zlib

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pictures")
# Pictures of millions of pixels in a few KB: seconds to decode under the sanitizers, so they are
# kept out of the fuzzers' seeds (tests/data/pictures).
LARGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "large")
W, H = 40, 30


def quadrants(tl, tr, bl, br, marker, w=W, h=H, side=3):
    """Rows of colour values, top row first; the marker is `side` x `side`."""
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            if x < side and y < side:
                row.append(marker)
            elif y < h // 2:
                row.append(tl if x < w // 2 else tr)
            else:
                row.append(bl if x < w // 2 else br)
        rows.append(row)
    return rows


def save(name, data, folder=HERE):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def bmp(header, palette, rows, pack):
    """A bottom-up BMP: file header, `header` (its own size first), palette bytes, pixel rows
    padded to 4 bytes, each packed by `pack`."""
    pixels = b""
    for row in reversed(rows):
        line = pack(row)
        pixels += line + b"\0" * (-len(line) % 4)
    offset = 14 + len(header) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + header + palette + pixels


def info(size, bits, compression, masks=b"", w=W):
    """A Windows info header of `size` bytes (40, 52, 56, 108 or 124), the masks inside it."""
    head = struct.pack("<IiiHHIIiiII", size, w, H, 1, bits, compression, 0, 2835, 2835, 0, 0)
    if size >= 108:
        masks = masks.ljust(16, b"\0") + b"BGRs"  # colour space: sRGB
    return (head + masks)[:size].ljust(size, b"\0")


def field(value, mask):
    """A 0..255 value placed in a bit field of the 32-bit `mask`, scaled to its width."""
    shift = (mask & -mask).bit_length() - 1
    top = mask >> shift
    return (value * top + 127) // 255 << shift


def bitfield_bmp(name, size, bits, r, g, b, a=0):
    masks = struct.pack("<IIII", r, g, b, a)
    inside = size >= 52
    header = info(size, bits, 6 if a and size == 40 else 3, masks if inside else b"")
    extra = b"" if inside else masks[: 16 if a else 12]
    transparent = (0, 0, 0, 0)
    rows = quadrants((255, 0, 0, 255), (0, 255, 0, 255), transparent if a else (0, 0, 255, 255),
                     (255, 255, 255, 255), (0, 0, 0, 255))

    def pack(row):
        out = b""
        for c in row:
            v = field(c[0], r) | field(c[1], g) | field(c[2], b) | (field(c[3], a) if a else 0)
            out += struct.pack("<I" if bits == 32 else "<H", v)
        return out

    save(name, bmp(header, extra, rows, pack))


def palette_bmp(name, header, entry, count):
    """An 8-bit BMP with a palette of `count` entries of `entry` bytes (3 in OS/2 1.x, 4 else)."""
    colours = [(0, 0, 0), (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)][:count]
    palette = b"".join(bytes((c[2], c[1], c[0], 0)[:entry]) for c in colours)
    rows = quadrants(1, 2, 3, 4, 0)
    save(name, bmp(header, palette, rows, bytes))


# Pictures 39 pixels wide in mid-tone colours, for the program's own BMP reader: every row but
# those of 4 bits needs padding, and a field scaled by truncation instead of rounding is one off.
ODD = 39


def pack_indices(bits):
    """Packs a row of palette indices, the leftmost pixel in the high bits of its byte."""
    def pack(row):
        out, acc, n = bytearray(), 0, 0
        for i in row:
            acc, n = acc << bits | i, n + bits
            if n == 8:
                out.append(acc)
                acc = n = 0
        if n:
            out.append(acc << (8 - n))
        return bytes(out)
    return pack


def os2_header(size, bits):
    """An OS/2 header: 1.x (12 bytes, 16-bit sizes) or the short 2.x one (16 bytes)."""
    return struct.pack("<IHHHH" if size == 12 else "<IiiHH", size, ODD, H, 1, bits)


def midtone_palette_bmp(name, size, bits, colours, indices):
    """An OS/2 palette BMP; `indices` are those of the four quadrants and the marker."""
    entry = 3 if size == 12 else 4
    palette = b"".join(bytes((c[2], c[1], c[0], 0)[:entry]) for c in colours)
    rows = quadrants(*indices, w=ODD)
    save(name, bmp(os2_header(size, bits), palette, rows, pack_indices(bits)))


def midtone_fields_bmp(name, header, extra, bits, masks, colours):
    """A 16- or 32-bit BMP; `colours` hold the raw value of each field of `masks`, in order."""
    def word(c):
        return sum(v << (m & -m).bit_length() - 1 for v, m in zip(c, masks))

    def pack(row):
        return b"".join(struct.pack("<I" if bits == 32 else "<H", word(c)) for c in row)

    save(name, bmp(header, extra, quadrants(*colours, w=ODD), pack))


def midtone_bmps():
    midtone_palette_bmp("bmp-39-1bit-os2.bmp", 12, 1, [(180, 90, 40), (30, 140, 200)],
                        (0, 1, 1, 0, 1))
    midtone_palette_bmp("bmp-39-2bit-os2v2.bmp", 16, 2,
                        [(200, 100, 50), (60, 170, 90), (110, 40, 160), (230, 210, 120)],
                        (0, 1, 2, 3, 3))
    midtone_palette_bmp("bmp-39-4bit-os2v2.bmp", 16, 4,
                        [(20, 30, 40), (200, 60, 70), (70, 190, 90), (60, 80, 210),
                         (220, 220, 120)], (1, 2, 3, 4, 0))
    midtone_palette_bmp("bmp-39-8bit-os2.bmp", 12, 8,
                        [(25, 35, 45), (190, 70, 60), (80, 180, 100), (70, 90, 200),
                         (230, 230, 130)], (1, 2, 3, 4, 0))
    # 9 x 6 with 5 colours: the file is shorter than a palette of 256 colours would be.
    colours = [(25, 35, 45), (190, 70, 60), (80, 180, 100), (70, 90, 200), (230, 230, 130)]
    save("bmp-9x6-8bit-os2.bmp",
         bmp(struct.pack("<IHHHH", 12, 9, 6, 1, 8), b"".join(bytes(c[::-1]) for c in colours),
             quadrants(1, 2, 3, 4, 0, w=9, h=6, side=1), bytes))
    rgb = [(200, 120, 40), (90, 180, 30), (40, 70, 190), (150, 150, 150), (10, 20, 30)]
    save("bmp-39-24bit-os2.bmp", bmp(os2_header(12, 24), b"", quadrants(*rgb, w=ODD),
                                     lambda row: b"".join(bytes(c[::-1]) for c in row)))
    # Without masks, 16 bits are 5-5-5 and 32 bits 8-8-8.
    midtone_fields_bmp("bmp-39-16bit-555-os2v2.bmp", os2_header(16, 16), b"", 16,
                       (0x7C00, 0x03E0, 0x001F),
                       [(13, 20, 7), (25, 3, 16), (7, 28, 25), (16, 10, 3), (3, 13, 28)])
    midtone_fields_bmp("bmp-39-32bit-888-os2v2.bmp", os2_header(16, 32), b"", 32,
                       (0xFF0000, 0x00FF00, 0x0000FF),
                       [(201, 119, 41), (91, 181, 29), (41, 71, 189), (149, 151, 153),
                        (11, 19, 31)])
    masks = (0xF800, 0x07E0, 0x001F)
    midtone_fields_bmp("bmp-39-16bit-565-header52.bmp",
                       info(52, 16, 3, struct.pack("<III", *masks), w=ODD), b"", 16, masks,
                       [(13, 40, 20), (25, 13, 7), (7, 50, 16), (20, 30, 25), (3, 5, 28)])
    masks = (0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000)
    midtone_fields_bmp("bmp-39-32bit-1010102.bmp", info(40, 32, 6, w=ODD),
                       struct.pack("<IIII", *masks), 32, masks,
                       [(500, 300, 850, 3), (123, 700, 1000, 3), (300, 500, 700, 0),
                        (850, 123, 500, 3), (40, 60, 80, 3)])
    masks = (0xFFE00000, 0x001FFC00, 0x000003FF)
    midtone_fields_bmp("bmp-39-32bit-111110.bmp", info(40, 32, 3, w=ODD),
                       struct.pack("<III", *masks), 32, masks,
                       [(1000, 1500, 300), (333, 1234, 850), (1500, 700, 123), (1234, 333, 500),
                        (10, 20, 30)])
    masks = (0xE000, 0x1FF8, 0x0007)
    midtone_fields_bmp("bmp-39-16bit-3103.bmp", info(40, 16, 3, w=ODD),
                       struct.pack("<III", *masks), 16, masks,
                       [(2, 500, 4), (6, 123, 1), (4, 850, 6), (1, 300, 2), (5, 40, 3)])


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png_rgb16_trns(name):
    """16-bit RGB with a tRNS key: the top-left quadrant is the key (transparent); the bottom-left
    differs from the key only in the low byte of red, so it stays opaque."""
    key = (0x8080, 0x4040, 0x2020)
    rows = quadrants(key, (0, 0xFFFF, 0), (0x8081, 0x4040, 0x2020), (0xFFFF, 0xFFFF, 0xFFFF),
                     (0, 0, 0))
    raw = b"".join(b"\0" + b"".join(struct.pack(">HHH", *c) for c in row) for row in rows)
    data = b"\x89PNG\r\n\x1a\n"
    data += png_chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 16, 2, 0, 0, 0))
    data += png_chunk(b"tRNS", struct.pack(">HHH", *key))
    data += png_chunk(b"IDAT", zlib.compress(raw, 9))
    data += png_chunk(b"IEND", b"")
    save(name, data)


def png_claiming(name, width, height, rows=0):
    """A PNG header of 16-bit RGBA claiming width x height, and the first `rows` of its pixels:
    its rows' bytes (height x (1 + 8 x width)) overflow a signed 64-bit product for the largest
    sizes."""
    data = png_chunk(b"IDAT", zlib.compress(bytes((1 + 8 * width) * rows), 9)) if rows else b""
    save(name, b"\x89PNG\r\n\x1a\n"
         + png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 16, 6, 0, 0, 0))
         + data + png_chunk(b"IEND", b""))


def bmp_claiming(name, width, height):
    """An uncompressed 24-bit BMP claiming width x height that holds one row of its pixels."""
    row = width * 3 + (-width * 3 % 4)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, 0, 2835, 2835, 0, 0)
    save(name, b"BM" + struct.pack("<IHHI", 54 + row, 0, 0, 54) + header + b"\x80" * row)


def small_jpeg(*options):
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "small.jpg")
        subprocess.run(["convert", "-size", "32x24", "gradient:red-blue", *options, "-quality", "50",
                        "-strip", path], check=True)
        return bytearray(open(path, "rb").read())


def jpeg_claiming(name, width, height):
    """A small progressive JPEG whose frame header claims width x height."""
    data = small_jpeg("-interlace", "JPEG")
    at = data.index(b"\xff\xc2")  # progressive frame header: length, precision, height, width
    struct.pack_into(">HH", data, at + 5, height, width)
    save(name, bytes(data))


def jpeg_crowded(name, comments):
    """A small JPEG with `comments` empty comment segments before its picture."""
    data = small_jpeg()
    save(name, bytes(data[:2] + b"\xff\xfe\x00\x02" * comments + data[2:]))


def exif_orientation_jpegs():
    """One photo for each orientation tag 1..8, stored 128 x 80 as a camera held that way would
    store it, so that stood upright as its tag says each shows the same picture: 128 x 80 for
    tags 1..4, 80 x 128 for 5..8, in four grey quadrants (40, 100, 160, 220) with an 8 x 8 black
    marker in the top-left corner, as tests/test_pictures.h draws it. The marker is stored at the
    top-left (tags 1 and 5), top-right (2, 8), bottom-right (3, 7) or bottom-left (4, 6). Flat
    greys in whole 8 x 8 blocks at the best quality decode exactly."""
    sw, sh = 128, 80
    for tag in range(1, 9):
        uw, uh = (sw, sh) if tag <= 4 else (sh, sw)
        upright = quadrants(40, 100, 160, 220, 0, w=uw, h=uh, side=8)
        stored = [[0] * sw for _ in range(sh)]
        for y in range(uh):
            for x in range(uw):
                sx, sy = {1: (x, y), 2: (sw - 1 - x, y), 3: (sw - 1 - x, sh - 1 - y),
                          4: (x, sh - 1 - y), 5: (y, x), 6: (y, sh - 1 - x),
                          7: (sw - 1 - y, sh - 1 - x), 8: (sw - 1 - y, x)}[tag]
                stored[sy][sx] = upright[y][x]
        ppm = b"P5 %d %d 255\n" % (sw, sh) + bytes(v for row in stored for v in row)
        jpeg = subprocess.run(["convert", "pgm:-", "-colorspace", "sRGB", "-type", "TrueColor",
                               "-quality", "100", "-sampling-factor", "1x1", "-strip", "jpg:-"],
                              input=ppm, stdout=subprocess.PIPE, check=True).stdout
        # APP1 with a little-endian TIFF header and one IFD holding the orientation (0x0112).
        tiff = b"II*\0" + struct.pack("<IHHHIHHI", 8, 1, 0x0112, 3, 1, tag, 0, 0)
        app1 = b"Exif\0\0" + tiff
        save("jpeg-exif-orientation-%d.jpg" % tag,
             jpeg[:2] + b"\xff\xe1" + struct.pack(">H", len(app1) + 2) + app1 + jpeg[2:])
RED, GREEN, BLUE, WHITE, BLACK = (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255), (0, 0, 0)
CLEAR = (0, 0, 0, 0)


def rgba(colour):
    return tuple(colour) if len(colour) == 4 else (*colour, 255)


def turned_clockwise(rows):
    """The picture turned a quarter clockwise."""
    return [list(row) for row in zip(*rows[::-1])]


def turned_anticlockwise(rows):
    return [list(row) for row in zip(*rows)][::-1]


def png_of(rows):
    """An 8-bit RGBA PNG of `rows`, for the encoders."""
    raw = b"".join(b"\0" + b"".join(bytes(rgba(c)) for c in row) for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + png_chunk(b"IHDR", struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6, 0, 0, 0))
            + png_chunk(b"IDAT", zlib.compress(raw, 9)) + png_chunk(b"IEND", b""))


def encoded(tool, frames, *options):
    """The file `tool` (cwebp, img2webp or heif-enc) makes of the pictures `frames`."""
    with tempfile.TemporaryDirectory() as tmp:
        inputs = []
        for i, rows in enumerate(frames):
            inputs.append(os.path.join(tmp, "frame%d.png" % i))
            with open(inputs[-1], "wb") as f:
                f.write(png_of(rows))
        out = os.path.join(tmp, "out")
        command = {"cwebp": ["cwebp", "-quiet", *options, inputs[0], "-o", out],
                   "img2webp": ["img2webp", *options, *inputs, "-o", out],
                   "heif-enc": ["heif-enc", *options, "-o", out + ".heif", inputs[0]]}[tool]
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
        return open(out + (".heif" if tool == "heif-enc" else ""), "rb").read()


# WebP -----------------------------------------------------------------------------------------

def riff(chunks):
    body = b"".join(kind + struct.pack("<I", len(data)) + data + b"\0" * (len(data) & 1)
                    for kind, data in chunks)
    return b"RIFF" + struct.pack("<I", 4 + len(body)) + b"WEBP" + body


def webp_chunks(data):
    chunks, at = [], 12
    while at + 8 <= len(data):
        kind, length = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
        chunks.append((kind, data[at + 8:at + 8 + length]))
        at += 8 + length + (length & 1)
    return chunks


def webp_claiming(name, width, height):
    """A lossless WebP of one pixel inside an extended header whose canvas is width x height."""
    pixel = [c for c in webp_chunks(encoded("cwebp", [[[RED]]], "-lossless")) if c[0] == b"VP8L"]
    canvas = struct.pack("<I", 0)[:4] + struct.pack("<I", width - 1)[:3] + struct.pack(
        "<I", height - 1)[:3]
    save(name, riff([(b"VP8X", canvas)] + pixel))


# TIFF -----------------------------------------------------------------------------------------

def packed_row(row, bits, e, kind):
    """A row of samples as TIFF stores them: 8, 16, 32 and 64 bits in the file's byte order
    (`kind` 1 unsigned, 2 signed, 3 floating point), other sizes packed from each byte's highest
    bit, the row padded to a whole byte."""
    values = [v for c in row for v in c]
    if bits in (8, 16, 32, 64) and not (kind == 3 and bits < 32):
        letter = {1: "BHIQ", 2: "bhiq", 3: "??fd"}[kind]["\x08\x10\x20\x40".index(chr(bits))]
        return struct.pack(e + letter * len(values), *values)
    number, count = 0, 0
    for v in values:
        number, count = number << bits | v, count + bits
    number <<= -count % 8
    return number.to_bytes((count + 7) // 8, "big")


def tiff(rows, photometric, bits=8, big_endian=False, orientation=None, compression=1,
         palette=None, extra=None, kind=1, alpha=2, planar=1):
    """An uncompressed (or deflated) TIFF of `rows`, each pixel a tuple of samples, in one strip.
    `palette`: 2^bits (r, g, b) of 16 bits each. `extra`: more tags as {tag: (type, [values])}.
    `kind`: 1 unsigned, 2 signed, 3 floating point samples. `alpha`: 1 associated (premultiplied)
    or 2 unassociated, for a fourth sample of RGB or a second of grey. `planar` 2: each sample in
    a plane of its own, one strip each, the strips before the directory."""
    e = ">" if big_endian else "<"
    height, width, samples = len(rows), len(rows[0]), len(rows[0][0])
    raw = b"".join(packed_row(row, bits, e, kind) for row in rows)
    data = zlib.compress(raw, 9) if compression == 8 else raw
    if planar == 2:
        return tiff_planes(rows, photometric, bits, e)
    tags = {256: (4, [width]), 257: (4, [height]), 258: (3, [bits] * samples),
            259: (3, [compression]), 262: (3, [photometric]), 277: (3, [samples]),
            278: (4, [height]), 279: (4, [len(data)]), 284: (3, [1]), 273: (4, [0])}
    if orientation:
        tags[274] = (3, [orientation])
    if palette:
        tags[320] = (3, [c[i] for i in range(3) for c in palette])
    if (samples == 4 and photometric == 2) or (samples == 2 and photometric == 1):
        tags[338] = (3, [alpha])
    if kind != 1:
        tags[339] = (3, [kind] * samples)
    tags.update(extra or {})
    count = len(tags)
    values_at = 8 + 2 + 12 * count + 4
    blob, entries = b"", b""
    pixels_at = None
    # The values that do not fit an entry follow the directory, then the pixels.
    sizes = {3: 2, 4: 4}
    for tag in sorted(tags):
        type_, values = tags[tag]
        packed = struct.pack(e + {3: "H", 4: "I", 7: "B"}[type_] * len(values), *values)
        if len(packed) > 4:
            if len(blob) % 2:
                blob += b"\0"
            entries += struct.pack(e + "HHII", tag, type_, len(values), values_at + len(blob))
            blob += packed
        else:
            entries += struct.pack(e + "HHI", tag, type_, len(values)) + packed.ljust(4, b"\0")
    pixels_at = values_at + len(blob)
    out = (b"MM\0*" if big_endian else b"II*\0") + struct.pack(e + "I", 8)
    out += struct.pack(e + "H", count) + entries + b"\0\0\0\0" + blob + data
    # The strip's offset, now that it is known.
    at = 10 + 12 * sorted(tags).index(273) + 8
    return out[:at] + struct.pack(e + "I", pixels_at) + out[at + 4:]


def tiff_planes(rows, photometric, bits, e):
    """An uncompressed TIFF of `rows` with each sample in a plane of its own, one strip each; the
    strips come first, then the directory."""
    height, width, samples = len(rows), len(rows[0]), len(rows[0][0])
    planes = [packed_row([(c[s],) for row in rows for c in row], bits, e, 1)
              for s in range(samples)]
    offsets = [8 + sum(len(p) for p in planes[:s]) for s in range(samples)]
    ifd = 8 + sum(len(p) for p in planes)
    ifd += ifd % 2
    tags = {256: (4, [width]), 257: (4, [height]), 258: (3, [bits] * samples),
            259: (3, [1]), 262: (3, [photometric]), 277: (3, [samples]), 278: (4, [height]),
            273: (4, offsets), 279: (4, [len(p) for p in planes]), 284: (3, [2])}
    values_at = ifd + 2 + 12 * len(tags) + 4
    blob, entries = b"", b""
    for tag in sorted(tags):
        type_, values = tags[tag]
        packed = struct.pack(e + {3: "H", 4: "I"}[type_] * len(values), *values)
        if len(packed) > 4:
            entries += struct.pack(e + "HHII", tag, type_, len(values), values_at + len(blob))
            blob += packed
        else:
            entries += struct.pack(e + "HHI", tag, type_, len(values)) + packed.ljust(4, b"\0")
    head = (b"MM\0*" if e == ">" else b"II*\0") + struct.pack(e + "I", ifd)
    body = head + b"".join(planes)
    return body.ljust(ifd, b"\0") + struct.pack(e + "H", len(tags)) + entries + b"\0" * 4 + blob


def tiff_quadrants(colours, photometric, **options):
    rows = quadrants(*colours)
    return tiff(rows, photometric, **options)


def tiff_claiming(name, width, height):
    """A TIFF directory of an RGB picture of width x height, and 16 bytes of pixels."""
    data = tiff([[(0, 0, 0)] * 4] * 1 + [[(0, 0, 0)] * 4], 2)
    e = "<"
    at = 10  # the first entry: width, then height
    data = data[:at + 8] + struct.pack(e + "I", width) + data[at + 12:at + 20] + struct.pack(
        e + "I", height) + data[at + 24:]
    save(name, data)


# HEIF and AVIF --------------------------------------------------------------------------------

CONTAINERS = {b"meta": 4, b"iprp": 0, b"ipco": 0}


def boxes(data):
    """The boxes of `data` as [kind, bytes] or [kind, head, [children]] for the containers."""
    found, at = [], 0
    while at + 8 <= len(data):
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        payload = data[at + 8:at + size]
        if kind in CONTAINERS:
            skip = CONTAINERS[kind]
            found.append([kind, payload[:skip], boxes(payload[skip:])])
        else:
            found.append([kind, payload])
        at += size
    return found


def box_bytes(box):
    payload = box[1] + b"".join(box_bytes(b) for b in box[2]) if len(box) == 3 else box[1]
    return struct.pack(">I4s", 8 + len(payload), box[0]) + payload


def find(tree, kind):
    for box in tree:
        if box[0] == kind:
            return box
        if len(box) == 3:
            inner = find(box[2], kind)
            if inner:
                return inner
    return None


def heif_bytes(tree, original):
    """The file of `tree`, its item locations in the media data moved by as much as the boxes
    before them grew or shrank."""
    old_mdat = original.index(b"mdat") - 4
    out = b"".join(box_bytes(b) for b in tree if b[0] != b"mdat")
    shift = len(out) - old_mdat
    iloc = find(tree, b"iloc")
    payload = bytearray(iloc[1])
    version = payload[0]
    offset_size, length_size = payload[4] >> 4, payload[4] & 15
    base_size, index_size = payload[5] >> 4, (payload[5] & 15 if version else 0)
    at = 6
    count_size = 4 if version == 2 else 2
    count = int.from_bytes(payload[at:at + count_size], "big")
    at += count_size
    for _ in range(count):
        at += 4 if version == 2 else 2
        method = 0
        if version:
            method = payload[at + 1] & 15
            at += 2
        at += 2  # data reference
        base = int.from_bytes(payload[at:at + base_size], "big")
        if method == 0 and base:
            payload[at:at + base_size] = (base + shift).to_bytes(base_size, "big")
        at += base_size
        extents = int.from_bytes(payload[at:at + 2], "big")
        at += 2
        for _ in range(extents):
            at += index_size
            offset = int.from_bytes(payload[at:at + offset_size], "big")
            if method == 0 and not base:
                payload[at:at + offset_size] = (offset + shift).to_bytes(offset_size, "big")
            at += offset_size + length_size
    iloc[1] = bytes(payload)
    out = b"".join(box_bytes(b) for b in tree if b[0] != b"mdat")
    return out + b"".join(box_bytes(b) for b in tree if b[0] == b"mdat")


def primary_id(tree):
    return int.from_bytes(find(tree, b"pitm")[1][4:6], "big")


def with_properties(data, properties):
    """The HEIF file `data` with the properties (kind, payload) added to its primary picture."""
    tree = boxes(data)
    ipco, ipma = find(tree, b"ipco"), find(tree, b"ipma")
    payload = bytearray(ipma[1])
    wide = payload[3] & 1  # 16-bit property indices
    first = len(ipco[2]) + 1
    for kind, body in properties:
        ipco[2].append([kind, body])
    at, item = 8, primary_id(tree)
    for _ in range(int.from_bytes(payload[4:8], "big")):
        item_size = 2 if payload[0] < 1 else 4
        this = int.from_bytes(payload[at:at + item_size], "big")
        n = payload[at + item_size]
        end = at + item_size + 1 + n * (2 if wide else 1)
        if this == item:
            added = b"".join(((0x8000 | first + i).to_bytes(2, "big") if wide else
                              bytes([0x80 | first + i])) for i in range(len(properties)))
            payload[at + item_size] = n + len(properties)
            payload[end:end] = added
            end += len(added)
        at = end
    ipma[1] = bytes(payload)
    return heif_bytes(tree, data)


def heif_claiming(data, width, height):
    """The HEIF file `data` whose primary picture claims width x height: in its ispe property,
    and in its grid when it is one (then with 32-bit sizes)."""
    tree = boxes(data)
    ipma, ipco = find(tree, b"ipma"), find(tree, b"ipco")
    payload = ipma[1]
    wide = payload[3] & 1
    at, item = 8, primary_id(tree)
    for _ in range(int.from_bytes(payload[4:8], "big")):
        this = int.from_bytes(payload[at:at + 2], "big")
        n = payload[at + 2]
        indices = [(int.from_bytes(payload[at + 3 + 2 * i:at + 5 + 2 * i], "big") if wide
                    else payload[at + 3 + i]) & 0x7FFF & (0xFFFF if wide else 0x7F)
                   for i in range(n)]
        if this == item:
            for i in indices:
                if ipco[2][i - 1][0] == b"ispe":
                    ipco[2][i - 1][1] = b"\0" * 4 + struct.pack(">II", width, height)
        at += 3 + n * (2 if wide else 1)
    idat = find(tree, b"idat")
    if idat:  # the grid: version 0, flags 1 (32-bit sizes), rows - 1, columns - 1, then the sizes
        old = len(idat[1])
        idat[1] = bytes([0, 1, idat[1][2], idat[1][3]]) + struct.pack(">II", width, height)
        iloc = find(tree, b"iloc")
        body = bytearray(iloc[1])
        # heif-enc writes the grid's 8 bytes as the one extent of construction method 1: its
        # length is the last field of that item's entry.
        at = body.index(struct.pack(">I", old))
        body[at:at + 4] = struct.pack(">I", len(idat[1]))
        iloc[1] = bytes(body)
    return heif_bytes(tree, data)


def with_brands(data, major, compatible):
    """The HEIF file `data` with its file type box (ftyp) naming `major` as its first brand and
    `compatible` after it."""
    tree = boxes(data)
    find(tree, b"ftyp")[1] = major + b"\0" * 4 + b"".join(compatible)
    return heif_bytes(tree, data)


def iso_file(name, head, major, compatible):
    """An ISO media file that holds no HEIF picture: `head` (boxes before the file type box), the
    file type box, a free box and an empty media data box."""
    ftyp = major + b"\0" * 4 + b"".join(compatible)
    save(name, head + struct.pack(">I", 8 + len(ftyp)) + b"ftyp" + ftyp
         + struct.pack(">I", 16) + b"free" + b"\0" * 8 + struct.pack(">I", 8) + b"mdat")


def photo(width=160, height=120):
    """A smooth picture, no two corners alike, as lossy encoders keep it well."""
    import math
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            u, v = x / (width - 1), y / (height - 1)
            glow = math.exp(-((u - 0.7) ** 2 + (v - 0.3) ** 2) * 12)
            row.append((int(40 + 180 * u + 30 * glow), int(60 + 150 * v),
                        int(120 + 80 * math.sin(u * 6) * math.cos(v * 6) + 40 * glow)))
        rows.append(row)
    return rows


def photos():
    """The same photo as PNG, lossy WebP, deflated TIFF, HEIC and AVIF."""
    rows = photo()
    save("photo.png", png_of(rows))
    save("photo.webp", encoded("cwebp", [rows], "-q", "90"))
    save("photo.tif", tiff(rows, 2, compression=8))
    save("photo.heic", encoded("heif-enc", [rows], "-q", "90", "--no-alpha"))
    save("photo.avif", encoded("heif-enc", [rows], "-A", "-q", "90", "--no-alpha"))


def heif_pictures():
    plain = quadrants(RED, GREEN, BLUE, WHITE, BLACK)
    clear = quadrants(RED, GREEN, CLEAR, WHITE, BLACK)
    heic = encoded("heif-enc", [plain], "-q", "90", "--no-alpha")
    save("heic-plain.heic", heic)
    save("heic-alpha.heic", encoded("heif-enc", [clear], "-q", "90"))
    save("avif-plain.avif", encoded("heif-enc", [plain], "-A", "-q", "90", "--no-alpha"))
    # Stored turned a quarter clockwise, with a rotation property (irot) of a quarter
    # anticlockwise: shown as the plain picture.
    stored = encoded("heif-enc", [turned_clockwise(plain)], "-q", "90", "--no-alpha")
    save("heic-turned.heic", with_properties(stored, [(b"irot", bytes([1]))]))
    # Beyond the side libheif takes at all, and within it but far beyond the memory budget.
    save("heic-grid-100000x100000.heic", heif_claiming(heic, 100000, 100000))
    avif = encoded("heif-enc", [[[RED] * 8] * 8], "-A", "-q", "50", "--no-alpha")
    save("avif-100000x100000.avif", heif_claiming(avif, 100000, 100000))
    save("avif-60000x60000.avif", heif_claiming(avif, 60000, 60000))
    save("avif-17000x17000.avif", heif_claiming(avif, 17000, 17000))
    # HEIF files told by their brands: the first one mif1 or mif2, the kind of picture among the
    # compatible ones, or not named at all.
    avif_plain = encoded("heif-enc", [plain], "-A", "-q", "90", "--no-alpha")
    save("heif-mif1-heic.heic", with_brands(heic, b"mif1", [b"mif1", b"heic"]))
    save("heif-mif2-heic.heic", with_brands(heic, b"mif2", [b"mif2", b"heic"]))
    save("heif-mif1-only.heic", with_brands(heic, b"mif1", [b"mif1"]))
    save("avif-mif1.avif", with_brands(avif_plain, b"mif1", [b"mif1", b"avif"]))
    # Other files of the same box structure: an MP4 video, a QuickTime film, a JPEG 2000.
    iso_file("iso-mp4-isom.mp4", b"", b"isom", [b"isom", b"iso2", b"mp41"])
    iso_file("iso-mp4-mp42.mp4", b"", b"mp42", [b"mp42", b"isom"])
    iso_file("iso-quicktime.mov", b"", b"qt  ", [b"qt  "])
    iso_file("iso-jpeg2000.jp2", b"\0\0\0\x0cjP  \r\n\x87\n", b"jp2 ", [b"jp2 "])
    # 3840 x 2160 in four flat quadrants, at a low quality: some 9 KB for a picture of 8 million
    # pixels, beyond 4096 bytes of memory for each byte of its file.
    big = quadrants(RED, GREEN, BLUE, WHITE, BLACK, w=3840, h=2160, side=64)
    save("avif-3840x2160.avif", encoded("heif-enc", [big], "-A", "-q", "10", "--no-alpha",
                                        "-p", "speed=9"), LARGE)


def fax_tiff():
    """A white page of 4000 x 4000 with a few lines of ink, coded as a fax (CCITT group 4): a few
    KB for 16 million pixels."""
    with tempfile.TemporaryDirectory() as tmp:
        page = os.path.join(tmp, "page.tif")
        subprocess.run(["convert", "-size", "4000x4000", "xc:white", "-fill", "black",
                        "-draw", "rectangle 0,0 99,99", "-draw", "rectangle 500,1000 3500,1040",
                        "-draw", "rectangle 1900,200 1960,3800", "-monochrome",
                        "-compress", "Group4", page], check=True)
        save("tiff-fax-g4-4000x4000.tif", open(page, "rb").read(), LARGE)


def webp_pictures():
    plain = quadrants(RED, GREEN, BLUE, WHITE, BLACK)
    save("webp-lossless.webp", encoded("cwebp", [plain], "-lossless", "-exact"))
    save("webp-lossy.webp", encoded("cwebp", [plain], "-q", "90"))
    save("webp-alpha.webp",
         encoded("cwebp", [quadrants(RED, GREEN, CLEAR, WHITE, BLACK)], "-lossless", "-exact"))
    # The first frame is the plain picture; the second, all black, must not show.
    save("webp-animated.webp", encoded("img2webp", [plain, [[BLACK] * W] * H], "-lossless"))
    webp_claiming("webp-100000x100000.webp", 100000, 100000)
    exif_orientation_webps()


def exif_orientation_webps():
    """The photos of exif_orientation_jpegs as lossless WebP: the picture in an extended header
    with an EXIF chunk holding the orientation. Odd tags with the "Exif\\0\\0" prefix a JPEG's
    block has, even ones without; tags 3 and 8 in big-endian order."""
    sw, sh = 128, 80
    for tag in range(1, 9):
        uw, uh = (sw, sh) if tag <= 4 else (sh, sw)
        upright = quadrants(40, 100, 160, 220, 0, w=uw, h=uh, side=8)
        stored = [[BLACK] * sw for _ in range(sh)]
        for y in range(uh):
            for x in range(uw):
                sx, sy = {1: (x, y), 2: (sw - 1 - x, y), 3: (sw - 1 - x, sh - 1 - y),
                          4: (x, sh - 1 - y), 5: (y, x), 6: (y, sh - 1 - x),
                          7: (sw - 1 - y, sh - 1 - x), 8: (sw - 1 - y, x)}[tag]
                stored[sy][sx] = (upright[y][x],) * 3
        pixels = [c for c in webp_chunks(encoded("cwebp", [stored], "-lossless", "-exact"))
                  if c[0] == b"VP8L"]
        if tag in (3, 8):
            tiff = b"MM\0*" + struct.pack(">IHHHIHHI", 8, 1, 0x0112, 3, 1, tag, 0, 0)
        else:
            tiff = b"II*\0" + struct.pack("<IHHHIHHI", 8, 1, 0x0112, 3, 1, tag, 0, 0)
        exif = (b"Exif\0\0" if tag % 2 else b"") + tiff
        canvas = bytes([0x08, 0, 0, 0]) + struct.pack("<I", sw - 1)[:3] + struct.pack(
            "<I", sh - 1)[:3]
        save("webp-exif-orientation-%d.webp" % tag,
             riff([(b"VP8X", canvas)] + pixels + [(b"EXIF", exif)]))


def tiff_pictures():
    rgb = (RED, GREEN, BLUE, WHITE, BLACK)
    save("tiff-rgb8.tif", tiff(quadrants(*rgb), 2))
    wide = lambda c: tuple(v * 257 for v in c)
    save("tiff-rgb16-deflate.tif",
         tiff(quadrants(*map(wide, rgb)), 2, bits=16, big_endian=True, compression=8))
    save("tiff-rgba8.tif", tiff(quadrants(*map(rgba, (RED, GREEN, CLEAR, WHITE, BLACK))), 2))
    grey = [(v,) for v in (200, 100, 50, 255, 0)]
    save("tiff-grey8.tif", tiff(quadrants(*grey), 1))
    palette = [RED, GREEN, BLUE, WHITE, BLACK] + [BLACK] * 251
    save("tiff-palette.tif", tiff(quadrants((0,), (1,), (2,), (3,), (4,)), 3,
                                  palette=[tuple(v * 257 for v in c) for c in palette]))
    cmyk = [(0, 255, 255, 0), (255, 0, 255, 0), (255, 255, 0, 0), (0, 0, 0, 0), (0, 0, 0, 255)]
    save("tiff-cmyk.tif", tiff(quadrants(*cmyk), 5))
    # Orientation 6: the stored rows are the picture's columns from its right, so the picture is
    # stored turned a quarter anticlockwise and shown turned back.
    save("tiff-orientation-6.tif", tiff(turned_anticlockwise(quadrants(*rgb)), 2, orientation=6))
    tiff_claiming("tiff-100000x100000.tif", 100000, 100000)
    # Tiles of 65536 x 65536 for a picture of 40 x 30: 12 GB for one tile.
    save("tiff-huge-tiles.tif",
         tiff(quadrants(*rgb), 2, extra={322: (4, [65536]), 323: (4, [65536])}))
    more_tiff_pictures()


def srgb_to_lab_d50(colour):
    """The CIE L*a*b* (D50, as TIFF stores it) of an 8-bit sRGB colour: linear sRGB, XYZ (D65),
    Bradford's adaptation to D50."""
    linear = [c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
              for c in (v / 255 for v in colour)]
    m = [[0.4124564, 0.3575761, 0.1804375], [0.2126729, 0.7151522, 0.0721750],
         [0.0193339, 0.1191920, 0.9503041]]
    adapt = [[1.0478112, 0.0228866, -0.0501270], [0.0295424, 0.9904844, -0.0170491],
             [-0.0092345, 0.0150436, 0.7521316]]
    xyz = [sum(m[i][j] * linear[j] for j in range(3)) for i in range(3)]
    x, y, z = (sum(adapt[i][j] * xyz[j] for j in range(3)) for i in range(3))
    f = lambda t: t ** (1 / 3) if t > 216 / 24389 else (24389 / 27 * t + 16) / 116
    fx, fy, fz = f(x / 0.96422), f(y), f(z / 0.82521)
    return 116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)


def more_tiff_pictures():
    """Bit depths from 2 to 32, signed and floating point samples, a 16-bit palette and CMYK,
    tiles, separate planes, alpha, L*a*b* and a fax. The expected colours of each are worked out
    by hand in tests/intake/tst_hostile_pictures.cpp."""
    # 2-bit grey and 12-bit RGB 39 wide, so that each row ends inside a byte.
    save("tiff-grey2.tif", tiff(quadrants((1,), (2,), (3,), (0,), (0,), w=ODD), 1, bits=2))
    top = 4095
    save("tiff-rgb12.tif", tiff(quadrants((top, 0, 0), (0, top, 0), (2048, 1000, top),
                                          (top, top, top), (0, 0, 0), w=ODD), 2, bits=12))
    save("tiff-rgb4.tif", tiff(quadrants((15, 0, 0), (0, 15, 0), (5, 10, 3), (15, 15, 15),
                                         (0, 0, 0)), 2, bits=4))
    top = 0xFFFFFFFF
    save("tiff-rgb32-big-endian.tif",
         tiff(quadrants((top, 0, 0), (0, top, 0), (0x80000000, 0x40000000, top),
                        (top, top, top), (0, 0, 0)), 2, bits=32, big_endian=True))
    save("tiff-float32.tif",
         tiff(quadrants((1.0, 0.0, 0.0), (0.0, 1.0, 0.0), (0.2, 0.6, -1.0), (1.5, 1.0, 1.0),
                        (0.0, 0.0, 0.0)), 2, bits=32, kind=3))
    save("tiff-grey16-signed.tif",
         tiff(quadrants((0,), (-16384,), (16384,), (32767,), (-32768,)), 1, bits=16, kind=2))
    # Indices far apart in a palette of 65536 colours; the ones not used are a middle grey.
    palette = [(0x4000,) * 3] * 65536
    for index, colour in ((1000, RED), (40000, GREEN), (65535, (128, 64, 32)), (7, WHITE),
                          (0, BLACK)):
        palette[index] = tuple(v * 257 for v in colour)
    save("tiff-palette16.tif", tiff(quadrants((1000,), (40000,), (65535,), (7,), (0,)), 3,
                                    bits=16, palette=palette, compression=8))
    top = 0xFFFF
    save("tiff-cmyk16.tif",
         tiff(quadrants((0, top, top, 0), (top, 0, top, 0), (0x4000, 0, 0, 0x4000), (0, 0, 0, 0),
                        (0, 0, 0, top)), 5, bits=16))
    # A colour three fifths opaque in the bottom left: blue unassociated in 8 bits, blue
    # premultiplied in 12 bits (153 of 255 is 2457 of 4095).
    save("tiff-rgba8-unassociated.tif",
         tiff(quadrants(*map(rgba, (RED, GREEN, (0, 0, 255, 153), WHITE, BLACK))), 2))
    wide = [tuple(v * 4095 // 255 for v in rgba(c))
            for c in (RED, GREEN, (0, 0, 153, 153), WHITE, BLACK)]
    save("tiff-rgba12-associated.tif", tiff(quadrants(*wide), 2, bits=12, alpha=1))
    # sRGB colours as L*a*b*, 8 bits: L* scaled to 0..255, a* and b* signed (CIELab) or offset
    # by 128 (ICC Lab); the ICC profile tag carries a few bytes to be handed on.
    colours = [(200, 60, 40), (60, 160, 90), (50, 80, 170), WHITE, BLACK]
    labs = [srgb_to_lab_d50(c) for c in colours]
    cielab = [(round(l * 255 / 100), round(a) & 0xFF, round(b) & 0xFF) for l, a, b in labs]
    icclab = [(round(l * 255 / 100), round(a) + 128, round(b) + 128) for l, a, b in labs]
    save("tiff-cielab.tif", tiff(quadrants(*cielab), 8,
                                 extra={34675: (7, list(b"hakomiru test profile"))}))
    save("tiff-icclab.tif", tiff(quadrants(*icclab), 9))
    save("tiff-rgb16-planes-big-endian.tif",
         tiff(quadrants(*[tuple(v * 257 for v in c) for c in (RED, GREEN, BLUE, WHITE, BLACK)]), 2,
              bits=16, big_endian=True, planar=2))
    with tempfile.TemporaryDirectory() as tmp:
        def tiffcp(source, name, *options):
            subprocess.run(["tiffcp", *options, os.path.join(tmp, source),
                            os.path.join(HERE, name)], check=True)
        rgb = (RED, GREEN, BLUE, WHITE, BLACK)
        with open(os.path.join(tmp, "rgb8.tif"), "wb") as f:
            f.write(tiff(quadrants(*rgb), 2))
        with open(os.path.join(tmp, "rgb16.tif"), "wb") as f:
            f.write(tiff(quadrants(*[tuple(v * 257 for v in c) for c in rgb]), 2, bits=16))
        # Bilevel, 0 white: white and black quadrants, the marker black.
        with open(os.path.join(tmp, "bilevel.tif"), "wb") as f:
            f.write(tiff(quadrants((0,), (1,), (1,), (0,), (1,)), 0, bits=1))
        tiffcp("rgb8.tif", "tiff-tiles16.tif", "-t", "-w", "16", "-l", "16")
        tiffcp("rgb8.tif", "tiff-tile-larger.tif", "-t", "-w", "48", "-l", "32")
        tiffcp("bilevel.tif", "tiff-fax-g4.tif", "-c", "g4")
        tiffcp("rgb8.tif", "tiff-jpeg-ycbcr.tif", "-c", "jpeg")
        # YCbCr without JPEG compression, read through libtiff's RGBA helper (ImageMagick's
        # convert writes it).
        subprocess.run(["convert", os.path.join(tmp, "rgb8.tif"), "-colorspace", "YCbCr",
                        "-compress", "none", os.path.join(HERE, "tiff-ycbcr.tif")], check=True)


# Colour profiles -------------------------------------------------------------------------------
# ICC version 2 profiles written field by field: a matrix profile (three colorants adapted to the
# D50 of the profile connection space, and one curve for all three channels) and a grey one.

D50 = (0.9642, 1.0, 0.8249)


def icc_tag(kind, data):
    return kind + b"\0\0\0\0" + data


def icc_xyz(xyz):
    return icc_tag(b"XYZ ", b"".join(struct.pack(">i", round(v * 65536)) for v in xyz))


def icc_gamma(gamma):
    """A curve of one power, stored as a u8Fixed8 number (2.2 is stored as 563 / 256)."""
    return icc_tag(b"curv", struct.pack(">IH", 1, round(gamma * 256)))


def icc_profile(space, tags):
    """A display profile of `space` (b"RGB " or b"GRAY") holding `tags`, [(signature, data)]."""
    tags = [(b"desc", icc_tag(b"desc", struct.pack(">I", 5) + b"test\0" + bytes(4 + 4 + 2 + 1 + 67))),
            (b"wtpt", icc_xyz(D50))] + tags
    table, body = b"", b""
    at = 128 + 4 + 12 * len(tags)
    for kind, data in tags:
        data += b"\0" * (-len(data) % 4)
        table += kind + struct.pack(">II", at + len(body), len(data))
        body += data
    size = at + len(body)
    header = (struct.pack(">I", size) + b"\0" * 4 + struct.pack(">I", 0x02100000) + b"mntr" + space
              + b"XYZ " + bytes(12) + b"acsp" + bytes(24) + struct.pack(">I", 0)
              + b"".join(struct.pack(">i", round(v * 65536)) for v in D50))
    header += bytes(128 - len(header))
    return header + struct.pack(">I", len(tags)) + table + body


def matrix_profile(colorants, gamma):
    """An RGB profile whose red, green and blue are the D50 XYZ `colorants`, on a gamma curve."""
    curve = icc_gamma(gamma)
    return icc_profile(b"RGB ", [(b"rXYZ", icc_xyz(colorants[0])), (b"gXYZ", icc_xyz(colorants[1])),
                                 (b"bXYZ", icc_xyz(colorants[2])), (b"rTRC", curve),
                                 (b"gTRC", curve), (b"bTRC", curve)])


def solve3(m, v):
    """x with m x = v, by Cramer's rule."""
    def det(a):
        return (a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1])
                - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0])
                + a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]))
    d = det(m)
    return [det([[v[r] if c == i else m[r][c] for c in range(3)] for r in range(3)]) / d
            for i in range(3)]


def d50_colorants(primaries, white=(0.3127, 0.3290)):
    """The XYZ colours of full red, green and blue for chromaticities `primaries` and white point
    `white` (D65), adapted to D50 with the Bradford transform, as a display profile holds them."""
    xyz = lambda x, y: (x / y, 1.0, (1 - x - y) / y)
    columns = [xyz(*p) for p in primaries]
    white_xyz = xyz(*white)
    scale = solve3([[columns[c][r] for c in range(3)] for r in range(3)], white_xyz)
    columns = [[v * s for v in col] for col, s in zip(columns, scale)]
    bradford = [[0.8951, 0.2664, -0.1614], [-0.7502, 1.7135, 0.0367], [0.0389, -0.0685, 1.0296]]
    cone = lambda v: [sum(bradford[r][k] * v[k] for k in range(3)) for r in range(3)]
    gain = [d / s for d, s in zip(cone(D50), cone(white_xyz))]
    return [solve3(bradford, [g * c for g, c in zip(gain, cone(col))]) for col in columns]


DISPLAY_P3 = ((0.680, 0.320), (0.265, 0.690), (0.150, 0.060))
# Display P3's primaries on a curve of gamma 2.2.
P3_GAMMA22 = matrix_profile(d50_colorants(DISPLAY_P3), 2.2)
# sRGB's colorants (as the ICC's sRGB profile states them) with red and green exchanged: a stored
# red is sRGB's green and a stored green sRGB's red.
SRGB_D50 = ((0.4361, 0.2225, 0.0139), (0.3851, 0.7169, 0.0971), (0.1431, 0.0606, 0.7141))
SWAPPED = matrix_profile((SRGB_D50[1], SRGB_D50[0], SRGB_D50[2]), 2.2)
# Grey on a straight line: a stored grey is its light.
LINEAR_GREY = icc_profile(b"GRAY", [(b"kTRC", icc_gamma(1.0))])
MIDTONES = ((200, 100, 50), (60, 170, 90), (110, 40, 160), (230, 210, 120), BLACK)


def srgb_to_lab_d50(rgb):
    """CIELAB (D50) of an sRGB colour: sRGB's curve undone, sRGB's D65 matrix, Bradford to D50."""
    lin = [v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4 for v in rgb]
    m = [[0.4124564, 0.3575761, 0.1804375], [0.2126729, 0.7151522, 0.0721750],
         [0.0193339, 0.1191920, 0.9503041]]
    xyz = [sum(m[r][k] * lin[k] for k in range(3)) for r in range(3)]
    bradford = [[0.8951, 0.2664, -0.1614], [-0.7502, 1.7135, 0.0367], [0.0389, -0.0685, 1.0296]]
    cone = lambda v: [sum(bradford[r][k] * v[k] for k in range(3)) for r in range(3)]
    gain = [d / w for d, w in zip(cone(D50), cone((0.95047, 1.0, 1.08883)))]
    xyz = solve3(bradford, [g * c for g, c in zip(gain, cone(xyz))])
    f = lambda t: t ** (1 / 3) if t > (6 / 29) ** 3 else t / (3 * (6 / 29) ** 2) + 4 / 29
    fx, fy, fz = (f(v / w) for v, w in zip(xyz, D50))
    return 116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)


def cmyk_profile(inks):
    """An output profile of CMYK whose table (lut16, two points a side, CIELAB) makes each ink
    the sRGB colour `inks` gives it, inks multiplied over white, K over all black."""
    grid = []
    for c in (0, 1):
        for m in (0, 1):
            for y in (0, 1):
                for k in (0, 1):
                    rgb = [1.0 - k] * 3
                    for on, ink in zip((c, m, y), inks):
                        if on:
                            rgb = [a * b for a, b in zip(rgb, ink)]
                    lab = srgb_to_lab_d50(rgb)
                    grid += [round(lab[0] * 65280 / 100), round((lab[1] + 128) * 256),
                             round((lab[2] + 128) * 256)]
    identity = struct.pack(">9i", *[65536 if i % 4 == 0 else 0 for i in range(9)])
    lut = (b"mft2\0\0\0\0" + bytes([4, 3, 2, 0]) + identity + struct.pack(">HH", 2, 2)
           + struct.pack(">HH", 0, 65535) * 4 + struct.pack(">%dH" % len(grid), *grid)
           + struct.pack(">HH", 0, 65535) * 3)
    profile = bytearray(icc_profile(b"CMYK", [(b"A2B0", lut)]))
    profile[12:16], profile[20:24] = b"prtr", b"Lab "
    return bytes(profile)


# Cyan ink shown as sRGB's red, magenta as green, yellow as blue.
CMYK_AS_RGB = cmyk_profile(((1, 0, 0), (0, 1, 0), (0, 0, 1)))


def png_with_profile(rows, profile, grey=False, alpha=False):
    """An 8-bit PNG of `rows` (RGB, grey values, or RGBA) with `profile` in its iCCP chunk."""
    raw = b"".join(b"\0" + b"".join(bytes(rgba(c) if alpha else c) for c in row) for row in rows)
    iccp = b"profile\0\0" + zlib.compress(profile, 9)
    return (b"\x89PNG\r\n\x1a\n"
            + png_chunk(b"IHDR", struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8,
                                             0 if grey else 6 if alpha else 2, 0, 0, 0))
            + png_chunk(b"iCCP", iccp) + png_chunk(b"IDAT", zlib.compress(raw, 9))
            + png_chunk(b"IEND", b""))


def bmp_with_profile(rows, profile):
    """A 24-bit BMP with a version 5 header whose colour space is the profile embedded after its
    pixels."""
    header = bytearray(info(124, 24, 0))
    header[56:60] = b"DEBM"  # PROFILE_EMBEDDED, little-endian
    data = bytearray(bmp(bytes(header), b"", rows,
                         lambda row: b"".join(bytes((c[2], c[1], c[0])) for c in row)))
    struct.pack_into("<II", data, 14 + 112, len(data) - 14, len(profile))
    data += profile
    struct.pack_into("<I", data, 2, len(data))
    return bytes(data)


def jpeg_with_profile(rows, profile, pieces=1, order=None):
    """A JPEG of `rows` at the best quality, colour not subsampled, with `profile` split into
    `pieces` APP2 segments, written in the sequence numbers' `order` (from 1; their own order
    when none)."""
    ppm = b"P6 %d %d 255\n" % (len(rows[0]), len(rows)) + b"".join(
        bytes(c) for row in rows for c in row)
    jpeg = subprocess.run(["convert", "ppm:-", "-quality", "100", "-sampling-factor", "1x1",
                           "-strip", "jpg:-"], input=ppm, stdout=subprocess.PIPE, check=True).stdout
    step = -(-len(profile) // pieces)
    chunks = [profile[i:i + step] for i in range(0, len(profile), step)]
    segments = b""
    for sequence in order or range(1, len(chunks) + 1):
        data = b"ICC_PROFILE\0" + bytes([sequence, len(chunks)]) + chunks[sequence - 1]
        segments += b"\xff\xe2" + struct.pack(">H", len(data) + 2) + data
    return jpeg[:2] + segments + jpeg[2:]


def webp_with_profile(rows, profile):
    """A lossless WebP of `rows` with `profile` in an ICCP chunk after its extended header."""
    pixels = [c for c in webp_chunks(encoded("cwebp", [rows], "-lossless", "-exact"))
              if c[0] == b"VP8L"]
    canvas = (struct.pack("<I", 0x20) + struct.pack("<I", len(rows[0]) - 1)[:3]
              + struct.pack("<I", len(rows) - 1)[:3])
    return riff([(b"VP8X", canvas), (b"ICCP", profile)] + pixels)


def cmyk_jpeg_with_profile(rows, profile):
    """A CMYK JPEG of `rows` (C, M, Y, K) at the best quality, as ImageMagick writes it (inverted
    inks after an Adobe segment), with `profile` in one APP2 segment."""
    raw = b"".join(bytes(c) for row in rows for c in row)
    jpeg = subprocess.run(["convert", "-size", "%dx%d" % (len(rows[0]), len(rows)), "-depth", "8",
                           "cmyk:-", "-quality", "100", "-sampling-factor", "1x1", "jpg:-"],
                          input=raw, stdout=subprocess.PIPE, check=True).stdout
    data = b"ICC_PROFILE\0\x01\x01" + profile
    return jpeg[:2] + b"\xff\xe2" + struct.pack(">H", len(data) + 2) + data + jpeg[2:]


def heif_of_png(png, *options):
    """The file heif-enc makes of the PNG file `png` (bytes), its profile carried over."""
    with tempfile.TemporaryDirectory() as tmp:
        source, out = os.path.join(tmp, "in.png"), os.path.join(tmp, "out.heif")
        with open(source, "wb") as f:
            f.write(png)
        subprocess.run(["heif-enc", *options, "-o", out, source], check=True,
                       stdout=subprocess.DEVNULL)
        return open(out, "rb").read()


def srgb_curve_table(entries=1024):
    """sRGB's curve as a table of 16-bit light values."""
    values = []
    for i in range(entries):
        v = i / (entries - 1)
        values.append(round(65535 * (v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4)))
    return icc_tag(b"curv", struct.pack(">I%dH" % entries, entries, *values))


def profile_pictures():
    midtones = quadrants(*MIDTONES)
    save("png-icc-p3.png", png_with_profile(midtones, P3_GAMMA22))
    save("jpeg-icc-p3.jpg", jpeg_with_profile(midtones, P3_GAMMA22))
    save("webp-icc-p3.webp", webp_with_profile(midtones, P3_GAMMA22))
    plain = quadrants(RED, GREEN, BLUE, WHITE, BLACK)
    # Three segments, the first written last: joined in the order written, the profile is damaged.
    save("jpeg-icc-swapped-3-chunks.jpg", jpeg_with_profile(plain, SWAPPED, 3, [2, 3, 1]))
    save("png-icc-swapped.png", png_with_profile(plain, SWAPPED))
    save("png-icc-swapped-alpha.png",
         png_with_profile(quadrants(RED, GREEN, CLEAR, WHITE, BLACK), SWAPPED, alpha=True))
    greys = quadrants((200,), (100,), (50,), (255,), (0,))
    save("png-icc-grey-linear.png", png_with_profile(greys, LINEAR_GREY, grey=True))
    # A BMP with the exchanging profile embedded after its pixels (a version 5 header, "MBED").
    save("bmp-icc-swapped.bmp", bmp_with_profile(plain, SWAPPED))
    # The same profiles in a TIFF's ICC tag.
    save("tiff-icc-swapped.tif", tiff(plain, 2, extra={34675: (7, list(SWAPPED))}))
    save("tiff-icc-grey-linear.tif", tiff(greys, 1, extra={34675: (7, list(LINEAR_GREY))}))
    # AVIF with the exchanging profile in its colour box (prof), losslessly.
    save("avif-icc-swapped.avif",
         heif_of_png(png_with_profile(plain, SWAPPED), "-A", "-L", "--no-alpha"))
    # sRGB's own colorants and curve: already sRGB, read exactly as without a profile.
    curve = srgb_curve_table()
    srgb = icc_profile(b"RGB ", [(b"rXYZ", icc_xyz(SRGB_D50[0])), (b"gXYZ", icc_xyz(SRGB_D50[1])),
                                 (b"bXYZ", icc_xyz(SRGB_D50[2])), (b"rTRC", curve),
                                 (b"gTRC", curve), (b"bTRC", curve)])
    save("png-icc-srgb.png", png_with_profile(midtones, srgb))
    inks = quadrants((255, 0, 0, 0), (0, 255, 0, 0), (0, 0, 255, 0), (0, 0, 0, 0), (0, 0, 0, 255))
    save("jpeg-cmyk-icc.jpg", cmyk_jpeg_with_profile(inks, CMYK_AS_RGB))
    # Damaged or unusable profiles, ignored: one of two segments missing; a profile cut short;
    # a grey profile on RGB pixels.
    save("jpeg-icc-segment-missing.jpg", jpeg_with_profile(plain, SWAPPED, 2, [2]))
    save("png-icc-cut-short.png", png_with_profile(plain, SWAPPED[:100]))
    save("png-icc-grey-on-rgb.png", png_with_profile(plain, LINEAR_GREY))
    # AVIF, lossless, its colour box then marked as Display P3 (12) on sRGB's curve (13):
    # heif-enc 1.15 writes 2 and 2 (unspecified) whatever it is told.
    avif = bytearray(encoded("heif-enc", [midtones], "-A", "-L", "--no-alpha"))
    struct.pack_into(">HH", avif, avif.index(b"colrnclx") + 8, 12, 13)
    save("avif-nclx-p3.avif", bytes(avif))


if __name__ == "__main__":
    bitfield_bmp("bmp-32bit-1010102.bmp", 124, 32, 0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000)
    bitfield_bmp("bmp-32bit-111110.bmp", 40, 32, 0xFFE00000, 0x001FFC00, 0x000003FF)
    bitfield_bmp("bmp-16bit-3103.bmp", 40, 16, 0xE000, 0x1FF8, 0x0007)
    bitfield_bmp("bmp-header52.bmp", 52, 32, 0x00FF0000, 0x0000FF00, 0x000000FF)
    bitfield_bmp("bmp-header56.bmp", 56, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)
    palette_bmp("bmp-os2-short-palette.bmp", struct.pack("<IHHHH", 12, W, H, 1, 8), 3, 5)
    palette_bmp("bmp-os2v2-header16.bmp", struct.pack("<IiiHH", 16, W, H, 1, 8), 4, 5)
    png_rgb16_trns("png-rgb16-trns.png")
    jpeg_claiming("jpeg-progressive-49157x27397.jpg", 49157, 27397)
    jpeg_crowded("jpeg-1100-comments.jpg", 1100)
    midtone_bmps()
    exif_orientation_jpegs()
    png_claiming("png-4294967295x4294967295.png", 0xFFFFFFFF, 0xFFFFFFFF)
    # Within the memory budget, beyond what the files can hold.
    png_claiming("png-3000x3000.png", 3000, 3000, rows=1)
    bmp_claiming("bmp-3000x3000-one-row.bmp", 3000, 3000)
    webp_pictures()
    tiff_pictures()
    fax_tiff()
    heif_pictures()
    photos()
    profile_pictures()
    # Cut short at half their length.
    for whole in ("tiff-rgb8.tif", "webp-lossy.webp", "heic-plain.heic", "tiff-rgb16-deflate.tif"):
        data = open(os.path.join(HERE, whole), "rb").read()
        save("truncated-%s-50.%s" % tuple(whole.rsplit(".", 1)), data[:len(data) // 2])
