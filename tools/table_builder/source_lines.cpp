#include "tools/table_builder/source_lines.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>

bool read_source_lines(const std::string& path, const std::string& shown,
                       std::vector<SourceLine>& lines, SourceProblem& problem) {
    problem = SourceProblem{shown, 0, ""};
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problem.text = "cannot be read";
        return false;
    }
    std::string text;
    int number = 0;
    std::size_t total = 0;
    while (std::getline(in, text)) {
        ++number;
        total += text.size() + 1;
        if (total > kSourceFileLimit) {
            problem.text = "the file is larger than " + std::to_string(kSourceFileLimit) + " bytes";
            return false;
        }
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (text.size() > kSourceLineLimit) {
            problem.line = number;
            problem.text =
                "the line is longer than " + std::to_string(kSourceLineLimit) + " characters";
            return false;
        }
        SourceLine line;
        line.file = shown;
        line.number = number;
        std::size_t i = 0;
        while (i < text.size()) {
            const char c = text[i];
            if (c == ' ' || c == '\t') {
                ++i;
            } else if (c == '#') {
                break;
            } else if (c == '(' || c == ')') {
                line.tokens.emplace_back(1, c);
                line.quoted.push_back(false);
                ++i;
            } else if (c == '"') {
                std::string token;
                ++i;
                bool closed = false;
                while (i < text.size()) {
                    char d = text[i++];
                    if (d == '"') {
                        closed = true;
                        break;
                    }
                    if (d == '\\' && i < text.size()) {
                        const char e = text[i++];
                        d = e == 'n' ? '\n' : e == 't' ? '\t' : e;
                        // "\xHH": a byte by its two hex digits (the value masks of list texts).
                        if (e == 'x' && i + 2 <= text.size() &&
                            std::isxdigit(static_cast<unsigned char>(text[i])) &&
                            std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
                            d = static_cast<char>(
                                std::strtol(text.substr(i, 2).c_str(), nullptr, 16));
                            i += 2;
                        }
                    }
                    token += d;
                }
                if (!closed) {
                    problem.line = number;
                    problem.text = "unterminated quoted text";
                    return false;
                }
                line.tokens.push_back(token);
                line.quoted.push_back(true);
            } else {
                std::string token;
                while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '#' &&
                       text[i] != '(' && text[i] != ')' && text[i] != '"') {
                    token += text[i++];
                }
                line.tokens.push_back(token);
                line.quoted.push_back(false);
            }
        }
        if (!line.tokens.empty()) lines.push_back(line);
    }
    return true;
}

bool read_source(const std::string& path, std::vector<SourceLine>& lines, std::string& error) {
    SourceProblem problem;
    if (read_source_lines(path, path, lines, problem)) return true;
    error = problem.file + (problem.line > 0 ? ":" + std::to_string(problem.line) : "") + ": " +
            problem.text;
    return false;
}

std::string where(const SourceLine& line, const std::string& text) {
    return line.file + ":" + std::to_string(line.number) + ": " + text;
}

bool split_key(const std::string& token, std::string& key, std::string& value) {
    const std::size_t eq = token.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    key = token.substr(0, eq);
    value = token.substr(eq + 1);
    return true;
}

bool parse_int(const std::string& text, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 0);
    return errno == 0 && end != nullptr && *end == '\0';
}

bool parse_double(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end != nullptr && *end == '\0';
}

std::string quote_text(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::vector<std::string> sources_in(const std::filesystem::path& folder,
                                    const std::string& extension) {
    std::vector<std::string> files;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->is_regular_file() && it->path().extension() == extension) {
            files.push_back(it->path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool value_with_skips(const std::string& token, const std::string& value, std::string& out,
                      std::string& error) {
    // The mark and the mask bytes of the runtime's value texts; a byte is a 0-based argument
    // position below 24, and 0 would end the text, so the first position cannot be skipped.
    constexpr char kMark = 1;
    constexpr long kHighestPosition = 24;
    std::string key, list;
    if (!split_key(token, key, list) || key != "skips" || list.empty()) {
        error = "expected skips=<positions>";
        return false;
    }
    std::vector<bool> skipped(kHighestPosition + 1, false);
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string part = list.substr(start, comma - start);
        const std::size_t dash = part.find('-');
        long first = 0, last = 0;
        const bool ok = dash == std::string::npos ? parse_int(part, first) && parse_int(part, last)
                                                  : parse_int(part.substr(0, dash), first) &&
                                                        parse_int(part.substr(dash + 1), last);
        if (!ok || first < 2 || last > kHighestPosition || first > last) {
            error = "skips: positions are 2 to 24, single or as ranges, separated by commas";
            return false;
        }
        for (long p = first; p <= last; ++p) skipped[static_cast<std::size_t>(p)] = true;
        start = comma + 1;
    }
    out.assign(1, kMark);
    for (long p = 2; p <= kHighestPosition; ++p) {
        if (skipped[static_cast<std::size_t>(p)]) out += static_cast<char>(p - 1);
    }
    out += value;
    return true;
}
