#include "evaluation/geometric_energy.h"

#include <algorithm>
#include <cmath>

#include "evaluation/spot_commands.h"
#include "evaluation/spot_ray_listing.h"
#include "evaluation/spot_rays.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "lens/lens_echo.h"
#include "numeric/memory.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"

namespace {

constexpr double kTiny = 1e-40;

bool given(int i) {
    const ArgCell* c = arg_cell(i);
    return c != nullptr && c->status == kArgGiven;
}

double ray_weight(std::int32_t number) {
    const SpotRay& r = spot_store().rays[number - 1];
    return r.amplitude * r.amplitude;
}

}  // namespace

void sort_keys_with_index(int n, double* keys, double* energies, bool with_energies) {
    std::int32_t* index = spot_store().sort_index;
    if (n >= 2) {
        int l = n / 2 + 1;
        int r = n;
        for (;;) {
            double key;
            std::int32_t item;
            if (l > 1) {
                --l;
                key = keys[l];
                item = index[l];
            } else {
                key = keys[r];
                item = index[r];
                keys[r] = keys[1];
                index[r] = index[1];
                if (--r == 1) {
                    keys[1] = key;
                    index[1] = item;
                    break;
                }
            }
            int i = l;
            int j = l + l;
            while (j <= r) {
                if (j < r && keys[j] < keys[j + 1]) ++j;
                if (key < keys[j]) {
                    keys[i] = keys[j];
                    index[i] = index[j];
                    i = j;
                    j += j;
                } else {
                    break;
                }
            }
            keys[i] = key;
            index[i] = item;
        }
    }
    if (with_energies && n >= 1) {
        energies[1] = ray_weight(index[1]);
        for (int k = 2; k <= n; ++k) energies[k] = energies[k - 1] + ray_weight(index[k]);
    }
}

void energy_radii_at_levels(bool print, const double* keys, const double* energies, double* out,
                            int n, bool radial) {
    if (n < 1) return;
    const std::int32_t count = spot_store().ray_count;
    const double total = spot_stats().weight;
    double f = 0.0;
    std::int32_t j = 1;
    for (int k = 1; k <= n; ++k) {
        f += 1.0 / n;
        const double target = total * f;
        double r_lo, e_lo, r_hi, e_hi;
        for (;;) {
            std::int32_t i = 1;
            if (j > 1) {
                i = j;
                while (i != 1 && i != count && keys[i] - keys[i - 1] <= kTiny) --i;
            }
            r_lo = (keys[i - 1] + keys[i]) / 2.0;
            e_lo = energies[i - 1];
            std::int32_t u = std::max<std::int32_t>(j, 1);
            while (u < count && keys[u + 1] - keys[u] <= kTiny) ++u;
            r_hi = (keys[u] + keys[u + 1]) / 2.0;
            e_hi = energies[std::min(u, count)];
            // The last interval serves a target beyond the last ray.
            if (e_hi - target >= -1e-6 || j >= count) break;
            ++j;
        }
        double r = std::fabs(e_lo - e_hi) >= kTiny
                       ? r_lo + (r_hi - r_lo) * (target - e_lo) / (e_hi - e_lo)
                       : r_lo;
        if (!radial) r *= 2.0;
        if (print) {
            print_number_cell(f);
            print_number_cell_eol(r);
        } else {
            out[k - 1] = r;
        }
    }
}

int encircled_energy_curve(bool print, int n, bool radial, double z, double* first_out,
                           double* radii_out, double* energies_out) {
    SpotStore& st = spot_store();
    const std::int32_t count = st.ray_count;
    const auto size = static_cast<std::size_t>(count) + 2;
    double* keys = alloc_array_of<double>(size);
    double* energies = alloc_array_of<double>(size);
    if (keys == nullptr || energies == nullptr) {
        mem_free(keys);
        mem_free(energies);
        return -10;
    }
    st.sort_index[0] = 0;
    if (first_out != nullptr) first_out[0] = 0.0;
    for (std::int32_t i = 0; i < count; ++i) {
        double a = 0.0, b = 0.0;
        ray_offset_from_reference(0, i, a, b, z);
        keys[i + 1] = radial ? std::sqrt(a * a + b * b) : std::max(std::fabs(a), std::fabs(b));
        st.sort_index[i + 1] = i + 1;
    }
    sort_keys_with_index(count, keys, energies, true);
    keys[0] = 0.0;
    energies[0] = 0.0;
    keys[count + 1] = keys[count];
    energies[count + 1] = energies[count];
    energy_radii_at_levels(print, keys, energies, first_out != nullptr ? first_out + 1 : nullptr, n,
                           radial);
    if (!print) {
        for (std::int32_t i = 0; i <= count + 1; ++i) {
            if (radii_out != nullptr) radii_out[i] = radial ? keys[i] : 2.0 * keys[i];
            if (energies_out != nullptr) energies_out[i] = energies[i];
        }
    }
    mem_free(keys);
    mem_free(energies);
    return 0;
}

int cmd_encircled_energy() {
    if (test_state_flag(kFlagSpotDiagramCurrent) == 0) {
        const int r = ensure_spot_diagram();
        if (r != 0) return r;
    }
    const bool radial = current_command() == kCmdEncircledEnergy;
    const double step = arg_double(0);
    const double focus = arg_double(1);
    int n = 10;
    if (given(0) && step > kTiny) {
        // Formed in double: a tiny step must not overflow the line count.
        const double lines = std::floor(1.0 / step + 0.5);
        if (lines > kMaxEnergyLines) return set_error_msg(kMsgEnergyTooManyLines, kMaxEnergyLines);
        n = static_cast<int>(lines);
    }
    print_msg(radial ? -2061 : -2187);
    text_newline();
    warn_multiple_configurations();
    print_msg(radial ? -2062 : -2188);
    text_newline();
    if (encircled_energy_curve(true, n, radial, focus, nullptr, nullptr, nullptr) != 0) {
        return set_error_msg(-10);
    }
    print_focus_shift(focus);
    return 0;
}
