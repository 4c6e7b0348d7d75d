// The lens listings: one driver prints a listing kind over a surface range by calling the
// kind's row writer for each surface, with the row state of entry/listing_state.h.
// Here the surface-data listing (curvatures or radii), the refractive indices, the wavelength
// table and the whole-lens listing that "LEN -1" prints.
#pragma once

// Prints the kind's rows over the range of argument cells 1 and 2 (0: all surfaces).
void list_lens_data(int kind);
void list_wavelengths();
// Mode 0: the special-data summary of each surface of first..last; mode 1: every listing of
// special data that has something to show there.
void list_surface_range(int mode, int first, int last);
// Everything "LEN -1" shows of the lens.
int list_whole_lens();

// kSlotListLensData: the listing of the running command's number.
int cmd_list_lens_data();
// kSlotListSurfaceRange: LIST_SPECIAL mode, with the range in arguments 2 and 3.
int cmd_list_surface_range();
// kSlotListByMenuCode: the listings of the menu, by menu code and sub-code, the range after them.
int cmd_list_by_menu_code();
// kSlotWavelengthSelect: WL lists the wavelengths, WL n makes wavelength n current.
int cmd_wavelength_select();
