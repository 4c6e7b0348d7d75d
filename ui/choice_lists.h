// Choice lists: the current value list of the lists table offered to the user, in the list
// window (window 4) or as a popup menu. The first entry is the list's title when it begins
// with '@' (and the list has more than one entry); an entry whose second text is "$n" heads a
// sub-menu of the n entries after it and cannot be chosen itself.
#pragma once

#include <string>
#include <vector>

#include "platform/ui.h"
#include "tables/table_names.h"

// Rows the list window shows at most; longer lists scroll.
inline constexpr int kChoiceListRows = 20;

// Show 1: fills the list window with the selectable items (title and heads skipped), sizes it
// to fit, selects item `selected` (the first when out of range) and shows it; the number of
// items. Show 0: clears the selection and hides the window; 0.
int fill_choice_list(int show, int selected = 0);
// The selectable index of the item whose display text is text, -1 when none.
int find_choice(const char* text);
bool choice_list_visible();

// The popup menu of the current list at (x, y) of window owner, tracked with the right button
// when button is 3: items by their place after the title (1-based), checked when marked '*',
// heads as sub-menus. The identifier chosen (the choice is then shown and entered), 0 for none.
int choice_popup_menu(int owner, int x, int y, int button);

// The text choice n stands for: by_item, the n-th entry after the title (1-based), else the
// n-th selectable item (0-based). Without the leading '*' or '~'; false when there is none.
bool choice_text(int n, bool by_item, std::string& text);
// Counts the items a choice offers, counting those of its sub-menus: the test between a popup
// menu and the list window.
int choice_item_count();

// The selected choice (selectable index), -1 for none.
int selected_choice();
void set_selected_choice(int n);
void clear_choice_selection();
// Up and Down move by one, Page Up and Page Down by the visible rows less one, any other value
// by itself; no selection starts at the middle visible row. The choice is shown, not entered.
void move_choice_selection(int key);

// Puts a choice into the command line (and enters it): installed by the application.
using ChoiceShower = void (*)(int n, bool by_item, bool enter);
void set_choice_shower(ChoiceShower shower);

// Where a prompt's popup menu opens: the spreadsheet grid names its current cell (window and
// point) and answers true; without an anchor the list window shows every list.
using ChoicePopupAnchor = bool (*)(int* window, platform::Point* at);
void set_choice_popup_anchor(ChoicePopupAnchor anchor);
bool choice_popup_anchor(int* window, platform::Point* at);

void reset_choice_lists();
