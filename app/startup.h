// The program's life: the entry (run_from_program_folder), the run-time start (tables, definitions,
// the frame), the application start (settings, big arrays, options), the binding of the command
// language's built-in variables to the lens, the output and window options switch, and the exit
// hook that writes the settings back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/program_arguments.h"
#include "runtime/window_titles.h"
#include "tables/table_names.h"

inline constexpr char kProfileDataKey[] = "TVDATA";
inline constexpr char kSettingsFileName[] = "tavo.ini";
inline constexpr char kClipboardFormatName[] = "TAVO Surface Data";
inline constexpr char kTextNoMessageFile[] =
    "Can't open message file.\nPlease contact Velmorin Optics.";
inline constexpr char kTextNoEnvironment[] =
    "Can't find environment definitions.\nPlease contact Velmorin Optics.";
inline constexpr char kTextInitError[] =
    "Initialization error %d.\nPlease contact Velmorin Optics.";

// The lines the start-up lens command runs.
inline constexpr char kLineNewLens[] = "LEN NEW";
inline constexpr char kLineEndEntry[] = "END";
inline constexpr char kLineOpenLensFile[] = "open . str_pref(lfil) no";

// The section of the user profile that holds the data folder: title and version.
std::string profile_section();
// ROOT as given, DATA from the profile key "TVDATA" (default ROOT/private).
struct ProgramFolders {
    std::string root;
    std::string data;
};
ProgramFolders decide_program_folders(const std::string& root);

// The program: folders from the program's own folder and the profile, then start_program.
// 1 when the run ended normally, 0 when start-up failed.
int run_from_program_folder(int argc, char** argv);
// The same with ROOT given (tests start from a temporary installation tree). Needs the user
// interface backend set (platform/ui.h).
int start_program(int argc, char** argv, const std::string& root);

// The fixed text a failed run-time start shows for its code.
std::string startup_failure_text(int code);

// 0, -168 (no folders), -169 (message or definitions table), or the code of a table reader
// that has already shown its message (last_table_error() tells it apart).
int runtime_init(int with_windows);
// 0 or -294, -295, -296, -297.
int app_init(int without_windows, int unused1, int unused2);
// Binds the lens-data entries of the built-in variable table.
void bind_kpl_variables();
// Applies one output or window option (see output_options.h) for a flag setting.
void set_window_option(int setting_id, int option, int value);
// The lens named on the command line: the first argument after the program longer than four
// characters ending in ".len" or ".tav" (any case); when it is not the first, the arguments up
// to it joined by single blanks (a path with blanks that the shell split). found tells whether
// there was one.
std::string startup_lens_argument(bool* found);
// The folder of a lens path: up to its last separator ('\' or '/'), the separator kept for a
// root ("/", "\" or "c:\"); false when the path has no separator.
bool lens_folder_of(const std::string& path, std::string* folder);
// Handler kSlotOpenStartupLens: a new empty lens, then the lens of the command line or, with
// Lens_auto_open, the last one (Lens_file), whose folder becomes Current_directory; then the
// start-up routine of message -308 when its name is defined. 0 or the code of the failed open or
// routine.
int cmd_open_startup_lens();
// The handler table's exit hook: 0 when the program may end (the settings file is written),
// else the cancel code.
int exit_hook();
// Ends the run: the windows are destroyed and the program's arrays freed.
void gui_shutdown();

// DATA/tavo.ini of this run.
const std::string& settings_file_path();
// The immediate-command symbol (the definitions symbol named by message -68), -1 when none.
int immediate_command_symbol();

// System-menu check items: up to four, from the list named by message -71.
struct SystemMenuCheckItem {
    char label[16];
    int setting_id;
    std::uint8_t checked;
};
// -1 before the run-time start, else 0..4.
int system_menu_check_count();
// The system-menu commands of the check items: 88 + the item's index.
inline constexpr int kFirstCheckItemCommand = 88;
// Check item command id chosen: its setting flips.
void choose_system_menu_check(int id);
// The rest of the window system after the application start: the colour table, the frame's
// toolbar, the spreadsheet with its strip, text windows 1 and 2 (hidden; window 1's first line
// the program's title), the control and edit windows, and the check items of the system menus.
// 0, or -1 when a window cannot be made (a text area's failure is shown first).
int register_window_classes();
// The main loop's start: text window 1 (made when missing) is opened, current and in front.
void open_first_text_window();
const SystemMenuCheckItem* system_menu_check_item(int n);

// The clipboard format of surface data as command text, registered by app_init.
inline constexpr char kSurfaceClipboardFormat[] = "TAVO Surface Data";
int surface_clipboard_format();
// The lens title that the main caption shows beside the lens file.
const char* lens_title_for_caption();

// The built-in variable entries bound to lens fields: the address, or null when the entry is
// not bound (the lens-item hook answers for it).
void* kpl_variable_address(int entry);
// Forgets every start-up state (tests).
void reset_startup_state();
