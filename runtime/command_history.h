// The command line waiting to run and the history of the lines run: a ring of 40 lines, each
// recorded once after it has run (with the prompt answers it collected on the way), echoed into
// the text output when echo is on, and browsed with the arrow keys.
#pragma once

#include <cstddef>
#include <string>

#include "tables/table_names.h"

inline constexpr int kHistoryLines = 40;
inline constexpr std::size_t kHistoryLineSize = 256;
inline constexpr std::size_t kCommandLineLimit = kHistoryLineSize - 1;

// Command numbers served by cmd_command_history.

// Makes text the pending line, to be recorded after it has run (recording flag 1, answer
// collection from 0). An empty text clears the pending line. 0, or -3990 for a text longer
// than 255 characters (nothing changes then).
int set_pending_line(const char* text);
// A line the program runs itself (the exit line, the start-up routine): pending, not recorded.
int set_program_line(const char* text);
// The pending line, or null.
const char* pending_line();
void clear_pending_line();
// 1 the pending line is to be recorded, -1 it has been echoed, 0 it is not recorded.
int history_recording_flag();

// Records the pending line after it has run (when its recording flag is not 0).
void add_to_history();
// The pending line called an interactive handler: it is not recorded as typed.
void forget_history_line();
// Puts text in place of the pending line's text, still to be recorded.
void replace_pending_line(const char* text);

// Prompt answers appended to the pending line while the collection runs.
void collect_answer(const char* answer, bool quoted);
void stop_answer_collection();
int answer_collection_index();

// The echo source of the text output: the pending line once, before the first output.
const char* take_pending_echo();

int history_count();
// Line k counted from the oldest (0), or null.
const char* history_line(int k);
void clear_history();
// The command line's drop-down list gets the history, newest first.
void mirror_history();

// Browsing: the text to put into the command line, or null when nothing changes. The first
// step back keeps current as the text shown after the newest line.
const char* history_previous(const char* current);
const char* history_next();
bool history_browsing();
void end_history_browsing();

// The text of the command line's edit field, and the field emptied with browsing ended.
void set_command_line_text(const char* text);
void clear_command_line();

// Handler kSlotCommandHistory: command 92 clears the command line and the history, 82 lists it.
int cmd_command_history();

// Forgets the history and the pending line (tests).
void reset_command_history();
