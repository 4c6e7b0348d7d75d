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

namespace {

// A lens file of an older version: opening it counts as a change, so leaving asks whether to
// save over it.
const char* const kOlderLensFile =
    "// TAVO 5.20 0 0 0\nLEN NEW \"Old\" 0 2\nNXT\nTH 4\nNXT\nEND 2\n";

struct ConsoleQuestionRun {
    std::string shown;       // standard output and standard error
    std::string lens_after;  // the lens file's bytes after the run
    int exit_status = -1;
};

// Runs the program in a fresh profile of tree on the typed lines, with the program arguments
// given: what it showed (standard output and standard error) and its exit status.
ConsoleQuestionRun run_console(tavo_test::TempTree& tree, const std::string& typed,
                               const std::string& arguments = std::string()) {
    tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
    const std::filesystem::path input = tree.write_file("in.txt", typed);
    const std::filesystem::path output = tree.base() / "out.txt";
    const std::string command = "TAVO_UI=console '" TAVO_INSTALL_DIR "/tavolt'" + arguments +
                                " < '" + input.string() + "' > '" + output.string() + "' 2>&1";
    ConsoleQuestionRun run;
    const int status = std::system(command.c_str());
    if (WIFEXITED(status)) run.exit_status = WEXITSTATUS(status);
    run.shown = tavo_test::read_file(output);
    return run;
}

// Runs the program on lines typed after a lens file was opened: by naming it on the program's
// command line, or with "open" as the first line.
ConsoleQuestionRun run_on_older_lens(const std::string& typed, bool named_at_start) {
    tavo_test::TempTree tree;
    const std::filesystem::path lens = tree.write_file("lenses/old.len", kOlderLensFile);
    ConsoleQuestionRun run = named_at_start
                                 ? run_console(tree, typed, " '" + lens.string() + "'")
                                 : run_console(tree, "open . " + lens.string() + " no\n" + typed);
    run.lens_after = tavo_test::read_file(lens);
    return run;
}

// Only a typed Yes writes over the file; everything else, the end of the input included,
// leaves its bytes as they were, and the program still ends.
TEST(TavoltConsole, TheSaveQuestionTakesTheTypedAnswer) {
    struct Case {
        const char* name;
        bool named_at_start;
        const char* typed;
        const char* answer_shown;
        bool saved;
    };
    const Case cases[] = {
        {"named at start, no input", true, "", "Save it? [Yes/No/Cancel] No\n", false},
        {"opened, exit, no answer", false, "exit\n", "Save it? [Yes/No/Cancel] No\n", false},
        {"exit, No", false, "exit\nNo\n", "Save it? [Yes/No/Cancel] No\n", false},
        {"exit, Cancel, then the end", false, "exit\nc\n", "Save it? [Yes/No/Cancel] Cancel\n",
         false},
        {"exit, Yes", false, "exit\nyes\n", "Save it? [Yes/No/Cancel] Yes\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ConsoleQuestionRun run = run_on_older_lens(c.typed, c.named_at_start);
        EXPECT_EQ(run.exit_status, 0);
        EXPECT_NE(run.shown.find(c.answer_shown), std::string::npos) << run.shown;
        if (c.saved) {
            EXPECT_NE(run.lens_after, kOlderLensFile);
            EXPECT_NE(run.lens_after.find("TH   4.0"), std::string::npos) << run.lens_after;
        } else {
            EXPECT_EQ(run.lens_after, kOlderLensFile) << run.shown;
        }
    }
}

// A new lens has no file yet. Unchanged, leaving asks nothing; changed, the question is the
// one for a lens of this version. Its sheet shows a lens without power as having no focal
// length, and the zero field as 0.
TEST(TavoltConsole, ANewLensAsksToBeSavedOnlyWhenChanged) {
    struct Case {
        const char* typed;
        const char* question;  // empty: none asked
    };
    const Case cases[] = {
        {"new_lens t 0 2\nexit\n", ""},
        // Without a name (as the File menu runs it) the name is asked for first.
        {"new_lens\nfresh\nexit\n", ""},
        {"new_lens t 0 2\nRD 50\nexit\n",
         "The lens has changed since it was opened or saved. Save it? [Yes/No/Cancel] No"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        tavo_test::TempTree tree;
        const ConsoleQuestionRun run = run_console(tree, c.typed);
        EXPECT_EQ(run.exit_status, 0);
        const std::string& shown = run.shown;
        EXPECT_NE(shown.find("Focal length         --\n"), std::string::npos) << shown;
        EXPECT_NE(shown.find("Field angle    0.000000"), std::string::npos) << shown;
        if (c.question[0] == '\0') {
            EXPECT_EQ(shown.find("Save it?"), std::string::npos) << shown;
        } else {
            EXPECT_NE(shown.find(c.question), std::string::npos) << shown;
        }
    }
}

// Revert answered No throws the change away: the file is read again, not written.
TEST(TavoltConsole, RevertAnsweredNoRestoresTheFilesLens) {
    const ConsoleQuestionRun run =
        run_on_older_lens("gto 1\nth 9\nlist_radii\nrevert\nNo\nlist_radii\n", false);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.lens_after, kOlderLensFile) << run.shown;
    const std::size_t changed = run.shown.find(" AST       --          9.000000");
    ASSERT_NE(changed, std::string::npos) << run.shown;
    EXPECT_NE(run.shown.find(" AST       --          4.000000", changed), std::string::npos)
        << run.shown;
    EXPECT_EQ(run.shown.find("Save lens file"), std::string::npos) << run.shown;
}

}  // namespace
