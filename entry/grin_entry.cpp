#include "entry/grin_entry.h"

#include <cctype>
#include <cmath>
#include <string>

#include "entry/entry_frame.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/lens_reset.h"
#include "numeric/memory.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

constexpr int kWrongArguments = 1;
constexpr double kTiny = 1e-40;
constexpr int kDefaultUserCount = 10;
constexpr int kGeneralSeriesCount = 28;

const char* const kKindWords[kGrinKindCount] = {"ARG", "WOD", "AEG", "SPH", "MXF", "LBG",
                                                "USR", "SNS", "TAP", "SEL", "GRD", "UGR"};

int prompted_int(int param, int fallback) {
    ArgCell cell{};
    if (prompt_param(param, &cell) != 0) return fallback;
    if (cell.type == kArgDouble) return static_cast<int>(cell.value.d);
    return cell.value.i;
}

// Whether the record's kind uses the coefficient of command.
bool kind_takes(int command, int kind) {
    if (command >= kCmdGrinAxial1 && command < kCmdGrinRadial1) {
        return kind == 1 || kind == 3 || kind == 8 || kind == 9;
    }
    if (command == kCmdGrinRadial1) return kind != 7 && kind != kGrinGeneralSeries;
    if (command > kCmdGrinRadial1 && command <= kCmdGrinRadial4) {
        return kind == 1 || kind == 3 || kind == 4 || kind == 8 || kind == 9 || kind == 10;
    }
    if (command >= kCmdGrinSeriesA && command <= kCmdGrinGoz) return kind == kGrinGeneralSeries;
    return true;
}

// "WV<n>": the wavelength number n (1-based), or -1.
int wavelength_word(int k) {
    const std::string text = entry_text(k);
    if (text.size() < 3 || std::toupper(static_cast<unsigned char>(text[0])) != 'W' ||
        std::toupper(static_cast<unsigned char>(text[1])) != 'V') {
        return -1;
    }
    int n = 0;
    for (std::size_t i = 2; i < text.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(text[i])) == 0 || n > 100000) return -1;
        n = n * 10 + (text[i] - '0');
    }
    return n;
}

bool is_number(int k) {
    const ArgCell* c = arg_cell(k);
    return c != nullptr && (c->type == kArgDouble || c->type == kArgInt);
}

int store(int command, int n) {
    GrinRecord& g = *surface(n).grin;
    if (command == kCmdGrinStep) {
        if (!is_number(0)) return kWrongArguments;
        g.step = std::fabs(arg_double(0));
        print_message_and_number("%s ", command, g.step);
        return 0;
    }
    if (command == kCmdGrinDelete) {
        free_surface_grin(n);
        print_symbol_name("%s\n", command);
        return 0;
    }
    if (!kind_takes(command, g.kind)) return set_error_msg(kMsgGrinKindUnfit, g.kind);
    if (command >= kCmdGrinAxial1 && command <= kCmdGrinRadial4) {
        const int w = wavelength_word(0);
        if (w < 1 || w > max_wavelengths()) return set_error_msg(kMsgOutsideWavelengths, w);
        if (!is_number(1)) return kWrongArguments;
        const double v = arg_double(1);
        const bool axial = command < kCmdGrinRadial1;
        const int coefficient = command - (axial ? kCmdGrinAxial1 : kCmdGrinRadial1);
        g.coefficients[axial ? 4 + coefficient : coefficient][w - 1] = v;
        print_msg(axial ? kMsgAxialEcho : kMsgRadialEcho, coefficient + 1, w);
        print_number_cell_eol(v);
        return 0;
    }
    if (command >= kCmdGrinSeriesA && command <= kCmdGrinSeriesD) {
        const int k = arg_int(0);
        if (k < 1 || k > 4) return set_error_msg(kMsgGrinCoefficientIndex, k, 1, 4);
        if (!is_number(1)) return kWrongArguments;
        const double v = arg_double(1);
        g.grd[k - 1 + 4 * (command - kCmdGrinSeriesA)] = v;
        print_symbol_name("%s", command);
        print_msg(kMsgSeriesEcho, k);
        print_number_cell_eol(v);
        return 0;
    }
    if (command == kCmdGrinAxialSeries) {
        const int k = arg_int(0);
        if (k < 0 || k > 11) return set_error_msg(kMsgGrinCoefficientIndex, k, 0, 11);
        if (!is_number(1)) return kWrongArguments;
        const double v = arg_double(1);
        g.grd[k + 16] = v;
        print_msg(kMsgAxialSeriesEcho, k);
        print_number_cell_eol(v);
        return 0;
    }
    if (!is_number(0)) return kWrongArguments;
    double v = arg_double(0);
    if (command == kCmdGrinReference) {
        if (v < kTiny) v = kLeastNonZero;
        g.gwv = v;
    } else if (command == kCmdGrinGmz) {
        g.gmz = v;
    } else {
        g.goz = v;
    }
    print_message_and_number("%s ", command, v);
    return 0;
}

}  // namespace

int set_grin_kind(int n, int kind, int count) {
    int rc = 0;
    {
        UpdateOutputSwitch output;
        free_surface_grin(n);
        if (kind == 0) {
            kind = prompted_int(kParamGrinKind, 1);
            if (kind == kGrinUserCount) count = prompted_int(kParamGrinCount, kDefaultUserCount);
        }
        if (kind == kGrinGeneralSeries) count = kGeneralSeriesCount;
        if (kind == kGrinUserCount && count < 1) count = kDefaultUserCount;
        if (kind < 1 || kind > kGrinKindCount) return 0;
        auto* g = alloc_array_of<GrinRecord>(1);
        double** rows = g == nullptr
                            ? nullptr
                            : alloc_matrix_of<double>(kGrinCoefficientRows,
                                                      static_cast<std::size_t>(max_wavelengths()));
        double* values = nullptr;
        if (g != nullptr && kind == kGrinUserCount) {
            values = alloc_array_of<double>(static_cast<std::size_t>(count));
        }
        if (g == nullptr || rows == nullptr || (kind == kGrinUserCount && values == nullptr)) {
            mem_free(values);
            if (rows != nullptr) free_matrix_of(rows);
            mem_free(g);
            return set_error_msg(kMsgNoSpecialDataMemory);
        }
        *g = {};
        g->kind = static_cast<std::uint8_t>(kind);
        g->count = kind == kGrinGeneralSeries || kind == kGrinUserCount ? count : 0;
        g->step = 0.1;
        g->aeg_weights[0] = g->aeg_weights[1] = 1.0;
        if (kind == kGrinGeneralSeries) g->gwv = kLeastNonZero;
        g->coefficients = rows;
        g->user_values = values;
        surface(n).grin = g;
        if (kind == kGrinUserCount) {
            text_printf("GDT %s %d\n", kKindWords[kind - 1], count);
        } else {
            text_printf("GDT %s\n", kKindWords[kind - 1]);
        }
    }
    if (update_mode()) rc = entry_lens_setup();
    return rc;
}

int cmd_grin_data() {
    const int n = current_surface();
    const int command = current_command();
    if (n < 1) return 0;
    if (command == kCmdGrinKind) {
        int kind = arg_int(0);
        if (kind < 1 || kind > kGrinKindCount) kind = 1;
        const int rc = set_grin_kind(n, kind, arg_int(1));
        if (rc != 0) return rc;
        mark_surface_changed(n);
        return 0;
    }
    if (command == kCmdGrinDelete && surface(n).grin == nullptr) {
        msg_box(kMsgNoGrinToDelete);
        return 0;
    }
    if (surface(n).grin == nullptr) {
        if (const int rc = set_grin_kind(n, 0, 0); rc != 0) return rc;
        if (surface(n).grin == nullptr) return 0;
    }
    int rc = 0;
    {
        UpdateOutputSwitch output;
        rc = store(command, n);
    }
    if (rc != 0) return rc;
    mark_surface_changed(n);
    if (entry_deferred()) return 0;
    return entry_lens_setup();
}
