// The output log: the file that every flushed line of the current text window is copied to
// while logging (option 2) is on.
#pragma once

#include <string>

// The default log name "%s%c%slog.txt" of the data folder, the separator and the prefix "tv".
std::string default_log_file_name(const std::string& data_folder);

// The name the next open uses (as given; normalised when applied).
void set_log_file_name(const std::string& name);
const std::string& log_file_name();

// What option 2 does with its new value: when the name has changed since the log was opened,
// the open log is closed and the name normalised ('\' to '/'; a relative name is put under the
// data folder); when logging is on, a name is set and no log is open, the log is opened afresh
// (an existing file is emptied). 0, or -7 when the file cannot be opened.
int apply_log_option(int on);
bool log_is_open();
const std::string& open_log_path();  // empty when no log is open
// Writes one line and a line end, and flushes; nothing when no log is open.
void log_write_line(const char* line);
void close_log_file();
