#include "lens/lens_items.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "kpl/kpl_sysvars.h"
#include "lens/lens_data.h"
#include "runtime/dispatch.h"
#include "runtime/state_flags.h"

namespace {

constexpr std::uint8_t kInt = 1;
constexpr std::uint8_t kDouble = 2;
constexpr std::uint8_t kChar = 3;

constexpr int kMinimumCoefficientSize = 66;
constexpr int kGrinGroupSize = 4;   // GRA, GRB, GRC, GRD: four elements each
constexpr int kGrinGnzOffset = 16;  // GNZ0..GNZ11 follow the four groups
constexpr int kGrinGnzCount = 12;
constexpr int kSplineFallbackSize = 5;
constexpr double kZero = 1e-40;

// Pseudo-kinds of items 177 and 178.
constexpr std::uint8_t kKindSplineProfile = 254;
constexpr std::uint8_t kKindHologram = 254;
constexpr std::uint8_t kKindGrating = 253;
constexpr std::uint8_t kKindNone = 255;

// Medium indices that hook 4 answers for a surface without an index array.
constexpr double kFallbackIndex1 = 1.62004;
constexpr double kFallbackIndex2 = 1.63208;
constexpr double kFallbackAbbe = 36.37;

double g_scratch[kScratchArrayCount][kScratchArraySize];

// Result cells of computed items.
double g_radius_cell;
double g_value_cell;
std::int32_t g_int_cell;
std::uint8_t g_byte_cell;
double g_text_number_cell;
char g_text_cell[24];

ToleranceItemResolver g_tolerance_resolver = nullptr;

// --- shapes -----------------------------------------------------------------------------------

struct ShapeRow {
    int first, last;
    LensItemShape shape;
};

constexpr LensItemShape scalar(std::uint8_t type) {
    return {type, 0, kDim1Unchanged, kDim2Unchanged, 0, 0};
}
constexpr LensItemShape per_surface(std::uint8_t type) {
    return {type, 1, kDim1Surfaces, kDim2Unchanged, 0, 0};
}
constexpr LensItemShape per_surface_and(std::uint8_t type, std::uint8_t dim2_code,
                                        std::int16_t dim2 = 0) {
    return {type, 2, kDim1Surfaces, dim2_code, 0, dim2};
}

constexpr ShapeRow kShapeRows[] = {
    {47, 52, {kDouble, 1, kDim1Unchanged, kDim2Unchanged, kScratchArraySize, 0}},
    {111, 111, per_surface(kInt)},
    {112, 113, {kDouble, 1, kDim1Wavelengths, kDim2Unchanged, 0, 0}},
    {114, 127, per_surface(kDouble)},
    {128, 128, per_surface(kInt)},
    {129, 130, per_surface(kChar)},
    {131, 132, per_surface_and(kDouble, kDim2Wavelengths)},
    {133, 139, per_surface(kDouble)},
    {140, 147, per_surface_and(kDouble, kDim2Wavelengths)},
    {148, 150, per_surface(kDouble)},
    {151, 154, per_surface_and(kDouble, kDim2Unchanged, kGrinGroupSize + 1)},
    {155, 155, per_surface_and(kDouble, kDim2Unchanged, kGrinGnzCount)},
    {156, 157, per_surface(kInt)},
    {158, 158, per_surface(kDouble)},
    {159, 162, per_surface(kChar)},
    {163, 163, per_surface(kDouble)},
    {164, 165, per_surface(kChar)},
    {166, 166, per_surface(kInt)},
    {167, 173, per_surface(kDouble)},
    {174, 174, per_surface_and(kDouble, kDim2Asphere)},
    {175, 175, per_surface_and(kDouble, kDim2Diffractive)},
    {176, 179, per_surface(kChar)},
    {180, 197, per_surface(kDouble)},
    {198, 202, per_surface_and(kDouble, kDim2SpecialApertures)},
    {203, 204, per_surface_and(kChar, kDim2SpecialApertures)},
    {205, 212, per_surface_and(kDouble, kDim2SpecialApertures)},
    {213, 213, per_surface_and(kChar, kDim2SpecialApertures)},
    {214, 214, per_surface(kInt)},
    {215, 216, per_surface_and(kDouble, kDim2Asphere)},
    {217, 218, per_surface_and(kDouble, kDim2Spline)},
    {219, 219, per_surface_and(kDouble, kDim2Diffractive)},
    {220, 220, per_surface(kInt)},
    {221, 222, per_surface(kChar)},
    {223, 223, per_surface(kInt)},
    {224, 224, per_surface(kDouble)},
    {225, 225, per_surface(kChar)},
    {226, 227, per_surface(kInt)},
    {228, 228, per_surface(kDouble)},
    {229, 230, per_surface(kChar)},
    {231, 231, per_surface(kInt)},
    {232, 232, per_surface(kChar)},
    {233, 233, per_surface(kInt)},
    {234, 235, per_surface(kDouble)},
    {236, 237, per_surface(kChar)},
    {238, 241, scalar(kDouble)},
    {242, 250, scalar(kInt)},
    {251, 251, {kInt, 1, kDim1RaySets, kDim2Unchanged, 0, 0}},
    {252, 256, {kDouble, 1, kDim1RaySets, kDim2Unchanged, 0, 0}},
    {257, 258, {kInt, 1, kDim1RaySets, kDim2Unchanged, 0, 0}},
    {259, 259, scalar(kInt)},
    {260, 261, scalar(kChar)},
    {262, 271, scalar(kDouble)},
    {272, 273, scalar(kChar)},
    {274, 274, scalar(kDouble)},
    {275, 277, scalar(kChar)},
    {294, 298, scalar(kDouble)},
    {300, 302, scalar(kChar)},
};

struct ShapeTable {
    std::array<LensItemShape, kLastLensItem - kFirstLensItem + 1> shapes{};
    constexpr ShapeTable() {
        for (const ShapeRow& r : kShapeRows) {
            for (int n = r.first; n <= r.last; ++n) shapes[n - kFirstLensItem] = r.shape;
        }
    }
};
constexpr ShapeTable kShapes;

// The tolerance-record value of items 180 to 197, in the order of the tolerance commands.
constexpr int kToleranceValues[18] = {4, 8, 0, 1, 2, 6, 10, 3, 5, 7, 9, 11, 12, 13, 16, 17, 14, 15};

// --- checks -----------------------------------------------------------------------------------

LensData& lens() {
    return lens_data();
}

// The record of surface s when s is a surface of the current lens, else null.
SurfaceRecord* surface_at(int s) {
    if (surface_array() == nullptr || s < 0 || s > lens().image_surface || s > surface_limit()) {
        return nullptr;
    }
    return &surface(s);
}

bool wavelength_ok(int w) {
    const int count = lens().wavelength_count;
    return w >= 1 && w <= count && w <= max_wavelengths();
}

// Element w of a per-wavelength array (w counted from 1), or null.
double* per_wavelength(double* array, int w) {
    return array != nullptr && wavelength_ok(w) ? &array[w - 1] : nullptr;
}

void* in_int_cell(std::int32_t v) {
    g_int_cell = v;
    return &g_int_cell;
}
void* in_byte_cell(std::uint8_t v) {
    g_byte_cell = v;
    return &g_byte_cell;
}
void* in_radius_cell(double curvature) {
    g_radius_cell = curvature != 0.0 ? 1.0 / curvature : 0.0;
    return &g_radius_cell;
}

// A decentre value while the tilt mode is one of the plain orders.
void* decentre_value(const SurfaceRecord& s, int item) {
    const DecentreRecord* d = s.decentre;
    if (d == nullptr || std::abs(d->tilt_mode) >= 2) return nullptr;
    double* const values[] = {&s.decentre->dcx, &s.decentre->dcy, &s.decentre->dcz,
                              &s.decentre->tla, &s.decentre->tlb, &s.decentre->tlc};
    return values[item - 122];
}

bool is_one_of(int kind, std::initializer_list<int> kinds) {
    for (int k : kinds) {
        if (k == kind) return true;
    }
    return false;
}

// Entered coefficient i of an asphere or diffractive record.
double* entered(double* array, int count, int i) {
    return array != nullptr && i >= 0 && i < count ? &array[i] : nullptr;
}

// Item 215: the coefficient of order i of the asphere kinds that number their coefficients by
// order.
void* asphere_order(const AsphereRecord& a, int order) {
    int stored = 0;
    int lowest = 0;
    switch (a.kind) {
        case 3:
            stored = order - 3;
            lowest = 0;
            break;
        case 4:
            stored = order - 3;
            lowest = 1;
            break;
        case 7:
            stored = order - 2;
            lowest = 1;
            break;
        case 6:
            if (order % 2 != 0) return nullptr;
            stored = 2 * order - 6;
            lowest = 2;
            break;
        case 8:
            if (order % 2 != 0) return nullptr;
            stored = 2 * order - 3;
            lowest = 5;
            break;
        default:
            return nullptr;
    }
    if (stored < lowest) return nullptr;
    return entered(a.entered, a.entered_count, stored);
}

// The GRIN coefficient row `row` (0-based) at wavelength w.
void* grin_row(const GrinRecord& g, int row, int w) {
    if (g.coefficients == nullptr || g.coefficients[row] == nullptr) return nullptr;
    return per_wavelength(g.coefficients[row], w);
}

// Items 198 to 213: a field of special aperture n (counted from 1).
void* special_aperture_item(SurfaceRecord& s, int item, int n) {
    if (s.special_apertures == nullptr || n < 1 || n > s.special_aperture_count) return nullptr;
    SpecialAperture& a = s.special_apertures[n - 1];
    switch (item) {
        case 198:
        case 209:
            return &a.y[0];
        case 199:
        case 210:
            return &a.y[1];
        case 211:
            return &a.y[2];
        case 212:
            return &a.y[3];
        case 200:
        case 205:
            return &a.x[0];
        case 201:
        case 206:
            return &a.x[1];
        case 207:
            return &a.x[2];
        case 208:
            return &a.x[3];
        case 202:
            return &a.angle;
        case 203:
            return &a.shape;
        case 204:
            return &a.action;
        case 213:
            return &a.group;
        default:
            return nullptr;
    }
}

// Items 111 to 237: surface data; i is the surface, j the second index.
void* surface_item(int item, int i, int j) {
    SurfaceRecord* sp = surface_at(i);
    if (sp == nullptr) return nullptr;
    SurfaceRecord& s = *sp;
    switch (item) {
        case 111:
            if (s.decentre == nullptr || std::abs(s.decentre->tilt_mode) >= 2) return nullptr;
            return &s.decentre->tilt_mode;
        case 114:
            return &s.curvature;
        case 115:
            return in_radius_cell(s.curvature);
        case 116:
            return &s.thickness;
        case 117:
            return &s.aperture_radius;
        case 118:
            return &s.medium_tce;
        case 119:
            return &s.conic;
        case 120:
            return &s.x_curvature;
        case 121:
            return in_radius_cell(s.x_curvature);
        case 122:
        case 123:
        case 124:
        case 125:
        case 126:
        case 127:
            return decentre_value(s, item);
        case 128:
            if (s.return_coordinates == nullptr) return nullptr;
            return in_int_cell(s.return_coordinates->pickup_source);
        case 129:
            return &s.bend;
        case 130:
            return &s.drawing_mode;
        case 131:
            return per_wavelength(s.index, j);
        case 132: {
            if (!wavelength_ok(j)) return nullptr;
            if (s.medium_work[3] != nullptr) return &s.medium_work[3][j - 1];
            if (s.medium_work[2] != nullptr) return &s.medium_work[2][j - 1];
            g_value_cell = 1.0;
            return &g_value_cell;
        }
        case 133:
        case 134:
        case 135:
        case 136: {
            const AsphereRecord* a = s.asphere;
            const int k = item - 133 + 2;  // AD is entered entry 2
            if (a == nullptr || a->kind != 0 || a->entered_count < k + 1) return nullptr;
            return entered(a->entered, a->entered_count, k);
        }
        case 137:
            return &s.fresnel_curvature;
        case 138:
            return &s.fresnel_conic;
        case 139:
            return s.grin != nullptr ? &s.grin->step : nullptr;
        case 140:
            if (s.grin == nullptr || is_one_of(s.grin->kind, {7, 11, 12})) return nullptr;
            return grin_row(*s.grin, 0, j);
        case 141:
        case 142:
        case 143:
            if (s.grin == nullptr || !is_one_of(s.grin->kind, {1, 3, 4, 8, 9, 10})) return nullptr;
            return grin_row(*s.grin, item - 140, j);
        case 144:
        case 145:
        case 146:
        case 147:
            if (s.grin == nullptr || !is_one_of(s.grin->kind, {1, 3, 8, 9})) return nullptr;
            return grin_row(*s.grin, item - 140, j);
        case 148:
        case 149:
        case 150:
        case 151:
        case 152:
        case 153:
        case 154:
        case 155: {
            GrinRecord* g = s.grin;
            if (g == nullptr || g->kind != 11) return nullptr;
            if (item == 148) return &g->gwv;
            if (item == 149) return &g->gmz;
            if (item == 150) return &g->goz;
            if (item == 155)
                return j >= 0 && j < kGrinGnzCount ? &g->grd[kGrinGnzOffset + j] : nullptr;
            if (j < 1 || j > kGrinGroupSize) return nullptr;
            return &g->grd[(item - 151) * kGrinGroupSize + j - 1];
        }
        case 156:
        case 157:
            return &s.diffraction_order;
        case 158:
            return &s.grating_spacing;
        case 159:
            return &s.fresnel;
        case 160:
            return &s.alternate_intersection;
        case 161:
            return &s.tir_only;
        case 162:
            return &s.rod;
        case 163:
            return s.diffractive != nullptr ? &s.diffractive->design_wavelength : nullptr;
        case 164:
        case 165:
        case 166:
        case 167:
        case 168:
        case 169:
        case 170:
        case 171:
        case 172:
        case 173: {
            HologramRecord* h = s.hologram;
            if (h == nullptr) return nullptr;
            if (item == 164) return &h->first_point_virtual;
            if (item == 165) return &h->second_point_virtual;
            if (item == 166) return &h->order;
            if (item == 167) return &h->wavelength;
            if (item <= 170) return &h->first_point[item - 168];
            return &h->second_point[item - 171];
        }
        case 174: {
            AsphereRecord* a = s.asphere;
            if (a == nullptr || !is_one_of(a->kind, {1, 2, 9, 10, 11, 12, 101})) return nullptr;
            return entered(a->entered, a->entered_count, j);
        }
        case 175:
        case 219: {
            DiffractiveRecord* d = s.diffractive;
            if (d == nullptr || (item == 175) != (d->kind <= 3)) return nullptr;
            return entered(d->entered, d->entered_count, j);
        }
        case 176:
            if (s.diffractive == nullptr || s.diffractive->kind < 4) return nullptr;
            return &s.diffractive->zernike_switch;
        case 177:
            if (s.asphere != nullptr) return &s.asphere->kind;
            return in_byte_cell(s.spline != nullptr ? kKindSplineProfile : kKindNone);
        case 178:
            if (s.diffractive != nullptr) return &s.diffractive->kind;
            if (s.hologram != nullptr) return in_byte_cell(kKindHologram);
            return in_byte_cell(s.grating_spacing != 0.0 ? kKindGrating : kKindNone);
        case 179:
            return s.grin != nullptr ? &s.grin->kind : nullptr;
        case 214:
            return in_int_cell(s.special_aperture_count);
        case 215:
            return s.asphere != nullptr ? asphere_order(*s.asphere, j) : nullptr;
        case 216: {
            AsphereRecord* a = s.asphere;
            if (a == nullptr || (a->kind != 7 && a->kind != 8)) return nullptr;
            return entered(a->entered, a->entered_count, j);
        }
        case 217:
        case 218: {
            SplineRecord* sp_rec = s.spline;
            if (sp_rec == nullptr || j < 0 || j >= sp_rec->count) return nullptr;
            double* array = item == 217 ? sp_rec->radius : sp_rec->slope;
            return array != nullptr ? &array[j] : nullptr;
        }
        case 220:
            return in_int_cell(s.shape);
        case 221:
            return &s.curvature_kind;
        case 222:
            return &s.toric;
        case 223:
            return in_int_cell(s.curvature_source);
        case 224:
            return &s.curvature_solve_value;
        case 225:
            return &s.thickness_kind;
        case 226:
            return in_int_cell(s.thickness_source);
        case 227:
            return in_int_cell(s.thickness_source2);
        case 228:
            return &s.thickness_solve_value;
        case 229:
            return &s.aperture_kind;
        case 230:
            return &s.aperture_check;
        case 231:
            return in_int_cell(s.aperture_source);
        case 232:
            return &s.medium_kind;
        case 233:
            return in_int_cell(s.medium_source);
        case 234:
            return s.perfect_lens != nullptr ? &s.perfect_lens->focal_length : nullptr;
        case 235:
            return s.perfect_lens != nullptr ? &s.perfect_lens->magnification : nullptr;
        case 236:
            return &s.group_kind;
        case 237:
            return &s.group_role;
        default:
            break;
    }
    if (item >= 180 && item <= 197) {
        if (g_tolerance_resolver == nullptr) return nullptr;
        return g_tolerance_resolver(i, tolerance_value_of_item(item));
    }
    if (item >= 198 && item <= 213) return special_aperture_item(s, item, j);
    return nullptr;
}

// Items 238 to 261: the lens-drawing conditions and their ray sets.
void* drawing_item(int item, int r) {
    DrawingConditions* d = lens().drawing_conditions;
    if (d == nullptr) return nullptr;
    if (item >= 238 && item <= 241) return &d->view[item - 238];
    std::int32_t* const words[] = {&d->view_angle1, &d->view_angle2, &d->dlap,     &d->dlri,
                                   &d->dlsp,        &d->dlrs,        &d->row_count};
    if (item >= 242 && item <= 248) return words[item - 242];
    if (item == 249) return &d->first_surface;
    if (item == 250) return &d->last_surface;
    if (item == 259) return &d->dlcv;
    if (item == 260) return &d->dlas;
    if (item == 261) return &d->dlhr;
    if (d->rows == nullptr || r < 0 || r >= d->row_count || r >= d->row_capacity) return nullptr;
    DrawingRaySet& row = d->rows[r];
    switch (item) {
        case 251:
            return &row.ray_count;
        case 252:
            return &row.field_fraction;
        case 253:
            return &row.pupil_min;
        case 254:
            return &row.pupil_max;
        case 255:
            return &row.x_field_fraction;
        case 256:
            return &row.offset;
        case 257:
            return &row.unused;
        case 258:
            return &row.wavelength;
        default:
            return nullptr;
    }
}

void* optimise_item(int item) {
    OptimiseParams* o = lens().optimise_params;
    if (o == nullptr) return nullptr;
    switch (item) {
        case 262:
            return &o->damping;
        case 263:
            return &o->small_damping;
        case 264:
            return &o->damping_reduction;
        case 265:
            return &o->derivative_increment;
        case 266:
            return &o->bound_weight;
        case 267:
            return &o->stop_threshold;
        case 268:
            return &o->min_air_thickness;
        case 269:
            return &o->max_air_thickness;
        case 270:
            return &o->min_glass_thickness;
        case 271:
            return &o->max_glass_thickness;
        case 272:
            return &o->automatic_increments;
        case 273:
            return &o->variable_damping;
        case 274:
            return &o->constraint_tolerance;
        case 275:
            return &o->flags[0];
        case 276:
            return &o->flags[1];
        case 277:
            return &o->sum_of_squares;
        default:
            return nullptr;
    }
}

void* spot_item(int item) {
    SpotSettings* p = lens().spot_settings;
    if (p == nullptr) return nullptr;
    switch (item) {
        case 294:
            return &p->aperture_divisions;
        case 295:
            return &p->apodisation_width_x;
        case 296:
            return &p->apodisation_width_y;
        case 297:
            return &p->mtf_path_limit;
        case 298:
            return &p->through_focus_frequency;
        case 300:
            return &p->polychromatic;
        case 301:
            return &p->apodisation_on;
        case 302:
            return &p->show_diffraction_limit;
        default:
            return nullptr;
    }
}

int element_size(int type) {
    return type == kDouble ? 8 : type == kInt ? 4 : 1;
}

// A number without an item of its own: the data bound to its built-in variable, indexed within
// the variable's dimensions.
void* bound_variable(int item, int i, int j) {
    const KplSysVar* v = kpl_sysvar(item);
    if (v == nullptr || v->address == nullptr) return nullptr;
    if (v->dim1 <= 0) return v->address;
    if (i < 0 || i >= v->dim1) return nullptr;
    long index = i;
    if (v->dim2 > 0) {
        if (j < 0 || j >= v->dim2) return nullptr;
        index = static_cast<long>(i) * v->dim2 + j;
    }
    return static_cast<std::uint8_t*>(v->address) + index * element_size(v->type);
}

// The medium index of the current surface at wavelength w, or null without an index array.
const double* current_index(int w) {
    SurfaceRecord* s = surface_at(lens().current_surface);
    if (s == nullptr || s->index == nullptr || w > max_wavelengths()) return nullptr;
    return &s->index[w - 1];
}

double round_to_3_digits(double x) {
    if (x == 0.0 || !std::isfinite(x)) return x;
    const int e = static_cast<int>(std::floor(std::log10(std::fabs(x))));
    const double scale = std::pow(10.0, 2 - e);
    return std::round(x * scale) / scale;
}

// Item 20: half a millimetre in lens units; null for a unit that is no length.
const char* half_millimetre() {
    const double units = lens().units;
    if (!(units > 0.0) || !std::isfinite(units)) return nullptr;
    static constexpr double kKnown[][2] = {
        {1.0, 0.5}, {10.0, 0.05}, {25.4, 0.02}, {0.001, 500.0}, {1000.0, 0.0005}};
    g_text_number_cell = round_to_3_digits(0.5 / units);
    for (const auto& k : kKnown) {
        if (std::fabs(units - k[0]) < kZero) g_text_number_cell = k[1];
    }
    return reinterpret_cast<const char*>(&g_text_number_cell);
}

std::int16_t clamp_dimension(int n) {
    return static_cast<std::int16_t>(n < 0 ? 0 : n > 32767 ? 32767 : n);
}

}  // namespace

const LensItemShape* lens_item_shape(int item) {
    if (item < kFirstLensItem || item > kLastLensItem) return nullptr;
    const LensItemShape& s = kShapes.shapes[item - kFirstLensItem];
    return s.type != 0 ? &s : nullptr;
}

int tolerance_value_of_item(int item) {
    return item >= 180 && item <= 197 ? kToleranceValues[item - 180] : -1;
}

void set_tolerance_item_resolver(ToleranceItemResolver resolver) {
    g_tolerance_resolver = resolver;
}

double* scratch_array(int k) {
    return k >= 1 && k <= kScratchArrayCount ? g_scratch[k - 1] : nullptr;
}

void clear_scratch_arrays() {
    std::memset(g_scratch, 0, sizeof g_scratch);
}

void* lens_item_address(int item, int i, int j) {
    if (lens_item_shape(item) == nullptr) return bound_variable(item, i, j);
    if (item <= 52) {
        return i >= 0 && i < kScratchArraySize ? &g_scratch[item - kFirstLensItem][i] : nullptr;
    }
    if (item == 112 || item == 113) {
        WavelengthEntry* table = lens().wavelengths;
        if (table == nullptr || !wavelength_ok(i)) return nullptr;
        return item == 112 ? &table[i - 1].wavelength : &table[i - 1].weight;
    }
    if (item <= 237) return surface_item(item, i, j);
    if (item <= 261) return drawing_item(item, i);
    if (item <= 277) return optimise_item(item);
    return spot_item(item);
}

const char* lens_item_text(int item) {
    LensData& l = lens();
    switch (item) {
        case 1:
            std::snprintf(g_text_cell, sizeof g_text_cell, "GLASS%d", l.current_surface);
            return g_text_cell;
        case 2: {
            const double* n1 = current_index(1);
            g_text_number_cell = n1 != nullptr ? *n1 : kFallbackIndex1;
            break;
        }
        case 3: {
            if (l.wavelength_count < 2) {
                g_text_number_cell = 1.0;
                break;
            }
            const double* n2 = current_index(2);
            g_text_number_cell = n2 != nullptr ? *n2 : kFallbackIndex2;
            break;
        }
        case 4: {
            if (l.wavelength_count < 3) {
                g_text_number_cell = 0.0;
                break;
            }
            const double* n = current_index(1);
            if (n == nullptr || current_index(3) == nullptr) {
                g_text_number_cell = kFallbackAbbe;
                break;
            }
            const double spread = n[1] - n[2];
            g_text_number_cell = std::fabs(spread) < kZero ? 0.0 : (n[0] - 1.0) / spread;
            break;
        }
        case 19: {
            g_text_number_cell = 0.0;
            if (test_state_flag(kFlagLensEntryInProgress) == 0 &&
                test_state_flag(kFlagSingleCommandUpdate) == 0) {
                break;
            }
            const SurfaceRecord* s = surface_at(l.current_surface);
            if (s != nullptr && s->aperture_kind != kApertureComputed) {
                g_text_number_cell = s->aperture_radius;
            }
            break;
        }
        case 20:
            return half_millimetre();
        default:
            return nullptr;
    }
    return reinterpret_cast<const char*>(&g_text_number_cell);
}

void update_lens_array_bounds() {
    const LensData& l = lens();
    int asphere_size = kMinimumCoefficientSize;
    int diffractive_size = kMinimumCoefficientSize;
    int size_a = 11, aperture_size = 1, spline_size = kSplineFallbackSize, size_b = 10, size_c = 2,
        grin_size = 10;
    int ray_sets = 0;
    const DrawingConditions* d = l.drawing_conditions;
    if (d != nullptr && d->rows != nullptr) {
        ray_sets = d->row_count < d->row_capacity ? d->row_count : d->row_capacity;
    }
    // The surfaces the lens has; none before the arrays exist.
    int surfaces = 0;
    if (surface_array() != nullptr && l.image_surface >= 0) {
        surfaces = (l.image_surface < surface_limit() ? l.image_surface : surface_limit()) + 1;
    }
    // Every size keeps its start value as the least, so that a lens without the record still
    // has a usable dimension; the hook checks the real count of each record.
    for (int n = 0; n < surfaces; ++n) {
        const SurfaceRecord& s = surface(n);
        if (s.asphere != nullptr)
            asphere_size = std::max<int>(asphere_size, s.asphere->entered_count);
        if (s.diffractive != nullptr) {
            diffractive_size = std::max<int>(diffractive_size, s.diffractive->entered_count);
        }
        if (s.trace_record_a != nullptr) {
            std::int16_t count;
            std::memcpy(&count, s.trace_record_a, sizeof count);
            size_a = std::max(size_a, count + 1);
        }
        aperture_size = std::max(aperture_size, s.special_aperture_count + 1);
        if (s.spline != nullptr) spline_size = std::max(spline_size, s.spline->count);
        if (s.trace_record_b != nullptr) {
            std::int16_t count;
            std::memcpy(&count, static_cast<const std::uint8_t*>(s.trace_record_b) + 4,
                        sizeof count);
            size_b = std::max<int>(size_b, count);
        }
        if (s.range_record != nullptr) size_c = std::max(size_c, s.range_record->count + 1);
        if (s.grin != nullptr) grin_size = std::max(grin_size, s.grin->count);
    }
    const int wavelengths = l.wavelength_count + 1;
    for (int n = 0; n < kKplSysVarCount; ++n) {
        KplSysVar* v = kpl_sysvar(n);
        const int code1 = v->reserved & 0xFF;
        const int code2 = v->reserved >> 8;
        switch (code1) {
            case kDim1Surfaces:
                v->dim1 = clamp_dimension(surfaces);
                break;
            case kDim1Wavelengths:
                v->dim1 = clamp_dimension(wavelengths);
                break;
            case kDim1RaySets:
                v->dim1 = clamp_dimension(ray_sets);
                break;
            case kDim1SurfacesRangeRec:
                v->dim1 = clamp_dimension(surfaces);
                v->dim2 = clamp_dimension(size_c);
                break;
            case kDim1SurfacesGrin:
                v->dim1 = clamp_dimension(surfaces);
                v->dim2 = clamp_dimension(grin_size);
                break;
            default:
                break;
        }
        switch (code2) {
            case kDim2Asphere:
                v->dim2 = clamp_dimension(asphere_size);
                break;
            case kDim2Diffractive:
                v->dim2 = clamp_dimension(diffractive_size);
                break;
            case kDim2Wavelengths:
                v->dim2 = clamp_dimension(wavelengths);
                break;
            case kDim2TraceRecordA:
                v->dim2 = clamp_dimension(size_a);
                break;
            case kDim2SpecialApertures:
                v->dim2 = clamp_dimension(aperture_size);
                break;
            case kDim2Spline:
                v->dim2 = clamp_dimension(spline_size);
                break;
            case kDim2TraceRecordB:
                v->dim2 = clamp_dimension(size_b);
                break;
            default:
                break;
        }
    }
}

void install_lens_items() {
    HandlerTable& table = handler_table();
    table.lens_item_address = lens_item_address;
    table.lens_item_text = lens_item_text;
    for (int n = kFirstLensItem; n <= kLastLensItem; ++n) {
        const LensItemShape* shape = lens_item_shape(n);
        KplSysVar* v = kpl_sysvar(n);
        if (shape == nullptr || v->address != nullptr) continue;
        v->type = shape->type;
        v->dim1 = shape->dim1;
        v->dim2 = shape->dim2;
        v->reserved = static_cast<std::uint16_t>(shape->dim1_code | shape->dim2_code << 8);
    }
    update_lens_array_bounds();
}
