// The control built-in (handler slot 2): a family of small commands, each a short call into the
// part that owns the work. Program exit is served here.
#pragma once

inline constexpr int kCommandExit = 84;
inline constexpr int kCommandExitAlias = 85;

// Exit: the exit hook decides (a cancel code is returned and the program goes on); otherwise
// the running flag is cleared and -9999 returned. Other command numbers return 0.
int cmd_output_control();
