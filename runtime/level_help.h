// Help printed for a command level, and the title and help topic of the spreadsheet window
// that shows a level. The title is kept here, below the window code, and set on window 3 when
// it is given, if that window exists then.
#pragma once

inline constexpr int kNoHelpTopic = 8191;
inline constexpr int kHelpTopicUnset = -1;

// For the current level: the help text under keys (93, 92), then one line per field: its
// title and value followed by the text under keys (93, field index).
void print_level_help();
// While the spreadsheet's help topic is unset: the window title from the message (for a title
// message that is not negative the head of the command's help block, keys (91, 93), its first
// line, or without one the command's name) and the topic (negative n gives n's absolute
// value, 0 none (8191), positive 0, which lets the command's help block decide).
void sheet_set_title(int topic, int title_message);
int sheet_help_topic();
const char* sheet_title();
// The spreadsheet's level has closed: the next level sets title and topic afresh.
void reset_sheet_title();
