#include "runtime/file_commands.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/format_print.h"
#include "runtime/lens_data_guard.h"
#include "runtime/list_words.h"
#include "runtime/table_messages.h"

namespace {

constexpr int kNoChar = -2;
constexpr std::size_t kFieldLimit = 256;

struct OpenFile {
    std::FILE* stream = nullptr;
    bool undecided = false;  // neither 't' nor 'b' was asked for
    bool text = false;       // CR LF reads as LF
    int pushed = kNoChar;    // one character put back by the scanner
};
OpenFile files[kFileHandles];

OpenFile* open_file(int handle) {
    if (handle < 1 || handle > kFileHandles) return nullptr;
    OpenFile& f = files[handle - 1];
    return f.stream != nullptr ? &f : nullptr;
}

int get_char(OpenFile& f) {
    if (f.pushed != kNoChar) {
        const int c = f.pushed;
        f.pushed = kNoChar;
        return c;
    }
    const int c = std::getc(f.stream);
    if (c == '\r' && f.text) {
        const int d = std::getc(f.stream);
        if (d == '\n') return '\n';
        if (d != EOF) std::ungetc(d, f.stream);
    }
    return c;
}
void unget_char(OpenFile& f, int c) {
    if (c != EOF) f.pushed = c;
}

std::string file_name(const char* name) {
    std::string s = name != nullptr ? name : "";
    for (char& c : s) {
        if (c == '\\') c = '/';
    }
    return s;
}

const char* cell_text(int i) {
    const ArgCell* c = arg_cell(i);
    if (c == nullptr || c->type != kArgChar || c->text_length <= 0 || c->value.text == nullptr) {
        return nullptr;
    }
    return c->value.text;
}

// The element size and count of a variable cell: doubles 8, ints 4, chars and texts 1 byte;
// an array counts all its elements, a scalar one.
bool raw_extent(int i, std::size_t* size, std::size_t* count, void** data) {
    ArgCell* c = arg_cell(i);
    const ArgShape* s = arg_shape(i);
    if (c == nullptr) return false;
    const int type = s != nullptr ? s->type : c->type;
    *size = type == kArgDouble ? 8 : type == kArgInt ? 4 : 1;
    if (s != nullptr && s->dim1 > 0) {
        *count = static_cast<std::size_t>(s->dim1) * (s->dim2 > 0 ? s->dim2 : 1);
        if (type == kArgChar && c->text_length > 0 &&
            *count > static_cast<std::size_t>(c->text_length)) {
            *count = static_cast<std::size_t>(c->text_length);
        }
        *data = c->value.text;
    } else {
        *count = 1;
        *data = &c->value;
        if (type != c->type) return false;
    }
    return *data != nullptr;
}

// A given count (cell 2) replaces the number of elements when it lies in 1..that number.
int raw_count(std::size_t* count) {
    const ArgCell* c = arg_cell(2);
    if (c == nullptr || c->status != kArgGiven) return 0;
    const long n = c->type == kArgDouble ? -1 : arg_int(2);
    if (n == 0) return 0;
    if (n < 1 || static_cast<std::size_t>(n) > *count) return kMsgFileCountBad;
    *count = static_cast<std::size_t>(n);
    return 0;
}

void decide(OpenFile& f, bool text) {
    if (!f.undecided) return;
    f.undecided = false;
    f.text = text;
}

int file_open() {
    const char* name = cell_text(0);
    const char* mode = cell_text(1);
    if (name == nullptr || mode == nullptr || !valid_file_mode(mode)) return kMsgFileOpenFailed;
    for (int k = 0; k < kFileHandles; ++k) {
        if (files[k].stream != nullptr) continue;
        // The stream itself is always binary: text mode is ours (CR LF read as LF).
        std::string c_mode;
        c_mode += mode[0];
        if (std::strchr(mode, '+') != nullptr) c_mode += '+';
        c_mode += 'b';
        std::FILE* stream = std::fopen(file_name(name).c_str(), c_mode.c_str());
        if (stream == nullptr) return kMsgFileOpenFailed;
        files[k] = OpenFile{};
        files[k].stream = stream;
        files[k].text = std::strchr(mode, 't') != nullptr;
        files[k].undecided = std::strchr(mode, 't') == nullptr && std::strchr(mode, 'b') == nullptr;
        return k + 1;
    }
    return kMsgFileOpenFailed;
}

int file_gets() {
    OpenFile* f = open_file(arg_int(0));
    if (f == nullptr) return kMsgFileReadFailed;
    ArgCell* c = arg_cell(1);
    const int capacity = arg_text_capacity(1);
    if (c == nullptr || capacity < 2) return kMsgFileCountBad;
    // An undecided stream reads its lines as text.
    decide(*f, true);
    std::string line;
    int ch = EOF;
    while (line.size() + 1 < static_cast<std::size_t>(capacity)) {
        ch = get_char(*f);
        if (ch == EOF) break;
        line += static_cast<char>(ch);
        if (ch == '\n') break;
    }
    if (line.empty() && ch == EOF) {
        if (std::ferror(f->stream)) return kMsgFileReadFailed;
        c->value.text[0] = '\0';
        return -1;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.back() == '\n') line.pop_back();
    std::memcpy(c->value.text, line.c_str(), line.size() + 1);
    return static_cast<int>(line.size());
}

int file_raw(bool write) {
    OpenFile* f = open_file(arg_int(0));
    if (f == nullptr) return write ? kMsgFileWriteShort : kMsgFileReadFailed;
    std::size_t size = 0, count = 0;
    void* data = nullptr;
    if (!raw_extent(1, &size, &count, &data)) return kMsgFileCountBad;
    if (const int r = raw_count(&count); r != 0) return r;
    decide(*f, false);
    if (write) {
        const std::size_t n = std::fwrite(data, size, count, f->stream);
        return n < count ? kMsgFileWriteShort : static_cast<int>(n);
    }
    f->pushed = kNoChar;
    const std::size_t n = std::fread(data, size, count, f->stream);
    if (n < count && std::ferror(f->stream)) return kMsgFileReadFailed;
    return static_cast<int>(n);
}

// --- Formatted input -------------------------------------------------------------------------

bool is_field_blank(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

int scan_one(OpenFile& f, const char*& p, int cell) {
    bool alternate = false;
    if (*p == '-' || *p == '+' || *p == ' ') ++p;
    if (*p == '#') {
        alternate = true;
        ++p;
    }
    std::size_t width = 0;
    bool has_width = false;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        has_width = true;
        width = width * 10 + static_cast<std::size_t>(*p++ - '0');
        if (width > kFieldLimit) return kMsgScanFormat;
    }
    bool precision = false;
    if (*p == '.') {
        ++p;
        if (!std::isdigit(static_cast<unsigned char>(*p))) return kMsgScanFormat;
        while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
        precision = true;
    }
    const char conversion = *p;
    if (conversion == '\0') return kMsgScanFormat;
    ++p;
    if (precision && std::strchr("efg", conversion) == nullptr) return kMsgScanFormat;
    if (std::strchr("sefgcdox", conversion) == nullptr) return kMsgScanFormat;

    int ch = get_char(f);
    while (ch != EOF && is_field_blank(ch)) ch = get_char(f);
    if (ch == EOF) return kMsgScanMismatch;
    unget_char(f, ch);
    std::string field;
    if (has_width && width > 0) {
        while (field.size() < width) {
            ch = get_char(f);
            if (ch == EOF) return kMsgScanMismatch;
            field += static_cast<char>(ch);
        }
    } else if (conversion == 'c') {
        field += static_cast<char>(get_char(f));
    } else {
        while (field.size() < kFieldLimit) {
            ch = get_char(f);
            if (ch == EOF) break;
            if (ch < 33) {
                unget_char(f, ch);
                break;
            }
            field += static_cast<char>(ch);
        }
    }
    if (field.empty()) return kMsgScanMismatch;

    ArgCell* c = arg_cell(cell);
    const ArgShape* shape = arg_shape(cell);
    if (conversion == 's') {
        const int capacity = arg_text_capacity(cell);
        const bool one_dimensional = shape == nullptr || shape->dim2 == 0;
        if (capacity <= static_cast<int>(field.size()) || !one_dimensional) return kMsgScanVariable;
        std::memcpy(c->value.text, field.c_str(), field.size() + 1);
        return 0;
    }
    std::size_t begin = 0, end = field.size();
    while (begin < end && static_cast<unsigned char>(field[begin]) <= 32) ++begin;
    while (end > begin && static_cast<unsigned char>(field[end - 1]) <= 32) --end;
    const std::string text = field.substr(begin, end - begin);
    if (text.empty()) return kMsgScanMismatch;
    if ((shape != nullptr && shape->dim1 > 0) || c->text_length > 0) return kMsgScanVariable;
    const int type = shape != nullptr ? shape->type : c->type;
    const bool real = std::strchr("efg", conversion) != nullptr;
    if (real != (type == kArgDouble)) return kMsgScanVariable;
    if (real) {
        char* stop = nullptr;
        const double v = std::strtod(text.c_str(), &stop);
        if (stop == text.c_str() || *stop != '\0') return kMsgScanMismatch;
        c->type = kArgDouble;
        c->value.d = v;
        return 0;
    }
    long v = 0;
    if (conversion == 'c') {
        if (text.size() != 1) return kMsgScanMismatch;
        v = static_cast<unsigned char>(text[0]);
    } else {
        const int base = alternate || conversion == 'd' ? 0 : conversion == 'o' ? 8 : 16;
        char* stop = nullptr;
        errno = 0;
        v = std::strtol(text.c_str(), &stop, base);
        if (stop == text.c_str() || *stop != '\0' || errno == ERANGE) return kMsgScanMismatch;
    }
    if (type == kArgChar) {
        if (v < 0 || v > 255) return kMsgScanVariable;
        c->value = ArgValue{};
        c->value.c = static_cast<char>(v);
        c->type = kArgChar;
        return 0;
    }
    if (v < INT32_MIN || v > INT32_MAX) return kMsgScanVariable;
    c->type = kArgInt;
    c->value.i = static_cast<std::int32_t>(v);
    return 0;
}

int scan_input() {
    OpenFile* f = open_file(arg_int(0));
    if (f == nullptr) return kMsgScanNoFile;
    decide(*f, true);
    const ArgCell* format_cell = arg_cell(1);
    const char* raw = nullptr;
    if (format_cell != nullptr && format_cell->status == kArgGiven) {
        raw = format_cell->type == kArgChar  ? cell_text(1)
              : format_cell->type == kArgInt ? msg_text(format_cell->value.i)
                                             : nullptr;
    }
    if (raw == nullptr) return kMsgScanFormat;
    std::vector<char> format(raw, raw + std::strlen(raw) + 1);
    unescape_text(format.data());
    int variables = 2;
    while (arg_cell(variables) != nullptr && arg_cell(variables)->status == kArgGiven) ++variables;
    int next = 2;
    int filled = 0;
    for (const char* p = format.data(); *p != '\0';) {
        if (*p == '%' && p[1] == '%') {
            if (get_char(*f) != '%') return kMsgScanMismatch;
            p += 2;
            continue;
        }
        if (*p != '%' || next >= variables) {
            const int ch = get_char(*f);
            if (ch != static_cast<unsigned char>(*p)) {
                unget_char(*f, ch);
                return kMsgScanMismatch;
            }
            ++p;
            continue;
        }
        ++p;
        const int r = scan_one(*f, p, next);
        if (r != 0) return r;
        ++next;
        ++filled;
    }
    return filled;
}

}  // namespace

bool valid_file_mode(const char* mode) {
    if (mode == nullptr || (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a')) return false;
    int plus = 0, b = 0, t = 0;
    for (const char* p = mode + 1; *p != '\0'; ++p) {
        if (*p == '+') {
            ++plus;
        } else if (*p == 'b') {
            ++b;
        } else if (*p == 't') {
            ++t;
        } else {
            return false;
        }
    }
    return plus <= 1 && b <= 1 && t <= 1 && b + t <= 1;
}

int cmd_file_io() {
    // Nothing read from a lens file or lens text may touch the user's files.
    if (const int r = refuse_while_reading_lens_data(); r != 0) return r;
    int result = 0;
    switch (current_command()) {
        case kCmdFopen:
            result = file_open();
            break;
        case kCmdFclose: {
            const int handle = arg_int(0);
            OpenFile* f = open_file(handle);
            if (f == nullptr) {
                result = kMsgFileCloseFailed;
                break;
            }
            const int r = std::fclose(f->stream);
            *f = OpenFile{};
            result = r == 0 ? 0 : kMsgFileCloseFailed;
            break;
        }
        case kCmdFread:
            result = file_raw(false);
            break;
        case kCmdFgets:
            result = file_gets();
            break;
        case kCmdFwrite:
            result = file_raw(true);
            break;
        case kCmdFseek: {
            OpenFile* f = open_file(arg_int(0));
            const int origin = arg_int(2);
            if (f == nullptr || origin < 0 || origin > 2) {
                result = kMsgFileSeekFailed;
                break;
            }
            f->pushed = kNoChar;
            const int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
            result = std::fseek(f->stream, arg_int(1), whence) == 0 ? 0 : kMsgFileSeekFailed;
            break;
        }
        case kCmdFtell: {
            OpenFile* f = open_file(arg_int(0));
            const long at = f != nullptr ? std::ftell(f->stream) : -1;
            result = at < 0 || at > INT32_MAX ? kMsgTellFailed
                                              : static_cast<int>(at) - (f->pushed != kNoChar);
            break;
        }
        case kCmdFremove: {
            const char* name = cell_text(0);
            result = name != nullptr && std::remove(file_name(name).c_str()) == 0
                         ? 0
                         : kMsgFileRemoveFailed;
            break;
        }
        case kCmdFrename: {
            const char* from = cell_text(0);
            const char* to = cell_text(1);
            result = from != nullptr && to != nullptr &&
                             std::rename(file_name(from).c_str(), file_name(to).c_str()) == 0
                         ? 0
                         : kMsgFileRenameFailed;
            break;
        }
        default:
            break;
    }
    set_int_result(result);
    return 0;
}

int cmd_scan_input() {
    if (const int r = refuse_while_reading_lens_data(); r != 0) return r;
    set_int_result(scan_input());
    return 0;
}

int write_file_text(int handle, const std::string& text) {
    OpenFile* f = open_file(handle);
    if (f == nullptr) return kMsgFileWriteFailed;
    decide(*f, true);
    if (std::fwrite(text.data(), 1, text.size(), f->stream) != text.size()) {
        return kMsgFileWriteFailed;
    }
    return static_cast<int>(text.size());
}

void close_all_files() {
    for (OpenFile& f : files) {
        if (f.stream != nullptr) std::fclose(f.stream);
        f = OpenFile{};
    }
}

void install_file_commands() {
    set_handler(kSlotFileIo, cmd_file_io);
    set_handler(kSlotScanInput, cmd_scan_input);
    set_file_text_writer(write_file_text);
}

namespace {
const platform::StateReset file_commands_state_reset{"runtime/file_commands", close_all_files,
                                                     platform::ResetLayer::runtime};
}  // namespace
