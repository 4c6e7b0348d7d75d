#include "trace/trace_seams.h"

namespace {

// Entries stay null until the code that provides them exists.
TraceSeams g_seams{};

}  // namespace

TraceSeams& trace_seams() {
    return g_seams;
}
