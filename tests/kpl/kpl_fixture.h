// A command-language test bed: the small definitions of tests/fixtures/kpl built with the table
// builder into a temporary tree, the program's messages, a console user interface writing into
// strings, and handlers for the fixture's commands that record what they were called with.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "kpl/kpl_compiler.h"
#include "kpl/kpl_interp.h"
#include "kpl/kpl_line.h"
#include "kpl/kpl_listing.h"
#include "kpl/kpl_sysvars.h"
#include "platform/child_process.h"
#include "platform/console/console_backend.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/command_context.h"
#include "runtime/definitions.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/state_flags.h"
#include "runtime/table_code.h"
#include "runtime/table_files.h"
#include "runtime/table_lists.h"
#include "runtime/table_messages.h"
#include "tests/support/built_tables.h"
#include "tests/support/temp_tree.h"

namespace kpl_test {

namespace fs = std::filesystem;

// Commands of the fixture definitions.
enum : int {
    kEmpty = 0,
    kAbc = 1,
    kFail = 2,
    kRunText = 3,
    kAddOne = 4,
    kTwice = 5,
    kShow = 6,
    kAnswer = 7,
    kFillOut = 8,
    kRd = 9,
    kLensMode = 10,
    kEndLens = 11,
    kKeepLine = 12,
};

struct Calls {
    int empty = 0;
    int abc = 0;
    std::vector<int> abc_args;
    int fail = 0;
    int show = 0;
    std::string show_label;
    double show_value = 0;
    int run_text_result = 0;
    int run_text_type = 0;
};
inline Calls calls;

inline int empty_handler() {
    ++calls.empty;
    return 0;
}
inline int abc_handler() {
    ++calls.abc;
    calls.abc_args.clear();
    for (int i = 0; i < arg_count(); ++i) calls.abc_args.push_back(arg_cell(i)->value.i);
    return 0;
}
inline int fail_handler() {
    ++calls.fail;
    return -500;
}
inline int run_text_handler() {
    const int r = run_command_string(arg_cell(0)->value.text, 0);
    calls.run_text_result = r;
    calls.run_text_type = kpl_run_result().type;
    set_int_result(kpl_run_result().v.i);
    return r;
}
inline int add_one_handler() {
    set_int_result(arg_cell(0)->value.i + 1);
    return 0;
}
inline int twice_handler() {
    set_double_result(2 * arg_cell(0)->value.d);
    return 0;
}
inline int show_handler() {
    ++calls.show;
    calls.show_label = arg_cell(0)->value.text;
    calls.show_value = arg_cell(1)->value.d;
    return 0;
}
inline int answer_handler() {
    set_int_result(42);
    return 0;
}
inline int fill_out_handler() {
    arg_cell(0)->value.d = 7.5 * arg_cell(1)->value.d;
    return 0;
}

inline int keep_line_handler() {
    int slot = arg_cell(1)->value.i;
    const int r = run_compiled_line(3, arg_cell(0)->value.text, nullptr, &slot);
    set_int_result(slot);
    return r;
}

// Built-in data the fixture's variables are bound to.
inline double arr_data[10];
inline std::int32_t ro_data;
inline std::int32_t mat_data[3][4];

class Kpl : public ::testing::Test {
protected:
    void SetUp() override {
        platform::reset_all_state();
        free_definitions();
        close_message_table();
        close_code_file();
        clear_last_table_error();
        set_tables_stale(0);

        const fs::path sources = tree_.base() / "sources";
        const fs::path fixtures = fs::path(TAVO_FIXTURES_DIR) / "kpl";
        const fs::path tables = fs::path(TAVO_SOURCE_DIR) / "tables";
        fs::create_directories(sources);
        fs::copy(fixtures / "definitions", sources / "definitions", fs::copy_options::recursive);
        const std::string extra = extra_definitions();
        if (!extra.empty()) std::ofstream(sources / "definitions" / "zz_extra.def") << extra;
        fs::copy(tables / "lists", sources / "lists", fs::copy_options::recursive);
        fs::copy(tables / "messages", sources / "messages", fs::copy_options::recursive);
        fs::copy(tables / "help", sources / "help", fs::copy_options::recursive);
        const fs::path amo = tree_.root() / "bin" / "amo";
        ASSERT_EQ(tavo_test::build_tables(sources, amo), 0);
        ASSERT_EQ(tavo_test::load_built_tables(), 0);

        ui_ = std::make_unique<platform::ConsoleBackend>(
            tavo_test::test_console_options(input_, output_, errors_));
        platform::set_current_ui(ui_.get());
        set_running_flag(1);

        set_interactive_call(0);
        set_prompting_mode(0);
        release_kept_lines();
        kpl_reset_sysvars();
        ASSERT_EQ(kpl_install(), 0);
        kpl_reset_globals();
        kpl_bind_sysvar(100, arr_data, 2, 10, 0);
        kpl_bind_sysvar(101, &ro_data, 1, 0, 0);
        kpl_bind_sysvar(102, mat_data, 1, 3, 4);
        for (double& d : arr_data) d = 0;
        ro_data = 17;
        set_handler(100, empty_handler);
        set_handler(101, abc_handler);
        set_handler(102, fail_handler);
        set_handler(103, run_text_handler);
        set_handler(104, add_one_handler);
        set_handler(105, twice_handler);
        set_handler(106, show_handler);
        set_handler(107, answer_handler);
        set_handler(108, fill_out_handler);
        set_handler(109, keep_line_handler);
        calls = Calls{};
    }
    // Definitions a test adds to the fixture's (read after them).
    virtual std::string extra_definitions() const { return ""; }

    void TearDown() override {
        set_running_flag(0);
        platform::set_current_ui(nullptr);
        free_definitions();
        close_code_file();
        close_message_table();
        platform::reset_all_state();
    }

    // The compile error of a line, 0 when it compiles.
    static int compile_error(const char* text, bool expression_only = false) {
        static std::uint8_t buffer[kKplLineArea];
        KplCompileOptions o;
        o.expression_only = expression_only;
        KplCompileResult r;
        return kpl_compile(text, buffer, sizeof buffer, o, &r);
    }
    // Global variables of the fixture by number: vi 0, vd 1, vc 2, k 3, i 4.
    static std::int32_t global_int(int n) {
        std::int32_t v;
        std::memcpy(&v, kpl_global_address(n), 4);
        return v;
    }
    static double global_double(int n) {
        double v;
        std::memcpy(&v, kpl_global_address(n), 8);
        return v;
    }
    static int global_char(int n) { return *static_cast<std::uint8_t*>(kpl_global_address(n)); }

    std::string status() const { return ui_->status_text(); }

    tavo_test::TempTree tree_;
    std::istringstream input_;
    std::ostringstream output_, errors_;
    std::unique_ptr<platform::ConsoleBackend> ui_;
};

}  // namespace kpl_test
