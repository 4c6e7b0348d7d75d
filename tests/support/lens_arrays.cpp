#include "tests/support/lens_arrays.h"

#include "lens/glass_cache.h"
#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"

namespace tavo_test {

int new_lens_settings(int surface_limit) {
    if (const int rc = settings_layout(); rc != 0) return rc;
    set_setting_int(kSetSurfaceLimit, surface_limit, 0, 0);
    set_setting_int(kSetMaxWavelengths, 10, 0, 0);
    const double lines[3] = {0.58756, 0.48613, 0.65627};
    for (int i = 0; i < 3; ++i) {
        set_setting_double(kSetWavelengthDefaults, lines[i], i, 0);
        set_setting_double(kSetWeightDefaults, 1.0, i, 0);
    }
    set_setting_text(kSetDesigner, "TAVO", 0);
    return 0;
}

int open_lens_arrays(const std::string& root, const std::string& data) {
    reset_state_flags();
    if (const int rc = alloc_lens_arrays(root, data); rc != 0) return rc;
    return lens_new();
}

int open_new_lens(int surface_limit) {
    if (const int rc = new_lens_settings(surface_limit); rc != 0) return rc;
    return open_lens_arrays();
}

void close_new_lens() {
    free_lens_arrays();
    free_glass_cache();
    settings_release();
}

}  // namespace tavo_test
