// Lens items through the command language: a started program with the built tables, a new lens
// and the lens-item hooks installed; lines run through run_command_string and leave their
// values in the scratch globals a to z.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "kpl/kpl_compiler.h"
#include "kpl/kpl_interp.h"
#include "kpl/kpl_line.h"
#include "kpl/kpl_opcodes.h"
#include "kpl/kpl_sysvars.h"
#include "lens/lens_data.h"
#include "lens/lens_items.h"
#include "lens/lens_reset.h"
#include "lens/surface_groups.h"
#include "lens/surface_setters.h"
#include "numeric/memory.h"
#include "runtime/definitions.h"
#include "runtime/dispatch.h"
#include "runtime/state_flags.h"
#include "tests/app/startup/started_runtime.h"

namespace {

constexpr int kGlobalX = 23;  // the scratch global x

class LensItems : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(runtime_init(0), 0);
        ASSERT_EQ(kpl_install(), 0);
        ASSERT_EQ(app_init(0, 0, 0), 0);
        ASSERT_EQ(lens_new(), 0);
        install_lens_items();
        kpl_reset_globals();
        clear_scratch_arrays();
    }

    static int run(const std::string& line) { return run_command_string(line.c_str(), 0); }
    static double x() {
        double v;
        std::memcpy(&v, kpl_global_address(kGlobalX), sizeof v);
        return v;
    }
    static void set_x(double v) { std::memcpy(kpl_global_address(kGlobalX), &v, sizeof v); }
    // The value of an expression, or NaN when the line fails.
    static double value_of(const std::string& expression) {
        set_x(0);
        return run("x = " + expression) == 0 ? x() : std::nan("");
    }

    tavo_test::StartedRuntime run_;
};

// The names of the definitions give each item the type and index count the hook answers for:
// the definitions and the lens-item list are written apart and must agree.
TEST_F(LensItems, DefinitionsNameEveryItemWithItsShape) {
    const Definitions& d = definitions();
    ASSERT_NE(d.global_values, nullptr);
    std::set<int> named;
    for (std::size_t k = 0; k + 4 <= d.global_values_size; k += 4) {
        std::uint32_t e;
        std::memcpy(&e, d.global_values + k, 4);
        const KplNameEntry entry = kpl_decode_name_entry(e);
        if ((entry.ref & kRefBuiltin) == 0 || entry.number < kFirstLensItem ||
            entry.number > kLastLensItem) {
            continue;
        }
        const LensItemShape* shape = lens_item_shape(entry.number);
        if (shape == nullptr) continue;  // bound to a lens field at start-up
        SCOPED_TRACE(entry.number);
        named.insert(entry.number);
        EXPECT_EQ(entry.ref & kRefTypeMask, shape->type);
        EXPECT_EQ(entry.dims, shape->index_count);
    }
    for (int n = kFirstLensItem; n <= kLastLensItem; ++n) {
        if (lens_item_shape(n) != nullptr) {
            EXPECT_EQ(named.count(n), 1u) << n;
        }
    }
}

TEST_F(LensItems, PlaneSurfaceReadsZeroRadius) {
    ASSERT_EQ(surface(1).curvature, 0.0);
    EXPECT_EQ(value_of("rd[1]"), 0.0);
    EXPECT_EQ(value_of("rdx[1]"), 0.0);
    surface(1).curvature = 0.02;
    surface(1).x_curvature = -0.04;
    EXPECT_DOUBLE_EQ(value_of("rd[1]"), 50.0);
    EXPECT_DOUBLE_EQ(value_of("rdx[1]"), -25.0);
}

TEST_F(LensItems, WritingAnItemChangesTheLens) {
    ASSERT_EQ(run("th[1] = 7.5"), 0);
    EXPECT_EQ(surface(1).thickness, 7.5);
    ASSERT_EQ(run("wavelength[2] = 0.5"), 0);
    EXPECT_EQ(lens_data().wavelengths[1].wavelength, 0.5);
    ASSERT_EQ(run("drw[2] = 3"), 0);
    EXPECT_EQ(surface(2).drawing_mode, 3);
    ASSERT_EQ(run("opdf = 0.25"), 0);
    EXPECT_EQ(lens_data().optimise_params->damping, 0.25);
}

// Items computed from the lens (a radius from its curvature, a 16-bit field widened to an int,
// a count) are read like any other, but a typed line that writes one is refused before it runs
// and the surface keeps every byte.
TEST_F(LensItems, ComputedItemsAreReadButNeverWritten) {
    surface(1).curvature = 0.02;
    surface(1).x_curvature = -0.04;
    const char* const computed[] = {"rd",
                                    "rdx",
                                    "rco",
                                    "sa_count",
                                    "shape",
                                    "curvature_source",
                                    "thickness_source",
                                    "thickness_source2",
                                    "aperture_source",
                                    "medium_source"};
    static std::uint8_t code[kKplLineArea];
    const auto compiled = [](const std::string& line) {
        KplCompileResult result;
        return kpl_compile(line.c_str(), code, sizeof code, KplCompileOptions{}, &result);
    };
    for (const char* name : computed) {
        SCOPED_TRACE(name);
        const std::string item = std::string(name) + "[1]";
        EXPECT_EQ(compiled("x = " + item), 0);
        for (const std::string& write : {item + " = 40", item + " += 1", item + "++"}) {
            EXPECT_EQ(compiled(write), kMsgReadOnly) << write;
            std::vector<unsigned char> before(sizeof(SurfaceRecord));
            std::memcpy(before.data(), &surface(1), before.size());
            EXPECT_NE(run(write), 0) << write;
            EXPECT_EQ(std::memcmp(before.data(), &surface(1), before.size()), 0) << write;
        }
    }
    EXPECT_DOUBLE_EQ(value_of("rd[1]"), 50.0);
}

TEST_F(LensItems, ScratchArraysHoldTwoThousandElements) {
    ASSERT_EQ(run("array1[1999] = 5; array6[0] = 6"), 0);
    EXPECT_EQ(scratch_array(1)[1999], 5.0);
    EXPECT_EQ(scratch_array(6)[0], 6.0);
    EXPECT_EQ(value_of("array1[1999] + array6[0]"), 11.0);
    EXPECT_EQ(run("array1[2000] = 7"), kMsgIndexRange);
    EXPECT_EQ(run("array6[-1] = 7"), kMsgIndexRange);
    EXPECT_EQ(scratch_array(2)[0], 0.0);  // the element after array 1 is untouched
    // The hook itself, as a user library calls it.
    HandlerTable& t = handler_table();
    EXPECT_EQ(t.lens_item_address(52, 1999, 0), &scratch_array(6)[1999]);
    EXPECT_EQ(t.lens_item_address(47, 2000, 0), nullptr);
    EXPECT_EQ(t.lens_item_address(52, 2000, 0), nullptr);
    EXPECT_EQ(t.lens_item_address(47, -1, 0), nullptr);
}

TEST_F(LensItems, SurfaceOutsideTheLensIsRefused) {
    ASSERT_EQ(lens_data().image_surface, 2);
    EXPECT_EQ(value_of("th[2]"), surface(2).thickness);
    EXPECT_EQ(run("x = th[3]"), kMsgIndexRange);
    EXPECT_EQ(run("th[3] = 1"), kMsgIndexRange);
    EXPECT_EQ(surface(3).thickness, 0.0);

    // Bounds left stale by a lens change before the set-up: the hook still refuses.
    lens_data().image_surface = 5;
    update_lens_array_bounds();
    lens_data().image_surface = 2;
    set_x(-1);
    EXPECT_NE(run("x = th[4]"), 0);
    EXPECT_EQ(x(), -1.0);
    EXPECT_NE(run("th[4] = 9"), 0);
    EXPECT_EQ(surface(4).thickness, 0.0);

    HandlerTable& t = handler_table();
    for (int s : {-1, 3, 12, 13, 40000}) {
        EXPECT_EQ(t.lens_item_address(116, s, 0), nullptr) << s;
        EXPECT_EQ(t.lens_item_address(131, s, 1), nullptr) << s;
    }
}

TEST_F(LensItems, WavelengthIndicesCountFromOneToTheWavelengthsInUse) {
    ASSERT_EQ(lens_data().wavelength_count, 3);
    EXPECT_EQ(value_of("wavelength[3]"), lens_data().wavelengths[2].wavelength);
    EXPECT_EQ(run("x = wavelength[4]"), kMsgIndexRange);
    HandlerTable& t = handler_table();
    EXPECT_EQ(t.lens_item_address(112, 0, 0), nullptr);
    EXPECT_EQ(t.lens_item_address(112, 4, 0), nullptr);
    EXPECT_EQ(t.lens_item_address(131, 1, 0), nullptr);
    EXPECT_EQ(t.lens_item_address(131, 1, 4), nullptr);
    EXPECT_EQ(t.lens_item_address(131, 1, 1), surface(1).index);
}

// Half a millimetre in lens units (the lens-text item kTextItemHalfMillimetre), which follows the
// lens unit.
TEST_F(LensItems, HalfMillimetreInLensUnits) {
    const struct {
        double units;
        double expected;
    } cases[] = {{1.0, 0.5},  {10.0, 0.05}, {25.4, 0.02}, {0.001, 500.0}, {1000.0, 5e-4},
                 {2.0, 0.25}, {3.0, 0.167}, {0.3, 1.67},  {7.0, 0.0714},  {254.0, 0.00197}};
    for (const auto& c : cases) {
        lens_data().units = c.units;
        const char* cell = handler_table().lens_item_text(kTextItemHalfMillimetre);
        ASSERT_NE(cell, nullptr) << c.units;
        double v;
        std::memcpy(&v, cell, sizeof v);
        EXPECT_NEAR(v, c.expected, c.expected * 1e-12) << c.units;
    }
    lens_data().units = 0.0;
    EXPECT_EQ(handler_table().lens_item_text(kTextItemHalfMillimetre), nullptr);
}

double text_number(int item) {
    const char* cell = handler_table().lens_item_text(item);
    if (cell == nullptr) return std::nan("");
    double v;
    std::memcpy(&v, cell, sizeof v);
    return v;
}

TEST_F(LensItems, CurrentSurfaceGlassItems) {
    LensData& l = lens_data();
    l.current_surface = 1;
    EXPECT_STREQ(handler_table().lens_item_text(1), "GLASS1");
    double n[3] = {1.5168, 1.5224, 1.5143};
    double* saved = surface(1).index;
    surface(1).index = n;
    EXPECT_EQ(text_number(2), 1.5168);
    EXPECT_EQ(text_number(3), 1.5224);
    EXPECT_DOUBLE_EQ(text_number(4), 0.5168 / (1.5224 - 1.5143));
    l.wavelength_count = 1;
    EXPECT_EQ(text_number(3), 1.0);
    EXPECT_EQ(text_number(4), 0.0);
    l.wavelength_count = 3;
    n[2] = n[1];
    EXPECT_EQ(text_number(4), 0.0);
    // A surface without index arrays answers with the flint F2: its d and F indices to five
    // decimals and its Abbe number to two, from the maker's published Sellmeier coefficients.
    surface(1).index = nullptr;
    auto f2 = [](double l) {
        const double l2 = l * l;
        return std::sqrt(1 + 1.34533359 * l2 / (l2 - 0.00997743871) +
                         0.209073176 * l2 / (l2 - 0.0470450767) +
                         0.937357162 * l2 / (l2 - 111.886764));
    };
    const double nd = f2(0.58756), nf = f2(0.48613), nc = f2(0.65627);
    EXPECT_NEAR(text_number(2), nd, 5e-6);
    EXPECT_NEAR(text_number(3), nf, 5e-6);
    EXPECT_NEAR(text_number(4), (nd - 1) / (nf - nc), 5e-3);
    surface(1).index = saved;

    surface(1).aperture_kind = kApertureFixedValue;
    surface(1).aperture_radius = 4.0;
    EXPECT_EQ(text_number(19), 0.0);
    set_state_flag(kFlagSingleCommandUpdate);
    EXPECT_EQ(text_number(19), 4.0);
    surface(1).aperture_kind = kApertureComputed;
    EXPECT_EQ(text_number(19), 0.0);
    clear_state_flag(kFlagSingleCommandUpdate);
    EXPECT_EQ(handler_table().lens_item_text(5), nullptr);
    EXPECT_EQ(handler_table().lens_item_text(21), nullptr);
}

TEST_F(LensItems, PseudoKindsWithoutRecords) {
    EXPECT_EQ(value_of("asphere_kind[1]"), 255.0);
    EXPECT_EQ(value_of("diffractive_kind[1]"), 255.0);
    surface(1).grating_spacing = 0.001;
    EXPECT_EQ(value_of("diffractive_kind[1]"), 253.0);
    ASSERT_EQ(alloc_spline_record(1, 4), 0);
    EXPECT_EQ(value_of("asphere_kind[1]"), 254.0);
    // No GRIN record: the item does not apply.
    EXPECT_NE(run("x = grin_kind[1]"), 0);
}

TEST_F(LensItems, DecentreValuesOnlyForPlainTiltOrders) {
    ASSERT_EQ(ensure_decentre_record(1), 0);
    surface(1).decentre->dcx = 0.3;
    surface(1).decentre->tilt_mode = 1;
    EXPECT_EQ(value_of("dcx[1]"), 0.3);
    surface(1).decentre->tilt_mode = 2;
    EXPECT_EQ(handler_table().lens_item_address(122, 1, 0), nullptr);
    EXPECT_EQ(handler_table().lens_item_address(111, 1, 0), nullptr);
    surface(1).decentre->tilt_mode = -1;
    EXPECT_EQ(value_of("dt[1]"), -1.0);
}

TEST_F(LensItems, AsphereCoefficientsByOrder) {
    ASSERT_EQ(alloc_asphere_record(1, kAsphereOdd, 10), 0);  // orders from 3, eight entries
    AsphereRecord& a = *surface(1).asphere;
    ASSERT_EQ(a.entered_count, 8);
    for (int k = 0; k < a.entered_count; ++k) a.entered[k] = 10.0 + k;
    EXPECT_EQ(value_of("asp_order[1][3]"), 10.0);
    EXPECT_EQ(value_of("asp_order[1][10]"), 17.0);
    HandlerTable& t = handler_table();
    EXPECT_EQ(t.lens_item_address(215, 1, 2), nullptr);
    EXPECT_EQ(t.lens_item_address(215, 1, 11), nullptr);
    a.kind = kAsphereBiconic;  // even orders only, stored 2i - 6 from entry 2
    EXPECT_EQ(t.lens_item_address(215, 1, 4), &a.entered[2]);
    EXPECT_EQ(t.lens_item_address(215, 1, 5), nullptr);
    EXPECT_EQ(t.lens_item_address(215, 1, 3), nullptr);  // stored 0, below entry 2
    a.kind = kAsphereEllipticCone;  // even orders only, stored 2i - 3 from entry 5
    EXPECT_EQ(t.lens_item_address(215, 1, 4), &a.entered[5]);
    EXPECT_EQ(t.lens_item_address(215, 1, 2), nullptr);
    a.kind = kAsphereToricY;
    EXPECT_EQ(t.lens_item_address(215, 1, 4), nullptr);
    a.kind = kAsphereToricX;  // stored i - 3 from entry 1
    EXPECT_EQ(t.lens_item_address(215, 1, 3), nullptr);
    EXPECT_EQ(t.lens_item_address(215, 1, 4), &a.entered[1]);
}

// One item of each record family against the field it stands for.
TEST_F(LensItems, OneItemPerRecordFamily) {
    SurfaceRecord& s = surface(1);
    set_polynomial_asphere_term(1, 6, 2.5e-6);  // "AE"
    ASSERT_NE(s.asphere, nullptr);
    s.hologram = static_cast<HologramRecord*>(mem_alloc(sizeof(HologramRecord)));
    s.hologram->second_point[2] = -40.0;
    s.hologram->order = 2;
    s.perfect_lens = static_cast<PerfectLensRecord*>(mem_alloc(sizeof(PerfectLensRecord)));
    s.perfect_lens->magnification = -0.5;
    s.special_apertures = static_cast<SpecialAperture*>(alloc_array(2, sizeof(SpecialAperture)));
    s.special_aperture_count = 2;
    s.special_apertures[1].x[2] = 1.25;
    s.special_apertures[1].shape = kApertureQuadrilateral;
    s.grin = static_cast<GrinRecord*>(mem_alloc(sizeof(GrinRecord)));
    s.grin->kind = 11;
    s.grin->grd[5] = 0.75;   // GRB2
    s.grin->grd[27] = -1.5;  // GNZ11
    s.grin->gmz = 3.0;
    ASSERT_EQ(alloc_spline_record(2, 3), 0);
    surface(2).spline->slope[3] = 0.125;
    ASSERT_EQ(alloc_diffractive_record(2, 0, 4), 0);
    ASSERT_NE(surface(2).diffractive, nullptr);
    surface(2).diffractive->design_wavelength = 0.6328;
    surface(2).diffractive->entered[1] = 1e-3;
    s.thickness_source2 = 2;
    s.shape = kShapeAsphere;
    LensData& l = lens_data();
    l.wavelengths[0].weight = 0.7;
    ASSERT_NE(l.drawing_conditions, nullptr);
    ASSERT_GE(l.drawing_conditions->row_count, 3);
    l.drawing_conditions->rows[2].pupil_max = 0.9;
    l.drawing_conditions->rows[1].wavelength = 2;
    l.drawing_conditions->last_surface = 2;
    l.spot_settings->mtf_path_limit = 3.5;
    l.spot_settings->show_diffraction_limit = 1;
    l.optimise_params->max_glass_thickness = 12.0;
    l.optimise_params->sum_of_squares = 1;
    update_lens_array_bounds();

    const struct {
        const char* expression;
        double expected;
    } cases[] = {
        {"weight[1]", 0.7},
        {"ae[1]", 2.5e-6},
        {"hz2[1]", -40.0},
        {"hor[1]", 2.0},
        {"pfm[1]", -0.5},
        {"sa_px3[1][2]", 1.25},
        {"sa_shape[1][2]", 4.0},
        {"sa_count[1]", 2.0},
        {"grb[1][2]", 0.75},
        {"gnz[1][11]", -1.5},
        {"gmz[1]", 3.0},
        {"spline_slope[2][3]", 0.125},
        {"dwv[2]", 0.6328},
        {"doe_coefficient[2][1]", 1e-3},
        {"diffractive_kind[2]", 0.0},
        {"thickness_source2[1]", 2.0},
        {"shape[1]", 5.0},
        {"dlmx[2]", 0.9},
        {"dlwn[1]", 2.0},
        {"dlls", 2.0},
        {"sdms", 3.5},
        {"sdsa", 1.0},
        {"omxg", 12.0},
        {"opss", 1.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(value_of(c.expression), c.expected) << c.expression;
    }
    // Entries a record does not hold: past the dimension the interpreter refuses them, inside it
    // the lens does; either way the index is reported as outside the array.
    const struct {
        const char* line;
        int result;
    } refused[] = {
        {"x = sa_px3[1][3]", kMsgIndexRange},
        {"x = sa_px3[1][0]", kMsgIndexRange},
        {"x = spline_slope[2][4]", kMsgIndexRange},
        {"x = grb[1][0]", kMsgIndexRange},
        {"x = ad[2]", kMsgIndexRange},
        {"x = nr1[1][1]", kMsgIndexRange},
        {"x = hz2[2]", kMsgIndexRange},
        {"x = dlmx[3]", kMsgIndexRange},
        {"x = doe_coefficient[2][65]", kMsgIndexRange},
    };
    for (const auto& r : refused) EXPECT_EQ(run(r.line), r.result) << r.line;
}

TEST_F(LensItems, BoundsFollowTheLens) {
    update_lens_array_bounds();
    EXPECT_EQ(kpl_sysvar(116)->dim1, 3);
    EXPECT_EQ(kpl_sysvar(112)->dim1, 4);
    EXPECT_EQ(kpl_sysvar(131)->dim2, 4);
    EXPECT_EQ(kpl_sysvar(174)->dim2, 66);
    EXPECT_EQ(kpl_sysvar(198)->dim2, 1);
    EXPECT_EQ(kpl_sysvar(217)->dim2, 5);
    EXPECT_EQ(kpl_sysvar(251)->dim1, lens_data().drawing_conditions->row_count);
    EXPECT_EQ(kpl_sysvar(47)->dim1, 2000);
    EXPECT_EQ(kpl_sysvar(155)->dim2, 12);

    lens_data().image_surface = 6;
    ASSERT_EQ(alloc_asphere_record(3, kAsphereRadial, 79), 0);  // 80 entered coefficients
    ASSERT_EQ(alloc_spline_record(4, 8), 0);
    surface(5).special_aperture_count = 3;  // only the count is read for the bound
    update_lens_array_bounds();
    surface(5).special_aperture_count = 0;
    EXPECT_EQ(kpl_sysvar(116)->dim1, 7);
    EXPECT_EQ(kpl_sysvar(174)->dim2, 80);
    EXPECT_EQ(kpl_sysvar(215)->dim2, 80);
    EXPECT_EQ(kpl_sysvar(175)->dim2, 66);
    EXPECT_EQ(kpl_sysvar(198)->dim2, 4);
    EXPECT_EQ(kpl_sysvar(217)->dim2, 9);

    surface(3).asphere->entered[79] = 4.0;
    EXPECT_EQ(value_of("asp_coefficient[3][79]"), 4.0);
    EXPECT_EQ(run("x = asp_coefficient[3][80]"), kMsgIndexRange);
}

// Items 180 to 197 are answered by the tolerancing code's resolver.
double g_tolerance_value;
int g_asked_surface = -1, g_asked_value = -1;
void* test_resolver(int surface_number, int value) {
    g_asked_surface = surface_number;
    g_asked_value = value;
    return &g_tolerance_value;
}

TEST_F(LensItems, ToleranceItemsGoToTheResolver) {
    set_tolerance_item_resolver(nullptr);
    EXPECT_NE(run("x = tht[1]"), 0);  // no resolver: not available
    set_tolerance_item_resolver(test_resolver);
    g_tolerance_value = 0.05;
    EXPECT_EQ(value_of("tht[1]"), 0.05);
    EXPECT_EQ(g_asked_value, 4);  // THT
    EXPECT_EQ(g_asked_surface, 1);
    EXPECT_EQ(value_of("cdy[2]"), 0.05);
    EXPECT_EQ(g_asked_value, 13);  // CDY
    EXPECT_EQ(g_asked_surface, 2);
    g_asked_value = -1;
    EXPECT_EQ(handler_table().lens_item_address(180, 3, 0), nullptr);
    EXPECT_EQ(g_asked_value, -1);  // a surface outside the lens never reaches it
    set_tolerance_item_resolver(nullptr);
}

// Numbers without an item of their own give the data bound to their variable.
TEST_F(LensItems, OtherNumbersGiveTheBoundAddress) {
    HandlerTable& t = handler_table();
    EXPECT_EQ(t.lens_item_address(90, 0, 0), &lens_data().units);
    EXPECT_EQ(t.lens_item_address(11, 0, 0), on_error_line().line);
    EXPECT_EQ(t.lens_item_address(11, 47, 0), &on_error_line().line[47]);
    EXPECT_EQ(t.lens_item_address(11, 48, 0), nullptr);
    EXPECT_EQ(t.lens_item_address(299 + 7, 0, 0), nullptr);
    EXPECT_EQ(t.lens_item_address(-3, 0, 0), nullptr);
}

}  // namespace
