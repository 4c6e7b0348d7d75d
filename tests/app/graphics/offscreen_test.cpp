// Graphics drawn off-screen and copied to the window whole, and the output device's size.
//
// Hand mapping (640 x 480 window, surface 20480 x 12800, world 0..10): world (2.5, 2.5) ->
// pixel (160, 359) and (7.5, 7.5) -> pixel (479, 119); pen 2 is red in the colour table.
#include <gtest/gtest.h>

#include <string>

#include "graphics/graphics_offscreen.h"
#include "graphics/graphics_window.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

using platform::Colour;
using platform::SplashPicture;

class Offscreen : public loop_test::Loop {
protected:
    void TearDown() override {
        graphwin_offscreen(-1);
        Loop::TearDown();
    }
    int records_starting(const std::string& prefix) {
        int n = 0;
        for (const std::string& r : ui().recording_context(7)->records()) {
            if (r.rfind(prefix, 0) == 0) ++n;
        }
        return n;
    }
    int lines_in_window() { return records_starting("line ") + records_starting("polyline "); }
    void draw_diagonal() {
        type("world_frame 0 0 10 0 10");
        type("pen 2");
        type("move_to 2.5 2.5");
        type("draw_to 7.5 7.5");
        type("graphics_refresh");
    }
    static Colour at(const SplashPicture& p, int x, int y) {
        return p.pixels[static_cast<std::size_t>(y) * p.width + x];
    }
    static int count(const SplashPicture& p, Colour c) {
        int n = 0;
        for (const Colour& q : p.pixels) n += q == c ? 1 : 0;
        return n;
    }
};

const Colour kRed{255, 0, 0};
const Colour kBlack{0, 0, 0};

TEST_F(Offscreen, DrawingGoesOffScreenAndReachesTheWindowAsOnePicture) {
    type("move_to 0 0");
    type("draw_to 1 1");
    type("graphics_refresh");
    ASSERT_GT(display_list_words().size(), 0u);
    ui().recording_context(7)->clear_records();

    graphwin_offscreen(1);
    // A new page without clearing the window: the list is empty, the window untouched.
    EXPECT_TRUE(display_list_words().empty());
    EXPECT_EQ(records_starting("fill "), 0);

    draw_diagonal();
    EXPECT_EQ(lines_in_window(), 0);
    EXPECT_EQ(ui().pictures_copied(7), 0);
    const auto words = display_list_words();

    graphwin_offscreen(0);
    ASSERT_EQ(ui().pictures_copied(7), 1);
    const SplashPicture& p = ui().copied_pictures(7).back();
    ASSERT_EQ(p.width, 640);
    ASSERT_EQ(p.height, 480);
    EXPECT_EQ(at(p, 160, 359), kRed);
    EXPECT_EQ(at(p, 320, 240), kBlack);  // a pixel off the line: the 45-degree line in pixels
                                         // is not 45 degrees on a 640 x 480 surface
    // 319 columns from x 160 to 478 at least; the end pixel may be left out.
    EXPECT_GE(count(p, kRed), 319);
    EXPECT_LE(count(p, kRed), 321);
    EXPECT_EQ(lines_in_window(), 0);
    EXPECT_EQ(display_list_words(), words);  // copying keeps the list

    // Drawing more and copying again gives a picture with both pieces.
    type("pen 3");
    type("move_to 1 9");
    type("draw_to 9 9");
    type("graphics_refresh");
    graphwin_offscreen(0);
    ASSERT_EQ(ui().pictures_copied(7), 2);
    const SplashPicture& q = ui().copied_pictures(7).back();
    EXPECT_EQ(at(q, 160, 359), kRed);
    EXPECT_GT(count(q, Colour{0, 255, 0}), 400);  // 9 - 1 = 8 of 10 world units of 640 pixels
}

TEST_F(Offscreen, ReleasedOrMissingPictureDrawsInTheWindowAgain) {
    graphwin_offscreen(1);
    graphwin_offscreen(-1);
    ui().recording_context(7)->clear_records();
    draw_diagonal();
    EXPECT_GT(lines_in_window(), 0);
    // Without a picture, a copy replays into the window itself.
    ui().recording_context(7)->clear_records();
    graphwin_offscreen(0);
    EXPECT_EQ(ui().pictures_copied(7), 0);
    EXPECT_EQ(records_starting("fill "), 1);
    EXPECT_GT(lines_in_window(), 0);
}

TEST_F(Offscreen, PictureFollowsTheWindowSizeAndGoesWithTheWindow) {
    graphwin_offscreen(1);
    draw_diagonal();
    type("graphwin_open 1 320 200");
    graphwin_offscreen(0);
    ASSERT_EQ(ui().pictures_copied(7), 1);
    EXPECT_EQ(ui().copied_pictures(7).back().width, 320);
    EXPECT_EQ(ui().copied_pictures(7).back().height, 200);

    // Window 3 opens; window 1 closes with its picture: drawing in 1 again reaches the window.
    type("graphwin_open 3");
    type("graphwin_close 1");
    EXPECT_EQ(graphics_offscreen_dc(1), nullptr) << errors();
    type("graphwin_open 1");
    ui().recording_context(7)->clear_records();
    draw_diagonal();
    EXPECT_GT(lines_in_window(), 0);
}

TEST_F(Offscreen, DeviceSizeIsTheScreenInPixelsAndMillimetres) {
    struct Case {
        platform::Size screen;
        int width_mm, height_mm;  // pixels x 25.4 / 96, rounded
    } cases[] = {{{1920, 1080}, 508, 286}, {{800, 600}, 212, 159}};
    for (const Case& c : cases) {
        ui().set_screen_size(c.screen);
        int px = 0, mm = 0;
        gfx_device_width(&px, &mm);
        EXPECT_EQ(px, c.screen.width);
        EXPECT_EQ(mm, c.width_mm);
        gfx_device_height(&px, &mm);
        EXPECT_EQ(px, c.screen.height);
        EXPECT_EQ(mm, c.height_mm);
    }
}

}  // namespace
