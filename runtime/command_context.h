// The stack of command-context letters. Lens entry, the operand and variable modes and foreign
// lens import push a letter; the compiler then tries every command word with "_" and the top
// letter appended before the plain word, so one word can mean a different command in each
// context.
#pragma once

#include "tables/table_names.h"

inline constexpr int kCommandContextLimit = 5;

// A lower-case letter counts as upper case. The letter already on top: nothing happens (0).
// A sixth letter: -45 and the stack is unchanged.
int push_command_context(char letter);
// Removes the top letter; nothing when the stack is empty.
void pop_command_context();
int command_context_depth();
// The top entry as its two-character text "_x" (the letter as pushed, upper case), or null
// when the stack is empty.
const char* command_context_suffix();
// The top letter, or 0 when the stack is empty.
char command_context_letter();
void reset_command_context();
