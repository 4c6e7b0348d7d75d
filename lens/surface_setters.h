// Setters of surface data that keep a surface's kind bytes, pickup sources, values and
// special-data records consistent. None runs the lens set-up.
#pragma once

#include <cstdint>

void set_curvature_data(int n, std::uint8_t kind, std::int16_t source, double solve_value,
                        double curvature);
void set_thickness_data(int n, std::uint8_t kind, std::int16_t source1, std::int16_t source2,
                        double value1, double value2, double thickness);
void set_conic_constant(int n, double conic);
void set_aperture_data(int n, std::uint8_t kind, std::int16_t source, double radius);

// Where set_surface_medium takes the per-wavelength values of a model glass from: the argument
// cells of the running command and the parameter prompts, installed by the command dispatch.
struct MediumEntrySource {
    // Cell c of the running command: 0 absent, 1 a double (value set), 2 given but not a double.
    int (*argument)(int cell, double* value);
    // Prompts for parameter param: 0 with the value, or a negative result.
    int (*prompt)(int param, double* value);
};
// Installs the source; null takes it away (no arguments, every prompt cancelled).
void set_medium_entry_source(const MediumEntrySource* source);

// 0, -9998 after a message, -353 when the model-glass arrays cannot be had, or the result of a
// failed prompt.
int set_surface_medium(int n, int kind, const char* name, std::int16_t source);

// Surface n's medium becomes a model glass (kind 0) of its own, defined at the lens wavelengths
// by the indices the surface has now, so that its indices can be changed one by one without
// touching any other surface. A model glass that no other surface names is kept under its name;
// otherwise the glass is named GLASS<n> (or the first free name after it). The expansion
// coefficient stays. 0, -9998 after message -552 (the glass is an optimisation variable) or
// -497, or -353 when the arrays cannot be had.
int make_model_glass_own(int n);

void set_polynomial_asphere_term(int n, int order, double value);
// 0, -10 (a resize failed; the old record stays), or -9998 after message -353.
int alloc_asphere_record(int n, int kind, int order);
int alloc_diffractive_record(int n, int kind, int order);

// A second curvature in the x-z section: a curvature pickup is dropped first; the toric flag is
// set, except on a biconic asphere, whose record carries the second curvature itself.
void set_toric_curvature(int n, double x_curvature);
// The surface loses its x-curvature, x-conic and toric flag (and a curvature pickup).
void remove_toric(int n);
