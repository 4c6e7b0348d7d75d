// The program's start and end: folders, the forced settings, the settings file written at exit,
// the fixed failure texts and a console run of the built program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "evaluation/spot_store.h"
#include "runtime/settings_file.h"
#include "runtime/table_files.h"
#include "tables/table_names.h"
#include "tests/app/startup/started_runtime.h"

namespace {

namespace fs = std::filesystem;

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size()) {
        text.replace(pos, from.size(), to);
    }
    return text;
}

// The file with the run's folders replaced by DATA, ROOT and TEMP.
std::string normalised_ini(const tavo_test::StartedRuntime& run) {
    std::string text = tavo_test::read_file(run.ini_path());
    text = replace_all(text, run.tree.data().string(), "DATA");
    text = replace_all(text, run.tree.root().string(), "ROOT");
    return text;
}

TEST(ProgramFolders, DataComesFromTheProfileOrDefaultsToPrivate) {
    tavo_test::TempTree tree;
    const std::string root = tree.root().string();
    EXPECT_EQ(decide_program_folders(root).data, root + "/private");

    tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=/elsewhere/data\n");
    EXPECT_EQ(decide_program_folders(root).data, "/elsewhere/data");
    EXPECT_EQ(decide_program_folders(root).root, root);

    // Another version's section is not ours.
    tree.write_file("profile.ini", "[TAVO LT 5.30]\nTVDATA=/old/data\n");
    EXPECT_EQ(decide_program_folders(root).data, root + "/private");
}

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        ::setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (had_) {
            ::setenv(name_, old_.c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

TEST(Startup, ExitHookWritesTheGoldenSettingsFile) {
    const ScopedEnv locale("LC_ALL", "C");  // the decimal comma default follows the locale
    tavo_test::StartedRuntime run;
    ASSERT_EQ(run.start(), 0);
    EXPECT_FALSE(fs::exists(run.ini_path()));  // nothing written before the exit
    ASSERT_EQ(exit_hook(), 0);
    std::string text = normalised_ini(run);
    text = replace_all(text, temp_folder_path(), "TEMP");
    const std::string golden =
        tavo_test::read_file(fs::path(TAVO_FIXTURES_DIR) / "settings/tavo_after_first_start.ini");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(text, golden);
}

TEST(Startup, LoggingAndStepModeAreOffAfterAStartWhateverTheFileSays) {
    tavo_test::StartedRuntime run;
    run.tree.write_file("data/tavo.ini",
                        "[Program]\nOutput_log=On\nRevert_enable=Off\nOutput_text=Off\n"
                        "Version_number=1.00\nOutput_echo=On\n");
    ASSERT_EQ(run.start(), 0);
    EXPECT_EQ(get_setting_flag(kSetOutputLog), 0);
    EXPECT_EQ(output_option(kOptionLog), 0);
    EXPECT_FALSE(log_is_open());
    EXPECT_EQ(get_setting_flag(kSetStepMode), 0);
    EXPECT_EQ(output_option(kOptionStepMode), 0);
    EXPECT_EQ(get_setting_flag(kSetRevertEnable), 1);
    EXPECT_EQ(get_setting_flag(kSetOutputText), 1);
    EXPECT_EQ(get_setting_flag(kSetOutputOn), 1);
    EXPECT_STREQ(get_setting_text(kSetVersionNumber, 0), "5.40");
    // A switch the file may set is taken as it is.
    EXPECT_EQ(get_setting_flag(kSetOutputEcho), 1);
    EXPECT_EQ(output_option(kOptionEcho), 1);

    ASSERT_EQ(exit_hook(), 0);
    const std::string text = tavo_test::read_file(run.ini_path());
    EXPECT_NE(text.find("Output_log=Off\n"), std::string::npos);
    EXPECT_NE(text.find("Version_number=5.40\n"), std::string::npos);
}

TEST(Startup, FoldersAndCompilerOptionsAreSetAtEveryStart) {
    tavo_test::StartedRuntime run;
    run.tree.write_file("data/tavo.ini",
                        "[Program]\nCurrent_directory=/nowhere\nPublic_directory=/nowhere\n"
                        "Edit_file=notes.txt\nKPL_compiler_options=-O\n");
    ASSERT_EQ(run.start(), 0);
    const std::string data = run.tree.data().string();
    EXPECT_EQ(std::string(get_setting_text(kSetCurrentDirectory, 0)), data + "/len");
    EXPECT_EQ(std::string(get_setting_text(kSetCurrentTextDirectory, 0)), data);
    EXPECT_EQ(std::string(get_setting_text(kSetPrivateDirectory, 0)), data);
    EXPECT_EQ(std::string(get_setting_text(kSetPublicDirectory, 0)),
              run.tree.root().string() + "/public");
    EXPECT_STREQ(get_setting_text(kSetEditFile, 0), "");
    EXPECT_STREQ(compiler_options_text(), "-O -D _TAVO_LIGHT_");
    EXPECT_EQ(get_setting_int(kSetSurfaceLimit, 0, 0), 12);
    EXPECT_EQ(get_setting_int(kSetProgramLevel, 0, 0), 1);
    EXPECT_EQ(test_state_flag(kFlagLensFileNamed), 0);
    // The surface-data clipboard format is registered once for the run, by name.
    EXPECT_GE(surface_clipboard_format(), 0xC000);
    EXPECT_EQ(platform::register_clipboard_format("tavo surface data"), surface_clipboard_format());
    EXPECT_NE(platform::register_clipboard_format("Other Data"), surface_clipboard_format());
}

TEST(Startup, CapacityChangedDuringTheRunIsWrittenOnlyAtExit) {
    tavo_test::StartedRuntime run;
    ASSERT_EQ(run.start(), 0);
    set_startup_done(true);
    EXPECT_EQ(set_setting_int(kSetMaxWavelengths, 20, 0, 0), 0);
    EXPECT_EQ(get_setting_int(kSetMaxWavelengths, 0, 0), 10);
    EXPECT_EQ(set_setting_int(kSetSurfaceLimit, 40, 0, 0), 0);
    EXPECT_EQ(get_setting_int(kSetSurfaceLimit, 0, 0), 12);
    ASSERT_EQ(run.backend->message_boxes_shown().size(), 2u);
    EXPECT_EQ(run.backend->message_boxes_shown()[0].text, msg_text(kMsgTakesEffectNextStart));
    EXPECT_FALSE(fs::exists(run.ini_path()));

    ASSERT_EQ(exit_hook(), 0);
    EXPECT_FALSE(startup_done());
    const std::string text = tavo_test::read_file(run.ini_path());
    EXPECT_NE(text.find("Max_wavelengths=20\n"), std::string::npos);
    EXPECT_EQ(get_setting_int(kSetSurfaceLimit, 0, 0), 12);
}

TEST(Startup, LensFileOfAnEmptyLensIsClearedAtExit) {
    tavo_test::StartedRuntime run;
    run.tree.write_file("data/tavo.ini", "[Program]\nLens_file=/lenses/triplet.len\n");
    ASSERT_EQ(run.start(), 0);
    EXPECT_STREQ(get_setting_text(kSetLensFile, 0), "/lenses/triplet.len");
    ASSERT_EQ(exit_hook(), 0);
    EXPECT_NE(tavo_test::read_file(run.ini_path()).find("Lens_file=\n"), std::string::npos);
}

TEST(Startup, SpotStoreAndDrawingBuffersExistAfterAStart) {
    tavo_test::StartedRuntime run;
    run.tree.write_file("data/tavo.ini", "[Program]\nMax_spd_rays=0\n");
    ASSERT_EQ(run.start(), 0);
    // A count below 1 becomes the default before the store is made.
    EXPECT_EQ(get_setting_int(kSetMaxSpdRays, 0, 0), 10000);
    EXPECT_EQ(spot_store().capacity, 10000);
    EXPECT_EQ(spot_store().wavelength_capacity, 10);
    EXPECT_DOUBLE_EQ(spot_store().sine_table[90], 1.0);
    EXPECT_DOUBLE_EQ(spot_store().sine_table[30], 0.5);
}

TEST(Startup, ImpossibleSpotStoreAtStartHalvesTheCountInTheFile) {
    tavo_test::StartedRuntime run;
    // 2^30 rays of more than 100 bytes are beyond any block the program may take.
    run.tree.write_file("data/tavo.ini", "[Program]\nMax_spd_rays=1073741824\n");
    EXPECT_EQ(run.start(), -296);
    EXPECT_NE(tavo_test::read_file(run.ini_path()).find("Max_spd_rays=536870912\n"),
              std::string::npos);
}

TEST(StartupFailure, FixedTextsByCode) {
    EXPECT_EQ(startup_failure_text(kMsgNoMessageFile),
              "Can't open message file.\nPlease contact Velmorin Optics.");
    EXPECT_EQ(startup_failure_text(kMsgNoEnvironment),
              "Can't find environment definitions.\nPlease contact Velmorin Optics.");
    EXPECT_EQ(startup_failure_text(kMsgFileCannotOpen),
              "Initialization error -7.\nPlease contact Velmorin Optics.");
}

TEST(StartupFailure, WithoutTheDataFolderVariableTheRuntimeDoesNotStart) {
    tavo_test::StartedRuntime run;
    ::unsetenv("TVDATA");
    EXPECT_EQ(runtime_init(0), kMsgNoEnvironment);
}

TEST(StartupFailure, AMessageTableCutShortShowsTheFixedTextOnceAndFails) {
    tavo_test::StartedRuntime run;
    // The index survives, the texts behind it do not.
    fs::resize_file(run.tree.root() / "bin/amo/tvrtmsgs.amo", 2000);
    char name[] = "tavolt";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(start_program(1, argv, run.tree.root().string()), 0);
    ASSERT_EQ(run.backend->message_boxes_shown().size(), 1u);
    EXPECT_EQ(run.backend->message_boxes_shown()[0].text,
              "Can't open message file.\nPlease contact Velmorin Optics.");
}

TEST(StartupFailure, ADamagedTableAfterTheMessagesIsNamedOnceAndFails) {
    // With the messages readable the reader names the table; nothing about the message file
    // may follow.
    for (const char* table : {"tvrtdefs.amo", "tvalists.amo"}) {
        tavo_test::StartedRuntime run;
        const fs::path damaged = run.tree.root() / "bin/amo" / table;
        fs::resize_file(damaged, 100);
        char name[] = "tavolt";
        char* argv[] = {name, nullptr};
        EXPECT_EQ(start_program(1, argv, run.tree.root().string()), 0) << table;
        const std::string errors = run.errors.str();
        EXPECT_NE(errors.find("The file " + damaged.string() + " is too short or damaged"),
                  std::string::npos)
            << errors;
        EXPECT_EQ(errors.find("message file"), std::string::npos) << errors;
        EXPECT_EQ(run.backend->message_boxes_shown().size(), 1u) << errors;
    }
}

TEST(StartupFailure, MissingMessageTableShowsTheFixedTextAndFails) {
    tavo_test::StartedRuntime run(false);
    char name[] = "tavolt";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(start_program(1, argv, run.tree.root().string()), 0);
    const std::string errors = run.errors.str();
    EXPECT_NE(errors.find("Can't open message file.\nPlease contact Velmorin Optics."),
              std::string::npos)
        << errors;
    EXPECT_FALSE(fs::exists(run.tree.root() / "private/tavo.ini"));
}

TEST(StartupRun, ConsoleRunEndsAtEndOfInputAfterTheExitHook) {
    tavo_test::StartedRuntime run;
    run.input.str("a line nobody takes yet\n");
    char name[] = "tavolt";
    char* argv[] = {name, nullptr};
    run.tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + run.tree.data().string() + "\n");
    EXPECT_EQ(start_program(1, argv, run.tree.root().string()), 1);
    EXPECT_EQ(run.output.str(), "TAVO LT 5.40\n");
    EXPECT_EQ(main_window_caption(), msg_text(kMsgMainCaption));
    EXPECT_TRUE(fs::exists(run.ini_path()));
}

TEST(StartupRun, BuiltProgramStartsAndWritesItsSettingsAtEndOfInput) {
    tavo_test::TempTree tree;
    tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
    const fs::path output = tree.base() / "out.txt";
    const std::string command =
        "echo | TAVO_UI=console '" TAVO_INSTALL_DIR "/tavolt' > '" + output.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(tavo_test::read_file(output), "TAVO LT 5.40\n");
    const std::string ini = tavo_test::read_file(tree.data() / "tavo.ini");
    EXPECT_NE(ini.find("Private_directory=" + tree.data().string() + "\n"), std::string::npos);
}

}  // namespace
