// The Qt frame's toolbar: a click on an enabled tool button runs its command text; a disabled
// button does nothing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>
#include <memory>

#include "app/main_loop.h"
#include "app/toolbar.h"
#include "graphics/graphics_window.h"
#include "platform/qt/qt_backend.h"
#include "platform/state_reset.h"
#include "runtime/command_history.h"
#include "tests/app/startup/started_runtime.h"
#include "tests/support/qt_session.h"
#include "tests/support/qt_test_app.h"

namespace {

using tavo_test::find_widget;

TEST(QtToolbar, AnEnabledButtonRunsItsCommandAndADisabledOneDoesNothing) {
    tavo_test::QtSession session{true};
    ASSERT_EQ(session.start(), 0);
    create_toolbar(platform::kWindowFrame, 2, 0, kMsgMainToolbar);
    for (int k = 0; k < 3; ++k) main_loop_pass(false);

    // The frame's buttons (graphics windows have strips of their own).
    int frame_buttons = 0;
    for (const ToolbarButton& b : toolbar_buttons()) {
        frame_buttons += b.window == platform::kWindowFrame ? 1 : 0;
    }
    ASSERT_EQ(frame_buttons, 3);
    auto* history = find_widget<QToolButton>("tavo_tool_15");
    auto* levels = find_widget<QToolButton>("tavo_tool_17");
    ASSERT_NE(history, nullptr);
    ASSERT_NE(levels, nullptr);
    EXPECT_EQ(history->toolTip().toStdString(), "Command history");
    EXPECT_TRUE(history->isEnabled());
    EXPECT_FALSE(levels->isEnabled());

    levels->click();
    for (int k = 0; k < 3; ++k) main_loop_pass(false);
    EXPECT_EQ(history_count(), 0);  // nothing ran

    history->click();
    for (int k = 0; k < 3; ++k) main_loop_pass(false);
    ASSERT_EQ(history_count(), 1);
    EXPECT_STREQ(history_line(0), "history");
}

// Graphics window 1 has the graphics strip above its drawing area; a click on its zoom button
// zooms the window by 2.
TEST(QtToolbar, AGraphicsWindowsStripZoomsItsWindow) {
    tavo_test::QtSession session{true};
    ASSERT_EQ(session.start(), 0);
    for (int k = 0; k < 3; ++k) main_loop_pass(false);

    auto* strip = find_widget<QWidget>("tavo_strip_7");
    ASSERT_NE(strip, nullptr);
    auto* zoom_in = find_widget<QToolButton>("tavo_tool_7_51");
    auto* copy = find_widget<QToolButton>("tavo_tool_7_55");
    ASSERT_NE(zoom_in, nullptr);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(zoom_in->toolTip().toStdString(), "Zoom in");
    EXPECT_TRUE(zoom_in->isEnabled());
    // The drawing area lies below the strip, in the same window.
    auto* surface = find_widget<QWidget>("tavo_surface_7");
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->parentWidget(), strip->parentWidget());
    EXPECT_GE(surface->geometry().top(), strip->geometry().bottom());

    ASSERT_EQ(graphics_record(1).zoom, 1000);
    zoom_in->click();
    for (int k = 0; k < 3; ++k) main_loop_pass(false);
    EXPECT_EQ(graphics_record(1).zoom, 2000);
}

}  // namespace
