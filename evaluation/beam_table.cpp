#include "evaluation/beam_table.h"

#include <cmath>

#include "evaluation/gaussian_beam_sheet.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/surface_groups.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/paraxial_trace.h"

namespace {

constexpr double kFiniteObject = 9.9e7;

bool finite_object() {
    return std::fabs(surface(0).thickness) <= kFiniteObject;
}

// The surface a walk goes on to after k; never backwards, so a backward link cannot loop.
int next_surface(int k) {
    const int next = next_walk_surface(k);
    return next > k ? next : k + 1;
}

// The radius arriving at a plane that lies z short of the waist.
double arriving_radius(double waist, double z, double lambda) {
    if (std::fabs(z) <= kBeamZero) return 0.0;
    const double x = 3.14159265358979323846 * waist * waist / (lambda * z);
    return (1.0 + x * x) * z;
}

void print_row(const BeamRow& row, bool object) {
    if (row.air_before) text_newline();
    if (object && !finite_object()) {
        print_msg(kMsgBeamInfiniteObject);
    } else {
        text_int(row.surface);
        text_spaces(1);
    }
    print_number_cell(row.beam.spot);
    print_number_cell(beam_divergence(row.beam.waist, row.lambda));
    print_number_cell(row.beam.waist);
    print_number_cell(row.beam.distance);
    print_number_cell(row.radius_in);
    print_number_cell(row.beam.radius);
    print_number_cell_eol(beam_rayleigh_range(row.beam.waist, row.lambda));
}

}  // namespace

int beam_at_object(bool second, BeamValues& out) {
    GaussianBeamSheet& b = gaussian_beam_sheet();
    const BeamParams& beam = selected_beam();
    const BeamValues given = second ? selected_second_beam()
                                    : BeamValues{beam.spot, beam.waist, beam.distance, beam.radius};
    if (b.first <= 0) {
        out = given;
        return 0;
    }
    BeamPath path;
    if (const int rc = beam_path_matrix(b.section, b.wavelength - 1, b.first, 0, 0.0, path);
        rc != 0) {
        return rc;
    }
    out = beam_through_matrix(given, path.matrix, sheet_lambda0(), path.n_in, path.n_out, true);
    return 0;
}

int beam_rows(const BeamValues& object_beam, std::vector<BeamRow>& rows) {
    const GaussianBeamSheet& b = gaussian_beam_sheet();
    const int w = b.wavelength - 1;
    BeamWalk walk;
    if (const int rc = beam_walk(b.section, w, walk); rc != 0) return rc;
    const int image = walk.image;
    const double lambda0 = sheet_lambda0();
    const double n_obj = beam_medium_index(0, w);
    const double d0 = surface(0).thickness;
    const bool finite = finite_object();
    rows.clear();

    BeamRow row;
    row.surface = 0;
    row.beam = object_beam;
    row.lambda = lambda0 / n_obj;
    row.radius_in = object_beam.radius;
    rows.push_back(row);

    SystemMatrix m{1.0, finite ? -d0 / n_obj : 0.0, 0.0, 1.0};
    double radius_in =
        finite ? arriving_radius(object_beam.waist, object_beam.distance - d0, row.lambda)
               : object_beam.radius;
    int previous = 0;
    for (int k = next_surface(0); k <= image; k = next_surface(k)) {
        const bool last_gap = next_surface(k) >= image;
        double n_k;
        if (k < image) {
            m.c += walk.power[k] * m.a;
            m.d += walk.power[k] * m.b;
            n_k = beam_medium_index(k, w);
        } else {
            const int before = walk.last;
            transfer_downstream(m, b.offset / walk.index[before] + walk.reduced[before]);
            n_k = beam_medium_index(before, w);
        }
        BeamRow r;
        r.surface = k;
        r.beam = beam_through_matrix(object_beam, m, lambda0, n_obj, n_k, false);
        r.lambda = lambda0 / n_k;
        r.radius_in = radius_in;
        r.air_before = medium_index(previous, 0) == 1.0;
        rows.push_back(r);
        if (k < image) {
            double gap = walk.index[k] * walk.reduced[k];
            if (last_gap) gap += b.offset;
            radius_in = arriving_radius(r.beam.waist, r.beam.distance - gap, r.lambda);
            if (!last_gap) apply_gap_matrix(m, walk.reduced[k], walk.index[k], walk.radial[k]);
        }
        previous = k;
    }
    return 0;
}

int list_beam_propagation() {
    const GaussianBeamSheet& b = gaussian_beam_sheet();
    const BeamParams& beam = selected_beam();
    print_msg(b.section != 0 ? kMsgBeamTableY : kMsgBeamTableX);
    text_newline();
    BeamValues beams[2];
    const int count = b.two_solutions != 0 ? 2 : 1;
    for (int i = 0; i < count; ++i) {
        if (const int rc = beam_at_object(i == 1, beams[i]); rc != 0) return rc;
    }
    print_msg(kMsgBeamTableWavelength);
    text_number(lens_data().wavelengths[b.wavelength - 1].wavelength);
    print_msg(kMsgBeamTableQuality);
    text_number(beam.quality);
    text_newline();
    if (count == 2) {
        print_msg(kMsgBeamTableTwoBeams);
        text_newline();
    }
    print_msg(kMsgBeamTableColumns);
    text_newline();
    std::vector<BeamRow> rows;
    for (int i = 0; i < count; ++i) {
        if (i == 1) {
            print_msg(kMsgBeamTableSecond);
            text_newline();
            print_msg(kMsgBeamTableColumns);
            text_newline();
        }
        if (const int rc = beam_rows(beams[i], rows); rc != 0) return rc;
        for (std::size_t r = 0; r < rows.size(); ++r) print_row(rows[r], r == 0);
    }
    if (std::fabs(b.offset) > kBeamZero) {
        print_msg(kMsgBeamTableOffset);
        text_number(b.offset);
        text_newline();
    }
    return 0;
}
