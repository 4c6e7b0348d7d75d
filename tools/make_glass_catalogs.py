#!/usr/bin/env python3
"""Writes the ".glc" glass catalogues of the installation from the published glass tables.

Usage: make_glass_catalogs.py <folder of the .tsv tables> <output folder>

The tables are tab-separated, one glass per row (see their README). Every number that goes
into a catalogue is taken from them as it stands; nothing is fitted or recomputed. A number is
written in the catalogue's usual format when that format holds it exactly, and with all its
digits otherwise.

Which glass goes where:
  obsolete.glc  every glass whose status is "obsolete", whoever made it
  misc.glc      the miscellaneous glasses, except Corning's
  corning.glc   Corning's glasses
  ohara.glc, hoya.glc, schott.glc   the maker's other glasses
  shared.glc    no glasses (a valid empty catalogue)
The CDGM and SUMITA tables are not used: their names F2 and F5 also name SCHOTT glasses.

A catalogue glass carries a dispersion formula of kind 1 (power series in the wavelength) or 2
(Sellmeier), and the temperature formula of kind 1 when the table has its six constants.
Glasses given only as index tables, or by a formula no catalogue kind expresses exactly, are
left out and listed on standard output.
"""

import csv
import math
import os
import sys

VERSION = "5.40"
NAME_WIDTH = 10
ROOM = 400
LINE_LIMIT = 1023  # characters of a glass line, newline included

CATALOGS = [
    ("obsolete.glc", "Obsolete"),
    ("misc.glc", "Misc"),
    ("ohara.glc", "Ohara"),
    ("hoya.glc", "Hoya"),
    ("corning.glc", "Corning"),
    ("schott.glc", "Schott"),
    ("shared.glc", "Shared"),
]

SOURCES = [
    ("schott.tsv", "schott.glc"),
    ("ohara.tsv", "ohara.glc"),
    ("hoya.tsv", "hoya.glc"),
    ("misc.tsv", "misc.glc"),
]

# The catalogue's availability character, from the maker's status.
AVAILABILITY = {
    "preferred": "P",
    "standard": "S",
    "special": "X",
    "inquiry": "I",
    "obsolete": "O",
    "": "?",
}


def number(text, fmt):
    """The value of a table field in the catalogue format fmt, or with all digits when fmt
    would change it. An empty field is 0."""
    if text == "":
        return fmt % 0.0
    value = float(text)
    if not math.isfinite(value):
        raise ValueError("not a finite number: %r" % text)
    formatted = fmt % value
    if float(formatted) == value:
        return formatted
    return repr(value)


def dispersion_group(row):
    kind = row["dispersion_formula"]
    c = [row["c%d" % i] for i in range(1, 7)]
    if kind == "sellmeier3":
        # The table interleaves B1, C1, B2, C2, B3, C3; the catalogue holds B1..B3, C1..C3.
        coefficients = [c[0], c[2], c[4], c[1], c[3], c[5]]
        return "2 6 " + " ".join(number(x, "%.8e") for x in coefficients)
    if kind == "power6":
        return "1 6 " + " ".join(number(x, "%.8e") for x in c)
    return None


def thermal_group(row):
    if row["thermal_formula"] == "schott":
        names = ["d0", "d1", "d2", "e0", "e1", "lambda_tk"]
        return "1 6 " + " ".join(number(row[n], "%.2e") for n in names)
    if row["thermal_formula"] == "":
        return "0 0"
    raise ValueError("unknown temperature formula %r" % row["thermal_formula"])


def glass_line(row):
    name = row["name"]
    if len(name) > NAME_WIDTH or " " in name or name == "":
        raise ValueError("unusable glass name %r" % name)
    dispersion = dispersion_group(row)
    if dispersion is None:
        return None
    nd = row["nd"] or row["n_d_computed"]
    vd = row["vd"] or row["vd_computed"]
    fields = [
        "%-10s" % name,
        number(nd, "%.6f"),
        number(vd, "%.2f"),
        number(row["density_g_cm3"], "%.2f"),
        "0.0",  # dn/dT: not in the tables
        number(row["tce_1e-7_per_K"], "%.0f"),
        "0.000",  # transmission: not in the tables
        "0.00",  # cost: not in the tables
        "0",  # hardness: not in the tables
        "%5d" % 0,  # chemical class: not in the tables
        "?",  # bubble class: not in the tables
        AVAILABILITY[row["status"]],
    ]
    line = " ".join(fields) + " " + dispersion + " " + thermal_group(row) + " 0 0\n"
    if len(line) > LINE_LIMIT:
        raise ValueError("glass line of %s too long" % name)
    return line


def target_catalog(row, default):
    if row["status"] == "obsolete":
        return "obsolete.glc"
    if default == "misc.glc" and row["vendor"].upper() == "CORNING":
        return "corning.glc"
    return default


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    source_dir, out_dir = argv[1], argv[2]
    lines = {file: {} for file, _ in CATALOGS}
    left_out = []
    for table, default in SOURCES:
        with open(os.path.join(source_dir, table), encoding="utf-8", newline="") as f:
            for row in csv.DictReader(f, delimiter="\t"):
                line = glass_line(row)
                if line is None:
                    left_out.append((table, row["name"], row["dispersion_formula"]))
                    continue
                catalog = target_catalog(row, default)
                key = row["name"].ljust(NAME_WIDTH).encode("ascii")
                if key in lines[catalog]:
                    raise ValueError("%s twice in %s" % (row["name"], catalog))
                lines[catalog][key] = line
    os.makedirs(out_dir, exist_ok=True)
    for file, title in CATALOGS:
        glasses = lines[file]
        if len(glasses) > ROOM:
            raise ValueError("%s: %d glasses, room for %d" % (file, len(glasses), ROOM))
        with open(os.path.join(out_dir, file), "w", encoding="ascii", newline="\n") as out:
            out.write("%s %5d %s\n" % (VERSION, len(glasses), title))
            for key in sorted(glasses):  # bytewise order of the blank-padded names
                out.write(glasses[key])
        print("%-13s %4d glasses" % (file, len(glasses)))
    for table, name, formula in left_out:
        print("left out: %s %s (%s)" % (table, name, formula))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
