#include "runtime/script_commands.h"

#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/child_run.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/lens_data_guard.h"
#include "runtime/messages.h"
#include "runtime/table_files.h"

namespace {

struct FileKind {
    const char* extension;
    const char* data_folder;
    const char* root_folder;
};
constexpr FileKind kKinds[] = {{"mov", "bin/mov", "bin/mov"}, {"scp", "scp", "public/scp"}};

// The running script's parameters, how deep scripts nest, and the file whose entries run.
struct ScriptCommandsState {
    ScriptParameters parameters{};
    int nesting = 0;
    // Levels of nesting that a ScriptCodeKept scope added: no entry runs there.
    int kept_depth = 0;
    std::string running_file;
};

ScriptCommandsState g_scripts;

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f != nullptr) std::fclose(f);
    }
};

// The entry's lines from an open script; 1 when the file holds no such entry, 0 when found,
// else the message number of the failure (set as error text).
int read_entry(std::FILE* f, const std::string& path, const char* name, std::string* text,
               int* lines) {
    std::string line;
    bool inside = false;
    int number = 0;
    for (;;) {
        line.clear();
        int c = 0;
        while ((c = std::fgetc(f)) != EOF && c != '\n') line += static_cast<char>(c);
        if (c == EOF && line.empty()) break;
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (static_cast<int>(line.size()) > kScriptLineLimit) {
            return set_error_msg(kMsgScriptLineTooLong, number, path.c_str());
        }
        if (!inside) {
            inside = is_entry_heading(line.c_str(), name);
            continue;
        }
        if (line[0] == '*') break;
        text->append(line).append("\n");
        ++*lines;
        if (text->size() >= kScriptEntryLimit) {
            return set_error_msg(kMsgScriptEntryTooLong, name);
        }
        if (c == EOF) break;
    }
    if (std::ferror(f)) return set_error_msg(kMsgScriptEntryMissing, name);
    return inside ? 0 : 1;
}

// The call's arguments after the entry name into the script parameters: numbers into the
// doubles, texts into the texts, in order. 0 or the message number (set as error text).
int take_parameters() {
    g_scripts.parameters = ScriptParameters{};
    int values = 0, texts = 0;
    for (int i = 1; i < arg_count(); ++i) {
        const ArgCell* c = arg_cell(i);
        if (c == nullptr || c->status != kArgGiven) continue;
        const ArgShape* shape = arg_shape(i);
        const bool text = c->type == kArgChar && c->text_length > 0 && c->value.text != nullptr;
        if (text) {
            if (texts == kScriptTextCount) {
                return set_error_msg(kMsgScriptTooManyValues, kScriptValueCount, kScriptTextCount);
            }
            std::snprintf(g_scripts.parameters.texts[texts++], kScriptTextSize, "%s",
                          c->value.text);
        } else if (shape != nullptr && shape->dim1 > 0) {
            return set_error_msg(kMsgScriptArgumentKind, i + 1);
        } else {
            if (values == kScriptValueCount) {
                return set_error_msg(kMsgScriptTooManyValues, kScriptValueCount, kScriptTextCount);
            }
            g_scripts.parameters.values[values++] =
                c->type == kArgChar ? static_cast<unsigned char>(c->value.c) : arg_double(i);
        }
    }
    return 0;
}

}  // namespace

ScriptParameters& script_parameters() {
    return g_scripts.parameters;
}

std::FILE* open_data_file(int kind, int where, std::string* path, const char* name,
                          const char* mode) {
    if (kind < 0 || kind > 1 || name == nullptr) return nullptr;
    std::string file = name;
    for (char& c : file) {
        if (c == '\\') c = '/';
    }
    if (file.find('.') == std::string::npos) file += std::string(".") + kKinds[kind].extension;
    std::string tried;
    std::FILE* f = nullptr;
    if (where == 0 || where == 1) {
        tried = data_folder() + "/" + kKinds[kind].data_folder + "/" + file;
        f = std::fopen(tried.c_str(), mode);
    }
    if (f == nullptr && (where == 0 || where == 2)) {
        tried = root_folder() + "/" + kKinds[kind].root_folder + "/" + file;
        f = std::fopen(tried.c_str(), mode);
    }
    if (path != nullptr) *path = tried;
    return f;
}

bool is_entry_heading(const char* line, const char* name) {
    if (line[0] != '*') return false;
    const std::size_t n = std::strlen(name);
    if (n == 0 || strncasecmp(line + 1, name, n) != 0) return false;
    return static_cast<unsigned char>(line[1 + n]) <= 32;
}

int cmd_run_script_entry() {
    if (const int r = refuse_while_reading_lens_data(); r != 0) return r;
    const ArgCell* c = arg_cell(0);
    if (c == nullptr || c->type != kArgChar || c->text_length <= 0 || c->value.text == nullptr) {
        return set_error_msg(kMsgScriptEntryMissing, "");
    }
    // An entry that calls itself without end stops here, with a message, before the command
    // language's own nesting limit is reached.
    if (g_scripts.nesting >= kScriptNestingLimit) {
        return set_error_msg(kMsgScriptNesting, kScriptNestingLimit);
    }
    if (const int r = take_parameters(); r != 0) return r;
    const std::string call = c->value.text;
    const LineRunnerHooks& hooks = line_runner_hooks();
    if (g_scripts.nesting > 0 && hooks.kept_line != nullptr) {
        // An entry run before within the running one runs its kept code: no file is read.
        if (const int k = hooks.kept_line(call.c_str()); k > 0) {
            ++g_scripts.nesting;
            const int result = run_command_string(kKeptLineText, -k);
            --g_scripts.nesting;
            return result;
        }
    }
    const std::size_t colon = call.find(':');
    const std::string entry = call.substr(0, colon);
    std::vector<std::string> candidates;
    if (colon != std::string::npos) {
        candidates.push_back(call.substr(colon + 1));
    } else if (g_scripts.nesting > g_scripts.kept_depth) {
        candidates.push_back(g_scripts.running_file);
        if (strcasecmp(g_scripts.running_file.c_str(), "default") != 0)
            candidates.push_back("default");
        candidates.push_back(entry);
    } else {
        candidates.push_back(entry);
        candidates.push_back("default");
    }
    std::string text;
    int lines = 0;
    std::string used;
    bool found = false;
    for (int where = 1; where <= 2 && !found; ++where) {
        for (const std::string& name : candidates) {
            std::string path;
            std::unique_ptr<std::FILE, FileCloser> f(
                open_data_file(kDataFileScript, where, &path, name.c_str(), "rb"));
            if (f == nullptr) continue;
            text.clear();
            lines = 0;
            const int r = read_entry(f.get(), path, entry.c_str(), &text, &lines);
            if (r < 0) return r;
            if (r == 0) {
                found = true;
                used = name;
                break;
            }
        }
    }
    if (!found) return set_error_msg(kMsgScriptEntryMissing, call.c_str());
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) return 0;
    const std::string saved_file = g_scripts.running_file;
    const bool outermost = g_scripts.nesting == 0;
    const bool first_entry = g_scripts.nesting == g_scripts.kept_depth;
    const std::size_t mark =
        outermost && hooks.kept_lines_mark != nullptr ? hooks.kept_lines_mark() : 0;
    if (first_entry) g_scripts.running_file = used;
    // The entry runs as one program, its lines ending statements; an entry run within another
    // (or within a ScriptCodeKept scope) keeps its code, so that running it again reads no
    // file. The kept code lives while the outermost entry (or the scope) runs.
    const int flags = std::max(lines, 1) | (outermost ? 0 : kRunKeepCode);
    ++g_scripts.nesting;
    const int result = run_command_string(text.c_str(), -flags);
    --g_scripts.nesting;
    if (first_entry) g_scripts.running_file = saved_file;
    if (outermost) {
        if (hooks.release_kept_lines_to != nullptr) hooks.release_kept_lines_to(mark);
    }
    return result;
}

int cmd_stopwatch() {
    if (current_command() == kCmdStopwatch) {
        const std::int64_t ms = elapsed_ms(0);
        set_int_result(static_cast<std::int32_t>(ms > INT32_MAX ? INT32_MAX : ms));
    } else {
        elapsed_ms(1);
    }
    return 0;
}

int cmd_screen_size() {
    const platform::UiBackend* ui = platform::current_ui();
    const platform::Size size = ui != nullptr ? ui->screen_size() : platform::Size{};
    const platform::Size client = ui != nullptr ? ui->mdi_client_size() : platform::Size{};
    switch (current_command()) {
        case kCmdScreenHeight:
            set_int_result(size.height);
            break;
        case kCmdScreenWidth:
            set_int_result(size.width);
            break;
        case kCmdClientHeight:
            set_int_result(client.height);
            break;
        case kCmdClientWidth:
            set_int_result(client.width);
            break;
        default:
            set_int_result(0);
            break;
    }
    return 0;
}

void install_script_commands() {
    set_handler(kSlotRunScriptEntry, cmd_run_script_entry);
    set_handler(kSlotStopwatch, cmd_stopwatch);
    set_handler(kSlotScreenSize, cmd_screen_size);
}

ScriptCodeKept::ScriptCodeKept() {
    const LineRunnerHooks& hooks = line_runner_hooks();
    active_ = g_scripts.nesting == 0 && hooks.kept_lines_mark != nullptr &&
              hooks.release_kept_lines_to != nullptr && hooks.kept_line != nullptr;
    if (!active_) return;
    mark_ = hooks.kept_lines_mark();
    ++g_scripts.nesting;
    ++g_scripts.kept_depth;
}

ScriptCodeKept::~ScriptCodeKept() {
    if (!active_) return;
    --g_scripts.kept_depth;
    --g_scripts.nesting;
    const LineRunnerHooks& hooks = line_runner_hooks();
    if (hooks.release_kept_lines_to != nullptr) hooks.release_kept_lines_to(mark_);
}

namespace {
void reset_script_commands() {
    g_scripts = ScriptCommandsState{};
}
const platform::StateReset script_commands_state_reset{
    "runtime/script_commands", reset_script_commands, platform::ResetLayer::runtime};
}  // namespace
