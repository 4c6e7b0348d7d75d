// Optimisation on the f = 50 Cooke triplet (the radii and thicknesses of the trace benchmark,
// typed with catalogue glasses), three wavelengths, one core: ten variables (six curvatures,
// four thicknesses) and forty operands on the slots the shipped operand entry fills, the focal
// length a constraint. Measured: one evaluation of the error function (the entry run, 441 rays
// at three field points), one iteration of the damping search from the same start, and the
// auto focus.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_program.h"
#include "lens/lens_data.h"
#include "optimise/auto_focus.h"
#include "optimise/damped_least_squares.h"
#include "optimise/error_function.h"
#include "optimise/focus_pupil.h"
#include "optimise/optimise_data.h"
#include "optimise/variables.h"
#include "runtime/dispatch.h"
#include "runtime/script_commands.h"
#include "runtime/settings.h"
#include "trace/lens_setup.h"
#include "trace/object_point.h"

namespace {

constexpr int kFields = 3;

std::vector<std::string> triplet_lines() {
    std::vector<std::string> lines = cooke_triplet_lines(CookeTriplet{});
    lines.insert(lines.end(), {"END", "OPE NEW", "O 1 \"OP1\" CON 50 \"efl\""});
    // Thirty-nine minimisation operands over the slots 2 .. 18, plain and combined.
    int n = 2;
    for (int slot = 5; slot <= 18 && n <= 40; ++slot) {
        lines.push_back("O " + std::to_string(n++) + " \"OP" + std::to_string(slot) + "\" 1 \"\"");
    }
    for (int slot = 5; slot <= 18 && n <= 40; ++slot) {
        lines.push_back("O " + std::to_string(n++) + " \"OP" + std::to_string(slot) +
                        "**2\" 0.5 \"\"");
    }
    for (int slot = 2; n <= 40; ++slot) {
        lines.push_back("O " + std::to_string(n++) + " \"OP" + std::to_string(slot) +
                        "-OP12\" 0.1 \"\"");
    }
    lines.push_back("END");
    lines.push_back("VAR NEW");
    const char* variables[] = {"1 0 CV", "2 0 CV", "3 0 CV", "4 0 CV", "5 0 CV",
                               "6 0 CV", "1 0 TH", "2 0 TH", "3 0 TH", "4 0 TH"};
    for (int k = 0; k < 10; ++k) {
        lines.push_back("V " + std::to_string(k + 1) + " " + variables[k]);
    }
    lines.push_back("END");
    return lines;
}

bool enter_problem() {
    if (!type_bench_lines(triplet_lines())) return false;
    const OptimiseTables& t = optimise_tables();
    return lens_data().image_surface == 7 && t.operand_count == 40 && t.highest_variable == 9;
}

std::vector<double> start_values() {
    std::vector<double> x;
    const OptimiseTables& t = optimise_tables();
    for (int i = 0; i <= t.highest_variable; ++i) {
        const Variable& v = t.variables[i];
        x.push_back(get_variable_value(v.type, v.surface, v.item));
    }
    return x;
}

void restore(const std::vector<double>& x, double damping) {
    const OptimiseTables& t = optimise_tables();
    for (int i = 0; i <= t.highest_variable; ++i) set_variable_value(t.variables[i], x[i]);
    lens_data().optimise_params->damping = damping;
    lens_setup(0);
}

// Rays per evaluation: the pupil rings at three fields in every wavelength, and the reference
// ray of each field; each goes through every surface up to the image.
double ray_surfaces_per_evaluation() {
    const LensData& l = lens_data();
    const double rays = kFields * (kRingSampleCount * l.wavelength_count + 1.0);
    return rays * l.image_surface;
}

void BM_OptimiseEvaluation(benchmark::State& state) {
    BenchProgram& p = bench_program();
    if (!p.ok || !enter_problem()) {
        state.SkipWithError("the program or the problem did not start");
        return;
    }
    BenchOutputOff quiet;
    // Argument entry: 0 the built-in run directly; 1 the shipped entry read and compiled at
    // every evaluation; 2 its code kept, as an iteration runs it.
    OptimiseParams& op = *lens_data().optimise_params;
    std::snprintf(op.operand_command, sizeof op.operand_command, "%s",
                  state.range(0) != 0 ? "*oprds" : "oprd_quantities");
    std::optional<ScriptCodeKept> kept;
    if (state.range(0) == 2) kept.emplace();
    compute_error_function(0);
    if (optimise_tables().operand_command_status != 0) {
        state.SkipWithError("the operand command failed");
        return;
    }
    std::int64_t evaluations = 0;
    for (auto _ : state) {
        compute_error_function(0);
        benchmark::DoNotOptimize(optimise_tables().error.minimisation);
        ++evaluations;
    }
    std::snprintf(op.operand_command, sizeof op.operand_command, "%s", "*oprds");
    state.counters["evaluations_per_s"] =
        benchmark::Counter(static_cast<double>(evaluations), benchmark::Counter::kIsRate);
    state.counters["ray_surfaces_per_s"] =
        benchmark::Counter(static_cast<double>(evaluations) * ray_surfaces_per_evaluation(),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OptimiseEvaluation)
    ->ArgName("entry")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMicrosecond);

void BM_OptimiseIteration(benchmark::State& state) {
    BenchProgram& p = bench_program();
    if (!p.ok || !enter_problem()) {
        state.SkipWithError("the program or the problem did not start");
        return;
    }
    BenchOutputOff quiet;
    const std::vector<double> x = start_values();
    const double damping = lens_data().optimise_params->damping;
    std::int64_t evaluations = 0;
    std::int64_t iterations = 0;
    for (auto _ : state) {
        const int rc = iterate_quiet(3, 1, 0);
        state.PauseTiming();
        evaluations += optimise_tables().error.evaluations;
        ++iterations;
        restore(x, damping);
        state.ResumeTiming();
        if (rc != 0) {
            state.SkipWithError("the iteration failed");
            break;
        }
    }
    state.counters["evaluations_per_iteration"] =
        iterations > 0 ? static_cast<double>(evaluations) / static_cast<double>(iterations) : 0.0;
}
BENCHMARK(BM_OptimiseIteration)->Unit(benchmark::kMillisecond);

void BM_AutoFocus(benchmark::State& state) {
    BenchProgram& p = bench_program();
    if (!p.ok || !enter_problem()) {
        state.SkipWithError("the program or the problem did not start");
        return;
    }
    object_point() = ObjectPoint{};
    object_point().y = 0.7;
    for (auto _ : state) {
        double shift = 0.0;
        if (least_squares_focus_shift(&shift) != 0) {
            state.SkipWithError("the focus was not found");
            break;
        }
        benchmark::DoNotOptimize(shift);
    }
    object_point() = ObjectPoint{};
}
BENCHMARK(BM_AutoFocus)->Unit(benchmark::kMicrosecond);

}  // namespace
