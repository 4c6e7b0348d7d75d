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
    // Every binary operator but the logical ones and the comparisons has an assignment form.
    const std::uint8_t op = byte & kAssignOperatorMask;
    return op == kPlainAssign ||
           (kpl_precedence(op) > 0 && op != kOp_logical_and && op != kOp_logical_or &&
            kpl_precedence(op) != kpl_precedence(kOp_equal) &&
            kpl_precedence(op) != kpl_precedence(kOp_less));
}
