// The per-lens records the lens file carries beside the surfaces: the optimisation parameters
// and the spot-diagram settings. Each command sets one field, or with DEF restores its default.
#pragma once

inline constexpr int kCmdDamping = 471;
inline constexpr int kCmdDerivativeIncrement = 474;
inline constexpr int kCmdAutomaticIncrements = 481;
inline constexpr int kCmdOperandCommand = 484;
inline constexpr int kCmdApertureDivisions = 502;
inline constexpr int kCmdMtfPathLimit = 507;
inline constexpr int kCmdThroughFocusFrequency = 508;
inline constexpr int kCmdShowDiffractionLimit = 509;

// Slot 111: OPDF .. OPOC.
int cmd_operating_conditions();
// Slot 112: SDAD .. SDSA.
int cmd_spot_diagram_settings();
