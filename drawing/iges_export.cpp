#include "drawing/iges_export.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "drawing/cad_export_file.h"
#include "drawing/cad_output.h"
#include "drawing/draw_lens.h"
#include "drawing/draw_rays.h"
#include "drawing/lens_model.h"
#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/table_format.h"
#include "tables/table_names.h"

namespace {

constexpr int kDataColumns = 72;       // columns 1 to 72 hold data
constexpr int kParameterColumns = 64;  // P data; column 65 stays blank before the pointer
constexpr int kCompositeWrap = 57;     // a composite's line is ended once it passes this
constexpr int kMaxSequence = 9999999;  // seven digits

struct IgesExportState {
    char line[kDataColumns + 9] = {};
    int failure = 0;           // the first message that stops the file, or 0
    std::string failed_text;   // the field that did not fit
    bool model_drawn = false;  // the 3-D model of this export was built
    double scale = 1.0;        // coordinates written in the unit the Global section names
    std::string file_name;     // as typed, for the Global section
};

IgesExportState& state() {
    static IgesExportState s;
    return s;
}

void reset_iges_export_state() {
    state() = IgesExportState{};
}

const platform::StateReset iges_export_state_reset{"drawing/iges_export", reset_iges_export_state,
                                                   platform::ResetLayer::feature};

void fail(int message, const std::string& text) {
    IgesExportState& s = state();
    if (s.failure != 0) return;
    s.failure = message;
    s.failed_text = text;
}

void start_line() {
    std::memset(state().line, ' ', kDataColumns);
    state().line[kDataColumns] = '\0';
}

// A number right-aligned in a field of blanks (or of zeros).
std::string right(const std::string& text, std::size_t width, char fill = ' ') {
    return std::string(width > text.size() ? width - text.size() : 0, fill) + text;
}
std::string right(int value, std::size_t width, char fill = ' ') {
    return right(std::to_string(value), width, fill);
}

// Puts a number right-aligned into width columns of the line from a 0-based column.
void put_right(int value, int column, int width, char fill = ' ') {
    char digits[16];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    const int n = error == std::errc() ? static_cast<int>(end - digits) : 0;
    char* at = state().line + column;
    const int pad = std::max(width - n, 0);
    std::memset(at, fill, static_cast<std::size_t>(pad));
    std::memcpy(at + pad, digits, static_cast<std::size_t>(std::min(n, width)));
}

// Ends the line with its section letter and sequence number and writes it.
void end_line(char section, int sequence) {
    char* line = state().line;
    if (sequence > kMaxSequence) {
        fail(kMsgIgesTooManyLines, "");
        sequence = kMaxSequence;
    }
    line[kDataColumns] = section;
    put_right(sequence, kDataColumns + 1, 7, '0');
    line[kDataColumns + 8] = '\0';
    cad_write_line(line);
}

// A whole data line: columns 1 to 72.
void put_line(const std::string& text) {
    start_line();
    iges_put_field(text.c_str(), 0);
}

// The lens unit's field of the Global section and the scale of the coordinates it implies.
const char* unit_field(double units, double* scale) {
    *scale = 1.0;
    if (units == 1.0) return "2,2HMM,";
    if (units == 10.0) return "10,2HCM,";
    if (units == 25.4) return "1,4HINCH,";
    if (units == 1000.0) return "6,1HM,";
    if (units == 0.001) return "9,2HUM,";
    // A unit IGES has no name for: the coordinates go out in millimetres.
    *scale = units;
    return "2,2HMM,";
}

// A text of exactly width columns: the text cut or padded with blanks.
std::string fixed_width(const std::string& text, std::size_t width) {
    std::string s = text.substr(0, width);
    s.resize(width, ' ');
    return s;
}

struct IgesEntity {
    int type = 0;
    int form = 0;
    const char* status = "";
    int level = 0;
    std::vector<std::string> lines;  // its parameter data, at most 64 columns a line
};

// Composes the parameter lines of one entity field by field.
class ParameterLines {
public:
    explicit ParameterLines(std::vector<std::string>& lines, int wrap_after = kParameterColumns)
        : lines_(lines), wrap_after_(wrap_after) {}
    void add(const std::string& field) {
        if (field.size() > static_cast<std::size_t>(kParameterColumns)) {
            fail(kMsgIgesFieldTooLong, field);
            return;
        }
        if (current_.size() + field.size() > static_cast<std::size_t>(kParameterColumns)) {
            end_line();
        }
        current_ += field;
        if (current_.size() > static_cast<std::size_t>(wrap_after_)) end_line();
    }
    void end_line() {
        if (!current_.empty()) lines_.push_back(current_);
        current_.clear();
    }

private:
    std::vector<std::string>& lines_;
    std::string current_;
    int wrap_after_;
};

std::string real_field(double value, char delimiter) {
    char text[24];
    format_iges_real(value, text);
    std::string s = text;
    s += delimiter;
    return s;
}

std::string point_text(const std::array<double, 3>& p, char last) {
    return real_field(p[0], ',') + real_field(p[1], ',') + real_field(p[2], last);
}

std::array<double, 3> scaled(const double* p) {
    const double k = state().scale;
    return {p[0] * k, p[1] * k, p[2] * k};
}

// A line from its two points' texts ("x,y,z", without the closing delimiter).
IgesEntity line_entity(const std::string& a, const std::string& b, int level) {
    IgesEntity e;
    e.type = 110;
    e.status = "00010000";
    e.level = level;
    e.lines.reserve(2);
    e.lines.push_back("110," + a + ",");
    e.lines.push_back(b + ";");
    return e;
}

IgesEntity composite_entity(const std::vector<int>& members, int level) {
    IgesEntity e;
    e.type = 102;
    e.status = "00000001";
    e.level = level;
    ParameterLines p(e.lines, kCompositeWrap);
    p.add("102," + std::to_string(members.size()) + ",");
    for (std::size_t i = 0; i < members.size(); ++i) {
        p.add(std::to_string(members[i]) + (i + 1 < members.size() ? "," : ";"));
    }
    p.end_line();
    return e;
}

// A face of the model as a closed linear path through its distinct corners; none when fewer
// than three remain.
bool face_entity(const ModelStorage& m, int face, IgesEntity& e) {
    std::vector<std::array<double, 3>> corners;
    std::vector<std::string> texts;
    for (int n = 0; n < 4; ++n) {
        const std::int32_t v = std::abs(m.faces[5 * static_cast<std::size_t>(face) + n]);
        if (v >= m.vertex_count) return false;
        const std::array<double, 3> p = scaled(&m.vertices[3 * static_cast<std::size_t>(v)]);
        const std::string text = point_text(p, ',');
        if (std::find(texts.begin(), texts.end(), text) != texts.end()) continue;
        corners.push_back(p);
        texts.push_back(text);
    }
    if (corners.size() < 3) return false;
    corners.push_back(corners.front());
    e.type = 106;
    e.form = 12;
    e.status = "00000000";
    e.level = 0;
    ParameterLines p(e.lines);
    p.add("106,2," + std::to_string(corners.size()) + ",");
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const bool last = i + 1 == corners.size();
        for (int c = 0; c < 3; ++c) p.add(real_field(corners[i][c], last && c == 2 ? ';' : ','));
    }
    p.end_line();
    return true;
}

void write_directory_and_parameters(const std::vector<IgesEntity>& entities) {
    CadOutput& out = cad_output();
    char* line = state().line;
    out.directory_sequence = 1;
    int pointer = 1;
    for (const IgesEntity& e : entities) {
        start_line();
        put_right(e.type, 0, 8);
        put_right(pointer, 8, 8);
        put_right(1, 16, 8);
        put_right(1, 24, 8);
        put_right(e.level, 32, 8);
        std::memcpy(line + 64, e.status, std::min<std::size_t>(std::strlen(e.status), 8));
        end_line('D', out.directory_sequence++);
        const auto count = static_cast<int>(e.lines.size());
        start_line();
        put_right(e.type, 0, 8);
        // Readers want a line weight for a linear path; 1 is the thinnest.
        if (e.form != 0) put_right(1, 8, 8);
        put_right(count, 24, 8);
        if (e.form != 0) put_right(e.form, 32, 8);
        end_line('D', out.directory_sequence++);
        pointer += count;
    }
    out.parameter_sequence = 1;
    int directory = 1;
    for (const IgesEntity& e : entities) {
        for (const std::string& text : e.lines) {
            start_line();
            iges_put_field(text.c_str(), 0);
            put_right(directory, kParameterColumns + 1, 7);
            end_line('P', out.parameter_sequence++);
        }
        directory += 2;
    }
}

}  // namespace

void format_iges_real(double value, char text[24]) {
    double v = std::isfinite(value) ? value : 0.0;
    if (std::fabs(v) < 1e-40) v = 0.0;
    char work[64];
    std::snprintf(work, sizeof work, "%.6E", v);
    // Three exponent digits, as the format's fixed-width readers expect.
    const char* e = std::strchr(work, 'E');
    const int exponent = std::atoi(e + 1);
    const std::string result = std::string(work, static_cast<std::size_t>(e - work)) + "E" +
                               (exponent < 0 ? "-" : "+") + right(std::abs(exponent), 3, '0');
    std::snprintf(text, 24, "%s", result.c_str());
}

bool iges_put_field(const char* text, int column) {
    char* line = state().line;
    const int length = static_cast<int>(std::strlen(text));
    const int room = std::max(kDataColumns - column, 0);
    std::memcpy(line + std::min(column, kDataColumns), text,
                static_cast<std::size_t>(std::min(length, room)));
    if (length <= room) return true;
    fail(kMsgIgesFieldTooLong, text);
    return false;
}

int iges_put_date(int column) {
    static const char kDate[] = "13H900101.000000,";
    iges_put_field(kDate, column);
    return column + static_cast<int>(std::strlen(kDate));
}

int iges_unit_flag(int column) {
    const char* field = unit_field(lens_data().units, &state().scale);
    iges_put_field(field, column);
    return column + static_cast<int>(std::strlen(field));
}

void write_iges_start() {
    IgesExportState& s = state();
    const LensData& lens = lens_data();
    CadOutput& out = cad_output();
    out.points.clear();
    out.records.clear();
    out.point_list_error = 0;
    out.polyline_open = 0;
    out.directory_sequence = 1;
    out.parameter_sequence = 1;
    s.failure = 0;
    s.failed_text.clear();
    s.model_drawn = false;
    // The start section names the program's own version, so that a file can be traced to the
    // program that wrote it.
    const std::string heading =
        std::string("TAVO Optical Design Program IGES Output, Version ") + kProgramVersion;
    const char* starts[3] = {heading.c_str(), "Lens ID: ", lens.title};
    int sequence = 1;
    for (const char* text : starts) {
        start_line();
        iges_put_field(text, 0);
        end_line('S', sequence++);
    }
    start_line();
    iges_put_field("Designer: ", 0);
    iges_put_field(lens.designer, 11);
    end_line('S', sequence++);
    start_line();
    iges_put_field("mm per LENS UNIT (1=mm, 25.4=inches, etc.): ", 0);
    char unit[kCadNumberText];
    format_cad_number(lens.units, unit);
    iges_put_field(unit, 45);
    end_line('S', sequence++);

    const std::string title = fixed_width(lens.title, 40);
    std::string name = s.file_name;
    if (name.size() > 20) name = name.substr(name.size() - 20);
    start_line();
    iges_put_field((",,40H" + title + ",20H" + fixed_width(name, 20) + ",").c_str(), 0);
    end_line('G', 1);
    start_line();
    // The sending system and its version, as Hollerith strings counted from the program's own
    // version.
    const std::string product_id = std::string("TAVO-") + kProgramVersion;
    const std::string sender = "VELMORIN OPTICS " + product_id;
    iges_put_field((std::to_string(sender.size()) + "H" + sender + "," +
                    std::to_string(product_id.size()) + "H" + product_id + ",32,38,6,99,15, ")
                       .c_str(),
                   0);
    end_line('G', 2);
    start_line();
    int column = 0;
    const std::string product = "40H" + title + ",1.0,";
    iges_put_field(product.c_str(), column);
    column = iges_unit_flag(column + static_cast<int>(product.size()));
    iges_put_field("32767,3.2767D1,", column);
    end_line('G', 3);
}

void iges_entity(int first_record) {
    const CadOutput& out = cad_output();
    const ModelStorage& m = model_storage();
    std::vector<IgesEntity> entities;
    if (state().model_drawn) {
        for (int f = 0; f < m.face_count; ++f) {
            IgesEntity e;
            if (face_entity(m, f, e)) entities.push_back(std::move(e));
        }
    }
    // The walk: a point that carries its own index begins a polyline; every other point ends a
    // segment from the point before it; -1 ends a polyline, whose lines then form a composite.
    // A polyline of one point (its marker overwritten by -1 when it was closed) yields nothing.
    std::vector<int> members;
    bool in_polyline = false;
    const auto count = static_cast<int>(std::min(out.points.size(), out.records.size()));
    // Each point is formatted once: the texts both tell zero-length segments and are written.
    std::vector<std::string> texts(static_cast<std::size_t>(std::max(count, 0)));
    for (int k = std::max(first_record, 0); k < count; ++k) {
        std::string t = point_text(scaled(out.points[static_cast<std::size_t>(k)].data()), ';');
        t.pop_back();
        texts[static_cast<std::size_t>(k)] = std::move(t);
    }
    entities.reserve(entities.size() + static_cast<std::size_t>(std::max(count, 0)) * 5 / 4);
    for (int k = std::max(first_record, 0); k < count; ++k) {
        const CadPointRecord& r = out.records[static_cast<std::size_t>(k)];
        if (r[0] == r[1]) {
            in_polyline = true;
            members.clear();
            continue;
        }
        if (!in_polyline || k == 0) continue;
        const std::string& a = texts[static_cast<std::size_t>(k - 1)];
        const std::string& b = texts[static_cast<std::size_t>(k)];
        // A segment that the file's precision cannot tell from a point is no line.
        if (a != b) {
            members.push_back(2 * static_cast<int>(entities.size()) + 1);
            entities.push_back(line_entity(a, b, r[3]));
        }
        if (r[0] == -1) {
            if (!members.empty()) entities.push_back(composite_entity(members, r[3]));
            members.clear();
            in_polyline = false;
        }
    }
    write_directory_and_parameters(entities);
}

void write_iges_end() {
    IgesExportState& s = state();
    const CadOutput& out = cad_output();
    double largest = 1e-40;
    for (const auto& p : out.points) {
        for (double v : scaled(p.data())) largest = std::max(largest, std::fabs(v));
    }
    if (s.model_drawn) {
        const ModelStorage& m = model_storage();
        for (int f = 0; f < m.face_count; ++f) {
            for (int n = 0; n < 4; ++n) {
                const std::int32_t v = std::abs(m.faces[5 * static_cast<std::size_t>(f) + n]);
                if (v >= m.vertex_count) continue;
                for (double c : scaled(&m.vertices[3 * static_cast<std::size_t>(v)])) {
                    largest = std::max(largest, std::fabs(c));
                }
            }
        }
    }
    if (!std::isfinite(largest)) largest = 1e40;
    start_line();
    int column = iges_put_date(0);
    iges_put_field("1.0D-08,", column);
    column += 8;
    char text[kCadNumberText];
    format_cad_number(largest, text);
    iges_put_field((std::string(text) + ",").c_str(), column);
    end_line('G', 4);
    start_line();
    iges_put_field("10HTellbridge,21HVelmorin Optics, Inc.,6,0;", 0);
    end_line('G', 5);
    iges_entity(0);
    put_line("S0000005G0000005D" +
             right(std::min(out.directory_sequence - 1, kMaxSequence), 7, '0') + "P" +
             right(std::min(out.parameter_sequence - 1, kMaxSequence), 7, '0'));
    end_line('T', 1);
}

int cmd_export_iges() {
    CadExportFile file;
    const std::string name = arg_string(4);
    if (const int r = file.open(name, kCadModeIges); r != 0)
        return r == kCadExportCancelled ? 0 : r;
    state().file_name = name.find_first_not_of(' ') == std::string::npos ? file.path() : name;
    iges_sections(kCadFileStart);
    state().file_name.clear();
    int result = cmd_draw_lens();
    state().model_drawn = result == 0 && lens_drawing_state().style == kStyleModel;
    if (result == 0) result = cmd_draw_field_rays();
    iges_sections(kCadFileEnd);
    if (result == 0 && cad_output().point_list_error != 0) result = cad_output().point_list_error;
    IgesExportState& s = state();
    // Nothing is put in place: the file would be cut where a field did not fit.
    if (s.failure != 0) return set_error_msg(s.failure, s.failed_text.c_str());
    return file.finish(result);
}
