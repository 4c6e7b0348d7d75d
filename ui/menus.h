// Menus built at run time from the menu lists of the list table: the main menu on the frame
// (the list named by message -97) and the second menu on the edit window (message -170), their
// Ctrl and Ctrl+Shift accelerators, the four recent-file entries, and the greying of items and
// whole popups from the enable conditions of their commands.
//
// A menu list entry is a pair (label, action). Label: a leading "-" puts a separator before the
// item (inside popups), "x," names x as the mnemonic, a bracket "[...]" ends the label and, when
// it starts with C, ^ or S and ends with an upper-case letter, is an accelerator (S adds Shift).
// Action: "$list" a popup of that list, otherwise the command text it runs; a label beginning
// "!" is a recent-file slot, an action beginning "@" counts toward the first popup, a label "#"
// is the place where the open windows are listed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui.h"
#include "tables/table_names.h"

inline constexpr int kPopupLimit = 150;
inline constexpr int kRecentFileSlots = 4;
inline constexpr int kSecondMenuAcceleratorBase = 1001;
// The items of the open windows (a "#" entry of a menu list marks their place; its action is
// the command that brings window n forward, run with n) take identifiers from here on.
inline constexpr int kWindowListFirstId = 3001;

inline constexpr std::uint8_t kAccelVirtualControl = 0x0B;  // virtual key, no invert, Ctrl
inline constexpr std::uint8_t kAccelShift = 0x04;

struct Accelerator {
    std::uint8_t flags = 0;
    std::uint16_t key = 0;  // the upper-case letter
    std::uint16_t id = 0;
};

struct PopupRecord {
    int menu = 0;         // the popup's own menu
    int parent_menu = 0;  // the menu it sits in
    int position = 0;     // its place there
    int parent = -1;      // parent popup index, -1 on the menu bar
    int entries = 0;      // entries of its list
    bool enabled = true;
    bool second_menu = false;
};

// 0 when the list does not exist (no menu), else the menu bar's handle.
int build_menu(const char* list_name, int window, bool is_main);
void reload_menus();
void set_recent_file_entry(const char* name, int k);
// Key-downs with Ctrl against a table: true when a record matched (even a greyed item).
bool translate_accelerator(int window, const std::vector<Accelerator>& table,
                           const platform::KeyEvent& key);
// Mode 1 the normal state, 0 the menu bar blocked (all popups grey but the one of -98).
void update_menu_states(int mode);

// The command text of a command item (identifier id), or null.
const char* menu_command_text(int id);
int menu_command_count();
const std::vector<Accelerator>& main_accelerators();
const std::vector<Accelerator>& second_accelerators();
const std::vector<PopupRecord>& menu_popups();
int main_menu_handle();
int second_menu_handle();
// The text shown for recent-file slot k (0..3), and its item identifier (0: no such item).
const std::string& recent_file_text(int k);
int recent_file_item(int k);

// The frame and the edit window pass a command identifier here: a command item runs its text
// as a typed line (true); anything else is not a menu command (false).
bool run_menu_command(int window, int id);

// Where chosen command texts go (the command line's submit, installed by the program).
void set_menu_submitter(void (*submit)(const char* text));
// Builds the menus when Show_menubar is on, installs the key hook for the accelerators.
void install_menus();
void reset_menus();
