// Lens-entry commands run at a named surface from the top level: the surface becomes current,
// the entry command of the same name runs there inside the lens context, and the lens is set
// up afterwards. Also the commands that make a surface current for the stock-lens catalogue.
#pragma once

#include <string>

#include "tables/table_names.h"

inline constexpr int kCmdGlassAtSurface = kCmdGla;
inline constexpr int kCmdStockLensHere = kCmdStockLens;

// Runs text at surface n under the lens context: 0, the command's own failure, or -9998 when
// the lens set-up after it failed.
int run_command_at_surface(int n, const std::string& text);

// Opens the parts list of the current stock-lens catalogue at the current surface: 0 or a
// message number. Installed by whoever owns the catalogues; without it -277.
using CatalogPartsOpener = int (*)();
void set_catalog_parts_opener(CatalogPartsOpener opener);

int cmd_at_surface();            // kSlotAtSurface
int cmd_at_surface_first_arg();  // kSlotAtSurfaceFirstArg
int cmd_glass_at_surface();      // kSlotGlassAtSurface
int cmd_at_surface_values();     // kSlotAtSurfaceValues
int cmd_pickup_at_surface();     // kSlotPickupAtSurface
int cmd_current_surface();       // kSlotCurrentSurface
