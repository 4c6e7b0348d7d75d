#include "drawing/dxf_export.h"

#include <optional>
#include <string>

#include "drawing/cad_export_file.h"
#include "drawing/cad_output.h"
#include "drawing/draw_lens.h"
#include "drawing/draw_rays.h"
#include "drawing/iges_export.h"
#include "lens/lens_data.h"
#include "runtime/arg_cells.h"
#include "runtime/command_levels.h"
#include "runtime/table_format.h"
#include "tables/table_names.h"
#include "trace/scoped_value.h"

namespace {

constexpr int kFormatDxf = 0;
constexpr int kFormatIges = 1;

}  // namespace

void write_dxf_header() {
    const LensData& lens = lens_data();
    cad_write_line("999");
    cad_write_line(
        (std::string("TAVO Optical Design Program DXF Output, Version ") + kProgramVersion)
            .c_str());
    cad_write_line("999");
    cad_write_line((std::string("Lens ID: ") + lens.title).c_str());
    cad_write_line("999");
    cad_write_line((std::string("Designer: ") + lens.designer).c_str());
    char unit[kCadNumberText];
    format_cad_number(lens.units, unit);
    cad_write_line("999");
    cad_write_line((std::string("mm per LENS UNIT (1=mm, 25.4=inches, etc.): ") + unit).c_str());
    cad_write_line("  0");
    cad_write_line("SECTION");
    cad_write_line("  2");
    cad_write_line("ENTITIES");
}

void write_dxf_trailer() {
    // A polyline left open would swallow the end of the section.
    dxf_section(kCadPolylineEnd);
    cad_write_line("  0");
    cad_write_line("ENDSEC");
    cad_write_line("  0");
    cad_write_line("EOF");
}

int cmd_export_dxf() {
    CadExportFile file;
    if (const int r = file.open(arg_string(5), kCadModeDxf); r != 0)
        return r == kCadExportCancelled ? 0 : r;
    // The model view is written in lens coordinates, whatever DLCV asks.
    DrawingConditions* c = lens_data().drawing_conditions;
    std::optional<ScopedValue<std::int32_t>> dlcv;
    if (c != nullptr && arg_int(0) == kDrawViewModel) dlcv.emplace(c->dlcv, 0);
    dxf_section(kCadFileStart);
    int result = cmd_draw_lens();
    if (result == 0) result = cmd_draw_field_rays();
    dxf_section(kCadFileEnd);
    return file.finish(result);
}

int cmd_export_drawing() {
    const int format = arg_int(0);
    if (format != kFormatDxf && format != kFormatIges) return 0;
    const int view = arg_int(1);
    ArgCell given[8];
    for (int i = 0; i < 8; ++i) {
        const ArgCell* cell = arg_cell(i);
        given[i] = cell != nullptr ? *cell : int_cell(0);
    }
    ScratchCallScope scope;
    ArgCell** cells = scope.scratch();
    if (format == kFormatIges) {
        const int from[5] = {2, 3, 4, 5, 7};
        for (int i = 0; i < 5; ++i) *cells[i] = given[from[i]];
        set_arg_vector(cells, 5);
        set_current_command(kCmdExportIges);
        record_command_text();
        return cmd_export_iges();
    }
    ArgCell every = int_cell(0);
    every.status = kArgGiven;
    ArgCell kind = given[1];
    ArgCell selection = given[3];
    if (view == kDxfViewModelEvery) {
        every.value.i = 1;
        kind = int_cell(kDrawViewModel);
        kind.status = kArgGiven;
        selection = int_cell(0);
        selection.status = kArgGiven;
    } else if (view == kDxfViewModel) {
        selection = int_cell(0);
        selection.status = kArgGiven;
    }
    *cells[0] = kind;
    *cells[1] = selection;
    *cells[2] = every;
    *cells[3] = given[4];
    *cells[4] = given[5];
    *cells[5] = given[6];
    set_arg_vector(cells, 6);
    set_current_command(kCmdExportDxf);
    record_command_text();
    return cmd_export_dxf();
}
