// Formatting of untrusted printf-style texts. Message texts come from tables and from user
// sources, so a text may ask for conversions that do not match what the caller passes. Every
// conversion is checked against the argument actually passed: a mismatch, a missing argument,
// "%n" and unknown conversions are written literally, so no text can read or write memory it
// was not given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

// One argument of a formatted text, with its type kept.
class FormatArg {
public:
    enum class Type { integer, unsigned_integer, real, text };

    FormatArg(char c) : type_(Type::integer), int_(static_cast<unsigned char>(c)) {}
    FormatArg(signed char v) : type_(Type::integer), int_(v) {}
    FormatArg(unsigned char v) : type_(Type::unsigned_integer), uint_(v) {}
    FormatArg(short v) : type_(Type::integer), int_(v) {}
    FormatArg(unsigned short v) : type_(Type::unsigned_integer), uint_(v) {}
    FormatArg(int v) : type_(Type::integer), int_(v) {}
    FormatArg(unsigned v) : type_(Type::unsigned_integer), uint_(v) {}
    FormatArg(long v) : type_(Type::integer), int_(v) {}
    FormatArg(unsigned long v) : type_(Type::unsigned_integer), uint_(v) {}
    FormatArg(long long v) : type_(Type::integer), int_(v) {}
    FormatArg(unsigned long long v) : type_(Type::unsigned_integer), uint_(v) {}
    FormatArg(float v) : type_(Type::real), real_(v) {}
    FormatArg(double v) : type_(Type::real), real_(v) {}
    FormatArg(const char* s) : type_(Type::text), text_(s) {}
    FormatArg(char* s) : type_(Type::text), text_(s) {}
    FormatArg(const std::string& s) : type_(Type::text), text_(s.c_str()) {}
    // Other pointers would only be good for "%p", which is not offered.
    template <typename T>
    FormatArg(T*) = delete;
    FormatArg(bool) = delete;

    Type type() const { return type_; }
    long long integer() const { return int_; }
    unsigned long long unsigned_integer() const { return uint_; }
    double real() const { return real_; }
    const char* text() const { return text_; }  // may be null

private:
    Type type_;
    union {
        long long int_;
        unsigned long long uint_;
        double real_;
        const char* text_;
    };
};

// Widths and precisions above this are not honoured: the conversion is written literally.
inline constexpr int kFormatFieldLimit = 400;

// Formats format with args. A null format gives the empty text. Arguments left over are
// ignored.
std::string safe_format(const char* format, std::span<const FormatArg> args);

// The same into a fixed buffer of size bytes (size >= 1), cut to fit and always terminated.
// Returns the length written.
std::size_t safe_format_to(char* out, std::size_t size, const char* format,
                           std::span<const FormatArg> args);

template <typename... Args>
std::string format_text(const char* format, const Args&... args) {
    const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
    return safe_format(format, std::span<const FormatArg>(list, sizeof...(Args)));
}
