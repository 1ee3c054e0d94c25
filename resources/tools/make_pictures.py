#!/usr/bin/env python3
"""Draws the kit's pictures and its icon and writes them to resources/pictures/, and the
program icon at the desktop's icon sizes to resources/desktop/icons/.

    python3 resources/tools/make_pictures.py            # (re)write the files
    python3 resources/tools/make_pictures.py --check    # exit 1 if a stored file differs

All art is drawn here in code, pixel by pixel; the output is reproducible: the pictures byte
for byte, the desktop icons pixel for pixel (their PNG packing is zlib's).
"""

import argparse
import math
import pathlib
import sys

sys.dont_write_bytecode = True  # keep the source tree free of __pycache__

from desktop_icons import ICON_SIZES, icon_rows
from picture_formats import (Canvas, GifFrame, build_palette, index_pixels, quantize, write_gif,
                             write_ico_4bpp)
from png_format import read_png_rgba, write_png_rgba

RESOURCES = pathlib.Path(__file__).resolve().parent.parent
OUT_DIR = RESOURCES / "pictures"
ICON_DIR = RESOURCES / "desktop" / "icons"
APP_ID = "org.zyr.MultimediaKit"


def clamp8(v):
    return max(0, min(255, int(round(v))))


def mix(a, b, t):
    return tuple(clamp8(a[i] + (b[i] - a[i]) * t) for i in range(3))


def snap(colour, step):
    """Rounds a colour to a coarser grid so gradients fit a fixed colour table."""
    return tuple(min(255, (c + step // 2) // step * step) for c in colour)


class Rng:
    """xorshift32: a tiny generator whose sequence never changes between Python versions."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF or 1

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x

    def uniform(self):
        return self.next() / 4294967296.0


# --- clapperboard ------------------------------------------------------------------------------

CLAP_BG = (192, 192, 192)
CLAP = {
    "K": (0, 0, 0),
    "B": (28, 28, 32),
    "b": (70, 70, 78),
    "W": (255, 255, 255),
    "w": (214, 214, 222),
    "g": (150, 150, 160),
    "c": (208, 208, 208),
    "h": (128, 128, 136),
}

# The left glove: three fingers curled over the front of the slate, a rolled cuff below.
LEFT_GLOVE = [
    ".KKKKK......",
    "KWWWWWKKKK..",
    "KWWWWWWWWWK.",
    "KWWWWwwwwwK.",
    "KWWWgKKKKKK.",
    "KWWWWWWWWWWK",
    "KwWWWwwwwwwK",
    "KwWWgKKKKKK.",
    "KwWWWWWWWWK.",
    "KwwWwwwwwK..",
    "KgwwKKKKK...",
    ".KgwwK......",
    "KKKKKKK.....",
    "KWWWWWWK....",
    "KwWWWWwK....",
    ".KKKKKK.....",
]


def draw_stick(canvas, hinge_x, hinge_y, length, angle_deg, slant):
    """A striped clapper stick whose lower left corner sits at the hinge, lifted by angle_deg."""
    a = math.radians(angle_deg)
    ca, sa = math.cos(a), math.sin(a)
    thick = 5
    for y in range(canvas.height):
        for x in range(canvas.width):
            dx, dy = x + 0.5 - hinge_x, y + 0.5 - hinge_y
            u = dx * ca - dy * sa          # along the stick
            v = -(dx * sa + dy * ca)       # up from its bottom edge
            if not (0 <= u < length and 0 <= v < thick):
                continue
            if u < 1 or u >= length - 1 or v < 1 or v >= thick - 1:
                colour = CLAP["K"]
            else:
                band = int(math.floor((u + slant * v) / 4.0)) % 2
                colour = CLAP["W"] if band == 0 else CLAP["B"]
            canvas.set(x, y, colour)


def draw_clapperboard(open_clapper):
    c = Canvas(34, 35, CLAP_BG)
    left, right, top, bottom = 4, 29, 12, 30
    # Slate with a soft sheen along its top and left edges.
    c.rect(left, top, right, bottom, CLAP["K"])
    c.rect(left + 1, top + 1, right - 1, bottom - 1, CLAP["B"])
    c.hline(left + 1, right - 1, top + 1, CLAP["b"])
    c.vline(left + 1, top + 1, bottom - 1, CLAP["b"])
    # Chalk fields with a little writing in them.
    c.hline(left + 2, right - 2, 17, CLAP["c"])
    c.hline(left + 2, right - 2, 24, CLAP["c"])
    for x in (13, 14, 16, 17, 18, 20):
        c.set(x, 20, CLAP["h"])
    for x in (14, 15, 16, 18, 19):
        c.set(x, 22, CLAP["h"])
    for x in (13, 14, 15, 17, 19, 20):
        c.set(x, 27, CLAP["h"])
    # Fixed striped bar along the top of the slate, slanting against the stick.
    c.rect(left, top - 4, right, top, CLAP["K"])
    for x in range(left + 1, right):
        for y in range(top - 3, top):
            band = ((x - left) + (y - top)) // 4 % 2
            c.set(x, y, CLAP["W"] if band == 0 else CLAP["B"])
    # The moving stick, closed or lifted, and its hinge.
    draw_stick(c, left, top - 3, right - left + 1, 7 if open_clapper else 0, 1)
    c.rect(left, top - 5, left + 2, top - 3, CLAP["K"])
    c.set(left + 1, top - 4, CLAP["h"])
    # Gloves.
    width = len(LEFT_GLOVE[0])
    c.stamp(0, 17, LEFT_GLOVE, CLAP)
    c.stamp(34 - width, 17, [row[::-1] for row in LEFT_GLOVE], CLAP)
    return c


def clapperboard_gif():
    frames = [draw_clapperboard(False), draw_clapperboard(True)]
    palette = build_palette(frames, 16, first=[CLAP_BG])
    gif_frames = [GifFrame(0, 0, 34, 35, index_pixels(f, palette), delay=50) for f in frames]
    return write_gif(b"89a", 34, 35, palette, gif_frames)


# --- compact discs -----------------------------------------------------------------------------


def draw_disc(canvas, cx, cy, radius, hole, hub, surface, hub_colour, hub_ring, rim, hole_edge):
    """Paints a disc seen face on. surface(dist, angle) colours the recorded area; the centre hole
    stays see-through. Edges get solid outline colours, since GIF transparency has no partial
    alpha to smooth them with."""

    def dist(x, y):
        return math.hypot(x + 0.5 - cx, y + 0.5 - cy)

    def in_disc(x, y):
        return hole <= dist(x, y) <= radius

    for y in range(canvas.height):
        for x in range(canvas.width):
            if not in_disc(x, y):
                continue
            d = dist(x, y)
            ang = math.atan2(y + 0.5 - cy, x + 0.5 - cx)
            outer = [dist(nx, ny) > radius
                     for nx, ny in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1))]
            inner = [dist(nx, ny) < hole
                     for nx, ny in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1))]
            if any(outer):
                colour = rim(ang)
            elif any(inner):
                colour = hole_edge
            elif d < hub - 1:
                colour = hub_colour(d, ang)
            elif d < hub:
                colour = hub_ring
            else:
                colour = surface(d, ang)
            canvas.set(x, y, colour)


def silver(ang, levels=6):
    """Brushed-silver sheen: two bright lobes, top left and bottom right, in a few flat steps."""
    lobe = math.cos(2 * (ang + 3 * math.pi / 4))
    shade = round((0.5 + 0.5 * lobe) * (levels - 1)) / (levels - 1)
    return mix((150, 152, 164), (246, 246, 252), shade)


NOTE = {"K": (0, 0, 0), "g": (72, 72, 80)}

EIGHTH_NOTE = [
    "........KK......",
    "........KKK.....",
    "........KKKK....",
    "........KKKKK...",
    "........KK.KKK..",
    "........KK..KKK.",
    "........KK...KKK",
    "........KK....KK",
    "........KK....KK",
    "........KK....KK",
    "........KK...KK.",
    "........KK...K..",
    "........KK..K...",
    "........KK......",
    "........KK......",
    "........KK......",
    "........KK......",
    "........KK......",
    "........KK......",
    "........KK......",
    "........KK......",
    "....KKKKKK......",
    "..KKKKKKKK......",
    ".KKgKKKKKK......",
    "KKgKKKKKK.......",
    "KKKKKKKK........",
    ".KKKKKK.........",
]


def draw_disc_note():
    c = Canvas(31, 34)
    draw_disc(c, 15.5, 18.5, 15.5, 2.6, 7.0,
              surface=lambda d, a: silver(a),
              hub_colour=lambda d, a: mix((196, 200, 212), (232, 236, 244),
                                          0.5 + 0.5 * math.cos(a + 3 * math.pi / 4)),
              hub_ring=(120, 122, 134), rim=lambda a: (96, 96, 108), hole_edge=(120, 122, 134))
    c.stamp(13, 1, EIGHTH_NOTE, NOTE)
    return c


def single_frame_gif(canvas, table_size, version=b"89a", transparent=None, background=0,
                     first=(), delay=None):
    limit = table_size - (1 if transparent is not None else 0)
    canvas = quantize([canvas], limit - len(first))[0]
    palette = build_palette([canvas], table_size, transparent, first)
    frame = GifFrame(0, 0, canvas.width, canvas.height,
                     index_pixels(canvas, palette, transparent), delay=delay,
                     transparent=transparent)
    return write_gif(version, canvas.width, canvas.height, palette, [frame], background)


def disc_note_gif():
    return single_frame_gif(draw_disc_note(), 64, transparent=0)


def hue(h):
    """Fully saturated colour for h in [0, 1): red, yellow, green, cyan, blue, magenta."""
    h = (h % 1.0) * 6
    i = int(h)
    f = h - i
    return [(1, f, 0), (1 - f, 1, 0), (0, 1, f), (0, 1 - f, 1), (f, 0, 1), (1, 0, 1 - f)][i]


def rainbow(h):
    return tuple(clamp8(255 * c) for c in hue(h))


def catmull_rom(points, steps=24):
    """Samples a smooth curve through the points (the end points are repeated)."""
    pts = [points[0]] + list(points) + [points[-1]]
    out = []
    for i in range(1, len(pts) - 2):
        p0, p1, p2, p3 = pts[i - 1], pts[i], pts[i + 1], pts[i + 2]
        for s in range(steps):
            t = s / steps
            t2, t3 = t * t, t * t * t
            out.append(tuple(0.5 * (2 * p1[k] + (-p0[k] + p2[k]) * t
                                    + (2 * p0[k] - 5 * p1[k] + 4 * p2[k] - p3[k]) * t2
                                    + (-p0[k] + 3 * p1[k] - 3 * p2[k] + p3[k]) * t3)
                             for k in range(2)))
    out.append(points[-1])
    return out


def stroke_mask(width, height, curves, radius, dots=(), threshold=0.45, ss=4):
    """Pixels covered at least `threshold` by a pen of the given radius run along the sampled
    curves, plus round dots (x, y, r). Coverage is measured on an ss x ss grid per pixel."""
    points = [q for curve in curves for q in curve]
    mask = set()
    for y in range(height):
        for x in range(width):
            near = [q for q in points
                    if abs(q[0] - x - 0.5) < radius + 1 and abs(q[1] - y - 0.5) < radius + 1]
            near_dots = [d for d in dots
                         if abs(d[0] - x - 0.5) < d[2] + 1 and abs(d[1] - y - 0.5) < d[2] + 1]
            if not near and not near_dots:
                continue
            hits = 0
            for sy in range(ss):
                for sx in range(ss):
                    px, py = x + (sx + 0.5) / ss, y + (sy + 0.5) / ss
                    if any((px - qx) ** 2 + (py - qy) ** 2 <= radius * radius
                           for qx, qy in near) or \
                            any((px - dx) ** 2 + (py - dy) ** 2 <= r * r
                                for dx, dy, r in near_dots):
                        hits += 1
            if hits >= threshold * ss * ss:
                mask.add((x, y))
    return mask


def paint_mask(canvas, mask, fill, light, dark, outline):
    """Fills a mask, shades its bottom-right edges, lights its top-left ones and rings it with a
    4-connected outline so it stands out on a busy background."""
    for (x, y) in mask:
        if (x + 1, y) not in mask or (x, y + 1) not in mask:
            colour = dark
        elif (x - 1, y) not in mask or (x, y - 1) not in mask:
            colour = light
        else:
            colour = fill
        canvas.set(x, y, colour)
    ring = set()
    for (x, y) in mask:
        for dx, dy in ((-1, 0), (1, 0), (0, -1), (0, 1)):
            if (x + dx, y + dy) not in mask:
                ring.add((x + dx, y + dy))
    for (x, y) in sorted(ring):
        canvas.set(x, y, outline)


def treble_clef_mask(ox, oy, sx, sy):
    """A G clef: spiral round the G line, a loop at the top, the stem ending in a hooked tail."""
    def p(x, y):
        return (ox + x * sx, oy + y * sy)

    body = [p(5.2, 19.6), p(6.6, 17.4), p(5.0, 15.6), p(2.6, 16.4), p(1.2, 19.4), p(2.2, 23.0),
            p(5.4, 24.6), p(8.6, 23.2), p(10.0, 19.8), p(9.0, 16.0), p(6.2, 12.6), p(3.8, 9.4),
            p(3.6, 5.6), p(5.6, 1.8), p(7.4, 1.0), p(8.0, 3.4), p(7.2, 6.6)]
    stem = [p(7.2, 6.6), p(6.2, 10.0), p(5.8, 16.0), p(6.4, 22.0), p(6.8, 26.6), p(5.6, 28.4),
            p(3.8, 28.4)]
    ball = (ox + 3.4 * sx, oy + 27.4 * sy, 1.4 * sy)
    return stroke_mask(32, 32, [catmull_rom(body, 40), catmull_rom(stem, 40)], 0.8,
                       dots=[ball])


CLEF_YELLOW = (255, 216, 0)


def rays_surface(d, ang):
    """Silver with twelve coloured rays fanning out from the hub, bright inside, fading out."""
    base = silver(ang, levels=5)
    sectors = 12
    pos = (ang / (2 * math.pi)) * sectors
    k = math.floor(pos)
    off = abs(pos - k - 0.5)
    if off < 0.28:
        fade = max(0.0, 1.0 - (d - 6) / 11.0)
        colour = rainbow(k / sectors)
        return snap(mix(base, colour, 0.35 + 0.55 * fade), 8)
    return snap(base, 8)


def draw_disc_clef():
    c = Canvas(32, 32)
    draw_disc(c, 16, 16, 16, 2.5, 6.5, surface=rays_surface,
              hub_colour=lambda d, a: snap(mix((188, 194, 210), (236, 240, 248),
                                                0.5 + 0.5 * math.cos(a + 3 * math.pi / 4)), 8),
              hub_ring=(112, 116, 130), rim=lambda a: (88, 88, 100), hole_edge=(112, 116, 130))
    paint_mask(c, treble_clef_mask(10.5, 2.0, 0.95, 0.95), CLEF_YELLOW,
               light=(255, 248, 160), dark=(214, 150, 0), outline=(60, 40, 0))
    return c


def disc_clef_gif():
    return single_frame_gif(draw_disc_clef(), 256, transparent=0)


RAINBOW_TRANSPARENT = 98


def rainbow_surface(d, ang):
    """Silver lit from the top left, with the rainbow the tracks throw back along a diagonal
    (and a fainter one across it); hue runs with the radius, so each sweep is a fan of bands."""
    inner, outer = 10.0, 24.0
    rad = (d - inner) / (outer - inner)
    lobe = math.cos(2 * (ang + 3 * math.pi / 4))
    base = mix((128, 132, 148), (236, 238, 246), 0.5 + 0.5 * lobe)
    diag = math.pi / 4                      # lower right / upper left
    off1 = math.atan2(math.sin(2 * (ang - diag)), math.cos(2 * (ang - diag))) / 2
    off2 = math.atan2(math.sin(2 * (ang + diag)), math.cos(2 * (ang + diag))) / 2
    s1 = math.exp(-(off1 / 0.42) ** 2)
    s2 = 0.55 * math.exp(-(off2 / 0.3) ** 2)
    colour = base
    if s1 > 0.05:
        colour = mix(colour, rainbow(0.82 * rad + 0.25 * off1), 0.85 * s1)
    if s2 > 0.05:
        colour = mix(colour, rainbow(0.5 - 0.7 * rad + 0.3 * off2), 0.8 * s2)
    # Fine concentric tracks: every other ring a shade darker.
    if int(d * 1.5) % 2 == 0:
        colour = mix(colour, (0, 0, 0), 0.06)
    return snap(colour, 8)


def draw_disc_rainbow():
    c = Canvas(50, 50)
    draw_disc(c, 25, 25, 25, 3.6, 10.5, surface=rainbow_surface,
              hub_colour=lambda d, a: snap(
                  mix((176, 184, 204), (238, 242, 250), 0.5 + 0.5 * math.cos(a + 3 * math.pi / 4))
                  if d > 7 else mix((206, 212, 226), (246, 248, 252),
                                    0.5 - 0.5 * math.cos(a + 3 * math.pi / 4)), 8),
              hub_ring=(120, 124, 140), rim=lambda a: (84, 86, 100),
              hole_edge=(120, 124, 140))
    return c


def disc_rainbow_gif():
    return single_frame_gif(draw_disc_rainbow(), 256, transparent=RAINBOW_TRANSPARENT,
                            background=RAINBOW_TRANSPARENT, delay=0)


# --- loudspeaker -------------------------------------------------------------------------------

INK, PAPER = (0, 0, 0), (255, 255, 255)


def draw_loudspeaker():
    """A speaker seen from the side, sounding to the right: magnet, cone, three wave arcs."""
    c = Canvas(33, 37, PAPER)
    cy = 18
    # Magnet: a solid block with a lit rim so it still reads as a box.
    c.rect(1, cy - 6, 6, cy + 6, INK)
    c.vline(2, cy - 5, cy + 5, PAPER)
    c.hline(2, 5, cy - 5, PAPER)
    # Cone: from the magnet face out to a tall front rim, edges two pixels thick.
    back_x, front_x = 7, 16
    for x in range(back_x, front_x + 1):
        t = (x - back_x) / (front_x - back_x)
        half = 6 + t * 10
        top, bottom = int(round(cy - half)), int(round(cy + half))
        # Shade the deep end of the cone with a dither that stops halfway out.
        for y in range(top + 1, bottom):
            if (x + y) % 2 == 0 and x - back_x < 4:
                c.set(x, y, INK)
    for dx in (0, 1):
        c.line(back_x + dx, cy - 6, front_x + dx, cy - 16, INK)
        c.line(back_x + dx, cy + 6, front_x + dx, cy + 16, INK)
    c.vline(back_x, cy - 6, cy + 6, INK)
    c.rect(front_x, cy - 16, front_x + 1, cy + 16, INK)
    # Dust cap: a small dome in the middle of the cone.
    for y in range(cy - 3, cy + 4):
        c.set(front_x - 1, y, INK)
    c.set(front_x - 2, cy - 2, INK)
    c.set(front_x - 2, cy + 2, INK)
    c.vline(front_x - 3, cy - 1, cy + 1, INK)
    # Sound waves.
    ox = 10.5
    for radius in (11.0, 16.0, 21.0):
        for y in range(c.height):
            for x in range(front_x + 3, c.width):
                dx, dy = x + 0.5 - ox, y + 0.5 - (cy + 0.5)
                d = math.hypot(dx, dy)
                if abs(d - radius) <= 0.85 and abs(math.atan2(dy, dx)) < math.radians(42):
                    c.set(x, y, INK)
    return c


def loudspeaker_gif():
    canvas = draw_loudspeaker()
    palette = [INK, PAPER]
    frame = GifFrame(0, 0, canvas.width, canvas.height, index_pixels(canvas, palette))
    return write_gif(b"87a", canvas.width, canvas.height, palette, [frame], background=1)


# --- television --------------------------------------------------------------------------------

TV_W, TV_H = 131, 106
TV_BODY = (5, 1, 126, 105)           # left, top, width, height of the full picture
TV_SCREEN = (21, 14, 104, 81)        # glass: left, top, right, bottom (inclusive)
TV_TRANSPARENT = 16

WOOD = {
    "outline": (44, 22, 8),
    "dark": (96, 52, 20),
    "mid": (140, 80, 34),
    "grain": (120, 66, 26),
    "light": (172, 108, 52),
    "shine": (206, 146, 84),
}
BEZEL = {"black": (16, 16, 18), "dark": (44, 44, 48), "edge": (84, 84, 92), "lit": (130, 130, 140)}
METAL = {"dark": (70, 70, 78), "mid": (168, 168, 176), "light": (226, 226, 232),
         "shade": (120, 120, 130)}
STATIC = [(v, v, min(255, v + 8)) for v in (12, 40, 70, 100, 132, 164, 196, 228)]


def rounded(x0, y0, x1, y1, r):
    """Inside test for a rectangle with corners rounded to radius r (pixel centres)."""
    def inside(x, y):
        px, py = x + 0.5, y + 0.5
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(px, x0 + r), x1 + 1 - r)
        cy = min(max(py, y0 + r), y1 + 1 - r)
        return (px - cx) ** 2 + (py - cy) ** 2 <= r * r
    return inside


def tv_screen_inside():
    l, t, r, b = TV_SCREEN
    return rounded(l, t, r, b, 8)


def draw_static(canvas, seed):
    """Snow on the picture tube: random greys, brighter in the middle, with rolling bands and
    a faint reflection of the room across the top left of the glass."""
    rng = Rng(seed)
    l, t, r, b = TV_SCREEN
    inside = tv_screen_inside()
    cx, cy = (l + r + 1) / 2, (t + b + 1) / 2
    rw, rh = (r - l + 1) / 2, (b - t + 1) / 2
    band_phase = rng.uniform() * 6.3
    for y in range(t, b + 1):
        row_gain = 0.85 + 0.3 * rng.uniform() + 0.12 * math.sin(y * 0.21 + band_phase)
        for x in range(l, r + 1):
            if not inside(x, y):
                continue
            nx, ny = (x + 0.5 - cx) / rw, (y + 0.5 - cy) / rh
            fall = 1.0 - 0.55 * (nx * nx + ny * ny) ** 1.5
            v = rng.uniform() * row_gain * fall
            # The reflection: a soft diagonal sheen in the upper left.
            sheen = (x - l) + (y - t) * 1.3
            if 10 < sheen < 26 and y < cy:
                v += 0.22
            level = max(0, min(len(STATIC) - 1, int(v * len(STATIC))))
            canvas.set(x, y, STATIC[level])


def draw_tv_cabinet(c):
    ox, oy, w, h = TV_BODY
    right, bottom = ox + w - 1, oy + h - 1
    case_bottom = 94
    case = rounded(ox, oy, right, case_bottom, 8)
    inner = rounded(ox + 1, oy + 1, right - 1, case_bottom - 1, 7)
    for y in range(oy, case_bottom + 1):
        for x in range(ox, right + 1):
            if not case(x, y):
                continue
            if not inner(x, y):
                colour = WOOD["outline"]
            else:
                # Waving veneer grain.
                g = math.sin((y + 3.0 * math.sin(x / 17.0 + y / 29.0)) * 0.75)
                colour = WOOD["mid"]
                if g > 0.8:
                    colour = WOOD["grain"]
                elif g < -0.9:
                    colour = WOOD["light"]
                # Rounded edges: lit along the top and left, shaded along the bottom and right.
                if not rounded(ox + 3, oy + 3, right - 3, case_bottom - 3, 6)(x, y):
                    if y < oy + 3 or (x < ox + 3 and y < case_bottom - 6):
                        colour = WOOD["shine"] if y < oy + 2 or x < ox + 2 else WOOD["light"]
                    else:
                        colour = WOOD["dark"]
            c.set(x, y, colour)
    # Bezel round the picture tube, sunk into the cabinet.
    l, t, r, b = TV_SCREEN
    bezel = rounded(l - 6, t - 6, r + 6, b + 6, 12)
    bezel_in = rounded(l - 5, t - 5, r + 5, b + 5, 11)
    lip = rounded(l - 2, t - 2, r + 2, b + 2, 9)
    for y in range(t - 6, b + 7):
        for x in range(l - 6, r + 7):
            if not bezel(x, y):
                continue
            if not bezel_in(x, y):
                # Shadow on the upper left rim of the hole, light on the lower right.
                colour = WOOD["outline"] if (x + y) < (l + r + t + b) / 2 + 10 else WOOD["shine"]
            elif not lip(x, y):
                colour = BEZEL["dark"]
                if y >= b + 2 or x >= r + 2:
                    colour = BEZEL["edge"]
            else:
                colour = BEZEL["black"]
            c.set(x, y, colour)
    # Control panel on the right: two knobs above a speaker grille.
    px0, px1 = r + 9, right - 4
    panel = rounded(px0, t - 5, px1, b + 5, 3)
    for y in range(t - 5, b + 6):
        for x in range(px0, px1 + 1):
            if panel(x, y):
                edge = not rounded(px0 + 1, t - 4, px1 - 1, b + 4, 2)(x, y)
                c.set(x, y, WOOD["outline"] if edge else WOOD["dark"])
    kx = (px0 + px1 + 1) / 2
    for ky, kr in ((t + 8, 5.6), (t + 24, 4.2)):
        for y in range(int(ky - kr) - 1, int(ky + kr) + 2):
            for x in range(int(kx - kr) - 1, int(kx + kr) + 2):
                d = math.hypot(x + 0.5 - kx, y + 0.5 - ky)
                if d > kr:
                    continue
                if d > kr - 1:
                    colour = BEZEL["black"]
                elif (x + 0.5 - kx) + (y + 0.5 - ky) < -kr * 0.5:
                    colour = METAL["light"]
                elif (x + 0.5 - kx) + (y + 0.5 - ky) > kr * 0.6:
                    colour = METAL["shade"]
                else:
                    colour = METAL["mid"]
                c.set(x, y, colour)
        # Pointer line.
        c.line(int(kx), int(ky), int(kx + kr * 0.6), int(ky - kr * 0.6), METAL["dark"])
    for y in range(t + 34, b + 2, 3):
        c.hline(px0 + 2, px1 - 2, y, BEZEL["black"])
        c.hline(px0 + 2, px1 - 2, y + 1, WOOD["grain"])
    # Plinth and two splayed legs with brass feet.
    for y in range(case_bottom + 1, bottom + 1):
        k = y - case_bottom
        for lx0 in (ox + 12, right - 19):
            spread = -k // 3 if lx0 < ox + 63 else k // 3
            x0 = lx0 + spread
            for x in range(x0, x0 + 8 - k // 3):
                c.set(x, y, WOOD["outline"] if x in (x0, x0 + 7 - k // 3) else WOOD["dark"])
            if y >= bottom - 1:
                c.hline(x0, x0 + 7 - k // 3, y, METAL["shade"])


def television_gif():
    full = Canvas(TV_W, TV_H)
    draw_tv_cabinet(full)
    draw_static(full, 0x5EED01)
    l, t, r, b = TV_SCREEN
    second = Canvas(TV_W, TV_H)
    draw_static(second, 0x5EED02)
    third = Canvas(TV_W, TV_H)
    draw_static(third, 0x5EED03)
    pieces = [full.crop(*TV_BODY), second.crop(l, t + 1, r - l + 1, b - t),
              third.crop(l, t, r - l + 1, b - t + 1)]
    places = [TV_BODY[:2], (l, t + 1), (l, t)]
    palette = build_palette(pieces, 32, TV_TRANSPARENT)
    frames = [GifFrame(x, y, p.width, p.height, index_pixels(p, palette, TV_TRANSPARENT),
                       delay=0, transparent=TV_TRANSPARENT, disposal=1)
              for p, (x, y) in zip(pieces, places)]
    return write_gif(b"89a", TV_W, TV_H, palette, frames, background=TV_TRANSPARENT, loop=1000)


# --- program icon ------------------------------------------------------------------------------

# The sixteen colours every 4-bit display can show.
ICON_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
ICON = {"K": ICON_PALETTE[0], "g": ICON_PALETTE[2], "S": ICON_PALETTE[7], "G": ICON_PALETTE[8],
        "R": ICON_PALETTE[9], "L": ICON_PALETTE[10], "W": ICON_PALETTE[15],
        "y": ICON_PALETTE[3]}

TUNER_DISPLAY = [
    "KKKKKKKKKKKKKK",
    "KgLLgLLggLgLLK",
    "KgLggLLgggggLK",
    "KgLLgLLggLgLLK",
    "KKKKKKKKKKKKKK",
]
TUNER_CONTROLS = [
    "KKKKKKKK.KKK",
    "KWSKWSKS.KWK",
    "KSGKSGKG.KRK",
    "KKKKKKKK.KKK",
]
LEVEL_METER = [
    "KKKKKKKKKKK",
    "KggggggLggK",
    "KgggLggLgLK",
    "KgLgLLgLLLK",
    "KLLLLLLLLLK",
    "KKKKKKKKKKK",
]
AMP_KNOB = [
    ".KKKK.",
    "KWWSSK",
    "KWSSGK",
    "KSSKGK",
    "KSGGGK",
    ".KKKK.",
]
CASSETTE = [
    "KKKKKKKKKKKKK",
    "KGGGGGGGGGGGK",
    "KGSWSGGGSWSGK",
    "KGWKWKKKWKWGK",
    "KGSWSGGGSWSGK",
    "KKKKKKKKKKKKK",
]
DECK_DISPLAY = [
    "KKKKKKKKKK",
    "KgLgLLgLgK",
    "KKKKKKKKKK",
]
DECK_KEYS = [
    "KKKKKKKKKK",
    "KWKWKWKWKW",
    "KKKKKKKKKK",
]


def draw_hifi_unit(c, top, bottom):
    """One box of the stack: black edge, lit top and left, shaded bottom and right."""
    c.rect(1, top, 30, bottom, ICON["K"])
    c.rect(2, top + 1, 29, bottom - 1, ICON["S"])
    c.hline(2, 28, top + 1, ICON["W"])
    c.vline(2, top + 1, bottom - 2, ICON["W"])
    c.hline(3, 29, bottom - 1, ICON["G"])
    c.vline(29, top + 2, bottom - 1, ICON["G"])


def draw_icon():
    c = Canvas(32, 32)
    draw_hifi_unit(c, 2, 10)
    draw_hifi_unit(c, 10, 19)
    draw_hifi_unit(c, 19, 28)
    c.stamp(4, 4, TUNER_DISPLAY, ICON)
    c.stamp(18, 4, TUNER_CONTROLS, ICON)
    c.stamp(4, 12, LEVEL_METER, ICON)
    c.stamp(16, 14, ["KKKKK", "KWKWK", "KGKGK", "KKKKK"], ICON)
    c.stamp(22, 12, AMP_KNOB, ICON)
    c.stamp(4, 21, CASSETTE, ICON)
    c.stamp(18, 21, DECK_DISPLAY, ICON)
    c.stamp(18, 24, DECK_KEYS, ICON)
    # Feet.
    for x in (3, 26):
        c.rect(x, 29, x + 3, 30, ICON["K"])
    return c


def kit_ico():
    return write_ico_4bpp(draw_icon(), ICON_PALETTE)


# --- output ------------------------------------------------------------------------------------

PICTURES = {
    "clapperboard.gif": clapperboard_gif,
    "disc-note.gif": disc_note_gif,
    "disc-clef.gif": disc_clef_gif,
    "loudspeaker.gif": loudspeaker_gif,
    "television.gif": television_gif,
    "disc-rainbow.gif": disc_rainbow_gif,
    "kit.ico": kit_ico,
}


def desktop_icons():
    """The program icon for the hicolor theme: {relative path: (size, RGBA rows)}."""
    window_icon = draw_icon()
    return {f"hicolor/{n}x{n}/apps/{APP_ID}.png": (n, icon_rows(n, window_icon))
            for n in ICON_SIZES}


def same_pixels(path, size, rows):
    """Whether the stored PNG holds exactly these pixels (another zlib may pack them into other
    bytes, so the bytes themselves are not compared)."""
    try:
        return read_png_rgba(path.read_bytes()) == (size, size, rows)
    except (OSError, ValueError):
        return False


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="compare with the stored files instead of writing them")
    parser.add_argument("--out", type=pathlib.Path, default=OUT_DIR,
                        help="folder for the pictures (default: resources/pictures)")
    parser.add_argument("--icon-out", type=pathlib.Path, default=ICON_DIR,
                        help="folder for the desktop icons (default: resources/desktop/icons)")
    args = parser.parse_args()
    stale = []
    for name, make in PICTURES.items():
        data = make()
        path = args.out / name
        if args.check:
            if not path.is_file() or path.read_bytes() != data:
                stale.append(name)
            continue
        args.out.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
        print(f"wrote {path} ({len(data)} bytes)")
    for name, (size, rows) in desktop_icons().items():
        path = args.icon_out / name
        if args.check:
            if not same_pixels(path, size, rows):
                stale.append(name)
            continue
        data = write_png_rgba(size, size, rows)
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
        print(f"wrote {path} ({len(data)} bytes)")
    if stale:
        print("out of date: " + ", ".join(stale) + " (run make_pictures.py)", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
