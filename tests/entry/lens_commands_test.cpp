// The new-lens, insert, delete and go-to commands run as command lines on a started program with
// its built tables; and the user's new-lens procedure "opc_init" run by every new lens.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "entry/lens_commands.h"
#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "lens/new_lens_command.h"
#include "platform/child_process.h"
#include "runtime/command_context.h"
#include "runtime/dispatch.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

namespace fs = std::filesystem;

class LensCommands : public loop_test::Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        folder_ = (run_.tree.data() / "lenses").string();
        fs::create_directories(folder_);
        set_setting_text(kSetCurrentDirectory, folder_.c_str(), 0);
        set_setting_flag(kSetTavLensFileExtension, 0);
    }

    // Runs a command line; its result.
    int run(const std::string& line) { return run_command_string(line.c_str(), 0); }
    std::string error_text() const { return error_text_buffer(); }
    std::string lens_file() const { return get_setting_text(kSetLensFile, 0); }
    // A new lens of n surfaces whose surface j has thickness j, so that each can be followed.
    void numbered_lens(int n) {
        run("new_lens \"numbered\" 0 " + std::to_string(n));
        ASSERT_EQ(lens_data().image_surface, n + 1);
        for (int j = 1; j <= n + 1; ++j) surface(j).thickness = j;
    }

    std::string folder_;
};

// A new lens opens the surface spreadsheet on itself: the sheet's level waits for the main
// loop to build it.
void expect_sheet_opens(int rc) {
    EXPECT_EQ(rc, 0) << error_text_buffer();
    EXPECT_TRUE(level_push_pending());
}

TEST_F(LensCommands, FiveSurfacesGiveImageSurfaceSixAndTheLensIsNamed) {
    surface(3).curvature = 0.5;  // something of the old lens that must go
    expect_sheet_opens(run("new_lens \"doublet\" 0 5"));
    const LensData& l = lens_data();
    EXPECT_EQ(l.image_surface, 6);
    EXPECT_EQ(surface(3).curvature, 0.0);
    EXPECT_EQ(lens_file(), folder_ + "/doublet.len");
    EXPECT_STREQ(l.title, "NEW LENS");
    EXPECT_NE(test_state_flag(kFlagLensExists), 0);
    EXPECT_EQ(surface(0).thickness, kInfiniteDistance);
}

TEST_F(LensCommands, TwelveSurfacesAreRefusedAndTheLensStays) {
    numbered_lens(4);
    EXPECT_EQ(run("new_lens \"big\" 0 12"), kErrorTextReady);
    EXPECT_EQ(error_text(), "The lens has reached the surface limit 12");
    EXPECT_EQ(lens_data().image_surface, 5);
    EXPECT_EQ(surface(3).thickness, 3.0);
    EXPECT_EQ(lens_file(), folder_ + "/numbered.len");

    // Eleven surfaces put the image on the last record of the array.
    expect_sheet_opens(run("new_lens \"full\" 0 11"));
    EXPECT_EQ(lens_data().image_surface, 12);
}

TEST_F(LensCommands, FileNamesArePlacedInTheLensFolderAndGetTheirExtension) {
    struct Case {
        const char* typed;
        int tav;
        std::string path;
    };
    const Case cases[] = {
        {"plain", 0, folder_ + "/plain.len"},
        {"plain", 1, folder_ + "/plain.tav"},
        {"given.lns", 1, folder_ + "/given.lns"},
        {"/tmp/abs", 0, "/tmp/abs.len"},
        {"sub\\\\inner", 0, folder_ + "/sub/inner.len"},
    };
    for (const Case& c : cases) {
        set_setting_flag(kSetTavLensFileExtension, static_cast<std::uint8_t>(c.tav));
        expect_sheet_opens(run(std::string("new_lens \"") + c.typed + "\" 0 1"));
        EXPECT_EQ(lens_file(), c.path) << c.typed;
    }

    // A name without a file part is refused with the name, and the lens stays.
    numbered_lens(3);
    EXPECT_EQ(run("new_lens \"folder/\" 0 1"), kErrorTextReady);
    EXPECT_EQ(error_text(), "folder/ is not a usable lens file name");
    EXPECT_EQ(lens_data().image_surface, 4);
}

TEST_F(LensCommands, PerfectLensKeepsAnInfiniteObjectForMagnificationZero) {
    expect_sheet_opens(run("new_perfect_lens \"perfect\" 2 0 50 0 0.1"));
    const LensData& l = lens_data();
    EXPECT_EQ(l.image_surface, 3);
    EXPECT_EQ(surface(0).thickness, kInfiniteDistance);
    EXPECT_DOUBLE_EQ(l.entrance_beam_radius, 5.0);  // |f NA|
    EXPECT_EQ(surface(1).group_kind, kGroupElementGroup);
    EXPECT_EQ(surface(1).group_role, kRoleFirst);
    EXPECT_EQ(surface(2).group_role, kRoleLast);
    EXPECT_EQ(surface(2).thickness_kind, kThicknessAxialHeight);
    ASSERT_NE(surface(2).note, nullptr);
    EXPECT_STREQ(surface(2).note, "PERFECT");
    ASSERT_NE(surface(2).perfect_lens, nullptr);
    EXPECT_EQ(surface(2).perfect_lens->focal_length, 50.0);

    // The general command with kind 2 makes the same lens; a negative focal length counts by its
    // size.
    expect_sheet_opens(run("new_lens \"perfect\" 2 0 -40 0 0.2"));
    EXPECT_DOUBLE_EQ(lens_data().entrance_beam_radius, 8.0);
}

TEST_F(LensCommands, PerfectLensAtFiniteMagnificationPlacesTheObject) {
    // f = 100, m = -1, NA 0 becomes 0.05: radius |100 * 2 * 0.05 / sqrt(1 - 0.0025)|; the object
    // at (1 - 1/m) f = 200 with height -1e-6 of that.
    expect_sheet_opens(run("new_perfect_lens \"relay\" 2 0 100 -1 0"));
    const LensData& l = lens_data();
    EXPECT_NEAR(l.entrance_beam_radius, 10.0 / std::sqrt(0.9975), 1e-12);
    EXPECT_DOUBLE_EQ(surface(0).thickness, 200.0);
    EXPECT_DOUBLE_EQ(l.object_height, -2e-4);
    EXPECT_EQ(surface(2).perfect_lens->magnification, -1.0);

    // Any other kind of the perfect-lens command makes a lens of empty surfaces.
    expect_sheet_opens(run("new_perfect_lens \"plain\" 0 4 100 -1 0"));
    EXPECT_EQ(lens_data().image_surface, 5);
    EXPECT_EQ(surface(2).perfect_lens, nullptr);
}

TEST_F(LensCommands, ValueKindsMakeAnEmptyLensWithSurfaceOneCurrent) {
    expect_sheet_opens(run("new_lens_value \"first\" 25"));
    EXPECT_EQ(lens_data().image_surface, 1);
    // The sheet opened on the new lens starts at the object surface.
    EXPECT_EQ(lens_data().current_surface, 0);
    expect_sheet_opens(run("new_lens \"first\" 1 7 0 25"));
    EXPECT_EQ(lens_data().image_surface, 1);
}

TEST_F(LensCommands, InsertAndDeleteRenumberTheLens) {
    numbered_lens(4);  // image 5
    lens_data().aperture_stop = 3;
    surface(4).curvature_kind = kCurvaturePickup;
    surface(4).curvature_source = 3;

    ASSERT_EQ(run("insert_surface 2"), 0) << error_text();
    const LensData& l = lens_data();
    EXPECT_EQ(l.image_surface, 6);
    EXPECT_EQ(l.current_surface, 2);
    EXPECT_EQ(surface(2).thickness, 0.0);
    EXPECT_STREQ(surface(2).medium_name, "AIR       ");
    EXPECT_EQ(surface(3).thickness, 2.0);
    // The set-up ran after the change: vertices at 0, 1, 1 + 0, 1 + 0 + 2.
    EXPECT_EQ(surface(4).vertex_position, 3.0);
    EXPECT_EQ(l.aperture_stop, 4);              // the stop names the same surface
    EXPECT_EQ(surface(5).curvature_source, 4);  // and so does the pickup

    // Deleting 2 to 3 removes the new surface and the old surface 2, highest first.
    ASSERT_EQ(run("delete_surfaces 2 3"), 0) << error_text();
    EXPECT_EQ(l.image_surface, 4);
    EXPECT_EQ(l.current_surface, 2);
    EXPECT_EQ(surface(2).thickness, 3.0);
    EXPECT_EQ(l.aperture_stop, 2);
    EXPECT_EQ(surface(3).curvature_source, 2);

    // A deleted pickup source turns the pickup into a plain curvature.
    ASSERT_EQ(run("delete_surfaces 2"), 0) << error_text();
    EXPECT_EQ(surface(2).curvature_kind, kCurvaturePlain);
    EXPECT_EQ(surface(2).thickness, 4.0);
}

TEST_F(LensCommands, ShortFormsAreKnownInLensEntryOnly) {
    numbered_lens(3);
    EXPECT_NE(run("ins 1"), 0);
    EXPECT_EQ(lens_data().image_surface, 4);
    ASSERT_EQ(push_command_context('L'), 0);
    EXPECT_EQ(run("ins 1"), 0) << error_text();
    EXPECT_EQ(lens_data().image_surface, 5);
    EXPECT_EQ(surface(2).thickness, 1.0);
    EXPECT_EQ(run("del 1"), 0) << error_text();
    EXPECT_EQ(lens_data().image_surface, 4);
    EXPECT_EQ(surface(1).thickness, 1.0);
    pop_command_context();
}

TEST_F(LensCommands, SurfaceArgumentsOutsideTheLensAreRefusedWithTheirMessage) {
    numbered_lens(4);  // image 5
    struct Case {
        const char* line;
        const char* text;
    };
    const Case cases[] = {
        {"insert_surface 0", "No surface can be inserted before surface 0"},
        {"insert_surface 6", "No surface can be inserted before surface 6"},
        {"delete_surfaces 0", "Surface 0 cannot be deleted"},
        {"delete_surfaces 5", "Surface 5 cannot be deleted"},
        {"delete_surfaces 5 2", "Surface 5 cannot be deleted"},  // a last below the first
        {"delete_surfaces 2 5", "Surfaces 2 to 5 cannot be deleted"},
        {"go_to_surface 13", "The lens has reached the surface limit 12"},
        {"go_to_surface -1", "Value: -1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.line), kErrorTextReady) << c.line;
        EXPECT_EQ(error_text(), c.text) << c.line;
        EXPECT_EQ(lens_data().image_surface, 5) << c.line;
        EXPECT_EQ(surface(4).thickness, 4.0) << c.line;
    }

    // A lens at the surface limit takes no further surface.
    numbered_lens(11);
    EXPECT_EQ(run("insert_surface 3"), kErrorTextReady);
    EXPECT_EQ(error_text(), "The lens has reached the surface limit 12");
    EXPECT_EQ(surface(3).thickness, 3.0);
}

TEST_F(LensCommands, GoingBeyondTheImageSurfaceGrowsTheLens) {
    numbered_lens(2);
    EXPECT_EQ(run("go_to_surface 8"), 0) << error_text();
    EXPECT_EQ(lens_data().image_surface, 8);
    EXPECT_EQ(lens_data().current_surface, 8);
    EXPECT_EQ(run("go_to_surface 1"), 0);
    EXPECT_EQ(lens_data().image_surface, 8);
    EXPECT_EQ(lens_data().current_surface, 1);
}

TEST_F(LensCommands, NewEditTextEmptiesTheEditWindowAndTitlesIt) {
    set_window_titles(nullptr, "notes.txt");
    set_state_flag(40);
    ASSERT_EQ(run("new_edit_text"), 0) << error_text();
    EXPECT_EQ(edit_window_caption(), "Edit window");
    EXPECT_EQ(test_state_flag(40), 0);
    EXPECT_EQ(output_window(), current_text_window());
}

TEST_F(LensCommands, NewLensCopiesTheProgramElementDrawingDefaults) {
    ElementDrawingDefaults& program = program_element_drawing_defaults();
    program.values[2] = 0.25;
    program.integers[5] = 7;
    program.set = 1;
    std::strcpy(program.texts[1], "coating");
    lens_data().element_drawing_defaults.values[0] = 9.0;
    ASSERT_EQ(lens_new(), 0);
    const ElementDrawingDefaults& lens = lens_data().element_drawing_defaults;
    EXPECT_EQ(lens.values[0], 0.0);
    EXPECT_EQ(lens.values[2], 0.25);
    EXPECT_EQ(lens.integers[5], 7);
    EXPECT_EQ(lens.set, 1);
    EXPECT_STREQ(lens.texts[1], "coating");
    program = ElementDrawingDefaults{};
}

TEST_F(LensCommands, WithoutAnOpcInitProcedureANewLensRunsNothing) {
    set_setting_flag(kSetOutputOn, 1);
    const std::string before = output();
    ASSERT_EQ(lens_new(), 0);
    EXPECT_EQ(surface(0).thickness, kInfiniteDistance);
    EXPECT_NE(get_setting_flag(kSetOutputOn), 0);
    EXPECT_EQ(output(), before);
}

// The program's tables with a user procedure "opc_init" that moves the object.
class OpcInit : public loop_test::Loop {
protected:
    void SetUp() override {
        const fs::path sources = run_.tree.base() / "sources";
        fs::copy(fs::path(TAVO_SOURCE_DIR) / "tables", sources, fs::copy_options::recursive);
        std::ofstream(sources / "definitions" / "zz_opc_init.def")
            << "procedure opc_init\n  body \"th[0] = 250;\"\n";
        const fs::path builder =
            fs::path(TAVO_TEST_OUTPUT_DIR).parent_path() / "tools" / "table_builder";
        const fs::path amo = run_.tree.root() / "bin" / "amo";
        ASSERT_EQ(
            platform::run_program(
                {builder.string(), "--sources", sources.string(), "--out", amo.string()}, 120000),
            0);
        Loop::SetUp();
    }
};

TEST_F(OpcInit, EveryNewLensRunsTheProcedureQuietlyAfterTheReset) {
    set_setting_flag(kSetOutputOn, 1);
    int cells_seen = -1;
    // The caller's command and arguments come back unchanged.
    ArgCell mine = int_cell(5);
    ArgCell* vector[1] = {&mine};
    set_arg_vector(vector, 1);
    set_current_command(kCmdInsertSurface);
    ASSERT_EQ(lens_new(), 0);
    cells_seen = arg_count();
    EXPECT_EQ(surface(0).thickness, 250.0);
    EXPECT_EQ(lens_data().image_surface, 2);
    EXPECT_NE(get_setting_flag(kSetOutputOn), 0);
    EXPECT_EQ(current_command(), 417);
    EXPECT_EQ(cells_seen, 1);
    EXPECT_EQ(arg_vector()[0], &mine);
    EXPECT_EQ(lens_flags().bounds_stale, 1);
    EXPECT_EQ(lens_flags().materials_changed, 1);
}

}  // namespace
