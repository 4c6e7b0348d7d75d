// format_number: the program-wide number format. Numbers print the same on every machine: the
// run keeps LC_NUMERIC "C", and exponents come out as the Windows C runtime writes them (three
// digits) with one leading zero then removed, so "%12.4e" of 2e5 is " 2.0000e+05", 11 columns
// like every other kind-0 number.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/output_options.h"
#include "runtime/text_output.h"

namespace {

constexpr int kPrecisionLimit = 100;  // digits beyond this say nothing and only cost space
char number_text[512];

// Position of the exponent letter of a formatted number, or -1.
int exponent_position(const char* text) {
    for (int i = 0; text[i] != '\0'; ++i) {
        if ((text[i] == 'e' || text[i] == 'E') && (text[i + 1] == '+' || text[i + 1] == '-')) {
            return i;
        }
    }
    return -1;
}

// The Windows runtime writes at least three exponent digits, in the same field width.
void widen_exponent(char* text) {
    const int e = exponent_position(text);
    if (e < 0) return;
    char* digits = text + e + 2;
    if (std::strlen(digits) != 2) return;
    std::memmove(digits + 1, digits, 3);
    digits[0] = '0';
    if (text[0] == ' ') std::memmove(text, text + 1, std::strlen(text));
}

// One leading zero after the exponent's sign is dropped.
void drop_exponent_zero(char* text) {
    const int e = exponent_position(text);
    if (e < 0) return;
    char* digits = text + e + 2;
    if (digits[0] == '0' && digits[1] != '\0')
        std::memmove(digits, digits + 1, std::strlen(digits));
}

// Trailing zeros of the mantissa, keeping one digit after the point: removed (the exponent
// moves up) or, with blanks, turned into blanks so that the width stays.
void trim_zeros(char* text, bool blanks) {
    char* point = std::strchr(text, '.');
    if (point == nullptr) return;
    const int e = exponent_position(text);
    char* end = e >= 0 ? text + e : text + std::strlen(text);
    char* last = end - 1;
    while (last > point + 1 && *last == '0') --last;
    if (last + 1 == end) return;
    if (blanks) {
        for (char* p = last + 1; p < end; ++p) *p = ' ';
    } else {
        std::memmove(last + 1, end, std::strlen(end) + 1);
    }
}

}  // namespace

const char* format_number(double value, int kind, int mode) {
    const double a = std::fabs(value);
    char format[32];
    if (kind < 3) {
        if (kind < 0) kind = 0;
        const bool five = output_option(kOptionFivePlaces) != 0;
        const double small = kind == 2 ? 1e-5 : 1e-4;
        const double large = kind == 2 ? 99999.999999 : five ? 9999.999999 : 999.999999;
        const bool exponential = a > large || mode == 1 || (mode == 0 && a > 0.0 && a < small);
        const char* f = exponential ? (kind == 0 ? "%12.4e" : "%18.10e")
                                    : (kind == 0 ? (five ? "%11.5f" : "%11.6f") : "%20.13f");
        std::snprintf(format, sizeof format, "%s", f);
    } else {
        const int p = kind - 3 > kPrecisionLimit ? kPrecisionLimit : kind - 3;
        if (mode == 1) {
            std::snprintf(format, sizeof format, "%%.%de", p);
        } else if (mode == 2) {
            std::snprintf(format, sizeof format, "%%.%df", p);
        } else if (p == 0) {
            std::snprintf(format, sizeof format, "%%g");
        } else {
            std::snprintf(format, sizeof format, "%%.%dg", p);
        }
    }
    std::snprintf(number_text, sizeof number_text - 1, format, value);
    widen_exponent(number_text);
    drop_exponent_zero(number_text);
    if (kind == 2) {
        trim_zeros(number_text, false);
        const char* start = number_text;
        while (*start == ' ') ++start;
        std::memmove(number_text, start, std::strlen(start) + 1);
    } else if (output_option(kOptionTrim) != 0 && exponent_position(number_text) < 0) {
        trim_zeros(number_text, true);
    }
    return number_text;
}

const char* shortest_number_text(double value) {
    static char text[64];
    if (!std::isfinite(value)) value = 0.0;
    // Plain decimals (at least one, as a length reads: "50.0") where the sheets show them so;
    // an exponent only for the very small and the very large.
    const double a = std::fabs(value);
    if (a == 0.0 || (a >= 1e-5 && a < 1e15)) {
        for (int places = 1; places <= 20; ++places) {
            std::snprintf(text, sizeof text, "%.*f", places, value);
            if (std::strtod(text, nullptr) == value) return text;
        }
    }
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    drop_exponent_zero(text);
    return text;
}
