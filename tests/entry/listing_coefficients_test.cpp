// The listings of aspheric, diffractive and holographic surfaces: a kind line naming the form
// and its order, then the coefficients four to a line (or only those not zero), laid out from
// the row formats: a tag after two blanks, "%3d" counts, numbers as a blank and "%11.6f".
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "lens/surface_setters.h"
#include "numeric/memory.h"
#include "runtime/settings.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::cell;
using entry_test::Entry;
using entry_test::kZero;

class Coefficients : public Entry {
protected:
    void SetUp() override {
        Entry::SetUp();
        run_all(
            {"LEN NEW \"Coefficients\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 45 AIR 10", "END"});
        take_output();
    }
    void TearDown() override {
        set_setting_flag(kSetNonZeroSpecialData, 0);
        Entry::TearDown();
    }
    std::string listing(const std::string& line) {
        take_output();
        EXPECT_EQ(run(line), 0) << line << ": " << error_text();
        std::string out = take_output();
        if (out.size() >= 2 && out.compare(out.size() - 2, 2, "\n\n") == 0) out.pop_back();
        return out;
    }
};

TEST_F(Coefficients, XyPolynomialTermsFourToALine) {
    // An x-y polynomial of six terms on surface 1, labelled AT3.. (one more blank below AT7), the
    // words their entry commands take. The setters make no x-y record yet: one block laid out as
    // theirs, the arrays behind it.
    constexpr int kTerms = 6;
    void* block = mem_alloc(sizeof(AsphereRecord) + 2 * kTerms * sizeof(double));
    ASSERT_NE(block, nullptr);
    auto* record = static_cast<AsphereRecord*>(block);
    record->working =
        reinterpret_cast<double*>(static_cast<unsigned char*>(block) + sizeof(AsphereRecord));
    record->entered = record->working + kTerms;
    record->working_count = record->entered_count = kTerms;
    record->kind = kAsphereXy;
    surface(1).asphere = record;
    AsphereRecord& a = *record;
    a.entered[1] = 0.5;
    a.entered[5] = 0.25;
    std::string terms;
    for (int i = 0; i < a.entered_count; ++i) {
        if (i % 4 == 0) terms += (i > 0 ? "\n" : "") + std::string(5, ' ');
        const std::string label = "AT" + std::to_string(i + 3) + (i + 3 < 7 ? " " : "");
        terms +=
            " " + label + (a.entered[i] == 0.0 ? " " + std::string(kZero) : cell(a.entered[i]));
    }
    EXPECT_EQ(listing("LIST_ASPHERES 0 1"), "ASPHERIC SURFACES\n  1   \n" + terms + "\n");
    // Only the terms that are not zero, packed.
    set_setting_flag(kSetNonZeroSpecialData, 1);
    EXPECT_EQ(listing("LIST_ASPHERES 0 1"), "ASPHERIC SURFACES\n  1   \n" + std::string(5, ' ') +
                                                " AT4 " + cell(0.5) + " AT8" + cell(0.25) + "\n");
    EXPECT_EQ(listing("LIST_ASPHERES 0 2"), "ASPHERIC SURFACES\nNo aspheric surfaces\n");
}

TEST_F(Coefficients, HologramConstructionPoints) {
    SurfaceRecord& s = surface(2);
    s.hologram = alloc_array_of<HologramRecord>(1);
    ASSERT_NE(s.hologram, nullptr);
    reset_hologram_record(2);
    s.hologram->order = 1;
    s.hologram->first_point[2] = -100.0;
    s.hologram->second_point_virtual = 1;
    s.hologram->second_point[1] = 5.0;
    const double w = s.hologram->wavelength;
    EXPECT_EQ(listing("LIST_HOLOGRAMS"),
              std::string("HOLOGRAMS\n") + "  2     HOR   1         HWV " + cell(w) + "\n" +
                  "        HV1   0         HX1  " + kZero + "   HY1  " + kZero + "   HZ1 " +
                  cell(-100.0) + "\n" + "        HV2   1         HX2  " + kZero + "   HY2 " +
                  cell(5.0) + "   HZ2  " + kZero + "\n");
}

TEST_F(Coefficients, DiffractiveKindLine) {
    ASSERT_EQ(alloc_diffractive_record(1, 0, 4), 0);
    DiffractiveRecord& d = *surface(1).diffractive;
    d.design_wavelength = 0.55;
    d.entered[0] = 1e-3;
    const int first = d.entered_count;
    const std::string out = listing("LIST_DIFFRACTIVE");
    char head[64];
    std::snprintf(head, sizeof head, "  1   DOE DFR %3d  (radial)    DOR %3d DWV  ", 2 * first - 2,
                  surface(1).diffraction_order);
    EXPECT_EQ(out.rfind("DIFFRACTIVE SURFACES\n" + std::string(head) + cell(0.55) + "\n", 0), 0u)
        << out;
    EXPECT_NE(out.find("DF0 " + cell(1e-3).substr(0)), std::string::npos) << out;
}

TEST_F(Coefficients, GradientIndexWithItsTablesPerWavelength) {
    run_all({"WV 0.5876 0.4861"});
    SurfaceRecord& s = surface(1);
    s.grin = alloc_array_of<GrinRecord>(1);
    ASSERT_NE(s.grin, nullptr);
    GrinRecord& g = *s.grin;
    g.kind = 1;
    g.step = 0.5;
    g.coefficients =
        alloc_matrix_of<double>(kGrinCoefficientRows, static_cast<std::size_t>(max_wavelengths()));
    ASSERT_NE(g.coefficients, nullptr);
    g.coefficients[0][0] = 1.6;    // NR1 at wavelength 1
    g.coefficients[1][1] = -0.01;  // NR2 at wavelength 2
    g.coefficients[4][0] = 0.002;  // NZ1 at wavelength 1
    auto number = [](double v) {
        return std::string(4, ' ') + (v == 0.0 ? std::string(kZero) : cell(v).substr(1));
    };
    const std::string expected =
        std::string("GRADIENT-INDEX MEDIA\n") + "  1     GDT ARG  (axial-radial)\n" +
        "        DTH   " + cell(0.5) + "\n" +
        "          WL         NZ1         NZ2         NZ3         NZ4\n" + "         1" +
        number(0.002) + number(0) + number(0) + number(0) + "\n" + "         2" + number(0) +
        number(0) + number(0) + number(0) + "\n" +
        "          WL         NR1         NR2         NR3         NR4\n" + "         1" +
        number(1.6) + number(0) + number(0) + number(0) + "\n" + "         2" + number(0) +
        number(-0.01) + number(0) + number(0) + "\n";
    EXPECT_EQ(listing("LIST_GRADIENT_INDEX"), expected);
}

}  // namespace
