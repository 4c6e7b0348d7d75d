// The keys of the surface sheet, typed into the command line as a user types them: the arrows,
// Tab and Shift+Tab move the current cell, Enter takes the typed value and goes down, Escape
// first gives the offered value back and then leaves the sheet, Insert and Delete insert and
// delete surfaces.
#include "tests/entry/sheet_qt/sheet_qt_fixture.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "entry/sheet_values.h"

namespace {

using tavo_test::QtSheet;

constexpr int kRadiusCell = kGridKindValueList | kFieldRadius;
constexpr int kThicknessCell = kFieldThickness;

std::pair<int, int> current_cell() {
    const GridCell& c = grid_state().current;
    return {c.text != nullptr ? c.field_code : 0, c.field_index};
}

double radius(int n) {
    return get_lens_value(kFieldRadius, n);
}

TEST_F(QtSheet, ARadiusTypedWithEnterIsTakenAtTheFirstTryAndTheCellBelowBecomesCurrent) {
    open_sheet_on_lens("45");
    click(kRadiusCell, 1);
    // The value is offered selected: the typed digits replace it.
    type_keys("62.5");
    EXPECT_EQ(line_edit()->text().toStdString(), "62.5");
    press(Qt::Key_Return);
    EXPECT_DOUBLE_EQ(radius(1), 62.5);
    EXPECT_EQ(current_cell(), std::make_pair(kRadiusCell, 2));
    // The next value goes straight into the cell below, offered in its turn.
    EXPECT_EQ(std::stod(line_edit()->text().toStdString()), -50.0);
    type_keys("-70");
    press(Qt::Key_Return);
    EXPECT_DOUBLE_EQ(radius(2), -70.0);
    EXPECT_DOUBLE_EQ(radius(1), 62.5);
    EXPECT_EQ(current_cell(), std::make_pair(kRadiusCell, 3));
    // Enter on the offered value leaves it and moves on as well.
    click(kRadiusCell, 1);
    press(Qt::Key_Return);
    EXPECT_DOUBLE_EQ(radius(1), 62.5);
    EXPECT_EQ(current_cell(), std::make_pair(kRadiusCell, 2));
    leave_sheet();
}

TEST_F(QtSheet, ArrowsTabAndShiftTabMoveTheCurrentCell) {
    open_sheet_on_lens("45");
    struct Step {
        int key;
        Qt::KeyboardModifiers modifiers;
        std::pair<int, int> after;
    };
    // From the radius of surface 1: the thickness lies right of the radius and its button.
    const Step steps[] = {
        {Qt::Key_Down, Qt::NoModifier, {kRadiusCell, 2}},
        {Qt::Key_Up, Qt::NoModifier, {kRadiusCell, 1}},
        {Qt::Key_Right, Qt::NoModifier, {kGridKindButton | kFieldCurvatureOption, 1}},
        {Qt::Key_Tab, Qt::NoModifier, {kThicknessCell, 1}},
        {Qt::Key_Backtab, Qt::ShiftModifier, {kGridKindButton | kFieldCurvatureOption, 1}},
        {Qt::Key_Left, Qt::NoModifier, {kRadiusCell, 1}},
    };
    click(kRadiusCell, 1);
    for (const Step& s : steps) {
        press(s.key, s.modifiers);
        EXPECT_EQ(current_cell(), s.after) << s.key;
    }
    // Typed text keeps Left and Right for its caret; Tab enters it and moves on.
    click(kThicknessCell, 1);
    type_keys("7.5");
    press(Qt::Key_Left);
    EXPECT_EQ(current_cell(), std::make_pair(kThicknessCell, 1));
    EXPECT_EQ(line_edit()->cursorPosition(), 2);
    press(Qt::Key_Tab);
    EXPECT_DOUBLE_EQ(surface(1).thickness, 7.5);
    EXPECT_NE(current_cell(), std::make_pair(kThicknessCell, 1));
    EXPECT_EQ(current_cell().second, 1);
    leave_sheet();
}

TEST_F(QtSheet, EscapeFirstAbandonsTheTypedValueThenLeavesTheSheet) {
    open_sheet_on_lens("45");
    click(kRadiusCell, 1);
    const std::string offered = line_edit()->text().toStdString();
    type_keys("99");
    press(Qt::Key_Escape);
    EXPECT_EQ(line_edit()->text().toStdString(), offered);
    EXPECT_EQ(line_edit()->selectedText().toStdString(), offered);
    EXPECT_EQ(level_count(), 1);
    EXPECT_DOUBLE_EQ(radius(1), 50.0);
    press(Qt::Key_Escape);
    EXPECT_EQ(level_count(), 0);
    EXPECT_DOUBLE_EQ(radius(1), 50.0);
}

TEST_F(QtSheet, InsertAddsASurfaceBeforeTheCurrentRowAndDeleteTakesASelectedRowAway) {
    open_sheet_on_lens("45");
    ASSERT_EQ(lens_data().image_surface, 3);
    click(kRadiusCell, 2);
    press(Qt::Key_Insert);
    ASSERT_EQ(lens_data().image_surface, 4) << qt_->status_text();
    // The new surface stands where the current row was; the old one moved down.
    EXPECT_DOUBLE_EQ(radius(3), -50.0);
    EXPECT_DOUBLE_EQ(radius(1), 50.0);

    // Delete inside a cell's value edits the line, never the lens.
    click(kRadiusCell, 3);
    line_edit()->setCursorPosition(0);
    press(Qt::Key_Delete);
    EXPECT_EQ(lens_data().image_surface, 4);
    EXPECT_EQ(line_edit()->text().toStdString(), "50.0");  // "-" taken away
    // A row chosen by its number goes with Delete.
    click(kGridKindRowSelector, 2);
    press(Qt::Key_Delete);
    EXPECT_EQ(lens_data().image_surface, 3);
    EXPECT_DOUBLE_EQ(radius(2), -50.0);
    leave_sheet();
}

// Insert by keys leaves the new row's number current, which offers no value: the line must not
// keep the value of the cell that was current, or the first Escape only empties the line.
TEST_F(QtSheet, AfterInsertTheLineHoldsNoValueOfTheCellBefore) {
    open_sheet_on_lens("45");
    constexpr int kThickness = 3;
    click(kThickness, 2);
    ASSERT_EQ(line_edit()->text().toStdString(), "45.0");
    press(Qt::Key_Insert);
    ASSERT_EQ(lens_data().image_surface, 4) << qt_->status_text();
    EXPECT_EQ(line_edit()->text().toStdString(), grid_state().edit_text);
    EXPECT_NE(line_edit()->text().toStdString(), "45.0");
    leave_sheet();
}

// Every line of an area, the longest one's length in characters.
int longest_line(int area) {
    const TextArea* a = textarea(area);
    int longest = 0;
    for (int k = 0; a != nullptr && k < a->line_count; ++k) {
        longest = std::max(
            longest,
            static_cast<int>(std::strlen(a->line_text((a->first_line + k) % a->capacity))));
    }
    return longest;
}

TEST_F(QtSheet, TheSheetOpensWideEnoughForItsLinesAndGrowsToKeepTheImageRowInView) {
    open_sheet_on_lens("45");
    QApplication::processEvents();
    const TextArea* a = textarea(kSheetArea);
    ASSERT_NE(a, nullptr);
    // The header's radio buttons reach to the end of its first line, past 80 columns.
    const int columns = std::max(longest_line(kSheetArea), longest_line(kHeaderArea));
    ASSERT_GT(columns, 80);
    EXPECT_GE(a->surface_width, a->left_margin + columns * a->char_width);
    // Surfaces inserted until the rows outgrow the window's first height: the image row stays
    // in view, whole.
    click(kRadiusCell, 2);
    for (int k = 0; k < 6; ++k) press(Qt::Key_Insert);
    QApplication::processEvents();
    settle();
    ASSERT_EQ(lens_data().image_surface, 9);
    GridCell image;
    image.field_code = kRadiusCell;
    image.field_index = 9;
    ASSERT_EQ(grid_find_cell(image), 1);
    EXPECT_GE(image.row, 0);
    EXPECT_LT(image.row, a->visible_lines);
    leave_sheet();
}

// The line of an area (header or rows) that holds a label, "" without one.
std::string line_with(const char* label) {
    for (const int area : {kHeaderArea, kSheetArea}) {
        const TextArea* a = textarea(area);
        for (int k = 0; a != nullptr && k < a->line_count; ++k) {
            const std::string line = a->line_text((a->first_line + k) % a->capacity);
            if (line.find(label) != std::string::npos) return line;
        }
    }
    return {};
}

// Sheets with a line longer than the surface sheet's: each opens with that line whole, up to its
// last cell, and wide enough to show it.
TEST_F(QtSheet, ASheetWithLinesLongerThanTheSurfaceSheetsShowsThemWhole) {
    struct Case {
        bool over_surface_sheet;  // typed at a row of the lens's sheet, else with no sheet open
        const char* open;
        const char* label;  // on the long line
        const char* tail;   // its last cell
    };
    const Case cases[] = {
        // The automatic increments and their radios end the third header line.
        {false, "vse", "Automatic increments OPVI", "Off   On"},
        // The extended aiming angle's value ends the system data's ray aiming line.
        {true, "open_aux_sheet 6", "Extended aiming angle (XABA)", " 90.000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.open);
        open_sheet_on_lens("45");
        if (c.over_surface_sheet) {
            click(kThicknessCell, 2);
        } else {
            leave_sheet();
        }
        type(c.open);
        ASSERT_GE(level_count(), 1);
        settle();
        const std::string line = line_with(c.label);
        EXPECT_TRUE(line.ends_with(c.tail)) << "[" << line << "]";
        const TextArea* a = textarea(kSheetArea);
        ASSERT_NE(a, nullptr);
        const int columns = std::max(longest_line(kSheetArea), longest_line(kHeaderArea));
        EXPECT_GE(columns, static_cast<int>(line.size()));
        EXPECT_GE(a->surface_width, a->left_margin + columns * a->char_width);
        // Escape leaves each sheet, the one over the lens's sheet first.
        for (int k = 0; k < 2 && level_count() > 0; ++k) press(Qt::Key_Escape);
        ASSERT_EQ(level_count(), 0);
    }
}

// The last radio of the variables sheet's third header line, far past the surface sheet's width,
// lies within the window and takes a click as the others do.
TEST_F(QtSheet, TheVariablesSheetsLastHeaderRadioIsInViewAndTakesAClick) {
    open_sheet_on_lens("45");
    leave_sheet();
    ASSERT_NE(lens_data().optimise_params, nullptr);
    lens_data().optimise_params->automatic_increments = 0;
    type("vse");
    ASSERT_EQ(level_count(), 1);
    // "On" of the automatic increments, drawn off.
    GridCell on;
    on.field_code = kGridKindRadioOff | kCmdOpviL;
    on.field_index = 1;
    ASSERT_EQ(grid_find_cell(on), 1);
    const TextArea* header = textarea(kHeaderArea);
    const TextArea* a = textarea(kSheetArea);
    ASSERT_NE(header, nullptr);
    ASSERT_NE(a, nullptr);
    const int left = header->left_margin + on.first_column * header->char_width;
    EXPECT_LE(left + on.width * header->char_width, a->surface_width);
    QWidget* surface = tavo_test::find_widget<QWidget>("tavo_surface_3");
    ASSERT_NE(surface, nullptr);
    const QPointF at(left + 6, header->top_margin + on.row * header->line_height + 4);
    QMouseEvent press(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(surface, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, at, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(surface, &release);
    settle();
    EXPECT_EQ(lens_data().optimise_params->automatic_increments, 1);
    leave_sheet();
}

}  // namespace
