// A settings store with the values a new lens reads, the lens arrays, and a new lens.
#pragma once

#include <gtest/gtest.h>

#include "lens/glass_cache.h"
#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "lens/optimise_links.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"

class LensTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(settings_layout(), 0);
        set_setting_int(kSetSurfaceLimit, 12, 0, 0);
        set_setting_int(kSetMaxWavelengths, 10, 0, 0);
        set_wavelength_settings(0.58756, 0.48613, 0.65627);
        for (int i = 0; i < 3; ++i) set_setting_double(kSetWeightDefaults, 1.0, i, 0);
        set_setting_text(kSetDesigner, "TAVO", 0);
        reset_state_flags();
        ASSERT_EQ(alloc_lens_arrays("/nonexistent-root", "/nonexistent-data"), 0);
        ASSERT_EQ(lens_new(), 0);
    }

    void TearDown() override {
        set_optimise_links(nullptr);
        free_lens_arrays();
        free_glass_cache();
        settings_release();
    }

    static void set_wavelength_settings(double a, double b, double c) {
        set_setting_double(kSetWavelengthDefaults, a, 0, 0);
        set_setting_double(kSetWavelengthDefaults, b, 1, 0);
        set_setting_double(kSetWavelengthDefaults, c, 2, 0);
    }

    // A lens of n surfaces between object and image.
    static void make_surfaces(int n) { lens_data().image_surface = n + 1; }
};
