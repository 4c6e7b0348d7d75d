#include "optimise/error_function.h"

#include <algorithm>
#include <cmath>

#include "lens/lens_data.h"
#include "optimise/operands.h"
#include "optimise/variables.h"

namespace {

bool sum_of_squares() {
    const OptimiseParams* p = lens_data().optimise_params;
    return p != nullptr && p->sum_of_squares != 0;
}

}  // namespace

double operand_weight(int i) {
    const OptimiseTables& t = optimise_tables();
    const Operand& o = t.operands[i];
    const OptimiseParams* p = lens_data().optimise_params;
    if (o.failed != 0 && p != nullptr && p->zero_failed_weight != 0) return 0.0;
    if (o.mode == kOperandConstraint) return 1.0;
    return o.weight > 0.0 ? o.weight : 0.0;
}

double shown_error(double error) {
    return sum_of_squares() ? error : std::sqrt(std::max(0.0, error));
}

void compute_error_function(int print_flag) {
    (void)print_flag;
    OptimiseTables& t = optimise_tables();
    ErrorFunction& e = t.error;
    e.minimisation = e.constraint = 0.0;
    e.minimisation_weights = e.constraint_weights = 0.0;
    e.bound_penalty = 0.0;
    if (t.operand_count == 0) return;
    for (int i = 0; i < 2 * t.operand_count; ++i) {
        if (t.tokens[i].kind != kTokenNumber) t.tokens[i].value = 0.0;
    }
    evaluate_operands();
    e.bound_violated = false;
    if (e.has_bounds) {
        for (int i = 0; i <= t.highest_variable; ++i) check_variable_bounds(t.variables[i]);
    }
    for (int i = 0; i < t.operand_count; ++i) {
        const double w = operand_weight(i);
        if (w == 0.0) continue;
        const double f = t.operands[i].value;
        const double term = std::fabs(f) > kOptimiseZero ? w * f * f : 0.0;
        if (t.operands[i].mode == kOperandConstraint) {
            e.constraint_weights += w;
            e.constraint += term;
        } else {
            e.minimisation_weights += w;
            e.minimisation += term;
        }
    }
    const OptimiseParams* p = lens_data().optimise_params;
    const double bound_weight = p != nullptr ? p->bound_weight : 1.0;
    if (e.has_bounds && e.bound_violated && bound_weight > 0.0) {
        double sum = 0.0;
        for (int i = 0; i <= t.highest_variable; ++i) {
            const Variable& v = t.variables[i];
            if (v.bound_state == -1) sum += v.violation * v.violation;
        }
        e.bound_penalty += bound_weight * sum;
        e.minimisation += e.bound_penalty;
    }
    if (!sum_of_squares()) {
        if (e.minimisation_weights > 0.0) e.minimisation /= e.minimisation_weights;
        if (e.constraint_weights != 0.0) e.constraint /= e.constraint_weights;
    }
    ++e.evaluations;
}
