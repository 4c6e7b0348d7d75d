// The slider design window on the Qt backend (offscreen): moving a slider changes the picture of
// graphics window 7 as the screen shows it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <string>
#include <vector>

#include "graphics/graphics_sliders.h"
#include "lens/lens_data.h"
#include "reports/slider_design.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "tests/reports/slider_lenses.h"
#include "tests/support/qt_session.h"

namespace {

using slider_test::kCatalogueTriplet;

QImage grab_window_7() {
    QApplication::processEvents();
    // Graphics window 7 is window number 13.
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (QWidget* w = top->findChild<QWidget*>("tavo_surface_13")) {
            return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
        }
    }
    return {};
}

TEST(SliderDesignQt, AMovedSliderChangesTheLensPicture) {
    tavo_test::QtSession session;
    ASSERT_EQ(session.start(), 0);
    for (const std::string& line : kCatalogueTriplet) {
        ASSERT_EQ(run_command_string(line.c_str(), 0), 0) << line << ": " << error_text_buffer();
    }
    SliderDesignState& st = slider_design_state();
    st.kind_a = kSliderThickness;
    st.surface_a = 2;
    st.value_a = surface(2).thickness;
    st.half_range_a = 4.0;
    st.analysis_kind = kSliderAnalysisFans;
    ASSERT_EQ(open_slider_windows(), 0) << error_text_buffer();
    const QImage before = grab_window_7();
    ASSERT_FALSE(before.isNull());
    // The picture is stable while nothing moves.
    ASSERT_EQ(grab_window_7(), before);

    int a = -1;
    for (int i = 0; i < kSliderCount; ++i) {
        if (slider(i).id == kSliderIdA) a = i;
    }
    ASSERT_GE(a, 0);
    slider_scroll(a, 3, 0);
    slider_scroll(a, 3, 0);
    const QImage after = grab_window_7();
    ASSERT_EQ(after.size(), before.size());
    EXPECT_NE(after, before);
    EXPECT_NEAR(surface(2).thickness, 5.26 + 1.6, 1e-6);
}

}  // namespace
