#include "bench/bench_lens.h"

#include "lens/lens_data.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"

bool prepare_bench_lens_arrays() {
    if (surface_array() != nullptr) return true;
    if (settings_layout() != 0) return false;
    set_setting_int(kSetSurfaceLimit, 12, 0, 0);
    set_setting_int(kSetMaxWavelengths, 10, 0, 0);
    set_setting_double(kSetWavelengthDefaults, 0.58756, 0, 0);
    set_setting_double(kSetWavelengthDefaults, 0.48613, 1, 0);
    set_setting_double(kSetWavelengthDefaults, 0.65627, 2, 0);
    reset_state_flags();
    // No private catalogue: the user data folder of a benchmark is empty.
    return alloc_lens_arrays(TAVO_INSTALL_DIR, TAVO_INSTALL_DIR "/no-user-data") == 0;
}
