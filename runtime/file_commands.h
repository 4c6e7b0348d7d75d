// The command language's own files: at most three open streams, addressed by the handles 1 to
// 3, with raw reads and writes of variables and arrays, lines, seeks, removal and renaming,
// and formatted input by the program's own scanner (no user format reaches scanf). Every
// outcome, failures included, is an int result: a program tests it and goes on.
#pragma once

#include <string>

inline constexpr int kFileHandles = 3;

enum FileCommand : int {
    kCmdFscanf = 152,
    kCmdFopen = 168,
    kCmdFclose = 169,
    kCmdFread = 170,
    kCmdFgets = 171,
    kCmdFwrite = 172,
    kCmdFseek = 173,
    kCmdFtell = 174,
    kCmdFremove = 175,
    kCmdFrename = 176,
};

enum FileMessage : int {
    kMsgTellFailed = -60,
    kMsgFileOpenFailed = -146,
    kMsgFileWriteShort = -147,
    kMsgFileSeekFailed = -148,
    kMsgFileCloseFailed = -149,
    kMsgFileReadFailed = -176,
    kMsgFileCountBad = -177,
    kMsgScanNoFile = -181,
    kMsgScanVariable = -182,
    kMsgScanFormat = -183,
    kMsgScanMismatch = -184,
    kMsgFileRemoveFailed = -217,
    kMsgFileRenameFailed = -218,
};

// A C library mode as these commands accept it: r, w or a, then at most one each of '+', 'b'
// and 't'.
bool valid_file_mode(const char* mode);

int cmd_file_io();
int cmd_scan_input();
// Writes text to the open file of handle: the number of characters, or -162.
int write_file_text(int handle, const std::string& text);
// Closes every file (at the end of a run and in tests).
void close_all_files();
void install_file_commands();
