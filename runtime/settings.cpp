#include "runtime/settings.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "numeric/memory.h"
#include "platform/paths.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "runtime/window_titles.h"
#include "tables/table_names.h"

namespace {

constexpr std::uint8_t I = kSettingInt;
constexpr std::uint8_t D = kSettingDouble;
constexpr std::uint8_t C = kSettingChar;

constexpr int kPathText = 260;

struct FlagOption {
    int id;
    int option;
};

constexpr FlagOption kFlagOptions[] = {
    {20, 1},  {21, 2},  {22, 3},  {23, 4},  {19, 5},  {36, 6},  {35, 7},  {40, 8},  {42, 10},
    {43, 11}, {48, 12}, {52, 13}, {53, 14}, {54, 15}, {55, 16}, {56, 17}, {57, 18}, {69, 19},
};

constexpr int kArgumentCellLimit = 4;

// The hooks installed at start, the schema with its offsets, the record it lays out, whether
// start-up is done, the test glass loader, the pending graphics values, the compiler options, and
// the running settings command's argument cells and dimension answer.
struct SettingsState {
    SettingsHooks hooks;
    // The schema, in id order. Offsets are filled in by the layout.
    SettingDef schema[kSettingCount] = {
        {D, 0, 0, 0},          // 0 Graphics_scale
        {D, 0, 0, 0},          // 1 Graphics_current_scale
        {D, 3, 0, 0},          // 2 Wavelength_default_0.._2
        {D, 3, 0, 0},          // 3 Weight_default_0.._2
        {D, 0, 0, 0},          // 4 Graphics_minimum_scale
        {I, 0, 0, 0},          // 5 Oprd_maxvariables
        {I, 0, 0, 0},          // 6 operand capacity
        {I, 0, 0, 0},          // 7 Oprd_maxconops
        {I, 0, 0, 0},          // 8 surface limit
        {I, 0, 0, 0},          // 9 Max_wavelengths
        {I, 0, 0, 0},          // 10 Max_spd_rays
        {I, 0, 0, 0},          // 11 Print_destination
        {I, 0, 0, 0},          // 12 Plot_destination
        {I, 0, 0, 0},          // 13 kept for the command language
        {I, 17, 4, 0},         // 14 Window_geometry_0.._16
        {I, 256, 0, 0},        // 15 Graphics_pen_sequence
        {I, 0, 0, 0},          // 16 Program_level
        {I, 0, 0, 0},          // 17 Graphics_pen_width
        {C, 11, 0, 0},         // 18 Designer
        {C, 0, 0, 0},          // 19 Output_page_mode
        {C, 0, 0, 0},          // 20 output on
        {C, 0, 0, 0},          // 21 Output_log
        {C, 0, 0, 0},          // 22 Output_echo
        {C, 0, 0, 0},          // 23 step mode
        {C, 0, 0, 0},          // 24 diagnostic output
        {C, kPathText, 0, 0},  // 25 Lens_file
        {C, kPathText, 0, 0},  // 26 Edit_file
        {C, kPathText, 0, 0},  // 27 Current_directory
        {C, kPathText, 0, 0},  // 28 Current_text_directory
        {C, 47, 0, 0},         // 29 operand text
        {C, 0, 0, 0},          // 30 Graphics_axes
        {C, 0, 0, 0},          // 31 Graphics_labels
        {C, kPathText, 0, 0},  // 32 data folder
        {C, kPathText, 0, 0},  // 33 Public_directory
        {C, 0, 0, 0},          // 34 Graphics_autoclear
        {C, 0, 0, 0},          // 35 Show_toolbar
        {C, 0, 0, 0},          // 36 Show_menubar
        {C, kPathText, 0, 0},  // 37 Print_file
        {C, kPathText, 0, 0},  // 38 Plot_file
        {C, 0, 0, 0},          // 39 Revert_enable
        {C, 0, 0, 0},          // 40 Graphics_white_bkgnd
        {C, 0, 0, 0},          // 41 Lens_auto_open
        {C, 0, 0, 0},          // 42 Graphics_black_and_white
        {C, 0, 0, 0},          // 43 Graphics_alternate_mode
        {C, 37, 0, 0},         // 44 Address1
        {C, 37, 0, 0},         // 45 Address2
        {C, 37, 0, 0},         // 46 Address3
        {C, 0, 0, 0},          // 47 Spreadsheet_curvature_mode
        {C, 0, 0, 0},          // 48 Print_zero
        {C, 0, 0, 0},          // 49 Non_zero_special_data
        {C, 0, 0, 0},          // 50 KPL_auto_compile
        {C, 0, 0, 0},          // 51 Element_drawing_commas
        {C, 0, 0, 0},          // 52 Graphics_HPGL2
        {C, 0, 0, 0},          // 53 Cmd_history_aliases
        {C, 0, 0, 0},          // 54 Output_text
        {C, 0, 0, 0},          // 55 Trim_numeric_output
        {C, 0, 0, 0},          // 56 No_error_boxes
        {C, 0, 0, 0},          // 57 Five_place_numeric_output
        {C, kPathText, 0, 0},  // 58 MRU_file_1
        {C, kPathText, 0, 0},  // 59 MRU_file_2
        {C, kPathText, 0, 0},  // 60 MRU_file_3
        {C, kPathText, 0, 0},  // 61 MRU_file_4
        {C, kPathText, 0, 0},  // 62 temporary-files folder
        {C, 0, 0, 0},          // 63 Entrance_pup_wvfrnt_coords
        {C, 0, 0, 0},          // 64 Rpt_gfx_date_and_time
        {C, kPathText, 0, 0},  // 65 Test_glass_file
        {C, 16, 0, 0},         // 66 Version_number
        {C, 81, 0, 0},         // 67 KPL_compiler_options
        {C, 0, 0, 0},          // 68 Surface_labels
        {C, 0, 0, 0},          // 69 Graphics_isomorphic_labels
        {C, 0, 0, 0},          // 70 Qr_mtf
        {C, 0, 0, 0},          // 71 Tav_lens_file_extension
        {C, kPathText, 0, 0},  // 72 Private_directory
        {C, 0, 0, 0},          // 73 Check_escape
    };
    std::uint8_t* record = nullptr;
    int record_size = 0;
    bool startup_done = false;
    TestGlassLoader test_glass_loader = nullptr;
    std::int32_t pending[3] = {};
    char compiler_options[kCompilerOptionsSize] = {};
    // Argument cells of the running settings command, and the ints that 8001 and 8002 address.
    std::int32_t cells[kArgumentCellLimit] = {};
    int cell_count = 0;
    std::int32_t dimension_answer = 0;
};

SettingsState g_settings;

bool valid_id(int id) {
    return id >= 0 && id < kSettingCount && g_settings.record != nullptr;
}

int element_size(std::uint8_t type) {
    return type == kSettingInt ? 4 : type == kSettingDouble ? 8 : 1;
}

// Byte position of element [i][j] of a number setting, or -1 outside its dimensions. Absent
// dimensions take no index.
int number_element_offset(const SettingDef& d, int i, int j) {
    if (d.dim1 == 0) return d.offset;
    if (i < 0 || i >= d.dim1) return -1;
    int index = i;
    if (d.dim2 != 0) {
        if (j < 0 || j >= d.dim2) return -1;
        index = i * d.dim2 + j;
    }
    return d.offset + index * element_size(d.type);
}

template <typename T>
T read_at(int offset) {
    T value;
    std::memcpy(&value, g_settings.record + offset, sizeof(T));
    return value;
}

template <typename T>
void write_at(int offset, T value) {
    std::memcpy(g_settings.record + offset, &value, sizeof(T));
}

void apply_lens_file_caption(const char* path) {
    if (path[0] == '\0') {
        set_window_titles(msg_text(kMsgMainCaption), nullptr);
        clear_state_flag(kFlagLensFileNamed);
        return;
    }
    std::string title = platform::file_name_part(path);
    if (title.size() > 260) title.resize(260);
    const char* lens_title =
        g_settings.hooks.lens_title != nullptr ? g_settings.hooks.lens_title() : "";
    const std::string caption = std::string(lens_title) + " [" + title + "]";
    set_window_titles(caption.c_str(), nullptr);
    set_state_flag(kFlagLensFileNamed);
}

void change_current_folder(const char* path) {
    if (path[0] == '\0') return;
    std::error_code ignored;
    std::filesystem::current_path(platform::to_native_path(path), ignored);
}

void build_compiler_options(const char* options) {
    std::snprintf(g_settings.compiler_options, sizeof g_settings.compiler_options, "%s%s", options,
                  kCompilerOptionsSuffix);
}

}  // namespace

const SettingDef* setting_def(int id) {
    if (id < 0 || id >= kSettingCount) return nullptr;
    return &g_settings.schema[id];
}

int settings_layout() {
    settings_release();
    int offset = 0;
    for (SettingDef& d : g_settings.schema) {
        const int size_of_element = element_size(d.type);
        if (size_of_element > 1) {
            offset = (offset + size_of_element - 1) / size_of_element * size_of_element;
        }
        int size = size_of_element;
        if (d.dim1 != 0) {
            size *= d.dim1;
            if (d.dim2 != 0) size *= d.dim2;
        }
        if (offset + size > kSettingsRecordLimit) {
            g_settings.record_size = offset;
            return -1;
        }
        d.offset = static_cast<std::int16_t>(offset);
        offset += size;
    }
    g_settings.record_size = offset;
    g_settings.record = static_cast<std::uint8_t*>(mem_alloc(static_cast<std::size_t>(offset)));
    return g_settings.record == nullptr ? -1 : 0;
}

int settings_record_size() {
    return g_settings.record_size;
}

void settings_release() {
    mem_free(g_settings.record);
    g_settings.record = nullptr;
}

bool setting_index_valid(int id, int i, int j) {
    if (id < 0 || id >= kSettingCount) return false;
    const SettingDef& d = g_settings.schema[id];
    if (d.dim1 == 0) return true;
    if (i < 0 || i >= d.dim1) return false;
    if (d.type == kSettingChar) return true;  // a text's second dimension is its length
    return d.dim2 == 0 || (j >= 0 && j < d.dim2);
}

std::int32_t get_setting_int(int id, int i, int j) {
    if (!valid_id(id) || g_settings.schema[id].type != kSettingInt) return 0;
    const int offset = number_element_offset(g_settings.schema[id], i, j);
    return offset < 0 ? 0 : read_at<std::int32_t>(offset);
}

double get_setting_double(int id, int i, int j) {
    if (!valid_id(id) || g_settings.schema[id].type != kSettingDouble) return 0.0;
    const int offset = number_element_offset(g_settings.schema[id], i, j);
    return offset < 0 ? 0.0 : read_at<double>(offset);
}

std::uint8_t get_setting_flag(int id) {
    if (!valid_id(id) || g_settings.schema[id].type != kSettingChar ||
        g_settings.schema[id].dim1 != 0)
        return 0;
    return g_settings.record[g_settings.schema[id].offset];
}

std::string setting_text(int id) {
    const char* text = get_setting_text(id, 0);
    return text != nullptr ? text : "";
}

char* get_setting_text(int id, int i) {
    if (!valid_id(id)) return nullptr;
    const SettingDef& d = g_settings.schema[id];
    if (d.type != kSettingChar || d.dim1 == 0) return nullptr;
    char* base = reinterpret_cast<char*>(g_settings.record + d.offset);
    if (d.dim2 == 0) return base;
    if (i < 0 || i >= d.dim1) return nullptr;
    return base + i * d.dim2;
}

int set_setting_int(int id, std::int32_t value, int i, int j) {
    if (!valid_id(id) || g_settings.schema[id].type != kSettingInt) return -1;
    const int offset = number_element_offset(g_settings.schema[id], i, j);
    if (offset < 0) return -1;
    if (g_settings.startup_done) {
        if (id == kSetSurfaceLimit) {
            // The surface limit is fixed; asking to change it only shows that nothing changes
            // before the next start.
            g_settings.pending[0] = 12;
            msg_box(kMsgTakesEffectNextStart);
            return 0;
        }
        if (id == kSetMaxWavelengths) {
            g_settings.pending[1] = value;
            msg_box(kMsgTakesEffectNextStart);
            return 0;
        }
        if (id == kSetMaxSpdRays) {
            if (g_settings.hooks.resize_spot_storage != nullptr &&
                g_settings.hooks.resize_spot_storage(value) != 0) {
                return set_error_msg(kMsgSpotStoreResizeFailed, value);
            }
            g_settings.pending[2] = value;
        }
    }
    write_at<std::int32_t>(offset, value);
    if ((id == 15 || id == 17) && g_settings.hooks.graphics_setting_changed != nullptr) {
        g_settings.hooks.graphics_setting_changed(id);
    }
    return 0;
}

int set_setting_double(int id, double value, int i, int j) {
    if (!valid_id(id) || g_settings.schema[id].type != kSettingDouble) return -1;
    const int offset = number_element_offset(g_settings.schema[id], i, j);
    if (offset < 0) return -1;
    write_at<double>(offset, value);
    return 0;
}

int setting_option_number(int id) {
    for (const FlagOption& f : kFlagOptions) {
        if (f.id == id) return f.option;
    }
    return 0;
}

int set_setting_flag(int id, std::uint8_t value) {
    if (!valid_id(id) || g_settings.schema[id].type != kSettingChar ||
        g_settings.schema[id].dim1 != 0)
        return -1;
    const std::uint8_t stored = value != 0 ? 1 : 0;
    g_settings.record[g_settings.schema[id].offset] = stored;
    if (g_settings.hooks.apply_window_option != nullptr) {
        g_settings.hooks.apply_window_option(id, setting_option_number(id), stored);
    }
    return 0;
}

int set_setting_text(int id, const char* text, int i) {
    if (!valid_id(id) || text == nullptr) return -1;
    const SettingDef& d = g_settings.schema[id];
    if (d.type != kSettingChar || d.dim1 == 0) return -1;
    const std::size_t length = std::strlen(text);
    char* target = nullptr;
    if (d.dim2 == 0) {
        if (length >= static_cast<std::size_t>(d.dim1)) return -1;
        target = reinterpret_cast<char*>(g_settings.record + d.offset);
    } else {
        if (i < 0 || i >= d.dim1 || length >= static_cast<std::size_t>(d.dim2)) return -1;
        target = reinterpret_cast<char*>(g_settings.record + d.offset + i * d.dim2);
    }

    if (id == kSetTestGlassFile) {
        // A name without a point gets the list extension; a name that no longer fits with it
        // is refused.
        std::string name = text;
        if (name.find('.') == std::string::npos) name += ".tgl";
        if (name.size() >= static_cast<std::size_t>(d.dim1)) return -1;
        if (g_settings.test_glass_loader != nullptr) {
            const int loaded = g_settings.test_glass_loader(name.c_str());
            if (loaded != 0 && g_settings.startup_done) {
                set_error_msg(loaded, name.c_str());
                if (*target != '\0') g_settings.test_glass_loader(target);
                return kErrorTextReady;
            }
        }
        std::memcpy(target, name.c_str(), name.size() + 1);
        return 0;
    }

    std::memmove(target, text, length + 1);
    switch (id) {
        case kSetLensFile:
            apply_lens_file_caption(target);
            break;
        case kSetCurrentDirectory:
        case kSetCurrentTextDirectory:
            change_current_folder(target);
            break;
        case kSetKplCompilerOptions:
            build_compiler_options(target);
            break;
        default:
            // Recent files (58..61) stay in the store, where the recent-file menu reads them.
            break;
    }
    return 0;
}

void* settings_item_address(int id, int* type_out) {
    if (type_out != nullptr) *type_out = 0;
    if (id == kSettingDim1Query || id == kSettingDim2Query) {
        if (g_settings.cell_count < 1) return nullptr;
        const SettingDef* d = setting_def(g_settings.cells[0]);
        if (d == nullptr) return nullptr;
        g_settings.dimension_answer = (id == kSettingDim1Query ? d->dim1 : d->dim2) - 1;
        if (type_out != nullptr) *type_out = kSettingItemInt;
        return &g_settings.dimension_answer;
    }
    if (id == kSettingElementQuery) return setting_element_address(type_out);
    if (!valid_id(id)) return nullptr;
    const SettingDef& d = g_settings.schema[id];
    int type = kSettingItemInt;
    if (d.type == kSettingDouble) type = kSettingItemDouble;
    if (d.type == kSettingChar) type = d.dim1 == 0 ? kSettingItemFlag : kSettingItemText;
    if (type_out != nullptr) *type_out = type;
    return g_settings.record + d.offset;
}

void set_setting_argument_cells(const std::int32_t* cells, int count) {
    g_settings.cell_count = 0;
    if (cells == nullptr || count < 0) return;
    if (count > kArgumentCellLimit) count = kArgumentCellLimit;
    for (int k = 0; k < count; ++k) g_settings.cells[k] = cells[k];
    g_settings.cell_count = count;
}

void* setting_element_address(int* type_out) {
    if (type_out != nullptr) *type_out = 0;
    if (g_settings.cell_count < 1) return nullptr;
    const int id = g_settings.cells[0];
    if (!valid_id(id)) return nullptr;
    const SettingDef& d = g_settings.schema[id];
    auto cell = [](int k, std::int32_t& out) {
        if (k >= g_settings.cell_count) return false;
        out = g_settings.cells[k];
        return true;
    };
    if (d.type == kSettingChar) {
        if (d.dim1 == 0) {
            if (type_out != nullptr) *type_out = kSettingItemFlag;
            return g_settings.record + d.offset;
        }
        std::int32_t n = 0;
        if (d.dim2 != 0 && !cell(3, n)) return nullptr;
        char* text = get_setting_text(id, n);
        if (text != nullptr && type_out != nullptr) *type_out = kSettingItemText;
        return text;
    }
    std::int32_t i = 0;
    std::int32_t j = 0;
    if (d.dim2 != 0) {
        if (!cell(1, i) || !cell(2, j)) return nullptr;
    } else if (d.dim1 != 0) {
        if (!cell(3, i)) return nullptr;
    }
    const int offset = number_element_offset(d, i, j);
    if (offset < 0) return nullptr;
    if (type_out != nullptr) {
        *type_out = d.type == kSettingDouble ? kSettingItemDouble : kSettingItemInt;
    }
    return g_settings.record + offset;
}

bool startup_done() {
    return g_settings.startup_done;
}
void set_startup_done(bool done) {
    g_settings.startup_done = done;
}

std::int32_t pending_capacity(int index) {
    return index >= 0 && index < 3 ? g_settings.pending[index] : 0;
}

void set_pending_capacity(int index, std::int32_t value) {
    if (index >= 0 && index < 3) g_settings.pending[index] = value;
}

void take_pending_capacities() {
    for (int k = 0; k < 3; ++k) g_settings.pending[k] = get_setting_int(kSetSurfaceLimit + k, 0, 0);
}

void store_pending_capacities() {
    // Written straight into the store: the exit hook runs after the start-up-done flag is
    // cleared, and no resize may happen on the way out.
    for (int k = 0; k < 3; ++k) {
        const int offset = g_settings.schema[kSetSurfaceLimit + k].offset;
        if (g_settings.record != nullptr) write_at<std::int32_t>(offset, g_settings.pending[k]);
    }
}

const char* compiler_options_text() {
    return g_settings.compiler_options;
}

void set_settings_hooks(const SettingsHooks& hooks) {
    g_settings.hooks = hooks;
}

void set_test_glass_loader(TestGlassLoader loader) {
    g_settings.test_glass_loader = loader;
}
