// Numbers are printed and read the same way on every machine: the C numeric locale holds for
// the whole run, whatever the environment or a GUI toolkit sets. The user's own decimal
// separator is still known, for the few places that show it.
#pragma once

namespace platform {

// Sets LC_NUMERIC to "C" (again); called at start and after anything that may reset it.
void force_c_numeric_locale();

// The decimal separator of the user's environment locale (LC_NUMERIC / LC_ALL / LANG).
char user_decimal_separator();

}  // namespace platform
