#include "graphics/graphics_snapshot.h"

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "graphics/graphics_files.h"
#include "platform/state_reset.h"
#include "platform/text_file.h"
#include "runtime/folder_lists.h"
#include "runtime/messages.h"
#include "runtime/table_files.h"
#include "tables/table_names.h"

namespace {

// The standard 16 colours of 4-bit displays.
constexpr platform::Colour kColours[16] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

int g_count = 0;

// Runs of one colour, at most 255 pixels long, both nibbles of the run's byte alike.
void encode_row(std::vector<std::uint8_t>& out, const std::vector<int>& row) {
    std::size_t x = 0;
    while (x < row.size()) {
        std::size_t run = 1;
        while (x + run < row.size() && run < 255 && row[x + run] == row[x]) ++run;
        out.push_back(static_cast<std::uint8_t>(run));
        out.push_back(static_cast<std::uint8_t>(row[x] << 4 | row[x]));
        x += run;
    }
}

int write_bytes(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    platform::AtomicFileWriter file;
    if (file.open(name) != 0) return report_write_failure(name, file);
    file.write(bytes.data(), bytes.size());
    if (file.commit() != 0) return report_write_failure(name, file);
    return 0;
}

}  // namespace

const platform::Colour* snapshot_colours() {
    return kColours;
}

int nearest_snapshot_colour(platform::Colour c) {
    int best = 0;
    long best_distance = -1;
    for (int i = 0; i < 16; ++i) {
        const long dr = c.red - kColours[i].red;
        const long dg = c.green - kColours[i].green;
        const long db = c.blue - kColours[i].blue;
        const long d = dr * dr + dg * dg + db * db;
        if (best_distance < 0 || d < best_distance) {
            best = i;
            best_distance = d;
        }
    }
    return best;
}

std::vector<std::uint8_t> rle4_bitmap_file_bytes(const platform::SplashPicture& picture) {
    const int w = picture.width, h = picture.height;
    std::vector<std::uint8_t> bits;
    std::vector<int> row(static_cast<std::size_t>(w));
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            row[static_cast<std::size_t>(x)] = nearest_snapshot_colour(
                picture.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) +
                               static_cast<std::size_t>(x)]);
        }
        encode_row(bits, row);
        bits.push_back(0);
        bits.push_back(y > 0 ? 0 : 1);
    }
    if (h == 0) bits.insert(bits.end(), {0, 1});
    return bitmap_file_with_table(
        w, h, 4, 2, 16,  // run-length, 4 bits, 16 colours
        std::vector<platform::Colour>(std::begin(kColours), std::end(kColours)), bits);
}

int save_window_bitmap(int whole) {
    platform::UiBackend* ui = platform::current_ui();
    platform::SplashPicture picture;
    const int taken = ui != nullptr
                          ? ui->grab_window(platform::kWindowSpreadsheet, whole != 0, picture)
                          : platform::kUiBadWindow;
    if (taken != 0 || picture.width <= 0 || picture.height <= 0) {
        return set_error_msg(kMsgWindowPictureFailed, -taken);
    }
    if (whole == 0) {
        // The black frame round the sheet's area.
        const int w = picture.width, h = picture.height;
        auto at = [&](int x, int y) -> platform::Colour& {
            return picture.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) +
                                  static_cast<std::size_t>(x)];
        };
        for (int x = 0; x < w; ++x) at(x, 0) = at(x, h - 1) = platform::Colour{0, 0, 0};
        for (int y = 0; y < h; ++y) at(0, y) = at(w - 1, y) = platform::Colour{0, 0, 0};
    }
    char name[32];
    std::snprintf(name, sizeof name, "%c%04d.bmp", '/', ++g_count);
    return write_bytes(data_folder() + name, rle4_bitmap_file_bytes(picture));
}

void reset_window_bitmaps() {
    g_count = 0;
}

namespace {
const platform::StateReset graphics_snapshot_state_reset{
    "graphics/graphics_snapshot", reset_window_bitmaps, platform::ResetLayer::graphics};
}  // namespace
