#include "optimise/tolerance_items.h"

#include <cmath>

#include "lens/lens_data.h"
#include "optimise/lens_elements.h"
#include "optimise/tolerance_defaults.h"
#include "platform/state_reset.h"

namespace {

constexpr double kTiny = 1e-40;

// The cell a default is read from by the command language.
struct ToleranceItemsState {
    double cell = 0.0;
};

ToleranceItemsState& state() {
    static ToleranceItemsState s;
    return s;
}

void reset_state() {
    state() = ToleranceItemsState{};
}

const platform::StateReset tolerance_items_state_reset{"optimise/tolerance_items", reset_state,
                                                       platform::ResetLayer::feature};

SurfaceTolerances reset_record() {
    SurfaceTolerances t{};
    for (const int k : {kTolRdt, kTolCct, kTolDzt, kTolCaa, kTolCab}) t.switches[k] = 1;
    return t;
}

// apply_default_tolerances works on the surface's own record: it is shown a copy instead, so
// that looking at the defaults changes nothing in the lens.
class BorrowedRecord {
public:
    BorrowedRecord(int s, SurfaceTolerances* copy)
        : record_(surface(s)), saved_(record_.tolerances) {
        record_.tolerances = copy;
    }
    ~BorrowedRecord() { record_.tolerances = saved_; }
    BorrowedRecord(const BorrowedRecord&) = delete;
    BorrowedRecord& operator=(const BorrowedRecord&) = delete;

private:
    SurfaceRecord& record_;
    SurfaceTolerances* saved_;
};

double value_or_zero(const SurfaceTolerances* t, int k) {
    return t != nullptr ? t->values[k] : 0.0;
}

bool is_element_value(int k) {
    return k >= kTolCdx && k <= kTolCcb;
}

double* in_cell(double v) {
    state().cell = v;
    return &state().cell;
}

double first_index(int s) {
    const SurfaceRecord& r = surface(s);
    return r.index != nullptr ? r.index[0] : 1.0;
}

}  // namespace

std::vector<int> lens_element_marks() {
    const int image = lens_data().image_surface;
    std::vector<int> marks(static_cast<std::size_t>(image > 0 ? image + 1 : 1), kElementNone);
    if (image > 0) find_lens_elements(marks.data(), image);
    return marks;
}

bool tolerance_given(const SurfaceTolerances* t, int k) {
    return t != nullptr && t->switches[k] != 0;
}

SurfaceTolerances surface_tolerances_shown(int s, const int* marks) {
    const SurfaceTolerances* own = surface(s).tolerances;
    SurfaceTolerances shown = own != nullptr ? *own : reset_record();
    if (s >= 1 && s < lens_data().image_surface) {
        const BorrowedRecord borrowed(s, &shown);
        apply_default_tolerances(s, marks);
        // The element values keep what is stored; the switches what the designer set.
        for (int k = kTolCdx; k <= kTolCcb; ++k) {
            shown.values[k] = value_or_zero(own, k);
            shown.switches[k] = own != nullptr ? own->switches[k] : reset_record().switches[k];
        }
        return shown;
    }
    for (int k = 0; k < kTolCdx; ++k) {
        if (!tolerance_given(&shown, k)) shown.values[k] = 0.0;
    }
    return shown;
}

ElementTolerancesShown element_tolerances_shown(int s, const int* marks) {
    ElementTolerancesShown e;
    const SurfaceTolerances* t = surface(s).tolerances;
    for (int k = kTolCdx; k <= kTolCcb; ++k) e.values[k] = value_or_zero(t, k);
    const int image = lens_data().image_surface;
    e.mark = s >= 0 && s < image ? marks[s] : kElementNone;
    if (e.mark != kElementFirst) return e;
    for (int j = s + 1; j <= image - 1; ++j) {
        if (marks[j] == kElementLast) {
            e.last = j;
            break;
        }
    }
    if (e.last == 0) return e;
    const SurfaceTolerances* te = surface(e.last).tolerances;
    const auto given = [](const SurfaceTolerances* r, int k) { return tolerance_given(r, k); };
    const auto tilted = [](const SurfaceTolerances* r) {
        return r != nullptr &&
               (std::fabs(r->values[kTolCaa]) >= kTiny || std::fabs(r->values[kTolCab]) >= kTiny);
    };
    if (!(given(t, kTolCdx) && given(t, kTolCdy))) {
        const double d = default_element_decentre(s, e.last);
        if (!given(t, kTolCdx)) e.values[kTolCdx] = d;
        if (!given(t, kTolCdy)) e.values[kTolCdy] = d;
    }
    // The second tilt form stands in for the element only where the first says nothing.
    const bool takes_tilt = !(given(t, kTolCca) && given(t, kTolCcb)) && !tilted(t) &&
                            !tilted(te) && !given(te, kTolCca) && !given(te, kTolCcb);
    const double tilt = takes_tilt ? default_element_tilt(s, e.last) : 0.0;
    if (!given(t, kTolCca)) e.values[kTolCca] = tilt;
    if (!given(t, kTolCcb)) e.values[kTolCcb] = tilt;
    return e;
}

void* tolerance_item_shown(int s, int k) {
    const LensData& l = lens_data();
    if (s < 0 || s > l.image_surface || s > surface_limit() || k < 0 || k >= kToleranceCount) {
        return nullptr;
    }
    SurfaceTolerances* own = surface(s).tolerances;
    if (tolerance_given(own, k)) return &own->values[k];
    switch (k) {
        case kTolRdt:
        case kTolCct:
        case kTolDzt:
        case kTolCaa:
        case kTolCab:
            // No default: what the record holds.
            return own != nullptr ? &own->values[k] : nullptr;
        case kTolRnt:
        case kTolVnt:
            if (!(first_index(s) > 1.0)) return nullptr;
            break;
        default:
            break;
    }
    const std::vector<int> marks = lens_element_marks();
    if (is_element_value(k)) {
        const ElementTolerancesShown e = element_tolerances_shown(s, marks.data());
        if (e.mark != kElementFirst || e.last == 0) return nullptr;
        return in_cell(e.values[k]);
    }
    return in_cell(surface_tolerances_shown(s, marks.data()).values[k]);
}
