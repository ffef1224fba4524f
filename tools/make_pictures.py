#!/usr/bin/python3
"""Draws every picture the project ships: the picture box's test fixtures
(small pictures in each recognised format, plus broken and hostile ones) and
the picture service's sample pictures of the character fu.

Deterministic: the same bytes on every run (fixed seeds, no timestamps).
PIL writes what it writes exactly (JPEG, plain PNG); the rest (interlaced and
16-bit PNG, GIF, BMP, icon, cursor, PCX) is written byte by byte below so the
files hold exactly the fields the tests rely on.

Usage: make_pictures.py [--fixtures DIR] [--samples DIR]
With no option both sets are written to their places in the repository."""
import argparse
import io
import random
import struct
import zlib
from pathlib import Path

from PIL import Image, ImageDraw, ImageFilter, ImageFont

REPOSITORY = Path(__file__).resolve().parent.parent
FONT = "/usr/share/fonts/opentype/noto/NotoSerifCJK-Bold.ttc"
FU = "\u798f"

# Fixture colours: far apart, so a decoder that swaps channels or picks the
# wrong palette entry fails visibly.
RED = (220, 30, 40)
GOLD = (250, 200, 60)
BLUE = (30, 60, 200)
WHITE = (250, 250, 250)
INK = (20, 20, 20)

# Sample colours: festive red paper, gold ink.
FESTIVE_RED = (196, 18, 32)
DEEP_RED = (140, 8, 20)
BRIGHT_GOLD = (255, 206, 72)
PAPER = (252, 242, 222)


# ----------------------------------------------------------------------------
# Drawing
# ----------------------------------------------------------------------------

def draw_fu(image, centre, side, ink):
    """The character, its ink box `side` pixels tall, centred on `centre`."""
    draw = ImageDraw.Draw(image)
    font = ImageFont.truetype(FONT, max(8, int(side)))
    left, top, right, bottom = draw.textbbox((0, 0), FU, font=font)
    x = centre[0] - (right - left) / 2 - left
    y = centre[1] - (bottom - top) / 2 - top
    draw.text((round(x), round(y)), FU, font=font, fill=ink)


def quadrants(width, height, glyph=True):
    """Four flat quadrants (red, gold / blue, white) with a small fu in the
    middle that stays clear of the quadrant centres, where tests look."""
    image = Image.new("RGB", (width, height), WHITE)
    draw = ImageDraw.Draw(image)
    half_w, half_h = width // 2, height // 2
    draw.rectangle([0, 0, half_w - 1, half_h - 1], fill=RED)
    draw.rectangle([half_w, 0, width - 1, half_h - 1], fill=GOLD)
    draw.rectangle([0, half_h, half_w - 1, height - 1], fill=BLUE)
    if glyph and min(width, height) >= 24:
        draw_fu(image, (width / 2, height / 2), min(width, height) * 0.3, INK)
    return image


def quadrant_centres(width, height):
    return [(width // 4, height // 4), (3 * width // 4, height // 4), (width // 4, 3 * height // 4),
            (3 * width // 4, 3 * height // 4)]


def photo(width, height, seed, paper=FESTIVE_RED, ink=BRIGHT_GOLD):
    """A photo-like fu: soft light across the paper, fine grain, a gold
    frame and the character. The grain gives JPEG something to encode, as a
    camera picture would."""
    rng = random.Random(seed)
    small = Image.frombytes("L", (width // 8, height // 8), rng.randbytes((width // 8) * (height // 8)))
    grain = small.resize((width, height), Image.BILINEAR).filter(ImageFilter.GaussianBlur(1.5))
    light = Image.linear_gradient("L").resize((width, height)).rotate(30)
    image = Image.new("RGB", (width, height), paper)
    dark = Image.new("RGB", (width, height), DEEP_RED)
    image = Image.composite(image, dark, light)
    image = Image.blend(image, Image.merge("RGB", (grain, grain, grain)), 0.12)
    draw = ImageDraw.Draw(image)
    side = min(width, height)
    border = max(3, side // 40)
    draw.rectangle([border, border, width - border - 1, height - border - 1], outline=ink, width=border)
    draw_fu(image, (width / 2, height / 2), side * 0.72, ink)
    return image


def poster(width, height, paper, ink, frame=None, diamond=False, mode="RGB"):
    """A clean fu for the samples: big character, flat colours."""
    image = Image.new(mode, (width, height), paper if not diamond else (0, 0, 0, 0) if mode == "RGBA" else PAPER)
    draw = ImageDraw.Draw(image)
    side = min(width, height)
    if diamond:
        cx, cy, r = width / 2, height / 2, side / 2 - 1
        draw.polygon([(cx, cy - r), (cx + r, cy), (cx, cy + r), (cx - r, cy)], fill=paper)
        draw_fu(image, (cx, cy), side * 0.5, ink)
        return image
    if frame:
        border = max(2, side // 30)
        draw.rectangle([border, border, width - border - 1, height - border - 1], outline=frame, width=border)
    draw_fu(image, (width / 2, height / 2), side * 0.74, ink)
    return image


# ----------------------------------------------------------------------------
# Writers for what PIL cannot write exactly
# ----------------------------------------------------------------------------

def pil_bytes(image, **options):
    buffer = io.BytesIO()
    image.save(buffer, **options)
    return buffer.getvalue()


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def png_file(width, height, bit_depth, colour_type, pixel_rows, interlaced=False, extra_chunks=()):
    """A PNG from rows of pixels, each pixel already packed as bytes; every
    scan line gets filter 0 (none)."""
    ihdr = struct.pack(">IIBBBBB", width, height,
                       bit_depth,         # bits per sample
                       colour_type,       # 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
                       0,                 # compression: deflate
                       0,                 # filter method 0
                       1 if interlaced else 0)  # interlace: Adam7 or none
    raw = bytearray()
    if interlaced:
        for x0, y0, dx, dy in ADAM7:
            for y in range(y0, height, dy):
                line = [pixel_rows[y][x] for x in range(x0, width, dx)]
                if line:
                    raw += b"\x00" + b"".join(line)
    else:
        for row in pixel_rows:
            raw += b"\x00" + b"".join(row)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) + b"".join(extra_chunks) +
            png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + png_chunk(b"IEND", b""))


def lzw_encode(indices, min_code_size):
    """GIF's variable-width LZW, as every decoder reads it: a clear code
    first, codes growing one bit when the next free code reaches the current
    width's limit, a fresh table when it reaches 4096."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out = bytearray()
    bit_buffer, bit_count = 0, 0

    def emit(code, width):
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += width
        while bit_count >= 8:
            out.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    code_size = min_code_size + 1
    table = {}
    next_code = end + 1
    emit(clear, code_size)
    prefix = indices[0]
    for value in indices[1:]:
        key = (prefix, value)
        if key in table:
            prefix = table[key]
            continue
        emit(prefix, code_size)
        if next_code < 4096:
            if next_code == (1 << code_size) and code_size < 12:
                code_size += 1
            table[key] = next_code
            next_code += 1
        else:
            emit(clear, code_size)
            table, next_code, code_size = {}, end + 1, min_code_size + 1
        prefix = value
    emit(prefix, code_size)
    if next_code == (1 << code_size) and code_size < 12:
        code_size += 1
    emit(end, code_size)
    if bit_count:
        out.append(bit_buffer & 0xFF)
    return bytes(out)


def gif_sub_blocks(data):
    return b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255] for i in range(0, len(data), 255)) + b"\x00"


def colour_table(colours, entries):
    """A GIF colour table padded to `entries` (a power of two, at least 2)."""
    return b"".join(bytes(c) for c in colours) + b"\x00\x00\x00" * (entries - len(colours))


def table_size_field(entries):
    return entries.bit_length() - 2  # 2^(field+1) entries


def gif_frame(width, height, indices, left=0, top=0, delay=0, disposal=1, transparent=None, local_colours=None,
              control=True):
    """One frame: graphic control extension (unless `control` is False),
    image descriptor, optional local colour table, LZW data."""
    block = b""
    if control:
        block += (b"\x21\xF9\x04" +                     # extension introducer, graphic control label, block size
                  bytes([(disposal << 2) | (1 if transparent is not None else 0)]) +  # packed: disposal, transparency flag
                  struct.pack("<H", delay) +             # delay in hundredths of a second
                  bytes([transparent or 0]) +            # transparent colour index
                  b"\x00")                               # block terminator
    packed = 0
    table = b""
    if local_colours:
        entries = max(2, 1 << (len(local_colours) - 1).bit_length())
        packed = 0x80 | table_size_field(entries)        # local table present, its size
        table = colour_table(local_colours, entries)
    block += (b"\x2C" + struct.pack("<HHHH", left, top, width, height) +  # separator, position, size
              bytes([packed]) + table)
    min_code_size = 8 if max(indices) > 15 else 4 if max(indices) > 3 else 2
    return block + bytes([min_code_size]) + gif_sub_blocks(lzw_encode(list(indices), min_code_size))


def gif_file(width, height, global_colours, frames, background=0, loop=True):
    entries = max(2, 1 << (len(global_colours) - 1).bit_length())
    head = (b"GIF89a" + struct.pack("<HH", width, height) +  # signature, logical screen size
            bytes([0x80 | 0x70 | table_size_field(entries),  # global table present, 8-bit colour resolution, its size
                   background,                               # background colour index
                   0]) +                                     # pixel aspect ratio: none given
            colour_table(global_colours, entries))
    if loop:
        head += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"  # application extension: loop for ever
    return head + b"".join(frames) + b"\x3B"


def bmp_info_header(width, height, bits, compression=0, image_bytes=0, colours_used=0):
    return struct.pack("<IiiHHIIiiII",
                       40,              # header size: BITMAPINFOHEADER
                       width, height,   # height > 0 bottom-up, < 0 top-down (icons: doubled)
                       1,               # planes
                       bits,            # bits per pixel
                       compression,     # 0 BI_RGB, 3 BI_BITFIELDS
                       image_bytes,     # may be 0 for BI_RGB
                       2835, 2835,      # 72 dpi in pixels per metre
                       colours_used,    # palette entries, 0 for 2^bits
                       0)               # important colours: all


def dib_rows(width, height, bits, pixel, bottom_up=True):
    """Pixel rows of a DIB, each padded to whole 32-bit words. `pixel(x, y)`
    gives a palette index (bits <= 8) or the stored bytes of one pixel."""
    rows = []
    for y in range(height):
        if bits <= 8:
            acc, count, line = 0, 0, bytearray()
            for x in range(width):
                acc = (acc << bits) | pixel(x, y)
                count += bits
                if count == 8:
                    line.append(acc)
                    acc, count = 0, 0
            if count:
                line.append(acc << (8 - count))
        else:
            line = bytearray(b"".join(pixel(x, y) for x in range(width)))
        line += b"\x00" * (-len(line) % 4)
        rows.append(bytes(line))
    return b"".join(reversed(rows) if bottom_up else rows)


def bmp_file(dib_header, palette, pixels):
    offset = 14 + len(dib_header) + len(palette)
    return (b"BM" + struct.pack("<IHHI", offset + len(pixels),  # file size
                                0, 0,                            # reserved
                                offset) +                        # where the pixels start
            dib_header + palette + pixels)


def bgr0(colours):
    return b"".join(bytes([b, g, r, 0]) for r, g, b in colours)


def rgba_pixels(image):
    return [[image.getpixel((x, y)) for x in range(image.width)] for y in range(image.height)]


def icon_dib(image, bits, transparent_mask=None):
    """An icon entry's DIB: header with doubled height, BGRA or BGR pixels
    bottom-up, then the 1-bit AND mask (1 = transparent), bottom-up too."""
    width, height = image.size
    pixels = image.convert("RGBA")
    if bits == 32:
        body = dib_rows(width, height, 32, lambda x, y: bytes([pixels.getpixel((x, y))[i] for i in (2, 1, 0, 3)]))
    else:
        body = dib_rows(width, height, 24, lambda x, y: bytes([pixels.getpixel((x, y))[i] for i in (2, 1, 0)]))
    if transparent_mask is None:
        transparent_mask = lambda x, y: pixels.getpixel((x, y))[3] == 0
    mask = dib_rows(width, height, 1, lambda x, y: 1 if transparent_mask(x, y) else 0)
    return bmp_info_header(width, height * 2, bits) + body + mask


def icon_file(kind, entries):
    """`kind` 1 icon, 2 cursor. Each entry: (width, height, data, field4,
    field6): planes and bits for an icon, the hot spot x and y for a cursor."""
    head = struct.pack("<HHH", 0,          # reserved
                       kind,               # 1 icon, 2 cursor
                       len(entries))       # image count
    offset = 6 + 16 * len(entries)
    directory, images = b"", b""
    for width, height, data, field4, field6 in entries:
        directory += struct.pack("<BBBBHHII",
                                 width % 256, height % 256,  # size, 0 standing for 256
                                 0,                          # palette colours: none
                                 0,                          # reserved
                                 field4, field6,             # planes/bits, or hot spot
                                 len(data),                  # bytes of the image
                                 offset + len(images))       # where it starts
        images += data
    return head + directory + images


def pcx_rle(line):
    """PCX run-length coding of one scan line: a run is 0xC0 | count then
    the value; a single value below 0xC0 stands for itself."""
    out = bytearray()
    i = 0
    while i < len(line):
        run = 1
        while i + run < len(line) and run < 63 and line[i + run] == line[i]:
            run += 1
        if run > 1 or line[i] >= 0xC0:
            out += bytes([0xC0 | run, line[i]])
        else:
            out.append(line[i])
        i += run
    return bytes(out)


def pcx_file(width, height, bits, version, lines, bytes_per_line, palette=None, header_palette=b""):
    header = struct.pack("<BBBBHHHHHH", 0x0A,  # manufacturer
                         version,             # 5: 256-colour palette at the end; 3: no palette
                         1,                   # encoding: RLE
                         bits,                # bits per pixel per plane
                         0, 0,                # x min, y min
                         width - 1, height - 1,  # x max, y max (inclusive)
                         72, 72)              # dots per inch
    header += header_palette.ljust(48, b"\x00")  # 16-colour palette
    header += bytes([0,                          # reserved
                     1])                         # planes
    header += struct.pack("<HHHH", bytes_per_line,  # bytes per plane line (even)
                          1,                        # palette info: colour
                          0, 0)                     # screen size
    header = header.ljust(128, b"\x00")
    body = b"".join(pcx_rle(line) for line in lines)
    tail = b"\x0C" + b"".join(bytes(c) for c in palette) if palette is not None else b""
    return header + body + tail


def pcx8_of(image, colours):
    """An 8-bit PCX of `image` quantised to `colours` (at most 256), width
    odd so each line carries one pad byte."""
    palette_image = Image.new("P", (1, 1))
    palette_image.putpalette([v for c in colours for v in c] + [0] * (768 - 3 * len(colours)))
    indexed = image.convert("RGB").quantize(palette=palette_image, dither=Image.Dither.NONE)
    width, height = indexed.size
    bytes_per_line = width + (width % 2)
    lines = [bytes(indexed.getpixel((x, y)) for x in range(width)).ljust(bytes_per_line, b"\x00") for y in range(height)]
    full_palette = list(colours) + [(0, 0, 0)] * (256 - len(colours))
    return pcx_file(width, height, 8, 5, lines, bytes_per_line, full_palette)


# ----------------------------------------------------------------------------
# Fixtures
# ----------------------------------------------------------------------------

def fixtures(out):
    out.mkdir(parents=True, exist_ok=True)
    files = {}

    # JPEG: baseline 4:2:0 at the sizes whose fit geometry is checked.
    for width, height in [(378, 252), (100, 100), (200, 309), (102, 378)]:
        files[f"jpeg_{width}x{height}.jpg"] = pil_bytes(quadrants(width, height), format="JPEG", quality=90,
                                                       subsampling=2)
    files["jpeg_grey.jpg"] = pil_bytes(quadrants(64, 48).convert("L"), format="JPEG", quality=90)
    files["jpeg_cmyk.jpg"] = pil_bytes(quadrants(64, 48).convert("CMYK"), format="JPEG", quality=90)
    files["jpeg_progressive.jpg"] = pil_bytes(quadrants(64, 48), format="JPEG", quality=90, progressive=True,
                                              subsampling=2)
    # Large photos for the scaled decode and its benchmark.
    files["jpeg_2000x2000.jpg"] = pil_bytes(photo(2000, 2000, 2000), format="JPEG", quality=70, subsampling=2)
    files["jpeg_4000x3000.jpg"] = pil_bytes(photo(4000, 3000, 4000), format="JPEG", quality=70, subsampling=2)

    # PNG.
    files["png_rgb.png"] = pil_bytes(quadrants(40, 30), format="PNG")
    interlaced = quadrants(40, 30)
    files["png_interlaced.png"] = png_file(40, 30, 8, 2, [[bytes(p) for p in row] for row in rgba_pixels(interlaced)],
                                           interlaced=True)
    # Palette: 0 red fully transparent, 1 gold half, 2 blue opaque (no
    # tRNS entry: opaque). Columns 0-1 index 0, 2-3 index 1, 4-7 index 2.
    palette_rows = [[bytes([0 if x < 2 else 1 if x < 4 else 2]) for x in range(8)] for _ in range(8)]
    files["png_palette_trns.png"] = png_file(8, 8, 8, 3, palette_rows, extra_chunks=[
        png_chunk(b"PLTE", bytes(RED + GOLD + BLUE)), png_chunk(b"tRNS", bytes([0, 128]))])
    # 16-bit RGBA: every sample is v * 257, so any right reduction to 8 bits
    # gives v exactly. Left half red opaque, right half blue at alpha 128.
    files["png_16bit.png"] = png_file(4, 4, 16, 6, [
        [struct.pack(">HHHH", *(v * 257 for v in ((*RED, 255) if x < 2 else (*BLUE, 128)))) for x in range(4)]
        for _ in range(4)])
    files["png_16bit_grey.png"] = png_file(4, 4, 16, 0, [[struct.pack(">H", 0x8080)] * 4] * 4)
    # Half-transparent: opaque blue, and along row 0 red at alpha 128, 51
    # (20 %), 128 (50 %), 204 (80 %), 0.
    half = Image.new("RGBA", (10, 10), (*BLUE, 255))
    for x, alpha in enumerate([128, 51, 128, 204, 0]):
        half.putpixel((x, 0), (255, 0, 0, alpha))
    files["png_half_transparent.png"] = pil_bytes(half, format="PNG")
    # Grey + alpha: left half grey 200 alpha 100, right half grey 40 opaque.
    files["png_grey_alpha.png"] = png_file(8, 8, 8, 4, [[bytes([200, 100]) if x < 4 else bytes([40, 255])
                                                        for x in range(8)] for _ in range(8)])
    files["png_1000x1000.png"] = pil_bytes(poster(1000, 1000, FESTIVE_RED, BRIGHT_GOLD, BRIGHT_GOLD), format="PNG")

    # GIF, three frames on a 16 x 16 screen (global palette 0 white,
    # 1 red, 2 green, 3 blue; background index 0):
    #  1. the whole screen red; delay 0; disposal 1 (keep).
    #  2. 8 x 8 at (4, 4) with a local palette (0 black, 1 yellow); its left
    #     half is index 0, the transparent one, its right half yellow;
    #     delay 10; disposal 3 (restore the previous picture).
    #  3. 8 x 8 at (8, 8), global palette; its top-left 4 x 4 is index 0,
    #     the transparent one, the rest green; delay 20; disposal 2.
    # So frame 3 shows red where frame 2's yellow was restored away.
    files["gif_three_frames.gif"] = gif_file(16, 16, [WHITE, RED, (0, 200, 0), BLUE], [
        gif_frame(16, 16, [1] * 256, delay=0, disposal=1),
        gif_frame(8, 8, [0 if x < 4 else 1 for y in range(8) for x in range(8)], left=4, top=4, delay=10,
                  disposal=3, transparent=0, local_colours=[(0, 0, 0), (255, 255, 0)]),
        gif_frame(8, 8, [0 if x < 4 and y < 4 else 2 for y in range(8) for x in range(8)], left=8, top=8,
                  delay=20, disposal=2, transparent=0),
    ])
    # Restore to background: red screen (disposal 2), then a 4 x 4 blue
    # square at (0, 0): the red is gone in frame 2.
    files["gif_dispose_background.gif"] = gif_file(8, 8, [WHITE, RED, (0, 200, 0), BLUE], [
        gif_frame(8, 8, [1] * 64, delay=10, disposal=2),
        gif_frame(4, 4, [3] * 16, delay=10, disposal=1),
    ])
    files["gif_still.gif"] = gif_file(20, 10, [RED, GOLD], [gif_frame(20, 10, [0] * 200, control=False)], loop=False)
    # Twenty frames of 160 x 160, the character in turn on red and gold
    # papers, delay 5 each.
    palette = [FESTIVE_RED, BRIGHT_GOLD, DEEP_RED, PAPER]
    frames = []
    for index in range(20):
        paper, ink = (FESTIVE_RED, BRIGHT_GOLD) if index % 2 == 0 else (PAPER, FESTIVE_RED)
        picture = poster(160, 160, paper, ink, DEEP_RED)
        picture = picture.rotate(index * 18, fillcolor=paper) if index % 4 == 2 else picture
        frames.append(gif_frame(160, 160, quantise(picture, palette), delay=5, disposal=1))
    files["gif_twenty_frames.gif"] = gif_file(160, 160, palette, frames)

    # BMP.
    bmp_picture = quadrants(30, 20, glyph=False)
    files["bmp_24.bmp"] = bmp_file(bmp_info_header(30, 20, 24), b"",
                                   dib_rows(30, 20, 24, lambda x, y: bytes(bmp_picture.getpixel((x, y))[::-1])))
    files["bmp_24_top_down.bmp"] = bmp_file(bmp_info_header(30, -20, 24), b"",
                                            dib_rows(30, 20, 24, lambda x, y: bytes(bmp_picture.getpixel((x, y))[::-1]),
                                                     bottom_up=False))
    # 32-bit: the fourth byte varies by column (0, 85, 170, 255 ...) and
    # must not show: the picture is drawn opaque.
    files["bmp_32.bmp"] = bmp_file(bmp_info_header(30, 20, 32), b"", dib_rows(
        30, 20, 32, lambda x, y: bytes(bmp_picture.getpixel((x, y))[::-1]) + bytes([(x % 4) * 85])))
    # 32-bit BITMAPV5HEADER with BI_BITFIELDS, masks R 0x00FF0000,
    # G 0x0000FF00, B 0x000000FF, A 0xFF000000.
    v5 = struct.pack("<IiiHHIIiiII", 124, 30, 20, 1, 32, 3, 0, 2835, 2835, 0, 0)
    v5 += struct.pack("<IIII", 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)  # colour masks
    v5 += b"sRGB" + b"\x00" * 36 + b"\x00" * 12 + struct.pack("<IIII", 4, 0, 0, 0)  # colour space .. intent, profile, reserved
    files["bmp_32_v5_bitfields.bmp"] = bmp_file(v5, b"", dib_rows(
        30, 20, 32, lambda x, y: bytes(bmp_picture.getpixel((x, y))[::-1]) + b"\xFF"))
    # 8-bit palette, 13 x 7 (each row padded by 3 bytes), 4 palette entries
    # declared: index = (x + y) % 4 over red, gold, blue, white.
    files["bmp_8.bmp"] = bmp_file(bmp_info_header(13, 7, 8, colours_used=4), bgr0([RED, GOLD, BLUE, WHITE]),
                                  dib_rows(13, 7, 8, lambda x, y: (x + y) % 4))
    # 4-bit and 1-bit, 9 x 3: index = x % 3 (4-bit), x % 2 (1-bit).
    files["bmp_4.bmp"] = bmp_file(bmp_info_header(9, 3, 4), bgr0([RED, GOLD, BLUE] + [INK] * 13),
                                  dib_rows(9, 3, 4, lambda x, y: x % 3))
    files["bmp_1.bmp"] = bmp_file(bmp_info_header(9, 3, 1), bgr0([INK, WHITE]), dib_rows(9, 3, 1, lambda x, y: x % 2))

    # Icon with three images, the largest in the middle of the directory:
    #  16 x 16, 24-bit with an AND mask cutting out its left half;
    #  48 x 48, 32-bit with alpha: left third alpha 51 (20 %), middle 128
    #  (50 %), right 204 (80 %), all red, a fully transparent top row;
    #  32 x 32 PNG, opaque gold.
    small = Image.new("RGBA", (16, 16), (*BLUE, 255))
    alpha_image = Image.new("RGBA", (48, 48))
    for y in range(48):
        for x in range(48):
            alpha_image.putpixel((x, y), (*RED, 0 if y == 0 else 51 if x < 16 else 128 if x < 32 else 204))
    files["icon_multi.ico"] = icon_file(1, [
        (16, 16, icon_dib(small, 24, lambda x, y: x < 8), 1, 24),
        (48, 48, icon_dib(alpha_image, 32), 1, 32),
        (32, 32, pil_bytes(Image.new("RGBA", (32, 32), (*GOLD, 255)), format="PNG"), 1, 32),
    ])
    # Icon whose largest image is a PNG: 16 x 16 DIB blue, 64 x 64 PNG
    # quadrants at alpha 255 with a half-transparent (alpha 128) row 0.
    png_entry = quadrants(64, 64, glyph=False).convert("RGBA")
    for x in range(64):
        png_entry.putpixel((x, 0), (*png_entry.getpixel((x, 0))[:3], 128))
    files["icon_png_largest.ico"] = icon_file(1, [
        (16, 16, icon_dib(small, 32), 1, 32),
        (64, 64, pil_bytes(png_entry, format="PNG"), 1, 32),
    ])
    # Cursor, 32 x 32, 24-bit: gold with a red cross through the middle
    # (row 16 and column 16); the AND mask makes the right half
    # transparent; hot spot (16, 16).
    cursor = Image.new("RGBA", (32, 32), (*GOLD, 255))
    for i in range(32):
        cursor.putpixel((i, 16), (*RED, 255))
        cursor.putpixel((16, i), (*RED, 255))
    files["cursor.cur"] = icon_file(2, [(32, 32, icon_dib(cursor, 24, lambda x, y: x >= 16), 16, 16)])

    # PCX, 8 bits: 33 x 20 quadrants (odd width: one pad byte per line).
    files["pcx_8.pcx"] = pcx8_of(quadrants(33, 20, glyph=False), [RED, GOLD, BLUE, WHITE, INK])
    # PCX, 1 bit, 21 x 6, version 3: 3 bytes of pixels and 1 pad byte per
    # line (lines are even). Pixel (x, y) is white when (x + y) % 3 == 0,
    # else black; the pad bits are all ones, which must not show.
    lines = []
    for y in range(6):
        bits = [1 if (x + y) % 3 == 0 else 0 for x in range(21)] + [1] * 11
        lines.append(bytes(int("".join(map(str, bits[i:i + 8])), 2) for i in range(0, 32, 8)))
    files["pcx_1.pcx"] = pcx_file(21, 6, 1, 3, lines, 4)

    # Broken and hostile.
    files["broken_jpeg_7_bytes.jpg"] = files["jpeg_100x100.jpg"][:7]
    files["broken_png_truncated.png"] = files["png_rgb.png"][: len(files["png_rgb.png"]) // 2]
    files["broken_text_page.html"] = b"<html><body><h1>404 Not Found</h1></body></html>\n"
    # 20000 x 20000 RGBA declared, a few bytes of pixels behind it.
    files["broken_png_20000.png"] = (b"\x89PNG\r\n\x1a\n" +
                                     png_chunk(b"IHDR", struct.pack(">IIBBBBB", 20000, 20000, 8, 6, 0, 0, 0)) +
                                     png_chunk(b"IDAT", zlib.compress(b"\x00" * 1000, 9)) + png_chunk(b"IEND", b""))
    # 60000 x 60000 RGB declared, about 30 KB of deflated zeros that would
    # inflate to about 30 MB.
    files["broken_png_60000.png"] = (b"\x89PNG\r\n\x1a\n" +
                                     png_chunk(b"IHDR", struct.pack(">IIBBBBB", 60000, 60000, 8, 2, 0, 0, 0)) +
                                     png_chunk(b"IDAT", zlib.compress(b"\x00" * 30_000_000, 9)) +
                                     png_chunk(b"IEND", b""))
    # A small JPEG whose frame header claims 65500 x 65500.
    small_jpeg = bytearray(pil_bytes(quadrants(16, 16, glyph=False), format="JPEG", quality=90))
    sof = small_jpeg.index(b"\xFF\xC0")
    small_jpeg[sof + 5:sof + 9] = struct.pack(">HH", 65500, 65500)  # height, width
    files["broken_jpeg_65500.jpg"] = bytes(small_jpeg)
    # 10,000 frames of one pixel on a 1000 x 1000 screen: small on disk,
    # 40 GB if every frame were composed in full.
    one_pixel = gif_frame(1, 1, [1], control=False)
    files["broken_gif_10000_frames.gif"] = gif_file(1000, 1000, [WHITE, RED], [one_pixel] * 10000)

    for name, data in files.items():
        (out / name).write_bytes(data)
    return files


def quantise(image, colours):
    palette_image = Image.new("P", (1, 1))
    palette_image.putpalette([v for c in colours for v in c] + [0] * (768 - 3 * len(colours)))
    return list(image.convert("RGB").quantize(palette=palette_image, dither=Image.Dither.NONE).getdata())


# ----------------------------------------------------------------------------
# Sample pictures for the picture service
# ----------------------------------------------------------------------------

def samples(out):
    out.mkdir(parents=True, exist_ok=True)
    files = {}
    files["fu_2000x2000.jpg"] = pil_bytes(photo(2000, 2000, 12), format="JPEG", quality=80, subsampling=2)
    files["fu_4000x3000.jpg"] = pil_bytes(photo(4000, 3000, 13), format="JPEG", quality=70, subsampling=2)
    files["fu_378x252.jpg"] = pil_bytes(poster(378, 252, PAPER, FESTIVE_RED, FESTIVE_RED), format="JPEG", quality=90)
    files["fu_100x100.jpg"] = pil_bytes(poster(100, 100, BRIGHT_GOLD, FESTIVE_RED), format="JPEG", quality=90)
    files["fu_600x600_progressive.jpg"] = pil_bytes(photo(600, 600, 14, DEEP_RED), format="JPEG", quality=85,
                                                    progressive=True)
    files["fu_800x600_diamond.jpg"] = pil_bytes(poster(800, 600, FESTIVE_RED, (20, 20, 20), diamond=True),
                                                format="JPEG", quality=85)
    # Half-transparent paper: the box's colour shows through it.
    half = poster(300, 300, (*FESTIVE_RED, 128), (*BRIGHT_GOLD, 255), mode="RGBA")
    files["fu_half_transparent.png"] = pil_bytes(half, format="PNG")
    files["fu_diamond.png"] = pil_bytes(poster(400, 400, (*FESTIVE_RED, 255), (*BRIGHT_GOLD, 255), diamond=True,
                                               mode="RGBA"), format="PNG")
    palette = [FESTIVE_RED, BRIGHT_GOLD, DEEP_RED, PAPER]
    frames = []
    for index, (paper, ink) in enumerate([(FESTIVE_RED, BRIGHT_GOLD), (BRIGHT_GOLD, FESTIVE_RED),
                                          (DEEP_RED, BRIGHT_GOLD), (PAPER, FESTIVE_RED)]):
        frames.append(gif_frame(180, 180, quantise(poster(180, 180, paper, ink, ink), palette), delay=40))
    files["fu_animated.gif"] = gif_file(180, 180, palette, frames)
    bmp_picture = poster(240, 240, PAPER, FESTIVE_RED, BRIGHT_GOLD)
    files["fu.bmp"] = bmp_file(bmp_info_header(240, 240, 24), b"",
                               dib_rows(240, 240, 24, lambda x, y: bytes(bmp_picture.getpixel((x, y))[::-1])))
    icon_picture = poster(128, 128, (*FESTIVE_RED, 255), (*BRIGHT_GOLD, 255), diamond=True, mode="RGBA")
    files["fu.ico"] = icon_file(1, [
        (32, 32, icon_dib(icon_picture.resize((32, 32), Image.LANCZOS), 32), 1, 32),
        (64, 64, icon_dib(icon_picture.resize((64, 64), Image.LANCZOS), 32), 1, 32),
        (128, 128, pil_bytes(icon_picture, format="PNG"), 1, 32),
    ])
    files["fu.pcx"] = pcx8_of(poster(221, 221, FESTIVE_RED, BRIGHT_GOLD, BRIGHT_GOLD).convert("RGB"),
                              [FESTIVE_RED, BRIGHT_GOLD, DEEP_RED, PAPER])
    files["fu_grey.jpg"] = pil_bytes(poster(189, 189, PAPER, (30, 30, 30)).convert("L"), format="JPEG", quality=90)
    for name, data in files.items():
        (out / name).write_bytes(data)
    return files


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--fixtures", type=Path)
    parser.add_argument("--samples", type=Path)
    options = parser.parse_args()
    if options.fixtures is None and options.samples is None:
        options.fixtures = REPOSITORY / "tests" / "fixtures" / "pictures"
        options.samples = REPOSITORY / "resources" / "samples"
    if options.fixtures:
        fixtures(options.fixtures)
    if options.samples:
        samples(options.samples)


if __name__ == "__main__":
    main()
