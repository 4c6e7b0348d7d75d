#include "lens/import_frame.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "lens/glass_cache.h"
#include "lens/glass_catalog.h"
#include "lens/glass_lookup.h"
#include "lens/import_readers.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "lens/lens_file_format.h"
#include "lens/lens_reader.h"
#include "lens/lens_reset.h"
#include "lens/surface_groups.h"
#include "lens/surface_insert_delete.h"
#include "lens/surface_setters.h"
#include "platform/state_reset.h"
#include "platform/text_file.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/command_context.h"
#include "runtime/definitions.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/folder_lists.h"
#include "runtime/lens_data_guard.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "runtime/text_case.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

constexpr int kCmdLensEnd = kCmdEndL;
constexpr int kCmdGlassHandler = kCmdGlaL;
constexpr int kLineLimit = 255;

// The import under way, the file last imported and the reader that read it, the hooks installed
// at start, and the reader the file dialog offers first.
struct ImportFrameState {
    ImportState current;
    std::string imported_file;
    int imported_kind = 0;  // the reader that read imported_file
    ImportHooks hooks;
    int dialog_kind = kImportLensCard;
};

ImportFrameState g_frame;

// The extension after the last '.' of the file part, lower case; empty when there is none.
std::string extension_of(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return lower_text(path.substr(dot + 1));
}

int run_setup() {
    return g_frame.hooks.lens_setup != nullptr ? g_frame.hooks.lens_setup(0) : 0;
}

// Text in UTF-8 as the program's one-byte characters: characters above 0xFF become '?'. Text
// that is not valid UTF-8 is taken as ISO-8859-1, byte for byte, as older files are written.
std::string utf8_as_latin1(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size());
    bool multibyte = false;
    for (std::size_t k = 0; k < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[k]);
        if (lead < 0x80) {
            text.push_back(static_cast<char>(lead));
            ++k;
            continue;
        }
        const std::size_t length = (lead & 0xE0) == 0xC0   ? 2
                                   : (lead & 0xF0) == 0xE0 ? 3
                                   : (lead & 0xF8) == 0xF0 ? 4
                                                           : 0;
        if (length == 0 || k + length > bytes.size()) return bytes;
        unsigned code = lead & (0x7F >> length);
        for (std::size_t j = 1; j < length; ++j) {
            const auto next = static_cast<unsigned char>(bytes[k + j]);
            if ((next & 0xC0) != 0x80) return bytes;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms are not UTF-8 a writer produces: the text is something else.
        if ((length == 2 && code < 0x80) || (length == 3 && code < 0x800) ||
            (length == 4 && code < 0x10000)) {
            return bytes;
        }
        text.push_back(code > 0xFF ? '?' : static_cast<char>(code));
        multibyte = true;
        k += length;
    }
    return multibyte ? text : bytes;
}

// Bytes to lines: a UTF-16 byte-order mark (either order) decodes two-byte units, characters
// above 0xFF becoming '?'; a UTF-8 mark is dropped and UTF-8 decoded; lines end at LF or CR LF.
std::vector<std::string> decode_lines(const std::string& bytes) {
    std::string text;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    if (bytes.size() >= 2 &&
        ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
        const bool little = byte(0) == 0xFF;
        text.reserve(bytes.size() / 2);
        for (std::size_t k = 2; k + 1 < bytes.size(); k += 2) {
            const unsigned unit =
                little ? byte(k) | (byte(k + 1) << 8) : (byte(k) << 8) | byte(k + 1);
            text.push_back(unit > 0xFF ? '?' : static_cast<char>(unit));
        }
    } else if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        text = utf8_as_latin1(bytes.substr(3));
    } else {
        text = utf8_as_latin1(bytes);
    }
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        at = end + 1;
    }
    return lines;
}

// The notes of an import are printed although the lines it runs keep the output off.
struct OutputOn {
    std::uint8_t saved = get_setting_flag(kSetOutputOn);
    OutputOn() { set_setting_flag(kSetOutputOn, 1); }
    ~OutputOn() { set_setting_flag(kSetOutputOn, saved); }
    OutputOn(const OutputOn&) = delete;
    OutputOn& operator=(const OutputOn&) = delete;
};

void print_with_output(const char* format, int number, const std::string& line) {
    const OutputOn output_on;
    text_printf(format, number, line.c_str());
}

// Aperture values given in foreign terms become an entrance beam radius.
int resolve_import_aperture() {
    LensData& l = lens_data();
    const int mode = g_frame.current.pending_aperture;
    g_frame.current.pending_aperture = 0;
    if (mode == kPendingEntrancePupil) {
        const double b = l.entrance_pupil_radius;
        if (b != 0.0 && std::isfinite(b)) {
            l.entrance_beam_radius = l.entrance_beam_radius * l.entrance_beam_radius / b;
        }
    } else if (mode == kPendingFNumber) {
        const double u = l.image_axial_slope;
        const double denominator = std::fabs(2.0 * g_frame.current.f_number * u);
        if (denominator > 0.0 && std::isfinite(denominator)) {
            l.entrance_beam_radius = 1.0 / denominator;
        } else {
            import_note_ignored("F-number", "the lens forms no image to fit it to");
        }
    } else if (mode == kPendingStopApertures) {
        const int stop = std::clamp(l.aperture_stop, 0, l.image_surface);
        const SurfaceRecord& s = surface(stop);
        if (s.axial_ray_height == 0.0 || !std::isfinite(s.axial_ray_height)) {
            l.entrance_beam_radius = 1.0;
        } else if (s.aperture_radius != 0.0) {
            l.entrance_beam_radius *= std::fabs(s.aperture_radius / s.axial_ray_height);
        }
    }
    if (mode >= kPendingEntrancePupil) l.aperture_is_na = 0;
    return run_setup();
}

int resolve_import_field() {
    LensData& l = lens_data();
    if (g_frame.current.pending_field != kPendingImageHeight) return 0;
    g_frame.current.pending_field = 0;
    l.field_is_angle = 0;
    l.object_height = surface(0).thickness;
    if (const int rc = run_setup(); rc != 0) return rc;
    const double h = surface(l.image_surface).chief_ray_height;
    if (h != 0.0 && std::isfinite(h)) l.object_height *= g_frame.current.image_height / h;
    return run_setup();
}

// A glass made from index and Abbe number while the file was read took the wavelengths the
// lens had at that moment; the file may reorder them later (a reference wavelength, a ".seq"
// file without one). Its index belongs to the lens's final primary wavelength and its Abbe
// number to the final second and third.
void rebind_abbe_glasses() {
    const LensData& l = lens_data();
    for (const int n : g_frame.current.abbe_glass_surfaces) {
        if (n < 0 || n > l.image_surface) continue;
        SurfaceRecord& s = surface(n);
        if (s.medium_kind != kMediumModelIndexAbbe) continue;
        const int index = find_cached_glass(s.medium_name);
        if (index < 0) continue;
        GlassData& entry = glass_cache().entries[index];
        if (entry.model_wavelengths == nullptr || entry.model_indices == nullptr) continue;
        for (int w = 0; w < 3 && w < l.wavelength_count; ++w) {
            if (entry.model_wavelengths[w] != 0.0) {
                entry.model_wavelengths[w] = l.wavelengths[w].wavelength;
            }
        }
        // Back to the index and Abbe number as given, derived again at the set-up.
        entry.model_indices[0] = entry.dispersion[0];
        if (l.wavelength_count > 1) entry.model_indices[1] = entry.dispersion[1];
        if (l.wavelength_count > 2) entry.model_indices[2] = 0.0;
        lens_flags().materials_changed = 1;
    }
}

struct SavedGroup {
    int start, kind, pending;
};

}  // namespace

const std::string& imported_file() {
    return g_frame.imported_file;
}

void forget_imported_file() {
    g_frame.imported_file.clear();
    g_frame.imported_kind = 0;
}

ImportState& import_state() {
    return g_frame.current;
}

void set_import_hooks(const ImportHooks& hooks) {
    g_frame.hooks = hooks;
}

const ImportHooks& import_hooks() {
    return g_frame.hooks;
}

int import_kind_for(int kind, const std::string& path) {
    if (kind == kImportByExtension) {
        const std::string ext = extension_of(path);
        if (ext == "zmx") return kImportZmx;
        if (ext == "seq") return kImportSeq;
        if (ext == "len" || ext == "lns" || ext == "dat") return kImportLenLnsDat;
        return kImportLensCard;
    }
    if (kind == kImportLenLnsDat || kind == kImportSeq || kind == kImportZmx) return kind;
    return kImportLensCard;
}

int import_keyword_allowed(char letter) {
    // A keyword of one format typed by a user, or written under its full name into a file of
    // another format, would change a lens its reader is not building.
    if (lens_flags().reading_lens_file == 0 || command_context_letter() != letter) {
        return set_error_msg(kMsgImportKeywordOutside);
    }
    return 0;
}

void import_line_not_used() {
    if (g_frame.current.line <= 0) return;
    if (g_frame.current.unused_lines.empty() ||
        g_frame.current.unused_lines.back() != g_frame.current.line) {
        g_frame.current.unused_lines.push_back(g_frame.current.line);
    }
}

void import_note_ignored(const char* what, const char* why) {
    import_line_not_used();
    const OutputOn output_on;
    print_msg(kMsgImportValueIgnored, g_frame.current.line, what, why);
}

void import_print(int code, const std::string& text) {
    if (code != kMsgImportGlassSuccessor) import_line_not_used();
    const OutputOn output_on;
    print_msg(code, text.c_str());
}

void import_print(int code, int number, const std::string& text) {
    if (code != kMsgImportGlassSuccessor) import_line_not_used();
    const OutputOn output_on;
    print_msg(code, number, text.c_str());
}

void import_print(int code, int number, const std::string& first, const std::string& second) {
    if (code != kMsgImportGlassSuccessor) import_line_not_used();
    const OutputOn output_on;
    print_msg(code, number, first.c_str(), second.c_str());
}

int import_run_native(const std::string& line) {
    const bool flag = test_state_flag(kFlagLensEntryInProgress) != 0;
    set_state_flag(kFlagLensEntryInProgress);
    const int depth = command_context_depth();
    int rc = push_command_context('L');
    const bool pushed = rc == 0 && command_context_depth() > depth;
    if (rc == 0) rc = run_command_string(line.c_str(), 0);
    if (pushed) pop_command_context();
    if (!flag) clear_state_flag(kFlagLensEntryInProgress);
    return rc;
}

int import_model_glass(int n, const std::string& name, bool abbe, const double* values, int count) {
    char text[kMediumNameLength + 1] = {};
    std::snprintf(text, sizeof text, "%.*s", kMediumNameLength, name.c_str());
    std::vector<ArgCell> cells;
    cells.push_back(int_cell(abbe ? 1 : 0));
    cells.push_back(text_cell(text));
    const int limit = std::min(count, kScratchCellCount - 2);
    for (int k = 0; k < limit; ++k) cells.push_back(double_cell(values[k]));
    const int saved = lens_data().current_surface;
    set_current_surface(n);
    const bool flag = test_state_flag(kFlagLensEntryInProgress) != 0;
    set_state_flag(kFlagLensEntryInProgress);
    const int rc =
        call_command_handler(kCmdGlassHandler, cells.data(), static_cast<int>(cells.size()));
    if (rc == 0 && abbe) g_frame.current.abbe_glass_surfaces.push_back(n);
    if (!flag) clear_state_flag(kFlagLensEntryInProgress);
    set_current_surface(saved);
    return rc;
}

bool import_catalogue_glass(int n, const std::string& name) {
    char padded[kGlassNameLength + 1];
    std::string upper = name.substr(0, kGlassNameLength);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    pad_glass_name(upper.c_str(), padded);
    int catalog = 0;
    char rewritten[kGlassNameLength + 1] = {};
    if (find_glass(padded, catalog, rewritten) < 0) return false;
    const char* stored = rewritten[0] != '\0' ? rewritten : padded;
    return set_surface_medium(n, kMediumGlass, stored, 0) == 0;
}

namespace {

// A glass name as files spell it loosely: upper case, without '-', '_' and blanks.
std::string loose_glass_name(const std::string& name) {
    std::string key;
    for (const char c : name) {
        if (c != '-' && c != '_' && c != ' ') key.push_back(c);
    }
    return upper_text(key);
}

}  // namespace

std::string catalogue_glass_like(const std::string& name, const std::vector<int>& catalogs) {
    const std::string key = loose_glass_name(name);
    if (key.empty()) return {};
    std::vector<int> searched = catalogs;
    if (searched.empty()) {
        for (int c = 0; c < kGlassCatalogCount; ++c) searched.push_back(c);
    }
    std::string found;
    for (const int c : searched) {
        if (c < 0 || c >= kGlassCatalogCount) continue;
        const GlassCatalog& catalog = glass_catalog(c);
        for (int k = 0; k < catalog.count && k < kCatalogRoom; ++k) {
            const std::string stored(catalog.glasses[k].name, kGlassNameLength);
            if (loose_glass_name(stored) != key) continue;
            std::string trimmed = stored.substr(0, stored.find_last_not_of(' ') + 1);
            if (!found.empty() && found != trimmed) return {};
            found = trimmed;
        }
    }
    return found;
}

int glass_catalog_of_maker(const std::string& maker) {
    struct Maker {
        const char* name;
        int catalog;
    };
    // The catalogue files in the order glass_catalog numbers them.
    static const Maker kMakers[] = {{"MISC", 1},    {"OHARA", 2},  {"HOYA", 3},
                                    {"CORNING", 4}, {"SCHOTT", 5}, {"SHARED", 6}};
    const std::string upper = upper_text(maker);
    for (const Maker& m : kMakers)
        if (upper == m.name) return m.catalog;
    return -1;
}

void import_set_title(const std::string& text) {
    LensData& l = lens_data();
    if (text.size() < 33) {
        std::snprintf(l.title, sizeof l.title, "%s", text.c_str());
    } else {
        std::snprintf(l.title, sizeof l.title, "%.29s...", text.c_str());
    }
    std::memcpy(l.title_copy, l.title, sizeof l.title_copy);
}

int import_given_count() {
    int n = 0;
    for (int k = 0; k < arg_count(); ++k) {
        const ArgCell* c = arg_cell(k);
        if (c == nullptr || c->status != kArgGiven) break;
        n = k + 1;
    }
    return n;
}

std::string import_text_arg(int k) {
    const ArgCell* c = arg_cell(k);
    if (c == nullptr || c->type != kArgChar || c->text_length == 0 || c->value.text == nullptr) {
        return {};
    }
    return std::string(c->value.text,
                       strnlen(c->value.text, static_cast<std::size_t>(c->text_length)));
}

void import_set_wavelengths(double scale) {
    LensData& l = lens_data();
    const int given = import_given_count();
    if (given == 0) return;
    const int capacity = max_wavelengths();
    const int count = std::min(given, capacity);
    for (int i = 0; i < count; ++i) {
        l.wavelengths[i].wavelength = arg_double(i) * scale;
        if (l.wavelengths[i].weight == 0.0) l.wavelengths[i].weight = 1.0;
    }
    l.wavelength_count = count;
    l.current_wavelength = 0;
    lens_flags().wavelengths_changed = 1;
    lens_flags().materials_changed = 1;
    if (given > capacity) import_note_ignored("wavelengths", "beyond the wavelength table");
}

void import_set_weights() {
    LensData& l = lens_data();
    const int given = import_given_count();
    const int count = std::min(given, max_wavelengths());
    for (int i = 0; i < count; ++i) l.wavelengths[i].weight = arg_double(i);
    if (given > max_wavelengths()) import_note_ignored("weights", "beyond the wavelength table");
}

void import_reference_wavelength(int ref) {
    LensData& l = lens_data();
    const int n = l.wavelength_count;
    if (ref < 1 || ref > n) {
        import_note_ignored("reference wavelength", "no such wavelength");
        return;
    }
    WavelengthEntry* w = l.wavelengths;
    std::swap(w[ref - 1], w[0]);
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

void import_even_term(int n, int order, double value) {
    SurfaceRecord& s = surface(n);
    if (s.asphere != nullptr && s.asphere->kind != kAsphereEven &&
        s.asphere->kind != kAsphereSeries) {
        import_note_ignored("asphere coefficient", "the surface holds another asphere form");
        return;
    }
    if (value == 0.0 && s.asphere == nullptr) return;
    const int slot = order / 2;
    // The record of AD to AG holds r^4 to r^10; the series form holds every even order.
    if (s.asphere == nullptr && order >= 4 && order <= 10) {
        set_polynomial_asphere_term(n, order, value);
        return;
    }
    if (s.asphere != nullptr && s.asphere->kind == kAsphereEven && order >= 4 &&
        slot < s.asphere->entered_count) {
        set_polynomial_asphere_term(n, order, value);
        return;
    }
    std::vector<double> kept;
    if (s.asphere != nullptr) {
        kept.assign(s.asphere->entered, s.asphere->entered + s.asphere->entered_count);
    }
    if (static_cast<int>(kept.size()) <= slot) kept.resize(static_cast<std::size_t>(slot) + 1);
    const int count = static_cast<int>(kept.size());
    if (alloc_asphere_record(n, kAsphereSeries, 2 * (count - 1)) != 0 || s.asphere == nullptr ||
        s.asphere->entered_count < count) {
        import_note_ignored("asphere coefficient", "no room for it");
        return;
    }
    kept[static_cast<std::size_t>(slot)] = value;
    for (int k = 0; k < count; ++k) s.asphere->entered[k] = kept[static_cast<std::size_t>(k)];
    s.asphere->changed = 1;
}

void import_set_stop(int n) {
    LensData& l = lens_data();
    if (l.reference_surface == l.aperture_stop) l.reference_surface = n;
    l.aperture_stop = n;
}

namespace {

// The line's first word when it is a name that neither an import command of the format nor a
// native command knows (upper case), else empty: numbers, quotes and known names run.
std::string unknown_keyword(const std::string& line) {
    std::size_t at = line.find_first_not_of(" \t");
    if (at == std::string::npos || !std::isalpha(static_cast<unsigned char>(line[at]))) return {};
    std::string word;
    while (at < line.size() &&
           (std::isalnum(static_cast<unsigned char>(line[at])) || line[at] == '_')) {
        word.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(line[at]))));
        ++at;
    }
    if (word.size() >= kLookupNameSize - 3) return upper_text(word);
    const std::uint8_t* names = definitions().names;
    if (names == nullptr) return {};
    const char letter = command_context_letter();
    if (letter != 0) {
        const std::string with =
            word + "_" + static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
        if (find_name(names, with.c_str()) >= 0) return {};
    }
    if (find_name(names, word.c_str()) >= 0) return {};
    return upper_text(word);
}

void note_unknown_keyword(const std::string& word) {
    std::vector<std::string>& words = g_frame.current.unknown_keywords;
    if (std::find(words.begin(), words.end(), word) == words.end()) words.push_back(word);
}

}  // namespace

int read_import_lines(const ImportReader& reader, const std::string& path) {
    std::string bytes;
    if (platform::read_file_bytes(path, bytes) != 0) {
        return set_error_msg(kMsgCannotOpenLensInput, path.c_str());
    }
    const std::vector<std::string> lines = decode_lines(bytes);
    if (reader.surfaces_needed != nullptr) {
        // Refused before the lens is replaced: a lens cut at the limit would be a different lens.
        const int needed = reader.surfaces_needed(lines);
        if (needed > surface_limit()) {
            return set_error_msg(kMsgImportTooManySurfaces, path.c_str(), needed, surface_limit());
        }
    }
    LensData& l = lens_data();
    const SavedGroup group{l.group_start, l.group_kind_pending, l.group_pending};
    l.group_start = l.group_kind_pending = l.group_pending = 0;
    const std::uint8_t saved_boxes = get_setting_flag(kSetNoErrorBoxes);
    set_setting_flag(kSetOutputOn, 0);
    set_setting_flag(kSetNoErrorBoxes, 1);
    lens_flags().reading_lens_file = 1;
    set_state_flag(kFlagLensReadInBulk);
    l.file_surface_offset = 0;
    g_frame.current = ImportState{};

    int result = lens_new();
    int stop = 0;
    if (result == 0) {
        const LensDataScope scope;
        const int depth = command_context_depth();
        reader.setup();
        set_state_flag(kFlagLensExists);
        std::vector<std::string> pieces;
        for (std::size_t at = 0; at < lines.size() && stop == 0; ++at) {
            const int number = static_cast<int>(at) + 1;
            g_frame.current.line = number;
            if (get_setting_flag(kSetStepMode) != 0) {
                print_with_output("Line %4d:  %s\n", number, lines[at]);
            }
            if (lines[at].size() > kLineLimit) {
                import_line_not_used();
                print_with_output("Unknown command at line %4d:  %s\n", number,
                                  lines[at].substr(0, 60) + "...");
                continue;
            }
            pieces.clear();
            if (reader.pieces != nullptr) {
                reader.pieces(lines[at], pieces);
            } else {
                pieces.push_back(lines[at]);
            }
            for (std::string& line : pieces) {
                const LineAction action = reader.repair(line, &stop);
                if (action == LineAction::skip || stop != 0) continue;
                if (const std::string word = unknown_keyword(line); !word.empty()) {
                    // Said once at the end with the other words no command takes, not line
                    // by line: files carry many lines of no use to this program.
                    import_line_not_used();
                    note_unknown_keyword(word);
                    continue;
                }
                if (run_command_string(line.c_str(), 0) != 0) {
                    import_line_not_used();
                    print_with_output("Unknown command at line %4d:  %s\n", number, line);
                }
                if (g_frame.current.surface_overflow) stop = 1;
            }
        }
        // A reader's own context letter is what the end command pops; anything a line left
        // above it goes first.
        while (command_context_depth() > depth + 1) pop_command_context();
        if (reader.before_end) reader.before_end();
        rebind_abbe_glasses();
        lens_flags().reading_lens_file = 0;
        clear_state_flag(kFlagLensReadInBulk);
        l.group_start = group.start;
        l.group_kind_pending = group.kind;
        l.group_pending = group.pending;
        result = call_command_handler(kCmdLensEnd, nullptr, 0);
        while (command_context_depth() > depth) pop_command_context();
    }
    lens_flags().reading_lens_file = 0;
    clear_state_flag(kFlagLensReadInBulk);
    set_setting_flag(kSetNoErrorBoxes, saved_boxes);
    set_setting_flag(kSetOutputOn, 1);
    if (stop != 0) {
        return set_error_msg(kMsgLensTooLarge, surface_limit());
    }
    if (!g_frame.current.unused_lines.empty()) {
        const OutputOn output_on;
        print_msg(kMsgImportLinesNotUsed, static_cast<int>(g_frame.current.unused_lines.size()));
        if (!g_frame.current.unknown_keywords.empty()) {
            std::string words;
            for (const std::string& w : g_frame.current.unknown_keywords) {
                words += (words.empty() ? "" : ", ") + w;
            }
            print_msg(kMsgImportKeywordsNotUsed, words.c_str());
        }
    }
    if (reader.after_end) reader.after_end(result);
    if (result == 0) {
        result = resolve_import_aperture();
        if (result == 0) result = resolve_import_field();
    }
    if (reader.last) result = reader.last(result);
    return result;
}

int read_import_file(int kind, const std::string& path) {
    switch (kind) {
        case kImportZmx:
            return read_zmx_file(path);
        case kImportSeq:
            return read_seq_file(path);
        case kImportLensCard:
            return read_lens_card_file(path);
        case kImportLenLnsDat:
            return read_len_lns_or_dat_file(path);
        default:
            return set_error_msg(kMsgImportKindMissing, path.c_str());
    }
}

namespace {

// After a successful read: fold, set up, name the lens after the file (not saved natively).
int finish_import(int kind, const std::string& path) {
    int result = fold_group_thickness();
    if (result == 0) result = run_setup();
    if (result != 0) return result;
    set_setting_text(kSetLensFile, path.c_str(), 0);
    g_frame.imported_file = path;
    g_frame.imported_kind = kind;
    clear_state_flag(kFlagLensFileNamed);
    msg_box(kMsgLensImported, path.c_str());
    return 0;
}

void reset_stored_object_point() {
    if (g_frame.hooks.reset_object_point != nullptr) g_frame.hooks.reset_object_point();
}

}  // namespace

int cmd_import_lens() {
    const int asked = save_if_changed();
    if (asked == kStopped) return 0;
    if (asked == kErrorTextReady) return asked;
    const std::string path = import_text_arg(1);
    const int kind = import_kind_for(arg_int(0), path);
    int result = read_import_file(kind, path);
    if (result == 0) result = finish_import(kind, path);
    reset_stored_object_point();
    return result;
}

int reimport_lens_file() {
    const std::string path = g_frame.imported_file;
    const int kind = g_frame.imported_kind;
    if (path.empty() || kind == 0) return set_error_msg(kMsgImportKindMissing, path.c_str());
    int result = read_import_file(kind, path);
    if (result == 0) result = finish_import(kind, path);
    reset_stored_object_point();
    return result;
}

int cmd_import_lens_dialog() {
    const int asked = save_if_changed();
    if (asked == kStopped) return 0;
    if (asked == kErrorTextReady) return asked;
    platform::FileDialogRequest request;
    request.title = msg_text(kMsgImportDialogTitle);
    const char* folder = get_setting_text(kSetCurrentDirectory, 0);
    const char* file = get_setting_text(kSetLensFile, 0);
    request.folder = folder != nullptr ? folder : "";
    request.path = file != nullptr ? file : "";
    // The filters carry the kind numbers through the import-kinds list (pattern and kind by
    // position).
    std::vector<int> kinds;
    for (const ImportFilter& f : import_filters(kListImportKinds, kListImportFilters)) {
        request.filters.push_back({f.description, f.pattern});
        kinds.push_back(f.kind);
    }
    for (std::size_t k = 0; k < kinds.size(); ++k) {
        if (kinds[k] == g_frame.dialog_kind) request.filter_index = static_cast<int>(k);
    }
    std::string path;
    if (const int chosen = ask_for_file(request, &path); chosen != 0) {
        return chosen == kStopped ? 0 : chosen;
    }
    const int index = request.filter_index;
    const int kind = index >= 0 && index < static_cast<int>(kinds.size())
                         ? kinds[static_cast<std::size_t>(index)]
                         : 0;
    if (kind < kImportLensCard || kind > kImportZmx) return 0;
    const int result = read_import_file(kind, path);
    g_frame.dialog_kind = kind;
    if (result != 0) return result;
    const std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos) {
        set_setting_text(kSetCurrentDirectory, path.substr(0, slash == 0 ? 1 : slash).c_str(), 0);
    }
    const int finished = finish_import(kind, path);
    reset_stored_object_point();
    return finished;
}

std::vector<ImportFilter> import_filters(int type_list, int filter_list) {
    std::vector<ImportFilter> filters;
    select_table_value_list(filter_list);
    for (int i = 0; i < value_list_count(); ++i) {
        const char* first = value_list_first(i);
        const char* second = value_list_second(i);
        filters.push_back({first != nullptr ? first : "", second != nullptr ? second : "", 0});
    }
    select_table_value_list(type_list);
    for (int i = 0; i < value_list_count() && i < static_cast<int>(filters.size()); ++i) {
        const char* second = value_list_second(i);
        filters[static_cast<std::size_t>(i)].kind = second != nullptr ? std::atoi(second) : 0;
    }
    clear_value_list();
    return filters;
}

int import_dialog_kind() {
    return g_frame.dialog_kind;
}

void install_import_commands() {
    set_handler(kSlotImportLens, cmd_import_lens);
    set_handler(kSlotImportLensDialog, cmd_import_lens_dialog);
    set_handler(kSlotZmxKeyword, cmd_zmx_keyword);
    set_handler(kSlotSeqKeyword, cmd_seq_keyword);
    set_handler(kSlotLensCardKeyword, cmd_lens_card_keyword);
    set_handler(kSlotLnsKeyword, cmd_lns_keyword);
}

namespace {
// The hooks installed at start stay.
void reset_import_frame() {
    const ImportHooks hooks = g_frame.hooks;
    g_frame = ImportFrameState{};
    g_frame.hooks = hooks;
}
const platform::StateReset import_frame_state_reset{"lens/import_frame", reset_import_frame,
                                                    platform::ResetLayer::lens};
}  // namespace
