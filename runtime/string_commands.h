// The command language's text built-ins: copy, append, length, comparison, conversion to
// numbers, search, tokens, rows of text arrays, case conversion, list texts and the date.
// Texts a program should test for failure come back as int results (-17 when a text does
// not fit its variable); the handler itself returns 0.
#pragma once

#include <cstddef>

#include "platform/clock.h"
#include "tables/table_names.h"

int cmd_string_functions();
void install_string_commands();

// The date and time `when` formatted by the C library's strftime rules into out (at most size
// bytes with the NUL); empty when it does not fit. Returns the length written.
std::size_t format_date_time(char* out, std::size_t size, const char* format,
                             const platform::LocalTime& when);
// The leading integer of a text, as atoi reads it, with numbers beyond the int range clamped.
int clamped_atoi(const char* text);
