// The table kinds the builder writes and dumps. Each build function reads its sources, checks
// them, and produces the table bytes; a failure comes back as "file:line: reason".
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "runtime/table_format.h"
#include "tools/table_builder/source_lines.h"

// A user's own sources compiled on top of the shipped ones: the public tree's sources and, for
// the private tables, the private tree's as well. Their faults are collected, not fatal one by
// one, so that a run lists them all.
struct UserSource {
    std::string path;
    std::string shown;          // the name a diagnostic gives the file
    bool private_tree = false;  // code into the private code table
};
struct UserBuild {
    std::vector<UserSource> sources;
    // The text of a compiler message (number and offending token) for a diagnostic.
    std::function<std::string(int message, const std::string& token)> describe;
    // Out: the faults found, and the private code table (magic and code) of the private sources.
    std::vector<SourceProblem> problems;
    Bytes private_code;
};
// Procedures a user may define, and the procedure size in characters of body text.
inline constexpr std::size_t kUserProcedureLimit = 4000;
inline constexpr std::size_t kProcedureTextLimit = 30000;

// The definitions table; with code, the code table of the procedures the sources define. With
// user, the user's procedure sources are added (faults in user->problems make it fail).
bool build_definitions(const std::vector<std::string>& sources, Bytes& out, std::string& error,
                       Bytes* code = nullptr, UserBuild* user = nullptr);
bool build_messages(const std::string& source, Bytes& out, std::string& error);
bool build_lists(const std::string& source, Bytes& out, std::string& error);
// The shipped list sources and, with user, the user's list and menu sources.
bool build_lists(const std::vector<std::string>& sources, Bytes& out, std::string& error,
                 UserBuild* user);
bool build_help(const std::string& source, Bytes& out, std::string& error);
// Set 1 from the printable glyphs and markers, set 2 from the symbol font.
bool build_font(const std::string& hershey_folder, Bytes& out, std::string& error);

// Prints a table back in its source form; false with error when the table is damaged.
bool dump_table(const Bytes& table, const std::string& file_name, std::string& text,
                std::string& error);
