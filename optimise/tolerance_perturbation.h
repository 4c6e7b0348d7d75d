// The perturbation engine: one tolerance of one surface applied to the lens in place, plus and
// then minus, each state evaluated (and compensated when the lens has variables) into the
// surface's result record, and the lens put back exactly as it was.
#pragma once

// The kinds the engine perturbs.
bool tolerance_kind_built(int kind);

// Perturbs surface s by the tolerance of kind (1..19). mode is the analysis argument: the
// thickness kinds 5 and 6 take either medium under the groups 25 and 27. marks: the element
// marks of the lens. The status of the lens set-up after restoring, or -10.
int perturb_tolerance(int kind, int s, int mode, const int* marks);

// The error value of the lens as the analyses measure it (the root of the minimisation error,
// or the error itself with "OPSS" on), after evaluating the error function.
double tolerance_error_value();

// Whether the medium behind surface s is air at the first wavelength.
bool tolerance_air_behind(int s);
