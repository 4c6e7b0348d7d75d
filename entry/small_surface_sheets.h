// The small special-data sheets of the current surface: its coordinates (decentres, tilts, their
// pickup, the bend switch and the coordinate return), its note, its conic and toric data, its
// options (Fresnel surface, alternate intersection, total internal reflection only, rod,
// drawing control), its grating and its perfect lens. The special-data handler opens them.
#pragma once

#include "runtime/command_levels.h"
#include "tables/table_names.h"
#include "ui/sheet_kit.h"

// Buttons of the sheets (field ids in the 900s; the others are the entry commands' numbers).
inline constexpr int kFieldCoordinatesDelete = 909;
inline constexpr int kFieldDecentrePickup = 914;
inline constexpr int kFieldBend = 964;
inline constexpr int kFieldNoteDelete = 929;
inline constexpr int kFieldSectionRotational = 932;
inline constexpr int kFieldSectionCylinder = 933;
inline constexpr int kFieldSectionToric = 934;
inline constexpr int kFieldPerfectLensDelete = 963;
inline constexpr int kParamDrawingControl = 1131;

struct SmallSurfaceSheetsState {
    SheetKit coordinates{kMsgCoordinatesRevertCopy};
    SheetKit note{kMsgSurfaceNoteRevertCopy};
    SheetKit conic{kMsgConicToricRevertCopy};
    SheetKit options{kMsgSurfaceOptionsRevertCopy};
    SheetKit grating{kMsgGratingRevertCopy};
    SheetKit perfect_lens{kMsgPerfectLensRevertCopy};
    // The toric radio is chosen although the surface has no second curvature yet.
    bool toric_mode = false;
};
SmallSurfaceSheetsState& small_surface_sheets_state();
void reset_small_surface_sheets();

int coordinates_sheet_event(GridEvent& event);
int surface_note_sheet_event(GridEvent& event);
int conic_toric_sheet_event(GridEvent& event);
int surface_options_sheet_event(GridEvent& event);
int grating_sheet_event(GridEvent& event);
int perfect_lens_sheet_event(GridEvent& event);

void print_coordinates_sheet();
void print_surface_note_sheet();
void print_conic_toric_sheet();
void print_surface_options_sheet();
void print_grating_sheet();
void print_perfect_lens_sheet();
