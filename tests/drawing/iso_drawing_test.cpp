// The ISO 10110 element drawing as a user makes it: a typed lens, "element_sheet" opened and
// left, the picture read back from the display list (the profiles against the spheres of the
// typed radii, the table's indications against the element data and tolerances), the
// refusals, and the sheets' edits, Cancel and OK.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "drawing/element_drawing.h"
#include "drawing/element_sheets.h"
#include "drawing/iso_drawing.h"
#include "entry/sheet_values.h"
#include "graphics/draw_primitives.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "runtime/command_levels.h"
#include "runtime/dispatch.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "tables/table_names.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "tests/support/display_list_text.h"
#include "tests/support/sheet_lines.h"

namespace iso_drawing_test {
namespace {

using loop_test::Loop;

struct WorldPoint {
    double x = 0;
    double y = 0;
};

class IsoDrawing : public Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        set_setting_flag(kSetRevertEnable, 1);
        reset_element_sheets();
        reset_iso_drawing();
        tavo_test::sheet_lines().clear();
        set_output_line_sink(tavo_test::keep_sheet_line);
    }
    void TearDown() override {
        while (level_count() > 0) pop_command_level(false);
        set_output_line_sink(nullptr);
        set_setting_flag(kSetRevertEnable, 0);
        set_setting_flag(kSetElementDrawingCommas, 0);
        reset_element_sheets();
        reset_iso_drawing();
        Loop::TearDown();
    }

    // A lens of the given surfaces after the object (radius, thickness, glass, semi-aperture).
    void lens(const std::vector<std::string>& surfaces, const std::string& wavelengths) {
        type("LEN NEW \"Element\"");
        type("WV " + wavelengths);
        type("NXT");
        for (const std::string& s : surfaces) type("SRF " + s);
        type("END");
    }
    int send(int code, int field = 0, int index = -1) {
        GridEvent e;
        e.code = code;
        e.field = field;
        e.first_index = index;
        return run_command_level(e);
    }
    int typed(int field, int index, double value) {
        GridEvent e;
        e.code = kLevelEventEdited;
        e.field = field;
        e.first_index = index;
        e.value_type = kArgDouble;
        e.value.d = value;
        return run_command_level(e);
    }
    int typed_text(int field, int index, const char* text) {
        GridEvent e;
        e.code = kLevelEventEdited;
        e.field = field;
        e.first_index = index;
        e.value_type = kArgChar;
        std::string buffer = text;
        buffer.resize(256, '\0');
        e.text = buffer.data();
        return run_command_level(e);
    }
    // The top level left as the grid leaves it: OK (0) or Cancel (-1).
    int leave(int end_mode) {
        const int levels = level_count();
        pop_command_level(end_mode == -1);
        return level_count() == levels - 1 ? 0 : -1;
    }
    // The refusal's text (set_error_msg leaves -9998 and the formatted message).
    static bool refused_with(int rc, int message) {
        const std::string text = msg_text(message);
        const std::string head = text.substr(0, text.find('%'));
        return rc == -9998 && std::string(error_text_buffer()).find(head) != std::string::npos;
    }
    // Presses a button of the sheet that opens another one, and lets the loop show that.
    void press_opening(int button) {
        const int levels = level_count();
        ASSERT_EQ(send(kLevelEventActivate, button, 0), 0);
        for (int k = 0; k < 4 && level_count() == levels; ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), levels + 1);
        ASSERT_EQ(send(kLevelEventShown), 0);
    }
    // Opens the element sheet by its command and lets the loop show it.
    void open(int n) {
        const int levels = level_count();
        type("element_sheet " + std::to_string(n));
        for (int k = 0; k < 4 && level_count() == levels; ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), levels + 1) << errors();
        ASSERT_EQ(send(kLevelEventShown), 0);
    }
    // Opened and left with OK: the drawing.
    void draw(int n) {
        open(n);
        ASSERT_EQ(leave(0), 0);
    }
    static std::vector<std::string> texts() {
        return tavo_test::display_list_texts(display_list_words());
    }
    static bool drawn(const std::string& part) {
        for (const std::string& t : texts()) {
            if (t.find(part) != std::string::npos) return true;
        }
        return false;
    }
    static int count_drawn(const std::string& part) {
        int n = 0;
        for (const std::string& t : texts()) n += t.find(part) != std::string::npos ? 1 : 0;
        return n;
    }
    static std::string text_starting(const std::string& start) {
        for (const std::string& t : texts()) {
            if (t.rfind(start, 0) == 0) return t;
        }
        return "";
    }
    // The polylines of the profile's frame in its world coordinates (millimetres).
    static std::vector<std::vector<WorldPoint>> profile_lines() {
        const std::vector<std::vector<tavo_test::ListPoint>> lines =
            tavo_test::display_list_polylines(display_list_words());
        FrameBox viewport = element_drawing_frames().profile_viewport;
        FrameBox world = element_drawing_frames().profile_world;
        gfx_frame(1, 1, &viewport);
        gfx_frame(1, 2, &world);
        const GraphicsWindow* g = graphics_current_record();
        const PlotSurface& s = plot_surface();
        std::vector<std::vector<WorldPoint>> out;
        for (const auto& line : lines) {
            std::vector<WorldPoint> w;
            for (const tavo_test::ListPoint& p : line) {
                w.push_back({(p.x + s.cx - g->offset_x) / g->scale_x,
                             (p.y + s.cy - g->offset_y) / g->scale_y});
            }
            out.push_back(w);
        }
        return out;
    }
    static double unit_in_world() {
        const GraphicsWindow* g = graphics_current_record();
        return 1.5 / std::min(std::fabs(g->scale_x), std::fabs(g->scale_y));
    }
    ElementDrawing* record(int n) { return surface(n).element_drawing; }
};

// The profiles lie on the spheres of the typed radii and end at the rims, the thickness
// separates the vertices, and the edges join the rims.
TEST_F(IsoDrawing, ProfilesFollowTheRadii) {
    struct Case {
        const char* first;
        const char* second;
        double r1, r2, t, h;
    };
    const Case cases[] = {
        {"50 5 N-BK7 4", "-50 40 AIR 4", 50.0, -50.0, 5.0, 4.0},
        {"20 3 N-BK7 6", "50 40 AIR 6", 20.0, 50.0, 3.0, 6.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        lens({c.first, c.second}, "0.5875618 0.4861327 0.6562725");
        draw(1);
        const double tol = unit_in_world() + 1e-9;
        const std::vector<std::vector<WorldPoint>> lines = profile_lines();
        ASSERT_GE(lines.size(), 2u);
        // The first two polylines are the profiles of 31 points each.
        for (int side = 0; side < 2; ++side) {
            const std::vector<WorldPoint>& p = lines[static_cast<std::size_t>(side)];
            ASSERT_EQ(p.size(), 31u);
            const double r = side == 0 ? c.r1 : c.r2;
            const double centre = (side == 0 ? 0.0 : c.t) + r;
            for (const WorldPoint& q : p) {
                EXPECT_NEAR(std::hypot(q.x - centre, q.y), std::fabs(r), 2 * tol);
            }
            EXPECT_NEAR(p.front().y, -c.h, tol);
            EXPECT_NEAR(p.back().y, c.h, tol);
            EXPECT_NEAR(p[15].x, side == 0 ? 0.0 : c.t, tol);
        }
        // An edge from the left rim to the right one at the top.
        const double sag1 = c.r1 - std::copysign(std::sqrt(c.r1 * c.r1 - c.h * c.h), c.r1);
        const double sag2 = c.r2 - std::copysign(std::sqrt(c.r2 * c.r2 - c.h * c.h), c.r2);
        bool edge = false;
        for (const auto& l : lines) {
            if (l.size() == 2 && std::fabs(l[0].x - sag1) < tol && std::fabs(l[0].y - c.h) < tol &&
                std::fabs(l[1].x - (c.t + sag2)) < tol && std::fabs(l[1].y - c.h) < tol) {
                edge = true;
            }
        }
        EXPECT_TRUE(edge);
    }
}

// The indications of the table: N-BK7 (nd 1.51680, vd 64.17 in its maker's catalogue), class 0
// defaults of an 8 mm element, convex and concave sides, lines named or not, commas.
TEST_F(IsoDrawing, TableIndications) {
    struct Case {
        const char* first;
        const char* second;
        const char* wavelengths;
        bool commas;
        std::vector<std::string> shown;
        std::vector<std::string> absent;
    };
    const Case cases[] = {
        {"50 5 N-BK7 4",
         "-50 40 AIR 4",
         "0.5875618 0.4861327 0.6562725",
         false,
         {" R  50 CX @pe 8", " n d 1.516800 +/- 0.001", " v d 64.17 +/- 0.8%", " 0/ 20",
          " 1/ 3x0.16", " 2/ 1;1", " 3/ 5(1)", " 4/ 30'", " 5/ 3x0.16", "Ind. acc. ISO 10110",
          "Left Surface:", "Material:", "Right Surface:", "N-BK7"},
         {"CC", "To be cemented"}},
        {"20 3 N-BK7 6",
         "50 40 AIR 6",
         "0.5461",
         false,
         {" R  20 CX", " R  50 CC", " n e 1.51"},
         {" v d", " v e 6"}},
        {"50 5 N-BK7 4",
         "-50 40 AIR 4",
         "0.6 0.5",
         true,
         {" n(600 nm) 1,51", " v  -", " 1/ 3x0,16", " 4/ 30'"},
         {" 1/ 3x0.16"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first + std::string(" ") + c.wavelengths);
        set_setting_flag(kSetElementDrawingCommas, c.commas ? 1 : 0);
        lens({c.first, c.second}, c.wavelengths);
        draw(1);
        for (const std::string& s : c.shown) EXPECT_TRUE(drawn(s)) << s;
        for (const std::string& s : c.absent) EXPECT_FALSE(drawn(s)) << s;
        // Both sides of a biconvex element are convex.
        int convex = 0;
        for (const std::string& t : texts()) convex += t.find(" CX") != std::string::npos ? 1 : 0;
        EXPECT_EQ(convex, std::string(c.first) == "20 3 N-BK7 6" ? 1 : 2);
    }
}

// Tolerances the user gave replace the class defaults; texts, RMS limits and imperfections
// reach the table; the date alone brings the ISO note.
TEST_F(IsoDrawing, GivenDataReachTheTable) {
    lens({"50 5 N-BK7 4", "-50 40 AIR 4"}, "0.5875618 0.4861327 0.6562725");
    for (const char* line :
         {"LEN", "GTO 1", "SPT 3", "IRT 0.5", "TLT 0.25",  // degrees: 15'
          "ELMTTL \"Lens A\" \"D-17\" \"\" 0", "ELMSF2 1 0.3 0.25 0.1 0.05 0",
          "ELMSF3 1 0.02 0.1 2 4 0 0 0 0", "ELMSF4 1 \"polished\" \"5 J/cm2\"", "END"}) {
        type(line);
    }
    draw(1);
    EXPECT_TRUE(drawn(" 3/ 3(0.5/0.25) RMSt < 0.1")) << text_starting(" 3/");
    EXPECT_TRUE(drawn("    RMSi < 0.05"));
    EXPECT_TRUE(drawn(" 4/ 15'"));
    EXPECT_TRUE(drawn(" 5/ 3x0.16; C 4x0.1"));
    EXPECT_TRUE(drawn("    L 2x0.02; E 0.3"));
    EXPECT_TRUE(drawn("@F@upolished"));
    EXPECT_TRUE(drawn(" 6/ 5 J/cm2"));
    EXPECT_TRUE(drawn("Lens A"));
    EXPECT_TRUE(drawn("D-17"));
    EXPECT_FALSE(drawn("Ind. acc. ISO 10110"));
    // The right side keeps the class values.
    EXPECT_TRUE(drawn(" 3/ 5(1)"));
    EXPECT_TRUE(drawn(" 5/ 3x0.16"));
    EXPECT_EQ(count_drawn("polished"), 1);
}

// An inch lens is drawn in millimetres; its 10.16 mm diameter takes class 1 values.
TEST_F(IsoDrawing, InchLensInMillimetres) {
    for (const char* line : {"LEN NEW \"Inch\"", "UNI 25.4", "WV 0.5875618 0.4861327 0.6562725",
                             "NXT", "SRF 2 0.2 N-BK7 0.2", "SRF -2 2 AIR 0.2", "END"}) {
        type(line);
    }
    draw(1);
    for (const char* s : {" R  50.8 CX @pe 10.16", "5.08 @t0.2", "@p 10.16 @t0.5", " 3/ 10(2)",
                          " 4/ 20'", " 1/ 5x0.25"}) {
        EXPECT_TRUE(drawn(s)) << s;
    }
}

TEST_F(IsoDrawing, CementedSidesAreMarked) {
    lens({"60 6 N-BK7 12", "-40 2 N-SF5 12", "-150 50 AIR 12"}, "0.5875618 0.4861327 0.6562725");
    draw(2);
    EXPECT_TRUE(drawn("    To be cemented"));
    EXPECT_TRUE(drawn("N-SF5"));
    EXPECT_TRUE(drawn(" R  40 CC"));  // -40 seen from the left
    EXPECT_TRUE(drawn(" R  150 CX"));
}

TEST_F(IsoDrawing, Refusals) {
    lens({"50 5 N-BK7 4", "-50 40 AIR 4"}, "0.5875618 0.4861327 0.6562725");
    struct Case {
        const char* line;
        int message;
    };
    const Case cases[] = {
        {"element_sheet 2", kMsgElementNotStart},  // air behind
        {"element_sheet 0", kMsgElementNotStart},  // the object
        {"element_sheet 9", kMsgElementNoSurface},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_TRUE(refused_with(run_command_string(c.line, 0), c.message)) << error_text_buffer();
        EXPECT_EQ(level_count(), 0);
        EXPECT_EQ(record(2), nullptr);
        EXPECT_EQ(test_state_flag(kFlagTemporaryLensCopy), 0);
    }
    // A conic makes the surface no element start.
    for (const char* line : {"LEN", "GTO 1", "CC -1", "END"}) type(line);
    EXPECT_TRUE(refused_with(run_command_string("element_sheet 1", 0), kMsgElementNotStart));
    EXPECT_EQ(record(1), nullptr);
}

// Edits store, Cancel gives the lens back (the record made on opening too), OK keeps and draws;
// a diameter below the full one is refused.
TEST_F(IsoDrawing, SheetEditCancelAndOk) {
    lens({"50 5 N-BK7 4", "-50 40 AIR 4"}, "0.5875618 0.4861327 0.6562725");
    open(1);
    ASSERT_NE(record(1), nullptr);
    EXPECT_DOUBLE_EQ(record(1)->diameter, 8.0);
    EXPECT_NE(test_state_flag(kFlagElementSheet), 0);
    EXPECT_EQ(typed(kCmdElmmed, 0, 12.0), 0) << error_text_buffer();
    EXPECT_DOUBLE_EQ(record(1)->diameter, 12.0);
    EXPECT_EQ(typed(kCmdElmmed, 4, 10.0), 0);
    EXPECT_EQ(record(1)->stress_birefringence, 10);
    EXPECT_EQ(typed_text(kCmdElmttl, 0, "Front lens"), 0) << error_text_buffer();
    EXPECT_STREQ(record(1)->title, "Front lens");
    EXPECT_TRUE(refused_with(typed(kCmdElmmed, 0, 7.5), kMsgElementDiameterSmall));
    EXPECT_DOUBLE_EQ(record(1)->diameter, 12.0);
    EXPECT_EQ(lens_data().current_surface, lens_data().image_surface);
    ASSERT_EQ(leave(-1), 0);
    EXPECT_EQ(record(1), nullptr);
    EXPECT_EQ(test_state_flag(kFlagElementSheet), 0);
    EXPECT_EQ(test_state_flag(kFlagTemporaryLensCopy), 0);
    EXPECT_FALSE(std::filesystem::exists(revert_copy_path(kMsgElementRevertCopy)));
    // OK keeps the edits and draws.
    open(1);
    EXPECT_EQ(typed(kCmdElmmed, 4, 10.0), 0);
    ASSERT_EQ(leave(0), 0);
    ASSERT_NE(record(1), nullptr);
    EXPECT_EQ(record(1)->stress_birefringence, 10);
    EXPECT_TRUE(drawn(" 0/ 10"));
    EXPECT_EQ(test_state_flag(kFlagTemporaryLensCopy), 0);
    // A larger aperture grows the kept record's diameter, and the sheet says so.
    for (const char* line : {"LEN", "GTO 1", "AP 6", "GTO 2", "AP 6", "END"}) type(line);
    open(1);
    EXPECT_DOUBLE_EQ(record(1)->diameter, 12.0);
    EXPECT_NE(errors().find("has grown to the full diameter of a side: 12"), std::string::npos)
        << errors();
    ASSERT_EQ(leave(0), 0);
}

// The side sheet edits one side and gives it back on Cancel; the defaults sheet the lens's
// defaults; the delete button asks first.
TEST_F(IsoDrawing, SideDefaultsAndDelete) {
    lens({"50 5 N-BK7 4", "-50 40 AIR 4"}, "0.5875618 0.4861327 0.6562725");
    open(1);
    press_opening(kElementButtonRight);
    EXPECT_EQ(typed(kCmdElmsf2, 2, 0.5), 0) << error_text_buffer();
    EXPECT_DOUBLE_EQ(record(1)->sides[1]->irregularity, 0.5);
    EXPECT_DOUBLE_EQ(record(1)->sides[0]->irregularity, 0.0);
    EXPECT_EQ(typed_text(kCmdElmsf4, 1, "fine ground"), 0);
    EXPECT_STREQ(record(1)->sides[1]->note, "fine ground");
    ASSERT_EQ(leave(-1), 0);
    EXPECT_DOUBLE_EQ(record(1)->sides[1]->irregularity, 0.0);
    EXPECT_STREQ(record(1)->sides[1]->note, "");
    ASSERT_EQ(send(kLevelEventShown), 0);
    // Defaults: stored and marked as set; Cancel gives them back.
    press_opening(kElementButtonDefaults);
    EXPECT_EQ(typed(kCmdElmdf1, 2, 0.4), 0);
    EXPECT_DOUBLE_EQ(lens_data().element_drawing_defaults.values[2], 0.4);
    EXPECT_NE(lens_data().element_drawing_defaults.set, 0);
    ASSERT_EQ(leave(0), 0);
    EXPECT_DOUBLE_EQ(lens_data().element_drawing_defaults.values[2], 0.4);
    press_opening(kElementButtonDefaults);
    EXPECT_EQ(typed(kCmdElmdf1, 2, 0.9), 0);
    ASSERT_EQ(leave(-1), 0);
    EXPECT_DOUBLE_EQ(lens_data().element_drawing_defaults.values[2], 0.4);
    ASSERT_EQ(send(kLevelEventShown), 0);
    // Delete: "no" keeps the record, "yes" drops it and closes the sheet.
    ui().queue_message_box_answer(platform::MessageAnswer::no);
    EXPECT_EQ(send(kLevelEventActivate, kElementButtonDelete, 0), 0);
    EXPECT_NE(record(1), nullptr);
    const int levels = level_count();
    ui().queue_message_box_answer(platform::MessageAnswer::yes);
    EXPECT_EQ(send(kLevelEventActivate, kElementButtonDelete, 0), 0);
    EXPECT_EQ(record(1), nullptr);
    settle(4);
    EXPECT_LT(level_count(), levels);
}

// The special-data choice list offers the element drawing where an element begins, and its
// entry opens the same sheet.
TEST_F(IsoDrawing, SpecialDataChoiceOpensTheSheet) {
    lens({"50 5 N-BK7 4", "-50 40 AIR 4"}, "0.5875618 0.4861327 0.6562725");
    type("LEN");
    auto offered = [] {
        EXPECT_EQ(cmd_special_data_menu(), 0);
        if (select_param_list(kParamSpecialDataChoices) != 0) return false;
        for (int i = 0; i < value_list_count(); ++i) {
            if (std::string(value_list_first(i)).find("Element drawing") != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    type("GTO 2");
    EXPECT_FALSE(offered());
    type("GTO 1");
    EXPECT_TRUE(offered());
    EXPECT_EQ(run_command_string("SPECIALSPR 6", 0), 0) << error_text_buffer();
    settle(4);
    EXPECT_EQ(level_count(), 1);
    EXPECT_NE(record(1), nullptr);
}

}  // namespace
}  // namespace iso_drawing_test
