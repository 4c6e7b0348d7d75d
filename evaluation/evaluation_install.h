// The evaluation commands' handlers, put in their slots by the program's one installer.
#pragma once

void install_evaluation_handlers();
