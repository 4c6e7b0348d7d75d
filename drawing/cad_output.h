// Where the lines of the lens drawing go. Every outline, edge and ray is drawn through two
// primitives, a move-to (dxf_polyline) and a draw-to (dxf_vertex); the drawing output mode
// (DrawingBuffers::output_mode) sends them to the current graphics window (0, 1), as entities
// into a DXF file (2) or into the point list from which an IGES file is written (3). This file
// also holds the line writers of the CAD files and the formatter of their real numbers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kCadModeDxf = 2;
inline constexpr int kCadModeIges = 3;
inline constexpr int kCadNumberText = 21;  // format_cad_number's text, terminator included

// The open CAD file as the writers see it: text in, lines already ended.
class CadSink {
public:
    virtual ~CadSink() = default;
    virtual void write(const char* text, std::size_t length) = 0;
};

// A sink that collects the text (tests, and a file written in one piece).
class StringCadSink : public CadSink {
public:
    void write(const char* text, std::size_t length) override { text_.append(text, length); }
    const std::string& text() const { return text_; }
    void clear() { text_.clear(); }

private:
    std::string text_;
};

// A polyline point of the IGES point list: run marker (the point's own index on the first
// point of a polyline, 0 on the others, -1 on the last point of a closed one), the index, 0,
// the layer.
using CadPointRecord = std::array<std::int32_t, 4>;

struct CadOutput {
    CadSink* sink = nullptr;  // the open file, or none
    std::int32_t layer = 0;
    std::uint8_t polyline_open = 0;
    std::int32_t vertex_count = 0;              // vertices of the open DXF polyline
    double current[3] = {};                     // the last point written, after the view rotation
    std::vector<std::array<double, 3>> points;  // IGES point list, unrotated
    std::vector<CadPointRecord> records;
    // -10 once a point could not be kept for want of memory (the list never drops one
    // silently); the export reports it.
    int point_list_error = 0;
    // The 3-D model as the face writers read it (owned by the model storage): three doubles a
    // vertex, five words a face (four vertex numbers whose signs are ignored, one spare).
    const double* model_vertices = nullptr;
    const std::int32_t* model_faces = nullptr;
    std::int32_t model_vertex_count = 0;
    std::int32_t model_face_count = 0;
    std::int32_t directory_sequence = 0;  // IGES counters
    std::int32_t parameter_sequence = 0;
};

CadOutput& cad_output();
// A fresh process's output state (the mode is the drawing buffers').
void reset_cad_output();

// Move to p (lens units): starts a new line.
void dxf_polyline(const double p[3]);
// Draw from the current point to p.
void dxf_vertex(const double p[3]);

// The parts of dxf_section and iges_sections; the numbers are those the drawing code has always
// passed.
enum CadPart : int { kCadFileStart = 0, kCadPolylineEnd = 12, kCadFileEnd = 13 };

// kCadFileStart writes the DXF header, kCadPolylineEnd ends the open polyline (a single vertex
// is written twice first), kCadFileEnd the trailer (after ending an open polyline); other parts
// do nothing.
void dxf_section(int part);
// A "999" comment; an open polyline is ended first.
void dxf_comment(const char* text);
// The "Surface Range" comment and 3DFACE entities of model faces first_face..end_face - 1.
void dxf_3dface(int first_face, int end_face, int first_surface, int last_surface);
// kCadFileStart writes the IGES Start and first Global lines and empties the point list,
// kCadPolylineEnd closes the open polyline, kCadFileEnd writes the rest of the file from the
// point list; other parts do nothing.
void iges_sections(int part);

// The line writers of the open file; nothing happens without one. Lines end in CR LF.
void cad_write_line(const char* text);
void cad_write_int(std::int32_t value);
// "0.0" for |value| < 1e-40, else format_cad_number's text.
void cad_write_real(double value);

// Writes the decimal digits of value (after a "-" when negative) into text from the 1-based
// position, ends the text after them and returns the position after the last digit.
int int_to_text(std::int32_t value, char* text, int position);
// Adds 0.5 x 10^-k to value for 0 <= k <= 18; other k leave it unchanged.
void round_half_unit(double& value, int k);
// The compact text of a real number (at most 13 significant digits, a blank or "-" first, no
// trailing zeros): fixed for decimal exponents -3..4, else d.dddE+nn. Returns its length.
int format_cad_number(double value, char text[kCadNumberText]);
