// Script entries of command files in the temporary data and installation folders, run through
// typed lines; the stopwatch.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "runtime/lens_data_guard.h"
#include "runtime/table_files.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

namespace fs = std::filesystem;
using loop_test::Loop;

class Scripts : public Loop {
protected:
    void TearDown() override {
        set_lens_data_query(nullptr);
        Loop::TearDown();
    }
    static void write(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }
    fs::path data_scp(const std::string& name) { return fs::path(data_folder()) / "scp" / name; }
    fs::path root_scp(const std::string& name) {
        return fs::path(root_folder()) / "public" / "scp" / name;
    }
    std::string value(const std::string& line) {
        type(line);
        return ui().status_text();
    }
    std::string last_box() {
        return ui().message_boxes_shown().empty() ? "" : ui().message_boxes_shown().back().text;
    }
};

TEST_F(Scripts, TheDataFolderComesBeforeTheInstallation) {
    write(data_scp("lens.scp"), "*other\na = 9\n*setup\na = 1\n");
    write(root_scp("lens.scp"), "*setup\na = 2\n*only_public\na = 3\n");
    struct Case {
        const char* line;
        const char* a;
    } cases[] = {
        {"script \"setup:lens\"", "Value: 1.0"},
        {"script \"only_public:lens\"", "Value: 3.0"},
        {"script \"OTHER:lens\"", "Value: 9.0"},  // names without regard to case
    };
    for (const Case& c : cases) {
        type("a = 0");
        type(c.line);
        EXPECT_EQ(last_box(), "") << c.line;
        EXPECT_EQ(value("a"), c.a) << c.line;
    }
}

TEST_F(Scripts, HeadingsMatchTheWholeNameAndCRLFFilesRead) {
    write(data_scp("head.scp"), "*setupx\r\na = 5\r\n*SETUP more words\r\na = 6\r\nb = 7\r\n");
    type("a = 0");
    type("b = 0");
    type("script \"setup:head\"");
    EXPECT_EQ(value("a"), "Value: 6.0") << last_box();
    EXPECT_EQ(value("b"), "Value: 7.0");
    // Without a file name: a file named like the entry, then "default".
    write(data_scp("default.scp"), "*fromdefault\na = 11\n");
    type("script \"fromdefault\"");
    EXPECT_EQ(value("a"), "Value: 11.0");
}

TEST_F(Scripts, MissingEntriesAndOverlongLinesAreReported) {
    write(data_scp("lens.scp"), "*setup\na = 1\n");
    type("script \"nothing:lens\"");
    EXPECT_NE(last_box().find("The script entry nothing:lens was not found"), std::string::npos)
        << last_box();
    write(data_scp("long.scp"), "*setup\na = 1\n" + std::string(256, ' ') + "\n");
    type("script \"setup:long\"");
    EXPECT_NE(last_box().find("Line 3 of"), std::string::npos) << last_box();
    EXPECT_NE(last_box().find("long.scp"), std::string::npos) << last_box();
    std::string big = "*big\n";
    for (int k = 0; k < 500; ++k) big += "a = 1 + 2 + 3 + 4\n";
    write(data_scp("big.scp"), big);
    type("script \"big\"");
    EXPECT_NE(last_box().find("longer than 8192 bytes"), std::string::npos) << last_box();
}

TEST_F(Scripts, NoScriptRunsWhileLensDataIsRead) {
    write(data_scp("lens.scp"), "*setup\na = 1\n");
    type("a = 0");
    set_lens_data_query([] { return true; });
    type("script \"setup:lens\"");
    EXPECT_NE(last_box().find("while lens data is read"), std::string::npos) << last_box();
    set_lens_data_query(nullptr);
    EXPECT_EQ(value("a"), "Value: 0.0");
}

TEST_F(Scripts, TheCallsNumbersAndTextsAreTheScriptParameters) {
    write(data_scp("par.scp"),
          "*sum\na = script_value1 + script_value2 + script_value6\n"
          "*texts\nprint_line script_text1, script_text2, script_text3\n"
          "*inner\nb = script_value1\n"
          "*outer\nscript \"inner:par\" 7\nc = script_value1\n");
    const auto printed = [&](const std::string& line) {
        const std::size_t before = output().size();
        type(line);
        EXPECT_EQ(last_box(), "") << line;
        return output().substr(before);
    };
    // Numbers fill the doubles in order, whatever their type; what is not given is 0.
    struct Case {
        const char* line;
        const char* a;
    } cases[] = {
        {"script \"sum:par\" 2 3.5", "Value: 5.5"},
        {"script(\"sum:par\", 1, \"skip\", 2, 0, 0, 0, 10)", "Value: 13.0"},
        {"script \"sum:par\"", "Value: 0.0"},
    };
    for (const Case& c : cases) {
        type("a = -1");
        type(c.line);
        EXPECT_EQ(last_box(), "") << c.line;
        EXPECT_EQ(value("a"), c.a) << c.line;
    }
    // Texts fill the three texts in order, numbers between them do not count; a call clears
    // what the previous one left.
    EXPECT_EQ(printed("script \"texts:par\" \"one\" 5 \"two\" \"three\""), "one two three\n");
    EXPECT_EQ(printed("script \"texts:par\" \"alone\""), "alone  \n");
    // A nested call sets its own parameters; they are cleared and refilled at every call.
    type("script \"outer:par\" 3");
    EXPECT_EQ(value("b"), "Value: 7.0");
    EXPECT_EQ(value("c"), "Value: 7.0");
}

TEST_F(Scripts, MoreParametersThanTheVariablesHoldAreRefused) {
    write(data_scp("par.scp"), "*sum\na = 99\n");
    struct Case {
        const char* line;
        const char* message;
    } cases[] = {
        {"script(\"sum:par\", 1, 2, 3, 4, 5, 6, 7)", "at most 6 numbers and 3 texts"},
        {"script(\"sum:par\", \"a\", \"b\", \"c\", \"d\")", "at most 6 numbers and 3 texts"},
        // A whole array is neither a number nor a text.
        {"script(\"sum:par\", 1, array1)", "Argument 3 of a script entry must be a number"},
    };
    for (const Case& c : cases) {
        type("a = 0");
        const std::size_t before = ui().message_boxes_shown().size();
        type(c.line);
        EXPECT_GT(ui().message_boxes_shown().size(), before) << c.line;
        EXPECT_NE(last_box().find(c.message), std::string::npos) << c.line << ": " << last_box();
        EXPECT_EQ(value("a"), "Value: 0.0") << c.line;
    }
}

TEST_F(Scripts, AnEntryRunsAsOneProgramWhoseLinesEndStatements) {
    // Statements and blocks over several lines, C style; a command at a line's end takes its
    // arguments from that line only, even when it takes none there.
    write(data_scp("prog.scp"),
          "*loop\n"
          "a = 0\n"
          "for (i = 0; i < 4; i++)\n"
          "{\n"
          "    a = a + i   // 0 + 1 + 2 + 3\n"
          "}\n"
          "if (a == 6)\n"
          "    b = 1\n"
          "else\n"
          "    b = 2\n"
          "print_line\n"
          "c = 5\n"
          "print \"x\", 1\n"
          "d = 0\n"
          "do {\n"
          "    d++\n"
          "} while (d < 3)\n"
          "e = 1 +\n"  // an operator at a line's end, or an open parenthesis, continues
          "    2\n"
          "f = max(1,\n"
          "        5)\n"
          "double m[2][2], v[3]\n"  // declared for the whole entry
          "m[1][0] = 4\n"
          "while (m[0][1] < 3) m[0][1]++\n"
          "g = m[1][0] + m[0][1] + array_cols(v)\n"
          "*next\n"
          "a = 99\n");
    type("b = 0");
    type("c = 0");
    const std::size_t before = output().size();
    type("script \"loop:prog\"");
    EXPECT_EQ(last_box(), "");
    EXPECT_EQ(value("a"), "Value: 6.0");
    EXPECT_EQ(value("b"), "Value: 1.0");
    EXPECT_EQ(value("c"), "Value: 5.0");
    EXPECT_EQ(value("d"), "Value: 3.0");
    EXPECT_EQ(value("e"), "Value: 3.0");
    EXPECT_EQ(value("f"), "Value: 5.0");
    EXPECT_EQ(value("g"), "Value: 10.0");
    EXPECT_EQ(output().substr(before, 6), "\nx   1");
}

TEST_F(Scripts, AnEntrysVariablesAreItsOwn) {
    // The entry declares a name the calling line declared too: each sees its own variable.
    write(data_scp("own.scp"), "*decl\ndouble q[3]\nq[1] = 9\nb = q[1] + q[2]\n");
    type("double q[2]; q[1] = 5; script \"decl:own\"; a = q[1]");
    EXPECT_EQ(last_box(), "");
    EXPECT_EQ(value("a"), "Value: 5.0");
    EXPECT_EQ(value("b"), "Value: 9.0");
}

TEST_F(Scripts, AnEntryThatDoesNotCompileRunsNothingAndNamesItsLine) {
    write(data_scp("bad.scp"),
          "*first\na = 1\nb = = 2\nc = 3\n*deep\na = 1\nd = sqrt(-1)\nb = 1\n");
    type("a = 0");
    type("b = 0");
    type("script \"first:bad\"");
    EXPECT_NE(last_box().find("Error while compiling line 2 of first:bad"), std::string::npos)
        << last_box();
    EXPECT_EQ(value("a"), "Value: 0.0");  // not one line of the entry ran
    // A failure while it runs stops the entry there.
    type("script \"deep:bad\"");
    EXPECT_NE(last_box().find("sqrt"), std::string::npos) << last_box();
    EXPECT_EQ(value("a"), "Value: 1.0");
    EXPECT_EQ(value("b"), "Value: 0.0");
}

TEST_F(Scripts, AnEntryRunWithinAnotherRunsAgainFromItsKeptCode) {
    const fs::path inner = data_scp("inner.scp");
    write(inner, "*count\nb = b + 1\n");
    // The outer entry removes the file between two calls: the second runs the code kept from
    // the first. Called a hundred times in a loop, it is kept once.
    write(data_scp("outer.scp"), "*twice\nscript \"count:inner\"\nfremove \"" + inner.string() +
                                     "\"\nscript \"count:inner\"\n"
                                     "for (i = 0; i < 100; i++) script \"count:inner\"\n");
    type("b = 0");
    type("script \"twice:outer\"");
    EXPECT_EQ(last_box(), "");
    EXPECT_FALSE(fs::exists(inner));
    EXPECT_EQ(value("b"), "Value: 102.0");
    // The kept code ends with the outermost entry: the file is read again, and is gone.
    type("script \"twice:outer\"");
    EXPECT_NE(last_box().find("The script entry count:inner was not found"), std::string::npos)
        << last_box();
    EXPECT_EQ(value("b"), "Value: 102.0");
}

TEST_F(Scripts, AnEntryThatCallsItselfEndlesslyStopsWithAMessage) {
    // Each run counts in a; the ninth entry within the others runs no further.
    write(data_scp("self.scp"), "*again\na = a + 1\nscript \"again:self\"\nb = 1\n");
    type("a = 0");
    type("b = 0");
    type("script \"again:self\"");
    EXPECT_NE(last_box().find("more than 8 deep"), std::string::npos) << last_box();
    EXPECT_EQ(value("a"), "Value: 8.0");
    EXPECT_EQ(value("b"), "Value: 0.0");  // every entry stopped at the failed call
}

TEST_F(Scripts, TheScreenAndTheMdiClientAreaGiveTheirSizes) {
    ui().set_screen_size({1280, 1024});
    ui().set_mdi_client_size({900, 500});
    struct Case {
        const char* line;
        const char* shown;
    } cases[] = {
        {"screen_height()", "Value: 1024"},
        {"screen_width()", "Value: 1280"},
        {"client_height()", "Value: 500"},
        {"client_width()", "Value: 900"},
    };
    for (const Case& c : cases) EXPECT_EQ(value(c.line), c.shown) << c.line;
}

TEST_F(Scripts, TheStopwatchGrowsUntilItIsReset) {
    type("stopwatch_reset");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int first = std::stoi(value("stopwatch()").substr(7));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int second = std::stoi(value("stopwatch()").substr(7));
    EXPECT_GE(first, 20);
    EXPECT_GT(second, first);
    type("stopwatch_reset");
    EXPECT_LT(std::stoi(value("stopwatch()").substr(7)), second);
}

}  // namespace
