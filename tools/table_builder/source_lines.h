// Reading the text sources of the tables: lines split into tokens, with the file and line of
// each kept for the failure messages.
#pragma once

#include <string>
#include <vector>

struct SourceLine {
    std::string file;
    int number = 0;
    std::vector<std::string> tokens;  // quoted strings arrive unquoted, escapes resolved
    std::vector<bool> quoted;
};

// Reads a source file: '#' starts a comment outside quotes, "..." is one token with \n \t \\ \"
// and \xHH escapes, '(' and ')' are tokens of their own. Blank lines are dropped. False when the
// file cannot be read or a quote is not closed (error says where).
bool read_source(const std::string& path, std::vector<SourceLine>& lines, std::string& error);

// "file:line: text", the form of every failure the builder reports.
std::string where(const SourceLine& line, const std::string& text);

// key=value tokens.
bool split_key(const std::string& token, std::string& key, std::string& value);
bool parse_int(const std::string& text, long& value);
bool parse_double(const std::string& text, double& value);

// A text written back as a source token: quoted with escapes.
std::string quote_text(const std::string& text);
