// Ctrl+S saves what the window with the focus holds: typed in the edit window the text (and its
// title loses the "*" of unsaved changes), typed on the command line the lens. The edit
// window's own File > Save takes the "*" away too.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/command_line.h"
#include "app/main_loop.h"
#include "platform/ui.h"
#include "runtime/table_messages.h"
#include "tests/support/qt_session.h"
#include "tests/support/qt_test_app.h"
#include "tests/support/temp_tree.h"
#include "ui/menus.h"

// After the program's headers: Qt's "slots" keyword would rename a field of theirs.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTest>

namespace {

namespace fs = std::filesystem;
using tavo_test::find_widget;

void settle() {
    for (int k = 0; k < 5; ++k) {
        QApplication::processEvents();
        main_loop_pass(false);
    }
}

void type(const std::string& line) {
    submit_command_line(line.c_str());
    settle();
}

TEST(QtSaveKeys, CtrlSSavesTheTextInTheEditWindowAndTheLensOnTheCommandLine) {
    tavo_test::QtSession session;
    ASSERT_EQ(session.start(), 0);
    // The frame's menus, as the program's start builds them after the session's part.
    ASSERT_NE(build_menu(msg_text(kMsgMainMenuList), platform::kWindowFrame, true), 0);
    const fs::path lens = session.run.tree.base() / "mine.len";
    const fs::path note = session.run.tree.base() / "note.txt";
    std::ofstream(note) << "first\n";
    // Typed, the command opens its form with the typed values; OK makes the lens and its sheet.
    type("new_lens t 0 2");
    accept_command_level();
    settle();
    type("exit_levels");
    type("save_as . " + lens.string());
    const std::string saved_lens = tavo_test::read_file(lens);
    ASSERT_FALSE(saved_lens.empty());
    type("rd 50 1");  // the lens in memory now differs from its file
    type("open . " + note.string() + " no 4");

    auto* window = find_widget<QWidget>("tavo_window_5");
    auto* editor = find_widget<QPlainTextEdit>("tavo_editor_5");
    ASSERT_NE(window, nullptr);
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(window->isVisible());
    // The user clicks into the editor.
    QApplication::setActiveWindow(window);
    editor->setFocus();
    editor->moveCursor(QTextCursor::End);
    QTest::keyClicks(editor, "second");
    ASSERT_TRUE(window->isWindowModified());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
    settle();
    EXPECT_EQ(tavo_test::read_file(note), "first\nsecond");
    EXPECT_EQ(tavo_test::read_file(lens), saved_lens);
    EXPECT_FALSE(window->isWindowModified());

    // On the command line the same keys save the changed lens to its file.
    auto* combo = find_widget<QComboBox>("tavo_command_line");
    ASSERT_NE(combo, nullptr);
    // The user clicks into the frame's command line; the edit window stays open.
    QApplication::setActiveWindow(combo->window());
    combo->lineEdit()->setFocus();
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    ASSERT_EQ(QApplication::focusWidget()->window(), combo->window());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
    settle();
    EXPECT_NE(tavo_test::read_file(lens), saved_lens);
    EXPECT_EQ(tavo_test::read_file(note), "first\nsecond");

    // The editor's own File > Save.
    QApplication::setActiveWindow(window);
    editor->setFocus();
    QTest::keyClicks(editor, "!");
    ASSERT_TRUE(window->isWindowModified());
    auto* bar = find_widget<QMenuBar>("tavo_menu_bar_5");
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(bar->actions()[0]->menu(), nullptr);
    QAction* save = bar->actions()[0]->menu()->actions()[0];
    ASSERT_EQ(save->text(), "&Save\tCtrl+S");
    save->trigger();
    settle();
    EXPECT_EQ(tavo_test::read_file(note), "first\nsecond!");
    EXPECT_FALSE(window->isWindowModified());
}

}  // namespace
