// User libraries through typed lines: test libraries copied into the temporary DATA/bin and
// ROOT/bin, loaded by name, their functions called with the command's cells.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "runtime/lens_data_guard.h"
#include "runtime/table_files.h"
#include "runtime/user_libraries.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

namespace fs = std::filesystem;
using loop_test::Loop;

class UserLibraries : public Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        const fs::path built = TAVO_TEST_OUTPUT_DIR;
        const fs::path data_bin = fs::path(data_folder()) / "bin";
        const fs::path root_bin = fs::path(root_folder()) / "bin";
        fs::create_directories(data_bin);
        fs::create_directories(root_bin);
        // The same name in both folders: the data folder's library (with InitLibrary) must win
        // over the installation's (without it).
        fs::copy_file(built / "tavo_userlib.so", data_bin / "both.so");
        fs::copy_file(built / "tavo_userlib_noinit.so", root_bin / "both.so");
        fs::copy_file(built / "tavo_userlib.so", root_bin / "public_only.so");
        fs::copy_file(built / "tavo_userlib_noinit.so", data_bin / "noinit.so");
    }
    void TearDown() override {
        unload_user_libraries();
        set_lens_data_query(nullptr);
        Loop::TearDown();
    }
    std::string value(const std::string& line) {
        type(line);
        return ui().status_text();
    }
    std::string last_box() {
        return ui().message_boxes_shown().empty() ? "" : ui().message_boxes_shown().back().text;
    }
};

TEST_F(UserLibraries, LoadedFromTheDataFolderFirstAndCalledWithTheCellsAfterTheId) {
    type("a = 0");
    type("h = dll_load(\"both\")");
    EXPECT_NE(value("h"), "Value: 0.0");
    EXPECT_EQ(value("a"), "Value: 42.0");  // InitLibrary ran its line
    type("f = dll_function(h, \"report_cells\")");
    EXPECT_NE(value("f"), "Value: 0.0");
    EXPECT_EQ(value("dll_function(h, \"no_such_function\")"), "Value: 0");

    type("dll_call(f, 1, 2.5, \"xyz\")");
    EXPECT_EQ(value("n"), "Value: 3.0") << last_box();
    EXPECT_EQ(value("x"), "Value: 3.5");
    EXPECT_EQ(value("t"), "Value: 3.0");
    type("dll_call(f)");
    EXPECT_EQ(value("n"), "Value: 0.0");

    // Unloading retires the ids: the call is refused instead of jumping into unloaded code.
    type("dll_free(h)");
    ASSERT_TRUE(ui().message_boxes_shown().empty()) << last_box();
    type("dll_call(f, 1)");
    EXPECT_NE(last_box().find("No function of a loaded library"), std::string::npos) << last_box();
}

TEST_F(UserLibraries, OnlyLibrariesWithInitLibraryAndOnlyByBareName) {
    struct Case {
        const char* name;
        bool loads;
    } cases[] = {
        {"public_only", true},  // from ROOT/bin
        {"noinit", false},      {"missing", false}, {"../bin/both", false},
        {"bin\\\\both", false}, {"", false},
    };
    for (const Case& c : cases) {
        const std::string shown = value(std::string("dll_load(\"") + c.name + "\")");
        EXPECT_EQ(shown != "Value: 0", c.loads) << c.name << ": " << shown;
    }
}

TEST_F(UserLibraries, NothingIsLoadedWhileLensDataIsRead) {
    set_lens_data_query([] { return true; });
    type("a = 0; dll_load(\"both\")");
    EXPECT_NE(last_box().find("while lens data is read"), std::string::npos) << last_box();
    set_lens_data_query(nullptr);
    EXPECT_EQ(value("a"), "Value: 0.0");
}

}  // namespace
