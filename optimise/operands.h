// Operands: the expression language of an operand definition ("OP5", "OP1**2", "REF2-OP3",
// "OP4<0.5", "GROUP"), the table edits that keep operand references right, the evaluation of
// every operand from the operand result table, the text of a definition and the operand block
// of a lens file.
#pragma once

#include <string>

#include "optimise/optimise_data.h"

// Parses text as the definition of operand number (0-based) into two tokens. 0, or -2459
// (syntax), -2693 (result slot above 50, message text set, -9998 returned), -2443, -2451,
// -2452, -2458, -2523, -2538, -2539 or -2552.
int parse_operand(int number, OperandToken* left, OperandToken* right, const char* text);

// Defines operand number (0-based): insert (action 3, or a number past the last) or replace.
// Label and weight copied, value, previous value and target cleared, mode minimise.
int store_operand(int action, int number, const char* text, double weight, const char* label);
// 0 or -2456 (table full).
int insert_operand_slot(int position);
// 0, -2455 (no such operand) or -2460 (a later operand refers to it).
int delete_operand(int position);

// The definition of operand number (0-based) as text.
std::string operand_to_text(int number);
// The same into a buffer of size bytes (tolerancing's reports); the keyword list is the one the
// parser reads.
void operand_text_for(int number, char* buffer, int size);

// Orders the tokens for evaluation; sets the chain-compiled flag.
void compile_operand_chain();
// Evaluates every operand: the operand command runs once when a slot is read. Never fails; a
// failed operand takes 1e20, an undefined result 1e40. The operand command's own status is left
// in optimise_tables().operand_command_status.
void evaluate_operands();
// Stores every operand's current side values as its nominal values (relative-to-nominal mode).
void set_operand_nominals();

// The operand block of a lens file (nothing when no operand has an expression).
void write_operands();

// Whether a token of operand i refers to operand j.
bool operand_refers_to(int i, int j);
