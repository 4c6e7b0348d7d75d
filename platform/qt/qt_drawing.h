// A drawing surface: a widget that shows an image, and the device context that draws into the
// image with QPainter. The window's handler repaints the image when the window is resized or
// invalidated; the screen only ever shows the image.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPen>
#include <QWidget>
#include <functional>

#include "platform/ui.h"

namespace platform::qt {

class DrawingSurface;

class ImageContext : public DeviceContext {
public:
    explicit ImageContext(DrawingSurface& surface);
    // Draws into an image of its own size that no widget shows (an off-screen picture).
    explicit ImageContext(QImage& image);

    Size size() const override;
    void set_pen(Colour colour, LineStyle style, int width) override;
    void set_brush(Colour colour) override;
    void set_null_brush() override;
    void set_text_colour(Colour colour) override;
    void move_to(Point p) override;
    void line_to(Point p) override;
    void polyline(std::span<const Point> points) override;
    void polygon(std::span<const Point> points) override;
    void ellipse(Rect bounds) override;
    void set_pixel(Point p, Colour colour) override;
    void fill_rect(Rect r, Colour colour) override;
    void text_out(Point p, std::string_view text) override;
    TextMetrics text_metrics() const override;
    int text_width(std::string_view text) const override;
    void set_clip_rect(Rect r) override;
    void clear_clip() override;
    void scroll_pixels(Rect band, int dx, int dy) override;

private:
    // Runs fn with a painter on the surface's image, set up with the current state.
    void paint(const std::function<void(class QPainter&)>& fn);

    QImage& target_image();
    // Draws the segments of a polyline with the one-pixel solid pen straight into the image's
    // pixels, each segment without its end point; false when the pen or image needs the
    // painter.
    bool solid_segments(std::span<const Point> points);

    DrawingSurface* surface_ = nullptr;
    QImage* own_image_ = nullptr;
    QPen pen_;
    QBrush brush_;
    QColor text_colour_;
    QFont font_;
    Point current_;
    bool clipped_ = false;
    Rect clip_;
};

// Callbacks into the backend, so the widget knows nothing of the window table.
struct SurfaceEvents {
    std::function<void(Size)> resized;
    std::function<void(DeviceContext&)> repaint;
    std::function<void(const KeyEvent&)> key;
    std::function<void(const MouseEvent&)> mouse;
    std::function<void(int notches)> wheel;  // positive: away from the user
};

class DrawingSurface : public QWidget {
public:
    DrawingSurface(SurfaceEvents events, QWidget* parent);

    // The backing image, grown or shrunk to the widget's size first.
    QImage& image();
    ImageContext& context() { return context_; }
    // The handler repaints the image before the next time it is shown.
    void invalidate();
    // Repaints now if asked to.
    void repaint_if_needed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void deliver_mouse(QMouseEvent* event, MouseAction action);

    SurfaceEvents events_;
    QImage image_;
    ImageContext context_;
    bool needs_repaint_ = true;
};

KeyEvent to_key_event(const QKeyEvent& event);
unsigned to_modifiers(Qt::KeyboardModifiers modifiers);

}  // namespace platform::qt
