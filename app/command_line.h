// The command line of the main window: Enter and Escape in every situation, lines delivered by
// menus and buttons, the immediate command, the prompt display with its flashing timer, the
// question that waits for a typed answer, the Escape poll of long computations and the pause
// of step mode. In the Qt frame the command line is its combo box; in the console, standard
// input.
#pragma once

#include <cstddef>
#include <string>

#include "platform/ui.h"
#include "tables/table_names.h"

inline constexpr int kPromptTimer = 1005;
inline constexpr int kPromptTimerMs = 100;
inline constexpr int kPromptFlashLimit = 10;

void enter_command_line(const char* text);
void escape_command_line();
void accept_command_level();
void submit_command_line(const char* text);
bool line_goes_to_level(const char* text);
// Takes one line entered on the command line, if there is one, as Enter would; true if taken.
bool take_typed_line();

// The prompt field: the text (47 characters kept) and the 100 ms timer; null stops the timer.
void show_prompt_text(const char* text);
void prompt_timer_tick();
int prompt_state();
const char* prompt_text();

// Asks for one line: 0 with the answer in answer, or -9999 for Escape (or when no answer can
// come any more).
int ask_line(const char* prompt, char* answer, std::size_t size, const char* default_text,
             int flags);
int poll_escape();
// The choice list of a prompt: choice n (by_item: the n-th entry after the title, from 1;
// otherwise the n-th selectable item, from 0) goes into the command line and, with enter, is
// entered (a text ending in '_' is left there for completion).
void show_choice(int n, bool by_item, bool enter);
void close_choice_list();
bool choice_list_shown();
// The pause's prompt: its first argument as a format of the values after it.
std::string format_pause_arguments();
// Handler kSlotPause: the pause of step mode.
int cmd_pause();
void command_window_keydown(const platform::KeyEvent& event);
// A key typed in the command line, before the line sees it: in a level's sheet the keys of a
// sheet (arrows, Tab and Shift+Tab, Enter moving down, Escape, Page Up and Down, Insert and
// Delete for rows); elsewhere Escape. True when taken.
bool command_line_key(const platform::KeyEvent& event);

void reset_command_line();
