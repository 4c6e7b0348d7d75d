#include "tests/support/tavolt_run.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

namespace tavo_test {

TavoltRun run_tavolt(const TempTree& tree, const std::string& lines) {
    const auto input = tree.write_file("lines.txt", lines);
    const std::filesystem::path output = tree.base() / "out.txt";
    const std::string command = "TAVO_UI=console '" TAVO_INSTALL_DIR "/tavolt' < '" +
                                input.string() + "' > '" + output.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status));
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(output)};
}

}  // namespace tavo_test
