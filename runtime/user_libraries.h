// User libraries: shared libraries of the user's, loaded by name from DATA/bin, then ROOT/bin
// (never through the system's search), whose functions the command language calls with its
// argument cells. Functions are handed out as small ids that stay valid while their library
// is loaded.
#pragma once

#include <string>

#include "tables/table_names.h"

// Loads a library by name: the handle, or 0 when it is not found, not loadable, has no
// InitLibrary, or the name holds a folder separator.
int load_user_library(const std::string& name);

int cmd_user_dll();
void install_user_libraries();
// Unloads every user library and forgets every function id (tests, shut-down).
void unload_user_libraries();
