#include "bench/bench_state.h"

#include <malloc.h>

#include <cstddef>
#include <cstdlib>

#include "app/main_loop.h"
#include "app/startup.h"
#include "evaluation/spot_store.h"
#include "lens/glass_cache.h"
#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/definitions.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/table_lists.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "trace/paraxial_trace.h"
#include "trace/trace_seams.h"

namespace {

BenchState g_state = BenchState::None;

// What the allocator gives a benchmark must not depend on which benchmarks ran before it. glibc
// serves blocks above its mmap threshold straight from the system, each one's pages faulted in
// anew, until the process frees such a block: the threshold then rises to that block's size, the
// trim threshold to twice that, and such blocks are reused; both are fixed here at the most that
// adjustment reaches, as in a program that has run for a while. And the pages of a fresh heap are
// faulted in by whichever benchmark first clears a block there, inside its timing: the heap's
// first 24 MB are written once here and kept, below the trim threshold. Either would otherwise
// make a benchmark run alone slower than in a full run, a 2 MB matrix a hundred times.
struct SteadyAllocator {
    SteadyAllocator() {
        mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
        mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
        constexpr std::size_t kWarmBytes = 24 * 1024 * 1024;
        auto* warm = static_cast<volatile char*>(std::malloc(kWarmBytes));
        if (warm == nullptr) return;
        for (std::size_t i = 0; i < kWarmBytes; i += 4096) warm[i] = 1;
        std::free(const_cast<char*>(warm));
    }
} g_steady_allocator;

struct Hooks {
    TraceSeams trace;
    ParaxialHooks paraxial;
};

// Taken on the first call, which comes before anything is installed: every benchmark that
// installs a seam, and the program's start, asks for its bench state first.
const Hooks& fresh_hooks() {
    static const Hooks hooks{trace_seams(), paraxial_hooks()};
    return hooks;
}

// The program's end and what its next start expects to find: the same take-down the start-up
// and main-loop tests use between two starts in one process.
void take_program_down() {
    gui_shutdown();
    set_startup_done(false);
    set_running_flag(0);
    close_message_table();
    free_definitions();
    platform::reset_all_state();
    platform::set_current_ui(nullptr);
}

}  // namespace

BenchState bench_state() {
    return g_state;
}

void set_bench_state(BenchState state) {
    g_state = state;
}

void restore_fresh_hooks() {
    trace_seams() = fresh_hooks().trace;
    paraxial_hooks() = fresh_hooks().paraxial;
}

void take_bench_state_down() {
    fresh_hooks();
    if (g_state == BenchState::Program) take_program_down();
    // Whatever state was up (or half up after a failed start): a start allocates these afresh
    // and does not free what it finds.
    free_spot_storage();
    free_lens_arrays();
    free_glass_cache();
    settings_release();
    reset_state_flags();
    restore_fresh_hooks();
    g_state = BenchState::None;
}
