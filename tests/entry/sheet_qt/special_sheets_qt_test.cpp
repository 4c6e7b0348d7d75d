// The special-data, wavelength, system-data and optimisation-parameters sheets on Qt, opened by
// their commands typed at a row of surface 2 of the lens's sheet: a value typed into a cell (click,
// keys, Enter) is the lens, and the cell is drawn as the same sheet draws the lens entered by
// commands.
#include "entry/wavelength_sheet.h"
#include "runtime/command_levels.h"
#include "tests/entry/sheet_qt/sheet_qt_fixture.h"
#include "ui/grid_cells.h"

namespace {

using QtSpecialSheet = tavo_test::QtNestedSheet;
using tavo_test::NestedCase;

TEST_F(QtSpecialSheet, AValueTypedIntoASheetIsTheLensAndIsDrawnAsEntered) {
    const NestedCase cases[] = {
        {"decentre", "specialspr 7", "DCY 2.5", kCmdDcyL, 2, "2.5", kCmdDcxL, 2,
         [] { return surface(2).decentre->dcy; }},
        {"standard asphere", "specialspr 11", "AD 1e-5", kCmdAdL, 2, "1e-5", kCmdAeL, 2,
         [] { return surface(2).asphere->entered[2]; }},
        {"gradient index", "specialspr 36", "GDT ARG;NZ1 WV2 1.6", kCmdNz1L, 1, "1.6", kCmdNz2L, 1,
         [] { return surface(2).grin->coefficients[4][1]; }},
        // The wavelength cell offers the standard lines when Enter activates it; its row's
        // weight takes the typed value.
        {"wavelength weight", "wavelength_sheet", "WW2 0.5", kCmdWw, 1, "0.5", kCmdWw, 0,
         [] { return lens_data().wavelengths[1].weight; }},
        {"temperature", "open_aux_sheet 6", "TEM 25 1", kCmdTem, 0, "25", kCmdPre, 0,
         [] { return lens_data().temperature; }},
        {"damping", "open_aux_sheet 3", "OPDF 0.05", kCmdOpdfL, 0, "0.05", kCmdOpdsL, 0,
         [] { return lens_data().optimise_params->damping; }},
    };
    for (const NestedCase& c : cases) check_typed_is_entered(c);
}

}  // namespace
