// The results of the tolerance analyses: per tolerance value and surface, what perturbing the
// lens by plus and minus the tolerance did to the error value and to the selected operands,
// with and without compensators, and the state of the run those results belong to.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "lens/surface_tolerances.h"
#include "optimise/damped_least_squares.h"

// The analysis kinds: 1..19 one tolerance each; 25, 26 and 27 the groups.
inline constexpr int kToleranceKinds = 19;
inline constexpr int kKindGroupConstruction = 25;
inline constexpr int kKindGroupAlignment = 26;
inline constexpr int kKindGroupAll = 27;
enum ToleranceKind : int {
    kKindRadius = 1,
    kKindPower = 2,
    kKindIrregularity = 3,
    kKindConic = 4,
    kKindAirThickness = 5,
    kKindGlassThickness = 6,
    kKindPosition = 7,
    kKindIndex = 8,
    kKindAbbe = 9,
    kKindDecentreY = 10,
    kKindDecentreX = 11,
    kKindTiltA = 12,
    kKindTiltB = 13,
    kKindElementDecentreY = 14,
    kKindElementDecentreX = 15,
    kKindElementEdgeTiltA = 16,
    kKindElementEdgeTiltB = 17,
    kKindElementCentreTiltA = 18,
    kKindElementCentreTiltB = 19,
};

// The tolerance value (ToleranceValue) a kind perturbs; -1 outside 1..19. Kinds 5 and 6 share
// the thickness tolerance and its results.
int tolerance_value_of_kind(int kind);
// Whether the argument of an analysis (a kind or a group) lists kind.
bool kind_selected(int selection, int kind);

// Plus and minus: the two perturbed states of one record.
enum ToleranceSide : int { kSidePlus = 0, kSideMinus = 1 };

struct ToleranceResult {
    // Changes of the error value: plus, minus, plus compensated, minus compensated.
    double change[4] = {0.0, 0.0, 0.0, 0.0};
    // Per selected operand the same four changes of its value.
    std::vector<std::array<double, 4>> operand_changes;
    // The variables after compensating each side (nominal values when it failed).
    std::vector<double> compensators[2];
    std::uint8_t computed = 0;
    std::uint8_t has_values = 0;
    // A side whose perturbed lens could not be set up: the record holds nothing to read.
    std::uint8_t failed = 0;
    int failure = 0;  // the first failure's message
    // A side whose compensation failed: its compensated entries are the uncompensated ones.
    std::uint8_t compensation_failed = 0;
};

// What one run measures against, kept until the next run.
struct ToleranceRun {
    double nominal_error = 0.0;
    std::vector<int> selected;              // operand indices labelled "tolop"
    std::vector<double> selected_nominal;   // their values on the nominal lens
    std::vector<double> nominal_variables;  // one per variable
    bool has_variables = false;
    // Perturbed states evaluated, and the operand evaluations their compensations took
    // (derivative steps and the measurement of the compensated lens included).
    long states = 0;
    long compensation_evaluations = 0;
    // Every lens set-up and operand evaluation of the run, counted and timed: the rest of the
    // run's time is the analysis's own.
    IterateProfile profile;
};

struct ToleranceResultTables {
    // One table per tolerance value, indexed by surface; empty when nothing is allocated.
    std::array<std::vector<ToleranceResult>, kToleranceCount> tables;
    int count = 0;  // records per table: the image index + 1 at allocation
    // Set when operand entry or variable entry is left: the records are remade or cleared.
    bool reallocate = true;
    bool variables_changed = true;
    int compensator_size = 0;
    bool remake_compensators = true;
    // The lens text (without its tolerances) the results were computed on.
    std::string lens_text;
    ToleranceRun run;
};

ToleranceResultTables& tolerance_result_tables();

// The record of tolerance value k and surface s; null when none is allocated.
ToleranceResult* tolerance_result(int value, int s);

// The run's lens set-up and error-function evaluation, counted and timed in its profile.
int tolerance_set_up();
void tolerance_evaluate();

// Makes or clears the tables for a run with m selected operands and the lens text the run
// starts from: all or nothing. 0 or -10 (nothing allocated then).
int alloc_tolerance_results(int m, const std::string& lens_text);
// The four changes and both bytes of one record zeroed; its arrays stay.
void clear_tolerance_pair(ToleranceResult& r);
// Everything freed (a new lens).
void free_tolerance_results();
// The compensator arrays of every record: max(1, number of variables) entries each.
int alloc_compensator_arrays();
void free_compensator_arrays();

// Operand entry or variable entry was left.
void tolerance_operands_changed();
void tolerance_variables_changed();

// Installs the clearer of a single result that the tolerance commands call.
void install_tolerance_result_clearer();
