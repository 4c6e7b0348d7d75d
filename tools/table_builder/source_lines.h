// Reading the text sources of the tables: lines split into tokens, with the file and line of
// each kept for the failure messages.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct SourceLine {
    std::string file;
    int number = 0;
    std::vector<std::string> tokens;  // quoted strings arrive unquoted, escapes resolved
    std::vector<bool> quoted;
};

// One fault of a source: the file as shown to its author, the line (0 for the whole file), the
// reason.
struct SourceProblem {
    std::string file;
    int line = 0;
    std::string text;
};

// Bounds of what a source may hold; anything beyond is refused with a message.
inline constexpr std::size_t kSourceLineLimit = 4000;             // characters of one line
inline constexpr std::size_t kSourceFileLimit = 4 * 1024 * 1024;  // bytes of one file

// Reads a source file: '#' starts a comment outside quotes, "..." is one token with \n \t \\ \"
// and \xHH escapes, '(' and ')' are tokens of their own. Blank lines are dropped. False when the
// file cannot be read, is too large, has a line that is too long or a quote that is not closed
// (problem says where). shown is the file name the lines and the problem carry.
bool read_source_lines(const std::string& path, const std::string& shown,
                       std::vector<SourceLine>& lines, SourceProblem& problem);
// The same with the path shown and the problem as "file:line: text".
bool read_source(const std::string& path, std::vector<SourceLine>& lines, std::string& error);

// "file:line: text", the form of every failure the builder reports.
std::string where(const SourceLine& line, const std::string& text);

// key=value tokens.
bool split_key(const std::string& token, std::string& key, std::string& value);
bool parse_int(const std::string& text, long& value);
bool parse_double(const std::string& text, double& value);

// A list item's value with the argument positions its word makes irrelevant:
// skips=3-5,9 (1-based positions 2 to 24, single or as ranges) becomes the mask mark (byte 1),
// one byte per 0-based position, then the value. False with the reason in error.
bool value_with_skips(const std::string& token, const std::string& value, std::string& out,
                      std::string& error);

// A text written back as a source token: quoted with escapes.
std::string quote_text(const std::string& text);

// Every file of one extension under a folder, in name order, so a build is reproducible.
std::vector<std::string> sources_in(const std::filesystem::path& folder,
                                    const std::string& extension);
