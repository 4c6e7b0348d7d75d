// The fan and section plots on the Qt backend (offscreen): the drawn curves land within one
// pixel of where the window's mapping puts their points.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPageLayout>
#include <QPrinter>
#include <QWidget>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>

#include "app/main_loop.h"
#include "evaluation/mtf_curves.h"
#include "evaluation/spot_ray_listing.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "graphics/draw_primitives.h"
#include "graphics/graphics_files.h"
#include "graphics/graphics_raster.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "platform/qt/qt_backend.h"
#include "platform/state_reset.h"
#include "reports/plot_frame.h"
#include "reports/report_page.h"
#include "reports/section_plots.h"
#include "runtime/command_levels.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "tests/app/startup/started_runtime.h"
#include "tests/reports/slider_lenses.h"
#include "tests/support/qt_test_app.h"

namespace {

// Which cells of a 16 x 12 grid over a picture hold ink. The picture lies in the area (left,
// top, width, height) of an image, in pixels; a cell's ink "inside" lies at least `edge` pixels
// within its bounds, "about" within `edge` pixels outside them, so that two pictures drawn at
// different sizes agree up to the rounding of a line lying on a cell's edge. The box drawn about
// the whole picture is not counted (a band of twice the tolerance along the picture's border):
// it would ink every cell of the border.
struct InkCells {
    static constexpr int kColumns = 16, kRows = 12;
    bool inside[kRows][kColumns] = {}, about[kRows][kColumns] = {};

    template <typename Ink>
    InkCells(double left, double top, double width, double height, double edge, int image_width,
             int image_height, Ink ink) {
        const double xmin = std::max(left + 2 * edge, 0.0);
        const double xmax = std::min(left + width - 1 - 2 * edge, image_width - 1.0);
        const double ymin = std::max(top + 2 * edge, 0.0);
        const double ymax = std::min(top + height - 1 - 2 * edge, image_height - 1.0);
        for (int r = 0; r < kRows; ++r) {
            for (int c = 0; c < kColumns; ++c) {
                const double x0 = left + width * c / kColumns;
                const double x1 = left + width * (c + 1) / kColumns;
                const double y0 = top + height * r / kRows;
                const double y1 = top + height * (r + 1) / kRows;
                auto any = [&](double grow) {
                    const int a = static_cast<int>(std::ceil(std::max(x0 - grow, xmin)));
                    const int b = static_cast<int>(std::floor(std::min(x1 + grow, xmax)));
                    const int p = static_cast<int>(std::ceil(std::max(y0 - grow, ymin)));
                    const int q = static_cast<int>(std::floor(std::min(y1 + grow, ymax)));
                    for (int y = p; y <= q; ++y) {
                        for (int x = a; x <= b; ++x) {
                            if (ink(x, y)) return true;
                        }
                    }
                    return false;
                };
                inside[r][c] = any(-edge);
                about[r][c] = any(edge);
            }
        }
    }
    int inked() const {
        int n = 0;
        for (const auto& row : inside) {
            for (bool b : row) n += b ? 1 : 0;
        }
        return n;
    }
    // The cells one picture inks inside that the other has no ink about, as "row,column".
    std::string differences(const InkCells& other) const {
        std::string out;
        for (int r = 0; r < kRows; ++r) {
            for (int c = 0; c < kColumns; ++c) {
                if ((inside[r][c] && !other.about[r][c]) || (other.inside[r][c] && !about[r][c])) {
                    out += " " + std::to_string(r) + "," + std::to_string(c);
                }
            }
        }
        return out;
    }
};

// The cells of the raster the console program draws and saves ("plot 1 page.bmp") for the
// current graphics window: the display list replayed into colour indices, 0 the background.
InkCells console_cells() {
    const IndexedRaster raster = graphwin_capture();
    return InkCells(0, 0, raster.width(), raster.height(), 2, raster.width(), raster.height(),
                    [&](int x, int y) { return raster.at(x, y) != 0; });
}

InkCells image_cells(const QImage& image, QRgb background, double left, double top, double width,
                     double height, double edge) {
    return InkCells(left, top, width, height, edge, image.width(), image.height(),
                    [&](int x, int y) { return image.pixel(x, y) != background; });
}

// The five pages as typed, on the catalogue triplet.
const char* const kPages[] = {"report_wavefront", "report_ray_trace", "report_spot", "report_mtf",
                              "report_psf"};

class PlotsQt : public ::testing::Test {
protected:
    void SetUp() override {
        platform::reset_all_state();
        platform::set_current_ui(qt.get());
        ASSERT_EQ(runtime_init(1), 0);
        ASSERT_EQ(install_main_loop(), 0);
        platform::set_current_ui(run.backend.get());
        ASSERT_EQ(app_init(0, 0, 0), 0);
        platform::set_current_ui(qt.get());
        main_loop_start();
        set_setting_flag(kSetGraphicsAxes, 1);
        set_setting_flag(kSetGraphicsLabels, 1);
        set_setting_flag(kSetGraphicsAutoclear, 1);
    }
    void TearDown() override {
        QApplication::processEvents();
        gui_shutdown();
        set_running_flag(0);
        platform::set_current_ui(run.backend.get());
        platform::reset_all_state();
    }
    void lines(const std::vector<std::string>& all) {
        for (const std::string& l : all) {
            ASSERT_EQ(run_command_string(l.c_str(), 0), 0) << l << ": " << error_text_buffer();
        }
        for (int i = 0; i < 20; ++i) qt->process_one_event(false);
        QApplication::processEvents();
    }
    static QImage grab() {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (QWidget* w = top->findChild<QWidget*>("tavo_surface_7")) {
                return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
            }
        }
        return {};
    }
    // Whether anything but the background lies within one pixel of the world point.
    static bool drawn_near(const QImage& image, double x, double y) {
        int sx = 0, sy = 0;
        gfx_world_to_device(x, y, &sx, &sy);
        const platform::Point p = surface_to_pixel(sx, sy);
        const platform::Colour b = graphics_colour(0);
        const QRgb background = qRgb(b.red, b.green, b.blue);
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy) {
                const int px = p.x + dx, py = p.y + dy;
                if (px < 0 || py < 0 || px >= image.width() || py >= image.height()) continue;
                if (image.pixel(px, py) != background) return true;
            }
        }
        return false;
    }

    // Pixels other than the background within a rectangle of page coordinates.
    static int ink_in(const QImage& image, double x0, double x1, double y0, double y1) {
        page_coordinates();
        int ax = 0, ay = 0, bx = 0, by = 0;
        gfx_world_to_device(x0, y0, &ax, &ay);
        gfx_world_to_device(x1, y1, &bx, &by);
        const platform::Point a = surface_to_pixel(ax, ay), b = surface_to_pixel(bx, by);
        const platform::Colour c = graphics_colour(0);
        const QRgb background = qRgb(c.red, c.green, c.blue);
        int ink = 0;
        for (int px = std::min(a.x, b.x); px <= std::max(a.x, b.x); ++px) {
            for (int py = std::min(a.y, b.y); py <= std::max(a.y, b.y); ++py) {
                if (px < 0 || py < 0 || px >= image.width() || py >= image.height()) continue;
                if (image.pixel(px, py) != background) ++ink;
            }
        }
        return ink;
    }

    tavo_test::StartedRuntime run;
    std::unique_ptr<platform::UiBackend> qt = tavo_test::make_test_qt_backend();
};

const std::vector<std::string> kMirror = {
    "LEN NEW \"Mirror\"", "EBR 10", "ANG 0", "NXT", "RD -200", "TH -100", "RFL", "NXT", "END",
    "trr 0 0 0 0 0"};

TEST_F(PlotsQt, FanCurveEndsAndSectionPeaksLandOnTheirPixels) {
    std::vector<std::string> fan = kMirror;
    fan.push_back("plr cur yx 0.02 0 11");
    lines(fan);
    QImage image = grab();
    ASSERT_FALSE(image.isNull());
    // The rim rays cross the image 0.012569 on the other side of the axis: at scale 0.02 the
    // meridional curve (graph world beside the half fan) ends at (-1, 0.628) and (1, -0.628).
    const double t = std::asin(10.0 / 200.0);
    const double v = 100.0 * (1.0 / std::cos(t) - 1.0) * std::tan(2.0 * t) / 0.02;
    set_plot_world(-1.2, 2.6, -1.1, 1.4);
    EXPECT_TRUE(drawn_near(image, -1.0, v));
    EXPECT_TRUE(drawn_near(image, 1.0, -v));
    EXPECT_FALSE(drawn_near(image, -1.0, -v));

    lines({"spd mon 32", "plot_intensity_sections mon 0 0 21"});
    image = grab();
    // The sections' samples at and beside the peak (of the spherical mirror: 0.33), clear of
    // the axes.
    const IntensitySections& s = section_plot_state().sections;
    ASSERT_GT(s.y_section[9], 0.1);
    set_plot_world(-0.2, 1.15, -0.2, 1.3);
    EXPECT_TRUE(drawn_near(image, 0.5, s.y_section[10]));
    EXPECT_TRUE(drawn_near(image, 0.45, s.y_section[9]));
    EXPECT_TRUE(drawn_near(image, 0.55, s.x_section[11]));
    EXPECT_FALSE(drawn_near(image, 0.45, s.y_section[9] + 0.2));
}

TEST_F(PlotsQt, SpotMarkersLandOnTheRaysOffsets) {
    std::vector<std::string> spot = kMirror;
    spot.insert(spot.end(), {"spd mon 8", "pls cen spt 0 0.05"});
    lines(spot);
    const QImage image = grab();
    ASSERT_FALSE(image.isNull());
    // Every ray at its offset from the centroid over the scale, in the isometric box.
    const SpotStore& st = spot_store();
    ASSERT_GT(st.ray_count, 0);
    for (std::int32_t i = 0; i < st.ray_count; ++i) {
        double x = 0.0, y = 0.0;
        ray_offset_from_reference(0, i, x, y, 0.0);
        EXPECT_TRUE(drawn_near(image, x / 0.05, y / 0.05)) << i;
    }
    // Nothing inside the box away from the spot.
    EXPECT_FALSE(drawn_near(image, 0.6, -0.6));
    EXPECT_FALSE(drawn_near(image, -0.6, 0.6));
}

TEST_F(PlotsQt, MtfKnotsLandOnTheirPixels) {
    std::vector<std::string> mtf = {"LEN NEW \"Paraboloid\"",
                                    "EBR 10",
                                    "ANG 0",
                                    "NXT",
                                    "RD -200",
                                    "TH -100",
                                    "RFL",
                                    "CC -1",
                                    "NXT",
                                    "END",
                                    "trr 0 0 0 0 0",
                                    "spd mon 32",
                                    "plm tfr mon 0 0 0 1 21 no"};
    lines(mtf);
    const QImage image = grab();
    ASSERT_FALSE(image.isNull());
    // The x curve's knots as the MTF operation gives them at the plot's frequencies.
    const double s = get_setting_double(kSetGraphicsCurrentScale, 0, 0);
    ASSERT_GT(s, 0.0);
    double y = 0.0, x = 0.0;
    spot_reference_offset(0, y, x, 0.0);
    std::vector<double> values(22), slope(22);
    double cutoff = 0.0;
    ASSERT_EQ(mtf_at_frequency({.mode = 0,
                                .direction = 0,
                                .wave = 0,
                                .F = s,
                                .S = s / 20.0,
                                .shift_y = y,
                                .shift_x = x},
                               values.data(), slope.data(), &cutoff),
              0);
    set_plot_world(-0.2, 1.15, -0.2, 1.3);
    for (int i = 2; i <= 18; i += 4) {
        EXPECT_TRUE(drawn_near(image, i / 20.0, values[static_cast<std::size_t>(i)])) << i;
    }
    EXPECT_FALSE(drawn_near(image, 0.5, values[10] + 0.15));
}

TEST_F(PlotsQt, TheWavefrontPageInksItsPanelsAndFooterAndLeavesTheRestEmpty) {
    std::vector<std::string> page = kMirror;
    page.push_back("report_wavefront");
    lines(page);
    const QImage image = grab();
    ASSERT_FALSE(image.isNull());
    // Each column's map and surface, inside the frame about the window.
    const double columns[][2] = {{0.05, 0.35}, {0.35, 0.65}, {0.65, 0.95}};
    for (const auto& c : columns) {
        EXPECT_GT(ink_in(image, c[0] + 0.02, c[1] - 0.02, 0.6, 0.9), 0) << c[0];
        EXPECT_GT(ink_in(image, c[0] + 0.02, c[1] - 0.02, 0.15, 0.4), 0) << c[0];
    }
    // The footer's rule across the window, and its rules at 0.4 and 0.9.
    EXPECT_GT(ink_in(image, 0.02, 0.3, 0.095, 0.105), 50);
    EXPECT_GT(ink_in(image, 0.395, 0.405, 0.02, 0.08), 5);
    EXPECT_GT(ink_in(image, 0.895, 0.905, 0.02, 0.08), 5);
    // Nothing in the margins beside the columns.
    EXPECT_EQ(ink_in(image, 0.01, 0.04, 0.11, 0.99), 0);
    EXPECT_EQ(ink_in(image, 0.96, 0.99, 0.15, 0.85), 0);
}

TEST_F(PlotsQt, TheRayTraceSpotAndPsfPagesInkTheirPanels) {
    struct Box {
        double x0, x1, y0, y1;
    };
    struct Case {
        const char* page;
        std::vector<Box> inked;
    };
    const std::vector<Case> cases = {
        {"report_ray_trace",
         {{0.05, 0.35, 0.75, 0.95},
          {0.05, 0.35, 0.45, 0.65},
          {0.05, 0.35, 0.15, 0.35},
          {0.42, 0.58, 0.62, 0.9},
          {0.62, 0.78, 0.62, 0.9},
          {0.45, 0.95, 0.15, 0.55}}},
        {"report_spot 1 0.2 0 0",
         {{0.05, 0.35, 0.72, 0.98},
          {0.05, 0.35, 0.42, 0.68},
          {0.05, 0.35, 0.12, 0.38},
          {0.45, 0.85, 0.2, 0.6},
          {0.52, 0.98, 0.86, 0.99}}},
        {"report_psf",
         {{0.05, 0.45, 0.15, 0.5},
          {0.55, 0.95, 0.6, 0.95},
          {0.05, 0.45, 0.6, 0.95},
          {0.55, 0.95, 0.15, 0.5}}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> page = kMirror;
        page.push_back(c.page);
        lines(page);
        const QImage image = grab();
        ASSERT_FALSE(image.isNull());
        for (const Box& b : c.inked) {
            EXPECT_GT(ink_in(image, b.x0, b.x1, b.y0, b.y1), 0)
                << c.page << " " << b.x0 << " " << b.y0;
        }
        // The footer's rule across the window and its rule at the split.
        EXPECT_GT(ink_in(image, 0.02, 0.3, 0.095, 0.105), 50) << c.page;
        EXPECT_GT(ink_in(image, 0.395, 0.405, 0.02, 0.08), 5) << c.page;
    }
}

TEST_F(PlotsQt, EachPagesWindowInksTheCellsOfTheConsoleRaster) {
    lines(slider_test::kCatalogueTriplet);
    const platform::Colour b = graphics_colour(0);
    for (const char* page : kPages) {
        lines({page});
        const QImage image = grab();
        ASSERT_FALSE(image.isNull()) << page;
        const InkCells window = image_cells(image, qRgb(b.red, b.green, b.blue), 0, 0,
                                            image.width(), image.height(), 2);
        const InkCells console = console_cells();
        // A page fills most of the grid; the window and the raster ink the same cells.
        EXPECT_GT(console.inked(), InkCells::kColumns * InkCells::kRows / 2) << page;
        EXPECT_EQ(window.differences(console), "") << page;
    }
}

// Printed without a printer, a page goes to DATA/print.pdf. Rendered at 72 dots an inch, a
// pixel is a point of the paper.
TEST_F(PlotsQt, EachPagePrintsOnOnePdfPageInkingTheWindowsCells) {
    for (const char* tool : {"pdfinfo", "pdftoppm"}) {
        if (std::system((std::string("command -v ") + tool + " > /dev/null 2>&1").c_str()) != 0) {
            GTEST_SKIP() << "poppler-utils missing";
        }
    }
    // The printable area: the paper and margins Qt's page layout gives the high-resolution PDF
    // printer the program prints to when no printer is installed, in points.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QRectF paper = printer.pageLayout().fullRect(QPageLayout::Point);
    const QRectF printable = printer.pageLayout().paintRect(QPageLayout::Point);
    const std::filesystem::path pdf = run.tree.data() / "print.pdf";
    const std::filesystem::path png = run.tree.base() / "printed.png";
    const platform::Colour b = graphics_colour(0);
    const QRgb background = qRgb(b.red, b.green, b.blue);
    lines(slider_test::kCatalogueTriplet);
    for (const char* page : kPages) {
        lines({page});
        const QImage shown = grab();
        ASSERT_FALSE(shown.isNull()) << page;
        const InkCells window =
            image_cells(shown, background, 0, 0, shown.width(), shown.height(), 2);

        std::filesystem::remove(pdf);
        ASSERT_EQ(run_command_string("plot 0", 0), 0) << page << ": " << error_text_buffer();
        ASSERT_TRUE(std::filesystem::exists(pdf)) << page;
        const std::string info = (run.tree.base() / "info.txt").string();
        ASSERT_EQ(std::system(("pdfinfo '" + pdf.string() + "' > '" + info + "' 2>&1").c_str()), 0);
        EXPECT_NE(tavo_test::read_file(info).find("Pages:           1\n"), std::string::npos)
            << page << tavo_test::read_file(info);
        ASSERT_EQ(std::system(("pdftoppm -r 72 -aa no -aaVector no -singlefile -png '" +
                               pdf.string() + "' '" + (run.tree.base() / "printed").string() + "'")
                                  .c_str()),
                  0);
        const QImage printed(QString::fromStdString(png.string()));
        ASSERT_FALSE(printed.isNull()) << page;
        EXPECT_NEAR(printed.width(), paper.width(), 1.0) << page;
        EXPECT_NEAR(printed.height(), paper.height(), 1.0) << page;

        // The picture keeps the window's proportions at the largest size the printable area
        // holds, centred in it.
        const GraphicsWindow* g = graphics_current_record();
        ASSERT_NE(g, nullptr);
        const double s = std::min(printable.width() / g->width, printable.height() / g->height);
        const double w = g->width * s, h = g->height * s;
        const double left = printable.left() + (printable.width() - w) / 2;
        const double top = printable.top() + (printable.height() - h) / 2;
        const InkCells on_paper = image_cells(printed, background, left, top, w, h, 3);
        EXPECT_EQ(on_paper.differences(window), "") << page;
        // Beside the picture the printable area holds nothing; the box about the picture lies
        // on its border.
        int beside = 0;
        for (int y = static_cast<int>(printable.top()) + 1; y < printable.bottom() - 1; ++y) {
            for (int x = static_cast<int>(printable.left()) + 1; x < printable.right() - 1; ++x) {
                const bool in_picture =
                    x > left - 3 && x < left + w + 3 && y > top - 3 && y < top + h + 3;
                if (!in_picture && printed.pixel(x, y) != background) ++beside;
            }
        }
        EXPECT_EQ(beside, 0) << page;
        auto ink_near = [&](double x, double y) {
            for (int dy = -2; dy <= 2; ++dy) {
                for (int dx = -2; dx <= 2; ++dx) {
                    if (printed.pixel(static_cast<int>(x) + dx, static_cast<int>(y) + dy) !=
                        background) {
                        return true;
                    }
                }
            }
            return false;
        };
        EXPECT_TRUE(ink_near(left + w / 3, top) && ink_near(left + w / 3, top + h - 1)) << page;
        EXPECT_TRUE(ink_near(left, top + h / 3) && ink_near(left + w - 1, top + h / 3)) << page;
    }
}

// The bounding box of the ink in a rectangle of an image: left, top, width, height (0 wide
// when there is none).
QRect ink_box(const QImage& image, QRgb background, QRect within) {
    int x0 = within.right() + 1, y0 = within.bottom() + 1, x1 = within.left() - 1,
        y1 = within.top() - 1;
    for (int y = std::max(within.top(), 0); y <= std::min(within.bottom(), image.height() - 1);
         ++y) {
        for (int x = std::max(within.left(), 0); x <= std::min(within.right(), image.width() - 1);
             ++x) {
            if (image.pixel(x, y) == background) continue;
            x0 = std::min(x0, x);
            x1 = std::max(x1, x);
            y0 = std::min(y0, y);
            y1 = std::max(y1, y);
        }
    }
    return x1 < x0 ? QRect() : QRect(QPoint(x0, y0), QPoint(x1, y1));
}

TEST_F(PlotsQt, GraphwinOpenSizesTheDrawingArea) {
    // Each size asked for is the drawing area's on the screen (below the window's tool strip),
    // and the picture then fills it. The first line also puts the window at the top of the
    // screen, so that the large size fits below it (the test screen is not 900 wide).
    const platform::Size screen = qt->screen_size();
    const int large_w = std::min(900, screen.width - 40);
    const struct {
        std::string line;
        int w, h;
    } cases[] = {{"graphwin_open 2 300 200 1 1", 300, 200},
                 {"graphwin_open 2 " + std::to_string(large_w) + " 600", large_w, 600},
                 {"graphwin_open 2 300 200", 300, 200},
                 {"graphwin_open 2 0 250", 300, 250}};
    for (const auto& [line, w, h] : cases) {
        lines({line, "new_page", "move_to 0 0", "draw_to 1 1"});
        const QWidget* area = tavo_test::find_widget<QWidget>("tavo_surface_8");
        ASSERT_NE(area, nullptr);
        EXPECT_EQ(area->width(), w) << line;
        EXPECT_EQ(area->height(), h) << line;
        int gw = 0, gh = 0;
        graphwin_get_size(&gw, &gh);
        EXPECT_EQ(gw, w);
        EXPECT_EQ(gh, h);
        QImage image;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (QWidget* s = top->findChild<QWidget*>("tavo_surface_8")) {
                image = s->grab().toImage().convertToFormat(QImage::Format_RGB32);
            }
        }
        const platform::Colour b = graphics_colour(0);
        const QRgb background = qRgb(b.red, b.green, b.blue);
        // The diagonal reaches the far corner of the area.
        bool corner = false;
        for (int dx = 0; dx < 3; ++dx) {
            for (int dy = 0; dy < 3; ++dy) corner |= image.pixel(w - 1 - dx, dy) != background;
        }
        EXPECT_TRUE(corner) << w << " x " << h;
    }
}

TEST_F(PlotsQt, APrintedMarkerKeepsItsShape) {
    for (const char* tool : {"pdftoppm"}) {
        if (std::system((std::string("command -v ") + tool + " > /dev/null 2>&1").c_str()) != 0) {
            GTEST_SKIP() << "poppler-utils missing";
        }
    }
    const std::filesystem::path pdf = run.tree.data() / "print.pdf";
    const std::filesystem::path png = run.tree.base() / "printed.png";
    const platform::Colour b = graphics_colour(0);
    const QRgb background = qRgb(b.red, b.green, b.blue);
    // A triangle alone in the left half of the window, letters alone in the right half.
    lines({"new_page", "move_to 0.25 0.5", "marker 3 3", "move_to 0.6 0.5", "gfx_print \"ABC\""});
    const QImage shown = grab();
    ASSERT_FALSE(shown.isNull());
    const QRect on_screen =
        ink_box(shown, background, QRect(0, 0, shown.width() / 2, shown.height()));
    ASSERT_GT(on_screen.width(), 4);
    ASSERT_EQ(run_command_string("plot 0", 0), 0) << error_text_buffer();
    ASSERT_TRUE(std::filesystem::exists(pdf));
    ASSERT_EQ(std::system(("pdftoppm -r 150 -aa no -aaVector no -singlefile -png '" + pdf.string() +
                           "' '" + (run.tree.base() / "printed").string() + "'")
                              .c_str()),
              0);
    const QImage printed(QString::fromStdString(png.string()));
    ASSERT_FALSE(printed.isNull());
    // The printable area is filled with the background and the paper's margins are left bare:
    // the left half of the filled area holds the triangle.
    int x0 = printed.width(), x1 = -1, y0 = printed.height(), y1 = -1;
    for (int x = 0; x < printed.width(); ++x) {
        if (printed.pixel(x, printed.height() / 2) == background) {
            x0 = std::min(x0, x);
            x1 = std::max(x1, x);
        }
    }
    for (int y = 0; y < printed.height(); ++y) {
        if (printed.pixel(printed.width() / 2, y) == background) {
            y0 = std::min(y0, y);
            y1 = std::max(y1, y);
        }
    }
    ASSERT_GT(x1, x0 + 40);
    ASSERT_GT(y1, y0 + 40);
    const QRect on_paper =
        ink_box(printed, background, QRect(QPoint(x0 + 2, y0 + 2), QPoint((x0 + x1) / 2, y1 - 2)));
    ASSERT_GT(on_paper.width(), 4);
    const double screen_ratio = static_cast<double>(on_screen.height()) / on_screen.width();
    const double paper_ratio = static_cast<double>(on_paper.height()) / on_paper.width();
    EXPECT_NEAR(paper_ratio, screen_ratio, 0.15 * screen_ratio)
        << "screen " << on_screen.width() << " x " << on_screen.height() << ", paper "
        << on_paper.width() << " x " << on_paper.height();
    // Its apex lies above the middle of its base, as on the screen.
    const QRect apex = ink_box(printed, background,
                               QRect(on_paper.left(), on_paper.top(), on_paper.width(),
                                     std::max(on_paper.height() / 5, 1)));
    EXPECT_NEAR(apex.center().x(), on_paper.center().x(), 0.1 * on_paper.width() + 1);
}

// A device that keeps the pixel bounds of each drawing call, in the order the calls come.
class CallBounds : public platform::RecordingDeviceContext {
public:
    using RecordingDeviceContext::RecordingDeviceContext;
    void move_to(platform::Point p) override { at_ = p; }
    void line_to(platform::Point p) override {
        add({at_, p});
        at_ = p;
    }
    void polyline(std::span<const platform::Point> points) override { add(points); }
    void polygon(std::span<const platform::Point> points) override { add(points); }
    void ellipse(platform::Rect r) override {
        add({platform::Point{r.left, r.top}, platform::Point{r.right, r.bottom}});
    }
    void set_pixel(platform::Point p, platform::Colour) override { add({p, p}); }
    void fill_rect(platform::Rect, platform::Colour) override { calls.push_back(QRect()); }
    std::vector<QRect> calls;

private:
    void add(std::initializer_list<platform::Point> points) {
        add(std::span<const platform::Point>(points.begin(), points.size()));
    }
    void add(std::span<const platform::Point> points) {
        QRect box;
        for (const platform::Point& p : points) box |= QRect(p.x, p.y, 1, 1);
        calls.push_back(box);
    }
    platform::Point at_{};
};

// A text of the current graphics window as the window draws it: its characters and the pixels
// its strokes cover.
struct DrawnText {
    std::string text;
    QRect box;
};

// The texts of the current window's display list, each measured by replaying the list up to
// the start and up to the end of its record: the calls between are the text's strokes.
std::vector<DrawnText> drawn_texts(platform::Size size) {
    GraphicsWindow& g = *graphics_current_record();
    const int write = g.write;
    auto calls_up_to = [&](int end) {
        CallBounds dc(size);
        g.write = end;
        display_list_replay(dc, 0);
        g.write = write;
        return dc.calls;
    };
    std::vector<DrawnText> texts;
    for (int pos = 0; pos < write && g.words[static_cast<std::size_t>(pos)] != 0;) {
        const std::uint16_t header = g.words[static_cast<std::size_t>(pos)];
        const int operands = std::max(display_list_operands(header), 0);
        const int next = pos + 1 + operands;
        const std::uint16_t kind = header & kDlKindMask;
        if (kind == kDlText || kind == kDlTextOffset) {
            DrawnText t;
            const int head = kind == kDlText ? 2 : 4;
            for (int i = pos + 1 + head; i < next; ++i) {
                const std::uint16_t w = g.words[static_cast<std::size_t>(i)];
                for (const char c : {static_cast<char>(w & 0xFF), static_cast<char>(w >> 8)}) {
                    if (c == 0) break;
                    t.text += c;
                }
            }
            const std::vector<QRect> before = calls_up_to(pos), after = calls_up_to(next);
            for (std::size_t i = before.size(); i < after.size(); ++i) t.box |= after[i];
            if (!t.box.isNull()) texts.push_back(t);
        }
        pos = next;
    }
    return texts;
}

// The texts of the current window, drawn in an area of width x height pixels whose ink is
// `ink`: every text lies inside the area and is inked there, and no two cover each other (they
// may touch along a pixel's rounding). A report page's area is at least 640 x 480 pixels, in
// which its captions are legible.
template <typename Ink>
void expect_texts_laid_out(const std::string& plot, int width, int height, Ink ink) {
    const std::string where =
        plot + " in " + std::to_string(width) + " x " + std::to_string(height);
    const std::vector<DrawnText> texts = drawn_texts({width, height});
    EXPECT_GT(texts.size(), 2u) << where;
    if (plot.starts_with("report_")) {
        EXPECT_GE(width, 640) << where;
        EXPECT_GE(height, 480) << where;
    }
    const QRect area(0, 0, width, height);
    for (const DrawnText& t : texts) {
        EXPECT_TRUE(area.contains(t.box)) << where << ": \"" << t.text << "\"";
        int inked = 0;
        for (int y = std::max(t.box.top(), 0); y <= std::min(t.box.bottom(), height - 1); ++y) {
            for (int x = std::max(t.box.left(), 0); x <= std::min(t.box.right(), width - 1); ++x) {
                inked += ink(x, y) ? 1 : 0;
            }
        }
        EXPECT_GT(inked, 0) << where << ": \"" << t.text << "\"";
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        for (std::size_t j = i + 1; j < texts.size(); ++j) {
            const QRect both =
                texts[i].box.adjusted(1, 1, -1, -1) & texts[j].box.adjusted(1, 1, -1, -1);
            EXPECT_TRUE(both.isEmpty())
                << where << ": \"" << texts[i].text << "\" over \"" << texts[j].text << "\"";
        }
    }
}

// A triplet with a long title, so that titles must be fitted to their cells, and the plots and
// pages typed for it.
std::vector<std::string> long_title_triplet() {
    std::vector<std::string> lines = slider_test::kCatalogueTriplet;
    lines.front() = "LEN NEW \"Cooke triplet f/4.5 50mm\"";
    lines.push_back("des \"verify\"");
    return lines;
}
const std::vector<std::vector<std::string>> kPlotsAndPages = {
    {"plr cur yx 0.02 0 11"},
    {"trr 1 0 0 0 0", "plr all yx 0 0 11"},
    {"plot_wavefront map 0 0 0"},
    {"report_wavefront"},
    {"report_ray_trace"},
    {"report_spot 0 0.4"},
    {"report_mtf"},
    {"spd mon 16", "plot_rad_energy_dist geo smo 0.0 20 0.05 1"},
    {"spd mon 16", "plm tfo mon 0 50 0 1 7 no"},
    {"report_psf"},
    {"draw_lens"},
    {"LEN NEW \"Element\"", "WV 0.58756", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10", "END",
     "element_sheet 1"},
};

// The element drawing of a lens of one element, drawn when its sheet, opened by the typed line,
// is left with OK.
void leave_element_sheet(const std::vector<std::string>& plot) {
    if (!plot.back().starts_with("element_sheet")) return;
    for (int k = 0; k < 4 && level_count() == 0; ++k) main_loop_pass(false);
    ASSERT_EQ(level_count(), 1) << plot.back();
    GridEvent shown;
    shown.code = kLevelEventShown;
    ASSERT_EQ(run_command_level(shown), 0) << plot.back();
    pop_command_level(false);
}

TEST_F(PlotsQt, EveryPlotAndPageKeepsItsTextsInsideTheWindowAndApart) {
    const platform::Colour b = graphics_colour(0);
    const QRgb background = qRgb(b.red, b.green, b.blue);
    for (const bool maximised : {false, true}) {
        lines(long_title_triplet());  // the element drawing's lens replaced it
        for (const auto& plot : kPlotsAndPages) {
            lines(plot);
            leave_element_sheet(plot);
            lines({});
            const int window = platform::kWindowGraphicsFirst - 1 + graphics_current();
            if (maximised) {
                // The user maximises the window the plot went to, and the plot is drawn again.
                qt->set_window_maximised(window, true);
                lines({});
                lines(plot);
                leave_element_sheet(plot);
                lines({});
            }
            const QImage image = grab();
            ASSERT_FALSE(image.isNull()) << plot.back();
            expect_texts_laid_out(plot.back() + (maximised ? " maximised" : ""), image.width(),
                                  image.height(),
                                  [&](int x, int y) { return image.pixel(x, y) != background; });
            if (maximised) {
                qt->set_window_maximised(window, false);
                lines({});
            }
        }
    }
}

// The console program with its windows, as PlotsQt starts it but without the Qt interface.
class PlotsConsole : public ::testing::Test {
protected:
    void SetUp() override {
        platform::reset_all_state();
        platform::set_current_ui(run.backend.get());
        ASSERT_EQ(runtime_init(1), 0);
        ASSERT_EQ(install_main_loop(), 0);
        ASSERT_EQ(app_init(0, 0, 0), 0);
        main_loop_start();
        set_setting_flag(kSetGraphicsAxes, 1);
        set_setting_flag(kSetGraphicsLabels, 1);
        set_setting_flag(kSetGraphicsAutoclear, 1);
    }
    void TearDown() override {
        gui_shutdown();
        set_running_flag(0);
        platform::reset_all_state();
    }
    void lines(const std::vector<std::string>& all) {
        for (const std::string& l : all) {
            ASSERT_EQ(run_command_string(l.c_str(), 0), 0) << l << ": " << error_text_buffer();
        }
    }

    tavo_test::StartedRuntime run;
};

TEST_F(PlotsConsole, EveryPlotAndPageKeepsItsTextsInsideTheWindowAndApart) {
    // Measured on the raster the console program saves: at the window's first size, and in a
    // window opened as large as the screen.
    const platform::Size screen = run.backend->screen_size();
    for (const bool large : {false, true}) {
        lines(long_title_triplet());  // the element drawing's lens replaced it
        for (const auto& plot : kPlotsAndPages) {
            if (large) {
                lines({"graphwin_open 1 " + std::to_string(screen.width) + " " +
                       std::to_string(screen.height)});
            }
            lines(plot);
            leave_element_sheet(plot);
            const IndexedRaster raster = graphwin_capture();
            if (large) {
                // Each opening gives the size asked for, not only the first.
                EXPECT_EQ(raster.width(), screen.width) << plot.back();
                EXPECT_EQ(raster.height(), screen.height) << plot.back();
            }
            expect_texts_laid_out(plot.back() + (large ? " on the whole screen" : ""),
                                  raster.width(), raster.height(),
                                  [&](int x, int y) { return raster.at(x, y) != 0; });
        }
    }
}

}  // namespace
