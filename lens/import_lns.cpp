// ".len" and ".lns" files: comma-separated keyword lines in sections, possibly with several
// configurations of which the first is imported. The reader repairs some lines itself and hands
// the others, commas turned into blanks, to the import commands of context "K". The two
// extensions differ in how the field values are taken.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lens/import_frame.h"
#include "lens/import_readers.h"
#include "lens/lens_data.h"
#include "lens/surface_groups.h"
#include "lens/surface_insert_delete.h"
#include "lens/surface_setters.h"
#include "numeric/memory.h"
#include "runtime/arg_cells.h"
#include "runtime/command_context.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

struct LnsWords {
    bool lns = false;  // a ".lns" file
    int configuration = 1;
    int configuration_count = 1;
    std::vector<double> field_values;
    bool ray_section_seen = false;
    enum class Next { none, object, ray } next = Next::none;
    bool ended = false;
};
LnsWords g_lns;

bool starts(const std::string& line, const char* word) {
    return line.compare(0, std::strlen(word), word) == 0;
}

// The n-th comma-separated field (from 1), blanks trimmed; empty when missing.
std::string field(const std::string& line, int n) {
    std::size_t at = 0;
    for (int k = 1; k < n; ++k) {
        at = line.find(',', at);
        if (at == std::string::npos) return {};
        ++at;
    }
    std::size_t end = line.find(',', at);
    std::string f = line.substr(at, end == std::string::npos ? std::string::npos : end - at);
    const std::size_t first = f.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return f.substr(first, f.find_last_not_of(" \t") - first + 1);
}

double field_number(const std::string& line, int n) {
    const std::string f = field(line, n);
    const double v = std::strtod(f.c_str(), nullptr);
    return std::isfinite(v) ? v : 0.0;
}

void set_field_from(double v) {
    LensData& l = lens_data();
    const DatWords& w = dat_words();
    if (std::fabs(w.a) < kTiny || std::fabs(w.b) < kTiny) {
        if (std::fabs(v) < kTiny) v = 5.729577951e-05;
        l.field_is_angle = 1;
        l.field_angle = v * kRadiansPerDegree;
    } else {
        if (std::fabs(v) < kTiny) v = -1.0;
        l.field_is_angle = 0;
        l.object_height = v;
    }
}

std::vector<double> given_numbers() {
    std::vector<double> values;
    const int count = import_given_count();
    for (int k = 0; k < count; ++k) values.push_back(arg_double(k));
    return values;
}

double largest(const std::vector<double>& values) {
    double v = 0.0;
    for (const double x : values)
        if (std::fabs(x) > std::fabs(v)) v = x;
    return v;
}

void setup() {
    dat_words() = DatWords{};
    const bool lns = g_lns.lns;
    g_lns = LnsWords{};
    g_lns.lns = lns;
    push_command_context('K');
    set_current_surface(0);
}

std::string with_blanks(std::string line) {
    for (char& c : line)
        if (c == ',' || c == '*') c = ' ';
    return line;
}

LineAction repair(std::string& line, int* stop) {
    const int number = import_state().line;
    if (g_lns.ended) return LineAction::skip;
    if (number == 1) {
        LensData& l = lens_data();
        std::snprintf(l.notes[0], sizeof l.notes[0], "%.80s", line.c_str());
        import_set_title(line);
        return LineAction::skip;
    }
    if (g_lns.next == LnsWords::Next::ray) {
        g_lns.next = LnsWords::Next::none;
        dat_words().d1 = field_number(line, 4);
        dat_words().d2 = field_number(line, 8);
        return LineAction::skip;
    }
    if (g_lns.next == LnsWords::Next::object) {
        g_lns.next = LnsWords::Next::none;
        const double c = field_number(line, 2);
        const double tilt = field_number(line, 3);
        if (std::fabs(c) > kTiny) set_curvature_data(0, 0, 0, 0.0, c);
        if (std::fabs(tilt) > kTiny && ensure_decentre_record(0) == 0) {
            surface(0).decentre->tla = tilt;
        }
        return LineAction::skip;
    }
    if (starts(line, "NSURF")) {
        const double n = field_number(line, 2);
        if (n + 1 > surface_limit() || n < 0) {
            *stop = 1;
            return LineAction::skip;
        }
    } else if (starts(line, "GLASS")) {
        const std::size_t first = line.find(',');
        const std::size_t second = first == std::string::npos ? first : line.find(',', first + 1);
        if (second != std::string::npos) {
            const std::string name = line.substr(first + 1, second - first - 1);
            const bool named = name.size() >= 2 && name.find_first_not_of(' ') != std::string::npos;
            if (!named) {
                if (std::fabs(field_number(line, 3) - 1.0) <= kTiny) return LineAction::skip;
                line = "GLASS GLASS " + line.substr(second);
            }
        }
    } else if (starts(line, "SURFACE")) {
        const std::size_t last = line.rfind(',');
        if (last != std::string::npos) {
            for (std::size_t k = last + 1; k < line.size(); ++k)
                if (line[k] == '.') line[k] = ' ';
        }
    } else if (starts(line, "ENDFILE")) {
        g_lns.ended = true;
        return LineAction::skip;
    } else if (starts(line, "RAY")) {
        if (!g_lns.ray_section_seen) {
            g_lns.ray_section_seen = true;
            g_lns.next = LnsWords::Next::ray;
        }
        return LineAction::skip;
    } else if (starts(line, "OBJECT") && g_lns.configuration == 1) {
        g_lns.next = LnsWords::Next::object;
    }
    line = with_blanks(line);
    return LineAction::run;
}

void before_end() {
    LensData& l = lens_data();
    if (l.aperture_stop >= 0 && l.aperture_stop <= l.image_surface) {
        surface(l.aperture_stop).aperture_check = 0;
    }
    surface(l.image_surface).aperture_check = 0;
    const double d = dat_words().d;
    if (std::fabs(d) > kTiny) {
        SurfaceRecord& s = surface(l.image_surface);
        mem_free(s.note);
        s.note = static_cast<char*>(mem_alloc(82));
        if (s.note != nullptr) {
            std::snprintf(s.note, 82, "Sigma defocus = %s", format_number(d, 2, 0));
        }
    }
}

int last(int) {
    const DatWords& w = dat_words();
    return finish_lns_dat_import(g_lns.ray_section_seen, w.d1, w.d2);
}

// A rectangle or obscuration as a native line: the next free aperture letter.
void special_aperture_line(int n, const char* shape, const char* action, double y1, double y2,
                           double x1, double x2) {
    const int count = surface(n).special_aperture_count + 1;
    if (count > 26) {
        import_note_ignored("special aperture", "the surface has no letter left");
        return;
    }
    const char letter = static_cast<char>(64 + count);
    char text[320];
    std::snprintf(text, sizeof text,
                  "APN %d; AY1 %c %.12e; AY2 %c %.12e; AX1 %c %.12e; AX2 %c %.12e; ATP %c %s; "
                  "AAC %c %s",
                  count, letter, y1, letter, y2, letter, x1, letter, x2, letter, shape, letter,
                  action);
    import_run_native(text);
    surface(n).aperture_check = 0;
}

// The first special aperture of the surface that clears (action 4), or null.
SpecialAperture* first_clear_aperture(int n) {
    SurfaceRecord& s = surface(n);
    for (int k = 0; k < s.special_aperture_count && s.special_apertures != nullptr; ++k) {
        if (s.special_apertures[k].action == kActionClear) return &s.special_apertures[k];
    }
    return nullptr;
}

double centre_of(const SpecialAperture* a) {
    if (a == nullptr) return 0.0;
    const double c = 0.5 * (a->y[0] + a->y[1]);
    return std::fabs(c) < kTiny ? 0.0 : c;
}

void medium_of_surface_before(int k) {
    const int front = k - 1;
    if (front < 0 || surface(front).medium_kind == kMediumMirror) return;
    std::string name = import_text_arg(0);
    if (!name.empty() && name[0] == '*') name.erase(0, 1);
    if (name.size() > 2 && name[1] == '-') name.erase(0, 2);
    name = name.substr(0, kMediumNameLength);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name.empty() || name == "AIR") return;
    if (import_catalogue_glass(front, name) || import_catalogue_glass(front, "O_" + name) ||
        import_catalogue_glass(front, "H_" + name)) {
        return;
    }
    std::vector<double> values;
    const int wavelengths = lens_data().wavelength_count;
    for (int i = 1; i <= wavelengths; ++i) {
        const ArgCell* c = arg_cell(i);
        if (c == nullptr || c->status != kArgGiven) break;
        const double v = arg_double(i);
        if (std::fabs(v - 1.0) <= kTiny) break;
        values.push_back(v);
    }
    const std::string model = name.substr(0, kMediumNameLength - 3) + std::to_string(front);
    import_model_glass(front, model, false, values.data(), static_cast<int>(values.size()));
}

}  // namespace

int read_lns_file(const std::string& path, bool lns) {
    g_lns.lns = lns;
    ImportReader reader;
    reader.setup = setup;
    reader.repair = repair;
    reader.before_end = before_end;
    reader.last = last;
    return read_import_lines(reader, path);
}

namespace {

// The object, the aperture and the stop: INFIN, MAG, RMAG, NA, EPR, FNUM, STOP, OBJECT.
int lns_conjugate_keyword(int command, int /*n*/) {
    LensData& l = lens_data();
    DatWords& w = dat_words();
    switch (command) {
        case kCmdInfinK:
            w.a = arg_double(0);
            break;
        case kCmdMagK:
        case kCmdRmagK:
            w.b = arg_double(0);
            break;
        case kCmdNaK:
            if (std::fabs(w.a) > kTiny) {
                const double na = arg_double(0);
                l.object_na = std::fabs(na) < kTiny ? 0.01 : na;
                l.aperture_is_na = 1;
            }
            break;
        case kCmdEprK:
            if (std::fabs(w.a) >= kTiny) {
                const double v = arg_double(0);
                if (std::fabs(l.object_na) > kTiny && std::fabs(w.b) > kTiny &&
                    l.aperture_is_na == 1) {
                    set_thickness_data(0, 0, 0, 0, 0.0, 0.0, v / l.object_na);
                } else {
                    l.entrance_beam_radius = std::fabs(v) < kTiny ? 1.0 : v;
                    l.aperture_is_na = 0;
                }
            }
            break;
        case kCmdFnumK:
            w.c = arg_double(0);
            break;
        case kCmdStopK: {
            const int s = arg_int(0);
            if (s > surface_limit()) {
                import_note_ignored("aperture stop", "beyond the surface limit");
            } else if (s > 0) {
                l.aperture_stop = s;
                l.reference_surface = s;
            }
            break;
        }
        case kCmdObjectK:
            if (arg_double(0) > kTiny && l.spot_settings != nullptr) {
                l.spot_settings->through_focus_frequency = arg_double(0);
            }
            break;
        default:
            break;
    }
    return 0;
}

// The field points, the wavelengths and their weights, the defocus, the configuration count.
int lns_field_keyword(int command, int /*n*/) {
    DatWords& w = dat_words();
    switch (command) {
        case kCmdDefocusK:
            w.d = arg_double(0);
            break;
        case kCmdWavlK:
            import_set_wavelengths(1000.0);
            break;
        case kCmdWghtK:
            import_set_weights();
            break;
        case kCmdFieldK:
            g_lns.field_values = given_numbers();
            if (g_lns.lns) {
                set_field_from(largest(g_lns.field_values));
                g_lns.field_values.clear();
            }
            break;
        case kCmdField2K:
            if (!g_lns.lns) {
                std::vector<double> values = given_numbers();
                values.insert(values.end(), g_lns.field_values.begin(), g_lns.field_values.end());
                set_field_from(largest(values));
                g_lns.field_values.clear();
            }
            break;
        case kCmdNconfigK:
            g_lns.configuration_count = std::max(1, arg_int(0));
            break;
        default:
            break;
    }
    return 0;
}

// SURFACE starts a surface; its curvature, thickness and glass follow.
int lns_surface_keyword(int command, int n) {
    DatWords& w = dat_words();
    switch (command) {
        case kCmdSurfaceK: {
            const int s = arg_int(0);
            if (s < 0 || s > surface_limit()) {
                import_note_ignored("surface", "beyond the surface limit");
                import_state().surface_overflow = s > surface_limit();
                break;
            }
            set_current_surface(s);
            std::string flags = import_text_arg(1);
            for (char& c : flags) {
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                if (c == 'M' && s >= 1) set_surface_medium(s, kMediumMirror, "REFLECT", 0);
                if (c == 'F') surface(s).fresnel = 1;
                if (c == 'Z') w.return_marks.push_back(s);
            }
            break;
        }
        case kCmdCurvK: {
            set_curvature_data(n, 0, 0, 0.0, arg_double(0));
            const double r = arg_double(2);
            if (std::fabs(r) > kTiny) {
                set_aperture_data(n, 1, 0, std::fabs(r));
                surface(n).aperture_check = 1;
            }
            break;
        }
        case kCmdThickK:
            if (n > 1) set_thickness_data(n - 1, 0, 0, 0, 0.0, 0.0, arg_double(0));
            break;
        case kCmdGlassK:
            medium_of_surface_before(n);
            break;
        default:
            break;
    }
    return 0;
}

// Decentres and tilts, aspheric terms, cylinders and torics of the current surface.
int lns_shape_keyword(int command, int n) {
    switch (command) {
        case kCmdDecenK:
            if (ensure_decentre_record(n) == 0) {
                DecentreRecord& d = *surface(n).decentre;
                d.dcx = arg_double(0);
                d.dcy = arg_double(1);
                d.dcz = arg_double(2);
                d.tla = arg_double(3);
                d.tlb = -arg_double(4);
                d.tlc = arg_double(5);
            }
            break;
        case kCmdAsphK:
            if (std::fabs(arg_double(0)) > kTiny) set_conic_constant(n, arg_double(0));
            for (int i = 1; i <= 4; ++i) {
                const double term = arg_double(i);
                if (std::fabs(term) > kTiny) set_polynomial_asphere_term(n, 2 + 2 * i, term);
            }
            break;
        case kCmdAsphcK: {
            const int count = arg_int(0);
            if (count <= 0 || count > 64) break;
            if (alloc_asphere_record(n, 11, count + 1) != 0) break;
            AsphereRecord* a = surface(n).asphere;
            if (a == nullptr) break;
            const int given = import_given_count();
            for (int i = 1; i < given; ++i) {
                const double v = arg_double(i);
                if (std::fabs(v) > kTiny && i + 1 < a->entered_count) a->entered[i + 1] = v;
            }
            a->changed = 1;
            break;
        }
        case kCmdCylK:
            set_toric_curvature(n, 0.0);
            break;
        case kCmdToricK:
            set_toric_curvature(n, arg_double(0));
            break;
        default:
            break;
    }
    return 0;
}

// The special apertures of the current surface: rectangles, obscurations, offsets.
int lns_aperture_keyword(int command, int n) {
    switch (command) {
        case kCmdRectK: {
            const double hx = arg_double(0);
            const double hy = arg_double(1);
            if (SpecialAperture* a = first_clear_aperture(n)) {
                const double c = centre_of(a);
                a->y[0] = c - hy;
                a->y[1] = c + hy;
                a->x[0] = -hx;
                a->x[1] = hx;
                a->shape = kApertureRectangle;
            } else {
                special_aperture_line(n, "REC", "TRA", -hy, hy, -hx, hx);
            }
            break;
        }
        case kCmdObscK: {
            const double r = arg_double(0);
            const double c = centre_of(first_clear_aperture(n));
            special_aperture_line(n, "ELL", "OBS", c - r, c + r, -r, r);
            break;
        }
        case kCmdOffsetK: {
            const double offset = arg_double(0);
            SurfaceRecord& s = surface(n);
            if (s.special_aperture_count <= 0 || s.special_apertures == nullptr) {
                const double r = s.aperture_radius;
                special_aperture_line(n, "ELL", "TRA", offset - r, offset + r, -r, r);
            } else {
                for (int k = 0; k < s.special_aperture_count; ++k) {
                    s.special_apertures[k].y[0] += offset;
                    s.special_apertures[k].y[1] += offset;
                }
            }
            break;
        }
        default:
            break;
    }
    return 0;
}

}  // namespace

int cmd_lns_keyword() {
    if (const int refused = import_keyword_allowed('K'); refused != 0) return refused;
    const int command = current_command();
    if (command == kCmdConfigK) {
        const int c = arg_int(0);
        if (c >= 1 && c <= g_lns.configuration_count) g_lns.configuration = c;
        return 0;
    }
    if (g_lns.configuration != 1) return 0;
    const int n = std::max(0, lens_data().current_surface);
    for (const auto step : {lns_conjugate_keyword, lns_field_keyword, lns_surface_keyword,
                            lns_shape_keyword, lns_aperture_keyword}) {
        if (const int rc = step(command, n); rc != 0) return rc;
    }
    return 0;
}
