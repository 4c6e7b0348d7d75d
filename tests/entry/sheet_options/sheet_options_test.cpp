// The surface sheet's option buttons: the choices each offers for the surface's state, and what
// a choice does to the lens, run as the sheet runs them (the option command typed or pushed by
// a button, its questions answered on the console).
#include <cstdio>
#include <string>
#include <vector>

#include "entry/sheet_options.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "lens/optimise_links.h"
#include "runtime/dispatch.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "tables/table_names.h"
#include "tests/entry/surface_sheet/sheet_fixture.h"

namespace sheet_test {
namespace {

class Options : public Sheet {
protected:
    void close_sheet() {
        type("exit_levels");
        for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), 0);
    }
};

// The words of the list a choice parameter offers, the default marked with '*'.
std::string offered(int param) {
    if (select_param_list(param) != 0) return "(no list)";
    const ParamDescriptor* d = param_descriptor(param);
    const int chosen = d != nullptr ? (d->default_handle & 0x3FFF) : -1;
    std::string out;
    for (int i = 0; i < value_list_count(); ++i) {
        if (!out.empty()) out += ' ';
        if (i == chosen) out += '*';
        out += list_entry_word(value_list_first(i));
    }
    return out;
}

constexpr const char* kCatalogues =
    "catalogue_0 catalogue_1 catalogue_2 catalogue_3 catalogue_4 catalogue_5 catalogue_6 "
    "catalogue_7";
constexpr const char* kNearest =
    "nearest nearest_0 nearest_1 nearest_2 nearest_3 nearest_4 nearest_5 nearest_6 nearest_7 "
    "nearest_8";

TEST_F(Options, EachButtonOffersTheChoicesThatApplyWithThePresentStateChosen) {
    struct Case {
        const char* what;
        int surface;
        int param;
        void (*state)();
        std::string offered;
    };
    const std::string cv = "pk_cv pk_cvm pu puc pi pic al alc fixed variable variable_sheet";
    const std::string media = std::string(kCatalogues) + " mirror hatched_mirror pk_gla";
    const Case cases[] = {
        {"plain curvature", 2, kParamCurvatureChoice, [] {}, "*free " + cv},
        {"variable curvature with a solve: the variable choices go", 2, kParamCurvatureChoice,
         [] {
             surface(2).curvature_variable = 1;
             surface(2).curvature_kind = kCurvatureAxialSlope;
         },
         "free pk_cv pk_cvm *pu puc pi pic al alc fixed"},
        {"inside a group of kind 1, variable", 2, kParamCurvatureChoice,
         [] {
             surface(2).group_kind = 1;
             surface(2).group_role = kRoleInner;
             surface(2).curvature_variable = 1;
         },
         "*free pk_cv pk_cvm"},
        {"two configurations", 2, kParamCurvatureChoice,
         [] { lens_data().configuration_count = 2; }, "*free " + cv + " variable_configuration"},
        {"aperture of the stop", 2, kParamApertureChoice, [] {},
         "computed fixed pickup *stop reference check no_check special"},
        {"catalogue glass", 1, kParamMediumChoice, [] {}, "air model table *catalogue " + media},
        {"model glass", 1, kParamMediumChoice,
         [] { surface(1).medium_kind = kMediumModelIndexAbbe; },
         "air *model table catalogue " + media + " " + kNearest + " variable variable_sheet"},
        {"model glass that is a variable", 1, kParamMediumChoice,
         [] {
             surface(1).medium_kind = kMediumModelIndexAbbe;
             surface(1).glass_variable = 1;
         },
         "air *model table catalogue " + media + " " + kNearest},
        {"table glass", 1, kParamMediumChoice, [] { surface(1).medium_kind = kMediumModelGlass; },
         "air model *table catalogue " + media + " " + kNearest},
        {"a glass in a group of kind 1: no table glass", 1, kParamMediumChoice,
         [] {
             surface(1).group_kind = 1;
             surface(1).group_role = kRoleFirst;
         },
         "air model *catalogue " + media},
        {"variable image thickness", 3, kParamImageThicknessChoice,
         [] { surface(3).thickness_variable = 1; }, "*free"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        small_lens("TH 100");
        c.state();
        lens_data().current_surface = c.surface;
        EXPECT_EQ(offered(c.param), c.offered);
    }
}

// The object distance's choices: five for an object at infinity, the chief-ray height solve
// only where the stop's path is plain.
TEST_F(Options, AnObjectAtInfinityIsOfferedFewerDistanceChoices) {
    const struct {
        const char* object;
        int reference;  // 2: the path to the reference surface is plain, 1: it is not
        const char* offered;
    } cases[] = {
        {"TH 100", 1, "*free py et pyc fixed variable variable_sheet"},
        {"TH 1e10", 1, "*free py et fixed"},
        {"TH 1e10", 2, "*free py et pyc fixed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.object) + " " + std::to_string(c.reference));
        small_lens(c.object);
        lens_data().reference_surface = c.reference;
        lens_data().current_surface = 0;
        EXPECT_EQ(offered(param_descriptor_index(kCmdObjthkopt, 0)), c.offered);
    }
}

}  // namespace
}  // namespace sheet_test

namespace sheet_test {
namespace {

std::string lens_text() {
    int failure = 0;
    return lens_file_text("t", nullptr, &failure);
}

// The text of a message with its one number.
std::string message_with(int message, int number) {
    std::string t = msg_text(message) != nullptr ? msg_text(message) : "";
    const std::size_t at = t.find("%d");
    if (at != std::string::npos) t.replace(at, 2, std::to_string(number));
    return t;
}

// A button's choice and the command that a designer would type instead leave the same lens.
TEST_F(Options, AChoiceLeavesTheLensTheTypedCommandLeaves) {
    const struct {
        const char* what;
        int field;
        int surface;
        const char* answers;
        const char* typed;
    } cases[] = {
        {"axial slope solve", kFieldCurvatureOption, 2, "pu\n0.1\n", "PU 0.1"},
        {"model glass", kFieldMediumOption, 1, "model\nX\n1.6\n40\n", "GLA MOD X 1.6 40"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        small_lens("TH 100");
        open_sheet();
        char line[64];
        std::snprintf(line, sizeof line, "%s", c.typed);
        ASSERT_EQ(event(kLevelEventTypedText, 3, c.surface, 0, 0, c.surface, line), 0)
            << error_text_buffer();
        const std::string typed = lens_text();
        close_sheet();
        small_lens("TH 100");
        open_sheet();
        input(c.answers);
        ASSERT_EQ(event(kLevelEventActivate, c.field, c.surface), 0)
            << error_text_buffer() << errors();
        EXPECT_EQ(lens_text(), typed);
        close_sheet();
    }
}

TEST_F(Options, ASolveChosenByItsButtonShowsAsASolve) {
    small_lens("TH 100");
    open_sheet();
    input("pu\n0.1\n");
    ASSERT_EQ(event(kLevelEventActivate, kFieldCurvatureOption, 2), 0) << error_text_buffer();
    EXPECT_EQ(surface(2).curvature_kind, kCurvatureAxialSlope);
    EXPECT_EQ(surface(2).curvature_solve_value, 0.1);
    // The row of surface 2 (the sixth line) shows the solve's mark on the curvature button.
    const std::vector<Cell> row = cells(6);
    const std::string text = lines()[6];
    bool marked = false;
    for (const Cell& c : row) {
        if (grid_entry_field(c.code) == kFieldCurvatureOption) {
            marked = text.substr(c.first, c.end - c.first).find('S') != std::string::npos;
        }
    }
    EXPECT_TRUE(marked) << text;
}

TEST_F(Options, TheStopMovesTheReferenceSurfaceWhenTheyWereOne) {
    const struct {
        int reference;
        int expected;
    } cases[] = {{2, 1}, {3, 3}};  // the stop is surface 2
    for (const auto& c : cases) {
        small_lens("TH 100");
        lens_data().reference_surface = c.reference;
        lens_data().current_surface = 1;
        ASSERT_EQ(run_command_string("aperopt stop", 0), 0) << error_text_buffer();
        EXPECT_EQ(lens_data().aperture_stop, 1);
        EXPECT_EQ(lens_data().reference_surface, c.expected);
    }
}

TEST_F(Options, RefusedChoicesLeaveTheSurfaceAsItWas) {
    const struct {
        const char* what;
        int surface;
        const char* line;
        const char* answers;
        int message;
        int argument;  // shown in the message
    } cases[] = {
        {"aperture pickup from itself", 2, "aperopt pickup", "2\n", kMsgPickupSource, 2},
        {"glass pickup from a later surface", 1, "glassopt pk_gla", "3\n", kMsgPickupSource, 1},
        {"glass pickup from a mirror", 3, "glassopt pk_gla", "2\n", kMsgGlassFromMirror, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        type_lines({"LEN NEW", "TH 100", "NXT", "SRF 50 5 N-BK7 10", "AST", "SRF -50 45 RFL 10",
                    "SRF -50 -45 AIR 10", "END"});
        lens_data().current_surface = c.surface;
        const std::string before = lens_text();
        input(c.answers);
        EXPECT_EQ(run_command_string(c.line, 0), kErrorTextReady);
        EXPECT_EQ(std::string(error_text_buffer()), message_with(c.message, c.argument));
        EXPECT_EQ(lens_text(), before);
    }
    // A mirror cannot be the object's medium.
    small_lens("TH 100");
    EXPECT_EQ(glass_choice(0, 4), kErrorTextReady);
    EXPECT_EQ(surface(0).medium_kind, kMediumAir);
}

// A solve is refused on a curvature that is a variable: the variable is deleted first (a line
// through the optimisation's add_variable_in_spreadsheet), and only then the solve runs.
TEST_F(Options, ASolveOnAVariableCurvatureDeletesTheVariableFirst) {
    static const OptimiseLinks links = [] {
        OptimiseLinks l{};
        l.highest_variable = [] { return 0; };
        l.variable_at = [](int) { return OptimiseVariableRef{1, 2, 0}; };
        return l;
    }();
    set_optimise_links(&links);
    small_lens("TH 100");
    lens_data().current_surface = 2;
    input("0.1\n");
    EXPECT_NE(curvature_choice(2, 3), 0);
    // The links name a variable the table does not hold: the deletion changes nothing there,
    // the links still show it, and the solve stays refused.
    EXPECT_EQ(errors().find("Error"), std::string::npos) << errors();
    EXPECT_EQ(surface(2).curvature_kind, kCurvaturePlain);
    set_optimise_links(nullptr);
    // Without the variable the solve is all.
    small_lens("TH 100");
    lens_data().current_surface = 2;
    input("0.1\n");
    EXPECT_EQ(curvature_choice(2, 3), 0) << error_text_buffer();
    EXPECT_EQ(surface(2).curvature_kind, kCurvatureAxialSlope);
    EXPECT_EQ(surface(2).curvature_solve_value, 0.1);
}

}  // namespace
}  // namespace sheet_test
