#include "optimise/focus_pupil.h"

#include <array>

namespace {

constexpr double kCentreWeight = 0.000308642;
constexpr double kRingRadius[kRingRadii] = {0.07970493, 0.2044093, 0.3640531, 0.5394915,
                                            0.7095869,  0.8538285, 0.9548081, 1.0};
constexpr double kRingWeight[kRingRadii] = {0.001353723, 0.004942143, 0.01037466, 0.01585423,
                                            0.01897035,  0.01780813,  0.01189532, 0.002083333};
constexpr PupilSample kLine[kLineSampleCount] = {
    {0.0, 0.0, 0.016667},      {0.0, 0.342742, 0.094619}, {0.0, 0.597816, 0.138715},
    {0.0, 0.801633, 0.138715}, {0.0, 0.939429, 0.094619}, {0.0, 1.0, 0.016667}};

// sin and cos of k pi / 3, k = 0 .. 5.
constexpr double kHalfRoot3 = 0.86602540378443864676;
constexpr double kSin[kRaysPerRing] = {0.0, kHalfRoot3, kHalfRoot3, 0.0, -kHalfRoot3, -kHalfRoot3};
constexpr double kCos[kRaysPerRing] = {1.0, 0.5, -0.5, -1.0, -0.5, 0.5};

constexpr std::array<PupilSample, kRingSampleCount> make_rings() {
    std::array<PupilSample, kRingSampleCount> s{};
    s[0] = {0.0, 0.0, kCentreWeight};
    for (int r = 0; r < kRingRadii; ++r) {
        for (int k = 0; k < kRaysPerRing; ++k) {
            s[1 + r * kRaysPerRing + k] = {kRingRadius[r] * kSin[k], kRingRadius[r] * kCos[k],
                                           kRingWeight[r]};
        }
    }
    return s;
}

constexpr std::array<PupilSample, kRingSampleCount> kRings = make_rings();

}  // namespace

const PupilSample* ring_samples() {
    return kRings.data();
}

const PupilSample* line_samples() {
    return kLine;
}
