// The surface spreadsheet on Qt: a small lens is typed, its sheet opened by its command; a click
// on a thickness cell of the sheet's surface and a value typed into the command-line combo box
// with Enter set that thickness. With the current cell moved away, the edited cell's pixels are
// those of the same sheet opened on a lens typed with that thickness.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/main_loop.h"
#include "app/startup.h"
#include "entry/glass_sheets.h"
#include "entry/special_aperture_sheet.h"
#include "entry/surface_sheet.h"
#include "lens/lens_data.h"
#include "platform/qt/qt_backend.h"
#include "runtime/command_levels.h"
#include "runtime/settings.h"
#include "tests/app/startup/started_runtime.h"
#include "tests/support/qt_test_app.h"
#include "ui/grid_control.h"
#include "ui/text_area.h"

namespace {

using tavo_test::find_widget;

class QtSheet : public ::testing::Test {
protected:
    void SetUp() override {
        qt_ = tavo_test::make_test_qt_backend();
        platform::set_current_ui(qt_.get());
        reset_main_loop();
        reset_grid_state();
        reset_grid_control();
        ASSERT_EQ(runtime_init(1), 0);
        ASSERT_EQ(install_main_loop(), 0);
        platform::set_current_ui(run_.backend.get());
        ASSERT_EQ(app_init(0, 0, 0), 0);
        platform::set_current_ui(qt_.get());
        main_loop_start();
        if (!qt_->window_exists(platform::kWindowSpreadsheet)) {
            ASSERT_EQ(register_window_classes(), 0);
        }
        ASSERT_TRUE(qt_->window_exists(platform::kWindowSpreadsheet));
        set_setting_flag(kSetRevertEnable, 1);
        set_setting_flag(kSetSpreadsheetCurvatureMode, 0);  // radii
        settle();
    }
    void TearDown() override {
        reset_main_loop();
        reset_grid_state();
        reset_grid_control();
        gui_shutdown();
        set_running_flag(0);
        platform::set_current_ui(run_.backend.get());
    }

    void settle() {
        for (int k = 0; k < 4; ++k) {
            QApplication::processEvents();
            main_loop_pass(false);
        }
    }
    void type(const std::string& line) {
        submit_command_line(line.c_str());
        settle();
    }
    // A doublet whose last thickness is given, and its sheet.
    void open_sheet_on_lens(const char* last_thickness) {
        for (const std::string& line :
             {std::string("LEN NEW \"Qt sheet\""), std::string("TH 100"), std::string("NXT"),
              std::string("SRF 50 5 N-BK7 10"), std::string("AST"),
              std::string("SRF -50 ") + last_thickness + " AIR 10", std::string("END")}) {
            type(line);
        }
        type("surface_sheet");
        ASSERT_EQ(level_count(), 1);
        ASSERT_NE(surface_sheet_state().open, 0);
    }
    // The band of the window's surface that a cell of a surface row covers.
    static QRect cell_rect(int code, int index) {
        GridCell c;
        c.field_code = code;
        c.field_index = index;
        EXPECT_EQ(grid_find_cell(c), 1) << code << " " << index;
        const TextArea* a = textarea(c.header != 0 ? kHeaderArea : kSheetArea);
        return QRect(a->left_margin + c.first_column * a->char_width,
                     a->top_margin + c.row * a->line_height - 3, c.width * a->char_width,
                     a->line_height);
    }
    void click(int code, int index) {
        QWidget* surface = find_widget<QWidget>("tavo_surface_3");
        ASSERT_NE(surface, nullptr);
        const QRect r = cell_rect(code, index);
        const QPointF at(r.left() + 6, r.top() + 7);
        QMouseEvent press(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(surface, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, at, Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(surface, &release);
        settle();
        ASSERT_NE(grid_state().current.text, nullptr);
        ASSERT_EQ(grid_state().current.field_code, code);
        ASSERT_EQ(grid_state().current.field_index, index);
    }
    QImage grab() {
        QApplication::processEvents();
        QWidget* surface = find_widget<QWidget>("tavo_surface_3");
        return surface != nullptr ? surface->grab().toImage() : QImage();
    }
    static bool same_pixels(const QImage& a, const QImage& b, const QRect& r) {
        if (r.isEmpty() || r.right() >= a.width() || r.bottom() >= a.height() ||
            a.size() != b.size()) {
            return false;
        }
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                if (a.pixel(x, y) != b.pixel(x, y)) return false;
            }
        }
        return true;
    }
    void leave_sheet() {
        type("exit_levels");
        ASSERT_EQ(level_count(), 0);
    }

    tavo_test::StartedRuntime run_;
    std::unique_ptr<platform::UiBackend> qt_;
};

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
struct NestedCase {
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

class QtNestedSheet : public QtSheet {
protected:
    void enter_value(const char* value) {
        auto* combo = find_widget<QComboBox>("tavo_command_line");
        ASSERT_NE(combo, nullptr);
        combo->lineEdit()->clear();
        for (const char c : std::string(value)) {
            QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(c)));
            QApplication::sendEvent(combo->lineEdit(), &key);
        }
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(combo->lineEdit(), &enter);
        settle();
    }
    // The nested sheet over the lens's sheet, opened at surface 2's row.
    void open_nested(const NestedCase& c, bool by_commands) {
        open_sheet_on_lens("45");
        if (by_commands) {
            click(kThickness, 2);
            for (const char* line = c.commands; *line != '\0';) {
                const char* end = std::strchr(line, ';');
                const std::string one = end != nullptr ? std::string(line, end) : line;
                type(one);
                line = end != nullptr ? end + 1 : line + one.size();
            }
        }
        click(kThickness, 2);
        type(c.open);
        ASSERT_EQ(level_count(), 2);
    }
};

TEST_F(QtNestedSheet, AValueTypedIntoANestedSheetIsTheLensAndIsDrawnAsEntered) {
    const NestedCase cases[] = {
        {"special aperture corner", "aperopt special", "APN 1;AX1 A 1.5", kFieldApertureX1, 0,
         "1.5", kFieldApertureAngle, 0, [] { return surface(2).special_apertures[0].x[0]; }},
        {"table glass index", "glassopt table", "GLA GLASS2 1.6 1 1 1 1 1 1", kFieldTableGlassIndex,
         0, "1.6", kFieldTableGlassIndex, 1, [] { return surface(2).index[0]; }},
    };
    for (const NestedCase& c : cases) {
        SCOPED_TRACE(c.what);
        open_nested(c, false);
        click(c.field, c.index);
        enter_value(c.value);
        EXPECT_DOUBLE_EQ(c.stored(), std::atof(c.value));
        click(c.away_field, c.away_index);
        const QRect edited = cell_rect(c.field, c.index);
        const QImage typed = grab();
        leave_sheet();

        open_nested(c, true);
        EXPECT_DOUBLE_EQ(c.stored(), std::atof(c.value));
        click(c.away_field, c.away_index);
        const QImage entered = grab();
        leave_sheet();
        ASSERT_EQ(typed.size(), entered.size());
        EXPECT_TRUE(same_pixels(typed, entered, edited));
    }
}

}  // namespace
