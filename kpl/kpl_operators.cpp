#include "kpl/kpl_operators.h"

#include <cmath>
#include <cstdlib>

#include "kpl/kpl_opcodes.h"

namespace {

struct OperatorEntry {
    std::uint8_t byte;
    const char* text;
    int precedence;
};

constexpr OperatorEntry kOperators[] = {
    {kOp_power, "**", 11},     {kOp_multiply, "*", 10},    {kOp_divide, "/", 10},
    {kOp_remainder, "%", 10},  {kOp_add, "+", 9},          {kOp_subtract, "-", 9},
    {kOp_shift_left, "<<", 8}, {kOp_shift_right, ">>", 8}, {kOp_less, "<", 7},
    {kOp_less_equal, "<=", 7}, {kOp_greater, ">", 7},      {kOp_greater_equal, ">=", 7},
    {kOp_equal, "==", 6},      {kOp_not_equal, "!=", 6},   {kOp_bit_and, "&", 5},
    {kOp_bit_xor, "^", 4},     {kOp_bit_or, "|", 3},       {kOp_logical_and, "&&", 2},
    {kOp_logical_or, "||", 1}, {kPlainAssign, "=", 0},
};

struct PrecedenceTable {
    std::uint8_t p[256] = {};
    constexpr PrecedenceTable() {
        for (const OperatorEntry& e : kOperators)
            p[e.byte] = static_cast<std::uint8_t>(e.precedence);
    }
};
constexpr PrecedenceTable kPrecedence;

constexpr std::int32_t kIntSquareLimit = 46341;  // |a| below this: a*a fits an int32

std::int32_t wrap(std::int64_t x) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(x)));
}

// Integer power; the result type is int or double.
int int_power(KplValue& left, std::int32_t a, std::int32_t b) {
    if (b == 2) {
        if (std::abs(static_cast<std::int64_t>(a)) < kIntSquareLimit) {
            left.v.i = a * a;
            left.type = kKplInt;
        } else {
            left.v.d = static_cast<double>(a) * static_cast<double>(a);
            left.type = kKplDouble;
        }
        return 0;
    }
    if (a == 0) {
        if (b < 0) return kMsgZeroDivisor;
        left.v.i = 0;
        left.type = kKplInt;
        return 0;
    }
    if (b == 0 || a == 1) {
        left.v.i = 1;
        left.type = kKplInt;
        return 0;
    }
    if ((a == 2 || a == -2) && b >= 1 && b <= 30) {
        std::int32_t r = std::int32_t{1} << b;
        if (a == -2 && (b & 1)) r = -r;
        left.v.i = r;
        left.type = kKplInt;
        return 0;
    }
    double x = a;
    const int rc = kpl_power(x, b);
    if (rc != 0) return rc;
    if (std::fabs(x) <= 2147483647.0) {
        left.v.i = static_cast<std::int32_t>(x);
        left.type = kKplInt;
    } else {
        left.v.d = x;
        left.type = kKplDouble;
    }
    return 0;
}

int int_path(KplValue& left, std::int32_t a, std::int32_t b) {
    const std::uint8_t keep = left.type;  // int or char: the left operand's type stays
    std::int32_t r = 0;
    switch (left.op) {
        case kOp_add:
            r = wrap(std::int64_t{a} + b);
            break;
        case kOp_subtract:
            r = wrap(std::int64_t{a} - b);
            break;
        case kOp_multiply:
            r = wrap(std::int64_t{a} * b);
            break;
        case kOp_divide:
            if (b == 0) return kMsgZeroDivisor;
            left.v.d = static_cast<double>(a) / static_cast<double>(b);
            left.type = kKplDouble;
            return 0;
        case kOp_remainder:
            if (b == 0) return kMsgZeroDivisor;
            r = static_cast<std::int32_t>(std::int64_t{a} % b);
            break;
        case kOp_shift_left:
            if (b < 0 || b > 31) return kMsgShiftCount;
            r = static_cast<std::int32_t>(static_cast<std::uint32_t>(a) << b);
            break;
        case kOp_shift_right:
            if (b < 0 || b > 31) return kMsgShiftCount;
            r = static_cast<std::int32_t>(static_cast<std::uint32_t>(a) >> b);
            break;
        case kOp_bit_and:
            r = a & b;
            break;
        case kOp_bit_xor:
            r = a ^ b;
            break;
        case kOp_bit_or:
            r = a | b;
            break;
        case kOp_less:
            r = a < b;
            break;
        case kOp_less_equal:
            r = a <= b;
            break;
        case kOp_greater:
            r = a > b;
            break;
        case kOp_greater_equal:
            r = a >= b;
            break;
        case kOp_equal:
            r = a == b;
            break;
        case kOp_not_equal:
            r = a != b;
            break;
        case kOp_logical_and:
            r = a != 0 && b != 0;
            break;
        case kOp_logical_or:
            r = a != 0 || b != 0;
            break;
        case kOp_power:
            return int_power(left, a, b);
        default:
            return kMsgNotForDouble;
    }
    left.v.i = r;
    left.type = keep;
    return 0;
}

bool truth(double x) {
    return x < 0.0 || x > 0.0;
}

int double_path(KplValue& left, double a, double b) {
    double r = 0;
    std::int32_t t = 0;
    bool as_int = false;
    switch (left.op) {
        case kOp_add:
            r = a + b;
            break;
        case kOp_subtract:
            r = a - b;
            break;
        case kOp_multiply:
            r = a * b;
            break;
        case kOp_divide:
            if (b == 0.0) return kMsgZeroDivisor;
            r = a / b;
            break;
        case kOp_remainder:
            if (b == 0.0) return kMsgZeroDivisor;
            r = std::fmod(a, b);
            break;
        case kOp_power: {
            r = a;
            const int rc = kpl_power(r, b);
            if (rc != 0) return rc;
            break;
        }
        case kOp_less:
            t = a < b;
            as_int = true;
            break;
        case kOp_less_equal:
            t = a <= b;
            as_int = true;
            break;
        case kOp_greater:
            t = a > b;
            as_int = true;
            break;
        case kOp_greater_equal:
            t = a >= b;
            as_int = true;
            break;
        case kOp_equal:
            t = a == b;
            as_int = true;
            break;
        case kOp_not_equal:
            t = a != b;
            as_int = true;
            break;
        case kOp_logical_and:
            t = truth(a) && truth(b);
            as_int = true;
            break;
        case kOp_logical_or:
            t = truth(a) || truth(b);
            as_int = true;
            break;
        default:
            return kMsgNotForDouble;
    }
    if (as_int) {
        left.v.i = t;
        left.type = kKplInt;
    } else {
        left.v.d = r;
        left.type = kKplDouble;
    }
    return 0;
}

}  // namespace

int kpl_precedence(std::uint8_t op) {
    return kPrecedence.p[op];
}

const char* kpl_operator_text(std::uint8_t op) {
    for (const OperatorEntry& e : kOperators) {
        if (e.byte == op) return e.text;
    }
    return nullptr;
}

int kpl_power(double& base, double exponent) {
    const double x = base, y = exponent;
    if (x == 0.0) {
        if (y < 0.0 || std::isnan(y)) return kMsgZeroDivisor;
        base = 0.0;
        return 0;
    }
    if (x == 1.0 || y == 0.0) {
        base = 1.0;
        return 0;
    }
    if (x < 0.0 && y != std::trunc(y)) return kMsgFractionalPower;
    base = std::pow(x, y);
    return 0;
}

int apply_binary_op(KplValue& left, const KplValue& right) {
    if (left.type != kKplDouble && right.type != kKplDouble) {
        return int_path(left, left.v.i, right.v.i);
    }
    const double a = left.type == kKplDouble ? left.v.d : left.v.i;
    const double b = right.type == kKplDouble ? right.v.d : right.v.i;
    return double_path(left, a, b);
}
