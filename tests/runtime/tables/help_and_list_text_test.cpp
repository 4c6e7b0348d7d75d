// Printing a command's help text, and the texts a value shows as in keyed and plain lists, over
// the fixture tables of tests/fixtures/menus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/state_reset.h"
#include "runtime/list_item_text.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/table_help.h"
#include "runtime/table_lists.h"
#include "runtime/text_output.h"
#include "tests/runtime/tables/menu_fixture.h"

using namespace tavo_test;

namespace {

std::vector<OutputLine> lines;
void keep_line(const OutputLine& line) {
    lines.push_back(line);
}

class HelpText : public ::testing::Test {
protected:
    void SetUp() override {
        platform::reset_all_state();
        ASSERT_NO_FATAL_FAILURE(tables.load());
        set_output_line_sink(keep_line);
        set_running_flag(1);
        lines.clear();
    }
    void TearDown() override {
        set_running_flag(0);
        clear_value_list();
        platform::reset_all_state();
    }
    MenuTables tables;
};

TEST_F(HelpText, PrintsLinesWithTheEndingAtRunAsMarkup) {
    ASSERT_EQ(load_command_help(kSymSurf), 0);
    EXPECT_EQ(print_help_text(93, 92, 0), 0x80);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "First line");
    EXPECT_EQ(lines[1].text, "Second line");

    // The '@' run that ends a line is markup: "@@" is a hot spot at the line's end, not text.
    lines.clear();
    write_output_text("R1 ", false);
    print_help_text(93, 2, 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "R1 Radius of curvature");
    EXPECT_EQ(lines[0].hotspots, (std::vector<std::uint8_t>{0x40, 0, 0, 0, 22, 22}));

    // Text before the '@' run is not markup: a backslash and digits stay as they are.
    lines.clear();
    print_help_text(93, 1, 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "Plain\\5text");
}

TEST_F(HelpText, ModeAsksForTheBlocksPrintFlag) {
    ASSERT_EQ(load_command_help(kSymSaveLens), 0);
    EXPECT_EQ(print_help_text(93, 92, 1), 0);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(print_help_text(93, 92, 0), 0);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "Quiet help");
    // Keys the block lacks print nothing.
    lines.clear();
    print_help_text(1, 1, 0);
    EXPECT_TRUE(lines.empty());
}

TEST_F(HelpText, ListTextsByKeyOrPosition) {
    struct Case {
        const char* list;
        bool keyed;
        int value;
        const char* text;
        const char* keyword;
    } cases[] = {
        {"shapes", true, 3, "sphere surface", "sph"},
        {"shapes", true, 7, "plane mirror", "plane mirror"},
        {"shapes", true, 0, "?", "?"},  // entry 0 is not the key 0
        {"shapes", true, 1, "?", "?"},
        {"colours", false, 0, "red light", "r"},
        {"colours", false, 1, "green", "green"},
        {"colours", false, 2, "?", "?"},
        {"colours", false, -1, "?", "?"},
    };
    for (const Case& c : cases) {
        const int list = find_list(c.list, c.keyed);
        ASSERT_GE(list, 0) << c.list;
        select_table_value_list(list);
        EXPECT_EQ(current_list_is_keyed(), c.keyed);
        EXPECT_STREQ(list_item_text(c.value), c.text) << c.list << " " << c.value;
        EXPECT_STREQ(list_item_keyword(c.value), c.keyword) << c.list << " " << c.value;
    }
    // A list a handler built is never keyed: values are positions.
    start_built_list();
    add_built_list_entry("{k} built_entry", "3");
    EXPECT_STREQ(list_item_text(0), "built entry");
    EXPECT_STREQ(list_item_text(3), "?");
    EXPECT_FALSE(current_list_is_keyed());
}

}  // namespace
