// Lines of lens data (a lens file, a lens text from the clipboard) cannot open or remove files,
// start programs, load libraries, run scripts or end the program: refused as a line read under a
// LensDataScope, and refused by the handlers themselves when another handler calls them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/lens_data_guard.h"
#include "runtime/menu_store.h"
#include "runtime/table_files.h"
#include "runtime/user_libraries.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

namespace fs = std::filesystem;
using loop_test::Loop;

class LensDataRefusals : public Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        const fs::path base = data_folder();
        made_ = (base / "made.txt").string();
        touched_ = (base / "touched.txt").string();
        kept_ = (base / "kept.txt").string();
        const fs::path data_bin = fs::path(data_folder()) / "bin";
        fs::create_directories(data_bin);
        // Its InitLibrary sets a to 42 when it loads.
        fs::copy_file(fs::path(TAVO_TEST_OUTPUT_DIR) / "tavo_userlib.so", data_bin / "both.so");
        const fs::path scp = fs::path(data_folder()) / "scp";
        fs::create_directories(scp);
        std::ofstream(scp / "lens.scp") << "*setup\nb = 1\n";
        std::ofstream(kept_) << "kept\n";
    }
    void TearDown() override {
        unload_user_libraries();
        Loop::TearDown();
    }
    std::string value(const std::string& line) {
        type(line);
        return ui().status_text();
    }
    // Nothing that any of the commands would have done has happened.
    void expect_nothing_done(const std::string& what) {
        EXPECT_FALSE(fs::exists(made_)) << what;
        EXPECT_FALSE(fs::exists(touched_)) << what;
        EXPECT_TRUE(fs::exists(kept_)) << what;
        EXPECT_EQ(value("a"), "Value: 0.0") << what;  // no library loaded
        EXPECT_EQ(value("b"), "Value: 0.0") << what;  // no script ran
        EXPECT_FALSE(ui().frame_closed()) << what;
    }

    std::string made_, touched_, kept_;
};

TEST_F(LensDataRefusals, NoFileProgramLibraryScriptOrEndFromLensData) {
    type("a = 0");
    type("b = 0");
    const std::vector<std::string> lines = {
        "fopen \"" + made_ + "\" w",
        "fremove \"" + kept_ + "\"",
        "run_program \"/usr/bin/touch " + touched_ + "\" 5",
        "dll_load both",
        "script \"setup:lens\"",
        "quit",
        "double z[2]; dll_load both",
    };
    for (const std::string& line : lines) {
        int result = 0;
        {
            const LensDataScope scope;
            result = run_command_string(line.c_str(), 0);
        }
        EXPECT_NE(result, 0) << line;
        expect_nothing_done(line);
    }
}

TEST_F(LensDataRefusals, TheHandlersRefuseWhenAnotherHandlerCallsThem) {
    type("a = 0");
    type("b = 0");
    std::string made = made_, w = "w", kept = kept_, touch = "/usr/bin/touch " + touched_,
                both = "both", setup = "setup:lens";
    struct Case {
        const char* name;
        std::vector<ArgCell> cells;
    };
    const std::vector<Case> cases = {
        {"fopen", {text_cell(made.data()), text_cell(w.data())}},
        {"fremove", {text_cell(kept.data())}},
        {"run_program", {text_cell(touch.data()), int_cell(5)}},
        {"dll_load", {text_cell(both.data())}},
        {"script", {text_cell(setup.data())}},
        {"quit", {}},
    };
    for (const Case& c : cases) {
        const int command = lookup_symbol(c.name);
        ASSERT_GE(command, 0) << c.name;
        int result = 0;
        {
            const LensDataScope scope;
            result =
                call_command_handler(command, c.cells.data(), static_cast<int>(c.cells.size()));
        }
        EXPECT_EQ(result, kMsgNotWhileReadingLensData) << c.name;
        expect_nothing_done(c.name);
    }
}

}  // namespace
