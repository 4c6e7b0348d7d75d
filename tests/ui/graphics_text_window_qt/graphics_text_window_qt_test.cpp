// The graphics-with-text window (16) on the Qt backend (offscreen): its parts stand in the three
// bands and follow a resize, a click on the list reaches the owner and shows the chosen line
// inverted, the strip's buttons reach the window, and the picture is saved for a look.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <QWidget>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "entry/stock_parts_window.h"
#include "graphics/draw_primitives.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "platform/qt/qt_backend.h"
#include "platform/state_reset.h"
#include "runtime/output_options.h"
#include "runtime/state_flags.h"
#include "tests/support/qt_test_app.h"
#include "ui/graphics_text_window.h"
#include "ui/text_area.h"
#include "ui/window_table.h"

namespace {

std::vector<std::pair<int, int>> g_deliveries;
int record_delivery(int kind, int line, const char*) {
    g_deliveries.emplace_back(kind, line);
    return 0;
}
std::vector<int> g_strip_commands;
void record_strip_command(int, int command) {
    g_strip_commands.push_back(command);
}

// Stands in for the application's pictures: three plain 20 x 18 buttons.
void build_test_strip() {
    const struct {
        int id;
        int x;
        platform::Colour colour;
    } buttons[] = {{kWindow16OkCommand, kWindow16OkX, {0, 160, 0}},
                   {kWindow16CancelCommand, kWindow16CancelX, {200, 0, 0}},
                   {kWindow16HelpCommand, -kWindow16HelpFromRight, {0, 0, 200}}};
    for (const auto& b : buttons) {
        platform::ToolButton button;
        button.id = b.id;
        button.x = b.x;
        button.width = 20;
        button.height = 18;
        button.pixels.assign(20 * 18, b.colour);
        platform::ui().add_tool_button(platform::kWindowGraphicsText, button);
    }
}

QWidget* find(const char* name) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == name) return top;
        if (QWidget* w = top->findChild<QWidget*>(name)) return w;
    }
    return nullptr;
}

struct Window16Qt : ::testing::Test {
    std::unique_ptr<platform::UiBackend> ui = tavo_test::make_test_qt_backend();

    void SetUp() override {
        platform::reset_all_state();
        g_deliveries.clear();
        g_strip_commands.clear();
        platform::set_current_ui(ui.get());
        ASSERT_EQ(ui->create_frame("TAVO LT", nullptr), 0);
        set_list_selection_callback(record_delivery);
        set_strip_command_runner(record_strip_command);
        set_window16_strip_builder(build_test_strip);
        set_window16_label("Row 3\nColumn 2");
        ASSERT_EQ(create_graphics_text_window(nullptr), 0);
        ui->show_window(platform::kWindowGraphicsText, true);
        settle();
    }
    void TearDown() override {
        set_strip_command_runner(nullptr);
        platform::set_current_ui(nullptr);
        platform::reset_all_state();
    }
    void settle() {
        for (int i = 0; i < 10; ++i) ui->process_one_event(false);
    }
    // Every part where band_rects puts it in the box that holds them.
    void expect_parts_in_bands() {
        QWidget* bands = find("tavo_bands_16");
        ASSERT_NE(bands, nullptr);
        const platform::UiBackend::BandRects r =
            platform::UiBackend::band_rects({bands->width(), bands->height()},
                                            window16_bands(Window16Shape{}, fixed_font_metrics()));
        const auto rect = [](const platform::Rect& x) {
            return QRect(x.left, x.top, x.right - x.left, x.bottom - x.top);
        };
        const struct {
            const char* name;
            platform::Rect want;
        } parts[] = {{"tavo_surface_16", r.surface},
                     {"tavo_label_16", r.label},
                     {"tavo_pane_17", r.side},
                     {"tavo_strip_16", r.strip},
                     {"tavo_pane_18", r.bottom}};
        for (const auto& p : parts) {
            QWidget* w = find(p.name);
            ASSERT_NE(w, nullptr) << p.name;
            EXPECT_EQ(w->parentWidget(), bands) << p.name;
            EXPECT_EQ(w->geometry(), rect(p.want)) << p.name;
            EXPECT_TRUE(w->isVisible()) << p.name;
        }
    }
};

TEST_F(Window16Qt, ThePartsStandInTheirBandsAndFollowAResize) {
    expect_parts_in_bands();
    QWidget* bands = find("tavo_bands_16");
    ASSERT_NE(bands, nullptr);
    const QSize start = bands->size();
    // Fixed in size as made; lifted here to see the bands follow.
    ui->set_size_limits(platform::kWindowGraphicsText, {0, 0}, {0, 0});
    QWidget* outer = find("tavo_window_16");
    ASSERT_NE(outer, nullptr);
    outer->setMinimumSize(0, 0);
    outer->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    outer->resize(outer->width() + 90, outer->height() + 70);
    settle();
    EXPECT_EQ(bands->size(), start + QSize(90, 70));
    expect_parts_in_bands();
    // The grid's area follows its pane.
    EXPECT_EQ(textarea(kGridTextArea)->visible_lines,
              find("tavo_surface_18")->height() / textarea(kGridTextArea)->line_height + 1);
}

TEST_F(Window16Qt, AClickOnTheListReachesTheOwnerAndShowsTheLineInverted) {
    for (int k = 0; k < 30; ++k) {
        textarea_append_line(kListArea, 0, "lens " + std::to_string(k), nullptr);
    }
    settle();
    auto* surface = find("tavo_surface_17");
    ASSERT_NE(surface, nullptr);
    const TextArea* a = textarea(kListArea);
    const QPointF at(10, a->top_margin + 4 * a->line_height + 5);
    QMouseEvent press(QEvent::MouseButtonPress, at, surface->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, surface->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &release);
    settle();
    ASSERT_EQ(g_deliveries.size(), 1u);
    EXPECT_EQ(g_deliveries[0], std::make_pair(3, 4));
    // The chosen row is drawn in the text colour across the list; the row above is not.
    ui->update_now();
    const QImage image = surface->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb text = qRgb(a->text_colour.red, a->text_colour.green, a->text_colour.blue);
    const int chosen_y = a->top_margin + 4 * a->line_height + 1;
    const int x = image.width() - 3;  // right of every letter
    EXPECT_EQ(image.pixel(x, chosen_y), text);
    EXPECT_NE(image.pixel(x, chosen_y - a->line_height), text);

    // A picture of the whole window to look at, when asked for (TAVO_GRAB_DIR).
    ASSERT_NE(graphwin_select(kGraphicsPaneRecord), nullptr);
    gfx_set_color(2);
    gfx_move_to(0.1, 0.1);
    gfx_draw_to(0.9, 0.9);
    graphwin_refresh(0);
    textarea_append_line(kGridTextArea, 0, "  Radius      Thickness   Glass", nullptr);
    textarea_append_line(kGridTextArea, 0, "  50.000      5.000       N-BK7", nullptr);
    settle();
    ui->update_now();
    QWidget* outer = find("tavo_window_16");
    ASSERT_NE(outer, nullptr);
    if (const char* dir = std::getenv("TAVO_GRAB_DIR")) {
        EXPECT_TRUE(outer->grab().save(QString(dir) + "/window16.png"));
    }
}

TEST_F(Window16Qt, TheStripButtonsReachTheWindow) {
    const struct {
        int id;
        int command;
    } cases[] = {{kWindow16OkCommand, kSheetOkCommand},
                 {kWindow16CancelCommand, kSheetCancelCommand},
                 {kWindow16HelpCommand, kSheetHelpCommand}};
    QWidget* strip = find("tavo_strip_16");
    ASSERT_NE(strip, nullptr);
    for (const auto& c : cases) {
        const std::string name = "tavo_tool_16_" + std::to_string(c.id);
        auto* button = strip->findChild<QToolButton*>(name.c_str());
        ASSERT_NE(button, nullptr) << name;
        g_strip_commands.clear();
        button->click();
        settle();
        ASSERT_EQ(g_strip_commands.size(), 1u) << name;
        EXPECT_EQ(g_strip_commands[0], c.command);
    }
    // Help stands 26 pixels from the right edge; OK and Cancel from the left.
    const auto* help = strip->findChild<QToolButton*>("tavo_tool_16_106");
    EXPECT_EQ(help->x(), strip->width() - kWindow16HelpFromRight);
    EXPECT_EQ(strip->findChild<QToolButton*>("tavo_tool_16_104")->x(), kWindow16OkX);
}

// A biconvex lens of diameter 25 (radii 50 and -50, 6 thick) drawn in the pane: its rims and
// the edge between them are dark where the mapping puts them, the glass between is not.
TEST_F(Window16Qt, ThePreviewDrawsAPartWhereItsSurfacesAre) {
    std::vector<StockPreviewSurface> part(2);
    part[0] = {1 / 50.0, 6.0, 12.5, true};
    part[1] = {-1 / 50.0, 0.0, 12.5, false};
    draw_stock_preview(part, 25.0);
    settle();
    ui->update_now();
    QWidget* surface = find("tavo_surface_16");
    ASSERT_NE(surface, nullptr);
    const QImage image = surface->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(graphwin_select(kGraphicsPaneRecord) != nullptr, true);
    const auto pixel_at = [&](double x, double y) {
        int sx = 0, sy = 0;
        gfx_world_to_device(x, y, &sx, &sy);
        const platform::Point p = surface_to_pixel(sx, sy);
        return image.pixel(p.x, p.y);
    };
    // Sag at the rim: 0.02 x 156.25 / (1 + sqrt(1 - 0.0625)) = 1.6129...
    const double sag = 0.02 * 156.25 / (1 + std::sqrt(1 - 0.0625));
    const QRgb white = qRgb(255, 255, 255);
    EXPECT_NE(pixel_at(sag, 12.5), white);         // the first surface's upper rim
    EXPECT_NE(pixel_at(6.0 - sag, -12.5), white);  // the second surface's lower rim
    EXPECT_NE(pixel_at(3.0, 12.5), white);         // the edge between them
    // Half-way up: 0.02 x 36 / (1 + sqrt(1 - 0.0144)) = 0.3613...
    EXPECT_NE(pixel_at(0.72 / (1 + std::sqrt(0.9856)), 6.0), white);
    EXPECT_EQ(pixel_at(3.0, 6.0), white);  // inside the glass
    if (const char* dir = std::getenv("TAVO_GRAB_DIR")) {
        EXPECT_TRUE(find("tavo_window_16")->grab().save(QString(dir) + "/window16_preview.png"));
    }
}

}  // namespace
