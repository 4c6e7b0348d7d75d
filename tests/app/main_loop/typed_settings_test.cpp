// Settings typed by name with only their own index and value, and the refusal of a value a
// setting cannot take: one message naming the setting and what it takes, the setting unchanged.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "lens/lens_data.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

using loop_test::Loop;

// A setting element as text, whatever its type: the flag as 0 or 1, numbers as "%g".
std::string typed_setting_value(int id, int i, int j) {
    const SettingDef* d = setting_def(id);
    if (d == nullptr) return "?";
    char text[64];
    if (d->type == kSettingInt) {
        std::snprintf(text, sizeof text, "%d", get_setting_int(id, i, j));
        return text;
    }
    if (d->type == kSettingDouble) {
        std::snprintf(text, sizeof text, "%g", get_setting_double(id, i, j));
        return text;
    }
    if (d->dim1 == 0) return std::to_string(get_setting_flag(id));
    const char* t = get_setting_text(id, i);
    return t != nullptr ? t : "";
}

void put_typed_setting_value(int id, int i, int j, const std::string& value) {
    const SettingDef* d = setting_def(id);
    ASSERT_NE(d, nullptr);
    if (d->type == kSettingInt) {
        ASSERT_EQ(set_setting_int(id, std::stoi(value), i, j), 0);
    } else if (d->type == kSettingDouble) {
        ASSERT_EQ(set_setting_double(id, std::stod(value), i, j), 0);
    } else if (d->dim1 == 0) {
        ASSERT_EQ(set_setting_flag(id, static_cast<std::uint8_t>(std::stoi(value))), 0);
    } else {
        ASSERT_EQ(set_setting_text(id, value.c_str(), i), 0);
    }
}

struct TypedSettingCase {
    const char* line;
    int id;
    int i;
    int j;
    const char* before;
    const char* after;
    const char* message;  // a part of the error shown, or null when none may be shown
};

TEST_F(Loop, ASettingTypedByNameTakesItsOwnValueOrIsRefusedByName) {
    const TypedSettingCase cases[] = {
        // A flag: a number or an option word, nothing else.
        {"set_setting Graphics_axes 1", kSetGraphicsAxes, 0, 0, "0", "1", nullptr},
        {"set_setting Graphics_axes On", kSetGraphicsAxes, 0, 0, "0", "1", nullptr},
        {"set_setting Graphics_axes off", kSetGraphicsAxes, 0, 0, "1", "0", nullptr},
        {"set_setting Qr_mtf On", kSetQrMtf, 0, 0, "0", "1", nullptr},
        // Any value other than 0 switches it on.
        {"set_setting Graphics_axes 2", kSetGraphicsAxes, 0, 0, "0", "1", nullptr},
        {"set_setting Graphics_axes", kSetGraphicsAxes, 0, 0, "1", "1",
         "Graphics axes is a switch: it takes On or Off (1 or 0)"},
        // By number the value still has its own argument: a value elsewhere is refused.
        {"set_setting 30 1", kSetGraphicsAxes, 0, 0, "0", "0",
         "Graphics axes is a switch: it takes On or Off (1 or 0)"},
        {"set_setting 30 0 0 0 0 0 \"\" 1", kSetGraphicsAxes, 0, 0, "0", "1", nullptr},
        // Named, the setting also takes every cell in its place, as its help shows them.
        {"set_setting Graphics_labels 0 0 0 0 0 \"\" Off", kSetGraphicsLabels, 0, 0, "1", "0",
         nullptr},
        {"set_setting Graphics_labels 0 0 0 0 0 \"\" 5", kSetGraphicsLabels, 0, 0, "0", "1",
         nullptr},
        {"set_setting Window_geometry 2 3 0 0 120 \"\" 0", kSetWindowGeometry, 2, 3, "0", "120",
         nullptr},
        {"set_setting Designer 0 0 0 0 0 Ann", kSetDesigner, 0, 0, "Bo", "Ann", nullptr},
        {"set_setting Qr_mtf 0 0 0 0 1", kSetQrMtf, 0, 0, "0", "0",
         "Qr mtf is a switch: it takes On or Off (1 or 0)"},
        {"set_setting Qr_mtf On 1", kSetQrMtf, 0, 0, "0", "0", "Too many"},
        // Whole numbers, a scalar and one by row and column.
        {"set_setting Graphics_pen_width 40", kSetGraphicsPenWidth, 0, 0, "3", "40", nullptr},
        {"set_setting Graphics_pen_width", kSetGraphicsPenWidth, 0, 0, "3", "3",
         "Graphics pen width takes a whole number"},
        {"set_setting Window_geometry 2 3 100", kSetWindowGeometry, 2, 3, "0", "100", nullptr},
        {"set_setting Window_geometry 17 0 100", kSetWindowGeometry, 2, 3, "0", "0",
         "Window geometry takes a row from 0 to 16 and a column from 0 to 3, then a whole number"},
        // Numbers, a scalar and one by index.
        {"set_setting Graphics_scale 0.25", kSetGraphicsScale, 0, 0, "0", "0.25", nullptr},
        {"set_setting Wavelength_default 1 0.5", kSetWavelengthDefaults, 1, 0, "0.6", "0.5",
         nullptr},
        {"set_setting Wavelength_default 2", kSetWavelengthDefaults, 2, 0, "0.6", "0.6",
         "Wavelength default takes an index from 0 to 2, then a number"},
        {"set_setting Wavelength_default 0.5", kSetWavelengthDefaults, 0, 0, "0.6", "0.6",
         "index: A whole number is needed here"},
        {"set_setting Wavelength_default 3 0.5", kSetWavelengthDefaults, 1, 0, "0.6", "0.6",
         "Wavelength default takes an index from 0 to 2, then a number"},
        // A text.
        {"set_setting Designer Ann", kSetDesigner, 0, 0, "Bo", "Ann", nullptr},
        {"set_setting Designer ABCDEFGHIJKL", kSetDesigner, 0, 0, "Bo", "Bo",
         "Designer takes a text of at most 10 characters"},
    };
    for (const TypedSettingCase& c : cases) {
        put_typed_setting_value(c.id, c.i, c.j, c.before);
        const std::size_t shown = errors().size();
        type(c.line);
        const std::string error = errors().substr(shown);
        EXPECT_EQ(typed_setting_value(c.id, c.i, c.j), c.after) << c.line << "\n" << error;
        if (c.message == nullptr) {
            EXPECT_EQ(error, "") << c.line;
        } else {
            EXPECT_NE(error.find(c.message), std::string::npos) << c.line << "\n" << error;
        }
    }
    set_setting_flag(kSetGraphicsAxes, 0);
    set_setting_flag(kSetGraphicsLabels, 0);
    set_setting_flag(kSetQrMtf, 0);
}

TEST_F(Loop, AWordThatIsNoChoiceIsRefusedWithTheChoicesAndALensEntryWordSetsItsValue) {
    struct WordCase {
        const char* line;
        const char* message;
    };
    const WordCase cases[] = {
        {"raim On", "On is not one of the choices: Enp, Crr, Rrr, Wrm, Xrm, Tel"},
        {"set_setting Qr_mtf yes", "yes is not one of the choices: Off, On"},
    };
    for (const WordCase& c : cases) {
        const std::size_t shown = errors().size();
        type(c.line);
        EXPECT_NE(errors().find(c.message, shown), std::string::npos) << c.line << "\n"
                                                                      << errors().substr(shown);
    }
    EXPECT_EQ(get_setting_flag(kSetQrMtf), 0);

    // At the top level SDMS is the variable that reads the value; with a value it sets it.
    const std::size_t shown = errors().size();
    type("sdms 0.01");
    EXPECT_EQ(errors().substr(shown), "");
    ASSERT_NE(lens_data().spot_settings, nullptr);
    EXPECT_DOUBLE_EQ(lens_data().spot_settings->mtf_path_limit, 0.01);
    type("sdms DEF");
    EXPECT_DOUBLE_EQ(lens_data().spot_settings->mtf_path_limit, 1000.0);
}

TEST_F(Loop, ASettingShownByNameTakesOnlyItsOwnIndices) {
    set_setting_double(kSetWavelengthDefaults, 0.5, 1, 0);
    type("show_setting Wavelength_default 1");
    EXPECT_EQ(ui().status_text(),
              std::string("Wavelength default[1] = ") + format_number(0.5, 2, 0));
    set_setting_int(kSetWindowGeometry, 77, 2, 3);
    type("show_setting Window_geometry 2 3");
    EXPECT_EQ(ui().status_text(), "Window geometry[2][3] = 77");
}

}  // namespace

namespace {

// The three lens-text commands hand their text to the command language by name.
TEST_F(Loop, LensTextsAreReadByTheirVariableNames) {
    const char* const entry[] = {"LEN NEW",   "SNO2 \"the second note\"", "SRF 1",
                                 "GLA N-BK7", "NOT \"front face\"",       "END"};
    for (const char* line : entry) type(line);
    const struct {
        const char* line;
        const char* printed;
    } cases[] = {
        {"glass_name 1; printf \"[%s]\\n\", glass_text", "[N-BK7     ]\n"},
        {"surface_note 1; printf \"[%s]\\n\", surface_note_text", "[front face]\n"},
        {"lens_note_line 2; printf \"[%s]\\n\", lens_note_text", "[the second note]\n"},
        {"surface_note 0; printf \"[%s]\\n\", surface_note_text", "[]\n"},
    };
    for (const auto& c : cases) {
        const std::size_t shown = output().size();
        const std::size_t refused = errors().size();
        type(c.line);
        EXPECT_EQ(errors().substr(refused), "") << c.line;
        EXPECT_NE(output().find(c.printed, shown), std::string::npos) << c.line << "\n"
                                                                      << output().substr(shown);
    }
}

}  // namespace
