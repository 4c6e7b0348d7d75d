// The lines of the sensitivity and inverse sensitivity reports: one per surface and tolerance
// kind, the blocks of the selected operands, the summary that combines every tolerance, the
// compensator statistics, and the inverse-tolerance formula they rest on.
#pragma once

// The header message of kind 1..19; 0 otherwise.
int tolerance_kind_header(int kind);
// Whether surface s has a line in the block of kind: every surface, but the thickness kinds 5
// and 6 only behind air and behind glass.
bool tolerance_kind_covers(int kind, int s);
// Whether some surface carries a non-zero tolerance of kind (kind 9 only with 3 wavelengths).
bool tolerance_kind_present(int kind);

void list_tolerance_line(int kind, int s);
// The block of the j-th selected operand (0-based) for kind.
void list_operand_tolerance(int j, int kind);

// The tolerance at which the quadratic through the + and - changes p, m (at +t and -t) reaches
// the change target; solved false when no tolerance does.
struct InverseTolerance {
    double value;
    bool solved;
};
InverseTolerance inverse_tolerance(double p, double m, double t, double target);
// The factor that turns fringes over the test plate into fringes over the clear aperture.
double fringe_aperture_ratio(int s);
void list_inverse_tolerance_line(int kind, int s, double target);

// The summary over every listed kind: worst case and root-sum-square estimates of the error
// and of each selected operand.
void print_tolerance_summary(int selection);
// Statistics of the compensator movements over every listed kind (only with variables).
void list_compensator_changes(int selection);

// Counts over the listed kinds: records whose perturbed lens failed, and compensations that
// failed.
struct ToleranceFailures {
    int states = 0;
    int compensations = 0;
};
ToleranceFailures count_tolerance_failures(int selection);
