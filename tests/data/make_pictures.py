#!/usr/bin/env python3
# Makes pictures of tests/data/pictures: python3 tests/data/make_pictures.py
# The JPEG whose header claims a picture its bytes cannot hold needs ImageMagick's convert.
import os
import struct
import subprocess
import tempfile

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pictures")


def save(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def jpeg_claiming(name, width, height):
    """A small progressive JPEG whose frame header claims width x height."""
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "small.jpg")
        subprocess.run(["convert", "-size", "32x24", "gradient:red-blue", "-interlace", "JPEG",
                        "-quality", "50", "-strip", path], check=True)
        data = bytearray(open(path, "rb").read())
    at = data.index(b"\xff\xc2")  # progressive frame header: length, precision, height, width
    struct.pack_into(">HH", data, at + 5, height, width)
    save(name, bytes(data))


if __name__ == "__main__":
    jpeg_claiming("jpeg-progressive-49157x27397.jpg", 49157, 27397)
