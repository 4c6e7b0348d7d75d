// A command that runs another one records that other command in the history: typed again, the
// recorded line must do what the first line did (the same listing, the same file).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/command_history.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "tests/support/temp_tree.h"

namespace {

namespace fs = std::filesystem;
using loop_test::Loop;

struct ReplayCase {
    const char* line;      // typed first
    const char* recorded;  // the start of the history line it leaves
    const char* file;      // a file the line (with `after`) writes, or null for a listing
    const char* after;     // a line typed after it and after the replay, or null
};

class HistoryReplay : public Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        // A singlet with two tolerances and one operand, whose quantity the operand command
        // computes, so that the tolerance analyses have something to do.
        for (const char* line : {"LEN NEW \"Singlet\"", "EBR 5", "NXT", "SRF 50 5 N-BK7 10",
                                 "RDT 0.005", "CCT 0.01", "SRF -50 45 AIR 10", "END", "OPE NEW",
                                 "O 1 \"OP1\" 1 \"tolop\"", "END", "opoc \"oprd[1] = 99*cv[1]\""}) {
            type(line);
        }
        ASSERT_EQ(errors().find("Error"), std::string::npos) << errors();
    }
    std::string path(const char* name) const { return (run_.tree.base() / name).string(); }
    // Types a line (and the line after it) and returns what it printed, or the file it wrote.
    std::string result_of(const std::string& line, const ReplayCase& c) {
        if (c.file != nullptr) fs::remove(path(c.file));
        const std::size_t shown = output().size();
        type(line);
        if (c.after != nullptr) type(std::string(c.after) + " \"" + path(c.file) + "\"");
        if (c.file == nullptr) return output().substr(shown);
        return fs::exists(path(c.file)) ? tavo_test::read_file(path(c.file)) : "(no file)";
    }
};

TEST_F(HistoryReplay, TheRecordedLineDoesWhatTheTypedLineDid) {
    const ReplayCase cases[] = {
        // Tolerance kinds are numbered from 1 in their list; the analyses from 0.
        {"tolerance SENS RDT", "sensitivity RDT", nullptr, nullptr},
        {"tolerance SENS ALL", "sensitivity ALL", nullptr, nullptr},
        {"tolerance INV CCT 0.02", "inverse_sensitivity CCT 0.02", nullptr, nullptr},
        // Paraxial listings and the image reports by their selectors.
        {"par_select 1", "par_", nullptr, nullptr},
        {"par_aberrations 1", "par_seidel", nullptr, nullptr},
        {"spot_report 0 0 0", "spot_sizes", nullptr, nullptr},
        {"wavefront_report 1 1 0 0 0 1", "wavefront_stats", nullptr, nullptr},
        {"coupling 0 0 0.01", "coupling_efficiency", nullptr, nullptr},
        {"list_menu 700", "list_", nullptr, nullptr},
        // Drawing views are numbered from 1 in their list: plan, wire view, 3-D model.
        {"lens_picture 0 0 0 0 0 0", "draw_picture plan", "picture.hgl", "plot 1"},
        {"lens_picture 0 2 0 0 0 0", "draw_picture wire", "picture.hgl", "plot 1"},
        {"lens_picture 2 0 0 0 0 0", "draw_picture model", "picture.hgl", "plot 1"},
    };
    for (const ReplayCase& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string first = result_of(c.line, c);
        ASSERT_GE(history_count(), 1);
        const std::string recorded = history_line(history_count() - (c.after != nullptr ? 2 : 1));
        EXPECT_EQ(recorded.rfind(c.recorded, 0), 0u) << recorded;
        const std::size_t refused = errors().size();
        const std::string again = result_of(recorded, c);
        EXPECT_EQ(errors().find("Error", refused), std::string::npos) << errors().substr(refused);
        EXPECT_GT(first.size(), 1u);
        EXPECT_EQ(again, first) << recorded;
    }
}

TEST_F(HistoryReplay, AnExportRecordsTheExportThatWroteTheFile) {
    const std::string dxf = path("model.dxf");
    const std::string iges = path("plan.igs");
    const struct {
        std::string line;
        const char* recorded;
        std::string file;
    } cases[] = {
        {"export_drawing dxf model_every 0 0 0 0 \"" + dxf + "\"", "export_dxf model", dxf},
        {"export_drawing dxf plan 0 0 0 0 \"" + dxf + "\"", "export_dxf plan", dxf},
        {"export_drawing iges elev plan 2 0 0 \"\" \"" + iges + "\"", "export_iges plan", iges},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        fs::remove(c.file);
        type(c.line);
        ASSERT_TRUE(fs::exists(c.file)) << errors();
        const std::string first = tavo_test::read_file(c.file);
        const std::string recorded = history_line(history_count() - 1);
        EXPECT_EQ(recorded.rfind(c.recorded, 0), 0u) << recorded;
        fs::remove(c.file);
        type(recorded);
        ASSERT_TRUE(fs::exists(c.file)) << recorded << "\n" << errors();
        EXPECT_EQ(tavo_test::read_file(c.file), first) << recorded;
    }
}

}  // namespace
