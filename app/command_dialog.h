// The generic command dialog: the interactive handler of commands with a parameter form. The
// form is the command's help block with the fields' current values; it runs as a command level
// over a copy of the command's arguments, and accepting it runs the command composed from them.
#pragma once

#include "runtime/command_levels.h"
#include "tables/table_names.h"

inline constexpr char kRefRayPrefix[] = "trr;";

inline constexpr int kDrawingConditionsButton = 2001;

// The save prompt of the lens files, which the dialogs of commands 221 to 223 run first: 0, or
// -9999 when the user cancels (no dialog then). Installed by the lens-file code.
using SavePrompt = int (*)();
void set_save_prompt(SavePrompt prompt);
// The level of the lens-drawing conditions that kDrawingConditionsButton of the drawing dialog
// opens, and the number of its ray sets. Installed by the lens-drawing code.
void set_drawing_conditions_level(LevelHandler handler, int (*rows)());

// Handler kSlotOpenCommandDialog.
int cmd_open_command_dialog();
int command_dialog_event(GridEvent& event);
// 1 when other fields of the form were changed by the change of field f.
int sync_dialog_fields(int field);
void draw_command_form();
// The entry of the current value list that stands for the cell's value: a text by its value
// text (or, without one, its name), a number by the number its value text reads as after any
// leading control characters (or, without one, by its position); -1 when none.
int find_list_entry(const ArgCell& cell);

// The graphics text that event 19 keeps with the command the form composed: text (256 bytes)
// is rewritten in place, emptied for a listing (the command runs, no graphics window keeps a
// text to redraw); false when the rewritten text does not fit.
bool rewrite_dialog_command(int command, char* text, int size);

// The object and pupil point of the reference ray, which "trr;" stands for; the ray-trace code
// installs it (without it the stored point is all zeros).
using ReferenceRayPointSource = void (*)(double out[5]);
void set_reference_ray_point_source(ReferenceRayPointSource source);
