#include "optimise/auto_focus.h"

#include <cmath>

#include "lens/auto_redraw.h"
#include "lens/lens_data.h"
#include "optimise/focus_pupil.h"
#include "optimise/operand_quantities.h"
#include "optimise/optimise_data.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "trace/lens_setup.h"
#include "trace/object_point.h"
#include "trace/ray_trace.h"

namespace {

// The rays of the pupil, traced from copies of the reference ray.
void trace_samples(const PupilSample* samples, int count, RayRecord* rays) {
    const RayRecord& ref = reference_ray().ray;
    for (int k = 0; k < count; ++k) {
        rays[k] = ref;
        rays[k].kind = kRayMeasured;
        rays[k].pup_x = samples[k].x;
        rays[k].pup_y = samples[k].y;
    }
    trace_rays(rays, count);
}

// Along y only: an on-axis point of a rotationally symmetric lens, where the rays' own heights
// and slopes meet on the axis.
int line_shift(double* shift) {
    RayRecord rays[kLineSampleCount];
    const PupilSample* samples = line_samples();
    trace_samples(samples, kLineSampleCount, rays);
    double ym = 0.0, mm = 0.0;
    for (int k = 0; k < kLineSampleCount; ++k) {
        const RayRecord& r = rays[k];
        if (r.failure != 0 || std::fabs(r.m) < kOptimiseZero) continue;
        const double slope = r.l / r.m;
        ym += samples[k].weight * r.y * slope;
        mm += samples[k].weight * slope * slope;
    }
    if (std::fabs(mm) < kOptimiseZero) return kMsgFocusNotFound;
    *shift = -ym / mm;
    return 0;
}

// Over the rings: each ray's error and slope against the reference ray, their means removed.
int ring_shift(double* shift) {
    RayRecord rays[kRingSampleCount];
    const PupilSample* samples = ring_samples();
    trace_samples(samples, kRingSampleCount, rays);
    double w = 0, mx = 0, my = 0, mu = 0, mv = 0, cross = 0, square = 0;
    for (int k = 0; k < kRingSampleCount; ++k) {
        const RayRecord& r = rays[k];
        if (r.failure != 0 || std::fabs(r.dtan_x) >= kUndefinedOperandValue) continue;
        const double a = samples[k].weight;
        w += a;
        mx += a * r.dx;
        my += a * r.dy;
        mu += a * r.dtan_x;
        mv += a * r.dtan_y;
        cross += a * (r.dx * r.dtan_x + r.dy * r.dtan_y);
        square += a * (r.dtan_x * r.dtan_x + r.dtan_y * r.dtan_y);
    }
    if (w < kOptimiseZero) return kMsgFocusNotFound;
    mx /= w;
    my /= w;
    mu /= w;
    mv /= w;
    const double denominator = square / w - (mu * mu + mv * mv);
    if (std::fabs(denominator) < kOptimiseZero) return kMsgFocusNotFound;
    *shift = -(cross / w - (mx * mu + my * mv)) / denominator;
    return 0;
}

}  // namespace

int least_squares_focus_shift(double* shift) {
    if (const int rc = set_object_point(); rc != 0) return rc;
    const ObjectPoint& p = object_point();
    const bool on_axis = p.x == 0.0 && p.y == 0.0 && p.z == 0.0;
    if (on_axis && lens_data().rotationally_symmetric != 0) return line_shift(shift);
    return ring_shift(shift);
}

int cmd_auto_focus() {
    if (current_command() == kCmdOprdQuantities) return cmd_oprd_quantities();
    LensData& l = lens_data();
    if (l.image_surface < 1) return kMsgFocusNotFound;
    print_msg(kMsgAutoFocusHeading);
    text_newline();
    double shift = 0.0;
    int rc = least_squares_focus_shift(&shift);
    if (rc == 0) {
        surface(l.image_surface - 1).thickness += shift;
        print_msg(kMsgAutoFocusShift, std::string(format_number(shift, 6, 0)));
        text_newline();
        rc = lens_setup(0);
        if (test_state_flag(kFlagSingleCommandUpdate) != 0) auto_redraw_after_edit(0);
    }
    // The reference ray of the moved image plane is traced again when next needed.
    clear_state_flag(kFlagReferenceRayCurrent);
    return rc;
}
