// The help command: typed as "help", it opens ROOT/hlp/<program base name>.hlp with the
// desktop's opener, or reports -100. The opener is found through PATH, so the tests put a
// stand-in "xdg-open" script into a folder of their own and point PATH at it.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "app/startup.h"
#include "platform/environment.h"
#include "platform/help_viewer.h"
#include "runtime/dispatch.h"
#include "runtime/help_command.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "tests/support/temp_tree.h"

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

    fs::path help_file(const char* name) {
        const fs::path folder = run_.tree.root() / "hlp";
        fs::create_directories(folder);
        std::ofstream(folder / name) << "help text\n";
        return folder / name;
    }

    fs::path bin_, empty_bin_, record_;
};

TEST_F(Help, TypedWithoutAHelpFileReportsTheFileItCannotOpen) {
    PathOverride path(bin_);
    type("help");
    EXPECT_NE(errors().find("Cannot open the help file"), std::string::npos) << errors();
    EXPECT_EQ(show_help(0, 0), kMsgHelpRefused);
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

TEST_F(Help, APresentHelpFileGoesToTheDesktopOpener) {
    const fs::path file = help_file("tavolt.hlp");
    PathOverride path(bin_);
    type("help");
    EXPECT_EQ(errors().find("Cannot open the help file"), std::string::npos) << errors();
    EXPECT_EQ(wait_for_text(record_), file.string() + "\n");
}

TEST_F(Help, ModesNameTheirFiles) {
    const fs::path contents = help_file("tavolt.hlp");
    PathOverride path(bin_);
    // Help on using help has a file of its own; without it the viewer refuses.
    EXPECT_EQ(show_help(2, 0), kMsgHelpRefused);
    const fs::path on_help = help_file("winhelp.hlp");
    EXPECT_EQ(show_help(2, 0), 0);
    EXPECT_EQ(wait_for_text(record_), on_help.string() + "\n");
    fs::remove(record_);
    EXPECT_EQ(show_help(1, 510), 0);
    EXPECT_EQ(wait_for_text(record_), contents.string() + "\n");
    EXPECT_EQ(show_help(3, 0), kMsgHelpRefused);
    EXPECT_EQ(show_help(-1, 0), kMsgHelpRefused);
}

TEST_F(Help, WithoutAnOpenerTheViewerRefuses) {
    const fs::path file = help_file("tavolt.hlp");
    PathOverride path(empty_bin_);
    EXPECT_FALSE(platform::open_help(file.string(), 0, 0));
    EXPECT_EQ(show_help(0, 0), kMsgHelpRefused);
    // A folder is no help file, whatever its name.
    fs::create_directories(run_.tree.root() / "hlp" / "folder.hlp");
    PathOverride with_opener(bin_);
    EXPECT_FALSE(platform::open_help((run_.tree.root() / "hlp" / "folder.hlp").string(), 0, 0));
    EXPECT_FALSE(fs::exists(record_));
}

}  // namespace
