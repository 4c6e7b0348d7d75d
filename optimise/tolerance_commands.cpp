#include "optimise/tolerance_commands.h"

#include <cctype>
#include <cmath>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "optimise/error_function.h"
#include "optimise/lens_elements.h"
#include "optimise/optimise_data.h"
#include "optimise/tolerance_listings.h"
#include "optimise/tolerance_perturbation.h"
#include "optimise/tolerance_results.h"
#include "optimise/tolerance_setup.h"
#include "runtime/arg_cells.h"
#include "runtime/command_levels.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/lens_setup.h"
#include "trace/scoped_value.h"

namespace {

// Kinds in the order their blocks print: the glass thicknesses before the air spaces.
constexpr int kPrintOrder[] = {1, 2, 3, 4, 6, 5, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
// Kinds in the order a surface is perturbed; 0 stands for the thickness routine.
constexpr int kPerturbOrder[] = {1, 2, 3, 4, 0, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};

bool is_group(int selection) {
    return selection == kKindGroupConstruction || selection == kKindGroupAlignment ||
           selection == kKindGroupAll;
}

// Whether a run with this argument perturbs and lists kind: kinds the engine does not perturb
// are never listed, so that no block claims a tolerance had no effect.
bool runs_kind(int selection, int kind) {
    return kind_selected(selection, kind) && tolerance_kind_built(kind);
}

bool selected_label(const Operand& o) {
    static const char kLabel[] = "tolop";
    for (int i = 0; i < 6; ++i) {
        if (std::tolower(static_cast<unsigned char>(o.label[i])) != kLabel[i]) return false;
    }
    return true;
}

// The run's perturbations: every surface, in the kind order, skipping records already computed.
// The first failing status, else the last routine's.
int perturb_all(int selection, const int* marks) {
    const int image = lens_data().image_surface;
    int status = 0;
    int first_failure = 0;
    for (int s = 1; s <= image; ++s) {
        for (const int entry : kPerturbOrder) {
            int kind = entry;
            if (entry == 0) {
                if (is_group(selection) && selection != kKindGroupAlignment) {
                    kind = tolerance_air_behind(s) ? kKindAirThickness : kKindGlassThickness;
                } else if (selection == kKindAirThickness || selection == kKindGlassThickness) {
                    kind = selection;
                } else {
                    continue;
                }
            }
            if (!runs_kind(selection, kind)) continue;
            const ToleranceResult* r = tolerance_result(tolerance_value_of_kind(kind), s);
            if (r == nullptr || r->computed != 0) continue;
            status = perturb_tolerance(kind, s, selection, marks);
            const ToleranceResult* after = tolerance_result(tolerance_value_of_kind(kind), s);
            if (first_failure == 0 && after != nullptr && after->failed != 0) {
                first_failure = after->failure != 0 ? after->failure : kMsgToleranceStateFailed;
            }
            if (first_failure == 0 && status != 0) first_failure = status;
        }
    }
    return first_failure != 0 ? first_failure : status;
}

// A kind asked for alone that no surface can take says so under the title, and nothing else
// prints: an empty block would read as a tolerance without effect.
bool absent_alone(int selection) {
    if (is_group(selection)) return false;
    if (tolerance_kind_present(selection)) {
        const int image = lens_data().image_surface;
        const bool thickness = selection == kKindAirThickness || selection == kKindGlassThickness;
        for (int s = 1; s <= image; ++s) {
            if (thickness && tolerance_air_behind(s) != (selection == kKindAirThickness)) continue;
            const ToleranceResult* r = tolerance_result(tolerance_value_of_kind(selection), s);
            if (r != nullptr && (r->has_values != 0 || r->failed != 0)) return false;
        }
    }
    print_msg(kMsgToleranceKindAbsent);
    return true;
}

void print_columns() {
    if (tolerance_result_tables().run.has_variables) {
        print_msg(kMsgSensitivityColumns);
        print_msg(kMsgSensitivityColumnsCompensated);
    } else {
        print_msg(kMsgSensitivityColumnsPlain);
        print_msg(kMsgColumnsEnd);
    }
}

void print_sensitivity(int selection) {
    const ToleranceRun& run = tolerance_result_tables().run;
    const int image = lens_data().image_surface;
    print_msg(kMsgSensitivityTitle);
    print_msg(kMsgNominalError);
    text_number(run.nominal_error);
    text_newline();
    if (absent_alone(selection)) return;
    for (const int kind : kPrintOrder) {
        if (!runs_kind(selection, kind)) continue;
        if (selection != kind && !tolerance_kind_present(kind)) continue;
        print_msg(tolerance_kind_header(kind));
        print_columns();
        for (int s = 1; s <= image; ++s) list_tolerance_line(kind, s);
        if (run.selected.empty()) continue;
        for (int j = 0; j < static_cast<int>(run.selected.size()); ++j) {
            list_operand_tolerance(j, kind);
        }
        if (is_group(selection)) {
            text_newline();
            print_msg(kMsgToleranceSeparator);
        }
    }
    print_tolerance_summary(selection);
    if (run.has_variables) list_compensator_changes(selection);
}

void print_inverse(int selection, double target) {
    const ToleranceRun& run = tolerance_result_tables().run;
    const int image = lens_data().image_surface;
    print_msg(kMsgInverseTitle);
    print_msg(kMsgNominalError);
    text_number(run.nominal_error);
    text_newline();
    print_msg(kMsgInverseTarget);
    text_number(target);
    text_newline();
    if (absent_alone(selection)) return;
    for (const int kind : kPrintOrder) {
        if (!runs_kind(selection, kind)) continue;
        if (selection != kind && !tolerance_kind_present(kind)) continue;
        print_msg(tolerance_kind_header(kind));
        text_spaces(run.has_variables ? 16 : 7);
        print_msg(kMsgInverseColumns);
        print_msg(run.has_variables ? kMsgInverseColumnsCompensated : kMsgInverseColumnsEnd);
        for (int s = 1; s <= image; ++s) list_inverse_tolerance_line(kind, s, target);
    }
}

void print_failures(int selection) {
    const ToleranceFailures f = count_tolerance_failures(selection);
    if (f.states > 0) print_msg(kMsgToleranceFailures, f.states);
    if (f.compensations > 0) print_msg(kMsgToleranceCompensationFailures, f.compensations);
}

// A whole analysis: the nominal state, the perturbations and the report. The designer's data
// come back on every way out, and the lens is set up again.
int run_analysis(int selection, bool inverse, double target) {
    OptimiseTables& o = optimise_tables();
    if (o.operand_count == 0 || lens_data().optimise_params == nullptr) return kMsgNoOperands;
    const std::string before = lens_text_without_tolerances();
    ToleranceResultTables& tables = tolerance_result_tables();
    tables.run.states = tables.run.compensation_evaluations = 0;
    tables.run.profile = IterateProfile{};
    int status = 0;
    {
        const ToleranceUserData user_data;
        std::vector<int> selected;
        std::vector<int> marks;
        try {
            for (int i = 0; i < o.operand_count; ++i) {
                if (selected_label(o.operands[static_cast<std::size_t>(i)])) selected.push_back(i);
            }
            marks.assign(static_cast<std::size_t>(lens_data().image_surface + 1), 0);
        } catch (const std::bad_alloc&) {
            return kMsgOutOfMemory;
        }
        int rc = prepare_tolerances();
        if (rc == 0) rc = alloc_tolerance_results(static_cast<int>(selected.size()), before);
        if (rc == 0) rc = alloc_compensator_arrays();
        if (rc != 0) {
            status = rc;
        } else {
            find_lens_elements(marks.data(), lens_data().image_surface);
            ToleranceRun& run = tables.run;
            const ScopedValue<bool> compensating(o.compensating, false);
            const ScopedValue<bool> relative(o.relative_to_nominal, false);
            mark_compensator_tolerances();
            save_variable_values();
            tolerance_evaluate();
            if (o.operand_command_status != 0) {
                status = o.operand_command_status;
            } else {
                for (int i = 0; i < o.operand_count; ++i) {
                    Operand& op = o.operands[static_cast<std::size_t>(i)];
                    for (int s = 0; s < 2; ++s) {
                        op.nominal[s] = o.tokens[static_cast<std::size_t>(2 * i + s)].value;
                    }
                }
                run.nominal_error = tolerance_error_value();
                run.has_variables = o.highest_variable >= 0;
                run.selected = selected;
                run.selected_nominal.clear();
                for (const int k : selected) {
                    run.selected_nominal.push_back(o.operands[static_cast<std::size_t>(k)].value);
                }
                status = perturb_all(selection, marks.data());
                if (inverse) {
                    print_inverse(selection, target);
                } else {
                    print_sensitivity(selection);
                }
                print_failures(selection);
            }
        }
    }
    const int setup = tolerance_set_up();
    if (status == 0) status = setup;
    tables.lens_text = before;
    return status;
}

}  // namespace

std::string lens_text_without_tolerances() {
    const int image = lens_data().image_surface;
    std::vector<SurfaceTolerances*> kept(static_cast<std::size_t>(image + 1), nullptr);
    for (int s = 0; s <= image; ++s)
        std::swap(kept[static_cast<std::size_t>(s)], surface(s).tolerances);
    int failure = 0;
    std::string text = lens_file_text(nullptr, nullptr, &failure);
    for (int s = 0; s <= image; ++s)
        std::swap(kept[static_cast<std::size_t>(s)], surface(s).tolerances);
    return text;
}

int cmd_tolerance_sensitivity() {
    return run_analysis(arg_int(0), false, 0.0);
}

int cmd_tolerance_inverse_sensitivity() {
    return run_analysis(arg_int(0), true, std::fabs(arg_double(1)));
}

int cmd_tolerance() {
    const int analysis = arg_int(0);
    if (analysis != 0 && analysis != 1) return 0;
    // The analysis runs as if typed on its own: its arguments are this command's after the
    // first, its number is its own, and its text goes into the history.
    ArgCell* shifted[2] = {arg_cell(1), arg_cell(2)};
    const int count = analysis == 0 ? 1 : 2;
    for (int i = 0; i < count; ++i) {
        if (shifted[i] == nullptr) return 0;
    }
    ArgCell** const vector = arg_vector();
    const int saved_count = arg_count();
    const int command = current_command();
    set_arg_vector(shifted, count);
    set_current_command(analysis == 0 ? kCmdSensitivity : kCmdInverseSensitivity);
    record_command_text();
    const int rc =
        analysis == 0 ? cmd_tolerance_sensitivity() : cmd_tolerance_inverse_sensitivity();
    set_arg_vector(vector, saved_count);
    set_current_command(command);
    return rc;
}

void install_tolerancing_handlers() {
    install_tolerance_result_clearer();
    set_handler(kSlotToleranceSensitivity, cmd_tolerance_sensitivity);
    set_handler(kSlotToleranceInverseSensitivity, cmd_tolerance_inverse_sensitivity);
    set_handler(kSlotTolerance, cmd_tolerance);
}
