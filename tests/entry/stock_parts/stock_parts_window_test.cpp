// The stock-lens parts in window 16, through the program's command lines on the console: the
// parts in the list with the chosen one selected, the panel's choices, the label describing the
// part, a click choosing another part, OK, Cancel and a double click; clicks on the panel's
// buttons and values typed into its fields; and the preview's sag and frame against hand
// computations.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "entry/stock_parts_window.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "lens/stock_lenses.h"
#include "runtime/help_file.h"
#include "runtime/program_arguments.h"
#include "runtime/run_state.h"
#include "tables/table_names.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "tests/support/temp_tree.h"
#include "ui/graphics_text_window.h"
#include "ui/grid_cells.h"
#include "ui/text_area.h"

namespace {

namespace fs = std::filesystem;

class StockWindow : public loop_test::Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        const fs::path lmo = run_.tree.root() / "bin/lmo";
        fs::create_directories(lmo);
        for (const auto& e : fs::directory_iterator(fs::path(TAVO_INSTALL_DIR) / "bin/lmo")) {
            fs::copy_file(e.path(), lmo / e.path().filename(),
                          fs::copy_options::overwrite_existing);
        }
        type("select_lens_catalog generic");
        // The console has no input: its end asks to leave the program, as closing the frame
        // would. These tests go on running the main loop, so that request is dropped here.
        events();
        if (run_state() == kRunStateExit) set_run_state(0);
    }
    void TearDown() override {
        close_catalog_parts();
        free_lens_catalog();
        Loop::TearDown();
    }
    void events() {
        for (int k = 0; k < 100 && ui().process_one_event(false); ++k) {
        }
    }
    static std::vector<std::string> area_lines(int area) {
        std::vector<std::string> lines = textarea_output_lines(area);
        for (std::string& s : lines) {
            while (!s.empty() && s.back() == ' ') s.pop_back();
        }
        return lines;
    }
    void mouse(platform::MouseAction action, int row) {
        const TextArea* a = textarea(kListArea);
        platform::MouseEvent e;
        e.action = action;
        e.button = platform::MouseButton::left;
        e.position = {10, a->top_margin + row * a->line_height + 3};
        ui().post_mouse(kListPane, e);
        events();
    }
    // The panel's lines with each chosen button's text in brackets (a button's cell is its text
    // after two blanks; the second blank becomes '[', the column after the cell ']'). Values
    // are in the program's number format (11 columns).
    static std::vector<std::string> panel() {
        std::vector<std::string> lines;
        const TextArea* a = textarea(kGridTextArea);
        for (int k = 0; k < a->line_count; ++k) {
            const int ring = (a->first_line + k) % a->capacity;
            std::string text = a->line_text(ring);
            const std::uint8_t* attr = a->line_attributes(ring);
            // The first byte counts the bytes of the entries that follow it.
            const int count = attr != nullptr ? attr[0] / kGridEntrySize : 0;
            for (int e = 0; e < count; ++e) {
                const GridCellEntry entry = decode_grid_entry(attr + 1 + e * kGridEntrySize);
                if (grid_entry_kind(entry.field_code) != kGridKindRadioOn) continue;
                text[entry.first_column + 1] = '[';
                if (entry.end_column >= text.size()) text.resize(entry.end_column + 1, ' ');
                text[entry.end_column] = ']';
            }
            while (!text.empty() && text.back() == ' ') text.pop_back();
            lines.push_back(text);
        }
        while (!lines.empty() && lines.back().empty()) lines.pop_back();
        return lines;
    }
    bool window_shown() { return ui().window_visible(platform::kWindowGraphicsText); }
    // Opens the parts and lets the main loop build the panel's level.
    void open_parts() {
        type("stock_lens_at 1");
        ASSERT_TRUE(window_shown()) << errors();
        ASSERT_EQ(level_count(), 1);
    }
    // A press and release on the first character of `label` in the panel's line.
    void click_panel(int line, const std::string& label) {
        const std::vector<std::string> lines = area_lines(kGridTextArea);
        ASSERT_LT(line, static_cast<int>(lines.size()));
        const std::size_t column = lines[static_cast<std::size_t>(line)].find(label);
        ASSERT_NE(column, std::string::npos) << label << " in " << lines[line];
        const TextArea* a = textarea(kGridTextArea);
        platform::MouseEvent e;
        e.button = platform::MouseButton::left;
        e.position = {a->left_margin + static_cast<int>(column) * a->char_width + 2,
                      a->top_margin + line * a->line_height + 3};
        for (const auto action : {platform::MouseAction::press, platform::MouseAction::release}) {
            e.action = action;
            ui().post_mouse(kGridPane, e);
            events();
        }
        pass();
    }
    // A click on a value field, then a value typed for it.
    void enter_in_panel(int line, const std::string& label, const std::string& text) {
        click_panel(line, label);
        type(text);
    }
    // One pass of the main loop: what a click asked of the run state is carried out.
    void pass() { ASSERT_TRUE(main_loop_pass(false)) << errors(); }
    std::string selected_name() {
        const StockLensPart* part = stock_part(stock_selection().selected);
        return part != nullptr ? part->name : "";
    }
};

// The generic catalogue's parts (data/lmo/generic.dir): positive 25.001 .. 250, negative
// -25.004 (GBV025D12), -49.998, -75, -99.996; cemented GAC050D12 (49.993, diameter 12.5) and
// GAC100D25 (99.999, diameter 25). Centres 50 and 20 at first.
TEST_F(StockWindow, ClicksOnThePanelsButtonsChooseTheTypeAndTheOrder) {
    open_parts();
    struct Case {
        int line;
        const char* button;
        std::vector<std::string> rows;
        const char* chosen;
        const char* panel_line;
    };
    const Case cases[] = {
        // Negative parts by focal length; the nearest to 50 is -25.004.
        {0,
         "Negative",
         {"  -99.996", "  -75.000", "  -49.998", "  -25.004"},
         "GBV025D12",
         "Lens Types:    Positive   [Negative]   Cemented"},
        {0,
         "Cemented",
         {"   49.993", "   99.999"},
         "GAC050D12",
         "Lens Types:    Positive    Negative   [Cemented]"},
        // By diameter the nearest to 20 is the 25 mm part (12.5 lies 7.5 away).
        {1,
         "Diameter",
         {"  12.500", "  25.000"},
         "GAC100D25",
         "Sort By:       Focal length   [Diameter]   Name"},
        // By name in directory order; the nearest by focal length again.
        {1,
         "Name",
         {"GAC050D12", "GAC100D25"},
         "GAC050D12",
         "Sort By:       Focal length    Diameter   [Name]"},
        {0,
         "Positive",
         {"GBX025D12", "GBX050D25", "GBX100D25", "GBX200D50", "GPX050D25", "GPX100D25", "GPX150D40",
          "GPX250D50"},
         "GPX050D25",
         "Lens Types:   [Positive]   Negative    Cemented"},
    };
    for (const Case& c : cases) {
        click_panel(c.line, c.button);
        EXPECT_EQ(area_lines(kListArea), c.rows) << c.button << errors();
        EXPECT_EQ(selected_name(), c.chosen) << c.button;
        EXPECT_EQ(area_lines(kListArea)[static_cast<std::size_t>(list_selected_line())],
                  stock_row_text(stock_selection().selected))
            << c.button;
        EXPECT_EQ(panel()[static_cast<std::size_t>(c.line)], c.panel_line);
        EXPECT_NE(area_lines(kGridTextArea)[4].find(std::string("Part Name:  ") + c.chosen),
                  std::string::npos)
            << area_lines(kGridTextArea)[4];
    }
}

TEST_F(StockWindow, ValuesTypedIntoThePanelsFieldsNarrowTheList) {
    open_parts();
    struct Case {
        int line;
        const char* after;  // the label in front of the field
        const char* typed;
        int efl_centre, efl_range, diameter_centre, diameter_range;  // x 1000, as stored
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        // 50 +- 10 keeps 49.996 and 50.
        {2, "Range: ", "10", 50000, 10000, 20000, 200000, {"   49.996", "   50.000"}},
        // A range is its size; 100 +- 5 holds the two 100 mm parts, bounds included.
        {2, "Efl: ", "100", 100000, 10000, 20000, 200000, {"   99.997", "  100.000"}},
        {2, "Range: ", "-5", 100000, 5000, 20000, 200000, {"   99.997", "  100.000"}},
        // Diameter 40 +- 0: the 40 mm part is outside the focal-length window.
        {3, "Range: ", "0", 100000, 5000, 20000, 0, {}},
        {3, "Dia: ", "25", 100000, 5000, 25000, 0, {"   99.997", "  100.000"}},
        // Beyond the panel's limit a value is taken as 10000.
        {2, "Efl: ", "20000", 10000000, 5000, 25000, 0, {}},
    };
    for (const Case& c : cases) {
        const std::string label = c.after;
        // The field follows its label: click just behind it.
        const std::string line = area_lines(kGridTextArea)[static_cast<std::size_t>(c.line)];
        const std::size_t at = line.find(label);
        ASSERT_NE(at, std::string::npos) << line;
        std::string cell = line.substr(at + label.size());
        cell = cell.substr(0, cell.find_first_of(' ', cell.find_first_not_of(' ')));
        enter_in_panel(c.line, cell, c.typed);
        const StockSelection& s = stock_selection();
        EXPECT_EQ(s.efl_centre, c.efl_centre) << c.typed << errors();
        EXPECT_EQ(s.efl_range, c.efl_range) << c.typed;
        EXPECT_EQ(s.diameter_centre, c.diameter_centre) << c.typed;
        EXPECT_EQ(s.diameter_range, c.diameter_range) << c.typed;
        EXPECT_EQ(area_lines(kListArea), c.rows) << c.typed;
    }
    EXPECT_EQ(window16_label(), "No part of the catalogue fits the selection");
}

TEST_F(StockWindow, APartNameTypedIntoItsFieldChoosesThatPart) {
    open_parts();
    enter_in_panel(4, "GPX050D25", "gbv050d25");
    EXPECT_EQ(selected_name(), "GBV050D25") << errors();
    // Its type, a window around it and the directory order.
    EXPECT_EQ(stock_selection().type, kStockNegative);
    EXPECT_EQ(stock_selection().sort, kStockSortDirectory);
    EXPECT_EQ(area_lines(kListArea),
              (std::vector<std::string>{"GBV025D12", "GBV050D25", "GBV100D25", "GPV075D25"}));
    EXPECT_EQ(list_selected_line(), 1);
    EXPECT_EQ(area_lines(kGridTextArea)[4], "Catalog:  GENERIC     Part Name:  GBV050D25");

    // A name the catalogue lacks is reported; the choice stays.
    enter_in_panel(4, "GBV050D25", "nope7");
    EXPECT_NE(errors().find("There is no part NOPE7 in the stock-lens catalogue"),
              std::string::npos)
        << errors();
    EXPECT_EQ(selected_name(), "GBV050D25");
    EXPECT_TRUE(window_shown());
}

TEST_F(StockWindow, ACatalogueNameTypedIntoItsFieldSelectsThatCatalogue) {
    // Copies of the generic catalogue under names of 9 and 11 characters.
    const fs::path lmo = run_.tree.root() / "bin/lmo";
    for (const char* name : {"catalog89", "longername1"}) {
        for (const char* ext : {".dir", ".dat", ".nam"}) {
            fs::copy_file(lmo / (std::string("generic") + ext), lmo / (std::string(name) + ext),
                          fs::copy_options::overwrite_existing);
        }
    }
    open_parts();
    enter_in_panel(2, "Range:  5.0000e+03", "10");
    struct Case {
        const char* typed;
        const char* loaded;
        const char* catalog_line;  // the panel's last line
        std::size_t rows;
        const char* error;
    };
    const Case cases[] = {
        // Not there: reported, the loaded one stays with its filters.
        {"nosuch", "generic", "Catalog:  GENERIC     Part Name:  GPX050D25", 2,
         "The stock-lens catalogue nosuch cannot be opened"},
        // Another one: read, its filters at their defaults, the name as wide as it needs.
        {"catalog89", "catalog89", "Catalog: CATALOG89    Part Name:  GPX050D25", 8, nullptr},
        {"longername1", "longername1", "Catalog:LONGERNAME1   Part Name:  GPX050D25", 8, nullptr},
    };
    for (const Case& c : cases) {
        const std::string shown = panel()[4].substr(8, panel()[4].find("   Part") - 8);
        enter_in_panel(4, shown.substr(0, shown.find_last_not_of(' ') + 1), c.typed);
        EXPECT_EQ(lens_catalog_name(), c.loaded) << c.typed;
        EXPECT_TRUE(window_shown()) << c.typed;
        EXPECT_EQ(panel()[4], c.catalog_line) << c.typed;
        EXPECT_EQ(area_lines(kListArea).size(), c.rows) << c.typed;
        if (c.error != nullptr) {
            EXPECT_NE(errors().find(c.error), std::string::npos) << errors();
        }
    }
}

TEST_F(StockWindow, ThePanelsLevelEndsWithTheParts) {
    for (const char* how : {"ok", "cancel", "exit_levels"}) {
        open_parts();
        const int before = lens_data().image_surface;
        if (std::string(how) == "exit_levels") {
            type("exit_levels");
            pass();
        } else {
            ui().post_command(platform::kWindowGraphicsText, std::string(how) == "ok"
                                                                 ? kWindow16OkCommand
                                                                 : kWindow16CancelCommand);
            events();
            pass();
        }
        EXPECT_EQ(level_count(), 0) << how;
        EXPECT_FALSE(catalog_parts_open()) << how;
        EXPECT_FALSE(window_shown()) << how;
        EXPECT_EQ(lens_data().image_surface, before + (std::string(how) == "ok" ? 2 : 0)) << how;
    }
}

TEST_F(StockWindow, ThePartsShowInTheListWithThePanelAndTheChosenPartDescribed) {
    type("stock_lens_at 1");
    ASSERT_TRUE(window_shown()) << errors();
    // Positive parts by focal length; the one nearest the centre 50 is selected.
    EXPECT_EQ(area_lines(kListArea),
              (std::vector<std::string>{"   25.001", "   49.996", "   50.000", "   99.997",
                                        "  100.000", "  150.000", "  199.995", "  250.000"}));
    EXPECT_EQ(list_selected_line(), 2);
    EXPECT_EQ(window16_label(),
              "Generic parts (tavo) GPX050D25: diameter 25.000, focal length 50.000, 46.044");
    EXPECT_EQ(panel(),
              (std::vector<std::string>{"Lens Types:   [Positive]   Negative    Cemented",
                                        "Sort By:      [Focal length]   Diameter    Name",
                                        "Central Efl:   50.000000   +/- Range:  5.0000e+03",
                                        "Central Dia:   20.000000   +/- Range:  200.000000",
                                        "Catalog:  GENERIC     Part Name:  GPX050D25"}));
    // The panel's command changes what the window shows.
    type("stock_panel 102 10");  // focal length 50 +- 10
    EXPECT_EQ(area_lines(kListArea), (std::vector<std::string>{"   49.996", "   50.000"}));
    EXPECT_EQ(list_selected_line(), 1);
    EXPECT_EQ(panel()[2], "Central Efl:   50.000000   +/- Range:   10.000000");
    type("stock_panel 2");
    EXPECT_TRUE(area_lines(kListArea).empty());
    EXPECT_EQ(window16_label(), "No part of the catalogue fits the selection");
    EXPECT_EQ(panel()[0], "Lens Types:    Positive   [Negative]   Cemented");
}

// A new session starts as the program does: the part the last session described is not named
// under the text window's pane when the window is made again.
TEST_F(StockWindow, ANewSessionForgetsThePartNamedUnderThePane) {
    type("stock_lens_at 1");
    ASSERT_TRUE(window_shown()) << errors();
    ASSERT_NE(window16_label(), "");

    TearDown();
    tavo_test::StartedRuntime::take_down();
    SetUp();
    EXPECT_EQ(window16_label(), "");
    EXPECT_FALSE(window_shown());
}

TEST_F(StockWindow, AClickChoosesAPartAndOkInsertsIt) {
    type("stock_lens_at 1");
    ASSERT_TRUE(window_shown()) << errors();
    const int before = lens_data().image_surface;
    mouse(platform::MouseAction::press, 4);
    mouse(platform::MouseAction::release, 4);
    EXPECT_EQ(list_selected_line(), 4);
    const StockLensPart* part = stock_part(stock_selection().selected);
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(part->efl, 100000);
    EXPECT_NE(window16_label().find(std::string(part->name) + ": diameter"), std::string::npos);
    // The list and its selection stay as they were: only the part changed.
    EXPECT_EQ(area_lines(kListArea).size(), 8u);

    ui().post_command(platform::kWindowGraphicsText, kWindow16OkCommand);
    events();
    EXPECT_FALSE(window_shown());
    EXPECT_FALSE(catalog_parts_open());
    EXPECT_EQ(lens_data().image_surface, before + 2) << errors();
    EXPECT_NEAR(surface(1).aperture_radius, part->diameter / 2000.0, 1e-9);
}

TEST_F(StockWindow, CancelClosesTheParts) {
    type("stock_lens_at 1");
    ASSERT_TRUE(window_shown()) << errors();
    const int before = lens_data().image_surface;
    ui().post_command(platform::kWindowGraphicsText, kWindow16CancelCommand);
    events();
    EXPECT_FALSE(window_shown());
    EXPECT_FALSE(catalog_parts_open());
    EXPECT_EQ(lens_data().image_surface, before);
}

TEST_F(StockWindow, HelpShowsThePanelsTopicAndLeavesThePanelOpen) {
    // The help file is named after the program.
    const char* argv[] = {"/opt/somewhere/tavolt"};
    set_program_arguments(1, argv);
    struct Restore {
        ~Restore() { reset_program_arguments(); }
    } restore;
    const std::string page = tavo_test::read_file(tavo_test::built_root() / "hlp/tavolt.html");
    ASSERT_FALSE(page.empty());
    run_.tree.write_file("root/hlp/tavolt.html", page);
    std::string expected;
    ASSERT_TRUE(help_topic_text_of(page, std::to_string(kHelpTopicStockPartsPanel), expected));
    type("stock_lens_at 1");
    ASSERT_TRUE(window_shown()) << errors();
    const std::string before = output();
    ui().post_command(platform::kWindowGraphicsText, kWindow16HelpCommand);
    events();
    EXPECT_NE(output().substr(before.size()).find(expected), std::string::npos) << output();
    EXPECT_EQ(errors().find("Cannot open the help file"), std::string::npos) << errors();
    EXPECT_TRUE(window_shown());
    EXPECT_TRUE(catalog_parts_open());
}

TEST_F(StockWindow, TheCloseBoxClosesTheParts) {
    type("stock_lens_at 1");
    ASSERT_TRUE(window_shown()) << errors();
    ui().post_close_request(platform::kWindowGraphicsText);
    events();
    EXPECT_FALSE(window_shown());
    EXPECT_FALSE(catalog_parts_open());
}

TEST_F(StockWindow, ADoubleClickInsertsThePart) {
    type("stock_lens_at 1");
    ASSERT_TRUE(window_shown()) << errors();
    const int before = lens_data().image_surface;
    mouse(platform::MouseAction::press, 0);
    mouse(platform::MouseAction::release, 0);
    mouse(platform::MouseAction::double_click, 0);
    EXPECT_FALSE(window_shown());
    EXPECT_EQ(lens_data().image_surface, before + 2) << errors();
}

TEST(StockPreview, SagAndFrameFollowTheirFormulas) {
    // z = c y^2 / (1 + sqrt(1 - c^2 y^2)), by hand.
    struct Case {
        double c, y, sag;
    };
    const Case cases[] = {
        {0.02, 10, 0.02 * 100 / (1 + std::sqrt(1 - 0.04))},  // 1.0102051...
        {-0.02, 10, -0.02 * 100 / (1 + std::sqrt(1 - 0.04))},
        {0.0, 12.5, 0.0},
        {0.1, 10, 10.0},   // a hemisphere's rim: 1/c
        {0.1, 10.5, 0.0},  // beyond the sphere
        {0.1, -10, 10.0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(stock_preview_sag(c.c, c.y), c.sag, 1e-12) << c.c << " " << c.y;
    }
    const double heights[][2] = {{5, 5.4},   {10, 5.4},  {10.5, 16.2}, {30, 16.2},
                                 {31, 48.6}, {90, 48.6}, {91, 80.0}};
    for (const auto& h : heights) EXPECT_EQ(stock_preview_half_height(h[0]), h[1]) << h[0];

    // 31 points from -aperture to +aperture at the surface's place.
    StockPreviewSurface s;
    s.curvature = 0.02;
    s.aperture = 15;
    std::vector<double> xs, ys;
    stock_preview_profile(s, 4.0, xs, ys);
    ASSERT_EQ(xs.size(), 31u);
    EXPECT_EQ(ys.front(), -15.0);
    EXPECT_EQ(ys.back(), 15.0);
    EXPECT_EQ(ys[15], 0.0);
    EXPECT_EQ(xs[15], 4.0);
    EXPECT_NEAR(xs.back(), 4.0 + 0.02 * 225 / (1 + std::sqrt(1 - 0.09)), 1e-12);
}

}  // namespace
