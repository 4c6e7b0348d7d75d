// The whole report of an analysis of every kind, as the designer reads it, against a text
// written by hand (tests/fixtures/tolerancing): an air-spaced doublet whose two selected
// operands are paraxial (the image height of a marginal ray and the focal length), with the back
// focal distance as compensator; the named numbers of the text come from the test's own y-nu
// trace.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "optimise/tolerance_results.h"
#include "tests/optimise/optimise_fixture.h"

namespace {

using optimise_test::Optimise;

std::string full_number(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// The doublet's paraxial data: curvatures, thicknesses (the last the image distance) and the
// indices behind each surface at the first wavelength; index 0 is the object space.
struct Doublet {
    double c[5] = {};
    double t[5] = {};
    double n[5] = {1.0, 1.0, 1.0, 1.0, 1.0};
};

struct Image {
    double y;  // height of the marginal ray (entering at height 1) on the image surface
    double u;  // its slope in image space
    double f;  // focal length
};

Image trace(const Doublet& d) {
    double y = 1.0;
    double nu = 0.0;
    for (int j = 1; j <= 4; ++j) {
        nu -= y * d.c[j] * (d.n[j] - d.n[j - 1]);
        y += d.t[j] * nu / d.n[j];
    }
    const double u = nu / d.n[4];
    return {y, u, -1.0 / u};
}

// Worst case and root-sum-square estimates of one quantity, summed as the report defines them.
struct Sums {
    double increases = 0.0, decreases = 0.0, squares = 0.0;
    void add(double p, double m) {
        if (p >= 0.0 && m >= 0.0) {
            increases += std::max(p, m);
        } else if (p < 0.0 && m < 0.0) {
            decreases += std::min(p, m);
        } else {
            increases += std::max(p, m);
            decreases += std::min(p, m);
        }
        const double larger = std::fabs(p) > std::fabs(m) ? p : m;
        squares += larger * larger;
    }
    void name(std::map<std::string, double>& v, const std::string& key,
              const std::string& suffix) const {
        const double rss = std::sqrt(squares);
        v[key + ".worst" + suffix] =
            std::fabs(increases) > std::fabs(decreases) ? increases : decreases;
        v[key + ".rss" + suffix] = rss;
        v[key + ".uniform" + suffix] = rss / std::sqrt(3.0);
        v[key + ".probable" + suffix] = rss * 0.4398128305171199;
    }
};

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string s; in >> s;) w.push_back(s);
    return w;
}

// Compares the printed report with the text: exact where the text names no number, else word by
// word with every named number (and "--", a zero) within 1.5e-6 of the value.
void expect_report(const std::string& printed, const std::string& file,
                   const std::map<std::string, double>& values) {
    std::ifstream in(std::string(TAVO_FIXTURES_DIR) + "/tolerancing/" + file);
    ASSERT_TRUE(in.good()) << file;
    std::vector<std::string> expected;
    for (std::string line; std::getline(in, line);) expected.push_back(line);
    std::vector<std::string> got;
    std::istringstream lines(printed);
    for (std::string line; std::getline(lines, line);) got.push_back(line);
    ASSERT_EQ(got.size(), expected.size()) << printed;
    const auto number = [](const std::string& word, double* v) {
        if (word == "--") {
            *v = 0.0;
            return true;
        }
        char* end = nullptr;
        *v = std::strtod(word.c_str(), &end);
        return end != word.c_str() && *end == '\0';
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::string& e = expected[i];
        if (e.find('{') == std::string::npos) {
            EXPECT_EQ(got[i], e) << "line " << i + 1;
            continue;
        }
        const std::vector<std::string> we = words(e);
        const std::vector<std::string> wg = words(got[i]);
        ASSERT_EQ(wg.size(), we.size()) << "line " << i + 1 << ": " << got[i];
        for (std::size_t k = 0; k < we.size(); ++k) {
            if (we[k].front() != '{') {
                EXPECT_EQ(wg[k], we[k]) << "line " << i + 1;
                continue;
            }
            const std::string key = we[k].substr(1, we[k].size() - 2);
            const auto at = values.find(key);
            ASSERT_NE(at, values.end()) << key;
            double v = 0.0;
            ASSERT_TRUE(number(wg[k], &v)) << "line " << i + 1 << ": " << wg[k];
            EXPECT_NEAR(v, at->second, 1.5e-6) << key << " line " << i + 1;
        }
    }
}

class ToleranceReport : public Optimise {
protected:
    void TearDown() override {
        free_tolerance_results();
        Optimise::TearDown();
    }
};

TEST_F(ToleranceReport, EveryKindOfADoubletReadsAsWrittenByHand) {
    run_all({"LEN NEW \"Doublet\"", "EBR 5", "NXT", "SRF 40 4 N-BK7 10", "SRF -40 2 AIR 10",
             "SRF -35 3 N-SF6 10", "SRF -120 50 AIR 10", "END"});
    run_all({"th[4] = " + full_number(ynu_trace(4, 0).back_focus)});
    std::vector<std::string> lines = {"oprd[10] = 1", "oprd[11] = 0"};
    for (int j = 1; j <= 4; ++j) {
        const std::string before = j == 1 ? "1" : "index[" + std::to_string(j - 1) + "][1]";
        const std::string n = "index[" + std::to_string(j) + "][1]";
        lines.push_back("oprd[11] = oprd[11] - oprd[10] * cv[" + std::to_string(j) + "] * (" + n +
                        " - " + before + ")");
        lines.push_back("oprd[10] = oprd[10] + th[" + std::to_string(j) + "] * oprd[11] / " + n);
    }
    lines.push_back("oprd[1] = oprd[10]");
    lines.push_back("oprd[2] = -1 / oprd[11]");
    residuals(lines);
    std::vector<std::string> entry = {"OPE NEW",
                                      "O 1 \"OP1\" 1 \"tolop\"",
                                      "O 2 \"OP2\" 0 \"TOLOP\"",
                                      "END",
                                      "VAR NEW",
                                      "V 1 4 0 TH",
                                      "END",
                                      "LEN"};
    const char* tags[] = {"RDT", "SPT", "IRT", "CCT", "THT", "DZT", "RNT", "VNT", "DCT",
                          "DXT", "TLT", "TBT", "CDY", "CDX", "CAA", "CAB", "CCA", "CCB"};
    for (int s = 1; s <= 4; ++s) {
        entry.push_back("GTO " + std::to_string(s));
        for (const char* tag : tags) entry.push_back(std::string(tag) + " 0");
    }
    for (const char* line : {"GTO 1", "RDT 0.1", "THT 0.05", "DCT 0.02", "GTO 2", "THT 0.1",
                             "CCT 0.5", "TLT 0.1", "GTO 3", "RNT 0.001", "VNT 5", "END"}) {
        entry.push_back(line);
    }
    run_all(entry);

    Doublet nominal;
    for (int j = 1; j <= 4; ++j) {
        nominal.c[j] = surface(j).curvature;
        nominal.t[j] = surface(j).thickness;
        nominal.n[j] = surface(j).index[0];
    }
    const Image i0 = trace(nominal);
    std::map<std::string, double> v = {{"E0", std::fabs(i0.y)}, {"y0", i0.y}, {"f0", i0.f}};
    // The perturbed lens of each listed tolerance with values, + then -.
    const std::vector<std::pair<std::string, std::function<void(Doublet&, double)>>> kinds = {
        {"rdt", [](Doublet& d, double s) { d.c[1] = 1.0 / (1.0 / d.c[1] + s * 0.1); }},
        {"glass", [](Doublet& d, double s) { d.t[1] += s * 0.05; }},
        {"air", [](Doublet& d, double s) { d.t[2] += s * 0.1; }},
        {"rnt", [](Doublet& d, double s) { d.n[3] += s * 0.001; }},
    };
    Sums error[2], height[2], focal[2];
    double moves = 0.0, squares[2] = {0.0, 0.0}, largest = 0.0;
    for (const auto& [key, perturb] : kinds) {
        double e[2], y[2], f[2];
        for (int side = 0; side < 2; ++side) {
            Doublet d = nominal;
            perturb(d, side == 0 ? 1.0 : -1.0);
            const Image i = trace(d);
            const std::string sign = side == 0 ? "+" : "-";
            e[side] = std::fabs(i.y) - std::fabs(i0.y);
            y[side] = i.y - i0.y;
            f[side] = i.f - i0.f;
            v[key + ".E" + sign] = e[side];
            v[key + ".y" + sign] = y[side];
            v[key + ".f" + sign] = f[side];
            // The back focus that brings the image height back leaves the error at its nominal
            // value and the focal length as it is.
            v[key + ".Ec" + sign] = 0.0;
            v[key + ".yc" + sign] = 0.0;
            v[key + ".fc" + sign] = f[side];
            const double move = -y[side] / i.u;
            moves += move;
            squares[side] += move * move;
            largest = std::max(largest, std::fabs(move));
        }
        error[0].add(e[0], e[1]);
        height[0].add(y[0], y[1]);
        focal[0].add(f[0], f[1]);
        focal[1].add(f[0], f[1]);
    }
    error[0].name(v, "E", "");
    error[1].name(v, "E", "c");
    height[0].name(v, "y", "");
    height[1].name(v, "y", "c");
    focal[0].name(v, "f", "");
    focal[1].name(v, "f", "c");
    // Ten records count: the four above and the conic, the Abbe number (the first wavelength
    // keeps its index), both decentres and both tilts, which move nothing paraxial.
    const double n = 10.0;
    const double mean = moves / (2.0 * n);
    v["th.mean"] = mean;
    v["th.deviation"] = std::sqrt((squares[0] + squares[1]) / (2.0 * n) - mean * mean);
    v["th.largest"] = largest;
    v["th.rss"] = std::sqrt(std::max(squares[0], squares[1]));

    take_output();
    ASSERT_EQ(run("sensitivity 27"), 0) << error_text();
    const std::string first = take_output();
    expect_report(first, "sensitivity_27.txt", v);
    // Nothing changed: the second run perturbs nothing and prints the same.
    ASSERT_EQ(run("sensitivity 27"), 0) << error_text();
    EXPECT_EQ(tolerance_result_tables().run.states, 0);
    EXPECT_EQ(take_output(), first);
}

}  // namespace
