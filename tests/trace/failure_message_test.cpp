// A ray of kind 1 prints its failure with the surface number; other kinds print nothing.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "platform/console/console_backend.h"
#include "runtime/message_table.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/table_files.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "tests/support/temp_tree.h"
#include "tests/trace/trace_fixture.h"

namespace trace_test {
namespace {

const std::vector<MessageText> kTexts = {
    {-2701 + kMessageSlotBase, 2, "The ray misses surface %d"},
    {-2708 + kMessageSlotBase, 2, "The ray is stopped by the aperture of surface %d"},
};

class FailureMessages : public TraceTest {
protected:
    tavo_test::TempTree tree;
    std::istringstream in;
    std::ostringstream out, err;
    platform::ConsoleBackend ui{platform::ConsoleOptions{&in, &out, &err, true}};

    void SetUp() override {
        TraceTest::SetUp();
        std::vector<std::uint8_t> bytes;
        ASSERT_EQ(build_message_table(kTexts, bytes), 0);
        std::ofstream f(tree.root() / "bin" / "amo" / "tvrtmsgs.amo", std::ios::binary);
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
        f.close();
        ASSERT_EQ(read_root_folders(), 0);
        ASSERT_EQ(open_message_table(), 0);
        platform::set_current_ui(&ui);
        ASSERT_EQ(ui.create_frame("TAVO LT", nullptr), 0);
        ASSERT_EQ(ui.create_window(1, "Text", nullptr), 0);
        reset_output_options();
        reset_text_output();
        set_running_flag(1);

        for (int n = 1; n <= 5; ++n) thickness(n, 5.0);
        curvature(5, 1.0);
        make_lens(5, kObjectAtInfinity);
        lens_data().object_height = 0.0;
        lens_data().axial_start_height = 3.0;
    }
    void TearDown() override {
        close_message_table();
        set_running_flag(0);
        reset_output_options();
        reset_text_output();
        platform::set_current_ui(nullptr);
        TraceTest::TearDown();
    }
};

TEST_F(FailureMessages, KindOneRayPrintsTheFailureWithTheSurfaceNumber) {
    RayRecord ray = make_ray(kRayReported, 0, 0, 0, 1);
    trace_ray(ray);
    EXPECT_EQ(ray.failure, kRayFailMissed);
    ASSERT_EQ(ui.text_lines(1).size(), 1u);
    EXPECT_EQ(ui.text_lines(1)[0], "The ray misses surface 5");

    // Inside a surface group the number counts from the group.
    ray = make_ray(kRayReported, 0, 0, 0, 1);
    setup_ray_at_object(ray, nullptr);
    ray.group_offset = 10;
    while (ray.failure == 0 && ray.surface < lens_data().image_surface) {
        trace_to_next_surface(ray);
    }
    ASSERT_EQ(ui.text_lines(1).size(), 2u);
    EXPECT_EQ(ui.text_lines(1)[1], "The ray misses surface 15");
}

TEST_F(FailureMessages, OtherKindsAndQuietFailuresPrintNothing) {
    for (int kind : {kRayPlain, kRayMeasured, kRayKept, kRaySphere, kRayReference}) {
        RayRecord ray = make_ray(kind, 0, 0, 0, 1);
        trace_ray(ray);
        EXPECT_EQ(ray.failure, kRayFailMissed);
    }
    // A kind-1 ray parallel to a plane fails without a message.
    RayRecord ray = make_ray(kRayReported, 0, 0, 0, 0);
    setup_ray_at_object(ray, nullptr);
    trace_to_next_surface(ray);
    ray.l = 1.0;
    ray.m = 0.0;
    ray.z = 1.0;
    trace_to_next_surface(ray);
    EXPECT_EQ(ray.failure, kRayFailMissed);
    EXPECT_TRUE(ui.text_lines(1).empty());
}

}  // namespace
}  // namespace trace_test
