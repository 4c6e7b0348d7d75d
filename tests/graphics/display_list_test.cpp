// Graphics windows and their display lists: the words the primitives record, the plotting
// surface, the window operations, and replay on the console's recording surfaces.
//
// Hand mapping used below (default aspect 0.625: surface 20480 x 12800, centre 10240, 6400; the
// default frames map world 0..1 onto the whole surface):
//   scale x = 20479, offset x = 0.5; scale y = -12799, offset y = 12799.5.
//   world 0.25 -> x 5120.25 -> 5120 (rel -5120), y 9599.75 -> 9599 (rel 3199)
//   world 0.75 -> x 15359.75 -> 15359 (rel 5119), y 3200.25 -> 3200 (rel -3200)
//   world 0.5  -> 10240, 6400 (rel 0, 0)
//   clip bounds 1..20478 in x, 1..12798 in y.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_files.h"
#include "graphics/graphics_hooks.h"
#include "graphics/graphics_hpgl.h"
#include "graphics/graphics_raster.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_text.h"
#include "graphics/graphics_window.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "tests/support/built_tables.h"
#include "tests/support/temp_tree.h"
#include "ui/window_table.h"

namespace {

using Words = std::vector<std::uint16_t>;

std::uint16_t w(int v) {
    return static_cast<std::uint16_t>(v);
}

class Graphics : public ::testing::Test, public tavo_test::MessageConsole {
protected:
    void SetUp() override {
        platform::reset_all_state();
        ASSERT_EQ(open_console_with_built_messages(), 0);
        ASSERT_EQ(graphwin_open(1, 0, 0, 0, 0), 0);
    }
    void TearDown() override { platform::reset_all_state(); }

    platform::RecordingDeviceContext& dc(int window) { return *ui.recording_context(window); }
    static void line(double x0, double y0, double x1, double y1) {
        gfx_move_to(x0, y0);
        gfx_draw_to(x1, y1);
        flush_pending_polyline();
    }
};

TEST_F(Graphics, PrimitivesRecordTheseWords) {
    struct Case {
        const char* name;
        void (*draw)();
        Words expected;
    };
    const std::vector<Case> cases = {
        {"a move alone records nothing",
         [] {
             gfx_move_to(0.3, 0.3);
             flush_pending_polyline();
         },
         {}},
        {"a line inside the box",
         [] { line(0.25, 0.25, 0.75, 0.75); },
         {0x4802, w(-5120), 3199, 5119, w(-3200)}},
        // x 2.0 lies far right: the segment is cut at the clip bound 20478 (rel 10238).
        {"a line leaving the box is stored cut",
         [] { line(0.5, 0.5, 2.0, 0.5); },
         {0x4802, 0, 0, 10238, 0}},
        {"a line wholly outside is dropped", [] { line(2, 2, 3, 3); }, {}},
        {"a point of no place is drawn at the centre",
         [] { line(std::nan(""), std::nan(""), 0.75, 0.75); },
         {0x4802, 0, 0, 5119, w(-3200)}},
        {"line style 7 is style 2", [] { gfx_set_line_style(7); }, {0x6002}},
        {"an unchanged style is not recorded", [] { gfx_set_line_style(5); }, {}},
        {"fill colour 17 wraps to 2 of 15 drawing colours",
         [] { gfx_set_fill_color(17); },
         {0x6802}},
        {"pen colour 3", [] { gfx_set_color(3); }, {0x0803}},
        // (0.5, 0.52, 0.9, 0.1): y swapped, x widened to 0.05 from its minimum.
        {"viewport ordered and widened",
         [] {
             FrameBox f{0.5, 0.52, 0.9, 0.1, 0};
             gfx_frame(1, 1, &f);
         },
         {0x1000, 5000, 1000, 5500, 9000}},
        {"a viewport with a character size code",
         [] {
             FrameBox f{0.1, 0.6, 0.2, 0.7, 14};
             gfx_frame(1, 1, &f);
         },
         {0x100E, 1000, 2000, 6000, 7000}},
        {"an isotropic world frame records its flag",
         [] {
             FrameBox f{0, 1, 0, 1, 1};
             gfx_frame(1, 2, &f);
         },
         {0x3801}},
        {"the viewport box", [] { gfx_frame_box(); }, {0x4000}},
        {"dots outside the clip box are left out",
         [] {
             const double x[] = {0.5, 5.0, 0.25};
             const double y[] = {0.5, 0.5, 0.25};
             gfx_dots(x, y, 3);
         },
         {0x3002, 0, 0, w(-5120), 3199}},
        {"marker type 0 draws dots",
         [] {
             const double x[] = {0.5};
             const double y[] = {0.5};
             gfx_polymarker(x, y, 1, 0, 1.0);
         },
         {0x3001, 0, 0}},
        {"markers: type 3, size 1.5 gives code 15",
         [] {
             const double x[] = {0.5, 0.25};
             const double y[] = {0.5, 0.25};
             gfx_polymarker(x, y, 2, 3, 1.5);
         },
         {0x2802, 0x030F, 0, 0, w(-5120), 3199}},
        {"markers all outside take their record back",
         [] {
             const double x[] = {7.0};
             const double y[] = {0.5};
             gfx_polymarker(x, y, 1, 3, 1.0);
         },
         {}},
        {"a filled polygon sets and resets its fill",
         [] {
             const double x[] = {0.25, 0.75, 0.5};
             const double y[] = {0.25, 0.25, 0.75};
             gfx_polyline(x, y, 3, 4);
         },
         {0x6804, 0x4803, w(-5120), 3199, 5119, 3199, 0, w(-3200), 0x6800}},
    };
    for (const Case& c : cases) {
        graphwin_new_page(0);
        c.draw();
        EXPECT_EQ(display_list_words(), c.expected) << c.name;
    }
}

TEST_F(Graphics, ALongPolylineIsSplitIntoPiecesThatShareTheirEnds) {
    std::vector<double> x(450), y(450);
    for (int i = 0; i < 450; ++i) {
        x[static_cast<std::size_t>(i)] = 0.1 + 0.8 * i / 449.0;
        y[static_cast<std::size_t>(i)] = (i % 2) != 0 ? 0.3 : 0.6;
    }
    gfx_polyline(x.data(), y.data(), 450, 0);
    const Words words = display_list_words();
    ASSERT_EQ(words.size(), 3u + 2u * (200 + 200 + 52));
    EXPECT_EQ(words[0], 0x4800 | 200);
    EXPECT_EQ(words[401], 0x4800 | 200);
    EXPECT_EQ(words[802], 0x4800 | 52);
    // The second piece starts at the last point of the first, the third at the second's last.
    EXPECT_EQ(words[402], words[399]);
    EXPECT_EQ(words[403], words[400]);
    EXPECT_EQ(words[803], words[800]);
    EXPECT_EQ(words[804], words[801]);
}

// Drawing through a run of points in one call leaves the same words, device calls, position
// and pending points as drawing to each point in turn: across the pending pieces' ends, with a
// piece already begun, leaving the clip box, and in an isotropic frame (stored unclipped).
TEST_F(Graphics, DrawingThroughPointsEqualsDrawingToEachInTurn) {
    struct Case {
        const char* name;
        bool isotropic;
        bool begun;  // a segment drawn before the run, so that its piece is pending
        int count;
        double reach;  // x of the run's last point (beyond 1 leaves the box)
    };
    const Case cases[] = {
        {"two pieces' ends crossed", false, false, 450, 0.9},
        {"a piece already pending", false, true, 398, 0.9},
        {"leaving the box", false, true, 250, 2.5},
        {"isotropic frame", true, false, 420, 2.5},
    };
    struct Drawn {
        Words words;
        std::vector<std::string> calls;
        double x, y;
        int pending;
    };
    for (const Case& c : cases) {
        std::vector<double> x(static_cast<std::size_t>(c.count));
        std::vector<double> y(x.size());
        for (std::size_t i = 0; i < x.size(); ++i) {
            x[i] =
                0.1 + (c.reach - 0.1) * static_cast<double>(i) / static_cast<double>(c.count - 1);
            y[i] = 0.5 + 0.3 * std::sin(0.37 * static_cast<double>(i));
        }
        auto draw = [&](bool through) {
            FrameBox u{0, 1, 0, 1, c.isotropic ? 1 : 0};
            gfx_frame(1, 2, &u);
            graphwin_new_page(0);
            gfx_frame(1, 2, &u);
            dc(7).clear_records();
            gfx_move_to(0.05, 0.05);
            if (c.begun) gfx_draw_to(0.08, 0.2);
            if (through) {
                gfx_draw_through(x.data(), y.data(), c.count);
            } else {
                for (std::size_t i = 0; i < x.size(); ++i) gfx_draw_to(x[i], y[i]);
            }
            Drawn d{};
            d.pending = pending_point_count();
            gfx_get_position(&d.x, &d.y);
            flush_pending_polyline();
            d.words = display_list_words();
            d.calls = dc(7).records();
            return d;
        };
        const Drawn each = draw(false);
        const Drawn run = draw(true);
        EXPECT_GT(each.words.size(), 100u) << c.name;
        EXPECT_FALSE(each.calls.empty()) << c.name;
        EXPECT_EQ(run.words, each.words) << c.name;
        EXPECT_EQ(run.calls, each.calls) << c.name;
        EXPECT_EQ(run.pending, each.pending) << c.name;
        EXPECT_EQ(run.x, each.x) << c.name;
        EXPECT_EQ(run.y, each.y) << c.name;
    }
}

TEST_F(Graphics, AColourSequenceIsWalkedAndWraps) {
    std::int32_t sequence[256] = {1, 2, 3, 4, 5, 6, 7, 8};
    gfx_set_color_cycle(sequence);
    gfx_set_color(0);
    EXPECT_EQ(graphics_current_record()->pen_colour, 1);
    std::vector<int> seen;
    for (int k = 0; k < 9; ++k) {
        gfx_set_color(-1);
        seen.push_back(graphics_current_record()->pen_colour);
    }
    EXPECT_EQ(seen, (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 1, 2}));
    // An explicit colour moves the position: the next one follows it.
    gfx_set_color(5);
    gfx_set_color(-1);
    EXPECT_EQ(graphics_current_record()->pen_colour, 6);
    gfx_set_color_cycle(nullptr);
    gfx_set_color(-1);  // without a sequence: the colour after the current one
    EXPECT_EQ(graphics_current_record()->pen_colour, 7);
}

TEST_F(Graphics, TextSettingsFromAnchorSlantAndSize) {
    struct Case {
        int anchor;
        int offset, h, v;
    };
    // Code k: offset (k div 10) * 4; digit d gives h = (d-1) div 3, v = (d-1) mod 3; 0 as 1.
    for (const Case& c : std::vector<Case>{{24, 8, 1, 0},
                                           {0, 0, 0, 0},
                                           {1, 0, 0, 0},
                                           {9, 0, 2, 2},
                                           {35, 12, 1, 1},
                                           {7, 0, 2, 0}}) {
        reset_text_settings();
        gfx_set_text_anchor(c.anchor, 0);
        EXPECT_EQ(text_settings().anchor_offset, c.offset) << c.anchor;
        EXPECT_EQ(text_settings().h_anchor, c.h) << c.anchor;
        EXPECT_EQ(text_settings().v_anchor, c.v) << c.anchor;
        EXPECT_EQ(text_settings().defaults, 0);
    }
    gfx_set_text_slant(30, 60);
    EXPECT_EQ(text_settings().slant, 0);
    gfx_set_text_slant(30, -45);
    EXPECT_EQ(text_settings().slant, -45);
    gfx_set_text_size(0, 0, 0);
    EXPECT_EQ(text_settings().size, 10);
    gfx_set_text_size(1.26, 2, -5);  // 12.6 rounds to 13; 10.5 + 2, 20.5 - 5 truncated
    EXPECT_EQ(text_settings().size, 13);
    EXPECT_EQ(text_settings().pitch, 12);
    EXPECT_EQ(text_settings().line_pitch, 15);
}

TEST_F(Graphics, TheAspectSetsThePlottingSurface) {
    struct Case {
        double aspect;
        int width, height;
    };
    for (const Case& c : std::vector<Case>{{0.625, 20480, 12800},
                                           {5, 5120, 20480},
                                           {4, 5120, 20480},
                                           {0.1, 20480, 5120},
                                           {1, 20480, 20480},
                                           {2, 10240, 20480}}) {
        gfx_set_aspect(c.aspect);
        EXPECT_EQ(plot_surface().width, c.width) << c.aspect;
        EXPECT_EQ(plot_surface().height, c.height) << c.aspect;
    }
}

TEST_F(Graphics, OpeningSizesWindowsAndClosingKeepsTheLastOne) {
    // Width 50 becomes 160, height 20 becomes 100.
    EXPECT_EQ(graphwin_open(1, 0, 0, 50, 20), 7);
    EXPECT_EQ(graphics_record(1).width, 160);
    EXPECT_EQ(graphics_record(1).height, 100);

    EXPECT_EQ(graphwin_open(0, 0, 0, 0, 0), 0);  // the first free of 1..6
    EXPECT_EQ(graphics_current(), 2);
    EXPECT_TRUE(ui.window_visible(8));
    EXPECT_EQ(graphwin_open(3, 0, 0, 0, 0), 0);
    // Closing graphics window 1 closes 2 with it; 3 stays current.
    graphwin_close(1);
    EXPECT_FALSE(ui.window_visible(7));
    EXPECT_FALSE(ui.window_visible(8));
    EXPECT_TRUE(ui.window_visible(9));
    EXPECT_EQ(graphics_current(), 3);
    EXPECT_FALSE(graphics_record(1).has_list());
    // The last shown of 1..6 cannot be closed.
    graphwin_close(3);
    EXPECT_TRUE(ui.window_visible(9));
    EXPECT_EQ(graphics_current(), 3);

    for (int n = 1; n <= 6; ++n) graphwin_open(n, 0, 0, 0, 0);
    graphwin_open(4, 0, 0, 0, 0);
    EXPECT_EQ(graphwin_open(0, 0, 0, 0, 0), 10);  // all shown: back to the current one, 4
    EXPECT_EQ(graphics_current(), 4);
    EXPECT_EQ(graphwin_open(-1, 0, 0, 0, 0), 7);  // the first shown one
}

// Drawing brings its window to the front, but not while a slider's routine draws: the slider
// window keeps the focus while it is dragged.
TEST_F(Graphics, DrawingBringsItsWindowToTheFrontUnlessASliderDraws) {
    if (!ui.window_exists(platform::kWindowText1)) {
        ASSERT_EQ(ui.create_window(platform::kWindowText1, "text", nullptr), 0);
    }
    ui.activate_window(platform::kWindowText1);
    ASSERT_EQ(ui.active_window(), platform::kWindowText1);
    line(0.25, 0.25, 0.75, 0.75);
    EXPECT_EQ(ui.active_window(), 7);

    ui.activate_window(platform::kWindowText1);
    set_slider_routine_running(true);
    line(0.25, 0.75, 0.75, 0.25);
    set_slider_routine_running(false);
    EXPECT_EQ(ui.active_window(), platform::kWindowText1);
}

TEST_F(Graphics, ZoomIsClampedAndSetsItsShift) {
    struct Case {
        double factor;
        int zoom, shift;
    };
    // Factors apply to the zoom in force, starting at 1000.
    for (const Case& c : std::vector<Case>{{0.5, 1000, 18},
                                           {1.5, 1500, 17},
                                           {2, 3000, 16},
                                           {2, 6000, 15},
                                           {2, 12000, 14},
                                           {4, 16000, 14},
                                           {0.01, 1000, 18}}) {
        gfx_zoom(c.factor, -1, -1);
        EXPECT_EQ(graphics_current_record()->zoom, c.zoom) << c.factor;
        EXPECT_EQ(graphics_current_record()->zoom_shift, c.shift) << c.factor;
    }
}

TEST_F(Graphics, ZoomEnlargesAboutItsCentre) {
    // Without zoom the surface centre lies at the centre of the 640 x 480 drawing area.
    const platform::Point centre = surface_to_pixel(10240, 6400);
    EXPECT_NEAR(centre.x, 320, 1);
    EXPECT_NEAR(centre.y, 240, 1);
    // Zoom 2 about the centre: the centre stays, a point a quarter width away moves twice as far.
    gfx_zoom(2, 0.5, 0.5);
    const platform::Point c = surface_to_pixel(10240, 6400);
    const platform::Point q = surface_to_pixel(10240 + 5120, 6400);
    EXPECT_NEAR(c.x, 320, 1);
    EXPECT_NEAR(c.y, 240, 1);
    EXPECT_NEAR(q.x - c.x, 320, 1);
}

TEST_F(Graphics, TheSecondFailedGrowthIsSilent) {
    set_display_list_word_budget(kDisplayListFirstWords);  // the first list, never more
    const std::vector<double> x = {0.2, 0.8};
    const std::vector<double> y = {0.2, 0.8};
    // 3199 two-point lines of 5 words fill the first list: one more would not leave the two
    // words that must stay free behind the end word.
    for (int k = 0; k < 3199; ++k) gfx_polyline(x.data(), y.data(), 2, 0);
    const std::size_t filled = display_list_words().size();
    EXPECT_EQ(err.str().find("cannot grow"), std::string::npos);
    for (int k = 0; k < 3; ++k) gfx_polyline(x.data(), y.data(), 2, 0);
    const std::string shown = err.str();
    const std::string report = "Graphics window 1: the display list cannot grow";
    const auto first = shown.find(report);
    ASSERT_NE(first, std::string::npos) << shown;
    EXPECT_EQ(shown.find(report, first + 1), std::string::npos) << shown;  // reported once
    EXPECT_EQ(display_list_words().size(), filled);
    // A new page starts over.
    graphwin_new_page(0);
    gfx_polyline(x.data(), y.data(), 2, 0);
    EXPECT_EQ(display_list_words().size(), 5u);
}

TEST_F(Graphics, ReplayDrawsWhatDirectDrawingDrew) {
    auto& surface = dc(7);
    surface.clear_records();
    gfx_set_color(2);
    line(0.25, 0.25, 0.75, 0.75);
    gfx_set_line_style(1);
    line(0.5, 0.5, 2.0, 0.5);
    FrameBox v{0.1, 0.9, 0.2, 0.8, 0};
    gfx_frame(1, 1, &v);
    gfx_frame_box();
    const double x[] = {0.3, 0.6};
    const double y[] = {0.3, 0.7};
    gfx_dots(x, y, 2);
    gfx_polymarker(x, y, 2, 2, 1.0);
    const std::vector<std::string> direct = surface.records();
    ASSERT_FALSE(direct.empty());

    surface.clear_records();
    display_list_replay(surface, 0);
    EXPECT_EQ(surface.records(), direct);
}

TEST_F(Graphics, PixelsAfterReplayEqualThoseDrawnDirectly) {
    IndexedRaster direct(640, 480);
    set_graphics_target(&direct);
    graphwin_clear(&direct);
    gfx_set_color(2);
    line(0.1, 0.1, 0.9, 0.8);
    gfx_set_line_style(3);
    gfx_set_color(5);
    line(0.1, 0.5, 1.5, 0.5);
    const double x[] = {0.2, 0.6, 0.4};
    const double y[] = {0.2, 0.3, 0.7};
    gfx_polyline(x, y, 3, 4);
    gfx_set_line_style(0);
    FrameBox v{0.55, 0.95, 0.55, 0.95, 0};
    gfx_frame(1, 1, &v);
    gfx_frame_box();
    gfx_dots(x, y, 3);
    gfx_polymarker(x, y, 3, 1, 2.0);
    set_graphics_target(nullptr);
    // Several colours were drawn, the fill among them.
    int filled = 0;
    for (std::uint8_t p : direct.pixels()) filled += p == 4 ? 1 : 0;
    EXPECT_GT(filled, 1000);
    const IndexedRaster replayed = graphwin_capture();
    EXPECT_EQ(replayed.pixels(), direct.pixels());
}

TEST_F(Graphics, HpglPensAndLineTypes) {
    tavo_test::TempTree tree;
    const std::string name = (tree.base() / "pens.hgl").string();
    for (int c : {6, 12, 7}) gfx_set_color(c);
    for (int s : {1, 2, 3, 4, 0}) gfx_set_line_style(s);
    ASSERT_EQ(graphwin_write_hpgl(name, 0, 0, 0, 0), 0);
    std::string text = tavo_test::read_file(name);
    std::erase(text, '\n');  // lines wrap after 62 characters
    // Colour 6 is pen 6, 12 is pen 6, 7 is pen 1; styles 1..4, 0 are LT2, LT1, LT4, LT7, LT.
    EXPECT_NE(text.find("SP6;SP6;SP1;LT2;LT1;LT4;LT7;LT;"), std::string::npos) << text;
}

TEST_F(Graphics, RawHpglReachesOnlyHpglFiles) {
    gfx_printf("PW0.5");  // no text drawer here: the text stays in the buffer
    gfx_hpgl_string();
    EXPECT_EQ(display_list_words(), (Words{0x5003, 'P' | 'W' << 8, '0' | '.' << 8, '5'}));
    auto& surface = dc(7);
    surface.clear_records();
    display_list_replay(surface, 0);
    EXPECT_TRUE(surface.records().empty());
    tavo_test::TempTree tree;
    const std::string name = (tree.base() / "raw.hgl").string();
    ASSERT_EQ(graphwin_write_hpgl(name, 0, 0, 0, 0), 0);
    EXPECT_NE(tavo_test::read_file(name).find(";PW0.5;"), std::string::npos)
        << tavo_test::read_file(name);
}

TEST_F(Graphics, UprightTextsBecomePlotterLabels) {
    set_graphics_text_drawer(gfx_text);
    gfx_move_to(0.5, 0.5);
    gfx_printf("AB");
    gfx_move_to(0.2, 0.2);
    gfx_set_text_slant(0, 20);
    gfx_printf("CD");  // slanted: drawn as strokes (none here, the font is not loaded)
    set_graphics_text_drawer(nullptr);
    tavo_test::TempTree tree;
    const std::string name = (tree.base() / "label.hgl").string();
    ASSERT_EQ(graphwin_write_hpgl(name, 0, 0, 0, 0), 0);
    std::string text = tavo_test::read_file(name);
    std::erase(text, '\n');
    // Size 10 on the whole viewport: 32 surface units a character unit, 16000 / 32768 plotter
    // units a surface unit. The cell is 6 x 13 units: 93 x 203 plotter units, 0.93 % of 10000
    // and 3.25 % of 6250; the pitch of 10 units is 156 plotter units: 156 x 2/3 / 93 - 1 = 0.12.
    // The start (10240, 6400) is plotter (5000, 6250 - 3125).
    EXPECT_NE(text.find("DI1,0;SR0.93,3.25;ES0.12;PU5000,3125;LBAB\x03;"), std::string::npos)
        << text;
    EXPECT_EQ(text.find("LBCD"), std::string::npos) << text;
}

TEST_F(Graphics, RewindErasesWhatFollowedTheMark) {
    auto& surface = dc(7);
    line(0.25, 0.25, 0.75, 0.75);
    const Words before = display_list_words();
    gfx_mark();
    gfx_set_color(3);
    line(0.25, 0.75, 0.75, 0.25);
    surface.clear_records();
    gfx_rewind();
    EXPECT_EQ(display_list_words(), before);
    // The erase draws the later line in the background colour, then the rest is drawn again.
    const std::vector<std::string>& r = surface.records();
    ASSERT_GE(r.size(), 4u);
    EXPECT_EQ(r[0], "pen 0,0,0 solid 1");
    // Pixels: x = (v * 8192) >> 18, y = (v * 9830) >> 18 for the 640 x 480 area, so surface
    // (5120, 3200) is (160, 119) and (15359, 9599) is (479, 359).
    EXPECT_EQ(r[2], "polyline 160,119 479,359");
    EXPECT_NE(std::find(r.begin(), r.end(), "polyline 160,359 479,119"), r.end());
}

TEST_F(Graphics, AnIsotropicPictureIsStoredUnclippedAndClippedAtReplay) {
    FrameBox u{0, 1, 0, 1, 1};
    gfx_frame(1, 2, &u);
    graphwin_new_page(0);
    gfx_frame(1, 2, &u);
    line(0.5, 0.5, 3.0, 0.5);
    const Words words = display_list_words();
    ASSERT_EQ(words.size(), 6u);
    EXPECT_EQ(words[0], 0x3801);
    EXPECT_EQ(words[1], 0x4802);
    // The isotropic frame widens x to keep squares square: x 3.0 lies beyond the clip bound
    // and is stored as it was mapped.
    EXPECT_GT(static_cast<std::int16_t>(words[4]), 10238);
    auto& surface = dc(7);
    surface.clear_records();
    display_list_replay(surface, 0);
    bool clipped = false;
    for (const std::string& r : surface.records()) {
        if (r.rfind("polyline ", 0) == 0) clipped = r.find("639,") != std::string::npos;
    }
    EXPECT_TRUE(clipped);
}

// The box of the pixels of one colour index in a raster: width and height in pixels.
std::pair<int, int> extent_of(const IndexedRaster& r, std::uint8_t index) {
    int left = r.width(), right = -1, top = r.height(), bottom = -1;
    for (int y = 0; y < r.height(); ++y) {
        for (int x = 0; x < r.width(); ++x) {
            if (r.at(x, y) != index) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return {right - left + 1, bottom - top + 1};
}

TEST_F(Graphics, AnIsotropicSquareStaysSquareWhenTheWindowIsResized) {
    graphwin_new_page(0);
    FrameBox u{-1, 1, -1, 1, 1};
    gfx_frame(1, 2, &u);
    gfx_set_color(2);
    const double x[] = {-0.5, 0.5, 0.5, -0.5, -0.5};
    const double y[] = {-0.5, -0.5, 0.5, 0.5, -0.5};
    gfx_polyline(x, y, 5, 0);
    flush_pending_polyline();
    const auto drawn = extent_of(graphwin_capture(), 2);
    ASSERT_GT(drawn.first, 50);
    EXPECT_NEAR(drawn.first, drawn.second, 1);
    // The area made wide, tall, then back: the square is replayed square, as large as fits.
    struct Case {
        int width, height;
    };
    for (const Case c : {Case{1200, 400}, Case{300, 700}, Case{640, 480}}) {
        graphics_frame_resized(7, {c.width, c.height});
        const IndexedRaster shown = graphwin_capture();
        ASSERT_EQ(shown.width(), c.width);
        const auto side = extent_of(shown, 2);
        EXPECT_NEAR(side.first, side.second, 1) << c.width << "x" << c.height;
        EXPECT_GT(side.first, std::min(c.width, c.height) / 5) << c.width << "x" << c.height;
    }
    // A page drawn after the resize is laid out for the area as it is then.
    graphics_frame_resized(7, {1200, 400});
    graphwin_new_page(0);
    gfx_frame(1, 2, &u);
    gfx_set_color(2);
    gfx_polyline(x, y, 5, 0);
    flush_pending_polyline();
    const auto wide = extent_of(graphwin_capture(), 2);
    EXPECT_NEAR(wide.first, wide.second, 1);
    EXPECT_NEAR(wide.second, 200, 3);  // half the height: the world's -1..1 fills it
    graphics_frame_resized(7, {640, 480});
}

TEST_F(Graphics, FlagsFollowTheDisplayList) {
    update_graphics_flags();
    EXPECT_FALSE(test_state_flag(kFlagDisplayListNotEmpty));
    line(0.25, 0.25, 0.75, 0.75);
    update_graphics_flags();
    EXPECT_TRUE(test_state_flag(kFlagDisplayListNotEmpty));
    graphwin_new_page(0);
    EXPECT_FALSE(test_state_flag(kFlagDisplayListNotEmpty));
    EXPECT_TRUE(test_state_flag(kFlagGraphicsDeviceReady));
    graphwin_select(0);
    EXPECT_FALSE(test_state_flag(kFlagGraphicsDeviceReady));
}

}  // namespace
