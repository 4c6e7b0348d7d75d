// Choice lists on the console's list window and popup menus: which items are offered, the list
// window's size, the popup's check marks and sub-menus, the text a choice stands for and the
// movement of the selection.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/console/console_backend.h"
#include "platform/state_reset.h"
#include "runtime/list_words.h"
#include "tests/support/built_tables.h"
#include "ui/choice_lists.h"

namespace {

struct Shown {
    int n;
    bool by_item;
    bool enter;
    friend bool operator==(const Shown&, const Shown&) = default;
};
std::vector<Shown> g_shown;

class Choices : public ::testing::Test {
protected:
    void SetUp() override {
        platform::reset_all_state();
        platform::set_current_ui(&ui_);
        ui_.create_frame("TAVO LT", nullptr);
        g_shown.clear();
        set_choice_shower([](int n, bool by_item, bool enter) {
            g_shown.push_back({n, by_item, enter});
        });
    }
    void TearDown() override {
        set_choice_shower(nullptr);
        clear_value_list();
        platform::set_current_ui(nullptr);
        platform::reset_all_state();
    }
    // A title, three plain items (one checked, one with '~'), a head of two items (one checked),
    // an unfinished command and an item with an alias in braces.
    static void mixed_list() {
        start_built_list();
        for (const auto& [first, second] :
             std::vector<std::pair<const char*, const char*>>{{"@Surfaces", ""},
                                                              {"alpha", "1"},
                                                              {"*beta", "2"},
                                                              {"Sub", "$2"},
                                                              {"~delta", "4"},
                                                              {"*eps", "5"},
                                                              {"set_value_", "6"},
                                                              {"{zeta} zeta words", "7"}}) {
            add_built_list_entry(first, second);
        }
    }
    static void numbered_list(int count, const char* stem) {
        start_built_list();
        for (int k = 1; k <= count; ++k) {
            add_built_list_entry(stem + std::to_string(100 + k), std::to_string(k));
        }
    }

    std::istringstream in_;
    std::ostringstream out_, err_;
    platform::ConsoleBackend ui_{tavo_test::test_console_options(in_, out_, err_)};
};

TEST_F(Choices, TheListWindowOffersTheSelectableItemsAndSelectsTheFirst) {
    mixed_list();
    EXPECT_EQ(fill_choice_list(1), 6);
    EXPECT_EQ(ui_.choice_list(), (std::vector<std::string>{"alpha", "beta", "delta", "eps",
                                                           "set_value_", "zeta words"}));
    EXPECT_TRUE(choice_list_visible());
    EXPECT_EQ(selected_choice(), 0);
    EXPECT_EQ(ui_.selected_choice_item(), 0);
    // "zeta words" is the longest (10): 11 cells of 8 pixels is under the 100-pixel minimum;
    // six rows of 16 pixels.
    EXPECT_EQ(ui_.choice_list_size(), (platform::Size{100, 96}));

    EXPECT_EQ(fill_choice_list(0), 0);
    EXPECT_TRUE(ui_.choice_list().empty());
    EXPECT_FALSE(choice_list_visible());
    EXPECT_EQ(selected_choice(), -1);
}

TEST_F(Choices, TheListWindowIsSizedToItsLongestItemWithABarPastTwentyItems) {
    // Items "item_with_long_name_1NN": 23 characters, 24 cells of 8 pixels = 192.
    const std::tuple<int, platform::Size> cases[] = {
        {1, {192, 16}},
        {20, {192, 320}},
        {21, {192 + 16, 320}},  // a scroll bar's width more, still 20 rows
        {40, {192 + 16, 320}},
    };
    for (const auto& [count, size] : cases) {
        numbered_list(count, "item_with_long_name_");
        EXPECT_EQ(fill_choice_list(1), count);
        EXPECT_EQ(ui_.choice_list_size(), size) << count;
        EXPECT_EQ(ui_.choice_list().size(), static_cast<std::size_t>(count));
    }
}

TEST_F(Choices, ThePopupMenuChecksMarkedItemsAndTheirSubMenuAndReturnsTheItemNumber) {
    mixed_list();
    ui_.queue_popup_choice(4);  // delta, the fourth entry after the title
    EXPECT_EQ(choice_popup_menu(platform::kWindowFrame, 10, 20, 1), 4);
    ASSERT_EQ(ui_.popups_shown().size(), 1u);
    EXPECT_EQ(ui_.popups_shown()[0],
              (std::vector<std::string>{"alpha", "* beta", "* Sub", "  delta", "  * eps",
                                        "set_value_", "zeta words"}));
    EXPECT_EQ(g_shown, (std::vector<Shown>{{4, true, true}}));

    // Nothing chosen: nothing shown. The head itself is no command and cannot be chosen.
    g_shown.clear();
    EXPECT_EQ(choice_popup_menu(platform::kWindowFrame, 0, 0, 3), 0);
    ui_.queue_popup_choice(3);
    EXPECT_EQ(choice_popup_menu(platform::kWindowFrame, 0, 0, 1), 0);
    EXPECT_TRUE(g_shown.empty());
}

TEST_F(Choices, AChoiceStandsForItsEntryByItemOrBySelectableIndex) {
    mixed_list();
    struct Case {
        int n;
        bool by_item;
        bool found;
        const char* text;
    };
    const Case cases[] = {
        {1, true, true, "alpha"},
        {2, true, true, "beta"},   // '*' is no part of the text
        {3, true, false, ""},      // the head
        {4, true, true, "delta"},  // '~' dropped
        {7, true, true, "{zeta} zeta words"},
        {8, true, false, ""},
        {0, true, false, ""},
        {2147483647, true, false, ""},
        {0, false, true, "alpha"},
        {2, false, true, "delta"},
        {4, false, true, "set_value_"},
        {6, false, false, ""},
        {-1, false, false, ""},
    };
    for (const Case& c : cases) {
        std::string text = "unchanged";
        EXPECT_EQ(choice_text(c.n, c.by_item, text), c.found) << c.n << ' ' << c.by_item;
        if (c.found) {
            EXPECT_EQ(text, c.text) << c.n << ' ' << c.by_item;
        }
    }
    // Items, those of the sub-menu counted, after the title: the size a popup is judged by.
    EXPECT_EQ(choice_item_count(), 7);
}

TEST_F(Choices, TheSelectionMovesByRowsAndPagesWithinTheList) {
    numbered_list(30, "n");
    ASSERT_EQ(fill_choice_list(1), 30);
    // 20 rows show: a page moves 19.
    const std::tuple<int, int> moves[] = {
        {platform::key_down, 1},
        {platform::key_page_down, 20},
        {platform::key_page_down, 29},
        {platform::key_page_up, 10},
        {platform::key_up, 9},
        {-20, 0},
        {platform::key_up, 0},
        {5, 5},
        {2147483647, 29},
        {-2147483647 - 1, 0},  // no overflow past the ends
    };
    for (const auto& [key, expected] : moves) {
        g_shown.clear();
        move_choice_selection(key);
        EXPECT_EQ(selected_choice(), expected) << key;
        EXPECT_EQ(ui_.selected_choice_item(), expected) << key;
        EXPECT_EQ(g_shown, (std::vector<Shown>{{expected, false, false}})) << key;
    }
    // Without a selection a move starts in the middle of the rows shown.
    clear_choice_selection();
    EXPECT_EQ(ui_.selected_choice_item(), -1);
    move_choice_selection(platform::key_down);
    EXPECT_EQ(selected_choice(), 10);
    // Nothing moves while the window is hidden.
    fill_choice_list(0);
    g_shown.clear();
    move_choice_selection(platform::key_down);
    EXPECT_TRUE(g_shown.empty());
}

}  // namespace
