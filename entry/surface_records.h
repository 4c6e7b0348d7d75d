// Records that hang on the current surface without changing its shape in the surface sheet:
// the perfect lens, the spline profile, the element-drawing switch and the element's boundary
// mesh of vertices and faces.
#pragma once

inline constexpr int kCmdPerfectFocal = 703;
inline constexpr int kCmdPerfectSecond = 704;
inline constexpr int kCmdPerfectRemove = 705;
inline constexpr int kCmdSplineCount = 650;
inline constexpr int kCmdSplineRadius = 651;
inline constexpr int kCmdSplineSlope = 652;
inline constexpr int kCmdSplineRemove = 653;
inline constexpr int kCmdDrawingSwitch = 596;
inline constexpr int kCmdMeshNew = 597;
inline constexpr int kCmdMeshDelete = 598;
inline constexpr int kCmdMeshVertex = 599;
inline constexpr int kCmdMeshFace = 600;

inline constexpr int kMsgSplineReplacesAsphere = -794;
inline constexpr int kMsgNoSplineProfile = -795;
inline constexpr int kMsgSplineIndex = -796;
inline constexpr int kMsgSplineRadiusEcho = -797;
inline constexpr int kMsgSplineSlopeEcho = -798;
inline constexpr int kMsgMeshMissing = -861;
inline constexpr int kMsgMeshVertexNumber = -862;
inline constexpr int kMsgMeshFaceNumber = -863;
inline constexpr int kMsgMeshVertexUnused = -864;
inline constexpr int kMsgMeshFaceUnused = -865;
inline constexpr int kMsgMeshDeleteMissing = -866;
inline constexpr int kMsgMeshVertexInFace = -867;
inline constexpr int kMsgValue = -74;

// Slot 142: PFL, PFM, and the record's removal.
int cmd_perfect_lens();
// Slot 139: SPL n, SH i r, SS i s, and the profile's removal.
int cmd_spline_profile();
// Slot 134: DRW, BDI, the deletions, VX, PF.
int cmd_drawing_data();

// The handlers of the lens listings and of the lens-wide entry commands beside the surface data.
void install_listing_handlers();
