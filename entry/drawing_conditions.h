// The lens-wide conditions of the lens drawing: view values and angles, the surfaces drawn,
// and the rows of rays drawn. Each command sets a value or, with DEF, its default.
#pragma once

inline constexpr int kCmdDrawingFirst = 447;
inline constexpr int kCmdDrawingRows = 457;
inline constexpr int kCmdDrawingRowFirst = 460;
inline constexpr int kCmdDrawingRowLast = 467;
inline constexpr int kCmdDrawingKind = 470;
inline constexpr int kMsgDrawingRow = -959;

// Slot 110: DLID .. DLCV.
int cmd_drawing_conditions();
