// The second (x-z) curvature of a toric surface and the construction data of a hologram.
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdToricCurvature = kCmdCvxL;
inline constexpr int kCmdToricRadius = kCmdRdxL;
inline constexpr int kCmdToricDelete = kCmdCxdL;
inline constexpr int kCmdHologramFirstVirtual = kCmdHv1L;
inline constexpr int kCmdHologramSecondVirtual = kCmdHv2L;
inline constexpr int kCmdHologramOrder = kCmdHorL;
inline constexpr int kCmdHologramWavelength = kCmdHwvL;
inline constexpr int kCmdHologramX1 = kCmdHx1L;
inline constexpr int kCmdHologramZ2 = kCmdHz2L;
inline constexpr int kCmdHologramDelete = kCmdHodL;

// kSlotToricCurvature.
int cmd_toric_curvature();
// kSlotHologramData.
int cmd_hologram_data();
