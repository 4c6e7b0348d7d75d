// The Qt backend on the offscreen platform: the frame and its windows exist, and what is drawn
// through a device context lands in the window's pixels.
#include "platform/qt/qt_backend.h"
#include "tests/support/qt_test_app.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <clocale>
#include <cstdio>
#include <memory>
#include <string>

namespace {

class KeyLog : public platform::WindowHandler {
public:
    std::vector<int> keys;
    void on_key(int, const platform::KeyEvent& e) override {
        if (e.pressed) keys.push_back(e.key);
    }
};

struct QtFixture : ::testing::Test {
    std::unique_ptr<platform::UiBackend> ui = tavo_test::make_test_qt_backend();

    void SetUp() override { ASSERT_EQ(ui->create_frame("TAVO LT", nullptr), 0); }

    void settle() {
        for (int i = 0; i < 5; ++i) ui->process_one_event(false);
    }

    static QWidget* find_widget(const char* name) {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() == name) return top;
            if (QWidget* w = top->findChild<QWidget*>(name)) return w;
        }
        return nullptr;
    }
};

TEST_F(QtFixture, FrameHasCommandLineStatusFieldAndMdiTextWindow) {
    auto* frame = qobject_cast<QMainWindow*>(find_widget("tavo_window_0"));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->windowTitle(), "TAVO LT");
    ASSERT_NE(frame->findChild<QComboBox*>("tavo_command_line"), nullptr);
    ASSERT_NE(frame->findChild<QLabel*>("tavo_status"), nullptr);

    ASSERT_EQ(ui->create_window(platform::kWindowText1, "TAVO LT 5.40", nullptr), 0);
    ASSERT_EQ(ui->add_text_line(platform::kWindowText1, "TAVO LT 5.40"), 0);
    settle();
    auto* mdi = frame->findChild<QMdiArea*>("tavo_mdi");
    ASSERT_NE(mdi, nullptr);
    ASSERT_EQ(mdi->subWindowList().size(), 1);
    EXPECT_EQ(mdi->subWindowList().front()->objectName(), "tavo_window_1");
    // A text window is a drawing surface its text area paints, no text widget of Qt's.
    ASSERT_NE(find_widget("tavo_surface_1"), nullptr);
    EXPECT_EQ(frame->findChild<QPlainTextEdit*>(), nullptr);
    ASSERT_NE(ui->device_context(platform::kWindowText1), nullptr);

    ui->set_status_text("Lens saved");
    EXPECT_EQ(ui->status_text(), "Lens saved");
    EXPECT_EQ(frame->findChild<QLabel*>("tavo_status")->text(), "Lens saved");

    // Qt resets the numeric locale when it starts; the backend sets it back.
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%.1f", 2.5);
    EXPECT_STREQ(buffer, "2.5");
}

class ScrollLog : public platform::WindowHandler {
public:
    std::vector<platform::ScrollEvent> events;
    void on_scroll(int, const platform::ScrollEvent& e) override { events.push_back(e); }
};

TEST_F(QtFixture, TextWindowScrollBarsFollowTheirValuesAndReportActions) {
    ScrollLog log;
    ASSERT_EQ(ui->create_window(platform::kWindowText2, "two", &log), 0);
    auto* vbar = qobject_cast<QScrollBar*>(find_widget("tavo_vscroll_2"));
    auto* hbar = qobject_cast<QScrollBar*>(find_widget("tavo_hscroll_2"));
    ASSERT_NE(vbar, nullptr);
    ASSERT_NE(hbar, nullptr);
    EXPECT_EQ(vbar->orientation(), Qt::Vertical);

    // 100 lines (0..99), 10 on screen: the thumb's last position shows lines 90..99.
    ASSERT_EQ(ui->set_scroll_info(platform::kWindowText2, platform::ScrollBar::vertical,
                                  {0, 99, 10, 40, true}),
              0);
    EXPECT_EQ(vbar->maximum(), 90);
    EXPECT_EQ(vbar->pageStep(), 10);
    EXPECT_EQ(vbar->value(), 40);
    EXPECT_TRUE(vbar->isEnabled());
    EXPECT_EQ(ui->scroll_info(platform::kWindowText2, platform::ScrollBar::vertical).position, 40);

    struct Case {
        QAbstractSlider::SliderAction action;
        platform::ScrollAction expected;
    };
    const Case cases[] = {
        {QAbstractSlider::SliderSingleStepAdd, platform::ScrollAction::line_down},
        {QAbstractSlider::SliderSingleStepSub, platform::ScrollAction::line_up},
        {QAbstractSlider::SliderPageStepAdd, platform::ScrollAction::page_down},
        {QAbstractSlider::SliderPageStepSub, platform::ScrollAction::page_up},
        {QAbstractSlider::SliderToMinimum, platform::ScrollAction::top},
        {QAbstractSlider::SliderToMaximum, platform::ScrollAction::bottom},
    };
    for (const Case& c : cases) {
        log.events.clear();
        vbar->triggerAction(c.action);
        ASSERT_EQ(log.events.size(), 1u) << c.action;
        EXPECT_EQ(log.events[0].action, c.expected) << c.action;
        EXPECT_EQ(log.events[0].bar, platform::ScrollBar::vertical);
    }
    log.events.clear();
    hbar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].bar, platform::ScrollBar::horizontal);

    // Fewer lines than the page: nothing to scroll, the bar stays but is greyed.
    ASSERT_EQ(ui->set_scroll_info(platform::kWindowText2, platform::ScrollBar::vertical,
                                  {0, 4, 10, 0, true}),
              0);
    EXPECT_TRUE(vbar->isVisibleTo(find_widget("tavo_window_2")));
    EXPECT_FALSE(vbar->isEnabled());
    EXPECT_EQ(ui->set_scroll_info(9, platform::ScrollBar::vertical, {}), platform::kUiBadWindow);
}

TEST_F(QtFixture, WithoutAStoredPlacementTheFrameFillsTheScreensWorkArea) {
    // 640 x 350 has no room for the command bar, the toolbar and a text window.
    const platform::Size work = ui->screen_size();
    ASSERT_GT(work.width, 640);
    const platform::Rect frame = ui->window_rect(platform::kWindowFrame);
    // The outer rectangle: the work area with at most a thin border and a caption around it.
    EXPECT_NEAR(frame.right - frame.left, work.width, 16);
    EXPECT_NEAR(frame.bottom - frame.top, work.height, 40);
}

// Up and Down in the command line step through the lines typed before, newest first; Down past
// the newest leaves an empty line.
TEST_F(QtFixture, UpAndDownRecallTheHistoryIntoTheCommandLine) {
    auto* combo = qobject_cast<QComboBox*>(find_widget("tavo_command_line"));
    ASSERT_NE(combo, nullptr);
    ui->set_command_history({"newest", "older"});
    auto press = [&](Qt::Key k) {
        QKeyEvent key(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(combo->lineEdit(), &key);
        return ui->command_line_text();
    };
    EXPECT_EQ(press(Qt::Key_Up), "newest");
    EXPECT_EQ(press(Qt::Key_Up), "older");
    EXPECT_EQ(press(Qt::Key_Up), "older");
    EXPECT_EQ(press(Qt::Key_Down), "newest");
    EXPECT_EQ(press(Qt::Key_Down), "");
}

TEST_F(QtFixture, EnteredCommandLinesQueueUp) {
    auto* combo = qobject_cast<QComboBox*>(find_widget("tavo_command_line"));
    ASSERT_NE(combo, nullptr);
    for (const char* typed : {"trace_ref_ray 0.7", "draw_lens"}) {
        combo->setEditText(typed);
        Q_EMIT combo->lineEdit()->returnPressed();
    }
    EXPECT_EQ(ui->command_line_text(), "");  // the line is cleared after Enter
    std::string line;
    ASSERT_TRUE(ui->take_command_line(line));
    EXPECT_EQ(line, "trace_ref_ray 0.7");
    ASSERT_TRUE(ui->take_command_line(line));
    EXPECT_EQ(line, "draw_lens");
    EXPECT_FALSE(ui->take_command_line(line));
}

TEST_F(QtFixture, LineDrawnOnGraphicsSurfaceShowsInItsPixels) {
    ASSERT_EQ(ui->create_window(7, "Graphics 1", nullptr), 0);
    settle();
    EXPECT_NE(find_widget("tavo_window_7"), nullptr);
    platform::DeviceContext* dc = ui->device_context(7);
    ASSERT_NE(dc, nullptr);
    ASSERT_GE(dc->size().width, 60);
    ASSERT_GE(dc->size().height, 60);

    dc->set_pen({255, 0, 0}, platform::LineStyle::solid, 1);
    dc->move_to({10, 20});
    dc->line_to({50, 20});
    ui->update_now();

    QWidget* surface = find_widget("tavo_surface_7");
    ASSERT_NE(surface, nullptr);
    const QImage shot = surface->grab().toImage();
    ASSERT_GE(shot.width(), 60);
    for (int x : {10, 11, 30, 49}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(shot.pixelColor(x, 20), QColor(255, 0, 0));
    }
    EXPECT_NE(shot.pixelColor(30, 30), QColor(255, 0, 0));
    EXPECT_NE(shot.pixelColor(30, 19), QColor(255, 0, 0));
    EXPECT_NE(shot.pixelColor(5, 20), QColor(255, 0, 0));
}

// A child shown and activated by the program leaves the keyboard with the command line, where
// the user goes on typing; the edit window takes it for its own text.
TEST_F(QtFixture, ActivatingAChildKeepsTypingInTheCommandLine) {
    QWidget* command_line = find_widget("tavo_command_line");
    ASSERT_NE(command_line, nullptr);
    for (int window : {3, 7}) {
        SCOPED_TRACE(window);
        ASSERT_EQ(ui->create_window(window, "Child", nullptr), 0);
        ui->show_window(window, true);
        settle();
        ASSERT_EQ(ui->activate_window(window), 0);
        settle();
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        EXPECT_TRUE(focused == command_line || command_line->isAncestorOf(focused))
            << focused->objectName().toStdString();
    }
}

// A click on a sheet or a text window gives the keyboard back to the command line, where the
// chosen cell's value is typed; a click on a graphics window leaves it there.
TEST_F(QtFixture, AClickOnASheetOrTextWindowKeepsTypingInTheCommandLine) {
    QWidget* command_line = find_widget("tavo_command_line");
    ASSERT_NE(command_line, nullptr);
    for (int window : {1, 3}) {
        SCOPED_TRACE(window);
        if (!ui->window_exists(window)) {
            ASSERT_EQ(ui->create_window(window, "Child", nullptr), 0);
        }
        ui->show_window(window, true);
        settle();
        const std::string surface_name = "tavo_surface_" + std::to_string(window);
        QWidget* surface = find_widget(surface_name.c_str());
        ASSERT_NE(surface, nullptr);
        // The window around the surface holds the keyboard before the click, as a window
        // manager's click on it leaves it.
        surface->parentWidget()->setFocusPolicy(Qt::StrongFocus);
        surface->parentWidget()->setFocus();
        settle();
        const QPointF at(5, 5);
        QMouseEvent press(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(surface, &press);
        settle();
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        EXPECT_TRUE(focused == command_line || command_line->isAncestorOf(focused))
            << focused->objectName().toStdString();
    }
}

// Text windows place character n at n character widths: a line drawn in one piece must put its
// last character there too, not a few pixels off by a fractional advance.
TEST_F(QtFixture, TextDrawnInOnePieceKeepsToWholeCharacterColumns) {
    ASSERT_EQ(ui->create_window(1, "Text", nullptr), 0);
    ui->set_window_rect(1, {0, 0, 1000, 200});
    settle();
    platform::DeviceContext* dc = ui->device_context(1);
    ASSERT_NE(dc, nullptr);
    const platform::TextMetrics m = dc->text_metrics();
    ASSERT_GT(m.average_width, 0);
    constexpr int kColumns = 100;
    ASSERT_GE(dc->size().width, (kColumns + 2) * m.average_width);
    EXPECT_EQ(dc->text_width(std::string(kColumns, 'W')), kColumns * m.average_width);
    dc->fill_rect({0, 0, dc->size().width, dc->size().height}, {255, 255, 255});
    dc->set_text_colour({0, 0, 0});
    // Blanks, then one "|" in the last column: its ink must lie inside that column.
    dc->text_out({0, 10}, std::string(kColumns - 1, ' ') + "|");
    ui->update_now();
    QWidget* surface = find_widget("tavo_surface_1");
    ASSERT_NE(surface, nullptr);
    const QImage shot = surface->grab().toImage();
    int first_ink = -1;
    int last_ink = -1;
    for (int x = 0; x < shot.width(); ++x) {
        for (int y = 10; y < 10 + m.height; ++y) {
            if (qGray(shot.pixel(x, y)) < 128) {
                if (first_ink < 0) first_ink = x;
                last_ink = x;
            }
        }
    }
    ASSERT_GE(first_ink, 0);
    EXPECT_GE(first_ink, (kColumns - 1) * m.average_width);
    EXPECT_LT(last_ink, kColumns * m.average_width);
}

// Paints a filled box on every repaint, so resizing and invalidating can be seen in pixels.
class BoxPainter : public platform::WindowHandler {
public:
    int paints = 0;
    platform::Size last_size;
    void on_paint(int, platform::DeviceContext& dc) override {
        ++paints;
        dc.fill_rect({0, 0, 8, 8}, {0, 0, 255});
    }
    void on_size(int, platform::Size size) override { last_size = size; }
};

TEST_F(QtFixture, HandlerRepaintsSurfaceWhenInvalidated) {
    BoxPainter painter;
    ASSERT_EQ(ui->create_window(8, "Graphics 2", &painter), 0);
    settle();
    QWidget* surface = find_widget("tavo_surface_8");
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(painter.last_size, (platform::Size{surface->width(), surface->height()}));
    QImage shot = surface->grab().toImage();
    EXPECT_EQ(shot.pixelColor(4, 4), QColor(0, 0, 255));
    EXPECT_NE(shot.pixelColor(12, 12), QColor(0, 0, 255));

    // Drawing over the box, then invalidating, gives the handler's picture back.
    platform::DeviceContext* dc = ui->device_context(8);
    dc->fill_rect({0, 0, 20, 20}, {0, 255, 0});
    ui->update_now();
    EXPECT_EQ(surface->grab().toImage().pixelColor(4, 4), QColor(0, 255, 0));
    const int before = painter.paints;
    ASSERT_EQ(ui->invalidate(8), 0);
    ui->update_now();
    shot = surface->grab().toImage();
    EXPECT_GT(painter.paints, before);
    EXPECT_EQ(shot.pixelColor(4, 4), QColor(0, 0, 255));
    EXPECT_NE(shot.pixelColor(12, 12), QColor(0, 255, 0));
}

TEST_F(QtFixture, EscapePollSwallowsKeysAndSeesEscape) {
    KeyLog log;
    ASSERT_EQ(ui->create_window(9, "Graphics 3", &log), 0);
    settle();
    QWidget* surface = find_widget("tavo_surface_9");
    ASSERT_NE(surface, nullptr);
    QCoreApplication::postEvent(surface,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a"));
    QCoreApplication::postEvent(surface,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    QCoreApplication::postEvent(surface,
                                new QKeyEvent(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier));
    EXPECT_TRUE(ui->poll_escape());
    settle();
    EXPECT_TRUE(log.keys.empty());
    // Outside the poll, keys reach the window's handler.
    QCoreApplication::postEvent(surface,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, "b"));
    settle();
    EXPECT_THAT(log.keys, ::testing::ElementsAre('B'));
    EXPECT_FALSE(ui->poll_escape());
}

TEST_F(QtFixture, ClosingTheFrameEndsTheRunUnlessItsHandlerRefuses) {
    struct Refuser : platform::WindowHandler {
        bool allow = false;
        bool on_close_request(int) override { return allow; }
    } refuser;
    // The fixture's frame has no handler: a close request ends the run.
    QWidget* frame = find_widget("tavo_window_0");
    ASSERT_NE(frame, nullptr);
    frame->close();
    EXPECT_TRUE(ui->frame_closed());

    ui.reset();
    ui = tavo_test::make_test_qt_backend();
    ASSERT_EQ(ui->create_frame("TAVO LT", &refuser), 0);
    frame = find_widget("tavo_window_0");
    ASSERT_NE(frame, nullptr);
    frame->close();
    EXPECT_FALSE(ui->frame_closed());
    EXPECT_TRUE(frame->isVisible());
    refuser.allow = true;
    frame->close();
    EXPECT_TRUE(ui->frame_closed());
}

}  // namespace
