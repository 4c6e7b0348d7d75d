// A new session: whatever the commands of a run changed, one reset and a fresh start leave every
// subsystem as the program started it.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "graphics/graphics_window.h"
#include "kpl/kpl_interp.h"
#include "lens/lens_data.h"
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

// Without ending the run: the lens arrays and the interpreter's work areas taken at start stay,
// and hold what start-up left in them, the new lens and no loaded procedure.
TEST_F(NewSession, OneResetLeavesTheLensAndTheInterpreterAsStartUpLeftThem) {
    auto lens_text = [] {
        const LensData& l = lens_data();
        const LensFlags& f = lens_flags();
        std::ostringstream s;
        s << "title [" << l.title << "] image " << l.image_surface << " stop " << l.aperture_stop
          << " beam " << l.entrance_beam_radius << " field " << l.field_angle << " waves "
          << l.wavelength_count << " first " << l.wavelengths[0].wavelength << "\nsurface 1 "
          << surface(1).curvature << ' ' << surface(1).thickness << " object "
          << surface(0).thickness << "\nreading " << f.reading_lens_file << " version "
          << f.file_version;
        return s.str();
    };
    auto interpreter_text = [] {
        const KplState& k = kpl_state();
        std::ostringstream s;
        s << "code " << (k.code != nullptr) << " procedures from " << k.procedure_fill << " depth "
          << k.call_depth << " running " << k.running << " error " << k.error;
        return s.str();
    };
    const std::string lens = lens_text();
    const std::string interpreter = interpreter_text();
    const std::uint8_t* code = kpl_state().code;
    for (const char* line : {"LEN NEW \"Session\"", "EBR 5", "ANG 10", "NXT", "RD 50", "TH 5",
                             "NXT", "END", "trr 1 0 0 0 0"}) {
        type(line);
    }
    ASSERT_NE(lens_text(), lens) << "the lines changed nothing this test looks at";

    platform::reset_all_state();
    EXPECT_EQ(lens_text(), lens);
    // The new lens has not been set up: the next command that needs it sets it up again.
    EXPECT_EQ(lens_flags().materials_changed, 1);
    EXPECT_EQ(lens_flags().bounds_stale, 1);
    EXPECT_EQ(interpreter_text(), interpreter);
    EXPECT_EQ(kpl_state().code, code) << "the work areas are the ones start-up took";
}

}  // namespace
