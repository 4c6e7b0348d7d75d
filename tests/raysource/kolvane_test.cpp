#include "raysource/kolvane.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Kolvane, EveryEntrySucceedsWithoutTouchingItsArguments) {
    EXPECT_EQ(kvCalcTotalFlux(7), 0);
    EXPECT_EQ(kvDeleteSource(), 0);
    EXPECT_EQ(kvReadSourceData(nullptr, 0.0), 0);
    EXPECT_EQ(kvReadSourceData("source.dat", 2.5), 0);
    EXPECT_EQ(kvRotate(1, 2, 3), 0);
    EXPECT_EQ(kvScale(1, 2, 3), 0);
    EXPECT_EQ(kvTranslate(1, 2, 3), 0);
    EXPECT_EQ(kvSourceOpen(nullptr), 0);
    EXPECT_EQ(kvSourceClose(), 0);
    EXPECT_EQ(kvGetRandomRay(nullptr, nullptr), 0);
    EXPECT_EQ(kvPrepareRayGeneration(nullptr, 0, 0, 0, 0, 0), 0);

    kvRay ray;
    std::memset(&ray, 0x5a, sizeof ray);
    int status = 12345;
    EXPECT_EQ(kvGetRandomRay(&ray, &status), 0);
    EXPECT_EQ(status, 12345);
    for (double v : ray.value) {
        unsigned char bytes[sizeof v];
        std::memcpy(bytes, &v, sizeof v);
        for (unsigned char b : bytes) EXPECT_EQ(b, 0x5a);
    }
    double value = 3.25;
    EXPECT_EQ(kvPrepareRayGeneration(&value, 10, 1, 2, 3, 4), 0);
    EXPECT_EQ(value, 3.25);
}

TEST(Kolvane, RayRecordIsSevenDoubles) {
    EXPECT_EQ(sizeof(kvRay), 7 * sizeof(double));
}

}  // namespace
