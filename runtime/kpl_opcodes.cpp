#include "runtime/kpl_opcodes.h"

const KplOpInfo* kpl_op_info(std::uint8_t byte, KplSpace space) {
    for (const KplOpInfo& op : kKplOps) {
        if (op.number == byte && op.space == space) return &op;
    }
    return nullptr;
}
