// A started program with its main loop installed: the built tables in a temporary tree, a
// console user interface reading the given input and writing into strings, the frame with the
// loop's handler and text window 1.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/main_loop.h"
#include "platform/state_reset.h"
#include "runtime/command_history.h"
#include "runtime/command_levels.h"
#include "runtime/text_output.h"
#include "tests/app/startup/started_runtime.h"

namespace loop_test {

class Loop : public ::testing::Test {
protected:
    void SetUp() override {
        platform::reset_all_state();
        // The current text window and output window of an earlier test do not carry over.
        ASSERT_EQ(runtime_init(0), 0);
        ASSERT_EQ(install_main_loop(), 0);
        ASSERT_EQ(app_init(0, 0, 0), 0);
        ui().create_frame("TAVO LT", frame_handler());
        ui().create_window(platform::kWindowText1, "Text 1", nullptr);
        main_loop_start();
        // The start-up line (the start-up lens) runs on the first pass, before anything typed.
        if (pending_line() != nullptr) main_loop_pass(false);
    }
    void TearDown() override { platform::reset_all_state(); }

    platform::ConsoleBackend& ui() { return *run_.backend; }
    void input(const std::string& text) { run_.input.str(text); }
    std::string output() const { return run_.output.str(); }
    std::string errors() const { return run_.errors.str(); }

    // Runs passes until the run ends (or the limit is reached).
    void settle(int limit = 50) {
        for (int k = 0; k < limit && main_loop_pass(false); ++k) {
        }
    }
    // Types one line and runs it.
    void type(const std::string& line) {
        ui().enter_command_line(line);
        main_loop_pass(false);
    }

    tavo_test::StartedRuntime run_;
};

}  // namespace loop_test
