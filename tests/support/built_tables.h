// Tables built from text sources for one test, and the console the tests drive: the table
// builder the build made, run on a sources folder, and the reading of what it wrote; a message
// table of a test's own texts with a console that shows them.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <sstream>
#include <vector>

#include "platform/console/console_backend.h"
#include "runtime/message_table.h"
#include "tests/support/temp_tree.h"

namespace tavo_test {

// The table builder of this build.
std::filesystem::path table_builder_path();

// Builds the tables from the text sources into amo (a ROOT's bin/amo), with the built stroke
// font beside them: 0, or the builder's exit status (-1 when the font cannot be copied).
int build_tables(const std::filesystem::path& sources, const std::filesystem::path& amo);

// Reads ROOT's folders, the message table and the definitions: 0 or the first failure.
int load_built_tables();

// Console options over the test's streams, with the clock moved only by the test.
platform::ConsoleOptions test_console_options(std::istream& input, std::ostream& output,
                                              std::ostream& errors);

// A temporary ROOT with a run-time message table and a console over string streams, for a test
// whose code shows messages or prints: a fixture derives from it beside ::testing::Test and
// opens it in SetUp. The destructor closes the table, detaches the console and puts the output
// switches, the text writer and the running flag back.
class MessageConsole {
public:
    MessageConsole() = default;
    ~MessageConsole();
    MessageConsole(const MessageConsole&) = delete;
    MessageConsole& operator=(const MessageConsole&) = delete;

    // Writes texts as ROOT's message table, reads ROOT's folders and opens the table, then makes
    // the console the current UI with the program's frame and its first text window, the output
    // switches and the text writer reset: 0 or the first failure.
    int open_console(const std::vector<MessageText>& texts);
    // The same with the message table the build made.
    int open_console_with_built_messages();

    TempTree tree;
    std::istringstream in;
    std::ostringstream out, err;
    platform::ConsoleBackend ui{test_console_options(in, out, err)};

private:
    int open_table_and_window();
};

}  // namespace tavo_test
