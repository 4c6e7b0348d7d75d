// Lines of lens data (files, clipboard text, stock parts) run under a LensDataScope: only calls
// of commands marked lens_data, with constant arguments, and nothing is asked for.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "kpl/kpl_compiler.h"
#include "runtime/definitions.h"
#include "runtime/dispatch.h"
#include "runtime/lens_data_guard.h"
#include "runtime/menu_store.h"
#include "runtime/settings.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

const char kRefusal[] =
    "Lens data runs only lens-entry commands with constant values; this line is refused";

class Scope : public Entry {
protected:
    void SetUp() override {
        Entry::SetUp();
        run_all(
            {"LEN NEW \"Scope\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10", "NXT", "END"});
    }
    // Runs a line as lens data: its result, with the refusal's text checked when refused.
    int run_as_data(const std::string& line) {
        const LensDataScope scope;
        return run(line);
    }
};

TEST_F(Scope, EveryUnmarkedCommandIsRefusedByCompilerAndDispatch) {
    const Definitions& d = definitions();
    ASSERT_GT(d.command_count, 0);
    int unmarked = 0;
    for (int n = 0; n < d.command_count; ++n) {
        const char* name = symbol_name(n);
        // Only names that reach this command (a suffixed name needs its context).
        if (name == nullptr || lookup_symbol(name) != n || lens_data_command(n)) continue;
        ++unmarked;
        std::uint8_t code[512];
        KplCompileResult result;
        KplCompileOptions options;
        {
            const LensDataScope scope;
            EXPECT_EQ(kpl_compile(name, code, sizeof code, options, &result), kMsgRefusedInLensData)
                << name;
            EXPECT_EQ(run_command(n), kErrorTextReady) << name;
        }
        EXPECT_EQ(error_text(), kRefusal) << name;
    }
    // The program has many commands that reach outside the lens.
    EXPECT_GT(unmarked, 100);
}

TEST_F(Scope, HostileLinesFailAndChangeNothing) {
    struct Case {
        const char* line;
        bool refused;  // refused as lens data (else failing for its own reason)
    };
    const Case cases[] = {
        {"exit", true},
        {"set_setting 20 0", true},
        {"private_glass 0 0 X 1.5", true},
        {"help", true},
        {"run_program ls", true},
        {"x = 3", true},
        {"while (1) {}", true},
        {"if (1) th 99", true},
        {"{th 99}", true},
        {"th ?", true},
        {"th sqrt(4)", true},
        {"rd 2; exit", true},
        {"a_user_procedure 1", false},
    };
    for (const Case& c : cases) {
        run_all({"LEN", "GTO 2"});
        const double thickness = surface(2).thickness;
        const int image = lens_data().image_surface;
        set_error_msg(-1);  // "Ready": no refusal left over from an earlier line
        const std::size_t shown = errors().size();
        EXPECT_NE(run_as_data(c.line), 0) << c.line;
        // The refusal reaches the user as a compile error (or as the command's error text).
        const std::string told = errors().substr(shown) + error_text();
        if (c.refused) {
            EXPECT_NE(told.find(kRefusal), std::string::npos) << c.line << ": " << told;
        }
        EXPECT_EQ(surface(2).thickness, thickness) << c.line;
        EXPECT_EQ(surface(2).curvature, -1.0 / 50) << c.line;
        EXPECT_EQ(lens_data().image_surface, image) << c.line;
        EXPECT_EQ(get_setting_flag(kSetOutputOn), 1) << c.line;
        run_all({"END"});
    }
}

TEST_F(Scope, LensEntryLinesRunAndMissingValuesAreNeverAsked) {
    run_all({"LEN", "GTO 2"});
    EXPECT_EQ(run_as_data("TH 12.5"), 0) << error_text();
    EXPECT_EQ(surface(2).thickness, 12.5);
    EXPECT_EQ(run_as_data("RD -40; CC -1"), 0) << error_text();
    EXPECT_EQ(surface(2).curvature, -1.0 / 40);
    EXPECT_EQ(surface(2).conic, -1.0);
    EXPECT_EQ(run_as_data("// a comment line"), 0);
    EXPECT_EQ(run_as_data(""), 0);
    // A radius without its value takes its default, a plane, without asking anyone.
    EXPECT_EQ(run_as_data("RD"), 0) << error_text();
    EXPECT_EQ(surface(2).curvature, 0.0);
    run_all({"END"});
}

TEST_F(Scope, TrustedCodeInsideLensDataAndScopesNest) {
    EXPECT_FALSE(in_lens_data_scope());
    {
        const LensDataScope outer;
        EXPECT_TRUE(in_lens_data_scope());
        EXPECT_TRUE(reading_lens_data());
        EXPECT_EQ(refuse_while_reading_lens_data(), kMsgNotWhileReadingLensData);
        {
            const TrustedCodeScope trusted;
            EXPECT_FALSE(in_lens_data_scope());
            {
                const LensDataScope inner;
                EXPECT_TRUE(in_lens_data_scope());
            }
            EXPECT_FALSE(in_lens_data_scope());
        }
        EXPECT_TRUE(in_lens_data_scope());
    }
    EXPECT_FALSE(in_lens_data_scope());
    EXPECT_FALSE(reading_lens_data());
    // Outside the scope every kind of line runs as before.
    EXPECT_EQ(run("x = 3"), 0) << error_text();
}

}  // namespace
