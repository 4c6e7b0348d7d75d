#include "evaluation/first_order_listing.h"

#include <cstdio>
#include <cstring>

#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"
#include "trace/conjugates.h"
#include "trace/paraxial_commands.h"
#include "trace/system_matrix.h"

namespace {

constexpr double kTinyRadius = 1e-40;

// A right-hand label that names the last surface: the surface text and the label take the
// same columns whatever the surface number's width.
void surface_label(const char* surface_text, int message, int pad) {
    text_printf("%s", surface_text);
    print_msg(message);
    text_spaces(pad - static_cast<int>(std::strlen(surface_text)));
}

}  // namespace

int cmd_first_order_listing() {
    if (const int rc = solve_paraxial_conjugates(); rc != 0) return rc;
    const LensData& l = lens_data();
    const ConjugatesBlock& b = conjugates_block();
    char surface_text[32];
    std::snprintf(surface_text, sizeof surface_text, "    Srf %d", l.image_surface - 1);

    print_msg(-1691);
    if (l.current_wavelength != 0) text_printf(" (WAVELENGTH %d)", l.current_wavelength + 1);
    text_newline();
    warn_multiple_configurations();

    // The only value computed here: the F-number of the entrance pupil, 0 without a pupil.
    const double f_number = l.entrance_pupil_radius <= kTinyRadius
                                ? 0.0
                                : b.focal_length / (2.0 * l.entrance_pupil_radius);

    print_msg(-1692);
    print_msg(-1693);
    print_number_cell(b.beam_radius);
    print_msg(-1717);
    print_number_cell_eol(b.image_slope);
    print_msg(-1694);
    print_number_cell(b.object_na);
    print_msg(-1718);
    print_number_cell_eol(f_number);
    print_msg(-1696);
    print_number_cell(b.image_na);
    print_msg(-1697);
    print_number_cell_eol(b.f_number);

    print_msg(-1698);
    print_msg(-1727);
    print_number_cell(b.field_angle_degrees);
    print_msg(-1700);
    print_number_cell_eol(b.object_height);
    print_msg(-1762);
    print_number_cell(b.image_height);
    print_msg(-1701);
    print_number_cell_eol(b.chief_height);

    print_msg(-1702);
    print_msg(-1703);
    print_number_cell(b.object_distance);
    print_msg(-1758);
    print_number_cell_eol(b.front_principal);
    print_msg(-1763);
    print_number_cell(b.image_distance);
    surface_label(surface_text, -1768, 11);
    print_number_cell_eol(-b.rear_principal);
    print_msg(-1708);
    print_number_cell(b.lens_length);
    print_msg(-1709);
    print_number_cell_eol(b.total_track);
    print_msg(-1707);
    print_number_cell(b.magnification);
    surface_label(surface_text, -1705, 13);
    print_number_cell_eol(b.last_gap);

    print_msg(-1764);
    print_msg(-1710);
    print_number_cell(l.entrance_pupil_radius);
    print_msg(-1711);
    print_number_cell_eol(l.entrance_pupil_position);
    print_msg(-1712);
    print_number_cell(l.exit_pupil_radius);
    surface_label(surface_text, -1713, 12);
    print_number_cell_eol(l.exit_pupil_position);
    print_msg(-1761);
    print_number_cell(b.lagrange);
    print_msg(-1645);
    print_number_cell_eol(b.petzval_radius);
    print_msg(-1715);
    print_number_cell_eol(b.focal_length);

    warn_paraxial_special_data();
    // The paraxial work arrays are made again by the next matrix that needs them.
    release_system_matrix_arrays();
    return 0;
}
