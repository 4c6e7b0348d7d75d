// Pickups (a value of the current surface follows the same value of an earlier surface) and
// solves (the lens set-up computes a curvature or thickness from a paraxial condition).
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdPickup = kCmdPkL;
inline constexpr int kCmdAxialSlopeSolve = kCmdPuL;
inline constexpr int kCmdChiefSlopeSolve = kCmdPucL;
inline constexpr int kCmdAxialIncidenceSolve = kCmdPiL;
inline constexpr int kCmdChiefIncidenceSolve = kCmdPicL;
inline constexpr int kCmdAxialAplanaticSolve = kCmdAlL;
inline constexpr int kCmdChiefAplanaticSolve = kCmdAlcL;
inline constexpr int kCmdAxialHeightSolve = kCmdPyL;
inline constexpr int kCmdChiefHeightSolve = kCmdPycL;
inline constexpr int kCmdEdgeThicknessOne = kCmdEtsL;
inline constexpr int kCmdEdgeThickness = kCmdEtL;
inline constexpr int kCmdDropCurvatureSolve = kCmdCsdL;
inline constexpr int kCmdDropThicknessSolve = kCmdTsdL;

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

// kSlotPickup: PK type s [s2] [offset].
int cmd_pickup();
// kSlotSurfaceSolves: the solves and the two drops.
int cmd_surface_solves();
