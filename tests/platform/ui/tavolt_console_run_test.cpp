// Runs the built program the way a scripted run or `echo | tavolt` does.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/support/temp_tree.h"

namespace {

TEST(TavoltConsole, EndsCleanlyAtEndOfInputAfterShowingItsTitle) {
    tavo_test::TempTree tree;
    // The run writes its settings file into the data folder: keep it in the temporary tree.
    tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
    const std::filesystem::path output = tree.base() / "out.txt";
    struct Case {
        const char* name;
        const char* before;  // shell text before the program
        const char* after;   // and after it
    };
    const Case cases[] = {
        {"no input", "", " < /dev/null"},
        {"one empty line", "echo | ", ""},
        {"lines without a final line feed", "printf 'a = 1\\nexit' | ", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string command = std::string(c.before) +
                                    "TAVO_UI=console '" TAVO_INSTALL_DIR "/tavolt'" + c.after +
                                    " > '" + output.string() + "' 2>&1";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(tavo_test::read_file(output), "TAVO LT 5.40\n");
    }
}

}  // namespace
