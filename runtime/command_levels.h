// Command levels: a command keeps control after it has returned, through a level handler that
// the main loop feeds with the user's events, up to 16 levels deep. The first interactive level
// keeps a copy of the argument cells of the command that opened it, so that the level edits the
// command's arguments; its output goes to its own window while it is open.
#pragma once

#include <cstdint>

#include "runtime/arg_cells.h"
#include "tables/table_names.h"

inline constexpr int kLevelLimit = 16;
inline constexpr int kLevelSavedCells = 24;
inline constexpr int kLevelPromptSize = 48;  // 47 characters and the terminator

// Event codes a level handler receives.
enum LevelEventCode : int {
    kLevelEventRowAction = 1,    // a row selector was activated, or the queued action 1
    kLevelEventCellChanged = 3,  // the current cell changed (the value points to an edit buffer)
    kLevelEventActivate = 4,     // a cell was activated, or a field of a form changed
    kLevelEventEdited = 5,       // a cell's value was changed by editing
    kLevelEventChange = 7,       // the level changes: argument 1 pushed over, 0 left, -1 re-run
    kLevelEventShown = 8,        // the level's display has been built
    kLevelEventTypedText = 6,    // the command-line text was committed for the level
    kLevelEventListDown = 9,     // value-list state: step down, up, nearest
    kLevelEventListUp = 10,
    kLevelEventListStart = 11,
    kLevelEventCommand = 19,   // the command text composed from the level is about to run
    kLevelEventMayClose = 22,  // may the level close? 0 or 1 yes, -9999 keeps it
    kLevelEventTypedLine = 106,
    kLevelEventRerun = 107,
};

// The record a level handler receives (and may change).
struct GridEvent {
    std::int32_t field = 0;
    std::int32_t first_index = -1;
    std::int32_t last_index = -1;
    std::int32_t argument_group = -1;
    std::int32_t value_type = 0;
    std::int32_t argument = 0;
    std::int32_t range_rows = 0;
    std::int32_t code = 0;
    ArgValue value{};
    char* text = nullptr;  // the event's text buffer (code 19: the command text, 256 bytes)
    double pick_x = 0;     // a pick of the interactive window, in its world coordinates
    double pick_y = 0;
};

using LevelHandler = int (*)(GridEvent& event);

struct LevelChoice {
    std::int32_t a;
    std::int32_t b;
};

struct CommandLevel {
    LevelHandler handler = nullptr;
    std::int32_t selection[2] = {};
    int rows = 0;
    int size_mode = 0;
    int header_rows = 0;
    int option = 0;
    LevelChoice choices[4] = {};
    int choice_count = 0;
    int cursor_field = 0;
    int cursor_index = 0;
    int cleared[2] = {};
    char prompt[kLevelPromptSize] = {};
    char button_text[kLevelPromptSize] = {};  // one button of the level's strip, when any
    int button_id = 0;
};

// Open levels (0..16) and the top level's record (null without levels). A pushed level counts
// once the main loop has built it.
int level_count();
CommandLevel* top_level();
CommandLevel* level_record(int n);  // 0 the first level

// Asks for a new level on top: 0, or -3991 when 16 levels are open (the asker is told).
int push_command_level(LevelHandler handler, int rows, int size_mode);
// The main loop's half of a push (run state 108): the level counts from now on.
void commit_pushed_level();
bool level_push_pending();
void pop_command_level(bool by_escape);
int run_command_level(GridEvent& event);
// True while a level handler runs (events asked for meanwhile are not delivered).
bool level_handler_running();
void build_level_display();
void end_command_level();
// Handler kSlotExitLevels.
int cmd_exit_levels();

void set_level_rows(int rows);
void set_level_header_rows(int n, int a, int b);
void set_level_option();
void set_level_cursor(int field, int index, int flag);
void set_level_choices(int count, const LevelChoice* pairs);
void set_level_prompt(const char* text);
void set_level_button(const char* text, int id);

// The saved call of the first interactive level.
int saved_level_command();
int saved_level_arg_count();
ArgCell* saved_level_cell(int i);
void store_level_field_value(int field, const ArgCell& value);
void level_command_text(const char* text);
// With a text, the graphics code makes the text and the rebuilt command the current graphics
// window's redraw text (the window code lies above: app/ installs it; null does nothing).
using LevelGraphicsText = void (*)(const char* text, const char* command);
void set_level_graphics_text(LevelGraphicsText hook);
void record_command_text();

// Output of the level's window.
int begin_level_output();
// The window code above this layer prepares the level's window for new output (emptied, its
// header rows set, output directed there) and answers the window, or 0 to leave the output
// where it is. Without one the output stays in the current window.
void set_level_output_preparer(int (*prepare)());
int end_level_output();
int level_output_mode();
// The grid above this layer refreshes the level's sheet once its output has ended: the cursor
// set by set_level_cursor, or the cell that was current, is made current and shown; a sheet of
// size mode 1 without either gets its first data cell.
void set_level_refresh_hook(void (*refresh)());
// The grid above this layer delivers the level changes (n = 2 pushed over, 1 left, 0 left by
// Escape or re-run: event 7 with argument n - 1); without it they go to the handler directly.
void set_level_change_sender(int (*sender)(int n));
void request_listing_stop();
void clear_listing_stop();

void reset_command_levels();

// Called when the last level has closed, to put its window away (the window code lies above:
// app/ installs it; null does nothing).
void set_level_window_closer(void (*close)());

// The prompt field of the command line, which shows the current level's prompt (null clears
// it); the command line above this layer installs it.
void set_level_prompt_display(void (*show)(const char* text));
