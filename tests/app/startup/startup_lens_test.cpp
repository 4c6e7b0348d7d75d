// The start-up lens command: which argument names the lens, what it asks the command language
// to run, the folder it makes current, and the start-up routine. The lens-entry and file
// commands are not part of these tests: a stand-in line runner records each line and answers
// with the code a test sets for it.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/startup.h"
#include "kpl/kpl_sysvars.h"
#include "lens/lens_text_commands.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/list_words.h"
#include "runtime/settings.h"
#include "tables/table_names.h"
#include "tests/app/startup/started_runtime.h"
#include "tests/runtime/tables/menu_fixture.h"

namespace fs = std::filesystem;

namespace {

struct RunLine {
    std::string text;
    int output_on;  // setting 20 while the line ran
    friend bool operator==(const RunLine&, const RunLine&) = default;
};
std::vector<RunLine> lines_run;
std::map<std::string, int> line_results;

int recording_runner(const char* text, int, int) {
    lines_run.push_back({text, get_setting_flag(kSetOutputOn)});
    const auto it = line_results.find(text);
    return it != line_results.end() ? it->second : 0;
}

void set_arguments(const std::vector<std::string>& args) {
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    set_program_arguments(static_cast<int>(argv.size()), argv.data());
}

TEST(StartupLensArgument, WhichArgumentNamesTheLens) {
    struct Case {
        std::vector<std::string> args;
        bool found;
        std::string lens;
    } cases[] = {
        {{"tavolt", "/home/u/lens/Doublet.LEN"}, true, "/home/u/lens/Doublet.LEN"},
        {{"tavolt", "a.len"}, true, "a.len"},
        {{"tavolt", ".len"}, false, ""},
        {{"tavolt", ".tav", "b.Tav"}, true, ".tav b.Tav"},
        {{"tavolt", "/home/u/my", "lens", "files/x.tav"}, true, "/home/u/my lens files/x.tav"},
        {{"tavolt", "notes.txt"}, false, ""},
        {{"tavolt", "lens.lens"}, false, ""},
        {{"tavolt"}, false, ""},
        {{}, false, ""},
    };
    for (const Case& c : cases) {
        set_arguments(c.args);
        bool found = !c.found;
        EXPECT_EQ(startup_lens_argument(&found), c.lens) << c.lens;
        EXPECT_EQ(found, c.found) << c.lens;
    }
    reset_startup_state();
}

TEST(StartupLensArgument, FolderOfTheLens) {
    struct Case {
        const char* path;
        bool has;
        const char* folder;
    } cases[] = {
        {"/home/u/lens/a.len", true, "/home/u/lens"},
        {"/a.len", true, "/"},
        {"C:\\lens\\a.len", true, "C:\\lens"},
        {"C:\\a.len", true, "C:\\"},
        {"\\a.len", true, "\\"},
        {"a.len", false, ""},
    };
    for (const Case& c : cases) {
        std::string folder;
        EXPECT_EQ(lens_folder_of(c.path, &folder), c.has) << c.path;
        EXPECT_EQ(folder, c.folder) << c.path;
    }
}

class StartupLens : public ::testing::Test {
protected:
    void SetUp() override {
        platform::reset_all_state();
        saved_folder_ = fs::current_path();
        ASSERT_NO_FATAL_FAILURE(tables.load());
        ASSERT_EQ(settings_layout(), 0);
        line_runner_hooks().run_top_line = recording_runner;
        lines_run.clear();
        line_results.clear();
        set_setting_flag(kSetOutputOn, 1);
        lens_folder = tables.tree.data() / "my lens";
        fs::create_directories(lens_folder);
    }
    void TearDown() override {
        settings_release();
        set_startup_done(false);
        std::error_code ignored;
        fs::current_path(saved_folder_, ignored);
        platform::reset_all_state();
    }
    std::string setting(int id) { return get_setting_text(id, 0); }

    tavo_test::MenuTables tables;
    fs::path lens_folder;

private:
    fs::path saved_folder_;
};

const RunLine kNew{"LEN NEW", 0}, kEnd{"END", 0}, kOpen{"open . str_pref(lfil) no", 1},
    kRoutine{"startup", 1};

TEST_F(StartupLens, SplitPathIsJoinedOpenedAndItsFolderMadeCurrent) {
    // ".../my lens/two blanks.LEN" arrives as three arguments.
    const std::string lens = (lens_folder / "two blanks.LEN").string();
    const std::size_t first = lens.find(' '), second = lens.find(' ', first + 1);
    set_arguments({"tavolt", lens.substr(0, first), lens.substr(first + 1, second - first - 1),
                   lens.substr(second + 1)});
    set_setting_text(kSetLensFile, "/old/last.len", 0);
    EXPECT_EQ(cmd_open_startup_lens(), 0);
    EXPECT_EQ(lines_run, (std::vector<RunLine>{kNew, kEnd, kOpen, kRoutine}));
    EXPECT_EQ(setting(kSetLensFile), lens);
    EXPECT_EQ(setting(kSetCurrentDirectory), lens_folder.string());
    EXPECT_EQ(get_setting_flag(kSetOutputOn), 1);
    EXPECT_TRUE(startup_done());
}

TEST_F(StartupLens, LastLensOpensOnlyWithAutoOpen) {
    const std::string last = (lens_folder / "last.len").string();
    set_arguments({"tavolt", "notes.txt"});
    set_setting_text(kSetLensFile, last.c_str(), 0);
    set_setting_text(kSetCurrentDirectory, "", 0);

    EXPECT_EQ(cmd_open_startup_lens(), 0);
    EXPECT_EQ(lines_run, (std::vector<RunLine>{kNew, kEnd, kRoutine}));
    EXPECT_EQ(setting(kSetCurrentDirectory), "");

    lines_run.clear();
    set_setting_flag(kSetLensAutoOpen, 1);
    EXPECT_EQ(cmd_open_startup_lens(), 0);
    EXPECT_EQ(lines_run, (std::vector<RunLine>{kNew, kEnd, kOpen, kRoutine}));
    EXPECT_EQ(setting(kSetLensFile), last);
    EXPECT_EQ(setting(kSetCurrentDirectory), lens_folder.string());

    // Nothing to open: an empty Lens_file.
    lines_run.clear();
    set_setting_text(kSetLensFile, "", 0);
    EXPECT_EQ(cmd_open_startup_lens(), 0);
    EXPECT_EQ(lines_run, (std::vector<RunLine>{kNew, kEnd, kRoutine}));
}

TEST_F(StartupLens, FailedOpenIsReturnedBeforeTheFolderAndRoutine) {
    set_arguments({"tavolt", (lens_folder / "gone.len").string()});
    set_setting_text(kSetCurrentDirectory, "", 0);
    line_results[kOpen.text] = -7;
    EXPECT_EQ(cmd_open_startup_lens(), kMsgFileCannotOpen);
    EXPECT_EQ(lines_run, (std::vector<RunLine>{kNew, kEnd, kOpen}));
    EXPECT_EQ(setting(kSetCurrentDirectory), "");
}

TEST_F(StartupLens, RoutineResultIsTheCommandsResult) {
    set_arguments({"tavolt"});
    line_results[kRoutine.text] = -500;
    EXPECT_EQ(cmd_open_startup_lens(), -500);
}

TEST_F(StartupLens, NameTooLongForLensFileOpensNothing) {
    const std::string lens = "/" + std::string(300, 'd') + "/a.len";
    set_arguments({"tavolt", lens});
    set_setting_text(kSetLensFile, "/old/last.len", 0);
    EXPECT_EQ(cmd_open_startup_lens(), kMsgBadValue);
    EXPECT_EQ(lines_run, (std::vector<RunLine>{kNew, kEnd}));
    EXPECT_EQ(setting(kSetLensFile), "/old/last.len");
}

// The program's own tables: the start-up installs the handlers, the definitions route the
// commands to them, and the start-up routine of the installation is not a defined name.
TEST(StartupHandlers, ProgramTablesReachTheInstalledHandlers) {
    tavo_test::StartedRuntime run;
    ASSERT_EQ(run.start(), 0);
    const Definitions& d = definitions();
    ASSERT_GT(d.command_count, 12);
    for (int n = 0; n <= 10; ++n) EXPECT_EQ(d.commands[n].plain_slot, kSlotOutputValue) << n;
    EXPECT_EQ(d.commands[11].plain_slot, kSlotOutputRows);
    EXPECT_EQ(d.commands[12].plain_slot, kSlotOutputRows);

    ArgCell row = int_cell(1);
    ArgCell* cells[] = {&row};
    set_arg_vector(cells, 1);
    clear_command_result();
    EXPECT_EQ(run_command(kCmdOutD), 0);
    EXPECT_EQ(command_result().type, kArgDouble);
    EXPECT_EQ(run_command(kCmdOutLines), 0);
    EXPECT_EQ(command_result().type, kArgInt);
    set_arg_vector(nullptr, 0);

    const int symbol = find_name(d.names, "open_startup_lens");
    ASSERT_GE(symbol, 0);
    reset_line_runner_hooks();
    line_runner_hooks().run_top_line = recording_runner;
    lines_run.clear();
    line_results.clear();
    set_program_arguments(0, nullptr);
    EXPECT_EQ(run_command(symbol), 0);
    EXPECT_EQ(lines_run, (std::vector<RunLine>{kNew, kEnd}));
    reset_line_runner_hooks();
}

}  // namespace

namespace {

// After the start the command language reads lens fields and the lens-text variables through
// its variable table.
TEST(StartupBindings, VariableTableHoldsLensFieldsAndTextVariables) {
    tavo_test::StartedRuntime run;
    ASSERT_EQ(run.start(), 0);
    struct Case {
        int entry;
        const void* address;
        int type;
        int dim1;
    } cases[] = {
        {89, &lens_data().image_surface, 1, 0},       {91, &lens_data().object_height, 2, 0},
        {106, &lens_data().plane_symmetric, 3, 0},    {299, &lens_data().xaba, 2, 0},
        {86, lens_text_variable(86, nullptr), 3, 11}, {87, lens_text_variable(87, nullptr), 3, 81},
        {88, lens_text_variable(88, nullptr), 3, 81},
    };
    for (const Case& c : cases) {
        const KplSysVar* v = kpl_sysvar(c.entry);
        ASSERT_NE(v, nullptr);
        EXPECT_NE(c.address, nullptr) << c.entry;
        EXPECT_EQ(v->address, c.address) << c.entry;
        EXPECT_EQ(v->type, c.type) << c.entry;
        EXPECT_EQ(v->dim1, c.dim1) << c.entry;
    }
    std::size_t size = 0;
    EXPECT_EQ(lens_text_variable(85, &size), nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_NE(lens_text_variable(87, &size), lens_text_variable(88, nullptr));
    EXPECT_EQ(size, 81u);
}

}  // namespace
