// The user interface the program sees: numbered windows with event handlers, the frame's
// command line and status field, message boxes, timers, one-event processing, the Escape poll
// and device contexts to draw with. Nothing here names a GUI toolkit; a backend (console or
// Qt) implements it, and the program reaches the current one through ui().
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// ---------------------------------------------------------------------------------------------
// Window numbers. Outside platform/ a window is known by its number only.

inline constexpr int kWindowFrame = 0;
inline constexpr int kWindowText1 = 1;
inline constexpr int kWindowText2 = 2;
inline constexpr int kWindowSpreadsheet = 3;
inline constexpr int kWindowList = 4;
inline constexpr int kWindowEdit = 5;
inline constexpr int kWindowControl = 6;
inline constexpr int kWindowGraphicsFirst = 7;  // graphics window g is window g + 6
inline constexpr int kWindowGraphicsLast = 15;
inline constexpr int kWindowGraphicsText = 16;
inline constexpr int kWindowCount = 17;

// Results of the window and timer calls (0 is success).
inline constexpr int kUiBadWindow = -1;     // number out of range, or the window does not exist
inline constexpr int kUiWindowExists = -2;  // the number is already in use
inline constexpr int kUiBadArgument = -3;   // e.g. a timer interval of 0 or less
inline constexpr int kUiNoFrame = -4;       // the frame must exist first

bool is_text_window(int window);      // 1, 2
bool is_graphics_window(int window);  // 7 .. 15
bool is_valid_window(int window);     // 0 .. 16

// ---------------------------------------------------------------------------------------------
// Drawing.

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int width = 0;
    int height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// Left and top inclusive, right and bottom exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Colour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Colour&, const Colour&) = default;
};

// Solid, dashed, dotted, dash-dot, dash-dot-dot as the graphics line styles 0..4; none draws no
// outline (a filled polygon without a border).
enum class LineStyle { solid, dash, dot, dash_dot, dash_dot_dot, none };

struct TextMetrics {
    int height = 0;         // line height in pixels
    int ascent = 0;         // baseline below the top of a line
    int average_width = 0;  // width of an average character
};

// What a window, an off-screen image or a test recorder offers to draw on. Coordinates are
// device pixels with y down. Text is drawn with its top-left corner at the point.
class DeviceContext {
public:
    virtual ~DeviceContext() = default;

    virtual Size size() const = 0;

    virtual void set_pen(Colour colour, LineStyle style, int width) = 0;
    virtual void set_brush(Colour colour) = 0;  // solid fill for polygons and ellipses
    virtual void set_null_brush() = 0;          // polygons and ellipses unfilled
    virtual void set_text_colour(Colour colour) = 0;

    virtual void move_to(Point p) = 0;
    // A line from the current point to p, p becoming the current point. Whether the end pixel
    // is set differs between devices; callers that need it set it themselves.
    virtual void line_to(Point p) = 0;
    virtual void polyline(std::span<const Point> points) = 0;
    virtual void polygon(std::span<const Point> points) = 0;  // closed, filled with the brush
    virtual void ellipse(Rect bounds) = 0;                    // inscribed in bounds
    virtual void set_pixel(Point p, Colour colour) = 0;
    virtual void fill_rect(Rect r, Colour colour) = 0;

    virtual void text_out(Point p, std::string_view text) = 0;
    virtual TextMetrics text_metrics() const = 0;
    virtual int text_width(std::string_view text) const = 0;

    virtual void set_clip_rect(Rect r) = 0;  // drawing outside r is suppressed
    virtual void clear_clip() = 0;

    // Moves the pixels inside band by dx, dy; what moves out of the band is lost and what is
    // uncovered keeps its old pixels until the caller paints it. Devices without pixels (a
    // printer) ignore it.
    virtual void scroll_pixels(Rect band, int dx, int dy);
};

// Keeps every drawing call as one readable line, for tests of drawing code:
//   "pen 255,0,0 solid 1", "brush 0,0,255", "null_brush", "text_colour 0,0,0",
//   "move 1,2", "line 1,2 30,40", "polyline 0,0 5,5 9,0", "polygon 0,0 5,5 9,0",
//   "ellipse 0,0 10,20", "pixel 3,4 0,255,0", "fill 0,0 10,10 255,255,255",
//   "text 10,20 \"abc\"", "clip 0,0 100,50", "clip none".
// A line records both ends ("line from to"); move_to alone records "move".
// The calls are kept in a compact form and written out as lines only when records() is read:
// a plot of many thousand primitives costs a few stores each, not a string each.
class RecordingDeviceContext : public DeviceContext {
public:
    explicit RecordingDeviceContext(Size size = {640, 480}, TextMetrics metrics = {16, 12, 8});

    Size size() const override { return size_; }
    void set_size(Size size) { size_ = size; }

    void set_pen(Colour colour, LineStyle style, int width) override;
    void set_brush(Colour colour) override;
    void set_null_brush() override;
    void set_text_colour(Colour colour) override;
    void move_to(Point p) override;
    void line_to(Point p) override;
    void polyline(std::span<const Point> points) override;
    void polygon(std::span<const Point> points) override;
    void ellipse(Rect bounds) override;
    void set_pixel(Point p, Colour colour) override;
    void fill_rect(Rect r, Colour colour) override;
    void text_out(Point p, std::string_view text) override;
    TextMetrics text_metrics() const override { return metrics_; }
    // Every character is average_width wide.
    int text_width(std::string_view text) const override;
    void set_clip_rect(Rect r) override;
    void clear_clip() override;
    // "scroll 0,0 100,50 0,-17"
    void scroll_pixels(Rect band, int dx, int dy) override;

    // The calls so far as lines, oldest first: those since the surface was last filled whole
    // (without a clip), which covered everything drawn before, and of those the last
    // kKeptCalls at most (at times a few more).
    static constexpr std::size_t kKeptCalls = 1 << 16;
    const std::vector<std::string>& records() const;
    void clear_records();
    Point current_point() const { return current_; }

private:
    enum class Op : std::uint8_t {
        pen,
        brush,
        null_brush,
        text_colour,
        move,
        line,
        polyline,
        polygon,
        ellipse,
        pixel,
        fill,
        text,
        clip,
        clip_none,
        scroll,
    };
    // One call: up to six numbers (points, corners, a colour packed as 0xRRGGBB, a width), and
    // for point lists and texts a range of points_ or texts_.
    struct Call {
        Op op;
        LineStyle style;
        std::int32_t v[6];
        std::uint32_t first;
        std::uint32_t count;
    };
    void add(Op op, std::initializer_list<std::int32_t> values, LineStyle style = LineStyle::solid);
    void add_points(Op op, std::span<const Point> points);
    void keep_recent_calls();
    std::string call_text(const Call& call) const;

    Size size_;
    TextMetrics metrics_;
    Point current_;
    bool clipped_ = false;
    std::vector<Call> calls_;
    std::vector<Point> points_;
    std::string texts_;
    // The lines of calls_[0 .. lines_.size()), written when read.
    mutable std::vector<std::string> lines_;
};

const char* line_style_name(LineStyle style);

// ---------------------------------------------------------------------------------------------
// Events.

// Key codes: letters are their upper-case ASCII code and digits their ASCII code, as virtual
// keys are; other keys have codes of their own from 256 up.
enum Key : int {
    key_none = 0,
    key_backspace = 8,
    key_tab = 9,
    key_enter = 13,
    key_escape = 27,
    key_space = 32,
    key_page_up = 256,
    key_page_down,
    key_end,
    key_home,
    key_left,
    key_up,
    key_right,
    key_down,
    key_insert,
    key_delete,
    key_f1,  // key_f1 + k - 1 is function key k, up to 12
};

enum Modifier : unsigned {
    modifier_shift = 1,
    modifier_control = 2,
    modifier_alt = 4,
};

struct KeyEvent {
    int key = key_none;
    bool pressed = true;  // false for the release
    unsigned modifiers = 0;
    std::string text;  // the characters the key typed, if any
};

enum class MouseAction { press, release, double_click, move };
enum class MouseButton { none, left, right, middle };

struct MouseEvent {
    MouseAction action = MouseAction::move;
    MouseButton button = MouseButton::none;
    Point position;  // in the window's drawing surface
    unsigned modifiers = 0;
};

enum class ScrollBar { horizontal, vertical };
enum class ScrollAction { line_up, line_down, page_up, page_down, track, position, top, bottom };

// The state of a window's scroll bar: the range minimum..maximum, the page (the part shown) and
// the position of the thumb. A disabled bar stays visible but cannot be moved.
struct ScrollInfo {
    int minimum = 0;
    int maximum = 0;
    int page = 0;
    int position = 0;
    bool enabled = true;
    friend bool operator==(const ScrollInfo&, const ScrollInfo&) = default;
};

struct ScrollEvent {
    ScrollBar bar = ScrollBar::vertical;
    ScrollAction action = ScrollAction::line_down;
    int position = 0;  // for track and position
};

// One object per window class; the window number tells which window of the class an event is
// for. Every method has a do-nothing default.
class WindowHandler {
public:
    virtual ~WindowHandler() = default;

    // Draw the whole window; dc covers its drawing surface.
    virtual void on_paint(int window, DeviceContext& dc);
    virtual void on_size(int window, Size size);
    virtual void on_move(int window, Point position);
    virtual void on_activate(int window, bool active);
    // The user asks to close the window; true lets the backend hide it (the frame: end the
    // run), false keeps it open.
    virtual bool on_close_request(int window);
    virtual void on_key(int window, const KeyEvent& event);
    virtual void on_mouse(int window, const MouseEvent& event);
    virtual void on_scroll(int window, const ScrollEvent& event);
    virtual void on_command(int window, int command);
    virtual void on_timer(int window, int timer_id);
};

// ---------------------------------------------------------------------------------------------
// Message boxes.

enum class MessageButtons { ok, ok_cancel, yes_no, yes_no_cancel, retry_cancel };
enum class MessageIcon { none, information, warning, question, error };
enum class MessageAnswer { none, ok, cancel, yes, no, retry };

struct MessageBoxRequest {
    std::string text;
    std::string title;
    MessageButtons buttons = MessageButtons::ok;
    MessageIcon icon = MessageIcon::none;
    // The answer Enter gives; none means the first button.
    MessageAnswer default_answer = MessageAnswer::none;
};

// The buttons a box of this kind shows, in order.
std::vector<MessageAnswer> message_answers(MessageButtons buttons);
// The answer taken when nobody chooses: the request's default when it is one of its buttons,
// else the first button.
MessageAnswer default_message_answer(const MessageBoxRequest& request);
const char* message_answer_name(MessageAnswer answer);

// ---------------------------------------------------------------------------------------------
// Tool strips, choice lists and system colours.

// One button of a window's tool strip: its command identifier (a press reaches the window's
// handler as on_command(window, id)), its place in the strip, its picture (width x height
// pixels, top row first) and its tooltip. Buttons start enabled; a disabled button ignores
// presses.
struct ToolButton {
    int id = 0;
    int x = 0;
    int width = 0;
    int height = 0;
    std::vector<Colour> pixels;
    std::string tooltip;
};

// A choice of the shown choice list reaches the frame's handler as on_command(0, base + the
// item's index from 0).
inline constexpr int kChoiceCommandBase = 0x10000;
// A user's move of the selection in the list window reaches it as base + the new index.
inline constexpr int kChoiceSelectCommandBase = 0x18000;

// The picture of the start-up window: width x height pixels, top row first.
struct SplashPicture {
    int width = 0;
    int height = 0;
    std::vector<Colour> pixels;
};

// The colours the buttons of tool strips are painted in.
enum class SystemColour { button_text, button_shadow, button_face, button_highlight };

// ---------------------------------------------------------------------------------------------
// Menus. A menu is a small handle (1 and up) holding entries in order; a menu bar is a menu
// attached to a window (0 the frame, 5 the edit window). Choosing a command entry reaches the
// window's handler as on_command(window, kMenuCommandBase + id). Positions count separators too.
inline constexpr int kMenuCommandBase = 0x20000;
inline constexpr int kSystemMenuCommandBase = 0x30000;
// Moving over a command entry of a tracked popup menu reaches the frame's handler as
// on_command(window, kMenuHoverCommandBase + id).
inline constexpr int kMenuHoverCommandBase = 0x40000;

struct MenuEntry {
    enum class Kind { command, popup, separator };
    Kind kind = Kind::command;
    int id = 0;         // command entries
    int popup = 0;      // popup entries: the menu they open
    std::string label;  // "&" marks the mnemonic; a tab is followed by the accelerator text
    bool enabled = true;
    bool checked = false;  // command entries and popups: shown with a check mark
};

// Sees every key-down before the window it is meant for; true when it took the key.
using KeyHook = bool (*)(int window, const KeyEvent& event);
// Sees the keys typed in the command line (without Ctrl or Alt) before the line does: the moves
// of a sheet, Escape; true when it took the key.
using CommandKeyHook = bool (*)(const KeyEvent& event);

// ---------------------------------------------------------------------------------------------
// Common dialogs.

enum class DialogResult { ok, cancelled, failed };

// One filter of a file dialog: its description and its pattern ("*.len").
struct FileFilter {
    std::string description;
    std::string pattern;
};

// The Open and Save dialogs. Two extra buttons jump to the private and the public folder of
// the chosen type. On OK path holds the full path chosen and filter_index the filter (0-based).
struct FileDialogRequest {
    bool save = false;
    std::string title;
    std::string folder;  // where the dialog starts
    std::string path;    // the name offered (Save), the result on OK
    std::string default_extension;
    std::vector<FileFilter> filters;
    int filter_index = 0;
    std::string ok_label;  // empty: the dialog's own
    std::string private_label;
    std::string private_folder;
    std::string public_label;
    std::string public_folder;
    // Help topics (0 none): the dialog's Help button, and the context help of the two folder
    // buttons (What's This, or F1 on the button); shown through request_help.
    int help_topic = 0;
    int private_help_topic = 0;
    int public_help_topic = 0;
};

// A font as the program describes it: face, height in pixels, weight (400 normal, 700 bold),
// italic, and whether only fixed-pitch faces are offered.
struct FontDescription {
    std::string face;
    int height = 0;
    int weight = 400;
    bool italic = false;
    bool fixed_pitch = false;
    int help_topic = 0;  // the dialog's Help button (0: none)
};

// ---------------------------------------------------------------------------------------------
// Printing.

// What a print job is asked for: the document's name, the file a PDF printer writes when no
// printer is installed, whether the print dialog is shown first, and the font the text is set
// in (its height in screen pixels; the job scales it to the printer).
struct PrintRequest {
    std::string document;
    std::string pdf_file;
    bool ask = false;
    FontDescription font;
    int help_topic = 0;  // the print dialog's Help button (0 none)
};

// A document being printed: pages drawn through a device context in the printer's pixels.
class PrintJob {
public:
    virtual ~PrintJob() = default;
    virtual DeviceContext& page() = 0;
    virtual int dots_per_inch() const = 0;
    virtual Size page_size() const = 0;  // the printable area in the printer's pixels
    virtual bool new_page() = 0;
    // Ends the document: false when it could not be written.
    virtual bool finish() = 0;
    virtual void abort() = 0;
    // The printer's name, or the PDF file written.
    virtual std::string destination() const = 0;
};

// ---------------------------------------------------------------------------------------------
// The backend.

class UiBackend {
public:
    virtual ~UiBackend() = default;

    virtual const char* name() const = 0;  // "console" or "qt"

    // The frame (window 0) with its command line and status field. handler may be null.
    virtual int create_frame(std::string_view title, WindowHandler* handler) = 0;
    virtual void set_frame_title(std::string_view title) = 0;
    // Child windows 1..16, each with a drawing surface painted through the handler (text
    // windows 1 and 2 and the windows 3 and 4 with the window's own scroll bars too). handler
    // may be null; it must outlive the window.
    virtual int create_window(int window, std::string_view title, WindowHandler* handler) = 0;
    virtual int destroy_window(int window) = 0;
    virtual bool window_exists(int window) const = 0;
    virtual int show_window(int window, bool visible) = 0;
    virtual bool window_visible(int window) const = 0;
    virtual int set_window_title(int window, std::string_view title) = 0;
    virtual int activate_window(int window) = 0;
    // The title a window shows ("" when it has none or does not exist).
    virtual std::string shown_title(int window) const;
    virtual int active_window() const = 0;  // -1 when none

    // Drawing surfaces. The context draws into the window's backing surface and stays valid
    // while the window exists; what is drawn shows at the next event or update_now().
    virtual DeviceContext* device_context(int window) = 0;
    // Asks for a repaint through the handler's on_paint at the next event.
    virtual int invalidate(int window) = 0;

    // One output line in text window 1 or 2, or in the spreadsheet (no line feed in it). The
    // text areas paint the windows; the console also writes the line to standard output (a
    // sheet has no other view there), Qt keeps nothing.
    virtual int add_text_line(int window, std::string_view line) = 0;
    virtual int clear_text(int window) = 0;

    // The frame's status field.
    virtual void set_status_text(std::string_view text) = 0;
    virtual std::string status_text() const = 0;

    // The command line. Entered lines queue up until the program takes them.
    virtual bool take_command_line(std::string& line) = 0;
    virtual void set_command_line_text(std::string_view text) = 0;
    virtual std::string command_line_text() const = 0;
    // True once no more lines can come (console: end of standard input).
    virtual bool input_ended() const = 0;

    virtual MessageAnswer message_box(const MessageBoxRequest& request) = 0;
    virtual void beep() = 0;
    // True where the answers to questions come from a script (the console's input), not from
    // a user at the screen: see AnswerRefusals.
    virtual bool answers_from_script() const { return false; }

    // Periodic timer timer_id of the window (0 for the frame); it fires to the window's
    // handler until killed. Setting it again restarts it with the new interval.
    virtual int set_timer(int window, int timer_id, int interval_ms) = 0;
    virtual int kill_timer(int window, int timer_id) = 0;

    // Handles pending events (at least one when wait is set, waiting for it); false when
    // nothing was handled and nothing can arrive any more.
    virtual bool process_one_event(bool wait) = 0;
    // Discards pending key input; true when an Escape key was among it.
    virtual bool poll_escape() = 0;
    // Brings the screen up to date (repaints, output) without taking user input.
    virtual void update_now() = 0;

    // Program-wide text clipboard.
    virtual void set_clipboard_text(std::string_view text) = 0;
    virtual std::string clipboard_text() const = 0;

    // The frame has been closed (the user closed it and its handler agreed, end of input in
    // the console, or close_frame()); the program's loop ends then.
    virtual bool frame_closed() const = 0;
    virtual void close_frame() = 0;

    // The tool strip of a window (0: the frame's toolbar). Not every backend has strips on
    // every window: kUiBadWindow then.
    virtual int add_tool_button(int window, const ToolButton& button);
    virtual int clear_tool_strip(int window);
    virtual int enable_tool_button(int window, int id, bool enabled);
    virtual bool tool_button_enabled(int window, int id) const;
    virtual Colour system_colour(SystemColour which) const;

    // The list of choices offered at a prompt, with item selected (-1: none) preselected;
    // hiding it when none is shown does nothing.
    virtual void show_choice_list(const std::vector<std::string>& items, int selected);
    virtual void hide_choice_list();

    // The lines the command line's drop-down list offers, newest first.
    virtual void set_command_history(const std::vector<std::string>& newest_first);

    // The outer rectangle of a window (the frame on the screen, an MDI child in the MDI area,
    // a popup on the screen), and the screen's work area.
    // The window's own scroll bars (text windows). A backend without them keeps the values
    // only; kUiBadWindow for a window that does not exist.
    virtual int set_scroll_info(int window, ScrollBar bar, const ScrollInfo& info);
    virtual ScrollInfo scroll_info(int window, ScrollBar bar) const;

    // A window's maximised state, and whether its system menu's Close item can be chosen (a
    // window whose Close is greyed ignores the user's close requests). Backends without them
    // keep the values only.
    virtual int set_window_maximised(int window, bool maximised);
    virtual bool window_maximised(int window) const;
    virtual int set_close_enabled(int window, bool enabled);
    virtual bool close_enabled(int window) const;

    virtual int set_window_rect(int window, Rect outer);
    virtual Rect window_rect(int window) const;
    virtual Size screen_size() const;
    // The client area of the frame's MDI area, where the child windows lie (0 x 0 when there
    // is none).
    virtual Size mdi_client_size() const;

    // The start-up window: the picture in a topmost window with a thin border, about the centre
    // of the screen. While it shows, a key press or a left-button press anywhere closes it and
    // goes no further. Opening it again replaces the picture; kUiBadArgument when the pixels do
    // not match the size, kUiBadWindow from a backend without one. Closing it when none shows
    // does nothing.
    // Menus (see MenuEntry). The model is kept here; a backend that shows menus follows it
    // through menu_bar_changed. Each call gives 0, or kUiBadArgument for an unknown menu or
    // position.
    int create_menu();
    int append_menu_command(int menu, int id, std::string_view label);
    int append_menu_popup(int menu, int popup, std::string_view label);
    int append_menu_separator(int menu);
    // Destroys the menu and the popups it holds.
    int destroy_menu(int menu);
    // Keeps the first `count` entries of a menu; the popups of the others are destroyed.
    int truncate_menu(int menu, int count);
    // Attaches a menu bar to a window (0: none).
    int set_menu_bar(int window, int menu);
    int menu_bar(int window) const;
    const std::vector<MenuEntry>* menu_entries(int menu) const;
    // By identifier, searched through the menu and its popups.
    int enable_menu_command(int menu, int id, bool enabled);
    int set_menu_command_label(int menu, int id, std::string_view label);
    // By position in one menu.
    int enable_menu_position(int menu, int position, bool enabled);
    // The entry of a command identifier (searched from the menu), or null.
    const MenuEntry* find_menu_command(int menu, int id) const;
    // Called after any change of a menu shown as window's menu bar (or of its popups).
    virtual void menu_bar_changed(int window);

    // The key hook (null: none).
    void set_key_hook(KeyHook hook) { key_hook_ = hook; }
    KeyHook key_hook() const { return key_hook_; }
    // The command line's key hook (null: none).
    void set_command_key_hook(CommandKeyHook hook) { command_key_hook_ = hook; }
    CommandKeyHook command_key_hook() const { return command_key_hook_; }

    // Starts a print job; null with result cancelled (the print dialog was cancelled) or failed
    // (no printer, the document cannot start). A backend without printers fails.
    virtual std::unique_ptr<PrintJob> start_print(const PrintRequest& request,
                                                  DialogResult* result);
    // The pixels per inch of the screen, which printed text keeps its size against.
    virtual int screen_dots_per_inch() const { return 96; }

    // The common dialogs; a backend without them answers cancelled.
    virtual DialogResult file_dialog(FileDialogRequest& request);
    virtual DialogResult font_dialog(const std::string& caption, FontDescription& font);

    // Texts other programs send: a local socket at path (in the user's private folder) takes
    // connections; every line received goes to on_text as it stands. kUiBadWindow from a
    // backend without one.
    using ExternalTextHandler = void (*)(const std::string& line);
    virtual int listen_for_text(const std::string& path, ExternalTextHandler on_text);

    // The About window: the picture with a text drawn on its baseline at `at` (bold sans serif,
    // 11 pixels, the button-text colour), topmost and placed as the start-up window; the frame
    // takes no input while it shows. A key or any mouse button closes it. kUiBadWindow from a
    // backend without one.
    virtual int open_about(const SplashPicture& picture, std::string_view text, Point at);
    virtual bool about_open() const { return false; }
    // The help viewer inside the program, for a desktop without an opener: the HTML page at
    // path shown from its start, or at the anchor, with its links followed inside it. False
    // from a backend without one, or when the page cannot be read.
    virtual bool show_help_page(const std::string& path, const std::string& anchor) {
        (void)path;
        (void)anchor;
        return false;
    }

    virtual int open_splash(const SplashPicture& picture);
    virtual void close_splash();
    virtual bool splash_open() const;

    // --- graphics windows: mouse tracking and cursors --------------------------------------
    // The time of the input event being handled, in milliseconds on the backend's clock, and
    // the longest time between the clicks of a double click.
    virtual std::int64_t event_time_ms() const;
    virtual int double_click_ms() const { return 500; }
    // Mouse capture: the window gets every mouse event until released. -1 when none has it.
    virtual int capture_mouse(int window);
    virtual void release_mouse();
    int mouse_capture() const { return mouse_capture_; }
    // Waits for and handles one event while a command waits for a click; false when none can
    // come. A backend without a pointer handles only what is already queued and never takes
    // typed lines here, so nothing typed is lost to the wait.
    virtual bool wait_for_pointer_event() { return process_one_event(true); }
    enum class Cursor { arrow, wait, cross };
    virtual void set_cursor(Cursor cursor) { cursor_ = cursor; }
    Cursor cursor() const { return cursor_; }
    // Pictures on the clipboard: every item a MIME type and its bytes, put there together in
    // place of what the clipboard held. 0, or kUiBadWindow when the clipboard cannot be had.
    struct ClipboardItem {
        std::string mime_type;
        std::vector<std::uint8_t> bytes;
    };
    virtual int set_clipboard_items(std::vector<ClipboardItem> items);
    const std::vector<ClipboardItem>& clipboard_items() const { return clipboard_items_; }

    // --- the list window and popup menus ----------------------------------------------------
    // The list window (window 4) shows the choice list in a list box of this client size (its
    // window takes exactly that size), shown by show_choice_list.
    virtual void set_choice_list_size(Size client);
    // Selects item index of the shown list (-1: none) and scrolls it into view.
    virtual void select_choice_item(int index);
    virtual int selected_choice_item() const { return choice_selection_; }
    // Marks entry id of the menu (or a popup entry opening menu `id` when popup is set).
    int check_menu_entry(int menu, int id, bool checked, bool popup = false);
    // Shows menu as a popup menu at the point of the window's surface, tracked with the right
    // button when right_button is set; the command identifier chosen, 0 when none. The
    // choice reaches nobody else. A backend without popup menus answers 0.
    virtual int track_popup_menu(int menu, int window, Point at, bool right_button);

    // --- the edit window's editor ---------------------------------------------------------
    // A multi-line editor fills the window: the fixed font, a tab stop every tab_columns
    // characters, both scroll bars, Enter starting a new line. A backend without one keeps the
    // text and selection only. Offsets count bytes of the text.
    virtual int create_edit_pane(int window, int tab_columns);
    virtual bool has_edit_pane(int window) const;
    virtual int set_edit_text(int window, std::string_view text);
    virtual int append_edit_text(int window, std::string_view text);
    virtual std::string edit_text(int window) const;
    virtual int set_edit_selection(int window, int start, int end);
    virtual std::pair<int, int> edit_selection(int window) const;  // start == end: none
    virtual bool edit_can_undo(int window) const;

    // --- editing commands of the edit pane and its small text dialogs -----------------------
    // Replaces the selection by text and leaves the caret after it, as one undoable edit.
    virtual int replace_edit_selection(int window, std::string_view text);
    // Takes back the last edit (kUiBadArgument when there is none to take back).
    virtual int edit_undo(int window);
    // The line (from 0) shown at the top of the editor.
    virtual int set_edit_top_line(int window, int line);
    virtual int edit_top_line(int window) const;
    // The modified mark: set by every edit, cleared by a new text or on request.
    virtual int set_edit_modified(int window, bool modified);
    virtual bool edit_modified(int window) const;
    virtual void focus_edit_pane(int window);
    // A modal dialog of labelled text fields with OK, the extra buttons and Cancel; the frame
    // takes no input while it shows. values come in as presets and go out as entered, each at
    // most max_length characters; button tells which was pressed (0 OK, k the extra button
    // k). A backend without dialogs answers cancelled.
    struct TextFieldsDialog {
        int id = 0;
        std::string title;
        std::vector<std::string> labels;
        std::vector<std::string> values;
        std::vector<std::string> buttons;
        int max_length = 80;
        int button = 0;
    };
    virtual DialogResult text_fields_dialog(TextFieldsDialog& dialog);

    // A window's tracking limits (a zero size: no limit).
    virtual int set_size_limits(int window, Size minimum, Size maximum);

    // Commands every child window's system menu ends with, after a separator. They are the
    // program's, not the window's: choosing one reaches the frame's handler as
    // on_command(window, kSystemMenuCommandBase + id), window telling whose menu it was.
    virtual int set_system_menu_items(const std::vector<MenuEntry>& items);
    const std::vector<MenuEntry>& system_menu_items() const { return system_items_; }

    // The page set-up dialog: margins in hundredths of a millimetre, the printer's name.
    struct PageSetup {
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
        bool landscape = false;
        std::string printer;
        int help_topic = 0;  // the dialog's Help button (0 none)
    };
    virtual DialogResult page_setup_dialog(const std::string& caption, PageSetup& setup);

    // The Cancel box shown while a document prints, the frame taking no input meanwhile.
    virtual int open_print_cancel_box(std::string_view title, std::string_view text);
    virtual void set_print_cancel_text(std::string_view text);
    // Handles what is pending; true once Cancel was pressed.
    virtual bool print_cancel_requested();
    virtual void close_print_cancel_box();

    // Lines up the minimised children along the bottom of the MDI area.
    virtual void arrange_icons();
    // The shown child windows of the frame side by side (tile) or stepped from its top left
    // corner (cascade), all inside the frame's client area.
    virtual void tile_windows();
    virtual void cascade_windows();

    // --- strips of child windows; printing a selection -----------------------------------
    // A strip `height` pixels high across the top of a child window, above what the window
    // shows; the window's tool buttons (add_tool_button) stand in it, each press reaching the
    // window's own handler as on_command(window, id). A button whose x is negative stands -x
    // pixels from the strip's right edge and keeps that distance when the window is resized.
    // Making it again only changes its height. kUiBadWindow for the frame (its toolbar is a
    // strip of its own), a missing window or a backend without child strips.
    virtual int create_tool_strip(int window, int height);
    // 0 while the window has none.
    virtual int tool_strip_height(int window) const;
    // As start_print, the print dialog (when the request asks for one) also offering to print
    // only the selected text; *selection_only says whether the user chose that. A backend
    // whose dialog has no such choice answers as start_print, selection_only false.
    virtual std::unique_ptr<PrintJob> start_print_offering_selection(const PrintRequest& request,
                                                                     DialogResult* result,
                                                                     bool* selection_only);
    // --- the command line's caret and selection; reading a named clipboard format ----------
    // Offsets count bytes of the command line's text; start == end is the caret alone. Setting
    // clamps both into the text; the caret stands at end.
    virtual int set_command_line_selection(int start, int end);
    virtual std::pair<int, int> command_line_selection() const;
    void select_all_command_line() {
        set_command_line_selection(0, static_cast<int>(command_line_text().size()));
    }
    // The bytes the clipboard holds under a MIME type: true with them, false when it holds
    // nothing of that type or cannot be had.
    virtual bool clipboard_data(std::string_view mime_type, std::vector<std::uint8_t>& bytes) const;
    // --- pictures drawn off-screen ---------------------------------------------------------
    // Written for any window with a drawing surface, not for graphics windows only.
    // Copies a picture (width x height colours, top row first) into the window's drawing
    // surface with its top-left corner at `at`, clipped to the surface; it shows at the next
    // event or update_now(). kUiBadWindow for a window without a surface, kUiBadArgument when
    // the pixels do not match the size. The default sets the pixels one by one.
    virtual int copy_picture(int window, Point at, const SplashPicture& picture);
    // An off-screen picture of the given size that draws exactly as window surfaces do, or null
    // from a backend without one (callers then draw a picture of their own for copy_picture).
    virtual std::unique_ptr<DeviceContext> create_offscreen(Size size);
    // Copies a picture made by create_offscreen into the window's surface at `at`.
    // kUiBadArgument for any other device context.
    virtual int copy_offscreen(int window, Point at, DeviceContext& picture);
    // The pixels of a window as the screen shows them: with its frame when whole is set, else
    // its drawing surface. kUiBadWindow from a backend without pixels or for a window that
    // does not exist.
    virtual int grab_window(int window, bool whole, SplashPicture& picture);
    // What is known of the printer a print job prints on, as the step-mode report lists it
    // (numbers a backend cannot know stay 0).
    struct PrinterCapabilities {
        int driver_version = 0;
        int technology = 2;  // a raster printer; 0 a plotter
        unsigned raster_caps = 0;
        unsigned line_caps = 0;
        bool wide_lines = true;
        bool styled_lines = true;
        bool wide_styled_lines = true;
        std::vector<Colour> colour_table;
        int palette_size = 0;
        int margins[4] = {};  // left, top, right, bottom in printer pixels
        int dots_per_inch = 0;
        bool landscape = false;
    };
    // The default knows the job's resolution only.
    virtual PrinterCapabilities printer_capabilities(const PrintJob& job) const;
    // A line of text in a strip along the bottom of a child window (several lines split at
    // '\n'), made with the first text. kUiBadWindow for a window that does not exist.
    virtual int set_window_label(int window, std::string_view text);
    std::string window_label(int window) const;

    // --- panes inside a numbered window ---------------------------------------------------
    // A pane is a drawing surface of its own inside a child window (a list or a grid beside
    // the window's own surface), known by a surface number from kPaneFirst on.
    // device_context, invalidate, set_scroll_info, set_timer, kill_timer, capture_mouse and
    // grab_window take it as they take a window number; window_exists tells whether it was
    // made and window_visible follows its window. Its events reach the handler given here,
    // under its number (keys only where the backend lets a pane have them: Qt leaves them to
    // the command line). A pane goes when its window goes.
    static constexpr int kPaneFirst = kWindowCount;
    static constexpr int kPaneCount = 4;
    static bool is_pane(int n) { return n >= kPaneFirst && n < kPaneFirst + kPaneCount; }
    // kUiBadWindow for a missing window, a number that is no pane's or a backend without
    // panes; kUiWindowExists when the pane was made already. vertical_bar gives the pane a
    // scroll bar of its own at its right edge.
    virtual int create_pane(int window, int pane, bool vertical_bar, WindowHandler* handler);
    int pane_window(int pane) const;  // the window that holds the pane; -1 when none
    // A window's client area in three bands, following its size: on top (top_height high) the
    // window's own surface with the label under it (label_height) and the side pane at the
    // right (side_width wide); in the middle the window's tool strip (strip_height); below,
    // the bottom pane takes what is left. A missing pane (-1) leaves its place empty.
    struct BandLayout {
        int top_height = 0;
        int side_pane = -1;
        int side_width = 0;
        int label_height = 0;
        int strip_height = 0;
        int bottom_pane = -1;
    };
    struct BandRects {
        Rect surface, label, side, strip, bottom;
    };
    // Where the parts stand in a client area of that size (sizes never below 0).
    static BandRects band_rects(Size client, const BandLayout& layout);
    // kUiBadWindow for a missing window or a backend without panes.
    virtual int set_band_layout(int window, const BandLayout& layout);

protected:
    std::array<int, kPaneCount> pane_windows_{-1, -1, -1, -1};

public:
private:
    std::pair<int, int> command_line_selection_{0, 0};
    int mouse_capture_ = -1;
    Cursor cursor_ = Cursor::arrow;
    std::map<int, std::string> window_labels_;
    std::vector<ClipboardItem> clipboard_items_;
    struct EditPane {
        std::string text;
        int start = 0;
        int end = 0;
        bool can_undo = false;
        bool modified = false;
        int top_line = 0;
        std::string undo_text;  // the text before the last edit
    };
    std::map<int, EditPane> edit_panes_;
    std::vector<MenuEntry> system_items_;
    int choice_selection_ = -1;
    MenuEntry* find_command_entry(int menu, int id);
    void notify_menu(int menu);
    std::map<int, std::vector<MenuEntry>> menus_;
    std::map<int, int> menu_bars_;
    int next_menu_ = 1;
    KeyHook key_hook_ = nullptr;
    CommandKeyHook command_key_hook_ = nullptr;
    std::map<std::pair<int, int>, ScrollInfo> scroll_infos_;
    std::map<int, bool> maximised_;
    std::map<int, bool> close_disabled_;
};

// ---------------------------------------------------------------------------------------------
// Choosing and reaching the backend.

enum class UiKind { console, qt };

// TAVO_UI=console, or no display reachable (no DISPLAY, no WAYLAND_DISPLAY and no
// QT_QPA_PLATFORM), or a build without Qt gives the console; otherwise Qt. Null pointers stand
// for unset variables; empty values count as unset.
UiKind choose_ui_kind(const char* tavo_ui, const char* display, const char* wayland_display,
                      const char* qt_platform, bool have_qt);
// The same, from the process environment.
UiKind choose_ui_kind_from_environment(bool have_qt);

// The backend the program uses; set once by main (tests may set their own). ui() must not be
// called before one is set.
void set_current_ui(UiBackend* backend);
UiBackend* current_ui();

// The one rule of every question the program asks (message boxes, parameter prompts, the
// answers of dialogs): a line that is not an answer is refused with a message and the question
// asked again. A user at the screen is asked until they answer or cancel; a script is asked
// once more only, and its second refusal takes the harmless answer (Cancel, No, or no value,
// which cancels the command), so that the lines after it still run.
class AnswerRefusals {
public:
    explicit AnswerRefusals(const UiBackend* ui = current_ui())
        : from_script_(ui == nullptr || ui->answers_from_script()) {}
    // Counts one refusal: true when the question is asked again, false when it takes the
    // harmless answer.
    bool ask_again() { return !from_script_ || ++refused_ < 2; }

private:
    bool from_script_;
    int refused_ = 0;
};
UiBackend& ui();

// Clipboard formats of the program's own data: a name gets a number of its own for the whole run
// (the same number for the same name, without regard to case), from 0xC000 on as the program
// has always numbered them; 0 for an empty name.
int register_clipboard_format(std::string_view name);
// The MIME type that carries the registered surface-data format ("TAVO Surface Data": the
// surfaces' command lines, each followed by ';') on the clipboard; writer and reader share it.
inline constexpr char kSurfaceClipboardMime[] = "application/x-tavo-surface-data";

// Told when the user changes the command line's text or moves its caret (the program's own
// changes may tell it too); one listener for the whole run, whichever backend runs.
using CommandLineListener = void (*)();
void set_command_line_listener(CommandLineListener listener);
void notify_command_line_edited();

}  // namespace platform
