#include "runtime/safe_format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

enum class Length { none, hh, h, l, ll, big_l, z, j, t };

struct Conversion {
    char flags[8] = {};
    int flag_count = 0;
    int width = -1;  // -1: none
    int precision = -1;
    Length length = Length::none;
    char conversion = 0;
};

bool is_flag(char c) {
    return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0';
}

// Reads digits into value; false when the number passes the field limit.
bool read_number(const char*& p, int& value) {
    value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        if (value > kFormatFieldLimit) return false;
        ++p;
    }
    return true;
}

// Takes an int argument for '*'; false when there is none or it is not an integer.
bool star_argument(std::span<const FormatArg> args, std::size_t& next, int& value) {
    if (next >= args.size()) return false;
    const FormatArg& a = args[next];
    long long v = 0;
    if (a.type() == FormatArg::Type::integer) {
        v = a.integer();
    } else if (a.type() == FormatArg::Type::unsigned_integer) {
        if (a.unsigned_integer() > static_cast<unsigned long long>(kFormatFieldLimit)) return false;
        v = static_cast<long long>(a.unsigned_integer());
    } else {
        return false;
    }
    if (v > kFormatFieldLimit || v < -kFormatFieldLimit) return false;
    ++next;
    value = static_cast<int>(v);
    return true;
}

std::string build_format(const Conversion& s, const char* length) {
    std::string f = "%";
    f.append(s.flags, s.flag_count);
    if (s.width >= 0) f += std::to_string(s.width);
    if (s.precision >= 0) f += "." + std::to_string(s.precision);
    f += length;
    f += s.conversion;
    return f;
}

template <typename T>
void append_formatted(std::string& out, const std::string& format, T value) {
    char buffer[2 * kFormatFieldLimit + 400];
    const int n = std::snprintf(buffer, sizeof buffer, format.c_str(), value);
    if (n > 0)
        out.append(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buffer - 1));
}

bool is_integer_type(const FormatArg& a) {
    return a.type() == FormatArg::Type::integer || a.type() == FormatArg::Type::unsigned_integer;
}

// Formats one checked conversion; false when the argument does not fit it.
bool convert(std::string& out, Conversion s, const FormatArg& a) {
    switch (s.conversion) {
        case 'd':
        case 'i':
        case 'u':
        case 'o':
        case 'x':
        case 'X': {
            if (!is_integer_type(a)) return false;
            const bool is_signed = s.conversion == 'd' || s.conversion == 'i';
            unsigned long long bits = a.type() == FormatArg::Type::integer
                                          ? static_cast<unsigned long long>(a.integer())
                                          : a.unsigned_integer();
            // The length modifier narrows as the C library would.
            switch (s.length) {
                case Length::hh:
                    bits = is_signed
                               ? static_cast<unsigned long long>(static_cast<signed char>(bits))
                               : static_cast<unsigned char>(bits);
                    break;
                case Length::h:
                    bits = is_signed ? static_cast<unsigned long long>(static_cast<short>(bits))
                                     : static_cast<unsigned short>(bits);
                    break;
                case Length::none:
                    bits = is_signed ? static_cast<unsigned long long>(static_cast<int>(bits))
                                     : static_cast<unsigned>(bits);
                    break;
                default:
                    break;
            }
            const std::string f = build_format(s, "ll");
            if (is_signed) {
                append_formatted(out, f, static_cast<long long>(bits));
            } else {
                append_formatted(out, f, bits);
            }
            return true;
        }
        case 'c': {
            if (!is_integer_type(a)) return false;
            s.precision = -1;
            const int c =
                static_cast<unsigned char>(a.type() == FormatArg::Type::integer
                                               ? a.integer()
                                               : static_cast<long long>(a.unsigned_integer()));
            append_formatted(out, build_format(s, ""), c);
            return true;
        }
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A': {
            if (a.type() != FormatArg::Type::real) return false;
            append_formatted(out, build_format(s, ""), a.real());
            return true;
        }
        case 's': {
            if (a.type() != FormatArg::Type::text) return false;
            const char* text = a.text() != nullptr ? a.text() : "(null)";
            // The text is placed by hand: it may be longer than any buffer of ours.
            std::size_t length = std::strlen(text);
            if (s.precision >= 0) length = std::min<std::size_t>(length, s.precision);
            const std::size_t width = s.width > 0 ? static_cast<std::size_t>(s.width) : 0;
            const bool left = std::memchr(s.flags, '-', s.flag_count) != nullptr;
            const std::size_t pad = width > length ? width - length : 0;
            if (!left) out.append(pad, ' ');
            out.append(text, length);
            if (left) out.append(pad, ' ');
            return true;
        }
        default:
            return false;
    }
}

}  // namespace

std::string safe_format(const char* format, std::span<const FormatArg> args) {
    std::string out;
    if (format == nullptr) return out;
    std::size_t next = 0;
    const char* p = format;
    while (*p != '\0') {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        const char* start = p++;
        if (*p == '%') {
            out += '%';
            ++p;
            continue;
        }
        Conversion s;
        std::size_t stars = 0;
        std::size_t taken = next;  // arguments used by this conversion
        bool ok = true;
        while (is_flag(*p)) {
            if (s.flag_count < static_cast<int>(sizeof s.flags)) s.flags[s.flag_count++] = *p;
            ++p;
        }
        if (*p == '*') {
            ++p;
            ++stars;
            int w = 0;
            ok = star_argument(args, taken, w);
            if (ok && w < 0) {  // a negative width means left alignment
                if (s.flag_count < static_cast<int>(sizeof s.flags)) s.flags[s.flag_count++] = '-';
                w = -w;
            }
            s.width = w;
        } else if (*p >= '0' && *p <= '9') {
            ok = read_number(p, s.width);
            while (*p >= '0' && *p <= '9') ++p;
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                ++p;
                ++stars;
                int pr = 0;
                ok = star_argument(args, taken, pr) && ok;
                s.precision = pr < 0 ? -1 : pr;
            } else {
                ok = read_number(p, s.precision) && ok;
                while (*p >= '0' && *p <= '9') ++p;
            }
        }
        if (*p == 'h') {
            ++p;
            s.length = Length::h;
            if (*p == 'h') ++p, s.length = Length::hh;
        } else if (*p == 'l') {
            ++p;
            s.length = Length::l;
            if (*p == 'l') ++p, s.length = Length::ll;
        } else if (*p == 'L' || *p == 'q') {
            ++p, s.length = Length::ll;
        } else if (*p == 'z' || *p == 'j' || *p == 't') {
            ++p, s.length = Length::ll;
        }
        s.conversion = *p;
        if (*p != '\0') ++p;
        // A known conversion uses up its arguments (stars and value) whether or not it can
        // print them, so the next conversion still takes its own argument.
        const bool known = s.conversion != '\0' && std::strchr("diouxXcseEfFgGaAnp", s.conversion);
        // A conversion of "%n", "%p", an unknown letter, a text end, a missing or unfitting
        // argument is written as it stands.
        if (ok && taken < args.size() && s.conversion != 'n' && s.conversion != 'p' &&
            convert(out, s, args[taken])) {
            next = taken + 1;
        } else {
            out.append(start, static_cast<std::size_t>(p - start));
            if (known) next = std::min(args.size(), next + stars + 1);
        }
    }
    return out;
}

std::size_t safe_format_to(char* out, std::size_t size, const char* format,
                           std::span<const FormatArg> args) {
    if (out == nullptr || size == 0) return 0;
    const std::string text = safe_format(format, args);
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return n;
}
