// The named numbers of the tables: writes a C++ header of constants for the command numbers,
// list numbers, message numbers and help topics of the table sources, so that the program's code
// names a command, list or message the way its source does instead of repeating the bare number.
//
//   table_names --sources <tables folder> --out <header>
//
// It is a program of its own rather than a mode of the table builder because the builder links
// the program's libraries (the command-language compiler), and those libraries use the names.
//
// The naming rule, from the sources' own names (words joined, each capitalised):
//   command <n> <name>[,...] [suffix=<x>]   kCmd<Name>[<X>]     "trace_single_ray"
//   kCmdTraceSingleRay
//                                                                 "cc" suffix=L       kCmdCcL
//                                                                 "gla_" suffix=L     kCmdGla_L
//   list <n> <name>                          kList<Name>         "setting_names" kListSettingNames
//   item "<word>" "<n>" of a list with names=<Prefix>              list "draw_lens_views"
//                                            k<Prefix><Word>     names=DrawView: "plan"
//                                                                 kDrawViewPlan
//   <n> <kind> <name> "<text>" (rtmsgs.msg)  kMsg<Name>          "no_surfaces"       kMsgNoSurfaces
//   the same in msmsgs.msg                   kCompilerMsg<Name>
//   topic <n> <name> (help/ctable.hlp)       kHelpTopic<Name>    "surface_sheet"
//   kHelpTopicSurfaceSheet
// A command's suffix letter is part of its name in the table ("cc_l"), so it is part of the
// constant too: keywords of one spelling in several contexts stay apart. A message has a name
// only when its source line gives one (the ones the code refers to). Any character other than a
// lower-case letter or a digit breaks words, but an underscore that ends a name is kept, so
// that "wv_" (one entry of "wv") stays apart from "wv": kCmdWv_. A name that is all word breaks
// (the empty command "_") is "Empty"; a name that starts with a digit is refused. Two entries that
// come out as the same constant fail the build with both places named: one of them needs another
// name. A named list's words are read in lower case ("SEL" makes Sel), and each of its items
// must stand for a plain number (skips= may follow it).
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tools/table_builder/source_lines.h"

namespace fs = std::filesystem;

namespace {

struct Name {
    std::string constant;
    long number = 0;
    std::string place;  // file:line of the source entry
};

struct Group {
    const char* title;
    std::vector<Name> names;
    bool by_number = true;  // else in source order, list by list
};

bool is_word_character(char c) {
    return std::islower(static_cast<unsigned char>(c)) ||
           std::isdigit(static_cast<unsigned char>(c));
}

// "trace_single_ray" -> "TraceSingleRay", "wv_" -> "Wv_", "_" -> "Empty"; empty when the name
// cannot make one.
std::string camel(const std::string& name) {
    std::string out;
    bool start = true;
    for (char c : name) {
        if (!is_word_character(c)) {
            start = true;
            continue;
        }
        out += start ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
        start = false;
    }
    if (out.empty()) return name.empty() ? "" : "Empty";
    if (std::isdigit(static_cast<unsigned char>(out[0]))) return "";
    if (name.back() == '_') out += '_';
    return out;
}

std::string place_of(const SourceLine& line) {
    return line.file + ":" + std::to_string(line.number);
}

bool add_name(Group& group, const std::string& prefix, const std::string& name, long number,
              const SourceLine& line, std::string& error, const std::string& suffix = "") {
    const std::string words = camel(name);
    if (words.empty()) {
        error = where(line, "'" + name + "' makes no name for the code");
        return false;
    }
    group.names.push_back({prefix + words + suffix, number, place_of(line)});
    return true;
}

bool read_commands(const fs::path& sources, Group& group, std::string& error) {
    for (const std::string& file : sources_in(sources / "definitions", ".def")) {
        std::vector<SourceLine> lines;
        if (!read_source(file, lines, error)) return false;
        for (const SourceLine& line : lines) {
            const auto& t = line.tokens;
            if (t[0] != "command" || t.size() < 3) continue;
            long number = 0;
            if (!parse_int(t[1], number)) continue;  // the table builder reports it
            std::string suffix;
            for (std::size_t i = 3; i < t.size(); ++i) {
                std::string key, value;
                if (split_key(t[i], key, value) && key == "suffix" && value.size() == 1) {
                    suffix = static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
                }
            }
            const std::string name = t[2].substr(0, t[2].find(','));
            if (!add_name(group, "kCmd", name, number, line, error, suffix)) return false;
        }
    }
    return true;
}

std::string lower_case(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The list numbers, and the item numbers of the lists that ask for names (names=<Prefix>).
bool read_lists(const fs::path& sources, Group& group, Group& items, std::string& error) {
    for (const std::string& file : sources_in(sources / "lists", ".lst")) {
        std::vector<SourceLine> lines;
        if (!read_source(file, lines, error)) return false;
        std::string prefix;  // of the open list; empty when it names no items
        for (const SourceLine& line : lines) {
            const auto& t = line.tokens;
            long number = 0;
            if (t[0] == "end") prefix.clear();
            if (t[0] == "item" && !prefix.empty()) {
                std::string key, positions;
                const bool skips =
                    t.size() == 4 && split_key(t[3], key, positions) && key == "skips";
                if ((t.size() != 3 && !skips) || !parse_int(t[2], number)) {
                    error = where(line, "an item of a list with names= stands for a plain number");
                    return false;
                }
                if (!add_name(items, prefix, lower_case(t[1]), number, line, error)) return false;
            }
            if (t[0] != "list" || t.size() < 3 || !parse_int(t[1], number)) continue;
            if (!add_name(group, "kList", t[2], number, line, error)) return false;
            for (std::size_t i = 3; i < t.size(); ++i) {
                std::string key, value;
                if (split_key(t[i], key, value) && key == "names") prefix = "k" + value;
            }
        }
    }
    return true;
}

bool read_messages(const fs::path& source, const std::string& prefix, Group& group,
                   std::string& error) {
    std::vector<SourceLine> lines;
    if (!read_source(source.string(), lines, error)) return false;
    for (const SourceLine& line : lines) {
        const auto& t = line.tokens;
        long number = 0;
        if (t.size() != 4 || line.quoted[2] || !parse_int(t[0], number)) continue;
        if (!add_name(group, prefix, t[2], number, line, error)) return false;
    }
    return true;
}

bool read_help_topics(const fs::path& source, Group& group, std::string& error) {
    std::vector<SourceLine> lines;
    if (!read_source(source.string(), lines, error)) return false;
    for (const SourceLine& line : lines) {
        const auto& t = line.tokens;
        long number = 0;
        if (t[0] != "topic" || t.size() != 3 || !parse_int(t[1], number)) continue;
        if (!add_name(group, "kHelpTopic", t[2], number, line, error)) return false;
    }
    return true;
}

bool check_unique(const std::vector<Group>& groups, std::string& error) {
    std::map<std::string, const Name*> seen;
    for (const Group& group : groups) {
        for (const Name& name : group.names) {
            const auto [it, added] = seen.emplace(name.constant, &name);
            if (!added) {
                error = name.place + ": " + name.constant + " is also the name of " +
                        it->second->place + "; give one of them another name";
                return false;
            }
        }
    }
    return true;
}

std::string header_text(std::vector<Group>& groups) {
    std::ostringstream out;
    out << "// Generated by table_names from the sources in tables/: edit those, not this.\n"
           "#pragma once\n";
    for (Group& group : groups) {
        if (group.by_number) {
            std::stable_sort(group.names.begin(), group.names.end(),
                             [](const Name& a, const Name& b) { return a.number < b.number; });
        }
        out << "\n// " << group.title << "\n";
        for (const Name& name : group.names) {
            out << "inline constexpr int " << name.constant << " = " << name.number << ";\n";
        }
    }
    return out.str();
}

// Rewrites the header only when its text changes, so that a change of a table source that
// leaves the names as they were recompiles nothing.
bool write_if_changed(const fs::path& path, const std::string& text) {
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream old;
        old << in.rdbuf();
        if (in && old.str() == text) return true;
    }
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    const fs::path temp = path.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out) return false;
    }
    fs::rename(temp, path, ec);
    return !ec;
}

}  // namespace

int main(int argc, char** argv) {
    std::string sources, out;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--sources") sources = argv[i + 1];
        if (key == "--out") out = argv[i + 1];
    }
    if (sources.empty() || out.empty()) {
        std::fprintf(stderr, "usage: table_names --sources <tables folder> --out <header>\n");
        return 2;
    }
    std::vector<Group> groups = {{"Command numbers (definitions/*.def)", {}},
                                 {"List numbers (lists/*.lst)", {}},
                                 {"Item numbers of the lists with names= (lists/*.lst)", {}, false},
                                 {"Message numbers (messages/rtmsgs.msg)", {}},
                                 {"Message compiler diagnostics (messages/msmsgs.msg)", {}},
                                 {"Help topics (help/ctable.hlp)", {}}};
    const fs::path root(sources);
    std::string error;
    if (!read_commands(root, groups[0], error) || !read_lists(root, groups[1], groups[2], error) ||
        !read_messages(root / "messages/rtmsgs.msg", "kMsg", groups[3], error) ||
        !read_messages(root / "messages/msmsgs.msg", "kCompilerMsg", groups[4], error) ||
        !read_help_topics(root / "help/ctable.hlp", groups[5], error) ||
        !check_unique(groups, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (!write_if_changed(out, header_text(groups))) {
        std::fprintf(stderr, "table_names: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
