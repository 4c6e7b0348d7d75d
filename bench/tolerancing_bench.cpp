// The sensitivity analysis of every tolerance kind on a Cooke triplet with default tolerances and
// three wavelengths, its 36 operands written by a script from the lens values at each
// wavelength: without variables, and with the back focal distance as compensator. Each round
// starts from empty results, so every perturbation runs; the counters give the perturbed states
// and the error-function evaluations each compensation took.
#include <benchmark/benchmark.h>

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

// Twelve lens terms at each of the three wavelengths: the surface powers of the six surfaces
// and the optical thicknesses of the six gaps.
void write_operand_script() {
    const char* data = std::getenv("TVDATA");
    const std::filesystem::path folder =
        std::filesystem::path(data != nullptr ? data : ".") / "scp";
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / "tolbench.scp", std::ios::binary);
    out << "*tolbench\n";
    int slot = 1;
    for (int w = 1; w <= 3; ++w) {
        for (int j = 1; j <= 6; ++j) {
            const std::string n = "index[" + std::to_string(j) + "][" + std::to_string(w) + "]";
            const std::string before =
                j == 1 ? "1" : "index[" + std::to_string(j - 1) + "][" + std::to_string(w) + "]";
            out << "oprd[" << slot++ << "] = cv[" << j << "] * (" << n << " - " << before << ")\n";
            out << "oprd[" << slot++ << "] = th[" << j << "] / " << n << " - th[" << j
                << "] / 1.6\n";
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
    for (auto _ : state) {
        free_tolerance_results();
        if (run_command_string("sensitivity 27", 0) != 0) {
            state.SkipWithError(error_text_buffer());
            return;
        }
        const ToleranceRun& run = tolerance_result_tables().run;
        states = run.states;
        evaluations = run.compensation_evaluations;
    }
    state.counters["states"] = static_cast<double>(states);
    if (compensator && states > 0) {
        state.counters["evaluations_per_state"] =
            static_cast<double>(evaluations) / static_cast<double>(states);
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
