// The container of a lens file: the header line with the three checksums, the optional comment
// line, the checksum sections and the line channel through which every written line passes.
//
// A lens file is command lines. The sums are CRC-16s (polynomial 0x1021, start 0, most
// significant bit first) over every line written while a section is selected, each line followed
// by one carriage return: LEN the lens and the variables block, OPE the operands, OPC the
// drawing, spot-diagram and optimisation settings. The header and comment lines are in no
// section. The sums are the program's test of whether the lens changed since it was opened or
// saved; sums-only mode computes them without writing anything.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tables/table_names.h"

// Messages of lens files.
// The same failure when there was no old file to keep.

// The longest line a lens file holds (characters, without the line end).
inline constexpr std::size_t kLensLineLimit = 255;

enum LensSection : int { kSectionNone = 0, kSectionLen = 1, kSectionOpe = 2, kSectionOpc = 3 };

struct LensSums {
    std::uint16_t len = 0;
    std::uint16_t ope = 0;
    std::uint16_t opc = 0;
    bool operator==(const LensSums&) const = default;
};

// One CRC-16 step over one byte.
std::uint16_t lens_crc16(std::uint16_t reg, unsigned char byte);

// Where the lines of one write sequence go: the text of the file body (unless sums-only), the
// running sums and the first failure.
class LensLineChannel {
public:
    explicit LensLineChannel(bool sums_only = false) : sums_only_(sums_only) {}

    void select(int section) { section_ = section; }
    int section() const { return section_; }
    // A section is selected: the writers switch sections only then.
    bool in_section() const { return section_ != kSectionNone; }
    bool sums_only() const { return sums_only_; }

    // One whole line (without its end). A line over kLensLineLimit characters is not written
    // and fails the sequence with kMsgLensLineTooLong.
    void line(std::string_view text);

    const LensSums& sums() const { return sums_; }
    const std::string& text() const { return text_; }
    // 0, or the message of the first line that could not be written.
    int failure() const { return failure_; }
    const std::string& failed_line() const { return failed_line_; }

private:
    bool sums_only_ = false;
    int section_ = kSectionNone;
    LensSums sums_;
    std::string text_;
    int failure_ = 0;
    std::string failed_line_;
};

// The channel a write sequence is running on (null outside one). Writers of other subsystems
// (the operands) write their lines through write_lens_line.
LensLineChannel* current_lens_channel();
void set_current_lens_channel(LensLineChannel* channel);
// Writes one line on the current channel; nothing when there is none.
void write_lens_line(std::string_view text);

// "// TAVO 5.40 %5d %5d %5d": every field five wide, so the header has one length.
std::string lens_header_line(const LensSums& sums);

// A recognised first line: the new form "// TAVO version len ope opc" (version taken) or the old
// form "TAVO version len ope opc" (version "3.00").
struct LensHeader {
    std::string version;
    LensSums sums;
};
bool parse_lens_header(std::string_view line, LensHeader* header);

// A text between double quotes as lens files write it: a double quote and a backslash inside
// are preceded by a backslash.
std::string quote_lens_text(std::string_view text);
