// The windows made after the application start, as a user meets them: the edit window and its
// printing, the Cancel box while a document prints, the page set-up of the two printers, the
// check items of the system menus and the colour table they can switch, and arranging icons.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/startup.h"
#include "graphics/color_palette.h"
#include "platform/state_reset.h"
#include "runtime/output_options.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "ui/text_print.h"
#include "ui/window_table.h"

namespace {

class GuiWindows : public loop_test::Loop {
protected:
    void SetUp() override {
        loop_test::Loop::SetUp();
        ASSERT_EQ(create_text_window(1, 1999, 10, 128), 0);
        ui().show_window(1, true);
        set_output_option(kOptionPageMode, 0);
        ASSERT_EQ(register_window_classes(), 0);
    }
    void TearDown() override { loop_test::Loop::TearDown(); }
    // The texts drawn on a printed page, in order.
    static std::vector<std::string> texts(const std::vector<std::string>& page) {
        std::vector<std::string> out;
        for (const std::string& r : page) {
            if (r.rfind("text ", 0) == 0) out.push_back(r);
        }
        return out;
    }
};

TEST_F(GuiWindows, TheEditWindowPrintsItsLinesWithTabsExpandedToFourColumns) {
    ASSERT_TRUE(ui().window_exists(platform::kWindowEdit));
    EXPECT_FALSE(ui().window_visible(platform::kWindowEdit));  // made hidden
    ui().install_recording_printer({800, 924}, 100);
    ui().set_edit_text(platform::kWindowEdit, "a\tb\nxyz\tz\n\tq");
    // A hidden edit window prints nothing.
    type("editwin_print");
    EXPECT_TRUE(ui().printed_pages().empty());

    ui().show_window(platform::kWindowEdit, true);
    type("editwin_print");
    ASSERT_EQ(ui().printed_pages().size(), 1u);
    // Margins 1000 and 1600 hundredths of a millimetre at 100 pixels an inch: 39 and 62.
    EXPECT_EQ(texts(ui().printed_pages()[0]),
              (std::vector<std::string>{"text 39,62 \"a   b\"", "text 39,78 \"xyz z\"",
                                        "text 39,94 \"    q\""}));
    EXPECT_NE(errors().find("The edit window was printed"), std::string::npos) << errors();
}

TEST_F(GuiWindows, WithTextSelectedThePrintDialogOffersToPrintOnlyTheSelection) {
    ui().install_recording_printer({800, 924}, 100);
    ui().show_window(platform::kWindowEdit, true);
    ui().set_edit_text(platform::kWindowEdit, "one\ntwo\tx\nthree");
    const std::string question = "TAVO LT: print all or the selection?";
    struct Case {
        int start;
        int end;
        const char* answer;  // null: no question may be asked
        std::vector<std::string> printed;
        bool cancelled;
    };
    const std::vector<std::string> all = {"text 39,62 \"one\"", "text 39,78 \"two x\"",
                                          "text 39,94 \"three\""};
    const Case cases[] = {
        // "two\tx": the tab taken from the selection's own first column.
        {4, 9, "selection", {"text 39,62 \"two x\""}, false},
        // Across a line end: two lines of the selection, the first cut where it starts.
        {6, 12, "s", {"text 39,62 \"o   x\"", "text 39,78 \"th\""}, false},
        {4, 9, "all", all, false},
        {4, 9, "", {}, true},         // an empty answer cancels the dialog
        {3, 3, nullptr, all, false},  // nothing selected: nothing to offer
    };
    for (const Case& c : cases) {
        ui().clear_printed_pages();
        run_.errors.str("");
        ui().set_edit_selection(platform::kWindowEdit, c.start, c.end);
        if (c.answer != nullptr) ui().queue_dialog_answer(c.answer);
        type("editwin_print");
        EXPECT_EQ(errors().find(question) != std::string::npos, c.answer != nullptr)
            << c.start << " " << errors();
        if (c.cancelled) {
            EXPECT_TRUE(ui().printed_pages().empty()) << c.start;
            EXPECT_NE(errors().find("Printing cancelled"), std::string::npos) << errors();
            continue;
        }
        ASSERT_EQ(ui().printed_pages().size(), 1u) << c.start << " " << c.answer;
        EXPECT_EQ(texts(ui().printed_pages()[0]), c.printed) << c.start << " " << c.answer;
    }
}

TEST_F(GuiWindows, TheEditWindowShownSetsItsStateFlagAndClosingClearsIt) {
    EXPECT_EQ(test_state_flag(kFlagEditWindowShown), 0);
    show_window(1, platform::kWindowEdit);
    EXPECT_TRUE(ui().window_visible(platform::kWindowEdit));
    EXPECT_NE(test_state_flag(kFlagEditWindowShown), 0);
    ui().set_edit_text(platform::kWindowEdit, "kept");
    // The user closes it: hidden, its text kept for the next time it shows.
    ui().post_close_request(platform::kWindowEdit);
    ui().process_one_event(false);
    EXPECT_FALSE(ui().window_visible(platform::kWindowEdit));
    EXPECT_EQ(test_state_flag(kFlagEditWindowShown), 0);
    EXPECT_EQ(ui().edit_text(platform::kWindowEdit), "kept");
}

TEST_F(GuiWindows, TheCancelBoxCountsThePagesAndCancelStopsTheDocument) {
    ui().install_recording_printer({800, 924}, 100);
    // 50 lines a page (see the margins above and the 16-pixel line): 120 lines, 3 pages.
    for (int k = 1; k <= 120; ++k) text_printf("line %d\n", k);
    type("print_text 0");
    ASSERT_EQ(ui().printed_pages().size(), 3u);
    EXPECT_EQ(ui().print_cancel_texts(),
              (std::vector<std::string>{"TAVO LT", "Printing page 1 of 3", "Printing page 2 of 3",
                                        "Printing page 3 of 3"}));
    EXPECT_FALSE(ui().print_cancel_box_open());

    // Cancel pressed while line 60 waits: no new pages, the cancel reported, the box gone.
    ui().cancel_printing_at_poll(60);
    type("print_text 0");
    EXPECT_EQ(ui().printed_pages().size(), 3u);
    EXPECT_NE(errors().find("Printing cancelled"), std::string::npos) << errors();
    EXPECT_FALSE(ui().print_cancel_box_open());
    EXPECT_EQ(ui().print_cancel_texts().back(), "Printing page 2 of 3");
}

TEST_F(GuiWindows, PageSetUpKeepsTheMarginsOfEachPrinterOnOk) {
    struct Case {
        const char* command;
        const char* answer;
        PageMargins text;
        PageMargins graphics;
    };
    const PageMargins text_default{1000, 1600, 1000, 1600};
    const PageMargins graphics_default{1600, 1000, 1600, 1000};
    const Case cases[] = {
        {"printer_capabilities 1", "", text_default, graphics_default},         // cancelled
        {"printer_capabilities 1", "1,2,3", text_default, graphics_default},    // bad answer
        {"printer_capabilities 1", "1,2,3,x", text_default, graphics_default},  // bad answer
        {"printer_capabilities 1", "10,20,30,40", text_default, {10, 20, 30, 40}},
        {"printer_capabilities 0", "500,600,700,800", {500, 600, 700, 800}, {10, 20, 30, 40}},
    };
    auto same = [](const PageMargins& a, const PageMargins& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    };
    for (const Case& c : cases) {
        ui().queue_dialog_answer(c.answer);
        type(c.command);
        EXPECT_TRUE(same(text_margins(), c.text)) << c.command << " " << c.answer;
        EXPECT_TRUE(same(graphics_margins(), c.graphics)) << c.command << " " << c.answer;
    }
    // The new text margins print: 100 x 500 / 2540 = 19 and 100 x 600 / 2540 = 23 pixels;
    // (924 - 2 x 23) / 16 = 54 lines a page.
    ui().install_recording_printer({800, 924}, 100);
    for (int k = 1; k <= 60; ++k) text_printf("line %d\n", k);
    type("print_text 0");
    ASSERT_EQ(ui().printed_pages().size(), 2u);
    EXPECT_EQ(texts(ui().printed_pages()[0]).front(), "text 19,23 \"line 1\"");
    EXPECT_EQ(texts(ui().printed_pages()[1]).front(), "text 19,23 \"line 55\"");

    // In step mode the printer chosen is listed.
    set_output_option(kOptionStepMode, 1);
    ui().queue_dialog_answer("1,1,1,1");
    type("printer_capabilities 0");
    set_output_option(kOptionStepMode, 0);
    EXPECT_NE(output().find("Device name: 'console'"), std::string::npos) << output();
}

TEST_F(GuiWindows, CheckItemsEndEverySystemMenuAndAClickFlipsTheirSetting) {
    set_setting_flag(kSetStepMode, 0);
    const auto& items = ui().system_menu_items();
    ASSERT_EQ(items.size(), 4u);
    const char* labels[] = {"Page mode", "Echo commands", "Step mode", "White graphics"};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(items[k].label, labels[k]);
        EXPECT_EQ(items[k].id, 88 + k);
    }
    struct Case {
        int id;
        int setting;
    };
    for (const Case c : {Case{88, kSetOutputPageMode}, Case{89, kSetOutputEcho},
                         Case{91, kSetGraphicsWhiteBkgnd}}) {
        const int before = get_setting_flag(c.setting);
        ASSERT_TRUE(ui().choose_system_menu_item(platform::kWindowText1, c.id));
        main_loop_pass(false);
        EXPECT_EQ(get_setting_flag(c.setting), before == 0 ? 1 : 0) << c.id;
        EXPECT_EQ(ui().system_menu_items()[c.id - 88].checked, before == 0) << c.id;
        // And back.
        ASSERT_TRUE(ui().choose_system_menu_item(platform::kWindowText1, c.id));
        main_loop_pass(false);
        EXPECT_EQ(get_setting_flag(c.setting), before) << c.id;
    }
    EXPECT_FALSE(ui().choose_system_menu_item(platform::kWindowText1, 92));
}

TEST_F(GuiWindows, TheWhiteBackgroundSettingRebuildsTheColourTable) {
    struct Case {
        int white;
        platform::Colour background;
        platform::Colour colour1;
        platform::Colour colour2;
        platform::Colour undefined;  // an index the list leaves out
        std::uint32_t value2;        // colour 2 as 0x02bbggrr
    };
    const Case cases[] = {
        {1, {255, 255, 255}, {0, 0, 0}, {255, 0, 0}, {0, 0, 0}, 0x020000FFu},
        {0, {0, 0, 0}, {255, 255, 255}, {255, 64, 64}, {255, 255, 255}, 0x024040FFu},
        {1, {255, 255, 255}, {0, 0, 0}, {255, 0, 0}, {0, 0, 0}, 0x020000FFu},
    };
    for (const Case& c : cases) {
        set_setting_flag(kSetGraphicsWhiteBkgnd, static_cast<std::uint8_t>(c.white));
        const ColourTable& t = colour_table();
        EXPECT_EQ(t.white_background, c.white != 0);
        EXPECT_EQ(t.colours[0], c.background) << c.white;
        EXPECT_EQ(t.colours[1], c.colour1) << c.white;
        EXPECT_EQ(t.colours[2], c.colour2) << c.white;
        EXPECT_EQ(t.colours[200], c.undefined) << c.white;
        EXPECT_EQ(t.values[2], c.value2) << c.white;
        EXPECT_EQ(t.count, 9) << c.white;  // indices 1..8 defined
    }
}

TEST_F(GuiWindows, ArrangeIconsReachesTheWindowSystem) {
    type("arrange_icons");
    type("arrange_icons");
    EXPECT_EQ(ui().icons_arranged(), 2);
}

}  // namespace
