// The paraxial Gaussian-beam solver and waist law, against Kogelnik's formulas worked out here:
// a waist w0 that lies z beyond the reference plane has there the spot w0 sqrt(1 + (z/zR)^2) and
// the radius z (1 + (zR/z)^2), zR = pi w0^2 / lambda.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "evaluation/gaussian_beam.h"

namespace {

constexpr double kLambda = 0.6328e-3;  // mm

struct Known {
    double waist, distance, spot, radius;
};

Known kogelnik(double w0, double z, double lambda) {
    const double zr = std::numbers::pi * w0 * w0 / lambda;
    return {w0, z, w0 * std::sqrt(1.0 + (z / zr) * (z / zr)),
            z == 0.0 ? 0.0 : z * (1.0 + (zr / z) * (zr / z))};
}

void expect_rel(double got, double want, const char* what) {
    EXPECT_NEAR(got, want, 1e-12 * std::max(1.0, std::fabs(want))) << what;
}

// Each case is given two quantities of a known beam and gives back the other two; cases 3 to 5
// also find the second beam that fits the same pair.
TEST(BeamSolver, EachCaseGivesBackTheKnownBeamAndItsSecondSolution) {
    struct Case {
        const char* name;
        int quantities[2];
        double w0, z;
        bool two;
    } cases[] = {
        {"1 waist and distance", {kBeamWaist, kBeamDistance}, 0.3, 250.0, false},
        {"2 spot and radius", {kBeamSpot, kBeamRadius}, 0.3, -250.0, false},
        {"3 spot and waist", {kBeamSpot, kBeamWaist}, 0.3, 250.0, true},
        // The larger waist comes first: its Rayleigh range exceeds the distance.
        {"4 spot and distance", {kBeamSpot, kBeamDistance}, 0.5, 400.0, true},
        // The larger spot comes first: the waist lies beyond the Rayleigh range.
        {"5 waist and radius", {kBeamWaist, kBeamRadius}, 0.2, 900.0, true},
        {"6 distance and radius", {kBeamDistance, kBeamRadius}, 0.3, -120.0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Known k = kogelnik(c.w0, c.z, kLambda);
        const double values[4] = {k.spot, k.waist, k.distance, k.radius};
        BeamParams beam;
        beam.spot = beam.waist = beam.distance = beam.radius = -999.0;
        beam.marks[0] = beam.marks[1] = beam.marks[2] = beam.marks[3] = 0;
        mark_beam_quantity(beam, c.quantities[0]);
        mark_beam_quantity(beam, c.quantities[1]);
        double* fields[4] = {&beam.spot, &beam.waist, &beam.distance, &beam.radius};
        *fields[c.quantities[0]] = values[c.quantities[0]];
        *fields[c.quantities[1]] = values[c.quantities[1]];
        BeamValues second;
        std::uint8_t two = 7;
        int which = 0;
        ASSERT_EQ(solve_beam_parameters(&which, beam, second, kLambda, two), 0);
        EXPECT_EQ(std::string(c.name).substr(0, 1), std::to_string(which));
        expect_rel(beam.spot, k.spot, "spot");
        expect_rel(beam.waist, k.waist, "waist");
        expect_rel(beam.distance, k.distance, "distance");
        expect_rel(beam.radius, k.radius, "radius");
        EXPECT_EQ(two, c.two ? 1 : 0);
        if (!c.two) {
            EXPECT_EQ(second.spot, 0.0);
            EXPECT_EQ(second.waist, 0.0);
            continue;
        }
        // The second beam shares the given pair and is itself a Gaussian beam.
        const double zr = std::numbers::pi * c.w0 * c.w0 / kLambda;
        Known other{};
        if (which == 3) other = kogelnik(c.w0, -c.z, kLambda);
        // Given w and z the two waists satisfy w0a^2 w0b^2 = (z lambda / pi)^2.
        if (which == 4) other = kogelnik(c.z * kLambda / (std::numbers::pi * c.w0), c.z, kLambda);
        // Given w0 and R the two distances satisfy za zb = zR^2.
        if (which == 5) other = kogelnik(c.w0, zr * zr / c.z, kLambda);
        expect_rel(second.spot, other.spot, "second spot");
        expect_rel(second.waist, other.waist, "second waist");
        expect_rel(second.distance, other.distance, "second distance");
        expect_rel(second.radius, other.radius, "second radius");
    }
}

TEST(BeamSolver, PairsThatDefineNoBeamAreRefused) {
    struct Case {
        const char* name;
        int c;
        double spot, waist, distance, radius;
        int result;
    } cases[] = {
        {"spot below the waist", 3, 0.5, 0.6, 0, 0, -1676},
        // w^4 < (4 / pi^2) z^2 lambda^2: no waist gives that spot so far away.
        {"case 4 with D < 0", 4, 0.01, 0, 1000.0, 0, -1676},
        {"case 6 with z = 0", 6, 0, 0, 0.0, 100.0, -1676},
        {"case 6 with R between 0 and z", 6, 0, 0, 100.0, 50.0, -1676},
        {"case 5 with a radius too tight", 5, 0, 1.0, 0, 10.0, -1676},
        {"case 1 with a zero waist", 1, 0, 0.0, 10.0, 0, -1676},
        {"no case", 9, 1, 1, 1, 1, -1676},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BeamParams beam;
        beam.spot = c.spot;
        beam.waist = c.waist;
        beam.distance = c.distance;
        beam.radius = c.radius;
        BeamValues second{1, 1, 1, 1};
        std::uint8_t two = 1;
        EXPECT_EQ(beam_from_two_parameters(c.c, beam, second, kLambda, two), c.result);
    }
}

TEST(BeamSolver, EdgesOfTheTwoSolutionCases) {
    // Case 4 with the waist at the plane: the waist is the spot and there is one beam.
    BeamParams at_plane;
    at_plane.spot = 0.7;
    at_plane.distance = 0.0;
    BeamValues second;
    std::uint8_t two = 1;
    ASSERT_EQ(beam_from_two_parameters(4, at_plane, second, kLambda, two), 0);
    EXPECT_DOUBLE_EQ(at_plane.waist, 0.7);
    EXPECT_EQ(second.waist, 0.0);
    EXPECT_EQ(two, 0);
    EXPECT_EQ(at_plane.radius, 0.0);

    // D = 0: both waists are w / sqrt(2) and both beams are shown.
    BeamParams touching;
    touching.spot = 1.0;
    touching.distance = std::numbers::pi / (2.0 * kLambda);  // w^4 = (4 / pi^2) z^2 lambda^2
    two = 1;
    ASSERT_EQ(beam_from_two_parameters(4, touching, second, kLambda, two), 0);
    EXPECT_NEAR(touching.waist, 1.0 / std::sqrt(2.0), 1e-7);
    EXPECT_NEAR(second.waist, 1.0 / std::sqrt(2.0), 1e-7);
    EXPECT_EQ(two, 1);
}

TEST(BeamSolver, DefaultsAreAWaistOfOneAtThePlane) {
    BeamParams beam;
    BeamValues second;
    std::uint8_t two = 1;
    int which = 0;
    ASSERT_EQ(solve_beam_parameters(&which, beam, second, kLambda, two), 0);
    EXPECT_EQ(which, 1);
    EXPECT_EQ(beam.spot, 1.0);
    EXPECT_EQ(beam.radius, 0.0);
    EXPECT_EQ(two, 0);
}

TEST(BeamSolver, TypingMovesTheGivenMarks) {
    struct Step {
        int typed;
        std::uint8_t marks[4];
        int c;
    } steps[] = {
        {kBeamSpot, {1, 2, 0, 0}, 3},      // spot typed after the defaults: spot and waist
        {kBeamDistance, {2, 0, 1, 0}, 4},  // then the distance: spot and distance
        {kBeamDistance, {2, 0, 1, 0}, 4},  // the last given again changes nothing
        {kBeamRadius, {0, 0, 2, 1}, 6},
    };
    BeamParams beam;
    for (const Step& s : steps) {
        mark_beam_quantity(beam, s.typed);
        for (int q = 0; q < 4; ++q) EXPECT_EQ(beam.marks[q], s.marks[q]) << s.typed << " " << q;
        EXPECT_EQ(beam_case(beam), s.c);
    }
}

TEST(BeamSolver, RayleighRangeAndBeamQuality) {
    // w0 1 mm at 1.064 um: zR = pi / 1.064e-3 mm; M^2 = 2 doubles the working wavelength.
    const double lambda = 1.064e-3;
    EXPECT_NEAR(beam_rayleigh_range(1.0, lambda), 2952.62, 0.005);
    EXPECT_NEAR(beam_rayleigh_range(1.0, 2.0 * lambda), 2952.62 / 2.0, 0.005);
    EXPECT_EQ(beam_divergence(0.0, lambda), 0.0);
    EXPECT_NEAR(beam_divergence(1.0, lambda), std::atan(lambda / std::numbers::pi), 1e-15);
}

// A waist law through a thin lens in air: Self's equation 1/(s + zR^2/(s - f)) + 1/s'' = 1/f.
TEST(BeamSolver, ThinLensFollowsSelfsEquation) {
    const double f = 80.0;
    struct Case {
        double w0, s;  // waist, and its distance in front of the lens
    } cases[] = {{0.05, 200.0}, {0.2, 60.0}, {0.5, 80.0}, {0.1, -30.0}};
    for (const Case& c : cases) {
        const double zr = std::numbers::pi * c.w0 * c.w0 / kLambda;
        const double image = 1.0 / (1.0 / f - 1.0 / (c.s + zr * zr / (c.s - f)));
        const double m = 1.0 / std::sqrt((1 - c.s / f) * (1 - c.s / f) + (zr / f) * (zr / f));
        // The matrix of the lens alone, on (height, minus reduced slope): power 1/f.
        const SystemMatrix lens{1.0, 0.0, 1.0 / f, 1.0};
        // The waist lies s in front of the plane: distance -s.
        const BeamValues out =
            beam_through_matrix({0, c.w0, -c.s, 0}, lens, kLambda, 1.0, 1.0, false);
        EXPECT_NEAR(out.distance, image, 1e-9 * std::fabs(image)) << c.s;
        EXPECT_NEAR(out.waist, m * c.w0, 1e-12) << c.s;
        // Back through the lens gives the input again.
        const BeamValues back = beam_through_matrix(out, lens, kLambda, 1.0, 1.0, true);
        EXPECT_NEAR(back.distance, -c.s, 1e-9 * std::fabs(c.s)) << c.s;
        EXPECT_NEAR(back.waist, c.w0, 1e-12) << c.s;
    }
}

}  // namespace
