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

// --- the reader's steps ---------------------------------------------------------------------

struct Reader {
    const platform::IniDocument& doc;

    void dbl(int id, int i, const char* section, const char* key, double def) const {
        set_setting_double(id, read_double(doc, section, key, def), i, 0);
    }
    void integer(int id, const char* section, const char* key, int def) const {
        set_setting_int(id, doc.get_int(section, key, def), 0, 0);
    }
    void flag(int id, const char* section, const char* key, int def) const {
        set_setting_flag(id, static_cast<std::uint8_t>(read_flag(doc, section, key, def)));
    }
    void text(int id, const char* section, const char* key, const char* def) const {
        set_setting_text(id, read_text(doc, section, key, def), 0);
    }
};

// --- the writer's steps ---------------------------------------------------------------------

struct Writer {
    platform::IniDocument& doc;
    int status = 0;

    void put(const char* section, const char* key, const std::string& value) {
        const int result = doc.set_text(section, key, value);
        if (status == 0) status = result;
    }
    void dbl(const char* section, const char* key, double value) {
        put(section, key, double_text(value));
    }
    void integer(const char* section, const char* key, long value) {
        char text[32];
        std::snprintf(text, sizeof text, "%ld", value);
        put(section, key, text);
    }
    void flag(const char* section, const char* key, int id) {
        put(section, key, get_setting_flag(id) != 0 ? "On" : "Off");
    }
    void text(const char* section, const char* key, int id) {
        const char* value = get_setting_text(id, 0);
        put(section, key, value != nullptr ? value : "");
    }
};

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
    const Reader r{doc};

    r.dbl(kSetGraphicsScale, 0, kGraphics, "Graphics_scale", 0.0);
    r.dbl(kSetGraphicsCurrentScale, 0, kGraphics, "Graphics_current_scale", 0.0);
    r.dbl(kSetWavelengthDefaults, 0, kLens, "Wavelength_default_0", 0.58756);
    r.dbl(kSetWavelengthDefaults, 1, kLens, "Wavelength_default_1", 0.48613);
    r.dbl(kSetWavelengthDefaults, 2, kLens, "Wavelength_default_2", 0.65627);
    r.dbl(kSetWeightDefaults, 0, kLens, "Weight_default_0", 1.0);
    r.dbl(kSetWeightDefaults, 1, kLens, "Weight_default_1", 1.0);
    r.dbl(kSetWeightDefaults, 2, kLens, "Weight_default_2", 1.0);
    r.dbl(kSetGraphicsMinimumScale, 0, kGraphics, "Graphics_minimum_scale", 1e-10);
    r.integer(kSetOprdMaxVariables, kOptimization, "Oprd_maxvariables", 50);
    set_setting_int(kSetOperandCapacity, 51, 0, 0);
    r.integer(kSetOprdMaxConops, kOptimization, "Oprd_maxconops", 50);
    set_setting_int(kSetSurfaceLimit, 12, 0, 0);
    r.integer(kSetMaxWavelengths, kLens, "Max_wavelengths", 10);
    r.integer(kSetMaxSpdRays, kProgram, "Max_spd_rays", 10000);
    r.integer(kSetPrintDestination, kProgram, "Print_destination", 0);
    r.integer(kSetPlotDestination, kProgram, "Plot_destination", 0);
    for (int n = 0; n < kWindowRows; ++n) {
        char key[32];
        std::snprintf(key, sizeof key, "Window_geometry_%d", n);
        int row[4] = {};
        if (!parse_window_row(read_text(doc, kProgram, key, "0 0 0 0"), row)) {
            for (int& v : row) v = 0;
        }
        for (int k = 0; k < 4; ++k) set_setting_int(kSetWindowGeometry, row[k], n, k);
    }
    {
        int pens[kPenSequenceLength] = {};
        const int count = parse_pen_sequence(
            read_text(doc, kGraphics, "Graphics_pen_sequence", "1 2 3 4 5 6 7 8"), pens,
            kPenSequenceLength);
        for (int k = 0; k < count; ++k) set_setting_int(kSetGraphicsPenSequence, pens[k], k, 0);
    }
    set_setting_int(kSetProgramLevel, 1, 0, 0);
    r.integer(kSetGraphicsPenWidth, kGraphics, "Graphics_pen_width", 100);
    r.text(kSetDesigner, kLens, "Designer", "TAVO");
    r.flag(kSetOutputPageMode, kProgram, "Output_page_mode", 1);
    r.flag(kSetOutputLog, kProgram, "Output_log", 0);
    r.flag(kSetOutputEcho, kProgram, "Output_echo", 0);
    r.text(kSetLensFile, kProgram, "Lens_file", "");
    r.text(kSetEditFile, kProgram, "Edit_file", "");
    r.flag(kSetGraphicsAxes, kGraphics, "Graphics_axes", 1);
    r.flag(kSetGraphicsLabels, kGraphics, "Graphics_labels", 1);
    r.flag(kSetGraphicsAutoclear, kGraphics, "Graphics_autoclear", 1);
    r.flag(kSetShowToolbar, kProgram, "Show_toolbar", 1);
    r.flag(kSetShowMenubar, kProgram, "Show_menubar", 1);
    r.text(kSetPrintFile, kProgram, "Print_file", "tavo.txt");
    r.text(kSetPlotFile, kProgram, "Plot_file", "tavo");
    r.flag(kSetRevertEnable, kProgram, "Revert_enable", 1);
    r.flag(kSetGraphicsWhiteBkgnd, kGraphics, "Graphics_white_bkgnd", 1);
    r.flag(kSetLensAutoOpen, kProgram, "Lens_auto_open", 0);
    r.flag(kSetGraphicsBlackAndWhite, kGraphics, "Graphics_black_and_white", 0);
    r.flag(kSetGraphicsAlternateMode, kGraphics, "Graphics_alternate_mode", 0);
    r.text(kSetAddress1, kLens, "Address1", "");
    r.text(kSetAddress2, kLens, "Address2", "");
    r.text(kSetAddress3, kLens, "Address3", "");
    r.flag(kSetSpreadsheetCurvatureMode, kProgram, "Spreadsheet_curvature_mode", 0);
    r.flag(kSetPrintZero, kProgram, "Print_zero", 0);
    r.flag(kSetNonZeroSpecialData, kLens, "Non_zero_special_data", 0);
    r.flag(kSetKplAutoCompile, kProgram, "KPL_auto_compile", 1);
    r.flag(kSetElementDrawingCommas, kLens, "Element_drawing_commas",
           platform::user_decimal_separator() == ',' ? 1 : 0);
    r.flag(kSetGraphicsHpgl2, kGraphics, "Graphics_HPGL2", 1);
    r.flag(kSetCmdHistoryAliases, kProgram, "Cmd_history_aliases", 1);
    r.flag(kSetOutputText, kProgram, "Output_text", 1);
    r.flag(kSetTrimNumericOutput, kProgram, "Trim_numeric_output", 0);
    r.flag(kSetNoErrorBoxes, kProgram, "No_error_boxes", 0);
    r.flag(kSetFivePlaceNumericOutput, kProgram, "Five_place_numeric_output", 0);
    for (int k = 0; k < 4; ++k) {
        char key[16];
        std::snprintf(key, sizeof key, "MRU_file_%d", k + 1);
        r.text(kSetMruFile1 + k, kProgram, key, "");
    }
    r.flag(kSetEntrancePupWvfrntCoords, kLens, "Entrance_pup_wvfrnt_coords", 0);
    r.flag(kSetRptGfxDateAndTime, kProgram, "Rpt_gfx_date_and_time", 1);
    r.text(kSetTestGlassFile, kProgram, "Test_glass_file", "mg.tgl");
    r.text(kSetVersionNumber, kProgram, "Version_number", kProgramVersion);
    set_setting_text(kSetVersionNumber, kProgramVersion, 0);
    r.text(kSetKplCompilerOptions, kProgram, "KPL_compiler_options", "");
    r.flag(kSetSurfaceLabels, kProgram, "Surface_labels", 1);
    r.flag(kSetGraphicsIsomorphicLabels, kGraphics, "Graphics_isomorphic_labels", 1);
    r.flag(kSetQrMtf, kLens, "Qr_mtf", 0);
    r.flag(kSetTavLensFileExtension, kProgram, "Tav_lens_file_extension", 0);
    r.flag(kSetCheckEscape, kProgram, "Check_escape", 1);
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

    w.dbl(kGraphics, "Graphics_scale", get_setting_double(kSetGraphicsScale, 0, 0));
    w.dbl(kGraphics, "Graphics_current_scale", get_setting_double(kSetGraphicsCurrentScale, 0, 0));
    for (int k = 0; k < 3; ++k) {
        char key[32];
        std::snprintf(key, sizeof key, "Wavelength_default_%d", k);
        w.dbl(kLens, key, get_setting_double(kSetWavelengthDefaults, k, 0));
    }
    for (int k = 0; k < 3; ++k) {
        char key[32];
        std::snprintf(key, sizeof key, "Weight_default_%d", k);
        w.dbl(kLens, key, get_setting_double(kSetWeightDefaults, k, 0));
    }
    w.dbl(kGraphics, "Graphics_minimum_scale", get_setting_double(kSetGraphicsMinimumScale, 0, 0));
    w.integer(kOptimization, "Oprd_maxconops", get_setting_int(kSetOprdMaxConops, 0, 0));
    w.integer(kLens, "Max_wavelengths", get_setting_int(kSetMaxWavelengths, 0, 0));
    w.integer(kProgram, "Max_spd_rays", get_setting_int(kSetMaxSpdRays, 0, 0));
    w.integer(kProgram, "Print_destination", get_setting_int(kSetPrintDestination, 0, 0));
    w.integer(kProgram, "Plot_destination", get_setting_int(kSetPlotDestination, 0, 0));
    for (int n = 0; n < kWindowRows; ++n) {
        char key[32];
        char value[64];
        std::snprintf(key, sizeof key, "Window_geometry_%d", n);
        std::snprintf(value, sizeof value, "%d %d %d %d", get_setting_int(kSetWindowGeometry, n, 0),
                      get_setting_int(kSetWindowGeometry, n, 1),
                      get_setting_int(kSetWindowGeometry, n, 2),
                      get_setting_int(kSetWindowGeometry, n, 3));
        w.put(kProgram, key, value);
    }
    {
        int pens[kPenSequenceLength];
        for (int k = 0; k < kPenSequenceLength; ++k) {
            pens[k] = get_setting_int(kSetGraphicsPenSequence, k, 0);
        }
        w.put(kGraphics, "Graphics_pen_sequence", format_pen_sequence(pens, kPenSequenceLength));
    }
    w.integer(kProgram, "Program_level", get_setting_int(kSetProgramLevel, 0, 0));
    w.integer(kGraphics, "Graphics_pen_width", get_setting_int(kSetGraphicsPenWidth, 0, 0));
    w.text(kLens, "Designer", kSetDesigner);
    w.flag(kProgram, "Output_page_mode", kSetOutputPageMode);
    w.flag(kProgram, "Output_log", kSetOutputLog);
    w.flag(kProgram, "Output_echo", kSetOutputEcho);
    w.text(kProgram, "Lens_file", kSetLensFile);
    w.text(kProgram, "Edit_file", kSetEditFile);
    w.text(kProgram, "Current_directory", kSetCurrentDirectory);
    w.text(kProgram, "Current_text_directory", kSetCurrentTextDirectory);
    w.flag(kGraphics, "Graphics_axes", kSetGraphicsAxes);
    w.flag(kGraphics, "Graphics_labels", kSetGraphicsLabels);
    w.text(kProgram, "Private_directory", kSetPrivateDirectory);
    w.text(kProgram, "Public_directory", kSetPublicDirectory);
    w.flag(kGraphics, "Graphics_autoclear", kSetGraphicsAutoclear);
    w.flag(kProgram, "Show_toolbar", kSetShowToolbar);
    w.flag(kProgram, "Show_menubar", kSetShowMenubar);
    w.text(kProgram, "Print_file", kSetPrintFile);
    w.text(kProgram, "Plot_file", kSetPlotFile);
    w.flag(kProgram, "Revert_enable", kSetRevertEnable);
    w.flag(kGraphics, "Graphics_white_bkgnd", kSetGraphicsWhiteBkgnd);
    w.flag(kProgram, "Lens_auto_open", kSetLensAutoOpen);
    w.flag(kGraphics, "Graphics_black_and_white", kSetGraphicsBlackAndWhite);
    w.flag(kGraphics, "Graphics_alternate_mode", kSetGraphicsAlternateMode);
    w.text(kLens, "Address1", kSetAddress1);
    w.text(kLens, "Address2", kSetAddress2);
    w.text(kLens, "Address3", kSetAddress3);
    w.flag(kProgram, "Spreadsheet_curvature_mode", kSetSpreadsheetCurvatureMode);
    w.flag(kProgram, "Print_zero", kSetPrintZero);
    w.flag(kLens, "Non_zero_special_data", kSetNonZeroSpecialData);
    w.flag(kProgram, "KPL_auto_compile", kSetKplAutoCompile);
    w.flag(kLens, "Element_drawing_commas", kSetElementDrawingCommas);
    w.flag(kGraphics, "Graphics_HPGL2", kSetGraphicsHpgl2);
    w.flag(kProgram, "Cmd_history_aliases", kSetCmdHistoryAliases);
    w.flag(kProgram, "Output_text", kSetOutputText);
    w.flag(kProgram, "Trim_numeric_output", kSetTrimNumericOutput);
    w.flag(kProgram, "No_error_boxes", kSetNoErrorBoxes);
    w.flag(kProgram, "Five_place_numeric_output", kSetFivePlaceNumericOutput);
    for (int k = 0; k < 4; ++k) {
        char key[16];
        std::snprintf(key, sizeof key, "MRU_file_%d", k + 1);
        w.text(kProgram, key, kSetMruFile1 + k);
    }
    w.flag(kLens, "Entrance_pup_wvfrnt_coords", kSetEntrancePupWvfrntCoords);
    w.flag(kProgram, "Rpt_gfx_date_and_time", kSetRptGfxDateAndTime);
    w.text(kProgram, "Test_glass_file", kSetTestGlassFile);
    w.text(kProgram, "Version_number", kSetVersionNumber);
    w.text(kProgram, "KPL_compiler_options", kSetKplCompilerOptions);
    w.flag(kProgram, "Surface_labels", kSetSurfaceLabels);
    w.flag(kGraphics, "Graphics_isomorphic_labels", kSetGraphicsIsomorphicLabels);
    w.flag(kLens, "Qr_mtf", kSetQrMtf);
    w.flag(kProgram, "Tav_lens_file_extension", kSetTavLensFileExtension);
    w.flag(kProgram, "Check_escape", kSetCheckEscape);

    if (w.status != 0 || doc.save(path) != 0) {
        msg_box(kMsgSettingsFileNotWritten, path.c_str());
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
