#include "lens/private_catalog.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "lens/glass_lookup.h"
#include "lens/lens_data.h"
#include "lens/refractive_index.h"
#include "platform/text_file.h"
#include "runtime/command_levels.h"
#include "runtime/dispatch.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/text_output.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr char kPrivateVersion[] = "5.40";
constexpr int kNamesPerLine = 7;

// The old binary layout.
constexpr std::size_t kOldHeaderSize = 14;
constexpr std::size_t kOldCountOffset = 12;
constexpr std::size_t kOldEntrySize = 14;
constexpr std::size_t kOldBlockNumberOffset = 12;
constexpr std::size_t kOldDataStart = kOldHeaderSize + kCatalogRoom * kOldEntrySize;  // 5614
constexpr std::size_t kOldBlockSize = 48;

// The set-up installed at start.
struct PrivateCatalogState {
    int (*setup)(int mode) = nullptr;
};

PrivateCatalogState g_catalog;

// --- writing -------------------------------------------------------------------------------

// One glass line in the catalogue format. Coefficients are written exactly as the reader takes
// them (six, three or none by kind), so whatever is written reads back as written.
// Appends printf-formatted text.
[[gnu::format(printf, 2, 3)]] void append_format(std::string& out, const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (length > 0) out.append(text, std::min<std::size_t>(length, sizeof text - 1));
}

void append_glass_line(std::string& out, const CatalogGlass& r, const GlassData& d) {
    const char* bubble = r.bubble_class[0] != '\0' ? r.bubble_class : "?";
    const char availability = r.availability > ' ' ? r.availability : '?';
    char name[kGlassNameLength + 1];
    pad_glass_name(r.name, name);
    append_format(out, "%-10s %.6f %.2f %.2f %.1f %.0f %.3f %.2f %.0f %5d %s %c", name, r.nd, r.vd,
                  r.density, r.dn_dt, r.tce, r.transmission, r.cost, r.hardness, r.chemical_class,
                  bubble, availability);
    const double* c = d.dispersion;
    if (d.dispersion_kind == kDispersionPowerSeries || d.dispersion_kind == kDispersionSellmeier) {
        append_format(out, " %d %d %.8e %.8e %.8e %.8e %.8e %.8e", d.dispersion_kind,
                      d.dispersion_count, c[0], c[1], c[2], c[3], c[4], c[5]);
    } else if (d.dispersion_kind == kDispersionConrady) {
        append_format(out, " %d %d %.8e %.8e %.8e", d.dispersion_kind, d.dispersion_count, c[0],
                      c[1], c[2]);
    } else {
        append_format(out, " %d %d", d.dispersion_kind, d.dispersion_count);
    }
    const double* t = d.thermal;
    if (d.thermal_kind == kThermalAbsolute) {
        append_format(out, " %d %d %.2e %.2e %.2e %.2e %.2e %.2e", d.thermal_kind, d.thermal_count,
                      t[0], t[1], t[2], t[3], t[4], t[5]);
    } else if (d.thermal_kind == kThermalDndT) {
        append_format(out, " %d %d %.2e", d.thermal_kind, d.thermal_count, t[0]);
    } else {
        append_format(out, " %d %d", d.thermal_kind, d.thermal_count);
    }
    const int pairs = std::clamp(d.table_count, 0, kMaxTablePairs);
    append_format(out, " %d %d", d.table_flag, pairs);
    if (d.table_flag == 1) {
        for (int i = 0; i < pairs; ++i) {
            append_format(out, " %f %f", d.table_wavelengths[i], d.table_values[i]);
        }
    }
    out += '\n';
}

// --- formulas --------------------------------------------------------------------------------

// nd and vd of a glass at the standard lines, without air correction.
void standard_nd_vd(const GlassData& glass, double& nd, double& vd) {
    double n_d = 0.0, n_f = 0.0, n_c = 0.0;
    if (!dispersion_index(glass, kLineD, n_d) || !dispersion_index(glass, kLineF, n_f) ||
        !dispersion_index(glass, kLineC, n_c)) {
        nd = 0.0;
        vd = 0.0;
        return;
    }
    nd = n_d;
    vd = std::fabs(n_f - n_c) <= kTiny ? 0.0 : (n_d - 1.0) / (n_f - n_c);
}

void fill_private_record(CatalogGlass& r, const char* name, const GlassData& d, double tce) {
    r = CatalogGlass{};
    std::memcpy(r.name, name, kGlassNameLength + 1);
    r.tce = tce;
    r.transmission = 1.0;
    std::strcpy(r.bubble_class, "?");
    r.availability = '?';
    standard_nd_vd(d, r.nd, r.vd);
}

// A + B/l + C/l^3.5 through three points; false when the wavelengths do not give a solution.
bool solve_conrady(const double (&l)[3], const double (&n)[3], double (&abc)[3]) {
    double m[3][3];
    for (int i = 0; i < 3; ++i) {
        if (!(l[i] > 0.0)) return false;
        m[i][0] = 1.0;
        m[i][1] = 1.0 / l[i];
        m[i][2] = std::sqrt(std::pow(1.0 / l[i], 7));
    }
    auto det3 = [](const double(&a)[3][3]) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
               a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    const double det = det3(m);
    if (!std::isfinite(det) || std::fabs(det) < 1e-12) return false;
    for (int c = 0; c < 3; ++c) {
        double a[3][3];
        std::memcpy(a, m, sizeof a);
        for (int r = 0; r < 3; ++r) a[r][c] = n[r];
        abc[c] = det3(a) / det;
        if (!std::isfinite(abc[c])) return false;
    }
    return true;
}

// --- arguments ---------------------------------------------------------------------------------

int int_arg(int i) {
    const ArgCell* c = arg_cell(i);
    if (c == nullptr) return 0;
    if (c->type == kArgInt) return c->value.i;
    if (c->type == kArgDouble && std::isfinite(c->value.d)) {
        return static_cast<int>(std::clamp(c->value.d, -2e9, 2e9));
    }
    return 0;
}

double double_arg(int i) {
    const ArgCell* c = arg_cell(i);
    if (c == nullptr) return 0.0;
    if (c->type == kArgDouble) return c->value.d;
    if (c->type == kArgInt) return c->value.i;
    return 0.0;
}

// A glass name argument: cut to 10 characters, blank-padded, upper-cased.
void name_arg(int i, char (&name)[kGlassNameLength + 1]) {
    const ArgCell* c = arg_cell(i);
    char text[2] = {0, 0};
    const char* source = text;
    if (c != nullptr && c->type == kArgChar) {
        if (c->text_length != 0 && c->value.text != nullptr) {
            source = c->value.text;
        } else {
            text[0] = c->value.c;
        }
    }
    pad_glass_name(source, name);
    for (int k = 0; k < kGlassNameLength; ++k) {
        name[k] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[k])));
    }
}

// --- listing -----------------------------------------------------------------------------------

std::string catalog_title(int catalog) {
    std::string title;
    if (select_param_list(kParamCatalogTitles) == 0 && catalog < value_list_count()) {
        if (const char* first = value_list_first(catalog)) title = list_entry_word(first);
    }
    if (title.empty()) {
        // Without the list the file name stands for the catalogue.
        const std::string& path = glass_catalog_file(catalog);
        const std::size_t slash = path.find_last_of('/');
        title = path.substr(slash == std::string::npos ? 0 : slash + 1);
        const std::size_t dot = title.find('.');
        if (dot != std::string::npos) title.resize(dot);
    }
    for (char& ch : title) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return title;
}

void print_title(int catalog) {
    print_msg(kMsgCatalogTitle, catalog_title(catalog).c_str(), glass_catalog(catalog).count);
    text_newline();
}

void print_formula(std::int32_t position, int catalog) {
    GlassData d{};
    if (read_glass_data(position, catalog, d) != 0) return;
    int count = 0;
    switch (d.dispersion_kind) {
        case kDispersionNone:
            print_msg(kMsgFormulaNone);
            break;
        case kDispersionPowerSeries:
            print_msg(kMsgFormulaPowerSeries);
            count = 6;
            break;
        case kDispersionSellmeier:
            print_msg(kMsgFormulaSellmeier);
            count = 6;
            break;
        case kDispersionConrady:
            print_msg(kMsgFormulaConrady);
            count = 3;
            break;
        default:
            break;
    }
    for (int i = 0; i < count; ++i) {
        text_out(" ");
        text_number(d.dispersion[i]);
    }
}

int binary_search_private(const char* name) {
    const GlassCatalog& cat = glass_catalog(kPrivateCatalog);
    int low = 0, high = cat.count - 1;
    while (low <= high) {
        const int middle = (low + high) / 2;
        const int order = std::memcmp(name, cat.glasses[middle].name, kGlassNameLength);
        if (order == 0) return middle;
        if (order < 0) {
            high = middle - 1;
        } else {
            low = middle + 1;
        }
    }
    return -(low + 1);  // where it would go
}

// Reads the formula data of every private glass; false when one cannot be read again, so that
// a rewrite never replaces a glass by an empty one.
bool read_private_data(std::vector<GlassData>& data) {
    const GlassCatalog& cat = glass_catalog(kPrivateCatalog);
    data.assign(static_cast<std::size_t>(cat.count), GlassData{});
    for (int i = 0; i < cat.count; ++i) {
        if (cat.file == nullptr || read_glass_data(cat.glasses[i].file_position, kPrivateCatalog,
                                                   data[static_cast<std::size_t>(i)]) != 0) {
            return false;
        }
    }
    return true;
}

// Closes the private file, writes the new contents and reads the catalogue again. On failure
// the old file is read again, so memory and file agree.
int rewrite_private(const std::vector<CatalogGlass>& records, const std::vector<GlassData>& data) {
    GlassCatalog& cat = glass_catalog(kPrivateCatalog);
    if (cat.file != nullptr) std::fclose(cat.file);
    cat.file = nullptr;
    std::string reason;
    const int written = write_private_catalog(records.data(), data.data(),
                                              static_cast<int>(records.size()), &reason);
    read_private_catalog();
    if (written != 0) {
        return set_error_msg(kMsgPrivateCatalogWriteFailed, private_catalog_path().c_str(),
                             reason.c_str());
    }
    return 0;
}

}  // namespace

void set_private_catalog_setup(int (*setup)(int mode)) {
    g_catalog.setup = setup;
}

void read_private_catalog() {
    GlassCatalog& cat = glass_catalog(kPrivateCatalog);
    if (read_catalog_file(kPrivateCatalog, private_catalog_path()) != 0 && cat.file == nullptr) {
        return;
    }
    bool used = false;
    GlassCache& cache = glass_cache();
    const LensWavelengths lens = current_lens_wavelengths();
    for (int i = 0; i < cat.count; ++i) {
        const int cached = find_cached_glass(cat.glasses[i].name, CachedGlass::kCatalogue);
        if (cached <= 0) continue;
        GlassData fresh{};
        if (read_glass_data(cat.glasses[i].file_position, kPrivateCatalog, fresh) != 0) continue;
        GlassData& entry = cache.entries[cached];
        entry.dispersion_kind = fresh.dispersion_kind;
        entry.dispersion_count = fresh.dispersion_count;
        std::copy(std::begin(fresh.dispersion), std::end(fresh.dispersion), entry.dispersion);
        entry.thermal_kind = fresh.thermal_kind;
        entry.thermal_count = fresh.thermal_count;
        std::copy(std::begin(fresh.thermal), std::end(fresh.thermal), entry.thermal);
        entry.tce = fresh.tce;
        entry.table_flag = fresh.table_flag;
        entry.table_count = fresh.table_count;
        std::copy(std::begin(fresh.table_wavelengths), std::end(fresh.table_wavelengths),
                  entry.table_wavelengths);
        std::copy(std::begin(fresh.table_values), std::end(fresh.table_values), entry.table_values);
        glass_indices_at_wavelengths(entry, lens, entry.index);
        for (int n = 0; n < lens_data().image_surface; ++n) {
            if (std::memcmp(surface(n).medium_name, entry.name, kGlassNameLength) == 0) used = true;
        }
    }
    // The surfaces of the lens point at the cache's index arrays, updated above in place: the
    // set-up only derives the rest again.
    if (used && g_catalog.setup != nullptr) g_catalog.setup(0);
}

int write_private_catalog(const CatalogGlass* records, const GlassData* data, int count,
                          std::string* reason) {
    const std::string& path = private_catalog_path();
    if (path.empty() || count < 0) return kWriteFailed;
    std::string text;
    append_format(text, "%s %5d Private\n", kPrivateVersion, count);
    for (int i = 0; i < count; ++i) append_glass_line(text, records[i], data[i]);
    return platform::write_file_atomically(path, text, reason) == 0 ? 0 : kWriteFailed;
}

int convert_private_catalog(const std::string& private_path) {
    const std::size_t slash = private_path.find_last_of('/');
    const std::string backup =
        private_path.substr(0, slash == std::string::npos ? 0 : slash + 1) + "private.old";
    if (std::rename(private_path.c_str(), backup.c_str()) != 0) return kConvertRenameFailed;
    auto give_back = [&](int code) {
        std::rename(backup.c_str(), private_path.c_str());
        return code;
    };
    std::FILE* f = std::fopen(backup.c_str(), "rb");
    if (f == nullptr) return give_back(kConvertUnreadable);
    std::vector<unsigned char> bytes;
    unsigned char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    const bool read_error = std::ferror(f) != 0;
    std::fclose(f);
    if (read_error || bytes.size() < kOldDataStart) return give_back(kConvertUnreadable);

    auto le16 = [&](std::size_t at) { return bytes[at] | (bytes[at + 1] << 8); };
    const int count = le16(kOldCountOffset);
    if (count > kCatalogRoom) return give_back(kConvertUnreadable);
    std::vector<CatalogGlass> records(static_cast<std::size_t>(count));
    std::vector<GlassData> data(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::size_t entry = kOldHeaderSize + static_cast<std::size_t>(i) * kOldEntrySize;
        const std::size_t block = static_cast<std::size_t>(le16(entry + kOldBlockNumberOffset));
        const std::size_t start = kOldDataStart + block * kOldBlockSize;
        if (start + kOldBlockSize > bytes.size()) return give_back(kConvertUnreadable);
        double c[6];
        for (int k = 0; k < 6; ++k) {
            std::uint64_t word = 0;
            for (int b = 7; b >= 0; --b) word = word << 8 | bytes[start + 8 * k + b];
            c[k] = std::bit_cast<double>(word);
            if (!std::isfinite(c[k])) return give_back(kConvertUnreadable);
        }
        char name[kGlassNameLength + 1];
        for (int k = 0; k < kGlassNameLength; ++k) {
            const unsigned char ch = bytes[entry + k];
            name[k] = ch > ' ' && ch < 0x7f ? static_cast<char>(ch) : ' ';
        }
        name[kGlassNameLength] = '\0';
        GlassData& d = data[static_cast<std::size_t>(i)];
        std::memcpy(d.name, name, sizeof name);
        if (c[3] == 0.0) {
            d.dispersion_kind = kDispersionConrady;
            d.dispersion_count = 3;
        } else {
            d.dispersion_kind = kDispersionPowerSeries;
            d.dispersion_count = 6;
        }
        std::copy(c, c + 6, d.dispersion);
        fill_private_record(records[static_cast<std::size_t>(i)], name, d, 0.0);
    }
    // The text catalogue is searched by halving: it must be in name order.
    std::vector<int> order(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) order[static_cast<std::size_t>(i)] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return std::memcmp(records[a].name, records[b].name, kGlassNameLength) < 0;
    });
    std::vector<CatalogGlass> sorted_records;
    std::vector<GlassData> sorted_data;
    for (int i : order) {
        sorted_records.push_back(records[static_cast<std::size_t>(i)]);
        sorted_data.push_back(data[static_cast<std::size_t>(i)]);
    }
    const int written = write_private_catalog(sorted_records.data(), sorted_data.data(), count);
    if (written != 0) return give_back(written);
    return 0;
}

int cmd_glass_catalog() {
    const int function = int_arg(0);
    if (function == 0 || function == 1) {
        const int catalog = int_arg(1);
        if (catalog < 0 || catalog >= kGlassCatalogCount) return kMsgGlassNotDescribed;
        const GlassCatalog& cat = glass_catalog(catalog);
        print_title(catalog);
        if (function == 0) {
            for (int i = 0; i < cat.count; ++i) {
                text_printf("%s ", cat.glasses[i].name);
                if ((i + 1) % kNamesPerLine == 0 || i + 1 == cat.count) text_newline();
            }
            return 0;
        }
        const int first = std::max(int_arg(2), 1);
        const int given_last = int_arg(3);
        const int last = given_last >= first && given_last <= cat.count ? given_last : cat.count;
        for (int i = first; i <= last; ++i) {
            text_printf("%3d %s", i, cat.glasses[i - 1].name);
            print_formula(cat.glasses[i - 1].file_position, catalog);
            text_newline();
        }
        return 0;
    }
    if (function == 2) {
        char name[kGlassNameLength + 1];
        name_arg(4, name);
        int catalog = 0;
        const std::int32_t position = find_glass(name, catalog, name);
        if (position < 0) return set_error_msg(kMsgGlassNotFound, shown_glass_name(name).c_str());
        print_title(catalog);
        text_printf(" %s", name);
        print_formula(position, catalog);
        text_newline();
    }
    return 0;
}

int cmd_show_glass_catalog() {
    set_current_command(kCmdGlassCatalog);
    return cmd_glass_catalog();
}

int cmd_private_glass() {
    const int action = int_arg(0);
    if (action != 0 && action != 1) return 0;
    char name[kGlassNameLength + 1];
    name_arg(2, name);
    GlassCatalog& cat = glass_catalog(kPrivateCatalog);
    if (cat.refused) {
        return set_error_msg(kMsgPrivateCatalogRefused, private_catalog_path().c_str());
    }
    const int found = binary_search_private(name);
    std::vector<CatalogGlass> records(cat.glasses, cat.glasses + cat.count);
    std::vector<GlassData> data;

    if (action == 1) {
        if (found < 0) return set_error_msg(kMsgGlassNotFound, shown_glass_name(name).c_str());
        for (int n = 0; n <= lens_data().image_surface; ++n) {
            if (std::memcmp(surface(n).medium_name, name, kGlassNameLength) == 0) {
                return set_error_msg(kMsgPrivateGlassInUse, shown_glass_name(name).c_str());
            }
        }
        if (!read_private_data(data)) {
            return set_error_msg(kMsgCatalogUnreadable, private_catalog_path().c_str());
        }
        records.erase(records.begin() + found);
        data.erase(data.begin() + found);
        print_msg(kMsgPrivateGlassDeleted, shown_glass_name(name).c_str());
        text_newline();
        return rewrite_private(records, data);
    }

    if (name[0] == ' ') return set_error_msg(kMsgPrivateGlassNoName, name);
    if (found < 0 && cat.count >= kCatalogRoom) {
        return set_error_msg(kMsgPrivateCatalogFull, shown_glass_name(name).c_str());
    }
    if (!read_private_data(data)) {
        return set_error_msg(kMsgCatalogUnreadable, private_catalog_path().c_str());
    }
    GlassData glass{};
    std::memcpy(glass.name, name, sizeof name);
    const double tce = double_arg(9);
    glass.tce = tce;
    double a[6];
    for (int i = 0; i < 6; ++i) a[i] = double_arg(3 + i);
    switch (int_arg(1)) {
        case 0:
            glass.dispersion_kind = kDispersionPowerSeries;
            glass.dispersion_count = 6;
            std::copy(a, a + 6, glass.dispersion);
            break;
        case 2:
            glass.dispersion_kind = kDispersionSellmeier;
            glass.dispersion_count = 6;
            std::copy(a, a + 6, glass.dispersion);
            break;
        case 1: {
            const LensData& l = lens_data();
            const double standard[3] = {kLineD, kLineF, kLineC};
            double lambda[3], n[3], abc[3];
            for (int i = 0; i < 3; ++i) {
                n[i] = a[i] < 1.0 ? 1.0 : a[i];
                lambda[i] = a[3 + i];
                if (lambda[i] <= 0.0) {
                    lambda[i] = l.wavelength_count > i && l.wavelengths != nullptr
                                    ? l.wavelengths[i].wavelength
                                    : standard[i];
                }
            }
            if (!solve_conrady(lambda, n, abc)) {
                return set_error_msg(kMsgGlassWavelengthsEqual, shown_glass_name(name).c_str());
            }
            glass.dispersion_kind = kDispersionConrady;
            glass.dispersion_count = 3;
            std::copy(abc, abc + 3, glass.dispersion);
            break;
        }
        default:
            return 0;
    }
    bool thermal = false;
    for (int i = 0; i < 6; ++i) {
        glass.thermal[i] = double_arg(10 + i);
        if (glass.thermal[i] != 0.0) thermal = true;
    }
    glass.thermal_kind = thermal ? kThermalAbsolute : kThermalNone;
    glass.thermal_count = thermal ? 6 : 0;
    if (!thermal) std::fill(std::begin(glass.thermal), std::end(glass.thermal), 0.0);

    CatalogGlass record;
    fill_private_record(record, name, glass, tce);
    if (found >= 0) {
        records[static_cast<std::size_t>(found)] = record;
        data[static_cast<std::size_t>(found)] = glass;
    } else {
        const int at = -found - 1;
        records.insert(records.begin() + at, record);
        data.insert(data.begin() + at, glass);
    }
    if (const int rc = rewrite_private(records, data); rc != 0) return rc;
    print_msg(kMsgPrivateGlassAdded, shown_glass_name(name).c_str());
    text_newline();
    return 0;
}

int cmd_edit_private_catalog() {
    const int count = arg_count();
    ArgCell cells[kScratchCellCount];
    ArgCell* pointers[kScratchCellCount];
    const int used = std::min(count, kScratchCellCount);
    for (int i = 0; i < used; ++i) {
        cells[i] = *arg_cell(i);
        pointers[i] = &cells[i];
    }
    if (used < 3) return 0;
    std::swap(cells[1], cells[2]);
    char name[kGlassNameLength + 1] = {};
    if (cells[2].type == kArgChar && cells[2].text_length != 0 && cells[2].value.text != nullptr) {
        std::strncpy(name, cells[2].value.text, kGlassNameLength);
    } else if (cells[2].type == kArgChar) {
        name[0] = cells[2].value.c;
    }
    cells[2].value.text = name;
    cells[2].text_length = kGlassNameLength + 1;
    cells[2].type = kArgChar;
    int passed = used;
    if (int_arg(0) == 1) {
        passed = 3;
        cells[1].status = kArgDefaultForced;
        cells[2].status = kArgGiven;
    }
    ArgCell** saved_vector = arg_vector();
    const int saved_count = arg_count();
    const int saved_command = current_command();
    set_arg_vector(pointers, passed);
    set_current_command(kCmdPrivateGlass);
    // The history holds the edit as it would be typed, not the form's own command.
    record_command_text();
    const int rc = cmd_private_glass();
    set_arg_vector(saved_vector, saved_count);
    set_current_command(saved_command);
    return rc;
}

void install_glass_catalog_handlers() {
    set_handler(kSlotGlassCatalog, cmd_glass_catalog);
    set_handler(kSlotShowGlassCatalog, cmd_show_glass_catalog);
    set_handler(kSlotPrivateGlass, cmd_private_glass);
    set_handler(kSlotEditPrivateCatalog, cmd_edit_private_catalog);
}
