// Decentre and tilt of the current surface, its bend switch, the coordinate return to an
// earlier surface and the decentre given in another surface's frame.
#pragma once

inline constexpr int kCmdTiltMode = 581;
inline constexpr int kCmdDecentreX = 582;
inline constexpr int kCmdDecentreY = 583;
inline constexpr int kCmdDecentreZ = 584;
inline constexpr int kCmdTiltA = 585;
inline constexpr int kCmdTiltB = 586;
inline constexpr int kCmdTiltC = 587;
inline constexpr int kCmdReturnCoordinates = 588;
inline constexpr int kCmdReturnDelete = 589;
inline constexpr int kCmdBendOn = 590;
inline constexpr int kCmdBendOff = 591;
inline constexpr int kCmdDecentreDelete = 592;
inline constexpr int kCmdGlobalCoordinates = 373;

inline constexpr int kMsgNoDecentreToDelete = -483;
inline constexpr int kMsgReturnSurfaceOutside = -502;
inline constexpr int kMsgNoReturnToDelete = -632;
inline constexpr int kMsgReturnNotHere = -855;
inline constexpr int kMsgReturnFixed = -868;
inline constexpr int kMsgNoBend = -893;
inline constexpr int kMsgBendNotHere = -894;
inline constexpr int kMsgBendWithReturn = -895;
inline constexpr int kMsgReturnOnBend = -896;
inline constexpr int kMsgBendNegativeTilt = -897;

// Slot 132.
int cmd_decentre_tilt();
