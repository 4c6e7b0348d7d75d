// Starting a new lens under a file name: a lens of N empty surfaces, a lens whose first-order
// value is given, or a perfect lens given by focal length, magnification and numerical
// aperture. The handler reads its argument cells into a NewLensRequest.
#pragma once

#include <string>

#include "tables/table_names.h"

enum NewLensKind : int {
    kNewLensSurfaces = 0,
    kNewLensValue = 1,
    kNewLensPerfect = 2,
};

struct NewLensRequest {
    int command = kCmdNewLens;
    std::string file_name;
    int kind = kNewLensSurfaces;
    int surfaces = 0;           // command 221 kind 0
    double value = 0.0;         // command 221 kind 1, command 223
    double focal_length = 0.0;  // perfect lens
    double magnification = 0.0;
    double numerical_aperture = 0.0;
};

struct NewLensResult {
    std::string path;         // the lens file the new lens is named after
    int lens_surfaces = 0;    // surfaces between object and image
    bool value_kind = false;  // the request gave a first-order value instead of surfaces
    double first_order_value = 0.0;
};

// The lens-file path of a typed name: '\' read as '/', a relative name placed in the lens
// folder, ".tav" or ".len" added when there is no extension. False for a name without a file
// part.
bool new_lens_path(const std::string& name, std::string& path);

// Makes the new lens. 0; -1141 (name, error text set: -9998); -1062 when the surfaces do not fit
// below the surface limit (nothing changed); -10 when the perfect-lens records cannot be had.
int new_lens_from_request(const NewLensRequest& request, NewLensResult& result);
