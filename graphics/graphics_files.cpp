#include "graphics/graphics_files.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_hpgl.h"
#include "graphics/graphics_metafile.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "platform/paths.h"
#include "platform/state_reset.h"
#include "platform/text_file.h"
#include "runtime/arg_cells.h"
#include "runtime/folder_lists.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/table_files.h"
#include "runtime/table_lists.h"
#include "runtime/table_messages.h"
#include "tables/table_names.h"

namespace {

constexpr int kSettingStepModeFlag = 23;  // run-time step mode

constexpr int kFileDialogCancelledCode = -121;

constexpr int kSettingPenWidth = 17;
constexpr int kSettingPlotDestination = 12;
constexpr int kSettingPlotFile = 38;
constexpr int kSettingAlternateMode = 43;
constexpr std::uint32_t kBitsOffset = 1078;     // 14 + 40 + 256 x 4
constexpr std::int32_t kPixelsPerMetre = 3780;  // 96 dots an inch

void put16(std::vector<std::uint8_t>& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}
void put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void put32be(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint32_t crc32(const std::uint8_t* data, std::size_t n) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= data[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
}

const char* cell_text(int i) {
    const ArgCell* c = arg_cell(i);
    if (c == nullptr || c->type != kArgChar || c->text_length == 0 || c->value.text == nullptr) {
        return "";
    }
    return c->value.text;
}

int write_file(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    if (name.empty()) return set_error_msg(kMsgFileCannotOpen, name.c_str());
    platform::AtomicFileWriter file;
    if (file.open(name) != 0) return report_write_failure(name, file);
    file.write(bytes.data(), bytes.size());
    if (file.commit() != 0) return report_write_failure(name, file);
    return 0;
}

// Runs of one index, at most 255 long.
void encode_rle8_row(std::vector<std::uint8_t>& out, const std::uint8_t* row, int width) {
    int x = 0;
    while (x < width) {
        int run = 1;
        while (x + run < width && run < 255 && row[x + run] == row[x]) ++run;
        out.push_back(static_cast<std::uint8_t>(run));
        out.push_back(row[x]);
        x += run;
    }
}

std::string lower_extension(const std::string& name) {
    const std::size_t dot = name.find_last_of('.');
    const std::size_t slash = name.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string e = name.substr(dot);
    for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

}  // namespace

IndexedRaster graphwin_capture() {
    const GraphicsWindow* g = graphics_current_record();
    IndexedRaster raster(g != nullptr ? g->width : 0, g != nullptr ? g->height : 0);
    if (g == nullptr) return raster;
    graphwin_clear(&raster);
    display_list_replay(raster, 0);
    return raster;
}

std::vector<std::uint8_t> bitmap_file_bytes(const IndexedRaster& raster, bool rle) {
    const int w = raster.width(), h = raster.height();
    const int stride = (w + 3) / 4 * 4;
    std::vector<std::uint8_t> bits;
    if (rle) {
        // Every row but the last ends with an end of line; the last ends the picture.
        for (int y = h - 1; y >= 0; --y) {
            encode_rle8_row(bits, raster.row(y), w);
            bits.push_back(0);
            bits.push_back(y > 0 ? 0 : 1);
        }
        if (h == 0) bits.insert(bits.end(), {0, 1});
    } else {
        bits.assign(static_cast<std::size_t>(stride) * static_cast<std::size_t>(h), 0);
        for (int y = 0; y < h; ++y) {
            std::copy(raster.row(y), raster.row(y) + w,
                      bits.begin() + static_cast<std::ptrdiff_t>((h - 1 - y) * stride));
        }
    }
    std::vector<platform::Colour> table(256, platform::Colour{0, 0, 0});
    for (int i = 0; i < 256 && i < graphics_colour_count(); ++i) {
        table[static_cast<std::size_t>(i)] = graphics_colour(i);
    }
    return bitmap_file_with_table(w, h, 8, rle ? 1 : 0, 0, table, bits);
}

std::vector<std::uint8_t> bitmap_file_with_table(int width, int height, int bits_per_pixel,
                                                 int compression, int colours_used,
                                                 const std::vector<platform::Colour>& table,
                                                 const std::vector<std::uint8_t>& bits) {
    const auto offset = static_cast<std::uint32_t>(14 + 40 + 4 * table.size());
    const auto image_size = static_cast<std::uint32_t>(bits.size());
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, image_size + offset);
    put16(out, 0);
    put16(out, 0);
    put32(out, offset);
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height));
    put16(out, 1);
    put16(out, static_cast<std::uint32_t>(bits_per_pixel));
    put32(out, static_cast<std::uint32_t>(compression));
    put32(out, image_size);
    put32(out, kPixelsPerMetre);
    put32(out, kPixelsPerMetre);
    put32(out, static_cast<std::uint32_t>(colours_used));
    put32(out, 0);
    for (const platform::Colour& c : table) {
        out.push_back(c.blue);
        out.push_back(c.green);
        out.push_back(c.red);
        out.push_back(0);
    }
    out.insert(out.end(), bits.begin(), bits.end());
    return out;
}

int graphwin_write_dib(const std::string& file_name, int mode) {
    const GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || !g->has_list()) return set_error_msg(kMsgNoGraphicsWindow);
    const IndexedRaster raster = graphwin_capture();
    if (mode == 0) return 0;
    const std::vector<std::uint8_t> bytes = bitmap_file_bytes(raster, mode == 2);
    if (mode == 2 && get_setting_flag(23) != 0) {
        text_printf("Image size: %d bytes\n", static_cast<int>(bytes.size() - kBitsOffset));
    }
    return write_file(file_name, bytes);
}

std::vector<std::uint8_t> graphwin_metafile_bytes(int mode) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || !g->has_list()) return {};
    const PlotSurface surface = plot_surface();
    int width = surface.cx / 2, height = surface.cy / 2;
    if (get_setting_flag(kSettingAlternateMode) != 0) std::swap(width, height);
    const int pen = std::max(0, get_setting_int(kSettingPenWidth, 0, 0)) * 6 / 100;
    MetafileDevice device(mode == 2 ? MetafileDevice::Format::emf : MetafileDevice::Format::wmf,
                          width, height, -pen / 2, width + pen + 1, height + pen + 1);
    const int own_width = g->width, own_height = g->height;
    g->width = width;
    g->height = height;
    graphics_apply_frames();
    set_graphics_print_mode(true);
    graphwin_clear(&device);
    display_list_replay(device, 0);
    set_graphics_print_mode(false);
    g->width = own_width;
    g->height = own_height;
    graphics_apply_frames();
    if (mode == 2) {
        // The frame in 0.01 mm on the 96-dots-an-inch reference device.
        const int frame_x = (width + pen + 1) * 2540 / 96;
        const int frame_y = (height + pen + 1) * 2540 / 96;
        return device.emf_bytes(frame_x, frame_y, msg_text(-125));
    }
    return device.wmf_bytes(mode == 1);
}

int graphwin_write_metafile(const std::string& file_name, int mode) {
    const GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || !g->has_list()) return set_error_msg(kMsgNoGraphicsWindow);
    if (file_name.empty()) return graphwin_copy_to_clipboard();
    return write_file(file_name, graphwin_metafile_bytes(mode));
}

std::vector<std::uint8_t> png_file_bytes(const IndexedRaster& raster) {
    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&out](const char* type, const std::vector<std::uint8_t>& data) {
        put32be(out, static_cast<std::uint32_t>(data.size()));
        const std::size_t start = out.size();
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), data.begin(), data.end());
        put32be(out, crc32(out.data() + start, out.size() - start));
    };
    const int w = raster.width(), h = raster.height();
    std::vector<std::uint8_t> header;
    put32be(header, static_cast<std::uint32_t>(w));
    put32be(header, static_cast<std::uint32_t>(h));
    header.insert(header.end(), {8, 3, 0, 0, 0});  // 8-bit indices, with a palette
    chunk("IHDR", header);
    std::vector<std::uint8_t> palette;
    const int colours = std::min(graphics_colour_count(), 256);
    for (int i = 0; i < colours; ++i) {
        const platform::Colour c = graphics_colour(i);
        palette.insert(palette.end(), {c.red, c.green, c.blue});
    }
    chunk("PLTE", palette);
    // Rows with filter byte 0, in a zlib stream of stored (uncompressed) blocks.
    std::vector<std::uint8_t> raw;
    raw.reserve(static_cast<std::size_t>(w + 1) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), raster.row(y), raster.row(y) + w);
    }
    std::vector<std::uint8_t> z = {0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t n = std::min<std::size_t>(raw.size() - at, 65535);
        z.push_back(at + n == raw.size() ? 1 : 0);
        put16(z, static_cast<std::uint32_t>(n));
        put16(z, static_cast<std::uint32_t>(~n & 0xFFFF));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                 raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    } while (at < raw.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    put32be(z, (b << 16) | a);
    chunk("IDAT", z);
    chunk("IEND", {});
    return out;
}

int graphwin_copy_to_clipboard() {
    const GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || !g->has_list()) return set_error_msg(kMsgNoGraphicsWindow);
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr) return set_error_msg(kMsgClipboardUnavailable);
    std::vector<platform::UiBackend::ClipboardItem> items;
    items.push_back({"image/emf", graphwin_metafile_bytes(2)});
    items.push_back({"image/png", png_file_bytes(graphwin_capture())});
    if (ui->set_clipboard_items(std::move(items)) != 0)
        return set_error_msg(kMsgClipboardUnavailable);
    return 0;
}

namespace {

// The Windows-metafile type a ".wmf" name gets: 1 plain, 2 placeable; the dialog remembers the
// one chosen last.
int g_wmf_type = 2;

const char* type_extension(int type) {
    switch (type) {
        case 0:
            return ".hgl";
        case 1:
        case 2:
            return ".wmf";
        case 4:
            return ".bmp";
        case 5:
            return ".rle";
        case 6:
            return ".emf";
        default:
            return "";
    }
}

// The save dialog: 0 with the name (given the chosen type's extension when it has none in its
// last four characters), -121 when cancelled.
int ask_graphics_file_name(std::string& name) {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr) return set_error_msg(kMsgGraphicsFileType, "");
    platform::FileDialogRequest request;
    request.save = true;
    const char* title = msg_text(kMsgGraphicsFileDialogTitle);
    request.title = title != nullptr ? title : "";
    request.folder = data_folder();
    std::vector<int> types;
    select_list(kListGraphicsFileTypes);
    for (int k = 0; k < current_list_count(); ++k) {
        const std::string first = current_list_first(k) != nullptr ? current_list_first(k) : "";
        const std::size_t comma = first.find(',');
        request.filters.push_back(
            {first.substr(0, comma), comma == std::string::npos ? "*" : first.substr(comma + 1)});
        const char* number = current_list_second(k);
        types.push_back(number != nullptr ? std::atoi(number) : -1);
        if (types.back() == g_wmf_type) request.filter_index = k;
    }
    const platform::DialogResult result = ui->file_dialog(request);
    if (result != platform::DialogResult::ok) return kFileDialogCancelledCode;
    int type = -1;
    if (request.filter_index >= 0 && request.filter_index < static_cast<int>(types.size())) {
        type = types[static_cast<std::size_t>(request.filter_index)];
    }
    if (type == 1 || type == 2) g_wmf_type = type;
    name = request.path;
    const std::size_t tail = name.size() >= 4 ? name.size() - 4 : 0;
    if (name.find('.', tail) == std::string::npos) name += type_extension(type);
    return 0;
}

}  // namespace

void reset_graphics_file_types() {
    g_wmf_type = 2;
}

int save_graphics_to_file(const std::string& given_name) {
    std::string file_name = given_name;
    if (file_name.empty()) {
        const int asked = ask_graphics_file_name(file_name);
        if (asked == kFileDialogCancelledCode) return 0;
        if (asked != 0) return asked;
    }
    const std::string e = lower_extension(file_name);
    int result = 0;
    if (e == ".hgl") {
        result = graphwin_write_hpgl(file_name, 0, 0, 0, 0);
    } else if (e == ".wmf") {
        result = graphwin_write_metafile(file_name, g_wmf_type == 1 ? 0 : 1);
    } else if (e == ".emf") {
        result = graphwin_write_metafile(file_name, 2);
    } else if (e == ".bmp") {
        result = graphwin_write_dib(file_name, 1);
    } else if (e == ".rle") {
        result = graphwin_write_dib(file_name, 2);
    } else {
        return set_error_msg(kMsgGraphicsFileType, file_name.c_str());
    }
    if (result == 0) return 0;
    if (result == kErrorTextReady) show_error(result);
    return set_error_msg(kMsgGraphicsNotWritten, graphics_current(), file_name.c_str());
}

namespace {

// The step-mode report of what is known of the printer.
void print_printer_report(const platform::UiBackend::PrinterCapabilities& caps) {
    auto yes_no = [](bool on) { return on ? "Yes" : "No"; };
    text_printf("Driver version: %d\n", caps.driver_version);
    text_printf("Technology: %d\n", caps.technology);
    text_printf("Raster caps: 0x%x\n", caps.raster_caps);
    text_printf("Line caps: 0x%x\n", caps.line_caps);
    text_printf("  Wide lines:         %s\n", yes_no(caps.wide_lines));
    text_printf("  Styled lines:       %s\n", yes_no(caps.styled_lines));
    text_printf("  Wide, styled lines: %s\n", yes_no(caps.wide_styled_lines));
    text_printf("%d pens:\n", 0);
    text_printf("%d brushes:\n", 0);
    text_printf("Color table size: %d\n", static_cast<int>(caps.colour_table.size()));
    text_printf("Color table:\n");
    for (const platform::Colour& c : caps.colour_table) {
        text_printf("  %3d  %3d  %3d\n", c.red, c.green, c.blue);
    }
    text_printf("Palette size: %d\n", caps.palette_size);
    text_printf("Margins: %d, %d, %d, %d\n", caps.margins[0], caps.margins[1], caps.margins[2],
                caps.margins[3]);
    if (caps.dots_per_inch > 0) {
        text_printf("Resolution: %d DPI\n", caps.dots_per_inch);
    } else {
        text_printf("Resolution: UNKNOWN\n");
    }
    text_printf(caps.landscape ? "Orientation: LANDSCAPE\n" : "Orientation: PORTRAIT\n");
}

}  // namespace

int print_graphics() {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || !g->has_list()) return set_error_msg(kMsgNoGraphicsWindow);
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr) return set_error_msg(kMsgDocumentCannotStart);
    platform::PrintRequest request;
    request.document = msg_text(-125);
    request.pdf_file = platform::join_path(data_folder(), "print.pdf");
    platform::DialogResult result = platform::DialogResult::failed;
    std::unique_ptr<platform::PrintJob> job = ui->start_print(request, &result);
    if (job == nullptr) {
        return result == platform::DialogResult::cancelled ? 0
                                                           : set_error_msg(kMsgDocumentCannotStart);
    }
    if (get_setting_flag(kSettingStepModeFlag) != 0)
        print_printer_report(ui->printer_capabilities(*job));
    // The picture keeps the window's proportions at the largest size that fits the printable
    // area, centred in it, as a page with an isotropic frame already does: a landscape window on
    // portrait paper would otherwise come out stretched, its stroke text with it. The pen width
    // grows with the area's diagonal.
    const platform::Size page = job->page_size();
    const int own_width = g->width, own_height = g->height;
    const int own_layout_width = g->layout_width, own_layout_height = g->layout_height;
    const bool own_keeps_shape = g->keeps_shape;
    if (!g->keeps_shape || g->layout_width <= 0 || g->layout_height <= 0) {
        g->keeps_shape = true;
        g->layout_width = own_width;
        g->layout_height = own_height;
    }
    g->width = std::max(page.width, 1);
    g->height = std::max(page.height, 1);
    graphics_apply_frames();
    const double diagonal =
        std::hypot(static_cast<double>(g->width), static_cast<double>(g->height));
    set_graphics_print_pen(
        static_cast<int>(diagonal * get_setting_int(kSettingPenWidth, 0, 0) * 1e-5 + 0.5));
    set_graphics_print_mode(true);
    platform::DeviceContext& dc = job->page();
    graphwin_clear(&dc);
    display_list_replay(dc, 0);
    set_graphics_print_mode(false);
    set_graphics_print_pen(0);
    g->width = own_width;
    g->height = own_height;
    g->layout_width = own_layout_width;
    g->layout_height = own_layout_height;
    g->keeps_shape = own_keeps_shape;
    graphics_apply_frames();
    if (!job->finish()) return set_error_msg(kMsgGraphicsNotPrinted);
    return 0;
}

int cmd_plot_graphics() {
    const int destination = arg_int(0);
    const std::string name = cell_text(1);
    if (graphics_current_record() == nullptr) return set_error_msg(kMsgNoGraphicsWindow);
    if (destination != 1) {
        const int printed = print_graphics();
        if (printed == 0) set_setting_int(kSettingPlotDestination, destination, 0, 0);
        return printed;
    }
    const int result = save_graphics_to_file(name);
    if (result == 0 && !name.empty()) {
        set_setting_int(kSettingPlotDestination, destination, 0, 0);
        set_setting_text(kSettingPlotFile, name.c_str(), 0);
    }
    return result;
}

int cmd_hpgl_file() {
    const std::string name = cell_text(0);
    const int result = graphwin_write_hpgl(name, 0, 0, 0, 0);
    if (result == 0) return 0;
    if (result == kErrorTextReady) show_error(result);
    return set_error_msg(kMsgGraphicsNotWritten, graphics_current(), name.c_str());
}

namespace {
const platform::StateReset graphics_files_state_reset{
    "graphics/graphics_files", reset_graphics_file_types, platform::ResetLayer::graphics};
}  // namespace
