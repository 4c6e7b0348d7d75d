// Opening and saving lens files, the save prompt that every command replacing the current lens
// runs first, and the list of the four most recently used lens files.
//
// A save goes through a temporary file that replaces the old one only when complete: a failed
// save reports why, keeps the old file and changes neither Lens_file nor the recent files.
#pragma once

#include <string>

#include "lens/lens_file_format.h"
#include "runtime/messages.h"
#include "tables/table_names.h"

// Settings of the recent files, the most recent first.
inline constexpr int kSettingRecentFirst = 58;
inline constexpr int kRecentFileCount = 4;

// The whole text of a lens file for the lens in memory, with the comment line when given;
// failure set to 0 or the message of a line that could not be written.
std::string lens_file_text(const char* comment, LensSums* sums, int* failure);
// The sums a save of the lens in memory would write; nothing is written.
LensSums lens_sums_in_memory();

// The sums of the empty lens at start-up: the change test of a lens without a file name.
void record_reference_sums();

// Writes the lens to path: 0, or -9998 after -1246, or -1247 or -1249 (path and the
// system's reason; -1249 when there was no old file to keep).
// Success makes path the lens file and the most recent file and shows -1154.
int save_lens_file(const std::string& path);
// Reads path as the current lens: 0, or the reader's failure. Success makes it the lens file
// and the most recent file and shows -1153.
int open_lens_file(const std::string& path);

// 1 nothing asked (Revert_enable off) or No, 0 unchanged or saved, -9999 cancelled, -9998 the
// save failed (its message set).
int save_if_changed();
// Whether the lens differs from its file (or from the lens it started as): what the save
// prompt asks about, nothing asked or written.
bool lens_unsaved();

// The path moves to the top of the recent files (compared without regard to case).
void update_mru_list(const std::string& path);

// The path of a lens file from a folder ("." or empty: the lens folder Current_directory) and a
// name: a name beginning with '/' or '\' or holding a drive colon is taken as it stands; a name
// without an extension gets ".len" (".tav" with Tav_lens_file_extension on).
std::string lens_file_path(const std::string& folder, const std::string& name);

// The Save dialog, then save_lens_file: 0 also when the dialog is cancelled (-121 shown).
int save_lens_file_as();

// Revert copies: the lens written to a file in the private temporary folder, named by the text
// of a message, with the lens file's name on its comment line; a sheet keeps one while it
// changes the lens, to put the lens back when its changes are abandoned.
std::string revert_copy_path(int message);
// Writes the copy (only with Revert_enable on). A copy that cannot be written shows -1213 and is
// skipped; the save prompt is not affected. 0.
int revert_copy_save(int message);
// Mode 0 deletes the copy; otherwise the copy is read as the current lens (state flag 69 set
// while it is read), Lens_file is taken from its comment line, and the copy is deleted unless
// mode is -1. 0 or the reader's failure.
int revert_copy_restore(int message, int mode);
// 1 when the copy still matches the lens (or Revert_enable is off), else the answer to -1200
// (0 for OK).
int revert_copy_unchanged(int message);

// Handler kSlotEditOrRevert: revert (232) reads the lens file again after the save prompt. The
// slot's other commands are the edit window's (ui/text_file_commands.h).
int cmd_edit_or_revert();

// The Open dialog, then open_lens_file after the save prompt; 0 also when it is cancelled.
int open_lens_file_dialog();
// Handler kSlotFileOperations: save_as (217), file_save (218), file_save_as (219), open (220) of
// lens files; their text types are the edit window's (ui/text_file_commands.h).
int cmd_file_operations();
void install_lens_file_commands();
