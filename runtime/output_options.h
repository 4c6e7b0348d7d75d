// The one-byte output and window switches that the settings reach through set_window_option,
// read by the message layer, the text output and the window code. Each switch has a number
// (the option number of set_window_option) and a compiled-in start value.
#pragma once

#include <cstdint>

enum OutputOption : int {
    kOptionOutputOn = 1,            // setting 20: text output on
    kOptionLog = 2,                 // setting 21 Output_log: lines go to the log file too
    kOptionEcho = 3,                // setting 22 Output_echo: commands and status texts echoed
    kOptionStepMode = 4,            // setting 23: step mode
    kOptionPageMode = 5,            // setting 19 Output_page_mode
    kOptionMenubar = 6,             // setting 36 Show_menubar
    kOptionToolbar = 7,             // setting 35 Show_toolbar
    kOptionWhiteBackground = 8,     // setting 40 Graphics_white_bkgnd
    kOptionBlackAndWhite = 10,      // setting 42 Graphics_black_and_white
    kOptionAlternateGraphics = 11,  // setting 43
    kOptionPrintZero = 12,          // setting 48 Print_zero
    kOptionHpgl2 = 13,              // setting 52 Graphics_HPGL2
    kOptionHistoryAliases = 14,     // setting 53 Cmd_history_aliases
    kOptionOutputText = 15,         // setting 54 Output_text: text goes to the text windows
    kOptionTrim = 16,               // setting 55 Trim_numeric_output
    kOptionNoErrorBoxes = 17,       // setting 56 No_error_boxes
    kOptionFivePlaces = 18,         // setting 57 Five_place_numeric_output
    kOptionIsomorphicLabels = 19,   // setting 69 Graphics_isomorphic_labels
};

inline constexpr int kOptionLimit = 20;  // switches 1..19; 0 and 9 are never stored

// The value of switch n (0 or 1); 0 for numbers outside 1..19.
int output_option(int n);
// Stores switch n as 0/1, without any side effect (set_window_option adds those). Numbers
// outside 1..19 and 9 are ignored.
void set_output_option(int n, int value);
// Back to the compiled-in start values: 1, 8, 15 and 16 on, the rest off.
void reset_output_options();

// Armed when page mode is turned on; the text window's page-full check consumes it.
bool page_full_check_armed();
void set_page_full_check_armed(bool armed);
