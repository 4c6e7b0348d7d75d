#include "entry/decentre_entry.h"

#include "entry/entry_frame.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/surface_groups.h"
#include "numeric/memory.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"

namespace {

constexpr int kReturnIntoStoredFrame = 2;

// A frame record of its own (coordinate return, reference frame): identity, tilt mode 1.
DecentreRecord* new_frame_record() {
    auto* d = alloc_array_of<DecentreRecord>(1);
    if (d == nullptr) return nullptr;
    *d = {};
    d->rotation[0] = d->rotation[4] = d->rotation[8] = 1.0;
    d->tilt_mode = 1;
    return d;
}

// Whether a return changes the thickness so that the surfaces after it keep their places.
bool keeps_following_places(int cur) {
    return (update_mode() || test_state_flag(kFlagEntryAtSurface) != 0) &&
           cur < lens_data().image_surface;
}

// A surface named as RCO and GC name it: n <= 0 counts back, a file's numbers move with the
// file's offset; 1..cur. 0 with the surface, or -9998.
int named_earlier_surface(int cur, int n, int* out) {
    if (n <= 0) {
        n = cur + n;
    } else if (lens_flags().reading_lens_file != 0) {
        n += lens_data().file_surface_offset;
    }
    if (n < 1 || n > cur) return set_error_msg(kMsgReturnSurfaceOutside, n);
    *out = n;
    return 0;
}

int decentre_value(int command, int cur) {
    SurfaceRecord& s = surface(cur);
    check_decentre_pickups(false);
    if (command == kCmdTiltMode && arg_int(0) < 0 && s.bend != 0) {
        return set_error_msg(kMsgBendNegativeTilt);
    }
    if (const int rc = ensure_decentre_record(cur); rc != 0)
        return set_error_msg(kMsgNoSpecialDataMemory);
    DecentreRecord& d = *s.decentre;
    if (command == kCmdTiltMode) {
        d.tilt_mode = arg_int(0) < 0 ? -1 : 1;
        print_message_and_integer("%s  ", command, d.tilt_mode);
        return 0;
    }
    const double v = arg_double(0);
    double* fields[6] = {&d.dcx, &d.dcy, &d.dcz, &d.tla, &d.tlb, &d.tlc};
    *fields[command - kCmdDecentreX] = v;
    print_message_and_number("%s ", command, v);
    return 0;
}

int return_coordinates(int command, int cur) {
    SurfaceRecord& s = surface(cur);
    if (s.bend != 0) return set_error_msg(kMsgReturnOnBend);
    if (cur < 1 || inside_non_sequential_group(cur)) return set_error_msg(kMsgReturnNotHere, cur);
    int n = 0;
    if (const int rc = named_earlier_surface(cur, arg_int(0), &n); rc != 0) return rc;
    if (s.return_coordinates == nullptr) {
        s.return_coordinates = new_frame_record();
        if (s.return_coordinates == nullptr) return set_error_msg(kMsgNoSpecialDataMemory);
    }
    if (keeps_following_places(cur)) {
        s.thickness = surface(cur + 1).vertex_position - surface(n).vertex_position;
    }
    s.return_coordinates->pickup_source = static_cast<std::int16_t>(n);
    if (n == cur) {
        print_message_text("%s\n", command);
    } else {
        print_message_and_integer("%s  ", command, n);
    }
    return 0;
}

int delete_return(int command, int cur) {
    SurfaceRecord& s = surface(cur);
    if (s.return_coordinates == nullptr) return set_error_msg(kMsgNoReturnToDelete);
    if (s.return_kind == kReturnIntoStoredFrame) return set_error_msg(kMsgReturnFixed);
    mem_free(s.return_coordinates);
    s.return_coordinates = nullptr;
    if (keeps_following_places(cur)) {
        s.thickness = surface(cur + 1).vertex_position - s.vertex_position;
    }
    print_message_text("%s\n", command);
    return 0;
}

int bend(int command, int cur) {
    SurfaceRecord& s = surface(cur);
    if (command == kCmdBendOff) {
        if (s.decentre == nullptr || s.bend == 0) return set_error_msg(kMsgNoBend);
        s.bend = 0;
        print_message_text("%s\n", command);
        return 0;
    }
    if (cur < 1 || inside_non_sequential_group(cur)) return set_error_msg(kMsgBendNotHere, cur);
    if (s.return_coordinates != nullptr || s.decentre_reference != nullptr) {
        return set_error_msg(kMsgBendWithReturn);
    }
    if (s.decentre != nullptr && s.decentre->tilt_mode < 0) {
        return set_error_msg(kMsgBendNegativeTilt);
    }
    if (const int rc = ensure_decentre_record(cur); rc != 0)
        return set_error_msg(kMsgNoSpecialDataMemory);
    s.bend = 1;
    print_message_text("%s\n", command);
    return 0;
}

int delete_decentre(int command, int cur) {
    SurfaceRecord& s = surface(cur);
    if (s.decentre == nullptr) return set_error_msg(kMsgNoDecentreToDelete);
    mem_free(s.decentre);
    s.decentre = nullptr;
    mem_free(s.decentre_reference);
    s.decentre_reference = nullptr;
    s.bend = 0;
    print_message_text("%s\n", command);
    return 0;
}

// GC n: the decentre is given in the frame of surface n.
int global_coordinates(int command, int cur) {
    SurfaceRecord& s = surface(cur);
    int n = 0;
    if (const int rc = named_earlier_surface(cur, arg_int(0), &n); rc != 0) return rc;
    if (s.decentre_reference == nullptr) {
        s.decentre_reference = new_frame_record();
        if (s.decentre_reference == nullptr) return set_error_msg(kMsgNoSpecialDataMemory);
    }
    s.decentre_reference->pickup_source = static_cast<std::int16_t>(n);
    print_message_and_integer("%s  ", command, n);
    return 0;
}

int run_case(int command, int cur) {
    switch (command) {
        case kCmdTiltMode:
        case kCmdDecentreX:
        case kCmdDecentreY:
        case kCmdDecentreZ:
        case kCmdTiltA:
        case kCmdTiltB:
        case kCmdTiltC:
            return decentre_value(command, cur);
        case kCmdReturnCoordinates:
            return return_coordinates(command, cur);
        case kCmdReturnDelete:
            return delete_return(command, cur);
        case kCmdBendOn:
        case kCmdBendOff:
            return bend(command, cur);
        case kCmdDecentreDelete:
            return delete_decentre(command, cur);
        case kCmdGlobalCoordinates:
            return global_coordinates(command, cur);
        default:
            return 0;
    }
}

}  // namespace

int cmd_decentre_tilt() {
    const int cur = current_surface();
    if (const int rc = run_case(current_command(), cur); rc != 0) return rc;
    mark_surface_changed(cur);
    if (entry_deferred()) return 0;
    return entry_lens_setup();
}
