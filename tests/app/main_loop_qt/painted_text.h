// What a painted text window shows a user: the lines of its text area and the pixels of its
// grabbed surface.
#pragma once

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <string>
#include <string_view>

#include "ui/text_area.h"

namespace tavo_test {

// Every line the area holds, oldest first, each ended by '\n'.
inline std::string area_text(int area) {
    const TextArea* a = textarea(area);
    std::string all;
    if (a == nullptr) return all;
    for (int k = 0; k < a->line_count; ++k) {
        all += a->line_text((a->first_line + k) % a->capacity);
        all += '\n';
    }
    return all;
}

// The top pixel row of the first row on screen whose line contains needle; -1 when none shows.
inline int shown_row_top(int area, std::string_view needle) {
    const TextArea* a = textarea(area);
    if (a == nullptr || a->capacity <= 0) return -1;
    const int below_top = a->line_count - a->position_of(a->top_line);
    for (int row = 0; row < a->visible_lines && row < below_top; ++row) {
        const std::string_view line = a->line_text((a->top_line + row) % a->capacity);
        if (line.find(needle) != std::string_view::npos)
            return a->top_margin + row * a->line_height;
    }
    return -1;
}

// Pixels of the grabbed widget between rows top and top + height that differ from the area's
// white background.
inline int ink_pixels(QWidget* surface, int top, int height) {
    if (surface == nullptr || top < 0) return 0;
    const QImage image = surface->grab().toImage();
    int ink = 0;
    for (int y = top; y < top + height && y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) ++ink;
        }
    }
    return ink;
}

}  // namespace tavo_test
