// Records that hang on the current surface without changing its shape in the surface sheet:
// the perfect lens, the spline profile, the element-drawing switch and the element's boundary
// mesh of vertices and faces.
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdPerfectFocal = kCmdPflL;
inline constexpr int kCmdPerfectSecond = kCmdPfmL;
inline constexpr int kCmdPerfectRemove = kCmdPfr;
inline constexpr int kCmdSplineCount = kCmdSpl;
inline constexpr int kCmdSplineRadius = kCmdSh;
inline constexpr int kCmdSplineSlope = kCmdSs;
inline constexpr int kCmdSplineRemove = kCmdSpr;
inline constexpr int kCmdDrawingSwitch = kCmdDrwL;
inline constexpr int kCmdMeshNew = kCmdBdi;
inline constexpr int kCmdMeshDelete = kCmdBdd;
inline constexpr int kCmdMeshVertex = kCmdVx;
inline constexpr int kCmdMeshFace = kCmdPf;

// kSlotPerfectLens: PFL, PFM, and the record's removal.
int cmd_perfect_lens();
// kSlotSplineProfile: SPL n, SH i r, SS i s, and the profile's removal.
int cmd_spline_profile();
// kSlotDrawingData: DRW, BDI, the deletions, VX, PF.
int cmd_drawing_data();

// The handlers of the lens listings and of the lens-wide entry commands beside the surface data.
void install_listing_handlers();
