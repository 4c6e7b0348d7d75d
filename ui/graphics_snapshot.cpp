#include "ui/graphics_snapshot.h"

#include <cstdio>
#include <string>

#include "platform/text_file.h"
#include "runtime/messages.h"
#include "runtime/table_files.h"
#include "ui/graphics_files.h"

namespace {

// The standard 16 colours of 4-bit displays.
constexpr platform::Colour kColours[16] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

constexpr std::uint32_t kBitsOffset = 14 + 40 + 16 * 4;
constexpr std::int32_t kPixelsPerMetre = 3780;  // 96 dots an inch

int g_count = 0;

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

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
    if (file.open(name) != 0) return set_error_msg(kMsgFileCannotBeMade, name.c_str());
    file.write(bytes.data(), bytes.size());
    if (file.commit() != 0) return set_error_msg(kMsgFileCannotBeMade, name.c_str());
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
    const auto image_size = static_cast<std::uint32_t>(bits.size());
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, image_size + kBitsOffset);
    put16(out, 0);
    put16(out, 0);
    put32(out, kBitsOffset);
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(w));
    put32(out, static_cast<std::uint32_t>(h));
    put16(out, 1);
    put16(out, 4);
    put32(out, 2);  // run-length, 4 bits
    put32(out, image_size);
    put32(out, kPixelsPerMetre);
    put32(out, kPixelsPerMetre);
    put32(out, 16);
    put32(out, 0);
    for (const platform::Colour& c : kColours) {
        out.push_back(c.blue);
        out.push_back(c.green);
        out.push_back(c.red);
        out.push_back(0);
    }
    out.insert(out.end(), bits.begin(), bits.end());
    return out;
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
