// The sheet's command, typed command lines, the cell texts of a selection, the row operations
// and the marks, run through the level as the grid runs them.
#include <string>
#include <vector>

#include "lens/surface_groups.h"
#include "runtime/command_context.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "tests/entry/surface_sheet/sheet_fixture.h"

namespace sheet_test {
namespace {

TEST_F(Sheet, ModeOneMakesANewLensWithTheGivenSurfacesAndACutTitle) {
    type("surface_sheet 1 1 3 \"A title that is far longer than thirty-two characters\"");
    for (int k = 0; k < 3 && surface_sheet_state().open == 0; ++k) main_loop_pass(false);
    ASSERT_EQ(level_count(), 1) << errors();
    EXPECT_EQ(lens_data().image_surface, 4);
    EXPECT_STREQ(lens_data().title, "A title that is far longer than ");
    EXPECT_STREQ(lens_data().title_copy, lens_data().title);
    EXPECT_NE(test_state_flag(kFlagLensExists), 0);
    EXPECT_NE(test_state_flag(kFlagSpreadsheetOpen), 0);
    // A new lens looks at infinity: the sheet starts on the beam-radius cell.
    EXPECT_EQ(grid_entry_field(grid_state().current.field_code), 424);
    // Four header rows and the rows of surfaces 0 to 4.
    EXPECT_EQ(lines().size(), 9u);
    EXPECT_EQ(lines()[0].substr(0, 32), "A title that is far longer than ");
}

TEST_F(Sheet, ModeOneTakesAOneCharacterTitle) {
    type("surface_sheet 1 0 2 \"x\"");
    for (int k = 0; k < 3 && surface_sheet_state().open == 0; ++k) main_loop_pass(false);
    ASSERT_EQ(level_count(), 1) << errors();
    EXPECT_STREQ(lens_data().title, "x");
    EXPECT_EQ(lens_data().image_surface, 3);
    EXPECT_EQ(lines()[3].find("CURVATURE"), 9u);  // radius-mode switch 0: curvatures
}

TEST_F(Sheet, ModeOneRefusesAnImageSurfaceBeyondTheArray) {
    small_lens("TH 100");
    const int limit = surface_limit();
    EXPECT_EQ(run_command_string(("surface_sheet 1 1 " + std::to_string(limit)).c_str(), 0),
              kErrorTextReady);
    EXPECT_NE(std::string(error_text_buffer()).find(std::to_string(limit)), std::string::npos);
    EXPECT_EQ(lens_data().image_surface, 3);  // the lens stays
    EXPECT_FALSE(level_push_pending());
}

TEST_F(Sheet, ATypedLineRunsAtTheEventsSurfaceAndTheSheetFollows) {
    small_lens("TH 100");
    open_sheet();
    char line[] = "TH 12";
    ASSERT_EQ(event(6, 3, 2, 0, 0, 2, line), 0) << error_text_buffer();
    EXPECT_EQ(surface(2).thickness, 12.0);
    EXPECT_EQ(surface(1).thickness, 5.0);
    EXPECT_NE(lines()[6].find("  12.000000"), std::string::npos) << lines()[6];
    // The sheet's context stays pushed afterwards.
    EXPECT_NE(test_state_flag(kFlagSingleCommandUpdate), 0);
    char bad[] = "no_such_command";
    EXPECT_NE(event(6, 3, 1, 0, 0, 1, bad), 0);
}

std::vector<int> codes_of(const std::vector<Cell>& cells) {
    std::vector<int> out;
    for (const Cell& c : cells) out.push_back(c.code);
    return out;
}

struct Selected {
    int field;
    int index;
    const char* text;
};

TEST_F(Sheet, SelectingACellPutsItsValueOnTheCommandLine) {
    small_lens("TH 100");
    open_sheet();
    const Selected cases[] = {
        {1, 1, "50.0"},       {10, 2, "-0.02"},         {3, 2, "45.0"},      {5, 1, "10.0"},
        {7, 1, "N-BK7     "}, {432, 0, "Doublet test"}, {435, 0, "0.58756"},
    };
    for (const Selected& c : cases) {
        char text[256] = "unchanged";
        ASSERT_EQ(event(3, c.field, c.index, 0, 0, c.index, text), 0);
        EXPECT_STREQ(text, c.text) << c.field;
    }
    // Button cells show the command of the present state; a plain state leaves the text.
    struct Option {
        const char* what;
        int field;
        void (*state)(SurfaceRecord&);
        const char* text;
    };
    const Option options[] = {
        {"plain curvature", 2, [](SurfaceRecord&) {}, "unchanged"},
        {"curvature pickup", 2,
         [](SurfaceRecord& r) {
             r.curvature_kind = 1;
             r.curvature_source = 1;
         },
         "pk cv 1"},
        {"curvature pickup with offset", 2, [](SurfaceRecord& r) { r.curvature_solve_value = 0.5; },
         "pk cv 1  0.5"},
        {"marginal solve", 2, [](SurfaceRecord& r) { r.curvature_kind = 3; }, "pu  0.5"},
        {"aplanatic", 2, [](SurfaceRecord& r) { r.curvature_kind = 11; }, "alc"},
        {"edge thickness", 4,
         [](SurfaceRecord& r) {
             r.thickness_kind = 9;
             r.thickness_solve_value = 1.5;
             r.thickness_solve_value2 = 8.0;
         },
         "et  1.5 8.0"},
        {"range pickup", 4,
         [](SurfaceRecord& r) {
             r.thickness_kind = 4;
             r.thickness_source = 1;
             r.thickness_source2 = 0;
             r.thickness_solve_value = 0;
         },
         "pk lnm 1 0"},
        {"aperture pickup", 6,
         [](SurfaceRecord& r) {
             r.aperture_kind = 2;
             r.aperture_source = 1;
         },
         "pk  ap  1"},
        {"glass pickup", 8,
         [](SurfaceRecord& r) {
             r.medium_kind = 5;
             r.medium_source = 1;
         },
         "pk gla 1"},
    };
    for (const Option& o : options) {
        o.state(surface(2));
        char option_text[256] = "unchanged";
        ASSERT_EQ(event(3, o.field, 2, 0, 0, 2, option_text), 0);
        EXPECT_STREQ(option_text, o.text) << o.what;
    }

    // The selection is remembered; the wavelength cell leaves the surface and clears it.
    char text[256] = {};
    ASSERT_EQ(event(3, 3, 1, 0, 0, 2, text), 0);
    EXPECT_EQ(surface_sheet_state().first, 1);
    EXPECT_EQ(surface_sheet_state().last, 2);
    EXPECT_EQ(lens_data().current_surface, 1);
    // An upward selection is the same rows.
    ASSERT_EQ(event(3, 3, 2, 0, 0, 1, text, -2), 0);
    EXPECT_EQ(surface_sheet_state().first, 1);
    EXPECT_EQ(surface_sheet_state().last, 2);
    ASSERT_EQ(event(3, 435, 0, 0, 0, 0, text), 0);
    EXPECT_EQ(surface_sheet_state().first, 0);
    EXPECT_EQ(surface_sheet_state().last, 0);
}

TEST_F(Sheet, InsertReverseNegateAndGroupingChangeTheRows) {
    set_setting_flag(kSetSurfaceLabels, 0);
    small_lens("TH 100");
    open_sheet();
    // Insert before the first selected surface, or after the last with argument 1.
    ASSERT_EQ(event(1, 0, 1, 0, 0, 1), 0) << error_text_buffer();
    EXPECT_EQ(lens_data().image_surface, 4);
    EXPECT_EQ(surface(1).curvature, 0.0);
    EXPECT_EQ(surface(2).curvature, 0.02);
    EXPECT_EQ(event(1, 0, 0, 0, 0, 0), kErrorTextReady);  // nothing goes before the object
    ASSERT_EQ(event(2, 0, 1, 0, 0, 1), 0) << error_text_buffer();
    EXPECT_EQ(lens_data().image_surface, 3);
    EXPECT_EQ(lines().size(), 8u);

    // Reversing 1..2 turns the lens round: radii change sign and swap.
    ASSERT_EQ(event(12, 0, 1, 0, 0, 2), 0) << error_text_buffer();
    EXPECT_DOUBLE_EQ(surface(1).curvature, 0.02);
    EXPECT_DOUBLE_EQ(surface(2).curvature, -0.02);
    EXPECT_EQ(event(12, 0, 0, 0, 0, 2), kErrorTextReady);
    ASSERT_EQ(event(16, 0, 1, 0, 0, 1), 0);
    EXPECT_DOUBLE_EQ(surface(1).curvature, -0.02);

    // Make an element of 1..2 and dissolve it again.
    ASSERT_EQ(event(20, 0, 1, 0, 0, 2), 0) << error_text_buffer();
    EXPECT_EQ(surface(1).group_role, kRoleFirst);
    EXPECT_EQ(event(20, 0, 1, 0, 0, 1), kMsgGroupSingleSurface);
    EXPECT_EQ(event(21, 0, 2, 0, 0, 2), kErrorTextReady);  // no group starts at 2
    ASSERT_EQ(event(21, 0, 1, 0, 0, 1), 0);
    EXPECT_EQ(surface(1).group_role, 0);
}

TEST_F(Sheet, HeaderSwitchesAndMarks) {
    set_setting_flag(kSetSurfaceLabels, 1);
    small_lens("TH 100");
    open_sheet();
    // Drawing on and off move the callback word one away from and back towards zero.
    ASSERT_EQ(event(kLevelEventActivate, 61, 0), 0);
    EXPECT_EQ(lens_data().cbk, 1);
    EXPECT_EQ(cells(0)[4].code, 0x203E);
    EXPECT_EQ(cells(0)[5].code, 0x303D);
    ASSERT_EQ(event(kLevelEventActivate, 61, 0), 0);
    EXPECT_EQ(lens_data().cbk, 1);
    ASSERT_EQ(event(kLevelEventActivate, 62, 0), 0);
    EXPECT_EQ(lens_data().cbk, 0);

    // Special-data marks: at most four, in their order, centred in their field.
    char conic[] = "CC -1";
    ASSERT_EQ(event(6, 0, 1, 0, 0, 1, conic), 0) << error_text_buffer();
    EXPECT_EQ(lines()[5].substr(70), "     A") << lines()[5];
    char note[] = "NOT \"front\"";
    ASSERT_EQ(event(6, 0, 1, 0, 0, 1, note), 0) << error_text_buffer();
    char grating[] = "GSP 0.001";
    ASSERT_EQ(event(6, 0, 1, 0, 0, 1, grating), 0) << error_text_buffer();
    surface(1).fresnel = 1;
    ASSERT_EQ(event(kLevelEventActivate, 12, 1), 0) << error_text_buffer();
    // N, F, A and D: the grating's D is the fifth and is not shown.
    EXPECT_EQ(lines()[5].substr(70), "   NFAD") << lines()[5];
    surface(1).fresnel = 0;

    // Data the paraxial model does not cover mark the focal length as approximate.
    EXPECT_EQ(cells(2).size(), 4u);
    EXPECT_EQ(cells(2)[2].code, 0x8000);

    // A skip link from 1 to 3 jumps over 2; the walk never runs backwards.
    lens_data().aperture_stop = 1;
    lens_data().reference_surface = 1;
    surface(1).skip_to = 3;
    surface(2).skip_to = 1;
    ASSERT_EQ(event(kLevelEventActivate, 12, 1), 0);
    EXPECT_EQ(lines()[6].substr(0, 5), " SKP ");
}

TEST_F(Sheet, NonSequentialGroupRowsShowNoSpacingBeforeTheirLast) {
    set_setting_flag(kSetSurfaceLabels, 0);
    small_lens("TH 100");
    open_sheet();
    surface(1).group_kind = 1;
    surface(1).group_role = kRoleFirst;
    surface(2).group_kind = 1;
    surface(2).group_role = kRoleLast;
    ASSERT_EQ(event(kLevelEventActivate, 51, 0), 0);  // groups shown
    const auto shown = lines();
    // The first row chooses the group; its spacing lies in the members' coordinates.
    EXPECT_EQ(shown[5].substr(21, 17), "|               |") << shown[5];
    EXPECT_EQ(codes_of(cells(5)).front(), 0x6800);
    // The last row is a label of the group, with its own thickness cell.
    EXPECT_EQ(codes_of(cells(6)).front(), 0x5000);
    EXPECT_NE(shown[6].find("  45.000000"), std::string::npos) << shown[6];
}

TEST_F(Sheet, OpeningALensFileInTheSheetShowsItAndMakesItTheRevertPoint) {
    small_lens("TH 100");
    open_sheet();
    const auto file = run_.tree.write_file("other.len",
                                           "// TAVO 5.40 0 0 0\nLEN NEW \"Other\" 0 4\nNXT\nRD "
                                           "40\nTH 3\nNXT\nRD -40\nTH 20\nNXT\nNXT\nEND 4\n");
    // A file that is no lens file leaves the sheet on the lens it had.
    run_.tree.write_file("bad.len", "not a lens\n");
    std::string bad = "open \"" + file.parent_path().string() + "\" \"bad\" no";
    std::vector<char> bad_text(bad.begin(), bad.end());
    bad_text.push_back('\0');
    EXPECT_NE(event(6, 0, 0, 0, 0, 0, bad_text.data()), 0);
    EXPECT_STREQ(lens_data().title, "Doublet test");
    EXPECT_EQ(lines().size(), 8u);
    EXPECT_NE(test_state_flag(kFlagSpreadsheetOpen), 0);

    std::string line = "open \"" + file.parent_path().string() + "\" \"other\" no";
    std::vector<char> text(line.begin(), line.end());
    text.push_back('\0');
    ASSERT_EQ(event(6, 0, 0, 0, 0, 0, text.data()), 0) << error_text_buffer() << errors();
    EXPECT_STREQ(lens_data().title, "Other");
    EXPECT_EQ(lens_data().image_surface, 4);
    EXPECT_EQ(lines().size(), 9u);
    EXPECT_EQ(lines()[0].substr(0, 5), "Other");
    EXPECT_NE(test_state_flag(kFlagSpreadsheetOpen), 0);
    // An edit, then Cancel: back to the file's lens, not to the lens before it.
    ASSERT_EQ(event(kLevelEventEdited, 3, 1, 9.0), 0);
    pop_command_level(true);
    EXPECT_STREQ(lens_data().title, "Other");
    EXPECT_EQ(surface(1).thickness, 3.0);
}

TEST_F(Sheet, TheGroupButtonDissolvesTheGroupWhenTheAnswerIsYes) {
    small_lens("TH 100");
    ASSERT_EQ(make_group(1, 2), 0);
    open_sheet();
    ui().queue_message_box_answer(platform::MessageAnswer::ok);
    ASSERT_EQ(event(kLevelEventActivate, 14, 1), 0) << error_text_buffer();
    EXPECT_NE(errors().find("Dissolve the group that starts at surface 1?"), std::string::npos)
        << errors();
    EXPECT_EQ(surface(1).group_role, 0);
}

TEST_F(Sheet, ANewLensTypedInTheSheetKeepsTheSheetOpenOnIt) {
    small_lens("TH 100");
    open_sheet();
    char line[] = "new_lens \"other\" 0 3";
    ASSERT_EQ(event(6, 0, 0, 0, 0, 0, line), 0) << error_text_buffer();
    EXPECT_EQ(lens_data().image_surface, 4);
    EXPECT_EQ(level_count(), 1);
    EXPECT_EQ(lines().size(), 9u);  // header and surfaces 0 to 4
    EXPECT_NE(test_state_flag(kFlagSpreadsheetOpen), 0);
    EXPECT_EQ(grid_entry_field(grid_state().current.field_code), 424);
}

TEST_F(Sheet, ButtonsReachTheirCommandsAndSlots) {
    small_lens("TH 100");
    open_sheet();
    // The option commands behind the cell buttons and the special-data button ask for their
    // choice: unanswered, the lens and sheet stay as they were.
    const std::vector<std::string> before = lines();
    for (int field : {2, 4, 6, 8, 9, 15, 16, 17, 18, 19}) {
        EXPECT_NE(event(kLevelEventActivate, field, 1), 0) << field;
    }
    EXPECT_EQ(test_state_flag(kFlagSpecialDataChosen), 0);
    EXPECT_EQ(lines(), before);
    // The wavelength button opens the wavelength sheet over the sheet.
    EXPECT_EQ(event(kLevelEventActivate, 931, 0), 0) << error_text_buffer();
    EXPECT_TRUE(level_push_pending());
    for (int k = 0; k < 3 && level_push_pending(); ++k) main_loop_pass(false);
    ASSERT_EQ(level_count(), 2);
    pop_command_level(true);
    ASSERT_EQ(level_count(), 1);
    // The paraxial button opens the paraxial window over the sheet.
    EXPECT_EQ(event(kLevelEventActivate, 930, 0), 0) << error_text_buffer();
    EXPECT_TRUE(level_push_pending());
}

TEST_F(Sheet, TheWavelengthButtonOffersTheStandardLines) {
    small_lens("TH 100");
    open_sheet();
    input("0.48613\n");  // the answer typed at the question: the F line
    ASSERT_EQ(event(kLevelEventActivate, 435, 0), 0) << error_text_buffer() << errors();
    EXPECT_EQ(lens_data().wavelengths[0].wavelength, 0.48613);
    EXPECT_NE(lines()[2].find("0.486130"), std::string::npos) << lines()[2];
    // A typed wavelength of 0 or less is refused and says so.
    ASSERT_EQ(event(kLevelEventEdited, 435, 0, -1.0), 0);
    EXPECT_EQ(lens_data().wavelengths[0].wavelength, 0.48613);
    ASSERT_EQ(event(kLevelEventEdited, 435, 0, 0.65627), 0);
    EXPECT_EQ(lens_data().wavelengths[0].wavelength, 0.65627);
}

// Scaling rows by a factor: radii, thicknesses inside the range and apertures scale; the
// thickness after the last row of the range (the air space to the image) does not.
TEST_F(Sheet, ScaleMultipliesTheSelectedRowsByTheTypedFactor) {
    small_lens("TH 100");
    open_sheet();
    input("2\n");  // the factor typed at the question
    ASSERT_EQ(event(23, 0, 1, 0, 0, 2), 0) << error_text_buffer() << errors();
    EXPECT_DOUBLE_EQ(surface(1).curvature, 1.0 / 100.0);
    EXPECT_DOUBLE_EQ(surface(2).curvature, -1.0 / 100.0);
    EXPECT_DOUBLE_EQ(surface(1).thickness, 10.0);
    EXPECT_DOUBLE_EQ(surface(2).thickness, 45.0);
    EXPECT_DOUBLE_EQ(surface(1).aperture_radius, 20.0);
}

TEST_F(Sheet, TheUnchangedQuestionComparesWithTheRevertCopy) {
    small_lens("TH 100");
    open_sheet();
    EXPECT_EQ(event(22, 0, 0), 1);  // nothing changed: may close
    ASSERT_EQ(event(kLevelEventEdited, 3, 1, 8.0), 0);
    // Changed: the question is asked, and OK lets it close.
    ui().queue_message_box_answer(platform::MessageAnswer::ok);
    EXPECT_EQ(event(22, 0, 0), 0);
}

TEST_F(Sheet, TheSurfaceHeadingNamesTheGroup) {
    small_lens("TH 100");
    ASSERT_EQ(make_group(1, 2), 0);
    lens_data().current_surface = 1;
    print_sheet_surface_heading();
    text_newline();
    lens_data().current_surface = 3;
    print_sheet_surface_heading();
    text_newline();
    const std::string shown = output();
    EXPECT_NE(shown.find("Surface 1 ("), std::string::npos) << shown;
    EXPECT_NE(shown.find("Surface 3\n"), std::string::npos) << shown;
}

}  // namespace
}  // namespace sheet_test
