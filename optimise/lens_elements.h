// The lens elements as the tolerancing sees them: runs of surfaces with glass between them,
// entered from air and left into air.
#pragma once

// Element marks of a surface: where it stands in a lens element.
enum ElementMark : int {
    kElementNone = 0,
    kElementFirst = 1,
    kElementInside = 2,
    kElementLast = 3,
};

// Marks surfaces 0..count-1 (marks has count entries; the tolerancing passes the image index,
// so the image is never marked) and returns the number of elements. An element still open at
// the end is no element: its marks are cleared.
int find_lens_elements(int* marks, int count);
