// Graphics windows 1..9 (window numbers 7..15) and the drawing pane of window 16 (record 10):
// each keeps a display list of 16-bit words in the coordinates of a virtual plotting surface, so
// that its picture can be repainted, zoomed, printed and saved by replaying the list.
// What the rest of the program uses of them, kept by three files named at each section below;
// the handlers their windows answer to are graphics/graphics_window_handlers.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui.h"
#include "tables/table_names.h"

inline constexpr int kGraphicsRecords = 10;  // 1..9 graphics windows, 10 the pane of 16
inline constexpr int kGraphicsPaneRecord = 10;
inline constexpr int kGraphicsFirstWindow = 7;  // window number of graphics window 1
inline constexpr int kDisplayListFirstWords = 16000;
inline constexpr int kGraphicsTextSize = 496;  // stored command text: 495 characters + 0

// Display-list record kinds (bits 0x7800 of a header word; the low 11 bits a value or count).
enum DisplayKind : std::uint16_t {
    kDlColour = 0x0800,
    kDlViewport = 0x1000,
    kDlTextAttributes = 0x1800,
    kDlText = 0x2000,
    kDlMarkers = 0x2800,
    kDlDots = 0x3000,
    kDlIsotropic = 0x3800,
    kDlViewportBox = 0x4000,
    kDlPolyline = 0x4800,
    kDlRawHpgl = 0x5000,
    kDlTextOffset = 0x5800,
    kDlLineStyle = 0x6000,
    kDlFillColour = 0x6800,
};
inline constexpr std::uint16_t kDlKindMask = 0x7800;
inline constexpr std::uint16_t kDlValueMask = 0x07FF;

// The operand words after a record's header word, by its kind and value; -1 for a word that
// heads no record the program writes (a 0 before the end, a damaged list).
inline int display_list_operands(std::uint16_t header) {
    const int value = header & kDlValueMask;
    switch (header & kDlKindMask) {
        case kDlColour:
        case kDlIsotropic:
        case kDlViewportBox:
        case kDlLineStyle:
        case kDlFillColour:
            return 0;
        case kDlViewport:
            return 4;
        case kDlTextAttributes:
            return value != 0 ? 0 : 4;
        case kDlText:
            return 2 + value;
        case kDlTextOffset:
            return 4 + value;
        case kDlMarkers:
            return 1 + 2 * value;
        case kDlDots:
        case kDlPolyline:
            return 2 * value;
        case kDlRawHpgl:
            return value;
        default:
            return -1;
    }
}

// As a viewport: fractions 0..1 of the drawing area (y from the bottom) and the character size
// code; as a world frame: the world coordinates on the viewport and the isotropic flag.
struct FrameBox {
    double xmin = 0;
    double xmax = 1;
    double ymin = 0;
    double ymax = 1;
    std::int32_t word = 0;
};

struct GraphicsWindow {
    double scale_x = 0, scale_y = 0;  // world to surface
    double offset_x = 0, offset_y = 0;
    double current_x = 0, current_y = 0;  // current point, world
    double aspect = 0.625;                // height / width of the plotting surface
    // The display list: `words` holds the allocated capacity; the write position always holds
    // the end word 0. An empty vector means the window has no list (never opened or closed).
    std::vector<std::uint16_t> words;
    int write = 0;
    int mark = -1;              // -1: no mark
    int width = 0, height = 0;  // drawing area in pixels
    FrameBox viewport;
    FrameBox world;
    FrameBox saved_viewport;
    int (*mouse_callback)(double, double, double, double) = nullptr;
    std::int32_t saved_isotropic = 0;
    std::int32_t pen_colour = 1;
    std::int32_t line_style = 0;
    std::int32_t fill_colour = 0;
    std::int16_t zoom_shift = 18;
    std::int16_t zoom = 1000;
    std::int16_t zoom_centre_x = 5000, zoom_centre_y = 5000;
    char command_text[kGraphicsTextSize] = {};
    // Marks left by drawing inside a slider routine: the window is cleared and/or repainted
    // once when the routine returns.
    bool clear_mark = false;
    bool repaint_mark = false;
    // The drawing area the page was laid out for (0: the current one), and whether an
    // isotropic world frame drew on it: such a page keeps its shape in a resized area, centred
    // in it at the largest size that fits.
    int layout_width = 0, layout_height = 0;
    bool keeps_shape = false;

    bool has_list() const { return !words.empty(); }
    int capacity() const { return static_cast<int>(words.size()); }
};

// The plotting surface of the current window: centre (cx, cy), W = 2cx, H = 2cy.
struct PlotSurface {
    int cx = 10240;
    int cy = 6400;
    int width = 20480;
    int height = 12800;
};

// Surface-to-pixel mapping and the clip bounds (surface units) of the current window.
struct DeviceMapping {
    std::int64_t scale_x = 0, scale_y = 0;  // pixel = ((v * scale) >> shift) + offset
    std::int64_t offset_x = 0, offset_y = 0;
    int shift = 18;
    bool hpgl = false;  // pixel = (v * scale) >> 15, no offset
    double box_xmin = 0, box_ymin = 0, box_xmax = 0, box_ymax = 0;   // clip box
    int clip_xmin = 0, clip_ymin = 0, clip_xmax = 0, clip_ymax = 0;  // integer clip bounds
};

// --- the table of windows: records, globals, open, select, close (graphics_window_table.cpp) ---
GraphicsWindow& graphics_record(int n);  // 1..10; anything else gives a scratch record
int graphics_current();                  // current record number, 0 = none
GraphicsWindow* graphics_current_record();
int graphics_pen_colour();  // the program-wide current pen colour
void set_graphics_pen_colour(int c);
bool graphics_replaying();
void set_graphics_replaying(bool on);
bool graphics_deferred();
void set_graphics_deferred(bool on);
// While a slider's routine runs, drawing is collected per window and repainted afterwards.
bool slider_routine_running();
void set_slider_routine_running(bool on);
void set_graphwin_last_opened(int n);
bool graphics_clear_pending();
void set_graphics_clear_pending(bool on);

// Shows graphics window n's title, or while it has none its kind and number ("Graphics 2").
void graphwin_refresh_caption(int n);

// Opens or selects graphics window n (<0 the first shown one, 0 the first free of 1..6).
// 0 when newly shown, the window number when it was already shown, -10 without memory.
int graphwin_open(int n, int x, int y, int width, int height);
platform::DeviceContext* graphwin_select(int n);
// 0, or kMsgGraphwinLastStays when n is the last shown of graphics windows 1 to 6 (it stays).
int graphwin_close(int n);
void graphwin_set_title(const char* text);
void graphwin_new_page(int clear_title);
void graphwin_init_record(int n, int width, int height);
void graphwin_reset(int zoom_too);
void graphwin_resized(int window, std::uint32_t packed_size);
void graphwin_clear(platform::DeviceContext* dc);
int graphwin_last_opened();
// What is being drawn shows itself: the current graphics window comes to the front when another
// window is the active one, except while a slider's routine draws (the slider keeps the focus).
void front_current_graphics_window();
void update_graphics_flags();
void graphwin_get_size(int* w, int* h);
void graphwin_set_mouse_callback(int (*fn)(double, double, double, double));

// The device context graphics draw into for window record n (the frame's drawing area, or the
// pane of window 16); null when the window has none.
platform::DeviceContext* graphics_device_context(int n);
// The frames of windows 7..15 with their paint, size and close handling; created on first open.
int create_graphics_frame(int window);

// The graphics-with-text window (16): its drawing pane is record 10 with a display list of
// 10000 words; a left press on the pane goes to pick with the client point packed as low and
// high 16 bits (null keeps the pick routine there is). 0, -10 without memory, -1 without a
// user interface.
int create_graphics_text_window(void (*pick)(std::uint32_t point));

// Back to the state at program start: no lists, no current window (tests, shut-down).
void reset_graphics_windows();

// --- the world-to-device mapping of the current window (graphics_mapping.cpp) ---------------
// Where the page of a window lies in its drawing area: the whole area, or for a page that
// keeps its shape the centred part of the laid-out proportions.
struct PageRect {
    double left = 0, top = 0, width = 0, height = 0;
};
PageRect graphics_page_rect(const GraphicsWindow& g);

const PlotSurface& plot_surface();
const DeviceMapping& device_mapping();
void gfx_set_aspect(double r);
void gfx_zoom(double factor, double fx, double fy);

// World-to-surface and device mappings, recomputed from the current window's frames.
void graphics_apply_frames();
void graphics_apply_viewport(const FrameBox& viewport, int isotropic);
// World point to surface coordinates (clamped), and back from pixels.
void gfx_world_to_device(double x, double y, int* sx, int* sy);
// The surface points of n world points, each as gfx_world_to_device gives it.
void gfx_world_to_device_n(const double* x, const double* y, int n, platform::Point* out);
void gfx_device_to_world(int px, int py, double* x, double* y);
platform::Point surface_to_pixel(int sx, int sy);
// A point of window 16's pane in the world coordinates of its drawing.
void graphics_pane_to_world(int px, int py, double* x, double* y);

// Plotter output: while width > 0, the device mapping converts surface units to plotter units
// ((v * scale) >> 15, W surface units across the plotter width) without zoom or offset.
void set_graphics_plotter(int width, int height);

// The output device's size across and down, in pixels and millimetres: the screen the windows
// are on (0, 0 without a user interface).
void gfx_device_width(int* pixels, int* mm);
void gfx_device_height(int* pixels, int* mm);

// --- the display list of the current window (display_list_storage.cpp) ----------------------
int display_list_grow(int n);
int display_list_reserve(int n);
// Writes into the current list; the caller has reserved the room with display_list_grow.
void display_list_put(std::uint16_t word);
void display_list_end();  // writes the end word at the write position
// Words of the current list from its start up to the end word (tests and outputs).
std::vector<std::uint16_t> display_list_words();

// The largest number of words one display list may take; growth beyond it fails as an
// allocation would (-155 once).
void set_display_list_word_budget(int words);

void gfx_mark();
void gfx_rewind();
void gfx_defer_drawing();
