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
    // The number of the variables' entry that the surface sheet's variable choices name first
    // on their "Add_variable_in_spreadsheet" lines.
    int (*current_variable_entry)();
    // Surfaces a..b were reversed end for end: variables follow their surfaces (a gap's item to
    // the gap it now stands behind) and are sorted again.
    void (*surfaces_reversed)(int a, int b);
    // The image surface changed: what the operand command measures changed with it.
    void (*image_surface_changed)();
};

// Installs links (null members keep the "none" behaviour); null restores the defaults.
void set_optimise_links(const OptimiseLinks* links);

// What lens files need of the optimisation code; until it installs these, a lens file has no
// variables or operands block, the lens has one configuration, and reading needs no follow-up.
struct OptimiseFileLinks {
    // Lens files. The variables block ("VAR NEW", one "V" line per variable, "END") and the
    // operands block ("OPE NEW", one "O" line per operand with an expression, "END"), each
    // written through write_lens_line (lens_file_format.h) and only when there is something to
    // write; the OPE section is selected by the lens-file code.
    void (*write_variables)();
    void (*write_operands)();
    // The configuration in force, and a switch to another one (the writer writes in 1).
    int (*current_configuration)();
    void (*set_configuration)(int configuration);
    // After a lens file was read: every variable takes its value from the new lens, and a
    // constraint operand with a non-zero value shows -1162 once.
    void (*after_lens_read)();
};
void set_optimise_file_links(const OptimiseFileLinks* links);

int optimise_highest_variable();
OptimiseVariableRef optimise_variable_at(int index);
void optimise_surface_inserted(int s);
void optimise_surface_deleted(int s);
void optimise_new_lens();
void fill_derivative_increments();
int optimise_current_variable_entry();  // 1 without optimisation
void optimise_surfaces_reversed(int a, int b);
void optimise_image_surface_changed();
void optimise_write_variables();
void optimise_write_operands();
int optimise_current_configuration();  // 1 without optimisation
void optimise_set_configuration(int configuration);
void optimise_after_lens_read();
