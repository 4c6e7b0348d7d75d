// The strip of the graphics-with-text window (16): its OK, Cancel and Help buttons with the
// spreadsheet strip's pictures.
#pragma once

// Fills window 16's strip; a picture that cannot be read leaves its button out.
void build_window16_strip();
