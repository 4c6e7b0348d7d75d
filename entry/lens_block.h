// The lens block: LEN opens it (a new lens, or the current lens reopened for changes), NXT steps
// to the next surface and grows the lens, END closes it, fixes the image surface and sets the
// whole lens up once. A lens file is read as exactly such a block.
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdLens = kCmdLen;
inline constexpr int kCmdNextSurface = kCmdNxtL;
inline constexpr int kCmdLensEnd = kCmdEndL;

// kSlotLensNew: LEN n "title". n = 1 (NEW) a new lens, -1 the whole-lens listing, any other n keeps
// the lens; a block opens under command context 'L'.
int cmd_lens_new();
// kSlotNextSurface: the next surface (the whole-surface command SRF steps with it too).
int cmd_next_surface();
// kSlotLensEntryEnd: END n.
int cmd_lens_end();

// The whole-lens listing that "LEN -1" prints, installed by the listings.
using WholeLensListing = int (*)();
void set_whole_lens_listing(WholeLensListing listing);
