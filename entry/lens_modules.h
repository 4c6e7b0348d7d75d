// Surface groups: a range of surfaces bound into an element or element group (GRP a b) or set
// free again (UGR n), and the group started at the current surface while a lens is entered
// (LMO), ended (LME) and named (LMN).
#pragma once

inline constexpr int kCmdGroupRange = 445;
inline constexpr int kCmdUngroup = 446;
inline constexpr int kCmdModuleStart = 593;
inline constexpr int kCmdModuleEnd = 594;
inline constexpr int kCmdModuleName = 595;
inline constexpr int kMsgNoGroupStarts = -823;

// Slot 109: GRP, UGR.
int cmd_element_group();
// Slot 133: LMO, LME, LMN.
int cmd_lens_module();
