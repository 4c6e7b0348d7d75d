// Aspheric data of the current surface: the asphere kind and order, coefficients by index or by
// term number, the leading value of the cone kinds, deletion, and the four classic deformation
// terms of the plain even polynomial.
#pragma once

inline constexpr int kCmdAsphereKind = 645;
inline constexpr int kCmdAsphereCoefficient = 646;
inline constexpr int kCmdAsphereDelete = 647;
inline constexpr int kCmdAsphereTerm = 648;
inline constexpr int kCmdConeLeading = 649;
inline constexpr int kCmdDeformation4 = 602;
inline constexpr int kCmdDeformation6 = 603;
inline constexpr int kCmdDeformation8 = 604;
inline constexpr int kCmdDeformation10 = 605;

inline constexpr int kMsgAsphereCommandUnfit = -403;
inline constexpr int kMsgAsphereCoefficientEcho = -404;
inline constexpr int kMsgCoefficientIndex = -405;
inline constexpr int kMsgNoAsphereToDelete = -481;
inline constexpr int kMsgAsphereTermEcho = -560;
inline constexpr int kMsgTermOutside = -564;
inline constexpr int kMsgEvenTermOutside = -565;
inline constexpr int kMsgReplaceSpline = -799;

// Slot 138: 645 to 649.
int cmd_asphere_data();
// Slot 135: AD, AE, AF, AG.
int cmd_polynomial_asphere();
