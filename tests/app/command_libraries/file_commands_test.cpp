// The command language's files and formatted input through typed lines, on files in a
// temporary folder; every outcome is an int result on the status line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "runtime/file_commands.h"
#include "runtime/lens_data_guard.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

namespace fs = std::filesystem;
using loop_test::Loop;

class FileCommands : public Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        folder_ = fs::temp_directory_path() / ("tavo_files_" + std::to_string(::getpid()));
        fs::create_directories(folder_);
    }
    void TearDown() override {
        close_all_files();
        set_lens_data_query(nullptr);
        type("strcpy(on_error, \"\")");
        fs::remove_all(folder_);
        Loop::TearDown();
    }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }
    // The value a line shows on the status line.
    std::string value(const std::string& line) {
        type(line);
        const std::string s = ui().status_text();
        return s.rfind("Value: ", 0) == 0 ? s.substr(7) : "[" + s + "]";
    }
    std::string open(const std::string& name, const std::string& mode) {
        return value("fopen(\"" + path(name) + "\", \"" + mode + "\")");
    }

    fs::path folder_;
};

TEST_F(FileCommands, LinesReadInTextAndBinaryMode) {
    write("crlf.txt", "abc\r\nde\n");
    struct Case {
        const char* mode;
        const char* first_length;
    } cases[] = {{"rt", "3"}, {"r", "3"}, {"rb", "4"}};
    for (const Case& c : cases) {
        ASSERT_EQ(open("crlf.txt", c.mode), "1") << c.mode;
        EXPECT_EQ(value("fgets(1, on_error)"), c.first_length) << c.mode;
        EXPECT_EQ(value("fgets(1, on_error)"), "2") << c.mode;
        EXPECT_EQ(value("strcmp(on_error, \"de\")"), "0");
        EXPECT_EQ(value("fgets(1, on_error)"), "-1") << c.mode;  // end of file
        EXPECT_EQ(value("fclose(1)"), "0");
    }
    EXPECT_EQ(value("fclose(1)"), "-149");  // not open
    EXPECT_EQ(value("fgets(2, on_error)"), "-176");
}

TEST_F(FileCommands, ThreeFilesAtMostAndOnlySoundModes) {
    write("f.txt", "x");
    EXPECT_EQ(open("f.txt", "r"), "1");
    EXPECT_EQ(open("f.txt", "r"), "2");
    EXPECT_EQ(open("f.txt", "r"), "3");
    EXPECT_EQ(open("f.txt", "r"), "-146");
    EXPECT_EQ(value("fclose(2)"), "0");
    EXPECT_EQ(open("missing.txt", "r"), "-146");
    for (const char* mode : {"x", "rr", "r++", "rbt", "w+bb", ""}) {
        EXPECT_EQ(open("f.txt", mode), "-146") << mode;
    }
    EXPECT_EQ(open("f.txt", "a+b"), "2");
}

TEST_F(FileCommands, WritesSeeksRenamesAndRemoves) {
    ASSERT_EQ(open("out.txt", "w"), "1");
    EXPECT_EQ(value("fprintf(1, \"%d-%s\\n\", 42, \"x\")"), "5");
    EXPECT_EQ(value("ftell(1)"), "5");
    EXPECT_EQ(value("fclose(1)"), "0");
    EXPECT_EQ(value("fprintf(1, \"more\")"), "-162");  // closed
    std::ifstream in(path("out.txt"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "42-x\n");

    ASSERT_EQ(open("out.txt", "r"), "1");
    EXPECT_EQ(value("fseek(1, 3, 0)"), "0");
    EXPECT_EQ(value("fgets(1, on_error)"), "1");
    EXPECT_EQ(value("strcmp(on_error, \"x\")"), "0");
    EXPECT_EQ(value("fseek(1, 0, 7)"), "-148");
    EXPECT_EQ(value("fclose(1)"), "0");

    // A name with '\' is taken with '/'.
    std::string from = path("out.txt"), to = path("moved.txt");
    for (char& c : to) {
        if (c == '/') c = '\\';
    }
    EXPECT_EQ(value("frename(\"" + from + "\", \"" + to + "\")"), "0");
    EXPECT_TRUE(fs::exists(path("moved.txt")));
    EXPECT_EQ(value("frename(\"" + from + "\", \"" + to + "\")"), "-218");
    EXPECT_EQ(value("fremove(\"" + path("moved.txt") + "\")"), "0");
    EXPECT_EQ(value("fremove(\"" + path("moved.txt") + "\")"), "-217");
}

TEST_F(FileCommands, RawValuesAndArraysRoundTrip) {
    ASSERT_EQ(open("raw.bin", "wb"), "1");
    type("a = 2.5");
    EXPECT_EQ(value("fwrite(1, a)"), "1");
    EXPECT_EQ(value("fwrite(1, on_error, 4)"), "4");
    EXPECT_EQ(value("fwrite(1, array1, 0)"), "2000");
    EXPECT_EQ(value("fwrite(1, array1, 2001)"), "-177");
    EXPECT_EQ(value("fclose(1)"), "0");
    EXPECT_EQ(fs::file_size(path("raw.bin")), 8u + 4u + 2000u * 8u);
    ASSERT_EQ(open("raw.bin", "rb"), "1");
    type("b = 0");
    EXPECT_EQ(value("fread(1, b)"), "1");
    EXPECT_EQ(value("b"), "2.5");
}

TEST_F(FileCommands, FormattedInput) {
    struct Case {
        const char* input;
        const char* format;
        const char* result;
        const char* error_code;  // the int variable afterwards, or null
    } cases[] = {
        // Two conversions into the same variable: the count, and the later value kept.
        {"12 34", "%d %d", "2", "34"},
        {"12 x", "%d %d", "-184", nullptr},
        {"12345", "%3d", "1", "123"},
        {"010", "%d", "1", "8"},
        {"0x1F", "%d", "1", "31"},
        {"17", "%o", "1", "15"},
        {"ff", "%x", "1", "255"},
        {"12", "%f", "-182", nullptr},  // a real conversion needs a double variable
        {"12", "%.2d", "-183", nullptr},
        {"12", "%q", "-183", nullptr},
        {"", "%d", "-184", nullptr},
        {"v=7", "v=%d", "1", "7"},
        {"w=7", "v=%d", "-184", nullptr},
        {"%5", "%%%d", "1", "5"},
        {"5%", "%d%%", "-184", nullptr},  // a field runs to the next blank
    };
    int k = 0;
    for (const Case& c : cases) {
        const std::string name = "in" + std::to_string(k++) + ".txt";
        write(name, c.input);
        ASSERT_EQ(open(name, "r"), "1");
        type("error_code = -1");
        const bool two = std::string(c.format).find("%d %d") != std::string::npos;
        const std::string variables = two ? "error_code, error_code" : "error_code";
        EXPECT_EQ(value(std::string("fscanf(1, \"") + c.format + "\", " + variables + ")"),
                  c.result)
            << c.input << " / " << c.format;
        if (c.error_code != nullptr) {
            EXPECT_EQ(value("error_code"), c.error_code) << c.input;
        }
        EXPECT_EQ(value("fclose(1)"), "0");
    }
    // After %3d the rest of the field is still there; a text conversion fills a text.
    write("rest.txt", "12345 word");
    ASSERT_EQ(open("rest.txt", "r"), "1");
    EXPECT_EQ(value("fscanf(1, \"%3d%d %s\", error_code, error_code, on_error)"), "3");
    EXPECT_EQ(value("error_code"), "45");
    EXPECT_EQ(value("strcmp(on_error, \"word\")"), "0");
    EXPECT_EQ(value("fscanf(1, \"%d\", error_code)"), "-184");  // at the end
    EXPECT_EQ(value("fscanf(3, \"%d\", error_code)"), "-181");
    type("a = 0");
    write("real.txt", "2.5e1");
    ASSERT_EQ(open("real.txt", "r"), "2");
    EXPECT_EQ(value("fscanf(2, \"%f\", a)"), "1");
    EXPECT_EQ(value("a"), "25.0");
}

TEST_F(FileCommands, NothingTouchesFilesWhileLensDataIsRead) {
    write("f.txt", "x");
    set_lens_data_query([] { return true; });
    for (const std::string& line :
         {"fopen(\"" + path("f.txt") + "\", \"r\")", "fremove(\"" + path("f.txt") + "\")",
          std::string("fscanf(1, \"%d\", error_code)")}) {
        const std::size_t boxes = ui().message_boxes_shown().size();
        type(line);
        ASSERT_EQ(ui().message_boxes_shown().size(), boxes + 1) << line;
        EXPECT_NE(ui().message_boxes_shown().back().text.find("while lens data is read"),
                  std::string::npos);
    }
    EXPECT_TRUE(fs::exists(path("f.txt")));
}

}  // namespace
