// The new lens and the record resets it is built from; the surface operations reuse them.
#pragma once

struct SpecialAperture;

// Empties the current lens and leaves the minimal lens: object at infinity, surface 1 and the
// image surface 2 in air, the default wavelengths, lens-level defaults, three drawing ray sets,
// fresh optimisation and spot-diagram settings. The long-lived records are had before anything
// is reset, so a failure (-10, or -353 for the wavelength table) leaves the old lens whole.
int lens_new();
// The records of lens_new's new lens, without what the running program adds (the state flags,
// the optimiser's links, the lens-file setting, the new-lens procedure); same_lens keeps the
// model glasses and the beam sheet, as for a lens read back from a sheet's revert copy.
// 0, -10 or -353 as for lens_new.
int make_new_lens_records(bool same_lens);

void free_lens_special_data();
// Frees every block the surface owns; the pointers are left for the caller to clear.
void free_surface_special_data(int n);
// Frees the surface's spline profile and clears its pointer.
void free_surface_spline(int n);
// Frees the surface's gradient-index record with its arrays and clears its pointer.
void free_surface_grin(int n);
// Resets the record's own fields to an air surface and clears its pointers without freeing.
void reset_surface(int n);
// Copies the whole record, pointers included: the caller decides which record keeps the blocks.
void copy_surface(int source, int destination);

void reset_lens_data();
// 0, or -353 when the table cannot be had.
int reset_wavelength_table();
// 0, or -10 when the record or its rows cannot be had (the old rows then stay).
int reset_drawing_conditions();
void init_special_aperture(int n, int entry);
// The turn of a special aperture given by points: 1 when its first three points turn one way,
// (y2 - y1)(x3 - x1) - (y3 - y1)(x2 - x1) > 0, else 0; a shape given by corners has none.
void set_special_aperture_orientation(SpecialAperture& a);
void reset_hologram_record(int n);
void reset_spot_settings();
void reset_optimise_params();
// Removes the model glasses from the glass cache, keeping the catalogue glasses in front.
void drop_model_glasses();
