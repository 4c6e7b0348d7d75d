// Element drawing data: which surfaces begin an element, the dropping and the deleting of the
// records, and the refusals of the element commands.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "drawing/element_drawing.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "tables/table_names.h"
#include "tests/drawing/drawing_fixture.h"

namespace element_data_test {
namespace {

class ElementData : public drawing_test::Drawing {
protected:
    void doublet(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> lines = {"LEN NEW \"Doublet\"", "NXT", "SRF 60 6 N-BK7 12",
                                          "SRF -40 2 N-SF5 12", "SRF -150 50 AIR 12"};
        lines.insert(lines.end(), extra.begin(), extra.end());
        lines.push_back("END");
        lines.push_back("LEN");
        run_all(lines);
        take_output();
    }
    int records() const {
        int n = 0;
        for (int k = 0; k <= lens_data().image_surface; ++k) {
            if (surface(k).element_drawing != nullptr) ++n;
        }
        return n;
    }
    // The lens-file lines of the element records.
    std::vector<std::string> element_lines() {
        int failure = 0;
        const std::string text = lens_file_text(nullptr, nullptr, &failure);
        EXPECT_EQ(failure, 0);
        std::vector<std::string> out;
        std::size_t from = 0;
        while (from < text.size()) {
            std::size_t end = text.find('\n', from);
            if (end == std::string::npos) end = text.size();
            const std::string line = text.substr(from, end - from);
            if (line.rfind("ELM", 0) == 0 || line.rfind("GTO", 0) == 0) out.push_back(line);
            from = end + 1;
        }
        return out;
    }
};

TEST_F(ElementData, ElementStarts) {
    struct Case {
        std::vector<std::string> extra;
        std::vector<bool> starts;  // surfaces 0 to the image
    };
    const Case cases[] = {
        // A cemented doublet: both glass surfaces begin an element; the last two never do.
        {{}, {false, true, true, false, false}},
        // A conic on the first surface: no drawable element there.
        {{"GTO 1", "CC -1"}, {false, false, true, false, false}},
        // A conic on the second: the first is followed by a surface with special data only
        // when that data is a record; a conic alone is no record.
        {{"GTO 2", "CC -0.5"}, {false, true, false, false, false}},
        // Air behind the first surface.
        {{"GTO 1", "AIR"}, {false, false, true, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extra.empty() ? "plain" : c.extra.back());
        doublet(c.extra);
        ASSERT_EQ(lens_data().image_surface + 1, static_cast<int>(c.starts.size()));
        for (int n = 0; n <= lens_data().image_surface; ++n) {
            EXPECT_EQ(is_element_start(n), c.starts[static_cast<std::size_t>(n)]) << n;
        }
    }
    EXPECT_FALSE(is_element_start(-1));
    EXPECT_FALSE(is_element_start(lens_data().image_surface + 1));
}

TEST_F(ElementData, DroppingKeepsTheRecordsOfElementStarts) {
    doublet({"GTO 1", "ELMTTL \"Front\" \"D-1\" \"1 Jan 2026\"", "GTO 2",
             "ELMTTL \"Back\" \"D-2\" \"1 Jan 2026\"", "GTO 3",
             "ELMTTL \"Air side\" \"D-3\" \"1 Jan 2026\""});
    EXPECT_EQ(records(), 3);
    drop_element_drawings(0);
    EXPECT_NE(surface(1).element_drawing, nullptr);
    EXPECT_NE(surface(2).element_drawing, nullptr);
    EXPECT_EQ(surface(3).element_drawing, nullptr);
    // A conic typed on the first surface and taken back leaves its record alone: only the
    // delete command or a lens put in its place drop records.
    const std::vector<std::string> before = element_lines();
    run_all({"GTO 1", "CC -1", "CC 0"});
    EXPECT_EQ(element_lines(), before);
}

// A new record carries the date of its making as "dd Mon yyyy", the month in English whatever
// the user's locale: it fits the 15-character field and the drawing's ASCII font.
TEST_F(ElementData, NewRecordIsDated) {
    doublet({"GTO 1", "ELMMED 8 0.1 0.16 3 20 0 0 1 1 0"});
    ASSERT_NE(surface(1).element_drawing, nullptr);
    const std::string date = surface(1).element_drawing->date;
    EXPECT_TRUE(std::regex_match(date, std::regex("[0-3][0-9] (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|"
                                                  "Sep|Oct|Nov|Dec) [0-9]{4}")))
        << date;
}

TEST_F(ElementData, DeleteAsksFirst) {
    doublet({"GTO 1", "ELMTTL \"Front\" \"D-1\" \"1 Jan 2026\"", "GTO 2",
             "ELMMED 8 0.1 0.16 3 20 0 0 1 1 0"});
    ASSERT_EQ(records(), 2);
    input("no\n");
    EXPECT_EQ(run("delete_element_drawings"), 0);
    EXPECT_EQ(records(), 2);
    EXPECT_NE(errors().find("Delete the element drawing data of every surface?"), std::string::npos)
        << errors();
    input("yes\n");
    EXPECT_EQ(run("delete_element_drawings"), 0);
    EXPECT_EQ(records(), 0);
}

TEST_F(ElementData, CommandsRefuseAMissingSurfaceAndAnUnknownSide) {
    doublet();
    lens_data().current_surface = -1;
    EXPECT_EQ(run("ELMTTL \"Front\" \"D-1\" \"1 Jan 2026\""), kMsgNoCurrentSurface);
    lens_data().current_surface = lens_data().image_surface + 1;
    EXPECT_EQ(run("ELMSF2 1 0.1 0 0 0 0"), kMsgNoCurrentSurface);
    EXPECT_EQ(records(), 0);
    run_all({"GTO 1"});
    for (const char* line : {"ELMSF1 3 5 0.2 0.16 3", "ELMSF2 0 0.1 0 0 0 0",
                             "ELMSF3 -1 0 0 0 0 0 0 0 0", "ELMSF4 7 \"a\" \"b\""}) {
        SCOPED_TRACE(line);
        EXPECT_NE(run(line), 0);
        EXPECT_NE(error_text().find("side 1 (left) and side 2 (right)"), std::string::npos)
            << error_text();
    }
    // Refused before anything was made.
    EXPECT_EQ(records(), 0);
    run_all({"ELMSF1 2 5 0.2 0.16 3"});
    ASSERT_NE(surface(1).element_drawing, nullptr);
    EXPECT_DOUBLE_EQ(surface(1).element_drawing->sides[1]->pair[0], 4.8);
    EXPECT_DOUBLE_EQ(surface(1).element_drawing->sides[1]->pair[1], 5.2);
}

}  // namespace
}  // namespace element_data_test
