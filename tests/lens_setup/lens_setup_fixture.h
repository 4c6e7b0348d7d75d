// A lens for the set-up tests: settings, lens arrays and a new lens built through the setters;
// a message table whose texts name their numbers, so that a test sees which messages the set-up
// showed; model glasses whose indices the test gives.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "lens/glass_cache.h"
#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "lens/lens_setup.h"
#include "lens/optimise_links.h"
#include "lens/surface_setters.h"
#include "platform/console/console_backend.h"
#include "runtime/dispatch.h"
#include "runtime/message_table.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/table_files.h"
#include "runtime/table_messages.h"
#include "tests/support/temp_tree.h"
#include "trace/paraxial_trace.h"

namespace lens_setup_test {

inline double g_model_index = 1.0;

inline int model_index_argument(int cell, double* value) {
    if (cell < 2 || cell > 4) return 0;
    *value = g_model_index;
    return 1;
}

inline const MediumEntrySource kModelSource{model_index_argument, nullptr};

// Messages the set-up may show; each text is "#<number>" and, where it has one, " s<surface>".
inline const int kShownMessages[] = {-255, -256, -257, -259, -260, -293, -304, -309, -320,
                                     -330, -331, -332, -333, -334, -335, -336, -337};

// One surface: curvature, thickness behind it, index behind it (1 = air).
struct Surf {
    double c;
    double t;
    double n;
};

class LensSetupTest : public ::testing::Test {
protected:
    tavo_test::TempTree tree;
    std::istringstream in;
    std::ostringstream out, err;
    platform::ConsoleBackend ui{platform::ConsoleOptions{&in, &out, &err, true}};

    void SetUp() override {
        std::vector<MessageText> texts;
        for (int n : kShownMessages) {
            texts.push_back({n + kMessageSlotBase, 2, "#" + std::to_string(n) + " s%d"});
        }
        texts.push_back({-262 + kMessageSlotBase, 1, "#-262"});
        texts.push_back({-307 + kMessageSlotBase, 2, "#-307"});
        std::vector<std::uint8_t> bytes;
        ASSERT_EQ(build_message_table(texts, bytes), 0);
        {
            std::ofstream f(tree.root() / "bin" / "amo" / "tvrtmsgs.amo", std::ios::binary);
            f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
        }
        ASSERT_EQ(read_root_folders(), 0);
        ASSERT_EQ(open_message_table(), 0);
        platform::set_current_ui(&ui);
        reset_state_flags();
        set_running_flag(0);

        ASSERT_EQ(settings_layout(), 0);
        set_setting_int(kSetSurfaceLimit, 12, 0, 0);
        set_setting_int(kSetMaxWavelengths, 10, 0, 0);
        set_setting_double(kSetWavelengthDefaults, 0.58756, 0, 0);
        set_setting_double(kSetWavelengthDefaults, 0.48613, 1, 0);
        set_setting_double(kSetWavelengthDefaults, 0.65627, 2, 0);
        for (int i = 0; i < 3; ++i) set_setting_double(kSetWeightDefaults, 1.0, i, 0);
        set_setting_text(kSetDesigner, "TAVO", 0);
        ASSERT_EQ(alloc_lens_arrays("/nonexistent-root", "/nonexistent-data"), 0);
        ASSERT_EQ(lens_new(), 0);
        set_medium_entry_source(&kModelSource);
        paraxial_hooks() = ParaxialHooks{};
    }

    void TearDown() override {
        paraxial_hooks() = ParaxialHooks{};
        set_medium_entry_source(nullptr);
        set_optimise_links(nullptr);
        free_lens_arrays();
        free_glass_cache();
        settings_release();
        close_message_table();
        reset_state_flags();
        platform::set_current_ui(nullptr);
    }

    // Object distance t0, then the surfaces; the image surface follows the last one. Each
    // glass gets a model glass of its own name.
    void make_lens(double t0, const std::vector<Surf>& surfaces, int stop = 1) {
        LensData& l = lens_data();
        l.image_surface = static_cast<int>(surfaces.size()) + 1;
        l.aperture_stop = stop;
        l.reference_surface = stop;
        set_thickness_data(0, kThicknessPlain, 0, 0, 0, 0, t0);
        for (std::size_t i = 0; i < surfaces.size(); ++i) {
            const int n = static_cast<int>(i) + 1;
            set_curvature_data(n, kCurvaturePlain, 0, 0, surfaces[i].c);
            set_thickness_data(n, kThicknessPlain, 0, 0, 0, 0, surfaces[i].t);
            if (surfaces[i].n != 1.0) {
                g_model_index = surfaces[i].n;
                const std::string name = "G" + std::to_string(n);
                ASSERT_EQ(set_surface_medium(n, kMediumModelGlass, name.c_str(), 0), 0);
            }
        }
        bounds_stale = 1;
    }

    void aperture_by_radius(double ebr) {
        lens_data().aperture_is_na = 0;
        lens_data().entrance_beam_radius = ebr;
    }
    void field_by_height(double h) {
        lens_data().field_is_angle = 0;
        lens_data().object_height = h;
    }
    void field_by_angle(double radians) {
        lens_data().field_is_angle = 1;
        lens_data().field_angle = radians;
    }

    // The texts of the messages shown, in order.
    std::vector<std::string> shown() const {
        std::vector<std::string> t;
        for (const auto& box : ui.message_boxes_shown()) t.push_back(box.text);
        return t;
    }
    bool was_shown(const std::string& text) const {
        for (const auto& s : shown()) {
            if (s == text) return true;
        }
        return false;
    }
    int shown_count(const std::string& text) const {
        int count = 0;
        for (const auto& s : shown()) count += s == text ? 1 : 0;
        return count;
    }
};

}  // namespace lens_setup_test
