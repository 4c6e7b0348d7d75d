// Glasses typed by name: what GLA and GLF store, model glasses with their indices paired with the
// lens wavelengths, catalogue indices against the catalogue's Sellmeier formula, and the search
// for the catalogue glass nearest to a model glass.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "lens/glass_cache.h"
#include "lens/glass_lookup.h"
#include "platform/console/console_backend.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

// n(lambda) of a glass from its Sellmeier coefficients: n^2 - 1 = sum B l^2 / (l^2 - C).
double sellmeier(const double b[3], const double c[3], double l) {
    double s = 1.0;
    for (int k = 0; k < 3; ++k) s += b[k] * l * l / (l * l - c[k]);
    return std::sqrt(s);
}

// Schott's coefficients as the catalogue carries them.
const double kSf6B[3] = {1.77931763, 0.338149866, 2.08734474};
const double kSf6C[3] = {0.0133714182, 0.0617533621, 174.01759};
const double kLak9B[3] = {1.46231905, 0.344399589, 1.15508372};
const double kLak9C[3] = {0.00724270156, 0.0243353131, 85.4686868};

const std::vector<std::string> kSmallLens = {"LEN NEW \"Glasses\"",
                                             "NXT",
                                             "SRF 50 5 N-BK7 10",
                                             "SRF -50 3 AIR 10",
                                             "SRF 40 4 N-F2 9",
                                             "NXT",
                                             "END"};

std::string name_of(const SurfaceRecord& s) {
    return std::string(s.medium_name, 10);
}

TEST_F(Entry, GlassLinesStoreNameAndKind) {
    struct Case {
        std::string line;
        int kind;
        std::string name;  // as stored, blank-padded to 10
    };
    const Case cases[] = {
        {"GLA N-SF6", kMediumGlass, "N-SF6     "},
        {"GLA n-lak9", kMediumGlass, "N-LAK9    "},
        {"GLA air", kMediumAir, "AIR       "},
        {"GLA RFL", kMediumMirror, "RFL       "},
        {"GLA REFL_HATCH", kMediumMirror, "REFL_HATCH"},
        {"GLF N-SF6", kMediumGlassFixed, "N-SF6     "},
        {"GLA \"MY GLASS\" 1.52 1.53 1.51", kMediumModelGlass, "MY GLASS  "},
        // Twelve characters are cut to ten.
        {"GLA \"ABCDEFGHIJKL\" 1.6", kMediumModelGlass, "ABCDEFGHIJ"},
        {"GLA MOD SRF3GL 1.5168 64.17", kMediumModelIndexAbbe, "SRF3GL    "},
        {"GLA mod low 1.5 60", kMediumModelIndexAbbe, "LOW       "},
    };
    for (const Case& c : cases) {
        run_all(kSmallLens);
        run_all({"LEN", "GTO 2"});
        ASSERT_EQ(run(c.line), 0) << c.line << ": " << error_text();
        EXPECT_EQ(surface(2).medium_kind, c.kind) << c.line;
        run_all({"END"});
        EXPECT_EQ(name_of(surface(2)), c.name) << c.line;
    }
}

TEST_F(Entry, ModelGlassIndicesPairWithTheLensWavelengths) {
    run_all(kSmallLens);
    ASSERT_EQ(lens_data().wavelength_count, 3);
    run_all({"LEN", "GTO 2", "GLA \"MY GLASS\" 1.52 1.53 1.51"});
    const std::string echo = take_output();
    EXPECT_NE(echo.find("MY GLASS"), std::string::npos) << echo;
    EXPECT_NE(echo.find("INDICES"), std::string::npos) << echo;
    run_all({"GTO 3", "GLA MOD SRF3GL 1.6 40", "END"});

    // The cache entry of the model glass holds one defining index per lens wavelength.
    const int cached = find_cached_glass("MY GLASS  ", CachedGlass::kModel);
    ASSERT_GE(cached, 0);
    const GlassData& entry = glass_cache().entries[cached];
    const double given[3] = {1.52, 1.53, 1.51};
    for (int w = 0; w < 3; ++w) {
        EXPECT_EQ(entry.model_wavelengths[w], lens_data().wavelengths[w].wavelength);
        EXPECT_EQ(entry.model_indices[w], given[w]);
        EXPECT_NEAR(surface(2).index[w], given[w], 1e-12) << w;
    }
    // Index and Abbe number: the index at the first (d) wavelength and (n_d - 1)/(n_F - n_C)
    // at the lens's d, F and C lines give back what was typed.
    ASSERT_NEAR(lens_data().wavelengths[0].wavelength, 0.58756, 1e-5);
    ASSERT_NEAR(lens_data().wavelengths[1].wavelength, 0.48613, 1e-5);
    ASSERT_NEAR(lens_data().wavelengths[2].wavelength, 0.65627, 1e-5);
    const double* n = surface(3).index;
    EXPECT_NEAR(n[0], 1.6, 1e-9);
    EXPECT_NEAR((n[0] - 1.0) / (n[1] - n[2]), 40.0, 1e-6);
    EXPECT_GT(n[1], n[0]);
    EXPECT_GT(n[0], n[2]);
}

// With two wavelengths the glass has no third value to show that its second was derived: a
// later set-up must still read the Abbe number as given, not the derived index in its place.
TEST_F(Entry, AnIndexAndAbbeGlassOfTwoWavelengthsKeepsItsIndicesAtEverySetUp) {
    run_all({"LEN NEW \"Two\"", "WV 0.58756 0.48613", "NXT", "SRF 50 5 N-BK7 10",
             "SRF -50 3 AIR 10", "SRF 40 4 N-F2 9", "NXT", "END"});
    ASSERT_EQ(lens_data().wavelength_count, 2);
    run_all({"LEN", "GTO 3", "GLA MOD TWO 1.6 40", "END"});
    const double n1 = surface(3).index[0];
    const double n2 = surface(3).index[1];
    EXPECT_NEAR(n1, 1.6, 1e-12);
    // On the normal line at the start constants: n_F = n_d + (n_d - 1)/V * (k0 + k1 V).
    const double k0 = 0.724006757580147, k1 = -0.000478971605446;
    EXPECT_NEAR(n2, 1.6 + 0.6 / 40.0 * (k0 + k1 * 40.0), 1e-12);
    // Any later change of materials sets the lens up again.
    for (int pass = 0; pass < 3; ++pass) {
        run_all({"LEN", "GTO 1", pass % 2 == 0 ? "GLA N-SF6" : "GLA N-BK7", "END"});
        EXPECT_NEAR(surface(3).index[0], n1, 1e-12) << pass;
        EXPECT_NEAR(surface(3).index[1], n2, 1e-12) << pass;
    }
}

TEST_F(Entry, CatalogueGlassIndicesFollowTheSellmeierFormula) {
    run_all(kSmallLens);
    run_all({"LEN", "GTO 1", "GLA N-SF6", "GTO 3", "GLF n-lak9", "END"});
    for (int w = 0; w < 3; ++w) {
        const double l = lens_data().wavelengths[w].wavelength;
        EXPECT_NEAR(surface(1).index[w], sellmeier(kSf6B, kSf6C, l), 2e-5) << w;
        EXPECT_NEAR(surface(3).index[w], sellmeier(kLak9B, kLak9C, l), 2e-5) << w;
    }
}

TEST_F(Entry, GlassRefusals) {
    run_all(kSmallLens);
    run_all({"LEN", "GTO 2"});
    // A glass in no catalogue: told, the surface becomes air and the line fails.
    const std::size_t printed = output().size();
    EXPECT_EQ(run("GLA NOSUCH"), kErrorTextReady);
    EXPECT_EQ(error_text(), "Glass NOSUCH is in no catalogue");
    EXPECT_NE(output().find("Glass NOSUCH is in no catalogue: the medium is air", printed),
              std::string::npos);
    EXPECT_EQ(surface(2).medium_kind, kMediumAir);
    // FIX on a catalogue glass: refused, nothing changes.
    run_all({"GTO 1"});
    EXPECT_EQ(run("GLA FIX"), kErrorTextReady);
    EXPECT_EQ(error_text(), "The medium of surface 1 is no model glass");
    EXPECT_EQ(name_of(surface(1)), "N-BK7     ");
    // A group-fixed medium refuses a new glass.
    run_all({"GLF N-SF6"});
    EXPECT_EQ(run("GLA N-BK7"), kErrorTextReady);
    EXPECT_EQ(error_text(), "The medium of surface 1 is fixed by its group");
    EXPECT_EQ(surface(1).medium_kind, kMediumGlassFixed);
    // The mirror keeps the object surface's medium.
    run_all({"GTO 0", "GLA RFL"});
    EXPECT_EQ(surface(0).medium_kind, kMediumAir);
    run_all({"END"});
}

// A model glass made of a catalogue glass's own indices finds that glass.
TEST_F(Entry, NearestGlassOfAModelGlass) {
    run_all(kSmallLens);
    std::vector<std::string> lines = {"LEN", "GTO 3"};
    char line[200];
    const double* l = nullptr;
    double wv[3];
    for (int w = 0; w < 3; ++w) wv[w] = lens_data().wavelengths[w].wavelength;
    l = wv;
    std::snprintf(line, sizeof line, "GLA \"COPY\" %.8f %.8f %.8f", sellmeier(kSf6B, kSf6C, l[0]),
                  sellmeier(kSf6B, kSf6C, l[1]), sellmeier(kSf6B, kSf6C, l[2]));
    lines.push_back(line);
    lines.push_back("NEAREST_GLASS 5");
    lines.push_back("END");
    run_all(lines);
    EXPECT_EQ(surface(3).medium_kind, kMediumGlass);
    EXPECT_EQ(name_of(surface(3)), "N-SF6     ");
}

// With two wavelengths the index alone decides: N-LAK9's index at the first wavelength with a
// second index far from its own still finds N-LAK9 in the Schott catalogue.
TEST_F(Entry, NearestGlassWithTwoWavelengthsByIndexAlone) {
    run_all(kSmallLens);
    run_all({"LEN", "WV 0.58756 0.48613", "END"});
    ASSERT_EQ(lens_data().wavelength_count, 2);
    char line[200];
    std::snprintf(line, sizeof line, "GLA \"ODD\" %.8f 1.2", sellmeier(kLak9B, kLak9C, 0.58756));
    run_all({"LEN", "GTO 3", line, "NEAREST_GLASS 5", "END"});
    EXPECT_EQ(name_of(surface(3)), "N-LAK9    ");
}

// GLA FIX asks for the catalogue and then whether to replace: OK replaces, Cancel keeps the
// model glass and fails with -450.
TEST_F(Entry, FixAsksBeforeReplacing) {
    char line[200];
    run_all(kSmallLens);
    std::snprintf(line, sizeof line, "GLA \"COPY\" %.8f %.8f %.8f",
                  sellmeier(kSf6B, kSf6C, 0.58756), sellmeier(kSf6B, kSf6C, 0.48613),
                  sellmeier(kSf6B, kSf6C, 0.65627));
    run_all({"LEN", "GTO 3", line});
    ui().queue_message_box_answer(platform::MessageAnswer::cancel);
    ui().enter_command_line("5");
    EXPECT_EQ(run("GLA FIX"), kErrorTextReady);
    EXPECT_EQ(error_text(), "The model glass was kept");
    // Still the model glass (kind 6 once its indices were worked out at the lens wavelengths).
    EXPECT_EQ(surface(3).medium_kind, kMediumModelGlassComputed);
    EXPECT_EQ(name_of(surface(3)), "COPY      ");

    ui().queue_message_box_answer(platform::MessageAnswer::ok);
    ui().enter_command_line("5");
    ASSERT_EQ(run("GLA FIX"), 0) << error_text();
    EXPECT_EQ(surface(3).medium_kind, kMediumGlass);
    EXPECT_EQ(name_of(surface(3)), "N-SF6     ");
    run_all({"END"});
}

// The triplet typed with its glasses by GLA after each surface focuses as the one typed with the
// glasses on its SRF lines, and both as the Sellmeier indices say.
TEST_F(Entry, TripletWithGlaLinesKeepsItsFocalLength) {
    run_all({"LEN NEW \"Cooke\"", "NXT", "SRF 21.48 2 N-SK16 10", "SRF -124.1 5.26 AIR 10",
             "SRF -19.1 1.25 N-F2 8", "SRF 22 4.69 AIR 8", "SRF 328.9 2.25 N-SK16 10",
             "SRF -16.7 43 AIR 10", "END"});
    const double by_srf = ynu_trace(6, 0).efl;
    run_all({"LEN NEW \"Cooke\"", "NXT", "SRF 21.48 2 AIR 10", "GTO 1", "GLA N-SK16", "NXT",
             "SRF -124.1 5.26 AIR 10", "SRF -19.1 1.25 AIR 8", "GTO 3", "GLA n-f2", "NXT",
             "SRF 22 4.69 AIR 8", "SRF 328.9 2.25 AIR 10", "GTO 5", "GLA N-SK16", "NXT",
             "SRF -16.7 43 AIR 10", "END"});
    EXPECT_NEAR(ynu_trace(6, 0).efl, by_srf, 1e-9);
    const double sk16_b[3] = {1.34317774, 0.241144399, 0.994317969};
    const double sk16_c[3] = {0.00704687339, 0.0229005, 92.7508526};
    const double f2_b[3] = {1.39757037, 0.159201403, 1.2686543};
    const double f2_c[3] = {0.00995906143, 0.0546931752, 119.248346};
    EXPECT_NEAR(surface(1).index[0], sellmeier(sk16_b, sk16_c, 0.58756), 2e-5);
    EXPECT_NEAR(surface(3).index[0], sellmeier(f2_b, f2_c, 0.58756), 2e-5);
    // The focal length of a y-nu trace with the formula's indices (the hand
    // computation of the console triplet test), about 50 mm.
    const double radius[6] = {21.48, -124.1, -19.1, 22, 328.9, -16.7};
    const double thickness[5] = {2, 5.26, 1.25, 4.69, 2.25};
    const double sk16 = sellmeier(sk16_b, sk16_c, 0.58756);
    const double f2 = sellmeier(f2_b, f2_c, 0.58756);
    const double index[7] = {1, sk16, 1, f2, 1, sk16, 1};
    double y = 1.0;
    double nu = 0.0;
    for (int j = 0; j < 6; ++j) {
        nu -= y * (index[j + 1] - index[j]) / radius[j];
        if (j < 5) y += thickness[j] * nu / index[j + 1];
    }
    EXPECT_NEAR(ynu_trace(6, 0).efl, -1.0 / nu, 1e-3);
}

// A store into one surface's index, typed as the command language takes it, gives that surface
// a model glass of its own: the other N-LAK9 surface of the triplet, the other air spaces and
// the object space keep their indices, before and after the lens set-up, and the stored value
// stays.
TEST_F(Entry, IndexStoredOnOneSurfaceChangesThatSurfaceAlone) {
    const std::vector<std::string> triplet = {"LEN NEW \"Cooke\"",
                                              "NXT",
                                              "SRF 21.48 2 N-LAK9 10",
                                              "SRF -124.1 5.26 AIR 10",
                                              "SRF -19.1 1.25 N-F2 8",
                                              "SRF 22 4.69 AIR 8",
                                              "SRF 328.9 2.25 N-LAK9 10",
                                              "SRF -16.7 43 AIR 10",
                                              "END"};
    struct Case {
        std::string line;
        int surface;
        int wavelength;  // counted from 1
        double added;    // to the index before the store
        double stored;   // the index after it, when nothing is added
        std::string glass;
    };
    const Case cases[] = {
        {"index[1][1] = 1.9", 1, 1, 0.0, 1.9, "GLASS1    "},
        {"index[5][2] += 0.25", 5, 2, 0.25, 0.0, "GLASS5    "},
        {"index[3][3]++", 3, 3, 1.0, 0.0, "GLASS3    "},
        // An air space shares its glass with the object space and the other air spaces.
        {"index[2][1] = 1.2", 2, 1, 0.0, 1.2, "GLASS2    "},
        {"index[0][2] = 1.33", 0, 2, 0.0, 1.33, "GLASS0    "},
    };
    for (const Case& c : cases) {
        run_all(triplet);
        const int image = lens_data().image_surface;
        const int waves = lens_data().wavelength_count;
        ASSERT_EQ(waves, 3);
        std::vector<std::vector<double>> expected;
        for (int n = 0; n <= image; ++n) {
            expected.emplace_back(surface(n).index, surface(n).index + waves);
        }
        double& changed = expected[c.surface][c.wavelength - 1];
        changed = c.added != 0.0 ? changed + c.added : c.stored;
        ASSERT_EQ(run(c.line), 0) << c.line << ": " << error_text();
        for (int pass = 0; pass < 2; ++pass) {
            for (int n = 0; n <= image; ++n) {
                for (int w = 0; w < waves; ++w) {
                    EXPECT_NEAR(surface(n).index[w], expected[n][w], 1e-12)
                        << c.line << ", surface " << n << ", wavelength " << w + 1
                        << (pass == 0 ? "" : " after the set-up");
                }
            }
            EXPECT_EQ(name_of(surface(c.surface)), c.glass) << c.line;
            ASSERT_EQ(run("lens_setup"), 0) << error_text();
        }
    }
}

// A mirror's index is the medium in front of it: a store into it is refused and changes nothing.
TEST_F(Entry, IndexStoreOnAMirrorIsRefused) {
    run_all({"LEN NEW \"Mirror\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -100 -20 RFL 10", "END"});
    const double before = surface(2).index[0];
    EXPECT_NE(run("index[2][1] = 1.9"), 0);
    EXPECT_EQ(surface(2).medium_kind, kMediumMirror);
    EXPECT_EQ(surface(1).index[0], before);
}

// A glass name with '-' after optional numbers left out is the name, not an expression.
TEST_F(Entry, GlassNamesAfterOmittedOptionalNumbers) {
    take_output();
    ASSERT_EQ(run("glass_catalog 2 N-LAK9"), 0) << error_text();
    EXPECT_NE(take_output().find("N-LAK9     Sellmeier"), std::string::npos);
    run_all({"LEN NEW \"Names\"", "NXT", "SRF 50 N-SF6", "SRF -50 3 AIR 10", "NXT", "END"});
    EXPECT_EQ(surface(1).thickness, 0.0);
    EXPECT_EQ(name_of(surface(1)), "N-SF6     ");
}

}  // namespace
