#include "runtime/log_file.h"

#include <cstdio>

#include "platform/state_reset.h"
#include "runtime/table_files.h"

namespace {

// The log: the name the next open uses, and the open log with its name and path as they were
// when it was opened.
struct LogFileState {
    std::string name;         // the name the next open uses
    std::string opened_name;  // the name as it was when the log was opened
    std::string opened_path;
    std::FILE* stream = nullptr;
};

LogFileState g_log;

std::string normalised(std::string text) {
    for (char& c : text) {
        if (c == '\\') c = '/';
    }
    const bool absolute = !text.empty() && (text[0] == '/' || text.find(':') != std::string::npos);
    if (absolute || data_folder().empty()) return text;
    return data_folder() + '/' + text;
}

}  // namespace

std::string default_log_file_name(const std::string& data) {
    return data + '/' + kTablePrefix + "log.txt";
}

void set_log_file_name(const std::string& text) {
    g_log.name = text;
}

const std::string& log_file_name() {
    return g_log.name;
}

int apply_log_option(int on) {
    if (g_log.stream != nullptr && g_log.name != g_log.opened_name) {
        close_log_file();
        g_log.name = normalised(g_log.name);
    }
    if (on != 0 && !g_log.name.empty() && g_log.stream == nullptr) {
        const std::string path = normalised(g_log.name);
        g_log.stream = std::fopen(path.c_str(), "w");
        if (g_log.stream == nullptr) return -7;
        g_log.opened_name = g_log.name;
        g_log.opened_path = path;
    }
    return 0;
}

bool log_is_open() {
    return g_log.stream != nullptr;
}

const std::string& open_log_path() {
    return g_log.opened_path;
}

void log_write_line(const char* line) {
    if (g_log.stream == nullptr) return;
    if (line != nullptr && line[0] != '\0') {
        std::fprintf(g_log.stream, "%s\n", line);
    } else {
        std::fputs("\n", g_log.stream);
    }
    std::fflush(g_log.stream);
}

void close_log_file() {
    if (g_log.stream != nullptr) std::fclose(g_log.stream);
    g_log.stream = nullptr;
    g_log.opened_name.clear();
    g_log.opened_path.clear();
}

namespace {
// The name the next open uses is set at start from the installation's data folder and stays;
// an open log is closed.
void reset_log_file() {
    close_log_file();
}
const platform::StateReset log_file_state_reset{"runtime/log_file", reset_log_file,
                                                platform::ResetLayer::runtime};
}  // namespace
