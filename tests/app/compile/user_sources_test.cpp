// The built program compiling a user's own procedure and list sources in its data folder with the
// compilers installed beside it, and running what they made in the same run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/app/compile/installation.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

using tavo_test::Installation;

// A lens of two surfaces after the object: thicknesses 5 (surface 1) and 40 (surface 2).
const char* const kLens = "LEN NEW\nNXT\nSRF 50 5 N-SK16 10\nSRF -50 40 AIR 10\nEND\n";

const char* const kFirst =
    "procedure old_one\n"
    "  body \"printf \\\"old one\\\\n\\\"\"\n";

// Line 3 names nothing the program knows.
const char* const kBroken =
    "procedure thick_sum kind=2\n"
    "  param a int\n"
    "  body \"return th[a] + nosuch[a];\"\n";

const char* const kFixed =
    "procedure thick_sum kind=2\n"
    "  param a int\n"
    "  body \"return th[a] + th[a + 1];\"\n"
    "procedure show_sum\n"
    "  param s int\n"
    "  body \"printf \\\"sum %.4f\\\\n\\\", thick_sum(s)\"\n";

fs::path write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

TEST(UserSources, AFaultyProcedureSourceLeavesThePreviousTablesAndAFixedOneRunsAtOnce) {
    Installation install;
    const fs::path mine = install.tree.data() / "kpl/mine.kpl";
    write(mine, kFirst);
    const fs::path broken = write(install.tree.base() / "broken.kpl", kBroken);
    const fs::path fixed = write(install.tree.base() / "fixed.kpl", kFixed);
    const std::string seen = install.run(
        std::string(kLens) + "compile 1 100\nold_one\n" + "run_program \"/bin/cp " +
        broken.string() + " " + mine.string() + "\" -1\n" + "compile 1 100\nold_one\nshow_sum 1\n" +
        "run_program \"/bin/cp " + fixed.string() + " " + mine.string() + "\" -1\n" +
        "compile 1 100\nshow_sum 1\n");
    // The first compile, then the faulty one: its listing names the file and line 3, and the
    // procedure compiled before still runs.
    const std::size_t first = seen.find("Compile complete");
    ASSERT_NE(first, std::string::npos) << seen;
    const std::size_t listing = seen.find("Compiler diagnostics:", first);
    ASSERT_NE(listing, std::string::npos) << seen;
    EXPECT_NE(seen.find("mine.kpl(3): Unknown name nosuch", listing), std::string::npos) << seen;
    const std::size_t old_after = seen.find("old one", listing);
    EXPECT_NE(old_after, std::string::npos) << seen;
    // The fixed source compiles and its procedure runs on the lens typed at the start: the
    // thicknesses of surfaces 1 and 2, 5 + 40.
    const std::size_t second = seen.find("Compile complete", listing);
    ASSERT_NE(second, std::string::npos) << seen;
    EXPECT_NE(seen.find("sum 45.0000", second), std::string::npos) << seen;
    EXPECT_EQ(seen.find("sum 45.0000"), seen.find("sum 45.0000", second)) << seen;
    EXPECT_FALSE(fs::exists(install.tree.data() / "bin/amo/kpl_errs"));
}

TEST(UserSources, AListOfTheUsersOwnServesAProcedureParameter) {
    Installation install;
    const std::string shipped = tavo_test::read_file(install.root / "bin/amo/tvalists.amo");
    write(install.tree.data() / "kpl/a_list1.kpl",
          "list 301 my_colours\n  item \"green\" \"2\"\n  item \"blue\" \"3\"\nend\n");
    write(install.tree.data() / "kpl/mine.kpl",
          "procedure pick\n  param c int list=list:301\n"
          "  body \"printf \\\"picked %d\\\\n\\\", c\"\n");
    const std::string seen = install.run("compile 1 113\npick blue\npick green\n");
    EXPECT_THAT(seen, HasSubstr("Compile complete")) << seen;
    EXPECT_THAT(seen, HasSubstr("picked 3\npicked 2\n")) << seen;
    EXPECT_EQ(tavo_test::read_file(install.root / "bin/amo/tvalists.amo"), shipped);
    EXPECT_THAT(seen, Not(HasSubstr("Error"))) << seen;
}

}  // namespace
