#include "runtime/command_context.h"

#include "platform/state_reset.h"

#include <cctype>

namespace {

// Slots 1..5 are used; each holds "_x" and its terminator.
char stack[kCommandContextLimit + 1][3];
int depth = 0;

}  // namespace

int push_command_context(char letter) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    if (depth > 0 && stack[depth][1] == upper) return 0;
    if (depth + 1 > kCommandContextLimit) return kMsgContextStackFull;
    ++depth;
    stack[depth][0] = '_';
    stack[depth][1] = upper;
    stack[depth][2] = '\0';
    return 0;
}

void pop_command_context() {
    if (depth > 0) --depth;
}

int command_context_depth() {
    return depth;
}

const char* command_context_suffix() {
    return depth > 0 ? stack[depth] : nullptr;
}

char command_context_letter() {
    return depth > 0 ? stack[depth][1] : '\0';
}

void reset_command_context() {
    depth = 0;
}

namespace {
const platform::StateReset command_context_state_reset{
    "runtime/command_context", reset_command_context, platform::ResetLayer::runtime};
}  // namespace
