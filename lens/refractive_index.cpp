#include "lens/refractive_index.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "lens/glass_cache.h"
#include "numeric/interpolation.h"
#include "numeric/math_functions.h"
#include "numeric/memory.h"
#include "runtime/messages.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kSameWavelength = 1e-10;
constexpr double kValidModelWavelength = 0.144;  // lens wavelengths below this defeat the model
constexpr double kSmallestIndex = 1e-20;
constexpr int kTableDigits = 3;

// Reference glasses of the normal line (B1, B2, B3, C1, C2, C3 of a Sellmeier formula).
constexpr double kNormalLineGlasses[5][6] = {
    {1.1273555, 0.124412303, 0.827100531, 0.00720341707, 0.0269835916, 100.384588},
    {1.34533359, 0.209073176, 0.937357162, 0.00997743871, 0.0470450767, 111.886764},
    {0.844309338, 0.344147824, 0.910790213, 0.00475111955, 0.0149814849, 97.8600293},
    {1.73848403, 0.311168974, 1.17490871, 0.0136068604, 0.0615960463, 121.922711},
    {1.34317774, 0.241144399, 0.994317969, 0.00704687339, 0.0229005, 92.7508526},
};

// The constants the program starts with, for the d, F and C lines.
constexpr NormalLineConstants kStartConstants = {
    {kLineD, kLineF, kLineC},
    {0.724006757580147, -0.000478971605446, 1.48749006855839, 0.006924105143404, 0.079208499674583,
     0.025283911063413}};

// The normal-line constants of the model glasses for the wavelengths they were last computed
// for, the catalogue wavelengths, and the model glass's work array.
struct RefractiveIndexState {
    NormalLineConstants constants = kStartConstants;
    double catalog_wavelengths[3] = {kLineD, kLineF, kLineC};
    // Work array of the model-glass computation, kept between calls.
    std::vector<double> work;
};

RefractiveIndexState g_index;

bool usable(double n) {
    return std::isfinite(n) && n > 0.0;
}

double sellmeier_index(const double (&c)[6], double wavelength) {
    double l2 = wavelength * wavelength;
    double n2 = 1.0 + c[0] * l2 / (l2 - c[3]) + c[1] * l2 / (l2 - c[4]) + c[2] * l2 / (l2 - c[5]);
    return n2 > 0.0 ? std::sqrt(n2) : std::nan("");
}

// The air of the lens: index relative to air at 20 degrees and 1 atmosphere turned into the
// index relative to air at temperature and pressure, with the glass's temperature formula.
double correct_for_air(double n, double wavelength, const GlassData& glass, double temperature,
                       double pressure) {
    double dt = temperature - kReferenceTemperature;
    double l2 = wavelength * wavelength;
    double air15;
    if (l2 >= kTiny) {
        double s = 1.0 / l2;
        air15 = 1.0 + 1e-8 * (6432.8 + 2949810.0 / (146.0 - s) + 25540.0 / (41.0 - s));
    } else {
        air15 = 1.000064328;
    }
    double air20 = 1.0 + 0.9828847124 * (air15 - 1.0);
    double air_tp = 1.0 + (air15 - 1.0) * pressure *
                              (1.0 + pressure * (0.00079724 - 1.1932e-5 * temperature)) *
                              1.05426262 / (1.0 + 0.003661 * temperature);
    const double* t = glass.thermal;
    if (glass.thermal_kind == kThermalAbsolute) {
        double n_abs = n * air20;
        double change = t[0] * dt + t[1] * dt * dt + t[2] * dt * dt * dt +
                        (t[3] * dt + t[4] * dt * dt) / (l2 - t[5] * t[5]);
        n_abs += (n_abs * n_abs - 1.0) / (2.0 * n_abs) * change;
        return n_abs / air_tp;
    }
    if (glass.thermal_kind == kThermalDndT) {
        n += dt * t[0] * 1e-6;
        if (pressure != kReferencePressure) n = n * air20 / air_tp;
        return n;
    }
    if (pressure != kReferencePressure) n = n * air20 / air_tp;
    return n;
}

}  // namespace

bool dispersion_index(const GlassData& glass, double wavelength, double& n) {
    const double* c = glass.dispersion;
    double value;
    switch (glass.dispersion_kind) {
        case kDispersionNone:
            n = 1.0;
            return true;
        case kDispersionPowerSeries: {
            if (wavelength == 0.0) return false;
            double x = 1.0 / (wavelength * wavelength);
            double n2 = (((((c[5] * x + c[4]) * x + c[3]) * x + c[2]) * x + c[0]) * x + c[1]) / x;
            if (!std::isfinite(n2)) return false;
            // A series that falls below 1 is taken as no glass at all rather than as a guess.
            value = n2 >= 1.0 ? std::sqrt(n2) : 1.0;
            break;
        }
        case kDispersionSellmeier: {
            double l2 = wavelength * wavelength;
            double n2 =
                1.0 + c[0] * l2 / (l2 - c[3]) + c[1] * l2 / (l2 - c[4]) + c[2] * l2 / (l2 - c[5]);
            if (!(n2 > 0.0) || !std::isfinite(n2)) return false;
            value = std::sqrt(n2);
            break;
        }
        case kDispersionConrady: {
            if (!(wavelength > 0.0)) return false;
            double inverse = 1.0 / wavelength;
            value = c[0] + c[1] * inverse + c[2] * std::sqrt(std::pow(inverse, 7));
            break;
        }
        default:
            return false;
    }
    if (!usable(value)) return false;
    n = value;
    return true;
}

int glass_indices_at_wavelengths(const GlassData& glass, const LensWavelengths& lens, double* out) {
    const int count = lens.count;
    if (count <= 0) return 0;
    const bool corrected =
        lens.temperature != kReferenceTemperature || lens.pressure != kReferencePressure;
    int result = 0;
    std::vector<char> no_index(static_cast<std::size_t>(count), 0);
    if (glass.dispersion_kind == kDispersionModelGlass) {
        if (static_cast<int>(g_index.work.size()) < count)
            g_index.work.resize(static_cast<std::size_t>(count));
        if (model_glass_at_wavelengths(glass, lens.wavelengths, count, g_index.work.data()) != 0) {
            return 0;
        }
        for (int i = 0; i < count; ++i) out[i] = g_index.work[static_cast<std::size_t>(i)];
    } else if (glass.dispersion_kind >= kDispersionNone &&
               glass.dispersion_kind <= kDispersionConrady) {
        for (int i = 0; i < count; ++i) {
            double n;
            if (dispersion_index(glass, lens.wavelengths[i], n)) {
                out[i] = n;
            } else {
                out[i] = 1.0;
                no_index[static_cast<std::size_t>(i)] = 1;
                result = kMsgNoRealIndex;
            }
        }
    } else {
        // Kind 4 and unknown kinds compute nothing; correcting what the array already holds
        // would apply the air correction again on every call.
        return 0;
    }
    if (!corrected) return result;
    for (int i = 0; i < count; ++i) {
        if (no_index[static_cast<std::size_t>(i)]) continue;
        double n =
            correct_for_air(out[i], lens.wavelengths[i], glass, lens.temperature, lens.pressure);
        if (usable(n)) {
            out[i] = n;
        } else {
            out[i] = 1.0;
            result = kMsgNoRealIndex;
        }
    }
    return result;
}

const NormalLineConstants& normal_line_constants(const double* wavelengths, int count) {
    if (count < 3) return g_index.constants;
    const double l1 = wavelengths[0], l2 = wavelengths[1], l3 = wavelengths[2];
    if (l1 == g_index.constants.wavelengths[0] && l2 == g_index.constants.wavelengths[1] &&
        l3 == g_index.constants.wavelengths[2]) {
        return g_index.constants;
    }
    // The constants of the standard lines are given, not derived, so a lens that comes back to
    // them gets them again whatever wavelengths it had in between.
    if (l1 == kStartConstants.wavelengths[0] && l2 == kStartConstants.wavelengths[1] &&
        l3 == kStartConstants.wavelengths[2]) {
        g_index.constants = kStartConstants;
        return g_index.constants;
    }
    double n[5][3];
    for (int g = 0; g < 5; ++g) {
        for (int w = 0; w < 3; ++w) {
            n[g][w] = sellmeier_index(kNormalLineGlasses[g], wavelengths[w]);
        }
    }
    NormalLineConstants next = g_index.constants;
    if (l2 != l3) {
        auto v = [&](int g) { return (n[g][0] - 1.0) / (n[g][1] - n[g][2]); };
        auto p = [&](int g) { return (n[g][1] - n[g][0]) / (n[g][1] - n[g][2]); };
        next.k[1] = (p(0) - p(1)) / (v(0) - v(1));
        next.k[0] = p(0) - next.k[1] * v(0);
    }
    next.k[2] = n[2][0];
    next.k[3] = n[2][1] - n[2][2];
    next.k[4] = ((n[3][1] - n[3][2]) - next.k[3]) / (n[3][0] - next.k[2]);
    next.k[5] = ((n[4][1] - n[4][2]) - next.k[3]) / (n[4][0] - next.k[2]);
    for (double k : next.k) {
        if (!std::isfinite(k)) return g_index.constants;
    }
    next.wavelengths[0] = l1;
    next.wavelengths[1] = l2;
    next.wavelengths[2] = l3;
    g_index.constants = next;
    return g_index.constants;
}

void derive_model_glass_indices(GlassData& glass, const double* wavelengths, int count) {
    if (glass.model_indices == nullptr || glass.model_wavelengths == nullptr) return;
    const double* k = normal_line_constants(wavelengths, count).k;
    double* values = glass.model_indices;
    const bool has_second = glass.model_wavelengths[1] > 0.0;
    const bool has_third = has_second && glass.model_wavelengths[2] > 0.0;
    if (has_second && !has_third && glass.dispersion[0] != 0.0) {
        // With two values nothing marks the second as derived already, and derived again it
        // would be read as a place between the normal lines: each set-up starts from the index
        // and Abbe number as given, which the entry keeps.
        values[0] = glass.dispersion[0];
        values[1] = glass.dispersion[1];
    } else if (values[2] != 0.0) {
        return;
    }
    const double n = values[0];
    const double abbe = values[1];
    // Above 2 the second value is an Abbe number; up to 2 it places the glass between the
    // normal lines through glasses E (0) and D (1).
    double dispersion = abbe > 2.0 ? (n - 1.0) / abbe
                                   : (std::fabs(n) - k[2]) * ((k[4] - k[5]) * abbe + k[5]) + k[3];
    if (glass.model_wavelengths[1] > 0.0) values[1] = n + (n - 1.0) * k[1] + k[0] * dispersion;
    if (glass.model_wavelengths[2] > 0.0) values[2] = values[1] - dispersion;
}

int model_glass_at_wavelengths(const GlassData& glass, const double* wavelengths, int count,
                               double* out) {
    if (glass.name[0] == ' ') return 0;
    if (glass.model_wavelengths == nullptr || glass.model_indices == nullptr) {
        return kMsgModelGlassFailed;
    }
    const int capacity = std::max(glass_cache().max_wavelengths, count);
    const double* defining = glass.model_wavelengths;
    const double* values = glass.model_indices;

    bool valid = true;
    for (int i = 0; i < count; ++i) {
        if (wavelengths[i] < kValidModelWavelength) valid = false;
    }
    double ref = count > 0 ? wavelengths[0] : 0.0;
    double scale = 1.0;
    if (count >= 2) {
        double lo = *std::min_element(wavelengths, wavelengths + count);
        double hi = *std::max_element(wavelengths, wavelengths + count);
        bool equal_pair = false;
        for (int i = 0; i < count && !equal_pair; ++i) {
            for (int j = i + 1; j < count; ++j) {
                if (std::fabs(wavelengths[i] - wavelengths[j]) < kSameWavelength) {
                    equal_pair = true;
                    break;
                }
            }
        }
        if (!equal_pair && hi - lo >= kSameWavelength) {
            double a = 1.0 / (lo - kModelGlassCutoff);
            double b = 1.0 / (hi - kModelGlassCutoff);
            ref = (lo * a + hi * b) / (a + b);
            scale = (hi - ref) / (hi - kModelGlassCutoff);
        }
    }
    auto u = [&](double w) { return (w - ref) / ((w - kModelGlassCutoff) * scale); };

    std::vector<double> xs, ys;
    if (valid && ref > 0.0) {
        int end = 0;
        while (end < capacity && defining[end] > kModelGlassCutoff) ++end;
        for (int j = 0; j < end; ++j) {
            bool later_twin = false;
            for (int k = j + 1; k < end; ++k) {
                if (std::fabs(defining[k] - defining[j]) <= kTiny) later_twin = true;
            }
            if (later_twin) continue;
            xs.push_back(u(defining[j]));
            ys.push_back(values[j]);
        }
        if (xs.size() == 1) {
            xs.push_back(xs[0] + 0.1);
            ys.push_back(ys[0]);
        }
    }
    std::vector<double> result(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        double n;
        if (ref >= 0.0 && valid) {
            if (poly_interpolate(xs.data(), ys.data(), static_cast<int>(xs.size()),
                                 u(wavelengths[i]), &n) != 0 ||
                !(n >= kSmallestIndex) || !std::isfinite(n)) {
                return kMsgModelGlassFailed;
            }
        } else {
            n = values[i] < kSmallestIndex ? values[0] : values[i];
        }
        result[static_cast<std::size_t>(i)] = n;
    }
    std::copy(result.begin(), result.end(), out);
    return 0;
}

int model_glass_indices(int cache_index, const LensWavelengths& lens) {
    GlassCache& cache = glass_cache();
    if (cache_index < 0 || cache_index >= cache.count) return ~cache_index;
    GlassData& entry = cache.entries[cache_index];
    const int count = std::min(lens.count, cache.max_wavelengths);
    double* work = alloc_array_of<double>(static_cast<std::size_t>(std::max(count, 1)));
    if (work == nullptr) return kMsgOutOfMemory;
    int result = ~cache_index;
    if (model_glass_at_wavelengths(entry, lens.wavelengths, count, work) == 0) {
        if (lens.temperature != kReferenceTemperature || lens.pressure != kReferencePressure) {
            for (int i = 0; i < count; ++i) {
                double n = correct_for_air(work[i], lens.wavelengths[i], entry, lens.temperature,
                                           lens.pressure);
                if (usable(n)) work[i] = n;
            }
        }
        std::copy(work, work + count, entry.index);
        result = cache_index;
    }
    mem_free(work);
    return result;
}

int interpolate_glass_table(GlassData& glass, const double* wavelengths, int count,
                            int max_wavelengths) {
    if (glass.table_flag != 1) return 0;
    if (glass.table_at_wavelengths == nullptr) {
        glass.table_at_wavelengths =
            alloc_array_of<double>(static_cast<std::size_t>(std::max(max_wavelengths, 1)));
        if (glass.table_at_wavelengths == nullptr) return kMsgOutOfMemory;
    }
    const int pairs = std::clamp(glass.table_count, 0, kMaxTablePairs);
    if (pairs == 0) return 0;
    const double* tw = glass.table_wavelengths;
    const double* tv = glass.table_values;
    count = std::min(count, max_wavelengths);
    for (int i = 0; i < count; ++i) {
        double w = wavelengths[i];
        double value;
        if (w <= tw[0]) {
            value = tv[0];
        } else if (w >= tw[pairs - 1]) {
            value = tv[pairs - 1];
        } else {
            int j = 0;
            while (j + 1 < pairs - 1 && w >= tw[j + 1]) ++j;
            // Three points around the interval [j, j+1]: one more to the left where there is one.
            int start = j >= 1 ? j - 1 : j;
            if (start + 2 > pairs - 1) start = pairs - 3;
            if (pairs < 3 || start < 0 ||
                poly_interpolate(tw + start, tv + start, 3, w, &value) != 0) {
                double span = tw[j + 1] - tw[j];
                value = span != 0.0 ? tv[j] + (tv[j + 1] - tv[j]) * (w - tw[j]) / span : tv[j];
            }
            value = round_significant(value, kTableDigits);
        }
        glass.table_at_wavelengths[i] = value;
    }
    return 0;
}

int recompute_catalog_dispersion(const LensWavelengths& lens) {
    const int used = std::clamp(lens.count, 0, 3);
    LensWavelengths three = lens;
    three.count = used;
    for (int c = 0; c < kGlassCatalogCount; ++c) {
        GlassCatalog& catalog = glass_catalog(c);
        for (int g = 0; g < catalog.count; ++g) {
            CatalogGlass& record = catalog.glasses[g];
            GlassData data{};
            double n[3] = {0.0, 0.0, 0.0};
            if (used == 0 || read_glass_data(record.file_position, c, data) != 0 ||
                glass_indices_at_wavelengths(data, three, n) != 0) {
                record.nd = 0.0;
                record.vd = 0.0;
                continue;
            }
            record.nd = n[0];
            double spread = n[1] - n[2];
            record.vd = used >= 3 && std::fabs(spread) >= kTiny ? (n[0] - 1.0) / spread : 0.0;
        }
    }
    for (int i = 0; i < used; ++i) g_index.catalog_wavelengths[i] = lens.wavelengths[i];
    return 0;
}

const double* catalog_wavelengths() {
    return g_index.catalog_wavelengths;
}

int glass_nd_vd(int glass, int catalog, double* nd, double* vd) {
    if (catalog < 0 || catalog >= kGlassCatalogCount) return kMsgGlassNotDescribed;
    const GlassCatalog& cat = glass_catalog(catalog);
    if (glass < 0 || glass >= cat.count) return kMsgGlassNotDescribed;
    if (nd != nullptr) *nd = cat.glasses[glass].nd;
    if (vd != nullptr) *vd = cat.glasses[glass].vd;
    return 0;
}

int glass_description(int glass, int catalog, int wavelength_count, std::string& line) {
    if (catalog < 0 || catalog >= kGlassCatalogCount) return kMsgGlassNotDescribed;
    const GlassCatalog& cat = glass_catalog(catalog);
    if (glass < 0 || glass >= cat.count) return kMsgGlassNotDescribed;
    const CatalogGlass& g = cat.glasses[glass];
    char name[kGlassNameLength + 1];
    std::memcpy(name, g.name, sizeof name);
    if (char* blank = std::strchr(name, ' ')) *blank = '\0';

    char part[128];
    line.clear();
    auto add = [&](int written) {
        if (written > 0) line.append(part, std::min<std::size_t>(written, sizeof part - 1));
    };
    if (wavelength_count >= 3) {
        add(std::snprintf(part, sizeof part, "%s; n=%.6f; V=%.2f;", name, g.nd, g.vd));
    } else {
        add(std::snprintf(part, sizeof part, "%s; n=%.6f;", name, g.nd));
    }
    auto field = [&](const char* format, double value, const char* empty) {
        if (value == 0.0) {
            line += empty;
        } else {
            add(std::snprintf(part, sizeof part, format, value));
        }
    };
    field(" dens=%.2f;", g.density, " dens= - ;");
    field(" hard=%.0f;", g.hardness, " hard= - ;");
    if (g.chemical_class == 0) {
        line += " chem= - ;\n";
    } else {
        add(std::snprintf(part, sizeof part, " chem=%d;\n", g.chemical_class));
    }
    field(" dndT=%.1f;", g.dn_dt, " dndT= - ;");
    field(" TCE=%.0f;", g.tce, " TCE= - ;");
    if (g.bubble_class[0] == '\0') {
        line += " bub= - ;";
    } else {
        add(std::snprintf(part, sizeof part, " bub=%s;", g.bubble_class));
    }
    field(" trans=%.3f;", g.transmission, " trans= - ;");
    field(" cost=%.2f;", g.cost, " cost= * ;");
    if (g.availability == '\0') {
        line += " avail= -";
    } else {
        add(std::snprintf(part, sizeof part, " avail=%c", g.availability));
    }
    return 0;
}
