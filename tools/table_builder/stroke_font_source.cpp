// The stroke font from the Hershey fonts: printable ASCII from the simplex roman font, marker
// symbols from the marker font in the control-code positions 1.., symbols of set 2 from the
// lower-case Greek font. Coordinates are scaled to character units: set 1 onto its 8 x 16 grid.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "tools/table_builder/builders.h"

namespace {

constexpr double kScale = 0.35;      // Hershey units per character unit: caps 21 -> about 7
constexpr int kHersheyBaseline = 9;  // Hershey y of the baseline (y grows downward)
constexpr int kCellTop = 13;
constexpr double kCellCentreX = 3.5;
constexpr int kFirstMarkerCode = 1;
constexpr int kLastMarkerCode = 31;
constexpr int kSet2Glyphs = 26;
// Code 20 is the plus-minus sign of the "@t" markup that tolerances are written with; the
// marker font has none (its twentieth symbol is a diamond), so it is drawn here: a plus over a
// bar on the baseline, as (x, height below the cell top) pairs, pen up at each stroke's start.
constexpr int kPlusMinusCode = 20;
constexpr std::uint8_t kPlusMinus[] = {
    0x3B, kGlyphPenDown | 0x35,  // the upright of the plus, heights 2 to 8
    0x08, kGlyphPenDown | 0x68,  // its bar at height 5
    0x0D, kGlyphPenDown | 0x6D,  // the bar on the baseline
    0x00};

// The small letters are drawn here rather than taken from the font: scaled onto the coarse grid,
// its curves lose their shapes ("a" and "c" become alike, the dot of "i" joins its stem). Each
// letter is a run of strokes on whole character units, x 1 to 5, with its body from the
// baseline to height 5, ascenders to 7 (the dots of "i" and "j" to 8) and descenders to -2;
// "|" starts a new stroke.
constexpr const char* kSmallLetters[26] = {
    "14 25 45 54 50 | 52 22 11 20 40 51",            // a
    "17 10 | 11 20 40 51 54 45 25 14",               // b
    "54 45 25 14 11 20 40 51",                       // c
    "57 50 | 54 45 25 14 11 20 40 51",               // d
    "13 53 54 45 25 14 11 20 40 51",                 // e
    "57 37 26 20 | 15 45",                           // f
    "55 5-1 4-2 2-2 1-1 | 54 45 25 14 12 21 41 52",  // g
    "17 10 | 14 25 45 54 50",                        // h
    "25 35 30 | 38 37",                              // i
    "35 45 4-1 3-2 1-2 | 48 47",                     // j
    "17 10 | 45 12 | 23 50",                         // k
    "27 37 31 40",                                   // l
    "15 10 | 14 25 34 30 | 34 45 54 50",             // m
    "15 10 | 14 25 45 54 50",                        // n
    "25 45 54 51 40 20 11 14 25",                    // o
    "15 1-2 | 14 25 45 54 51 40 20 11",              // p
    "55 5-2 | 54 45 25 14 11 20 40 51",              // q
    "15 10 | 14 25 45 54",                           // r
    "55 25 14 13 22 42 51 40 10",                    // s
    "26 21 30 50 | 15 45",                           // t
    "15 11 20 40 51 | 55 50",                        // u
    "15 30 55",                                      // v
    "15 20 33 40 55",                                // w
    "15 50 | 10 55",                                 // x
    "15 12 21 51 | 55 5-1 4-2 1-2",                  // y
    "15 55 10 50",                                   // z
};

// The digits, drawn the same way for the same reason ("8" and "5" ran together), x 1 to 5 and
// heights 0 to 7.
constexpr const char* kDigits[10] = {
    "27 47 56 51 40 20 11 16 27",                       // 0
    "26 37 30",                                         // 1
    "16 27 47 56 55 11 10 50",                          // 2
    "16 27 47 56 55 44 34 | 44 53 51 40 20 11",         // 3
    "40 47 13 12 52",                                   // 4
    "57 17 14 44 53 51 40 20 11",                       // 5
    "47 37 15 11 20 40 51 53 44 14",                    // 6
    "17 57 56 32 30",                                   // 7
    "24 15 16 27 47 56 55 44 24 13 11 20 40 51 53 44",  // 8
    "20 30 52 56 47 27 16 14 23 53",                    // 9
};

// A small letter's or a digit's strokes as set 1 bytes: each point is its x digit followed by its
// height (one digit, or "-" and a digit).
Bytes small_letter_glyph(const char* strokes) {
    Bytes out;
    bool first = true;
    for (const char* p = strokes; *p != 0;) {
        if (*p == ' ') {
            ++p;
        } else if (*p == '|') {
            first = true;
            ++p;
        } else {
            const int x = *p++ - '0';
            const bool below = *p == '-';
            if (below) ++p;
            const int height = (below ? -1 : 1) * (*p++ - '0');
            out.push_back(static_cast<std::uint8_t>((first ? 0 : kGlyphPenDown) |
                                                    (x << kGlyphXShift) | (kCellTop - height)));
            first = false;
        }
    }
    out.push_back(0);
    return out;
}

struct HersheyGlyph {
    int left = 0, right = 0;
    std::vector<std::vector<std::pair<int, int>>> strokes;
};

bool read_hershey(const std::string& path, std::vector<HersheyGlyph>& glyphs, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    std::string line, pending;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pending += line;
        if (pending.size() < 8) continue;
        const int count = std::atoi(pending.substr(5, 3).c_str());
        if (pending.size() < 8 + 2 * static_cast<std::size_t>(count)) continue;  // continued
        HersheyGlyph g;
        const std::string pairs = pending.substr(8);
        g.left = pairs[0] - 'R';
        g.right = pairs[1] - 'R';
        g.strokes.emplace_back();
        for (int i = 1; i < count; ++i) {
            const char a = pairs[2 * i], b = pairs[2 * i + 1];
            if (a == ' ' && b == 'R') {
                g.strokes.emplace_back();
            } else {
                g.strokes.back().push_back({a - 'R', b - 'R'});
            }
        }
        glyphs.push_back(g);
        pending.clear();
    }
    if (!pending.empty()) {
        error = path + ":" + std::to_string(number) + ": glyph cut short";
        return false;
    }
    return true;
}

Bytes set1_glyph(const HersheyGlyph& g) {
    Bytes out;
    const double centre = (g.left + g.right) / 2.0;
    for (const auto& stroke : g.strokes) {
        int last_x = -1, last_y = -1;
        bool first = true;
        for (const auto& [hx, hy] : stroke) {
            const int x = std::clamp(
                static_cast<int>(std::lround((hx - centre) * kScale + kCellCentreX)), 0, 6);
            const int y = static_cast<int>(std::lround((kHersheyBaseline - hy) * kScale));
            // A pen-up at the top-left corner would be the byte 0 that ends the glyph.
            const int y_down = std::clamp(kCellTop - y, first && x == 0 ? 1 : 0, 15);
            // A pen-down point at x 7 right after a pen-up is a special code; x stays below 7.
            if (!first && x == last_x && y_down == last_y) continue;
            out.push_back(static_cast<std::uint8_t>((first ? 0 : kGlyphPenDown) |
                                                    (x << kGlyphXShift) | y_down));
            last_x = x;
            last_y = y_down;
            first = false;
        }
    }
    out.push_back(0);
    return out;
}

Bytes set2_glyph(const HersheyGlyph& g) {
    Bytes out;
    const double centre = (g.left + g.right) / 2.0;
    for (const auto& stroke : g.strokes) {
        bool first = true;
        for (const auto& [hx, hy] : stroke) {
            const int x =
                std::clamp(static_cast<int>(std::lround((hx - centre) * kScale)), -62, 62);
            const int y = static_cast<int>(std::lround((kHersheyBaseline - hy) * kScale));
            const int dy = std::clamp(y - kCellTop, -62, 62);
            std::uint8_t b1 = static_cast<std::uint8_t>((first ? 0 : kGlyphPenDown) | std::abs(x));
            if (x < 0) b1 |= kGlyphNegative;
            // y = 13 - m is written without kGlyphAboveTop; m = 0 at y = 13 would end the glyph,
            // so a point on the cell top is written as 13 + 0, which is the same height.
            std::uint8_t b2 = dy > 0 ? static_cast<std::uint8_t>(kGlyphAboveTop | dy)
                                     : static_cast<std::uint8_t>(-dy);
            if (b2 == 0) b2 = kGlyphAboveTop;
            out.push_back(b1);
            out.push_back(b2);
            first = false;
        }
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

}  // namespace

bool build_font(const std::string& folder, Bytes& out, std::string& error) {
    std::vector<HersheyGlyph> roman, markers, greek;
    if (!read_hershey(folder + "/rowmans.jhf", roman, error) ||
        !read_hershey(folder + "/markers.jhf", markers, error) ||
        !read_hershey(folder + "/greek.jhf", greek, error)) {
        return false;
    }
    // The fonts list glyphs for codes 32..126 in order.
    if (roman.size() < 95 || greek.size() < 95) {
        error = folder + ": a font has fewer than 95 glyphs";
        return false;
    }
    std::vector<HersheyGlyph> marker_glyphs;
    for (const HersheyGlyph& g : markers) {
        bool empty = true;
        for (const auto& s : g.strokes) empty = empty && s.empty();
        if (!empty) marker_glyphs.push_back(g);
    }
    Bytes set1;
    for (int code = 0; code < 128; ++code) {
        const int marker = code - kFirstMarkerCode;
        Bytes glyph{0};
        if (code >= 'a' && code <= 'z') {
            glyph = small_letter_glyph(kSmallLetters[code - 'a']);
        } else if (code >= '0' && code <= '9') {
            glyph = small_letter_glyph(kDigits[code - '0']);
        } else if (code >= 32 && code <= 126) {
            glyph = set1_glyph(roman[static_cast<std::size_t>(code - 32)]);
        } else if (code == kPlusMinusCode) {
            glyph.assign(std::begin(kPlusMinus), std::end(kPlusMinus));
        } else if (code <= kLastMarkerCode && marker >= 0 &&
                   marker < static_cast<int>(marker_glyphs.size())) {
            glyph = set1_glyph(marker_glyphs[static_cast<std::size_t>(marker)]);
        }
        set1.insert(set1.end(), glyph.begin(), glyph.end());
    }
    Bytes set2;
    for (int i = 0; i < kSet2Glyphs; ++i) {
        const Bytes glyph = set2_glyph(greek[static_cast<std::size_t>('a' - 32 + i)]);
        set2.insert(set2.end(), glyph.begin(), glyph.end());
    }
    if (set1.size() > kField16Max || set2.size() > kField16Max) {
        error = "stroke font: a glyph set exceeds 65535 bytes";
        return false;
    }
    Bytes t(kFontMagic, kFontMagic + kAmoMagicSize);
    put_be16(t, static_cast<unsigned>(set1.size()));
    t.insert(t.end(), set1.begin(), set1.end());
    put_be16(t, static_cast<unsigned>(set2.size()));
    t.insert(t.end(), set2.begin(), set2.end());
    out.swap(t);
    return true;
}
