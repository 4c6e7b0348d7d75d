// Decentres, tilts, coordinate returns, bends and reference frames typed on a lens: the records
// they leave and their refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

const std::vector<std::string> kDecentreLens = {"LEN NEW \"Decentres\"",
                                                "NXT",
                                                "SRF 50 5 N-BK7 10",
                                                "SRF -50 3 AIR 10",
                                                "SRF 40 4 N-F2 9",
                                                "SRF 0 6 AIR 9",
                                                "SRF 0 7 AIR 9",
                                                "SRF 0 8 AIR 9",
                                                "SRF 0 9 AIR 9",
                                                "NXT",
                                                "END"};

TEST_F(Entry, DecentreLinesFillTheRecord) {
    run_all(kDecentreLens);
    run_all({"LEN", "GTO 2", "DCX 0.1", "DCY -0.2", "DCZ 0.3", "TLA 1.5", "TLB -2", "TLC 3",
             "DT -1", "END"});
    const DecentreRecord* d = surface(2).decentre;
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->dcx, 0.1);
    EXPECT_EQ(d->dcy, -0.2);
    EXPECT_EQ(d->dcz, 0.3);
    EXPECT_EQ(d->tla, 1.5);
    EXPECT_EQ(d->tlb, -2.0);
    EXPECT_EQ(d->tlc, 3.0);
    EXPECT_EQ(d->tilt_mode, -1);

    // A fresh record: the value given, identity rotation, tilt mode 1.
    run_all({"LEN", "GTO 3", "DCY 0.5"});
    const DecentreRecord* fresh = surface(3).decentre;
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->dcy, 0.5);
    EXPECT_EQ(fresh->tilt_mode, 1);
    EXPECT_EQ(fresh->rotation[0], 1.0);
    EXPECT_EQ(fresh->rotation[4], 1.0);
    EXPECT_EQ(fresh->rotation[8], 1.0);
    EXPECT_EQ(fresh->rotation[1], 0.0);
    run_all({"END"});
}

TEST_F(Entry, CoordinateReturnsAndFrames) {
    run_all(kDecentreLens);
    run_all({"LEN", "GTO 7", "RCO -2"});
    ASSERT_NE(surface(7).return_coordinates, nullptr);
    EXPECT_EQ(surface(7).return_coordinates->pickup_source, 5);
    // RCO 0 returns to the surface itself and echoes the keyword alone.
    take_output();
    run_all({"GTO 6", "RCO 0"});
    EXPECT_EQ(surface(6).return_coordinates->pickup_source, 6);
    EXPECT_NE(take_output().find("RCO\n"), std::string::npos);
    run_all({"RCD"});
    EXPECT_EQ(surface(6).return_coordinates, nullptr);
    // GC n: the decentre's frame; TDD removes it with the decentre and the bend.
    run_all({"GTO 4", "DCX 1", "GC 2", "TDD"});
    EXPECT_EQ(surface(4).decentre, nullptr);
    EXPECT_EQ(surface(4).decentre_reference, nullptr);
    run_all({"GTO 3", "BEN"});
    EXPECT_EQ(surface(3).bend, 1);
    ASSERT_NE(surface(3).decentre, nullptr);
    run_all({"BND"});
    EXPECT_EQ(surface(3).bend, 0);
    run_all({"BEN", "TDD"});
    EXPECT_EQ(surface(3).bend, 0);
    EXPECT_EQ(surface(3).decentre, nullptr);
    run_all({"END"});
}

TEST_F(Entry, DecentreRefusalsLeaveTheSurface) {
    run_all(kDecentreLens);
    run_all({"LEN"});
    struct Case {
        std::vector<std::string> setup;
        std::string line;
        std::string message;
    };
    const Case cases[] = {
        {{"GTO 3"}, "RCO 5", "Surface 5 is outside 1 and the current surface"},
        {{"GTO 3"}, "RCO -3", "Surface 0 is outside 1 and the current surface"},
        {{"GTO 0"},
         "RCO 0",
         "Surface 0 cannot return the coordinates (object surface or inside a "
         "non-sequential group)"},
        {{"GTO 3"}, "RCD", "The surface has no coordinate return to remove"},
        {{"GTO 3"}, "TDD", "The surface has no decentre to remove"},
        {{"GTO 3"}, "BND", "The surface is not bent"},
        {{"GTO 3", "BEN"}, "RCO 2", "A bent surface cannot return the coordinates"},
        {{"GTO 3", "BEN"}, "DT -1", "A bent surface takes no negative tilt mode"},
        {{"GTO 3", "DT -1"}, "BEN", "A bent surface takes no negative tilt mode"},
        {{"GTO 3", "RCO 2"},
         "BEN",
         "A surface with a coordinate return or a reference frame cannot be bent"},
    };
    for (const Case& c : cases) {
        run_all(c.setup);
        const int cur = lens_data().current_surface;
        const bool had_return = surface(cur).return_coordinates != nullptr;
        const std::uint8_t bend = surface(cur).bend;
        EXPECT_EQ(run(c.line), kErrorTextReady) << c.line;
        EXPECT_EQ(error_text(), c.message) << c.line;
        EXPECT_EQ(surface(cur).return_coordinates != nullptr, had_return) << c.line;
        EXPECT_EQ(surface(cur).bend, bend) << c.line;
        // Clean the surface for the next case.
        run("BND");
        run("RCD");
        run("TDD");
    }
    run_all({"END"});
}

}  // namespace
