// Element drawing records while the surface sheet is open: the sheet is written again after
// every change, and a record stays with its surface through a change that only for a while
// makes it no element start.
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "runtime/command_levels.h"
#include "runtime/messages.h"
#include "tests/entry/surface_sheet/sheet_fixture.h"

namespace sheet_test {
namespace {

// The element lines of the lens file, with the surface lines that place them.
std::vector<std::string> element_file_lines() {
    int failure = 0;
    const std::string text = lens_file_text(nullptr, nullptr, &failure);
    std::vector<std::string> out;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(from, end - from);
        if (line.rfind("ELM", 0) == 0) out.push_back(line);
        from = end + 1;
    }
    return out;
}

TEST_F(Sheet, ElementRecordOutlivesAConicTypedAndTakenBack) {
    type_lines({"LEN NEW \"Doublet\"", "NXT", "SRF 60 6 N-BK7 12", "SRF -40 2 N-SF5 12",
                "SRF -150 50 AIR 12", "GTO 1", "ELMTTL \"Front\" \"D-1\" \"1 Jan 2026\"",
                "ELMSF1 1 5 0.2 0.16 3", "END"});
    ASSERT_NE(surface(1).element_drawing, nullptr);
    const std::vector<std::string> before = element_file_lines();
    ASSERT_FALSE(before.empty());
    open_sheet();
    // Typed into the sheet at surface 1's row: the sheet is written again after each line.
    char conic[] = "CC -1";
    ASSERT_EQ(event(6, 0, 1, 0, 0, 1, conic), 0) << error_text_buffer();
    ASSERT_EQ(surface(1).conic, -1.0);
    EXPECT_NE(surface(1).element_drawing, nullptr);
    char back[] = "CC 0";
    ASSERT_EQ(event(6, 0, 1, 0, 0, 1, back), 0) << error_text_buffer();
    EXPECT_EQ(surface(1).conic, 0.0);
    ASSERT_NE(surface(1).element_drawing, nullptr) << errors();
    EXPECT_EQ(element_file_lines(), before);
}

}  // namespace
}  // namespace sheet_test
