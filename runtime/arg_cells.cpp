#include "runtime/arg_cells.h"
#include "platform/state_reset.h"

#include <string_view>

#include <cmath>
#include <cstring>

namespace {

// The command that runs with its argument cells and their shapes, the value it hands back, and
// the scratch cells a command the program calls itself is given.
struct ArgCellsState {
    int command = -1;
    ArgCell** vector = nullptr;
    int count = 0;
    const ArgShape* shapes = nullptr;
    CommandResult result = {};
    ArgCell scratch_cells[kScratchCellCount] = {};
    ArgCell* scratch_vector[kScratchCellCount] = {};
};

ArgCellsState g_args;

}  // namespace

int current_command() {
    return g_args.command;
}
void set_current_command(int n) {
    g_args.command = n;
}
ArgCell** arg_vector() {
    return g_args.vector;
}
int arg_count() {
    return g_args.count;
}
void set_arg_vector(ArgCell** v, int n) {
    g_args.vector = v;
    g_args.count = v == nullptr || n < 0 ? 0 : n;
    g_args.shapes = nullptr;
}
void set_arg_shapes(const ArgShape* s) {
    g_args.shapes = g_args.vector != nullptr ? s : nullptr;
}
const ArgShape* arg_shapes() {
    return g_args.shapes;
}
const ArgShape* arg_shape(int i) {
    if (g_args.shapes == nullptr || arg_cell(i) == nullptr) return nullptr;
    return g_args.shapes[i].dim1 > 0 || g_args.shapes[i].type != kArgNone ? &g_args.shapes[i]
                                                                          : nullptr;
}
int arg_text_capacity(int i) {
    const ArgCell* c = arg_cell(i);
    if (c == nullptr || c->type != kArgChar || c->value.text == nullptr) return 0;
    return c->text_length > 0 ? c->text_length : 0;
}
ArgCell* arg_cell(int i) {
    return g_args.vector != nullptr && i >= 0 && i < g_args.count ? g_args.vector[i] : nullptr;
}

std::int32_t arg_int(int i) {
    const ArgCell* c = arg_cell(i);
    if (c == nullptr) return 0;
    switch (c->type) {
        case kArgInt:
            return c->value.i;
        case kArgDouble:
            return std::fabs(c->value.d) < 2147483648.0 ? static_cast<std::int32_t>(c->value.d) : 0;
        case kArgChar:
            return c->text_length == 0 ? static_cast<unsigned char>(c->value.c) : 0;
        default:
            return 0;
    }
}

std::string arg_string(int i) {
    const ArgCell* c = arg_cell(i);
    if (c == nullptr || c->type != kArgChar || c->text_length <= 0 || c->value.text == nullptr) {
        return {};
    }
    const std::string_view view(c->value.text, static_cast<std::size_t>(c->text_length));
    return std::string(view.substr(0, view.find('\0')));
}

double arg_double(int i) {
    const ArgCell* c = arg_cell(i);
    if (c == nullptr) return 0.0;
    if (c->type == kArgDouble) return c->value.d;
    if (c->type == kArgInt) return c->value.i;
    return 0.0;
}

ArgCell** new_arg_vector() {
    for (int i = 0; i < kScratchCellCount; ++i) g_args.scratch_vector[i] = &g_args.scratch_cells[i];
    return g_args.scratch_vector;
}

ScratchCallScope::ScratchCallScope()
    : saved_command_(current_command()),
      saved_vector_(arg_vector()),
      saved_count_(arg_count()),
      saved_shapes_(arg_shapes()),
      scratch_(new_arg_vector()),
      caller_uses_scratch_(saved_vector_ == scratch_) {
    if (caller_uses_scratch_) {
        for (int i = 0; i < kScratchCellCount; ++i) saved_cells_[i] = *scratch_[i];
    }
}

ScratchCallScope::~ScratchCallScope() {
    if (caller_uses_scratch_) {
        for (int i = 0; i < kScratchCellCount; ++i) *scratch_[i] = saved_cells_[i];
    }
    set_arg_vector(saved_vector_, saved_count_);
    set_arg_shapes(saved_shapes_);
    set_current_command(saved_command_);
}

CommandResult& command_result() {
    return g_args.result;
}
void clear_command_result() {
    g_args.result = CommandResult{};
}
void set_int_result(std::int32_t value) {
    g_args.result.value.i = value;
    g_args.result.type = kArgInt;
}
void set_double_result(double value) {
    g_args.result.value.d = value;
    g_args.result.type = kArgDouble;
}
void set_double_result_words(std::uint32_t low, std::uint32_t high) {
    const std::uint64_t bits = (std::uint64_t{high} << 32) | low;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    set_double_result(value);
}
void set_char_result(char value) {
    g_args.result.value = ArgValue{};
    g_args.result.value.c = value;
    g_args.result.type = kArgChar;
}

ArgCell int_cell(std::int32_t value) {
    ArgCell c{};
    c.value.i = value;
    c.type = kArgInt;
    return c;
}
ArgCell double_cell(double value) {
    ArgCell c{};
    c.value.d = value;
    c.type = kArgDouble;
    return c;
}
ArgCell char_cell(char value) {
    ArgCell c{};
    c.value.c = value;
    c.type = kArgChar;
    return c;
}
ArgCell text_cell(char* text) {
    ArgCell c{};
    c.value.text = text;
    c.type = kArgChar;
    const std::size_t length = text == nullptr ? 1 : std::strlen(text) + 1;
    c.text_length = static_cast<std::int16_t>(length < 0x7FFF ? length : 0x7FFF);
    return c;
}

namespace {
void reset_arg_cells() {
    g_args = ArgCellsState{};
}
const platform::StateReset arg_cells_state_reset{"runtime/arg_cells", reset_arg_cells,
                                                 platform::ResetLayer::runtime};
}  // namespace
