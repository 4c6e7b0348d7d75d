#include "tests/support/built_tables.h"

#include <fstream>
#include <system_error>

#include "platform/child_process.h"
#include "platform/ui.h"
#include "runtime/definitions.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/table_files.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"

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

MessageConsole::~MessageConsole() {
    close_message_table();
    set_running_flag(0);
    reset_output_options();
    reset_text_output();
    platform::set_current_ui(nullptr);
}

int MessageConsole::open_console(const std::vector<MessageText>& texts) {
    std::vector<std::uint8_t> bytes;
    if (const int rc = build_message_table(texts, bytes); rc != 0) return rc;
    std::ofstream f(tree.root() / "bin/amo/tvrtmsgs.amo", std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    f.close();
    if (!f) return -1;
    return open_table_and_window();
}

int MessageConsole::open_console_with_built_messages() {
    std::error_code error;
    fs::copy_file(built_root() / "bin/amo/tvrtmsgs.amo", tree.root() / "bin/amo/tvrtmsgs.amo",
                  fs::copy_options::overwrite_existing, error);
    if (error) return -1;
    return open_table_and_window();
}

int MessageConsole::open_table_and_window() {
    if (const int rc = read_root_folders(); rc != 0) return rc;
    if (const int rc = open_message_table(); rc != 0) return rc;
    platform::set_current_ui(&ui);
    if (const int rc = ui.create_frame("TAVO LT", nullptr); rc != 0) return rc;
    if (const int rc = ui.create_window(platform::kWindowText1, "Text 1", nullptr); rc != 0)
        return rc;
    reset_output_options();
    reset_text_output();
    return 0;
}

}  // namespace tavo_test
