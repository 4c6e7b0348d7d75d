// Pickups (a value of the current surface follows the same value of an earlier surface) and
// solves (the lens set-up computes a curvature or thickness from a paraxial condition).
#pragma once

inline constexpr int kCmdPickup = 1096;
inline constexpr int kCmdAxialSlopeSolve = 565;
inline constexpr int kCmdChiefSlopeSolve = 566;
inline constexpr int kCmdAxialIncidenceSolve = 567;
inline constexpr int kCmdChiefIncidenceSolve = 568;
inline constexpr int kCmdAxialAplanaticSolve = 569;
inline constexpr int kCmdChiefAplanaticSolve = 570;
inline constexpr int kCmdAxialHeightSolve = 571;
inline constexpr int kCmdChiefHeightSolve = 572;
inline constexpr int kCmdEdgeThicknessOne = 573;
inline constexpr int kCmdEdgeThickness = 574;
inline constexpr int kCmdDropCurvatureSolve = 575;
inline constexpr int kCmdDropThicknessSolve = 576;

// Pickup types (the words of PK).
enum PickupType : int {
    kPickGlass = 0,
    kPickCurvature = 1,
    kPickCurvatureNegated = 2,
    kPickThickness = 3,
    kPickThicknessNegated = 4,
    kPickLength = 5,
    kPickLengthNegated = 6,
    kPickAperture = 7,
    kPickDecentre = 10,
    kPickDecentreNegated = 11,
    kPickDiffractive = 12,
};

inline constexpr int kMsgSolveOnObject = -401;
inline constexpr int kMsgPickupEcho = -399;
inline constexpr int kMsgPickupOnObject = -498;
inline constexpr int kMsgPickupSource = -512;
inline constexpr int kMsgPickupType = -522;
inline constexpr int kMsgCurvatureIsVariable = -550;
inline constexpr int kMsgGlassFromMirror = -724;
inline constexpr int kMsgDecentreFromGlobal = -856;

// Slot 129: PK type s [s2] [offset].
int cmd_pickup();
// Slot 130: the solves and the two drops.
int cmd_surface_solves();
