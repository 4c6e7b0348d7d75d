#include "optimise/operand_sheet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "optimise/operand_quantities.h"
#include "optimise/operands.h"
#include "optimise/optimise_commands.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/command_context.h"
#include "runtime/dispatch.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/run_state.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "runtime/text_case.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "ui/grid_cells.h"
#include "ui/grid_control.h"
#include "ui/sheet_kit.h"

namespace {

constexpr int kHeaderRows = 1;
constexpr int kDefinitionWidth = 30;
constexpr int kQuantityColumn = 40;
constexpr char kOperandContext = 'O';
constexpr double kNewOperandWeight = 1.0;

int level_rows();

struct Sheet {
    SheetKit kit{.revert_message = kMsgOperandsSheetRevertCopy,
                 .print = print_operands_sheet,
                 .rows = level_rows};
    OperandSheetState shared;
};

Sheet& sheet() {
    static Sheet s;
    return s;
}

OptimiseTables& tables() {
    return optimise_tables();
}

int count() {
    return tables().operand_count;
}

OperandToken& left(int i) {
    return tables().tokens[2 * i];
}

OperandToken& right(int i) {
    return tables().tokens[2 * i + 1];
}

bool in_use(int i) {
    return i >= 0 && i < count() && left(i).kind != kTokenEmpty;
}

bool group_marker(int i) {
    return left(i).kind == kTokenGroupStart || left(i).kind == kTokenGroupEnd;
}

bool holds_reference(int i) {
    return left(i).kind == kTokenReference || right(i).kind == kTokenReference;
}

// The sheet's rows: every operand and one more, at least two.
int sheet_rows() {
    return std::max(2, count() + 1);
}

int level_rows() {
    return sheet_rows() + kHeaderRows;
}

int rewrite() {
    return sheet_rewrite(sheet().kit);
}

// Every token and value of row i cleared: the row is no longer in use.
void clear_row(int i) {
    left(i) = OperandToken{};
    right(i) = OperandToken{};
    Operand& o = tables().operands[i];
    o.value = o.previous = 0.0;
    o.failed = 0;
    tables().chain_compiled = false;
}

void delete_all_operands() {
    OptimiseTables& t = tables();
    for (int i = 0; i < t.operand_count; ++i) {
        t.operands[i] = Operand{};
        left(i) = OperandToken{};
        right(i) = OperandToken{};
    }
    t.operand_count = 0;
    t.chain_compiled = false;
}

// The rows an event covers, clamped to the operands: false when none is left.
bool rows_of(const GridEvent& event, int* first, int* last) {
    return sheet_selected_rows(event, 0, count() - 1, first, last);
}

void row_limits(int* lo, int* hi) {
    *lo = 0;
    *hi = count() - 1;
}

double number_of(const GridEvent& event, bool* ok) {
    *ok = event.value_type == kGridValueInt || event.value_type == kGridValueDouble;
    const double v = event.value_type == kGridValueInt ? event.value.i : event.value.d;
    if (!std::isfinite(v)) *ok = false;
    return v;
}

// A definition typed into row i: parsed first, so that a refused text changes nothing. An
// empty text clears the row; a text in the row below the last makes a new operand.
int definition_entered(int row, const char* typed) {
    const std::string text = trimmed(typed);
    OptimiseTables& t = tables();
    if (row < 0 || row > count()) return rewrite();
    if (text.empty()) {
        if (row < count()) clear_row(row);
        return rewrite();
    }
    if (row == count()) {
        const int rc = store_operand(0, row, text.c_str(), kNewOperandWeight, "");
        return rc != 0 ? rc : rewrite();
    }
    OperandToken l;
    OperandToken r;
    if (const int rc = parse_operand(row, &l, &r, text.c_str()); rc != 0) return rc;
    Operand& o = t.operands[row];
    if (!in_use(row)) {
        // A row that held nothing starts as a new operand, its label kept.
        char label[kOperandLabelLength + 1];
        std::memcpy(label, o.label, sizeof label);
        o = Operand{};
        std::memcpy(o.label, label, sizeof label);
        o.weight = kNewOperandWeight;
    }
    left(row) = l;
    right(row) = r;
    if (group_marker(row)) o.weight = 0.0;
    o.value = o.previous = 0.0;
    t.chain_compiled = false;
    return rewrite();
}

int value_entered(const GridEvent& event) {
    const int item = grid_entry_field(event.field);
    const int row = event.first_index;
    if (item == kOperandCellDefinition) return definition_entered(row, sheet_event_text(event));
    if (!in_use(row)) return rewrite();
    Operand& o = tables().operands[row];
    if (item == kOperandCellLabel) {
        std::snprintf(o.label, sizeof o.label, "%s", trimmed(sheet_event_text(event)).c_str());
        o.value = o.previous = 0.0;
        return rewrite();
    }
    bool ok = false;
    const double v = number_of(event, &ok);
    if (!ok) return rewrite();
    if (item == kOperandCellWeight) {
        if (v < 0.0) return kMsgOperandWeightNegative;
        o.weight = group_marker(row) ? 0.0 : v;
        return rewrite();
    }
    if (item == kOperandCellTarget && o.mode == kOperandConstraint) {
        o.target = v;
        return rewrite();
    }
    return rewrite();
}

int toggled(const GridEvent& event) {
    const int row = event.first_index;
    if (grid_entry_field(event.field) != kOperandCellMode || !in_use(row) || group_marker(row)) {
        return rewrite();
    }
    Operand& o = tables().operands[row];
    o.mode = o.mode == kOperandConstraint ? kOperandMinimise : kOperandConstraint;
    o.value = o.previous = 0.0;
    tables().chain_compiled = false;
    return rewrite();
}

int insert_row(const GridEvent& event) {
    int first = 0;
    int last = 0;
    int at = 0;
    if (rows_of(event, &first, &last)) {
        at = event.argument != 0 ? last + 1 : first;
    } else {
        at = std::clamp(event.first_index, 0, count());
    }
    if (const int rc = insert_operand_slot(at); rc != 0) return rc;
    return rewrite();
}

int copy_rows(int first, int last) {
    std::vector<OperandSheetRow>& clip = sheet().shared.clipboard;
    clip.clear();
    for (int i = first; i <= last; ++i) clip.push_back({tables().operands[i], {left(i), right(i)}});
    return 0;
}

int paste_rows(const GridEvent& event) {
    const std::vector<OperandSheetRow>& clip = sheet().shared.clipboard;
    if (clip.empty()) return 0;
    const int at =
        std::clamp(std::min(event.first_index, event.first_index + event.range_rows), 0, count());
    // A reference must point above the row that holds it: operands are evaluated in order.
    for (const OperandSheetRow& r : clip) {
        for (const OperandToken& k : r.tokens) {
            if (k.kind == kTokenReference && k.index >= at) return kMsgOperandPasteReference;
        }
    }
    const int n = static_cast<int>(clip.size());
    if (count() + n > static_cast<int>(tables().operands.size())) return kMsgOperandTableFull;
    for (int k = 0; k < n; ++k) {
        if (const int rc = insert_operand_slot(at + k); rc != 0) return rc;
        tables().operands[at + k] = clip[k].record;
        left(at + k) = clip[k].tokens[0];
        right(at + k) = clip[k].tokens[1];
    }
    tables().chain_compiled = false;
    return 0;
}

int reverse_rows(const GridEvent& event) {
    int first = 0;
    int last = 0;
    if (!rows_of(event, &first, &last)) return rewrite();
    for (int i = first; i <= last; ++i) {
        if (holds_reference(i)) return kMsgReverseReferences;
        if (group_marker(i)) return kMsgReverseGroupMarkers;
    }
    for (int j = 0; j < count(); ++j) {
        if (j >= first && j <= last) continue;
        for (int i = first; i <= last; ++i) {
            if (operand_refers_to(j, i)) return kMsgReverseReferenced;
        }
    }
    OptimiseTables& t = tables();
    for (int a = first, b = last; a < b; ++a, --b) {
        std::swap(t.operands[a], t.operands[b]);
        std::swap(left(a), left(b));
        std::swap(right(a), right(b));
    }
    t.chain_compiled = false;
    return rewrite();
}

// Rows first..last emptied; cut keeps them for a paste first.
int clear_rows(int first, int last) {
    for (int i = first; i <= last; ++i) clear_row(i);
    return 0;
}

int empty_rows(const GridEvent& event) {
    int first = 0;
    int last = 0;
    if (rows_of(event, &first, &last)) clear_rows(first, last);
    return rewrite();
}

// The rows no longer in use go, and with them every operand that refers to one that goes (and
// so on); from the last up, so that no operand left refers to one removed.
void remove_unused_rows() {
    const int n = count();
    std::vector<bool> going(static_cast<std::size_t>(n), false);
    for (int i = 0; i < n; ++i) going[i] = !in_use(i);
    for (int i = 0; i < n; ++i) {
        if (going[i]) continue;
        for (int j = 0; j < n; ++j) {
            if (going[j] && operand_refers_to(i, j)) {
                going[i] = true;
                break;
            }
        }
    }
    for (int i = n - 1; i >= 0; --i) {
        if (!going[i]) continue;
        // What still refers to row i is going too, and lies below it: removed already.
        clear_row(i);
        delete_operand(i);
    }
}

int shown() {
    Sheet& s = sheet();
    SheetKit& kit = s.kit;
    if (const int rc = allocate_operand_table(); rc != 0) return rc;
    sheet_take_copy(kit);
    kit.kept = false;
    kit.shown = true;
    if (!s.shared.open) {
        s.shared.open = true;
        s.shared.clipboard.clear();
        if (count() == 0) insert_operand_slot(0);
        tables().results_exist = false;
    }
    set_state_flag(kFlagOperandsSheetOpen);
    set_state_flag(kFlagOperandsLevel);
    set_state_flag(kFlagLevelChanges);
    if (!s.shared.context_pushed && command_context_letter() != kOperandContext) {
        s.shared.context_pushed = push_command_context(kOperandContext) == 0;
    }
    set_level_header_rows(kHeaderRows, 0, 0);
    return rewrite();
}

void leaving(int) {
    Sheet& s = sheet();
    if (s.shared.open) {
        remove_unused_rows();
        // Leaving operand entry compiles the chain and takes the context letter O off.
        leave_entry_mode(kCmdEndO, false);
        status_msg(kMsgOperandsSheetClosed);
    }
    s.shared = OperandSheetState{};
    clear_state_flag(kFlagOperandsSheetOpen);
}

int typed(const char* text, const GridEvent&) {
    const int rc = run_command_string(text, 0);
    if (rc != 0 || level_count() == 0) return rc;
    return rewrite();
}

int cell_text(GridEvent& event) {
    const int item = grid_entry_field(event.field);
    const int row = event.first_index;
    if (event.text == nullptr || row < 0 || row >= count()) return 0;
    const Operand& o = tables().operands[row];
    char text[64] = "";
    switch (item) {
        case kOperandCellDefinition:
            std::snprintf(text, sizeof text, "%s", operand_to_text(row).c_str());
            break;
        case kOperandCellLabel:
            std::snprintf(text, sizeof text, "%s", o.label);
            break;
        case kOperandCellWeight:
            std::snprintf(text, sizeof text, "%.10g", o.weight);
            break;
        case kOperandCellTarget:
            std::snprintf(text, sizeof text, "%.10g", o.target);
            break;
        default:
            return 0;
    }
    sheet_edit_text(event, text);
    return 0;
}

// Insert, delete and reverse; nothing else is the sheet's.
int row_edit(GridEvent& event) {
    switch (event.code) {
        case kGridActionInsert:
            return insert_row(event);
        case kGridActionDelete:
            return empty_rows(event);
        case kGridActionReverse:
            return reverse_rows(event);
        default:
            return 0;
    }
}

const SheetEvents kEvents{
    .opening = shown,
    .opens_itself = true,
    .leaving = leaving,
    .cell_text = cell_text,
    .edited = value_entered,
    .activated = toggled,
    .typed = typed,
    .row_limits = row_limits,
    .copy_rows = copy_rows,
    .clear_rows = clear_rows,
    .paste_rows = paste_rows,
    .other = row_edit,
};

const platform::StateReset operand_sheet_state_reset{"optimise/operand_sheet", reset_operand_sheet,
                                                     platform::ResetLayer::feature};

// Below the rows, what an operand can refer to: the shipped quantities by name, two a line.
void print_quantity_names() {
    std::string word, name;
    if (!operand_quantity_name(0, &word, &name)) return;
    text_newline();
    sheet_label(kMsgOperandQuantitiesHeading);
    text_newline();
    char t[kQuantityColumn + 8];
    for (int i = 0; operand_quantity_name(i, &word, &name); ++i) {
        std::snprintf(t, sizeof t, "  %-5s %-*.*s", word.c_str(), kQuantityColumn - 8,
                      kQuantityColumn - 8, name.c_str());
        sheet_text(t);
        if (i % 2 == 1) text_newline();
    }
    text_newline();
}

}  // namespace

OperandSheetState& operand_sheet_state() {
    return sheet().shared;
}

int cmd_open_operands_sheet() {
    if (sheet().shared.open) return 0;  // one operands sheet at a time
    if (const int rc = allocate_operand_table(); rc != 0) return rc;
    if (arg_int(0) == 1) delete_all_operands();
    const int rc = push_command_level(operands_sheet_event, sheet_rows() + kHeaderRows, 1);
    if (rc != 0) return rc;
    status_msg(kMsgOperandsSheetStatus);
    return 0;
}

void print_operands_sheet() {
    sheet_set_title(-kHelpTopicOperandsSheet, kMsgOperandsHeading);
    sheet_label(kMsgOperandsSheetColumns);
    text_newline();
    char t[kDefinitionWidth + 16];
    const int rows = sheet_rows();
    for (int i = 0; i < rows; ++i) {
        text_hotspot(kGridKindRowSelector, i);
        std::snprintf(t, sizeof t, "%4d ", i + 1);
        sheet_text(t);
        const bool used = in_use(i);
        std::snprintf(t, sizeof t, "%-*.*s", kDefinitionWidth, kDefinitionWidth + 8,
                      used ? operand_to_text(i).c_str() : "");
        text_hotspot(kGridKindText | kOperandCellDefinition, i);
        sheet_text(t);
        if (i >= count()) {
            text_newline();
            continue;
        }
        const Operand& o = tables().operands[i];
        sheet_text(" ");
        if (used && !group_marker(i)) {
            sheet_button(kGridKindButton | kOperandCellMode, i,
                         o.mode == kOperandConstraint ? 'C' : 'M');
        } else {
            sheet_text("   ");
        }
        sheet_text(" ");
        if (used && o.mode == kOperandMinimise && !group_marker(i)) {
            sheet_number_cell(kOperandCellWeight, i, o.weight);
        } else {
            sheet_inactive_number(kOperandCellWeight, i, o.weight);
        }
        sheet_text(" ");
        if (used && o.mode == kOperandConstraint) {
            sheet_number_cell(kOperandCellTarget, i, o.target);
        } else {
            sheet_inactive_number(kOperandCellTarget, i, o.target);
        }
        sheet_text(" ");
        std::snprintf(t, sizeof t, "%-*s", kOperandLabelLength, o.label);
        text_hotspot(kGridKindText | kOperandCellLabel, i);
        sheet_text(t);
        text_newline();
    }
    print_quantity_names();
}

int operands_sheet_event(GridEvent& event) {
    return sheet_dispatch(sheet().kit, kEvents, event);
}

void reset_operand_sheet() {
    Sheet& s = sheet();
    sheet_release_copy(s.kit, 0);
    s = Sheet{};
}
