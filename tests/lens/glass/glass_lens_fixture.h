// A temporary installation with the built message table and a console backend, the settings a
// new lens reads, and helpers to install catalogues and load them with the lens arrays. Shown
// messages are read back from the backend; printed lines are kept.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "lens/glass_catalog.h"
#include "lens/glass_lookup.h"
#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tests/support/built_tables.h"
#include "tests/support/lens_arrays.h"

namespace glass_test {

namespace fs = std::filesystem;

inline std::vector<std::string> printed;

inline void keep_line(const OutputLine& line) {
    printed.push_back(line.text);
}

// A catalogue text with the given glass lines (each without its newline).
inline std::string catalog_text(const std::vector<std::string>& lines) {
    char header[32];
    std::snprintf(header, sizeof header, "5.40 %5d Test\n", static_cast<int>(lines.size()));
    std::string text = header;
    for (const std::string& l : lines) text += l + "\n";
    return text;
}

// A power-series glass whose index is sqrt(n2) at every wavelength.
inline std::string flat_glass(const char* name, double n2, double tce = 0.0) {
    char line[200];
    std::snprintf(line, sizeof line, "%-10s 1.5 50 0 0 %.0f 0 0 0 0 ? ? 1 6 %.8e 0 0 0 0 0 0 0 0 0",
                  name, tce, n2);
    return line;
}

class GlassLensTest : public ::testing::Test, protected tavo_test::MessageConsole {
protected:
    void SetUp() override {
        platform::reset_all_state();
        ASSERT_EQ(open_console_with_built_messages(), 0);
        set_running_flag(0);
        printed.clear();
        set_output_line_sink(keep_line);

        ASSERT_EQ(tavo_test::new_lens_settings(12), 0);
        fs::create_directories(tree.root() / "bin/glc");
        fs::create_directories(tree.data() / "bin/glc");
    }

    void TearDown() override {
        set_output_line_sink(nullptr);
        close_glass_catalogs();
        tavo_test::close_new_lens();
    }

    // Every installed catalogue with one glass of its own name, and a private one.
    void install_all() {
        const char* files[] = {"obsolete", "misc", "ohara", "hoya", "corning", "schott", "shared"};
        for (const char* f : files) {
            std::string name = f;
            for (char& c : name) c = static_cast<char>(std::toupper(c));
            install(std::string(f) + ".glc", {flat_glass(name.c_str(), 2.25)});
        }
        install_private({flat_glass("PRIVATE", 2.25)});
    }
    void install(const std::string& file, const std::vector<std::string>& lines) {
        tree.write_file(fs::path("root/bin/glc") / file, catalog_text(lines));
    }
    void install_private(const std::vector<std::string>& lines) {
        tree.write_file("data/bin/glc/private.glc", catalog_text(lines));
    }

    // Start-up: lens arrays with the catalogues, then a new lens; the main loop then runs.
    void start() {
        ASSERT_EQ(tavo_test::open_lens_arrays(tree.root().string(), tree.data().string()), 0);
        set_running_flag(1);
    }

    void set_glass(int n, int kind, const char* name) {
        surface(n).medium_kind = static_cast<std::uint8_t>(kind);
        pad_glass_name(name, surface(n).medium_name);
    }

    std::vector<std::string> boxes() const {
        std::vector<std::string> t;
        for (const auto& b : ui.message_boxes_shown()) t.push_back(b.text);
        return t;
    }
};

}  // namespace glass_test
