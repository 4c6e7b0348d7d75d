#include "optimise/damped_least_squares.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>
#include <vector>

#include "lens/auto_redraw.h"
#include "lens/lens_data.h"
#include "numeric/linear_solvers.h"
#include "optimise/error_function.h"
#include "optimise/operands.h"
#include "optimise/optimise_data.h"
#include "optimise/variables.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/script_commands.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "trace/lens_setup.h"
#include "trace/scoped_value.h"

namespace {

constexpr double kSmallestDiagonal = 1e-12;
constexpr double kLargestReciprocalWeight = 1e12;
constexpr double kSmallestDamping = 1e-12;
constexpr double kLargestDampingTried = 10000.0;
constexpr int kReductionTries = 99;
constexpr double kConstraintGrowth = 100.0;

enum SolveMode { kSolveLu = 1, kSolveSvd = 2 };

// Work storage, sized at the start of a run and kept: an evaluation allocates nothing.
struct Work {
    int n = 0;               // variables
    std::vector<int> order;  // variable table indices in sorted order
    std::vector<double> x, step, saved_step, g, r;
    int m = 0;  // minimisation rows
    std::vector<double> w, rhs, a;
    std::vector<int> row_operand;
    int p = 0;  // active constraints
    int q = 0;  // satisfied inequalities
    std::vector<double> c_rhs, c, lambda;
    std::vector<int> constraint_operand;
    std::vector<double> h, mm, minv, s, u, tmp;
    std::vector<double*> mm_rows, minv_rows, s_rows;
    bool least_squares = false;
    double svd_threshold = 0.0;
    IterateProfile* profile = nullptr;  // the running search's, when its caller asks
};

Work& work() {
    static Work w;
    return w;
}

void reset_work() {
    work() = Work{};
}

const platform::StateReset damped_least_squares_state_reset{
    "optimise/damped_least_squares", reset_work, platform::ResetLayer::feature};

// Runs one set-up or evaluation, counted and timed when the run is profiled.
template <class F>
void profiled(long IterateProfile::*count, F f) {
    IterateProfile* p = work().profile;
    if (p == nullptr) {
        f();
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    f();
    p->seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++(p->*count);
}

void set_up() {
    profiled(&IterateProfile::setups, [] { lens_setup(0); });
}

void evaluate() {
    profiled(&IterateProfile::evaluations, [] { compute_error_function(0); });
}

void evaluate_operands_only() {
    profiled(&IterateProfile::evaluations, [] { evaluate_operands(); });
}

OptimiseParams& params() {
    return *lens_data().optimise_params;
}

std::vector<double*>& rows_of(std::vector<double>& matrix, std::vector<double*>& rows, int n,
                              int columns) {
    rows.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) rows[i] = matrix.data() + static_cast<std::size_t>(i) * columns;
    return rows;
}

int size_work() {
    Work& k = work();
    const OptimiseTables& t = optimise_tables();
    k.n = t.highest_variable + 1;
    const std::size_t n = static_cast<std::size_t>(k.n);
    const std::size_t m = static_cast<std::size_t>(t.operand_count);
    try {
        k.order.clear();
        for (int at = t.sorted_head; at >= 0; at = t.variables[at].next) k.order.push_back(at);
        for (auto* v : {&k.x, &k.step, &k.saved_step, &k.g, &k.r, &k.tmp}) v->assign(n, 0.0);
        k.w.assign(m, 0.0);
        k.rhs.assign(m, 0.0);
        k.a.assign(m * n, 0.0);
        k.row_operand.assign(m, 0);
        k.c_rhs.assign(m, 0.0);
        k.c.assign(m * n, 0.0);
        k.lambda.assign(std::max(m, n), 0.0);
        k.u.assign(std::max(m, n), 0.0);
        k.constraint_operand.assign(m, 0);
        k.h.assign(n * n, 0.0);
        k.mm.assign(n * n, 0.0);
        k.minv.assign(n * n, 0.0);
        k.s.assign(std::max(m, n) * std::max(m, n), 0.0);
    } catch (const std::bad_alloc&) {
        return kMsgOutOfMemory;
    }
    return static_cast<int>(k.order.size()) == k.n ? 0 : kMsgNoVariables;
}

void read_values(std::vector<double>& x) {
    const Work& k = work();
    const OptimiseTables& t = optimise_tables();
    for (int j = 0; j < k.n; ++j) {
        const Variable& v = t.variables[k.order[j]];
        x[j] = get_variable_value(v.type, v.surface, v.item);
    }
}

// Writes x (+ step) into the lens and sets it up.
void write_values(const std::vector<double>& x, const std::vector<double>* step) {
    const Work& k = work();
    OptimiseTables& t = optimise_tables();
    for (int j = 0; j < k.n; ++j) {
        const double s = step != nullptr ? (*step)[j] : 0.0;
        set_variable_value(t.variables[k.order[j]], x[j] + s);
    }
    set_up();
}

double merit() {
    const ErrorFunction& e = optimise_tables().error;
    return e.constraint * params().bound_weight + e.minimisation;
}

bool is_inequality(int i) {
    const int op = optimise_tables().tokens[2 * i + 1].op;
    return optimise_tables().tokens[2 * i + 1].kind != kTokenEmpty &&
           (op == kOpLess || op == kOpGreater);
}

int compute_derivatives() {
    Work& k = work();
    OptimiseTables& t = optimise_tables();
    evaluate_operands_only();
    if (t.operand_command_status != 0) return t.operand_command_status;
    k.m = k.p = k.q = 0;
    for (int i = 0; i < t.operand_count; ++i) {
        Operand& o = t.operands[i];
        o.previous = o.value;
        o.active = 0;
        const double w = operand_weight(i);
        if (w == 0.0) continue;
        if (o.mode == kOperandConstraint) {
            if (std::fabs(o.value) >= params().constraint_tolerance || !is_inequality(i)) {
                o.active = 1;
                k.c_rhs[k.p] = -o.value;
                k.constraint_operand[k.p++] = i;
            } else {
                ++k.q;
            }
        } else {
            o.active = 1;
            k.w[k.m] = w;
            k.rhs[k.m] = -o.value;
            k.row_operand[k.m++] = i;
        }
    }
    int status = 0;
    for (int j = 0; j < k.n; ++j) {
        const Variable& v = t.variables[k.order[j]];
        const double d = std::fabs(v.damping_weight);
        k.r[j] = d < kSmallestDiagonal ? kLargestReciprocalWeight : 1.0 / d;
        const double x0 = get_variable_value(v.type, v.surface, v.item);
        const double h = derivative_step(v.increment, x0);
        set_variable_value(v, x0 + h);
        set_state_flag(kFlagDerivativeStep);
        set_up();
        evaluate_operands_only();
        clear_state_flag(kFlagDerivativeStep);
        if (t.operand_command_status != 0 && status == 0) status = t.operand_command_status;
        // Every evaluation sees configuration 1: a variable of another one changes nothing.
        const bool counts = v.configuration == 0 || v.configuration == 1;
        for (int row = 0; row < k.m; ++row) {
            const Operand& o = t.operands[k.row_operand[row]];
            k.a[static_cast<std::size_t>(row) * k.n + j] =
                counts ? (o.value - o.previous) / h : 0.0;
        }
        for (int row = 0; row < k.p; ++row) {
            const Operand& o = t.operands[k.constraint_operand[row]];
            k.c[static_cast<std::size_t>(row) * k.n + j] =
                counts ? (o.value - o.previous) / h : 0.0;
        }
        set_variable_value(v, x0);
    }
    set_up();
    return status;
}

void build_normal_equations() {
    Work& k = work();
    OptimiseTables& t = optimise_tables();
    ErrorFunction& e = t.error;
    if (e.has_bounds) {
        e.bound_violated = false;
        for (int j = 0; j <= t.highest_variable; ++j) check_variable_bounds(t.variables[j]);
    }
    const bool bound_terms = e.has_bounds && e.bound_violated && params().bound_weight > 0.0;
    if (k.m == 0 && !bound_terms) {
        k.least_squares = false;
        return;
    }
    const int n = k.n;
    for (int j = 0; j < n; ++j) {
        double g = 0.0;
        for (int row = 0; row < k.m; ++row) {
            g += k.a[static_cast<std::size_t>(row) * n + j] * k.w[row] * k.rhs[row];
        }
        k.g[j] = g;
        for (int l = j; l < n; ++l) {
            double sum = 0.0;
            for (int row = 0; row < k.m; ++row) {
                const double* a_row = &k.a[static_cast<std::size_t>(row) * n];
                sum += a_row[j] * a_row[l] * k.w[row];
            }
            k.h[static_cast<std::size_t>(j) * n + l] = sum;
            k.h[static_cast<std::size_t>(l) * n + j] = sum;
        }
    }
    if (bound_terms) {
        for (int j = 0; j < n; ++j) {
            const Variable& v = t.variables[k.order[j]];
            if (v.bound_state != -1) continue;
            k.h[static_cast<std::size_t>(j) * n + j] += params().bound_weight;
            k.g[j] += params().bound_weight * v.violation;
        }
    }
    k.least_squares = true;
}

void apply_damping() {
    Work& k = work();
    const OptimiseTables& t = optimise_tables();
    const int n = k.n;
    k.mm = k.h;
    for (int j = 0; j < n; ++j) {
        const double d = std::fabs(t.variables[k.order[j]].damping_weight);
        double& diagonal = k.mm[static_cast<std::size_t>(j) * n + j];
        diagonal *= 1.0 + params().damping * d;
        if (diagonal < kSmallestDiagonal) diagonal = kSmallestDiagonal;
    }
}

int solve_damped_step(std::vector<double>& step) {
    Work& k = work();
    if (!k.least_squares) return kMsgOptimiseSingular;
    apply_damping();
    const int rc = lu_decompose(rows_of(k.mm, k.mm_rows, k.n, k.n).data(), k.n, 1);
    if (rc == kSolverNoMemory) return kMsgOutOfMemory;
    if (rc == kSolverDone) {
        lu_solve(k.g.data(), step.data());
        return 0;
    }
    apply_damping();
    const int rc_svd = svd_decompose(rows_of(k.mm, k.mm_rows, k.n, k.n).data(), k.n, k.n, 1);
    if (rc_svd == kSolverNoMemory) return kMsgOutOfMemory;
    if (rc_svd != kSolverDone) return kMsgOptimiseSingular;
    if (svd_solve(0.0, k.g.data(), step.data()) == 0.0) return kMsgOptimiseSingular;
    return 0;
}

// The minimum-norm step (scaled by the reciprocal damping weights) that meets the linearised
// active constraints.
int solve_constraints_only(std::vector<double>& step, int mode) {
    Work& k = work();
    const int n = k.n;
    const int p = k.p;
    if (p == 0) {
        if (k.q > 0) {
            // The satisfied inequalities ask for nothing: a zero step, never a stale one.
            print_msg(kMsgSatisfiedInequalitiesOnly);
            std::fill(step.begin(), step.end(), 0.0);
            return 0;
        }
        return kMsgNoActiveConstraint;
    }
    if (p > n) return kMsgTooManyActiveConstraints;
    if (mode == kSolveLu) {
        for (int a = 0; a < p; ++a) {
            for (int b = 0; b < p; ++b) {
                double sum = 0.0;
                for (int j = 0; j < n; ++j) {
                    sum += k.c[static_cast<std::size_t>(a) * n + j] * k.r[j] *
                           k.c[static_cast<std::size_t>(b) * n + j];
                }
                k.s[static_cast<std::size_t>(a) * p + b] = sum;
            }
        }
        const int rc = lu_decompose(rows_of(k.s, k.s_rows, p, p).data(), p, 1);
        if (rc == kSolverNoMemory) return kMsgOutOfMemory;
        if (rc != kSolverDone) return kMsgOptimiseSingular;
        lu_solve(k.c_rhs.data(), k.lambda.data());
        for (int j = 0; j < n; ++j) {
            double sum = 0.0;
            for (int a = 0; a < p; ++a)
                sum += k.c[static_cast<std::size_t>(a) * n + j] * k.lambda[a];
            step[j] = k.r[j] * sum;
        }
        return 0;
    }
    // SVD: C R padded with zero rows to a square matrix.
    const int rows = std::max(p, n);
    std::fill(k.s.begin(), k.s.begin() + static_cast<std::ptrdiff_t>(rows) * n, 0.0);
    std::fill(k.u.begin(), k.u.end(), 0.0);
    for (int a = 0; a < p; ++a) {
        for (int j = 0; j < n; ++j) {
            k.s[static_cast<std::size_t>(a) * n + j] =
                k.c[static_cast<std::size_t>(a) * n + j] * k.r[j];
        }
        k.u[a] = k.c_rhs[a];
    }
    const int rc = svd_decompose(rows_of(k.s, k.s_rows, rows, n).data(), rows, n, 1);
    if (rc == kSolverNoMemory) return kMsgOutOfMemory;
    if (rc != kSolverDone) return kMsgOptimiseSingular;
    const double smallest = svd_solve(k.svd_threshold, k.u.data(), k.tmp.data());
    if (smallest == 0.0) return kMsgOptimiseSingular;
    k.svd_threshold = smallest;
    for (int j = 0; j < n; ++j) step[j] = k.r[j] * k.tmp[j];
    return 0;
}

int solve_constrained_step(std::vector<double>& step) {
    Work& k = work();
    const int n = k.n;
    const int p = k.p;
    if (p == 0) return solve_damped_step(step);
    if (!k.least_squares) {
        k.svd_threshold = 0.0;
        const int rc = solve_constraints_only(step, kSolveLu);
        if (rc != kMsgOptimiseSingular) return rc;
        return solve_constraints_only(step, kSolveSvd);
    }
    if (p > n) return kMsgOptimiseSingular;
    apply_damping();
    int rc = lu_decompose(rows_of(k.mm, k.mm_rows, n, n).data(), n, 1);
    if (rc == kSolverNoMemory) return kMsgOutOfMemory;
    if (rc != kSolverDone) return kMsgOptimiseSingular;
    if (lu_invert(rows_of(k.minv, k.minv_rows, n, n).data()) != 0) return kMsgOptimiseSingular;
    const auto minv = [&k, n](int i, int j) { return k.minv[static_cast<std::size_t>(i) * n + j]; };
    const auto cm = [&k, n](int a, int j) { return k.c[static_cast<std::size_t>(a) * n + j]; };
    // tmp = M^-1 g; u = -c - C M^-1 g; S = C M^-1 C^T.
    for (int i = 0; i < n; ++i) {
        double sum = 0.0;
        for (int j = 0; j < n; ++j) sum += minv(i, j) * k.g[j];
        k.tmp[i] = sum;
    }
    for (int a = 0; a < p; ++a) {
        double sum = 0.0;
        for (int j = 0; j < n; ++j) sum += cm(a, j) * k.tmp[j];
        k.u[a] = k.c_rhs[a] - sum;
        for (int b = 0; b < p; ++b) {
            double s = 0.0;
            for (int i = 0; i < n; ++i) {
                double inner = 0.0;
                for (int j = 0; j < n; ++j) inner += minv(i, j) * cm(b, j);
                s += cm(a, i) * inner;
            }
            k.s[static_cast<std::size_t>(a) * p + b] = s;
        }
    }
    rc = lu_decompose(rows_of(k.s, k.s_rows, p, p).data(), p, 1);
    if (rc == kSolverNoMemory) return kMsgOutOfMemory;
    if (rc != kSolverDone) return kMsgOptimiseSingular;
    lu_solve(k.u.data(), k.lambda.data());
    // step = M^-1 (g + C^T lambda)
    for (int j = 0; j < n; ++j) {
        double sum = k.g[j];
        for (int a = 0; a < p; ++a) sum += cm(a, j) * k.lambda[a];
        k.tmp[j] = sum;
    }
    for (int i = 0; i < n; ++i) {
        double sum = 0.0;
        for (int j = 0; j < n; ++j) sum += minv(i, j) * k.tmp[j];
        step[i] = sum;
    }
    return 0;
}

void print_errors_line(double damping) {
    const ErrorFunction& e = optimise_tables().error;
    text_printf("   %s", format_number(damping, 0, 0));
    text_printf(" %s", format_number(shown_error(e.minimisation), 0, 0));
    text_printf(" %s\n", format_number(shown_error(e.constraint), 0, 0));
}

bool escape_stops() {
    if (optimise_tables().compensating) return false;
    if (get_setting_flag(kSetCheckEscape) == 0) return false;
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr || !ui->poll_escape()) return false;
    return ask_msg(kMsgOptimiseEscapeQuestion) == 0;
}

void remember_steps(const std::vector<double>& step) {
    Work& k = work();
    OptimiseTables& t = optimise_tables();
    for (int j = 0; j < k.n; ++j) t.last_steps[k.order[j]] = step[j];
}

int take_step(const std::vector<double>& x, std::vector<double>& step, int report) {
    const int rc = solve_constrained_step(step);
    if (rc != 0) return rc;
    write_values(x, &step);
    remember_steps(step);
    evaluate();
    if (report == 2) print_errors_line(params().damping);
    if (optimise_tables().operand_command_status != 0) {
        return optimise_tables().operand_command_status;
    }
    return escape_stops() ? kStopped : 0;
}

int constraint_step(std::vector<double>& x, std::vector<double>& step, int report) {
    Work& k = work();
    OptimiseTables& t = optimise_tables();
    const double e0 = t.error.constraint;
    read_values(x);
    int mode = kSolveLu;
    k.svd_threshold = 0.0;
    int rc = solve_constraints_only(step, mode);
    if (rc == kMsgOptimiseSingular) {
        mode = kSolveSvd;
        rc = solve_constraints_only(step, mode);
    }
    if (rc != 0) return rc;
    write_values(x, &step);
    evaluate();
    if (t.error.constraint > kConstraintGrowth * e0 && e0 > 0.0) {
        double saved_error = 0.0;
        double saved_threshold = 0.0;
        do {
            if (report == 2) {
                print_msg(kMsgConstraintStepRetry);
                print_errors_line(0.0);
            }
            k.saved_step = step;
            saved_error = t.error.constraint;
            saved_threshold = k.svd_threshold;
            write_values(x, nullptr);
            if (mode == kSolveLu) {
                mode = kSolveSvd;
                k.svd_threshold = 0.0;
            }
            rc = solve_constraints_only(step, mode);
            if (rc != 0) break;
            write_values(x, &step);
            evaluate();
        } while (t.error.constraint <= saved_error && k.svd_threshold != saved_threshold);
        step = k.saved_step;
        write_values(x, &step);
        evaluate();
    }
    remember_steps(step);
    return t.operand_command_status;
}

void report_row(int iteration, double damping, double change, bool with_change) {
    const ErrorFunction& e = optimise_tables().error;
    text_printf("%6d %s", iteration, format_number(damping, 0, 0));
    text_printf(" %s", format_number(shown_error(e.minimisation), 0, 0));
    text_printf(" %s", format_number(shown_error(e.constraint), 0, 0));
    if (with_change) text_printf(" %s", format_number(change, 0, 0));
    text_newline();
}

double shown_merit(double e) {
    return params().sum_of_squares != 0 ? e : std::sqrt(std::max(0.0, e));
}

// The merit the linear model gains by a step: 2 s.g - s.H.s in the merit's units. Where active
// constraints make the model's merit another one it cannot say, and promises everything.
double predicted_gain(const std::vector<double>& step) {
    const Work& k = work();
    const ErrorFunction& e = optimise_tables().error;
    if (k.p > 0 || !k.least_squares) return std::numeric_limits<double>::infinity();
    double gain = 0.0;
    for (int j = 0; j < k.n; ++j) {
        double hs = 0.0;
        for (int l = 0; l < k.n; ++l) hs += k.h[static_cast<std::size_t>(j) * k.n + l] * step[l];
        gain += step[j] * (2.0 * k.g[j] - hs);
    }
    if (params().sum_of_squares == 0 && e.minimisation_weights > 0.0) {
        gain /= e.minimisation_weights;
    }
    return gain;
}

double largest_damping_weight() {
    const Work& k = work();
    const OptimiseTables& t = optimise_tables();
    double largest = 0.0;
    for (int j = 0; j < k.n; ++j) {
        largest = std::max(largest, std::fabs(t.variables[k.order[j]].damping_weight));
    }
    return largest;
}

int damping_search(const IterateOptions& o) {
    Work& k = work();
    OptimiseTables& t = optimise_tables();
    OptimiseParams& op = params();
    double e = merit();
    double e_start = shown_merit(e);
    bool mark = false;
    bool converged = false;
    int iteration = 1;
    double change = 0.0;
    const bool economy = o.economy_share > 0.0;
    while (iteration <= o.count && !converged) {
        // Economy: nothing left to gain.
        if (economy && e <= 0.0) break;
        const double d0 = op.damping;
        const double factor = op.damping_reduction;
        const double e_prev = e;
        int rc = compute_derivatives();
        if (rc != 0) return rc;
        if (iteration == 1 && op.variable_damping != 0) {
            for (int j = 0; j < k.n; ++j) {
                Variable& v = t.variables[k.order[j]];
                if (v.damping_weight <= 0.0) continue;
                double sum = 0.0;
                for (int row = 0; row < k.m; ++row) {
                    const double a = k.a[static_cast<std::size_t>(row) * k.n + j];
                    sum += a * a;
                }
                v.damping_weight = std::sqrt(sum);
            }
        }
        build_normal_equations();
        read_values(k.x);
        const auto stop = [&k](int code) {
            if (code == kStopped) write_values(k.x, nullptr);
            return code;
        };
        rc = take_step(k.x, k.step, o.report);
        if (rc != 0) return stop(rc);
        e = merit();
        // Economy: a step that gains nothing where the linear model promised next to nothing
        // finds the minimum already reached; more damping would only shorten it.
        const bool retry = !economy || predicted_gain(k.step) >= o.economy_share * e_prev;
        while (retry && e_prev - e < kOptimiseZero && op.damping <= kLargestDampingTried) {
            op.damping *= 10.0;
            write_values(k.x, nullptr);
            rc = take_step(k.x, k.step, o.report);
            if (rc != 0) return stop(rc);
            e = merit();
        }
        if (e_prev - e >= kOptimiseZero) {
            for (int tries = 0; tries < kReductionTries; ++tries) {
                if (op.damping <= kSmallestDamping) break;
                // Economy: below this damping a reduction moves the step by less than the share.
                if (economy && op.damping * largest_damping_weight() <= o.economy_share) break;
                k.saved_step = k.step;
                const double saved_merit = e;
                const double saved_damping = op.damping;
                op.damping = std::max(op.damping * factor, kSmallestDamping);
                write_values(k.x, nullptr);
                rc = take_step(k.x, k.step, o.report);
                if (rc != 0) return stop(rc);
                e = merit();
                if (!(saved_merit - e >= kOptimiseZero)) {
                    k.step = k.saved_step;
                    write_values(k.x, &k.step);
                    remember_steps(k.step);
                    evaluate();
                    e = merit();
                    op.damping = saved_damping;
                    break;
                }
            }
        } else {
            write_values(k.x, nullptr);
            op.damping = d0;
            std::fill(k.step.begin(), k.step.end(), 0.0);
            remember_steps(k.step);
            evaluate();
            e = merit();
        }
        change = e_start <= 0.0 ? 0.0 : (e_start - shown_merit(e)) * 100.0 / e_start;
        if (!o.quiet) {
            if (o.report == 0) {
                const ErrorFunction& ef = t.error;
                text_printf("Iteration %5d    Damping %s\n", iteration,
                            format_number(op.damping, 0, 0));
                text_printf("Min. error %s", format_number(shown_error(ef.minimisation), 0, 0));
                text_printf("  Con. error %s", format_number(shown_error(ef.constraint), 0, 0));
                text_printf("  %% change %s\n", format_number(change, 0, 0));
            } else {
                report_row(iteration, op.damping, change, true);
            }
        }
        if (economy && e_prev - e < o.economy_share * e_prev) {
            converged = true;
        } else if (change < op.stop_threshold) {
            if (mark) converged = true;
            mark = true;
        } else {
            mark = false;
        }
        ++iteration;
        e_start = shown_merit(e);
    }
    if (!o.quiet && o.report == 0) report_row(iteration - 1, op.damping, change, true);
    return 0;
}

}  // namespace

int run_iterations(const IterateOptions& o) {
    OptimiseTables& t = optimise_tables();
    if (t.highest_variable < 0) return kMsgNoVariables;
    if (t.operand_count == 0) return kMsgNoOperands;
    if (lens_data().optimise_params == nullptr) return kMsgNoOperands;
    // The operand entry runs at every evaluation: it is read and compiled once.
    ScriptCodeKept kept_entries;
    int rc = size_work();
    if (rc != 0) return rc;
    Work& k = work();
    const ScopedValue<IterateProfile*> profile(k.profile, o.profile);
    clear_state_flag(kFlagSpotDiagramCurrent);
    clear_state_flag(kFlagReferenceRayCurrent);
    OptimiseParams& op = params();
    if (op.damping == 0.0) op.damping = 0.001;
    if (op.small_damping == 0.0) op.small_damping = 1e-8;
    if (op.damping_reduction == 0.0) op.damping_reduction = 0.6158;
    if (op.stop_threshold == 0.0) op.stop_threshold = 0.01;
    if (o.recompute_increments) {
        for (int i = 0; i <= t.highest_variable; ++i) {
            Variable& v = t.variables[i];
            if (v.increment < 0.0) continue;
            v.increment = 0.0;
            if (op.derivative_increment != 0.0) {
                v.increment = op.automatic_increments != 0 ? auto_derivative_increment(v)
                                                           : op.derivative_increment;
            }
        }
    }
    if (o.reset_damping_weights) {
        for (int i = 0; i <= t.highest_variable; ++i) {
            if (t.variables[i].damping_weight > 0.0) t.variables[i].damping_weight = 1.0;
        }
    }
    t.error.evaluations = 0;
    t.error.has_bounds = false;
    for (int i = 0; i <= t.highest_variable; ++i) {
        if (t.variables[i].bound_state != 0) t.error.has_bounds = true;
    }
    if (!o.quiet) {
        print_msg(kMsgIterationHeading);
        if (o.mode == kIterateDampingSearch) {
            text_out(" ");
            print_msg(kMsgDampingSearchHeading);
        }
        text_newline();
        print_msg(kMsgIterationColumns);
        if (o.mode == kIterateDampingSearch) print_msg(kMsgIterationChangeColumn);
        text_newline();
    }
    if (o.mode == kIterateDampingSearch) op.damping = op.small_damping;
    t.results_exist = false;
    evaluate();
    if (t.operand_command_status != 0) return t.operand_command_status;
    if (!o.quiet) report_row(0, o.mode == kIterateConstraintsOnly ? 0.0 : op.damping, 0.0, false);
    if (o.mode == kIterateDampingSearch && t.error.minimisation_weights > 0.0) {
        rc = damping_search(o);
    } else {
        for (int iteration = 1; iteration <= o.count; ++iteration) {
            read_values(k.x);
            rc = compute_derivatives();
            if (rc != 0) break;
            if (o.mode == kIterateConstraintsOnly) {
                rc = constraint_step(k.x, k.step, o.report);
            } else {
                build_normal_equations();
                if (k.least_squares) {
                    read_values(k.x);
                    rc = take_step(k.x, k.step, o.report);
                } else {
                    rc = constraint_step(k.x, k.step, o.report);
                }
            }
            if (rc == kStopped) write_values(k.x, nullptr);
            if (rc != 0) break;
            if (!o.quiet) {
                report_row(iteration,
                           k.least_squares && o.mode != kIterateConstraintsOnly ? op.damping : 0.0,
                           0.0, false);
            }
        }
    }
    t.results_exist = true;
    if (test_state_flag(kFlagSingleCommandUpdate) != 0) auto_redraw_after_edit(0);
    if (!o.quiet && get_setting_flag(kSetStepMode) != 0) {
        text_printf("%d error function evaluations\n", t.error.evaluations);
    }
    return rc;
}

int iterate_quiet(int mode, int count, int unused) {
    (void)unused;
    IterateOptions o;
    o.mode = mode;
    o.count = count;
    o.quiet = true;
    return run_iterations(o);
}

namespace {

void derivative_range(int a, int b, int count, int* from, int* to) {
    if (a == 0 && b == 0) {
        *from = 0;
        *to = count - 1;
        return;
    }
    if (a > b) std::swap(a, b);
    *from = std::max(a, 1) - 1;
    *to = std::min(b, count) - 1;
}

}  // namespace

int print_derivative_table(int first_operand, int last_operand, int first_variable,
                           int last_variable) {
    OptimiseTables& t = optimise_tables();
    if (t.highest_variable < 0) return kMsgNoVariables;
    if (t.operand_count == 0) return kMsgNoOperands;
    if (lens_data().optimise_params == nullptr) return kMsgNoOperands;
    if (const int rc = size_work(); rc != 0) return rc;
    Work& k = work();
    ScriptCodeKept kept_entries;
    if (const int rc = compute_derivatives(); rc != 0) return rc;
    if (k.m == 0) return kMsgNoMinimisationRows;
    print_msg(kMsgOperandDerivativesHeading);
    text_newline();
    int op_from = 0, op_to = 0, var_from = 0, var_to = 0;
    derivative_range(first_operand, last_operand, t.operand_count, &op_from, &op_to);
    derivative_range(first_variable, last_variable, k.n, &var_from, &var_to);
    constexpr int kBlock = 5;
    for (int block = var_from; block <= var_to; block += kBlock) {
        const int block_end = std::min(block + kBlock - 1, var_to);
        print_msg(kMsgDerivativesBlock);
        text_newline();
        text_out("              ");
        for (int j = block; j <= block_end; ++j) {
            const Variable& v = t.variables[k.order[j]];
            if (v.configuration == 0) {
                text_printf("%-4s %-2d -   ", v.type_name, v.surface);
            } else {
                text_printf("%-4s %-2d %-2d  ", v.type_name, v.surface, v.configuration);
            }
        }
        text_newline();
        for (int row = 0; row < k.m; ++row) {
            const int i = k.row_operand[row];
            if (i < op_from || i > op_to) continue;
            const Operand& o = t.operands[i];
            char label[16];
            if (o.label[0] != '\0') {
                std::snprintf(label, sizeof label, "%s", o.label);
            } else {
                std::snprintf(label, sizeof label, "%d", i + 1);
            }
            text_printf("%-3d %-10s", i + 1, label);
            for (int j = block; j <= block_end; ++j) {
                text_out(" ");
                text_number(k.a[static_cast<std::size_t>(row) * k.n + j]);
            }
            text_newline();
        }
    }
    return 0;
}

int cmd_iterate() {
    if (current_command() == kCmdDerivatives) {
        return print_derivative_table(arg_int(0), arg_int(1), arg_int(2), arg_int(3));
    }
    IterateOptions o;
    o.mode = arg_int(0);
    o.count = arg_int(1);
    o.report = arg_int(2);
    o.recompute_increments = arg_int(3) != 0;
    o.reset_damping_weights = arg_int(4) != 0;
    return run_iterations(o);
}
