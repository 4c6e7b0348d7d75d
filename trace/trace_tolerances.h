// The fixed tolerances of the real-ray trace. Every comparison and guard of the trace names one
// of these instead of a bare number.
#pragma once

#include "lens/lens_data.h"  // kInfiniteDistance

// Zero of denominators: a divisor smaller than this in magnitude is treated as zero.
inline constexpr double kZeroDenominator = 1e-40;
// An infinite ratio.
inline constexpr double kInfiniteRatio = 1e40;
// Object distances of this size or more put the object at infinity.
inline constexpr double kInfiniteObject = 1e8;
// The same limit as the aperture and reference-sphere formulas use it.
inline constexpr double kInfiniteObjectAperture = 9.9e7;
// Discriminants and total-reflection tests below this count as negative.
inline constexpr double kDiscriminantZero = 1e-16;
// A ray whose axial direction cosine is below this never meets a plane.
inline constexpr double kParallelToPlane = 1e-8;
// Convergence tolerances of iterations.
inline constexpr double kConvergenceCoarse = 1e-8;
inline constexpr double kConvergenceFine = 1e-9;
// Finite-difference step of derivatives.
inline constexpr double kDifferenceStep = 1e-6;
// Rays up to this factor beyond the aperture radius still pass.
inline constexpr double kApertureSlack = 1.000001;
// A pupil radius below this fraction of the object distance is a small pupil.
inline constexpr double kSmallPupilRatio = 0.1;
// The sheet margin of the far-side tests in the angle mode.
inline constexpr double kSheetMargin = 1e-8;
