// The nine Analysis dialogs on Qt (offscreen), driven as a user drives them: opened as the
// Analysis menu opens them, a word of a list field pressed or a value typed into a pressed field,
// and the sheet's OK button. Each runs, and records, the analysis its fields choose.
#include <QAbstractButton>
#include <filesystem>
#include <string>
#include <vector>

#include "graphics/graphics_window.h"
#include "runtime/command_history.h"
#include "runtime/dispatch.h"
#include "tables/table_names.h"
#include "tests/entry/sheet_qt/sheet_qt_fixture.h"

namespace {

using tavo_test::QtSheet;

constexpr int kDialogChoiceCell = 0x2000;
constexpr int kDialogValueColumn = 999;

int dialog_form_index(int field, int column) {
    return (field + 16) * 1024 + column;
}

class QtAnalysisDialogs : public QtSheet {
protected:
    void SetUp() override {
        // The installation's pictures, so that the sheet has its strip of buttons.
        namespace fs = std::filesystem;
        fs::create_directories(run_.tree.root() / "bin/bma");
        for (const auto& e : fs::directory_iterator(fs::path(TAVO_INSTALL_DIR) / "bin/bma")) {
            fs::copy_file(e.path(), run_.tree.root() / "bin/bma" / e.path().filename(),
                          fs::copy_options::overwrite_existing);
        }
        QtSheet::SetUp();
        for (const char* line : {"LEN NEW \"Dialogs\"", "EBR 5", "NXT", "SRF 50 5 N-BK7 10", "AST",
                                 "SRF -50 45 AIR 10", "END"}) {
            type(line);
        }
    }
    void press_cell(int code, int index) {
        QWidget* surface = tavo_test::find_widget<QWidget>("tavo_surface_3");
        ASSERT_NE(surface, nullptr);
        // A word of a list field is drawn chosen (0x1000 more) or not.
        GridCell probe;
        probe.field_code = code;
        probe.field_index = index;
        if ((code & kDialogChoiceCell) != 0 && grid_find_cell(probe) != 1) code |= 0x1000;
        const QRect r = cell_rect(code, index);
        const QPointF at(r.left() + 6, r.top() + 7);
        QMouseEvent down(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(surface, &down);
        QMouseEvent up(QEvent::MouseButtonRelease, at, at, Qt::LeftButton, Qt::NoButton,
                       Qt::NoModifier);
        QApplication::sendEvent(surface, &up);
        settle();
    }
    // Presses OK and returns the line the history records for what ran.
    std::string ok() {
        auto* button = tavo_test::find_widget<QAbstractButton>("tavo_tool_3_101");
        EXPECT_NE(button, nullptr);
        if (button == nullptr) return {};
        const int before = history_count();
        graphwin_new_page(1);
        button->click();
        for (int k = 0; k < 3; ++k) settle();
        EXPECT_EQ(level_count(), 0);
        return history_count() > before ? history_line(history_count() - 1) : std::string();
    }
};

TEST_F(QtAnalysisDialogs, EachDialogRunsItsAnalysisWithItsDefaultsAndWithOneFieldChanged) {
    struct Case {
        const char* dialog;
        int command;
        int field;  // the field changed
        int word;   // the word of its list pressed, or -1: value typed
        const char* value;
        const char* changed;  // the analysis then
    };
    const std::vector<Case> cases = {
        {"select_ray_aberration", kCmdSelectRayAberration, 0, 2, "", "plot_ray_intercepts"},
        {"select_spot", kCmdSelectSpot, 0, 1, "", "plot_spot_diagram"},
        {"select_diffraction", kCmdSelectDiffraction, 0, 2, "", "plot_intensity_sections"},
        {"select_mtf", kCmdSelectMtf, 3, -1, "0", "mtf"},
        {"select_wavefront", kCmdSelectWavefront, 0, 1, "", "plot_wavefront"},
        {"select_geo_sections", kCmdSelectGeoSections, 0, -1, "1", "plot_line_spread"},
        {"select_psf_sections", kCmdSelectPsfSections, 0, -1, "1", "plot_psf_line_spread"},
        {"select_energy", kCmdSelectEnergy, 0, 2, "", "plot_rad_energy_dist"},
        {"select_psf", kCmdSelectPsf, 0, 3, "", "plot_psf_ensquared"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dialog);
        for (const bool change : {false, true}) {
            type(c.dialog);
            ASSERT_EQ(level_count(), 1);
            if (change && c.word >= 0) {
                press_cell(c.command | kDialogChoiceCell, dialog_form_index(c.field, c.word));
            } else if (change) {
                press_cell(c.command, dialog_form_index(c.field, kDialogValueColumn));
                type_keys(c.value);
                press(Qt::Key_Return);
            }
            ASSERT_EQ(level_count(), 1);
            const std::string ran = ok();
            // The defaults run the dialog's first or second analysis, as its list presets it.
            const std::string name = ran.substr(0, ran.find(' '));
            if (change) {
                EXPECT_EQ(name, c.changed) << ran;
            } else {
                EXPECT_FALSE(name.empty() || name == c.dialog) << ran;
            }
        }
    }
}

}  // namespace
