#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "entry/entry_frame.h"
#include "entry/lens_block.h"
#include "entry/reverse_negate.h"
#include "entry/sheet_hooks.h"
#include "entry/sheet_values.h"
#include "entry/surface_sheet.h"
#include "lens/glass_catalog.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "lens/lens_insert.h"
#include "lens/stock_lenses.h"
#include "lens/surface_groups.h"
#include "lens/surface_insert_delete.h"
#include "lens/surface_setters.h"
#include "lens/test_glasses.h"
#include "runtime/arg_cells.h"
#include "runtime/command_context.h"
#include "runtime/dispatch.h"
#include "runtime/lens_data_guard.h"
#include "runtime/menu_store.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/lens_setup.h"
#include "ui/grid_cells.h"
#include "ui/grid_control.h"
#include "ui/text_area.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kDegrees = 57.29577951308232;
constexpr char kLensContext = 'L';

SurfaceSheetState& st() {
    return surface_sheet_state();
}

// A command line of the sheet's own, with Output on switched for it.
int run_quiet(const char* text, int mode) {
    UpdateOutputSwitch output;
    return run_command_string(text, mode);
}

bool name_defined(const char* name) {
    return lookup_symbol(name) >= 8191;
}

int autodraw(int first, int code) {
    const int cbk = lens_data().cbk;
    if (cbk == 0 || !name_defined("autodraw")) return 0;
    char line[64];
    std::snprintf(line, sizeof line, "autodraw(%d, %d, %d)", first, cbk, code);
    // Pushing the letter already on top does nothing: only what was pushed here is taken off.
    const bool push = command_context_letter() != kLensContext;
    if (push) push_command_context(kLensContext);
    const int rc = run_command_string(line, 1);
    if (push) pop_command_context();
    return rc;
}

// Writes the sheet into window 3, replacing what it showed (the level's output begins there,
// its first lines filling the header rows).
int rewrite() {
    begin_level_output();
    write_surface_sheet();
    return end_level_output();
}

int refresh(bool setup, int field) {
    if (setup) {
        if (const int rc = lens_setup_or_error(); rc != 0) return rc;
    }
    int rc = rewrite();
    if (const int draw = autodraw(1, field); draw != 0) rc = draw;
    return rc;
}

int image_surface() {
    return lens_data().image_surface;
}

bool last_alone_of_kind1(int first, int last) {
    for (int n = first; n <= last; ++n) {
        const SurfaceRecord& s = surface(n);
        if (s.group_kind == 1 && s.group_role == kRoleLast) {
            const int start = group_start_surface(n);
            if (start < first) return true;
        }
    }
    return false;
}

// The surfaces' command lines on the clipboard; the text grows as it needs.
int copy_range(int first, int last) {
    return copy_surfaces_to_clipboard(first, last);
}

int range_checked(const GridEvent& event, int* first, int* last, bool removing) {
    sheet_selected_range(event, first, last);
    if (removing && last_alone_of_kind1(*first, *last)) {
        return kMsgSheetNotLastAlone;
    }
    if (*first < 1 || *last >= image_surface()) {
        return set_error_msg(kMsgDeleteCannot, *last);
    }
    return 0;
}

// Splits at ';' outside double quotes; the text's end also ends a line.
std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        if (c == ';' && !quoted) {
            lines.push_back(line);
            line.clear();
            continue;
        }
        line += c;
    }
    if (line.find_first_not_of(" \t\r\n") != std::string::npos) lines.push_back(line);
    return lines;
}

bool begins_with(const std::string& line, const char* word) {
    const std::size_t at = line.find_first_not_of(" \t\r\n");
    if (at == std::string::npos) return false;
    const std::size_t n = std::strlen(word);
    if (line.size() - at < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::toupper(static_cast<unsigned char>(line[at + i])) != word[i]) return false;
    }
    const std::size_t end = at + n;
    return end == line.size() || !std::isalnum(static_cast<unsigned char>(line[end]));
}

int paste(const GridEvent& event) {
    const std::string text = sheet_clipboard_text();
    if (text.find_first_not_of(" ;\t\r\n") == std::string::npos) {
        return kMsgSheetClipboardEmpty;
    }
    int first = 0;
    int last = 0;
    sheet_selected_range(event, &first, &last);
    LensData& l = lens_data();
    set_state_flag(kFlagLensReadInBulk);
    save_wavelengths(0);
    const int base = std::max(0, first - 1);
    set_current_surface(base);
    l.paste_base[0] = l.paste_base[1] = base;
    const std::vector<std::string> lines = split_lines(text);
    int rc = 0;
    int ran = 0;
    std::string failing;
    // The clipboard may hold any text: only lens-data commands with constant values run.
    LensDataScope lens_data_only;
    for (const std::string& line : lines) {
        if (begins_with(line, "NXT")) {
            if (l.image_surface >= get_setting_int(kSetSurfaceLimit, 0, 0) ||
                l.image_surface >= surface_limit()) {
                msg_box(kMsgSurfaceLimit, surface_limit());
                break;
            }
            rc = insert_surface(l.current_surface + 1);
            if (rc == 0) rc = cmd_next_surface();
        } else {
            UpdateOutputSwitch output;
            rc = run_command_string(line.c_str(), 0);
        }
        if (rc != 0) {
            failing = line;
            break;
        }
        ++ran;
    }
    l.paste_base[0] = l.paste_base[1] = 0;
    save_wavelengths(1);
    clear_state_flag(kFlagLensReadInBulk);
    if (rc != 0) {
        show_error(rc);
        return set_error_msg(kMsgSheetPasteStopped, failing.c_str(), ran);
    }
    return fold_group_thickness();
}

int wavelength_button() {
    LensData& l = lens_data();
    select_param_list(kParamStandardWavelengths);
    ArgCell cell = double_cell(0.54607);
    ArgCell answer{};
    set_param_default(kParamStandardWavelengths, &cell);
    const int rc = prompt_param(kParamStandardWavelengths, &answer);
    if (rc != 0) return rc;
    const double v = answer.type == kArgInt ? answer.value.i : answer.value.d;
    if (std::fabs(v) > 0 && l.wavelengths != nullptr) {
        l.wavelengths[0].wavelength = std::fabs(v);
        lens_flags().wavelengths_changed = 1;
        mark_lens_bounds_stale();
        if (std::fabs(v) < 0.24 || std::fabs(v) > 2.4) msg_box(kMsgWavelengthOutsideRange);
    }
    return 0;
}

constexpr int kSlotParaxialWindow = 92;
constexpr int kSlotAuxSheet = 115;
constexpr int kSlotWavelengthSheet = 116;
constexpr int kAuxSheetLensNotes = 7;

// The sheets and windows the header buttons open, reached through their handler slots with the
// argument they take (none for -1); an empty slot is an unknown command.
int open_through_slot(int slot, int argument) {
    const CommandHandler handler = handler_table().slots[slot];
    if (handler == nullptr) return set_error_msg(kMsgUnknownCommand, slot);
    ArgCell** const saved = arg_vector();
    const int saved_count = arg_count();
    ArgCell cell = int_cell(argument);
    ArgCell* cells[1] = {&cell};
    set_arg_vector(argument >= 0 ? cells : nullptr, argument >= 0 ? 1 : 0);
    const int rc = handler();
    set_arg_vector(saved, saved_count);
    return rc;
}

int button_event(const GridEvent& event) {
    LensData& l = lens_data();
    const int n = l.current_surface;
    static constexpr struct {
        int field;
        const char* command;
    } kOptions[] = {
        // The choice is asked for ('?'), offering the cell's present state.
        {kFieldCurvatureOption, "CURVOPT ?"},          {kFieldThicknessOption, "THKOPT ?"},
        {kFieldApertureOption, "APEROPT ?"},           {kFieldMediumOption, "GLASSOPT ?"},
        {kFieldImageThicknessOption, "IMSTHKOPT ?"},   {kFieldObjectMediumOption, "OBJGLASSOPT ?"},
        {kFieldObjectCurvatureOption, "OBJCURVOPT ?"}, {kFieldObjectThicknessOption, "OBJTHKOPT ?"},
        {kFieldImageCurvatureOption, "IMGCURVOPT ?"}};
    for (const auto& o : kOptions) {
        if (o.field == event.field) {
            const int rc = run_command_string(o.command, 0);
            return rc != 0 ? rc : refresh(true, event.field);
        }
    }
    switch (event.field) {
        case kFieldSpecialData: {
            const int rc = run_command_string("SPECIALSPR", 0);
            if (rc == 0) set_state_flag(kFlagSpecialDataChosen);
            return rc;
        }
        case kFieldRefresh:
            return refresh(true, event.field);
        case kFieldGroup:
            if (ask_msg(kMsgAskUngroup, n) != 0) {
                msg_box(kMsgGroupKept);
                return 0;
            }
            if (surface(n).group_role == kRoleFirst) ungroup_surfaces(n);
            return refresh(true, event.field);
        case kFieldGroupsShown:
        case kFieldGroupsCollapsed:
            l.show_group_surfaces = event.field == kFieldGroupsShown ? 1 : 0;
            return refresh(false, event.field);
        case kFieldAutoDrawOn:
            if (l.cbk % 2 == 0) l.cbk += l.cbk >= 0 ? 1 : -1;
            return refresh(false, event.field);
        case kFieldAutoDrawOff:
            if (l.cbk % 2 != 0) l.cbk += l.cbk > 0 ? -1 : 1;
            close_lens_drawing_window();
            return refresh(false, event.field);
        case kCmdWv: {
            const int rc = wavelength_button();
            return rc != 0 ? rc : refresh(true, event.field);
        }
        case kFieldNotes:
            return open_through_slot(kSlotAuxSheet, kAuxSheetLensNotes);
        case kFieldParaxialWindow:
            return open_through_slot(kSlotParaxialWindow, -1);
        case kFieldWavelengths:
            return open_through_slot(kSlotWavelengthSheet, -1);
        default:
            return 0;
    }
}

int medium_entered(const GridEvent& event, int n) {
    char name[kMediumNameLength + 1];
    const char* typed = sheet_event_text(event);
    std::string upper;
    for (const char* p = typed; *p != '\0' && upper.size() < kMediumNameLength; ++p) {
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    }
    std::snprintf(name, sizeof name, "%-10s", upper.c_str());
    if (std::strncmp(name, "RFL", 3) == 0) {
        if (n == 0) return set_error_msg(kMsgNoObjectSurfaceEntry);
        set_surface_medium(n, kMediumMirror, "REFLECT", 0);
    } else if (std::strncmp(name, "AIR", 3) == 0) {
        set_surface_medium(n, kMediumAir, name, 0);
    } else {
        int catalogue = 0;
        if (find_glass(name, catalogue) >= 0) {
            set_surface_medium(n, kMediumGlass, name, 0);
        } else {
            const bool push = command_context_letter() != kLensContext;
            if (push) push_command_context(kLensContext);
            const int rc = run_command_string(typed, 1);
            if (push) pop_command_context();
            if (rc != 0) return set_error_msg(kMsgGlassNotFound, upper.c_str());
        }
    }
    lens_flags().materials_changed = 1;
    return 0;
}

int value_entered(const GridEvent& event) {
    LensData& l = lens_data();
    const int n = l.current_surface;
    const double v = event.value.d;
    switch (event.field) {
        case kFieldMedium: {
            const int rc = medium_entered(event, n);
            return rc != 0 ? rc : refresh(true, event.field);
        }
        case kCmdTit:
            std::snprintf(l.title, sizeof l.title, "%s", sheet_event_text(event));
            std::snprintf(l.title_copy, sizeof l.title_copy, "%s", l.title);
            return refresh(false, event.field);
        case kCmdObh:
            l.object_height = std::fabs(v) <= kTiny ? -1e14 : v;
            l.field_is_angle = 0;
            break;
        case kCmdAng: {
            l.field_is_angle = 1;
            if (v == 0.0) {
                l.field_angle = kLeastNonZero;
            } else {
                const double t = surface(0).thickness;
                const double p = l.entrance_pupil_position;
                // Stored in radians, as the aiming of the pupil sees it from the object.
                l.field_angle = std::atan(std::tan(v / kDegrees) * (p + t) / t);
            }
            break;
        }
        case kCmdEbr:
            l.entrance_beam_radius = std::fabs(v) < kTiny ? 1.0 : std::fabs(v);
            l.aperture_is_na = 0;
            break;
        case kCmdNao: {
            const SurfaceRecord& object = surface(0);
            const double limit = object.index != nullptr ? object.index[0] : 1.0;
            if (std::fabs(v) > limit) {
                status_msg(kMsgSheetNaAboveIndex, v, limit);
                return 0;
            }
            l.object_na = v;
            l.aperture_is_na = 1;
            break;
        }
        case kCmdWv:
            if (v <= 0) {
                msg_box(kMsgBadWavelength);
                return 0;
            }
            if (l.wavelengths != nullptr) l.wavelengths[0].wavelength = v;
            if (v < 0.24 || v > 2.4) msg_box(kMsgWavelengthOutsideRange);
            lens_flags().wavelengths_changed = 1;
            mark_lens_bounds_stale();
            break;
        case kFieldCurvature:
        case kFieldRadius:
            if (event.argument == 1) {
                surface(n).curvature =
                    event.field == kFieldCurvature ? v : (std::fabs(v) <= kTiny ? 0.0 : 1.0 / v);
                surface(n).curvature_kind = 7;
            } else {
                set_sheet_value(event.field, n, v);
            }
            break;
        default:
            set_sheet_value(event.field, n, v);
            break;
    }
    return refresh(true, event.field);
}

int command_line(const char* line, const GridEvent& event) {
    std::string word;
    for (const char* p = line; *p == ' ' || *p == '\t'; ++p) line = p + 1;
    for (const char* p = line; *p != '\0' && *p != ' ' && *p != '\t' && *p != '('; ++p) {
        word += *p;
    }
    const int command = lookup_symbol(word.c_str());
    LensData& l = lens_data();
    if (command == kCmdOpen || command == kCmdOpenLensDialog || command == kCmdRevert ||
        command == kCmdImportLens || command == kCmdImportLensDialog) {
        revert_copy_save(kMsgRevertBeforeNewLens);
        close_lens_drawing_window();
        drop_element_drawings_for_new_lens();
        st().first = st().last = 0;
        pop_command_context();
        clear_state_flag(kFlagSpreadsheetOpen);
        clear_state_flag(kFlagSingleCommandUpdate);
        clear_group_selection();
        const int rc = run_command_string(line, 0);
        if (rc == 0) {
            revert_copy_restore(kMsgRevertBeforeNewLens, 0);
            revert_copy_save(kMsgSheetRevertCopy);
            const int image = l.image_surface;
            set_level_rows(image < 3 ? 9 : std::max(9, image + 5));
            set_level_cursor(std::fabs(surface(0).thickness) > 9.9e7 ? 424 : 425, 0, 0);
        } else {
            revert_copy_restore(kMsgRevertBeforeNewLens, 1);
        }
        set_state_flag(kFlagSingleCommandUpdate);
        set_state_flag(kFlagSpreadsheetOpen);
        push_command_context(kLensContext);
        const int again = refresh(false, 0);
        return rc != 0 ? rc : again;
    }
    bool cleared = false;
    bool popped = false;
    std::string upper;
    for (char c : word) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "EXECUTE_SCPFILE" || line[0] == '*') {
        pop_command_context();
        popped = true;
        clear_state_flag(kFlagSpreadsheetOpen);
        clear_state_flag(kFlagSingleCommandUpdate);
        cleared = true;
    } else if (upper.size() > 2 && upper.compare(upper.size() - 2, 2, "_L") == 0) {
        int words = 0;
        bool in_word = false;
        for (const char* p = line; *p != '\0'; ++p) {
            const bool blank = *p == ' ' || *p == '\t';
            if (!blank && !in_word) ++words;
            in_word = !blank;
        }
        if (words > 2) {
            pop_command_context();
            popped = true;
        }
    }
    if (event.first_index >= 0 && event.first_index <= l.image_surface) {
        set_current_surface(event.first_index);
    }
    const int configuration = l.current_configuration;
    const int rc = run_command_string(line, 1);
    if (cleared) {
        set_state_flag(kFlagSingleCommandUpdate);
        set_state_flag(kFlagSpreadsheetOpen);
    }
    if (popped) push_command_context(kLensContext);
    if (st().open == 0) return rc;  // the line closed the sheet
    if (rc != 0 && l.current_configuration == configuration) return rc;
    const int again = refresh(false, event.field);
    return rc != 0 ? rc : again;
}

// The sheet's revert copy, counted by the kit while the sheet holds it; one taken again over a
// held one is written afresh.
void take_sheet_copy(SurfaceSheetState& s) {
    if (s.kit.holds_copy) {
        revert_copy_save(kMsgSheetRevertCopy);
        return;
    }
    sheet_take_copy(s.kit);
}

int release_sheet_copy(SurfaceSheetState& s, int mode) {
    if (!s.kit.holds_copy) return revert_copy_restore(kMsgSheetRevertCopy, mode);
    return sheet_release_copy(s.kit, mode);
}

int create_event() {
    SurfaceSheetState& s = st();
    // Shown again after a level on top of it has gone, without having been closed: its revert
    // copy and its context are still in place.
    const bool reshown = s.open != 0;
    s.open = 1;
    clear_state_flag(kFlagSpecialDataChosen);
    set_state_flag(kFlagSingleCommandUpdate);
    if (s.kept == 0 && !reshown) {
        UpdateOutputSwitch output;
        lens_setup(0);
        take_sheet_copy(s);
    }
    {
        UpdateOutputSwitch output;
        lens_setup(0);
    }
    set_level_header_rows(kSheetHeaderRows, 0, 0);
    s.first = s.last = 0;
    set_state_flag(kFlagSingleCommandUpdate);
    set_state_flag(kFlagSpreadsheetOpen);
    if (!reshown) push_command_context(kLensContext);
    int rc = rewrite();
    if (rc == 0) rc = autodraw(1, 1);
    s.built = 1;
    return rc;
}

int close_event(int end_mode) {
    SurfaceSheetState& s = st();
    // A level being pushed is told so before it is first shown: nothing is open yet.
    if (s.open == 0) return 0;
    s.open = 0;
    s.first = s.last = 0;
    pop_command_context();
    clear_state_flag(kFlagSpreadsheetOpen);
    s.kept = end_mode == 1 ? 1 : 0;
    if (s.kept) {
        if (s.built) {
            s.kept_configurations = lens_data().configuration_count;
            s.kept_configuration = lens_data().current_configuration;
        }
        return 0;
    }
    close_lens_drawing_window();
    const int rc = release_sheet_copy(s, end_mode == -1 ? 1 : 0);
    if (rc != 0) show_error(rc);
    clear_state_flag(kFlagSingleCommandUpdate);
    clear_group_selection();
    s.built = 0;
    msg_box(kMsgSheetClosed);
    return 0;
}

std::string number_text(double v) {
    return shortest_number_text(v);
}

// The command that would set a button cell's present state, for the command line; empty when
// the state is plain.
std::string option_text(int field, const SurfaceRecord& s) {
    char t[128] = {};
    switch (field) {
        case kFieldCurvatureOption:
        case kFieldObjectCurvatureOption:
        case kFieldImageCurvatureOption: {
            const std::string value = number_text(s.curvature_solve_value);
            const bool with_value = s.curvature_solve_value != 0.0;
            switch (s.curvature_kind) {
                case kCurvaturePickup:
                case kCurvaturePickupNegated: {
                    const char* word = s.curvature_kind == kCurvaturePickup ? "pk cv" : "pk cvm";
                    if (with_value) {
                        std::snprintf(t, sizeof t, "%s %d  %s", word, s.curvature_source,
                                      value.c_str());
                    } else {
                        std::snprintf(t, sizeof t, "%s %d", word, s.curvature_source);
                    }
                    break;
                }
                case kCurvatureAxialSlope:
                    std::snprintf(t, sizeof t, "pu  %s", value.c_str());
                    break;
                case kCurvatureChiefSlope:
                    std::snprintf(t, sizeof t, "puc  %s", value.c_str());
                    break;
                case kCurvatureAxialIncidence:
                    std::snprintf(t, sizeof t, "pi  %s", value.c_str());
                    break;
                case kCurvatureChiefIncidence:
                    std::snprintf(t, sizeof t, "pic  %s", value.c_str());
                    break;
                case kCurvatureAxialAplanatic:
                    std::snprintf(t, sizeof t, "al");
                    break;
                case kCurvatureChiefAplanatic:
                    std::snprintf(t, sizeof t, "alc");
                    break;
                default:
                    break;
            }
            break;
        }
        case kFieldThicknessOption:
        case kFieldImageThicknessOption:
        case kFieldObjectThicknessOption: {
            const std::string value = number_text(s.thickness_solve_value);
            const std::string value2 = number_text(s.thickness_solve_value2);
            const bool with_value = s.thickness_solve_value != 0.0;
            switch (s.thickness_kind) {
                case kThicknessPickup:
                case kThicknessPickupNegated: {
                    const char* word = s.thickness_kind == kThicknessPickup ? "pk th" : "pk thm";
                    if (with_value) {
                        std::snprintf(t, sizeof t, "%s %d  %s", word, s.thickness_source,
                                      value.c_str());
                    } else {
                        std::snprintf(t, sizeof t, "%s %d", word, s.thickness_source);
                    }
                    break;
                }
                case kThicknessLength:
                case kThicknessLengthNegated: {
                    const char* word = s.thickness_kind == kThicknessLength ? "pk ln" : "pk lnm";
                    if (with_value) {
                        std::snprintf(t, sizeof t, "%s %d %d  %s", word, s.thickness_source,
                                      s.thickness_source2, value.c_str());
                    } else {
                        std::snprintf(t, sizeof t, "%s %d %d", word, s.thickness_source,
                                      s.thickness_source2);
                    }
                    break;
                }
                case kThicknessAxialHeight:
                    std::snprintf(t, sizeof t, "py  %s", value.c_str());
                    break;
                case kThicknessChiefHeight:
                    std::snprintf(t, sizeof t, "pyc  %s", value.c_str());
                    break;
                case kThicknessEdge:
                    std::snprintf(t, sizeof t, "et  %s %s", value.c_str(), value2.c_str());
                    break;
                default:
                    break;
            }
            break;
        }
        case kFieldApertureOption:
            if (s.aperture_kind == kAperturePickup)
                std::snprintf(t, sizeof t, "pk  ap  %d", s.aperture_source);
            break;
        case kFieldMediumOption:
        case kFieldObjectMediumOption:
            if (s.medium_kind == kMediumPickup)
                std::snprintf(t, sizeof t, "pk gla %d", s.medium_source);
            break;
        default:
            break;
    }
    return t;
}

int selected_event(GridEvent& event) {
    int first = 0;
    int last = 0;
    if (event.field == kCmdWv) {
        first = last = 0;
    } else {
        sheet_selected_range(event, &first, &last);
    }
    if (event.text != nullptr) {
        char* out = event.text;
        const std::size_t size = kGridTextBufferSize;  // the grid's edit-text buffer
        const LensData& l = lens_data();
        const int n = l.current_surface;
        switch (event.field) {
            case kFieldRadius:
            case kFieldThickness:
            case kFieldAperture:
            case kFieldCurvature:
            case kCmdObh:
            case kCmdAng:
            case kCmdEbr:
            case kCmdNao:
            case kCmdWv:
                std::snprintf(
                    out, size, "%s",
                    number_text(get_lens_value(event.field, event.field == kCmdWv ? 1 : n))
                        .c_str());
                break;
            case kFieldMedium:
                std::snprintf(out, size, "%s", surface(n).medium_name);
                break;
            case kCmdTit:
                std::snprintf(out, size, "%s", l.title);
                break;
            case kFieldConfiguration:
                std::snprintf(out, size, "%d", l.current_configuration);
                break;
            case kFieldCurvatureOption:
            case kFieldThicknessOption:
            case kFieldApertureOption:
            case kFieldMediumOption:
            case kFieldImageThicknessOption:
            case kFieldObjectMediumOption:
            case kFieldObjectCurvatureOption:
            case kFieldObjectThicknessOption:
            case kFieldImageCurvatureOption: {
                // A plain state leaves the edit text as it was.
                const std::string option = option_text(event.field, surface(n));
                if (!option.empty()) std::snprintf(out, size, "%s", option.c_str());
                break;
            }
            case kFieldSpecialData: {
                char names[kSpecialDataNamesSize];
                const int count = special_data_type_name(n, names, sizeof names);
                const char* note = surface(n).note;
                const bool has_note = note != nullptr && note[0] != '\0';
                if (has_note && count > 0) {
                    msgbox_printf("%s\n%s", note, names);
                } else if (has_note) {
                    msgbox_printf("%s\n", note);
                } else if (count > 0) {
                    msgbox_printf("%s", names);
                }
                break;
            }
            default:
                break;
        }
    }
    if (first != st().first || last != st().last) {
        st().first = first;
        st().last = last;
        autodraw(0, event.field);
    }
    return 0;
}

int step_event(GridEvent& event) {
    const double units = lens_data().units;
    const bool scaled = std::fabs(units - 1.0) >= kTiny;
    const bool reciprocal = lens_flags().spreadsheet_radius_mode == 0 && event.value_type == 2;
    double v = event.value.d;
    if (reciprocal && std::fabs(v) > kTiny) v = 1.0 / v;
    if (scaled) v *= units;
    event.value.d = v;
    snap_to_test_plate(event);
    v = event.value.d;
    if (scaled) v /= units;
    if (reciprocal && std::fabs(v) > kTiny) v = 1.0 / v;
    event.value.d = v;
    return 0;
}

int insert_event(const GridEvent& event) {
    int first = 0;
    int last = 0;
    sheet_selected_range(event, &first, &last);
    int at = 0;
    if (event.argument == 0) {
        if (first == 0) return set_error_msg(kMsgInsertRefused, first);
        at = first;
    } else {
        at = last + 1;
        if (at > image_surface()) return set_error_msg(kMsgInsertRefused, at);
    }
    if (image_surface() >= get_setting_int(kSetSurfaceLimit, 0, 0) ||
        image_surface() >= surface_limit()) {
        return set_error_msg(kMsgSurfaceLimit, surface_limit());
    }
    return insert_surface(at);
}

// Every event but a list step and a line typed into a cell makes its row the current surface.
void at_event_row(const GridEvent& event) {
    if (event.first_index >= 0 && event.first_index <= image_surface() &&
        event.code != kLevelEventTypedText) {
        set_current_surface(event.first_index);
    }
}

int activated(const GridEvent& event) {
    at_event_row(event);
    return button_event(event);
}

int edited(const GridEvent& event) {
    at_event_row(event);
    return value_entered(event);
}

int typed(const char* line, const GridEvent& event) {
    at_event_row(event);
    return command_line(line, event);
}

// What the kit leaves to the sheet: the list steps through the test-glass radii and the row
// actions, which check their range, edit the surfaces and set the lens up again.
int other_event(GridEvent& event) {
    switch (event.code) {
        case kLevelEventListDown:
        case kLevelEventListUp:
        case kLevelEventListStart:
            return step_event(event);
        default:
            break;
    }
    at_event_row(event);
    int first = 0;
    int last = 0;
    int rc = 0;
    switch (event.code) {
        case kLevelEventRowAction:
            rc = insert_event(event);
            break;
        case kGridActionDelete:
        case kGridActionCut:
        case kGridActionCopy: {
            rc = range_checked(event, &first, &last, event.code != kGridActionCopy);
            if (rc == 0 && event.code != kGridActionDelete) rc = copy_range(first, last);
            if (rc == 0 && event.code != kGridActionCopy) {
                for (int n = last; n >= first && rc == 0; --n) rc = delete_surface(n);
                set_current_surface(std::min(first, image_surface()));
            }
            if (rc == 0 && event.code == kGridActionCopy) return 0;
            break;
        }
        case kGridActionReverse: {
            sheet_selected_range(event, &first, &last);
            if (first < 1 || last >= image_surface() || first >= image_surface()) {
                return set_error_msg(kMsgReverseRange);
            }
            int message = 0;
            int at = -1;
            if (!check_reverse_range(first, last, &message, &at)) {
                return at >= 0 ? set_error_msg(message, at) : set_error_msg(message);
            }
            reverse_surface_range(first, last);
            break;
        }
        case kGridActionNegate:
            sheet_selected_range(event, &first, &last);
            negate_surface_range(first, last);
            break;
        case kGridActionPaste:
            rc = paste(event);
            break;
        case kGridActionCatalogParts:
            open_catalog_parts();
            return 0;
        case kGridActionInsertLensFile:
            rc = insert_lens_file();
            break;
        case kGridActionMakeElement:
            sheet_selected_range(event, &first, &last);
            rc = make_group(first, last);
            break;
        case kGridActionDissolveGroup: {
            const int n = lens_data().current_surface;
            if (surface(n).group_role != kRoleFirst) return set_error_msg(kMsgNoGroupStarts, n);
            ungroup_surfaces(n);
            break;
        }
        case kGridActionScale: {
            sheet_selected_range(event, &first, &last);
            ArgCell factor{};
            rc = prompt_param(kParamScaleFactor, &factor);
            if (rc != 0) return rc;
            const double f = factor.type == kArgInt ? factor.value.i : factor.value.d;
            // The general scaling command: quantity 3 (a factor over a range of surfaces), BY.
            char line[96];
            std::snprintf(line, sizeof line, "scale 3 1 %d %d %s", first, last,
                          format_number(f, 2, 0));
            rc = run_quiet(line, 0);
            break;
        }
        default:
            return 0;
    }
    if (rc != 0) return rc;
    return refresh(true, event.field);
}

// The sheet opens and closes itself: it sets the lens up, takes its copy and context and draws
// the lens as its own; a copy under its name may also come from a new lens.
const SheetEvents kEvents{
    .opening = create_event,
    .opens_itself = true,
    .cell_text = selected_event,
    .edited = edited,
    .activated = activated,
    .typed = typed,
    .other = other_event,
    .types_empty_lines = true,
    .closing = close_event,
    .asks_of_any_copy = true,
};

}  // namespace

void sheet_selected_range(const GridEvent& event, int* first, int* last) {
    const int image = image_surface();
    int current = std::clamp(event.first_index, 0, image);
    set_current_surface(current);
    int other = event.last_index == -1 ? image : std::clamp(event.last_index, 0, image);
    if (event.range_rows < 0) std::swap(current, other);
    *first = current;
    *last = other;
}

void snap_to_test_plate(GridEvent& event) {
    const int count = test_glass_count();
    if (count < 2) return;
    const double value = event.value.d;
    const bool negative = value < 0;
    const double scaled = std::fabs(value) * kTestGlassScale + 0.5;
    const double last = test_glass_radius(count - 1);
    const double before = test_glass_radius(count - 2);
    int position = count;
    if (scaled != 0.0 && scaled <= 2.0 * last - before) {
        const double k = std::trunc(scaled);
        // Walk forward from where the nearest radius can lie while the distance keeps falling.
        int i = k < test_glass_radius(count / 2) ? 0 : std::max(0, count / 2 - 1);
        double best = std::fabs(k - test_glass_radius(i));
        while (i + 1 < count) {
            const double d = std::fabs(k - test_glass_radius(i + 1));
            if (d >= best) break;
            best = d;
            ++i;
        }
        position = i;
    }
    const int direction =
        event.code == kLevelEventListDown ? -1 : (event.code == kLevelEventListUp ? 1 : 0);
    if (direction != 0) {
        // A negative radius steps the other way through the magnitudes.
        const int step = negative ? -direction : direction;
        if (step < 0 && position >= 1) position -= 1;
        if (step > 0) position += 1;
    }
    if (position >= 0 && position < count) {
        const double r = static_cast<double>(test_glass_radius(position)) / kTestGlassScale;
        event.value.d = negative ? -r : r;
    } else {
        event.value.d = 0.0;
    }
}

int surface_sheet_event(GridEvent& event) {
    if (surface_array() == nullptr) return 0;
    return sheet_dispatch(st().kit, kEvents, event);
}
