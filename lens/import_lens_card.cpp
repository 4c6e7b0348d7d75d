// Lens-card files: the lens data open with a "LENS" line and a title line; a surface is
// described by several lines and closed by its medium line (a glass with its catalogue tag, an
// air line or a glass pickup), which opens the next surface. Indices are given per wavelength;
// a change of their sign marks a reflection.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
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
#include "runtime/dispatch.h"
#include "runtime/list_words.h"
#include "runtime/text_case.h"
#include "tables/table_names.h"

namespace {

constexpr int kSearchLines = 100;
constexpr int kGlassSubstitutions = 469;

// The catalogue tags a medium line begins with; the reader writes them in lower case, followed
// by a blank, so that a name written directly after the tag becomes an argument.
const char* const kTags[] = {"GLASS", "SCHOT", "OHARA", "CHNCE", "HOYA",  "SOVIR", "SPECL",
                             "GLSCV", "GLSRD", "OHRCV", "OHRRD", "CNCCV", "CNCRD", "SVRCV",
                             "SVRRD", "HYACV", "HYARD", "SPLCV", "SPLRD"};

struct CardWords {
    int mirror_parity = 0;
    bool asphere_started = false;
    bool searching = true;    // before the "LENS" line
    bool title_next = false;  // the line after it is the title
};
CardWords g_card;

bool starts_nocase(const std::string& text, const char* word) {
    const std::size_t n = std::strlen(word);
    if (text.size() < n) return false;
    for (std::size_t k = 0; k < n; ++k) {
        if (std::toupper(static_cast<unsigned char>(text[k])) != word[k]) return false;
    }
    return true;
}

bool given(int k) {
    const ArgCell* c = arg_cell(k);
    return c != nullptr && c->status == kArgGiven;
}

int current() {
    return std::max(0, lens_data().current_surface);
}

// The medium line closes the surface: the next one becomes current.
void close_surface() {
    LensData& l = lens_data();
    const int next = l.current_surface + 1;
    g_card.asphere_started = false;
    if (next > surface_limit()) {
        import_state().surface_overflow = true;
        return;
    }
    if (next > l.image_surface) l.image_surface = next;
    set_current_surface(next);
}

void make_mirror(int n) {
    if (n >= 1) set_surface_medium(n, kMediumMirror, "REFLECT", 0);
    g_card.mirror_parity ^= 1;
}

// Indices (missing ones skipped; a missing first one counts as positive): a reflection when
// they turn negative with even parity or positive again with odd parity.
bool reflection(const std::vector<double>& values, const std::vector<bool>& present) {
    bool non_negative = true;
    bool non_positive = true;
    if (present.empty() || !present[0]) {
        non_positive = false;
    }
    for (std::size_t k = 0; k < values.size(); ++k) {
        if (!present[k]) continue;
        if (values[k] < 0.0) non_negative = false;
        if (values[k] > 0.0) non_positive = false;
    }
    return (g_card.mirror_parity == 0 && non_positive) ||
           (g_card.mirror_parity == 1 && non_negative);
}

std::string substituted(const std::string& name) {
    int index = -1;
    const char* value = match_word_in_list(kGlassSubstitutions, name.c_str(), &index);
    return value != nullptr && value[0] != '\0' ? std::string(value) : name;
}

// The indices a1.. (or a0.. for the air line) as given.
void indices_from(int first, std::vector<double>& values, std::vector<bool>& present) {
    for (int k = first; k < first + 5; ++k) {
        values.push_back(arg_double(k));
        present.push_back(given(k));
    }
}

// A glass that no catalogue holds becomes a model glass of the indices given, one per
// wavelength.
void model_from_indices(int n, const std::string& name, const std::vector<double>& values,
                        const std::vector<bool>& present) {
    if (present.empty() || !present[0]) import_print(kMsgGlassMissingAir, name);
    std::vector<double> indices;
    const int wavelengths = lens_data().wavelength_count;
    for (std::size_t k = 0; k < values.size() && static_cast<int>(k) < wavelengths; ++k) {
        if (!present[k]) break;
        indices.push_back(values[k]);
    }
    import_model_glass(n, name, false, indices.data(), static_cast<int>(indices.size()));
}

void glass_by_name(int n, std::string name) {
    std::vector<double> values;
    std::vector<bool> present;
    indices_from(1, values, present);
    name = upper_text(name.substr(0, kMediumNameLength));
    if (!import_catalogue_glass(n, name)) model_from_indices(n, name, values, present);
    close_surface();
}

void medium_line(int n) {
    std::string name = import_text_arg(0);
    std::vector<double> values;
    std::vector<bool> present;
    const bool index_first =
        !name.empty() && (name[0] == '-' || std::isdigit(static_cast<unsigned char>(name[0])));
    if (index_first) {
        const double first = std::strtod(name.c_str(), nullptr);
        values.push_back(first);
        present.push_back(first != 1.0);
        for (int k = 1; k <= 4; ++k) {
            values.push_back(arg_double(k));
            present.push_back(given(k));
        }
        name = "AIR";
    } else {
        indices_from(1, values, present);
        name = substituted(name);
    }
    name = upper_text(name.substr(0, kMediumNameLength));
    bool searched_missing = false;
    if (!starts_nocase(name, "AIR")) searched_missing = !import_catalogue_glass(n, name);
    if (reflection(values, present)) {
        make_mirror(n);
    } else if (searched_missing) {
        model_from_indices(n, name, values, present);
    }
    close_surface();
}

int run_lines(const char* const* lines, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
        if (const int rc = import_run_native(lines[k]); rc != 0) return rc;
    }
    return 0;
}

void setup() {
    g_card = CardWords{};
    push_command_context('G');
}

void take_title(std::string line) {
    if (starts_nocase(line, "KQD00")) line.erase(0, 5);
    std::size_t at = 0;
    while (at < line.size() && std::isspace(static_cast<unsigned char>(line[at]))) ++at;
    line.erase(0, at);
    import_set_title(line);
    LensData& l = lens_data();
    std::snprintf(l.notes[0], sizeof l.notes[0], "%.80s", line.c_str());
}

LineAction repair(std::string& line, int* stop) {
    const int number = import_state().line;
    if (g_card.searching) {
        if (starts_nocase(line, "LENS")) {
            g_card.searching = false;
            g_card.title_next = true;
            run_command_string(line.c_str(), 0);
        } else if (number >= kSearchLines) {
            // No lens within the first lines: reading starts after them, without a title.
            g_card.searching = false;
        }
        return LineAction::skip;
    }
    if (g_card.title_next) {
        g_card.title_next = false;
        take_title(line);
        return LineAction::skip;
    }
    if (!line.empty() && line[0] == ';') return LineAction::skip;
    bool medium = starts_nocase(line, "AIR");
    for (const char* tag : kTags) {
        if (!starts_nocase(line, tag)) continue;
        const std::size_t n = std::strlen(tag);
        std::string word(tag);
        for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        line = word + " " + line.substr(n);
        medium = true;
        break;
    }
    if (medium && lens_data().current_surface >= surface_limit()) {
        *stop = 1;
        return LineAction::skip;
    }
    return LineAction::run;
}

void before_end() {
    LensData& l = lens_data();
    if (l.aim_state != 0 && l.aperture_stop >= 0 && l.aperture_stop <= l.image_surface) {
        surface(l.aperture_stop).aperture_check = 0;
    }
}

}  // namespace

int read_lens_card_file(const std::string& path) {
    ImportReader reader;
    reader.setup = setup;
    reader.repair = repair;
    reader.before_end = before_end;
    return read_import_lines(reader, path);
}

namespace {

// LENS starts a lens; its wavelengths and its object (height and beam radius).
int card_system_keyword(int command, int /*n*/) {
    LensData& l = lens_data();
    switch (command) {
        case kCmdLensG:
            g_card.mirror_parity = 0;
            g_card.asphere_started = false;
            break;
        case kCmdWvG: {
            const int count = import_given_count();
            if (count == 0) break;
            int kept = 0;
            for (int k = 0; k < count; ++k) {
                const double w = arg_double(k);
                if (w == 0.0) break;
                if (kept >= max_wavelengths()) {
                    import_note_ignored("wavelengths", "beyond the wavelength table");
                    break;
                }
                l.wavelengths[kept].wavelength = w;
                if (l.wavelengths[kept].weight == 0.0) l.wavelengths[kept].weight = 1.0;
                ++kept;
            }
            if (kept > 0) {
                l.wavelength_count = kept;
                l.current_wavelength = 0;
                lens_flags().wavelengths_changed = 1;
                lens_flags().materials_changed = 1;
            }
            break;
        }
        case kCmdObjG:
            l.object_height = arg_double(0);
            l.field_is_angle = 0;
            l.entrance_beam_radius = arg_double(1);
            l.aperture_is_na = 0;
            import_state().pending_aperture = kPendingEntrancePupil;
            break;
        default:
            break;
    }
    return 0;
}

// The thickness, curvature (or radius) and conic, and the aspheric terms of the current surface.
int card_shape_keyword(int command, int n) {
    switch (command) {
        case kCmdThG:
            set_thickness_data(n, 0, 0, 0, 0.0, 0.0, arg_double(0));
            break;
        case kCmdCvG:
            set_curvature_data(n, 0, 0, 0.0, arg_double(0));
            set_conic_constant(n, arg_double(1));
            break;
        case kCmdRdG: {
            const double r = arg_double(0);
            set_curvature_data(n, 0, 0, 0.0, r == 0.0 ? 0.0 : 1.0 / r);
            set_conic_constant(n, arg_double(1));
            break;
        }
        case kCmdAsphG: {
            std::vector<std::string> lines;
            const int first = g_card.asphere_started ? 6 : 2;
            if (!g_card.asphere_started) lines.emplace_back("ASP ASR 18");
            for (int k = 0; k < 4; ++k) {
                char line[48];
                std::snprintf(line, sizeof line, "AS%d %.12e", first + k, arg_double(k));
                lines.emplace_back(line);
            }
            g_card.asphere_started = true;
            for (const std::string& line : lines) {
                if (const int rc = import_run_native(line); rc != 0) return rc;
            }
            break;
        }
        default:
            break;
    }
    return 0;
}

// What follows the current surface: air (or a mirror), a glass by catalogue or by its indices, a
// stock part.
int card_medium_keyword(int command, int n) {
    LensData& l = lens_data();
    switch (command) {
        case kCmdAirG: {
            std::vector<double> values;
            std::vector<bool> present;
            indices_from(0, values, present);
            if (reflection(values, present)) make_mirror(n);
            close_surface();
            break;
        }
        case kCmdGlassG:
        case kCmdGlsrdG:
            medium_line(n);
            break;
        case kCmdSchotG:
            glass_by_name(n, substituted(import_text_arg(0)));
            break;
        case kCmdOharaG:
            glass_by_name(n, substituted("O_" + import_text_arg(0)));
            break;
        case kCmdChnceG:
        case kCmdSovirG:
            glass_by_name(n, import_text_arg(0));
            break;
        case kCmdHoyaG:
            glass_by_name(n, substituted("H_" + import_text_arg(0)));
            break;
        case kCmdPkgG: {
            const int a = arg_int(0);
            const int source = a < 0 ? -a : a;
            if (a < 0 && source == n - 1) {
                make_mirror(n);
            } else if (source > l.image_surface || source == n) {
                import_note_ignored("glass pickup", "its surface is not before this one");
            } else {
                import_run_native("PK GLA " + std::to_string(source));
            }
            close_surface();
            break;
        }
        default:
            break;
    }
    return 0;
}

// Pickups of curvature and thickness, and the paraxial solves.
int card_solve_keyword(int command, int n) {
    LensData& l = lens_data();
    switch (command) {
        case kCmdPcvG:
        case kCmdPcvmG:
        case kCmdPthG:
        case kCmdPthmG: {
            const int source = arg_int(0);
            if (source < 0 || source > l.image_surface || source == n) {
                import_note_ignored("pickup", "its surface is not in the lens");
                break;
            }
            const auto s = static_cast<std::int16_t>(source);
            if (command == kCmdPcvG) set_curvature_data(n, 1, s, 0.0, surface(n).curvature);
            if (command == kCmdPcvmG) set_curvature_data(n, 2, s, 0.0, surface(n).curvature);
            if (command == kCmdPthG) set_thickness_data(n, 1, s, 0, 0.0, 0.0, surface(n).thickness);
            if (command == kCmdPthmG)
                set_thickness_data(n, 2, s, 0, 0.0, 0.0, surface(n).thickness);
            break;
        }
        case kCmdPyG:
            set_thickness_data(n, 5, 0, 0, arg_double(0), 0.0, surface(n).thickness);
            break;
        case kCmdPycG:
            set_thickness_data(n, 6, 0, 0, arg_double(0), 0.0, surface(n).thickness);
            break;
        case kCmdPuG:
            set_curvature_data(n, 3, 0, arg_double(0), surface(n).curvature);
            break;
        case kCmdPucG:
            set_curvature_data(n, 4, 0, arg_double(0), surface(n).curvature);
            break;
        default:
            break;
    }
    return 0;
}

// The clear aperture, the stop and a central obscuration.
int card_aperture_keyword(int command, int n) {
    switch (command) {
        case kCmdCirG:
            set_aperture_data(n, 1, 0, std::fabs(arg_double(0)));
            surface(n).aperture_check = 1;
            break;
        case kCmdAstG:
            import_set_stop(n);
            break;
        case kCmdCobsG: {
            const double r = arg_double(0);
            char lines[4][48];
            std::snprintf(lines[0], sizeof lines[0], "AY1 A %.12e", -r);
            std::snprintf(lines[1], sizeof lines[1], "AY2 A %.12e", r);
            std::snprintf(lines[2], sizeof lines[2], "AX1 A %.12e", -r);
            std::snprintf(lines[3], sizeof lines[3], "AX2 A %.12e", r);
            const char* const all[] = {"APN 1",  lines[0],  lines[1], lines[2],
                                       lines[3], "ATP A 1", "AAC A 2"};
            return run_lines(all, std::size(all));
        }
        default:
            break;
    }
    return 0;
}

}  // namespace

int cmd_lens_card_keyword() {
    if (const int refused = import_keyword_allowed('G'); refused != 0) return refused;
    const int n = current();
    const int command = current_command();
    for (const auto step : {card_system_keyword, card_shape_keyword, card_medium_keyword,
                            card_solve_keyword, card_aperture_keyword}) {
        if (const int rc = step(command, n); rc != 0) return rc;
    }
    return 0;
}
