// The damped-least-squares optimiser: forward-difference derivatives of every operand by every
// variable, damped normal equations, the active constraints through Lagrange multipliers, and
// the damping search of mode 3. The iterate command prints its report; iterate_quiet runs the
// same loop silently for tolerancing's compensators.
#pragma once

// Where a run's time goes, counted and timed only when a caller asks (the tolerance benchmark):
// lens set-ups and operand evaluations, derivative steps included.
struct IterateProfile {
    long setups = 0;
    long evaluations = 0;
    double seconds = 0.0;  // spent in both
};

// How an iteration steps (the iterate command's mode): other modes take plain damped steps.
enum IterateMode : int { kIterateConstraintsOnly = 1, kIterateDampingSearch = 3 };

// Reporting of one run.
struct IterateOptions {
    int mode = kIterateDampingSearch;  // IterateMode
    int count = 10;                    // iterations
    int report = 0;  // 0 two-line report (mode 3), other values a table row; 2 adds trial steps
    bool recompute_increments = false;
    bool reset_damping_weights = false;
    bool quiet = false;  // no listing at all
    // Economy of a damping search that runs many times on nearly the same problem (tolerance
    // compensation), 0 for the plain search: the search ends after the first iteration that
    // gains less than this share of the merit, a step whose linear model promises less than
    // that share is not retried with more damping, and the damping is not reduced further once
    // a reduction gains less than that share.
    double economy_share = 0.0;
    IterateProfile* profile = nullptr;
};

// 0, -2463 no variables, -2464 no operands, -10, -2462, -2465, -2466, -9999 (stopped after
// Escape: the values of the iteration's start restored), or the operand command's failure.
int run_iterations(const IterateOptions& options);
int iterate_quiet(int mode, int count, int unused);

// The derivatives of the minimisation operands in a 1-based operand range by the variables
// (sorted order) in a 1-based range, five variables to a block; 0 0 means all. 0, -2463,
// -2464, -2677 (no minimisation operand) or the operand command's failure.
int print_derivative_table(int first_operand, int last_operand, int first_variable,
                           int last_variable);

// The iterate command (slot 162) and the derivative table (command derivatives).
int cmd_iterate();
