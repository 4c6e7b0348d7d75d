#!/usr/bin/env python3
"""Writes the About picture data/bma/about.bmp: the program title at the left of a raised grey
panel; the program draws "Revision <version>" into the free space at (218, 33). Run it again
after changing the picture:
    python3 tools/make_about_bitmap.py data/bma
"""
import sys
from pathlib import Path

sys.dont_write_bytecode = True  # no cache left in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))
from make_toolbar_bitmaps import bitmap  # noqa: E402
from make_splash_bitmap import GLYPHS  # noqa: E402

WIDTH, HEIGHT = 330, 48
TITLE = 'TAVO LT'


def picture():
    # Codes of the toolbar colour table: '.' face, 'o' highlight, '+' shadow, 'b' dark blue.
    canvas = [['.'] * WIDTH for _ in range(HEIGHT)]
    for x in range(WIDTH):
        canvas[0][x] = 'o'
        canvas[HEIGHT - 1][x] = '+'
    for y in range(HEIGHT):
        canvas[y][0] = 'o'
        canvas[y][WIDTH - 1] = '+'
    scale, top, left = 4, 10, 14
    for k, ch in enumerate(TITLE):
        for gy, row in enumerate(GLYPHS[ch]):
            for gx, cell in enumerate(row):
                if cell != '#':
                    continue
                for y in range(scale):
                    for x in range(scale):
                        canvas[top + gy * scale + y][left + (6 * k + gx) * scale + x] = 'b'
    return [''.join(row) for row in canvas]


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else 'data/bma')
    out.mkdir(parents=True, exist_ok=True)
    (out / 'about.bmp').write_bytes(bitmap(picture()))


if __name__ == '__main__':
    main()
