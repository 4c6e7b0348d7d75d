// Aspheres typed line by line: the record each line leaves, the sag of the surface the lens
// set-up prepares from it against the conic-plus-polynomial formula, and the refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/entry/entry_fixture.h"
#include "trace/surface_sag.h"

namespace {

using entry_test::Entry;

const std::vector<std::string> kAsphereLens = {"LEN NEW \"Aspheres\"", "NXT", "SRF 50 5 N-BK7 10",
                                               "SRF -50 3 AIR 10",     "NXT", "END"};

TEST_F(Entry, AsphereLinesFillTheRecord) {
    run_all(kAsphereLens);
    run_all({"LEN", "GTO 1", "CC -0.8", "ASP ASR 10", "AS2 1e-5", "AS3 -2e-8", "AS5 3e-14"});
    const AsphereRecord* a = surface(1).asphere;
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->kind, kAsphereSeries);
    EXPECT_EQ(a->entered_count, 6);  // r^0 .. r^10
    EXPECT_EQ(a->entered[2], 1e-5);
    EXPECT_EQ(a->entered[3], -2e-8);
    EXPECT_EQ(a->entered[5], 3e-14);
    EXPECT_NE(take_output().find("ASP ASR 10"), std::string::npos);
    run_all({"END"});

    // sag(r) = c r^2 / (1 + sqrt(1 - (1 + k) c^2 r^2)) + A4 r^4 + A6 r^6 + A10 r^10.
    const double c = 1.0 / 50;
    const double k = -0.8;
    for (const double r : {0.0, 2.0, 5.5, 9.0}) {
        const double expected = c * r * r / (1 + std::sqrt(1 - (1 + k) * c * c * r * r)) +
                                1e-5 * std::pow(r, 4) - 2e-8 * std::pow(r, 6) +
                                3e-14 * std::pow(r, 10);
        SagPoint p{};
        surface_sag_normal(surface(1), 0.0, r, p);
        EXPECT_NEAR(p.z, expected, 1e-12) << r;
        surface_sag_normal(surface(1), r * 0.6, r * 0.8, p);  // the same radius off the axis
        EXPECT_NEAR(p.z, expected, 1e-12) << r;
    }
}

TEST_F(Entry, DeformationTermsMakeThePlainPolynomial) {
    run_all(kAsphereLens);
    run_all({"LEN", "GTO 2", "AD 1e-6", "AE -2e-9", "AF 3e-12", "AG -4e-15", "END"});
    const AsphereRecord* a = surface(2).asphere;
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->kind, kAsphereEven);
    const double terms[4] = {1e-6, -2e-9, 3e-12, -4e-15};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(a->entered[i + 2], terms[i]);
    const double c = -1.0 / 50;
    const double r = 7.0;
    const double expected = c * r * r / (1 + std::sqrt(1 - c * c * r * r)) + 1e-6 * std::pow(r, 4) -
                            2e-9 * std::pow(r, 6) + 3e-12 * std::pow(r, 8) -
                            4e-15 * std::pow(r, 10);
    SagPoint p{};
    surface_sag_normal(surface(2), r, 0.0, p);
    EXPECT_NEAR(p.z, expected, 1e-12);
}

TEST_F(Entry, AsphereKindsAndTermNumbers) {
    run_all(kAsphereLens);
    run_all({"LEN", "GTO 1"});
    // A kind of no keyword becomes the plain even polynomial.
    run_all({"ASP 5 0"});
    ASSERT_NE(surface(1).asphere, nullptr);
    EXPECT_EQ(surface(1).asphere->kind, kAsphereEven);
    // The odd series takes terms 3.. by number: AT4 is entered[1].
    run_all({"ASP ISR 6", "AT4 0.5", "AT6 0.25"});
    const AsphereRecord* a = surface(1).asphere;
    ASSERT_EQ(a->kind, kAsphereOdd);
    EXPECT_EQ(a->entered_count, 4);
    EXPECT_EQ(a->entered[1], 0.5);
    EXPECT_EQ(a->entered[3], 0.25);
    // The cone: CNS sets its leading value.
    run_all({"ASP CNR 4", "CNS 0.3"});
    EXPECT_EQ(surface(1).asphere->kind, kAsphereCone);
    EXPECT_EQ(surface(1).asphere->entered[0], 0.3);
    run_all({"ASD"});
    EXPECT_EQ(surface(1).asphere, nullptr);
    run_all({"END"});
}

TEST_F(Entry, AsphereRefusalsChangeNothing) {
    run_all(kAsphereLens);
    run_all({"LEN", "GTO 1", "ASP ASR 6"});
    struct Case {
        std::string line;
        std::string message;
    };
    const Case cases[] = {
        {"AS4 1", "The coefficient index must lie in 0..3"},
        {"AS_ -1 1", "The coefficient index must lie in 0..3"},
        {"AT4 1", "The asphere of this surface does not take this command"},
        {"CNS 1", "The asphere of this surface does not take this command"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.line), kErrorTextReady) << c.line;
        EXPECT_EQ(error_text(), c.message) << c.line;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(surface(1).asphere->entered[i], 0.0) << c.line;
    }
    run_all({"ASP ISR 6"});
    EXPECT_EQ(run("AT2 1"), kErrorTextReady);
    EXPECT_EQ(error_text(), "The term number must lie in 3..6");
    EXPECT_EQ(run("AS1 1"), kErrorTextReady);
    EXPECT_EQ(error_text(), "The asphere of this surface does not take this command");
    run_all({"ASD"});
    EXPECT_EQ(run("ASD"), kErrorTextReady);
    EXPECT_EQ(error_text(), "The surface has no asphere to delete");
    EXPECT_EQ(run("AS1 1"), kErrorTextReady);
    EXPECT_EQ(surface(1).asphere, nullptr);
    run_all({"END"});
}

}  // namespace

// The listing labels each coefficient by the word that enters it again, with its value: the
// series, odd, cone, Zernike and radial forms had shown blank lines.
TEST_F(Entry, TheListingShowsEveryAsphereKindsCoefficientsByTheirWords) {
    struct Case {
        std::vector<std::string> lines;
        std::vector<std::string> shown;
    };
    const Case cases[] = {
        {{"ASP ASR 10", "AS2 1e-5", "AS5 3e-14"},
         {"ASP ASR   10", "AS2   1.0000e-05", "AS5   3.0000e-14"}},
        {{"ASP ISR 6", "AT4 0.5", "AT6 0.25"},
         {"ASP ISR    6", "AT4     0.500000", "AT6     0.250000"}},
        {{"ASP CNR 5", "CNS 0.3", "AT4 0.125"},
         {"ASP CNR    5", "CNS      0.300000", "AT3       --", "AT4     0.125000"}},
        {{"ASP ZSR 4", "AS3 0.01"}, {"ASP ZSR    4", "AS3     0.010000"}},
        {{"ASP ARA 3", "AS1 -0.02"}, {"ASP ARA    3", "AS1    -0.020000"}},
    };
    for (const Case& c : cases) {
        run_all(kAsphereLens);
        run_all({"LEN", "GTO 1"});
        run_all(c.lines);
        run_all({"END"});
        take_output();
        run_all({"LEN -1"});
        const std::string listing = take_output();
        for (const std::string& text : c.shown) {
            EXPECT_NE(listing.find(text), std::string::npos) << text << "\n" << listing;
        }
    }
}
