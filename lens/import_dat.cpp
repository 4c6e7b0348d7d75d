// ".dat" files: a fixed layout of comma-separated lines (a header of eight lines, two lines per
// surface, an optional closing line) parsed here and entered through the surface setters. Only
// model glasses and obscurations go through native lines.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lens/glass_catalog.h"
#include "lens/import_frame.h"
#include "lens/import_readers.h"
#include "lens/lens_data.h"
#include "lens/surface_groups.h"
#include "lens/surface_insert_delete.h"
#include "lens/surface_setters.h"
#include "numeric/memory.h"
#include "runtime/command_context.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/text_case.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
constexpr int kDatWavelengths = 5;
constexpr int kDatFieldValues = 5;

enum class Stage { header, skip, surface_line, medium_line, closing, done };

struct DatState {
    Stage stage = Stage::header;
    int skip_left = 0;
    int surfaces = 0;  // N
    int closing_flag = 0;
    int wavelengths = 0;
    int field_values = 0;
    int format = 0;
    int k = 1;  // the surface being read
    double indices[3] = {1.0, 1.0, 1.0};
    DatWords words;  // what the later steps of the import read back
};
DatState g_dat;

// The n-th non-empty comma-separated field (from 1), or empty.
std::string token(const std::string& line, int n) {
    int count = 0;
    std::size_t at = 0;
    while (at <= line.size()) {
        std::size_t end = line.find(',', at);
        if (end == std::string::npos) end = line.size();
        std::string field = line.substr(at, end - at);
        const std::size_t first = field.find_first_not_of(" \t");
        if (first != std::string::npos) {
            if (++count == n) return field.substr(first, field.find_last_not_of(" \t") - first + 1);
        }
        at = end + 1;
    }
    return {};
}

double number(const std::string& line, int n, double fallback) {
    const std::string t = token(line, n);
    if (t.empty()) return fallback;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    return end != t.c_str() && std::isfinite(v) ? v : fallback;
}

// A count or surface number: the number truncated, bounded so that any file's value fits.
int integer(const std::string& line, int n) {
    return static_cast<int>(std::clamp(number(line, n, 0.0), -1e9, 1e9));
}

double largest(const std::vector<double>& values) {
    double v = 0.0;
    for (const double x : values)
        if (std::fabs(x) > std::fabs(v)) v = x;
    return v;
}

void set_title_line(const std::string& line) {
    LensData& l = lens_data();
    std::snprintf(l.notes[0], sizeof l.notes[0], "%.80s", line.c_str());
    import_set_title(line);
}

void header_line(int number_of_line, const std::string& line, int* stop) {
    LensData& l = lens_data();
    switch (number_of_line) {
        case 1:
            set_title_line(line);
            break;
        case 2:
            g_dat.format = integer(line, 2);
            break;
        case 3:
            g_dat.words.a = number(line, 1, 0.0);
            g_dat.words.b = number(line, 2, 0.0);
            g_dat.words.d = number(line, 4, 0.0);
            break;
        case 4:
            g_dat.words.c = number(line, 2, 0.0);
            break;
        case 5: {
            g_dat.surfaces = integer(line, 1);
            g_dat.closing_flag = integer(line, 2);
            const int stop_surface = integer(line, 3);
            g_dat.wavelengths = integer(line, 4);
            g_dat.field_values = integer(line, 5);
            if (g_dat.surfaces < 0 || g_dat.surfaces + 1 > surface_limit()) {
                *stop = 1;
                return;
            }
            if (stop_surface > g_dat.surfaces + 1) {
                import_note_ignored("aperture stop", "beyond the lens");
            } else if (stop_surface > 0) {
                l.aperture_stop = stop_surface;
                l.reference_surface = stop_surface;
            }
            if (g_dat.wavelengths > kDatWavelengths || g_dat.wavelengths < 0) {
                import_note_ignored("wavelengths", "the layout holds five");
                g_dat.wavelengths = std::clamp(g_dat.wavelengths, 0, kDatWavelengths);
            }
            g_dat.wavelengths = std::min(g_dat.wavelengths, max_wavelengths());
            if (g_dat.field_values > kDatFieldValues || g_dat.field_values < 0) {
                import_note_ignored("field values", "the layout holds five");
                g_dat.field_values = std::clamp(g_dat.field_values, 0, kDatFieldValues);
            }
            break;
        }
        case 7: {
            const int n = g_dat.wavelengths;
            if (n < 1) break;
            for (int i = 0; i < n; ++i) {
                l.wavelengths[i].wavelength = number(line, i + 1, 0.0) * 1000.0;
                double w = number(line, i + 6, 0.0);
                l.wavelengths[i].weight = w == 0.0 ? 1.0 : w;
            }
            l.wavelength_count = n;
            l.current_wavelength = 0;
            lens_flags().wavelengths_changed = 1;
            lens_flags().materials_changed = 1;
            break;
        }
        case 8: {
            std::vector<double> values;
            for (int i = 0; i < g_dat.field_values; ++i) values.push_back(number(line, i + 1, 0.0));
            double v = largest(values);
            if (std::fabs(g_dat.words.a) < kTiny || std::fabs(g_dat.words.b) < kTiny) {
                if (std::fabs(v) < kTiny) v = 5.729577951e-05;
                l.field_is_angle = 1;
                l.field_angle = v * kRadiansPerDegree;
            } else {
                if (std::fabs(v) < kTiny) v = -1.0;
                l.field_is_angle = 0;
                l.object_height = v;
            }
            break;
        }
        default:
            break;
    }
}

void surface_line(int k, const std::string& line) {
    SurfaceRecord& s = surface(k);
    const std::size_t comma = line.find(',');
    const std::string flags = upper_text(line.substr(0, comma));
    for (const char c : flags) {
        if (c == 'M') set_surface_medium(k, kMediumMirror, "REFLECT", 0);
        if (c == 'F') s.fresnel = 1;
        if (c == 'Z') g_dat.words.return_marks.push_back(k);
        if (c == 'D') ensure_decentre_record(k);
        if (c == 'C' || c == 'T') set_toric_curvature(k, 0.0);
    }
    // The numbers start after the third comma.
    std::size_t at = comma;
    for (int c = 1; c < 3 && at != std::string::npos; ++c) at = line.find(',', at + 1);
    const std::string rest = at == std::string::npos ? std::string() : line.substr(at + 1);
    auto p = [&](int i, double fallback) { return number(rest, i + 1, fallback); };
    set_curvature_data(k, 0, 0, 0.0, p(0, s.curvature));
    if (k - 1 >= 1 && !token(rest, 2).empty()) {
        set_thickness_data(k - 1, 0, 0, 0, 0.0, 0.0, p(1, 0.0));
    }
    const double dy = p(2, 0.0);
    const double tilt = p(3, 0.0);
    if ((std::fabs(dy) > kTiny || std::fabs(tilt) > kTiny) && ensure_decentre_record(k) == 0) {
        if (std::fabs(dy) > kTiny) s.decentre->dcy = dy;
        if (std::fabs(tilt) > kTiny) s.decentre->tla = tilt;
    }
    for (int i = 0; i < 3; ++i) g_dat.indices[i] = p(4 + i, 1.0);
    const double aperture = p(8, 0.0);
    if (std::fabs(aperture) > kTiny) {
        set_aperture_data(k, 1, 0, std::fabs(aperture));
        s.aperture_check = 1;
    }
}

void medium_line(int k, const std::string& line) {
    // The name: the field between the last comma and the one before it.
    std::string name;
    const std::size_t last = line.rfind(',');
    if (last != std::string::npos) {
        const std::size_t before = last == 0 ? std::string::npos : line.rfind(',', last - 1);
        const std::size_t from = before == std::string::npos ? 0 : before + 1;
        name = line.substr(from, last - from);
        const std::size_t first = name.find_first_not_of(" \t");
        name = first == std::string::npos
                   ? std::string()
                   : name.substr(first, name.find_last_not_of(" \t") - first + 1);
    }
    if (name.empty() && std::fabs(g_dat.indices[0] - 1.0) > kTiny && last != std::string::npos) {
        name = "GLASS";
    }
    const int front = k - 1;
    if (!name.empty() && front >= 0 && surface(front).medium_kind != kMediumMirror) {
        if (name[0] == '*') name.erase(0, 1);
        if (name.size() > 2 && name[1] == '-') name.erase(0, 2);
        name = upper_text(name.substr(0, kMediumNameLength));
        if (!name.empty() && name != "AIR" && !import_catalogue_glass(front, name) &&
            !import_catalogue_glass(front, "O_" + name) &&
            !import_catalogue_glass(front, "H_" + name)) {
            std::vector<double> values;
            for (const double n : g_dat.indices)
                if (n > 1.0) values.push_back(n);
            const std::string model = name.substr(0, kMediumNameLength - 3) + std::to_string(front);
            import_model_glass(front, model, false, values.data(), static_cast<int>(values.size()));
        }
    }
    const double obscuration = std::fabs(number(line, 3, 0.0));
    const double conic = number(line, 6, 0.0);
    SurfaceRecord& s = surface(k);
    if (obscuration > kTiny) {
        const int n = surface(k).special_aperture_count + 1;
        if (n <= 26) {
            const char letter = static_cast<char>(64 + n);
            char text[320];
            std::snprintf(text, sizeof text,
                          "APN %d; AY1 %c %.12e; AY2 %c %.12e; AX1 %c %.12e; AX2 %c %.12e; ATP %c "
                          "ELL; AAC %c OBS",
                          n, letter, -obscuration, letter, obscuration, letter, -obscuration,
                          letter, obscuration, letter, letter);
            import_run_native(text);
            s.aperture_check = 0;
        }
    }
    if (std::fabs(conic) > kTiny) {
        if (s.toric != 0) {
            set_toric_curvature(k, conic);
        } else {
            set_conic_constant(k, conic);
        }
    }
    for (int i = 0; i < 4; ++i) {
        const double term = number(line, 7 + i, 0.0);
        if (std::fabs(term) > kTiny) set_polynomial_asphere_term(k, 4 + 2 * i, term);
    }
}

void setup() {
    g_dat = DatState{};
    push_command_context('K');
    set_current_surface(0);
}

LineAction repair(std::string& line, int* stop) {
    const int n = import_state().line;
    switch (g_dat.stage) {
        case Stage::header:
            header_line(n, line, stop);
            if (n >= 9) {
                g_dat.stage =
                    g_dat.format == 3 || g_dat.format == 5 ? Stage::skip : Stage::surface_line;
                g_dat.skip_left = 100;
            }
            break;
        case Stage::skip:
            if (--g_dat.skip_left <= 0) g_dat.stage = Stage::surface_line;
            break;
        case Stage::surface_line:
            set_current_surface(g_dat.k);
            surface_line(g_dat.k, line);
            g_dat.stage = Stage::medium_line;
            break;
        case Stage::medium_line:
            medium_line(g_dat.k, line);
            if (++g_dat.k > g_dat.surfaces + 1)
                g_dat.stage = Stage::closing;
            else
                g_dat.stage = Stage::surface_line;
            break;
        case Stage::closing:
            if (g_dat.closing_flag > 0) {
                g_dat.words.d1 = number(line, 5, 0.0);
                g_dat.words.d2 = number(line, 7, 0.0);
                g_dat.words.closing_read = true;
            }
            g_dat.stage = Stage::done;
            break;
        case Stage::done:
            break;
    }
    return LineAction::skip;
}

void before_end() {
    LensData& l = lens_data();
    if (l.aperture_stop >= 0 && l.aperture_stop <= l.image_surface) {
        surface(l.aperture_stop).aperture_check = 0;
    }
    surface(l.image_surface).aperture_check = 0;
    if (std::fabs(g_dat.words.d) > kTiny) {
        char note[82];
        std::snprintf(note, sizeof note, "Sigma defocus = %s", format_number(g_dat.words.d, 2, 0));
        SurfaceRecord& s = surface(l.image_surface);
        mem_free(s.note);
        s.note = static_cast<char*>(mem_alloc(82));
        if (s.note != nullptr) std::snprintf(s.note, 82, "%s", note);
    }
}

int last(int result) {
    (void)result;
    return finish_lns_dat_import(g_dat.words.closing_read, g_dat.words.d1, g_dat.words.d2);
}

}  // namespace

DatWords& dat_words() {
    return g_dat.words;
}

int read_dat_file(const std::string& path) {
    ImportReader reader;
    reader.setup = setup;
    reader.repair = repair;
    reader.before_end = before_end;
    reader.last = last;
    return read_import_lines(reader, path);
}

int finish_lns_dat_import(bool flag, double d1, double d2) {
    LensData& l = lens_data();
    const int image = l.image_surface;
    // Dummy surfaces: no change of index, no aperture of their own.
    for (int n = 1; n < image; ++n) {
        const SurfaceRecord& s = surface(n);
        const SurfaceRecord& before = surface(n - 1);
        if (s.medium_kind == kMediumMirror || s.index == nullptr || before.index == nullptr) {
            continue;
        }
        if (before.index[0] != 0.0 && std::fabs(s.index[0] / before.index[0] - 1.0) <= kTiny) {
            surface(n).aperture_check = 0;
        }
    }
    const int stop = l.aperture_stop;
    if (l.drawing_conditions != nullptr && stop >= 1 && stop <= image &&
        surface(stop).medium_kind == kMediumAir && surface(stop - 1).medium_kind == kMediumAir) {
        l.drawing_conditions->dlas = 1;
    }
    int result = 0;
    // Coordinate returns.
    std::vector<int>& marks = g_dat.words.return_marks;
    int first_decentred = 0;
    for (int n = 1; n < image && first_decentred == 0; ++n)
        if (surface(n).decentre != nullptr) first_decentred = n;
    if (first_decentred != 0 || !marks.empty()) {
        int start = 1;
        if (first_decentred == 1) {
            if (l.image_surface >= surface_limit()) {
                // No room for the surface the first return needs: the lens stays as read.
                const std::uint8_t output = get_setting_flag(kSetOutputOn);
                set_setting_flag(kSetOutputOn, 1);
                print_msg(kMsgSurfaceLimit, surface_limit());
                set_setting_flag(kSetOutputOn, output);
            } else if (insert_surface(1) == 0) {
                for (int& m : marks) ++m;
                start = 2;
            }
        }
        bool marked = false;
        double sum = 0.0;
        int return_surface = 1;
        for (int n = start; n < l.image_surface; ++n) {
            SurfaceRecord& s = surface(n);
            const auto mark = std::find(marks.begin(), marks.end(), n);
            if (mark != marks.end()) {
                marks.erase(mark);
                sum = s.thickness;
                return_surface = n;
                marked = true;
                continue;
            }
            sum += s.thickness;
            if (s.decentre != nullptr || surface(n + 1).decentre != nullptr) {
                if (s.return_coordinates == nullptr) {
                    s.return_coordinates =
                        static_cast<DecentreRecord*>(mem_alloc(sizeof(DecentreRecord)));
                    if (s.return_coordinates == nullptr) {
                        result = -10;
                        break;
                    }
                    *s.return_coordinates = DecentreRecord{};
                }
                s.return_coordinates->pickup_source = static_cast<std::int16_t>(return_surface);
                set_thickness_data(n, 0, 0, 0, 0.0, 0.0, sum);
            }
        }
        if (marked && import_hooks().lens_setup != nullptr) {
            import_hooks().lens_setup(0);
            if (import_hooks().mark_alternate_intersections != nullptr) {
                import_hooks().mark_alternate_intersections();
            }
        }
    }
    marks.clear();
    // The second and third wavelengths in ascending order.
    if (l.wavelength_count > 2 && l.wavelengths[2].wavelength < l.wavelengths[1].wavelength) {
        std::swap(l.wavelengths[1], l.wavelengths[2]);
        lens_flags().wavelengths_changed = 1;
    }
    const double a = g_dat.words.a;
    const double b = g_dat.words.b;
    const double c = g_dat.words.c;
    if (std::fabs(a) >= kTiny && std::fabs(b) > kTiny) {
        l.aperture_is_na = 1;
        l.object_na = std::fabs(b * a) < kTiny ? 0.05 : std::fabs(b * a);
        if (flag && std::fabs(d1) > kTiny && std::fabs(d2) > kTiny) {
            set_thickness_data(0, 0, 0, 0, 0.0, 0.0, d1 / d2);
        }
    } else if (std::fabs(a) >= kTiny) {
        l.afocal = 1;
        l.afocal_mode = 1;
        if (flag && std::fabs(d1) > kTiny) {
            l.entrance_beam_radius = std::fabs(d1);
            l.aperture_is_na = 0;
        }
    } else if (flag && std::fabs(d1) > kTiny) {
        l.entrance_beam_radius = std::fabs(d1);
        l.aperture_is_na = 0;
    } else if (std::fabs(b) > kTiny && std::fabs(c) > kTiny) {
        l.entrance_beam_radius = std::fabs(b * c);
        l.aperture_is_na = 0;
    }
    if (l.aperture_is_na == 0 && l.entrance_beam_radius < kTiny) l.entrance_beam_radius = 1.0;
    lens_flags().materials_changed = 1;
    const int setup = import_hooks().lens_setup != nullptr ? import_hooks().lens_setup(0) : 0;
    return result != 0 ? result : setup;
}

int read_len_lns_or_dat_file(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t dot = path.find_last_of('.');
    std::string ext;
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        ext = upper_text(path.substr(dot + 1));
    }
    if (ext == "DAT") return read_dat_file(path);
    return read_lns_file(path, ext == "LNS");
}
