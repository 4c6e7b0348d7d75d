#include "platform/ini_file.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>

#include "platform/status.h"
#include "platform/text_file.h"

namespace platform {

namespace {

std::string_view trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool same_name(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

enum class LineKind { kOther, kSection, kEntry };

// What one line of the file is; for a section its name, for an entry its key and value.
struct ParsedLine {
    LineKind kind = LineKind::kOther;
    std::string_view name;
    std::string_view value;
};

ParsedLine parse_line(std::string_view line) {
    ParsedLine parsed;
    const std::string_view text = trim(line);
    if (text.empty() || text.front() == ';' || text.front() == '#') return parsed;
    if (text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) return parsed;
        parsed.kind = LineKind::kSection;
        parsed.name = trim(text.substr(1, close - 1));
        return parsed;
    }
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) return parsed;
    parsed.name = trim(text.substr(0, equals));
    if (parsed.name.empty()) return parsed;
    parsed.kind = LineKind::kEntry;
    parsed.value = trim(text.substr(equals + 1));
    return parsed;
}

bool has_line_break(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// The leading decimal integer of a text: blanks, an optional sign, digits; 0 without digits.
// Values beyond the int range are clamped rather than wrapped.
int leading_integer(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    long long value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10 + (text[pos] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::size_t copy_limited(std::string_view text, char* buffer, std::size_t limit) {
    if (buffer == nullptr || limit == 0) return 0;
    const std::size_t count = std::min(text.size(), limit - 1);
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return count;
}

}  // namespace

int IniDocument::load(const std::string& path) {
    std::vector<std::string> lines;
    const int status = read_text_lines(path, lines);
    lines_.clear();
    if (status != kOk) return status;
    lines_ = std::move(lines);
    // A byte-order mark left by some Windows editors is not part of the first line.
    if (!lines_.empty() && lines_.front().rfind("\xEF\xBB\xBF", 0) == 0) lines_.front().erase(0, 3);
    return kOk;
}

void IniDocument::parse(std::string_view text) {
    lines_.clear();
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(pos, end - pos));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines_.push_back(std::move(line));
        pos = end + 1;
    }
    if (!lines_.empty() && lines_.front().rfind("\xEF\xBB\xBF", 0) == 0) lines_.front().erase(0, 3);
}

std::optional<std::string> IniDocument::find(std::string_view section, std::string_view key) const {
    section = trim(section);
    key = trim(key);
    bool in_section = false;
    for (const std::string& line : lines_) {
        const ParsedLine parsed = parse_line(line);
        if (parsed.kind == LineKind::kSection) {
            in_section = same_name(parsed.name, section);
        } else if (in_section && parsed.kind == LineKind::kEntry && same_name(parsed.name, key)) {
            return std::string(parsed.value);
        }
    }
    return std::nullopt;
}

std::string IniDocument::get_text(std::string_view section, std::string_view key,
                                  std::string_view default_text) const {
    std::optional<std::string> value = find(section, key);
    return value ? *value : std::string(default_text);
}

std::size_t IniDocument::get_text(std::string_view section, std::string_view key,
                                  std::string_view default_text, char* buffer,
                                  std::size_t limit) const {
    return copy_limited(get_text(section, key, default_text), buffer, limit);
}

int IniDocument::get_int(std::string_view section, std::string_view key, int default_value) const {
    const std::optional<std::string> value = find(section, key);
    if (!value || value->empty()) return default_value;
    return leading_integer(*value);
}

int IniDocument::set_text(std::string_view section, std::string_view key, std::string_view value) {
    section = trim(section);
    key = trim(key);
    if (section.empty() || key.empty() || has_line_break(section) || has_line_break(key) ||
        has_line_break(value) || section.find(']') != std::string_view::npos ||
        key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';' ||
        key.front() == '#') {
        return kBadArgument;
    }
    const std::string new_value(trim(value));

    // The key itself is rewritten where it stands; otherwise the new entry goes after the last
    // entry of the first section of that name.
    bool in_section = false;
    bool in_first_section = false;
    std::optional<std::size_t> insert_at;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const ParsedLine parsed = parse_line(lines_[i]);
        if (parsed.kind == LineKind::kSection) {
            in_section = same_name(parsed.name, section);
            in_first_section = in_section && !insert_at;
            if (in_first_section) insert_at = i + 1;
        } else if (in_section && parsed.kind == LineKind::kEntry) {
            if (same_name(parsed.name, key)) {
                lines_[i] = std::string(parsed.name) + "=" + new_value;
                return kOk;
            }
            if (in_first_section) insert_at = i + 1;
        }
    }
    if (insert_at) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*insert_at),
                      std::string(key) + "=" + new_value);
        return kOk;
    }
    if (!lines_.empty() && !trim(lines_.back()).empty()) lines_.emplace_back();
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(std::string(key) + "=" + new_value);
    return kOk;
}

std::string IniDocument::text() const {
    std::string all;
    for (const std::string& line : lines_) {
        all += line;
        all += '\n';
    }
    return all;
}

int IniDocument::save(const std::string& path, std::string* reason) const {
    return write_file_atomically(path, text(), reason);
}

std::string ini_get_text(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view default_text) {
    IniDocument document;
    document.load(path);
    return document.get_text(section, key, default_text);
}

std::size_t ini_get_text(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view default_text, char* buffer, std::size_t limit) {
    IniDocument document;
    document.load(path);
    return document.get_text(section, key, default_text, buffer, limit);
}

int ini_get_int(const std::string& path, std::string_view section, std::string_view key,
                int default_value) {
    IniDocument document;
    document.load(path);
    return document.get_int(section, key, default_value);
}

int ini_put_text(const std::string& path, std::string_view section, std::string_view key,
                 std::string_view value) {
    IniDocument document;
    const int status = document.load(path);
    if (status != kOk && status != kNotFound) return status;
    if (int set = document.set_text(section, key, value); set != kOk) return set;
    return document.save(path);
}

}  // namespace platform
