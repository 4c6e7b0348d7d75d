// A report handed to the user's compiled procedure "rep".
#pragma once

// report_procedure opd a b c d e f g h: runs "rep opd" (opd non-zero) or "rep ray" with the
// eight numbers; -2014 without a compiled "rep".
int cmd_run_report_procedure();
