// Refractive indices from every formula kind, the air and temperature correction, model glasses
// and wavelength tables. Reference values were computed separately from the textbook forms of
// the formulas with 40-digit decimal arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "lens/glass_cache.h"
#include "lens/glass_catalog.h"
#include "lens/refractive_index.h"
#include "numeric/memory.h"

namespace {

constexpr double kTol = 1e-10;

GlassData formula_glass(int kind, std::initializer_list<double> coefficients) {
    GlassData g{};
    pad_glass_name("TEST", g.name);
    g.dispersion_kind = kind;
    g.dispersion_count = static_cast<int>(coefficients.size());
    int i = 0;
    for (double c : coefficients) g.dispersion[i++] = c;
    return g;
}

// N-BK7 (Sellmeier B1, B2, B3, C1, C2, C3) with its temperature constants.
GlassData bk7() {
    GlassData g = formula_glass(kDispersionSellmeier, {1.03961212, 0.231792344, 1.01046945,
                                                       0.00600069867, 0.0200179144, 103.560653});
    g.thermal_kind = kThermalAbsolute;
    const double thermal[] = {1.86e-6, 1.31e-8, -1.37e-11, 4.34e-7, 6.27e-10, 0.17};
    std::memcpy(g.thermal, thermal, sizeof thermal);
    return g;
}

// A power series (A0 + A1 l^2 + A2 l^-2 + A3 l^-4 + A4 l^-6 + A5 l^-8 = n^2).
GlassData power_series() {
    return formula_glass(kDispersionPowerSeries, {2.4196645, -0.0083329314, 0.01539739,
                                                  -0.00017391654, 6.218322e-05, -3.062131e-06});
}

double index_at(const GlassData& g, double wavelength, double temperature = 20.0,
                double pressure = 1.0, int* result = nullptr) {
    double out = -1.0;
    LensWavelengths lens{&wavelength, 1, temperature, pressure};
    int r = glass_indices_at_wavelengths(g, lens, &out);
    if (result != nullptr) *result = r;
    return out;
}

struct FormulaCase {
    const char* what;
    GlassData glass;
    double wavelength;
    double expected;
};

TEST(RefractiveIndex, EveryFormulaKindMatchesHandComputedValues) {
    const GlassData conrady = formula_glass(kDispersionConrady, {1.4951, 0.0076, 0.00016});
    const FormulaCase cases[] = {
        {"Sellmeier 404.7 nm", bk7(), 0.4047, 1.530234355579296},
        {"Sellmeier F", bk7(), 0.4861327, 1.522376289731229},
        {"Sellmeier d", bk7(), 0.5875618, 1.516800034500589},
        {"Sellmeier C", bk7(), 0.6562725, 1.514322347261375},
        {"Sellmeier 1014 nm", bk7(), 1.01398, 1.507308065890182},
        {"Sellmeier 1.5 um", bk7(), 1.5, 1.501274059152516},
        {"power series 365 nm", power_series(), 0.36501, 1.594019983697266},
        {"power series F", power_series(), 0.4861327, 1.575901099477875},
        {"power series d", power_series(), 0.5875618, 1.568829101877728},
        {"power series C", power_series(), 0.6562725, 1.565751433981337},
        {"power series 1014 nm", power_series(), 1.01398, 1.557550205913530},
        {"Conrady 400 nm", conrady, 0.4, 1.518052847075210},
        {"Conrady d", conrady, 0.5875618, 1.509063850272383},
        {"Conrady 800 nm", conrady, 0.8, 1.504949385621484},
        {"Conrady 1.2 um", conrady, 1.2, 1.501517858419368},
        {"no formula", formula_glass(kDispersionNone, {}), 0.5875618, 1.0},
        {"power series below 1", formula_glass(kDispersionPowerSeries, {0.5, 0, 0, 0, 0, 0}),
         0.5875618, 1.0},
    };
    for (const FormulaCase& c : cases) {
        SCOPED_TRACE(c.what);
        int result = -1;
        EXPECT_NEAR(index_at(c.glass, c.wavelength, 20.0, 1.0, &result), c.expected, kTol);
        EXPECT_EQ(result, 0);
    }
}

TEST(RefractiveIndex, AtTwentyDegreesAndOneAtmosphereTheFormulaValueIsReturnedUnchanged) {
    for (double w : {0.4047, 0.5875618, 1.01398}) {
        double n;
        ASSERT_TRUE(dispersion_index(bk7(), w, n));
        EXPECT_EQ(index_at(bk7(), w), n);
    }
}

struct AirCase {
    int thermal_kind;
    double wavelength, temperature, pressure, expected;
};

TEST(RefractiveIndex, AirTemperatureAndPressureCorrection) {
    // Thermal kind 1 with N-BK7's constants, kind 2 with dn/dT = 2.5e-6, kind 0 without.
    const AirCase cases[] = {
        {1, 0.5875618, 35, 0.8, 1.516921058156204},  {2, 0.5875618, 35, 0.8, 1.516936328533591},
        {0, 0.5875618, 35, 0.8, 1.516898826091157},  {1, 0.4861327, 35, 0.8, 1.522503444485142},
        {2, 0.4861327, 35, 0.8, 1.522513728201543},  {0, 0.4861327, 35, 0.8, 1.522476225739865},
        {1, 0.6562725, -10, 1.0, 1.514243442224182}, {2, 0.6562725, -10, 1.0, 1.514247347261375},
        {0, 0.6562725, -10, 1.0, 1.514322347261375}, {1, 1.01398, 20, 0.5, 1.507511140167534},
        {2, 1.01398, 20, 0.5, 1.507511140167534},    {0, 1.01398, 20, 0.5, 1.507511140167534},
    };
    for (const AirCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.thermal_kind << " at " << c.wavelength
                                        << " um, " << c.temperature << " C, " << c.pressure);
        GlassData g = bk7();
        g.thermal_kind = c.thermal_kind;
        if (c.thermal_kind == kThermalDndT) g.thermal[0] = 2.5;
        EXPECT_NEAR(index_at(g, c.wavelength, c.temperature, c.pressure), c.expected, kTol);
    }
}

TEST(RefractiveIndex, FormulaWithoutRealIndexGivesOneAndIsReported) {
    // Just below the first resonance of N-BK7 n^2 is negative; a resonance at 0.25 um^2 puts a
    // pole exactly at 0.5 um.
    GlassData g = bk7();
    GlassData pole = formula_glass(kDispersionSellmeier, {1.0, 0.2, 1.0, 0.25, 0.02, 100.0});
    const double below = std::sqrt(0.0200179144) - 1e-4;
    const double wavelengths[] = {0.5875618, below, 0.5};
    for (double t : {20.0, 30.0}) {
        SCOPED_TRACE(t);
        double out[3] = {0, 0, 0};
        LensWavelengths lens{wavelengths, 3, t, 1.0};
        EXPECT_EQ(glass_indices_at_wavelengths(g, lens, out), kMsgNoRealIndex);
        EXPECT_GT(out[0], 1.5);
        EXPECT_EQ(out[1], 1.0);
        EXPECT_EQ(glass_indices_at_wavelengths(pole, lens, out), kMsgNoRealIndex);
        EXPECT_EQ(out[2], 1.0);
        EXPECT_TRUE(std::isfinite(out[0]) && std::isfinite(out[1]));
    }
    GlassData conrady = formula_glass(kDispersionConrady, {1.5, 0.01, 0.001});
    int result = 0;
    EXPECT_EQ(index_at(conrady, 0.0, 20.0, 1.0, &result), 1.0);
    EXPECT_EQ(result, kMsgNoRealIndex);
}

TEST(RefractiveIndex, KindFourComputesNothingEvenAwayFromTheReferenceAir) {
    GlassData g = formula_glass(4, {});
    const double w[] = {0.5, 0.6};
    double out[] = {1.7, 1.8};
    LensWavelengths lens{w, 2, 40.0, 0.7};
    EXPECT_EQ(glass_indices_at_wavelengths(g, lens, out), 0);
    EXPECT_EQ(out[0], 1.7);
    EXPECT_EQ(out[1], 1.8);
}

TEST(ModelGlass, StartConstantsAreTheGivenNormalLine) {
    const double dfc[] = {0.58756, 0.48613, 0.65627};
    const double given[] = {0.724006757580147, -0.000478971605446, 1.48749006855839,
                            0.006924105143404, 0.079208499674583,  0.025283911063413};
    const NormalLineConstants& k = normal_line_constants(dfc, 3);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(k.k[i], given[i]) << i;

    // Other wavelengths: constants from the reference glasses, then back to the given ones.
    const double other[] = {0.55, 0.45, 0.7};
    const double expected[] = {0.606451074944002,   -0.00119456069020373, 1.48897204129227,
                               0.01052514465657287, 0.1215216437157972,   0.03844793053266875};
    const NormalLineConstants& k2 = normal_line_constants(other, 3);
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(k2.k[i], expected[i], 1e-12) << i;
    const NormalLineConstants& k3 = normal_line_constants(dfc, 3);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(k3.k[i], given[i]) << i;
    // Fewer than three wavelengths keep what is stored.
    const NormalLineConstants& k4 = normal_line_constants(other, 2);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(k4.k[i], given[i]) << i;
}

struct ModelArrays {
    double wavelengths[10] = {};
    double indices[10] = {};
    GlassData glass{};
    ModelArrays() {
        pad_glass_name("MODEL", glass.name);
        glass.dispersion_kind = kDispersionModelGlass;
        glass.model_wavelengths = wavelengths;
        glass.model_indices = indices;
    }
};

TEST(ModelGlass, IndexAndAbbeNumberGiveTheNormalLineGlass) {
    const double dfc[] = {0.58756, 0.48613, 0.65627};
    const double k0 = 0.724006757580147, k1 = -0.000478971605446;
    ModelArrays m;
    std::memcpy(m.wavelengths, dfc, sizeof dfc);
    m.indices[0] = 1.6;
    m.indices[1] = 40.0;
    derive_model_glass_indices(m.glass, dfc, 3);
    // Partial dispersion on the normal line: (nF - nd) / (nF - nC) = k0 + k1 * vd.
    const double d = 0.6 / 40.0;
    const double n_f = 1.6 + d * (k0 + k1 * 40.0);
    EXPECT_NEAR(m.indices[0], 1.6, 0.0);
    EXPECT_NEAR(m.indices[1], n_f, 1e-14);
    EXPECT_NEAR(m.indices[2], n_f - d, 1e-14);

    // A second value up to 2 places the glass between the lines through glasses E (0) and
    // D (1): at glass D's index and 1 it has glass D's dispersion, likewise E at 0.
    struct {
        double nd, blend, dispersion;
    } lines[] = {{1.784720120253573, 1.0, 0.03046725159637836},
                 {1.620410060839348, 0.0, 0.01028484240678525}};
    for (const auto& line : lines) {
        ModelArrays e;
        std::memcpy(e.wavelengths, dfc, sizeof dfc);
        e.indices[0] = line.nd;
        e.indices[1] = line.blend;
        derive_model_glass_indices(e.glass, dfc, 3);
        EXPECT_NEAR(e.indices[1] - e.indices[2], line.dispersion, 1e-12);
    }

    // A glass with all three values given is left alone.
    ModelArrays given;
    std::memcpy(given.wavelengths, dfc, sizeof dfc);
    given.indices[0] = 1.5;
    given.indices[1] = 50.0;
    given.indices[2] = 1.49;
    derive_model_glass_indices(given.glass, dfc, 3);
    EXPECT_EQ(given.indices[1], 50.0);
    EXPECT_EQ(given.indices[2], 1.49);
}

TEST(ModelGlass, InterpolationThroughTheDefiningIndices) {
    ModelArrays m;
    const double defining[] = {0.48613, 0.58756, 0.65627};
    const double values[] = {1.5224, 1.5168, 1.5143};
    std::memcpy(m.wavelengths, defining, sizeof defining);
    std::memcpy(m.indices, values, sizeof values);
    // At the defining wavelengths the defining values come back.
    double out[3];
    ASSERT_EQ(model_glass_at_wavelengths(m.glass, defining, 3, out), 0);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(out[i], values[i], 1e-12) << i;

    // One defining wavelength: the same index everywhere.
    ModelArrays one;
    one.wavelengths[0] = 0.58756;
    one.indices[0] = 1.7;
    const double lens[] = {0.45, 0.6, 0.9};
    ASSERT_EQ(model_glass_at_wavelengths(one.glass, lens, 3, out), 0);
    for (double n : out) EXPECT_NEAR(n, 1.7, 1e-12);

    // A lens wavelength of 0.14 um: the defining values position by position (the first one
    // where a value is missing).
    m.indices[1] = 0.0;
    const double low[] = {0.14, 0.5, 0.6};
    ASSERT_EQ(model_glass_at_wavelengths(m.glass, low, 3, out), 0);
    EXPECT_EQ(out[0], 1.5224);
    EXPECT_EQ(out[1], 1.5224);
    EXPECT_EQ(out[2], 1.5143);

    // No defining wavelength at all cannot be interpolated; the output stays.
    ModelArrays none;
    out[0] = 9.0;
    EXPECT_EQ(model_glass_at_wavelengths(none.glass, lens, 3, out), kMsgModelGlassFailed);
    EXPECT_EQ(out[0], 9.0);
}

TEST(ModelGlass, CacheEntryGetsItsIndicesOrTheComplementOnFailure) {
    ASSERT_EQ(reset_glass_cache(10), 0);
    GlassCache& cache = glass_cache();
    ModelArrays m;
    m.wavelengths[0] = 0.5;
    m.wavelengths[1] = 0.6;
    m.indices[0] = 1.6;
    m.indices[1] = 1.59;
    GlassData& entry = cache.entries[1];
    double* index = entry.index;
    entry = m.glass;
    entry.index = index;
    cache.count = 2;
    const double lens[] = {0.5, 0.55, 0.6};
    EXPECT_EQ(model_glass_indices(1, {lens, 3}), 1);
    EXPECT_NEAR(entry.index[0], 1.6, 1e-12);
    EXPECT_NEAR(entry.index[2], 1.59, 1e-12);
    EXPECT_GT(entry.index[1], 1.59);
    EXPECT_LT(entry.index[1], 1.6);
    entry.model_wavelengths = nullptr;
    EXPECT_EQ(model_glass_indices(1, {lens, 3}), ~1);
    entry.model_wavelengths = entry.model_indices = nullptr;
    free_glass_cache();
}

TEST(GlassTable, InterpolatedAtTheLensWavelengthsToThreeDigits) {
    GlassData g{};
    g.table_flag = 1;
    g.table_count = 4;
    const double tw[] = {0.4, 0.5, 0.6, 0.8};
    const double tv[] = {0.5, 0.7, 0.8, 0.9};
    std::memcpy(g.table_wavelengths, tw, sizeof tw);
    std::memcpy(g.table_values, tv, sizeof tv);
    const double lens[] = {0.3, 0.4, 0.441, 0.551, 0.7, 0.9};
    ASSERT_EQ(interpolate_glass_table(g, lens, 6, 10), 0);
    ASSERT_NE(g.table_at_wavelengths, nullptr);
    // Quadratic through (0.4, 0.5), (0.5, 0.7), (0.6, 0.8) at 0.441: 0.594095 -> 0.594; at
    // 0.551: 0.763495 -> 0.763; through (0.5, 0.7), (0.6, 0.8), (0.8, 0.9) at 0.7: 0.86667 ->
    // 0.867. Outside the table: the end values.
    const double expected[] = {0.5, 0.5, 0.594, 0.763, 0.867, 0.9};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(g.table_at_wavelengths[i], expected[i], 1e-12) << i;
    mem_free(g.table_at_wavelengths);
    GlassData plain{};
    EXPECT_EQ(interpolate_glass_table(plain, lens, 6, 10), 0);
    EXPECT_EQ(plain.table_at_wavelengths, nullptr);
}

}  // namespace
