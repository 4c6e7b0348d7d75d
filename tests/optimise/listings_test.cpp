// The operand, variable and iteration listings as a designer reads them, against texts written by
// hand (tests/fixtures/optimise): the numbers named in the texts come from the test's own optics
// (a thick-lens focal length, weighted squares, a one-variable damped step).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "optimise/optimise_data.h"
#include "tests/optimise/optimise_fixture.h"

namespace {

namespace fs = std::filesystem;
using optimise_test::Optimise;

std::vector<std::string> listing_words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string s; in >> s;) w.push_back(s);
    return w;
}

std::vector<std::string> listing_lines(std::istream& in) {
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// A printed number within a millionth of the value (relative above 1), or within half a unit
// of its last printed decimal when it is printed with fewer digits (the shares: two decimals).
void expect_listed_number(const std::string& printed, double value, const std::string& where) {
    double v = 0.0;
    double tolerance = 1e-6 * std::max(1.0, std::fabs(value));
    if (printed != "--") {
        char* end = nullptr;
        v = std::strtod(printed.c_str(), &end);
        ASSERT_TRUE(end != printed.c_str() && *end == '\0') << where << ": " << printed;
        const std::size_t point = printed.find('.');
        if (point != std::string::npos && printed.find_first_of("eE") == std::string::npos) {
            const int decimals = static_cast<int>(printed.size() - point - 1);
            tolerance = std::max(tolerance, 0.5 * std::pow(10.0, -decimals) + 1e-12);
        }
    }
    EXPECT_NEAR(v, value, tolerance) << where;
}

// Compares the printed text with the fixture line by line. A line without "{" must match
// exactly. In the others the text before the first "{" must match the start of the printed line
// (the columns), and then word by word: "{name}" is a number named by the test, "{1.5}" a number
// written out, and text after the closing brace must end the printed word.
void expect_listing(const std::string& printed, const std::string& file,
                    const std::map<std::string, double>& values) {
    std::ifstream in(std::string(TAVO_FIXTURES_DIR) + "/optimise/" + file);
    ASSERT_TRUE(in.good()) << file;
    const std::vector<std::string> expected = listing_lines(in);
    std::istringstream text(printed);
    const std::vector<std::string> got = listing_lines(text);
    ASSERT_EQ(got.size(), expected.size()) << printed;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::string& e = expected[i];
        const std::string where = file + " line " + std::to_string(i + 1);
        const std::size_t brace = e.find('{');
        if (brace == std::string::npos) {
            EXPECT_EQ(got[i], e) << where;
            continue;
        }
        std::string columns = e.substr(0, brace);
        while (!columns.empty() && columns.back() == ' ') columns.pop_back();
        EXPECT_EQ(got[i].substr(0, columns.size()), columns) << where << ": " << got[i];
        const std::vector<std::string> we = listing_words(e);
        const std::vector<std::string> wg = listing_words(got[i]);
        ASSERT_EQ(wg.size(), we.size()) << where << ": " << got[i];
        for (std::size_t k = 0; k < we.size(); ++k) {
            if (we[k].front() != '{') {
                EXPECT_EQ(wg[k], we[k]) << where;
                continue;
            }
            const std::size_t close = we[k].find('}');
            const std::string key = we[k].substr(1, close - 1);
            const std::string suffix = we[k].substr(close + 1);
            std::string number = wg[k];
            if (!suffix.empty()) {
                ASSERT_GE(number.size(), suffix.size()) << where;
                EXPECT_EQ(number.substr(number.size() - suffix.size()), suffix) << where;
                number.resize(number.size() - suffix.size());
            }
            const auto named = values.find(key);
            const double value = named != values.end() ? named->second : std::atof(key.c_str());
            expect_listed_number(number, value, where + " " + key);
        }
    }
}

class Listings : public Optimise {
protected:
    void SetUp() override {
        Optimise::SetUp();
        // The program's installation holds the shipped operand entry in ROOT/public/scp.
        const fs::path folder = fs::path(root_folder()) / "public" / "scp";
        fs::create_directories(folder);
        fs::copy_file(fs::path(TAVO_SOURCE_DIR) / "data" / "scp" / "oprds.scp",
                      folder / "oprds.scp", fs::copy_options::overwrite_existing);
    }
};

// A singlet of index 1.5 (curvatures 0.01 and -0.01, thickness 0.5); the shipped operand entry
// gives its focal length in slot 1. The other operands are constants and comparisons whose
// values are plain; the third variable lies outside its bounds.
TEST_F(Listings, OperandsAndVariablesListAsWrittenByHand) {
    run_all({"LEN NEW \"singlet\"", "EBR 5", "ANG 5", "WV 0.58756", "NXT", "AST", "CV 0.01",
             "TH 0.5", "GLA MOD \"M\" 1.5 60", "NXT", "CV -0.01", "TH 95", "NXT", "END"});
    run_all({"OPE NEW", "O 1 \"OP1\" CON 100 \"efl\"", "O 2 \"OP1-100\" 4 \"rel\"",
             "O 3 \"GROUP\" 0 \"g\"", "O 4 \"2\" 1 \"m1\"", "O 5 \"3\" 0.5 \"m2\"",
             "O 6 \"ENDGROUP\" 0 \"gend\"", "O 7 \"4<5\" 1 \"_quiet\"", "O 8 \"6<5\" 1 \"_loud\"",
             "O 9 \"1\" 2 \"_plain\"", "O 10 \"0.123456789012-0.123456789012\" 1 \"long\"", "END",
             "VAR NEW", "V 1 1 0 CV 0 0 1 1e-9", "V 2 1 0 TH 0.2 2 2 1e-6",
             "V 3 2 0 CV -0.005 0.005 1 1e-6", "END"});
    params().bound_weight = 2.0;
    take_output();

    // Thick lens in air: power = p1 + p2 - (t / n) p1 p2, p1 = (n - 1) c1, p2 = (1 - n) c2.
    const double n = 1.5;
    const double p1 = (n - 1.0) * 0.01;
    const double p2 = (1.0 - n) * -0.01;
    const double efl = 1.0 / (p1 + p2 - 0.5 / n * p1 * p2);
    const double r = efl - 100.0;
    // Weighted squares of the minimisation operands (rel, m1, m2, _quiet, _loud, _plain, long)
    // and the bound penalty: weight 2 times the third variable's violation 0.005 squared.
    const double squares[] = {4 * r * r, 1 * 4.0, 0.5 * 9.0, 0.0, 1.0, 2 * 1.0, 0.0};
    const double weights = 4 + 1 + 0.5 + 1 + 1 + 2 + 1;
    double sum = 2.0 * 0.005 * 0.005;
    for (double s : squares) sum += s;
    const auto share = [&](double s) { return 100.0 * s / sum; };
    const std::map<std::string, double> values = {
        {"efl.value", r},
        {"rel.value", r},
        {"rel.share", share(squares[0])},
        {"m1.share", share(squares[1])},
        {"m2.share", share(squares[2])},
        {"group.share", share(squares[1]) + share(squares[2])},
        {"loud.share", share(squares[4])},
        {"plain.share", share(squares[5])},
        {"root", std::sqrt(sum / weights)},
    };
    for (const char* line : {"OPE SHORT", "OPE FULL", "OPE TEXT", "VAR LIST"}) {
        ASSERT_EQ(run(line), 0) << line << ": " << error_text();
    }
    expect_listing(take_output(), "listings.txt", values);
}

// One damped step on one curvature with two residuals linear in it, c - 0.01 and 2c: the step
// solves (H (1 + D)) dc = -g with H = sum w a^2 and g = sum w a f.
TEST_F(Optimise, TheIterationReportListsAsWrittenByHand) {
    dummies(1);
    residuals({"oprd[1] = cv[1] - 0.01", "oprd[2] = 2 * cv[1]"});
    run_all({"OPE NEW", "O 1 \"OP1\" 1 \"a\"", "O 2 \"OP2\" 1 \"b\"", "END", "VAR NEW",
             "V 1 1 0 CV 0 0 1 1e-6", "END"});
    surface(1).curvature = 0.03;
    params().damping = 0.25;
    take_output();
    const auto root_mean_square = [](double c) {
        const double a = c - 0.01;
        const double b = 2.0 * c;
        return std::sqrt((a * a + b * b) / 2.0);
    };
    const double c0 = 0.03;
    const double g = 1.0 * (c0 - 0.01) + 2.0 * (2.0 * c0);
    const double h = 1.0 + 4.0;
    const double c1 = c0 - g / (h * 1.25);
    ASSERT_EQ(run("iterate 0 1"), 0) << error_text();
    expect_listing(take_output(), "iteration.txt",
                   {{"before", root_mean_square(c0)}, {"after", root_mean_square(c1)}});
    EXPECT_NEAR(cv(1), c1, 1e-9);
}

}  // namespace
