#include "graphics/graphics_metafile.h"

#include <algorithm>

using platform::Colour;
using platform::Point;
using platform::Rect;

namespace {

// Record numbers of the two formats.
constexpr std::uint16_t kWmfSetWindowOrg = 0x020B;
constexpr std::uint16_t kWmfSetWindowExt = 0x020C;
constexpr std::uint16_t kWmfSetMapMode = 0x0103;
constexpr std::uint16_t kWmfCreatePen = 0x02FA;
constexpr std::uint16_t kWmfCreateBrush = 0x02FC;
constexpr std::uint16_t kWmfSelectObject = 0x012D;
constexpr std::uint16_t kWmfDeleteObject = 0x01F0;
constexpr std::uint16_t kWmfPolyline = 0x0325;
constexpr std::uint16_t kWmfPolygon = 0x0324;
constexpr std::uint16_t kWmfEllipse = 0x0418;
constexpr std::uint16_t kWmfSetPixel = 0x041F;
constexpr std::uint16_t kWmfMoveTo = 0x0214;
constexpr std::uint16_t kWmfLineTo = 0x0213;
constexpr std::uint16_t kWmfRectangle = 0x041B;

constexpr std::uint32_t kEmrHeader = 1;
constexpr std::uint32_t kEmrSetWindowExt = 9;
constexpr std::uint32_t kEmrSetWindowOrg = 10;
constexpr std::uint32_t kEmrSetViewportExt = 11;
constexpr std::uint32_t kEmrEof = 14;
constexpr std::uint32_t kEmrSetPixel = 15;
constexpr std::uint32_t kEmrSetMapMode = 17;
constexpr std::uint32_t kEmrMoveTo = 27;
constexpr std::uint32_t kEmrSelectObject = 37;
constexpr std::uint32_t kEmrCreatePen = 38;
constexpr std::uint32_t kEmrCreateBrush = 39;
constexpr std::uint32_t kEmrDeleteObject = 40;
constexpr std::uint32_t kEmrEllipse = 42;
constexpr std::uint32_t kEmrRectangle = 43;
constexpr std::uint32_t kEmrLineTo = 54;
constexpr std::uint32_t kEmrPolygon16 = 86;
constexpr std::uint32_t kEmrPolyline16 = 87;
constexpr int kMapAnisotropic = 8;
constexpr int kPenNull = 5;
constexpr int kBrushSolid = 0;
constexpr int kBrushNull = 1;

void put16(std::vector<std::uint8_t>& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}
void put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
std::uint32_t colorref(Colour c) {
    return c.red | (static_cast<std::uint32_t>(c.green) << 8) |
           (static_cast<std::uint32_t>(c.blue) << 16);
}
std::int32_t clamp16(int v) {
    return std::clamp(v, -32768, 32767);
}

int pen_style(platform::LineStyle s) {
    switch (s) {
        case platform::LineStyle::dash:
            return 1;
        case platform::LineStyle::dot:
            return 2;
        case platform::LineStyle::dash_dot:
            return 3;
        case platform::LineStyle::dash_dot_dot:
            return 4;
        case platform::LineStyle::none:
            return kPenNull;
        default:
            return 0;
    }
}

}  // namespace

MetafileDevice::MetafileDevice(Format format, int width, int height, int origin, int extent_x,
                               int extent_y)
    : format_(format), width_(width), height_(height) {
    if (format_ == Format::wmf) {
        record(kWmfSetMapMode, 0, {kMapAnisotropic}, {});
        record(kWmfSetWindowOrg, 0, {origin, origin}, {});
        record(kWmfSetWindowExt, 0, {extent_y, extent_x}, {});
    } else {
        std::vector<std::uint8_t> body;
        put32(body, kMapAnisotropic);
        record(0, kEmrSetMapMode, {}, body);
        body.clear();
        put32(body, static_cast<std::uint32_t>(origin));
        put32(body, static_cast<std::uint32_t>(origin));
        record(0, kEmrSetWindowOrg, {}, body);
        body.clear();
        put32(body, static_cast<std::uint32_t>(extent_x));
        put32(body, static_cast<std::uint32_t>(extent_y));
        record(0, kEmrSetWindowExt, {}, body);
        body.clear();
        put32(body, static_cast<std::uint32_t>(width));
        put32(body, static_cast<std::uint32_t>(height));
        record(0, kEmrSetViewportExt, {}, body);
    }
}

void MetafileDevice::record(std::uint16_t wmf_function, std::uint32_t emf_type,
                            const std::vector<std::int32_t>& wmf_params,
                            const std::vector<std::uint8_t>& emf_body) {
    ++record_count_;
    if (format_ == Format::wmf) {
        const auto words = static_cast<std::uint32_t>(3 + wmf_params.size());
        put32(records_, words);
        put16(records_, wmf_function);
        for (std::int32_t p : wmf_params) put16(records_, static_cast<std::uint32_t>(p) & 0xFFFF);
        largest_record_words_ = std::max(largest_record_words_, words);
    } else {
        put32(records_, emf_type);
        put32(records_, static_cast<std::uint32_t>(8 + emf_body.size()));
        records_.insert(records_.end(), emf_body.begin(), emf_body.end());
    }
}

// The lowest free slot of the object table (the player numbers objects the same way); EMF
// handles start at 1, kSlotOutputValue being the file itself.
int MetafileDevice::new_object_index() {
    const std::size_t first = format_ == Format::emf ? 1 : 0;
    for (std::size_t i = first; i < objects_.size(); ++i) {
        if (!objects_[i]) {
            objects_[i] = true;
            return static_cast<int>(i);
        }
    }
    if (objects_.size() < first) objects_.resize(first, true);
    objects_.push_back(true);
    max_objects_ = std::max(max_objects_, static_cast<int>(objects_.size()));
    return static_cast<int>(objects_.size()) - 1;
}

void MetafileDevice::select_objects() {
    std::vector<std::uint8_t> body;
    if (pen_slot_ < 0 || !(wanted_pen_ == selected_pen_)) {
        const int slot = new_object_index();
        const std::uint32_t c = colorref(wanted_pen_.colour);
        if (format_ == Format::wmf) {
            record(kWmfCreatePen, 0,
                   {wanted_pen_.style, wanted_pen_.width, 0, static_cast<std::int32_t>(c & 0xFFFF),
                    static_cast<std::int32_t>(c >> 16)},
                   {});
            record(kWmfSelectObject, 0, {slot}, {});
            if (pen_slot_ >= 0) record(kWmfDeleteObject, 0, {pen_slot_}, {});
        } else {
            put32(body, static_cast<std::uint32_t>(slot));
            put32(body, static_cast<std::uint32_t>(wanted_pen_.style));
            put32(body, static_cast<std::uint32_t>(wanted_pen_.width));
            put32(body, 0);
            put32(body, c);
            record(0, kEmrCreatePen, {}, body);
            body.clear();
            put32(body, static_cast<std::uint32_t>(slot));
            record(0, kEmrSelectObject, {}, body);
            body.clear();
            if (pen_slot_ >= 0) {
                put32(body, static_cast<std::uint32_t>(pen_slot_));
                record(0, kEmrDeleteObject, {}, body);
                body.clear();
            }
        }
        if (pen_slot_ >= 0) objects_[static_cast<std::size_t>(pen_slot_)] = false;
        pen_slot_ = slot;
        selected_pen_ = wanted_pen_;
    }
    if (brush_slot_ < 0 || !(wanted_brush_ == selected_brush_)) {
        const int slot = new_object_index();
        const std::uint32_t c = wanted_brush_.null ? 0 : colorref(wanted_brush_.colour);
        const int style = wanted_brush_.null ? kBrushNull : kBrushSolid;
        if (format_ == Format::wmf) {
            record(kWmfCreateBrush, 0,
                   {style, static_cast<std::int32_t>(c & 0xFFFF),
                    static_cast<std::int32_t>(c >> 16), 0},
                   {});
            record(kWmfSelectObject, 0, {slot}, {});
            if (brush_slot_ >= 0) record(kWmfDeleteObject, 0, {brush_slot_}, {});
        } else {
            put32(body, static_cast<std::uint32_t>(slot));
            put32(body, static_cast<std::uint32_t>(style));
            put32(body, c);
            put32(body, 0);
            record(0, kEmrCreateBrush, {}, body);
            body.clear();
            put32(body, static_cast<std::uint32_t>(slot));
            record(0, kEmrSelectObject, {}, body);
            body.clear();
            if (brush_slot_ >= 0) {
                put32(body, static_cast<std::uint32_t>(brush_slot_));
                record(0, kEmrDeleteObject, {}, body);
            }
        }
        if (brush_slot_ >= 0) objects_[static_cast<std::size_t>(brush_slot_)] = false;
        brush_slot_ = slot;
        selected_brush_ = wanted_brush_;
    }
}

void MetafileDevice::bounds(Point p) {
    if (!have_bounds_) {
        bounds_ = {p.x, p.y, p.x, p.y};
        have_bounds_ = true;
        return;
    }
    bounds_.left = std::min(bounds_.left, p.x);
    bounds_.top = std::min(bounds_.top, p.y);
    bounds_.right = std::max(bounds_.right, p.x);
    bounds_.bottom = std::max(bounds_.bottom, p.y);
}

void MetafileDevice::set_pen(Colour colour, platform::LineStyle style, int width) {
    wanted_pen_ = {colour, pen_style(style), std::clamp(width, 0, 32767)};
}

void MetafileDevice::set_brush(Colour colour) {
    wanted_brush_ = {false, colour};
}

void MetafileDevice::set_null_brush() {
    wanted_brush_ = {true, {}};
}

void MetafileDevice::move_to(Point p) {
    if (format_ == Format::wmf) {
        record(kWmfMoveTo, 0, {clamp16(p.y), clamp16(p.x)}, {});
    } else {
        std::vector<std::uint8_t> body;
        put32(body, static_cast<std::uint32_t>(p.x));
        put32(body, static_cast<std::uint32_t>(p.y));
        record(0, kEmrMoveTo, {}, body);
    }
}

void MetafileDevice::line_to(Point p) {
    select_objects();
    bounds(p);
    if (format_ == Format::wmf) {
        record(kWmfLineTo, 0, {clamp16(p.y), clamp16(p.x)}, {});
    } else {
        std::vector<std::uint8_t> body;
        put32(body, static_cast<std::uint32_t>(p.x));
        put32(body, static_cast<std::uint32_t>(p.y));
        record(0, kEmrLineTo, {}, body);
    }
}

void MetafileDevice::poly(bool closed, std::span<const Point> points) {
    if (points.size() < 2) return;
    select_objects();
    // One record holds at most this many points in either format.
    constexpr std::size_t kMaxPoints = 8000;
    for (std::size_t start = 0; start + 1 < points.size(); start += kMaxPoints - 1) {
        const std::size_t n = std::min(kMaxPoints, points.size() - start);
        const std::span<const Point> part = points.subspan(start, n);
        Rect box{part[0].x, part[0].y, part[0].x, part[0].y};
        for (const Point& p : part) {
            bounds(p);
            box.left = std::min(box.left, p.x);
            box.top = std::min(box.top, p.y);
            box.right = std::max(box.right, p.x);
            box.bottom = std::max(box.bottom, p.y);
        }
        if (format_ == Format::wmf) {
            std::vector<std::int32_t> params = {static_cast<std::int32_t>(n)};
            for (const Point& p : part) {
                params.push_back(clamp16(p.x));
                params.push_back(clamp16(p.y));
            }
            record(closed ? kWmfPolygon : kWmfPolyline, 0, params, {});
        } else {
            std::vector<std::uint8_t> body;
            put32(body, static_cast<std::uint32_t>(box.left));
            put32(body, static_cast<std::uint32_t>(box.top));
            put32(body, static_cast<std::uint32_t>(box.right));
            put32(body, static_cast<std::uint32_t>(box.bottom));
            put32(body, static_cast<std::uint32_t>(n));
            for (const Point& p : part) {
                put16(body, static_cast<std::uint32_t>(clamp16(p.x)) & 0xFFFF);
                put16(body, static_cast<std::uint32_t>(clamp16(p.y)) & 0xFFFF);
            }
            record(0, closed ? kEmrPolygon16 : kEmrPolyline16, {}, body);
        }
        if (closed) break;  // a polygon is one record; longer ones are cut at the limit
    }
}

void MetafileDevice::polyline(std::span<const Point> points) {
    poly(false, points);
}

void MetafileDevice::polygon(std::span<const Point> points) {
    poly(true, points);
}

void MetafileDevice::ellipse(Rect r) {
    select_objects();
    bounds({r.left, r.top});
    bounds({r.right, r.bottom});
    if (format_ == Format::wmf) {
        record(kWmfEllipse, 0,
               {clamp16(r.bottom), clamp16(r.right), clamp16(r.top), clamp16(r.left)}, {});
    } else {
        std::vector<std::uint8_t> body;
        put32(body, static_cast<std::uint32_t>(r.left));
        put32(body, static_cast<std::uint32_t>(r.top));
        put32(body, static_cast<std::uint32_t>(r.right - 1));
        put32(body, static_cast<std::uint32_t>(r.bottom - 1));
        record(0, kEmrEllipse, {}, body);
    }
}

void MetafileDevice::set_pixel(Point p, Colour colour) {
    bounds(p);
    const std::uint32_t c = colorref(colour);
    if (format_ == Format::wmf) {
        record(kWmfSetPixel, 0,
               {static_cast<std::int32_t>(c & 0xFFFF), static_cast<std::int32_t>(c >> 16),
                clamp16(p.y), clamp16(p.x)},
               {});
    } else {
        std::vector<std::uint8_t> body;
        put32(body, static_cast<std::uint32_t>(p.x));
        put32(body, static_cast<std::uint32_t>(p.y));
        put32(body, c);
        record(0, kEmrSetPixel, {}, body);
    }
}

void MetafileDevice::fill_rect(Rect r, Colour colour) {
    const PenSpec pen = wanted_pen_;
    const BrushSpec brush = wanted_brush_;
    wanted_pen_ = {colour, kPenNull, 0};
    wanted_brush_ = {false, colour};
    select_objects();
    bounds({r.left, r.top});
    bounds({r.right - 1, r.bottom - 1});
    if (format_ == Format::wmf) {
        // Without an outline the rectangle fills up to, not including, its right and bottom.
        record(kWmfRectangle, 0,
               {clamp16(r.bottom + 1), clamp16(r.right + 1), clamp16(r.top), clamp16(r.left)}, {});
    } else {
        std::vector<std::uint8_t> body;
        put32(body, static_cast<std::uint32_t>(r.left));
        put32(body, static_cast<std::uint32_t>(r.top));
        put32(body, static_cast<std::uint32_t>(r.right));
        put32(body, static_cast<std::uint32_t>(r.bottom));
        record(0, kEmrRectangle, {}, body);
    }
    wanted_pen_ = pen;
    wanted_brush_ = brush;
}

std::vector<std::uint8_t> MetafileDevice::wmf_bytes(bool placeable) const {
    std::vector<std::uint8_t> out;
    if (placeable) {
        std::vector<std::uint8_t> head;
        put32(head, 0x9AC6CDD7u);
        put16(head, 0);  // handle
        put16(head, 0);  // bounding box: left, top, right, bottom
        put16(head, 0);
        put16(head, static_cast<std::uint32_t>(width_ * 2540 / 1440));
        put16(head, static_cast<std::uint32_t>(height_ * 2540 / 1440));
        put16(head, 1440);
        put32(head, 0);
        std::uint16_t checksum = 0;
        for (std::size_t i = 0; i < 20; i += 2) {
            checksum ^= static_cast<std::uint16_t>(head[i] | (head[i + 1] << 8));
        }
        put16(head, checksum);
        out = head;
    }
    constexpr std::uint32_t kEofWords = 3;
    const auto total_words = static_cast<std::uint32_t>(9 + records_.size() / 2 + kEofWords);
    put16(out, 1);  // a metafile in memory, as the program makes it before writing it out
    put16(out, 9);
    put16(out, 0x0300);
    put32(out, total_words);
    put16(out, static_cast<std::uint32_t>(max_objects_));
    put32(out, std::max(largest_record_words_, kEofWords));
    put16(out, 0);
    out.insert(out.end(), records_.begin(), records_.end());
    put32(out, kEofWords);
    put16(out, 0);
    return out;
}

std::vector<std::uint8_t> MetafileDevice::emf_bytes(int frame_right, int frame_bottom,
                                                    const std::string& description) const {
    // The description in UTF-16 with its closing zero and one more, padded to 4 bytes.
    std::vector<std::uint8_t> text;
    for (unsigned char c : description) put16(text, c);
    put16(text, 0);
    put16(text, 0);
    while (text.size() % 4 != 0) text.push_back(0);
    constexpr std::uint32_t kHeaderBase = 88;
    constexpr std::uint32_t kEofSize = 20;
    const auto header_size = static_cast<std::uint32_t>(kHeaderBase + text.size());
    const auto total = static_cast<std::uint32_t>(header_size + records_.size() + kEofSize);
    std::vector<std::uint8_t> out;
    put32(out, kEmrHeader);
    put32(out, header_size);
    const Rect b = have_bounds_ ? bounds_ : Rect{0, 0, 0, 0};
    put32(out, static_cast<std::uint32_t>(b.left));
    put32(out, static_cast<std::uint32_t>(b.top));
    put32(out, static_cast<std::uint32_t>(b.right));
    put32(out, static_cast<std::uint32_t>(b.bottom));
    put32(out, 0);
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(frame_right));
    put32(out, static_cast<std::uint32_t>(frame_bottom));
    put32(out, 0x464D4520u);  // " EMF"
    put32(out, 0x00010000u);
    put32(out, total);
    put32(out, static_cast<std::uint32_t>(record_count_ + 2));  // with the header and EOF
    put16(out, static_cast<std::uint32_t>(std::max(max_objects_, 1)));
    put16(out, 0);
    put32(out, static_cast<std::uint32_t>(description.size() + 2));
    put32(out, kHeaderBase);
    put32(out, 0);     // palette entries
    put32(out, 1024);  // reference device in pixels and millimetres (96 dots an inch)
    put32(out, 768);
    put32(out, 271);
    put32(out, 203);
    out.insert(out.end(), text.begin(), text.end());
    out.insert(out.end(), records_.begin(), records_.end());
    put32(out, kEmrEof);
    put32(out, kEofSize);
    put32(out, 0);
    put32(out, 16);
    put32(out, kEofSize);
    return out;
}
