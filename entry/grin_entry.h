// Gradient-index media: the kind of the profile behind the current surface, its integration
// step, the per-wavelength coefficients and the coefficient set of the general kind.
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdGrinKind = kCmdGdtL;
inline constexpr int kCmdGrinStep = kCmdDthL;
inline constexpr int kCmdGrinAxial1 = kCmdNz1L;
inline constexpr int kCmdGrinRadial1 = kCmdNr1L;
inline constexpr int kCmdGrinRadial4 = kCmdNr4L;
inline constexpr int kCmdGrinDelete = kCmdGddL;
inline constexpr int kCmdGrinSeriesA = kCmdGra_L;
inline constexpr int kCmdGrinSeriesD = kCmdGrd_L;
inline constexpr int kCmdGrinReference = kCmdGwvL;
inline constexpr int kCmdGrinAxialSeries = kCmdGnz_L;
inline constexpr int kCmdGrinGmz = kCmdGmzL;
inline constexpr int kCmdGrinGoz = kCmdGozL;

inline constexpr int kParamGrinKind = 494;
inline constexpr int kParamGrinCount = 811;

inline constexpr int kGrinKindCount = 12;
inline constexpr int kGrinGeneralSeries = 11;  // "GRD": the 28 coefficients of its own
inline constexpr int kGrinUserCount = 12;      // "UGR": a count of user values

// Makes surface n's gradient-index record of kind 1..12 afresh (kind 0 asks for it, and kind 12
// for its count). 0, or -9998 after -353 (the surface is then without a record).
int set_grin_kind(int n, int kind, int count);

// kSlotGrinData.
int cmd_grin_data();
