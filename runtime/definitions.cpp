#include "runtime/definitions.h"

#include <cstring>

#include "numeric/memory.h"
#include "runtime/state_flags.h"
#include "runtime/table_code.h"
#include "runtime/table_files.h"
#include "runtime/table_lists.h"

namespace {

constexpr int kCountLimit = kSignedField16Max;  // LE16 counts the records are indexed by

// The definitions table read from the installation at start (its records, the tree it came
// from, whether the first load is done and what runs beside it), the buffers a looked-up name is
// built in, and the local names of the procedure being compiled.
struct DefinitionsState {
    Definitions defs;
    int loaded_tree = kTreeNone;
    bool first_load_done = false;
    int (*first_load_companion)() = nullptr;
    char symbol_buffer[kSymbolNameBufferSize] = {};
    char lookup_buffer[kLookupNameSize] = {};
    std::uint8_t* local_names = nullptr;
    std::uint8_t* local_values = nullptr;
    int local_symbol = -1;
};

DefinitionsState g_definitions;

void free_tables() {
    mem_free(g_definitions.defs.values);
    mem_free(g_definitions.defs.value_pool);
    mem_free(g_definitions.defs.procedures);
    mem_free(g_definitions.defs.global_values);
    mem_free(g_definitions.defs.global_names);
    mem_free(g_definitions.defs.param_names);
    mem_free(g_definitions.defs.param_index);
    mem_free(g_definitions.defs.constants);
    mem_free(g_definitions.defs.descriptors);
    mem_free(g_definitions.defs.commands);
    mem_free(g_definitions.defs.names);
    g_definitions.defs.values = nullptr;
    g_definitions.defs.value_pool = nullptr;
    g_definitions.defs.procedures = nullptr;
    g_definitions.defs.global_values = nullptr;
    g_definitions.defs.global_names = nullptr;
    g_definitions.defs.param_names = nullptr;
    g_definitions.defs.param_index = nullptr;
    g_definitions.defs.constants = nullptr;
    g_definitions.defs.descriptors = nullptr;
    g_definitions.defs.commands = nullptr;
    g_definitions.defs.names = nullptr;
    g_definitions.defs.value_count = g_definitions.defs.procedure_count =
        g_definitions.defs.param_index_count = 0;
    g_definitions.defs.constant_count = g_definitions.defs.descriptor_count =
        g_definitions.defs.command_count = 0;
    g_definitions.defs.names_size = g_definitions.defs.param_names_size =
        g_definitions.defs.global_names_size = 0;
    g_definitions.defs.global_values_size = g_definitions.defs.value_pool_size = 0;
}

void free_local_names() {
    mem_free(g_definitions.local_names);
    mem_free(g_definitions.local_values);
    g_definitions.local_names = nullptr;
    g_definitions.local_values = nullptr;
    g_definitions.local_symbol = -1;
}

// Reads a counted block; a zero size gives no block and success.
bool read_sized(AmoFile& file, std::size_t size, std::uint8_t*& block) {
    block = nullptr;
    if (size == 0) return file.pending_error() == 0;
    block = file.read_block(size);
    return block != nullptr;
}

bool handle_in_range(unsigned handle, bool as_list) {
    const unsigned kind = handle & kHandleKindMask;
    const unsigned n = handle & kHandleNumberMask;
    if (as_list) return true;  // list handles name handler slots and lists, checked where used
    if (kind == kHandleConstant)
        return n < static_cast<unsigned>(g_definitions.defs.constant_count);
    if (kind == kHandleValue) return n < static_cast<unsigned>(g_definitions.defs.value_count);
    return true;
}

// Cross-checks of the loaded tables: every number that indexes another table stays inside it.
bool tables_consistent() {
    for (const NameEntry& e :
         name_table_entries(g_definitions.defs.names, NameTableForm::big_endian_with_values)) {
        if (e.value < static_cast<unsigned>(kUserSymbolBase)) {
            if (e.value >= static_cast<unsigned>(g_definitions.defs.command_count)) return false;
        } else if (e.value - kUserSymbolBase >=
                   static_cast<unsigned>(g_definitions.defs.procedure_count)) {
            return false;
        }
    }
    const int conditions =
        g_definitions.first_load_done ? g_definitions.defs.condition_count : kNoCondition;
    for (int i = 0; i < g_definitions.defs.command_count; ++i) {
        const CommandRecord& r = g_definitions.defs.commands[i];
        if (r.name_field < 0 ||
            static_cast<std::size_t>(r.name_field) >= g_definitions.defs.names_size) {
            return false;
        }
        if (r.parameter_count == 1 &&
            (r.parameter_field < 0 || r.parameter_field >= g_definitions.defs.descriptor_count)) {
            return false;
        }
        if (r.parameter_count >= 2 &&
            (r.parameter_field < 0 ||
             r.parameter_field + r.parameter_count > g_definitions.defs.param_index_count)) {
            return false;
        }
        if (g_definitions.first_load_done && r.enable_condition != kNoCondition &&
            r.enable_condition >= conditions) {
            return false;
        }
    }
    for (int i = 0; i < g_definitions.defs.param_index_count; ++i) {
        if ((g_definitions.defs.param_index[i] & kParamIndexMask) >=
            static_cast<unsigned>(g_definitions.defs.descriptor_count))
            return false;
    }
    for (int i = 0; i < g_definitions.defs.descriptor_count; ++i) {
        const ParamDescriptor& d = g_definitions.defs.descriptors[i];
        if (d.name_offset < 0 ||
            static_cast<std::size_t>(d.name_offset) >= g_definitions.defs.param_names_size) {
            if (!(d.name_offset == 0 && g_definitions.defs.param_names_size == 0)) return false;
        }
        if (!handle_in_range(d.default_handle, false) || !handle_in_range(d.lower_handle, false) ||
            !handle_in_range(d.upper_handle, false) || !handle_in_range(d.prompt_handle, false)) {
            return false;
        }
    }
    if (g_definitions.defs.param_names_size > 0 &&
        g_definitions.defs.param_names[g_definitions.defs.param_names_size - 1] != '\0') {
        return false;
    }
    const std::size_t globals =
        g_definitions.defs.global_names != nullptr ? le16_at(g_definitions.defs.global_names) : 0;
    if (g_definitions.defs.global_values_size != 4 * globals) return false;
    for (int i = 0; i < g_definitions.defs.value_count; ++i) {
        const std::size_t off =
            static_cast<std::size_t>(g_definitions.defs.values[i] - g_definitions.defs.value_pool);
        if (off + kValueTextOffset > g_definitions.defs.value_pool_size) return false;
    }
    return true;
}

int allocate_work_areas(std::uint32_t code_size, std::uint32_t data_size) {
    // The slot count is held in 16 bits.
    if (data_size / kDataAreaBytesPerSlot > kField16Max) return -8;
    if (data_size != g_definitions.defs.data_area_size || g_definitions.defs.data_area == nullptr) {
        mem_free(g_definitions.defs.data_pointers);
        mem_free(g_definitions.defs.data_area);
        g_definitions.defs.data_pointer_count =
            static_cast<std::uint16_t>(data_size / kDataAreaBytesPerSlot);
        g_definitions.defs.data_pointers =
            alloc_array_of<void*>(g_definitions.defs.data_pointer_count + 1u);
        g_definitions.defs.data_area = static_cast<std::uint8_t*>(mem_alloc(data_size + 1u));
        g_definitions.defs.data_area_size = data_size;
    }
    if (code_size != g_definitions.defs.code_work_size || g_definitions.defs.code_work == nullptr) {
        mem_free(g_definitions.defs.code_work);
        g_definitions.defs.code_work = static_cast<std::uint8_t*>(mem_alloc(code_size + 1u));
        g_definitions.defs.code_work_size = code_size;
    }
    if (g_definitions.defs.data_pointers == nullptr || g_definitions.defs.data_area == nullptr ||
        g_definitions.defs.code_work == nullptr) {
        return -10;
    }
    return 0;
}

int load_body(AmoFile& file, int reload) {
    std::uint8_t* block = nullptr;
    g_definitions.defs.names_size = file.read_be16();
    if (!read_sized(file, g_definitions.defs.names_size, block)) return -1;
    g_definitions.defs.names = block;
    if (check_name_table(g_definitions.defs.names, g_definitions.defs.names_size,
                         NameTableForm::big_endian_with_values))
        return -8;

    g_definitions.defs.command_count = static_cast<int>(file.read_le16());
    if (!read_sized(file, kCommandRecordSize * g_definitions.defs.command_count, block)) return -1;
    g_definitions.defs.commands = reinterpret_cast<CommandRecord*>(block);

    g_definitions.defs.descriptor_count = static_cast<int>(file.read_le16());
    if (!read_sized(file, kParamDescriptorSize * g_definitions.defs.descriptor_count, block))
        return -1;
    g_definitions.defs.descriptors = reinterpret_cast<ParamDescriptor*>(block);

    g_definitions.defs.constant_count = static_cast<int>(file.read_le16());
    if (!read_sized(file, sizeof(double) * g_definitions.defs.constant_count, block)) return -1;
    g_definitions.defs.constants = reinterpret_cast<double*>(block);

    g_definitions.defs.param_index_count = static_cast<int>(file.read_le16());
    if (!read_sized(file, 2u * g_definitions.defs.param_index_count, block)) return -1;
    g_definitions.defs.param_index = reinterpret_cast<std::uint16_t*>(block);

    g_definitions.defs.param_names_size = file.read_le16();
    if (!read_sized(file, g_definitions.defs.param_names_size, block)) return -1;
    g_definitions.defs.param_names = reinterpret_cast<char*>(block);

    g_definitions.defs.global_names_size = file.read_le16();
    if (!read_sized(file, g_definitions.defs.global_names_size, block)) return -1;
    g_definitions.defs.global_names = block;
    if (g_definitions.defs.global_names != nullptr &&
        check_name_table(g_definitions.defs.global_names, g_definitions.defs.global_names_size,
                         NameTableForm::little_endian))
        return -8;

    g_definitions.defs.global_values_size = file.read_le16();
    if (!read_sized(file, g_definitions.defs.global_values_size, block)) return -1;
    g_definitions.defs.global_values = block;

    g_definitions.defs.procedure_count = static_cast<int>(file.read_le16());
    if (!read_sized(file, kProcedureRecordSize * g_definitions.defs.procedure_count, block))
        return -1;
    g_definitions.defs.procedures = reinterpret_cast<ProcedureRecord*>(block);

    g_definitions.defs.local_names_switch = static_cast<int>(file.read_le16());
    g_definitions.defs.value_count = static_cast<int>(file.read_le16());
    const std::uint32_t code_size = file.read_le32();
    const std::uint32_t data_size = file.read_le32();
    if (g_definitions.defs.command_count > kCountLimit ||
        g_definitions.defs.descriptor_count > kCountLimit ||
        g_definitions.defs.procedure_count > kCountLimit ||
        g_definitions.defs.value_count > kCountLimit) {
        return -8;
    }
    if (g_definitions.defs.value_count > 0) {
        g_definitions.defs.value_pool_size = file.read_le32();
        if (!read_sized(file, g_definitions.defs.value_pool_size, block)) return -1;
        g_definitions.defs.value_pool = block;
        g_definitions.defs.values =
            alloc_array_of<std::uint8_t*>(static_cast<std::size_t>(g_definitions.defs.value_count));
        if (g_definitions.defs.values == nullptr) return -10;
        for (int i = 0; i < g_definitions.defs.value_count; ++i) {
            const std::uint32_t off = file.read_le32();
            if (off >= g_definitions.defs.value_pool_size) return -8;
            g_definitions.defs.values[i] = g_definitions.defs.value_pool + off;
        }
    }
    if (file.pending_error() != 0) return -1;
    const int work = allocate_work_areas(code_size, data_size);
    if (work != 0) return work;

    if (reload == 0 && !g_definitions.first_load_done) {
        g_definitions.defs.condition_count = static_cast<int>(file.read_le16());
        if (g_definitions.defs.condition_count > 0) {
            g_definitions.defs.conditions_size = file.read_le16();
            if (!read_sized(file, g_definitions.defs.conditions_size, block)) return -1;
            g_definitions.defs.conditions = block;
        }
        if (file.pending_error() != 0) return -1;
        if (check_condition_block(g_definitions.defs.conditions, g_definitions.defs.conditions_size,
                                  g_definitions.defs.condition_count))
            return -8;
        set_condition_block(g_definitions.defs.conditions, g_definitions.defs.conditions_size,
                            g_definitions.defs.condition_count);
        g_definitions.first_load_done = true;
    }
    return tables_consistent() ? 0 : -8;
}

const char* symbol_choice(int symbol, bool longer, bool cut_suffix) {
    if (g_definitions.defs.names == nullptr) return "?";
    const unsigned n = be16_at(g_definitions.defs.names);
    const char* first = nullptr;
    const char* second = nullptr;
    for (unsigned i = 0; i < n && second == nullptr; ++i) {
        if (be16_at(g_definitions.defs.names + 2 + 2 * n + 2 * i) != static_cast<unsigned>(symbol))
            continue;
        const char* name = reinterpret_cast<const char*>(
            g_definitions.defs.names + be16_at(g_definitions.defs.names + 2 + 2 * i));
        if (first == nullptr) {
            first = name;
        } else {
            second = name;
        }
    }
    if (first == nullptr) return "?";
    const char* chosen = first;
    if (second != nullptr) {
        const std::size_t a = std::strlen(first);
        const std::size_t b = std::strlen(second);
        chosen = longer ? (b > a ? second : first) : (b <= a ? second : first);
    }
    std::strncpy(g_definitions.symbol_buffer, chosen, kSymbolNameBufferSize - 1);
    g_definitions.symbol_buffer[kSymbolNameBufferSize - 1] = '\0';
    const std::size_t len = std::strlen(g_definitions.symbol_buffer);
    if (cut_suffix && symbol < kUserSymbolBase && len >= 3 &&
        g_definitions.symbol_buffer[len - 2] == '_') {
        g_definitions.symbol_buffer[len - 2] = '\0';
    }
    return g_definitions.symbol_buffer;
}

}  // namespace

int definitions_tree() {
    return g_definitions.loaded_tree;
}

int open_definitions_file(const char* name, const char* magic) {
    AmoFile& file = current_amo_file();
    g_definitions.loaded_tree = kTreeNone;
    int rc = -7;
    if (tables_stale() == 0) {
        rc = file.open(false, name, magic, false);
        if (rc == 0) g_definitions.loaded_tree = kTreePrivate;
    }
    if (rc != 0) {
        rc = file.open(true, name, magic);
        if (rc != 0) return -1;
        g_definitions.loaded_tree = kTreePublic;
    }
    const unsigned length = file.read_byte();
    char version[256] = {};
    file.read_bytes(version, length);
    if (file.pending_error() != 0) {
        file.close();
        g_definitions.loaded_tree = kTreeNone;
        return -1;
    }
    if (length != std::strlen(kProgramVersion) || std::memcmp(version, kProgramVersion, length)) {
        file.close(-6);
        g_definitions.loaded_tree = kTreeNone;
        return -1;
    }
    std::memcpy(g_definitions.defs.version, version, sizeof g_definitions.defs.version);
    return 0;
}

int load_definitions(int reload) {
    const bool first = reload == 0 && !g_definitions.first_load_done;
    if (first && g_definitions.first_load_companion != nullptr &&
        g_definitions.first_load_companion() != 0)
        return -1;
    if (open_definitions_file("rtdefs.amo", kDefinitionsMagic) != 0) return -1;
    AmoFile& file = current_amo_file();
    const int rc = load_body(file, reload);
    if (rc != 0) {
        // Nothing half-loaded stays behind.
        free_tables();
        if (first && g_definitions.first_load_done) {
            set_condition_block(nullptr, 0, 0);
            mem_free(g_definitions.defs.conditions);
            g_definitions.defs.conditions = nullptr;
            g_definitions.defs.condition_count = 0;
            g_definitions.first_load_done = false;
        }
        if (rc == -1) {
            file.close();
        } else {
            file.discard();
            report_table_error(rc, file.path());
        }
        return -1;
    }
    if (file.close() != 0) return -1;
    if (g_definitions.defs.procedure_count > 0 && open_code_file() != 0) return -1;
    if (open_lists_file(reload) != 0) return -1;
    return 0;
}

int reload_definitions() {
    free_tables();
    free_local_names();
    close_code_file();
    return load_definitions(kDefinitionsReload);
}

void free_definitions() {
    free_tables();
    free_local_names();
    close_code_file();
    mem_free(g_definitions.defs.data_pointers);
    mem_free(g_definitions.defs.data_area);
    mem_free(g_definitions.defs.code_work);
    set_condition_block(nullptr, 0, 0);
    mem_free(g_definitions.defs.conditions);
    g_definitions.defs = Definitions{};
    g_definitions.first_load_done = false;
    g_definitions.loaded_tree = kTreeNone;
}

const Definitions& definitions() {
    return g_definitions.defs;
}
std::uint8_t* code_work_area() {
    return g_definitions.defs.code_work;
}
std::uint8_t* data_area() {
    return g_definitions.defs.data_area;
}

int find_name(const std::uint8_t* table, const char* name) {
    if (table == nullptr || name == nullptr || name[0] == '\0') return -1;
    const int n = static_cast<int>(be16_at(table));
    if (n < 1) return -1;
    const int entry = name_table_search(table, NameTableForm::big_endian_with_values, name);
    if (entry == 0) return -1;
    return static_cast<int>(be16_at(table + 2 + 2 * n + 2 * (entry - 1)));
}

char* global_lookup_buffer() {
    return g_definitions.lookup_buffer;
}

std::uint8_t* find_global_name(const char** name_out, bool search_locals) {
    g_definitions.lookup_buffer[kLookupNameSize - 1] = '\0';
    struct Pair {
        std::uint8_t* names;
        std::uint8_t* values;
    };
    const Pair tables[2] = {
        {search_locals ? g_definitions.local_names : nullptr, g_definitions.local_values},
        {g_definitions.defs.global_names, g_definitions.defs.global_values}};
    for (const Pair& t : tables) {
        if (t.names == nullptr || t.values == nullptr) continue;
        const int mid =
            name_table_search(t.names, NameTableForm::little_endian, g_definitions.lookup_buffer);
        if (mid == 0) continue;
        if (name_out != nullptr) {
            *name_out = reinterpret_cast<const char*>(t.names + le16_at(t.names + 2 * mid));
        }
        return t.values + 4 * (mid - 1);
    }
    return nullptr;
}

const char* symbol_name(int symbol) {
    return symbol_choice(symbol, true, true);
}
const char* symbol_full_name(int symbol) {
    return symbol_choice(symbol, true, false);
}
const char* symbol_short_name(int symbol) {
    return symbol_choice(symbol, false, true);
}

bool local_names_loaded() {
    return g_definitions.local_names != nullptr;
}

void load_local_names(int release, int call_depth, int symbol) {
    const int q = symbol - kUserSymbolBase;
    if (release != 0 || g_definitions.defs.local_names_switch == 0 || call_depth < 2 || q < 0 ||
        q >= g_definitions.defs.procedure_count) {
        free_local_names();
        return;
    }
    if (g_definitions.local_names != nullptr && symbol == g_definitions.local_symbol) return;
    free_local_names();
    const ProcedureRecord& r = g_definitions.defs.procedures[q];
    const long position = static_cast<long>(r.code_offset) + r.local_names_offset;
    std::uint8_t size_bytes[2];
    if (code_file_seek(position) != 0 || code_file_read(size_bytes, 2) != 0) return;
    const std::size_t s1 = le16_at(size_bytes);
    auto* names = static_cast<std::uint8_t*>(mem_alloc(s1 + 1));
    if (names == nullptr || code_file_read(names, s1) != 0 || code_file_read(size_bytes, 2) != 0 ||
        check_name_table(names, s1, NameTableForm::little_endian) != 0) {
        mem_free(names);
        return;
    }
    const std::size_t s2 = le16_at(size_bytes);
    auto* values = static_cast<std::uint8_t*>(mem_alloc(s2 + 1));
    if (values == nullptr || code_file_read(values, s2) != 0 || s2 != 4u * le16_at(names)) {
        mem_free(names);
        mem_free(values);
        return;
    }
    g_definitions.local_names = names;
    g_definitions.local_values = values;
    g_definitions.local_symbol = symbol;
}

void set_first_load_companion(int (*load)()) {
    g_definitions.first_load_companion = load;
}
