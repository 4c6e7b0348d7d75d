// The installed console program run as a user scripts it: typed lines in on its standard input,
// what it shows on standard output and standard error back, in a test's temporary tree.
#pragma once

#include <string>

#include "tests/support/temp_tree.h"

namespace tavo_test {

struct TavoltRun {
    int exit_code = -1;  // -1 when the program did not end by itself (a crash, a signal)
    std::string shown;
};

// Runs the installed tavolt with TAVO_UI=console on lines, written to lines.txt in the tree; what
// it shows is kept in out.txt there. A run that does not end by itself fails the test.
TavoltRun run_tavolt(const TempTree& tree, const std::string& lines);

}  // namespace tavo_test
