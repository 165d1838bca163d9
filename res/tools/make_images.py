#!/usr/bin/env python3
"""Draw Velto's icons and taskbar-button bitmaps.

Every picture the program carries is described in this file, either as pixel
art (the 16 x 16 icons and the letters on the buttons) or as simple geometry
(the 32 x 32 icons, the circles and the button shading), and written out as
Windows icon files (res/icons/*.ico) and device-independent bitmaps
(res/bitmaps/*.bmp) for the resource script to pick up.

The output is deterministic: every run produces the same bytes, so the
committed files can be checked against this script at any time.

    make_images.py                 rewrite the files under res/
    make_images.py --out DIR       write them under DIR instead
    make_images.py --png DIR       also write enlarged PNG previews to DIR
    make_images.py --check         regenerate into a scratch folder and compare
                                   byte for byte with the files under res/
                                   (or --out DIR); exit status 1 on any
                                   difference

Only the Python standard library is used.
"""

import argparse
import os
import struct
import sys
import tempfile
import zlib

# ---------------------------------------------------------------------------
# Colours

# The standard 16-colour (VGA) palette, in the order every 4-bit icon uses.
VGA = [
    (0x00, 0x00, 0x00),  # 0 black
    (0x80, 0x00, 0x00),  # 1 dark red
    (0x00, 0x80, 0x00),  # 2 dark green
    (0x80, 0x80, 0x00),  # 3 olive
    (0x00, 0x00, 0x80),  # 4 navy
    (0x80, 0x00, 0x80),  # 5 purple
    (0x00, 0x80, 0x80),  # 6 teal
    (0xC0, 0xC0, 0xC0),  # 7 light grey
    (0x80, 0x80, 0x80),  # 8 grey
    (0xFF, 0x00, 0x00),  # 9 red
    (0x00, 0xFF, 0x00),  # 10 green
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 magenta
    (0x00, 0xFF, 0xFF),  # 14 cyan
    (0xFF, 0xFF, 0xFF),  # 15 white
]
BLACK = VGA[0]
LIGHT_GREY = VGA[7]
GREY = VGA[8]
RED = VGA[9]
WHITE = VGA[15]


def _icon_palette_256():
    """The colour table of the 8-bit icon: the 16 VGA colours, a 6 x 6 x 6
    colour cube and a 24-step grey ramp, 256 entries in all."""
    pal = list(VGA)
    steps = (0, 51, 102, 153, 204, 255)
    for r in steps:
        for g in steps:
            for b in steps:
                pal.append((r, g, b))
    for i in range(24):
        v = 8 + 10 * i
        pal.append((v, v, v))
    assert len(pal) == 256
    return pal


ICON_PALETTE_256 = _icon_palette_256()

# Transparent pixel of an icon (AND-mask bit set).
CLEAR = None


# ---------------------------------------------------------------------------
# Canvas and drawing helpers

class Image:
    """A rectangle of pixels, row by row from the top; each pixel is an
    (r, g, b) tuple or CLEAR."""

    def __init__(self, width, height, fill=CLEAR):
        self.width = width
        self.height = height
        self.rows = [[fill] * width for _ in range(height)]

    def get(self, x, y):
        return self.rows[y][x]

    def put(self, x, y, colour):
        self.rows[y][x] = colour

    def copy(self):
        img = Image(self.width, self.height)
        img.rows = [list(r) for r in self.rows]
        return img


def from_art(art, colours):
    """Build an image from rows of characters; `colours` maps each character
    to a colour (or CLEAR)."""
    height = len(art)
    width = len(art[0])
    img = Image(width, height)
    for y, line in enumerate(art):
        if len(line) != width:
            raise ValueError("ragged pixel art at row %d" % y)
        for x, ch in enumerate(line):
            img.put(x, y, colours[ch])
    return img


def coverage(shape, x, y, n=4):
    """Fraction of pixel (x, y) inside `shape`, sampled on an n x n grid.
    Returned as a whole number of samples out of n * n."""
    hits = 0
    for j in range(n):
        sy = y + (j + 0.5) / n
        for i in range(n):
            if shape(x + (i + 0.5) / n, sy):
                hits += 1
    return hits


def fill(img, shape, colour, n=4):
    """Paint every pixel that is at least half inside `shape` (no blending:
    icons have a one-bit mask and a fixed palette)."""
    for y in range(img.height):
        for x in range(img.width):
            if 2 * coverage(shape, x, y, n) >= n * n:
                img.put(x, y, colour)


def blend(img, shape, colour, n=4):
    """Paint `shape` with smoothed edges over an opaque image."""
    total = n * n
    for y in range(img.height):
        for x in range(img.width):
            c = coverage(shape, x, y, n)
            if c == 0:
                continue
            old = img.get(x, y)
            img.put(x, y, tuple((o * (total - c) + v * c + total // 2) // total
                                for o, v in zip(old, colour)))


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def stroke(x0, y0, x1, y1, half_width):
    """A straight stroke with square-cut ends."""
    dx, dy = x1 - x0, y1 - y0
    length = (dx * dx + dy * dy) ** 0.5
    ux, uy = dx / length, dy / length

    def inside(x, y):
        px, py = x - x0, y - y0
        along = px * ux + py * uy
        across = -px * uy + py * ux
        return 0.0 <= along <= length and abs(across) <= half_width
    return inside


def polygon(points):
    """Even-odd point-in-polygon test."""
    pts = list(points)

    def inside(x, y):
        result = False
        j = len(pts) - 1
        for i in range(len(pts)):
            xi, yi = pts[i]
            xj, yj = pts[j]
            if (yi > y) != (yj > y):
                if x < xi + (y - yi) * (xj - xi) / (yj - yi):
                    result = not result
            j = i
        return result
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def intersect(a, b):
    return lambda x, y: a(x, y) and b(x, y)


def mirror_vertical(img):
    out = img.copy()
    out.rows = [list(r) for r in reversed(img.rows)]
    return out


def paste(dst, src, left, top):
    for y in range(src.height):
        for x in range(src.width):
            dst.put(left + x, top + y, src.get(x, y))


def lerp(a, b, t):
    return tuple(int(round(p + (q - p) * t)) for p, q in zip(a, b))


# ---------------------------------------------------------------------------
# Icons

# "ok" in a circle, 16 x 16: the small image of the application icon and the
# tray icon of the OK proxy.
OK_16 = [
    ".....######.....",
    "...##......##...",
    "..#..........#..",
    ".#............#.",
    ".#.......#....#.",
    "#........#.....#",
    "#........#.....#",
    "#...##...#..#..#",
    "#..#..#..#.#...#",
    "#..#..#..##....#",
    "#..#..#..#.#...#",
    ".#..##...#..#.#.",
    ".#............#.",
    "..#..........#..",
    "...##......##...",
    ".....######.....",
]

# Close button, 16 x 16: black edge, red ring, white face, red X edged black.
CLOSE_16 = [
    ".....KKKKKK.....",
    "...KKRRRRRRKK...",
    "..KRRRRRRRRRRK..",
    ".KRRKWWWWWWKRRK.",
    ".KRKRKWWWWKRKRK.",
    "KRRWKRKWWKRKWRRK",
    "KRWWWKRKKRKWWWRK",
    "KRWWWWKRRKWWWWRK",
    "KRWWWWKRRKWWWWRK",
    "KRWWWKRKKRKWWWRK",
    "KRRWKRKWWKRKWRRK",
    ".KRKRKWWWWKRKRK.",
    ".KRRKWWWWWWKRRK.",
    "..KRRRRRRRRRRK..",
    "...KKRRRRRRKK...",
    ".....KKKKKK.....",
]

# Up arrow on the left, down arrow on the right, 16 x 16.
ARROWS_16 = [
    "................",
    "...#.......###..",
    "..###......###..",
    ".#####.....###..",
    "#######....###..",
    "..###......###..",
    "..###......###..",
    "..###......###..",
    "..###......###..",
    "..###......###..",
    "..###......###..",
    "..###....#######",
    "..###.....#####.",
    "..###......###..",
    "..###.......#...",
    "................",
]

# Close mark drawn at the right end of the task items: a red square in a
# light-grey frame, crossed by a grey outlined X whose middle is see-through.
CLOSE_GLYPH_16 = [
    "LLLLLLLLLLLLLLLL",
    "LRRRRRRRRRRRRRRL",
    "LRGGRRRRRRRRGGRL",
    "LRG.GRRRRRRG.GRL",
    "LRRG.GRRRRG.GRRL",
    "LRRRG.GRRG.GRRRL",
    "LRRRRG.GG.GRRRRL",
    "LRRRRRG..GRRRRRL",
    "LRRRRRG..GRRRRRL",
    "LRRRRG.GG.GRRRRL",
    "LRRRG.GRRG.GRRRL",
    "LRRG.GRRRRG.GRRL",
    "LRG.GRRRRRRG.GRL",
    "LRGGRRRRRRRRGGRL",
    "LRRRRRRRRRRRRRRL",
    "LLLLLLLLLLLLLLLL",
]


def icon_ok_16():
    return from_art(OK_16, {"#": BLACK, ".": CLEAR})


def icon_ok_32():
    """The letters o and k in a circle, 32 x 32."""
    img = Image(32, 32)
    fill(img, minus(disc(16, 16, 16), disc(16, 16, 13.6)), BLACK)
    letter_o = minus(ellipse(11.0, 18.5, 5.0, 5.6), ellipse(11.0, 18.5, 2.6, 3.3))
    stem = rect(17.0, 7.5, 19.5, 24.0)
    arm = stroke(18.5, 20.0, 25.5, 13.0, 1.3)
    leg = stroke(20.5, 17.0, 26.0, 24.0, 1.3)
    baseline = rect(0, 0, 32, 24.0)
    fill(img, intersect(union(letter_o, stem, arm, leg), baseline), BLACK)
    return img


def icon_close_16():
    return from_art(CLOSE_16, {"K": BLACK, "R": RED, "W": WHITE, ".": CLEAR})


def icon_arrows_16():
    return from_art(ARROWS_16, {"#": BLACK, ".": CLEAR})


def icon_arrows_16_negative():
    return from_art(ARROWS_16, {"#": WHITE, ".": BLACK})


def icon_arrows_32():
    """The tray arrows at 32 x 32: up on the left, down on the right."""
    img = Image(32, 32)
    up = polygon([(7, 2), (14, 9), (10, 9), (10, 30), (4, 30), (4, 9), (0, 9)])
    down = polygon([(25, 30), (32, 23), (28, 23), (28, 2), (22, 2), (22, 23),
                    (18, 23)])
    fill(img, union(up, down), BLACK)
    return img


def icon_close_glyph_16():
    return from_art(CLOSE_GLYPH_16, {"L": LIGHT_GREY, "R": RED, "G": GREY,
                                     ".": CLEAR})


# ---------------------------------------------------------------------------
# Taskbar-button bitmaps: 40 x 20, the face at rest on the left and the same
# face held down on the right.

FACE = 20

# White "ok" on the green button, 14 x 10.
OK_LETTERS = [
    "........##....",
    "........##....",
    "........##....",
    ".####...##..##",
    "##..##..##.##.",
    "##..##..####..",
    "##..##..###...",
    "##..##..####..",
    "##..##..##.##.",
    ".####...##..##",
]


def shaded_face(top, bottom, edge, highlight, shadow):
    """A square button face: a one-pixel edge, a vertical shade from `top`
    to `bottom`, and a highlight and a shadow line just inside the edge."""
    img = Image(FACE, FACE, edge)
    for y in range(1, FACE - 1):
        colour = lerp(top, bottom, (y - 1) / (FACE - 3))
        for x in range(1, FACE - 1):
            img.put(x, y, colour)
    for x in range(1, FACE - 1):
        img.put(x, 1, highlight)
        img.put(x, FACE - 2, shadow)
    return img


def two_frames(rest, pressed):
    img = Image(2 * FACE, FACE)
    paste(img, rest, 0, 0)
    paste(img, pressed, FACE, 0)
    return img


def draw_art(img, art, left, top, colour):
    for y, line in enumerate(art):
        for x, ch in enumerate(line):
            if ch == "#":
                img.put(left + x, top + y, colour)


def bitmap_ok():
    def face(top, bottom, edge, highlight, shadow, offset):
        img = shaded_face(top, bottom, edge, highlight, shadow)
        draw_art(img, OK_LETTERS, 3 + offset, 5 + offset, WHITE)
        return img
    rest = face((0x3C, 0xB4, 0x3C), (0x00, 0x6E, 0x00), (0x00, 0x46, 0x00),
                (0x8C, 0xDC, 0x8C), (0x00, 0x50, 0x00), 0)
    pressed = face((0x78, 0xDC, 0x78), (0x32, 0xAA, 0x32), (0x1E, 0x78, 0x1E),
                   (0xB4, 0xF0, 0xB4), (0x28, 0x8C, 0x28), 1)
    return two_frames(rest, pressed)


def bitmap_close():
    def face(top, bottom, edge, highlight, shadow, offset):
        img = shaded_face(top, bottom, edge, highlight, shadow)
        o = offset
        cross = union(stroke(5 + o, 5 + o, 15 + o, 15 + o, 1.25),
                      stroke(5 + o, 15 + o, 15 + o, 5 + o, 1.25))
        blend(img, cross, WHITE)
        return img
    rest = face((0xE6, 0x3C, 0x3C), (0xA0, 0x00, 0x00), (0x5A, 0x00, 0x00),
                (0xF5, 0x8C, 0x8C), (0x78, 0x00, 0x00), 0)
    pressed = face((0xFF, 0x8C, 0xA5), (0xDC, 0x46, 0x64), (0x96, 0x1E, 0x3C),
                   (0xFF, 0xC3, 0xD2), (0xB4, 0x32, 0x50), 1)
    return two_frames(rest, pressed)


def bitmap_idle():
    rest = shaded_face((0xE6, 0xE6, 0xE6), (0x96, 0x96, 0x96),
                       (0x50, 0x50, 0x50), (0xF5, 0xF5, 0xF5),
                       (0x78, 0x78, 0x78))
    for y in (4, 5, 6):
        for x in range(1, FACE - 1):
            rest.put(x, y, WHITE)
    # Held down, the same face with its shading turned upside down.
    return two_frames(rest, mirror_vertical(rest))


# ---------------------------------------------------------------------------
# File formats

def _pack_rows(img, bpp, index_of):
    """Colour rows of a DIB, bottom row first, each padded to 4 bytes."""
    out = bytearray()
    for y in range(img.height - 1, -1, -1):
        row = bytearray()
        if bpp == 8:
            for x in range(img.width):
                row.append(index_of(img.get(x, y)))
        elif bpp == 4:
            for x in range(0, img.width, 2):
                hi = index_of(img.get(x, y))
                lo = index_of(img.get(x + 1, y)) if x + 1 < img.width else 0
                row.append((hi << 4) | lo)
        else:
            raise ValueError("unsupported depth %d" % bpp)
        while len(row) % 4:
            row.append(0)
        out += row
    return bytes(out)


def _pack_mask(img):
    """One-bit AND mask, bottom row first: 1 where the icon is see-through."""
    out = bytearray()
    for y in range(img.height - 1, -1, -1):
        row = bytearray((img.width + 7) // 8)
        for x in range(img.width):
            if img.get(x, y) is CLEAR:
                row[x // 8] |= 0x80 >> (x % 8)
        while len(row) % 4:
            row.append(0)
        out += row
    return bytes(out)


def _palette_bytes(colours):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)


def _icon_image(img, bpp):
    palette = VGA if bpp == 4 else ICON_PALETTE_256
    lookup = {}
    for i, c in enumerate(palette):
        lookup.setdefault(c, i)

    def index_of(colour):
        if colour is CLEAR:
            return 0
        if colour not in lookup:
            raise ValueError("colour %r is not in the %d-bit icon palette"
                             % (colour, bpp))
        return lookup[colour]

    xor = _pack_rows(img, bpp, index_of)
    mask = _pack_mask(img)
    header = struct.pack("<IiiHHIIiiII", 40, img.width, 2 * img.height, 1, bpp,
                         0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + _palette_bytes(palette) + xor + mask


def ico_bytes(images):
    """An .ico file holding the given (image, bits per pixel) pairs."""
    blobs = [_icon_image(img, bpp) for img, bpp in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for (img, bpp), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", img.width, img.height,
                           16 if bpp == 4 else 0, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def bmp_bytes(img):
    """An 8-bit .bmp file with a full 256-entry colour table, built from the
    colours of the picture in the order they first appear."""
    palette = []
    lookup = {}
    for row in img.rows:
        for c in row:
            if c is CLEAR:
                raise ValueError("bitmaps have no transparency")
            if c not in lookup:
                lookup[c] = len(palette)
                palette.append(c)
    if len(palette) > 256:
        raise ValueError("bitmap uses %d colours, more than 256" % len(palette))
    palette += [BLACK] * (256 - len(palette))
    bits = _pack_rows(img, 8, lookup.__getitem__)
    info = struct.pack("<IiiHHIIiiII", 40, img.width, img.height, 1, 8, 0,
                       len(bits), 0, 0, 256, 0)
    colours = _palette_bytes(palette)
    offset = 14 + len(info) + len(colours)
    head = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    return head + info + colours + bits


def png_bytes(width, height, rgb_rows):
    """A plain 8-bit RGB PNG."""
    def chunk(kind, data):
        body = kind + data
        return (struct.pack(">I", len(data)) + body
                + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF))
    raw = bytearray()
    for row in rgb_rows:
        raw.append(0)
        for r, g, b in row:
            raw += bytes((r, g, b))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def preview(img, scale):
    """An enlarged view of a picture. Icons are shown twice, over a light
    checkerboard and over a dark blue, so that their see-through parts show."""
    backgrounds = [None]
    if any(c is CLEAR for row in img.rows for c in row):
        backgrounds = ["checker", (0x10, 0x28, 0x60)]
    gap = scale
    width = len(backgrounds) * img.width * scale + (len(backgrounds) - 1) * gap
    height = img.height * scale
    rows = [[(0x60, 0x60, 0x60)] * width for _ in range(height)]
    for n, bg in enumerate(backgrounds):
        left = n * (img.width * scale + gap)
        for y in range(height):
            for x in range(img.width * scale):
                c = img.get(x // scale, y // scale)
                if c is CLEAR:
                    if bg == "checker":
                        c = (0xFF, 0xFF, 0xFF) if ((x // 4 + y // 4) % 2) else (0xD8, 0xD8, 0xD8)
                    else:
                        c = bg
                rows[y][left + x] = c
    return width, height, rows


# ---------------------------------------------------------------------------
# The resource set

def build():
    """Every file, as (path relative to res/, bytes, [(preview name, image)])."""
    ok16 = icon_ok_16()
    ok32 = icon_ok_32()
    close16 = icon_close_16()
    arrows16 = icon_arrows_16()
    arrows16_neg = icon_arrows_16_negative()
    arrows32 = icon_arrows_32()
    glyph16 = icon_close_glyph_16()
    b_ok = bitmap_ok()
    b_close = bitmap_close()
    b_idle = bitmap_idle()
    return [
        ("icons/app.ico", ico_bytes([(ok16, 4), (ok32, 8)]),
         [("app_16", ok16), ("app_32", ok32)]),
        ("icons/ok.ico", ico_bytes([(ok16, 4)]), [("ok_16", ok16)]),
        ("icons/close.ico", ico_bytes([(close16, 4)]), [("close_16", close16)]),
        ("icons/tray_active.ico", ico_bytes([(arrows16_neg, 4)]),
         [("tray_active_16", arrows16_neg)]),
        ("icons/arrows_large.ico", ico_bytes([(arrows32, 4)]),
         [("arrows_large_32", arrows32)]),
        ("icons/close_glyph.ico", ico_bytes([(glyph16, 4)]),
         [("close_glyph_16", glyph16)]),
        ("icons/tray.ico", ico_bytes([(arrows16, 4)]), [("tray_16", arrows16)]),
        ("bitmaps/button_ok.bmp", bmp_bytes(b_ok), [("button_ok", b_ok)]),
        ("bitmaps/button_close.bmp", bmp_bytes(b_close),
         [("button_close", b_close)]),
        ("bitmaps/button_idle.bmp", bmp_bytes(b_idle), [("button_idle", b_idle)]),
    ]


def write_all(files, out_dir):
    for rel, data, _ in files:
        path = os.path.join(out_dir, *rel.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


def write_previews(files, png_dir):
    os.makedirs(png_dir, exist_ok=True)
    for _, _, views in files:
        for name, img in views:
            scale = 16 if img.width <= 20 and img.height <= 20 else 8
            w, h, rows = preview(img, scale)
            with open(os.path.join(png_dir, name + ".png"), "wb") as f:
                f.write(png_bytes(w, h, rows))


def check(files, out_dir):
    """Regenerate into a scratch folder and compare with `out_dir`."""
    problems = []
    with tempfile.TemporaryDirectory(prefix="velto-images-") as scratch:
        write_all(files, scratch)
        for rel, _, _ in files:
            with open(os.path.join(scratch, *rel.split("/")), "rb") as f:
                fresh = f.read()
            path = os.path.join(out_dir, *rel.split("/"))
            if not os.path.isfile(path):
                problems.append("missing: %s" % path)
                continue
            with open(path, "rb") as f:
                if f.read() != fresh:
                    problems.append("differs: %s" % path)
    return problems


def parse_args(argv):
    default_out = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(
        prog="make_images.py", allow_abbrev=False,
        description="Draw Velto's icons (res/icons/*.ico) and button bitmaps "
                    "(res/bitmaps/*.bmp).")
    parser.add_argument("--out", metavar="DIR", default=default_out,
                        help="folder that receives icons/ and bitmaps/ "
                             "(default: %(default)s)")
    parser.add_argument("--png", metavar="DIR",
                        help="also write enlarged PNG previews into DIR")
    parser.add_argument("--check", action="store_true",
                        help="write nothing under the output folder; compare "
                             "freshly drawn files with the ones there and exit "
                             "1 if any differs or is missing")
    args = parser.parse_args(argv)
    for option, value in (("--out", args.out), ("--png", args.png)):
        if value is None:
            continue
        if value == "":
            parser.error("%s needs a folder name" % option)
        if os.path.exists(value) and not os.path.isdir(value):
            parser.error("%s %s: not a folder" % (option, value))
    return args


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    files = build()
    if args.png:
        write_previews(files, args.png)
    if args.check:
        problems = check(files, args.out)
        if problems:
            for p in problems:
                print("make_images.py: %s" % p, file=sys.stderr)
            print("make_images.py: %d of %d files out of date; run "
                  "res/tools/make_images.py to regenerate them"
                  % (len(problems), len(files)), file=sys.stderr)
            return 1
        print("make_images.py: all %d files match" % len(files))
        return 0
    write_all(files, args.out)
    print("make_images.py: wrote %d files under %s" % (len(files), args.out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
