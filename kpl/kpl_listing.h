// A readable listing of compiled command-language code, one statement per line: its address,
// the opcode's name and its operands (expressions written out with operator texts). Tests compare
// listings instead of bytes; a debug command can print one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "kpl/kpl_compiler.h"

// The listing of size bytes of statement code at base (names resolved through names, null for
// the definitions table). A byte that cannot be decoded ends the listing with "?? <byte>".
std::string kpl_listing(const std::uint8_t* base, std::size_t size,
                        const KplNameSource* names = nullptr);
// The listing of one expression (expression-only code).
std::string kpl_expression_listing(const std::uint8_t* base, std::size_t size,
                                   const KplNameSource* names = nullptr);
// Compiles text (statement mode) and lists it; a failed compile gives "error <number>".
std::string kpl_compile_listing(const char* text, const KplNameSource* names = nullptr);
