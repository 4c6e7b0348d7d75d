// Runs the command-line scripts of tests/fixtures/kpl/scripts: every line with its expected
// outcome written beside it.
#include <fstream>
#include <sstream>
#include <string>

#include "tests/kpl/kpl_fixture.h"

namespace kpl_test {
namespace {

std::string trim(const std::string& s) {
    const std::size_t a = s.find_first_not_of(" \t");
    const std::size_t b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

TEST_F(Kpl, ScriptsGiveTheOutcomesWrittenBesideTheirLines) {
    const fs::path folder = fs::path(TAVO_FIXTURES_DIR) / "kpl" / "scripts";
    int checked = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::ifstream in(entry.path());
        std::string raw;
        int number = 0;
        while (std::getline(in, raw)) {
            ++number;
            if (raw.empty() || raw[0] == '#') continue;
            const std::size_t mark = raw.find("//=>");
            ASSERT_NE(mark, std::string::npos) << entry.path() << ":" << number;
            const std::string line = trim(raw.substr(0, mark));
            std::istringstream expect(raw.substr(mark + 4));
            std::string kind;
            expect >> kind;
            SCOPED_TRACE(entry.path().filename().string() + ":" + std::to_string(number) + ": " +
                         line);
            if (kind == "refused") {
                int code = 0;
                expect >> code;
                EXPECT_EQ(compile_error(line.c_str()), code);
            } else if (kind == "fails") {
                int code = 0;
                expect >> code;
                EXPECT_EQ(run_line(line.c_str()), code);
            } else if (kind == "shows") {
                std::string text;
                expect >> text;
                EXPECT_EQ(run_line(line.c_str()), 0);
                EXPECT_EQ(status(), "Value: " + text);
            } else if (kind == "vi" || kind == "vc") {
                long value = 0;
                expect >> value;
                EXPECT_EQ(run_line(line.c_str()), 0);
                EXPECT_EQ(kind == "vi" ? global_int(0) : global_char(2), value);
            } else if (kind == "vd") {
                double value = 0;
                expect >> value;
                EXPECT_EQ(run_line(line.c_str()), 0);
                EXPECT_DOUBLE_EQ(global_double(1), value);
            } else {
                ADD_FAILURE() << "unknown outcome " << kind;
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}

}  // namespace
}  // namespace kpl_test
