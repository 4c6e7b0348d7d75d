// A script run through the console answers the program's questions with its next lines: a
// line that is no answer is refused once, the second takes the harmless answer and the script
// goes on; a Save dialog asks before it replaces a file; the edit window saves over its edit
// file only the text read from it, and never an empty text.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/tavolt_run.h"
#include "tests/support/temp_tree.h"

namespace {

namespace fs = std::filesystem;

// Standard output and standard error of the program run on the typed lines in a fresh profile.
std::string script_output(tavo_test::TempTree& tree, const std::string& typed) {
    tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
    const tavo_test::TavoltRun run = tavo_test::run_tavolt(tree, typed);
    EXPECT_EQ(run.exit_code, 0);
    return run.shown;
}

int times_shown(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos;
         at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

TEST(ConsoleScriptAnswers, APromptRefusesOneLineAndIsCancelledByTheSecond) {
    struct Case {
        const char* name;
        const char* asking;  // the lines up to the question
        const char* prompt;  // what it asks, shown once more after the first refusal
    };
    const Case cases[] = {
        {"a parameter's list prompt", "new_lens t 0 2\nexit_levels\nspecialspr\n", "Enter choice:"},
        {"a report's value prompt", "report_graphics \"calc_rptg_mtfs\"\n", "Enter mtf frequency:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tavo_test::TempTree tree;
        const std::string shown = script_output(
            tree, std::string(c.asking) + "print \"w_one\"\nprint \"w_two\"\nprint \"w_three\"\n" +
                      "print \"w_four\"\n");
        EXPECT_EQ(times_shown(shown, std::string(c.prompt) + "\n"), 2) << shown;
        EXPECT_EQ(times_shown(shown, "A command without result cannot be used as a value"), 2)
            << shown;
        EXPECT_NE(shown.find("the command is cancelled"), std::string::npos) << shown;
        // The two refused lines were answers, not commands; the rest of the script runs.
        EXPECT_EQ(shown.find("w_one\n"), std::string::npos) << shown;
        EXPECT_NE(shown.find("w_three\n"), std::string::npos) << shown;
        EXPECT_NE(shown.find("w_four\n"), std::string::npos) << shown;
    }
}

TEST(ConsoleScriptAnswers, GoToLineRefusesOneLineThatIsNoNumberAndIsCancelledByTheSecond) {
    tavo_test::TempTree tree;
    const fs::path note = tree.write_file("note.txt", "a\nb\n");
    const std::string shown =
        script_output(tree, "open . " + note.string() +
                                " no 4\nedit_goto\nabc\ndef\nprint \"w_ran\"\nprint \"w_on\"\n");
    EXPECT_NE(shown.find("w_ran\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("w_on\n"), std::string::npos) << shown;
}

// Each Save dialog of the console, answered with a file that exists: the file is replaced only
// after a typed Yes; No, two lines that are no answer, or the end of the input keep it.
TEST(ConsoleScriptAnswers, ASaveDialogAsksBeforeItReplacesAFile) {
    struct Dialog {
        const char* name;
        const char* command;
    };
    const Dialog dialogs[] = {
        {"the lens", "file_save_as"},
        {"a text window", "print_text 1"},
        {"the edit window", "edit_save_as"},
    };
    struct Answer {
        const char* typed;  // after the file name
        bool replaced;
    };
    const Answer answers[] = {
        {"", false}, {"no\n", false}, {"maybe\nperhaps\n", false}, {"yes\n", true}};
    for (const Dialog& d : dialogs) {
        for (const Answer& a : answers) {
            SCOPED_TRACE(std::string(d.name) + " / " + a.typed);
            tavo_test::TempTree tree;
            const fs::path mine = tree.write_file("mine.txt", "keep me\n");
            const fs::path text = tree.write_file("text.txt", "edited text\n");
            const std::string shown = script_output(
                tree, "new_lens t 0 2\nexit_levels\nopen . " + text.string() + " no 4\n" +
                          d.command + "\n" + mine.string() + "\n" + a.typed);
            EXPECT_NE(shown.find("already exists. Replace it? [Yes/No]"), std::string::npos)
                << shown;
            EXPECT_EQ(tavo_test::read_file(mine) != "keep me\n", a.replaced)
                << tavo_test::read_file(mine);
        }
    }
}

TEST(ConsoleScriptAnswers, AnEmptyEditWindowIsNotSavedOverAFile) {
    tavo_test::TempTree tree;
    const fs::path mine = tree.write_file("mine.txt", "keep me\n");
    const fs::path empty = tree.write_file("empty.txt", "");
    for (const std::string& save :
         {"edit_save_as\n" + mine.string() + "\nyes\n", "save_as . " + mine.string() + " 4\n"}) {
        SCOPED_TRACE(save);
        const std::string shown =
            script_output(tree, "open . " + empty.string() + " no 4\n" + save);
        EXPECT_NE(shown.find("The edit window holds no text: nothing is saved"), std::string::npos)
            << shown;
        EXPECT_EQ(tavo_test::read_file(mine), "keep me\n");
    }
}

// A file shown with view_file is not the edit file's text: edit_save asks where it goes (an
// unanswered dialog saves nothing) instead of writing it over the edit file.
TEST(ConsoleScriptAnswers, ViewedTextIsNotSavedOverTheEditFile) {
    tavo_test::TempTree tree;
    const fs::path note = tree.write_file("note.txt", "my notes\n");
    const fs::path other = tree.write_file("other.txt", "someone else's\n");
    const fs::path copy = tree.base() / "copy.txt";
    const std::string shown = script_output(
        tree, "open . " + note.string() + " no 4\nview_file 4 2 " + other.string() +
                  "\nedit_save\n\nedit_save_close\n" + copy.string() + "\nprint \"w_on\"\n");
    EXPECT_EQ(tavo_test::read_file(note), "my notes\n");
    EXPECT_EQ(times_shown(shown, "file name?"), 2) << shown;
    // Saved where the user said.
    EXPECT_EQ(tavo_test::read_file(copy), "someone else's\n");
    EXPECT_NE(shown.find("w_on\n"), std::string::npos) << shown;
}

}  // namespace
