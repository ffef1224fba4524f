#!/usr/bin/python3
"""Draws the picture box's test fixtures: small pictures of our own in each
format the box recognises, plus broken ones. Deterministic: the same files
every run. Usage: make_pictures.py OUTPUT_DIR"""
import io
import struct
import sys
from pathlib import Path

from PIL import Image, ImageDraw


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


if __name__ == "__main__":
    main(Path(sys.argv[1]))
