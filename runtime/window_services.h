// What the run time asks of the window code: text windows, printing and copying their text, and
// the fonts. The window code lies above the run time; app/ installs these.
// Unset services do nothing and return 0.
#pragma once

struct WindowServices {
    int (*textwin_close)(int window) = nullptr;
    int (*textwin_select)(int window, int columns, int lines) = nullptr;
    void (*textwin_clear)() = nullptr;
    void (*activate_window)(int window) = nullptr;
    int (*copy_text_to_clipboard)(int window) = nullptr;
    int (*print_text_window)(int window, int to_file, int ask, const char* file_name) = nullptr;
    int (*choose_fonts)() = nullptr;
    // The current graphics window's picture onto the clipboard.
    int (*copy_graphics_to_clipboard)() = nullptr;
    void (*arrange_icons)() = nullptr;
    // Hiding and showing the edit window.
    int (*editwin_close)() = nullptr;
    int (*editwin_show)() = nullptr;
};

void set_window_services(const WindowServices& services);
const WindowServices& window_services();
