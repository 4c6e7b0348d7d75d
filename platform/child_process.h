// Starting other programs (the message compiler, outside compilers, user commands) as child
// processes. A program is started from an argument vector, never through a shell, with this
// process's environment and current folder. It shares standard output and error with this
// program but none of its other open files, and its standard input is empty (/dev/null). A child
// runs in a process group of its own, so that ending it also ends anything it started.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Results below 0; a child's own exit code is 0..255 (a child ended by a signal gives
// 128 + the signal number, as a shell reports it).
constexpr int kChildTimedOut = -1;       // the wait ran out (run_program: child killed and reaped)
constexpr int kChildNotStarted = -2;     // the program could not be found or started
constexpr int kChildUnknownHandle = -3;  // no running child has this handle
constexpr int kChildWaitFailed = -4;     // the system refused the wait

constexpr int kWaitForever = -1;

// Starts argv[0] (searched in PATH when it holds no '/') with the given arguments.
// wait_ms > 0: waits up to that many milliseconds; the result is the exit code, or
//   kChildTimedOut after the child (and its process group) was killed and reaped.
// wait_ms == 0: does not wait; 0 once the child runs (it is reaped when it ends).
// wait_ms < 0: waits until the child ends.
// kChildNotStarted when the program cannot be started (also for an empty argv).
int run_program(const std::vector<std::string>& argv, int wait_ms);

// Starts a child and returns a small positive handle for wait_program / kill_program, or
// kChildNotStarted.
int start_program(const std::vector<std::string>& argv);

// Waits for a child started by start_program up to wait_ms (kWaitForever: no limit, 0: just
// look). The exit code when it has ended (the handle is then released), kChildTimedOut when it
// still runs (the handle stays valid), kChildUnknownHandle for a handle that is not in use.
int wait_program(int handle, int wait_ms);

// Kills a child started by start_program (and its process group) and reaps it; releases the
// handle. 0 or kChildUnknownHandle.
int kill_program(int handle);

}  // namespace platform
