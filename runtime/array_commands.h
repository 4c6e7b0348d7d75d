// The command language's array mathematics: index sorting, the 2-D FFT, linear solves and
// matrix products, polynomial interpolation and the piecewise-cubic table fit. The handlers
// check the shapes of the array arguments and hand the work to the numeric library.
#pragma once

#include "runtime/messages.h"
#include "tables/table_names.h"

int cmd_sort();
int cmd_fft();
int cmd_matrix_solve();
int cmd_matrix_product();
int cmd_interpolate();
int cmd_table_fit();
void install_array_commands();
