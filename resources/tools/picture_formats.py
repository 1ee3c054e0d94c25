"""Byte-level writers for the picture formats the kit ships: GIF (87a and 89a) and ICO.

Only the Python standard library is used, so the generator runs on any machine with python3.
Every field of the files is chosen by the caller; nothing depends on the time, the locale or
dictionary order, so the same drawing always gives the same bytes.
"""

import struct

# Pixels are colours (r, g, b); None marks a see-through pixel.


class Canvas:
    """A small RGB raster with optional transparency, plus the drawing helpers the art needs."""

    def __init__(self, width, height, fill=None):
        self.width = width
        self.height = height
        self.px = [[fill] * width for _ in range(height)]

    def inside(self, x, y):
        return 0 <= x < self.width and 0 <= y < self.height

    def get(self, x, y):
        return self.px[y][x] if self.inside(x, y) else None

    def set(self, x, y, colour):
        if self.inside(x, y):
            self.px[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        """Fills the rectangle with corners (x0, y0) and (x1, y1), both included."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, colour)

    def hline(self, x0, x1, y, colour):
        self.rect(x0, y, x1, y, colour)

    def vline(self, x, y0, y1, colour):
        self.rect(x, y0, x, y1, colour)

    def line(self, x0, y0, x1, y1, colour):
        """Bresenham line, both ends included."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx = 1 if x0 < x1 else -1
        sy = 1 if y0 < y1 else -1
        err = dx + dy
        while True:
            self.set(x0, y0, colour)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def stamp(self, x, y, art, legend):
        """Copies character art onto the canvas; characters missing from the legend are skipped."""
        for row, text in enumerate(art):
            for col, ch in enumerate(text):
                if ch in legend:
                    self.set(x + col, y + row, legend[ch])

    def crop(self, x, y, width, height):
        out = Canvas(width, height)
        for row in range(height):
            for col in range(width):
                out.px[row][col] = self.get(x + col, y + row)
        return out

    def colours(self):
        """The distinct opaque colours, in raster order of first use."""
        seen = {}
        for row in self.px:
            for colour in row:
                if colour is not None and colour not in seen:
                    seen[colour] = True
        return list(seen)


def build_palette(canvases, size, transparent_index=None, first=()):
    """Makes a colour table of exactly `size` entries holding every opaque colour of the canvases.

    `first` colours take the lowest slots in the given order. The transparent slot, when asked
    for, is kept free of real colours and filled with a colour no pixel uses, so the mapping
    from colours to indices stays one to one. Unused slots are black.
    """
    wanted = list(first)
    for canvas in canvases:
        for colour in canvas.colours():
            if colour not in wanted:
                wanted.append(colour)
    slots = [None] * size
    free = [i for i in range(size) if i != transparent_index]
    if len(wanted) > len(free):
        raise ValueError(f"{len(wanted)} colours do not fit a table of {size}")
    for index, colour in zip(free, wanted):
        slots[index] = colour
    if transparent_index is not None:
        key = (255, 0, 255)
        while key in wanted:
            key = (key[0], key[1] + 1, key[2])
        slots[transparent_index] = key
    return [s if s is not None else (0, 0, 0) for s in slots]


def quantize(canvases, max_colours):
    """Median cut over the opaque pixels of the canvases, then nearest-colour mapping.

    Returns new canvases using at most max_colours colours. Boxes are split on their widest
    channel at the median pixel; ties are broken by the colour values, so the result depends
    only on the pixels.
    """
    counts = {}
    for canvas in canvases:
        for row in canvas.px:
            for colour in row:
                if colour is not None:
                    counts[colour] = counts.get(colour, 0) + 1
    if len(counts) <= max_colours:
        return canvases
    boxes = [sorted(counts)]

    def spread(box):
        return max(max(c[i] for c in box) - min(c[i] for c in box) for i in range(3))

    while len(boxes) < max_colours:
        boxes.sort(key=lambda b: (spread(b) * sum(counts[c] for c in b), b[0]), reverse=True)
        box = boxes.pop(0)
        if len(box) < 2:
            boxes.append(box)
            break
        channel = max(range(3), key=lambda i: (max(c[i] for c in box) - min(c[i] for c in box), -i))
        box.sort(key=lambda c: (c[channel], c))
        total = sum(counts[c] for c in box)
        acc, cut = 0, 1
        for i, c in enumerate(box):
            acc += counts[c]
            if acc * 2 >= total:
                cut = min(max(i + 1, 1), len(box) - 1)
                break
        boxes += [box[:cut], box[cut:]]
    mapping = {}
    for box in boxes:
        weight = sum(counts[c] for c in box)
        mean = tuple((sum(c[i] * counts[c] for c in box) + weight // 2) // weight for i in range(3))
        for c in box:
            mapping[c] = mean
    out = []
    for canvas in canvases:
        copy = Canvas(canvas.width, canvas.height)
        copy.px = [[None if c is None else mapping[c] for c in row] for row in canvas.px]
        out.append(copy)
    return out


def index_pixels(canvas, palette, transparent_index=None):
    lookup = {}
    for i, colour in enumerate(palette):
        if i != transparent_index:
            lookup.setdefault(colour, i)
    out = []
    for row in canvas.px:
        for colour in row:
            if colour is None:
                if transparent_index is None:
                    raise ValueError("transparent pixel in a picture without a transparent index")
                out.append(transparent_index)
            else:
                out.append(lookup[colour])
    return out


# --- GIF -----------------------------------------------------------------------------------------


class _BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.bits = 0

    def write(self, code, width):
        self.acc |= code << self.bits
        self.bits += width
        while self.bits >= 8:
            self.out.append(self.acc & 0xFF)
            self.acc >>= 8
            self.bits -= 8

    def finish(self):
        if self.bits:
            self.out.append(self.acc & 0xFF)
        return bytes(self.out)


def lzw_encode(indices, min_code_size):
    """Variable-width LZW as GIF decoders expect it: codes packed LSB first, a clear code at the
    start and whenever the 4096-entry table fills up."""
    clear = 1 << min_code_size
    end = clear + 1
    writer = _BitWriter()

    def reset():
        return {(-1, i): i for i in range(clear)}, end + 1, min_code_size + 1

    table, next_code, width = reset()
    writer.write(clear, width)
    if not indices:
        writer.write(end, width)
        return writer.finish()
    prefix = indices[0]
    for value in indices[1:]:
        key = (prefix, value)
        if key in table:
            prefix = table[key]
            continue
        writer.write(prefix, width)
        table[key] = next_code
        next_code += 1
        if next_code == 4096:
            # The decoder is one entry behind, so a 12-bit clear is what it reads next.
            writer.write(clear, width)
            table, next_code, width = reset()
        elif next_code > (1 << width):
            width += 1
        prefix = value
    writer.write(prefix, width)
    writer.write(end, width)
    return writer.finish()


def _sub_blocks(data):
    out = bytearray()
    for start in range(0, len(data), 255):
        chunk = data[start:start + 255]
        out.append(len(chunk))
        out += chunk
    out.append(0)
    return bytes(out)


def _table_bits(entries):
    bits = 1
    while (1 << bits) < entries:
        bits += 1
    if (1 << bits) != entries:
        raise ValueError("a GIF colour table holds a power of two entries")
    return bits


class GifFrame:
    """One image of a GIF: its rectangle on the logical screen and its palette indices."""

    def __init__(self, left, top, width, height, indices, delay=None, transparent=None,
                 disposal=0):
        if len(indices) != width * height:
            raise ValueError("frame size and pixel count differ")
        self.left, self.top, self.width, self.height = left, top, width, height
        self.indices = indices
        # A graphic control extension is written when a delay or transparency is given.
        self.delay = delay
        self.transparent = transparent
        self.disposal = disposal


def write_gif(version, width, height, palette, frames, background=0, loop=None):
    """Assembles a GIF file. version is b"87a" or b"89a"; 87a files may carry no extensions."""
    bits = _table_bits(len(palette))
    out = bytearray(b"GIF" + version)
    packed = 0x80 | ((bits - 1) << 4) | (bits - 1)
    out += struct.pack("<HHBBB", width, height, packed, background, 0)
    for r, g, b in palette:
        out += bytes((r, g, b))
    if loop is not None:
        if version != b"89a":
            raise ValueError("looping needs GIF89a")
        out += b"\x21\xff\x0bNETSCAPE2.0" + struct.pack("<BBHB", 3, 1, loop, 0)
    min_code_size = max(2, bits)
    for frame in frames:
        if frame.delay is not None or frame.transparent is not None:
            if version != b"89a":
                raise ValueError("graphic control needs GIF89a")
            flags = (frame.disposal & 7) << 2
            if frame.transparent is not None:
                flags |= 1
            out += struct.pack("<BBBBHBB", 0x21, 0xF9, 4, flags, frame.delay or 0,
                               frame.transparent or 0, 0)
        if not (frame.left + frame.width <= width and frame.top + frame.height <= height):
            raise ValueError("frame leaves the logical screen")
        out += struct.pack("<BHHHHB", 0x2C, frame.left, frame.top, frame.width, frame.height, 0)
        out.append(min_code_size)
        out += _sub_blocks(lzw_encode(frame.indices, min_code_size))
    out.append(0x3B)
    return bytes(out)


# --- ICO -----------------------------------------------------------------------------------------


def write_ico_4bpp(canvas, palette):
    """A one-image icon: 16-colour DIB with an AND mask. None pixels become see-through."""
    if len(palette) != 16:
        raise ValueError("a 4-bit icon has 16 palette entries")
    w, h = canvas.width, canvas.height
    lookup = {colour: i for i, colour in reversed(list(enumerate(palette)))}
    xor_stride = ((w * 4 + 31) // 32) * 4
    and_stride = ((w + 31) // 32) * 4
    xor_rows, and_rows = [], []
    for y in range(h - 1, -1, -1):  # DIB rows run bottom to top
        nibbles = bytearray(xor_stride * 2)
        mask = bytearray(and_stride)
        for x in range(w):
            colour = canvas.px[y][x]
            if colour is None:
                mask[x // 8] |= 0x80 >> (x % 8)
            else:
                nibbles[x] = lookup[colour]
        row = bytearray(xor_stride)
        for i in range(xor_stride):
            row[i] = (nibbles[2 * i] << 4) | nibbles[2 * i + 1]
        xor_rows.append(bytes(row))
        and_rows.append(bytes(mask))
    image = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 4, 0,
                        xor_stride * h + and_stride * h, 0, 0, 16, 0)
    for r, g, b in palette:
        image += bytes((b, g, r, 0))
    image += b"".join(xor_rows) + b"".join(and_rows)
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w % 256, h % 256, 16, 0, 1, 4, len(image), 6 + 16)
    return header + entry + image
