// A copy of the built installation tree in a temporary ROOT/DATA pair, on which the built
// program runs as a console program, as a user would start it.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/temp_tree.h"

namespace tavo_test {

namespace fs = std::filesystem;

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

}  // namespace tavo_test
