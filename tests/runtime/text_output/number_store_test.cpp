#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "runtime/table_files.h"
#include "tables/table_names.h"
#include "tests/runtime/text_output/text_output_fixture.h"
#include "tests/support/temp_tree.h"

namespace {

using tavo_test::captured_lines;
using tavo_test::Hotspot;
using tavo_test::hotspots_of;
using ::testing::ElementsAre;

using NumberStore = tavo_test::TextOutputFixture;

std::string file_text(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(NumberStore, TheEleventhNumberOnARowIsPrintedButNotStored) {
    set_output_option(kOptionTrim, 0);
    for (int i = 1; i <= 11; ++i) text_number(i * 1.5);
    text_newline();
    ASSERT_EQ(captured_lines.size(), 1u);
    EXPECT_EQ(captured_lines[0].text.size(), 11u * 11u);
    EXPECT_EQ(captured_lines[0].text.substr(110), "  16.500000");
    for (int c = 1; c <= 10; ++c) EXPECT_EQ(get_output_value(1, c), c * 1.5) << c;
    EXPECT_EQ(get_output_value(1, 11), 0.0);
    // Each stored number is a hot spot of row 1 and its 0-based column over its 11 columns.
    const auto spots = hotspots_of(captured_lines[0]);
    ASSERT_EQ(spots.size(), 10u);
    EXPECT_EQ(spots[0], (Hotspot{1, 0, 0, 11}));
    EXPECT_EQ(spots[9], (Hotspot{1, 9, 99, 110}));
}

TEST_F(NumberStore, RowsAdvanceOnlyAfterLinesWithNumbers) {
    text_number(1.0);
    text_number(2.0);
    text_newline();
    text_out("no numbers here\n");
    text_number(3.0);
    text_newline();
    EXPECT_EQ(get_output_value(1, 1), 1.0);
    EXPECT_EQ(get_output_value(1, 2), 2.0);
    EXPECT_EQ(get_output_value(2, 1), 3.0);
    EXPECT_EQ(output_rows_current(), 3);
    EXPECT_EQ(output_lines_written(), 2);
}

TEST_F(NumberStore, OutOfRangeReadsGiveZero) {
    text_number(5.0);
    text_newline();
    EXPECT_EQ(get_output_value(0, 1), 0.0);
    EXPECT_EQ(get_output_value(2000, 1), 0.0);
    EXPECT_EQ(get_output_value(1, 0), 0.0);
    EXPECT_EQ(get_output_value(1, 11), 0.0);
    EXPECT_EQ(get_output_value(-5, -5), 0.0);
}

TEST_F(NumberStore, NumbersAreKeptPerTextWindow) {
    text_number(1.0);
    text_newline();
    set_current_text_window(2);
    set_output_window(2);
    text_number(2.0);
    text_newline();
    EXPECT_EQ(get_output_value(1, 1), 2.0);
    set_current_text_window(1);
    EXPECT_EQ(get_output_value(1, 1), 1.0);
}

TEST_F(NumberStore, OutputToAnotherWindowIsNotStored) {
    set_output_window(2);  // window 1 stays the current text window
    text_number(4.0);
    text_newline();
    EXPECT_EQ(get_output_value(1, 1), 0.0);
    ASSERT_EQ(captured_lines.size(), 1u);
    EXPECT_TRUE(captured_lines[0].hotspots.empty());
}

TEST_F(NumberStore, AdvanceMovesTheHeadAroundTheRing) {
    output_rows_advance(0, -1, 7.0);  // clear everything to 7
    EXPECT_EQ(get_output_value(1999, 10), 7.0);
    output_rows_advance(1999, 0, 0.0);  // head and current row at ring row 1998
    text_number(1.0);
    text_newline();
    text_number(2.0);  // wraps to ring row 0
    text_newline();
    EXPECT_EQ(get_output_value(1, 1), 1.0);
    EXPECT_EQ(get_output_value(2, 1), 2.0);
    EXPECT_EQ(output_rows_current(), 3);
    output_rows_advance(-2, 0, 0.0);  // one row back from the head
    EXPECT_EQ(get_output_value(2, 1), 1.0);
    EXPECT_EQ(output_lines_written(), 0);
}

TEST_F(NumberStore, MarkSavesAndRestoresThePosition) {
    output_rows_mark(0);
    text_number(1.0);
    text_newline();
    text_number(2.0);
    text_newline();
    EXPECT_EQ(output_rows_current(), 3);
    output_rows_mark(1);
    EXPECT_EQ(output_rows_current(), 1);
}

TEST_F(NumberStore, ExactZeroTakesTheCellWidth) {
    struct Case {
        bool print_zero;
        bool five;
        const char* expected;
    };
    const Case cases[] = {{false, false, "     --    "},
                          {true, false, "   0.0     "},
                          {false, true, "      --   "},
                          {true, true, "    0.0    "}};
    for (const Case& c : cases) {
        captured_lines.clear();
        set_output_option(kOptionPrintZero, c.print_zero);
        set_output_option(kOptionFivePlaces, c.five);
        text_number(0.0);
        text_newline();
        ASSERT_EQ(captured_lines.size(), 1u);
        EXPECT_EQ(captured_lines[0].text, c.expected);
        EXPECT_EQ(captured_lines[0].text.size(), std::string(format_number(2.0, 0, 0)).size());
    }
}

TEST_F(NumberStore, WithoutTextOutputNumbersAreStoredAndOnlyLogged) {
    tavo_test::TempTree tree;
    ASSERT_EQ(read_root_folders(), 0);
    set_log_file_name("session.log");
    set_output_option(kOptionLog, 1);
    ASSERT_EQ(apply_log_option(1), 0);
    EXPECT_EQ(std::filesystem::path(open_log_path()), tree.data() / "session.log");
    set_output_option(kOptionOutputText, 0);
    text_number(2.5);
    text_newline();
    EXPECT_TRUE(captured_lines.empty());
    EXPECT_EQ(get_output_value(1, 1), 2.5);
    close_log_file();
    EXPECT_EQ(file_text(tree.data() / "session.log"), "   2.5     \n");
}

TEST_F(NumberStore, LogFileGetsTheCurrentTextWindowsLinesAndStartsAfresh) {
    tavo_test::TempTree tree;
    const auto path = tree.write_file("data/out.log", "old content\n");
    set_log_file_name(path.string());
    set_output_option(kOptionLog, 1);
    ASSERT_EQ(apply_log_option(1), 0);
    text_out("first\n\n");
    set_state_flag(kFlagOutputHeldBack);
    text_out("held back\n");
    clear_state_flag(kFlagOutputHeldBack);
    set_output_window(2);
    text_out("other window\n");
    set_output_window(1);
    set_running_flag(0);
    text_out("before the loop\n");
    close_log_file();
    EXPECT_EQ(file_text(path), "first\n\nbefore the loop\n");
}

TEST_F(NumberStore, LogFileNameChangeReopensUnderTheNewName) {
    tavo_test::TempTree tree;
    ASSERT_EQ(read_root_folders(), 0);
    set_log_file_name("a.log");
    set_output_option(kOptionLog, 1);
    ASSERT_EQ(apply_log_option(1), 0);
    text_out("to a\n");
    set_log_file_name("sub\\b.log");
    std::filesystem::create_directories(tree.data() / "sub");
    ASSERT_EQ(apply_log_option(1), 0);
    text_out("to b\n");
    close_log_file();
    EXPECT_EQ(file_text(tree.data() / "a.log"), "to a\n");
    EXPECT_EQ(file_text(tree.data() / "sub" / "b.log"), "to b\n");
}

TEST_F(NumberStore, TlgLogPrintsTrimmedNumbers) {
    tavo_test::TempTree tree;
    ASSERT_EQ(read_root_folders(), 0);
    set_log_file_name("table.tlg");
    set_output_option(kOptionLog, 1);
    ASSERT_EQ(apply_log_option(1), 0);
    text_number(1.25);
    text_newline();
    close_log_file();
    EXPECT_EQ(file_text(tree.data() / "table.tlg"), "1.25\n");
}

TEST(LogFile, DefaultNameAndUnopenableFile) {
    EXPECT_EQ(default_log_file_name("/d"), "/d/tvlog.txt");
    set_log_file_name("/nonexistent-folder-xyz/log.txt");
    EXPECT_EQ(apply_log_option(1), kMsgFileCannotOpen);
    EXPECT_FALSE(log_is_open());
    set_log_file_name("");
}

}  // namespace
