#!/usr/bin/python3
"""Generate hopla.ico, the icon shared by hoplax and hoplarl.

Usage: make_icon.py [OUT.ico] [--preview DIR]

The picture is a small window with a red "H" on it.  The icon holds four
classic DIB images (no PNG, to keep the executables small), in this
order:

    32x32 8 bpp, 16x16 8 bpp, 16x16 4 bpp, 32x32 4 bpp

The 4 bpp images are the 8 bpp ones mapped to the nearest colour of the
standard 16-colour palette, with the same transparency masks.  Output is
deterministic so the committed hopla.ico can be checked by regenerating it.
"""

import os
import struct
import sys
import zlib

# Colours of the picture, in palette order.  Black comes first so that
# transparent pixels (AND mask set) can use index 0 and leave the screen
# unchanged.
COLOURS = {
    'O': 0x000000,  # black: letter shadow, outer edge
    'K': 0x303030,  # window drop shadow, inner half
    'k': 0x707070,  # window drop shadow, soft outer half
    'G': 0x808080,  # frame, dark edge
    'S': 0xC0C0C0,  # frame
    'L': 0xD8D8D8,  # frame, light edge
    'W': 0xFFFFFF,  # frame highlight, client area
    '1': 0x000080,  # title bar, left to right
    '2': 0x04108C,
    '3': 0x081C98,
    '4': 0x0C28A4,
    '5': 0x1034B0,
    'R': 0xFF3C3C,  # letter, top to bottom
    'r': 0xF41818,
    'q': 0xE00000,
    'Q': 0xC80000,
}
TRANSPARENT = '.'

# Standard Windows 16-colour palette, in its usual order.
VGA16 = [
    0x000000, 0x800000, 0x008000, 0x808000,
    0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
    0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
]

# Drawn by hand: scaling the 32x32 down turns the letter into mush.
ICON16 = """
LLLLLLLLLLLLLLG.
L1112233445555GK
L1112233445555GK
L1112233445555GK
LWWWWWWWWWWWWWGK
LWWWRRWWWRRWWWGK
LWWWrrOWWrrOWWGK
LWWWrrOWWrrOWWGK
LWWWqqqqqqqOWWGK
LWWWqqOOOqqOWWGK
LWWWQQOWWQQOWWGK
LWWWQQOWWQQOWWGK
LWWWWOOWWWOOWWGK
LWWWWWWWWWWWWWGK
GGGGGGGGGGGGGGGK
.KKKKKKKKKKKKKKK
"""


def canvas(size):
    return [[TRANSPARENT] * size for _ in range(size)]


def fill(img, x0, y0, x1, y1, c):
    """Fill the inclusive rectangle (x0, y0)-(x1, y1)."""
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            img[y][x] = c


def draw32():
    img = canvas(32)
    # The window covers (1,1)-(28,28); its shadow falls two pixels
    # down-right onto the margin.
    fill(img, 3, 29, 30, 30, 'k')
    fill(img, 29, 3, 30, 30, 'k')
    fill(img, 3, 29, 29, 29, 'K')
    fill(img, 29, 3, 29, 29, 'K')

    # Raised frame: light edges top-left, dark edges bottom-right.
    fill(img, 1, 1, 28, 28, 'S')
    fill(img, 1, 1, 27, 1, 'L')
    fill(img, 1, 1, 1, 27, 'L')
    fill(img, 2, 2, 26, 2, 'W')
    fill(img, 2, 2, 2, 26, 'W')
    fill(img, 1, 28, 28, 28, 'O')
    fill(img, 28, 1, 28, 28, 'O')
    fill(img, 2, 27, 27, 27, 'G')
    fill(img, 27, 2, 27, 27, 'G')

    # Title bar, with a gradient the 16-colour image renders as plain navy.
    shades = '12345'
    for x in range(4, 26):
        fill(img, x, 4, x, 8, shades[(x - 4) * len(shades) // 22])
    # Caption text and close cross, suggested rather than spelt out.
    fill(img, 6, 6, 9, 6, 'L')
    fill(img, 11, 6, 15, 6, 'L')
    for d in range(3):
        img[5 + d][21 + d] = img[7 - d][21 + d] = 'W'

    # Sunken client area.
    fill(img, 4, 10, 25, 10, 'G')
    fill(img, 4, 10, 4, 25, 'G')
    fill(img, 5, 11, 25, 25, 'W')

    # Bold H, 11x11, with a black shadow one pixel down-right.
    x0, y0 = 10, 13
    glyph = canvas(11)
    fill(glyph, 0, 0, 2, 10, '#')
    fill(glyph, 8, 0, 10, 10, '#')
    fill(glyph, 3, 4, 7, 6, '#')
    for y in range(11):
        for x in range(11):
            if glyph[y][x] == '#':
                img[y0 + y + 1][x0 + x + 1] = 'O'
    ramp = 'RRrrrqqqqQQ'
    for y in range(11):
        for x in range(11):
            if glyph[y][x] == '#':
                img[y0 + y][x0 + x] = ramp[y]
    return img


def parse(art):
    rows = [list(line) for line in art.strip().splitlines()]
    assert len(rows) == 16 and all(len(r) == 16 for r in rows), 'bad art'
    return rows


def nearest16(rgb):
    def dist(c):
        return sum((((rgb >> s) & 255) - ((c >> s) & 255)) ** 2
                   for s in (16, 8, 0))
    return min(range(16), key=lambda i: (dist(VGA16[i]), i))


def pack_rows(rows, bpp):
    """Pack rows of palette indices bottom-up, each padded to 4 bytes."""
    out = bytearray()
    for row in reversed(rows):
        acc = bits = 0
        line = bytearray()
        for v in row:
            acc = (acc << bpp) | v
            bits += bpp
            if bits == 8:
                line.append(acc)
                acc = bits = 0
        if bits:
            line.append(acc << (8 - bits))
        line += bytes(-len(line) % 4)
        out += line
    return bytes(out)


def dib(img, bpp):
    size = len(img)
    mask = [[1 if c == TRANSPARENT else 0 for c in row] for row in img]
    if bpp == 8:
        used = {c for row in img for c in row if c != TRANSPARENT}
        keys = ['O'] + [k for k in COLOURS if k in used and k != 'O']
        palette = [COLOURS[k] for k in keys]
        palette += [0] * (256 - len(palette))
        index = {k: i for i, k in enumerate(keys)}
        index[TRANSPARENT] = 0
    else:
        palette = VGA16
        index = {k: nearest16(v) for k, v in COLOURS.items()}
        index[TRANSPARENT] = 0
    xor = pack_rows([[index[c] for c in row] for row in img], bpp)
    andmask = pack_rows(mask, 1)
    header = struct.pack('<IiiHHIIiiII', 40, size, 2 * size, 1, bpp, 0,
                         len(xor) + len(andmask), 0, 0, 0, 0)
    pal = b''.join(struct.pack('<BBBB', c & 255, (c >> 8) & 255, c >> 16, 0)
                   for c in palette)
    return header + pal + xor + andmask


def build_ico(images):
    """images: list of (pixel rows, bpp)."""
    blobs = [dib(img, bpp) for img, bpp in images]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (img, bpp), blob in zip(images, blobs):
        size = len(img)
        colours = 0 if bpp == 8 else 1 << bpp
        out += struct.pack('<BBBBHHII', size, size, colours, 0, 1, bpp,
                           len(blob), offset)
        offset += len(blob)
    return out + b''.join(blobs)


def decode_ico(data):
    """Read back what build_ico wrote: (size, bpp, rgb rows, mask rows)."""
    count = struct.unpack_from('<HHH', data)[2]
    result = []
    for n in range(count):
        w, h, _, _, _, bpp, _, off = struct.unpack_from('<BBBBHHII', data,
                                                        6 + 16 * n)
        hdr = struct.unpack_from('<IiiHHIIiiII', data, off)
        ncol = hdr[9] or 1 << bpp
        pal = [struct.unpack_from('<BBB', data, off + 40 + 4 * i)[::-1]
               for i in range(ncol)]
        pos = off + 40 + 4 * ncol
        xstride = (w * bpp + 31) // 32 * 4
        mstride = (w + 31) // 32 * 4
        mpos = pos + xstride * h
        rgb, mask = [], []
        for y in range(h - 1, -1, -1):
            row, mrow = [], []
            for x in range(w):
                bit = x * bpp
                byte = data[pos + y * xstride + bit // 8]
                v = (byte >> (8 - bpp - bit % 8)) & ((1 << bpp) - 1)
                row.append(pal[v])
                mbyte = data[mpos + y * mstride + x // 8]
                mrow.append((mbyte >> (7 - x % 8)) & 1)
            rgb.append(row)
            mask.append(mrow)
        result.append((w, bpp, rgb, mask))
    return result


def write_png(path, rows):
    def chunk(tag, body):
        return (struct.pack('>I', len(body)) + tag + body +
                struct.pack('>I', zlib.crc32(tag + body)))
    h, w = len(rows), len(rows[0])
    raw = b''.join(b'\0' + bytes(v for px in row for v in px)
                   for row in rows)
    png = (b'\x89PNG\r\n\x1a\n' +
           chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0)) +
           chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))
    with open(path, 'wb') as f:
        f.write(png)


def write_previews(data, directory, scale=8):
    os.makedirs(directory, exist_ok=True)
    for n, (size, bpp, rgb, mask) in enumerate(decode_ico(data), 1):
        rows = []
        for y in range(size):
            row = []
            for x in range(size):
                if mask[y][x]:
                    # Checkerboard, so transparency shows.
                    grey = 0xE8 if (x + y) % 2 else 0xB8
                    px = (grey ^ rgb[y][x][0], grey ^ rgb[y][x][1],
                          grey ^ rgb[y][x][2])
                else:
                    px = rgb[y][x]
                row += [px] * scale
            rows += [row] * scale
        write_png(os.path.join(directory, 'hopla-%d-%dx%d-%dbpp.png'
                               % (n, size, size, bpp)), rows)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(here, 'hopla.ico')
    preview = None
    args = list(argv)
    while args:
        a = args.pop(0)
        if a == '--preview' and args:
            preview = args.pop(0)
        elif a.startswith('-'):
            sys.exit(__doc__.split('\n\n')[1])
        else:
            out = a
    big, small = draw32(), parse(ICON16)
    data = build_ico([(big, 8), (small, 8), (small, 4), (big, 4)])
    with open(out, 'wb') as f:
        f.write(data)
    if preview:
        write_previews(data, preview)


if __name__ == '__main__':
    main(sys.argv[1:])
