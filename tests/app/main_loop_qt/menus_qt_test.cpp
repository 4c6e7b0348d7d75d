// The Qt frame shows the menus of the menu lists: a chosen item and its accelerator run their
// command, whose output lands in text window 1; the clipboard gets the copied text.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocalSocket>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <cstdlib>
#include <memory>

#include "app/main_loop.h"
#include "platform/qt/qt_backend.h"
#include "platform/state_reset.h"
#include "runtime/table_messages.h"
#include "tests/app/main_loop_qt/painted_text.h"
#include "tests/app/startup/started_runtime.h"
#include "tests/support/qt_test_app.h"
#include "ui/menus.h"

namespace {

using tavo_test::find_widget;

QAction* find_action(QMenuBar* bar, const QString& popup, const QString& label) {
    for (QAction* top : bar->actions()) {
        if (top->text() != popup || top->menu() == nullptr) continue;
        for (QAction* item : top->menu()->actions()) {
            if (item->text() == label) return item;
        }
    }
    return nullptr;
}

TEST(QtMenus, TheListsMenusRunTheirCommandsFromAClickAndFromTheKeyboard) {
    tavo_test::StartedRuntime run;
    std::unique_ptr<platform::UiBackend> qt = tavo_test::make_test_qt_backend();
    platform::set_current_ui(qt.get());
    platform::reset_all_state();
    ASSERT_EQ(runtime_init(1), 0);
    ASSERT_EQ(install_main_loop(), 0);
    platform::set_current_ui(run.backend.get());
    ASSERT_EQ(app_init(0, 0, 0), 0);
    platform::set_current_ui(qt.get());
    ASSERT_NE(build_menu(msg_text(kMsgMainMenuList), platform::kWindowFrame, true), 0);
    main_loop_start();
    for (int k = 0; k < 3; ++k) main_loop_pass(false);

    auto* frame = find_widget<QMainWindow>("tavo_window_0");
    ASSERT_NE(frame, nullptr);
    QMenuBar* bar = frame->menuBar();
    QStringList titles;
    for (QAction* a : bar->actions()) titles << a->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&Lens", "&Analysis", "&Optimise", "&Tolerance",
                                   "&Drawing", "&Reports", "&Window", "&Help"}));

    auto* surface = find_widget<QWidget>("tavo_surface_1");
    ASSERT_NE(surface, nullptr);
    const int line_height = textarea(platform::kWindowText1)->line_height;
    auto shown = [] { return tavo_test::area_text(platform::kWindowText1); };
    // A click on Window > Command history runs "history".
    QAction* history = find_action(bar, "&Window", "Command &history\tCtrl+H");
    ASSERT_NE(history, nullptr);
    auto* combo = find_widget<QComboBox>("tavo_command_line");
    combo->lineEdit()->setText("a = 4");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(combo->lineEdit(), &enter);
    for (int k = 0; k < 5; ++k) main_loop_pass(false);
    history->trigger();
    for (int k = 0; k < 5; ++k) main_loop_pass(false);
    EXPECT_NE(shown().find("Command history:\na = 4"), std::string::npos) << shown();
    EXPECT_GT(tavo_test::ink_pixels(
                  surface, tavo_test::shown_row_top(platform::kWindowText1, "Command history:"),
                  line_height),
              20);

    // Ctrl+H on the command line does the same through the key hook.
    textarea_clear(platform::kWindowText1, 0);
    combo->lineEdit()->setFocus();
    QKeyEvent ctrl_h(QEvent::KeyPress, Qt::Key_H, Qt::ControlModifier);
    QApplication::sendEvent(combo->lineEdit(), &ctrl_h);
    for (int k = 0; k < 5; ++k) main_loop_pass(false);
    EXPECT_NE(shown().find("Command history:"), std::string::npos) << shown();
    EXPECT_TRUE(combo->lineEdit()->text().isEmpty() || !combo->lineEdit()->text().contains("h"));

    // Copy puts the window's lines, each with CR LF, on the system clipboard.
    QAction* copy = find_action(bar, "&Window", "&Copy text window\tCtrl+Shift+C");
    ASSERT_NE(copy, nullptr);
    copy->trigger();
    for (int k = 0; k < 5; ++k) main_loop_pass(false);
    EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith("Command history:\r\na = 4\r\n"))
        << QGuiApplication::clipboard()->text().toStdString();

    // A line another program sends through the socket in the data folder is printed as sent:
    // "%d%n" is no format.
    {
        QLocalSocket socket;
        socket.connectToServer(
            QString::fromStdString((run.tree.data() / kExternalTextSocket).string()));
        ASSERT_TRUE(socket.waitForConnected(2000));
        socket.write("%d%n and 100%\n");
        socket.flush();
        for (int k = 0; k < 50 && shown().find("%d%n") == std::string::npos; ++k) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            main_loop_pass(false);
        }
        socket.disconnectFromServer();
    }
    EXPECT_NE(shown().find("%d%n and 100%\n"), std::string::npos) << shown();
    EXPECT_GT(tavo_test::ink_pixels(
                  surface, tavo_test::shown_row_top(platform::kWindowText1, "%d%n and 100%"),
                  line_height),
              20);

    if (const char* shot = std::getenv("TAVO_TEST_GRAB")) frame->grab().save(shot);

    platform::reset_all_state();
    gui_shutdown();
    set_running_flag(0);
    platform::set_current_ui(run.backend.get());
}

}  // namespace
