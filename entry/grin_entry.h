// Gradient-index media: the kind of the profile behind the current surface, its integration
// step, the per-wavelength coefficients and the coefficient set of the general kind.
#pragma once

inline constexpr int kCmdGrinKind = 606;
inline constexpr int kCmdGrinStep = 607;
inline constexpr int kCmdGrinAxial1 = 608;
inline constexpr int kCmdGrinRadial1 = 612;
inline constexpr int kCmdGrinRadial4 = 615;
inline constexpr int kCmdGrinDelete = 616;
inline constexpr int kCmdGrinSeriesA = 617;
inline constexpr int kCmdGrinSeriesD = 620;
inline constexpr int kCmdGrinReference = 621;
inline constexpr int kCmdGrinAxialSeries = 622;
inline constexpr int kCmdGrinGmz = 623;
inline constexpr int kCmdGrinGoz = 624;

inline constexpr int kParamGrinKind = 494;
inline constexpr int kParamGrinCount = 811;

inline constexpr int kGrinKindCount = 12;
inline constexpr int kGrinGeneralSeries = 11;  // "GRD": the 28 coefficients of its own
inline constexpr int kGrinUserCount = 12;      // "UGR": a count of user values

inline constexpr int kMsgGrinWavelength = -511;
inline constexpr int kMsgGrinKindUnfit = -441;
inline constexpr int kMsgNoGrinToDelete = -484;
inline constexpr int kMsgGrinCoefficientIndex = -521;

// Makes surface n's gradient-index record of kind 1..12 afresh (kind 0 asks for it, and kind 12
// for its count). 0, or -9998 after -353 (the surface is then without a record).
int set_grin_kind(int n, int kind, int count);

// Slot 136.
int cmd_grin_data();
