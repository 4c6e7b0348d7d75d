#include "msgcompiler/source_reader.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "runtime/safe_format.h"
#include "runtime/text_case.h"

namespace vdm {

namespace {

constexpr int kEnd = -1;

const char* const kDirectives[] = {"define", "undef", "include", "ifdef", "ifndef", "endif"};
enum Directive { kDefine, kUndef, kInclude, kIfdef, kIfndef, kEndif, kUnknown };

Directive directive_code(const std::string& name) {
    for (int i = 0; i < 6; ++i) {
        if (name == kDirectives[i]) return static_cast<Directive>(i);
    }
    return kUnknown;
}

bool is_identifier_start(int c) {
    return c == '_' || std::isalpha(static_cast<unsigned char>(c));
}
bool is_identifier_char(int c) {
    return c == '_' || std::isalnum(static_cast<unsigned char>(c));
}
bool is_blank(int c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string printable(int c) {
    if (c > ' ' && c < 127) return std::string(1, static_cast<char>(c));
    return format_text("\\x%02x", static_cast<unsigned>(c & 0xFF));
}

// Adds a digit to a number, holding it at a bound instead of overflowing.
long long add_digit(long long value, int base, int digit) {
    constexpr long long kBound = 1LL << 40;
    if (value >= kBound) return kBound;
    return value * base + digit;
}

int hex_digit(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

struct SourceReader::Level {
    std::string shown;   // base name for diagnostics
    std::string folder;  // folder of a file, for the files it includes
    int line = 1;
    std::FILE* file = nullptr;
    unsigned char window[kFileWindow];
    std::size_t pos = 0, len = 0;
    bool at_end = false;
    std::string text;  // a top-level text held in memory
    bool is_text = false;
    ~Level() {
        if (file != nullptr) std::fclose(file);
    }
};

SourceReader::SourceReader(Diagnostics& diagnostics) : diagnostics_(diagnostics) {
    diagnostics_.set_position_source(this);
}

SourceReader::~SourceReader() {
    diagnostics_.set_position_source(nullptr);
}

void SourceReader::close_all() {
    levels_.clear();
    pending_.clear();
    pending_origin_.clear();
    macro_chars_ = 0;
    chain_ = 0;
    skip_depth_ = 0;
    text_.clear();
}

int SourceReader::push_file(const std::string& path, const std::string& shown_name) {
    std::error_code ec;
    // Only regular files: a device or a pipe would never end.
    if (!std::filesystem::is_regular_file(path, ec)) return -13;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return -13;
    auto level = std::make_unique<Level>();
    level->file = f;
    level->shown = shown_name;
    level->folder = std::filesystem::path(path).parent_path().string();
    levels_.push_back(std::move(level));
    return 0;
}

int SourceReader::open_source(const std::string& path, const std::string& shown_name) {
    close_all();
    macros_.clear();
    return push_file(path, shown_name) == 0 ? 0 : -28;
}

void SourceReader::open_text(const std::string& text, const std::string& shown_name) {
    close_all();
    macros_.clear();
    auto level = std::make_unique<Level>();
    level->is_text = true;
    level->text = text;
    level->shown = shown_name;
    levels_.push_back(std::move(level));
}

int SourceReader::define_macro(const std::string& name, const std::string& value) {
    const std::string key = lower_text(name);
    if (macros_.count(key) != 0) return -11;
    if (macros_.size() >= kMacroLimit) return -10;
    macros_.emplace(key, value);
    return kMacroDefined;
}

bool SourceReader::macro_defined(const std::string& name) const {
    return macros_.count(lower_text(name)) != 0;
}

std::string SourceReader::position_name() const {
    return levels_.empty() ? std::string() : levels_.back()->shown;
}

int SourceReader::position_line() const {
    return levels_.empty() ? 0 : levels_.back()->line;
}

int SourceReader::raw_peek(Level& level) {
    if (level.is_text) {
        return level.pos < level.text.size() ? static_cast<unsigned char>(level.text[level.pos])
                                             : kEnd;
    }
    if (level.pos == level.len) {
        if (level.at_end || level.file == nullptr) return kEnd;
        level.len = std::fread(level.window, 1, kFileWindow, level.file);
        level.pos = 0;
        if (level.len == 0) {
            level.at_end = true;
            return kEnd;
        }
    }
    return level.window[level.pos];
}

int SourceReader::raw_get(Level& level) {
    const int c = raw_peek(level);
    if (c == kEnd) return kEnd;
    ++level.pos;
    // CR LF is one line end.
    if (c == '\r' && raw_peek(level) == '\n') {
        ++level.pos;
        return '\n';
    }
    return c;
}

int SourceReader::get_char(Origin* origin) {
    int c = kEnd;
    if (!pending_.empty()) {
        c = static_cast<unsigned char>(pending_.back());
        last_origin_ = pending_origin_.back();
        if (last_origin_ == kFromMacro) --macro_chars_;
        pending_.pop_back();
        pending_origin_.pop_back();
    } else if (!levels_.empty()) {
        c = raw_get(*levels_.back());
        last_origin_ = kFromInput;
    }
    if (c == '\n' && !levels_.empty()) ++levels_.back()->line;
    if (origin != nullptr) *origin = last_origin_;
    return c;
}

void SourceReader::unget_char(int c) {
    if (c == kEnd) return;
    if (c == '\n' && !levels_.empty()) --levels_.back()->line;
    pending_.push_back(static_cast<char>(c));
    pending_origin_.push_back(last_origin_);
    if (last_origin_ == kFromMacro) ++macro_chars_;
}

void SourceReader::drop_macro_text() {
    std::vector<char> kept;
    std::vector<Origin> kept_origin;
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        if (pending_origin_[i] == kFromInput) {
            kept.push_back(pending_[i]);
            kept_origin.push_back(kFromInput);
        }
    }
    pending_.swap(kept);
    pending_origin_.swap(kept_origin);
    macro_chars_ = 0;
    chain_ = 0;
}

void SourceReader::skip_block_comment() {
    int previous = 0;
    for (;;) {
        const int c = get_char();
        if (c == kEnd) {
            diagnostics_.report(-3);
            return;
        }
        if (previous == '*' && c == '/') return;
        previous = c;
    }
}

void SourceReader::skip_line_comment() {
    for (;;) {
        const int c = get_char();
        if (c == kEnd) return;
        if (c == '\n') {
            unget_char(c);
            return;
        }
    }
}

std::string SourceReader::read_line_rest(bool& too_long) {
    std::string line;
    too_long = false;
    for (;;) {
        const int c = get_char();
        if (c == kEnd) break;
        if (c == '\n') {
            // Left for the next token, so that a directive's diagnostics name its own line.
            unget_char(c);
            break;
        }
        // Room for the longest argument, its quotes and a comment start.
        if (line.size() < 4 * kDirectiveArgumentLimit) {
            line.push_back(static_cast<char>(c));
        } else {
            too_long = true;
        }
    }
    return line;
}

// Reads the name of a directive argument at pos: a missing name gives -9, a name that is no
// identifier or is a directive's own name -8.
bool SourceReader::directive_name(const std::string& line, std::size_t& pos, std::string& name) {
    while (pos < line.size() && is_blank(line[pos])) ++pos;
    const std::size_t start = pos;
    while (pos < line.size() && !is_blank(line[pos]) && line.compare(pos, 2, "//") != 0 &&
           line.compare(pos, 2, "/*") != 0) {
        ++pos;
    }
    const std::string word = line.substr(start, pos - start);
    if (word.empty()) {
        diagnostics_.report(-9);
        return false;
    }
    bool identifier = is_identifier_start(static_cast<unsigned char>(word[0]));
    for (char c : word)
        identifier = identifier && is_identifier_char(static_cast<unsigned char>(c));
    name = lower_text(word.substr(0, kIdentifierLimit));
    if (!identifier || directive_code(name) != kUnknown) {
        diagnostics_.report(-8, word.substr(0, kIdentifierLimit));
        return false;
    }
    return true;
}

namespace {

// The text of a directive's value: comments outside quotes removed, blanks trimmed.
std::string directive_value(const std::string& line, std::size_t pos) {
    std::string value;
    bool quoted = false;
    while (pos < line.size()) {
        const char c = line[pos];
        if (!quoted && line.compare(pos, 2, "//") == 0) break;
        if (!quoted && line.compare(pos, 2, "/*") == 0) {
            const std::size_t end = line.find("*/", pos + 2);
            if (end == std::string::npos) break;
            value.push_back(' ');
            pos = end + 2;
            continue;
        }
        if (c == '"') quoted = !quoted;
        if (quoted && c == '\\' && pos + 1 < line.size()) {
            value.push_back(c);
            value.push_back(line[pos + 1]);
            pos += 2;
            continue;
        }
        value.push_back(c);
        ++pos;
    }
    std::size_t first = 0;
    while (first < value.size() && is_blank(value[first])) ++first;
    std::size_t last = value.size();
    while (last > first && is_blank(value[last - 1])) --last;
    return value.substr(first, last - first);
}

}  // namespace

void SourceReader::directive() {
    // The directive's name follows the '#', perhaps after blanks.
    int c = get_char();
    while (c != kEnd && c != '\n' && is_blank(c)) c = get_char();
    std::string name;
    while (c != kEnd && is_identifier_char(c)) {
        if (name.size() < kIdentifierLimit) name.push_back(static_cast<char>(c));
        c = get_char();
    }
    unget_char(c);
    name = lower_text(name);
    bool too_long = false;
    const std::string line = read_line_rest(too_long);
    const Directive code = directive_code(name);
    if (skip_depth_ > 0) {
        if (code == kIfdef || code == kIfndef) ++skip_depth_;
        if (code == kEndif) --skip_depth_;
        return;
    }
    std::size_t pos = 0;
    std::string macro;
    switch (code) {
        case kUnknown:
            diagnostics_.report(-6, "#" + name);
            return;
        case kEndif:
            return;
        case kDefine: {
            if (!directive_name(line, pos, macro)) return;
            const std::string value = directive_value(line, pos);
            if (too_long || value.size() > kDirectiveArgumentLimit) {
                diagnostics_.report(-5);
                return;
            }
            if (lower_text(value) == macro) return;
            const int rc = define_macro(macro, value);
            if (rc != kMacroDefined) diagnostics_.report(rc, macro);
            return;
        }
        case kUndef:
            if (directive_name(line, pos, macro)) macros_.erase(macro);
            return;
        case kIfdef:
        case kIfndef:
            if (!directive_name(line, pos, macro)) return;
            if (macro_defined(macro) != (code == kIfdef)) skip_depth_ = 1;
            return;
        case kInclude: {
            std::string file = directive_value(line, 0);
            if (!file.empty() && file[0] == '"') {
                const std::size_t end = file.find('"', 1);
                file = file.substr(1, end == std::string::npos ? std::string::npos : end - 1);
            } else {
                const std::size_t end = file.find_first_of(" \t");
                if (end != std::string::npos) file.resize(end);
            }
            if (too_long || file.size() > kDirectiveArgumentLimit) {
                diagnostics_.report(-5);
                return;
            }
            if (file.empty()) {
                diagnostics_.report(-14);
                return;
            }
            std::replace(file.begin(), file.end(), '\\', '/');
            if (levels_.size() >= kInputLevelLimit) {
                diagnostics_.report(-12);
                return;
            }
            std::string path = file;
            if (file[0] != '/' && !levels_.empty()) {
                const std::string& folder = levels_.back()->folder;
                if (!folder.empty()) path = folder + "/" + file;
            }
            const std::string shown = std::filesystem::path(file).filename().string();
            // The including file goes on after this line once the included one has ended.
            const int line_end = get_char();
            if (line_end != '\n') unget_char(line_end);
            if (push_file(path, lower_text(shown)) != 0) {
                if (line_end == '\n') unget_char(line_end);
                diagnostics_.report(-13, file);
            }
            return;
        }
    }
}

void SourceReader::lex_number(int first) {
    text_.assign(1, static_cast<char>(first));
    bool too_long = false;
    auto keep = [&](int c) {
        if (text_.size() < kNumberTextLimit + 1) {
            text_.push_back(static_cast<char>(c));
        } else {
            too_long = true;
        }
    };
    value_ = 0;
    bool real = false;
    int c = get_char();
    if (first == '0' && (c == 'x' || c == 'X')) {
        keep(c);
        for (c = get_char(); hex_digit(c) >= 0; c = get_char()) {
            keep(c);
            value_ = add_digit(value_, 16, hex_digit(c));
        }
    } else {
        if (first == '.') {
            real = true;
        } else {
            value_ = first - '0';
        }
        for (; std::isdigit(c) || (c == '.' && !real); c = get_char()) {
            if (c == '.') {
                real = true;
            } else if (!real) {
                value_ = add_digit(value_, 10, c - '0');
            }
            keep(c);
        }
        if (c == 'e' || c == 'E') {
            const int sign = get_char();
            if (std::isdigit(sign) || sign == '+' || sign == '-') {
                real = true;
                keep(c);
                keep(sign);
                for (c = get_char(); std::isdigit(c); c = get_char()) keep(c);
            } else {
                unget_char(sign);
            }
        }
    }
    unget_char(c);
    if (text_.size() > kNumberTextLimit) too_long = true;
    if (too_long) diagnostics_.report(-5);
    value_ = real ? 0 : value_;
}

// A character constant after its opening apostrophe; false (reported) when it is malformed.
bool SourceReader::lex_char_constant() {
    int c = get_char();
    if (c == kEnd || c == '\n') {
        unget_char(c);
        diagnostics_.report(-6, "'");
        return false;
    }
    if (c == '\\') {
        const int e = get_char();
        switch (e) {
            case 'b':
                c = 8;
                break;
            case 'f':
                c = 12;
                break;
            case 'n':
                c = 10;
                break;
            case 'r':
                c = 13;
                break;
            case 't':
                c = 9;
                break;
            case 'v':
                c = 11;
                break;
            case 'x': {
                c = 0;
                int d = get_char();
                for (int i = 0; i < 3 && hex_digit(d) >= 0; ++i, d = get_char())
                    c = c * 16 + hex_digit(d);
                unget_char(d);
                break;
            }
            default:
                if (e >= '0' && e <= '9') {
                    c = e - '0';
                    int d = get_char();
                    for (int i = 1; i < 3 && d >= '0' && d <= '9'; ++i, d = get_char()) {
                        c = c * 10 + d - '0';
                    }
                    unget_char(d);
                } else if (e == kEnd) {
                    diagnostics_.report(-6, "'");
                    return false;
                } else {
                    c = e;
                }
        }
    }
    const int close = get_char();
    if (close != '\'') {
        unget_char(close);
        diagnostics_.report(-6, "'");
        return false;
    }
    value_ = c;
    text_ = std::to_string(c);
    return true;
}

// A string after its opening quote; false (reported) when the input ends inside it.
bool SourceReader::lex_string() {
    text_.clear();
    bool too_long = false;
    auto keep = [&](int c) {
        if (text_.size() < kStringTextLimit) {
            text_.push_back(static_cast<char>(c));
        } else {
            too_long = true;
        }
    };
    for (;;) {
        int c = get_char();
        if (c == kEnd) {
            diagnostics_.report(-4);
            return false;
        }
        if (c == '"') break;
        if (c == '\\') {
            const int n = get_char();
            if (n == kEnd) {
                diagnostics_.report(-4);
                return false;
            }
            if (n == '"' || n == '\\') {
                keep(n);
            } else if (n != '\n') {
                // Kept as it stands: the program interprets such escapes when it shows the text.
                keep('\\');
                keep(n);
            }
            continue;
        }
        if (c == '\n') {
            keep(' ');
            do {
                c = get_char();
            } while (c == ' ' || c == '\t');
            unget_char(c);
            continue;
        }
        keep(c);
    }
    if (too_long) diagnostics_.report(-5);
    return true;
}

// The identifier in text_ names a macro: its value goes back onto the input. False when the
// expansion stopped with -7.
bool SourceReader::expand_macro(Origin first_origin) {
    const auto it = macros_.find(text_);
    chain_ = first_origin == kFromMacro ? chain_ + 1 : 1;
    // A blank after the value keeps it from joining the text that follows.
    const std::string value = it->second + " ";
    if (chain_ > kMacroChainLimit || macro_chars_ + value.size() > kPushBackLimit) {
        diagnostics_.report(-7);
        drop_macro_text();
        return false;
    }
    for (auto c = value.rbegin(); c != value.rend(); ++c) {
        pending_.push_back(*c);
        pending_origin_.push_back(kFromMacro);
    }
    macro_chars_ += value.size();
    return true;
}

int SourceReader::next_token() {
    for (;;) {
        if (diagnostics_.stopped()) {
            text_.clear();
            return kTokenEnd;
        }
        Origin origin = kFromInput;
        int c = get_char(&origin);
        if (c == kEnd) {
            if (levels_.size() > 1) {
                levels_.pop_back();
                continue;
            }
            text_ = "end of file";
            return kTokenEnd;
        }
        if (c == '\n' || is_blank(c)) continue;
        if (c == '/') {
            const int d = get_char();
            if (d == '*') {
                skip_block_comment();
                continue;
            }
            if (d == '/') {
                skip_line_comment();
                continue;
            }
            unget_char(d);
        }
        if (c == '#' && origin == kFromInput) {
            directive();
            continue;
        }
        const bool skipping = skip_depth_ > 0;
        if (is_identifier_start(c)) {
            text_.clear();
            for (; is_identifier_char(c); c = get_char()) {
                if (text_.size() < kIdentifierLimit) {
                    text_.push_back(static_cast<char>(std::tolower(c)));
                }
            }
            unget_char(c);
            if (skipping) continue;
            if (macros_.count(text_) != 0) {
                expand_macro(origin);
                continue;
            }
            static const char* const kKinds[][2] = {
                {"info", "i"}, {"warning", "w"}, {"error", "e"}};
            for (int k = 0; k < 3; ++k) {
                if (text_ == kKinds[k][0] || text_ == kKinds[k][1]) {
                    value_ = k;
                    return kTokenKind;
                }
            }
            return kTokenIdentifier;
        }
        if (std::isdigit(c) || c == '.') {
            const int d = c == '.' ? get_char() : '0';
            if (c == '.') unget_char(d);
            if (std::isdigit(d)) {
                lex_number(c);
                if (skipping) continue;
                const bool real = text_.find_first_of(".eE") != std::string::npos &&
                                  text_.find_first_of("xX") == std::string::npos;
                return real ? kTokenReal : kTokenInteger;
            }
        }
        if (c == '\'') {
            if (lex_char_constant() && !skipping) return kTokenInteger;
            continue;
        }
        if (c == '"') {
            if (lex_string() && !skipping) return kTokenString;
            continue;
        }
        switch (c) {
            case '(':
            case ')':
            case '*':
            case '+':
            case ',':
            case '-':
            case ':':
            case ';':
                if (skipping) continue;
                text_.assign(1, static_cast<char>(c));
                return c;
            default:
                if (!skipping) diagnostics_.report(-6, printable(c));
                continue;
        }
    }
}

}  // namespace vdm
