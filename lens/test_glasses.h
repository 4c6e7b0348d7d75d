// The test-glass list: the radii for which the optical shop has test plates. The radius cells
// of the surface spreadsheet step a radius to the next larger or smaller entry, so the list is
// kept in ascending order. It is read whenever the setting Test_glass_file changes.
#pragma once

#include <cstdint>
#include <string>

#include "tables/table_names.h"

// Radii are stored as integers in units of 1e-4 of the file's radius unit; a radius whose
// scaled value reaches this magnitude does not fit and is left out.
inline constexpr double kTestGlassScale = 10000.0;
inline constexpr double kTestGlassScaledLimit = 1e9;

// Where a list name is read from: a name holding '/' or '\' where it points, a bare name in
// the installation's bin/lmo folder.
std::string test_glass_path(const char* name);

// Replaces the list by the radii of the file: 0, -327 (the file cannot be opened; the list is
// empty) or -328 (the count or a radius line is not a number; the radii read before it stay).
// The first line that holds a digit is the expected count, which the file may contradict: the
// list holds whatever radii follow. "//" ends a line's text; "/*" ... "*/" comments may span
// lines.
int read_test_glass_list(const char* name);

int test_glass_count();
// Radius i in units of 1e-4 (0 outside the list).
std::int32_t test_glass_radius(int i);
void clear_test_glass_list();

// The radius of the list next above (direction > 0) or next below (direction < 0) a radius,
// compared at the list's 1e-4 resolution: 0 with it in out, or -1 (out untouched) when the
// list has fewer than two radii or none lies beyond the radius that way.
int step_test_glass_radius(double radius, int direction, double* out);

// Lets the settings store load the list when Test_glass_file is set and the settings command
// report how many glasses it holds.
void install_test_glasses();
