// One round of the sheets behind the surface sheet's buttons: an event delivered to the sheet's
// event procedure, the lens set-up where the sheet runs it, and the sheet written again. The
// glass list of the largest catalogue (obsolete.glc) in each sort mode, a table-glass index at
// the most wavelengths a lens holds by default (Max_wavelengths 10), and a special aperture's
// corner.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/bench_program.h"
#include "entry/coefficient_sheets.h"
#include "entry/glass_sheets.h"
#include "entry/hologram_grin_sheets.h"
#include "entry/sheet_options.h"
#include "entry/small_surface_sheets.h"
#include "entry/special_aperture_sheet.h"
#include "entry/wavelength_sheet.h"
#include "lens/glass_catalog.h"
#include "lens/lens_data.h"
#include "runtime/command_levels.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"
#include "ui/grid_control.h"

namespace {

constexpr int kWavelengths = 10;

bool enter_lens(bool many_wavelengths) {
    std::vector<std::string> lines = {
        "LEN NEW \"Sheets\"", "EBR 5", "ANG 5", "NXT", "SRF 80 4 N-BK7 12", "AST",
        "SRF -120 40 AIR 12", "END"};
    for (const std::string& line : lines) {
        if (run_command_string(line.c_str(), 0) != 0) return false;
    }
    if (many_wavelengths) {
        for (int w = 1; w <= kWavelengths; ++w) {
            const std::string line =
                "WV" + std::to_string(w) + " " + std::to_string(0.45 + 0.01 * w);
            if (run_command_string(line.c_str(), 0) != 0) return false;
        }
    }
    return true;
}

GridEvent edit(int field, int index, double value) {
    GridEvent e;
    e.code = kLevelEventEdited;
    e.field = field;
    e.first_index = e.last_index = index;
    e.value_type = 2;
    e.value.d = value;
    return e;
}

void BM_GlassListSorted(benchmark::State& state) {
    BenchProgram& p = bench_program();
    const GlassCatalog& obsolete = glass_catalog(kObsoleteCatalog);
    if (!p.ok || !enter_lens(false) || obsolete.count <= 0) {
        state.SkipWithError("the program, the lens or the catalogue did not start");
        return;
    }
    GlassSheetsState& g = glass_sheets_state();
    g.catalogue = kObsoleteCatalog;
    g.count = obsolete.count;
    g.surface = 1;
    g.list_kit.print = write_glass_list;
    const int button = kFieldSortCatalogue + static_cast<int>(state.range(0));
    set_output_window(3);
    for (auto _ : state) {
        GridEvent e;
        e.code = kLevelEventActivate;
        e.field = button;
        if (glass_list_event(e) != 0) {
            state.SkipWithError(error_text_buffer());
            break;
        }
    }
    flush_output_line();
    set_output_window(1);
    g.order.clear();
}
BENCHMARK(BM_GlassListSorted)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_TableGlassEdit(benchmark::State& state) {
    BenchProgram& p = bench_program();
    if (!p.ok || !enter_lens(true) || lens_data().wavelength_count < kWavelengths) {
        state.SkipWithError("the program or the lens did not start");
        return;
    }
    lens_data().current_surface = 1;
    glass_sheets_state().table_surface = 1;
    set_output_window(3);
    GridEvent shown;
    shown.code = kLevelEventShown;
    if (table_glass_event(shown) != 0) {
        state.SkipWithError(error_text_buffer());
        return;
    }
    double index = 1.6;
    for (auto _ : state) {
        index = index == 1.6 ? 1.61 : 1.6;
        GridEvent e = edit(kFieldTableGlassIndex, kWavelengths / 2, index);
        if (table_glass_event(e) != 0) {
            state.SkipWithError(error_text_buffer());
            break;
        }
    }
    GridEvent left;
    left.code = kLevelEventChange;
    left.argument = 0;
    table_glass_event(left);
    flush_output_line();
    set_output_window(1);
}
BENCHMARK(BM_TableGlassEdit)->Unit(benchmark::kMicrosecond);

void BM_SpecialApertureEdit(benchmark::State& state) {
    BenchProgram& p = bench_program();
    if (!p.ok || !enter_lens(false)) {
        state.SkipWithError("the program or the lens did not start");
        return;
    }
    lens_data().current_surface = 2;
    if (run_command_string("APN 1", 0) != 0) {
        state.SkipWithError(error_text_buffer());
        return;
    }
    special_aperture_sheet_state().kit.print = write_special_aperture_sheet;
    set_output_window(3);
    double corner = 1.0;
    for (auto _ : state) {
        corner = corner == 1.0 ? 1.5 : 1.0;
        GridEvent e = edit(kFieldApertureX1, 0, corner);
        if (special_aperture_event(e) != 0) {
            state.SkipWithError(error_text_buffer());
            break;
        }
    }
    flush_output_line();
    set_output_window(1);
}
BENCHMARK(BM_SpecialApertureEdit)->Unit(benchmark::kMicrosecond);

}  // namespace

// The special-data and wavelength sheets. The bench program holds at most 10 wavelengths
// (Max_wavelengths takes effect at a start only), so the gradient-index and paste rounds run at
// 10 wavelengths.
namespace {

bool enter_sheet(LevelHandler handler) {
    GridEvent shown;
    shown.code = kLevelEventShown;
    return handler(shown) == 0;
}

void leave_sheet(LevelHandler handler, int mode) {
    GridEvent left;
    left.code = kLevelEventChange;
    left.argument = mode;
    handler(left);
}

void BM_GrinSheetEdit(benchmark::State& state) {
    BenchProgram& p = bench_program();
    if (!p.ok || !enter_lens(true) || lens_data().wavelength_count < kWavelengths) {
        state.SkipWithError("the program or the lens did not start");
        return;
    }
    lens_data().current_surface = 1;
    if (run_choice_line("GDT ARG") != 0 || !enter_sheet(grin_sheet_event)) {
        state.SkipWithError(error_text_buffer());
        return;
    }
    set_output_window(3);
    double v = 1.0e-3;
    for (auto _ : state) {
        v = v == 1.0e-3 ? 2.0e-3 : 1.0e-3;
        GridEvent e = edit(kCmdNr2L, kWavelengths / 2, v);
        if (grin_sheet_event(e) != 0) {
            state.SkipWithError(error_text_buffer());
            break;
        }
    }
    leave_sheet(grin_sheet_event, -1);
    flush_output_line();
    set_output_window(1);
}
BENCHMARK(BM_GrinSheetEdit)->Unit(benchmark::kMicrosecond);

void BM_AsphereSheetEdit(benchmark::State& state) {
    BenchProgram& p = bench_program();
    if (!p.ok || !enter_lens(false)) {
        state.SkipWithError("the program or the lens did not start");
        return;
    }
    lens_data().current_surface = 1;
    // Order 38: twenty coefficients.
    if (run_choice_line("ASP ASR 38") != 0 || !enter_sheet(asphere_sheet_event)) {
        state.SkipWithError(error_text_buffer());
        return;
    }
    set_output_window(3);
    double v = 1.0e-9;
    for (auto _ : state) {
        v = v == 1.0e-9 ? 2.0e-9 : 1.0e-9;
        GridEvent e = edit(kFieldAsphereCoefficient, 12, v);
        if (asphere_sheet_event(e) != 0) {
            state.SkipWithError(error_text_buffer());
            break;
        }
    }
    leave_sheet(asphere_sheet_event, -1);
    flush_output_line();
    set_output_window(1);
}
BENCHMARK(BM_AsphereSheetEdit)->Unit(benchmark::kMicrosecond);

// Five rows cut and pasted back: the table stays at 10 wavelengths.
void BM_WavelengthSheetCutPaste(benchmark::State& state) {
    BenchProgram& p = bench_program();
    if (!p.ok || !enter_lens(true) || lens_data().wavelength_count < kWavelengths ||
        !enter_sheet(wavelength_sheet_event)) {
        state.SkipWithError("the program or the lens did not start");
        return;
    }
    set_output_window(3);
    for (auto _ : state) {
        GridEvent cut;
        cut.code = kGridActionCut;
        cut.first_index = 2;
        cut.range_rows = 4;
        GridEvent paste;
        paste.code = kGridActionPaste;
        paste.first_index = 2;
        if (wavelength_sheet_event(cut) != 0 || wavelength_sheet_event(paste) != 0) {
            state.SkipWithError(error_text_buffer());
            break;
        }
    }
    leave_sheet(wavelength_sheet_event, -1);
    flush_output_line();
    set_output_window(1);
}
BENCHMARK(BM_WavelengthSheetCutPaste)->Unit(benchmark::kMicrosecond);

// A sheet opened (its revert copy taken, written) and left by Cancel (the lens read back).
void BM_SheetOpenAndCancel(benchmark::State& state) {
    BenchProgram& p = bench_program();
    if (!p.ok || !enter_lens(false)) {
        state.SkipWithError("the program or the lens did not start");
        return;
    }
    lens_data().current_surface = 2;
    set_output_window(3);
    for (auto _ : state) {
        if (!enter_sheet(conic_toric_sheet_event)) {
            state.SkipWithError(error_text_buffer());
            break;
        }
        leave_sheet(conic_toric_sheet_event, -1);
    }
    flush_output_line();
    set_output_window(1);
}
BENCHMARK(BM_SheetOpenAndCancel)->Unit(benchmark::kMicrosecond);

}  // namespace
