// The stroke font: two glyph sets read from "gsfont.amo" ("amgf_01"). Set 1 holds the glyphs of
// character codes 0-127 (marker symbols in the control-code positions), set 2 up to 64 symbol
// glyphs. Glyphs are drawn by the graphics code; this unit loads and decodes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr int kFontSet1Glyphs = 128;
inline constexpr int kFontSet2Glyphs = 64;
inline constexpr int kFontCellTop =
    13;  // set 1 heights are counted down from 13 above the baseline

struct StrokeFont {
    std::uint8_t* set1 = nullptr;
    std::size_t set1_size = 0;
    std::uint8_t* set2 = nullptr;
    std::size_t set2_size = 0;
    std::uint16_t set1_start[kFontSet1Glyphs] = {};
    std::uint16_t set2_start[kFontSet2Glyphs] = {};
    int set1_count = 0;  // glyphs whose start is known
    int set2_count = 0;
};

// 0; -1 when a block cannot be allocated; or the table reader's result when the file cannot be
// opened or read (reported; the font then stays empty).
int load_stroke_font();
void free_stroke_font();
const StrokeFont& stroke_font();

// One decoded point of a glyph in character units (Y upward from the baseline).
struct GlyphPoint {
    int x = 0;
    int y = 0;
    bool pen_down = false;
    // Special pen-down codes right after a pen-up point: 0 none, 1 circle of radius `circle`,
    // 2 fill mark (set 2: fill mark 2), 3 fill mark 1 (set 2 only).
    int special = 0;
    int circle = 0;
};

// Decodes glyph `code` of set 1 / glyph `index` of set 2 (without slant); empty when the glyph
// is not in the font. Decoding stops at the end of the set's block.
std::vector<GlyphPoint> decode_set1_glyph(int code);
std::vector<GlyphPoint> decode_set2_glyph(int index);
// The same glyphs decoded once when the font was loaded, for drawing.
const std::vector<GlyphPoint>& set1_glyph(int code);
const std::vector<GlyphPoint>& set2_glyph(int index);
