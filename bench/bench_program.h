// The program started for the benchmarks that run command lines: the console user interface
// over string streams, the built installation as ROOT, a temporary DATA, and lens arrays for up
// to 54 surfaces. Benchmarks that follow one another share one start; after the bench's own lens
// arrays (bench_state.h) the program is started afresh.
#pragma once

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/console/console_backend.h"

struct BenchProgram {
    std::istringstream input;
    std::ostringstream output;
    std::ostringstream errors;
    std::unique_ptr<platform::ConsoleBackend> ui;
    bool ok = false;
};

inline constexpr int kBenchSurfaceLimit = 54;

// Starts the program unless it is the current bench state already, taking the bench's lens
// arrays down first; ok is false when the start failed. The lens is whatever the last benchmark
// left: a benchmark enters its own.
BenchProgram& bench_program();

// The f = 50 Cooke triplet (N-SK16, N-F2, the stop behind the first element) as a designer types
// it, from "LEN NEW" up to but not including the closing "END", so that a benchmark can add its
// own lines first. The plot set-up narrows the middle element's aperture to 8, the others to 10,
// and holds the image on a paraxial height solve; otherwise every aperture is 12 and the image
// distance is the typed 43.
struct CookeTriplet {
    const char* wavelengths = "0.5876 0.4861 0.6563";
    double beam_radius = 5.0;
    double field_angle = 15.0;
    bool plot_apertures = false;
};
std::vector<std::string> cooke_triplet_lines(const CookeTriplet& t);

// Runs the lines one by one as typed; on the first failure returns false with the line, its
// status and the error text in `why`.
bool type_bench_lines(const std::vector<std::string>& lines, std::string* why = nullptr);

// The program started, graphics window 1 open at 800 x 600 inside the frame (the console keeps
// it in memory with a raster) and the lines typed; false, with the state skipped and the reason
// given, when anything failed.
bool prepare_bench_window(benchmark::State& state, const std::vector<std::string>& lines);

// Text output switched off for a scope: what is measured is the work, not the console's writing.
class BenchOutputOff {
public:
    BenchOutputOff();
    ~BenchOutputOff();
    BenchOutputOff(const BenchOutputOff&) = delete;
    BenchOutputOff& operator=(const BenchOutputOff&) = delete;

private:
    std::uint8_t saved_;
};
