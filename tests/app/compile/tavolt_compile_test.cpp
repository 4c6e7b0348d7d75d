// The built program on a copy of the installation tree, run as a console program: the compile
// command starts the message compiler installed beside it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/message_table.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

struct Installation {
    Installation() {
        // Folders and files only: a socket a graphical run leaves in the data folder cannot be
        // copied and is no part of the installation.
        const fs::path from = TAVO_INSTALL_DIR;
        fs::create_directories(root);
        for (const fs::directory_entry& e : fs::recursive_directory_iterator(from)) {
            const fs::path to = root / fs::relative(e.path(), from);
            if (e.is_directory()) {
                fs::create_directories(to);
            } else if (e.is_regular_file()) {
                fs::copy_file(e.path(), to, fs::copy_options::overwrite_existing);
            }
        }
        // The run reads and writes its user data in the temporary tree.
        tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
    }
    // Runs the program on the lines; its standard output and error together.
    std::string run(const std::string& lines) {
        const fs::path input = tree.write_file("in.txt", lines);
        const fs::path output = tree.base() / "out.txt";
        const std::string command = "TAVO_UI=console '" + (root / "tavolt").string() + "' < '" +
                                    input.string() + "' > '" + output.string() + "' 2>&1";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        return tavo_test::read_file(output);
    }
    void write_source(const std::string& text) {
        std::ofstream(root / "public/kpl/a_string1.kpl", std::ios::binary) << text;
    }

    tavo_test::TempTree tree;
    fs::path root = tree.base() / "install";
};

TEST(TavoltCompile, ACompiledStringLandsInThePublicTable) {
    Installation install;
    install.write_source("5: info, \"hello from a string source\";\n");
    const std::string seen = install.run("compile 0 101\n");
    EXPECT_THAT(seen, HasSubstr("Compile complete")) << seen;
    const std::string raw = tavo_test::read_file(install.root / "bin/amo/tvusmsgs.amo");
    const std::vector<std::uint8_t> bytes(raw.begin(), raw.end());
    std::vector<MessageEntry> entries;
    ASSERT_EQ(parse_message_table(bytes, entries), 0);
    ASSERT_GT(entries.size(), 4005u);
    EXPECT_EQ(raw.substr(entries[4005].offset, entries[4005].length), "hello from a string source");
    // The private pass found no private sources: no private user table hides the public one.
    EXPECT_FALSE(fs::exists(install.tree.data() / "bin/amo/tvusmsgs.amo"));
}

TEST(TavoltCompile, TheCompilersDiagnosticsAreListedInTheTextOutput) {
    Installation install;
    install.write_source("501: info, \"x\";\n");
    const std::string seen = install.run("compile 0 101\n");
    EXPECT_THAT(seen, HasSubstr(" a_string1.kpl 1: String number outside 1..500\n")) << seen;
    EXPECT_FALSE(fs::exists(install.root / "bin/amo/vdm_errs"));
}

}  // namespace
