// Private-profile ("ini") files such as the settings file: section lines "[Name]" and key lines
// "Key=Value". Sections and keys are matched without regard to case; blanks around names and
// values are ignored; lines starting with ';' or '#' and blank lines are comments. A missing
// file, section or key gives the caller's default. Writing a key changes that one line and keeps
// everything else of the file (comments, other sections, order); a missing section or file is
// created. Files are written atomically (platform/text_file.h): a failed write keeps the old
// file and returns a status code.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// An ini file held in memory as its lines, for reading or changing many keys with one file read
// and one write.
class IniDocument {
public:
    // Reads the file ('\' in the name accepted, CR LF accepted). A file that does not exist gives
    // an empty document and kNotFound; other failures give their status and an empty document.
    int load(const std::string& path);
    // Replaces the content by the given text.
    void parse(std::string_view text);

    // The value of a key, or nullopt when the section or key is missing.
    std::optional<std::string> find(std::string_view section, std::string_view key) const;

    // The value, or default_text when missing.
    std::string get_text(std::string_view section, std::string_view key,
                         std::string_view default_text) const;
    // The value (or default_text) copied into a buffer of `limit` bytes as a NUL-terminated text
    // of at most limit - 1 characters; a longer value is cut. Returns the characters copied
    // (0 and nothing written when limit is 0).
    std::size_t get_text(std::string_view section, std::string_view key,
                         std::string_view default_text, char* buffer, std::size_t limit) const;
    // The leading decimal integer of the value (optional blanks and sign, then digits; 0 when
    // the value does not start with a number; clamped to the int range). default_value when
    // the key is missing or its value is empty.
    int get_int(std::string_view section, std::string_view key, int default_value) const;

    // Sets a key: the existing line is rewritten in place; a new key goes after the last entry
    // of its section; a new section is appended at the end. kBadArgument for an empty section or
    // key, a line break in any of the three texts, '=' in the key, ']' in the section, or a key
    // that would read as a comment or a section line.
    int set_text(std::string_view section, std::string_view key, std::string_view value);

    // The file's text, lines ended by '\n'.
    std::string text() const;
    // Writes the text atomically; 0 or the status of the failure (the old file stays).
    // 0 or the status of the failure, whose system words go to reason when given.
    int save(const std::string& path, std::string* reason = nullptr) const;

private:
    std::vector<std::string> lines_;
};

// One-call forms on a file path, each reading the file afresh.
std::string ini_get_text(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view default_text);
std::size_t ini_get_text(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view default_text, char* buffer, std::size_t limit);
int ini_get_int(const std::string& path, std::string_view section, std::string_view key,
                int default_value);
// Reads the file (a missing file is an empty one), sets the key, writes the file atomically;
// 0 or a status. A file that exists but cannot be read is not overwritten.
int ini_put_text(const std::string& path, std::string_view section, std::string_view key,
                 std::string_view value);

}  // namespace platform
