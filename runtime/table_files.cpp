#include "runtime/table_files.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "numeric/memory.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace {

// The installation's folders the tables are read from, the table file being read, whether the
// private tables are stale, the last table error and the reporter installed at start.
struct TableFilesState {
    TableErrorReporter error_reporter = nullptr;
    TableError last_error;
    std::string root_dir;
    std::string data_dir;
    int stale_word = 0;
    AmoFile current_file;
};

TableFilesState g_tables;

// A shipped table may carry its name in another case than asked for.
std::string existing_path(const std::string& path) {
    std::string real = platform::find_path_ignoring_case(path);
    return real.empty() ? path : real;
}

bool modification_time(const std::string& path, std::int64_t& seconds) {
    return platform::modification_time(existing_path(path), seconds) == 0;
}

}  // namespace

void set_table_error_reporter(TableErrorReporter reporter) {
    g_tables.error_reporter = reporter;
}

void record_table_error(int code, const std::string& argument) {
    g_tables.last_error.code = code;
    g_tables.last_error.argument = argument;
    g_tables.last_error.shown = false;
}

void report_table_error(int code, const std::string& argument) {
    record_table_error(code, argument);
    if (g_tables.error_reporter == nullptr) return;
    g_tables.last_error.shown = true;
    g_tables.error_reporter(code, argument.c_str());
}

const TableError& last_table_error() {
    return g_tables.last_error;
}
void clear_last_table_error() {
    g_tables.last_error = TableError{};
}

int read_root_folders() {
    const std::optional<std::string> root = platform::environment_get("TVROOT");
    const std::optional<std::string> data = platform::environment_get("TVDATA");
    if (!root || !data) return -168;
    g_tables.root_dir = root->substr(0, kFolderLimit);
    g_tables.data_dir = data->substr(0, kFolderLimit);
    g_tables.stale_word = 0;
    check_private_copy_age("usmsgs.amo", "rtmsgs.amo");
    check_private_copy_age("ulists.amo", "alists.amo");
    check_private_copy_age("rtdefs.amo", nullptr);
    return 0;
}

const std::string& root_folder() {
    return g_tables.root_dir;
}
const std::string& data_folder() {
    return g_tables.data_dir;
}
int tables_stale() {
    return g_tables.stale_word;
}
void set_tables_stale(int value) {
    g_tables.stale_word = value;
}

void check_private_copy_age(const char* name, const char* alternate) {
    std::int64_t private_time = 0, public_time = 0;
    if (!modification_time(amo_path(false, name), private_time)) return;
    bool have_public = modification_time(amo_path(true, name), public_time);
    if (!have_public && alternate != nullptr) {
        have_public = modification_time(amo_path(true, alternate), public_time);
    }
    if (have_public && private_time < public_time) g_tables.stale_word = kStalePrivateTables;
}

bool table_older_than_public(bool is_public, const char* name, const char* base_name) {
    std::int64_t table_time = 0, base_time = 0;
    return modification_time(amo_path(is_public, name), table_time) &&
           modification_time(amo_path(true, base_name), base_time) && table_time < base_time;
}

std::string amo_path(bool is_public, const char* name) {
    std::string path = is_public ? g_tables.root_dir : g_tables.data_dir;
    while (!path.empty() && path.back() == '/') path.pop_back();
    path += "/bin/amo/";
    path += kTablePrefix;
    path += name;
    return path;
}

std::string temp_folder_path() {
    std::string path = platform::private_temp_folder();
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

int AmoFile::open(bool is_public, const char* name, const char* magic, bool report) {
    return open_path(amo_path(is_public, name), magic, report);
}

int AmoFile::open_path(const std::string& path, const char* magic, bool report) {
    discard();
    path_ = path;
    pending_ = 0;
    reported_ = false;
    file_ = std::fopen(existing_path(path).c_str(), "rb");
    if (file_ == nullptr) {
        if (report) report_table_error(-7, path_);
        return -7;
    }
    char head[8];
    if (std::fread(head, 1, sizeof head, file_) != sizeof head) {
        discard();
        if (report) report_table_error(-8, path_);
        return -8;
    }
    // Compared as texts, up to the magic's terminator.
    if (std::strncmp(head, magic, sizeof head) != 0) {
        discard();
        if (report) report_table_error(-6, path_);
        return -6;
    }
    return 0;
}

void AmoFile::discard() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

int AmoFile::close(int error) {
    discard();
    const bool reported = reported_;
    if (error == 0) error = pending_;
    pending_ = 0;
    reported_ = false;
    if (error == 0) return 0;
    if (!reported) report_table_error(error, path_);
    return -1;
}

void AmoFile::fail_short() {
    discard();
    if (pending_ == 0) pending_ = -8;
}

int AmoFile::read_bytes(void* buffer, std::size_t n) {
    if (file_ == nullptr) {
        if (pending_ == 0) pending_ = -8;
        return -8;
    }
    if (std::fread(buffer, 1, n, file_) != n) {
        fail_short();
        return -8;
    }
    return 0;
}

unsigned AmoFile::read_byte() {
    std::uint8_t b[1];
    return read_bytes(b, 1) == 0 ? b[0] : 0;
}

unsigned AmoFile::read_be16() {
    std::uint8_t b[2];
    return read_bytes(b, 2) == 0 ? (unsigned{b[0]} << 8) | b[1] : 0;
}

unsigned AmoFile::read_le16() {
    std::uint8_t b[2];
    return read_bytes(b, 2) == 0 ? (unsigned{b[1]} << 8) | b[0] : 0;
}

unsigned AmoFile::read_be24() {
    std::uint8_t b[3];
    return read_bytes(b, 3) == 0 ? (unsigned{b[0]} << 16) | (unsigned{b[1]} << 8) | b[2] : 0;
}

std::uint32_t AmoFile::read_le32() {
    std::uint8_t b[4];
    if (read_bytes(b, 4) != 0) return 0;
    return std::uint32_t{b[0]} | (std::uint32_t{b[1]} << 8) | (std::uint32_t{b[2]} << 16) |
           (std::uint32_t{b[3]} << 24);
}

std::uint8_t* AmoFile::read_block(std::size_t n) {
    // One extra zero byte behind every block, so a damaged text can never run off its end.
    auto* block = static_cast<std::uint8_t*>(mem_alloc(n + 1));
    if (block == nullptr) {
        report_table_error(-10, path_);
        return nullptr;
    }
    if (read_bytes(block, n) != 0) {
        mem_free(block);
        report_table_error(-8, path_);
        reported_ = true;  // close() still fails, without a second report
        return nullptr;
    }
    return block;
}

int AmoFile::seek(long position) {
    if (file_ == nullptr || position < 0) return -1;
    return std::fseek(file_, position, SEEK_SET) == 0 ? 0 : -1;
}

long AmoFile::size() {
    if (file_ == nullptr) return -1;
    const long here = std::ftell(file_);
    if (std::fseek(file_, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(file_);
    std::fseek(file_, here, SEEK_SET);
    return end;
}

int open_amo_file(bool is_public, const char* name, const char* magic) {
    return g_tables.current_file.open(is_public, name, magic);
}

int close_amo_file(int error) {
    return g_tables.current_file.close(error);
}
unsigned amo_read_byte() {
    return g_tables.current_file.read_byte();
}
unsigned amo_read_be16() {
    return g_tables.current_file.read_be16();
}
unsigned amo_read_le16() {
    return g_tables.current_file.read_le16();
}
std::uint32_t amo_read_le32() {
    return g_tables.current_file.read_le32();
}
int amo_read_bytes(void* buffer, std::size_t n) {
    return g_tables.current_file.read_bytes(buffer, n);
}
std::uint8_t* amo_read_block(std::size_t n) {
    return g_tables.current_file.read_block(n);
}
AmoFile& current_amo_file() {
    return g_tables.current_file;
}

void lowercase_string(char* text) {
    for (; *text != '\0'; ++text) {
        *text = static_cast<char>(std::tolower(static_cast<unsigned char>(*text)));
    }
}

void uppercase_string(char* text) {
    for (; *text != '\0'; ++text) {
        *text = static_cast<char>(std::toupper(static_cast<unsigned char>(*text)));
    }
}
