// Puts the trace's globals and the reference ray back as the program starts them (what "new
// session" does for the trace); for the few places that start a trace afresh.
#pragma once

void reset_ray_trace_state();
