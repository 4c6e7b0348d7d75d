// The tolerances of one surface: eighteen values, each with a switch (0 not given, 1 given,
// 2 given and held), in the order the tolerancing code numbers them. Entry stores them; the
// tolerance analysis reads them and keeps its results elsewhere.
#pragma once

#include <cstdint>

inline constexpr int kToleranceCount = 18;

enum ToleranceValue : int {
    kTolSpt = 0,
    kTolIrt = 1,
    kTolRdt = 2,
    kTolCct = 3,
    kTolTht = 4,
    kTolDzt = 5,
    kTolRnt = 6,
    kTolVnt = 7,
    kTolDct = 8,
    kTolDxt = 9,
    kTolTlt = 10,
    kTolTbt = 11,
    kTolCdx = 12,
    kTolCdy = 13,
    kTolCaa = 14,
    kTolCab = 15,
    kTolCca = 16,
    kTolCcb = 17,
};

struct SurfaceTolerances {
    double values[kToleranceCount];
    std::uint8_t switches[kToleranceCount];
};

// All values and switches 0, then the switches of RDT, CCT, DZT, CAA and CAB 1. The record of
// surface n must exist.
void reset_surface_tolerances(int n);
// The record of surface n, made and reset when missing; null when it cannot be had.
SurfaceTolerances* ensure_surface_tolerances(int n);

// The class of a surface or element by its semi-diameter in millimetres: 0 up to a full
// diameter of 10 mm, 1 up to 30, 2 up to 100, else 3.
inline constexpr int kDiameterClasses = 4;
int diameter_class(double semi_diameter);

// The default tolerances of a diameter class, in millimetres, fringes and arc minutes; the
// test-plate diameter scales fringes (0: no scaling).
struct ToleranceClassDefaults {
    double power_fringes;
    double irregularity_fringes;
    double thickness;
    double decentre;
    double tilt_minutes;
    double test_plate_diameter;
};
inline constexpr ToleranceClassDefaults kToleranceClassDefaults[kDiameterClasses] = {
    {5.0, 1.0, 0.1, 0.0, 30.0, 0.0},
    {10.0, 2.0, 0.2, 0.0, 20.0, 0.0},
    {10.0, 2.0, 0.4, 0.0, 10.0, 30.0},
    {10.0, 2.0, 0.8, 0.0, 10.0, 60.0},
};
inline constexpr double kDefaultIndexTolerance = 0.001;
inline constexpr double kDefaultAbbeTolerance = 0.8;  // per cent

// The computed result of tolerance value k on surface n is out of date. The tolerancing code
// installs the clearer of its result tables; without one there is nothing to clear.
using ToleranceResultClearer = void (*)(int value, int surface);
void set_tolerance_result_clearer(ToleranceResultClearer clearer);
ToleranceResultClearer tolerance_result_clearer();
void clear_tolerance_result(int value, int surface);

// The lens items of the tolerances: the entered value, null on a surface without a record.
void* tolerance_item_address(int surface, int value);
