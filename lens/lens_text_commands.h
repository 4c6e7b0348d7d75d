// The three lens texts handed back in text variables of the command language: a surface's glass
// name, a surface's note and a line of the lens note.
#pragma once

#include <cstddef>

// The command language's text variables that the lens-text commands fill: 86 a glass name
// (11 bytes), 87 a surface note and 88 a lens note line (81 bytes each). The start-up
// binds them to the variables.
inline constexpr int kSysVarGlassName = 86;
inline constexpr int kSysVarSurfaceNote = 87;
inline constexpr int kSysVarLensNoteLine = 88;
inline constexpr std::size_t kGlassNameVariableSize = 11;
inline constexpr std::size_t kNoteVariableSize = 81;
// The buffer of text variable entry (86..88) and its size; null for any other entry.
char* lens_text_variable(int entry, std::size_t* size);

// Installs the three commands into their handler slots.
void install_lens_text_commands();

int cmd_surface_glass_name();
int cmd_surface_note();
int cmd_lens_note_line();
