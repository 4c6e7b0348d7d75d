// The lens drawing: the draw-lens command draws the current lens as a section, a wire view or
// a 3-D model into the current graphics window (or, while an export runs, into the CAD file),
// and leaves the drawing state that the ray commands and the annotation command draw into.
#pragma once

#include <cstdint>

struct SpecialAperture;

enum DrawingStyle : int {
    kStyleNone = 0,  // no drawing yet
    kStylePlan = 1,
    kStyleElevation = 2,
    kStyleWireFixed = 3,
    kStyleWireView = 4,
    kStyleModel = 5,
};

// The five points of a surface's outline in its own frame, each with its sag: centre, +y rim,
// +x rim, -y rim, -x rim.
struct SurfaceOutline {
    double rim[5][3] = {};
    // The one clear rectangle or ellipse the rim points come from, or none.
    const SpecialAperture* special = nullptr;
    // The one obstruction (rectangle or ellipse) and its five points.
    const SpecialAperture* obstruction = nullptr;
    double obstructed[5][3] = {};
    int surface = -1;
};

struct LensDrawingState {
    int style = kStyleNone;  // DrawingStyle
    int rim_appearance = 0;
    int arc_start = 0;  // rim arcs, indices into the 10-degree table
    int arc_end = 27;
    int first = 0;  // drawn range
    int last = 0;
    int ray_first = 0;  // range of the ray pass
    int ray_last = 0;
    double object_length = 0.0;  // ray stub in front of the first drawn surface
    double image_length = 0.0;   // and behind the last one
    int axis_h = 0;              // view coordinates shown across and up
    int axis_v = 1;
    double xmin = 0.0, xmax = 0.0, ymin = 0.0, ymax = 0.0;
    double aspect = 0.0;  // (ymax - ymin) / (xmax - xmin)
    double shift_x = 0.0, shift_y = 0.0;
    double fit = 0.0;            // screen mm per lens mm when the extents fill the viewport
    double magnification = 0.0;  // the fit floored to a step, or from a fixed scale
    double correction = 1.0;     // the aspect correction of a fixed scale
    bool annotation_only = false;
    bool fixed_scale = false;
    bool stop_mark = false;
    bool hatching = false;
    bool edges = true;
    bool every_surface = false;
    bool plan_variant = false;
    bool full_rims = false;
    int abort = 0;
    // The surface walk.
    int walker = -1;
    int pen_base = 0;
    int pass = 0;
    int selection = 0;
    int layer_counter = 0;
    int mirror_parity = 0;
    int exit_parity = 0;
    SurfaceOutline outline;
    SurfaceOutline previous;
    bool previous_starts_element = false;
    double viewport_factor = 1.0;
};

LensDrawingState& lens_drawing_state();
// A fresh process's drawing state.
void reset_lens_drawing_state();

// Handler of the draw-lens family (commands 809 and 806) and of the note command 808.
int cmd_draw_lens();
// Handler of the lens picture (command 1270).
int cmd_draw_lens_picture();
// Lowers the top of the viewport to factor times its height (1 / factor restores it).
void set_drawing_viewport(double factor);
// The world window of the drawing from its extents, fit, magnification and shift.
void set_drawing_window();
// The first-order values of the title block: effective focal length and working F-number,
// or the angular magnification of an afocal lens (second value 0).
void drawing_title_values(double* first, double* second, bool* afocal);
