#!/usr/bin/env python3
"""Writes the start-up picture data/bma/splash.bmp: the program title and version in a raised
grey panel, in the colour table of the toolbar pictures (so its greys follow the system's
button colours as theirs do). Run it again after changing the picture:
    python3 tools/make_splash_bitmap.py data/bma
"""
import sys
from pathlib import Path

sys.dont_write_bytecode = True  # no cache left in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))
from make_toolbar_bitmaps import bitmap  # noqa: E402

WIDTH, HEIGHT = 240, 120
TITLE, VERSION = 'TAVO LT', '5.40'

# 5 x 7 glyphs of the characters used.
GLYPHS = {
    'T': ['#####', '..#..', '..#..', '..#..', '..#..', '..#..', '..#..'],
    'A': ['.###.', '#...#', '#...#', '#####', '#...#', '#...#', '#...#'],
    'V': ['#...#', '#...#', '#...#', '#...#', '#...#', '.#.#.', '..#..'],
    'O': ['.###.', '#...#', '#...#', '#...#', '#...#', '#...#', '.###.'],
    'L': ['#....', '#....', '#....', '#....', '#....', '#....', '#####'],
    ' ': ['.....'] * 7,
    '5': ['#####', '#....', '####.', '....#', '....#', '#...#', '.###.'],
    '.': ['.....', '.....', '.....', '.....', '.....', '.##..', '.##..'],
    '4': ['...#.', '..##.', '.#.#.', '#..#.', '#####', '...#.', '...#.'],
    '0': ['.###.', '#...#', '#..##', '#.#.#', '##..#', '#...#', '.###.'],
}


def text_width(text, scale):
    return len(text) * 6 * scale - scale


def draw_text(canvas, text, top, scale, code):
    left = (WIDTH - text_width(text, scale)) // 2
    for k, ch in enumerate(text):
        for gy, row in enumerate(GLYPHS[ch]):
            for gx, cell in enumerate(row):
                if cell != '#':
                    continue
                for y in range(scale):
                    for x in range(scale):
                        canvas[top + gy * scale + y][left + (6 * k + gx) * scale + x] = code


def picture():
    # Codes of the toolbar colour table: '.' face, 'o' highlight, '+' shadow, '#' black,
    # 'b' dark blue, 'r' dark red.
    canvas = [['.'] * WIDTH for _ in range(HEIGHT)]
    for x in range(WIDTH):
        canvas[0][x] = 'o'
        canvas[HEIGHT - 1][x] = '+'
    for y in range(HEIGHT):
        canvas[y][0] = 'o'
        canvas[y][WIDTH - 1] = '+'
    draw_text(canvas, TITLE, 18, 5, 'b')
    # The optical axis under the title.
    for x in range(20, WIDTH - 20):
        canvas[62][x] = '#'
    draw_text(canvas, VERSION, 76, 3, 'r')
    return [''.join(row) for row in canvas]


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else 'data/bma')
    out.mkdir(parents=True, exist_ok=True)
    (out / 'splash.bmp').write_bytes(bitmap(picture()))


if __name__ == '__main__':
    main()
