// The special-data sheets in the console program: the special-data command asks which sheet,
// the surface-note sheet opens with the current cell on the note, and a typed line is the note.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/tavolt_run.h"
#include "tests/support/temp_tree.h"

namespace {

std::string run_special_console(const std::string& lines) {
    tavo_test::TempTree tree;
    tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
    std::filesystem::create_directories(tree.data() / "len");
    return tavo_test::run_tavolt(tree, lines).shown;
}

TEST(SpecialSheetConsole, ATypedNoteIsTheSurfaceNote) {
    // The choice list's first entry is the surface note (value 1).
    const std::string shown = run_special_console(
        "new_lens t 0 2\nexit_levels\ngto 1\nspecialspr\n1\nFRONT ELEMENT\nexit_levels\n"
        "list_radii\n");
    const std::size_t listing = shown.rfind("FRONT ELEMENT");
    ASSERT_NE(listing, std::string::npos) << shown;
    // The listing's row of surface 1 (the stop of the new lens) ends with the note.
    const std::size_t row = shown.rfind("\n", listing);
    EXPECT_EQ(shown.substr(row + 1, 5), " AST ") << shown;
    EXPECT_EQ(shown.find("Error"), std::string::npos) << shown;
}

TEST(SpecialSheetConsole, ASheetOpenedAloneLeavesTheLensEntryEchoOnAfterIt) {
    // The sheets edit in update mode, which quiets the lens-entry echo; opened from the command
    // line they must not leave it on, or every surface typed after them goes unconfirmed.
    for (const char* opener : {"open_aux_sheet 7", "open_aux_sheet 6", "wavelength_sheet"}) {
        SCOPED_TRACE(opener);
        const std::string shown = run_special_console(
            std::string("LEN NEW \"a\"\nNXT\nSRF 50 5 N-BK7 10\nEND\n") + opener +
            "\nexit_levels\nLEN NEW \"b\"\nNXT\nSRF 50 6.5 N-BK7 10\nEND\n");
        EXPECT_NE(shown.find("TH      5.000000"), std::string::npos) << shown;
        EXPECT_NE(shown.find("TH      6.500000"), std::string::npos) << shown;
    }
}

}  // namespace
