#include "runtime/child_run.h"

#include <climits>

#include "platform/child_process.h"
#include "platform/clock.h"
#include "platform/state_reset.h"

namespace {

// The stopwatch of the timing commands.
struct Stopwatch {
    bool started = false;
    std::uint64_t start = 0;
};

Stopwatch g_stopwatch;

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

std::vector<std::string> split_command_line(const char* command_line) {
    std::vector<std::string> words;
    if (command_line == nullptr) return words;
    const char* p = command_line;
    for (;;) {
        while (is_blank(*p)) ++p;
        if (*p == '\0') break;
        std::string word;
        bool quoted = false;
        for (; *p != '\0' && (quoted || !is_blank(*p)); ++p) {
            if (*p == '"') {
                quoted = !quoted;
            } else {
                word += *p;
            }
        }
        words.push_back(word);
    }
    return words;
}

int run_child_process(const char* command_line, int wait_seconds) {
    const std::vector<std::string> argv = split_command_line(command_line);
    if (argv.empty()) return -1;
    int wait_ms = platform::kWaitForever;
    if (wait_seconds == 0) {
        wait_ms = 0;
    } else if (wait_seconds > 0) {
        wait_ms = wait_seconds > INT_MAX / 1000 ? INT_MAX : wait_seconds * 1000;
    }
    const int r = platform::run_program(argv, wait_ms);
    return r < 0 ? -1 : r;
}

std::int64_t elapsed_ms(int restart) {
    const std::uint64_t now = platform::tick_count_ms();
    if (restart == 1 || !g_stopwatch.started) {
        g_stopwatch.started = true;
        g_stopwatch.start = now;
    }
    return static_cast<std::int64_t>(now - g_stopwatch.start);
}

namespace {
void reset_child_run() {
    g_stopwatch.started = false;
    g_stopwatch.start = 0;
}
const platform::StateReset child_run_state_reset{"runtime/child_run", reset_child_run,
                                                 platform::ResetLayer::runtime};
}  // namespace
