// Help in the graphical program: Help > Contents, the spreadsheet's Help button and the Help
// button of the file dialog hand the built help file to the desktop's opener,
// at the topic they stand for. A stand-in "xdg-open" on PATH records what it is given.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QHelpEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "app/command_line.h"
#include "app/main_loop.h"
#include "app/startup.h"
#include "entry/surface_sheet.h"
#include "platform/environment.h"
#include "platform/help_viewer.h"
#include "platform/qt/qt_backend.h"
#include "platform/state_reset.h"
#include "runtime/command_levels.h"
#include "runtime/program_arguments.h"
#include "runtime/table_messages.h"
#include "tests/app/startup/started_runtime.h"
#include "tests/support/qt_test_app.h"
#include "ui/grid_control.h"
#include "ui/menus.h"

namespace {

namespace fs = std::filesystem;
using tavo_test::find_widget;

std::string wait_for_text(const fs::path& file) {
    for (int k = 0; k < 500; ++k) {
        const std::string text = tavo_test::read_file(file);
        if (!text.empty() && text.back() == '\n') return text;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return tavo_test::read_file(file);
}

class QtHelp : public ::testing::Test {
protected:
    void SetUp() override {
        platform::reset_all_state();
        // The installation's pictures (the strip's buttons) and its help file.
        for (const char* folder : {"bin/bma", "hlp"}) {
            fs::create_directories(run_.tree.root() / folder);
            for (const auto& e : fs::directory_iterator(fs::path(TAVO_INSTALL_DIR) / folder)) {
                fs::copy_file(e.path(), run_.tree.root() / folder / e.path().filename(),
                              fs::copy_options::overwrite_existing);
            }
        }
        help_file_ = run_.tree.root() / "hlp/tavolt.html";
        ASSERT_TRUE(fs::exists(help_file_));
        const char* argv[] = {"/opt/somewhere/tavolt"};
        set_program_arguments(1, argv);
        const fs::path bin = run_.tree.base() / "fakebin";
        fs::create_directories(bin);
        record_ = run_.tree.base() / "opened.txt";
        std::ofstream(bin / "xdg-open")
            << "#!/bin/sh\nprintf '%s\\n' \"$*\" > '" << record_.string() << "'\n";
        fs::permissions(bin / "xdg-open", fs::perms::owner_all);
        saved_path_ = platform::environment_get("PATH");
        platform::environment_set("PATH", bin.string());

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
        settle();
    }
    void TearDown() override {
        gui_shutdown();
        set_running_flag(0);
        platform::set_current_ui(run_.backend.get());
        if (saved_path_) {
            platform::environment_set("PATH", *saved_path_);
        } else {
            platform::environment_unset("PATH");
        }
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
    // What the opener was given, then forgotten for the next.
    std::string opened() {
        const std::string text = wait_for_text(record_);
        fs::remove(record_);
        return text;
    }
    std::string topic_address(int topic) const {
        return platform::help_file_address(help_file_.string(), std::to_string(topic)) + "\n";
    }
    // Runs the line; while its dialog is up, presses the dialog's Help button and closes it,
    // and closes the box that may tell of the cancel.
    void press_help_in_dialog(const std::string& line) {
        bool pressed = false;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QDialog*>(w);
                if (dialog == nullptr || !dialog->isVisible()) continue;
                if (auto* help = dialog->findChild<QAbstractButton*>("tavo_help_button")) {
                    help->click();
                    pressed = true;
                }
                dialog->reject();
            }
        });
        closer.start(20);
        type(line);
        closer.stop();
        EXPECT_TRUE(pressed) << line;
    }

    tavo_test::StartedRuntime run_;
    std::unique_ptr<platform::UiBackend> qt_;
    fs::path help_file_, record_;
    std::optional<std::string> saved_path_;
};

TEST_F(QtHelp, ContentsAndTheSheetsHelpButtonOpenTheFileAtTheirTopics) {
    ASSERT_NE(build_menu(msg_text(kMsgMainMenuList), platform::kWindowFrame, true), 0);
    auto* frame = find_widget<QMainWindow>("tavo_window_0");
    ASSERT_NE(frame, nullptr);
    QAction* contents = nullptr;
    for (QAction* top : frame->menuBar()->actions()) {
        if (top->text() != "&Help" || top->menu() == nullptr) continue;
        for (QAction* item : top->menu()->actions()) {
            if (item->text().remove('&').startsWith("Contents")) contents = item;
        }
    }
    ASSERT_NE(contents, nullptr);
    contents->trigger();
    settle();
    EXPECT_EQ(opened(), help_file_.string() + "\n");

    for (const char* line : {"LEN NEW \"Help\"", "NXT", "SRF 50 5 N-BK7 10", "AST",
                             "SRF -50 45 AIR 10", "END", "surface_sheet"}) {
        type(line);
    }
    ASSERT_EQ(level_count(), 1);
    auto* help = find_widget<QAbstractButton>("tavo_tool_3_103");
    ASSERT_NE(help, nullptr);
    help->click();
    settle();
    EXPECT_EQ(opened(), topic_address(kHelpTopicSurfaceSheet));
}

// With no opener for the help file on PATH (no browser installed) the program shows the help
// itself: Help > Contents from the start, the Ray aberrations dialog's "?" at the topic of its
// command, and a link followed inside the viewer.
TEST_F(QtHelp, WithoutABrowserTheHelpOpensInTheProgramAtItsTopic) {
    const fs::path empty = run_.tree.base() / "nobrowser";
    fs::create_directories(empty);
    platform::environment_set("PATH", empty.string());
    ASSERT_NE(build_menu(msg_text(kMsgMainMenuList), platform::kWindowFrame, true), 0);
    auto* frame = find_widget<QMainWindow>("tavo_window_0");
    ASSERT_NE(frame, nullptr);
    QAction* contents = nullptr;
    for (QAction* top : frame->menuBar()->actions()) {
        if (top->text() != "&Help" || top->menu() == nullptr) continue;
        for (QAction* item : top->menu()->actions()) {
            if (item->text().remove('&').startsWith("Contents")) contents = item;
        }
    }
    ASSERT_NE(contents, nullptr);
    contents->trigger();
    settle();
    auto* window = find_widget<QWidget>("tavo_help_window");
    ASSERT_NE(window, nullptr) << "no help window";
    EXPECT_TRUE(window->isVisible());
    auto* browser = find_widget<QTextBrowser>("tavo_help_browser");
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->toPlainText().contains("select_ray_aberration"));
    EXPECT_EQ(browser->verticalScrollBar()->value(), 0);  // the contents, from the start

    // Whether the heading of a topic stands in the upper half of the viewer.
    const auto shown = [&](const QString& heading) {
        QApplication::processEvents();
        for (QTextBlock b = browser->document()->begin(); b.isValid(); b = b.next()) {
            if (b.text().trimmed() != heading) continue;
            const double top = browser->document()->documentLayout()->blockBoundingRect(b).top() -
                               browser->verticalScrollBar()->value();
            if (top >= -2 && top < browser->viewport()->height() / 2) return true;
        }
        return false;
    };
    for (const char* line : {"LEN NEW \"Help\"", "NXT", "SRF 50 5 N-BK7 10", "AST",
                             "SRF -50 45 AIR 10", "END", "select_ray_aberration"}) {
        type(line);
    }
    ASSERT_EQ(level_count(), 1);
    auto* help = find_widget<QAbstractButton>("tavo_tool_3_103");
    ASSERT_NE(help, nullptr);
    help->click();
    settle();
    EXPECT_GT(browser->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(shown("select_ray_aberration"));
    escape_command_line();
    settle();

    // A link of the page goes to its topic inside the viewer.
    browser->setSource(QUrl("#using_help"));
    EXPECT_FALSE(shown("select_ray_aberration"));
    EXPECT_FALSE(fs::exists(record_));
}

// The print and page set-up dialogs show only with a printer installed, which a test machine
// does not have: their buttons are those of the file dialog.
TEST_F(QtHelp, TheFileDialogsHelpButtonOpensItsTopic) {
    press_help_in_dialog("open_lens_dialog");
    EXPECT_EQ(opened(), topic_address(kHelpTopicFileDialog));
}

TEST_F(QtHelp, TheFolderButtonsGiveTheirContextHelp) {
    std::vector<int> asked;
    static std::vector<int>* record = nullptr;
    record = &asked;
    platform::set_help_request_handler([](int topic) { record->push_back(topic); });
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            if (dialog == nullptr || !dialog->isVisible()) continue;
            for (const char* name : {"tavo_private_button", "tavo_public_button"}) {
                if (auto* b = dialog->findChild<QWidget*>(name)) {
                    QHelpEvent what(QEvent::WhatsThis, QPoint(2, 2), b->mapToGlobal(QPoint(2, 2)));
                    QApplication::sendEvent(b, &what);
                }
            }
            dialog->reject();
        }
    });
    platform::FileDialogRequest request;
    request.title = "Open";
    request.private_label = "P&rivate";
    request.public_label = "P&ublic";
    request.help_topic = kHelpTopicFileDialog;
    request.private_help_topic = kHelpTopicPrivateFolderButton;
    request.public_help_topic = kHelpTopicPublicFolderButton;
    EXPECT_EQ(qt_->file_dialog(request), platform::DialogResult::cancelled);
    EXPECT_EQ(asked,
              (std::vector<int>{kHelpTopicPrivateFolderButton, kHelpTopicPublicFolderButton}));
    platform::set_help_request_handler(nullptr);
    record = nullptr;
}

}  // namespace
