// Animation files recorded from graphics window 1 and played back into it, through typed lines.
//
// Frame k of the recorded files draws a line from world (0, 0) to (k, k) in a 0..10 frame, so
// the x of a replayed line's end grows with k: ranking the distinct end points of what the
// window was drawn with gives the frame numbers in the order they were shown.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/startup.h"
#include "graphics/animation_files.h"
#include "graphics/graphics_window.h"
#include "runtime/lens_data_guard.h"
#include "runtime/state_flags.h"
#include "runtime/table_files.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

void put32(Bytes* b, std::int32_t v) {
    for (int i = 0; i < 4; ++i) b->push_back(static_cast<unsigned char>(v >> (8 * i)));
}
void put16(Bytes* b, int v) {
    b->push_back(static_cast<unsigned char>(v));
    b->push_back(static_cast<unsigned char>(v >> 8));
}
std::int32_t get32(const Bytes& b, std::size_t at) {
    return static_cast<std::int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                                     static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// One frame holding a two-point polyline record and the closing word: 6 words, 12 bytes.
void put_line_frame(Bytes* b, int x) {
    put32(b, 12);
    for (int w : {0x4802, 0, 0, x, 0, 0}) put16(b, w);
}

class Animation : public loop_test::Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        fs::create_directories(mov_folder());
    }
    void TearDown() override {
        set_lens_data_query(nullptr);
        finish_animation_recording();
        Loop::TearDown();
    }
    static fs::path mov_folder() { return fs::path(data_folder()) / "bin" / "mov"; }
    static Bytes read(const std::string& name) {
        std::ifstream in(mov_folder() / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void write(const std::string& name, const Bytes& b) {
        std::ofstream(mov_folder() / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
    std::string last_box() {
        return ui().message_boxes_shown().empty() ? "" : ui().message_boxes_shown().back().text;
    }
    void draw_frame(int k) {
        type("new_page");
        type("world_frame 0 0 10 0 10");
        type("move_to 0 0");
        type("draw_to " + std::to_string(k) + " " + std::to_string(k));
        type("graphics_refresh");
    }
    void record_three(const std::string& name) {
        type("anim_open \"" + name + "\"");
        for (int k = 1; k <= 3; ++k) {
            draw_frame(k);
            type("anim_frame");
        }
        type("anim_close");
    }
    // Frames are drawn off-screen and reach the window as whole pictures: the x of the
    // rightmost lit pixel of every picture copied since forget_shown().
    std::vector<int> line_ends() {
        std::vector<int> ends;
        for (const platform::SplashPicture& p : ui().copied_pictures(7)) {
            int right = -1;
            for (int y = 0; y < p.height; ++y) {
                for (int x = right + 1; x < p.width; ++x) {
                    if (!(p.pixels[static_cast<std::size_t>(y) * p.width + x] ==
                          platform::Colour{0, 0, 0})) {
                        right = x;
                    }
                }
            }
            ends.push_back(right);
        }
        return ends;
    }
    // Lines drawn straight into the window rather than copied as a picture.
    int lines_drawn_in_window() {
        int n = 0;
        for (const std::string& r : ui().recording_context(7)->records()) {
            if (r.rfind("line ", 0) == 0 || r.rfind("polyline ", 0) == 0) ++n;
        }
        return n;
    }
    void forget_shown() {
        ui().recording_context(7)->clear_records();
        ui().forget_copied_pictures(7);
    }
    std::vector<int> frames_shown() {
        std::vector<int> ends = line_ends();
        std::vector<int> distinct = ends;
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        std::vector<int> frames;
        for (int e : ends) {
            frames.push_back(static_cast<int>(
                std::lower_bound(distinct.begin(), distinct.end(), e) - distinct.begin() + 1));
        }
        return frames;
    }
};

TEST_F(Animation, RecordedFramesHoldTheDisplayListWithItsClosingWord) {
    type("anim_open \"three\"");
    EXPECT_TRUE(test_state_flag(kFlagAnimationRecording));
    std::vector<std::vector<std::uint16_t>> lists;
    for (int k = 1; k <= 3; ++k) {
        draw_frame(k);
        lists.push_back(display_list_words());
        type("anim_frame");
    }
    type("anim_close");
    EXPECT_FALSE(test_state_flag(kFlagAnimationRecording));
    EXPECT_EQ(last_box(), "") << errors();

    const Bytes b = read("three.mov");
    ASSERT_GE(b.size(), 4u);
    EXPECT_EQ(get32(b, 0), 3);
    std::size_t at = 4;
    for (const auto& list : lists) {
        ASSERT_LE(at + 4, b.size());
        const std::int32_t length = get32(b, at);
        EXPECT_EQ(length, static_cast<std::int32_t>(2 * list.size() + 2));
        at += 4;
        for (std::size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(b[at + 2 * i] | b[at + 2 * i + 1] << 8, list[i]) << "word " << i;
        }
        EXPECT_EQ(b[at + 2 * list.size()] | b[at + 2 * list.size() + 1], 0);
        at += static_cast<std::size_t>(length);
    }
    EXPECT_EQ(at, b.size());
}

TEST_F(Animation, DirectionAndRepeatCountChooseTheFrameOrder) {
    record_three("three");
    struct Case {
        const char* line;
        std::vector<int> frames;
    } cases[] = {
        {"anim_play \"three\" 0 0 1", {1, 2, 3, 2, 1, 2, 3, 2, 1}},
        {"anim_play \"three\" 0 0 0", {1, 2, 3, 2, 1}},
        {"anim_play \"three\" 1 0 0", {1, 2, 3}},
        {"anim_play \"three\" -1 0 1", {3, 2, 1, 3, 2, 1}},
        {"anim_play \"three.mov\" 1 0 -1", {}},
    };
    for (const Case& c : cases) {
        forget_shown();
        type(c.line);
        EXPECT_EQ(last_box(), "") << c.line;
        std::vector<int> shown = frames_shown();
        EXPECT_EQ(lines_drawn_in_window(), 0) << c.line;
        if (c.frames.empty()) {
            EXPECT_TRUE(shown.empty()) << c.line;
        } else {
            EXPECT_EQ(shown, c.frames) << c.line;
        }
    }
    // The window is left holding the last frame shown.
    forget_shown();
    type("anim_play \"three\" 1 0 0");
    type("graphics_refresh");
    EXPECT_EQ(display_list_words().size(), 5u);  // one two-point polyline record
}

TEST_F(Animation, AFileAnnouncingMoreThanTwoHundredFramesPlaysTwoHundred) {
    Bytes b;
    put32(&b, 250);
    for (int i = 0; i < 200; ++i) put_line_frame(&b, 100);
    write("many.mov", b);
    forget_shown();
    type("anim_play \"many\" 1 0 0");
    EXPECT_EQ(last_box(), "") << errors();
    EXPECT_EQ(ui().pictures_copied(7), 200);
}

TEST_F(Animation, RecordingByCommandWritesItsFrames) {
    type("anim_record \"none\" \"draw_to\" 0");
    EXPECT_EQ(read("none.mov"), (Bytes{0, 0, 0, 0}));

    // draw_to 1 2, then draw_to 2 2: the second frame holds the first line and one more point.
    type("new_page");
    type("world_frame 0 0 10 0 10");
    type("move_to 0 0");
    type("anim_record \"two\" \"draw_to\" 2");
    EXPECT_EQ(last_box(), "") << errors();
    const Bytes b = read("two.mov");
    ASSERT_GE(b.size(), 8u);
    EXPECT_EQ(get32(b, 0), 2);
    const std::int32_t first = get32(b, 4);
    ASSERT_LE(8u + first + 4, b.size());
    const std::int32_t second = get32(b, 8 + static_cast<std::size_t>(first));
    EXPECT_GT(second, first);
    EXPECT_EQ(b.size(), 12u + first + second);
    EXPECT_FALSE(test_state_flag(kFlagAnimationRecording));
}

TEST_F(Animation, DamagedFilesReplayNothing) {
    auto with_frames = [](std::int32_t count, const std::vector<std::vector<int>>& frames,
                          bool odd = false) {
        Bytes b;
        put32(&b, count);
        for (const auto& words : frames) {
            put32(&b, static_cast<std::int32_t>(2 * words.size()) + (odd ? 1 : 0));
            for (int w : words) put16(&b, w);
            if (odd) b.push_back(0);
        }
        return b;
    };
    const std::vector<int> good = {0x4802, 0, 0, 50, 0, 0};
    struct Case {
        const char* what;
        Bytes file;
    } cases[] = {
        {"odd length", with_frames(2, {good, good}, true)},
        {"no closing word", with_frames(2, {good, {0x4802, 0, 0, 50, 0}})},
        {"closing word early", with_frames(2, {good, {0x4802, 0, 0, 50, 0, 0, 0x0801, 0}})},
        {"record longer than the frame", with_frames(2, {good, {0x4803, 0, 0, 50, 0, 0}})},
        {"unknown kind", with_frames(2, {good, {0x7801, 0}})},
        {"empty frame", with_frames(2, {good, {}})},
        {"frame missing", with_frames(2, {good})},
        {"count only half there", Bytes{2, 0}},
    };
    for (const Case& c : cases) {
        write("bad.mov", c.file);
        draw_frame(7);
        const std::vector<std::uint16_t> before = display_list_words();
        forget_shown();
        type("anim_play \"bad\" 1 0 0");
        EXPECT_NE(last_box().find("bad.mov is too short or damaged"), std::string::npos)
            << c.what << ": " << last_box();
        EXPECT_TRUE(line_ends().empty() && lines_drawn_in_window() == 0) << c.what;
        EXPECT_EQ(display_list_words(), before) << c.what;
    }
}

TEST_F(Animation, MissingFilesAndFramesWithoutARecordingAreRefused) {
    type("anim_play \"absent\" 1 0 0");
    EXPECT_NE(last_box().find("absent.mov cannot be opened"), std::string::npos) << last_box();
    for (const char* line :
         {"anim_open \"\"", "anim_record \"\" \"draw_to\" 1", "anim_play \"\""}) {
        const std::size_t boxes = ui().message_boxes_shown().size();
        type(line);
        EXPECT_EQ(ui().message_boxes_shown().size(), boxes + 1) << line;
        EXPECT_NE(last_box().find("cannot be opened"), std::string::npos) << line << last_box();
        EXPECT_FALSE(fs::exists(mov_folder() / ".mov")) << line;
        EXPECT_FALSE(test_state_flag(kFlagAnimationRecording)) << line;
    }
    for (const char* line : {"anim_frame", "anim_close"}) {
        type(line);
        EXPECT_NE(last_box().find("The command is not available now"), std::string::npos)
            << line << ": " << last_box();
    }
    // Opening again while recording finishes the first file with its count.
    type("anim_open \"first\"");
    draw_frame(1);
    type("anim_frame");
    type("anim_open \"second\"");
    EXPECT_TRUE(test_state_flag(kFlagAnimationRecording));
    const Bytes first = read("first.mov");
    ASSERT_GE(first.size(), 4u);
    EXPECT_EQ(get32(first, 0), 1);
}

TEST_F(Animation, EscapeAsksWhetherToGoOn) {
    record_three("three");
    struct Case {
        platform::MessageAnswer answer;
        std::vector<int> frames;
    } cases[] = {
        {platform::MessageAnswer::cancel, {1}},
        {platform::MessageAnswer::ok, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        forget_shown();
        platform::KeyEvent release;
        release.key = platform::key_escape;
        release.pressed = false;
        ui().post_key(platform::kWindowText1, release);
        ui().queue_message_box_answer(c.answer);
        const std::size_t boxes = ui().message_boxes_shown().size();
        type("anim_play \"three\" 1 0 0");
        EXPECT_EQ(frames_shown(), c.frames);
        ASSERT_GT(ui().message_boxes_shown().size(), boxes);
        EXPECT_NE(ui().message_boxes_shown()[boxes].text.find("Escape was pressed at frame 1"),
                  std::string::npos)
            << ui().message_boxes_shown()[boxes].text;
    }
}

TEST_F(Animation, ARecordingOpenAtTheEndKeepsItsFrames) {
    type("anim_open \"left\"");
    for (int k = 1; k <= 2; ++k) {
        draw_frame(k);
        type("anim_frame");
    }
    gui_shutdown();
    const Bytes b = read("left.mov");
    ASSERT_GE(b.size(), 4u);
    EXPECT_EQ(get32(b, 0), 2);
    EXPECT_FALSE(test_state_flag(kFlagAnimationRecording));
}

TEST_F(Animation, NothingIsRecordedOrPlayedWhileLensDataIsRead) {
    record_three("three");
    set_lens_data_query([] { return true; });
    for (const char* line : {"anim_open \"fromfile\"", "anim_record \"fromfile\" \"draw_to\" 1",
                             "anim_play \"three\" 1 0 0"}) {
        forget_shown();
        type(line);
        EXPECT_NE(last_box().find("while lens data is read"), std::string::npos)
            << line << ": " << last_box();
        EXPECT_FALSE(fs::exists(mov_folder() / "fromfile.mov")) << line;
        EXPECT_TRUE(line_ends().empty() && lines_drawn_in_window() == 0) << line;
    }
    EXPECT_FALSE(test_state_flag(kFlagAnimationRecording));
}

}  // namespace
