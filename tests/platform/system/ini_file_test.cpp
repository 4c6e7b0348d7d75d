// The private-profile rules the settings file depends on.
#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <climits>
#include <cstring>
#include <filesystem>

#include "platform/status.h"
#include "tests/platform/system/platform_test_helpers.h"
#include "tests/support/temp_tree.h"

namespace {

namespace fs = std::filesystem;

// CR LF lines, comments of both kinds, blank lines, names in another case than the lookups.
const char* const kSettings =
    "; written by hand\r\n"
    "[Graphics]\r\n"
    "Graphics_scale = 1.5\r\n"
    "# Graphics_axes=On\r\n"
    ";Hidden=1\r\n"
    "\r\n"
    "   \r\n"
    "[ program ]\r\n"
    "Designer=Ann Smith\r\n"
    "Max_spd_rays=  42abc\r\n"
    "Empty=\r\n"
    "Negative=-17\r\n"
    "Huge=99999999999\r\n"
    "Tiny=-99999999999\r\n"
    "NotNumber=x12\r\n"
    "Plus=+7\r\n"
    "Designer=second one is ignored\r\n"
    "[Lens]\r\n"
    "Lens_file=a.len\r\n";

struct TextCase {
    const char* section;
    const char* key;
    const char* expected;
};

TEST(IniFile, TextLookupMatchesWithoutCaseAndFallsBackToTheDefault) {
    platform::IniDocument ini;
    ini.parse(kSettings);
    const TextCase cases[] = {
        {"Graphics", "Graphics_scale", "1.5"},
        {"GRAPHICS", "graphics_SCALE", "1.5"},
        {"Program", "designer", "Ann Smith"},        // first of two equal keys
        {"Program", "Empty", ""},                    // present but empty: not the default
        {"Graphics", "Graphics_axes", "<default>"},  // '#' comment
        {"Graphics", "Hidden", "<default>"},         // ';' comment
        {"Graphics", "Designer", "<default>"},       // key of another section
        {"Optimization", "Designer", "<default>"},   // missing section
        {"Lens", "Lens_file", "a.len"},
        {"Lens", "Missing", "<default>"},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(ini.get_text(c.section, c.key, "<default>"), c.expected);
    }
}

TEST(IniFile, IntegerRuleTakesTheLeadingDecimalInteger) {
    platform::IniDocument ini;
    ini.parse(kSettings);
    const struct {
        const char* key;
        int expected;
    } cases[] = {
        {"Max_spd_rays", 42}, {"Negative", -17}, {"Plus", 7},    {"NotNumber", 0},
        {"Huge", INT_MAX},    {"Tiny", INT_MIN}, {"Empty", 555}, {"Missing", 555},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(ini.get_int("Program", c.key, 555), c.expected);
    }
}

TEST(IniFile, ValueIsCutToLimitMinusOneCharacters) {
    platform::IniDocument ini;
    ini.parse("[S]\nK=abcdefgh\n");
    const struct {
        std::size_t limit;
        const char* expected;
    } cases[] = {{9, "abcdefgh"}, {8, "abcdefg"}, {2, "a"}, {1, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        const std::size_t copied = ini.get_text("S", "K", "", buffer, c.limit);
        EXPECT_EQ(copied, std::strlen(c.expected));
        EXPECT_STREQ(buffer, c.expected);
        EXPECT_EQ(buffer[c.limit], '#') << "wrote past the limit";
    }
    // The default is limited the same way.
    char buffer[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(ini.get_text("S", "Missing", "Off!", buffer, 3), 2u);
    EXPECT_STREQ(buffer, "Of");
    EXPECT_EQ(buffer[3], '#');
    EXPECT_EQ(ini.get_text("S", "K", "", buffer, 0), 0u);
}

TEST(IniFile, MissingFileGivesDefaults) {
    tavo_test::TempTree tree;
    const std::string path = (tree.data() / "tavo.ini").string();
    EXPECT_EQ(platform::ini_get_text(path, "Program", "Designer", "nobody"), "nobody");
    EXPECT_EQ(platform::ini_get_int(path, "Program", "Max_spd_rays", 2000), 2000);
    char buffer[8];
    EXPECT_EQ(platform::ini_get_text(path, "Program", "Designer", "abc", buffer, sizeof buffer),
              3u);
    EXPECT_STREQ(buffer, "abc");
}

TEST(IniFile, WritingUpdatesInPlaceAndKeepsTheRest) {
    tavo_test::TempTree tree;
    const fs::path path = tree.write_file("data/tavo.ini",
                                          "; my settings\n"
                                          "[Graphics]\n"
                                          "graphics_scale=1.5\n"
                                          "; keep this comment\n"
                                          "Graphics_axes=On\n"
                                          "\n"
                                          "[Program]\n"
                                          "Designer=Ann\n");
    const std::string file = path.string();
    ASSERT_EQ(platform::ini_put_text(file, "GRAPHICS", "Graphics_scale", "2.25"), 0);
    ASSERT_EQ(platform::ini_put_text(file, "Graphics", "Graphics_labels", "Off"), 0);
    ASSERT_EQ(platform::ini_put_text(file, "Lens", "Lens_file", "x.len"), 0);
    EXPECT_EQ(tavo_test::read_file(path),
              "; my settings\n"
              "[Graphics]\n"
              "graphics_scale=2.25\n"
              "; keep this comment\n"
              "Graphics_axes=On\n"
              "Graphics_labels=Off\n"
              "\n"
              "[Program]\n"
              "Designer=Ann\n"
              "\n"
              "[Lens]\n"
              "Lens_file=x.len\n");
    EXPECT_EQ(platform::ini_get_text(file, "graphics", "GRAPHICS_SCALE", ""), "2.25");
}

TEST(IniFile, WritingCreatesAMissingFile) {
    tavo_test::TempTree tree;
    const std::string file = (tree.data() / "new.ini").string();
    ASSERT_EQ(platform::ini_put_text(file, "Program", "Version_number", "5.40"), 0);
    EXPECT_EQ(tavo_test::read_file(file), "[Program]\nVersion_number=5.40\n");
}

TEST(IniFile, RefusesTextsThatWouldBreakTheFile) {
    tavo_test::TempTree tree;
    const fs::path path = tree.write_file("data/tavo.ini", "[Program]\nDesigner=Ann\n");
    const std::string before = tavo_test::read_file(path);
    const struct {
        const char* section;
        const char* key;
        const char* value;
    } cases[] = {
        {"Program", "Designer", "Bob\n[Graphics]"},
        {"Program", "Designer", "Bob\rX"},
        {"Program", "A=B", "1"},
        {"Pro]gram", "Designer", "1"},
        {"", "Designer", "1"},
        {"Program", " ", "1"},
        {"Program", ";Designer", "1"},
        {"Program", "[Designer", "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(platform::ini_put_text(path.string(), c.section, c.key, c.value),
                  platform::kBadArgument);
        EXPECT_EQ(tavo_test::read_file(path), before);
    }
}

TEST(IniFile, FailedWriteInReadOnlyFolderKeepsTheOldFile) {
    tavo_test::TempTree tree;
    const fs::path folder = tree.base() / "locked";
    const fs::path path = tree.write_file("locked/tavo.ini", "[Program]\nDesigner=Ann\n");
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    const int result = tavo_test::run_forked([&] {
        if (!tavo_test::become_unprivileged()) return tavo_test::kCannotSetUp;
        return -platform::ini_put_text(path.string(), "Program", "Designer", "Bob");
    });
    ::chmod(folder.c_str(), 0755);
    if (result == tavo_test::kCannotSetUp) GTEST_SKIP() << "cannot drop privileges here";
    EXPECT_EQ(result, -platform::kAccessDenied);
    EXPECT_EQ(tavo_test::read_file(path), "[Program]\nDesigner=Ann\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

}  // namespace
