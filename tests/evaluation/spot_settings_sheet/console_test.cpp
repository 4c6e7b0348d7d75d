// The settings sheet in the console program: opened by its command, edited by typed lines (the
// console has no cells), left by the command that leaves levels; the spot diagram is then
// traced with the new settings.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/tavolt_run.h"
#include "tests/support/temp_tree.h"

namespace {

std::string run_console(const std::string& lines) {
    tavo_test::TempTree tree;
    tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
    return tavo_test::run_tavolt(tree, lines).shown;
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

TEST(SpotSheetConsole, EditedSettingsAreTracedOnLeaving) {
    const std::string shown = run_console(
        "LEN NEW \"Paraboloid\"\nEBR 10\nANG 0\nNXT\nRD -200\nTH -100\nRFL\nCC -1\nNXT\nEND\n"
        "trr 0 0 0 0 0\nspot_settings\nSDAD = 24\nexit_levels\n");
    const std::size_t sheet = shown.find("Aperture divisions");
    ASSERT_NE(sheet, std::string::npos) << shown;
    EXPECT_NE(shown.find("Choose a setting or type a value into its cell"), std::string::npos);
    // The sheet of a new lens, then the sheet again after the typed line, then the report.
    EXPECT_NE(shown.find("Aperture divisions            17.030000", sheet), std::string::npos);
    const std::size_t edited = shown.find("Aperture divisions            24.000000", sheet);
    ASSERT_NE(edited, std::string::npos) << shown;
    const std::size_t report = shown.find("SPOT DIAGRAM CHR", edited);
    ASSERT_NE(report, std::string::npos) << shown;
    EXPECT_NE(shown.find("APERTURE DIVISIONS   24.000000", report), std::string::npos) << shown;
    // Each row once per display; the leaving line draws nothing more.
    EXPECT_EQ(count(shown.substr(edited), "Aperture divisions"), 1u) << shown;
    EXPECT_EQ(shown.find("Error"), std::string::npos) << shown;
}

}  // namespace
