// The control built-in (handler slot 2): a family of small commands, each a short call into the
// part that owns the work. Program exit, the random numbers and the
// array dimensions of the arguments are served here.
#pragma once

inline constexpr int kCommandOutAdvance = 14;
inline constexpr int kCommandExit = 84;
inline constexpr int kCommandExitAlias = 85;
inline constexpr int kCommandCompile = 100;
inline constexpr int kCommandClearOnError = 89;
inline constexpr int kCommandBeep = 93;
inline constexpr int kCommandCallTrace = 99;
inline constexpr int kCommandRunProgram = 109;
inline constexpr int kCommandEscapePressed = 149;
inline constexpr int kMsgProgramNotRun = -1993;
inline constexpr int kCommandRandom = 130;
inline constexpr int kCommandRandomGauss = 131;
inline constexpr int kCommandRandomArcsine = 132;
inline constexpr int kCommandArrayRows = 150;
inline constexpr int kCommandArrayCols = 151;
inline constexpr int kCommandTextWindowClose = 59;
inline constexpr int kCommandTextWindowSelect = 60;
inline constexpr int kCommandTextWindowClear = 61;
inline constexpr int kCommandCopyText = 179;
inline constexpr int kCommandChooseFonts = 180;
inline constexpr int kCommandCopyGraphics = 181;
inline constexpr int kCommandEditWindowPrint = 64;
inline constexpr int kCommandArrangeIcons = 182;
inline constexpr int kCommandEditWindowClose = 62;
inline constexpr int kCommandEditWindowShow = 63;

// Compile: requests a compile for the main loop (runtime/compile_request.h): cell 0 the tree
// (0 public, 1 private), cell 1 the compile state, cell 2 the compiler options, or the options
// of the setting KPL_compiler_options when cell 2 was not given.
// Exit: the exit hook decides (a cancel code is returned and the program goes on); otherwise
// the running flag is cleared and -9999 returned. The text-window, copy and font
// commands go to the window services. Other command numbers return 0.
int cmd_output_control();
