// The special-aperture sheet, opened by the surface sheet's aperture button, its cells and
// buttons used as the grid uses them.
#include <string>

#include "entry/sheet_options.h"
#include "entry/special_aperture_sheet.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/state_flags.h"
#include "tables/table_names.h"
#include "tests/entry/surface_sheet/sheet_fixture.h"
#include "trace/lens_setup.h"

namespace sheet_test {
namespace {

class ApertureSheet : public Sheet {
protected:
    void open_apertures(int s) {
        input("special\n");
        ASSERT_EQ(event(kLevelEventActivate, kFieldApertureOption, s), 0) << error_text_buffer();
        for (int k = 0; k < 3 && level_push_pending(); ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), 2) << errors();
    }
    // The top level ends, left (0) or cancelled (-1), as its strip's buttons end it.
    void leave(int mode) { pop_command_level(mode == -1); }
    void close_all() {
        type("exit_levels");
        for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), 0);
    }
    std::string lens_text() {
        int failure = 0;
        return lens_file_text("t", nullptr, &failure);
    }
};

TEST_F(ApertureSheet, TheCountCellKeepsOneOrTwoApertures) {
    small_lens("TH 100");
    open_sheet();
    open_apertures(2);
    ASSERT_EQ(surface(2).special_aperture_count, 1);
    const struct {
        double typed;
        int stored;
    } cases[] = {{5, 2}, {0, 1}, {2, 2}, {1, 1}};
    for (const auto& c : cases) {
        ASSERT_EQ(event(kLevelEventEdited, kFieldApertureCount, 2, c.typed), 0)
            << error_text_buffer();
        EXPECT_EQ(surface(2).special_aperture_count, c.stored) << c.typed;
    }
    // A group of 100 is not taken.
    ASSERT_EQ(event(kLevelEventEdited, kFieldApertureGroup, 0, 7), 0);
    ASSERT_EQ(event(kLevelEventEdited, kFieldApertureGroup, 0, 100), 0);
    EXPECT_EQ(surface(2).special_apertures[0].group, 7);
    // A cell of an aperture that is gone does nothing.
    EXPECT_EQ(event(kLevelEventEdited, kFieldApertureX1, 1, 3.0), 0);
}

TEST_F(ApertureSheet, AnApertureLeftEmptyIsRemovedOnClosing) {
    const struct {
        double x1;  // typed into the first corner
        int count;  // after closing
    } cases[] = {{0.0, 0}, {2.5, 1}};
    for (const auto& c : cases) {
        small_lens("TH 100");
        open_sheet();
        open_apertures(2);
        ASSERT_EQ(event(kLevelEventEdited, kFieldApertureX1, 0, c.x1), 0);
        leave(0);
        EXPECT_EQ(surface(2).special_aperture_count, c.count) << c.x1;
        EXPECT_EQ(surface(2).special_apertures != nullptr, c.count > 0);
        close_all();
    }
}

// A line typed into the sheet runs at its surface and the sheet shows again; left with OK, the
// line's change stays with the aperture the sheet made.
TEST_F(ApertureSheet, ATypedLineRunsAndStaysWhenTheSheetIsLeft) {
    small_lens("TH 100");
    open_sheet();
    open_apertures(2);
    ASSERT_EQ(event(kLevelEventEdited, kFieldApertureX1, 0, 2.5), 0);
    char line[kGridTextBufferSize] = "TH 12";
    ASSERT_EQ(event(kLevelEventTypedText, 3, 2, 0, 0, 2, line), 0) << error_text_buffer();
    EXPECT_EQ(level_count(), 2);
    leave(0);
    EXPECT_EQ(surface(2).thickness, 12.0);
    EXPECT_EQ(surface(2).special_aperture_count, 1);
    close_all();
}

TEST_F(ApertureSheet, DeleteAllRemovesTheAperturesAndCancelBringsThemBack) {
    small_lens("TH 100");
    open_sheet();
    open_apertures(2);
    ASSERT_EQ(event(kLevelEventEdited, kFieldApertureX1, 0, 1.5), 0);
    ASSERT_EQ(event(kLevelEventActivate, kFieldApertureDeleteAll, 0), 0);
    EXPECT_EQ(surface(2).special_apertures, nullptr);
    EXPECT_EQ(surface(2).special_aperture_count, 0);
    // Cancelled, the lens is what it was before the sheet made its first aperture.
    leave(-1);
    EXPECT_EQ(surface(2).special_aperture_count, 0);
}

TEST_F(ApertureSheet, TheShapeButtonAsksWithThePresentShapeOffered) {
    small_lens("TH 100");
    open_sheet();
    open_apertures(2);
    // Answered by the shape's number (a word answered is taken as its place in the list).
    input("2\n");
    ASSERT_EQ(event(kLevelEventActivate, kFieldApertureShape, 0), 0) << error_text_buffer();
    EXPECT_EQ(surface(2).special_apertures[0].shape, kApertureRectangle);
    input("1\n");
    ASSERT_EQ(event(kLevelEventActivate, kFieldApertureShape, 0), 0) << error_text_buffer();
    EXPECT_EQ(surface(2).special_apertures[0].shape, kApertureEllipse);
    // Asked again, the rectangle was the answer offered.
    const ParamDescriptor* d = param_descriptor(kParamApertureShape);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->default_handle & 0x3FFF, 1);
}

TEST_F(ApertureSheet, TheTurnOfThreePointsIsTheOneTheSetUpGives) {
    const struct {
        double x[3];
        double y[3];
        int turn;  // (y2 - y1)(x3 - x1) - (y3 - y1)(x2 - x1) > 0
    } cases[] = {
        {{0, 1, 0}, {0, 0, 1}, 0},  // 0 - 1
        {{0, 0, 1}, {0, 1, 0}, 1},  // 1 - 0
    };
    for (const auto& c : cases) {
        small_lens("TH 100");
        open_sheet();
        open_apertures(2);
        surface(2).special_apertures[0].shape = kApertureTriangle;
        for (int k = 0; k < 3; ++k) {
            ASSERT_EQ(event(kLevelEventEdited, kFieldApertureX1 + 2 * k, 0, c.x[k]), 0);
            ASSERT_EQ(event(kLevelEventEdited, kFieldApertureX1 + 2 * k + 1, 0, c.y[k]), 0);
        }
        EXPECT_EQ(surface(2).special_apertures[0].convex, c.turn);
        ASSERT_EQ(lens_setup(0), 0);
        EXPECT_EQ(surface(2).special_apertures[0].convex, c.turn);
        leave(-1);
        close_all();
    }
}

// What the sheet stores is what the special-aperture commands store.
TEST_F(ApertureSheet, TheSheetLeavesTheLensTheCommandsLeave) {
    small_lens("TH 100");
    open_sheet();
    open_apertures(2);
    ASSERT_EQ(event(kLevelEventEdited, kFieldApertureCount, 2, 2), 0);
    input("2\n");
    ASSERT_EQ(event(kLevelEventActivate, kFieldApertureShape, 0), 0) << error_text_buffer();
    input("2\n");
    ASSERT_EQ(event(kLevelEventActivate, kFieldApertureAction, 1), 0) << error_text_buffer();
    ASSERT_EQ(event(kLevelEventEdited, kFieldApertureX1, 0, 1.5), 0);
    ASSERT_EQ(event(kLevelEventEdited, kFieldApertureX1 + 3, 0, 2.5), 0);
    ASSERT_EQ(event(kLevelEventEdited, kFieldApertureAngle, 0, 10.0), 0);
    ASSERT_EQ(event(kLevelEventEdited, kFieldApertureGroup, 1, 3), 0);
    leave(0);
    const std::string by_sheet = lens_text();
    close_all();
    small_lens("TH 100");
    lens_data().current_surface = 2;
    for (const char* line :
         {"APN 2", "ATP A REC", "AAC B OBS", "AX1 A 1.5", "AY2 A 2.5", "AAN A 10", "AGN B 3"}) {
        ASSERT_EQ(run_choice_line(line), 0) << line << " " << error_text_buffer();
    }
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(lens_text(), by_sheet);
}

}  // namespace
}  // namespace sheet_test
