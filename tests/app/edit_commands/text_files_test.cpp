// Text files as a user meets them in the edit window: opened by name or through the Open
// dialog, changed, saved (by name, to the edit file, through the Save dialog, then closed),
// viewed without becoming the edit file, deleted through a dialog; failed saves keep the old
// file; a saved command-language source asks for its compile when KPL_auto_compile is on.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "lens/lens_data.h"
#include "platform/ui.h"
#include "runtime/compile_request.h"
#include "runtime/dispatch_slots.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "tests/entry/entry_fixture.h"
#include "tests/support/temp_tree.h"
#include "ui/text_file_commands.h"

namespace {

namespace fs = std::filesystem;

class TextFiles : public entry_test::Entry {
protected:
    void SetUp() override {
        Entry::SetUp();
        folder_ = run_.tree.base() / "texts";
        fs::create_directories(folder_);
        set_setting_text(kSetCurrentTextDirectory, folder_.c_str(), 0);
        set_setting_text(kSetEditFile, "", 0);
        set_setting_flag(kSetKplAutoCompile, 0);
        clear_compile_request();
    }
    void TearDown() override {
        clear_compile_request();
        Entry::TearDown();
    }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    std::string file(const std::string& name) const { return tavo_test::read_file(folder_ / name); }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(folder_ / name, std::ios::binary) << text;
        return path(name);
    }
    std::string setting(int id) const {
        const char* text = get_setting_text(id, 0);
        return text != nullptr ? text : "";
    }
    platform::ConsoleBackend& console() { return ui(); }
    std::string editor() { return console().edit_text(platform::kWindowEdit); }
    void type_into_editor(const std::string& text) {
        ASSERT_TRUE(console().has_edit_pane(platform::kWindowEdit));
        console().set_edit_text(platform::kWindowEdit, text);
    }
    // Typing changes the text, as the window marks it when a user types into it.
    void type_changes(const std::string& text) {
        type_into_editor(text);
        console().set_edit_modified(platform::kWindowEdit, true);
    }
    // Whether the console showed the message since the last look.
    bool shown(const std::string& message) {
        const std::string all = errors();
        const bool found = all.find(message, seen_errors_) != std::string::npos;
        seen_errors_ = all.size();
        return found;
    }

    // Whole lines printed since the last look (a line still being built is not taken).
    std::string printed() {
        const std::string all = output();
        const std::string fresh = all.substr(std::min(printed_, all.size()));
        printed_ = all.size();
        return fresh;
    }

    fs::path folder_;
    std::size_t seen_errors_ = 0;
    std::size_t printed_ = 0;
};

TEST_F(TextFiles, OpenedChangedSavedAndShownAgain) {
    // A text file replaces no lens: even with yes no question is asked about a changed lens.
    run_all({"LEN NEW \"Changed\"", "NXT", "TH 5", "NXT", "END"});
    const std::size_t boxes = console().message_boxes_shown().size();
    write("notes.txt", "first line\n\tindented \"quoted\" \\\n");
    ASSERT_EQ(run("open . notes yes 4"), 0) << error_text();
    EXPECT_EQ(console().message_boxes_shown().size(), boxes);
    // The same lens is offered for saving before a lens file replaces it (cancelled here).
    console().queue_message_box_answer(platform::MessageAnswer::cancel);
    ASSERT_EQ(run("open . absent yes"), 0) << error_text();
    EXPECT_EQ(console().message_boxes_shown().size(), boxes + 1);
    EXPECT_EQ(editor(), "first line\n\tindented \"quoted\" \\\n");
    EXPECT_EQ(setting(kSetEditFile), path("notes.txt"));
    EXPECT_TRUE(shown("Text file " + path("notes.txt") + " opened")) << errors();
    EXPECT_NE(test_state_flag(kFlagEditWindowShown), 0);
    // Opening a text file leaves the lens folder and the text folder alone.
    EXPECT_EQ(setting(kSetCurrentTextDirectory), folder_.string());

    type_into_editor("changed\nsecond\n");
    ASSERT_EQ(run("edit_save"), 0) << error_text();
    EXPECT_EQ(file("notes.txt"), "changed\nsecond\n");
    EXPECT_TRUE(shown("Text file " + path("notes.txt") + " saved")) << errors();

    // edit_file shows the edit file as it is on disk again.
    type_into_editor("scratch");
    ASSERT_EQ(run("edit_file"), 0) << error_text();
    EXPECT_EQ(editor(), "changed\nsecond\n");

    // save_as with a text type: the editor's text under a new name in the text folder (a
    // relative folder inside it), which becomes the edit file; the extension is the type's.
    fs::create_directories(folder_ / "sub");
    struct Case {
        const char* line;
        const char* saved;
    };
    const Case cases[] = {
        {"save_as . copy 4", "copy.txt"},
        {"save_as sub script 3", "sub/script.scp"},
        {"save_as . macro 2", "macro.kpl"},
        {"save_as sub kept.dat 4", "sub/kept.dat"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(run(c.line), 0) << c.line << ": " << error_text();
        EXPECT_EQ(file(c.saved), "changed\nsecond\n") << c.line;
        EXPECT_EQ(setting(kSetEditFile), path(c.saved)) << c.line;
    }

    // view_file shows a file without making it the edit file.
    write("other.txt", "other text\n");
    ASSERT_EQ(run("view_file 4 2 other"), 0) << error_text();
    EXPECT_EQ(editor(), "other text\n");
    EXPECT_EQ(setting(kSetEditFile), path("sub/kept.dat"));

    // The folder kinds of view_file: sources and command files of the private (1) and public
    // (0) trees lie in their kpl and scp folders, other types in the text folder.
    const fs::path private_folder = setting(kSetPrivateDirectory);
    const fs::path public_folder = setting(kSetPublicDirectory);
    ASSERT_TRUE(private_folder.is_absolute() && public_folder.is_absolute());
    struct Kind {
        const char* line;
        fs::path file;
    };
    const Kind kinds[] = {
        {"view_file 2 1 mine", private_folder / "kpl" / "mine.kpl"},
        {"view_file 3 0 shared", public_folder / "scp" / "shared.scp"},
        {"view_file 4 1 plain", folder_ / "plain.txt"},
    };
    for (const Kind& k : kinds) {
        fs::create_directories(k.file.parent_path());
        std::ofstream(k.file, std::ios::binary) << k.line << "\n";
        ASSERT_EQ(run(k.line), 0) << k.line << ": " << error_text();
        EXPECT_EQ(editor(), std::string(k.line) + "\n");
    }
}

TEST_F(TextFiles, ChangedTextIsOfferedForSavingBeforeAnotherFileReplacesIt) {
    write("mine.txt", "mine\n");
    write("other.txt", "other\n");
    ASSERT_EQ(run("open . mine no 4"), 0) << error_text();
    // Unchanged text is replaced without a question.
    const std::size_t boxes = console().message_boxes_shown().size();
    ASSERT_EQ(run("view_file 4 2 other"), 0) << error_text();
    ASSERT_EQ(run("edit_file"), 0) << error_text();
    EXPECT_EQ(console().message_boxes_shown().size(), boxes);
    EXPECT_EQ(editor(), "mine\n");

    struct Case {
        const char* line;
        platform::MessageAnswer answer;
        bool replaced;
        const char* mine_after;
    };
    const Case cases[] = {
        {"view_file 4 2 other", platform::MessageAnswer::cancel, false, "mine\n"},
        {"open . other no 4", platform::MessageAnswer::cancel, false, "mine\n"},
        {"view_file 4 2 other", platform::MessageAnswer::no, true, "mine\n"},
        {"open . other no 4", platform::MessageAnswer::yes, true, "typed\n"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(run("open . mine no 4"), 0) << error_text();
        write("mine.txt", "mine\n");
        ASSERT_EQ(run("edit_file"), 0) << error_text();
        type_changes("typed\n");
        console().queue_message_box_answer(c.answer);
        const std::size_t before = console().message_boxes_shown().size();
        const int rc = run(c.line);
        ASSERT_EQ(console().message_boxes_shown().size(), before + 1) << c.line;
        EXPECT_EQ(console().message_boxes_shown().back().text,
                  "The text in the edit window has changed and was not saved. Save it?");
        EXPECT_EQ(rc, c.replaced ? 0 : kStopped) << c.line;
        EXPECT_EQ(editor(), c.replaced ? "other\n" : "typed\n") << c.line;
        EXPECT_EQ(file("mine.txt"), c.mine_after) << c.line;
        // What was shown from a file, or just saved, counts as unchanged.
        EXPECT_EQ(console().edit_modified(platform::kWindowEdit), !c.replaced) << c.line;
        console().set_edit_modified(platform::kWindowEdit, false);
    }
}

TEST_F(TextFiles, FailuresKeepTheOldFileAndTheEditFile) {
    // Before any edit window there is no text to save: nothing is written.
    ASSERT_FALSE(console().has_edit_pane(platform::kWindowEdit));
    write("keep.txt", "kept\n");
    for (const std::string line : {"save_as . keep 4", "edit_save_as"}) {
        EXPECT_EQ(run(line), kErrorTextReady) << line;
        EXPECT_EQ(error_text(), "There is no edit window whose text could be saved");
        EXPECT_EQ(file("keep.txt"), "kept\n");
    }

    write("keep.txt", "kept\n");
    ASSERT_EQ(run("open . keep no 4"), 0) << error_text();
    type_into_editor("replacement\n");
    fs::create_directories(folder_ / "taken.txt");
    const std::string targets[] = {path("nowhere/x.txt"), path("taken.txt")};
    for (const std::string& target : targets) {
        EXPECT_EQ(run("save_as . " + target + " 4"), kErrorTextReady) << target;
        EXPECT_EQ(error_text().rfind("The file " + target + " cannot be written (", 0), 0u)
            << error_text();
        // Neither target was a file: there is no old file to keep.
        EXPECT_EQ(error_text().back(), ')') << error_text();
        EXPECT_EQ(error_text().find("old file"), std::string::npos) << error_text();
        EXPECT_EQ(setting(kSetEditFile), path("keep.txt"));
    }
    EXPECT_TRUE(fs::is_directory(folder_ / "taken.txt"));
    EXPECT_FALSE(fs::exists(folder_ / "nowhere"));
    EXPECT_EQ(file("keep.txt"), "kept\n");

    // A file that cannot be read changes neither the editor nor the edit file.
    const std::string unreadable[] = {"open . missing no 4", "open . taken no 4",
                                      "view_file 4 2 missing"};
    for (const std::string& line : unreadable) {
        EXPECT_EQ(run(line), kErrorTextReady) << line;
        EXPECT_EQ(error_text().rfind("The text file ", 0), 0u) << error_text();
        EXPECT_NE(error_text().find(" cannot be read"), std::string::npos) << error_text();
        EXPECT_EQ(editor(), "replacement\n");
        EXPECT_EQ(setting(kSetEditFile), path("keep.txt"));
    }
}

TEST_F(TextFiles, DialogsOpenSaveCloseAndDelete) {
    fs::create_directories(folder_ / "chosen");
    write("chosen/pick.kpl", "proc pick\n");
    console().queue_dialog_answer(path("chosen/pick.kpl"));
    ASSERT_EQ(run("open_text_dialog"), 0) << error_text();
    EXPECT_EQ(editor(), "proc pick\n");
    EXPECT_EQ(setting(kSetEditFile), path("chosen/pick.kpl"));
    // The chosen folder becomes the text folder.
    EXPECT_EQ(setting(kSetCurrentTextDirectory), path("chosen"));
    EXPECT_EQ(console().file_dialogs_shown().back().title, "Open text file");

    // No answer: the dialog is cancelled and nothing changes.
    type_into_editor("edited\n");
    ASSERT_EQ(run("open_text_dialog"), 0) << error_text();
    EXPECT_EQ(editor(), "edited\n");
    ASSERT_EQ(run("edit_save_as"), 0) << error_text();
    EXPECT_EQ(file("chosen/pick.kpl"), "proc pick\n");
    EXPECT_EQ(setting(kSetEditFile), path("chosen/pick.kpl"));

    console().queue_dialog_answer(path("saved.txt"));
    ASSERT_EQ(run("edit_save_as"), 0) << error_text();
    EXPECT_EQ(file("saved.txt"), "edited\n");
    EXPECT_EQ(setting(kSetEditFile), path("saved.txt"));
    EXPECT_EQ(console().file_dialogs_shown().back().title, "Save text file");
    // The text dialogs offer the type last chosen first: sources, command files, texts, all.
    EXPECT_EQ(console().file_dialogs_shown().back().filter_index, 0);  // pick.kpl before
    ASSERT_EQ(run("open_text_dialog"), 0) << error_text();
    EXPECT_EQ(console().file_dialogs_shown().back().filter_index, 2);  // saved.txt

    // Without an edit file, edit_save_close asks for a name; a cancel keeps the window open.
    set_setting_text(kSetEditFile, "", 0);
    type_into_editor("closing\n");
    ASSERT_EQ(run("edit_save_close"), 0) << error_text();
    EXPECT_NE(test_state_flag(kFlagEditWindowShown), 0);
    console().queue_dialog_answer(path("closed.txt"));
    ASSERT_EQ(run("edit_save_close"), 0) << error_text();
    EXPECT_EQ(file("closed.txt"), "closing\n");
    EXPECT_EQ(test_state_flag(kFlagEditWindowShown), 0);

    console().queue_dialog_answer(path("saved.txt"));
    ASSERT_EQ(run("delete_file_dialog"), 0) << error_text();
    EXPECT_FALSE(fs::exists(folder_ / "saved.txt"));
    EXPECT_TRUE(shown(path("saved.txt") + " deleted")) << errors();
    console().queue_dialog_answer(path("saved.txt"));
    EXPECT_EQ(run("delete_file_dialog"), kErrorTextReady);
    EXPECT_EQ(error_text(), "The file " + path("saved.txt") + " cannot be deleted");
    console().queue_dialog_answer(path("chosen"));
    EXPECT_EQ(run("delete_file_dialog"), kErrorTextReady);
    EXPECT_TRUE(fs::is_directory(folder_ / "chosen"));
}

TEST_F(TextFiles, SavedSourcesAskForTheirCompile) {
    write("start.txt", "text\n");
    ASSERT_EQ(run("open . start no 4"), 0) << error_text();
    const fs::path public_sources = run_.tree.root() / "public" / "kpl";
    const fs::path private_sources = run_.tree.data() / "kpl";
    fs::create_directories(public_sources);
    fs::create_directories(private_sources);
    struct Case {
        fs::path file;
        int auto_compile;
        int state;
        int private_tree;
    };
    const Case cases[] = {
        {public_sources / "A_String1.KPL", 1, kCompileStrings, 0},
        {public_sources / "a_menu.kpl", 1, kCompileMenus, 0},
        {private_sources / "a_list2.kpl", 1, kCompileLists, 1},
        {private_sources / "lenses.kpl", 1, kCompileCode, 1},
        // Off, outside both source folders, or not a source: no compile.
        {private_sources / "lenses.kpl", 0, kCompileNone, 0},
        {folder_ / "lenses.kpl", 1, kCompileNone, 0},
        {private_sources / "lenses.txt", 1, kCompileNone, 0},
    };
    for (const Case& c : cases) {
        clear_compile_request();
        set_setting_flag(kSetKplAutoCompile, c.auto_compile);
        ASSERT_EQ(run("save_as . " + c.file.string() + " 2"), 0) << c.file << error_text();
        EXPECT_TRUE(fs::exists(c.file)) << c.file;
        EXPECT_EQ(compile_request().state, c.state) << c.file;
        if (c.state != kCompileNone) {
            EXPECT_EQ(compile_request().private_tree, c.private_tree) << c.file;
        }
    }
    // edit_save compiles the same way (the text saved as the source is the edit file's).
    set_setting_flag(kSetKplAutoCompile, 0);
    ASSERT_EQ(run("save_as . " + (private_sources / "lenses.kpl").string() + " 2"), 0);
    clear_compile_request();
    set_setting_flag(kSetKplAutoCompile, 1);
    ASSERT_EQ(run("edit_save"), 0) << error_text();
    EXPECT_EQ(compile_request().state, kCompileCode);
}

}  // namespace

namespace {

// insert_file with a text type copies the file into the text output line by line, on lines of
// its own, CR LF ends read as line ends, a tab shown as the output shows tabs; the lens is not
// touched.
TEST_F(TextFiles, InsertFileCopiesATextFileIntoTheOutput) {
    run_all({"LEN NEW \"Kept\"", "NXT", "TH 5", "NXT", "END"});
    const int image = lens_data().image_surface;
    write("notes.txt", "first\r\n\tsecond \"q\"\n\nlast without end");
    printed();
    write_output_text("begun ", false);
    ASSERT_EQ(run("insert_file . notes.txt 0 4"), 0) << error_text();
    EXPECT_EQ(printed(), "begun \nfirst\n    second \"q\"\n\nlast without end\n");
    EXPECT_EQ(lens_data().image_surface, image);

    // An empty file prints nothing; a sub-folder of the text folder is taken from the folder.
    fs::create_directories(folder_ / "sub");
    std::ofstream(folder_ / "sub" / "one.txt") << "only\n";
    write("empty.txt", "");
    const struct {
        const char* line;
        int result;
        const char* output;
    } cases[] = {
        {"insert_file . empty.txt 0 4", 0, ""},
        {"insert_file sub one.txt 0 4", 0, "only\n"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(run(c.line), c.result) << c.line << ": " << error_text();
        EXPECT_EQ(printed(), c.output) << c.line;
    }
}

TEST_F(TextFiles, InsertFileReportsWhatItCannotCopy) {
    printed();
    // Missing, a folder: the file cannot be read; nothing is printed.
    fs::create_directories(folder_ / "folder.txt");
    for (const std::string& name : {std::string("absent.txt"), std::string("folder.txt")}) {
        EXPECT_EQ(run("insert_file . " + name + " 0 4"), kErrorTextReady) << name;
        EXPECT_NE(error_text().find("cannot be read"), std::string::npos) << error_text();
        EXPECT_EQ(printed(), "") << name;
    }
    // A file that opens but fails on reading (this process's memory at address 0): the output
    // is not finished.
    fs::create_symlink("/proc/self/mem", folder_ / "memory.txt");
    EXPECT_EQ(run("insert_file . memory.txt 0 4"), kMsgListingStopped);
}

// The lens-file commands share the two slots: whatever the edit window's commands do not serve
// reaches the handler each slot held before, and installing them again does not make them hand
// a command on to themselves.
TEST_F(TextFiles, OtherCommandsOfTheSharedSlotsReachTheHandlersInstalledThereBefore) {
    static int file_calls = 0;
    static int revert_calls = 0;
    file_calls = revert_calls = 0;
    set_handler(kSlotFileOperations, [] {
        ++file_calls;
        return 7;
    });
    set_handler(kSlotEditOrRevert, [] {
        ++revert_calls;
        return 8;
    });
    for (int round = 0; round < 2; ++round) {
        install_text_file_commands();
        set_current_command(218);  // file_save: the lens file's
        EXPECT_EQ(cmd_text_file_operations(), 7);
        set_current_command(232);  // revert
        EXPECT_EQ(cmd_text_edit_or_revert(), 8);
    }
    EXPECT_EQ(file_calls, 2);
    EXPECT_EQ(revert_calls, 2);
    // A text command stays with the edit window: with no edit text there is nothing to save.
    set_setting_text(kSetEditFile, path("kept.txt").c_str(), 0);
    set_current_command(228);  // edit_save
    EXPECT_EQ(cmd_text_edit_or_revert(), kErrorTextReady) << error_text();
    EXPECT_EQ(revert_calls, 2);
    EXPECT_FALSE(fs::exists(path("kept.txt")));
}

}  // namespace
