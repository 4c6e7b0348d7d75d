// The manufacturing drawing of one lens element after ISO 10110: the element's geometry in
// millimetres (from the lens, its element record and the surfaces' tolerances), the texts of
// the indication table, and the drawing itself (profile with dimensions above, the
// three-column table with its title block below) in a graphics window.
#pragma once

#include <string>
#include <vector>

#include "graphics/graphics_window.h"

struct ElementSideGeometry {
    int surface = 0;
    bool cemented = false;
    double radius = 0.0;  // mm, 0 for a plane, signed as the lens has it
    double radius_tolerance = 0.0;
    double clear_diameter = 0.0;
    double full_diameter = 0.0;
    double form_fringes = 0.0;
    double irregularity_fringes = 0.0;
    double centring_minutes = 0.0;
};

struct ElementGeometry {
    int first = -1;  // the surface that carries the record; -1 none computed
    double thickness = 0.0;
    double thickness_tolerance = 0.0;
    double index_tolerance = 0.0;
    std::string glass;
    double wavelength_nm = 0.0;
    double index = 0.0;
    double abbe = 0.0;
    double abbe_tolerance = 0.0;
    ElementSideGeometry sides[2];  // left, right
};

// The geometry of the element that begins at surface n (its record must exist), the element
// diameter grown to the larger full diameter. True when the diameter grew.
bool compute_element_geometry(int n);
const ElementGeometry& element_geometry();

// Numbers of the drawing: two decimals, trailing zeros dropped to one; the first form drops a
// decimal part of zero as well. Decimal commas with the setting Element_drawing_commas.
std::string element_number_text(double value);
std::string element_value_text(double value);
// The name of the spectral line at a wavelength in nm (rounded to 4 significant digits), or null.
const char* spectral_line_name(double nm);

// The lines of the table's columns: the material, and one side (0 left, 1 right).
std::vector<std::string> element_material_codes();
std::vector<std::string> element_surface_codes(int side);
// The height of the table's columns in text lines.
double element_table_height();

// Where the last drawing put its two parts (a picture's frames, for reading it back).
struct ElementDrawingFrames {
    FrameBox profile_viewport;
    FrameBox profile_world;
    FrameBox table_viewport;
    FrameBox table_world;
};
const ElementDrawingFrames& element_drawing_frames();

// Draws the element of the computed geometry into a graphics window (opened when there is
// none) on a new page: -829, the information that the drawing was made.
int draw_element_drawing();

// Forgets the geometry and the frames.
void reset_iso_drawing();
