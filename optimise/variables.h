// Optimisation variables: the lens values the optimiser may change (curvature, conic, thickness,
// aperture, toric x-curvature, asphere coefficients AD..AG, decentres and tilts), their bounds,
// derivative increments and damping weights, their sorted order, listing and lens-file block,
// and how they follow surface insertions and deletions.
#pragma once

#include <vector>

#include "optimise/optimise_data.h"

// Variable types.
enum VariableType : int {
    kVarCurvature = 1,
    kVarConic = 2,
    kVarThickness = 3,
    kVarAperture = 4,
    kVarIndex = 5,       // of a model glass
    kVarDispersion = 6,  // of a model glass: its Abbe number
    kVarXCurvature = 7,
    kVarAsphereFirst = 9,  // AD; AE 10, AF 11, AG 12
    kVarAsphereLast = 12,
    kVarDecentreFirst = 13,  // DCX, DCY, DCZ, TLA, TLB, TLC
    kVarDecentreLast = 18,
    // Itemised types: the item is the coefficient's place.
    kVarAsphereItem = 20,      // entered asphere coefficient
    kVarDiffractiveItem = 21,  // coefficient of a polynomial diffractive surface
    kVarZernikeItem = 22,      // coefficient of a Zernike diffractive surface
    kVarAsphereTerm = 24,      // polynomial term of an asphere, by its term number
    kVarSplineSlope = 31,      // profile slope of a spline knot ("SS" of the lens entry)
    kVarGrinFirst = 39,        // GRIN coefficient row `item` at wavelength 1; 46 wavelength 8
    kVarGrinLast = 46,
    kVarGrinGoz = 63,   // axial offset of a GRD medium
    kVarGrinGmz = 64,   // axial scale of a GRD medium
    kVarGrinGnz = 108,  // axial index polynomial coefficient of a GRD medium ("GNZ")
};

// A type code above this carries the item: type = code / 1000, item = code % 1000.
inline constexpr int kItemisedTypeCode = 1000;

bool variable_type_itemised(int type);

// Whether the program can read and write a type.
bool variable_type_known(int type);
// Whether the surface holds the item of an itemised type (other types: always).
bool is_variable_item_invalid(int type, int item, int surface);
// Whether the type can be varied on the surface: no solve or pickup fixes the value and the
// record it lives in exists; index and dispersion only for a model glass.
bool variable_type_offered(int type, int surface);
// The entries of the variable-type list (0-based) that variable_type_offered lets through for
// the type filter's surface.
std::vector<int> offered_variable_type_entries();
// A type code, itemised or not, split into type and item.
void split_variable_code(int code, int* type, int* item);
// The lens value a variable names; 0 when the surface lacks the record it lives in.
double get_variable_value(int type, int surface, int item);
// Writes it (nothing when the record is absent); the lens is not set up.
void set_variable_value(const Variable& v, double value);

// Variable entry's commands on variable number (0-based). Define (action 0) or insert (3):
// 0, -2449 duplicate, -2450 table full, -2592 item not valid, -2448. print: the line is shown.
// type may be an itemised code (above kItemisedTypeCode).
int define_variable(int action, int number, int surface, int configuration, int type, double lower,
                    double upper, double damping, double increment, bool print);
int delete_variable(int number);
// Actions 4 value (the lens is set up; a failing set-up restores the old value), 5 lower, 6 upper,
// 7 damping weight, 8 increment. 0 or an error.
int set_variable_attribute(int number, int action, double value);

void check_variable_bounds(Variable& v);
// The step of a derivative: |increment|, else 0.001 |value| above 1e-6, else 1e-9.
double derivative_step(double increment, double value);
double auto_derivative_increment(const Variable& v);
// Every variable whose increment is exactly 0 takes the default increment.
void fill_zero_increments();
void sort_variables();
// mode -1: the full line with bounds; otherwise the change of the last iteration.
void print_variable_line(int number, int mode);
// Each variable takes its current lens value as its stored value; the has-bounds flag follows.
void store_variable_values();

// The variable block of a lens file.
void write_variables();

// Installs both link records of the lens layer.
void install_optimise_links();
