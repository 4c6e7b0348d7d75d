// Opening and reading the binary ".amo" tables of the installation (public) and user data
// (private) trees: the folders, the stale rule for private tables, and the generic reading
// primitives. Failures are reported with the table path as the message argument and returned
// as message numbers (-168 no folders, -7 cannot open, -8 short, -6 wrong magic or version,
// -10 out of memory).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

inline constexpr char kTablePrefix[] = "tv";
inline constexpr int kStalePrivateTables = 4;
inline constexpr std::size_t kFolderLimit = 260;

// Where reported table errors go. The message subsystem installs show_error here; until then
// the last error is only remembered.
using TableErrorReporter = void (*)(int code, const char* argument);
void set_table_error_reporter(TableErrorReporter reporter);
void report_table_error(int code, const std::string& argument);
// Keeps the error as the last one without showing it.
void record_table_error(int code, const std::string& argument);
struct TableError {
    int code = 0;
    std::string argument;
    bool shown = false;  // handed to the installed reporter, so the user has seen it
};
// The last reported table error (code 0 when none since the last clear).
const TableError& last_table_error();
void clear_last_table_error();

// Folders from TVROOT and TVDATA; either missing gives -168. Then the three stale checks.
int read_root_folders();
const std::string& root_folder();
const std::string& data_folder();
// The stale word: kStalePrivateTables when a private table is older than its public one.
int tables_stale();
void set_tables_stale(int value);
// Compares the private table with the public table of the same name, or with the public
// alternate when the public one does not exist; an older private table sets the stale word.
void check_private_copy_age(const char* name, const char* alternate);

// True when the table name of a tree is older than the public table base_name: a user table
// compiled on an older base table would hide the base table's newer texts.
bool table_older_than_public(bool is_public, const char* name, const char* base_name);

// Path of a table: folder/bin/amo/tv<name>.
std::string amo_path(bool is_public, const char* name);
std::string temp_folder_path();

// One open table file with the position-reading primitives. A short read closes the file and
// leaves -8 pending; close() reports what is pending (or the error given).
class AmoFile {
public:
    AmoFile() = default;
    ~AmoFile() { discard(); }
    AmoFile(const AmoFile&) = delete;
    AmoFile& operator=(const AmoFile&) = delete;

    // 0, -7 (cannot open), -8 (short magic), -6 (wrong magic; the file is closed). Reported.
    // With report false the failure is only returned (for tries where another table may serve).
    int open(bool is_public, const char* name, const char* magic, bool report = true);
    int open_path(const std::string& path, const char* magic, bool report = true);
    // Reports error (or a pending read failure) with the path; 0 when there was none, else -1.
    int close(int error = 0);
    // Closes without reporting.
    void discard();
    bool is_open() const { return file_ != nullptr; }
    const std::string& path() const { return path_; }
    int pending_error() const { return pending_; }

    unsigned read_byte();
    unsigned read_be16();
    unsigned read_le16();
    std::uint32_t read_le32();
    unsigned read_be24();
    // 0 or -8 (reported once at close).
    int read_bytes(void* buffer, std::size_t n);
    // A new block from the allocation wrappers, or null (-10 or -8 reported at once).
    std::uint8_t* read_block(std::size_t n);
    int seek(long position);
    long size();

private:
    void fail_short();
    std::FILE* file_ = nullptr;
    std::string path_;
    int pending_ = 0;
    bool reported_ = false;  // the pending failure was reported where it happened
};

// The generic primitives of the one current table file.
int open_amo_file(bool is_public, const char* name, const char* magic);
int close_amo_file(int error);
unsigned amo_read_byte();
unsigned amo_read_be16();
unsigned amo_read_le16();
std::uint32_t amo_read_le32();
int amo_read_bytes(void* buffer, std::size_t n);
std::uint8_t* amo_read_block(std::size_t n);
AmoFile& current_amo_file();

void lowercase_string(char* text);
void uppercase_string(char* text);
