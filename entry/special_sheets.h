// The special data of a surface edited in small sheets, one per kind of data. The surface
// sheet's special-data button asks which (the choice list of handler slot 58) and runs
// "SPECIALSPR" with the answer; the handler makes sure the surface carries the record the sheet
// edits and pushes the sheet's level. The steps every special-data sheet shares are here too.
#pragma once

#include "runtime/command_levels.h"
#include "ui/sheet_kit.h"

// The kinds of sheet (the value a choice list entry carries is one more).
enum SpecialSheetChoice : int {
    kSpecialSurfaceNote = 0,
    kSpecialSurfaceOptions = 2,
    kSpecialElementDrawing = 5,
    kSpecialCoordinates = 6,
    kSpecialPerfectLens = 7,
    kSpecialConicToric = 9,
    kSpecialStandardAsphere = 10,
    kSpecialFirstAsphere = 11,  // to 22: an asphere of the kind each stands for
    kSpecialLastAsphere = 22,
    kSpecialSplineProfile = 23,
    kSpecialGrating = 25,
    kSpecialHologram = 26,
    kSpecialFirstDiffractive = 27,  // to 33: a diffractive or Zernike phase surface
    kSpecialLastDiffractive = 33,
    kSpecialFirstGrin = 35,  // to 46: a gradient-index medium of the kind each stands for
    kSpecialLastGrin = 46,
};

// Sheet sizes (rows) by kind.
inline constexpr int kSurfaceNoteRows = 4;
inline constexpr int kSurfaceOptionsRows = 9;
inline constexpr int kCoordinatesRows = 13;
inline constexpr int kPerfectLensRows = 6;
inline constexpr int kConicToricRows = 7;
inline constexpr int kStandardAsphereRows = 10;
inline constexpr int kGratingRows = 4;

// Handler kSlotOpenSpecialSheet: the argument is the choice list's value (the kind + 1), asked for
// when it is missing. 0 (also for the kinds that open nothing), -250 for a choice that is no
// integer, a refused question's code, the failure of a
// record's creation or of a set-up (-9998 with its text), or -9998 for the element drawing when
// no drawing code is installed.
int cmd_open_special_sheet();

// The integer behind a cell: 588 the return surface, 625 and 633 the diffraction order, 636 the
// hologram's order, 596 the drawing control, 627 and 630-632 the Fresnel, rod, ASI and TIR
// switches of surface index; 428 the global-coordinate surface. 0 for anything else.
int get_lens_int_value(int item, int index);

// The shared steps of the special-data sheets.
//
// Opening: the changed flag is whether the record was there before (not when the sheet comes
// back from a level above it, whose copy it kept), then the revert copy.
void special_sheet_begin(SheetKit& kit, bool had_record);
// Level end: an empty record the sheet made is dropped (drop, then the set-up) unless the sheet
// changed it or it is kept for a level above; then the revert copy's handling. 0 or a failure.
int special_sheet_end(SheetKit& kit, int end_mode, bool empty_record, void (*drop)());
// The text of a number cell for event 3.
void special_sheet_number_text(GridEvent& event, double value);
// A delete button or a typed line that left no record: the set-up runs and the level ends.
int special_sheet_record_gone();
// A line typed into a special-data sheet: its failure is returned. When there (null for a sheet
// whose surface always has what it shows) finds that the surface the line was typed at lost the
// sheet's record, the level ends as after a delete button; else the set-up runs and the sheet is
// written again.
int special_sheet_typed(SheetKit& kit, const GridEvent& event, bool (*there)(int n));

// A special-data sheet's entries with what every one of them answers alike: it leaves the update
// mode to the sheet it was opened from, an event it has no entry for changes nothing and writes
// nothing, and an empty typed line runs as any other.
SheetEvents special_sheet_events(SheetEvents events);

// The record of the current surface a sheet opens on.
struct SpecialRecordMaker {
    bool (*there)(int n);                    // surface n carries it
    int (*make)(int n, int kind, int size);  // null: the sheet never makes one
    int kind = 0;
    int size = 0;
};
// Opening such a sheet: the revert copy is taken, and with make_it the record is made and the
// set-up runs. A failure of either, or no record after it, lets the copy go: the failure (or 0)
// is returned. Else the level is pushed with rows() lines; the push's result.
int special_sheet_open_on(SheetKit& kit, bool make_it, const SpecialRecordMaker& maker,
                          LevelHandler handler, int (*rows)());

// An inactive mark ahead of a label.
void special_sheet_inactive_mark();
// " Yes " or "  No " after a switch button.
void special_sheet_yes_no(bool on);

void install_special_sheets();
