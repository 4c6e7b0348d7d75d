// The About window on Qt: the picture with its revision line, the frame held while it shows,
// closed by a key and by each mouse button.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPixmap>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/main_loop.h"
#include "app/splash.h"
#include "platform/qt/qt_backend.h"
#include "platform/state_reset.h"
#include "tests/app/startup/started_runtime.h"
#include "tests/support/qt_session.h"
#include "tests/support/qt_test_app.h"

namespace {

QLabel* about_window() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == "tavo_about" && top->isVisible())
            return qobject_cast<QLabel*>(top);
    }
    return nullptr;
}

TEST(QtAbout, TheAboutWindowShowsTheRevisionAndClosesOnAKeyOrAnyButton) {
    tavo_test::QtSession session{true};
    ASSERT_EQ(session.start(), 0);
    QWidget* frame = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == "tavo_window_0") frame = top;
    }
    ASSERT_NE(frame, nullptr);

    ASSERT_EQ(cmd_about(), 0);
    QLabel* about = about_window();
    ASSERT_NE(about, nullptr);
    EXPECT_FALSE(frame->isEnabled());
    // The revision is drawn into the free right part of the picture: dark pixels there.
    const QImage picture = about->pixmap().toImage();
    int dark = 0;
    for (int y = 20; y < 36; ++y) {
        for (int x = 218; x < 300 && x < picture.width(); ++x) {
            if (qGray(picture.pixel(x, y)) < 80) ++dark;
        }
    }
    EXPECT_GT(dark, 20);
    if (const char* shot = std::getenv("TAVO_TEST_GRAB")) picture.save(shot);

    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QApplication::sendEvent(about, &key);
    EXPECT_EQ(about_window(), nullptr);
    EXPECT_TRUE(frame->isEnabled());

    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        ASSERT_EQ(cmd_about(), 0);
        about = about_window();
        ASSERT_NE(about, nullptr);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), button, button,
                          Qt::NoModifier);
        QApplication::sendEvent(about, &press);
        EXPECT_EQ(about_window(), nullptr) << button;
        EXPECT_TRUE(frame->isEnabled());
    }
    QApplication::processEvents();
}

}  // namespace
