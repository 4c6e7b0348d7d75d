// Special apertures of the current surface, named by letter: their number, corners, angle,
// shape, action and group, the aperture another one follows, and their removal.
#pragma once

inline constexpr int kCmdApertureCount = 662;
inline constexpr int kCmdApertureCountL = 672;
inline constexpr int kCmdApertureY1 = 663;
inline constexpr int kCmdApertureY1L = 673;
inline constexpr int kCmdApertureFollow = 670;
inline constexpr int kCmdApertureFollowL = 683;
inline constexpr int kCmdApertureDelete = 671;
inline constexpr int kCmdApertureDeleteL = 684;
inline constexpr int kCmdApertureVertexX = 680;
inline constexpr int kCmdApertureVertexY = 681;
inline constexpr int kCmdApertureGroup = 682;

inline constexpr int kMaxSpecialApertures = 26;  // letters A..Z

inline constexpr int kMsgNoSpecialApertures = -455;
inline constexpr int kMsgApertureLetterOutside = -456;
inline constexpr int kMsgNoSpecialAperturesToDelete = -485;
inline constexpr int kMsgFollowedApertureMissing = -518;
inline constexpr int kMsgApertureCountOutside = -519;
inline constexpr int kMsgApertureVertexOutside = -520;

// Slot 141.
int cmd_special_aperture();
