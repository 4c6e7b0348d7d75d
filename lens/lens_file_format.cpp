#include "lens/lens_file_format.h"

#include <cstdio>
#include <cstring>

#include "platform/state_reset.h"
#include "runtime/table_format.h"

namespace {
LensLineChannel* g_channel = nullptr;
}  // namespace

std::uint16_t lens_crc16(std::uint16_t reg, unsigned char byte) {
    unsigned r = reg ^ (static_cast<unsigned>(byte) << 8);
    for (int bit = 0; bit < 8; ++bit) {
        r = (r & 0x8000u) != 0 ? (r << 1) ^ 0x1021u : r << 1;
        r &= 0xFFFFu;
    }
    return static_cast<std::uint16_t>(r);
}

void LensLineChannel::line(std::string_view text) {
    if (text.size() > kLensLineLimit) {
        if (failure_ == 0) {
            failure_ = kMsgLensLineTooLong;
            failed_line_ = std::string(text.substr(0, 40));
        }
        return;
    }
    std::uint16_t* reg = section_ == kSectionLen   ? &sums_.len
                         : section_ == kSectionOpe ? &sums_.ope
                         : section_ == kSectionOpc ? &sums_.opc
                                                   : nullptr;
    if (reg != nullptr) {
        for (const char c : text) *reg = lens_crc16(*reg, static_cast<unsigned char>(c));
        *reg = lens_crc16(*reg, '\r');
    }
    if (!sums_only_) {
        text_.append(text);
        text_.push_back('\n');
    }
}

LensLineChannel* current_lens_channel() {
    return g_channel;
}

void set_current_lens_channel(LensLineChannel* channel) {
    g_channel = channel;
}

void write_lens_line(std::string_view text) {
    if (g_channel != nullptr) g_channel->line(text);
}

std::string lens_header_line(const LensSums& sums) {
    char line[64];
    std::snprintf(line, sizeof line, "// TAVO %s %5d %5d %5d", kProgramVersion, sums.len, sums.ope,
                  sums.opc);
    return line;
}

bool parse_lens_header(std::string_view line, LensHeader* header) {
    const std::string text(line.substr(0, 200));
    char version[32] = {};
    int len = 0, ope = 0, opc = 0;
    bool recognised = false;
    if (text.compare(0, 7, "// TAVO") == 0) {
        recognised =
            std::sscanf(text.c_str(), "// TAVO %31s %d %d %d", version, &len, &ope, &opc) >= 1;
    } else if (text.compare(0, 4, "TAVO") == 0) {
        recognised =
            std::sscanf(text.c_str(), "TAVO %31s %d %d %d", version, &len, &ope, &opc) >= 1;
        std::snprintf(version, sizeof version, "3.00");
    }
    if (!recognised) return false;
    if (header != nullptr) {
        header->version = version;
        header->sums.len = static_cast<std::uint16_t>(len);
        header->sums.ope = static_cast<std::uint16_t>(ope);
        header->sums.opc = static_cast<std::uint16_t>(opc);
    }
    return true;
}

std::string quote_lens_text(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

namespace {
void reset_lens_file_format() {
    g_channel = nullptr;
}
const platform::StateReset lens_file_format_state_reset{
    "lens/lens_file_format", reset_lens_file_format, platform::ResetLayer::lens};
}  // namespace
