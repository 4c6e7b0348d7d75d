// Commands that reach outside the lens (files, programs, libraries, scripts, questions, the
// end of the program) must never run while a lens file or a lens text from the clipboard is
// being read. The lens-file code tells whether that is so through the query installed here.
#pragma once

inline constexpr int kMsgNotWhileReadingLensData = -1992;

using LensDataQuery = bool (*)();
void set_lens_data_query(LensDataQuery query);
// True while lens data (a file or clipboard text) is being read.
bool reading_lens_data();
// 0, or the message number that refuses such a command while lens data is read.
int refuse_while_reading_lens_data();
