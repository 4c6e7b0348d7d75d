// The record of one real ray, the kinds of ray, the codes with which a ray fails, and the
// reference ray that rays of kinds 2, 4 and 5 are measured against.
//
// A ray record owns nothing: its media are pointers into the lens's index arrays, so a record
// can be copied by value. A failure is a message number kept in the record; the trace
// functions return nothing and the caller reads the record afterwards.
#pragma once

#include <cstdint>

#include "tables/table_names.h"

// Ray kinds, as the caller sets them before the trace.
enum RayKind : std::uint8_t {
    kRayPlain = 0,       // plain ray of an analysis
    kRayReported = 1,    // a failure prints its message with the surface number at once
    kRayMeasured = 2,    // measured against the reference ray
    kRayKept = 3,        // results kept on failure; the object point goes into dx, dy, dz
    kRaySphere = 4,      // measured against the reference ray; failures only stored
    kRayOptimise = 5,    // measured against the reference ray for optimisation
    kRayReference = 6,   // the reference ray
    kRayFractional = 7,  // given by fractional input
    kRayGaussian = 8,    // ray of the Gaussian-beam trace
};

// Failure codes (message numbers).
inline constexpr int kRayFailObjectPoint = -2700;       // object point not on the object surface
inline constexpr int kRayFailMissed = -2701;            // no intersection
inline constexpr int kRayFailGratingOrder = -2702;      // grating order evanescent
inline constexpr int kRayFailDiffractiveOrder = -2703;  // diffractive order evanescent
// The ray meets a surface (or needs a step) whose trace code is not part of the program yet.
inline constexpr int kRayFailNotAvailable = -2704;
inline constexpr int kRayFailSpecialAperture = -2705;  // stopped by a special aperture
inline constexpr int kRayFailTotalReflection = -2706;  // total internal reflection not allowed
inline constexpr int kRayFailNoConvergence = -2707;    // aiming passes did not converge
inline constexpr int kRayFailAperture = -2708;         // stopped by the surface aperture
inline constexpr int kRayFailNoReflection = -2747;     // reflection required, the ray refracts

// Frame kinds of a ray's own frame.
enum RayFrameKind : std::uint8_t {
    kRayFrameNone = 0,
    kRayFrameAboutX = 1,  // rotation about x only: y and z change
    kRayFrameFull = 2,
};

// Edge-wall states.
enum EdgeState : std::int16_t {
    kEdgeLeft = 2,  // left through the edge wall
    kEdgeInside = 1,
    kEdgeNone = 0,
    kEdgeArmed = -1,
};

struct RayRecord {
    double obj_x, obj_y, obj_z;  // fractional object coordinates
    double pup_x, pup_y;         // fractional pupil coordinates
    double x, y, z;              // position relative to the vertex of the surface last reached
    double k, l, m;              // direction cosines
    double dist;                 // length of the last segment (at set-up: the start length)
    double factor_a;
    const double* medium;       // index per wavelength slot of the medium travelled in
    const double* prev_medium;  // medium before the last surface
    std::int32_t surface;       // surface last reached (0 = object)
    std::int32_t wavelength;    // wavelength slot, from 0
    std::int32_t failure;       // 0 or a failure code
    double dx, dy, dz;          // intercept differences from the reference ray
    double dtan_x, dtan_y;      // direction-tangent differences from the reference ray
    double sphere_path;         // kind 4: optical length from the image point to the sphere
    double nx, ny, nz;          // surface normal at the last intersection, not normalised
    double normal_len2;         // its squared length; exactly 1 on planes and spheres
    double opl;                 // optical path length
    double opd;                 // optical path difference from the reference ray
    double chrom_opl;           // chromatic path
    double cos_i;               // normal dotted with the direction at the last intersection
    double gamma;               // multiple of the normal added at the last bending
    double frame[12];           // 3x3 rotation row by row, then the offsets
    double factor_b;
    // Aimed rays of kinds 0, 6 and 7: where the ray crosses the plane of surface 1, in fractions
    // of the paraxial entrance beam around the chief ray's paraxial height there.
    double paraxial_pup_x, paraxial_pup_y;
    double aim_pup_x, aim_pup_y;  // requested pupil fractions of aimed or fractional rays
    double eff_pup_x, eff_pup_y;  // effective pupil coordinates relative to the real pupil
    double grin_index;            // index at the current point inside a gradient medium
    const double* alt_medium;     // second index pair travelling with medium / prev_medium
    const double* prev_alt_medium;
    const double* pupil_bounds;  // five values per wavelength slot, or null
    std::int16_t group_offset;   // added to surface in messages when 1 or more
    std::int16_t group_count;
    std::int16_t frame_surface;  // < 0: carry the ray into frame; > 0: surface of the frame
    std::int16_t grin_state;     // non-zero inside a gradient medium, -2 just after it
    std::int16_t grin_surface;   // surface where the gradient medium began
    std::int16_t edge_state;     // EdgeState
    std::uint8_t kind;           // RayKind
    std::uint8_t reversed;       // 1 while the ray travels against the axis
    std::uint8_t backward;       // 1 for a ray traced with the reverse media
    std::uint8_t check_apertures;
    std::uint8_t frame_kind;  // RayFrameKind
    // Set by the caller: 1 takes the pupil fractions on the paraxial entrance pupil as they
    // stand, whatever the aiming mode says (no rim-ray mapping, no centring on the reference
    // ray). A command that wants this sets it on every ray it traces.
    std::uint8_t pupil_at_entrance;
};

// Position and direction derivatives of a neighbour ray per unit of one parameter.
struct RayDerivative {
    double dx, dy, dz;
    double dk, dl, dm;
};

// Order of the reference ray's derivative records.
enum ReferenceDerivative : int {
    kDerivPupilY = 0,
    kDerivPupilX = 1,
    kDerivObjectX = 2,
    kDerivObjectY = 3,
};

// The chief ray of the current object point (kind 6); its object fields hold the current
// object point.
struct ReferenceRay {
    RayRecord ray;
    double sphere_radius;  // reference-sphere radius
    RayDerivative derivatives[4];
};

ReferenceRay& reference_ray();
