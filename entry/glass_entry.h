// Glasses of the current surface entered by name: catalogue glasses, model glasses given by their
// indices or by index and Abbe number, air and mirrors; and the replacement of a model glass by
// the catalogue glass that comes closest to it.
#pragma once

#include <string>

#include "tables/table_names.h"

inline constexpr int kCmdGlass = kCmdGlaL;
inline constexpr int kCmdGlassFixed = kCmdGlfL;
inline constexpr int kCmdGlassIndicesFrom = kCmdGla_L;  // GLAn: a model glass's indices from n on
inline constexpr int kCmdNearestGlass = kCmdNearestGlassL;

inline constexpr int kParamGlassCatalog = 231;  // 0..7 one catalogue, 8 all of them
inline constexpr int kAllCatalogs = 8;

// Whether a medium kind is one of the model glasses (0, 3, 6, 7).
bool is_model_glass_kind(int kind);

// The catalogue glass nearest to the model glass of surface n, by the index at the first lens
// wavelength and, with three wavelengths or more, the dispersion (n1 - 1) / (n2 - n3). Searches
// catalogue `catalog` alone, or all of them when `all` is set; of equal distances the first
// found (lower catalogue, earlier in it) wins. The name (blank-padded to 10), or empty when no
// glass was found.
std::string nearest_catalogue_glass(int n, bool all, int catalog);

// Replaces the model glass of surface n by the nearest catalogue glass after asking; catalog < 0
// asks for the catalogue first (8: all). 0, or -9998 with the reason in the error buffer, or a
// cancelled prompt's result.
int fix_model_glass(int n, int catalog);

// kSlotGlassCommands: GLA, GLF and GLAn.
int cmd_glass_commands();
// kSlotNearestGlass: the nearest glass of a catalogue in place of the model glass.
int cmd_nearest_glass();
