// The lens-entry handlers go into their slots, and the entry frame's output switches into the
// command language's built-in variables.
#pragma once

void install_entry_handlers();
