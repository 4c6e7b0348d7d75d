// A single ray typed with its object point, pupil point and wavelength is the same ray whatever
// was traced before it: the reference ray of another object point, its pupil centre and rim
// rays, or the wide-angle aim of another ray, leave no mark on it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "trace/object_point.h"
#include "trace/ray_trace.h"
#include "trace/ray_trace_reset.h"

namespace loop_test {
namespace {

// A Cooke triplet with its stop on the flint's front surface, 20 degrees of field: a chief ray
// off the axis misses the centre of the stop by a visible part of the pupil.
const std::vector<std::string> kHistoryTriplet = {"SRF 21.48 2 N-SK16 10",
                                                  "SRF -124.1 5.26 AIR 10",
                                                  "AST",
                                                  "SRF -19.1 1.25 N-F2 8",
                                                  "RD 22",
                                                  "TH 4.69",
                                                  "AIR",
                                                  "NXT",
                                                  "SRF 328.9 2.25 N-SK16 10",
                                                  "RD -16.7",
                                                  "TH 43",
                                                  "PY 0",
                                                  "AIR",
                                                  "NXT",
                                                  "END"};

class SingleRayHistory : public Loop {
protected:
    // A new session (the trace's own state as the program starts it) with the triplet typed in
    // the given aiming mode; when wide, its rays aimed at the stop by real rays (switched on
    // here: the lens set-up does not raise the switch from a typed aiming mode). Then the lines
    // before, and what the last line lists.
    std::string listing_in_new_session(const std::string& aiming, bool wide,
                                       const std::vector<std::string>& before,
                                       const std::string& line) {
        reset_object_point();
        reset_ray_trace_state();
        reset_pupil_scale_factors();
        type("LEN NEW \"Cooke\"");
        type("ANG 20");
        if (!aiming.empty()) type(aiming);
        type("NXT");
        for (const std::string& typed : kHistoryTriplet) type(typed);
        if (wide) {
            lens_data().wide_angle = 1;
            lens_data().reference_surface = 3;
        }
        for (const std::string& typed : before) type(typed);
        run_.output.str("");
        type(line);
        return output();
    }
};

TEST_F(SingleRayHistory, TheListedRayDependsOnlyOnItsArgumentsAndTheLens) {
    struct Case {
        const char* aiming;
        bool wide;
        const char* line;
    };
    const Case cases[] = {
        {"", false, "trace_single_ray 0 0 0 0 0 1 0 1"},
        {"", false, "trace_single_ray 0 0 0.7071 0 0 -1 0 1"},
        {"RAIM Rrr", false, "trace_single_ray 0 0 0.7 0.3 0 0.5 -0.8 1"},
        // The chief ray of another wavelength than the reference ray's, at its object point.
        {"", true, "trace_single_ray 0 0 1 0 0 0 0 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.aiming) + (c.wide ? " wide / " : " / ") + c.line);
        const std::string fresh = listing_in_new_session(c.aiming, c.wide, {}, c.line);
        // Traced to the image, the input row after it.
        ASSERT_NE(fresh.find("\n  7 "), std::string::npos) << fresh;
        ASSERT_NE(fresh.find("\nRAY "), std::string::npos) << fresh;
        for (const char* field : {"0", "0.7", "1"}) {
            SCOPED_TRACE(std::string("after trr ") + field);
            const std::string reference = std::string("trr ") + field + " 0 0 0 0";
            EXPECT_EQ(listing_in_new_session(c.aiming, c.wide, {reference}, c.line), fresh);
        }
    }
}

}  // namespace
}  // namespace loop_test
