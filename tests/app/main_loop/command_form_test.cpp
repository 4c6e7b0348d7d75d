// Questions with the parameter's value list as their choices, the help printed for a command
// level, the spreadsheet title, and the form of the command dialog.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/command_dialog.h"
#include "app/command_line.h"
#include "platform/child_process.h"
#include "runtime/command_history.h"
#include "runtime/dispatch.h"
#include "runtime/level_help.h"
#include "runtime/list_words.h"
#include "runtime/settings.h"
#include "runtime/table_help.h"
#include "runtime/text_output.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "tests/support/built_tables.h"
#include "ui/choice_lists.h"

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

TEST_F(Loop, AClickedChoiceRunsItsTextButAnUnfinishedCommandWaitsInTheCommandLine) {
    struct Case {
        int item;
        const char* line;  // the command line afterwards
        bool runs;
    };
    const Case cases[] = {
        {0, "", true},             // "a = 7" entered and taken
        {1, "set_value_", false},  // left for the user to finish, never run
        {2, "", true},             // "{b} b = 8": the braces give the line "b"
    };
    for (const Case& c : cases) {
        start_built_list();
        add_built_list_entry("@Title", "");
        add_built_list_entry("a = 7", "1");
        add_built_list_entry("set_value_", "2");
        add_built_list_entry("{b} b = 8", "3");
        ASSERT_EQ(fill_choice_list(1), 3);
        ui().set_command_line_text("");
        const int before = history_count();
        ASSERT_TRUE(ui().choose_list_item(c.item));
        // One pass takes the click and runs the line it enters (a second would find the
        // console's input ended).
        main_loop_pass(false);
        EXPECT_EQ(ui().command_line_text(), c.line) << c.item;
        EXPECT_EQ(history_count() > before, c.runs) << c.item;
        fill_choice_list(0);
    }
    ASSERT_GE(history_count(), 2);
    EXPECT_STREQ(history_line(history_count() - 2), "a = 7");
    EXPECT_STREQ(history_line(history_count() - 1), "b");
}

}  // namespace

namespace {

namespace fs = std::filesystem;

// Two dialog commands over the program's own tables: form_all (help flags 0x80 | 12 rows:
// disabled fields are drawn as blanks) and form_compact (disabled fields left out). Style
// "narrow" keeps only field 2 enabled after it; "wide" keeps all.
constexpr int kFormAll = 1950;
constexpr int kFormCompact = 1951;
constexpr char kFormParams[] =
    "  param style int list=list:900 flags=2 default=2 mode=2\n"
    "  param width double default=1.5 mode=2 flags=32\n"
    "  param label text upper=8\n"
    "  param count char default=7 mode=2\n"
    "  param shape int list=list:901 flags=2 default=11 mode=2\n"
    "  param hidden double\n";
constexpr char kFormHelp[] =
    "  text 91 93 \"Form head\"\n"
    "  text 0 92 \"Style\"\n"
    "  text 0 93 \"<- style\"\n"
    "  text 1 93 \"Width\"\n"
    "  text 2 93 \"Label\"\n"
    "  text 3 93 \"Count\"\n"
    "  text 4 93 \"Shape\"\n"
    "  text 93 92 \"Fields:\"\n"
    "  text 93 0 \"the style\"\n"
    "end\n";

std::vector<OutputLine> g_lines;
void keep_line(const OutputLine& line) {
    g_lines.push_back(line);
}

class Form : public Loop {
protected:
    void SetUp() override {
        const fs::path sources = run_.tree.base() / "sources";
        fs::copy(fs::path(TAVO_SOURCE_DIR) / "tables", sources, fs::copy_options::recursive);
        run_.tree.write_file("sources/definitions/zz_form.def",
                             std::string("command 1950 form_all interactive=76\n") + kFormParams +
                                 "command 1951 form_compact interactive=76\n" + kFormParams);
        std::string lists = tavo_test::read_file(sources / "lists/alists.lst");
        lists +=
            "list 900 form_styles\n  item \"@S\" \"\"\n  item \"narrow\" \"\x02"
            "1\"\n  item \"wide\" \"2\"\nend\nlist 901 form_shapes\n";
        const char* shapes[] = {"flat",    "convex", "concave",  "sphere",
                                "asphere", "toroid", "cylinder", "conic",
                                "grating", "mirror", "prism",    "freeform_surface"};
        for (int n = 0; n < 12; ++n) {
            lists += std::string("  item \"") + shapes[n] + "\" \"" + std::to_string(n) + "\"\n";
        }
        lists += "end\n";
        run_.tree.write_file("sources/lists/alists.lst", lists);
        run_.tree.write_file(
            "sources/help/ctable.hlp",
            std::string("help 1950 flags=140\n") + kFormHelp + "help 1951 flags=12\n" + kFormHelp);
        ASSERT_EQ(tavo_test::build_tables(sources, run_.tree.root() / "bin/amo"), 0);
        forget_command_help();
        set_interactive_call(0);  // an earlier test's dialog may have left it negative
        Loop::SetUp();
        g_lines.clear();
        set_output_line_sink(keep_line);
    }
    void TearDown() override {
        set_output_line_sink(nullptr);
        Loop::TearDown();
    }

    // Opens a command's dialog as a menu would, and returns the lines of its first drawing.
    std::vector<std::string> open_dialog(const char* command) {
        submit_command_line(command);
        // Passes until the level is built (more would reach the end of the input).
        for (int k = 0; k < 4 && level_count() == 0; ++k) main_loop_pass(false);
        return texts();
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const OutputLine& line : g_lines) out.push_back(line.text);
        return out;
    }
    const OutputLine* line_starting(const std::string& start) const {
        for (const OutputLine& line : g_lines) {
            if (line.text.rfind(start, 0) == 0) return &line;
        }
        return nullptr;
    }
};

std::string blanks(int n) {
    return std::string(static_cast<std::size_t>(n), ' ');
}

// Hot-spot record: BE16 item, BE16 index, start and end column.
std::vector<std::uint8_t> spot(int item, int index, int start, int end) {
    return {static_cast<std::uint8_t>(item >> 8),  static_cast<std::uint8_t>(item),
            static_cast<std::uint8_t>(index >> 8), static_cast<std::uint8_t>(index),
            static_cast<std::uint8_t>(start),      static_cast<std::uint8_t>(end)};
}

TEST_F(Form, FieldsOfEveryKindAreDrawnWithTheirValues) {
    const std::vector<std::string> lines = open_dialog("form_all");
    ASSERT_EQ(level_count(), 1) << errors();
    EXPECT_EQ(top_level()->rows, 12);  // the help block's flags without the print bit
    const std::string number = format_number(1.5, 0, 0);
    const std::vector<std::string> form = {
        "Form head",
        "Style",
        "   narrow    wide   <- style",
        number + " Width",
        blanks(8) + " Label",
        "  7         Count",
        "freeform_surface Shape",
    };
    ASSERT_GE(lines.size(), form.size()) << errors();
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 7), form);

    // Each choice is a hot spot of its own, the chosen one marked; list and plain fields
    // carry their kind in the item.
    const OutputLine* row = line_starting("   narrow");
    ASSERT_NE(row, nullptr);
    std::vector<std::uint8_t> spots = spot(kFormAll | 0x2000, 16 * 1024 + 1, 1, 9);
    const std::vector<std::uint8_t> wide = spot(kFormAll | 0x3000, 16 * 1024 + 2, 11, 17);
    spots.insert(spots.end(), wide.begin(), wide.end());
    EXPECT_EQ(row->hotspots, spots);
    EXPECT_EQ(line_starting("freeform")->hotspots, spot(kFormAll | 0x7000, 20 * 1024 + 999, 0, 16));
    EXPECT_EQ(line_starting("  7")->hotspots, spot(kFormAll, 19 * 1024 + 999, 0, 11));

    // The hidden double ends the form; the level's help follows, without a second list of
    // the fields and their raw values.
    ASSERT_GE(lines.size(), 9u);
    EXPECT_EQ(lines[7], "");
    EXPECT_EQ(lines[8], "Fields:");
    for (const std::string& line : lines) EXPECT_NE(line, "style 2 the style");
}

TEST_F(Form, AChoiceDisablesTheFieldsItDoesNotName) {
    open_dialog("form_all");
    ASSERT_EQ(level_count(), 1) << errors();
    g_lines.clear();
    type("0 narrow");  // field 0 answered by a typed line
    ASSERT_EQ(saved_level_cell(0)->value.i, 1) << errors();
    const std::vector<std::string> lines = texts();
    ASSERT_GE(lines.size(), 7u) << errors();
    // Disabled fields show blanks: at least 11, a list field its width.
    const std::vector<std::string> form = {
        "Form head",
        "Style",
        "   narrow    wide   <- style",
        blanks(11) + " Width",
        blanks(8) + " Label",
        blanks(11) + " Count",
        blanks(16) + " Shape",
    };
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 7), form);
    EXPECT_EQ(saved_level_cell(1)->status, -1);
    EXPECT_EQ(saved_level_cell(2)->status, 0);
    EXPECT_EQ(saved_level_cell(4)->status, -1);
    const std::vector<std::uint8_t> spots = line_starting("   narrow")->hotspots;
    ASSERT_EQ(spots.size(), 12u);
    EXPECT_EQ((spots[0] << 8) | spots[1], kFormAll | 0x3000);  // narrow is now the chosen one
    EXPECT_TRUE(line_starting(blanks(11) + " Width")
                    ->hotspots.empty());  // a disabled field has no hot spot

    // Back to "wide": every field is enabled again.
    type("0 wide");
    EXPECT_EQ(saved_level_cell(1)->status, 0);
    EXPECT_EQ(saved_level_cell(4)->status, 0);
}

TEST_F(Form, WithoutThePrintFlagDisabledFieldsAreLeftOut) {
    open_dialog("form_compact");
    ASSERT_EQ(level_count(), 1) << errors();
    g_lines.clear();
    type("0 narrow");
    const std::vector<std::string> lines = texts();
    ASSERT_GE(lines.size(), 6u) << errors();
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4),
              (std::vector<std::string>{"Form head", "Style", "   narrow    wide   <- style",
                                        blanks(8) + " Label"}));
    EXPECT_EQ(lines[5], "Fields:");
}

}  // namespace

namespace {

TEST_F(Form, LevelHelpPrintsEachFieldWithItsValueAndHelpText) {
    g_lines.clear();
    print_level_help();  // no level: nothing
    EXPECT_TRUE(g_lines.empty());

    open_dialog("form_all");
    ASSERT_EQ(level_count(), 1) << errors();
    g_lines.clear();
    print_level_help();
    // The text under (93, 92), then per field its name and value and the text under
    // (93, field); a field without a text ends its line there.
    const std::vector<std::string> expected = {
        "Fields:",  "style 2 the style", "width 1.5 ",  "label  ",
        "count 7 ", "shape 11 ",         "hidden 0.0 ",
    };
    EXPECT_EQ(texts(), expected);
}

TEST_F(Form, TheSpreadsheetTitleAndTopicAreSetOnlyWhileTheTopicIsUnset) {
    ui().create_window(platform::kWindowSpreadsheet, "", nullptr);
    struct Case {
        int topic;
        int expected_topic;
    };
    const Case cases[] = {{-5, 5}, {0, kNoHelpTopic}, {3, 0}};
    for (const Case& c : cases) {
        reset_sheet_title();
        EXPECT_EQ(sheet_help_topic(), kHelpTopicUnset);
        sheet_set_title(c.topic, -57);
        EXPECT_EQ(sheet_help_topic(), c.expected_topic) << c.topic;
        EXPECT_STREQ(sheet_title(), "exit");
        EXPECT_EQ(ui().window_title(platform::kWindowSpreadsheet), "exit");
        // Once set, a second call changes neither.
        sheet_set_title(-9, -261);
        EXPECT_EQ(sheet_help_topic(), c.expected_topic);
        EXPECT_EQ(ui().window_title(platform::kWindowSpreadsheet), "exit");
    }
    reset_sheet_title();
}

}  // namespace

namespace {

// OK runs the command the form composed; Escape (asked first whether the form may close)
// closes it without running anything.
TEST_F(Form, OkRunsTheComposedCommandAndEscapeDoesNot) {
    struct Case {
        const char* name;
        bool ok;
    } cases[] = {{"Escape", false}, {"OK", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open_dialog("form_all");
        ASSERT_EQ(level_count(), 1) << errors();
        type("0 narrow");
        const int before = history_count();
        if (c.ok) {
            accept_command_level();
        } else {
            escape_command_line();
        }
        for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
        EXPECT_EQ(level_count(), 0);
        main_loop_pass(false);  // the composed line, when there is one, runs
        std::string ran;
        for (int n = before; n < history_count(); ++n) ran += std::string(history_line(n)) + "|";
        EXPECT_EQ(ran.find("form_all") != std::string::npos, c.ok) << ran << errors();
        while (level_count() > 0) pop_command_level(false);
    }
}

}  // namespace
