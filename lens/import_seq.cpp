// ".seq" files: lens-level keywords and one line per surface (object, plain, image) with its
// radius or curvature, thickness and glass; a glass is a catalogue name, with its maker after
// '_', or a glass code (index and Abbe number in six digits).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lens/import_frame.h"
#include "lens/import_readers.h"
#include "lens/lens_data.h"
#include "lens/surface_insert_delete.h"
#include "lens/surface_setters.h"
#include "runtime/arg_cells.h"
#include "runtime/command_context.h"
#include "runtime/text_case.h"

namespace {

// The surface the file's surface lines have reached; -1 before the first.
int g_seq_current = -1;

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
// A zero field is taken as typing it is: the smallest angle, or an object height that far off
// the axis. With the chief ray on the axis the set-up could place no entrance pupil, and the
// aperture resolved from it after reading would be wrong.
constexpr double kZeroField = 1e-40;
constexpr double kZeroFieldAngle = 9.999999999462034e-07;
constexpr double kObjectHeightAtInfinity = -1e14;

bool starts_nocase(const std::string& text, const char* word) {
    return upper_text(text.substr(0, std::strlen(word))) == word;
}

// A glass code: "517642" (integer: index 1.517, Abbe 64.2) or "517.642" / "517642.3"
// (the integer part the index, the fraction times 100 the Abbe number). False when the text is
// not a number.
bool glass_code(const std::string& text, double* index, double* abbe) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(v) || v <= 0.0 || v >= 1e9) {
        return false;
    }
    if (text.find_first_of(".eE") == std::string::npos) {
        const long i = std::strtol(text.c_str(), nullptr, 10);
        *index = static_cast<double>(i / 1000) * 0.001 + 1.0;
        *abbe = static_cast<double>(i % 1000) * 0.1;
        return true;
    }
    const long i = static_cast<long>(v);
    *index = i < 1000 ? static_cast<double>(i) * 0.001 + 1.0 : static_cast<double>(i) * 1e-6 + 1.0;
    *abbe = (v - static_cast<double>(i)) * 100.0;
    return true;
}

void glass(int n, const std::string& text) {
    double index = 0.0;
    double abbe = 0.0;
    if (glass_code(text, &index, &abbe)) {
        const double values[2] = {index, abbe};
        import_model_glass(n, "SRF" + std::to_string(n) + "GL", true, values, 2);
        return;
    }
    std::string name = upper_text(text);
    const std::size_t bar = name.rfind('_');
    if (bar != std::string::npos) {
        const std::string maker = name.substr(bar + 1);
        name = name.substr(0, bar);
        if (maker == "HOYA") {
            name = "H_" + name;
        } else if (maker == "OHARA") {
            name = "O_" + name;
        }
    }
    // Not found: the surface stays in air.
    import_catalogue_glass(n, name);
}

void surface_arguments(int n) {
    const int given = arg_count();
    const ArgCell* c0 = arg_cell(0);
    if (given > 0 && c0 != nullptr && c0->status == kArgGiven) {
        const double a0 = arg_double(0);
        const double c = spreadsheet_radius_mode != 0 ? (a0 == 0.0 ? 0.0 : 1.0 / a0) : a0;
        set_curvature_data(n, 0, 0, 0.0, c);
    }
    const ArgCell* c1 = arg_cell(1);
    if (c1 != nullptr && c1->status == kArgGiven) {
        set_thickness_data(n, 0, 0, 0, 0.0, 0.0, arg_double(1));
    }
    const ArgCell* c2 = arg_cell(2);
    if (c2 != nullptr && c2->status == kArgGiven) glass(n, import_text_arg(2));
}

void setup() {
    push_command_context('I');
    spreadsheet_radius_mode = 1;
    // Before the first surface line no surface is the file's current one; the lens keeps
    // surface 0 current for the lens-entry words a file may also hold.
    g_seq_current = -1;
}

LineAction repair(std::string& line, int*) {
    std::size_t scan = std::string::npos;
    if (starts_nocase(line, "TITLE ") && line.size() >= 7) {
        line[4] = ' ';
        scan = 5;
    } else if (starts_nocase(line, "TITL ") && line.size() > 5) {
        scan = 4;
    } else if (starts_nocase(line, "TIT ") && line.size() > 4) {
        scan = 3;
    }
    if (scan != std::string::npos) {
        while (scan < line.size() && line[scan] == ' ') ++scan;
        if (scan < line.size()) {
            // A double quote inside would end the title early.
            for (std::size_t k = scan + 1; k + 1 < line.size(); ++k)
                if (line[k] == '"') line[k] = '\'';
            line[scan] = '"';
            if (line.size() - 1 > scan)
                line.back() = '"';
            else
                line.push_back('"');
        }
    }
    return LineAction::run;
}

void reorder_wavelengths() {
    if (import_state().seq_reference_wavelength_seen) return;
    LensData& l = lens_data();
    const int n = l.wavelength_count;
    if (n < 1) return;
    const int middle = n % 2 == 0 ? n / 2 - 1 : (n - 1) / 2;
    // The middle wavelength becomes the primary one, then the shortest and the longest.
    WavelengthEntry* w = l.wavelengths;
    std::swap(w[middle], w[0]);
    if (n > 2) {
        int shortest = 1;
        for (int k = 2; k < n; ++k)
            if (w[k].wavelength < w[shortest].wavelength) shortest = k;
        std::swap(w[shortest], w[1]);
        int longest = 2;
        for (int k = 3; k < n; ++k)
            if (w[k].wavelength > w[longest].wavelength) longest = k;
        std::swap(w[longest], w[2]);
    }
    wavelengths_changed = 1;
    materials_changed = 1;
}

// Runs before the end command, so that the glasses made from codes take the final primary
// wavelength for their index.
void before_end() {
    if (!import_state().seq_image_surface_seen) {
        LensData& l = lens_data();
        if (l.image_surface < surface_limit()) set_current_surface(l.image_surface + 1);
    }
    reorder_wavelengths();
}

}  // namespace

int read_seq_file(const std::string& path) {
    ImportReader reader;
    reader.setup = setup;
    reader.repair = repair;
    reader.before_end = before_end;
    return read_import_lines(reader, path);
}

int cmd_seq_keyword() {
    if (const int refused = import_keyword_allowed('I'); refused != 0) return refused;
    LensData& l = lens_data();
    ImportState& st = import_state();
    const int count = import_given_count();
    switch (current_command()) {
        case 826:
            spreadsheet_radius_mode = static_cast<std::uint8_t>(arg_int(0) != 0 ? 1 : 0);
            break;
        case 828: {
            const std::string title = import_text_arg(0);
            import_set_title(title);
            std::snprintf(l.notes[0], sizeof l.notes[0], "%.80s", title.c_str());
            break;
        }
        case 829:
            l.entrance_beam_radius = arg_double(0) * 0.5;
            l.aperture_is_na = 0;
            st.pending_aperture = kPendingEntrancePupil;
            break;
        case 830:
            st.f_number = arg_double(0);
            l.entrance_beam_radius = 1.0;
            l.aperture_is_na = 0;
            st.pending_aperture = kPendingFNumber;
            break;
        case 831: {
            const std::string unit = import_text_arg(0);
            const char c = unit.empty() ? '\0' : unit[0];
            if (c == 'C') l.units = 10.0;
            if (c == 'I') l.units = 25.4;
            if (c == 'M') l.units = 1.0;
            break;
        }
        case 832:
            import_set_wavelengths(0.001);
            break;
        case 833:
            import_reference_wavelength(arg_int(0));
            st.seq_reference_wavelength_seen = true;
            break;
        case 834:
            import_set_weights();
            break;
        case 835: {
            std::string d = import_text_arg(0);
            if (!d.empty() && d.front() == '\'') d.erase(0, 1);
            if (d.size() > 1 && d.back() == '\'') d.pop_back();
            if (d.size() > kDesignerLength) import_note_ignored("end of the designer", "too long");
            std::snprintf(l.designer, sizeof l.designer, "%.*s", kDesignerLength, d.c_str());
            break;
        }
        case 837:
            if (count > 0) {
                l.field_is_angle = 1;
                st.pending_field = 0;
                const double degrees = arg_double(count - 1);
                l.field_angle =
                    std::fabs(degrees) < kZeroField ? kZeroFieldAngle : degrees * kRadiansPerDegree;
            }
            break;
        case 838:
            if (count > 0) {
                l.field_is_angle = 0;
                st.pending_field = 0;
                const double height = arg_double(count - 1);
                l.object_height = std::fabs(height) < kZeroField ? kObjectHeightAtInfinity : height;
            }
            break;
        case 839:
            if (count > 0) {
                st.image_height = arg_double(count - 1);
                l.object_height = 1.0;
                l.field_is_angle = 0;
                st.pending_field = kPendingImageHeight;
            }
            break;
        case 842:
            set_current_surface(0);
            g_seq_current = 0;
            surface_arguments(0);
            break;
        case 843: {
            if (count == 0) break;
            const int next = g_seq_current + 1;
            if (next > surface_limit()) {
                st.surface_overflow = true;
                break;
            }
            if (next > l.image_surface) l.image_surface = next;
            set_current_surface(next);
            g_seq_current = next;
            surface_arguments(next);
            break;
        }
        case 845: {
            if (g_seq_current < surface_limit()) g_seq_current = g_seq_current + 1;
            // An image line before any other surface line still follows the object: a file
            // without surfaces gives a lens of object and image, never one whose image
            // overwrites the object.
            const int n = std::max(1, g_seq_current);
            set_current_surface(n);
            g_seq_current = n;
            l.image_surface = n;
            st.seq_image_surface_seen = true;
            surface_arguments(n);
            break;
        }
        case 846:
            if (g_seq_current >= 0) import_set_stop(g_seq_current);
            break;
        case 852:
            if (g_seq_current >= 0) {
                const int n = g_seq_current;
                set_thickness_data(n, 5, 0, 0, 0.0, 0.0, surface(n).thickness);
            }
            break;
        case 854:
            if (g_seq_current >= 0) {
                const int n = g_seq_current;
                set_aperture_data(n, 1, 0, std::fabs(arg_double(0)));
                surface(n).aperture_check = 1;
            }
            break;
        default:
            break;
    }
    return 0;
}
