// The optimisation records of the current lens: the operand table with its two expression
// tokens per operand, the operand result table the operand command fills, the variable table,
// and the work values of the error function. One record holds them all; the tables are sized
// from the settings on the first entry to operand or variable entry.
#pragma once

#include <cstdint>
#include <vector>

#include "tables/table_names.h"

inline constexpr int kOperandResultSlots = 51;  // the "oprd" array, slots 0..50
inline constexpr int kOperandLabelLength = 12;
inline constexpr int kVariableTypeNameLength = 11;
inline constexpr int kDefaultOperandCapacity = 300;
inline constexpr int kDefaultVariableCapacity = 50;
inline constexpr int kDefaultConstraintCapacity = 20;

// Sentinels of evaluation: a failed operand, and a division by zero or an undefined power.
inline constexpr double kFailedOperandValue = 1e20;
inline constexpr double kUndefinedOperandValue = 1e40;
inline constexpr double kOptimiseZero = 1e-40;

// Token kinds.
enum OperandKind : std::int16_t {
    kTokenEmpty = 0,
    kTokenSlot = 7,        // a slot of the operand result table
    kTokenNumber = 8,      // a number literal
    kTokenGroupStart = 9,  // GROUP
    kTokenReference = 10,  // the value of an earlier operand
    kTokenGroupEnd = 11,   // ENDGROUP
};

// Operators: index into "\"-+*/^<>(),".
enum OperandOperator : std::int16_t {
    kOpNone = 0,
    kOpMinus = 1,
    kOpPlus = 2,
    kOpTimes = 3,
    kOpDivide = 4,
    kOpPower = 5,
    kOpLess = 6,
    kOpGreater = 7,
};

struct OperandToken {
    double value = 0.0;
    std::int32_t sort_key = 0;
    std::int32_t next = -1;
    std::int16_t op = kOpNone;  // slot 1: the sign (minus or plus); slot 2: between the sides
    std::int16_t kind = kTokenEmpty;
    std::int16_t index = 0;  // kind 7: result slot; kind 10: referenced operand (0-based)
    std::int16_t a1 = 0, a2 = 0, a3 = 0, a4 = 0;
    std::int16_t configuration = 1;
    std::uint8_t failed = 0;
    std::uint8_t pending = 0;
};

// What an operand asks of the iteration ("M" or "C" in its line).
enum OperandMode : std::uint8_t { kOperandMinimise = 0, kOperandConstraint = 1 };

struct Operand {
    double value = 0.0;     // for a constraint: expression minus target
    double previous = 0.0;  // before the last derivative step
    double weight = 0.0;
    double target = 0.0;
    std::uint8_t mode = kOperandMinimise;  // OperandMode
    std::uint8_t active = 0;
    std::uint8_t failed = 0;
    char label[kOperandLabelLength + 1] = {};
    // The side values measured on the nominal lens, subtracted in the relative-to-nominal mode.
    double nominal[2] = {0.0, 0.0};
};

struct Variable {
    double lower = 0.0;
    double upper = 0.0;
    double increment = 0.0;  // 0 automatic; negative: kept as set, its magnitude the step
    double violation = 0.0;
    double damping_weight = 1.0;
    double value = 0.0;  // the lens value when variable entry was left
    std::uint16_t type = 0;
    std::uint16_t item = 0;
    std::uint16_t surface = 0;
    std::int16_t configuration = 0;  // 0 every configuration
    std::int16_t bound_state = 0;    // 0 none, 1 in force, -1 violated
    std::int16_t next = -1;          // sorted order
    char type_name[kVariableTypeNameLength + 1] = {};
};

struct ErrorFunction {
    double minimisation = 0.0;
    double constraint = 0.0;
    double minimisation_weights = 0.0;
    double constraint_weights = 0.0;
    double bound_penalty = 0.0;
    int evaluations = 0;
    bool has_bounds = false;
    bool bound_violated = false;
};

struct OptimiseTables {
    bool operands_allocated = false;
    bool variables_allocated = false;
    std::vector<Operand> operands;     // capacity entries
    std::vector<OperandToken> tokens;  // two per operand
    int operand_count = 0;
    std::vector<Variable> variables;  // capacity entries
    int highest_variable = -1;        // -1 when empty
    int sorted_head = -1;
    double results[kOperandResultSlots] = {};  // the "oprd" array
    bool chain_compiled = false;
    int chain_head = -1;
    int configuration_count = 1;
    int operand_command_status = 0;  // the last run of the operand command: 0 or its message
    bool relative_to_nominal = false;
    bool compensating = false;  // tolerancing's compensators run: no Escape question
    bool results_exist = false;
    std::vector<double> last_steps;  // per variable (table order): the change of the last step
    // The surface whose variable types the type filter offers; -1 the lens's current surface.
    int type_filter_surface = -1;
    ErrorFunction error;
};

OptimiseTables& optimise_tables();

// Sizes the operand table (setting 6) and the variable table (setting 5) on first use; a setting
// below 1 is replaced by its default and stored back. 0, or -10.
int allocate_operand_table();
int allocate_variable_table();

// Every variable and operand removed (a new lens).
void clear_optimise_tables();
