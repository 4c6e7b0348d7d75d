// Text areas: the ring of lines, overflow of areas that do not wrap, page mode, the scroll bar
// values and what a one-line scroll draws, on the console backend's recording surfaces.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "platform/console/console_backend.h"
#include "platform/state_reset.h"
#include "runtime/output_options.h"
#include "runtime/state_flags.h"
#include "ui/text_area.h"

namespace {

class TextAreas : public ::testing::Test {
protected:
    void SetUp() override {
        platform::reset_all_state();
        platform::ConsoleOptions options;
        options.input = &input_;
        options.output = &output_;
        options.errors = &errors_;
        options.manual_clock = true;
        backend_ = std::make_unique<platform::ConsoleBackend>(options);
        platform::set_current_ui(backend_.get());
        backend_->create_frame("TAVO LT", nullptr);
        for (int w : {1, 2, 3}) backend_->create_window(w, "", nullptr);
        backend_->show_window(1, true);
    }
    void TearDown() override {
        platform::set_current_ui(nullptr);
        platform::reset_all_state();
    }
    // A text output area of window 1 with the console's 8 x 16 cell.
    TextArea& make(int area, int capacity, int rows, int columns = 40) {
        EXPECT_EQ(textarea_create(area, area, FontMetricsCell{8, 16, 12}, capacity, rows, columns),
                  0);
        return *textarea(area);
    }
    void append(int area, const std::string& text) { textarea_append_line(area, 0, text, nullptr); }
    static std::string line(const TextArea& a, int position) {
        return a.line_text((a.first_line + position) % a.capacity);
    }
    platform::RecordingDeviceContext& dc(int window) {
        return *backend_->recording_context(window);
    }

    std::istringstream input_;
    std::ostringstream output_;
    std::ostringstream errors_;
    std::unique_ptr<platform::ConsoleBackend> backend_;
};

TEST_F(TextAreas, TheCurrentTextWindowOverwritesItsOldestLineWhenFull) {
    TextArea& a = make(1, 5, 3);
    for (int k = 1; k <= 7; ++k) append(1, "line " + std::to_string(k));
    // Seven lines in five slots: lines 1 and 2 are gone, the oldest is line 3 in slot 2.
    EXPECT_EQ(a.line_count, 5);
    EXPECT_EQ(a.first_line, 2);
    EXPECT_EQ(line(a, 0), "line 3");
    EXPECT_EQ(line(a, 4), "line 7");
    EXPECT_EQ(a.newest(), 1);
    EXPECT_NE(test_state_flag(4), 0);
}

TEST_F(TextAreas, AreasThatDoNotWrapDropLinesWhenFullAndSayTheyOverflowed) {
    TextArea& sheet = make(3, 4, 4);
    for (int k = 1; k <= 4; ++k) append(3, "row " + std::to_string(k));
    EXPECT_FALSE(textarea_overflowed());
    append(3, "row 5");
    EXPECT_TRUE(textarea_overflowed());
    EXPECT_EQ(sheet.line_count, 4);
    EXPECT_EQ(line(sheet, 3), "row 4");
    // A clear forgets the overflow.
    textarea_clear(3, 0);
    EXPECT_FALSE(textarea_overflowed());
    EXPECT_EQ(sheet.line_count, 0);
}

TEST_F(TextAreas, LinesAreCutToTheColumnsAndAttributesToTheSlot) {
    TextArea& a = make(1, 10, 3, 12);
    std::uint8_t attributes[120];
    for (int k = 0; k < 120; ++k) attributes[k] = static_cast<std::uint8_t>(k);
    textarea_append_line(1, 120, "abcdefghijklmnopqrstuvwxyz", attributes);
    EXPECT_EQ(line(a, 0), "abcdefghijkl");
    // 61 bytes a line: a count byte and ten 6-byte entries.
    const std::uint8_t* kept = a.line_attributes(a.first_line);
    EXPECT_EQ(kept[0], 60);
    EXPECT_EQ(kept[60], 59);
}

TEST_F(TextAreas, PageModeKeepsTheNewPageAndDropsLinesWhenItsCounterIsSpent) {
    TextArea& a = make(1, 3000, 10);
    set_output_option(kOptionPageMode, 1);
    // The run starts on a fresh page.
    EXPECT_TRUE(textarea_new_page_pending());
    append(1, "");  // an empty line does not start it
    EXPECT_TRUE(textarea_new_page_pending());
    textarea_mark_new_page();
    append(1, "first of the page");
    EXPECT_FALSE(textarea_new_page_pending());
    EXPECT_EQ(a.page_lines_left, kPageLinesStart);
    const int first = a.line_count;
    for (int k = 0; k < kPageLinesStart; ++k) append(1, "more");
    EXPECT_EQ(a.page_lines_left, 0);
    const int kept = a.line_count;
    append(1, "one too many");
    EXPECT_EQ(a.line_count, kept);
    EXPECT_EQ(kept, first + kPageLinesStart);
}

TEST_F(TextAreas, PrintedLinesInPageModeAreThoseSinceThePageMark) {
    make(1, 100, 10);
    append(1, "old 1");
    append(1, "old 2");
    set_output_option(kOptionPageMode, 1);
    textarea_mark_new_page();
    append(1, "new 1");
    append(1, "new 2");
    EXPECT_EQ(textarea_output_lines(1), (std::vector<std::string>{"new 1", "new 2"}));
    set_output_option(kOptionPageMode, 0);
    EXPECT_EQ(textarea_output_lines(1).size(), 4u);
}

TEST_F(TextAreas, TheThumbOfAWrappedRingCountsFromTheOldestLine) {
    TextArea& a = make(1, 10, 4);
    for (int k = 1; k <= 25; ++k) append(1, "line " + std::to_string(k));
    ASSERT_EQ(a.first_line, 5);  // 25 lines through 10 slots
    textarea_on_scroll(1, {platform::ScrollBar::vertical, platform::ScrollAction::track, 2});
    // Position 2 from the oldest (line 16) is line 18, whatever ring slot holds it.
    EXPECT_EQ(a.line_text(a.top_line), std::string("line 18"));
    const platform::ScrollInfo bar = backend_->scroll_info(1, platform::ScrollBar::vertical);
    EXPECT_EQ(bar.position, 2);
    EXPECT_EQ(bar.page, 5);  // visible lines + 1
    EXPECT_EQ(bar.maximum, 10);
    EXPECT_TRUE(bar.enabled);
}

TEST_F(TextAreas, ScrollBarIsDisabledWhileEverythingFits) {
    make(1, 10, 4);
    append(1, "only");
    const platform::ScrollInfo bar = backend_->scroll_info(1, platform::ScrollBar::vertical);
    EXPECT_FALSE(bar.enabled);
    EXPECT_EQ(bar.maximum, 4);
}

TEST_F(TextAreas, AWindowResizedBelowOneLineKeepsOne) {
    TextArea& a = make(1, 10, 4);
    textarea_on_size(1, {200, 3});
    EXPECT_EQ(a.visible_lines, 1);
    textarea_on_size(1, {200, 2 + 6 * 17});
    EXPECT_EQ(a.visible_lines, 6);
    textarea_on_size(1, {200, 4000});
    EXPECT_EQ(a.visible_lines, 10);  // never more than the ring holds
}

TEST_F(TextAreas, HorizontalPagesAreAQuarterOfTheWidestLine) {
    TextArea& a = make(1, 10, 4, 120);
    textarea_on_size(1, {20 * 8, 100});
    append(1, std::string(98, 'x'));  // widest line 100
    textarea_on_scroll(1, {platform::ScrollBar::horizontal, platform::ScrollAction::page_down, 0});
    EXPECT_EQ(a.horizontal_offset, 25);
}

TEST_F(TextAreas, ALineJustBelowTheViewMovesThePixelsAndPaintsOneLine) {
    TextArea& a = make(1, 50, 3);
    for (int k = 1; k <= 3; ++k) append(1, "line " + std::to_string(k));
    dc(1).clear_records();
    append(1, "line 4");
    const auto& records = dc(1).records();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.front().rfind("scroll ", 0), 0u) << records.front();
    // Only the new line's text is drawn, in the last row (top margin 2 + 2 rows of 17).
    int texts = 0;
    for (const std::string& r : records) {
        if (r.rfind("text ", 0) == 0) {
            ++texts;
            EXPECT_EQ(r, "text 2,36 \"line 4\"");
        }
    }
    EXPECT_EQ(texts, 1);
    EXPECT_EQ(a.line_text(a.top_line), std::string("line 2"));
}

TEST_F(TextAreas, LinesWaitWhileTheDisplayIsHeldAndArriveInOrder) {
    TextArea& a = make(1, 50, 3);
    textarea_hold_display(true);
    text_area_output_sink(OutputLine{1, "first", {}});
    text_area_output_sink(OutputLine{1, "second", {}});
    EXPECT_EQ(a.line_count, 0);
    textarea_hold_display(false);
    ASSERT_EQ(a.line_count, 2);
    EXPECT_EQ(line(a, 0), "first");
    EXPECT_EQ(line(a, 1), "second");
    // The backend got them too (the console writes them to standard output).
    EXPECT_EQ(backend_->text_lines(1), (std::vector<std::string>{"first", "second"}));
}

}  // namespace

namespace {

// In page mode each command's output starts a page at the top of the window; the pages before
// it stay in the ring, and the bar scrolls back to them.
TEST_F(TextAreas, InPageModeTheBarScrollsBackToEarlierPages) {
    TextArea& a = make(1, 100, 4);
    set_output_option(kOptionPageMode, 1);
    for (int page = 1; page <= 3; ++page) {
        textarea_mark_new_page();
        for (int k = 1; k <= 6; ++k) {
            append(1, "page " + std::to_string(page) + " line " + std::to_string(k));
        }
    }
    // Appending only marks the bar; the main loop brings it into step after the command.
    textarea_update_stale_bars();
    EXPECT_EQ(a.line_text(a.top_line), std::string("page 3 line 1"));
    platform::ScrollInfo bar = backend_->scroll_info(1, platform::ScrollBar::vertical);
    EXPECT_TRUE(bar.enabled);
    EXPECT_EQ(bar.position, 12);
    textarea_on_scroll(1, {platform::ScrollBar::vertical, platform::ScrollAction::page_up, 0});
    EXPECT_EQ(a.line_text(a.top_line), std::string("page 2 line 3"));
    textarea_on_scroll(1, {platform::ScrollBar::vertical, platform::ScrollAction::track, 0});
    EXPECT_EQ(a.line_text(a.top_line), std::string("page 1 line 1"));
    bar = backend_->scroll_info(1, platform::ScrollBar::vertical);
    EXPECT_EQ(bar.position, 0);
}

}  // namespace
