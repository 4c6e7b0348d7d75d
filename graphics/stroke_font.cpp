#include "graphics/stroke_font.h"

#include "numeric/memory.h"
#include "runtime/table_files.h"
#include "runtime/table_format.h"

namespace {

// The loaded font, and its glyphs decoded once on loading: markers and letters are drawn by
// the thousand.
struct StrokeFontState {
    StrokeFont font;
    std::vector<GlyphPoint> set1_glyphs[kFontSet1Glyphs];
    std::vector<GlyphPoint> set2_glyphs[kFontSet2Glyphs];
};

StrokeFontState g_font;

constexpr int kSpecialX = 7;
constexpr int kSet2SpecialMagnitude = 63;

}  // namespace

void free_stroke_font() {
    mem_free(g_font.font.set1);
    mem_free(g_font.font.set2);
    g_font.font = StrokeFont{};
    for (std::vector<GlyphPoint>& g : g_font.set1_glyphs) g.clear();
    for (std::vector<GlyphPoint>& g : g_font.set2_glyphs) g.clear();
}

const StrokeFont& stroke_font() {
    return g_font.font;
}

int load_stroke_font() {
    free_stroke_font();
    AmoFile file;
    const int rc = file.open(true, "gsfont.amo", kFontMagic);
    if (rc != 0) return rc;
    StrokeFont loaded;
    loaded.set1_size = file.read_be16();
    if (file.pending_error() == 0) loaded.set1 = file.read_block(loaded.set1_size);
    if (loaded.set1 != nullptr) {
        loaded.set2_size = file.read_be16();
        if (file.pending_error() == 0) loaded.set2 = file.read_block(loaded.set2_size);
    }
    if (loaded.set1 == nullptr || loaded.set2 == nullptr) {
        const int pending = file.pending_error();
        mem_free(loaded.set1);
        mem_free(loaded.set2);
        file.close();
        return pending != 0 ? -8 : -1;
    }
    // Set 1: a glyph starts after each zero byte; set 2: after each pair whose second byte is 0.
    loaded.set1_count = 1;
    for (std::size_t i = 0; i < loaded.set1_size && loaded.set1_count < kFontSet1Glyphs; ++i) {
        if (loaded.set1[i] == 0) {
            loaded.set1_start[loaded.set1_count++] = static_cast<std::uint16_t>(i + 1);
        }
    }
    loaded.set2_count = loaded.set2_size > 0 ? 1 : 0;
    for (std::size_t i = 0; i + 1 < loaded.set2_size && loaded.set2_count < kFontSet2Glyphs;
         i += 2) {
        if (loaded.set2[i + 1] == 0) {
            loaded.set2_start[loaded.set2_count++] = static_cast<std::uint16_t>(i + 2);
        }
    }
    file.close();
    g_font.font = loaded;
    for (int c = 0; c < g_font.font.set1_count; ++c) g_font.set1_glyphs[c] = decode_set1_glyph(c);
    for (int c = 0; c < g_font.font.set2_count; ++c) g_font.set2_glyphs[c] = decode_set2_glyph(c);
    return 0;
}

std::vector<GlyphPoint> decode_set1_glyph(int code) {
    std::vector<GlyphPoint> points;
    if (g_font.font.set1 == nullptr || code < 0 || code >= g_font.font.set1_count) return points;
    bool after_pen_up = false;
    for (std::size_t i = g_font.font.set1_start[code];
         i < g_font.font.set1_size && g_font.font.set1[i] != 0; ++i) {
        const std::uint8_t b = g_font.font.set1[i];
        GlyphPoint p;
        p.pen_down = (b & kGlyphPenDown) != 0;
        const int x = (b >> kGlyphXShift) & kGlyphXMask;
        const int y_down = b & kGlyphYMask;
        if (p.pen_down && after_pen_up && x == kSpecialX) {
            p.special = y_down == 0 ? 2 : 1;
            p.circle = y_down;
            p.x = points.back().x;
            p.y = points.back().y;
        } else {
            p.x = x;
            p.y = kFontCellTop - y_down;
        }
        after_pen_up = !p.pen_down;
        points.push_back(p);
    }
    return points;
}

std::vector<GlyphPoint> decode_set2_glyph(int index) {
    std::vector<GlyphPoint> points;
    if (g_font.font.set2 == nullptr || index < 0 || index >= g_font.font.set2_count) return points;
    bool after_pen_up = false;
    for (std::size_t i = g_font.font.set2_start[index]; i + 1 < g_font.font.set2_size; i += 2) {
        const std::uint8_t b1 = g_font.font.set2[i];
        const std::uint8_t b2 = g_font.font.set2[i + 1];
        if (b2 == 0) break;
        GlyphPoint p;
        p.pen_down = (b1 & kGlyphPenDown) != 0;
        const int xm = b1 & kGlyphMagnitudeMask;
        const int ym = b2 & kGlyphMagnitudeMask;
        if (p.pen_down && after_pen_up && xm == kSet2SpecialMagnitude) {
            p.special = (b2 & kGlyphAboveTop) != 0 ? 3 : (ym == 0 ? 2 : 1);
            p.circle = p.special == 1 ? ym : 0;
            p.x = points.back().x;
            p.y = points.back().y;
        } else {
            p.x = (b1 & kGlyphNegative) != 0 ? -xm : xm;
            p.y = (b2 & kGlyphAboveTop) != 0 ? kFontCellTop + ym : kFontCellTop - ym;
        }
        after_pen_up = !p.pen_down;
        points.push_back(p);
    }
    return points;
}

const std::vector<GlyphPoint>& set1_glyph(int code) {
    static const std::vector<GlyphPoint> none;
    return code >= 0 && code < g_font.font.set1_count ? g_font.set1_glyphs[code] : none;
}

const std::vector<GlyphPoint>& set2_glyph(int index) {
    static const std::vector<GlyphPoint> none;
    return index >= 0 && index < g_font.font.set2_count ? g_font.set2_glyphs[index] : none;
}
