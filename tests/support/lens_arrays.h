// The lens a test starts from: the settings a new lens reads, the lens arrays and a new lens.
#pragma once

#include <string>

namespace tavo_test {

// The settings a new lens reads: the surface limit, room for ten wavelengths, the d, F and C
// lines with weight 1 as the default wavelengths, and "TAVO" as the designer. 0 or the first
// failure.
int new_lens_settings(int surface_limit);

// The state flags cleared, the lens arrays with the glass catalogues of the ROOT and DATA
// folders given (none where they do not exist) and a new lens: 0 or the first failure.
int open_lens_arrays(const std::string& root = "/nonexistent-root",
                     const std::string& data = "/nonexistent-data");

// Both of the above.
int open_new_lens(int surface_limit);

// Frees what they made: the lens arrays, the glass cache and the settings.
void close_new_lens();

}  // namespace tavo_test
