// The operators and the exponentiation, applied directly and through compiled expressions.
#include <gtest/gtest.h>

#include <cmath>

#include "kpl/kpl_operators.h"

namespace {

struct OperatorCase {
    const char* what;
    KplValue left;
    std::uint8_t op;
    KplValue right;
    int error;
    std::uint8_t type;
    double value;
};

KplValue i(std::int32_t v) {
    return kpl_int(v);
}
KplValue d(double v) {
    return kpl_double(v);
}
KplValue c(int v) {
    KplValue x = kpl_int(v);
    x.type = kKplChar;
    return x;
}

TEST(KplOperators, CasesOfBothPaths) {
    const OperatorCase cases[] = {
        {"7/2 divides as doubles", i(7), 'o', i(2), 0, kKplDouble, 3.5},
        {"7%2", i(7), 'p', i(2), 0, kKplInt, 1},
        {"-7%2 keeps the left sign", i(-7), 'p', i(2), 0, kKplInt, -1},
        {"1/0", i(1), 'o', i(0), -36, 0, 0},
        {"1%0", i(1), 'p', i(0), -36, 0, 0},
        {"2**10", i(2), 'c', i(10), 0, kKplInt, 1024},
        {"(-2)**3", i(-2), 'c', i(3), 0, kKplInt, -8},
        {"3**40 is a double", i(3), 'c', i(40), 0, kKplDouble, 12157665459056928801.0},
        {"0**0 is 0", i(0), 'c', i(0), 0, kKplInt, 0},
        {"0**-1", i(0), 'c', i(-1), -36, 0, 0},
        {"2**-1 truncates to 0", i(2), 'c', i(-1), 0, kKplInt, 0},
        {"5**3 through doubles", i(5), 'c', i(3), 0, kKplInt, 125},
        {"46341**2 is a double", i(46341), 'c', i(2), 0, kKplDouble, 2147488281.0},
        {"46340**2 is an int", i(46340), 'c', i(2), 0, kKplInt, 2147395600},
        {"1<<31", i(1), 'Z', i(31), 0, kKplInt, -2147483648.0},
        {"1<<32 refused", i(1), 'Z', i(32), -186, 0, 0},
        {"1<<-1 refused", i(1), 'Z', i(-1), -186, 0, 0},
        {">> shifts in zeros", i(-1), '[', i(28), 0, kKplInt, 15},
        {"1.5 & 1", d(1.5), ']', i(1), -175, 0, 0},
        {"1 | 2.0", i(1), '_', d(2.0), -175, 0, 0},
        {"(-8.0)**(1/3)", d(-8.0), 'c', d(1.0 / 3.0), -85, 0, 0},
        {"(-8.0)**3.0", d(-8.0), 'c', d(3.0), 0, kKplDouble, -512},
        {"1.0**nan is 1", d(1.0), 'c', d(std::nan("")), 0, kKplDouble, 1},
        {"0.0**-0.5", d(0.0), 'c', d(-0.5), -36, 0, 0},
        {"5.0 == 5", d(5.0), 'w', i(5), 0, kKplInt, 1},
        {"0.5 && 2", d(0.5), 'y', i(2), 0, kKplInt, 1},
        {"nan || 0 is false", d(std::nan("")), 'z', i(0), 0, kKplInt, 0},
        {"-2.5 % 1.0 keeps the left sign", d(-2.5), 'p', d(1.0), 0, kKplDouble, -0.5},
        {"2.5 / 0.0", d(2.5), 'o', d(0.0), -36, 0, 0},
        {"int + wraps", i(2147483647), 'q', i(1), 0, kKplInt, -2147483648.0},
        {"char keeps its type", c(65), 'q', i(1), 0, kKplChar, 66},
        {"3 < 4", i(3), 's', i(4), 0, kKplInt, 1},
        {"3 >= 4", i(3), 'v', i(4), 0, kKplInt, 0},
        {"6 ^ 3", i(6), '^', i(3), 0, kKplInt, 5},
        {"0 || 0", i(0), 'z', i(0), 0, kKplInt, 0},
        {"3 && 0", i(3), 'y', i(0), 0, kKplInt, 0},
    };
    for (const OperatorCase& k : cases) {
        SCOPED_TRACE(k.what);
        KplValue left = k.left;
        left.op = k.op;
        const KplValue before = left;
        EXPECT_EQ(apply_binary_op(left, k.right), k.error);
        if (k.error != 0) {
            EXPECT_EQ(left.type, before.type);
            EXPECT_EQ(left.v.i, before.v.i);
            continue;
        }
        EXPECT_EQ(left.type, k.type);
        if (k.type == kKplDouble) {
            EXPECT_DOUBLE_EQ(left.v.d, k.value);
        } else {
            EXPECT_EQ(left.v.i, static_cast<std::int32_t>(k.value));
        }
    }
}

TEST(KplOperators, PrecedenceOrdersTheTable) {
    EXPECT_GT(kpl_precedence('c'), kpl_precedence('n'));
    EXPECT_EQ(kpl_precedence('n'), kpl_precedence('o'));
    EXPECT_GT(kpl_precedence('q'), kpl_precedence('Z'));
    EXPECT_GT(kpl_precedence('w'), kpl_precedence(']'));
    EXPECT_GT(kpl_precedence('y'), kpl_precedence('z'));
    EXPECT_EQ(kpl_precedence('z'), 1);
    EXPECT_EQ(kpl_precedence(0x6D), 0);
    EXPECT_EQ(kpl_precedence(0xFB), 0);
}

}  // namespace
