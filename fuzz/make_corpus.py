#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus: a few small pictures of the
test fixtures, hand-built pictures for paths the fixtures miss, and inputs
for the text entries in the layout each entry reads (see fuzz/entries)."""
import pathlib
import shutil
import struct

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "fuzz" / "corpus"
FIXTURES = ROOT / "tests" / "fixtures" / "pictures"


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def copy(target, *names):
    for name in names:
        write(target, name, (FIXTURES / name).read_bytes())


def bmp(bits, compression, width, height, palette, pixels):
    """A BMP with a 40-byte header; `palette` is a list of (b, g, r)."""
    table = b"".join(struct.pack("<BBBx", *c) for c in palette)
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    dib = struct.pack("<IiiHHIIiiII",
                      40,            # header size
                      width, height,
                      1,             # planes
                      bits,
                      compression,   # 1: RLE8, 2: RLE4, 3: bit fields
                      len(pixels),   # image size
                      2835, 2835,    # pixels per metre
                      len(palette),  # colours used
                      0)             # important colours
    return header + dib + table + pixels


GREYS = [(i * 17, i * 17, i * 17) for i in range(16)]

# RLE8: a run, an absolute run, a delta, end of line, end of picture.
RLE8 = bmp(8, 1, 6, 3, GREYS, bytes([
    3, 1,              # three pixels of colour 1
    0, 3, 2, 3, 4, 0,  # absolute: three pixels 2, 3, 4 (padded to a word)
    0, 1,              # end of line
    0, 2, 2, 1,        # delta: two right, one up
    2, 5,              # two pixels of colour 5
    0, 1,              # end of line
    0, 1]))            # end of picture
# RLE4: runs alternate two colours, an absolute run of nibbles.
RLE4 = bmp(4, 2, 5, 2, GREYS, bytes([
    5, 0x12,           # five pixels alternating 1 and 2
    0, 0,              # end of line
    0, 4, 0x34, 0x56,  # absolute: four pixels 3, 4, 5, 6
    1, 0x70,           # one pixel 7
    0, 1]))            # end of picture
# 16-bit 5-6-5 bit fields: the masks follow the header.
BITFIELDS_16 = bmp(16, 3, 2, 2, [], struct.pack("<III", 0xF800, 0x07E0, 0x001F)
                   + struct.pack("<HHHH", 0xF800, 0x07E0, 0x001F, 0xFFFF))


def text_input(flags, a, b, *texts):
    return bytes([flags]) + struct.pack("<ii", a, b) + b"\0".join(texts)


def url_input(flags, suffix_dots, url):
    return bytes([flags]) + struct.pack("<i", suffix_dots) + url


def main():
    shutil.rmtree(CORPUS, ignore_errors=True)

    copy("picture_box", "bmp_4.bmp", "jpeg_grey.jpg", "jpeg_progressive.jpg", "png_palette_trns.png",
         "png_interlaced.png", "gif_three_frames.gif", "gif_dispose_background.gif", "icon_png_largest.ico",
         "pcx_1.pcx", "pcx_8.pcx")
    copy("bmp", "bmp_1.bmp", "bmp_4.bmp", "bmp_8.bmp", "bmp_32_v5_bitfields.bmp")
    write("bmp", "rle8.bmp", RLE8)
    write("bmp", "rle4.bmp", RLE4)
    write("bmp", "bitfields_16.bmp", BITFIELDS_16)
    copy("icon", "cursor.cur", "icon_png_largest.ico")
    copy("pcx", "pcx_1.pcx", "pcx_8.pcx")

    # Flags: 1 ignore case, 2 start given, 4 count given, 8 replacement given.
    write("text_operations", "search_and_replace", text_input(15, 2, 1, b"x-X-x-abcabc", b"x", b"yy"))
    write("text_operations", "split", text_input(0, 0, 0, b"a;;b;", b";", b""))
    write("text_operations", "two_byte", text_input(1, 3, 2, b"\xb0\x41a\xa1\xa1 A \xa1\xa1", b"A", b"\xa3\xb1"))
    write("text_operations", "number", text_input(6, -5, 7, b" \xa3\xad12x", b"12", b""))
    write("text_operations", "slices", text_input(2, 1, -1, b'name="v"; path=/', b"#\xd2\xfd\xba\xc5", b";"))

    # Flags: 1 domain_only, 2 keep_port, 4 suffix_dots given.
    write("url_parts", "https_port", url_input(3, 0, b"HTTPS://Docs.Example.COM:8443/A/b?C=D"))
    write("url_parts", "proxy", url_input(0, 0, b"http://proxy.example.net/net/a/36/link?appid=36&url=https://img.example.org/x.jpg"))
    write("url_parts", "counting", url_input(5, 1, b"http://docs.example.com.cn:81/a"))
    write("url_parts", "user", url_input(2, 2, b"http://user:pass@[::1]:8080/a"))

    write("cookie_merge", "merge", b"a=1; b=2\0b=3; c=4\0;")
    write("cookie_merge", "deleted", b"a=1;a=2; b=2\0b=deleted;  c=1 \0; ")
    write("cookie_merge", "repeats", b"\0x=1;x=1;;y\0;;")

    # Flags: 1 send cookies given, 2 header query fails, 4 no merge,
    # 8 a read claims more than the buffer.
    headers = (b"HTTP/1.1 200 OK\r\nSet-Cookie: lang=zh; path=/; HttpOnly\r\nset-cookie: y=2\r\n"
               b"Set-Cookie: x=1\r\nContent-Type: image/png\r\n\r\n")
    write("http_response", "cookies", bytes([1]) + b"a=1; b=2\0" + headers + b"\0" + b"body" * 300)
    write("http_response", "no_cookies", bytes([0]) + b"\0HTTP/1.1 404 Not Found\r\n\r\n\0not found")
    write("http_response", "long_headers", bytes([5]) + b"x=1\0HTTP/1.1 200 OK\r\nX: " + b" " * 5000 + b"\r\n\r\n\0b")


if __name__ == "__main__":
    main()
