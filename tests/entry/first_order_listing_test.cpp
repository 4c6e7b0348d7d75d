// The first-order listing of a thick singlet as a designer reads it: every printed value, read
// back from the store of printed numbers, against the thick-lens formulas worked out here from
// the curvatures, the thickness and the glass index; and the text of the listing itself.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "runtime/text_output.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

constexpr double kDegrees = 57.29577951308232;
constexpr double kR1 = 50.0, kR2 = -80.0, kT = 6.0, kBack = 90.0, kBeam = 10.0;

// The values of the listing in the order it prints them: row by row, left then right.
struct FirstOrder {
    double beam, slope, object_na, f_number, image_na, working_f, field_angle, object_height,
        image_height, chief_height, object_distance, front_principal, image_distance,
        rear_principal, lens_length, total_track, magnification, last_gap, pupil_radius,
        pupil_position, exit_radius, exit_position, lagrange, petzval, focal;
};

// The thick lens in index n between media n0 and n2, the stop on its first surface, an object
// d0 in front of it at height h.
FirstOrder thick_lens(double n0, double n, double n2, double d0, double h) {
    FirstOrder v{};
    const double c1 = 1.0 / kR1, c2 = 1.0 / kR2;
    const double p1 = c1 * (n - n0), p2 = c2 * (n2 - n);
    const double power = p1 + p2 - kT * p1 * p2 / n;
    const double f = n2 / power;
    v.focal = f;
    // Principal planes: the front one from the first vertex, the rear one from the last.
    v.front_principal = n0 * kT * p2 / (n * power);
    v.rear_principal = -n2 * kT * p1 / (n * power);
    // Gaussian conjugates from the principal planes: n0 / s + n2 / s' = power.
    const double s = d0 + v.front_principal;
    const double s_image = n2 / (power - n0 / s);
    v.image_distance = s_image + v.rear_principal;
    v.magnification = -(n0 * s_image) / (n2 * s);
    v.object_distance = d0;
    v.object_height = h;
    v.image_height = h * v.magnification;
    v.lens_length = kT;
    v.total_track = d0 + kT + kBack;
    v.last_gap = kBack;
    // The marginal ray from the axial object point to the rim of the stop.
    const double u0 = kBeam / d0;
    const double u1 = (n0 * u0 - kBeam * p1) / n;
    const double y2 = kBeam + kT * u1;
    v.slope = (n * u1 - y2 * p2) / n2;
    v.beam = kBeam;
    v.object_na = n0 * std::sin(std::atan(u0));
    v.image_na = std::fabs(std::cos(std::atan(u0)) * n2 * v.slope);
    v.working_f = 1.0 / (2.0 * v.image_na);
    // The chief ray through the centre of the stop, followed to the image plane.
    const double uc0 = -h / d0;
    const double uc1 = n0 * uc0 / n;
    const double yc2 = kT * uc1;
    const double uc2 = (n * uc1 - yc2 * p2) / n2;
    v.chief_height = yc2 + kBack * uc2;
    v.field_angle = std::atan2(-h, d0) * kDegrees;
    // Entrance pupil: the stop itself. Exit pupil: the stop seen through the second surface.
    v.pupil_radius = kBeam;
    v.pupil_position = 0.0;
    v.exit_position = n2 / (p2 - n / kT);
    v.exit_radius = std::fabs(n * v.exit_position / (n2 * -kT)) * kBeam;
    v.f_number = f / (2.0 * kBeam);
    v.lagrange = n0 * h * kBeam / d0;
    // The Petzval sum of the surface powers over n n'; a positive lens curves the field toward
    // itself, a negative radius.
    v.petzval = -1.0 / (n2 * (p1 / (n0 * n) + p2 / (n * n2)));
    return v;
}

class FirstOrderListing : public Entry {
protected:
    void enter(const std::string& object, const std::string& field) {
        run_all({"LEN NEW \"Singlet\"", "WV 0.6563 0.5876 0.4861", object, field, "EBR 10", "NXT",
                 "AST", "SRF 50 6 N-BK7 12", "SRF -80 90 AIR 12", "END"});
        take_output();
    }
    std::string listing() {
        take_output();
        EXPECT_EQ(run("FIRST_ORDER"), 0) << error_text();
        return take_output();
    }
    // The listing's 25 values as the store of printed numbers keeps them.
    std::vector<double> printed() {
        // The store is a ring that earlier listings may have filled: start its rows here.
        output_rows_advance(1, 0, 0.0);
        const int first = output_rows_current();
        listing();
        std::vector<double> values;
        for (int row = 0; row < 13; ++row) {
            for (int column = 1; column <= (row == 12 ? 1 : 2); ++column) {
                values.push_back(get_output_value(first + row, column));
            }
        }
        return values;
    }
    FirstOrder expected(double d0, double h) {
        const int w = lens_data().current_wavelength;
        return thick_lens(surface(0).index[w], surface(1).index[w], surface(2).index[w], d0, h);
    }
};

void expect_values(const std::vector<double>& got, const FirstOrder& want, double tolerance) {
    const double* w = &want.beam;
    const char* names[] = {
        "beam",        "slope",           "object NA",     "F-number",       "image NA",
        "working F",   "field angle",     "object height", "image height",   "chief height",
        "object dist", "front principal", "image dist",    "rear principal", "lens length",
        "total track", "magnification",   "last gap",      "pupil radius",   "pupil position",
        "exit radius", "exit position",   "lagrange",      "petzval",        "focal"};
    ASSERT_EQ(got.size(), 25u);
    for (int k = 0; k < 25; ++k) {
        const double scale = std::max(1.0, std::fabs(w[k]));
        EXPECT_NEAR(got[k], w[k], tolerance * scale) << names[k];
    }
}

TEST_F(FirstOrderListing, FiniteObjectMatchesTheThickLensFormulas) {
    enter("TH 200", "OBH 5");
    expect_values(printed(), expected(200.0, 5.0), 1e-10);
    // The rear principal plane of a biconvex lens lies inside it: before the last surface.
    EXPECT_LT(expected(200.0, 5.0).rear_principal, 0.0);
}

TEST_F(FirstOrderListing, FarObjectMatchesTheThickLensFormulas) {
    enter("TH 1e10", "ANG 3");
    const double h = -std::tan(3.0 / kDegrees) * 1e10;
    expect_values(printed(), expected(1e10, h), 1e-10);
}

// The matrix values follow the current wavelength; the rays of the lens set-up (image slope and
// aperture, chief ray, exit pupil, Petzval radius) run at the first.
TEST_F(FirstOrderListing, CurrentWavelengthChangesTheMatrixValuesAndTheTitle) {
    enter("TH 200", "OBH 5");
    run_all({"WL 3"});
    const std::string text = listing();
    EXPECT_EQ(text.substr(0, text.find('\n')), "FIRST ORDER DATA (WAVELENGTH 3)");
    FirstOrder want = expected(200.0, 5.0);
    const FirstOrder first =
        thick_lens(surface(0).index[0], surface(1).index[0], surface(2).index[0], 200.0, 5.0);
    EXPECT_GT(std::fabs(want.focal - first.focal), 0.1);
    want.slope = first.slope;
    want.image_na = first.image_na;
    want.working_f = first.working_f;
    want.chief_height = first.chief_height;
    want.exit_radius = first.exit_radius;
    want.exit_position = first.exit_position;
    want.petzval = first.petzval;
    expect_values(printed(), want, 1e-10);
}

// A number cell: a blank, then eleven columns ("%11.6f"; a zero as "--" inside them).
std::string value_cell(double v) {
    if (v == 0.0) return "      --    ";
    char text[32];
    std::snprintf(text, sizeof text, " %11.6f", v);
    return text;
}

// Labels of eighteen columns; those naming the last surface are its text ("    Srf 2") and
// the label together.
TEST_F(FirstOrderListing, TextOfTheListing) {
    enter("TH 200", "OBH 5");
    const FirstOrder v = expected(200.0, 5.0);
    const std::string want =
        std::string("FIRST ORDER DATA\n") + "APERTURE\n" +  //
        "ENT BEAM RADIUS   " + value_cell(v.beam) + "    IMAGE SLOPE   " + value_cell(v.slope) +
        "\n" + "OBJECT NA         " + value_cell(v.object_na) + "    F-NUMBER      " +
        value_cell(v.f_number) + "\n" + "IMAGE NA          " + value_cell(v.image_na) +
        "    WORKING F/NO  " + value_cell(v.working_f) + "\n" + "FIELD\n" + "FIELD ANGLE (DEG) " +
        value_cell(v.field_angle) + "    OBJECT HEIGHT " + value_cell(v.object_height) + "\n" +
        "PARAX IMAGE HT    " + value_cell(v.image_height) + "    CHIEF RAY HT  " +
        value_cell(v.chief_height) + "\n" + "CONJUGATES AND LENGTHS\n" + "OBJECT DISTANCE   " +
        value_cell(v.object_distance) + "    Srf 1 TO FPP  " + value_cell(v.front_principal) +
        "\n" + "IMAGE DISTANCE    " + value_cell(v.image_distance) + "    Srf 2 TO RPP  " +
        value_cell(v.rear_principal) + "\n" + "LENS LENGTH       " + value_cell(v.lens_length) +
        "    OBJ TO IMAGE  " + value_cell(v.total_track) + "\n" + "MAGNIFICATION     " +
        value_cell(v.magnification) + "    Srf 2 IMG     " + value_cell(v.last_gap) + "\n" +
        "PUPILS AND INVARIANTS\n" + "ENT PUPIL RADIUS  " + value_cell(v.pupil_radius) +
        "    Srf 1 TO ENP  " + value_cell(v.pupil_position) + "\n" + "EXIT PUPIL RADIUS " +
        value_cell(v.exit_radius) + "    Srf 2 TO XP   " + value_cell(v.exit_position) + "\n" +
        "LAGRANGE INVARIANT" + value_cell(v.lagrange) + "    PETZVAL RADIUS" +
        value_cell(v.petzval) + "\n" + "FOCAL LENGTH      " + value_cell(v.focal) + "\n";
    const std::string first = listing();
    EXPECT_EQ(first, want + "\n");
    // A second listing makes the paraxial arrays again and prints the same.
    EXPECT_EQ(listing(), first);
}

// Without an entrance pupil the F-number is 0, whatever the focal length; nothing else of the
// listing depends on the pupil's radius but its own row.
TEST_F(FirstOrderListing, NoEntrancePupilPrintsAZeroFNumber) {
    enter("TH 200", "OBH 5");
    lens_data().entrance_pupil_radius = 0.0;
    FirstOrder want = expected(200.0, 5.0);
    want.f_number = 0.0;
    want.pupil_radius = 0.0;
    expect_values(printed(), want, 1e-10);
}

// Ten surfaces before the image: the surface text takes one column more and the blanks after
// the labels one fewer.
TEST_F(FirstOrderListing, TwoDigitLastSurfaceKeepsTheColumns) {
    std::vector<std::string> lines = {
        "LEN NEW \"Plates\"", "TH 200",          "OBH 5", "EBR 10", "NXT", "AST",
        "SRF 50 6 N-BK7 12",  "SRF -80 2 AIR 12"};
    for (int k = 3; k <= 10; ++k) lines.push_back("SRF 0 1 AIR 12");
    lines.push_back("END");
    run_all(lines);
    ASSERT_EQ(lens_data().image_surface, 11);
    const std::string text = listing();
    for (const char* label : {"    Srf 10 TO RPP ", "    Srf 10 IMG    ", "    Srf 10 TO XP  "}) {
        const std::size_t at = text.find(label);
        ASSERT_NE(at, std::string::npos) << label << "\n" << text;
        EXPECT_EQ(at - (text.rfind('\n', at) + 1), 30u) << label;
        // The label's eighteen columns, then one number cell closing the line.
        EXPECT_EQ(text.find('\n', at) - at, 18u + 12u) << label;
    }
}

}  // namespace
