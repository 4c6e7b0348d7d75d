// The sheets beside the surface sheet, opened by button number, and the mark of a temporary
// lens that stays while any open sheet holds a copy.
#include <string>

#include "entry/aux_sheets.h"
#include "entry/sheet_hooks.h"
#include "evaluation/spot_settings_sheet.h"
#include "optimise/optimise_params_sheet.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "tables/table_names.h"
#include "tests/entry/surface_sheet/sheet_fixture.h"
#include "ui/sheet_kit.h"

namespace sheet_test {
namespace {

using Hooks = Sheet;

TEST_F(Hooks, ButtonFourOpensTheSpotSettingsAndOthersWithoutASheetNothing) {
    small_lens("TH 100");
    for (const char* b : {"1", "2", "5", "8", "-1"}) {
        EXPECT_EQ(run_command_string((std::string("open_aux_sheet ") + b).c_str(), 0), 0) << b;
        EXPECT_FALSE(level_push_pending()) << b;
    }
    // A button whose subsystem has not installed its opener: refused, and said so.
    set_aux_sheet_procedure(kAuxSheetOptimiseParams, nullptr);
    EXPECT_EQ(run_command_string("open_aux_sheet 3", 0), kErrorTextReady);
    EXPECT_NE(std::string(error_text_buffer()).find("3"), std::string::npos);
    EXPECT_FALSE(level_push_pending());
    set_aux_sheet_procedure(kAuxSheetOptimiseParams, open_optimise_params_sheet);
    ASSERT_EQ(run_command_string("open_aux_sheet 4", 0), 0) << error_text_buffer();
    EXPECT_TRUE(level_push_pending());
}

TEST_F(Hooks, TheTemporaryLensMarkStaysWhileAnOuterSheetHoldsACopy) {
    small_lens("TH 100");
    open_sheet();
    EXPECT_NE(test_state_flag(kFlagTemporaryLensCopy), 0);
    EXPECT_EQ(sheet_kit_globals().copies_held, 1);
    char line[] = "open_aux_sheet 4";
    ASSERT_EQ(event(kLevelEventTypedText, 3, 1, 0, 0, 1, line), 0) << error_text_buffer();
    for (int k = 0; k < 3 && level_push_pending(); ++k) main_loop_pass(false);
    ASSERT_EQ(level_count(), 2);
    EXPECT_EQ(sheet_kit_globals().copies_held, 2);
    // The spot sheet is left: the surface sheet still holds its copy.
    GridEvent left;
    left.code = kLevelEventChange;
    left.argument = 0;
    ASSERT_EQ(run_command_level(left), 0) << error_text_buffer();
    EXPECT_EQ(sheet_kit_globals().copies_held, 1);
    EXPECT_NE(test_state_flag(kFlagTemporaryLensCopy), 0);
    type("exit_levels");
    for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
    EXPECT_EQ(level_count(), 0);
    EXPECT_EQ(sheet_kit_globals().copies_held, 0);
    EXPECT_EQ(test_state_flag(kFlagTemporaryLensCopy), 0);
}

}  // namespace
}  // namespace sheet_test
