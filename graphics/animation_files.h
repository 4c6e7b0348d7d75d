// Animation files: frames recorded from the current graphics window's display list into a file
// of bin/mov, and played back in the same window.
//
// Layout, little-endian: int32 frame count N, then per frame an int32 byte length L and L bytes
// of 16-bit display-list words ending with the list's closing 0 word (L = 2 x words + 2).
#pragma once

#include <cstdint>

#include "tables/table_names.h"

inline constexpr int kAnimationFrameLimit = 200;

// True when words[0..count-1] is a whole display list: records of the kinds the program writes,
// each with all its operands, then the closing 0 word as the last word and nowhere before.
bool display_list_words_valid(const std::uint16_t* words, int count);

// Commands 73 (start recording), 74 (add a frame), 75 (finish), 76 (play), 77 (record by
// running a command for each frame).
int cmd_animation();
// Ends a recording left open (shut-down, tests): the count is written and the file closed.
void finish_animation_recording();
void install_animation_commands();
