// The tolerances of the current surface and the lens's tolerance test wavelength. Each value is
// entered with its switch: HLD before the value holds it.
#pragma once

inline constexpr int kCmdTestWavelength = 439;
inline constexpr int kCmdToleranceFirst = 685;
inline constexpr int kCmdToleranceLast = 702;
inline constexpr int kMsgToleranceHeld = -1037;

// Slot 104: TWL, THT .. CAB.
int cmd_tolerance_data();
