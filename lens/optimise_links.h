// What the lens operations need of the optimisation and tolerancing code: its variables and
// operand tokens store surface numbers that follow insertions and deletions, a new lens empties
// them, and surface searches ask which lens values are variables.
//
// The optimisation code installs its functions with set_optimise_links. Until it does, the lens
// has no variables and no operands: every query answers "none" and every renumbering has
// nothing to renumber.
#pragma once

struct OptimiseVariableRef {
    int type;  // 1 curvature, 3 thickness, 5 model-glass index, 6 its dispersion
    int surface;
    int configuration;  // 0 = every configuration
};

struct OptimiseLinks {
    // Highest used index of the variable table, -1 when empty.
    int (*highest_variable)();
    OptimiseVariableRef (*variable_at)(int index);
    // A surface was inserted at s: variables and operand-token surface words >= s move up one
    // (the second surface word of item tokens too); with operands, the operand-renumbered mark
    // is set and the operand-table debug dump runs.
    void (*surface_inserted)(int s);
    // Surface s was deleted: the dump mark is cleared, variables on s are removed (the row
    // counter drops with each), later ones move down one and are re-sorted; operand-token
    // surface words > s move down one; with operands the renumbered mark is set.
    void (*surface_deleted)(int s);
    // A new lens: both variable-sheet counters 1, the variable table empty, no operands, the
    // menu state updated, the tolerance change arrays and results freed.
    void (*new_lens)();
    // The derivative increment went from 0 to a value: every variable whose own increment is 0
    // takes its default increment.
    void (*fill_derivative_increments)();
};

// Installs links (null members keep the "none" behaviour); null restores the defaults.
void set_optimise_links(const OptimiseLinks* links);

int optimise_highest_variable();
OptimiseVariableRef optimise_variable_at(int index);
void optimise_surface_inserted(int s);
void optimise_surface_deleted(int s);
void optimise_new_lens();
void fill_derivative_increments();
