// Graphics commands typed into the running program: drawing in world coordinates, pens and
// frames, pages, window opening and closing, and the stored command text that redraws a window.
//
// Hand mapping (default aspect 0.625: surface 20480 x 12800, centre 10240, 6400): a world frame
// of 0..10 puts 2.5 at surface (5120, 9599) and 7.5 at (15359, 3200), which the display list
// keeps relative to the centre: (-5120, 3199) and (5119, -3200).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/toolbar.h"
#include "graphics/draw_primitives.h"
#include "graphics/graphics_commands.h"
#include "graphics/graphics_window.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/table_files.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "tests/support/temp_tree.h"
#include "ui/graphics_text_window.h"
#include "ui/window_table.h"

namespace {

using Words = std::vector<std::uint16_t>;

std::uint16_t w(int v) {
    return static_cast<std::uint16_t>(v);
}

class GraphicsCommands : public loop_test::Loop {
protected:
    Words words() { return display_list_words(); }
};

TEST_F(GraphicsCommands, TheProgramStartsWithGraphicsWindowOneOpen) {
    EXPECT_TRUE(ui().window_visible(7));
    EXPECT_EQ(graphics_current(), 1);
}

TEST_F(GraphicsCommands, TypedLinesRecordTheseWords) {
    struct Case {
        std::vector<std::string> lines;
        Words expected;
    };
    const std::vector<Case> cases = {
        {{"world_frame 0 0 10 0 10", "move_to 2.5 2.5", "draw_to 7.5 7.5"},
         {0x4802, w(-5120), 3199, 5119, w(-3200)}},
        // What a typed line draws is shown before the next line is taken: each line's piece is
        // its own record, beginning where the last one ended.
        {{"world_frame 0 0 10 0 10", "move_to 2.5 2.5", "draw_rel 5 5", "draw_rel 0 -5"},
         {0x4802, w(-5120), 3199, 5119, w(-3200), 0x4802, 5119, w(-3200), 5119, 3199}},
        {{"pen 3", "line_style 7", "pen 3"}, {0x0803, 0x6002}},
        {{"viewport 0.5 0.52 0.9 0.1"}, {0x1000, 5000, 1000, 5500, 9000}},
        {{"viewport 0.1 0.6 0.2 0.7 1.4"}, {0x100E, 1000, 2000, 6000, 7000}},
        {{"world_frame 1", "viewport_box"}, {0x3801, 0x4000}},
        {{"world_frame 0 0 10 0 10", "move_to 5 5", "marker 3 1.5"}, {0x2801, 0x030F, 0, 0}},
        {{"viewport_box", "graphics_mark", "pen 2", "viewport_box", "graphics_rewind"}, {0x4000}},
    };
    for (const Case& c : cases) {
        type("new_page");
        for (const std::string& line : c.lines) type(line);
        type("graphics_refresh");
        std::string joined;
        for (const std::string& line : c.lines) joined += line + "; ";
        EXPECT_EQ(words(), c.expected) << joined << errors();
    }
}

TEST_F(GraphicsCommands, OpeningAndClosingWindows) {
    type("graphwin_open 3 300 200");
    EXPECT_TRUE(ui().window_visible(9));
    EXPECT_EQ(graphics_current(), 3);
    EXPECT_EQ(graphics_record(3).width, 300);
    EXPECT_EQ(graphics_record(3).height, 200);
    type("graphwin_title \"Sketch\"");
    EXPECT_STREQ(window_record(9).title, "Sketch");
    type("graphwin_close 3");
    EXPECT_FALSE(ui().window_visible(9));
    EXPECT_EQ(graphics_current(), 1);  // the first other shown window
    type("graphwin_close 1");          // the last one stays
    EXPECT_TRUE(ui().window_visible(7));
}

// Bringing a graphics window's frame to the front makes windows 1 to 6 the current one, where
// the next drawing goes; windows 7 to 9 and hidden frames leave the current window alone.
TEST_F(GraphicsCommands, ActivatingAFrameMakesItTheCurrentWindow) {
    type("graphwin_open 2");
    type("graphwin_open 8");
    type("graphwin_open 3");
    ASSERT_EQ(graphics_current(), 3);
    struct Case {
        int window;  // activated
        int current;
    } cases[] = {{8, 2}, {7, 1}, {14, 1}, {9, 3}, {10, 3}};
    type("graphwin_close 4");  // never shown: its frame is not there to activate
    for (const Case& c : cases) {
        ui().activate_window(c.window);
        EXPECT_EQ(graphics_current(), c.current) << "window " << c.window;
        EXPECT_EQ(graphwin_last_opened(), c.current) << "window " << c.window;
    }
    type("new_page");
    type("viewport_box");
    type("graphics_refresh");
    EXPECT_TRUE(graphics_record(2).has_list());
    EXPECT_EQ(words(), (Words{0x4000}));  // drawn into window 3, the current one
    ui().activate_window(8);
    EXPECT_EQ(words(), Words{});  // window 2 holds nothing
}

TEST_F(GraphicsCommands, TheStoredTextRedrawsItsWindow) {
    type("gwx 1 \"viewport_box\"");
    EXPECT_STREQ(graphics_command_text(1), "viewport_box");
    EXPECT_EQ(words(), (Words{0x4000}));
    type("new_page");
    EXPECT_EQ(words(), Words{});
    type("graphwin_update 1");
    EXPECT_EQ(words(), (Words{0x4000}));
    // A new page that clears the title also forgets the text.
    type("new_page_untitled");
    EXPECT_STREQ(graphics_command_text(1), "");
    type("graphwin_update 1");
    EXPECT_EQ(words(), Words{});
}

TEST_F(GraphicsCommands, OffEmptiesTheTextAndTitle) {
    type("graphwin_title \"Fan\"");
    type("gwx 1 \"viewport_box\"");
    type("gwx 1 \"OFF\"");
    EXPECT_STREQ(graphics_command_text(1), "");
    EXPECT_STREQ(window_record(7).title, "");
}

TEST_F(GraphicsCommands, ATextTooLongForTheWindowIsRefusedWhole) {
    type("gwx 1 \"viewport_box\"");
    // A typed line cannot carry 496 characters; a procedure's text can reach the store.
    EXPECT_EQ(set_graphics_command_text(1, std::string(496, 'x').c_str()), kErrorTextReady);
    EXPECT_NE(std::string(error_text_buffer()).find("longer than 495 characters"),
              std::string::npos)
        << error_text_buffer();
    EXPECT_STREQ(graphics_command_text(1), "viewport_box");
    const std::string longest(495, 'x');
    ASSERT_EQ(set_graphics_command_text(1, longest.c_str()), 0);
    EXPECT_EQ(std::string(graphics_command_text(1)), longest);
}

TEST_F(GraphicsCommands, CopyingPutsAMetafileAndAPngOnTheClipboard) {
    type("pen 2");
    type("move_to 0.25 0.25; draw_to 0.75 0.75");
    type("copy_graphics");
    const auto& items = ui().clipboard_items();
    ASSERT_EQ(items.size(), 2u) << errors();
    EXPECT_EQ(items[0].mime_type, "image/emf");
    ASSERT_GT(items[0].bytes.size(), 88u);
    EXPECT_EQ(items[0].bytes[40], ' ');  // the enhanced metafile's signature " EMF"
    EXPECT_EQ(items[0].bytes[41], 'E');
    EXPECT_EQ(items[1].mime_type, "image/png");
    // The imaging library reads the PNG to the window's indices.
    if (std::system("/usr/bin/python3 -c 'import PIL' > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "python3-pil is not installed";
    }
    tavo_test::TempTree tree;
    const std::string png = (tree.base() / "p.png").string();
    std::FILE* f = std::fopen(png.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(items[1].bytes.data(), 1, items[1].bytes.size(), f);
    std::fclose(f);
    const std::string raw = (tree.base() / "p.raw").string();
    const std::string command = "/usr/bin/python3 -c \"from PIL import Image; im = Image.open('" +
                                png + "'); open('" + raw +
                                "', 'wb').write(im.tobytes()); "
                                "print(im.mode, im.size[0], im.size[1])\" > '" +
                                (tree.base() / "out.txt").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(tavo_test::read_file(tree.base() / "out.txt"), "P 640 480\n");
    const std::string pixels = tavo_test::read_file(raw);
    ASSERT_EQ(pixels.size(), 640u * 480u);
    // Both ends of the line in pen 2: pixels (160, 359) and (479, 119).
    EXPECT_EQ(pixels[359 * 640 + 160], 2);
    EXPECT_EQ(pixels[119 * 640 + 479], 2);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 2), 320);
}

TEST_F(GraphicsCommands, PrintingWithoutAPrinterIsReported) {
    type("viewport_box");
    type("plot 0");
    EXPECT_NE(errors().find("No printer is available"), std::string::npos) << errors();
}

// "plot 1" without a name asks with the save dialog. The type chosen there gives a name without
// an extension its extension, and a Windows-metafile type chosen there is what later ".wmf"
// names get: a placeable file begins with the key D7 CD C6 9A, a plain one with its header
// (type 1, header size 9 words: 01 00 09 00).
TEST_F(GraphicsCommands, TheSaveDialogChoosesTheTypeAndRemembersTheMetafileKind) {
    type("viewport_box");
    const std::string folder = data_folder();
    auto head = [&](const std::string& name) {
        std::string bytes(4, '\0');
        std::FILE* f = std::fopen((folder + "/" + name).c_str(), "rb");
        if (f == nullptr) return std::string("missing");
        bytes.resize(std::fread(bytes.data(), 1, 4, f));
        std::fclose(f);
        return bytes;
    };
    const std::string placeable("\xD7\xCD\xC6\x9A", 4);
    const std::string plain("\x01\x00\x09\x00", 4);
    struct Case {
        int filter;             // chosen in the dialog
        const char* answer;     // typed as the name
        const char* written;    // the file that results
        std::string starts;     // its first bytes
        int preselected;        // the filter the dialog offered first
        std::string later_wmf;  // what "plot 1 later.wmf" then writes
    } cases[] = {
        {1, "plain", "plain.wmf", plain, 2, plain},
        {3, "picture", "picture.bmp", "BM", 1, plain},
        {2, "placed", "placed.wmf", placeable, 1, placeable},
        {5, "enhanced", "enhanced.emf", std::string("\x01\x00\x00\x00", 4), 2, placeable},
        {0, "named.hgl", "named.hgl", "SP1", 2, placeable},  // a pen first
    };
    for (const Case& c : cases) {
        ui().queue_dialog_answer(folder + "/" + c.answer);
        ui().queue_file_filter(c.filter);
        const std::size_t shown = ui().file_dialogs_shown().size();
        type("plot 1 \"\"");
        ASSERT_EQ(ui().file_dialogs_shown().size(), shown + 1) << c.answer;
        const platform::FileDialogRequest& dialog = ui().file_dialogs_shown().back();
        EXPECT_EQ(dialog.title, "Print graphics to file");
        EXPECT_TRUE(dialog.save);
        ASSERT_EQ(dialog.filters.size(), 6u);
        EXPECT_EQ(dialog.filter_index, c.preselected) << c.answer;
        EXPECT_EQ(head(c.written).substr(0, c.starts.size()), c.starts) << c.written << errors();
        type("plot 1 \"" + folder + "/later.wmf\"");
        EXPECT_EQ(head("later.wmf"), c.later_wmf) << c.answer;
    }
    // A cancelled dialog writes nothing and says nothing but its question.
    const std::string before = errors();
    ui().queue_dialog_answer("");
    type("plot 1 \"\"");
    EXPECT_EQ(errors().substr(before.size()), "Print graphics to file: file name?\n");
}

// The console has no pixels of its windows: the sheet's picture is refused and nothing written.
TEST_F(GraphicsCommands, TheSheetsPictureNeedsPixelsTheConsoleHasNot) {
    for (const char* line : {"sheet_picture", "sheet_picture 1"}) {
        const std::size_t before = errors().size();
        type(line);
        EXPECT_NE(errors().find("The picture of the window could not be taken (error 1)", before),
                  std::string::npos)
            << line << ": " << errors();
    }
    EXPECT_FALSE(std::filesystem::exists(data_folder() + "/0001.bmp"));
}

// In step mode printing first lists what is known of the printer: here a recording printer of
// 800 x 600 pixels at 100 dots an inch, so a landscape page.
TEST_F(GraphicsCommands, StepModePrintsThePrinterReportFirst) {
    ui().install_recording_printer({800, 600}, 100);
    type("viewport_box");
    type("plot 0");
    EXPECT_EQ(output().find("Driver version"), std::string::npos) << output();
    ASSERT_EQ(ui().printed_pages().size(), 1u) << errors();
    set_setting_flag(23, 1);
    const std::size_t before = output().size();
    type("plot 0");
    set_setting_flag(23, 0);
    EXPECT_EQ(output().substr(before),
              "Driver version: 0\n"
              "Technology: 2\n"
              "Raster caps: 0x0\n"
              "Line caps: 0x0\n"
              "  Wide lines:         Yes\n"
              "  Styled lines:       Yes\n"
              "  Wide, styled lines: Yes\n"
              "0 pens:\n"
              "0 brushes:\n"
              "Color table size: 0\n"
              "Color table:\n"
              "Palette size: 0\n"
              "Margins: 0, 0, 0, 0\n"
              "Resolution: 100 DPI\n"
              "Orientation: LANDSCAPE\n");
    EXPECT_EQ(ui().printed_pages().size(), 2u);
}

// The label under window 16's pane: kept before the window is made, shown when it is, never
// more than its three lines.
TEST_F(GraphicsCommands, TheInteractiveWindowsLabelShowsAtMostThreeLines) {
    struct Case {
        const char* text;
        const char* shown;
    } cases[] = {
        {"Row 3", "Row 3"},
        {"a\nb\nc", "a\nb\nc"},
        {"a\nb\nc\nd\ne", "a\nb\nc"},
        {"\n\n\n", "\n\n"},
        {"", ""},
    };
    set_window16_label("before the window");
    ASSERT_EQ(create_graphics_text_window(nullptr), 0);
    EXPECT_EQ(ui().window_label(16), "before the window");
    for (const Case& c : cases) {
        set_window16_label(c.text);
        EXPECT_EQ(ui().window_label(16), c.shown) << c.text;
        EXPECT_EQ(window16_label(), c.shown) << c.text;
    }
    set_window16_label(nullptr);
    EXPECT_EQ(ui().window_label(16), "");
}

TEST_F(GraphicsCommands, ALevelsCommandBecomesTheRedrawText) {
    // An interactive level hands its text and the command rebuilt from its cells.
    graphics_level_text("new_page;", "viewport_box");
    EXPECT_STREQ(graphics_command_text(1), "new_page; viewport_box");
    type("graphwin_update 1");
    EXPECT_EQ(words(), (Words{0x4000}));
    // Too long for the window: refused and shown, the old text kept.
    graphics_level_text(std::string(490, 'x').c_str(), "viewport_box");
    EXPECT_NE(errors().find("longer than 495 characters"), std::string::npos) << errors();
    EXPECT_STREQ(graphics_command_text(1), "new_page; viewport_box");
}

double g_pick_x = 0, g_pick_y = 0;
int record_pick(GridEvent& e) {
    g_pick_x = e.pick_x;
    g_pick_y = e.pick_y;
    return 0;
}

TEST_F(GraphicsCommands, TheInteractiveWindowsPaneDrawsAndPicksInWorldCoordinates) {
    // The window is made when an interactive window first opens.
    EXPECT_FALSE(ui().window_exists(platform::kWindowGraphicsText));
    start_interactive_window("Pick", 1, record_pick, nullptr);
    EXPECT_TRUE(ui().window_visible(platform::kWindowGraphicsText));
    graphwin_select(kGraphicsPaneRecord);
    FrameBox world{0, 10, 0, 10, 0};
    gfx_frame(1, 2, &world);
    gfx_move_to(2.5, 2.5);
    gfx_draw_to(7.5, 7.5);
    flush_pending_polyline();
    // The pane keeps its own list; window 1's is untouched.
    EXPECT_EQ(words(), (Words{0x4802, w(-5120), 3199, 5119, w(-3200)}));
    graphwin_select(1);
    EXPECT_EQ(words(), Words{});
    // A left press on the pane is a pick at the world point under it: the middle of the
    // pane is (5, 5).
    const platform::Size pane = ui().recording_context(platform::kWindowGraphicsText)->size();
    platform::MouseEvent press;
    press.action = platform::MouseAction::press;
    press.button = platform::MouseButton::left;
    press.position = {pane.width / 2, pane.height / 2};
    ui().post_mouse(platform::kWindowGraphicsText, press);
    while (ui().process_one_event(false)) {
    }
    EXPECT_NEAR(g_pick_x, 5, 0.02);
    EXPECT_NEAR(g_pick_y, 5, 0.03);
    end_interactive_window();
}

// A drawing typed by its command keeps that command as the window's redraw text: after the lens
// changes, updating the graphics windows draws what the command typed now draws, not the old
// lens. Only the drawing command is kept, never the rest of its line.
TEST_F(GraphicsCommands, UpdatingRedrawsATypedDrawingWithTheCurrentLens) {
    for (const char* line : {"LEN NEW \"Singlet\"", "EBR 10", "ANG 5", "NXT", "SRF 50 5 N-BK7",
                             "SRF -50 45 AIR", "END", "WV 0.58756"}) {
        type(line);
    }
    ASSERT_EQ(errors().find("rror"), std::string::npos) << errors();
    const char* const drawings[] = {"draw_lens", "lens_picture 0 1 0 0 0 0", "plr", "pls", "plm"};
    for (const char* drawing : drawings) {
        SCOPED_TRACE(drawing);
        type("th 5 1");
        type(std::string("th 5 1; ") + drawing);
        const Words before = words();
        ASSERT_FALSE(before.empty()) << errors();
        const std::string kept = graphics_command_text(1);
        EXPECT_FALSE(kept.empty());
        EXPECT_EQ(kept.find("th "), std::string::npos) << kept;
        type("th 9 1");
        type("graphwin_update_all");
        const Words updated = words();
        type(drawing);
        EXPECT_NE(updated, before);
        EXPECT_EQ(updated, words());
        EXPECT_EQ(errors().find("rror"), std::string::npos) << errors();
    }
}

TEST_F(GraphicsCommands, ZoomTakesItsFactorAndCentre) {
    type("graphics_zoom 2 0.5 0.5");
    EXPECT_EQ(graphics_record(1).zoom, 2000);
    type("graphics_zoom 100");
    EXPECT_EQ(graphics_record(1).zoom, 16000);
    type("graphics_zoom 0");
    EXPECT_EQ(graphics_record(1).zoom, 1000);
}

}  // namespace
