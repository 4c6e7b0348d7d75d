// The one-letter marks beside a surface's curvature, thickness, aperture and medium, as the
// surface listing and the surface sheet show them: one function, so that the two agree wherever
// they are meant to.
#pragma once

#include <string>

struct SurfaceRecord;

// Where the marks are shown. The sheet's curvature, thickness and medium marks are the faces of
// the buttons that set each value's kind: they name a variable first, whatever kind the value
// has (a variable medium also loses its name cell, and the face says why), and they know only
// the solve kinds those buttons offer. The listing reports what the set-up does with the value:
// a variable only on a free value (a plain curvature or thickness, a model glass), no solve on
// a surface inside a non-sequential group, where none is applied, and also the solve kinds only
// the command language stores (curvature 12, thickness 10).
enum class MarkPlace { listing, sheet };

struct SurfaceMarks {
    char curvature = ' ';
    char thickness = ' ';
    char medium = ' ';
    // In this order: A (stop) or R (reference surface), P, S or F by aperture kind, K (checked),
    // X (special apertures); at most five letters.
    std::string aperture;
};

// A surface between the first and last of a non-sequential group: the group traces it, not the
// sequence, so its thickness is not used.
bool non_sequential_interior(const SurfaceRecord& s);

SurfaceMarks surface_marks(int n, MarkPlace place);
