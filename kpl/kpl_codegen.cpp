#include "kpl/kpl_codegen.h"

#include <cstring>

#include "kpl/kpl_opcodes.h"

void kpl_codegen_start(KplCodegen& g, std::uint8_t* base, std::size_t size) {
    g.base = base;
    g.size = size > kKplCodeLimit ? kKplCodeLimit : size;
    g.pos = 0;
    g.overflow = false;
    g.label_count = 0;
    g.fixup_count = 0;
    g.line_marks = 0;
}

void emit_byte(KplCodegen& g, std::uint8_t b) {
    if (g.pos >= g.size) {
        g.overflow = true;
        return;
    }
    g.base[g.pos++] = b;
}

void emit_be16(KplCodegen& g, unsigned v) {
    emit_byte(g, static_cast<std::uint8_t>(v >> 8));
    emit_byte(g, static_cast<std::uint8_t>(v));
}

void emit_bytes(KplCodegen& g, const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    for (std::size_t i = 0; i < n; ++i) emit_byte(g, b[i]);
}

int new_label(KplCodegen& g) {
    if (g.label_count >= kKplLabelLimit) {
        g.overflow = true;
        return 0;
    }
    ++g.label_count;
    g.labels[g.label_count] = 0;
    return g.label_count;
}

void set_label(KplCodegen& g, int label) {
    if (label > 0 && label <= g.label_count) g.labels[label] = static_cast<std::uint16_t>(g.pos);
}

void add_fixup(KplCodegen& g, int label) {
    if (g.fixup_count >= kKplFixupLimit || label <= 0) {
        g.overflow = true;
        return;
    }
    g.fixups[g.fixup_count++] = {static_cast<std::uint16_t>(g.pos),
                                 static_cast<std::uint16_t>(label)};
    emit_be16(g, 0);
}

void emit_jump(KplCodegen& g, std::uint8_t opcode, int label) {
    emit_byte(g, opcode);
    add_fixup(g, label);
}

void resolve_fixups(KplCodegen& g) {
    for (int i = 0; i < g.fixup_count; ++i) {
        const auto& f = g.fixups[i];
        if (static_cast<std::size_t>(f.pos) + 2 > g.pos) continue;
        const unsigned v = g.labels[f.label];
        g.base[f.pos] = static_cast<std::uint8_t>(v >> 8);
        g.base[f.pos + 1] = static_cast<std::uint8_t>(v);
    }
}
