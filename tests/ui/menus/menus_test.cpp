// Menus built from menu lists (tests/fixtures/menu_bar) on the console's menu model: labels,
// accelerators, recent-file slots, the greying of items and popups from the enable conditions,
// and the commands a chosen item or an accelerator submits.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "platform/console/console_backend.h"
#include "platform/state_reset.h"
#include "runtime/definitions.h"
#include "runtime/menu_store.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/table_files.h"
#include "runtime/table_lists.h"
#include "runtime/table_messages.h"
#include "tests/support/built_tables.h"
#include "tests/support/temp_tree.h"
#include "ui/file_dialogs.h"
#include "ui/menus.h"

namespace {

std::vector<std::string> g_submitted;

class Menus : public ::testing::Test {
protected:
    void SetUp() override {
        take_down();
        namespace fs = std::filesystem;
        const fs::path sources = tree_.base() / "sources";
        const fs::path fixtures = fs::path(TAVO_FIXTURES_DIR);
        fs::create_directories(sources);
        for (const char* part : {"definitions", "help"}) {
            fs::copy(fixtures / "menus" / part, sources / part, fs::copy_options::recursive);
        }
        fs::copy(fixtures / "menu_bar" / "lists", sources / "lists", fs::copy_options::recursive);
        fs::copy(fs::path(TAVO_SOURCE_DIR) / "tables/messages", sources / "messages",
                 fs::copy_options::recursive);
        ASSERT_EQ(tavo_test::build_tables(sources, tree_.root() / "bin" / "amo"), 0);
        ASSERT_EQ(read_root_folders(), 0);
        ASSERT_EQ(open_message_table(), 0);
        ASSERT_EQ(load_definitions(0), 0);
        update_flag_expressions();
        platform::set_current_ui(&ui_);
        ui_.create_frame("TAVO LT", nullptr);
        ui_.create_window(platform::kWindowEdit, "Edit", nullptr);
        g_submitted.clear();
        set_menu_submitter([](const char* text) { g_submitted.emplace_back(text); });
        install_menus();
        ASSERT_NE(build_menu("main_menu", platform::kWindowFrame, true), 0);
        ASSERT_NE(build_menu("edit_menu", platform::kWindowEdit, false), 0);
    }
    void TearDown() override {
        take_down();
        platform::set_current_ui(nullptr);
    }
    static void take_down() {
        set_menu_submitter(nullptr);
        free_menu_store();
        free_definitions();
        close_message_table();
        platform::reset_all_state();
    }
    // The entries of the bar and of its popups, by label.
    const std::vector<platform::MenuEntry>& bar() {
        return *ui_.menu_entries(ui_.menu_bar(platform::kWindowFrame));
    }
    const std::vector<platform::MenuEntry>& popup_of(const std::vector<platform::MenuEntry>& menu,
                                                     const std::string& label) {
        for (const platform::MenuEntry& e : menu) {
            if (e.kind == platform::MenuEntry::Kind::popup && e.label == label) {
                return *ui_.menu_entries(e.popup);
            }
        }
        ADD_FAILURE() << "no popup " << label;
        return bar();
    }
    const platform::MenuEntry& entry(const std::vector<platform::MenuEntry>& menu,
                                     const std::string& label) {
        for (const platform::MenuEntry& e : menu) {
            if (e.label == label) return e;
        }
        ADD_FAILURE() << "no entry " << label;
        return menu.front();
    }
    int id_of(const std::string& command) {
        for (int id = 1; id <= menu_command_count(); ++id) {
            if (command == menu_command_text(id)) return id;
        }
        return 0;
    }
    void press(int window, int key, unsigned modifiers) {
        platform::KeyEvent event;
        event.key = key;
        event.modifiers = modifiers;
        ui_.post_key(window, event);
        while (ui_.process_one_event(false)) {
        }
    }

    tavo_test::TempTree tree_;
    std::istringstream in_;
    std::ostringstream out_, err_;
    platform::ConsoleBackend ui_{tavo_test::test_console_options(in_, out_, err_)};
};

TEST_F(Menus, LabelsMnemonicsSeparatorsAndMissingListsAsTheListsSayThem) {
    // The popup of a missing list is dropped; mnemonics become "&".
    ASSERT_EQ(bar().size(), 3u);
    EXPECT_EQ(bar()[0].label, "&File");
    EXPECT_EQ(bar()[1].label, "&Tools");
    EXPECT_EQ(bar()[2].label, "&Help");
    const auto& file = popup_of(bar(), "&File");
    // Save, separator, Surface, Plain, Lower, Other, two recent slots, Complete, More.
    ASSERT_EQ(file.size(), 10u);
    EXPECT_EQ(file[0].label, "&Save\tCtrl+S");
    EXPECT_EQ(file[1].kind, platform::MenuEntry::Kind::separator);
    EXPECT_EQ(file[2].label, "Surface\tCtrl+Shift+S");
    EXPECT_EQ(file[3].label, "Plain\tCtrl+P");
    // Brackets that are not accelerators only cut the label.
    EXPECT_EQ(file[4].label, "Lower");
    EXPECT_EQ(file[5].label, "Other");
    EXPECT_EQ(file[6].label, "&1 (no recent file)");
    EXPECT_EQ(file[7].label, "&2 (no recent file)");
}

TEST_F(Menus, AcceleratorRecordsCarryCtrlShiftAndTheItem) {
    const std::vector<Accelerator>& table = main_accelerators();
    ASSERT_EQ(table.size(), 4u);  // Save, Surface, Plain, Complete
    EXPECT_EQ(table[0].key, 'S');
    EXPECT_EQ(table[0].flags, kAccelVirtualControl);
    EXPECT_EQ(table[0].id, id_of("save_lens"));
    EXPECT_EQ(table[1].key, 'S');
    EXPECT_EQ(table[1].flags, kAccelVirtualControl | kAccelShift);
    EXPECT_EQ(table[1].id, id_of("surf 3"));
    // The second menu's records count from 1001 in the order of its items.
    const std::vector<Accelerator>& second = second_accelerators();
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0].id, kSecondMenuAcceleratorBase);
    EXPECT_EQ(second[1].id, kSecondMenuAcceleratorBase + 1);
}

TEST_F(Menus, ItemsAndPopupsAreGreyedFromTheConditionsBottomUp) {
    update_menu_states(1);
    const auto& file = popup_of(bar(), "&File");
    EXPECT_FALSE(entry(file, "&Save\tCtrl+S").enabled);  // lens_file_named is clear
    EXPECT_FALSE(entry(file, "Surface\tCtrl+Shift+S").enabled);
    EXPECT_TRUE(entry(file, "Plain\tCtrl+P").enabled);
    // More holds only disabled items: greyed in File, which itself stays enabled.
    EXPECT_FALSE(entry(file, "More").enabled);
    EXPECT_TRUE(bar()[0].enabled);
    // Tools: its sub-popup is grey and its own item too, so Tools greys on the bar.
    EXPECT_FALSE(entry(popup_of(bar(), "&Tools"), "Deeper").enabled);
    EXPECT_FALSE(bar()[1].enabled);

    set_state_flag(state_flag_by_name("lens_exists"));
    update_menu_states(1);
    EXPECT_TRUE(entry(popup_of(bar(), "&File"), "Surface\tCtrl+Shift+S").enabled);
    EXPECT_TRUE(bar()[1].enabled);                                     // Tools is back
    EXPECT_FALSE(entry(popup_of(bar(), "&Tools"), "Deeper").enabled);  // Save still grey
    EXPECT_TRUE(entry(popup_of(bar(), "&File"), "More").enabled);      // Deep surf
}

TEST_F(Menus, ABlockedBarLeavesOnlyTheNamedPopup) {
    update_menu_states(1);
    update_menu_states(0);
    EXPECT_FALSE(bar()[0].enabled);
    EXPECT_FALSE(bar()[1].enabled);
    EXPECT_TRUE(bar()[2].enabled);  // "Help", the text of message -98
    update_menu_states(1);
    EXPECT_TRUE(bar()[0].enabled);
}

TEST_F(Menus, RecentFileSlotsShowTheirNamesAndAnEmptySlotIsGrey) {
    set_recent_file_entry("/lenses/triplet.len", 0);
    set_recent_file_entry("", 1);
    set_recent_file_entry("ignored", 4);  // only slots 0..3
    update_menu_states(1);
    const auto& file = popup_of(bar(), "&File");
    EXPECT_EQ(file[6].label, "&1 /lenses/triplet.len");
    EXPECT_TRUE(file[6].enabled);
    EXPECT_EQ(file[7].label, "&2 (no recent file)");
    EXPECT_FALSE(file[7].enabled);
}

// A recent-file slot runs its command on the slot's file, quoted; an empty slot runs nothing.
TEST_F(Menus, ARecentFileSlotRunsItsCommandOnItsFile) {
    set_recent_file_entry("/lenses/a lens.len", 0);
    set_recent_file_entry("", 1);
    ASSERT_TRUE(run_menu_command(0, recent_file_item(0)));
    ASSERT_TRUE(run_menu_command(0, recent_file_item(1)));
    EXPECT_EQ(g_submitted, std::vector<std::string>{"plain_cmd 11 \"/lenses/a lens.len\""});
}

TEST_F(Menus, ARecentFileSettingShowsInItsSlotAtTheNextIdlePass) {
    ASSERT_EQ(settings_layout(), 0);
    struct Case {
        const char* name;
        const char* label;
        bool enabled;
    };
    const Case cases[] = {
        {"/lenses/doublet.len", "&2 /lenses/doublet.len", true},
        {"", "&2 (no recent file)", false},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(set_setting_text(kSetMruFile1 + 1, c.name, 0), 0);
        update_menu_states(1);
        const auto& file = popup_of(bar(), "&File");
        EXPECT_EQ(file[7].label, c.label);
        EXPECT_EQ(file[7].enabled, c.enabled) << c.name;
    }
    // A slot set directly stays until its setting changes.
    set_recent_file_entry("/lenses/direct.len", 0);
    update_menu_states(1);
    EXPECT_EQ(popup_of(bar(), "&File")[6].label, "&1 /lenses/direct.len");
}

TEST_F(Menus, ChosenItemsAndAcceleratorsSubmitTheirCommandText) {
    ASSERT_TRUE(run_menu_command(0, id_of("plain_cmd")));
    EXPECT_EQ(g_submitted, std::vector<std::string>{"plain_cmd"});
    g_submitted.clear();
    update_menu_states(1);

    // Ctrl+P runs Plain; Ctrl+Shift+P matches no record (Plain has no Shift).
    press(0, 'P', platform::modifier_control);
    press(0, 'P', platform::modifier_control | platform::modifier_shift);
    // Ctrl+S matches Save, which is greyed: handled, nothing runs.
    press(0, 'S', platform::modifier_control);
    // Ctrl+Shift+S matches Surface only (lens_exists is clear: grey too).
    EXPECT_EQ(g_submitted, std::vector<std::string>{"plain_cmd"});
    set_state_flag(state_flag_by_name("lens_exists"));
    update_menu_states(1);
    press(0, 'S', platform::modifier_control | platform::modifier_shift);
    EXPECT_EQ(g_submitted, (std::vector<std::string>{"plain_cmd", "surf 3"}));
    // The edit window's Ctrl+Shift+Z maps back from 1001 + 1 to its item.
    press(platform::kWindowEdit, 'Z', platform::modifier_control | platform::modifier_shift);
    EXPECT_EQ(g_submitted.back(), "plain_cmd 21");
}

}  // namespace

namespace {

// The program's file dialogs take their types and filters from lists of the same table.
class FileDialogs : public Menus {
protected:
    void SetUp() override {
        Menus::SetUp();
        set_file_dialog_folders("Files", "P&rivate", "/data", "P&ublic", "/root/public");
    }
    void TearDown() override { Menus::TearDown(); }
    int types() { return find_list("file_types", true); }
    int filters() { return find_list("file_filters", true); }
};

TEST_F(FileDialogs, TheFolderButtonsGoToTheTypesFoldersOrTheBareFoldersForAnyType) {
    struct Case {
        int type;
        const char* private_folder;
        const char* public_folder;
        const char* extension;
        int filter;
    };
    const Case cases[] = {{1, "/data/len", "/root/public/len", "len", 0},
                          {2, "/data/txt", "/root/public/txt", "txt", 1},
                          {3, "/data", "/root/public", "", 2}};
    for (const Case& c : cases) {
        int type = c.type;
        std::string folder = "/start";
        std::string path = "/old/name.len";
        ui_.queue_dialog_answer("/data/len/chosen.len");
        ASSERT_EQ(file_dialog(&type, 1, types(), filters(), "", folder, path), 0);
        const platform::FileDialogRequest& shown = ui_.file_dialogs_shown().back();
        EXPECT_EQ(shown.private_folder, c.private_folder);
        EXPECT_EQ(shown.public_folder, c.public_folder);
        EXPECT_EQ(shown.private_label, "P&rivate");
        EXPECT_EQ(shown.default_extension, c.extension);
        EXPECT_EQ(shown.filter_index, c.filter);
        EXPECT_TRUE(shown.save);
        EXPECT_EQ(shown.path, "name.len");  // Save offers the file name part
        EXPECT_EQ(shown.title, "Files");
        EXPECT_EQ(path, "/data/len/chosen.len");
        EXPECT_EQ(folder, "/data/len");
        EXPECT_EQ(type, c.type);
    }
}

TEST_F(FileDialogs, AnUnknownTypeOrACancelIsReported) {
    int type = 7;
    std::string folder;
    std::string path;
    EXPECT_EQ(file_dialog(&type, 0, types(), filters(), "Open", folder, path), kErrorTextReady);
    EXPECT_NE(std::string(error_text_buffer()).find("(1)"), std::string::npos)
        << error_text_buffer();
    type = 2;
    ui_.queue_dialog_answer("");
    EXPECT_EQ(file_dialog(&type, 0, types(), filters(), "Open", folder, path),
              kFileDialogCancelled);
    // Erase mode relabels OK.
    ui_.queue_dialog_answer("/x/y.txt");
    ASSERT_EQ(file_dialog(&type, 2, types(), filters(), "Delete", folder, path), 0);
    EXPECT_EQ(ui_.file_dialogs_shown().back().ok_label, "Erase");
}

}  // namespace
