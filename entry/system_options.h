// The lens's system options: ray aiming and its exclusive modes, the wavefront reference, the
// angle unit of tolerances, the fan-ray count and a set of switches. "DEF" before the value
// restores an option's default.
#pragma once

inline constexpr int kCmdCallback = 371;
inline constexpr int kCmdSolvesAllConfigurations = 372;
inline constexpr int kCmdXyCoupling = 440;
inline constexpr int kCmdTiltUnits = 441;
inline constexpr int kCmdWavefrontSwitch = 485;
inline constexpr int kCmdWavefrontReference = 486;
inline constexpr int kCmdWideAngle = 487;
inline constexpr int kCmdAimMode = 488;
inline constexpr int kCmdExtendedAperture = 489;
inline constexpr int kCmdOpdInWaves = 490;
inline constexpr int kCmdApertureCheck = 491;
inline constexpr int kCmdGrck = 492;
inline constexpr int kCmdEpxy = 493;
inline constexpr int kCmdTelecentric = 494;
inline constexpr int kCmdHtnu = 495;
inline constexpr int kCmdZrxr = 496;
inline constexpr int kCmdNolc = 497;
inline constexpr int kCmdGroupListing = 498;
inline constexpr int kCmdFanRays = 499;
inline constexpr int kCmdSasd = 500;
inline constexpr int kCmdXaba = 501;

inline constexpr int kMsgAimModeChanged = -1009;

// Slot 105.
int cmd_system_options();
