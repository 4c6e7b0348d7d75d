#include "optimise/tolerance_results.h"

#include <algorithm>
#include <chrono>
#include <new>

#include "lens/lens_data.h"
#include "optimise/error_function.h"
#include "optimise/optimise_data.h"
#include "platform/state_reset.h"
#include "trace/lens_setup.h"

namespace {

ToleranceResultTables& state() {
    static ToleranceResultTables tables;
    return tables;
}

void reset_tolerance_results() {
    state() = ToleranceResultTables{};
}

const platform::StateReset tolerance_results_state_reset{
    "optimise/tolerance_results", reset_tolerance_results, platform::ResetLayer::feature};

// Kinds 1..19 to the tolerance value each perturbs.
constexpr int kKindValues[kToleranceKinds + 1] = {
    -1,      kTolRdt, kTolSpt, kTolIrt, kTolCct, kTolTht, kTolTht, kTolDzt, kTolRnt, kTolVnt,
    kTolDct, kTolDxt, kTolTlt, kTolTbt, kTolCdy, kTolCdx, kTolCaa, kTolCab, kTolCca, kTolCcb,
};

void clear_one(int value, int s) {
    ToleranceResult* r = tolerance_result(value, s);
    if (r != nullptr) clear_tolerance_pair(*r);
}

int variable_count() {
    return optimise_tables().highest_variable + 1;
}

}  // namespace

int tolerance_value_of_kind(int kind) {
    return kind >= 1 && kind <= kToleranceKinds ? kKindValues[kind] : -1;
}

bool kind_selected(int selection, int kind) {
    if (kind < 1 || kind > kToleranceKinds) return false;
    if (selection == kind || selection == kKindGroupAll) return true;
    const bool alignment = kind == kKindIrregularity || kind >= kKindDecentreY;
    if (selection == kKindGroupConstruction) return !alignment;
    if (selection == kKindGroupAlignment) return alignment;
    return false;
}

ToleranceResultTables& tolerance_result_tables() {
    return state();
}

ToleranceResult* tolerance_result(int value, int s) {
    ToleranceResultTables& t = state();
    if (value < 0 || value >= kToleranceCount || s < 0 || s >= t.count) return nullptr;
    if (static_cast<int>(t.tables[value].size()) != t.count) return nullptr;
    return &t.tables[value][s];
}

void clear_tolerance_pair(ToleranceResult& r) {
    for (double& c : r.change) c = 0.0;
    r.computed = r.has_values = r.failed = r.compensation_failed = 0;
    r.failure = 0;
}

int alloc_tolerance_results(int m, const std::string& lens_text) {
    ToleranceResultTables& t = state();
    LensData& l = lens_data();
    const int count = l.image_surface + 1;
    bool fresh = false;
    const auto width = [](const ToleranceResultTables& tables) {
        return tables.count > 0 && !tables.tables[0].empty()
                   ? static_cast<int>(tables.tables[0][0].operand_changes.size())
                   : -1;
    };
    // Sized from this run's counts whatever the bytes say: a record is never read past its end.
    if (count != t.count || t.reallocate || width(t) != m) {
        free_tolerance_results();
        try {
            for (auto& table : t.tables) {
                table.assign(static_cast<std::size_t>(count), ToleranceResult{});
                for (ToleranceResult& r : table) r.operand_changes.assign(m, {0.0, 0.0, 0.0, 0.0});
            }
        } catch (const std::bad_alloc&) {
            free_tolerance_results();
            return kMsgOutOfMemory;
        }
        t.count = count;
        t.reallocate = false;
        fresh = true;
    }
    // The exact lens text without its tolerances decides: a tolerance typed in a lens block
    // reruns its own entry (its command cleared it), any other change of the lens everything.
    if (fresh || t.variables_changed || lens_text != t.lens_text) {
        for (auto& table : t.tables) {
            for (ToleranceResult& r : table) clear_tolerance_pair(r);
        }
        t.variables_changed = false;
    }
    l.tolerance_results = 0;
    return 0;
}

namespace {

template <class F>
void profiled(long IterateProfile::*count, F f) {
    IterateProfile& p = state().run.profile;
    const auto start = std::chrono::steady_clock::now();
    f();
    p.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++(p.*count);
}

}  // namespace

int tolerance_set_up() {
    int rc = 0;
    profiled(&IterateProfile::setups, [&rc] { rc = lens_setup(0); });
    return rc;
}

void tolerance_evaluate() {
    profiled(&IterateProfile::evaluations, [] { compute_error_function(0); });
}

void free_tolerance_results() {
    ToleranceResultTables& t = state();
    for (auto& table : t.tables) std::vector<ToleranceResult>().swap(table);
    t.count = 0;
    t.compensator_size = 0;
    t.remake_compensators = true;
    t.lens_text.clear();
    // A run that reallocates keeps counting where its set-up began.
    const IterateProfile profile = t.run.profile;
    t.run = ToleranceRun{};
    t.run.profile = profile;
}

int alloc_compensator_arrays() {
    ToleranceResultTables& t = state();
    const int n = std::max(1, variable_count());
    if (t.compensator_size == n && !t.remake_compensators) return 0;
    free_compensator_arrays();
    try {
        for (auto& table : t.tables) {
            for (ToleranceResult& r : table) {
                r.compensators[0].assign(static_cast<std::size_t>(n), 0.0);
                r.compensators[1].assign(static_cast<std::size_t>(n), 0.0);
            }
        }
    } catch (const std::bad_alloc&) {
        free_compensator_arrays();
        return kMsgOutOfMemory;
    }
    t.remake_compensators = false;
    t.compensator_size = n;
    return 0;
}

void free_compensator_arrays() {
    ToleranceResultTables& t = state();
    for (auto& table : t.tables) {
        for (ToleranceResult& r : table) {
            std::vector<double>().swap(r.compensators[0]);
            std::vector<double>().swap(r.compensators[1]);
        }
    }
    t.compensator_size = 0;
    t.remake_compensators = true;
}

void tolerance_operands_changed() {
    state().reallocate = true;
}

void tolerance_variables_changed() {
    state().variables_changed = true;
    state().remake_compensators = true;
}

void install_tolerance_result_clearer() {
    set_tolerance_result_clearer(clear_one);
}
