// Toric curvatures, holograms and diffractive profiles typed on a lens: the fields they fill and
// their refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/console/console_backend.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

const std::vector<std::string> kToricDiffractiveLens = {
    "LEN NEW \"Special\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 3 AIR 10", "NXT", "END"};

TEST_F(Entry, ToricCurvatureByCurvatureAndRadius) {
    run_all(kToricDiffractiveLens);
    run_all({"LEN", "GTO 1", "RDX 50"});
    EXPECT_EQ(surface(1).x_curvature, 0.02);
    EXPECT_EQ(surface(1).toric, 1);
    run_all({"RDX 0"});
    EXPECT_EQ(surface(1).x_curvature, 0.0);
    run_all({"CVX 0.01", "CXD"});
    EXPECT_EQ(surface(1).x_curvature, 0.0);
    EXPECT_EQ(surface(1).toric, 0);
    // A curvature picked up from surface 1 is dropped before the toric curvature is set.
    run_all({"GTO 2", "PK CV 1 0", "CVX 0.03"});
    EXPECT_EQ(surface(2).curvature_kind, kCurvaturePlain);
    EXPECT_EQ(surface(2).x_curvature, 0.03);
    run_all({"END"});
}

TEST_F(Entry, HologramLinesFillTheRecord) {
    run_all(kToricDiffractiveLens);
    run_all({"LEN", "GTO 1", "HX1 1.5"});
    const HologramRecord* h = surface(1).hologram;
    ASSERT_NE(h, nullptr);
    // Made on demand with the first lens wavelength.
    EXPECT_EQ(h->wavelength, lens_data().wavelengths[0].wavelength);
    EXPECT_EQ(h->first_point[0], 1.5);
    run_all({"HV1 -1", "HV2 1", "HOR 2", "HWV 0.6328", "HY1 2", "HZ1 -100", "HX2 3", "HY2 4",
             "HZ2 200"});
    EXPECT_EQ(h->first_point_virtual, -1);
    EXPECT_EQ(h->second_point_virtual, 1);
    EXPECT_EQ(h->order, 2);
    EXPECT_EQ(h->wavelength, 0.6328);
    EXPECT_EQ(h->first_point[1], 2.0);
    EXPECT_EQ(h->first_point[2], -100.0);
    EXPECT_EQ(h->second_point[0], 3.0);
    EXPECT_EQ(h->second_point[1], 4.0);
    EXPECT_EQ(h->second_point[2], 200.0);
    run_all({"HOD"});
    EXPECT_EQ(surface(1).hologram, nullptr);
    // Deleting what is not there is a notice, not a failure.
    EXPECT_EQ(run("HOD"), 0);
    run_all({"GTO 0"});
    EXPECT_EQ(run("HX1 1"), kErrorTextReady);
    EXPECT_EQ(surface(0).hologram, nullptr);
    run_all({"END"});
}

TEST_F(Entry, DiffractiveProfiles) {
    run_all(kToricDiffractiveLens);
    run_all({"LEN", "GTO 1", "DOE DFR 10", "DF1 -0.001", "DF5 2e-9", "DWV 0.55"});
    const DiffractiveRecord* d = surface(1).diffractive;
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->kind, 0);
    EXPECT_EQ(d->entered_count, 6);
    EXPECT_EQ(d->entered[1], -0.001);
    EXPECT_EQ(d->entered[5], 2e-9);
    EXPECT_EQ(d->design_wavelength, 0.55);
    EXPECT_EQ(run("DF6 1"), kErrorTextReady);
    EXPECT_EQ(error_text(), "The coefficient index must lie in 0..5");
    EXPECT_EQ(run("ZR1 1"), kErrorTextReady);
    EXPECT_EQ(error_text(), "The surface has no Zernike diffractive profile");
    // A Zernike kind belongs to ZOE, not DOE.
    EXPECT_EQ(run("DOE 4 3"), kErrorTextReady);
    EXPECT_EQ(error_text(), "Diffractive kind 4 does not belong to this command");
    EXPECT_EQ(surface(1).diffractive->kind, 0);
    // Deleting the profile clears the diffraction order with it.
    run_all({"DOR 3", "DOD"});
    EXPECT_EQ(surface(1).diffractive, nullptr);
    EXPECT_EQ(surface(1).diffraction_order, 0);
    EXPECT_EQ(run("DWV 0.5"), kErrorTextReady);
    EXPECT_EQ(error_text(), "The surface has no diffractive profile");

    take_output();
    run_all({"ZOE ZRR 8", "ZR3 0.25", "ZRT On"});
    EXPECT_NE(take_output().find("ZOE ZRR  8"), std::string::npos);
    d = surface(1).diffractive;
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->kind, 4);
    EXPECT_EQ(d->entered[3], 0.25);
    EXPECT_EQ(d->zernike_switch, 1);
    run_all({"ZRT Off", "ZOD"});
    EXPECT_EQ(surface(1).diffractive, nullptr);
    run_all({"GTO 0"});
    EXPECT_EQ(run("DOE DFR 4"), kErrorTextReady);
    EXPECT_EQ(surface(0).diffractive, nullptr);
    run_all({"END"});
}

}  // namespace
