#!/usr/bin/env python3
# Makes the pictures of tests/data/pictures that Qt's readers once got wrong, and the JPEG whose
# header claims a picture its bytes cannot hold: python3 tests/data/make_pictures.py
# Every picture but the JPEG is 40 x 30 in four quadrants (top-left, top-right, bottom-left,
# bottom-right) with a 3 x 3 black marker in the top-left corner, as tests/test_pictures.h draws
# them, so a shift, a wrap or a mirror shows. The JPEG needs ImageMagick's convert.
import os
import struct
import subprocess
import tempfile
import zlib

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pictures")
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


def save(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
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
