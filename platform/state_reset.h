// One way to put every piece of kept state back as it was when the program started: each file
// that keeps state registers its reset once, and "new session" (and every test fixture) calls
// reset_all_state() instead of choosing its own list of resets.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The layer a reset belongs to. Resets run from the top layer down, so that a feature's reset,
// which may still look at lens or runtime state, runs before that state is cleared.
enum class ResetLayer {
    platform = 0,
    numeric,
    runtime,
    kpl,
    lens,
    trace,
    ui,
    graphics,
    feature,
    app,
};

// Registers a reset at program start. Define one per file that keeps state, at namespace scope
// in an unnamed namespace, named `<file>_state_reset`:
//     const platform::StateReset draw_lens_state_reset{
//         "drawing/draw_lens", reset_lens_drawing_state, platform::ResetLayer::feature};
class StateReset {
public:
    StateReset(const char* name, void (*reset)(), ResetLayer layer);
};

// Runs every registered reset: top layer first, then by name, so the order never depends on the
// order in which the linker placed the files.
void reset_all_state();

// Names of the registered resets, in the order reset_all_state() runs them (for the tests that
// check a file's state is registered).
std::vector<std::string> registered_state_resets();

}  // namespace platform
