// Child processes: exit codes, time-outs that leave nothing behind, programs that cannot start,
// arguments passed without a shell.
#include "platform/child_process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "platform/environment.h"
#include "tests/platform/system/platform_test_helpers.h"
#include "tests/support/temp_tree.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> shell(const std::string& script) {
    return {"sh", "-c", script};
}

// The pid a script wrote into a file.
pid_t pid_from(const fs::path& file) {
    std::ifstream in(file);
    long pid = 0;
    in >> pid;
    return static_cast<pid_t>(pid);
}

// True when the process no longer exists. A zombie still exists; so does a process that was
// not killed. One that another process (init) has yet to reap counts as gone once it is a
// zombie that is not our child.
bool process_gone(pid_t pid, bool our_child) {
    if (::kill(pid, 0) != 0) return errno == ESRCH;
    if (our_child) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t paren = text.rfind(')');
    return paren != std::string::npos && paren + 2 < text.size() && text[paren + 2] == 'Z';
}

TEST(ChildProcess, ExitCodeComesBack) {
    for (int code : {0, 1, 8, 255}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(platform::run_program(shell("exit " + std::to_string(code)), 10000), code);
    }
    // A child ended by a signal reports as a shell does.
    EXPECT_EQ(platform::run_program(shell("kill -9 $$"), 10000), 128 + SIGKILL);
    EXPECT_EQ(platform::run_program(shell("exit 8"), platform::kWaitForever), 8);
}

TEST(ChildProcess, TimeOutKillsAndReapsTheChildAndWhatItStarted) {
    tavo_test::TempTree tree;
    const fs::path child_pid = tree.base() / "child.pid";
    const fs::path grandchild_pid = tree.base() / "grandchild.pid";
    const std::string script = "sleep 30 & echo $! > '" + grandchild_pid.string() +
                               "'; echo $$ > '" + child_pid.string() + "'; wait";
    EXPECT_EQ(platform::run_program(shell(script), 1000), platform::kChildTimedOut);

    const pid_t child = pid_from(child_pid);
    const pid_t grandchild = pid_from(grandchild_pid);
    ASSERT_GT(child, 0);
    ASSERT_GT(grandchild, 0);
    EXPECT_TRUE(process_gone(child, true)) << "the child was left running or unreaped";
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, WNOHANG), -1) << "the child was not reaped";
    // The grandchild is killed with the child's group but is reaped by whoever inherits it, and
    // a signal takes effect asynchronously: give it a moment before calling it left running.
    bool grandchild_gone = process_gone(grandchild, false);
    for (int i = 0; i < 100 && !grandchild_gone; ++i) {
        ::usleep(20000);
        grandchild_gone = process_gone(grandchild, false);
    }
    EXPECT_TRUE(grandchild_gone) << "the child's own child was left running";
}

TEST(ChildProcess, ProgramsThatCannotStartAreReported) {
    tavo_test::TempTree tree;
    const fs::path not_executable = tree.write_file("plain.txt", "exit 0\n");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {""},
        {"/nonexistent/folder/vdm"},
        {"tavo-no-such-program-anywhere"},
        {not_executable.string()},
    };
    for (const auto& argv : cases) {
        SCOPED_TRACE(argv.empty() ? "(empty)" : argv.front());
        EXPECT_EQ(platform::run_program(argv, 1000), platform::kChildNotStarted);
        EXPECT_EQ(platform::run_program(argv, 0), platform::kChildNotStarted);
        EXPECT_EQ(platform::start_program(argv), platform::kChildNotStarted);
    }
}

TEST(ChildProcess, ArgumentsReachTheChildUntouchedWithTheEnvironment) {
    // No shell between us and the program: blanks, quotes and '$' arrive as they are.
    EXPECT_EQ(platform::run_program(
                  {"sh", "-c", "test \"$1\" = 'a b $HOME \"q\"'", "sh", "a b $HOME \"q\""}, 10000),
              0);
    tavo_test::ScopedEnv probe("TAVO_CHILD_PROBE", std::nullopt);
    ASSERT_EQ(platform::environment_set("TAVO_CHILD_PROBE", "42"), 0);
    EXPECT_EQ(platform::run_program(shell("test \"$TAVO_CHILD_PROBE\" = 42"), 10000), 0);
}

TEST(ChildProcess, OpenFilesAndInputAreNotInherited) {
    tavo_test::TempTree tree;
    const fs::path file = tree.write_file("open.txt", "x");
    const int fd = ::open(file.c_str(), O_RDONLY);  // deliberately without close-on-exec
    ASSERT_GE(fd, 0);
    const int high = ::dup2(fd, 57);
    ASSERT_EQ(high, 57);
    EXPECT_EQ(platform::run_program(shell("test ! -e /proc/self/fd/57"), 10000), 0);
    // Standard input stays with this program: the child reads an empty input.
    EXPECT_EQ(
        platform::run_program(shell("test \"$(readlink /proc/self/fd/0)\" = /dev/null"), 10000), 0);
    ::close(high);
    ::close(fd);
}

TEST(ChildProcess, DetachedChildIsWaitedForByHandle) {
    const int quick = platform::start_program(shell("exit 3"));
    ASSERT_GT(quick, 0);
    EXPECT_EQ(platform::wait_program(quick, 10000), 3);
    EXPECT_EQ(platform::wait_program(quick, 0), platform::kChildUnknownHandle);

    tavo_test::TempTree tree;
    const fs::path pid_file = tree.base() / "slow.pid";
    const int slow =
        platform::start_program(shell("echo $$ > '" + pid_file.string() + "'; exec sleep 30"));
    ASSERT_GT(slow, 0);
    EXPECT_NE(slow, quick);
    EXPECT_EQ(platform::wait_program(slow, 200), platform::kChildTimedOut);
    // A time-out of a detached wait leaves the child running and the handle valid.
    EXPECT_EQ(platform::wait_program(slow, 0), platform::kChildTimedOut);
    const pid_t pid = pid_from(pid_file);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(platform::kill_program(slow), 0);
    EXPECT_TRUE(process_gone(pid, true));
    EXPECT_EQ(platform::kill_program(slow), platform::kChildUnknownHandle);
    EXPECT_EQ(platform::wait_program(12345, 0), platform::kChildUnknownHandle);
}

TEST(ChildProcess, NoWaitStartsAndReturnsAtOnce) {
    tavo_test::TempTree tree;
    const fs::path marker = tree.base() / "ran";
    EXPECT_EQ(platform::run_program(shell("echo done > '" + marker.string() + "'; exit 9"), 0), 0);
    // The child finishes on its own; wait for its mark without a time limit on the test itself.
    for (int i = 0; i < 1000 && tavo_test::read_file(marker) != "done\n"; ++i) ::usleep(10000);
    EXPECT_EQ(tavo_test::read_file(marker), "done\n");

    // Once it has ended, the next start reaps it: no zombie is left for the run.
    const fs::path pid_file = tree.base() / "quick.pid";
    ASSERT_EQ(platform::run_program(shell("echo $$ > '" + pid_file.string() + "'"), 0), 0);
    pid_t pid = 0;
    for (int i = 0; i < 1000 && (pid = pid_from(pid_file)) <= 0; ++i) ::usleep(10000);
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 1000 && !process_gone(pid, false); ++i) ::usleep(10000);  // a zombie now
    EXPECT_EQ(platform::run_program(shell("exit 0"), 10000), 0);
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), -1) << "the ended child was not reaped";
}

}  // namespace
