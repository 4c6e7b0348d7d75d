// The surface spreadsheet on Qt: a small lens is typed, its sheet opened by its command; a click
// on a thickness cell of the sheet's surface and a value typed into the command-line combo box
// with Enter set that thickness. With the current cell moved away, the edited cell's pixels are
// those of the same sheet opened on a lens typed with that thickness.
#include "tests/entry/sheet_qt/sheet_qt_fixture.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "entry/glass_sheets.h"
#include "entry/special_aperture_sheet.h"
#include "runtime/command_levels.h"

namespace {

using tavo_test::find_widget;
using tavo_test::NestedCase;
using tavo_test::QtNestedSheet;
using tavo_test::QtSheet;

constexpr int kThickness = 3;

TEST_F(QtSheet, AValueTypedIntoAThicknessCellIsTheLensAndIsDrawnAsTyped) {
    open_sheet_on_lens("45");
    // Surface 2's thickness, then the cell of surface 1's thickness as the one left current.
    click(kThickness, 2);
    const QImage before = grab();
    auto* combo = find_widget<QComboBox>("tavo_command_line");
    ASSERT_NE(combo, nullptr);
    combo->lineEdit()->clear();
    for (const char c : std::string("30.25")) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(c)));
        QApplication::sendEvent(combo->lineEdit(), &key);
    }
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(combo->lineEdit(), &enter);
    settle();
    EXPECT_DOUBLE_EQ(surface(2).thickness, 30.25);
    EXPECT_DOUBLE_EQ(surface(1).thickness, 5.0);
    click(kThickness, 1);
    const QRect edited = cell_rect(kThickness, 2);
    const QRect row(0, edited.top(), before.width(), edited.height());
    const QImage typed = grab();
    if (const char* shot = std::getenv("TAVO_TEST_GRAB")) typed.save(shot);
    leave_sheet();
    EXPECT_DOUBLE_EQ(surface(2).thickness, 30.25);  // OK keeps the edit

    open_sheet_on_lens("30.25");
    click(kThickness, 1);
    const QImage entered = grab();
    if (const char* shot = std::getenv("TAVO_TEST_GRAB_ENTERED")) entered.save(shot);
    leave_sheet();

    ASSERT_EQ(typed.size(), entered.size());
    EXPECT_TRUE(same_pixels(typed, entered, edited));
    EXPECT_TRUE(same_pixels(typed, entered, row));
    // The picture is sensitive to the value: the cell showed other pixels before the edit.
    EXPECT_FALSE(same_pixels(before, typed, edited));
}

// The sheets behind the surface sheet's buttons, opened by their option command typed at a row
// of surface 2: a value typed into a cell is the lens, and the cell is drawn as the same sheet
// draws the lens entered by commands.
TEST_F(QtNestedSheet, AValueTypedIntoANestedSheetIsTheLensAndIsDrawnAsEntered) {
    const NestedCase cases[] = {
        {"special aperture corner", "aperopt special", "APN 1;AX1 A 1.5", kFieldApertureX1, 0,
         "1.5", kFieldApertureAngle, 0, [] { return surface(2).special_apertures[0].x[0]; }},
        {"table glass index", "glassopt table", "GLA GLASS2 1.6 1 1 1 1 1 1", kFieldTableGlassIndex,
         0, "1.6", kFieldTableGlassIndex, 1, [] { return surface(2).index[0]; }},
    };
    for (const NestedCase& c : cases) check_typed_is_entered(c);
}

}  // namespace
