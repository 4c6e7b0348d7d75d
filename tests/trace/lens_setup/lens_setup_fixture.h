// A lens for the set-up tests: settings, lens arrays and a new lens built through the setters;
// a message table whose texts name their numbers and a console, so that a test sees which
// messages the set-up showed; model glasses whose indices the test gives.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "lens/optimise_links.h"
#include "lens/surface_setters.h"
#include "platform/state_reset.h"
#include "runtime/dispatch.h"
#include "runtime/message_table.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "tests/support/built_tables.h"
#include "tests/support/lens_arrays.h"
#include "trace/lens_setup.h"
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

class LensSetupTest : public ::testing::Test, protected tavo_test::MessageConsole {
protected:
    void SetUp() override {
        platform::reset_all_state();
        std::vector<MessageText> texts;
        for (int n : kShownMessages) {
            texts.push_back({n + kMessageSlotBase, 2, "#" + std::to_string(n) + " s%d"});
        }
        texts.push_back({-262 + kMessageSlotBase, 1, "#-262"});
        texts.push_back({-307 + kMessageSlotBase, 2, "#-307"});
        ASSERT_EQ(open_console(texts), 0);
        set_running_flag(0);

        ASSERT_EQ(tavo_test::open_new_lens(12), 0);
        set_medium_entry_source(&kModelSource);
    }

    void TearDown() override {
        set_medium_entry_source(nullptr);
        set_optimise_links(nullptr);
        tavo_test::close_new_lens();
        platform::reset_all_state();
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
        lens_flags().bounds_stale = 1;
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
