// The second (x-z) curvature of a toric surface and the construction data of a hologram.
#pragma once

inline constexpr int kCmdToricCurvature = 578;
inline constexpr int kCmdToricRadius = 579;
inline constexpr int kCmdToricDelete = 580;
inline constexpr int kCmdHologramFirstVirtual = 634;
inline constexpr int kCmdHologramSecondVirtual = 635;
inline constexpr int kCmdHologramOrder = 636;
inline constexpr int kCmdHologramWavelength = 637;
inline constexpr int kCmdHologramX1 = 638;
inline constexpr int kCmdHologramZ2 = 643;
inline constexpr int kCmdHologramDelete = 644;

inline constexpr int kMsgNoHologramToDelete = -480;

// Slot 131.
int cmd_toric_curvature();
// Slot 137.
int cmd_hologram_data();
