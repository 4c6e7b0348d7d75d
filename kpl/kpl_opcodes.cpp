#include "kpl/kpl_opcodes.h"

#include "kpl/kpl_operators.h"

const KplOpInfo* kpl_op_info(std::uint8_t byte, KplSpace space) {
    for (const KplOpInfo& op : kKplOps) {
        if (op.number == byte && op.space == space) return &op;
    }
    return nullptr;
}

bool kpl_is_assignment(std::uint8_t byte) {
    if ((byte & kAssignBit) == 0) return false;
    const std::uint8_t op = byte & 0x7F;
    return op == kPlainAssign || (kpl_precedence(op) > 0 && op != 'y' && op != 'z' &&
                                  kpl_precedence(op) != 6 && kpl_precedence(op) != 7);
}
