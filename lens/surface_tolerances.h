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

// The computed result of tolerance value k on surface n is out of date. The tolerancing code
// installs the clearer of its result tables; without one there is nothing to clear.
using ToleranceResultClearer = void (*)(int value, int surface);
void set_tolerance_result_clearer(ToleranceResultClearer clearer);
void clear_tolerance_result(int value, int surface);

// The lens items of the tolerances: the entered value, null on a surface without a record.
void* tolerance_item_address(int surface, int value);
