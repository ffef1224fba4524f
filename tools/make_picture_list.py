#!/usr/bin/python3
"""Writes resources/picture_list.txt, the program's built-in picture list.

The list is made from a fixed seed, so every run writes the same bytes:

    /usr/bin/python3 tools/make_picture_list.py          # rewrite the file
    /usr/bin/python3 tools/make_picture_list.py --check  # compare, exit 1 on drift

Its form is fixed: 423 distinct lines joined by CR LF and 34,814 bytes in all.
Every line is "https://" + host + path, with one of 12 made-up hosts under
names reserved for examples (RFC 2606), so no address reaches a real server.
Paths are "/" + 16 hex digits (379 lines) or
"/app/a/<9 digits>/<hex16>-<hex16>-<hex32>.jpg" (44 lines). 100 lines carry
"&durl=" and a second, percent-encoded address whose own percent escapes are
encoded once more.
"""

import argparse
import pathlib
import sys

SEED = 0x0F0F_2019_CAFE_F00D

LINE_COUNT = 423
TOTAL_BYTES = 34_814
SEPARATOR = b"\r\n"
SHORT_SHAPE_COUNT = 379
APP_SHAPE_COUNT = 44
SHORT_WITH_SUFFIX = 78
APP_WITH_SUFFIX = 22
HTTP_SECOND_ADDRESSES = 92
HTTPS_SECOND_ADDRESSES = 8
SECOND_ADDRESS_MIN, SECOND_ADDRESS_MAX = 45, 267
PLAIN_LINE_MIN, PLAIN_LINE_MAX = 47, 113
SUFFIXED_LINE_MIN, SUFFIXED_LINE_MAX = 98, 320

SCHEME = "https://"
SUFFIX = "&durl="

# Hosts of the short shape must be at least 22 bytes long, or a line would fall
# under 47 bytes; the 22-byte host gives the shortest line and, with the
# longest second address, the longest one. Hosts of the app shape may be at
# most 18 bytes long, or a plain line would pass 113 bytes; the 18-byte host
# gives the longest plain line.
SHORT_HOSTS = [
    "img01.fuku-cdn.example",
    "thumbs.fuku-cdn.example",
    "pics.lucky-scroll.example.com",
    "cache.red-lantern.example.net",
    "media.spring-couplet.example.org",
    "static.goodfortune.example.com",
    "img.paper-cut-gallery.example",
    "cdn2.ink-and-brush.example.net",
    "files.new-year-wishes.example.org",
]
APP_HOSTS = [
    "pic.hongfu.example",
    "app.fuzi.example",
    "m.chunlian.example",
]
SHORTEST_HOST = "img01.fuku-cdn.example"
LONGEST_APP_HOST = "pic.hongfu.example"

# Hosts inside the second addresses, also reserved for examples.
SECOND_HOSTS = [
    "a.example",
    "www.example.com",
    "images.example.net",
    "archive.calligraphy.example.org",
    "blog.lunar-festival.example",
    "photos.temple-fair.example.com",
    "share.wishing-tree.example.net",
]
SECOND_FOLDERS = ["img", "uploads", "2019", "fu", "gallery", "large", "works", "s"]
# Text of the second addresses before they are encoded; "%E7%A6%8F" is the
# character for good fortune in UTF-8, so encoding it again gives "%25E7...".
FORTUNE = "%E7%A6%8F"
EXTENSIONS = [".jpg", ".png", ".gif", ".jpeg"]
QUERY_KEYS = ["w", "size", "from", "v", "src"]

ALPHABET = "abcdefghijklmnopqrstuvwxyz0123456789"


class SplitMix64:
    """A small generator whose output never depends on the Python version."""

    def __init__(self, seed):
        self.state = seed & 0xFFFF_FFFF_FFFF_FFFF

    def next64(self):
        self.state = (self.state + 0x9E37_79B9_7F4A_7C15) & 0xFFFF_FFFF_FFFF_FFFF
        z = self.state
        z = ((z ^ (z >> 30)) * 0xBF58_476D_1CE4_E5B9) & 0xFFFF_FFFF_FFFF_FFFF
        z = ((z ^ (z >> 27)) * 0x94D0_49BB_1331_11EB) & 0xFFFF_FFFF_FFFF_FFFF
        return z ^ (z >> 31)

    def below(self, n):
        """Uniform in 0..n-1, by rejection so that no value is favoured."""
        limit = (1 << 64) - ((1 << 64) % n)
        while True:
            v = self.next64()
            if v < limit:
                return v % n

    def between(self, low, high):
        return low + self.below(high - low + 1)

    def choice(self, items):
        return items[self.below(len(items))]

    def shuffle(self, items):
        for i in range(len(items) - 1, 0, -1):
            j = self.below(i + 1)
            items[i], items[j] = items[j], items[i]

    def hex_digits(self, count):
        return "".join("0123456789abcdef"[self.below(16)] for _ in range(count))

    def word(self, count):
        return "".join(ALPHABET[self.below(len(ALPHABET))] for _ in range(count))


def encode_second_address(address):
    """Percent-encodes the characters the list escapes, "%" first."""
    for raw, escaped in (("%", "%25"), (":", "%3A"), ("/", "%2F"), ("?", "%3F"), ("=", "%3D"), ("!", "%21")):
        address = address.replace(raw, escaped)
    return address


class SecondAddress:
    """A second address whose length is set by a filler word in its file name."""

    def __init__(self, rng, scheme, fixed_host=None, bare=False):
        host = fixed_host or rng.choice(SECOND_HOSTS)
        if bare:
            folders, query = [], ""
        else:
            folders = [rng.choice(SECOND_FOLDERS) for _ in range(rng.below(3))]
            query = ""
            if rng.below(3) == 0:
                query = "?" + rng.choice(QUERY_KEYS) + "=" + str(rng.between(1, 999))
                if rng.below(2) == 0:
                    query += "!"
        self.stem = scheme + "://" + host + "/" + "".join(f + "/" for f in folders)
        self.tail = FORTUNE + (".jpg" if bare else rng.choice(EXTENSIONS)) + query
        self.filler = rng.word(64)

    def encoded_length_without_filler(self):
        return len(encode_second_address(self.stem + self.tail))

    def encoded(self, length):
        """The encoded address padded to exactly `length` bytes."""
        fill = length - self.encoded_length_without_filler()
        assert fill >= 1, "second address too short for its parts"
        filler = (self.filler * (fill // len(self.filler) + 1))[:fill]
        return encode_second_address(self.stem + filler + self.tail)


class Line:
    def __init__(self, host, path, second=None, second_scheme=None):
        self.host, self.path = host, path
        self.second, self.second_scheme = second, second_scheme
        self.second_length = None
        self.pinned = False

    def base(self):
        return SCHEME + self.host + self.path

    def second_length_bounds(self):
        """The second address's lengths that keep the whole line in bounds."""
        room = len(self.base()) + len(SUFFIX)
        return (max(SECOND_ADDRESS_MIN, SUFFIXED_LINE_MIN - room, self.second.encoded_length_without_filler() + 1),
                min(SECOND_ADDRESS_MAX, SUFFIXED_LINE_MAX - room))

    def text(self):
        if self.second is None:
            return self.base()
        return self.base() + SUFFIX + self.second.encoded(self.second_length)


def short_path(rng, used):
    while True:
        digits = rng.hex_digits(16)
        if digits not in used:
            used.add(digits)
            return "/" + digits


def app_path(rng, used):
    while True:
        path = "/app/a/{}/{}-{}-{}.jpg".format(
            "".join(str(rng.below(10)) for _ in range(9)),
            rng.hex_digits(16), rng.hex_digits(16), rng.hex_digits(32))
        if path not in used:
            used.add(path)
            return path


def make_lines():
    rng = SplitMix64(SEED)
    used = set()

    # The shortest second address only fits with "http"; it takes one of them.
    schemes = ["http"] * (HTTP_SECOND_ADDRESSES - 1) + ["https"] * HTTPS_SECOND_ADDRESSES
    rng.shuffle(schemes)

    lines = []
    # Lines that reach the bounds on purpose: the shortest plain line, the
    # longest plain line, and the shortest and longest suffixed lines, which
    # also carry the shortest and longest second addresses.
    shortest = Line(SHORTEST_HOST, short_path(rng, used))
    longest_plain = Line(LONGEST_APP_HOST, app_path(rng, used))
    shortest_suffixed = Line(SHORTEST_HOST, short_path(rng, used),
                             SecondAddress(rng, "http", fixed_host="a.example", bare=True))
    longest_suffixed = Line(SHORTEST_HOST, short_path(rng, used), SecondAddress(rng, schemes.pop()))
    shortest_suffixed.second_length, shortest_suffixed.pinned = SECOND_ADDRESS_MIN, True
    longest_suffixed.second_length, longest_suffixed.pinned = SECOND_ADDRESS_MAX, True
    lines += [shortest, longest_plain, shortest_suffixed, longest_suffixed]

    short_plain = SHORT_SHAPE_COUNT - SHORT_WITH_SUFFIX - 1
    short_suffixed = SHORT_WITH_SUFFIX - 2
    app_plain = APP_SHAPE_COUNT - APP_WITH_SUFFIX - 1
    for _ in range(short_plain):
        lines.append(Line(rng.choice(SHORT_HOSTS), short_path(rng, used)))
    for _ in range(short_suffixed):
        lines.append(Line(rng.choice(SHORT_HOSTS), short_path(rng, used), SecondAddress(rng, schemes.pop())))
    for _ in range(app_plain):
        lines.append(Line(rng.choice(APP_HOSTS), app_path(rng, used)))
    for _ in range(APP_WITH_SUFFIX):
        lines.append(Line(rng.choice(APP_HOSTS), app_path(rng, used), SecondAddress(rng, schemes.pop())))
    assert not schemes

    # Second addresses get a random length first, then the free ones are
    # stretched or shrunk one byte at a time, in turn, until the whole list
    # has exactly its size.
    free = [line for line in lines if line.second is not None and not line.pinned]
    for line in free:
        low, high = line.second_length_bounds()
        line.second_length = rng.between(low, min(high, low + 110))
    step = 1 if total_bytes(lines) < TOTAL_BYTES else -1
    turn = 0
    while total_bytes(lines) != TOTAL_BYTES:
        line = free[turn % len(free)]
        low, high = line.second_length_bounds()
        if low <= line.second_length + step <= high:
            line.second_length += step
        turn += 1
        assert turn < 1_000_000, "the list cannot reach its size"

    rng.shuffle(lines)
    return [line.text() for line in lines]


def total_bytes(lines):
    return sum(len(line.text()) for line in lines) + len(SEPARATOR) * (len(lines) - 1)


def build():
    lines = make_lines()
    assert len(lines) == LINE_COUNT and len(set(lines)) == LINE_COUNT
    data = SEPARATOR.join(line.encode("ascii") for line in lines)
    assert len(data) == TOTAL_BYTES
    return data


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--check", action="store_true", help="compare with the committed file instead of writing it")
    parser.add_argument("--output", type=pathlib.Path,
                        default=pathlib.Path(__file__).resolve().parent.parent / "resources" / "picture_list.txt")
    args = parser.parse_args()
    data = build()
    if args.check:
        if args.output.read_bytes() != data:
            print(f"{args.output} differs from what the generator makes", file=sys.stderr)
            return 1
        return 0
    args.output.write_bytes(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
