// The forms of the program's own commands: each opens from its menu item or as its command
// alone, shows its fields, reads them from typed lines and runs what it composes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "lens/lens_data.h"
#include "runtime/command_history.h"
#include "runtime/command_levels.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "ui/menus.h"

namespace {

using loop_test::Loop;

class ProgramForms : public Loop {
protected:
    // Opens a form as a menu item does, or by the menu itself when it has the command; true
    // when a form level stands.
    bool open_form(const std::string& command) {
        int id = 0;
        for (int n = 1; n <= menu_command_count(); ++n) {
            if (command == menu_command_text(n)) id = n;
        }
        if (id != 0) {
            EXPECT_TRUE(ui().choose_menu_command(platform::kWindowFrame, id)) << command;
        } else {
            submit_command_line(command.c_str());
        }
        for (int k = 0; k < 4 && level_count() == 0; ++k) main_loop_pass(false);
        return level_count() == 1;
    }
    // OK: the form closes and the line it composed runs.
    void accept() {
        accept_command_level();
        for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
        main_loop_pass(false);
    }
    std::string last_history() const {
        return history_count() > 0 ? history_line(history_count() - 1) : "";
    }
};

TEST_F(ProgramForms, EveryFormOpensWithItsFields) {
    const struct {
        const char* command;
        std::vector<const char*> shown;
    } cases[] = {
        {"new_lens", {"New lens", "Kind", "Surfaces", "Focal length", "Numerical aperture"}},
        {"new_perfect_lens", {"New perfect lens", "Magnification", "Numerical aperture"}},
        {"new_lens_value", {"New lens by its first-order value", "First-order value"}},
        {"insert_file", {"Insert a lens file", "File name", "Before surface"}},
        {"delete_file", {"Delete a file", "File type", "File name"}},
        {"draw_lens", {"Lens drawing", "View", "Object length", "Scale (0 automatic)"}},
        {"set_setting", {"Set a setting", "Setting", "Number value", "Switch value"}},
        {"private_glass_form", {"Private glass", "Glass name", "Formula", "a6", "TCE"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const std::size_t shown = output().size();
        ASSERT_TRUE(open_form(c.command)) << errors();
        const std::string form = output().substr(shown);
        for (const char* text : c.shown) {
            EXPECT_NE(form.find(text), std::string::npos) << text << "\n" << form;
        }
        while (level_count() > 0) pop_command_level(false);
    }
}

TEST_F(ProgramForms, TheNewLensFormMakesTheLensItsFieldsDescribe) {
    ASSERT_TRUE(open_form("new_lens")) << errors();
    for (const char* field : {"0 formlens", "1 0", "2 4"}) type(field);
    accept();  // the new lens's surface sheet follows
    EXPECT_EQ(last_history().rfind("new_lens \"formlens\" 0 4", 0), 0u) << last_history();
    EXPECT_EQ(lens_data().image_surface, 5) << errors();
}

TEST_F(ProgramForms, ThePrivateGlassFormRecordsTheEditItRan) {
    ASSERT_TRUE(open_form("private_glass_form")) << errors();
    for (const char* field : {"0 0", "1 formglass", "2 1", "3 1.5", "4 1.51", "5 1.49"}) {
        type(field);
    }
    accept();
    EXPECT_EQ(last_history().rfind("private_glass 0 1 ", 0), 0u) << last_history();
    EXPECT_NE(output().find("FORMGLASS"), std::string::npos) << output();
}

}  // namespace
