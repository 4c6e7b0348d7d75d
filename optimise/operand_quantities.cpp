#include "optimise/operand_quantities.h"

#include <cmath>
#include <limits>
#include <vector>

#include "lens/lens_data.h"
#include "optimise/focus_pupil.h"
#include "optimise/optimise_data.h"
#include "platform/state_reset.h"
#include "runtime/list_words.h"
#include "runtime/state_flags.h"
#include "runtime/table_lists.h"
#include "tables/table_names.h"
#include "trace/object_point.h"
#include "trace/paraxial_trace.h"
#include "trace/ray_trace.h"
#include "trace/scoped_value.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMicrometresPerMillimetre = 1000.0;

// The rays of one field point, kept from one evaluation to the next so that an evaluation
// allocates nothing once the buffer has its size.
struct QuantitiesState {
    std::vector<RayRecord> rays;
};

QuantitiesState& quantities_state() {
    static QuantitiesState s;
    return s;
}

void reset_quantities_state() {
    std::vector<RayRecord>().swap(quantities_state().rays);
}

const platform::StateReset operand_quantities_state_reset{
    "optimise/operand_quantities", reset_quantities_state, platform::ResetLayer::feature};

double ratio_or_nan(double a, double b) {
    return std::fabs(b) < kOptimiseZero ? kNaN : a / b;
}

// First order from the paraxial trace of the current wavelength.
void first_order(double* slots) {
    const LensData& l = lens_data();
    if (l.afocal != 0) return;
    double v[6] = {};
    paraxial_setup_data(0, 0, v);
    const ParaxialState& p = paraxial_state();
    if (std::fabs(p.u) < kAfocalSlope) return;
    slots[kQuantityFocalLength] = v[0];
    slots[kQuantityFNumber] = v[2];
    slots[kQuantityImageHeight] = v[4];
    // The marginal ray reaches the image plane at height y with slope u: the paraxial focus lies
    // y / u in front of it.
    if (l.image_surface >= 1) {
        slots[kQuantityBackFocus] = surface(l.image_surface - 1).thickness - ratio_or_nan(p.y, p.u);
    }
}

// The sums of the Seidel and chromatic listings, scaled as their sum rows print them.
void aberration_sums(double* slots) {
    ParaxialState& p = paraxial_state();
    ScopedValue<std::int32_t> kind(p.listing_kind, kListingSeidel);
    ScopedValue<std::uint8_t> print(p.print, 0);
    ScopedValue<std::int32_t> first(p.first, 0);
    ScopedValue<std::int32_t> last(p.last, 0);
    p.wavelength = lens_data().current_wavelength;
    paraxial_trace(0);
    for (int k = 0; k < 5; ++k) slots[kQuantitySeidelFirst + k] = p.seidel_sum[k] * p.f1;
    slots[kQuantityAxialColour] = p.chroma_sum[0] * p.f3;
    slots[kQuantityLateralColour] = p.chroma_sum[2] * p.f3;
}

// The optical path difference of a traced ray in waves of its wavelength.
double path_in_waves(const RayRecord& r) {
    const LensData& l = lens_data();
    if (l.opdw != 0) return r.opd;
    const double lambda = l.wavelengths[r.wavelength].wavelength;
    if (lambda < kOptimiseZero) return kNaN;
    return r.opd * l.units * kMicrometresPerMillimetre / lambda;
}

// A ray stopped by a surface's aperture or by an obstruction is vignetted: the spot is that of
// the rays that pass, as the spot diagram shows it.
bool vignetted(const RayRecord& r) {
    return r.failure == kRayFailAperture || r.failure == kRayFailSpecialAperture;
}

// The rms spot radius about the centroid (all wavelengths, by their weights) and the rms
// wavefront of the current wavelength with its mean removed, at the current object point. A
// ray that misses a surface (or fails otherwise than by vignetting) leaves part of the pupil
// untraced: the rays that remain describe no image of this lens, and one ray alone (the pupil
// centre, which the reference ray always reaches) has no spread at all. Both values are then
// left undefined, so that the operands on them fail instead of reading a spot of 0.
void field_statistics(double* spot, double* wavefront) {
    const LensData& l = lens_data();
    std::vector<RayRecord>& rays = quantities_state().rays;
    const std::size_t needed = static_cast<std::size_t>(kRingSampleCount * l.wavelength_count);
    if (rays.size() < needed) rays.resize(needed);
    const PupilSample* samples = ring_samples();
    const RayRecord& ref = reference_ray().ray;
    int count = 0;
    for (int w = 0; w < l.wavelength_count; ++w) {
        if (l.wavelengths[w].weight <= 0.0 && w != l.current_wavelength) continue;
        for (int k = 0; k < kRingSampleCount; ++k) {
            RayRecord& r = rays[static_cast<std::size_t>(count++)];
            r = ref;
            r.kind = kRayMeasured;
            r.wavelength = w;
            r.pup_x = samples[k].x;
            r.pup_y = samples[k].y;
        }
    }
    trace_rays(rays.data(), count);
    double sw = 0, sx = 0, sy = 0, sr = 0;
    double pw = 0, pm = 0, pq = 0;
    int spot_rays = 0, wave_rays = 0;
    for (int i = 0; i < count; ++i) {
        const RayRecord& r = rays[static_cast<std::size_t>(i)];
        if (r.failure != 0) {
            if (vignetted(r)) continue;
            return;
        }
        const double ring = samples[i % kRingSampleCount].weight;
        const double weight = l.wavelengths[r.wavelength].weight;
        if (weight > 0.0) {
            const double w = ring * weight;
            ++spot_rays;
            sw += w;
            sx += w * r.dx;
            sy += w * r.dy;
            sr += w * (r.dx * r.dx + r.dy * r.dy);
        }
        if (r.wavelength == l.current_wavelength) {
            const double opd = path_in_waves(r);
            ++wave_rays;
            pw += ring;
            pm += ring * opd;
            pq += ring * opd * opd;
        }
    }
    if (spot_rays >= 2 && sw >= kOptimiseZero) {
        const double cx = sx / sw;
        const double cy = sy / sw;
        *spot = std::sqrt(std::fmax(0.0, sr / sw - cx * cx - cy * cy));
    }
    if (wave_rays >= 2 && pw >= kOptimiseZero) {
        const double mean = pm / pw;
        *wavefront = std::sqrt(std::fmax(0.0, pq / pw - mean * mean));
    }
}

// Real rays at the three field points; the stored object point is put back afterwards and the
// reference ray marked out of date.
void real_ray_quantities(double* slots) {
    const LensData& l = lens_data();
    ObjectPoint& point = object_point();
    const ObjectPoint kept = point;
    for (int f = 0; f < kQuantityFields; ++f) {
        point = ObjectPoint{};
        point.y = kQuantityField[f];
        if (set_object_point() != 0) continue;
        field_statistics(&slots[kQuantitySpotFirst + f], &slots[kQuantityWavefrontFirst + f]);
        if (f == kQuantityFields - 1 && l.afocal == 0) {
            const double ideal = slots[kQuantityImageHeight];
            if (std::isfinite(ideal) && std::fabs(ideal) >= kOptimiseZero) {
                slots[kQuantityDistortion] = 100.0 * (reference_ray().ray.y - ideal) / ideal;
            }
        }
    }
    point = kept;
    clear_state_flag(kFlagReferenceRayCurrent);
}

}  // namespace

void fill_operand_quantities(double* slots) {
    for (int k = kQuantityFocalLength; k <= kQuantityLastSlot; ++k) slots[k] = kNaN;
    if (lens_data().image_surface < 1) return;
    first_order(slots);
    aberration_sums(slots);
    real_ray_quantities(slots);
}

bool operand_quantity_name(int i, std::string* word, std::string* name) {
    select_list(kListOperandQuantities);
    if (current_list() != kListOperandQuantities || i < 0 || i >= current_list_count())
        return false;
    const char* first = current_list_first(i);
    const char* second = current_list_second(i);
    if (first == nullptr) return false;
    *word = list_entry_word(first);
    *name = second != nullptr ? second : "";
    return true;
}

int cmd_oprd_quantities() {
    fill_operand_quantities(optimise_tables().results);
    return 0;
}
