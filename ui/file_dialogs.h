// The program's Open and Save dialogs: file types and filters from two lists of the list table,
// and two buttons that jump to the private and the public folder of the chosen type.
#pragma once

#include <string>

#include "tables/table_names.h"

inline constexpr int kFileDialogCancelled = -121;

// Set once at start-up: the dialogs' title and the two folder buttons.
void set_file_dialog_folders(const char* title, const char* private_label,
                             const char* private_folder, const char* public_label,
                             const char* public_folder);

// mode 0 or 2 Open (2: its OK button reads "Erase"), 1 Save; bit 4: owned by the edit window.
// The type list gives each type's name pattern ("*.len") with its number as second text; the
// filter list "Description,pattern" with the number. type is in/out (the chosen filter's
// number), folder in/out (the chosen folder), path out (the chosen file; Save offers its name).
// 0, -121 (cancelled) or -9998 (message -123: 1 no such type, 2 no such filter, else the
// dialog's error).
int file_dialog(int* type, int mode, int type_list, int filter_list, const char* title,
                std::string& folder, std::string& path);

void reset_file_dialogs();
