// The surface data of the current surface: curvature or radius, thickness, aperture, medium,
// conic, thermal expansion, grating and Fresnel data, surface switches, the note, the aperture
// stop, the skip link, and SRF, which enters a whole surface and steps to the next one.
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdCurvature = kCmdCvL;
inline constexpr int kCmdCurvatureFixed = kCmdCvfL;
inline constexpr int kCmdCurvatureFixedRtf = kCmdCtfL;
inline constexpr int kCmdRadius = kCmdRdL;
inline constexpr int kCmdRadiusFixed = kCmdRdfL;
inline constexpr int kCmdRadiusFixedRtf = kCmdRtfL;
inline constexpr int kCmdThickness = kCmdThL;
inline constexpr int kCmdThicknessFixed = kCmdThfL;
inline constexpr int kCmdAperture = kCmdApL;
inline constexpr int kCmdApertureFixed = kCmdApfL;
inline constexpr int kCmdStopHere = kCmdAstL;
inline constexpr int kCmdAirFixed = kCmdAifL;
inline constexpr int kCmdTce = kCmdTceL;
inline constexpr int kCmdWholeSurface = kCmdSrfL;
inline constexpr int kCmdAir = kCmdAirL;
inline constexpr int kCmdMirror = kCmdRflL;
inline constexpr int kCmdMirrorHatched = kCmdRfhL;
inline constexpr int kCmdConic = kCmdCcL;
inline constexpr int kCmdNote = kCmdNotL;
inline constexpr int kCmdGratingOrder = kCmdGorL;
inline constexpr int kCmdGratingSpacing = kCmdGspL;
inline constexpr int kCmdFresnel = kCmdFrnL;
inline constexpr int kCmdFresnelCurvature = kCmdFcvL;
inline constexpr int kCmdFresnelConic = kCmdFccL;
inline constexpr int kCmdRod = kCmdRodL;
inline constexpr int kCmdAlternateIntersection = kCmdAsiL;
inline constexpr int kCmdTotalInternalReflection = kCmdTirL;
inline constexpr int kCmdDiffractionOrder = kCmdDorL;
inline constexpr int kCmdSkip = kCmdSkpL;

// kSlotSurfaceData.
int cmd_surface_data();
