#include "lens/glass_catalog.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "runtime/messages.h"

namespace {

// The glass catalogues read at start, the paths they were read from, and the private catalogue's
// path.
struct GlassCatalogsState {
    GlassCatalog catalogs[kGlassCatalogCount];
    std::string private_path;
    std::string catalog_paths[kGlassCatalogCount];
};

GlassCatalogsState g_glass_catalogs;

const char* const kCatalogFiles[kGlassCatalogCount] = {"obsolete.glc", "misc.glc",    "ohara.glc",
                                                       "hoya.glc",     "corning.glc", "schott.glc",
                                                       "shared.glc",   "private.glc"};

// Longest text a number field may have; anything longer is not a number of ours.
constexpr std::size_t kNumberTextLimit = 64;

// The formula part of a glass line (everything after the catalogue values).
struct FormulaData {
    int dispersion_kind = 0, dispersion_count = 0;
    double dispersion[kCoefficientSlots] = {};
    int dispersion_read = 0;  // coefficients present on the line
    int thermal_kind = 0, thermal_count = 0;
    double thermal[kCoefficientSlots] = {};
    int thermal_read = 0;
    int table_flag = 0, table_count = 0;
    double table_wavelengths[kMaxTablePairs] = {};
    double table_values[kMaxTablePairs] = {};
};

// Reads the blank-separated items of one line. Every read checks the whole item, so a line
// either parses completely or is refused; nothing is taken from half an item.
class LineFields {
public:
    explicit LineFields(const char* text) : p_(text) {}

    bool word(const char*& start, std::size_t& length) {
        while (*p_ != '\0' && std::isspace(static_cast<unsigned char>(*p_))) ++p_;
        if (*p_ == '\0') return false;
        start = p_;
        while (*p_ != '\0' && !std::isspace(static_cast<unsigned char>(*p_))) ++p_;
        length = static_cast<std::size_t>(p_ - start);
        return true;
    }

    bool real(double& value) {
        char text[kNumberTextLimit + 1];
        if (!number_text(text)) return false;
        char* end = nullptr;
        double v = std::strtod(text, &end);
        if (*end != '\0' || !std::isfinite(v)) return false;
        value = v;
        return true;
    }

    bool integer(int& value) {
        char text[kNumberTextLimit + 1];
        if (!number_text(text)) return false;
        char* end = nullptr;
        long v = std::strtol(text, &end, 10);
        if (*end != '\0' || v < INT_MIN || v > INT_MAX) return false;
        value = static_cast<int>(v);
        return true;
    }

private:
    bool number_text(char (&text)[kNumberTextLimit + 1]) {
        const char* start;
        std::size_t length;
        if (!word(start, length) || length > kNumberTextLimit) return false;
        std::memcpy(text, start, length);
        text[length] = '\0';
        return true;
    }

    const char* p_;
};

// Parses a glass line: the catalogue values into glass, the formula data into formula.
bool parse_glass_line(const char* line, CatalogGlass& glass, FormulaData& formula) {
    std::size_t length = std::strlen(line);
    while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) --length;
    if (length <= static_cast<std::size_t>(kGlassNameLength)) return false;
    for (int i = 0; i < kGlassNameLength; ++i) {
        if (line[i] == '\n' || line[i] == '\r') return false;
    }
    CatalogGlass g{};
    std::memcpy(g.name, line, kGlassNameLength);
    g.name[kGlassNameLength] = '\0';

    LineFields fields(line + kGlassNameLength);
    double* reals[] = {&g.nd,  &g.vd,           &g.density, &g.dn_dt,
                       &g.tce, &g.transmission, &g.cost,    &g.hardness};
    for (double* r : reals) {
        if (!fields.real(*r)) return false;
    }
    if (!fields.integer(g.chemical_class)) return false;
    const char* word;
    std::size_t word_length;
    if (!fields.word(word, word_length) || word_length > kBubbleClassLength) return false;
    std::memcpy(g.bubble_class, word, word_length);
    g.bubble_class[word_length] = '\0';
    if (!fields.word(word, word_length) || word_length != 1) return false;
    g.availability = word[0];

    FormulaData f;
    if (!fields.integer(f.dispersion_kind) || !fields.integer(f.dispersion_count)) return false;
    if (f.dispersion_kind == kDispersionPowerSeries || f.dispersion_kind == kDispersionSellmeier) {
        f.dispersion_read = 6;
    } else if (f.dispersion_kind == kDispersionConrady) {
        f.dispersion_read = 3;
    }
    for (int i = 0; i < f.dispersion_read; ++i) {
        if (!fields.real(f.dispersion[i])) return false;
    }
    if (!fields.integer(f.thermal_kind) || !fields.integer(f.thermal_count)) return false;
    if (f.thermal_kind == kThermalAbsolute) {
        f.thermal_read = 6;
    } else if (f.thermal_kind == kThermalDndT) {
        f.thermal_read = 1;
    }
    for (int i = 0; i < f.thermal_read; ++i) {
        if (!fields.real(f.thermal[i])) return false;
    }
    if (!fields.integer(f.table_flag) || !fields.integer(f.table_count)) return false;
    if (f.table_count > kMaxTablePairs) f.table_count = kMaxTablePairs;
    if (f.table_count < 0) f.table_count = 0;
    if (f.table_flag == 1) {
        for (int i = 0; i < f.table_count; ++i) {
            if (!fields.real(f.table_wavelengths[i]) || !fields.real(f.table_values[i])) {
                return false;
            }
        }
    }
    glass = g;
    formula = f;
    return true;
}

enum class LineRead { kOk, kEnd, kTooLong };

// One line into buffer; a line that does not fit (its newline included) is refused.
template <std::size_t N>
LineRead read_line(std::FILE* file, char (&buffer)[N]) {
    if (std::fgets(buffer, static_cast<int>(N), file) == nullptr) return LineRead::kEnd;
    if (std::strchr(buffer, '\n') == nullptr && !std::feof(file)) return LineRead::kTooLong;
    return LineRead::kOk;
}

void empty_catalog(GlassCatalog& catalog) {
    if (catalog.file != nullptr) std::fclose(catalog.file);
    catalog.file = nullptr;
    catalog.count = 0;
    catalog.version = 0.0;
    catalog.refused = false;
}

// Loads the header and glass lines of an open catalogue file. 0 on success, 1 when the header
// count had to be cut to the room, -1 when the file is malformed.
int load_open_catalog(GlassCatalog& catalog, std::FILE* file) {
    char header[kCatalogHeaderBuffer];
    if (read_line(file, header) != LineRead::kOk) return -1;
    LineFields fields(header);
    double version;
    int count;
    if (!fields.real(version) || !fields.integer(count) || count < 0) return -1;
    int result = 0;
    if (count > kCatalogRoom) {
        count = kCatalogRoom;
        result = 1;
    }
    catalog.version = version;
    char line[kCatalogLineBuffer];
    for (int i = 0; i < count; ++i) {
        long position = std::ftell(file);
        if (position < 0 || position > INT32_MAX) return -1;
        if (read_line(file, line) != LineRead::kOk) return -1;
        FormulaData formula;
        if (!parse_glass_line(line, catalog.glasses[i], formula)) return -1;
        catalog.glasses[i].file_position = static_cast<std::int32_t>(position);
    }
    catalog.count = count;
    return result;
}

}  // namespace

GlassCatalog& glass_catalog(int index) {
    return g_glass_catalogs.catalogs[index];
}

const std::string& private_catalog_path() {
    return g_glass_catalogs.private_path;
}

std::string glass_catalog_path(int index, const std::string& root, const std::string& data) {
    const std::string& folder = index == kPrivateCatalog ? data : root;
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path += '/';
    return path + "bin/glc/" + kCatalogFiles[index];
}

int read_catalog_file(int index, const std::string& path) {
    GlassCatalog& catalog = g_glass_catalogs.catalogs[index];
    empty_catalog(catalog);
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return kMsgCatalogUnreadable;
    int loaded = load_open_catalog(catalog, file);
    if (loaded < 0) {
        std::fclose(file);
        catalog.count = 0;
        catalog.refused = true;
        return kMsgCatalogUnreadable;
    }
    catalog.file = file;
    // Glasses beyond the room are not in memory; rewriting the file would lose them.
    if (loaded != 0 && index == kPrivateCatalog) catalog.refused = true;
    return loaded == 0 ? 0 : kMsgCatalogUnreadable;
}

std::vector<GlassLoadReport> read_glass_catalogs(const std::string& root, const std::string& data,
                                                 OldPrivateConverter convert) {
    std::vector<GlassLoadReport> reports;
    auto report = [&](const std::string& path) {
        reports.push_back({kMsgCatalogUnreadable, path});
        msg_box(kMsgCatalogUnreadable, path.c_str());
    };
    g_glass_catalogs.private_path = glass_catalog_path(kPrivateCatalog, root, data);
    for (int index = 0; index < kPrivateCatalog; ++index) {
        std::string path = glass_catalog_path(index, root, data);
        g_glass_catalogs.catalog_paths[index] = path;
        if (read_catalog_file(index, path) != 0) report(path);
    }

    g_glass_catalogs.catalog_paths[kPrivateCatalog] = g_glass_catalogs.private_path;
    GlassCatalog& own = g_glass_catalogs.catalogs[kPrivateCatalog];
    empty_catalog(own);
    std::FILE* file = std::fopen(g_glass_catalogs.private_path.c_str(), "rb");
    if (file == nullptr) {
        // A user who never stored a glass has no private catalogue: nothing to show for that.
        reports.push_back({kMsgCatalogUnreadable, g_glass_catalogs.private_path});
        if (std::error_code ec; std::filesystem::exists(g_glass_catalogs.private_path, ec)) {
            msg_box(kMsgCatalogUnreadable, g_glass_catalogs.private_path.c_str());
        }
        return reports;
    }
    char magic[7] = {};
    std::size_t got = std::fread(magic, 1, sizeof magic, file);
    std::fclose(file);
    if (got == sizeof magic && std::memcmp(magic, "PRIVATE", sizeof magic) == 0) {
        if (convert == nullptr || convert(g_glass_catalogs.private_path) != 0) {
            // The old file is still there and holds the user's glasses: never write over it.
            own.refused = true;
            report(g_glass_catalogs.private_path);
            return reports;
        }
    }
    if (read_catalog_file(kPrivateCatalog, g_glass_catalogs.private_path) != 0)
        report(g_glass_catalogs.private_path);
    return reports;
}

const std::string& glass_catalog_file(int index) {
    static const std::string none;
    return index >= 0 && index < kGlassCatalogCount ? g_glass_catalogs.catalog_paths[index] : none;
}

void close_glass_catalogs() {
    for (GlassCatalog& catalog : g_glass_catalogs.catalogs) empty_catalog(catalog);
}

int read_glass_data(std::int32_t position, int catalog, GlassData& glass) {
    if (catalog < 0 || catalog >= kGlassCatalogCount) return kMsgCatalogUnreadable;
    std::FILE* file = g_glass_catalogs.catalogs[catalog].file;
    if (file == nullptr) {
        pad_glass_name("AIR", glass.name);
        glass.dispersion_kind = kDispersionNone;
        glass.dispersion_count = 0;
        glass.thermal_kind = kThermalNone;
        glass.thermal_count = 0;
        glass.table_flag = 0;
        glass.table_count = 0;
        glass.tce = 0.0;
        return 0;
    }
    char line[kCatalogLineBuffer];
    CatalogGlass values;
    FormulaData formula;
    if (position < 0 || std::fseek(file, position, SEEK_SET) != 0 ||
        read_line(file, line) != LineRead::kOk || !parse_glass_line(line, values, formula)) {
        return kMsgCatalogUnreadable;
    }
    std::memcpy(glass.name, values.name, sizeof glass.name);
    glass.tce = values.tce;
    glass.dispersion_kind = formula.dispersion_kind;
    glass.dispersion_count = formula.dispersion_count;
    for (int i = 0; i < formula.dispersion_read; ++i) glass.dispersion[i] = formula.dispersion[i];
    glass.thermal_kind = formula.thermal_kind;
    glass.thermal_count = formula.thermal_count;
    for (int i = 0; i < formula.thermal_read; ++i) glass.thermal[i] = formula.thermal[i];
    glass.table_flag = formula.table_flag;
    glass.table_count = formula.table_count;
    if (formula.table_flag == 1) {
        for (int i = 0; i < formula.table_count; ++i) {
            glass.table_wavelengths[i] = formula.table_wavelengths[i];
            glass.table_values[i] = formula.table_values[i];
        }
    }
    return 0;
}

std::string shown_glass_name(const char* name) {
    std::string text(name, strnlen(name, kGlassNameLength));
    const std::size_t last = text.find_last_not_of(' ');
    text.resize(last == std::string::npos ? 0 : last + 1);
    return text;
}

void pad_glass_name(const char* text, char (&name)[kGlassNameLength + 1]) {
    int i = 0;
    for (; i < kGlassNameLength && text[i] != '\0'; ++i) name[i] = text[i];
    for (; i < kGlassNameLength; ++i) name[i] = ' ';
    name[kGlassNameLength] = '\0';
}
