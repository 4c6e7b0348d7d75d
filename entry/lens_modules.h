// Surface groups: a range of surfaces bound into an element or element group (GRP a b) or set
// free again (UGR n), and the group started at the current surface while a lens is entered
// (LMO), ended (LME) and named (LMN).
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdGroupRange = kCmdGrp;
inline constexpr int kCmdUngroup = kCmdUgr;
inline constexpr int kCmdModuleStart = kCmdLmo;
inline constexpr int kCmdModuleEnd = kCmdLme;
inline constexpr int kCmdModuleName = kCmdLmn;

// kSlotElementGroup: GRP, UGR.
int cmd_element_group();
// kSlotLensModule: LMO, LME, LMN.
int cmd_lens_module();
