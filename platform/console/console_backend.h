// The console backend: for machines without a display and for scripted runs. Command lines
// come from standard input (or a stream), text-window output goes to standard output and is
// kept per window, message boxes go to standard error and read their answer from the next input
// line (or take the next scripted one), windows exist in memory and draw into recording device
// contexts.
// Timers run on a millisecond clock that tests can drive by hand.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <iosfwd>
#include <map>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "platform/ui.h"

namespace platform {

struct ConsoleOptions {
    std::istream* input = nullptr;   // null: standard input, read without blocking timers
    std::ostream* output = nullptr;  // null: standard output
    std::ostream* errors = nullptr;  // null: standard error
    bool manual_clock = false;       // true: the clock moves only through advance_clock()
};

class ConsoleBackend : public UiBackend {
public:
    explicit ConsoleBackend(ConsoleOptions options = {});
    ~ConsoleBackend() override;
    ConsoleBackend(const ConsoleBackend&) = delete;
    ConsoleBackend& operator=(const ConsoleBackend&) = delete;

    const char* name() const override { return "console"; }

    int create_frame(std::string_view title, WindowHandler* handler) override;
    void set_frame_title(std::string_view title) override;
    int create_window(int window, std::string_view title, WindowHandler* handler) override;
    int destroy_window(int window) override;
    bool window_exists(int window) const override;
    int show_window(int window, bool visible) override;
    bool window_visible(int window) const override;
    int set_window_title(int window, std::string_view title) override;
    int activate_window(int window) override;
    int active_window() const override { return active_; }
    std::string shown_title(int window) const override { return window_title(window); }

    DeviceContext* device_context(int window) override;
    int invalidate(int window) override;

    int add_text_line(int window, std::string_view line) override;
    int clear_text(int window) override;

    // Without a status line on screen, status texts are written to standard error: each text
    // once while the program works on one command line (a flashing prompt is not repeated), but
    // again for the next line, where it is that line's own answer.
    void set_status_text(std::string_view text) override;
    std::string status_text() const override { return status_; }

    bool take_command_line(std::string& line) override;
    void set_command_line_text(std::string_view text) override { command_text_ = text; }
    std::string command_line_text() const override { return command_text_; }
    bool input_ended() const override { return input_ended_; }
    bool answers_from_script() const override { return true; }

    // The question goes to standard error and its answer is the next input line: a button's
    // name or its first letter, in any case. A line that names no button is refused and asked
    // once more (AnswerRefusals); after a second one, or at the end of the input, the box takes
    // the answer that writes and deletes nothing (No where offered, else Cancel). A box of OK
    // alone reads nothing. The answer taken is written after the question.
    MessageAnswer message_box(const MessageBoxRequest& request) override;
    void beep() override { ++beeps_; }

    int set_timer(int window, int timer_id, int interval_ms) override;
    int kill_timer(int window, int timer_id) override;

    bool process_one_event(bool wait) override;
    bool poll_escape() override;
    void update_now() override;

    void set_clipboard_text(std::string_view text) override { clipboard_ = text; }
    std::string clipboard_text() const override { return clipboard_; }
    // A plain-text item among them is also the clipboard's text, as on a desktop clipboard.
    int set_clipboard_items(std::vector<ClipboardItem> items) override;

    bool frame_closed() const override { return frame_closed_; }
    void close_frame() override;

    int add_tool_button(int window, const ToolButton& button) override;
    int clear_tool_strip(int window) override;
    int enable_tool_button(int window, int id, bool enabled) override;
    bool tool_button_enabled(int window, int id) const override;
    Colour system_colour(SystemColour which) const override;

    // The items are written to standard error, numbered from 1, the preselected one marked.
    void show_choice_list(const std::vector<std::string>& items, int selected) override;
    void hide_choice_list() override {
        choices_.clear();
        UiBackend::select_choice_item(-1);
    }

    void set_command_history(const std::vector<std::string>& newest_first) override {
        history_ = newest_first;
    }

    int set_window_rect(int window, Rect outer) override;
    Rect window_rect(int window) const override;
    Size screen_size() const override { return screen_; }
    // The MDI area is nominal: tests set its size.
    Size mdi_client_size() const override { return mdi_client_; }
    void set_mdi_client_size(Size size) { mdi_client_ = size; }

    // The start-up window is kept in memory only. A line read from the input counts as keys
    // pressed and closes it too.
    int open_splash(const SplashPicture& picture) override;
    // Dialogs take the next answer a test queued, else the next input line: a path for a file
    // dialog, "face,height[,bold][,italic]" for a font; an empty line (or the end of the
    // input) cancels, a line that is no answer is refused (AnswerRefusals). The question goes
    // to standard error. A Save dialog whose file exists asks whether to replace it (No, the
    // answer at the end of the input, cancels the dialog).
    DialogResult file_dialog(FileDialogRequest& request) override;
    DialogResult font_dialog(const std::string& caption, FontDescription& font) override;
    // A text-fields dialog takes one answer a field; the end of the input cancels. A dialog of
    // OK and Cancel only is cancelled by an empty first answer too; with extra buttons, one
    // more answer names the button pressed by its label without '&' (any case): empty or "OK"
    // is OK, "Cancel" cancels, any other fails.
    DialogResult text_fields_dialog(TextFieldsDialog& dialog) override;
    const std::vector<TextFieldsDialog>& text_dialogs_shown() const { return text_dialogs_; }
    // A click on a menu item of the window's menu bar: its command is posted when the item
    // exists and is enabled (its popups are not checked); false otherwise.
    bool choose_menu_command(int window, int id);
    // The console has no printer. Tests install a recording one: every page a recording context
    // of that size and resolution, kept when the document ends.
    std::unique_ptr<PrintJob> start_print(const PrintRequest& request,
                                          DialogResult* result) override;
    // Asks "<document>: print all or the selection?"; an answer beginning with 's' prints the
    // selection, one beginning with 'a' the whole text, an empty one cancels; any other is
    // refused (AnswerRefusals).
    std::unique_ptr<PrintJob> start_print_offering_selection(const PrintRequest& request,
                                                             DialogResult* result,
                                                             bool* selection_only) override;
    void install_recording_printer(Size page, int dots_per_inch);
    const std::vector<std::vector<std::string>>& printed_pages() const { return printed_; }
    void clear_printed_pages() { printed_.clear(); }
    void queue_dialog_answer(std::string answer) { dialog_answers_.push_back(std::move(answer)); }
    const std::vector<FileDialogRequest>& file_dialogs_shown() const { return file_dialogs_; }
    void close_splash() override { splash_ = false; }
    bool splash_open() const override { return splash_; }
    // Events take the time of the console's clock (the manual clock in tests).
    std::int64_t event_time_ms() const override { return now_ms(); }
    bool wait_for_pointer_event() override { return dispatch_posted() || fire_due_timer(); }

    // --- for tests -------------------------------------------------------------------------
    // What the console keeps of a session is what is shown now or shortly before: a text
    // window's lines up to the text areas' scroll-back (kKeptTextLines, the most recent), a
    // drawing surface's calls since it was last wiped whole, and the last kKeptRecords message
    // boxes, dialogs and popup menus (at times a few more, never fewer).
    static constexpr std::size_t kKeptTextLines = 2000;
    static constexpr std::size_t kKeptRecords = 256;
    // The next message box takes this answer instead of reading one (when it is one of the
    // box's buttons; otherwise the answer is used up and the box reads its answer as usual).
    void queue_message_box_answer(MessageAnswer answer) { scripted_answers_.push_back(answer); }
    const std::vector<MessageBoxRequest>& message_boxes_shown() const { return boxes_shown_; }
    int beep_count() const { return beeps_; }

    std::int64_t now_ms() const;
    // Moves the manual clock on (ignored with the real clock).
    void advance_clock(std::int64_t ms);

    const std::vector<std::string>& text_lines(int window) const;
    const std::string& window_title(int window) const;
    RecordingDeviceContext* recording_context(int window);

    // Input events as a user would cause them; each is handled by one process_one_event().
    void post_key(int window, const KeyEvent& event);
    void post_mouse(int window, const MouseEvent& event);
    void post_scroll(int window, const ScrollEvent& event);
    void post_command(int window, int command);
    void post_close_request(int window);
    void post_resize(int window, Size size);
    // A line entered as if typed on the command line.
    void enter_command_line(std::string_view line) { entered_lines_.emplace_back(line); }
    // The user edits the command line without entering it: its text and caret as given.
    void edit_command_line(std::string_view text, int caret) {
        set_command_line_text(text);
        set_command_line_selection(caret, caret);
        notify_command_line_edited();
    }
    // A click on a tool button: its command is posted when the button exists and is enabled;
    // false otherwise.
    bool press_tool_button(int window, int id);
    // The strip's buttons in the order they were added.
    const std::vector<ToolButton>& tool_buttons(int window) const;
    void set_system_colour(SystemColour which, Colour colour);
    // The choice list shown (empty when none) and a click on its item index.
    const std::vector<std::string>& choice_list() const { return choices_; }
    bool choose_list_item(int index);
    void set_choice_list_size(Size client) override { choice_size_ = client; }
    Size choice_list_size() const { return choice_size_; }
    // A popup menu takes the identifier a test queued (0, none chosen, without one). Each one
    // tracked is kept as lines: an entry's label, "* " before a checked one, a sub-menu's
    // entries after it indented by two blanks.
    int track_popup_menu(int menu, int window, Point at, bool right_button) override;
    void queue_popup_choice(int id) { popup_choices_.push_back(id); }
    const std::vector<std::vector<std::string>>& popups_shown() const { return popups_shown_; }
    // The page set-up dialog takes "left,top,right,bottom" in hundredths of a millimetre (the
    // next queued answer or input line); an empty answer cancels, a bad one fails.
    DialogResult page_setup_dialog(const std::string& caption, PageSetup& setup) override;
    // The Cancel box keeps its texts; a test makes the nth poll (from 1) after it opened find
    // Cancel pressed.
    int open_print_cancel_box(std::string_view title, std::string_view text) override;
    void set_print_cancel_text(std::string_view text) override;
    bool print_cancel_requested() override;
    void close_print_cancel_box() override { cancel_box_open_ = false; }
    void cancel_printing_at_poll(int poll) { cancel_at_poll_ = poll; }
    const std::vector<std::string>& print_cancel_texts() const { return cancel_texts_; }
    bool print_cancel_box_open() const { return cancel_box_open_; }
    void arrange_icons() override { ++arranged_; }
    int icons_arranged() const { return arranged_; }
    // Child-window strips are kept as their height; their buttons are the window's buttons.
    int create_tool_strip(int window, int height) override;
    int tool_strip_height(int window) const override;
    // A click on system-menu item id of the window: posted when the item exists.
    bool choose_system_menu_item(int window, int id);
    const std::vector<std::string>& command_history() const { return history_; }
    void set_screen_size(Size size) { screen_ = size; }
    // The picture of the start-up window opened last.
    const SplashPicture& splash_picture() const { return splash_picture_; }

    // Pictures copied into a window: kept as they came (the last kKeptPictures of them) with
    // their count, for tests; nothing is drawn into the window's recording.
    int copy_picture(int window, Point at, const SplashPicture& picture) override;
    static constexpr std::size_t kKeptPictures = 64;
    const std::deque<SplashPicture>& copied_pictures(int window) const;
    int pictures_copied(int window) const;
    void forget_copied_pictures(int window);
    // The next file dialog answered takes this filter (by index from 0) as the user's choice.
    void queue_file_filter(int index) { file_filters_.push_back(index); }
    // Panes: a banded window's client area is its rectangle's size (no frame here), or the
    // size a resize event gives; the parts take their places at once and their handlers hear
    // of new sizes.
    int create_pane(int window, int pane, bool vertical_bar, WindowHandler* handler) override;
    int set_band_layout(int window, const BandLayout& layout) override;
    Size client_size(int window) const;

private:
    std::array<std::deque<SplashPicture>, kWindowCount> copied_;
    std::array<int, kWindowCount> copied_count_{};
    std::deque<int> file_filters_;
    Size choice_size_;
    std::vector<std::string> cancel_texts_;
    bool cancel_box_open_ = false;
    int cancel_polls_ = 0;
    int cancel_at_poll_ = 0;
    int arranged_ = 0;
    std::deque<int> popup_choices_;
    std::vector<std::vector<std::string>> popups_shown_;
    void describe_menu(int menu, int depth, std::vector<std::string>& lines) const;
    struct Window {
        bool exists = false;
        bool visible = false;
        bool needs_paint = false;
        std::string title;
        WindowHandler* handler = nullptr;
        std::vector<std::string> lines;
        RecordingDeviceContext dc{Size{640, 480}};
        std::vector<ToolButton> buttons;
        std::vector<bool> enabled;  // per button
        Rect rect;
        int strip_height = 0;
        Size client{640, 480};
        bool banded = false;
        BandLayout bands;
    };
    void lay_out_bands(int window);
    struct Timer {
        int interval_ms = 0;
        std::int64_t due_ms = 0;
    };
    struct CloseRequest {};
    using EventBody = std::variant<KeyEvent, MouseEvent, ScrollEvent, int, CloseRequest, Size>;
    struct PostedEvent {
        int window = 0;
        EventBody body;
    };

    bool dialog_answer(const std::string& question, std::string& answer);
    // A dialog's answer that must pass check (true: an answer): a line that does not is
    // refused and asked again under the rule of AnswerRefusals. False when the dialog takes
    // its harmless answer (Cancel): at the end of the input or after the last refusal.
    template <class Check>
    bool checked_dialog_answer(const std::string& question, std::string& answer, Check check);
    // The next line entered or read, waiting for it; false at the end of the input.
    bool next_input_line(std::string& line);
    std::deque<std::string> dialog_answers_;
    bool printer_ = false;
    Size printer_page_;
    int printer_dpi_ = 0;
    std::vector<std::vector<std::string>> printed_;
    std::vector<FileDialogRequest> file_dialogs_;
    std::vector<TextFieldsDialog> text_dialogs_;
    bool dispatch_posted();
    bool paint_one();
    bool fire_due_timer();
    // Reads a line if one is ready (or waits up to timeout_ms for it; -1 waits without end).
    bool read_input_line(int timeout_ms);
    bool read_stream_line(int timeout_ms);
    bool read_fd_line(int timeout_ms);
    void end_of_input();
    void request_close(int window);
    void paint(int window);
    std::int64_t next_timer_due() const;

    ConsoleOptions options_;
    std::ostream* out_;
    std::ostream* err_;
    std::array<Window, kWindowCount + kPaneCount> windows_;
    int active_ = -1;
    std::string status_ = " ";
    std::string status_written_;  // the last status text written for this command line
    std::string command_text_;
    std::deque<std::string> entered_lines_;
    std::string fd_buffer_;
    // The head of an over-long line has been handed on: the rest up to its line feed goes.
    bool dropping_line_tail_ = false;
    bool input_ended_ = false;
    bool frame_closed_ = false;
    std::deque<MessageAnswer> scripted_answers_;
    std::vector<MessageBoxRequest> boxes_shown_;
    int beeps_ = 0;
    std::map<std::pair<int, int>, Timer> timers_;
    std::deque<PostedEvent> posted_;
    std::string clipboard_;
    std::int64_t manual_now_ = 0;
    std::vector<std::string> choices_;
    std::vector<std::string> history_;
    std::map<SystemColour, Colour> colours_;
    Size screen_{1024, 768};
    Size mdi_client_{1000, 660};
    bool splash_ = false;
    SplashPicture splash_picture_;
    std::int64_t start_ns_ = 0;
};

}  // namespace platform
