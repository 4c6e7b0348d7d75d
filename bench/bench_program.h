// The program started for the benchmarks that run command lines: the console user interface
// over string streams, the built installation as ROOT, a temporary DATA, and lens arrays for up
// to 54 surfaces. Benchmarks that follow one another share one start; after the bench's own lens
// arrays (bench_state.h) the program is started afresh.
#pragma once

#include <memory>
#include <sstream>

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
