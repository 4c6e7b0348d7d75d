#include "runtime/log_file.h"

#include <cstdio>

#include "platform/state_reset.h"
#include "runtime/table_files.h"

namespace {

std::string name;         // the name the next open uses
std::string opened_name;  // the name as it was when the log was opened
std::string opened_path;
std::FILE* log_stream = nullptr;

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
    name = text;
}

const std::string& log_file_name() {
    return name;
}

int apply_log_option(int on) {
    if (log_stream != nullptr && name != opened_name) {
        close_log_file();
        name = normalised(name);
    }
    if (on != 0 && !name.empty() && log_stream == nullptr) {
        const std::string path = normalised(name);
        log_stream = std::fopen(path.c_str(), "w");
        if (log_stream == nullptr) return -7;
        opened_name = name;
        opened_path = path;
    }
    return 0;
}

bool log_is_open() {
    return log_stream != nullptr;
}

const std::string& open_log_path() {
    return opened_path;
}

void log_write_line(const char* line) {
    if (log_stream == nullptr) return;
    if (line != nullptr && line[0] != '\0') {
        std::fprintf(log_stream, "%s\n", line);
    } else {
        std::fputs("\n", log_stream);
    }
    std::fflush(log_stream);
}

void close_log_file() {
    if (log_stream != nullptr) std::fclose(log_stream);
    log_stream = nullptr;
    opened_name.clear();
    opened_path.clear();
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
