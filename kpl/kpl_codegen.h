// Code emission for the command-language compiler: bytes and big-endian jump targets into the
// line area of the code buffer, labels and their fix-ups. Running out of room sets the overflow
// flag; the line then fails with -10 once compiling ends.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int kKplLabelLimit = 1024;
inline constexpr int kKplFixupLimit = 1024;

struct KplCodegen {
    std::uint8_t* base = nullptr;  // code base of the line
    std::size_t size = 0;          // room from the base to the end of the line area
    std::size_t pos = 0;           // next byte, as an offset from the base
    bool overflow = false;
    int label_count = 0;  // labels 1..label_count
    std::uint16_t labels[kKplLabelLimit + 1];
    int fixup_count = 0;
    struct Fixup {
        std::uint16_t pos;
        std::uint16_t label;
    } fixups[kKplFixupLimit];
    // The source line of each emitted statement, for the listing: (code offset, line).
    int line_marks = 0;
};

void kpl_codegen_start(KplCodegen& g, std::uint8_t* base, std::size_t size);
void emit_byte(KplCodegen& g, std::uint8_t b);
void emit_be16(KplCodegen& g, unsigned v);
void emit_bytes(KplCodegen& g, const void* p, std::size_t n);
// A new label (1..1024), 0 with the overflow flag set beyond.
int new_label(KplCodegen& g);
// Places label at the current position.
void set_label(KplCodegen& g, int label);
// A BE16 placeholder for label at the current position.
void add_fixup(KplCodegen& g, int label);
// An opcode followed by the placeholder of label.
void emit_jump(KplCodegen& g, std::uint8_t opcode, int label);
// Writes every label's offset into its placeholders.
void resolve_fixups(KplCodegen& g);
