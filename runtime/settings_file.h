// The settings file "tavo.ini" in the user's data folder: an ini text in the sections
// "Graphics", "Lens", "Optimization" and "Program". Start-up reads it once into the settings
// store, right after the store is laid out; the exit hook writes it back. Reader and writer run
// from one table of keys, in which the few keys that are only read, only written or fixed are
// marked with the reason; not every setting is in the file, and every value read goes through
// the setter of its type, side effects included.
#pragma once

#include <cstddef>
#include <string>

#include "tables/table_names.h"

inline constexpr std::size_t kIniTextSize = 1024;  // the shared text buffer of ini_read_text
inline constexpr std::size_t kIniDoubleText = 64;  // doubles are read as at most 63 characters
inline constexpr std::size_t kIniFlagText = 3;     // flags: the first two characters count

// Reads every key the table reads into the store. A missing file or key gives the
// default; nothing is reported.
void read_settings_file(const std::string& path);
// Writes every key the table writes into the file (other lines of an existing file kept),
// through a temporary file that replaces the old one. 0, or -292 after reporting it with the
// path; the old file then stays as it was.
int write_settings_file(const std::string& path);

// Profile accessors of one key, each reading or writing the file afresh.
// The leading number of the value (C text-to-double rule, 0 when none); the default is the
// printed default value.
double ini_read_double(const char* section, const char* key, double default_value,
                       const std::string& path);
// The leading decimal integer of the value, the default when the key is missing or empty.
int ini_read_int(const char* section, const char* key, int default_value, const std::string& path);
// The value (at most 1023 characters) in a shared buffer valid until the next call.
const char* ini_read_text(const char* section, const char* key, const char* default_text,
                          const std::string& path);
// 1 when the first two characters of the value are "On" in any case, else 0; a missing key
// gives the default.
int ini_read_flag(const char* section, const char* key, int default_flag, const std::string& path);
// 0 or a status of the platform's ini code (the old file stays on failure).
int ini_write_double(const char* section, const char* key, double value, const std::string& path);
int ini_write_int(const char* section, const char* key, int value, const std::string& path);
int ini_write_text(const char* section, const char* key, const char* text, const std::string& path);
int ini_write_flag(const char* section, const char* key, int flag, const std::string& path);

// The formats of the file, shared by reader, writer and tests.
// "x y width height" into four ints: true only for exactly four leading numbers.
bool parse_window_row(const char* text, int out[4]);
// The pen-sequence text: blank-separated pieces, the leading integer of each (0 when none) into
// elements 0, 1, ... (at most `limit` pieces); the number of pieces taken.
int parse_pen_sequence(const char* text, int* elements, int limit);
// "%d " for each element from the first while it is non-zero, stopping before the text and its
// NUL would reach 1024 bytes.
std::string format_pen_sequence(const int* elements, int count);
