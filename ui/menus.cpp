#include "ui/menus.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/state_reset.h"
#include "runtime/dispatch.h"
#include "runtime/menu_store.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/table_lists.h"
#include "runtime/table_messages.h"

namespace {

struct CommandItem {
    std::string text;
    int popup = 0;  // the popup it counts toward for greying
};

struct RecentSlot {
    std::string text;
    std::string name;  // the file the slot opens; empty: none
    int id = 0;
};

// The place of a menu where the open windows are listed: the items after `first` in `menu`,
// each running `command` with its window number.
struct WindowListSlot {
    int menu = 0;
    int first = 0;  // entries of the menu before the listed windows
    std::string command;
    std::vector<int> windows;  // the listed windows, in item order
    std::vector<std::string> titles;
};

struct MenuState {
    std::vector<CommandItem> items;  // identifier i + 1
    int first_second_item = -1;
    std::vector<PopupRecord> popups;
    int bar_popups = 0;
    int named_popup = -1;
    std::vector<Accelerator> main_accel;
    std::vector<Accelerator> second_accel;
    RecentSlot recent[kRecentFileSlots];
    // The recent-file settings as last seen by the idle pass.
    std::string recent_settings[kRecentFileSlots];
    int recent_count = 0;
    int main_menu = 0;
    int second_menu = 0;
    int last_mode = -1;
    bool full_update = true;
    bool building_second = false;
    WindowListSlot window_list;
    void (*submit)(const char*) = nullptr;
};

MenuState g;

platform::UiBackend* ui_or_null() {
    return platform::current_ui();
}

// The label of an entry as the menu shows it, with the accelerator it names (key 0: none).
struct Label {
    std::string text;
    bool separator = false;
    char accel_key = 0;
    bool accel_shift = false;
};

Label parse_label(const std::string& raw, bool in_popup, bool is_popup_action) {
    Label label;
    std::string s = raw;
    if (in_popup && s.size() > 1 && s[0] == '-') {
        label.separator = true;
        s.erase(0, 1);
    }
    if (s.size() > 2 && s[1] == ',') {
        const char mnemonic = s[0];
        s.erase(0, 2);
        const std::size_t at = s.find(mnemonic);
        if (at != std::string::npos) s.insert(at, "&");
    }
    const std::size_t open = s.find('[');
    if (open != std::string::npos) {
        const std::size_t close = s.find(']', open + 1);
        if (close != std::string::npos) {
            const std::string bracket = s.substr(open + 1, close - open - 1);
            s.erase(open);
            const bool accel = !is_popup_action && !bracket.empty() &&
                               (bracket[0] == 'C' || bracket[0] == 'S' || bracket[0] == '^') &&
                               bracket.back() >= 'A' && bracket.back() <= 'Z';
            if (accel) {
                label.accel_key = bracket.back();
                label.accel_shift = bracket[0] == 'S';
                s += std::string("\t") + (label.accel_shift ? "Ctrl+Shift+" : "Ctrl+") +
                     label.accel_key;
            }
        }
    }
    label.text = s;
    return label;
}

std::string plain_label(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\t') break;
        if (c != '&') out += c;
    }
    return out;
}

// An empty recent-file slot says so instead of showing a bare digit.
std::string recent_label(const std::string& text, int k) {
    if (text.size() >= 4) return text;
    char shown[128];
    std::snprintf(shown, sizeof shown, "&%s", msg_text(kMsgRecentFileEmpty));
    std::string label = shown;
    const std::size_t at = label.find("%d");
    if (at != std::string::npos) label.replace(at, 2, std::to_string(k + 1));
    return label;
}

// The windows a user can bring forward: every shown window but the frame and the list window.
void list_open_windows(std::vector<int>& windows, std::vector<std::string>& titles) {
    platform::UiBackend* ui = ui_or_null();
    for (int n = 1; n < platform::kWindowCount; ++n) {
        if (n == platform::kWindowList || !ui->window_exists(n) || !ui->window_visible(n)) {
            continue;
        }
        std::string title = ui->shown_title(n);
        if (title.find_first_not_of(' ') == std::string::npos)
            title = "Window " + std::to_string(n);
        windows.push_back(n);
        titles.push_back(title);
    }
}

// The Window menu's list of open windows follows the windows shown; items get identifiers
// above every command item, so they never clash with a list's own items.
void refresh_window_list() {
    platform::UiBackend* ui = ui_or_null();
    WindowListSlot& slot = g.window_list;
    if (slot.menu == 0 || ui->menu_entries(slot.menu) == nullptr) return;
    std::vector<int> windows;
    std::vector<std::string> titles;
    list_open_windows(windows, titles);
    if (windows == slot.windows && titles == slot.titles) return;
    ui->truncate_menu(slot.menu, slot.first);
    for (std::size_t k = 0; k < windows.size(); ++k) {
        std::string label = titles[k];
        // An "&" of a title is no mnemonic; the first nine get their digit as one.
        for (std::size_t at = label.find('&'); at != std::string::npos;
             at = label.find('&', at + 2)) {
            label.insert(at, "&");
        }
        if (k < 9) label = "&" + std::to_string(k + 1) + " " + label;
        ui->append_menu_command(slot.menu, kWindowListFirstId + static_cast<int>(k), label);
    }
    slot.windows = std::move(windows);
    slot.titles = std::move(titles);
}

struct PendingPopup {
    int index;  // in g.popups, or -1 when not tracked
    int menu;
    std::string list;
};

void fill_menu(int menu, const std::string& list_name, int parent, bool on_bar);

void fill_from_list(int menu, int list, int parent, bool on_bar) {
    platform::UiBackend* ui = ui_or_null();
    select_list(list);
    const int count = current_list_count();
    if (parent >= 0 && parent < static_cast<int>(g.popups.size())) {
        g.popups[static_cast<std::size_t>(parent)].entries = count;
    }
    // The entries are copied first: filling a popup selects its own list.
    std::vector<std::pair<std::string, std::string>> entries;
    for (int k = 0; k < count; ++k) {
        const char* first = current_list_first(k);
        const char* second = current_list_second(k);
        entries.emplace_back(first != nullptr ? first : "", second != nullptr ? second : "");
    }
    std::vector<PendingPopup> pending;
    int position = 0;
    for (const auto& [raw, action] : entries) {
        const bool is_popup = !action.empty() && action[0] == '$';
        Label label = parse_label(raw, !on_bar, is_popup);
        if (label.separator) {
            ui->append_menu_separator(menu);
            ++position;
        }
        if (is_popup) {
            const std::string name = action.substr(1);
            if (find_list(name.c_str(), true) < 0) continue;  // a missing list drops the item
            const int popup_menu = ui->create_menu();
            ui->append_menu_popup(menu, popup_menu, label.text);
            int index = -1;
            if (static_cast<int>(g.popups.size()) < kPopupLimit) {
                PopupRecord record;
                record.menu = popup_menu;
                record.parent_menu = menu;
                record.position = position;
                record.parent = parent;
                record.second_menu = g.building_second;
                g.popups.push_back(record);
                index = static_cast<int>(g.popups.size()) - 1;
                if (on_bar && !g.building_second &&
                    plain_label(label.text) == msg_text(kMsgAlwaysEnabledPopup)) {
                    g.named_popup = index;
                }
            }
            pending.push_back({index, popup_menu, name});
            ++position;
            continue;
        }
        // "#" marks where the open windows are listed; nothing is shown for it itself.
        if (label.text == "#" && !g.building_second) {
            g.window_list = WindowListSlot{};
            g.window_list.menu = menu;
            g.window_list.first = position;
            g.window_list.command = action;
            continue;
        }
        const int id = static_cast<int>(g.items.size()) + 1;
        if (g.building_second && g.first_second_item < 0) g.first_second_item = id - 1;
        CommandItem item;
        item.text = action;
        item.popup = !action.empty() && action[0] == '@' ? 0 : parent;
        g.items.push_back(item);
        // Items with an enable condition are walked when the state flags change.
        add_menu_item_text(id, item.popup, position, -1, action.c_str());
        std::string shown = label.text;
        const bool recent_slot = raw.rfind('!', 0) == 0 || raw.rfind("-!", 0) == 0;
        if (recent_slot && g.recent_count < kRecentFileSlots) {
            RecentSlot& slot = g.recent[g.recent_count];
            slot.id = id;
            if (slot.text.empty()) slot.text = "&" + std::to_string(g.recent_count + 1) + " ";
            ++g.recent_count;
            shown = recent_label(slot.text, g.recent_count - 1);
        }
        ui->append_menu_command(menu, id, shown);
        if (label.accel_key != 0) {
            Accelerator a;
            a.flags = kAccelVirtualControl | (label.accel_shift ? kAccelShift : 0);
            a.key = static_cast<std::uint16_t>(label.accel_key);
            if (g.building_second) {
                a.id = static_cast<std::uint16_t>(kSecondMenuAcceleratorBase + id - 1 -
                                                  g.first_second_item);
                g.second_accel.push_back(a);
            } else {
                a.id = static_cast<std::uint16_t>(id);
                g.main_accel.push_back(a);
            }
        }
        ++position;
    }
    if (on_bar && !g.building_second) g.bar_popups = static_cast<int>(pending.size());
    // Every popup of this level is filled, depth first (not only the first 36).
    for (const PendingPopup& p : pending) fill_menu(p.menu, p.list, p.index, false);
}

void fill_menu(int menu, const std::string& list_name, int parent, bool on_bar) {
    const int list = find_list(list_name.c_str(), true);
    if (list < 0) return;
    fill_from_list(menu, list, parent, on_bar);
}

// The items of a popup (its own commands and sub-popups) are all disabled.
bool popup_all_disabled(int index) {
    platform::UiBackend* ui = ui_or_null();
    const PopupRecord& p = g.popups[static_cast<std::size_t>(index)];
    const std::vector<platform::MenuEntry>* entries = ui->menu_entries(p.menu);
    if (entries == nullptr) return false;
    int counted = 0;
    for (const platform::MenuEntry& e : *entries) {
        if (e.kind == platform::MenuEntry::Kind::separator) continue;
        ++counted;
        if (e.enabled) return false;
    }
    // Items registered under this popup from elsewhere ("@" items) count too.
    for (std::size_t i = 0; i < g.items.size(); ++i) {
        if (g.items[i].popup != index) continue;
        const platform::MenuEntry* e = ui->find_menu_command(g.main_menu, static_cast<int>(i) + 1);
        if (e != nullptr && e->enabled) return false;
    }
    return counted > 0;
}

void grey_popup(const PopupRecord& p, bool enabled) {
    ui_or_null()->enable_menu_position(p.parent_menu, p.position, enabled);
}

bool run_through_table(int window, const std::vector<Accelerator>& table,
                       const platform::KeyEvent& key) {
    return translate_accelerator(window, table, key);
}

bool key_hook(int window, const platform::KeyEvent& key) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return false;
    if (window == platform::kWindowEdit && run_through_table(window, g.second_accel, key)) {
        return true;
    }
    return run_through_table(platform::kWindowFrame, g.main_accel, key);
}

}  // namespace

int build_menu(const char* list_name, int window, bool is_main) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr || list_name == nullptr) return 0;
    if (is_main) {
        g.items.clear();
        g.popups.clear();
        g.main_accel.clear();
        g.named_popup = -1;
        g.bar_popups = 0;
        g.first_second_item = -1;
        g.recent_count = 0;
        g.full_update = true;
        g.last_mode = -1;
        reset_menu_store();
    } else {
        g.second_accel.clear();
        g.first_second_item = -1;
    }
    if (open_lists_file(0) != 0) return 0;
    const int list = find_list(list_name, true);
    if (list < 0) return 0;
    const int bar = ui->create_menu();
    g.building_second = !is_main;
    fill_from_list(bar, list, -1, true);
    g.building_second = false;
    ui->set_menu_bar(window, bar);
    if (is_main) {
        g.main_menu = bar;
    } else {
        g.second_menu = bar;
    }
    return bar;
}

void reload_menus() {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr || g.main_menu == 0) return;
    if (find_list(msg_text(kMsgMainMenuList), true) < 0) {
        msg_box(kMsgNoMainMenuList);
        return;
    }
    // The store is made afresh before anything is destroyed: when it cannot be had (its
    // failure, -10, is shown by the store) the old menus stay as they are.
    if (reset_menu_store() != 0) return;
    ui->destroy_menu(g.main_menu);
    if (g.second_menu != 0) ui->destroy_menu(g.second_menu);
    g.main_menu = g.second_menu = 0;
    build_menu(msg_text(kMsgMainMenuList), platform::kWindowFrame, true);
    if (ui->window_exists(platform::kWindowEdit)) {
        build_menu(msg_text(kMsgEditMenuList), platform::kWindowEdit, false);
    }
}

void set_recent_file_entry(const char* name, int k) {
    if (k < 0 || k >= kRecentFileSlots) return;
    const std::string text = name != nullptr ? name : "";
    char shown[300];
    std::snprintf(shown, sizeof shown, "&%1d %s", k + 1, text.c_str());
    g.recent[k].text = shown;
    g.recent[k].name = text;
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr || g.main_menu == 0 || g.recent[k].id == 0) return;
    ui->set_menu_command_label(g.main_menu, g.recent[k].id, recent_label(shown, k));
    ui->enable_menu_command(g.main_menu, g.recent[k].id, !text.empty());
}

bool translate_accelerator(int window, const std::vector<Accelerator>& table,
                           const platform::KeyEvent& key) {
    if (!key.pressed || (key.modifiers & platform::modifier_control) == 0) return false;
    const bool shift = (key.modifiers & platform::modifier_shift) != 0;
    for (const Accelerator& a : table) {
        if (a.id == 0) break;
        if (a.key != key.key || shift != ((a.flags & kAccelShift) != 0)) continue;
        int id = a.id;
        if (id >= kSecondMenuAcceleratorBase)
            id = id - kSecondMenuAcceleratorBase + g.first_second_item + 1;
        platform::UiBackend* ui = ui_or_null();
        const int bar = window == platform::kWindowEdit ? g.second_menu : g.main_menu;
        const platform::MenuEntry* e =
            ui != nullptr && bar != 0 ? ui->find_menu_command(bar, id) : nullptr;
        // A greyed item still takes the key: it must not reach the window as typing.
        if (e != nullptr && e->enabled) run_menu_command(window, id);
        return true;
    }
    return false;
}

void update_menu_states(int mode) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr || g.main_menu == 0) return;
    if (mode == 1) refresh_window_list();
    // A recent-file setting changed by a command shows in its slot at the next idle pass.
    for (int k = 0; mode == 1 && k < kRecentFileSlots; ++k) {
        const char* name = get_setting_text(kSetMruFile1 + k, 0);
        const std::string now = name != nullptr ? name : "";
        if (now == g.recent_settings[k]) continue;
        g.recent_settings[k] = now;
        set_recent_file_entry(now.c_str(), k);
    }
    const bool changed = menus_need_update() != 0 || g.full_update;
    if (mode == g.last_mode && !changed) return;
    if (mode == 1 && changed) {
        menus_need_update() = 0;
        int old_state = 0;
        int new_state = 0;
        int position = 0;
        int menu = 0;
        for (int id = next_menu_item_state(&old_state, &new_state, &position, &menu); id != 0;
             id = next_menu_item_state(&old_state, &new_state, &position, &menu)) {
            if (old_state != new_state || g.full_update) {
                const int bar =
                    g.second_menu != 0 && g.first_second_item >= 0 && id > g.first_second_item
                        ? g.second_menu
                        : g.main_menu;
                ui->enable_menu_command(bar, id, new_state != 0);
            }
        }
        // Recent-file slots with too short a text stay grey.
        for (int k = 0; k < g.recent_count; ++k) {
            if (g.recent[k].id != 0 && g.recent[k].text.size() < 4) {
                ui->enable_menu_command(g.main_menu, g.recent[k].id, false);
            }
        }
        // Popups bottom-up: the deepest first, so a parent sees its children's state.
        for (int i = static_cast<int>(g.popups.size()) - 1; i >= 0; --i) {
            PopupRecord& p = g.popups[static_cast<std::size_t>(i)];
            const bool enabled = !popup_all_disabled(i);
            p.enabled = enabled;
            grey_popup(p, enabled);
        }
        g.full_update = false;
    }
    // The menu bar: blocked (mode 0) all grey but the named popup, else their own state.
    // Positions are those of the bar's own menu: a maximised child's system menu is not one of
    // its entries here, so nothing is shifted.
    for (int i = 0; i < static_cast<int>(g.popups.size()); ++i) {
        const PopupRecord& p = g.popups[static_cast<std::size_t>(i)];
        if (p.parent != -1 || p.second_menu) continue;
        grey_popup(p, mode == 0 ? i == g.named_popup : p.enabled);
    }
    g.last_mode = mode;
}

const char* menu_command_text(int id) {
    if (id < 1 || id > static_cast<int>(g.items.size())) return nullptr;
    return g.items[static_cast<std::size_t>(id - 1)].text.c_str();
}

int menu_command_count() {
    return static_cast<int>(g.items.size());
}

const std::vector<Accelerator>& main_accelerators() {
    return g.main_accel;
}

const std::vector<Accelerator>& second_accelerators() {
    return g.second_accel;
}

const std::vector<PopupRecord>& menu_popups() {
    return g.popups;
}

int main_menu_handle() {
    return g.main_menu;
}

int second_menu_handle() {
    return g.second_menu;
}

const std::string& recent_file_text(int k) {
    static const std::string none;
    return k >= 0 && k < kRecentFileSlots ? g.recent[k].text : none;
}

int recent_file_item(int k) {
    return k >= 0 && k < g.recent_count ? g.recent[k].id : 0;
}

bool run_menu_command(int, int id) {
    const WindowListSlot& list = g.window_list;
    if (id >= kWindowListFirstId &&
        id < kWindowListFirstId + static_cast<int>(list.windows.size())) {
        const std::string line =
            list.command + " " +
            std::to_string(list.windows[static_cast<std::size_t>(id - kWindowListFirstId)]);
        if (g.submit != nullptr) {
            g.submit(line.c_str());
        } else {
            run_command_string(line.c_str(), 0);
        }
        return true;
    }
    const char* text = menu_command_text(id);
    if (text == nullptr) return false;
    // "@" only files the item under the first popup; the command follows it.
    const char* command = text[0] == '@' ? text + 1 : text;
    // A recent-file slot's command takes the slot's file, quoted as the name it is.
    std::string with_file;
    for (const RecentSlot& slot : g.recent) {
        if (slot.id != id) continue;
        if (slot.name.empty() || slot.name.find('"') != std::string::npos) return true;
        with_file = std::string(command) + " \"" + slot.name + "\"";
        command = with_file.c_str();
    }
    if (g.submit != nullptr) {
        g.submit(command);
    } else {
        run_command_string(command, 0);
    }
    return true;
}

void set_menu_submitter(void (*submit)(const char* text)) {
    g.submit = submit;
}

void install_menus() {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return;
    ui->set_key_hook(key_hook);
}

void reset_menus() {
    void (*submit)(const char*) = g.submit;
    g = MenuState{};
    g.submit = submit;
    for (RecentSlot& r : g.recent) r = RecentSlot{};
}

namespace {
const platform::StateReset menus_state_reset{"ui/menus", reset_menus, platform::ResetLayer::ui};
}  // namespace
