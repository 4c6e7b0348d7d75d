// The coefficient sheets of the current surface: the standard asphere's four polynomial terms,
// the other aspheres' order and coefficients (five to a row under their labels) and the points
// of a spline profile.
#pragma once

#include "runtime/command_levels.h"
#include "tables/table_names.h"
#include "ui/sheet_kit.h"

inline constexpr int kFieldAsphereDelete = 919;
inline constexpr int kFieldAsphereOrder = kCmdAspL;
inline constexpr int kFieldAsphereCoefficient = kCmdAs_L;
inline constexpr int kFieldPolynomialDelete = 904;
inline constexpr int kFieldSplinePoints = kCmdSpl;
inline constexpr int kFieldSplineHeight = kCmdSh;
inline constexpr int kFieldSplineSag = kCmdSs;
inline constexpr int kFieldSplineDelete = 936;
inline constexpr int kFieldDiffractiveOrder = kCmdDoeL;
inline constexpr int kFieldDiffractiveCoefficient = kCmdDf_L;
inline constexpr int kFieldDesignWavelength = kCmdDwvL;
inline constexpr int kFieldZernikeCoefficient = kCmdZr_L;
inline constexpr int kFieldZernikeSwitch = kCmdZrtL;
inline constexpr int kFieldDiffractionOrder = kCmdDorL;
inline constexpr int kFieldDiffractiveDelete = 908;
inline constexpr int kAsphereRevertCopy = -1178;
inline constexpr int kDiffractiveRevertCopy = -1180;
inline constexpr int kSplineRevertCopy = -1218;

struct CoefficientSheetsState {
    SheetKit standard_asphere{kMsgStandardAsphereRevertCopy};
    SheetKit asphere{kAsphereRevertCopy};
    SheetKit spline{kSplineRevertCopy};
    SheetKit diffractive{kDiffractiveRevertCopy};
};
CoefficientSheetsState& coefficient_sheets_state();
void reset_coefficient_sheets();

int standard_asphere_sheet_event(GridEvent& event);
void print_standard_asphere_sheet();

// The special-data choices 11 to 22: the asphere of the choice's kind made when the surface has
// none (or a standard one) and the choice's kind has an order; a surface's asphere of another
// kind is opened as it is. 0 (also when nothing opens), or a failure of the record or set-up.
int open_asphere_sheet(int choice);
// Choice 23: the spline profile (five points when new). 0 or a failure.
int open_spline_sheet();
// The rows the sheet of an asphere of kind with count coefficients needs.
int asphere_sheet_rows(int kind, int count);
int spline_sheet_rows(int points);

// Choices 27 to 33: the diffractive surface (27-30, 33) or Zernike phase surface (31, 32) of the
// choice's kind made when the surface has none of its family and the kind has an order; a
// record of the family is opened as it is. 0 (also when nothing opens) or a failure.
int open_diffractive_sheet(int choice);
int diffractive_sheet_rows(int kind, int count);
int diffractive_sheet_event(GridEvent& event);
void print_diffractive_sheet();
int asphere_sheet_event(GridEvent& event);
int spline_sheet_event(GridEvent& event);
void print_asphere_sheet();
void print_spline_sheet();
