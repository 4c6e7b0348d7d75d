// Text in graphics windows: the character geometry from the text settings, the text primitive
// that records and draws the formatted-output buffer, and stroke-font drawing of lines and
// glyphs (also used for markers).
#pragma once

#include <span>
#include <string_view>

#include "platform/ui.h"

// The character geometry in surface units per character unit.
struct TextGeometry {
    double xu_x = 0, xu_y = 0;  // x-unit: along the text
    double yu_x = 0, yu_y = 0;  // y-unit: up the text
    double advance_x = 0, advance_y = 0;
    double slant = 0;  // tangent of the slant
    // The text clip box: the clip box widened by 13 y-units.
    double box_xmin = 0, box_ymin = 0, box_xmax = 0, box_ymax = 0;
};

// Recomputes the geometry from the current window's viewport, isotropic flag and text settings.
void gfx_apply_text_settings();
const TextGeometry& text_geometry();

// Draws the formatted-output buffer at the current point of the current graphics window.
void gfx_text();

// Draws one line of text with its first character cell at the surface point (x, y).
void gfx_draw_string(platform::DeviceContext& dc, double x, double y, std::string_view text);
// One glyph of set 1 (markers use their type as the code) / of set 2, at the surface point.
void gfx_draw_glyph(platform::DeviceContext& dc, int code, double x, double y);
void gfx_draw_symbol(platform::DeviceContext& dc, int index, double x, double y);

// Replay of the text records: the attribute record's operands (null: the defaults), and a text
// at a surface point with an offset in character units.
void replay_text_attributes(const std::uint16_t* operands);
void replay_text(platform::DeviceContext& dc, int x, int y, double dx, double dy,
                 std::string_view text, bool offset_record);

// Whether texts are clipped character by character (stored with their anchor offsets).
bool text_clipped();

// Draws a text at the current point with its anchor, smaller when at the current size it would
// be wider than `width` (a fraction of the viewport's width), so that a title or legend stays
// whole in its cell; the text size is put back afterwards.
void gfx_print_within(double width, std::string_view text);
