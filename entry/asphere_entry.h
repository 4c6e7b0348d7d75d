// Aspheric data of the current surface: the asphere kind and order, coefficients by index or by
// term number, the leading value of the cone kinds, deletion, and the four classic deformation
// terms of the plain even polynomial.
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdAsphereKind = kCmdAspL;
inline constexpr int kCmdAsphereCoefficient = kCmdAs_L;
inline constexpr int kCmdAsphereDelete = kCmdAsdL;
inline constexpr int kCmdAsphereTerm = kCmdAt_L;
inline constexpr int kCmdConeLeading = kCmdCnsL;
inline constexpr int kCmdDeformation4 = kCmdAdL;
inline constexpr int kCmdDeformation6 = kCmdAeL;
inline constexpr int kCmdDeformation8 = kCmdAfL;
inline constexpr int kCmdDeformation10 = kCmdAgL;

// The lens-file keyword that names an asphere kind's series ("ASP ASR"...), "" for kinds
// without one.
const char* asphere_kind_keyword(int kind);

// kSlotAsphereData: 645 to 649.
int cmd_asphere_data();
// kSlotPolynomialAsphere: AD, AE, AF, AG.
int cmd_polynomial_asphere();
