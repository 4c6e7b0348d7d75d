// Inserting a lens file into the current lens: the file's surfaces (all but its object and
// image surfaces) go before a chosen surface, and the current lens keeps its own general data,
// options and wavelengths. Also the surface text that the surface spreadsheet copies: the
// surfaces' lines, each followed by ';', every surface introduced by the piece "NXT".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tables/table_names.h"

// Mode 0 keeps the lens's wavelengths and weights, mode 1 puts them back. 0.
int save_wavelengths(int mode);

// One line of the file being inserted before surface target: 0 or a message number.
int insert_lens_line(const std::string& line, int target);

// Inserts the lines of a lens file before surface target; the first failing line ends the
// insertion (the surfaces inserted so far stay, the last one is removed, the wavelengths come
// back). 0, or -9998 with the message set.
int insert_lens_lines(const std::vector<std::string>& lines, int target);
// The same for the file at path (-1142 when it cannot be read); -1156 is shown on success.
int insert_lens_file(const std::string& path, int target);

// The Open dialog, then the insertion before surface target; the lens is brought up to date
// after a successful one. 0 also when the dialog is cancelled (-121 shown).
int insert_lens_file_dialog(int target);
// The same before the current surface.
int insert_lens_file();

// The surface text of surfaces first..last, each line followed by ';'.
std::string surface_clipboard_text(int first, int last);
// The same into text, which may hold at most limit bytes (what the clipboard takes). A text
// that cannot hold every line is not handed on half: -10 is shown, text is left empty and -10
// returned; else 0.
int copy_surface_text(int first, int last, std::string& text,
                      std::size_t limit = std::string::npos);
// Surfaces first..last on the clipboard, in the surface-data format and as plain text: 0, the
// result of copy_surface_text, or -9998 with -159 when the clipboard cannot be had (what it held
// stays).
int copy_surfaces_to_clipboard(int first, int last);
// Surface command lines on the clipboard in place of what it held, in the surface-data format
// and as plain text: 0, or -9998 with -159 when the clipboard cannot be had.
int put_surface_clipboard_text(const std::string& text);
