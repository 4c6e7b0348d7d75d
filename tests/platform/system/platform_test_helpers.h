// Helpers of the platform tests: running a piece of a test in a forked process, for conditions
// that must not touch the test program itself (another user id, a file-size limit), and
// environment variables changed for one test only.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tavo_test {

// The value fn returns (0..255) as the forked process's exit code, or -1 when the fork failed
// or the process did not end normally.
int run_forked(const std::function<int()>& fn);

// Exit code run_forked callers use to say "this condition cannot be set up here".
constexpr int kCannotSetUp = 200;

// In a forked process: when running as root (whom file permissions do not stop), drops to an
// unprivileged user so that a read-only folder really is read-only. False when that fails.
bool become_unprivileged();

// Sets (or, with nullopt, removes) an environment variable until the end of the scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> saved_;
};

}  // namespace tavo_test
