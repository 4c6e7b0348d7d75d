// The special-data, wavelength and system-data sheets on Qt, opened by their commands typed at
// a row of surface 2 of the lens's sheet: a value typed into a cell (click, keys, Enter) is the
// lens, and the cell is drawn as the same sheet draws the lens entered by commands.
#include <cstdlib>
#include <cstring>
#include <string>

#include "entry/wavelength_sheet.h"
#include "runtime/command_levels.h"
#include "tests/entry/sheet_qt/sheet_qt_fixture.h"
#include "ui/grid_cells.h"

namespace {

using tavo_test::find_widget;
using tavo_test::QtSheet;

constexpr int kSheetThicknessCell = 3;

struct SpecialCase {
    const char* what;
    const char* open;      // typed at surface 2's row
    const char* commands;  // the same value by commands, typed at surface 2's row before opening
    int field;
    int index;
    const char* value;
    int away_field;  // the cell left current afterwards
    int away_index;
    double (*stored)();
};

class QtSpecialSheet : public QtSheet {
protected:
    void enter(const char* value) {
        auto* combo = find_widget<QComboBox>("tavo_command_line");
        ASSERT_NE(combo, nullptr);
        combo->lineEdit()->clear();
        for (const char c : std::string(value)) {
            QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(c)));
            QApplication::sendEvent(combo->lineEdit(), &key);
        }
        QKeyEvent enter_key(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(combo->lineEdit(), &enter_key);
        settle();
    }
    void open_over_sheet(const SpecialCase& c, bool by_commands) {
        open_sheet_on_lens("45");
        if (by_commands) {
            click(kSheetThicknessCell, 2);
            for (const char* line = c.commands; *line != '\0';) {
                const char* end = std::strchr(line, ';');
                const std::string one = end != nullptr ? std::string(line, end) : line;
                type(one);
                line = end != nullptr ? end + 1 : line + one.size();
            }
        }
        click(kSheetThicknessCell, 2);
        type(c.open);
        ASSERT_EQ(level_count(), 2);
    }
};

TEST_F(QtSpecialSheet, AValueTypedIntoASheetIsTheLensAndIsDrawnAsEntered) {
    const SpecialCase cases[] = {
        {"decentre", "specialspr 7", "DCY 2.5", kCmdDcyL, 2, "2.5", kCmdDcxL, 2,
         [] { return surface(2).decentre->dcy; }},
        {"standard asphere", "specialspr 11", "AD 1e-5", kCmdAdL, 2, "1e-5", kCmdAeL, 2,
         [] { return surface(2).asphere->entered[2]; }},
        {"gradient index", "specialspr 36", "GDT ARG;NZ1 WV2 1.6", kCmdNz1L, 1, "1.6", kCmdNz2L, 1,
         [] { return surface(2).grin->coefficients[4][1]; }},
        // The wavelength cell offers the standard lines when Enter activates it; its row's
        // weight takes the typed value.
        {"wavelength weight", "wavelength_sheet", "WW2 0.5", kCmdWw, 1, "0.5", kCmdWw, 0,
         [] { return lens_data().wavelengths[1].weight; }},
        {"temperature", "open_aux_sheet 6", "TEM 25 1", kCmdTem, 0, "25", kCmdPre, 0,
         [] { return lens_data().temperature; }},
    };
    for (const SpecialCase& c : cases) {
        SCOPED_TRACE(c.what);
        open_over_sheet(c, false);
        click(c.field, c.index);
        enter(c.value);
        EXPECT_DOUBLE_EQ(c.stored(), std::atof(c.value));
        click(c.away_field, c.away_index);
        const QRect edited = cell_rect(c.field, c.index);
        const QImage typed = grab();
        leave_sheet();

        open_over_sheet(c, true);
        EXPECT_DOUBLE_EQ(c.stored(), std::atof(c.value));
        click(c.away_field, c.away_index);
        const QImage entered = grab();
        leave_sheet();
        // A sheet's window takes the size its lines ask for, which the status line may change
        // by a few pixels: the cell's own pixels are compared.
        const QRect both = edited.intersected(typed.rect()).intersected(entered.rect());
        ASSERT_EQ(both, edited);
        EXPECT_TRUE(tavo_test::QtSheet::same_pixels(typed.copy(both), entered.copy(both),
                                                    QRect(QPoint(0, 0), both.size())));
    }
}

}  // namespace
