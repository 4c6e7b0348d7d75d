// Turning a range of surfaces round end for end, as if its elements were taken out, turned and
// put back, and mirroring a range in place.
#pragma once

inline constexpr int kCmdReverseSurfaces = 381;
inline constexpr int kCmdNegateSurfaces = 382;

inline constexpr int kMsgReverseStart = -548;
inline constexpr int kMsgReversed = -549;
inline constexpr int kMsgNegated = -713;
inline constexpr int kMsgReverseHologram = -1046;
inline constexpr int kMsgReverseDecentre = -1047;
inline constexpr int kMsgReverseMesh = -1048;
inline constexpr int kMsgReverseMirror = -1054;
inline constexpr int kMsgReverseDiffractivePickup = -1055;
inline constexpr int kMsgReverseGroup = -1056;
inline constexpr int kMsgReverseThicknessPickup = -1057;
inline constexpr int kMsgReverseCurvaturePickup = -1058;
inline constexpr int kMsgReverseAperturePickup = -1059;
inline constexpr int kMsgReverseMediumPickup = -1060;
inline constexpr int kMsgReverseSpecialAperturePickup = -1061;
inline constexpr int kMsgRangeEnd = -1063;

// Whether a..b may be reversed; else the message and the offending surface (-1 when none).
bool check_reverse_range(int a, int b, int* message, int* surface_out);
// Reverses the records of a..b (checked first by check_reverse_range).
void reverse_surface_range(int a, int b);
// Re-expands the gradient-index media behind a..b-1 about their other end.
void flip_grin_range(int a, int b);
// Mirrors a..b in place: curvatures, aspheric and spline terms and thicknesses change sign.
void negate_surface_range(int a, int b);

int cmd_reverse_surfaces();      // slot 106
int cmd_negate_surface_range();  // slot 107
