#include "kpl/kpl_listing.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "kpl/kpl_opcodes.h"
#include "kpl/kpl_operators.h"
#include "runtime/table_format.h"

namespace {

struct Reader {
    const std::uint8_t* base;
    std::size_t size;
    std::size_t pos = 0;
    bool bad = false;
    const KplNameSource* names;
    std::string out;

    bool more() const { return pos < size && !bad; }
    std::uint8_t peek() const { return pos < size ? base[pos] : 0; }
    std::uint8_t byte() {
        if (pos >= size) {
            bad = true;
            return 0;
        }
        return base[pos++];
    }
    unsigned be16() {
        const unsigned hi = byte();
        return (hi << 8) | byte();
    }
    void put(const char* s) { out += s; }
    void putf(const char* format, long v) {
        char b[64];
        std::snprintf(b, sizeof b, format, v);
        out += b;
    }

    void expression();
    void operand();
    void reference(std::uint8_t ref, bool whole);
    void arguments(int symbol);
};

const char* type_name(int t) {
    return t == kKplInt ? "int" : t == kKplDouble ? "double" : t == kKplChar ? "char" : "?";
}

void Reader::reference(std::uint8_t ref, bool whole) {
    const int type = ref & kRefTypeMask;
    if ((ref & kRefBuiltin) != 0) {
        putf((ref & kRefGlobal) != 0 ? "sysvar_ro %ld" : "sysvar %ld", static_cast<long>(be16()));
    } else if ((ref & kRefGlobal) != 0) {
        putf("global %ld", static_cast<long>(be16()));
    } else {
        putf("local %ld", static_cast<long>(byte()));
    }
    out += ":";
    out += type_name(type);
    if ((ref & kRefIndexed) == 0 || whole) return;
    // One or two indices, each closed by the terminator. A second one follows when the next
    // byte starts an operand ('r' after an index reads as subtraction).
    for (int k = 0; k < 2 && more(); ++k) {
        out += "[";
        expression();
        if (byte() != kOp_terminator) bad = true;
        out += "]";
        const std::uint8_t b = peek();
        const bool starts_operand = b == kOp_constant || b == kOp_group || b == kOp_logical_not ||
                                    b == kOp_complement || (b >= 1 && b < kCallBit) ||
                                    (b >= kCallBit && b <= kLastCallByte);
        if (!starts_operand) break;
    }
}

void Reader::arguments(int symbol) {
    KplSymbolInfo info;
    if (!names->symbol_info(symbol, &info)) {
        bad = true;
        return;
    }
    out += "(";
    for (int i = 0; i < info.param_count && more(); ++i) {
        if (i > 0) out += ", ";
        const std::uint8_t b = peek();
        if (b == kOp_terminator) {
            out += "omitted";
        } else if (b == kOp_ask_arg) {
            byte();
            out += "ask";
        } else if (b == kOp_skipped_arg) {
            byte();
            out += "skipped";
        } else if (b == kOp_reference_arg) {
            byte();
            const std::uint8_t r = byte();
            if (r == kOp_inline_text) {
                const unsigned d1 = be16(), d2 = be16();
                if (d1 == 0) {
                    putf("pref %ld", static_cast<long>(d2));
                } else {
                    out += "\"";
                    for (unsigned k = 0; k + 1 < d1 && more(); ++k)
                        out += static_cast<char>(byte());
                    byte();
                    out += "\"";
                }
            } else {
                out += "&";
                reference(r, true);
            }
        } else {
            expression();
        }
        if (byte() != kOp_terminator) bad = true;
    }
    out += ")";
}

void Reader::operand() {
    std::uint8_t b = byte();
    if (b == kOp_negate || b == kOp_logical_not || b == kOp_complement) {
        out += b == kOp_negate ? "-" : b == kOp_logical_not ? "!" : "~";
        b = byte();
    }
    if (b == kOp_constant) {
        const std::uint8_t t = byte();
        if (t == kKplInt && pos + sizeof(std::int32_t) <= size) {
            std::int32_t v;
            std::memcpy(&v, base + pos, sizeof v);
            pos += sizeof v;
            putf("%ld", static_cast<long>(v));
        } else if (t == kKplDouble && pos + sizeof(double) <= size) {
            double v;
            std::memcpy(&v, base + pos, sizeof v);
            pos += sizeof v;
            char text[40];
            std::snprintf(text, sizeof text, "%.17gd", v);
            out += text;
        } else {
            bad = true;
        }
        return;
    }
    if (b == kOp_group) {
        out += "(";
        expression();
        if (byte() != kOp_group_end) bad = true;
        out += ")";
        return;
    }
    if (b >= kCallBit && b <= kLastCallByte) {
        const unsigned symbol = be16();
        putf((b & kCallBuiltin) != 0 ? "builtin %ld" : "user %ld", static_cast<long>(symbol));
        out += ":";
        const int result = b & kCallResultMask;
        out += result == 0 ? "void" : type_name(result);
        arguments(static_cast<int>(symbol));
        return;
    }
    if (b == 0 || b >= kCallBit) {
        bad = true;
        return;
    }
    reference(b, false);
    const std::uint8_t n = peek();
    if (n == kOp_pre_increment || n == kOp_pre_decrement) {
        byte();
        out += n == kOp_pre_increment ? " pre++" : " pre--";
    }
    const std::uint8_t m = peek();
    if (m == kOp_post_increment || m == kOp_post_decrement) {
        byte();
        out += m == kOp_post_increment ? " post++" : " post--";
    } else if (kpl_is_assignment(m)) {
        byte();
        const std::uint8_t op = m & kAssignOperatorMask;
        out += " ";
        out += op == kPlainAssign
                   ? ""
                   : (kpl_operator_text(op) != nullptr ? kpl_operator_text(op) : "?");
        out += "= ";
        expression();
    }
}

void Reader::expression() {
    operand();
    while (more()) {
        const std::uint8_t op = peek();
        if (kpl_precedence(op) == 0) return;
        byte();
        out += " ";
        out += kpl_operator_text(op);
        out += " ";
        operand();
    }
}

}  // namespace

std::string kpl_listing(const std::uint8_t* base, std::size_t size, const KplNameSource* names) {
    Reader r{base, size, 0, false, nullptr, {}};
    r.names = names != nullptr ? names : &kpl_definitions_names();
    std::set<std::size_t> tables;
    while (r.more()) {
        char head[32];
        std::snprintf(head, sizeof head, "%04zu  ", r.pos);
        r.out += head;
        if (tables.count(r.pos) != 0) {
            const unsigned n = r.be16(), fallback = r.be16();
            r.putf("table %ld", static_cast<long>(n));
            r.putf(" default %04ld", static_cast<long>(fallback));
            for (unsigned k = 0; k < n && r.more(); ++k) {
                const auto v = static_cast<std::int16_t>(r.be16());
                r.putf(" %ld", v);
                r.putf("->%04ld", static_cast<long>(r.be16()));
            }
            r.out += "\n";
            continue;
        }
        const std::uint8_t b = r.byte();
        const KplOpInfo* info = kpl_op_info(b, KplSpace::statement);
        if (info == nullptr) {
            r.putf("?? %ld\n", b);
            break;
        }
        r.out += info->name;
        switch (b) {
            case kOp_expression:
                r.out += " ";
                r.expression();
                if (r.byte() != kOp_terminator) r.bad = true;
                break;
            case kOp_jump_false:
            case kOp_jump_true:
            case kOp_switch_: {
                const unsigned t = r.be16();
                if (b == kOp_switch_) tables.insert(t);
                r.putf(" %04ld ", static_cast<long>(t));
                r.expression();
                if (r.byte() != kOp_terminator) r.bad = true;
                break;
            }
            case kOp_jump:
            case kOp_switch_end:
                r.putf(" %04ld", static_cast<long>(r.be16()));
                break;
            case kOp_return_value:
                r.out += " ";
                r.expression();
                break;
            case kOp_declare: {
                const std::uint8_t flags = r.byte(), slot = r.byte();
                r.putf(" local %ld:", slot);
                r.out += type_name(flags & kDeclareTypeMask);
                if ((flags & kDeclareArray) != 0) {
                    r.out += "[";
                    r.expression();
                    if (r.byte() != kOp_terminator) r.bad = true;
                    if (r.peek() == kOp_terminator) {
                        r.byte();
                    } else {
                        r.out += "][";
                        r.expression();
                        if (r.byte() != kOp_terminator) r.bad = true;
                    }
                    r.out += "]";
                }
                break;
            }
            default:
                break;
        }
        if (r.bad) {
            r.out += " ??\n";
            break;
        }
        r.out += "\n";
    }
    return r.out;
}

std::string kpl_expression_listing(const std::uint8_t* base, std::size_t size,
                                   const KplNameSource* names) {
    Reader r{base, size, 0, false, nullptr, {}};
    r.names = names != nullptr ? names : &kpl_definitions_names();
    r.expression();
    if (r.byte() != kOp_terminator) r.bad = true;
    if (r.bad) r.out += " ??";
    return r.out;
}

std::string kpl_compile_listing(const char* text, const KplNameSource* names) {
    static std::uint8_t buffer[kKplLineArea];
    KplCompileOptions o;
    o.names = names;
    KplCompileResult result;
    if (kpl_compile(text, buffer, sizeof buffer, o, &result) != 0) {
        return "error " + std::to_string(result.error);
    }
    return kpl_listing(buffer, result.size, names);
}
