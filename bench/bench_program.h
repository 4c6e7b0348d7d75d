// The program started once for the benchmarks that run command lines: the console user
// interface over string streams, the built installation as ROOT, a temporary DATA, and lens
// arrays for up to 54 surfaces. Every benchmark that needs it shares the one start.
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

// Started on the first call; ok is false when the start failed.
BenchProgram& bench_program();
