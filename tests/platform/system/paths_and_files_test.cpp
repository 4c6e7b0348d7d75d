// Path conversion, the case-insensitive lookup of shipped files, folder listing and file
// operations.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <filesystem>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/status.h"
#include "tests/platform/system/platform_test_helpers.h"
#include "tests/support/temp_tree.h"

namespace {

namespace fs = std::filesystem;

TEST(Paths, BackslashesBecomeSlashesAndJoinsHaveOneSeparator) {
    EXPECT_EQ(platform::to_native_path("public\\kpl\\a_string.kpl"), "public/kpl/a_string.kpl");
    EXPECT_EQ(platform::to_native_path("/already/fine"), "/already/fine");
    const struct {
        const char* folder;
        const char* name;
        const char* expected;
    } joins[] = {
        {"/opt/tavo", "bin/amo", "/opt/tavo/bin/amo"},
        {"/opt/tavo/", "bin\\amo", "/opt/tavo/bin/amo"},
        {"\\opt\\tavo", "tvrtmsgs.amo", "/opt/tavo/tvrtmsgs.amo"},
        {"", "lens.len", "lens.len"},
        {"/opt/tavo", "/etc/other", "/etc/other"},
        {"/", "tmp", "/tmp"},
    };
    for (const auto& j : joins) {
        SCOPED_TRACE(std::string(j.folder) + " + " + j.name);
        EXPECT_EQ(platform::join_path(j.folder, j.name), j.expected);
    }
    EXPECT_EQ(platform::file_name_part("C:\\lenses\\Triplet.LEN"), "Triplet.LEN");
    EXPECT_EQ(platform::file_name_part("a/b\\c/d.kpl"), "d.kpl");
    EXPECT_EQ(platform::file_name_part("plain"), "plain");
}

TEST(Paths, ShippedFilesAreFoundWithoutRegardToCase) {
    tavo_test::TempTree tree;
    const fs::path real = tree.write_file("root/bin/Stock/Schott.GLC", "catalogue");
    const std::string root = tree.root().string();

    EXPECT_EQ(platform::find_path_ignoring_case(root + "/bin/stock/schott.glc"), real.string());
    EXPECT_EQ(platform::find_path_ignoring_case(root + "\\BIN\\STOCK\\SCHOTT.glc"), real.string());
    // A path that exists as named comes back unchanged.
    EXPECT_EQ(platform::find_path_ignoring_case(real.string()), real.string());
    EXPECT_EQ(platform::find_path_ignoring_case(root + "/BIN/STOCK"),
              (tree.root() / "bin/Stock").string());
    EXPECT_EQ(platform::find_path_ignoring_case(root + "/bin/stock/ohara.glc"), "");
    EXPECT_EQ(platform::find_path_ignoring_case(root + "/nothing/schott.glc"), "");
    EXPECT_EQ(platform::find_path_ignoring_case(""), "");
}

TEST(Wildcards, StarAndQuestionMarkWithoutRegardToCase) {
    const struct {
        const char* pattern;
        const char* name;
        bool matches;
    } cases[] = {
        {"*.len", "Triplet.LEN", true},
        {"*.len", "triplet.lenx", false},
        {"a_string*.kpl", "A_STRING1.KPL", true},
        {"a_string*.kpl", "a_list.kpl", false},
        {"?.dat", "x.dat", true},
        {"?.dat", "xy.dat", false},
        {"*a*b", "xaYaab", true},
        {"*a*b", "xaYba", false},
        {"*", "", true},
        {"?", "", false},
        {"*.*", "README", true},
        {"*.*", "a.b", true},
        {"mg*.*", "MGlist", true},
        {"*.len", "len", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " ~ " + c.name);
        EXPECT_EQ(platform::wildcard_match(c.pattern, c.name), c.matches);
    }
}

std::vector<std::string> names_of(const std::vector<platform::FolderEntry>& entries) {
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name + (e.is_folder ? "/" : ""));
    return names;
}

TEST(Folders, ListingFiltersByPatternAndKind) {
    tavo_test::TempTree tree;
    for (const char* file : {"a.len", "B.LEN", "c.txt", "dlen"}) {
        tree.write_file(std::string("list/") + file, "x");
    }
    fs::create_directories(tree.base() / "list/sub.len");
    fs::create_directories(tree.base() / "list/other");
    const std::string folder = (tree.base() / "list").string();

    const struct {
        const char* pattern;
        unsigned kinds;
        std::vector<std::string> expected;
    } cases[] = {
        {"*.len", platform::kListFiles, {"a.len", "B.LEN"}},
        {"*.len", platform::kListFolders, {"sub.len/"}},
        {"*.LEN", platform::kListAll, {"a.len", "B.LEN", "sub.len/"}},
        {"?.len", platform::kListAll, {"a.len", "B.LEN"}},
        {"*.*", platform::kListAll, {"a.len", "B.LEN", "c.txt", "dlen", "other/", "sub.len/"}},
        {"*.kpl", platform::kListAll, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        std::vector<platform::FolderEntry> entries;
        ASSERT_EQ(platform::list_folder(folder, c.pattern, c.kinds, entries), 0);
        EXPECT_EQ(names_of(entries), c.expected);
    }
    std::vector<platform::FolderEntry> entries;
    EXPECT_EQ(platform::list_folder(folder + "/missing", "*", platform::kListAll, entries),
              platform::kNotFound);
    EXPECT_TRUE(entries.empty());
}

TEST(Folders, MakeRemoveAndRename) {
    tavo_test::TempTree tree;
    const std::string base = tree.base().string();

    EXPECT_EQ(platform::make_folder(base + "\\new\\deeper\\deepest"), 0);
    EXPECT_TRUE(platform::is_folder(base + "/new/deeper/deepest"));
    EXPECT_EQ(platform::make_folder(base + "/new/deeper/"), 0);  // already there
    const fs::path file = tree.write_file("new/file.txt", "12345");
    EXPECT_EQ(platform::make_folder(file.string()), platform::kAlreadyExists);

    EXPECT_EQ(platform::remove_empty_folder(base + "/new/deeper"), platform::kNotEmpty);
    EXPECT_EQ(platform::remove_empty_folder(base + "/new/deeper/deepest"), 0);
    EXPECT_FALSE(platform::path_exists(base + "/new/deeper/deepest"));
    EXPECT_EQ(platform::remove_file(base + "/new/deeper"), platform::kBadArgument);

    // Rename replaces an existing file of the new name.
    const fs::path other = tree.write_file("new/other.txt", "old");
    EXPECT_EQ(platform::rename_path(file.string(), other.string()), 0);
    EXPECT_FALSE(platform::path_exists(file.string()));
    EXPECT_EQ(tavo_test::read_file(other), "12345");
    EXPECT_EQ(platform::rename_path(file.string(), other.string()), platform::kNotFound);

    EXPECT_EQ(platform::remove_file(other.string()), 0);
    EXPECT_FALSE(platform::path_exists(other.string()));
    EXPECT_EQ(platform::remove_file(other.string()), platform::kNotFound);
}

TEST(Folders, FileFacts) {
    tavo_test::TempTree tree;
    const fs::path file = tree.write_file("facts/f.bin", "12345");
    const timespec times[2] = {{1000000000, 0}, {1234567890, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);

    std::int64_t seconds = 0;
    EXPECT_EQ(platform::modification_time(file.string(), seconds), 0);
    EXPECT_EQ(seconds, 1234567890);
    std::uint64_t size = 0;
    EXPECT_EQ(platform::file_size(file.string(), size), 0);
    EXPECT_EQ(size, 5u);
    EXPECT_TRUE(platform::path_exists(file.string()));
    EXPECT_FALSE(platform::is_folder(file.string()));
    EXPECT_TRUE(platform::is_folder(file.parent_path().string()));
    EXPECT_EQ(platform::modification_time(file.string() + ".missing", seconds),
              platform::kNotFound);
    EXPECT_EQ(platform::file_size(file.parent_path().string(), size), platform::kBadArgument);
}

TEST(Folders, PrivateTemporaryFolderIsMadeOnceWithOwnerOnlyAccess) {
    tavo_test::TempTree tree;
    std::string folder;
    {
        tavo_test::ScopedEnv tmpdir("TMPDIR", tree.base().string());
        folder = platform::private_temp_folder();
    }
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(fs::path(folder).parent_path(), tree.base());
    struct stat info;
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, ::getuid());
    EXPECT_EQ(platform::private_temp_folder(), folder);
}

}  // namespace
