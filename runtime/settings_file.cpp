#include "runtime/settings_file.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ini_file.h"
#include "platform/locale.h"
#include "platform/status.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"

namespace {

constexpr char kGraphics[] = "Graphics";
constexpr char kLens[] = "Lens";
constexpr char kOptimization[] = "Optimization";
constexpr char kProgram[] = "Program";

constexpr int kWindowRows = 17;
constexpr int kPenSequenceLength = 256;

char g_text_buffer[kIniTextSize];

// --- formats of one value -----------------------------------------------------------------

std::string double_text(double value) {
    return format_number(value, 2, 0);
}

double read_double(const platform::IniDocument& doc, const char* section, const char* key,
                   double default_value) {
    char text[kIniDoubleText];
    doc.get_text(section, key, double_text(default_value), text, sizeof text);
    return std::strtod(text, nullptr);
}

int read_flag(const platform::IniDocument& doc, const char* section, const char* key,
              int default_flag) {
    char text[kIniFlagText];
    doc.get_text(section, key, default_flag != 0 ? "On" : "Off", text, sizeof text);
    return std::toupper(static_cast<unsigned char>(text[0])) == 'O' &&
           std::toupper(static_cast<unsigned char>(text[1])) == 'N';
}

const char* read_text(const platform::IniDocument& doc, const char* section, const char* key,
                      const char* default_text) {
    doc.get_text(section, key, default_text, g_text_buffer, sizeof g_text_buffer);
    return g_text_buffer;
}

// One leading decimal integer as "%ld" reads it: blanks, an optional sign, digits. Values
// beyond the int range are clamped.
bool scan_long(const char*& p, int& out) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(p, &end, 10);
    if (end == p) return false;
    p = end;
    if (value > INT_MAX) {
        out = INT_MAX;
    } else if (value < INT_MIN) {
        out = INT_MIN;
    } else {
        out = static_cast<int>(value);
    }
    return true;
}

// --- the key table ---------------------------------------------------------------------------

// How a key of the file is used. Most keys are read at start-up and written at exit; the others
// are marked in the table with the reason.
enum class KeyUse {
    read_and_written,
    read_only,      // read, never written: the file keeps what the user wrote
    written_only,   // written, never read: the reader leaves the setting alone
    written_reset,  // written; the reader stores the entry's default instead of the file's value
    constant,       // no key: the reader stores the entry's default
};

enum class KeyFormat {
    number,        // a double
    integer,       // a decimal int
    flag,          // "On" or "Off"
    text,          // the text as it stands
    window_rows,   // keys <key><row> of "x y width height"
    pen_sequence,  // the pen numbers, blank-separated
};

struct SettingKey {
    KeyUse use = KeyUse::read_and_written;
    KeyFormat format = KeyFormat::integer;
    int id = 0;
    const char* section = "";
    const char* key = "";
    int element = 0;  // a number: the element of its setting
    int rows = 0;     // window rows: how many
    double number_default = 0.0;
    int int_default = 0;              // integers and flags
    const char* text_default = "";    // texts and the pen sequence
    int (*flag_default)() = nullptr;  // a flag whose default depends on the machine
};

constexpr SettingKey number(int id, int element, const char* section, const char* key, double def) {
    return {.format = KeyFormat::number,
            .id = id,
            .section = section,
            .key = key,
            .element = element,
            .number_default = def};
}
constexpr SettingKey integer(int id, const char* section, const char* key, int def,
                             KeyUse use = KeyUse::read_and_written) {
    return {.use = use,
            .format = KeyFormat::integer,
            .id = id,
            .section = section,
            .key = key,
            .int_default = def};
}
constexpr SettingKey flag(int id, const char* section, const char* key, int def) {
    return {
        .format = KeyFormat::flag, .id = id, .section = section, .key = key, .int_default = def};
}
constexpr SettingKey machine_flag(int id, const char* section, const char* key, int (*def)()) {
    return {
        .format = KeyFormat::flag, .id = id, .section = section, .key = key, .flag_default = def};
}
constexpr SettingKey text(int id, const char* section, const char* key, const char* def,
                          KeyUse use = KeyUse::read_and_written) {
    return {.use = use,
            .format = KeyFormat::text,
            .id = id,
            .section = section,
            .key = key,
            .text_default = def};
}
constexpr SettingKey window_rows(int id, const char* section, const char* key_start, int rows) {
    return {.format = KeyFormat::window_rows,
            .id = id,
            .section = section,
            .key = key_start,
            .rows = rows};
}
constexpr SettingKey pen_sequence(int id, const char* section, const char* key, const char* def) {
    return {.format = KeyFormat::pen_sequence,
            .id = id,
            .section = section,
            .key = key,
            .text_default = def};
}
constexpr SettingKey constant(int id, int value) {
    return {.use = KeyUse::constant, .id = id, .int_default = value};
}

// Element drawings separate numbers with commas where the user's decimal separator is a point.
int decimal_comma_in_use() {
    return platform::user_decimal_separator() == ',' ? 1 : 0;
}

// Every key, in the order of the file. The reader stores each value through the setter of its
// type, side effects included, in this order.
const SettingKey kSettingKeys[] = {
    number(kSetGraphicsScale, 0, kGraphics, "Graphics_scale", 0.0),
    number(kSetGraphicsCurrentScale, 0, kGraphics, "Graphics_current_scale", 0.0),
    number(kSetWavelengthDefaults, 0, kLens, "Wavelength_default_0", 0.58756),
    number(kSetWavelengthDefaults, 1, kLens, "Wavelength_default_1", 0.48613),
    number(kSetWavelengthDefaults, 2, kLens, "Wavelength_default_2", 0.65627),
    number(kSetWeightDefaults, 0, kLens, "Weight_default_0", 1.0),
    number(kSetWeightDefaults, 1, kLens, "Weight_default_1", 1.0),
    number(kSetWeightDefaults, 2, kLens, "Weight_default_2", 1.0),
    number(kSetGraphicsMinimumScale, 0, kGraphics, "Graphics_minimum_scale", 1e-10),
    // The size of the optimisation's variable table is the user's to choose in the file: the
    // program reads it and never writes it, so the file keeps what the user wrote there.
    integer(kSetOprdMaxVariables, kOptimization, "Oprd_maxvariables", 50, KeyUse::read_only),
    // The operand and surface capacities are fixed; the file has no say in them.
    constant(kSetOperandCapacity, 51),
    integer(kSetOprdMaxConops, kOptimization, "Oprd_maxconops", 50),
    constant(kSetSurfaceLimit, 12),
    integer(kSetMaxWavelengths, kLens, "Max_wavelengths", 10),
    integer(kSetMaxSpdRays, kProgram, "Max_spd_rays", 10000),
    integer(kSetPrintDestination, kProgram, "Print_destination", 0),
    integer(kSetPlotDestination, kProgram, "Plot_destination", 0),
    window_rows(kSetWindowGeometry, kProgram, "Window_geometry_", kWindowRows),
    pen_sequence(kSetGraphicsPenSequence, kGraphics, "Graphics_pen_sequence", "1 2 3 4 5 6 7 8"),
    // This program runs at level 1 whatever the file says; the file tells other programs the
    // level that wrote it.
    integer(kSetProgramLevel, kProgram, "Program_level", 1, KeyUse::written_reset),
    integer(kSetGraphicsPenWidth, kGraphics, "Graphics_pen_width", 100),
    text(kSetDesigner, kLens, "Designer", "TAVO"),
    flag(kSetOutputPageMode, kProgram, "Output_page_mode", 1),
    flag(kSetOutputLog, kProgram, "Output_log", 0),
    flag(kSetOutputEcho, kProgram, "Output_echo", 0),
    text(kSetLensFile, kProgram, "Lens_file", ""),
    text(kSetEditFile, kProgram, "Edit_file", ""),
    // Start-up sets the folders from the installation at every start; the file records those of
    // the last run for other programs.
    text(kSetCurrentDirectory, kProgram, "Current_directory", "", KeyUse::written_only),
    text(kSetCurrentTextDirectory, kProgram, "Current_text_directory", "", KeyUse::written_only),
    flag(kSetGraphicsAxes, kGraphics, "Graphics_axes", 1),
    flag(kSetGraphicsLabels, kGraphics, "Graphics_labels", 1),
    text(kSetPrivateDirectory, kProgram, "Private_directory", "", KeyUse::written_only),
    text(kSetPublicDirectory, kProgram, "Public_directory", "", KeyUse::written_only),
    flag(kSetGraphicsAutoclear, kGraphics, "Graphics_autoclear", 1),
    flag(kSetShowToolbar, kProgram, "Show_toolbar", 1),
    flag(kSetShowMenubar, kProgram, "Show_menubar", 1),
    text(kSetPrintFile, kProgram, "Print_file", "tavo.txt"),
    text(kSetPlotFile, kProgram, "Plot_file", "tavo"),
    flag(kSetRevertEnable, kProgram, "Revert_enable", 1),
    flag(kSetGraphicsWhiteBkgnd, kGraphics, "Graphics_white_bkgnd", 1),
    flag(kSetLensAutoOpen, kProgram, "Lens_auto_open", 0),
    flag(kSetGraphicsBlackAndWhite, kGraphics, "Graphics_black_and_white", 0),
    flag(kSetGraphicsAlternateMode, kGraphics, "Graphics_alternate_mode", 0),
    text(kSetAddress1, kLens, "Address1", ""),
    text(kSetAddress2, kLens, "Address2", ""),
    text(kSetAddress3, kLens, "Address3", ""),
    flag(kSetSpreadsheetCurvatureMode, kProgram, "Spreadsheet_curvature_mode", 0),
    flag(kSetPrintZero, kProgram, "Print_zero", 0),
    flag(kSetNonZeroSpecialData, kLens, "Non_zero_special_data", 0),
    flag(kSetKplAutoCompile, kProgram, "KPL_auto_compile", 1),
    machine_flag(kSetElementDrawingCommas, kLens, "Element_drawing_commas", decimal_comma_in_use),
    flag(kSetGraphicsHpgl2, kGraphics, "Graphics_HPGL2", 1),
    flag(kSetCmdHistoryAliases, kProgram, "Cmd_history_aliases", 1),
    flag(kSetOutputText, kProgram, "Output_text", 1),
    flag(kSetTrimNumericOutput, kProgram, "Trim_numeric_output", 0),
    flag(kSetNoErrorBoxes, kProgram, "No_error_boxes", 0),
    flag(kSetFivePlaceNumericOutput, kProgram, "Five_place_numeric_output", 0),
    text(kSetMruFile1, kProgram, "MRU_file_1", ""),
    text(kSetMruFile1 + 1, kProgram, "MRU_file_2", ""),
    text(kSetMruFile1 + 2, kProgram, "MRU_file_3", ""),
    text(kSetMruFile4, kProgram, "MRU_file_4", ""),
    flag(kSetEntrancePupWvfrntCoords, kLens, "Entrance_pup_wvfrnt_coords", 0),
    flag(kSetRptGfxDateAndTime, kProgram, "Rpt_gfx_date_and_time", 1),
    text(kSetTestGlassFile, kProgram, "Test_glass_file", "mg.tgl"),
    // The version of the program that wrote the file; the running program's own is kept.
    text(kSetVersionNumber, kProgram, "Version_number", kProgramVersion, KeyUse::written_reset),
    text(kSetKplCompilerOptions, kProgram, "KPL_compiler_options", ""),
    flag(kSetSurfaceLabels, kProgram, "Surface_labels", 1),
    flag(kSetGraphicsIsomorphicLabels, kGraphics, "Graphics_isomorphic_labels", 1),
    flag(kSetQrMtf, kLens, "Qr_mtf", 0),
    flag(kSetTavLensFileExtension, kProgram, "Tav_lens_file_extension", 0),
    flag(kSetCheckEscape, kProgram, "Check_escape", 1),
};

std::string row_key(const SettingKey& k, int row) {
    return k.key + std::to_string(row);
}

// Stores the entry's default, for the keys whose file value the reader does not take.
void store_default(const SettingKey& k) {
    if (k.format == KeyFormat::text) {
        set_setting_text(k.id, k.text_default, 0);
    } else {
        set_setting_int(k.id, k.int_default, 0, 0);
    }
}

void read_key(const platform::IniDocument& doc, const SettingKey& k) {
    switch (k.format) {
        case KeyFormat::number:
            set_setting_double(k.id, read_double(doc, k.section, k.key, k.number_default),
                               k.element, 0);
            break;
        case KeyFormat::integer:
            set_setting_int(k.id, doc.get_int(k.section, k.key, k.int_default), 0, 0);
            break;
        case KeyFormat::flag: {
            const int def = k.flag_default != nullptr ? k.flag_default() : k.int_default;
            set_setting_flag(k.id,
                             static_cast<std::uint8_t>(read_flag(doc, k.section, k.key, def)));
            break;
        }
        case KeyFormat::text:
            set_setting_text(k.id, read_text(doc, k.section, k.key, k.text_default), 0);
            break;
        case KeyFormat::window_rows:
            for (int n = 0; n < k.rows; ++n) {
                int row[4] = {};
                const std::string key = row_key(k, n);
                if (!parse_window_row(read_text(doc, k.section, key.c_str(), "0 0 0 0"), row)) {
                    for (int& v : row) v = 0;
                }
                for (int c = 0; c < 4; ++c) set_setting_int(k.id, row[c], n, c);
            }
            break;
        case KeyFormat::pen_sequence: {
            int pens[kPenSequenceLength] = {};
            const int count = parse_pen_sequence(read_text(doc, k.section, k.key, k.text_default),
                                                 pens, kPenSequenceLength);
            for (int n = 0; n < count; ++n) set_setting_int(k.id, pens[n], n, 0);
            break;
        }
    }
}

// Collects the first failure of the document's setters.
struct Writer {
    platform::IniDocument& doc;
    int status = 0;

    void put(const char* section, const char* key, const std::string& value) {
        const int result = doc.set_text(section, key, value);
        if (status == 0) status = result;
    }
};

void write_key(Writer& w, const SettingKey& k) {
    switch (k.format) {
        case KeyFormat::number:
            w.put(k.section, k.key, double_text(get_setting_double(k.id, k.element, 0)));
            break;
        case KeyFormat::integer: {
            char value[32];
            std::snprintf(value, sizeof value, "%ld",
                          static_cast<long>(get_setting_int(k.id, 0, 0)));
            w.put(k.section, k.key, value);
            break;
        }
        case KeyFormat::flag:
            w.put(k.section, k.key, get_setting_flag(k.id) != 0 ? "On" : "Off");
            break;
        case KeyFormat::text: {
            const char* value = get_setting_text(k.id, 0);
            w.put(k.section, k.key, value != nullptr ? value : "");
            break;
        }
        case KeyFormat::window_rows:
            for (int n = 0; n < k.rows; ++n) {
                char value[64];
                std::snprintf(value, sizeof value, "%d %d %d %d", get_setting_int(k.id, n, 0),
                              get_setting_int(k.id, n, 1), get_setting_int(k.id, n, 2),
                              get_setting_int(k.id, n, 3));
                w.put(k.section, row_key(k, n).c_str(), value);
            }
            break;
        case KeyFormat::pen_sequence: {
            int pens[kPenSequenceLength];
            for (int n = 0; n < kPenSequenceLength; ++n) pens[n] = get_setting_int(k.id, n, 0);
            w.put(k.section, k.key, format_pen_sequence(pens, kPenSequenceLength));
            break;
        }
    }
}

}  // namespace

bool parse_window_row(const char* text, int out[4]) {
    int values[4] = {};
    const char* p = text;
    for (int& v : values) {
        if (!scan_long(p, v)) return false;
    }
    for (int k = 0; k < 4; ++k) out[k] = values[k];
    return true;
}

int parse_pen_sequence(const char* text, int* elements, int limit) {
    int count = 0;
    const char* p = text;
    while (count < limit) {
        while (*p == ' ') ++p;
        if (*p == '\0') break;
        const char* piece = p;
        while (*p != '\0' && *p != ' ') ++p;
        const char* q = piece;
        int value = 0;
        if (!scan_long(q, value) || q > p) value = 0;
        elements[count++] = value;
    }
    return count;
}

std::string format_pen_sequence(const int* elements, int count) {
    std::string text;
    for (int k = 0; k < count && elements[k] != 0; ++k) {
        char piece[16];
        std::snprintf(piece, sizeof piece, "%d ", elements[k]);
        if (text.size() + std::strlen(piece) + 1 > kIniTextSize - 1) break;
        text += piece;
    }
    return text;
}

void read_settings_file(const std::string& path) {
    platform::IniDocument doc;
    doc.load(path);  // a missing or unreadable file reads as empty: every key its default
    for (const SettingKey& k : kSettingKeys) {
        switch (k.use) {
            case KeyUse::read_and_written:
            case KeyUse::read_only:
                read_key(doc, k);
                break;
            case KeyUse::written_reset:
            case KeyUse::constant:
                store_default(k);
                break;
            case KeyUse::written_only:
                break;
        }
    }
}

int write_settings_file(const std::string& path) {
    platform::IniDocument doc;
    // A file that exists but cannot be read is not replaced: what it holds would be lost.
    const int load_status = doc.load(path);
    if (load_status != 0 && load_status != platform::kNotFound) {
        msg_box(kMsgSettingsFileNotWritten, path.c_str());
        return kMsgSettingsFileNotWritten;
    }
    Writer w{doc};
    for (const SettingKey& k : kSettingKeys) {
        if (k.use == KeyUse::read_and_written || k.use == KeyUse::written_only ||
            k.use == KeyUse::written_reset) {
            write_key(w, k);
        }
    }

    if (w.status != 0) {
        msg_box(kMsgSettingsFileNotWritten, path.c_str());
        return kMsgSettingsFileNotWritten;
    }
    if (std::string reason; doc.save(path, &reason) != 0) {
        msg_box(kMsgSettingsFileWriteFailed, path.c_str(), reason.c_str());
        return kMsgSettingsFileNotWritten;
    }
    return 0;
}

// --- one key at a time ------------------------------------------------------------------------

double ini_read_double(const char* section, const char* key, double default_value,
                       const std::string& path) {
    platform::IniDocument doc;
    doc.load(path);
    return read_double(doc, section, key, default_value);
}

int ini_read_int(const char* section, const char* key, int default_value, const std::string& path) {
    return platform::ini_get_int(path, section, key, default_value);
}

const char* ini_read_text(const char* section, const char* key, const char* default_text,
                          const std::string& path) {
    platform::ini_get_text(path, section, key, default_text, g_text_buffer, sizeof g_text_buffer);
    return g_text_buffer;
}

int ini_read_flag(const char* section, const char* key, int default_flag, const std::string& path) {
    platform::IniDocument doc;
    doc.load(path);
    return read_flag(doc, section, key, default_flag);
}

int ini_write_double(const char* section, const char* key, double value, const std::string& path) {
    return platform::ini_put_text(path, section, key, double_text(value));
}

int ini_write_int(const char* section, const char* key, int value, const std::string& path) {
    char text[32];
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(value));
    return platform::ini_put_text(path, section, key, text);
}

int ini_write_text(const char* section, const char* key, const char* text,
                   const std::string& path) {
    return platform::ini_put_text(path, section, key, text != nullptr ? text : "");
}

int ini_write_flag(const char* section, const char* key, int flag, const std::string& path) {
    return platform::ini_put_text(path, section, key, flag != 0 ? "On" : "Off");
}
