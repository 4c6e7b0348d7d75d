// The texts a value shows as: the current value list's entry for the value (in a keyed list the
// entry whose key, its second text, is the value in decimal; else entry number value).
#pragma once

// The entry's display text without a leading brace group, '_' shown as blanks; "?" when the
// list has no entry for the value. The text lives until the next call.
const char* list_item_text(int value);
// The inside of the entry's leading brace group when it has one, else its whole first text,
// '_' shown as blanks; "?" when there is no entry. The text lives until the next call.
const char* list_item_keyword(int value);
// The entry number for a value in the current value list, or -1.
int list_item_entry(int value);
