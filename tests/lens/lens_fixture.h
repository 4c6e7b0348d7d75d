// A settings store with the values a new lens reads, the lens arrays, and a new lens.
#pragma once

#include <gtest/gtest.h>

#include "lens/glass_cache.h"
#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "lens/optimise_links.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "tests/support/lens_arrays.h"

class LensTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(tavo_test::open_new_lens(12), 0); }

    void TearDown() override {
        set_optimise_links(nullptr);
        tavo_test::close_new_lens();
    }

    static void set_wavelength_settings(double a, double b, double c) {
        set_setting_double(kSetWavelengthDefaults, a, 0, 0);
        set_setting_double(kSetWavelengthDefaults, b, 1, 0);
        set_setting_double(kSetWavelengthDefaults, c, 2, 0);
    }

    // A lens of n surfaces between object and image.
    static void make_surfaces(int n) { lens_data().image_surface = n + 1; }
};
