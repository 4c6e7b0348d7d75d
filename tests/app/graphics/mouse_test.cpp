// Mouse buttons in graphics windows, on the console's manual clock with posted events: clicks
// centre the view, double clicks zoom, re-run the stored text or show the whole picture, a
// click reaches the window's routine, and a command waits for a click.
//
// The drawing area is 640 x 480 pixels; a click at pixel (x, y) is at view fractions x / 640 and
// y / 480 of the unzoomed picture when there is no zoom.
#include <gtest/gtest.h>

#include <vector>

#include "app/command_line.h"
#include "runtime/run_state.h"

#include "graphics/graphics_commands.h"
#include "graphics/graphics_window.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

using platform::MouseAction;
using platform::MouseButton;
using platform::MouseEvent;

std::vector<double> g_callback_args;
int record_callback(double px, double py, double rx, double ry) {
    g_callback_args = {px, py, rx, ry};
    return 0;
}

class Mouse : public loop_test::Loop {
protected:
    void post(int window, MouseAction action, MouseButton button, int x, int y,
              unsigned modifiers = 0) {
        MouseEvent e;
        e.action = action;
        e.button = button;
        e.position = {x, y};
        e.modifiers = modifiers;
        ui().post_mouse(window, e);
    }
    void click(MouseButton button, int x, int y, unsigned modifiers = 0, int window = 7) {
        post(window, MouseAction::press, button, x, y, modifiers);
        post(window, MouseAction::release, button, x, y, modifiers);
        drain();
    }
    // Handles the posted events, paints and due timers. The console's input is empty: reading
    // its end asks the program to exit, which these tests leave aside.
    void drain() {
        while (ui().process_one_event(false)) {
        }
        if (run_state() == kRunStateExit) set_run_state(0);
    }
    // Lets the double-click interval pass so that a pending click completes.
    void wait_out_double_click() {
        ui().advance_clock(ui().double_click_ms() + 1);
        drain();
    }
    const GraphicsWindow& window1() { return graphics_record(1); }
};

TEST_F(Mouse, ARightClickCentresTheViewAndKeepsTheZoom) {
    type("graphics_zoom 2 0.5 0.5");
    ASSERT_EQ(window1().zoom, 2000);
    click(MouseButton::right, 160, 120);
    EXPECT_EQ(window1().zoom_centre_x, 5000);  // nothing until the double-click time is over
    wait_out_double_click();
    // Zoom 2 about the centre shows the middle half: pixel 160 of 640 is 0.5 + 0.25 of 2 = 0.375.
    EXPECT_EQ(window1().zoom, 2000);
    EXPECT_EQ(window1().zoom_centre_x, 3750);
    EXPECT_EQ(window1().zoom_centre_y, 3750);
    EXPECT_EQ(ui().mouse_capture(), -1);
}

TEST_F(Mouse, RightDoubleClicksZoomInAndWithShiftOrCtrlOut) {
    struct Case {
        unsigned modifiers;
        int zoom;
    };
    type("graphics_zoom 4");
    for (const Case& c : std::vector<Case>{
             {0, 8000}, {platform::modifier_shift, 4000}, {platform::modifier_control, 2000}}) {
        click(MouseButton::right, 320, 240, c.modifiers);
        ui().advance_clock(100);
        click(MouseButton::right, 320, 240, c.modifiers);
        EXPECT_EQ(window1().zoom, c.zoom) << c.modifiers;
        wait_out_double_click();
        EXPECT_EQ(window1().zoom, c.zoom) << "the double click leaves nothing pending";
    }
}

TEST_F(Mouse, ALeftDoubleClickRerunsTheStoredTextOrShowsTheWholePicture) {
    type("graphics_zoom 4");
    click(MouseButton::left, 320, 240);
    click(MouseButton::left, 320, 240);
    EXPECT_EQ(window1().zoom, 1000);
    wait_out_double_click();

    type("gwx 1 \"viewport_box\"");
    type("new_page");
    ASSERT_TRUE(display_list_words().empty());
    click(MouseButton::left, 320, 240);
    click(MouseButton::left, 320, 240);
    EXPECT_EQ(display_list_words(), std::vector<std::uint16_t>{0x4000});
}

TEST_F(Mouse, ALeftClickReachesTheWindowsRoutineInWorldCoordinates) {
    g_callback_args.clear();
    graphwin_set_mouse_callback(record_callback);
    type("viewport_box");  // the routine is called only for a window with a picture
    // Press at world (0.25, 0.25), release at (0.75, 0.75) of the default 0..1 frame.
    post(7, MouseAction::press, MouseButton::left, 160, 359);
    post(7, MouseAction::release, MouseButton::left, 479, 119);
    drain();
    EXPECT_TRUE(g_callback_args.empty());
    wait_out_double_click();
    ASSERT_EQ(g_callback_args.size(), 4u);
    const double expected[] = {0.25, 0.25, 0.75, 0.75};
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(g_callback_args[k], expected[k], 0.003) << k;
}

TEST_F(Mouse, ALeftClickWhileAPromptWaitsDoesNothing) {
    g_callback_args.clear();
    graphwin_set_mouse_callback(record_callback);
    type("viewport_box");
    // The click comes while the question waits; the answer is typed after it.
    post(7, MouseAction::press, MouseButton::left, 160, 359);
    post(7, MouseAction::release, MouseButton::left, 479, 119);
    input("typed\n");
    char answer[32] = {};
    ASSERT_EQ(ask_line("Answer?", answer, sizeof answer, "", 0), 0);
    EXPECT_STREQ(answer, "typed");
    EXPECT_EQ(ui().mouse_capture(), -1);
    wait_out_double_click();
    EXPECT_TRUE(g_callback_args.empty());
    // With the question answered the same click reaches the routine.
    post(7, MouseAction::press, MouseButton::left, 160, 359);
    post(7, MouseAction::release, MouseButton::left, 479, 119);
    drain();
    wait_out_double_click();
    EXPECT_EQ(g_callback_args.size(), 4u);
}

TEST_F(Mouse, ClicksThatDoNotCountDoNothing) {
    type("graphics_zoom 2 0.5 0.5");
    // A release beyond the drawing area after a drag completes nothing.
    post(7, MouseAction::press, MouseButton::right, 100, 100);
    post(7, MouseAction::release, MouseButton::right, 700, 100);
    drain();
    wait_out_double_click();
    EXPECT_EQ(window1().zoom_centre_x, 5000);
    // Graphics windows 7 to 9 ignore the mouse.
    type("graphwin_open 7");

    click(MouseButton::right, 160, 120, 0, 13);
    EXPECT_EQ(ui().mouse_capture(), -1);
    wait_out_double_click();
    EXPECT_EQ(graphics_record(7).zoom_centre_x, 5000);
    EXPECT_EQ(graphwin_last_opened(), 7);
    // A press in a window other than the last opened one is ignored.
    click(MouseButton::right, 160, 120, 0, 7);
    wait_out_double_click();
    EXPECT_EQ(window1().zoom_centre_x, 5000);
}

TEST_F(Mouse, WaitingForAClickCentresTheViewOnIt) {
    post(7, MouseAction::press, MouseButton::right, 10, 10);  // not the left button: passed over
    post(7, MouseAction::press, MouseButton::left, 480, 360);
    post(7, MouseAction::release, MouseButton::left, 480, 360);
    type("wait_click");
    EXPECT_EQ(window1().zoom_centre_x, 7500);
    EXPECT_EQ(window1().zoom_centre_y, 7500);
    EXPECT_EQ(ui().mouse_capture(), -1);
    // Without any click to come, the console's wait ends at once.
    type("wait_click");
    EXPECT_EQ(ui().mouse_capture(), -1);
}

}  // namespace
