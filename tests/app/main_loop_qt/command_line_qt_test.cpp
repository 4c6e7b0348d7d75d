// The Qt frame's combo box is the command line: a line typed there and entered runs, and its
// output lands in text window 1.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <memory>

#include "app/main_loop.h"
#include "platform/qt/qt_backend.h"
#include "platform/state_reset.h"
#include "tests/app/main_loop_qt/painted_text.h"
#include "tests/app/startup/started_runtime.h"
#include "tests/support/qt_session.h"
#include "tests/support/qt_test_app.h"

namespace {

using tavo_test::find_widget;

TEST(QtCommandLine, AnEnteredLineRunsAndItsOutputAppearsInTextWindowOne) {
    tavo_test::QtSession session;
    ASSERT_EQ(session.start(), 0);

    auto* combo = find_widget<QComboBox>("tavo_command_line");
    ASSERT_NE(combo, nullptr);
    auto enter = [&](const char* line) {
        combo->lineEdit()->setText(line);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(combo->lineEdit(), &press);
        for (int k = 0; k < 5; ++k) main_loop_pass(false);
    };
    enter("a = 4");
    enter("history");

    auto* surface = find_widget<QWidget>("tavo_surface_1");
    ASSERT_NE(surface, nullptr);
    const std::string shown = tavo_test::area_text(platform::kWindowText1);
    EXPECT_NE(shown.find("Command history:\na = 4\n"), std::string::npos) << shown;
    // The line is painted: its row of the window holds text pixels, a row below the last
    // line none.
    const int row = tavo_test::shown_row_top(platform::kWindowText1, "Command history:");
    ASSERT_GE(row, 0) << shown;
    const TextArea* area = textarea(platform::kWindowText1);
    EXPECT_GT(tavo_test::ink_pixels(surface, row, area->line_height), 20);
    const int below = row + 4 * area->line_height;
    if (below + area->line_height < surface->height()) {
        EXPECT_EQ(tavo_test::ink_pixels(surface, below, area->line_height), 0);
    }

    // A click on the text window brings it to the front; the keys stay with the command line.
    QApplication::setActiveWindow(combo->window());
    QMouseEvent click(QEvent::MouseButtonPress, QPointF(20, 20), QPointF(20, 20), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &click);
    QApplication::processEvents();
    EXPECT_EQ(surface->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(surface->hasFocus());
}

// Typed keys make the line as typed: an earlier line that starts with them is not completed in.
TEST(QtCommandLine, TypedKeysAreNotCompletedFromTheHistory) {
    tavo_test::QtSession session;
    ASSERT_EQ(session.start(), 0);
    auto* combo = find_widget<QComboBox>("tavo_command_line");
    ASSERT_NE(combo, nullptr);
    combo->lineEdit()->setText("b = 4");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(combo->lineEdit(), &enter);
    for (int k = 0; k < 5; ++k) main_loop_pass(false);
    ASSERT_GE(combo->findText("b = 4"), 0);  // the entered line is in the box's list

    combo->lineEdit()->clear();
    QApplication::setActiveWindow(combo->window());
    combo->lineEdit()->setFocus();
    QKeyEvent key(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, "b");
    QApplication::sendEvent(combo->lineEdit(), &key);
    QApplication::processEvents();
    EXPECT_EQ(combo->lineEdit()->text().toStdString(), "b");
}

}  // namespace
