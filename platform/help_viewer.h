// The help viewer: the program's help file is shown by the desktop's opener for files and
// addresses (xdg-open), started as a child process of its own that the program does not wait
// for. Dialogs ask for help through a request the program installs.
#pragma once

#include <string>

namespace platform {

// Shows a help file from its start, or, with an anchor, at the anchor: then the opener is given
// the file's address ("file://" with the path, "#" and the anchor), as the path alone cannot say
// where to open. False (the viewer refuses) when the path is not an existing file or when no
// opener can be started; true once the opener runs.
bool open_help(const std::string& path, const std::string& anchor);
// The address open_help gives the opener for a path and an anchor: the path's bytes other than
// letters, digits and "/-._~" written as %XX.
std::string help_file_address(const std::string& path, const std::string& anchor);

// What a dialog's Help button (or a control's context help) asks for: the help topic with the
// number. The program installs the handler; without one the request does nothing.
using HelpRequestHandler = void (*)(int topic);
void set_help_request_handler(HelpRequestHandler handler);
void request_help(int topic);

}  // namespace platform
