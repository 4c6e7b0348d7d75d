// Message, list and help sources, the stroke font and the empty code table.
//
// Messages:  slots <offset>             (slot = number + offset; 4000 base tables, 100 diagnostics)
//            <number> <kind> "<text>"    kind: info, warning, error or a number 0..63
// Lists:     menu_text_size <bytes>
//            list <number> <name> [keyed]  /  item "<first>" "<second>"  /  end
// Help:      help <symbol number> flags=<byte>  /  text <key1> <key2> "<text>"  /  end
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
    std::vector<SourceLine> lines;
    if (!read_source(source, lines, error)) return false;
    long menu_size = 0;
    struct List {
        std::string name;
        bool keyed = false;
        std::vector<ListPair> pairs;
        const SourceLine* line = nullptr;
    };
    std::map<long, List> lists;
    List* open = nullptr;
    for (const SourceLine& line : lines) {
        const auto& t = line.tokens;
        long n = 0;
        if (t[0] == "menu_text_size" && t.size() == 2 && parse_int(t[1], menu_size) &&
            menu_size >= 0 && menu_size <= static_cast<long>(kField16Max)) {
            continue;
        }
        if (t[0] == "list") {
            if (open != nullptr) return fail(error, line, "list inside a list");
            // The list count, one more than the highest number, is held in 16 bits.
            if (t.size() < 3 || t.size() > 4 || !parse_int(t[1], n) || n < 0 ||
                n >= static_cast<long>(kField16Max) || (t.size() == 4 && t[3] != "keyed")) {
                return fail(error, line, "expected: list <number> <name> [keyed]");
            }
            if (lists.count(n)) return fail(error, line, "list number used twice");
            open = &lists[n];
            open->name = t[2];
            open->keyed = t.size() == 4;
            open->line = &line;
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
        return fail(error, line, "unknown or malformed line starting with '" + t[0] + "'");
    }
    if (open != nullptr) return fail(error, *open->line, "list without end");
    std::vector<NameEntry> names;
    for (const auto& [n, l] : lists) names.push_back({l.name, static_cast<unsigned>(n)});
    Bytes name_table;
    for (const auto& [n, l] : lists) {
        for (const auto& [m, k] : lists) {
            if (m < n && k.name == l.name) return fail(error, *l.line, "list name used twice");
        }
    }
    if (build_name_table(names, NameTableForm::big_endian_with_values, name_table) != 0) {
        error = source + ": the list name table cannot be built";
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
        if (build_list_block(it->second.pairs, block) != 0) {
            return fail(error, *it->second.line, "list block does not fit the list cache");
        }
        if (position + blocks.size() > kField24Max) {
            return fail(error, *it->second.line, "list table beyond 24-bit offsets");
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
