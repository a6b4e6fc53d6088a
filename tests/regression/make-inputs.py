#!/usr/bin/env python3
"""Writes the hostile segment files of this folder. Each is named for the fault it caught;
the tests run every *.MRK file here, and the fuzz runs start from them. Run it from any
directory: python3 tests/regression/make-inputs.py

With --large DIR it writes instead the hostile inputs of many megabytes into DIR (never into
the repository), for the peak-memory benchmark: whole files of hundreds of gathered pieces
and of Photoshop blocks, and a segment file of empty Photoshop blocks. With --whole-files DIR
it also writes into DIR the whole JPEG files of pictures by the thousand (the tests build the
same files themselves), for timing the command on them."""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def segment(marker, payload):
    return bytes([0xFF, marker]) + struct.pack(">H", len(payload) + 2) + payload


def jpeg(width, height, data=600):
    """A baseline grey JPEG whose frame header declares width x height; its scan holds only
    `data` zero bytes, so a decoder fills the rest of the picture itself."""
    dqt = segment(0xDB, bytes([0]) + bytes([1] * 64))
    sof = segment(0xC0, bytes([8]) + struct.pack(">HH", height, width) + bytes([1, 1, 0x11, 0]))
    # One code of length 1 in each table: symbol 0 (DC difference 0 / end of block).
    dht = segment(0xC4, bytes([0x00, 1] + [0] * 15 + [0]) + bytes([0x10, 1] + [0] * 15 + [0]))
    sos = segment(0xDA, bytes([1, 1, 0x00, 0, 63, 0]))
    return b"\xFF\xD8" + dqt + sof + dht + sos + bytes(data) + b"\xFF\xD9"


def progressive(width, height, scans, components=1, data=1000):
    """A progressive JPEG of `components` components: a first DC scan over `data` zero bytes,
    then scans of the first component's AC coefficients that hold no data at all."""
    dqt = segment(0xDB, bytes([0]) + bytes([1] * 64))
    sof = segment(0xC2, bytes([8]) + struct.pack(">HH", height, width) + bytes([components]) +
                  b"".join(bytes([i + 1, 0x11, 0]) for i in range(components)))
    dht = segment(0xC4, bytes([0x00, 1] + [0] * 15 + [0]) + bytes([0x10, 1] + [0] * 15 + [0]))
    dc = segment(0xDA, bytes([components]) +
                 b"".join(bytes([i + 1, 0]) for i in range(components)) + bytes([0, 0, 0]))
    ac = segment(0xDA, bytes([1, 1, 0, 1, 63, 0]))
    return b"\xFF\xD8" + dqt + sof + dht + dc + bytes(data) + ac * (scans - 1) + b"\xFF\xD9"


class Tiff:
    """An Intel-order TIFF structure built at known offsets (relative to its header)."""

    def __init__(self, size):
        self.b = bytearray(size)
        self.b[0:8] = b"II*\x00" + struct.pack("<I", 8)

    def first(self, offset):
        self.b[4:8] = struct.pack("<I", offset)

    def ifd(self, offset, entries, next_offset=0):
        out = struct.pack("<H", len(entries))
        for tag, ftype, count, value in entries:
            raw = value if isinstance(value, bytes) else struct.pack("<I", value)
            out += struct.pack("<HHI", tag, ftype, count) + raw.ljust(4, b"\x00")[:4]
        out += struct.pack("<I", next_offset)
        self.put(offset, out)
        return offset + len(out)

    def put(self, offset, data):
        if offset + len(data) > len(self.b):
            self.b.extend(bytes(offset + len(data) - len(self.b)))
        self.b[offset:offset + len(data)] = data

    def exif(self, pad=b"\x00"):
        return segment(0xE1, b"Exif\x00" + pad + bytes(self.b))


def ifd_chain_thumbnails(count=16):
    # Every IFD of the chain points its JPEGInterchangeFormat at the same small picture.
    picture = jpeg(8000, 8000)
    t = Tiff(0)
    start = 8
    size = 2 + 2 * 12 + 4
    pic = start + count * size
    for i in range(count):
        nxt = start + (i + 1) * size if i + 1 < count else 0
        t.ifd(start + i * size, [(0x0201, 4, 1, pic), (0x0202, 4, 1, len(picture))], nxt)
    t.put(pic, picture)
    return t.exif()


def single_thumbnail(width, height, picture=None):
    picture = picture or jpeg(width, height)
    t = Tiff(0)
    end = t.ifd(8, [(0x0201, 4, 1, 38), (0x0202, 4, 1, len(picture))])
    t.put(end, picture)
    return t.exif()


def jfxx_thumbnail(width, height):
    return segment(0xE0, b"JFXX\x00\x10" + jpeg(width, height))


def counts_near_2_32():
    # Entries whose counts promise 4 GiB of values of every width, all over the same bytes.
    t = Tiff(0)
    entries = [(0x010E, 2, 0xFFFFFFFF, 50), (0x011A, 5, 0xFFFFFFFE, 50),
               (0x9286, 7, 0xFFFFFFFF, 50), (0xA20C, 7, 0xFFFFFFF0, 50),
               (0xA302, 7, 0xFFFFFFFF, 50), (0x0111, 4, 0x7FFFFFFF, 50),
               (0x010F, 12, 0x20000000, 50), (0x0110, 1, 0xFFFFFFFF, 50)]
    end = t.ifd(8, entries * 8)
    t.put(end, b"UNICODE\x00" + b"\xFF\xFF" * 200)
    return t.exif()


def overlapping_comments():
    # Many user comments whose data are the same few hundred bytes: each copy is bounded by
    # what the structure may hold, not by the count.
    t = Tiff(0)
    entries = [(0x9286, 7, 0xFFFFFF00 + i, 20) for i in range(100)]
    end = t.ifd(8, entries)
    t.put(end, b"ASCII\x00\x00\x00" + b"A" * 400)
    return t.exif()


def deep_nesting(depth=2000):
    # Each directory's EXIF offset leads to a new directory one level deeper.
    t = Tiff(0)
    size = 2 + 12 + 4
    for i in range(depth):
        here = 8 + i * size
        t.ifd(here, [(0x8769, 4, 1, here + size)])
    t.ifd(8 + depth * size, [])
    return t.exif()


def cyclic_offsets():
    # Chains and sub-directories that lead back to directories already read.
    t = Tiff(0)
    t.ifd(8, [(0x8769, 4, 1, 8), (0xA005, 4, 1, 44), (0x0201, 4, 1, 8)], 44)
    t.ifd(44, [(0x8769, 4, 1, 8), (0xA005, 4, 1, 44)], 8)
    return t.exif()


def odd_pad():
    # No pad byte after the identifier, an odd first offset, and an IFD cut short.
    t = Tiff(0)
    t.first(9)
    t.ifd(9, [(0x010F, 2, 20, 3)] * 3)
    return t.exif(pad=b"")[:-7]


def thumbnails_over_budget(count=6):
    # Pictures each allowed alone, too many together for the bytes of the report.
    picture = jpeg(1024, 1024)
    t = Tiff(0)
    size = 2 + 12 + 4
    pic = 8 + count * size
    for i in range(count):
        nxt = 8 + (i + 1) * size if i + 1 < count else 0
        t.ifd(8 + i * size, [(0x0201, 4, 1, pic)], nxt)
    t.put(pic, picture)
    return t.exif()


def many_thumbnails(count=3600):
    # One-entry IFDs in a chain, each pointing at the same 1 x 1 picture: as many pictures as
    # the segment has directories.
    picture = jpeg(1, 1, data=2)
    t = Tiff(0)
    size = 2 + 12 + 4
    pic = 8 + count * size
    for i in range(count):
        nxt = 8 + (i + 1) * size if i + 1 < count else 0
        t.ifd(8 + i * size, [(0x0201, 4, 1, pic)], nxt)
    t.put(pic, picture)
    return t.exif()


def whole_jpeg(segments):
    return b"\xFF\xD8" + b"".join(segments) + jpeg(1, 1, data=2)[2:]


def jfxx_rgb_thumbnails(count=9990):
    # JFXX segments of one uncompressed 1 x 1 RGB pixel each, after the file's JFIF segment.
    jfif = segment(0xE0, b"JFIF\x00\x01\x02\x00\x00\x01\x00\x01\x00\x00")
    return whole_jpeg([jfif] + [segment(0xE0, b"JFXX\x00\x13\x01\x01\x80\x40\x20")] * count)


def hp_piece(identifier, width, height, piece, pixels, words=None):
    header = [2, width, height, 1, piece, 2] + ([1, 0] if identifier == b"HPSC" else [])
    return segment(0xE4, identifier + struct.pack(">%dI" % len(header), *(words or header)) + pixels)


def hp_pieces_without_pixels(count=1500):
    # A picture that asks for far more than its pieces, each a header and no pixel byte.
    return b"".join(hp_piece(b"H3X0", 65536, 65536, i + 1, b"") for i in range(count))


def whole_file(segments):
    """A small grey JPEG with the segments after its start-of-image marker."""
    picture = jpeg(16, 16)
    return picture[:2] + b"".join(segments) + picture[2:]


def icc_pieces(count=400):
    # Pieces of a profile as large as a segment allows; more than a byte can number, so the
    # sequence numbers wrap and the pieces never make a whole.
    data = bytes(range(256)) * 256
    return whole_file(segment(0xE2, b"ICC_PROFILE\x00" + bytes([i % 255 + 1, 255]) +
                              data[:65533 - 14]) for i in range(count))


def fpxr_pieces(count=200):
    # Consecutive pieces, which the viewer reads as one segment.
    return whole_file(segment(0xE2, b"FPXR" + bytes(65529)) for _ in range(count))


def photoshop_pieces(blocks):
    """The blocks' bytes in consecutive Photoshop pieces of the largest size."""
    room = 65533 - 14
    return b"".join(segment(0xED, b"Photoshop 3.0\x00" + blocks[i:i + room])
                    for i in range(0, len(blocks), room))


def empty_8bim_blocks(size):
    # Blocks of no name and no data, twelve bytes each: a row of the table apiece.
    return photoshop_pieces(b"8BIM\x04\x00\x00\x00\x00\x00\x00\x00" * (size // 12))


def photoshop_block(resource, data):
    # A block of no name, with the pad its data needs.
    return b"8BIM" + struct.pack(">H", resource) + b"\x00\x00" + struct.pack(">I", len(data)) + \
        data + b"\x00" * (len(data) % 2)


def guides_block(guides):
    return photoshop_block(0x0408, struct.pack(">4I", 1, 576, 576, guides) +
                           b"\x00\x00\x01\x00\x01" * guides)


def grid_guides_blocks(size):
    # Grid-and-guides blocks each as large as a piece, each guide a row of its own.
    guides = 13000
    block = b"8BIM\x04\x08\x00\x00" + struct.pack(">I", 16 + 5 * guides) + \
        struct.pack(">4I", 1, 576, 576, guides) + b"\x00\x00\x01\x00\x01" * guides
    return whole_file([photoshop_pieces(block * (size // len(block)))])


LARGE = {
    "icc-400-pieces.jpg": lambda: icc_pieces(),
    "fpxr-200-pieces.jpg": lambda: fpxr_pieces(),
    "photoshop-4mb-of-empty-blocks.MRK": lambda: empty_8bim_blocks(4 << 20),
    "photoshop-4mb-of-grid-guides.jpg": lambda: grid_guides_blocks(4 << 20),
    "photoshop-16mb-of-grid-guides.jpg": lambda: grid_guides_blocks(16 << 20),
    # Resource segments of empty blocks kept apart by comments: each is a block list of its own.
    "photoshop-256-segments-apart.jpg":
        lambda: whole_file([empty_8bim_blocks(65519) + segment(0xFE, b"x")] * 256),
}

XMP_ID = b"http://ns.adobe.com/xap/1.0/\0"
XMP_EXTENSION_ID = b"http://ns.adobe.com/xmp/extension/\0"


def xmp(body):
    return segment(0xE1, XMP_ID + body)


def icc_many_overlapping_tags(count=5000):
    """One piece holding a whole profile whose table declares 100,000 tags: as many entries as
    the segment holds, each a text of a million records starting a byte after the one before."""
    table_end = 128 + 4 + 12 * count
    body = b"mluc" + bytes(4) + struct.pack(">2I", 1000000, 12) + b"enUS" + struct.pack(">2I", 0xFFFF, 16)
    size = table_end + 64 + len(body) + 64
    header = struct.pack(">I", size) + bytes(32) + b"acsp" + bytes(128 - 40)
    entries = b"".join(struct.pack(">4s2I", b"desc" if i == 0 else b"cprt", table_end + 64 + i % 64,
                                   len(body)) for i in range(count))
    profile = header + struct.pack(">I", 100000) + entries + bytes(64) + body + bytes(64)
    return segment(0xE2, b"ICC_PROFILE\0" + bytes([1, 1]) + profile)


INPUTS = {
    "ifd-chain-16-thumbnails-8000x8000.MRK": ifd_chain_thumbnails(),
    "exif-thumbnail-65535x65535.MRK": single_thumbnail(65535, 65535),
    "jfxx-thumbnail-65535x65535.MRK": jfxx_thumbnail(65535, 65535),
    "jfxx-thumbnail-8000x8000.MRK": jfxx_thumbnail(8000, 8000),
    "exif-thumbnails-over-report-budget.MRK": thumbnails_over_budget(),
    # 4096 x 4096 over a few kilobytes: more pixels than the bytes can hold, whatever the scans.
    "exif-progressive-thumbnail-1000-scans.MRK":
        single_thumbnail(0, 0, progressive(4096, 4096, 1000)),
    "exif-progressive-cmyk-thumbnail-499-scans.MRK":
        single_thumbnail(0, 0, progressive(4096, 4096, 499, 4)),
    # Pictures their bytes can hold, with more scans than any picture may have, and with more
    # than their size and bytes allow.
    "exif-progressive-thumbnail-150-scans.MRK": single_thumbnail(0, 0, progressive(64, 64, 150)),
    "exif-progressive-thumbnail-scans-over-its-bytes.MRK":
        single_thumbnail(0, 0, progressive(1024, 1024, 90, data=2100)),
    "tiff-counts-near-2-32.MRK": counts_near_2_32(),
    "tiff-overlapping-user-comments.MRK": overlapping_comments(),
    "tiff-deep-nesting.MRK": deep_nesting(),
    "tiff-cyclic-offsets.MRK": cyclic_offsets(),
    "exif-odd-pad.MRK": odd_pad(),
    "hpsc-65536x65536.MRK": hp_piece(b"HPSC", 65536, 65536, 1, bytes([0x80, 0, 0x80, 0xFF]) * 4),
    "hpsc-width-0-with-pixels.MRK": hp_piece(b"HPSC", 0, 100, 1, bytes([0x80, 0, 0x80, 0xFF]) * 8),
    "hpsc-piece-shorter-than-its-header.MRK":
        segment(0xE4, b"HPSC" + struct.pack(">2I", 2, 4)) + hp_piece(b"HPSC", 4, 1, 1, bytes(8)),
    "h3x0-pieces-without-pixels.MRK": hp_pieces_without_pixels(),
    # Entities that double ten times over: refused with the document type that declares them.
    "xmp-billion-laughs.MRK": xmp(b"<!DOCTYPE x [<!ENTITY a0 'aaaaaaaaaa'>" + b"".join(
        b"<!ENTITY a%d '%s'>" % (i, b"&a%d;" % (i - 1) * 10) for i in range(1, 10)) +
        b"]><x>&a9;</x>"),
    "xmp-nested-20000-deep.MRK": xmp(b"<x:xmpmeta xmlns:x='adobe:ns:meta/'>" + b"<a>" * 20000),
    # Elements of four bytes, as many as a segment holds.
    "xmp-16000-elements.MRK": xmp(b"<r>" + b"<e/>" * 16000 + b"</r>"),
    "xmp-extension-piece-beyond-its-length.MRK":
        segment(0xE1, XMP_EXTENSION_ID + b"0" * 32 + struct.pack(">2I", 10, 0xFFFFFFF0) + b"<x/>"),
    "exif-3600-thumbnails-1x1.MRK": many_thumbnails(),
    "icc-100000-overlapping-tags.MRK": icc_many_overlapping_tags(),
    # As many empty blocks as a piece holds, more than a block table shows.
    "photoshop-5459-empty-blocks.MRK": empty_8bim_blocks(65519),
    # One block of more guides than a block table shows, and two that share what it shows:
    # print flags (eight named, the rest a row each) and channel names of no characters.
    "photoshop-13000-guides.MRK": photoshop_pieces(guides_block(13000)),
    "photoshop-20000-flags-and-20000-names.MRK":
        photoshop_pieces(photoshop_block(0x03F3, b"\x01" * 20000) +
                         photoshop_block(0x03EE, b"\x00" * 20000)),
}

WHOLE_FILES = {
    "exif-4-segments-of-3600-thumbnails.jpg": whole_jpeg([many_thumbnails()] * 4),
    "jfxx-9990-rgb-thumbnails.jpg": jfxx_rgb_thumbnails(),
}

if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--large":
        for name, make in LARGE.items():
            with open(os.path.join(sys.argv[2], name), "wb") as f:
                f.write(make())
        sys.exit(0)
    for name, data in INPUTS.items():
        assert len(data) <= 65537, name
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)
    if len(sys.argv) == 3 and sys.argv[1] == "--whole-files":
        for name, data in WHOLE_FILES.items():
            with open(os.path.join(sys.argv[2], name), "wb") as f:
                f.write(data)
