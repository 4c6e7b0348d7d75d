// What every lens-entry handler shares: the value pair decoded from the first argument, the
// text buffer, the output switch of single-command update mode, the refusals of values that a
// surface group fixes, and the rule that says when a handler brings the lens up to date.
//
// Lens entry runs in two modes. Between LEN and END (state flag 16) handlers store and echo and
// END sets the lens up once. In single-command update mode (state flag 17, set by the sheets
// while a cell's command text runs) handlers are silent and set the lens up themselves.
#pragma once

#include <cstdint>
#include <string>

#include "tables/table_names.h"

// The values Output on takes while a command runs in update mode and afterwards; built-in
// variables of the command language (output_during_update, output_after_update), so procedures
// may change them.
struct UpdateOutputFlags {
    std::uint8_t during_update = 0;
    std::uint8_t after_update = 1;
};
UpdateOutputFlags& update_output_flags();
inline constexpr int kSysVarOutputDuringUpdate = 12;
inline constexpr int kSysVarOutputAfterUpdate = 13;

inline constexpr std::size_t kEntryTextSize = 80;

// The first argument decoded once: an integer n and a double d (a double of 2e9 or more in
// size gives n = 0), or for a text its first 80 characters.
struct ValuePair {
    int n = 0;
    double d = 0.0;
    bool given = false;  // the user gave the argument
    bool is_text = false;
    std::string text;
};
ValuePair decode_value_pair();

// The text of argument cell k cut to limit characters; empty for a cell that is no text.
std::string entry_text(int k, std::size_t limit = kEntryTextSize);
// Whether argument k was given by the user (not defaulted, not missing).
bool arg_given(int k);

bool update_mode();     // state flag 17
bool entry_deferred();  // a LEN block is open outside update mode: set-up waits for END
int current_surface();  // the lens data's current surface

// In update mode, Output on is switched to the during-update value for the scope and back to the
// after-update value at its end.
class UpdateOutputSwitch {
public:
    UpdateOutputSwitch();
    ~UpdateOutputSwitch();
    UpdateOutputSwitch(const UpdateOutputSwitch&) = delete;
    UpdateOutputSwitch& operator=(const UpdateOutputSwitch&) = delete;

private:
    bool active_;
};

// The refusals of a value that a group fixes on the current surface: 0 or -9998 with the
// message (argument the current surface) in the error buffer.
int refuse_group_curvature();
int refuse_group_thickness();
int refuse_group_aperture();
int refuse_group_medium();
// A thickness inside a group of kind 1 that is not the group's last surface.
bool inside_non_sequential_group(int n);

// The lens set-up after a successful command: 0, or -9998 with the set-up's message and its
// failing surface in the error buffer. A deferred surface loses its plain mark, so that a trace
// typed before END looks at the surface itself.
int entry_lens_setup();
// A change that waits for END: the trace must not take its plain step on surface n.
void mark_surface_changed(int n);
