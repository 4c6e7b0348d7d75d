// The compile driver in a running program: saved sources and the compile command request a
// compile, the main loop runs the compilers of the installation as child processes (stand-in
// scripts here, or the built message compiler) and reports what they did.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/compile_driver.h"
#include "runtime/compile_request.h"
#include "runtime/table_files.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

void write_text(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
}

class CompileDriver : public loop_test::Loop {
protected:
    void SetUp() override {
        prepare();
        Loop::SetUp();
    }
    void TearDown() override {
        clear_compile_request();
        Loop::TearDown();
    }
    // Files the start must already see.
    virtual void prepare() {}

    const fs::path& root() { return run_.tree.root(); }
    const fs::path& data() { return run_.tree.data(); }
    fs::path base() { return run_.tree.base(); }

    // A stand-in compiler: records its arguments, one call a line, writes a line into its
    // diagnostics file (the word after -m) and ends with the code written in
    // <base>/<tool>_exit_public or _private (0 when there is none).
    void stand_in(const std::string& tool) {
        const fs::path script = root() / tool;
        write_text(script,
                   "#!/bin/sh\n"
                   "echo \"" +
                       tool + " $*\" >> '" + (base() / "calls").string() +
                       "'\n"
                       "tree=public\n"
                       "for a in \"$@\"; do [ \"$a\" = -p ] && tree=private; done\n"
                       "code=$(cat '" +
                       base().string() + "/" + tool +
                       "_exit_'$tree 2>/dev/null)\n"
                       "echo \"" +
                       tool +
                       " says: errors in the $tree tree\" > \"$4\"\n"
                       "exit ${code:-0}\n");
        fs::permissions(script, fs::perms::owner_all);
    }
    void exit_code(const std::string& tool, const std::string& tree, int code) {
        write_text(base() / (tool + "_exit_" + tree), std::to_string(code));
    }
    std::string calls() { return tavo_test::read_file(base() / "calls"); }
    std::string errs(const fs::path& tree, const char* tool) {
        return (tree / "bin/amo" / (std::string(tool) + "_errs")).string();
    }
};

TEST_F(CompileDriver, SavedSourcesAreClassifiedByNameAndFolder) {
    const std::string pub = root().string() + "/public/kpl/";
    const std::string priv = data().string() + "/kpl/";
    struct Case {
        std::string path;
        int state;
        int private_tree;
    };
    const Case cases[] = {
        {pub + "A_String1.KPL", kCompileStrings, 0},
        {priv + "a_string_mine.kpl", kCompileStrings, 1},
        {pub + "a_list_filters.kpl", kCompileLists, 0},
        {priv + "A_MENU.kpl", kCompileMenus, 1},
        {pub + "report.kpl", kCompileCode, 0},
        {pub + "a_string1.txt", kCompileNone, 0},
        {pub + "a_string1", kCompileNone, 0},
        {base().string() + "/elsewhere/a_string1.kpl", kCompileNone, 0},
        {pub + "sub/a_string1.kpl", kCompileNone, 0},
        {root().string() + "\\public\\kpl\\a_string2.kpl", kCompileStrings, 0},
        {root().string() + "//public/KPL/a_string2.kpl", kCompileStrings, 0},
    };
    for (const Case& c : cases) {
        clear_compile_request();
        EXPECT_EQ(compile_on_save(c.path), c.state) << c.path;
        EXPECT_EQ(compile_request().state, c.state) << c.path;
        if (c.state != kCompileNone) {
            EXPECT_EQ(compile_request().private_tree, c.private_tree) << c.path;
            EXPECT_EQ(compile_request().options, " -D _TAVO_LIGHT_") << c.path;
        }
    }
}

TEST_F(CompileDriver, OptionsAreSplitIntoWordsWithQuotesGrouping) {
    EXPECT_EQ(split_compiler_options(" -D _TAVO_LIGHT_"),
              (std::vector<std::string>{"-D", "_TAVO_LIGHT_"}));
    EXPECT_EQ(split_compiler_options("-D \"A B\"  -x \"\""),
              (std::vector<std::string>{"-D", "A B", "-x", ""}));
    EXPECT_TRUE(split_compiler_options("  ").empty());
}

TEST_F(CompileDriver, APublicStringSourceCompilesThePublicThenThePrivateTree) {
    stand_in("vdm");
    compile_on_save(root().string() + "/public/kpl/A_String1.KPL");
    main_loop_pass(false);
    EXPECT_EQ(calls(), "vdm -a tv -m " + errs(root(), "vdm") + " -D _TAVO_LIGHT_\n" +
                           "vdm -a tv -m " + errs(data(), "vdm") + " -p -D _TAVO_LIGHT_\n");
    EXPECT_EQ(compile_request().state, kCompileNone);
    EXPECT_THAT(output(), HasSubstr("Compile complete"));
    EXPECT_EQ(tables_stale(), 0);
}

TEST_F(CompileDriver, ASourceOutsideTheSourceFoldersCompilesNothing) {
    stand_in("vdm");
    compile_on_save(base().string() + "/a_string1.kpl");
    main_loop_pass(false);
    EXPECT_FALSE(fs::exists(base() / "calls"));
    EXPECT_THAT(output(), Not(HasSubstr("Compile complete")));
}

TEST_F(CompileDriver, CompileErrorsListTheDiagnosticsFileAndDeleteIt) {
    stand_in("vdm");
    exit_code("vdm", "public", 8);
    compile_on_save(root().string() + "/public/kpl/a_string1.kpl");
    main_loop_pass(false);
    // The public pass failed: no private pass.
    EXPECT_EQ(calls(), "vdm -a tv -m " + errs(root(), "vdm") + " -D _TAVO_LIGHT_\n");
    EXPECT_THAT(output(), HasSubstr("Compiler diagnostics:\nvdm says: errors in the public tree"));
    EXPECT_THAT(errors(), HasSubstr("The public tables could not be compiled"));
    EXPECT_FALSE(fs::exists(errs(root(), "vdm")));
    EXPECT_EQ(tables_stale(), 0);
}

TEST_F(CompileDriver, ACompilerThatFailsOtherwiseShowsOnlyThatItDidNotRun) {
    stand_in("vdm");
    exit_code("vdm", "public", 3);
    compile_on_save(root().string() + "/public/kpl/a_string1.kpl");
    main_loop_pass(false);
    EXPECT_THAT(errors(), HasSubstr("The compiler could not be run or did not finish"));
    EXPECT_THAT(output(), Not(HasSubstr("vdm says")));
    // Its diagnostics file is not listed, and stays.
    EXPECT_TRUE(fs::exists(errs(root(), "vdm")));
}

TEST_F(CompileDriver, MissingCompilersFailAsNotRun) {
    // No list compiler is installed: a list compile fails as a compiler that could not run.
    compile_on_save(root().string() + "/public/kpl/a_list_x.kpl");
    main_loop_pass(false);
    EXPECT_THAT(errors(), HasSubstr("The compiler could not be run or did not finish"));
    // The tables were opened again.
    EXPECT_STREQ(msg_text(kMsgCompileDone), "Compile complete\n");
}

TEST_F(CompileDriver, AFailedPrivatePassMarksThePrivateTablesStale) {
    stand_in("vdm");
    exit_code("vdm", "private", 8);
    compile_on_save(root().string() + "/public/kpl/a_string1.kpl");
    main_loop_pass(false);
    EXPECT_EQ(tables_stale(), kStalePrivateTables);
    EXPECT_THAT(errors(), HasSubstr("The private tables could not be compiled"));
    EXPECT_THAT(output(), HasSubstr("vdm says: errors in the private tree"));
    EXPECT_FALSE(fs::exists(errs(data(), "vdm")));
}

TEST_F(CompileDriver, TheCompileCommandRequestsWithItsOwnOrTheSettingsOptions) {
    stand_in("vdm");
    stand_in("brx");
    type("compile 0 101");
    type("compile 1 102 \"-D NAME=1\"");
    EXPECT_EQ(calls(), "vdm -a tv -m " + errs(root(), "vdm") + " -D _TAVO_LIGHT_\n" +
                           "vdm -a tv -m " + errs(data(), "vdm") + " -p -D _TAVO_LIGHT_\n" +
                           "brx -a tv -m " + errs(data(), "brx") + " -p -D NAME=1\n");
}

TEST_F(CompileDriver, CompilingAllRunsTheThreeCompilersInTurn) {
    for (const char* tool : {"vdm", "brx", "kpl"}) stand_in(tool);
    type("compile 1 113 \"\"");
    EXPECT_EQ(calls(), "vdm -a tv -m " + errs(data(), "vdm") + " -p\n" + "brx -a tv -m " +
                           errs(data(), "brx") + " -p\n" + "kpl -a tv -m " + errs(data(), "kpl") +
                           " -p\n");
    // The definitions were reloaded after the code compile and the program runs on.
    EXPECT_EQ(running_flag(), 1);
    EXPECT_THAT(output(), HasSubstr("Compile complete"));
}

TEST_F(CompileDriver, AFailedReloadAfterACodeCompileEndsTheRun) {
    // A procedure compiler that leaves a private definitions table cut after its magic.
    write_text(root() / "kpl", "#!/bin/sh\nhead -c 8 '" +
                                   (root() / "bin/amo/tvrtdefs.amo").string() + "' > '" +
                                   (data() / "bin/amo/tvrtdefs.amo").string() + "'\nexit 0\n");
    fs::permissions(root() / "kpl", fs::perms::owner_all);
    type("compile 1 100");
    EXPECT_EQ(running_flag(), 0);
    EXPECT_FALSE(main_loop_pass(false));
}

// The built message compiler, copied beside the program as an installation holds it.
class CompileWithVdm : public CompileDriver {
protected:
    void prepare() override { fs::copy_file(fs::path(TAVO_INSTALL_DIR) / "vdm", root() / "vdm"); }
};

TEST_F(CompileWithVdm, ACompiledStringIsReadBackByTheMessageReader) {
    write_text(root() / "public/kpl/a_string1.kpl", "5: info, \"hello from a string source\";\n");
    type("compile 0 101");
    EXPECT_THAT(output(), HasSubstr("Compile complete"));
    EXPECT_STREQ(msg_text(5), "hello from a string source");
}

TEST_F(CompileWithVdm, DiagnosticsOfTheCompilerAppearInTheTextOutput) {
    write_text(root() / "public/kpl/a_string1.kpl", "501: info, \"x\";\n");
    type("compile 0 101");
    EXPECT_THAT(output(), HasSubstr(" a_string1.kpl 1: String number outside 1..500\n"));
    EXPECT_THAT(errors(), HasSubstr("The public tables could not be compiled"));
}

TEST_F(CompileWithVdm, AfterAFailedPrivatePassTheNextStartReadsThePublicTables) {
    // An earlier private table, then a public source and a private one that reuses its number.
    write_text(data() / "kpl/a_string_mine.kpl", "6: info, \"mine\";\n");
    type("compile 1 101");
    ASSERT_TRUE(fs::exists(data() / "bin/amo/tvusmsgs.amo"));
    // File times have a resolution of a second: the old private table is made clearly older.
    fs::last_write_time(data() / "bin/amo/tvusmsgs.amo",
                        fs::file_time_type::clock::now() - std::chrono::hours(1));
    write_text(root() / "public/kpl/a_string1.kpl", "6: info, \"public six\";\n");
    type("compile 0 101");
    EXPECT_THAT(output(), HasSubstr("String number used twice"));
    EXPECT_EQ(tables_stale(), kStalePrivateTables);
    EXPECT_STREQ(msg_text(6), "public six");

    ASSERT_EQ(read_root_folders(), 0);
    EXPECT_EQ(tables_stale(), kStalePrivateTables);
    ASSERT_EQ(open_message_table(), 0);
    EXPECT_STREQ(msg_text(6), "public six");
}

// Private tables older than the public ones are offered for a compile when the loop starts.
class StaleStart : public CompileDriver {
protected:
    void prepare() override {
        const fs::path priv = data() / "bin/amo/tvusmsgs.amo";
        fs::copy_file(root() / "bin/amo/tvrtmsgs.amo", priv);
        fs::last_write_time(
            priv, fs::last_write_time(root() / "bin/amo/tvrtmsgs.amo") - std::chrono::hours(1));
        for (const char* tool : {"vdm", "brx", "kpl"}) stand_in(tool);
        run_.backend->queue_message_box_answer(start_answer());
    }
    // What the user answers to the offer.
    virtual platform::MessageAnswer start_answer() const { return platform::MessageAnswer::ok; }
};

TEST_F(StaleStart, OkAtTheStartCompilesAllPrivateTables) {
    EXPECT_THAT(errors(), HasSubstr("older than the public tables"));
    EXPECT_EQ(calls(), "vdm -a tv -m " + errs(data(), "vdm") + " -p -D _TAVO_LIGHT_\n" +
                           "brx -a tv -m " + errs(data(), "brx") + " -p -D _TAVO_LIGHT_\n" +
                           "kpl -a tv -m " + errs(data(), "kpl") + " -p -D _TAVO_LIGHT_\n");
    EXPECT_EQ(tables_stale(), 0);
}

class StaleStartCancelled : public StaleStart {
protected:
    platform::MessageAnswer start_answer() const override {
        return platform::MessageAnswer::cancel;
    }
};

TEST_F(StaleStartCancelled, CancelClearsTheMarkAndCompilesNothing) {
    EXPECT_THAT(errors(), HasSubstr("older than the public tables"));
    EXPECT_FALSE(fs::exists(base() / "calls"));
    EXPECT_EQ(tables_stale(), 0);
}

}  // namespace
