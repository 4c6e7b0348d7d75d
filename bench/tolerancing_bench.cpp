// The sensitivity analysis of every tolerance kind on a Cooke triplet with default tolerances and
// three wavelengths, its 36 operands written by a script from the lens values at each
// wavelength: without variables, and with the back focal distance as compensator. Each round
// starts from empty results, so every perturbation runs. Counters: the perturbed states, the
// operand evaluations each compensation took (its derivative steps included), and the share of
// the command's time spent outside lens set-ups and operand evaluations.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_program.h"
#include "lens/lens_data.h"
#include "optimise/tolerance_results.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"

namespace {

// Twelve paraxial terms at each of the three wavelengths: the powers of the six surfaces and
// the heights of a marginal ray (a y-nu trace from height 1) at surfaces 2 to 7, the last the
// image, so that the back focal distance moves one of them.
void write_operand_script() {
    const char* data = std::getenv("TVDATA");
    const std::filesystem::path folder =
        std::filesystem::path(data != nullptr ? data : ".") / "scp";
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / "tolbench.scp", std::ios::binary);
    out << "*tolbench\n";
    int slot = 1;
    for (int w = 1; w <= 3; ++w) {
        out << "oprd[40] = 1\noprd[41] = 0\n";
        for (int j = 1; j <= 6; ++j) {
            const std::string n = "index[" + std::to_string(j) + "][" + std::to_string(w) + "]";
            const std::string before =
                j == 1 ? "1" : "index[" + std::to_string(j - 1) + "][" + std::to_string(w) + "]";
            const std::string power =
                "cv[" + std::to_string(j) + "] * (" + n + " - " + before + ")";
            out << "oprd[" << slot++ << "] = " << power << "\n";
            out << "oprd[41] = oprd[41] - oprd[40] * " << power << "\n";
            out << "oprd[40] = oprd[40] + th[" << j << "] * oprd[41] / " << n << "\n";
            out << "oprd[" << slot++ << "] = oprd[40]\n";
        }
    }
}

bool enter(benchmark::State& state, bool compensator) {
    if (!bench_program().ok) {
        state.SkipWithError("the program did not start");
        return false;
    }
    write_operand_script();
    std::vector<std::string> lines = {"LEN NEW \"Cooke triplet\" 50 7",
                                      "EBR 6",
                                      "ANG 10",
                                      "NXT",
                                      "SRF 21.48 2 N-SK16 8",
                                      "SRF -124.1 5.26 AIR 8",
                                      "SRF -19.1 1.25 F2 6",
                                      "AST",
                                      "SRF 22 4.69 AIR 6",
                                      "SRF 328.9 2.25 N-SK16 7",
                                      "SRF -16.7 43 AIR 7",
                                      "END",
                                      "OPOC \"script tolbench\"",
                                      "OPE NEW"};
    for (int k = 1; k <= 36; ++k) {
        lines.push_back("O " + std::to_string(k) + " \"OP" + std::to_string(k) + "\" 1 \"\"");
    }
    lines.push_back("END");
    if (compensator) {
        lines.insert(lines.end(), {"VAR NEW", "V 1 6 0 TH", "END"});
    }
    for (const std::string& line : lines) {
        if (run_command_string(line.c_str(), 0) != 0) {
            state.SkipWithError(("line failed: " + line + ": " + error_text_buffer()).c_str());
            return false;
        }
    }
    return true;
}

void sensitivity(benchmark::State& state, bool compensator) {
    if (!enter(state, compensator)) return;
    long states = 0;
    long evaluations = 0;
    double command_seconds = 0.0;
    double profiled_seconds = 0.0;
    for (auto _ : state) {
        free_tolerance_results();
        const auto start = std::chrono::steady_clock::now();
        const int rc = run_command_string("sensitivity 27", 0);
        command_seconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (rc != 0) {
            state.SkipWithError(error_text_buffer());
            return;
        }
        const ToleranceRun& run = tolerance_result_tables().run;
        states = run.states;
        evaluations = run.compensation_evaluations;
        profiled_seconds += run.profile.seconds;
    }
    state.counters["states"] = static_cast<double>(states);
    if (compensator && states > 0) {
        state.counters["evaluations_per_state"] =
            static_cast<double>(evaluations) / static_cast<double>(states);
    }
    if (command_seconds > 0.0) {
        state.counters["share_outside_setup_and_evaluation"] =
            (command_seconds - profiled_seconds) / command_seconds;
    }
    free_tolerance_results();
}

void BM_SensitivityWithoutCompensators(benchmark::State& state) {
    sensitivity(state, false);
}
BENCHMARK(BM_SensitivityWithoutCompensators)->Unit(benchmark::kMillisecond);

void BM_SensitivityBackFocusCompensator(benchmark::State& state) {
    sensitivity(state, true);
}
BENCHMARK(BM_SensitivityBackFocusCompensator)->Unit(benchmark::kMillisecond);

}  // namespace
