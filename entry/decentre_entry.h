// Decentre and tilt of the current surface, its bend switch, the coordinate return to an
// earlier surface and the decentre given in another surface's frame.
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdTiltMode = kCmdDtL;
inline constexpr int kCmdDecentreX = kCmdDcxL;
inline constexpr int kCmdDecentreY = kCmdDcyL;
inline constexpr int kCmdDecentreZ = kCmdDczL;
inline constexpr int kCmdTiltA = kCmdTlaL;
inline constexpr int kCmdTiltB = kCmdTlbL;
inline constexpr int kCmdTiltC = kCmdTlcL;
inline constexpr int kCmdReturnCoordinates = kCmdRcoL;
inline constexpr int kCmdReturnDelete = kCmdRcdL;
inline constexpr int kCmdBendOn = kCmdBenL;
inline constexpr int kCmdBendOff = kCmdBndL;
inline constexpr int kCmdDecentreDelete = kCmdTddL;
inline constexpr int kCmdGlobalCoordinates = kCmdGcL;

// kSlotDecentreTilt.
int cmd_decentre_tilt();
