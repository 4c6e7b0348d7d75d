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
#include <vector>

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
constexpr double kObjectHeightAtInfinity = -1e14;
constexpr double kInfiniteObjectDistance = 1e10;
constexpr double kInfiniteThickness = 1e20;

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

// A fictitious glass written as index and Abbe number, "1.5168:64.17".
bool index_and_abbe(const std::string& text, double* index, double* abbe) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    char* end = nullptr;
    *index = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + colon) return false;
    const char* second = text.c_str() + colon + 1;
    *abbe = std::strtod(second, &end);
    return end != second && *end == '\0' && std::isfinite(*index) && std::isfinite(*abbe) &&
           *index >= 1.0 && *index < 5.0 && *abbe > 0.0;
}

void glass(int n, const std::string& text) {
    const std::string word = upper_text(text);
    if (word == "REFL") {
        // A mirror: the thicknesses after it run backwards as the file writes them.
        if (n >= 1) {
            set_surface_medium(n, kMediumMirror, "REFLECT", 0);
        } else {
            import_note_ignored("mirror", "the object surface cannot reflect");
        }
        return;
    }
    if (word == "AIR") return;
    double index = 0.0;
    double abbe = 0.0;
    if (glass_code(text, &index, &abbe) || index_and_abbe(text, &index, &abbe)) {
        const double values[2] = {index, abbe};
        import_model_glass(n, "SRF" + std::to_string(n) + "GL", true, values, 2);
        return;
    }
    std::string name = upper_text(text);
    std::string prefixed = name;
    std::vector<int> catalogs;
    const std::size_t bar = name.rfind('_');
    if (bar != std::string::npos) {
        const std::string maker = name.substr(bar + 1);
        const int catalog = glass_catalog_of_maker(maker);
        if (catalog >= 0) {
            catalogs.push_back(catalog);
            name = name.substr(0, bar);
            // Names a private catalogue holds under the maker's prefix.
            prefixed = maker == "HOYA" ? "H_" + name : maker == "OHARA" ? "O_" + name : name;
        }
    }
    if (import_catalogue_glass(n, prefixed)) return;
    // Files write the catalogue's names without its hyphens ("NBK7_SCHOTT" for N-BK7).
    const std::string like = catalogue_glass_like(name, catalogs);
    if (!like.empty() && import_catalogue_glass(n, like)) return;
    import_print(kMsgImportGlassUnknown, n, text);
}

void surface_arguments(int n) {
    const int given = arg_count();
    const ArgCell* c0 = arg_cell(0);
    if (given > 0 && c0 != nullptr && c0->status == kArgGiven) {
        const double a0 = arg_double(0);
        const double c =
            lens_flags().spreadsheet_radius_mode != 0 ? (a0 == 0.0 ? 0.0 : 1.0 / a0) : a0;
        set_curvature_data(n, 0, 0, 0.0, c);
    }
    const ArgCell* c1 = arg_cell(1);
    if (c1 != nullptr && c1->status == kArgGiven) {
        double t = arg_double(1);
        // Writers give an object at infinity as a large distance (1e10, 1e13 ...).
        if (n == 0 && std::fabs(t) >= kInfiniteObjectDistance) t = kInfiniteThickness;
        set_thickness_data(n, 0, 0, 0, 0.0, 0.0, t);
    }
    const ArgCell* c2 = arg_cell(2);
    if (c2 != nullptr && c2->status == kArgGiven) glass(n, import_text_arg(2));
}

void setup() {
    push_command_context('I');
    lens_flags().spreadsheet_radius_mode = 1;
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

// A file line as its commands: a '!' outside quotes starts a comment, ';' outside quotes
// separates commands ("RDM N;LEN ..."), blanks around each are dropped.
void pieces(const std::string& line, std::vector<std::string>& out) {
    std::string piece;
    char quote = '\0';
    const auto flush = [&]() {
        const std::size_t first = piece.find_first_not_of(" \t");
        if (first != std::string::npos) {
            out.push_back(piece.substr(first, piece.find_last_not_of(" \t") + 1 - first));
        }
        piece.clear();
    };
    for (const char c : line) {
        if (quote != '\0') {
            if (c == quote) quote = '\0';
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '!') {
            break;
        } else if (c == ';') {
            flush();
            continue;
        }
        piece.push_back(c);
    }
    flush();
}

// A command's keyword, upper case.
std::string keyword_of(const std::string& command) {
    const std::size_t end = command.find_first_of(" \t");
    return upper_text(command.substr(0, end));
}

bool has_values(const std::string& command) {
    const std::size_t end = command.find_first_of(" \t");
    return end != std::string::npos && command.find_first_not_of(" \t", end) != std::string::npos;
}

// The object is surface 0; every S line (and STO with values) adds a surface; the image
// follows the last.
int surfaces_needed(const std::vector<std::string>& lines) {
    int count = 0;
    std::vector<std::string> commands;
    for (const std::string& line : lines) {
        commands.clear();
        pieces(line, commands);
        for (const std::string& command : commands) {
            const std::string word = keyword_of(command);
            if (word == "S" || (word == "STO" && has_values(command))) ++count;
        }
    }
    return count + 1;
}

void reorder_wavelengths() {
    if (const int ref = import_state().seq_reference_wavelength; ref != 0) {
        import_reference_wavelength(ref);
        return;
    }
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
    lens_flags().wavelengths_changed = 1;
    lens_flags().materials_changed = 1;
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
    reader.pieces = pieces;
    reader.surfaces_needed = surfaces_needed;
    return read_import_lines(reader, path);
}

int cmd_seq_keyword() {
    if (const int refused = import_keyword_allowed('I'); refused != 0) return refused;
    LensData& l = lens_data();
    ImportState& st = import_state();
    const int count = import_given_count();
    switch (current_command()) {
        case kCmdRdmI: {
            // "RDM", "RDM Y" or "RDM YES": radii; "RDM N" or "RDM NO": curvatures.
            const std::string answer = upper_text(import_text_arg(0));
            const bool curvatures = answer == "N" || answer == "NO" || answer == "0";
            lens_flags().spreadsheet_radius_mode = static_cast<std::uint8_t>(curvatures ? 0 : 1);
            break;
        }
        case kCmdTitlI: {
            const std::string title = import_text_arg(0);
            import_set_title(title);
            std::snprintf(l.notes[0], sizeof l.notes[0], "%.80s", title.c_str());
            break;
        }
        case kCmdEpdI:
            l.entrance_beam_radius = arg_double(0) * 0.5;
            l.aperture_is_na = 0;
            st.pending_aperture = kPendingEntrancePupil;
            break;
        case kCmdFnoI:
            st.f_number = arg_double(0);
            l.entrance_beam_radius = 1.0;
            l.aperture_is_na = 0;
            st.pending_aperture = kPendingFNumber;
            break;
        case kCmdDimI: {
            const std::string unit = import_text_arg(0);
            const char c = unit.empty() ? '\0' : unit[0];
            if (c == 'C') l.units = 10.0;
            if (c == 'I') l.units = 25.4;
            if (c == 'M') l.units = 1.0;
            break;
        }
        case kCmdWlI:
            import_set_wavelengths(0.001);
            break;
        case kCmdRefI:
            st.seq_reference_wavelength = arg_int(0);
            break;
        case kCmdWtwI:
            import_set_weights();
            break;
        case kCmdDesI: {
            std::string d = import_text_arg(0);
            if (!d.empty() && d.front() == '\'') d.erase(0, 1);
            if (d.size() > 1 && d.back() == '\'') d.pop_back();
            if (d.size() > kDesignerLength) import_note_ignored("end of the designer", "too long");
            std::snprintf(l.designer, sizeof l.designer, "%.*s", kDesignerLength, d.c_str());
            break;
        }
        case kCmdYanI:
            if (count > 0) {
                l.field_is_angle = 1;
                st.pending_field = 0;
                const double degrees = arg_double(count - 1);
                l.field_angle =
                    std::fabs(degrees) < kZeroField ? kLeastNonZero : degrees * kRadiansPerDegree;
            }
            break;
        case kCmdYobI:
            if (count > 0) {
                l.field_is_angle = 0;
                st.pending_field = 0;
                const double height = arg_double(count - 1);
                l.object_height = std::fabs(height) < kZeroField ? kObjectHeightAtInfinity : height;
            }
            break;
        case kCmdYimI:
            if (count > 0) {
                const double height = arg_double(count - 1);
                l.field_is_angle = 0;
                if (std::fabs(height) < kZeroField) {
                    // No object height scales to a zero image: a zero image height is a zero
                    // object height, taken as typing it is.
                    l.object_height = kObjectHeightAtInfinity;
                    st.pending_field = 0;
                } else {
                    st.image_height = height;
                    l.object_height = 1.0;
                    st.pending_field = kPendingImageHeight;
                }
            }
            break;
        case kCmdSoI:
            set_current_surface(0);
            g_seq_current = 0;
            surface_arguments(0);
            break;
        case kCmdSI: {
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
        case kCmdSiI: {
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
        case kCmdStoI:
            // "STO radius thickness glass" is a surface line of its own, the stop; a bare
            // "STO" makes the surface just read the stop.
            if (import_given_count() > 0 || !import_text_arg(0).empty()) {
                const int next = g_seq_current + 1;
                if (next > surface_limit()) {
                    st.surface_overflow = true;
                    break;
                }
                if (next > l.image_surface) l.image_surface = next;
                set_current_surface(next);
                g_seq_current = next;
                surface_arguments(next);
            }
            if (g_seq_current >= 0) import_set_stop(g_seq_current);
            break;
        case kCmdPimI:
            if (g_seq_current >= 0) {
                const int n = g_seq_current;
                set_thickness_data(n, 5, 0, 0, 0.0, 0.0, surface(n).thickness);
            }
            break;
        case kCmdAspI:
            if (g_seq_current < 0) import_note_ignored("asphere", "no surface line before it");
            break;
        case kCmdKI:
            if (g_seq_current < 0) {
                import_note_ignored("conic constant", "no surface line before it");
            } else {
                set_conic_constant(g_seq_current, arg_double(0));
            }
            break;
        case kCmdAI:
        case kCmdBI:
        case kCmdCI:
        case kCmdDI:
        case kCmdEI:
        case kCmdFI:
        case kCmdGI:
        case kCmdHI:
        case kCmdJI: {
            if (g_seq_current < 0) {
                import_note_ignored("asphere coefficient", "no surface line before it");
                break;
            }
            // A is the coefficient of r^4, each letter after it two orders higher.
            static constexpr int kFirst = kCmdAI;
            import_even_term(g_seq_current, 4 + 2 * (current_command() - kFirst), arg_double(0));
            break;
        }
        case kCmdCirI:
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
