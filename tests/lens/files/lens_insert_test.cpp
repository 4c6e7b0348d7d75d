// Inserting a lens file into the lens with insert_file, and the surface text the spreadsheet
// copies.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "lens/lens_insert.h"
#include "tests/entry/entry_fixture.h"

namespace {

namespace fs = std::filesystem;
using entry_test::Entry;

class Insert : public Entry {
protected:
    void SetUp() override {
        Entry::SetUp();
        // Five surfaces: radii 10, 20, 30, 40 on surfaces 1..4, the image on 5.
        run_all({"LEN NEW \"Host\"", "EBR 4", "ANG 3", "WV 0.55 0.6", "WW 1 0.5", "NXT", "RD 10",
                 "TH 1", "NXT", "RD 20", "TH 2", "NXT", "RD 30", "TH 3", "NXT", "RD 40", "TH 4",
                 "NXT", "END"});
        folder_ = run_.tree.base() / "insert";
        fs::create_directories(folder_);
    }
    std::string write(const std::vector<std::string>& lines) const {
        const fs::path file = folder_ / "part.len";
        std::ofstream out(file);
        for (const std::string& line : lines) out << line << "\n";
        return file.string();
    }
    static double radius(int n) {
        return surface(n).curvature != 0 ? 1.0 / surface(n).curvature : 0;
    }

    fs::path folder_;
};

// A part as the writer saves it: image surface 4, three surfaces of radii 100, 200, 300 with
// lens-level lines that must not reach the host.
const std::vector<std::string> kPart = {"// TAVO 5.40 0 0 0",
                                        "LEN NEW \"Part\" 50 4",
                                        "EBR  9.0",
                                        "ANG  20.0",
                                        "tem 30",
                                        "DES \"Other\"",
                                        "WV 0.4 0.5 0.7",
                                        "WW 1 1 1",
                                        "// SRF 0",
                                        "AIR ",
                                        "TH  1e+20",
                                        "NXT  // SRF 1",
                                        "RD   100.0",
                                        "TH   5.0",
                                        "GLA N-BK7",
                                        "NXT  // SRF 2",
                                        "RD   200.0",
                                        "TH   6.0",
                                        "NXT  // SRF 3",
                                        "RD   300.0",
                                        "TH   7.0",
                                        "AST ",
                                        "NXT  // SRF 4",
                                        "AIR ",
                                        "END  4",
                                        "LEN",
                                        "DLNF 1",
                                        "END"};

TEST_F(Insert, AFourSurfaceFileBeforeSurfaceTwoGivesImageEight) {
    const LensData before = lens_data();
    const std::string file = write(kPart);
    ASSERT_EQ(run("insert_file . " + file + " 2"), 0) << error_text();
    EXPECT_EQ(lens_data().image_surface, 8);
    const double expected[] = {10, 100, 200, 300, 20, 30, 40};
    for (int n = 1; n <= 7; ++n) EXPECT_DOUBLE_EQ(radius(n), expected[n - 1]) << n;
    EXPECT_EQ(surface(2).thickness, 5.0);
    EXPECT_EQ(surface(4).thickness, 7.0);
    // The part's general data, wavelengths and stop stay out.
    EXPECT_EQ(lens_data().entrance_beam_radius, before.entrance_beam_radius);
    EXPECT_EQ(lens_data().field_angle, before.field_angle);
    EXPECT_EQ(lens_data().temperature, 20.0);
    EXPECT_STREQ(lens_data().title, before.title);
    ASSERT_EQ(lens_data().wavelength_count, 2);
    EXPECT_EQ(lens_data().wavelengths[0].wavelength, 0.55);
    EXPECT_EQ(lens_data().wavelengths[1].weight, 0.5);
    EXPECT_EQ(lens_data().aperture_stop, before.aperture_stop);
}

TEST_F(Insert, AFailingLineKeepsWhatWasInsertedAndReportsIt) {
    std::vector<std::string> part = kPart;
    // Surface 2 of the part fails on a line no lens data may hold.
    part.insert(part.begin() + 17, "exit");
    const std::string file = write(part);
    EXPECT_NE(run("insert_file . " + file + " 2"), 0);
    // Surface 1 of the part went in; the surface being inserted when the line failed is gone.
    EXPECT_EQ(lens_data().image_surface, 6);
    const double expected[] = {10, 100, 20, 30, 40};
    for (int n = 1; n <= 5; ++n) EXPECT_DOUBLE_EQ(radius(n), expected[n - 1]) << n;
    ASSERT_EQ(lens_data().wavelength_count, 2);
    EXPECT_EQ(lens_data().wavelengths[0].wavelength, 0.55);

    struct Case {
        std::vector<std::string> lines;
        int target;
        const char* error;
    };
    const Case cases[] = {
        {{"// TAVO 5.40 0 0 0", "LEN NEW \"No count\"", "NXT", "END"},
         2,
         "The lens file's LEN NEW line gives no image surface"},
        {{"// TAVO 5.40 0 0 0", "LEN NEW \"Big\" 0 11", "NXT", "END"},
         2,
         "The lens has reached the surface limit 12"},
        {kPart, 9, "A lens file cannot be inserted before surface 9: the lens has surfaces 1 to 6"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run("insert_file . " + write(c.lines) + " " + std::to_string(c.target)),
                  kErrorTextReady);
        EXPECT_EQ(error_text(), c.error);
        EXPECT_EQ(lens_data().image_surface, 6);
    }
}

TEST_F(Insert, CopiedSurfacesArePiecesOfTheirLines) {
    run_all({"LEN", "GTO 3", "GLA N-F2", "NOT \"x;y\"", "END"});
    EXPECT_EQ(surface_clipboard_text(3, 4),
              "NXT;GLA N-F2;RD   30.0;TH   3.0;NOT  \"x;y\";NXT;AIR ;RD   40.0;TH   4.0;");
}

// The copy goes on the clipboard in the surface-data format and as plain text, the bytes of the
// text without a terminator; a second copy replaces both.
TEST_F(Insert, CopiedSurfacesGoOnTheClipboardInBothForms) {
    run_all({"LEN", "GTO 4", "NOT \"a;b\"", "END"});
    const std::string expected = "NXT;AIR ;RD   40.0;TH   4.0;NOT  \"a;b\";";
    ui().set_clipboard_text("before");
    ASSERT_EQ(copy_surfaces_to_clipboard(4, 4), 0) << error_text();
    const auto& items = ui().clipboard_items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].mime_type, "application/x-tavo-surface-data");
    EXPECT_EQ(std::string(items[0].bytes.begin(), items[0].bytes.end()), expected);
    EXPECT_EQ(items[1].mime_type, "text/plain");
    EXPECT_EQ(std::string(items[1].bytes.begin(), items[1].bytes.end()), expected);
    EXPECT_EQ(ui().clipboard_text(), expected);

    ASSERT_EQ(copy_surfaces_to_clipboard(3, 3), 0);
    EXPECT_EQ(ui().clipboard_text(), "NXT;AIR ;RD   30.0;TH   3.0;");
    EXPECT_EQ(std::string(items[0].bytes.begin(), items[0].bytes.end()),
              "NXT;AIR ;RD   30.0;TH   3.0;");
}

// A copy that does not fit gives nothing rather than surfaces missing lines.
TEST_F(Insert, ACopyThatCannotGrowStopsWithOutOfMemory) {
    run_all({"LEN", "GTO 3", "GLA N-F2", "END"});
    // "NXT;GLA N-F2;RD   30.0;TH   3.0;NXT;AIR ;RD   40.0;TH   4.0;" is 60 characters.
    const std::string whole = "NXT;GLA N-F2;RD   30.0;TH   3.0;NXT;AIR ;RD   40.0;TH   4.0;";
    struct Case {
        std::size_t limit;
        int result;
        std::string text;
    };
    const Case cases[] = {
        {60, 0, whole}, {200, 0, whole}, {59, -10, ""}, {20, -10, ""}, {0, -10, ""}};
    for (const Case& c : cases) {
        const std::size_t boxes = ui().message_boxes_shown().size();
        std::string text = "stale";
        EXPECT_EQ(copy_surface_text(3, 4, text, c.limit), c.result) << c.limit;
        EXPECT_EQ(text, c.text) << c.limit;
        const auto& shown = ui().message_boxes_shown();
        ASSERT_EQ(shown.size(), boxes + (c.result != 0 ? 1 : 0)) << c.limit;
        if (c.result != 0) {
            EXPECT_EQ(shown.back().text, "Out of memory");
        }
    }
    // The writer is back in file mode and unlimited afterwards.
    EXPECT_EQ(surface_clipboard_text(4, 4), "NXT;AIR ;RD   40.0;TH   4.0;");
}

}  // namespace

namespace {

TEST_F(Insert, TheDialogInsertsBeforeTheCurrentSurface) {
    const std::string file = write(kPart);
    run_all({"LEN", "GTO 4", "END"});
    ASSERT_EQ(lens_data().current_surface, 4);
    ui().queue_dialog_answer(file);
    ASSERT_EQ(insert_lens_file(), 0) << error_text();
    EXPECT_EQ(lens_data().image_surface, 8);
    const double expected[] = {10, 20, 30, 100, 200, 300, 40};
    for (int n = 1; n <= 7; ++n) EXPECT_DOUBLE_EQ(radius(n), expected[n - 1]) << n;
    // Cancelled: nothing happens.
    EXPECT_EQ(insert_lens_file_dialog(2), 0);
    EXPECT_EQ(lens_data().image_surface, 8);
}

}  // namespace
