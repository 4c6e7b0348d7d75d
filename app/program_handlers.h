// The one place where every part of the program is wired in, once at start: the command
// handlers of each subsystem, and the hooks through which a lower layer reaches a service
// above it.
#pragma once

void install_program_handlers();
