#include "graphics/graphics_raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <span>

#include "graphics/draw_primitives.h"

using platform::Colour;
using platform::LineStyle;
using platform::Point;
using platform::Rect;

namespace {

// On/off runs of the styled pens, in pixels.
std::span<const int> pattern(LineStyle style) {
    static constexpr int kDash[] = {6, 3};
    static constexpr int kDot[] = {1, 2};
    static constexpr int kDashDot[] = {6, 2, 1, 2};
    static constexpr int kDashDotDot[] = {6, 2, 1, 2, 1, 2};
    switch (style) {
        case LineStyle::dash:
            return kDash;
        case LineStyle::dot:
            return kDot;
        case LineStyle::dash_dot:
            return kDashDot;
        case LineStyle::dash_dot_dot:
            return kDashDotDot;
        default:
            return {};  // solid
    }
}

bool pattern_on(std::span<const int> p, int step) {
    int period = 0;
    for (int v : p) period += v;
    if (period == 0) return true;
    int s = step % period;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (s < p[i]) return i % 2 == 0;
        s -= p[i];
    }
    return true;
}

}  // namespace

std::uint8_t colour_index(Colour colour) {
    const int n = graphics_colour_count();
    for (int i = 0; i < n && i < 256; ++i) {
        if (graphics_colour(i) == colour) return static_cast<std::uint8_t>(i);
    }
    return 0;
}

IndexedRaster::IndexedRaster(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0),
      clip_{0, 0, width_, height_} {}

std::uint8_t IndexedRaster::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    return pixels_[static_cast<std::size_t>(y) * width_ + x];
}

void IndexedRaster::plot(int x, int y, std::uint8_t index) {
    if (x < clip_.left || x >= clip_.right || y < clip_.top || y >= clip_.bottom) return;
    pixels_[static_cast<std::size_t>(y) * width_ + x] = index;
}

void IndexedRaster::pen_dot(int x, int y) {
    if (pen_width_ <= 1) {
        plot(x, y, pen_);
        return;
    }
    const int r = pen_width_ / 2;
    for (int dy = -r; dy < pen_width_ - r; ++dy) {
        for (int dx = -r; dx < pen_width_ - r; ++dx) plot(x + dx, y + dy, pen_);
    }
}

void IndexedRaster::set_pen(Colour colour, LineStyle style, int width) {
    pen_ = colour_index(colour);
    style_ = style;
    pen_width_ = std::clamp(width, 1, 64);
    pattern_step_ = 0;
}

void IndexedRaster::set_brush(Colour colour) {
    brush_ = true;
    brush_index_ = colour_index(colour);
}

void IndexedRaster::set_null_brush() {
    brush_ = false;
}

void IndexedRaster::move_to(Point p) {
    current_ = p;
    pattern_step_ = 0;
}

// Bresenham from a to b without b, so that joined segments set their shared pixel once.
void IndexedRaster::segment(Point a, Point b) {
    if (style_ == LineStyle::none) return;
    const std::span<const int> p = pattern(style_);
    // Segments far outside the raster are not walked pixel by pixel.
    const long long limit = 1 << 20;
    if (std::llabs(a.x) > limit || std::llabs(a.y) > limit || std::llabs(b.x) > limit ||
        std::llabs(b.y) > limit) {
        return;
    }
    int x = a.x, y = a.y;
    const int dx = std::abs(b.x - a.x), sx = a.x < b.x ? 1 : -1;
    const int dy = -std::abs(b.y - a.y), sy = a.y < b.y ? 1 : -1;
    int err = dx + dy;
    while (!(x == b.x && y == b.y)) {
        if (pattern_on(p, pattern_step_)) pen_dot(x, y);
        ++pattern_step_;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void IndexedRaster::line_to(Point p) {
    segment(current_, p);
    current_ = p;
}

void IndexedRaster::polyline(std::span<const Point> points) {
    if (points.empty()) return;
    move_to(points[0]);
    for (std::size_t i = 1; i < points.size(); ++i) line_to(points[i]);
}

void IndexedRaster::fill_span(int y, int x0, int x1, std::uint8_t index) {
    if (y < clip_.top || y >= clip_.bottom) return;
    x0 = std::max(x0, clip_.left);
    x1 = std::min(x1, clip_.right - 1);
    for (int x = x0; x <= x1; ++x) pixels_[static_cast<std::size_t>(y) * width_ + x] = index;
}

// Even-odd fill sampled at pixel centres, then the outline with the pen.
void IndexedRaster::polygon(std::span<const Point> points) {
    if (points.size() < 2) return;
    if (brush_ && points.size() >= 3) {
        int top = points[0].y, bottom = points[0].y;
        for (const Point& p : points) {
            top = std::min(top, p.y);
            bottom = std::max(bottom, p.y);
        }
        top = std::max(top, clip_.top);
        bottom = std::min(bottom, clip_.bottom - 1);
        std::vector<double> xs;
        for (int y = top; y <= bottom; ++y) {
            xs.clear();
            const double yc = y + 0.5;
            for (std::size_t i = 0; i < points.size(); ++i) {
                const Point a = points[i];
                const Point b = points[(i + 1) % points.size()];
                if ((a.y <= yc) == (b.y <= yc)) continue;
                xs.push_back(a.x + (yc - a.y) * (b.x - a.x) / static_cast<double>(b.y - a.y));
            }
            std::sort(xs.begin(), xs.end());
            for (std::size_t i = 0; i + 1 < xs.size(); i += 2) {
                fill_span(y, static_cast<int>(std::ceil(xs[i] - 0.5)),
                          static_cast<int>(std::floor(xs[i + 1] - 0.5)), brush_index_);
            }
        }
    }
    move_to(points[0]);
    for (std::size_t i = 1; i < points.size(); ++i) line_to(points[i]);
    line_to(points[0]);
}

void IndexedRaster::ellipse(Rect r) {
    const double cx = (r.left + r.right - 1) / 2.0, cy = (r.top + r.bottom - 1) / 2.0;
    const double rx = (r.right - r.left - 1) / 2.0, ry = (r.bottom - r.top - 1) / 2.0;
    if (rx < 0 || ry < 0 || rx > 1 << 16 || ry > 1 << 16) return;
    if (brush_) {
        for (int y = r.top; y < r.bottom; ++y) {
            const double t = ry > 0 ? (y - cy) / ry : 0;
            if (t * t > 1) continue;
            const double half = rx * std::sqrt(1 - t * t);
            fill_span(y, static_cast<int>(std::ceil(cx - half)),
                      static_cast<int>(std::floor(cx + half)), brush_index_);
        }
    }
    const int steps = std::max(16, static_cast<int>(4 * (rx + ry)));
    Point previous{static_cast<int>(std::lround(cx + rx)), static_cast<int>(std::lround(cy))};
    move_to(previous);
    for (int k = 1; k <= steps; ++k) {
        const double a = 2 * 3.14159265358979323846 * k / steps;
        const Point p{static_cast<int>(std::lround(cx + rx * std::cos(a))),
                      static_cast<int>(std::lround(cy + ry * std::sin(a)))};
        if (!(p == previous)) line_to(p);
        previous = p;
    }
}

void IndexedRaster::set_pixel(Point p, Colour colour) {
    plot(p.x, p.y, colour_index(colour));
}

void IndexedRaster::fill_rect(Rect r, Colour colour) {
    const std::uint8_t index = colour_index(colour);
    for (int y = std::max(r.top, clip_.top); y < std::min(r.bottom, clip_.bottom); ++y) {
        fill_span(y, r.left, r.right - 1, index);
    }
}

void IndexedRaster::set_clip_rect(Rect r) {
    clip_ = {std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, width_),
             std::min(r.bottom, height_)};
}

void IndexedRaster::clear_clip() {
    clip_ = {0, 0, width_, height_};
}
