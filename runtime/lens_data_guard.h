// Commands that reach outside the lens (files, programs, libraries, scripts, questions, the
// end of the program) must never run while a lens file, a lens text from the clipboard or a
// stock part is being read: such text comes from anywhere. Every line of it runs inside a
// LensDataScope. Under the scope the compiler takes only calls of lens-data commands (those
// marked lens_data in the definitions) with constant arguments, the dispatch refuses every
// other command (also one that a handler composes from the data), and no argument is asked
// for: a missing one takes its default or fails the line.
#pragma once

#include "tables/table_names.h"

using LensDataQuery = bool (*)();
// A second source of the answer of reading_lens_data (null: none).
void set_lens_data_query(LensDataQuery query);
// True while lens data (a file or clipboard text) is being read.
bool reading_lens_data();
// 0, or the message number that refuses such a command while lens data is read.
int refuse_while_reading_lens_data();

// True inside a LensDataScope that no TrustedCodeScope has suspended.
bool in_lens_data_scope();
// Whether command n may run under the scope (its record carries the lens-data mark).
bool lens_data_command(int command);

// Lines run while an object of this class lives are lens data.
class LensDataScope {
public:
    LensDataScope();
    ~LensDataScope();
    LensDataScope(const LensDataScope&) = delete;
    LensDataScope& operator=(const LensDataScope&) = delete;

private:
    bool saved_;
};

// The program's own lines run from inside a lens-data command (a new lens setting up its own
// defaults) are trusted again while an object of this class lives.
class TrustedCodeScope {
public:
    TrustedCodeScope();
    ~TrustedCodeScope();
    TrustedCodeScope(const TrustedCodeScope&) = delete;
    TrustedCodeScope& operator=(const TrustedCodeScope&) = delete;

private:
    bool saved_;
};
