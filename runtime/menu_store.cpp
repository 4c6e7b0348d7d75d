#include "runtime/menu_store.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "numeric/memory.h"
#include "platform/ui.h"
#include "runtime/definitions.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/table_files.h"
#include "runtime/table_lists.h"

namespace {

struct MenuItem {
    int command = 0;
    int menu = 0;
    int condition = kNoCondition;
    int position = 0;
    int enabled = 1;
};

struct MenuSlot {
    long offset = -1;  // where its text is in the area
    int item = -1;
};

struct MenuStore {
    char* area = nullptr;
    std::size_t size = 0;
    std::size_t fill = 0;
    MenuSlot slots[kMenuTextSlots];
    MenuItem items[kMenuItemLimit];
    int count = 0;
    int walk = 0;  // the item next_menu_item_state gives next
};

struct ToolbarItem {
    bool registered = false;
    std::string text;
    int control = kNoControl;
    int condition = kNoCondition;
    int enabled = 0;
    int key = 0;
};

// One text block of a tool strip: item texts in the first part, second texts in the second.
// Blocks of earlier strips stay, because their texts are still shown.
struct ToolbarBlock {
    std::unique_ptr<char[]> bytes;
    std::size_t first_size = 0;
    std::size_t second_size = 0;
    std::size_t first_fill = 0;
    std::size_t second_fill = 0;
};

struct ToolbarStore {
    std::vector<ToolbarBlock> blocks;
    bool registering = false;
    ToolbarItem items[kToolbarItemLimit];
    int count = 0;  // one past the highest registered item
};

// The menus and toolbar items built from the tables, the command-line submitter installed at
// start, and the empty text handed out for an item without one.
struct MenuStoreState {
    MenuStore menus;
    ToolbarStore toolbar;
    CommandLineSubmitter submitter = nullptr;
    char empty_text[1] = "";
};

MenuStoreState g_store;

bool known_condition(int condition) {
    return condition != kNoCondition;
}

int evaluate(int condition) {
    return check_enable_condition(condition) == 0 ? 1 : 0;
}

// Copies text into [start + fill, start + capacity) when it fits with its terminator.
const char* copy_text(char* start, std::size_t capacity, std::size_t& fill, const char* text) {
    const std::size_t n = std::strlen(text) + 1;
    if (start == nullptr || fill + n > capacity) return nullptr;
    char* stored = start + fill;
    std::memcpy(stored, text, n);
    fill += n;
    return stored;
}

}  // namespace

// --- menus ----------------------------------------------------------------------------------

int reset_menu_store() {
    const std::size_t wanted = menu_text_size();
    if (wanted > g_store.menus.size) {
        void* grown = mem_realloc(g_store.menus.area, wanted, 1);
        if (grown == nullptr) {
            report_table_error(kMsgOutOfMemory, "");
            g_store.menus.fill = 0;
            for (MenuSlot& s : g_store.menus.slots) s = MenuSlot{};
            g_store.menus.count = 0;
            g_store.menus.walk = 0;
            return kMsgOutOfMemory;
        }
        g_store.menus.area = static_cast<char*>(grown);
        g_store.menus.size = wanted;
    }
    g_store.menus.fill = 0;
    for (MenuSlot& s : g_store.menus.slots) s = MenuSlot{};
    g_store.menus.count = 0;
    g_store.menus.walk = 0;
    return 0;
}

const char* add_menu_item_text(int command, int menu, int position, int slot, const char* text) {
    if (text == nullptr) text = "";
    if (menu_text_size() == 0 || g_store.menus.area == nullptr) return g_store.empty_text;
    const std::size_t capacity = std::min(g_store.menus.size, menu_text_size());
    const char* stored = copy_text(g_store.menus.area, capacity, g_store.menus.fill, text);
    if (stored == nullptr) return g_store.empty_text;  // the area is full: the text is not kept
    const bool in_slot = slot >= 0 && slot < kMenuTextSlots;
    if (in_slot) g_store.menus.slots[slot] = MenuSlot{stored - g_store.menus.area, -1};
    if (command != 0 && g_store.menus.count < kMenuItemLimit) {
        // Only an item that can change its state needs the walk.
        const int condition = symbol_enable_condition(stored);
        if (known_condition(condition)) {
            g_store.menus.items[g_store.menus.count] =
                MenuItem{command, menu, condition, position, 1};
            if (in_slot) g_store.menus.slots[slot].item = g_store.menus.count;
            ++g_store.menus.count;
        }
    }
    return stored;
}

int next_menu_item_state(int* old_state, int* new_state, int* position, int* menu) {
    if (g_store.menus.walk >= g_store.menus.count) {
        g_store.menus.walk = 0;
        return 0;
    }
    MenuItem& item = g_store.menus.items[g_store.menus.walk++];
    const int now = evaluate(item.condition);
    if (old_state != nullptr) *old_state = item.enabled;
    if (new_state != nullptr) *new_state = now;
    if (position != nullptr) *position = item.position;
    if (menu != nullptr) *menu = item.menu;
    item.enabled = now;
    return item.command;
}

int menu_item_count() {
    return g_store.menus.count;
}

const char* menu_slot_text(int slot) {
    if (slot < 0 || slot >= kMenuTextSlots || g_store.menus.slots[slot].offset < 0) return nullptr;
    return g_store.menus.area + g_store.menus.slots[slot].offset;
}

int menu_slot_item(int slot) {
    if (slot < 0 || slot >= kMenuTextSlots) return -1;
    return g_store.menus.slots[slot].item;
}

int lookup_symbol(const char* text) {
    if (text == nullptr) return -1;
    while (*text == ' ') ++text;
    const auto letter = [](char c) {
        return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_';
    };
    if (!letter(*text)) return -1;
    char name[kSymbolLookupLimit + 1];
    std::size_t n = 0;
    for (; letter(text[n]) || std::isdigit(static_cast<unsigned char>(text[n])); ++n) {
        if (n >= kSymbolLookupLimit) return -1;
        name[n] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[n])));
    }
    name[n] = '\0';
    const Definitions& d = definitions();
    return d.names != nullptr ? find_name(d.names, name) : -1;
}

int symbol_enable_condition(const char* text) {
    const int symbol = lookup_symbol(text);
    if (symbol < 0) return kNoCondition;
    const Definitions& d = definitions();
    if (symbol < kUserSymbolBase) {
        if (d.commands == nullptr || symbol >= d.command_count) return kNoCondition;
        return d.commands[symbol].enable_condition;
    }
    const int q = symbol - kUserSymbolBase;
    if (d.procedures == nullptr || q >= d.procedure_count) return kNoCondition;
    return d.procedures[q].enable_condition;
}

// --- tool strips ----------------------------------------------------------------------------

const char* toolbar_text_store(int item, int a, int b, int control, const char* text) {
    if (item < 0) {
        if (a < 0 || b < 0) return g_store.empty_text;
        ToolbarBlock block;
        const std::size_t total = static_cast<std::size_t>(a) + static_cast<std::size_t>(b);
        block.bytes.reset(new (std::nothrow) char[total + 1]);
        if (block.bytes == nullptr) {
            report_table_error(kMsgOutOfMemory, "");
            g_store.toolbar.registering = false;
            return g_store.empty_text;
        }
        block.first_size = static_cast<std::size_t>(a);
        block.second_size = static_cast<std::size_t>(b);
        g_store.toolbar.blocks.push_back(std::move(block));
        g_store.toolbar.registering = item == -1;
        return g_store.empty_text;
    }
    if (text == nullptr) text = "";
    if (g_store.toolbar.blocks.empty()) return g_store.empty_text;
    ToolbarBlock& block = g_store.toolbar.blocks.back();
    if (a == 0) {
        const char* stored = copy_text(block.bytes.get() + block.first_size, block.second_size,
                                       block.second_fill, text);
        return stored != nullptr ? stored : g_store.empty_text;
    }
    const char* stored = copy_text(block.bytes.get(), block.first_size, block.first_fill, text);
    if (stored == nullptr) return g_store.empty_text;
    if (g_store.toolbar.registering && item < kToolbarItemLimit) {
        ToolbarItem& t = g_store.toolbar.items[item];
        t.registered = true;
        t.text = stored;
        t.control = control;
        t.key = b;
        t.condition = symbol_enable_condition(stored);
        t.enabled = 0;
        if (item >= g_store.toolbar.count) g_store.toolbar.count = item + 1;
    }
    return stored;
}

int toolbar_item_state_changed(int item, int* enabled) {
    if (item < 0 || item >= g_store.toolbar.count || !g_store.toolbar.items[item].registered)
        return kNoControl;
    ToolbarItem& t = g_store.toolbar.items[item];
    const int now = evaluate(t.condition);
    if (enabled != nullptr) *enabled = now;
    if (now == t.enabled) return kNoControl;
    t.enabled = now;
    return t.control;
}

void run_toolbar_key(int key) {
    for (int i = 0; key != 0 && i < g_store.toolbar.count; ++i) {
        const ToolbarItem& t = g_store.toolbar.items[i];
        if (!t.registered || t.key != key) continue;
        if (t.enabled == 0) break;
        const std::string line = t.text;  // the submitter may rebuild the strip
        if (g_store.submitter != nullptr) {
            g_store.submitter(line.c_str());
        } else {
            const int r = run_command_string(line.c_str(), 0);
            if (r != 0) show_error(r);
        }
        return;
    }
    if (platform::UiBackend* ui = platform::current_ui()) ui->beep();
}

int toolbar_item_count() {
    return g_store.toolbar.count;
}

void set_command_line_submitter(CommandLineSubmitter s) {
    g_store.submitter = s;
}

void free_menu_store() {
    mem_free(g_store.menus.area);
    g_store.menus = MenuStore{};
    g_store.toolbar = ToolbarStore{};
}
