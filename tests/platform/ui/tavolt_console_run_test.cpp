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

// Counts the places where text occurs in output.
int occurrences(const std::string& output, const std::string& text) {
    int count = 0;
    for (std::size_t at = output.find(text); at != std::string::npos;
         at = output.find(text, at + text.size())) {
        ++count;
    }
    return count;
}

TEST(TavoltConsole, OverLongInputLineIsRefusedWholeAndTheNextLineRuns) {
    tavo_test::TempTree tree;
    tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
    const std::filesystem::path output = tree.base() / "out.txt";
    // Standard input is read in pieces of some kilobytes: the blanks carry "2*3" past the
    // first piece, or past several, where it must not run on its own.
    struct Case {
        const char* name;
        std::string input;
    };
    const std::string long_line = "1+" + std::string(4100, ' ') + "2*3";
    const std::string longer_line = "1+" + std::string(9000, ' ') + "2*3";
    const Case cases[] = {
        {"a line past the first piece", long_line + "\n4*5\n"},
        {"a line past several pieces", longer_line + "\n4*5\n"},
        {"an over-long last line without a line feed", "4*5\n" + long_line},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path input = tree.write_file("in.txt", c.input);
        const std::string command = "TAVO_UI=console '" TAVO_INSTALL_DIR "/tavolt' < '" +
                                    input.string() + "' > '" + output.string() + "' 2>&1";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        const std::string seen = tavo_test::read_file(output);
        EXPECT_EQ(occurrences(seen, "A command line has at most 255 characters"), 1) << seen;
        EXPECT_EQ(occurrences(seen, "Value: 6"), 0) << seen;   // 2*3 from the refused line
        EXPECT_EQ(occurrences(seen, "Value: 20"), 1) << seen;  // the short line still runs
    }
}

}  // namespace
