// The built-in commands that read and change settings.
#pragma once

inline constexpr int kCommandSetSetting = 185;
inline constexpr int kMsgSettingRefused = -250;
inline constexpr int kMsgShowSetting = -261;
inline constexpr int kMsgSettingType = -264;
inline constexpr int kMsgTestGlassesLoaded = -329;
// What a setting takes, for a set command that gives it no value, or one it cannot hold.
inline constexpr int kMsgSettingTakesSwitch = -251;
inline constexpr int kMsgSettingTakesInt = -254;
inline constexpr int kMsgSettingTakesDouble = -258;
inline constexpr int kMsgSettingTakesText = -269;
inline constexpr int kMsgSettingTakesIndexedInt = -248;
inline constexpr int kMsgSettingTakesIndexedDouble = -249;
inline constexpr int kMsgSettingTakesRowColumnInt = -247;

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
