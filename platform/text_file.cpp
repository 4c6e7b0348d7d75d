#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

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

int AtomicFileWriter::open(const std::string& path) {
    discard();
    status_ = kOk;
    target_ = to_native_path(path);
    if (target_.empty() || target_.back() == '/') return status_ = kBadArgument;
    const std::size_t slash = target_.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target_.substr(0, slash + 1);
    // The temporary name must stay a legal name even for a target near the length limit.
    const std::string base =
        (slash == std::string::npos ? target_ : target_.substr(slash + 1)).substr(0, 200);
    std::string pattern =
        (slash == std::string::npos ? std::string() : folder) + "." + base + ".tmpXXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return status_ = status_from_errno(errno);
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
        const int error = errno;
        ::close(fd);
        ::unlink(pattern.c_str());
        return status_ = status_from_errno(error);
    }
    temp_ = pattern;
    return kOk;
}

int AtomicFileWriter::write(const void* data, std::size_t size) {
    if (file_ == nullptr) return status_ != kOk ? status_ : kBadArgument;
    if (status_ != kOk) return status_;
    if (size > 0 && std::fwrite(data, 1, size, file_) != size) status_ = kWriteFailed;
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
        if (std::fflush(file_) != 0 || std::ferror(file_) || ::fsync(fd) != 0) {
            status_ = kWriteFailed;
        } else {
            ::fchmod(fd, mode);
        }
    }
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (status_ == kOk && !closed) status_ = kWriteFailed;
    if (status_ == kOk && std::rename(temp_.c_str(), target_.c_str()) != 0) status_ = kRenameFailed;
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

int write_file_atomically(const std::string& path, std::string_view content) {
    AtomicFileWriter writer;
    if (int status = writer.open(path); status != kOk) return status;
    writer.write(content);
    return writer.commit();
}

}  // namespace platform
