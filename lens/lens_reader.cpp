#include "lens/lens_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "lens/lens_data.h"
#include "lens/lens_file_format.h"
#include "lens/optimise_links.h"
#include "lens/surface_groups.h"
#include "platform/state_reset.h"
#include "platform/text_file.h"
#include "runtime/dispatch.h"
#include "runtime/lens_data_guard.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"

namespace {

struct OldIndices {
    int surface;
    std::vector<double> indices;
};
// The finisher app/ installs at start, and the old indices a file being read gave.
struct LensReaderState {
    LensReadFinisher finisher = nullptr;
    std::vector<OldIndices> old_indices;
};

LensReaderState g_reader;

// The kept TN5 indices become model glasses, bound to the wavelengths the file ended with.
void apply_old_surface_indices() {
    if (g_reader.old_indices.empty()) return;
    const std::vector<OldIndices> kept = std::move(g_reader.old_indices);
    g_reader.old_indices.clear();
    const LensDataScope scope;
    run_command_string("LEN", 0);
    for (const OldIndices& k : kept) {
        if (k.surface < 1 || k.surface > lens_data().image_surface) continue;
        const SurfaceRecord& s = surface(k.surface);
        if (s.medium_kind == kMediumGlass || s.medium_kind == kMediumGlassFixed) continue;
        std::string line = "GLA \"SRF" + std::to_string(k.surface) + "GL\"";
        const int count =
            std::min<int>(static_cast<int>(k.indices.size()), lens_data().wavelength_count);
        for (int w = 0; w < count; ++w)
            line += " " + std::string(format_number(k.indices[w], 2, 0));
        run_command_string(("GTO " + std::to_string(k.surface)).c_str(), 0);
        run_command_string(line.c_str(), 0);
    }
    run_command_string("END", 0);
}

constexpr int kSettingPrintHeader = 24;

bool starts(const std::string& line, const char* word) {
    return line.compare(0, std::strlen(word), word) == 0;
}

// The number after the last blank of a "LEN NEW" line (0 when there is none).
long image_surface_of(const std::string& line) {
    const std::size_t blank = line.find_last_of(' ');
    if (blank == std::string::npos) return 0;
    return std::strtol(line.c_str() + blank + 1, nullptr, 10);
}

void report_line(int number, const std::string& line) {
    set_setting_flag(kSetOutputOn, 1);
    print_msg(kMsgErrorAtLine, number, line.c_str());
    set_setting_flag(kSetOutputOn, 0);
}

// Files of version 5.2 and older drew two ray sets; three are drawn now.
void convert_old_ray_sets() {
    DrawingConditions* d = lens_data().drawing_conditions;
    if (d == nullptr) return;
    const int count = d->row_count;
    if (d->row_capacity < 3 || d->rows == nullptr) {
        auto* rows = static_cast<DrawingRaySet*>(mem_realloc(d->rows, 3, sizeof(DrawingRaySet)));
        if (rows == nullptr) {
            msg_box(kMsgOutOfMemory);
            return;
        }
        d->rows = rows;
        d->row_capacity = 3;
    }
    for (int k = count < 0 ? 0 : count; k < 3; ++k) {
        d->rows[k] = DrawingRaySet{};
        d->rows[k].wavelength = 1;
        d->rows[k].drawn = 1;
    }
    if (count <= 1) {
        if (count <= 0) {
            d->rows[0].pupil_min = -1.0;
            d->rows[0].pupil_max = 1.0;
            d->rows[0].ray_count = 3;
        }
        d->rows[1].field_fraction = 0.7;
        d->rows[1].ray_count = 0;
        d->rows[2].field_fraction = 1.0;
        d->rows[2].ray_count = 1;
        // The rows filled in are drawn: the set counts three.
        d->row_count = 3;
    } else if (count == 2 && std::abs(d->rows[1].field_fraction - 1.0) <= 1e-40) {
        d->rows[2] = d->rows[1];
        d->rows[1] = DrawingRaySet{};
        d->rows[1].field_fraction = 0.7;
        d->rows[1].wavelength = 1;
        d->rows[1].drawn = 1;
        d->row_count = 3;
    }
    mark_lens_bounds_stale();
}

}  // namespace

void keep_old_surface_indices(int surface, const std::vector<double>& indices) {
    g_reader.old_indices.push_back({surface, indices});
}

void set_lens_read_finisher(LensReadFinisher finisher) {
    g_reader.finisher = finisher;
}

int read_lens_lines(const std::vector<std::string>& lines, std::string* comment) {
    LensData& l = lens_data();
    const int saved_group_start = l.group_start;
    const int saved_group_kind = l.group_kind_pending;
    l.group_start = l.group_kind_pending = l.group_pending = 0;
    const int output = get_setting_flag(kSetOutputOn);
    set_setting_flag(kSetOutputOn, 0);
    lens_flags().reading_lens_file = 1;
    set_state_flag(kFlagLensReadInBulk);
    lens_flags().old_file = 0;
    std::snprintf(lens_flags().file_version, sizeof lens_flags().file_version, "3.00");

    // The new lens of an old file takes that file's two ray sets and clears the old-file mark;
    // the conversion to three sets after reading is kept here.
    bool old_version = false;
    g_reader.old_indices.clear();
    bool header_seen = false;
    bool comment_taken = false;
    bool in_section = false;
    int result = 0;
    {
        const LensDataScope scope;
        for (std::size_t at = 0; at < lines.size(); ++at) {
            const int number = static_cast<int>(at) + 1;
            const std::string& line = lines[at];
            LensHeader header;
            if (!header_seen && parse_lens_header(line, &header)) {
                header_seen = true;
                if (starts(line, "//")) {
                    std::snprintf(lens_flags().file_version, sizeof lens_flags().file_version,
                                  "%.7s", header.version.c_str());
                }
                if (get_setting_flag(kSettingPrintHeader) != 0) {
                    set_setting_flag(kSetOutputOn, 1);
                    print_msg(kMsgLensFileVersion, lens_flags().file_version, header.sums.len,
                              header.sums.ope, header.sums.opc);
                    set_setting_flag(kSetOutputOn, 0);
                }
                lens_flags().old_file =
                    std::strtod(lens_flags().file_version, nullptr) <= 5.2 ? 1 : 0;
                old_version = lens_flags().old_file != 0;
                continue;
            }
            if (!header_seen && number == 1) {
                if (line.find("TAVO") != std::string::npos ||
                    line.find("tavo") != std::string::npos ||
                    line.find("Tavo") != std::string::npos) {
                    continue;
                }
                result = set_error_msg(kMsgNotALensFile);
                break;
            }
            if (comment != nullptr && header_seen && !comment_taken && starts(line, "// ")) {
                *comment = line.substr(3);
                comment_taken = true;
            }
            if (line.size() > kLensLineLimit) {
                report_line(number, line.substr(0, 60) + "...");
                continue;
            }
            if (starts(line, "LEN NEW") && image_surface_of(line) > surface_limit()) {
                result = set_error_msg(kMsgLensTooLarge, surface_limit());
                break;
            }
            if (starts(line, "RST NEW") || starts(line, "SDS NEW") || starts(line, "OPE NEW") ||
                starts(line, "VAR NEW")) {
                in_section = true;
            }
            if (run_command_string(line.c_str(), 0) != 0) {
                report_line(number, line);
                if (in_section) {
                    // The rest of a failing section is skipped up to its "END".
                    while (++at < lines.size() && !starts(lines[at], "END")) {
                    }
                    run_command_string("END", 0);
                }
                continue;
            }
            if (starts(line, "END")) in_section = false;
        }
    }

    set_setting_flag(kSetOutputOn, 1);
    lens_flags().reading_lens_file = 0;
    clear_state_flag(kFlagLensReadInBulk);
    l.group_start = saved_group_start;
    l.group_kind_pending = saved_group_kind;
    if (result == 0) apply_old_surface_indices();
    g_reader.old_indices.clear();
    if (result == 0) result = fold_group_thickness();
    if (g_reader.finisher != nullptr) g_reader.finisher();
    optimise_after_lens_read();
    if (old_version) convert_old_ray_sets();
    (void)output;
    return result;
}

int read_lens_file(const std::string& path, std::string* comment) {
    std::vector<std::string> lines;
    if (platform::read_text_lines(path, lines) != 0) {
        return set_error_msg(kMsgCannotOpenLensInput, path.c_str());
    }
    return read_lens_lines(lines, comment);
}

namespace {
// The finisher is installed once at start and stays; indices kept from a read half done go.
void reset_lens_reader() {
    std::vector<OldIndices>().swap(g_reader.old_indices);
}
const platform::StateReset lens_reader_state_reset{"lens/lens_reader", reset_lens_reader,
                                                   platform::ResetLayer::lens};
}  // namespace
