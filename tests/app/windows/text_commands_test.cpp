// The text-window commands as a user types them: printing a window to a file (the whole window,
// or in page mode only the last command's page), copying it, closing the last text window and
// choosing the fonts that "fonts.bin" keeps.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/settings.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "ui/font_file.h"
#include "ui/text_area.h"
#include "ui/window_table.h"

namespace {

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TextCommands : public loop_test::Loop {
protected:
    void SetUp() override {
        loop_test::Loop::SetUp();
        ASSERT_EQ(create_text_window(1, 1999, 10, 128), 0);
        ui().show_window(1, true);
        set_output_option(kOptionPageMode, 0);
    }
    // Two typed lines and the history listing them: three lines in text window 1.
    void list_history() {
        type("a = 1");
        type("b = 2");
        type("history");
    }
    std::string last_box() const {
        const auto& boxes = run_.backend->message_boxes_shown();
        return boxes.empty() ? std::string() : boxes.back().text;
    }
    std::filesystem::path data() const { return run_.tree.data(); }
};

TEST_F(TextCommands, PrintToAFileWritesTheWindowsLines) {
    list_history();
    const std::string path = (data() / "print.txt").string();
    type("print_text 1 \"" + path + "\"");
    // Every line of the window, each ended by a line feed.
    EXPECT_EQ(read_file(path), "Command history:\na = 1\nb = 2\n");
    EXPECT_NE(errors().find("Text window 1 was printed to " + path), std::string::npos) << errors();
    EXPECT_EQ(get_setting_int(kSetPrintDestination, 0, 0), 1);
    EXPECT_EQ(std::string(get_setting_text(kSetPrintFile, 0)), path);
}

TEST_F(TextCommands, InPageModeOnlyTheLastPageIsPrinted) {
    list_history();
    set_output_option(kOptionPageMode, 1);
    // Each command starts a page; the page of the second listing holds its four lines only.
    type("history");
    type("c = 3");  // writes nothing: the page stays
    const std::string path = (data() / "page.txt").string();
    type("print_text 1 \"" + path + "\"");
    EXPECT_EQ(read_file(path), "Command history:\na = 1\nb = 2\nhistory\n");
    EXPECT_EQ(textarea(1)->line_count, 7);
}

TEST_F(TextCommands, AnEmptyNameAsksAndAnEmptyAnswerCancels) {
    list_history();
    ui().queue_dialog_answer("");
    type("print_text 1");
    EXPECT_NE(errors().find("Printing cancelled"), std::string::npos) << errors();
    ASSERT_FALSE(ui().file_dialogs_shown().empty());
    EXPECT_EQ(ui().file_dialogs_shown().back().title, "Print to file");
    const std::string path = (data() / "asked.txt").string();
    ui().queue_dialog_answer(path);
    type("print_text 1");
    EXPECT_EQ(read_file(path), "Command history:\na = 1\nb = 2\n");
}

TEST_F(TextCommands, APrintFileThatCannotBeMadeIsReported) {
    list_history();
    type("print_text 1 \"" + (data() / "no such folder" / "x.txt").string() + "\"");
    EXPECT_NE(last_box().find("Cannot open the print file"), std::string::npos) << last_box();
}

TEST_F(TextCommands, TheConsoleHasNoPrinter) {
    list_history();
    type("print_text 0");
    EXPECT_NE(last_box().find("No printer is available"), std::string::npos) << last_box();
}

TEST_F(TextCommands, PrinterPagesHoldWhatFitsBetweenTheMargins) {
    // 100 pixels an inch: margins 1000 and 1600 hundredths of a millimetre are 39 and 62
    // pixels; the console's 16-pixel font keeps its screen size (96 an inch): 16 pixels a line.
    // A page of 62 + 50 x 16 + 62 pixels holds 50 lines, so 120 lines make three pages.
    ui().install_recording_printer({800, 924}, 100);
    for (int k = 1; k <= 120; ++k) text_printf("line %d\n", k);
    type("print_text 0");
    const auto& pages = ui().printed_pages();
    ASSERT_EQ(pages.size(), 3u);
    auto texts = [](const std::vector<std::string>& page) {
        std::vector<std::string> out;
        for (const std::string& r : page) {
            if (r.rfind("text ", 0) == 0) out.push_back(r);
        }
        return out;
    };
    EXPECT_EQ(texts(pages[0]).size(), 50u);
    EXPECT_EQ(texts(pages[0]).front(), "text 39,62 \"line 1\"");
    EXPECT_EQ(texts(pages[1]).front(), "text 39,62 \"line 51\"");
    EXPECT_EQ(texts(pages[1])[1], "text 39,78 \"line 52\"");
    EXPECT_EQ(texts(pages[2]).size(), 20u);
    EXPECT_NE(errors().find("Text window 1 was printed to recording printer"), std::string::npos)
        << errors();
    EXPECT_EQ(get_setting_int(kSetPrintDestination, 0, 0), 0);
}

TEST_F(TextCommands, CopyPutsEveryLineWithCarriageReturnAndLineFeed) {
    list_history();
    type("copy_text");
    EXPECT_EQ(ui().clipboard_text(), "Command history:\r\na = 1\r\nb = 2\r\n");
    EXPECT_NE(errors().find("Text window 1 was copied to the clipboard"), std::string::npos);
}

TEST_F(TextCommands, TheLastTextWindowStaysOpen) {
    type("textwin_close");
    EXPECT_NE(errors().find("The last open text window cannot be closed"), std::string::npos)
        << errors();
    EXPECT_TRUE(ui().window_visible(1));
    type("textwin_select 2");
    EXPECT_TRUE(ui().window_visible(2));
    type("textwin_close 1");
    EXPECT_FALSE(ui().window_visible(1));
    EXPECT_EQ(current_output_area(), 2);
}

TEST_F(TextCommands, ClearEmptiesTheCurrentWindow) {
    list_history();
    ASSERT_EQ(textarea(1)->line_count, 3);
    type("textwin_clear");
    EXPECT_EQ(textarea(1)->line_count, 0);
}

// The records of "fonts.bin" read back by the published layout: a 32-byte name, then the
// LOGFONTA: height, width, escapement, orientation, weight as little-endian int32 (bytes 0-19),
// eight single bytes (italic at 20), the face name at 28.
struct Record {
    std::string name;
    std::int32_t height;
    std::int32_t weight;
    int italic;
    std::string face;
};

std::int32_t le32(const std::string& s, std::size_t at) {
    std::uint32_t u = 0;
    for (int k = 0; k < 4; ++k)
        u |= static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + k])) << (8 * k);
    return static_cast<std::int32_t>(u);
}

std::vector<Record> records(const std::string& bytes) {
    std::vector<Record> out;
    for (std::size_t at = 0; at + 92 <= bytes.size(); at += 92) {
        Record r;
        r.name = bytes.substr(at, 32).c_str();
        r.height = le32(bytes, at + 32);
        r.weight = le32(bytes, at + 32 + 16);
        r.italic = static_cast<unsigned char>(bytes[at + 32 + 20]);
        r.face = bytes.substr(at + 32 + 28, 32).c_str();
        out.push_back(r);
    }
    return out;
}

TEST_F(TextCommands, ChosenFontsAreWrittenAndACancelKeepsTheOldFile) {
    ui().queue_dialog_answer("DejaVu Sans Mono,15");
    ui().queue_dialog_answer("DejaVu Sans,13,bold,italic");
    type("choose_fonts");
    const std::filesystem::path path = data() / "bin" / "fonts.bin";
    const std::string bytes = read_file(path);
    ASSERT_EQ(bytes.size(), 2u * 92u);
    const std::vector<Record> r = records(bytes);
    EXPECT_EQ(r[0].name, "fixed");
    EXPECT_EQ(r[0].face, "DejaVu Sans Mono");
    EXPECT_EQ(r[0].height, -15);  // negative: a character height
    EXPECT_EQ(r[0].weight, 400);
    EXPECT_EQ(r[1].name, "variable");
    EXPECT_EQ(r[1].face, "DejaVu Sans");
    EXPECT_EQ(r[1].height, -13);
    EXPECT_EQ(r[1].weight, 700);
    EXPECT_EQ(r[1].italic, 1);
    EXPECT_NE(errors().find("next start"), std::string::npos) << errors();

    // The first dialog answered, the second cancelled: the file stays byte for byte.
    ui().queue_dialog_answer("Other Mono,20");
    ui().queue_dialog_answer("");
    type("choose_fonts");
    EXPECT_EQ(read_file(path), bytes);
    // The fonts in use are offered again: a record read back is what was written.
    const LogFont fixed = load_font_record(path.string(), "fixed");
    EXPECT_STREQ(fixed.face_name, "DejaVu Sans Mono");
}

TEST(FontFile, ShortOrMissingRecordsGiveStockFontsAndNamesAreTerminated) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tavo_fonts_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "fonts.bin").string();
    EXPECT_STREQ(load_font_record(path, "fixed").face_name, stock_fixed_font().face_name);
    {
        // A record whose face name fills all 32 bytes, then a record cut short.
        std::string bytes(92, 'A');
        std::memcpy(bytes.data(), "fixed\0", 6);
        bytes += std::string("variable\0", 9) + std::string(20, 'x');
        std::ofstream(path, std::ios::binary) << bytes;
    }
    const LogFont fixed = load_font_record(path, "fixed");
    EXPECT_EQ(std::string(fixed.face_name), std::string(31, 'A'));
    EXPECT_STREQ(load_font_record(path, "variable").face_name, stock_variable_font().face_name);
    std::filesystem::remove_all(folder);
}

}  // namespace
