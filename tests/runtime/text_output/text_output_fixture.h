// A console backend with text windows 1 and 2, the writer and switches reset, the main loop
// marked running, and every finished line kept with its hot-spot records.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/console/console_backend.h"
#include "platform/state_reset.h"
#include "runtime/log_file.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"

namespace tavo_test {

struct Hotspot {
    int item;
    int index;
    int start;
    int end;
    friend bool operator==(const Hotspot&, const Hotspot&) = default;
};

inline std::vector<OutputLine> captured_lines;

inline void capture_line(const OutputLine& line) {
    captured_lines.push_back(line);
}

inline std::vector<Hotspot> hotspots_of(const OutputLine& line) {
    std::vector<Hotspot> out;
    const auto& h = line.hotspots;
    for (std::size_t i = 0; i + 6 <= h.size(); i += 6) {
        out.push_back({h[i] << 8 | h[i + 1], h[i + 2] << 8 | h[i + 3], h[i + 4], h[i + 5]});
    }
    return out;
}

struct TextOutputFixture : ::testing::Test {
    std::istringstream in;
    std::ostringstream out, err;
    platform::ConsoleBackend ui{platform::ConsoleOptions{&in, &out, &err, true}};

    void SetUp() override {
        platform::reset_all_state();
        platform::set_current_ui(&ui);
        ASSERT_EQ(ui.create_frame("TAVO LT", nullptr), 0);
        ASSERT_EQ(ui.create_window(1, "Text 1", nullptr), 0);
        ASSERT_EQ(ui.create_window(2, "Text 2", nullptr), 0);
        close_log_file();
        set_log_file_name("");
        set_running_flag(1);
        captured_lines.clear();
        set_output_line_sink(capture_line);
    }
    void TearDown() override {
        close_log_file();
        set_running_flag(0);
        platform::set_current_ui(nullptr);
        platform::reset_all_state();
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> t;
        for (const OutputLine& l : captured_lines) t.push_back(l.text);
        return t;
    }
};

}  // namespace tavo_test
