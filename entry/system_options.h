// The lens's system options: ray aiming and its exclusive modes, the wavefront reference, the
// angle unit of tolerances, the fan-ray count and a set of switches. "DEF" before the value
// restores an option's default.
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdCallback = kCmdCbk;
inline constexpr int kCmdSolvesAllConfigurations = kCmdCslv;
inline constexpr int kCmdXyCoupling = kCmdTxyc;
inline constexpr int kCmdTiltUnits = kCmdTtun;
inline constexpr int kCmdWavefrontSwitch = kCmdWrso;
inline constexpr int kCmdWavefrontReference = kCmdWrsp;
inline constexpr int kCmdWideAngle = kCmdWam;
inline constexpr int kCmdAimMode = kCmdRaim;
inline constexpr int kCmdExtendedAperture = kCmdXam;
inline constexpr int kCmdOpdInWaves = kCmdOpdw;
inline constexpr int kCmdApertureCheck = kCmdApck;
inline constexpr int kCmdTelecentric = kCmdTpm;
inline constexpr int kCmdGroupListing = kCmdGprt;
inline constexpr int kCmdFanRays = kCmdFanr;

// kSlotSystemOptions.
int cmd_system_options();
