// Script entries of command files in the temporary data and installation folders, run through
// typed lines; the stopwatch.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "runtime/lens_data_guard.h"
#include "runtime/table_files.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

namespace fs = std::filesystem;
using loop_test::Loop;

class Scripts : public Loop {
protected:
    void TearDown() override {
        set_lens_data_query(nullptr);
        Loop::TearDown();
    }
    static void write(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }
    fs::path data_scp(const std::string& name) { return fs::path(data_folder()) / "scp" / name; }
    fs::path root_scp(const std::string& name) {
        return fs::path(root_folder()) / "public" / "scp" / name;
    }
    std::string value(const std::string& line) {
        type(line);
        return ui().status_text();
    }
    std::string last_box() {
        return ui().message_boxes_shown().empty() ? "" : ui().message_boxes_shown().back().text;
    }
};

TEST_F(Scripts, TheDataFolderComesBeforeTheInstallation) {
    write(data_scp("lens.scp"), "*other\na = 9\n*setup\na = 1\n");
    write(root_scp("lens.scp"), "*setup\na = 2\n*only_public\na = 3\n");
    struct Case {
        const char* line;
        const char* a;
    } cases[] = {
        {"script \"setup:lens\"", "Value: 1.0"},
        {"script \"only_public:lens\"", "Value: 3.0"},
        {"script \"OTHER:lens\"", "Value: 9.0"},  // names without regard to case
    };
    for (const Case& c : cases) {
        type("a = 0");
        type(c.line);
        EXPECT_EQ(last_box(), "") << c.line;
        EXPECT_EQ(value("a"), c.a) << c.line;
    }
}

TEST_F(Scripts, HeadingsMatchTheWholeNameAndCRLFFilesRead) {
    write(data_scp("head.scp"), "*setupx\r\na = 5\r\n*SETUP more words\r\na = 6\r\nb = 7\r\n");
    type("a = 0");
    type("b = 0");
    type("script \"setup:head\"");
    EXPECT_EQ(value("a"), "Value: 6.0") << last_box();
    EXPECT_EQ(value("b"), "Value: 7.0");
    // Without a file name: a file named like the entry, then "default".
    write(data_scp("default.scp"), "*fromdefault\na = 11\n");
    type("script \"fromdefault\"");
    EXPECT_EQ(value("a"), "Value: 11.0");
}

TEST_F(Scripts, MissingEntriesAndOverlongLinesAreReported) {
    write(data_scp("lens.scp"), "*setup\na = 1\n");
    type("script \"nothing:lens\"");
    EXPECT_NE(last_box().find("The script entry nothing:lens was not found"), std::string::npos)
        << last_box();
    write(data_scp("long.scp"), "*setup\na = 1\n" + std::string(256, ' ') + "\n");
    type("script \"setup:long\"");
    EXPECT_NE(last_box().find("Line 3 of"), std::string::npos) << last_box();
    EXPECT_NE(last_box().find("long.scp"), std::string::npos) << last_box();
    std::string big = "*big\n";
    for (int k = 0; k < 500; ++k) big += "a = 1 + 2 + 3 + 4\n";
    write(data_scp("big.scp"), big);
    type("script \"big\"");
    EXPECT_NE(last_box().find("longer than 8192 bytes"), std::string::npos) << last_box();
}

TEST_F(Scripts, NoScriptRunsWhileLensDataIsRead) {
    write(data_scp("lens.scp"), "*setup\na = 1\n");
    type("a = 0");
    set_lens_data_query([] { return true; });
    type("script \"setup:lens\"");
    EXPECT_NE(last_box().find("while lens data is read"), std::string::npos) << last_box();
    set_lens_data_query(nullptr);
    EXPECT_EQ(value("a"), "Value: 0.0");
}

TEST_F(Scripts, TheStopwatchGrowsUntilItIsReset) {
    type("stopwatch_reset");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int first = std::stoi(value("stopwatch()").substr(7));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int second = std::stoi(value("stopwatch()").substr(7));
    EXPECT_GE(first, 20);
    EXPECT_GT(second, first);
    type("stopwatch_reset");
    EXPECT_LT(std::stoi(value("stopwatch()").substr(7)), second);
}

}  // namespace
