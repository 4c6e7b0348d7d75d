// The lens block: LEN opens it (a new lens, or the current lens reopened for changes), NXT steps
// to the next surface and grows the lens, END closes it, fixes the image surface and sets the
// whole lens up once. A lens file is read as exactly such a block.
#pragma once

inline constexpr int kCmdLens = 1093;
inline constexpr int kCmdNextSurface = 1094;
inline constexpr int kCmdLensEnd = 1095;

inline constexpr int kMsgLensStarted = -341;
inline constexpr int kMsgLensKept = -347;
inline constexpr int kMsgGroupAlreadyStarts = -499;
inline constexpr int kMsgImageSurfaceRange = -3994;
inline constexpr int kMsgNoWholeLensListing = -3995;

// Slot 113: LEN n "title". n = 1 (NEW) a new lens, -1 the whole-lens listing, any other n keeps
// the lens; a block opens under command context 'L'.
int cmd_lens_new();
// Slot 120: the next surface (the whole-surface command SRF steps with it too).
int cmd_next_surface();
// Slot 121: END n.
int cmd_lens_end();

// The whole-lens listing that "LEN -1" prints, installed by the listings.
using WholeLensListing = int (*)();
void set_whole_lens_listing(WholeLensListing listing);
