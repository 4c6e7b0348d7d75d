// Changes a plot makes to the program's state for its duration and puts back on every way out:
// the stored field point and the current wavelength with its reference ray.
#pragma once

#include <vector>

#include "runtime/arg_cells.h"
#include "trace/object_point.h"

// Puts the reference ray's own object point in place of the stored field point (not marked as
// a selected field point), so that re-aiming during the plot keeps it.
class FieldPointScope {
public:
    FieldPointScope();
    ~FieldPointScope();
    FieldPointScope(const FieldPointScope&) = delete;
    FieldPointScope& operator=(const FieldPointScope&) = delete;

private:
    ObjectPoint saved_;
};

// Makes other wavelengths current with their reference rays aimed; at the end the first
// wavelength is current again and its reference ray re-aimed.
class WavelengthScope {
public:
    WavelengthScope();
    ~WavelengthScope();
    WavelengthScope(const WavelengthScope&) = delete;
    WavelengthScope& operator=(const WavelengthScope&) = delete;
    // Wavelength index w current and its reference ray aimed: 0 or the aim's failure.
    int change_to(int w);

private:
    int saved_;
    bool changed_ = false;
};

// A copy of the running command's cells that the plot reads instead of the caller's, so that a
// plot can take a value of its own (a one-wavelength lens asked for all wavelengths) without
// writing the caller's cells.
class LocalArguments {
public:
    LocalArguments();
    ~LocalArguments();
    LocalArguments(const LocalArguments&) = delete;
    LocalArguments& operator=(const LocalArguments&) = delete;
    void set_int(int i, int v);

private:
    ArgCell** vector_;
    int count_;
    const ArgShape* shapes_;
    std::vector<ArgCell> cells_;
    std::vector<ArgCell*> pointers_;
};
