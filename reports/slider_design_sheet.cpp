// The slider design sheet: the two sides' kinds, surfaces, values and half ranges, the analysis
// of window 8 with its fields and scale, and how the sliders redraw. Accepting it opens the
// windows; it keeps no copy of the lens, because the sliders change the lens itself.
#include <cmath>
#include <cstdio>

#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "reports/slider_design.h"
#include "runtime/command_levels.h"
#include "runtime/dispatch.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/lens_setup.h"
#include "ui/grid_cells.h"
#include "ui/sheet_kit.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr int kSheetRows = 14;
constexpr int kItemBits = kGridFieldIdMask;
constexpr int kDisabled = kGridDisabledBit;

// Cells and choices of the sheet.
enum SheetItem : int {
    kItemSurfaceA = 201,
    kItemSurfaceB = 202,
    kItemValueA = 301,
    kItemValueB = 302,
    kItemHalfRangeA = 401,
    kItemHalfRangeB = 402,
    kItemAllFields = 501,
    kItemFieldFraction = 502,
    kItemOneField = 503,
    kItemScale = 601,
    kItemLive = 611,
    kItemOnRelease = 612,
};

struct SliderSheetState {
    SheetKit kit{0, slider_design_sheet};
};

SliderSheetState& sheet_state() {
    static SliderSheetState s;
    return s;
}

void reset_slider_sheet() {
    sheet_state() = SliderSheetState{};
}

const platform::StateReset slider_design_sheet_state_reset{
    "reports/slider_design_sheet", reset_slider_sheet, platform::ResetLayer::feature};

void choice(int item, int index, bool marked, bool disabled, int message) {
    text_hotspot_msg(item | (disabled ? kDisabled : 0), index, marked ? 1 : 0, message);
    write_output_text(" ", false);
}

void side_cells(int side) {
    const SliderDesignState& st = slider_design_state();
    const bool a = side == 0;
    sheet_label(kMsgSliderSurfaceLabel);
    text_hotspot(a ? kItemSurfaceA : kItemSurfaceB, 0);
    char number[16];
    std::snprintf(number, sizeof number, " %2d ", a ? st.surface_a : st.surface_b);
    write_output_text(number, false);
    text_spaces(7);
    sheet_label(kMsgSliderValueLabel);
    sheet_number_cell(a ? kItemValueA : kItemValueB, 0, a ? st.value_a : st.value_b);
    text_spaces(3);
    sheet_label(kMsgSliderHalfRangeLabel);
    sheet_number_cell(a ? kItemHalfRangeA : kItemHalfRangeB, 0,
                      a ? st.half_range_a : st.half_range_b);
    text_newline();
}

// The value a side's kind reads from the lens, when the surface still allows it; a side the
// lens no longer allows keeps its value and says why.
void read_side(int side) {
    SliderDesignState& st = slider_design_state();
    const int kind = side == 0 ? st.kind_a : st.kind_b;
    const int n = side == 0 ? st.surface_a : st.surface_b;
    int argument = 0;
    if (const int message = slider_refusal(kind, n, &argument); message != 0) {
        status_msg(message, argument);
        return;
    }
    (side == 0 ? st.value_a : st.value_b) = slider_lens_value(kind, n);
}

int rewrite() {
    return sheet_rewrite(sheet_state().kit);
}

// After a choice or a number: the lens brought up to date and the sheet written again; the
// change's own refusal comes first.
int after_change(int rc) {
    const int setup = lens_setup_or_error();
    rewrite();
    return rc != 0 ? rc : setup;
}

int choose_kind(int side, int kind) {
    if (kind < 0 || kind >= kSliderKinds || side < 0 || side > 1) return 0;
    SliderDesignState& st = slider_design_state();
    const int n = side == 0 ? st.surface_a : st.surface_b;
    if (const int rc = slider_check_surface(kind, n); rc != 0) return rc;
    (side == 0 ? st.kind_a : st.kind_b) = kind;
    (side == 0 ? st.value_a : st.value_b) = slider_lens_value(kind, n);
    return 0;
}

int picked(const GridEvent& event) {
    SliderDesignState& st = slider_design_state();
    const int item = event.field & kItemBits;
    if (item >= kSliderCurvature && item < kSliderKinds) {
        return choose_kind(event.first_index, item);
    }
    if (item >= kSliderAnalysisFans && item <= kSliderAnalysisNone) {
        st.analysis_kind = item;
        return 0;
    }
    switch (item) {
        case kItemAllFields:
            st.one_field = 0;
            break;
        case kItemOneField:
            st.one_field = 1;
            break;
        case kItemLive:
            st.slider_flag = 1;
            break;
        case kItemOnRelease:
            st.slider_flag = 0;
            break;
        default:
            break;
    }
    return 0;
}

int surface_entered(int side, double typed) {
    SliderDesignState& st = slider_design_state();
    const int image = lens_data().image_surface;
    if (!(typed >= 0.0 && typed <= image)) return set_error_msg(kMsgSliderSurfaceRange, image);
    const int n = static_cast<int>(typed);
    const int kind = side == 0 ? st.kind_a : st.kind_b;
    if (const int rc = slider_check_surface(kind, n); rc != 0) return rc;
    (side == 0 ? st.surface_a : st.surface_b) = n;
    (side == 0 ? st.value_a : st.value_b) = slider_lens_value(kind, n);
    return 0;
}

int number_entered(const GridEvent& event) {
    SliderDesignState& st = slider_design_state();
    double v = 0.0;
    if (event.value_type == kGridValueInt) {
        v = event.value.i;
    } else if (event.value_type == kGridValueDouble) {
        v = event.value.d;
    } else {
        return 0;
    }
    if (!std::isfinite(v)) return 0;
    switch (event.field & kItemBits) {
        case kItemSurfaceA:
            return surface_entered(0, v);
        case kItemSurfaceB:
            return surface_entered(1, v);
        case kItemValueA:
            st.value_a = v;
            break;
        case kItemValueB:
            st.value_b = v;
            break;
        case kItemHalfRangeA:
            st.half_range_a = std::fabs(v);
            break;
        case kItemHalfRangeB:
            st.half_range_b = std::fabs(v);
            break;
        case kItemFieldFraction:
            if (std::fabs(v) <= 1.0) {
                st.field_fraction = v;
            } else {
                // Nothing beyond the full field can be traced: the user hears that it was not
                // taken instead of seeing the old value come back unexplained.
                status_msg(kMsgSliderValueIgnored, format_number(st.field_fraction, 2, 0));
            }
            break;
        case kItemScale:
            st.analysis_scale = std::fabs(v);
            break;
        default:
            break;
    }
    return 0;
}

int cell_text(GridEvent& event) {
    const SliderDesignState& st = slider_design_state();
    char text[40];
    switch (event.field & kItemBits) {
        case kItemSurfaceA:
        case kItemSurfaceB:
            std::snprintf(text, sizeof text, "%d",
                          (event.field & kItemBits) == kItemSurfaceA ? st.surface_a : st.surface_b);
            sheet_edit_text(event, text);
            return 0;
        case kItemValueA:
            sheet_edit_text(event, format_number(st.value_a, 2, 0));
            return 0;
        case kItemValueB:
            sheet_edit_text(event, format_number(st.value_b, 2, 0));
            return 0;
        case kItemHalfRangeA:
            sheet_edit_text(event, format_number(st.half_range_a, 2, 0));
            return 0;
        case kItemHalfRangeB:
            sheet_edit_text(event, format_number(st.half_range_b, 2, 0));
            return 0;
        case kItemFieldFraction:
            sheet_edit_text(event, format_number(st.field_fraction, 2, 0));
            return 0;
        case kItemScale:
            sheet_edit_text(event, format_number(st.analysis_scale, 2, 0));
            return 0;
        default:
            return 0;
    }
}

int shown() {
    if (const int rc = lens_setup_or_error(); rc != 0) {
        end_command_level();
        return rc;
    }
    read_side(0);
    read_side(1);
    return 0;
}

int typed(const char* /*line*/, const GridEvent& event) {
    const int rc = sheet_run_line(event);
    return sheet_shown_after_line(rc) ? rewrite() : rc;
}

int activated(const GridEvent& event) {
    return after_change(picked(event));
}

int edited(const GridEvent& event) {
    return after_change(number_entered(event));
}

int otherwise(GridEvent& /*event*/) {
    return after_change(0);
}

int level_changed(int end_mode) {
    const int rc = sheet_close(sheet_state().kit, end_mode);
    if (end_mode == 1) return rc;
    clear_state_flag(kFlagSingleCommandUpdate);
    if (rc != 0 || end_mode != 0) return rc;
    // Accepted: the windows open when there is a slider to show.
    const SliderDesignState& st = slider_design_state();
    if (!(std::fabs(st.half_range_a) >= kTiny) && !(std::fabs(st.half_range_b) >= kTiny)) {
        return kMsgSliderNoRange;
    }
    return open_slider_windows();
}

// The sheet keeps no copy; accepting it opens the windows, and their refusal is the close's
// result.
const SheetEvents kEvents{
    .opening = shown,
    .cell_text = cell_text,
    .edited = edited,
    .activated = activated,
    .typed = typed,
    .other = otherwise,
    .closing = level_changed,
};

}  // namespace

void slider_kind_choices(int side) {
    const SliderDesignState& st = slider_design_state();
    sheet_label(side == 0 ? kMsgSliderSideAHeading : kMsgSliderSideBHeading);
    static constexpr int kMessages[kSliderKinds] = {kMsgSliderKindCurvature,
                                                    kMsgSliderKindThickness, kMsgSliderKindIndex,
                                                    kMsgSliderKindTilt, kMsgSliderKindDecentre};
    const int current = side == 0 ? st.kind_a : st.kind_b;
    for (int k = 0; k < kSliderKinds; ++k) {
        choice(k, side, k == current, st.available[k] == 0, kMessages[k]);
    }
    text_newline();
}

void slider_design_sheet() {
    sheet_set_title(-kHelpTopicSliderDesignSheet, kMsgSliderDesignTitle);
    slider_kind_availability();
    const SliderDesignState& st = slider_design_state();
    slider_kind_choices(0);
    side_cells(0);
    slider_kind_choices(1);
    side_cells(1);

    const int kind = st.analysis_kind;
    sheet_label(kMsgSliderAnalysisHeading);
    choice(kSliderAnalysisNone, 0, kind == kSliderAnalysisNone, false, kMsgSliderAnalysisNone);
    text_newline();
    choice(kSliderAnalysisFans, 0, kind == kSliderAnalysisFans, false, kMsgSliderAnalysisFans);
    choice(kSliderAnalysisOpd, 0, kind == kSliderAnalysisOpd, false, kMsgSliderAnalysisOpd);
    choice(kSliderAnalysisSpot, 0, kind == kSliderAnalysisSpot, false, kMsgSliderAnalysisSpot);
    text_newline();
    choice(kSliderAnalysisLongitudinal, 0, kind == kSliderAnalysisLongitudinal, false,
           kMsgSliderAnalysisLongitudinal);
    text_newline();

    // Fields mean nothing to the analyses of the whole field, nor to none.
    const bool no_fields = kind == kSliderAnalysisAstigmatism ||
                           kind == kSliderAnalysisLongitudinal || kind == kSliderAnalysisNone;
    choice(kItemAllFields, 0, st.one_field == 0, no_fields, kMsgSliderAllFields);
    sheet_label(kMsgSliderFieldLabel);
    const int field_code = kItemFieldFraction | (no_fields || st.one_field == 0 ? kDisabled : 0);
    sheet_number_cell(field_code, 0, st.field_fraction);
    text_spaces(2);
    choice(kItemOneField, 0, st.one_field != 0, no_fields, kMsgSliderOneField);
    text_newline();
    sheet_label(kMsgSliderScaleLabel);
    sheet_number_cell(kItemScale | (kind == kSliderAnalysisNone ? kDisabled : 0), 0,
                      st.analysis_scale);
    text_newline();
    sheet_label(kMsgSliderModeHeading);
    choice(kItemLive, 0, st.slider_flag != 0, false, kMsgSliderModeLive);
    choice(kItemOnRelease, 0, st.slider_flag == 0, false, kMsgSliderModeReleased);
    text_newline();
}

int slider_design_event(GridEvent& event) {
    return sheet_dispatch(sheet_state().kit, kEvents, event);
}

int cmd_open_slider_design() {
    return sheet_push(slider_design_event, kSheetRows, kMsgSliderDesignPrompt);
}
