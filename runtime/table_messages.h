// The program's message table: opened once at start-up (private user table, public user table,
// then the base table), read one text at a time into a small ring of texts.
#pragma once

#include <cstddef>

inline constexpr std::size_t kMessageRingSize = 744;
inline constexpr char kMessageAccessFailed[] = "Cannot access message file";

// 0, or -1 with -7 reported when no table opens or its highest slot is 0. The ring starts
// again at its beginning.
int open_message_table();
void close_message_table();
// The text of message n (a slot outside the table reads kSlotOutputValue) and its kind; on any
// failure "Cannot access message file" with kind 2. The text lives in the ring until it is
// overwritten.
const char* msg_text_kind(int n, int* kind);
const char* msg_text(int n);
