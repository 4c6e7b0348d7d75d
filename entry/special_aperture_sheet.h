// The special-aperture sheet: the one or two special apertures of the current surface, their
// corners or points, angle and group typed into cells, their shape, action and pickup changed by
// buttons that run the special-aperture commands. The surface sheet's aperture button opens it.
#pragma once

#include "runtime/command_levels.h"
#include "tables/table_names.h"
#include "ui/sheet_kit.h"

inline constexpr int kFieldApertureCount = 672;  // index: the surface
inline constexpr int kFieldApertureX1 = 954;     // x1 954, y1 955, ... x4 960, y4 961
inline constexpr int kFieldApertureY4 = 961;
inline constexpr int kFieldApertureAngle = 962;
inline constexpr int kFieldApertureGroup = 965;
inline constexpr int kFieldApertureShape = 911;
inline constexpr int kFieldApertureDeleteAll = 912;
inline constexpr int kFieldApertureAction = 913;
inline constexpr int kFieldAperturePickup = 917;

inline constexpr int kParamApertureShape = 1087;
inline constexpr int kParamApertureAction = 1085;
inline constexpr int kSpecialApertureRows = 15;
inline constexpr int kSheetApertureLimit = 2;

struct SpecialApertureSheetState {
    SheetKit kit{kMsgSpecialApertureRevertCopy};
};
SpecialApertureSheetState& special_aperture_sheet_state();
void reset_special_aperture_sheet();

// Opens the sheet on the current surface (aperture choice 6): the revert copy, the first
// aperture made when there is none (its failure restores the copy and is returned), the level.
int open_special_aperture_sheet();

int special_aperture_event(GridEvent& event);
void write_special_aperture_sheet();
