#include "platform/locale.h"

#include <langinfo.h>
#include <locale.h>
#include <clocale>
#include <cstdlib>

namespace platform {

void force_c_numeric_locale() {
    std::setlocale(LC_NUMERIC, "C");
}

char user_decimal_separator() {
    const char* name = std::getenv("LC_ALL");
    if (name == nullptr || *name == '\0') name = std::getenv("LC_NUMERIC");
    if (name == nullptr || *name == '\0') name = std::getenv("LANG");
    if (name == nullptr || *name == '\0') return '.';
    locale_t loc = newlocale(LC_NUMERIC_MASK, name, static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return '.';
    const char* point = nl_langinfo_l(RADIXCHAR, loc);
    const char separator = (point != nullptr && point[0] != '\0') ? point[0] : '.';
    freelocale(loc);
    return separator;
}

}  // namespace platform
