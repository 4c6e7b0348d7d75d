// The lens-wide conditions of the lens drawing: view values and angles, the surfaces drawn,
// and the rows of rays drawn. Each command sets a value or, with DEF, its default.
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdDrawingFirst = kCmdDlidL;
inline constexpr int kCmdDrawingRows = kCmdDlnfL;
inline constexpr int kCmdDrawingRowFirst = kCmdDlfpL;
inline constexpr int kCmdDrawingRowLast = kCmdDlwnL;
inline constexpr int kCmdDrawingKind = kCmdDlcvL;

// kSlotDrawingConditions: DLID .. DLCV.
int cmd_drawing_conditions();
