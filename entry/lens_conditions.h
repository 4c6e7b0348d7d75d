// The per-lens records the lens file carries beside the surfaces: the optimisation parameters
// and the spot-diagram settings. Each command sets one field, or with DEF restores its default.
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdDamping = kCmdOpdfL;
inline constexpr int kCmdDerivativeIncrement = kCmdOpdiL;
inline constexpr int kCmdAutomaticIncrements = kCmdOpviL;
inline constexpr int kCmdOperandCommand = kCmdOpoc;
inline constexpr int kCmdApertureDivisions = kCmdSdadL;
inline constexpr int kCmdMtfPathLimit = kCmdSdmsL;
inline constexpr int kCmdThroughFocusFrequency = kCmdSdtfL;
inline constexpr int kCmdShowDiffractionLimit = kCmdSdsaL;

// kSlotOperatingConditions: OPDF .. OPOC.
int cmd_operating_conditions();
// kSlotSpotDiagramSettings: SDAD .. SDSA.
int cmd_spot_diagram_settings();
