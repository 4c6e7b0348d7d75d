// The spreadsheet grid on Qt: a sheet of the test's own level in window 3, a click on a cell and
// a value typed into the command-line combo box with Enter reach the level; the current cell is
// painted inverted.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/main_loop.h"
#include "platform/qt/qt_backend.h"
#include "platform/state_reset.h"
#include "runtime/command_levels.h"
#include "runtime/text_output.h"
#include "tests/app/startup/started_runtime.h"
#include "tests/support/qt_session.h"
#include "tests/support/qt_test_app.h"
#include "ui/grid_control.h"
#include "ui/text_area.h"

namespace {

double g_thickness[2] = {5.0, 12.5};
std::vector<std::pair<int, double>> g_events;

void write_sheet() {
    textarea_clear(kSheetArea, 1);
    begin_level_output();
    set_output_window(kSheetArea);
    char text[32];
    for (int k = 0; k < 2; ++k) {
        std::snprintf(text, sizeof text, "S%d ", k);
        write_output_text(text, false);
        std::snprintf(text, sizeof text, "%11.6f", g_thickness[k]);
        text_hotspot(2, k);
        write_output_text(text, false);
        // The last line is ended by the end of the level's output.
        if (k == 0) write_output_text("\n", false);
    }
    end_level_output();
}

int sheet_handler(GridEvent& e) {
    g_events.emplace_back(e.code, e.code == 5 ? e.value.d : 0.0);
    if (e.code == kLevelEventShown) write_sheet();
    if (e.code == kLevelEventEdited) {
        g_thickness[e.first_index] = e.value.d;
        write_sheet();
    }
    return 0;
}

using tavo_test::find_widget;

// Pixels darker than mid-grey in a rectangle of the surface's picture.
int dark_pixels(const QImage& image, QRect r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom() && y < image.height(); ++y) {
        for (int x = r.left(); x <= r.right() && x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) ++n;
        }
    }
    return n;
}

TEST(QtGrid, AClickedCellTakesAValueTypedIntoTheCommandLine) {
    tavo_test::QtSession session;
    ASSERT_EQ(session.start(), 0);
    std::unique_ptr<platform::UiBackend>& qt = session.qt;
    if (!qt->window_exists(platform::kWindowSpreadsheet)) {
        ASSERT_EQ(register_window_classes(), 0);
    }
    ASSERT_TRUE(qt->window_exists(platform::kWindowSpreadsheet));
    qt->show_window(platform::kWindowSpreadsheet, true);
    grid_state().active_area = kSheetArea;
    ASSERT_EQ(push_command_level(sheet_handler, 4, 0), 0);
    for (int k = 0; k < 3; ++k) main_loop_pass(false);
    ASSERT_EQ(level_count(), 1);
    QApplication::processEvents();

    auto* surface = find_widget<QWidget>("tavo_surface_3");
    ASSERT_NE(surface, nullptr);
    const TextArea* a = textarea(kSheetArea);
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->line_count, 2);
    // The thickness cell of row 1 (columns 3 to 13).
    const QPointF at(a->left_margin + 6 * a->char_width, a->top_margin + a->line_height + 4);
    QMouseEvent press(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(surface, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, at, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(surface, &release);
    for (int k = 0; k < 3; ++k) main_loop_pass(false);
    ASSERT_NE(grid_state().current.text, nullptr);
    EXPECT_EQ(grid_state().current.field_code, 2);
    EXPECT_EQ(grid_state().current.field_index, 1);

    auto* combo = find_widget<QComboBox>("tavo_command_line");
    ASSERT_NE(combo, nullptr);
    // The command line's caret and selection are the combo box's.
    qt->set_command_line_text("abcdef");
    ASSERT_EQ(qt->set_command_line_selection(1, 4), 0);
    EXPECT_EQ(combo->lineEdit()->selectedText().toStdString(), "bcd");
    EXPECT_EQ(qt->command_line_selection(), (std::pair<int, int>{1, 4}));
    qt->set_command_line_selection(2, 2);
    EXPECT_EQ(combo->lineEdit()->cursorPosition(), 2);
    EXPECT_EQ(qt->command_line_selection(), (std::pair<int, int>{2, 2}));
    qt->select_all_command_line();
    EXPECT_EQ(combo->lineEdit()->selectedText().toStdString(), "abcdef");
    combo->lineEdit()->clear();
    for (const char c : std::string("30.25")) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(c)));
        QApplication::sendEvent(combo->lineEdit(), &key);
    }
    EXPECT_EQ(combo->currentText().toStdString(), "30.25");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(combo->lineEdit(), &enter);
    for (int k = 0; k < 5; ++k) main_loop_pass(false);
    ASSERT_FALSE(g_events.empty());
    EXPECT_EQ(g_events.back().first, 5);
    EXPECT_DOUBLE_EQ(g_events.back().second, 30.25);
    EXPECT_DOUBLE_EQ(g_thickness[1], 30.25);

    // The current cell is drawn inverted: dark pixels fill most of its rectangle, while the
    // same cell of row 0 shows only its characters.
    QApplication::processEvents();
    const QImage image = surface->grab().toImage();
    if (const char* shot = std::getenv("TAVO_TEST_GRAB")) image.save(shot);
    const QRect current(a->left_margin + 3 * a->char_width, a->top_margin + a->line_height,
                        11 * a->char_width, a->char_height);
    const QRect other(a->left_margin + 3 * a->char_width, a->top_margin, 11 * a->char_width,
                      a->char_height);
    const int area = current.width() * current.height();
    EXPECT_GT(dark_pixels(image, current), area / 2);
    EXPECT_LT(dark_pixels(image, other), area / 3);

    // A level that asks for frames gets its plain cells framed: the pixel column just left of
    // row 0's cell, blank before, is dark over the cell's height once the level asks.
    const QRect edge(a->left_margin + 3 * a->char_width - 1, a->top_margin + 1, 1, a->char_height);
    EXPECT_EQ(dark_pixels(image, edge), 0);
    set_level_option();
    write_sheet();
    qt->invalidate(platform::kWindowSpreadsheet);
    for (int k = 0; k < 2; ++k) main_loop_pass(false);
    QApplication::processEvents();
    const QImage framed = surface->grab().toImage();
    if (const char* shot = std::getenv("TAVO_TEST_GRAB_FRAMED")) framed.save(shot);
    EXPECT_EQ(dark_pixels(framed, edge), edge.height());
}

}  // namespace
