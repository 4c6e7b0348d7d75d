#include "optimise/optimise_data.h"

#include <new>

#include "platform/state_reset.h"
#include "runtime/settings.h"

namespace {

OptimiseTables& state() {
    static OptimiseTables tables;
    return tables;
}

void reset_optimise_data() {
    state() = OptimiseTables{};
}

const platform::StateReset optimise_data_state_reset{"optimise/optimise_data", reset_optimise_data,
                                                     platform::ResetLayer::feature};

// The capacity a setting asks for; a value below 1 takes the default, stored back.
int capacity_setting(int id, int fallback) {
    int n = get_setting_int(id, 0, 0);
    if (n < 1) {
        n = fallback;
        set_setting_int(id, n, 0, 0);
    }
    return n;
}

}  // namespace

OptimiseTables& optimise_tables() {
    return state();
}

int allocate_operand_table() {
    OptimiseTables& t = state();
    if (t.operands_allocated) return 0;
    const int n = capacity_setting(kSetOperandCapacity, kDefaultOperandCapacity);
    try {
        t.operands.assign(static_cast<std::size_t>(n), Operand{});
        t.tokens.assign(2 * static_cast<std::size_t>(n), OperandToken{});
    } catch (const std::bad_alloc&) {
        t.operands.clear();
        t.tokens.clear();
        return kMsgOutOfMemory;
    }
    t.operand_count = 0;
    t.operands_allocated = true;
    return 0;
}

int allocate_variable_table() {
    OptimiseTables& t = state();
    if (t.variables_allocated) return 0;
    const int n = capacity_setting(kSetOprdMaxVariables, kDefaultVariableCapacity);
    try {
        t.variables.assign(static_cast<std::size_t>(n), Variable{});
        t.last_steps.assign(static_cast<std::size_t>(n), 0.0);
    } catch (const std::bad_alloc&) {
        t.variables.clear();
        t.last_steps.clear();
        return kMsgOutOfMemory;
    }
    t.highest_variable = -1;
    t.variables_allocated = true;
    return 0;
}

void clear_optimise_tables() {
    OptimiseTables& t = state();
    for (Operand& o : t.operands) o = Operand{};
    for (OperandToken& k : t.tokens) k = OperandToken{};
    t.operand_count = 0;
    for (Variable& v : t.variables) v = Variable{};
    for (double& s : t.last_steps) s = 0.0;
    t.highest_variable = -1;
    t.sorted_head = -1;
    t.chain_compiled = false;
    t.chain_head = -1;
    t.configuration_count = 1;
    t.results_exist = false;
    t.error = ErrorFunction{};
}
