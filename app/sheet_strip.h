// The strip across the top of the spreadsheet window (3): its OK, Cancel and Help buttons and
// the tool row of the list named by message -195; and what a press of one of them does.
#pragma once

#include "tables/table_names.h"
#include "ui/window_table.h"

// Where the buttons stand: OK and Cancel from the left, Help from the right edge, the tool row
// after Cancel.
inline constexpr int kSheetOkX = 2;
inline constexpr int kSheetCancelX = 28;
inline constexpr int kSheetHelpFromRight = 26;
inline constexpr int kSheetToolRowX = 58;

// One picture button of a window's strip: its identifier, picture, x (negative: from the right
// edge) and the message of its tip.
struct StripPictureButton {
    int id;
    const char* bitmap;
    int x;
    int tip;
};
// Adds the buttons to the window's strip; a picture that cannot be read leaves its button out.
void add_strip_picture_buttons(int window, const StripPictureButton* buttons, int count);

// The frame's toolbar when Show_toolbar is on and it is not there yet. The spreadsheet's tool
// row numbers its buttons after the frame's, so the frame's comes first.
void build_frame_toolbar();
// Makes the strip on window 3 and fills it: the tool row, then OK, Cancel and Help. A picture
// that cannot be read leaves its button out. 0, or -1 without window 3.
int build_sheet_strip();
// A strip button of window `window` was pressed: 101 keeps the entries of the current command
// level, 102 cancels them, 103 shows the current command's help topic; any other identifier
// is a button of a tool row.
void run_strip_command(int window, int command);
// The help topic of the command the spreadsheet shows: 0, or -100 when it has none (its topic
// is 8191, or 0 with no number under the "[[" key of its help block) or the help file cannot
// be shown.
int show_sheet_command_help();
