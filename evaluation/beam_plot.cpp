#include "evaluation/beam_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "evaluation/beam_table.h"
#include "evaluation/gaussian_beam_sheet.h"
#include "graphics/draw_primitives.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_sliders.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "lens/surface_groups.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFiniteObject = 9.9e7;
constexpr int kPoints = 101;
constexpr int kProbeWindow = 7;
constexpr int kAnchorCentre = 4;

bool finite_object() {
    return std::fabs(surface(0).thickness) <= kFiniteObject;
}

int next_surface(int k) {
    const int next = next_walk_surface(k);
    return next > k ? next : k + 1;
}

// One gap of the drawing: the surface in front of it and its length along the axis.
struct Gap {
    int surface;
    double length;
};

// The gaps from the start surface to the image in the order a walk takes them; the last one
// holds the offset of the output plane and the image surface's thickness.
std::vector<Gap> plot_gaps() {
    const int image = lens_data().image_surface;
    const double offset = gaussian_beam_sheet().offset;
    std::vector<Gap> gaps;
    int k = finite_object() ? 0 : next_surface(0);
    while (k < image) {
        const int next = std::min(next_surface(k), image);
        double d = k == 0 ? std::fabs(surface(0).thickness)
                          : std::fabs(surface(next).vertex_position - surface(k).vertex_position);
        if (next == image) d += offset + surface(image).thickness;
        gaps.push_back({k, d});
        k = next;
    }
    return gaps;
}

double total_length(const std::vector<Gap>& gaps) {
    double total = 0.0;
    for (const Gap& g : gaps) total += g.length;
    return total;
}

// The radius of a beam of waist w0 whose waist lies zk into a gap, at t into it; a zero waist
// has no envelope.
double envelope(double w0, double zk, double lambda, double t) {
    if (std::fabs(w0) <= kBeamZero) return 0.0;
    const double q = lambda / (kPi * w0 * w0);
    return std::sqrt((q * q * (t - zk) * (t - zk) + 1.0) * w0 * w0);
}

bool arrays_current() {
    const GaussianBeamSheet& b = gaussian_beam_sheet();
    const int image = lens_data().image_surface;
    return b.arrays_image == image && static_cast<int>(b.waist1.size()) == image + 1;
}

void probe_label(double w1, double w2) {
    const GaussianBeamSheet& b = gaussian_beam_sheet();
    char text[96];
    if (b.two_solutions != 0) {
        std::snprintf(text, sizeof text, "              %8.4f       %8.4f", w1, w2);
    } else {
        std::snprintf(text, sizeof text, "           %8.4f", w1);
    }
    gfx_set_color(1);
    gfx_set_text_anchor(kAnchorCentre, 0);
    gfx_move_to(b.label_x, b.label_y);
    gfx_printf("%s", text);
}

void probe_markers(double x, double w1, double w2) {
    gfx_set_color(2);
    gfx_move_to(x, 0.0);
    gfx_draw_to(x, w1);
    if (gaussian_beam_sheet().two_solutions != 0) {
        gfx_set_color(3);
        gfx_move_to(x, 0.0);
        gfx_draw_to(x, -w2);
    }
}

}  // namespace

int plot_gaussian_beam(double& spot1, double& spot2) {
    spot1 = spot2 = 0.0;
    if (test_state_flag(kFlagGraphicsDeviceReady) == 0) return 0;
    GaussianBeamSheet& b = gaussian_beam_sheet();
    const LensData& l = lens_data();
    const int image = l.image_surface;
    const int beams = b.two_solutions != 0 ? 2 : 1;

    // Every surface's beam for both beams, from the one walk the table prints.
    std::vector<BeamRow> rows[2];
    for (int i = 0; i < beams; ++i) {
        BeamValues object_beam;
        if (const int rc = beam_at_object(i == 1, object_beam); rc != 0) return rc;
        if (const int rc = beam_rows(object_beam, rows[i]); rc != 0) return rc;
    }
    std::vector<double> spot[2];
    try {
        const auto count = static_cast<std::size_t>(image + 1);
        b.waist1.assign(count, 0.0);
        b.distance1.assign(count, 0.0);
        b.waist2.assign(count, 0.0);
        b.distance2.assign(count, 0.0);
        spot[0].assign(count, 0.0);
        spot[1].assign(count, 0.0);
    } catch (...) {
        b.waist1 = b.distance1 = b.waist2 = b.distance2 = {};
        b.arrays_image = -1;
        return -10;
    }
    b.arrays_image = image;
    for (int i = 0; i < beams; ++i) {
        std::vector<double>& waist = i == 0 ? b.waist1 : b.waist2;
        std::vector<double>& distance = i == 0 ? b.distance1 : b.distance2;
        for (const BeamRow& r : rows[i]) {
            waist[r.surface] = r.beam.waist;
            distance[r.surface] = r.beam.distance;
            spot[i][r.surface] = r.beam.spot;
        }
    }

    gfx_set_color(1);
    FrameBox unit{0.0, 1.0, 0.0, 1.0, 0};
    gfx_frame(1, 2, &unit);
    if (get_setting_flag(kSetGraphicsLabels) != 0) {
        gfx_frame_box();
        gfx_move_to(0.0, 0.88);
        gfx_draw_to(1.0, 0.88);
        gfx_move_to(0.5, 0.95);
        gfx_set_text_anchor(kAnchorCentre, 0);
        char title[96];
        if (l.current_configuration > 1) {
            std::snprintf(title, sizeof title, "%s - CFG %d", l.title, l.current_configuration);
        } else {
            std::snprintf(title, sizeof title, "%s", l.title);
        }
        gfx_print_msg(b.section != 0 ? kMsgBeamPlotTitleY : kMsgBeamPlotTitleX, title);
    }

    const std::vector<Gap> gaps = plot_gaps();
    const double length = total_length(gaps);
    const int start = gaps.empty() ? image : gaps.front().surface;
    double largest = 0.0;
    for (int i = 0; i < beams; ++i) {
        for (int k = start; k <= image; k = next_surface(k)) {
            largest = std::max(largest, spot[i][k]);
        }
    }
    const double scale = get_setting_double(kSetGraphicsScale, 0, 0);
    if (std::fabs(scale) > kBeamZero) {
        // A fixed half-height serves one plot only.
        largest = std::fabs(scale);
        set_setting_double(kSetGraphicsScale, 0.0, 0, 0);
    }
    set_setting_double(kSetGraphicsCurrentScale, largest, 0, 0);

    const double below = -1.1 * largest * (b.plot_window7 != 0 ? 1.15 : 1.0);
    FrameBox world{-0.1 * length, 1.1 * length, below, 1.1 * 1.3 * largest, 0};
    gfx_frame(1, 2, &world);
    gfx_move_to(0.0, 0.0);
    gfx_draw_to(length, 0.0);

    double x = 0.0;
    for (const Gap& g : gaps) {
        if (g.surface >= 1) {
            const double aperture = std::fabs(surface(g.surface).aperture_radius);
            const double h = aperture > largest ? 1.025 * largest : aperture;
            gfx_move_to(x, h);
            gfx_draw_to(x, -h);
        }
        x += g.length;
    }

    double xs[kPoints], ys[kPoints];
    for (int i = 0; i < beams; ++i) {
        std::vector<double>& waist = i == 0 ? b.waist1 : b.waist2;
        std::vector<double>& distance = i == 0 ? b.distance1 : b.distance2;
        for (int side = 0; side < 2; ++side) {
            // One beam: above and mirrored below; two: the first above, the second below.
            const double sign = beams == 2 ? (i == 0 ? 1.0 : -1.0) : (side == 0 ? 1.0 : -1.0);
            if (beams == 2 && side == 1) break;
            if (side == 0) gfx_set_color(-1);
            gfx_move_to(0.0, sign * spot[i][start]);
            double x0 = 0.0;
            for (const Gap& g : gaps) {
                const int k = g.surface;
                const int next = std::min(next_surface(k), image);
                const double lambda = sheet_lambda(k);
                if (std::fabs(waist[k]) > kBeamZero) {
                    // The waist lies on the other side when the far end disagrees with the
                    // spot there.
                    if (side == 0 && std::fabs(envelope(waist[k], distance[k], lambda, g.length) -
                                               spot[i][next]) > 1e-6) {
                        distance[k] = -distance[k];
                    }
                    for (int p = 0; p < kPoints; ++p) {
                        const double t = p * g.length * 0.01;
                        xs[p] = x0 + t;
                        ys[p] = sign * envelope(waist[k], distance[k], lambda, t);
                    }
                    gfx_draw_to(xs[0], ys[0]);
                    gfx_polyline(xs, ys, kPoints, 0);
                    gfx_move_to(xs[kPoints - 1], ys[kPoints - 1]);
                }
                x0 += g.length;
            }
        }
    }
    graphwin_refresh(1);
    spot1 = spot[0][start];
    spot2 = beams == 2 ? spot[1][start] : 0.0;
    return 0;
}

int plot_beam_position(double spot1, double spot2) {
    GaussianBeamSheet& b = gaussian_beam_sheet();
    sliders_hide();
    FrameBox world;
    gfx_frame(2, 2, &world);
    const double length = total_length(plot_gaps());
    const int index =
        slider_create(0, 1, kBeamProbeSlider, "Position", beam_position_changed, 0.0, length, 0.0);
    if (index < 0) return index;
    slider_layout();
    b.label_x = world.xmin + 0.5 * (world.xmax - world.xmin);
    b.label_y = world.ymin + 0.03 * (world.ymax - world.ymin);
    gfx_set_color(1);
    gfx_set_text_anchor(kAnchorCentre, 0);
    gfx_move_to(b.label_x, b.label_y);
    gfx_print_msg(b.two_solutions != 0 ? kMsgBeamProbeTwo : kMsgBeamProbeOne);
    gfx_mark();
    probe_markers(0.0, spot1, spot2);
    probe_label(spot1, spot2);
    graphwin_refresh(1);
    return 0;
}

int beam_position_changed(int, int, double x) {
    if (!arrays_current()) return 0;
    const int previous = graphics_current();
    int rc = graphwin_open(kProbeWindow, 0, 0, 0, 0);
    if (rc >= 0) {
        rc = 0;
        double w1 = 0.0, w2 = 0.0;
        beam_radius_at(x, w1, w2);
        gfx_rewind();
        probe_markers(x, w1, w2);
        probe_label(w1, w2);
        graphwin_refresh(1);
    }
    if (previous > 0) graphwin_select(previous);
    return rc;
}

int beam_radius_at(double x, double& w1, double& w2) {
    w1 = w2 = 0.0;
    if (!arrays_current()) return 0;
    const GaussianBeamSheet& b = gaussian_beam_sheet();
    const std::vector<Gap> gaps = plot_gaps();
    if (gaps.empty()) return 0;
    double s = 0.0;
    std::size_t g = 0;
    for (; g + 1 < gaps.size(); ++g) {
        if (x >= s && x < s + gaps[g].length) break;
        s += gaps[g].length;
    }
    const int k = gaps[g].surface;
    const double lambda = sheet_lambda(k);
    w1 = envelope(b.waist1[k], b.distance1[k], lambda, x - s);
    if (b.two_solutions != 0) w2 = envelope(b.waist2[k], b.distance2[k], lambda, x - s);
    return 0;
}
