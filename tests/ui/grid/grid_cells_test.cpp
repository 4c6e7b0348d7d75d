// The grid's cell entries and the formatting of a cell's value into its line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/state_reset.h"
#include "runtime/output_options.h"
#include "ui/grid_cells.h"

namespace {

TEST(GridCellEntry, EncodesHighByteFirstAndLeavesTheNextBytesAlone) {
    GridCellEntry e;
    e.field_code = 0x9805;           // disabled, kind 0x1800, field 5
    e.field_index = (18 << 10) | 7;  // argument group 2, item 7
    e.first_column = 12;
    e.end_column = 200;
    std::uint8_t bytes[8];
    std::memset(bytes, 0xEE, sizeof bytes);
    encode_grid_entry(e, bytes);
    const std::uint8_t expected[6] = {0x98, 0x05, 0x48, 0x07, 12, 200};
    EXPECT_EQ(std::memcmp(bytes, expected, 6), 0);
    EXPECT_EQ(bytes[6], 0xEE);
    EXPECT_EQ(bytes[7], 0xEE);

    const GridCellEntry d = decode_grid_entry(bytes);
    EXPECT_EQ(d.field_code, 0x9805);
    EXPECT_EQ(d.field_index, 0x4807);
    EXPECT_EQ(d.first_column, 12);
    EXPECT_EQ(d.end_column, 200);
    EXPECT_TRUE(grid_entry_disabled(d.field_code));
    EXPECT_EQ(grid_entry_kind(d.field_code), kGridKindTextNoCommand);
    EXPECT_EQ(grid_entry_field(d.field_code), 5);
    EXPECT_EQ(grid_entry_argument_group(d.field_index), 2);
    EXPECT_EQ(grid_entry_item(d.field_index), 7);
}

TEST(GridCellEntry, IndexBelowTheGroupBaseNamesNoArgument) {
    const int index = (15 << 10) | 3;  // bits 10-15 hold 15: an ordinary item number
    EXPECT_EQ(grid_entry_argument_group(index), -1);
    EXPECT_EQ(grid_entry_item(index), index);
    const std::uint8_t bytes[6] = {0x20, 0x01, 0x00, 0x02, 0, 4};
    const GridCellEntry d = decode_grid_entry(bytes);
    EXPECT_FALSE(grid_entry_disabled(d.field_code));
    EXPECT_EQ(grid_entry_kind(d.field_code), kGridKindRadioOff);
    EXPECT_EQ(grid_entry_field(d.field_code), 1);
}

struct DoubleCase {
    const char* name;
    double value;
    int width;
    int decimals;
    int style;
    const char* expected;
};

// Expected texts worked out by hand from the printf conversions.
const DoubleCase kDoubleCases[] = {
    {"fits", 3.14159, 8, 3, kGridStyleFixed, "   3.142"},
    {"one decimal too many", 1234.5678, 8, 4, kGridStyleFixed, "1234.568"},
    {"large value keeps its digits", 123456.0, 8, 2, kGridStyleFixed, "123456.0"},
    {"negative loses a decimal", -99.8765, 6, 3, kGridStyleFixed, "-99.88"},
    {"too long even without decimals", 12345678.0, 6, 2, kGridStyleFixed, "12345678.00"},
    {"integer part wider than the cell", 99999.9, 4, 1, kGridStyleFixed, "99999.9"},
    {"exponent form fits", 1.5e-7, 10, 3, 1, " 1.500e-07"},
    {"exponent form loses a decimal", 1.5e-7, 8, 3, 0, "1.50e-07"},
};

TEST(GridFormatDouble, LosesDecimalsNeverDigitsBeforeThePoint) {
    for (const DoubleCase& c : kDoubleCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(grid_format_double(c.value, c.width, c.decimals, c.style), c.expected);
    }
}

// A sheet line with the cell between '[' and ']' and a neighbour behind it.
class CellFormat : public ::testing::Test {
protected:
    void SetUp() override { platform::reset_all_state(); }
    void TearDown() override { platform::reset_all_state(); }

    GridCell& cell(int type, int width, int first_column = 1) {
        std::memset(line_, 0, sizeof line_);
        line_[0] = '[';
        std::memset(line_ + 1, 'x', static_cast<std::size_t>(width));
        std::strcpy(line_ + 1 + width, "]next");
        GridCell& c = grid_state().current;
        c = GridCell{};
        c.text = line_ + 1;
        c.first_column = first_column;
        c.end_column = first_column + width;
        c.width = width;
        c.value_type = type;
        return c;
    }
    std::string cell_text(int width) const { return std::string(line_ + 1, width); }
    std::string behind(int width) const { return std::string(line_ + 1 + width); }

    char line_[64];
};

TEST_F(CellFormat, IntegersByWidthPaddedToTheCell) {
    struct Case {
        int width;
        int value;
        const char* text;
        int caret;
    } cases[] = {
        {4, 7, "  7 ", 3},     {4, -99, "-99 ", 3},   {5, 1000, " 1000", 5},
        {6, -42, "  -42 ", 5}, {7, 12, "     12", 7}, {9, 123456, " 123456  ", 7},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.width);
        GridCell& c = cell(kGridValueInt, k.width);
        c.value.i = k.value;
        grid_format_edit_value(true);
        EXPECT_EQ(cell_text(k.width), k.text);
        EXPECT_EQ(behind(k.width), "]next");
        EXPECT_EQ(c.caret_column, k.caret);
    }
}

TEST_F(CellFormat, DoublesOfWidth11UseTheProgramNumberFormat) {
    set_output_option(kOptionTrim, 0);
    GridCell& c = cell(kGridValueDouble, 11);
    c.value.d = 6.0;
    c.decimals = 2;  // not used by the program-wide format
    grid_format_edit_value(true);
    EXPECT_EQ(cell_text(11), "   6.000000");
    EXPECT_EQ(c.caret_column, 1 + 5);
    c.value.d = 2e5;
    grid_format_edit_value();
    EXPECT_EQ(cell_text(11), " 2.0000e+05");
    EXPECT_EQ(behind(11), "]next");
    // Trimmed output blanks the trailing zeros but keeps the width.
    set_output_option(kOptionTrim, 1);
    c.value.d = 6.25;
    grid_format_edit_value();
    EXPECT_EQ(cell_text(11), "   6.25    ");
    EXPECT_EQ(behind(11), "]next");
}

TEST_F(CellFormat, OtherDoublesThroughTheirOwnFormat) {
    GridCell& c = cell(kGridValueDouble, 8);
    c.value.d = 3.14159;
    c.decimals = 3;
    c.number_style = kGridStyleFixed;
    grid_format_edit_value(true);
    EXPECT_EQ(cell_text(8), "   3.142");
    EXPECT_EQ(c.caret_column, 1 + 5);
    EXPECT_EQ(behind(8), "]next");
}

TEST_F(CellFormat, ANumberThatCannotFitIsMarkedNotSpilled) {
    GridCell& c = cell(kGridValueDouble, 6);
    c.value.d = 12345678.0;
    c.decimals = 2;
    c.number_style = kGridStyleFixed;
    grid_format_edit_value();
    EXPECT_EQ(cell_text(6), "******");
    EXPECT_EQ(behind(6), "]next");
}

TEST_F(CellFormat, TextCellsArePaddedWithBlanks) {
    cell(kGridValueText, 6);
    grid_set_cell_text("ab");
    grid_format_edit_value();
    EXPECT_EQ(cell_text(6), "ab    ");
    EXPECT_EQ(behind(6), "]next");
    grid_set_cell_text("abcdefgh");
    EXPECT_EQ(cell_text(6), "abcdef");
    EXPECT_EQ(behind(6), "]next");
}

TEST_F(CellFormat, ALineThatEndsInsideTheCellEndsBehindItAfterwards) {
    GridCell& c = cell(kGridValueText, 6);
    std::memset(line_, '#', sizeof line_);
    std::strcpy(line_, "[ab");  // the line ends two characters into the cell
    grid_format_edit_value();
    EXPECT_EQ(std::string(line_), "[ab    ");
    EXPECT_EQ(line_[8], '#');
    c.value_type = kGridValueInt;
    c.value.i = 5;
    std::strcpy(line_, "[");
    grid_format_edit_value();
    EXPECT_EQ(std::string(line_), "[    5 ");
}

TEST(GridEdit, EndingTheEditLeavesTheCellCurrent) {
    reset_grid_state();
    char text[8] = "abc";
    GridState& g = grid_state();
    g.current.text = text;
    g.current.width = 3;
    EXPECT_FALSE(grid_cell_in_edit());
    g.edit_state = kGridEditNumber;
    g.edit_scroll = 2;
    EXPECT_TRUE(grid_cell_in_edit());
    grid_end_edit();
    EXPECT_EQ(g.edit_state, kGridIdle);
    EXPECT_EQ(g.edit_scroll, 0);
    EXPECT_EQ(g.current.text, text);
    EXPECT_FALSE(grid_cell_in_edit());
    reset_grid_state();
}

}  // namespace
