// The control built-in (handler slot 2): a family of small commands, each a short call into the
// part that owns the work. Program exit is served here.
#pragma once

inline constexpr int kCommandExit = 84;
inline constexpr int kCommandExitAlias = 85;
inline constexpr int kCommandTextWindowClose = 59;
inline constexpr int kCommandTextWindowSelect = 60;
inline constexpr int kCommandTextWindowClear = 61;
inline constexpr int kCommandCopyText = 179;
inline constexpr int kCommandChooseFonts = 180;

// Exit: the exit hook decides (a cancel code is returned and the program goes on); otherwise
// the running flag is cleared and -9999 returned. The text-window, copy and font
// commands go to the window services. Other command numbers return 0.
int cmd_output_control();
