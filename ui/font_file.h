// "fonts.bin": the two text fonts of the program ("fixed" for text areas, the edit window and
// list boxes; "variable" for controls), as records of a 32-byte name and a 60-byte LOGFONTA
// in its published little-endian layout. The font chooser writes it; start-up reads it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/ui.h"
#include "tables/table_names.h"

inline constexpr std::size_t kFontNameSize = 32;
inline constexpr std::size_t kLogFontSize = 60;
inline constexpr std::size_t kFontRecordSize = kFontNameSize + kLogFontSize;
inline constexpr char kFontFileName[] = "fonts.bin";

struct LogFont {
    std::int32_t height = 0;  // negative: the character height in pixels
    std::int32_t width = 0;
    std::int32_t escapement = 0;
    std::int32_t orientation = 0;
    std::int32_t weight = 400;
    std::uint8_t italic = 0;
    std::uint8_t underline = 0;
    std::uint8_t strike_out = 0;
    std::uint8_t char_set = 0;
    std::uint8_t out_precision = 0;
    std::uint8_t clip_precision = 0;
    std::uint8_t quality = 0;
    std::uint8_t pitch_and_family = 0;
    char face_name[32] = {};
};

std::array<std::uint8_t, kLogFontSize> encode_log_font(const LogFont& font);
LogFont decode_log_font(const std::uint8_t* bytes);  // the face name is always terminated

// The stock fonts that stand in when "fonts.bin" has no usable record.
LogFont stock_fixed_font();
LogFont stock_variable_font();

// The record of that name ("fixed", "variable") from the file, or the stock font when the file
// is missing, holds no such record or the record is cut short.
LogFont load_font_record(const std::string& path, const char* name);
// Writes both records, "fixed" first, through a temporary file: 0, or -208 shown and the old
// file kept.
int write_font_file(const std::string& path, const LogFont& fixed, const LogFont& variable);

platform::FontDescription to_description(const LogFont& font, bool fixed_pitch);
LogFont from_description(const platform::FontDescription& font, bool fixed_pitch);

// "fonts.bin" in the data folder's "bin".
std::string font_file_path();

// The font chooser: the fixed font, then the variable font; a cancel of either changes nothing.
// 0 (also after a cancel) or the message of a failed write.
int choose_fonts();
