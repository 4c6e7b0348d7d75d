// Folder and file lists: the names a file command offers as the value list of a parameter
// (the two list handlers and the file-list command), the file commands that delete a file
// or make and remove a folder, the change of the lens and text folders, and the file dialog
// every file command asks through. Folders come from the file type and the folder kind the way
// the other file commands build them.
#pragma once

#include <string>
#include <vector>

#include "platform/text_file.h"
#include "platform/ui.h"
#include "tables/table_names.h"

// The name table: 1500 names; a listed name keeps at most 32 characters.
inline constexpr int kNameTableCapacity = 1500;
inline constexpr int kListedNameLength = 32;

enum FolderListMode : int { kListFileNames = 0, kListFolderNames = 1, kListFoldersAndFiles = 2 };

// Lists folder into names: mode 2 every sub-folder as "[name]" and every file matching the
// pattern, mode 1 ".." then the sub-folders, mode 0 the matching files; folders first, each
// kind sorted without regard to case. 0; -1207 when the listed names reach capacity - 2
// (capacity 0 or above 1502 means 1502); -9998 with message -1140 when the folder cannot be
// read.
int scan_folder(std::vector<std::string>& names, const std::string& folder, int capacity, int mode,
                const std::string& pattern);

// The type number of a path's extension from the file-type list; 0 without an extension or for
// an extension the list does not know.
int file_type_of(const char* path);

// The folder the file commands use for a file type and folder kind (1 private, 2 the lens or
// text folder, 0 public).
std::string file_type_folder(int type, int folder_kind);
// A name as a path of that folder: a name starting with '/' or '\' or holding a drive colon is
// taken as it is; a name without an extension gets the type's.
std::string file_type_path(int type, int folder_kind, const std::string& name);

// Scans the folder of the type and kind (with sub_folder appended when not empty) and makes
// the names the current value list; unless quiet, prints the folder and shows the names in
// the list window. 0 or -9998
// with the message set (the list then stays empty).
int build_file_list(int type, int folder_kind, const char* sub_folder, bool quiet, int mode);
// Shows the current value list in the list window; the window code above this layer installs
// it. Without one a listed folder's names are printed as text.
using ListWindowShower = void (*)();
void set_list_window_shower(ListWindowShower shower);
// The names of the last list built.
const std::vector<std::string>& listed_names();

// Handler slot 79 (change_folder): the lens folder (kind 1), the text folder (2) or both
// (other kinds) become the folder named, taken relative to the stored one; the two folders are
// printed in every case.
int cmd_change_directory();

// Shows a file dialog: 0 with the chosen path ('\' made '/'), kStopped after -121 when the
// user cancelled, kErrorTextReady after -123 when the dialog failed. Commands end with 0 after a
// cancel.
int ask_for_file(platform::FileDialogRequest& request, std::string* path);
// Writes text as the whole file at path through a temporary file, so that a failure leaves any
// old file as it was: 0, or the error message failed_kept (an old file was there) or
// failed_new (none was) set with the path and the system's reason.
int write_whole_file(const std::string& path, const std::string& text, int failed_kept,
                     int failed_new);
// Reports the failed write of a file (shown by name): the file's name and the system's reason,
// with word that an old file is kept when there was one. kErrorTextReady.
int report_write_failure(const std::string& name, const platform::AtomicFileWriter& writer);

int cmd_list_folders();
int cmd_list_files();
// Commands 212 and 214-216; any other command goes on to the handler that held the slot
// before.
int cmd_folder_operations();

void install_folder_lists();
