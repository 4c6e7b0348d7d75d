// The operating-conditions listing, group by group, as the designer reads it: each label of
// the message tables followed by its value ("%3d" integers, numbers of eleven columns after a
// blank, On/Off words of four columns), the lines as the listing groups them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "numeric/memory.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

class ConditionsListing : public Entry {
protected:
    void SetUp() override {
        Entry::SetUp();
        run_all({"LEN NEW \"Conditions\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 45 AIR 10", "END"});
        take_output();
    }
    std::string listing(const std::string& line) {
        take_output();
        EXPECT_EQ(run(line), 0) << line << ": " << error_text();
        std::string out = take_output();
        if (out.size() >= 2 && out.compare(out.size() - 2, 2, "\n\n") == 0) out.pop_back();
        return out;
    }
};

TEST_F(ConditionsListing, DrawingConditionsWithTheirRaySets) {
    run_all({"LEN", "DLID 2.5", "DLAP 2", "DLRS 3", "DLCV 1", "DLAS On", "DLYF 2 Off", "DLWN 2 3",
             "END"});
    const std::string expected =
        std::string("OPERATING CONDITIONS: DRAWING\n") +
        "View value 1        2.500000    View value 2          --    \n" +
        "Horizontal angle    240    Vertical angle           30\n" +
        "First surface         0    Last surface              0\n" +
        "View value 3          --        View value 4          --    \n" +
        "Aperture mode       Filled    Image mode       Outline\n" +
        "Ray mode word         3    Scale mode word           4\n" +
        "Ray sets              3    Drawing kind        Sketch\n" +
        "Aspect switch     On        Hidden-line switch    On\n" +
        "  SET   FIELD Y     FIELD X     RAYS   PUPIL MIN   PUPIL MAX      OFFSET  FAN  WL\n" +
        "    1      --          --        3  -1.000000    1.000000      --      Y   1\n" +
        "    2    0.700000      --        0     --          --          --      Y   1\n" +
        "    3    1.000000      --        1     --          --          --      X   3\n";
    EXPECT_EQ(listing("LIST_CONDITIONS 0"), expected);
}

TEST_F(ConditionsListing, OptimisationAndSpotSettings) {
    run_all({"LEN", "OPDF 0.002", "OPSS On", "OPOC \"merit\"", "SDPC Off", "END"});
    EXPECT_EQ(listing("LIST_CONDITIONS 3"),
              std::string("OPERATING CONDITIONS: OPTIMISATION\n") +
                  "Damping             0.002000    Small damping     1.0000e-08\n" +
                  "Damping factor      0.615800    Derivative incr   1.0000e-07\n" +
                  "Bound weight        1.000000    Stop threshold      0.010000\n" +
                  "Automatic increments      On\n" + "Variable damping         Off\n" +
                  "Error measure             Sum of squares\n" +
                  "Operand command               merit\n" +
                  "Min air space       0.100000    Max air space     1.0000e+04\n" +
                  "Min glass           0.500000    Max glass         100.000000\n");
    EXPECT_EQ(listing("LIST_CONDITIONS 4"),
              std::string("OPERATING CONDITIONS: SPOT DIAGRAM\n") +
                  "Aperture divs      17.030000    Apodisation          Off\n" +
                  "Gauss width x       1.000000    Gauss width y       1.000000\n" +
                  "Polychromatic        Off    MTF path limit    1.0000e+03\n" +
                  "Diffraction limit    Off    Focus frequency    25.000000\n");
}

TEST_F(ConditionsListing, GeneralDataWithAUnitOfTwo) {
    run_all({"UNI 2", "DES \"Lens Lab\""});
    const std::string general = std::string("OPERATING CONDITIONS: GENERAL\n") +
                                "Image surface         3    Aperture stop             1\n" +
                                "Afocal                No    Reference surface         1\n" +
                                "Afocal mode      TRA        Aperture check      Rays\n" +
                                "Fan rays             21    Designer      Lens Lab\n" +
                                // A unit of its own is printed as its number.
                                "Lens unit         2.000000        TAVO LT 5.40\n" +
                                "Wavefront ref        EXP    Wavefront in waves    On\n" +
                                "Callback              0    Group listing        Off\n" +
                                std::string(39, ' ') + "Zero rays in  Y\n" +
                                "Ray aiming           Crr    Extended angle    90.000000\n" +
                                "Aperture step        --        Pupil x/y            Off\n" +
                                "Height numbers       Off    Global surface            1\n" +
                                "Temperature       20.000000    Pressure           1.000000\n";
    EXPECT_EQ(listing("LIST_CONDITIONS 6"), general);
    // Millimetres and metres end in one column.
    run_all({"UNI 1"});
    EXPECT_NE(listing("LIST_CONDITIONS 6").find("Lens unit               mm        TAVO"),
              std::string::npos);
    run_all({"UNI 1000"});
    EXPECT_NE(listing("LIST_CONDITIONS 6").find("Lens unit                m        TAVO"),
              std::string::npos);
}

TEST_F(ConditionsListing, NotesAndGroupsWithoutData) {
    EXPECT_EQ(listing("LIST_CONDITIONS 7"), "OPERATING CONDITIONS: NOTES\nNothing entered\n");
    run_all({"SNO2 \"second note\"", "SNO5 \"fifth\""});
    EXPECT_EQ(listing("LIST_CONDITIONS Notes"),
              "OPERATING CONDITIONS: NOTES\n2: second note\n5: fifth\n");
    // Groups 1, 2 and 5 have only their title.
    EXPECT_EQ(listing("LIST_CONDITIONS 1"), "OPERATING CONDITIONS: CONFIGURATIONS\n");
    EXPECT_EQ(listing("LIST_CONDITIONS 2"), "OPERATING CONDITIONS: VARIABLES\n");
    EXPECT_EQ(listing("LIST_CONDITIONS 5"), "OPERATING CONDITIONS: TOLERANCES\n");
    // Without a drawing-conditions record there is nothing to list.
    LensData& l = lens_data();
    DrawingConditions* kept = l.drawing_conditions;
    l.drawing_conditions = nullptr;
    EXPECT_EQ(listing("LIST_CONDITIONS 0"), "OPERATING CONDITIONS: DRAWING\nNothing entered\n");
    l.drawing_conditions = kept;
    EXPECT_NE(run("LIST_CONDITIONS 8"), 0);
}

}  // namespace
