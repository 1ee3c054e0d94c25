"""PNG writing and reading for the desktop icons: 8-bit RGBA, no interlacing.

The writer puts every row through filter 0 and deflates the image at level 9 with the standard
library's zlib; there are no time or text chunks, so the same pixels always give the same file
on the same zlib. Another zlib may pack the same pixels into other bytes, which is why the stored
icons are compared by their decoded pixels (`read_png_rgba`), not byte for byte.
"""

import struct
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"


def _chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data
            + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def write_png_rgba(width, height, rows):
    """rows: `height` byte strings of width * 4 bytes (r, g, b, a per pixel)."""
    if len(rows) != height or any(len(r) != width * 4 for r in rows):
        raise ValueError("rows do not match the image size")
    raw = b"".join(b"\x00" + bytes(r) for r in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (SIGNATURE + _chunk(b"IHDR", header) + _chunk(b"IDAT", zlib.compress(raw, 9))
            + _chunk(b"IEND", b""))


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_png_rgba(data):
    """Decodes a non-interlaced 8-bit RGBA PNG into (width, height, rows). Any other kind of PNG,
    a bad checksum or a short file raises ValueError."""
    if not data.startswith(SIGNATURE):
        raise ValueError("not a PNG file")
    pos, header, idat = len(SIGNATURE), None, b""
    while True:
        if pos + 8 > len(data):
            raise ValueError("PNG file ends without IEND")
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc = data[pos + 8 + length:pos + 12 + length]
        if len(body) != length or len(crc) != 4:
            raise ValueError("PNG chunk runs past the end of the file")
        if struct.unpack(">I", crc)[0] != zlib.crc32(kind + body) & 0xFFFFFFFF:
            raise ValueError(f"bad checksum on the {kind!r} chunk")
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    if header is None:
        raise ValueError("PNG file has no IHDR chunk")
    width, height, depth, colour_type, _, _, interlace = header
    if (depth, colour_type, interlace) != (8, 6, 0):
        raise ValueError("only non-interlaced 8-bit RGBA PNG files are read here")
    raw = zlib.decompress(idat)
    stride = width * 4
    if len(raw) != height * (stride + 1):
        raise ValueError("PNG image data has the wrong length")
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - 4] if i >= 4 else 0
            up = previous[i]
            upper_left = previous[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                line[i] = (line[i] + _paeth(left, up, upper_left)) & 0xFF
            elif kind != 0:
                raise ValueError(f"unknown PNG row filter {kind}")
        rows.append(bytes(line))
        previous = line
    return width, height, rows
