// Questions with the parameter's value list as their choices, the help printed for a command
// level, the spreadsheet title, and the form of the command dialog.
#include <gtest/gtest.h>

#include <string>

#include "runtime/command_history.h"
#include "runtime/command_line.h"
#include "runtime/settings.h"
#include "tests/main_loop/loop_fixture.h"

namespace {

using loop_test::Loop;

TEST_F(Loop, AnAskedArgumentOffersItsValueListAsChoices) {
    // show_setting's first parameter names the settings by the list of setting names.
    set_setting_int(kSetGraphicsPenWidth, 40, 0, 0);
    input("Graphics_pen_width\n");
    type("show_setting ?");
    EXPECT_NE(errors().find("  18 Graphics_pen_width\n"), std::string::npos) << errors();
    EXPECT_NE(errors().find("  19 Designer\n"), std::string::npos) << errors();
    EXPECT_TRUE(ui().choice_list().empty());  // closed with the answer
    EXPECT_EQ(ui().status_text(), "Graphics pen width = 40");
    ASSERT_EQ(history_count(), 1);
    EXPECT_STREQ(history_line(0), "show_setting Graphics_pen_width");

    // A parameter without a value list asks without choices.
    const std::size_t shown = errors().size();
    input("3\n");
    type("lens_note_line ?");
    EXPECT_EQ(errors().find("  1 ", shown), std::string::npos) << errors().substr(shown);
}

}  // namespace
