#include "drawing/cad_output.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "drawing/draw_lens.h"
#include "drawing/dxf_export.h"
#include "drawing/iges_export.h"
#include "graphics/draw_primitives.h"
#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "trace/drawing_buffers.h"
#include "trace/surface_frames.h"

namespace {

CadOutput g_cad;

constexpr double kZero = 1e-40;

int dlcv() {
    const DrawingConditions* c = lens_data().drawing_conditions;
    return c != nullptr ? c->dlcv : 0;
}

void write_text(const char* text, std::size_t length) {
    if (g_cad.sink != nullptr) g_cad.sink->write(text, length);
}

// The current point: p itself, or p turned by the drawing's view rotation.
void set_current(const double p[3], bool rotate) {
    if (rotate) {
        mat3_times_vector(p, drawing_views().other_view, g_cad.current);
    } else {
        for (int k = 0; k < 3; ++k) g_cad.current[k] = p[k];
    }
}

void write_dxf_vertex(double z) {
    cad_write_line("  0");
    cad_write_line("VERTEX");
    cad_write_line("  8");
    cad_write_int(g_cad.layer);
    cad_write_line(" 10");
    cad_write_real(g_cad.current[0]);
    cad_write_line(" 20");
    cad_write_real(g_cad.current[1]);
    cad_write_line(" 30");
    cad_write_real(z);
    cad_write_line(" 70");
    cad_write_line("    32");
}

// Appends an unrotated point to the IGES list; the list grows rather than drop a point.
void append_point(const double p[3], std::int32_t run) {
    const auto index = static_cast<std::int32_t>(g_cad.points.size());
    try {
        g_cad.points.push_back({p[0], p[1], p[2]});
        g_cad.records.push_back({run < 0 ? index : run, index, 0, g_cad.layer});
    } catch (const std::bad_alloc&) {
        if (g_cad.points.size() > g_cad.records.size()) g_cad.points.pop_back();
        g_cad.point_list_error = -10;
    }
}

// On screen: the model's points are already projected; other styles are turned into the view.
void screen_point(const double p[3], bool draw) {
    double x = p[0];
    double y = p[1];
    if (lens_drawing_state().style != kStyleModel) {
        set_current(p, true);
        x = g_cad.current[lens_drawing_state().axis_h];
        y = g_cad.current[lens_drawing_state().axis_v];
    }
    if (draw) {
        gfx_draw_to(x, y);
    } else {
        gfx_move_to(x, y);
    }
}

}  // namespace

CadOutput& cad_output() {
    return g_cad;
}

void reset_cad_output() {
    g_cad.sink = nullptr;
    g_cad.layer = 0;
    g_cad.polyline_open = 0;
    g_cad.vertex_count = 0;
    for (double& v : g_cad.current) v = 0.0;
    g_cad.points.clear();
    g_cad.records.clear();
    g_cad.point_list_error = 0;
    g_cad.model_vertices = nullptr;
    g_cad.model_faces = nullptr;
    g_cad.model_vertex_count = 0;
    g_cad.model_face_count = 0;
    g_cad.directory_sequence = 0;
    g_cad.parameter_sequence = 0;
}

void dxf_polyline(const double p[3]) {
    switch (drawing_buffers().output_mode) {
        case kCadModeDxf:
            if (g_cad.polyline_open) dxf_section(kCadPolylineEnd);
            set_current(p, dlcv() != 0);
            cad_write_line("  0");
            cad_write_line("POLYLINE");
            cad_write_line("  8");
            cad_write_int(g_cad.layer);
            cad_write_line(" 66");
            cad_write_line("     1");
            cad_write_line(" 10");
            cad_write_real(0.0);
            cad_write_line(" 20");
            cad_write_real(0.0);
            cad_write_line(" 30");
            cad_write_real(0.0);
            cad_write_line(" 70");
            cad_write_line("     8");
            write_dxf_vertex(g_cad.current[2]);
            g_cad.polyline_open = 1;
            g_cad.vertex_count = 1;
            break;
        case kCadModeIges:
            if (g_cad.polyline_open) iges_sections(kCadPolylineEnd);
            append_point(p, -1);
            g_cad.polyline_open = 1;
            break;
        default:
            screen_point(p, false);
            break;
    }
}

void dxf_vertex(const double p[3]) {
    switch (drawing_buffers().output_mode) {
        case kCadModeDxf: {
            const int cv = dlcv();
            set_current(p, cv != 0);
            write_dxf_vertex(cv == 2 ? 0.0 : g_cad.current[2]);
            ++g_cad.vertex_count;
            break;
        }
        case kCadModeIges:
            append_point(p, 0);
            break;
        default:
            screen_point(p, true);
            break;
    }
}

void dxf_section(int part) {
    if (part == kCadFileStart) write_dxf_header();
    if (part == kCadFileEnd) write_dxf_trailer();
    if (part != kCadPolylineEnd || !g_cad.polyline_open) return;
    // Every polyline gets at least two vertices; the point is already in view coordinates.
    if (g_cad.vertex_count == 1) write_dxf_vertex(dlcv() == 2 ? 0.0 : g_cad.current[2]);
    cad_write_line("  0");
    cad_write_line("SEQEND");
    cad_write_line("  8");
    cad_write_int(g_cad.layer);
    g_cad.polyline_open = 0;
    g_cad.vertex_count = 0;
}

void dxf_comment(const char* text) {
    // A comment inside an open POLYLINE makes DXF readers refuse the file.
    dxf_section(kCadPolylineEnd);
    cad_write_line("999");
    cad_write_line(text);
}

void dxf_3dface(int first_face, int end_face, int first_surface, int last_surface) {
    char text[64] = "Surface Range: ";
    int at = int_to_text(first_surface, text, static_cast<int>(std::strlen(text)) + 1);
    std::memcpy(text + at - 1, " to ", 5);
    int_to_text(last_surface, text, at + 4);
    dxf_comment(text);
    const std::int32_t* faces = g_cad.model_faces;
    const double* vertices = g_cad.model_vertices;
    if (faces == nullptr || vertices == nullptr) return;
    static const char* const kCodes[4][3] = {
        {" 10", " 20", " 30"}, {" 11", " 21", " 31"}, {" 12", " 22", " 32"}, {" 13", " 23", " 33"}};
    for (int k = std::max(first_face, 0); k < end_face && k < g_cad.model_face_count; ++k) {
        cad_write_line("  0");
        cad_write_line("3DFACE");
        cad_write_line("  8");
        cad_write_int(g_cad.layer);
        for (int n = 0; n < 4; ++n) {
            const std::int32_t v = std::abs(faces[5 * k + n]);
            const bool known = v < g_cad.model_vertex_count;
            for (int c = 0; c < 3; ++c) {
                cad_write_line(kCodes[n][c]);
                cad_write_real(known ? vertices[3 * v + c] : 0.0);
            }
        }
        cad_write_line(" 70");
        cad_write_line("0");
    }
}

void iges_sections(int part) {
    if (part == kCadFileStart) write_iges_start();
    if (part == kCadFileEnd) write_iges_end();
    if (part != kCadPolylineEnd || !g_cad.polyline_open) return;
    if (!g_cad.records.empty()) g_cad.records.back()[0] = -1;
    g_cad.polyline_open = 0;
}

void cad_write_line(const char* text) {
    if (g_cad.sink == nullptr) return;
    write_text(text, std::strlen(text));
    write_text("\r\n", 2);
}

void cad_write_int(std::int32_t value) {
    char text[16];
    int_to_text(value, text, 1);
    cad_write_line(text);
}

void cad_write_real(double value) {
    if (std::fabs(value) < kZero) {
        cad_write_line("0.0");
        return;
    }
    char text[kCadNumberText];
    format_cad_number(value, text);
    cad_write_line(text);
}

int int_to_text(std::int32_t value, char* text, int position) {
    int at = position - 1;
    std::int64_t v = value;
    if (v < 0) {
        text[at++] = '-';
        v = -v;
    }
    char digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n > 0) text[at++] = digits[--n];
    text[at] = '\0';
    return at + 1;
}

void round_half_unit(double& value, int k) {
    static constexpr double kAddends[19] = {0.5,   0.05,  5e-3,  5e-4,  5e-5,  5e-6,  5e-7,
                                            5e-8,  5e-9,  5e-10, 5e-11, 5e-12, 5e-13, 5e-14,
                                            5e-15, 5e-16, 5e-17, 5e-18, 5e-19};
    if (k >= 0 && k <= 18) value += kAddends[k];
}

int format_cad_number(double value, char text[kCadNumberText]) {
    constexpr int kPlaces = 12;
    static constexpr double kPowers[6] = {1e32, 1e16, 1e8, 1e4, 100.0, 10.0};
    static constexpr int kExponents[6] = {32, 16, 8, 4, 2, 1};
    double a = std::fabs(value);
    if (!(a >= kZero)) a = 0.0;  // also a NaN
    int n = 0;
    text[n++] = (a > 0.0 && value < 0.0) ? '-' : ' ';
    if (a > 1e40) a = 1e40;
    int e = 0;
    double m = a;
    if (a >= 1.0) {
        for (int i = 0; i < 6; ++i) {
            if (m >= kPowers[i]) {
                m /= kPowers[i];
                e += kExponents[i];
            }
        }
    } else if (a > 0.0) {
        for (int i = 0; i < 6; ++i) {
            if (m * kPowers[i] < 10.0) {
                m *= kPowers[i];
                e -= kExponents[i];
            }
        }
    }
    auto put_digits = [&](double w, int count) {
        for (int i = 0; i < count; ++i) {
            int d = static_cast<int>(std::floor(w));
            if (d > 9) d = 9;
            if (d < 0) d = 0;
            text[n++] = static_cast<char>('0' + d);
            w = (w - d) * 10.0;
        }
        return w;
    };
    auto trim = [&] {
        while (n > 2 && text[n - 1] == '0') --n;
        if (text[n - 1] == '.') --n;
    };
    bool fixed = e >= -3 && e <= 4;
    if (fixed) {
        double w = a >= 1.0 ? m : a;
        round_half_unit(w, kPlaces);
        if (a < 1.0 && w >= 1.0) {  // 0.9999999999999 rounds up to 1
            e = 0;
        } else if (a >= 1.0 && w >= 10.0) {
            w /= 10.0;
            ++e;
        }
        if (e <= 4) {
            const int integer_digits = a >= 1.0 || w >= 1.0 ? e + 1 : 1;
            // The digits of a below 1 start at its integer digit 0.
            w = put_digits(w, integer_digits);
            text[n++] = '.';
            put_digits(w, kPlaces - std::max(e, 0));
            trim();
            text[n] = '\0';
            return n;
        }
        m = w;  // carried past 4: the exponent form of the rounded mantissa
    } else {
        round_half_unit(m, kPlaces);
        if (m >= 10.0) {
            m /= 10.0;
            ++e;
        }
    }
    double w = put_digits(m, 1);
    text[n++] = '.';
    put_digits(w, 11);
    trim();
    text[n++] = 'E';
    text[n++] = e < 0 ? '-' : '+';
    const int ae = std::abs(e);
    text[n++] = static_cast<char>('0' + ae / 10 % 10);
    text[n++] = static_cast<char>('0' + ae % 10);
    text[n] = '\0';
    return n;
}

namespace {
const platform::StateReset cad_output_state_reset{"drawing/cad_output", reset_cad_output,
                                                  platform::ResetLayer::feature};
}  // namespace
