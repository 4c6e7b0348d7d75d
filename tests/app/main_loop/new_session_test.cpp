// A new session: whatever the commands of a run changed, one reset and a fresh start leave every
// subsystem as the program started it.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "graphics/graphics_window.h"
#include "platform/state_reset.h"
#include "runtime/command_context.h"
#include "runtime/command_history.h"
#include "runtime/command_levels.h"
#include "runtime/output_options.h"
#include "runtime/run_state.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "trace/object_point.h"
#include "trace/ray_trace.h"

namespace {

class NewSession : public loop_test::Loop {
protected:
    // What the run keeps between commands, subsystem by subsystem.
    static std::string state_text() {
        std::ostringstream s;
        s << "history " << history_count() << "\nlevels " << level_count() << "\nrun state "
          << run_state() << "\ncontexts " << command_context_depth() << "\nwindows "
          << output_window() << ' ' << current_text_window() << "\noptions";
        for (int n = 1; n < kOptionLimit; ++n) s << ' ' << output_option(n);
        s << "\nflags";
        for (int n = 0; n < kStateFlagLimit; ++n) {
            if (test_state_flag(n) != 0) s << ' ' << n;
        }
        s << "\ngraphics " << graphics_current();
        for (int n = 1; n <= 10; ++n) {
            const GraphicsWindow& g = graphics_record(n);
            s << ' ' << g.words.size() << '/' << g.write << '/' << g.zoom;
        }
        const TraceGlobals& t = trace_globals();
        s << "\ntrace " << t.pupil_scale[0] << ' ' << t.aiming_possible << ' ' << t.real_stop << ' '
          << t.aim_cache_stale;
        return s.str();
    }
};

TEST_F(NewSession, EverySubsystemStartsAgainAsTheProgramStartedIt) {
    const std::string first = state_text();
    for (const char* line : {"LEN NEW \"Session\"", "EBR 5", "ANG 10", "NXT", "RD 50", "TH 5",
                             "NXT", "END", "graphwin_open 2", "move_to 0 0",
                             "graphics_zoom 2 0.5 0.5", "trr 1 0 0 0 0", "new_page", "history"}) {
        type(line);
    }
    ASSERT_NE(state_text(), first) << "the lines changed nothing this test looks at";

    // The program ends its run and starts a new one in the same process.
    TearDown();
    tavo_test::StartedRuntime::take_down();
    SetUp();
    EXPECT_EQ(state_text(), first);
}

}  // namespace
