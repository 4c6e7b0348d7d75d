// Message, list and help sources, the stroke font and the empty code table.
//
// Messages:  slots <offset>             (slot = number + offset; 4000 base tables, 100 diagnostics)
//            <number> <kind> "<text>"    kind: info, warning, error or a number 0..63
// Lists:     menu_text_size <bytes>
//            list <number> <name> [keyed]  /  item "<first>" "<second>"  /  end
// Help:      help <symbol number> flags=<byte>  /  text <key1> <key2> "<text>"  /  end
#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#include "runtime/message_table.h"
#include "tools/table_builder/builders.h"
#include "tools/table_builder/source_lines.h"

namespace {

const char* const kKindNames[] = {"info", "warning", "error"};

bool fail(std::string& error, const SourceLine& line, const std::string& text) {
    error = where(line, text);
    return false;
}

}  // namespace

bool build_messages(const std::string& source, Bytes& out, std::string& error) {
    std::vector<SourceLine> lines;
    if (!read_source(source, lines, error)) return false;
    long offset = -1;
    std::vector<MessageText> texts;
    std::set<long> numbers;
    for (const SourceLine& line : lines) {
        const auto& t = line.tokens;
        long n = 0;
        if (t[0] == "slots") {
            if (t.size() != 2 || !parse_int(t[1], offset) || offset < 0) {
                return fail(error, line, "slots needs a non-negative offset");
            }
            continue;
        }
        if (offset < 0) return fail(error, line, "the slot offset must come first");
        if (t.size() != 3 || !parse_int(t[0], n) || !line.quoted[2]) {
            return fail(error, line, "expected: <number> <kind> \"<text>\"");
        }
        if (!numbers.insert(n).second) return fail(error, line, "message number used twice");
        long kind = -1;
        for (int k = 0; k < 3; ++k) {
            if (t[1] == kKindNames[k]) kind = k;
        }
        if (kind < 0 && (!parse_int(t[1], kind) || kind < 0 || kind >= 64)) {
            return fail(error, line, "unknown message kind '" + t[1] + "'");
        }
        const long slot = n + offset;
        if (slot < 0 || slot >= kMessageSlotLimit) return fail(error, line, "slot out of range");
        if (t[2].size() >= kMessageLengthLimit) return fail(error, line, "text longer than 255");
        texts.push_back({static_cast<int>(slot), static_cast<unsigned>(kind), t[2]});
        Bytes probe;
        const int rc = build_message_table(texts, probe);
        if (rc == kMessageOffsetTooLarge) {
            return fail(error, line, "the table grows beyond 2^18 bytes at this text");
        }
        if (rc != 0) return fail(error, line, "cannot be stored in the message table");
    }
    if (texts.empty()) {
        error = source + ": no messages";
        return false;
    }
    return build_message_table(texts, out) == 0;
}

bool build_lists(const std::string& source, Bytes& out, std::string& error) {
    return build_lists(std::vector<std::string>{source}, out, error, nullptr);
}

bool build_lists(const std::vector<std::string>& sources, Bytes& out, std::string& error,
                 UserBuild* user) {
    struct File {
        std::vector<SourceLine> lines;
        bool user = false;
    };
    std::vector<File> files;
    for (const std::string& source : sources) {
        files.emplace_back();
        if (!read_source(source, files.back().lines, error)) return false;
    }
    if (user != nullptr) {
        for (const UserSource& source : user->sources) {
            File f;
            f.user = true;
            SourceProblem problem;
            if (!read_source_lines(source.path, source.shown, f.lines, problem)) {
                user->problems.push_back(problem);
                continue;
            }
            files.push_back(std::move(f));
        }
    }
    long menu_size = 0;
    struct List {
        std::string name;
        bool keyed = false;
        std::vector<ListPair> pairs;
        const SourceLine* line = nullptr;
        bool user = false;
    };
    std::map<long, List> lists;
    // A fault of a shipped source ends the build; a user's is collected and reading goes on
    // after the list it spoils.
    bool failed = false;
    auto fault = [&](bool in_user, const SourceLine& line, const std::string& text) {
        if (!in_user) {
            error = where(line, text);
            failed = true;
            return false;
        }
        user->problems.push_back({line.file, line.number, text});
        return true;
    };
    auto place = [](const List& l) {
        return l.line->file + "(" + std::to_string(l.line->number) + ")";
    };
    for (const File& file : files) {
        List* open = nullptr;
        bool skipping = false;
        for (const SourceLine& line : file.lines) {
            const auto& t = line.tokens;
            long n = 0;
            if (skipping && t[0] != "list") continue;
            skipping = false;
            if (t[0] == "menu_text_size" && t.size() == 2 && parse_int(t[1], n) && n >= 0 &&
                n <= static_cast<long>(kField16Max)) {
                // A user's menus may need more room than the shipped ones, never less.
                menu_size = file.user ? std::max(menu_size, n) : n;
                continue;
            }
            if (t[0] == "list") {
                std::string text;
                if (open != nullptr) {
                    text = "list inside a list";
                } else if (t.size() < 3 || t.size() > 4 || !parse_int(t[1], n) || n < 0 ||
                           n >= static_cast<long>(kField16Max) ||
                           (t.size() == 4 && t[3] != "keyed")) {
                    // The list count, one more than the highest number, is held in 16 bits.
                    text = "expected: list <number> <name> [keyed]";
                } else if (lists.count(n) && !file.user) {
                    text = "list number used twice";
                } else if (lists.count(n) && !lists[n].user) {
                    text = "list number " + t[1] + " is a shipped list";
                } else if (lists.count(n)) {
                    text = "list number " + t[1] + " is used twice: also at " + place(lists[n]);
                }
                if (!text.empty()) {
                    if (!fault(file.user, line, text)) return false;
                    open = nullptr;
                    skipping = true;
                    continue;
                }
                open = &lists[n];
                open->name = t[2];
                open->keyed = t.size() == 4;
                open->line = &line;
                open->user = file.user;
                continue;
            }
            if (t[0] == "item" && open != nullptr && t.size() == 3 && line.quoted[1] &&
                line.quoted[2]) {
                open->pairs.push_back({t[1], t[2]});
                continue;
            }
            if (t[0] == "end" && open != nullptr && t.size() == 1) {
                open = nullptr;
                continue;
            }
            if (!fault(file.user, line, "unknown or malformed line starting with '" + t[0] + "'")) {
                return false;
            }
            skipping = true;
            if (open != nullptr) {
                for (auto it = lists.begin(); it != lists.end(); ++it) {
                    if (&it->second == open) {
                        lists.erase(it);
                        break;
                    }
                }
                open = nullptr;
            }
        }
        if (open != nullptr && !fault(file.user, *open->line, "list without end")) return false;
    }
    if (failed) return false;
    std::vector<NameEntry> names;
    for (const auto& [n, l] : lists) names.push_back({l.name, static_cast<unsigned>(n)});
    Bytes name_table;
    for (const auto& [n, l] : lists) {
        for (const auto& [m, k] : lists) {
            if (m >= n || k.name != l.name) continue;
            if (!l.user && !k.user) return fail(error, *l.line, "list name used twice");
            if (l.user || k.user) {
                const List& mine = l.user ? l : k;
                const List& other = l.user ? k : l;
                user->problems.push_back(
                    {mine.line->file, mine.line->number,
                     other.user
                         ? "list name '" + l.name + "' is used twice: also at " + place(other)
                         : "list name '" + l.name + "' is a shipped list"});
            }
        }
    }
    if (user != nullptr && !user->problems.empty()) {
        error = "lists: the list sources have faults";
        return false;
    }
    if (build_name_table(names, NameTableForm::big_endian_with_values, name_table) != 0) {
        error = (sources.empty() ? std::string("lists") : sources[0]) +
                ": the list name table cannot be built";
        if (user != nullptr) user->problems.push_back({"", 0, "the list names do not fit"});
        return false;
    }
    const long count = lists.empty() ? 0 : lists.rbegin()->first + 1;
    Bytes t(kListsMagic, kListsMagic + kAmoMagicSize);
    put_be16(t, static_cast<unsigned>(menu_size));
    put_be16(t, static_cast<unsigned>(name_table.size()));
    t.insert(t.end(), name_table.begin(), name_table.end());
    put_be16(t, static_cast<unsigned>(count));
    std::size_t position = t.size() + kListDirectoryEntrySize * static_cast<std::size_t>(count);
    Bytes blocks;
    for (long n = 0; n < count; ++n) {
        const auto it = lists.find(n);
        if (it == lists.end()) {
            put_be16(t, 0);
            put_be24(t, 0);
            continue;
        }
        Bytes block;
        const char* reason = nullptr;
        if (build_list_block(it->second.pairs, block) != 0) {
            reason = "list block does not fit the list cache";
        } else if (position + blocks.size() > kField24Max) {
            reason = "list table beyond 24-bit offsets";
        }
        if (reason != nullptr) {
            if (it->second.user) {
                user->problems.push_back({it->second.line->file, it->second.line->number, reason});
                error = "lists: the list sources have faults";
                return false;
            }
            return fail(error, *it->second.line, reason);
        }
        put_be16(t, static_cast<unsigned>(block.size() | (it->second.keyed ? kListKeyedBit : 0)));
        put_be24(t, static_cast<unsigned>(position + blocks.size()));
        blocks.insert(blocks.end(), block.begin(), block.end());
    }
    t.insert(t.end(), blocks.begin(), blocks.end());
    out.swap(t);
    return true;
}

bool build_help(const std::string& source, Bytes& out, std::string& error) {
    std::vector<SourceLine> lines;
    if (!read_source(source, lines, error)) return false;
    struct Help {
        std::uint8_t flags = 0;
        std::vector<HelpText> texts;
        const SourceLine* line = nullptr;
    };
    std::map<long, Help> helps;
    Help* open = nullptr;
    for (const SourceLine& line : lines) {
        const auto& t = line.tokens;
        long n = 0, f = 0, k1 = 0, k2 = 0;
        std::string key, value;
        if (t[0] == "help" && open == nullptr && t.size() == 3 && parse_int(t[1], n) && n >= 0 &&
            n <= static_cast<long>(kField16Max) && split_key(t[2], key, value) && key == "flags" &&
            parse_int(value, f) && f >= 0 && f <= std::numeric_limits<std::uint8_t>::max()) {
            if (helps.count(n)) return fail(error, line, "help for this symbol given twice");
            open = &helps[n];
            open->flags = static_cast<std::uint8_t>(f);
            open->line = &line;
            continue;
        }
        if (t[0] == "text" && open != nullptr && t.size() == 4 && parse_int(t[1], k1) &&
            parse_int(t[2], k2) && k1 >= 0 && k1 <= std::numeric_limits<std::uint8_t>::max() &&
            k2 >= 0 && k2 <= std::numeric_limits<std::uint8_t>::max() && line.quoted[3]) {
            open->texts.push_back(
                {static_cast<std::uint8_t>(k1), static_cast<std::uint8_t>(k2), t[3]});
            continue;
        }
        if (t[0] == "end" && open != nullptr && t.size() == 1) {
            open = nullptr;
            continue;
        }
        return fail(error, line, "unknown or malformed line starting with '" + t[0] + "'");
    }
    if (open != nullptr) return fail(error, *open->line, "help without end");
    const long count = helps.empty() ? 0 : helps.rbegin()->first + 1;
    Bytes t(kHelpMagic, kHelpMagic + kAmoMagicSize);
    const std::size_t base = t.size() + 3 * static_cast<std::size_t>(count);
    Bytes blocks;
    for (long n = 0; n < count; ++n) {
        const auto it = helps.find(n);
        if (it == helps.end()) {
            put_be24(t, 0);
            continue;
        }
        Bytes block;
        if (build_help_block(it->second.flags, it->second.texts, block) != 0 ||
            base + blocks.size() + 2 + block.size() > kField24Max) {
            return fail(error, *it->second.line, "help block too large");
        }
        put_be24(t, static_cast<unsigned>(base + blocks.size()));
        put_be16(blocks, static_cast<unsigned>(block.size()));
        blocks.insert(blocks.end(), block.begin(), block.end());
    }
    t.insert(t.end(), blocks.begin(), blocks.end());
    out.swap(t);
    return true;
}
