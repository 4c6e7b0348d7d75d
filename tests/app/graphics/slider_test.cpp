// Sliders of the control window: their scales, the routine a move runs, and the repaint of the
// graphics windows the routine drew in, once per window and step.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_sliders.h"
#include "graphics/graphics_window.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

int g_calls = 0;
double g_last_value = 0;
// A routine that draws a new picture in graphics window 1 at each step.
int draw_routine(int, int, double value) {
    ++g_calls;
    g_last_value = value;
    graphwin_select(1);
    graphwin_new_page(0);
    gfx_move_to(0.1, 0.1);
    gfx_draw_to(0.9, value);
    return 0;
}

class Sliders : public loop_test::Loop {
protected:
    void SetUp() override {
        loop_test::Loop::SetUp();
        g_calls = 0;
    }
    int count(int window, const std::string& prefix) {
        const auto& r = ui().recording_context(window)->records();
        return static_cast<int>(std::count_if(
            r.begin(), r.end(), [&](const std::string& s) { return s.rfind(prefix, 0) == 0; }));
    }
};

TEST_F(Sliders, RangesGetScalesOfTenAndTheirDecimals) {
    struct Case {
        double minimum, maximum, value;
        int fixed;
        double scale;
        int range, position;
        const char* shown;
    };
    const std::vector<Case> cases = {
        // 0..1: ten, a hundred, a thousand steps: the first over 100.1.
        {0, 1, 0.5, 0, 1000, 1000, 500, "0.500"},
        // 0..1e6 comes down twice to 10000 steps of 100; decimals below 1 show as 1.
        {0, 1e6, 250000, 0, 0.01, 10000, 2500, "250000.0"},
        {0, 10, 3, 1, 1, 10, 3, "3"},
        {2, 2, 2, 1, 1, 1, 0, "2"},     // one step at least
        {5, -5, 7, 1, 1, 10, 10, "5"},  // ends exchanged, value clamped
        {-0.5, 0.5, 0.123, 0, 1000, 1000, 623, "0.123"},
        // A range wider than a double can hold is taken as 0..1.
        {-1e308, 1e308, 0, 0, 1000, 1000, 0, "0.000"},
    };
    int id = 1;
    for (const Case& c : cases) {
        sliders_remove();
        const int index =
            slider_create(c.fixed, 0, id++, "s", nullptr, c.minimum, c.maximum, c.value);
        ASSERT_EQ(index, 0);
        const Slider& s = slider(index);
        EXPECT_DOUBLE_EQ(s.scale, c.scale) << c.maximum;
        EXPECT_EQ(s.range, c.range) << c.maximum;
        EXPECT_EQ(s.position, c.position) << c.maximum;
        EXPECT_EQ(slider_value_text(index), c.shown) << c.maximum;
    }
}

TEST_F(Sliders, TheTenthSliderAndUnknownIdsAreRefused) {
    for (int k = 0; k < kSliderCount; ++k) {
        EXPECT_EQ(slider_create(0, 0, k + 1, "s", nullptr, 0, 1, 0), k);
    }
    EXPECT_EQ(slider_create(0, 0, 10, "s", nullptr, 0, 1, 0), kMsgSlidersInUse);
    double value = 0;
    EXPECT_EQ(slider_get_value(42, &value), kMsgNoSuchSlider);
    EXPECT_EQ(slider_set_range(42, 0, 0, 1, 0), kMsgNoSuchSlider);
    type("slider_range 42");
    EXPECT_NE(errors().find("No slider has this id"), std::string::npos) << errors();
}

TEST_F(Sliders, EachStepRunsTheRoutineOnceAndRepaintsItsWindowOnce) {
    const int index = slider_create(0, 0, 7, "Focus", draw_routine, 0, 1, 0.5);
    slider_layout();
    EXPECT_TRUE(ui().window_visible(platform::kWindowControl));
    for (int step = 1; step <= 2; ++step) {
        ui().recording_context(7)->clear_records();
        slider_scroll(index, 1, 0);
        EXPECT_EQ(g_calls, step);
        EXPECT_DOUBLE_EQ(g_last_value, (500 + step) / 1000.0);
        // One clear and the line drawn once: the routine's drawing was collected.
        EXPECT_EQ(count(7, "fill "), 1) << step;
        EXPECT_EQ(count(7, "polyline "), 1) << step;
    }
}

TEST_F(Sliders, ADragOfASliderThatIsNotLiveWaitsForTheRelease) {
    const int index = slider_create(0, 0, 7, "Focus", draw_routine, 0, 1, 0.5);
    slider_scroll(index, 5, 700);
    EXPECT_EQ(g_calls, 0);
    EXPECT_EQ(slider(index).position, 500);
    slider_scroll(index, 4, 700);
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(slider(index).position, 700);
    // A live slider follows the drag.
    sliders_remove();
    const int live = slider_create(0, 1, 8, "Live", draw_routine, 0, 1, 0.5);
    slider_scroll(live, 5, 600);
    EXPECT_EQ(g_calls, 2);
    // Pages and lines stop at the ends.
    for (int k = 0; k < 20; ++k) slider_scroll(live, 3, 0);
    EXPECT_EQ(slider(live).position, 1000);
    slider_scroll(live, 2, 0);
    EXPECT_EQ(slider(live).position, 900);
}

TEST_F(Sliders, TypedSlidersRunTheirRoutineWithIdAndValue) {
    // The routine is a command: "move_to 3  2.60000e-01" puts the current point at (3, 0.26).
    type("slider 3 0 0 \"Height\" move_to 0 1 0.25");
    type("slider_layout");
    ASSERT_EQ(slider(0).id, 3);
    slider_scroll(0, 1, 0);
    double x = 0, y = 0;
    gfx_get_position(&x, &y);
    EXPECT_DOUBLE_EQ(x, 3);
    EXPECT_DOUBLE_EQ(y, 0.251);
    // A routine name over 15 characters is refused whole.
    type("slider 4 0 0 \"Width\" a_very_long_routine_name");
    EXPECT_NE(errors().find("a_very_long_routine_name is longer than 15 characters"),
              std::string::npos)
        << errors();
    EXPECT_EQ(slider(1).id, 0);
    type("sliders_hide");
    EXPECT_FALSE(ui().window_visible(platform::kWindowControl));
    EXPECT_EQ(slider(0).id, 0);
}

TEST_F(Sliders, ClicksOnTheBarPageTheSlider) {
    const int index = slider_create(0, 0, 7, "Focus", draw_routine, 0, 1, 0.5);
    slider_layout();
    const int width = ui().device_context(platform::kWindowControl)->size().width;
    const platform::Rect bar = slider_bar_rect(index, width);
    platform::MouseEvent press;
    press.action = platform::MouseAction::press;
    press.button = platform::MouseButton::left;
    press.position = {bar.right - 2, bar.top + 3};
    ui().post_mouse(platform::kWindowControl, press);
    while (ui().process_one_event(false)) {
    }
    EXPECT_EQ(slider(index).position, 600);
}

}  // namespace

namespace {

class SliderSets : public Sliders {
protected:
    void post(platform::MouseAction action, platform::Point at) {
        platform::MouseEvent e;
        e.action = action;
        e.button = action == platform::MouseAction::move ? platform::MouseButton::none
                                                         : platform::MouseButton::left;
        e.position = at;
        ui().post_mouse(platform::kWindowControl, e);
        // This event only: reading on would reach the end of the input, which ends the run.
        ui().process_one_event(false);
    }
    static int occurrences(const std::string& text, const std::string& part) {
        int n = 0;
        for (std::size_t at = text.find(part); at != std::string::npos;
             at = text.find(part, at + 1)) {
            ++n;
        }
        return n;
    }
};

TEST_F(SliderSets, ASliderShowsWhenItIsMadeAndTheSetGrowsUntilItIsLaidOut) {
    ASSERT_FALSE(ui().window_visible(platform::kWindowControl));
    type("slider 3 0 0 \"Height\" move_to 0 1 0.25");
    EXPECT_TRUE(ui().window_visible(platform::kWindowControl));
    // A second slider joins the first while the set is open.
    type("slider 4 0 0 \"Width\" move_to 0 1 0.5");
    EXPECT_EQ(slider(0).id, 3);
    EXPECT_EQ(slider(1).id, 4);
    EXPECT_TRUE(ui().window_visible(platform::kWindowControl));
    // Once laid out, the next slider starts a new set.
    type("slider_layout");
    type("slider 5 0 0 \"Depth\" move_to 0 1 0.5");
    EXPECT_EQ(slider(0).id, 5);
    EXPECT_EQ(slider(1).id, 0);
    EXPECT_TRUE(ui().window_visible(platform::kWindowControl));
}

TEST_F(SliderSets, ALiveSliderWhoseRoutineFailsShowsTheErrorOnceAndLetsTheMouseGo) {
    type("slider 6 0 1 \"Broken\" no_such_routine 0 1 0.5");
    ASSERT_TRUE(errors().empty()) << errors();
    const int width = ui().device_context(platform::kWindowControl)->size().width;
    const platform::Rect bar = slider_bar_rect(0, width);
    const int span = bar.right - bar.left - 10;
    const int thumb = bar.left + span / 2;
    post(platform::MouseAction::press, {thumb + 5, bar.top + 3});
    ASSERT_EQ(ui().mouse_capture(), platform::kWindowControl);
    // The drag runs the routine, which fails: one message, and the mouse is free.
    for (int dx = 10; dx <= 50; dx += 10) post(platform::MouseAction::move, {thumb + dx, 5});
    post(platform::MouseAction::release, {thumb + 50, 5});
    const std::string shown = errors();
    EXPECT_EQ(occurrences(shown, "no_such_routine"), 1) << shown;
    EXPECT_EQ(ui().mouse_capture(), -1);
    // The next typed line runs: it sets the slider's range and value.
    type("slider_range 6 1 0 10 7");
    EXPECT_EQ(slider(0).range, 10);
    EXPECT_EQ(slider(0).position, 7);
    EXPECT_EQ(occurrences(errors(), "no_such_routine"), 1) << errors();
    type("sliders_hide");
}

}  // namespace
