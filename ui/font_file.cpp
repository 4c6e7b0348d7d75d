#include "ui/font_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text_file.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/table_files.h"
#include "tables/table_names.h"

namespace {

// The font dialogs' Help button shows this topic.
constexpr int kFontDialogHelpTopic = 512;
constexpr std::uint8_t kOemCharSet = 255;
constexpr std::uint8_t kFixedModern = 0x31;    // fixed pitch, modern family
constexpr std::uint8_t kVariableSwiss = 0x22;  // variable pitch, swiss family
constexpr std::uint8_t kOutStrokePrecision = 3;
constexpr std::uint8_t kClipStrokePrecision = 2;
constexpr std::uint8_t kDraftQuality = 1;

void put32(std::uint8_t* p, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int k = 0; k < 4; ++k) p[k] = static_cast<std::uint8_t>(u >> (8 * k));
}

std::int32_t get32(const std::uint8_t* p) {
    std::uint32_t u = 0;
    for (int k = 0; k < 4; ++k) u |= static_cast<std::uint32_t>(p[k]) << (8 * k);
    return static_cast<std::int32_t>(u);
}

void set_face(LogFont& font, const std::string& face) {
    std::memset(font.face_name, 0, sizeof font.face_name);
    std::memcpy(font.face_name, face.data(), std::min(face.size(), sizeof font.face_name - 1));
}

}  // namespace

std::array<std::uint8_t, kLogFontSize> encode_log_font(const LogFont& font) {
    std::array<std::uint8_t, kLogFontSize> bytes{};
    put32(&bytes[0], font.height);
    put32(&bytes[4], font.width);
    put32(&bytes[8], font.escapement);
    put32(&bytes[12], font.orientation);
    put32(&bytes[16], font.weight);
    bytes[20] = font.italic;
    bytes[21] = font.underline;
    bytes[22] = font.strike_out;
    bytes[23] = font.char_set;
    bytes[24] = font.out_precision;
    bytes[25] = font.clip_precision;
    bytes[26] = font.quality;
    bytes[27] = font.pitch_and_family;
    std::memcpy(&bytes[28], font.face_name, sizeof font.face_name);
    bytes[kLogFontSize - 1] = 0;
    return bytes;
}

LogFont decode_log_font(const std::uint8_t* bytes) {
    LogFont font;
    font.height = get32(bytes);
    font.width = get32(bytes + 4);
    font.escapement = get32(bytes + 8);
    font.orientation = get32(bytes + 12);
    font.weight = get32(bytes + 16);
    font.italic = bytes[20];
    font.underline = bytes[21];
    font.strike_out = bytes[22];
    font.char_set = bytes[23];
    font.out_precision = bytes[24];
    font.clip_precision = bytes[25];
    font.quality = bytes[26];
    font.pitch_and_family = bytes[27];
    std::memcpy(font.face_name, bytes + 28, sizeof font.face_name);
    // A name without its ending zero would run on into whatever follows.
    font.face_name[sizeof font.face_name - 1] = '\0';
    return font;
}

LogFont stock_fixed_font() {
    LogFont font;
    font.height = 12;
    font.width = 8;
    font.weight = 400;
    font.char_set = kOemCharSet;
    font.out_precision = kOutStrokePrecision;
    font.clip_precision = kClipStrokePrecision;
    font.quality = kDraftQuality;
    font.pitch_and_family = kFixedModern;
    set_face(font, "Terminal");
    return font;
}

LogFont stock_variable_font() {
    LogFont font;
    font.height = 16;
    font.weight = 700;
    font.out_precision = kOutStrokePrecision;
    font.clip_precision = kClipStrokePrecision;
    font.quality = kDraftQuality;
    font.pitch_and_family = kVariableSwiss;
    set_face(font, "System");
    return font;
}

LogFont load_font_record(const std::string& path, const char* name) {
    const bool fixed = std::strcmp(name, "fixed") == 0;
    std::ifstream in(path, std::ios::binary);
    std::uint8_t record[kFontRecordSize];
    while (in && in.read(reinterpret_cast<char*>(record), sizeof record)) {
        char record_name[kFontNameSize + 1] = {};
        std::memcpy(record_name, record, kFontNameSize);
        if (std::strcmp(record_name, name) == 0) return decode_log_font(record + kFontNameSize);
    }
    return fixed ? stock_fixed_font() : stock_variable_font();
}

int write_font_file(const std::string& path, const LogFont& fixed, const LogFont& variable) {
    std::vector<std::uint8_t> bytes;
    for (const auto& [name, font] :
         {std::pair<const char*, const LogFont*>{"fixed", &fixed},
          std::pair<const char*, const LogFont*>{"variable", &variable}}) {
        std::uint8_t record[kFontRecordSize] = {};
        std::memcpy(record, name, std::strlen(name));
        const auto log = encode_log_font(*font);
        std::memcpy(record + kFontNameSize, log.data(), log.size());
        bytes.insert(bytes.end(), record, record + kFontRecordSize);
    }
    const std::string folder =
        path.substr(0, path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/'));
    if (!folder.empty()) platform::make_folder(folder);  // an existing folder is fine
    platform::AtomicFileWriter file;
    if (file.open(path) != 0 || file.write(bytes.data(), bytes.size()) != 0 || file.commit() != 0) {
        msg_box(kMsgFontFileCannotWrite, path.c_str());
        return kMsgFontFileCannotWrite;
    }
    return 0;
}

platform::FontDescription to_description(const LogFont& font, bool fixed_pitch) {
    platform::FontDescription d;
    d.help_topic = kFontDialogHelpTopic;
    d.face = font.face_name;
    d.height = font.height < 0 ? -font.height : font.height;
    d.weight = font.weight;
    d.italic = font.italic != 0;
    d.fixed_pitch = fixed_pitch;
    return d;
}

LogFont from_description(const platform::FontDescription& font, bool fixed_pitch) {
    LogFont log;
    log.height = -std::max(1, font.height);
    log.weight = font.weight;
    log.italic = font.italic ? 1 : 0;
    log.out_precision = kOutStrokePrecision;
    log.clip_precision = kClipStrokePrecision;
    log.quality = kDraftQuality;
    log.pitch_and_family = fixed_pitch ? kFixedModern : kVariableSwiss;
    set_face(log, font.face);
    return log;
}

std::string font_file_path() {
    return platform::join_path(platform::join_path(data_folder(), "bin"), kFontFileName);
}

namespace {

void list_font(const char* heading, const LogFont& f) {
    text_printf(heading);
    text_printf("Height         %d\n", f.height);
    text_printf("Width          %d\n", f.width);
    text_printf("Escapement     %d\n", f.escapement);
    text_printf("Orientation    %d\n", f.orientation);
    text_printf("Weight         %d\n", f.weight);
    text_printf("Italic         %d\n", static_cast<int>(f.italic));
    text_printf("Underline      %d\n", static_cast<int>(f.underline));
    text_printf("StrikeOut      %d\n", static_cast<int>(f.strike_out));
    text_printf("CharSet        %d\n", static_cast<int>(f.char_set));
    text_printf("OutPrecision   %d\n", static_cast<int>(f.out_precision));
    text_printf("ClipPrecision  %d\n", static_cast<int>(f.clip_precision));
    text_printf("Quality        %d\n", static_cast<int>(f.quality));
    text_printf("PitchAndFamily %d\n", static_cast<int>(f.pitch_and_family));
    text_printf("FaceName      '%s'\n", f.face_name);
}

}  // namespace

int choose_fonts() {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr) return 0;
    const std::string path = font_file_path();
    platform::FontDescription fixed = to_description(load_font_record(path, "fixed"), true);
    if (ui->font_dialog("Choose fixed-width font for text areas:", fixed) !=
        platform::DialogResult::ok) {
        return 0;
    }
    platform::FontDescription variable = to_description(load_font_record(path, "variable"), false);
    if (ui->font_dialog("Choose variable-width font for controls:", variable) !=
        platform::DialogResult::ok) {
        return 0;
    }
    const LogFont fixed_font = from_description(fixed, true);
    const LogFont variable_font = from_description(variable, false);
    const int written = write_font_file(path, fixed_font, variable_font);
    if (written != 0) return 0;  // shown already; the old file stays
    if (get_setting_flag(kSetStepMode) != 0) {
        list_font("\n Fixed-width:\n", fixed_font);
        list_font("\nVariable-width:\n", variable_font);
    }
    msg_box(kMsgTakesEffectNextStart);
    return 0;
}
