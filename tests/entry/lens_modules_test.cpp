// Surface groups typed as a designer types them: a range bound into an element or an element
// group, groups dissolved, a group started, named and ended while the lens is entered.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

class Modules : public Entry {
protected:
    // An air-spaced doublet: glass 1-2, air 2-3, glass 3-4, image 5.
    void SetUp() override {
        Entry::SetUp();
        run_all({"LEN NEW \"Doublet\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 2 AIR 10",
                 "SRF 40 3 N-BK7 10", "SRF 0 40 AIR 10", "END"});
        take_output();
    }
    static std::string roles(int a, int b) {
        std::string r;
        for (int j = a; j <= b; ++j) {
            r += std::to_string(surface(j).group_kind) + std::to_string(surface(j).group_role);
            r += ' ';
        }
        return r;
    }
};

TEST_F(Modules, RangesBecomeElementsOrElementGroups) {
    const struct {
        std::vector<std::string> lines;
        const char* roles_1_to_4;  // kind and role of surfaces 1..4
        const char* echo;
    } cases[] = {
        // Glass only inside: an element; the range may be given backwards.
        {{"GRP 2 1"}, "21 23 00 00 ", "GRP   1  2\n"},
        // Air inside: an element group.
        {{"GRP 1 4"}, "31 32 32 33 ", "GRP   1  4\n"},
        // An overlapping range dissolves the old group first.
        {{"GRP 1 2", "GRP 2 3"}, "00 31 33 00 ", ""},
        {{"GRP 3 4", "UGR 3"}, "00 00 00 00 ", "UGR            3\n"},
    };
    for (const auto& c : cases) {
        for (int j = 1; j <= 4; ++j) surface(j).group_kind = surface(j).group_role = 0;
        take_output();
        run_all(c.lines);
        EXPECT_EQ(roles(1, 4), c.roles_1_to_4) << c.lines.back();
        EXPECT_NE(take_output().find(c.echo), std::string::npos) << c.lines.back();
    }
}

TEST_F(Modules, RefusedRangesLeaveTheGroups) {
    run_all({"GRP 1 2"});
    // The range refusals come back as their message numbers, the others through the error text.
    const struct {
        const char* line;
        int result;
        const char* message;
    } cases[] = {
        {"GRP 3 3", -821, ""},
        {"GRP 3 5", -824, ""},
        {"GRP 3 9", -824, ""},
        {"UGR 2", kErrorTextReady, "No group starts at surface 2"},
        {"UGR 9", kErrorTextReady, "No group starts at surface 9"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.line), c.result) << c.line;
        EXPECT_NE(error_text().find(c.message), std::string::npos)
            << c.line << ": " << error_text();
        EXPECT_EQ(roles(1, 4), "21 23 00 00 ") << c.line;
    }
}

TEST_F(Modules, AGroupStartedNamedAndEndedWhileEntering) {
    run_all({"LEN", "NXT", "NXT", "NXT"});
    take_output();
    run_all({"LMO ELE"});
    EXPECT_EQ(take_output().rfind("LMO ELE\n", 0), 0u);
    EXPECT_NE(test_state_flag(kFlagGroupStarted), 0);
    // A second start while one is being built changes nothing.
    run_all({"LMO EGR"});
    EXPECT_EQ(surface(3).group_kind, kGroupElement);
    // Fifteen characters are cut to eleven; three are padded with eight blanks.
    run_all({"LMN \"Rear elements12\""});
    EXPECT_STREQ(surface(3).group_label, "Rear elemen");
    EXPECT_EQ(take_output().rfind("LMN \"Rear elemen\"\n", 0), 0u);
    run_all({"LMN \"Rr \"", "NXT", "LME", "END"});
    EXPECT_STREQ(surface(3).group_label, "Rr         ");
    EXPECT_EQ(roles(3, 4), "21 23 ");
    EXPECT_EQ(test_state_flag(kFlagGroupStarted), 0);
    // The echo of a name with blanks reads back as the same name.
    run_all({"LEN", "NXT", "NXT", "NXT", "LMN \"Rr         \"", "END"});
    EXPECT_STREQ(surface(3).group_label, "Rr         ");
    // No group starts on the object surface.
    run_all({"LEN", "LMO NSS", "END"});
    EXPECT_EQ(surface(0).group_kind, kGroupNone);
}

}  // namespace
