// The paraxial commands: the paraxial ray and aberration listings, the first-order (setup)
// listing, the two selector commands, and the scaling of the lens to a focal length, image
// height or f-number or by a factor.
#pragma once

// Command numbers.
inline constexpr int kCmdParaxialRays = 260;
inline constexpr int kCmdParaxialSetup = 261;
inline constexpr int kCmdChromatic = 262;
inline constexpr int kCmdSeidel = 263;
inline constexpr int kCmdPupilSeidel = 264;
inline constexpr int kCmdFifthTotals = 265;
inline constexpr int kCmdFifthParts = 266;
inline constexpr int kCmdFifthSummary = 267;
inline constexpr int kCmdScale = 268;  // the general scaling command
inline constexpr int kCmdScaleFocalLength = 269;
inline constexpr int kCmdParaxialBySelector = 270;
inline constexpr int kCmdParaxialListingByKind = 271;

// Messages.
inline constexpr int kMsgParaxialRaysHeading = -1610;
inline constexpr int kMsgChromaticHeading = -1611;
inline constexpr int kMsgSeidelHeading = -1612;
inline constexpr int kMsgFifthHeading = -1613;
inline constexpr int kMsgFifthSummaryHeading = -1614;
inline constexpr int kMsgParaxialRaysColumns = -1615;
inline constexpr int kMsgChromaticColumns = -1616;
inline constexpr int kMsgSeidelColumns = -1617;
inline constexpr int kMsgFifthTotalsColumns = -1618;
inline constexpr int kMsgFifthSummaryColumns = -1619;
inline constexpr int kMsgPupilSeidelHeading = -1625;
inline constexpr int kMsgPupilSeidelColumns = -1626;
inline constexpr int kMsgCannotScale = -1629;
inline constexpr int kMsgScaleValueZero = -1630;
inline constexpr int kMsgScaleHeading = -1631;
inline constexpr int kMsgScaleFactorUsed = -1632;
inline constexpr int kMsgParaxialSpecialData = -1729;
inline constexpr int kMsgParaxialRaysXColumns = -1737;
inline constexpr int kMsgScaleRange = -1760;
inline constexpr int kMsgFifthPartsColumns = -1772;

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
