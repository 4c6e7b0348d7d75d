// The menu and tool-strip text stores over the fixture tables of tests/fixtures/menus: which
// items are registered, what the condition walk reports, and what a function key does.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/console/console_backend.h"
#include "platform/ui.h"
#include "runtime/dispatch.h"
#include "runtime/menu_store.h"
#include "runtime/state_flags.h"
#include "tests/runtime/tables/menu_fixture.h"

using namespace tavo_test;

namespace {

struct Walked {
    int command, old_state, new_state, position, menu;
    friend bool operator==(const Walked&, const Walked&) = default;
};

std::vector<Walked> walk_menus() {
    std::vector<Walked> out;
    Walked w{};
    while ((w.command = next_menu_item_state(&w.old_state, &w.new_state, &w.position, &w.menu)) !=
           0) {
        out.push_back(w);
    }
    return out;
}

std::vector<std::string> submitted;
void record_submission(const char* text) {
    submitted.emplace_back(text);
}

class MenuStore : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(tables.load());
        platform::ConsoleOptions options{&input, &output, &errors, true};
        ui = std::make_unique<platform::ConsoleBackend>(options);
        platform::set_current_ui(ui.get());
        submitted.clear();
        set_command_line_submitter(record_submission);
    }
    void TearDown() override {
        set_command_line_submitter(nullptr);
        platform::set_current_ui(nullptr);
    }
    int beeps() const { return ui->beep_count(); }

    MenuTables tables;
    std::istringstream input;
    std::ostringstream output, errors;
    std::unique_ptr<platform::ConsoleBackend> ui;
};

TEST_F(MenuStore, LookupTakesTheLeadingIdentifierLowerCased) {
    struct Case {
        const char* text;
        int symbol;
    } cases[] = {
        {"surf 3", kSymSurf},
        {"   SAVE_LENS", kSymSaveLens},
        {"plain_cmd(1)", kSymPlain},
        {"surfx", -1},
        {"1surf", -1},
        {"", -1},
        {"_", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(lookup_symbol(c.text), c.symbol) << c.text;
    // 47 characters are looked up; 48 are refused without a search.
    EXPECT_EQ(lookup_symbol(std::string(47, 'a').c_str()), -1);
    EXPECT_EQ(lookup_symbol(("surf" + std::string(44, 'x')).c_str()), -1);
    EXPECT_EQ(symbol_enable_condition("surf"), 0);
    EXPECT_EQ(symbol_enable_condition("save_lens now"), 1);
    EXPECT_EQ(symbol_enable_condition("plain_cmd"), kNoCondition);
    EXPECT_EQ(symbol_enable_condition("nothing"), kNoCondition);
}

TEST_F(MenuStore, RegistersOnlyKnownSymbolsWithConditions) {
    EXPECT_STREQ(add_menu_item_text(101, 7, 0, 0, "surf 1"), "surf 1");
    EXPECT_STREQ(add_menu_item_text(102, 7, 1, 1, "unknown_word"), "unknown_word");
    EXPECT_STREQ(add_menu_item_text(103, 7, 2, 2, "plain_cmd"), "plain_cmd");
    EXPECT_STREQ(add_menu_item_text(0, 7, 3, 3, "save_lens"), "save_lens");  // no item number
    EXPECT_STREQ(add_menu_item_text(105, 8, 4, -1, "Save_Lens as"), "Save_Lens as");
    EXPECT_EQ(menu_item_count(), 2);
    EXPECT_EQ(menu_slot_item(0), 0);
    EXPECT_EQ(menu_slot_item(1), -1);
    EXPECT_STREQ(menu_slot_text(1), "unknown_word");
    EXPECT_EQ(menu_slot_text(4), nullptr);

    const std::vector<Walked> walked = walk_menus();
    ASSERT_EQ(walked.size(), 2u);
    EXPECT_EQ(walked[0], (Walked{101, 1, 0, 0, 7}));  // no lens: surf is disabled now
    EXPECT_EQ(walked[1], (Walked{105, 1, 0, 4, 8}));
}

TEST_F(MenuStore, WalkReportsStateChangesAndStartsAgain) {
    add_menu_item_text(11, 1, 0, -1, "surf");
    add_menu_item_text(12, 1, 1, -1, "save_lens");
    walk_menus();  // both disabled now
    set_state_flag(kFlagLensExists);
    set_state_flag(kFlagLensFileNamed);
    EXPECT_EQ(walk_menus(), (std::vector<Walked>{{11, 0, 1, 0, 1}, {12, 0, 1, 1, 1}}));
    set_state_flag(kFlagLensReadInBulk);
    EXPECT_EQ(walk_menus(), (std::vector<Walked>{{11, 1, 1, 0, 1}, {12, 1, 0, 1, 1}}));
}

TEST_F(MenuStore, KeepsAtMost300Items) {
    for (int i = 1; i <= 301; ++i) add_menu_item_text(i, 0, i, -1, "surf");
    EXPECT_EQ(menu_item_count(), kMenuItemLimit);
    EXPECT_EQ(walk_menus().size(), 300u);
}

TEST_F(MenuStore, FullTextAreaStoresNothing) {
    const std::string long_text = "surf " + std::string(1000, 'x');
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(add_menu_item_text(1, 0, i, -1, long_text.c_str()), long_text);
    // 4 x 1006 bytes are used of 4096: the fifth does not fit.
    EXPECT_STREQ(add_menu_item_text(2, 0, 9, 5, long_text.c_str()), "");
    EXPECT_EQ(menu_item_count(), 4);
    EXPECT_EQ(menu_slot_text(5), nullptr);
    // A reset empties the area and the items.
    EXPECT_EQ(reset_menu_store(), 0);
    EXPECT_EQ(menu_item_count(), 0);
    EXPECT_EQ(add_menu_item_text(2, 0, 0, 5, "surf"), std::string("surf"));
}

TEST_F(MenuStore, ToolbarRegistersDisabledAndReportsChanges) {
    toolbar_text_store(-1, 64, 32, 0, nullptr);
    EXPECT_STREQ(toolbar_text_store(0, 1, 1, 500, "surf 2"), "surf 2");  // key F1
    EXPECT_STREQ(toolbar_text_store(1, 1, 113, 501, "plain_cmd"), "plain_cmd");
    EXPECT_STREQ(toolbar_text_store(1, 0, 0, 0, "Plain tip"), "Plain tip");
    EXPECT_EQ(toolbar_item_count(), 2);

    int enabled = -1;
    EXPECT_EQ(toolbar_item_state_changed(0, &enabled), kNoControl);  // still disabled
    EXPECT_EQ(enabled, 0);
    EXPECT_EQ(toolbar_item_state_changed(1, &enabled), 501);  // no condition: enabled now
    EXPECT_EQ(enabled, 1);
    EXPECT_EQ(toolbar_item_state_changed(1, &enabled), kNoControl);
    set_state_flag(kFlagLensExists);
    EXPECT_EQ(toolbar_item_state_changed(0, &enabled), 500);
    EXPECT_EQ(enabled, 1);
    EXPECT_EQ(toolbar_item_state_changed(7, &enabled), kNoControl);
}

TEST_F(MenuStore, ToolbarTextsOutsideTheBlockAreRefused) {
    EXPECT_STREQ(toolbar_text_store(0, 1, 1, 1, "surf"), "");  // no block yet
    toolbar_text_store(-1, 8, 4, 0, nullptr);
    EXPECT_STREQ(toolbar_text_store(0, 1, 1, 1, "surf"), "surf");
    EXPECT_STREQ(toolbar_text_store(1, 1, 2, 2, "surf"), "");  // 5 + 5 > 8
    EXPECT_STREQ(toolbar_text_store(1, 0, 0, 0, "tips"), "");  // 5 > 4
    EXPECT_STREQ(toolbar_text_store(1, 0, 0, 0, "tip"), "tip");
    EXPECT_EQ(toolbar_item_count(), 1);
    // A strip that registers nothing (the tooltip copy).
    toolbar_text_store(-2, 16, 0, 0, nullptr);
    EXPECT_STREQ(toolbar_text_store(5, 1, 3, 3, "surf"), "surf");
    EXPECT_EQ(toolbar_item_count(), 1);
    // More than 36 buttons: the rest are stored but not registered.
    toolbar_text_store(-1, 4096, 0, 0, nullptr);
    for (int i = 0; i < 40; ++i) toolbar_text_store(i, 1, 0, i, "plain_cmd");
    EXPECT_EQ(toolbar_item_count(), kToolbarItemLimit);
}

TEST_F(MenuStore, FunctionKeyRunsEnabledButtonsAndBeepsOtherwise) {
    toolbar_text_store(-1, 64, 0, 0, nullptr);
    toolbar_text_store(0, 1, 1, 500, "surf 2");
    toolbar_text_store(1, 1, 113, 501, "plain_cmd 4");
    toolbar_item_state_changed(0, nullptr);
    toolbar_item_state_changed(1, nullptr);

    run_toolbar_key(113);
    EXPECT_EQ(submitted, std::vector<std::string>{"plain_cmd 4"});
    EXPECT_EQ(beeps(), 0);
    run_toolbar_key(1);  // disabled: no lens
    EXPECT_EQ(beeps(), 1);
    run_toolbar_key(120);  // no button has the key
    EXPECT_EQ(beeps(), 2);
    EXPECT_EQ(submitted.size(), 1u);

    set_state_flag(kFlagLensExists);
    toolbar_item_state_changed(0, nullptr);
    run_toolbar_key(1);
    EXPECT_EQ(submitted.back(), "surf 2");
    EXPECT_EQ(beeps(), 2);
}

// Without a command line the button's text runs as a command line of the program.
int lines_run = 0;
std::string last_line;
int record_line(const char* text, int, int) {
    ++lines_run;
    last_line = text;
    return 0;
}

TEST_F(MenuStore, FunctionKeyWithoutCommandLineRunsTheText) {
    set_command_line_submitter(nullptr);
    reset_line_runner_hooks();
    line_runner_hooks().run_top_line = record_line;
    lines_run = 0;
    toolbar_text_store(-1, 64, 0, 0, nullptr);
    toolbar_text_store(0, 1, 5, 1, "plain_cmd");
    toolbar_item_state_changed(0, nullptr);
    run_toolbar_key(5);
    EXPECT_EQ(lines_run, 1);
    EXPECT_EQ(last_line, "plain_cmd");
    reset_line_runner_hooks();
}

}  // namespace
