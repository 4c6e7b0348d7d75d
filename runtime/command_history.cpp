#include "runtime/command_history.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"

namespace {

struct History {
    char lines[kHistoryLines][kHistoryLineSize] = {};
    int start = 0;
    int count = 0;
    // The pending line lives apart from the ring: a line that is not recorded in the end (a
    // repeat, an empty line) must not have overwritten the oldest line of a full ring.
    char pending[kHistoryLineSize] = {};
    bool has_pending = false;
    int recording = 0;
    int collection = -1;
    int position = -1;  // -1 not browsing, else the ring slot shown
    std::string saved_text;
};

History g;

int slot_of(int k) {
    return (g.start + k) % kHistoryLines;
}

// A '?' followed only by blanks ends the line: it goes with the blanks before it.
void strip_question_mark(char* text) {
    std::size_t n = std::strlen(text);
    while (n > 0 && text[n - 1] == ' ') --n;
    if (n == 0 || text[n - 1] != '?') return;
    --n;
    while (n > 0 && text[n - 1] == ' ') --n;
    text[n] = '\0';
}

}  // namespace

int set_pending_line(const char* text) {
    if (text == nullptr || text[0] == '\0') {
        clear_pending_line();
        return 0;
    }
    if (std::strlen(text) > kCommandLineLimit) return kMsgCommandLineTooLong;
    std::memcpy(g.pending, text, std::strlen(text) + 1);
    g.has_pending = true;
    g.recording = 1;
    g.collection = 0;
    return 0;
}

int set_program_line(const char* text) {
    const int r = set_pending_line(text);
    if (r == 0) {
        g.recording = 0;
        g.collection = -1;
    }
    return r;
}

const char* pending_line() {
    return g.has_pending ? g.pending : nullptr;
}

void clear_pending_line() {
    g.has_pending = false;
    g.pending[0] = '\0';
    g.recording = 0;
}

int history_recording_flag() {
    return g.recording;
}

void add_to_history() {
    if (g.recording == 0 || !g.has_pending) return;
    const bool echo_now = g.recording == 1;
    g.recording = 0;
    char line[kHistoryLineSize];
    std::memcpy(line, g.pending, sizeof line);
    strip_question_mark(line);
    if (line[std::strspn(line, " ")] == '\0') return;
    if (g.count > 0 && std::strcmp(g.lines[slot_of(g.count - 1)], line) == 0) return;
    if (echo_now && output_option(kOptionEcho) != 0) {
        const std::string echoed = std::string("\n>> ") + line + "\n";
        write_output_text(echoed.c_str(), false);
    }
    std::memcpy(g.lines[slot_of(g.count)], line, sizeof line);
    if (g.count < kHistoryLines) {
        ++g.count;
    } else {
        g.start = (g.start + 1) % kHistoryLines;
    }
    mirror_history();
}

void forget_history_line() {
    g.recording = 0;
}

void replace_pending_line(const char* text) {
    if (text == nullptr || std::strlen(text) > kCommandLineLimit) return;
    std::memcpy(g.pending, text, std::strlen(text) + 1);
    g.has_pending = true;
    if (g.recording == 0) g.recording = 1;
}

void collect_answer(const char* answer, bool quoted) {
    if (g.collection < 0 || !g.has_pending || answer == nullptr) return;
    strip_question_mark(g.pending);
    std::string added = " ";
    if (quoted) added += '"';
    added += answer;
    if (quoted) added += '"';
    const std::size_t n = std::strlen(g.pending);
    if (n + added.size() > kCommandLineLimit) {
        // The complete command no longer fits a history line; a cut one would run differently
        // when taken from the history, so the line is not recorded at all.
        g.recording = 0;
        g.collection = -1;
        return;
    }
    std::memcpy(g.pending + n, added.c_str(), added.size() + 1);
    ++g.collection;
}

void stop_answer_collection() {
    g.collection = -1;
}

int answer_collection_index() {
    return g.collection;
}

const char* take_pending_echo() {
    if (g.recording != 1 || !g.has_pending) return nullptr;
    g.recording = -1;
    return g.pending;
}

int history_count() {
    return g.count;
}

const char* history_line(int k) {
    if (k < 0 || k >= g.count) return nullptr;
    return g.lines[slot_of(k)];
}

void clear_history() {
    g.start = 0;
    g.count = 0;
    g.position = -1;
    for (auto& line : g.lines) line[0] = '\0';
    mirror_history();
}

void mirror_history() {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr) return;
    std::vector<std::string> newest_first;
    for (int k = g.count - 1; k >= 0; --k) newest_first.emplace_back(g.lines[slot_of(k)]);
    ui->set_command_history(newest_first);
}

const char* history_previous(const char* current) {
    if (g.count == 0) return nullptr;
    if (g.position < 0) {
        g.saved_text = current != nullptr ? current : "";
        g.position = g.count - 1;
    } else if (g.position > 0) {
        --g.position;
    }
    return g.lines[slot_of(g.position)];
}

const char* history_next() {
    if (g.position < 0) return nullptr;
    if (g.position + 1 < g.count) {
        ++g.position;
        return g.lines[slot_of(g.position)];
    }
    g.position = -1;
    return g.saved_text.c_str();
}

bool history_browsing() {
    return g.position >= 0;
}

void end_history_browsing() {
    g.position = -1;
}

int cmd_command_history() {
    if (current_command() == kCmdClearHistory) {
        if (platform::UiBackend* ui = platform::current_ui()) ui->set_command_line_text("");
        clear_history();
        return 0;
    }
    if (current_command() != kCmdHistory) return 0;
    if (g.count == 0) {
        show_error(kMsgHistoryEmpty);
        return 0;
    }
    print_msg(kMsgHistoryHeader);
    for (int k = 0; k < g.count; ++k) {
        write_output_text(g.lines[slot_of(k)], false);
        write_output_text("\n", false);
    }
    return 0;
}

void reset_command_history() {
    g = History{};
}

void set_command_line_text(const char* text) {
    if (platform::UiBackend* ui = platform::current_ui())
        ui->set_command_line_text(text != nullptr ? text : "");
}

void clear_command_line() {
    set_command_line_text("");
    end_history_browsing();
}

namespace {
const platform::StateReset command_history_state_reset{
    "runtime/command_history", reset_command_history, platform::ResetLayer::runtime};
}  // namespace
