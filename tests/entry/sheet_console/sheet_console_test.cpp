// The surface spreadsheet in the console program: a new lens opens the sheet with the current
// cell on the beam radius, a typed number is that cell's value, a typed command runs at the
// surface of the cell's row, and the way the sheet is left decides whether the edits stay.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/tavolt_run.h"
#include "tests/support/temp_tree.h"

namespace {

std::string run_console(const std::string& lines) {
    tavo_test::TempTree tree;
    tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
    std::filesystem::create_directories(tree.data() / "len");
    return tavo_test::run_tavolt(tree, lines).shown;
}

// The values the lines after the sheet print, in order ("Value: ..." lines).
std::string values_after(const std::string& shown, const std::string& mark) {
    const std::size_t at = shown.find(mark);
    if (at == std::string::npos) return {};
    std::string out;
    for (std::size_t p = shown.find("Value: ", at); p != std::string::npos;
         p = shown.find("Value: ", p + 1)) {
        const std::size_t end = shown.find('\n', p);
        out += shown.substr(p + 7, end - p - 7) + ";";
    }
    return out;
}

TEST(SheetConsole, TypedLinesEditTheNewLensAndTheWayOutDecidesWhetherTheyStay) {
    struct Case {
        const char* leave;
        const char* values;  // beam radius, object distance, thickness of surface 1
    } cases[] = {
        {"exit_levels", "2.0;50.0;0.0;"},
        // Left as cancelled, the question answered OK: the new lens as the sheet found it
        // (object at infinity).
        {"exit_levels 1\nok", "1.0;1.0e+20;0.0;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.leave);
        const std::string shown = run_console(std::string("new_lens t 0 2\n2\nTH 50\n") + c.leave +
                                              "\n0 + ebr\nth[0]\nth[1]\n");
        // The new lens looks at infinity: its first sheet shows the beam radius and field.
        const std::size_t first = shown.find("Beam radius (mm)      1.000000");
        ASSERT_NE(first, std::string::npos) << shown;
        // The typed number went to the beam-radius cell, and the sheet was written again.
        const std::size_t edited = shown.find("Beam radius (mm)      2.000000", first);
        ASSERT_NE(edited, std::string::npos) << shown;
        // TH ran at the object surface: the object now stands at 50, and the sheet shows its NA
        // (beam radius 2 at 50: sin(atan(2 / 50)) = 0.039968).
        const std::size_t finite = shown.find("Object NA     0.039968", edited);
        EXPECT_NE(finite, std::string::npos) << shown;
        EXPECT_NE(shown.find(" OBJ |   0.000000    |  50.000000", edited), std::string::npos)
            << shown;
        EXPECT_NE(shown.find("The surface spreadsheet is closed"), std::string::npos);
        EXPECT_EQ(values_after(shown, "The surface spreadsheet is closed"), c.values) << shown;
        EXPECT_EQ(shown.find("Error"), std::string::npos) << shown;
    }
}

}  // namespace
