#include "entry/wavelength_sheet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "entry/grin_prepare.h"
#include "entry/surface_sheet.h"
#include "entry/wavelength_commands.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/level_help.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "trace/lens_setup.h"
#include "ui/grid_cells.h"
#include "ui/grid_control.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kOfferedWavelength = 0.54607;
constexpr double kLowestUsual = 0.24;
constexpr double kHighestUsual = 2.4;
constexpr int kHeaderRows = 2;

WavelengthSheetState g_sheet;

const platform::StateReset wavelength_sheet_state_reset{
    "entry/wavelength_sheet", reset_wavelength_sheet, platform::ResetLayer::feature};

LensData& lens() {
    return lens_data();
}

int count() {
    return lens().wavelengths != nullptr ? std::max(0, lens().wavelength_count) : 0;
}

// The rows an event covers, clamped to the table: false when none is left.
bool rows_of(const GridEvent& event, int* first, int* last) {
    const int a = event.first_index;
    const int b = event.first_index + event.range_rows;
    *first = std::max(0, std::min(a, b));
    *last = std::min(count() - 1, std::max(a, b));
    return *first <= *last;
}

void changed() {
    lens_flags().wavelengths_changed = 1;
    mark_lens_bounds_stale();
}

void warn_if_unusual(double w) {
    if (w < kLowestUsual || w > kHighestUsual) msg_box(kMsgWavelengthOutsideRange);
}

// Inserts the entries at position at (the following ones move up); the reference wavelength
// follows its entry.
void insert_entries(int at, const std::vector<WavelengthEntry>& entries) {
    LensData& l = lens();
    const int n = count();
    const int k = static_cast<int>(entries.size());
    for (int i = n - 1; i >= at; --i) l.wavelengths[i + k] = l.wavelengths[i];
    for (int i = 0; i < k; ++i) l.wavelengths[at + i] = entries[i];
    l.wavelength_count = n + k;
    if (l.current_wavelength >= at) l.current_wavelength += k;
}

// Removes rows first..last; a removed reference makes wavelength 1 the reference, a reference
// below them keeps its entry.
void remove_rows(int first, int last) {
    LensData& l = lens();
    for (int i = last; i >= first; --i) {
        const int n = count();
        for (int j = i; j < n - 1; ++j) l.wavelengths[j] = l.wavelengths[j + 1];
        l.wavelengths[n - 1] = WavelengthEntry{};
        l.wavelength_count = n - 1;
        if (l.current_wavelength == i) {
            l.current_wavelength = 0;
        } else if (l.current_wavelength > i) {
            --l.current_wavelength;
        }
    }
}

int insert_row(const GridEvent& event) {
    if (g_sheet.model_glass) {
        msg_box(kMsgModelGlassHoldsIndices);
        return 1;
    }
    if (count() >= max_wavelengths()) {
        msg_box(kMsgWavelengthTableFull, max_wavelengths());
        return 1;
    }
    int first = 0;
    int last = 0;
    int at = 0;
    if (rows_of(event, &first, &last)) {
        at = event.argument != 0 ? last + 1 : first;
    } else {
        at = std::clamp(event.first_index, 0, count());
    }
    const double w = std::fabs(get_setting_double(kSetWavelengthDefaults, 0, 0));
    const double g = std::fabs(get_setting_double(kSetWeightDefaults, 0, 0));
    WavelengthEntry e{};
    e.wavelength = w != 0.0 && w <= kMaxDefaultWavelength ? w : kInsertedWavelength;
    e.weight = g != 0.0 ? g : 1.0;
    insert_entries(at, {e});
    return 0;
}

// Removes the rows unless none would remain: 0, or 1 after the refusal.
int delete_rows(const GridEvent& event) {
    int first = 0;
    int last = 0;
    if (!rows_of(event, &first, &last)) return 1;
    if (count() - (last - first + 1) < 1) {
        msg_box(kMsgWavelengthsAllDeleted);
        return 1;
    }
    remove_rows(first, last);
    return 0;
}

void copy_rows(int first, int last) {
    g_sheet.clipboard.assign(lens().wavelengths + first, lens().wavelengths + last + 1);
}

int paste_rows(const GridEvent& event) {
    if (g_sheet.clipboard.empty()) return kMsgWavelengthClipboardEmpty;
    const int n = static_cast<int>(g_sheet.clipboard.size());
    if (count() + n > max_wavelengths())
        return set_error_msg(kMsgWavelengthTableFull, max_wavelengths());
    insert_entries(
        std::clamp(std::min(event.first_index, event.first_index + event.range_rows), 0, count()),
        g_sheet.clipboard);
    return 0;
}

void reverse_rows(const GridEvent& event) {
    int first = 0;
    int last = 0;
    if (!rows_of(event, &first, &last)) return;
    LensData& l = lens();
    const int reference = l.current_wavelength;
    if (reference >= first && reference <= last) l.current_wavelength = first + last - reference;
    std::reverse(l.wavelengths + first, l.wavelengths + last + 1);
}

// The value list's entry the row's wavelength is, or the green line.
double offered_wavelength(double w) {
    if (select_param_list(kParamStandardWavelengths) == 0) {
        for (int i = 0; i < value_list_count(); ++i) {
            const char* v = value_list_second(i);
            if (v != nullptr && std::fabs(std::atof(v) - w) < kTiny) return std::atof(v);
        }
    }
    return kOfferedWavelength;
}

int choose_wavelength(int row) {
    LensData& l = lens();
    ArgCell offered = double_cell(offered_wavelength(l.wavelengths[row].wavelength));
    set_param_default(kParamStandardWavelengths, &offered);
    ArgCell answer{};
    if (const int rc = prompt_param(kParamStandardWavelengths, &answer); rc != 0) return rc;
    const double w = std::fabs(answer.type == kArgInt ? answer.value.i : answer.value.d);
    if (w != 0.0) {
        l.wavelengths[row].wavelength = w;
        warn_if_unusual(w);
    }
    return 0;
}

// A value typed into a cell: 0, or 1 when nothing changed.
int value_entered(const GridEvent& event) {
    const int field = grid_entry_field(event.field);
    const int row = event.first_index;
    if (row < 0 || row >= count()) return 1;  // a cell of a row that is gone
    if (event.value_type != kGridValueDouble && event.value_type != kGridValueInt) return 1;
    const double v = event.value_type == kGridValueInt ? event.value.i : event.value.d;
    WavelengthEntry& e = lens().wavelengths[row];
    if (field == kFieldWavelengthCell) {
        if (g_sheet.model_glass) {
            msg_box(kMsgModelGlassHoldsIndices);
            return 1;
        }
        if (v <= 0.0) {
            msg_box(kMsgWavelengthNotPositive);
            return 1;
        }
        e.wavelength = v;
        warn_if_unusual(v);
        return 0;
    }
    if (field == kFieldWeightCell) {
        if (v < 0.0) {
            msg_box(kMsgNegativeWeight);
            return 1;
        }
        e.weight = v;
        return 0;
    }
    return 1;
}

int after_change() {
    changed();
    return sheet_after_change(g_sheet.kit);
}

// The rows cut or copied go whenever a level comes over the sheet or it ends; so do the
// gradient-index records' prepared coefficients, made again for the present wavelengths.
void leaving(int) {
    g_sheet.clipboard.clear();
    g_sheet.clipboard.shrink_to_fit();
    const int image = lens().image_surface;
    for (int n = 1; n < image; ++n) {
        if (surface(n).grin != nullptr) prepare_grin_record(n);
    }
}

int opening() {
    set_level_header_rows(kHeaderRows, 0, 0);
    if (!g_sheet.kit.kept) g_sheet.clipboard.clear();
    g_sheet.model_glass = model_glass_holds_indices();
    return 0;
}

int cell_text(GridEvent& event) {
    const int field = grid_entry_field(event.field);
    if ((field == kFieldWavelengthCell || field == kFieldWeightCell) && event.first_index >= 0 &&
        event.first_index < count()) {
        const WavelengthEntry& e = lens().wavelengths[event.first_index];
        sheet_edit_text(
            event, format_number(field == kFieldWavelengthCell ? e.wavelength : e.weight, 2, 0));
    }
    return 0;
}

int edited(const GridEvent& event) {
    if (value_entered(event) != 0) return sheet_rewrite(g_sheet.kit);
    return after_change();
}

int activated(const GridEvent& event) {
    const int field = grid_entry_field(event.field);
    const int row = event.first_index;
    if (row < 0 || row >= count()) return 0;
    if (field == kFieldReferenceWavelength) {
        lens().current_wavelength = row;
        return sheet_after_change(g_sheet.kit);
    }
    if (field != kFieldWavelengthCell) return 0;
    if (const int rc = choose_wavelength(row); rc != 0) return rc;
    return after_change();
}

int typed(const char*, const GridEvent& event) {
    const int rc = sheet_run_line(event);
    if (rc != 0) return rc;
    // A typed glass may be a model glass of its own indices.
    g_sheet.model_glass = model_glass_holds_indices();
    return after_change();
}

// A refusal keeps the sheet as it stands.
bool refused_by_model_glass() {
    if (g_sheet.model_glass) msg_box(kMsgModelGlassHoldsIndices);
    return g_sheet.model_glass;
}

// The row actions: the sheet's rows are the table's (rows_of), and every change goes through
// the lens set-up.
int row_action(GridEvent& event) {
    switch (event.code) {
        case kGridActionInsert:
            if (insert_row(event) != 0) return 0;
            return after_change();
        case kGridActionDelete:
            if (refused_by_model_glass() || delete_rows(event) != 0) return 0;
            return after_change();
        case kGridActionCut:
        case kGridActionCopy: {
            int first = 0;
            int last = 0;
            if (!rows_of(event, &first, &last)) return 0;
            if (event.code == kGridActionCut && count() - (last - first + 1) < 1) {
                msg_box(kMsgWavelengthsAllDeleted);
                return 0;
            }
            copy_rows(first, last);
            if (event.code == kGridActionCut) remove_rows(first, last);
            return after_change();
        }
        case kGridActionPaste:
            if (const int rc = paste_rows(event); rc != 0) return rc;
            return after_change();
        case kGridActionReverse:
            if (refused_by_model_glass()) return 0;
            reverse_rows(event);
            return after_change();
        default:
            return 0;
    }
}

// The sheet opens over the surface sheet, which goes on editing in update mode after it.
const SheetEvents kEvents{
    .opening = opening,
    .leaving = leaving,
    .keeps_update_mode = true,
    .cell_text = cell_text,
    .edited = edited,
    .activated = activated,
    .typed = typed,
    .other = row_action,
    .types_empty_lines = true,
    .leaving_always = true,
};

}  // namespace

WavelengthSheetState& wavelength_sheet_state() {
    return g_sheet;
}

void reset_wavelength_sheet() {
    sheet_release_copy(g_sheet.kit, 0);
    g_sheet = WavelengthSheetState{};
}

int cmd_open_wavelength_sheet() {
    if (const int rc = push_command_level(wavelength_sheet_event, count() + 3, 1); rc != 0)
        return rc;
    status_msg(kMsgWavelengthSheetStatus);
    return 0;
}

void print_wavelength_sheet() {
    const LensData& l = lens();
    sheet_set_title(-kHelpTopicWavelengthSheet, kMsgWavelengthSheetTitle);
    text_spaces(2);
    sheet_text(std::string(47, '-').c_str());
    text_newline();
    sheet_label(kMsgWavelengthSheetHeading);
    text_newline();
    char t[16];
    for (int i = 0; i < count(); ++i) {
        sheet_text("  |");
        text_hotspot(kGridKindRowSelector, i);
        std::snprintf(t, sizeof t, "%3d ", i + 1);
        sheet_text(t);
        sheet_text("|   ");
        sheet_number_cell(kGridKindSelectable | kFieldWavelengthCell, i,
                          l.wavelengths[i].wavelength);
        sheet_text("  | ");
        sheet_number_cell(kFieldWeightCell, i, l.wavelengths[i].weight);
        sheet_text(" |");
        text_spaces(4);
        text_hotspot(kFieldReferenceWavelength |
                         (i == l.current_wavelength ? kGridKindRadioOn : kGridKindRadioOff),
                     i);
        sheet_text("  ");
        text_spaces(3);
        sheet_text("|");
        text_newline();
    }
}

int wavelength_sheet_event(GridEvent& event) {
    return sheet_dispatch(g_sheet.kit, kEvents, event);
}

void install_wavelength_sheet() {
    set_handler(kSlotOpenWavelengthSheet, cmd_open_wavelength_sheet);
}
