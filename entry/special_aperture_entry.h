// Special apertures of the current surface, named by letter: their number, corners, angle,
// shape, action and group, the aperture another one follows, and their removal.
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdApertureCount = kCmdApn;
inline constexpr int kCmdApertureCountL = kCmdApnL;
inline constexpr int kCmdApertureY1 = kCmdAy1;
inline constexpr int kCmdApertureY1L = kCmdAy1L;
inline constexpr int kCmdApertureFollow = kCmdApk;
inline constexpr int kCmdApertureFollowL = kCmdApkL;
inline constexpr int kCmdApertureDelete = kCmdApd;
inline constexpr int kCmdApertureDeleteL = kCmdApdL;
inline constexpr int kCmdApertureVertexX = kCmdAvx_L;
inline constexpr int kCmdApertureVertexY = kCmdAvy_L;
inline constexpr int kCmdApertureGroup = kCmdAgnL;

inline constexpr int kMaxSpecialApertures = 26;  // letters A..Z

// kSlotSpecialAperture.
int cmd_special_aperture();
