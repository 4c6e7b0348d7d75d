#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/paths.h"
#include "platform/status.h"

namespace platform {

LineReader::~LineReader() {
    close();
}

int LineReader::open(const std::string& path) {
    close();
    error_ = false;
    file_ = std::fopen(to_native_path(path).c_str(), "rbe");
    if (file_ == nullptr) return status_from_errno(errno);
    struct stat info;
    if (::fstat(fileno(file_), &info) == 0 && S_ISDIR(info.st_mode)) {
        close();
        return kBadArgument;
    }
    return kOk;
}

bool LineReader::next_line(std::string& line) {
    line.clear();
    if (file_ == nullptr || error_) return false;
    char* buffer = nullptr;
    std::size_t capacity = 0;
    const ssize_t length = ::getline(&buffer, &capacity, file_);
    if (length < 0) {
        error_ = std::ferror(file_) != 0;
        std::free(buffer);
        return false;
    }
    line.assign(buffer, static_cast<std::size_t>(length));
    std::free(buffer);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

void LineReader::close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

int read_text_lines(const std::string& path, std::vector<std::string>& lines) {
    lines.clear();
    LineReader reader;
    if (int status = reader.open(path); status != kOk) return status;
    std::string line;
    while (reader.next_line(line)) lines.push_back(line);
    if (reader.error()) {
        lines.clear();
        return kFailed;
    }
    return kOk;
}

int read_file_bytes(const std::string& path, std::string& bytes) {
    bytes.clear();
    LineReader reader;
    if (int status = reader.open(path); status != kOk) return status;
    std::FILE* file = std::fopen(to_native_path(path).c_str(), "rbe");
    if (file == nullptr) return status_from_errno(errno);
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        bytes.clear();
        return kFailed;
    }
    return kOk;
}

AtomicFileWriter::~AtomicFileWriter() {
    discard();
}

namespace {

// Follows a chain of symbolic links to the name of the file they lead to (which need not exist
// yet); 0 or the errno of the failure.
int follow_links(std::string& path) {
    for (int depth = 0; depth < 40; ++depth) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return 0;
        std::string link(256, '\0');
        for (;;) {
            const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
            if (length < 0) return errno;
            if (static_cast<std::size_t>(length) < link.size()) {
                link.resize(static_cast<std::size_t>(length));
                break;
            }
            link.resize(link.size() * 2);
        }
        const std::size_t slash = path.rfind('/');
        path = link.front() == '/' || slash == std::string::npos ? link
                                                                 : path.substr(0, slash + 1) + link;
    }
    return ELOOP;
}

}  // namespace

int AtomicFileWriter::fail(int status, int error_number) {
    if (status_ == kOk) {
        status_ = status;
        reason_ = error_number != 0 ? std::strerror(error_number) : status_text(status);
    }
    return status_;
}

int AtomicFileWriter::open(const std::string& path) {
    discard();
    status_ = kOk;
    reason_.clear();
    target_ = to_native_path(path);
    if (target_.empty() || target_.back() == '/') return fail(kBadArgument, EISDIR);
    // A name that is a symbolic link stands for the file it names: that file gets the new
    // content and the link stays.
    if (const int error = follow_links(target_); error != 0) {
        return fail(status_from_errno(error), error);
    }
    struct stat info;
    if (::stat(target_.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return fail(kBadArgument, EISDIR);
        // The rename would replace a device or a pipe by a plain file.
        if (!S_ISREG(info.st_mode)) return fail(kBadArgument, EINVAL);
        // The rename needs only the folder's permission: a file the user may not write is
        // refused here, as writing it in place would be.
        if (::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) {
            const int error = errno;
            return fail(status_from_errno(error), error);
        }
    }
    const std::size_t slash = target_.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target_.substr(0, slash + 1);
    // The temporary name must stay a legal name even for a target near the length limit.
    const std::string base =
        (slash == std::string::npos ? target_ : target_.substr(slash + 1)).substr(0, 200);
    std::string pattern =
        (slash == std::string::npos ? std::string() : folder) + "." + base + ".tmpXXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return fail(status_from_errno(error), error);
    }
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
        const int error = errno;
        ::close(fd);
        ::unlink(pattern.c_str());
        return fail(status_from_errno(error), error);
    }
    temp_ = pattern;
    return kOk;
}

int AtomicFileWriter::write(const void* data, std::size_t size) {
    if (file_ == nullptr) return status_ != kOk ? status_ : kBadArgument;
    if (status_ != kOk) return status_;
    if (size > 0 && std::fwrite(data, 1, size, file_) != size) fail(kWriteFailed, errno);
    return status_;
}

namespace {

// The mode a newly created file gets: 0666 less the process's umask. The umask is read from
// /proc rather than set and reset, which would race with files made by other threads.
mode_t new_file_mode() {
    mode_t mask = 022;
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr) {
            unsigned value = 0;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value);
                break;
            }
        }
        std::fclose(status);
    }
    return 0666 & ~mask;
}

void sync_folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

int AtomicFileWriter::commit() {
    if (file_ == nullptr) return status_ != kOk ? status_ : kBadArgument;
    if (status_ == kOk) {
        const int fd = fileno(file_);
        struct stat old_info;
        const mode_t mode =
            ::stat(target_.c_str(), &old_info) == 0 ? (old_info.st_mode & 07777) : new_file_mode();
        errno = 0;
        if (std::fflush(file_) != 0 || std::ferror(file_) || ::fsync(fd) != 0) {
            fail(kWriteFailed, errno);
        } else {
            ::fchmod(fd, mode);
        }
    }
    errno = 0;
    const bool closed = std::fclose(file_) == 0;
    const int close_error = errno;
    file_ = nullptr;
    if (status_ == kOk && !closed) fail(kWriteFailed, close_error);
    if (status_ == kOk && std::rename(temp_.c_str(), target_.c_str()) != 0) {
        fail(kRenameFailed, errno);
    }
    if (status_ != kOk) {
        ::unlink(temp_.c_str());
    } else {
        sync_folder_of(target_);
    }
    temp_.clear();
    return status_;
}

void AtomicFileWriter::discard() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

int write_file_atomically(const std::string& path, std::string_view content, std::string* reason) {
    AtomicFileWriter writer;
    int status = writer.open(path);
    if (status == kOk) {
        writer.write(content);
        status = writer.commit();
    }
    if (reason != nullptr) *reason = writer.reason();
    return status;
}

}  // namespace platform
