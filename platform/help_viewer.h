// The help viewer: the program's help files are shown by the desktop's opener for files
// (xdg-open), started as a child process of its own that the program does not wait for.
#pragma once

#include <string>

namespace platform {

// Shows a help file: mode 0 its contents, 1 the topic with the context number, 2 help on using
// help. The desktop's opener shows a file as a whole, so the mode and the context only say what
// was asked for. False (the viewer refuses) when the path is not an existing file or when no
// opener can be started; true once the opener runs.
bool open_help(const std::string& path, int mode, int context);

}  // namespace platform
