// The help command: "help", "help 1 <topic>" and "help 2" read ROOT/hlp/<program base name>.html.
// In the console the topic is written to the text output as text; the graphical program hands
// the file to the desktop's opener, which the tests replace by a stand-in "xdg-open" script in a
// folder of their own that PATH points at.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "app/sheet_strip.h"
#include "app/startup.h"
#include "entry/surface_sheet.h"
#include "platform/environment.h"
#include "platform/help_viewer.h"
#include "runtime/dispatch.h"
#include "runtime/help_command.h"
#include "runtime/help_file.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "tests/support/temp_tree.h"
#include "ui/window_table.h"

namespace {

namespace fs = std::filesystem;

// PATH for the life of the object.
class PathOverride {
public:
    explicit PathOverride(const fs::path& folder) : saved_(platform::environment_get("PATH")) {
        platform::environment_set("PATH", folder.string());
    }
    ~PathOverride() {
        if (saved_) {
            platform::environment_set("PATH", *saved_);
        } else {
            platform::environment_unset("PATH");
        }
    }

private:
    std::optional<std::string> saved_;
};

// Waits for the stand-in opener to write what it was given (the child runs detached).
std::string wait_for_text(const fs::path& file) {
    for (int k = 0; k < 500; ++k) {
        const std::string text = tavo_test::read_file(file);
        if (!text.empty() && text.back() == '\n') return text;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return tavo_test::read_file(file);
}

// A small help file in the form the build writes.
constexpr char kPage[] =
    "<!DOCTYPE html>\n<html><body>\n"
    "<section id=\"contents\">\n<h1>Contents</h1>\n<ul>\n"
    "<li><a href=\"#510\">The print dialog</a> (topic 510)</li>\n</ul>\n</section>\n"
    "<section id=\"using_help\">\n<h2>Using help</h2>\n<p>Type help 1 &lt;number&gt;.</p>\n"
    "</section>\n"
    "<section id=\"510\">\n<h2>The print dialog</h2>\n"
    "<p>It chooses the printer &amp; the copies,\nthen prints.</p>\n"
    "<pre>print_text 0\nprint_text 1 &quot;out.txt&quot;\n</pre>\n"
    "<ul>\n<li><code>mode</code> (int): from 0 to 1\nand more</li>\n<li>two</li>\n</ul>\n"
    "</section>\n</body></html>\n";

class Help : public loop_test::Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        const char* argv[] = {"/opt/somewhere/tavolt"};
        set_program_arguments(1, argv);
        bin_ = run_.tree.base() / "fakebin";
        empty_bin_ = run_.tree.base() / "emptybin";
        fs::create_directories(bin_);
        fs::create_directories(empty_bin_);
        record_ = run_.tree.base() / "opened.txt";
        const fs::path opener = bin_ / "xdg-open";
        std::ofstream(opener) << "#!/bin/sh\nprintf '%s\\n' \"$*\" > '" << record_.string()
                              << "'\n";
        fs::permissions(opener, fs::perms::owner_all);
    }

    fs::path help_file() { return run_.tree.write_file("root/hlp/tavolt.html", kPage); }
    // What the typed line wrote, from its echo on.
    std::string shown_after(const std::string& line) {
        const std::string all = output();
        type(line);
        return output().substr(all.size());
    }

    fs::path bin_, empty_bin_, record_;
};

TEST_F(Help, TypedWithoutAHelpFileReportsTheFileItCannotOpen) {
    PathOverride path(bin_);
    type("help");
    const std::string file = (run_.tree.root() / "hlp/tavolt.html").string();
    EXPECT_NE(errors().find("Cannot open the help file " + file), std::string::npos) << errors();
    EXPECT_EQ(show_help(0, 0), kErrorTextReady);
    EXPECT_FALSE(fs::exists(record_));
}

TEST_F(Help, TheOnErrorLineDoesNotSwallowTheRefusal) {
    // Through ordinary dispatch this on-error line would clear the failure.
    std::snprintf(on_error_line().line, sizeof on_error_line().line, "%s", "error_code = 0");
    PathOverride path(bin_);
    type("help");
    on_error_line() = OnErrorLine{};
    EXPECT_NE(errors().find("Cannot open the help file"), std::string::npos) << errors();
}

TEST_F(Help, TheConsoleWritesTheTopicAsTextAndNeverStartsTheOpener) {
    ASSERT_EQ(help_file(), run_.tree.root() / "hlp/tavolt.html");
    PathOverride path(bin_);
    struct Case {
        const char* line;
        const char* text;
    };
    const Case cases[] = {
        {"help", "Contents\n\n- The print dialog (topic 510)\n"},
        {"help 1 510",
         "The print dialog\n\nIt chooses the printer & the copies,\nthen prints.\n\n"
         "    print_text 0\n    print_text 1 \"out.txt\"\n\n"
         "- mode (int): from 0 to 1\n  and more\n- two\n"},
        {"help 2", "Using help\n\nType help 1 <number>.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string shown = shown_after(c.line);
        EXPECT_NE(shown.find(c.text), std::string::npos) << shown;
    }
    EXPECT_EQ(errors().find("Cannot open the help file"), std::string::npos) << errors();
    // A topic the file does not have is refused rather than shown as the file's start.
    type("help 1 511");
    EXPECT_NE(errors().find("Cannot open the help file"), std::string::npos) << errors();
    EXPECT_EQ(show_help(3, 0), kMsgHelpRefused);
    EXPECT_EQ(show_help(-1, 0), kMsgHelpRefused);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(fs::exists(record_));
}

TEST_F(Help, TheSheetsHelpButtonWritesTheSheetsTopic) {
    // The help file the build writes, which has a topic for every sheet.
    const std::string page = tavo_test::read_file(tavo_test::built_root() / "hlp/tavolt.html");
    ASSERT_FALSE(page.empty());
    run_.tree.write_file("root/hlp/tavolt.html", page);
    std::string expected;
    ASSERT_TRUE(help_topic_text_of(page, std::to_string(kHelpTopicSurfaceSheet), expected));
    // The strip's buttons need the installation's pictures.
    const fs::path pictures = run_.tree.root() / "bin/bma";
    fs::create_directories(pictures);
    for (const auto& e : fs::directory_iterator(tavo_test::built_root() / "bin/bma")) {
        fs::copy_file(e.path(), pictures / e.path().filename(),
                      fs::copy_options::overwrite_existing);
    }
    ASSERT_EQ(create_sheet_window(1999, 8, 84), 0);
    ASSERT_EQ(build_sheet_strip(), 0);
    type("surface_sheet 1 1 3 \"t\"");
    for (int k = 0; k < 3 && surface_sheet_state().open == 0; ++k) main_loop_pass(false);
    ASSERT_EQ(level_count(), 1) << errors();
    const std::string before = output();
    ASSERT_TRUE(ui().press_tool_button(platform::kWindowSpreadsheet, kSheetHelpCommand));
    settle();
    const std::string shown = output().substr(before.size());
    EXPECT_NE(shown.find("The surface spreadsheet\n\nThe surface spreadsheet shows the lens"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find(expected), std::string::npos) << shown;
    EXPECT_EQ(errors().find("Cannot open the help file"), std::string::npos) << errors();
}

TEST_F(Help, TheOpenerGetsThePathOrTheAddressOfTheTopic) {
    const fs::path file = help_file();
    PathOverride path(bin_);
    struct Case {
        const char* anchor;
        std::string given;
    };
    const Case cases[] = {
        {"", file.string()},
        {"510", "file://" + file.string() + "#510"},
        {"using_help", "file://" + file.string() + "#using_help"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.anchor);
        fs::remove(record_);
        ASSERT_TRUE(platform::open_help(file.string(), c.anchor));
        EXPECT_EQ(wait_for_text(record_), c.given + "\n");
    }
    // A path with characters an address cannot hold as they are.
    EXPECT_EQ(platform::help_file_address("/a b/ü%#.html", "1043"),
              "file:///a%20b/%C3%BC%25%23.html#1043");
}

TEST_F(Help, WithoutAnOpenerTheViewerRefuses) {
    const fs::path file = help_file();
    PathOverride path(empty_bin_);
    EXPECT_FALSE(platform::open_help(file.string(), ""));
    // A folder is no help file, whatever its name.
    fs::create_directories(run_.tree.root() / "hlp" / "folder.html");
    PathOverride with_opener(bin_);
    EXPECT_FALSE(platform::open_help((run_.tree.root() / "hlp" / "folder.html").string(), ""));
    EXPECT_FALSE(fs::exists(record_));
}

}  // namespace
