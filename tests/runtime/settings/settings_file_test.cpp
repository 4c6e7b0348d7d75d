// The settings file: the value formats, the reader's defaults and the writer's refusals.
#include <gtest/gtest.h>

#include <string>

#include "runtime/settings_file.h"
#include "tests/app/startup/started_runtime.h"

namespace {

namespace fs = std::filesystem;

TEST(SettingsFileFormat, WindowRows) {
    struct Case {
        const char* text;
        bool ok;
        int row[4];
    };
    const Case cases[] = {
        {"10 20 300 400", true, {10, 20, 300, 400}},
        {"  -5 +6 7 8 trailing", true, {-5, 6, 7, 8}},
        {"10 20 30", false, {}},
        {"", false, {}},
        {"a b c d", false, {}},
        {"1 2 x 4", false, {}},
        {"99999999999 0 0 0", true, {2147483647, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int row[4] = {-1, -1, -1, -1};
        EXPECT_EQ(parse_window_row(c.text, row), c.ok);
        if (c.ok) {
            for (int k = 0; k < 4; ++k) EXPECT_EQ(row[k], c.row[k]);
        } else {
            for (int k = 0; k < 4; ++k) EXPECT_EQ(row[k], -1);  // untouched
        }
    }
}

TEST(SettingsFileFormat, PenSequences) {
    struct Case {
        const char* text;
        int count;
        int first[4];
    };
    const Case cases[] = {
        {"5 3", 2, {5, 3, 9, 9}},
        {"  7   x 4 ", 3, {7, 0, 4, 9}},
        {"", 0, {9, 9, 9, 9}},
        {"12abc -2", 2, {12, -2, 9, 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int pens[4] = {9, 9, 9, 9};
        EXPECT_EQ(parse_pen_sequence(c.text, pens, 4), c.count);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(pens[k], c.first[k]);
    }
    int many[3] = {};
    EXPECT_EQ(parse_pen_sequence("1 2 3 4 5", many, 3), 3);

    const int written[] = {5, 3, 0, 8};
    EXPECT_EQ(format_pen_sequence(written, 4), "5 3 ");
    // The text with its NUL stays below 1024 bytes.
    int big[256];
    for (int& p : big) p = 1000000;
    const std::string text = format_pen_sequence(big, 256);
    EXPECT_LT(text.size() + 1, 1024u);
    EXPECT_EQ(text.size() % 8, 0u);  // whole "1000000 " pieces only
    EXPECT_GE(text.size() + 1 + 8, 1024u);
}

class SettingsFileRead : public ::testing::Test {
protected:
    // Starts with the given settings file and returns its written form after the exit hook.
    std::string start_with(const std::string& ini) {
        run_.tree.write_file("data/tavo.ini", ini);
        EXPECT_EQ(run_.start(), 0);
        return ini;
    }
    tavo_test::StartedRuntime run_;
};

TEST_F(SettingsFileRead, FlagsOnlyOnForOnInAnyCase) {
    start_with(
        "[Program]\nShow_toolbar=ONX\nShow_menubar=1\nLens_auto_open=on\nPrint_zero=oN\n"
        "Cmd_history_aliases=Of\nKPL_auto_compile=\n[Graphics]\nGraphics_axes=yes\n");
    EXPECT_EQ(get_setting_flag(kSetShowToolbar), 1);
    EXPECT_EQ(get_setting_flag(kSetShowMenubar), 0);
    EXPECT_EQ(get_setting_flag(kSetLensAutoOpen), 1);
    EXPECT_EQ(get_setting_flag(kSetPrintZero), 1);
    EXPECT_EQ(get_setting_flag(kSetCmdHistoryAliases), 0);
    EXPECT_EQ(get_setting_flag(kSetKplAutoCompile), 0);  // an empty value is not "On"
    EXPECT_EQ(get_setting_flag(kSetGraphicsAxes), 0);
    EXPECT_EQ(output_option(kOptionPrintZero), 1);
}

TEST_F(SettingsFileRead, ValuesAndRefusals) {
    start_with(
        "[Lens]\nDesigner=Eleven char\nMax_wavelengths=7 wavelengths\nWavelength_default_1=0.5e0x\n"
        "[Program]\nWindow_geometry_3=10 20 30\nWindow_geometry_4=1 2 3 4\nVersion_number=1.00\n"
        "Max_spd_rays=abc\n[Graphics]\nGraphics_pen_sequence=5 3\nGraphics_scale=junk\n"
        "[Optimization]\nOprd_maxvariables=77\n");
    EXPECT_STREQ(get_setting_text(kSetDesigner, 0), "");  // 11 characters do not fit
    EXPECT_EQ(get_setting_int(kSetMaxWavelengths, 0, 0), 7);
    EXPECT_DOUBLE_EQ(get_setting_double(kSetWavelengthDefaults, 1, 0), 0.5);
    EXPECT_DOUBLE_EQ(get_setting_double(kSetWavelengthDefaults, 0, 0), 0.58756);
    EXPECT_DOUBLE_EQ(get_setting_double(kSetGraphicsScale, 0, 0), 0.0);
    EXPECT_EQ(get_setting_int(kSetMaxSpdRays, 0, 0), 10000);  // no number: the default store
    for (int k = 0; k < 4; ++k) EXPECT_EQ(get_setting_int(kSetWindowGeometry, 3, k), 0);
    EXPECT_EQ(get_setting_int(kSetWindowGeometry, 4, 2), 3);
    EXPECT_STREQ(get_setting_text(kSetVersionNumber, 0), "5.40");
    EXPECT_EQ(get_setting_int(kSetGraphicsPenSequence, 0, 0), 5);
    EXPECT_EQ(get_setting_int(kSetGraphicsPenSequence, 1, 0), 3);
    EXPECT_EQ(get_setting_int(kSetGraphicsPenSequence, 2, 0), 0);  // kept: empty at start
    EXPECT_EQ(get_setting_int(kSetOprdMaxVariables, 0, 0), 77);
    EXPECT_EQ(get_setting_int(kSetOperandCapacity, 0, 0), 51);

    ASSERT_EQ(exit_hook(), 0);
    const std::string text = tavo_test::read_file(run_.ini_path());
    EXPECT_NE(text.find("Graphics_pen_sequence=5 3"), std::string::npos);
    EXPECT_NE(text.find("Version_number=5.40\n"), std::string::npos);
    EXPECT_NE(text.find("Window_geometry_3=0 0 0 0\n"), std::string::npos);
    EXPECT_NE(text.find("Designer=\n"), std::string::npos);
    // The user's own key stays as the user wrote it: the program never writes it.
    EXPECT_NE(text.find("Oprd_maxvariables=77\n"), std::string::npos);
}

TEST_F(SettingsFileRead, FailedWriteIsReportedAndTheOldFileStays) {
    start_with("[Lens]\nMax_wavelengths=8\n");
    // The target is a folder: the temporary file cannot be renamed over it.
    const fs::path blocked = run_.tree.base() / "blocked";
    fs::create_directories(blocked / "tavo.ini");
    EXPECT_EQ(write_settings_file((blocked / "tavo.ini").string()), kMsgSettingsFileNotWritten);
    EXPECT_TRUE(fs::is_directory(blocked / "tavo.ini"));
    ASSERT_FALSE(run_.backend->message_boxes_shown().empty());
    EXPECT_NE(run_.backend->message_boxes_shown().back().text.find("cannot be written"),
              std::string::npos);
    EXPECT_EQ(tavo_test::read_file(run_.ini_path()), "[Lens]\nMax_wavelengths=8\n");
}

TEST(SettingsFileAccessors, OneKeyAtATime) {
    tavo_test::TempTree tree;
    const std::string path = (tree.data() / "one.ini").string();
    EXPECT_EQ(ini_write_flag("Program", "Check_escape", 1, path), 0);
    EXPECT_EQ(ini_write_int("Lens", "Max_wavelengths", -3, path), 0);
    EXPECT_EQ(ini_write_text("Lens", "Designer", "Ann", path), 0);
    EXPECT_EQ(ini_read_flag("program", "check_escape", 0, path), 1);
    EXPECT_EQ(ini_read_flag("Program", "Missing", 1, path), 1);
    EXPECT_EQ(ini_read_int("Lens", "Max_wavelengths", 10, path), -3);
    EXPECT_EQ(ini_read_int("Lens", "Missing", 10, path), 10);
    EXPECT_STREQ(ini_read_text("Lens", "Designer", "x", path), "Ann");
    EXPECT_STREQ(ini_read_text("Lens", "Nobody", "x", path), "x");
    EXPECT_DOUBLE_EQ(ini_read_double("Lens", "Missing", 0.25, path), 0.25);
    EXPECT_EQ(tavo_test::read_file(path),
              "[Program]\nCheck_escape=On\n\n[Lens]\nMax_wavelengths=-3\nDesigner=Ann\n");
}

}  // namespace
