// The program's help file: one HTML page with an anchor per help topic, built from the hand
// written topics of the help source and from the table sources, so that every command has a
// topic without a hand edit.
//
//   help_builder --help <help source> --tables <tables folder> --out <file.html>
//
// The help source is plain text:
//   # a comment line
//   @topic <id> <title>    begins a topic; the id is a help topic number the program shows,
//                          or a word for a topic only the contents lead to
//   text lines             a paragraph; a blank line ends it
//   - text                 an item of a list
//       text               (four blanks) a line shown as typed, such as a command line
//   <<id>>                 inside a text: a link to that topic, shown by its title
// The topic "contents" opens the file; the list of every topic follows its text.
//
// Every command of the definitions sources gets the topic kCommandHelpTopicBase + its symbol
// number: its names, the comment above it in its source, how it is typed, its parameters with
// their kinds, defaults, bounds and value lists, and the texts of its command help block. The
// build fails when a topic the program can show has none: a "topic" line of the command help
// source, a "[[" text of a help block, or a link of the help source.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/help_file.h"
#include "tools/table_builder/source_lines.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kWrapColumn = 90;
// The help block's keys: its description (93, 92), a field's text (93, field), the topic ('[').
constexpr int kHelpTextKey = 93;
constexpr int kHelpHeadKey = 92;
constexpr int kTopicKey = '[';
constexpr std::size_t kNone = static_cast<std::size_t>(-1);
constexpr char kTopicMark[] = "@topic ";

struct Param {
    std::string name;
    std::string kind;
    std::map<std::string, std::string> keys;
};

struct Command {
    long number = 0;
    std::vector<std::string> names;
    std::string suffix;
    std::vector<std::string> doc;  // comment lines
    std::vector<Param> params;
    std::string file;  // the source's stem: the group the contents list it under
};

struct Group {
    std::string stem;
    std::string heading;
};

struct HelpBlock {
    std::map<std::pair<int, int>, std::string> texts;
    std::string place;
};

struct TopicDeclaration {
    long number = 0;
    std::string name;
    std::string place;
};

struct HandTopic {
    std::string id;
    std::string title;
    std::vector<std::string> lines;
    std::string place;
};

struct Sources {
    std::map<long, std::string> messages;
    std::map<long, std::vector<std::pair<std::string, std::string>>> lists;
    std::map<long, std::string> values;  // value <n>: the number or the quoted text
    std::vector<Command> commands;
    std::vector<Group> groups;
    std::map<long, HelpBlock> help;
    std::vector<TopicDeclaration> declared;
    std::vector<HandTopic> topics;
};

std::vector<std::string> raw_lines(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    if (!in) {
        error = path + ": cannot be read";
        return lines;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string trimmed(const std::string& text) {
    const std::size_t a = text.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    const std::size_t b = text.find_last_not_of(" \t");
    return text.substr(a, b - a + 1);
}

bool read_messages(const fs::path& path, Sources& s, std::string& error) {
    std::vector<SourceLine> lines;
    if (!read_source(path.string(), lines, error)) return false;
    for (const SourceLine& line : lines) {
        long n = 0;
        if (line.tokens.size() >= 3 && parse_int(line.tokens[0], n) && line.quoted.back()) {
            s.messages[n] = line.tokens.back();
        }
    }
    return true;
}

bool read_lists(const fs::path& folder, Sources& s, std::string& error) {
    for (const std::string& file : sources_in(folder, ".lst")) {
        std::vector<SourceLine> lines;
        if (!read_source(file, lines, error)) return false;
        std::vector<std::pair<std::string, std::string>>* open = nullptr;
        for (const SourceLine& line : lines) {
            const auto& t = line.tokens;
            long n = 0;
            if (t[0] == "list" && t.size() >= 3 && parse_int(t[1], n)) {
                open = &s.lists[n];
            } else if (t[0] == "item" && open != nullptr && (t.size() == 3 || t.size() == 4)) {
                open->emplace_back(t[1], t[2]);
            } else if (t[0] == "end") {
                open = nullptr;
            }
        }
    }
    return true;
}

// The comment text of a run of '#' lines, without the marks.
std::string comment_text(const std::string& line) {
    std::string t = trimmed(line).substr(1);
    if (!t.empty() && t[0] == ' ') t.erase(0, 1);
    return t;
}

// One definitions source: its commands with the comment above each (a comment serves the
// commands that follow it up to a blank line), its values, and its heading, the first
// paragraph of its first comment.
bool read_definitions(const std::string& path, Sources& s, std::string& error) {
    std::vector<std::string> raw = raw_lines(path, error);
    if (!error.empty()) return false;
    std::vector<SourceLine> lines;
    if (!read_source(path, lines, error)) return false;
    std::map<int, const SourceLine*> by_number;
    for (const SourceLine& line : lines) by_number[line.number] = &line;

    Group group;
    group.stem = fs::path(path).stem().string();
    bool in_heading = true;  // the file's first comment paragraph
    bool previous_comment = false;
    std::vector<std::string> comment;
    // The command the param lines belong to, by its place in s.commands.
    std::size_t current = kNone;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const std::string text = trimmed(raw[i]);
        if (text.empty()) {
            comment.clear();
            previous_comment = false;
            in_heading = false;
            continue;
        }
        if (text[0] == '#') {
            const std::string c = comment_text(text);
            if (in_heading) {
                if (c.empty()) {
                    in_heading = false;
                } else {
                    group.heading += (group.heading.empty() ? "" : " ") + c;
                }
                previous_comment = true;
                continue;
            }
            if (!previous_comment) comment.clear();
            comment.push_back(c);
            previous_comment = true;
            continue;
        }
        in_heading = false;
        previous_comment = false;
        const auto it = by_number.find(static_cast<int>(i + 1));
        if (it == by_number.end()) continue;
        const auto& t = it->second->tokens;
        long n = 0;
        if (t[0] == "command" && t.size() >= 3 && parse_int(t[1], n)) {
            Command c;
            c.number = n;
            c.file = group.stem;
            c.doc = comment;
            std::stringstream names(t[2]);
            for (std::string name; std::getline(names, name, ',');) c.names.push_back(name);
            for (std::size_t k = 3; k < t.size(); ++k) {
                std::string key, value;
                if (split_key(t[k], key, value) && key == "suffix") c.suffix = value;
            }
            s.commands.push_back(c);
            current = s.commands.size() - 1;
        } else if (t[0] == "param" && current != kNone && t.size() >= 3) {
            Param p;
            p.name = t[1];
            p.kind = t[2];
            for (std::size_t k = 3; k < t.size(); ++k) {
                std::string key, value;
                if (split_key(t[k], key, value)) p.keys[key] = value;
            }
            s.commands[current].params.push_back(p);
        } else if (t[0] == "value" && t.size() == 4 && parse_int(t[1], n)) {
            s.values[n] = t[2] == "text" ? "\"" + t[3] + "\"" : t[3];
            current = kNone;
        } else if (t[0] != "param" && t[0] != "body") {
            current = kNone;
        }
    }
    s.groups.push_back(group);
    return true;
}

bool read_command_help(const fs::path& path, Sources& s, std::string& error) {
    std::vector<SourceLine> lines;
    if (!read_source(path.string(), lines, error)) return false;
    HelpBlock* open = nullptr;
    for (const SourceLine& line : lines) {
        const auto& t = line.tokens;
        long n = 0, k1 = 0, k2 = 0;
        if (t[0] == "topic" && t.size() == 3 && parse_int(t[1], n)) {
            s.declared.push_back({n, t[2], line.file + ":" + std::to_string(line.number)});
        } else if (t[0] == "help" && t.size() >= 2 && parse_int(t[1], n)) {
            open = &s.help[n];
            open->place = line.file + ":" + std::to_string(line.number);
        } else if (t[0] == "text" && open != nullptr && t.size() == 4 && parse_int(t[1], k1) &&
                   parse_int(t[2], k2)) {
            open->texts[{static_cast<int>(k1), static_cast<int>(k2)}] = t[3];
        } else if (t[0] == "end") {
            open = nullptr;
        }
    }
    return true;
}

bool read_help_source(const std::string& path, Sources& s, std::string& error) {
    const std::vector<std::string> raw = raw_lines(path, error);
    if (!error.empty()) return false;
    std::set<std::string> ids;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const std::string& line = raw[i];
        const std::string place = path + ":" + std::to_string(i + 1);
        if (!line.empty() && line[0] == '#') continue;
        if (line.rfind(kTopicMark, 0) == 0) {
            std::istringstream words(line.substr(std::string(kTopicMark).size()));
            HandTopic topic;
            words >> topic.id;
            std::getline(words, topic.title);
            topic.title = trimmed(topic.title);
            topic.place = place;
            if (topic.id.empty() || topic.title.empty()) {
                error = place + ": a topic needs an id and a title";
                return false;
            }
            if (!ids.insert(topic.id).second) {
                error = place + ": topic " + topic.id + " is given twice";
                return false;
            }
            s.topics.push_back(topic);
            continue;
        }
        if (s.topics.empty()) {
            if (!trimmed(line).empty()) {
                error = place + ": text before the first topic";
                return false;
            }
            continue;
        }
        s.topics.back().lines.push_back(line);
    }
    return true;
}

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
                break;
        }
    }
    return out;
}

// Words broken into lines of at most kWrapColumn characters, so that the file reads as text.
std::string wrapped(const std::string& text) {
    std::istringstream words(text);
    std::string out, line, word;
    while (words >> word) {
        if (!line.empty() && line.size() + 1 + word.size() > kWrapColumn) {
            out += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return out + line;
}

struct Writer {
    const Sources& s;
    std::map<std::string, std::string> titles;  // topic id -> title
    std::string error;

    // A hand text with its links: <<id>> becomes a link titled by the topic.
    std::string with_links(const std::string& text, const std::string& place) {
        std::string out;
        std::size_t at = 0;
        for (;;) {
            const std::size_t open = text.find("<<", at);
            if (open == std::string::npos) break;
            const std::size_t close = text.find(">>", open);
            if (close == std::string::npos) break;
            out += escaped(text.substr(at, open - at));
            const std::string id = text.substr(open + 2, close - open - 2);
            const auto it = titles.find(id);
            if (it == titles.end()) {
                if (error.empty()) error = place + ": a link to topic " + id + ", which is none";
            } else {
                out += "<a href=\"#" + escaped(id) + "\">" + escaped(it->second) + "</a>";
            }
            at = close + 2;
        }
        return out + escaped(text.substr(at));
    }

    std::string hand_body(const HandTopic& topic) {
        std::string out, paragraph;
        bool in_list = false;
        bool in_pre = false;
        auto flush = [&] {
            if (!paragraph.empty()) {
                out += "<p>" + with_links(wrapped(paragraph), topic.place) + "</p>\n";
                paragraph.clear();
            }
        };
        auto close_blocks = [&] {
            if (in_list) out += "</ul>\n";
            if (in_pre) out += "</pre>\n";
            in_list = in_pre = false;
        };
        for (const std::string& line : topic.lines) {
            if (trimmed(line).empty()) {
                flush();
                close_blocks();
            } else if (line.rfind("    ", 0) == 0) {
                flush();
                if (in_list) out += "</ul>\n";
                in_list = false;
                if (!in_pre) out += "<pre>";
                in_pre = true;
                out += escaped(line.substr(4)) + "\n";
            } else if (line.rfind("- ", 0) == 0) {
                flush();
                if (in_pre) out += "</pre>\n";
                in_pre = false;
                if (!in_list) out += "<ul>\n";
                in_list = true;
                out += "<li>" + with_links(wrapped(line.substr(2)), topic.place) + "</li>\n";
            } else if (in_list && (line[0] == ' ' || line[0] == '\t')) {
                // A list item's continuation line.
                out.insert(out.size() - 6, " " + with_links(wrapped(trimmed(line)), topic.place));
            } else {
                if (in_pre || in_list) close_blocks();
                paragraph += (paragraph.empty() ? "" : " ") + trimmed(line);
            }
        }
        flush();
        close_blocks();
        return out;
    }

    // A parameter's handle as a reader sees it: a number, a message text, a value.
    std::string handle_text(const std::string& handle) const {
        const std::size_t colon = handle.find(':');
        if (colon == std::string::npos) return handle;
        const std::string kind = handle.substr(0, colon);
        long n = 0;
        if (!parse_int(handle.substr(colon + 1), n)) return "";
        if (kind == "msg") {
            const auto it = s.messages.find(n);
            return it != s.messages.end() ? "\"" + trimmed(it->second) + "\"" : "";
        }
        if (kind == "value") {
            const auto it = s.values.find(n);
            return it != s.values.end() ? it->second : "";
        }
        return "";
    }

    std::string param_item(const Command& c, std::size_t index) {
        const Param& p = c.params[index];
        std::vector<std::string> parts;
        const auto key = [&](const char* k) {
            const auto it = p.keys.find(k);
            return it != p.keys.end() ? it->second : std::string();
        };
        const std::string lower = handle_text(key("lower"));
        const std::string upper = handle_text(key("upper"));
        if (!lower.empty() && !upper.empty()) {
            parts.push_back("from " + lower + " to " + upper);
        } else if (!lower.empty()) {
            parts.push_back("at least " + lower);
        } else if (!upper.empty()) {
            parts.push_back("at most " + upper);
        }
        const std::string list = key("list");
        if (list.rfind("list:", 0) == 0) {
            long n = 0;
            const auto it = parse_int(list.substr(5), n) ? s.lists.find(n) : s.lists.end();
            if (it != s.lists.end() && !it->second.empty()) {
                std::string values;
                for (const auto& [first, second] : it->second) {
                    values += (values.empty() ? "" : ", ") + first + " (" + second + ")";
                }
                parts.push_back("one of " + values);
            }
        } else if (!list.empty()) {
            parts.push_back("chosen from a list the program makes");
        }
        const std::string mode = key("mode");
        const std::string fallback = handle_text(key("default"));
        if (!mode.empty() && mode != "0" && !fallback.empty()) {
            parts.push_back("default " + fallback);
        } else if (mode.empty() || mode == "0") {
            parts.push_back("asked for when left out");
        }
        const std::string prompt = handle_text(key("prompt"));
        if (!prompt.empty()) parts.push_back("the question: " + prompt);
        std::string text = p.name + " (" + p.kind + ")";
        for (std::size_t k = 0; k < parts.size(); ++k) text += (k == 0 ? ": " : "; ") + parts[k];
        std::string out =
            "<li><code>" + escaped(p.name) + "</code>" + escaped(text.substr(p.name.size()));
        const auto help = s.help.find(c.number);
        if (help != s.help.end()) {
            const auto t = help->second.texts.find({kHelpTextKey, static_cast<int>(index)});
            if (t != help->second.texts.end()) out += ". " + escaped(wrapped(t->second));
        }
        return out + "</li>\n";
    }

    std::string command_title(const Command& c) const {
        std::string title = c.names.front();
        if (!c.suffix.empty()) title += " (context " + c.suffix + ")";
        return title;
    }

    std::string command_section(const Command& c) {
        const long topic = kCommandHelpTopicBase + c.number;
        std::string out = "<section id=\"" + std::to_string(topic) + "\">\n<h2>" +
                          escaped(command_title(c)) + "</h2>\n";
        std::string line = "Help topic " + std::to_string(topic) + ".";
        if (c.names.size() > 1) {
            std::string aliases;
            for (std::size_t k = 1; k < c.names.size(); ++k) {
                aliases += (k > 1 ? ", " : "") + c.names[k];
            }
            line += " Also typed as " + aliases + ".";
        }
        if (!c.suffix.empty()) {
            line +=
                " A keyword of context " + c.suffix +
                (c.suffix == "L" ? ", which a lens block (LEN ... END) and lens files use" : "") +
                "; elsewhere the same name may be another command.";
        }
        out += "<p>" + escaped(wrapped(line)) + "</p>\n";
        std::string doc;
        for (const std::string& d : c.doc) doc += (doc.empty() ? "" : " ") + d;
        if (!doc.empty()) out += "<p>" + escaped(wrapped(doc)) + "</p>\n";
        const auto help = s.help.find(c.number);
        if (help != s.help.end()) {
            const auto t = help->second.texts.find({kHelpTextKey, kHelpHeadKey});
            if (t != help->second.texts.end())
                out += "<p>" + escaped(wrapped(t->second)) + "</p>\n";
        }
        std::string usage = c.names.front();
        for (const Param& p : c.params) usage += " " + p.name;
        out += "<pre>" + escaped(usage) + "</pre>\n";
        if (!c.params.empty()) {
            out += "<h3>Parameters</h3>\n<ul>\n";
            for (std::size_t k = 0; k < c.params.size(); ++k) out += param_item(c, k);
            out += "</ul>\n";
        }
        return out + "</section>\n";
    }

    std::string contents(const HandTopic* hand) {
        std::string out = "<section id=\"" + std::string(kContentsTopic) + "\">\n<h1>" +
                          escaped(hand != nullptr ? hand->title : "Contents") + "</h1>\n";
        if (hand != nullptr) out += hand_body(*hand);
        out += "<ul>\n";
        for (const HandTopic& t : s.topics) {
            if (t.id == kContentsTopic) continue;
            out +=
                "<li><a href=\"#" + escaped(t.id) + "\">" + escaped(t.title) + "</a>" +
                (std::isdigit(static_cast<unsigned char>(t.id[0])) ? " (topic " + t.id + ")" : "") +
                "</li>\n";
        }
        out += "</ul>\n<h2>Commands</h2>\n";
        for (const Group& g : s.groups) {
            std::vector<const Command*> commands;
            for (const Command& c : s.commands) {
                if (c.file == g.stem) commands.push_back(&c);
            }
            if (commands.empty()) continue;
            // The heading's first clause names the subject.
            const std::string title = g.heading.substr(0, g.heading.find_first_of(".:;"));
            out += "<h3>" + escaped(title.empty() ? g.stem : title) + "</h3>\n<ul>\n";
            for (const Command* c : commands) {
                const std::string topic = std::to_string(kCommandHelpTopicBase + c->number);
                out += "<li><a href=\"#" + topic + "\">" + escaped(command_title(*c)) +
                       "</a> (topic " + topic + ")</li>\n";
            }
            out += "</ul>\n";
        }
        return out + "</section>\n";
    }

    std::string page() {
        std::string out =
            "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<title>tavo help</title>\n<style>\n"
            "body { font-family: sans-serif; max-width: 60em; margin: 1em auto; }\n"
            "section { border-top: 1px solid #bbb; padding-top: 0.5em; }\n"
            "pre, code { font-family: monospace; }\n"
            "</style>\n</head>\n<body>\n";
        const HandTopic* hand = nullptr;
        for (const HandTopic& t : s.topics) {
            if (t.id == kContentsTopic) hand = &t;
        }
        out += contents(hand);
        for (const HandTopic& t : s.topics) {
            if (t.id == kContentsTopic) continue;
            out += "<section id=\"" + escaped(t.id) + "\">\n<h2>" + escaped(t.title) + "</h2>\n" +
                   hand_body(t) + "</section>\n";
        }
        for (const Command& c : s.commands) out += command_section(c);
        return out + "</body>\n</html>\n";
    }
};

// Every topic the program can show has one; no topic number is given twice.
bool check_topics(const Sources& s, std::map<std::string, std::string>& titles,
                  std::string& error) {
    std::map<std::string, std::string> places;
    for (const HandTopic& t : s.topics) {
        titles[t.id] = t.title;
        places[t.id] = t.place;
    }
    std::set<long> numbers;
    for (const Command& c : s.commands) {
        const std::string id = std::to_string(kCommandHelpTopicBase + c.number);
        if (places.count(id)) {
            error = places[id] + ": topic " + id + " is the topic of command " + c.names.front();
            return false;
        }
        titles[id] = c.names.front();
    }
    for (const TopicDeclaration& d : s.declared) {
        if (!titles.count(std::to_string(d.number))) {
            error = d.place + ": the program shows help topic " + std::to_string(d.number) + " (" +
                    d.name + "), which the help source does not give";
            return false;
        }
    }
    for (const auto& [symbol, block] : s.help) {
        const auto t = block.texts.find({kTopicKey, kTopicKey});
        if (t == block.texts.end()) continue;
        long n = 0;
        if (!parse_int(trimmed(t->second), n) || !titles.count(std::to_string(n))) {
            error = block.place + ": the help block names help topic \"" + t->second +
                    "\", which the help file does not have";
            return false;
        }
    }
    return true;
}

// Writes through a temporary file, so that a failed build leaves no half file behind.
bool write_file(const fs::path& path, const std::string& text) {
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
    std::string help, tables, out;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--help") help = argv[i + 1];
        if (key == "--tables") tables = argv[i + 1];
        if (key == "--out") out = argv[i + 1];
    }
    if (help.empty() || tables.empty() || out.empty()) {
        std::fprintf(stderr,
                     "usage: help_builder --help <source> --tables <folder> --out <file>\n");
        return 2;
    }
    const fs::path root(tables);
    Sources s;
    std::string error;
    bool ok = read_messages(root / "messages/rtmsgs.msg", s, error) &&
              read_lists(root / "lists", s, error) &&
              read_command_help(root / "help/ctable.hlp", s, error) &&
              read_help_source(help, s, error);
    for (const std::string& file : sources_in(root / "definitions", ".def")) {
        if (ok) ok = read_definitions(file, s, error);
    }
    Writer writer{s, {}, ""};
    if (ok) ok = check_topics(s, writer.titles, error);
    std::string page;
    if (ok) {
        page = writer.page();
        if (!writer.error.empty()) {
            error = writer.error;
            ok = false;
        }
    }
    if (!ok) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (!write_file(out, page)) {
        std::fprintf(stderr, "help_builder: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
