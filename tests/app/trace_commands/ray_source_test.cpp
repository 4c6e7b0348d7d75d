// The ray-source commands typed as command-language lines: loading sets the loaded flag and
// enables the other commands, a random ray fills its eight variables, preparation writes its
// working value back, and deleting clears the flag even with nothing loaded.
#include <gtest/gtest.h>

#include <string>

#include "runtime/state_flags.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace loop_test {
namespace {

class RaySource : public Loop {
protected:
    // What a line shows: its value on the status line, or an error message.
    std::string shown(const std::string& line) {
        run_.output.str("");
        run_.errors.str("");
        ui().set_status_text("");
        type(line);
        return output() + errors() + ui().status_text();
    }
};

TEST_F(RaySource, CommandsFromTypedLines) {
    clear_state_flag(kFlagRaySourceLoaded);
    // Nothing loaded: drawing a ray is not available.
    EXPECT_NE(shown("source_random_ray(a,b,c,d,e,f,g,h)").find("not available"), std::string::npos);
    EXPECT_NE(shown("source_read(\"a.src\", -2)").find("Value: 0"), std::string::npos);
    EXPECT_NE(test_state_flag(kFlagRaySourceLoaded), 0);
    type("a=5;b=5;c=5;d=5;e=5;f=5;g=5;h=5");
    EXPECT_NE(shown("source_random_ray(a,b,c,d,e,f,g,h)").find("Value: 0"), std::string::npos);
    // All eight written: the sum of what were eight fives is 0.
    EXPECT_NE(shown("a+b+c+d+e+f+g+h").find("Value: 0"), std::string::npos);
    EXPECT_EQ(shown("a+b+c+d+e+f+g+h").find("Value: 40"), std::string::npos);
    type("p=3");
    EXPECT_NE(shown("source_prepare(p, 10, 2.5, 1, 1, 1)").find("Value: 0"), std::string::npos);
    EXPECT_NE(shown("p").find("Value: 2.5"), std::string::npos);
    EXPECT_NE(shown("source_rotate(1, 2, 3)").find("Value: 0"), std::string::npos);
    EXPECT_NE(shown("source_delete").find("Value: 0"), std::string::npos);
    EXPECT_EQ(test_state_flag(kFlagRaySourceLoaded), 0);
    EXPECT_NE(shown("source_rotate(1, 2, 3)").find("not available"), std::string::npos);
    // Deleting with nothing loaded still succeeds and leaves the flag clear.
    EXPECT_NE(shown("source_delete").find("Value: 0"), std::string::npos);
    EXPECT_EQ(test_state_flag(kFlagRaySourceLoaded), 0);
}

}  // namespace
}  // namespace loop_test
