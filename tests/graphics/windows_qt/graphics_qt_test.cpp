// Graphics windows on the Qt backend (offscreen): a drawn line lands where the mapping puts it,
// in its table colour, and the window's pixels after clearing and replaying its display list
// equal those drawn directly.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_files.h"
#include "graphics/graphics_offscreen.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_snapshot.h"
#include "graphics/graphics_window.h"
#include "platform/qt/qt_backend.h"
#include "platform/state_reset.h"
#include "runtime/table_files.h"
#include "tests/support/qt_test_app.h"
#include "tests/support/temp_tree.h"
#include "ui/graphics_text_window.h"
#include "ui/window_table.h"

namespace {

struct GraphicsQt : ::testing::Test {
    std::unique_ptr<platform::UiBackend> ui = tavo_test::make_test_qt_backend();

    void SetUp() override {
        platform::reset_all_state();
        platform::set_current_ui(ui.get());
        ASSERT_EQ(ui->create_frame("TAVO LT", nullptr), 0);
        ASSERT_EQ(graphwin_open(1, 0, 0, 0, 0), 0);
        settle();
    }
    void TearDown() override {
        platform::set_current_ui(nullptr);
        platform::reset_all_state();
    }
    void settle() {
        for (int i = 0; i < 10; ++i) ui->process_one_event(false);
    }
    // The drawing area's pixels as the widget shows them.
    static QImage grab() {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (QWidget* w = top->findChild<QWidget*>("tavo_surface_7")) {
                return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
            }
        }
        return {};
    }
};

TEST_F(GraphicsQt, ALineLandsWhereTheMappingPutsItInItsColour) {
    gfx_set_color(2);  // red in the colour table
    gfx_move_to(0.25, 0.25);
    gfx_draw_to(0.75, 0.75);
    graphwin_refresh(0);
    settle();
    int sx = 0, sy = 0;
    gfx_world_to_device(0.25, 0.25, &sx, &sy);
    const platform::Point a = surface_to_pixel(sx, sy);
    gfx_world_to_device(0.75, 0.75, &sx, &sy);
    const platform::Point b = surface_to_pixel(sx, sy);
    const QImage image = grab();
    ASSERT_FALSE(image.isNull());
    const platform::Colour red = graphics_colour(2);
    const QRgb want = qRgb(red.red, red.green, red.blue);
    EXPECT_EQ(image.pixel(a.x, a.y), want);
    EXPECT_EQ(image.pixel(b.x, b.y), want);
    EXPECT_EQ(image.pixel((a.x + b.x) / 2, (a.y + b.y) / 2) == want ||
                  image.pixel((a.x + b.x) / 2, (a.y + b.y) / 2 + 1) == want ||
                  image.pixel((a.x + b.x) / 2, (a.y + b.y) / 2 - 1) == want,
              true);
    // Away from the line: the background, colour 0.
    EXPECT_EQ(image.pixel(a.x, b.y), qRgb(0, 0, 0));
}

TEST_F(GraphicsQt, PixelsAfterReplayEqualThoseDrawnDirectly) {
    gfx_set_color(3);
    gfx_move_to(0.1, 0.2);
    gfx_draw_to(0.9, 0.7);
    gfx_set_line_style(1);
    gfx_set_color(5);
    gfx_move_to(0.1, 0.8);
    gfx_draw_to(0.9, 0.1);
    const double x[] = {0.3, 0.6, 0.45};
    const double y[] = {0.3, 0.35, 0.6};
    gfx_set_line_style(0);
    gfx_polyline(x, y, 3, 4);
    gfx_polymarker(x, y, 3, 1, 1.5);
    gfx_frame_box();
    graphwin_refresh(0);
    settle();
    const QImage direct = grab();
    graphwin_clear(graphics_target());
    graphwin_refresh(1);
    settle();
    const QImage replayed = grab();
    ASSERT_FALSE(direct.isNull());
    EXPECT_EQ(direct, replayed);
    // The picture is not empty: the fill colour is there.
    const platform::Colour fill = graphics_colour(4);
    int filled = 0;
    for (int j = 0; j < direct.height(); ++j) {
        for (int i = 0; i < direct.width(); ++i) {
            filled += direct.pixel(i, j) == qRgb(fill.red, fill.green, fill.blue) ? 1 : 0;
        }
    }
    EXPECT_GT(filled, 100);
}

TEST_F(GraphicsQt, PrintingWithoutAPrinterWritesOnePdfPage) {
    tavo_test::TempTree tree;
    ASSERT_EQ(read_root_folders(), 0);
    gfx_set_color(2);
    gfx_move_to(0.1, 0.1);
    gfx_draw_to(0.9, 0.9);
    ASSERT_EQ(print_graphics(), 0);
    const std::string pdf = (tree.data() / "print.pdf").string();
    ASSERT_TRUE(std::filesystem::exists(pdf));
    const std::string info = (tree.base() / "info.txt").string();
    ASSERT_EQ(std::system(("pdfinfo '" + pdf + "' > '" + info + "' 2>&1").c_str()), 0);
    EXPECT_NE(tavo_test::read_file(info).find("Pages:           1"), std::string::npos)
        << tavo_test::read_file(info);
}

// The same picture drawn straight into the window and drawn off-screen then copied: the window
// does not change until the copy, and then shows the same pixels.
TEST_F(GraphicsQt, AnOffScreenPictureReachesTheWindowOnlyWhenCopied) {
    auto draw = [] {
        gfx_set_color(2);
        gfx_move_to(0.1, 0.2);
        gfx_draw_to(0.9, 0.7);
        gfx_set_color(4);
        gfx_set_line_style(2);
        gfx_move_to(0.1, 0.8);
        gfx_draw_to(0.9, 0.1);
        gfx_frame_box();
        graphwin_refresh(0);
    };
    graphwin_new_page(0);
    draw();
    settle();
    const QImage direct = grab();
    ASSERT_FALSE(direct.isNull());

    graphwin_offscreen(1);
    draw();
    settle();
    EXPECT_EQ(grab(), direct);  // still the old picture: nothing drawn on the screen yet
    // Erase the window by hand, so only the copy can bring the lines back.
    graphwin_offscreen(-1);
    graphwin_clear(graphics_target());
    settle();
    const QImage blank = grab();
    EXPECT_NE(blank, direct);
    graphwin_offscreen(1);
    draw();
    settle();
    EXPECT_EQ(grab(), blank);
    graphwin_offscreen(0);
    settle();
    EXPECT_EQ(grab(), direct);
    graphwin_offscreen(-1);
}

TEST_F(GraphicsQt, CursorShapesAndMouseCapture) {
    ui->set_cursor(platform::UiBackend::Cursor::cross);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
    ui->set_cursor(platform::UiBackend::Cursor::wait);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui->set_cursor(platform::UiBackend::Cursor::arrow);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    ASSERT_EQ(ui->capture_mouse(7), 0);
    EXPECT_EQ(ui->mouse_capture(), 7);
    ASSERT_NE(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(QWidget::mouseGrabber()->objectName(), QString("tavo_surface_7"));
    ui->release_mouse();
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(ui->mouse_capture(), -1);
}

// Paints the sheet's surface in four vertical bands of colours the 16-colour table holds.
struct BandsPainter : platform::WindowHandler {
    void on_paint(int, platform::DeviceContext& dc) override {
        const platform::Size size = dc.size();
        const platform::Colour bands[4] = {{255, 255, 255}, {255, 0, 0}, {0, 0, 255}, {0, 128, 0}};
        for (int k = 0; k < 4; ++k) {
            dc.fill_rect({size.width * k / 4, 0, size.width * (k + 1) / 4, size.height}, bands[k]);
        }
    }
};

// The spreadsheet's picture as a numbered 4-bit run-length bitmap, read back by Python's imaging
// library: the size of the sheet's area, a black frame round it, the bands in their colours.
TEST_F(GraphicsQt, TheSheetsPictureIsANumberedSixteenColourBitmap) {
    if (std::system("/usr/bin/python3 -c 'import PIL' > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "python3-pil is not installed";
    }
    tavo_test::TempTree tree;
    ASSERT_EQ(read_root_folders(), 0);
    reset_window_bitmaps();
    BandsPainter painter;
    ASSERT_EQ(ui->create_window(platform::kWindowSpreadsheet, "Sheet", &painter), 0);
    ui->show_window(platform::kWindowSpreadsheet, true);
    ui->invalidate(platform::kWindowSpreadsheet);
    settle();
    platform::SplashPicture shown;
    ASSERT_EQ(ui->grab_window(platform::kWindowSpreadsheet, false, shown), 0);
    ASSERT_GT(shown.width, 8);
    ASSERT_GT(shown.height, 8);

    ASSERT_EQ(save_window_bitmap(0), 0);
    ASSERT_EQ(save_window_bitmap(1), 0);
    const auto first = tree.data() / "0001.bmp";
    ASSERT_TRUE(std::filesystem::exists(first));
    EXPECT_TRUE(std::filesystem::exists(tree.data() / "0002.bmp"));

    const std::string out = (tree.base() / "pixels.txt").string();
    const int w = shown.width, h = shown.height;
    const std::string script =
        "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
        "print(im.format, im.info.get('compression'), im.mode, im.size[0], im.size[1])\n"
        "im = im.convert('RGB')\nw, h = im.size\n"
        "for x, y in [(0, 0), (w - 1, h // 2), (w // 2, h - 1), (w // 8, h // 2),"
        " (3 * w // 8, h // 2), (5 * w // 8, h // 2), (7 * w // 8, h // 2)]:\n"
        "    print(*im.getpixel((x, y)))\n";
    const auto script_file = tree.write_file("read.py", script);
    ASSERT_EQ(std::system(("/usr/bin/python3 '" + script_file.string() + "' '" + first.string() +
                           "' > '" + out + "' 2>&1")
                              .c_str()),
              0)
        << tavo_test::read_file(out);
    const std::string expected = "BMP 2 P " + std::to_string(w) + " " + std::to_string(h) +
                                 "\n0 0 0\n0 0 0\n0 0 0\n255 255 255\n255 0 0\n0 0 255\n0 128 0\n";
    EXPECT_EQ(tavo_test::read_file(out), expected);
    ui->destroy_window(platform::kWindowSpreadsheet);
}

// Window 16's label lies under its drawing pane and shows the text it was given.
TEST_F(GraphicsQt, TheInteractiveWindowsLabelLiesUnderItsPane) {
    set_window16_label("Row 3\nColumn 2");
    ASSERT_EQ(create_graphics_text_window(nullptr), 0);
    ui->show_window(platform::kWindowGraphicsText, true);
    settle();
    QLabel* label = nullptr;
    QWidget* pane = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (label == nullptr) label = top->findChild<QLabel*>("tavo_label_16");
        if (pane == nullptr) pane = top->findChild<QWidget*>("tavo_surface_16");
    }
    ASSERT_NE(label, nullptr);
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(label->text().toStdString(), "Row 3\nColumn 2");
    EXPECT_GE(label->geometry().top(), pane->geometry().bottom());
    set_window16_label("Row 4");
    EXPECT_EQ(label->text().toStdString(), "Row 4");
    ui->destroy_window(platform::kWindowGraphicsText);
}

}  // namespace
