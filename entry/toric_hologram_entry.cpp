#include "entry/toric_hologram_entry.h"

#include <cmath>

#include "entry/entry_frame.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/lens_reset.h"
#include "lens/surface_setters.h"
#include "numeric/memory.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr int kWrongArguments = 1;

int finish(int rc, int n) {
    if (rc != 0) return rc;
    mark_surface_changed(n);
    if (entry_deferred()) return 0;
    return entry_lens_setup();
}

int toric(int command, int n) {
    SurfaceRecord& s = surface(n);
    if (command == kCmdToricDelete) {
        remove_toric(n);
        print_message_text("%s\n", command);
        return 0;
    }
    const ArgCell* a = arg_cell(0);
    if (a == nullptr || a->type != kArgDouble) return kWrongArguments;
    if (s.curvature_kind == kCurvatureFixed && s.group_kind != kGroupElement &&
        s.group_kind != kGroupElementGroup) {
        return set_error_msg(kMsgGroupCurvature, n);
    }
    const double d = a->value.d;
    double c = d;
    if (command == kCmdToricRadius) c = std::fabs(d) <= kTiny ? 0.0 : 1.0 / d;
    set_toric_curvature(n, c);
    print_message_and_number("%s ", command, d);
    return 0;
}

int hologram(int command, int n) {
    SurfaceRecord& s = surface(n);
    if (n < 1) return set_error_msg(kMsgNoObjectSurfaceEntry);
    if (s.hologram == nullptr) {
        s.hologram = alloc_array_of<HologramRecord>(1);
        if (s.hologram == nullptr) return set_error_msg(kMsgNoSpecialDataMemory);
        reset_hologram_record(n);
    }
    HologramRecord& h = *s.hologram;
    const ArgCell* a = arg_cell(0);
    const bool is_double = a != nullptr && a->type == kArgDouble;
    const bool is_int = a != nullptr && a->type == kArgInt;
    if (command <= kCmdHologramOrder) {
        const int v = arg_int(0);
        if (is_int) {
            if (command == kCmdHologramOrder) {
                h.order = v;
            } else {
                (command == kCmdHologramFirstVirtual ? h.first_point_virtual
                                                     : h.second_point_virtual) =
                    static_cast<std::int8_t>(v);
            }
        }
        print_message_and_integer("%s ", command, v);
        return 0;
    }
    const double v = arg_double(0);
    if (is_double) {
        if (command == kCmdHologramWavelength) {
            h.wavelength = v;
        } else {
            const int k = command - kCmdHologramX1;
            (k < 3 ? h.first_point[k] : h.second_point[k - 3]) = v;
        }
    }
    print_message_and_number("%s ", command, v);
    return 0;
}

}  // namespace

int cmd_toric_curvature() {
    const int n = current_surface();
    return finish(toric(current_command(), n), n);
}

int cmd_hologram_data() {
    const int n = current_surface();
    const int command = current_command();
    if (command == kCmdHologramDelete) {
        if (n < 1) return set_error_msg(kMsgNoObjectSurfaceEntry);
        SurfaceRecord& s = surface(n);
        if (s.hologram == nullptr) {
            msg_box(kMsgNoHologramToDelete);
            return 0;
        }
        mem_free(s.hologram);
        s.hologram = nullptr;
        print_message_text("%s\n", command);
        mark_surface_changed(n);
        return 0;
    }
    return finish(hologram(command, n), n);
}
