// The commands that read the printed-number store back (handler slots 0 and 1). Each handler
// switches on the running command's number: commands 0 to 9 read columns 1 to 10 of the row
// given as argument 1, command 10 the column given as argument 2; command 11 gives the current
// row counted from the first, command 12 the lines written since the last move or clear.
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdOutputColumnLast = kCmdOutJ;
inline constexpr int kCmdOutputAnyColumn = kCmdOutValue;
inline constexpr int kCmdOutputCurrentRow = kCmdOutRow;
inline constexpr int kCmdOutputLinesWritten = kCmdOutLines;

// Double result: the value, or 0.0 outside the store. 0.
int cmd_output_value();
// Int result; 1999 for a command of the family that is neither 11 nor 12. 0.
int cmd_output_rows();
