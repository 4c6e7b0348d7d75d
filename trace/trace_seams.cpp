#include "trace/trace_seams.h"

#include "trace/aperture_shapes.h"
#include "trace/general_intersect.h"
#include "trace/surface_frames.h"
#include "trace/surface_sag.h"

namespace {

// Entries stay null until the code that provides them exists.
TraceSeams make_defaults() {
    TraceSeams s{};
    s.intersect_general_surface = intersect_general_surface;
    s.bracket_surface_crossing = bracket_surface_crossing;
    s.refine_surface_crossing = refine_surface_crossing;
    s.check_special_apertures = check_special_apertures;
    s.aperture_hit_test = aperture_hit_test;
    s.surface_sag_normal = surface_sag_normal;
    s.tilt_angles_from_direction = tilt_angles_from_direction;
    return s;
}

TraceSeams g_seams = make_defaults();

}  // namespace

TraceSeams& trace_seams() {
    return g_seams;
}
