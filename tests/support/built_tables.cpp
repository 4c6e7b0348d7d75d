#include "tests/support/built_tables.h"

#include <system_error>

#include "platform/child_process.h"
#include "runtime/definitions.h"
#include "runtime/table_files.h"
#include "runtime/table_messages.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;

namespace tavo_test {

fs::path table_builder_path() {
    return fs::path(TAVO_TEST_OUTPUT_DIR).parent_path() / "tools" / "table_builder";
}

int build_tables(const fs::path& sources, const fs::path& amo) {
    const int rc = platform::run_program(
        {table_builder_path().string(), "--sources", sources.string(), "--out", amo.string()},
        60000);
    if (rc != 0) return rc;
    std::error_code error;
    fs::copy_file(built_root() / "bin/amo/tvgsfont.amo", amo / "tvgsfont.amo",
                  fs::copy_options::overwrite_existing, error);
    return error ? -1 : 0;
}

int load_built_tables() {
    if (const int rc = read_root_folders(); rc != 0) return rc;
    if (const int rc = open_message_table(); rc != 0) return rc;
    return load_definitions(0);
}

platform::ConsoleOptions test_console_options(std::istream& input, std::ostream& output,
                                              std::ostream& errors) {
    platform::ConsoleOptions options;
    options.input = &input;
    options.output = &output;
    options.errors = &errors;
    options.manual_clock = true;
    return options;
}

}  // namespace tavo_test
