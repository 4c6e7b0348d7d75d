// The binary operators of the command language and its exponentiation. The evaluator calls
// apply_binary_op with the left operand, whose pending-operator byte names the operator, and the
// right operand; the result replaces the left operand. Compound assignments use the same routine.
#pragma once

#include <cstdint>

#include "tables/table_names.h"

// Value types of a cell.
inline constexpr std::uint8_t kKplNone = 0;  // no value (a call without a result)
inline constexpr std::uint8_t kKplInt = 1;
inline constexpr std::uint8_t kKplDouble = 2;
inline constexpr std::uint8_t kKplChar = 3;

// One evaluation cell: an int32 (int and char), a double, or an address.
struct KplValue {
    union {
        std::int32_t i;
        double d;
        void* p;
        std::uint8_t bytes[8];
    } v;
    std::uint8_t op;    // the operator byte that follows the operand
    std::uint8_t type;  // kKplInt, kKplDouble or kKplChar
};

inline KplValue kpl_int(std::int32_t i) {
    KplValue x{};
    x.v.i = i;
    x.type = kKplInt;
    return x;
}
inline KplValue kpl_double(double d) {
    KplValue x{};
    x.v.d = d;
    x.type = kKplDouble;
    return x;
}

// Precedence of an operator byte (0 for any byte that ends an expression).
int kpl_precedence(std::uint8_t op);
// The operator text of a byte ("**", "<<", ...), or null.
const char* kpl_operator_text(std::uint8_t op);

// Applies left.op to left and right; 0 or a message number (left unchanged on failure).
int apply_binary_op(KplValue& left, const KplValue& right);
// base to the power exponent, both doubles; 0 or a message number; the result in base.
int kpl_power(double& base, double exponent);

// The truth of a value: a double is true when it is less or greater than 0.0 (a NaN is false).
inline bool kpl_truth(const KplValue& x) {
    return x.type == kKplDouble ? (x.v.d < 0.0 || x.v.d > 0.0) : x.v.i != 0;
}
