// The first-order layout of the lens from its paraxial system matrix (surface 1 to the last
// surface before the image): aperture, field and conjugate distances, kept in one block that the
// conjugates table and the first-order listings read; and the entry of a new value for one of
// the table's items, which changes the lens so that the value is met.
#pragma once

// Item numbers of the editable values.
enum ConjugateItem : int {
    kItemBeamRadius = 101,
    kItemObjectNa = 102,
    kItemImageNa = 104,
    kItemFNumber = 105,
    kItemImageSlope = 107,
    kItemObjectHeight = 202,
    kItemImageHeight = 203,
    kItemFieldAngle = 204,
    kItemObjectDistance = 301,
    kItemImageDistance = 302,
    kItemMagnification = 303,
    kItemObjectFromPrincipal = 304,
    kItemImageFromPrincipal = 305,
};

struct ConjugatesBlock {
    double beam_radius;            // 101
    double object_na;              // 102
    double image_na;               // 104
    double f_number;               // 105
    double image_slope;            // 107: the final axial slope of the lens set-up
    double object_height;          // 202
    double image_height;           // 203
    double field_angle_degrees;    // 204: seen from the entrance pupil, within [-90, 90]
    double object_distance;        // 301
    double image_distance;         // 302
    double magnification;          // 303
    double object_from_principal;  // 304
    double image_from_principal;   // 305
    double lens_field_angle_degrees;
    double chief_height;     // chief-ray height at the image plane, as the lens set-up left it
    double front_principal;  // n0 (1 - D) / C: front principal plane from surface 1
    double rear_principal;   // n' (1 - A) / C: the rear principal plane's offset, the plane
                             // itself standing at minus this from the last surface
    double lens_length;      // surface 1 to the last surface before the image
    double total_track;      // object to image, the image surface's thickness included
    double last_gap;         // last gap plus the image surface's thickness
    double lagrange;
    double petzval_radius;
    double focal_length;  // n' / C, 0 for an afocal matrix
};

// What the conjugates solve keeps between calls: the pending changes, how the field was last
// entered, and whether the matrix is afocal.
struct ConjugatesState {
    bool object_changed = false;
    bool image_changed = false;
    bool magnification_changed = false;
    int field_edit_mode = 0;  // 0 field angle, 1 object height, 2 image height entered
    bool afocal_matrix = false;
};

ConjugatesBlock& conjugates_block();
ConjugatesState& conjugates_state();

// Applies the pending changes to the lens and refreshes the block. 0, the matrix's failure
// (-10), or the failing lens set-up's code.
int solve_paraxial_conjugates();
// The block's value of an item, 0 for a number that is not an item.
double conjugate_item_value(int item);
// Enters value v for an item as the table's editing does (the lens changes; the caller brings
// it up to date and solves again). 0; an entry that cannot be met changes nothing.
int enter_conjugate_value(int item, double v);
