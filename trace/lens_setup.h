// Bringing the current lens up to date after a change: working coefficients of special data,
// special-data pickups, shape words, symmetry flags, decentres and coordinate returns, glass
// data, the paraxial set-up pass with its solves and pickups, the aiming mode and the pupils,
// and the surface frames. Every command that changes the lens runs lens_setup afterwards, and
// every analysis relies on what it leaves.
#pragma once

#include <cstdint>

#include "tables/table_names.h"

struct AsphereRecord;
struct SplineRecord;

// Brings the lens up to date; the argument is ignored. 0, or a message number with the failing
// surface in the lens data's failing_surface: -259 (zero axial ray height at the stop), or the
// first special-data error of the pass (-293, -255), which was shown as well. While a lens file
// is read (kFlagLensReadInBulk) nothing happens; a call made while a pass runs only prepares the
// special data of the surfaces behind the one being passed.
int lens_setup(int mode);

// The result of the last full set-up (0 or its message number) and its failing surface: what a
// listing of the lens must refuse with instead of printing stale numbers.
int last_lens_setup_result(int* failing_surface);
// A lens a ray or paraxial analysis can work on: 0, or the error message -3999 (no lens) or
// -3989 (nothing between object and image) set. Without a surface there is no pupil to aim at,
// and every number an analysis would print is meaningless.
int check_lens_has_surfaces();
// lens_setup(0) for a caller that reports its failure: 0, or the set-up's message with the
// surface it failed at put into the error text (the message number is returned).
int lens_setup_or_error();
// The handler of the lens set-up command: lens_setup(0) and its code.
int cmd_lens_setup();

// Installs lens_setup wherever other code runs it (the paraxial commands, the glass catalogue
// re-read, the group operations) and the set-up command's handler.
void install_lens_setup();

// The surface the paraxial pass is working on (nested calls start behind it); the pass moves it.
int lens_setup_pass_surface();
void set_lens_setup_pass_surface(int n);

// Special-data steps of one surface, as the paraxial pass runs them when it reaches the
// surface: the shape word, diffractive, asphere, spline and toric data, special apertures and
// symmetry. Returns the special-data error to report (0, -293, -255).
int surface_special_data_steps(int n);
// The shape-word steps alone (base shape, asphere, spline, toric): what a surface needs after
// a curvature pickup was applied to it out of turn.
int surface_shape_steps(int n);

// Working coefficients from the entered ones (Zernike forms converted to power series over the
// aperture radius of surface n).
void prepare_asphere_coefficients(AsphereRecord& asphere, int n);
void prepare_diffractive_coefficients(int n);
// Curvature and sag profiles of a spline from its radii and slopes (the first curvature set by
// the caller): 0, or -293 when the radii do not increase.
int derive_spline_profile(SplineRecord& spline);
// 0 usable, 1 degenerate (one point, or all radius steps below 1e-40), -293 radii not increasing.
int check_spline_profile(const SplineRecord& spline);
// Pickup, rotation matrix and symmetry of surface n's decentre: 0, -307 or -320.
int prepare_decentre(int n);
// A coordinate return of surface n onto itself takes the rotation and offsets of its decentre.
void prepare_return_coordinates(int n);
// Special aperture entry of surface n takes the values of the entry it picks up.
void apply_special_aperture_pickup(int n, int entry);

// 1 when the reference surface is 2 or more and no surface before it carries a record that
// takes the real ray off its plain path; else 0.
int stop_path_is_plain();
