// Folder and file lists as the file commands offer them, and the commands that delete a file or
// make and remove a folder, typed on the command line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/folder_lists.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "tables/table_names.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> offered() {
    std::vector<std::string> names;
    for (int i = 0; i < value_list_count(); ++i) names.emplace_back(value_list_first(i));
    return names;
}

class FolderLists : public loop_test::Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        lens_folder_ = get_setting_text(kSetCurrentDirectory, 0);
        fs::create_directories(fs::path(lens_folder_) / "B");
        fs::create_directories(fs::path(lens_folder_) / "a");
        for (const char* name : {"z.len", "c.len", "notes.txt", kLongName}) {
            run_.tree.write_file(fs::path(lens_folder_).lexically_relative(run_.tree.base()) / name,
                                 "x\n");
        }
    }
    // 40 characters; listed cut to its first 32.
    static constexpr const char* kLongName = "quite_a_long_lens_file_name_of_forty.len";
    std::string lens_folder_;
};

TEST_F(FolderLists, NamesAreSortedWithoutRegardToCaseFoldersFirst) {
    std::vector<std::string> names;
    EXPECT_EQ(scan_folder(names, lens_folder_, 0, kListFoldersAndFiles, "*.len"), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"[a]", "[B]", "c.len",
                                               "quite_a_long_lens_file_name_of_f", "z.len"}));
    EXPECT_EQ(scan_folder(names, lens_folder_, 0, kListFolderNames, "*.len"), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"..", "a", "B"}));
    EXPECT_EQ(scan_folder(names, lens_folder_, 0, kListFileNames, "*.txt"), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"notes.txt"}));
    // Five names fill a table of seven (two places are always kept free).
    EXPECT_EQ(scan_folder(names, lens_folder_, 7, kListFoldersAndFiles, "*.len"), kMsgNameListFull);
    EXPECT_EQ(scan_folder(names, lens_folder_, 8, kListFoldersAndFiles, "*.len"), 0);

    const fs::path empty = fs::path(lens_folder_) / "a";
    EXPECT_EQ(scan_folder(names, empty.string(), 0, kListFoldersAndFiles, "*.len"), 0);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(scan_folder(names, lens_folder_ + "/missing", 0, kListFileNames, "*.len"),
              kErrorTextReady);
    EXPECT_NE(std::string(error_text_buffer()).find("missing cannot be read"), std::string::npos);
}

TEST_F(FolderLists, FileTypesAndPathsFollowTheTypeAndFolderKind) {
    const struct {
        const char* path;
        int type;
    } types[] = {{"a/b.len", 1}, {"x.TAV", 1},     {"p.kpl", 2},  {"s.scp", 3}, {"noext", 0},
                 {"a.b/c", 0},   {"z.unknown", 0}, {"trail.", 0}, {"t.txt", 4}};
    for (const auto& t : types) EXPECT_EQ(file_type_of(t.path), t.type) << t.path;
    EXPECT_EQ(file_type_of(nullptr), 0);

    const std::string data = get_setting_text(kSetPrivateDirectory, 0);
    const std::string pub = get_setting_text(kSetPublicDirectory, 0);
    const std::string text = get_setting_text(kSetCurrentTextDirectory, 0);
    const struct {
        int type, kind;
        const char* name;
        std::string expected;
    } paths[] = {
        {1, 2, "lens", lens_folder_ + "/lens.len"}, {1, 0, "old.len", lens_folder_ + "/old.len"},
        {2, 1, "prog", data + "/kpl/prog.kpl"},     {3, 0, "s", pub + "/scp/s.scp"},
        {4, 2, "notes", text + "/notes.txt"},       {1, 2, "/abs/x", "/abs/x.len"},
        {1, 2, "\\abs\\y.len", "/abs/y.len"},       {1, 2, "C:\\lens\\a.len", "C:/lens/a.len"},
    };
    for (const auto& p : paths) {
        EXPECT_EQ(file_type_path(p.type, p.kind, p.name), p.expected) << p.name;
    }
    set_setting_flag(kSetTavLensFileExtension, 1);
    EXPECT_EQ(file_type_path(1, 2, "lens"), lens_folder_ + "/lens.tav");
    set_setting_flag(kSetTavLensFileExtension, 0);
}

TEST_F(FolderLists, TheListCommandShowsTheFolderAndOffersItsLensFiles) {
    type("list_files 1 2");
    EXPECT_EQ(offered(),
              (std::vector<std::string>{"c.len", "quite_a_long_lens_file_name_of_f", "z.len"}));
    // The folder is printed; the names are shown in the list window, not printed.
    EXPECT_NE(output().find("Folder " + lens_folder_ + "\n"), std::string::npos) << output();
    EXPECT_EQ(output().find("c.len"), std::string::npos) << output();
    EXPECT_EQ(ui().choice_list(),
              (std::vector<std::string>{"c.len", "quite_a_long_lens_file_name_of_f", "z.len"}));
    // Other types take their own pattern and folder.
    const fs::path text_folder = get_setting_text(kSetCurrentTextDirectory, 0);
    run_.tree.write_file(text_folder.lexically_relative(run_.tree.base()) / "read.txt", "x\n");
    run_.tree.write_file(text_folder.lexically_relative(run_.tree.base()) / "other.len", "x\n");
    type("list_files 4 2");
    EXPECT_EQ(offered(), (std::vector<std::string>{"read.txt"}));
    EXPECT_EQ(ui().choice_list(), (std::vector<std::string>{"read.txt"}));
    const fs::path kpl = fs::path(get_setting_text(kSetPrivateDirectory, 0)) / "kpl";
    run_.tree.write_file(kpl.lexically_relative(run_.tree.base()) / "b.kpl", "x\n");
    run_.tree.write_file(kpl.lexically_relative(run_.tree.base()) / "a.KPL", "x\n");
    type("list_files 2 1");
    EXPECT_EQ(offered(), (std::vector<std::string>{"a.KPL", "b.kpl"}));

    type("list_files 1 2 \"a\"");
    EXPECT_TRUE(offered().empty());
    EXPECT_TRUE(ui().choice_list().empty());  // an empty folder closes the list window
    type("list_files 1 2 \"nowhere\"");
    EXPECT_NE(errors().find("nowhere cannot be read"), std::string::npos) << errors();
    EXPECT_TRUE(listed_names().empty());
}

TEST_F(FolderLists, TheListHandlersOfferFilesAndFolders) {
    {
        ScratchCallScope scope;
        ArgCell** cells = scope.scratch();
        *cells[0] = int_cell(1);
        *cells[1] = int_cell(2);
        set_arg_vector(cells, 2);
        set_current_command(kCmdDeleteFile);
        EXPECT_EQ(cmd_list_files(), 0);
        EXPECT_EQ(offered(),
                  (std::vector<std::string>{"c.len", "quite_a_long_lens_file_name_of_f", "z.len"}));
        // Removing a folder lists the folders of the lens folder of the first argument's kind.
        *cells[0] = int_cell(2);
        set_arg_vector(cells, 1);
        set_current_command(kCmdRemoveFolder);
        EXPECT_EQ(cmd_list_folders(), 0);
        EXPECT_EQ(offered(), (std::vector<std::string>{"..", "a", "B"}));
    }
}

TEST_F(FolderLists, FilesAreDeletedAndFoldersMadeAndRemoved) {
    const fs::path folder(lens_folder_);
    type("delete_file 1 2 \"c\"");
    EXPECT_FALSE(fs::exists(folder / "c.len"));
    EXPECT_NE(errors().find(lens_folder_ + "/c.len deleted"), std::string::npos) << errors();
    type("delete_file 1 2 \"c\"");
    EXPECT_NE(errors().find("The file " + lens_folder_ + "/c.len cannot be deleted"),
              std::string::npos)
        << errors();
    type("delete_file 1 2 \"a\"");  // a folder is no file
    EXPECT_TRUE(fs::is_directory(folder / "a"));

    type("make_folder \"designs\"");
    EXPECT_TRUE(fs::is_directory(folder / "designs"));
    type("make_folder \"designs\"");
    EXPECT_NE(errors().find("designs exists already"), std::string::npos) << errors();
    type("make_folder \"v1.2\"");
    EXPECT_FALSE(fs::exists(folder / "v1.2"));
    EXPECT_NE(errors().find("The folder v1.2 cannot be made"), std::string::npos) << errors();

    run_.tree.write_file(folder.lexically_relative(run_.tree.base()) / "designs/x.len", "x\n");
    type("remove_folder 2 \"designs\"");
    EXPECT_TRUE(fs::is_directory(folder / "designs"));
    EXPECT_NE(errors().find("designs cannot be removed"), std::string::npos) << errors();
    fs::remove(folder / "designs/x.len");
    type("remove_folder 2 \"designs\"");
    EXPECT_FALSE(fs::exists(folder / "designs"));
    EXPECT_NE(errors().find("Folder " + lens_folder_ + "/designs removed"), std::string::npos)
        << errors();
    type("remove_folder 2 \"..\"");
    EXPECT_TRUE(fs::is_directory(folder));
}

}  // namespace

namespace {

TEST_F(FolderLists, OtherCommandsOfTheSharedSlotReachTheHandlerInstalledThereBefore) {
    static int calls = 0;
    calls = 0;
    set_handler(kSlotFileOperations, [] {
        ++calls;
        return 7;
    });
    install_folder_lists();
    set_current_command(kCmdSaveAs);
    EXPECT_EQ(cmd_folder_operations(), 7);
    // Installed a second time it does not hand on to itself.
    install_folder_lists();
    EXPECT_EQ(cmd_folder_operations(), 7);
    EXPECT_EQ(calls, 2);
    set_current_command(kCmdMakeFolder);
    type("make_folder \"own\"");
    EXPECT_TRUE(fs::is_directory(fs::path(lens_folder_) / "own"));
    EXPECT_EQ(calls, 2);
}

}  // namespace
