#include "numeric/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// Error paths free whatever they were given, null included. The frees run in a child process
// so that a crash is reported as this test failing rather than ending the run.
TEST(Memory, NullIsIgnoredByFrees) {
    EXPECT_EXIT(
        {
            mem_free(nullptr);
            free_matrix(nullptr);
            free_array3(nullptr);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(Memory, BlocksComeBackZeroed) {
    auto* block = static_cast<unsigned char*>(alloc_array(1000, 8));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 8000; ++i) ASSERT_EQ(block[i], 0) << i;
    mem_free(block);
}

TEST(Memory, ImpossibleRequestsGiveNull) {
    const std::size_t huge = std::numeric_limits<std::size_t>::max();
    EXPECT_EQ(alloc_array(huge / 2 + 1, 2), nullptr);          // product wraps around
    EXPECT_EQ(alloc_array(std::size_t{1} << 33, 1), nullptr);  // beyond 32-bit block sizes
    EXPECT_EQ(alloc_matrix(huge / 4, 8, 8), nullptr);
    EXPECT_EQ(alloc_array3(1 << 20, 1 << 20, 1 << 20, 8), nullptr);
}

TEST(Memory, ReallocOfNullAllocatesAndGrowthIsZeroed) {
    auto* values = static_cast<int*>(mem_realloc(nullptr, 4, sizeof(int)));
    ASSERT_NE(values, nullptr);
    for (int i = 0; i < 4; ++i) values[i] = i + 1;
    values = static_cast<int*>(mem_realloc(values, 100, sizeof(int)));
    ASSERT_NE(values, nullptr);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(values[i], i + 1);
    for (int i = 4; i < 100; ++i) ASSERT_EQ(values[i], 0) << i;
    // Shrink then grow again: the regrown part must not show the old values.
    values = static_cast<int*>(mem_realloc(values, 2, sizeof(int)));
    values = static_cast<int*>(mem_realloc(values, 4, sizeof(int)));
    ASSERT_NE(values, nullptr);
    EXPECT_EQ(values[1], 2);
    EXPECT_EQ(values[2], 0);
    EXPECT_EQ(values[3], 0);
    mem_free(values);
}

TEST(Memory, FailedReallocKeepsTheOldBlock) {
    auto* text = static_cast<char*>(alloc_array(16, 1));
    ASSERT_NE(text, nullptr);
    std::strcpy(text, "kept");
    EXPECT_EQ(mem_realloc(text, std::numeric_limits<std::size_t>::max(), 4), nullptr);
    EXPECT_STREQ(text, "kept");
    mem_free(text);
}

TEST(Memory, MatrixRowsLieInOneBlock) {
    double** m = alloc_matrix_of<double>(3, 5);
    ASSERT_NE(m, nullptr);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 5; ++j) m[i][j] = 10 * i + j;
    }
    // Row after row in the block of entry 0.
    for (int k = 0; k < 15; ++k) EXPECT_EQ(m[0][k], 10 * (k / 5) + k % 5);
    free_matrix_of(m);

    // One row: its entries come zeroed and keep what is written.
    double** one = alloc_matrix_of<double>(1, 4);
    ASSERT_NE(one, nullptr);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(one[0][k], 0.0) << k;
    one[0][3] = 7;
    EXPECT_EQ(one[0][3], 7.0);
    EXPECT_EQ(one[0][2], 0.0);
    free_matrix_of(one);
}

TEST(Memory, RowTableOverCallersBlock) {
    float block[6] = {1, 2, 3, 4, 5, 6};
    auto rows = reinterpret_cast<float**>(row_table_over_block(block, 2, 3, sizeof(float)));
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(rows[0], block);
    EXPECT_EQ(rows[1][2], 6);
    mem_free(rows);  // the block stays ours
    EXPECT_EQ(block[5], 6);
}

TEST(Memory, ThreeLevelTable) {
    auto t = reinterpret_cast<std::int32_t***>(alloc_array3(2, 3, 4, sizeof(std::int32_t)));
    ASSERT_NE(t, nullptr);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 4; ++k) t[i][j][k] = 100 * i + 10 * j + k;
    const std::int32_t* data = t[0][0];
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 4; ++k) EXPECT_EQ(data[(i * 3 + j) * 4 + k], 100 * i + 10 * j + k);
    EXPECT_EQ(t[1], reinterpret_cast<std::int32_t**>(t[0]) + 3);
    free_array3(reinterpret_cast<void***>(t));
}

}  // namespace
