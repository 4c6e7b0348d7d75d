// The private glass catalogue "private.glc" in the user data folder: its reader, its writer
// (a temporary file renamed over the old one), the conversion of its old binary layout, and
// the commands that list the catalogues, describe a glass and edit the private glasses.
#pragma once

#include <cstdint>
#include <string>

#include "lens/glass_catalog.h"
#include "tables/table_names.h"

// Commands and the definitions parameter whose value list names the catalogues.
constexpr int kParamCatalogTitles = 485;

// Conversion and writer failures (returned to the loader, which shows -1100).
constexpr int kConvertRenameFailed = 1;
constexpr int kConvertUnreadable = 2;
constexpr int kWriteFailed = 3;

// What the re-read runs to bring the lens up to date (installed by the set-up code).
void set_private_catalog_setup(int (*setup)(int mode));

// (Re)reads catalogue 7 and refreshes the cached private glasses.
void read_private_catalog();

// Writes count glasses (catalogue values from records, formula data from data) as the private
// catalogue: 0, or 3 when the file cannot be written (the old file is then left as it was).
int write_private_catalog(const CatalogGlass* records, const GlassData* data, int count,
                          std::string* reason = nullptr);

// Converts a private catalogue of the old binary layout into the text format; the old file
// is kept as "private.old". 0; 1 when the file cannot be moved to the backup name; 2 when the
// backup cannot be read or its counts and block numbers are not valid (the file is moved
// back); otherwise the writer's code.
int convert_private_catalog(const std::string& private_path);

// Command handlers (slots 144 to 147).
int cmd_glass_catalog();
int cmd_show_glass_catalog();
int cmd_private_glass();
int cmd_edit_private_catalog();

// Puts the four handlers into their slots of the handler table.
void install_glass_catalog_handlers();
