// The settings store seen from the dispatch tests. Kept in a file of its own because the
// settings header and the table-format header each name the program version.
#include "tests/runtime/dispatch/settings_bridge.h"

#include "runtime/settings.h"

int bridge_settings_layout() {
    return settings_layout();
}

int bridge_set_lens_file(const char* path) {
    return set_setting_text(kSetLensFile, path, 0);
}

void* bridge_settings_item_address(int id, int* type_out) {
    return settings_item_address(id, type_out);
}

void bridge_settings_release() {
    settings_release();
}
