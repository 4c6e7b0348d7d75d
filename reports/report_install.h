// The analysis plots' handlers, put in their slots by the program's one installer.
#pragma once

void install_report_handlers();
