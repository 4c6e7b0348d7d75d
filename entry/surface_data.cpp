#include "entry/surface_data.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

#include "entry/entry_frame.h"
#include "entry/lens_block.h"
#include "lens/glass_catalog.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/surface_setters.h"
#include "numeric/memory.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_case.h"
#include "runtime/text_output.h"

namespace {

constexpr double kTiny = 1e-40;

double curvature_of_radius(double r) {
    return std::fabs(r) < kTiny ? 0.0 : 1.0 / r;
}

// CV, RD and their group-fixed forms; the echo shows the value as typed.
int curvature(int command, double value, bool from_radius) {
    const int cur = current_surface();
    std::uint8_t kind = kCurvaturePlain;
    if (command == kCmdCurvatureFixed || command == kCmdRadiusFixed) kind = kCurvatureFixed;
    if (command == kCmdCurvatureFixedRtf || command == kCmdRadiusFixedRtf) {
        kind = kCurvatureFixedRtf;
    }
    if (kind == kCurvaturePlain) {
        if (const int rc = refuse_group_curvature(); rc != 0) return rc;
    }
    set_curvature_data(cur, kind, 0, 0.0, from_radius ? curvature_of_radius(value) : value);
    print_message_and_number(kind == kCurvaturePlain ? "%s  " : "%s ", command, value);
    return 0;
}

int thickness(int command, double t) {
    const int cur = current_surface();
    if (command == kCmdThickness) {
        if (const int rc = refuse_group_thickness(); rc != 0) return rc;
    }
    if ((update_mode() || test_state_flag(kFlagEntryAtSurface) != 0) &&
        inside_non_sequential_group(cur)) {
        return set_error_msg(kMsgGroupNonSequentialThickness, cur);
    }
    const std::uint8_t kind = command == kCmdThickness ? kThicknessPlain : kThicknessFixed;
    set_thickness_data(cur, kind, 0, 0, 0.0, 0.0, t);
    print_message_and_number(command == kCmdThickness ? "%s  " : "%s ", command, t);
    return 0;
}

int aperture(int command, int check) {
    const int cur = current_surface();
    SurfaceRecord& s = surface(cur);
    if (command == kCmdAperture) {
        if (const int rc = refuse_group_aperture(); rc != 0) return rc;
        if (s.aperture_kind == kAperturePickup && check == 1) {
            s.aperture_check = 1;
            print_message_text("%s CHK\n", command);
            return 0;
        }
    }
    const double r = arg_given(1) ? arg_double(1) : s.aperture_radius;
    std::uint8_t kind = kApertureComputed;
    if (r != 0.0) kind = command == kCmdAperture ? kApertureFixedValue : kApertureFixedByGroup;
    set_aperture_data(cur, kind, 0, r);
    s.aperture_check = check == 1 ? 1 : 0;
    const char* format = check == 1 ? "%s CHK " : command == kCmdAperture ? "%s  " : "%s ";
    print_message_and_number(format, command, r);
    return 0;
}

// AST: the stop moves to n (the current surface when no number is given), the reference
// surface with it when both were the same.
int stop_here(const ValuePair& v) {
    LensData& l = lens_data();
    const int n = v.given ? v.n : current_surface();
    if (n > surface_limit()) return set_error_msg(kMsgSurfaceOutside, n, surface_limit());
    if (n > 0) {
        if (l.reference_surface == l.aperture_stop) l.reference_surface = n;
        l.aperture_stop = n;
    }
    print_message_and_integer("%s ", kCmdStopHere, l.aperture_stop);
    return 0;
}

int named_medium(int command) {
    const int cur = current_surface();
    if (const int rc = refuse_group_medium(); rc != 0) return rc;
    const char* name = "AIR";
    int kind = kMediumAir;
    if (command == kCmdAirFixed) kind = kMediumAirFixed;
    if (command == kCmdMirror || command == kCmdMirrorHatched) {
        name = command == kCmdMirror ? "REFLECT" : "REFL_HATCH";
        kind = kMediumMirror;
    }
    int rc = 0;
    if (kind != kMediumMirror || cur >= 1) rc = set_surface_medium(cur, kind, name, 0);
    print_msg(kMsgMediumName, without_trailing_blanks(surface(cur).medium_name).c_str());
    lens_flags().materials_changed = 1;
    return rc;
}

int note(const ValuePair& v) {
    SurfaceRecord& s = surface(current_surface());
    mem_free(s.note);
    s.note = nullptr;
    const std::string text = v.is_text ? v.text.substr(0, kNoteLength) : std::string();
    if (text.empty()) return 0;
    s.note = static_cast<char*>(mem_alloc(kNoteLength + 1));
    if (s.note == nullptr) return kMsgNoSpecialDataMemory;
    std::memset(s.note, 0, kNoteLength + 1);
    std::memcpy(s.note, text.data(), text.size());
    print_msg(kMsgNoteEntered);
    text_printf("%s\n", s.note);
    return 0;
}

// SRF r t medium a: the whole surface, then the next one.
int whole_surface() {
    const int cur = current_surface();
    if (const int rc = refuse_group_curvature(); rc != 0) return rc;
    const double r = arg_double(0);
    set_curvature_data(cur, kCurvaturePlain, 0, 0.0, curvature_of_radius(r));
    print_message_and_number("%s  ", kCmdRadius, r);
    const double t = arg_double(1);
    set_thickness_data(cur, kThicknessPlain, 0, 0, 0.0, 0.0, t);
    print_message_and_number("%s  ", kCmdThickness, t);

    std::string name = arg_given(2) ? entry_text(2, kMediumNameLength) : std::string("AIR");
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    lens_flags().materials_changed = 1;
    int missing = 0;
    int rc = 0;
    if (name.compare(0, 3, "AIR") == 0) {
        rc = set_surface_medium(cur, kMediumAir, name.c_str(), 0);
    } else if (name.compare(0, 3, "RFL") == 0 || name.compare(0, 7, "REFLECT") == 0) {
        if (cur >= 1) rc = set_surface_medium(cur, kMediumMirror, name.c_str(), 0);
    } else {
        int catalog = 0;
        char padded[kGlassNameLength + 1];
        pad_glass_name(name.c_str(), padded);
        if (find_glass(padded, catalog) >= 0) {
            rc = set_surface_medium(cur, kMediumGlass, name.c_str(), 0);
        } else {
            print_msg(kMsgGlassMissingAir, name.c_str());
            missing = 1;
            rc = set_surface_medium(cur, kMediumAir, "AIR", 0);
        }
    }
    print_msg(kMsgMediumName, without_trailing_blanks(surface(cur).medium_name).c_str());
    if (rc != 0) return rc;

    const double a = arg_double(3);
    set_aperture_data(cur, a == 0.0 ? kApertureComputed : kApertureFixedValue, 0, a);
    surface(cur).aperture_check = 0;
    print_message_and_number("%s ", kCmdAperture, a);
    mark_surface_changed(cur);
    if (const int step = cmd_next_surface(); step != 0) return step;
    if (missing != 0) return set_error_msg(kMsgGlassNotInCatalogue, name.c_str());
    return 0;
}

// SKP n: the paraxial pass and the trace go from this surface straight to n (0 clears).
int skip_to(const ValuePair& v) {
    const int cur = current_surface();
    int target = v.n;
    if (target != 0 && lens_flags().reading_lens_file != 0)
        target += lens_data().file_surface_offset;
    if (target != 0 && (target <= cur || target > surface_limit())) {
        return set_error_msg(kMsgSkipTarget, cur, target);
    }
    surface(cur).skip_to = target;
    print_message_and_integer("%s ", kCmdSkip, target);
    return 0;
}

int run_case(int command, const ValuePair& v) {
    const int cur = current_surface();
    SurfaceRecord& s = surface(cur);
    switch (command) {
        case kCmdCurvature:
        case kCmdCurvatureFixed:
        case kCmdCurvatureFixedRtf:
            return curvature(command, v.d, false);
        case kCmdRadius:
        case kCmdRadiusFixed:
        case kCmdRadiusFixedRtf:
            return curvature(command, v.d, true);
        case kCmdThickness:
        case kCmdThicknessFixed:
            return thickness(command, v.d);
        case kCmdAperture:
        case kCmdApertureFixed:
            return aperture(command, v.n);
        case kCmdStopHere:
            return stop_here(v);
        case kCmdAirFixed:
        case kCmdAir:
        case kCmdMirror:
        case kCmdMirrorHatched:
            return named_medium(command);
        case kCmdTce:
            s.medium_tce = v.d;
            print_message_and_number("%s  ", command, v.d);
            return 0;
        case kCmdWholeSurface:
            return whole_surface();
        case kCmdConic:
            set_conic_constant(cur, v.d);
            print_message_and_number("%s  ", command, v.d);
            return 0;
        case kCmdNote:
            return note(v);
        case kCmdGratingOrder:
        case kCmdDiffractionOrder:
            s.diffraction_order = v.n;
            print_message_and_integer("%s ", command, v.n);
            return 0;
        case kCmdGratingSpacing:
            s.grating_spacing = v.d;
            print_message_and_number("%s ", command, v.d);
            return 0;
        case kCmdFresnel:
            s.fresnel = v.n >= 1 ? 1 : 0;
            print_message_and_integer("%s ", command, s.fresnel);
            return 0;
        case kCmdFresnelCurvature:
            s.fresnel_curvature = v.d;
            print_message_and_number("%s ", command, v.d);
            return 0;
        case kCmdFresnelConic:
            s.fresnel_conic = v.d;
            print_message_and_number("%s ", command, v.d);
            return 0;
        case kCmdRod:
            s.rod = v.n >= 1 ? 1 : 0;
            print_message_and_integer("%s ", command, s.rod);
            return 0;
        case kCmdAlternateIntersection:
            s.alternate_intersection = v.n >= 1 ? 1 : 0;
            print_message_and_integer("%s ", command, s.alternate_intersection);
            return 0;
        case kCmdTotalInternalReflection:
            if (cur < 1) return set_error_msg(kMsgNoObjectSurfaceEntry);
            s.tir_only = v.n >= 1 ? 1 : 0;
            print_message_and_integer("%s ", command, s.tir_only);
            return 0;
        case kCmdSkip:
            return skip_to(v);
        default:
            return 0;
    }
}

}  // namespace

int cmd_surface_data() {
    const ValuePair v = decode_value_pair();
    const int command = current_command();
    const int cur = current_surface();
    int rc = 0;
    {
        UpdateOutputSwitch output;
        rc = run_case(command, v);
    }
    if (rc != 0) return rc;
    // SRF stepped on; the surface it entered is the one that changed.
    mark_surface_changed(cur);
    if (entry_deferred()) return 0;
    return entry_lens_setup();
}
