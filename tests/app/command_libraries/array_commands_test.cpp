// The array mathematics, called as the interpreter calls them: cells with the shapes of the
// arrays beside them, built here to check the kernels apart from the interpreter (typed lines
// that declare the arrays are in typed_declarations_test.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "numeric/heap_sort.h"
#include "runtime/arg_cells.h"
#include "runtime/array_commands.h"
#include "runtime/string_commands.h"

namespace {

class Call {
public:
    Call& array(void* data, int type, int dim1, int dim2 = 0) {
        ArgCell c{};
        c.type = static_cast<std::uint16_t>(type);
        c.value.text = static_cast<char*>(data);
        cells_.push_back(c);
        shapes_.push_back({type, dim1, dim2});
        return *this;
    }
    Call& doubles(std::vector<double>& v, int dim1, int dim2 = 0) {
        return array(v.data(), kArgDouble, dim1, dim2);
    }
    // A text variable of the given capacity (its own bytes, as the interpreter passes them).
    Call& text(char* bytes, int capacity) {
        ArgCell c = text_cell(bytes);
        c.text_length = static_cast<std::int16_t>(capacity);
        cells_.push_back(c);
        shapes_.push_back({kArgChar, capacity, 0});
        return *this;
    }
    Call& number(double v) {
        cells_.push_back(double_cell(v));
        shapes_.push_back({});
        return *this;
    }
    Call& omitted() {
        ArgCell c = int_cell(0);
        c.status = kArgDefaultTaken;
        cells_.push_back(c);
        shapes_.push_back({});
        return *this;
    }
    int run(int command, int (*handler)()) {
        pointers_.clear();
        for (ArgCell& c : cells_) pointers_.push_back(&c);
        set_current_command(command);
        set_arg_vector(pointers_.data(), static_cast<int>(pointers_.size()));
        set_arg_shapes(shapes_.data());
        clear_command_result();
        const int r = handler();
        set_arg_vector(nullptr, 0);
        return r;
    }
    ArgCell& cell(int i) { return cells_[static_cast<std::size_t>(i)]; }

private:
    std::vector<ArgCell> cells_;
    std::vector<ArgShape> shapes_;
    std::vector<ArgCell*> pointers_;
};

TEST(ArrayCommands, SolveGivesTheRegressionLineAndTheMinimumNormSolution) {
    // The points (0,1), (1,3), (2,4), (3,4): the normal equations [[4,6],[6,14]] (a,b) =
    // (12,23) give a = 1.5, b = 1, the line 1.5 + x.
    std::vector<double> a = {1, 0, 1, 1, 1, 2, 1, 3};
    std::vector<double> x(2, 0.0), b = {1, 3, 4, 4};
    ASSERT_EQ(Call().doubles(a, 4, 2).doubles(x, 2).doubles(b, 4).run(kCmdSolve, cmd_matrix_solve),
              0);
    EXPECT_NEAR(x[0], 1.5, 1e-12);
    EXPECT_NEAR(x[1], 1.0, 1e-12);
    // [[1,1],[1,1]] x = (1,3): singular; the least-squares solutions have x1 + x2 = 2, the one
    // of minimum norm is (1,1).
    std::vector<double> s = {1, 1, 1, 1}, y(2, 0.0), c = {1, 3};
    ASSERT_EQ(Call().doubles(s, 2, 2).doubles(y, 2).doubles(c, 2).run(kCmdSolve, cmd_matrix_solve),
              0);
    EXPECT_NEAR(y[0], 1.0, 1e-9);
    EXPECT_NEAR(y[1], 1.0, 1e-9);
    // A square regular system exactly: [[2,1],[1,3]] x = (3,5) has x = (0.8, 1.4).
    std::vector<double> r = {2, 1, 1, 3}, z(2, 0.0), d = {3, 5};
    ASSERT_EQ(Call().doubles(r, 2, 2).doubles(z, 2).doubles(d, 2).run(kCmdSolve, cmd_matrix_solve),
              0);
    EXPECT_NEAR(z[0], 0.8, 1e-12);
    EXPECT_NEAR(z[1], 1.4, 1e-12);
    // Too short a right-hand side.
    std::vector<double> short_b = {1, 2, 3};
    EXPECT_EQ(
        Call().doubles(a, 4, 2).doubles(x, 2).doubles(short_b, 3).run(kCmdSolve, cmd_matrix_solve),
        kMsgArrayShapes);
}

TEST(ArrayCommands, ProductsCheckTheirShapes) {
    std::vector<double> a = {1, 2, 3, 4, 5, 6};  // 2 x 3
    std::vector<double> x = {1, 0, -1}, y(2, 0.0);
    ASSERT_EQ(Call().doubles(a, 2, 3).doubles(x, 3).doubles(y, 2).run(kCmdMatVec, cmd_matrix_solve),
              0);
    EXPECT_EQ(y, (std::vector<double>{-2, -2}));
    std::vector<double> ata(9, 0.0), aat(4, 0.0), wrong(4, 0.0);
    ASSERT_EQ(Call().doubles(a, 2, 3).doubles(ata, 3, 3).run(kCmdMatAta, cmd_matrix_product), 0);
    EXPECT_EQ(ata, (std::vector<double>{17, 22, 27, 22, 29, 36, 27, 36, 45}));
    ASSERT_EQ(Call().doubles(a, 2, 3).doubles(aat, 2, 2).run(kCmdMatAat, cmd_matrix_product), 0);
    EXPECT_EQ(aat, (std::vector<double>{14, 32, 32, 77}));
    EXPECT_EQ(Call().doubles(a, 2, 3).doubles(wrong, 2, 2).run(kCmdMatAta, cmd_matrix_product),
              kMsgArrayShapes);
    std::vector<double> b = {1, 0, 0, 1, 1, 1}, c(4, 0.0);  // 3 x 2
    ASSERT_EQ(Call().doubles(a, 2, 3).doubles(b, 3, 2).doubles(c, 2, 2).run(kCmdMatMul,
                                                                            cmd_matrix_product),
              0);
    EXPECT_EQ(c, (std::vector<double>{4, 5, 10, 11}));
}

TEST(ArrayCommands, SortGivesTheIndexOrderAndLeavesTheKeys) {
    std::vector<std::int32_t> index(3, -1);
    std::vector<double> keys = {3, 1, 2};
    EXPECT_EQ(
        Call().array(index.data(), kArgInt, 3).doubles(keys, 3).number(3).run(kCmdSort, cmd_sort),
        0);
    EXPECT_EQ(command_result().value.i, 0);
    EXPECT_EQ(index, (std::vector<std::int32_t>{1, 2, 0}));
    EXPECT_EQ(keys, (std::vector<double>{3, 1, 2}));
    // Texts by byte comparison over the row width.
    char rows[3][4] = {"pea", "fig", "nut"};
    ASSERT_EQ(Call()
                  .array(index.data(), kArgInt, 3)
                  .array(rows, kArgChar, 3, 4)
                  .omitted()
                  .run(kCmdSort, cmd_sort),
              0);
    EXPECT_EQ(index, (std::vector<std::int32_t>{1, 2, 0}));
    struct Bad {
        int count;
    } bad[] = {{1}, {4}, {-1}};
    for (const Bad& c : bad) {
        Call()
            .array(index.data(), kArgInt, 3)
            .doubles(keys, 3)
            .number(c.count)
            .run(kCmdSort, cmd_sort);
        EXPECT_EQ(command_result().value.i, kMsgSortArguments) << c.count;
    }
}

TEST(ArrayCommands, FftSizesAndARoundTrip) {
    struct Case {
        int nx, ny;
        int result;
    } cases[] = {{64, 128, 0}, {128, 128, -70}, {3, 1, -70}, {2, 1, 0}};
    for (const Case& c : cases) {
        std::vector<double> in(16384 * 2, 0.0), out(16384 * 2, 0.0);
        EXPECT_EQ(Call()
                      .doubles(in, 32768)
                      .doubles(out, 32768)
                      .number(c.nx)
                      .number(c.ny)
                      .run(kCmdFft, cmd_fft),
                  c.result)
            << c.nx << " x " << c.ny;
    }
    // A unit impulse transforms into ones, and back.
    std::vector<double> in(32, 0.0), out(32, 0.0), back(32, 0.0);
    in[0] = 1;
    ASSERT_EQ(Call().doubles(in, 32).doubles(out, 32).number(4).number(4).run(kCmdFft, cmd_fft), 0);
    for (int k = 0; k < 16; ++k) EXPECT_NEAR(out[2 * k], 1.0, 1e-12);
    ASSERT_EQ(Call().doubles(out, 32).doubles(back, 32).number(4).number(4).run(kCmdIfft, cmd_fft),
              0);
    for (int k = 0; k < 32; ++k) EXPECT_NEAR(back[k], in[k], 1e-12);
    // The destination too short.
    std::vector<double> small(8, 0.0);
    EXPECT_EQ(Call().doubles(in, 32).doubles(small, 8).number(4).number(4).run(kCmdFft, cmd_fft),
              -70);
}

TEST(ArrayCommands, InterpolationAndTheTableFit) {
    // The parabola y = x^2 through (0,0), (1,1), (2,4): at 1.5 it is 2.25.
    std::vector<double> x = {0, 1, 2}, y = {0, 1, 4};
    ASSERT_EQ(Call().doubles(x, 3).doubles(y, 3).number(3).number(1.5).run(kCmdInterpolate,
                                                                           cmd_interpolate),
              0);
    EXPECT_NEAR(command_result().value.d, 2.25, 1e-12);
    EXPECT_EQ(Call().doubles(x, 3).doubles(y, 3).number(4).number(1.5).run(kCmdInterpolate,
                                                                           cmd_interpolate),
              kMsgInterpolationFailed);
    // The line y = 2x: value 1 and derivative 2 at 0.5.
    std::vector<double> lx = {0, 1}, ly = {0, 2};
    ASSERT_EQ(Call().doubles(lx, 2).doubles(ly, 2).number(2).run(kCmdFitTable, cmd_table_fit), 0);
    Call eval;
    eval.number(0.5).number(0).number(0);
    ASSERT_EQ(eval.run(kCmdFitEval, cmd_table_fit), 0);
    EXPECT_NEAR(eval.cell(1).value.d, 1.0, 1e-12);
    EXPECT_NEAR(eval.cell(2).value.d, 2.0, 1e-12);
}

TEST(TextArrays, RowsAreCopiedOnlyWhereTheyFit) {
    char rows[3][6] = {"one", "two", "three"};
    struct Case {
        int capacity;  // of the destination
        int row;
        int result;
        const char* text;
    } gets[] = {
        {8, 2, 0, "three"}, {6, 1, 0, "two"}, {5, 0, -17, ""}, {8, 3, -17, ""}, {8, -1, -17, ""}};
    for (const Case& c : gets) {
        char out[8] = "junk";
        Call()
            .text(out, c.capacity)
            .array(rows, kArgChar, 3, 6)
            .number(c.row)
            .run(kCmdRowGet, cmd_string_functions);
        EXPECT_EQ(command_result().value.i, c.result) << c.capacity << " " << c.row;
        EXPECT_STREQ(out, c.text) << c.capacity << " " << c.row;
    }
    // Storing: the row width must hold the source's capacity; the rest of the row is cleared.
    char source[6] = "ab";
    Call()
        .array(rows, kArgChar, 3, 6)
        .text(source, 6)
        .number(2)
        .run(kCmdRowSet, cmd_string_functions);
    EXPECT_EQ(command_result().value.i, 0);
    EXPECT_EQ(std::string(rows[2], 6), std::string("ab\0\0\0\0", 6));
    char wide[7] = "abc";
    Call()
        .array(rows, kArgChar, 3, 6)
        .text(wide, 7)
        .number(0)
        .run(kCmdRowSet, cmd_string_functions);
    EXPECT_EQ(command_result().value.i, -17);
    EXPECT_STREQ(rows[0], "one");
    Call()
        .array(rows, kArgChar, 3, 6)
        .text(source, 6)
        .number(3)
        .run(kCmdRowSet, cmd_string_functions);
    EXPECT_EQ(command_result().value.i, -17);
}

TEST(HeapSort, SortsSixteenBitIndices) {
    const int keys[] = {5, -1, 9, 0, 5, 3};
    std::int16_t index[] = {0, 1, 2, 3, 4, 5};
    heap_sort_indices(
        [](int a, int b, const void* k) {
            const int* v = static_cast<const int*>(k);
            return v[a] - v[b];
        },
        keys, index, 6);
    for (int k = 1; k < 6; ++k) EXPECT_LE(keys[index[k - 1]], keys[index[k]]);
}

}  // namespace
