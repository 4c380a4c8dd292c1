#!/usr/bin/env python3
"""Writes Norrik's binary resources: the two icons, the toolbar strip (at
16, 24 and 32 pixels) and the popup chime.

    python3 tools/gen_art.py OUTDIR

The pictures are kept here as character grids, one character per pixel,
so that a change to an image is a readable diff instead of an opaque
binary.  Everything is computed from constants, so every run writes the
same bytes.
"""

import math
import os
import struct
import sys

# The standard 16-colour VGA palette.  The icons are 4 bits per pixel and
# the toolbar image list is created with ILC_COLOR4, so sticking to these
# colours everywhere means nothing is remapped when Windows loads them.
PALETTE = [
    (0x00, 0x00, 0x00),  # 0 black
    (0x80, 0x00, 0x00),  # 1 maroon
    (0x00, 0x80, 0x00),  # 2 green
    (0x80, 0x80, 0x00),  # 3 olive
    (0x00, 0x00, 0x80),  # 4 navy
    (0x80, 0x00, 0x80),  # 5 purple
    (0x00, 0x80, 0x80),  # 6 teal
    (0xC0, 0xC0, 0xC0),  # 7 silver
    (0x80, 0x80, 0x80),  # 8 grey
    (0xFF, 0x00, 0x00),  # 9 red
    (0x00, 0xFF, 0x00),  # 10 lime
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 magenta
    (0x00, 0xFF, 0xFF),  # 14 cyan
    (0xFF, 0xFF, 0xFF),  # 15 white
]

# Grid characters.  '.' is transparent in the icons and the button face in
# the toolbar strip.
INDEX = {
    'k': 0, 'r': 1, 'g': 2, 'o': 3, 'n': 4, 'p': 5, 't': 6, 's': 7,
    'd': 8, 'R': 9, 'G': 10, 'Y': 11, 'B': 12, 'M': 13, 'C': 14, 'W': 15,
}
TRANSPARENT = '.'

# Toolbar background.  The program adds the strip with the mask colour
# RGB(197,197,197), which occurs nowhere in it, so this grey stays opaque.
BUTTON_FACE = (192, 192, 192)
MASK_COLOUR = (197, 197, 197)

WAVE_RATE = 22050


# --------------------------------------------------------------------------
# Pictures
# --------------------------------------------------------------------------

# IDI_MAIN, 32 x 32: an antenna mast sending out rays, its cable running
# to a grey telephone handset.
MAIN_32 = """
................................
................................
....R...........R...............
...RR...........RR..............
..RR.............RR.............
..R...R.......R...R.............
..R..RR..kkk..RR..R.............
..R..R..kRWRk..R..R.............
..R..R..kRRRk..R..R.............
..R..R..kRRRk..R..R.............
..R..RR..kkk..RR..R.............
..R...R...k...R...R.............
..RR......k......RR.............
...RR....kdk....RR..............
....R....kdk....R...............
........k.d.k......kkkkkkkkkk...
........k.d.k.....kWWWssssssdk..
........kdddk....kWssdkkkkkdsdk.
.......k.d.d.k...kWsk......ksdk.
.......k.ddd.k..kWsssk....ksssdk
......k.d...d.k.kssssdk..kdssssk
......kd.....dk.kkkkkkk..kkkkkkk
......kdddddddk...........k.....
.....k.ddd.ddd.k..........k.....
.....k....d....k.........k......
....k..ddd.ddd..k.......k.......
....k.d.......d.k......k........
....kdddddddddddk....kk.........
...kdddddddddddddkkkk...........
..kkkkkkkkkkkkkkkkk.............
................................
................................
"""

# IDI_MAIN, 16 x 16: the same scene redrawn for the small size: one ray on
# each side and a squat handset, so that it still reads in the tray.
MAIN_16 = """
................
.R..kkk..R......
R..kRWRk..R.....
R..kRRRk..R.....
R..kRRRk..R.....
.R..kkk..R......
.....k..........
.....k...kkkkkk.
....kdk.kWssssdk
....kdk.kskkkdsk
....kdk.ksk..ksk
....kdk.kkk..kkk
...kd.dk......k.
..kdddddk.....k.
.kkkkkkkkkkkkkk.
................
"""

# IDI_POPUP, 32 x 32: a yellow speech bubble with an exclamation mark.
POPUP_32 = """
................................
................................
................................
................................
......kkkkkkkkkkkkkkkkkkkk......
....kkYYYYYYYYkkkkYYYYYYYYkk....
...kYYWWWWYYYkRRRRkYYYYYYYYYk...
...kYWWYYYYYYkRRRRkYYYYYYYYYk...
..kYWYYYYYYYYkRRRRkYYYYYYYYYYk..
..kYWYYYYYYYYkRRRRkYYYYYYYYYYk..
..kYYYYYYYYYYkRRRRkYYYYYYYYYYk..
..kYYYYYYYYYYYkRRkYYYYYYYYYYYk..
..kYYYYYYYYYYYkRRkYYYYYYYYYYYk..
..kYYYYYYYYYYYkRRkYYYYYYYYYYYk..
..kYYYYYYYYYYYkRRkYYYYYYYYYYYk..
..kYYYYYYYYYYYYkkYYYYYYYYYYYYk..
..kYYYYYYYYYYYYYYYYYYYYYYYYYYk..
..kYYYYYYYYYYYkkkkYYYYYYYYYYYk..
..kYYYYYYYYYYkRRRRkYYYYYYYYYYk..
..kYYYYYYYYYYkRRRRkYYYYYYYYYYk..
...kYYYYYYYYYkRRRRkYYYYYYYYYk...
...kYYYYYYYYYYkkkkYYYYYYYYYYk...
....kkYYYYYYYYYYYYYYYYYYYYkk....
......kYYYYkkkkkkkkkkkkkkk......
.....kYYYk......................
....kYYk........................
...kYk..........................
..kk............................
................................
................................
................................
................................
"""

# IDI_POPUP, 16 x 16.
POPUP_16 = """
................
..kkkkkkkkkkkk..
.kYWWYYYYYYYYYk.
kYWYYYYRRYYYYYYk
kYWYYYYRRYYYYYYk
kYYYYYYRRYYYYYYk
kYYYYYYRRYYYYYYk
kYYYYYYRRYYYYYYk
kYYYYYYYYYYYYYYk
kYYYYYYRRYYYYYYk
kYYYYYYRRYYYYYYk
.kYYYYYYYYYYYYk.
..kYYYkkkkkkkk..
..kYYk..........
..kYk...........
..kk............
"""

# IDB_TOOLBAR: ten 16 x 16 images, left to right.  The buttons refer to
# them by position, so the order matters.
TOOLBAR = [
    # 0 lightning bolt: Connect
    """
................
........kkkkkk..
.......kYYYYYk..
......kYYYYYk...
.....kYYYYYk....
....kYYYYYk.....
...kYYYYYkkkk...
...kYYYYYYYYk...
...kkkkYYYYk....
......kYYYk.....
.....kYYYk......
.....kYYk.......
....kYYk........
....kYk.........
....kk..........
................
""",
    # 1 plug and socket pulled apart: Disconnect
    """
................
................
................
............kkkk
..kkkkk.....kWWk
..kWssk.....kWWk
..kWssdkkk..kkWk
kkkWssdk....kWWk
kkkssddk....kWWk
..kssddkkk..kkWk
..ksdddk....kWWk
..kkkkk.....kWWk
............kkkk
................
................
................
""",
    # 2 green triangle pointing right: Start Server
    """
................
................
...kk...........
...kGk..........
...kGGk.........
...kGGGk........
...kGGGGk.......
...kGGGGGk......
...kGGGGGgk.....
...kGGGGgk......
...kGGGgk.......
...kGGgk........
...kGgk.........
...kgk..........
...kk...........
................
""",
    # 3 orange square: Stop Server.  Orange is not among the 16 colours, so
    # it is a red and yellow checkerboard, which the eye mixes to orange.
    """
................
................
................
...kkkkkkkkkk...
...kYRYRYRYRk...
...kRYRYRYRYk...
...kYRYRYRYRk...
...kRYRYRYRYk...
...kYRYRYRYRk...
...kRYRYRYRYk...
...kYRYRYRYRk...
...kRYRYRYRYk...
...kkkkkkkkkk...
................
................
................
""",
    # 4 lit light bulb: Send Popup
    """
................
.Y....kkkkk...Y.
..Y..kYYYYYk.Y..
....kYWWYYYYk...
....kYWYYYYYk...
YY..kYYYYYYYk.YY
....kYYYYYYYk...
.....kYYYYYk....
......kYYYk.....
......ksssk.....
......kdddk.....
......ksssk.....
.......kkk......
................
................
................
""",
    # 5 yellow question mark: Help
    """
................
.....kkkkk......
....kYYYYYk.....
...kYYkkkYYk....
...kYYk.kYYk....
....kk..kYYk....
.......kYYk.....
......kYYk......
......kYYk......
.......kk.......
......kkkk......
......kYYk......
......kYYk......
.......kk.......
................
................
""",
    # 6 popup note (no button uses 6 to 9; they keep the strip at ten)
    """
................
..kkkkkkkkkkkk..
.kWWWWWWWWWWWWk.
.kWkkkkkkkkkkWk.
.kWWWWWWWWWWWWk.
.kWkkkkkkkkWWWk.
.kWWWWWWWWWWWWk.
.kWkkkkkkWWWWWk.
.kWWWWWWWWWWWWk.
..kkWWkkkkkkkk..
...kWk..........
...kk...........
................
................
................
................
""",
    # 7 arrow into the notification tray
    """
................
................
......kkkk......
......kBBk......
......kBBk......
......kBBk......
...kkkkBBkkkk...
....kBBBBBBk....
.....kBBBBk.....
..k...kBBk...k..
..kk...kk...kk..
..ksk......ksk..
..ksskkkkkkssk..
..kssssssssssk..
..kkkkkkkkkkkk..
................
""",
    # 8 gear
    """
................
.......kk.......
...kk.kddk.kk...
..kddkkddkkddk..
..kddddddddddk..
...kdddkkdddk...
..kdddk..kdddk..
.kdddk....kdddk.
.kdddk....kdddk.
..kdddk..kdddk..
...kdddkkdddk...
..kddddddddddk..
..kddkkddkkddk..
...kk.kddk.kk...
.......kk.......
................
""",
    # 9 speaker
    """
................
................
........k.......
.......kk.......
......ksk...k...
.kkkkkssk.k..k..
.kWssssdk..k..k.
.kWssssdk..k..k.
.kssssddk..k..k.
.kssssddk..k..k.
.kkkkksdk.k..k..
......kdk...k...
.......kk.......
........k.......
................
................
""",
]


# --------------------------------------------------------------------------
# Grid handling
# --------------------------------------------------------------------------

def parse_grid(text, size, name):
    """Turns a grid into rows of characters and checks its shape, so that a
    slip of the pen in a picture fails loudly instead of shifting pixels."""
    rows = [line for line in text.strip('\n').split('\n')]
    if len(rows) != size:
        raise ValueError('%s: %d rows, expected %d' % (name, len(rows), size))
    for number, row in enumerate(rows):
        if len(row) != size:
            raise ValueError('%s row %d: %d columns, expected %d'
                             % (name, number, len(row), size))
        for char in row:
            if char != TRANSPARENT and char not in INDEX:
                raise ValueError('%s row %d: unknown colour %r'
                                 % (name, number, char))
    return rows


# --------------------------------------------------------------------------
# Larger sizes, for displays scaled above 100 %
# --------------------------------------------------------------------------
# The pictures are drawn once, at 16 and 32 pixels. Scale2x and Scale3x
# enlarge pixel art along its edges instead of into blocks; 24 and 48
# pixels are Scale3x halved, each pixel the mean of four.

def scale2x(rows):
    size = len(rows)
    at = lambda x, y: rows[min(max(y, 0), size - 1)][min(max(x, 0), size - 1)]
    out = []
    for y in range(size):
        top, bottom = [], []
        for x in range(size):
            p, a, b, c, d = at(x, y), at(x, y - 1), at(x + 1, y), at(x - 1, y), at(x, y + 1)
            top += [a if c == a != d and a != b else p, b if a == b != c and b != d else p]
            bottom += [c if d == c != b and c != a else p, d if b == d != a and d != c else p]
        out += [''.join(top), ''.join(bottom)]
    return out


def scale3x(rows):
    size = len(rows)
    at = lambda x, y: rows[min(max(y, 0), size - 1)][min(max(x, 0), size - 1)]
    out = []
    for y in range(size):
        lines = [[], [], []]
        for x in range(size):
            a, b, c = at(x - 1, y - 1), at(x, y - 1), at(x + 1, y - 1)
            d, e, f = at(x - 1, y), at(x, y), at(x + 1, y)
            g, h, i = at(x - 1, y + 1), at(x, y + 1), at(x + 1, y + 1)
            up_left = d == b and b != f and d != h
            up_right = b == f and b != d and f != h
            down_left = d == h and d != b and h != f
            down_right = h == f and d != h and b != f
            lines[0] += [d if up_left else e,
                         b if (up_left and e != c) or (up_right and e != a) else e,
                         f if up_right else e]
            lines[1] += [d if (up_left and e != g) or (down_left and e != a) else e, e,
                         f if (up_right and e != i) or (down_right and e != c) else e]
            lines[2] += [d if down_left else e,
                         h if (down_left and e != i) or (down_right and e != g) else e,
                         f if down_right else e]
        out += [''.join(line) for line in lines]
    return out


def rgba(char):
    return (0, 0, 0, 0) if char == TRANSPARENT else PALETTE[INDEX[char]] + (255,)


def halved(rows):
    """Pixels (r, g, b, a), each the mean of a 2 x 2 square of the grid;
    the colour is the mean of the square's opaque pixels only."""
    out = []
    for y in range(0, len(rows), 2):
        line = []
        for x in range(0, len(rows), 2):
            square = [rgba(rows[y + dy][x + dx]) for dy in (0, 1) for dx in (0, 1)]
            opaque = [p for p in square if p[3]]
            if not opaque:
                line.append((0, 0, 0, 0))
                continue
            mean = [round(sum(p[k] for p in opaque) / len(opaque)) for k in range(3)]
            line.append(tuple(mean) + (round(255 * len(opaque) / 4),))
        out.append(line)
    return out


def pixels(rows):
    return [[rgba(char) for char in row] for row in rows]


# --------------------------------------------------------------------------
# .ico
# --------------------------------------------------------------------------

def icon_image(rows):
    """One icon image: BITMAPINFOHEADER (height doubled for the two masks),
    the palette, the 4-bit colour bitmap and the 1-bit AND mask, both stored
    bottom row first with rows padded to 32 bits."""
    size = len(rows)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor_bits = bytearray()
    and_bits = bytearray()
    for row in reversed(rows):
        line = bytearray(xor_stride)
        mask = bytearray(and_stride)
        for x, char in enumerate(row):
            if char == TRANSPARENT:
                # Index 0 (black) under a set mask bit leaves the screen
                # as it was.
                mask[x // 8] |= 0x80 >> (x % 8)
                continue
            index = INDEX[char]
            if x % 2 == 0:
                line[x // 2] |= index << 4
            else:
                line[x // 2] |= index
        xor_bits += line
        and_bits += mask
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         len(xor_bits) + len(and_bits), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0)
                       for (r, g, b) in PALETTE)
    return header + palette + bytes(xor_bits) + bytes(and_bits)


def icon_image_32(image):
    """A 32-bit icon image: BGRA pixels with their own alpha, and an AND
    mask for whatever cannot draw alpha."""
    size = len(image)
    and_stride = ((size + 31) // 32) * 4
    colour, mask = bytearray(), bytearray()
    for row in reversed(image):
        line = bytearray(and_stride)
        for x, (r, g, b, a) in enumerate(row):
            colour += bytes((b, g, r, a))
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def icon_file(images):
    """ICONDIR, one ICONDIRENTRY per image, then the images in order.  A
    grid (rows of characters) is stored with 16 colours, pixels with 32
    bits."""
    entries = []
    for image in images:
        if isinstance(image[0], str):
            entries.append((len(image), 16, 4, icon_image(image)))
        else:
            entries.append((len(image), 0, 32, icon_image_32(image)))
    out = struct.pack('<HHH', 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, colours, bits, data in entries:
        out += struct.pack('<BBBBHHII', size, size, colours, 0, 1, bits,
                           len(data), offset)
        offset += len(data)
    return out + b''.join(data for _, _, _, data in entries)


# --------------------------------------------------------------------------
# Toolbar .bmp
# --------------------------------------------------------------------------

def toolbar_bitmap(images):
    """A 24-bit BMP with the images (pixels) side by side, bottom row
    first, on the button face."""
    height = len(images[0])
    width = height * len(images)
    stride = (width * 3 + 3) // 4 * 4
    data = bytearray()
    for y in reversed(range(height)):
        line = bytearray()
        for image in images:
            for (r, g, b, a) in image[y]:
                # Partly covered pixels at the edges of the larger sizes
                # blend into the face they are drawn on.
                r, g, b = (round((c * a + face * (255 - a)) / 255)
                           for c, face in zip((r, g, b), BUTTON_FACE))
                if (r, g, b) == MASK_COLOUR:
                    # Such a pixel would be punched out by the image list.
                    raise ValueError('toolbar pixel in the mask colour')
                line += bytes((b, g, r))
        line += bytes(stride - len(line))
        data += line
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0,
                       len(data), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    head = struct.pack('<2sIHHI', b'BM', offset + len(data), 0, 0, offset)
    return head + info + bytes(data)


# --------------------------------------------------------------------------
# Chime .wav
# --------------------------------------------------------------------------

def chime_samples():
    """Two bell-like notes a fifth apart, the second entering shortly after
    the first.  Each note has a short raised-cosine attack and an
    exponential decay, and the whole sound fades to exactly zero, so it
    starts and ends without a click."""
    duration = 0.45
    count = int(WAVE_RATE * duration)
    notes = [
        # start (s), frequency (Hz), level, decay time constant (s)
        (0.000, 880.0, 1.0, 0.10),
        (0.110, 1318.5, 0.9, 0.12),
    ]
    attack = 0.006
    fade = 0.030
    raw = []
    for n in range(count):
        t = n / WAVE_RATE
        value = 0.0
        for start, freq, level, tau in notes:
            u = t - start
            if u < 0:
                continue
            env = level * math.exp(-u / tau)
            if u < attack:
                env *= 0.5 - 0.5 * math.cos(math.pi * u / attack)
            # A quiet octave partial makes it ring like a bell rather than
            # a plain beep.
            value += env * (math.sin(2 * math.pi * freq * u)
                            + 0.25 * math.sin(4 * math.pi * freq * u))
        left = duration - t
        if left < fade:
            value *= 0.5 - 0.5 * math.cos(math.pi * left / fade)
        raw.append(value)
    peak = max(abs(v) for v in raw)
    # Half of full scale: clearly audible, far from clipping.
    scale = 0.5 * 32767 / peak
    return [int(round(v * scale)) for v in raw]


def wave_file(samples):
    data = struct.pack('<%dh' % len(samples), *samples)
    fmt = struct.pack('<HHIIHH', 1, 1, WAVE_RATE, WAVE_RATE * 2, 2, 16)
    body = (b'WAVE' + b'fmt ' + struct.pack('<I', len(fmt)) + fmt
            + b'data' + struct.pack('<I', len(data)) + data)
    return b'RIFF' + struct.pack('<I', len(body)) + body


# --------------------------------------------------------------------------

def main(argv):
    if len(argv) != 2:
        sys.stderr.write('usage: gen_art.py OUTDIR\n')
        return 2
    outdir = argv[1]
    os.makedirs(outdir, exist_ok=True)
    icons = {}
    for name, big, small in (('norrik.ico', MAIN_32, MAIN_16),
                             ('popup.ico', POPUP_32, POPUP_16)):
        big = parse_grid(big, 32, name + ' 32')
        small = parse_grid(small, 16, name + ' 16')
        icons[name] = icon_file([big, small, halved(scale3x(small)),
                                 halved(scale3x(big)), scale2x(big)])
    strip = [parse_grid(grid, 16, 'TOOLBAR[%d]' % i)
             for i, grid in enumerate(TOOLBAR)]
    if len(strip) != 10:
        raise ValueError('the toolbar strip needs exactly ten images')
    outputs = dict(icons)
    outputs.update({
        'toolbar.bmp': toolbar_bitmap([pixels(rows) for rows in strip]),
        'toolbar24.bmp': toolbar_bitmap([halved(scale3x(rows)) for rows in strip]),
        'toolbar32.bmp': toolbar_bitmap([pixels(scale2x(rows)) for rows in strip]),
        'beep.wav': wave_file(chime_samples()),
    })
    for name in sorted(outputs):
        with open(os.path.join(outdir, name), 'wb') as f:
            f.write(outputs[name])
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
