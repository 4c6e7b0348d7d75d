// The stock-lens parts in window 16, through the program's command lines on the console: the
// parts in the list with the chosen one selected, the panel's choices, the label describing the
// part, a click choosing another part, OK, Cancel and a double click; and the preview's sag
// and frame against hand computations.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "lens/stock_lenses.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "ui/graphics_text_window.h"
#include "ui/graphics_window.h"
#include "ui/stock_parts_window.h"
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
    bool window_shown() { return ui().window_visible(platform::kWindowGraphicsText); }
};

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
    EXPECT_EQ(area_lines(kGridTextArea),
              (std::vector<std::string>{"Lens Types:  [Positive]  Negative   Cemented",
                                        "Sort By:     [Focal length]  Diameter   Name",
                                        "Central Efl:     50.000   +/- Range:   5000.000",
                                        "Central Dia:     20.000   +/- Range:    200.000",
                                        "Catalog:  GENERIC     Part Name:  GPX050D25"}));
    // The panel's command changes what the window shows.
    type("stock_panel 102 10");  // focal length 50 +- 10
    EXPECT_EQ(area_lines(kListArea), (std::vector<std::string>{"   49.996", "   50.000"}));
    EXPECT_EQ(list_selected_line(), 1);
    EXPECT_EQ(area_lines(kGridTextArea)[2], "Central Efl:     50.000   +/- Range:     10.000");
    type("stock_panel 2");
    EXPECT_TRUE(area_lines(kListArea).empty());
    EXPECT_EQ(window16_label(), "No part of the catalogue fits the selection");
    EXPECT_EQ(area_lines(kGridTextArea)[0], "Lens Types:   Positive  [Negative]  Cemented");
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
