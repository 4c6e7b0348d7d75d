// The tolerance analyses as commands: sensitivity (the changes each tolerance causes),
// inverse sensitivity (the tolerances that cause a given change), and the tolerance command
// that runs either by its first word.
#pragma once

#include <string>

int cmd_tolerance_sensitivity();
int cmd_tolerance_inverse_sensitivity();
int cmd_tolerance();

// The lens text without its tolerance records: what the results of a run were computed on.
std::string lens_text_without_tolerances();

void install_tolerancing_handlers();
