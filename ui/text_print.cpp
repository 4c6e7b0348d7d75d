#include "ui/text_print.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/state_reset.h"
#include "platform/text_file.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/folder_lists.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/settings.h"
#include "runtime/table_files.h"
#include "runtime/text_output.h"
#include "ui/edit_window.h"
#include "ui/font_file.h"
#include "ui/text_area.h"
#include "ui/window_table.h"

namespace {

constexpr PageMargins kTextMarginsDefault{1000, 1600, 1000, 1600};
constexpr PageMargins kGraphicsMarginsDefault{1600, 1000, 1600, 1000};

struct PrintState {
    PrinterChoices choices;
    PageMargins text = kTextMarginsDefault;
    PageMargins graphics = kGraphicsMarginsDefault;
    std::string text_printer;
    std::string graphics_printer;
    // The plot command of the graphics code, which shares the print command's slot.
    int (*plot_graphics)() = nullptr;
};

PrintState g;

platform::UiBackend* ui_or_null() {
    return platform::current_ui();
}

int resolve_window(int window) {
    return window == 0 ? current_output_area() : window;
}

bool window_open(int window) {
    platform::UiBackend* ui = ui_or_null();
    return ui != nullptr && ui->window_exists(window) && ui->window_visible(window);
}

// The folder of a path ('/' or '\' separated), or empty.
std::string folder_of(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// Asks for the name of the print file: 0 and the name, -144 shown and 1 for a cancel, or
// -9998.
int ask_print_file(std::string& name) {
    platform::FileDialogRequest request;
    request.save = true;
    request.title = "Print to file";
    request.default_extension = "txt";
    request.filters.push_back({"Text Files (*.TXT)", "*.txt"});
    request.folder = folder_of(g.choices.print_file);
    request.path = name;
    platform::UiBackend* ui = ui_or_null();
    const platform::DialogResult result =
        ui != nullptr ? ui->file_dialog(request) : platform::DialogResult::failed;
    if (result == platform::DialogResult::cancelled) {
        msg_box(kMsgPrintCancelled);
        return 1;
    }
    if (result != platform::DialogResult::ok) return set_error_msg(kMsgPrintDialogFailed, 0);
    name = request.path;
    return 0;
}

int print_to_file(int window, const std::vector<std::string>& lines, int ask,
                  const std::string& given) {
    std::string name = given;
    if (ask != 0 || name.empty()) {
        const int asked = ask_print_file(name);
        if (asked == 1) return 0;
        if (asked != 0) return asked;
    }
    // Every write and the close are checked: a full disc is reported, not a short file.
    platform::AtomicFileWriter file;
    // The print file's own message, the system's reason after the name.
    auto failed = [&] {
        const std::string shown = name + " (" + file.reason() + ")";
        return set_error_msg(kMsgPrintFileCannotOpen, shown.c_str());
    };
    if (file.open(name) != 0) return failed();
    for (const std::string& line : lines) {
        file.write(line);
        file.write("\n");
    }
    if (file.commit() != 0) return failed();
    msg_box(kMsgPrintedToFile, window, name.c_str());
    g.choices.print_file = name;
    g.choices.print_destination = 1;
    return 0;
}

// The text printer: the fixed font kept at its screen size, margins from the page set-up, as
// many lines a page as fit between the top and bottom margins.
int print_to_printer(int window, const std::vector<std::string>& all_lines, int ask,
                     const std::vector<std::string>* selection = nullptr) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return set_error_msg(kMsgDocumentCannotStart);
    g.choices.print_destination = 0;
    platform::PrintRequest request;
    request.document = kProgramTitle;
    request.pdf_file = platform::join_path(data_folder(), "print.pdf");
    request.ask = ask != 0;
    request.help_topic = kHelpTopicPrintDialog;
    // The window's own font: the face of the fixed font, the height its text area is set in.
    request.font = to_description(load_font_record(font_file_path(), "fixed"), true);
    if (const TextArea* area = textarea(window); area != nullptr && area->char_height > 0) {
        request.font.height = area->char_height;
    } else if (window == platform::kWindowEdit) {
        request.font.height = fixed_font_metrics().char_height;  // the editor's fixed font
    }
    platform::DialogResult result = platform::DialogResult::failed;
    // Selected text lets the print dialog offer to print only that.
    bool selection_only = false;
    std::unique_ptr<platform::PrintJob> job =
        selection != nullptr && !selection->empty()
            ? ui->start_print_offering_selection(request, &result, &selection_only)
            : ui->start_print(request, &result);
    const std::vector<std::string>& lines = selection_only ? *selection : all_lines;
    if (job == nullptr) {
        if (result == platform::DialogResult::cancelled) {
            msg_box(kMsgPrintCancelled);
            return 0;
        }
        return set_error_msg(kMsgDocumentCannotStart);
    }
    const int dpi = std::max(1, job->dots_per_inch());
    const int left = dpi * g.text.left / 2540;
    const int top = dpi * g.text.top / 2540;
    platform::DeviceContext& dc = job->page();
    const int line_height = std::max(1, dc.text_metrics().height);
    const int per_page = std::max(1, (job->page_size().height - 2 * top) / line_height);
    const int pages = static_cast<int>(lines.size()) / per_page + 1;
    auto page_line = [pages](int page) {
        char text[64];
        std::snprintf(text, sizeof text, "Printing page %d of %d", page, pages);
        return std::string(text);
    };
    // The frame takes no input while the Cancel box shows; the box closes on every way out.
    ui->open_print_cancel_box(kProgramTitle, page_line(1));
    struct CloseBox {
        platform::UiBackend* ui;
        ~CloseBox() { ui->close_print_cancel_box(); }
    } close_box{ui};
    int row = 0;
    int page = 1;
    for (const std::string& line : lines) {
        if (ui->print_cancel_requested()) {
            job->abort();
            msg_box(kMsgPrintCancelled);
            return 0;
        }
        if (row == per_page) {
            if (!job->new_page()) {
                job->abort();
                return set_error_msg(kMsgDocumentCannotStart);
            }
            row = 0;
            ui->set_print_cancel_text(page_line(++page));
        }
        job->page().text_out({left, top + row * line_height}, line);
        ++row;
    }
    if (!job->finish()) return set_error_msg(kMsgDocumentCannotStart);
    if (window == platform::kWindowEdit) {
        msg_box(kMsgEditWindowPrinted);
    } else {
        msg_box(kMsgPrinted, window, job->destination().c_str());
    }
    return 0;
}

// The page set-up of the text or the graphics printer: OK keeps the margins and the printer;
// in step mode the printer's name is listed.
void page_setup(PageMargins& margins, bool graphics) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return;
    platform::UiBackend::PageSetup setup;
    setup.left = margins.left;
    setup.top = margins.top;
    setup.right = margins.right;
    setup.bottom = margins.bottom;
    setup.landscape = graphics;
    setup.printer = graphics ? g.graphics_printer : g.text_printer;
    setup.help_topic = kHelpTopicPageSetupDialog;
    if (ui->page_setup_dialog(graphics ? "Page set-up: graphics" : "Page set-up: text", setup) !=
        platform::DialogResult::ok) {
        return;
    }
    margins = {setup.left, setup.top, setup.right, setup.bottom};
    (graphics ? g.graphics_printer : g.text_printer) = setup.printer;
    if (output_option(kOptionStepMode) != 0) {
        char line[320];
        std::snprintf(line, sizeof line, "Device name: '%.256s'\n", setup.printer.c_str());
        text_out(line);
    }
}

}  // namespace

void printer_setup(PrinterChoices& choices, int mode) {
    switch (mode) {
        case 0:
            g.choices = choices;
            g.text = kTextMarginsDefault;
            g.graphics = kGraphicsMarginsDefault;
            break;
        case 1:
            choices = g.choices;
            break;
        case 2:
        case 3:
            page_setup(mode == 3 ? g.graphics : g.text, mode == 3);
            break;
        default:
            break;
    }
}

int cmd_printer_capabilities() {
    printer_setup(g.choices, arg_int(0) == 0 ? 2 : 3);
    return 0;
}

PageMargins graphics_margins() {
    return g.graphics;
}

PageMargins text_margins() {
    return g.text;
}

int print_text_window(int window, int to_file, int ask, const char* file_name) {
    window = resolve_window(window);
    if (!window_open(window)) return 0;
    if (window == platform::kWindowEdit) {
        // The edit window always goes to the printer.
        const std::vector<std::string> lines = edit_window_lines();
        const std::vector<std::string> selected = edit_window_lines(true);
        return lines.empty() ? 0 : print_to_printer(window, lines, ask, &selected);
    }
    const std::vector<std::string> lines = textarea_output_lines(window);
    if (lines.empty()) return 0;
    if (to_file != 0)
        return print_to_file(window, lines, ask, file_name != nullptr ? file_name : "");
    return print_to_printer(window, lines, ask);
}

int copy_text_to_clipboard(int window) {
    window = resolve_window(window);
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return set_error_msg(kMsgClipboardUnavailable);
    if (!window_open(window)) return 0;
    const std::vector<std::string> lines = textarea_output_lines(window);
    if (lines.empty()) return 0;
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    ui->set_clipboard_text(text);
    msg_box(kMsgCopiedToClipboard, window);
    return 0;
}

void set_graphics_plot_command(int (*plot)()) {
    g.plot_graphics = plot;
}

int cmd_print_or_plot() {
    if (current_command() == kCmdPlot) return g.plot_graphics != nullptr ? g.plot_graphics() : 0;
    const int destination = arg_int(0);
    const ArgCell* file = arg_cell(1);
    const char* name = file != nullptr && file->text_length != 0 && file->value.text != nullptr
                           ? file->value.text
                           : "";
    const int window = arg_int(2);
    const int result = print_text_window(window, destination, 0, name);
    if (result == 0) {
        set_setting_int(kSetPrintDestination, g.choices.print_destination, 0, 0);
        set_setting_text(kSetPrintFile, g.choices.print_file.c_str(), 0);
    }
    return result;
}

// The plot hook installed at start stays.
void reset_text_print() {
    const auto plot = g.plot_graphics;
    g = PrintState{};
    g.plot_graphics = plot;
}

namespace {
const platform::StateReset text_print_state_reset{"ui/text_print", reset_text_print,
                                                  platform::ResetLayer::ui};
}  // namespace
