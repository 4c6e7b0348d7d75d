#include "entry/asphere_entry.h"

#include "entry/entry_frame.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/lens_reset.h"
#include "lens/surface_setters.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

// Result of a command whose arguments are not of the types it needs: nothing changes.
constexpr int kWrongArguments = 1;

bool picks_up_curvature(const SurfaceRecord& s) {
    return s.curvature_kind == kCurvaturePickup || s.curvature_kind == kCurvaturePickupNegated;
}

bool is_int(int k) {
    const ArgCell* c = arg_cell(k);
    return c != nullptr && c->status == kArgGiven && c->type == kArgInt;
}
bool is_number(int k) {
    const ArgCell* c = arg_cell(k);
    return c != nullptr && c->status == kArgGiven && (c->type == kArgDouble || c->type == kArgInt);
}

int choose_kind(int n) {
    SurfaceRecord& s = surface(n);
    if (s.spline != nullptr) {
        if (ask_msg(kMsgReplaceSpline, n) != 0) return 0;
        free_surface_spline(n);
    }
    if (!is_int(0) || !is_int(1)) return kWrongArguments;
    int kind = arg_int(0);
    if (kind != kAsphereSeries && kind != kAsphereOdd && kind != kAsphereCone &&
        kind != kAsphereZernike && kind != kAsphereRadial && kind != kAsphereBiconicPairs) {
        kind = kAsphereEven;
    }
    const int order = arg_int(1);
    // Orders count terms: below 0 there is nothing to make.
    if (order < 0) return set_error_msg(kMsgCoefficientIndex, 0);
    if (const int rc = alloc_asphere_record(n, kind, order); rc != 0) return rc;
    text_printf("%s", asphere_kind_keyword(kind));
    if (s.asphere != nullptr) text_printf("%3d", order);
    text_newline();
    return 0;
}

// Stores value at entered[at], or zeroes every coefficient when the surface picks up its
// curvature (the pickup brings the source's asphere along).
void store_coefficient(SurfaceRecord& s, int at, double value) {
    AsphereRecord& a = *s.asphere;
    if (picks_up_curvature(s)) {
        for (int i = 0; i < a.entered_count; ++i) a.entered[i] = 0.0;
    } else {
        a.entered[at] = value;
    }
    a.changed = 1;
}

int coefficient_by_index(int n) {
    SurfaceRecord& s = surface(n);
    if (s.asphere == nullptr) return set_error_msg(kMsgAsphereCommandUnfit);
    const int kind = s.asphere->kind;
    if (kind >= kAsphereOdd && kind <= kAsphereEllipticCone) {
        return set_error_msg(kMsgAsphereCommandUnfit);
    }
    if (!is_int(0) || !is_number(1)) return kWrongArguments;
    const int k = arg_int(0);
    const int count = s.asphere->entered_count;
    if (k < 0 || k >= count) return set_error_msg(kMsgCoefficientIndex, count - 1);
    const double value = arg_double(1);
    store_coefficient(s, k, value);
    print_msg(kMsgAsphereCoefficientEcho, k);
    if (k < 10) text_spaces(1);
    text_number(value);
    text_newline();
    return 0;
}

int coefficient_by_term(int n) {
    SurfaceRecord& s = surface(n);
    if (s.asphere == nullptr) return set_error_msg(kMsgAsphereCommandUnfit);
    const int kind = s.asphere->kind;
    const int count = s.asphere->entered_count;
    int low = 0;
    int high = 0;
    bool even = false;
    switch (kind) {
        case kAsphereOdd:
        case kAsphereBiconicPairs:
            low = 3;
            high = count + 2;
            break;
        case kAsphereCone:
            low = 3;
            high = count + 1;
            break;
        case kAsphereToricX:
            low = 4;
            high = count + 2;
            even = true;
            break;
        case kAsphereBiconic:
            low = 4;
            high = (count - 4) / 2 + 4;
            even = true;
            break;
        case kAsphereEllipticCone:
            low = 4;
            high = (count - 7) / 2 + 4;
            even = true;
            break;
        default:
            return set_error_msg(kMsgAsphereCommandUnfit);
    }
    if (!is_int(0) || !is_number(1)) return kWrongArguments;
    const int k = arg_int(0);
    if (k < low || k > high || (even && k % 2 != 0)) {
        return set_error_msg(even ? kMsgEvenTermOutside : kMsgTermOutside, low, high);
    }
    int at = k - 3;
    if (kind == kAsphereCone) at = k - 2;
    if (kind == kAsphereBiconic) at = 2 * (k - 3);
    if (kind == kAsphereEllipticCone) at = 2 * k - 3;
    // The table's ranges keep every slot inside the record; a damaged count must not write out.
    if (at < 0 || at >= count) return set_error_msg(kMsgEvenTermOutside, low, high);
    const double value = arg_double(1);
    store_coefficient(s, at, value);
    print_msg(kMsgXyLabel, k);
    text_spaces(k < 10 ? 2 : 1);
    text_number(value);
    text_newline();
    return 0;
}

int delete_asphere(int n, int command) {
    SurfaceRecord& s = surface(n);
    if (s.asphere == nullptr) return set_error_msg(kMsgNoAsphereToDelete);
    const int kind = s.asphere->kind;
    if (kind == kAsphereToricX || kind == kAsphereToricY || kind == kAsphereBiconic) {
        s.x_curvature = 0.0;
        s.x_conic = 0.0;
        s.toric = 0;
    }
    alloc_asphere_record(n, -1, 0);  // a kind of no form frees the record
    lens_flags().bounds_stale = 1;
    print_symbol_name("%s\n", command);
    return 0;
}

int cone_leading(int n, int command) {
    SurfaceRecord& s = surface(n);
    if (s.asphere == nullptr ||
        (s.asphere->kind != kAsphereCone && s.asphere->kind != kAsphereEllipticCone)) {
        return set_error_msg(kMsgAsphereCommandUnfit);
    }
    const double value = arg_double(0);
    if (s.asphere->entered_count < 1) return set_error_msg(kMsgCoefficientIndex, -1);
    s.asphere->entered[0] = value;
    s.asphere->changed = 1;
    print_message_and_number("%s ", command, value);
    return 0;
}

int run_case(int command, int n) {
    switch (command) {
        case kCmdAsphereKind:
            return choose_kind(n);
        case kCmdAsphereCoefficient:
            return coefficient_by_index(n);
        case kCmdAsphereDelete:
            return delete_asphere(n, command);
        case kCmdAsphereTerm:
            return coefficient_by_term(n);
        case kCmdConeLeading:
            return cone_leading(n, command);
        default:
            return 0;
    }
}

int finish(int rc, int n) {
    if (rc != 0) return rc;
    mark_surface_changed(n);
    if (entry_deferred()) return 0;
    return entry_lens_setup();
}

}  // namespace

int cmd_asphere_data() {
    const int n = current_surface();
    int rc = 0;
    {
        UpdateOutputSwitch output;
        rc = run_case(current_command(), n);
    }
    return finish(rc, n);
}

int cmd_polynomial_asphere() {
    const int n = current_surface();
    const int command = current_command();
    const double value = arg_double(0);
    {
        UpdateOutputSwitch output;
        const int order = 4 + 2 * (command - kCmdDeformation4);
        set_polynomial_asphere_term(n, order, value);
        print_message_and_number("%s  ", command, value);
    }
    return finish(0, n);
}

const char* asphere_kind_keyword(int kind) {
    switch (kind) {
        case kAsphereSeries:
            return "ASP ASR";
        case kAsphereOdd:
            return "ASP ISR";
        case kAsphereCone:
            return "ASP CNR";
        case kAsphereZernike:
            return "ASP ZSR";
        case kAsphereRadial:
            return "ASP ARA";
        default:
            return "";
    }
}
