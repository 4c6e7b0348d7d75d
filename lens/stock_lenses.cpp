#include "lens/stock_lenses.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <tuple>
#include <utility>

#include "lens/lens_data.h"
#include "lens/surface_groups.h"
#include "lens/surface_insert_delete.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/command_context.h"
#include "runtime/definitions.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/lens_data_guard.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/table_files.h"
#include "runtime/text_case.h"
#include "tables/table_names.h"

namespace {

constexpr int kCatalogListLimit = 25;
constexpr int kPartNameLength = 9;
constexpr int kVendorCodeLength = 5;
constexpr int kVendorNameLength = 38;
// A catalogue file larger than this is not a catalogue.
constexpr long kCatalogFileLimit = 16L * 1024 * 1024;
// Part values beyond a kilometre are damage, and keep every value x 1000 inside 32 bits.
constexpr double kPartValueLimit = 1e6;
constexpr double kFieldLimit = 10000.0;

struct Catalog {
    std::string name;
    std::vector<StockLensPart> parts;
    std::vector<StockVendorName> vendors;
    int shortest_code = 999;
    int longest_code = 0;
    int longest_text = 0;
};

// The catalogue the user opened, the selection and the rows it picks, the parts file; and the
// setup, the part-inserted hook and the parts view installed at start.
struct StockLensesState {
    Catalog catalog;
    StockSelection selection;
    std::vector<int> rows;
    std::FILE* parts_file = nullptr;
    bool parts_open = false;
    StockLensSetup setup = nullptr;
    StockPartInsertedHook part_inserted = nullptr;
    StockPartsView view;
};

StockLensesState g_stock;

std::string catalog_file(const std::string& name, const char* extension) {
    const std::string folder = platform::join_path(root_folder(), "bin/lmo");
    return platform::find_path_ignoring_case(platform::join_path(folder, name + extension));
}

// A whole catalogue file; false when it cannot be read or is too large to be one.
bool read_whole_file(const std::string& path, std::string& text, bool& too_large) {
    too_large = false;
    std::uint64_t size = 0;
    if (path.empty() || platform::file_size(path, size) != 0) return false;
    if (size > static_cast<std::uint64_t>(kCatalogFileLimit)) {
        too_large = true;
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    text.assign(static_cast<std::size_t>(size), '\0');
    const std::size_t got = size > 0 ? std::fread(text.data(), 1, text.size(), file) : 0;
    std::fclose(file);
    text.resize(got);
    return true;
}

// Formatted reads over a file's text, each field with a width, so that nothing in the file can
// run a read past its end or overflow a number.
class Scanner {
public:
    explicit Scanner(const std::string& text) : text_(text) {}

    void skip_blanks() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_])) != 0)
            ++pos_;
    }
    bool integer(long long& value, long long low, long long high) {
        skip_blanks();
        std::size_t p = pos_;
        bool negative = false;
        if (p < text_.size() && (text_[p] == '+' || text_[p] == '-')) negative = text_[p++] == '-';
        const std::size_t first = p;
        long long v = 0;
        while (p < text_.size() && std::isdigit(static_cast<unsigned char>(text_[p])) != 0) {
            if (p - first >= 12) return false;
            v = v * 10 + (text_[p++] - '0');
        }
        if (p == first) return false;
        v = negative ? -v : v;
        if (v < low || v > high) return false;
        value = v;
        pos_ = p;
        return true;
    }
    bool number(double& value) {
        skip_blanks();
        std::size_t p = pos_;
        char buffer[64];
        std::size_t n = 0;
        while (p < text_.size() && n + 1 < sizeof buffer &&
               std::strchr("0123456789+-.eE", text_[p]) != nullptr) {
            buffer[n++] = text_[p++];
        }
        buffer[n] = '\0';
        std::size_t lead = buffer[0] == '+' || buffer[0] == '-' ? 1 : 0;
        if (buffer[lead] == '.') ++lead;
        if (std::isdigit(static_cast<unsigned char>(buffer[lead])) == 0) return false;
        char* end = nullptr;
        const double v = std::strtod(buffer, &end);
        if (end == buffer || !std::isfinite(v)) return false;
        value = v;
        pos_ += static_cast<std::size_t>(end - buffer);
        return true;
    }
    bool literal(char c) {
        skip_blanks();
        if (pos_ >= text_.size() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }
    // The text up to the next c (which is passed over); false when there is none.
    bool until(char c, std::string& out) {
        const std::size_t at = text_.find(c, pos_);
        if (at == std::string::npos) return false;
        out = text_.substr(pos_, at - pos_);
        pos_ = at + 1;
        return true;
    }

private:
    const std::string& text_;
    std::size_t pos_ = 0;
};

bool scaled(double value, std::int32_t& out) {
    if (!(std::fabs(value) <= kPartValueLimit)) return false;
    out = static_cast<std::int32_t>(std::lround(value * 1000.0));
    return true;
}

int read_directory(const std::string& text, std::uint64_t dat_size, bool have_dat,
                   Catalog& catalog) {
    Scanner in(text);
    long long count = 0;
    if (!in.integer(count, 1, 65535)) return kMsgStockCatalogDamaged;
    for (long long k = 0; k < count; ++k) {
        StockLensPart part{};
        long long offset = 0, length = 0, type = 0;
        std::string raw;
        double efl = 0, diameter = 0, third = 0;
        if (!in.integer(offset, 0, 0x7fffffff) || !in.literal(',') ||
            !in.integer(length, 1, 65535) || !in.literal(',') || !in.integer(type, 1, 3) ||
            !in.literal(',') || !in.until(',', raw) || !in.number(efl) || !in.literal(',') ||
            !in.number(diameter) || !in.literal(',') || !in.number(third)) {
            return kMsgStockCatalogDamaged;
        }
        if (have_dat && static_cast<std::uint64_t>(offset + length) > dat_size) {
            return kMsgStockCatalogDamaged;
        }
        if (diameter <= 0 || !scaled(efl, part.efl) || !scaled(diameter, part.diameter) ||
            !scaled(third, part.third)) {
            return kMsgStockCatalogDamaged;
        }
        std::string name;
        for (char c : raw) {
            if (static_cast<unsigned char>(c) >= 33 && name.size() < kPartNameLength) name += c;
        }
        name = upper_text(name);
        std::memcpy(part.name, name.c_str(), name.size() + 1);
        part.offset = static_cast<std::int32_t>(offset);
        part.length = static_cast<std::uint16_t>(length);
        part.type = static_cast<std::uint16_t>(type);
        catalog.longest_text = std::max(catalog.longest_text, static_cast<int>(length));
        catalog.parts.push_back(part);
    }
    return 0;
}

// Vendor names: a count, then per entry two texts in double quotes, the name prefix and the
// vendor's name.
int read_vendor_names(const std::string& text, Catalog& catalog) {
    Scanner in(text);
    long long count = 0;
    // Each entry takes four quotes at least.
    if (!in.integer(count, 0, static_cast<long long>(text.size() / 4))) {
        return kMsgStockCatalogDamaged;
    }
    for (long long k = 0; k < count; ++k) {
        std::string skipped, code_field, skipped2, name_field;
        if (!in.until('"', skipped) || !in.until('"', code_field) || !in.until('"', skipped2) ||
            !in.until('"', name_field)) {
            return kMsgStockCatalogDamaged;
        }
        std::size_t p = code_field.find_first_not_of(' ');
        std::string code_text;
        while (p != std::string::npos && p < code_field.size() && code_field[p] != ' ' &&
               code_field[p] != ',') {
            if (code_text.size() < kVendorCodeLength) code_text += code_field[p];
            ++p;
        }
        code_text = upper_text(code_text);
        const std::int32_t code =
            stock_prefix_code(code_text.c_str(), static_cast<int>(code_text.size()));
        if (code <= 0) return kMsgStockCatalogDamaged;
        StockVendorName vendor{};
        vendor.code = code;
        const std::string name = name_field.substr(0, kVendorNameLength);
        std::memcpy(vendor.name, name.c_str(), name.size() + 1);
        catalog.vendors.push_back(vendor);
        const int length = static_cast<int>(code_text.size());
        catalog.shortest_code = std::min(catalog.shortest_code, length);
        catalog.longest_code = std::max(catalog.longest_code, length);
    }
    return 0;
}

std::int64_t distance(std::int32_t a, std::int32_t b) {
    return std::llabs(static_cast<std::int64_t>(a) - b);
}

bool inside(std::int32_t value, std::int32_t centre, std::int32_t range) {
    return distance(value, centre) <= static_cast<std::int64_t>(range);
}

void sort_rows() {
    const StockSelection& s = g_stock.selection;
    if (s.sort == kStockSortDirectory) {
        std::sort(g_stock.rows.begin(), g_stock.rows.end());
        return;
    }
    const auto key = [&](int i) {
        const StockLensPart& p = g_stock.catalog.parts[static_cast<std::size_t>(i)];
        return s.sort == kStockSortDiameter ? std::make_tuple(p.diameter, p.efl, i)
                                            : std::make_tuple(p.efl, p.diameter, i);
    };
    std::sort(g_stock.rows.begin(), g_stock.rows.end(),
              [&](int a, int b) { return key(a) < key(b); });
}

int nearest_row_part() {
    const StockSelection& s = g_stock.selection;
    int best = -1;
    std::pair<std::int64_t, std::int64_t> best_key;
    for (int i : g_stock.rows) {
        const StockLensPart& p = g_stock.catalog.parts[static_cast<std::size_t>(i)];
        const std::int64_t de = distance(p.efl, s.efl_centre);
        const std::int64_t dd = distance(p.diameter, s.diameter_centre);
        const auto key =
            s.sort == kStockSortDiameter ? std::make_pair(dd, de) : std::make_pair(de, dd);
        if (best < 0 || key < best_key) {
            best = i;
            best_key = key;
        }
    }
    return best;
}

void close_parts_file() {
    if (g_stock.parts_file != nullptr) std::fclose(g_stock.parts_file);
    g_stock.parts_file = nullptr;
}

bool open_parts_file() {
    close_parts_file();
    const std::string path = catalog_file(g_stock.catalog.name, ".dat");
    if (path.empty()) return false;
    g_stock.parts_file = std::fopen(path.c_str(), "rb");
    return g_stock.parts_file != nullptr;
}

// The parts list as the console shows it: the title, one row per part, the selected part's
// line.
void show_parts() {
    print_msg(kMsgStockPartsTitle);
    text_printf("\n");
    for (int i : g_stock.rows) {
        text_printf("%c %s\n", i == g_stock.selection.selected ? '>' : ' ',
                    stock_row_text(i).c_str());
    }
    const StockLensPart* p = stock_part(g_stock.selection.selected);
    if (p == nullptr) {
        print_msg(kMsgNoStockPart);
    } else {
        const std::string vendor = stock_vendor_name(p->name);
        print_msg(kMsgStockPartLine, vendor.c_str(), p->name, p->diameter / 1000.0, p->efl / 1000.0,
                  p->third / 1000.0);
    }
    text_printf("\n");
    if (g_stock.view.show != nullptr) g_stock.view.show();
}

// Lines the insertion runs; a glass a catalogue names under an old name gets its present one.
struct GlassRename {
    const char* prefix;
    const char* note;
    const char* line;
    const char* old_name;
    const char* new_name;
};
constexpr GlassRename kGlassRenames[] = {
    {"BaF10", "NOT \"Glass in catalog: BAF10\"", "GLA BAFN10", "BAF10", "BAFN10"},
    {"BAF10", "NOT \"Glass in catalog: BAF10\"", "GLA BAFN10", "BAF10", "BAFN10"},
    {"BaF11", "NOT \"Glass in catalog: BAF11\"", "GLA BAFN11", "BAF11", "BAFN11"},
    {"BAF11", "NOT \"Glass in catalog: BAF11\"", "GLA BAFN11", "BAF11", "BAFN11"},
    {"FD5", "NOT \"Glass in catalog: FD5\"", "GLA SF5", "FD5", "SF5"},
    {"FD10", "NOT \"Glass in catalog: FD10\"", "GLA SF10", "FD10", "SF10"},
};

const GlassRename* glass_rename(const std::string& field) {
    if (field.compare(0, 4, "GLA ") != 0) return nullptr;
    const std::string glass = field.substr(4);
    for (const GlassRename& r : kGlassRenames) {
        if (glass.compare(0, std::strlen(r.prefix), r.prefix) == 0) return &r;
    }
    return nullptr;
}

std::string field_key(const std::string& field) {
    return field.substr(0, field.find(' '));
}

int surface_count_of(const std::string& text) {
    int count = 1;
    for (const std::string& f : stock_part_fields(text)) count += upper_text(field_key(f)) == "NXT";
    return count;
}

// A field of a part text may only enter lens data: its word must be a lens-entry command and
// its values plain numbers, or for the commands that take a name or a note, plain words and one
// quoted text. Nothing in a catalogue may call a procedure, change a setting or leave the lens.
bool lens_data_field(const std::string& field) {
    const std::string key = field_key(field);
    // The end of lens entry is the caller's, not a part's.
    if (key.empty() || key.size() > 8 || upper_text(key) == "END") return false;
    for (char c : key) {
        if (std::isalpha(static_cast<unsigned char>(c)) == 0) return false;
    }
    std::string symbol = key + "_l";
    for (char& c : symbol) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (definitions().names == nullptr || find_name(definitions().names, symbol.c_str()) < 0) {
        return false;
    }
    const std::string rest = field.substr(key.size());
    const std::string upper_key = upper_text(key);
    const bool takes_text = upper_key == "GLA" || upper_key == "GLF" || upper_key == "NOT";
    bool quoted = false;
    int quotes = 0;
    for (char c : rest) {
        if (c == '"') {
            quoted = !quoted;
            ++quotes;
            continue;
        }
        if (quoted) {
            if (static_cast<unsigned char>(c) < 32 || c == '\\') return false;
            continue;
        }
        const bool number_char =
            std::isdigit(static_cast<unsigned char>(c)) != 0 || std::strchr(" .+-eE", c) != nullptr;
        const bool word_char =
            std::isalnum(static_cast<unsigned char>(c)) != 0 || std::strchr(" .+-_", c) != nullptr;
        if (!(takes_text ? word_char : number_char)) return false;
    }
    if (quoted || quotes > 2 || (quotes > 0 && !takes_text)) return false;
    if (upper_key == "NOT") {
        // A note only as one quoted text: a bare word would be read as an expression.
        const std::size_t a = rest.find_first_not_of(' ');
        const std::size_t b = rest.find_last_not_of(' ');
        return a == std::string::npos || (quotes == 2 && rest[a] == '"' && rest[b] == '"');
    }
    if (!takes_text) {
        // Every word a number.
        std::size_t p = 0;
        while (p < rest.size()) {
            while (p < rest.size() && rest[p] == ' ') ++p;
            if (p >= rest.size()) break;
            const std::string word = rest.substr(p, rest.find(' ', p) - p);
            char* end = nullptr;
            std::strtod(word.c_str(), &end);
            if (word.empty() || end != word.c_str() + word.size()) return false;
            p += word.size();
        }
    }
    return true;
}

}  // namespace

std::int32_t stock_prefix_code(const char* text, int length) {
    if (text == nullptr || length < 0 || length > kVendorCodeLength) return -1;
    std::int32_t code = 0;
    for (int k = 0; k < length; ++k) {
        const int c = std::toupper(static_cast<unsigned char>(text[k]));
        if (c < 32 || c > 95) return -1;
        code = code * 64 + (c - 32);
    }
    return code;
}

std::string stock_vendor_name(const char* part_name) {
    const Catalog& c = g_stock.catalog;
    if (part_name == nullptr || c.vendors.empty()) return {};
    int length = 0;
    while (length < c.longest_code && part_name[length] != '\0' &&
           static_cast<unsigned char>(part_name[length]) >= 32 &&
           static_cast<unsigned char>(part_name[length]) <= 95) {
        ++length;
    }
    for (; length >= c.shortest_code && length > 0; --length) {
        const std::int32_t code = stock_prefix_code(part_name, length);
        for (const StockVendorName& v : c.vendors) {
            if (v.code == code) return v.name;
        }
    }
    return {};
}

int read_lens_catalog(const char* name) {
    const std::string wanted = name != nullptr ? name : "";
    if (!g_stock.catalog.parts.empty() && upper_text(wanted) == upper_text(g_stock.catalog.name))
        return 0;
    // A catalogue that cannot be found leaves the one loaded as it is.
    if (wanted.empty() || wanted.find_first_of("/\\") != std::string::npos) {
        return kMsgStockCatalogMissing;
    }
    std::string text;
    bool too_large = false;
    const bool read = read_whole_file(catalog_file(wanted, ".dir"), text, too_large);
    if (!read && !too_large) return kMsgStockCatalogMissing;
    close_parts_file();
    free_lens_catalog();
    if (!read) return kMsgStockCatalogDamaged;
    Catalog catalog;
    catalog.name = wanted;
    const std::string dat = catalog_file(wanted, ".dat");
    std::uint64_t dat_size = 0;
    const bool have_dat = !dat.empty() && platform::file_size(dat, dat_size) == 0;
    int r = read_directory(text, dat_size, have_dat, catalog);
    if (r == 0) {
        const std::string nam = catalog_file(wanted, ".nam");
        std::string names;
        if (!nam.empty()) {
            r = read_whole_file(nam, names, too_large) ? read_vendor_names(names, catalog)
                                                       : kMsgStockCatalogDamaged;
        }
    }
    if (r != 0) return r;
    g_stock.catalog = std::move(catalog);
    g_stock.selection = StockSelection{};
    g_stock.rows.clear();
    set_state_flag(kFlagCatalogueLoaded);
    return 0;
}

void free_lens_catalog() {
    g_stock.catalog = Catalog{};
    g_stock.rows.clear();
    g_stock.selection.selected = -1;
    clear_state_flag(kFlagCatalogueLoaded);
}

const std::string& lens_catalog_name() {
    return g_stock.catalog.name;
}

int stock_part_count() {
    return static_cast<int>(g_stock.catalog.parts.size());
}

const StockLensPart* stock_part(int i) {
    if (i < 0 || i >= stock_part_count()) return nullptr;
    return &g_stock.catalog.parts[static_cast<std::size_t>(i)];
}

int find_stock_part(const char* name) {
    const std::string wanted = upper_text(name != nullptr ? name : "");
    for (int i = 0; i < stock_part_count(); ++i) {
        if (wanted == g_stock.catalog.parts[static_cast<std::size_t>(i)].name) return i;
    }
    return -1;
}

StockSelection& stock_selection() {
    return g_stock.selection;
}

const std::vector<int>& stock_rows() {
    return g_stock.rows;
}

void filter_stock_parts() {
    const StockSelection& s = g_stock.selection;
    g_stock.rows.clear();
    for (int i = 0; i < stock_part_count(); ++i) {
        const StockLensPart& p = g_stock.catalog.parts[static_cast<std::size_t>(i)];
        if (p.type == s.type && inside(p.efl, s.efl_centre, s.efl_range) &&
            inside(p.diameter, s.diameter_centre, s.diameter_range)) {
            g_stock.rows.push_back(i);
        }
    }
    sort_rows();
    if (std::find(g_stock.rows.begin(), g_stock.rows.end(), g_stock.selection.selected) ==
        g_stock.rows.end()) {
        g_stock.selection.selected = nearest_row_part();
    }
}

void set_stock_field_value(int field, double value) {
    if (!std::isfinite(value)) return;
    value = std::clamp(value, -kFieldLimit, kFieldLimit);
    const auto v = static_cast<std::int32_t>(std::lround(value * 1000.0));
    switch (field) {
        case kStockFieldEfl:
            g_stock.selection.efl_centre = v;
            break;
        case kStockFieldEflRange:
            g_stock.selection.efl_range = std::abs(v);
            break;
        case kStockFieldDiameter:
            g_stock.selection.diameter_centre = v;
            break;
        case kStockFieldDiameterRange:
            g_stock.selection.diameter_range = std::abs(v);
            break;
        default:
            return;
    }
    filter_stock_parts();
}

int choose_stock_part(const char* name) {
    const std::string wanted = upper_text(name != nullptr ? name : "");
    const int i = find_stock_part(wanted.c_str());
    if (i < 0) return set_error_msg(kMsgStockPartUnknown, wanted.c_str());
    StockSelection& s = g_stock.selection;
    const StockLensPart& p = g_stock.catalog.parts[static_cast<std::size_t>(i)];
    s.selected = i;
    s.type = p.type;
    if (!inside(p.efl, s.efl_centre, s.efl_range)) s.efl_centre = p.efl;
    if (!inside(p.diameter, s.diameter_centre, s.diameter_range)) s.diameter_centre = p.diameter;
    s.sort = kStockSortDirectory;
    filter_stock_parts();
    return 0;
}

void set_stock_lens_type(int type) {
    if (type == g_stock.selection.type || type < kStockPositive || type > kStockCemented) return;
    g_stock.selection.type = type;
    g_stock.selection.selected = -1;
    filter_stock_parts();
}

void set_stock_sort_mode(int mode) {
    if (mode == g_stock.selection.sort || mode < kStockSortDirectory || mode > kStockSortDiameter)
        return;
    g_stock.selection.sort = mode;
    sort_rows();
    g_stock.selection.selected = nearest_row_part();
}

std::string stock_row_text(int part) {
    const StockLensPart* p = stock_part(part);
    if (p == nullptr) return {};
    char row[64];
    if (g_stock.selection.sort == kStockSortEfl) {
        std::snprintf(row, sizeof row, "%9.3f", p->efl / 1000.0);
    } else if (g_stock.selection.sort == kStockSortDiameter) {
        std::snprintf(row, sizeof row, " %7.3f", p->diameter / 1000.0);
    } else {
        std::snprintf(row, sizeof row, "%s", p->name);
    }
    return row;
}

std::vector<std::string> stock_part_fields(const std::string& text) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    const auto finish = [&] {
        const std::size_t a = field.find_first_not_of(" \t\r\n");
        const std::size_t b = field.find_last_not_of(" \t\r\n");
        if (a != std::string::npos) fields.push_back(field.substr(a, b - a + 1));
        field.clear();
    };
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        if (c == ';' && !quoted) {
            finish();
        } else {
            field += c;
        }
    }
    finish();
    return fields;
}

std::vector<StockPreviewSurface> stock_part_surfaces(const std::string& text, double diameter) {
    std::vector<StockPreviewSurface> surfaces(1);
    surfaces.back().aperture = diameter / 2;
    for (const std::string& f : stock_part_fields(text)) {
        const std::string key = upper_text(field_key(f));
        const double value = std::atof(f.size() > key.size() ? f.c_str() + key.size() : "");
        StockPreviewSurface& s = surfaces.back();
        if (key == "NXT") {
            surfaces.emplace_back();
            surfaces.back().aperture = diameter / 2;
        } else if (key == "RD") {
            s.curvature = std::fabs(value) < 1e-40 ? 0.0 : 1.0 / value;
        } else if (key == "TH") {
            s.thickness = value;
        } else if (key == "AP") {
            s.aperture = value;
        } else if (key == "GLA" || key == "GLF") {
            s.glass = true;
        }
    }
    for (std::size_t k = 0; k + 1 < surfaces.size(); ++k) {
        if (surfaces[k].glass && surfaces[k].aperture != surfaces[k + 1].aperture) {
            const double larger = std::max(surfaces[k].aperture, surfaces[k + 1].aperture);
            surfaces[k].aperture = surfaces[k + 1].aperture = larger;
        }
    }
    return surfaces;
}

int read_stock_part_text(int part, std::string& text) {
    const StockLensPart* p = stock_part(part);
    if (p == nullptr || g_stock.parts_file == nullptr)
        return set_error_msg(kMsgCatalogPartsUnavailable);
    text.assign(p->length, '\0');
    if (std::fseek(g_stock.parts_file, p->offset, SEEK_SET) != 0 ||
        std::fread(text.data(), 1, text.size(), g_stock.parts_file) != text.size()) {
        text.clear();
        return set_error_msg(kMsgCatalogPartsUnavailable);
    }
    // A part's text is one run of fields; a NUL would cut it short for every command.
    if (text.find('\0') != std::string::npos) text.resize(text.find('\0'));
    return 0;
}

int insert_stock_part(const char* text, const char* name, int type, double semi_diameter) {
    LensData& lens = lens_data();
    const std::string part_text = text != nullptr ? text : "";
    const std::string part_name = name != nullptr ? name : "";
    const std::vector<std::string> fields = stock_part_fields(part_text);
    const int count = surface_count_of(part_text);
    for (const std::string& field : fields) {
        if (upper_text(field) != "NXT" && !lens_data_field(field)) {
            return set_error_msg(kMsgStockPartRefused, part_name.c_str(), field.c_str());
        }
    }

    const bool pushed = push_command_context('L') == 0;
    bool set_entry = false;
    if (test_state_flag(kFlagLensEntryInProgress) == 0 &&
        test_state_flag(kFlagSingleCommandUpdate) == 0) {
        set_state_flag(kFlagLensEntryInProgress);
        set_entry = true;
    }
    set_state_flag(kFlagLensReadInBulk);
    char aperture_line[64];
    std::snprintf(aperture_line, sizeof aperture_line, "AP %f", semi_diameter);

    const int first = std::max(1, lens.current_surface);
    int rc = insert_surface(first);
    if (rc == 0) {
        set_current_surface(first);
        lens.mesh_renumber_limit = first;
        // The part's text and name come from a file: every line runs as lens data only.
        LensDataScope lens_data_only;
        run_command_string(type == kStockCemented ? "LMO EGR" : "LMO ELE", 0);
        const bool rename = !part_name.empty() && (part_name[0] == 'E' || part_name[0] == 'e');
        if (!part_name.empty()) {
            // Quoted, so that nothing in the name is read as more than the name.
            std::string label;
            for (char c : part_name.substr(0, 11)) {
                if (c != '"' && c != '\\') label += c;
            }
            run_command_string(("LMN \"" + label + "\"").c_str(), 0);
        }
        run_command_string(aperture_line, 0);
        int part_surface = 1;
        for (const std::string& field : fields) {
            if (upper_text(field_key(field)) == "NXT") {
                const int next = lens_data().current_surface + 1;
                rc = insert_surface(next);
                if (rc != 0) break;
                // Advancing through the part keeps its group open; set_current_surface would close
                // it.
                lens_data().current_surface = next;
                run_command_string(aperture_line, 0);
                ++part_surface;
                if (part_surface < count) {
                    surface(next).group_kind =
                        static_cast<std::uint8_t>(lens_data().group_kind_pending);
                    surface(next).group_role = 2;
                } else {
                    run_command_string("LME", 0);
                }
                continue;
            }
            const GlassRename* r = rename ? glass_rename(field) : nullptr;
            if (r != nullptr) {
                run_command_string(r->note, 0);
                run_command_string(r->line, 0);
                const std::uint8_t output = get_setting_flag(kSetOutputOn);
                set_setting_flag(kSetOutputOn, 1);
                print_msg(kMsgStockGlassReplaced, r->old_name, r->new_name);
                set_setting_flag(kSetOutputOn, output);
                continue;
            }
            run_command_string(field.c_str(), 0);
        }
        const int last = std::min(first + count - 1, lens_data().image_surface - 1);
        const double unit = lens_data().units;
        for (int s = first; s <= last; ++s) {
            SurfaceRecord& rec = surface(s);
            rec.curvature_kind = kCurvatureFixed;
            rec.aperture_kind = kApertureFixedByGroup;
            if (s < last) {
                rec.thickness_kind = kThicknessFixed;
                rec.medium_kind =
                    rec.medium_kind == kMediumAir ? kMediumAirFixed : kMediumGlassFixed;
            }
            if (std::fabs(unit - 1.0) >= 1e-40 && unit != 0.0) {
                rec.curvature *= unit;
                rec.aperture_radius /= unit;
                if (s < last) rec.thickness /= unit;
            }
        }
    }
    if (pushed && (test_state_flag(kFlagSingleCommandUpdate) != 0 || set_entry)) {
        pop_command_context();
    }
    if (rc == 0 && test_state_flag(kFlagSingleCommandUpdate) == 0) {
        print_msg(kMsgStockPartInserted, part_name.c_str());
    }
    lens_data().mesh_renumber_limit = 0;
    clear_state_flag(kFlagLensReadInBulk);
    if (set_entry) clear_state_flag(kFlagLensEntryInProgress);
    if (rc != 0) return rc;
    fold_group_thickness();
    return g_stock.setup != nullptr ? g_stock.setup(0) : 0;
}

int insert_selected_stock_part() {
    const StockLensPart* p = stock_part(g_stock.selection.selected);
    if (p == nullptr) {
        close_catalog_parts();
        return set_error_msg(kMsgNoStockPart);
    }
    std::string text;
    int rc = read_stock_part_text(g_stock.selection.selected, text);
    if (rc == 0) {
        const int limit = get_setting_int(kSetSurfaceLimit, 0, 0);
        if (surface_count_of(text) + lens_data().image_surface > limit) {
            close_catalog_parts();
            return set_error_msg(kMsgLensTooLarge, limit);
        }
        const std::uint8_t output = get_setting_flag(kSetOutputOn);
        set_setting_flag(kSetOutputOn, 0);
        rc = insert_stock_part(text.c_str(), p->name, p->type, p->diameter / 2000.0);
        set_setting_flag(kSetOutputOn, output);
        if (rc == 0 && g_stock.part_inserted != nullptr) g_stock.part_inserted();
    }
    close_catalog_parts();
    if (rc == 0 && test_state_flag(kFlagSingleCommandUpdate) == 0 &&
        test_state_flag(kFlagLensEntryInProgress) != 0) {
        run_command_string("NXT", 0);
    }
    return rc;
}

int open_catalog_parts() {
    if (test_state_flag(kFlagCatalogueLoaded) == 0 || g_stock.catalog.parts.empty() ||
        !open_parts_file()) {
        return set_error_msg(kMsgCatalogPartsUnavailable);
    }
    g_stock.parts_open = true;
    filter_stock_parts();
    show_parts();
    return 0;
}

void close_catalog_parts() {
    close_parts_file();
    const bool was_open = g_stock.parts_open;
    g_stock.parts_open = false;
    if (was_open && g_stock.view.close != nullptr) g_stock.view.close();
}

void set_stock_parts_view(const StockPartsView& view) {
    g_stock.view = view;
}

void select_stock_row(int row) {
    if (row < 0 || row >= static_cast<int>(g_stock.rows.size())) return;
    g_stock.selection.selected = g_stock.rows[static_cast<std::size_t>(row)];
    if (g_stock.view.show != nullptr) g_stock.view.show();
}

bool catalog_parts_open() {
    return g_stock.parts_open;
}

int stock_panel_control(int control, double value) {
    if (control == kStockShowPanel) return 0;
    if (control >= kStockPositive && control <= kStockCemented) {
        set_stock_lens_type(control);
    } else if (control >= kStockSortDirectory && control <= kStockSortDiameter) {
        set_stock_sort_mode(control);
    } else if (control >= kStockFieldEfl && control <= kStockFieldDiameterRange) {
        set_stock_field_value(control, value);
    } else {
        return set_error_msg(kMsgNoPanelControl, control);
    }
    return 0;
}

int cmd_open_lens_catalog() {
    if (current_command() == kCmdStockPanel) {
        if (g_stock.catalog.parts.empty()) return set_error_msg(kMsgCatalogPartsUnavailable);
        if (!g_stock.parts_open) {
            if (!open_parts_file()) return set_error_msg(kMsgCatalogPartsUnavailable);
            g_stock.parts_open = true;
            filter_stock_parts();
        }
        if (const int rc = stock_panel_control(arg_int(0), arg_double(1)); rc != 0) return rc;
        show_parts();
        return 0;
    }
    if (current_command() == kCmdStockPart) {
        if (g_stock.catalog.parts.empty()) return set_error_msg(kMsgCatalogPartsUnavailable);
        if (const int rc = choose_stock_part(arg_string(0).c_str()); rc != 0) return rc;
        if (!g_stock.parts_open && !open_parts_file())
            return set_error_msg(kMsgCatalogPartsUnavailable);
        return insert_selected_stock_part();
    }
    const std::string name = arg_string(0);
    const int rc = read_lens_catalog(name.c_str());
    if (rc != 0) {
        // A damaged catalogue is gone; one that is not there changed nothing.
        if (rc != kMsgStockCatalogMissing && g_stock.parts_open) close_catalog_parts();
        return set_error_msg(rc, name.c_str());
    }
    msg_box(kMsgStockCatalogLoaded, name.c_str());
    if (g_stock.parts_open) {
        if (!open_parts_file()) {
            close_catalog_parts();
            return set_error_msg(kMsgCatalogPartsUnavailable);
        }
        filter_stock_parts();
        show_parts();
    }
    return 0;
}

int cmd_list_lens_catalogs() {
    std::vector<platform::FolderEntry> entries;
    const std::string folder = platform::join_path(root_folder(), "bin/lmo");
    start_built_list();
    if (platform::list_folder(folder, "*.dat", platform::kListFiles, entries) != 0 ||
        entries.empty()) {
        return set_error_msg(kMsgNoStockCatalogs);
    }
    int listed = 0;
    for (const auto& e : entries) {
        if (listed >= kCatalogListLimit) break;
        const std::string name = e.name.substr(0, e.name.find('.'));
        if (name.empty()) continue;
        add_built_list_entry(name, name);
        ++listed;
    }
    if (!g_stock.catalog.name.empty()) {
        std::string current = g_stock.catalog.name;
        const ArgCell cell = text_cell(current.data());
        set_param_default(param_descriptor_index(kCmdSelectLensCatalog, 0), &cell);
    }
    return 0;
}

void set_stock_part_inserted_hook(StockPartInsertedHook hook) {
    g_stock.part_inserted = hook;
}

void install_stock_lenses(StockLensSetup setup) {
    g_stock.setup = setup;
    set_handler(kSlotOpenLensCatalog, cmd_open_lens_catalog);
    set_handler(kSlotListLensCatalogs, cmd_list_lens_catalogs);
}

namespace {
// The setup, the part-inserted hook and the parts view installed at start stay; the catalogue
// the user opened, its selection and its parts file go.
void reset_stock_lenses() {
    close_parts_file();
    g_stock.parts_open = false;
    g_stock.catalog = Catalog{};
    g_stock.selection = StockSelection{};
    std::vector<int>().swap(g_stock.rows);
}
const platform::StateReset stock_lenses_state_reset{"lens/stock_lenses", reset_stock_lenses,
                                                    platform::ResetLayer::lens};
}  // namespace
