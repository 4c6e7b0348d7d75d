// The drawing primitives: every picture of the program is drawn through them into the current
// graphics window. Each maps world coordinates onto the plotting surface, clips, records into the
// display list and, while drawing is immediate, draws at once.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "graphics/graphics_window.h"
#include "platform/ui.h"

inline constexpr int kPendingPoints = 200;

struct TextSettings {
    std::int32_t size = 10;  // tenths
    std::int32_t pitch = 10;
    std::int32_t line_pitch = 20;
    std::int32_t h_anchor = 0;
    std::int32_t v_anchor = 0;
    std::int32_t anchor_offset = 0;
    std::int32_t angle = 0;
    std::int32_t slant = 0;
    std::int32_t defaults = 1;
};

// --- colours -------------------------------------------------------------------------------
// The program-wide colour table: entry 0 is the background, 1..N-1 the drawing colours.
platform::Colour graphics_colour(int index);
int graphics_colour_count();  // N, at least 2
void set_graphics_colour_table(const std::vector<platform::Colour>& colours);
// Settings the colour mapping reads (black-and-white graphics, white background).
void set_graphics_black_and_white(bool on);
void set_graphics_white_background(bool on);
bool graphics_white_background();

// --- primitives ----------------------------------------------------------------------------
void gfx_move_to(double x, double y);
void gfx_move_rel(double dx, double dy);
void gfx_draw_to(double x, double y);
void gfx_draw_rel(double dx, double dy);
// gfx_draw_to through each of n points in turn, converted and gathered in one pass.
void gfx_draw_through(const double* x, const double* y, int n);
void gfx_get_position(double* x, double* y);
void gfx_polyline(const double* x, const double* y, int n, int fill);
void gfx_polyline_rel(const double* dx, const double* dy, int n, int fill);
// gfx_polyline without fill whose points are stored clipped whatever the isotropic flag.
void gfx_polyline_clipped(const double* x, const double* y, int n);
void gfx_polymarker(const double* x, const double* y, int n, int type, double size);
void gfx_dots(const double* x, const double* y, int n);
void gfx_marker(int type, double size);
void gfx_set_color(int c);
void gfx_set_line_style(int s);
void gfx_set_fill_color(int c);
void gfx_set_color_cycle(const std::int32_t* entries);  // 256 entries or null
void gfx_set_output_scale(std::int32_t pen_width);
std::int32_t gfx_output_scale();
int gfx_map_color(int c);
// op 2 reads the viewport (which 1) or the world frame into f; any other op sets it.
void gfx_frame(int op, int which, FrameBox* f);
void gfx_frame_box();

// Text settings (the defaults return after each text, viewport, page and window selection).
const TextSettings& text_settings();
void reset_text_settings();
void restore_text_settings(const TextSettings& saved);
void set_default_text_size(int code);  // the size the defaults take (each new viewport)
void gfx_set_text_anchor(int code, int angle);
void gfx_set_text_slant(int angle, int slant);  // a slant outside -45..45 is taken as 0
void gfx_set_text_size(double size, double extra_pitch, double extra_line_pitch);

// --- internals shared with the replay --------------------------------------------------------
// Flushes the pending polyline (records and draws it).
void flush_pending_polyline();
void clear_pending_points();
int pending_point_count();
// Clips the surface polyline against the integer clip bounds and hands every visible run to
// `run` (a run holds at least 2 points).
void clip_polyline(std::span<const platform::Point> points,
                   void (*run)(std::span<const platform::Point>, void*), void* context);
// Draws a surface-coordinate polyline on dc in the window's pen, style and fill.
void emit_device_polyline(platform::DeviceContext& dc, std::span<const platform::Point> surface);
// Draws single points (surface coordinates) on dc.
void emit_device_dots(platform::DeviceContext& dc, std::span<const platform::Point> surface);
// Marker units (surface units per glyph unit) for a marker size code, from the viewport.
void marker_units(const GraphicsWindow& g, int code, double* ux, double* uy);
// Draws marker glyph `type` of the stroke font at the surface point for a marker size code.
void emit_device_marker(platform::DeviceContext& dc, int type, int size_code, platform::Point p);
// The outline of the clip box.
void emit_viewport_box(platform::DeviceContext& dc);
// Forgets which pen the devices were given, so the next drawing selects it again.
void forget_selected_pen();
// Whether the output goes to a printer or metafile (pens scaled, last points repeated).
void set_graphics_print_mode(bool on);
// The pen width while printing (device units); 0 takes the metafile width from the output scale.
void set_graphics_print_pen(int width);
// The device context the current window draws into, or null.
platform::DeviceContext* graphics_target();
// Where drawing goes now: the replay's device while replaying, else the window's while drawing
// is immediate, else null.
platform::DeviceContext* graphics_drawing_dc();
void set_graphics_target(platform::DeviceContext* dc);

void reset_draw_primitives();
