// The command-language scripts of tests/fixtures/kpl/scripts, one test each. A script is read
// line by line; every line is one command line, run in turn over the fixture's definitions, so
// the globals keep their values from line to line. What a line must do is written beside it
// after "//=>", which the language itself reads as a comment:
//   //=> <value>       the line shows "Value: <value>" on the status line
//   //=> fails <n>     the line stops with message n when it runs
//   //=> refused <n>   the line does not compile: message n, and nothing of it runs
//   nothing            the line runs without failing
// Blank lines and lines starting with '#' are notes.
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/kpl/kpl_fixture.h"

namespace kpl_test {
namespace {

const fs::path& script_folder() {
    static const fs::path folder = fs::path(TAVO_FIXTURES_DIR) / "kpl" / "scripts";
    return folder;
}

std::vector<std::string> script_names() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(script_folder())) {
        if (entry.path().extension() == ".kpl") names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string without_blanks_around(const std::string& s) {
    const std::size_t a = s.find_first_not_of(" \t");
    const std::size_t b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

class KplScripts : public Kpl, public ::testing::WithParamInterface<std::string> {
protected:
    // Runs one line of a script against what is written beside it.
    void check_line(const std::string& line, const std::string& expected) {
        ui_->set_status_text("");
        const std::size_t calls_before = calls.abc + calls.show + calls.fail;
        std::istringstream words(expected);
        std::string kind;
        words >> kind;
        if (kind.empty()) {
            EXPECT_EQ(run_line(line.c_str()), 0) << errors_.str();
        } else if (kind == "fails" || kind == "refused") {
            int message = 0;
            ASSERT_TRUE(words >> message) << "a message number after " << kind;
            if (kind == "fails") {
                EXPECT_EQ(run_line(line.c_str()), message) << errors_.str();
            } else {
                EXPECT_EQ(compile_error(line.c_str()), message);
                EXPECT_EQ(run_line(line.c_str()), kStopped);
                EXPECT_EQ(calls.abc + calls.show + calls.fail, calls_before);
            }
        } else {
            EXPECT_EQ(run_line(line.c_str()), 0) << errors_.str();
            EXPECT_EQ(status(), "Value: " + without_blanks_around(expected));
        }
    }
};

TEST_P(KplScripts, EveryLineDoesWhatIsWrittenBesideIt) {
    std::ifstream in(script_folder() / (GetParam() + ".kpl"));
    ASSERT_TRUE(in) << GetParam();
    std::string raw;
    int number = 0;
    int checked = 0;
    while (std::getline(in, raw)) {
        ++number;
        const std::string text = without_blanks_around(raw);
        if (text.empty() || text[0] == '#') continue;
        const std::size_t mark = raw.find("//=>");
        const std::string line =
            without_blanks_around(mark == std::string::npos ? raw : raw.substr(0, mark));
        const std::string expected = mark == std::string::npos ? "" : raw.substr(mark + 4);
        SCOPED_TRACE(GetParam() + ".kpl:" + std::to_string(number) + ": " + line);
        check_line(line, expected);
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

INSTANTIATE_TEST_SUITE_P(Scripts, KplScripts, ::testing::ValuesIn(script_names()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

}  // namespace
}  // namespace kpl_test
