#include "runtime/command_context.h"

#include "platform/state_reset.h"

#include <cctype>

namespace {

// The stack of command contexts and its depth.
struct CommandContexts {
    // Slots 1..5 are used; each holds "_x" and its terminator.
    char stack[kCommandContextLimit + 1][3];
    int depth = 0;
};

CommandContexts g_contexts;

}  // namespace

int push_command_context(char letter) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    if (g_contexts.depth > 0 && g_contexts.stack[g_contexts.depth][1] == upper) return 0;
    if (g_contexts.depth + 1 > kCommandContextLimit) return kMsgContextStackFull;
    ++g_contexts.depth;
    g_contexts.stack[g_contexts.depth][0] = '_';
    g_contexts.stack[g_contexts.depth][1] = upper;
    g_contexts.stack[g_contexts.depth][2] = '\0';
    return 0;
}

void pop_command_context() {
    if (g_contexts.depth > 0) --g_contexts.depth;
}

int command_context_depth() {
    return g_contexts.depth;
}

const char* command_context_suffix() {
    return g_contexts.depth > 0 ? g_contexts.stack[g_contexts.depth] : nullptr;
}

char command_context_letter() {
    return g_contexts.depth > 0 ? g_contexts.stack[g_contexts.depth][1] : '\0';
}

void reset_command_context() {
    g_contexts.depth = 0;
}

namespace {
const platform::StateReset command_context_state_reset{
    "runtime/command_context", reset_command_context, platform::ResetLayer::runtime};
}  // namespace
