// The run-time definitions table ("rtdefs.amo", magic "amdo_01"): the command vocabulary, the
// command records and parameter descriptors, constants, global names, the value pool, the
// procedure records, the interpreter's work areas and the enable conditions. Every count,
// offset and number in it is checked when it is loaded; a damaged table does not load.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/table_format.h"

inline constexpr int kDefinitionsReload = 100;
inline constexpr int kTreeNone = 0;
inline constexpr int kTreePrivate = 1;
inline constexpr int kTreePublic = 2;
inline constexpr std::size_t kSymbolNameBufferSize = 64;
inline constexpr std::size_t kLookupNameSize = 48;

// Opens the definitions table (stale: public tree only; else private first, then public),
// checks the magic and the version "5.40" (-6). 0 or -1 with the error reported.
int open_definitions_file(const char* name, const char* magic);
// The tree the definitions came from (kTreeNone before a successful open).
int definitions_tree();

// 0 or -1. reload = 0 at start-up (loads the stroke font and the conditions too), 100 on reload.
int load_definitions(int reload);
// Frees the tables (the work areas and conditions stay) and loads again.
int reload_definitions();
// Frees everything, as before the first load.
void free_definitions();

// Binary search of a big-endian symbol or list name table: the value, or -1.
int find_name(const std::uint8_t* table, const char* name);
// Searches the name in the lookup buffer in the local names (when asked and loaded), then the
// global names; the address of its 4-byte entry (and the matched name through name_out), or null.
std::uint8_t* find_global_name(const char** name_out, bool search_locals);
char* global_lookup_buffer();

// The name of a symbol: the longer of its first two aliases, context suffix cut; "?" when none.
const char* symbol_name(int symbol);
const char* symbol_full_name(int symbol);   // the longer alias, suffix kept
const char* symbol_short_name(int symbol);  // the shorter alias, suffix cut

// Loads (release 0) or releases the local-name tables of the procedure running at call_depth
// with the given symbol number.
void load_local_names(int release, int call_depth, int symbol);
bool local_names_loaded();

// The loaded tables.
struct Definitions {
    std::uint8_t* names = nullptr;  // symbol name table
    std::size_t names_size = 0;
    CommandRecord* commands = nullptr;
    int command_count = 0;
    ParamDescriptor* descriptors = nullptr;
    int descriptor_count = 0;
    double* constants = nullptr;
    int constant_count = 0;
    std::uint16_t* param_index = nullptr;
    int param_index_count = 0;
    char* param_names = nullptr;
    std::size_t param_names_size = 0;
    std::uint8_t* global_names = nullptr;
    std::size_t global_names_size = 0;
    std::uint8_t* global_values = nullptr;
    std::size_t global_values_size = 0;
    ProcedureRecord* procedures = nullptr;
    int procedure_count = 0;
    int local_names_switch = 0;
    int value_count = 0;
    std::uint8_t* value_pool = nullptr;
    std::size_t value_pool_size = 0;
    std::uint8_t** values = nullptr;  // value n: pool start + offset n
    std::uint32_t code_work_size = 0;
    std::uint32_t data_area_size = 0;
    std::uint8_t* code_work = nullptr;
    std::uint8_t* data_area = nullptr;
    void** data_pointers = nullptr;  // data area size / 16 pointers
    std::uint16_t data_pointer_count = 0;
    std::uint8_t* conditions = nullptr;
    std::size_t conditions_size = 0;
    int condition_count = 0;
    char version[256] = {};
};
const Definitions& definitions();
// The work areas belong to the interpreter, which writes into them.
std::uint8_t* code_work_area();
std::uint8_t* data_area();

// A table that the first load of the definitions loads beside them (the stroke font, which the
// drawing code above this layer owns); its failure fails the load. Null loads nothing.
void set_first_load_companion(int (*load)());
