// Every part that serves commands puts its handlers into the handler table here, once at start.
#pragma once

void install_program_handlers();
