// The lens-wide data: units, field, temperature and pressure, aperture, stop and reference
// surfaces, image and global-coordinate surfaces, afocal mode, title, designer and notes.
#pragma once

inline constexpr int kCmdStop = 416;
inline constexpr int kCmdUnits = 419;
inline constexpr int kCmdObjectHeight = 420;
inline constexpr int kCmdFieldAngle = 421;
inline constexpr int kCmdTemperature = 422;
inline constexpr int kCmdPressure = 423;
inline constexpr int kCmdBeamRadius = 424;
inline constexpr int kCmdNumericalAperture = 425;
inline constexpr int kCmdReferenceSurface = 426;
inline constexpr int kCmdImageSurface = 427;
inline constexpr int kCmdGlobalSurface = 428;
inline constexpr int kCmdAfocalMode = 429;
inline constexpr int kCmdAfocal = 430;
inline constexpr int kCmdLensInteger = 431;
inline constexpr int kCmdTitle = 432;
inline constexpr int kCmdDesigner = 433;
inline constexpr int kCmdLensNote = 434;

inline constexpr int kMsgNumericalApertureZero = -508;
inline constexpr int kMsgNumericalApertureAboveIndex = -509;
inline constexpr int kMsgNoteNumber = -3998;

// Slot 101.
int cmd_general_data();
