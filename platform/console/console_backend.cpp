#include "platform/console/console_backend.h"

#include <cctype>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <istream>
#include <limits>
#include <ostream>

#include "platform/files.h"
#include "platform/paths.h"

namespace platform {

namespace {

std::int64_t steady_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

const std::vector<std::string> kNoLines;
const std::string kNoTitle;

// A line is kept up to this length. The command line holds 255 characters, so a line cut here
// is still longer than any command line and is refused whole; the rest of it is dropped rather
// than read as further lines.
constexpr std::size_t kMaxLineRead = 4096;

// A record kept for tests and for the window is cut back to its recent part: in chunks, so that
// a long session neither keeps every entry nor moves the record at every new one.
template <class T>
void keep_recent(std::vector<T>& record, std::size_t limit) {
    if (record.size() > limit + limit / 4) {
        record.erase(record.begin(), record.end() - static_cast<std::ptrdiff_t>(limit));
    }
}

}  // namespace

ConsoleBackend::ConsoleBackend(ConsoleOptions options)
    : options_(options),
      out_(options.output != nullptr ? options.output : &std::cout),
      err_(options.errors != nullptr ? options.errors : &std::cerr),
      start_ns_(steady_ns()) {}

ConsoleBackend::~ConsoleBackend() = default;

// --- windows ---------------------------------------------------------------------------------

int ConsoleBackend::create_frame(std::string_view title, WindowHandler* handler) {
    Window& w = windows_[kWindowFrame];
    if (w.exists) return kUiWindowExists;
    w = Window{};
    w.exists = true;
    w.visible = true;
    w.title = title;
    w.handler = handler;
    frame_closed_ = false;
    return 0;
}

void ConsoleBackend::set_frame_title(std::string_view title) {
    windows_[kWindowFrame].title = title;
}

int ConsoleBackend::create_window(int window, std::string_view title, WindowHandler* handler) {
    if (!is_valid_window(window) || window == kWindowFrame) return kUiBadWindow;
    if (!windows_[kWindowFrame].exists) return kUiNoFrame;
    Window& w = windows_[window];
    if (w.exists) return kUiWindowExists;
    w = Window{};
    w.exists = true;
    w.visible = true;
    w.title = title;
    w.handler = handler;
    // A new drawing surface is painted once, as a shown window would be.
    w.needs_paint = !is_text_window(window);
    return 0;
}

int ConsoleBackend::destroy_window(int window) {
    if (!window_exists(window) || window == kWindowFrame || is_pane(window)) return kUiBadWindow;
    for (int pane = kPaneFirst; pane < kPaneFirst + kPaneCount; ++pane) {
        if (pane_window(pane) != window) continue;
        pane_windows_[static_cast<std::size_t>(pane - kPaneFirst)] = -1;
        windows_[pane] = Window{};
        for (auto it = timers_.begin(); it != timers_.end();) {
            it = it->first.first == pane ? timers_.erase(it) : std::next(it);
        }
        std::erase_if(posted_, [pane](const PostedEvent& e) { return e.window == pane; });
    }
    windows_[window] = Window{};
    for (auto it = timers_.begin(); it != timers_.end();) {
        it = it->first.first == window ? timers_.erase(it) : std::next(it);
    }
    std::erase_if(posted_, [window](const PostedEvent& e) { return e.window == window; });
    if (active_ == window) active_ = -1;
    return 0;
}

bool ConsoleBackend::window_exists(int window) const {
    return (is_valid_window(window) || is_pane(window)) && windows_[window].exists;
}

int ConsoleBackend::show_window(int window, bool visible) {
    if (!window_exists(window)) return kUiBadWindow;
    Window& w = windows_[window];
    if (visible && !w.visible && !is_text_window(window)) w.needs_paint = true;
    w.visible = visible;
    if (!visible && active_ == window) active_ = -1;
    return 0;
}

bool ConsoleBackend::window_visible(int window) const {
    if (is_pane(window)) return window_exists(window) && window_visible(pane_window(window));
    return window_exists(window) && windows_[window].visible;
}

int ConsoleBackend::set_window_title(int window, std::string_view title) {
    if (!window_exists(window)) return kUiBadWindow;
    windows_[window].title = title;
    return 0;
}

int ConsoleBackend::activate_window(int window) {
    if (!window_exists(window) || window == kWindowFrame) return kUiBadWindow;
    if (active_ == window) return 0;
    const int previous = active_;
    active_ = window;
    windows_[window].visible = true;
    if (previous >= 0 && windows_[previous].handler != nullptr) {
        windows_[previous].handler->on_activate(previous, false);
    }
    if (windows_[window].handler != nullptr) windows_[window].handler->on_activate(window, true);
    return 0;
}

DeviceContext* ConsoleBackend::device_context(int window) {
    return recording_context(window);
}

RecordingDeviceContext* ConsoleBackend::recording_context(int window) {
    if (!window_exists(window) || window == kWindowFrame) return nullptr;
    return &windows_[window].dc;
}

int ConsoleBackend::invalidate(int window) {
    if (recording_context(window) == nullptr) return kUiBadWindow;
    windows_[window].needs_paint = true;
    return 0;
}

const std::string& ConsoleBackend::window_title(int window) const {
    return window_exists(window) ? windows_[window].title : kNoTitle;
}

// --- text output -----------------------------------------------------------------------------

int ConsoleBackend::add_text_line(int window, std::string_view line) {
    if (window == kWindowSpreadsheet && window_exists(window)) {
        *out_ << line << '\n';
        out_->flush();
        return 0;
    }
    if (!is_text_window(window) || !window_exists(window)) return kUiBadWindow;
    windows_[window].lines.emplace_back(line);
    keep_recent(windows_[window].lines, kKeptTextLines);
    *out_ << line << '\n';
    out_->flush();
    return 0;
}

int ConsoleBackend::clear_text(int window) {
    if (!is_text_window(window) || !window_exists(window)) return kUiBadWindow;
    windows_[window].lines.clear();
    return 0;
}

const std::vector<std::string>& ConsoleBackend::text_lines(int window) const {
    return window_exists(window) ? windows_[window].lines : kNoLines;
}

// --- command line ----------------------------------------------------------------------------

bool ConsoleBackend::take_command_line(std::string& line) {
    if (entered_lines_.empty()) return false;
    line = std::move(entered_lines_.front());
    entered_lines_.pop_front();
    status_written_.clear();
    return true;
}

bool ConsoleBackend::read_input_line(int timeout_ms) {
    if (input_ended_) return false;
    const std::size_t before = entered_lines_.size();
    const bool handled = read_stream_line(timeout_ms);
    if (entered_lines_.size() != before) splash_ = false;
    return handled;
}

bool ConsoleBackend::read_stream_line(int timeout_ms) {
    if (options_.input == nullptr) return read_fd_line(timeout_ms);
    std::string line;
    if (!std::getline(*options_.input, line)) {
        end_of_input();
        return true;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    entered_lines_.push_back(std::move(line));
    return true;
}

// Standard input is read with read(2) behind poll(2), so that timers keep firing while no line
// is typed; a line is complete at its '\n', or at end of input.
bool ConsoleBackend::read_fd_line(int timeout_ms) {
    for (;;) {
        const std::size_t nl = fd_buffer_.find('\n');
        if (dropping_line_tail_) {
            if (nl == std::string::npos) {
                fd_buffer_.clear();
            } else {
                fd_buffer_.erase(0, nl + 1);
                dropping_line_tail_ = false;
                continue;
            }
        } else if (nl != std::string::npos) {
            std::string line = fd_buffer_.substr(0, nl);
            fd_buffer_.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            entered_lines_.push_back(std::move(line));
            return true;
        } else if (fd_buffer_.size() >= kMaxLineRead) {
            entered_lines_.push_back(fd_buffer_.substr(0, kMaxLineRead));
            fd_buffer_.clear();
            dropping_line_tail_ = true;
            return true;
        }
        pollfd pfd{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, timeout_ms);
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) return false;
        if (ready < 0) {
            end_of_input();
            return true;
        }
        char chunk[512];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // The last line may lack its line feed.
            if (!fd_buffer_.empty()) {
                entered_lines_.push_back(std::move(fd_buffer_));
                fd_buffer_.clear();
            }
            end_of_input();
            return true;
        }
        fd_buffer_.append(chunk, static_cast<std::size_t>(n));
        timeout_ms = 0;
    }
}

// End of input is to the console what closing the frame is to a window system: the frame's
// handler decides, so the program can end the run its usual way.
void ConsoleBackend::end_of_input() {
    input_ended_ = true;
    if (windows_[kWindowFrame].exists) posted_.push_back({kWindowFrame, CloseRequest{}});
}

// --- message boxes ---------------------------------------------------------------------------

namespace {

// The answer that writes and deletes nothing: the one a box takes when nobody is left to ask.
MessageAnswer harmless_answer(const std::vector<MessageAnswer>& buttons) {
    for (const MessageAnswer safe : {MessageAnswer::no, MessageAnswer::cancel}) {
        if (std::find(buttons.begin(), buttons.end(), safe) != buttons.end()) return safe;
    }
    return buttons.front();
}

// A typed answer names a button by its name or its first letter, in any case, blanks around it
// ignored; none when it names no button of the box.
MessageAnswer typed_answer(std::string_view line, const std::vector<MessageAnswer>& buttons) {
    std::string word;
    for (const char c : line) {
        if (c != ' ' && c != '\t')
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (word.empty()) return MessageAnswer::none;
    for (const MessageAnswer a : buttons) {
        std::string name = message_answer_name(a);
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (word == name || (word.size() == 1 && word[0] == name[0])) return a;
    }
    return MessageAnswer::none;
}

}  // namespace

MessageAnswer ConsoleBackend::message_box(const MessageBoxRequest& request) {
    boxes_shown_.push_back(request);
    keep_recent(boxes_shown_, kKeptRecords);
    const std::vector<MessageAnswer> buttons = message_answers(request.buttons);
    std::string question = request.title.empty() ? std::string() : request.title + ": ";
    question += request.text + " [";
    const char* sep = "";
    for (const MessageAnswer a : buttons) {
        question += sep;
        question += message_answer_name(a);
        sep = "/";
    }
    question += "] ";
    MessageAnswer answer = MessageAnswer::none;
    if (!scripted_answers_.empty()) {
        const MessageAnswer scripted = scripted_answers_.front();
        scripted_answers_.pop_front();
        if (std::find(buttons.begin(), buttons.end(), scripted) != buttons.end()) answer = scripted;
    }
    // A box with one button is a notice, not a question: reading a line for it would swallow
    // the script's next command.
    if (answer == MessageAnswer::none && buttons.size() == 1) answer = buttons.front();
    // A default taken here would answer "save" for the user and write over their file: the
    // answer is read. A line that names no button is shown and asked once more; after that, or
    // at the end of the input, the box takes the answer that does no harm.
    bool asking = false;  // the question is out and its line not finished
    AnswerRefusals refusals(this);
    while (answer == MessageAnswer::none) {
        *err_ << question;
        err_->flush();
        asking = true;
        std::string line;
        if (!next_input_line(line)) break;
        answer = typed_answer(line, buttons);
        if (answer != MessageAnswer::none) break;
        *err_ << line << '\n';
        asking = false;
        if (!refusals.ask_again()) break;
    }
    if (answer == MessageAnswer::none) answer = harmless_answer(buttons);
    if (!asking) *err_ << question;
    *err_ << message_answer_name(answer) << '\n';
    err_->flush();
    return answer;
}

// --- start-up window -------------------------------------------------------------------------

int ConsoleBackend::open_splash(const SplashPicture& picture) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height) {
        return kUiBadArgument;
    }
    splash_picture_ = picture;
    splash_ = true;
    return 0;
}

// --- timers and events -----------------------------------------------------------------------

std::int64_t ConsoleBackend::now_ms() const {
    if (options_.manual_clock) return manual_now_;
    return (steady_ns() - start_ns_) / 1000000;
}

void ConsoleBackend::advance_clock(std::int64_t ms) {
    if (options_.manual_clock && ms > 0) manual_now_ += ms;
}

int ConsoleBackend::set_timer(int window, int timer_id, int interval_ms) {
    if (!window_exists(window)) return kUiBadWindow;
    if (interval_ms <= 0) return kUiBadArgument;
    timers_[{window, timer_id}] = Timer{interval_ms, now_ms() + interval_ms};
    return 0;
}

int ConsoleBackend::set_clipboard_items(std::vector<ClipboardItem> items) {
    for (const ClipboardItem& item : items) {
        if (item.mime_type == "text/plain") {
            clipboard_.assign(item.bytes.begin(), item.bytes.end());
            break;
        }
    }
    return UiBackend::set_clipboard_items(std::move(items));
}

int ConsoleBackend::kill_timer(int window, int timer_id) {
    return timers_.erase({window, timer_id}) > 0 ? 0 : kUiBadArgument;
}

std::int64_t ConsoleBackend::next_timer_due() const {
    std::int64_t due = std::numeric_limits<std::int64_t>::max();
    for (const auto& [key, timer] : timers_) due = std::min(due, timer.due_ms);
    return due;
}

bool ConsoleBackend::fire_due_timer() {
    const std::int64_t now = now_ms();
    auto due = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second.due_ms <= now &&
            (due == timers_.end() || it->second.due_ms < due->second.due_ms)) {
            due = it;
        }
    }
    if (due == timers_.end()) return false;
    const auto [window, timer_id] = due->first;
    // A timer that fell behind fires once, not once for every missed interval.
    due->second.due_ms += due->second.interval_ms;
    if (due->second.due_ms <= now) due->second.due_ms = now + due->second.interval_ms;
    if (WindowHandler* h = windows_[window].handler) h->on_timer(window, timer_id);
    return true;
}

void ConsoleBackend::paint(int window) {
    Window& w = windows_[window];
    w.needs_paint = false;
    if (w.handler != nullptr) w.handler->on_paint(window, w.dc);
}

bool ConsoleBackend::paint_one() {
    for (int n = 0; n < kWindowCount + kPaneCount; ++n) {
        if (windows_[n].exists && window_visible(n) && windows_[n].needs_paint) {
            paint(n);
            return true;
        }
    }
    return false;
}

namespace {

class RecordingPrintJob : public PrintJob {
public:
    RecordingPrintJob(Size page, int dpi, TextMetrics metrics,
                      std::vector<std::vector<std::string>>& sink)
        : dc_(page, metrics), dpi_(dpi), sink_(sink) {}
    DeviceContext& page() override { return dc_; }
    int dots_per_inch() const override { return dpi_; }
    Size page_size() const override { return dc_.size(); }
    bool new_page() override {
        pages_.push_back(dc_.records());
        dc_.clear_records();
        return true;
    }
    bool finish() override {
        pages_.push_back(dc_.records());
        sink_.insert(sink_.end(), pages_.begin(), pages_.end());
        return true;
    }
    void abort() override { pages_.clear(); }
    std::string destination() const override { return "recording printer"; }

private:
    RecordingDeviceContext dc_;
    int dpi_;
    std::vector<std::vector<std::string>>& sink_;
    std::vector<std::vector<std::string>> pages_;
};

}  // namespace

std::unique_ptr<PrintJob> ConsoleBackend::start_print(const PrintRequest& request,
                                                      DialogResult* result) {
    if (!printer_) {
        if (result != nullptr) *result = DialogResult::failed;
        return nullptr;
    }
    if (result != nullptr) *result = DialogResult::ok;
    // The console's 8 x 16 cell (ascent 12) scaled from the screen's 96 to the printer's pixels
    // per inch, as a fixed font keeps its size on paper.
    const int height = (request.font.height > 0 ? request.font.height : 16) * printer_dpi_ / 96;
    const TextMetrics metrics{height, height * 3 / 4, height / 2};
    return std::make_unique<RecordingPrintJob>(printer_page_, printer_dpi_, metrics, printed_);
}

std::unique_ptr<PrintJob> ConsoleBackend::start_print_offering_selection(
    const PrintRequest& request, DialogResult* result, bool* selection_only) {
    if (selection_only != nullptr) *selection_only = false;
    if (printer_ && request.ask) {
        std::string answer;
        const auto all_or_selection = [](const std::string& line) {
            return line.empty() || std::strchr("aAsS", line[0]) != nullptr;
        };
        if (!checked_dialog_answer(request.document + ": print all or the selection?", answer,
                                   all_or_selection) ||
            answer.empty()) {
            if (result != nullptr) *result = DialogResult::cancelled;
            return nullptr;
        }
        if (selection_only != nullptr) *selection_only = answer[0] == 's' || answer[0] == 'S';
    }
    return start_print(request, result);
}

void ConsoleBackend::install_recording_printer(Size page, int dots_per_inch) {
    printer_ = true;
    printer_page_ = page;
    printer_dpi_ = dots_per_inch;
}

bool ConsoleBackend::choose_menu_command(int window, int id) {
    const int bar = menu_bar(window);
    const MenuEntry* entry = bar != 0 ? find_menu_command(bar, id) : nullptr;
    if (entry == nullptr || !entry->enabled) return false;
    post_command(window, kMenuCommandBase + id);
    return true;
}

bool ConsoleBackend::dialog_answer(const std::string& question, std::string& answer) {
    *err_ << question << "\n";
    err_->flush();
    if (!dialog_answers_.empty()) {
        answer = std::move(dialog_answers_.front());
        dialog_answers_.pop_front();
        return true;
    }
    return next_input_line(answer);
}

template <class Check>
bool ConsoleBackend::checked_dialog_answer(const std::string& question, std::string& answer,
                                           Check check) {
    AnswerRefusals refusals(this);
    for (;;) {
        if (!dialog_answer(question, answer)) return false;
        if (check(answer)) return true;
        *err_ << "Not an answer: " << answer << '\n';
        if (!refusals.ask_again()) return false;
    }
}

bool ConsoleBackend::next_input_line(std::string& answer) {
    while (entered_lines_.empty() && !input_ended_) read_input_line(-1);
    if (entered_lines_.empty()) return false;
    answer = std::move(entered_lines_.front());
    entered_lines_.pop_front();
    return true;
}

DialogResult ConsoleBackend::file_dialog(FileDialogRequest& request) {
    file_dialogs_.push_back(request);
    keep_recent(file_dialogs_, kKeptRecords);
    std::string answer;
    if (!dialog_answer(request.title + ": file name?", answer) || answer.empty()) {
        return DialogResult::cancelled;
    }
    // As the graphical Save dialog does: a file that is there is replaced only when the user
    // says so.
    if (request.save && path_exists(to_native_path(answer)) && !is_folder(to_native_path(answer))) {
        MessageBoxRequest replace;
        replace.title = request.title;
        replace.text = answer + " already exists. Replace it?";
        replace.buttons = MessageButtons::yes_no;
        replace.icon = MessageIcon::warning;
        replace.default_answer = MessageAnswer::no;
        if (message_box(replace) != MessageAnswer::yes) return DialogResult::cancelled;
    }
    request.path = answer;
    if (!file_filters_.empty()) {
        request.filter_index = file_filters_.front();
        file_filters_.pop_front();
    }
    return DialogResult::ok;
}

DialogResult ConsoleBackend::text_fields_dialog(TextFieldsDialog& dialog) {
    text_dialogs_.push_back(dialog);
    keep_recent(text_dialogs_, kKeptRecords);
    std::vector<std::string> answers;
    for (std::size_t k = 0; k < dialog.labels.size(); ++k) {
        std::string answer;
        if (!dialog_answer(dialog.title + " " + dialog.labels[k], answer)) {
            return DialogResult::cancelled;
        }
        if (k == 0 && answer.empty() && dialog.buttons.empty()) return DialogResult::cancelled;
        if (static_cast<int>(answer.size()) > dialog.max_length) {
            answer.resize(static_cast<std::size_t>(std::max(dialog.max_length, 0)));
        }
        answers.push_back(std::move(answer));
    }
    int button = 0;
    if (!dialog.buttons.empty()) {
        const auto plain = [](std::string_view label) {
            std::string out;
            for (const char c : label) {
                if (c != '&') out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            return out;
        };
        // -1 for a line that names no button.
        const auto pressed = [&](const std::string& answer) {
            const std::string chosen = plain(answer);
            if (chosen.empty() || chosen == "ok" || chosen == "cancel") return 0;
            for (std::size_t k = 0; k < dialog.buttons.size(); ++k) {
                if (plain(dialog.buttons[k]) == chosen) return static_cast<int>(k) + 1;
            }
            return -1;
        };
        std::string answer;
        if (!checked_dialog_answer(
                dialog.title + " button?", answer,
                [&pressed](const std::string& line) { return pressed(line) >= 0; }) ||
            plain(answer) == "cancel") {
            return DialogResult::cancelled;
        }
        button = pressed(answer);
    }
    dialog.values = std::move(answers);
    dialog.button = button;
    return DialogResult::ok;
}

namespace {

// "face,height[,bold][,italic]" read over font; false for a line that is no such answer.
bool read_font_answer(const std::string& answer, FontDescription& font) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = answer.find(',', start);
        parts.push_back(answer.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    FontDescription chosen = font;
    chosen.face = parts[0];
    chosen.weight = 400;
    chosen.italic = false;
    if (parts.size() > 1) {
        char* end = nullptr;
        const long height = std::strtol(parts[1].c_str(), &end, 10);
        if (end == parts[1].c_str() || height <= 0 || height > 500) return false;
        chosen.height = static_cast<int>(height);
    }
    for (std::size_t k = 2; k < parts.size(); ++k) {
        if (parts[k] == "bold")
            chosen.weight = 700;
        else if (parts[k] == "italic")
            chosen.italic = true;
        else
            return false;
    }
    if (chosen.face.empty()) return false;
    font = chosen;
    return true;
}

// "left,top,right,bottom" in hundredths of a millimetre; false for a line that is not.
bool read_margins_answer(const std::string& answer, UiBackend::PageSetup& setup) {
    int values[4] = {};
    const char* p = answer.c_str();
    for (int k = 0; k < 4; ++k) {
        char* end = nullptr;
        const long v = std::strtol(p, &end, 10);
        if (end == p || v < 0 || v > 100000) return false;
        values[k] = static_cast<int>(v);
        p = end;
        if (k < 3) {
            if (*p != ',') return false;
            ++p;
        }
    }
    if (*p != '\0') return false;
    setup.left = values[0];
    setup.top = values[1];
    setup.right = values[2];
    setup.bottom = values[3];
    return true;
}

}  // namespace

DialogResult ConsoleBackend::font_dialog(const std::string& caption, FontDescription& font) {
    std::string answer;
    FontDescription chosen = font;
    if (!checked_dialog_answer(caption + " face,height[,bold][,italic]?", answer,
                               [&chosen](const std::string& line) {
                                   return line.empty() || read_font_answer(line, chosen);
                               }) ||
        answer.empty()) {
        return DialogResult::cancelled;
    }
    font = chosen;
    return DialogResult::ok;
}

DialogResult ConsoleBackend::page_setup_dialog(const std::string& caption, PageSetup& setup) {
    std::string answer;
    PageSetup chosen = setup;
    if (!checked_dialog_answer(caption + " left,top,right,bottom?", answer,
                               [&chosen](const std::string& line) {
                                   return line.empty() || read_margins_answer(line, chosen);
                               }) ||
        answer.empty()) {
        return DialogResult::cancelled;
    }
    setup = chosen;
    if (setup.printer.empty()) setup.printer = "console";
    return DialogResult::ok;
}

int ConsoleBackend::open_print_cancel_box(std::string_view title, std::string_view text) {
    cancel_box_open_ = true;
    cancel_polls_ = 0;
    cancel_texts_.clear();
    cancel_texts_.emplace_back(title);
    cancel_texts_.emplace_back(text);
    return 0;
}

void ConsoleBackend::set_print_cancel_text(std::string_view text) {
    if (cancel_box_open_) cancel_texts_.emplace_back(text);
}

bool ConsoleBackend::print_cancel_requested() {
    if (!cancel_box_open_) return false;
    ++cancel_polls_;
    return cancel_at_poll_ > 0 && cancel_polls_ >= cancel_at_poll_;
}

bool ConsoleBackend::choose_system_menu_item(int window, int id) {
    if (!window_exists(window) || window == kWindowFrame) return false;
    for (const MenuEntry& e : system_menu_items()) {
        if (e.kind == MenuEntry::Kind::command && e.id == id) {
            post_command(window, kSystemMenuCommandBase + id);
            return true;
        }
    }
    return false;
}

void ConsoleBackend::request_close(int window) {
    Window& w = windows_[window];
    if (!close_enabled(window)) return;  // Close is greyed in its system menu
    const bool allowed = w.handler == nullptr || w.handler->on_close_request(window);
    if (!allowed || !windows_[window].exists) return;
    if (window == kWindowFrame) {
        close_frame();
    } else {
        show_window(window, false);
    }
}

void ConsoleBackend::close_frame() {
    frame_closed_ = true;
    windows_[kWindowFrame].visible = false;
}

bool ConsoleBackend::dispatch_posted() {
    if (posted_.empty()) return false;
    PostedEvent e = std::move(posted_.front());
    posted_.pop_front();
    if (splash_) {
        const auto* key = std::get_if<KeyEvent>(&e.body);
        const auto* mouse = std::get_if<MouseEvent>(&e.body);
        if ((key != nullptr && key->pressed) ||
            (mouse != nullptr && mouse->action == MouseAction::press &&
             mouse->button == MouseButton::left)) {
            splash_ = false;
            return true;
        }
    }
    if (!window_exists(e.window)) return true;
    WindowHandler* h = windows_[e.window].handler;
    // System-menu items are the program's, not the window's: the frame takes them.
    if (const int* command = std::get_if<int>(&e.body);
        command != nullptr && *command >= kSystemMenuCommandBase && window_exists(kWindowFrame)) {
        h = windows_[kWindowFrame].handler;
    }
    if (std::holds_alternative<CloseRequest>(e.body)) {
        request_close(e.window);
    } else if (auto* size = std::get_if<Size>(&e.body);
               size != nullptr && windows_[e.window].banded) {
        windows_[e.window].client = *size;
        lay_out_bands(e.window);
    } else if (auto* size = std::get_if<Size>(&e.body)) {
        windows_[e.window].dc.set_size(*size);
        if (h != nullptr) h->on_size(e.window, *size);
        if (!is_text_window(e.window)) windows_[e.window].needs_paint = true;
    } else if (auto* key = std::get_if<KeyEvent>(&e.body); key != nullptr && key->pressed &&
                                                           key_hook() != nullptr &&
                                                           key_hook()(e.window, *key)) {
        // taken by the key hook before the window saw it
    } else if (h == nullptr) {
        // nobody listens
    } else if (auto* key = std::get_if<KeyEvent>(&e.body)) {
        h->on_key(e.window, *key);
    } else if (auto* mouse = std::get_if<MouseEvent>(&e.body)) {
        h->on_mouse(e.window, *mouse);
    } else if (auto* scroll = std::get_if<ScrollEvent>(&e.body)) {
        h->on_scroll(e.window, *scroll);
    } else if (auto* command = std::get_if<int>(&e.body)) {
        h->on_command(e.window, *command);
    }
    return true;
}

bool ConsoleBackend::process_one_event(bool wait) {
    if (dispatch_posted()) return true;
    if (paint_one()) return true;
    if (fire_due_timer()) return true;
    if (read_input_line(0)) return true;
    if (!wait) return false;
    for (;;) {
        const bool has_timers = !timers_.empty();
        const bool has_input = !input_ended_;
        if (!has_input && (!has_timers || options_.manual_clock)) return false;
        int timeout_ms = -1;
        if (has_timers && !options_.manual_clock) {
            const std::int64_t left = next_timer_due() - now_ms();
            timeout_ms = static_cast<int>(std::clamp<std::int64_t>(left, 0, 1000000));
        }
        if (has_input) {
            if (read_input_line(timeout_ms)) return true;
        } else {
            ::usleep(static_cast<useconds_t>(timeout_ms) * 1000);
        }
        if (fire_due_timer()) return true;
    }
}

bool ConsoleBackend::poll_escape() {
    bool escape = false;
    std::erase_if(posted_, [&escape](const PostedEvent& e) {
        const auto* key = std::get_if<KeyEvent>(&e.body);
        if (key == nullptr) return false;
        if (key->key == key_escape && !key->pressed) escape = true;
        return true;
    });
    return escape;
}

void ConsoleBackend::update_now() {
    while (paint_one()) {
    }
    out_->flush();
    err_->flush();
}

// --- posted input ----------------------------------------------------------------------------

void ConsoleBackend::post_key(int window, const KeyEvent& event) {
    posted_.push_back({window, event});
}

void ConsoleBackend::post_mouse(int window, const MouseEvent& event) {
    posted_.push_back({window, event});
}

void ConsoleBackend::post_scroll(int window, const ScrollEvent& event) {
    posted_.push_back({window, event});
}

void ConsoleBackend::post_command(int window, int command) {
    posted_.push_back({window, command});
}

void ConsoleBackend::post_close_request(int window) {
    posted_.push_back({window, CloseRequest{}});
}

void ConsoleBackend::post_resize(int window, Size size) {
    posted_.push_back({window, size});
}

void ConsoleBackend::set_status_text(std::string_view text) {
    status_ = text;
    // A blank status field (the cleared state) says nothing on a console.
    if (status_.find_first_not_of(' ') == std::string::npos || status_ == status_written_) return;
    status_written_ = status_;
    *err_ << status_ << '\n';
    err_->flush();
}

// --- tool strips, choice lists, placement ----------------------------------------------------

namespace {

const std::vector<ToolButton> kNoButtons;

}  // namespace

int ConsoleBackend::add_tool_button(int window, const ToolButton& button) {
    if (!window_exists(window)) return kUiBadWindow;
    const std::size_t pixels =
        static_cast<std::size_t>(std::max(button.width, 0)) * std::max(button.height, 0);
    if (button.pixels.size() != pixels) return kUiBadArgument;
    Window& w = windows_[window];
    w.buttons.push_back(button);
    w.enabled.push_back(true);
    return 0;
}

int ConsoleBackend::clear_tool_strip(int window) {
    if (!window_exists(window)) return kUiBadWindow;
    windows_[window].buttons.clear();
    windows_[window].enabled.clear();
    return 0;
}

int ConsoleBackend::enable_tool_button(int window, int id, bool enabled) {
    if (!window_exists(window)) return kUiBadWindow;
    Window& w = windows_[window];
    for (std::size_t k = 0; k < w.buttons.size(); ++k) {
        if (w.buttons[k].id == id) {
            w.enabled[k] = enabled;
            return 0;
        }
    }
    return kUiBadArgument;
}

bool ConsoleBackend::tool_button_enabled(int window, int id) const {
    if (!window_exists(window)) return false;
    const Window& w = windows_[window];
    for (std::size_t k = 0; k < w.buttons.size(); ++k) {
        if (w.buttons[k].id == id) return w.enabled[k];
    }
    return false;
}

bool ConsoleBackend::press_tool_button(int window, int id) {
    if (!tool_button_enabled(window, id)) return false;
    post_command(window, id);
    return true;
}

int ConsoleBackend::create_tool_strip(int window, int height) {
    if (window == kWindowFrame || !window_exists(window)) return kUiBadWindow;
    if (height <= 0) return kUiBadArgument;
    windows_[window].strip_height = height;
    return 0;
}

int ConsoleBackend::tool_strip_height(int window) const {
    return window_exists(window) ? windows_[window].strip_height : 0;
}

const std::vector<ToolButton>& ConsoleBackend::tool_buttons(int window) const {
    return window_exists(window) ? windows_[window].buttons : kNoButtons;
}

Colour ConsoleBackend::system_colour(SystemColour which) const {
    const auto it = colours_.find(which);
    return it != colours_.end() ? it->second : UiBackend::system_colour(which);
}

void ConsoleBackend::set_system_colour(SystemColour which, Colour colour) {
    colours_[which] = colour;
}

void ConsoleBackend::show_choice_list(const std::vector<std::string>& items, int selected) {
    choices_ = items;
    UiBackend::select_choice_item(selected < static_cast<int>(items.size()) ? selected : -1);
    for (std::size_t k = 0; k < items.size(); ++k) {
        *err_ << (static_cast<int>(k) == selected ? "* " : "  ") << k + 1 << ' ' << items[k]
              << '\n';
    }
    err_->flush();
}

void ConsoleBackend::describe_menu(int menu, int depth, std::vector<std::string>& lines) const {
    const std::vector<MenuEntry>* entries = menu_entries(menu);
    if (entries == nullptr || depth > 8) return;
    for (const MenuEntry& e : *entries) {
        if (e.kind == MenuEntry::Kind::separator) continue;
        lines.push_back(std::string(2 * depth, ' ') + (e.checked ? "* " : "") + e.label);
        if (e.kind == MenuEntry::Kind::popup) describe_menu(e.popup, depth + 1, lines);
    }
}

int ConsoleBackend::track_popup_menu(int menu, int, Point, bool) {
    std::vector<std::string> lines;
    describe_menu(menu, 0, lines);
    popups_shown_.push_back(std::move(lines));
    keep_recent(popups_shown_, kKeptRecords);
    if (popup_choices_.empty()) return 0;
    const int id = popup_choices_.front();
    popup_choices_.pop_front();
    // Only an enabled command of the menu can be chosen.
    const MenuEntry* e = find_menu_command(menu, id);
    return e != nullptr && e->enabled ? id : 0;
}

bool ConsoleBackend::choose_list_item(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= choices_.size()) return false;
    post_command(kWindowFrame, kChoiceCommandBase + index);
    return true;
}

int ConsoleBackend::set_window_rect(int window, Rect outer) {
    if (!window_exists(window)) return kUiBadWindow;
    windows_[window].rect = outer;
    const Size size{outer.right - outer.left, outer.bottom - outer.top};
    if (windows_[window].banded) {
        windows_[window].client = size;
        lay_out_bands(window);
    } else if (size.width > 0 && size.height > 0 && !is_text_window(window)) {
        // A console window has no frame: its drawing surface is the rectangle given, as a
        // resized window's is, so that the next sizing starts from what is shown.
        windows_[window].dc.set_size(size);
        windows_[window].needs_paint = true;
    }
    return 0;
}

Rect ConsoleBackend::window_rect(int window) const {
    return window_exists(window) ? windows_[window].rect : Rect{};
}

int ConsoleBackend::copy_picture(int window, Point, const SplashPicture& picture) {
    if (recording_context(window) == nullptr) return kUiBadWindow;
    if (picture.width < 0 || picture.height < 0 ||
        picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height) {
        return kUiBadArgument;
    }
    auto& kept = copied_[static_cast<std::size_t>(window)];
    if (kept.size() == kKeptPictures) kept.pop_front();
    kept.push_back(picture);
    ++copied_count_[static_cast<std::size_t>(window)];
    return 0;
}

const std::deque<SplashPicture>& ConsoleBackend::copied_pictures(int window) const {
    static const std::deque<SplashPicture> none;
    return is_valid_window(window) ? copied_[static_cast<std::size_t>(window)] : none;
}

int ConsoleBackend::pictures_copied(int window) const {
    return is_valid_window(window) ? copied_count_[static_cast<std::size_t>(window)] : 0;
}

void ConsoleBackend::forget_copied_pictures(int window) {
    if (!is_valid_window(window)) return;
    copied_[static_cast<std::size_t>(window)].clear();
    copied_count_[static_cast<std::size_t>(window)] = 0;
}

}  // namespace platform

// --- panes inside a numbered window ----------------------------------------------------------

namespace platform {

int ConsoleBackend::create_pane(int window, int pane, bool, WindowHandler* handler) {
    if (!is_pane(pane) || !window_exists(window) || window == kWindowFrame || is_pane(window)) {
        return kUiBadWindow;
    }
    if (windows_[pane].exists) return kUiWindowExists;
    Window& w = windows_[pane];
    w = Window{};
    w.exists = true;
    w.visible = true;
    w.handler = handler;
    w.needs_paint = true;
    pane_windows_[static_cast<std::size_t>(pane - kPaneFirst)] = window;
    return 0;
}

int ConsoleBackend::set_band_layout(int window, const BandLayout& layout) {
    if (!window_exists(window) || window == kWindowFrame || is_pane(window)) return kUiBadWindow;
    Window& w = windows_[window];
    if (!w.banded) w.client = w.dc.size();
    w.banded = true;
    w.bands = layout;
    lay_out_bands(window);
    return 0;
}

Size ConsoleBackend::client_size(int window) const {
    if (!window_exists(window)) return {};
    const Window& w = windows_[window];
    return w.banded ? w.client : w.dc.size();
}

void ConsoleBackend::lay_out_bands(int window) {
    Window& w = windows_[window];
    const BandRects r = band_rects(w.client, w.bands);
    const auto place = [this](int n, const Rect& rect) {
        if (n < 0 || !window_exists(n)) return;
        const Size size{rect.right - rect.left, rect.bottom - rect.top};
        Window& part = windows_[n];
        if (part.dc.size() == size) return;
        part.dc.set_size(size);
        part.needs_paint = true;
        if (part.handler != nullptr) part.handler->on_size(n, size);
    };
    place(window, r.surface);
    place(w.bands.side_pane, r.side);
    place(w.bands.bottom_pane, r.bottom);
    if (w.bands.strip_height > 0) w.strip_height = r.strip.bottom - r.strip.top;
}

}  // namespace platform
