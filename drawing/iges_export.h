// The IGES export: the lens drawing drawn once more with every point going into the point list
// of the CAD output, written at the end as a fixed-format IGES file of 80-column lines (Start,
// Global, Directory, Parameter and Terminate sections): every segment a line (type 110), every
// closed polyline a composite curve (type 102) of its lines, and every face of the 3-D model a
// closed copious data curve (type 106, form 12) through its corners.
#pragma once

// Handler of export_iges (command 812): view kind, selection, first, last as draw_lens, then
// the file name. 0, -1802 when the file cannot be made, -1247 when it cannot be written, -3310
// or -3311 when the data does not fit the format, or the drawing's own code (the file is still
// written whole).
int cmd_export_iges();

// The sections of the file, for iges_sections: part 0 the Start lines and Global lines 1 to 3
// (and an empty point list); part 13 the rest of the file.
void write_iges_start();
void write_iges_end();

// Puts text into the line being composed from a 0-based column; false when it would pass
// column 72 (the export then fails: a cut field would make the file unreadable).
bool iges_put_field(const char* text, int column);
// The fixed date of file generation; returns the column after it.
int iges_put_date(int column);
// The unit flag and unit name of the lens unit; returns the column after them.
int iges_unit_flag(int column);
// The Directory and Parameter sections from the point list, from record first on.
void iges_entity(int first_record);

// An IGES real: one digit, six decimals and a three-digit exponent ("-1.250000E+001").
void format_iges_real(double value, char text[24]);
