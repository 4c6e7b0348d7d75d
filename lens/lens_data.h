// The current lens: the surface array, the lens-level record, the wavelength table and the
// per-lens records of the drawing, spot-diagram and optimisation code. There is exactly one
// lens; its arrays are allocated once at start-up and live for the whole run.
//
// Surface numbers are plain indices (0 the object surface, image_surface the image surface).
// Every field below that stores a surface number is renumbered by insert_surface and
// delete_surface; a new such field must be added to the renumbering too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lens/glass_catalog.h"
#include "numeric/memory.h"
#include "runtime/messages.h"
#include "tables/table_names.h"

// Settings the lens arrays are sized and filled from.
constexpr int kSettingWavelengthDefaults = 2;
constexpr int kSettingWeightDefaults = 3;
constexpr int kSettingSurfaceLimit = 8;
constexpr int kSettingMaxWavelengths = 9;
constexpr int kSettingDesigner = 18;
constexpr int kSettingLensFile = 25;

constexpr int kMediumNameLength = 10;  // medium names are blank-padded to this many characters
constexpr int kGroupLabelLength = 11;
constexpr int kTitleLength = 32;
constexpr int kDesignerLength = 10;
constexpr int kNoteLines = 10;
constexpr int kNoteLength = 80;
constexpr int kOptimiseTextLength = 23;  // OptimiseParams texts, terminator not counted
constexpr int kGroupPortBytes = 9;
constexpr int kGroupPortKeptByte = 6;  // the one port byte that resets and group ends keep
constexpr int kGrinCoefficientRows = 8;
constexpr int kGrinGrdCoefficients = 28;

// The distance the lens data take as infinite (an object or pupil at infinity), and the value
// the paraxial data give where a quantity is undefined.
inline constexpr double kInfiniteDistance = 1e20;
// 1e-6 rounded through a float, as the lens records have always held it: the least value kept
// where zero cannot stand, the field angle of an axial object point (which still needs a
// direction) and the reference of a gradient index that names none.
inline constexpr double kLeastNonZero = 9.999999999462034e-07;
constexpr double kAirTce = 236.0;
constexpr double kFallbackWavelength = 0.58756;
constexpr double kMaxDefaultWavelength = 100.0;

// Medium kinds.
enum MediumKind : std::uint8_t {
    kMediumModelGlass = 0,
    kMediumAir = 1,
    kMediumGlass = 2,
    kMediumModelIndexAbbe = 3,
    kMediumMirror = 4,
    kMediumPickup = 5,
    kMediumModelGlassComputed = 6,      // a model glass whose indices the glass cache computed
    kMediumModelIndexAbbeComputed = 7,  // the same for a model given by index and Abbe number
    kMediumUnwritten = 8,
    kMediumGlassFixed = 9,
    kMediumAirFixed = 10,
};

// Curvature kinds; 1 and 2 are pickups, 6 and 7 fixed by a group.
enum CurvatureKind : std::uint8_t {
    kCurvaturePlain = 0,
    kCurvaturePickup = 1,
    kCurvaturePickupNegated = 2,
    kCurvatureAxialSlope = 3,
    kCurvatureChiefSlope = 4,
    kCurvatureFixed = 6,
    kCurvatureFixedRtf = 7,
    kCurvatureAxialIncidence = 8,
    kCurvatureChiefIncidence = 9,
    kCurvatureAxialAplanatic = 10,
    kCurvatureChiefAplanatic = 11,
};

// A curvature solved from a paraxial ray, of the kinds the solve commands make.
inline bool is_curvature_solve(int kind) {
    switch (kind) {
        case kCurvatureAxialSlope:
        case kCurvatureChiefSlope:
        case kCurvatureAxialIncidence:
        case kCurvatureChiefIncidence:
        case kCurvatureAxialAplanatic:
        case kCurvatureChiefAplanatic:
            return true;
        default:
            return false;
    }
}

// Thickness kinds; 1 to 4 take their value from other surfaces.
enum ThicknessKind : std::uint8_t {
    kThicknessPlain = 0,
    kThicknessPickup = 1,
    kThicknessPickupNegated = 2,
    kThicknessLength = 3,
    kThicknessLengthNegated = 4,
    kThicknessAxialHeight = 5,
    kThicknessChiefHeight = 6,
    kThicknessFixed = 8,
    kThicknessEdge = 9,
};

enum ApertureKind : std::uint8_t {
    kApertureComputed = 0,
    kApertureFixedValue = 1,
    kAperturePickup = 2,
    kApertureFixedByGroup = 7,
};

// Shape words: what the lens set-up found the base of a surface to be, so that the trace and the
// surface geometry take the right path without looking at the records again. The command
// language reads them (kItemShape), so the numbers stay as they are.
enum SurfaceShape : std::uint16_t {
    kShapePlane = 0,
    kShapeSphere = 1,
    kShapeCylinder = 3,
    kShapeConic = 4,
    kShapeAsphere = 5,  // a conic base with the terms of an asphere record added
    kShapeToroid = 6,
    kShapeSpecialBase = 8,  // a base that is no conic of revolution: biconic, cone, biconic pairs
    kShapeSpline = 9,
};

// Asphere kinds (AsphereRecord::kind), with the words that enter them. The command language
// reads the kind (kItemAsphereKind), so the numbers stay as they are.
enum AsphereKind : std::uint8_t {
    kAsphereEven = 0,          // "AD".."AG"
    kAsphereSeries = 1,        // "ASR"
    kAsphereXy = 2,            // "ASX"
    kAsphereOdd = 3,           // "ISR"
    kAsphereToricX = 4,        // "TRX"
    kAsphereToricY = 5,        // "TRY"
    kAsphereBiconic = 6,       // "BIC"
    kAsphereCone = 7,          // "CNR"
    kAsphereEllipticCone = 8,  // "CNX"
    kAsphereZernike = 9,       // "ZSR"
    kAsphereZernikeXy = 10,    // "ZSX"
    kAsphereRadial = 11,       // "ARA"
    kAsphereAbsXy = 12,        // "AXA"
    // Kinds from kAsphereCone up to this one are cones: their base has no conic root.
    kAsphereLastCone = 100,
    // A radial form (sub_kind) with a biconic of which half is turned by 45 degrees.
    kAsphereBiconicPairs = 101,
};

enum GroupKind : std::uint8_t {
    kGroupNone = 0,
    kGroupNonSequential = 1,
    kGroupElement = 2,
    kGroupElementGroup = 3,
    kGroupParaxial = 4,
    kGroupEikonal = 5,
    kGroupUserDefined = 6,
};

enum GroupRole : std::uint8_t { kRoleFirst = 1, kRoleInner = 2, kRoleLast = 3 };

// The 3x4 global placement of a surface, written by the frame builder of the trace.
struct SurfaceFrame {
    double m[12];
};

// An asphere: a 16-byte header and the working and entered coefficients in the same block.
struct AsphereRecord {
    std::int16_t working_count;
    std::int16_t entered_count;
    std::uint16_t sub_kind;  // the radial form a kAsphereBiconicPairs record stands for
    std::uint8_t kind;
    std::uint8_t changed;
    double* working;
    double* entered;
};

// Diffractive kinds (DiffractiveRecord::kind), with the words that enter them. The lens file
// and the command language (kItemDiffractiveKind) hold the numbers, so they stay as they are.
enum DiffractiveKind : std::uint8_t {
    kDiffractiveRadial = 0,     // "DOE DFR": a polynomial in x² + y²
    kDiffractiveXy = 1,         // "DOE DFX": a polynomial in x and y
    kDiffractiveRadialOdd = 2,  // "DOE DRA": a polynomial in r, odd powers too
    kDiffractiveXyOdd = 3,      // "DOE DXA"
    kDiffractiveZernike = 4,    // "ZOE ZRR"
    kDiffractiveZernikeXy = 5,  // "ZOE ZRX"
    kDiffractiveUnwritten = 6,  // no lens-file form; traced as kDiffractiveRadial
    // Kinds up to this one are polynomials ("DOE", "DF%d"); the two after it Zernike zone
    // plates ("ZOE", "ZR%d").
    kDiffractiveLastPolynomial = kDiffractiveXyOdd,
};

struct DiffractiveRecord {
    std::int16_t working_count;
    std::int16_t entered_count;
    std::int16_t pickup_source;  // surface whose diffractive data this one picks up; 0 none
    std::uint8_t kind;
    std::uint8_t changed;
    std::uint8_t zernike_switch;  // "ZRT On"
    // Set, a kind 4 or 5 surface before the stop is left out of the real-ray pupil search;
    // nothing sets it yet.
    std::uint8_t pupil_search_exempt;
    char kind_text[24];
    double design_wavelength;  // micrometres
    double* working;
    double* entered;
};

struct HologramRecord {
    std::int8_t first_point_virtual;
    std::int8_t second_point_virtual;
    std::int32_t order;
    double wavelength;
    double first_point[3];
    double second_point[3];
};

// Decentre and tilt; the same shape serves the coordinate-return and reference records.
struct DecentreRecord {
    double dcx, dcy, dcz;
    double tla, tlb, tlc;  // degrees
    double rotation[9];    // row-major, computed from the tilts
    std::int32_t tilt_mode;
    std::int16_t pickup_source;   // for the return and reference records: the surface given
    std::int16_t pickup_negated;  // -1 when the pickup takes the negated values
    std::uint8_t rotation_kind;   // 0 identity, 1 about x only, 2 general
};

// Special-aperture entry shapes and actions (SpecialAperture::shape and ::action).
enum SpecialApertureShape : std::uint8_t {
    kApertureEllipse = 1,
    kApertureRectangle = 2,
    kApertureTriangle = 3,
    kApertureQuadrilateral = 4,
};
enum SpecialApertureAction : std::uint8_t {
    kActionUntouched = 1,  // inside, the ray passes the surface untouched
    kActionObstruct = 2,   // inside, the ray is stopped
    kActionClear = 4,      // the ray must pass inside
};

struct SpecialAperture {
    double y[4];
    double x[4];
    double angle;
    std::int16_t pickup_source;
    std::uint8_t shape;
    std::uint8_t action;
    std::uint8_t convex;
    std::uint8_t id_letter;
    std::uint8_t group;
    std::uint8_t pickup_id_letter;  // blank when none
};

struct SplineRecord {
    double* radius;
    double* slope;
    double* curvature_profile;
    double* sag_profile;
    std::int32_t count;
    std::uint8_t changed;
};

// Gradient-index kinds (GrinRecord::kind): the index model, by the word after "GDT". The lens
// file and the command language (kItemGrinKind) hold the numbers, so they stay as they are.
enum GrinKind : std::uint8_t {
    kGrinNone = 0,
    kGrinArg = 1,
    kGrinWod = 2,
    kGrinAeg = 3,
    kGrinSph = 4,
    kGrinMxf = 5,
    kGrinLbg = 6,
    kGrinUsr = 7,  // a user routine
    kGrinSns = 8,
    kGrinTap = 9,
    kGrinSel = 10,
    kGrinGrd = 11,
    kGrinUserGrid = 12,  // "GDT UGR" with a coefficient count
};

// Gradient index. The eight per-wavelength coefficient rows are the radial ones first
// (NR1..NR4), then the axial ones (NZ1..NZ4), the order in which the trace and the paraxial
// pass index them.
struct GrinRecord {
    std::uint8_t kind;
    std::int32_t count;  // kind 12
    double step;         // "DTH"
    double aeg_weights[2];
    double sns_values[3];  // amplitude, frequency, phase
    double tap_values[2];  // slope, offset
    double gmz;
    double goz;
    double gwv;                        // micrometres
    double** coefficients;             // RowMatrix of kGrinCoefficientRows x Max_wavelengths
    char* user_routine;                // owned
    double* user_values;               // owned
    double grd[kGrinGrdCoefficients];  // GRA1..4, GRB1..4, GRC1..4, GRD1..4, GNZ0..GNZ11
};

struct PerfectLensRecord {
    double focal_length;   // "PFL"
    double magnification;  // "PFM"
};

// A vertex refers to the surface j + surface_offset of the surface j that owns the mesh.
struct MeshVertex {
    double x, y, z;
    std::int32_t surface_offset;  // -1 marks a vertex whose surface was deleted
};

struct MeshFace {
    std::int16_t vertices[4];  // 1-based; a 0 ends the list early; vertices[0] == 0 drops it
};

struct SurfaceMesh {
    std::int32_t vertex_count;
    std::int32_t face_count;
    MeshVertex* vertices;
    MeshFace* faces;
};

// The group record on the start surface of a group.
struct SurfaceGroup {
    double values[8];
};

// Range-record kinds (SurfaceRangeRecord::kind) that the lens set-up reads; nothing in this
// program makes a range record, the number comes with the record.
enum SurfaceRangeKind : std::int32_t {
    kRangeBreaksPlaneSymmetry = 2,  // the lens is no longer symmetric about its y-z plane
};

// The range record of the trace on the start surface of a marked range.
struct SurfaceRangeRecord {
    std::int32_t words[6];
    std::int32_t kind;
    std::int32_t count;
    double* values;  // owned, count entries
};

// Records of other subsystems that the surface owns; they are freed through the hooks below.
struct SurfaceTolerances;
struct ElementDrawing;

struct SurfaceRecord {
    double curvature;
    double conic;
    double x_curvature;
    double x_conic;
    double curvature_solve_value;
    double thickness;
    double thickness_solve_value;
    double thickness_solve_value2;
    double aperture_radius;
    double medium_tce;  // 1e-7 per kelvin
    double axial_ray_height;
    double axial_ray_slope;
    double chief_ray_height;
    double chief_ray_slope;
    double vertex_position;
    double grating_spacing;
    double grating_companion;  // copied with a diffractive pickup
    double fresnel_curvature;
    double fresnel_conic;
    SurfaceFrame frame;
    char* note;
    void* unused_note_record;  // no code makes it; freed and copied with the surface
    double* index;             // into the glass cache: one index per lens wavelength
    double* medium_work[5];    // glass-cache and trace arrays; [kOwnedMediumWork] is owned
    SpecialAperture* special_apertures;
    AsphereRecord* asphere;
    DiffractiveRecord* diffractive;
    HologramRecord* hologram;
    DecentreRecord* decentre;
    void* head_counted_trace_record;  // trace data; its first 16-bit word is an entry count
    GrinRecord* grin;
    SurfaceTolerances* tolerances;
    ElementDrawing* element_drawing;
    void* word3_counted_trace_record;    // trace data; 16-bit count in its third 16-bit word
    DecentreRecord* return_coordinates;  // "RCO %d": coordinates return after this surface
    DecentreRecord* decentre_reference;  // "GC ": decentre given in another surface's frame
    SurfaceRangeRecord* range_record;    // on the start surface of a marked range
    SurfaceGroup* group;
    SurfaceMesh* mesh;
    SplineRecord* spline;
    PerfectLensRecord* perfect_lens;
    // Records of surface kinds this program neither reads nor makes; any one makes the surface
    // unplain for the trace, the sheet and the listings.
    void* unsupported_records[3];
    std::int32_t diffraction_order;
    std::int32_t diffraction_word;  // copied with a diffractive pickup
    std::int32_t skip_to;
    std::uint16_t shape;
    std::int16_t medium_source;
    std::int16_t curvature_source;
    std::int16_t thickness_source;
    std::int16_t thickness_source2;
    std::int16_t special_aperture_count;
    std::int16_t aperture_source;
    std::uint8_t bend;
    std::uint8_t medium_kind;
    std::uint8_t medium_reset_mark;  // 1 after a reset
    std::uint8_t curvature_kind;
    std::uint8_t toric;
    std::uint8_t thickness_kind;
    std::uint8_t aperture_kind;
    std::uint8_t range_mark;  // 1 start of a marked range, 2 its end; read by the trace
    std::uint8_t group_kind;
    std::uint8_t group_role;
    std::uint8_t group_extra;  // cleared by resets and when a non-sequential group ends
    std::uint8_t aperture_check;
    std::uint8_t frame_rotated;
    std::uint8_t fresnel;
    std::uint8_t alternate_intersection;
    std::uint8_t tir_only;
    std::uint8_t rod;
    std::uint8_t drawing_mode;  // "DRW": kDrawingAut..kDrawingOn of the list drawing_switch
    // Non-sequential group members: [0], [1] the two member offsets, [3], [4] their switches.
    std::uint8_t group_port_flags[kGroupPortBytes];
    std::uint8_t curvature_variable;
    std::uint8_t thickness_variable;
    std::uint8_t glass_variable;
    std::uint8_t in_air;
    std::uint8_t sheet_scratch_bytes[4];  // cleared whenever the surface sheet is written
    char medium_name[kMediumNameLength + 1];
    char group_label[kGroupLabelLength + 1];

    // Fields the trace, the surface geometry and the aberration code read (reset to 0).
    double start_curvature;  // used with start_pair
    double start_conic;
    double asphere_term;
    double extra_curvature;  // scaled with the curvature; valid when extra_curvature_flag
    DecentreRecord* return_coordinates2;  // the second coordinate-return record
    std::uint8_t start_pair;
    std::uint8_t extra_curvature_flag;
    std::uint8_t medium_kind_backward;  // medium kind for backward travel (4 = mirror)
    std::uint8_t second_tilt;
    std::uint8_t return_kind;  // 2: return into a stored frame
    std::uint8_t edge;
    // Element bytes of the lens drawing (reset to 0; no command sets them yet): the surface
    // starts an element whatever its media, the element number inside a non-sequential group,
    // the surface turns the light back like a mirror, no edge joins it to the next surface, the
    // side its mirror hatching takes, and the break mark (1 drawn, 2 the next surface drawn).
    std::uint8_t element_member;
    std::uint8_t element_number;
    std::uint8_t reversing;
    std::uint8_t no_edge;
    std::uint8_t side;
    std::uint8_t drawing_break;
    // Whether the trace may take its plain-surface step here; written by the lens set-up for
    // every surface. kPlainUnknown on a record the set-up has not seen: the trace then looks
    // at the surface itself.
    std::uint8_t plain_mark;
};

enum PlainMark : std::uint8_t { kPlainUnknown = 0, kPlainSurface = 1, kPlainNotPlain = 2 };

// A plane, sphere or conic of revolution in the lens's own frame, with a plain medium behind
// it and at most the circular aperture: no decentre, toric or special base, Fresnel
// substrate, start pair, asphere, spline, non-conic record, special aperture, gradient index,
// grating, diffractive or holographic data or perfect lens.
inline bool surface_is_plain(const SurfaceRecord& s) {
    return s.decentre == nullptr && s.toric == 0 && !s.fresnel && !s.start_pair &&
           s.shape != kShapeSpecialBase && s.asphere == nullptr && s.spline == nullptr &&
           s.unsupported_records[0] == nullptr && s.unsupported_records[1] == nullptr &&
           s.unsupported_records[2] == nullptr && s.special_aperture_count <= 0 &&
           s.grin == nullptr && s.grating_spacing == 0.0 && s.diffractive == nullptr &&
           s.hologram == nullptr && s.perfect_lens == nullptr;
}

constexpr int kOwnedMediumWork = 3;
constexpr int kPortOffset1 = 0;
constexpr int kPortOffset2 = 1;
constexpr int kPortSwitch1 = 3;
constexpr int kPortSwitch2 = 4;

struct WavelengthEntry {
    double wavelength;  // micrometres
    double weight;
};

struct DrawingRaySet {
    double field_fraction;    // "DLFP"
    double x_field_fraction;  // "DLXF"
    double pupil_min;         // "DLMN"
    double pupil_max;         // "DLMX"
    double offset;            // "DLOS"
    std::int32_t ray_count;   // "DLNR"
    std::int32_t wavelength;  // "DLWN", 1-based
    std::int32_t unused;
    std::uint8_t drawn;  // "DLYF": 1 fan along pupil y
};

// Which arcs of the rims the lens drawing draws ("DLAP"); other values draw them from 0 to 270
// degrees.
enum DrawingRims : std::int32_t {
    kRimsTo180 = 1,   // from 0 to 180 degrees
    kRimsFrom90 = 2,  // from 90 to 270 degrees
    kRimsWhole = 3,   // the whole circle
    kRimsNone = 4,    // none; the plan and elevation styles take this one
};

// How a drawn ray ends after the last surface drawn ("DLRS"); other values end it at the image
// length.
enum RayEndMode : std::int32_t {
    kRayEndEqualPath = 1,  // at equal optical path from the middle ray
    kRayEndAtSurface = 2,
    kRayEndToImage = 3,
};

struct DrawingConditions {
    double view[4];  // "DLID", "DLFD", "DLXS", "DLYS"
    DrawingRaySet* rows;
    std::int32_t view_angle1;  // "DLVA"
    std::int32_t view_angle2;  // "DLHA"
    std::int32_t dlap;         // DrawingRims
    std::int32_t dlri;
    std::int32_t dlsp;
    std::int32_t dlrs;          // RayEndMode
    std::int32_t row_count;     // "DLNF"
    std::int32_t row_capacity;  // rows allocated
    std::int32_t dlcv;
    std::int32_t first_surface;  // "DLFS", 0 = all
    std::int32_t last_surface;   // "DLLS", 0 = all
    std::uint8_t dlas;
    std::uint8_t dlhr;
};

struct SpotSettings {
    double aperture_divisions;       // "SDAD"
    double apodisation_width_x;      // "SDGX"
    double apodisation_width_y;      // "SDGY"
    double mtf_path_limit;           // "SDMS", waves
    double through_focus_frequency;  // "SDTF"
    std::uint8_t polychromatic;      // "SDPC"
    std::uint8_t apodisation_on;     // "SDAZ"
    // Set, the rays carry amplitudes of their own (besides apodisation): the MTF weighs them and
    // the image is not aligned to a tilted image surface. Nothing sets it yet.
    std::uint8_t ray_amplitudes_vary;
    std::uint8_t fourth_flag;
    std::uint8_t show_diffraction_limit;  // "SDSA"
};

struct OptimiseParams {
    double damping;                                 // "OPDF"
    double small_damping;                           // "OPDS"
    double damping_reduction;                       // "OPDM"
    double derivative_increment;                    // "OPDI"
    double bound_weight;                            // "OPBW"
    double stop_threshold;                          // "OPST"
    double constraint_tolerance;                    // "OPCT"
    double min_air_thickness;                       // "OMNA"
    double max_air_thickness;                       // "OMXA"
    double min_glass_thickness;                     // "OMNG"
    double max_glass_thickness;                     // "OMXG"
    char operand_command[kOptimiseTextLength + 1];  // "OPOC"
    char texts[3][kOptimiseTextLength + 1];
    std::uint8_t automatic_increments;  // "OPVI"
    std::uint8_t opac;                  // "OPAC"
    std::uint8_t zero_failed_weight;    // "OPZW"
    std::uint8_t variable_damping;      // "OPVD"
    std::uint8_t flags[2];
    std::uint8_t sum_of_squares;  // "OPSS"
};

// Defaults of the element drawings: one block for the program and one copied into each new lens.
inline constexpr int kElementDefaultTextLength = 32;
struct ElementDrawingDefaults {
    double values[6];                              // "ELMDF1"
    std::uint16_t integers[6];                     // "ELMDF2", the 16-bit part
    std::uint8_t small[3];                         // "ELMDF2", the 8-bit part
    std::uint8_t set;                              // the defaults have been set
    char texts[2][kElementDefaultTextLength + 1];  // "ELMDF3"
};

// How rays find their way through the pupil (LensData::aim_mode, "RAIM").
enum AimMode : std::int32_t {
    kAimEntrancePupil = 0,  // "Enp": pupil fractions on the paraxial entrance pupil
    kAimParaxial = 1,       // pupil fractions on the paraxial entrance beam at surface 1
    kAimRimRays = 2,        // "Rrr": pupil fractions mapped onto the traced rim rays
    kAimWideAngle = 3,      // real rays aimed at the reference surface, for wide fields
    kAimExtended = 4,       // extended aiming (state flag aiming_extended)
    kAimTelecentric = 5,    // chief rays parallel to the axis in object space
};

struct LensData {
    double units;
    double object_height;
    double field_angle;
    double temperature;
    double pressure;
    double entrance_beam_radius;
    double object_na;
    double entrance_pupil_position;
    double x_axial_start_height, axial_start_height;
    double x_chief_start_height, chief_start_height;
    double entrance_pupil_radius;
    double exit_pupil_radius, exit_pupil_position;
    double test_wavelength;
    double sasd;
    double xaba;
    WavelengthEntry* wavelengths;
    DrawingConditions* drawing_conditions;
    void* spare_blocks[2];
    OptimiseParams* optimise_params;
    SpotSettings* spot_settings;
    ElementDrawingDefaults element_drawing_defaults;
    std::int32_t image_surface;
    std::int32_t aperture_stop;
    std::int32_t reference_surface;
    std::int32_t cbk;
    std::int32_t fan_rays;
    std::int32_t wavelength_count;
    std::int32_t global_coordinate_surface;
    std::int32_t aim_mode;  // AimMode
    std::int32_t tolerance_angle_units;
    std::uint8_t afocal_mode;
    std::uint8_t aim_state;
    std::uint8_t aim_extended;
    std::uint8_t afocal;
    // Symmetric about the y-z plane; the trace and aberration code call it "yz symmetric".
    std::uint8_t plane_symmetric;
    std::uint8_t rotationally_symmetric;
    std::uint8_t field_is_angle;
    std::uint8_t aperture_is_na;
    std::uint8_t wrsp;
    std::uint8_t opdw;
    std::uint8_t apck;
    std::uint8_t epxy;
    std::uint8_t solves_all_configurations;
    std::uint8_t nolc;
    std::uint8_t gprt;
    std::uint8_t grck;
    std::uint8_t frames_valid;
    std::uint8_t aim_telecentric;
    std::uint8_t htnu;
    std::uint8_t zrxr;
    std::uint8_t txyc;
    char title[kTitleLength + 1];
    char designer[kDesignerLength + 1];
    char notes[kNoteLines][kNoteLength + 1];
    std::int32_t notes_word;  // the word behind the notes

    // Lens-level state of the lens operations.
    std::int32_t current_surface;
    std::int32_t current_wavelength;  // 0-based
    std::int32_t current_configuration;
    std::int32_t configuration_count;
    std::int32_t group_start;         // start surface of the group being built; 0 none
    std::int32_t group_kind_pending;  // its group kind
    std::int32_t group_pending;       // 1 while a group command's group is open
    std::int32_t mesh_renumber_limit;
    char title_copy[kTitleLength + 1];  // remembered for the lens file
    char designer_copy[kDesignerLength + 1];
    double expanded_temperature;  // temperature at which the surface data were last expanded

    // Fields the trace, paraxial, evaluation and entry code read or write (reset to 0 unless
    // said otherwise).
    double axial_object_radius;    // non-zero confines the object to the axis
    double cone_reference;         // non-zero only for an axial object point
    double angle_scale;            // degrees per unit pupil coordinate
    double reference_temperature;  // 20.0: temperature from which thermal expansion counts
    double entrance_pupil_semi_diameter;
    double image_axial_slope;
    double image_chief_slope;
    double cone_half_angle;        // degrees
    std::int32_t failing_surface;  // argument of a set-up failure message
    // An integer of the lens that a lens-entry command stores for the user; nothing in the
    // program gives it a meaning of its own.
    std::int32_t user_integer;
    std::int32_t paste_base[2];
    std::int32_t file_surface_offset;  // while a lens file is inserted
    std::uint8_t aberration_mode;      // 0, 1, 2
    std::uint8_t differential_trace;
    std::uint8_t thermal_expansion;  // the thermal-expansion switch
    std::uint8_t wide_angle;         // 0, 1, 2
    std::uint8_t angle_mode;
    std::uint8_t plain_lens;
    std::uint8_t show_group_surfaces;  // 1
    std::uint8_t cone_aperture_mode;
    // Set by the commands that edit the lens: the next tolerance analysis recomputes everything.
    std::uint8_t tolerance_results;
    // Set by a new lens: the Gaussian-beam sheet's next showing starts from its defaults.
    std::uint8_t beam_sheet_reset;
};

// What commands mark for the lens set-up and the lens reader between commands; a new lens
// marks the materials and the bounds.
struct LensFlags {
    // Lens change marks consumed by the set-up.
    std::uint8_t materials_changed = 0;
    std::uint8_t bounds_stale = 0;
    std::uint8_t wavelengths_changed = 0;
    // The surface spreadsheet's first column: 1 radii, 0 curvatures (a ".seq" import sets it).
    std::uint8_t spreadsheet_radius_mode = 0;
    // The reading-a-lens-file word and the old-file mark of the lens reader.
    int reading_lens_file = 0;
    std::uint8_t old_file = 0;
    // The lens-file version of the lens in memory.
    char file_version[8] = "5.40";
};
LensFlags& lens_flags();

LensData& lens_data();
// The program's element-drawing defaults, which every new lens starts from (all zero at start).
ElementDrawingDefaults& program_element_drawing_defaults();
SurfaceRecord* surface_array();
SurfaceRecord& surface(int n);
int surface_limit();    // highest surface number the array holds
int max_wavelengths();  // capacity of the wavelength table

// Frees for records other subsystems lay out; a null hook frees the bare block.
struct SurfaceRecordFreers {
    void (*free_tolerances)(SurfaceTolerances*);
    void (*free_element_drawing)(ElementDrawing*);
};
SurfaceRecordFreers& surface_record_freers();

// Start-up: the surface array (surface limit + 1 records) and the wavelength table, then the
// glass catalogues below root/data and the glass cache. 0, or -10 when an array cannot be had.
// Catalogue load failures go to load_reports when given, for the caller to show.
int alloc_lens_arrays(const std::string& root, const std::string& data,
                      std::vector<GlassLoadReport>* load_reports = nullptr);
// Clears every pointer of the record without freeing anything.
void clear_surface_pointers(int n);
// Frees the lens arrays (end of the run, tests).
void free_lens_arrays();

// The array bounds of the command language follow the lens; the set-up recomputes them.
void mark_lens_bounds_stale();
