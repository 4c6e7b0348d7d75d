// The rows of the paraxial listings: one row (or a small block) per surface and the sum row.
#include <initializer_list>

#include "lens/lens_data.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"
#include "trace/aberration_sums.h"
#include "trace/paraxial_trace.h"

namespace {

// One printed value; an undefined one (the induced fifth-order parts of a lens whose Lagrange
// invariant is zero) prints as the undefined value, unscaled.
struct Cell {
    double value;
    bool undefined = false;
};

void print_cells(std::initializer_list<Cell> cells, double scale) {
    std::size_t n = 0;
    for (const Cell& c : cells) {
        ++n;
        paraxial_number_cell(c.undefined ? kInfiniteDistance : c.value * scale, n == cells.size());
    }
}

void print_label(bool sum_row) {
    if (sum_row) {
        print_msg(kMsgSumLabel);
    } else {
        text_int(paraxial_state().surface);
        text_out(" ");
    }
}

// Kind 5: intrinsic and induced parts, four lines.
void print_fifth_parts(const double* in, const double* de, bool undefined, double scale) {
    print_msg(kMsgIntrinsicLabel);
    print_cells({{in[1]}, {in[3]}, {in[5]}, {in[8] * 0.5 + in[7]}, {in[9]}, {in[11] + in[10]}},
                scale);
    text_spaces(3);
    print_msg(kMsgInducedLabel);
    print_cells({{de[1], undefined},
                 {de[3], undefined},
                 {de[5], undefined},
                 {de[8] * 0.5 + de[7], undefined},
                 {de[9], undefined},
                 {de[11] + de[10], undefined}},
                scale);
    text_spaces(3);
    print_msg(kMsgIntrinsicLabel);
    print_cells({{in[2]}, {in[4] + in[5]}, {in[6]}, {in[8] * 0.5}, {5 * in[10] + in[11]}, {in[12]}},
                scale);
    text_spaces(3);
    print_msg(kMsgInducedLabel);
    print_cells({{de[2], undefined},
                 {de[4] + de[5], undefined},
                 {de[6], undefined},
                 {de[8] * 0.5, undefined},
                 {5 * de[10] + de[11], undefined},
                 {de[12], undefined}},
                scale);
}

// Kind 6: the totals, two lines.
void print_fifth_totals(const double* t, bool undefined, double scale) {
    print_cells({{t[1], undefined},
                 {t[3], undefined},
                 {t[5], undefined},
                 {t[8] * 0.5 + t[7], undefined},
                 {t[9], undefined},
                 {t[11] + t[10], undefined}},
                scale);
    text_spaces(4);
    print_cells({{t[2], undefined},
                 {t[4] + t[5], undefined},
                 {t[6], undefined},
                 {t[8] * 0.5, undefined},
                 {5 * t[10] + t[11], undefined},
                 {t[12], undefined}},
                scale);
}

}  // namespace

void print_first_order_row() {
    paraxial_row_enabled();
    const ParaxialState& p = paraxial_state();
    if (p.row_enabled == 0) return;
    print_label(false);
    print_cells({{p.y}, {p.u_after}, {p.i}, {p.ybar}, {p.ubar_after}, {p.ibar}}, 1.0);
}

void print_aberration_row() {
    paraxial_row_enabled();
    const ParaxialState& p = paraxial_state();
    if (p.row_enabled == 0) return;
    const bool sum = p.surface >= lens_data().image_surface;
    const bool undefined = p.lagrange_zero;
    switch (p.listing_kind) {
        case kListingChromatic: {
            const double* v = sum ? p.chroma_sum : p.chroma;
            print_label(sum);
            print_cells({{v[0]}, {v[1]}, {v[2]}, {v[3]}}, p.f3);
            break;
        }
        case kListingSeidel: {
            const double* v = sum ? p.seidel_sum : p.seidel;
            print_label(sum);
            print_cells({{v[0]}, {v[1]}, {v[2]}, {v[3]}, {v[4]}}, p.f1);
            break;
        }
        case kListingPupilSeidel: {
            const double* v = sum ? p.pupil_sum : p.pupil;
            print_label(sum);
            print_cells({{v[0]}, {v[1]}, {v[2]}, {v[3]}}, p.f2);
            break;
        }
        case kListingFifthParts:
            text_newline();
            if (sum) {
                print_msg(kMsgFifthSumLabel);
                print_fifth_parts(p.intrinsic_sum, p.induced_sum, undefined, p.f1);
            } else {
                print_label(false);
                print_fifth_parts(p.intrinsic, p.induced, undefined, p.f1);
            }
            break;
        case kListingFifthTotals:
            print_label(sum);
            print_fifth_totals(sum ? p.total_sum : p.total, undefined, p.f1);
            break;
        case kListingFifthSummary: {
            const double* t = sum ? p.total_sum : p.total;
            print_label(sum);
            print_cells({{t[1], undefined},
                         {t[3], undefined},
                         {t[10], undefined},
                         {t[11], undefined},
                         {t[12], undefined},
                         {t[14], undefined}},
                        p.f1);
            break;
        }
        default:
            break;
    }
}
