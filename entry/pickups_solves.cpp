#include "entry/pickups_solves.h"

#include <cstring>

#include "entry/entry_frame.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/surface_groups.h"
#include "lens/surface_pickups.h"
#include "lens/surface_setters.h"
#include "numeric/memory.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/text_output.h"

namespace {

constexpr int kArgType = 0;
constexpr int kArgSource = 1;
constexpr int kArgSecondSource = 2;
constexpr int kArgOffset = 3;

const char* pickup_keyword(int type) {
    switch (type) {
        case kPickGlass:
            return "GLA";
        case kPickCurvature:
            return "CV ";
        case kPickCurvatureNegated:
            return "CVM";
        case kPickThickness:
            return "TH ";
        case kPickThicknessNegated:
            return "THM";
        case kPickLength:
            return "LN ";
        case kPickLengthNegated:
            return "LNM";
        case kPickAperture:
            return "AP ";
        case kPickDecentre:
            return "TD ";
        case kPickDecentreNegated:
            return "TDM";
        case kPickDiffractive:
            return "DFC";
        default:
            return nullptr;
    }
}

// Parameters the pickup asks for when a value is missing.
constexpr int kParamCurvatureOffset = 223;
constexpr int kParamThicknessOffset = 1174;
constexpr int kParamLastSurfaceMirrored = 596;
constexpr int kParamLastSurface = 597;

int ask_double(int param, double* value) {
    ArgCell cell{};
    if (const int rc = prompt_param(param, &cell); rc != 0) return rc;
    *value = cell.type == kArgInt ? cell.value.i : cell.value.d;
    return 0;
}

int ask_int(int param, int* value) {
    ArgCell cell{};
    if (const int rc = prompt_param(param, &cell); rc != 0) return rc;
    *value = cell.type == kArgDouble ? static_cast<int>(cell.value.d) : cell.value.i;
    return 0;
}

int copy_diffractive(int cur, int source) {
    SurfaceRecord& s = surface(cur);
    mem_free(s.diffractive);
    s.diffractive = nullptr;
    mark_lens_bounds_stale();
    const DiffractiveRecord* from = surface(source).diffractive;
    if (from == nullptr) return 0;
    const int c1 = from->working_count;
    const int c2 = from->entered_count;
    const std::size_t bytes = sizeof(DiffractiveRecord) + sizeof(double) * (c1 + c2);
    auto* record = static_cast<DiffractiveRecord*>(mem_alloc(bytes));
    if (record == nullptr) return kMsgNoSpecialDataMemory;
    std::memset(record, 0, bytes);
    record->working_count = from->working_count;
    record->entered_count = from->entered_count;
    record->kind = from->kind;
    record->pickup_source = static_cast<std::int16_t>(source);
    record->working = reinterpret_cast<double*>(reinterpret_cast<unsigned char*>(record) +
                                                sizeof(DiffractiveRecord));
    record->entered = record->working + c1;
    record->design_wavelength = from->design_wavelength;
    s.diffractive = record;
    s.diffraction_word = surface(source).diffraction_word;
    s.grating_companion = surface(source).grating_companion;
    return 0;
}

int pickup(int type, int cur, int source, int second, double offset) {
    SurfaceRecord& s = surface(cur);
    int variable = 0;
    switch (type) {
        case kPickGlass: {
            if (const int rc = refuse_group_medium(); rc != 0) return rc;
            if (surface(source).medium_kind == kMediumMirror) return kMsgGlassFromMirror;
            char name[kMediumNameLength + 1];
            std::memcpy(name, surface(source).medium_name, sizeof name);
            if (const int rc =
                    set_surface_medium(cur, kMediumPickup, name, static_cast<std::int16_t>(source));
                rc != 0) {
                return rc;
            }
            lens_flags().materials_changed = 1;
            return 0;
        }
        case kPickCurvature:
        case kPickCurvatureNegated:
            if (!update_mode() && find_curvature_variable(cur, &variable)) {
                return kMsgCurvatureIsVariable;
            }
            if (const int rc = refuse_group_curvature(); rc != 0) return rc;
            mem_free(s.asphere);
            s.asphere = nullptr;
            mark_lens_bounds_stale();
            set_curvature_data(cur, static_cast<std::uint8_t>(type),
                               static_cast<std::int16_t>(source), offset, s.curvature);
            return 0;
        case kPickThickness:
        case kPickThicknessNegated:
        case kPickLength:
        case kPickLengthNegated: {
            if (const int rc = check_thickness_entry(); rc != 0) return rc;
            const bool range = type == kPickLength || type == kPickLengthNegated;
            set_thickness_data(
                cur, static_cast<std::uint8_t>(type - 2), static_cast<std::int16_t>(source),
                static_cast<std::int16_t>(range ? second : 0), offset, 0.0, s.thickness);
            return 0;
        }
        case kPickAperture:
            if (const int rc = refuse_group_aperture(); rc != 0) return rc;
            set_aperture_data(cur, kAperturePickup, static_cast<std::int16_t>(source), 0.0);
            s.aperture_check = 0;
            return 0;
        case kPickDecentre:
        case kPickDecentreNegated:
            if (type == kPickDecentreNegated && surface(source).decentre_reference != nullptr) {
                return kMsgDecentreFromGlobal;
            }
            if (const int rc = ensure_decentre_record(cur); rc != 0) return rc;
            s.decentre->pickup_source = static_cast<std::int16_t>(source);
            s.decentre->pickup_negated = static_cast<std::int16_t>(type == kPickDecentre ? 1 : -1);
            return 0;
        case kPickDiffractive:
            return copy_diffractive(cur, source);
        default:
            return kMsgPickupType;
    }
}

int run_pickup() {
    const int cur = current_surface();
    if (cur < 1) return set_error_msg(kMsgPickupOnObject);
    const int type = arg_int(kArgType);
    int source = arg_int(kArgSource);
    int second = arg_int(kArgSecondSource);
    if (source < 0) source += cur;
    if (second <= 0) second += cur;
    if (source < 0 || source >= cur) return set_error_msg(kMsgPickupSource, cur);
    const char* keyword = pickup_keyword(type);
    if (keyword == nullptr) return set_error_msg(kMsgPickupType, cur);

    double offset = arg_double(kArgOffset);
    const bool range = type == kPickLength || type == kPickLengthNegated;
    if (type >= kPickCurvature && type <= kPickLengthNegated && !arg_given(kArgOffset)) {
        const bool curvature = type <= kPickCurvatureNegated;
        const int param = curvature ? kParamCurvatureOffset : kParamThicknessOffset;
        if (const int rc = ask_double(param, &offset); rc != 0) return rc;
    }
    if (range && (second < source || second > cur)) {
        const int param = type == kPickLength ? kParamLastSurface : kParamLastSurfaceMirrored;
        if (const int rc = ask_int(param, &second); rc != 0) return rc;
        if (second <= 0) second += cur;
        if (second < source || second > cur) return set_error_msg(kMsgPickupSource, cur);
    }
    int rc = 0;
    {
        UpdateOutputSwitch output;
        rc = pickup(type, cur, source, second, offset);
        if (rc == 0 && !update_mode()) {
            print_msg(kMsgPickupEcho, keyword);
            text_printf("%3d", source);
            if (range) text_printf(" %d", second);
            if (offset != 0.0) {
                text_printf("  %c ", '+');
                text_number(offset);
            }
            text_newline();
        }
    }
    if (rc == kErrorTextReady || rc == kStopped) return rc;
    if (rc != 0) return set_error_msg(rc, cur);
    mark_surface_changed(cur);
    if (entry_deferred()) return 0;
    return entry_lens_setup();
}

int run_solve(int command, double d, double d2) {
    const int cur = current_surface();
    if (cur < 1) return set_error_msg(kMsgSolveOnObject, cur);
    SurfaceRecord& s = surface(cur);
    int variable = 0;
    if (command >= kCmdAxialSlopeSolve && command <= kCmdChiefAplanaticSolve) {
        if (!update_mode() && find_curvature_variable(cur, &variable)) {
            return set_error_msg(kMsgCurvatureIsVariable, cur);
        }
        if (const int rc = refuse_group_curvature(); rc != 0) return rc;
        static const std::uint8_t kKinds[] = {kCurvatureAxialSlope,     kCurvatureChiefSlope,
                                              kCurvatureAxialIncidence, kCurvatureChiefIncidence,
                                              kCurvatureAxialAplanatic, kCurvatureChiefAplanatic};
        const std::uint8_t kind = kKinds[command - kCmdAxialSlopeSolve];
        const bool valued = command < kCmdAxialAplanaticSolve;
        set_curvature_data(cur, kind, 0, valued ? d : 0.0, s.curvature);
        if (update_mode()) return 0;
        if (valued) {
            print_symbol_name("%-3s ", command);
            print_number_cell_eol(d);
        } else {
            print_symbol_name("%s\n", command);
        }
        return 0;
    }
    if (command >= kCmdAxialHeightSolve && command <= kCmdEdgeThickness) {
        if (!update_mode() && find_thickness_variable(cur, &variable)) {
            return set_error_msg(kMsgThicknessIsVariable, cur);
        }
        if (const int rc = refuse_group_thickness(); rc != 0) return rc;
        if (inside_non_sequential_group(cur)) {
            return set_error_msg(kMsgGroupNonSequentialThickness, cur);
        }
        std::uint8_t kind = kThicknessEdge;
        if (command == kCmdAxialHeightSolve) kind = kThicknessAxialHeight;
        if (command == kCmdChiefHeightSolve) kind = kThicknessChiefHeight;
        const double second = command == kCmdEdgeThickness ? d2 : 0.0;
        set_thickness_data(cur, kind, 0, 0, d, second, s.thickness);
        if (update_mode()) return 0;
        if (kind == kThicknessEdge) {
            print_symbol_name("%-3s ", kCmdEdgeThickness);
            print_number_cell(d);
            print_number_cell_eol(second);
        } else {
            print_symbol_name("%-3s ", command);
            print_number_cell_eol(d);
        }
        return 0;
    }
    if (command == kCmdDropCurvatureSolve) {
        clear_curvature_pickup(cur);
        clear_curvature_solve(cur);
    } else if (command == kCmdDropThicknessSolve) {
        clear_thickness_pickup(cur);
        clear_thickness_solve(cur);
    } else {
        return 0;
    }
    if (!update_mode()) print_symbol_name("%s\n", command);
    return 0;
}

}  // namespace

int cmd_pickup() {
    return run_pickup();
}

int cmd_surface_solves() {
    const ValuePair v = decode_value_pair();
    int rc = 0;
    {
        UpdateOutputSwitch output;
        rc = run_solve(current_command(), v.d, arg_double(1));
    }
    if (rc != 0) return rc;
    mark_surface_changed(current_surface());
    if (entry_deferred()) return 0;
    return entry_lens_setup();
}
