// The built-in commands that read and change settings.
#pragma once

#include "tables/table_names.h"

// The number of test glasses read from Test_glass_file (the glass catalogues install it): a
// change of the file that loads glasses is shown with message -329.
using TestGlassCount = int (*)();
void set_test_glass_count(TestGlassCount count);

// Installs the handlers into their slots.
void install_settings_commands();

int cmd_set_setting();
int cmd_show_setting();
int cmd_get_setting_double();
int cmd_get_setting_int();
int cmd_get_setting_flag();

// The text cmd_show_setting shows for the current command's cells ("name[i][j] = value").
// 0 or a message number.
int compose_setting_text(char* out, int size);
