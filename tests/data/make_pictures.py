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


def quadrants(tl, tr, bl, br, marker):
    """Rows of colour values, top row first."""
    rows = []
    for y in range(H):
        row = []
        for x in range(W):
            if x < 3 and y < 3:
                row.append(marker)
            elif y < H // 2:
                row.append(tl if x < W // 2 else tr)
            else:
                row.append(bl if x < W // 2 else br)
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


def info(size, bits, compression, masks=b""):
    """A Windows info header of `size` bytes (40, 52, 56, 108 or 124), the masks inside it."""
    head = struct.pack("<IiiHHIIiiII", size, W, H, 1, bits, compression, 0, 2835, 2835, 0, 0)
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
