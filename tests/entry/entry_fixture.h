// A started program with its built tables on which lens-entry lines run as a user types them:
// the text they print, the message a refused line leaves, and a y-nu paraxial trace of the
// entered lens written here from the surface data and the program's glass indices.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace entry_test {

// A zero in an eleven-column cell of a listing.
inline constexpr const char* kZero = "     --    ";

// A number in a listing cell after its separating space.
inline std::string cell(double v) {
    char text[32];
    std::snprintf(text, sizeof text, " %11.6f", v);
    return text;
}

class Entry : public loop_test::Loop {
protected:
    // Runs one command line; its result.
    int run(const std::string& line) { return run_command_string(line.c_str(), 0); }
    // Runs every line; the first non-zero result fails the test.
    void run_all(const std::vector<std::string>& lines) {
        for (const std::string& line : lines) {
            ASSERT_EQ(run(line), 0) << line << ": " << error_text_buffer();
        }
    }
    std::string error_text() const { return error_text_buffer(); }
    // Output printed since the last call.
    std::string take_output() {
        flush_output_line();
        const std::string all = output();
        std::string fresh = all.substr(seen_);
        seen_ = all.size();
        return fresh;
    }

    // Paraxial marginal ray from infinity at height 1 through surfaces 1..last at wavelength w
    // (0-based): the focal length -1/u' and the distance from the last surface to the focus.
    struct Focus {
        double efl;
        double back_focus;
    };
    static Focus ynu_trace(int last, int w) {
        double y = 1.0;
        double nu = 0.0;
        double n_before = surface(0).index[w];
        double n_after = n_before;
        for (int j = 1; j <= last; ++j) {
            const SurfaceRecord& s = surface(j);
            n_after = s.index[w];
            nu -= y * s.curvature * (n_after - n_before);
            if (j < last) y += s.thickness * nu / n_after;
            n_before = n_after;
        }
        const double u = nu / n_after;
        return {-1.0 / u, -y / u};
    }

private:
    std::size_t seen_ = 0;
};

// The full-precision number that the output store holds for a printed value: the stored number
// closest to it. Every row is searched: the store outlives a test, and after long listings the
// fresh rows lie far down it.
inline double stored_number_near(double printed) {
    double best = printed;
    double distance = 1e300;
    // The whole ring: after many lines a fresh number may stand anywhere in it.
    for (int row = 1; row <= kOutputRows; ++row) {
        for (int column = 1; column <= kOutputColumns; ++column) {
            const double v = get_output_value(row, column);
            if (std::fabs(v - printed) < distance) {
                distance = std::fabs(v - printed);
                best = v;
            }
        }
    }
    return best;
}

// The number printed after a keyword in text, or NaN.
inline double number_after(const std::string& text, const std::string& keyword) {
    const std::size_t at = text.find(keyword);
    if (at == std::string::npos) return std::nan("");
    return std::strtod(text.c_str() + at + keyword.size(), nullptr);
}

}  // namespace entry_test
