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
#include "tests/app/compile/installation.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

using tavo_test::Installation;

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
