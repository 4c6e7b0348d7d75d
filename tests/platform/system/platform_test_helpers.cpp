#include "tests/platform/system/platform_test_helpers.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>

namespace tavo_test {

int run_forked(const std::function<int()>& fn) {
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) ::_exit(fn() & 0xff);
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

bool become_unprivileged() {
    if (::geteuid() != 0) return true;
    const gid_t nobody_group = 65534;
    const uid_t nobody = 65534;
    return ::setgroups(0, nullptr) == 0 && ::setgid(nobody_group) == 0 && ::setuid(nobody) == 0;
}

ScopedEnv::ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    if (value) {
        ::setenv(name, value->c_str(), 1);
    } else {
        ::unsetenv(name);
    }
}

ScopedEnv::~ScopedEnv() {
    if (saved_) {
        ::setenv(name_.c_str(), saved_->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

}  // namespace tavo_test
