// The splash of the GUI start: opened with its one-second timer, ended by the timer, a key or a
// left click, closed before every start-up message box, and left out when its picture is
// missing or damaged.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "app/splash.h"
#include "platform/state_reset.h"
#include "tests/app/startup/started_runtime.h"
#include "ui/window_table.h"

namespace {

namespace fs = std::filesystem;
using platform::Colour;
using platform::ConsoleBackend;
using platform::KeyEvent;
using platform::MouseAction;
using platform::MouseButton;
using platform::MouseEvent;

// Notes, for every message box, whether the splash still showed when it came up.
class WatchingConsole : public ConsoleBackend {
public:
    using ConsoleBackend::ConsoleBackend;
    platform::MessageAnswer message_box(const platform::MessageBoxRequest& request) override {
        splash_at_box.push_back(splash_open());
        return ConsoleBackend::message_box(request);
    }
    std::vector<bool> splash_at_box;
};

class Splash : public ::testing::Test {
protected:
    void SetUp() override {
        platform::reset_all_state();
        fs::create_directories(bma());
        fs::copy_file(fs::path(TAVO_INSTALL_DIR) / "bin/bma/splash.bmp", bma() / "splash.bmp",
                      fs::copy_options::overwrite_existing);
    }
    void TearDown() override { platform::reset_all_state(); }

    // The run-time start with the GUI, then the application start, as the program does them.
    int start() {
        if (const int r = runtime_init(1); r != 0) return r;
        if (const int r = install_main_loop(); r != 0) return r;
        return app_init(0, 0, 0);
    }
    fs::path bma() const { return run_.tree.root() / "bin/bma"; }
    ConsoleBackend& ui() { return *run_.backend; }
    // Handles whatever is pending, without waiting.
    void settle() {
        for (int k = 0; k < 100 && ui().process_one_event(false); ++k) {
        }
    }
    void write_picture(const std::vector<std::uint8_t>& bytes) {
        std::ofstream out(bma() / "splash.bmp", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

    tavo_test::StartedRuntime run_;
};

std::int32_t le32(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = v << 8 | static_cast<std::uint8_t>(bytes[at + k]);
    return static_cast<std::int32_t>(v);
}

TEST_F(Splash, OpensAtTheGuiStartAndEndsWhenItsSecondIsOver) {
    ui().set_system_colour(platform::SystemColour::button_highlight, {40, 50, 60});
    ASSERT_EQ(start(), 0);
    EXPECT_TRUE(ui().splash_open());
    EXPECT_EQ(splash_timer_value(), kSplashTimer);

    // The picture as its file gives it, its greys in the system's colours: the panel's lit
    // top-left edge is the highlight.
    const std::string file = tavo_test::read_file(bma() / "splash.bmp");
    ASSERT_GE(file.size(), 26u);
    const platform::SplashPicture& picture = ui().splash_picture();
    EXPECT_EQ(picture.width, le32(file, 18));
    EXPECT_EQ(picture.height, le32(file, 22));
    ASSERT_FALSE(picture.pixels.empty());
    EXPECT_EQ(picture.pixels[0], (Colour{40, 50, 60}));

    // The end of input is nobody pressing a key: the splash stays for its second.
    ui().advance_clock(999);
    settle();
    EXPECT_TRUE(splash_waiting());
    ui().advance_clock(1);
    settle();
    EXPECT_FALSE(splash_waiting());
    EXPECT_EQ(splash_timer_value(), 0);
    // The timer only ends the wait; the main loop's start closes it.
    EXPECT_TRUE(ui().splash_open());
    main_loop_start();
    EXPECT_FALSE(ui().splash_open());
}

TEST_F(Splash, TheGuiStartMakesTheFrameAloneTheChildWindowsComeAfterTheApplicationStart) {
    ASSERT_EQ(start(), 0);
    EXPECT_TRUE(ui().window_exists(platform::kWindowFrame));
    EXPECT_TRUE(ui().splash_open());
    const int children[] = {platform::kWindowText1, platform::kWindowText2,
                            platform::kWindowSpreadsheet, platform::kWindowEdit,
                            platform::kWindowControl};
    for (const int n : children) EXPECT_FALSE(ui().window_exists(n)) << n;

    // All made at once, hidden; text window 1 already holds the program's title.
    ASSERT_EQ(register_window_classes(), 0);
    for (const int n : children) {
        EXPECT_TRUE(ui().window_exists(n)) << n;
        EXPECT_FALSE(ui().window_visible(n)) << n;
    }
    EXPECT_EQ(ui().text_lines(platform::kWindowText1), (std::vector<std::string>{"TAVO LT 5.40"}));
    EXPECT_TRUE(ui().text_lines(platform::kWindowText2).empty());

    // The loop's start opens text window 1 only, in front.
    ui().advance_clock(1000);
    settle();
    main_loop_start();
    EXPECT_TRUE(ui().window_visible(platform::kWindowText1));
    EXPECT_EQ(ui().active_window(), platform::kWindowText1);
    for (const int n : {platform::kWindowText2, platform::kWindowSpreadsheet}) {
        EXPECT_FALSE(ui().window_visible(n)) << n;
    }
    // Text window 2 is there without being made on first use: selecting it opens it.
    EXPECT_EQ(textwin_select(platform::kWindowText2, 0, 0), 0);
    EXPECT_TRUE(ui().window_visible(platform::kWindowText2));
}

TEST_F(Splash, AKeyDownOrALeftButtonDownEndsItAtOnceOtherInputDoesNot) {
    ASSERT_EQ(start(), 0);
    KeyEvent key_down;
    key_down.key = 'A';
    KeyEvent key_up = key_down;
    key_up.pressed = false;
    MouseEvent left_down{MouseAction::press, MouseButton::left, {5, 5}, 0};
    MouseEvent right_down{MouseAction::press, MouseButton::right, {5, 5}, 0};
    MouseEvent left_up{MouseAction::release, MouseButton::left, {5, 5}, 0};
    struct Case {
        const char* name;
        void (*post)(ConsoleBackend&, const KeyEvent*, const MouseEvent*);
        const KeyEvent* key;
        const MouseEvent* mouse;
        bool ends;
    };
    auto post_key = [](ConsoleBackend& b, const KeyEvent* k, const MouseEvent*) {
        b.post_key(platform::kWindowText1, *k);
    };
    auto post_mouse = [](ConsoleBackend& b, const KeyEvent*, const MouseEvent* m) {
        b.post_mouse(platform::kWindowFrame, *m);
    };
    const Case cases[] = {
        {"key down", post_key, &key_down, nullptr, true},
        {"left button down", post_mouse, nullptr, &left_down, true},
        {"key up", post_key, &key_up, nullptr, false},
        {"right button down", post_mouse, nullptr, &right_down, false},
        {"left button up", post_mouse, nullptr, &left_up, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(open_splash_window(), kSplashTimer);
        c.post(ui(), c.key, c.mouse);
        ASSERT_TRUE(ui().process_one_event(false));
        EXPECT_EQ(splash_waiting(), !c.ends);
        EXPECT_EQ(ui().splash_open(), !c.ends);
    }
    // A line typed on the console is keys pressed.
    ASSERT_EQ(open_splash_window(), kSplashTimer);
    run_.input.str("a line\n");
    ASSERT_TRUE(ui().process_one_event(false));
    EXPECT_FALSE(ui().splash_open());

    // Closing it kills the timer, and closing it again changes nothing.
    ASSERT_EQ(open_splash_window(), kSplashTimer);
    splash_close();
    EXPECT_FALSE(ui().splash_open());
    EXPECT_EQ(splash_timer_value(), 0);
    splash_close();
    settle();
    ui().advance_clock(5000);
    EXPECT_FALSE(ui().process_one_event(false));  // no timer left to fire
}

TEST_F(Splash, EveryStartUpMessageBoxClosesItFirst) {
    auto watching = std::make_unique<WatchingConsole>(
        tavo_test::test_console_options(run_.input, run_.output, run_.errors));
    WatchingConsole& ui = *watching;
    platform::set_current_ui(watching.get());
    run_.backend = std::move(watching);
    ASSERT_EQ(start(), 0);
    ASSERT_EQ(running_flag(), 0);

    ASSERT_TRUE(ui.splash_open());
    msg_box(kMsgTakesEffectNextStart);
    ASSERT_EQ(open_splash_window(), kSplashTimer);
    ask_msg(0);
    ASSERT_EQ(open_splash_window(), kSplashTimer);
    msgbox_printf("%s", "a fixed start-up text");
    EXPECT_EQ(ui.splash_at_box, (std::vector<bool>{false, false, false}));
    EXPECT_EQ(ui.message_boxes_shown().size(), 3u);
    EXPECT_EQ(splash_timer_value(), 0);
}

TEST_F(Splash, AMissingOrDamagedPictureGivesNoSplashAndTheStartGoesOn) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;  // empty: no file
    };
    // A 2 x 2 picture of 24 bits whose pixel rows are cut short.
    std::vector<std::uint8_t> cut(54, 0);
    cut[0] = 'B';
    cut[1] = 'M';
    cut[10] = 54;
    cut[14] = 40;
    cut[18] = 2;
    cut[22] = 2;
    cut[26] = 1;
    cut[28] = 24;
    cut.push_back(0);
    const Case cases[] = {
        {"missing", {}},
        {"not a bitmap", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}},
        {"cut short", cut},
    };
    // The whole start with a damaged picture, then the splash tried with each picture.
    write_picture(cut);
    ASSERT_EQ(start(), 0);
    EXPECT_TRUE(ui().window_exists(platform::kWindowFrame));
    EXPECT_FALSE(ui().splash_open());
    EXPECT_TRUE(ui().message_boxes_shown().empty());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(bma() / "splash.bmp");
        if (!c.bytes.empty()) write_picture(c.bytes);
        EXPECT_EQ(open_splash_window(), 0);
        EXPECT_FALSE(ui().splash_open());
        EXPECT_EQ(splash_timer_value(), 0);
    }
    main_loop_start();  // nothing to wait for
    EXPECT_EQ(running_flag(), 1);
}

TEST(SplashWindow, ThePictureMustMatchItsSize) {
    ConsoleBackend ui(platform::ConsoleOptions{nullptr, nullptr, nullptr, true});
    platform::SplashPicture picture{2, 2, std::vector<Colour>(3)};
    EXPECT_EQ(ui.open_splash(picture), platform::kUiBadArgument);
    EXPECT_FALSE(ui.splash_open());
    picture.pixels.resize(4);
    EXPECT_EQ(ui.open_splash(picture), 0);
    EXPECT_TRUE(ui.splash_open());
    ui.close_splash();
    ui.close_splash();
    EXPECT_FALSE(ui.splash_open());
}

}  // namespace
