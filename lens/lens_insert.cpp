#include "lens/lens_insert.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "lens/lens_file_format.h"
#include "lens/lens_writer.h"
#include "lens/surface_insert_delete.h"
#include "platform/state_reset.h"
#include "platform/text_file.h"
#include "platform/ui.h"
#include "runtime/command_context.h"
#include "runtime/dispatch.h"
#include "runtime/folder_lists.h"
#include "runtime/lens_data_guard.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "tables/table_names.h"

namespace {

struct InsertState {
    bool inserting = false;
    int current = 0;
    std::vector<WavelengthEntry> wavelengths;
    bool saved = false;
};
InsertState g_insert;

// Lines that set lens-level data: the current lens keeps its own.
const char* const kSystemWords[] = {
    "AFO",      "AMO",  "NAO",   "EBR",  "ANG",  "OBH",  "DES",  "IDN",  "AST",  "RFS",
    "CALLBACK", "CBK",  "WIRS",  "OPDW", "APCK", "EPXY", "CSLV", "NOLC", "GPRT", "TWL",
    "FANR",     "UNI",  "WRSP",  "GRCK", "WARM", "SASD", "GCS",  "TEM",  "PRE",  "TELE",
    "ILLUM",    "HTNU", "ELMDF", "SNO",  "XARM", "XABA", "RAIM", "ZRXR", "TXYC", "TTUN",
};

bool starts_without_case(const std::string& line, const char* word) {
    const std::size_t n = std::strlen(word);
    if (line.size() < n) return false;
    for (std::size_t k = 0; k < n; ++k) {
        if (std::toupper(static_cast<unsigned char>(line[k])) != word[k]) return false;
    }
    return true;
}

bool system_word(const std::string& line) {
    for (const char* word : kSystemWords) {
        if (starts_without_case(line, word)) return true;
    }
    return false;
}

}  // namespace

int save_wavelengths(int mode) {
    LensData& l = lens_data();
    if (mode == 0) {
        g_insert.wavelengths.assign(l.wavelengths, l.wavelengths + l.wavelength_count);
        g_insert.saved = true;
        return 0;
    }
    if (!g_insert.saved) return 0;
    const int count = static_cast<int>(g_insert.wavelengths.size());
    for (int w = 0; w < count && w < max_wavelengths(); ++w)
        l.wavelengths[w] = g_insert.wavelengths[w];
    l.wavelength_count = count;
    lens_flags().wavelengths_changed = 1;
    lens_flags().materials_changed = 1;
    g_insert.wavelengths.clear();
    g_insert.saved = false;
    return 0;
}

int insert_lens_line(const std::string& line, int target) {
    LensData& l = lens_data();
    if (starts_without_case(line, "LEN NEW")) {
        g_insert.inserting = false;
        const std::size_t blank = line.find_last_of(' ');
        const long count =
            blank == std::string::npos ? 0 : std::strtol(line.c_str() + blank + 1, nullptr, 10);
        if (count < 1) return set_error_msg(kMsgInsertNoSurfaceCount);
        if (l.image_surface + count > surface_limit()) {
            return set_error_msg(kMsgSurfaceLimit, surface_limit());
        }
        return save_wavelengths(0);
    }
    const bool step = starts_without_case(line, "GTO") || starts_without_case(line, "NXT");
    if (!g_insert.inserting) {
        if (starts_without_case(line, "GTO  1") || starts_without_case(line, "NXT")) {
            g_insert.current = target - 1;
            g_insert.inserting = true;
        } else {
            return 0;
        }
    }
    if (step) {
        ++g_insert.current;
        if (const int r = insert_surface(g_insert.current); r != 0) return r;
        set_current_surface(g_insert.current);
        if (l.group_pending != 0 && l.group_start != 0) {
            SurfaceRecord& s = surface(g_insert.current);
            s.group_kind = static_cast<std::uint8_t>(l.group_kind_pending);
            s.group_role = kRoleInner;
            if (l.group_kind_pending == kGroupNonSequential) set_state_flag(kFlagGroupInner);
        }
        return 0;
    }
    if (starts_without_case(line, "END")) {
        const int r = delete_surface(g_insert.current);
        g_insert.inserting = false;
        save_wavelengths(1);
        return r;
    }
    if (system_word(line)) return 0;
    return run_command_string(line.c_str(), 0);
}

int insert_lens_lines(const std::vector<std::string>& lines, int target) {
    LensData& l = lens_data();
    if (target < 1 || target > l.image_surface)
        return set_error_msg(kMsgInsertTarget, target, l.image_surface);
    const bool pushed = command_context_letter() != 'L' && push_command_context('L') == 0;
    const bool entering = test_state_flag(kFlagLensEntryInProgress) != 0;
    set_state_flag(kFlagLensEntryInProgress);
    set_state_flag(kFlagLensReadInBulk);
    const int output = get_setting_flag(kSetOutputOn);
    set_setting_flag(kSetOutputOn, 0);
    l.file_surface_offset = target - 1;
    const int was_reading = lens_flags().reading_lens_file;
    lens_flags().reading_lens_file = 1;
    g_insert = InsertState{};
    int result = 0;
    {
        const LensDataScope scope;
        for (const std::string& line : lines) {
            if (line.size() > kLensLineLimit) {
                result = set_error_msg(kMsgLensLineTooLong, line.substr(0, 40).c_str());
                break;
            }
            const int r = insert_lens_line(line, target);
            if (r != 0) {
                result = r == kErrorTextReady || r == kStopped ? r : set_error_msg(r);
                break;
            }
        }
        // A failure, or a file that ended early, finishes the insertion as its "END" would.
        if (g_insert.inserting) insert_lens_line("END", target);
        save_wavelengths(1);
    }
    lens_flags().reading_lens_file = was_reading;
    l.file_surface_offset = 0;
    clear_state_flag(kFlagLensReadInBulk);
    if (pushed) run_command_string("END", 0);
    if (!entering) clear_state_flag(kFlagLensEntryInProgress);
    set_setting_flag(kSetOutputOn, output);
    return result;
}

int insert_lens_file(const std::string& path, int target) {
    std::vector<std::string> lines;
    if (platform::read_text_lines(path, lines) != 0) {
        return set_error_msg(kMsgCannotOpenLensInput, path.c_str());
    }
    const int r = insert_lens_lines(lines, target);
    if (r == 0) msg_box(kMsgInsertedFile, path.c_str());
    return r;
}

int insert_lens_file_dialog(int target) {
    platform::FileDialogRequest request;
    request.title = msg_text(kMsgInsertDialogTitle);
    const char* folder = get_setting_text(kSetCurrentDirectory, 0);
    request.folder = folder != nullptr ? folder : "";
    request.default_extension = "len";
    request.filters = {{"Lens files (*.len)", "*.len"}, {"All files (*.*)", "*.*"}};
    std::string path;
    if (const int chosen = ask_for_file(request, &path); chosen != 0) {
        return chosen == kStopped ? 0 : chosen;
    }
    return insert_lens_file(path, target);
}

int insert_lens_file() {
    return insert_lens_file_dialog(lens_data().current_surface);
}

int copy_surface_text(int first, int last, std::string& text, std::size_t limit) {
    text.clear();
    set_lens_string(&text, limit);
    for (int s = first; s <= last && s <= lens_data().image_surface && !lens_string_full(); ++s) {
        write_surface_commands(s, "NXT");
    }
    const bool full = lens_string_full();
    set_lens_string(nullptr);
    if (!full) return 0;
    text.clear();
    msg_box(kMsgOutOfMemory);
    return kMsgOutOfMemory;
}

int copy_surfaces_to_clipboard(int first, int last) {
    std::string text;
    if (const int rc = copy_surface_text(first, last, text); rc != 0) return rc;
    return put_surface_clipboard_text(text);
}

int put_surface_clipboard_text(const std::string& text) {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr) return set_error_msg(kMsgClipboardUnavailable);
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    std::vector<platform::UiBackend::ClipboardItem> items;
    items.push_back({platform::kSurfaceClipboardMime, bytes});
    items.push_back({"text/plain", bytes});
    if (ui->set_clipboard_items(std::move(items)) != 0) {
        return set_error_msg(kMsgClipboardUnavailable);
    }
    return 0;
}

std::string surface_clipboard_text(int first, int last) {
    std::string text;
    copy_surface_text(first, last, text);
    return text;
}

namespace {
void reset_lens_insert() {
    g_insert = InsertState{};
}
const platform::StateReset lens_insert_state_reset{"lens/lens_insert", reset_lens_insert,
                                                   platform::ResetLayer::lens};
}  // namespace
