// The lens-wide data: units, field, temperature and pressure, aperture, stop and reference
// surfaces, image and global-coordinate surfaces, afocal mode, title, designer and notes.
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdStop = kCmdAst;
inline constexpr int kCmdUnits = kCmdUni;
inline constexpr int kCmdObjectHeight = kCmdObh;
inline constexpr int kCmdFieldAngle = kCmdAng;
inline constexpr int kCmdTemperature = kCmdTem;
inline constexpr int kCmdPressure = kCmdPre;
inline constexpr int kCmdBeamRadius = kCmdEbr;
inline constexpr int kCmdNumericalAperture = kCmdNao;
inline constexpr int kCmdReferenceSurface = kCmdRfs;
inline constexpr int kCmdImageSurface = kCmdIms;
inline constexpr int kCmdGlobalSurface = kCmdGcs;
inline constexpr int kCmdAfocalMode = kCmdAmo;
inline constexpr int kCmdAfocal = kCmdAfo;
inline constexpr int kCmdLensInteger = kCmdLint;
inline constexpr int kCmdTitle = kCmdTit;
inline constexpr int kCmdDesigner = kCmdDes;
inline constexpr int kCmdLensNote = kCmdSno_;

// kSlotGeneralData.
int cmd_general_data();
