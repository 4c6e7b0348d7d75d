#include "kpl/kpl_lexer.h"

#include <cstring>

#include "kpl/kpl_opcodes.h"
#include "runtime/list_words.h"
#include "tables/table_names.h"

namespace {

struct Keyword {
    const char* text;
    int code;
};
// Sorted for the binary search.
constexpr Keyword kKeywords[] = {
    {"break", kTokBreak},     {"case", kTokCase},   {"continue", kTokContinue},
    {"default", kTokDefault}, {"do", kTokDo},       {"else", kTokElse},
    {"for", kTokFor},         {"if", kTokIf},       {"str_pref", kTokStrPref},
    {"switch", kTokSwitch},   {"while", kTokWhile},
};

struct Operator {
    const char* text;
    int token;
    std::uint8_t byte;
};
// The punctuation and operators; the quote characters start strings and characters.
constexpr std::uint8_t assigning(std::uint8_t op) {
    return static_cast<std::uint8_t>(kAssignBit | op);
}
constexpr Operator kOperators[] = {
    {"!", kTokUnary, kOp_logical_not},
    {"!=", kTokBinary, kOp_not_equal},
    {"%", kTokBinary, kOp_remainder},
    {"%=", kTokAssign, assigning(kOp_remainder)},
    {"&", kTokBinary, kOp_bit_and},
    {"&&", kTokBinary, kOp_logical_and},
    {"&=", kTokAssign, assigning(kOp_bit_and)},
    {"(", kTokLParen, kOp_group},
    {")", kTokRParen, kOp_group_end},
    {"*", kTokBinary, kOp_multiply},
    {"**", kTokBinary, kOp_power},
    {"*=", kTokAssign, assigning(kOp_multiply)},
    {"+", kTokBinary, kOp_add},
    {"++", kTokIncDec, kIncrementByte},
    {"+=", kTokAssign, assigning(kOp_add)},
    {",", kTokComma, kTokComma},
    {"-", kTokBinary, kOp_subtract},
    {"--", kTokIncDec, kDecrementByte},
    {"-=", kTokAssign, assigning(kOp_subtract)},
    {".", kTokDot, kTokDot},
    {"/", kTokBinary, kOp_divide},
    {"/=", kTokAssign, assigning(kOp_divide)},
    {":", kTokColon, kTokColon},
    {";", kTokSemicolon, kOp_terminator},
    {"<", kTokBinary, kOp_less},
    {"<<", kTokBinary, kOp_shift_left},
    {"<<=", kTokAssign, assigning(kOp_shift_left)},
    {"<=", kTokBinary, kOp_less_equal},
    {"=", kTokAssign, kOp_assign},
    {"==", kTokBinary, kOp_equal},
    {">", kTokBinary, kOp_greater},
    {">=", kTokBinary, kOp_greater_equal},
    {">>", kTokBinary, kOp_shift_right},
    {">>=", kTokAssign, assigning(kOp_shift_right)},
    {"?", kTokQuestion, kOp_ask_arg},
    {"[", kTokLBracket, kTokLBracket},
    {"]", kTokRBracket, kTokRBracket},
    {"^", kTokBinary, kOp_bit_xor},
    {"^=", kTokAssign, assigning(kOp_bit_xor)},
    {"{", kTokLBrace, kTokLBrace},
    {"|", kTokBinary, kOp_bit_or},
    {"|=", kTokAssign, assigning(kOp_bit_or)},
    {"||", kTokBinary, kOp_logical_or},
    {"}", kTokRBrace, kTokRBrace},
    {"~", kTokUnary, kOp_complement},
};

bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
int hex_digit(char c) {
    if (is_digit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

char get(KplLexer& lx) {
    if (lx.pushed > 0) {
        lx.last_from_source = false;
        return lx.push_back[--lx.pushed];
    }
    lx.last_from_source = true;
    if (*lx.src == '\0') return '\0';
    return *lx.src++;
}

// Gives back the character just read: into the source when it came from there, else onto the
// push-back stack.
int unget(KplLexer& lx, char c) {
    if (c == '\0') return 0;
    if (lx.last_from_source && lx.pushed == 0 && lx.src[-1] == c) {
        --lx.src;
        lx.last_from_source = false;
        return 0;
    }
    if (lx.pushed >= kKplPushBackSize) return kMsgOutOfMemory;
    lx.push_back[lx.pushed++] = c;
    return 0;
}

int fail(KplLexer& lx, int code) {
    if (lx.error == 0) lx.error = code;
    lx.token = code;
    return code;
}

int incomplete(KplLexer& lx) {
    return fail(lx, lx.expression_only ? kMsgIncompleteCell : kMsgIncomplete);
}

int set_token(KplLexer& lx, int token, std::int64_t value) {
    lx.token = token;
    lx.value = value;
    return token;
}

// Skips blanks, control characters and comments; true when a blank was skipped.
int skip_space(KplLexer& lx, bool& blank) {
    blank = false;
    for (;;) {
        const char c = get(lx);
        if (c == '\0') return 0;
        if (static_cast<unsigned char>(c) <= ' ' || c == 127) {
            if (c == '\n') {
                if (lx.count_lines) ++lx.line;
                lx.crossed_line = true;
            }
            blank = true;
            continue;
        }
        if (c == '/') {
            const char d = get(lx);
            if (d == '*') {
                char prev = 0;
                for (;;) {
                    const char e = get(lx);
                    if (e == '\0') return incomplete(lx);
                    if (e == '\n') {
                        if (lx.count_lines) ++lx.line;
                        lx.crossed_line = true;
                    }
                    if (prev == '*' && e == '/') break;
                    prev = e;
                }
                blank = true;
                continue;
            }
            if (d == '/') {
                char e;
                while ((e = get(lx)) != '\0' && e != '\n') {
                }
                if (e == '\n') {
                    if (lx.count_lines) ++lx.line;
                    lx.crossed_line = true;
                }
                blank = true;
                continue;
            }
            if (unget(lx, d) != 0 || unget(lx, c) != 0) return fail(lx, kMsgOutOfMemory);
            return 0;
        }
        if (unget(lx, c) != 0) return fail(lx, kMsgOutOfMemory);
        return 0;
    }
}

int read_number(KplLexer& lx, char first) {
    std::size_t n = 0;
    auto add = [&](char c) {
        if (n >= kKplNumberTextMax) return false;
        lx.text[n++] = c;
        return true;
    };
    add(first);
    char c = get(lx);
    if (first == '0' && (c == 'x' || c == 'X')) {
        std::uint64_t v = 0;
        int digits = 0;
        bool big = false;
        while ((c = get(lx)) != '\0' && hex_digit(c) >= 0) {
            if (!add(c)) return fail(lx, kMsgOutOfMemory);
            if (digits > 0 || c != '0') ++digits;
            if (digits > 8) big = true;
            v = (v << 4) | static_cast<unsigned>(hex_digit(c));
        }
        if (unget(lx, c) != 0) return fail(lx, kMsgOutOfMemory);
        lx.text[n] = '\0';
        return set_token(lx, kTokInt, big || v > 0x7FFFFFFF ? -1 : static_cast<std::int64_t>(v));
    }
    bool real = first == '.';
    bool exponent = false;
    int exp_value = 0;
    int digits = first == '.' || first == '0' ? 0 : 1;
    for (;; c = get(lx)) {
        if (is_digit(c)) {
            if (!add(c)) return fail(lx, kMsgOutOfMemory);
            if (exponent) {
                if (exp_value < 100000) exp_value = exp_value * 10 + (c - '0');
            } else if (digits > 0 || c != '0') {
                ++digits;
            }
            continue;
        }
        if (c == '.' && !real && !exponent) {
            real = true;
            if (!add(c)) return fail(lx, kMsgOutOfMemory);
            continue;
        }
        if ((c == 'e' || c == 'E') && !exponent) {
            const char d = get(lx);
            if (is_digit(d) || d == '+' || d == '-') {
                exponent = real = true;
                if (!add(c)) return fail(lx, kMsgOutOfMemory);
                if (d == '+' || d == '-') {
                    if (!add(d)) return fail(lx, kMsgOutOfMemory);
                } else if (unget(lx, d) != 0) {
                    return fail(lx, kMsgOutOfMemory);
                }
                continue;
            }
            if (unget(lx, d) != 0) return fail(lx, kMsgOutOfMemory);
        }
        break;
    }
    if (unget(lx, c) != 0) return fail(lx, kMsgOutOfMemory);
    lx.text[n] = '\0';
    if (real) {
        const bool bad = exp_value > kKplRealExponentMax || digits > kKplRealDigitsMax;
        return set_token(lx, kTokReal, bad ? -1 : static_cast<std::int64_t>(n));
    }
    // Leading zeros do not count; more than 10 digits or beyond the int32 range is invalid.
    const char* p = lx.text;
    while (*p == '0' && p[1] != '\0') ++p;
    if (std::strlen(p) > 10) return set_token(lx, kTokInt, -1);
    std::int64_t v = 0;
    for (; *p != '\0'; ++p) v = v * 10 + (*p - '0');
    return set_token(lx, kTokInt, v > 0x7FFFFFFF ? -1 : v);
}

// An escape after a backslash in a character constant.
int read_escape(KplLexer& lx) {
    const char c = get(lx);
    if (const char control = escape_char(c); control != 0) return control;
    switch (c) {
        case 'x': {
            int v = 0;
            for (int i = 0; i < 3; ++i) {
                const char d = get(lx);
                if (hex_digit(d) < 0) {
                    unget(lx, d);
                    break;
                }
                v = v * 16 + hex_digit(d);
            }
            return v & 0xFF;
        }
        default:
            if (c >= '0' && c <= '7') {
                int v = c - '0';
                for (int i = 0; i < 2; ++i) {
                    const char d = get(lx);
                    if (d < '0' || d > '7') {
                        unget(lx, d);
                        break;
                    }
                    v = v * 8 + (d - '0');
                }
                return v & 0xFF;
            }
            return static_cast<unsigned char>(c);
    }
}

int read_char_constant(KplLexer& lx) {
    char c = get(lx);
    if (c == '\0') return incomplete(lx);
    int v = static_cast<unsigned char>(c);
    if (c == '\\') v = read_escape(lx);
    c = get(lx);
    if (c == '\0') return incomplete(lx);
    if (c != '\'') return fail(lx, kMsgSyntax);
    lx.text[0] = static_cast<char>(v);
    lx.text[1] = '\0';
    return set_token(lx, kTokInt, v);
}

int read_string(KplLexer& lx) {
    std::size_t n = 0;
    auto add = [&](char c) {
        if (n >= kKplTokenTextMax) return false;
        lx.text[n++] = c;
        return true;
    };
    for (;;) {
        char c = get(lx);
        if (c == '\0') return incomplete(lx);
        if (c == '"') break;
        if (c == '\\') {
            const char d = get(lx);
            if (d == '\0') return incomplete(lx);
            if (d == '"' || d == '\\') {
                if (!add(d)) return fail(lx, kMsgOutOfMemory);
            } else if (d == '\n') {
                if (lx.count_lines) ++lx.line;
            } else {
                if (!add(c) || !add(d)) return fail(lx, kMsgOutOfMemory);
            }
            continue;
        }
        if (c == '\n') {
            if (lx.count_lines) ++lx.line;
            if (!add(' ')) return fail(lx, kMsgOutOfMemory);
            while ((c = get(lx)) == ' ' || c == '\t') {
            }
            if (unget(lx, c) != 0) return fail(lx, kMsgOutOfMemory);
            continue;
        }
        if (c == '\r') continue;
        if (!add(c)) return fail(lx, kMsgOutOfMemory);
    }
    lx.text[n] = '\0';
    return set_token(lx, kTokString, static_cast<std::int64_t>(n));
}

const Operator* find_operator(const char* s, std::size_t len) {
    for (const Operator& o : kOperators) {
        if (o.text[0] != s[0]) continue;
        std::size_t n = 1;
        while (n < len && o.text[n] == s[n]) ++n;
        if (n == len && o.text[len] == '\0') return &o;
    }
    return nullptr;
}

}  // namespace

int find_keyword(const char* word) {
    int lo = 0, hi = static_cast<int>(sizeof kKeywords / sizeof kKeywords[0]) - 1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const int c = std::strcmp(word, kKeywords[mid].text);
        if (c == 0) return kKeywords[mid].code;
        if (c < 0) {
            hi = mid - 1;
        } else {
            lo = mid + 1;
        }
    }
    return 0;
}

void kpl_lexer_start(KplLexer& lx, const char* text) {
    lx.src = text != nullptr ? text : "";
    lx.pushed = 0;
    lx.token = kTokEnd;
    lx.value = 0;
    lx.text[0] = '\0';
    lx.line = 1;
    lx.error = 0;
    lx.argument_mode = false;
    lx.paren_depth = 0;
    lx.blank_skipped = false;
    lx.crossed_line = false;
    lx.newline_before = false;
}

int kpl_push_text(KplLexer& lx, const char* text) {
    const std::size_t n = std::strlen(text);
    if (lx.pushed + n > kKplPushBackSize) return fail(lx, kMsgOutOfMemory);
    for (std::size_t i = n; i > 0; --i) lx.push_back[lx.pushed++] = text[i - 1];
    return 0;
}

char kpl_peek_char(KplLexer& lx) {
    bool blank = false;
    if (skip_space(lx, blank) != 0) return '\0';
    if (blank) lx.blank_skipped = true;
    const char c = get(lx);
    unget(lx, c);
    return c;
}

int kpl_read_bare_word(KplLexer& lx) {
    bool blank = false;
    if (skip_space(lx, blank) != 0) return lx.error;
    lx.blank_skipped = false;
    std::size_t n = 0;
    int depth = 0;
    for (;;) {
        const char c = get(lx);
        if (c == '\0') break;
        if ((c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',' || c == ';') &&
            depth == 0) {
            if (unget(lx, c) != 0) return fail(lx, kMsgOutOfMemory);
            break;
        }
        if (c == '(' || c == '{') ++depth;
        if (c == ')' || c == '}') {
            if (depth == 0) {
                if (unget(lx, c) != 0) return fail(lx, kMsgOutOfMemory);
                break;
            }
            --depth;
        }
        if (n >= kKplTokenTextMax) return fail(lx, kMsgOutOfMemory);
        lx.text[n++] = c;
    }
    lx.text[n] = '\0';
    lx.token = kTokString;
    lx.value = static_cast<std::int64_t>(n);
    return 0;
}

int kpl_next_token(KplLexer& lx) {
    if (lx.error != 0) return lx.token = lx.error;
    lx.text[0] = '\0';
    lx.value = 0;
    bool blank = false;
    if (skip_space(lx, blank) != 0) return lx.error;
    blank = blank || lx.blank_skipped;
    lx.blank_skipped = false;
    lx.newline_before = lx.lines_end_statements && lx.crossed_line;
    lx.crossed_line = false;
    char c = get(lx);
    if (c == '\0') return set_token(lx, kTokEnd, 0);
    if (lx.argument_mode && lx.paren_depth == 0 && lx.newline_before) {
        // The line's end closes the command's arguments as ';' would.
        if (unget(lx, c) != 0) return fail(lx, kMsgOutOfMemory);
        lx.text[0] = ';';
        lx.text[1] = '\0';
        return set_token(lx, kTokSemicolon, kTokSemicolon);
    }
    if (lx.argument_mode && lx.paren_depth == 0) {
        if (c == ',') {
            // One comma with blanks around it is one separator.
            bool after = false;
            if (skip_space(lx, after) != 0) return lx.error;
            return set_token(lx, kTokComma, kTokComma);
        }
        if (blank && c != ';' && c != ')' && c != '}' && c != ']') {
            if (unget(lx, c) != 0) return fail(lx, kMsgOutOfMemory);
            return set_token(lx, kTokComma, kTokComma);
        }
    }
    if (is_letter(c)) {
        std::size_t n = 0;
        while (is_letter(c) || is_digit(c)) {
            if (n < kKplIdentMax) lx.text[n++] = c;
            c = get(lx);
        }
        if (unget(lx, c) != 0) return fail(lx, kMsgOutOfMemory);
        lx.text[n] = '\0';
        const int k = find_keyword(lx.text);
        return set_token(lx, k != 0 ? k : kTokIdent, static_cast<std::int64_t>(n));
    }
    if (is_digit(c)) return read_number(lx, c);
    if (c == '.') {
        const char d = get(lx);
        if (unget(lx, d) != 0) return fail(lx, kMsgOutOfMemory);
        if (is_digit(d)) return read_number(lx, c);
    }
    if (c == '\'') return read_char_constant(lx);
    if (c == '"') return read_string(lx);
    char s[4] = {c, 0, 0, 0};
    s[1] = get(lx);
    s[2] = s[1] != '\0' ? get(lx) : '\0';
    for (std::size_t len = 3; len >= 1; --len) {
        if (len > 1 && s[len - 1] == '\0') continue;
        const Operator* o = find_operator(s, len);
        if (o == nullptr) continue;
        for (std::size_t k = 2; k >= len; --k) {
            if (unget(lx, s[k]) != 0) return fail(lx, kMsgOutOfMemory);
        }
        std::memcpy(lx.text, s, len);
        lx.text[len] = '\0';
        if (lx.argument_mode) {
            if (o->token == kTokLParen || o->token == kTokLBracket) ++lx.paren_depth;
            if ((o->token == kTokRParen || o->token == kTokRBracket) && lx.paren_depth > 0)
                --lx.paren_depth;
        }
        return set_token(lx, o->token, o->byte);
    }
    return fail(lx, kMsgSyntax);
}
