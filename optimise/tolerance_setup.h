// What a tolerance run does before its first perturbation and undoes after its last: the
// tolerances filled and zeroed for the run, solves made plain, the nominal variable values,
// and the compensation that re-optimises the variables after each perturbation.
#pragma once

#include <memory>
#include <vector>

#include "lens/surface_tolerances.h"
#include "optimise/damped_least_squares.h"

// The designer's data a run changes for its own purpose (curvature solves, tolerance records and
// their switches), put back exactly when the scope ends, on every way out.
class ToleranceUserData {
public:
    ToleranceUserData();
    ~ToleranceUserData();
    ToleranceUserData(const ToleranceUserData&) = delete;
    ToleranceUserData& operator=(const ToleranceUserData&) = delete;

private:
    struct Surface {
        bool had_record = false;
        SurfaceTolerances record{};
        unsigned char curvature_kind = 0;
        double curvature_solve_value = 0.0;
        double curvature = 0.0;
    };
    std::vector<Surface> surfaces_;
};

// Records made where missing, defaults filled, solves made plain and tolerances zeroed where
// the data they govern follow other data; then the lens set-up. 0, -10 or the set-up's status.
int prepare_tolerances();

// The tolerances of data that a variable drives become 0 (given), for this run.
void mark_compensator_tolerances();

// The variables' current values become the nominal ones, and back.
void save_variable_values();
void restore_variable_values();

// Re-optimises the variables: five damping-search iterations with the optimiser's default
// settings, each operand measured from its nominal value, ending as soon as an iteration gains
// less than the stop threshold's share. The search's status; its set-ups and evaluations are
// added to used.
int run_compensators(IterateProfile& used);
