// Variables declared on typed command lines: scalars, texts and one- and two-dimensional arrays
// handed to the array commands, and what a line may not declare.
#include <gtest/gtest.h>

#include <string>

#include "tests/app/main_loop/loop_fixture.h"

namespace {

using loop_test::Loop;

class TypedDeclarations : public Loop {
protected:
    std::string value(const std::string& line) {
        type(line);
        return ui().status_text();
    }
    std::string last_box() {
        return ui().message_boxes_shown().empty() ? "" : ui().message_boxes_shown().back().text;
    }
    // The message a line shows, or "" when it shows none.
    std::string message_of(const std::string& line) {
        const std::size_t before = ui().message_boxes_shown().size();
        type(line);
        return ui().message_boxes_shown().size() > before ? last_box() : "";
    }
};

TEST_F(TypedDeclarations, ArraysDeclaredOnALineReachTheArrayCommands) {
    struct Case {
        const char* line;
        const char* a;
        const char* b;
    } cases[] = {
        // The points (0,1), (1,3), (2,4), (3,4): the normal equations [[4,6],[6,14]] (a,b) =
        // (12,23) give the regression line 1.5 + x.
        {"double m[4][2], x[2], y[4]; for (i = 0; i < 4; i++) { m[i][0] = 1; m[i][1] = i; } "
         "y[0] = 1; y[1] = 3; y[2] = 4; y[3] = 4; solve m, x, y; a = x[0]; b = x[1]",
         "Value: 1.5", "Value: 1.0"},
        // [[1,2],[3,4]] times [[5,6],[7,8]] is [[19,22],[43,50]].
        {"double p[2][2], q[2][2], r[2][2]; p[0][0] = 1; p[0][1] = 2; p[1][0] = 3; p[1][1] = 4; "
         "q[0][0] = 5; q[0][1] = 6; q[1][0] = 7; q[1][1] = 8; mat_mul p, q, r; a = r[0][1]; "
         "b = r[1][0]",
         "Value: 22.0", "Value: 43.0"},
        // Dimensions are expressions, evaluated when the line runs; elements start at 0.
        {"k = 3; double v[k + 1]; v[k] = 2.5; a = v[k] + v[0]; b = array_cols(v)", "Value: 2.5",
         "Value: 4.0"},
        // A = [[1,2],[3,4],[5,6]]: A (1,1) = (3,7,11); A-transpose (1,1,1) = (9,12).
        {"double m[3][2], v[2], w[3]; for (i = 0; i < 3; i++) for (j = 0; j < 2; j++) m[i][j] = "
         "2 * i + j + 1; v[0] = 1; v[1] = 1; mat_vec m, v, w; a = w[2]; w[0] = 1; w[1] = 1; w[2] = "
         "1; "
         "mat_t_vec m, w, v; b = v[1]",
         "Value: 11.0", "Value: 12.0"},
        // The same A: A-transpose A = [[35,44],[44,56]], A A-transpose has 61 at [2][2].
        {"double m[3][2], p[2][2], q[3][3]; for (i = 0; i < 3; i++) for (j = 0; j < 2; j++) "
         "m[i][j] = 2 * i + j + 1; mat_ata m, p; mat_aat m, q; a = p[0][1]; b = q[2][2]",
         "Value: 44.0", "Value: 61.0"},
        // Rows of a two-dimensional char array are texts: sorted, "apple" (row 1), "fig"
        // (row 2), "pear" (row 0).
        {"char f[3][8], t[8]; int k[3]; row_set f, \"pear\", 0; row_set f, \"apple\", 1; "
         "row_set f, \"fig\", 2; sort k, f; a = k[0] * 100 + k[1] * 10 + k[2]; row_get t, f, 2; "
         "b = strlen(t)",
         "Value: 120.0", "Value: 3.0"},
        // A two-dimensional array arrives with its rows and columns.
        {"double w[3][5]; a = array_rows(w); b = array_cols(w)", "Value: 3.0", "Value: 5.0"},
        // An int truncates what it is given; a text takes its capacity from its declaration.
        {"int n; n = 7.9; char t[20]; strcpy(t, \"hello\"); a = n; b = strlen(t)", "Value: 7.0",
         "Value: 5.0"},
        // A declared name hides the scratch variable of the same name for the rest of the line.
        {"a = 1; double b[2]; b[1] = 4; a = b[1] * 2", "Value: 8.0", "Value: 4.0"},
    };
    for (const Case& c : cases) {
        type("a = 0");
        type("b = 4");
        type(c.line);
        EXPECT_EQ(last_box(), "") << c.line;
        EXPECT_EQ(value("a"), c.a) << c.line;
        EXPECT_EQ(value("b"), c.b) << c.line;
    }
}

TEST_F(TypedDeclarations, WrongDeclarationsAndUsesAreRefusedWithTheirMessage) {
    struct Case {
        const char* line;
        const char* message;
    } cases[] = {
        {"if (1) double q", "declared only at the outer level"},
        {"for (i = 0; i < 2; i++) { int k }", "declared only at the outer level"},
        {"double sin", "The name sin is taken already"},
        {"double m[2]; int m", "The name m is taken already"},
        {"double c[2][2][2]", "Syntax error"},
        {"double z[0]", "An array dimension lies outside 1 to 32000"},
        {"double z[200][200]", "An array dimension lies outside 1 to 32000"},
        {"double v[2]; v[2] = 1", "An index is outside the array"},
        {"double p[2][3], q[2][2], r[2][2]; mat_mul p, q, r; a = 1", "shapes that fit"},
        {"double m[2][2]; a = m[1]", "Too few indices"},
        // Declared variables end with their line.
        {"zz = 1", "Unknown name zz"},
    };
    type("double zz[3]; zz[0] = 1");
    for (const Case& c : cases) {
        type("a = 5");
        EXPECT_NE(message_of(c.line).find(c.message), std::string::npos)
            << c.line << ": " << last_box();
        EXPECT_EQ(value("a"), "Value: 5.0") << c.line;
    }
}

}  // namespace
