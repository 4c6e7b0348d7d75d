#include "reports/report_procedure.h"

#include <string>

#include "reports/report_page.h"
#include "runtime/arg_cells.h"
#include "runtime/menu_store.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

// Symbols above this are the user's compiled procedures.
constexpr int kHighestBuiltinSymbol = 8190;
constexpr int kValues = 8;

}  // namespace

int cmd_run_report_procedure() {
    if (lookup_symbol("rep") <= kHighestBuiltinSymbol) return kMsgNoReportProcedure;
    std::string line = arg_int(0) != 0 ? "rep opd" : "rep ray";
    for (int k = 1; k <= kValues; ++k) {
        line += ' ';
        line += format_number(arg_double(k), 2, 0);
    }
    return page_line(line);
}
