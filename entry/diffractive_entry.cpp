#include "entry/diffractive_entry.h"

#include "entry/entry_frame.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/surface_setters.h"
#include "numeric/memory.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

constexpr int kWrongArguments = 1;

bool cell_is(int k, int type) {
    const ArgCell* c = arg_cell(k);
    return c != nullptr && c->status == kArgGiven && c->type == type;
}
bool cell_is_number(int k) {
    return cell_is(k, kArgDouble) || cell_is(k, kArgInt);
}

bool zernike_kind(int kind) {
    return kind == kDiffractiveZernike || kind == kDiffractiveZernikeXy;
}

int choose_kind(int command, int n) {
    const int kind = arg_int(0);
    const bool allowed =
        command == kCmdDoeKind
            ? ((kind >= kDiffractiveRadial && kind <= kDiffractiveLastPolynomial) ||
               kind == kDiffractiveUnwritten)
            : zernike_kind(kind);
    if (!allowed) return set_error_msg(kMsgDoeKindRefused, kind);
    if (!cell_is(1, kArgInt)) return kWrongArguments;
    const int order = arg_int(1);
    // Orders count coefficients: below 0 there is nothing to make.
    if (order < 0) return set_error_msg(kMsgDoeKindRefused, kind);
    if (const int rc = alloc_diffractive_record(n, kind, order); rc != 0) return rc;
    if (command == kCmdDoeKind) {
        if (kind == kDiffractiveRadial) text_printf("DOE DFR");
        if (kind == kDiffractiveRadialOdd) text_printf("DOE DRA");
    } else if (kind == kDiffractiveZernike) {
        text_printf("ZOE ZRR");
    }
    if (surface(n).diffractive != nullptr && order != 0) text_printf("%3d", order);
    text_newline();
    return 0;
}

int coefficient(int command, int n) {
    DiffractiveRecord* d = surface(n).diffractive;
    const bool zernike = command == kCmdZoeCoefficient;
    if (d == nullptr || (zernike ? !zernike_kind(d->kind) : d->kind > kDiffractiveLastPolynomial)) {
        return set_error_msg(zernike ? kMsgNoZernikeDoe : kMsgNoPolynomialDoe);
    }
    if (!cell_is(0, kArgInt) || !cell_is_number(1)) return kWrongArguments;
    const int k = arg_int(0);
    if (k < 0 || k >= d->entered_count) {
        return set_error_msg(kMsgCoefficientIndex, d->entered_count - 1);
    }
    const double v = arg_double(1);
    d->entered[k] = v;
    d->changed = 1;
    print_msg(zernike ? kMsgZoeCoefficientEcho : kMsgDiffractiveLabel, k);
    if (k < 10) text_spaces(1);
    text_number(v);
    text_newline();
    return 0;
}

int delete_record(int command, int n) {
    SurfaceRecord& s = surface(n);
    if (s.diffractive == nullptr) return set_error_msg(kMsgNoDoe);
    mem_free(s.diffractive);
    s.diffractive = nullptr;
    s.diffraction_order = 0;
    s.diffraction_word = 0;
    s.grating_companion = 0.0;
    lens_flags().bounds_stale = 1;
    print_message_text("%s\n", command);
    return 0;
}

int run_case(int command, int n) {
    DiffractiveRecord* d = surface(n).diffractive;
    switch (command) {
        case kCmdDoeKind:
        case kCmdZoeKind:
            return choose_kind(command, n);
        case kCmdDoeCoefficient:
        case kCmdZoeCoefficient:
            return coefficient(command, n);
        case kCmdDoeWavelength:
            if (d == nullptr) return set_error_msg(kMsgNoDoe);
            if (!cell_is_number(0)) return kWrongArguments;
            d->design_wavelength = arg_double(0);
            d->changed = 1;
            print_message_and_number("%s ", command, d->design_wavelength);
            return 0;
        case kCmdDoeDelete:
        case kCmdZoeDelete:
            return delete_record(command, n);
        case kCmdZoeSwitch:
            if (d == nullptr || !zernike_kind(d->kind)) return set_error_msg(kMsgNoZernikeDoe);
            d->zernike_switch = arg_int(0) != 0 ? 1 : 0;
            print_symbol_name("%s ", command);
            print_msg(d->zernike_switch != 0 ? kMsgZoeOn : kMsgZoeOff);
            return 0;
        default:
            return 0;
    }
}

}  // namespace

int cmd_diffractive_data() {
    const int n = current_surface();
    // Refused through the error buffer, so that a script sees the failure.
    if (n < 1) return set_error_msg(kMsgNoObjectSurfaceEntry);
    int rc = 0;
    {
        UpdateOutputSwitch output;
        rc = run_case(current_command(), n);
    }
    if (rc != 0) return rc;
    mark_surface_changed(n);
    if (entry_deferred()) return 0;
    return entry_lens_setup();
}
