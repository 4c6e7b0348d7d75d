// Printing a text window's lines to the printer or to a text file, copying them to the
// clipboard, and the program's two printer choices (text and graphics) with their page margins
// and the destinations kept in the settings.
#pragma once

#include <cstdint>
#include <string>

#include "tables/table_names.h"

// Destination codes: 0 the printer, 1 a file.
struct PrinterChoices {
    std::int32_t print_destination = 0;
    std::string print_file;
    std::int32_t plot_destination = 0;
    std::string plot_file;
};

// Page margins in hundredths of a millimetre.
struct PageMargins {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Mode 0 stores the choices (start-up) and sets the default margins, 1 returns them; 2 and 3
// are the text and graphics page set-ups.
void printer_setup(PrinterChoices& choices, int mode);
PageMargins text_margins();
PageMargins graphics_margins();

// Window 1, 2, 5 (the edit window: always to the printer) or 0 (the current text window). To a
// file: the name is asked for when ask is set or the name is empty. 0 (also after a cancel, which
// shows -144) or -9998.
int print_text_window(int window, int to_file, int ask, const char* file_name);
// The window's lines, each followed by CR LF, as clipboard text: 0 or -9998.
int copy_text_to_clipboard(int window);

// The print command: destination 0 the printer, 1 a file (an empty name asks). The plot
// command (235) shares its slot: the graphics code above this layer serves it, and the
// application installs it here.
int cmd_print_or_plot();
void set_graphics_plot_command(int (*plot)());

// The printer command: the text printer's page set-up for argument 0, else the graphics one.
int cmd_printer_capabilities();

void reset_text_print();
