// The pupil sampling of the least-squares focus and of the operand quantities: the centre and
// eight rings of six rays (a Gaussian quadrature over the unit disc), and six points along the
// y axis for a lens traced as one-dimensional.
#pragma once

struct PupilSample {
    double x;
    double y;
    double weight;
};

inline constexpr int kRingRadii = 8;
inline constexpr int kRaysPerRing = 6;
inline constexpr int kRingSampleCount = 1 + kRingRadii * kRaysPerRing;
inline constexpr int kLineSampleCount = 6;

// The 49 ring samples; ray k of a ring at the angle k pi/3 from the +y axis.
const PupilSample* ring_samples();
// The six samples along +y.
const PupilSample* line_samples();
