#include "bench/bench_lens.h"

#include "bench/bench_state.h"
#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "lens/surface_setters.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"

bool prepare_bench_lens_arrays() {
    if (bench_state() == BenchState::LensArrays && surface_array() != nullptr) {
        restore_fresh_hooks();
        return true;
    }
    take_bench_state_down();
    if (settings_layout() != 0) return false;
    set_setting_int(kSetSurfaceLimit, 12, 0, 0);
    set_setting_int(kSetMaxWavelengths, 10, 0, 0);
    set_setting_double(kSetWavelengthDefaults, 0.58756, 0, 0);
    set_setting_double(kSetWavelengthDefaults, 0.48613, 1, 0);
    set_setting_double(kSetWavelengthDefaults, 0.65627, 2, 0);
    reset_state_flags();
    // No private catalogue: the user data folder of a benchmark is empty.
    if (alloc_lens_arrays(TAVO_INSTALL_DIR, TAVO_INSTALL_DIR "/no-user-data") != 0) return false;
    set_bench_state(BenchState::LensArrays);
    return true;
}

bool make_ten_surface_lens(TenSurfaceLens& t) {
    if (!prepare_bench_lens_arrays()) return false;
    if (lens_new() != 0) return false;
    for (int i = 0; i < 10; ++i) {
        t.glass[i] = 1.6;
        t.air[i] = 1.0;
    }
    LensData& l = lens_data();
    l.image_surface = 11;
    l.aperture_stop = 5;
    l.entrance_beam_radius = 5.0;
    l.field_angle = 0.1;
    l.field_is_angle = 1;
    set_thickness_data(0, kThicknessPlain, 0, 0, 0, 0, kInfiniteDistance);
    surface(0).index = t.air;
    for (int n = 1; n <= 10; ++n) {
        const bool front = (n % 2) == 1;
        set_curvature_data(n, kCurvaturePlain, 0, 0, front ? 1.0 / 80 : -1.0 / 120);
        set_thickness_data(n, kThicknessPlain, 0, 0, 0, 0, front ? 4.0 : 6.0);
        surface(n).index = front ? t.glass : t.air;
    }
    surface(11).index = t.air;
    return true;
}
