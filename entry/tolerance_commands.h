// The tolerances of the current surface and the lens's tolerance test wavelength. Each value is
// entered with its switch: HLD before the value holds it.
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdTestWavelength = kCmdTwlL;
inline constexpr int kCmdToleranceFirst = kCmdThtL;
inline constexpr int kCmdToleranceLast = kCmdCabL;

// kSlotToleranceData: TWL, THT .. CAB.
int cmd_tolerance_data();
