#include "platform/qt/qt_backend.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "platform/locale.h"
#include "platform/qt/qt_drawing.h"
#include "platform/qt/qt_help.h"
#include "platform/qt/qt_printing.h"

namespace platform {

namespace {

using qt::DrawingSurface;

// The command line holds this many characters.
constexpr int kCommandLineLimit = 256;

QString to_qstring(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A title with the place where Qt shows the modified mark.
QString with_modified_mark(const QString& title) {
    return title.contains("[*]") ? title : title + "[*]";
}

// Windows whose surface shows lines of a text area, with the area's scroll bars beside it.
bool has_scroll_bars(int window) {
    return is_text_window(window) || window == kWindowSpreadsheet || window == kWindowList;
}

ScrollAction to_scroll_action(int action, bool* known) {
    *known = true;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            return ScrollAction::line_up;
        case QAbstractSlider::SliderSingleStepAdd:
            return ScrollAction::line_down;
        case QAbstractSlider::SliderPageStepSub:
            return ScrollAction::page_up;
        case QAbstractSlider::SliderPageStepAdd:
            return ScrollAction::page_down;
        case QAbstractSlider::SliderToMinimum:
            return ScrollAction::top;
        case QAbstractSlider::SliderToMaximum:
            return ScrollAction::bottom;
        case QAbstractSlider::SliderMove:
            return ScrollAction::track;
        default:
            *known = false;
            return ScrollAction::line_down;
    }
}

// The control window (the sliders) is an MDI child like the graphics windows it steers: a
// window owned by the frame would stay above it and cover its toolbar and the children.
bool is_popup_window(int window) {
    return window == kWindowList || window == kWindowEdit || window == kWindowGraphicsText;
}

class QtBackend;

// The strip across the top of a child window: buttons at their own places (a negative place
// counts from the right edge), a highlight line along the top and a shadow line along the
// bottom.
class ToolStrip : public QWidget {
public:
    explicit ToolStrip(int height) {
        setObjectName("tavo_strip");
        setFixedHeight(height);
        setAutoFillBackground(true);
        setBackgroundRole(QPalette::Button);
    }
    void add(QToolButton* button, int x) {
        places_.push_back({button, x});
        place(places_.back());
    }
    void clear() {
        for (const Place& p : places_) delete p.button;
        places_.clear();
    }

protected:
    void resizeEvent(QResizeEvent*) override {
        for (const Place& p : places_) place(p);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(0, 0, width() - 1, 0);
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawLine(0, height() - 1, width() - 1, height() - 1);
    }

private:
    struct Place {
        QToolButton* button;
        int x;
    };
    void place(const Place& p) {
        const QSize size = p.button->size();
        const int x = p.x < 0 ? width() + p.x : p.x;
        p.button->move(x, std::max(0, (height() - size.height()) / 2));
    }
    std::vector<Place> places_;
};

// A window's client area in bands: each part stands where band_rects puts it, again at every
// resize.
class BandBox : public QWidget {
public:
    explicit BandBox(const UiBackend::BandLayout& layout) : layout_(layout) {
        setObjectName("tavo_bands");
    }
    void set_layout(const UiBackend::BandLayout& layout) {
        layout_ = layout;
        place();
    }
    QWidget* surface = nullptr;
    QWidget* label = nullptr;
    QWidget* side = nullptr;
    QWidget* strip = nullptr;
    QWidget* bottom = nullptr;
    void place() {
        const UiBackend::BandRects r = UiBackend::band_rects({width(), height()}, layout_);
        const auto put = [](QWidget* w, const Rect& rect) {
            if (w != nullptr) {
                w->setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
            }
        };
        put(surface, r.surface);
        put(label, r.label);
        put(side, r.side);
        put(strip, r.strip);
        put(bottom, r.bottom);
    }

protected:
    void resizeEvent(QResizeEvent*) override { place(); }

private:
    UiBackend::BandLayout layout_;
};

// The picture of a tool button: its pixels, on the light grey of a button where it has none.
QIcon tool_icon(const ToolButton& button) {
    QImage image(std::max(button.width, 1), std::max(button.height, 1), QImage::Format_RGB32);
    image.fill(Qt::lightGray);
    for (int y = 0; y < button.height; ++y) {
        for (int x = 0; x < button.width; ++x) {
            const Colour c = button.pixels[static_cast<std::size_t>(y) * button.width + x];
            image.setPixel(x, y, qRgb(c.red, c.green, c.blue));
        }
    }
    return QIcon(QPixmap::fromImage(image));
}

// Sees every event of the application: close and move requests of our windows go to their
// handlers, and while the Escape poll runs, key input is swallowed.
class EventFilter : public QObject {
public:
    explicit EventFilter(QtBackend& backend) : backend_(backend) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QtBackend& backend_;
};

class QtBackend : public UiBackend {
public:
    QtBackend(int& argc, char** argv);
    ~QtBackend() override;

    const char* name() const override { return "qt"; }

    int create_frame(std::string_view title, WindowHandler* handler) override;
    void set_frame_title(std::string_view title) override;
    int create_window(int window, std::string_view title, WindowHandler* handler) override;
    int destroy_window(int window) override;
    bool window_exists(int window) const override;
    int show_window(int window, bool visible) override;
    bool window_visible(int window) const override;
    int set_window_title(int window, std::string_view title) override;
    int activate_window(int window) override;
    std::string shown_title(int window) const override;
    int active_window() const override { return active_; }

    DeviceContext* device_context(int window) override;
    int invalidate(int window) override;

    int add_text_line(int window, std::string_view line) override;
    int clear_text(int window) override;

    void set_status_text(std::string_view text) override;
    std::string status_text() const override;

    bool take_command_line(std::string& line) override;
    void set_command_line_text(std::string_view text) override;
    std::string command_line_text() const override;
    int set_command_line_selection(int start, int end) override;
    std::pair<int, int> command_line_selection() const override;
    bool clipboard_data(std::string_view mime_type,
                        std::vector<std::uint8_t>& bytes) const override;
    bool input_ended() const override { return false; }

    MessageAnswer message_box(const MessageBoxRequest& request) override;
    void beep() override { QApplication::beep(); }

    int set_timer(int window, int timer_id, int interval_ms) override;
    int kill_timer(int window, int timer_id) override;

    bool process_one_event(bool wait) override;
    bool poll_escape() override;
    void update_now() override;

    void set_clipboard_text(std::string_view text) override;
    int set_clipboard_items(std::vector<ClipboardItem> items) override;
    std::string clipboard_text() const override;

    void menu_bar_changed(int window) override;
    int listen_for_text(const std::string& path, ExternalTextHandler on_text) override;
    int set_close_enabled(int window, bool enabled) override;
    int set_scroll_info(int window, ScrollBar bar, const ScrollInfo& info) override;
    int set_window_maximised(int window, bool maximised) override;
    int open_about(const SplashPicture& picture, std::string_view text, Point at) override;
    bool about_open() const override { return about_ != nullptr; }
    bool show_help_page(const std::string& path, const std::string& anchor) override {
        return qt::show_help_browser(frame_, path, anchor);
    }
    void close_about();
    std::unique_ptr<PrintJob> start_print(const PrintRequest& request,
                                          DialogResult* result) override {
        return qt::start_qt_print(request, frame_, result);
    }
    std::unique_ptr<PrintJob> start_print_offering_selection(const PrintRequest& request,
                                                             DialogResult* result,
                                                             bool* selection_only) override {
        return qt::start_qt_print(request, frame_, result, selection_only);
    }
    DialogResult file_dialog(FileDialogRequest& request) override;
    DialogResult font_dialog(const std::string& caption, FontDescription& font) override;

    bool frame_closed() const override { return frame_closed_; }
    void close_frame() override;

    // The frame's strip is a QToolBar of tool buttons named "tavo_tool_<id>"; a child window's
    // is a ToolStrip ("tavo_strip_<window>") of buttons "tavo_tool_<window>_<id>".
    int add_tool_button(int window, const ToolButton& button) override;
    int clear_tool_strip(int window) override;
    int enable_tool_button(int window, int id, bool enabled) override;
    bool tool_button_enabled(int window, int id) const override;
    int create_tool_strip(int window, int height) override;
    int tool_strip_height(int window) const override;
    Colour system_colour(SystemColour which) const override;

    void show_choice_list(const std::vector<std::string>& items, int selected) override;
    void hide_choice_list() override;
    void set_choice_list_size(Size client) override;
    void select_choice_item(int index) override;
    int selected_choice_item() const override {
        return choice_list_ != nullptr ? choice_list_->currentRow() : -1;
    }
    int track_popup_menu(int menu, int window, Point at, bool right_button) override;

    int create_edit_pane(int window, int tab_columns) override;
    bool has_edit_pane(int window) const override {
        return window_exists(window) && slots_[window].editor != nullptr;
    }
    int set_edit_text(int window, std::string_view text) override;
    int append_edit_text(int window, std::string_view text) override;
    std::string edit_text(int window) const override;
    int set_edit_selection(int window, int start, int end) override;
    std::pair<int, int> edit_selection(int window) const override;
    bool edit_can_undo(int window) const override;
    int replace_edit_selection(int window, std::string_view text) override;
    int edit_undo(int window) override;
    int set_edit_top_line(int window, int line) override;
    int edit_top_line(int window) const override;
    int set_edit_modified(int window, bool modified) override;
    bool edit_modified(int window) const override;
    void focus_edit_pane(int window) override;
    DialogResult text_fields_dialog(TextFieldsDialog& dialog) override;
    int set_size_limits(int window, Size minimum, Size maximum) override;
    int set_system_menu_items(const std::vector<MenuEntry>& items) override;
    DialogResult page_setup_dialog(const std::string& caption, PageSetup& setup) override {
        return qt::page_setup_dialog(caption, setup, frame_);
    }
    int open_print_cancel_box(std::string_view title, std::string_view text) override;
    void set_print_cancel_text(std::string_view text) override;
    bool print_cancel_requested() override;
    void close_print_cancel_box() override;
    void arrange_icons() override;
    void tile_windows() override;
    void cascade_windows() override;
    void set_command_history(const std::vector<std::string>& newest_first) override;

    int set_window_rect(int window, Rect outer) override;
    Rect window_rect(int window) const override;
    Size screen_size() const override;
    Size mdi_client_size() const override;

    // A top-level label named "tavo_splash".
    int open_splash(const SplashPicture& picture) override;
    void close_splash() override;
    bool splash_open() const override { return splash_ != nullptr; }

    // From the event filter: true when the event was taken.
    bool filter(QObject* watched, QEvent* event);

    // --- pictures drawn off-screen, cursor shapes and mouse capture -------------------------
    int copy_picture(int window, Point at, const SplashPicture& picture) override;
    std::unique_ptr<DeviceContext> create_offscreen(Size size) override;
    int copy_offscreen(int window, Point at, DeviceContext& picture) override;
    int grab_window(int window, bool whole, SplashPicture& picture) override;
    // The vertical box of a child window's content, made on first use.
    QVBoxLayout* child_box(int window);
    int set_window_label(int window, std::string_view text) override;
    int create_pane(int window, int pane, bool vertical_bar, WindowHandler* handler) override;
    int set_band_layout(int window, const BandLayout& layout) override;
    std::map<int, QVBoxLayout*> child_boxes_;
    std::map<int, QLabel*> child_labels_;
    PrinterCapabilities printer_capabilities(const PrintJob& job) const override {
        PrinterCapabilities caps = UiBackend::printer_capabilities(job);
        qt::describe_qt_printer(job, caps);
        return caps;
    }
    // The shape is the application's override cursor, so it holds over every window until
    // the arrow is asked for again.
    void set_cursor(Cursor cursor) override;
    // The drawing surface grabs the pointer: every mouse event goes to it until released.
    int capture_mouse(int window) override;
    void release_mouse() override;

private:
    // One row of the window table: the widgets of window n and its handler.
    struct Slot {
        QWidget* outer = nullptr;      // frame, MDI sub-window or owned popup
        QMdiSubWindow* sub = nullptr;  // MDI children only
        DrawingSurface* surface = nullptr;
        QScrollBar* bars[2] = {nullptr, nullptr};  // horizontal, vertical
        QPlainTextEdit* editor = nullptr;          // the edit window's editor
        QMenuBar* menu_bar = nullptr;              // popups with a menu of their own
        WindowHandler* handler = nullptr;
        ToolStrip* strip = nullptr;  // child windows with a strip
        std::map<int, QToolButton*> strip_buttons;
    };

    int add_strip_button(int window, const ToolButton& button);
    int window_of(const QObject* object) const;
    // The numbered window a widget lies in (the frame for none).
    int window_holding(const QWidget* widget) const;
    void request_close(int window);
    void fill_qmenu(QMenu* target, int window, int menu);
    void sub_window_activated(QMdiSubWindow* sub);
    void command_line_entered();
    void keys_to_command_line_after_click(int window, const MouseEvent& e);
    void place_inside_area(int window);
    bool recall_history(const QKeyEvent& key);

    std::unique_ptr<QApplication> own_app_;
    std::unique_ptr<EventFilter> filter_;
    std::array<Slot, kWindowCount + kPaneCount> slots_;
    std::map<int, class BandBox*> band_boxes_;
    QMainWindow* frame_ = nullptr;  // owned by frame_owner_
    std::unique_ptr<QMainWindow> frame_owner_;
    QMdiArea* mdi_ = nullptr;
    QComboBox* command_line_ = nullptr;
    int history_position_ = -1;  // the drop-down entry Up and Down last recalled; -1 none
    QLabel* status_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    std::map<int, QToolButton*> tool_buttons_;
    QWidget* choice_window_ = nullptr;  // owned by the frame
    QListWidget* choice_list_ = nullptr;
    bool filling_choices_ = false;
    QWidget* cancel_box_ = nullptr;  // top-level while a document prints
    QLabel* cancel_text_ = nullptr;
    bool cancel_pressed_ = false;
    void add_system_items(int window);
    QLabel* splash_ = nullptr;  // top-level, owned here
    QLabel* about_ = nullptr;   // top-level, owned here
    std::unique_ptr<QLocalServer> text_server_;
    std::deque<std::string> entered_lines_;
    std::map<std::pair<int, int>, QTimer*> timers_;
    std::string clipboard_;
    int active_ = -1;
    bool frame_closed_ = false;
    bool polling_escape_ = false;
    bool escape_seen_ = false;
};

bool EventFilter::eventFilter(QObject* watched, QEvent* event) {
    return backend_.filter(watched, event) || QObject::eventFilter(watched, event);
}

QtBackend::QtBackend(int& argc, char** argv) {
    if (QApplication::instance() == nullptr) own_app_ = std::make_unique<QApplication>(argc, argv);
    force_c_numeric_locale();
    QApplication::setQuitOnLastWindowClosed(false);
    filter_ = std::make_unique<EventFilter>(*this);
    qApp->installEventFilter(filter_.get());
}

QtBackend::~QtBackend() {
    qApp->removeEventFilter(filter_.get());
    // Windows closed from their own events (the splash, About) were left to the event loop to
    // delete; no loop may run after this.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete splash_;
    delete about_;
    delete cancel_box_;
    for (auto& [key, timer] : timers_) delete timer;
    // Children of the frame go with it; owned popups are deleted first.
    for (int n = kWindowCount - 1; n > 0; --n) {
        if (slots_[n].outer != nullptr && slots_[n].sub == nullptr) delete slots_[n].outer;
    }
    frame_owner_.reset();
}

// --- window table ----------------------------------------------------------------------------

int QtBackend::window_of(const QObject* object) const {
    for (int n = 0; n < kWindowCount; ++n) {
        if (slots_[n].outer != nullptr && slots_[n].outer == object) return n;
    }
    return -1;
}

int QtBackend::window_holding(const QWidget* widget) const {
    for (; widget != nullptr; widget = widget->parentWidget()) {
        if (const int window = window_of(widget); window >= 0) return window;
    }
    return kWindowFrame;
}

int QtBackend::create_frame(std::string_view title, WindowHandler* handler) {
    if (frame_ != nullptr) return kUiWindowExists;
    frame_owner_ = std::make_unique<QMainWindow>();
    frame_ = frame_owner_.get();
    frame_->setObjectName("tavo_window_0");
    frame_->setWindowTitle(to_qstring(title));

    auto* central = new QWidget(frame_);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // The command bar: the command-line combo box and the status field.
    auto* bar = new QWidget(central);
    auto* bar_layout = new QHBoxLayout(bar);
    bar_layout->setContentsMargins(2, 2, 2, 2);
    command_line_ = new QComboBox(bar);
    command_line_->setObjectName("tavo_command_line");
    command_line_->setEditable(true);
    // Entered lines are the program's to keep; the box does not collect them itself.
    command_line_->setInsertPolicy(QComboBox::NoInsert);
    // Nor does it complete a line from them as it is typed: Return would take the completion
    // and "a = 7" would not run, or run as an earlier "a = 777".
    command_line_->setCompleter(nullptr);
    command_line_->lineEdit()->setMaxLength(kCommandLineLimit);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    command_line_->setFont(fixed);
    command_line_->setMinimumContentsLength(32);
    QObject::connect(command_line_->lineEdit(), &QLineEdit::returnPressed,
                     [this] { command_line_entered(); });
    QObject::connect(command_line_->lineEdit(), &QLineEdit::textEdited,
                     [](const QString&) { notify_command_line_edited(); });
    QObject::connect(command_line_->lineEdit(), &QLineEdit::cursorPositionChanged,
                     [](int, int) { notify_command_line_edited(); });
    status_ = new QLabel(" ", bar);
    status_->setObjectName("tavo_status");
    bar_layout->addWidget(command_line_);
    bar_layout->addWidget(status_, 1);
    layout->addWidget(bar);

    mdi_ = new QMdiArea(central);
    mdi_->setObjectName("tavo_mdi");
    QObject::connect(mdi_, &QMdiArea::subWindowActivated,
                     [this](QMdiSubWindow* sub) { sub_window_activated(sub); });
    layout->addWidget(mdi_, 1);
    frame_->setCentralWidget(central);
    // Without a stored placement the frame fills the screen's work area: 640 x 350 has no room
    // for the bars and a text window.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        frame_->setGeometry(screen->availableGeometry());
    } else {
        frame_->resize(640, 350);
    }

    slots_[kWindowFrame] = Slot{};
    slots_[kWindowFrame].outer = frame_;
    slots_[kWindowFrame].handler = handler;
    frame_closed_ = false;
    frame_->show();
    command_line_->setFocus();
    return 0;
}

void QtBackend::set_frame_title(std::string_view title) {
    if (frame_ != nullptr) frame_->setWindowTitle(to_qstring(title));
}

int QtBackend::create_window(int window, std::string_view title, WindowHandler* handler) {
    if (!is_valid_window(window) || window == kWindowFrame) return kUiBadWindow;
    if (frame_ == nullptr) return kUiNoFrame;
    if (slots_[window].outer != nullptr) return kUiWindowExists;

    Slot slot;
    slot.handler = handler;
    QWidget* content = nullptr;
    {
        qt::SurfaceEvents events;
        events.resized = [this, window](Size size) {
            if (WindowHandler* h = slots_[window].handler) h->on_size(window, size);
        };
        events.repaint = [this, window](DeviceContext& dc) {
            if (WindowHandler* h = slots_[window].handler) h->on_paint(window, dc);
        };
        events.key = [this, window](const KeyEvent& e) {
            if (WindowHandler* h = slots_[window].handler) h->on_key(window, e);
        };
        events.mouse = [this, window](const MouseEvent& e) {
            if (WindowHandler* h = slots_[window].handler) h->on_mouse(window, e);
            keys_to_command_line_after_click(window, e);
        };
        if (has_scroll_bars(window)) {
            // Three lines a notch, as the window's own bar would scroll them.
            events.wheel = [this, window](int notches) {
                WindowHandler* h = slots_[window].handler;
                ScrollEvent e;
                e.bar = ScrollBar::vertical;
                e.action = notches > 0 ? ScrollAction::line_up : ScrollAction::line_down;
                for (int k = 0; h != nullptr && k < 3 * std::abs(notches); ++k) {
                    h->on_scroll(window, e);
                }
            };
        }
        slot.surface = new DrawingSurface(std::move(events), nullptr);
        // A text window only shows lines, a graphics window a picture: showing one or a click
        // on it leaves the keys to the command line.
        if (has_scroll_bars(window) || is_graphics_window(window)) {
            slot.surface->setFocusPolicy(Qt::NoFocus);
        }
        content = slot.surface;
    }
    content->setObjectName(QString("tavo_surface_%1").arg(window));
    if (has_scroll_bars(window)) {
        // The surface with the window's own bars at its right and bottom edges.
        auto* box = new QWidget;
        auto* grid = new QGridLayout(box);
        grid->setContentsMargins(0, 0, 0, 0);
        grid->setSpacing(0);
        grid->addWidget(content, 0, 0);
        for (int b = 0; b < 2; ++b) {
            const ScrollBar which = b == 0 ? ScrollBar::horizontal : ScrollBar::vertical;
            auto* bar = new QScrollBar(b == 0 ? Qt::Horizontal : Qt::Vertical, box);
            bar->setObjectName(QString(b == 0 ? "tavo_hscroll_%1" : "tavo_vscroll_%1").arg(window));
            bar->setRange(0, 0);
            QObject::connect(bar, &QAbstractSlider::actionTriggered,
                             [this, window, which, bar](int a) {
                                 bool known = false;
                                 ScrollEvent e;
                                 e.bar = which;
                                 e.action = to_scroll_action(a, &known);
                                 e.position = bar->sliderPosition();
                                 WindowHandler* h = slots_[window].handler;
                                 if (known && h != nullptr) h->on_scroll(window, e);
                             });
            if (b == 0) {
                grid->addWidget(bar, 1, 0);
            } else {
                grid->addWidget(bar, 0, 1);
            }
            slot.bars[b] = bar;
        }
        content = box;
    }

    if (is_popup_window(window)) {
        // Owned by the frame: stays above it, outside the MDI area.
        auto* popup = new QWidget(frame_, Qt::Tool);
        auto* layout = new QVBoxLayout(popup);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(content);
        popup->resize(200, 150);
        slot.outer = popup;
    } else {
        slot.sub = new QMdiSubWindow;
        slot.sub->setAttribute(Qt::WA_DeleteOnClose, false);
        slot.sub->setWidget(content);
        mdi_->addSubWindow(slot.sub);
        slot.sub->resize(480, 360);
        slot.outer = slot.sub;
    }
    slot.outer->setObjectName(QString("tavo_window_%1").arg(window));
    slot.outer->setWindowTitle(to_qstring(title));
    slots_[window] = slot;
    add_system_items(window);
    slot.outer->show();
    return 0;
}

int QtBackend::destroy_window(int window) {
    if (!window_exists(window) || window == kWindowFrame || is_pane(window)) return kUiBadWindow;
    // Its panes are children of its widgets and go with them.
    for (int pane = kPaneFirst; pane < kPaneFirst + kPaneCount; ++pane) {
        if (pane_window(pane) != window) continue;
        pane_windows_[static_cast<std::size_t>(pane - kPaneFirst)] = -1;
        slots_[pane] = Slot{};
        for (auto it = timers_.begin(); it != timers_.end();) {
            if (it->first.first == pane) {
                it->second->deleteLater();
                it = timers_.erase(it);
            } else {
                ++it;
            }
        }
    }
    band_boxes_.erase(window);
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->first.first == window) {
            it->second->deleteLater();
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
    Slot slot = slots_[window];
    slots_[window] = Slot{};
    child_boxes_.erase(window);
    child_labels_.erase(window);
    if (slot.outer == choice_window_) {
        choice_window_ = nullptr;
        choice_list_ = nullptr;
    }
    if (active_ == window) active_ = -1;
    if (slot.sub != nullptr) mdi_->removeSubWindow(slot.sub);
    delete slot.outer;
    return 0;
}

bool QtBackend::window_exists(int window) const {
    return (is_valid_window(window) || is_pane(window)) && slots_[window].outer != nullptr;
}

int QtBackend::show_window(int window, bool visible) {
    if (!window_exists(window) || is_pane(window)) return kUiBadWindow;
    const bool was_hidden = !slots_[window].outer->isVisible();
    slots_[window].outer->setVisible(visible);
    if (visible && was_hidden) place_inside_area(window);
    return 0;
}

// A window coming into view lies where the user can reach it: an MDI child inside the MDI
// area, a window of its own inside the screen's free area. It moves as little as needed; one
// larger than the area keeps its size with its top left corner (and title bar) inside.
void QtBackend::place_inside_area(int window) {
    if (window == kWindowFrame || !window_exists(window)) return;
    QWidget* w = slots_[window].outer;
    QRect area;
    if (slots_[window].sub != nullptr) {
        if (mdi_ == nullptr) return;
        area = QRect(QPoint(0, 0), mdi_->viewport()->size());
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    if (area.isEmpty()) return;
    const QRect r = w->frameGeometry();
    const int x = std::max(area.left(), std::min(r.left(), area.right() + 1 - r.width()));
    const int y = std::max(area.top(), std::min(r.top(), area.bottom() + 1 - r.height()));
    if (x != r.left() || y != r.top()) w->move(x, y);
}

std::string QtBackend::shown_title(int window) const {
    if (!window_exists(window) || is_pane(window)) return {};
    return slots_[window].outer->windowTitle().toStdString();
}

void QtBackend::tile_windows() {
    if (mdi_ != nullptr) mdi_->tileSubWindows();
}

void QtBackend::cascade_windows() {
    if (mdi_ != nullptr) mdi_->cascadeSubWindows();
}

bool QtBackend::window_visible(int window) const {
    return window_exists(window) && slots_[window].outer->isVisible();
}

int QtBackend::set_window_title(int window, std::string_view title) {
    if (!window_exists(window)) return kUiBadWindow;
    const QString text = to_qstring(title);
    slots_[window].outer->setWindowTitle(has_edit_pane(window) ? with_modified_mark(text) : text);
    return 0;
}

int QtBackend::activate_window(int window) {
    if (!window_exists(window) || window == kWindowFrame || is_pane(window)) return kUiBadWindow;
    Slot& slot = slots_[window];
    const bool was_hidden = !slot.outer->isVisible();
    slot.outer->show();
    if (was_hidden) place_inside_area(window);
    if (slot.sub != nullptr) {
        mdi_->setActiveSubWindow(slot.sub);
        // Showing a child gives it the keyboard; typing goes on in the command line all the
        // same, except in the edit window, which is typed into.
        if (window != kWindowEdit && command_line_ != nullptr) command_line_->setFocus();
    } else {
        slot.outer->raise();
        slot.outer->activateWindow();
    }
    // The MDI area reports activation only when it changes and only while the frame is
    // active; make the change known either way.
    if (active_ != window) {
        const int previous = active_;
        active_ = window;
        if (previous >= 0 && slots_[previous].handler != nullptr) {
            slots_[previous].handler->on_activate(previous, false);
        }
        if (slot.handler != nullptr) slot.handler->on_activate(window, true);
    }
    return 0;
}

bool QtBackend::recall_history(const QKeyEvent& key) {
    // Up and Down step through the lines typed before, newest first, as the drop-down lists
    // them; Down past the newest gives an empty line. The spreadsheet keeps its arrow keys.
    if ((key.key() != Qt::Key_Up && key.key() != Qt::Key_Down) ||
        key.modifiers() != Qt::NoModifier || active_ == kWindowSpreadsheet) {
        return false;
    }
    const int count = command_line_->count();
    if (count == 0) return true;
    int at = history_position_;
    at = key.key() == Qt::Key_Up ? std::min(at + 1, count - 1) : at - 1;
    if (at < 0) {
        history_position_ = -1;
        command_line_->setEditText(QString());
        return true;
    }
    history_position_ = at;
    command_line_->setEditText(command_line_->itemText(at));
    command_line_->lineEdit()->end(false);
    return true;
}

void QtBackend::keys_to_command_line_after_click(int window, const MouseEvent& e) {
    // A click on a window that only shows lines or cells (a text window, a sheet) hands the
    // keyboard back to the command line, where the chosen cell's value is edited. Without
    // this the window frame around the surface takes the focus and typed keys are lost.
    if (e.action != MouseAction::press || command_line_ == nullptr) return;
    if (window < 0 || window >= kWindowCount || slots_[window].surface == nullptr) return;
    if (slots_[window].surface->focusPolicy() != Qt::NoFocus) return;
    command_line_->setFocus(Qt::MouseFocusReason);
}

void QtBackend::sub_window_activated(QMdiSubWindow* sub) {
    if (sub == nullptr) return;
    const int window = window_of(sub);
    // Typing goes on in the command line whichever child came to the front. The child takes
    // the focus itself once it is active (a picture has no widget that would take it), so the
    // command line takes it back afterwards.
    if (window >= 0 && command_line_ != nullptr) {
        command_line_->setFocus();
        QTimer::singleShot(0, command_line_, [this] {
            QWidget* f = QApplication::focusWidget();
            if (f == nullptr || qobject_cast<QMdiSubWindow*>(f) != nullptr) {
                command_line_->setFocus();
            }
        });
    }
    if (window < 0 || window == active_) return;
    const int previous = active_;
    active_ = window;
    if (previous >= 0 && slots_[previous].handler != nullptr) {
        slots_[previous].handler->on_activate(previous, false);
    }
    if (slots_[window].handler != nullptr) slots_[window].handler->on_activate(window, true);
}

DeviceContext* QtBackend::device_context(int window) {
    if (!window_exists(window) || slots_[window].surface == nullptr) return nullptr;
    return &slots_[window].surface->context();
}

int QtBackend::invalidate(int window) {
    if (!window_exists(window) || slots_[window].surface == nullptr) return kUiBadWindow;
    slots_[window].surface->invalidate();
    return 0;
}

// --- text output, status, command line ------------------------------------------------------

// A text window is a surface its text area paints: the backend keeps no lines of its own.
int QtBackend::add_text_line(int window, std::string_view) {
    return window_exists(window) && is_text_window(window) ? 0 : kUiBadWindow;
}

int QtBackend::clear_text(int window) {
    return window_exists(window) && is_text_window(window) ? 0 : kUiBadWindow;
}

int QtBackend::set_window_maximised(int window, bool maximised) {
    const int result = UiBackend::set_window_maximised(window, maximised);
    if (result != 0) return result;
    QWidget* w = slots_[window].outer;
    // Only a shown window changes now; a hidden one keeps the state for when it shows.
    if (!w->isVisible()) return 0;
    if (maximised) {
        w->showMaximized();
    } else if (w->isMaximized()) {
        w->showNormal();
    }
    return 0;
}

int QtBackend::set_scroll_info(int window, ScrollBar bar, const ScrollInfo& info) {
    const int result = UiBackend::set_scroll_info(window, bar, info);
    if (result != 0 || !window_exists(window)) return result;
    QScrollBar* q = slots_[window].bars[bar == ScrollBar::horizontal ? 0 : 1];
    if (q == nullptr) return 0;
    // The range counts thumb positions: the last one shows the final page.
    const int page = std::max(info.page, 1);
    const int top = std::max(info.minimum, info.maximum - page + 1);
    const QSignalBlocker block(q);
    q->setRange(info.minimum, top);
    q->setPageStep(page);
    q->setSingleStep(1);
    q->setValue(std::clamp(info.position, info.minimum, top));
    // A bar with nothing to scroll stays, greyed, so the surface keeps its size.
    q->setEnabled(info.enabled && top > info.minimum);
    return 0;
}

void QtBackend::set_status_text(std::string_view text) {
    if (status_ != nullptr) status_->setText(to_qstring(text));
}

std::string QtBackend::status_text() const {
    return status_ != nullptr ? status_->text().toStdString() : std::string();
}

void QtBackend::command_line_entered() {
    history_position_ = -1;
    const std::string text = command_line_->currentText().toStdString();
    // One Return reaches here twice, the second time with the line already cleared: that
    // empty echo is no line of its own (it would clear a line given back after a mistake).
    if (text.empty() && !entered_lines_.empty()) return;
    entered_lines_.push_back(text);
    command_line_->clearEditText();
}

bool QtBackend::take_command_line(std::string& line) {
    if (entered_lines_.empty()) return false;
    line = std::move(entered_lines_.front());
    entered_lines_.pop_front();
    return true;
}

void QtBackend::set_command_line_text(std::string_view text) {
    if (command_line_ != nullptr) command_line_->setEditText(to_qstring(text));
}

std::string QtBackend::command_line_text() const {
    return command_line_ != nullptr ? command_line_->currentText().toStdString() : std::string();
}

int QtBackend::set_command_line_selection(int start, int end) {
    QLineEdit* edit = command_line_ != nullptr ? command_line_->lineEdit() : nullptr;
    if (edit == nullptr) return UiBackend::set_command_line_selection(start, end);
    const int length = static_cast<int>(edit->text().size());
    start = std::clamp(start, 0, length);
    end = std::clamp(end, 0, length);
    if (start == end) {
        edit->setCursorPosition(end);
    } else {
        // The selection runs from start with the caret at end.
        edit->setSelection(start, end - start);
    }
    return 0;
}

std::pair<int, int> QtBackend::command_line_selection() const {
    QLineEdit* edit = command_line_ != nullptr ? command_line_->lineEdit() : nullptr;
    if (edit == nullptr) return UiBackend::command_line_selection();
    if (!edit->hasSelectedText()) return {edit->cursorPosition(), edit->cursorPosition()};
    const int start = edit->selectionStart();
    const int end = start + static_cast<int>(edit->selectedText().size());
    return edit->cursorPosition() == start ? std::pair{end, start} : std::pair{start, end};
}

bool QtBackend::clipboard_data(std::string_view mime_type, std::vector<std::uint8_t>& bytes) const {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard != nullptr ? clipboard->mimeData() : nullptr;
    const QString type = QString::fromStdString(std::string(mime_type));
    if (data == nullptr || !data->hasFormat(type)) return false;
    const QByteArray raw = data->data(type);
    bytes.assign(reinterpret_cast<const std::uint8_t*>(raw.constData()),
                 reinterpret_cast<const std::uint8_t*>(raw.constData()) + raw.size());
    return true;
}

// --- message boxes ---------------------------------------------------------------------------

MessageAnswer QtBackend::message_box(const MessageBoxRequest& request) {
    QMessageBox box(frame_);
    box.setWindowModality(Qt::ApplicationModal);
    box.setText(to_qstring(request.text));
    box.setWindowTitle(to_qstring(request.title));
    switch (request.icon) {
        case MessageIcon::none:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MessageIcon::information:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageIcon::warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::question:
            box.setIcon(QMessageBox::Question);
            break;
        case MessageIcon::error:
            box.setIcon(QMessageBox::Critical);
            break;
    }
    std::map<QAbstractButton*, MessageAnswer> answers;
    const MessageAnswer preset = default_message_answer(request);
    for (MessageAnswer a : message_answers(request.buttons)) {
        QMessageBox::StandardButton which = QMessageBox::Ok;
        switch (a) {
            case MessageAnswer::ok:
                which = QMessageBox::Ok;
                break;
            case MessageAnswer::cancel:
                which = QMessageBox::Cancel;
                break;
            case MessageAnswer::yes:
                which = QMessageBox::Yes;
                break;
            case MessageAnswer::no:
                which = QMessageBox::No;
                break;
            case MessageAnswer::retry:
                which = QMessageBox::Retry;
                break;
            case MessageAnswer::none:
                continue;
        }
        QPushButton* button = box.addButton(which);
        answers[button] = a;
        if (a == preset) box.setDefaultButton(button);
    }
    box.exec();
    // A box closed without a button (Escape, window close) counts as Cancel where it has one.
    const auto it = answers.find(box.clickedButton());
    if (it != answers.end()) return it->second;
    for (const auto& [button, answer] : answers) {
        if (answer == MessageAnswer::cancel) return answer;
    }
    return preset;
}

// --- timers and events -----------------------------------------------------------------------

int QtBackend::set_timer(int window, int timer_id, int interval_ms) {
    if (!window_exists(window)) return kUiBadWindow;
    if (interval_ms <= 0) return kUiBadArgument;
    QTimer*& timer = timers_[{window, timer_id}];
    if (timer == nullptr) {
        timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [this, window, timer_id] {
            if (WindowHandler* h = slots_[window].handler) h->on_timer(window, timer_id);
        });
    }
    timer->start(interval_ms);
    return 0;
}

int QtBackend::kill_timer(int window, int timer_id) {
    const auto it = timers_.find({window, timer_id});
    if (it == timers_.end()) return kUiBadArgument;
    // The timer may be the one whose handler is running.
    it->second->stop();
    it->second->deleteLater();
    timers_.erase(it);
    return 0;
}

bool QtBackend::process_one_event(bool wait) {
    QApplication::sendPostedEvents();
    QApplication::processEvents(wait ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents);
    // Qt may set the locale again while it handles events (e.g. a platform change).
    force_c_numeric_locale();
    return true;
}

bool QtBackend::poll_escape() {
    polling_escape_ = true;
    escape_seen_ = false;
    QApplication::sendPostedEvents();
    QApplication::processEvents(QEventLoop::AllEvents);
    polling_escape_ = false;
    return escape_seen_;
}

void QtBackend::update_now() {
    for (Slot& slot : slots_) {
        if (slot.surface != nullptr) slot.surface->repaint_if_needed();
    }
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// --- tool strip, choice list, placement ------------------------------------------------------

int QtBackend::add_tool_button(int window, const ToolButton& button) {
    if (window != kWindowFrame) return add_strip_button(window, button);
    if (frame_ == nullptr) return kUiBadWindow;
    const std::size_t pixels =
        static_cast<std::size_t>(std::max(button.width, 0)) * std::max(button.height, 0);
    if (button.pixels.size() != pixels || tool_buttons_.count(button.id) != 0) {
        return kUiBadArgument;
    }
    if (toolbar_ == nullptr) {
        toolbar_ = new QToolBar(frame_);
        toolbar_->setObjectName("tavo_toolbar");
        toolbar_->setMovable(false);
        frame_->addToolBar(Qt::TopToolBarArea, toolbar_);
    }
    auto* tool = new QToolButton(toolbar_);
    tool->setObjectName(QString("tavo_tool_%1").arg(button.id));
    tool->setIcon(tool_icon(button));
    tool->setIconSize(QSize(std::max(button.width, 1), std::max(button.height, 1)));
    tool->setToolTip(to_qstring(button.tooltip));
    tool->setAutoRaise(true);
    const int id = button.id;
    QObject::connect(tool, &QToolButton::clicked, [this, id] {
        if (WindowHandler* h = slots_[kWindowFrame].handler) h->on_command(kWindowFrame, id);
    });
    toolbar_->addWidget(tool);
    tool_buttons_[id] = tool;
    return 0;
}

int QtBackend::clear_tool_strip(int window) {
    if (window != kWindowFrame) {
        if (!window_exists(window) || slots_[window].strip == nullptr) return kUiBadWindow;
        slots_[window].strip->clear();
        slots_[window].strip_buttons.clear();
        return 0;
    }
    if (frame_ == nullptr) return kUiBadWindow;
    // The toolbar owns its buttons: clearing its actions deletes them.
    if (toolbar_ != nullptr) toolbar_->clear();
    tool_buttons_.clear();
    return 0;
}

int QtBackend::enable_tool_button(int window, int id, bool enabled) {
    if (window != kWindowFrame && !window_exists(window)) return kUiBadWindow;
    const std::map<int, QToolButton*>& buttons =
        window == kWindowFrame ? tool_buttons_ : slots_[window].strip_buttons;
    const auto it = buttons.find(id);
    if (it == buttons.end()) return kUiBadArgument;
    it->second->setEnabled(enabled);
    return 0;
}

bool QtBackend::tool_button_enabled(int window, int id) const {
    if (window != kWindowFrame && !window_exists(window)) return false;
    const std::map<int, QToolButton*>& buttons =
        window == kWindowFrame ? tool_buttons_ : slots_[window].strip_buttons;
    const auto it = buttons.find(id);
    return it != buttons.end() && it->second->isEnabled();
}

int QtBackend::create_tool_strip(int window, int height) {
    if (window == kWindowFrame || !window_exists(window)) return kUiBadWindow;
    if (height <= 0) return kUiBadArgument;
    Slot& slot = slots_[window];
    if (slot.strip != nullptr) {
        slot.strip->setFixedHeight(height);
        return 0;
    }
    auto* strip = new ToolStrip(height);
    strip->setObjectName(QString("tavo_strip_%1").arg(window));
    // The strip shares the box that window labels go into, above the window's content.
    QVBoxLayout* layout = child_box(window);
    if (layout == nullptr) {
        delete strip;
        return kUiBadWindow;
    }
    layout->insertWidget(0, strip);
    slot.strip = strip;
    return 0;
}

int QtBackend::tool_strip_height(int window) const {
    if (window == kWindowFrame || !window_exists(window) || slots_[window].strip == nullptr) {
        return 0;
    }
    return slots_[window].strip->height();
}

int QtBackend::add_strip_button(int window, const ToolButton& button) {
    if (!window_exists(window)) return kUiBadWindow;
    // A window given buttons without a strip of its own gets one just high enough for them.
    if (slots_[window].strip == nullptr &&
        create_tool_strip(window, std::max(button.height, 1) + 8) != 0) {
        return kUiBadWindow;
    }
    Slot& slot = slots_[window];
    const std::size_t pixels =
        static_cast<std::size_t>(std::max(button.width, 0)) * std::max(button.height, 0);
    if (button.pixels.size() != pixels || slot.strip_buttons.count(button.id) != 0) {
        return kUiBadArgument;
    }
    auto* tool = new QToolButton(slot.strip);
    tool->setObjectName(QString("tavo_tool_%1_%2").arg(window).arg(button.id));
    tool->setIcon(tool_icon(button));
    tool->setIconSize(QSize(std::max(button.width, 1), std::max(button.height, 1)));
    tool->setToolTip(to_qstring(button.tooltip));
    tool->setFocusPolicy(Qt::NoFocus);
    // The picture with a 2-pixel border all round, as the strip's buttons are drawn.
    tool->setFixedSize(std::max(button.width, 1) + 4, std::max(button.height, 1) + 4);
    const int id = button.id;
    QObject::connect(tool, &QToolButton::clicked, [this, window, id] {
        if (WindowHandler* h = slots_[window].handler) h->on_command(window, id);
        // Typing goes on in the command line after a strip button.
        if (command_line_ != nullptr) command_line_->setFocus();
    });
    slot.strip->add(tool, button.x);
    tool->show();
    slot.strip_buttons[id] = tool;
    return 0;
}

Colour QtBackend::system_colour(SystemColour which) const {
    const QPalette palette = QApplication::palette();
    QColor c;
    switch (which) {
        case SystemColour::button_text:
            c = palette.color(QPalette::ButtonText);
            break;
        case SystemColour::button_shadow:
            c = palette.color(QPalette::Dark);
            break;
        case SystemColour::button_face:
            c = palette.color(QPalette::Button);
            break;
        case SystemColour::button_highlight:
            c = palette.color(QPalette::Light);
            break;
    }
    return {static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
            static_cast<std::uint8_t>(c.blue())};
}

// The list window is window 4: an owned popup holding the list box.
void QtBackend::show_choice_list(const std::vector<std::string>& items, int selected) {
    if (frame_ == nullptr) return;
    if (choice_window_ == nullptr) {
        if (slots_[kWindowList].outer != nullptr) destroy_window(kWindowList);
        choice_window_ = new QWidget(frame_, Qt::Tool);
        choice_window_->setObjectName("tavo_window_4");
        auto* layout = new QVBoxLayout(choice_window_);
        layout->setContentsMargins(0, 0, 0, 0);
        choice_list_ = new QListWidget(choice_window_);
        choice_list_->setObjectName("tavo_choice_list");
        choice_list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        layout->addWidget(choice_list_);
        QObject::connect(choice_list_, &QListWidget::itemActivated, [this](QListWidgetItem* i) {
            const int row = choice_list_->row(i);
            if (WindowHandler* h = slots_[kWindowFrame].handler) {
                h->on_command(kWindowFrame, kChoiceCommandBase + row);
            }
        });
        QObject::connect(choice_list_, &QListWidget::currentRowChanged, [this](int row) {
            if (filling_choices_ || row < 0) return;
            if (WindowHandler* h = slots_[kWindowFrame].handler) {
                h->on_command(kWindowFrame, kChoiceSelectCommandBase + row);
            }
        });
        slots_[kWindowList] = Slot{};
        slots_[kWindowList].outer = choice_window_;
    }
    filling_choices_ = true;
    choice_list_->clear();
    for (const std::string& item : items) choice_list_->addItem(to_qstring(item));
    filling_choices_ = false;
    select_choice_item(selected);
    choice_window_->show();
    choice_window_->raise();
}

void QtBackend::set_choice_list_size(Size client) {
    if (choice_window_ == nullptr) return;
    // The window fits the list exactly: it cannot be resized.
    choice_window_->setFixedSize(std::max(client.width, 1), std::max(client.height, 1));
}

void QtBackend::select_choice_item(int index) {
    if (choice_list_ == nullptr) return;
    const QSignalBlocker block(choice_list_);
    if (index < 0 || index >= choice_list_->count()) {
        choice_list_->setCurrentRow(-1);
        choice_list_->clearSelection();
        return;
    }
    choice_list_->setCurrentRow(index);
    choice_list_->scrollToItem(choice_list_->currentItem());
}

void QtBackend::hide_choice_list() {
    if (choice_window_ != nullptr) choice_window_->hide();
}

int QtBackend::track_popup_menu(int menu, int window, Point at, bool) {
    if (menu_entries(menu) == nullptr || frame_ == nullptr) return 0;
    QWidget* owner = window_exists(window) ? slots_[window].outer : frame_;
    if (window_exists(window) && slots_[window].surface != nullptr) owner = slots_[window].surface;
    QMenu popup(owner);
    fill_qmenu(&popup, -1, menu);
    // Moving over an item tells the program, which may show it in the command line.
    std::vector<QMenu*> menus{&popup};
    for (QMenu* sub : popup.findChildren<QMenu*>()) menus.push_back(sub);
    for (QMenu* m : menus) {
        QObject::connect(m, &QMenu::hovered, [this, window](QAction* action) {
            const int id = action != nullptr ? action->data().toInt() : 0;
            WindowHandler* h = slots_[kWindowFrame].handler;
            if (id > 0 && action->menu() == nullptr && h != nullptr) {
                h->on_command(window, kMenuHoverCommandBase + id);
            }
        });
    }
    // Either button picks an item of a Qt popup menu.
    QAction* chosen = popup.exec(owner->mapToGlobal(QPoint(at.x, at.y)));
    force_c_numeric_locale();
    return chosen != nullptr && chosen->isEnabled() ? chosen->data().toInt() : 0;
}

void QtBackend::set_command_history(const std::vector<std::string>& newest_first) {
    if (command_line_ == nullptr) return;
    // Filling the list must not change the line being typed, nor its selection: a sheet's
    // value is offered selected so that typed keys replace it, and a lost selection would
    // append them to it instead.
    const QString typed = command_line_->currentText();
    const std::pair<int, int> selection = command_line_selection();
    const QSignalBlocker block(command_line_);
    command_line_->clear();
    history_position_ = -1;
    for (const std::string& line : newest_first) command_line_->addItem(to_qstring(line));
    command_line_->setCurrentIndex(-1);
    command_line_->setEditText(typed);
    set_command_line_selection(selection.first, selection.second);
}

int QtBackend::set_window_rect(int window, Rect outer) {
    if (!window_exists(window)) return kUiBadWindow;
    QWidget* w = slots_[window].outer;
    w->move(outer.left, outer.top);
    w->resize(std::max(outer.right - outer.left, 1), std::max(outer.bottom - outer.top, 1));
    if (w->isVisible()) place_inside_area(window);
    return 0;
}

Rect QtBackend::window_rect(int window) const {
    if (!window_exists(window)) return {};
    const QRect r = slots_[window].outer->frameGeometry();
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

Size QtBackend::screen_size() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return UiBackend::screen_size();
    const QRect r = screen->availableGeometry();
    return {r.width(), r.height()};
}

Size QtBackend::mdi_client_size() const {
    if (mdi_ == nullptr) return {};
    const QSize s = mdi_->viewport()->size();
    return {s.width(), s.height()};
}

int QtBackend::open_splash(const SplashPicture& picture) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height) {
        return kUiBadArgument;
    }
    QImage image(picture.width, picture.height, QImage::Format_RGB32);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const Colour c = picture.pixels[static_cast<std::size_t>(y) * picture.width + x];
            image.setPixel(x, y, qRgb(c.red, c.green, c.blue));
        }
    }
    if (splash_ == nullptr) {
        splash_ = new QLabel(nullptr,
                             Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        splash_->setObjectName("tavo_splash");
        splash_->setFrameStyle(QFrame::Box | QFrame::Plain);
        splash_->setLineWidth(1);
    }
    splash_->setPixmap(QPixmap::fromImage(image));
    const int border = splash_->frameWidth();
    splash_->resize(picture.width + 2 * border, picture.height + 2 * border);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect placed = splash_->rect();
        placed.moveCenter(screen->availableGeometry().center());
        splash_->move(placed.topLeft());
    }
    splash_->show();
    splash_->raise();
    return 0;
}

int QtBackend::listen_for_text(const std::string& path, ExternalTextHandler on_text) {
    if (on_text == nullptr) return kUiBadArgument;
    text_server_ = std::make_unique<QLocalServer>();
    // Only this user may connect; a socket left by a run that ended without closing it goes.
    text_server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(to_qstring(path));
    if (!text_server_->listen(to_qstring(path))) {
        text_server_.reset();
        return kUiBadArgument;
    }
    QObject::connect(text_server_.get(), &QLocalServer::newConnection, [this, on_text] {
        while (QLocalSocket* socket = text_server_->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket,
                             &QLocalSocket::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, on_text] {
                while (socket->canReadLine()) {
                    QByteArray line = socket->readLine();
                    while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
                    on_text(line.toStdString());
                }
            });
        }
    });
    return 0;
}

int QtBackend::set_close_enabled(int window, bool enabled) {
    const int result = UiBackend::set_close_enabled(window, enabled);
    if (result != 0) return result;
    // The Close item of an MDI child's system menu, and its close button.
    if (QMdiSubWindow* sub = slots_[window].sub) {
        if (QMenu* menu = sub->systemMenu()) {
            for (QAction* action : menu->actions()) {
                if (action->shortcut() == QKeySequence::Close ||
                    action->text().contains("Close", Qt::CaseInsensitive)) {
                    action->setEnabled(enabled);
                }
            }
        }
        const bool visible = sub->isVisible();
        sub->setWindowFlag(Qt::WindowCloseButtonHint, enabled);
        if (visible) sub->show();
    }
    return 0;
}

int QtBackend::open_about(const SplashPicture& picture, std::string_view text, Point at) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height) {
        return kUiBadArgument;
    }
    close_about();
    QImage image(picture.width, picture.height, QImage::Format_RGB32);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const Colour c = picture.pixels[static_cast<std::size_t>(y) * picture.width + x];
            image.setPixel(x, y, qRgb(c.red, c.green, c.blue));
        }
    }
    {
        QPainter painter(&image);
        QFont font("Arial");
        font.setPixelSize(11);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(QApplication::palette().color(QPalette::ButtonText));
        painter.drawText(at.x, at.y, to_qstring(text));  // on the baseline, transparent
    }
    about_ = new QLabel(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    about_->setObjectName("tavo_about");
    about_->setWindowTitle("About TAVO");
    about_->setFrameStyle(QFrame::Box | QFrame::Plain);
    about_->setLineWidth(1);
    about_->setPixmap(QPixmap::fromImage(image));
    const int border = about_->frameWidth();
    about_->resize(picture.width + 2 * border, picture.height + 2 * border);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect placed = about_->rect();
        placed.moveCenter(screen->availableGeometry().center());
        about_->move(placed.topLeft());
    }
    if (frame_ != nullptr) frame_->setEnabled(false);
    about_->show();
    about_->raise();
    about_->setFocus();
    return 0;
}

void QtBackend::close_about() {
    if (about_ == nullptr) return;
    if (frame_ != nullptr) frame_->setEnabled(true);
    // The keyboard goes back to the command line, which the disabled frame had lost it from.
    if (frame_ != nullptr) frame_->activateWindow();
    if (command_line_ != nullptr) command_line_->setFocus();
    about_->hide();
    about_->deleteLater();  // it may be the receiver of the event that closes it
    about_ = nullptr;
}

void QtBackend::close_splash() {
    if (splash_ == nullptr) return;
    splash_->hide();
    // It may be the receiver of the event that closes it.
    splash_->deleteLater();
    splash_ = nullptr;
}

void QtBackend::close_frame() {
    frame_closed_ = true;
    if (frame_ != nullptr) frame_->hide();
}

void QtBackend::set_clipboard_text(std::string_view text) {
    clipboard_ = text;
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(to_qstring(text));
}

int QtBackend::copy_picture(int window, Point at, const SplashPicture& picture) {
    if (picture.width < 0 || picture.height < 0 ||
        picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height) {
        return kUiBadArgument;
    }
    if (!window_exists(window) || slots_[window].surface == nullptr) return kUiBadWindow;
    if (picture.width == 0 || picture.height == 0) return 0;
    QImage source(picture.width, picture.height, QImage::Format_RGB32);
    for (int y = 0; y < picture.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(source.scanLine(y));
        const Colour* from = picture.pixels.data() + static_cast<std::size_t>(y) * picture.width;
        for (int x = 0; x < picture.width; ++x)
            line[x] = qRgb(from[x].red, from[x].green, from[x].blue);
    }
    DrawingSurface* surface = slots_[window].surface;
    {
        QPainter painter(&surface->image());
        painter.drawImage(at.x, at.y, source);
    }
    surface->update();
    return 0;
}

namespace {
// An image no widget shows, drawn through the same context as the windows' surfaces.
class OffscreenImage : public qt::ImageContext {
public:
    explicit OffscreenImage(Size size)
        : qt::ImageContext(image_storage_),
          image_storage_(std::max(size.width, 1), std::max(size.height, 1), QImage::Format_RGB32) {
        image_storage_.fill(QColor(0, 0, 0));
    }
    const QImage& image() const { return image_storage_; }

private:
    QImage image_storage_;
};
}  // namespace

std::unique_ptr<DeviceContext> QtBackend::create_offscreen(Size size) {
    return std::make_unique<OffscreenImage>(size);
}

int QtBackend::copy_offscreen(int window, Point at, DeviceContext& picture) {
    auto* offscreen = dynamic_cast<OffscreenImage*>(&picture);
    if (offscreen == nullptr) return kUiBadArgument;
    if (!window_exists(window) || slots_[window].surface == nullptr) return kUiBadWindow;
    DrawingSurface* surface = slots_[window].surface;
    {
        QPainter painter(&surface->image());
        painter.drawImage(at.x, at.y, offscreen->image());
    }
    surface->update();
    return 0;
}

int QtBackend::grab_window(int window, bool whole, SplashPicture& picture) {
    if (!window_exists(window)) return kUiBadWindow;
    QWidget* widget = whole || slots_[window].surface == nullptr
                          ? slots_[window].outer
                          : static_cast<QWidget*>(slots_[window].surface);
    if (widget == nullptr) return kUiBadWindow;
    const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) return kUiBadWindow;
    picture.width = image.width();
    picture.height = image.height();
    picture.pixels.clear();
    picture.pixels.reserve(static_cast<std::size_t>(picture.width) * picture.height);
    for (int y = 0; y < picture.height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < picture.width; ++x) {
            picture.pixels.push_back({static_cast<std::uint8_t>(qRed(line[x])),
                                      static_cast<std::uint8_t>(qGreen(line[x])),
                                      static_cast<std::uint8_t>(qBlue(line[x]))});
        }
    }
    return 0;
}

QVBoxLayout* QtBackend::child_box(int window) {
    if (!window_exists(window) || window == kWindowFrame) return nullptr;
    if (const auto it = child_boxes_.find(window); it != child_boxes_.end()) return it->second;
    QVBoxLayout* layout = nullptr;
    if (QMdiSubWindow* sub = slots_[window].sub) {
        // The window's content moves into a box where strips can go above and below it.
        QWidget* content = sub->widget();
        sub->setWidget(nullptr);
        auto* box = new QWidget;
        layout = new QVBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        if (content != nullptr) layout->addWidget(content, 1);
        sub->setWidget(box);
    } else {
        layout = qobject_cast<QVBoxLayout*>(slots_[window].outer->layout());
    }
    if (layout != nullptr) child_boxes_[window] = layout;
    return layout;
}

int QtBackend::set_window_label(int window, std::string_view text) {
    const int kept = UiBackend::set_window_label(window, text);
    if (kept != 0) return kept;
    QLabel*& label = child_labels_[window];
    if (label == nullptr) {
        QVBoxLayout* layout = child_box(window);
        if (layout == nullptr) return kUiBadWindow;
        label = new QLabel(layout->parentWidget());
        label->setObjectName(QString("tavo_label_%1").arg(window));
        label->setTextFormat(Qt::PlainText);
        layout->addWidget(label);
    }
    label->setText(to_qstring(text));
    return 0;
}

void QtBackend::set_cursor(Cursor cursor) {
    UiBackend::set_cursor(cursor);
    while (QGuiApplication::overrideCursor() != nullptr) QGuiApplication::restoreOverrideCursor();
    if (cursor == Cursor::wait) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    if (cursor == Cursor::cross) QGuiApplication::setOverrideCursor(QCursor(Qt::CrossCursor));
}

int QtBackend::capture_mouse(int window) {
    const int result = UiBackend::capture_mouse(window);
    if (result != 0) return result;
    QWidget* target = slots_[window].surface != nullptr
                          ? static_cast<QWidget*>(slots_[window].surface)
                          : slots_[window].outer;
    if (target != nullptr && target->isVisible()) target->grabMouse();
    return 0;
}

void QtBackend::release_mouse() {
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    UiBackend::release_mouse();
}

int QtBackend::set_clipboard_items(std::vector<ClipboardItem> items) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return kUiBadWindow;
    auto* data = new QMimeData;
    for (const ClipboardItem& item : items) {
        data->setData(QString::fromStdString(item.mime_type),
                      QByteArray(reinterpret_cast<const char*>(item.bytes.data()),
                                 static_cast<qsizetype>(item.bytes.size())));
    }
    clipboard->setMimeData(data);
    return UiBackend::set_clipboard_items(std::move(items));
}

std::string QtBackend::clipboard_text() const {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        return clipboard->text().toStdString();
    }
    return clipboard_;
}

// --- menus -----------------------------------------------------------------------------------

void QtBackend::fill_qmenu(QMenu* target, int window, int menu) {
    const std::vector<MenuEntry>* entries = menu_entries(menu);
    if (entries == nullptr) return;
    for (const MenuEntry& e : *entries) {
        switch (e.kind) {
            case MenuEntry::Kind::separator:
                target->addSeparator();
                break;
            case MenuEntry::Kind::popup: {
                QMenu* sub = target->addMenu(to_qstring(e.label));
                sub->setEnabled(e.enabled);
                if (e.checked) {
                    sub->menuAction()->setCheckable(true);
                    sub->menuAction()->setChecked(true);
                }
                fill_qmenu(sub, window, e.popup);
                break;
            }
            case MenuEntry::Kind::command: {
                // The accelerator text after the tab is shown; the key itself goes through the
                // program's key hook, not a Qt shortcut.
                QAction* action = target->addAction(to_qstring(e.label));
                action->setEnabled(e.enabled);
                action->setData(e.id);
                if (e.checked) {
                    action->setCheckable(true);
                    action->setChecked(true);
                }
                const int id = e.id;
                if (window < 0) break;  // a tracked popup returns its choice instead
                QObject::connect(action, &QAction::triggered, [this, window, id] {
                    if (WindowHandler* h = slots_[window].handler) {
                        h->on_command(window, kMenuCommandBase + id);
                    }
                });
                break;
            }
        }
    }
}

void QtBackend::menu_bar_changed(int window) {
    if (frame_ == nullptr || !window_exists(window)) return;
    QMenuBar* bar = nullptr;
    if (window == kWindowFrame) {
        bar = frame_->menuBar();
    } else if (slots_[window].sub == nullptr && slots_[window].outer->layout() != nullptr) {
        // An owned popup (the edit window) carries its menu bar above its pane.
        if (slots_[window].menu_bar == nullptr) {
            slots_[window].menu_bar = new QMenuBar(slots_[window].outer);
            slots_[window].menu_bar->setObjectName(QString("tavo_menu_bar_%1").arg(window));
            slots_[window].outer->layout()->setMenuBar(slots_[window].menu_bar);
        }
        bar = slots_[window].menu_bar;
    }
    if (bar == nullptr) return;
    bar->clear();
    const int menu = menu_bar(window);
    const std::vector<MenuEntry>* entries = menu != 0 ? menu_entries(menu) : nullptr;
    if (entries == nullptr) return;
    for (const MenuEntry& e : *entries) {
        if (e.kind == MenuEntry::Kind::popup) {
            QMenu* popup = bar->addMenu(to_qstring(e.label));
            popup->setEnabled(e.enabled);
            fill_qmenu(popup, window, e.popup);
        } else if (e.kind == MenuEntry::Kind::command) {
            QAction* action = bar->addAction(to_qstring(e.label));
            action->setEnabled(e.enabled);
            const int id = e.id;
            QObject::connect(action, &QAction::triggered, [this, window, id] {
                if (WindowHandler* h = slots_[window].handler) {
                    h->on_command(window, kMenuCommandBase + id);
                }
            });
        }
    }
}

// --- the edit window, limits, system menus, the Cancel box ---------------------------------

int QtBackend::create_edit_pane(int window, int tab_columns) {
    if (!window_exists(window)) return kUiBadWindow;
    Slot& slot = slots_[window];
    if (slot.editor != nullptr) return 0;
    QLayout* layout = slot.outer->layout();
    if (layout == nullptr || slot.sub != nullptr) return kUiBadWindow;
    auto* editor = new QPlainTextEdit(slot.outer);
    editor->setObjectName(QString("tavo_editor_%1").arg(window));
    editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    editor->setFont(fixed);
    editor->setTabStopDistance(QFontMetricsF(fixed).horizontalAdvance('X') *
                               std::max(tab_columns, 1));
    // The editor takes the place of the drawing surface.
    if (slot.surface != nullptr) slot.surface->hide();
    layout->addWidget(editor);
    slot.editor = editor;
    // The title marks unsaved changes with a '*', as editors do: Qt puts it where the title
    // holds its "[*]".
    QWidget* outer = slot.outer;
    QObject::connect(editor->document(), &QTextDocument::modificationChanged,
                     [outer](bool modified) { outer->setWindowModified(modified); });
    outer->setWindowTitle(with_modified_mark(outer->windowTitle()));
    UiBackend::create_edit_pane(window, tab_columns);
    return 0;
}

int QtBackend::set_edit_text(int window, std::string_view text) {
    if (!has_edit_pane(window)) return kUiBadWindow;
    slots_[window].editor->setPlainText(to_qstring(text));
    return 0;
}

int QtBackend::append_edit_text(int window, std::string_view text) {
    if (!has_edit_pane(window)) return kUiBadWindow;
    QPlainTextEdit* editor = slots_[window].editor;
    QTextCursor cursor = editor->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(to_qstring(text));
    editor->setTextCursor(cursor);
    return 0;
}

std::string QtBackend::edit_text(int window) const {
    if (!has_edit_pane(window)) return {};
    return slots_[window].editor->toPlainText().toStdString();
}

int QtBackend::set_edit_selection(int window, int start, int end) {
    if (!has_edit_pane(window)) return kUiBadWindow;
    QPlainTextEdit* editor = slots_[window].editor;
    const QString text = editor->toPlainText();
    // Byte offsets of the UTF-8 text to character positions.
    auto position = [&](int bytes) {
        const QByteArray utf8 = text.toUtf8().left(std::max(bytes, 0));
        return static_cast<int>(QString::fromUtf8(utf8).size());
    };
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(position(std::min(start, end)));
    cursor.setPosition(position(std::max(start, end)), QTextCursor::KeepAnchor);
    editor->setTextCursor(cursor);
    return 0;
}

std::pair<int, int> QtBackend::edit_selection(int window) const {
    if (!has_edit_pane(window)) return {0, 0};
    const QTextCursor cursor = slots_[window].editor->textCursor();
    const QString text = slots_[window].editor->toPlainText();
    const auto bytes = [&](int chars) {
        return static_cast<int>(text.left(chars).toUtf8().size());
    };
    return {bytes(cursor.selectionStart()), bytes(cursor.selectionEnd())};
}

bool QtBackend::edit_can_undo(int window) const {
    return has_edit_pane(window) && slots_[window].editor->document()->isUndoAvailable();
}

int QtBackend::replace_edit_selection(int window, std::string_view text) {
    if (!has_edit_pane(window)) return kUiBadWindow;
    QPlainTextEdit* editor = slots_[window].editor;
    QTextCursor cursor = editor->textCursor();
    cursor.insertText(to_qstring(text));
    editor->setTextCursor(cursor);
    return 0;
}

int QtBackend::edit_undo(int window) {
    if (!has_edit_pane(window)) return kUiBadWindow;
    QPlainTextEdit* editor = slots_[window].editor;
    if (!editor->document()->isUndoAvailable()) return kUiBadArgument;
    editor->undo();
    return 0;
}

// The editor scrolls by whole lines: its vertical scroll value is the top line.
int QtBackend::set_edit_top_line(int window, int line) {
    if (!has_edit_pane(window)) return kUiBadWindow;
    slots_[window].editor->verticalScrollBar()->setValue(std::max(line, 0));
    return 0;
}

int QtBackend::edit_top_line(int window) const {
    if (!has_edit_pane(window)) return 0;
    return slots_[window].editor->verticalScrollBar()->value();
}

int QtBackend::set_edit_modified(int window, bool modified) {
    if (!has_edit_pane(window)) return kUiBadWindow;
    slots_[window].editor->document()->setModified(modified);
    return 0;
}

bool QtBackend::edit_modified(int window) const {
    return has_edit_pane(window) && slots_[window].editor->document()->isModified();
}

void QtBackend::focus_edit_pane(int window) {
    if (has_edit_pane(window)) slots_[window].editor->setFocus();
}

DialogResult QtBackend::text_fields_dialog(TextFieldsDialog& request) {
    QDialog dialog(frame_);
    dialog.setObjectName(QString("tavo_dialog_%1").arg(request.id));
    dialog.setWindowTitle(to_qstring(request.title));
    if (frame_ != nullptr) dialog.move(frame_->geometry().topLeft() + QPoint(50, 50));
    auto* layout = new QGridLayout(&dialog);
    std::vector<QLineEdit*> fields;
    for (std::size_t k = 0; k < request.labels.size(); ++k) {
        const int row = static_cast<int>(k);
        layout->addWidget(new QLabel(to_qstring(request.labels[k]), &dialog), row, 0);
        auto* field = new QLineEdit(&dialog);
        field->setObjectName(QString("tavo_dialog_field_%1").arg(row));
        field->setMaxLength(std::max(request.max_length, 1));
        if (k < request.values.size()) field->setText(to_qstring(request.values[k]));
        if (k == 0) field->selectAll();
        layout->addWidget(field, row, 1);
        fields.push_back(field);
    }
    auto* column = new QVBoxLayout;
    int pressed = 0;
    auto add_button = [&](const std::string& label, int code, bool is_default) {
        auto* button = new QPushButton(to_qstring(label), &dialog);
        button->setDefault(is_default);
        button->setObjectName(QString("tavo_dialog_button_%1").arg(code));
        QObject::connect(button, &QPushButton::clicked, [&dialog, &pressed, code] {
            pressed = code;
            if (code < 0)
                dialog.reject();
            else
                dialog.accept();
        });
        column->addWidget(button);
    };
    add_button("OK", 0, true);
    for (std::size_t k = 0; k < request.buttons.size(); ++k) {
        add_button(request.buttons[k], static_cast<int>(k) + 1, false);
    }
    add_button("Cancel", -1, false);
    column->addStretch(1);
    layout->addLayout(column, 0, 2, std::max(static_cast<int>(fields.size()), 1), 1);
    if (!fields.empty()) fields.front()->setFocus();
    if (dialog.exec() != QDialog::Accepted) return DialogResult::cancelled;
    request.values.clear();
    for (QLineEdit* field : fields) request.values.push_back(field->text().toStdString());
    request.button = pressed;
    return DialogResult::ok;
}

int QtBackend::set_size_limits(int window, Size minimum, Size maximum) {
    if (!window_exists(window)) return kUiBadWindow;
    QWidget* w = slots_[window].outer;
    w->setMinimumSize(std::max(minimum.width, 0), std::max(minimum.height, 0));
    w->setMaximumSize(maximum.width > 0 ? maximum.width : QWIDGETSIZE_MAX,
                      maximum.height > 0 ? maximum.height : QWIDGETSIZE_MAX);
    return 0;
}

void QtBackend::add_system_items(int window) {
    QMdiSubWindow* sub = slots_[window].sub;
    if (sub == nullptr || sub->systemMenu() == nullptr) return;
    QMenu* menu = sub->systemMenu();
    for (QAction* a : menu->actions()) {
        if (a->property("tavo_system_item").toBool()) {
            menu->removeAction(a);
            a->deleteLater();
        }
    }
    if (system_menu_items().empty()) return;
    QAction* separator = menu->addSeparator();
    separator->setProperty("tavo_system_item", true);
    for (const MenuEntry& e : system_menu_items()) {
        if (e.kind != MenuEntry::Kind::command) continue;
        QAction* action = menu->addAction(to_qstring(e.label));
        action->setProperty("tavo_system_item", true);
        action->setCheckable(true);
        action->setChecked(e.checked);
        action->setEnabled(e.enabled);
        const int id = e.id;
        // System-menu items are the program's, not the window's: the frame takes them.
        QObject::connect(action, &QAction::triggered, [this, window, id] {
            if (WindowHandler* h = slots_[kWindowFrame].handler) {
                h->on_command(window, kSystemMenuCommandBase + id);
            }
        });
    }
}

int QtBackend::set_system_menu_items(const std::vector<MenuEntry>& items) {
    UiBackend::set_system_menu_items(items);
    for (int n = 1; n < kWindowCount; ++n) add_system_items(n);
    return 0;
}

int QtBackend::open_print_cancel_box(std::string_view title, std::string_view text) {
    close_print_cancel_box();
    cancel_pressed_ = false;
    auto* box = new QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    box->setObjectName("tavo_print_cancel");
    box->setWindowTitle(to_qstring(title));
    auto* layout = new QVBoxLayout(box);
    cancel_text_ = new QLabel(to_qstring(text), box);
    cancel_text_->setObjectName("tavo_print_cancel_text");
    auto* button = new QPushButton(QObject::tr("Cancel"), box);
    button->setObjectName("tavo_print_cancel_button");
    layout->addWidget(cancel_text_);
    layout->addWidget(button);
    QObject::connect(button, &QPushButton::clicked, [this] { cancel_pressed_ = true; });
    cancel_box_ = box;
    if (frame_ != nullptr) frame_->setEnabled(false);
    box->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        box->move(screen->availableGeometry().center() - box->rect().center());
    }
    box->show();
    return 0;
}

void QtBackend::set_print_cancel_text(std::string_view text) {
    if (cancel_text_ != nullptr) cancel_text_->setText(to_qstring(text));
}

bool QtBackend::print_cancel_requested() {
    if (cancel_box_ == nullptr) return false;
    QApplication::processEvents(QEventLoop::AllEvents);
    force_c_numeric_locale();
    return cancel_pressed_;
}

void QtBackend::close_print_cancel_box() {
    if (frame_ != nullptr) frame_->setEnabled(true);
    delete cancel_box_;
    cancel_box_ = nullptr;
    cancel_text_ = nullptr;
}

void QtBackend::arrange_icons() {
    if (mdi_ == nullptr) return;
    // Minimised children in a row along the bottom edge, left to right in window order.
    int x = 0;
    for (int n = 1; n < kWindowCount; ++n) {
        QMdiSubWindow* sub = slots_[n].sub;
        if (sub == nullptr || !sub->isVisible() || !sub->isMinimized()) continue;
        const QSize size = sub->size();
        if (x > 0 && x + size.width() > mdi_->viewport()->width()) x = 0;
        sub->move(x, mdi_->viewport()->height() - size.height());
        x += size.width();
    }
}

// --- dialogs ---------------------------------------------------------------------------------

DialogResult QtBackend::file_dialog(FileDialogRequest& request) {
    QFileDialog dialog(frame_, to_qstring(request.title), to_qstring(request.folder));
    dialog.setObjectName("tavo_file_dialog");
    // Our own dialog, not the desktop's: it carries the two folder buttons.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(to_qstring(request.default_extension));
    QStringList filters;
    for (const FileFilter& f : request.filters) {
        // Descriptions that already name their pattern ("Lens files (*.len)") show it once.
        const std::string named = "(" + f.pattern + ")";
        const bool has_pattern =
            f.description.size() >= named.size() &&
            f.description.compare(f.description.size() - named.size(), named.size(), named) == 0;
        filters << to_qstring(has_pattern ? f.description : f.description + " " + named);
    }
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index = std::clamp(request.filter_index, 0, static_cast<int>(filters.size()) - 1);
        dialog.selectNameFilter(filters[index]);
    }
    if (request.save && !request.path.empty()) {
        dialog.selectFile(QFileInfo(to_qstring(request.path)).fileName());
    }
    if (!request.ok_label.empty()) {
        dialog.setLabelText(QFileDialog::Accept, to_qstring(request.ok_label));
    }
    // The folder buttons sit in the dialog's own layout, below its buttons; without a folder
    // to offer there is no strip.
    const bool folder_buttons = !request.private_label.empty() || !request.public_label.empty();
    if (auto* layout = dialog.layout(); layout != nullptr && folder_buttons) {
        auto* strip = new QWidget(&dialog);
        auto* row = new QHBoxLayout(strip);
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(new QLabel("Library Directories:", strip));
        struct FolderButton {
            const std::string& label;
            const std::string& folder;
            const char* name;
            int help_topic;
        };
        const FolderButton buttons[] = {{request.private_label, request.private_folder,
                                         "tavo_private_button", request.private_help_topic},
                                        {request.public_label, request.public_folder,
                                         "tavo_public_button", request.public_help_topic}};
        for (const auto& [label, folder, name, help_topic] : buttons) {
            if (label.empty()) continue;
            auto* button = new QPushButton(to_qstring(label), strip);
            button->setObjectName(name);
            qt::set_control_help(button, help_topic);
            const QString target = to_qstring(folder);
            QObject::connect(button, &QPushButton::clicked,
                             [&dialog, target] { dialog.setDirectory(target); });
            row->addWidget(button);
        }
        row->addStretch(1);
        // The dialog's own layout is a grid: the strip takes a whole row of it, or it would be
        // squeezed into the narrow first column and its buttons could not be seen.
        if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
            grid->addWidget(strip, grid->rowCount(), 0, 1, std::max(grid->columnCount(), 1));
        } else {
            layout->addWidget(strip);
        }
    }
    qt::add_dialog_help_button(dialog, request.help_topic);
    if (dialog.exec() != QDialog::Accepted) return DialogResult::cancelled;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return DialogResult::cancelled;
    request.path = chosen.front().toStdString();
    request.filter_index =
        std::max(0, static_cast<int>(filters.indexOf(dialog.selectedNameFilter())));
    return DialogResult::ok;
}

DialogResult QtBackend::font_dialog(const std::string& caption, FontDescription& font) {
    // The font in use is preselected: the one named when this system has it (and, for a
    // fixed-width choice, it is fixed-width), else the fixed font the text areas fall back to.
    const QString face = to_qstring(font.face);
    const bool known = !face.isEmpty() && QFontDatabase::hasFamily(face) &&
                       (!font.fixed_pitch || QFontDatabase::isFixedPitch(face));
    QFont initial = known || !font.fixed_pitch
                        ? QFont(face)
                        : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (font.height > 0) initial.setPixelSize(font.height);
    initial.setWeight(font.weight >= 600 ? QFont::Bold : QFont::Normal);
    initial.setItalic(font.italic);
    QFontDialog dialog(frame_);
    dialog.setObjectName("tavo_font_dialog");
    dialog.setWindowTitle(to_qstring(caption));
    dialog.setOption(QFontDialog::DontUseNativeDialog, true);
    if (font.fixed_pitch) dialog.setOption(QFontDialog::MonospacedFonts, true);
    dialog.setOption(QFontDialog::ScalableFonts, true);
    // Set once the list holds only the fonts offered, so that the choice is among them.
    dialog.setCurrentFont(initial);
    qt::add_dialog_help_button(dialog, font.help_topic);
    if (dialog.exec() != QDialog::Accepted) return DialogResult::cancelled;
    const QFont chosen = dialog.selectedFont();
    font.face = chosen.family().toStdString();
    font.height = chosen.pixelSize() > 0 ? chosen.pixelSize() : QFontMetrics(chosen).height();
    font.weight = chosen.weight() >= QFont::DemiBold ? 700 : 400;
    font.italic = chosen.italic();
    return DialogResult::ok;
}

void QtBackend::request_close(int window) {
    if (!close_enabled(window)) return;  // Close is greyed in its system menu
    WindowHandler* h = slots_[window].handler;
    if (h != nullptr && !h->on_close_request(window)) return;
    if (!window_exists(window)) return;  // the handler destroyed it
    if (window == kWindowFrame) {
        close_frame();
    } else {
        slots_[window].outer->hide();
        if (active_ == window) active_ = -1;
    }
}

bool QtBackend::filter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (splash_ != nullptr && (type == QEvent::KeyPress ||
                               (type == QEvent::MouseButtonPress &&
                                static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton))) {
        close_splash();
        return true;
    }
    if (about_ != nullptr && (type == QEvent::KeyPress || type == QEvent::MouseButtonPress)) {
        close_about();
        return true;
    }
    if (polling_escape_) {
        switch (type) {
            case QEvent::KeyRelease:
                if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) escape_seen_ = true;
                return true;
            case QEvent::KeyPress:
            case QEvent::ShortcutOverride:
            // A click while a command runs must not start another one inside it.
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::Wheel:
                return true;
            default:
                break;
        }
    }
    if (type == QEvent::KeyPress && key_hook() != nullptr && watched->isWidgetType()) {
        // Keys reach the program's accelerators before any widget sees them. Only the first
        // delivery counts: Qt offers the same event to each parent in turn.
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & Qt::ControlModifier) != 0 && !key->isAutoRepeat() &&
            static_cast<QWidget*>(watched)->hasFocus()) {
            // The window of the widget that has the focus, not the last one activated: Ctrl+S
            // in the editor saves its text, on the command line the lens.
            const int window = window_holding(static_cast<QWidget*>(watched)) == kWindowEdit
                                   ? kWindowEdit
                                   : kWindowFrame;
            if (key_hook()(window, qt::to_key_event(*key))) return true;
        }
    }
    if (type == QEvent::KeyPress && command_line_ != nullptr &&
        (watched == command_line_ || watched == command_line_->lineEdit())) {
        auto* key = static_cast<QKeyEvent*>(event);
        // The program sees the line's keys first (a sheet's moves, Escape), once: Qt offers an
        // ignored key to the parent too.
        const bool plain = (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) == 0;
        if (plain && command_key_hook() != nullptr && static_cast<QWidget*>(watched)->hasFocus()) {
            const KeyEvent e = qt::to_key_event(*key);
            if (e.key != key_none && command_key_hook()(e)) return true;
        }
        if (recall_history(*key)) return true;
    }
    if (type != QEvent::Close && type != QEvent::Move) return false;
    if (!watched->isWidgetType()) return false;
    const int window = window_of(watched);
    if (window < 0) return false;
    if (type == QEvent::Move) {
        if (WindowHandler* h = slots_[window].handler) {
            const QPoint pos = static_cast<QMoveEvent*>(event)->pos();
            h->on_move(window, {pos.x(), pos.y()});
        }
        return false;
    }
    // The handler decides; the window is hidden, never deleted, by a close request.
    event->ignore();
    request_close(window);
    return true;
}

}  // namespace

std::unique_ptr<UiBackend> make_qt_backend(int& argc, char** argv) {
    return std::make_unique<QtBackend>(argc, argv);
}

}  // namespace platform

// --- panes inside a numbered window ----------------------------------------------------------

namespace platform {
namespace {

int QtBackend::create_pane(int window, int pane, bool vertical_bar, WindowHandler* handler) {
    if (!is_pane(pane) || !window_exists(window) || window == kWindowFrame || is_pane(window)) {
        return kUiBadWindow;
    }
    if (slots_[pane].outer != nullptr) return kUiWindowExists;
    Slot slot;
    slot.handler = handler;
    qt::SurfaceEvents events;
    events.resized = [this, pane](Size size) {
        if (WindowHandler* h = slots_[pane].handler) h->on_size(pane, size);
    };
    events.repaint = [this, pane](DeviceContext& dc) {
        if (WindowHandler* h = slots_[pane].handler) h->on_paint(pane, dc);
    };
    events.key = [this, pane](const KeyEvent& e) {
        if (WindowHandler* h = slots_[pane].handler) h->on_key(pane, e);
    };
    events.mouse = [this, pane](const MouseEvent& e) {
        if (WindowHandler* h = slots_[pane].handler) h->on_mouse(pane, e);
        keys_to_command_line_after_click(pane, e);
    };
    if (vertical_bar) {
        events.wheel = [this, pane](int notches) {
            WindowHandler* h = slots_[pane].handler;
            ScrollEvent e;
            e.bar = ScrollBar::vertical;
            e.action = notches > 0 ? ScrollAction::line_up : ScrollAction::line_down;
            for (int k = 0; h != nullptr && k < 3 * std::abs(notches); ++k) h->on_scroll(pane, e);
        };
    }
    // Made inside the window so that it goes with it; a band layout gives it its place.
    QWidget* parent = slots_[window].outer;
    auto* box = new QWidget(parent);
    box->setObjectName(QString("tavo_pane_%1").arg(pane));
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    slot.surface = new DrawingSurface(std::move(events), box);
    slot.surface->setObjectName(QString("tavo_surface_%1").arg(pane));
    // A click on a pane leaves the keys to the command line, as on a text window.
    slot.surface->setFocusPolicy(Qt::NoFocus);
    grid->addWidget(slot.surface, 0, 0);
    if (vertical_bar) {
        auto* bar = new QScrollBar(Qt::Vertical, box);
        bar->setObjectName(QString("tavo_vscroll_%1").arg(pane));
        bar->setRange(0, 0);
        QObject::connect(bar, &QAbstractSlider::actionTriggered, [this, pane, bar](int a) {
            bool known = false;
            ScrollEvent e;
            e.bar = ScrollBar::vertical;
            e.action = to_scroll_action(a, &known);
            e.position = bar->sliderPosition();
            WindowHandler* h = slots_[pane].handler;
            if (known && h != nullptr) h->on_scroll(pane, e);
        });
        grid->addWidget(bar, 0, 1);
        slot.bars[1] = bar;
    }
    slot.outer = box;
    slots_[pane] = slot;
    pane_windows_[static_cast<std::size_t>(pane - kPaneFirst)] = window;
    box->show();
    return 0;
}

int QtBackend::set_band_layout(int window, const BandLayout& layout) {
    if (!window_exists(window) || window == kWindowFrame || is_pane(window)) return kUiBadWindow;
    if (const auto it = band_boxes_.find(window); it != band_boxes_.end()) {
        it->second->set_layout(layout);
        return 0;
    }
    if (layout.strip_height > 0 && create_tool_strip(window, layout.strip_height) != 0) {
        return kUiBadWindow;
    }
    if (child_labels_[window] == nullptr && set_window_label(window, window_label(window)) != 0) {
        return kUiBadWindow;
    }
    QVBoxLayout* vbox = child_box(window);
    Slot& slot = slots_[window];
    if (vbox == nullptr || slot.surface == nullptr) return kUiBadWindow;
    auto* bands = new BandBox(layout);
    bands->setObjectName(QString("tavo_bands_%1").arg(window));
    // What the box held moves into the bands: the surface (with its bars, if any), the label
    // and the strip.
    QWidget* content = slot.surface;
    while (content->parentWidget() != nullptr && vbox->indexOf(content) < 0) {
        content = content->parentWidget();
    }
    if (vbox->indexOf(content) < 0) {
        delete bands;
        return kUiBadWindow;
    }
    const auto adopt = [&](QWidget* w) -> QWidget* {
        if (w == nullptr) return nullptr;
        vbox->removeWidget(w);
        w->setParent(bands);
        w->show();
        return w;
    };
    bands->surface = adopt(content);
    bands->label = adopt(child_labels_[window]);
    // A label in a band has lines of its own: a long one wraps rather than being cut.
    child_labels_[window]->setWordWrap(true);
    child_labels_[window]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    bands->strip = adopt(slot.strip);
    if (layout.side_pane >= 0 && pane_window(layout.side_pane) == window) {
        bands->side = adopt(slots_[layout.side_pane].outer);
    }
    if (layout.bottom_pane >= 0 && pane_window(layout.bottom_pane) == window) {
        bands->bottom = adopt(slots_[layout.bottom_pane].outer);
    }
    vbox->addWidget(bands, 1);
    band_boxes_[window] = bands;
    bands->place();
    return 0;
}

}  // namespace
}  // namespace platform
