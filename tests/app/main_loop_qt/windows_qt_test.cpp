// The windows made after the application start, as a user sees them offscreen: the list window
// for a choice of 21 items, the edit window with its menu, and the check items at the end of a
// text window's system menu.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/main_loop.h"
#include "app/startup.h"
#include "platform/qt/qt_backend.h"
#include "platform/state_reset.h"
#include "runtime/command_history.h"
#include "runtime/command_levels.h"
#include "runtime/list_words.h"
#include "runtime/settings.h"
#include "runtime/table_messages.h"
#include "tests/app/startup/started_runtime.h"
#include "tests/support/qt_test_app.h"
#include "ui/choice_lists.h"
#include "ui/window_table.h"

namespace {

using tavo_test::find_widget;

class QtWindows : public ::testing::Test {
protected:
    void SetUp() override {
        platform::reset_all_state();
        // The strips' pictures, as an installation holds them.
        namespace fs = std::filesystem;
        for (const auto& e : fs::directory_iterator(fs::path(TAVO_INSTALL_DIR) / "bin/bma")) {
            fs::copy_file(e.path(), run_.tree.root() / "bin/bma" / e.path().filename(),
                          fs::copy_options::overwrite_existing);
        }
        qt_ = tavo_test::make_test_qt_backend();
        platform::set_current_ui(qt_.get());
        ASSERT_EQ(runtime_init(1), 0);
        ASSERT_EQ(install_main_loop(), 0);
        // Start-up messages of the temporary tree go to the console, not to modal boxes.
        platform::set_current_ui(run_.backend.get());
        ASSERT_EQ(app_init(0, 0, 0), 0);
        platform::set_current_ui(qt_.get());
        ASSERT_EQ(register_window_classes(), 0);
        main_loop_start();
    }
    void TearDown() override {
        gui_shutdown();
        set_running_flag(0);
        platform::set_current_ui(run_.backend.get());
        platform::reset_all_state();
    }
    void settle() {
        for (int k = 0; k < 5; ++k) main_loop_pass(false);
    }
    tavo_test::StartedRuntime run_;
    std::unique_ptr<platform::UiBackend> qt_;
};

TEST_F(QtWindows, TwentyOneChoicesShowInTheListWindowWithAScrollBar) {
    start_built_list();
    for (int k = 1; k <= 21; ++k) add_built_list_entry("choice_" + std::to_string(k), "1");
    ASSERT_EQ(fill_choice_list(1), 21);
    // As while a prompt waits: events are handled, no command runs.
    QApplication::processEvents();
    auto* window = find_widget<QWidget>("tavo_window_4");
    auto* list = find_widget<QListWidget>("tavo_choice_list");
    ASSERT_NE(window, nullptr);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Choices");
    EXPECT_EQ(list->count(), 21);
    EXPECT_EQ(list->currentRow(), 0);
    // The window is fixed to 20 rows of the fixed font: the rest scrolls.
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_TRUE(list->verticalScrollBar()->isVisible());
    EXPECT_GT(list->verticalScrollBar()->maximum(), 0);

    // Down in the list shows the next choice in the command line without entering it.
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(list, &down);
    QApplication::processEvents();
    auto* combo = find_widget<QComboBox>("tavo_command_line");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->currentText(), "choice_2");
    EXPECT_EQ(selected_choice(), 1);

    fill_choice_list(0);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(QtWindows, APopupMenuShowsTheItemUnderThePointerAndEntersTheOneClicked) {
    start_built_list();
    add_built_list_entry("@Title", "");
    add_built_list_entry("alpha", "1");
    add_built_list_entry("*a = 5", "2");
    add_built_list_entry("Sub", "$1");
    add_built_list_entry("set_value_", "4");
    auto* combo = find_widget<QComboBox>("tavo_command_line");
    ASSERT_NE(combo, nullptr);
    std::string hovered;
    std::vector<std::string> labels;
    bool checked = false;
    QTimer::singleShot(50, [&] {
        // The popup is the menu holding the list's items (menu bars and system menus are
        // menus too).
        QMenu* menu = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* m = qobject_cast<QMenu*>(top);
            if (m == nullptr) continue;
            for (QAction* a : m->actions()) {
                if (a->text() == "alpha") menu = m;
            }
        }
        if (menu == nullptr) return;
        QAction* chosen = nullptr;
        for (QAction* a : menu->actions()) {
            labels.push_back(a->text().toStdString());
            if (a->text() == "a = 5") {
                chosen = a;
                checked = a->isChecked();
            }
        }
        if (chosen == nullptr) {
            menu->close();
            return;
        }
        menu->setActiveAction(chosen);  // the pointer moves over it
        hovered = combo->currentText().toStdString();
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(menu, &enter);
    });
    // Should the menu not be found, it is closed rather than left waiting.
    QTimer::singleShot(3000, [] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMenu*>(top) != nullptr && top->isVisible()) top->close();
        }
    });
    EXPECT_EQ(choice_popup_menu(platform::kWindowText1, 10, 10, 1), 2);
    EXPECT_EQ(labels, (std::vector<std::string>{"alpha", "a = 5", "Sub"}));
    EXPECT_TRUE(checked);
    EXPECT_EQ(hovered, "a = 5");
    // The click entered the line: it runs at the next pass.
    ASSERT_NE(pending_line(), nullptr);
    EXPECT_STREQ(pending_line(), "a = 5");
}

TEST_F(QtWindows, TheEditWindowHoldsAnEditorAndItsOwnMenu) {
    auto* window = find_widget<QWidget>("tavo_window_5");
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isVisible());  // made hidden
    qt_->show_window(platform::kWindowEdit, true);
    ASSERT_EQ(qt_->set_edit_text(platform::kWindowEdit, "first\n\tsecond"), 0);
    auto* editor = find_widget<QPlainTextEdit>("tavo_editor_5");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->toPlainText(), "first\n\tsecond");
    EXPECT_EQ(qt_->edit_text(platform::kWindowEdit), "first\n\tsecond");
    ASSERT_EQ(qt_->set_edit_selection(platform::kWindowEdit, 2, 5), 0);
    EXPECT_EQ(qt_->edit_selection(platform::kWindowEdit), (std::pair<int, int>{2, 5}));
    EXPECT_EQ(editor->textCursor().selectedText(), "rst");
    auto* bar = find_widget<QMenuBar>("tavo_menu_bar_5");
    ASSERT_NE(bar, nullptr);
    // File (save, save as, print) and Edit, with the shortcuts desktop editors have.
    ASSERT_EQ(bar->actions().size(), 2);
    EXPECT_EQ(bar->actions()[0]->text(), "&File");
    EXPECT_EQ(bar->actions()[1]->text(), "&Edit");
    ASSERT_NE(bar->actions()[0]->menu(), nullptr);
    EXPECT_EQ(bar->actions()[0]->menu()->actions()[0]->text(), "&Save\tCtrl+S");
    ASSERT_NE(bar->actions()[1]->menu(), nullptr);
    EXPECT_EQ(bar->actions()[1]->menu()->actions()[0]->text(), "&Undo");
}

TEST_F(QtWindows, ACheckItemOfATextWindowsSystemMenuFlipsItsSetting) {
    auto* sub = find_widget<QMdiSubWindow>("tavo_window_1");
    ASSERT_NE(sub, nullptr);
    ASSERT_NE(sub->systemMenu(), nullptr);
    QAction* step = nullptr;
    for (QAction* a : sub->systemMenu()->actions()) {
        if (a->text() == "Step mode") step = a;
    }
    ASSERT_NE(step, nullptr);
    EXPECT_TRUE(step->isCheckable());
    set_setting_flag(kSetStepMode, 0);
    step->trigger();
    settle();
    EXPECT_EQ(get_setting_flag(kSetStepMode), 1);
    // The mark follows the setting, in the menu made again for it.
    for (QAction* a : sub->systemMenu()->actions()) {
        if (a->text() == "Step mode") {
            EXPECT_TRUE(a->isChecked());
        }
    }
    set_setting_flag(kSetStepMode, 0);
}

int g_last_change = 0;  // the argument of the level's last change event; -1 marks Escape
int record_change(GridEvent& e) {
    if (e.code == kLevelEventChange) g_last_change = e.argument;
    return 0;
}

TEST_F(QtWindows, TheSpreadsheetStripShowsOkCancelHelpAndOkClosesTheLevel) {
    auto* sheet = find_widget<QMdiSubWindow>("tavo_window_3");
    auto* strip = find_widget<QWidget>("tavo_strip_3");
    ASSERT_NE(sheet, nullptr);
    ASSERT_NE(strip, nullptr);
    QToolButton* buttons[3] = {};
    const char* names[3] = {"tavo_tool_3_101", "tavo_tool_3_102", "tavo_tool_3_103"};
    for (int k = 0; k < 3; ++k) {
        buttons[k] = find_widget<QToolButton>(names[k]);
        ASSERT_NE(buttons[k], nullptr) << names[k];
    }
    qt_->show_window(platform::kWindowSpreadsheet, true);
    QApplication::processEvents();
    ASSERT_TRUE(strip->isVisible());
    EXPECT_EQ(strip->height(), kSheetStripHeight);
    // OK at 2, Cancel at 28, Help 26 pixels from the right edge, which it keeps when the
    // strip is laid out again.
    EXPECT_EQ(buttons[0]->x(), 2);
    EXPECT_EQ(buttons[1]->x(), 28);
    EXPECT_EQ(buttons[2]->x(), strip->width() - 26);
    strip->resize(strip->width() + 40, strip->height());
    QApplication::processEvents();
    EXPECT_EQ(buttons[2]->x(), strip->width() - 26);
    // The OK picture's green tick is on the grabbed strip, inside the OK button.
    const QImage image = strip->grab().toImage();
    const QRect ok = buttons[0]->geometry();
    int green = 0;
    for (int y = ok.top(); y <= ok.bottom() && y < image.height(); ++y) {
        for (int x = ok.left(); x <= ok.right() && x < image.width(); ++x) {
            const QColor c(image.pixel(x, y));
            if (c.green() > 100 && c.red() < 60 && c.blue() < 60) ++green;
        }
    }
    EXPECT_GT(green, 10);

    // A click on OK closes the open level, keeping its entries.
    ASSERT_EQ(push_command_level(record_change, 0, 0), 0);
    settle();
    ASSERT_EQ(level_count(), 1);
    buttons[0]->click();
    settle();
    EXPECT_EQ(level_count(), 0);
    EXPECT_NE(g_last_change, -1);
}

TEST_F(QtWindows, AGraphicsWindowIsTitledAndLeavesTheKeysToTheCommandLine) {
    auto* combo = find_widget<QComboBox>("tavo_command_line");
    ASSERT_NE(combo, nullptr);
    combo->window()->activateWindow();
    combo->setFocus();
    QApplication::processEvents();
    submit_command_line("graphwin_open 2 300 200");
    settle();
    QApplication::processEvents();
    auto* sub = find_widget<QMdiSubWindow>("tavo_window_8");
    ASSERT_NE(sub, nullptr);
    EXPECT_TRUE(sub->isVisible());
    // Its kind and number while it has no title of its own.
    EXPECT_EQ(sub->windowTitle().toStdString(), std::string(msg_text(kMsgGraphicsCaption)) + " 2");
    // Typing goes on in the command line.
    QWidget* focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == combo || focus == combo->lineEdit())
        << (focus != nullptr ? focus->objectName().toStdString() : "none");
    submit_command_line("graphwin_title \"Spot diagram\"");
    settle();
    EXPECT_EQ(sub->windowTitle().toStdString(), "Spot diagram");
}

// The background and the first pen as the window shows them, for both settings of the white
// background: the pen always differs from the background.
TEST_F(QtWindows, AGraphicsWindowsBackgroundFollowsTheSettingAndItsPenStaysVisible) {
    struct Case {
        const char* setting;
        QColor background;
        QColor pen;
    };
    const Case cases[] = {{"On", Qt::white, Qt::black}, {"Off", Qt::black, Qt::white}};
    const auto run = [this](const std::string& line) {
        submit_command_line(line.c_str());
        settle();
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting);
        // Typed, the command opens its form with the typed values; OK runs it.
        run(std::string("set_setting Graphics_white_bkgnd ") + c.setting);
        accept_command_level();
        settle();
        run("graphwin_open 2");
        // A band of lines across the middle, in pen 1.
        run("world_frame 0 0 100 0 100");
        run("pen 1");
        for (int k = 45; k <= 55; ++k) {
            run("move_to 0 " + std::to_string(k));
            run("draw_to 100 " + std::to_string(k));
        }
        run("graphwin_update 2");
        QApplication::processEvents();
        auto* surface = find_widget<QWidget>("tavo_surface_8");
        ASSERT_NE(surface, nullptr);
        const QImage image = surface->grab().toImage();
        ASSERT_FALSE(image.isNull());
        const QColor corner = image.pixelColor(image.width() / 10, image.height() - 5);
        EXPECT_EQ(corner.rgb(), c.background.rgb()) << corner.name().toStdString();
        // The band's rows, down the middle column: drawn in the pen's colour.
        int pen_rows = 0;
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixelColor(image.width() / 2, y).rgb() == c.pen.rgb()) ++pen_rows;
        }
        EXPECT_GE(pen_rows, 5);
        run("graphwin_close 2");
    }
}

TEST_F(QtWindows, TheEditWindowsTitleMarksUnsavedChanges) {
    auto* window = find_widget<QWidget>("tavo_window_5");
    auto* editor = find_widget<QPlainTextEdit>("tavo_editor_5");
    ASSERT_NE(window, nullptr);
    ASSERT_NE(editor, nullptr);
    qt_->show_window(platform::kWindowEdit, true);
    ASSERT_EQ(qt_->set_edit_text(platform::kWindowEdit, "first line"), 0);
    qt_->set_edit_modified(platform::kWindowEdit, false);
    EXPECT_TRUE(window->windowTitle().endsWith("[*]"));
    EXPECT_FALSE(window->isWindowModified());
    editor->moveCursor(QTextCursor::End);
    editor->insertPlainText("\nsecond line");
    EXPECT_TRUE(window->isWindowModified());
    // A new title keeps the place of the mark; saving takes the mark away.
    qt_->set_window_title(platform::kWindowEdit, "Edit - proc.kpl");
    EXPECT_EQ(window->windowTitle(), "Edit - proc.kpl[*]");
    qt_->set_edit_modified(platform::kWindowEdit, false);
    EXPECT_FALSE(window->isWindowModified());
    qt_->show_window(platform::kWindowEdit, false);
}

}  // namespace
