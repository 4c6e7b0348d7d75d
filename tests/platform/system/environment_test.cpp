// The program folder, environment variables, the user profile and the clock.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/status.h"
#include "platform/user_profile.h"
#include "tests/platform/system/platform_test_helpers.h"
#include "tests/support/temp_tree.h"

namespace {

namespace fs = std::filesystem;

TEST(Environment, ProgramFolderIsTheFolderOfTheExecutable) {
    // The test programs are built into the tests output folder.
    EXPECT_TRUE(fs::equivalent(platform::program_folder(), TAVO_TEST_OUTPUT_DIR));
}

TEST(Environment, UnsetDiffersFromEmpty) {
    tavo_test::ScopedEnv guard("TAVO_TEST_VARIABLE", std::nullopt);
    EXPECT_EQ(platform::environment_get("TAVO_TEST_VARIABLE"), std::nullopt);
    ASSERT_EQ(platform::environment_set("TAVO_TEST_VARIABLE", ""), 0);
    EXPECT_EQ(platform::environment_get("TAVO_TEST_VARIABLE"), std::optional<std::string>(""));
    ASSERT_EQ(platform::environment_set("TAVO_TEST_VARIABLE", "C:\\tavo"), 0);
    EXPECT_EQ(platform::environment_get("TAVO_TEST_VARIABLE"),
              std::optional<std::string>("C:\\tavo"));
    ASSERT_EQ(platform::environment_unset("TAVO_TEST_VARIABLE"), 0);
    EXPECT_EQ(platform::environment_get("TAVO_TEST_VARIABLE"), std::nullopt);
    EXPECT_EQ(platform::environment_unset("TAVO_TEST_VARIABLE"), 0);

    EXPECT_EQ(platform::environment_set("A=B", "1"), platform::kBadArgument);
    EXPECT_EQ(platform::environment_set("", "1"), platform::kBadArgument);
    EXPECT_EQ(platform::environment_get("A"), std::nullopt);
}

TEST(UserProfile, LocationFollowsTheOverrideThenXdgThenHome) {
    tavo_test::ScopedEnv profile("TAVO_PROFILE", std::nullopt);
    tavo_test::ScopedEnv xdg("XDG_CONFIG_HOME", "/xdg/config");
    tavo_test::ScopedEnv home("HOME", "/home/ann");
    EXPECT_EQ(platform::user_profile_path(), "/xdg/config/tavo/profile.ini");
    {
        tavo_test::ScopedEnv relative("XDG_CONFIG_HOME", "relative/config");
        EXPECT_EQ(platform::user_profile_path(), "/home/ann/.config/tavo/profile.ini");
    }
    {
        tavo_test::ScopedEnv none("XDG_CONFIG_HOME", std::nullopt);
        EXPECT_EQ(platform::user_profile_path(), "/home/ann/.config/tavo/profile.ini");
        tavo_test::ScopedEnv no_home("HOME", std::nullopt);
        EXPECT_EQ(platform::user_profile_path(), "");
        EXPECT_EQ(platform::user_profile_get("TAVO LT 5.40", "TVDATA", "dflt"), "dflt");
        EXPECT_EQ(platform::user_profile_put("TAVO LT 5.40", "TVDATA", "x"), platform::kNotFound);
    }
    tavo_test::ScopedEnv set("TAVO_PROFILE", "/tmp/p.ini");
    EXPECT_EQ(platform::user_profile_path(), "/tmp/p.ini");
}

TEST(UserProfile, ReadsAndWritesBySectionAndKey) {
    tavo_test::TempTree tree;  // points TAVO_PROFILE into the temporary tree
    ASSERT_EQ(platform::user_profile_path(), tree.profile().string());
    EXPECT_EQ(platform::user_profile_get("TAVO LT 5.40", "TVDATA", "/root/private"),
              "/root/private");
    ASSERT_EQ(platform::user_profile_put("TAVO LT 5.40", "TVDATA", "/home/ann/tavo"), 0);
    EXPECT_EQ(platform::user_profile_get("tavo lt 5.40", "tvdata", ""), "/home/ann/tavo");
    EXPECT_EQ(tavo_test::read_file(tree.profile()), "[TAVO LT 5.40]\nTVDATA=/home/ann/tavo\n");

    // The profile's folder is made when it does not exist yet.
    const fs::path nested = tree.base() / "config/tavo/profile.ini";
    tavo_test::ScopedEnv other("TAVO_PROFILE", nested.string());
    ASSERT_EQ(platform::user_profile_put("S", "K", "V"), 0);
    EXPECT_EQ(platform::user_profile_get("S", "K", ""), "V");
}

TEST(Clock, TicksNeverGoBack) {
    std::uint64_t previous = platform::tick_count_ms();
    for (int i = 0; i < 1000; ++i) {
        const std::uint64_t now = platform::tick_count_ms();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

// Day of the week by Zeller's congruence, 0 = Sunday.
int weekday_of(int year, int month, int day) {
    if (month < 3) {
        month += 12;
        year -= 1;
    }
    const int k = year % 100, j = year / 100;
    const int h = (day + 13 * (month + 1) / 5 + k + k / 4 + j / 4 + 5 * j) % 7;  // 0 = Saturday
    return (h + 6) % 7;
}

TEST(Clock, LocalTimeIsAConsistentCalendarDate) {
    const std::time_t before = std::time(nullptr);
    const platform::LocalTime now = platform::local_time();
    const std::time_t after = std::time(nullptr);

    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_GE(now.day, 1);
    EXPECT_LE(now.day, 31);
    EXPECT_LE(now.hour, 23);
    EXPECT_LE(now.minute, 59);
    EXPECT_EQ(now.weekday, weekday_of(now.year, now.month, now.day));
    // Same calendar moment as the C library's clock, to the second.
    std::tm parts{};
    parts.tm_year = now.year - 1900;
    parts.tm_mon = now.month - 1;
    parts.tm_mday = now.day;
    parts.tm_hour = now.hour;
    parts.tm_min = now.minute;
    parts.tm_sec = now.second;
    parts.tm_isdst = -1;
    const std::time_t back = std::mktime(&parts);
    EXPECT_GE(back, before);
    EXPECT_LE(back, after);
}

}  // namespace
