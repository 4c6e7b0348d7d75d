// Formatted text sent to the current graphics window, typed into the running program: raw
// plotter text kept in the display list, and text drawn at the current point.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/graphics_window.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

using Words = std::vector<std::uint16_t>;

class GraphicsText : public loop_test::Loop {
protected:
    std::string last_box() {
        return ui().message_boxes_shown().empty() ? "" : ui().message_boxes_shown().back().text;
    }
    // The words a line adds to a fresh page.
    Words added_by(const std::string& line) {
        type("new_page");
        const std::size_t before = display_list_words().size();
        type(line);
        type("graphics_refresh");
        const Words all = display_list_words();
        return Words(all.begin() + static_cast<long>(std::min(before, all.size())), all.end());
    }
    // The texts of the text records of the current list.
    std::vector<std::string> drawn_texts() {
        std::vector<std::string> texts;
        const Words w = display_list_words();
        for (std::size_t i = 0; i < w.size(); ++i) {
            if ((w[i] & kDlKindMask) != kDlText) continue;
            const std::size_t n = w[i] & kDlValueMask;
            std::string t;
            for (std::size_t k = 0; k < n && i + 3 + k < w.size(); ++k) {
                const std::uint16_t word = w[i + 3 + k];
                if ((word & 0xFF) != 0) t += static_cast<char>(word & 0xFF);
                if ((word >> 8) != 0) t += static_cast<char>(word >> 8);
            }
            texts.push_back(t);
        }
        return texts;
    }
};

TEST_F(GraphicsText, RawPlotterTextIsKeptAsComposed) {
    struct Case {
        const char* line;
        Words expected;
    } cases[] = {
        // "PU100,200;" is 10 bytes: 5 words of character pairs (low byte first) and one 0
        // word, under a raw-text header of 6 words.
        {"gfx_hpgl \"PU%d,%d;\", 100, 200", {0x5006, 0x5550, 0x3031, 0x2C30, 0x3032, 0x3B30, 0}},
        // "SP1" (3 bytes): two words, the second holding '1' and a 0 byte.
        {"gfx_hpgl \"SP%d\", 1", {0x5002, 0x5053, 0x0031}},
        {"gfx_hpgl \"\"", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(added_by(c.line), c.expected) << c.line << errors();
        EXPECT_EQ(last_box(), "") << c.line;
    }
    // An error message is no plotter text.
    type("new_page");
    type("gfx_hpgl -1134");
    EXPECT_NE(last_box().find("The format is missing or cannot be used"), std::string::npos)
        << last_box();
    EXPECT_TRUE(display_list_words().empty());
}

TEST_F(GraphicsText, TextIsDrawnAsComposed) {
    struct Case {
        const char* line;
        std::vector<std::string> texts;
    } cases[] = {
        {"gfx_print \"%.2f mm\", 3.14159", {"3.14 mm"}},
        {"gfx_print \"%d%%\", 2.5", {"%d%"}},  // a double is no %d argument: copied as it stands
        {"gfx_print \"\"", {}},
    };
    for (const Case& c : cases) {
        type("new_page");
        type("world_frame 0 0 10 0 10");
        type("move_to 5 5");
        type(c.line);
        type("graphics_refresh");
        EXPECT_EQ(drawn_texts(), c.texts) << c.line << errors();
    }
}

}  // namespace
