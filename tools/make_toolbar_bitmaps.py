#!/usr/bin/env python3
"""Writes the toolbar pictures of data/bma: 16 x 15 pixel, 4 bits per pixel bitmap files drawn
in the four greys that the program repaints in the system's button colours (black text,
128 grey shadow, 192 grey face, 223 grey highlight). Run it again after changing a picture:
    python3 tools/make_toolbar_bitmaps.py data/bma
"""
import struct
import sys
from pathlib import Path

# Colour table: index -> (red, green, blue).
PALETTE = [(0, 0, 0), (128, 128, 128), (192, 192, 192), (223, 223, 223),
           (0, 0, 128), (128, 0, 0)] + [(192, 192, 192)] * 10
CODES = {'#': 0, '+': 1, '.': 2, 'o': 3, 'b': 4, 'r': 5}

PICTURES = {
    # The command history: lines of a list.
    'history': [
        '................',
        '.oooooooooooooo.',
        '.o############+.',
        '.o#..........#+.',
        '.o#.bbbbbbb..#+.',
        '.o#..........#+.',
        '.o#.bbbbb....#+.',
        '.o#..........#+.',
        '.o#.bbbbbbbb.#+.',
        '.o#..........#+.',
        '.o#.bbbb.....#+.',
        '.o#..........#+.',
        '.o############+.',
        '.++++++++++++++.',
        '................',
    ],
    # Leave the command levels: an arrow out of stacked frames.
    'levels': [
        '................',
        '..##########....',
        '..#........#....',
        '..#.######.#....',
        '..#.#....#.#....',
        '..#.#....#.#..r.',
        '..#.#..rrrrrrrrr',
        '..#.#....#.#..r.',
        '..#.######.#....',
        '..#........#....',
        '..##########....',
        '..++++++++++....',
        '................',
        '................',
        '................',
    ],
    # Clear the command history: a crossed-out list.
    'clearhist': [
        '................',
        '.############...',
        '.#..........#...',
        '.#.bbbbbbb..#...',
        '.#..........#...',
        '.#.bbbbb....#...',
        '.#..........#.r.',
        '.#.bbbbbbb..#r..',
        '.#.........r#...',
        '.#........r.#...',
        '.##########r#...',
        '.........r......',
        '........r.......',
        '.......r........',
        '................',
    ],
    # Graphics windows: zoom in, a magnifier with a plus.
    'gzoomin': [
        '................',
        '....#####.......',
        '...#ooooo#......',
        '..#oo.r.oo#.....',
        '..#o..r..o#.....',
        '..#orrrrro#.....',
        '..#o..r..o#.....',
        '..#oo.r.oo#.....',
        '...#ooooo#......',
        '....######......',
        '.........###....',
        '..........###...',
        '...........###..',
        '............##..',
        '................',
    ],
    # Zoom out, a magnifier with a minus.
    'gzoomout': [
        '................',
        '....#####.......',
        '...#ooooo#......',
        '..#oo...oo#.....',
        '..#o.....o#.....',
        '..#orrrrro#.....',
        '..#o.....o#.....',
        '..#oo...oo#.....',
        '...#ooooo#......',
        '....######......',
        '.........###....',
        '..........###...',
        '...........###..',
        '............##..',
        '................',
    ],
    # The whole picture: a frame with arrows to its corners.
    'gwhole': [
        '................',
        '.##############.',
        '.#bbb......bbb#.',
        '.#bb........bb#.',
        '.#b.b......b.b#.',
        '.#...b....b...#.',
        '.#............#.',
        '.#............#.',
        '.#............#.',
        '.#...b....b...#.',
        '.#b.b......b.b#.',
        '.#bb........bb#.',
        '.#bbb......bbb#.',
        '.##############.',
        '................',
    ],
    # Redraw the picture: a circling arrow.
    'gredraw': [
        '................',
        '.....#####......',
        '...##.....##.r..',
        '..#.........rr..',
        '.#.........rrr..',
        '.#..............',
        '#...............',
        '#...............',
        '#...............',
        '.#..........#...',
        '.#.........#....',
        '..#.......#.....',
        '...##...##......',
        '.....###........',
        '................',
    ],
    # Copy the picture: two overlapping sheets with a line drawn on the front one.
    'gcopy': [
        '................',
        '.########.......',
        '.#oooooo#.......',
        '.#oooooo#.......',
        '.#ooo##########.',
        '.#ooo#oooooooo#.',
        '.#ooo#oooooorr#.',
        '.#ooo#oooorroo#.',
        '.#####oorroooo#.',
        '.....#rroooooo#.',
        '.....#oooooooo#.',
        '.....#oooooooo#.',
        '.....##########.',
        '................',
        '................',
    ],
}


def bitmap(rows):
    height = len(rows)
    width = len(rows[0])
    row_bytes = ((width * 4 + 31) // 32) * 4
    data = bytearray()
    for row in reversed(rows):  # bottom row first
        line = bytearray(row_bytes)
        for x, ch in enumerate(row):
            code = CODES[ch]
            if x % 2 == 0:
                line[x // 2] |= code << 4
            else:
                line[x // 2] |= code
        data += line
    table = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    offset = 14 + 40 + len(table)
    header = struct.pack('<2sIHHI', b'BM', offset + len(data), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 0, len(data), 2835, 2835,
                       len(PALETTE), 0)
    return header + info + table + bytes(data)


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else 'data/bma')
    out.mkdir(parents=True, exist_ok=True)
    for name, rows in PICTURES.items():
        assert all(len(r) == len(rows[0]) for r in rows), name
        (out / f'{name}.bmp').write_bytes(bitmap(rows))


if __name__ == '__main__':
    main()
