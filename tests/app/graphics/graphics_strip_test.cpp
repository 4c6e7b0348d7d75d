// The tool strip of graphics windows: built from its list and pictures when a window's frame is
// made, its buttons numbered from 51, a press running the button's command on the window whose
// strip it is in.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "graphics/graphics_window.h"
#include "runtime/run_state.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

class GraphicsStrip : public loop_test::Loop {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        const fs::path bma = run_.tree.root() / "bin" / "bma";
        fs::create_directories(bma);
        for (const auto& e : fs::directory_iterator(fs::path(TAVO_INSTALL_DIR) / "bin/bma")) {
            fs::copy_file(e.path(), bma / e.path().filename(),
                          fs::copy_options::overwrite_existing);
        }
        Loop::SetUp();
    }
    // Runs the pressed button's line. The console's input is empty: reading its end asks the
    // program to exit, which these tests leave aside.
    void press_through() {
        while (ui().process_one_event(false)) {
        }
        if (run_state() == kRunStateExit) set_run_state(0);
        main_loop_pass(false);
    }
};

TEST_F(GraphicsStrip, EveryGraphicsFrameGetsTheStripFromItsList) {
    type("graphwin_open 2");
    for (int window : {7, 8}) {
        const auto& tools = ui().tool_buttons(window);
        ASSERT_EQ(tools.size(), 5u) << window;
        const std::vector<std::string> tips = {"Zoom in", "Zoom out", "The whole picture",
                                               "Redraw the picture", "Copy the picture"};
        for (std::size_t k = 0; k < tools.size(); ++k) {
            EXPECT_EQ(tools[k].id, 51 + static_cast<int>(k)) << window;
            EXPECT_EQ(tools[k].tooltip, tips[k]) << window;
            EXPECT_EQ(tools[k].width, 16);
            EXPECT_EQ(tools[k].height, 15);
        }
    }
}

TEST_F(GraphicsStrip, AButtonWorksOnTheWindowWhoseStripItIsIn) {
    type("graphwin_open 2");
    ASSERT_EQ(graphics_current(), 2);
    struct Case {
        int id;
        int zoom;  // of window 1 afterwards
    } cases[] = {{51, 2000}, {51, 4000}, {52, 2000}, {53, 1000}};
    for (const Case& c : cases) {
        ASSERT_TRUE(ui().press_tool_button(7, c.id));
        press_through();
        EXPECT_EQ(graphics_record(1).zoom, c.zoom) << c.id << errors();
        EXPECT_EQ(graphics_record(2).zoom, 1000) << c.id;
        EXPECT_EQ(graphics_current(), 1) << c.id;
    }
    // A press beyond the strip's buttons is nobody's.
    EXPECT_FALSE(ui().press_tool_button(7, 60));
}

}  // namespace
