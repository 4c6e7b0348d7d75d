#include "runtime/messages.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/definitions.h"
#include "runtime/output_options.h"
#include "runtime/table_files.h"
#include "runtime/table_lists.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"

namespace {

// What the messages keep: whether the main loop runs (the program's, not a session's), where the
// last failure happened, the pending name, the texts the last message was built in, the open
// question, and the showers, the call trace and the splash closer installed at start.
struct MessagesState {
    int running = 0;
    MessageLocation location;
    CallTraceSource trace_source = nullptr;
    int (*trace_depth)() = nullptr;
    std::string pending;
    bool pending_set = false;
    char error_text[kErrorTextSize] = {};
    char message_buffer[kMessageBufferSize] = {};
    std::size_t prefix_length = 0;
    int question_open = 0;
    char name_buffer[kMessageBufferSize] = {};
    // The start-up picture lies above this layer; the program installs what closes it.
    void (*before_start_up_box)() = nullptr;
    int (*status_shower)(int kind, const char* text) = nullptr;
    char formatted_output[kFormattedOutputSize] = {};
    void (*graphics_text_drawer)() = nullptr;
    std::string list_entry_text;  // what list_entry_display_text returned last
};

MessagesState g_messages;

// The same message with the arguments given; the table's text is untrusted, so it goes
// through the checking formatter.
std::string formatted(int code, std::span<const FormatArg> args, int* kind) {
    int k = kMessageError;
    const char* text = msg_text_kind(code, &k);
    if (kind != nullptr) *kind = k;
    return safe_format(text, args);
}

std::string blanks_for_underscores(const char* text) {
    std::string s = text != nullptr ? text : "";
    for (char& c : s) {
        if (c == '_') c = ' ';
    }
    return s;
}

void copy_to_message_buffer(std::size_t at, const std::string& text) {
    if (at >= kMessageBufferSize) at = kMessageBufferSize - 1;
    const std::size_t n = std::min(text.size(), kMessageBufferSize - 1 - at);
    std::memcpy(g_messages.message_buffer + at, text.data(), n);
    g_messages.message_buffer[at + n] = '\0';
}

platform::MessageIcon icon_for(int kind) {
    switch (kind) {
        case kMessageWarning:
            return platform::MessageIcon::information;
        case kMessageError:
            return platform::MessageIcon::warning;
        default:
            return platform::MessageIcon::none;
    }
}

// A task-modal box titled "TAVO LT", the splash closed first; without a user interface the text
// goes to standard error.
int start_up_box(const char* text, platform::MessageButtons buttons, platform::MessageIcon icon) {
    if (g_messages.before_start_up_box != nullptr) g_messages.before_start_up_box();
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr) {
        std::fprintf(stderr, "%s: %s\n", kProgramTitle, text);
        return buttons == platform::MessageButtons::ok ? 0 : kStopped;
    }
    platform::MessageBoxRequest request;
    request.text = text;
    request.title = kProgramTitle;
    request.buttons = buttons;
    request.icon = icon;
    return ui->message_box(request) == platform::MessageAnswer::ok ? 0 : kStopped;
}

}  // namespace

int running_flag() {
    return g_messages.running;
}

void set_running_flag(int value) {
    g_messages.running = value != 0 ? 1 : 0;
}

MessageLocation& message_location() {
    return g_messages.location;
}

void set_call_trace_source(CallTraceSource source, int (*call_depth)()) {
    g_messages.trace_source = source;
    g_messages.trace_depth = call_depth;
}

void show_procedure_trace() {
    if (g_messages.trace_source == nullptr || g_messages.trace_depth == nullptr ||
        g_messages.trace_depth() < 2) {
        show_error(kMsgNoCallingProcedure);
        return;
    }
    if (output_option(kOptionStepMode) == 0) return;
    text_out(msg_text(kMsgCallTrace));
    text_newline();
    for (int level = 1;; ++level) {
        const char* name = nullptr;
        if (g_messages.trace_source(level, &name) != 0) break;
        const std::string line = std::string("   ") + (name != nullptr ? name : "") + "\n";
        write_output_text(line.c_str(), false);
    }
}

void set_pending_name(const char* name) {
    g_messages.pending_set = name != nullptr;
    g_messages.pending = name != nullptr ? name : "";
}

const char* pending_name() {
    return g_messages.pending_set ? g_messages.pending.c_str() : nullptr;
}

const char* error_text_buffer() {
    return g_messages.error_text;
}

void set_status_shower(int (*shower)(int kind, const char* text)) {
    g_messages.status_shower = shower;
}

int show_message_text(int kind, const char* text) {
    if (text == nullptr) text = "";
    if (g_messages.running == 0)
        return start_up_box(text, platform::MessageButtons::ok, icon_for(kind));
    if (output_option(kOptionEcho) != 0) echo_command_text(text, false);
    if (g_messages.status_shower != nullptr) return g_messages.status_shower(kind, text);
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr) {
        std::fprintf(stderr, "%s\n", text);
        return 0;
    }
    return show_message_on(*ui, kind, text);
}

namespace {

// While a typed line runs, its errors go to the status line instead of a box.
struct TypedLineErrors {
    bool active = false;
    int shown = 0;
};

TypedLineErrors& typed_line_errors() {
    static TypedLineErrors t;
    return t;
}

}  // namespace

void begin_typed_line_errors() {
    typed_line_errors() = TypedLineErrors{true, 0};
}

int end_typed_line_errors() {
    const int shown = typed_line_errors().shown;
    typed_line_errors() = TypedLineErrors{};
    return shown;
}

int show_message_on(platform::UiBackend& ui, int kind, const char* text) {
    int result = 0;
    if (kind == kMessageWarning) {
        ui.beep();
        ui.set_status_text(text);
    } else if (kind == kMessageError) {
        ui.beep();
        if (typed_line_errors().active) {
            ui.set_status_text(text);
        } else if (output_option(kOptionNoErrorBoxes) != 0) {
            ui.set_status_text(text);
        } else {
            // A key typed ahead must not dismiss the box.
            ui.poll_escape();
            platform::MessageBoxRequest request;
            request.text = text;
            request.title = msg_text(kMsgErrorBoxCaption);
            request.buttons = platform::MessageButtons::ok;
            request.icon = platform::MessageIcon::warning;
            if (ui.message_box(request) != platform::MessageAnswer::ok) result = kStopped;
        }
    } else {
        ui.set_status_text(text);
    }
    return result;
}

void show_error(int code) {
    if (code == kStopped) return;
    if (typed_line_errors().active) ++typed_line_errors().shown;
    int kind = kMessageError;
    std::string text;
    if (code == kErrorTextReady) {
        text = g_messages.error_text;
    } else {
        text = msg_text_kind(code, &kind);
    }
    std::string composed;
    if (kind == kMessageError && g_messages.location.builtin_command >= 0 &&
        g_messages.location.argument_number >= 0) {
        if (g_messages.location.parameter_name != nullptr) {
            composed = blanks_for_underscores(g_messages.location.parameter_name);
        } else {
            const FormatArg n[] = {g_messages.location.argument_number + 1};
            composed = formatted(kMsgArgumentNumber, n, nullptr);
        }
        composed += ": ";
    }
    if (code == kErrorTextReady) {
        // Already formatted: a '%' in it (a file name, say) is shown as it stands.
        composed += text;
    } else {
        std::string name;
        if (g_messages.pending_set) {
            name = g_messages.pending.size() < kPendingNameWhole
                       ? g_messages.pending
                       : g_messages.pending.substr(0, kPendingNameCut) + "...";
        }
        const FormatArg arg[] = {name};
        composed += safe_format(text.c_str(), arg);
    }
    copy_to_message_buffer(g_messages.prefix_length, composed);
    set_pending_name(nullptr);
    show_message_text(kind, g_messages.message_buffer);
}

void report_pending_kpl_error() {
    if (g_messages.location.pending_error != 0) report_kpl_error();
    g_messages.location.pending_error = 0;
    g_messages.location.nested_line = nullptr;
    g_messages.location.builtin_command = -1;
    g_messages.location.argument_number = -1;
    g_messages.location.parameter_name = nullptr;
}

void report_kpl_error() {
    const MessageLocation& at = g_messages.location;
    if (at.pending_error == kStopped) return;
    std::string prefix;
    if (at.compiling != 0) {
        if (at.compile_line > 0) {
            const FormatArg args[] = {at.compile_line,
                                      at.compile_source != nullptr ? at.compile_source : ""};
            prefix = formatted(kMsgCompileErrorAtLine, args, nullptr);
        } else {
            prefix = msg_text(kMsgCompileError);
        }
    } else if (at.builtin_command < 0) {
        if (at.nested_line != nullptr) {
            prefix = std::string(msg_text(kMsgErrorInLine)) + "*" + at.nested_line;
        } else if (at.current_command < 0) {
            prefix = msg_text(kMsgErrorNoCommand);
        } else {
            const char* name = symbol_name(at.current_command);
            prefix = std::string(msg_text(kMsgErrorInLine)) + (name != nullptr ? name : "");
        }
    } else {
        const char* name = symbol_name(at.builtin_command);
        prefix = std::string(msg_text(kMsgErrorInCall)) + (name != nullptr ? name : "");
    }
    prefix += ": \n";
    copy_to_message_buffer(0, prefix);
    g_messages.prefix_length = std::strlen(g_messages.message_buffer);
    show_error(at.pending_error);
    g_messages.prefix_length = 0;
    if (output_option(kOptionStepMode) != 0 && g_messages.trace_source != nullptr &&
        g_messages.trace_depth != nullptr && g_messages.trace_depth() > 0) {
        text_out(msg_text(kMsgCallTrace));
        text_newline();
        for (int level = 0;; ++level) {
            const char* name = nullptr;
            if (g_messages.trace_source(level, &name) != 0) break;
            const std::string line = std::string("   ") + (name != nullptr ? name : "") + "\n";
            write_output_text(line.c_str(), false);
        }
    }
}

std::string format_message(int code, std::span<const FormatArg> args, int* kind) {
    return formatted(code, args, kind);
}

int msg_box_args(int code, std::span<const FormatArg> args) {
    int kind = kMessageError;
    copy_to_message_buffer(0, formatted(code, args, &kind));
    return show_message_text(kind, g_messages.message_buffer);
}

int msgbox_printf_args(const char* format, std::span<const FormatArg> args) {
    copy_to_message_buffer(0, safe_format(format, args));
    return show_message_text(kMessageInformation, g_messages.message_buffer);
}

int ask_msg_args(int code, std::span<const FormatArg> args) {
    if (code == 0) code = kMsgContinueQuestion;
    g_messages.question_open = 1;
    std::string text = formatted(code, args, nullptr);
    if (text.find('\n') == std::string::npos) text += msg_text(kMsgContinueQuestion);
    copy_to_message_buffer(0, text);
    const int result = start_up_box(g_messages.message_buffer, platform::MessageButtons::ok_cancel,
                                    platform::MessageIcon::question);
    g_messages.question_open = 0;
    return result;
}

void status_msg_args(int code, std::span<const FormatArg> args) {
    const bool echo = code != 0;
    if (code == 0) code = kMsgIdlePrompt;
    std::string text = formatted(code, args, nullptr);
    copy_to_message_buffer(0, text);
    if (text.size() > kPromptTextLimit) text.resize(kPromptTextLimit);
    if (platform::UiBackend* ui = platform::current_ui()) ui->set_status_text(text);
    if (echo && output_option(kOptionEcho) != 0)
        echo_command_text(g_messages.message_buffer, false);
}

int set_error_msg_args(int code, std::span<const FormatArg> args) {
    safe_format_to(g_messages.error_text, sizeof g_messages.error_text, msg_text(code), args);
    return kErrorTextReady;
}

void print_msg_args(int code, std::span<const FormatArg> args) {
    text_out(formatted(code, args, nullptr).c_str());
}

void text_printf_args(const char* format, std::span<const FormatArg> args) {
    text_out(safe_format(format, args).c_str());
}

namespace {

void draw_formatted_output(const std::string& text) {
    std::snprintf(g_messages.formatted_output, sizeof g_messages.formatted_output, "%s",
                  text.c_str());
    if (g_messages.graphics_text_drawer != nullptr) g_messages.graphics_text_drawer();
}

}  // namespace

const char* formatted_output_buffer() {
    return g_messages.formatted_output;
}

void set_formatted_output(const char* text) {
    std::snprintf(g_messages.formatted_output, sizeof g_messages.formatted_output, "%s",
                  text != nullptr ? text : "");
}

void set_graphics_text_drawer(void (*draw_buffer_at_current_point)()) {
    g_messages.graphics_text_drawer = draw_buffer_at_current_point;
}

void gfx_print_msg_args(int code, std::span<const FormatArg> args) {
    draw_formatted_output(formatted(code, args, nullptr));
}

void gfx_printf_args(const char* format, std::span<const FormatArg> args) {
    draw_formatted_output(safe_format(format, args));
}

void text_field(const char* text, int width, bool right) {
    if (width < 0) width = 0;
    std::string s = text != nullptr && text[0] != '\0' ? text : " ";
    const std::size_t first = s.find_first_not_of(' ');
    s = first == std::string::npos ? s.substr(s.size() - 1) : s.substr(first);
    const std::size_t last = s.find_last_not_of(' ');
    if (last != std::string::npos) s.resize(last + 1);
    const std::size_t w = static_cast<std::size_t>(width);
    if (s.size() < w) {
        s = right ? std::string(w - s.size(), ' ') + s : s + std::string(w - s.size(), ' ');
    } else {
        s.resize(w);
    }
    write_output_text(s.c_str(), false);
}

void report_table_message(int code, const char* argument) {
    // The path is shown whole: cut like a pending name it would lose the table's own name.
    set_error_msg(code, argument != nullptr ? argument : "");
    show_error(kErrorTextReady);
}

void install_message_reporter() {
    set_table_error_reporter(report_table_message);
}

// --- texts of the current list ---------------------------------------------------------------

const char* list_entry_display_text(int i) {
    const char* first = current_list_first(i);
    if (first == nullptr) return "?";
    g_messages.list_entry_text = blanks_for_underscores(skip_brace_prefix(first));
    return g_messages.list_entry_text.c_str();
}

const char* skip_brace_prefix(const char* text) {
    if (text == nullptr) return "";
    if (text[0] == '{') {
        if (const char* close = std::strchr(text, '}')) {
            text = close + 1;
            while (*text == ' ') ++text;
        }
    }
    return text;
}

void underscores_to_blanks(char* text) {
    if (text == nullptr) return;
    for (; *text != '\0'; ++text) {
        if (*text == '_') *text = ' ';
    }
}

int brace_alias(const char* text) {
    if (text == nullptr) text = "";
    const char* close = text[0] == '{' ? std::strchr(text, '}') : nullptr;
    if (close != nullptr) {
        const std::size_t n =
            std::min<std::size_t>(close - text - 1, sizeof g_messages.name_buffer - 1);
        std::memcpy(g_messages.name_buffer, text + 1, n);
        g_messages.name_buffer[n] = '\0';
        return static_cast<int>(close - text);
    }
    const std::size_t n = std::min(std::strlen(text), sizeof g_messages.name_buffer - 1);
    std::memcpy(g_messages.name_buffer, text, n);
    g_messages.name_buffer[n] = '\0';
    return static_cast<int>(std::strlen(text)) + 1;
}

char* shared_name_buffer() {
    return g_messages.name_buffer;
}

void set_before_start_up_box(void (*close_splash)()) {
    g_messages.before_start_up_box = close_splash;
}

namespace {
// Whether the main loop runs is the program's, not the session's, and the showers and the call
// trace installed at start stay; what the last messages left goes.
void reset_messages() {
    MessagesState fresh;
    fresh.running = g_messages.running;
    fresh.trace_source = g_messages.trace_source;
    fresh.trace_depth = g_messages.trace_depth;
    fresh.before_start_up_box = g_messages.before_start_up_box;
    fresh.status_shower = g_messages.status_shower;
    fresh.graphics_text_drawer = g_messages.graphics_text_drawer;
    g_messages = std::move(fresh);
}
const platform::StateReset messages_state_reset{"runtime/messages", reset_messages,
                                                platform::ResetLayer::runtime};
}  // namespace
