#include "drawing/element_drawing.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "lens/lens_data.h"
#include "lens/lens_file_format.h"
#include "lens/lens_writer.h"
#include "numeric/memory.h"
#include "platform/clock.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/messages.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

enum ElementCommand {
    kCmdDefaultValues = kCmdElmdf1,
    kCmdDefaultIntegers = kCmdElmdf2,
    kCmdDefaultTexts = kCmdElmdf3,
    kCmdTitle = kCmdElmttl,
    kCmdMaterial = kCmdElmmed,
    kCmdSideForm = kCmdElmsf1,
    kCmdSideEdge = kCmdElmsf2,
    kCmdSideCoating = kCmdElmsf3,
    kCmdSideTexts = kCmdElmsf4,
};

// The tolerances a new element takes from its diameter class (ISO 10110 practice for small,
// medium, large and very large elements).
struct ClassValues {
    double diameter_tolerance;
    double bubble_size;
    std::uint16_t bubble_count;
    std::uint16_t stress;
    std::uint8_t classes;  // inhomogeneity and striae
    double pair[2];
    double imperfection_size;
    std::uint16_t imperfection_count;
};
constexpr ClassValues kClasses[4] = {
    {0.2, 0.16, 3, 20, 1, {0.1, 0.3}, 0.16, 3},
    {0.5, 0.25, 5, 20, 1, {0.2, 0.4}, 0.25, 5},
    {1.0, 0.4, 5, 0, 0, {0.3, 0.7}, 0.4, 5},
    {1.5, 0.63, 5, 0, 0, {0.5, 1.5}, 0.63, 5},
};

void copy_text(char* to, std::size_t size, const char* from) {
    std::snprintf(to, size, "%s", from != nullptr ? from : "");
}

const char* arg_text(int k) {
    const ArgCell* c = arg_cell(k);
    if (c == nullptr || c->type != kArgChar || c->text_length == 0 || c->value.text == nullptr) {
        return "";
    }
    return c->value.text;
}

std::string number(double v) {
    return format_number(v, 2, 0);
}

std::string quoted(const char* text, std::size_t limit) {
    return quote_lens_text(std::string(text, strnlen(text, limit)));
}

bool differ(double a, double b) {
    return std::fabs(a - b) > 1e-40;
}

std::uint16_t low16(int k) {
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(arg_int(k)) & 0xFFFFu);
}
std::uint8_t low8(int k) {
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(arg_int(k)) & 0xFFu);
}

// Records that make a surface more than a plain sphere of a drawn element: shapes, decentres,
// coordinate changes, gradient media, meshes and apertures of their own.
bool has_special_data(const SurfaceRecord& s) {
    for (const void* r : s.unsupported_records) {
        if (r != nullptr) return true;
    }
    return s.asphere != nullptr || s.diffractive != nullptr || s.hologram != nullptr ||
           s.decentre != nullptr || s.return_coordinates != nullptr ||
           s.decentre_reference != nullptr || s.grin != nullptr || s.mesh != nullptr ||
           s.spline != nullptr || s.perfect_lens != nullptr || s.special_aperture_count > 0;
}

// What a new side takes from the lens's defaults.
ElementSide side_from_defaults(const ElementDrawingDefaults& d) {
    ElementSide s{};
    s.coating_size = d.values[0];
    s.scratch_width = d.values[1];
    s.edge_chip = d.values[2];
    s.irregularity = 0.0;
    for (int k = 0; k < 3; ++k) s.rms[k] = d.values[3 + k];
    s.coating_count = d.integers[2];
    s.scratch_count = d.integers[3];
    s.further[0] = d.integers[4];
    s.further[1] = d.integers[5];
    s.flags[0] = d.small[0];
    s.flags[1] = d.small[2];
    copy_text(s.note, sizeof s.note, d.texts[0]);
    copy_text(s.text, sizeof s.text, d.texts[1]);
    return s;
}

void side_lines(int k, const ElementSide& s, const ElementDrawingDefaults& d,
                std::vector<std::string>& lines) {
    const std::string side = std::to_string(k);
    // The pair is written as it stands (the final 1): read back it is not turned into limits.
    lines.push_back("ELMSF1 " + side + " " + number(s.pair[0]) + " " + number(s.pair[1]) + " " +
                    number(s.imperfection_size) + " " + std::to_string(s.imperfection_count) +
                    " 1");
    const ElementSide fresh = side_from_defaults(d);
    bool edge = differ(s.edge_chip, fresh.edge_chip) || differ(s.irregularity, 0.0);
    for (int r = 0; r < 3; ++r) edge = edge || differ(s.rms[r], fresh.rms[r]);
    if (edge) {
        lines.push_back("ELMSF2 " + side + " " + number(s.edge_chip) + " " +
                        number(s.irregularity) + " " + number(s.rms[0]) + " " + number(s.rms[1]) +
                        " " + number(s.rms[2]));
    }
    if (differ(s.scratch_width, fresh.scratch_width) ||
        differ(s.coating_size, fresh.coating_size) || s.scratch_count != fresh.scratch_count ||
        s.coating_count != fresh.coating_count || s.flags[0] != fresh.flags[0] ||
        s.flags[1] != fresh.flags[1] || s.further[0] != fresh.further[0] ||
        s.further[1] != fresh.further[1]) {
        lines.push_back("ELMSF3 " + side + " " + number(s.scratch_width) + " " +
                        number(s.coating_size) + " " + std::to_string(s.scratch_count) + " " +
                        std::to_string(s.coating_count) + " " + std::to_string(s.flags[0]) + " " +
                        std::to_string(s.flags[1]) + " " + std::to_string(s.further[0]) + " " +
                        std::to_string(s.further[1]));
    }
    if (std::strncmp(s.note, fresh.note, sizeof s.note) != 0 ||
        std::strncmp(s.text, fresh.text, sizeof s.text) != 0) {
        lines.push_back("ELMSF4 " + side + " " + quoted(s.note, kElementSideNoteLength) + " " +
                        quoted(s.text, kElementSideTextLength));
    }
}

int set_defaults(int command) {
    ElementDrawingDefaults& d = lens_data().element_drawing_defaults;
    switch (command) {
        case kCmdDefaultValues:
            for (int k = 0; k < 6; ++k) d.values[k] = arg_double(k);
            break;
        case kCmdDefaultIntegers:
            for (int k = 0; k < 6; ++k) d.integers[k] = low16(k);
            for (int k = 0; k < 3; ++k) d.small[k] = low8(6 + k);
            break;
        case kCmdDefaultTexts:
            copy_text(d.texts[0], sizeof d.texts[0], arg_text(0));
            copy_text(d.texts[1], sizeof d.texts[1], arg_text(1));
            break;
        default:
            return 0;
    }
    d.set = 1;
    return 0;
}

int set_side(ElementDrawing& e, int command) {
    const int k = arg_int(0);
    if (k != 1 && k != 2) return 0;
    ElementSide& s = *e.sides[k - 1];
    switch (command) {
        case kCmdSideForm:
            s.pair[0] = arg_double(1);
            s.pair[1] = arg_double(2);
            s.imperfection_size = arg_double(3);
            s.imperfection_count = low16(4);
            if (s.pair[1] > 0.0 && arg_int(5) == 0) {
                const double nominal = s.pair[0];
                const double tolerance = s.pair[1];
                s.pair[0] = nominal - tolerance;
                s.pair[1] = nominal + tolerance;
            }
            break;
        case kCmdSideEdge:
            s.edge_chip = arg_double(1);
            s.irregularity = arg_double(2);
            for (int r = 0; r < 3; ++r) s.rms[r] = arg_double(3 + r);
            break;
        case kCmdSideCoating:
            s.scratch_width = arg_double(1);
            s.coating_size = arg_double(2);
            s.scratch_count = low16(3);
            s.coating_count = low16(4);
            s.flags[0] = low8(5);
            s.flags[1] = low8(6);
            s.further[0] = low16(7);
            s.further[1] = low16(8);
            break;
        case kCmdSideTexts:
            copy_text(s.note, sizeof s.note, arg_text(1));
            copy_text(s.text, sizeof s.text, arg_text(2));
            break;
        default:
            break;
    }
    return 0;
}

}  // namespace

void element_class_defaults(ElementDrawing& e) {
    const ClassValues& c = kClasses[diameter_class(e.diameter / 2.0)];
    e.upper_tolerance = c.diameter_tolerance;
    e.lower_tolerance = c.diameter_tolerance;
    e.bubble_size = c.bubble_size;
    e.bubble_count = c.bubble_count;
    e.stress_birefringence = c.stress;
    e.inhomogeneity = c.classes;
    e.striae = c.classes;
    for (ElementSide* s : e.sides) {
        if (s == nullptr) continue;
        s->pair[0] = c.pair[0];
        s->pair[1] = c.pair[1];
        s->imperfection_size = c.imperfection_size;
        s->imperfection_count = c.imperfection_count;
    }
}

void element_drawing_defaults(ElementDrawing& e, const ElementDrawingDefaults& d) {
    e.title[0] = '\0';
    e.number[0] = '\0';
    e.marked = 0;
    e.date[0] = '\0';
    // The month by its English name whatever the user's locale: the field is 15 characters and
    // the drawing's stroke font draws ASCII only.
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const platform::LocalTime now = platform::local_time();
    if (now.month >= 1 && now.month <= 12 && now.year > 0 && now.year <= 9999) {
        std::snprintf(e.date, sizeof e.date, "%02d %s %d", now.day, kMonths[now.month - 1],
                      now.year);
    }
    e.extra = d.small[1];
    e.further[0] = d.integers[0];
    e.further[1] = d.integers[1];
    const ElementSide fresh = side_from_defaults(d);
    for (ElementSide* s : e.sides) {
        if (s == nullptr) continue;
        s->coating_size = fresh.coating_size;
        s->scratch_width = fresh.scratch_width;
        s->edge_chip = fresh.edge_chip;
        s->irregularity = 0.0;
        for (int r = 0; r < 3; ++r) s->rms[r] = fresh.rms[r];
        s->coating_count = fresh.coating_count;
        s->scratch_count = fresh.scratch_count;
        s->further[0] = fresh.further[0];
        s->further[1] = fresh.further[1];
        s->flags[0] = fresh.flags[0];
        s->flags[1] = fresh.flags[1];
        std::memcpy(s->note, fresh.note, sizeof s->note);
        std::memcpy(s->text, fresh.text, sizeof s->text);
    }
}

void free_element_drawing_record(ElementDrawing* e) {
    if (e == nullptr) return;
    mem_free(e->sides[0]);
    mem_free(e->sides[1]);
    mem_free(e);
}

void free_element_drawing(SurfaceRecord& s) {
    free_element_drawing_record(s.element_drawing);
    s.element_drawing = nullptr;
}

int new_element_drawing(SurfaceRecord& s) {
    if (s.element_drawing != nullptr) return 0;
    auto* e = static_cast<ElementDrawing*>(mem_alloc(sizeof(ElementDrawing)));
    if (e != nullptr) {
        e->sides[0] = static_cast<ElementSide*>(mem_alloc(sizeof(ElementSide)));
        e->sides[1] = static_cast<ElementSide*>(mem_alloc(sizeof(ElementSide)));
    }
    if (e == nullptr || e->sides[0] == nullptr || e->sides[1] == nullptr) {
        free_element_drawing_record(e);
        return kMsgNoSpecialDataMemory;
    }
    e->diameter = 0.0;
    element_class_defaults(*e);
    element_drawing_defaults(*e, lens_data().element_drawing_defaults);
    s.element_drawing = e;
    return 0;
}

std::vector<std::string> element_drawing_lines(const ElementDrawing& e,
                                               const ElementDrawingDefaults& d) {
    std::vector<std::string> lines;
    // Always written: left out, a record read back would carry the reading day's date.
    lines.push_back("ELMTTL " + quoted(e.title, kElementTitleLength) + " " +
                    quoted(e.number, kElementNumberLength) + " " +
                    quoted(e.date, kElementDateLength) + " " + std::to_string(e.marked));
    std::string material = "ELMMED " + number(e.diameter) + " " + number(e.upper_tolerance) + " " +
                           number(e.bubble_size) + " " + std::to_string(e.bubble_count) + " " +
                           std::to_string(e.stress_birefringence) + " " +
                           std::to_string(e.further[0]) + " " + std::to_string(e.further[1]) + " " +
                           std::to_string(e.inhomogeneity) + " " + std::to_string(e.striae) + " " +
                           std::to_string(e.extra);
    // A lower tolerance of its own follows; without it the lower equals the upper.
    if (differ(e.lower_tolerance, e.upper_tolerance)) material += " " + number(e.lower_tolerance);
    lines.push_back(material);
    for (int k = 0; k < 2; ++k) {
        if (e.sides[k] != nullptr) side_lines(k + 1, *e.sides[k], d, lines);
    }
    return lines;
}

int cmd_set_element_defaults() {
    return set_defaults(current_command());
}

int cmd_set_element_data() {
    const int n = lens_data().current_surface;
    if (n < 0 || n > lens_data().image_surface) return kMsgNoCurrentSurface;
    const int command = current_command();
    if (command != kCmdTitle && command != kCmdMaterial && arg_int(0) != 1 && arg_int(0) != 2) {
        return set_error_msg(kMsgElementSideNumber, arg_int(0));
    }
    SurfaceRecord& s = surface(n);
    const int rc = new_element_drawing(s);
    if (rc != 0) return rc;
    ElementDrawing& e = *s.element_drawing;
    switch (command) {
        case kCmdTitle:
            copy_text(e.title, sizeof e.title, arg_text(0));
            copy_text(e.number, sizeof e.number, arg_text(1));
            copy_text(e.date, sizeof e.date, arg_text(2));
            e.marked = low8(3);
            return 0;
        case kCmdMaterial:
            e.diameter = arg_double(0);
            e.upper_tolerance = arg_double(1);
            e.bubble_size = arg_double(2);
            e.bubble_count = low16(3);
            e.stress_birefringence = low16(4);
            e.further[0] = low16(5);
            e.further[1] = low16(6);
            e.inhomogeneity = low8(7);
            e.striae = low8(8);
            e.extra = low8(9);
            e.lower_tolerance = arg_double(10) < 0.0 ? e.upper_tolerance : arg_double(10);
            return 0;
        default:
            return set_side(e, command);
    }
}

bool is_element_start(int n) {
    const LensData& lens = lens_data();
    const int image = lens.image_surface;
    if (n < 0 || n > image) return false;
    const SurfaceRecord& s = surface(n);
    if (s.conic != 0.0 || s.asphere_term != 0.0 || has_special_data(s)) return false;
    if (s.group_kind == kGroupNonSequential && s.group_role != kRoleLast) {
        return n < image && s.element_number != 0 &&
               s.element_number == surface(n + 1).element_number;
    }
    if (n == 0 || n >= image - 1) return false;
    if (s.medium_kind == kMediumAir || s.medium_kind == kMediumMirror) return false;
    if (s.index == nullptr || s.index[0] == 1.0) return false;
    return !has_special_data(surface(n + 1));
}

void drop_element_drawings(int all) {
    const int image = lens_data().image_surface;
    for (int n = 0; n <= image; ++n) {
        SurfaceRecord& s = surface(n);
        if (s.element_drawing != nullptr && (all != 0 || !is_element_start(n))) {
            free_element_drawing(s);
        }
    }
}

int cmd_delete_element_drawings() {
    platform::MessageBoxRequest request;
    request.text = msg_text(kMsgDeleteElementDrawings);
    request.title = msg_text(kMsgQuestionCaption);
    request.buttons = platform::MessageButtons::yes_no;
    request.icon = platform::MessageIcon::question;
    request.default_answer = platform::MessageAnswer::no;
    platform::UiBackend* ui = platform::current_ui();
    if (ui != nullptr && ui->message_box(request) == platform::MessageAnswer::yes) {
        drop_element_drawings(1);
    }
    return 0;
}

void install_element_drawings() {
    set_handler(kSlotDeleteElementDrawings, cmd_delete_element_drawings);
    set_handler(kSlotSetElementDefaults, cmd_set_element_defaults);
    set_handler(kSlotSetElementData, cmd_set_element_data);
    surface_record_freers().free_element_drawing = free_element_drawing_record;
    set_element_drawing_writer(element_drawing_lines);
}
