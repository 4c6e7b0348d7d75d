// Byte layouts of the binary tables other than the message table: the name tables, the
// definitions records, list blocks, command-help blocks and enable-condition blocks. The
// program's readers check what they load with these functions, and the table builder writes
// and checks with the same ones, so reader and writer cannot drift apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::size_t kAmoMagicSize = 8;
inline constexpr char kDefinitionsMagic[] = "amdo_01";
inline constexpr char kListsMagic[] = "amal_11";
inline constexpr char kHelpMagic[] = "amct_01";
inline constexpr char kCodeMagic[] = "amcl_01";
inline constexpr char kFontMagic[] = "amgf_01";
inline constexpr char kProgramVersion[] = "5.40";

// The points of a stroke-font glyph. Set 1: one byte per point: kGlyphPenDown, the x (0..7) in
// bits 4-6 and the height counted down from the cell top in bits 0-3; the byte 0 ends the glyph.
// Set 2: two bytes per point: kGlyphPenDown, kGlyphNegative and |x| in the first; the height's
// magnitude and kGlyphAboveTop (above the cell top, else below it) in the second, whose 0 ends
// the glyph.
inline constexpr std::uint8_t kGlyphPenDown = 0x80;
inline constexpr int kGlyphXShift = 4;
inline constexpr std::uint8_t kGlyphXMask = 0x07;
inline constexpr std::uint8_t kGlyphYMask = 0x0F;
inline constexpr std::uint8_t kGlyphNegative = 0x40;
inline constexpr std::uint8_t kGlyphAboveTop = 0x40;
inline constexpr std::uint8_t kGlyphMagnitudeMask = 0x3F;

inline constexpr std::size_t kCommandRecordSize = 12;
inline constexpr std::size_t kParamDescriptorSize = 18;
inline constexpr std::size_t kProcedureRecordSize = 16;
inline constexpr std::size_t kListCacheSize = 20000;
inline constexpr std::uint16_t kListKeyedBit = 0x4000;
inline constexpr std::uint16_t kListLengthMask = 0xBFFF;  // every bit but the keyed bit
inline constexpr std::size_t kListDirectoryEntrySize = 5;
inline constexpr int kUserSymbolBase = 0x2000;  // symbol numbers of compiled procedures
inline constexpr int kNoCondition = 255;
inline constexpr int kStateFlagCount = 76;     // flags 0..75
inline constexpr int kMaxConditionDepth = 64;  // nesting of '|' groups in a condition

// The largest values of the tables' fixed-width fields: counts, sizes and offsets that do not
// fit are refused, never cut short.
inline constexpr unsigned kField16Max = 0xFFFF;
inline constexpr unsigned kField24Max = 0xFFFFFF;
inline constexpr int kSignedField16Max = 0x7FFF;

// The interpreter's data area holds one local-slot pointer per this many bytes.
inline constexpr std::size_t kDataAreaBytesPerSlot = 16;
// A text entry of the value pool: a 4-byte mark, then the text with its NUL.
inline constexpr std::size_t kValueTextOffset = 4;

// Condition bytes.
inline constexpr std::uint8_t kCondNot = '~';
inline constexpr std::uint8_t kCondGroup = '|';
inline constexpr std::uint8_t kCondAnd = 'y';
inline constexpr std::uint8_t kCondOr = 'z';
inline constexpr std::uint8_t kCondClose = ')';  // any byte of precedence 0 closes a group
inline constexpr std::uint8_t kCondEnd = 0;
// An entry: the result byte, the two bytes that name the message refusing a call (read by the
// interpreter, kpl_condition_message), then the expression.
inline constexpr std::size_t kConditionHeaderSize = 3;

// Big- and little-endian fields.
inline unsigned be16_at(const std::uint8_t* p) {
    return (unsigned{p[0]} << 8) | p[1];
}
inline unsigned le16_at(const std::uint8_t* p) {
    return (unsigned{p[1]} << 8) | p[0];
}
inline unsigned be24_at(const std::uint8_t* p) {
    return (unsigned{p[0]} << 16) | (unsigned{p[1]} << 8) | p[2];
}
inline std::uint32_t le32_at(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}
void put_be16(Bytes& out, unsigned value);
void put_le16(Bytes& out, unsigned value);
void put_be24(Bytes& out, unsigned value);
void put_le32(Bytes& out, std::uint32_t value);

// A name table as held in a file: count, offsets of NUL-terminated names sorted bytewise, and
// (for symbol and list tables) one value per name. Symbol and list tables are big-endian; the
// global and local name tables of the command language are little-endian without values.
enum class NameTableForm { big_endian_with_values, little_endian };

struct NameEntry {
    std::string name;
    unsigned value = 0;
};

// Builds a table from entries; fails (-1) on an empty, duplicate or too long name or a table
// beyond 16-bit offsets. Entries are sorted bytewise by the builder.
int build_name_table(std::vector<NameEntry> entries, NameTableForm form, Bytes& out);
// Checks a loaded table: count within the block, each offset inside it, each name ended by a
// NUL inside the block, names in strictly increasing byte order. 0 or -8.
int check_name_table(const std::uint8_t* table, std::size_t size, NameTableForm form);
// Reads the entries back (for dumps); the table must have passed check_name_table.
std::vector<NameEntry> name_table_entries(const std::uint8_t* table, NameTableForm form);
// Binary search of a checked table: entry number 1..n, or 0 when absent.
int name_table_search(const std::uint8_t* table, NameTableForm form, const char* name);

// A list block: entry count m, m offsets of first texts, m offsets of second texts, texts.
struct ListPair {
    std::string first;
    std::string second;
};
int build_list_block(const std::vector<ListPair>& pairs, Bytes& out);
int check_list_block(const std::uint8_t* block, std::size_t size);
std::vector<ListPair> list_block_pairs(const std::uint8_t* block);

// A command-help block: flags byte, count k, k entries (two key bytes, BE16 text offset), texts.
struct HelpText {
    std::uint8_t key1 = 0;
    std::uint8_t key2 = 0;
    std::string text;
};
int build_help_block(std::uint8_t flags, const std::vector<HelpText>& texts, Bytes& out);
int check_help_block(const std::uint8_t* block, std::size_t size);
std::vector<HelpText> help_block_texts(const std::uint8_t* block);

// An enable-condition block: E LE16 offsets, then entries {result, 2 bytes, expression}.
// Expressions are checked for flag bytes 1..76, balanced groups and an end byte inside the block.
int build_condition_block(const std::vector<Bytes>& expressions, Bytes& out);
int check_condition_block(const std::uint8_t* block, std::size_t size, int count);
// The expression bytes of entry i (up to and including the end byte) of a checked block.
Bytes condition_expression(const std::uint8_t* block, std::size_t size, int i);
// Checks one expression starting at p; end is one past the last readable byte. On success the
// position after the expression's closing byte (the byte of precedence 0) is returned through
// stop. 0 or -8.
int check_condition_expression(const std::uint8_t* p, const std::uint8_t* end,
                               const std::uint8_t** stop);

// CommandRecord: i16 name field (offset of its first name in the symbol name table), i16
// parameter field, i16 plain slot, i16 interactive slot, u8 flags, u8 enable condition,
// u8 reserved, u8 parameter count. Little-endian, as the records are used in place.
struct CommandRecord {
    std::int16_t name_field;
    std::int16_t parameter_field;
    std::int16_t plain_slot;
    std::int16_t interactive_slot;
    std::uint8_t flags;
    std::uint8_t enable_condition;
    std::uint8_t reserved;
    std::uint8_t parameter_count;
};
static_assert(sizeof(CommandRecord) == kCommandRecordSize);

// The flags of a command or procedure record: the result type in the low bits (0 none, 1 int,
// 2 double, 3 char), and the hidden mark, under which the symbol is known to the compiler only
// in its extended mode.
inline constexpr std::uint8_t kRecordResultMask = 0x03;
inline constexpr std::uint8_t kRecordHidden = 0x40;
// A lens-data command: one that only enters lens data, so that a line of a lens file, of the
// surface clipboard text or of a stock part may run it (see runtime/lens_data_guard.h).
inline constexpr std::uint8_t kRecordLensData = 0x20;

// The parameter-index table of commands with two or more parameters: one LE16 entry per
// parameter, the descriptor number with the output bit (the argument is passed by reference
// and written back).
inline constexpr std::uint16_t kParamIndexOutput = 0x4000;
inline constexpr std::uint16_t kParamIndexMask = 0x3FFF;

struct ParamDescriptor {
    std::uint16_t prompt_handle;
    std::uint16_t default_handle;
    std::uint16_t list_handle;
    std::uint16_t unused;
    std::uint16_t lower_handle;
    std::uint16_t upper_handle;
    std::int16_t name_offset;
    std::uint8_t type_flags;
    std::uint8_t prompt_mode;
    std::uint8_t enable_condition;
    std::uint8_t flags;
};
static_assert(sizeof(ParamDescriptor) == kParamDescriptorSize);

// A descriptor's type_flags: the value type (1 int, 2 double, 3 char) and, for a char, whether
// the parameter is a text or a plain text.
inline constexpr std::uint8_t kParamTypeMask = 0x03;
inline constexpr std::uint8_t kParamText = 0x10;
inline constexpr std::uint8_t kParamPlainText = 0x20;
// A descriptor's flags.
inline constexpr std::uint8_t kParamRequiresList = 0x02;  // only a word of its value list
inline constexpr std::uint8_t kParamByReference = 0x04;   // the argument names a variable
inline constexpr std::uint8_t kParamQuoteAnswer = 0x08;   // the answer is recorded quoted
// An optional leading word of the parameter's list: any other token leaves the parameter to its
// default and is read as the next argument.
inline constexpr std::uint8_t kParamOptionalWord = 0x40;
// A text that names a glass: where optional parameters stand before it, a bare word that does
// not begin as a number, a variable, a symbol or a list word is the name, read whole ('-' and
// all), and the optional parameters before it take their defaults.
inline constexpr std::uint8_t kParamGlassName = 0x80;

struct ProcedureRecord {
    std::uint32_t code_offset;
    std::uint32_t interpreter_word;
    std::int16_t local_names_offset;
    std::uint8_t interpreter_bytes[2];
    std::uint8_t flags;
    std::uint8_t enable_condition;
    std::uint8_t interpreter_tail[2];
};
static_assert(sizeof(ProcedureRecord) == kProcedureRecordSize);

// A procedure record's interpreter word: the parameter field (as a command record's, signed) in
// bits 0-15, the parameter count in bits 16-23, and bit 24 set for code in the private code
// table. Its code length is the LE16 of interpreter_bytes.
inline constexpr std::uint32_t kProcedureFieldMask = 0xFFFF;
inline constexpr int kProcedureCountShift = 16;
inline constexpr std::uint32_t kProcedureCountMask = 0xFF;
inline constexpr std::uint32_t kProcedurePrivateCode = 1u << 24;
inline std::uint32_t procedure_interpreter_word(int field, int count) {
    return (static_cast<std::uint32_t>(field) & kProcedureFieldMask) |
           ((static_cast<std::uint32_t>(count) & kProcedureCountMask) << kProcedureCountShift);
}
inline int procedure_parameter_field(const ProcedureRecord& r) {
    return static_cast<std::int16_t>(r.interpreter_word & kProcedureFieldMask);
}
inline int procedure_parameter_count(const ProcedureRecord& r) {
    return static_cast<int>((r.interpreter_word >> kProcedureCountShift) & kProcedureCountMask);
}
inline bool procedure_code_is_private(const ProcedureRecord& r) {
    return (r.interpreter_word & kProcedurePrivateCode) != 0;
}

// Value handles: top three bits the kind, low 13 bits the number.
inline constexpr unsigned kHandleKindMask = 0xE000;
inline constexpr unsigned kHandleNumberMask = 0x1FFF;
inline constexpr unsigned kHandleConstant = 0x2000;
inline constexpr unsigned kHandleMessagePlus = 0x4000;
inline constexpr unsigned kHandleMessageMinus = 0x6000;
inline constexpr unsigned kHandleValue = 0x8000;
