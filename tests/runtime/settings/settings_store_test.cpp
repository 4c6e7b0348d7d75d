// The settings store: layout, index and length checks, flag options, the hook addresses and the
// capacity ids after start-up.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "evaluation/spot_store.h"
#include "platform/state_reset.h"
#include "runtime/log_file.h"
#include "runtime/messages.h"
#include "tables/table_names.h"
#include "tests/app/startup/started_runtime.h"

namespace {

TEST(SettingsLayout, OffsetsAreAlignedAndDisjoint) {
    ASSERT_EQ(settings_layout(), 0);
    int end = 0;
    for (int id = 0; id < kSettingCount; ++id) {
        SCOPED_TRACE(id);
        const SettingDef* d = setting_def(id);
        ASSERT_NE(d, nullptr);
        const int element = d->type == kSettingInt ? 4 : d->type == kSettingDouble ? 8 : 1;
        EXPECT_EQ(d->offset % element, 0);
        EXPECT_GE(d->offset, end);
        int size = element;
        if (d->dim1 != 0) size *= d->dim1 * (d->dim2 != 0 ? d->dim2 : 1);
        end = d->offset + size;
    }
    EXPECT_EQ(settings_record_size(), end);
    EXPECT_EQ(setting_def(kSettingCount), nullptr);
    EXPECT_EQ(setting_def(-1), nullptr);
    settings_release();
}

TEST(SettingsLayout, SchemaShapesOfKnownIds) {
    struct Shape {
        int id, type, dim1, dim2;
    };
    const Shape shapes[] = {
        {2, kSettingDouble, 3, 0}, {14, kSettingInt, 17, 4},   {15, kSettingInt, 256, 0},
        {18, kSettingChar, 11, 0}, {25, kSettingChar, 260, 0}, {29, kSettingChar, 47, 0},
        {44, kSettingChar, 37, 0}, {66, kSettingChar, 16, 0},  {67, kSettingChar, 81, 0},
        {73, kSettingChar, 0, 0},
    };
    for (const Shape& s : shapes) {
        SCOPED_TRACE(s.id);
        const SettingDef* d = setting_def(s.id);
        EXPECT_EQ(d->type, s.type);
        EXPECT_EQ(d->dim1, s.dim1);
        EXPECT_EQ(d->dim2, s.dim2);
    }
}

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(run_.start(), 0); }
    tavo_test::StartedRuntime run_;
};

TEST_F(SettingsStore, IndexChecksOfSettersAndGetters) {
    struct Case {
        int i, j, result;
    };
    const Case cases[] = {{16, 3, 0}, {0, 0, 0}, {17, 0, -1}, {-1, 0, -1}, {0, 4, -1}, {3, -1, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.i << "," << c.j);
        EXPECT_EQ(set_setting_int(kSetWindowGeometry, 77, c.i, c.j), c.result);
        EXPECT_EQ(setting_index_valid(kSetWindowGeometry, c.i, c.j), c.result == 0);
        if (c.result == 0) {
            EXPECT_EQ(get_setting_int(kSetWindowGeometry, c.i, c.j), 77);
        }
    }
    // Refused stores change nothing, and reads outside the setting give 0 instead of a
    // neighbour's bytes.
    EXPECT_EQ(get_setting_int(kSetWindowGeometry, 17, 0), 0);
    EXPECT_EQ(get_setting_int(kSetGraphicsPenSequence, 256, 0), 0);
    EXPECT_EQ(get_setting_int(kSetWindowGeometry, 15, 3), 0);
    EXPECT_EQ(set_setting_double(kSetWavelengthDefaults, 0.5, 3, 0), -1);
    EXPECT_DOUBLE_EQ(get_setting_double(kSetWavelengthDefaults, 2, 0), 0.65627);
    EXPECT_DOUBLE_EQ(get_setting_double(kSetWavelengthDefaults, 3, 0), 0.0);
    // Wrong types and ids are refused.
    EXPECT_EQ(set_setting_int(kSetGraphicsScale, 1, 0, 0), -1);
    EXPECT_EQ(set_setting_int(kSettingCount, 1, 0, 0), -1);
    EXPECT_EQ(get_setting_text(kSetMaxSpdRays, 0), nullptr);
}

TEST_F(SettingsStore, TextLengthLimits) {
    EXPECT_EQ(set_setting_text(kSetDesigner, "abcdefghij", 0), 0);  // 10 of 11 bytes
    EXPECT_STREQ(get_setting_text(kSetDesigner, 0), "abcdefghij");
    EXPECT_EQ(set_setting_text(kSetDesigner, "abcdefghijk", 0), -1);  // 11: no room for NUL
    EXPECT_STREQ(get_setting_text(kSetDesigner, 0), "abcdefghij");
    // The byte behind the designer (the first flag) is untouched.
    EXPECT_EQ(get_setting_flag(kSetOutputPageMode), 1);
}

TEST_F(SettingsStore, FlagStoresOneAndSwitchesItsOption) {
    set_output_option(kOptionWhiteBackground, 0);
    EXPECT_EQ(set_setting_flag(kSetGraphicsWhiteBkgnd, 7), 0);
    EXPECT_EQ(get_setting_flag(kSetGraphicsWhiteBkgnd), 1);
    EXPECT_EQ(output_option(kOptionWhiteBackground), 1);
    EXPECT_EQ(set_setting_flag(kSetTrimNumericOutput, 1), 0);
    EXPECT_EQ(output_option(kOptionTrim), 1);
    EXPECT_EQ(set_setting_flag(kSetTrimNumericOutput, 0), 0);
    EXPECT_EQ(output_option(kOptionTrim), 0);
    EXPECT_EQ(setting_option_number(kSetLensAutoOpen), 0);
    EXPECT_EQ(setting_option_number(kSetNoErrorBoxes), 17);
}

TEST_F(SettingsStore, LoggingFlagOpensTheLogUnderData) {
    EXPECT_EQ(set_setting_flag(kSetOutputLog, 1), 0);
    EXPECT_TRUE(log_is_open());
    EXPECT_EQ(open_log_path().rfind(run_.tree.data().string(), 0), 0u);
    EXPECT_EQ(set_setting_flag(kSetOutputLog, 0), 0);
}

// A new session closes what the last one opened but keeps what start-up made for every session:
// the log's name and the spot store's arrays.
TEST_F(SettingsStore, NewSessionClosesTheLogAndEmptiesTheSpotStoreItKeeps) {
    EXPECT_EQ(set_setting_flag(kSetOutputLog, 1), 0);
    ASSERT_TRUE(log_is_open());
    const std::string path = open_log_path();
    SpotStore& spots = spot_store();
    const std::int32_t capacity = spots.capacity;
    ASSERT_GT(capacity, 0);
    ASSERT_NE(spots.wave_ray_counts, nullptr);
    spots.ray_count = 3;
    spots.wave_ray_counts[0] = 3;
    spots.reference_rms = 0.5;

    platform::reset_all_state();

    EXPECT_FALSE(log_is_open());
    EXPECT_EQ(&spot_store(), &spots);
    EXPECT_EQ(spots.capacity, capacity);
    EXPECT_NE(spots.rays, nullptr);
    EXPECT_NE(spots.sine_table, nullptr);
    EXPECT_EQ(spots.ray_count, 0);
    EXPECT_EQ(spots.wave_ray_counts[0], 0);
    EXPECT_EQ(spots.reference_rms, 0.0);
    // The same log opens again where it was.
    EXPECT_EQ(apply_log_option(1), 0);
    EXPECT_TRUE(log_is_open());
    EXPECT_EQ(open_log_path(), path);
    close_log_file();
}

TEST_F(SettingsStore, HookAddressesAndDimensionQueries) {
    int type = 0;
    EXPECT_EQ(settings_item_address(kSetMaxSpdRays, &type), settings_item_address(10, nullptr));
    EXPECT_EQ(type, kSettingItemInt);
    EXPECT_EQ(*static_cast<std::int32_t*>(settings_item_address(kSetMaxSpdRays, &type)), 10000);
    settings_item_address(kSetWavelengthDefaults, &type);
    EXPECT_EQ(type, kSettingItemDouble);
    settings_item_address(kSetCheckEscape, &type);
    EXPECT_EQ(type, kSettingItemFlag);
    settings_item_address(kSetDesigner, &type);
    EXPECT_EQ(type, kSettingItemText);
    EXPECT_EQ(settings_item_address(74, &type), nullptr);
    EXPECT_EQ(type, 0);

    const std::int32_t cells[] = {kSetWindowGeometry, 16, 3, 0};
    set_setting_argument_cells(cells, 4);
    EXPECT_EQ(*static_cast<std::int32_t*>(settings_item_address(kSettingDim1Query, &type)), 16);
    EXPECT_EQ(*static_cast<std::int32_t*>(settings_item_address(kSettingDim2Query, &type)), 3);
    set_setting_int(kSetWindowGeometry, 640, 16, 3);
    EXPECT_EQ(*static_cast<std::int32_t*>(settings_item_address(kSettingElementQuery, &type)), 640);

    struct Case {
        std::int32_t cells[4];
        bool found;
    };
    const Case cases[] = {
        {{kSetWindowGeometry, 17, 0, 0}, false},
        {{kSetWindowGeometry, 0, -1, 0}, false},
        {{kSetGraphicsPenSequence, 0, 0, 255}, true},
        {{kSetGraphicsPenSequence, 0, 0, 256}, false},
        {{kSetDesigner, 0, 0, 99}, true},
        {{99, 0, 0, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.cells[0] << " " << c.cells[1] << " " << c.cells[2] << " " << c.cells[3]);
        set_setting_argument_cells(c.cells, 4);
        EXPECT_EQ(settings_item_address(kSettingElementQuery, &type) != nullptr, c.found);
    }
    set_setting_argument_cells(nullptr, 0);
    EXPECT_EQ(settings_item_address(kSettingDim1Query, &type), nullptr);
}

TEST_F(SettingsStore, MaxWavelengthsAfterStartOnlyBecomesPending) {
    set_startup_done(true);
    EXPECT_EQ(set_setting_int(kSetMaxWavelengths, 20, 0, 0), 0);
    EXPECT_EQ(get_setting_int(kSetMaxWavelengths, 0, 0), 10);
    EXPECT_EQ(pending_capacity(1), 20);
    ASSERT_EQ(run_.backend->message_boxes_shown().size(), 1u);
    EXPECT_EQ(run_.backend->message_boxes_shown()[0].text, msg_text(kMsgTakesEffectNextStart));
    // Before the start is done the same call stores plainly.
    set_startup_done(false);
    EXPECT_EQ(set_setting_int(kSetMaxWavelengths, 12, 0, 0), 0);
    EXPECT_EQ(get_setting_int(kSetMaxWavelengths, 0, 0), 12);
}

TEST_F(SettingsStore, SpotRayCountAfterStartResizesOrIsRefusedWhenTheStoreCannotHoldIt) {
    set_startup_done(true);
    EXPECT_EQ(set_setting_int(kSetMaxSpdRays, 2000, 0, 0), 0);
    EXPECT_EQ(spot_store().capacity, 2000);
    EXPECT_EQ(pending_capacity(2), 2000);

    spot_store().rays[1999].dx = 4.5;
    struct Case {
        std::int32_t count;
    };
    for (const Case c : {Case{1000000000}, Case{0}, Case{-5}}) {
        SCOPED_TRACE(c.count);
        EXPECT_EQ(set_setting_int(kSetMaxSpdRays, c.count, 0, 0), kErrorTextReady);
        EXPECT_EQ(std::string(error_text_buffer()),
                  "The spot-diagram store cannot hold " + std::to_string(c.count) + " rays");
        EXPECT_EQ(get_setting_int(kSetMaxSpdRays, 0, 0), 2000);
        EXPECT_EQ(pending_capacity(2), 2000);
        EXPECT_EQ(spot_store().capacity, 2000);
        EXPECT_DOUBLE_EQ(spot_store().rays[1999].dx, 4.5);
    }
}

TEST_F(SettingsStore, TextSideEffects) {
    EXPECT_EQ(set_setting_text(kSetTestGlassFile, "schott", 0), 0);
    EXPECT_STREQ(get_setting_text(kSetTestGlassFile, 0), "schott.tgl");
    EXPECT_EQ(set_setting_text(kSetTestGlassFile, "my.list", 0), 0);
    EXPECT_STREQ(get_setting_text(kSetTestGlassFile, 0), "my.list");

    EXPECT_EQ(set_setting_text(kSetLensFile, "/lenses/doublet.len", 0), 0);
    EXPECT_NE(test_state_flag(kFlagLensFileNamed), 0);
    EXPECT_NE(main_window_caption().find("[doublet.len]"), std::string::npos);
    EXPECT_EQ(set_setting_text(kSetLensFile, "", 0), 0);
    EXPECT_EQ(test_state_flag(kFlagLensFileNamed), 0);
    EXPECT_EQ(main_window_caption(), msg_text(kMsgMainCaption));

    EXPECT_EQ(set_setting_text(kSetKplCompilerOptions, "-W", 0), 0);
    EXPECT_STREQ(compiler_options_text(), "-W -D _TAVO_LIGHT_");
}

}  // namespace
