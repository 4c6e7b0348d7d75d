// The glass list and the table glass, opened from the surface sheet's medium button as a user
// opens them, their events delivered as the grid delivers them.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "entry/glass_sheets.h"
#include "entry/sheet_options.h"
#include "lens/glass_catalog.h"
#include "lens/glass_lookup.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "lens/refractive_index.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "tables/table_names.h"
#include "tests/entry/surface_sheet/sheet_fixture.h"

namespace sheet_test {
namespace {

constexpr int kFixtureCatalogue = 5;

class GlassSheets : public Sheet {
protected:
    void TearDown() override {
        // The catalogue values go back to the lines they are kept for in a fresh run.
        static const double lines[3] = {kLineD, kLineF, kLineC};
        recompute_catalog_dispersion(LensWavelengths{lines, 3});
        Sheet::TearDown();
    }
    void load_fixture() {
        ASSERT_EQ(read_catalog_file(kFixtureCatalogue, TAVO_FIXTURES_DIR "/glass/sheet_list.glc"),
                  0);
    }
    // The medium button of surface s answered with the lines; the level it pushes is built.
    void choose(int s, const char* answers) {
        input(answers);
        ASSERT_EQ(event(kLevelEventActivate, kFieldMediumOption, s), 0) << error_text_buffer();
        for (int k = 0; k < 3 && level_push_pending(); ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), 2) << errors();
    }
    // The top level ends, left (0) or cancelled (-1), as its strip's buttons end it.
    void leave(int mode) { pop_command_level(mode == -1); }
    void close_all() {
        type("exit_levels");
        for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), 0) << errors();
    }
    std::string lens_text() {
        int failure = 0;
        return lens_file_text("t", nullptr, &failure);
    }
};

// Rows of the glass list after its header row, blanks at the ends cut.
std::vector<std::string> glass_rows(const std::vector<std::string>& shown) {
    return std::vector<std::string>(shown.begin() + 1, shown.end());
}

TEST_F(GlassSheets, TheListShowsTheCatalogueInEachOrder) {
    small_lens("TH 100");
    type("WV 0.58756 0.48613 0.65627");
    load_fixture();
    open_sheet();
    choose(1, "catalogue_5\n");
    // The catalogue's values are those of the lens wavelengths: nothing to recompute.
    EXPECT_EQ(lines()[0].find("recompute"), std::string::npos) << lines()[0];
    const std::string row_one =
        " G1         G2         G3         G4         G5         G6         G7";
    EXPECT_EQ(glass_rows(lines()), (std::vector<std::string>{row_one, " G8         G9"}));
    // By index: six to a row, each row led by its first glass's index; G2 and G6 have the same
    // index and may stand either way round.
    ASSERT_EQ(event(kLevelEventActivate, kFieldSortIndex, 0), 0);
    const std::vector<std::string> by_index = glass_rows(lines());
    ASSERT_EQ(by_index.size(), 2u);
    const std::string lead = " 1.500000   G4         G9         ";
    EXPECT_TRUE(by_index[0] == lead + "G2         G6         G7         G1" ||
                by_index[0] == lead + "G6         G2         G7         G1")
        << by_index[0];
    EXPECT_EQ(by_index[1], " 1.620000   G8         G5         G3");
    ASSERT_EQ(event(kLevelEventActivate, kFieldSortDispersion, 0), 0);
    EXPECT_EQ(glass_rows(lines()),
              (std::vector<std::string>{" 30.00      G3         G5         G8         G1         "
                                        "G7         G6",
                                        " 60.00      G2         G9         G4"}));
    // The sort mode stays for the next opening.
    leave(-1);
    EXPECT_EQ(glass_sheets_state().sort_mode, kGlassSortDispersion);
}

TEST_F(GlassSheets, WithTwoWavelengthsTheListCannotBeSortedByDispersion) {
    small_lens("TH 100");
    type("WV 0.5876 0.4861");
    load_fixture();
    glass_sheets_state().sort_mode = kGlassSortDispersion;
    open_sheet();
    choose(1, "catalogue_5\n");
    EXPECT_EQ(glass_sheets_state().sort_mode, kGlassSortCatalogue);
    // The dispersion radio is written as a cell that cannot be chosen.
    bool inactive = false;
    for (const Cell& c : cells(0)) {
        inactive = inactive || c.code == (0x8000 | kFieldSortDispersion);
    }
    EXPECT_TRUE(inactive);
}

TEST_F(GlassSheets, TheRecomputeButtonShowsOnceTheWavelengthsChanged) {
    small_lens("TH 100");
    type("WV 0.5 0.45 0.65");
    load_fixture();
    open_sheet();
    choose(1, "catalogue_5\n");
    EXPECT_NE(lines()[0].find("recompute"), std::string::npos) << lines()[0];
    ASSERT_EQ(event(kLevelEventActivate, kFieldRecompute, 0), 0);
    EXPECT_EQ(lines()[0].find("recompute"), std::string::npos) << lines()[0];
    // The values are the formula's at the first wavelength: 1.4951 + 0.0076 / 0.5 +
    // 0.00016 / 0.5^3.5.
    double nd = 0;
    ASSERT_EQ(glass_nd_vd(0, kFixtureCatalogue, &nd, nullptr), 0);
    EXPECT_NEAR(nd, 1.4951 + 0.0076 / 0.5 + 0.00016 / std::pow(0.5, 3.5), 1e-9);
}

TEST_F(GlassSheets, AcceptingTheChosenGlassMakesItTheMediumAndCancelKeepsTheOld) {
    small_lens("TH 100");
    load_fixture();
    open_sheet();
    for (const int mode : {-1, 0}) {
        SCOPED_TRACE(mode);
        choose(1, "catalogue_5\n");
        char text[256] = "";
        ASSERT_EQ(event(kLevelEventCellChanged, kFieldGlassCell, 6, 0, 0, 6, text), 0);
        // A stale index does nothing.
        ASSERT_EQ(event(kLevelEventCellChanged, kFieldGlassCell, 40, 0, 0, 40, text), 0);
        leave(mode);
        EXPECT_EQ(std::string(surface(1).medium_name), mode == 0 ? "G7        " : "N-BK7     ");
    }
}

// A line typed into the glass list runs and the list stays; the glass last chosen is taken when
// it is left.
TEST_F(GlassSheets, TheListRunsATypedLineAndTakesTheChosenGlass) {
    small_lens("TH 100");
    load_fixture();
    open_sheet();
    choose(1, "catalogue_5\n");
    char text[256] = "";
    ASSERT_EQ(event(kLevelEventCellChanged, kFieldGlassCell, 6, 0, 0, 6, text), 0);
    char line[kGridTextBufferSize] = "TH 7";
    ASSERT_EQ(event(kLevelEventTypedText, 3, 1, 0, 0, 1, line), 0) << error_text_buffer();
    EXPECT_EQ(surface(1).thickness, 7.0);
    EXPECT_EQ(level_count(), 2);
    leave(0);
    EXPECT_EQ(std::string(surface(1).medium_name), "G7        ");
    EXPECT_EQ(surface(1).thickness, 7.0);
}

TEST_F(GlassSheets, AnEmptyCatalogueIsRefused) {
    small_lens("TH 100");
    lens_data().current_surface = 1;
    GlassCatalog& c = glass_catalog(kFixtureCatalogue);
    c.count = 0;
    EXPECT_EQ(glass_choice(1, 100 + kFixtureCatalogue), kErrorTextReady);
    EXPECT_FALSE(level_push_pending());
    input("8\n");  // all catalogues at once: the list shows one
    EXPECT_EQ(glass_choice(1, 2), kErrorTextReady);
    EXPECT_FALSE(level_push_pending());
}

TEST_F(GlassSheets, ATableGlassTakesTheTypedIndicesAndWritesAsTheCommandDoes) {
    small_lens("TH 100");
    type("WV 0.5876 0.4861 0.6563");
    open_sheet();
    choose(1, "table\n");
    // An index of 0 is refused and the old one stays.
    const double before = surface(1).index[1];
    ASSERT_EQ(event(kLevelEventEdited, kFieldTableGlassIndex, 1, 0.0), 0);
    EXPECT_EQ(surface(1).index[1], before);
    const double typed[3] = {1.6, 1.61, 1.59};
    for (int w = 0; w < 3; ++w) {
        ASSERT_EQ(event(kLevelEventEdited, kFieldTableGlassIndex, w, typed[w]), 0)
            << error_text_buffer();
    }
    char name[] = "x";
    GridEvent e;
    e.code = kLevelEventEdited;
    e.field = kFieldTableGlassName;
    e.first_index = 1;
    e.value_type = 3;
    e.text = name;
    ASSERT_EQ(run_command_level(e), 0) << error_text_buffer();
    leave(0);
    EXPECT_EQ(std::string(surface(1).medium_name), "X         ");
    EXPECT_EQ(surface(1).index[0], 1.6);
    const std::string by_sheet = lens_text();
    close_all();
    // The same glass typed as commands; the table glass keeps the expansion coefficient of the
    // medium it replaced (N-BK7's).
    small_lens("TH 100");
    type("WV 0.5876 0.4861 0.6563");
    lens_data().current_surface = 1;
    ASSERT_EQ(run_choice_line("GLA X 1.6 1.61 1.59"), 0) << error_text_buffer();
    ASSERT_EQ(run_choice_line("TCE 71"), 0) << error_text_buffer();
    EXPECT_EQ(lens_text(), by_sheet);
}

// A line typed into the table glass runs and the sheet shows again; cancelled, the sheet gives
// back the lens it found, the line's change and the glass it made undone.
TEST_F(GlassSheets, ATypedLineRunsInTheTableGlassAndCancelUndoesIt) {
    small_lens("TH 100");
    type("WV 0.5876 0.4861 0.6563");
    open_sheet();
    const std::string before = lens_text();
    choose(1, "table\n");
    ASSERT_EQ(event(kLevelEventEdited, kFieldTableGlassIndex, 0, 1.6), 0) << error_text_buffer();
    char line[kGridTextBufferSize] = "TH 7";
    ASSERT_EQ(event(kLevelEventTypedText, 3, 1, 0, 0, 1, line), 0) << error_text_buffer();
    EXPECT_EQ(surface(1).thickness, 7.0);
    EXPECT_EQ(level_count(), 2);
    leave(-1);
    EXPECT_EQ(level_count(), 1);
    EXPECT_EQ(lens_text(), before);
    close_all();
}

// Names the open table glass by its name cell.
void name_table_glass(const char* text);

TEST_F(GlassSheets, ATableGlassNamedLikeAnotherAsksBeforeChangingThatOne) {
    const struct {
        const char* answer;
        double first;        // surface 1's index afterwards
        const char* second;  // surface 2's medium afterwards
    } cases[] = {{"ok", 1.8, "A         "}, {"cancel", 1.7, "GLASS2    "}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        small_lens("TH 100");
        open_sheet();
        choose(1, "table\n");
        ASSERT_EQ(event(kLevelEventEdited, kFieldTableGlassIndex, 0, 1.7), 0);
        name_table_glass("a");
        leave(0);
        EXPECT_EQ(std::string(surface(1).medium_name), "A         ");
        choose(2, "table\n");
        ASSERT_EQ(event(kLevelEventEdited, kFieldTableGlassIndex, 0, 1.8), 0);
        name_table_glass("a");
        input(std::string(c.answer) + "\n");
        leave(0);
        EXPECT_EQ(std::string(surface(2).medium_name), c.second);
        EXPECT_DOUBLE_EQ(surface(1).index[0], c.first);
        EXPECT_DOUBLE_EQ(surface(2).index[0], 1.8);
        close_all();
    }
}

TEST_F(GlassSheets, ABlankTableGlassNameIsAskedFor) {
    const struct {
        const char* answer;
        const char* name;
    } cases[] = {{"b\n", "B         "}, {"\n", "GLASS1    "}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        small_lens("TH 100");
        open_sheet();
        choose(1, "table\n");
        name_table_glass("");
        input(c.answer);
        leave(0);
        EXPECT_EQ(std::string(surface(1).medium_name), c.name);
        close_all();
    }
}

void name_table_glass(const char* text) {
    char name[16];
    std::snprintf(name, sizeof name, "%s", text);
    GridEvent e;
    e.code = kLevelEventEdited;
    e.field = kFieldTableGlassName;
    e.first_index = glass_sheets_state().table_surface;
    e.value_type = 3;
    e.text = name;
    ASSERT_EQ(run_command_level(e), 0) << error_text_buffer();
}

}  // namespace
}  // namespace sheet_test
