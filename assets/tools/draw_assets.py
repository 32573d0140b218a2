#!/usr/bin/env python3
"""Draws Kadrill's pixel art and writes it as XPM files into assets/.

Every picture is drawn here from code, so a change to the artwork is a change
to this script followed by a re-run; the XPM files are its committed output.
The output depends on nothing but this file, so running it twice gives
byte-identical files.

    python3 draw_assets.py             # rewrite the XPM files and icons/*.png
    python3 draw_assets.py --png DIR   # also write 4x PNG previews into DIR
"""

import argparse
import math
import os
import struct
import zlib

ASSET_DIR = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

# One shared palette keeps the pictures consistent with each other and keeps
# the XPM text readable: each key is the character written for that colour.
PALETTE = {
    " ": None,        # transparent
    ".": "#000000",   # display; must stay pure black, the program draws on it
    "G": "#00BF00",   # lit segment green, the same value the program draws with
    "o": "#111316",   # outer outline
    "D": "#24272B",   # deep shadow
    "d": "#3C4046",   # shadow
    "c": "#52575E",   # case, lower shade
    "m": "#62676F",   # case
    "n": "#737880",   # case, upper shade
    "l": "#8D939B",   # light edge
    "h": "#B4BAC1",   # highlight
    "w": "#DDE1E6",   # brightest glint
    "b": "#A2A8B0",   # button body
    "k": "#1A1C20",   # button glyph ink
    "s": "#2F3338",   # strap
    # The ramen timer's pictures.
    "W": "#FFFFFF",   # white: bubble, dial, steam highlights
    "K": "#000000",   # ink: bubble outline, the character's eyes
    "u": "#F1EEE8",   # cup
    "v": "#D3CCBE",   # cup, shaded side
    "x": "#8C8476",   # cup outline
    "R": "#D7322B",   # red band, hour dots
    "r": "#9C1F1A",   # red, shaded; open mouth
    "f": "#EBC862",   # lid foil
    "F": "#C39A3C",   # lid foil, shaded
    "E": "#7E5E1E",   # lid edge
    "t": "#F7F9FB",   # steam
    "T": "#A7B2BD",   # steam edge
    "Y": "#F7D54A",   # noodles
    "j": "#CFA128",   # noodles, shaded
    "B": "#B06A2A",   # broth
    "q": "#7E4619",   # broth, deep
    "p": "#F29BB0",   # pink: naruto swirl, cheeks
    "g": "#5DB043",   # spring onion
    "e": "#2F6E22",   # spring onion, dark; nori
}


class Canvas:
    """A grid of palette keys. Ranges are inclusive at both ends, as pixel layouts are usually given."""

    def __init__(self, width, height, fill=" "):
        self.width = width
        self.height = height
        self.rows = [[fill] * width for _ in range(height)]

    def put(self, x, y, key):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.rows[y][x] = key

    def rect(self, x0, y0, x1, y1, key):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, key)

    def hline(self, x0, x1, y, key):
        self.rect(x0, y, x1, y, key)

    def vline(self, x, y0, y1, key):
        self.rect(x, y0, x, y1, key)

    def line(self, x0, y0, x1, y1, key):
        # Bresenham, so diagonal strokes stay one pixel wide.
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.put(x0, y0, key)
            if (x0, y0) == (x1, y1):
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def ring(self, cx, cy, r_out, r_in, key, keep=lambda dx, dy: True):
        """Pixels whose centres lie between two radii; `keep` can cut a gap into it."""
        reach = int(r_out) + 1
        for dy in range(-reach, reach + 1):
            for dx in range(-reach, reach + 1):
                if r_in * r_in <= dx * dx + dy * dy <= r_out * r_out and keep(dx, dy):
                    self.put(cx + dx, cy + dy, key)

    def ellipse(self, cx, cy, rx, ry, key, keep=lambda x, y: True):
        """Pixels whose centres lie inside the ellipse; `keep` can clip it."""
        for y in range(int(cy - ry) - 1, int(cy + ry) + 2):
            for x in range(int(cx - rx) - 1, int(cx + rx) + 2):
                if ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 < 1.0 and keep(x, y):
                    self.put(x, y, key)

    def polygon(self, points, key):
        """Pixels whose centres lie inside the polygon (even-odd rule)."""
        ys = [p[1] for p in points]
        xs = [p[0] for p in points]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            for x in range(int(min(xs)), int(max(xs)) + 1):
                inside = False
                for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
                    if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                        inside = not inside
                if inside:
                    self.put(x, y, key)

    def outline(self, key, inside, edge_key=None):
        """Gives every pixel of `inside` keys that touches another key a one-pixel edge."""
        edge = []
        for y in range(self.height):
            for x in range(self.width):
                if self.rows[y][x] not in inside:
                    continue
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                    nx, ny = x + dx, y + dy
                    if not (0 <= nx < self.width and 0 <= ny < self.height) or self.rows[ny][nx] not in inside:
                        edge.append((x, y))
                        break
        for x, y in edge:
            self.put(x, y, key)

    def bitmap(self, x, y, rows, key):
        """Stamps a string bitmap: '#' pixels get `key`, anything else is left alone."""
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                if ch == "#":
                    self.put(x + dx, y + dy, key)

    def stamped(self, x, y, rows, ink, edge):
        """A bitmap with a one-pixel edge under each stroke: a light edge makes
        lettering look cut into metal, a dark one gives printed lettering a shadow."""
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                below = rows[dy + 1][dx] if dy + 1 < len(rows) and dx < len(rows[dy + 1]) else "."
                if ch == "#" and below != "#":
                    self.put(x + dx, y + dy + 1, edge)
        self.bitmap(x, y, rows, ink)


# --- pixel fonts -----------------------------------------------------------
# Only the letters the artwork uses. Widths vary so that narrow letters
# such as I do not leave holes in a word.

FONT_5X7 = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "I": ["###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"],
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "L": ["#...", "#...", "#...", "#...", "#...", "#...", "####"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
}

FONT_3X5 = {
    "A": ["###", "#.#", "###", "#.#", "#.#"],
    "C": ["###", "#..", "#..", "#..", "###"],
    "H": ["#.#", "#.#", "###", "#.#", "#.#"],
    "L": ["#..", "#..", "#..", "#..", "###"],
    "M": ["#...#", "##.##", "#.#.#", "#...#", "#...#"],
    "N": ["#..#", "##.#", "#.##", "#..#", "#..#"],
    "O": ["###", "#.#", "#.#", "#.#", "###"],
    "R": ["##.", "#.#", "##.", "#.#", "#.#"],
}


def text_bitmap(text, font, spacing=1):
    """Joins glyphs into one string bitmap, so text can be centred and engraved as a whole."""
    height = len(next(iter(font.values())))
    rows = [""] * height
    for i, ch in enumerate(text):
        glyph = font[ch]
        for r in range(height):
            rows[r] += ("." * spacing if i else "") + glyph[r]
    return rows


def size_of(rows):
    return max(len(r) for r in rows), len(rows)


# --- the watch face ----------------------------------------------------------

FACE_W, FACE_H = 400, 126
DISPLAY = (6, 3, 393, 90)                  # the program draws digits and marks in here
COLON_XS = (150, 262)
COLON_YS = (22, 58)
DOT = 8
BUTTON_ROW = (97, 99, 343, 118)            # where the program lays out its buttons


def screw(c, cx, cy):
    """A countersunk screw head with its slot, lit from the upper left."""
    c.ring(cx, cy, 3.6, 2.5, "d")
    c.ring(cx, cy, 2.5, 0, "l")
    c.put(cx - 1, cy - 1, "w")
    c.line(cx - 2, cy + 1, cx + 1, cy - 2, "D")
    for dx, dy in ((2, 2), (3, 1), (1, 3), (3, 0), (0, 3)):
        c.put(cx + dx, cy + dy, "h")


def draw_face():
    c = Canvas(FACE_W, FACE_H, "m")
    x0, y0, x1, y1 = DISPLAY

    # Lower plate: a flat, calm field behind the buttons; only the rim
    # around it is shaded, lighter above and darker below as on a curved case.
    c.rect(0, y1 + 3, FACE_W - 1, y1 + 4, "n")
    c.rect(0, FACE_H - 5, FACE_W - 1, FACE_H - 1, "c")

    # Outer rim of the case.
    c.hline(0, FACE_W - 1, 0, "o")
    c.hline(0, FACE_W - 1, FACE_H - 1, "o")
    c.vline(0, 0, FACE_H - 1, "o")
    c.vline(FACE_W - 1, 0, FACE_H - 1, "o")
    c.hline(1, FACE_W - 2, 1, "h")
    c.vline(1, 1, FACE_H - 2, "l")
    c.vline(FACE_W - 2, 1, FACE_H - 2, "d")
    c.hline(1, FACE_W - 2, FACE_H - 2, "D")
    c.put(1, 1, "w")
    c.put(FACE_W - 2, 1, "l")
    c.put(1, FACE_H - 2, "d")
    for x, y in ((0, 0), (FACE_W - 1, 0), (0, FACE_H - 1), (FACE_W - 1, FACE_H - 1)):
        c.put(x, y, "D")

    # The display sits in a recess: its upper and left walls are in shadow,
    # its lower and right walls catch the light.
    c.hline(x0 - 1, x1 + 1, y0 - 1, "D")
    c.vline(x0 - 1, y0 - 1, y1 + 1, "D")
    c.hline(x0, x1 + 1, y1 + 1, "l")
    c.vline(x1 + 1, y0, y1 + 1, "l")
    c.put(x1 + 1, y0 - 1, "d")
    c.put(x0 - 1, y1 + 1, "d")
    c.hline(x0 - 1, x1 + 2, y1 + 2, "h")
    c.rect(x0, y0, x1, y1, ".")

    for x in COLON_XS:
        for y in COLON_YS:
            c.rect(x, y, x + DOT - 1, y + DOT - 1, "G")

    # A groove cut around the lower plate frames the buttons.
    gx0, gy0, gx1, gy1 = 4, y1 + 5, FACE_W - 5, FACE_H - 5
    c.hline(gx0, gx1, gy0, "d")
    c.vline(gx0, gy0, gy1, "d")
    c.hline(gx0 + 1, gx1, gy0 + 1, "h")
    c.vline(gx0 + 1, gy0 + 1, gy1, "h")
    c.hline(gx0, gx1, gy1, "h")
    c.vline(gx1, gy0, gy1, "h")
    c.hline(gx0 + 1, gx1 - 1, gy1 - 1, "d")
    c.vline(gx1 - 1, gy0 + 1, gy1 - 1, "d")

    band_mid = (BUTTON_ROW[1] + BUTTON_ROW[3]) // 2
    screw(c, gx0 + 8, band_mid)
    screw(c, gx1 - 8, band_mid)

    # Brand at the left of the buttons, model line at the right, printed in silver.
    brand = text_bitmap("KADRILL", FONT_5X7, spacing=2)
    bw, bh = size_of(brand)
    left_lo, left_hi = gx0 + 14, BUTTON_ROW[0] - 2
    c.stamped(left_lo + (left_hi - left_lo - bw) // 2 + 1, band_mid - bh // 2, brand, "w", "d")

    right_lo, right_hi = BUTTON_ROW[2] + 2, gx1 - 14
    for i, word in enumerate(("ALARM", "CHRONO")):
        rows = text_bitmap(word, FONT_3X5)
        w, h = size_of(rows)
        c.stamped(right_lo + (right_hi - right_lo - w) // 2 + 1, band_mid - 6 + i * 8, rows, "h", "d")
    return c


# --- buttons -----------------------------------------------------------------

BTN_W, BTN_H = 41, 20

# Button lettering has two-pixel stems so that it stays legible at 1x.
FONT_BOLD = {
    "A": [".####.", "##..##", "##..##", "######", "##..##", "##..##", "##..##"],
    "D": ["#####.", "##..##", "##..##", "##..##", "##..##", "##..##", "#####."],
    "E": ["#####", "##...", "##...", "####.", "##...", "##...", "#####"],
    "L": ["##...", "##...", "##...", "##...", "##...", "##...", "#####"],
    "M": ["##...##", "###.###", "##.#.##", "##...##", "##...##", "##...##", "##...##"],
    "O": [".####.", "##..##", "##..##", "##..##", "##..##", "##..##", ".####."],
    "P": ["#####.", "##..##", "##..##", "#####.", "##....", "##....", "##...."],
    "1": [".##.", "###.", ".##.", ".##.", ".##.", ".##.", "####"],
    "2": [".####.", "##..##", "....##", "...##.", "..##..", ".##...", "######"],
    "4": ["...##.", "..###.", ".#.##.", "#..##.", "######", "...##.", "...##."],
    "/": ["...##", "...##", "..##.", "..##.", ".##..", "##...", "##..."],
}


def button_base():
    """A brushed-metal key with rounded corners and a one-pixel bevel."""
    c = Canvas(BTN_W, BTN_H, " ")
    r, b = BTN_W - 1, BTN_H - 1
    c.rect(1, 1, r - 1, b - 1, "b")
    c.rect(2, 2, r - 2, 5, "h")
    # Outline with the corners cut, so the key reads as a rounded rectangle.
    c.hline(2, r - 2, 0, "o")
    c.hline(2, r - 2, b, "o")
    c.vline(0, 2, b - 2, "o")
    c.vline(r, 2, b - 2, "o")
    for x, y in ((1, 1), (r - 1, 1), (1, b - 1), (r - 1, b - 1)):
        c.put(x, y, "o")
    # Bevel: bright top and left, dark bottom and right.
    c.hline(2, r - 2, 1, "w")
    c.vline(1, 2, b - 2, "w")
    c.hline(2, r - 2, b - 1, "c")
    c.vline(r - 1, 2, b - 2, "l")
    c.hline(2, r - 2, b - 2, "l")
    return c


def button_glyph(rows, dx=0):
    """A key with `rows` centred on it in ink, with a light edge under each stroke."""
    c = button_base()
    w, h = size_of(rows)
    x = (BTN_W - w) // 2 + dx
    y = (BTN_H - h) // 2
    c.stamped(x, y, rows, "k", "h")
    return c


def button_text(text):
    return button_glyph(text_bitmap(text, FONT_BOLD))


def glyph(width, height, draw):
    """Turns drawing calls on a scratch canvas into a string bitmap."""
    g = Canvas(width, height, ".")
    draw(g)
    return ["".join(row) for row in g.rows]


def _clock(g):
    g.ring(6, 6, 6.5, 4.6, "#")
    g.vline(6, 2, 6, "#")
    g.line(6, 6, 9, 8, "#")


# Clockwise round to the top, where the arrow heads on into the gap: back to the start.
RESET = [
    "........#......",
    "........##.....",
    ".....######....",
    "...########....",
    "..###...##.....",
    "..##....#......",
    ".##............",
    ".##...###...##.",
    ".##...#.#...##.",
    ".##...#.#...##.",
    ".##...#.#...##.",
    "..##..###..##..",
    "..###.....###..",
    "...#########...",
    ".....#####.....",
]


BELL = [
    "......#......",
    "....#####....",
    "...##...##...",
    "...#######...",
    "..#########..",
    "..#########..",
    "..#########..",
    ".###########.",
    "#############",
    "#############",
    ".............",
    ".....###.....",
    "......#......",
]

PLAY = [
    "##.......",
    "####.....",
    "######...",
    "########.",
    "#########",
    "#########",
    "########.",
    "######...",
    "####.....",
    "##.......",
]

STOP = ["##########"] * 10

NOTE = [
    ".....##.....",
    ".....###....",
    ".....####...",
    ".....##.##..",
    ".....##..##.",
    ".....##...##",
    ".....##....#",
    ".....##.....",
    "..#####.....",
    ".######.....",
    ".######.....",
    "..####......",
]


def draw_buttons():
    return {
        "btn-mode": button_text("MODE"),
        "btn-set": button_glyph(glyph(13, 13, _clock)),
        "btn-alarm": button_glyph(BELL),
        "btn-display": button_text("12/24"),
        # A triangle's weight sits left of its box; nudge it to look centred.
        "btn-start": button_glyph(PLAY, dx=1),
        "btn-stop": button_glyph(STOP),
        "btn-alarmon": button_glyph(NOTE),
        "btn-reset": button_glyph(RESET),
        "btn-lap": button_text("LAP"),
    }


# --- program icon ------------------------------------------------------------

SEGMENTS = {  # which of a-g are lit, in the usual order a=top, going clockwise, g=middle
    "0": "abcdef", "1": "bc", "2": "abdeg", "3": "abcdg", "4": "bcfg",
    "5": "acdfg", "6": "acdefg", "7": "abc", "8": "abcdefg", "9": "abcdfg",
}


def seven_segment(c, x, y, w, h, digit, key, t=1):
    """A digit of t-pixel strokes in a w x h box ((h - t) even), corners left open like real segments."""
    mid = y + (h - t) // 2                  # top row of the middle bar
    strokes = {
        "a": ((x + t, y), (x + w - 1 - t, y + t - 1)),
        "b": ((x + w - t, y + t), (x + w - 1, mid - 1)),
        "c": ((x + w - t, mid + t), (x + w - 1, y + h - 1 - t)),
        "d": ((x + t, y + h - t), (x + w - 1 - t, y + h - 1)),
        "e": ((x, mid + t), (x + t - 1, y + h - 1 - t)),
        "f": ((x, y + t), (x + t - 1, mid - 1)),
        "g": ((x + t, mid), (x + w - 1 - t, mid + t - 1)),
    }
    for name in SEGMENTS[digit]:
        (ax, ay), (bx, by) = strokes[name]
        c.rect(ax, ay, bx, by, key)


def watch_case(c, x0, y0, x1, y1):
    """The case body: outline with cut corners, lit top-left edges, dark bottom-right."""
    c.rect(x0, y0, x1, y1, "m")
    c.hline(x0 + 1, x1 - 1, y0 - 1, "o")
    c.hline(x0 + 1, x1 - 1, y1 + 1, "o")
    c.vline(x0 - 1, y0 + 1, y1 - 1, "o")
    c.vline(x1 + 1, y0 + 1, y1 - 1, "o")
    for x, y in ((x0, y0), (x1, y0), (x0, y1), (x1, y1)):
        c.put(x, y, "o")
    c.hline(x0 + 1, x1 - 1, y0, "h")
    c.vline(x0, y0 + 1, y1 - 1, "l")
    c.hline(x0 + 1, x1 - 1, y1, "d")
    c.vline(x1, y0 + 1, y1 - 1, "d")


def draw_icon_32():
    c = Canvas(32, 32, " ")
    # Strap, with a seam every few rows so it reads as a band, not a pillar.
    c.rect(9, 0, 22, 31, "s")
    c.vline(9, 0, 31, "D")
    c.vline(22, 0, 31, "o")
    for y in (1, 4, 27, 30):
        c.hline(10, 21, y, "D")
    watch_case(c, 1, 6, 30, 25)
    c.hline(2, 29, 7, "n")
    # Display recess.
    c.rect(4, 9, 27, 22, ".")
    c.hline(3, 27, 8, "D")
    c.vline(3, 9, 22, "D")
    c.hline(3, 28, 23, "l")
    c.vline(28, 8, 23, "l")
    for x, d in ((5, "0"), (10, "8"), (18, "3"), (23, "0")):
        seven_segment(c, x, 11, 4, 9, d, "G")
    c.rect(15, 12, 16, 13, "G")
    c.rect(15, 17, 16, 18, "G")
    return c


# Closed-corner digits: at 16 px open corners break a digit into dots.
SMALL_DIGITS = {
    "1": [".#", "##", ".#", ".#", ".#"],
    "2": ["###", "..#", "###", "#..", "###"],
}


def draw_icon_16():
    c = Canvas(16, 16, " ")
    c.rect(4, 0, 11, 15, "s")
    c.vline(4, 0, 15, "D")
    c.vline(11, 0, 15, "o")
    watch_case(c, 1, 3, 14, 12)
    c.rect(3, 5, 12, 10, ".")
    c.hline(3, 12, 4, "D")
    c.vline(2, 4, 10, "D")
    c.hline(2, 13, 11, "l")
    c.vline(13, 4, 11, "l")
    c.bitmap(5, 5, SMALL_DIGITS["1"], "G")
    c.bitmap(8, 5, SMALL_DIGITS["2"], "G")
    return c


# --- ramen timer -------------------------------------------------------------
# A cup of instant noodles, seen a little from above, and a stopwatch character
# that talks through a speech bubble. Backgrounds are transparent: the program
# shows them in the dialog's own colour.

CUP = 99
CUP_CX = 49
RIM_Y, RIM_RX, RIM_RY = 38, 36, 7        # the cup's mouth
BASE_Y, BASE_RX, BASE_RY = 92, 24, 3     # its foot

# Katakana for the band, seven pixels tall.
KATAKANA = {
    "ra": [".#####.", ".......", "#######", "......#", ".....#.", "...##..", ".##...."],
    "-": [".......", ".......", ".......", "#######", ".......", ".......", "......."],
    "me": ["......#", ".....#.", ".#..#..", "..##...", "..##...", ".#.....", "#......"],
    "n": ["#......", ".#....#", "......#", ".....#.", "....#..", "..##...", "##....."],
}


def cup_half_width(y):
    """Half the cup's width at row y: it narrows evenly from the mouth to the foot."""
    t = (y - RIM_Y) / (BASE_Y - RIM_Y)
    return RIM_RX - 1 + t * (BASE_RX - RIM_RX + 1)


def curve(x, rx, ry):
    """How far below its ends a band round the cup sags at column x, seen from above."""
    u = (x - CUP_CX) / rx
    return ry * (1 - u * u) ** 0.5 if abs(u) < 1 else 0


def cup_body(c):
    """The paper cup below its mouth: shaded like a cylinder lit from the left, with a red
    band that bends round it and the word on it."""
    for y in range(RIM_Y, BASE_Y + BASE_RY + 1):
        hw = cup_half_width(min(y, BASE_Y))
        x0, x1 = round(CUP_CX - hw), round(CUP_CX + hw)
        for x in range(x0, x1 + 1):
            t = (x - x0) / max(1, x1 - x0)
            key = "v" if t > 0.72 else "W" if 0.14 < t < 0.22 else "u"
            if y > BASE_Y and y - BASE_Y > curve(x, hw, BASE_RY):
                continue
            c.put(x, y, key)
    # The band, bending with the cup.
    for x in range(CUP_CX - 40, CUP_CX + 41):
        hw_top = cup_half_width(52)
        if abs(x - CUP_CX) > hw_top:
            continue
        sag = curve(x, cup_half_width(58), 4)
        for y in range(round(51 + sag), round(66 + sag) + 1):
            hw = cup_half_width(y)
            if abs(x - CUP_CX) <= hw:
                t = (x - (CUP_CX - hw)) / (2 * hw)
                c.put(x, y, "r" if t > 0.72 else "R")
    # ラーメン in white on the middle of the band, where it hardly bends.
    glyphs = [KATAKANA[k] for k in ("ra", "-", "me", "n")]
    width = sum(len(g[0]) for g in glyphs) + len(glyphs) - 1
    x = CUP_CX - width // 2
    for g in glyphs:
        c.bitmap(x, 59, g, "W")
        x += len(g[0]) + 1
    # Thin stripes edging the band.
    for x in range(CUP_CX - 40, CUP_CX + 41):
        for base in (48, 69):
            hw = cup_half_width(base)
            if abs(x - CUP_CX) < hw:
                c.put(x, round(base + curve(x, hw, 4)), "R")
    c.outline("x", set("uvWRr"))


def stamp(c, layer):
    """Lays what is drawn on `layer` over `c`."""
    for y, row in enumerate(layer.rows):
        for x, key in enumerate(row):
            if key != " ":
                c.put(x, y, key)


def closed_lid(cup):
    """The foil lid pressed on the mouth, its front edge showing, and the pull tab."""
    c = Canvas(CUP, CUP, " ")
    c.ellipse(CUP_CX, RIM_Y + 2, RIM_RX + 1, RIM_RY, "F")
    c.ellipse(CUP_CX, RIM_Y, RIM_RX + 1, RIM_RY, "f")
    # Pull tab at the front left.
    c.polygon([(10, 41), (4, 43), (3, 47), (7, 49), (14, 45)], "f")
    # Print on the lid: a red bowl with three noodles lifted out of it.
    c.ellipse(CUP_CX, RIM_Y + 1, 11, 4, "R", keep=lambda x, y: y >= RIM_Y)
    c.hline(CUP_CX - 11, CUP_CX + 11, RIM_Y, "R")
    for dx in (-4, 0, 4):
        c.line(CUP_CX + dx, RIM_Y - 1, CUP_CX + dx + 1, RIM_Y - 5, "r")
    c.outline("E", set("fFRr"))
    # The light catches the back of the lid.
    for x in range(CUP_CX - 24, CUP_CX + 12):
        c.put(x, round(RIM_Y - curve(x, RIM_RX - 3, RIM_RY - 2)), "W")
    stamp(cup, c)


def wisp(c, x0, bottom, top, phase, sway, key, grow):
    """A curl of steam: a wavy stroke, wider near the lid and thinning as it rises."""
    for y in range(top, bottom + 1):
        rise = (bottom - y) / max(1, bottom - top)
        x = round(x0 + sway * math.sin(rise * 2.2 * math.pi + phase) * (0.4 + rise))
        half = (1 if rise < 0.6 else 0) + grow
        c.hline(x - half, x + half, y, key)


def steam_curls(c, frame):
    phase = math.pi * frame
    curls = ((32, 29, 5, 3.0, 0.0), (50, 27, 1, 3.5, 1.1), (67, 29, 7, 3.0, 2.3))
    # An edge first, then the white core over it, so the steam shows on a pale ground.
    for x0, bottom, top, sway, shift in curls:
        wisp(c, x0, bottom, top - 1, phase + shift, sway, "T", 1)
    for x0, bottom, top, sway, shift in curls:
        wisp(c, x0, bottom, top, phase + shift, sway, "t", 0)


def draw_cup_closed(frame=None):
    c = Canvas(CUP, CUP, " ")
    cup_body(c)
    closed_lid(c)
    if frame is not None:
        steam = Canvas(CUP, 32, " ")
        steam_curls(steam, frame)
        for y, row in enumerate(steam.rows):
            for x, key in enumerate(row):
                if key != " " and c.rows[y][x] == " ":
                    c.put(x, y, key)
    return c


def open_top(c):
    """The mouth of the opened cup: broth, wavy noodles, naruto, spring onion and nori,
    with the peeled lid standing up behind."""
    # The lid, peeled back and standing behind the right half: its silver underside
    # faces us, the printed foil shows along its curled top edge.
    back_rim = lambda x: RIM_Y - curve(x, RIM_RX, RIM_RY)
    c.ellipse(68, 32, 22, 22, "f", keep=lambda x, y: y < back_rim(x))
    c.ellipse(68, 33, 21, 20, "h", keep=lambda x, y: y < back_rim(x))
    c.ellipse(68, 33, 21, 20, "l", keep=lambda x, y: y < back_rim(x) and x > 78)
    c.outline("E", set("fhl"))
    # The rim, then the soup inside it.
    c.ellipse(CUP_CX, RIM_Y, RIM_RX + 1, RIM_RY + 1, "u")
    c.ellipse(CUP_CX, RIM_Y + 1, RIM_RX - 2, RIM_RY - 1, "q")
    c.ellipse(CUP_CX, RIM_Y + 1, RIM_RX - 3, RIM_RY - 2, "B")
    inside = lambda x, y: ((x - CUP_CX) / (RIM_RX - 3)) ** 2 + ((y - RIM_Y - 1) / (RIM_RY - 1.5)) ** 2 <= 1
    # Noodles: wavy strands across the bowl, the lower of each wave in shade.
    for i, row in enumerate(range(RIM_Y - 4, RIM_Y + 7, 2)):
        for x in range(CUP_CX - RIM_RX, CUP_CX + RIM_RX + 1):
            y = row + round(math.sin((x + i * 3) / 2.2))
            if inside(x, y):
                c.put(x, y, "Y" if math.sin((x + i * 3) / 2.2) < 0.3 else "j")
    # Naruto: a white slice with a pink swirl.
    c.ellipse(33, RIM_Y, 6, 3.2, "W")
    c.put(31, RIM_Y, "p")
    c.put(32, RIM_Y - 1, "p")
    c.hline(33, 35, RIM_Y - 1, "p")
    c.put(35, RIM_Y, "p")
    c.hline(32, 34, RIM_Y + 1, "p")
    c.ellipse(33, RIM_Y, 6, 3.2, "T", keep=lambda x, y: ((x - 33) / 5) ** 2 + ((y - RIM_Y) / 2.2) ** 2 > 1)
    # Spring onion rings.
    for x, y in ((46, RIM_Y + 3), (52, RIM_Y - 2), (58, RIM_Y + 2), (43, RIM_Y - 3), (62, RIM_Y - 1)):
        c.rect(x, y, x + 1, y, "g")
        c.put(x, y + 1, "e")
    # Nori standing at the back.
    c.rect(64, RIM_Y - 9, 71, RIM_Y - 1, "e")
    c.vline(64, RIM_Y - 9, RIM_Y - 1, "g")
    # The rim's edge: dark at the back, where we look over it.
    for x in range(CUP_CX - RIM_RX - 1, CUP_CX + RIM_RX + 2):
        back = round(RIM_Y - curve(x, RIM_RX + 1, RIM_RY + 1))
        c.put(x, back, "x")
        front = round(RIM_Y + curve(x, RIM_RX + 1, RIM_RY + 1))
        c.put(x, front, "x")
    c.put(CUP_CX - RIM_RX - 1, RIM_Y, "x")
    c.put(CUP_CX + RIM_RX + 1, RIM_Y, "x")


def steam_cloud(c, frame):
    """A puffy cloud of steam over the opened cup; between the two frames it breathes."""
    puffs = ((24, 22, 8), (36, 14, 10), (50, 11, 9), (60, 18, 8), (44, 23, 8), (15, 27, 5), (30, 27, 6),
             (46, 17, 9))
    cloud = Canvas(CUP, CUP, " ")
    for i, (x, y, r) in enumerate(puffs):
        r2 = r + (frame if i % 2 == 0 else 1 - frame)
        cloud.ellipse(x, y - frame, r2, r2 * 0.8, "t")
    cloud.outline("T", set("t"))
    # Light on the upper left of each puff gives the cloud some volume.
    for i, (x, y, r) in enumerate(puffs):
        cloud.ellipse(x - r * 0.35, y - frame - r * 0.3, r * 0.35, r * 0.25, "W",
                      keep=lambda px, py: cloud.rows[py][px] == "t")
    # Above the noodles only: the mouth of the cup stays in view.
    for y in range(0, 31):
        for x in range(CUP):
            if cloud.rows[y][x] != " ":
                c.put(x, y, cloud.rows[y][x])


def draw_cup_open(frame):
    c = Canvas(CUP, CUP, " ")
    cup_body(c)
    open_top(c)
    steam_cloud(c, frame)
    return c


BUBBLE_W, BUBBLE_H = 182, 91


def draw_bubble():
    """A white speech bubble with a black outline; its tail, at the lower left, points down
    at the character standing there."""
    c = Canvas(BUBBLE_W, BUBBLE_H, " ")
    x0, y0, x1, y1, r = 8, 1, 179, 74, 14
    c.rect(x0 + r, y0, x1 - r, y1, "W")
    c.rect(x0, y0 + r, x1, y1 - r, "W")
    for cx, cy in ((x0 + r, y0 + r), (x1 - r, y0 + r), (x0 + r, y1 - r), (x1 - r, y1 - r)):
        c.ellipse(cx, cy, r + 0.5, r + 0.5, "W")
    c.polygon([(22, 70), (40, 70), (11, 88)], "W")
    c.outline("K", set("W"))
    return c


FACE = 32


def draw_character(talking):
    """The timer's character: a round stopwatch with red hour dots and a face."""
    c = Canvas(FACE, FACE, " ")
    cx, cy = 15.5, 17.5
    # Crown and its stem on top, a side button at the upper right.
    c.rect(13, 1, 18, 2, "m")
    c.hline(13, 18, 1, "h")
    c.rect(15, 3, 16, 4, "d")
    c.rect(24, 5, 26, 7, "m")
    c.put(24, 5, "h")
    c.ellipse(cx, cy, 13.6, 13.6, "n")
    # The case lit from the upper left.
    c.ellipse(cx, cy, 13.6, 13.6, "l", keep=lambda x, y: (x - cx) + (y - cy) < -4)
    c.ellipse(cx, cy, 13.6, 13.6, "c", keep=lambda x, y: (x - cx) + (y - cy) > 5)
    c.ellipse(cx, cy, 11.6, 11.6, "W")
    c.outline("o", set("nlcmhdW"))
    # Twelve red dots round the dial, the quarters larger.
    for h in range(12):
        a = h * math.pi / 6
        x, y = round(cx + 9.6 * math.sin(a)), round(cy - 9.6 * math.cos(a))
        c.put(x, y, "R")
        if h % 3 == 0:
            c.put(x + (1 if h == 9 else 0) - (1 if h == 3 else 0), y + (1 if h == 0 else 0) - (1 if h == 6 else 0), "R")
    # Eyes, cheeks and mouth.
    c.rect(11, 14, 12, 16, "K")
    c.rect(19, 14, 20, 16, "K")
    c.put(11, 14, "d")
    c.put(19, 14, "d")
    c.rect(8, 18, 9, 19, "p")
    c.rect(22, 18, 23, 19, "p")
    if talking:
        c.ellipse(15.5, 21, 3.2, 2.6, "K")
        c.ellipse(15.5, 21, 2.2, 1.6, "r")
        c.hline(14, 17, 22, "R")
    else:
        c.put(12, 19, "K")
        c.put(19, 19, "K")
        c.hline(13, 18, 20, "K")
    return c


def draw_ramen():
    return {
        "noodle-cup": draw_cup_closed(),
        "noodle-steam-1": draw_cup_closed(0),
        "noodle-steam-2": draw_cup_closed(1),
        "noodle-ready-1": draw_cup_open(0),
        "noodle-ready-2": draw_cup_open(1),
        "noodle-bubble": draw_bubble(),
        "noodle-face": draw_character(False),
        "noodle-face-talk": draw_character(True),
    }


# The same watch for the other sizes a desktop asks of an icon theme. Each size is drawn
# for its own grid; only the largest are enlarged, pixel for pixel, from the 64 px one.

MID_DIGITS = {
    "1": [".#", "##", ".#", ".#", ".#", ".#", ".#"],
    "2": ["####", "...#", "...#", "####", "#...", "#...", "####"],
}


def strap(c, x0, x1, seams=()):
    c.rect(x0, 0, x1, c.height - 1, "s")
    c.vline(x0, 0, c.height - 1, "D")
    c.vline(x1, 0, c.height - 1, "o")
    for y in seams:
        c.hline(x0 + 1, x1 - 1, y, "D")


def recess(c, x0, y0, x1, y1):
    """The black display sunk into the case: shadow above and left, light below and right."""
    c.rect(x0, y0, x1, y1, ".")
    c.hline(x0 - 1, x1, y0 - 1, "D")
    c.vline(x0 - 1, y0 - 1, y1, "D")
    c.hline(x0 - 1, x1 + 1, y1 + 1, "l")
    c.vline(x1 + 1, y0 - 1, y1 + 1, "l")


def pusher(c, x0, x1, y0, y1):
    """A side button standing out of the case, lit on top."""
    c.rect(x0, y0, x1, y1, "n")
    c.hline(x0, x1, y0, "h")
    c.hline(x0, x1, y1, "d")
    c.hline(x0, x1, y0 - 1, "o")
    c.hline(x0, x1, y1 + 1, "o")
    c.vline(x0 if x0 < c.width // 2 else x1, y0, y1, "o")


def small_watch(size):
    """16 px design grown to 22 and 24: a plain case and a two-digit "12"."""
    c = Canvas(size, size, " ")
    mid = size // 2
    strap(c, mid - 5, mid + 4)
    watch_case(c, 1, 3, size - 2, size - 4)
    c.hline(2, size - 3, 4, "n")
    x0, y0, x1, y1 = 4, 6, size - 5, size - 7
    recess(c, x0, y0, x1, y1)
    one, two = MID_DIGITS["1"], MID_DIGITS["2"]
    w = len(one[0]) + 2 + len(two[0])
    x = x0 + (x1 - x0 + 1 - w) // 2
    y = y0 + (y1 - y0 + 1 - len(one)) // 2
    c.bitmap(x, y, one, "G")
    c.bitmap(x + len(one[0]) + 2, y, two, "G")
    return c


def draw_icon_22():
    return small_watch(22)


def draw_icon_24():
    return small_watch(24)


def draw_icon_48():
    c = Canvas(48, 48, " ")
    strap(c, 15, 32, seams=(2, 6, 41, 45))
    for y in (15, 30):
        pusher(c, 0, 1, y, y + 2)
        pusher(c, 46, 47, y, y + 2)
    watch_case(c, 3, 10, 44, 37)
    c.hline(4, 43, 11, "n")
    recess(c, 7, 14, 40, 31)
    for x, d in ((9, "0"), (16, "8"), (27, "3"), (34, "0")):
        seven_segment(c, x, 16, 5, 13, d, "G")
    c.rect(23, 19, 24, 20, "G")
    c.rect(23, 24, 24, 25, "G")
    c.hline(6, 41, 34, "c")
    return c


def draw_icon_64():
    c = Canvas(64, 64, " ")
    strap(c, 20, 43, seams=(2, 7, 56, 61))
    for y in (20, 39):
        pusher(c, 0, 1, y, y + 3)
        pusher(c, 62, 63, y, y + 3)
    watch_case(c, 3, 13, 60, 50)
    c.hline(4, 59, 14, "n")
    recess(c, 8, 17, 55, 40)
    for x, d in ((11, "0"), (21, "8"), (35, "3"), (45, "0")):
        seven_segment(c, x, 20, 8, 18, d, "G", t=2)
    c.rect(31, 24, 32, 25, "G")
    c.rect(31, 32, 32, 33, "G")
    c.hline(6, 57, 45, "c")
    return c


def icon_drawings():
    return {"kadrill-22": draw_icon_22(), "kadrill-24": draw_icon_24(),
            "kadrill-48": draw_icon_48(), "kadrill-64": draw_icon_64()}


# --- alarm settings file icon ------------------------------------------------
# The watch again, with the alarm's ♪ on its display instead of the time: the icon
# file managers show for an .alm file.

# Eighth notes, head below left, flag to the right; one per display height.
NOTES = {
    6: ["..#..",
        "..##.",
        "..#.#",
        ".##..",
        "###..",
        ".#..."],
    10: ["...#....",
         "...##...",
         "...#.#..",
         "...#..#.",
         "...#..#.",
         "...#.#..",
         "...#....",
         ".###....",
         "####....",
         ".##....."],
    12: ["....##....",
         "....###...",
         "....#.##..",
         "....#..##.",
         "....#...#.",
         "....#...#.",
         "....#..#..",
         "....#.....",
         "..###.....",
         ".####.....",
         "#####.....",
         ".###......"],
}

# Each size's drawing and the inside of its display (x0, y0, x1, y1).
ALARM_FILE_DISPLAYS = {16: (draw_icon_16, (3, 5, 12, 10)), 22: (draw_icon_22, (4, 6, 17, 15)),
                       24: (draw_icon_24, (4, 6, 19, 17)), 32: (draw_icon_32, (4, 9, 27, 22)),
                       48: (draw_icon_48, (7, 14, 40, 31)), 64: (draw_icon_64, (8, 17, 55, 40))}


def enlarged(rows, scale):
    return ["".join(ch * scale for ch in row) for row in rows for _ in range(scale)]


def draw_alarm_file_icon(size):
    draw, (x0, y0, x1, y1) = ALARM_FILE_DISPLAYS[size]
    c = draw()
    c.rect(x0, y0, x1, y1, ".")
    height = y1 - y0 + 1
    fits = max(h for h in NOTES if h <= height)
    note = NOTES[fits] if height < 2 * 10 else enlarged(NOTES[10], 2)
    x = x0 + (x1 - x0 + 1 - len(note[0])) // 2
    y = y0 + (height - len(note)) // 2
    c.bitmap(x, y, note, "G")
    return c


# The icon theme's sizes: the drawing each is made from and its whole enlargement.
THEME_SIZES = {16: (16, 1), 22: (22, 1), 24: (24, 1), 32: (32, 1), 48: (48, 1), 64: (64, 1),
               128: (64, 2), 256: (64, 4)}
ICON_DIR = os.path.join(ASSET_DIR, "icons")


# --- output ------------------------------------------------------------------

def xpm_text(name, canvas):
    used = {key for row in canvas.rows for key in row}
    keys = [k for k in PALETTE if k in used]   # palette order, so output is stable
    ident = name.replace("-", "_") + "_xpm"
    lines = ["/* XPM */", f"static const char *{ident}[] = {{",
             f'"{canvas.width} {canvas.height} {len(keys)} 1",']
    for k in keys:
        colour = PALETTE[k] or "None"
        lines.append(f'"{k} c {colour}",')
    for i, row in enumerate(canvas.rows):
        lines.append('"' + "".join(row) + '"' + ("," if i + 1 < canvas.height else ""))
    lines.append("};")
    return "\n".join(lines) + "\n"


def png_bytes(canvas, scale):
    """A minimal RGBA PNG, only for looking at the art; ImageMagick is not assumed."""
    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    raw = bytearray()
    for row in canvas.rows:
        line = bytearray()
        for key in row:
            colour = PALETTE[key]
            px = bytes((0, 0, 0, 0)) if colour is None else bytes.fromhex(colour[1:]) + b"\xff"
            line += px * scale
        for _ in range(scale):
            raw += b"\x00" + line
    header = struct.pack(">IIBBBBB", canvas.width * scale, canvas.height * scale, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def all_pictures():
    pictures = {"face": draw_face(), "kadrill-32": draw_icon_32(), "kadrill-16": draw_icon_16()}
    pictures.update(icon_drawings())
    pictures.update(draw_buttons())
    pictures.update(draw_ramen())
    return pictures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--png", metavar="DIR", help="also write 4x PNG previews into DIR")
    args = parser.parse_args()

    pictures = all_pictures()
    for name, canvas in pictures.items():
        with open(os.path.join(ASSET_DIR, name + ".xpm"), "w", encoding="ascii", newline="\n") as f:
            f.write(xpm_text(name, canvas))
        if args.png:
            os.makedirs(args.png, exist_ok=True)
            with open(os.path.join(args.png, name + ".png"), "wb") as f:
                f.write(png_bytes(canvas, 4))

    # The installed icons, as PNG (the theme's format); the build installs them under the
    # program's desktop id.
    os.makedirs(ICON_DIR, exist_ok=True)
    alarm_files = {size: draw_alarm_file_icon(size) for size in ALARM_FILE_DISPLAYS}
    for size, (drawn, scale) in THEME_SIZES.items():
        with open(os.path.join(ICON_DIR, f"kadrill-{size}.png"), "wb") as f:
            f.write(png_bytes(pictures[f"kadrill-{drawn}"], scale))
        with open(os.path.join(ICON_DIR, f"alarm-file-{size}.png"), "wb") as f:
            f.write(png_bytes(alarm_files[drawn], scale))
        if args.png:
            with open(os.path.join(args.png, f"alarm-file-{size}.png"), "wb") as f:
                f.write(png_bytes(alarm_files[drawn], 4 * scale))

if __name__ == "__main__":
    main()
