#include "optimise/tolerance_listings.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "lens/lens_data.h"
#include "optimise/operands.h"
#include "optimise/optimise_data.h"
#include "optimise/tolerance_perturbation.h"
#include "optimise/tolerance_results.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

constexpr double kTiny = 1e-40;
// The probable error of a sum of normal errors, as a share of their root sum of squares.
constexpr double kProbableShare = 0.4398128305171199;

constexpr int kHeaders[kToleranceKinds + 1] = {
    0,
    kMsgToleranceHeadRadius,
    kMsgToleranceHeadPower,
    kMsgToleranceHeadIrregularity,
    kMsgToleranceHeadConic,
    kMsgToleranceHeadAir,
    kMsgToleranceHeadGlass,
    kMsgToleranceHeadPosition,
    kMsgToleranceHeadIndex,
    kMsgToleranceHeadAbbe,
    kMsgToleranceHeadDecentreY,
    kMsgToleranceHeadDecentreX,
    kMsgToleranceHeadTiltA,
    kMsgToleranceHeadTiltB,
    kMsgToleranceHeadElementY,
    kMsgToleranceHeadElementX,
    kMsgToleranceHeadEdgeTiltA,
    kMsgToleranceHeadEdgeTiltB,
    kMsgToleranceHeadCentreTiltA,
    kMsgToleranceHeadCentreTiltB,
};

bool has_variables() {
    return tolerance_result_tables().run.has_variables;
}

double tolerance_of(int kind, int s) {
    const SurfaceTolerances* t = surface(s).tolerances;
    const int value = tolerance_value_of_kind(kind);
    return t != nullptr && value >= 0 ? t->values[value] : 0.0;
}

// The record a line of kind on surface s reads: null when there is none to list.
const ToleranceResult* listed_record(int kind, int s) {
    if (!tolerance_kind_covers(kind, s)) return nullptr;
    const ToleranceResult* r = tolerance_result(tolerance_value_of_kind(kind), s);
    return r != nullptr && r->has_values != 0 ? r : nullptr;
}

// A record whose numbers count: listed and not failed.
const ToleranceResult* counted_record(int kind, int s) {
    const ToleranceResult* r = listed_record(kind, s);
    return r != nullptr && r->failed == 0 ? r : nullptr;
}

// The tolerance printed as briefly as it reads.
void print_trimmed(double value) {
    const int trim = output_option(kOptionTrim);
    set_output_option(kOptionTrim, 1);
    text_number(value);
    set_output_option(kOptionTrim, trim);
}

void print_changes(const double* c) {
    text_number(c[0]);
    text_spaces(3);
    text_number(c[1]);
    if (has_variables()) {
        text_spaces(5);
        text_number(c[2]);
        text_spaces(3);
        text_number(c[3]);
    }
    text_newline();
}

// The start of a line: surface and tolerance; true when the record holds numbers to print.
bool line_start(const ToleranceResult& r, int kind, int s) {
    text_printf("%3d", s);
    text_spaces(2);
    print_trimmed(tolerance_of(kind, s));
    if (r.failed != 0) {
        print_msg(kMsgToleranceStateFailed);
        text_newline();
        return false;
    }
    text_spaces(2);
    return true;
}

// Sums of one quantity: increases, decreases and squares, uncompensated and compensated.
struct Sums {
    double increases[2] = {0.0, 0.0};
    double decreases[2] = {0.0, 0.0};
    double squares[2] = {0.0, 0.0};

    void add(const double* c, bool compensated) {
        for (int k = 0; k < (compensated ? 2 : 1); ++k) {
            const double p = c[2 * k];
            const double m = c[2 * k + 1];
            if (p >= 0.0 && m >= 0.0) {
                increases[k] += std::max(p, m);
            } else if (p < 0.0 && m < 0.0) {
                decreases[k] += std::min(p, m);
            } else if (p >= 0.0) {
                increases[k] += p;
                decreases[k] += m;
            } else {
                increases[k] += m;
                decreases[k] += p;
            }
            const double larger = std::fabs(p) > std::fabs(m) ? p : m;
            squares[k] += larger * larger;
        }
    }
};

void print_pair(double a, double b) {
    text_number(a);
    if (has_variables()) {
        text_spaces(5);
        text_number(b);
    }
    text_newline();
}

void print_sums(const Sums& s) {
    double worst[2];
    double rss[2];
    for (int k = 0; k < 2; ++k) {
        worst[k] =
            std::fabs(s.increases[k]) > std::fabs(s.decreases[k]) ? s.increases[k] : s.decreases[k];
        rss[k] = s.squares[k] > 0.0 ? std::sqrt(s.squares[k]) : 0.0;
    }
    print_msg(kMsgToleranceWorstCase);
    print_pair(worst[0], worst[1]);
    print_msg(kMsgToleranceEstimates);
    text_newline();
    print_msg(kMsgToleranceRss);
    print_pair(rss[0], rss[1]);
    print_msg(kMsgToleranceRssUniform);
    print_pair(rss[0] / std::sqrt(3.0), rss[1] / std::sqrt(3.0));
    print_msg(kMsgToleranceRssProbable);
    print_pair(rss[0] * kProbableShare, rss[1] * kProbableShare);
}

void print_operand_title(int j) {
    const ToleranceRun& run = tolerance_result_tables().run;
    const int k = run.selected[static_cast<std::size_t>(j)];
    char text[512];
    operand_text_for(k, text, sizeof text);
    print_msg(kMsgToleranceOperand, j + 1, k + 1);
    text_printf("%s", text);
    text_newline();
}

template <class Visit>
void for_each_counted(int selection, Visit visit) {
    const int image = lens_data().image_surface;
    for (int kind = 1; kind <= kToleranceKinds; ++kind) {
        if (!kind_selected(selection, kind)) continue;
        for (int s = 1; s <= image; ++s) {
            if (const ToleranceResult* r = counted_record(kind, s)) visit(*r);
        }
    }
}

}  // namespace

int tolerance_kind_header(int kind) {
    return kind >= 1 && kind <= kToleranceKinds ? kHeaders[kind] : 0;
}

bool tolerance_kind_covers(int kind, int s) {
    if (kind == kKindAirThickness) return tolerance_air_behind(s);
    if (kind == kKindGlassThickness) return !tolerance_air_behind(s);
    return kind >= 1 && kind <= kToleranceKinds;
}

bool tolerance_kind_present(int kind) {
    if (kind < 1 || kind > kToleranceKinds) return false;
    if (kind == kKindAbbe && lens_data().wavelength_count < 3) return false;
    for (int s = 1; s <= lens_data().image_surface; ++s) {
        if (tolerance_kind_covers(kind, s) && std::fabs(tolerance_of(kind, s)) > kTiny) {
            return true;
        }
    }
    return false;
}

void list_tolerance_line(int kind, int s) {
    const ToleranceResult* r = listed_record(kind, s);
    if (r == nullptr || !line_start(*r, kind, s)) return;
    print_changes(r->change);
}

void list_operand_tolerance(int j, int kind) {
    const ToleranceRun& run = tolerance_result_tables().run;
    text_newline();
    text_newline();
    print_operand_title(j);
    print_msg(kMsgToleranceOperandNominal);
    text_number(run.selected_nominal[static_cast<std::size_t>(j)]);
    text_newline();
    if (has_variables()) {
        print_msg(kMsgOperandColumns);
        print_msg(kMsgSensitivityColumnsCompensated);
    } else {
        print_msg(kMsgOperandColumnsPlain);
        print_msg(kMsgColumnsEnd);
    }
    for (int s = 1; s <= lens_data().image_surface; ++s) {
        const ToleranceResult* r = listed_record(kind, s);
        if (r == nullptr || !line_start(*r, kind, s)) continue;
        if (static_cast<std::size_t>(j) >= r->operand_changes.size()) {
            text_newline();
            continue;
        }
        print_changes(r->operand_changes[static_cast<std::size_t>(j)].data());
    }
}

InverseTolerance inverse_tolerance(double p, double m, double t, double target) {
    if (std::fabs(target) < kTiny) return {0.0, true};
    const double a = p + m;
    const double b = p - m;
    if (std::fabs(a) < kTiny) {
        if (std::fabs(b) < kTiny) return {0.0, false};  // no change at any tolerance
        return {std::fabs(2.0 * t * target / b), true};
    }
    if (std::fabs(b) >= kTiny) {
        const double q = 8.0 * a * target / (b * b);
        if (1.0 + q < 0.0) return {0.0, false};
        const double root = std::sqrt(1.0 + q);
        const double u1 = (root - 1.0) * b * t / (2.0 * a);
        const double u2 = (-1.0 - root) * b * t / (2.0 * a);
        return {std::min(std::fabs(u1), std::fabs(u2)), true};
    }
    if (a * target < 0.0) return {0.0, false};
    return {std::sqrt(std::fabs(2.0 * target / a)) * std::fabs(t), true};
}

double fringe_aperture_ratio(int s) {
    const LensData& l = lens_data();
    const SurfaceRecord& r = surface(s);
    const double units = l.units != 0.0 ? l.units : 1.0;
    const double d =
        kToleranceClassDefaults[diameter_class(units * r.aperture_radius)].test_plate_diameter /
        units;
    if (std::fabs(d) <= kTiny) return 1.0;
    const double a = r.aperture_radius;
    const double c = r.curvature;
    const double plain = (a / d) * (a / d);
    if (std::fabs(c) < kTiny) return plain;
    const auto height = [](double x) {
        const double under = 1.0 - x * x;
        return under > 0.0 ? 1.0 - std::sqrt(under) : -1.0;
    };
    const double plate = height(d * c / 2.0);
    const double full = height(a * c);
    return plate > 0.0 && full > 0.0 ? full / plate : plain;
}

void list_inverse_tolerance_line(int kind, int s, double target) {
    const ToleranceResult* r = listed_record(kind, s);
    if (r == nullptr) return;
    text_printf("%3d", s);
    if (r->failed != 0) {
        print_msg(kMsgToleranceStateFailed);
        text_newline();
        return;
    }
    double t = tolerance_of(kind, s);
    const int value = tolerance_value_of_kind(kind);
    if ((kind == kKindPower || kind == kKindIrregularity) &&
        surface(s).tolerances->switches[value] == 0) {
        const double ratio = fringe_aperture_ratio(s);
        if (std::fabs(ratio - 1.0) > kTiny) t *= ratio;
    }
    const auto print = [&](const InverseTolerance& u) {
        if (u.solved) {
            text_number(u.value);
        } else {
            print_msg(kMsgInverseNoSolution);
        }
    };
    text_spaces(6);
    print(inverse_tolerance(r->change[0], r->change[1], t, target));
    if (has_variables()) {
        text_spaces(5);
        print(inverse_tolerance(r->change[2], r->change[3], t, target));
    }
    text_newline();
}

void print_tolerance_summary(int selection) {
    const ToleranceRun& run = tolerance_result_tables().run;
    Sums error;
    std::vector<Sums> operands(run.selected.size());
    for_each_counted(selection, [&](const ToleranceResult& r) {
        error.add(r.change, has_variables());
        for (std::size_t j = 0; j < operands.size() && j < r.operand_changes.size(); ++j) {
            operands[j].add(r.operand_changes[j].data(), has_variables());
        }
    });
    print_msg(kMsgToleranceSummary);
    print_sums(error);
    for (std::size_t j = 0; j < operands.size(); ++j) {
        text_newline();
        print_operand_title(static_cast<int>(j));
        print_sums(operands[j]);
    }
}

void list_compensator_changes(int selection) {
    const ToleranceRun& run = tolerance_result_tables().run;
    const OptimiseTables& o = optimise_tables();
    if (!run.has_variables) return;
    print_msg(kMsgCompensatorChanges);
    for (int v = 0; v <= o.highest_variable; ++v) {
        const auto at = static_cast<std::size_t>(v);
        const double nominal = at < run.nominal_variables.size() ? run.nominal_variables[at] : 0.0;
        double sum = 0.0;
        double squares[2] = {0.0, 0.0};
        double largest = 0.0;
        int n = 0;
        for_each_counted(selection, [&](const ToleranceResult& r) {
            for (const int side : {kSidePlus, kSideMinus}) {
                if (at >= r.compensators[side].size()) continue;
                const double x = r.compensators[side][at] - nominal;
                sum += x;
                squares[side] += x * x;
                largest = std::max(largest, std::fabs(x));
            }
            ++n;
        });
        double mean = 0.0;
        double deviation = 0.0;
        double rss = 0.0;
        if (n > 0) {
            mean = sum / (2.0 * n);
            const double variance = (squares[0] + squares[1]) / (2.0 * n) - mean * mean;
            deviation = variance > 0.0 ? std::sqrt(variance) : 0.0;
            rss = std::sqrt(std::max(squares[0], squares[1]));
        }
        const Variable& var = o.variables[at];
        text_printf(" %-4s %3d", var.type_name, static_cast<int>(var.surface));
        for (const double x : {mean, deviation, largest, rss}) {
            text_spaces(2);
            text_number(x);
        }
        text_newline();
    }
}

ToleranceFailures count_tolerance_failures(int selection) {
    ToleranceFailures f;
    const int image = lens_data().image_surface;
    for (int kind = 1; kind <= kToleranceKinds; ++kind) {
        if (!kind_selected(selection, kind)) continue;
        for (int s = 1; s <= image; ++s) {
            const ToleranceResult* r = listed_record(kind, s);
            if (r == nullptr) continue;
            if (r->failed != 0) ++f.states;
            if (r->compensation_failed != 0) ++f.compensations;
        }
    }
    return f;
}
