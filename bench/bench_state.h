// The process state that benchmarks share but cannot hold both at once: the bench's own lens
// arrays (bench_lens.h) or the started program (bench_program.h). Both live in the same settings
// record, lens arrays and glass cache, and the started program also makes every state-flag change
// re-evaluate its menu conditions, which the lens benchmarks must not pay for. A benchmark asks
// for the state it needs on entry and the other is taken down first, so it runs on the same state
// whether it runs alone or after any other benchmark.
#pragma once

enum class BenchState { None, LensArrays, Program };

// The state brought up last, or None after a take-down.
BenchState bench_state();

// Records the state the caller has just brought up.
void set_bench_state(BenchState state);

// Takes the current state down: no settings record, lens arrays, glass cache or spot store, the
// trace seams and paraxial hooks of a fresh process, and, after the program, none of its tables,
// windows, text output or start-up state and no current user interface. The command handlers
// and the other hooks the start installed stay; no lens benchmark reaches them.
void take_bench_state_down();

// Puts back the trace seams and paraxial hooks that the process had before any benchmark or
// start installed its own. The program's start fills them all and a lens benchmark installs the
// ones it measures; left in place, the derived rays alone triple the work of every plain ray that
// a later benchmark traces.
void restore_fresh_hooks();
