#include "runtime/text_output.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/paths.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/log_file.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/state_flags.h"
#include "runtime/table_lists.h"
#include "runtime/table_messages.h"

namespace {

constexpr int kWidthWindows = 5;  // windows 0..4 have a line width

struct Writer {
    int window = -1;  // the window the writer is synchronised with
    int width = kDefaultLineWidth;
    char line[kPendingLineSize + 1] = {};
    std::size_t length = 0;
    std::uint8_t hot[kHotspotBufferSize] = {};
    std::size_t hot_length = 0;
    int hot_state = 0;  // 0 none open, 1 one open, -1 suppressed
};

struct NumberStore {
    double values[kOutputRows][kOutputColumns] = {};
    int head = 0;
    int row = 0;
    int count = 0;  // numbers recorded in the current row
    int lines = 0;  // lines written since the last move or clear
    int saved_row = 0;
    int saved_head = 0;
};

// What the text output keeps between calls: the line being written, the numbers stored for each
// text window, the windows written to, their line widths and the sinks the lines go to.
struct TextOutputState {
    Writer writer;
    NumberStore stores[2];
    int out_window = platform::kWindowText1;
    int text_window = platform::kWindowText1;
    int widths[kWidthWindows] = {kDefaultLineWidth, kDefaultLineWidth, kDefaultLineWidth,
                                 kDefaultLineWidth, kDefaultLineWidth};
    OutputLineSink line_sink = default_output_line_sink;
    EditWindowSink edit_sink = nullptr;
    PendingEchoSource echo_source = nullptr;
};

TextOutputState g_output;

NumberStore& store() {
    return g_output.stores[g_output.text_window == platform::kWindowText2 ? 1 : 0];
}

bool output_held_back() {
    return test_state_flag(kFlagOutputHeldBack) != 0;
}

bool to_current_text_window() {
    return g_output.out_window == g_output.text_window;
}

int ring(long long row) {
    const long long r = row % kOutputRows;
    return static_cast<int>(r < 0 ? r + kOutputRows : r);
}

void put_be16(int value) {
    g_output.writer.hot[g_output.writer.hot_length++] =
        static_cast<std::uint8_t>((value >> 8) & 0xff);
    g_output.writer.hot[g_output.writer.hot_length++] = static_cast<std::uint8_t>(value & 0xff);
}

// Opens a hot spot at the current column when none is open and the buffer holds fewer than
// limit bytes.
void open_hotspot(int item, int index, std::size_t limit) {
    if (g_output.writer.hot_state != 0 || g_output.writer.hot_length >= limit) return;
    if (g_output.writer.hot_length + 6 > kHotspotBufferSize) return;
    put_be16(item);
    put_be16(index);
    g_output.writer.hot[g_output.writer.hot_length++] =
        static_cast<std::uint8_t>(g_output.writer.length);
    g_output.writer.hot_state = 1;
}

void close_hotspot() {
    if (g_output.writer.hot_state != 1) return;
    g_output.writer.hot[g_output.writer.hot_length++] =
        static_cast<std::uint8_t>(g_output.writer.length);
    g_output.writer.hot_state = 0;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Reads decimal digits, saturating at limit.
int read_digits(const char*& p, int limit) {
    int value = 0;
    while (is_digit(*p)) {
        value = std::min(limit, value * 10 + (*p - '0'));
        ++p;
    }
    return value;
}

// The '@' markup after the '@' at p; returns the position after it, or null when the '@' is
// to be written as it stands.
const char* hotspot_markup(const char* p) {
    const char* q = p + 1;
    int flags = 0x4000;
    int index = 0;
    if (is_digit(*q) || (*q == '-' && is_digit(q[1]))) {
        const bool negative = *q == '-';
        if (negative) ++q;
        index = read_digits(q, 0x0fff);
        if (negative) flags |= 0x0001;
    } else if (*q == '#') {
        flags = 0x4002;
        ++q;
    } else if (*q == '@') {
        ++q;
    } else if (*q == '~') {
        g_output.writer.hot_state = -1;
        return q + 1;
    } else {
        return nullptr;
    }
    if (*q == '.' && is_digit(q[1])) {
        const char* r = q + 1;
        const int k = read_digits(r, 16);
        if (k >= 1 && k <= 15) {
            index |= k << 12;
            q = r;
        }
    }
    if (*q == '-') {
        flags |= 0x0004;
        ++q;
    }
    if (*q == '~') ++q;
    const std::size_t limit =
        g_output.writer.window == platform::kWindowFrame ? 0 : kHotspotMarkupLimit;
    open_hotspot(flags, index, limit);
    return q;
}

void append_char(char c, int extra_blanks) {
    // Control characters are dropped; bytes from 0x80 on belong to names such as "µm".
    const auto byte = static_cast<unsigned char>(c);
    const bool printable = byte >= 0x20 && byte != 0x7f;
    if (!printable && extra_blanks == 0) return;  // a CR of a CR LF text, say
    if (static_cast<int>(g_output.writer.length) + extra_blanks >= g_output.writer.width)
        flush_output_line();
    if (printable) g_output.writer.line[g_output.writer.length++] = c;
    for (int i = 0; i < extra_blanks && g_output.writer.length < kPendingLineSize; ++i) {
        g_output.writer.line[g_output.writer.length++] = ' ';
    }
}

}  // namespace

int output_window() {
    return g_output.out_window;
}

void set_output_window(int window) {
    if (window >= platform::kWindowFrame && window <= platform::kWindowEdit)
        g_output.out_window = window;
}

int current_text_window() {
    return g_output.text_window;
}

void set_current_text_window(int window) {
    if (window == platform::kWindowText1 || window == platform::kWindowText2)
        g_output.text_window = window;
}

int text_window_width(int window) {
    if (window < 0 || window >= kWidthWindows) return 0;
    if (running_flag() == 0) return kDefaultLineWidth;
    return g_output.widths[window];
}

void set_text_window_width(int window, int width) {
    if (window < 0 || window >= kWidthWindows) return;
    g_output.widths[window] = std::clamp(width, 1, static_cast<int>(kPendingLineSize) - 1);
}

void set_output_line_sink(OutputLineSink sink) {
    g_output.line_sink = sink != nullptr ? sink : default_output_line_sink;
}

void default_output_line_sink(const OutputLine& line) {
    platform::UiBackend* ui = platform::current_ui();
    if (ui != nullptr &&
        (platform::is_text_window(line.window) || line.window == platform::kWindowSpreadsheet)) {
        ui->add_text_line(line.window, line.text);
    }
}

void set_edit_window_sink(EditWindowSink sink) {
    g_output.edit_sink = sink;
}

void set_pending_echo_source(PendingEchoSource source) {
    g_output.echo_source = source;
}

void text_sync_window() {
    if (g_output.writer.window != g_output.out_window) {
        // Only a line with something in it is sent: a bare window switch must not leave
        // empty lines in the window or the log.
        if (g_output.writer.window >= 0 &&
            (g_output.writer.length > 0 || g_output.writer.hot_length > 0)) {
            flush_output_line();
        }
        g_output.writer.window = g_output.out_window;
        g_output.writer.hot_length = 0;
        g_output.writer.hot_state = 0;
    }
    const int width = text_window_width(g_output.out_window);
    g_output.writer.width = std::clamp(width, 1, static_cast<int>(kPendingLineSize) - 1);
}

void write_output_text(const char* text, bool markup) {
    text_sync_window();
    if (text == nullptr) return;
    const bool hotspots = g_output.out_window != platform::kWindowSpreadsheet &&
                          g_output.out_window != platform::kWindowList;
    for (const char* p = text; *p != '\0';) {
        const char c = *p;
        if (markup && c == '\\' && is_digit(p[1])) {
            ++p;
            const int n = read_digits(p, g_output.writer.width);
            if (n >= 1) append_char(' ', n - 1);
            continue;
        }
        if (markup && c == '@' && hotspots) {
            if (g_output.writer.hot_state == 1) {
                close_hotspot();
                ++p;
                continue;
            }
            if (const char* next = hotspot_markup(p)) {
                p = next;
                continue;
            }
        }
        ++p;
        if (c == '\t') {
            append_char(' ', 3);
        } else if (c == '\n') {
            flush_output_line();
        } else {
            append_char(c, 0);
        }
    }
    close_hotspot();
    if (g_output.writer.hot_state < 0) g_output.writer.hot_state = 0;
}

bool output_line_pending() {
    return g_output.writer.length > 0 || g_output.writer.hot_length > 0 ||
           g_output.writer.hot_state > 0;
}

void flush_output_line() {
    g_output.writer.line[g_output.writer.length] = '\0';
    close_hotspot();
    const int window = g_output.writer.window < 0 ? g_output.out_window : g_output.writer.window;
    const bool may_show = output_option(kOptionOutputText) != 0 &&
                          output_option(kOptionOutputOn) != 0 && !output_held_back();
    if (running_flag() != 0 && (may_show || window >= platform::kWindowSpreadsheet)) {
        OutputLine line;
        line.window = window;
        line.text.assign(g_output.writer.line, g_output.writer.length);
        line.hotspots.assign(g_output.writer.hot, g_output.writer.hot + g_output.writer.hot_length);
        g_output.line_sink(line);
    }
    const std::string text(g_output.writer.line, g_output.writer.length);
    g_output.writer.length = 0;
    g_output.writer.line[0] = '\0';
    g_output.writer.hot_length = 0;
    if (g_output.writer.hot_state > 0) g_output.writer.hot_state = 0;
    if (window == g_output.text_window) {
        if (output_option(kOptionLog) != 0 && output_option(kOptionOutputOn) != 0 &&
            !output_held_back() && log_is_open()) {
            log_write_line(text.c_str());
        }
        NumberStore& s = store();
        if (s.count > 0) {
            ++s.lines;
            s.row = ring(s.row + 1);
        }
        s.count = 0;
    }
}

void echo_command_text(const char* text, bool outgoing) {
    if (text == nullptr || !to_current_text_window()) return;
    bool first = true;
    const char* p = text;
    while (true) {
        while (*p == ' ') ++p;
        const char* end = std::strchr(p, '\n');
        const std::size_t n = end != nullptr ? static_cast<std::size_t>(end - p) : std::strlen(p);
        if (n > 0 || first) {
            std::string line = outgoing ? ">> " : "<< ";
            line.append(p, n);
            line += '\n';
            write_output_text(line.c_str(), false);
        }
        first = false;
        if (end == nullptr) break;
        p = end + 1;
    }
}

void text_out(const char* text) {
    if (g_output.out_window == platform::kWindowEdit) {
        if (g_output.edit_sink != nullptr && text != nullptr) g_output.edit_sink(text);
        return;
    }
    if (output_option(kOptionEcho) != 0 && output_option(kOptionOutputOn) != 0 &&
        !output_held_back() && to_current_text_window() && g_output.echo_source != nullptr) {
        if (const char* line = g_output.echo_source()) {
            const std::string echoed = std::string("\n>> ") + line + "\n";
            write_output_text(echoed.c_str(), false);
        }
    }
    write_output_text(text, true);
}

void text_line(const char* text) {
    write_output_text(text, false);
    write_output_text("\n", false);
}

void text_newline() {
    text_out("\n");
}

void text_spaces(int n) {
    if (n <= 0) return;
    const std::string blanks(static_cast<std::size_t>(std::min(n, 4096)), ' ');
    write_output_text(blanks.c_str(), false);
}

void text_int(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%3d", value);
    write_output_text(text, false);
}

void record_output_number(double value) {
    text_sync_window();
    NumberStore& s = store();
    if (!to_current_text_window() || output_option(kOptionOutputOn) == 0 ||
        s.count >= kOutputColumns || g_output.writer.hot_length >= kHotspotMarkupLimit) {
        return;
    }
    s.values[s.row][s.count] = value;
    ++s.count;
    open_hotspot(s.row + 1, s.count - 1, kHotspotMarkupLimit);
}

void text_number(double value) {
    if (output_option(kOptionOutputText) == 0 && to_current_text_window()) {
        record_output_number(value);
        if (output_option(kOptionLog) != 0) text_number_fmt(value, 0, 0, 0);
        return;
    }
    text_number_fmt(value, 0, 0, 1);
}

void text_number_fmt(double value, int kind, int mode, int record) {
    if (record != 0) record_output_number(value);
    if (output_option(kOptionLog) != 0 && output_option(kOptionOutputText) != 0 &&
        log_file_name().find(".tlg") != std::string::npos) {
        kind = 2;
    }
    if (value == 0.0 && kind == 0 && to_current_text_window()) {
        const bool zero = output_option(kOptionPrintZero) != 0;
        const char* cell = output_option(kOptionFivePlaces) != 0
                               ? (zero ? "    0.0\\4" : "\\6--\\3")
                               : (zero ? "   0.0\\5" : "\\5--\\4");
        write_output_text(cell, true);
        return;
    }
    write_output_text(format_number(value, kind, mode), false);
}

void text_hotspot(int item, int index) {
    text_sync_window();
    if (g_output.out_window == platform::kWindowFrame ||
        g_output.out_window == platform::kWindowEdit)
        return;
    open_hotspot(item, index, kHotspotLimit);
}

void text_hotspot_cell(int item, int column, int row) {
    text_hotspot(item, ((row + 16) * 1024) + column);
}

namespace {

void hotspot_with_text(int item, int index, int flag, const char* text) {
    text_hotspot(flag != 0 && item >= 0 ? item | 0x3000 : item | 0x2000, index);
    if (text != nullptr) {
        const std::string shown = std::string("  ") + text;
        write_output_text(shown.c_str(), false);
    } else {
        write_output_text("  ", false);
    }
}

}  // namespace

void text_hotspot_msg(int item, int index, int flag, int message) {
    hotspot_with_text(item, index, flag, message != 0 ? msg_text(message) : nullptr);
}

void text_hotspot_text(int item, int column, int row, int flag, const char* text) {
    hotspot_with_text(item, ((row + 16) * 1024) + column, flag, text);
}

const char* parse_int_prefix(const char* text, int* value) {
    if (value != nullptr) *value = 0;
    if (text == nullptr) return text;
    const char* p = text;
    const bool negative = *p == '-';
    if (negative) ++p;
    if (!is_digit(*p)) return text;
    long long n = 0;
    while (is_digit(*p)) {
        n = std::min<long long>(n * 10 + (*p - '0'), 2147483647LL);
        ++p;
    }
    if (value != nullptr) *value = static_cast<int>(negative ? -n : n);
    return p;
}

void print_list_columns(int columns) {
    if (columns < 1) return;
    text_sync_window();
    const int base = (g_output.writer.width % columns) / 2;
    int indent = base;
    const int count = current_list_count();
    int in_line = 0;
    for (int i = 0; i < count; ++i) {
        text_spaces(indent);
        const std::string text = list_entry_display_text(i);
        write_output_text(text.c_str(), false);
        if (++in_line == columns) {
            write_output_text("\n", false);
            in_line = 0;
            indent = base;
        } else {
            indent = 80 / columns - static_cast<int>(text.size());
        }
    }
    if (in_line > 0) write_output_text("\n", false);
}

void report_bad_value(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    set_pending_name(text);
    show_error(kMsgBadValue);
}

void report_bad_value(double value) {
    const std::string text = format_number(value, 2, 0);
    set_pending_name(text.c_str());
    show_error(kMsgBadValue);
}

void output_rows_advance(int rows, int fill, double value) {
    if (running_flag() == 0) {
        g_output.text_window = platform::kWindowText1;
        g_output.out_window = platform::kWindowText1;
    }
    NumberStore& s = store();
    s.lines = 0;
    if (rows < 0) ++rows;
    if (rows > 0) {
        s.head = ring(static_cast<long long>(s.head) + rows - 1);
        s.row = s.head;
    } else {
        s.row = s.head;
        s.head = ring(static_cast<long long>(s.head) + rows);
    }
    if (fill != 0) {
        const int n = fill < 0 ? kOutputRows : std::min(fill, kOutputRows);
        for (int r = 0; r < n; ++r) {
            double* row = s.values[ring(static_cast<long long>(s.row) + r)];
            std::fill(row, row + kOutputColumns, value);
        }
    }
}

void output_rows_mark(int restore) {
    NumberStore& s = store();
    if (restore == 0) {
        s.saved_row = s.row;
        s.saved_head = s.head;
    } else {
        s.row = s.saved_row;
        s.head = s.saved_head;
    }
}

double get_output_value(int row, int column) {
    if (row < 1 || row > kOutputRows || column < 1 || column > kOutputColumns) return 0.0;
    const NumberStore& s = store();
    return s.values[ring(static_cast<long long>(s.head) + row - 1)][column - 1];
}

double printed_number(int window, int item, int slot, int* row_number) {
    const NumberStore& s = g_output.stores[window == platform::kWindowText2 ? 1 : 0];
    const int ring_row = ring(static_cast<long long>(item) - 1);
    const int column = slot < 0 ? 0 : (slot >= kOutputColumns ? kOutputColumns - 1 : slot);
    if (row_number != nullptr) *row_number = ring(static_cast<long long>(ring_row) - s.head) + 1;
    return s.values[ring_row][column];
}

int output_rows_current() {
    const NumberStore& s = store();
    return ring(static_cast<long long>(s.row) - s.head) + 1;
}

int output_lines_written() {
    return store().lines;
}

int type_text_file(const char* path, int to_edit_window) {
    if (path == nullptr || path[0] == '\0') return -7;
    std::FILE* file = std::fopen(platform::to_native_path(path).c_str(), "rb");
    if (file == nullptr) return -7;
    if (to_edit_window != 0) {
        if (platform::UiBackend* ui = platform::current_ui();
            ui != nullptr && ui->window_exists(platform::kWindowEdit)) {
            ui->set_window_title(platform::kWindowEdit, platform::file_name_part(path));
        }
    }
    char piece[kTypePieceSize + 2];
    bool carried_cr = false;  // a CR that ended the last piece
    int result = 0;
    while (true) {
        std::size_t n = 0;
        if (carried_cr) piece[n++] = '\r';
        const std::size_t got = std::fread(piece + n, 1, kTypePieceSize, file);
        if (got == 0 && std::ferror(file)) {
            result = -8;
            break;
        }
        n += got;
        carried_cr = got > 0 && n > 0 && piece[n - 1] == '\r';
        if (carried_cr) --n;
        // CR LF ends become LF; bytes after a NUL in a piece are not text and are not shown.
        std::size_t w = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (piece[i] == '\r' && i + 1 < n && piece[i + 1] == '\n') continue;
            piece[w++] = piece[i];
        }
        piece[w] = '\0';
        if (w > 0) {
            if (to_edit_window != 0) {
                if (g_output.edit_sink != nullptr) g_output.edit_sink(piece);
            } else {
                write_output_text(piece, false);
            }
        }
        if (got == 0) break;
    }
    std::fclose(file);
    return result;
}

void reset_text_output() {
    g_output = TextOutputState{};
}

std::string pending_output_line() {
    return std::string(g_output.writer.line, g_output.writer.length);
}

namespace {
const platform::StateReset text_output_state_reset{"runtime/text_output", reset_text_output,
                                                   platform::ResetLayer::runtime};
}  // namespace
