#include "optimise/operands.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "lens/lens_file_format.h"
#include "runtime/dispatch.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/settings.h"

namespace {

constexpr char kOperatorChars[] = "\"-+*/^<>(),";
constexpr int kOpOpen = 8;
constexpr int kOpClose = 9;
constexpr int kOpComma = 10;
constexpr int kNameLength = 8;
constexpr int kMaxMantissaDigits = 41;
constexpr int kMaxExponentDigits = 3;
constexpr int kListLength = 5;

enum class Lex { end, number, name, op, bad };

struct Lexeme {
    Lex kind = Lex::end;
    double number = 0.0;
    bool integer = false;
    std::string name;
    int op = 0;
};

class Lexer {
public:
    explicit Lexer(const char* text) : p_(text != nullptr ? text : "") {}

    Lexeme next() {
        Lexeme t;
        while (*p_ != '\0' && skipped(*p_)) ++p_;
        if (*p_ == '\0') return t;
        const unsigned char c = static_cast<unsigned char>(*p_);
        if (std::isdigit(c) || c == '.') return number();
        if (std::isalpha(c) || c == '_') {
            while (std::isalnum(static_cast<unsigned char>(*p_)) || *p_ == '_') {
                if (t.name.size() < kNameLength) {
                    t.name += static_cast<char>(std::toupper(static_cast<unsigned char>(*p_)));
                }
                ++p_;
            }
            t.kind = Lex::name;
            return t;
        }
        const char* at = std::strchr(kOperatorChars + 1, *p_);
        ++p_;
        if (at == nullptr) {
            t.kind = Lex::bad;
            return t;
        }
        t.kind = Lex::op;
        t.op = static_cast<int>(at - kOperatorChars);
        if (t.op == kOpTimes && *p_ == '*') {
            ++p_;
            t.op = kOpPower;
        }
        return t;
    }

private:
    // Control characters and bytes of 128 and above read as blanks.
    static bool skipped(char c) {
        const signed char s = static_cast<signed char>(c);
        return s <= 32;
    }

    Lexeme number() {
        Lexeme t;
        std::string text;
        int digits = 0;
        bool point = false;
        bool exponent = false;
        bool bad = false;
        while (std::isdigit(static_cast<unsigned char>(*p_)) || (*p_ == '.' && !point)) {
            if (*p_ == '.') {
                point = true;
            } else {
                ++digits;
            }
            text += *p_++;
        }
        if (digits > kMaxMantissaDigits) bad = true;
        if (*p_ == 'e' || *p_ == 'E') {
            exponent = true;
            text += *p_++;
            if (*p_ == '+' || *p_ == '-') text += *p_++;
            int exponent_digits = 0;
            while (std::isdigit(static_cast<unsigned char>(*p_))) {
                ++exponent_digits;
                text += *p_++;
            }
            if (exponent_digits == 0 || exponent_digits > kMaxExponentDigits) bad = true;
        }
        if (digits == 0 || bad) {
            t.kind = Lex::bad;
            return t;
        }
        t.kind = Lex::number;
        t.integer = !point && !exponent;
        t.number = std::strtod(text.c_str(), nullptr);
        return t;
    }

    const char* p_;
};

// A number as the parser keeps it: rounded to 12 significant digits.
double rounded12(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.12g", v);
    return std::strtod(text, nullptr);
}

// An argument list "(a, b, ...)" after a name; the opening parenthesis has been read.
int read_list(Lexer& lexer, int* values, int* count) {
    *count = 0;
    for (;;) {
        Lexeme t = lexer.next();
        int sign = 1;
        if (t.kind == Lex::op && t.op == kOpMinus) {
            sign = -1;
            t = lexer.next();
        }
        if (t.kind != Lex::number || !t.integer || *count >= kListLength) {
            return kMsgOperandSyntax;
        }
        values[(*count)++] = sign * static_cast<int>(t.number);
        t = lexer.next();
        if (t.kind == Lex::op && t.op == kOpClose) return 0;
        if (t.kind != Lex::op || t.op != kOpComma) return kMsgOperandSyntax;
    }
}

// The component a name stands for, from the operand keyword list.
int name_token(int number, const std::string& name, OperandToken* token) {
    int entry = -1;
    const char* value = match_word_in_list(kListOperandWords, name.c_str(), &entry);
    if (value == nullptr) return kMsgOperandSyntax;
    long code = std::strtol(value, nullptr, 10);
    bool has_argument = false;
    int argument = 0;
    if (code >= 100000) {
        has_argument = true;
        argument = static_cast<int>(code % 1000);
        code /= 1000;
    }
    int kind = static_cast<int>(code / 100);
    int index = static_cast<int>(code % 100);
    if (kind == 2) {
        kind = 1;
        index += 100;
    }
    token->kind = static_cast<std::int16_t>(kind);
    token->index = static_cast<std::int16_t>(index);
    switch (kind) {
        case kTokenSlot:
            if (!has_argument) return kMsgOperandSyntax;
            if (argument >= kOperandResultSlots) {
                return set_error_msg(kMsgOperandSlotLimit, kOperandResultSlots - 1);
            }
            token->index = static_cast<std::int16_t>(argument);
            return 0;
        case kTokenReference:
            // Only an earlier operand: evaluation reads its value, already computed.
            if (!has_argument || argument < 1 || argument > number) return kMsgOperandSyntax;
            token->index = static_cast<std::int16_t>(argument - 1);
            return 0;
        case kTokenGroupStart:
        case kTokenGroupEnd:
            return has_argument ? kMsgOperandSyntax : 0;
        default:
            return kMsgOperandSyntax;
    }
}

std::string number_text(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.12g", v);
    return text;
}

// The keyword text of a list value ("OP_" -> "OP"), from the operand keyword list.
std::string keyword_for(int value) {
    select_table_value_list(kListOperandWords);
    std::string word;
    for (int i = 0; i < value_list_count(); ++i) {
        const char* second = value_list_second(i);
        if (second != nullptr && std::atoi(second) == value) {
            word = list_entry_word(value_list_first(i));
            break;
        }
    }
    clear_value_list();
    while (!word.empty() && (word.back() == '_' || word.back() == ' ')) word.pop_back();
    return word;
}

std::string side_text(const OperandToken& t, bool left) {
    std::string text;
    if (t.op == kOpPower) {
        text += "**";
    } else if (t.op != kOpNone && (!left || t.op == kOpMinus || t.op == kOpPlus)) {
        text += kOperatorChars[t.op];
    }
    switch (t.kind) {
        case kTokenNumber:
            text += number_text(t.value);
            break;
        case kTokenSlot:
            text += keyword_for(kTokenSlot * 100) + std::to_string(t.index);
            break;
        case kTokenReference:
            text += keyword_for(kTokenReference * 100) + std::to_string(t.index + 1);
            break;
        case kTokenGroupStart:
            text += keyword_for(kTokenGroupStart * 100);
            break;
        case kTokenGroupEnd:
            text += keyword_for(kTokenGroupEnd * 100);
            if (t.a2 != 0) text += "(" + std::to_string(t.a2) + ")";
            break;
        default:
            break;
    }
    return text;
}

bool is_group_marker(const OperandToken& t) {
    return t.kind == kTokenGroupStart || t.kind == kTokenGroupEnd;
}

// The value of one operand from its two sides.
double combine(const OperandToken& left, const OperandToken& right, bool* comparison) {
    const double a = left.value;
    const double b = right.value;
    const bool negate = left.op == kOpMinus;
    *comparison = false;
    switch (right.kind == kTokenEmpty ? static_cast<int>(kOpNone) : static_cast<int>(right.op)) {
        case kOpMinus:
            return (negate ? -a : a) - b;
        case kOpPlus:
            return (negate ? -a : a) + b;
        case kOpTimes:
            return negate ? -(a * b) : a * b;
        case kOpDivide:
            if (std::fabs(b) < kOptimiseZero) return kUndefinedOperandValue;
            return negate ? -(a / b) : a / b;
        case kOpPower: {
            if (a == 0.0) return 0.0;
            if (b == 0.0) return 1.0;
            const double base = negate ? -a : a;
            if (base > 0.0 || b == std::floor(b)) return std::pow(base, b);
            return kUndefinedOperandValue;
        }
        case kOpLess: {
            *comparison = true;
            const double x = negate ? -a : a;
            return x < b ? 0.0 : x - b;
        }
        case kOpGreater: {
            *comparison = true;
            const double x = negate ? -a : a;
            return x > b ? 0.0 : x - b;
        }
        default:
            return negate ? -a : a;
    }
}

}  // namespace

int parse_operand(int number, OperandToken* left, OperandToken* right, const char* text) {
    OperandToken sides[2];
    Lexer lexer(text);
    Lexeme t = lexer.next();
    if (t.kind == Lex::end) return kMsgOperandSyntax;
    int side = 0;
    for (; side < 2; ++side) {
        OperandToken& k = sides[side];
        if (t.kind == Lex::op) {
            const bool sign = t.op == kOpMinus || t.op == kOpPlus;
            const bool binary = t.op >= kOpMinus && t.op <= kOpGreater;
            if ((side == 0 && !sign) || (side == 1 && !binary)) return kMsgOperandSyntax;
            k.op = static_cast<std::int16_t>(t.op);
            t = lexer.next();
        } else if (side == 1) {
            return kMsgOperandSyntax;
        }
        if (t.kind == Lex::number) {
            k.kind = kTokenNumber;
            k.value = rounded12(t.number);
            t = lexer.next();
        } else if (t.kind == Lex::name) {
            const int rc = name_token(number, t.name, &k);
            if (rc != 0) return rc;
            t = lexer.next();
            if (t.kind == Lex::op && t.op == kOpOpen) {
                int values[kListLength];
                int count = 0;
                const int rc_list = read_list(lexer, values, &count);
                if (rc_list != 0) return rc_list;
                // Slots and references take no list; a group end takes one (its a2).
                if (k.kind != kTokenGroupEnd) return kMsgOperandSyntax;
                k.a2 = static_cast<std::int16_t>(values[0]);
                t = lexer.next();
            }
        } else {
            return kMsgOperandSyntax;
        }
        if (t.kind == Lex::end) break;
    }
    if (side >= 2) return kMsgOperandSyntax;  // something after the second side
    *left = sides[0];
    *right = sides[1];
    return 0;
}

int insert_operand_slot(int position) {
    OptimiseTables& t = optimise_tables();
    const int capacity = static_cast<int>(t.operands.size());
    if (t.operand_count >= capacity) return kMsgOperandTableFull;
    for (int i = t.operand_count; i > position; --i) {
        t.operands[i] = t.operands[i - 1];
        t.tokens[2 * i] = t.tokens[2 * i - 2];
        t.tokens[2 * i + 1] = t.tokens[2 * i - 1];
        for (int s = 0; s < 2; ++s) {
            OperandToken& k = t.tokens[2 * i + s];
            if (k.kind == kTokenReference && k.index >= position) ++k.index;
        }
    }
    t.operands[position] = Operand{};
    t.tokens[2 * position] = OperandToken{};
    t.tokens[2 * position + 1] = OperandToken{};
    ++t.operand_count;
    t.chain_compiled = false;
    return 0;
}

bool operand_refers_to(int i, int j) {
    const OptimiseTables& t = optimise_tables();
    for (int s = 0; s < 2; ++s) {
        const OperandToken& k = t.tokens[2 * i + s];
        if (k.kind == kTokenReference && k.index == j) return true;
    }
    return false;
}

int delete_operand(int position) {
    OptimiseTables& t = optimise_tables();
    if (position < 0 || position >= t.operand_count) return kMsgNoSuchOperand;
    for (int i = position + 1; i < t.operand_count; ++i) {
        if (operand_refers_to(i, position)) return kMsgOperandReferenced;
    }
    for (int i = position; i + 1 < t.operand_count; ++i) {
        t.operands[i] = t.operands[i + 1];
        t.tokens[2 * i] = t.tokens[2 * i + 2];
        t.tokens[2 * i + 1] = t.tokens[2 * i + 3];
        for (int s = 0; s < 2; ++s) {
            OperandToken& k = t.tokens[2 * i + s];
            if (k.kind == kTokenReference && k.index > position) --k.index;
        }
    }
    --t.operand_count;
    t.operands[t.operand_count] = Operand{};
    t.tokens[2 * t.operand_count] = OperandToken{};
    t.tokens[2 * t.operand_count + 1] = OperandToken{};
    t.chain_compiled = false;
    return 0;
}

int store_operand(int action, int number, const char* text, double weight, const char* label) {
    OptimiseTables& t = optimise_tables();
    if (number < 0) return kMsgNoSuchOperand;
    // A number past the end means the next operand.
    if (number > t.operand_count) number = t.operand_count;
    OperandToken left;
    OperandToken right;
    const int rc = parse_operand(number, &left, &right, text);
    if (rc != 0) return rc;
    if (action == kOperandActionIns || number >= t.operand_count) {
        const int rc_insert = insert_operand_slot(number);
        if (rc_insert != 0) return rc_insert;
    }
    Operand& o = t.operands[number];
    o = Operand{};
    std::snprintf(o.label, sizeof o.label, "%s", label != nullptr ? label : "");
    o.weight = is_group_marker(left) ? 0.0 : weight;
    t.tokens[2 * number] = left;
    t.tokens[2 * number + 1] = right;
    t.chain_compiled = false;
    return 0;
}

std::string operand_to_text(int number) {
    const OptimiseTables& t = optimise_tables();
    if (number < 0 || number >= t.operand_count) return {};
    std::string text = side_text(t.tokens[2 * number], true);
    if (t.tokens[2 * number + 1].kind != kTokenEmpty) {
        text += side_text(t.tokens[2 * number + 1], false);
    }
    return text;
}

void operand_text_for(int number, char* buffer, int size) {
    if (buffer == nullptr || size <= 0) return;
    std::snprintf(buffer, static_cast<std::size_t>(size), "%s", operand_to_text(number).c_str());
}

void compile_operand_chain() {
    OptimiseTables& t = optimise_tables();
    const int capacity = static_cast<int>(t.operands.size());
    // Result slots first, numbers next, then the markers and references, each after the
    // quantities they read; within one key the table order holds.
    const int base = std::max(1, get_setting_int(kSetSurfaceLimit, 0, 0)) *
                     std::max(1, get_setting_int(kSetMaxWavelengths, 0, 0));
    std::vector<int> order;
    t.configuration_count = 1;
    int open_group = -1;
    for (int i = 0; i < t.operand_count; ++i) {
        for (int s = 0; s < 2; ++s) {
            OperandToken& k = t.tokens[2 * i + s];
            k.pending = 1;
            k.next = -1;
            if (k.kind == kTokenEmpty) continue;
            switch (k.kind) {
                case kTokenSlot:
                    k.sort_key = base;
                    break;
                case kTokenNumber:
                    k.sort_key = base + 51;
                    break;
                case kTokenGroupStart:
                    k.sort_key = base + 51 + capacity;
                    break;
                case kTokenReference:
                    k.sort_key = base + 51 + 2 * capacity;
                    break;
                default:
                    k.sort_key = base + 51 + 3 * capacity;
                    break;
            }
            if (s == 0 && k.kind == kTokenGroupStart) open_group = i;
            if (s == 0 && k.kind == kTokenGroupEnd && open_group >= 0) {
                const int members = i - open_group - 1;
                t.tokens[2 * open_group].a1 = static_cast<std::int16_t>(members);
                k.a1 = static_cast<std::int16_t>(members);
                open_group = -1;
            }
            t.configuration_count = std::max<int>(t.configuration_count, k.configuration);
            order.push_back(2 * i + s);
        }
    }
    for (std::size_t a = 0; a < order.size(); ++a) {
        for (std::size_t b = a + 1; b < order.size(); ++b) {
            if (t.tokens[order[b]].sort_key < t.tokens[order[a]].sort_key) {
                std::swap(order[a], order[b]);
            }
        }
    }
    t.chain_head = order.empty() ? -1 : order[0];
    for (std::size_t a = 0; a + 1 < order.size(); ++a) t.tokens[order[a]].next = order[a + 1];
    t.chain_compiled = true;
    if (get_setting_flag(kSetDiagnosticOutput) != 0) {
        print_msg(kMsgOperandChainDump);
        for (int at = t.chain_head; at >= 0; at = t.tokens[at].next) {
            const OperandToken& k = t.tokens[at];
            text_printf(" %-4d%-4d%-4d%-4d%-4d%-4d%-4d%-4d%-10d%-11s%f\n", at, k.kind, k.index,
                        k.a3, k.a4, k.a1, k.a2, k.configuration, k.sort_key,
                        t.operands[at / 2].label, k.value);
        }
    }
}

void evaluate_operands() {
    OptimiseTables& t = optimise_tables();
    if (!t.chain_compiled) compile_operand_chain();
    t.operand_command_status = 0;
    // The result slots are read after the operand command has run, once per evaluation.
    bool reads_slots = false;
    for (int at = t.chain_head; at >= 0; at = t.tokens[at].next) {
        if (t.tokens[at].kind == kTokenSlot) {
            reads_slots = true;
            break;
        }
    }
    if (reads_slots) {
        // A slot the command leaves unwritten reads as a failure, never a stale value.
        for (double& r : t.results) r = std::nan("");
        const OptimiseParams* params = lens_data().optimise_params;
        char command[kOptimiseTextLength + 1] = "*oprds";
        if (params != nullptr) {
            std::snprintf(command, sizeof command, "%.*s", kOptimiseTextLength,
                          params->operand_command);
        }
        t.operand_command_status = run_command_string(command, 0);
        for (int at = t.chain_head; at >= 0; at = t.tokens[at].next) {
            OperandToken& k = t.tokens[at];
            if (k.kind != kTokenSlot) continue;
            k.value = t.results[k.index];
            k.failed = t.operand_command_status != 0 || !std::isfinite(k.value) ? 1 : 0;
        }
    }
    for (int i = 0; i < t.operand_count; ++i) {
        Operand& o = t.operands[i];
        OperandToken& left = t.tokens[2 * i];
        OperandToken& right = t.tokens[2 * i + 1];
        for (int s = 0; s < 2; ++s) {
            OperandToken& k = t.tokens[2 * i + s];
            if (k.kind == kTokenGroupStart || k.kind == kTokenGroupEnd) {
                k.value = 0.0;
                k.failed = 0;
            } else if (k.kind == kTokenReference) {
                k.value = t.operands[k.index].value;
                k.failed = t.operands[k.index].failed;
            }
            if (t.relative_to_nominal && o.weight > kOptimiseZero && k.kind != kTokenNumber &&
                k.kind != kTokenReference && k.kind != kTokenGroupEnd && k.kind != kTokenEmpty) {
                k.value -= o.nominal[s];
            }
        }
        o.failed = (left.failed != 0 || (right.kind != kTokenEmpty && right.failed != 0)) ? 1 : 0;
        if (o.failed != 0) {
            o.value = kFailedOperandValue;
            continue;
        }
        bool comparison = false;
        double v = combine(left, right, &comparison);
        if (o.mode == kOperandConstraint && !comparison && v != kUndefinedOperandValue)
            v -= o.target;
        if (!std::isfinite(v)) v = kUndefinedOperandValue;
        o.value = v;
    }
}

void set_operand_nominals() {
    OptimiseTables& t = optimise_tables();
    const bool relative = t.relative_to_nominal;
    t.relative_to_nominal = false;
    evaluate_operands();
    t.relative_to_nominal = relative;
    for (int i = 0; i < t.operand_count; ++i) {
        for (int s = 0; s < 2; ++s) t.operands[i].nominal[s] = t.tokens[2 * i + s].value;
    }
}

void write_operands() {
    const OptimiseTables& t = optimise_tables();
    bool any = false;
    for (int i = 0; i < t.operand_count; ++i) {
        if (t.tokens[2 * i].kind != kTokenEmpty) any = true;
    }
    if (!any) return;
    write_lens_line("OPE NEW");
    int n = 0;
    for (int i = 0; i < t.operand_count; ++i) {
        if (t.tokens[2 * i].kind == kTokenEmpty) continue;
        const Operand& o = t.operands[i];
        std::string line = "O " + std::to_string(++n) + " " + quote_lens_text(operand_to_text(i));
        line += o.mode == kOperandConstraint ? " CON " + number_text(o.target)
                                             : " " + number_text(o.weight);
        line += " " + quote_lens_text(std::string(o.label, strnlen(o.label, kOperandLabelLength)));
        write_lens_line(line);
    }
    write_lens_line("END");
}
