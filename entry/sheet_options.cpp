#include "entry/sheet_options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "entry/entry_frame.h"
#include "entry/glass_entry.h"
#include "entry/glass_sheets.h"
#include "entry/special_aperture_sheet.h"
#include "lens/lens_data.h"
#include "lens/optimise_links.h"
#include "lens/surface_groups.h"
#include "lens/surface_setters.h"
#include "runtime/arg_cells.h"
#include "runtime/command_context.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "tables/table_names.h"
#include "trace/lens_setup.h"

namespace {

constexpr char kLensContext = 'L';
constexpr double kFarObject = 9.9e7;
constexpr double kTiny = 1e-40;

// The lists the handlers pick between: for one configuration, for several.
constexpr int kListAperture = 202;
constexpr int kListApertureGroupFixed = 203;
constexpr int kListApertureGroup = 204;
constexpr int kListCurvature[2] = {288, 287};
constexpr int kListCurvatureGroup[2] = {291, 290};
constexpr int kListObjectCurvature[2] = {828, 827};
constexpr int kListImageCurvature[2] = {555, 554};
constexpr int kListThickness[2] = {1192, 1191};
constexpr int kListImageThickness[2] = {562, 561};
constexpr int kListOtherThickness[2] = {834, 833};
constexpr int kListObjectDistance = 1005;
constexpr int kListMedium[2] = {489, 488};
constexpr int kListObjectMedium[2] = {831, 830};

// How many entries a list keeps: the choices before the variable ones, the nearest-glass ones
// before them.
constexpr int kCurvatureKept = 10;
constexpr int kGroupCurvatureKept = 3;
constexpr int kImageCurvatureKept = 3;
constexpr int kThicknessKept = 9;
constexpr int kOneKept = 1;
constexpr int kFarObjectKept = 5;
constexpr int kStopPathEntry = 3;  // the object distance's choice that needs a plain stop path
constexpr int kMediumModelKept = 27;
constexpr int kMediumBaseNearKept = 25;
constexpr int kMediumBaseKept = 15;
constexpr int kObjectMediumModelKept = 24;
constexpr int kObjectMediumNearKept = 22;
constexpr int kObjectMediumBaseKept = 12;
constexpr int kGroupRemovedMediumEntry = 2;

constexpr int kAllEntries = 1 << 20;

int several() {
    return lens_data().configuration_count >= 2 ? 1 : 0;
}

SurfaceRecord& current() {
    return surface(lens_data().current_surface);
}

bool middle_of_kind1(const SurfaceRecord& s) {
    return s.group_kind == 1 && s.group_role != 0 && s.group_role != kRoleLast;
}

bool model_glass(int kind) {
    return kind == kMediumModelIndexAbbe || kind == kMediumModelIndexAbbeComputed;
}

// Makes list `list` current, keeping its first `keep` entries less the one at `removed`, with the
// entry whose value is `state` as the default of parameter `param` (none for param 0).
int provide(int list, int param, int state, int keep = kAllEntries, int removed = -1) {
    if (select_param_list(list) != 0) return 0;
    std::vector<std::pair<std::string, std::string>> entries;
    for (int i = 0; i < value_list_count() && i < keep; ++i) {
        if (i == removed) continue;
        const char* a = value_list_first(i);
        const char* b = value_list_second(i);
        entries.emplace_back(a != nullptr ? a : "", b != nullptr ? b : "");
    }
    start_built_list();
    for (const auto& e : entries) add_built_list_entry(e.first, e.second);
    if (param != 0) {
        const ArgCell cell = int_cell(state);
        set_param_default(param, &cell);
    }
    return 0;
}

// The choice code that shows a curvature kind (a fixed curvature is its own entry).
int curvature_state(const SurfaceRecord& s) {
    return s.curvature_kind;
}

int medium_state(const SurfaceRecord& s) {
    if (s.medium_kind == kMediumModelGlassComputed) return kMediumModelGlass;
    if (s.medium_kind == kMediumModelIndexAbbeComputed) return kMediumModelIndexAbbe;
    return s.medium_kind;
}

int aperture_state(int n, const SurfaceRecord& s) {
    const LensData& l = lens_data();
    if (s.aperture_check == 1) return 3;
    if (n == l.aperture_stop) return 4;
    if (n == l.reference_surface) return 5;
    // The fixed aperture's choice code is 10, not its kind.
    if (s.aperture_kind == kApertureFixedValue) return 10;
    return s.aperture_kind;
}

// A variable's line: "Add_variable_in_spreadsheet <entry> set <surface> <flag> <kind>..."
int add_variable(int s, int c, const char* kind_and_bounds) {
    char line[160];
    std::snprintf(line, sizeof line, "Add_variable_in_spreadsheet %d set %d %d %s",
                  optimise_current_variable_entry(), s, c == kChoiceVariableConfiguration ? 1 : 0,
                  kind_and_bounds);
    int rc = run_choice_line(line);
    if (rc == 0 && c == kChoiceVariableSheet) rc = run_choice_line("VSE UPD");
    return rc;
}

int delete_variable(int index) {
    char line[64];
    std::snprintf(line, sizeof line, "Add_variable_in_spreadsheet %d del", index + 1);
    return run_choice_line(line);
}

// Asks for a source surface before s: 0 with it, -512 (s) for one that is not, or the prompt's
// failure.
int ask_source(int s, int* source) {
    ArgCell cell{};
    if (const int rc = prompt_param(kParamSourceSurface, &cell); rc != 0) return rc;
    const int n = cell.type == kArgDouble ? static_cast<int>(cell.value.d) : cell.value.i;
    if (n < 0 || n >= s) return set_error_msg(kMsgPickupSource, s);
    *source = n;
    return 0;
}

double ask_number(int param, double present, int* rc) {
    ArgCell cell{};
    *rc = prompt_param(param, &cell);
    if (*rc != 0) return 0.0;
    const double v = cell.type == kArgDouble ? cell.value.d : cell.value.i;
    return v == 0.0 ? present : v;
}

// An odd number of mirrors on surfaces 1 to s turns the space round.
bool reversed_space(int s) {
    int mirrors = 0;
    for (int j = 1; j <= s; ++j) mirrors += surface(j).medium_kind == kMediumMirror ? 1 : 0;
    return mirrors % 2 == 1;
}

// The space behind surface s is air: the medium of s, or for a mirror the one the light comes
// back through.
bool air_space(int s) {
    int j = s;
    while (j > 0 && surface(j).medium_kind == kMediumMirror) --j;
    const int kind = surface(j).medium_kind;
    return kind == kMediumAir || kind == kMediumAirFixed;
}

int model_glass_choice(int s) {
    const SurfaceRecord& r = surface(s);
    const LensData& l = lens_data();
    ArgCell name_cell{};
    std::string name;
    if (const int rc = prompt_param(kParamModelGlassName, &name_cell); rc != 0) return rc;
    if (name_cell.type == kArgChar && name_cell.text_length > 0 && name_cell.value.text) {
        name = name_cell.value.text;
    }
    while (!name.empty() && name.back() == ' ') name.pop_back();
    while (!name.empty() && name.front() == ' ') name.erase(0, 1);
    if (name.empty()) name = "GLASS" + std::to_string(s);
    if (name.size() > kMediumNameLength) name.resize(kMediumNameLength);
    const double* index = r.index;
    const int count = l.wavelength_count;
    int rc = 0;
    const double first = ask_number(kParamModelIndex, index != nullptr ? index[0] : 1.0, &rc);
    if (rc != 0) return rc;
    double second = 0.0;
    if (count == 2) {
        second = ask_number(kParamSecondIndex, index != nullptr ? index[1] : 1.0, &rc);
    } else if (count >= 3) {
        double present = 0.0;
        if (index != nullptr) {
            const double d = index[1] - index[2];
            present = std::fabs(d) < kTiny ? 0.0 : (index[0] - 1.0) / d;
        }
        second = ask_number(kParamAbbeNumber, present, &rc);
    }
    if (rc != 0) return rc;
    char line[160];
    if (count >= 2) {
        std::snprintf(line, sizeof line, "GLA MOD \"%s\" %.17g %.17g", name.c_str(), first, second);
    } else {
        std::snprintf(line, sizeof line, "GLA MOD \"%s\" %.17g", name.c_str(), first);
    }
    return run_choice_line(line);
}

int medium_from(int s, int c) {
    switch (c) {
        case kMediumChoiceAir:
            return set_surface_medium(s, kMediumAir, "AIR", 0);
        case kMediumChoiceModel:
            return model_glass_choice(s);
        case kMediumChoiceMirror:
        case kMediumChoiceHatchedMirror:
            if (s == 0) return set_error_msg(kMsgNoObjectSurfaceEntry);
            return set_surface_medium(s, kMediumMirror,
                                      c == kMediumChoiceMirror ? "REFLECT" : "REFL_HATCH", 0);
        case kMediumChoicePkGla: {
            int source = 0;
            if (const int rc = ask_source(s, &source); rc != 0) return rc;
            if (surface(source).medium_kind == kMediumMirror) {
                return set_error_msg(kMsgGlassFromMirror, s);
            }
            char name[kMediumNameLength + 1];
            std::snprintf(name, sizeof name, "%s", surface(source).medium_name);
            return set_surface_medium(s, kMediumPickup, name, static_cast<std::int16_t>(source));
        }
        default:
            return fix_model_glass(s, c == kMediumChoiceNearest ? -1 : c - kMediumChoiceNearest0);
    }
}

int decentre_pickup_choice(int s, int c) {
    SurfaceRecord& r = surface(s);
    if (c < 1) {
        if (r.decentre != nullptr) {
            r.decentre->pickup_source = 0;
            r.decentre->pickup_negated = 0;
        }
        return 0;
    }
    ArgCell cell{};
    if (const int rc = prompt_param(kParamSourceSurface, &cell); rc != 0) return rc;
    const int source = cell.type == kArgDouble ? static_cast<int>(cell.value.d) : cell.value.i;
    char line[48];
    std::snprintf(line, sizeof line, "PK %s %d", c == 2 ? "TDM" : "TD", source);
    return run_choice_line(line);
}

// The choice of the running option command: a code as it stands, or a word of the command's
// list, which its handler builds again for the current surface.
bool choice_code(int* code) {
    const ArgCell* cell = arg_cell(0);
    if (cell == nullptr) return false;
    if (cell->type == kArgInt) {
        *code = cell->value.i;
        return true;
    }
    const std::string text = arg_string(0);
    char* end = nullptr;
    long number = std::strtol(text.c_str(), &end, 10);
    if (!text.empty() && end != nullptr && *end == '\0') {
        *code = static_cast<int>(number);
        return true;
    }
    const int param = param_descriptor_index(current_command(), 0);
    if (text.empty() || param < 0 || select_param_list(param) != 0) return false;
    int index = -1;
    const char* value = match_list_word(text.c_str(), &index);
    if (value == nullptr) return false;
    number = std::strtol(value, &end, 10);
    if (end == value) return false;
    *code = static_cast<int>(number);
    return true;
}

}  // namespace

int run_choice_line(const char* line) {
    const bool push = command_context_letter() != kLensContext;
    if (push) push_command_context(kLensContext);
    int rc = 0;
    {
        UpdateOutputSwitch output;
        rc = run_command_string(line, 0);
    }
    if (push) pop_command_context();
    return rc;
}

int delete_glass_variables(int s) {
    for (int k = 0; k < 2; ++k) {
        int index = 0;
        if (!find_glass_variable(s, &index)) return 0;
        if (const int rc = delete_variable(index); rc != 0) return rc;
    }
    return 0;
}

int cmd_aperture_choices() {
    const int n = lens_data().current_surface;
    const SurfaceRecord& s = current();
    const int list = s.aperture_kind == kApertureFixedByGroup ? kListApertureGroupFixed
                     : middle_of_kind1(s)                     ? kListApertureGroup
                                                              : kListAperture;
    return provide(list, kParamApertureChoice, aperture_state(n, s));
}

int cmd_curvature_choices() {
    const SurfaceRecord& s = current();
    const bool group = middle_of_kind1(s);
    const int list = (group ? kListCurvatureGroup : kListCurvature)[several()];
    const int keep = !s.curvature_variable ? kAllEntries
                     : group               ? kGroupCurvatureKept
                                           : kCurvatureKept;
    return provide(list, kParamCurvatureChoice, curvature_state(s), keep);
}

int cmd_object_curvature_choices() {
    const SurfaceRecord& s = current();
    return provide(kListObjectCurvature[several()], kParamObjectCurvatureChoice, curvature_state(s),
                   s.curvature_variable ? kOneKept : kAllEntries);
}

int cmd_image_curvature_choices() {
    const SurfaceRecord& s = current();
    return provide(kListImageCurvature[several()], kParamImageCurvatureChoice, curvature_state(s),
                   s.curvature_variable ? kImageCurvatureKept : kAllEntries);
}

int cmd_thickness_choices() {
    const SurfaceRecord& s = current();
    return provide(kListThickness[several()], kParamThicknessChoice, s.thickness_kind,
                   s.thickness_variable ? kThicknessKept : kAllEntries);
}

int cmd_image_thickness_choices() {
    const SurfaceRecord& s = current();
    return provide(kListImageThickness[several()], kParamImageThicknessChoice, s.thickness_kind,
                   s.thickness_variable ? kOneKept : kAllEntries);
}

int cmd_other_thickness_choices() {
    const SurfaceRecord& s = current();
    return provide(kListOtherThickness[several()], kParamOtherThicknessChoice, s.thickness_kind,
                   s.thickness_variable ? kOneKept : kAllEntries);
}

int cmd_object_distance_choices() {
    if (std::fabs(surface(0).thickness) <= kFarObject) return provide(kListObjectDistance, 0, 0);
    const int removed = stop_path_is_plain() != 0 ? -1 : kStopPathEntry;
    return provide(kListObjectDistance, 0, 0, kFarObjectKept, removed);
}

int cmd_medium_choices() {
    const SurfaceRecord& s = current();
    int state = medium_state(s);
    const bool in_kind1 = s.group_kind == 1 && s.group_role != 0;
    if (s.medium_kind == kMediumMirror && !in_kind1 &&
        std::string(s.medium_name).rfind("REFL_HATCH", 0) == 0) {
        state = 30;
    }
    int keep = kMediumBaseKept;
    if (model_glass(s.medium_kind)) {
        keep = s.glass_variable ? kMediumBaseNearKept : kMediumModelKept;
    } else if (s.medium_kind == kMediumModelGlass || s.medium_kind == kMediumModelGlassComputed) {
        keep = kMediumBaseNearKept;
    }
    const int removed = in_kind1 ? kGroupRemovedMediumEntry : -1;
    return provide(kListMedium[several()], kParamMediumChoice, state, keep, removed);
}

int cmd_object_medium_choices() {
    const SurfaceRecord& s = current();
    const int state = medium_state(s);
    int keep = kObjectMediumBaseKept;
    if (model_glass(s.medium_kind)) {
        keep = s.glass_variable ? kObjectMediumNearKept : kObjectMediumModelKept;
    } else if (s.medium_kind == kMediumModelGlass || s.medium_kind == kMediumModelGlassComputed) {
        keep = kObjectMediumNearKept;
    }
    return provide(kListObjectMedium[several()], kParamObjectMediumChoice, state, keep);
}

int aperture_choice(int s, int c) {
    LensData& l = lens_data();
    SurfaceRecord& r = surface(s);
    switch (c) {
        case kApertureChoiceComputed:
            r.aperture_kind = kApertureComputed;
            return 0;
        case kApertureChoiceNoCheck:
            r.aperture_check = 0;
            return 0;
        case kApertureChoicePickup: {
            int source = 0;
            if (const int rc = ask_source(s, &source); rc != 0) return rc;
            set_aperture_data(s, kAperturePickup, static_cast<std::int16_t>(source),
                              r.aperture_radius);
            return 0;
        }
        case kApertureChoiceCheck:
            r.aperture_check = 1;
            return 0;
        case kApertureChoiceStop:
            if (l.reference_surface == l.aperture_stop) l.reference_surface = s;
            l.aperture_stop = s;
            return 0;
        case kApertureChoiceReference:
            l.reference_surface = s;
            return 0;
        case kApertureChoiceSpecial:
            return s >= 1 ? open_special_aperture_sheet() : set_error_msg(kMsgNoObjectSurfaceEntry);
        case kApertureChoiceFixed:
            r.aperture_kind = kApertureFixedValue;
            return 0;
        default:
            return 0;
    }
}

int curvature_choice(int s, int c) {
    static constexpr struct {
        int choice;
        const char* line;
    } kLines[] = {{1, "PK CV ?"}, {2, "PK CVM ?"}, {3, "PU ?"}, {4, "PUC ?"},
                  {8, "PI ?"},    {9, "PIC ?"},    {10, "AL"},  {11, "ALC"}};
    int rc = 0;
    if (c >= kChoiceVariable && c <= kChoiceVariableConfiguration) {
        if (s >= 1) rc = run_choice_line("CSD");
        return rc != 0 ? rc : add_variable(s, c, "CV");
    }
    const char* line = nullptr;
    for (const auto& k : kLines) {
        if (k.choice == c) line = k.line;
    }
    if (line == nullptr && c != 5) return 0;
    // A curvature that is a variable takes no solve or pickup: the variable goes first.
    int index = 0;
    if (find_curvature_variable(s, &index)) {
        if (const int del = delete_variable(index); del != 0) return del;
    }
    if (line != nullptr) return run_choice_line(line);
    if (surface(s).curvature_kind == kCurvatureFixedRtf)
        surface(s).curvature_kind = kCurvaturePlain;
    return s >= 1 ? run_choice_line("CSD") : 0;
}

int thickness_choice(int s, int c) {
    static constexpr const char* kLines[] = {nullptr,      "PK TH ?", "PK THM ?", "PK LN ? ?",
                                             "PK LNM ? ?", "PY ?",    "PYC ?"};
    int rc = 0;
    if (c >= kChoiceVariable && c <= kChoiceVariableConfiguration) {
        if (s >= 1) rc = run_choice_line("TSD");
        if (rc != 0) return rc;
        double lower = 0.0;
        double upper = 0.0;
        const OptimiseParams* p = lens_data().optimise_params;
        if (s != lens_data().image_surface && p != nullptr) {
            const bool air = air_space(s);
            lower = air ? p->min_air_thickness : p->min_glass_thickness;
            upper = air ? p->max_air_thickness : p->max_glass_thickness;
            if (reversed_space(s)) {
                const double l = lower;
                lower = -upper;
                upper = -l;
            }
        }
        char bounds[96];
        std::snprintf(bounds, sizeof bounds, "TH %.8e %.8e", lower, upper);
        return add_variable(s, c, bounds);
    }
    const char* line = c >= 1 && c <= 6 ? kLines[c] : c == 9 ? "ET ? ?" : nullptr;
    if (line == nullptr && c != 7) return 0;
    // A thickness that is a variable takes no solve or pickup: the variable goes first.
    int index = 0;
    if (find_thickness_variable(s, &index)) {
        if (const int del = delete_variable(index); del != 0) return del;
    }
    if (line != nullptr) return run_choice_line(line);
    return s >= 1 ? run_choice_line("TSD") : 0;
}

int glass_choice(int s, int c) {
    lens_flags().materials_changed = 1;
    const SurfaceRecord& r = surface(s);
    if (c >= kChoiceVariable && c <= kChoiceVariableConfiguration) {
        if (!model_glass(r.medium_kind)) {
            return c == kChoiceVariableSheet ? run_choice_line("VSE UPD") : 0;
        }
        return add_variable(s, c, "RN");
    }
    if (c == 0) return open_table_glass();
    if (c >= 100 && c <= 107) return open_glass_list(c - 100);
    if (c == 2) {
        ArgCell cell{};
        if (const int rc = prompt_param(kParamGlassCatalog, &cell); rc != 0) return rc;
        const int catalogue =
            cell.type == kArgDouble ? static_cast<int>(cell.value.d) : cell.value.i;
        if (catalogue < 0 || catalogue >= kAllCatalogs) return set_error_msg(kMsgOneCatalogueOnly);
        return open_glass_list(catalogue);
    }
    const bool sets_medium =
        c == 1 || (c >= 3 && c <= 5) || c == 30 || c == 8 || (c >= 200 && c <= 208);
    if (!sets_medium) return 0;
    int before = 0;
    const bool was_variable = find_glass_variable(s, &before);
    if (const int rc = medium_from(s, c); rc != 0) return rc;
    if (const int rc = lens_setup_or_error(); rc != 0) return rc;
    if (was_variable && !model_glass(surface(s).medium_kind)) return delete_glass_variables(s);
    return 0;
}

int cmd_sheet_cell_action() {
    int c = 0;
    if (arg_count() < 1 || !choice_code(&c)) return set_error_msg(kMsgSettingRefused);
    const int s = lens_data().current_surface;
    switch (current_command()) {
        case kCmdAperopt:
            return aperture_choice(s, c);
        case kCmdCurvopt:
        case kCmdObjcurvopt:
        case kCmdImgcurvopt:
            return curvature_choice(s, c);
        case kCmdThkopt:
        case kCmdObjthkopt:
        case kCmdImsthkopt:
            return thickness_choice(s, c);
        case kCmdGlassopt:
        case kCmdObjglassopt:
            return glass_choice(s, c);
        case kCmdTdcpkpopt:
            return decentre_pickup_choice(s, c);
        default:
            return 0;
    }
}

void install_sheet_options() {
    set_handler(kSlotApertureChoices, cmd_aperture_choices);
    set_handler(kSlotCurvatureChoicesA, cmd_curvature_choices);
    set_handler(kSlotCurvatureChoicesB, cmd_object_curvature_choices);
    set_handler(kSlotCurvatureChoicesC, cmd_image_curvature_choices);
    set_handler(kSlotThicknessChoicesA, cmd_thickness_choices);
    set_handler(kSlotThicknessChoicesB, cmd_image_thickness_choices);
    set_handler(kSlotThicknessChoicesC, cmd_other_thickness_choices);
    set_handler(kSlotObjectDistanceChoices, cmd_object_distance_choices);
    set_handler(kSlotGlassChoicesA, cmd_medium_choices);
    set_handler(kSlotGlassChoicesB, cmd_object_medium_choices);
    set_handler(kSlotSheetCellAction, cmd_sheet_cell_action);
}
