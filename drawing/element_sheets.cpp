#include "drawing/element_sheets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "drawing/element_drawing.h"
#include "drawing/iso_drawing.h"
#include "lens/lens_data.h"
#include "lens/lens_file_format.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "ui/grid_cells.h"
#include "ui/sheet_kit.h"

namespace {

constexpr int kItemBits = 0x0fff;

void print_element_sheet();
void print_side_sheet();
void print_defaults_sheet();

struct ElementSheetsState {
    SheetKit element{.revert_message = kMsgElementRevertCopy,
                     .print = print_element_sheet,
                     .state_flag = kFlagElementSheet};
    SheetKit side{0, print_side_sheet};
    SheetKit defaults{0, print_defaults_sheet};
    int surface = -1;         // the element's first surface
    int side_index = 0;       // the side the side sheet shows (0 left, 1 right)
    bool grown_mark = false;  // the element diameter grew when the sheet opened
    // What Cancel gives back in the sheets that keep no lens copy.
    ElementSide side_before{};
    ElementDrawingDefaults defaults_before{};
};

ElementSheetsState& state() {
    static ElementSheetsState s;
    return s;
}

const platform::StateReset element_sheets_state_reset{
    "drawing/element_sheets", reset_element_sheets, platform::ResetLayer::feature};

ElementDrawing* element() {
    const int n = state().surface;
    if (n < 0 || n > lens_data().image_surface) return nullptr;
    return surface(n).element_drawing;
}

// The record's block of the side the side sheet shows: the geometry's left side is the
// record's first block unless the element is turned round.
ElementSide* shown_side() {
    ElementDrawing* e = element();
    if (e == nullptr) return nullptr;
    const ElementGeometry& g = element_geometry();
    const bool swapped = g.sides[0].surface != g.first;
    return e->sides[swapped ? 1 - state().side_index : state().side_index];
}

int record_side_number() {
    const ElementGeometry& g = element_geometry();
    const bool swapped = g.sides[0].surface != g.first;
    return (swapped ? 1 - state().side_index : state().side_index) + 1;
}

std::string number_text(double v) {
    return shortest_number_text(v);
}

std::string text_of(const char* field, std::size_t size) {
    return std::string(field, strnlen(field, size));
}

// The arguments of an element command as the record holds them now.
std::vector<std::string> current_arguments(int command) {
    std::vector<std::string> a;
    if (command >= kCmdElmdf1 && command <= kCmdElmdf3) {
        const ElementDrawingDefaults& d = lens_data().element_drawing_defaults;
        if (command == kCmdElmdf1) {
            for (const double v : d.values) a.push_back(number_text(v));
        } else if (command == kCmdElmdf2) {
            for (const auto v : d.integers) a.push_back(std::to_string(v));
            for (const auto v : d.small) a.push_back(std::to_string(v));
        } else {
            for (const auto& t : d.texts) a.push_back(quote_lens_text(text_of(t, sizeof t)));
        }
        return a;
    }
    const ElementDrawing* e = element();
    if (e == nullptr) return a;
    if (command == kCmdElmttl) {
        a = {quote_lens_text(text_of(e->title, sizeof e->title)),
             quote_lens_text(text_of(e->number, sizeof e->number)),
             quote_lens_text(text_of(e->date, sizeof e->date)), std::to_string(e->marked)};
        return a;
    }
    if (command == kCmdElmmed) {
        a = {number_text(e->diameter),
             number_text(e->upper_tolerance),
             number_text(e->bubble_size),
             std::to_string(e->bubble_count),
             std::to_string(e->stress_birefringence),
             std::to_string(e->further[0]),
             std::to_string(e->further[1]),
             std::to_string(e->inhomogeneity),
             std::to_string(e->striae),
             std::to_string(e->extra),
             number_text(e->lower_tolerance)};
        return a;
    }
    const ElementSide* s = shown_side();
    if (s == nullptr) return a;
    a.push_back(std::to_string(record_side_number()));
    switch (command) {
        case kCmdElmsf1:
            // Kept as they stand (the final 1): the sheet edits the stored pair itself.
            for (const std::string& v : {number_text(s->pair[0]), number_text(s->pair[1]),
                                         number_text(s->imperfection_size),
                                         std::to_string(s->imperfection_count), std::string("1")}) {
                a.push_back(v);
            }
            break;
        case kCmdElmsf2:
            a.push_back(number_text(s->edge_chip));
            a.push_back(number_text(s->irregularity));
            for (const double r : s->rms) a.push_back(number_text(r));
            break;
        case kCmdElmsf3:
            for (const std::string& v :
                 {number_text(s->scratch_width), number_text(s->coating_size),
                  std::to_string(s->scratch_count), std::to_string(s->coating_count),
                  std::to_string(s->flags[0]), std::to_string(s->flags[1]),
                  std::to_string(s->further[0]), std::to_string(s->further[1])}) {
                a.push_back(v);
            }
            break;
        case kCmdElmsf4:
            a.push_back(quote_lens_text(text_of(s->note, sizeof s->note)));
            a.push_back(quote_lens_text(text_of(s->text, sizeof s->text)));
            break;
        default:
            a.clear();
            break;
    }
    return a;
}

const char* command_keyword(int command) {
    switch (command) {
        case kCmdElmdf1:
            return "ELMDF1";
        case kCmdElmdf2:
            return "ELMDF2";
        case kCmdElmdf3:
            return "ELMDF3";
        case kCmdElmttl:
            return "ELMTTL";
        case kCmdElmmed:
            return "ELMMED";
        case kCmdElmsf1:
            return "ELMSF1";
        case kCmdElmsf2:
            return "ELMSF2";
        case kCmdElmsf3:
            return "ELMSF3";
        case kCmdElmsf4:
            return "ELMSF4";
        default:
            return nullptr;
    }
}

bool text_argument(int command, int index) {
    return (command == kCmdElmttl && index <= 2) || command == kCmdElmdf3 ||
           (command == kCmdElmsf4 && index >= 1);
}

bool whole_argument(int command, int index) {
    switch (command) {
        case kCmdElmdf2:
            return true;
        case kCmdElmttl:
            return index == 3;
        case kCmdElmmed:
            return index >= 3 && index <= 9;
        case kCmdElmsf1:
            return index == 4;
        case kCmdElmsf3:
            return index >= 3;
        default:
            return false;
    }
}

// Runs an element command with the element's first surface current, and the surface that was
// current given back whatever the command does.
int run_with_element_current(const std::string& line) {
    LensData& l = lens_data();
    const int saved = l.current_surface;
    if (state().surface >= 0) l.current_surface = state().surface;
    const bool was_update = test_state_flag(kFlagSingleCommandUpdate) != 0;
    set_state_flag(kFlagSingleCommandUpdate);
    const int rc = run_command_string(line.c_str(), 0);
    if (!was_update) clear_state_flag(kFlagSingleCommandUpdate);
    lens_data().current_surface = saved;
    return rc;
}

// A value typed into a cell: the cell's command run with it in place of the argument.
int value_entered(const GridEvent& event, const SheetKit& kit) {
    const int command = event.field & kItemBits;
    const int index = event.first_index;
    const char* keyword = command_keyword(command);
    std::vector<std::string> args = current_arguments(command);
    if (keyword == nullptr || index < 0 || index >= static_cast<int>(args.size())) {
        return sheet_rewrite(kit);
    }
    std::string value;
    if (text_argument(command, index)) {
        const char* text = sheet_event_text(event);
        value = quote_lens_text(text != nullptr ? text : "");
    } else {
        double v = 0.0;
        if (event.value_type == kArgInt) {
            v = event.value.i;
        } else if (event.value_type == kArgDouble) {
            v = event.value.d;
        } else {
            const char* text = sheet_event_text(event);
            char* end = nullptr;
            v = text != nullptr ? std::strtod(text, &end) : 0.0;
            if (text == nullptr || end == text)
                return set_error_msg(kMsgBadValue, text ? text : "");
        }
        if (!std::isfinite(v)) return sheet_rewrite(kit);
        if (whole_argument(command, index)) {
            if (v < 0.0 || v > 65535.0) {
                return set_error_msg(kMsgBadValue, number_text(v).c_str());
            }
            value = std::to_string(static_cast<int>(v));
        } else {
            value = number_text(v);
        }
        if (command == kCmdElmmed && index == 0) {
            const ElementGeometry& g = element_geometry();
            const double full = std::max(g.sides[0].full_diameter, g.sides[1].full_diameter);
            if (v < full) {
                return set_error_msg(kMsgElementDiameterSmall, element_number_text(v).c_str(),
                                     element_number_text(full).c_str());
            }
        }
    }
    args[static_cast<std::size_t>(index)] = value;
    std::string line = keyword;
    for (const std::string& a : args) line += " " + a;
    const int rc = run_with_element_current(line);
    if (rc != 0) return rc;
    return sheet_rewrite(kit);
}

// The text a cell offers for editing.
int cell_text(GridEvent& event) {
    const int command = event.field & kItemBits;
    const int index = event.first_index;
    const std::vector<std::string> args = current_arguments(command);
    if (index < 0 || index >= static_cast<int>(args.size())) return 0;
    std::string t = args[static_cast<std::size_t>(index)];
    if (text_argument(command, index) && t.size() >= 2 && t.front() == '"') {
        t = t.substr(1, t.size() - 2);
    }
    sheet_edit_text(event, t.c_str());
    return 0;
}

void end_line() {
    text_newline();
}

// Line k of a message whose lines are the labels of one sheet.
void label_line(int message, int k) {
    sheet_text(sheet_message_line(message, k).c_str());
}

void number(int command, int index, double value) {
    sheet_number_cell(command, index, value);
}

void whole_cell(int command, int index, int value) {
    sheet_int_cell(command, index, value, 0);
}

void text_cell(int command, int index, const char* text, std::size_t size) {
    text_hotspot(kGridKindText | command, index);
    const std::string t = text_of(text, size);
    write_output_text(t.empty() ? " " : t.c_str(), false);
}

void print_element_sheet() {
    sheet_set_title(kNoHelpTopic, kMsgElementSheetTitle);
    const ElementDrawing* e = element();
    if (e == nullptr) return;
    const ElementGeometry& g = element_geometry();
    const int first = state().surface;
    text_printf(msg_text(kMsgElementSheetHeading), first, first + 1);
    end_line();
    const char* line_name = spectral_line_name(g.wavelength_nm);
    if (line_name != nullptr) {
        text_printf(msg_text(kMsgElementSheetGlassLine), g.glass.c_str(), line_name, g.index,
                    g.index_tolerance);
    } else {
        text_printf(msg_text(kMsgElementSheetGlassNm), g.glass.c_str(),
                    element_number_text(g.wavelength_nm).c_str(), g.index, g.index_tolerance);
    }
    end_line();
    label_line(kMsgElementSheetLabels, 0);
    text_cell(kCmdElmttl, 0, e->title, sizeof e->title);
    end_line();
    label_line(kMsgElementSheetLabels, 1);
    text_cell(kCmdElmttl, 1, e->number, sizeof e->number);
    sheet_text("  ");
    label_line(kMsgElementSheetLabels, 2);
    text_cell(kCmdElmttl, 2, e->date, sizeof e->date);
    end_line();
    label_line(kMsgElementSheetLabels, 3);
    number(kCmdElmmed, 0, e->diameter);
    sheet_text("   + ");
    number(kCmdElmmed, 1, e->upper_tolerance);
    sheet_text("   - ");
    number(kCmdElmmed, 10, e->lower_tolerance);
    end_line();
    label_line(kMsgElementSheetLabels, 4);
    sheet_inactive_number(0, 0, g.thickness);
    sheet_text("   + ");
    sheet_inactive_number(0, 1, g.thickness_tolerance);
    sheet_text("   - ");
    sheet_inactive_number(0, 2, g.thickness_tolerance);
    end_line();
    label_line(kMsgElementSheetLabels, 5);
    whole_cell(kCmdElmmed, 4, e->stress_birefringence);
    end_line();
    label_line(kMsgElementSheetLabels, 6);
    whole_cell(kCmdElmmed, 3, e->bubble_count);
    sheet_text(" x ");
    number(kCmdElmmed, 2, e->bubble_size);
    end_line();
    label_line(kMsgElementSheetLabels, 7);
    whole_cell(kCmdElmmed, 7, e->inhomogeneity);
    sheet_text(" ; ");
    whole_cell(kCmdElmmed, 8, e->striae);
    end_line();
    label_line(kMsgElementSheetLabels, 8);
    sheet_button(kGridKindButton | kElementButtonLeft, 0, 'L');
    text_printf(" %d ", g.sides[0].surface);
    sheet_button(kGridKindButton | kElementButtonRight, 0, 'R');
    text_printf(" %d ", g.sides[1].surface);
    end_line();
    text_hotspot(kGridKindButton | kElementButtonDefaults, 0);
    label_line(kMsgElementSheetLabels, 9);
    sheet_text("  ");
    text_hotspot(kGridKindButton | kElementButtonDelete, 0);
    label_line(kMsgElementSheetLabels, 10);
    end_line();
}

void print_side_sheet() {
    sheet_set_title(kNoHelpTopic, kMsgElementSideTitle);
    const ElementSide* s = shown_side();
    if (s == nullptr) return;
    const ElementSideGeometry& g = element_geometry().sides[state().side_index];
    text_printf(msg_text(kMsgElementSideHeading), g.surface);
    end_line();
    label_line(kMsgElementSideLabels, 0);
    if (g.radius == 0.0) {
        sheet_text("  <infinite>");
    } else {
        sheet_inactive_number(0, 0, g.radius);
        sheet_text("  +/-");
        sheet_inactive_number(0, 1, g.radius_tolerance);
    }
    end_line();
    label_line(kMsgElementSideLabels, 1);
    text_printf(" P%c ", state().side_index == 0 ? 'A' : 'B');
    end_line();
    label_line(kMsgElementSideLabels, 2);
    number(kCmdElmsf1, 1, s->pair[0]);
    sheet_text("  ");
    number(kCmdElmsf1, 2, s->pair[1]);
    end_line();
    label_line(kMsgElementSideLabels, 3);
    whole_cell(kCmdElmsf1, 4, s->imperfection_count);
    sheet_text(" x ");
    number(kCmdElmsf1, 3, s->imperfection_size);
    end_line();
    label_line(kMsgElementSideLabels, 4);
    whole_cell(kCmdElmsf3, 4, s->coating_count);
    sheet_text(" x ");
    number(kCmdElmsf3, 2, s->coating_size);
    end_line();
    label_line(kMsgElementSideLabels, 5);
    whole_cell(kCmdElmsf3, 3, s->scratch_count);
    sheet_text(" x ");
    number(kCmdElmsf3, 1, s->scratch_width);
    end_line();
    label_line(kMsgElementSideLabels, 6);
    number(kCmdElmsf2, 1, s->edge_chip);
    end_line();
    label_line(kMsgElementSideLabels, 7);
    number(kCmdElmsf2, 2, s->irregularity);
    end_line();
    label_line(kMsgElementSideLabels, 8);
    for (int k = 0; k < 3; ++k) {
        number(kCmdElmsf2, 3 + k, s->rms[k]);
        sheet_text("  ");
    }
    end_line();
    label_line(kMsgElementSideLabels, 9);
    text_cell(kCmdElmsf4, 1, s->note, sizeof s->note);
    end_line();
    label_line(kMsgElementSideLabels, 10);
    text_cell(kCmdElmsf4, 2, s->text, sizeof s->text);
    end_line();
}

void print_defaults_sheet() {
    sheet_set_title(kNoHelpTopic, kMsgElementDefaultsTitle);
    const ElementDrawingDefaults& d = lens_data().element_drawing_defaults;
    for (int k = 0; k < 6; ++k) {
        label_line(kMsgElementDefaultsLabels, k);
        number(kCmdElmdf1, k, d.values[k]);
        end_line();
    }
    label_line(kMsgElementDefaultsLabels, 6);
    for (int k = 0; k < 6; ++k) {
        whole_cell(kCmdElmdf2, k, d.integers[k]);
        sheet_text(" ");
    }
    for (int k = 0; k < 3; ++k) {
        whole_cell(kCmdElmdf2, 6 + k, d.small[k]);
        sheet_text(" ");
    }
    end_line();
    label_line(kMsgElementDefaultsLabels, 7);
    text_cell(kCmdElmdf3, 0, d.texts[0], sizeof d.texts[0]);
    end_line();
    label_line(kMsgElementDefaultsLabels, 8);
    text_cell(kCmdElmdf3, 1, d.texts[1], sizeof d.texts[1]);
    end_line();
}

int typed(const char* text, const SheetKit& kit) {
    const int rc = run_with_element_current(text);
    if (rc != 0) return rc;
    return sheet_rewrite(kit);
}

int open_side_sheet(int side) {
    state().side_index = side;
    const ElementSide* s = shown_side();
    if (s == nullptr) return 0;
    state().side_before = *s;
    const int rc = push_command_level(side_sheet_event, kSideSheetRows, 0);
    if (rc == 0) set_level_prompt(msg_text(kMsgElementSidePrompt));
    return rc;
}

int open_defaults_sheet() {
    state().defaults_before = lens_data().element_drawing_defaults;
    return push_command_level(element_defaults_event, kElementDefaultsRows, 0);
}

// Button 17: the element's record deleted after a yes; the sheet closes.
int delete_pressed() {
    const int first = state().surface;
    char range[32];
    std::snprintf(range, sizeof range, "%d - %d", first, first + 1);
    platform::MessageBoxRequest request;
    const FormatArg args[] = {FormatArg(range)};
    request.text = format_message(kMsgElementDeleteQuestion, args);
    request.title = msg_text(kMsgQuestionCaption);
    request.buttons = platform::MessageButtons::yes_no;
    request.icon = platform::MessageIcon::question;
    request.default_answer = platform::MessageAnswer::no;
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr || ui->message_box(request) != platform::MessageAnswer::yes) {
        msg_box(kMsgElementDrawingKept);
        return sheet_rewrite(state().element);
    }
    if (first >= 0 && first <= lens_data().image_surface) free_element_drawing(surface(first));
    end_command_level();
    return 0;
}

int element_button(const GridEvent& event) {
    switch (event.field & kItemBits) {
        case kElementButtonLeft:
            return open_side_sheet(0);
        case kElementButtonRight:
            return open_side_sheet(1);
        case kElementButtonDefaults:
            return open_defaults_sheet();
        case kElementButtonDelete:
            return delete_pressed();
        default:
            return sheet_rewrite(state().element);
    }
}

int element_opening() {
    ElementSheetsState& st = state();
    if (st.grown_mark) {
        st.grown_mark = false;
        const ElementDrawing* e = element();
        msg_box(kMsgElementDiameterGrown,
                element_number_text(e != nullptr ? e->diameter : 0.0).c_str());
    }
    set_state_flag(kFlagElementSheet);
    if (element() != nullptr) compute_element_geometry(st.surface);
    return 0;
}

int element_edited(const GridEvent& event) {
    ElementSheetsState& st = state();
    const int rc = value_entered(event, st.element);
    if (element() != nullptr) compute_element_geometry(st.surface);
    if (rc == 0) return sheet_rewrite(st.element);
    return rc;
}

// OK draws the element as it was left.
void element_left(int end_mode) {
    ElementSheetsState& st = state();
    if (end_mode == 0 && element() != nullptr && is_element_start(st.surface)) {
        compute_element_geometry(st.surface);
        status_msg(draw_element_drawing());
    }
}

// The sheets without a lens copy: Cancel gives back what they showed when they opened; the
// element sheet below still edits in update mode.
void small_sheet_left() {
    if (test_state_flag(kFlagElementSheet) == 0) clear_state_flag(kFlagSingleCommandUpdate);
}

void side_leaving(int end_mode) {
    if (end_mode != -1) return;
    if (ElementSide* s = shown_side()) *s = state().side_before;
}

void defaults_leaving(int end_mode) {
    if (end_mode == -1) lens_data().element_drawing_defaults = state().defaults_before;
}

const SheetEvents kElementEvents{
    .opening = element_opening,
    .left = element_left,
    .cell_text = cell_text,
    .edited = element_edited,
    .activated = element_button,
    .typed = [](const char* line, const GridEvent&) { return typed(line, state().element); },
};

const SheetEvents kSideEvents{
    .leaving = side_leaving,
    .left = [](int) { small_sheet_left(); },
    .keeps_update_mode = true,
    .cell_text = cell_text,
    .edited = [](const GridEvent& event) { return value_entered(event, state().side); },
    .typed = [](const char* line, const GridEvent&) { return typed(line, state().side); },
};

const SheetEvents kDefaultsEvents{
    .leaving = defaults_leaving,
    .left = [](int) { small_sheet_left(); },
    .keeps_update_mode = true,
    .cell_text = cell_text,
    .edited = [](const GridEvent& event) { return value_entered(event, state().defaults); },
    .typed = [](const char* line, const GridEvent&) { return typed(line, state().defaults); },
};

}  // namespace

int open_element_sheet(int n) {
    ElementSheetsState& st = state();
    const LensData& l = lens_data();
    if (n < 0 || n > l.image_surface) return set_error_msg(kMsgElementNoSurface, n);
    if (!is_element_start(n)) return set_error_msg(kMsgElementNotStart, n);
    SurfaceRecord& s = surface(n);
    const bool had = s.element_drawing != nullptr;
    if (test_state_flag(kFlagElementSheet) == 0) sheet_take_copy(st.element);
    const int rc = new_element_drawing(s);
    if (rc != 0) {
        sheet_release_copy(st.element, 0);
        return rc;
    }
    st.surface = n;
    const bool grew = compute_element_geometry(n);
    if (had) {
        st.grown_mark = st.grown_mark || grew;
    } else {
        element_class_defaults(*s.element_drawing);
    }
    return push_command_level(element_sheet_event, kElementSheetRows, 0);
}

int cmd_open_element_sheet() {
    return open_element_sheet(arg_int(0));
}

int cmd_open_element_defaults_sheet() {
    return open_defaults_sheet();
}

int element_sheet_event(GridEvent& event) {
    return sheet_dispatch(state().element, kElementEvents, event);
}

int side_sheet_event(GridEvent& event) {
    return sheet_dispatch(state().side, kSideEvents, event);
}

int element_defaults_event(GridEvent& event) {
    return sheet_dispatch(state().defaults, kDefaultsEvents, event);
}

void reset_element_sheets() {
    ElementSheetsState& s = state();
    // A fresh run holds no copy: the one this sheet counted goes.
    sheet_release_copy(s.element, 0);
    s = ElementSheetsState{};
}

void install_element_sheets() {
    set_handler(kSlotOpenElementSheet, cmd_open_element_sheet);
    set_handler(kSlotOpenElementDefaultsSheet, cmd_open_element_defaults_sheet);
}
