// Text files. Files from Windows end their lines with CR LF: the reader strips the CR so callers
// see the same lines either way; the program writes '\n' only. Files the program rewrites are
// replaced atomically: the new content goes into a temporary file in the same folder, every write
// is checked, and only a complete file is renamed over the old one. On any failure the old file
// is left exactly as it was and the failure comes back as a status code (platform/status.h).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Reads a text file line by line.
class LineReader {
public:
    LineReader() = default;
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Opens the file ('\' in the name accepted); 0, kNotFound, kAccessDenied or kFailed.
    int open(const std::string& path);
    // The next line without its line end ("\n", "\r\n" or a final "\r" before end of file);
    // false at end of file or after a read error (error() tells which).
    bool next_line(std::string& line);
    bool error() const { return error_; }
    void close();

private:
    std::FILE* file_ = nullptr;
    bool error_ = false;
};

// Reads a whole text file into lines (CR stripped); 0 or the status of the failure.
int read_text_lines(const std::string& path, std::vector<std::string>& lines);
// Reads a whole file as bytes, for readers that decode the text themselves; 0 or the status of
// the failure (bytes then empty).
int read_file_bytes(const std::string& path, std::string& bytes);

// Writes a file by way of a temporary file in the same folder. Nothing reaches the target until
// commit() succeeds; destroying an uncommitted writer removes the temporary file. Every file the
// program writes goes through here.
class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary file next to the target; 0 or a status (kAccessDenied for a
    // read-only folder or a file the user may not write, kNotFound when the folder does not
    // exist, kBadArgument for a folder). A symbolic link is followed to the file it names, which
    // is then written the same way: the link stays a link.
    int open(const std::string& path);
    // Appends bytes; a failed write is remembered and reported again by commit().
    int write(const void* data, std::size_t size);
    int write(std::string_view text) { return write(text.data(), text.size()); }
    // Flushes, syncs and renames the temporary file over the target (keeping the old file's
    // permissions); 0, kWriteFailed or kRenameFailed. The temporary file is gone afterwards.
    int commit();
    // Drops the temporary file; the target is untouched.
    void discard();
    // The temporary file, for a renderer that writes it by name (open() made it, empty); its
    // output reaches the target only through commit().
    const std::string& temporary_path() const { return temp_; }
    // The file written in the end: the target, or the file its symbolic link names.
    const std::string& target() const { return target_; }
    // The system's words for the first failure ("Permission denied", "No space left on
    // device"); empty while nothing failed.
    const std::string& reason() const { return reason_; }

private:
    int fail(int status, int error_number);

    std::FILE* file_ = nullptr;
    std::string target_;
    std::string temp_;
    std::string reason_;
    int status_ = 0;
};

// Replaces a file's content atomically; 0 or the status of the first failure, whose system
// words go to reason when given.
int write_file_atomically(const std::string& path, std::string_view content,
                          std::string* reason = nullptr);

}  // namespace platform
