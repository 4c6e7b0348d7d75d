// The tolerances of a surface typed in a lens block: each command's place in the record, the
// held switch, the x/y coupling, and the lens items that read the entered values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "lens/lens_item_list.h"
#include "lens/lens_items.h"
#include "lens/surface_tolerances.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

class Tolerances : public Entry {
protected:
    void SetUp() override {
        Entry::SetUp();
        run_all({"LEN NEW \"Tolerances\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 45 AIR 10", "END",
                 "LEN", "NXT"});
        take_output();
    }
    static const SurfaceTolerances& tol() { return *surface(1).tolerances; }
};

TEST_F(Tolerances, EachCommandFillsItsValue) {
    // The keyword and the record place it names, from the table of tolerance values.
    const struct {
        const char* word;
        int value;
    } cases[] = {{"THT", 4},  {"DCT", 8},  {"SPT", 0},  {"IRT", 1},  {"RDT", 2},  {"RNT", 6},
                 {"TLT", 10}, {"CCT", 3},  {"DZT", 5},  {"VNT", 7},  {"DXT", 9},  {"TBT", 11},
                 {"CDX", 12}, {"CDY", 13}, {"CCA", 16}, {"CCB", 17}, {"CAA", 14}, {"CAB", 15}};
    run_all({"TXYC Off"});
    double v = 0.001;
    for (const auto& c : cases) {
        v += 0.001;
        run_all({std::string(c.word) + " " + std::to_string(v)});
        EXPECT_DOUBLE_EQ(tol().values[c.value], v) << c.word;
        EXPECT_EQ(tol().switches[c.value], 1) << c.word;
    }
    // Every value entered stays: a later command resets none of them.
    v = 0.001;
    for (const auto& c : cases) {
        v += 0.001;
        EXPECT_DOUBLE_EQ(tol().values[c.value], v) << c.word;
    }
}

TEST_F(Tolerances, AFreshRecordHasTheSwitchesOfTheDefaults) {
    run_all({"THT 0.1"});
    for (int k = 0; k < kToleranceCount; ++k) {
        const bool given = k == kTolRdt || k == kTolCct || k == kTolDzt || k == kTolCaa ||
                           k == kTolCab || k == kTolTht;
        EXPECT_EQ(tol().switches[k], given ? 1 : 0) << k;
        if (k != kTolTht) {
            EXPECT_EQ(tol().values[k], 0.0) << k;
        }
    }
}

TEST_F(Tolerances, CouplingSetsThePairedValue) {
    const struct {
        const char* coupling;
        const char* line;
        int value;
        int pair;
        bool paired;
    } cases[] = {
        {"TXYC On", "DCT 0.02", kTolDct, kTolDxt, true},
        {"TXYC Off", "DCT 0.03", kTolDct, kTolDxt, false},
        // CDY pairs with CDX, which comes before it.
        {"TXYC On", "CDY HLD 0.04", kTolCdy, kTolCdx, true},
        {"TXYC Off", "CDY 0.05", kTolCdy, kTolCdx, false},
        {"TXYC On", "TLT 0.06", kTolTlt, kTolTbt, true},
        {"TXYC On", "CCA 0.07", kTolCca, kTolCcb, true},
        {"TXYC On", "CAA 0.08", kTolCaa, kTolCab, true},
        // A value without a pair changes only itself.
        {"TXYC On", "DXT 0.09", kTolDxt, kTolDct, false},
    };
    for (const auto& c : cases) {
        // Each case starts from a record of its own.
        run_all({"NXT", c.coupling, c.line});
        const SurfaceTolerances& t = *surface(lens_data().current_surface).tolerances;
        EXPECT_GT(t.values[c.value], 0.0) << c.line;
        EXPECT_EQ(t.values[c.pair] == t.values[c.value], c.paired) << c.line;
        if (c.paired) {
            EXPECT_EQ(t.switches[c.pair], t.switches[c.value]) << c.line;
        }
    }
}

TEST_F(Tolerances, HeldValuesEchoesAndTheTestWavelength) {
    run_all({"THT HLD 0.05"});
    EXPECT_EQ(tol().switches[kTolTht], 2);
    EXPECT_NE(take_output().find("THT HLD    0.050000\n"), std::string::npos);
    run_all({"THT 0.025"});
    EXPECT_EQ(tol().switches[kTolTht], 1);
    EXPECT_NE(take_output().find("THT     0.025000\n"), std::string::npos);
    // The held echo reads back as the same value and switch.
    run_all({"THT HLD    0.050000"});
    EXPECT_EQ(tol().values[kTolTht], 0.05);
    EXPECT_EQ(tol().switches[kTolTht], 2);

    run_all({"TWL 0.6328"});
    EXPECT_EQ(lens_data().test_wavelength, 0.6328);
    EXPECT_NE(take_output().find("TWL     0.632800\n"), std::string::npos);
}

TEST_F(Tolerances, LensItemsReadTheEnteredValues) {
    run_all({"RDT 0.5", "END"});
    const auto* value = static_cast<const double*>(lens_item_address(kItemToleranceTht + 4, 1, 0));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(*value, 0.5);  // item 184 is "rdt", value 2 of the record
    // A surface without a record has no value that lacks a default; THT shows its default
    // (20 mm across: class 1, 0.2 mm).
    EXPECT_EQ(lens_item_address(kItemToleranceTht + 4, 2, 0), nullptr);
    const auto* tht = static_cast<const double*>(lens_item_address(kItemToleranceTht, 2, 0));
    ASSERT_NE(tht, nullptr);
    EXPECT_DOUBLE_EQ(*tht, 0.2);
    EXPECT_EQ(surface(2).tolerances, nullptr);
}

std::vector<std::pair<int, int>> g_cleared;

TEST_F(Tolerances, EnteredValuesMakeTheirResultsStale) {
    set_tolerance_result_clearer([](int value, int n) { g_cleared.emplace_back(value, n); });
    g_cleared.clear();
    run_all({"TXYC On", "DCT 0.01"});
    // The value and its coupled pair, on the current surface.
    EXPECT_EQ(g_cleared, (std::vector<std::pair<int, int>>{{kTolDct, 1}, {kTolDxt, 1}}));
    g_cleared.clear();
    // The test wavelength: power and irregularity of every surface up to the image.
    run_all({"TWL 0.55"});
    const std::vector<std::pair<int, int>> expected = {{kTolSpt, 1}, {kTolIrt, 1}, {kTolSpt, 2},
                                                       {kTolIrt, 2}, {kTolSpt, 3}, {kTolIrt, 3}};
    EXPECT_EQ(g_cleared, expected);
    set_tolerance_result_clearer(nullptr);
}

}  // namespace
