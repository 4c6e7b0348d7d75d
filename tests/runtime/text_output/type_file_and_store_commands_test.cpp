// Typing a text file to the output or the edit window, and the commands that read printed
// numbers back from the store.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/arg_cells.h"
#include "runtime/output_value_commands.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "tests/runtime/text_output/text_output_fixture.h"
#include "tests/support/temp_tree.h"

using tavo_test::captured_lines;
using tavo_test::TextOutputFixture;

namespace {

std::vector<std::string> edit_pieces;
void keep_edit_piece(const char* text) {
    edit_pieces.emplace_back(text);
}

class TypeFile : public TextOutputFixture {
protected:
    void SetUp() override {
        TextOutputFixture::SetUp();
        edit_pieces.clear();
        set_edit_window_sink(keep_edit_piece);
    }
    tavo_test::TempTree tree;
};

TEST_F(TypeFile, MissingFileAndUnreadableFile) {
    EXPECT_EQ(type_text_file((tree.data() / "none.txt").string().c_str(), 0), kMsgFileCannotOpen);
    EXPECT_EQ(type_text_file("", 0), kMsgFileCannotOpen);
    // A folder opens but cannot be read.
    EXPECT_EQ(type_text_file(tree.data().string().c_str(), 0), kMsgFileDamaged);
    EXPECT_TRUE(captured_lines.empty());
}

TEST_F(TypeFile, CrLfLinesReachTheTextWindowWithoutMarkup) {
    const auto path = tree.write_file("notes.txt", "first @3 line\r\n\\12 second\r\n\r\nlast\r\n");
    EXPECT_EQ(type_text_file(path.string().c_str(), 0), 0);
    EXPECT_EQ(texts(), (std::vector<std::string>{"first @3 line", "\\12 second", "", "last"}));
    for (const OutputLine& l : captured_lines) EXPECT_TRUE(l.hotspots.empty());
}

TEST_F(TypeFile, EditWindowTakesPiecesOf512BytesAndTheFileName) {
    ASSERT_EQ(ui.create_window(5, "Edit", nullptr), 0);
    // 1300 bytes; a CR LF is split across the first two pieces (bytes 511 and 512).
    std::string text(511, 'a');
    text += "\r\n";
    text += std::string(1300 - text.size(), 'b');
    const auto path = tree.write_file("long.txt", text);
    EXPECT_EQ(type_text_file(path.string().c_str(), 1), 0);
    ASSERT_EQ(edit_pieces.size(), 3u);
    EXPECT_EQ(edit_pieces[0], std::string(511, 'a'));
    EXPECT_EQ(edit_pieces[1], "\n" + std::string(511, 'b'));
    EXPECT_EQ(edit_pieces[2], std::string(1300 - 513 - 511, 'b'));
    EXPECT_EQ(ui.window_title(5), "long.txt");
    EXPECT_TRUE(captured_lines.empty());
}

// --- the store commands ---------------------------------------------------------------------

class StoreCommands : public TextOutputFixture {
protected:
    double value_of(int command, std::vector<ArgCell> cells) {
        std::vector<ArgCell*> vector;
        for (ArgCell& c : cells) vector.push_back(&c);
        set_arg_vector(vector.data(), static_cast<int>(vector.size()));
        set_current_command(command);
        clear_command_result();
        EXPECT_EQ(cmd_output_value(), 0);
        EXPECT_EQ(command_result().type, kArgDouble);
        set_arg_vector(nullptr, 0);
        return command_result().value.d;
    }
    int rows_of(int command) {
        set_current_command(command);
        clear_command_result();
        EXPECT_EQ(cmd_output_rows(), 0);
        EXPECT_EQ(command_result().type, kArgInt);
        return command_result().value.i;
    }
};

TEST_F(StoreCommands, ReadColumnsOfPrintedRows) {
    for (int c = 1; c <= 10; ++c) text_number(c * 1.5);
    text_newline();
    text_number(-7.25);
    text_newline();
    text_out("no numbers\n");

    struct Case {
        int command;
        std::vector<ArgCell> cells;
        double value;
    } cases[] = {
        {0, {int_cell(1)}, 1.5},
        {4, {int_cell(1)}, 7.5},
        {9, {int_cell(1)}, 15.0},
        {0, {int_cell(2)}, -7.25},
        {1, {int_cell(2)}, 0.0},                // nothing printed there
        {0, {double_cell(2.0)}, -7.25},         // a row given as a double
        {10, {int_cell(1), int_cell(3)}, 4.5},  // the column as argument 2
        {10, {int_cell(2), int_cell(1)}, -7.25},
        {10, {int_cell(1), int_cell(11)}, 0.0},
        {10, {int_cell(1), int_cell(0)}, 0.0},
        {10, {int_cell(1)}, 0.0},  // no column given
        {0, {int_cell(0)}, 0.0},
        {0, {int_cell(2000)}, 0.0},
        {0, {}, 0.0},
    };
    for (Case& c : cases) {
        EXPECT_DOUBLE_EQ(value_of(c.command, c.cells), c.value) << "command " << c.command;
    }
}

TEST_F(StoreCommands, RowCountersAndOtherCommands) {
    text_number(1.0);
    text_newline();
    text_number(2.0);
    text_newline();
    text_out("text only\n");
    EXPECT_EQ(rows_of(kCmdOutputCurrentRow), 3);
    EXPECT_EQ(rows_of(kCmdOutputLinesWritten), 2);
    EXPECT_EQ(rows_of(5), kOutputRows);
    // Moving the head clears the lines written; the current row counts from the new head.
    output_rows_advance(2, 0, 0.0);
    EXPECT_EQ(rows_of(kCmdOutputLinesWritten), 0);
    EXPECT_EQ(rows_of(kCmdOutputCurrentRow), 1);
    EXPECT_DOUBLE_EQ(value_of(0, {int_cell(1)}), 2.0);
}

}  // namespace
