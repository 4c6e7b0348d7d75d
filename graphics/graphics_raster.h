// An indexed raster: a device context whose pixels are colour-table indices. Bitmap files and
// the console's pictures of graphics windows are drawn into it by replaying display lists.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ui.h"

class IndexedRaster : public platform::DeviceContext {
public:
    IndexedRaster(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    // Row y (top row 0), one index per pixel.
    const std::uint8_t* row(int y) const {
        return pixels_.data() + static_cast<std::size_t>(y) * width_;
    }
    std::uint8_t at(int x, int y) const;
    const std::vector<std::uint8_t>& pixels() const { return pixels_; }

    platform::Size size() const override { return {width_, height_}; }
    void set_pen(platform::Colour colour, platform::LineStyle style, int width) override;
    void set_brush(platform::Colour colour) override;
    void set_null_brush() override;
    void set_text_colour(platform::Colour) override {}
    void move_to(platform::Point p) override;
    void line_to(platform::Point p) override;  // the end pixel is left out
    void polyline(std::span<const platform::Point> points) override;
    void polygon(std::span<const platform::Point> points) override;
    void ellipse(platform::Rect bounds) override;
    void set_pixel(platform::Point p, platform::Colour colour) override;
    void fill_rect(platform::Rect r, platform::Colour colour) override;
    void text_out(platform::Point, std::string_view) override {}
    platform::TextMetrics text_metrics() const override { return {16, 12, 8}; }
    int text_width(std::string_view text) const override {
        return static_cast<int>(text.size()) * 8;
    }
    void set_clip_rect(platform::Rect r) override;
    void clear_clip() override;

private:
    void plot(int x, int y, std::uint8_t index);
    void pen_dot(int x, int y);
    void segment(platform::Point a, platform::Point b);
    void fill_span(int y, int x0, int x1, std::uint8_t index);

    int width_;
    int height_;
    std::vector<std::uint8_t> pixels_;
    platform::Rect clip_;
    std::uint8_t pen_ = 1;
    platform::LineStyle style_ = platform::LineStyle::solid;
    int pen_width_ = 1;
    int pattern_step_ = 0;  // position along the dash pattern, carried across segments
    bool brush_ = false;
    std::uint8_t brush_index_ = 0;
    platform::Point current_;
};

// The colour-table index of a colour (exact match; 0 when the table does not hold it).
std::uint8_t colour_index(platform::Colour colour);
