#!/usr/bin/env python3
"""Checks that the program's folders use only the layers below them.

Every '#include "folder/..."' of a program source names the folder it reaches. A folder may
include its own headers and those of the layers below it (LAYERS, bottom first); the feature
subsystems stand side by side and reach one another only through the headers NARROW_HEADERS
lists (design.md names them). Outside platform/ no toolkit or operating-system header is
included. Each breach is printed as "file:line: text" and the exit code is 1.

    check_layers.py [--root DIR]
    check_layers.py --self-test    breaks each rule in a small tree and expects each breach
"""
import argparse
import os
import re
import sys
import tempfile

# Bottom first. Folders on one row are side by side.
LAYERS = [
    ["platform"],
    ["numeric"],
    ["runtime"],
    ["kpl"],
    ["lens"],
    ["trace"],
    ["ui"],
    ["graphics"],
    ["entry", "evaluation", "optimise", "reports", "drawing"],
    ["app"],
]
# The other programs and build tools sit on the layer whose library they link.
TOOLS = {"msgcompiler": "runtime", "tools": "kpl", "compilers": "kpl", "raysource": "platform"}
# Headers of one feature subsystem that a sibling may include: "folder/header.h" -> who may.
# reports/ plots what evaluation/ computes: the spot diagram with its store and statistics, the
# intensity at a point, the point-spread function, the MTF, the sections and encircled energy.
REPORTS_READ_OF_EVALUATION = (
    "geometric_energy", "mtf_curves", "mtf_shared", "point_intensity", "psf", "sections",
    "spot_ray_listing", "spot_rays", "spot_statistics", "spot_store",
)
NARROW_HEADERS = {f"evaluation/{name}.h": ("reports",) for name in REPORTS_READ_OF_EVALUATION}
# Outside platform/: Qt headers, anything under a folder (sys/..., linux/...) and these.
SYSTEM_HEADERS = {
    "unistd.h", "dlfcn.h", "fcntl.h", "pthread.h", "dirent.h", "signal.h", "spawn.h",
    "poll.h", "termios.h", "pwd.h", "grp.h", "glob.h", "fnmatch.h", "syslog.h", "windows.h",
}

LEVEL = {folder: n for n, row in enumerate(LAYERS) for folder in row}
for tool, layer in TOOLS.items():
    LEVEL[tool] = LEVEL[layer]
FEATURES = set(LAYERS[-2])
QUOTED = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
ANGLED = re.compile(r"^\s*#\s*include\s+<([^>]+)>")


def breach_of_quoted(folder, header):
    """Why the folder may not include the header, or None."""
    target = header.split("/", 1)[0] if "/" in header else folder
    if target == folder or target not in LEVEL:
        return None
    if LEVEL[target] > LEVEL[folder]:
        return f'includes "{header}" of {target}/, a layer above {folder}/'
    if folder in FEATURES and target in FEATURES:
        if folder in NARROW_HEADERS.get(header, ()):
            return None
        return f'includes "{header}" of the sibling subsystem {target}/ (not a narrow header)'
    return None


def breach_of_angled(folder, header):
    if folder == "platform":
        return None
    if header.startswith("Q") or "/" in header or header in SYSTEM_HEADERS:
        return f"includes <{header}>: only platform/ reaches the toolkit and the system"
    return None


def check(root):
    breaches = []
    for folder in sorted(LEVEL):
        top = os.path.join(root, folder)
        for dirpath, _, names in sorted(os.walk(top)):
            for name in sorted(names):
                if not name.endswith((".cpp", ".h", ".hpp", ".cc")):
                    continue
                path = os.path.join(dirpath, name)
                shown = os.path.relpath(path, root)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = QUOTED.match(line)
                        why = breach_of_quoted(folder, m.group(1)) if m else None
                        if why is None:
                            m = ANGLED.match(line)
                            why = breach_of_angled(folder, m.group(1)) if m else None
                        if why is not None:
                            breaches.append(f"{shown}:{number}: {why}")
    return breaches


# A small tree: each file, its lines, and the breaches the check must report for it.
SELF_TEST = {
    "lens/upward.cpp": (['#include "lens/lens_data.h"', "", '#include "app/main_loop.h"'],
                        ['lens/upward.cpp:3: includes "app/main_loop.h" of app/, a layer above lens/']),
    "runtime/plain.h": (['#include "numeric/fft.h"', '#include "platform/ui.h"', "#include <vector>",
                         "#include <emmintrin.h>"], []),
    "evaluation/sibling.cpp": (['#include "ui/grid_cells.h"', '  #  include "drawing/drawing_buffers.h"'],
                               ['evaluation/sibling.cpp:2: includes "drawing/drawing_buffers.h" of the '
                                'sibling subsystem drawing/ (not a narrow header)']),
    "kpl/system.cpp": (["#include <unistd.h>", "#include <QString>", "#include <sys/stat.h>"],
                       ["kpl/system.cpp:1: includes <unistd.h>: only platform/ reaches the toolkit and the system",
                        "kpl/system.cpp:2: includes <QString>: only platform/ reaches the toolkit and the system",
                        "kpl/system.cpp:3: includes <sys/stat.h>: only platform/ reaches the toolkit and the system"]),
    "ui/menus.cpp": (['#include "ui/text_area.h"', '#include "graphics/draw_primitives.h"'],
                     ['ui/menus.cpp:2: includes "graphics/draw_primitives.h" of graphics/, a layer above ui/']),
    "graphics/replay.cpp": (['#include "ui/window_table.h"', '#include "entry/lens_block.h"'],
                            ['graphics/replay.cpp:2: includes "entry/lens_block.h" of entry/, a layer above '
                             'graphics/']),
    "platform/qt/window.cpp": (["#include <QWidget>", "#include <unistd.h>"], []),
    "tools/table_builder/builder.cpp": (['#include "kpl/kpl_compiler.h"', '#include "lens/lens_data.h"'],
                                        ['tools/table_builder/builder.cpp:2: includes "lens/lens_data.h" of lens/, '
                                         'a layer above tools/']),
}


def self_test():
    with tempfile.TemporaryDirectory() as root:
        expected = []
        for name, (lines, breaches) in SELF_TEST.items():
            path = os.path.join(root, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8") as f:
                f.write("\n".join(lines) + "\n")
            expected += breaches
        found = check(root)
    missing = [b for b in expected if b not in found]
    extra = [b for b in found if b not in expected]
    for b in missing:
        print(f"not reported: {b}")
    for b in extra:
        print(f"reported wrongly: {b}")
    if missing or extra:
        return 1
    print(f"layers self-test: all {len(expected)} breaches reported, nothing else")
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", default=os.path.join(os.path.dirname(__file__), "..", ".."))
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    if args.self_test:
        return self_test()
    root = os.path.abspath(args.root)
    breaches = check(root)
    for b in breaches:
        print(b)
    if breaches:
        print(f"{len(breaches)} include(s) break the layers", file=sys.stderr)
        return 1
    print("layers: every include runs downward")
    return 0


if __name__ == "__main__":
    sys.exit(main())
