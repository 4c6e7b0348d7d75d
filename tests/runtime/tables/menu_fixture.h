// A temporary installation whose tables come from tests/fixtures/menus (definitions, lists,
// help) and the program's own messages, built with the table builder and loaded: the message
// table, the definitions and the list table are open while the object lives.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/child_process.h"
#include "platform/state_reset.h"
#include "runtime/definitions.h"
#include "runtime/menu_store.h"
#include "runtime/state_flags.h"
#include "runtime/table_files.h"
#include "runtime/table_help.h"
#include "runtime/table_lists.h"
#include "runtime/table_messages.h"
#include "tests/support/temp_tree.h"

namespace tavo_test {

// Symbols of the fixture definitions.
enum : int {
    kSymSurf = 1,      // condition 0: lens_exists
    kSymPlain = 2,     // no condition
    kSymSaveLens = 3,  // condition 1: lens_file_named and not lens_read_in_bulk
    kSymStartup = 4,   // the start-up routine's name
};

class MenuTables {
public:
    MenuTables() { take_down(); }
    ~MenuTables() { take_down(); }
    MenuTables(const MenuTables&) = delete;
    MenuTables& operator=(const MenuTables&) = delete;

    // Builds and loads the tables; call with ASSERT_NO_FATAL_FAILURE.
    void load() {
        namespace fs = std::filesystem;
        const fs::path sources = tree.base() / "sources";
        const fs::path fixtures = fs::path(TAVO_FIXTURES_DIR) / "menus";
        fs::create_directories(sources);
        for (const char* part : {"definitions", "lists", "help"}) {
            fs::copy(fixtures / part, sources / part, fs::copy_options::recursive);
        }
        fs::copy(fs::path(TAVO_SOURCE_DIR) / "tables/messages", sources / "messages",
                 fs::copy_options::recursive);
        const fs::path amo = tree.root() / "bin" / "amo";
        const fs::path builder =
            fs::path(TAVO_TEST_OUTPUT_DIR).parent_path() / "tools" / "table_builder";
        ASSERT_EQ(
            platform::run_program(
                {builder.string(), "--sources", sources.string(), "--out", amo.string()}, 60000),
            0);
        fs::copy_file(built_root() / "bin/amo/tvgsfont.amo", amo / "tvgsfont.amo",
                      fs::copy_options::overwrite_existing);
        ASSERT_EQ(read_root_folders(), 0);
        ASSERT_EQ(open_message_table(), 0);
        ASSERT_EQ(load_definitions(0), 0);
        update_flag_expressions();
    }

    TempTree tree;

private:
    static void take_down() {
        free_menu_store();
        forget_command_help();
        free_definitions();
        close_message_table();
        platform::reset_all_state();
        clear_last_table_error();
        set_tables_stale(0);
    }
};

}  // namespace tavo_test
