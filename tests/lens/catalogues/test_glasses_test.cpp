// The test-glass list: what a file's lines give, and the setting that loads it as a user sets
// it on the command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lens/test_glasses.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "tests/support/temp_tree.h"

namespace {

std::vector<int> radii() {
    std::vector<int> r;
    for (int i = 0; i < test_glass_count(); ++i) r.push_back(test_glass_radius(i));
    return r;
}

struct FileCase {
    const char* what;
    const char* text;
    int result;
    std::vector<int> radii;  // in units of 1e-4, ascending
};

TEST(TestGlassFile, LinesGiveTheRadiiOfTheList) {
    const FileCase cases[] = {
        {"the count is only a hint: 3 announced, 5 listed",
         "3\n10\n20\n30\n40\n50\n",
         0,
         {100000, 200000, 300000, 400000, 500000}},
        {"a block comment before a number leaves the number after it",
         "1\n/* 10 */ 20\n",
         0,
         {200000}},
        {"a number before a block comment keeps only that number",
         "1\n30 /* x */ 40\n",
         0,
         {300000}},
        {"a line comment hides the whole line", "2\n// 15\n25\n", 0, {250000}},
        {"lines inside a block comment count for nothing",
         "2\n/*\n11\n12\n13\n*/\n7\n",
         0,
         {70000}},
        {"a comment opening after the count runs over the next lines",
         "2 /*\n11\n*/ 8\n4\n",
         0,
         {40000, 80000}},
        {"200000 times 10000 reaches 1e9 and is left out", "2\n200000.0\n5\n", 0, {50000}},
        {"99999.9999 times 10000 is 999999999 and stays", "1\n99999.9999\n", 0, {999999999}},
        {"radii are rounded to 1e-4: 12.34567 -> 123456.7 -> 123457, -0.00004 -> -0.4 -> 0",
         "2\n12.34567\n-0.00004\n",
         0,
         {0, 123457}},
        {"the list comes out ascending whatever the file's order",
         "3\n30\n-10\n20\n",
         0,
         {-100000, 200000, 300000}},
        {"lines without a digit are skipped", "two\n2\n\nradius\n1.5\n", 0, {15000}},
        {"CR LF line ends", "2\r\n3\r\n1\r\n", 0, {10000, 30000}},
        {"a radius line that is no number stops with the radii before it",
         "3\n10\nabc 5\n20\n",
         kMsgTestGlassLineBad,
         {100000}},
        {"a count line that is no number gives nothing", "x3\n10\n", kMsgTestGlassLineBad, {}},
        {"inf and nan are no numbers of the file",
         "2\n10\ninf 1\n",
         kMsgTestGlassLineBad,
         {100000}},
        {"an empty file is an empty list", "", 0, {}},
        {"a huge count allocates nothing it does not need", "2000000000\n1\n", 0, {10000}},
    };
    tavo_test::TempTree tree;
    for (const FileCase& c : cases) {
        const std::string path = tree.write_file("lists/case.tgl", c.text).string();
        EXPECT_EQ(read_test_glass_list(path.c_str()), c.result) << c.what;
        EXPECT_EQ(radii(), c.radii) << c.what;
    }
    EXPECT_EQ(read_test_glass_list((tree.base() / "none.tgl").string().c_str()),
              kMsgTestGlassFileUnreadable);
    EXPECT_EQ(test_glass_count(), 0);
    EXPECT_EQ(read_test_glass_list(""), kMsgTestGlassFileUnreadable);
    EXPECT_EQ(read_test_glass_list(nullptr), kMsgTestGlassFileUnreadable);
    EXPECT_EQ(test_glass_radius(-1), 0);
}

TEST(TestGlassFile, RadiiStepToTheNextPlateEitherWay) {
    tavo_test::TempTree tree;
    const std::string path = tree.write_file("plates.tgl", "4\n-20\n35.5\n10\n50\n").string();
    ASSERT_EQ(read_test_glass_list(path.c_str()), 0);
    const struct {
        double radius;
        int direction;
        int result;
        double next;
    } cases[] = {
        {0.0, 1, 0, 10.0},      {0.0, -1, 0, -20.0},     {10.0, 1, 0, 35.5},   {10.0, -1, 0, -20.0},
        {10.00004, 1, 0, 35.5}, {10.00006, -1, 0, 10.0}, {35.5, 1, 0, 50.0},   {49.99, 1, 0, 50.0},
        {50.0, 1, -1, 0.0},     {-20.0, -1, -1, 0.0},    {-1e12, 1, 0, -20.0}, {1e12, -1, 0, 50.0},
        {10.0, 0, -1, 0.0},
    };
    for (const auto& c : cases) {
        double next = 0.0;
        EXPECT_EQ(step_test_glass_radius(c.radius, c.direction, &next), c.result)
            << c.radius << " " << c.direction;
        EXPECT_DOUBLE_EQ(next, c.next) << c.radius << " " << c.direction;
    }
    // One plate is no list to step through.
    const std::string one = tree.write_file("one.tgl", "1\n10\n").string();
    ASSERT_EQ(read_test_glass_list(one.c_str()), 0);
    double next = 0.0;
    EXPECT_EQ(step_test_glass_radius(0.0, 1, &next), -1);
    clear_test_glass_list();
}

class TestGlassSetting : public loop_test::Loop {
protected:
    void TearDown() override {
        clear_test_glass_list();
        Loop::TearDown();
    }
    std::string setting() const { return get_setting_text(kSetTestGlassFile, 0); }
};

TEST_F(TestGlassSetting, ABareNameIsReadFromTheInstallationAndReported) {
    run_.tree.write_file("root/bin/lmo/shop.tgl", "3\n40\n-25.5\n100\n");
    type("set_setting 65 0 0 0 0 0 \"shop\"");
    EXPECT_EQ(setting(), "shop.tgl");
    EXPECT_EQ(radii(), (std::vector<int>{-255000, 400000, 1000000}));
    EXPECT_NE(errors().find("Test glass list shop.tgl: 3 glasses"), std::string::npos) << errors();
}

TEST_F(TestGlassSetting, AFailedLoadKeepsThePreviousFileAndItsList) {
    run_.tree.write_file("root/bin/lmo/shop.tgl", "2\n40\n50\n");
    type("set_setting 65 0 0 0 0 0 \"shop\"");
    ASSERT_EQ(test_glass_count(), 2);
    type("set_setting 65 0 0 0 0 0 \"absent\"");
    EXPECT_NE(errors().find("The test glass list absent.tgl cannot be opened"), std::string::npos)
        << errors();
    EXPECT_EQ(setting(), "shop.tgl");
    EXPECT_EQ(radii(), (std::vector<int>{400000, 500000}));

    run_.tree.write_file("root/bin/lmo/broken.tgl", "2\n60\nsixty 5\n");
    type("set_setting 65 0 0 0 0 0 \"broken\"");
    EXPECT_NE(errors().find("The test glass list broken.tgl holds a line that is not a number"),
              std::string::npos)
        << errors();
    EXPECT_EQ(setting(), "shop.tgl");
    EXPECT_EQ(radii(), (std::vector<int>{400000, 500000}));
}

TEST_F(TestGlassSetting, ANameWithAFolderIsOpenedWhereItPoints) {
    // Named with either separator, from the current folder or absolutely.
    const auto file = run_.tree.write_file("data/plates/shop.list", "1\n12.5\n");
    const std::string absolute = file.string();
    type("set_setting 65 0 0 0 0 0 \"" + absolute + "\"");
    EXPECT_EQ(setting(), absolute);
    EXPECT_EQ(radii(), (std::vector<int>{125000}));

    std::string backslashed = absolute;
    for (char& c : backslashed) {
        if (c == '/') c = '\\';
    }
    clear_test_glass_list();
    EXPECT_EQ(read_test_glass_list(backslashed.c_str()), 0);
    EXPECT_EQ(radii(), (std::vector<int>{125000}));
    // A bare name is not looked for beside the current folder.
    EXPECT_EQ(test_glass_path("shop.list"), (run_.tree.root() / "bin/lmo/shop.list").string());
}

}  // namespace
