// Text in graphics windows: the words a text records for its anchor, lines and trimming, and the
// strokes it draws with the stroke font (nothing with an empty font).
//
// Hand geometry: the full viewport at size 10 gives character units of 32 surface units along
// x and -32 along y (surface y grows downward); world (0.5, 0.5) is the surface centre.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_files.h"
#include "graphics/graphics_raster.h"
#include "graphics/graphics_text.h"
#include "graphics/graphics_window.h"
#include "graphics/stroke_font.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "tests/support/built_tables.h"
#include "ui/window_table.h"

namespace {

using Words = std::vector<std::uint16_t>;

std::uint16_t word16(int v) {
    return static_cast<std::uint16_t>(v);
}

class GraphicsText : public ::testing::Test, public tavo_test::MessageConsole {
protected:
    void SetUp() override {
        platform::reset_all_state();
        std::filesystem::copy_file(tavo_test::built_root() / "bin/amo/tvgsfont.amo",
                                   tree.root() / "bin/amo/tvgsfont.amo");
        ASSERT_EQ(open_console_with_built_messages(), 0);
        ASSERT_EQ(load_stroke_font(), 0);
        set_graphics_text_drawer(gfx_text);
        ASSERT_EQ(graphwin_open(1, 0, 0, 0, 0), 0);
    }
    void TearDown() override {
        set_graphics_text_drawer(nullptr);
        free_stroke_font();
        platform::reset_all_state();
    }
};

TEST_F(GraphicsText, TextRecordsItsAnchoredStart) {
    struct Case {
        const char* name;
        int anchor;  // -1: the defaults
        const char* text;
        Words expected;
    };
    // "AB" is 16 units wide (6 for the first character, pitch 10 for the second).
    const std::vector<Case> cases = {
        {"defaults: foot-left at the point", -1, "AB", {0x1801, 0x2002, 0, 0, 0x4241, 0}},
        // Centre-middle: 8 units back along x, 6 down along y: (-256, +192).
        {"anchor 5", 5, "AB", {0x1800, 0, 10, 20, 10, 0x2002, word16(-256), 192, 0x4241, 0}},
        // Anchor 24: offset 8, centred, foot 8 units above: (-256, -256).
        {"anchor 24",
         24,
         "AB",
         {0x1800, 0, 10, 20, 10, 0x2002, word16(-256), word16(-256), 0x4241, 0}},
        // The second line starts one line pitch (20 units) lower.
        {"two lines", -1, "A\nB", {0x1801, 0x2001, 0, 0, 0x0041, 0x2001, 0, 640, 0x0042}},
        {"control characters are dropped", -1, "A\tB", {0x1801, 0x2002, 0, 0, 0x4241, 0}},
        {"an empty text records nothing", -1, "", {}},
    };
    for (const Case& c : cases) {
        graphwin_new_page(0);
        gfx_move_to(0.5, 0.5);
        if (c.anchor >= 0) gfx_set_text_anchor(c.anchor, 0);
        gfx_printf("%s", c.text);
        EXPECT_EQ(display_list_words(), c.expected) << c.name;
        EXPECT_EQ(text_settings().defaults, 1) << c.name;  // settings are used once
    }
}

TEST_F(GraphicsText, CharactersOutsideTheBoxAreTrimmed) {
    // x 0.99 is surface 20274 (rel 10034); the second character's cell would pass 20479.
    gfx_move_to(0.99, 0.5);
    gfx_printf("ABCDE");
    EXPECT_EQ(display_list_words(), (Words{0x1801, 0x2001, 10034, 0, 0x0041}));
    graphwin_new_page(0);
    gfx_move_to(1.5, 0.5);
    gfx_printf("ABCDE");
    EXPECT_EQ(display_list_words(), (Words{0x1801}));
}

TEST_F(GraphicsText, AnIsotropicPictureKeepsItsTextsWhole) {
    // With the isotropic flag a text is stored whole (n = length div 2 + 1 words) and trimmed
    // only when drawn; the formatted-output buffer holds at most 511 characters.
    FrameBox iso{0, 1, 0, 1, 1};
    gfx_frame(1, 2, &iso);
    gfx_move_to(0.99, 0.5);
    const std::string text(600, 'x');
    gfx_printf("%s", text.c_str());
    const Words words = display_list_words();
    ASSERT_GE(words.size(), 3u);
    EXPECT_EQ(words[0], 0x3801);
    EXPECT_EQ(words[1], 0x1801);
    EXPECT_EQ(words[2], 0x2000 | 256);
    EXPECT_EQ(words.size(), 3u + 2u + 256u);
}

TEST_F(GraphicsText, TheFontDrawsAndReplaysTheSamePixels) {
    IndexedRaster direct(640, 480);
    set_graphics_target(&direct);
    graphwin_clear(&direct);
    gfx_set_color(3);
    gfx_move_to(0.2, 0.5);
    gfx_set_text_size(3, 0, 0);
    gfx_printf(
        "Tavo @a @A\x0b"
        "box\x0b");
    gfx_move_to(0.2, 0.2);
    gfx_set_text_slant(30, 20);
    gfx_printf("slanted");
    set_graphics_target(nullptr);
    int ink = 0;
    for (std::uint8_t p : direct.pixels()) ink += p == 3 ? 1 : 0;
    EXPECT_GT(ink, 200);
    EXPECT_EQ(graphwin_capture().pixels(), direct.pixels());

    free_stroke_font();  // an empty font records the text and draws nothing
    IndexedRaster empty(640, 480);
    set_graphics_target(&empty);
    graphwin_new_page(0);
    graphwin_clear(&empty);
    gfx_move_to(0.2, 0.5);
    gfx_printf("Tavo");
    set_graphics_target(nullptr);
    EXPECT_EQ(display_list_words().size(), 7u);  // attributes, header, x, y, 3 text words
    EXPECT_EQ(std::count(empty.pixels().begin(), empty.pixels().end(), 3), 0);
}

// The letters of the stroke font on its own grid, one cell per character unit: a stroke covers
// the cells its line passes through. Small letters drawn a few pixels high keep only this much
// of their shape, so each must stay apart from every other there.
constexpr int kCellsWide = 8;

std::vector<std::uint8_t> glyph_cells(int code) {
    constexpr int kWidth = kCellsWide, kBottom = -3, kTop = 13;  // the cell and the descenders
    std::vector<std::uint8_t> cells(kWidth * (kTop - kBottom), 0);
    auto mark = [&](double x, double y) {
        const int cx = static_cast<int>(std::lround(x)), cy = static_cast<int>(std::lround(y));
        if (cx >= 0 && cx < kWidth && cy >= kBottom && cy < kTop) {
            cells[static_cast<std::size_t>((cy - kBottom) * kWidth + cx)] = 1;
        }
    };
    const std::vector<GlyphPoint> points = decode_set1_glyph(code);
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!points[i].pen_down || i == 0) {
            mark(points[i].x, points[i].y);
            continue;
        }
        const GlyphPoint& a = points[i - 1];
        const GlyphPoint& b = points[i];
        for (int s = 0; s <= 32; ++s) {
            mark(a.x + (b.x - a.x) * s / 32.0, a.y + (b.y - a.y) * s / 32.0);
        }
    }
    return cells;
}

int cells_apart(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    int n = 0;
    for (std::size_t i = 0; i < a.size(); ++i) n += a[i] != b[i] ? 1 : 0;
    return n;
}

// The pieces of ink (cells joined by an edge or a corner) and the holes (blank cells closed off
// from the edge of the grid, joined by an edge only) of a letter on the grid.
struct Shape {
    int pieces = 0;
    int holes = 0;
};

Shape shape_of(const std::vector<std::uint8_t>& cells) {
    const int w = kCellsWide, h = static_cast<int>(cells.size()) / kCellsWide;
    std::vector<int> seen(cells.size(), 0);
    auto fill = [&](int start, std::uint8_t ink, bool corners) {
        std::vector<int> stack{start};
        seen[static_cast<std::size_t>(start)] = 1;
        while (!stack.empty()) {
            const int at = stack.back();
            stack.pop_back();
            const int x = at % w, y = at / w;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    if ((dx == 0 && dy == 0) || (!corners && dx != 0 && dy != 0)) continue;
                    const int nx = x + dx, ny = y + dy, n = ny * w + nx;
                    if (nx < 0 || nx >= w || ny < 0 || ny >= h) continue;
                    if (seen[static_cast<std::size_t>(n)] != 0 ||
                        cells[static_cast<std::size_t>(n)] != ink) {
                        continue;
                    }
                    seen[static_cast<std::size_t>(n)] = 1;
                    stack.push_back(n);
                }
            }
        }
    };
    // The blank cells reached from the grid's border are outside.
    for (int i = 0; i < w * h; ++i) {
        const int x = i % w, y = i / w;
        const bool border = x == 0 || y == 0 || x == w - 1 || y == h - 1;
        if (border && cells[static_cast<std::size_t>(i)] == 0 &&
            seen[static_cast<std::size_t>(i)] == 0) {
            fill(i, 0, false);
        }
    }
    Shape s;
    for (int i = 0; i < w * h; ++i) {
        if (seen[static_cast<std::size_t>(i)] != 0) continue;
        const std::uint8_t ink = cells[static_cast<std::size_t>(i)];
        fill(i, ink, ink != 0);
        ++(ink != 0 ? s.pieces : s.holes);
    }
    return s;
}

TEST_F(GraphicsText, SmallLettersAndDigitsKeepTheirShapesOnTheFontsGrid) {
    // Tables and captions are lettered a few pixels high, where a character keeps only what the
    // grid holds: "a" must keep its bowl apart from "c", the dot of "i" must stay off its stem,
    // "8" must keep both its loops.
    const std::string_view characters = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (std::size_t i = 0; i < characters.size(); ++i) {
        const char c = characters[i];
        const Shape s = shape_of(glyph_cells(c));
        const int holes = std::string_view("abdegopq0469").find(c) != std::string_view::npos ? 1
                          : c == '8'                                                         ? 2
                                                                                             : 0;
        EXPECT_EQ(s.holes, holes) << c;
        EXPECT_EQ(s.pieces, c == 'i' || c == 'j' ? 2 : 1) << c;
        for (std::size_t j = i + 1; j < characters.size(); ++j) {
            EXPECT_GE(cells_apart(glyph_cells(c), glyph_cells(characters[j])), 2)
                << c << " and " << characters[j];
        }
    }
}

}  // namespace
