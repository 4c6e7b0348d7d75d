#include "entry/conditions_listing.h"

#include <cctype>
#include <cmath>
#include <string>

#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/listing_print.h"
#include "runtime/arg_cells.h"
#include "runtime/list_item_text.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

constexpr double kTiny = 1e-40;

void on_off(int flag) {
    print_msg(flag != 0 ? kMsgConditionOn : kMsgConditionOff);
}

void label_int(int message, int value) {
    print_msg(message);
    text_int(value);
}

void label_value(int message, double value, bool eol = false) {
    print_msg(message);
    if (eol) {
        print_number_cell_eol(value);
    } else {
        print_number_cell(value);
    }
}

// The label of a value among several: the message of its case, or the last one.
void label_choice(int message, int value, std::initializer_list<std::pair<int, int>> cases,
                  int otherwise) {
    print_msg(message);
    for (const auto& c : cases) {
        if (c.first == value) {
            print_msg(c.second);
            return;
        }
    }
    print_msg(otherwise);
}

void drawing_rows(const DrawingConditions& dc) {
    if (dc.row_count <= 0 || dc.rows == nullptr) return;
    print_msg(-1385);
    for (int i = 1; i <= dc.row_count && i <= dc.row_capacity; ++i) {
        const DrawingRaySet& r = dc.rows[i - 1];
        text_spaces(2);
        if (dc.row_count < 100) {
            text_int(i);
            text_spaces(1);
        } else {
            text_spaces(1);
            text_int(i);
        }
        text_number(r.field_fraction);
        text_spaces(1);
        text_number(r.x_field_fraction);
        text_spaces(2);
        text_int(r.ray_count);
        text_number(r.pupil_min);
        text_spaces(1);
        text_number(r.pupil_max);
        text_spaces(1);
        text_number(r.offset);
        text_spaces(2);
        text_out(r.drawn == 0 ? "X" : "Y");
        text_spaces(r.wavelength >= 100 ? 2 : 1);
        text_int(r.wavelength);
        text_newline();
    }
}

void drawing_group(const DrawingConditions& dc) {
    label_value(-1366, dc.view[0]);
    label_value(-1367, dc.view[1], true);
    label_int(-1368, dc.view_angle2);
    label_int(-1369, dc.view_angle1);
    text_newline();
    label_int(-1457, dc.first_surface);
    label_int(-1458, dc.last_surface);
    text_newline();
    label_value(-1370, dc.view[2]);
    label_value(-1371, dc.view[3], true);
    label_choice(-1372, dc.dlap, {{1, -1374}, {2, -1375}, {3, -1376}}, -1377);
    label_choice(-1373, dc.dlrs, {{1, -1378}, {2, -1379}, {3, -1453}}, -1380);
    text_newline();
    label_int(-1381, dc.dlri);
    label_int(-1382, dc.dlsp);
    text_newline();
    label_int(-1383, dc.row_count);
    label_choice(-1435, dc.dlcv, {{1, -1436}, {2, -1437}}, -1438);
    text_newline();
    print_msg(-1455);
    on_off(dc.dlas);
    print_msg(-1456);
    on_off(dc.dlhr);
    text_newline();
    drawing_rows(dc);
}

void optimisation_group(const OptimiseParams& p) {
    label_value(-1393, p.damping);
    label_value(-1394, p.small_damping, true);
    label_value(-1395, p.damping_reduction);
    label_value(-1396, p.derivative_increment, true);
    label_value(-1397, p.bound_weight);
    label_value(-1398, p.stop_threshold, true);
    print_msg(-1400);
    on_off(p.automatic_increments);
    text_newline();
    print_msg(-1482);
    on_off(p.variable_damping);
    text_newline();
    print_msg(-1604);
    print_msg(p.sum_of_squares == 0 ? -1605 : -1606);
    text_newline();
    print_msg(-1404);
    text_printf(" %10s\n", p.operand_command);
    label_value(-1521, p.min_air_thickness);
    label_value(-1522, p.max_air_thickness, true);
    label_value(-1523, p.min_glass_thickness);
    label_value(-1524, p.max_glass_thickness, true);
}

void spot_group(const SpotSettings& s) {
    label_value(-1386, s.aperture_divisions);
    print_msg(-1391);
    on_off(s.apodisation_on);
    text_newline();
    label_value(-1388, s.apodisation_width_x);
    label_value(-1389, s.apodisation_width_y, true);
    print_msg(-1390);
    on_off(s.polychromatic);
    label_value(-1387, s.mtf_path_limit, true);
    print_msg(-1603);
    on_off(s.show_diffraction_limit);
    label_value(-1485, s.through_focus_frequency, true);
}

bool near(double a, double b) {
    return std::fabs(a - b) <= kTiny;
}

void lens_unit(double units) {
    print_msg(-1340);
    // The line writer reads "\10" as ten blanks: "mm" and "m" end in one column.
    if (near(units, 1.0)) {
        text_out("\\10mm");
    } else if (near(units, 10.0)) {
        text_out("\\10cm");
    } else if (near(units, 25.4)) {
        text_out("\\10in");
    } else if (near(units, 0.001)) {
        text_out("\\10mu");
    } else if (near(units, 1000.0)) {
        text_out("\\11m");
    } else {
        print_number_cell(units);
    }
}

void general_group(const LensData& l) {
    warn_multiple_configurations();
    label_int(-1335, l.image_surface);
    label_int(-1336, l.aperture_stop);
    text_newline();
    print_msg(-1337);
    print_msg(l.afocal != 0 ? -1338 : -1339);
    label_int(-1350, l.reference_surface);
    text_newline();
    label_choice(-1346, l.afocal_mode, {{0, -1347}, {1, -1348}}, -1349);
    print_msg(-1565);
    print_msg(l.apck == 0 ? -1566 : l.grck == 0 ? -1568 : -1567);
    text_newline();
    label_int(-1357, l.fan_rays);
    print_msg(-1341);
    text_field(l.designer, 10, true);
    text_newline();
    lens_unit(l.units);
    print_msg(-1432, TAVO_TITLE_TEXT);
    text_printf("%4s", TAVO_VERSION_TEXT);
    text_newline();
    label_choice(-1439, l.wrsp, {{0, -1440}, {2, -1441}}, -1442);
    print_msg(-1345);
    on_off(l.opdw);
    text_newline();
    label_int(-1355, l.cbk);
    print_msg(-1356);
    on_off(l.gprt);
    text_newline();
    text_spaces(39);
    print_msg(-1552);
    text_out(l.zrxr != 0 ? "X" : "Y");
    text_newline();
    label_choice(-1558, l.aim_mode, {{0, -1559}, {2, -1561}, {3, -1562}, {4, -1563}, {5, -1564}},
                 -1560);
    print_msg(-1520);
    text_number(l.xaba);
    text_newline();
    print_msg(-1450);
    text_number(l.sasd);
    print_msg(-1352);
    print_msg(l.epxy != 0 ? -1525 : -1526);
    text_newline();
    print_msg(-1519);
    on_off(l.htnu);
    label_int(-1555, l.global_coordinate_surface);
    text_newline();
    print_msg(-1460);
    text_number(l.temperature);
    print_msg(-1461);
    text_number(l.pressure);
    text_newline();
}

void notes_group(const LensData& l) {
    bool any = false;
    for (int k = 0; k < kNoteLines; ++k) {
        if (l.notes[k][0] == '\0') continue;
        text_printf("%d: %s\n", k + 1, l.notes[k]);
        any = true;
    }
    if (!any) print_msg(kMsgNothing);
}

}  // namespace

int cmd_list_operating_conditions() {
    const int group = arg_int(0);
    const LensData& l = lens_data();
    print_msg(kMsgConditionsHeading);
    const int param = param_descriptor_index(kCmdListConditions, 0);
    std::string name = "?";
    if (param >= 0 && select_param_list(param) == 0) name = list_item_text(group);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    text_printf("%s\n", name.c_str());
    switch (group) {
        case 0:
            if (l.drawing_conditions == nullptr) {
                print_msg(kMsgNothing);
            } else {
                drawing_group(*l.drawing_conditions);
            }
            break;
        case 3:
            if (l.optimise_params == nullptr) {
                print_msg(kMsgNothing);
            } else {
                optimisation_group(*l.optimise_params);
            }
            break;
        case 4:
            if (l.spot_settings == nullptr) {
                print_msg(kMsgNothing);
            } else {
                spot_group(*l.spot_settings);
            }
            break;
        case 6:
            general_group(l);
            break;
        case 7:
            notes_group(l);
            break;
        default:
            break;
    }
    return 0;
}
