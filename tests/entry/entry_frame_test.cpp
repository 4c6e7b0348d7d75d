// The value pair every entry handler decodes from its first argument.
#include <gtest/gtest.h>

#include <string>

#include "entry/entry_frame.h"
#include "runtime/arg_cells.h"

namespace {

// Runs decode_value_pair on one cell, the running command's vector put back afterwards.
ValuePair decode(ArgCell cell) {
    ArgCell* cells[1] = {&cell};
    ArgCell** saved = arg_vector();
    const int count = arg_count();
    set_arg_vector(cells, 1);
    const ValuePair v = decode_value_pair();
    set_arg_vector(saved, count);
    return v;
}

TEST(EntryFrame, TheValuePairOfTheFirstArgument) {
    struct Case {
        ArgCell cell;
        int n;
        double d;
    };
    const Case cases[] = {
        {double_cell(3e9), 0, 3e9},     // too large for an integer: n is 0
        {double_cell(-2.7), -2, -2.7},  // truncated toward zero
        {double_cell(2.7), 2, 2.7},    {int_cell(7), 7, 7.0}, {int_cell(-1), -1, -1.0},
    };
    for (const Case& c : cases) {
        const ValuePair v = decode(c.cell);
        EXPECT_EQ(v.n, c.n) << c.d;
        EXPECT_EQ(v.d, c.d) << c.d;
        EXPECT_TRUE(v.given);
        EXPECT_FALSE(v.is_text);
    }
    std::string long_text(100, 'x');
    const ValuePair t = decode(text_cell(long_text.data()));
    EXPECT_TRUE(t.is_text);
    EXPECT_EQ(t.text, std::string(80, 'x'));
    // No argument at all: zeros, not given.
    ArgCell** saved = arg_vector();
    const int count = arg_count();
    set_arg_vector(nullptr, 0);
    const ValuePair none = decode_value_pair();
    set_arg_vector(saved, count);
    EXPECT_EQ(none.n, 0);
    EXPECT_EQ(none.d, 0.0);
    EXPECT_FALSE(none.given);
}

}  // namespace
