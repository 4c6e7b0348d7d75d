// Message, list and help sources, the stroke font and the empty code table.
//
// Messages:  slots <offset>             (slot = number + offset; 4000 base tables, 100 diagnostics)
//            <number> <kind> [<name>] "<text>"    kind: info, warning, error or a number 0..63;
//            the name (lower snake case) is the code's name of the message (table_names), not
//            stored in the table
// Lists:     menu_text_size <bytes>
//            list <number> <name> [keyed] [names=<Prefix>]  /  item "<first>" "<second>"
//            [skips=<positions>]  /  end   (skips: the 1-based argument positions the word
//            makes irrelevant; names: the code names each item's number, table_names, not stored)
// Help:      help <symbol number> flags=<byte>  /  text <key1> <key2> "<text>"  /  end
//            topic <number> <name>   (a help topic the code names, kept out of the table)
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
    std::vector<const SourceLine*> text_lines;
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
        const bool named = t.size() == 4 && !line.quoted[2];
        if ((t.size() != 3 && !named) || !parse_int(t[0], n) || !line.quoted.back()) {
            return fail(error, line, "expected: <number> <kind> [<name>] \"<text>\"");
        }
        const std::string& text = t.back();
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
        if (text.size() >= kMessageLengthLimit) return fail(error, line, "text longer than 255");
        texts.push_back({static_cast<int>(slot), static_cast<unsigned>(kind), text});
        text_lines.push_back(&line);
    }
    if (texts.empty()) {
        error = source + ": no messages";
        return false;
    }
    if (build_message_table(texts, out) == 0) return true;
    // Only a table that cannot be stored is built again text by text, to name the first line
    // it fails at: doing so for every line made each build quadratic in the messages.
    std::vector<MessageText> prefix;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        prefix.push_back(texts[i]);
        Bytes probe;
        const int rc = build_message_table(prefix, probe);
        if (rc == kMessageOffsetTooLarge) {
            return fail(error, *text_lines[i], "the table grows beyond 2^18 bytes at this text");
        }
        if (rc != 0) return fail(error, *text_lines[i], "cannot be stored in the message table");
    }
    return false;
}

bool build_lists(const std::string& source, Bytes& out, std::string& error) {
    return build_lists(std::vector<std::string>{source}, out, error, nullptr);
}

namespace {

struct ListFile {
    std::vector<SourceLine> lines;
    bool user = false;
};
struct SourceList {
    std::string name;
    bool keyed = false;
    std::vector<ListPair> pairs;
    const SourceLine* line = nullptr;
    bool user = false;
};
using SourceLists = std::map<long, SourceList>;

std::string place_of(const SourceList& l) {
    return l.line->file + "(" + std::to_string(l.line->number) + ")";
}

// The shipped sources (a fault ends the build) and the user's (a fault is collected).
bool read_list_files(const std::vector<std::string>& sources, UserBuild* user,
                     std::vector<ListFile>& files, std::string& error) {
    for (const std::string& source : sources) {
        files.emplace_back();
        if (!read_source(source, files.back().lines, error)) return false;
    }
    if (user != nullptr) {
        for (const UserSource& source : user->sources) {
            ListFile f;
            f.user = true;
            SourceProblem problem;
            if (!read_source_lines(source.path, source.shown, f.lines, problem)) {
                user->problems.push_back(problem);
                continue;
            }
            files.push_back(std::move(f));
        }
    }
    return true;
}

// Reads the lists of the files. A fault of a shipped source ends the build; a user's is
// collected and reading goes on after the list it spoils.
class ListReader {
public:
    ListReader(SourceLists& lists, UserBuild* user, std::string& error)
        : lists_(lists), user_(user), error_(error) {}

    long menu_size = 0;

    bool read(const ListFile& file) {
        open_ = nullptr;
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
                if (!open_list(file, line, skipping)) return false;
                continue;
            }
            if (t[0] == "item" && open_ != nullptr && t.size() == 3 && line.quoted[1] &&
                line.quoted[2]) {
                open_->pairs.push_back({t[1], t[2]});
                continue;
            }
            if (t[0] == "item" && open_ != nullptr && t.size() == 4 && line.quoted[1] &&
                line.quoted[2] && !line.quoted[3]) {
                std::string value, why;
                if (value_with_skips(t[3], t[2], value, why)) {
                    open_->pairs.push_back({t[1], value});
                    continue;
                }
                if (!fault(file.user, line, why)) return false;
                skipping = true;
                drop_open_list();
                continue;
            }
            if (t[0] == "end" && open_ != nullptr && t.size() == 1) {
                open_ = nullptr;
                continue;
            }
            if (!fault(file.user, line, "unknown or malformed line starting with '" + t[0] + "'")) {
                return false;
            }
            skipping = true;
            drop_open_list();
        }
        return open_ == nullptr || fault(file.user, *open_->line, "list without end");
    }

private:
    bool fault(bool in_user, const SourceLine& line, const std::string& text) {
        if (!in_user) {
            error_ = where(line, text);
            return false;
        }
        user_->problems.push_back({line.file, line.number, text});
        return true;
    }

    // list <number> <name> [keyed] [names=<Prefix>]: a faulty one is skipped to the next list.
    bool open_list(const ListFile& file, const SourceLine& line, bool& skipping) {
        const auto& t = line.tokens;
        long n = 0;
        std::string text;
        bool keyed = false;
        bool options_known = t.size() <= 5;
        for (std::size_t i = 3; i < t.size() && options_known; ++i) {
            std::string key, value;
            if (t[i] == "keyed" && i == 3) {
                keyed = true;
            } else if (!split_key(t[i], key, value) || key != "names" || value.empty() ||
                       i != t.size() - 1) {
                options_known = false;
            }
        }
        if (open_ != nullptr) {
            text = "list inside a list";
        } else if (t.size() < 3 || !options_known || !parse_int(t[1], n) || n < 0 ||
                   n >= static_cast<long>(kField16Max)) {
            // The list count, one more than the highest number, is held in 16 bits.
            text = "expected: list <number> <name> [keyed] [names=<Prefix>]";
        } else if (lists_.count(n) && !file.user) {
            text = "list number used twice";
        } else if (lists_.count(n) && !lists_[n].user) {
            text = "list number " + t[1] + " is a shipped list";
        } else if (lists_.count(n)) {
            text = "list number " + t[1] + " is used twice: also at " + place_of(lists_[n]);
        }
        if (!text.empty()) {
            if (!fault(file.user, line, text)) return false;
            open_ = nullptr;
            skipping = true;
            return true;
        }
        open_ = &lists_[n];
        open_->name = t[2];
        open_->keyed = keyed;
        open_->line = &line;
        open_->user = file.user;
        return true;
    }

    void drop_open_list() {
        if (open_ == nullptr) return;
        for (auto it = lists_.begin(); it != lists_.end(); ++it) {
            if (&it->second == open_) {
                lists_.erase(it);
                break;
            }
        }
        open_ = nullptr;
    }

    SourceLists& lists_;
    UserBuild* user_;
    std::string& error_;
    SourceList* open_ = nullptr;
};

// Every list name once; a user's clash is collected.
bool check_list_names(const SourceLists& lists, UserBuild* user, std::string& error) {
    for (const auto& [n, l] : lists) {
        for (const auto& [m, k] : lists) {
            if (m >= n || k.name != l.name) continue;
            if (!l.user && !k.user) return fail(error, *l.line, "list name used twice");
            const SourceList& mine = l.user ? l : k;
            const SourceList& other = l.user ? k : l;
            user->problems.push_back(
                {mine.line->file, mine.line->number,
                 other.user ? "list name '" + l.name + "' is used twice: also at " + place_of(other)
                            : "list name '" + l.name + "' is a shipped list"});
        }
    }
    if (user != nullptr && !user->problems.empty()) {
        error = "lists: the list sources have faults";
        return false;
    }
    return true;
}

// The directory (size and offset of each list number) and the blocks.
bool write_list_table(const SourceLists& lists, long menu_size, const Bytes& name_table,
                      UserBuild* user, Bytes& out, std::string& error) {
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

}  // namespace

bool build_lists(const std::vector<std::string>& sources, Bytes& out, std::string& error,
                 UserBuild* user) {
    std::vector<ListFile> files;
    if (!read_list_files(sources, user, files, error)) return false;
    SourceLists lists;
    ListReader reader(lists, user, error);
    for (const ListFile& file : files) {
        if (!reader.read(file)) return false;
    }
    if (!check_list_names(lists, user, error)) return false;
    std::vector<NameEntry> names;
    for (const auto& [n, l] : lists) names.push_back({l.name, static_cast<unsigned>(n)});
    Bytes name_table;
    if (build_name_table(names, NameTableForm::big_endian_with_values, name_table) != 0) {
        error = (sources.empty() ? std::string("lists") : sources[0]) +
                ": the list name table cannot be built";
        if (user != nullptr) user->problems.push_back({"", 0, "the list names do not fit"});
        return false;
    }
    return write_list_table(lists, reader.menu_size, name_table, user, out, error);
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
        if (t[0] == "topic" && open == nullptr && t.size() == 3 && parse_int(t[1], n) && n > 0) {
            continue;  // for table_names and the help file
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
