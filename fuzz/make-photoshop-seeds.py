#!/usr/bin/env python3
"""Writes the Photoshop resource seeds of the fuzz run (fuzz/seeds/photoshop-*.MRK) and the
sample samples/photoshop-thumbnail.MRK: APP13 segments with one block of every registered
ID, PHUT and plain blocks, pieces, and hostile sizes and counts. The thumbnails' JPEG is the
one of samples/exif-camera.MRK."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def block(resource_id, data, name=b"", signature=b"8BIM", size=None):
    name_field = bytes([len(name)]) + name + (b"\0" if len(name) % 2 == 0 else b"")
    size = len(data) if size is None else size
    pad = b"\0" if len(data) % 2 == 1 else b""
    return signature + struct.pack(">H", resource_id) + name_field + struct.pack(">I", size) + data + pad


def piece(payload):
    return b"\xFF\xED" + struct.pack(">H", len(payload) + 16) + b"Photoshop 3.0\0" + payload


def fixed(value):
    return struct.pack(">i", round(value * 65536))


def screen(frequency, units, angle, shape):
    return fixed(frequency) + struct.pack(">H", units) + fixed(angle) + struct.pack(">hIBB", shape, 0, 1, 0)


def thumbnail_data(fmt, width, height, jpeg):
    stride = (24 * width + 31) // 32 * 4
    return struct.pack(">6I2H", fmt, width, height, stride, stride * height, len(jpeg), 24, 1) + jpeg


def main():
    camera = open(os.path.join(ROOT, "samples", "exif-camera.MRK"), "rb").read()
    jpeg = camera[camera.index(b"\xFF\xD8", 4):]
    width, height = 80, 60
    curve = struct.pack(">13H", 0, 50, 100, 200, 300, 400, 500, 600, 700, 800, 900, 950, 1000) + b"\0\0"
    seeds = {
        "print-flags-info": block(10000, struct.pack(">HBBIH", 1, 1, 0, 3870, 2)),
        "resolution": block(1005, fixed(300) + struct.pack(">HH", 1, 2) + fixed(300) + struct.pack(">HH", 1, 2)),
        "alpha-names": block(1006, b"\x03Red\x05Green"),
        "border": block(1009, fixed(2.25) + struct.pack(">H", 1)),
        "print-flags": block(1011, bytes([1, 0, 1, 0, 0, 0, 0, 1, 1])),
        "halftone": block(1013, screen(53, 1, 15, 1) + screen(53, 2, 75, 0) + screen(53, 1, -45, 6) +
                          screen(53, 1, 0, -4) + b"abcd"),
        "transfer": block(1016, curve * 4),
        "guides": block(1032, struct.pack(">4I", 1, 576, 576, 2) + struct.pack(">IBIB", 100, 0, 200, 1)),
        "copyright": block(1034, b"\x01"),
        "url": block(1035, b"http://example.com/"),
        "thumbnail": block(1036, thumbnail_data(1, width, height, jpeg)),
        "thumbnail-old": block(1033, thumbnail_data(1, width, height, jpeg)),
        "thumbnail-raw": block(1036, thumbnail_data(0, 2, 1, b"\x10\x20\x30\x40\x50\x60")),
        "global-angle": block(1037, struct.pack(">I", 120)),
        "unicode-names": block(1045, struct.pack(">I", 3) + "Red".encode("utf-16-be")),
        "global-altitude": block(1049, struct.pack(">I", 30)),
        "named-phut": block(2500, b"\x01\x02", name=b"Odd") + block(1000, b"AB", signature=b"PHUT") +
        block(1028, b"\x1C\x02\x78\x41"),
        "hostile-counts": block(1045, struct.pack(">I", 0xFFFFFFFF) + b"\0A") +
        block(1032, struct.pack(">4I", 1, 576, 576, 0xFFFFFFFF) + b"\0\0\0\x07\x01") +
        block(1028, b"ABCD", size=0x80000000),
    }
    for name, payload in seeds.items():
        with open(os.path.join(HERE, "seeds", "photoshop-" + name + ".MRK"), "wb") as out:
            out.write(piece(payload))
    # A block cut by the border of two pieces.
    iptc = block(1028, b"\x1C\x02\x78\x41")
    with open(os.path.join(HERE, "seeds", "photoshop-two-pieces.MRK"), "wb") as out:
        out.write(piece(iptc[:10]) + piece(iptc[10:]))
    # The sample: what an image editor writes, with its thumbnail.
    sample = block(1005, fixed(72) + struct.pack(">HH", 1, 1) + fixed(72) +
                                             struct.pack(">HH", 1, 1)) + \
        block(1028, b"\x1C\x02\x00\x00\x02\x00\x02") + seeds["copyright"] + seeds["global-angle"] + \
        seeds["print-flags"] + seeds["thumbnail"]
    with open(os.path.join(ROOT, "samples", "photoshop-thumbnail.MRK"), "wb") as out:
        out.write(piece(sample))


if __name__ == "__main__":
    main()
