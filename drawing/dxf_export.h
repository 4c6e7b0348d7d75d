// The DXF export: the lens drawing and its ray sets drawn once more with the output going into
// a DXF file, every outline, edge and ray a 3-D polyline and every face of the 3-D model a
// 3DFACE, after comment lines naming the lens and its unit. Also the export by argument, which
// sends either format.
#pragma once

// Handler of export_dxf (command 811): view kind, selection, every surface, first, last as
// draw_lens, then the file name. 0, -1802 when the file cannot be made, -1247 when it cannot be
// written, or the drawing's own code (the file is still written whole).
int cmd_export_dxf();
// Handler of export_drawing (command 1273): rewrites its arguments into those of export_dxf
// (format 0) or export_iges (format 1), records that command and runs it.
int cmd_export_drawing();

// The frame of the file, for dxf_section: the header comments and the start of the entities;
// the end of the entities and of the file (an open polyline is ended first).
void write_dxf_header();
void write_dxf_trailer();
