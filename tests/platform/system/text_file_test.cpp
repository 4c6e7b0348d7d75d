// Line reading of Windows and Unix text files, and the atomic replacement of rewritten files.
#include "platform/text_file.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>
#include <filesystem>

#include "platform/status.h"
#include "tests/platform/system/platform_test_helpers.h"
#include "tests/support/temp_tree.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> folder_names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(LineReader, StripsTheLineEndsOfBothSystems) {
    tavo_test::TempTree tree;
    const struct {
        const char* name;
        std::string content;
        std::vector<std::string> lines;
    } cases[] = {
        {"crlf", "one\r\ntwo\r\n\r\nthree\r\n", {"one", "two", "", "three"}},
        {"lf", "one\ntwo\n", {"one", "two"}},
        {"no final line end", "a\nb", {"a", "b"}},
        {"final lone cr", "a\r\nb\r", {"a", "b"}},
        {"cr inside a line stays", "x\ry\r\n", {"x\ry"}},
        {"empty file", "", {}},
        {"only a line end", "\r\n", {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = tree.write_file("lines.txt", c.content);
        std::vector<std::string> lines;
        ASSERT_EQ(platform::read_text_lines(path.string(), lines), 0);
        EXPECT_EQ(lines, c.lines);
    }
}

TEST(LineReader, ReportsAMissingFileAndAcceptsBackslashes) {
    tavo_test::TempTree tree;
    platform::LineReader reader;
    EXPECT_EQ(reader.open((tree.base() / "missing.txt").string()), platform::kNotFound);
    std::string line;
    EXPECT_FALSE(reader.next_line(line));

    tree.write_file("sub/file.txt", "first\r\n");
    EXPECT_EQ(reader.open(tree.base().string() + "\\sub\\file.txt"), 0);
    ASSERT_TRUE(reader.next_line(line));
    EXPECT_EQ(line, "first");
    EXPECT_FALSE(reader.next_line(line));
    EXPECT_FALSE(reader.error());
}

TEST(AtomicFileWriter, ReplacesTheFileAndKeepsItsPermissions) {
    tavo_test::TempTree tree;
    const fs::path path = tree.write_file("out/lens.len", "old content\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);

    platform::AtomicFileWriter writer;
    ASSERT_EQ(writer.open(path.string()), 0);
    EXPECT_EQ(writer.write("new "), 0);
    // Nothing reaches the target before the commit.
    EXPECT_EQ(tavo_test::read_file(path), "old content\n");
    EXPECT_EQ(writer.write("content\n"), 0);
    ASSERT_EQ(writer.commit(), 0);

    EXPECT_EQ(tavo_test::read_file(path), "new content\n");
    struct stat info;
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(folder_names(path.parent_path()), std::vector<std::string>{"lens.len"});
}

TEST(AtomicFileWriter, CreatesNewFilesEvenWithLongNames) {
    tavo_test::TempTree tree;
    const std::string long_name(250, 'n');
    for (const std::string& name : {std::string("fresh.ini"), long_name}) {
        const fs::path path = tree.base() / name;
        ASSERT_EQ(platform::write_file_atomically(path.string(), "x=1\n"), 0) << name.size();
        EXPECT_EQ(tavo_test::read_file(path), "x=1\n");
    }
    EXPECT_EQ(folder_names(tree.base()).size(), 4u);  // root, data and the two files
}

TEST(AtomicFileWriter, DiscardLeavesTheOldFile) {
    tavo_test::TempTree tree;
    const fs::path path = tree.write_file("keep/a.txt", "old\n");
    {
        platform::AtomicFileWriter writer;
        ASSERT_EQ(writer.open(path.string()), 0);
        writer.write("half-written");
    }  // destroyed without commit
    EXPECT_EQ(tavo_test::read_file(path), "old\n");
    EXPECT_EQ(folder_names(path.parent_path()), std::vector<std::string>{"a.txt"});
}

TEST(AtomicFileWriter, FailedRenameKeepsTheOldTarget) {
    tavo_test::TempTree tree;
    // A folder with content cannot be replaced by a file: it is refused before anything is
    // written, where the rename would fail.
    const fs::path target = tree.base() / "busy";
    tree.write_file("busy/inside.txt", "still here");
    EXPECT_EQ(platform::write_file_atomically(target.string(), "data"), platform::kBadArgument);
    EXPECT_EQ(tavo_test::read_file(target / "inside.txt"), "still here");
    EXPECT_EQ(folder_names(tree.base()), (std::vector<std::string>{"busy", "data", "root"}));
}

TEST(AtomicFileWriter, FailedWriteKeepsTheOldFile) {
    tavo_test::TempTree tree;
    const fs::path path = tree.write_file("full/tavo.ini", "[Program]\nDesigner=Ann\n");
    // A file-size limit makes the writes fail as a full disk would.
    const int result = tavo_test::run_forked([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1024, 1024};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return tavo_test::kCannotSetUp;
        platform::AtomicFileWriter writer;
        if (writer.open(path.string()) != 0) return 1;
        const std::string block(4096, 'x');
        writer.write(block);
        return -writer.commit();
    });
    ASSERT_NE(result, tavo_test::kCannotSetUp);
    EXPECT_EQ(result, -platform::kWriteFailed);
    EXPECT_EQ(tavo_test::read_file(path), "[Program]\nDesigner=Ann\n");
    EXPECT_EQ(folder_names(path.parent_path()), std::vector<std::string>{"tavo.ini"});
}

// A file the user made read-only in a folder the user may write: the rename alone would replace
// it, but it is refused as writing it in place would be, with the system's words.
TEST(AtomicFileWriter, ReadOnlyFileIsRefusedThoughItsFolderIsWritable) {
    tavo_test::TempTree tree;
    const fs::path path = tree.write_file("mine/lens.len", "old\n");
    ASSERT_EQ(::chmod(path.parent_path().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    const int result = tavo_test::run_forked([&] {
        if (!tavo_test::become_unprivileged()) return tavo_test::kCannotSetUp;
        std::string reason;
        const int status = platform::write_file_atomically(path.string(), "new\n", &reason);
        return reason == "Permission denied" ? -status : 100;
    });
    if (result == tavo_test::kCannotSetUp) GTEST_SKIP() << "cannot drop privileges here";
    EXPECT_EQ(result, -platform::kAccessDenied);
    EXPECT_EQ(tavo_test::read_file(path), "old\n");
    EXPECT_EQ(folder_names(path.parent_path()), std::vector<std::string>{"lens.len"});
}

// A name that is a link, or a link to a link, is written through to the file at the end of the
// chain, relative links taken from their own folder; a link to a file not there yet makes it.
TEST(AtomicFileWriter, LinksAreWrittenThroughAndStayLinks) {
    tavo_test::TempTree tree;
    const fs::path real = tree.write_file("real/lens.len", "old\n");
    fs::create_directories(tree.base() / "links");
    const fs::path first = tree.base() / "links/first.len";
    const fs::path second = tree.base() / "second.len";
    fs::create_symlink("../real/lens.len", first);
    fs::create_symlink(first, second);
    platform::AtomicFileWriter writer;
    ASSERT_EQ(writer.open(second.string()), 0);
    EXPECT_EQ(fs::path(writer.target()).lexically_normal(), real);
    writer.write("new\n");
    ASSERT_EQ(writer.commit(), 0);
    EXPECT_TRUE(fs::is_symlink(first));
    EXPECT_TRUE(fs::is_symlink(second));
    EXPECT_EQ(tavo_test::read_file(real), "new\n");
    EXPECT_EQ(folder_names(real.parent_path()), std::vector<std::string>{"lens.len"});

    const fs::path dangling = tree.base() / "links/later.len";
    fs::create_symlink("../real/later.len", dangling);
    ASSERT_EQ(platform::write_file_atomically(dangling.string(), "made\n"), 0);
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(tavo_test::read_file(real.parent_path() / "later.len"), "made\n");
}

TEST(AtomicFileWriter, ReadOnlyFolderKeepsTheOldFile) {
    tavo_test::TempTree tree;
    const fs::path path = tree.write_file("locked/lens.len", "old\n");
    ASSERT_EQ(::chmod(path.parent_path().c_str(), 0555), 0);
    const int result = tavo_test::run_forked([&] {
        if (!tavo_test::become_unprivileged()) return tavo_test::kCannotSetUp;
        return -platform::write_file_atomically(path.string(), "new\n");
    });
    ::chmod(path.parent_path().c_str(), 0755);
    if (result == tavo_test::kCannotSetUp) GTEST_SKIP() << "cannot drop privileges here";
    EXPECT_EQ(result, -platform::kAccessDenied);
    EXPECT_EQ(tavo_test::read_file(path), "old\n");
    EXPECT_EQ(folder_names(path.parent_path()), std::vector<std::string>{"lens.len"});
}

TEST(AtomicFileWriter, MissingFolderIsReported) {
    tavo_test::TempTree tree;
    EXPECT_EQ(platform::write_file_atomically((tree.base() / "no/such/file").string(), "x"),
              platform::kNotFound);
}

}  // namespace
