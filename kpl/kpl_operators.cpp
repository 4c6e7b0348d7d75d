#include "kpl/kpl_operators.h"

#include <cmath>
#include <cstdlib>

namespace {

struct OperatorEntry {
    std::uint8_t byte;
    const char* text;
    int precedence;
};

constexpr OperatorEntry kOperators[] = {
    {'c', "**", 11}, {'n', "*", 10}, {'o', "/", 10}, {'p', "%", 10}, {'q', "+", 9},
    {'r', "-", 9},   {'Z', "<<", 8}, {'[', ">>", 8}, {'s', "<", 7},  {'t', "<=", 7},
    {'u', ">", 7},   {'v', ">=", 7}, {'w', "==", 6}, {'x', "!=", 6}, {']', "&", 5},
    {'^', "^", 4},   {'_', "|", 3},  {'y', "&&", 2}, {'z', "||", 1}, {'{', "=", 0},
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
        case 'q':
            r = wrap(std::int64_t{a} + b);
            break;
        case 'r':
            r = wrap(std::int64_t{a} - b);
            break;
        case 'n':
            r = wrap(std::int64_t{a} * b);
            break;
        case 'o':
            if (b == 0) return kMsgZeroDivisor;
            left.v.d = static_cast<double>(a) / static_cast<double>(b);
            left.type = kKplDouble;
            return 0;
        case 'p':
            if (b == 0) return kMsgZeroDivisor;
            r = static_cast<std::int32_t>(std::int64_t{a} % b);
            break;
        case 'Z':
            if (b < 0 || b > 31) return kMsgShiftCount;
            r = static_cast<std::int32_t>(static_cast<std::uint32_t>(a) << b);
            break;
        case '[':
            if (b < 0 || b > 31) return kMsgShiftCount;
            r = static_cast<std::int32_t>(static_cast<std::uint32_t>(a) >> b);
            break;
        case ']':
            r = a & b;
            break;
        case '^':
            r = a ^ b;
            break;
        case '_':
            r = a | b;
            break;
        case 's':
            r = a < b;
            break;
        case 't':
            r = a <= b;
            break;
        case 'u':
            r = a > b;
            break;
        case 'v':
            r = a >= b;
            break;
        case 'w':
            r = a == b;
            break;
        case 'x':
            r = a != b;
            break;
        case 'y':
            r = a != 0 && b != 0;
            break;
        case 'z':
            r = a != 0 || b != 0;
            break;
        case 'c':
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
        case 'q':
            r = a + b;
            break;
        case 'r':
            r = a - b;
            break;
        case 'n':
            r = a * b;
            break;
        case 'o':
            if (b == 0.0) return kMsgZeroDivisor;
            r = a / b;
            break;
        case 'p':
            if (b == 0.0) return kMsgZeroDivisor;
            r = std::fmod(a, b);
            break;
        case 'c': {
            r = a;
            const int rc = kpl_power(r, b);
            if (rc != 0) return rc;
            break;
        }
        case 's':
            t = a < b;
            as_int = true;
            break;
        case 't':
            t = a <= b;
            as_int = true;
            break;
        case 'u':
            t = a > b;
            as_int = true;
            break;
        case 'v':
            t = a >= b;
            as_int = true;
            break;
        case 'w':
            t = a == b;
            as_int = true;
            break;
        case 'x':
            t = a != b;
            as_int = true;
            break;
        case 'y':
            t = truth(a) && truth(b);
            as_int = true;
            break;
        case 'z':
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
