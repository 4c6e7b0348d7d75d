// Case and padding of names and words. Case goes through the C library's tolower and toupper
// byte by byte, as every caller compared names before: ASCII letters change, other bytes stay
// as the C locale leaves them.
#pragma once

#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

inline char lower_char(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

inline char upper_char(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

inline std::string lower_text(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = lower_char(c);
    return out;
}

inline std::string upper_text(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = upper_char(c);
    return out;
}

// Lower-cases a terminated text where it stands (fixed-size name fields).
inline void lower_text_in_place(char* text) {
    for (; *text != '\0'; ++text) *text = lower_char(*text);
}

// The text without the blanks (' ' only) that pad it on the right.
inline std::string without_trailing_blanks(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

// The same for a fixed field of size bytes, terminated within it or filling it.
inline std::string without_trailing_blanks(const char* field, std::size_t size) {
    return without_trailing_blanks(std::string_view(field, strnlen(field, size)));
}

// The text without the blanks (' ' only) around it.
inline std::string trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// A missing (null) text is empty.
inline std::string trimmed(const char* text) {
    return trimmed(std::string_view(text != nullptr ? text : ""));
}

// The same for a fixed field of size bytes, terminated within it or filling it.
inline std::string trimmed(const char* field, std::size_t size) {
    return trimmed(std::string_view(field, strnlen(field, size)));
}
