// The started program on Qt (offscreen) with a small lens typed and its surface sheet open: the
// fixture of the sheet tests, with a click on a cell as a user makes it.
#pragma once

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

#include "app/command_line.h"
#include "app/main_loop.h"
#include "app/startup.h"
#include "entry/surface_sheet.h"
#include "lens/lens_data.h"
#include "platform/qt/qt_backend.h"
#include "platform/state_reset.h"
#include "runtime/command_levels.h"
#include "runtime/settings.h"
#include "tests/app/startup/started_runtime.h"
#include "tests/support/qt_test_app.h"
#include "ui/grid_control.h"
#include "ui/text_area.h"

namespace tavo_test {

class QtSheet : public ::testing::Test {
protected:
    void SetUp() override {
        platform::reset_all_state();
        qt_ = tavo_test::make_test_qt_backend();
        platform::set_current_ui(qt_.get());
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
        // A refusal is written in text window 1, never left waiting in a message box.
        set_setting_flag(kSetNoErrorBoxes, 1);
        settle();
    }
    void TearDown() override {
        gui_shutdown();
        set_running_flag(0);
        platform::set_current_ui(run_.backend.get());
        platform::reset_all_state();
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
        QWidget* surface = tavo_test::find_widget<QWidget>("tavo_surface_3");
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
    // Keys typed into the command line, which has the keyboard, as a user types them.
    static QLineEdit* line_edit() {
        auto* combo = tavo_test::find_widget<QComboBox>("tavo_command_line");
        return combo != nullptr ? combo->lineEdit() : nullptr;
    }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
               const QString& text = {}) {
        QLineEdit* edit = line_edit();
        ASSERT_NE(edit, nullptr);
        // The keys go where the window system sends them: to the widget with the focus, in the
        // active frame.
        edit->window()->activateWindow();
        QApplication::processEvents();
        edit->setFocus();
        QWidget* target = QApplication::focusWidget();
        ASSERT_TRUE(target == edit || target == edit->parentWidget())
            << (target != nullptr ? target->objectName().toStdString() : "none");
        QKeyEvent down(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(target, &down);
        QKeyEvent up(QEvent::KeyRelease, key, modifiers, text);
        QApplication::sendEvent(target, &up);
        settle();
    }
    void type_keys(const std::string& text) {
        for (const char c : text) press(0, Qt::NoModifier, QString(QChar(c)));
    }
    QImage grab() {
        QApplication::processEvents();
        QWidget* surface = tavo_test::find_widget<QWidget>("tavo_surface_3");
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

// A sheet opened over the lens's sheet by a line typed at surface 2's row, and a value typed
// into one of its cells: the lens must hold the value, and the cell must be drawn as the same
// sheet draws the lens entered by commands.
struct NestedCase {
    const char* what;
    const char* open;      // typed at surface 2's row
    const char* commands;  // the same value by commands (';' between lines), before opening
    int field;
    int index;
    const char* value;
    int away_field;  // the cell left current afterwards
    int away_index;
    double (*stored)();
};

class QtNestedSheet : public QtSheet {
protected:
    static constexpr int kThicknessCell = 3;

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
    void open_nested(const NestedCase& c, bool by_commands) {
        open_sheet_on_lens("45");
        if (by_commands) {
            click(kThicknessCell, 2);
            for (const char* line = c.commands; *line != '\0';) {
                const char* end = std::strchr(line, ';');
                const std::string one = end != nullptr ? std::string(line, end) : line;
                type(one);
                line = end != nullptr ? end + 1 : line + one.size();
            }
        }
        click(kThicknessCell, 2);
        type(c.open);
        ASSERT_EQ(level_count(), 2);
    }
    void check_typed_is_entered(const NestedCase& c) {
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
        // A sheet's window takes the size its lines ask for, which the status line may change
        // by a few pixels: the cell's own pixels are compared.
        const QRect both = edited.intersected(typed.rect()).intersected(entered.rect());
        ASSERT_EQ(both, edited);
        EXPECT_TRUE(
            same_pixels(typed.copy(both), entered.copy(both), QRect(QPoint(0, 0), both.size())));
    }
};

}  // namespace tavo_test
