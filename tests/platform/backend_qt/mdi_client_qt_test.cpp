// The Qt frame's MDI client area on the offscreen platform: inside the frame, and it follows the
// frame's size.
#include <gtest/gtest.h>

#include <memory>

#include "platform/qt/qt_backend.h"
#include "tests/support/qt_test_app.h"

namespace {

TEST(QtMdiClient, LiesInsideTheFrameAndFollowsItsSize) {
    std::unique_ptr<platform::UiBackend> ui = tavo_test::make_test_qt_backend();
    const auto settle = [&] {
        for (int i = 0; i < 5; ++i) ui->process_one_event(false);
    };
    EXPECT_EQ(ui->mdi_client_size().width, 0);  // no frame yet
    ASSERT_EQ(ui->create_frame("TAVO LT", nullptr), 0);
    ASSERT_EQ(ui->set_window_rect(0, {0, 0, 800, 600}), 0);
    settle();
    const platform::Size small = ui->mdi_client_size();
    EXPECT_GT(small.width, 0);
    EXPECT_GT(small.height, 0);
    EXPECT_LE(small.width, 800);  // the offscreen frame has no border
    EXPECT_LT(small.height, 600);
    // The command line, toolbar and status field keep their sizes: the MDI area takes what the
    // frame gains.
    ASSERT_EQ(ui->set_window_rect(0, {0, 0, 1000, 700}), 0);
    settle();
    const platform::Size large = ui->mdi_client_size();
    EXPECT_EQ(large.width - small.width, 200);
    EXPECT_EQ(large.height - small.height, 100);
}

}  // namespace
