// Recording devices that write Windows metafile (".wmf") and enhanced metafile (".emf") records
// from their published layouts; a display-list replay drives them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui.h"

class MetafileDevice : public platform::DeviceContext {
public:
    enum class Format { wmf, emf };
    // A picture of width x height logical units; the window of the mapping starts at origin.
    MetafileDevice(Format format, int width, int height, int origin, int extent_x, int extent_y);

    platform::Size size() const override { return {width_, height_}; }
    void set_pen(platform::Colour colour, platform::LineStyle style, int width) override;
    void set_brush(platform::Colour colour) override;
    void set_null_brush() override;
    void set_text_colour(platform::Colour) override {}
    void move_to(platform::Point p) override;
    void line_to(platform::Point p) override;
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
    void set_clip_rect(platform::Rect) override {}
    void clear_clip() override {}

    // The finished file: WMF with or without the placeable header, or EMF with its header
    // frame in 0.01 mm and the description text.
    std::vector<std::uint8_t> wmf_bytes(bool placeable) const;
    std::vector<std::uint8_t> emf_bytes(int frame_right_hundredths_mm,
                                        int frame_bottom_hundredths_mm,
                                        const std::string& description) const;

private:
    struct PenSpec {
        platform::Colour colour;
        int style = 0;  // the metafile pen style numbers
        int width = 1;
        friend bool operator==(const PenSpec&, const PenSpec&) = default;
    };
    struct BrushSpec {
        bool null = true;
        platform::Colour colour;
        friend bool operator==(const BrushSpec&, const BrushSpec&) = default;
    };
    void select_objects();
    int new_object_index();
    void record(std::uint16_t wmf_function, std::uint32_t emf_type,
                const std::vector<std::int32_t>& wmf_params,
                const std::vector<std::uint8_t>& emf_body);
    void poly(bool closed, std::span<const platform::Point> points);
    void bounds(platform::Point p);

    Format format_;
    int width_, height_;
    std::vector<std::uint8_t> records_;
    int record_count_ = 0;
    std::uint32_t largest_record_words_ = 0;
    std::vector<bool> objects_;  // object table slots in use
    int max_objects_ = 0;
    PenSpec wanted_pen_, selected_pen_;
    BrushSpec wanted_brush_, selected_brush_;
    int pen_slot_ = -1, brush_slot_ = -1;
    bool have_bounds_ = false;
    platform::Rect bounds_{};
};
