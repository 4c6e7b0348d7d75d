// The paraxial commands: the paraxial ray and aberration listings, the first-order (setup)
// listing, the two selector commands, and the scaling of the lens to a focal length, image
// height or f-number or by a factor.
#pragma once

#include "tables/table_names.h"

// Command numbers.
inline constexpr int kCmdParaxialRays = kCmdParRays;
inline constexpr int kCmdParaxialSetup = kCmdParSetup;
inline constexpr int kCmdChromatic = kCmdParChromatic;
inline constexpr int kCmdSeidel = kCmdParSeidel;
inline constexpr int kCmdPupilSeidel = kCmdParPupilSeidel;
inline constexpr int kCmdFifthTotals = kCmdParFifth;
inline constexpr int kCmdFifthParts = kCmdParFifthParts;
inline constexpr int kCmdFifthSummary = kCmdParFifthSummary;
inline constexpr int kCmdScaleFocalLength = kCmdScaleEfl;
inline constexpr int kCmdParaxialBySelector = kCmdParSelect;
inline constexpr int kCmdParaxialListingByKind = kCmdParAberrations;

// Quantities of the general scaling command.
enum ScaleQuantity : int {
    kScaleFocalLength = 0,
    kScaleImageHeight = 1,
    kScaleFNumber = 2,
    kScaleFactorRange = 3,
};

// Mode bits of the scaling operations: BY a factor (else TO a target), and for the lens
// dimensions a surface range only (the object and aperture data stay).
inline constexpr int kScaleBy = 1;
inline constexpr int kScaleRangeOnly = 2;

int cmd_paraxial_listing();
int cmd_paraxial_setup();
int cmd_scale_lens();
int cmd_paraxial_by_selector();
int cmd_paraxial_listing_by_kind();
// Puts the five handlers into their slots.
void install_paraxial_handlers();

// Warning -1729 when some surface carries data the paraxial model ignores or approximates.
void warn_paraxial_special_data();
// 0 when every surface from first to last can be scaled for the quantity, else -1629.
int check_scale_range(int first, int last, int quantity);

// The scaling operations take the target or factor through value and leave there the value the
// command prints afterwards. They read the last (silent) paraxial trace. 0, or -1629 when a
// target cannot be reached from the traced lens (its focal length or image height is 0).
int scale_lens_dimensions(int first, int last, double* value, int mode);
int scale_image_height(double* value, int mode);
int scale_f_number(double* value, int mode);
