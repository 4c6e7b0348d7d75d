// A ray of kind 1 prints its failure with the surface number; other kinds print nothing.
#include <gtest/gtest.h>

#include <vector>

#include "lens/lens_data.h"
#include "runtime/message_table.h"
#include "runtime/messages.h"
#include "tests/support/built_tables.h"
#include "tests/trace/trace_fixture.h"

namespace trace_test {
namespace {

const std::vector<MessageText> kTexts = {
    {-2701 + kMessageSlotBase, 2, "The ray misses surface %d"},
    {-2708 + kMessageSlotBase, 2, "The ray is stopped by the aperture of surface %d"},
};

class FailureMessages : public TraceTest, protected tavo_test::MessageConsole {
protected:
    void SetUp() override {
        TraceTest::SetUp();
        ASSERT_EQ(open_console(kTexts), 0);
        set_running_flag(1);

        for (int n = 1; n <= 5; ++n) thickness(n, 5.0);
        curvature(5, 1.0);
        make_lens(5, kInfiniteDistance);
        lens_data().object_height = 0.0;
        lens_data().axial_start_height = 3.0;
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
