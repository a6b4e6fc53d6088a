#!/usr/bin/env python3
"""Writes the fuzz seeds of the vendor, XMP, ICC profile, Adobe, Ducky and FPXR segments
(fuzz/seeds/, one small segment file of every class, the gathering ones in several pieces) and
the samples samples/hpsc-thumbnail.MRK and samples/siemens-thumbnail.MRK."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def seg(marker, payload):
    return bytes([0xFF, marker]) + struct.pack(">H", len(payload) + 2) + payload


def hp(identifier, words, pixels):
    return seg(0xE4, identifier + struct.pack(">%dI" % len(words), *words) + pixels)


def clamp(value):
    return max(0, min(255, int(round(value))))


def hp_pixels(width, height, colour):
    """Cb, Y0, Cr, Y1 for every two pixels, rows from the top."""
    pixels = [colour(i % width, i // width) for i in range(width * height)]
    out = bytearray()
    for i in range(0, len(pixels), 2):
        pair = [pixels[i], pixels[i + 1] if i + 1 < len(pixels) else (0, 0, 0)]
        y = [0.299 * r + 0.587 * g + 0.114 * b for r, g, b in pair]
        cb = sum((b - yy) / 1.772 for (_, _, b), yy in zip(pair, y)) / 2 + 128
        cr = sum((r - yy) / 1.402 for (r, _, _), yy in zip(pair, y)) / 2 + 128
        out += bytes([clamp(cb), clamp(y[0]), clamp(cr), clamp(y[1])])
    return bytes(out)


def bars(x, y, width=128, height=96):
    """Colour bars over a grey ramp."""
    if y < height * 2 // 3:
        return [(255, 255, 255), (255, 255, 0), (0, 255, 255), (0, 255, 0),
                (255, 0, 255), (255, 0, 0), (0, 0, 255), (0, 0, 0)][x * 8 // width]
    v = x * 255 // (width - 1)
    return (v, v, v)


SIEMENS_ID = b"<SIEMENS THUMBNAIL>\x01\x20\x20\x08"


def siemens_pixels():
    out = bytearray()
    for y in range(32):
        for x in range(32):
            r, g, b = x * 8, y * 8, max(0, 255 - (x + y) * 4)
            out += struct.pack("<H", (r & 0xF8) << 8 | (g & 0xFC) << 3 | b >> 3)
    return bytes(out)


def write(path, data):
    with open(os.path.join(ROOT, path), "wb") as f:
        f.write(data)


def main():
    pixels = hp_pixels(128, 96, bars)
    half = len(pixels) // 2
    header = lambda piece: [2, 128, 96, 1, piece, 2, 1, 0]
    write("samples/hpsc-thumbnail.MRK",
          hp(b"HPSC", header(1), pixels[:half]) + hp(b"HPSC", header(2), pixels[half:]))
    write("samples/siemens-thumbnail.MRK", seg(0xE7, SIEMENS_ID + bytes(5) + siemens_pixels()))

    small = hp_pixels(4, 2, lambda x, y: [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)][x])
    seeds = {
        "hpsc-two-pieces": hp(b"HPSC", [2, 4, 2, 1, 1, 2, 1, 0], small[:8]) +
                           hp(b"HPSC", [2, 4, 2, 1, 2, 2, 1, 0], small[8:]),
        "h3x0-two-pieces": hp(b"H3X0", [2, 4, 2, 1, 1, 2], small[:8]) +
                           hp(b"H3X0", [2, 4, 2, 1, 2, 2], small[8:]),
        "siemens": seg(0xE7, SIEMENS_ID + b"\x01\x02\x03\x04\x05" + siemens_pixels()),
        "unicode-comment": seg(0xEA, b"UNICODE\0" + "Ab \u0416 <c>".encode("utf-16-be") + b"\0\0"),
        "msoffice-two": seg(0xE3, b"MSOFFICE9.0\x01\x02\x03") + seg(0xE3, b"MSOFFICE9.0\x04"),
        "xmp": seg(0xE1, b"http://ns.adobe.com/xap/1.0/\0<?xpacket begin=\"\" "
                         b"id=\"W5M0MpCehiHzreSzNTczkc9d\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>"
                         b"<?xpacket end=\"w\"?>"),
        "icc-profile": seg(0xE2, b"ICC_PROFILE\0\x01\x01" + bytes(range(64))),
        "adobe": seg(0xEE, b"Adobe\0\x64\x00\x00\x00\x00\x01"),
        "ducky": seg(0xEC, b"Ducky\0\x01\x00\x04\x00\x00\x00\x50\x00\x00"),
        "fpxr-three": b"".join(seg(0xE2, b"FPXR" + bytes([k] * 12)) for k in range(3)),
    }
    for name, data in seeds.items():
        write("fuzz/seeds/%s.MRK" % name, data)


if __name__ == "__main__":
    main()
