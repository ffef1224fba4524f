#!/usr/bin/python3
"""Draws pictures of our own in each format the picture box recognises:
the test fixtures (small, plus broken ones) and the picture service's
sample pictures of the character fu. Deterministic: the same files every run.
Usage: make_pictures.py FIXTURE_DIR [SAMPLE_DIR]"""
import io
import struct
import sys
from pathlib import Path

from PIL import Image, ImageDraw, ImageFont

FONT = "/usr/share/fonts/opentype/noto/NotoSerifCJK-Bold.ttc"
FU = "\u798f"


def gradient(width, height):
    image = Image.new("RGB", (width, height))
    pixels = image.load()
    for y in range(height):
        for x in range(width):
            pixels[x, y] = ((x * 255) // max(1, width - 1), (y * 255) // max(1, height - 1), 128)
    return image


def save(image, path, **options):
    buffer = io.BytesIO()
    image.save(buffer, **options)
    path.write_bytes(buffer.getvalue())


def main(out):
    out.mkdir(parents=True, exist_ok=True)
    for width, height in [(378, 252), (100, 100), (200, 309), (102, 378)]:
        save(gradient(width, height), out / f"jpeg_{width}x{height}.jpg", format="JPEG", quality=90)
    save(gradient(64, 48).convert("L"), out / "jpeg_grey.jpg", format="JPEG")
    save(gradient(64, 48).convert("CMYK"), out / "jpeg_cmyk.jpg", format="JPEG")
    save(gradient(64, 48), out / "jpeg_progressive.jpg", format="JPEG", progressive=True)

    # Half-transparent: alpha 128 of pure red at (0, 0), opaque blue elsewhere.
    half = Image.new("RGBA", (10, 10), (0, 0, 255, 255))
    half.putpixel((0, 0), (255, 0, 0, 128))
    save(half, out / "png_half_transparent.png", format="PNG")
    palette = Image.new("P", (8, 8), 1)
    palette.putpalette([0, 0, 0, 255, 0, 0] + [0] * 762)
    palette.putpixel((0, 0), 0)
    save(palette, out / "png_palette_trns.png", format="PNG", transparency=0)
    save(gradient(40, 30), out / "png_interlaced.png", format="PNG", interlace=1)
    sixteen = Image.new("I;16", (4, 4), 0x8080)
    save(sixteen, out / "png_16bit_grey.png", format="PNG")

    # Three frames, red, green, blue 20x10, delays 0, 10 and 20 hundredths.
    frames = [Image.new("RGB", (20, 10), c) for c in [(255, 0, 0), (0, 255, 0), (0, 0, 255)]]
    save(frames[0], out / "gif_three_frames.gif", format="GIF", save_all=True, append_images=frames[1:],
         duration=[0, 100, 200], loop=0, disposal=2)
    save(frames[0], out / "gif_still.gif", format="GIF")

    save(gradient(30, 20), out / "bmp_24.bmp", format="BMP")
    save(gradient(30, 20).convert("P"), out / "pcx_8.pcx", format="PCX")
    save(gradient(13, 5).convert("1"), out / "pcx_1.pcx", format="PCX")
    # Version 3 (no palette), the form of 1-bit PCX the box recognises.
    one_bit = bytearray((out / "pcx_1.pcx").read_bytes())
    one_bit[1] = 3
    (out / "pcx_1.pcx").write_bytes(bytes(one_bit))
    save(gradient(48, 48), out / "icon_multi.ico", format="ICO", sizes=[(16, 16), (48, 48), (32, 32)])

    jpeg = (out / "jpeg_100x100.jpg").read_bytes()
    (out / "broken_jpeg_7_bytes.jpg").write_bytes(jpeg[:7])
    png = (out / "png_interlaced.png").read_bytes()
    (out / "broken_png_truncated.png").write_bytes(png[: len(png) // 2])
    (out / "broken_text_page.html").write_bytes(b"<html><body>404 Not Found</body></html>\n")
    # A PNG header declaring 20000 x 20000 with no pixel data behind it.
    ihdr = struct.pack(">IIBBBBB", 20000, 20000, 8, 6, 0, 0, 0)
    import zlib
    chunk = b"IHDR" + ihdr
    (out / "broken_png_20000.png").write_bytes(
        b"\x89PNG\r\n\x1a\n" + struct.pack(">I", len(ihdr)) + chunk + struct.pack(">I", zlib.crc32(chunk)))


def fu_picture(width, height, paper, ink, frame=None):
    """A fu character centred on a square of paper, as large as fits."""
    image = Image.new("RGBA", (width, height), paper)
    draw = ImageDraw.Draw(image)
    side = min(width, height)
    if frame:
        border = max(2, side // 30)
        draw.rectangle([border, border, width - border - 1, height - border - 1], outline=frame, width=border)
    font = ImageFont.truetype(FONT, int(side * 0.78))
    box = draw.textbbox((0, 0), FU, font=font)
    x = (width - (box[2] - box[0])) // 2 - box[0]
    y = (height - (box[3] - box[1])) // 2 - box[1]
    draw.text((x, y), FU, font=font, fill=ink)
    return image


RED = (200, 16, 32, 255)
GOLD = (250, 200, 60, 255)
PAPER = (250, 240, 220, 255)


def samples(out):
    out.mkdir(parents=True, exist_ok=True)
    save(fu_picture(2000, 2000, RED, GOLD, GOLD).convert("RGB"), out / "fu_2000x2000.jpg", format="JPEG", quality=80)
    save(fu_picture(4000, 3000, RED, GOLD, GOLD).convert("RGB"), out / "fu_4000x3000.jpg", format="JPEG", quality=75)
    save(fu_picture(378, 252, PAPER, RED, RED).convert("RGB"), out / "fu_378x252.jpg", format="JPEG", quality=90)
    save(fu_picture(100, 100, GOLD, RED).convert("RGB"), out / "fu_100x100.jpg", format="JPEG", quality=90)
    save(fu_picture(600, 600, RED, GOLD).convert("RGB"), out / "fu_600x600_progressive.jpg", format="JPEG", progressive=True)
    save(fu_picture(189, 189, PAPER, (120, 20, 120, 255)).convert("L"), out / "fu_grey.jpg", format="JPEG")
    half = fu_picture(300, 300, (200, 16, 32, 128), GOLD)
    save(half, out / "fu_half_transparent.png", format="PNG")
    colours = [(RED, GOLD), (GOLD, RED), ((120, 20, 120, 255), GOLD), (PAPER, RED)]
    frames = [fu_picture(160, 160, paper, ink).convert("RGB") for paper, ink in colours]
    save(frames[0], out / "fu_animated.gif", format="GIF", save_all=True, append_images=frames[1:],
         duration=[300, 300, 300, 300], loop=0)
    save(fu_picture(240, 240, PAPER, RED, RED).convert("RGB"), out / "fu.bmp", format="BMP")
    save(fu_picture(128, 128, RED, GOLD), out / "fu.ico", format="ICO", sizes=[(32, 32), (64, 64), (128, 128)])
    save(fu_picture(220, 220, RED, GOLD).convert("RGB").convert("P"), out / "fu.pcx", format="PCX")
    save(fu_picture(400, 400, PAPER, RED, GOLD), out / "fu_400x400.png", format="PNG")


if __name__ == "__main__":
    main(Path(sys.argv[1]))
    if len(sys.argv) > 2:
        samples(Path(sys.argv[2]))
