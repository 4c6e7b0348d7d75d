// Messages and error reporting. A failure travels up as a negative message number; here it
// becomes a shown text: text and kind from the message table, the text used as a format with
// the caller's arguments (checked by the safe formatter), an optional location prefix for
// errors of the command language, and the display by kind: the status field, a beep, a
// message box, or before the main loop runs a message box titled "TAVO LT".
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "platform/ui.h"
#include "runtime/safe_format.h"
#include "tables/table_names.h"

inline constexpr int kStopped = -9999;         // stopped: nothing to show
inline constexpr int kErrorTextReady = -9998;  // the text is in the error-text buffer

enum MessageKind : int {
    kMessageInformation = 0,
    kMessageWarning = 1,
    kMessageError = 2,
};

inline constexpr char kProgramTitle[] = "TAVO LT";
inline constexpr std::size_t kMessageBufferSize = 512;
inline constexpr std::size_t kErrorTextSize = 512;
inline constexpr std::size_t kPromptTextLimit = 47;   // characters of a status_msg kept
inline constexpr std::size_t kPendingNameWhole = 33;  // shorter names are shown whole
inline constexpr std::size_t kPendingNameCut = 17;    // longer ones as 17 characters and "..."

// The running flag: 1 while the main loop runs; before it, after an accepted exit and during a
// reload of the definitions messages go to message boxes titled "TAVO LT".
int running_flag();
void set_running_flag(int running);

// Where the command language is when an error is reported. The interpreter keeps these up to
// date; -1 and null mean "none".
struct MessageLocation {
    int builtin_command = -1;              // the built-in command whose call is evaluated
    int argument_number = -1;              // the argument being evaluated
    const char* parameter_name = nullptr;  // name of that argument's descriptor, when known
    const char* nested_line = nullptr;     // text of a nested line being run
    int compiling = 0;                     // 1 while a line is being compiled
    int compile_line = 0;                  // line number of a compile error (0: not known)
    const char* compile_source = nullptr;  // source name of a compile error
    int current_command = -1;              // symbol of the current command (-1 none)
    int pending_error = 0;                 // the interpreter's pending error
};
MessageLocation& message_location();
// Names of the procedures of the nested calls, innermost first, for the call trace. Installed
// by the interpreter; without it no trace is printed.
using CallTraceSource = int (*)(int level, const char** name);  // 0 when the level exists
void set_call_trace_source(CallTraceSource source, int (*call_depth)());
// The procedures that called the running one, printed in step mode; -91 shown when no
// procedure called it.
void show_procedure_trace();

// The pending name: a file or item name that the next reported message puts into its "%s".
void set_pending_name(const char* name);
const char* pending_name();

// Reports a code: -9999 shows nothing, -9998 the error-text buffer as an error, any other
// the message of that number with the pending name as its argument.
void show_error(int code);
// Reports the interpreter's pending error with its location, then the call trace in step
// mode.
void report_kpl_error();
// Reports the pending error of a line that has run, if any, and clears the location for the
// next line. The main loop calls it after the typed line; the line runner itself does not,
// since its other callers (lens files, command strings) report failures in their own way.
void report_pending_kpl_error();

// The error-text buffer that -9998 shows.
const char* error_text_buffer();

// Shows a formatted text by its kind, as a reported message is shown (status field, beep, box;
// a box titled "TAVO LT" before the main loop runs). 0, or -9999 when a box was cancelled.
int show_message_text(int kind, const char* text);
// How a message of a kind shows on a user interface: a warning on the status line with a beep,
// an error in a box (on the status line with the no-error-boxes switch), anything else on the
// status line. kStopped when the box was not answered with OK.
int show_message_on(platform::UiBackend& ui, int kind, const char* text);
// Between these two calls (a line typed on the command line runs) an error is shown on the
// status line with a beep, not in a box that would have to be dismissed; the end gives the
// number of errors shown.
void begin_typed_line_errors();
int end_typed_line_errors();
// The window code's status line takes over the display by kind (after the echo) once it is
// installed; null gives the display back to the plain one here.
void set_status_shower(int (*shower)(int kind, const char* text));

// The message of a number formatted with arguments (the table text is the format).
std::string format_message(int code, std::span<const FormatArg> args, int* kind = nullptr);

int msg_box_args(int code, std::span<const FormatArg> args);
int msgbox_printf_args(const char* format, std::span<const FormatArg> args);
int ask_msg_args(int code, std::span<const FormatArg> args);
void status_msg_args(int code, std::span<const FormatArg> args);
int set_error_msg_args(int code, std::span<const FormatArg> args);
void print_msg_args(int code, std::span<const FormatArg> args);
void text_printf_args(const char* format, std::span<const FormatArg> args);
void gfx_print_msg_args(int code, std::span<const FormatArg> args);
void gfx_printf_args(const char* format, std::span<const FormatArg> args);

// Text drawn into a graphics window goes through the formatted-output buffer: the graphics code
// installs the primitive that draws the buffer at the current point of the current graphics
// window. Without one there is no graphics window to draw into and the text is only formatted.
inline constexpr std::size_t kFormattedOutputSize = 512;
const char* formatted_output_buffer();
// Puts text into the formatted-output buffer without drawing it (cut to the buffer's size).
void set_formatted_output(const char* text);
void set_graphics_text_drawer(void (*draw_buffer_at_current_point)());

#define TAVO_FORMAT_ARGS(args)                                    \
    const FormatArg list_[] = {FormatArg(args)..., FormatArg(0)}; \
    const std::span<const FormatArg> span_(list_, sizeof...(Args))

// Formats message code with the arguments and shows it by its kind; the value of the box or
// display (0, or -9999 for a cancelled box).
template <typename... Args>
int msg_box(int code, const Args&... args) {
    TAVO_FORMAT_ARGS(args);
    return msg_box_args(code, span_);
}
// The same with a format of the caller's and kind 0.
template <typename... Args>
int msgbox_printf(const char* format, const Args&... args) {
    TAVO_FORMAT_ARGS(args);
    return msgbox_printf_args(format, span_);
}
// An OK/Cancel question (code 0 asks message -88): 0 for OK, -9999 otherwise.
template <typename... Args>
int ask_msg(int code, const Args&... args) {
    TAVO_FORMAT_ARGS(args);
    return ask_msg_args(code, span_);
}
// A message in the prompt field (code 0: message -1, without echo).
template <typename... Args>
void status_msg(int code, const Args&... args) {
    TAVO_FORMAT_ARGS(args);
    status_msg_args(code, span_);
}
// Formats message code into the error-text buffer; returns -9998 for the caller to pass up.
template <typename... Args>
int set_error_msg(int code, const Args&... args) {
    TAVO_FORMAT_ARGS(args);
    return set_error_msg_args(code, span_);
}
// Formats message code and writes it to the text output.
template <typename... Args>
void print_msg(int code, const Args&... args) {
    TAVO_FORMAT_ARGS(args);
    print_msg_args(code, span_);
}
// Formats a text and writes it to the text output.
template <typename... Args>
void text_printf(const char* format, const Args&... args) {
    TAVO_FORMAT_ARGS(args);
    text_printf_args(format, span_);
}

// Formats message code, or a text of the caller's, into the formatted-output buffer and draws it
// at the current point of the current graphics window.
template <typename... Args>
void gfx_print_msg(int code, const Args&... args) {
    TAVO_FORMAT_ARGS(args);
    gfx_print_msg_args(code, span_);
}
template <typename... Args>
void gfx_printf(const char* format, const Args&... args) {
    TAVO_FORMAT_ARGS(args);
    gfx_printf_args(format, span_);
}

#undef TAVO_FORMAT_ARGS

// Writes a text in a field of width columns, right- or left-aligned (see text_output).
void text_field(const char* text, int width, bool right);

// Adapter for the table readers' error reporter: the argument becomes the pending name.
void report_table_message(int code, const char* argument);
// Installs report_table_message as the table readers' reporter.
void install_message_reporter();

// Texts of the current list: entry i's display text without a leading brace group, '_'
// shown as blanks; "?" when there is no entry i.
const char* list_entry_display_text(int i);
const char* skip_brace_prefix(const char* text);
void underscores_to_blanks(char* text);
int brace_alias(const char* text);
char* shared_name_buffer();

// Called before a message box of the start-up opens (the start-up picture closes first).
void set_before_start_up_box(void (*close_splash)());
