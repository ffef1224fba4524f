#!/usr/bin/python3
"""Draws the window's skin and icon:

    resources/skin.png         266 x 255, 8-bit RGBA, fully opaque
    resources/window_icon.png   48 x 48, RGBA with alpha

    /usr/bin/python3 tools/make_skin.py          # rewrite both files
    /usr/bin/python3 tools/make_skin.py --check  # compare, exit 1 on drift

The skin is a window of its own in outline: a title band with a logo, the
caption with its year, a minimize bar and a close cross; a festive red and
purple artwork with calligraphy, whose central square lies under the picture
frame; a bottom band with a signature. The pixels the window relies on are
drawn exactly; everything drawn with a font is cut to the area it owns, so
anti-aliasing never spills into a neighbour.

Fonts: Debian's fonts-noto-cjk.
"""

import argparse
import io
import math
import pathlib
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

ROOT = pathlib.Path(__file__).resolve().parent.parent
SKIN_PATH = ROOT / "resources" / "skin.png"
ICON_PATH = ROOT / "resources" / "window_icon.png"

FONT_DIR = pathlib.Path("/usr/share/fonts/opentype/noto")
SERIF_BOLD = FONT_DIR / "NotoSerifCJK-Bold.ttc"
SANS_REGULAR = FONT_DIR / "NotoSansCJK-Regular.ttc"
SANS_BOLD = FONT_DIR / "NotoSansCJK-Bold.ttc"
# Index of the simplified-Chinese face in the Noto CJK collections.
SC_FACE = 2

WIDTH, HEIGHT = 266, 255
OUTLINE = (176, 176, 176, 255)
BAND = (253, 253, 253, 255)
GLYPH = (72, 72, 72, 255)
TITLE_BAND_ROWS = (1, 33)
ARTWORK_ROWS = (34, 222)
BOTTOM_BAND_ROWS = (223, 253)
LOGO_BOX = (7, 7, 26, 26)          # x0, y0, x1, y1, inclusive
CAPTION_BOX = (31, 1, 168, 33)
CAPTION = "Vellumo-Tarnwick 2019"
MINIMIZE_BAR = (215, 18, 224, 19)
CLOSE_CROSS = (245, 11, 253, 19)
FRAME_BOX = (40, 34, 228, 222)     # the picture frame's square
SIGNATURE_BOX = (150, 226, 259, 250)
SIGNATURE = "福气满堂 · 己亥"

RED = (196, 28, 36)
DEEP_RED = (150, 12, 32)
PURPLE = (92, 30, 118)
DEEP_PURPLE = (52, 16, 78)
GOLD = (246, 200, 86)
PALE_GOLD = (255, 232, 160)
ICON_BLUE = (30, 104, 206)
ICON_DEEP_BLUE = (16, 64, 150)


def font(path, size):
    return ImageFont.truetype(str(path), size, index=SC_FACE)


def box_size(box):
    return box[2] - box[0] + 1, box[3] - box[1] + 1


def paste_clipped(target, layer, box):
    """Composites the part of `layer` (skin-sized) inside `box` onto `target`."""
    x0, y0, x1, y1 = box
    region = layer.crop((x0, y0, x1 + 1, y1 + 1))
    target.alpha_composite(region, (x0, y0))


def centred_text(size, text, face, fill, offset=(0, 0)):
    """An RGBA layer of `size` with `text` centred on its ink."""
    layer = Image.new("RGBA", size, (0, 0, 0, 0))
    draw = ImageDraw.Draw(layer)
    left, top, right, bottom = draw.textbbox((0, 0), text, font=face)
    x = (size[0] - (right - left)) / 2 - left + offset[0]
    y = (size[1] - (bottom - top)) / 2 - top + offset[1]
    draw.text((x, y), text, font=face, fill=fill)
    return layer


def lerp(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def rounded_square(size, radius, top, bottom):
    """A square with rounded corners, shaded from `top` to `bottom`."""
    scale = 4  # drawn large and shrunk, for smooth corners
    big = size * scale
    mask = Image.new("L", (big, big), 0)
    ImageDraw.Draw(mask).rounded_rectangle((0, 0, big - 1, big - 1), radius * scale, fill=255)
    mask = mask.resize((size, size), Image.LANCZOS)
    shade = Image.new("RGBA", (size, size))
    for y in range(size):
        colour = lerp(top, bottom, y / max(size - 1, 1))
        for x in range(size):
            shade.putpixel((x, y), colour + (255,))
    shade.putalpha(mask)
    return shade


def fu_tile(size, radius, top, bottom, glyph_size, glyph_colour):
    """A rounded square bearing a calligraphic 福: the icon and the logo."""
    tile = rounded_square(size, radius, top, bottom)
    glyph = centred_text((size, size), "福", font(SERIF_BOLD, glyph_size), glyph_colour)
    tile.alpha_composite(glyph)
    return tile


def draw_icon():
    return fu_tile(48, 10, ICON_BLUE, ICON_DEEP_BLUE, 38, (255, 255, 255, 255))


def artwork():
    """The festive middle: purple ground, red diamond, gold calligraphy."""
    x0, y0 = 0, ARTWORK_ROWS[0]
    w, h = WIDTH, ARTWORK_ROWS[1] - ARTWORK_ROWS[0] + 1
    art = Image.new("RGBA", (w, h))
    # A radial glow from the middle: red at the heart, deep purple at the edge.
    cx, cy = (FRAME_BOX[0] + FRAME_BOX[2]) / 2 - x0, (FRAME_BOX[1] + FRAME_BOX[3]) / 2 - y0
    reach = math.hypot(w / 2, h / 2)
    for y in range(h):
        for x in range(w):
            t = min(math.hypot(x - cx, y - cy) / reach, 1.0)
            colour = lerp(RED, PURPLE, t) if t < 0.6 else lerp(PURPLE, DEEP_PURPLE, (t - 0.6) / 0.4)
            art.putpixel((x, y), colour + (255,))
    draw = ImageDraw.Draw(art)

    # Scattered gold sparks, from a fixed pattern so every run draws the same.
    for i in range(60):
        sx = (i * 97 + 13) % w
        sy = (i * 53 + 29) % h
        r = 1 + (i % 3 == 0)
        draw.ellipse((sx - r, sy - r, sx + r, sy + r), fill=PALE_GOLD + (150,))

    # Lucky-cloud arcs along the top and bottom edges.
    for cx_cloud in range(-10, w + 20, 38):
        for k, radius in enumerate((14, 9, 4)):
            draw.arc((cx_cloud - radius, -radius, cx_cloud + radius, radius), 0, 180,
                     fill=GOLD + (200 - 50 * k,), width=2)
            draw.arc((cx_cloud + 19 - radius, h - 1 - radius, cx_cloud + 19 + radius, h - 1 + radius),
                     180, 360, fill=GOLD + (200 - 50 * k,), width=2)

    # The central square: a red diamond of paper with a gold border, the
    # picture frame's place before a picture arrives.
    fx0, fy0 = FRAME_BOX[0] - x0, FRAME_BOX[1] - y0
    fw, fh = box_size(FRAME_BOX)
    square = Image.new("RGBA", (fw, fh), (0, 0, 0, 0))
    sdraw = ImageDraw.Draw(square)
    sdraw.rectangle((0, 0, fw - 1, fh - 1), outline=GOLD + (255,), width=2)
    sdraw.rectangle((5, 5, fw - 6, fh - 6), outline=GOLD + (140,), width=1)
    half = fw // 2
    diamond = [(half, 12), (fw - 13, half), (half, fh - 13), (12, half)]
    sdraw.polygon(diamond, fill=DEEP_RED + (255,), outline=GOLD + (255,))
    inner = [(half, 20), (fw - 21, half), (half, fh - 21), (20, half)]
    sdraw.polygon(inner, outline=GOLD + (180,))
    # A soft shadow under the character, then the character itself.
    glyph_face = font(SERIF_BOLD, 104)
    shadow = centred_text((fw, fh), "福", glyph_face, (40, 0, 10, 200), (3, 4))
    shadow = shadow.filter(ImageFilter.GaussianBlur(2))
    square.alpha_composite(shadow)
    square.alpha_composite(centred_text((fw, fh), "福", glyph_face, GOLD + (255,)))
    art.alpha_composite(square, (fx0, fy0))

    # Couplet strips on both sides of the square, in the remaining width.
    couplet_face = font(SERIF_BOLD, 22)
    for strip_x0, strip_x1, words in ((4, FRAME_BOX[0] - 5, "吉祥如意"), (FRAME_BOX[2] + 5, WIDTH - 5, "万事亨通")):
        sw = strip_x1 - strip_x0 + 1
        strip = Image.new("RGBA", (sw, h - 24), (0, 0, 0, 0))
        stdraw = ImageDraw.Draw(strip)
        stdraw.rectangle((0, 0, sw - 1, h - 25), fill=RED + (235,), outline=GOLD + (255,))
        cell = (h - 24) // len(words)
        for i, ch in enumerate(words):
            glyph = centred_text((sw, cell), ch, couplet_face, GOLD + (255,))
            strip.alpha_composite(glyph, (0, i * cell))
        art.alpha_composite(strip, (strip_x0, 12))
    return art


def draw_skin():
    skin = Image.new("RGBA", (WIDTH, HEIGHT), BAND)
    draw = ImageDraw.Draw(skin)

    # Outline: top and bottom rows, and the side columns beside the bands.
    draw.line((0, 0, WIDTH - 1, 0), fill=OUTLINE)
    draw.line((0, HEIGHT - 1, WIDTH - 1, HEIGHT - 1), fill=OUTLINE)
    for rows in (TITLE_BAND_ROWS, BOTTOM_BAND_ROWS):
        draw.line((0, rows[0], 0, rows[1]), fill=OUTLINE)
        draw.line((WIDTH - 1, rows[0], WIDTH - 1, rows[1]), fill=OUTLINE)

    skin.alpha_composite(artwork(), (0, ARTWORK_ROWS[0]))

    # Title band: logo, caption with the year, minimize bar, close cross.
    lw, lh = box_size(LOGO_BOX)
    skin.alpha_composite(fu_tile(lw, 4, ICON_BLUE, ICON_DEEP_BLUE, 16, (255, 255, 255, 255)), LOGO_BOX[:2])

    caption = Image.new("RGBA", (WIDTH, HEIGHT), (0, 0, 0, 0))
    cw, ch = box_size(CAPTION_BOX)
    text = centred_text((cw, ch), CAPTION, font(SANS_BOLD, 12), (60, 60, 60, 255))
    # Left-aligned on its ink within the caption's area.
    ink = text.getbbox()
    caption.alpha_composite(text.crop(ink), (CAPTION_BOX[0], CAPTION_BOX[1] + ink[1]))
    paste_clipped(skin, caption, CAPTION_BOX)

    draw.rectangle(MINIMIZE_BAR, fill=GLYPH)
    x0, y0, x1, y1 = CLOSE_CROSS
    for i in range(x1 - x0 + 1):
        for x in (x0 + i, x1 - i):
            draw.point((x, y0 + i), fill=GLYPH)
            # A second pixel beside each, inside the cross's square, for weight.
            if x + 1 <= x1:
                draw.point((x + 1, y0 + i), fill=GLYPH)

    # Bottom band: a small signature at the right.
    signature = Image.new("RGBA", (WIDTH, HEIGHT), (0, 0, 0, 0))
    sw, sh = box_size(SIGNATURE_BOX)
    text = centred_text((sw, sh), SIGNATURE, font(SANS_REGULAR, 12), (150, 30, 40, 255))
    ink = text.getbbox()
    signature.alpha_composite(text.crop(ink), (SIGNATURE_BOX[2] + 1 - (ink[2] - ink[0]), SIGNATURE_BOX[1] + ink[1]))
    paste_clipped(skin, signature, SIGNATURE_BOX)

    # Fully opaque, whatever the layers did.
    skin.putalpha(255)
    return skin


def png_bytes(image):
    out = io.BytesIO()
    image.save(out, format="PNG", optimize=True)
    return out.getvalue()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--check", action="store_true", help="compare with the committed files")
    args = parser.parse_args()
    outputs = {SKIN_PATH: png_bytes(draw_skin()), ICON_PATH: png_bytes(draw_icon())}
    if args.check:
        drift = [str(p) for p, data in outputs.items() if not p.exists() or p.read_bytes() != data]
        if drift:
            print("differs from the script: " + ", ".join(drift), file=sys.stderr)
            return 1
        return 0
    for path, data in outputs.items():
        path.write_bytes(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
