#!/usr/bin/env python3
"""Draws every picture of the demo skin.

    python3 demo/skin-source/generate.py [OUTDIR]

writes main1.png, the link button pictures N_n.png / N_d.png, style.png and
logo.png into OUTDIR (default: the folder of this script). The output is the
same, byte for byte, on every run with the same Pillow and font: nothing random
is unseeded, and Pillow writes no time chunk unless asked to.

The coordinates here must agree with cg.txt beside this script (link areas,
[gamePicN] rectangles, logx/logy). After drawing, the script reads cg.txt and
stops with an error when they do not, so a change on one side cannot go
unnoticed.
"""

import configparser
import math
import os
import random
import sys

try:
    from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont
except ImportError:
    # A python3 ahead of Debian's on PATH (pyenv, venv) does not see python3-pil.
    if os.path.exists("/usr/bin/python3") and os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    sys.exit("generate.py needs Pillow (Debian: apt-get install python3-pil)")

HERE = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "skin")
CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"
SS = 4  # supersampling factor for anything with curves or diagonals

# The colour key of the launcher's companion window: a pixel of exactly this
# colour in a link button is see-through and lets clicks fall through.
COLOUR_KEY = (0, 255, 0)
MAGENTA = (255, 0, 255)

# ---------------------------------------------------------------- launcher ---

MAIN_SIZE = (760, 544)
PANEL = (14, 12, 739, 530)          # opaque panel, right/bottom exclusive
PANEL_RADIUS = 16
SHADOW_FADE = 8                     # shadow reaches alpha 0 this far inside the edge
HEADER_BOTTOM = 127                 # the starry band ends here
PAGE = (34, 132, 685, 383)          # embedded login page: x, y, width, height
PAGE_FILL = (16, 18, 40)            # = loginCenterColor, shown until the page loads

# Link areas that carry pictures: number -> (x, y, width, height, kind, caption)
LINK_BUTTONS = {
    1: (58, 90, 112, 36, "primary", "官方网站"),
    2: (182, 90, 112, 36, "secondary", "账号注册"),
    3: (306, 90, 112, 36, "secondary", "游戏充值"),
    4: (430, 90, 112, 36, "secondary", "客服中心"),
    6: (675, 65, 23, 23, "minimise", None),
    7: (704, 64, 26, 26, "close", None),
}

# ------------------------------------------------------------- game window ---

STRIP_HEIGHT = 27
LOGO_POS = (8, 3)
LOGO_SIZE = (24, 22)

# Sprite sheet: entry number -> (x, y, width, height, states). Buttons have
# three state pictures stacked with no gap (interval 0): normal at y, pressed
# at y + h, hover at y + 2h -- the order in which the game window cuts them.
# Entries 9..16 are the frame pieces in the game window's piece order:
# top-left, top (title strip), top-right, left, right, bottom-left, bottom,
# bottom-right.
SHEET_SIZE = (272, 108)
SHEET = {
    1: (0, 0, 28, 26, 3),      # minimise
    2: (28, 0, 28, 26, 3),     # maximise
    3: (56, 0, 28, 26, 3),     # restore
    4: (84, 0, 28, 26, 3),     # close
    5: (112, 0, 43, 19, 3),    # caption face (pill)
    6: (155, 0, 28, 26, 3),    # hide to notification area
    7: (183, 0, 28, 26, 3),    # settings menu
    8: (211, 0, 60, 22, 3),    # wide gold caption face
    9: (0, 80, 6, 27, 1),      # piece 1 top-left
    10: (8, 80, 58, 27, 1),    # piece 2 top edge / title strip
    11: (68, 80, 6, 27, 1),    # piece 3 top-right
    12: (76, 80, 3, 2, 1),     # piece 4 left edge
    13: (81, 80, 3, 2, 1),     # piece 5 right edge
    14: (86, 80, 4, 5, 1),     # piece 6 bottom-left
    15: (92, 80, 2, 3, 1),     # piece 7 bottom edge
    16: (96, 80, 4, 5, 1),     # piece 8 bottom-right
}
# Where each button face sits in the title strip (its y in cg.txt): the face's
# corners are painted with the strip rows behind it, since the game window
# copies pictures opaquely.
FACE_Y = {1: 0, 2: 0, 3: 0, 4: 0, 5: 4, 6: 0, 7: 0, 8: 2}

# The side and bottom border, from the outside in.
BORDER = [(8, 8, 20), (46, 42, 88), (22, 21, 46)]


# ----------------------------------------------------------------- helpers ---

def mix(c0, c1, t):
    return tuple(int(round(a + (b - a) * t)) for a, b in zip(c0, c1))


def scale(c, f):
    return tuple(max(0, min(255, int(round(v * f)))) for v in c)


def vgradient(w, h, top, bottom, alpha=255):
    img = Image.new("RGBA", (w, h))
    draw = ImageDraw.Draw(img)
    for y in range(h):
        t = y / (h - 1) if h > 1 else 0.0
        draw.line([(0, y), (w - 1, y)], fill=mix(top, bottom, t) + (alpha,))
    return img


def rounded_mask(size, box, radius):
    """Antialiased mask of a rounded rectangle; box is (x0, y0, x1, y1) with
    x1/y1 exclusive, in output pixels."""
    w, h = size
    big = Image.new("L", (w * SS, h * SS), 0)
    x0, y0, x1, y1 = box
    ImageDraw.Draw(big).rounded_rectangle(
        (x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1), radius * SS, fill=255)
    return big.resize(size, Image.BOX)


def ring_mask(size, box, radius, width=1):
    outer = rounded_mask(size, box, radius)
    x0, y0, x1, y1 = box
    inner = rounded_mask(size, (x0 + width, y0 + width, x1 - width, y1 - width),
                         max(0, radius - width))
    # outer where inner is clear, fading with inner's antialiased edge
    return ImageChops.multiply(outer, ImageChops.invert(inner))


def paint(base, colour, mask):
    """Paints colour (RGB or RGBA) through mask onto the RGBA image base."""
    rgba = colour if len(colour) == 4 else colour + (255,)
    layer = Image.new("RGBA", base.size, rgba[:3] + (0,))
    if rgba[3] != 255:
        mask = mask.point(lambda v: v * rgba[3] // 255)
    layer.putalpha(mask)
    base.alpha_composite(layer)


def paint_layer(base, layer, mask):
    """Composites layer onto base, limited to mask (multiplied into its alpha)."""
    lay = layer.copy()
    lay.putalpha(ImageChops.multiply(layer.getchannel("A"), mask))
    base.alpha_composite(lay)


def font(size):
    try:
        return ImageFont.truetype(CJK_FONT, size, index=0)
    except OSError:
        return None


_warned = set()


def text_mask(size, text, px, centre=None, origin=None, spacing=0, stroke=0):
    """Mask of text drawn in the CJK font, centred in size or at origin (the
    top-left of the ink). Empty (with a warning) when the font is missing."""
    f = font(px * SS)
    mask = Image.new("L", (size[0] * SS, size[1] * SS), 0)
    if f is None:
        if CJK_FONT not in _warned:
            print("warning: %s missing, pictures drawn without text" % CJK_FONT, file=sys.stderr)
            _warned.add(CJK_FONT)
        return mask.resize(size, Image.BOX)
    draw = ImageDraw.Draw(mask)
    widths = [f.getlength(ch) for ch in text]
    total = sum(widths) + spacing * SS * (len(text) - 1)
    l, t, r, b = f.getbbox(text)
    if origin is not None:
        x, y = origin[0] * SS, origin[1] * SS - t
    else:
        cx, cy = centre if centre else (size[0] / 2, size[1] / 2)
        x = cx * SS - total / 2
        y = cy * SS - (t + b) / 2
    for ch, wch in zip(text, widths):
        draw.text((x, y), ch, font=f, fill=255, stroke_width=int(stroke * SS), stroke_fill=255)
        x += wch + spacing * SS
    return mask.resize(size, Image.BOX)


def text_width(text, px, spacing=0):
    f = font(px * SS)
    if f is None:
        return 0
    return (sum(f.getlength(ch) for ch in text) + spacing * SS * (len(text) - 1)) / SS


def shift(mask, dx, dy):
    out = Image.new("L", mask.size, 0)
    out.paste(mask, (dx, dy))
    return out


def save_png(img, name, outdir):
    # No pnginfo: the file carries no time or software chunk.
    img.save(os.path.join(outdir, name), format="PNG", optimize=True)


# ---------------------------------------------------------- launcher image ---

def draw_main():
    W, H = MAIN_SIZE
    img = Image.new("RGBA", MAIN_SIZE, (0, 0, 0, 0))

    # Drop shadow: the panel shape, moved down and right, blurred; it fades to
    # nothing well inside the picture's edge.
    shadow_mask = rounded_mask(MAIN_SIZE, (PANEL[0] + 2, PANEL[1] + 4, PANEL[2] + 2, PANEL[3] + 4),
                               PANEL_RADIUS).filter(ImageFilter.GaussianBlur(5))
    # Fade the blur's tail out over the last pixels so the edge is clear.
    fade = Image.new("L", MAIN_SIZE, 0)
    fd = ImageDraw.Draw(fade)
    for i in range(SHADOW_FADE + 1):
        fd.rectangle((i, i, W - 1 - i, H - 1 - i), fill=255 * i // SHADOW_FADE)
    paint(img, (4, 2, 12, 150), ImageChops.multiply(shadow_mask, fade))

    panel_mask = rounded_mask(MAIN_SIZE, PANEL, PANEL_RADIUS)
    x0, y0, x1, y1 = PANEL
    body = Image.new("RGBA", MAIN_SIZE, (0, 0, 0, 0))
    body.paste(vgradient(x1 - x0, y1 - y0, (38, 32, 84), (18, 16, 42)), (x0, y0))

    # Header band: deep space with two nebula glows, a planet rim and stars.
    band = vgradient(x1 - x0, HEADER_BOTTOM - y0, (10, 12, 34), (30, 22, 70))
    body.paste(band, (x0, y0))
    glow = Image.new("RGBA", MAIN_SIZE, (0, 0, 0, 0))
    gd = ImageDraw.Draw(glow)
    gd.ellipse((360, -10, 700, 120), fill=(128, 58, 190, 110))
    gd.ellipse((20, 40, 300, 150), fill=(40, 90, 210, 80))
    gd.ellipse((470, 20, 620, 90), fill=(220, 100, 170, 60))
    glow = glow.filter(ImageFilter.GaussianBlur(28))
    band_mask = Image.new("L", MAIN_SIZE, 0)
    ImageDraw.Draw(band_mask).rectangle((0, 0, W - 1, HEADER_BOTTOM - 1), fill=255)
    body.alpha_composite(Image.composite(glow, Image.new("RGBA", MAIN_SIZE, (0, 0, 0, 0)), band_mask))

    # Planet in the top right: a dark disc with a lit rim, mostly above the panel.
    planet = Image.new("RGBA", MAIN_SIZE, (0, 0, 0, 0))
    pm = rounded_mask(MAIN_SIZE, (590, -196, 830, 44), 120)
    paint(planet, (40, 30, 90, 255), pm)
    inner = rounded_mask(MAIN_SIZE, (596, -196, 836, 38), 120)
    rim = Image.composite(Image.new("L", MAIN_SIZE, 0), pm, inner)
    paint(planet, (170, 140, 255, 220), rim.filter(ImageFilter.GaussianBlur(1)))
    paint(planet, (150, 110, 255, 90), rim.filter(ImageFilter.GaussianBlur(6)))
    body.alpha_composite(Image.composite(planet, Image.new("RGBA", MAIN_SIZE, (0, 0, 0, 0)), band_mask))

    rng = random.Random(20240917)
    star_layer = Image.new("RGBA", MAIN_SIZE, (0, 0, 0, 0))
    stars = ImageDraw.Draw(star_layer)
    for _ in range(150):
        sx = rng.randrange(x0 + 4, x1 - 4)
        sy = rng.randrange(y0 + 3, HEADER_BOTTOM - 3)
        b = rng.choice((90, 120, 150, 190, 230))
        stars.point((sx, sy), fill=(b, b, min(255, b + 25), 255))
    for sx, sy in ((250, 30), (520, 104), (612, 30), (150, 20)):
        for d, a in ((1, 170), (2, 70)):
            for px, py in ((sx - d, sy), (sx + d, sy), (sx, sy - d), (sx, sy + d)):
                stars.point((px, py), fill=(220, 225, 255, a))
        stars.point((sx, sy), fill=(255, 255, 255, 255))
    body.alpha_composite(star_layer)

    # Gold hairline under the band, fading out at both ends.
    line = Image.new("RGBA", MAIN_SIZE, (0, 0, 0, 0))
    ld = ImageDraw.Draw(line)
    for x in range(x0 + 8, x1 - 8):
        t = (x - x0) / (x1 - x0)
        a = int(round(200 * (1 - abs(2 * t - 1) ** 2)))
        ld.point((x, HEADER_BOTTOM), fill=(232, 190, 110, a))
    body.alpha_composite(line)

    # Title, gold with a violet glow.
    title_px = 44
    tm = text_mask(MAIN_SIZE, "星辰远征", title_px, origin=(58, 26), spacing=4, stroke=0.75)
    glow_t = tm.filter(ImageFilter.GaussianBlur(7))
    paint(body, (150, 90, 255, 200), glow_t)
    paint(body, (10, 6, 24, 210), shift(tm, 2, 3).filter(ImageFilter.GaussianBlur(1)))
    gold = vgradient(W, H, (0, 0, 0), (0, 0, 0))
    gold.paste(vgradient(W, 50, (255, 244, 200), (232, 160, 60)), (0, 24))
    paint_layer(body, gold, tm)
    tw = text_width("星辰远征", title_px, spacing=4)
    sub = text_mask(MAIN_SIZE, "STAR EXPEDITION", 12, origin=(int(58 + tw + 18), 56), spacing=2)
    paint(body, (176, 186, 240, 230), sub)

    # Frame around the embedded page; the page itself is a flat fill of the
    # placeholder colour, since the page covers it.
    px, py, pw, ph = PAGE
    frame = (px - 4, py - 4, px + pw + 4, py + ph + 4)
    paint(body, (8, 8, 22, 235), rounded_mask(MAIN_SIZE, frame, 6))
    paint(body, (124, 108, 210, 150), ring_mask(MAIN_SIZE, frame, 6))
    paint(body, (232, 190, 110, 70), ring_mask(MAIN_SIZE, (frame[0] + 2, frame[1] + 2, frame[2] - 2, frame[3] - 2), 4))
    ImageDraw.Draw(body).rectangle((px, py, px + pw - 1, py + ph - 1), fill=PAGE_FILL + (255,))

    # Panel edge: a light rim, brighter along the top.
    paint(body, (150, 130, 240, 150), ring_mask(MAIN_SIZE, PANEL, PANEL_RADIUS))
    top_light = Image.new("L", MAIN_SIZE, 0)
    ImageDraw.Draw(top_light).rectangle((0, 0, W - 1, y0 + 20), fill=255)
    paint(body, (220, 210, 255, 110),
          Image.composite(ring_mask(MAIN_SIZE, PANEL, PANEL_RADIUS), Image.new("L", MAIN_SIZE, 0), top_light))

    body.putalpha(Image.composite(body.getchannel("A"), Image.new("L", MAIN_SIZE, 0), panel_mask))
    img.alpha_composite(body)

    # The outermost ring must be fully transparent whatever the blur left.
    a = img.getchannel("A")
    ImageDraw.Draw(a).rectangle((0, 0, W - 1, H - 1), outline=0)
    img.putalpha(a)
    return img


# ------------------------------------------------------- launcher buttons ---

def draw_link_button(main, number):
    x, y, w, h, kind, caption = LINK_BUTTONS[number]
    under = main.crop((x, y, x + w, y + h))
    if min(under.getchannel("A").getdata()) != 255:
        raise SystemExit("link %d lies over a see-through part of main1.png" % number)
    pictures = []
    for pressed in (False, True):
        face = under.copy()
        size = (w, h)
        dx = 1 if pressed else 0
        if kind in ("primary", "secondary"):
            if kind == "primary":
                top, bottom, rim, ink = (250, 206, 110), (214, 136, 40), (255, 234, 170), (60, 28, 4)
            else:
                top, bottom, rim, ink = (98, 104, 214), (58, 52, 150), (158, 166, 255), (246, 246, 255)
            f = 0.72 if pressed else 1.0
            box = (0, 0, w, h)
            paint(face, (6, 4, 16, 200), rounded_mask(size, box, 8))
            inner = (1, 1, w - 1, h - 1)
            grad = vgradient(w, h, scale(top, f), scale(bottom, f))
            paint_layer(face, grad, rounded_mask(size, inner, 7))
            if pressed:
                # A shadow along the top edge reads as pushed in.
                body = rounded_mask(size, inner, 7)
                paint(face, (0, 0, 0, 90), ImageChops.multiply(body, ImageChops.invert(shift(body, 0, 3))))
            else:
                paint(face, rim + (200,), ring_mask(size, inner, 7))
                gloss = Image.new("L", size, 0)
                ImageDraw.Draw(gloss).rectangle((0, 0, w, h // 2 - 1), fill=46)
                paint(face, (255, 255, 255), Image.composite(gloss, Image.new("L", size, 0),
                                                             rounded_mask(size, (2, 2, w - 2, h - 2), 6)))
            tm = text_mask(size, caption, 16, centre=(w / 2 + dx, h / 2 + dx), spacing=1)
            shadow_ink = (255, 240, 200) if kind == "primary" else (10, 8, 30)
            paint(face, shadow_ink + (110,), shift(tm, 0, 1))
            paint(face, scale(ink, 0.9 if pressed and kind == "secondary" else 1.0), tm)
        else:
            box = (0, 0, w, h)
            r = 6
            if pressed:
                fill = (190, 50, 70, 235) if kind == "close" else (10, 8, 30, 170)
            else:
                fill = (255, 255, 255, 30)
            paint(face, fill, rounded_mask(size, box, r))
            paint(face, (200, 190, 255, 110 if not pressed else 60), ring_mask(size, box, r))
            glyph = Image.new("L", (w * SS, h * SS), 0)
            gd = ImageDraw.Draw(glyph)
            c = (w / 2 + dx) * SS
            m = (h / 2 + dx) * SS
            if kind == "minimise":
                gd.rectangle((c - 5 * SS, m + 2 * SS, c + 5 * SS - 1, m + 4 * SS - 1), fill=255)
            else:
                d = 5 * SS
                gd.line((c - d, m - d, c + d, m + d), fill=255, width=2 * SS)
                gd.line((c - d, m + d, c + d, m - d), fill=255, width=2 * SS)
            paint(face, (236, 236, 255) if not pressed else (255, 255, 255), glyph.resize(size, Image.BOX))
        rgb = face.convert("RGB")
        pictures.append(rgb)
    return pictures


# ---------------------------------------------------------- game window ---

def strip_row(y):
    """Colour of row y of the title strip (27 rows)."""
    if y == 0:
        return BORDER[0]
    if y == 1:
        return (96, 88, 160)
    if y == STRIP_HEIGHT - 2:
        return (176, 140, 72)        # gold accent line
    if y == STRIP_HEIGHT - 1:
        return (10, 10, 24)          # dark line where the page begins
    t = (y - 2) / (STRIP_HEIGHT - 5)
    return mix((58, 52, 112), (26, 24, 58), t)


def strip_background(w, h, y0):
    img = Image.new("RGBA", (w, h))
    d = ImageDraw.Draw(img)
    for y in range(h):
        d.line([(0, y), (w - 1, y)], fill=strip_row(y0 + y) + (255,))
    return img


def glyph_mask(entry, w, h, dx):
    g = Image.new("L", (w * SS, h * SS), 0)
    d = ImageDraw.Draw(g)

    def rect(x0, y0, x1, y1):  # output pixels, x1/y1 exclusive
        d.rectangle(((x0 + dx) * SS, (y0 + dx) * SS, (x1 + dx) * SS - 1, (y1 + dx) * SS - 1), fill=255)

    def frame(x0, y0, x1, y1, top=2):
        rect(x0, y0, x1, y0 + top)
        rect(x0, y1 - 1, x1, y1)
        rect(x0, y0, x0 + 1, y1)
        rect(x1 - 1, y0, x1, y1)

    if entry == 1:      # minimise
        rect(9, 15, 19, 17)
    elif entry == 2:    # maximise
        frame(9, 7, 19, 17)
    elif entry == 3:    # restore
        frame(11, 6, 20, 14)
        # the front window hides the back one where they overlap
        d.rectangle(((8 + dx) * SS, (9 + dx) * SS, (17 + dx) * SS - 1, (18 + dx) * SS - 1), fill=0)
        frame(8, 9, 17, 18)
    elif entry == 4:    # close
        c, m, r = (14 + dx) * SS, (12 + dx) * SS, 5 * SS
        d.line((c - r, m - r, c + r, m + r), fill=255, width=2 * SS)
        d.line((c - r, m + r, c + r, m - r), fill=255, width=2 * SS)
    elif entry == 6:    # hide to the notification area: arrow down into a tray
        rect(13, 5, 15, 12)
        c = (14 + dx) * SS
        d.polygon([(c - 4 * SS, (11 + dx) * SS), (c + 4 * SS, (11 + dx) * SS), (c, (15 + dx) * SS)], fill=255)
        rect(8, 14, 9, 19)
        rect(19, 14, 20, 19)
        rect(8, 18, 20, 19)
    elif entry == 7:    # settings menu
        rect(8, 8, 20, 10)
        rect(8, 12, 20, 14)
        rect(8, 16, 20, 18)
    return g.resize((w, h), Image.BOX)


def draw_button_states(entry):
    x, y, w, h, _ = SHEET[entry]
    fy = FACE_Y[entry]
    states = []
    for state in ("normal", "pressed", "hover"):
        face = strip_background(w, h, fy)
        size = (w, h)
        dx = 1 if state == "pressed" else 0
        if entry in (5, 8):
            r = h // 2
            if entry == 5:
                top, bottom, rim = (104, 92, 186), (62, 54, 128), (150, 138, 230)
            else:
                top, bottom, rim = (252, 214, 120), (206, 138, 44), (255, 236, 176)
            f = {"normal": 1.0, "hover": 1.18, "pressed": 0.74}[state]
            box = (0, 0, w, h)
            paint(face, (6, 4, 16, 170), rounded_mask(size, box, r))
            inner = (1, 1, w - 1, h - 1)
            paint_layer(face, vgradient(w, h, scale(top, f), scale(bottom, f)), rounded_mask(size, inner, r - 1))
            if state == "pressed":
                body = rounded_mask(size, inner, r - 1)
                paint(face, (0, 0, 0, 80), ImageChops.multiply(body, ImageChops.invert(shift(body, 0, 2))))
            else:
                paint(face, scale(rim, min(f, 1.1)) + (190,), ring_mask(size, inner, r - 1))
        else:
            close = entry == 4
            box = (2, 1, w - 2, h - 1)
            if state == "hover":
                paint(face, (206, 58, 76, 255) if close else (255, 255, 255, 40), rounded_mask(size, box, 4))
            elif state == "pressed":
                paint(face, (140, 30, 48, 255) if close else (0, 0, 12, 110), rounded_mask(size, box, 4))
            ink = {"normal": (206, 208, 236), "hover": (255, 255, 255), "pressed": (236, 236, 250)}[state]
            paint(face, ink, glyph_mask(entry, w, h, dx))
        states.append(face)
    return states


def draw_frame_pieces():
    pieces = {}

    def ring(dx, dy):
        # colour at distance dx/dy from the outer left-or-right / bottom edge
        k = min(dx, dy)
        return BORDER[k] if k < len(BORDER) else BORDER[-1]

    # Top corners: the strip, closed at the outer side by the border's dark
    # outline; the corner pixel itself is darkened for a softer corner.
    for entry, mirror in ((9, False), (11, True)):
        _, _, w, h, _ = SHEET[entry]
        img = strip_background(w, h, 0)
        d = ImageDraw.Draw(img)
        for yy in range(h):
            xo = w - 1 if mirror else 0
            d.point((xo, yy), fill=BORDER[0] + (255,))
            if 1 <= yy < h - 2:
                xi = w - 2 if mirror else 1
                d.point((xi, yy), fill=mix(strip_row(yy), (120, 110, 190), 0.35) + (255,))
        pieces[entry] = img
    pieces[10] = strip_background(SHEET[10][2], SHEET[10][3], 0)

    for entry, mirror in ((12, False), (13, True)):
        _, _, w, h, _ = SHEET[entry]
        img = Image.new("RGBA", (w, h))
        for yy in range(h):
            for xx in range(w):
                k = (w - 1 - xx) if mirror else xx
                img.putpixel((xx, yy), BORDER[k] + (255,))
        pieces[entry] = img

    _, _, w, h, _ = SHEET[15]
    img = Image.new("RGBA", (w, h))
    for yy in range(h):
        for xx in range(w):
            img.putpixel((xx, yy), BORDER[h - 1 - yy] + (255,))
    pieces[15] = img

    for entry, mirror in ((14, False), (16, True)):
        _, _, w, h, _ = SHEET[entry]
        img = Image.new("RGBA", (w, h))
        for yy in range(h):
            for xx in range(w):
                dxe = (w - 1 - xx) if mirror else xx
                img.putpixel((xx, yy), ring(dxe, h - 1 - yy) + (255,))
        pieces[entry] = img
    return pieces


def draw_style():
    sheet = Image.new("RGBA", SHEET_SIZE, (0, 0, 0, 0))
    for entry in (1, 2, 3, 4, 5, 6, 7, 8):
        x, y, w, h, _ = SHEET[entry]
        for i, face in enumerate(draw_button_states(entry)):
            sheet.paste(face, (x, y + i * h))
    for entry, img in draw_frame_pieces().items():
        sheet.paste(img, SHEET[entry][:2])
    return sheet


def draw_logo():
    w, h = LOGO_SIZE
    logo = strip_background(w, h, LOGO_POS[1])
    size = (w, h)
    paint(logo, (30, 20, 70), rounded_mask(size, (1, 0, 23, 22), 11))
    paint(logo, (124, 70, 200, 200), rounded_mask(size, (1, 0, 23, 22), 11).filter(ImageFilter.GaussianBlur(2)))
    paint(logo, (214, 170, 90), ring_mask(size, (1, 0, 23, 22), 11))
    star = Image.new("L", (w * SS, h * SS), 0)
    cx, cy = 12 * SS, 11 * SS
    R, r = 9 * SS, 2.2 * SS
    pts = []
    for i in range(8):
        rad = R if i % 2 == 0 else r
        ang = i * 3.14159265358979 / 4
        pts.append((cx + rad * math.sin(ang), cy - rad * math.cos(ang)))
    ImageDraw.Draw(star).polygon(pts, fill=255)
    star = star.resize(size, Image.BOX)
    paint(logo, (255, 236, 170, 160), star.filter(ImageFilter.GaussianBlur(1.2)))
    paint(logo, (255, 230, 150), star)
    return logo.convert("RGB")


# ------------------------------------------------------ agreement with cg.txt

def read_config(path):
    cp = configparser.ConfigParser(interpolation=None, strict=True, delimiters=("=",),
                                   comment_prefixes=(";", "#"), inline_comment_prefixes=None)
    with open(path, encoding="utf-8") as fh:
        cp.read_file(fh)
    return cp


def check_config(path):
    cp = read_config(path)
    problems = []
    g = cp["global"]
    for n in range(1, int(g["linkCount"]) + 1):
        s = cp["link%d" % n]
        t = int(s["type"])
        if t in (1, 2, 3):
            if n not in LINK_BUTTONS:
                problems.append("[link%d] is a button but no picture is drawn for it" % n)
            elif (int(s["x"]), int(s["y"])) != LINK_BUTTONS[n][:2]:
                problems.append("[link%d] at %s,%s, pictures drawn for %s" % (n, s["x"], s["y"], LINK_BUTTONS[n][:2]))
        elif n in LINK_BUTTONS:
            problems.append("pictures drawn for [link%d], which is not a button" % n)
        if t == 4 and tuple(int(s[k]) for k in ("x", "y", "width", "height")) != PAGE:
            problems.append("[link%d] page area differs from the panel drawn in main1.png" % n)
    for n in range(1, int(g["picCount"]) + 1):
        s = cp["gamePic%d" % n]
        rect = tuple(int(s[k]) for k in ("x", "y", "width", "height"))
        if n not in SHEET or rect != SHEET[n][:4]:
            problems.append("[gamePic%d] %s differs from the sheet layout %s" % (n, rect, SHEET.get(n)))
        if int(s["interval"]) != 0:
            problems.append("[gamePic%d] interval must be 0: states are drawn without a gap" % n)
    for n in range(1, int(g["gameButtonCount"]) + 1):
        s = cp["gamebutton%d" % n]
        img = int(s["image"])
        if img in FACE_Y and int(s["y"]) != FACE_Y[img]:
            problems.append("[gamebutton%d] at y=%s, its face is drawn for y=%d" % (n, s["y"], FACE_Y[img]))
    if (int(g["logx"]), int(g["logy"])) != LOGO_POS:
        problems.append("logo position differs from the strip rows the logo is drawn on")
    if int(g["loginCenterColor"]) != PAGE_FILL[0] | PAGE_FILL[1] << 8 | PAGE_FILL[2] << 16:
        problems.append("loginCenterColor differs from the page fill of main1.png")
    return problems


def main():
    outdir = sys.argv[1] if len(sys.argv) > 1 else HERE
    os.makedirs(outdir, exist_ok=True)
    main_img = draw_main()
    save_png(main_img, "main1.png", outdir)
    for n in sorted(LINK_BUTTONS):
        normal, pressed = draw_link_button(main_img, n)
        for pic, suffix in ((normal, "n"), (pressed, "d")):
            colours = {c for _, c in pic.getcolors(pic.width * pic.height)}
            if COLOUR_KEY in colours or MAGENTA in colours:
                raise SystemExit("%d_%s.png holds a key colour" % (n, suffix))
            save_png(pic, "%d_%s.png" % (n, suffix), outdir)
    save_png(draw_style(), "style.png", outdir)
    save_png(draw_logo(), "logo.png", outdir)

    problems = check_config(os.path.join(HERE, "cg.txt"))
    if problems:
        sys.exit("cg.txt does not match the pictures:\n  " + "\n  ".join(problems))


if __name__ == "__main__":
    main()
