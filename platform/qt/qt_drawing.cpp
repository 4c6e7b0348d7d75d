#include "platform/qt/qt_drawing.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <vector>

namespace platform::qt {

namespace {

QColor to_qcolor(Colour c) {
    return QColor(c.red, c.green, c.blue);
}

Qt::PenStyle to_pen_style(LineStyle style) {
    switch (style) {
        case LineStyle::solid:
            return Qt::SolidLine;
        case LineStyle::dash:
            return Qt::DashLine;
        case LineStyle::dot:
            return Qt::DotLine;
        case LineStyle::dash_dot:
            return Qt::DashDotLine;
        case LineStyle::dash_dot_dot:
            return Qt::DashDotDotLine;
        case LineStyle::none:
            return Qt::NoPen;
    }
    return Qt::SolidLine;
}

QPolygon to_qpolygon(std::span<const Point> points) {
    QPolygon polygon;
    polygon.reserve(static_cast<int>(points.size()));
    for (const Point& p : points) polygon << QPoint(p.x, p.y);
    return polygon;
}

const QColor kSurfaceBackground(255, 255, 255);

}  // namespace

// --- device context --------------------------------------------------------------------------

namespace {

// Text areas place every character at a multiple of one character width, so their font must be
// of fixed pitch. The system's fixed font is not always one (the offscreen platform hands out a
// proportional face), so a known monospaced face stands in when it is not.
// Its advance is also made a whole number of pixels: a fractional advance would let the drawn
// text drift from the columns by a pixel every few characters.
QFont fixed_pitch_font() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!QFontInfo(font).fixedPitch()) {
        const int size = font.pointSize();
        for (const char* family :
             {"DejaVu Sans Mono", "Noto Sans Mono", "Liberation Mono", "Monospace"}) {
            QFont candidate(family);
            candidate.setStyleHint(QFont::TypeWriter);
            candidate.setFixedPitch(true);
            if (size > 0) candidate.setPointSize(size);
            if (QFontInfo(candidate).fixedPitch()) {
                font = candidate;
                break;
            }
        }
    }
    const qreal advance = QFontMetricsF(font).horizontalAdvance(QLatin1Char('0'));
    const qreal whole = std::max<qreal>(1.0, std::round(advance));
    if (whole != advance) font.setLetterSpacing(QFont::AbsoluteSpacing, whole - advance);
    return font;
}

}  // namespace

ImageContext::ImageContext(DrawingSurface& surface)
    : surface_(&surface),
      pen_(QColor(0, 0, 0), 0, Qt::SolidLine),
      brush_(Qt::NoBrush),
      text_colour_(0, 0, 0),
      font_(fixed_pitch_font()) {}

ImageContext::ImageContext(QImage& image)
    : own_image_(&image),
      pen_(QColor(0, 0, 0), 0, Qt::SolidLine),
      brush_(Qt::NoBrush),
      text_colour_(0, 0, 0),
      font_(fixed_pitch_font()) {}

void ImageContext::paint(const std::function<void(QPainter&)>& fn) {
    QImage& image = target_image();
    if (image.isNull()) return;
    QPainter painter(&image);
    // Exact pixels: graphics are line drawings that must look the same on screen and in files.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(pen_);
    painter.setBrush(brush_);
    painter.setFont(font_);
    if (clipped_) {
        painter.setClipRect(
            QRect(QPoint(clip_.left, clip_.top), QPoint(clip_.right - 1, clip_.bottom - 1)));
    }
    fn(painter);
    painter.end();
    if (surface_ != nullptr) surface_->update();
}

Size ImageContext::size() const {
    if (surface_ == nullptr) return {own_image_->width(), own_image_->height()};
    return {surface_->width(), surface_->height()};
}

QImage& ImageContext::target_image() {
    return surface_ != nullptr ? surface_->image() : *own_image_;
}

void ImageContext::set_pen(Colour colour, LineStyle style, int width) {
    // Width 1 and below is the one-pixel cosmetic pen.
    pen_ = QPen(to_qcolor(colour), width > 1 ? width : 0, to_pen_style(style));
}

void ImageContext::set_brush(Colour colour) {
    brush_ = QBrush(to_qcolor(colour));
}

void ImageContext::set_null_brush() {
    brush_ = QBrush(Qt::NoBrush);
}

void ImageContext::set_text_colour(Colour colour) {
    text_colour_ = to_qcolor(colour);
}

void ImageContext::move_to(Point p) {
    current_ = p;
}

// Graphics windows are line drawings of thousands of one-pixel solid segments, replayed whole
// at every repaint: a painter set up for each of them and its general line drawing cost about
// three times the indexed raster's walk of the same pixels, so such segments are walked here
// (Bresenham, each without its end point, as the painter's cosmetic pen leaves it).
bool ImageContext::solid_segments(std::span<const Point> points) {
    if (pen_.style() != Qt::SolidLine || pen_.width() != 0) return false;
    QImage& image = target_image();
    const QImage::Format format = image.format();
    if (image.isNull() || (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
                           format != QImage::Format_ARGB32_Premultiplied)) {
        return false;
    }
    int left = 0, top = 0, right = image.width(), bottom = image.height();
    if (clipped_) {
        left = std::max(left, clip_.left);
        top = std::max(top, clip_.top);
        right = std::min(right, clip_.right);
        bottom = std::min(bottom, clip_.bottom);
    }
    const QRgb colour = pen_.color().rgba();
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    // Segments far outside the image are not walked pixel by pixel.
    constexpr int kLimit = 1 << 20;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const Point a = points[i - 1], b = points[i];
        if (std::abs(a.x) > kLimit || std::abs(a.y) > kLimit || std::abs(b.x) > kLimit ||
            std::abs(b.y) > kLimit) {
            continue;
        }
        // A segment wholly to one side of the box sets no pixel.
        if ((a.x < left && b.x < left) || (a.x >= right && b.x >= right) ||
            (a.y < top && b.y < top) || (a.y >= bottom && b.y >= bottom)) {
            continue;
        }
        int x = a.x, y = a.y;
        const int dx = std::abs(b.x - a.x), sx = a.x < b.x ? 1 : -1;
        const int dy = -std::abs(b.y - a.y), sy = a.y < b.y ? 1 : -1;
        int err = dx + dy;
        while (x != b.x || y != b.y) {
            if (x >= left && x < right && y >= top && y < bottom) {
                reinterpret_cast<QRgb*>(bits + y * stride)[x] = colour;
            }
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
    if (surface_ != nullptr) surface_->update();
    return true;
}

void ImageContext::line_to(Point p) {
    const Point from = current_;
    current_ = p;
    const Point segment[2] = {from, p};
    if (solid_segments(segment)) return;
    paint([&](QPainter& painter) { painter.drawLine(from.x, from.y, p.x, p.y); });
}

void ImageContext::polyline(std::span<const Point> points) {
    if (points.empty()) return;
    if (solid_segments(points)) return;
    const QPolygon polygon = to_qpolygon(points);
    paint([&](QPainter& painter) { painter.drawPolyline(polygon); });
}

void ImageContext::polygon(std::span<const Point> points) {
    if (points.empty()) return;
    const QPolygon polygon = to_qpolygon(points);
    paint([&](QPainter& painter) { painter.drawPolygon(polygon); });
}

void ImageContext::ellipse(Rect bounds) {
    paint([&](QPainter& painter) {
        painter.drawEllipse(
            QRect(QPoint(bounds.left, bounds.top), QPoint(bounds.right - 1, bounds.bottom - 1)));
    });
}

void ImageContext::set_pixel(Point p, Colour colour) {
    QImage& image = target_image();
    if (!image.rect().contains(p.x, p.y)) return;
    if (clipped_ &&
        (p.x < clip_.left || p.x >= clip_.right || p.y < clip_.top || p.y >= clip_.bottom)) {
        return;
    }
    image.setPixelColor(p.x, p.y, to_qcolor(colour));
    if (surface_ != nullptr) surface_->update();
}

void ImageContext::fill_rect(Rect r, Colour colour) {
    paint([&](QPainter& painter) {
        painter.fillRect(QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)),
                         to_qcolor(colour));
    });
}

void ImageContext::text_out(Point p, std::string_view text) {
    const QString qtext = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    paint([&](QPainter& painter) {
        painter.setPen(text_colour_);
        painter.drawText(QPoint(p.x, p.y + QFontMetrics(font_).ascent()), qtext);
    });
}

TextMetrics ImageContext::text_metrics() const {
    const QFontMetrics metrics(font_);
    // The advance of one character, which every character of a fixed-pitch font shares.
    return {metrics.height(), metrics.ascent(), metrics.horizontalAdvance(QLatin1Char('0'))};
}

int ImageContext::text_width(std::string_view text) const {
    return QFontMetrics(font_).horizontalAdvance(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void ImageContext::set_clip_rect(Rect r) {
    clipped_ = true;
    clip_ = r;
}

void ImageContext::clear_clip() {
    clipped_ = false;
}

void ImageContext::scroll_pixels(Rect band, int dx, int dy) {
    QImage& image = target_image();
    if (image.isNull()) return;
    const QRect area = QRect(QPoint(band.left, band.top), QPoint(band.right - 1, band.bottom - 1))
                           .intersected(image.rect());
    if (area.isEmpty()) return;
    const QImage copy = image.copy(area);
    QPainter painter(&image);
    painter.setClipRect(area);
    painter.drawImage(area.topLeft() + QPoint(dx, dy), copy);
    painter.end();
    if (surface_ != nullptr) surface_->update();
}

// --- surface widget --------------------------------------------------------------------------

DrawingSurface::DrawingSurface(SurfaceEvents events, QWidget* parent)
    : QWidget(parent), events_(std::move(events)), context_(*this) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

QImage& DrawingSurface::image() {
    const QSize wanted = size().expandedTo(QSize(1, 1));
    if (image_.size() != wanted) {
        QImage grown(wanted, QImage::Format_RGB32);
        grown.fill(kSurfaceBackground);
        if (!image_.isNull()) {
            QPainter painter(&grown);
            painter.drawImage(0, 0, image_);
        }
        image_ = std::move(grown);
    }
    return image_;
}

void DrawingSurface::invalidate() {
    needs_repaint_ = true;
    update();
}

void DrawingSurface::repaint_if_needed() {
    if (!needs_repaint_) return;
    needs_repaint_ = false;
    image().fill(kSurfaceBackground);
    if (events_.repaint) events_.repaint(context_);
}

void DrawingSurface::paintEvent(QPaintEvent*) {
    repaint_if_needed();
    QPainter painter(this);
    painter.drawImage(0, 0, image());
}

void DrawingSurface::resizeEvent(QResizeEvent*) {
    image();
    if (events_.resized) events_.resized({width(), height()});
    needs_repaint_ = true;
}

void DrawingSurface::keyPressEvent(QKeyEvent* event) {
    if (events_.key) events_.key(to_key_event(*event));
}

void DrawingSurface::keyReleaseEvent(QKeyEvent* event) {
    if (events_.key) events_.key(to_key_event(*event));
}

void DrawingSurface::deliver_mouse(QMouseEvent* event, MouseAction action) {
    if (!events_.mouse) return;
    MouseEvent e;
    e.action = action;
    switch (event->button()) {
        case Qt::LeftButton:
            e.button = MouseButton::left;
            break;
        case Qt::RightButton:
            e.button = MouseButton::right;
            break;
        case Qt::MiddleButton:
            e.button = MouseButton::middle;
            break;
        default:
            e.button = MouseButton::none;
            break;
    }
    const QPoint pos = event->position().toPoint();
    e.position = {pos.x(), pos.y()};
    e.modifiers = to_modifiers(event->modifiers());
    events_.mouse(e);
}

void DrawingSurface::mousePressEvent(QMouseEvent* event) {
    deliver_mouse(event, MouseAction::press);
}

void DrawingSurface::mouseReleaseEvent(QMouseEvent* event) {
    deliver_mouse(event, MouseAction::release);
}

void DrawingSurface::mouseDoubleClickEvent(QMouseEvent* event) {
    deliver_mouse(event, MouseAction::double_click);
}

void DrawingSurface::mouseMoveEvent(QMouseEvent* event) {
    deliver_mouse(event, MouseAction::move);
}

void DrawingSurface::wheelEvent(QWheelEvent* event) {
    const int notches = event->angleDelta().y() / 120;
    if (!events_.wheel || notches == 0) {
        event->ignore();
        return;
    }
    events_.wheel(notches);
    event->accept();
}

// --- input translation -----------------------------------------------------------------------

unsigned to_modifiers(Qt::KeyboardModifiers modifiers) {
    unsigned m = 0;
    if (modifiers & Qt::ShiftModifier) m |= modifier_shift;
    if (modifiers & Qt::ControlModifier) m |= modifier_control;
    if (modifiers & Qt::AltModifier) m |= modifier_alt;
    return m;
}

KeyEvent to_key_event(const QKeyEvent& event) {
    KeyEvent e;
    e.pressed = event.type() == QEvent::KeyPress;
    e.modifiers = to_modifiers(event.modifiers());
    e.text = event.text().toStdString();
    const int k = event.key();
    switch (k) {
        case Qt::Key_Backspace:
            e.key = key_backspace;
            break;
        case Qt::Key_Tab:
            e.key = key_tab;
            break;
        case Qt::Key_Backtab:
            // Shift+Tab: Qt names it a key of its own.
            e.key = key_tab;
            e.modifiers |= modifier_shift;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            e.key = key_enter;
            break;
        case Qt::Key_Escape:
            e.key = key_escape;
            break;
        case Qt::Key_PageUp:
            e.key = key_page_up;
            break;
        case Qt::Key_PageDown:
            e.key = key_page_down;
            break;
        case Qt::Key_End:
            e.key = key_end;
            break;
        case Qt::Key_Home:
            e.key = key_home;
            break;
        case Qt::Key_Left:
            e.key = key_left;
            break;
        case Qt::Key_Up:
            e.key = key_up;
            break;
        case Qt::Key_Right:
            e.key = key_right;
            break;
        case Qt::Key_Down:
            e.key = key_down;
            break;
        case Qt::Key_Insert:
            e.key = key_insert;
            break;
        case Qt::Key_Delete:
            e.key = key_delete;
            break;
        default:
            if (k >= Qt::Key_F1 && k <= Qt::Key_F12) {
                e.key = key_f1 + (k - Qt::Key_F1);
            } else if (k >= 0x20 && k < 0x7f) {
                // Qt's codes for printable keys are the upper-case ASCII codes.
                e.key = k;
            }
            break;
    }
    return e;
}

}  // namespace platform::qt
