// The diffractive phase profile of the current surface: polynomial (DOE) or Zernike (ZOE) kind
// and order, coefficients, design wavelength, the Zernike switch, and deletion.
#pragma once

inline constexpr int kCmdDoeKind = 654;
inline constexpr int kCmdDoeCoefficient = 655;
inline constexpr int kCmdDoeWavelength = 656;
inline constexpr int kCmdDoeDelete = 657;
inline constexpr int kCmdZoeKind = 658;
inline constexpr int kCmdZoeCoefficient = 659;
inline constexpr int kCmdZoeDelete = 660;
inline constexpr int kCmdZoeSwitch = 661;

inline constexpr int kMsgDoeCoefficientEcho = -424;
inline constexpr int kMsgNoPolynomialDoe = -425;
inline constexpr int kMsgNoDoe = -482;
inline constexpr int kMsgDoeCoefficientIndex = -405;
inline constexpr int kMsgDoeKindRefused = -662;
inline constexpr int kMsgZoeCoefficientEcho = -663;
inline constexpr int kMsgNoZernikeDoe = -664;
inline constexpr int kMsgZoeOff = -696;
inline constexpr int kMsgZoeOn = -697;

// Slot 140.
int cmd_diffractive_data();
