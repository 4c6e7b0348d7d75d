#include "ui/choice_lists.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/state_reset.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/table_messages.h"
#include "ui/window_table.h"

namespace {

struct Choices {
    int selected = -1;
    bool visible = false;
    int visible_rows = 0;
    ChoiceShower shower = nullptr;
    ChoicePopupAnchor anchor = nullptr;
};

Choices g;

platform::UiBackend* ui_or_null() {
    return platform::current_ui();
}

// The value-list index of the first entry after the title.
int first_entry() {
    const int count = value_list_count();
    const char* first = value_list_first(0);
    return count > 1 && first != nullptr && first[0] == '@' ? 1 : 0;
}

bool is_head(int entry, int* size) {
    const char* second = value_list_second(entry);
    if (second == nullptr || second[0] != '$') return false;
    if (size != nullptr) *size = std::max(0, std::atoi(second + 1));
    return true;
}

std::string without_mark(const char* first) {
    std::string text = first != nullptr ? first : "";
    if (!text.empty() && (text[0] == '*' || text[0] == '~')) text.erase(0, 1);
    return text;
}

// What a list shows for an entry: the alias group in braces and the blanks after it skipped,
// a leading '*' (check mark) or '~' dropped.
std::string display_text(const char* first) {
    return without_mark(skip_brace_prefix(first != nullptr ? first : ""));
}

std::vector<int> selectable_entries() {
    std::vector<int> entries;
    for (int i = first_entry(); i < value_list_count(); ++i) {
        if (!is_head(i, nullptr)) entries.push_back(i);
    }
    return entries;
}

platform::TextMetrics fixed_metrics() {
    const FontMetricsCell font = fixed_font_metrics();
    return {font.char_height, font.ascent, font.char_width};
}

// Fills menu from entries [from, to) of the list; true when one of them is checked.
bool fill_popup(platform::UiBackend& ui, int menu, int from, int to, int base) {
    bool any_checked = false;
    for (int i = from; i < to; ++i) {
        const char* first = value_list_first(i);
        const bool checked = first != nullptr && first[0] == '*';
        int size = 0;
        if (is_head(i, &size)) {
            const int sub = ui.create_menu();
            const int end = std::min(to, i + 1 + size);
            const bool sub_checked = fill_popup(ui, sub, i + 1, end, base);
            ui.append_menu_popup(menu, sub, display_text(first));
            if (sub_checked) ui.check_menu_entry(menu, sub, true, true);
            any_checked = any_checked || sub_checked;
            i = end - 1;
            continue;
        }
        const int id = i - base + 1;
        ui.append_menu_command(menu, id, display_text(first));
        if (checked) ui.check_menu_entry(menu, id, true);
        any_checked = any_checked || checked;
    }
    return any_checked;
}

}  // namespace

int find_choice(const char* text) {
    if (text == nullptr) return -1;
    const std::vector<int> entries = selectable_entries();
    for (std::size_t n = 0; n < entries.size(); ++n) {
        if (display_text(value_list_first(entries[n])) == text) return static_cast<int>(n);
    }
    return -1;
}

int fill_choice_list(int show, int selected) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return 0;
    if (show == 0) {
        clear_choice_selection();
        if (g.visible) ui->hide_choice_list();
        g.visible = false;
        if (ui->window_exists(platform::kWindowList)) ui->show_window(platform::kWindowList, false);
        return 0;
    }
    std::vector<std::string> texts;
    std::size_t longest = 0;
    for (int entry : selectable_entries()) {
        texts.push_back(display_text(value_list_first(entry)));
        longest = std::max(longest, texts.back().size());
    }
    if (texts.empty()) return fill_choice_list(0);
    const platform::TextMetrics m = fixed_metrics();
    const int count = static_cast<int>(texts.size());
    int width = static_cast<int>(longest + 1) * m.average_width;
    if (count > kChoiceListRows) width += kScrollBarWidth;
    g.visible_rows = std::min(count, kChoiceListRows);
    const platform::Size client{std::max(width, 100), g.visible_rows * m.height};
    WindowRecord& r = window_record(platform::kWindowList);
    r.min_width = r.max_width = client.width;
    r.min_height = r.max_height = client.height;
    if (selected < 0 || selected >= count) selected = 0;
    ui->show_choice_list(texts, selected);
    ui->set_choice_list_size(client);
    if (ui->window_exists(platform::kWindowList)) {
        ui->set_window_title(platform::kWindowList, msg_text(kMsgListWindowTitle));
    }
    g.visible = true;
    g.selected = selected;
    ui->select_choice_item(selected);
    return count;
}

bool choice_list_visible() {
    return g.visible;
}

int choice_popup_menu(int owner, int x, int y, int button) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr || value_list_count() == 0) return 0;
    const int menu = ui->create_menu();
    const int base = first_entry();
    fill_popup(*ui, menu, base, value_list_count(), base);
    const int chosen = ui->track_popup_menu(menu, owner, {x, y}, button == 3);
    ui->destroy_menu(menu);
    if (chosen > 0 && g.shower != nullptr) g.shower(chosen, true, true);
    return chosen;
}

bool choice_text(int n, bool by_item, std::string& text) {
    int entry = -1;
    if (by_item) {
        entry = n >= 1 && n <= value_list_count() ? first_entry() + n - 1 : -1;
        if (entry >= value_list_count() || (entry >= 0 && is_head(entry, nullptr))) entry = -1;
    } else {
        const std::vector<int> entries = selectable_entries();
        if (n >= 0 && n < static_cast<int>(entries.size())) entry = entries[n];
    }
    if (entry < 0) return false;
    text = without_mark(value_list_first(entry));
    return true;
}

int choice_item_count() {
    return value_list_count() - first_entry();
}

int selected_choice() {
    return g.selected;
}

void set_selected_choice(int n) {
    g.selected = n;
    if (platform::UiBackend* ui = ui_or_null(); ui != nullptr && g.visible) {
        ui->select_choice_item(n);
    }
}

void clear_choice_selection() {
    g.selected = -1;
    if (platform::UiBackend* ui = ui_or_null()) ui->select_choice_item(-1);
}

void move_choice_selection(int key) {
    const int count = static_cast<int>(selectable_entries().size());
    if (!g.visible || count == 0) return;
    const int rows = std::min(std::max(g.visible_rows, 1), 36);
    int step = key;
    switch (key) {
        case platform::key_up:
            step = -1;
            break;
        case platform::key_down:
            step = 1;
            break;
        case platform::key_page_up:
            step = -(rows - 1);
            break;
        case platform::key_page_down:
            step = rows - 1;
            break;
        default:
            break;
    }
    int n = g.selected;
    if (n < 0) {
        // No selection: the middle of the rows shown from the top.
        n = std::min(count - 1, rows / 2);
    } else {
        // Any step, however large, stays inside the list.
        n = static_cast<int>(
            std::clamp(static_cast<long long>(n) + step, 0LL, static_cast<long long>(count - 1)));
    }
    set_selected_choice(n);
    if (g.shower != nullptr) g.shower(n, false, false);
}

void set_choice_shower(ChoiceShower shower) {
    g.shower = shower;
}

void set_choice_popup_anchor(ChoicePopupAnchor anchor) {
    g.anchor = anchor;
}

bool choice_popup_anchor(int* window, platform::Point* at) {
    return g.anchor != nullptr && window != nullptr && at != nullptr && g.anchor(window, at);
}

void reset_choice_lists() {
    const ChoiceShower shower = g.shower;
    const ChoicePopupAnchor anchor = g.anchor;
    g = Choices{};
    g.shower = shower;
    g.anchor = anchor;
}

namespace {
const platform::StateReset choice_lists_state_reset{"ui/choice_lists", reset_choice_lists,
                                                    platform::ResetLayer::ui};
}  // namespace
