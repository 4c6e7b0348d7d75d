// The settings store for the dispatch tests (see settings_bridge.cpp).
#pragma once

int bridge_settings_layout();
int bridge_set_lens_file(const char* path);
void* bridge_settings_item_address(int id, int* type_out);
void bridge_settings_release();
