// Two small services of commands: running another program as a child process, and a
// millisecond stopwatch.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Splits a command line into words at white space; a double-quoted part keeps its blanks (the
// quotes are removed). No shell is involved, so no other character is special.
std::vector<std::string> split_command_line(const char* command_line);

// Starts the program of a command line (its first word, searched in PATH when it holds no
// '/') with the following words as arguments.
// wait_seconds 0: 0 once the child runs. wait_seconds > 0: its exit code when it ends within
// that time, else -1 after it (and what it started) was killed and reaped. wait_seconds < 0:
// waits until it ends. -1 when the program cannot be started or the wait fails.
int run_child_process(const char* command_line, int wait_seconds);

// Milliseconds since the stopwatch was started; restart = 1 (or a stopwatch never started)
// starts it now and gives the (near zero) time since then.
std::int64_t elapsed_ms(int restart);
