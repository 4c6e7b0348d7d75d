// The conjugates window: a command level that shows the first-order layout of the lens as a
// nine-line table with a hot spot before each value, and changes the lens when a value is
// entered. In the console the table is printed; choosing a hot spot needs the spreadsheet grid.
#pragma once

struct GridEvent;

int cmd_open_paraxial_window();
int paraxial_window_proc(GridEvent& event);
// Solves the conjugates and prints the table into the level's output. 0 or the solve's code.
int paraxial_window_table();
void install_conjugates_window();
