// The surface spreadsheet as the user sees it: the sheet's lines and cells in text area 3 after
// the sheet command is typed, and the lens after the grid's events reach the sheet's level.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "entry/sheet_values.h"
#include "lens/lens_data.h"
#include "lens/lens_insert.h"
#include "lens/surface_groups.h"
#include "lens/test_glasses.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/state_flags.h"
#include "tables/table_names.h"
#include "tests/entry/surface_sheet/sheet_fixture.h"

namespace sheet_test {
namespace {

std::vector<int> codes(const std::vector<Cell>& cells) {
    std::vector<int> out;
    for (const Cell& c : cells) out.push_back(c.code);
    return out;
}

// n of N-BK7 from its Sellmeier coefficients (the maker's published ones).
double bk7(double l) {
    const double b[3] = {1.03961212, 0.231792344, 1.01046945};
    const double c[3] = {0.00600069867, 0.0200179144, 103.560653};
    double s = 1.0;
    for (int k = 0; k < 3; ++k) s += b[k] * l * l / (l * l - c[k]);
    return std::sqrt(s);
}

TEST_F(Sheet, FiniteObjectInRadiusModeShowsEveryColumnAndCell) {
    set_setting_flag(kSetSurfaceLabels, 1);
    small_lens("TH 100");
    open_sheet();
    const std::vector<std::string> expected = {
        "Doublet test                           | Groups:  show   collapse| Draw:  Off   On",
        "Object NA     0.010000| Object height (mm)       -1.0000e-04",
        "",  // the focal-length row is checked on its own
        " SRF |     RADIUS    |   THICKNESS   | APERTURE RADIUS|    MEDIUM    |   SPECIAL",
        " OBJ |   0.000000    | 100.000000    | 1.0000e-04     |       AIR    |",
        "   1 |  50.000000    |   5.000000    |  10.000000     |     N-BK7  C |",
        " AST | -50.000000    |  45.000000    |  10.000000   A |       AIR    |",
        " IMS |   0.000000    |   0.000000    |   0.519212   S |              |",
    };
    const auto shown = lines();
    ASSERT_EQ(shown.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        if (k != 2) {
            EXPECT_EQ(shown[k], expected[k]) << "line " << k;
        }
    }
    EXPECT_EQ(shown[2].rfind("Wavelength    0.587560  * |", 0), 0u) << shown[2];

    // Header cells: title, notes, the two radio pairs (groups shown; CBK 0 is even: "off").
    EXPECT_EQ(codes(cells(0)), (std::vector<int>{0x09B0, 0x6249, 0x3033, 0x2034, 0x303E, 0x203D}));
    EXPECT_EQ(codes(cells(1)), (std::vector<int>{425, 420, 0x63A2}));
    EXPECT_EQ(codes(cells(2)), (std::vector<int>{0x41B3, 0x63A3}));
    EXPECT_TRUE(cells(3).empty());
    // Rows: object and image surfaces have their own buttons; the object has no row selector,
    // no aperture cell and no aperture button; the image row has no medium.
    EXPECT_EQ(codes(cells(4)),
              (std::vector<int>{0x1001, 0x6011, 3, 0x6012, 0x1807, 0x6010, 0x6009}));
    EXPECT_EQ(codes(cells(5)), (std::vector<int>{0x6800, 0x1001, 0x6002, 3, 0x6004, 5, 0x6006,
                                                 0x1807, 0x6008, 0x6009}));
    EXPECT_EQ(codes(cells(7)),
              (std::vector<int>{0x6800, 0x1001, 0x6013, 3, 0x600F, 5, 0x6006, 0x6009}));
    for (const Cell& c : cells(6)) EXPECT_EQ(c.index, 2);
    // Cells cover their numbers: the thickness of surface 1 in columns 22 to 32.
    const std::vector<Cell> row1 = cells(5);
    EXPECT_EQ(row1[3].first, 22);
    EXPECT_EQ(row1[3].end, 33);
}

// The window opens tall enough for every surface row of the lens (the level asks for the image
// surface + 5 rows) and goes away with the last level.
TEST_F(Sheet, TheWindowShowsEveryRowAndHidesWhenTheSheetCloses) {
    type_lines({"LEN NEW \"Six\"", "TH 100", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 5 AIR 10",
                "SRF 40 5 N-BK7 10", "SRF -40 5 AIR 10", "SRF 30 5 N-BK7 10", "SRF -30 45 AIR 10",
                "END"});
    ASSERT_EQ(lens_data().image_surface, 7);
    open_sheet();
    EXPECT_TRUE(ui().window_visible(platform::kWindowSpreadsheet));
    EXPECT_NE(test_state_flag(kFlagSpreadsheetShown), 0);
    const TextArea* a = textarea(kSheetArea);
    ASSERT_NE(a, nullptr);
    EXPECT_GE(a->visible_lines, 8);  // surfaces 0 to 7
    type("exit_levels");
    for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
    EXPECT_EQ(level_count(), 0);
    EXPECT_FALSE(ui().window_visible(platform::kWindowSpreadsheet));
    EXPECT_EQ(test_state_flag(kFlagSpreadsheetShown), 0);
}

// The four header rows stand in the header area at the top of the window and the surface rows
// below them: a click finds the cell drawn under it in either, and the window shows.
TEST_F(Sheet, HeaderRowsStandAboveTheSurfaceRowsAndClicksFindTheirCells) {
    small_lens("TH 100");
    open_sheet();
    EXPECT_TRUE(ui().window_visible(platform::kWindowSpreadsheet));
    const TextArea* h = textarea(kHeaderArea);
    const TextArea* a = textarea(kSheetArea);
    ASSERT_NE(h, nullptr);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(h->line_count, 4);
    EXPECT_EQ(h->visible_lines, 4);
    EXPECT_EQ(std::string(a->line_text(a->first_line)).rfind(" OBJ |", 0), 0u);
    // The main rows begin one line height under the last header row.
    EXPECT_EQ(a->top_margin, h->top_margin + 4 * h->line_height);
    struct Case {
        const char* name;
        int line;  // of the sheet, header rows first
        int cell;  // position among the line's cells
        bool header;
    } cases[] = {
        {"object NA", 1, 0, true},
        {"thickness of surface 1", 5, 3, false},
        {"object thickness", 4, 2, false},
        {"radius of surface 2", 6, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Cell want = cells(c.line)[static_cast<std::size_t>(c.cell)];
        const int row = c.header ? c.line : c.line - h->line_count;
        const TextArea& at = c.header ? *h : *a;
        platform::MouseEvent e;
        e.button = platform::MouseButton::left;
        e.position = {at.left_margin + (want.first + 1) * at.char_width + 2,
                      at.top_margin + row * at.line_height + 4};
        e.action = platform::MouseAction::press;
        ui().post_mouse(platform::kWindowSpreadsheet, e);
        e.action = platform::MouseAction::release;
        ui().post_mouse(platform::kWindowSpreadsheet, e);
        for (int k = 0; k < 3; ++k) main_loop_pass(false);
        const GridCell& got = grid_state().current;
        EXPECT_EQ(got.field_code, want.code);
        EXPECT_EQ(got.field_index, want.index);
        EXPECT_EQ(got.header != 0, c.header);
    }
}

TEST_F(Sheet, InfiniteObjectInCurvatureModeShowsBeamFieldAndFocalLength) {
    set_setting_flag(kSetSurfaceLabels, 0);
    set_setting_flag(kSetSpreadsheetCurvatureMode, 1);
    type_lines({"LEN NEW \"Far\"", "EBR 5", "ANG 10", "NXT", "SRF 50 5 N-BK7 10", "AST",
                "SRF -50 45 AIR 10", "END"});
    open_sheet();
    const auto shown = lines();
    ASSERT_GE(shown.size(), 8u);
    EXPECT_EQ(shown[1].rfind("Beam radius (mm)      5.000000| Field angle   10.000000", 0), 0u)
        << shown[1];
    EXPECT_EQ(codes(cells(1)), (std::vector<int>{424, 421, 0x63A2}));
    EXPECT_EQ(shown[3],
              " SRF |   CURVATURE   |   THICKNESS   | APERTURE RADIUS|    MEDIUM    |   SPECIAL");
    EXPECT_EQ(shown[5], "   1 |   0.020000    |   5.000000    |  10.000000     |     N-BK7  C |");
    EXPECT_EQ(shown[6], "   2 |  -0.020000    |  45.000000    |  10.000000   A |       AIR    |");
    EXPECT_EQ(cells(5)[1].code, 0x100A);

    // Thick lens in air: 1/f = (n-1) (1/R1 - 1/R2 + (n-1) t / (n R1 R2)).
    const double n = bk7(0.58756);
    const double f = 1.0 / ((n - 1) * (2.0 / 50 + (n - 1) * 5 / (n * 50 * -50)));
    const std::size_t at = shown[2].find("Focal length");
    ASSERT_NE(at, std::string::npos) << shown[2];
    EXPECT_NEAR(std::strtod(shown[2].c_str() + at + 12, nullptr), f, 2e-5);
}

TEST_F(Sheet, CollapsedGroupShowsItsFirstAndLastRowsOnly) {
    set_setting_flag(kSetSurfaceLabels, 0);
    type_lines({"LEN NEW \"Cemented\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -30 2 N-F2 10",
                "SRF -80 40 AIR 10", "END"});
    ASSERT_EQ(lens_data().image_surface, 4);
    ASSERT_EQ(make_group(1, 3), 0);
    open_sheet();
    ASSERT_EQ(lines().size(), 9u);
    ASSERT_EQ(event(kLevelEventActivate, 52, 0), 0) << error_text_buffer();
    const auto shown = lines();
    ASSERT_EQ(shown.size(), 8u);  // four header rows, object, group first and last, image
    // The first row carries the group's label and its thickness up to the last surface
    // (5 + 2), both without cells; its button dissolves the group.
    EXPECT_NE(shown[5].find("   7.000000"), std::string::npos) << shown[5];
    EXPECT_EQ(codes(cells(5)),
              (std::vector<int>{0x6800, 0x600E, 5, 0x6006, 0x1807, 0x6008, 0x6009}));
    EXPECT_EQ(shown[6].substr(0, 5), "   3 ");
    EXPECT_NE(shown[6].find("  40.000000"), std::string::npos) << shown[6];
    EXPECT_EQ(cells(0)[2].code, 0x2033);  // "show" off
    EXPECT_EQ(cells(0)[3].code, 0x3034);  // "collapse" on

    ASSERT_EQ(event(kLevelEventActivate, 51, 0), 0);
    EXPECT_EQ(lines().size(), 9u);
}

struct TypedValue {
    const char* what;
    int field;
    int surface;
    double value;
    double (*read)();
    double expected;
    double tolerance = 0.0;  // 0: the value itself
};

TEST_F(Sheet, TypedValuesReachTheLens) {
    small_lens("TH 100");
    open_sheet();
    const TypedValue cases[] = {
        {"radius 0 is flat", 1, 1, 0.0, [] { return surface(1).curvature; }, 0.0},
        {"radius 25", 1, 1, 25.0, [] { return surface(1).curvature; }, 0.04},
        {"curvature", 10, 2, -0.01, [] { return surface(2).curvature; }, -0.01},
        {"thickness", 3, 1, 7.5, [] { return surface(1).thickness; }, 7.5},
        {"object height 0", 420, 0, 0.0, [] { return lens_data().object_height; }, -1e14},
        {"object height", 420, 0, 2.0, [] { return lens_data().object_height; }, 2.0},
        {"NA", 425, 0, 0.2, [] { return lens_data().object_na; }, 0.2},
        {"NA above the object index is refused", 425, 0, 1.5, [] { return lens_data().object_na; },
         0.2},
        {"beam radius takes the size", 424, 0, -3.0,
         [] { return lens_data().entrance_beam_radius; }, 3.0},
        {"beam radius 0", 424, 0, 0.0, [] { return lens_data().entrance_beam_radius; }, 1.0},
        // A zero field is 1e-6 radian as a float holds it (5e-17 away): a millionth of it.
        {"field angle 0", 421, 0, 0.0, [] { return lens_data().field_angle; }, 1e-6, 1e-12},
    };
    for (const TypedValue& c : cases) {
        EXPECT_EQ(event(kLevelEventEdited, c.field, c.surface, c.value), 0)
            << c.what << ": " << error_text_buffer();
        EXPECT_NEAR(c.read(), c.expected, c.tolerance) << c.what;
    }
    // The sheet was written again with the last values: thickness 7.5 on surface 1's row.
    EXPECT_NE(lines()[5].find("   7.500000"), std::string::npos) << lines()[5];
    // A refused NA says why on the status line.
    EXPECT_NE(errors().find("NA 1.5 refused"), std::string::npos) << errors();

    // Aperture 0 makes it computed; a number makes it fixed.
    ASSERT_EQ(event(kLevelEventEdited, 5, 1, 0.0), 0);
    EXPECT_EQ(surface(1).aperture_kind, 0);
    ASSERT_EQ(event(kLevelEventEdited, 5, 1, 6.0), 0);
    EXPECT_EQ(surface(1).aperture_kind, 1);
    EXPECT_EQ(surface(1).aperture_radius, 6.0);

    // Text cells: the medium by name, the title.
    char glass[] = "n-f2";
    GridEvent e;
    e.code = kLevelEventEdited;
    e.field = 7;
    e.first_index = 1;
    e.last_index = 1;
    e.text = glass;
    ASSERT_EQ(run_command_level(e), 0) << error_text_buffer();
    EXPECT_STREQ(surface(1).medium_name, "N-F2      ");
    EXPECT_EQ(surface(1).medium_kind, 2);
    char unknown[] = "nosuchglas";
    e.text = unknown;
    EXPECT_EQ(run_command_level(e), kErrorTextReady);
    EXPECT_NE(std::string(error_text_buffer()).find("NOSUCHGLAS"), std::string::npos);
    // A text may also come as the event's text value: the title, cut to its 32 characters.
    char title[] = "A new title for the lens under test here";
    GridEvent t;
    t.code = kLevelEventEdited;
    t.field = 432;
    t.first_index = 0;
    t.value_type = kGridValueText;
    t.value.text = title;
    ASSERT_EQ(run_command_level(t), 0);
    EXPECT_STREQ(lens_data().title, "A new title for the lens under t");
    EXPECT_EQ(lines()[0].substr(0, 32), "A new title for the lens under t");
    char mirror[] = "rfl";
    e.text = mirror;
    ASSERT_EQ(run_command_level(e), 0);
    EXPECT_EQ(surface(1).medium_kind, 4);
}

struct Step {
    const char* what;
    int code;
    double value;
    int value_type;
    double expected;
};

TEST_F(Sheet, StepsSnapARadiusThroughTheTestGlasses) {
    small_lens("TH 100");
    open_sheet();
    // Radii 10, 20, 50 and 100 (units of the list are those of the lens, mm).
    const auto file = run_.tree.write_file("plates.tgl", "4\n10\n20\n50\n100\n");
    ASSERT_EQ(read_test_glass_list(file.string().c_str()), 0);
    ASSERT_EQ(test_glass_count(), 4);
    // A step moves from the nearest radius of the list to its neighbour.
    const Step radius_mode[] = {
        {"down from between (nearest 20)", 9, 30.0, 2, 10.0},
        {"up from between", 10, 30.0, 2, 50.0},
        {"nearest", 11, 38.0, 2, 50.0},
        {"nearest below the middle", 11, 24.0, 2, 20.0},
        {"down from an entry", 9, 50.0, 2, 20.0},
        {"a negative radius steps by its size", 9, -30.0, 2, -50.0},
        {"up past the last", 10, 100.0, 2, 0.0},
        {"beyond the list, down", 9, 1000.0, 2, 100.0},
    };
    for (const Step& s : radius_mode) {
        GridEvent e;
        e.code = s.code;
        e.field = 1;
        e.first_index = 1;
        e.value.d = s.value;
        e.value_type = s.value_type;
        EXPECT_EQ(run_command_level(e), 0) << s.what;
        EXPECT_DOUBLE_EQ(e.value.d, s.expected) << s.what;
    }
    // In curvature mode the cell holds a curvature: 1/30 steps up to 1/50.
    lens_flags().spreadsheet_radius_mode = 0;
    GridEvent e;
    e.code = 10;
    e.field = 10;
    e.first_index = 1;
    e.value.d = 1.0 / 30;
    e.value_type = 2;
    ASSERT_EQ(run_command_level(e), 0);
    EXPECT_DOUBLE_EQ(e.value.d, 1.0 / 50);

    // One entry: nothing moves.
    const auto one = run_.tree.write_file("one.tgl", "1\n20\n");
    ASSERT_EQ(read_test_glass_list(one.string().c_str()), 0);
    e.value.d = 1.0 / 30;
    ASSERT_EQ(run_command_level(e), 0);
    EXPECT_DOUBLE_EQ(e.value.d, 1.0 / 30);
    clear_test_glass_list();
}

TEST_F(Sheet, CutCopyAndPasteOfTwoSurfacesRoundTrip) {
    set_setting_flag(kSetSurfaceLabels, 0);
    small_lens("TH 100");
    open_sheet();
    const std::vector<std::string> before = lines();
    // Copy leaves the lens; the clipboard holds both surfaces in the surface-data format and
    // the same lines as plain text for other programs.
    ASSERT_EQ(event(14, 0, 1, 0, 0, 2), 0) << error_text_buffer();
    EXPECT_EQ(lens_data().image_surface, 3);
    std::vector<std::uint8_t> named;
    ASSERT_TRUE(ui().clipboard_data(platform::kSurfaceClipboardMime, named));
    const std::string text(named.begin(), named.end());
    EXPECT_NE(text.find("NXT"), std::string::npos) << text;
    EXPECT_NE(text.find("N-BK7"), std::string::npos) << text;
    EXPECT_EQ(sheet_clipboard_text(), text);
    EXPECT_EQ(ui().clipboard_text(), text);
    // Cut takes them out.
    ASSERT_EQ(event(13, 0, 1, 0, 0, 2), 0) << error_text_buffer();
    EXPECT_EQ(lens_data().image_surface, 1);
    EXPECT_EQ(lines().size(), 6u);
    // Paste before surface 1 puts them back as they were.
    ASSERT_EQ(event(15, 0, 1, 0, 0, 1), 0) << error_text_buffer();
    EXPECT_EQ(lens_data().image_surface, 3);
    EXPECT_DOUBLE_EQ(surface(1).curvature, 0.02);
    EXPECT_DOUBLE_EQ(surface(2).thickness, 45.0);
    EXPECT_STREQ(surface(1).medium_name, "N-BK7     ");
    const std::vector<std::string> after = lines();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t k = 4; k < after.size(); ++k) EXPECT_EQ(after[k], before[k]) << k;

    // A last line without ';' runs; a failing line stops the paste and is named.
    put_surface_clipboard_text("TH 12;TH 13");
    ASSERT_EQ(event(15, 0, 2, 0, 0, 2), 0) << error_text_buffer();
    EXPECT_DOUBLE_EQ(surface(1).thickness, 13.0);
    put_surface_clipboard_text("TH 14;no_such_command 1;TH 15");
    EXPECT_EQ(event(15, 0, 2, 0, 0, 2), kErrorTextReady);
    const std::string why = error_text_buffer();
    EXPECT_NE(why.find("no_such_command 1"), std::string::npos) << why;
    EXPECT_NE(why.find("after 1 lines"), std::string::npos) << why;
    EXPECT_DOUBLE_EQ(surface(1).thickness, 14.0);
    // Clipboard text is lens data: a command that reaches outside the lens does not run.
    put_surface_clipboard_text("TH 16;new_lens \"other\" 0 5;TH 17");
    EXPECT_EQ(event(15, 0, 2, 0, 0, 2), kErrorTextReady);
    EXPECT_NE(std::string(error_text_buffer()).find("after 1 lines"), std::string::npos);
    EXPECT_EQ(lens_data().image_surface, 3);
    EXPECT_DOUBLE_EQ(surface(1).thickness, 16.0);
    put_surface_clipboard_text("");
    EXPECT_EQ(event(15, 0, 2, 0, 0, 2), kMsgSheetClipboardEmpty);
    // Text another program put on the clipboard is no surface data: nothing is pasted, and
    // the surfaces pasted before do not come back.
    put_surface_clipboard_text("TH 18");
    ASSERT_EQ(event(15, 0, 2, 0, 0, 2), 0) << error_text_buffer();
    ASSERT_DOUBLE_EQ(surface(1).thickness, 18.0);
    const std::string plain = "TH 19";
    ASSERT_EQ(ui().set_clipboard_items({{"text/plain", {plain.begin(), plain.end()}}}), 0);
    EXPECT_EQ(event(15, 0, 2, 0, 0, 2), kMsgSheetClipboardEmpty);
    EXPECT_DOUBLE_EQ(surface(1).thickness, 18.0);
}

TEST_F(Sheet, RemovingTheLastSurfaceOfANonSequentialGroupAloneIsRefused) {
    small_lens("TH 100");
    open_sheet();
    surface(1).group_kind = 1;
    surface(1).group_role = kRoleFirst;
    surface(2).group_kind = 1;
    surface(2).group_role = kRoleLast;
    EXPECT_EQ(event(13, 0, 2, 0, 0, 2), kMsgSheetNotLastAlone);
    EXPECT_EQ(event(2, 0, 2, 0, 0, 2), kMsgSheetNotLastAlone);
    // Copying from the group's first surface through its last is fine too.
    EXPECT_EQ(event(14, 0, 1, 0, 0, 2), 0) << error_text_buffer();
    EXPECT_EQ(lens_data().image_surface, 3);
    EXPECT_EQ(event(14, 0, 2, 0, 0, 2), 0) << error_text_buffer();  // copying it is fine
    // Ranges that start at the object or reach the image surface are refused.
    surface(1).group_kind = surface(2).group_kind = 0;
    surface(1).group_role = surface(2).group_role = 0;
    EXPECT_EQ(event(2, 0, 0, 0, 0, 1), kErrorTextReady);
    EXPECT_EQ(event(2, 0, 2, 0, 0, -1), kErrorTextReady);
    EXPECT_EQ(lens_data().image_surface, 3);
}

// Every way out of the sheet, as the user takes it through the loop: Cancel, Escape and
// "exit_levels 1" put back the lens of the sheet's opening; OK and "exit_levels" keep the edits.
TEST_F(Sheet, CancelRestoresTheLensAndAPlainCloseKeepsTheEdits) {
    enum How { kButton, kEscape, kTyped };
    struct Case {
        const char* name;
        How how;
        int command;  // strip button
        const char* line;
        double thickness;  // of surface 1 afterwards
    } cases[] = {
        {"Cancel button", kButton, kSheetCancelCommand, nullptr, 5.0},
        {"Escape", kEscape, 0, nullptr, 5.0},
        {"exit_levels 1", kTyped, 0, "exit_levels 1", 5.0},
        {"OK button", kButton, kSheetOkCommand, nullptr, 9.0},
        {"exit_levels", kTyped, 0, "exit_levels", 9.0},
    };
    small_lens("TH 100");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        surface(1).thickness = 5.0;
        open_sheet();
        ASSERT_EQ(event(kLevelEventEdited, 3, 1, 9.0), 0);
        ASSERT_EQ(surface(1).thickness, 9.0);
        // Throwing the edits away is asked first.
        if (c.thickness != 9.0) ui().queue_message_box_answer(platform::MessageAnswer::ok);
        switch (c.how) {
            case kButton:
                ui().post_command(platform::kWindowSpreadsheet, c.command);
                break;
            case kEscape:
                escape_command_line();
                break;
            case kTyped:
                ui().enter_command_line(c.line);
                break;
        }
        for (int k = 0; k < 4 && level_count() > 0; ++k) main_loop_pass(false);
        EXPECT_EQ(level_count(), 0);
        EXPECT_EQ(surface(1).thickness, c.thickness);
        EXPECT_EQ(test_state_flag(kFlagSpreadsheetOpen), 0);
        EXPECT_EQ(surface_sheet_state().open, 0);
    }
}

TEST_F(Sheet, ALevelOpenedOverTheSheetKeepsItsRevertCopy) {
    small_lens("TH 100");
    open_sheet();
    ASSERT_EQ(event(kLevelEventEdited, 3, 1, 9.0), 0);
    const TextArea* header = textarea(kHeaderArea);
    const TextArea* main_area = textarea(kSheetArea);
    // The sheet's rows, which it has again when it comes back on top.
    const int visible = main_area->visible_lines + header->visible_lines;
    // The paraxial window over the sheet, then left again.
    ASSERT_EQ(event(kLevelEventActivate, 930, 0), 0) << error_text_buffer();
    main_loop_pass(false);
    ASSERT_EQ(level_count(), 2);
    // The window's table fills the sheet from the top: it has no header rows.
    EXPECT_EQ(header->visible_lines, 0);
    EXPECT_EQ(main_area->top_margin, header->top_margin);
    EXPECT_NE(textarea_output_lines(kSheetArea)[0].find("Beam radius"), std::string::npos);
    pop_command_level(false);
    ASSERT_EQ(level_count(), 1);
    EXPECT_EQ(lines().size(), 8u);  // the sheet is shown again
    EXPECT_EQ(header->visible_lines, 4);
    EXPECT_EQ(main_area->top_margin, header->top_margin + 4 * header->line_height);
    EXPECT_EQ(main_area->visible_lines + header->visible_lines, visible);
    ASSERT_EQ(event(kLevelEventEdited, 3, 2, 30.0), 0);
    // Cancel goes back to the lens from before the sheet opened, not from its re-showing.
    pop_command_level(true);
    EXPECT_EQ(surface(1).thickness, 5.0);
    EXPECT_EQ(surface(2).thickness, 45.0);
}

TEST_F(Sheet, ASuspendingCloseKeepsTheRevertCopyForTheNextCreate) {
    small_lens("TH 100");
    open_sheet();
    ASSERT_EQ(event(kLevelEventEdited, 3, 1, 9.0), 0);
    ASSERT_EQ(event(kLevelEventChange, 0, 0, 0, 1), 0);  // suspended: flag word 1
    EXPECT_EQ(surface_sheet_state().kept, 1);
    EXPECT_EQ(test_state_flag(kFlagSpreadsheetOpen), 0);
    EXPECT_EQ(surface(1).thickness, 9.0);
    ASSERT_EQ(event(kLevelEventShown, 0, 0), 0);  // back on top: no new copy
    ASSERT_EQ(event(kLevelEventEdited, 3, 2, 30.0), 0);
    pop_command_level(true);
    EXPECT_EQ(surface(1).thickness, 5.0);
    EXPECT_EQ(surface(2).thickness, 45.0);
}

TEST_F(Sheet, PastingStopsAtTheSurfaceLimitAndKeepsWhatRan) {
    const int limit = surface_limit();
    type("surface_sheet 1 1 " + std::to_string(limit - 2) + " \"full\"");
    for (int k = 0; k < 3 && surface_sheet_state().open == 0; ++k) main_loop_pass(false);
    ASSERT_EQ(lens_data().image_surface, limit - 1);
    put_surface_clipboard_text("NXT;TH 3;NXT;TH 4;");
    ASSERT_EQ(event(15, 0, 1, 0, 0, 1), 0) << error_text_buffer();
    EXPECT_EQ(lens_data().image_surface, limit);
    EXPECT_EQ(surface(1).thickness, 3.0);
    EXPECT_NE(errors().find("surface limit " + std::to_string(limit)), std::string::npos)
        << errors();
    // Inserting is refused at the limit too.
    EXPECT_EQ(event(1, 0, 1, 0, 0, 1), kErrorTextReady);
    EXPECT_EQ(lens_data().image_surface, limit);
}

std::vector<std::string> choice_list() {
    std::vector<std::string> out;
    if (select_param_list(kParamSpecialDataChoices) != 0) return out;
    for (int i = 0; i < value_list_count(); ++i) {
        out.push_back(std::string(value_list_first(i)) + "=" + value_list_second(i));
    }
    return out;
}

TEST_F(Sheet, SpecialDataChoicesFollowTheSurface) {
    small_lens("TH 100");
    open_sheet();
    // The object surface: no perfect lens, no diffraction and no gradient-index entries; the
    // aspheric heading counts the seven that stay.
    lens_data().current_surface = 0;
    const std::vector<std::string> object = {
        "     ~ Surface note=1",
        "       Surface switches=$1",
        "     ~ Fresnel, ASI, TIR, rod, drawing, skip=3",
        "     ~ Coordinates=7",
        "       Aspheric profiles=$7",
        "     ~ Conic and toric=10",
        "     ~ Standard asphere=11",
        "     ~ Even polynomial asphere (ASR)=12",
        "     ~ Radial polynomial asphere (ARA)=14",
        "     ~ Odd polynomial asphere (ISR)=16",
        "     ~ Cone (CNR)=20",
        "     ~ Zernike asphere (ZSR)=22",
        "     ~ Spline profile=24",
    };
    EXPECT_EQ(choice_list(), object);

    // A conic and a spline profile: no asphere entries (nor their heading); the spline marked.
    lens_data().current_surface = 1;
    surface(1).conic = -1.0;
    ASSERT_EQ(alloc_spline_record(1, 4), 0);
    char names[kSpecialDataNamesSize];
    EXPECT_EQ(special_data_type_name(1, names, sizeof names), 2);
    EXPECT_STREQ(names, "Conic; Spline profile");
    const std::vector<std::string> spline = {
        "     ~ Surface note=1",
        "       Surface switches=$1",
        "     ~ Fresnel, ASI, TIR, rod, drawing, skip=3",
        "     ~ Coordinates=7",
        "     ~ Perfect lens=8",
        "     * Spline profile=24",
        "       Diffraction=$5",
        "     ~ Grating=26",
        "     ~ Hologram=27",
        "     ~ Diffractive surface=28",
        "     ~ Kinoform=30",
        "     ~ Zernike phase surface=32",
        "       Gradient index=$4",
        "     ~ Axial and radial gradient (ARG)=36",
        "     ~ Radial gradient (WOD)=37",
        "     ~ Radial gradient (SEL)=38",
        "     ~ General gradient (GRD)=39",
    };
    EXPECT_EQ(choice_list(), spline);
    // The loaded table is untouched: the object surface's list comes out the same again.
    lens_data().current_surface = 0;
    EXPECT_EQ(choice_list(), object);
}

}  // namespace
}  // namespace sheet_test

namespace sheet_test {
namespace {

// The aperture column, between the third and fourth bars of a sheet row.
std::string aperture_column(const std::string& row) {
    std::size_t at = 0;
    for (int k = 0; k < 3 && at != std::string::npos; ++k) at = row.find('|', at + 1);
    if (at == std::string::npos) return {};
    return row.substr(at + 1, row.find('|', at + 1) - at - 1);
}

// Special apertures mark a surface 'X' in the listing and in the sheet alike; a count set back
// to 0 leaves a surface with none, marked in neither.
TEST_F(Sheet, SpecialApertureMarkAgreesInTheListingAndTheSheet) {
    small_lens("TH 100");
    const struct {
        const char* count;
        bool marked;
    } cases[] = {{"APN 2", true}, {"APN 0", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        type_lines({"LEN", "GTO 1", c.count, "END"});
        const std::size_t before = output().size();
        type("LIST_RADII 0 1 1");
        const std::string listed = output().substr(before);
        const std::size_t row = listed.find("\n  1 ");
        ASSERT_NE(row, std::string::npos) << listed;
        const std::string line = listed.substr(row + 1, listed.find('\n', row + 1) - row - 1);
        EXPECT_EQ(line.find('X') != std::string::npos, c.marked) << line;

        open_sheet();
        const std::vector<std::string> shown = lines();
        ASSERT_GT(shown.size(), 5u);
        const std::string column = aperture_column(shown[5]);
        EXPECT_NE(column.find("10.000000"), std::string::npos) << shown[5];
        EXPECT_EQ(column.find('X') != std::string::npos, c.marked) << shown[5];
        type("exit_levels");
        for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), 0);
    }
}

}  // namespace
}  // namespace sheet_test
