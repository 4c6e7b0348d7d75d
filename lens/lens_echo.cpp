#include "lens/lens_echo.h"

#include <cctype>
#include <cstring>

#include "lens/lens_data.h"
#include "runtime/definitions.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"

namespace {

constexpr std::size_t kKeywordSize = 64;

}  // namespace

const char* symbol_keyword(int symbol) {
    static char keyword[kKeywordSize];
    std::strncpy(keyword, symbol_short_name(symbol), kKeywordSize - 1);
    keyword[kKeywordSize - 1] = '\0';
    std::size_t n = std::strlen(keyword);
    if (n > 1 && keyword[n - 1] == '_') keyword[--n] = '\0';
    for (std::size_t i = 0; i < n; ++i) {
        keyword[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(keyword[i])));
    }
    return keyword;
}

void print_symbol_name(const char* format, int symbol) {
    text_printf(format, symbol_keyword(symbol));
}

int print_symbol_and_number(const char* format, int symbol, double value) {
    if (test_state_flag(kFlagSingleCommandUpdate) != 0) return 1;
    print_symbol_name(format, symbol);
    print_number_cell_eol(value);
    return 0;
}

int print_symbol_and_integer(const char* format, int symbol, int value) {
    if (test_state_flag(kFlagSingleCommandUpdate) != 0) return 1;
    print_symbol_name(format, symbol);
    text_spaces(9);
    text_printf("%3d", value);
    text_newline();
    return 0;
}

void print_number_cell(double value) {
    text_out(" ");
    text_number(value);
}

void print_number_cell_eol(double value) {
    print_number_cell(value);
    text_newline();
}

void warn_multiple_configurations() {
    const int configuration = lens_data().current_configuration;
    if (configuration > 1) {
        print_msg(-265, configuration);
        text_newline();
    }
}
