// The built program run as a user scripts it: a triplet typed line by line into the console,
// then the first-order listing, whose focal length must be that of a paraxial trace through
// the typed surfaces with the catalogue's indices.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "tests/support/tavolt_run.h"
#include "tests/support/temp_tree.h"

namespace {

// n(lambda) of a glass from its Sellmeier coefficients (the Schott catalogue's, as the program's
// catalogue carries them): n^2 - 1 = sum B l^2 / (l^2 - C).
double sellmeier(const double b[3], const double c[3], double l) {
    double s = 1.0;
    for (int k = 0; k < 3; ++k) s += b[k] * l * l / (l * l - c[k]);
    return std::sqrt(s);
}

TEST(ConsoleTriplet, ParaxialSetupShowsTheFocalLengthOfTheTypedLens) {
    tavo_test::TempTree tree;
    tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
    const std::string lines =
        "LEN NEW \"Cooke\"\nNXT\nSRF 21.48 2 N-SK16 10\nSRF -124.1 5.26 AIR 10\nAST\n"
        "SRF -19.1 1.25 N-F2 8\nRD 22\nTH 4.69\nAIR\nNXT\nSRF 328.9 2.25 N-SK16 10\n"
        "RD -16.7\nTH 43\nAIR\nPY 0\nNXT\nEND\npar_setup\n";
    const tavo_test::TavoltRun run = tavo_test::run_tavolt(tree, lines);
    ASSERT_GE(run.exit_code, 0);
    EXPECT_EQ(run.exit_code, 0);
    const std::string& shown = run.shown;
    EXPECT_EQ(shown.find("Error"), std::string::npos) << shown;
    EXPECT_NE(shown.find("END            7"), std::string::npos) << shown;
    const std::size_t at = shown.find("EFL");
    ASSERT_NE(at, std::string::npos) << shown;
    const double efl = std::strtod(shown.c_str() + at + 3, nullptr);

    // The trace at the first wavelength of a new lens, the d line 0.58756 um.
    const double sk16_b[3] = {1.34317774, 0.241144399, 0.994317969};
    const double sk16_c[3] = {0.00704687339, 0.0229005, 92.7508526};
    const double f2_b[3] = {1.39757037, 0.159201403, 1.2686543};
    const double f2_c[3] = {0.00995906143, 0.0546931752, 119.248346};
    const double sk16 = sellmeier(sk16_b, sk16_c, 0.58756);
    const double f2 = sellmeier(f2_b, f2_c, 0.58756);
    const double radius[6] = {21.48, -124.1, -19.1, 22, 328.9, -16.7};
    const double thickness[5] = {2, 5.26, 1.25, 4.69, 2.25};
    const double index[7] = {1, sk16, 1, f2, 1, sk16, 1};
    double y = 1.0;
    double nu = 0.0;
    for (int j = 0; j < 6; ++j) {
        nu -= y * (index[j + 1] - index[j]) / radius[j];
        if (j < 5) y += thickness[j] * nu / index[j + 1];
    }
    const double expected = -1.0 / nu;
    EXPECT_NEAR(efl, expected, 1e-5 * expected) << shown;
}

}  // namespace
