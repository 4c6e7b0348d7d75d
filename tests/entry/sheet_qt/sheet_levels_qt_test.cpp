// Sheets opened one over another on Qt: a line typed while the upper sheet has no current cell
// reaches the lens and the command that leaves levels closes them all; a sheet opened at the
// size another sheet left shows its last row whole.
#include "tests/entry/sheet_qt/sheet_qt_fixture.h"

#include <string>

#include "entry/sheet_values.h"
#include "lens/lens_data.h"

namespace sheet_levels_test {

using tavo_test::QtSheet;

constexpr int kRadiusCell = kGridKindValueList | kFieldRadius;
constexpr int kThicknessCell = kFieldThickness;

TEST_F(QtSheet, ALineTypedInANestedSheetWithoutACurrentCellRunsAndExitLevelsLeavesBoth) {
    struct Case {
        const char* open;   // typed at surface 2's row of the lens's sheet
        const char* typed;  // typed with no cell of the upper sheet current
        double expected;
        double (*stored)();
    };
    const Case cases[] = {
        {"open_aux_sheet 6", "TEM 25 1", 25.0, [] { return lens_data().temperature; }},
        {"specialspr 7", "DCY 2.5", 2.5, [] { return surface(2).decentre->dcy; }},
        {"specialspr 11", "AD 1e-5", 1e-5, [] { return surface(2).asphere->entered[2]; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.open);
        open_sheet_on_lens("45");
        click(kThicknessCell, 2);
        type(c.open);
        ASSERT_EQ(level_count(), 2);
        ASSERT_EQ(grid_state().current.text, nullptr);
        type(c.typed);
        EXPECT_EQ(level_count(), 2);
        EXPECT_DOUBLE_EQ(c.stored(), c.expected);
        type("exit_levels");
        EXPECT_EQ(level_count(), 0);
        // Escape cleans up whatever the typed line left open.
        for (int k = 0; k < 2 && level_count() > 0; ++k) press(Qt::Key_Escape);
        ASSERT_EQ(level_count(), 0);
    }
}

// The variables sheet, with its long header, leaves the window at its size; the lens's sheet
// opened next keeps that size and still shows its image row whole.
TEST_F(QtSheet, TheSurfaceSheetOpenedAfterTheVariablesSheetShowsItsImageRowWhole) {
    for (const char* line : {"LEN NEW \"Four\"", "TH 100", "NXT", "SRF 50 5 N-BK7 10", "AST",
                             "SRF -50 2 AIR 10", "SRF 80 4 N-SF5 10", "SRF -80 40 AIR 10", "END",
                             "VAR NEW", "V 1 1 0 CV", "V 2 2 0 CV", "V 3 2 0 TH 0.1 100", "END"}) {
        type(line);
    }
    type("vse");
    ASSERT_EQ(level_count(), 1);
    leave_sheet();
    type("surface_sheet");
    ASSERT_EQ(level_count(), 1);
    settle();
    const int image = lens_data().image_surface;
    ASSERT_EQ(image, 5);
    const QRect last = cell_rect(kRadiusCell, image);
    QWidget* sheet = tavo_test::find_widget<QWidget>("tavo_surface_3");
    ASSERT_NE(sheet, nullptr);
    EXPECT_GE(last.top(), 0);
    EXPECT_LE(last.bottom(), sheet->height() - 1)
        << "row " << last.top() << ".." << last.bottom() << " in " << sheet->height();
    leave_sheet();
}

}  // namespace sheet_levels_test
