// Pictures of the spreadsheet window (3) saved as numbered 16-colour bitmap files in the data
// folder, for documentation and bug reports.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ui.h"
#include "tables/table_names.h"

// The 16 colours of the picture's colour table, and the index of the nearest one to a colour.
const platform::Colour* snapshot_colours();
int nearest_snapshot_colour(platform::Colour colour);

// A bitmap file of 4 bits a pixel, run-length compressed (RLE4), with the 16-colour table:
// bits offset 118, rows bottom-up, each ending with an end of line, the last with the end of
// the picture.
std::vector<std::uint8_t> rle4_bitmap_file_bytes(const platform::SplashPicture& picture);

// whole != 0: the window with its frame; 0: the sheet's client area with a black frame drawn
// round it. Writes DATA/NNNN.bmp, NNNN counting the pictures of the run from 0001: 0, or
// -9998 with message -174 (the picture cannot be taken) or -7 (the file cannot be made).
int save_window_bitmap(int whole);
// The picture count back to 0 (tests).
void reset_window_bitmaps();
