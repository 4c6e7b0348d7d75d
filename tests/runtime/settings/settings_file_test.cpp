// The settings file: the value formats, the reader's defaults and the writer's refusals.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/settings.h"
#include "runtime/settings_file.h"
#include "tables/table_names.h"
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

// --- the round trip through the file ---------------------------------------------------------

// Every element of every setting, as the store holds it.
struct StoreValue {
    int id;
    int i;
    int j;
    std::string value;
};

int elements(int dimension) {
    return dimension > 0 ? dimension : 1;
}

std::vector<StoreValue> store_contents() {
    std::vector<StoreValue> values;
    for (int id = 0; id < kSettingCount; ++id) {
        const SettingDef& d = *setting_def(id);
        if (d.type == kSettingChar) {
            const std::string value = d.dim1 == 0 ? std::to_string(get_setting_flag(id))
                                                  : std::string(get_setting_text(id, 0));
            values.push_back({id, 0, 0, value});
            continue;
        }
        for (int i = 0; i < elements(d.dim1); ++i) {
            for (int j = 0; j < elements(d.dim2); ++j) {
                const std::string value = d.type == kSettingInt
                                              ? std::to_string(get_setting_int(id, i, j))
                                              : std::to_string(get_setting_double(id, i, j));
                values.push_back({id, i, j, value});
            }
        }
    }
    return values;
}

// Gives every element of every setting a value of its own that differs between the passes:
// flags on in pass 1 and off in pass 0, numbers and texts marked with the pass. Pen numbers stay
// small and non-zero, so that the whole sequence is written.
void set_every_setting(int pass) {
    for (int id = 0; id < kSettingCount; ++id) {
        const SettingDef& d = *setting_def(id);
        if (d.type == kSettingChar) {
            if (d.dim1 == 0) {
                ASSERT_EQ(set_setting_flag(id, static_cast<std::uint8_t>(pass)), 0) << id;
            } else {
                const std::string text = "p" + std::to_string(pass) + "-" + std::to_string(id);
                ASSERT_EQ(set_setting_text(id, text.c_str(), 0), 0) << id;
            }
            continue;
        }
        for (int i = 0; i < elements(d.dim1); ++i) {
            for (int j = 0; j < elements(d.dim2); ++j) {
                if (d.type == kSettingInt) {
                    const int value = id == kSetGraphicsPenSequence
                                          ? 1 + (pass * 4 + i) % 9
                                          : 1000 * (pass + 1) + 10 * id + 4 * i + j;
                    ASSERT_EQ(set_setting_int(id, value, i, j), 0) << id;
                } else {
                    ASSERT_EQ(set_setting_double(id, 10.0 * pass + id + 0.25 * (i + 1), i, j), 0)
                        << id;
                }
            }
        }
    }
}

TEST(SettingsFileRoundTrip, WhatOneRunWritesTheNextReadsBack) {
    // The settings the file does not carry from the run that writes it to the run that reads
    // it; every other setting comes back as it was written.
    enum class Carry { not_in_file, read_only, written_only, fixed };
    struct Exception {
        int id;
        Carry carry;
        const char* after_reading;  // fixed: the value the reader stores
    };
    const Exception exceptions[] = {
        {kSetOprdMaxVariables, Carry::read_only, "50"},  // the file's default
        {kSetOperandCapacity, Carry::fixed, "51"},
        {kSetSurfaceLimit, Carry::fixed, "12"},
        {kSetSpareInt, Carry::not_in_file, nullptr},
        {kSetProgramLevel, Carry::fixed, "1"},
        {kSetOutputOn, Carry::not_in_file, nullptr},
        {kSetStepMode, Carry::not_in_file, nullptr},
        {kSetDiagnosticOutput, Carry::not_in_file, nullptr},
        {kSetCurrentDirectory, Carry::written_only, nullptr},
        {kSetCurrentTextDirectory, Carry::written_only, nullptr},
        {kSetOperandText, Carry::not_in_file, nullptr},
        {kSetDataFolder, Carry::not_in_file, nullptr},
        {kSetPublicDirectory, Carry::written_only, nullptr},
        {kSetTempFolder, Carry::not_in_file, nullptr},
        {kSetVersionNumber, Carry::fixed, kProgramVersion},
        {kSetPrivateDirectory, Carry::written_only, nullptr},
    };
    auto exception_of = [&exceptions](int id) -> const Exception* {
        for (const Exception& e : exceptions) {
            if (e.id == id) return &e;
        }
        return nullptr;
    };

    tavo_test::StartedRuntime run;
    ASSERT_EQ(run.start(), 0);
    // The exit hook writes the file after start-up is over, and the reader runs before it is
    // done: no setter may take a change for the next start only.
    set_startup_done(false);
    const std::string path = (run.tree.data() / "round_trip.ini").string();
    for (int pass : {1, 0}) {
        SCOPED_TRACE("pass " + std::to_string(pass));
        std::filesystem::remove(path);
        set_every_setting(pass);
        const std::vector<StoreValue> written = store_contents();
        ASSERT_EQ(write_settings_file(path), 0);

        // The file holds the written-only settings, and not the user's own key.
        const std::string text = tavo_test::read_file(path);
        EXPECT_EQ(text.find("Oprd_maxvariables"), std::string::npos);
        const std::string folder =
            "p" + std::to_string(pass) + "-" + std::to_string(kSetPrivateDirectory);
        EXPECT_NE(text.find("Private_directory=" + folder + "\n"), std::string::npos);
        EXPECT_NE(text.find("Program_level=" +
                            std::to_string(1000 * (pass + 1) + 10 * kSetProgramLevel) + "\n"),
                  std::string::npos);

        // The other pass's values stand in the store until the file is read.
        set_every_setting(1 - pass);
        const std::vector<StoreValue> before_reading = store_contents();
        read_settings_file(path);
        const std::vector<StoreValue> read = store_contents();

        ASSERT_EQ(read.size(), written.size());
        for (std::size_t n = 0; n < read.size(); ++n) {
            const StoreValue& r = read[n];
            SCOPED_TRACE("setting " + std::to_string(r.id) + "[" + std::to_string(r.i) + "][" +
                         std::to_string(r.j) + "]");
            const Exception* e = exception_of(r.id);
            if (e == nullptr) {
                EXPECT_EQ(r.value, written[n].value);
            } else if (e->carry == Carry::read_only || e->carry == Carry::fixed) {
                EXPECT_EQ(r.value, e->after_reading);
            } else {
                EXPECT_EQ(r.value, before_reading[n].value);
            }
        }
    }
}

TEST(SettingsFileAccessors, OneKeyAtATime) {
    tavo_test::TempTree tree;
    const std::string path = (tree.data() / "one.ini").string();
    EXPECT_EQ(ini_write_flag("Program", "Check_escape", 1, path), 0);
    EXPECT_EQ(ini_write_int("Lens", "Max_wavelengths", -3, path), 0);
    EXPECT_EQ(ini_write_text("Lens", "Designer", "Ann", path), 0);
    EXPECT_EQ(ini_read_flag("program", "check_escape", 0, path), 1);
    EXPECT_EQ(ini_read_flag("Program", "Missing", 1, path), 1);
    EXPECT_EQ(ini_read_int("Lens", "Max_wavelengths", 10, path), kMsgCharRange);
    EXPECT_EQ(ini_read_int("Lens", "Missing", 10, path), 10);
    EXPECT_STREQ(ini_read_text("Lens", "Designer", "x", path), "Ann");
    EXPECT_STREQ(ini_read_text("Lens", "Nobody", "x", path), "x");
    EXPECT_DOUBLE_EQ(ini_read_double("Lens", "Missing", 0.25, path), 0.25);
    EXPECT_EQ(tavo_test::read_file(path),
              "[Program]\nCheck_escape=On\n\n[Lens]\nMax_wavelengths=-3\nDesigner=Ann\n");
}

}  // namespace
