// Stock-lens catalogues: the shipped catalogue against a paraxial trace of its parts, the
// reading of damaged catalogues, the selection the parts panel makes, and the insertion of
// parts typed on the command line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "lens/stock_lenses.h"
#include "lens/surface_insert_delete.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

namespace fs = std::filesystem;

struct FixturePart {
    const char* name;
    int type;
    const char* text;
    double efl, diameter, third;
};

// n(lambda) from Sellmeier coefficients as the glass makers publish them.
double sellmeier(const double b[3], const double c[3], double l) {
    double s = 1.0;
    for (int k = 0; k < 3; ++k) s += b[k] * l * l / (l * l - c[k]);
    return std::sqrt(s);
}

class StockLenses : public loop_test::Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        for (const auto& e : fs::directory_iterator(fs::path(TAVO_INSTALL_DIR) / "bin/lmo")) {
            fs::copy_file(e.path(), lmo() / e.path().filename(),
                          fs::copy_options::overwrite_existing);
        }
    }
    void TearDown() override {
        set_stock_part_inserted_hook(nullptr);
        close_catalog_parts();
        free_lens_catalog();
        Loop::TearDown();
    }
    fs::path lmo() const {
        fs::create_directories(run_.tree.root() / "bin/lmo");
        return run_.tree.root() / "bin/lmo";
    }
    // Writes NAME.dir and NAME.dat from the parts (and NAME.nam when given).
    void write_catalog(const std::string& name, const std::vector<FixturePart>& parts,
                       const char* vendors = nullptr) {
        std::string dat, dir = std::to_string(parts.size()) + "\n";
        char line[256];
        for (const FixturePart& p : parts) {
            std::snprintf(line, sizeof line, "%zu,%zu,%d,%s,%.3f,%.3f,%.3f\n", dat.size(),
                          std::strlen(p.text), p.type, p.name, p.efl, p.diameter, p.third);
            dir += line;
            dat += std::string(p.text) + "\n";
        }
        write(name + ".dir", dir);
        write(name + ".dat", dat);
        if (vendors != nullptr) write(name + ".nam", vendors);
    }
    void write(const std::string& file, const std::string& text) {
        run_.tree.write_file(fs::path("root/bin/lmo") / file, text);
    }
    static std::vector<std::string> names_listed() {
        std::vector<std::string> names;
        for (int i : stock_rows()) names.emplace_back(stock_part(i)->name);
        return names;
    }
};

TEST_F(StockLenses, TheShippedCatalogueHoldsWhatAParaxialTraceOfItsPartsGives) {
    type("select_lens_catalog generic");
    ASSERT_EQ(lens_catalog_name(), "generic") << errors();
    EXPECT_NE(errors().find("Stock-lens catalogue generic loaded"), std::string::npos);
    EXPECT_NE(test_state_flag(kFlagCatalogueLoaded), 0);
    ASSERT_EQ(open_catalog_parts(), 0);

    // Indices at the d line from the published Sellmeier coefficients.
    const double bk7_b[3] = {1.03961212, 0.231792344, 1.01046945};
    const double bk7_c[3] = {0.00600069867, 0.0200179144, 103.560653};
    const double sf5_b[3] = {1.52481889, 0.187085527, 1.42729015};
    const double sf5_c[3] = {0.011254756, 0.0588995392, 129.141675};
    const std::map<std::string, double> index = {{"N-BK7", sellmeier(bk7_b, bk7_c, 0.58756)},
                                                 {"N-SF5", sellmeier(sf5_b, sf5_c, 0.58756)}};
    int per_type[4] = {};
    for (int i = 0; i < stock_part_count(); ++i) {
        const StockLensPart& part = *stock_part(i);
        ++per_type[part.type];
        std::string text;
        ASSERT_EQ(read_stock_part_text(i, text), 0);
        // Surface by surface: radius (0 flat), thickness and the medium behind.
        std::vector<double> radius(1, 0.0), thickness(1, 0.0), medium(1, 1.0);
        for (const std::string& f : stock_part_fields(text)) {
            if (f == "NXT") {
                radius.push_back(0.0);
                thickness.push_back(0.0);
                medium.push_back(1.0);
            } else if (f.rfind("RD ", 0) == 0) {
                radius.back() = std::stod(f.substr(3));
            } else if (f.rfind("TH ", 0) == 0) {
                thickness.back() = std::stod(f.substr(3));
            } else if (f.rfind("GLA ", 0) == 0) {
                ASSERT_TRUE(index.count(f.substr(4))) << f;
                medium.back() = index.at(f.substr(4));
            }
        }
        // Marginal ray from infinity, height 1: n'u' = nu - y (n' - n) c.
        double y = 1.0, nu = 0.0, n = 1.0;
        for (std::size_t j = 0; j < radius.size(); ++j) {
            const double c = radius[j] == 0.0 ? 0.0 : 1.0 / radius[j];
            nu -= y * (medium[j] - n) * c;
            n = medium[j];
            if (j + 1 < radius.size()) y += thickness[j] * nu / n;
        }
        const double efl = -1.0 / nu;
        const double bfl = -y / nu;
        EXPECT_NEAR(part.efl / 1000.0, efl, 1.5e-3) << part.name;
        EXPECT_NEAR(part.third / 1000.0, bfl, 1.5e-3) << part.name;
        EXPECT_EQ(part.type == kStockNegative, efl < 0) << part.name;
        EXPECT_EQ(part.type == kStockCemented, radius.size() == 3) << part.name;
        EXPECT_EQ(stock_vendor_name(part.name), "Generic parts (tavo)");
    }
    EXPECT_EQ(per_type[kStockPositive] + per_type[kStockNegative], 12);
    EXPECT_EQ(per_type[kStockCemented], 2);
}

TEST_F(StockLenses, AnInsertedPartHasTheFocalLengthOfTheCatalogue) {
    type("select_lens_catalog generic");
    type("stock_part gpx100d25");
    type("par_setup");
    const std::size_t at = output().find("EFL");
    ASSERT_NE(at, std::string::npos) << output() << errors();
    EXPECT_NEAR(std::strtod(output().c_str() + at + 3, nullptr), 100.0, 1e-3);
    // A plano-convex part: the flat side is its second surface.
    EXPECT_NEAR(surface(1).curvature, 1 / 51.68, 1e-12);
    EXPECT_EQ(surface(2).curvature, 0.0);
    EXPECT_NEAR(surface(1).aperture_radius, 12.5, 1e-9);
}

TEST_F(StockLenses, TheStockLensCommandListsThePartsNearestTheCentresFirstSelected) {
    type("select_lens_catalog generic");
    type("stock_lens_at 1");
    // Positive parts by focal length; 50.000 lies nearest the centre 50 (49.996 is 0.004 off).
    const std::string expected =
        "Stock lenses\n"
        "     25.001\n     49.996\n>    50.000\n     99.997\n    100.000\n    150.000\n"
        "    199.995\n    250.000\n"
        "Generic parts (tavo) GPX050D25: diameter 25.000, focal length 50.000, 46.044\n";
    EXPECT_NE(output().find(expected), std::string::npos) << output() << errors();
    EXPECT_TRUE(catalog_parts_open());
}

TEST_F(StockLenses, ThePanelCommandNarrowsAndReordersTheParts) {
    type("select_lens_catalog generic");
    // Without a control the panel only opens on the parts.
    type("stock_panel");
    EXPECT_TRUE(catalog_parts_open());
    EXPECT_EQ(errors().find("no control"), std::string::npos) << errors();
    EXPECT_NE(output().find("Stock lenses\n"), std::string::npos) << output();
    type("stock_panel 102 10");  // focal length 50 +- 10
    EXPECT_TRUE(catalog_parts_open());
    EXPECT_EQ(names_listed(), (std::vector<std::string>{"GBX050D25", "GPX050D25"}));
    EXPECT_NE(output().find("     49.996\n>    50.000\nGeneric parts (tavo) GPX050D25"),
              std::string::npos)
        << output();
    type("stock_panel 13");  // by diameter: both 25, then by focal length
    EXPECT_EQ(stock_selection().sort, kStockSortDiameter);
    EXPECT_EQ(names_listed(), (std::vector<std::string>{"GBX050D25", "GPX050D25"}));
    EXPECT_STREQ(stock_part(stock_selection().selected)->name, "GPX050D25");
    EXPECT_NE(output().find("    25.000\n>   25.000\n"), std::string::npos) << output();

    type("stock_panel 2");  // negative parts: none near +50
    EXPECT_TRUE(stock_rows().empty());
    EXPECT_NE(output().find("No part of the catalogue fits the selection"), std::string::npos);
    type("stock_panel 101 -50");
    EXPECT_EQ(names_listed(), (std::vector<std::string>{"GBV050D25"}));

    type("stock_panel 7");
    EXPECT_NE(errors().find("The stock-lens panel has no control 7"), std::string::npos)
        << errors();
    EXPECT_EQ(names_listed(), (std::vector<std::string>{"GBV050D25"}));
}

TEST_F(StockLenses, PartsOfALensInCentimetresAreConvertedFromMillimetres) {
    type("uni 10");
    type("select_lens_catalog generic");
    type("stock_part gpx100d25");
    // Radius 51.68 mm is 5.168 cm, thickness 4 mm 0.4 cm, semi-diameter 12.5 mm 1.25 cm.
    EXPECT_NEAR(surface(1).curvature, 1 / 5.168, 1e-12);
    EXPECT_NEAR(surface(1).thickness, 0.4, 1e-12);
    EXPECT_NEAR(surface(1).aperture_radius, 1.25, 1e-12);
    EXPECT_NEAR(surface(2).aperture_radius, 1.25, 1e-12);
    type("par_setup");
    const std::size_t at = output().find("EFL");
    ASSERT_NE(at, std::string::npos) << output() << errors();
    EXPECT_NEAR(std::strtod(output().c_str() + at + 3, nullptr), 10.0, 1e-4);
}

TEST_F(StockLenses, TheCatalogueListOffersTheCataloguesOfTheFolderWithTheLoadedOneFirst) {
    write_catalog("beta", {{"B1", 1, "RD 50", 50, 25, 48}});
    write("alpha.v2.dat", "RD 50\n");
    write("notes.txt", "x\n");
    const int parameter = param_descriptor_index(1100, 0);
    ASSERT_EQ(select_param_list(parameter), 0);
    std::vector<std::string> offered;
    for (int i = 0; i < value_list_count(); ++i) offered.emplace_back(value_list_first(i));
    EXPECT_EQ(offered, (std::vector<std::string>{"alpha", "beta", "generic"}));

    // The catalogue loaded is what an omitted name takes.
    type("select_lens_catalog beta");
    type("select_lens_catalog");
    EXPECT_EQ(lens_catalog_name(), "beta");
    type("select_lens_catalog generic");
    ASSERT_EQ(select_param_list(parameter), 0);
    ArgCell cell{};
    char buffer[kArgTextSize] = {};
    char shown[kArgTextSize] = {};
    evaluate_default(*param_descriptor(parameter), buffer, sizeof buffer, &cell, shown,
                     sizeof shown);
    EXPECT_STREQ(shown, "generic");

    for (const auto& e : fs::directory_iterator(lmo())) fs::remove(e.path());
    EXPECT_NE(select_param_list(parameter), 0);
    EXPECT_STREQ(error_text_buffer(), "There is no stock-lens catalogue");
}

TEST_F(StockLenses, DamagedCataloguesAreRefusedAndLeaveNoneLoaded) {
    const struct {
        const char* what;
        const char* dir;
        const char* nam;
        int result;
    } cases[] = {
        {"a count of 0", "0\n", nullptr, kMsgStockCatalogDamaged},
        {"a count that is no number", "x\n0,5,1,A,1,2,3\n", nullptr, kMsgStockCatalogDamaged},
        {"fewer parts than counted", "2\n0,5,1,A,1,2,3\n", nullptr, kMsgStockCatalogDamaged},
        {"a text beyond the end of the parts file", "1\n0,50,1,A,1,2,3\n", nullptr,
         kMsgStockCatalogDamaged},
        {"an offset beyond the parts file", "1\n100,5,1,A,1,2,3\n", nullptr,
         kMsgStockCatalogDamaged},
        {"a lens type 4", "1\n0,5,4,A,1,2,3\n", nullptr, kMsgStockCatalogDamaged},
        {"a text of no length", "1\n0,0,1,A,1,2,3\n", nullptr, kMsgStockCatalogDamaged},
        {"a length over 16 bits", "1\n0,70000,1,A,1,2,3\n", nullptr, kMsgStockCatalogDamaged},
        {"an offset over 31 bits", "1\n99999999999,5,1,A,1,2,3\n", nullptr,
         kMsgStockCatalogDamaged},
        {"an infinite focal length", "1\n0,5,1,A,inf,2,3\n", nullptr, kMsgStockCatalogDamaged},
        {"a focal length beyond a kilometre", "1\n0,5,1,A,2e6,2,3\n", nullptr,
         kMsgStockCatalogDamaged},
        {"a negative diameter", "1\n0,5,1,A,1,-2,3\n", nullptr, kMsgStockCatalogDamaged},
        {"a missing comma", "1\n0,5,1,A,1 2,3\n", nullptr, kMsgStockCatalogDamaged},
        {"a name without its comma", "1\n0,5,1,A", nullptr, kMsgStockCatalogDamaged},
        {"a vendor count below 0", "1\n0,5,1,A,1,2,3\n", "-1\n", kMsgStockCatalogDamaged},
        {"more vendors counted than there are", "1\n0,5,1,A,1,2,3\n", "2\n\"A\" \"Alpha\"\n",
         kMsgStockCatalogDamaged},
        {"a vendor code of nothing", "1\n0,5,1,A,1,2,3\n", "1\n\"  \" \"Alpha\"\n",
         kMsgStockCatalogDamaged},
        {"a vendor code with a character outside the digits", "1\n0,5,1,A,1,2,3\n",
         "1\n\"a~\" \"Alpha\"\n", kMsgStockCatalogDamaged},
        {"a sound catalogue", "1\n0,5,1,A,1,2,3\n", "1\n\"A\" \"Alpha\"\n", 0},
        {"a sound catalogue without vendors", "1\n 0 , 5 , 1 ,A, 1 , 2 , 3\n", nullptr, 0},
    };
    for (const auto& c : cases) {
        fs::remove(lmo() / "bad.nam");
        write("bad.dir", c.dir);
        write("bad.dat", "RD 50\n");
        if (c.nam != nullptr) write("bad.nam", c.nam);
        free_lens_catalog();
        EXPECT_EQ(read_lens_catalog("bad"), c.result) << c.what;
        EXPECT_EQ(stock_part_count(), c.result == 0 ? 1 : 0) << c.what;
        EXPECT_EQ(test_state_flag(kFlagCatalogueLoaded) != 0, c.result == 0) << c.what;
    }
    // A catalogue that is not there leaves the one loaded.
    EXPECT_EQ(read_lens_catalog("absent"), kMsgStockCatalogMissing);
    EXPECT_EQ(stock_part_count(), 1);
    free_lens_catalog();
    EXPECT_EQ(read_lens_catalog("../bin/lmo/bad"), kMsgStockCatalogMissing);
    EXPECT_EQ(open_catalog_parts(), kErrorTextReady);
    EXPECT_STREQ(error_text_buffer(), "The stock-lens catalogue cannot be opened");
    type("select_lens_catalog absent");
    EXPECT_NE(errors().find("The stock-lens catalogue absent cannot be opened"), std::string::npos);
}

TEST_F(StockLenses, TheSelectionFiltersSortsAndPicksTheNearestPart) {
    write_catalog("fix", {
                             {"P60", 1, "RD 60", 60.0, 25.0, 58.0},
                             {"P40", 1, "RD 40", 40.0, 12.0, 38.0},
                             {"P50 B", 1, "RD 50", 50.0, 31.0, 48.0},
                             {"p50a", 1, "RD 50", 50.0, 10.0, 48.0},
                             {"N50", 2, "RD -50", -50.0, 25.0, -52.0},
                             {"LONGNAMEXYZ", 1, "RD 90", 90.0, 25.0, 88.0},
                         });
    ASSERT_EQ(read_lens_catalog("fix"), 0);
    // Names: upper case, blanks dropped, at most nine characters.
    EXPECT_STREQ(stock_part(2)->name, "P50B");
    EXPECT_STREQ(stock_part(3)->name, "P50A");
    EXPECT_STREQ(stock_part(5)->name, "LONGNAMEX");
    EXPECT_EQ(stock_vendor_name("P50A"), "");  // no vendor file

    // Defaults: positive parts, focal length 50 +- 5000, diameter 20 +- 200, by focal length
    // then diameter; the nearest to the centres selected.
    filter_stock_parts();
    EXPECT_EQ(names_listed(),
              (std::vector<std::string>{"P40", "P50A", "P50B", "P60", "LONGNAMEX"}));
    EXPECT_STREQ(stock_part(stock_selection().selected)->name, "P50A");  // |10 - 20| < |31 - 20|
    EXPECT_EQ(stock_row_text(0), "   60.000");

    // Bounds are included: 50 +- 10 keeps 60 and 40.
    set_stock_field_value(kStockFieldEflRange, 10);
    EXPECT_EQ(names_listed(), (std::vector<std::string>{"P40", "P50A", "P50B", "P60"}));
    set_stock_field_value(kStockFieldEflRange, 9.999);
    EXPECT_EQ(names_listed(), (std::vector<std::string>{"P50A", "P50B"}));
    // A range typed negative is its size; a centre beyond 10000 is taken as 10000.
    set_stock_field_value(kStockFieldEflRange, -5);
    EXPECT_EQ(stock_selection().efl_range, 5000);
    set_stock_field_value(kStockFieldEfl, 20000);
    EXPECT_EQ(stock_selection().efl_centre, 10000000);
    EXPECT_TRUE(stock_rows().empty());
    EXPECT_EQ(stock_selection().selected, -1);
    set_stock_field_value(kStockFieldEfl, 50);
    set_stock_field_value(kStockFieldEflRange, 100);

    // By diameter, then focal length; the nearest by diameter first.
    set_stock_sort_mode(kStockSortDiameter);
    EXPECT_EQ(names_listed(),
              (std::vector<std::string>{"P50A", "P40", "P60", "LONGNAMEX", "P50B"}));
    // Diameter 25 is nearest 20; of the two, focal length 60 is nearer 50 than 90.
    EXPECT_STREQ(stock_part(stock_selection().selected)->name, "P60");
    EXPECT_EQ(stock_row_text(3), "  10.000");
    set_stock_sort_mode(kStockSortDirectory);
    EXPECT_EQ(names_listed(),
              (std::vector<std::string>{"P60", "P40", "P50B", "P50A", "LONGNAMEX"}));
    EXPECT_EQ(stock_row_text(0), "P60");

    // -50 lies 100 from the centre 50: inside a range of 100.
    set_stock_lens_type(kStockNegative);
    EXPECT_EQ(names_listed(), (std::vector<std::string>{"N50"}));
    EXPECT_STREQ(stock_part(stock_selection().selected)->name, "N50");

    // A part chosen by name brings its type, a window around it and the directory order.
    set_stock_field_value(kStockFieldDiameterRange, 1);
    ASSERT_EQ(choose_stock_part("longnamex"), 0);
    EXPECT_EQ(stock_selection().type, kStockPositive);
    EXPECT_EQ(stock_selection().sort, kStockSortDirectory);
    EXPECT_EQ(stock_selection().efl_centre, 50000);  // 90 lies inside 50 +- 100
    EXPECT_EQ(stock_selection().diameter_centre, 25000);
    EXPECT_EQ(names_listed(), (std::vector<std::string>{"P60", "LONGNAMEX"}));
    EXPECT_STREQ(stock_part(stock_selection().selected)->name, "LONGNAMEX");
    EXPECT_EQ(choose_stock_part("nothing"), kErrorTextReady);
    EXPECT_STREQ(error_text_buffer(), "There is no part NOTHING in the stock-lens catalogue");

    // Opening the catalogue that is loaded reads nothing and keeps the choices; another
    // catalogue starts from the defaults.
    fs::remove(lmo() / "fix.dir");
    EXPECT_EQ(read_lens_catalog("FIX"), 0);
    EXPECT_EQ(stock_selection().diameter_range, 1000);
    EXPECT_EQ(read_lens_catalog("generic"), 0);
    EXPECT_EQ(stock_selection().diameter_range, 200000);
    EXPECT_EQ(stock_selection().sort, kStockSortEfl);
}

TEST_F(StockLenses, VendorsAreFoundByTheLongestKnownPrefix) {
    write_catalog("ven", {{"EXA1", 1, "RD 50", 50, 25, 48}},
                  "3\n\"E\" \"Vendor E\"\n\"ex,\" \"Vendor EX\"\n \"QRSTUVW\" \"Vendor Q\"\n");
    ASSERT_EQ(read_lens_catalog("ven"), 0);
    const struct {
        const char* part;
        const char* vendor;
    } cases[] = {
        {"EXA1", "Vendor EX"}, {"EB2", "Vendor E"}, {"E", "Vendor E"}, {"QRSTU9", "Vendor Q"},
        {"QRST", ""},          {"A1", ""},          {"", ""}};
    for (const auto& c : cases) EXPECT_EQ(stock_vendor_name(c.part), c.vendor) << c.part;
    // Base 64 with '!' (33) as digit 1: "E" is 69 - 32 = 37, "EX" 37 * 64 + 56.
    EXPECT_EQ(stock_prefix_code("E", 1), 37);
    EXPECT_EQ(stock_prefix_code("ex", 2), 37 * 64 + 56);
    EXPECT_EQ(stock_prefix_code("E~", 2), -1);
}

TEST_F(StockLenses, ThePreviewTakesTheSurfacesOfThePartText) {
    const auto fields = stock_part_fields(" RD 50 ;NOT \"a;b\"; ;NXT");
    EXPECT_EQ(fields, (std::vector<std::string>{"RD 50", "NOT \"a;b\"", "NXT"}));
    const auto s = stock_part_surfaces(
        "RD 50;TH 5;GLA N-BK7;AP 10;NXT;RD -25;TH 1;GLF F2;NXT;"
        "AP 14;RD 0",
        25.0);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_DOUBLE_EQ(s[0].curvature, 0.02);
    EXPECT_DOUBLE_EQ(s[0].thickness, 5.0);
    EXPECT_TRUE(s[0].glass);
    // A glass surface and the next share the larger aperture: 10 and 12.5, then 12.5 and 14.
    EXPECT_DOUBLE_EQ(s[0].aperture, 12.5);
    EXPECT_DOUBLE_EQ(s[1].curvature, -0.04);
    EXPECT_TRUE(s[1].glass);
    EXPECT_DOUBLE_EQ(s[1].aperture, 14.0);
    EXPECT_DOUBLE_EQ(s[2].aperture, 14.0);
    EXPECT_EQ(s[2].curvature, 0.0);
    EXPECT_FALSE(s[2].glass);
}

TEST_F(StockLenses, InsertingMarksThePartAndRenamesOldGlassesOfEParts) {
    write_catalog(
        "ins",
        {
            {"EBAF", 1, "RD 40;TH 4;GLA BaF10;NXT;RD -40", 50, 20, 45},
            {"PBAF", 1, "RD 40;TH 4;GLA BaF10;NXT;RD -40", 50, 20, 45},
            {"ETRIP", 3, "RD 30;TH 4;GLA N-BK7;NXT;RD -30;TH 2;GLA N-SF5;NXT;RD -100", 60, 20, 55},
        });
    // The present name of the old glass, defined in the private catalogue (N-BAF10's
    // coefficients).
    type(
        "private_glass 0 2 \"BAFN10\" 1.5851495 0.143559385 1.08521269 0.00926681282 "
        "0.0424489805 105.613573");
    type("select_lens_catalog ins");
    ASSERT_EQ(lens_catalog_name(), "ins") << errors();
    const int image = lens_data().image_surface;

    type("stock_part ebaf");
    EXPECT_EQ(lens_data().image_surface, image + 2);
    EXPECT_STREQ(surface(1).medium_name, "BAFN10    ");
    ASSERT_NE(surface(1).note, nullptr);
    EXPECT_STREQ(surface(1).note, "Glass in catalog: BAF10");
    EXPECT_NE(output().find("Glass BAF10 of the catalogue is entered as BAFN10"), std::string::npos)
        << output();

    set_current_surface(1);
    type("stock_part pbaf");
    EXPECT_STREQ(surface(1).medium_name, "BAF10     ");
    EXPECT_TRUE(surface(1).note == nullptr || surface(1).note[0] == '\0');

    // Three surfaces: fixed curvatures and apertures on all, fixed thicknesses and media on the
    // first two, and the group closed at the third.
    set_current_surface(1);
    type("stock_part etrip");
    EXPECT_EQ(lens_data().image_surface, image + 7);
    for (int s = 1; s <= 3; ++s) {
        EXPECT_EQ(surface(s).curvature_kind, kCurvatureFixed) << s;
        EXPECT_EQ(surface(s).aperture_kind, kApertureFixedByGroup) << s;
        EXPECT_DOUBLE_EQ(surface(s).aperture_radius, 10.0) << s;
        EXPECT_EQ(surface(s).thickness_kind == kThicknessFixed, s < 3) << s;
    }
    EXPECT_EQ(surface(1).medium_kind, kMediumGlassFixed);
    EXPECT_EQ(surface(2).medium_kind, kMediumGlassFixed);
    EXPECT_NE(surface(3).medium_kind, kMediumGlassFixed);
    // A cemented part is an element group from its first surface to its last.
    for (int s = 1; s <= 3; ++s) EXPECT_EQ(surface(s).group_kind, kGroupElementGroup) << s;
    EXPECT_EQ(surface(1).group_role, kRoleFirst);
    EXPECT_EQ(surface(2).group_role, kRoleInner);
    EXPECT_EQ(surface(3).group_role, kRoleLast);
    // Behind it the singlet inserted before keeps its own element.
    EXPECT_EQ(surface(4).group_kind, kGroupElement);
    EXPECT_EQ(surface(4).group_role, kRoleFirst);
    EXPECT_EQ(surface(5).group_role, kRoleLast);
}

TEST_F(StockLenses, APartWithMoreThanLensDataInsertsNothing) {
    const char* hostile[] = {
        "RD 50;exit;NXT",
        "RD exit",
        "RD 50;TH 5;set_setting 17 0 0 0 0 250",
        "RD 50;TH sqrt(4)",
        "NOT note;RD 5",
        "NOT \"a\" + b",
        "GLA N-BK7;TH 5 ; RD 1=2",
        "GLA {x}",
        "RD 5;END",
        "LEN NEW",
    };
    std::vector<FixturePart> parts;
    std::vector<std::string> names;
    for (std::size_t k = 0; k < std::size(hostile); ++k) names.push_back("H" + std::to_string(k));
    for (std::size_t k = 0; k < std::size(hostile); ++k) {
        parts.push_back({names[k].c_str(), 1, hostile[k], 50, 20, 45});
    }
    write_catalog("hostile", parts);
    type("select_lens_catalog hostile");
    ASSERT_EQ(stock_part_count(), static_cast<int>(std::size(hostile))) << errors();
    const int image = lens_data().image_surface;
    const int pen = get_setting_int(kSetGraphicsPenWidth, 0, 0);
    for (std::size_t k = 0; k < std::size(hostile); ++k) {
        type("stock_part " + names[k]);
        EXPECT_EQ(lens_data().image_surface, image) << hostile[k];
        EXPECT_NE(errors().find("Part " + names[k] + " of the stock-lens catalogue holds a field"),
                  std::string::npos)
            << hostile[k] << errors();
    }
    EXPECT_EQ(get_setting_int(kSetGraphicsPenWidth, 0, 0), pen);

    // A part's name is only its name, whatever it holds.
    write_catalog("named", {{"Q;EXIT", 1, "RD 50;TH 3;GLA N-BK7;NXT", 50, 20, 45}});
    type("select_lens_catalog named");
    type("stock_part \"q;exit\"");
    EXPECT_EQ(lens_data().image_surface, image + 2) << errors();
    EXPECT_EQ(std::string(surface(1).group_label).rfind("Q;EXIT", 0), 0u) << surface(1).group_label;
}

TEST_F(StockLenses, APartTheLensHasNoRoomForIsNotInserted) {
    write_catalog("room",
                  {{"T3", 3, "RD 30;TH 4;GLA N-BK7;NXT;RD -30;TH 2;GLA N-SF5;NXT", 60, 20, 55}});
    type("select_lens_catalog room");
    static int settled = 0;
    settled = 0;
    set_stock_part_inserted_hook([] { ++settled; });
    const int limit = get_setting_int(kSetSurfaceLimit, 0, 0);
    lens_data().image_surface = limit - 2;
    type("stock_part t3");
    EXPECT_EQ(lens_data().image_surface, limit - 2);
    EXPECT_NE(
        errors().find("The lens cannot hold more than " + std::to_string(limit) + " surfaces"),
        std::string::npos)
        << errors();
    EXPECT_FALSE(catalog_parts_open());
    // Only a part that went in has a first-order request to settle.
    EXPECT_EQ(settled, 0);
    lens_data().image_surface = 1;
    type("stock_part t3");
    EXPECT_EQ(lens_data().image_surface, 4) << errors();
    EXPECT_EQ(settled, 1);
    set_stock_part_inserted_hook(nullptr);
}

}  // namespace
