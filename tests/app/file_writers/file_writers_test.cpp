// Every file the program writes, typed as a user types the commands into the console program:
// a refused command writes nothing; a write that fails keeps the old file, says why and is not
// followed by word of success; a file the user made read-only is refused with the system's
// words; a name that is a symbolic link is written through to its file and stays a link.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/temp_tree.h"

namespace {

namespace fs = std::filesystem;

constexpr int kNobody = 65534;  // the unprivileged user and group

// The user's files each writer replaces, in the folder "files" of the tree.
const char* const kUserFiles[] = {"lens.len", "lens.dxf", "lens.igs", "drawing.dxf",
                                  "edit.txt", "plot.bmp", "plot.rle", "plot.wmf",
                                  "plot.emf", "plot.hgl", "text.txt"};

const char* const kSinglet =
    "LEN NEW \"Singlet\"\nEBR 10\nANG 5\nNXT\nSRF 40 6 N-BK7 12\n"
    "SRF -120 30 AIR 12\nEND\n";

// How the program is run: as the test runs, as a user who is not root, or with a file-size
// limit of 0 that makes every write of a file fail ("File too large").
enum class As { self, unprivileged, no_file_space };

class FileWriters : public ::testing::Test {
protected:
    void SetUp() override {
        tree_.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree_.data().string() + "\n");
        tree_.write_file("source.txt", "edit text\nline two\n");
        fs::create_directories(files());
    }

    fs::path files() const { return tree_.base() / "files"; }
    fs::path catalogue() const { return tree_.data() / "bin/glc/private.glc"; }
    fs::path settings() const { return tree_.data() / "tavo.ini"; }

    // Each writer once: the lens file, the three exports, the edit window's text, the private
    // catalogue, a plot in every format, the printed text window; the settings file follows at
    // the end of the run. The glass differs from run to run.
    std::string writer_lines(const std::string& glass = "MINE") const {
        const std::string f = files().string() + "/";
        return std::string(kSinglet) + "save_as \".\" \"" + f + "lens.len\"\n" +
               "export_dxf 1 0 0 0 0 \"" + f + "lens.dxf\"\n" + "export_iges 1 0 0 0 \"" + f +
               "lens.igs\"\n" + "export_drawing 0 1 1 0 0 0 \"" + f + "drawing.dxf\" \"\"\n" +
               "open \".\" \"" + (tree_.base() / "source.txt").string() + "\" no 4\n" +
               "save_as \".\" \"" + f + "edit.txt\" 4\n" + "private_glass 0 0 \"" + glass +
               "\" 1.55\n" + "world_frame 0 0 10 0 10\npen 2\nmove_to 2.5 2.5\ndraw_to 7.5 7.5\n" +
               "plot 1 \"" + f + "plot.bmp\"\n" + "plot 1 \"" + f + "plot.rle\"\n" + "plot 1 \"" +
               f + "plot.wmf\"\n" + "plot 1 \"" + f + "plot.emf\"\n" + "plot 1 \"" + f +
               "plot.hgl\"\n" + "print_text 1 \"" + f + "text.txt\" 1\n";
    }

    // Every file the writers replace: the user's files, the catalogue and the settings file.
    std::vector<fs::path> written() const {
        std::vector<fs::path> all;
        for (const char* name : kUserFiles) all.push_back(files() / name);
        all.push_back(catalogue());
        all.push_back(settings());
        return all;
    }

    // The program's own files as it writes them, and the user's files with old text.
    void make_old_files() {
        run(writer_lines("FIRST"), As::self);
        ASSERT_TRUE(fs::exists(catalogue()));
        ASSERT_TRUE(fs::exists(settings()));
        for (const char* name : kUserFiles) tree_.write_file(fs::path("files") / name, "old\n");
    }

    std::map<fs::path, std::string> contents() const {
        std::map<fs::path, std::string> all;
        for (const fs::path& p : written()) all[p] = tavo_test::read_file(p);
        return all;
    }

    // No temporary file of a writer is left behind.
    void expect_no_temporaries() const {
        for (const fs::path& folder : {files(), catalogue().parent_path(), tree_.data()}) {
            for (const auto& entry : fs::directory_iterator(folder)) {
                EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
                    << entry.path();
            }
        }
    }

    // Whether the program can be run as a user who is not root: root drops its privileges
    // through setpriv; any other user is one already.
    static bool can_run_unprivileged() {
        if (::geteuid() != 0) return true;
        return std::system(
                   "setpriv --reuid=65534 --regid=65534 --clear-groups true "
                   "> /dev/null 2>&1") == 0;
    }

    // Hands the tree to the unprivileged user, so that only the file modes stand in its way.
    void give_tree_away() const {
        if (::geteuid() != 0) return;
        ASSERT_EQ(::chown(tree_.base().c_str(), kNobody, kNobody), 0);
        for (const auto& entry : fs::recursive_directory_iterator(tree_.base())) {
            ASSERT_EQ(::lchown(entry.path().c_str(), kNobody, kNobody), 0) << entry.path();
        }
    }

    std::string run(const std::string& lines, As as) {
        const fs::path input = tree_.write_file("lines.txt", lines);
        const fs::path output = tree_.base() / "out.txt";
        const std::string program = "'" TAVO_INSTALL_DIR "/tavolt'";
        std::string command = "TAVO_UI=console ";
        if (as == As::unprivileged && ::geteuid() == 0) {
            command += "setpriv --reuid=65534 --regid=65534 --clear-groups " + program;
        } else if (as == As::no_file_space) {
            // The limit would also cut the output file: the output goes through a pipe.
            command += "sh -c \"trap '' XFSZ; ulimit -f 0; exec " + program + "\"";
        } else {
            command += program;
        }
        command += " < '" + input.string() + "' 2>&1 | cat > '" + output.string() + "'";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status));
        return tavo_test::read_file(output);
    }

    tavo_test::TempTree tree_;
};

// Whether a line of the output names the file and the system's reason for its failure.
bool reported(const std::string& shown, const fs::path& file, const std::string& reason) {
    std::size_t start = 0;
    while (start < shown.size()) {
        std::size_t end = shown.find('\n', start);
        if (end == std::string::npos) end = shown.size();
        const std::string line = shown.substr(start, end - start);
        if (line.find(file.string() + " ") != std::string::npos &&
            line.find("(" + reason + ")") != std::string::npos) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// No word of a success after a failure.
void expect_no_success(const std::string& shown) {
    for (const char* success : {"lens.len saved", "edit.txt saved", "was printed to",
                                "stored in the private catalogue"}) {
        EXPECT_EQ(shown.find(success), std::string::npos) << success << "\n" << shown;
    }
}

// Compares files whole without printing them (some are pictures).
bool same_bytes(const fs::path& file, const std::string& bytes) {
    return tavo_test::read_file(file) == bytes;
}

TEST_F(FileWriters, ARefusedExportWritesNothing) {
    const std::string f = files().string() + "/";
    const char* const names[] = {"lens.dxf", "lens.igs", "drawing.dxf", "empty.dxf", "empty.igs"};
    for (const char* name : names) tree_.write_file(fs::path("files") / name, "old\n");
    const std::string shown =
        run(std::string(kSinglet) + "export_dxf elev 0 0 2 1 \"" + f + "lens.dxf\"\n" +
                "export_iges 1 0 2 1 \"" + f + "lens.igs\"\n" + "export_drawing 0 1 1 0 2 1 \"" +
                f + "drawing.dxf\" \"" + f + "drawing.igs\"\n" +
                "LEN NEW \"Empty\"\nEND\ndelete_surfaces 1\n" + "export_dxf 1 0 0 0 0 \"" + f +
                "empty.dxf\"\n" + "export_iges 1 0 0 0 \"" + f + "empty.igs\"\n",
            As::self);
    std::size_t refusals = 0;
    const std::string reversed = "The last surface of the drawing lies before its first surface";
    for (std::size_t at = shown.find(reversed); at != std::string::npos;
         at = shown.find(reversed, at + 1)) {
        ++refusals;
    }
    EXPECT_EQ(refusals, 5u) << shown;
    for (const char* name : names) EXPECT_TRUE(same_bytes(files() / name, "old\n")) << name;
    EXPECT_FALSE(fs::exists(files() / "drawing.igs"));
    expect_no_temporaries();
}

TEST_F(FileWriters, AFailedWriteKeepsTheOldFileAndSaysWhy) {
    make_old_files();
    const auto before = contents();
    const std::string shown = run(writer_lines(), As::no_file_space);
    for (const fs::path& p : written()) {
        EXPECT_TRUE(same_bytes(p, before.at(p))) << p;
        EXPECT_TRUE(reported(shown, p, "File too large")) << p << "\n" << shown;
    }
    expect_no_success(shown);
    expect_no_temporaries();
}

TEST_F(FileWriters, AReadOnlyFileIsRefusedWithTheSystemsWords) {
    if (!can_run_unprivileged()) GTEST_SKIP() << "no way to run the program as a user not root";
    make_old_files();
    give_tree_away();
    for (const fs::path& p : written()) fs::permissions(p, fs::perms(0444));
    const auto before = contents();
    const std::string shown = run(writer_lines(), As::unprivileged);
    for (const fs::path& p : written()) {
        EXPECT_TRUE(same_bytes(p, before.at(p))) << p;
        EXPECT_EQ(fs::status(p).permissions(), fs::perms(0444)) << p;
        EXPECT_TRUE(reported(shown, p, "Permission denied")) << p << "\n" << shown;
    }
    expect_no_success(shown);
    expect_no_temporaries();
}

TEST_F(FileWriters, ALinkIsWrittenThroughAndStaysALink) {
    make_old_files();
    // Each file moves to the folder "targets"; a relative link of the old name leads to it.
    const fs::path targets = tree_.base() / "targets";
    fs::create_directories(targets);
    std::map<fs::path, fs::path> target_of;
    int n = 0;
    for (const fs::path& p : written()) {
        const fs::path target = targets / (std::to_string(n++) + p.filename().string());
        fs::rename(p, target);
        fs::create_symlink(fs::relative(target, p.parent_path()), p);
        target_of[p] = target;
    }
    give_tree_away();
    std::map<fs::path, std::string> before;
    for (const auto& [link, target] : target_of) before[link] = tavo_test::read_file(target);
    const std::string shown =
        run(writer_lines(), can_run_unprivileged() ? As::unprivileged : As::self);
    EXPECT_EQ(shown.find("Error"), std::string::npos) << shown;
    for (const auto& [link, target] : target_of) {
        EXPECT_TRUE(fs::is_symlink(link)) << link;
        const std::string now = tavo_test::read_file(target);
        EXPECT_FALSE(now.empty()) << target;
        // The settings file is written again as it was read; every other file is new.
        if (link != settings()) {
            EXPECT_FALSE(now == before[link]) << target;
        }
    }
    EXPECT_NE(shown.find("Lens file " + (files() / "lens.len").string() + " saved"),
              std::string::npos)
        << shown;
    expect_no_temporaries();
}

}  // namespace
