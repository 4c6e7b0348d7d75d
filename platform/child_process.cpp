#include "platform/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <map>
#include <system_error>

#include "platform/clock.h"

extern char** environ;

namespace platform {

namespace {

std::map<int, pid_t>& running_children() {
    static std::map<int, pid_t> children;
    return children;
}

int next_handle = 1;

// Starts the program; the child's pid, or -1.
pid_t spawn(const std::vector<std::string>& argv) {
    if (argv.empty() || argv.front().empty()) return -1;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    if (posix_spawnattr_init(&attributes) != 0) return -1;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        posix_spawnattr_destroy(&attributes);
        return -1;
    }
    // A process group of its own (so a time-out ends everything it started), no blocked
    // signals, default handling of the signals a GUI or this process may have changed, none of
    // our open files beyond standard output and error, and no standard input.
    sigset_t no_signals, defaults;
    sigemptyset(&no_signals);
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGCHLD, SIGXFSZ, SIGHUP}) {
        sigaddset(&defaults, sig);
    }
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setsigmask(&attributes, &no_signals);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // Input stays with this program (the console backend reads its commands from it).
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);

    pid_t pid = -1;
    const int error = posix_spawnp(&pid, args.front(), &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return error == 0 ? pid : -1;
}

int exit_code_of(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return kChildWaitFailed;
}

// Waits for the child up to wait_ms (negative: no limit). Its exit code, kChildTimedOut while
// it still runs, or kChildWaitFailed.
int wait_for(pid_t pid, int wait_ms) {
    int status = 0;
    if (wait_ms < 0) {
        pid_t done;
        while ((done = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
        }
        return done == pid ? exit_code_of(status) : kChildWaitFailed;
    }
    const std::uint64_t deadline = tick_count_ms() + static_cast<std::uint64_t>(wait_ms);
    long step_ns = 1000000;  // polls start at 1 ms and slow down to 20 ms
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return exit_code_of(status);
        if (done < 0 && errno != EINTR) return kChildWaitFailed;
        const std::uint64_t now = tick_count_ms();
        if (now >= deadline) return kChildTimedOut;
        const long left_ns =
            static_cast<long>(std::min<std::uint64_t>(deadline - now, 1000)) * 1000000;
        const timespec pause{0, std::min(step_ns, left_ns)};
        ::nanosleep(&pause, nullptr);
        step_ns = std::min(step_ns * 2, 20000000L);
    }
}

// Kills the child's process group (and the child itself, should it have left the group) and
// reaps the child, so that neither a zombie nor a running orphan is left behind.
void kill_and_reap(pid_t pid) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

namespace {

// Children started without a wait: nobody asks for their result, but each is reaped once it has
// ended, at the next start or wait of a child (the program has one thread and no signal
// handlers, so there is no other moment to do it).
std::vector<pid_t>& unwaited_children() {
    static std::vector<pid_t> pids;
    return pids;
}

void reap_ended_unwaited_children() {
    auto& pids = unwaited_children();
    std::erase_if(pids, [](pid_t pid) {
        int status = 0;
        pid_t done;
        while ((done = ::waitpid(pid, &status, WNOHANG)) < 0 && errno == EINTR) {
        }
        return done != 0;  // ended and reaped, or not ours any more
    });
}

}  // namespace

int run_program(const std::vector<std::string>& argv, int wait_ms) {
    reap_ended_unwaited_children();
    const pid_t pid = spawn(argv);
    if (pid < 0) return kChildNotStarted;
    if (wait_ms == 0) {
        unwaited_children().push_back(pid);
        return 0;
    }
    const int result = wait_for(pid, wait_ms);
    if (result == kChildTimedOut || result == kChildWaitFailed) kill_and_reap(pid);
    return result;
}

int start_program(const std::vector<std::string>& argv) {
    reap_ended_unwaited_children();
    const pid_t pid = spawn(argv);
    if (pid < 0) return kChildNotStarted;
    const int handle = next_handle++;
    running_children()[handle] = pid;
    return handle;
}

int wait_program(int handle, int wait_ms) {
    auto found = running_children().find(handle);
    if (found == running_children().end()) return kChildUnknownHandle;
    const int result = wait_for(found->second, wait_ms);
    if (result == kChildTimedOut) return result;
    if (result == kChildWaitFailed) kill_and_reap(found->second);
    running_children().erase(found);
    return result;
}

int kill_program(int handle) {
    auto found = running_children().find(handle);
    if (found == running_children().end()) return kChildUnknownHandle;
    kill_and_reap(found->second);
    running_children().erase(found);
    return 0;
}

}  // namespace platform
