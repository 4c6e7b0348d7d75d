// The byte code of the command language, in one list. Compiled procedures are stored in the
// code tables, so every number here is a file format: numbers are written out, never derived
// from the order, and a duplicate within one decoding space fails the build.
//
// The interpreter reads a byte in one of three spaces: where a statement starts (statement), where
// an operand starts or follows a reference (operand), and after an operand (operator). A byte may
// mean different things in different spaces ('r' negates as a prefix and subtracts as an
// operator), never two things in one space.
#pragma once

#include <cstddef>
#include <cstdint>

enum class KplSpace : std::uint8_t { statement, operand, operator_ };

// X(name, number, space, operands, cells pushed, description)
#define KPL_OPCODES(X)                                                                             \
    X(expression, 0x81, statement, "expr 'm'", 0, "evaluate an expression statement")              \
    X(declare, 0x82, statement, "flags slot [dims 'm']", 0, "create a local variable")             \
    X(jump_false, 0x83, statement, "be16 expr 'm'", 0, "jump when the condition is false")         \
    X(jump_true, 0x84, statement, "be16 expr 'm'", 0, "jump when the condition is true")           \
    X(jump, 0x85, statement, "be16", 0, "jump")                                                    \
    X(switch_, 0x86, statement, "be16 expr 'm'", 0, "jump by the switch table")                    \
    X(switch_end, 0x87, statement, "be16", 0, "jump over the switch table")                        \
    X(return_, 0x88, statement, "", 0, "end the line or procedure")                                \
    X(return_value, 0x89, statement, "expr", 0, "end the procedure with a value")                  \
    X(line_value, 0x8A, statement, "", 0, "show or hand back the last expression value")           \
    X(constant, 0x62, operand, "type bytes", 1, "'b': an int (4 bytes) or double (8 bytes)")       \
    X(group, 0x7C, operand, "expr '}'", 1, "'|': a parenthesised expression")                      \
    X(negate, 0x72, operand, "", 0, "'r' prefix: negate the operand")                              \
    X(logical_not, 0x7E, operand, "", 0, "'~' prefix: logical not")                                \
    X(complement, 0x5C, operand, "", 0, "'\\' prefix: bitwise complement")                         \
    X(user_call, 0x20, operand, "be16 args", 1, "call a compiled procedure (| result type)")       \
    X(builtin_call, 0x28, operand, "be16 args", 1, "call a built-in command (| result type)")      \
    X(pre_increment, 0x41, operand, "", 0, "'A' after a reference: increment before reading")      \
    X(pre_decrement, 0x40, operand, "", 0, "after a reference: decrement before reading")          \
    X(post_increment, 0x43, operand, "", 0, "'C' after a reference: increment after reading")      \
    X(post_decrement, 0x42, operand, "", 0, "'B' after a reference: decrement after reading")      \
    X(reference_arg, 0x7F, operand, "ref", 0, "an argument passed by reference")                   \
    X(inline_text, 0x37, operand, "be16 be16 chars", 0, "after 0x7F: a text or string preference") \
    X(ask_arg, 0x61, operand, "", 0, "'a': ask the user for the argument")                         \
    X(skipped_arg, 0x60, operand, "", 0, "an argument a list choice made irrelevant")              \
    X(terminator, 0x6D, operator_, "", 0, "'m': ends an expression or argument")                   \
    X(group_end, 0x7D, operator_, "", 0, "'}': ends a group")                                      \
    X(power, 0x63, operator_, "", -1, "'c' **")                                                    \
    X(multiply, 0x6E, operator_, "", -1, "'n' *")                                                  \
    X(divide, 0x6F, operator_, "", -1, "'o' /")                                                    \
    X(remainder, 0x70, operator_, "", -1, "'p' %")                                                 \
    X(add, 0x71, operator_, "", -1, "'q' +")                                                       \
    X(subtract, 0x72, operator_, "", -1, "'r' -")                                                  \
    X(shift_left, 0x5A, operator_, "", -1, "'Z' <<")                                               \
    X(shift_right, 0x5B, operator_, "", -1, "'[' >> (unsigned)")                                   \
    X(less, 0x73, operator_, "", -1, "'s' <")                                                      \
    X(less_equal, 0x74, operator_, "", -1, "'t' <=")                                               \
    X(greater, 0x75, operator_, "", -1, "'u' >")                                                   \
    X(greater_equal, 0x76, operator_, "", -1, "'v' >=")                                            \
    X(equal, 0x77, operator_, "", -1, "'w' ==")                                                    \
    X(not_equal, 0x78, operator_, "", -1, "'x' !=")                                                \
    X(bit_and, 0x5D, operator_, "", -1, "']' &")                                                   \
    X(bit_xor, 0x5E, operator_, "", -1, "'^' ^")                                                   \
    X(bit_or, 0x5F, operator_, "", -1, "'_' |")                                                    \
    X(logical_and, 0x79, operator_, "", -1, "'y' && (both sides evaluated)")                       \
    X(logical_or, 0x7A, operator_, "", -1, "'z' || (both sides evaluated)")                        \
    X(assign, 0xFB, operator_, "expr", 0, "'{' | 0x80: plain assignment")

enum KplOp : std::uint8_t {
#define KPL_ENUM(name, number, space, operands, effect, text) kOp_##name = number,
    KPL_OPCODES(KPL_ENUM)
#undef KPL_ENUM
};

struct KplOpInfo {
    const char* name;
    std::uint8_t number;
    KplSpace space;
    const char* operands;
    int effect;  // value cells pushed (negative: consumed)
    const char* description;
};

inline constexpr KplOpInfo kKplOps[] = {
#define KPL_INFO(name, number, space, operands, effect, text) \
    {#name, number, KplSpace::space, operands, effect, text},
    KPL_OPCODES(KPL_INFO)
#undef KPL_INFO
};
inline constexpr std::size_t kKplOpCount = sizeof(kKplOps) / sizeof(kKplOps[0]);

constexpr bool kpl_ops_unique() {
    for (std::size_t i = 0; i < kKplOpCount; ++i) {
        for (std::size_t j = i + 1; j < kKplOpCount; ++j) {
            if (kKplOps[i].number == kKplOps[j].number && kKplOps[i].space == kKplOps[j].space) {
                return false;
            }
        }
    }
    return true;
}
static_assert(kpl_ops_unique(), "two opcodes share one number in one decoding space");

// Bits of a variable reference byte: every operand byte below kCallBit is one.
inline constexpr std::uint8_t kRefTypeMask = 0x03;  // element type: 1 int, 2 double, 3 char
inline constexpr std::uint8_t kRefIndexed = 0x04;   // index expressions follow the number
inline constexpr std::uint8_t kRefBuiltin = 0x08;   // a built-in variable (BE16 number)
inline constexpr std::uint8_t kRefGlobal = 0x10;    // a global variable (BE16 number)
inline constexpr std::uint8_t kRefReadOnly = kRefBuiltin | kRefGlobal;
inline constexpr std::uint8_t kCallBit = 0x20;

// A call byte: kOp_user_call or kOp_builtin_call with the callee's result type (0 none) in its
// low bits; every operand byte from kCallBit to kLastCallByte is one.
inline constexpr std::uint8_t kCallResultMask = 0x03;
inline constexpr std::uint8_t kCallBuiltin = 0x08;
inline constexpr std::uint8_t kLastCallByte = kOp_builtin_call | kCallResultMask;
static_assert(kOp_user_call == kCallBit && kOp_builtin_call == (kCallBit | kCallBuiltin));

// The flags byte of kOp_declare: the element type, and whether dimensions follow.
inline constexpr std::uint8_t kDeclareTypeMask = 0x03;
inline constexpr std::uint8_t kDeclareArray = 0x04;

// An assignment byte is its operator's byte with kAssignBit set.
inline constexpr std::uint8_t kAssignBit = 0x80;
inline constexpr std::uint8_t kAssignOperatorMask = 0x7F;
inline constexpr std::uint8_t kPlainAssign = 0x7B;  // '{' without the assignment bit

// Jump targets are BE16 offsets from the code base of the line or procedure: no code reaches
// kKplNoTarget, which a damaged switch table yields so that the jump fails.
inline constexpr std::size_t kKplCodeLimit = 0xFFFF;
inline constexpr unsigned kKplNoTarget = 0xFFFF;

// A switch table (the target of kOp_switch_): BE16 case count, BE16 default target, then per
// case a BE16 value and a BE16 target. Case values are within +-kKplCaseValueMax.
inline constexpr std::size_t kKplSwitchHeaderSize = 4;
inline constexpr std::size_t kKplSwitchEntrySize = 4;
inline constexpr int kKplCaseValueMax = 32767;

// An array header, in the variable space and for a text held in the code (after
// kOp_inline_text): BE16 first dimension, BE16 second (0 for one index), the elements after it.
// A text with the first dimension 0 is a string preference, its list index the second.
inline constexpr std::size_t kKplArrayHeaderSize = 4;

// The code buffer: compiled command lines take the first kKplLineArea bytes; procedures are
// loaded behind them.
inline constexpr std::size_t kKplLineArea = 32768;

// An enable condition's entry names the message that refuses a call in its two bytes after the
// result byte: high * 64 + low - 'A'. 0 lets the call go ahead; 1 or less than 0 gives the
// general refusal; any other value n gives message -n.
inline constexpr int kConditionMessageRadix = 64;
inline constexpr int kConditionMessageBias = 'A';
inline int kpl_condition_message(std::uint8_t high, std::uint8_t low) {
    return high * kConditionMessageRadix + low - kConditionMessageBias;
}

// An assignment byte: an operator byte (or '{') with bit 7 set. Statement bytes (0x81..0x8A) also
// have bit 7 set and are not assignments.
bool kpl_is_assignment(std::uint8_t byte);

// The operator entry of a byte in a space, or null.
const KplOpInfo* kpl_op_info(std::uint8_t byte, KplSpace space);
