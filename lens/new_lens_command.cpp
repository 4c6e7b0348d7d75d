#include "lens/new_lens_command.h"

#include <cmath>
#include <cstring>
#include <span>

#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "tables/table_names.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kDefaultPerfectNa = 0.05;
constexpr double kLargeMagnification = 1e7;
constexpr char kPerfectNote[] = "PERFECT";

int make_perfect_lens(double f, double m, double na) {
    LensData& l = lens_data();
    if (std::fabs(f) < kTiny) f = 1.0;
    if (na < kTiny && std::fabs(m) < kLargeMagnification) na = kDefaultPerfectNa;
    double root = 1.0 - na * na * m * m;
    root = root < kTiny ? 1.0 : std::sqrt(root);
    double radius = std::fabs(f * (1.0 - m) * na / root);
    l.entrance_beam_radius = radius < kTiny ? 1.0 : radius;
    if (std::fabs(m) > kTiny && std::fabs(m - 1.0) > kTiny) {
        surface(0).thickness = (1.0 - 1.0 / m) * f;
        l.object_height = -1e-6 * surface(0).thickness;
    }
    SurfaceRecord& first = surface(1);
    SurfaceRecord& last = surface(2);
    auto* note = alloc_array_of<char>(sizeof kPerfectNote);
    auto* record = alloc_array_of<PerfectLensRecord>(1);
    if (note == nullptr || record == nullptr) {
        mem_free(note);
        mem_free(record);
        return kMsgOutOfMemory;
    }
    first.group_kind = kGroupElementGroup;
    first.group_role = kRoleFirst;
    last.group_kind = kGroupElementGroup;
    last.group_role = kRoleLast;
    last.thickness_kind = kThicknessAxialHeight;
    last.thickness_solve_value = 0.0;
    last.thickness_solve_value2 = 0.0;
    std::memcpy(note, kPerfectNote, sizeof kPerfectNote);
    last.note = note;
    record->focal_length = f;
    record->magnification = m;
    last.perfect_lens = record;
    first.drawing_mode = kDrawingOn;
    return 0;
}

}  // namespace

bool new_lens_path(const std::string& name, std::string& path) {
    std::string p = name;
    for (char& c : p) {
        if (c == '\\') c = '/';
    }
    const std::size_t slash = p.find_last_of('/');
    const std::string file = slash == std::string::npos ? p : p.substr(slash + 1);
    if (file.empty() || file == "." || file == "..") return false;
    const bool rooted = !p.empty() && (p[0] == '/' || p.find(':') != std::string::npos);
    if (!rooted) {
        const char* folder = get_setting_text(kSetCurrentDirectory, 0);
        std::string base = folder != nullptr ? folder : "";
        for (char& c : base) {
            if (c == '\\') c = '/';
        }
        if (!base.empty() && base.back() != '/') base += '/';
        p = base + p;
    }
    if (file.find('.') == std::string::npos) {
        p += get_setting_flag(kSetTavLensFileExtension) != 0 ? ".tav" : ".len";
    }
    path = p;
    return true;
}

int new_lens_from_request(const NewLensRequest& request, NewLensResult& result) {
    int kind = request.kind;
    if (request.command == kCmdNewPerfectLens && kind != kNewLensPerfect) kind = kNewLensSurfaces;
    if (request.command == kCmdNewLensValue) kind = kNewLensValue;
    int lens_surfaces = 0;
    if (kind == kNewLensSurfaces) lens_surfaces = request.surfaces < 0 ? 0 : request.surfaces;
    if (kind == kNewLensPerfect) lens_surfaces = 2;
    // Refused before anything is reset: the image surface must lie within the array.
    if (lens_surfaces + 1 > surface_limit()) return kMsgSurfaceLimit;

    std::string path;
    if (!new_lens_path(request.file_name, path)) {
        return set_error_msg(kMsgBadLensFileName, request.file_name.c_str());
    }
    if (int rc = lens_new(); rc != 0) return rc;
    LensData& l = lens_data();
    l.image_surface = lens_surfaces + 1;
    lens_flags().bounds_stale = 1;
    const std::string title = format_message(kMsgNewLensTitle, std::span<const FormatArg>());
    std::strncpy(l.title, title.c_str(), kTitleLength);
    l.title[kTitleLength] = '\0';
    set_state_flag(kFlagLensExists);
    set_setting_text(kSetLensFile, path.c_str(), 0);
    result.path = path;
    result.lens_surfaces = lens_surfaces;
    if (kind == kNewLensValue) {
        l.current_surface = 1;
        result.value_kind = true;
        result.first_order_value = request.value;
        return 0;
    }
    if (kind == kNewLensPerfect) {
        return make_perfect_lens(request.focal_length, request.magnification,
                                 request.numerical_aperture);
    }
    return 0;
}
