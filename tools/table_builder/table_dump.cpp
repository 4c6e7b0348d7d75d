// Prints a built table back in the form of its source, through the same layout code the
// program reads with; a damaged table is refused, never read out of bounds.
#include <cstdio>
#include <cstring>
#include <sstream>

#include "runtime/message_table.h"
#include "runtime/state_flags.h"
#include "tools/table_builder/builders.h"
#include "tools/table_builder/source_lines.h"

namespace {

const char* const kKindNames[] = {"info", "warning", "error"};

std::string number_text(double v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

// Bytes of a checked expression back to text: groups become parentheses.
void expression_text(const std::uint8_t*& p, std::ostringstream& out) {
    if (*p == kCondNot) {
        out << "not ";
        ++p;
    }
    if (*p == kCondGroup) {
        ++p;
        out << "(";
        expression_text(p, out);
        out << ")";
        ++p;
    } else {
        const char* name = state_flag_name(*p - 1);
        if (name != nullptr) {
            out << name;
        } else {
            out << "flag_" << (*p - 1);
        }
        ++p;
    }
    while (*p == kCondAnd || *p == kCondOr) {
        out << (*p == kCondAnd ? " and " : " or ");
        ++p;
        expression_text(p, out);
    }
}

struct Reader {
    const Bytes& t;
    std::size_t pos;
    bool ok = true;
    const std::uint8_t* take(std::size_t n) {
        if (!ok || pos + n > t.size()) {
            ok = false;
            return nullptr;
        }
        const std::uint8_t* p = t.data() + pos;
        pos += n;
        return p;
    }
    unsigned be16() {
        const auto* p = take(2);
        return p ? be16_at(p) : 0;
    }
    unsigned le16() {
        const auto* p = take(2);
        return p ? le16_at(p) : 0;
    }
    std::uint32_t le32() {
        const auto* p = take(4);
        return p ? le32_at(p) : 0;
    }
};

std::string handle_text(unsigned h, const double* constants, unsigned constant_count) {
    const unsigned kind = h & kHandleKindMask, n = h & kHandleNumberMask;
    if (kind == kHandleConstant && n < constant_count) return number_text(constants[n]);
    if (kind == kHandleMessagePlus) return "msg:" + std::to_string(n);
    if (kind == kHandleMessageMinus) return "msg:-" + std::to_string(n);
    if (kind == kHandleValue) return "value:" + std::to_string(n);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "raw:0x%04x", h);
    return buffer;
}

bool dump_definitions(const Bytes& t, std::string& text) {
    Reader r{t, kAmoMagicSize};
    std::ostringstream out;
    const unsigned vlen = r.take(1) ? t[kAmoMagicSize] : 0;
    const auto* v = r.take(vlen);
    if (!r.ok) return false;
    out << "version " << quote_text(std::string(reinterpret_cast<const char*>(v), vlen)) << "\n";
    const unsigned names_size = r.be16();
    const auto* names = r.take(names_size);
    if (!r.ok || check_name_table(names, names_size, NameTableForm::big_endian_with_values))
        return false;
    const unsigned c = r.le16();
    const auto* records = r.take(c * kCommandRecordSize);
    const unsigned p = r.le16();
    const auto* descs = r.take(p * kParamDescriptorSize);
    const unsigned k = r.le16();
    const auto* consts = r.take(k * 8);
    const unsigned x = r.le16();
    const auto* index = r.take(2 * x);
    const unsigned pn_size = r.le16();
    const auto* pnames = r.take(pn_size);
    const unsigned g_size = r.le16();
    const auto* globals = r.take(g_size);
    const unsigned gv_size = r.le16();
    const auto* gvalues = r.take(gv_size);
    const unsigned q = r.le16();
    r.take(q * kProcedureRecordSize);
    const unsigned local = r.le16();
    const unsigned m = r.le16();
    const std::uint32_t code = r.le32(), data = r.le32();
    const std::uint8_t* pool = nullptr;
    std::uint32_t pool_size = 0;
    const std::uint8_t* offsets = nullptr;
    if (m > 0) {
        pool_size = r.le32();
        pool = r.take(pool_size);
        offsets = r.take(4u * m);
    }
    const unsigned e = r.le16();
    const std::uint8_t* cond = nullptr;
    unsigned cond_size = 0;
    if (e > 0) {
        cond_size = r.le16();
        cond = r.take(cond_size);
    }
    if (!r.ok || check_condition_block(cond, cond_size, static_cast<int>(e)) != 0) return false;
    if (pn_size > 0 && pnames[pn_size - 1] != 0) return false;
    std::vector<double> constants(k);
    if (k > 0) std::memcpy(constants.data(), consts, 8 * k);
    out << "work code=" << code << " data=" << data << "\n";
    out << "local_names " << (local ? "on" : "off") << "\n";
    for (unsigned i = 0; i < e; ++i) {
        const Bytes expr = condition_expression(cond, cond_size, static_cast<int>(i));
        const std::uint8_t* ep = expr.data();
        std::ostringstream ex;
        expression_text(ep, ex);
        out << "condition " << i << " " << ex.str() << "\n";
    }
    const auto entries = name_table_entries(names, NameTableForm::big_endian_with_values);
    for (unsigned n = 0; n < c; ++n) {
        CommandRecord rec;
        std::memcpy(&rec, records + n * kCommandRecordSize, sizeof rec);
        std::string list;
        for (const NameEntry& ne : entries) {
            if (ne.value == n) list += (list.empty() ? "" : ",") + ne.name;
        }
        if (list.empty()) continue;
        out << "command " << n << " " << list << " plain=" << rec.plain_slot
            << " interactive=" << rec.interactive_slot
            << " kind=" << (rec.flags & kRecordResultMask);
        if (rec.flags & kRecordHidden) out << " hidden";
        if (rec.flags & kRecordLensData) out << " lens_data";
        if (rec.enable_condition != kNoCondition) out << " if=" << int{rec.enable_condition};
        out << "\n";
        for (unsigned j = 0; j < rec.parameter_count; ++j) {
            unsigned d = rec.parameter_count >= 2
                             ? le16_at(index + 2 * (rec.parameter_field + j)) & kParamIndexMask
                             : static_cast<unsigned>(rec.parameter_field);
            if (d >= p ||
                (rec.parameter_count >= 2 && static_cast<unsigned>(rec.parameter_field) + j >= x)) {
                return false;
            }
            ParamDescriptor pd;
            std::memcpy(&pd, descs + d * kParamDescriptorSize, sizeof pd);
            if (pd.name_offset < 0 || static_cast<unsigned>(pd.name_offset) >= pn_size)
                return false;
            static const char* const types[] = {"", "int", "double", "char"};
            std::string type = (pd.type_flags & kParamPlainText) ? "plain_text"
                               : (pd.type_flags & kParamText)
                                   ? "text"
                                   : types[pd.type_flags & kParamTypeMask];
            out << "  param " << reinterpret_cast<const char*>(pnames + pd.name_offset) << " "
                << type;
            const std::pair<const char*, unsigned> hs[] = {{"default", pd.default_handle},
                                                           {"list", pd.list_handle},
                                                           {"lower", pd.lower_handle},
                                                           {"upper", pd.upper_handle},
                                                           {"prompt", pd.prompt_handle}};
            for (const auto& [key, h] : hs) {
                if (h == 0) continue;
                if (std::strcmp(key, "list") == 0 && (h & kHandleKindMask) == kHandleConstant) {
                    out << " list=slot:" << (h & kHandleNumberMask);
                } else if (std::strcmp(key, "list") == 0 &&
                           (h & kHandleKindMask) == kHandleMessagePlus) {
                    out << " list=list:" << (h & kHandleNumberMask);
                } else {
                    out << " " << key << "=" << handle_text(h, constants.data(), k);
                }
            }
            if (pd.prompt_mode) out << " mode=" << int{pd.prompt_mode};
            if (pd.enable_condition != kNoCondition) out << " if=" << int{pd.enable_condition};
            if (pd.flags) out << " flags=" << int{pd.flags};
            out << "\n";
        }
    }
    if (g_size > 0) {
        if (check_name_table(globals, g_size, NameTableForm::little_endian)) return false;
        const auto gl = name_table_entries(globals, NameTableForm::little_endian);
        if (gv_size != 4 * gl.size()) return false;
        for (std::size_t i = 0; i < gl.size(); ++i) {
            out << "global " << gl[i].name << " "
                << static_cast<std::int32_t>(le32_at(gvalues + 4 * i)) << "\n";
        }
    }
    for (unsigned i = 0; i < m; ++i) {
        const std::uint32_t off = le32_at(offsets + 4 * i);
        if (off + 8 > pool_size && !(off + 4 < pool_size)) return false;
        if (off + 4 <= pool_size && std::memcmp(pool + off, "txt", 4) == 0) {
            const void* nul = std::memchr(pool + off + 4, 0, pool_size - off - 4);
            if (nul == nullptr) return false;
            out << "value " << i << " text "
                << quote_text(reinterpret_cast<const char*>(pool + off + 4)) << "\n";
        } else {
            if (off + 8 > pool_size) return false;
            double d;
            std::memcpy(&d, pool + off, 8);
            out << "value " << i << " number " << number_text(d) << "\n";
        }
    }
    text = out.str();
    return true;
}

bool dump_messages(const Bytes& t, const std::string& file_name, std::string& text) {
    std::vector<MessageEntry> entries;
    if (parse_message_table(t, entries) != 0) return false;
    const int offset = file_name.find("msmsgs") != std::string::npos ? 100 : kMessageSlotBase;
    std::ostringstream out;
    out << "slots " << offset << "\n";
    // Slots without their own text share the empty text at the start of the pool.
    const std::uint32_t shared = message_pool_start(static_cast<int>(entries.size()) - 1);
    for (std::size_t slot = 0; slot < entries.size(); ++slot) {
        const MessageEntry& e = entries[slot];
        if (e.kind == 0 && e.length == 1 && e.offset == shared) continue;
        std::string s(reinterpret_cast<const char*>(t.data() + e.offset), e.length);
        if (e.length == 1 && s[0] == '\0') s.clear();
        out << static_cast<long>(slot) - offset << " ";
        if (offset == kMessageSlotBase && e.kind < 3) {
            out << kKindNames[e.kind];
        } else {
            out << int{e.kind};
        }
        out << " " << quote_text(s) << "\n";
    }
    text = out.str();
    return true;
}

bool dump_lists(const Bytes& t, std::string& text) {
    Reader r{t, kAmoMagicSize};
    std::ostringstream out;
    out << "menu_text_size " << r.be16() << "\n";
    const unsigned ns = r.be16();
    const auto* names = r.take(ns);
    if (!r.ok || check_name_table(names, ns, NameTableForm::big_endian_with_values)) return false;
    const unsigned n = r.be16();
    const auto entries = name_table_entries(names, NameTableForm::big_endian_with_values);
    for (unsigned i = 0; i < n; ++i) {
        const auto* d = r.take(kListDirectoryEntrySize);
        if (!r.ok) return false;
        const unsigned word = be16_at(d), len = word & kListLengthMask, off = be24_at(d + 2);
        if (len == 0) continue;
        if (len >= kListCacheSize || off + len > t.size() || check_list_block(t.data() + off, len))
            return false;
        std::string name;
        for (const NameEntry& e : entries) {
            if (e.value == i) name = e.name;
        }
        out << "list " << i << " " << name << ((word & kListKeyedBit) ? " keyed" : "") << "\n";
        for (const ListPair& p : list_block_pairs(t.data() + off)) {
            out << "  item " << quote_text(p.first) << " " << quote_text(p.second) << "\n";
        }
        out << "end\n";
    }
    text = out.str();
    return true;
}

bool dump_help(const Bytes& t, std::string& text) {
    std::ostringstream out;
    // The offsets end where the first block begins.
    std::size_t end = t.size();
    for (std::size_t pos = kAmoMagicSize, n = 0; pos + 3 <= end; pos += 3, ++n) {
        const unsigned off = be24_at(t.data() + pos);
        if (off == 0) continue;
        if (off < pos + 3) return false;
        if (off < end) end = off;
        if (off + 2 > t.size()) return false;
        const unsigned len = be16_at(t.data() + off);
        if (off + 2 + len > t.size() || check_help_block(t.data() + off + 2, len)) return false;
        out << "help " << n << " flags=" << int{t[off + 2]} << "\n";
        for (const HelpText& h : help_block_texts(t.data() + off + 2)) {
            out << "  text " << int{h.key1} << " " << int{h.key2} << " " << quote_text(h.text)
                << "\n";
        }
        out << "end\n";
    }
    text = out.str();
    return true;
}

bool dump_font(const Bytes& t, std::string& text) {
    Reader r{t, kAmoMagicSize};
    const unsigned len1 = r.be16();
    const auto* set1 = r.take(len1);
    const unsigned len2 = r.be16();
    r.take(len2);
    if (!r.ok) return false;
    std::ostringstream out;
    int glyph = 0, bytes = 0;
    for (unsigned i = 0; i < len1; ++i) {
        if (set1[i] != 0) {
            ++bytes;
            continue;
        }
        if (bytes > 0) out << "glyph " << glyph << " points=" << bytes << "\n";
        ++glyph;
        bytes = 0;
    }
    out << "set1 bytes=" << len1 << " glyphs=" << glyph << "\nset2 bytes=" << len2 << "\n";
    text = out.str();
    return true;
}

bool has_magic(const Bytes& t, const char* magic) {
    return t.size() >= kAmoMagicSize && std::memcmp(t.data(), magic, kAmoMagicSize) == 0;
}

}  // namespace

bool dump_table(const Bytes& t, const std::string& file_name, std::string& text,
                std::string& error) {
    bool ok = false;
    if (has_magic(t, kDefinitionsMagic)) {
        ok = dump_definitions(t, text);
    } else if (has_magic(t, kMessageMagic)) {
        ok = dump_messages(t, file_name, text);
    } else if (has_magic(t, kListsMagic)) {
        ok = dump_lists(t, text);
    } else if (has_magic(t, kHelpMagic)) {
        ok = dump_help(t, text);
    } else if (has_magic(t, kCodeMagic)) {
        text = "code bytes=" + std::to_string(t.size() - kAmoMagicSize) + "\n";
        ok = true;
    } else if (has_magic(t, kFontMagic)) {
        ok = dump_font(t, text);
    } else {
        error = file_name + ": not a table (unknown magic)";
        return false;
    }
    if (!ok) error = file_name + ": the table is damaged";
    return ok;
}
