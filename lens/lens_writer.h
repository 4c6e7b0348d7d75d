// The lens writer: the current lens as the command lines that rebuild it. Every line is an
// ordinary lens-entry command, written only where the lens differs from a new lens, so a short
// lens gives a short file. Lines go to the current lens-file channel (lens_file_format.h) or, in
// memory mode, to a text in which each line is followed by ';' (the surface clipboard text).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct ElementDrawing;
struct ElementDrawingDefaults;

// The focal length of the current lens for the "LEN NEW" line (0 for an afocal lens); the lens
// set-up above this layer installs it. Without one the line carries 0.
using FocalLengthSource = double (*)();
void set_focal_length_source(FocalLengthSource source);

// The lines of a surface's element drawing, compared with the lens's element-drawing defaults;
// the drawing code above this layer installs it. Without one a surface's element drawing is not
// written.
using ElementDrawingLines = std::vector<std::string> (*)(const ElementDrawing&,
                                                         const ElementDrawingDefaults&);
void set_element_drawing_writer(ElementDrawingLines writer);

// Writes the whole lens on the current channel: general data, wavelengths and options, every
// surface, "END", then (sections switched when a section is selected) the drawing, spot and
// optimisation settings and the variables block.
void write_lens_commands();

// One surface's lines, after the prefix line when one is given.
void write_surface_commands(int surface, const char* prefix);

// Memory mode: lines are appended to text, each followed by ';', instead of the channel.
// Null switches it off. The text holds at most limit bytes; a line that does not fit (or finds
// no memory) is not appended, nor is any line after it, and lens_string_full tells so.
void set_lens_string(std::string* text, std::size_t limit = std::string::npos);
bool lens_string_full();
