// The surface data of the current surface: curvature or radius, thickness, aperture, medium,
// conic, thermal expansion, grating and Fresnel data, surface switches, the note, the aperture
// stop, the skip link, and SRF, which enters a whole surface and steps to the next one.
#pragma once

inline constexpr int kCmdCurvature = 520;
inline constexpr int kCmdCurvatureFixed = 521;
inline constexpr int kCmdCurvatureFixedRtf = 522;
inline constexpr int kCmdRadius = 523;
inline constexpr int kCmdRadiusFixed = 524;
inline constexpr int kCmdRadiusFixedRtf = 525;
inline constexpr int kCmdThickness = 526;
inline constexpr int kCmdThicknessFixed = 527;
inline constexpr int kCmdAperture = 528;
inline constexpr int kCmdApertureFixed = 529;
inline constexpr int kCmdStopHere = 539;
inline constexpr int kCmdAirFixed = 542;
inline constexpr int kCmdTce = 543;
inline constexpr int kCmdWholeSurface = 545;
inline constexpr int kCmdAir = 549;
inline constexpr int kCmdMirror = 550;
inline constexpr int kCmdMirrorHatched = 551;
inline constexpr int kCmdConic = 552;
inline constexpr int kCmdNote = 577;
inline constexpr int kCmdGratingOrder = 625;
inline constexpr int kCmdGratingSpacing = 626;
inline constexpr int kCmdFresnel = 627;
inline constexpr int kCmdFresnelCurvature = 628;
inline constexpr int kCmdFresnelConic = 629;
inline constexpr int kCmdRod = 630;
inline constexpr int kCmdAlternateIntersection = 631;
inline constexpr int kCmdTotalInternalReflection = 632;
inline constexpr int kCmdDiffractionOrder = 633;
inline constexpr int kCmdSkip = 370;

inline constexpr int kMsgMediumName = -373;
inline constexpr int kMsgGlassMissingAir = -400;
inline constexpr int kMsgNoteEntered = -402;
inline constexpr int kMsgGlassNotInCatalogue = -546;
inline constexpr int kMsgSurfaceOutside = -3996;
inline constexpr int kMsgSkipTarget = -3997;

// Slot 122.
int cmd_surface_data();
