// The command language's array mathematics: index sorting, the 2-D FFT, linear solves and
// matrix products, polynomial interpolation and the piecewise-cubic table fit. The handlers
// check the shapes of the array arguments and hand the work to the numeric library.
#pragma once

#include "runtime/messages.h"

enum ArrayCommand : int {
    kCmdFft = 153,
    kCmdIfft = 154,
    kCmdSolve = 155,
    kCmdMatVec = 156,
    kCmdMatTVec = 157,
    kCmdMatAta = 158,
    kCmdMatAat = 159,
    kCmdMatMul = 160,
    kCmdSort = 161,
    kCmdInterpolate = 162,
    kCmdFitTable = 166,
    kCmdFitEval = 167,
};

enum ArrayMessage : int {
    kMsgInterpolationFailed = -59,
    kMsgArrayShapes = -99,
    kMsgSortArguments = -185,
    kMsgNoTableFit = -194,
};

int cmd_sort();
int cmd_fft();
int cmd_matrix_solve();
int cmd_matrix_product();
int cmd_interpolate();
int cmd_table_fit();
void install_array_commands();
