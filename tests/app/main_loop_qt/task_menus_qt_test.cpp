// The frame's menus reach the designer's tasks: every item of the lens, optimisation,
// tolerancing and drawing menus runs its command, from a click and from its Ctrl key; the
// Window menu lists the open windows, brings one forward, and tiles or cascades them inside the
// MDI area; windows come into view inside it; the title marks a lens with unsaved changes.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/main_loop.h"
#include "platform/qt/qt_backend.h"
#include "runtime/command_context.h"
#include "runtime/command_levels.h"
#include "runtime/definitions.h"
#include "runtime/table_messages.h"
#include "tests/app/main_loop_qt/painted_text.h"
#include "tests/support/qt_session.h"
#include "tests/support/qt_test_app.h"
#include "ui/menus.h"

namespace {

using tavo_test::find_widget;

std::vector<std::string> g_submitted;

void record_submitted(const char* text) {
    g_submitted.emplace_back(text);
}

QMenu* popup(QMenuBar* bar, const QString& title) {
    for (QAction* top : bar->actions()) {
        if (top->text() == title) return top->menu();
    }
    return nullptr;
}

QAction* item(QMenuBar* bar, const QString& title, const QString& label) {
    QMenu* menu = popup(bar, title);
    if (menu == nullptr) return nullptr;
    for (QAction* a : menu->actions()) {
        if (a->text() == label) return a;
    }
    return nullptr;
}

class QtTaskMenus : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(session_.start(), 0);
        ASSERT_NE(build_menu(msg_text(kMsgMainMenuList), platform::kWindowFrame, true), 0);
        frame_ = find_widget<QMainWindow>("tavo_window_0");
        ASSERT_NE(frame_, nullptr);
        settle();
    }
    void TearDown() override { set_menu_submitter(submit_command_line); }
    void settle() {
        for (int k = 0; k < 5; ++k) main_loop_pass(false);
    }
    void type(const char* line) {
        auto* combo = find_widget<QComboBox>("tavo_command_line");
        ASSERT_NE(combo, nullptr);
        combo->lineEdit()->setText(line);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(combo->lineEdit(), &enter);
        settle();
    }
    // Every shown child of the MDI area (or the ones named) lies inside its visible part.
    void expect_children_inside(const char* when, const QStringList& only = {}) {
        auto* mdi = frame_->findChild<QMdiArea*>();
        ASSERT_NE(mdi, nullptr);
        const QRect area(QPoint(0, 0), mdi->viewport()->size());
        int shown = 0;
        for (QMdiSubWindow* sub : mdi->subWindowList()) {
            if (!sub->isVisible() || (!only.isEmpty() && !only.contains(sub->objectName())))
                continue;
            ++shown;
            EXPECT_TRUE(area.contains(sub->geometry()))
                << when << ": " << sub->objectName().toStdString() << " at " << sub->geometry().x()
                << "," << sub->geometry().y() << " " << sub->geometry().width() << "x"
                << sub->geometry().height() << " in " << area.width() << "x" << area.height();
        }
        EXPECT_GE(shown, 2) << when;
    }

    tavo_test::QtSession session_;
    QMainWindow* frame_ = nullptr;
};

TEST_F(QtTaskMenus, EveryTaskItemRunsItsCommandFromAClickAndItsKey) {
    QStringList titles;
    for (QAction* a : frame_->menuBar()->actions()) titles << a->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&Lens", "&Analysis", "&Optimise", "&Tolerance",
                                   "&Drawing", "&Reports", "&Window", "&Help"}));
    struct Case {
        const char* menu;
        const char* label;
        const char* command;
    };
    const Case cases[] = {
        {"&Lens", "&Surface sheet\tCtrl+E", "surface_sheet"},
        {"&Lens", "&Lens listing\tCtrl+L", "len -1"},
        {"&Lens", "S&pecial data sheet...", "specialspr"},
        {"&Lens", "&Wavelength sheet", "wavelength_sheet"},
        {"&Optimise", "&Operands sheet", "ose"},
        {"&Optimise", "&Variables sheet", "vse"},
        {"&Optimise", "&Iterate\tCtrl+I", "ite"},
        {"&Optimise", "&Auto focus", "auto_focus"},
        {"&Optimise", "&Slider design...", "slider_design"},
        {"&Tolerance", "&Surface tolerance sheet", "tolerance_sheet"},
        {"&Tolerance", "&Element tolerance sheet", "element_tolerance_sheet"},
        {"&Tolerance", "&Tolerance table", "tolerance_table"},
        {"&Tolerance", "Se&nsitivity", "sensitivity"},
        {"&Tolerance", "&Inverse sensitivity...", "inverse_sensitivity"},
        {"&Drawing", "&Lens drawing\tCtrl+D", "draw_lens"},
        {"&Drawing", "&Element drawing...", "element_sheet"},
        {"&Drawing", "Element drawing de&faults", "element_defaults_sheet"},
        {"&Drawing", "Export &DXF...", "export_dxf"},
        {"&Drawing", "Export &IGES...", "export_iges"},
        {"&Analysis", "Gaussian &beam...", "gaussian_beam"},
        {"&Window", "&Tile", "window_tile"},
        {"&Window", "C&ascade", "window_cascade"},
        {"&File", "E&xit\tCtrl+Q", "exit"},
    };
    set_menu_submitter(record_submitted);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        QAction* a = item(frame_->menuBar(), c.menu, c.label);
        ASSERT_NE(a, nullptr);
        // The command is one the program knows.
        const std::string command = c.command;
        const std::string name = command.substr(0, command.find(' '));
        EXPECT_GE(find_name(definitions().names, name.c_str()), 0);
        g_submitted.clear();
        a->trigger();
        EXPECT_EQ(g_submitted, std::vector<std::string>{c.command});
    }
    // The Ctrl keys typed on the command line.
    auto* combo = find_widget<QComboBox>("tavo_command_line");
    ASSERT_NE(combo, nullptr);
    combo->lineEdit()->setFocus();
    for (const auto& [key, command] :
         std::vector<std::pair<int, std::string>>{{Qt::Key_E, "surface_sheet"},
                                                  {Qt::Key_L, "len -1"},
                                                  {Qt::Key_I, "ite"},
                                                  {Qt::Key_D, "draw_lens"},
                                                  {Qt::Key_Q, "exit"}}) {
        g_submitted.clear();
        QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
        QApplication::sendEvent(combo->lineEdit(), &press);
        EXPECT_EQ(g_submitted, std::vector<std::string>{command}) << command;
    }

    // Run for real, the listing lists the lens and leaves no lens-entry mode behind.
    set_menu_submitter(submit_command_line);
    item(frame_->menuBar(), "&Lens", "&Lens listing\tCtrl+L")->trigger();
    settle();
    const std::string shown = tavo_test::area_text(platform::kWindowText1);
    EXPECT_NE(shown.find("WAVELENGTHS"), std::string::npos) << shown;
    EXPECT_NE(command_context_letter(), 'L');
}

TEST_F(QtTaskMenus, TheWindowMenuListsTheOpenWindowsAndTilesAndCascadesThem) {
    // A small frame, so that new windows have little room.
    frame_->resize(700, 460);
    settle();
    type("graphwin_open 2");
    type("graphwin_open 8");
    type("slider 3 0 0 \"Height\" move_to 0 1 0.25");
    type("slider_layout");
    expect_children_inside("new windows", {"tavo_window_8", "tavo_window_14", "tavo_window_6"});

    QMenu* window_menu = popup(frame_->menuBar(), "&Window");
    ASSERT_NE(window_menu, nullptr);
    QStringList listed;
    for (QAction* a : window_menu->actions()) {
        if (!a->text().isEmpty() && a->text().at(0) == '&' && a->text().at(1).isDigit())
            listed << a->text();
    }
    auto* text1 = find_widget<QWidget>("tavo_window_1");
    auto* graphics2 = find_widget<QWidget>("tavo_window_8");
    auto* graphics8 = find_widget<QWidget>("tavo_window_14");
    ASSERT_NE(text1, nullptr);
    ASSERT_NE(graphics2, nullptr);
    ASSERT_NE(graphics8, nullptr);
    for (QWidget* w : {text1, graphics2, graphics8}) {
        bool found = false;
        for (const QString& label : listed) found = found || label.endsWith(w->windowTitle());
        EXPECT_TRUE(found) << w->windowTitle().toStdString() << " not in "
                           << listed.join(" | ").toStdString();
    }
    // Choosing the text window's entry brings it forward.
    for (QAction* a : window_menu->actions()) {
        if (a->text().endsWith(text1->windowTitle()) && a->text().at(0) == '&') a->trigger();
    }
    settle();
    EXPECT_EQ(platform::current_ui()->active_window(), platform::kWindowText1);
    // A window closed leaves the list.
    type("graphwin_close 8");
    ASSERT_FALSE(graphics8->isVisible());
    // The bar is built again when a menu changes.
    window_menu = popup(frame_->menuBar(), "&Window");
    ASSERT_NE(window_menu, nullptr);
    for (QAction* a : window_menu->actions()) {
        EXPECT_FALSE(a->text().endsWith(graphics8->windowTitle())) << a->text().toStdString();
    }

    item(frame_->menuBar(), "&Window", "&Tile")->trigger();
    settle();
    expect_children_inside("tiled");
    item(frame_->menuBar(), "&Window", "C&ascade")->trigger();
    settle();
    expect_children_inside("cascaded");
}

TEST_F(QtTaskMenus, TheSlidersWindowIsAChildOfTheFrameLikeTheGraphicsWindows) {
    type("slider 3 0 0 \"Height\" move_to 0 1 0.25");
    type("slider_layout");
    auto* sliders = find_widget<QWidget>("tavo_window_6");
    ASSERT_NE(sliders, nullptr);
    EXPECT_NE(qobject_cast<QMdiSubWindow*>(sliders), nullptr);
    EXPECT_FALSE(sliders->isWindow());
}

TEST_F(QtTaskMenus, TheTitleMarksALensWithChangesUntilItIsSaved) {
    EXPECT_FALSE(frame_->windowTitle().contains('*')) << frame_->windowTitle().toStdString();
    type("len new \"Marked\"");
    type("th 5");
    type("end");
    EXPECT_TRUE(frame_->windowTitle().contains('*')) << frame_->windowTitle().toStdString();
    type("save_as \".\" \"marked\"");
    EXPECT_FALSE(frame_->windowTitle().contains('*')) << frame_->windowTitle().toStdString();
    type("len");
    type("th 7");
    type("end");
    EXPECT_TRUE(frame_->windowTitle().contains('*')) << frame_->windowTitle().toStdString();
}

// Output shows itself: a listing typed while a graphics window is in front brings the text
// window forward, as drawing brings its graphics window forward.
TEST_F(QtTaskMenus, TextOutputBringsItsTextWindowForward) {
    type("graphwin_open 2");
    ASSERT_EQ(platform::current_ui()->active_window(), platform::kWindowGraphicsFirst + 1);
    type("history");
    EXPECT_EQ(platform::current_ui()->active_window(), platform::kWindowText1);
}

// A mistyped line costs nothing: no box to dismiss, the message on the status line, and the
// line back in the command line to be put right.
TEST_F(QtTaskMenus, AMistypedLineIsReportedOnTheStatusLineAndKept) {
    type("nosuchcommand 12");
    auto* combo = find_widget<QComboBox>("tavo_command_line");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->lineEdit()->text().toStdString(), "nosuchcommand 12");
    EXPECT_NE(platform::current_ui()->status_text().find("nosuchcommand"), std::string::npos)
        << platform::current_ui()->status_text();
    // The next line typed runs as usual.
    type("history");
    EXPECT_TRUE(combo->lineEdit()->text().isEmpty()) << combo->lineEdit()->text().toStdString();
}

// Escape leaves the surface sheet after a row was inserted, as before.
TEST_F(QtTaskMenus, EscapeLeavesTheSurfaceSheetAfterInsert) {
    type("surface_sheet");
    ASSERT_GT(level_count(), 0);
    auto* combo = find_widget<QComboBox>("tavo_command_line");
    ASSERT_NE(combo, nullptr);
    combo->lineEdit()->setFocus();
    auto press = [&](int key) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(combo->lineEdit(), &down);
        settle();
    };
    press(Qt::Key_Down);
    press(Qt::Key_Insert);
    ASSERT_GT(level_count(), 0);
    for (int k = 0; k < 3 && level_count() > 0; ++k) press(Qt::Key_Escape);
    EXPECT_EQ(level_count(), 0);
}

}  // namespace
