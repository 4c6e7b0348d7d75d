// The texts of the menus and tool strips built from the list table, and the items among them
// whose command has an enable condition: menus and buttons are greyed and enabled by walking
// these items after the state flags change.
//
// Menu texts live in one area of the size the list table gives; up to 300 menu items are
// registered. Tool-strip texts live in blocks of two parts (item texts, second texts); up to
// 36 buttons are registered with their control window and function key.
#pragma once

#include <cstddef>

inline constexpr int kMenuTextSlots = 52;
inline constexpr int kMenuItemLimit = 300;
inline constexpr int kToolbarItemLimit = 36;
inline constexpr int kNoControl = -1;
inline constexpr std::size_t kSymbolLookupLimit = 47;  // longest name lookup_symbol takes

// --- menus ----------------------------------------------------------------------------------

// Makes the text area as large as the list table asks (-10 when it cannot) and empties the
// slots and the registered items; 0 or -10.
int reset_menu_store();
// Stores a menu text behind the texts stored so far (slot 0..51 also records it there) and,
// for a non-zero command whose text begins with a symbol that has an enable condition,
// registers the item. The stored text; an empty text when the area is missing or full.
const char* add_menu_item_text(int command, int menu, int position, int slot, const char* text);
// The next registered item with its condition evaluated afresh: its command number, the
// state before and after, its position and menu. 0 after the last item; the walk then starts
// again from the first.
int next_menu_item_state(int* old_state, int* new_state, int* position, int* menu);
int menu_item_count();
// The text recorded in a slot and the registered item linked to it (-1 when none).
const char* menu_slot_text(int slot);
int menu_slot_item(int slot);

// The enable condition of the symbol a text begins with (a built-in's from its command
// record, a compiled procedure's from its procedure record); 255 when there is none.
int symbol_enable_condition(const char* text);
// The symbol number of the identifier a text begins with (blanks skipped, lower-cased, at
// most 47 characters), or -1.
int lookup_symbol(const char* text);

// --- tool strips ----------------------------------------------------------------------------

// item < 0: a new text block of a + b bytes (item -1 turns registration on, any other negative
// item off). item >= 0 with a = 0: text stored in the second part. Otherwise the text goes to
// the first part and, while registration is on, button item is registered with its control
// window, b as its key and the enable condition of the symbol the text begins with, disabled.
// The stored text; an empty text when there is no block or no room.
const char* toolbar_text_store(int item, int a, int b, int control, const char* text);
// Evaluates one button's condition afresh: its control window when the enabled state changed
// (enabled gets the new state), else kNoControl.
int toolbar_item_state_changed(int item, int* enabled);
// The button with that key: its text is submitted as a command line when it is enabled;
// otherwise, or when no button has the key, a beep.
void run_toolbar_key(int key);
int toolbar_item_count();

// Submitting a command line as if typed: the command line installs its submitter here. Until
// then button texts run through run_command_string.
using CommandLineSubmitter = void (*)(const char* text);
void set_command_line_submitter(CommandLineSubmitter submitter);

// Frees both stores (end of the program; tests).
void free_menu_store();
