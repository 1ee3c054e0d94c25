"""The program icon for the desktop's icon theme: the stack of three hi-fi units of kit.ico
(tuner, amplifier, cassette deck on two feet) at every size the hicolor theme asks for.

The small sizes (16, 22, 24) are pixel art of their own, simplified so each unit still reads.
32 is the window icon's own drawing. From 48 up the stack is drawn again at the icon's own
resolution from shapes laid out on the same 32-unit grid as kit.ico: edges are smoothed from
signed distances, box edges snap to whole pixels, and the larger the icon, the more of the
hardware it shows (segments in the displays, a segmented level meter, screws, tape on the
reels, labelled transport keys).
"""

import math

from picture_formats import Canvas

ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def clamp01(v):
    return 0.0 if v < 0 else 1.0 if v > 1 else v


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


# --- a small anti-aliased raster -----------------------------------------------------------------


class Raster:
    """RGBA pixels, premultiplied, in floats. Shapes are given as signed distance functions in
    pixels (negative inside); a pixel's coverage is how far its centre lies inside the edge."""

    def __init__(self, size):
        self.size = size
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * size for _ in range(size)]

    def fill(self, sdf, bounds, paint, alpha=1.0):
        x0, y0, x1, y1 = bounds
        for y in range(max(0, int(math.floor(y0)) - 1), min(self.size, int(math.ceil(y1)) + 1)):
            row = self.px[y]
            py = y + 0.5
            for x in range(max(0, int(math.floor(x0)) - 1),
                           min(self.size, int(math.ceil(x1)) + 1)):
                px = x + 0.5
                cover = clamp01(0.5 - sdf(px, py)) * alpha
                if cover <= 0.0:
                    continue
                r, g, b = paint(px, py) if callable(paint) else paint
                dr, dg, db, da = row[x]
                keep = 1.0 - cover
                row[x] = (r * cover + dr * keep, g * cover + dg * keep, b * cover + db * keep,
                          cover + da * keep)

    def rows(self):
        out = []
        for row in self.px:
            line = bytearray()
            for r, g, b, a in row:
                if a <= 0.0:
                    line += b"\x00\x00\x00\x00"
                    continue
                line += bytes(max(0, min(255, int(round(c / a)))) for c in (r, g, b))
                line.append(max(0, min(255, int(round(a * 255)))))
            out.append(bytes(line))
        return out


def box_sdf(x0, y0, x1, y1, radius=0.0):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius

    def sdf(px, py):
        qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius
    return sdf


def circle_sdf(cx, cy, r):
    return lambda px, py: math.hypot(px - cx, py - cy) - r


def segment_sdf(ax, ay, bx, by, r):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy or 1e-9

    def sdf(px, py):
        t = clamp01(((px - ax) * dx + (py - ay) * dy) / length2)
        return math.hypot(px - ax - t * dx, py - ay - t * dy) - r
    return sdf


def polygon_sdf(points):
    """Convex polygon, points in clockwise order on screen (y down): the largest distance past
    any edge, which is exact along the edges where smoothing happens."""
    edges = []
    for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
        length = math.hypot(bx - ax, by - ay)
        edges.append((ax, ay, (by - ay) / length, -(bx - ax) / length))

    def sdf(px, py):
        return max((px - ax) * nx + (py - ay) * ny for ax, ay, nx, ny in edges)
    return sdf


# --- the colours of kit.ico, and the shades between them the larger icons use ------------------

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
SILVER = (192, 192, 192)
GREY = (128, 128, 128)
GREEN = (0, 255, 0)
DARK_GREEN = (0, 128, 0)
RED = (255, 0, 0)
YELLOW = (255, 255, 0)
FACE_TOP = (222, 222, 228)
FACE_BOTTOM = (176, 176, 184)
LCD_TOP = (0, 84, 8)
LCD_BOTTOM = (0, 128, 16)
LCD_UNLIT = (20, 118, 30)
TAPE = (92, 56, 30)
SHELL = (96, 96, 104)


class StackPainter:
    """Draws the stack on a `size` pixel square; one design unit is size / 32 pixels."""

    def __init__(self, size):
        self.size = size
        self.s = size / 32.0
        self.ras = Raster(size)
        self.rich = size >= 128       # screws, digits, segmented meter, tape, label
        self.glyphs = size >= 256     # symbols on the transport keys
        self.edge = max(1, int(round(self.s * 0.5)))

    # Coordinates in design units become pixels; box edges snap to whole pixels.
    def p(self, u):
        return u * self.s

    def snap(self, u):
        return float(round(u * self.s))

    def box(self, x0, y0, x1, y1, paint, radius=0.0, inset=0.0, alpha=1.0):
        bx0, by0 = self.snap(x0) + inset, self.snap(y0) + inset
        bx1, by1 = self.snap(x1) - inset, self.snap(y1) - inset
        r = max(0.0, min(radius * self.s - inset, (bx1 - bx0) / 2, (by1 - by0) / 2))
        self.ras.fill(box_sdf(bx0, by0, bx1, by1, r), (bx0, by0, bx1, by1), paint, alpha)
        return bx0, by0, bx1, by1

    def disc(self, cx, cy, r, paint, alpha=1.0):
        px, py, pr = self.p(cx), self.p(cy), self.p(r)
        self.ras.fill(circle_sdf(px, py, pr), (px - pr, py - pr, px + pr, py + pr), paint, alpha)

    def stroke(self, ax, ay, bx, by, width_px, paint):
        a = (self.p(ax), self.p(ay))
        b = (self.p(bx), self.p(by))
        r = width_px / 2
        self.ras.fill(segment_sdf(*a, *b, r),
                      (min(a[0], b[0]) - r, min(a[1], b[1]) - r,
                       max(a[0], b[0]) + r, max(a[1], b[1]) + r), paint)

    def polygon(self, points, paint):
        pts = [(self.p(x), self.p(y)) for x, y in points]
        xs, ys = [q[0] for q in pts], [q[1] for q in pts]
        self.ras.fill(polygon_sdf(pts), (min(xs), min(ys), max(xs), max(ys)), paint)

    @staticmethod
    def vertical(top_colour, bottom_colour, y0, y1):
        return lambda px, py: mix(top_colour, bottom_colour, clamp01((py - y0) / (y1 - y0)))

    # --- the parts ---------------------------------------------------------------------------

    def unit(self, top, bottom):
        """One box of the stack: black edge, lit top and left, shaded bottom and right, a
        silver face; rich icons add a faint brushed grain and four screws."""
        e = self.edge
        bevel = max(1, int(round(self.s * 0.35)))
        x0, y0, x1, y1 = self.box(1, top, 31, bottom, BLACK, radius=0.7)
        self.box(1, top, 31, bottom, GREY, radius=0.5, inset=e)
        self.ras.fill(box_sdf(x0 + e, y0 + e, x1 - e - bevel, y1 - e - bevel, 0.0),
                      (x0 + e, y0 + e, x1 - e - bevel, y1 - e - bevel), WHITE)
        fx0, fy0, fx1, fy1 = x0 + e + bevel, y0 + e + bevel, x1 - e - bevel, y1 - e - bevel
        face = self.vertical(FACE_TOP, FACE_BOTTOM, fy0, fy1)
        if self.rich:
            grain_step = max(2, int(self.s / 2))
            plain = face

            def face(px, py):
                c = plain(px, py)
                return mix(c, BLACK, 0.035) if int(py) % grain_step == 0 else c
        self.ras.fill(box_sdf(fx0, fy0, fx1, fy1, 0.0), (fx0, fy0, fx1, fy1), face)
        if self.rich:
            for sx in (2.3, 29.7):
                for sy in (top + 1.35, bottom - 1.35):
                    self.screw(sx, sy)

    def screw(self, cx, cy):
        r = 0.5
        self.disc(cx, cy, r + 0.12, GREY)
        self.disc(cx, cy, r, lambda px, py: mix(WHITE, (150, 150, 158),
                                                clamp01((px + py - self.p(cx + cy - r))
                                                        / self.p(2 * r))))
        self.stroke(cx - r * 0.6, cy + r * 0.6, cx + r * 0.6, cy - r * 0.6,
                    max(1.0, self.s * 0.16), (90, 90, 98))

    def recess(self, x0, y0, x1, y1, fill):
        """A black-rimmed window in the face, holding a display, a cassette or keys."""
        bx0, by0, bx1, by1 = self.box(x0, y0, x1, y1, BLACK, radius=0.35)
        self.box(x0, y0, x1, y1, fill, radius=0.25, inset=self.edge)
        return bx0 + self.edge, by0 + self.edge, bx1 - self.edge, by1 - self.edge

    def lcd(self, x0, y0, x1, y1):
        ix0, iy0, ix1, iy1 = self.recess(x0, y0, x1, y1, BLACK)
        self.ras.fill(box_sdf(ix0, iy0, ix1, iy1, 0.0), (ix0, iy0, ix1, iy1),
                      self.vertical(LCD_TOP, LCD_BOTTOM, iy0, iy1))
        return ix0, iy0, ix1, iy1

    def glass(self, x0, y0, x1, y1):
        """The sheen across a display's glass: a soft band over its upper left."""
        if not self.rich:
            return
        ix0, iy0, ix1, iy1 = x0, y0, x1, y1
        w = (iy1 - iy0) * 0.9
        pts = [(ix0, iy0), (ix0 + w * 1.6, iy0), (ix0 + w * 0.6, iy1), (ix0, iy1)]
        self.ras.fill(polygon_sdf(pts), (ix0, iy0, ix1, iy1), WHITE, alpha=0.12)

    def cells(self, x0, y0, art):
        """kit.ico's display art, one character a design unit: L lit, anything else dark."""
        for row, text in enumerate(art):
            for col, ch in enumerate(text):
                if ch == "L":
                    self.box(x0 + col, y0 + row, x0 + col + 1, y0 + row + 1, GREEN)

    SEGMENTS = {"0": "abcdef", "1": "bc", "2": "abdeg", "3": "abcdg", "4": "bcfg", "5": "acdfg",
                "6": "acdefg", "7": "abc", "8": "abcdefg", "9": "abcdfg"}

    def digit(self, x, y, w, h, ch):
        """A seven-segment digit in the box at (x, y), w by h design units; unlit segments show
        faintly, as on a real display."""
        t = max(self.s * w * 0.2, 1.0)
        m = w * 0.12
        ends = {"a": ((x + m, y), (x + w - m, y)),
                "b": ((x + w, y + m), (x + w, y + h / 2 - m)),
                "c": ((x + w, y + h / 2 + m), (x + w, y + h - m)),
                "d": ((x + m, y + h), (x + w - m, y + h)),
                "e": ((x, y + h / 2 + m), (x, y + h - m)),
                "f": ((x, y + m), (x, y + h / 2 - m)),
                "g": ((x + m, y + h / 2), (x + w - m, y + h / 2))}
        lit = self.SEGMENTS[ch]
        for name, (a, b) in ends.items():
            self.stroke(*a, *b, t, GREEN if name in lit else LCD_UNLIT)

    def readout(self, x, y, w, h, text, gap):
        for ch in text:
            if ch == ".":
                self.disc(x - gap * 0.5, y + h, w * 0.13, GREEN)
                continue
            self.digit(x, y, w, h, ch)
            x += w + gap

    def button(self, x0, y0, x1, y1, top=WHITE, bottom=SILVER):
        bx0, by0, bx1, by1 = self.box(x0, y0, x1, y1, GREY, radius=0.3)
        shade = max(1, int(round(self.s * 0.25)))
        self.ras.fill(box_sdf(bx0, by0, bx1, by1 - shade, min(self.s * 0.3, (bx1 - bx0) / 2)),
                      (bx0, by0, bx1, by1 - shade), self.vertical(top, bottom, by0, by1 - shade))
        return bx0, by0, bx1, by1

    def tuner(self):
        ix0, iy0, ix1, iy1 = self.lcd(4, 3.9, 18, 9)
        if self.rich:
            self.readout(5.2, 4.8, 1.6, 3.2, "98.5", 0.75)
            for i in range(5):          # signal strength, rising to the right
                h = 0.7 + 0.55 * i
                self.box(12.4 + 1.0 * i, 8.1 - h, 13.1 + 1.0 * i, 8.1,
                         GREEN if i < 4 else LCD_UNLIT)
        else:
            self.cells(5, 5, ["LLgLLggLgLL", "gggLLgggggL", "LLgLLggLgLL"])
        self.glass(ix0, iy0, ix1, iy1)
        self.recess(18.6, 3.9, 26.6, 9, GREY)
        for i in range(3):
            self.button(19.1 + 2.5 * i, 4.4, 21.1 + 2.5 * i, 8.5)
        self.recess(27.1, 3.9, 29.9, 9, GREY)
        self.button(27.6, 4.4, 29.4, 8.5, top=WHITE, bottom=SILVER)
        if self.rich:
            self.disc(28.5, 7.3, 0.75, RED, alpha=0.3)
        self.disc(28.5, 7.3, 0.5, RED)
        if self.rich:
            self.disc(28.35, 7.15, 0.17, (255, 190, 190))

    METER = (1, 2, 1, 3, 2, 1, 4, 2, 3)  # kit.ico's bars, in quarters of the meter

    def amplifier(self):
        ix0, iy0, ix1, iy1 = self.lcd(4, 11.9, 15, 18.3)
        n = len(self.METER)
        left, right, bottom, height = 5.0, 14.0, 17.5, 4.8
        pitch = (right - left) / n
        if self.rich:
            levels = 12 if self.size >= 256 else 8
            seg = height / levels
            for i, quarter in enumerate(self.METER):
                lit = quarter * levels // 4
                for k in range(levels):
                    colour = (GREEN if k < levels * 0.6 else YELLOW if k < levels * 0.85
                              else RED) if k < lit else LCD_UNLIT
                    y1 = bottom - k * seg
                    self.box(left + i * pitch + 0.12, y1 - seg + 0.1, left + (i + 1) * pitch - 0.12,
                             y1 - 0.1, colour)
        else:
            for i, quarter in enumerate(self.METER):
                self.box(left + i * pitch + 0.1, bottom - height * quarter / 4,
                         left + (i + 1) * pitch - 0.1, bottom, GREEN)
        self.glass(ix0, iy0, ix1, iy1)
        # Two small switches with their lamps above them.
        self.recess(15.8, 14.1, 21.4, 18.3, GREY)
        self.button(16.3, 14.6, 18.3, 17.8)
        self.button(18.9, 14.6, 20.9, 17.8)
        if self.rich:
            self.disc(17.35, 12.9, 0.42, BLACK)
            self.disc(17.35, 12.9, 0.3, GREEN)
            self.disc(19.85, 12.9, 0.42, BLACK)
            self.disc(19.85, 12.9, 0.3, (40, 70, 40))
        self.knob(25.4, 15.1, 3.1)

    def knob(self, cx, cy, r):
        self.disc(cx + 0.25, cy + 0.3, r, BLACK, alpha=0.35)   # its shadow on the face
        self.disc(cx, cy, r, BLACK)
        ring = r - max(0.22, 1.0 / self.s)
        lit = self.vertical(WHITE, GREY, self.p(cy - r), self.p(cy + r))
        self.disc(cx, cy, ring, lit)
        if self.rich:
            # Knurled rim: fine dark grooves all round.
            grooves = 36 if self.size >= 256 else 24
            for k in range(grooves):
                a = 2 * math.pi * k / grooves
                self.stroke(cx + math.cos(a) * (ring - 0.55), cy + math.sin(a) * (ring - 0.55),
                            cx + math.cos(a) * ring, cy + math.sin(a) * ring,
                            max(1.0, self.s * 0.12), (110, 110, 118))
        cap = ring - (0.6 if self.rich else 0.45)
        self.disc(cx, cy, cap, self.vertical(SILVER, WHITE, self.p(cy - cap), self.p(cy + cap)))
        # The pointer, turned up to about two o'clock.
        a = math.radians(-50)
        self.stroke(cx + math.cos(a) * cap * 0.3, cy + math.sin(a) * cap * 0.3,
                    cx + math.cos(a) * cap * 0.85, cy + math.sin(a) * cap * 0.85,
                    max(1.0, self.s * 0.35), BLACK)

    def reel(self, cx, cy, tape_r):
        if self.rich:
            self.disc(cx, cy, tape_r, TAPE)
            self.disc(cx, cy, tape_r - 0.15, (120, 76, 44), alpha=0.6)
        self.disc(cx, cy, 1.15, WHITE)
        self.disc(cx, cy, 0.5, BLACK)
        if self.rich:
            for k in range(6):      # the hub's teeth
                a = 2 * math.pi * k / 6
                self.stroke(cx + math.cos(a) * 0.3, cy + math.sin(a) * 0.3,
                            cx + math.cos(a) * 0.62, cy + math.sin(a) * 0.62,
                            max(1.0, self.s * 0.16), WHITE)

    def cassette_deck(self):
        ix0, iy0, ix1, iy1 = self.recess(4, 20.9, 17, 27.5, GREY)
        if self.rich:
            # The cassette: a dark shell, its label, the window onto the tape.
            self.box(4.9, 21.5, 16.1, 27.5, SHELL, radius=0.3)
            self.box(5.4, 21.9, 15.6, 22.8, WHITE)
            self.box(5.4, 22.5, 15.6, 22.7, RED)
            self.box(6.0, 23.2, 15.0, 26.2, (40, 40, 48), radius=0.5)
            self.box(8.6, 23.9, 12.4, 25.6, (64, 44, 28))
            self.reel(7.5, 24.55, 1.75)
            self.reel(13.5, 24.55, 1.35)
            self.polygon([(7.6, 27.5), (8.3, 26.6), (12.7, 26.6), (13.4, 27.5)], (70, 70, 78))
        else:
            self.reel(7.5, 24.2, 0)
            self.reel(13.5, 24.2, 0)
        ix0, iy0, ix1, iy1 = self.lcd(17.8, 20.9, 28.4, 24.2)
        if self.rich:
            self.readout(19.0, 21.6, 1.1, 1.9, "024", 0.55)
            self.box(24.6, 21.7, 27.6, 22.3, GREEN)     # tape running
            self.box(24.6, 22.9, 26.4, 23.5, GREEN)
        else:
            self.cells(18.8, 21.9, ["LgLLgLgL"])
        self.glass(ix0, iy0, ix1, iy1)
        self.recess(17.8, 24.5, 28.4, 27.5, BLACK)
        keys = ("rewind", "play", "stop", "forward", "record")
        pitch = (28.4 - 17.8 - 0.6) / len(keys)
        gap = 0.2 if self.rich else 0.7
        for i, key in enumerate(keys):
            x0 = 18.1 + pitch * i + gap / 2
            bx0, by0, bx1, by1 = self.button(x0, 24.8, x0 + pitch - gap, 27.2,
                                             bottom=SILVER if key != "record" else (230, 170, 170))
            if self.glyphs:
                self.key_symbol(key, (bx0 + bx1) / 2 / self.s, (by0 + by1) / 2 / self.s - 0.1)
            elif key == "record" and self.rich:
                self.disc((bx0 + bx1) / 2 / self.s, (by0 + by1) / 2 / self.s - 0.1, 0.3, RED)

    def key_symbol(self, key, cx, cy):
        h = 0.4
        if key == "play":
            self.polygon([(cx - 0.3, cy - h), (cx + 0.4, cy), (cx - 0.3, cy + h)], BLACK)
        elif key == "stop":
            self.box(cx - 0.33, cy - 0.33, cx + 0.33, cy + 0.33, BLACK)
        elif key == "record":
            self.disc(cx, cy, 0.36, RED)
        else:
            d = 1 if key == "forward" else -1
            for off in (-0.3, 0.15):
                tip, back = cx + d * (off + 0.4), cx + d * off
                pts = [(back, cy - h), (tip, cy), (back, cy + h)]
                self.polygon(pts if d > 0 else pts[::-1], BLACK)

    def feet(self):
        for x in (3, 26):
            self.box(x, 27.5, x + 4, 30.8, BLACK, radius=0.6)
            if self.rich:
                self.box(x, 27.5, x + 4, 30.8, (56, 56, 60), radius=0.45, inset=self.edge * 2)

    def paint(self):
        self.feet()
        self.unit(2, 10.7)
        self.unit(10.3, 19.7)
        self.unit(19.3, 28.5)
        self.tuner()
        self.amplifier()
        self.cassette_deck()
        return self.ras.rows()


# --- the small sizes, drawn by hand ------------------------------------------------------------

SMALL = {"K": BLACK, "W": WHITE, "S": SILVER, "G": GREY, "L": GREEN, "g": DARK_GREEN, "R": RED}

# Each unit keeps one sign of what it is: the tuner's display and red lamp, the amplifier's
# meter and knob, the cassette's two reels.
ICON_16 = [
    "KKKKKKKKKKKKKKKK",
    "KWWWWWWWWWWWWWWK",
    "KWgLLgLLgSWSWSRK",
    "KWLgLLgLLSGSGSSK",
    "KSGGGGGGGGGGGGGK",
    "KKKKKKKKKKKKKKKK",
    "KWggggLgSSSSKKSK",
    "KWgLgLLgSWSKWSKK",
    "KWgLgLLLSGSKSGKK",
    "KSLLLLLLGGGGKKGK",
    "KKKKKKKKKKKKKKKK",
    "KWWWWWWWWWWWWWSK",
    "KWGWGGWGSLgLgLGK",
    "KWGGGGGGSWKWKRGK",
    "KKKKKKKKKKKKKKKK",
    ".KKK........KKK.",
]

ICON_22 = [
    "KKKKKKKKKKKKKKKKKKKKKK",
    "KWWWWWWWWWWWWWWWWWWWSK",
    "KWKKKKKKKKKSKKKKKSSSGK",
    "KWKLLgLLgLKSKWKWKSWSGK",
    "KWKLgLgLLgKSKGKGKSRGGK",
    "KWKKKKKKKKKSKKKKKSSSGK",
    "KSGGGGGGGGGGGGGGGGGGGK",
    "KKKKKKKKKKKKKKKKKKKKKK",
    "KWWWWWWWWWWWWWWWWWWWSK",
    "KWKKKKKKKKSSSSSSSKKKSK",
    "KWKggggLgKSKKKKKKWWSKK",
    "KWKgLgLLgKSKWKWKKWSGKK",
    "KWKLLgLLLKSKGKGKKSGGKK",
    "KWKKKKKKKKSKKKKKSKKKSK",
    "KSGGGGGGGGGGGGGGGGGGGK",
    "KKKKKKKKKKKKKKKKKKKKKK",
    "KWWWWWWWWWWWWWWWWWWWSK",
    "KWKKKKKKKKKSKLgLgLLKGK",
    "KWKGWGGGWGKSKKKKKKKKGK",
    "KWKKKKKKKKKSKWKWKWRKGK",
    "KKKKKKKKKKKKKKKKKKKKKK",
    ".KKKK............KKKK.",
]

ICON_24 = [
    "KKKKKKKKKKKKKKKKKKKKKKKK",
    "KWWWWWWWWWWWWWWWWWWWWWSK",
    "KWKKKKKKKKKKSKKKKKKSKKGK",
    "KWKLLgLLgLgKSKWKWKWSKWGK",
    "KWKLgLgLLgLKSKGKGKGSKRGK",
    "KWKKKKKKKKKKSKKKKKKSKKGK",
    "KSGGGGGGGGGGGGGGGGGGGGGK",
    "KKKKKKKKKKKKKKKKKKKKKKKK",
    "KWWWWWWWWWWWWWWWWWWWWWSK",
    "KWKKKKKKKKSSSSSSSKKKKSGK",
    "KWKggggLgKSKKKKKKWWSSKGK",
    "KWKgLgLLgKSKWKWKKWSSGKGK",
    "KWKLLgLLLKSKGKGKKSSKGKGK",
    "KWKLLLLLLKSKKKKKKSGGGKGK",
    "KSKKKKKKKKGGGGGGGKKKKGGK",
    "KKKKKKKKKKKKKKKKKKKKKKKK",
    "KWWWWWWWWWWWWWWWWWWWWWSK",
    "KWKKKKKKKKKKKSKKKKKKKKGK",
    "KWKGSWSGSWSGKSKLgLgLLKGK",
    "KWKGWKWGWKWGKSKKKKKKKKGK",
    "KWKGSWSGSWSGKSKWKWKWRKGK",
    "KSKKKKKKKKKKKGKKKKKKKKGK",
    "KKKKKKKKKKKKKKKKKKKKKKKK",
    ".KKKKK............KKKKK.",
]


def pixel_art_rows(art):
    size = len(art)
    if any(len(row) != size for row in art):
        raise ValueError("pixel art must be square")
    canvas = Canvas(size, size)
    canvas.stamp(0, 0, art, SMALL)
    return canvas_rows(canvas)


def canvas_rows(canvas):
    """RGBA rows of a Canvas; None pixels become fully transparent."""
    out = []
    for row in canvas.px:
        line = bytearray()
        for colour in row:
            line += b"\x00\x00\x00\x00" if colour is None else bytes(colour) + b"\xff"
        out.append(bytes(line))
    return out


def icon_rows(size, window_icon):
    """The icon at `size` pixels as RGBA rows. window_icon is kit.ico's 32 x 32 Canvas."""
    hand_drawn = {16: ICON_16, 22: ICON_22, 24: ICON_24}
    if size in hand_drawn:
        return pixel_art_rows(hand_drawn[size])
    if size == 32:
        return canvas_rows(window_icon)
    return StackPainter(size).paint()
