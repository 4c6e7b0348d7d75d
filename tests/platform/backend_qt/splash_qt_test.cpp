// The Qt splash on the offscreen platform: a top-level window around the picture, about the
// centre of the screen, closed by a key press or a left click and by close_splash.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/qt/qt_backend.h"
#include "tests/support/qt_test_app.h"

namespace {

QWidget* find_top(const char* name) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == name && top->isVisible()) return top;
    }
    return nullptr;
}

platform::SplashPicture red_picture() {
    return {30, 20, std::vector<platform::Colour>(30 * 20, platform::Colour{255, 0, 0})};
}

struct QtSplash : ::testing::Test {
    std::unique_ptr<platform::UiBackend> ui = tavo_test::make_test_qt_backend();

    void SetUp() override { ASSERT_EQ(ui->create_frame("TAVO LT", nullptr), 0); }
    void settle() {
        for (int i = 0; i < 5; ++i) ui->process_one_event(false);
    }
};

TEST_F(QtSplash, ShowsThePictureAboutTheCentreOfTheScreen) {
    platform::SplashPicture bad = red_picture();
    bad.pixels.pop_back();
    EXPECT_EQ(ui->open_splash(bad), platform::kUiBadArgument);
    EXPECT_FALSE(ui->splash_open());

    ASSERT_EQ(ui->open_splash(red_picture()), 0);
    settle();
    ASSERT_TRUE(ui->splash_open());
    QWidget* splash = find_top("tavo_splash");
    ASSERT_NE(splash, nullptr);
    // A one-pixel border around the picture.
    EXPECT_EQ(splash->width(), 32);
    EXPECT_EQ(splash->height(), 22);
    const QImage shot = splash->grab().toImage();
    EXPECT_EQ(shot.pixelColor(15, 10), QColor(255, 0, 0));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QPoint centre = screen->availableGeometry().center();
        EXPECT_LE(std::abs(splash->geometry().center().x() - centre.x()), 1);
        EXPECT_LE(std::abs(splash->geometry().center().y() - centre.y()), 1);
    }

    ui->close_splash();
    settle();
    EXPECT_FALSE(ui->splash_open());
    EXPECT_EQ(find_top("tavo_splash"), nullptr);
    ui->close_splash();  // closed already: nothing happens
    EXPECT_FALSE(ui->splash_open());
}

TEST_F(QtSplash, AKeyPressOrALeftClickClosesItAndGoesNoFurther) {
    QWidget* frame = find_top("tavo_window_0");
    ASSERT_NE(frame, nullptr);

    ASSERT_EQ(ui->open_splash(red_picture()), 0);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a");
    QCoreApplication::sendEvent(frame, &release);
    EXPECT_TRUE(ui->splash_open());
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    EXPECT_TRUE(QCoreApplication::sendEvent(frame, &press));  // taken by the splash
    EXPECT_FALSE(ui->splash_open());

    ASSERT_EQ(ui->open_splash(red_picture()), 0);
    QWidget* splash = find_top("tavo_splash");
    ASSERT_NE(splash, nullptr);
    QMouseEvent right(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(3, 3), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(splash, &right);
    EXPECT_TRUE(ui->splash_open());
    QMouseEvent left(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(3, 3), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(splash, &left);
    EXPECT_FALSE(ui->splash_open());
    settle();
    EXPECT_EQ(find_top("tavo_splash"), nullptr);
}

}  // namespace
