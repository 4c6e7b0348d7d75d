// The printed tolerance table of the surfaces and the printed list of the element tolerances.
// Values the designer has not given show as their defaults.
#pragma once

#include <string>

#include "lens/surface_tolerances.h"

// One table number: the value in exactly `width` columns, after one blank when flag is 0 (none
// when 1). Zero shows one decimal; a value whose integer part does not fit, or a non-zero value
// below the last decimal, shows in the general number form after two blanks (one with flag 1).
std::string tolerance_number_text(double value, int width, int decimals, int flag);
void print_tolerance_number(double value, int width, int decimals, int flag);

// The text of a table column holding v: its field after a blank, or the column's dash text for
// a zero while Print_zero is off.
std::string tolerance_field_text(double v, int width, int decimals);
// A fringe column (5 wide, 2 decimals): a class mark ('*' or '#') takes the place of the
// field's leading blank, so that marked and unmarked columns stay in line.
std::string tolerance_fringe_text(double v, char mark);
// The mark after fringe value k of surface s as shown: '*' for a default of diameter class 2,
// '#' for one of class 3 (their fringes are counted over a test plate), else ' '.
char tolerance_fringe_mark(int s, int k, const SurfaceTolerances& shown);
// Decimals of the tilt columns: 2 in minutes and seconds of arc, 4 in degrees and radians.
int tolerance_angle_decimals();
// The note naming the angle unit of the tilts, with its line end.
void print_tolerance_angle_note();
// The medium name of surface s right-justified in 10 columns.
std::string tolerance_medium_text(int s);

// The surfaces a list shows: all of them (1 to the image) or first to last as typed, where a
// first of 0 means 1 except with a last of 0 too (the image alone), a last left out means the
// image and a last below the first is raised to it.
struct SurfaceRange {
    int first;
    int last;
};
SurfaceRange tolerance_surface_range(bool all, int first, int last, bool last_given);

// Handler kSlotToleranceTable (command 814): all-surfaces flag, first, last. 0.
int cmd_tolerance_table();
// Handler kSlotElementTolerances (command 816): all-surfaces flag, first, last. 0, -10 or
// -2973 (the lens has no element).
int cmd_element_tolerances();

// The handlers of the tables and sheets and the lens items of the tolerances.
void install_tolerance_tables();
