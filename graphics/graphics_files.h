// Graphics windows written as files: 8-bit bitmaps (".bmp", run-length ".rle"), Windows and
// enhanced metafiles (".wmf", ".emf") and HPGL (".hgl"), each by replaying the display list;
// and the plot command that chooses the output by the file name's extension.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/graphics_raster.h"
#include "tables/table_names.h"
#include "ui/text_print.h"

// The current window's picture: its display list replayed into a raster of its size.
IndexedRaster graphwin_capture();

// The bitmap file bytes of a raster: 8 bits a pixel with the 256-entry colour table, rows
// bottom-up; run-length compressed (RLE8) when rle is set.
std::vector<std::uint8_t> bitmap_file_bytes(const IndexedRaster& raster, bool rle);
// A bitmap file of the given bits: the file and information headers (96 dots an inch), the
// colour table and the bits, the bits starting right after the table.
std::vector<std::uint8_t> bitmap_file_with_table(int width, int height, int bits_per_pixel,
                                                 int compression, int colours_used,
                                                 const std::vector<platform::Colour>& table,
                                                 const std::vector<std::uint8_t>& bits);

// mode 1 an 8-bit bitmap file, 2 a run-length compressed one: 0 or -9998 (error text set).
int graphwin_write_dib(const std::string& file_name, int mode);
// mode 0 a plain Windows metafile, 1 with the placeable header, 2 an enhanced metafile.
int graphwin_write_metafile(const std::string& file_name, int mode);
// The metafile's bytes (mode as above), and the picture as a PNG file (8-bit with a palette).
std::vector<std::uint8_t> graphwin_metafile_bytes(int mode);
std::vector<std::uint8_t> png_file_bytes(const IndexedRaster& raster);
// The picture onto the clipboard, as an enhanced metafile and as PNG: 0 or -9998.
int graphwin_copy_to_clipboard();

// By extension: ".hgl", ".wmf" (the Windows-metafile type chosen last in the dialog, placeable
// at first), ".bmp", ".rle", ".emf"; 0 or -9998. An empty name asks for one with the save
// dialog "Print graphics to file" (cancelled: 0, nothing written).
int save_graphics_to_file(const std::string& file_name);
// Back to the placeable Windows metafile (tests, a new run).
void reset_graphics_file_types();

// Prints the current window on a page of the printer (a PDF file where there is none): 0 or
// -9998; a cancelled print dialog gives 0 without a message.
int print_graphics();

// The plot command: destination 1 a file (by its extension); 0 the printer.
int cmd_plot_graphics();
// The HPGL file command of the output-file family.
int cmd_hpgl_file();
