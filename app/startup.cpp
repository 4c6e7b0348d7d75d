#include "app/startup.h"

#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "app/program_handlers.h"
#include "app/sheet_strip.h"
#include "app/splash.h"
#include "app/window_captions.h"
#include "drawing/cad_output.h"
#include "drawing/draw_lens.h"
#include "drawing/lens_model.h"
#include "evaluation/spot_store.h"
#include "graphics/animation_files.h"
#include "graphics/color_palette.h"
#include "graphics/draw_primitives.h"
#include "kpl/kpl_sysvars.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "lens/lens_items.h"
#include "lens/lens_text_commands.h"
#include "lens/stock_lenses.h"
#include "platform/environment.h"
#include "platform/paths.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "platform/user_profile.h"
#include "runtime/definitions.h"
#include "runtime/dispatch.h"
#include "runtime/log_file.h"
#include "runtime/menu_store.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/output_value_commands.h"
#include "runtime/program_arguments.h"
#include "runtime/settings.h"
#include "runtime/settings_file.h"
#include "runtime/state_flags.h"
#include "runtime/table_files.h"
#include "runtime/table_lists.h"
#include "runtime/table_messages.h"
#include "trace/drawing_buffers.h"
#include "ui/edit_window.h"
#include "ui/file_dialogs.h"
#include "ui/menus.h"
#include "ui/text_area.h"
#include "ui/text_file_commands.h"
#include "ui/text_print.h"
#include "ui/window_table.h"

namespace {

constexpr int kPlatformNt = 2;  // the platform identifier: a 32-bit system without Win32s limits
constexpr int kCheckItemLimit = 4;
constexpr int kCheckLabelLimit = 15;
constexpr int kTextWindowLines = 1999;
constexpr int kTextWindowRows = 10;
constexpr int kSheetRows = 4;
constexpr int kTextWindowColumns = 128;
// The sheet's text area holds a line as long as the writer makes one: a sheet line cut at a
// narrower area loses its last cells (and the window, sized by its lines, never shows them).
// The window itself opens 80 columns wide and grows to its longest line.
constexpr int kSheetColumns = kTextWindowColumns;

constexpr int kKplVariableLimit = 300;

struct StartupState {
    int platform_id = 0;
    std::string root;
    std::string data;
    std::string public_folder;
    std::string settings_path;
    int immediate_symbol = -1;
    int check_count = -1;
    SystemMenuCheckItem checks[kCheckItemLimit] = {};
    bool windows_registered = false;
    int surface_clipboard_format = 0;  // "TAVO Surface Data"
    bool reading_settings_file = false;
    // The lens fields the command language's built-in variables are bound to.
    void* kpl_addresses[kKplVariableLimit] = {};
};

StartupState g_state;

// --- built-in variables bound to lens fields ----------------------------------------------

void bind(int entry, void* address) {
    if (entry >= 0 && entry < kKplVariableLimit) g_state.kpl_addresses[entry] = address;
}

// --- helpers ----------------------------------------------------------------------------------

platform::UiBackend* ui_or_null() {
    return platform::current_ui();
}

void show_fixed_text(const std::string& text) {
    splash_close();
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) {
        std::fprintf(stderr, "%s: %s\n", kProgramTitle, text.c_str());
        return;
    }
    platform::MessageBoxRequest request;
    request.text = text;
    request.title = kProgramTitle;
    request.buttons = platform::MessageButtons::ok_cancel;
    request.icon = platform::MessageIcon::error;
    ui->message_box(request);  // the answer changes nothing
}

// A print or plot file name as the printing code takes it: '\' separators turned into '/', a
// name that is not absolute put into the data folder.
std::string printer_file_path(const char* name) {
    std::string path = platform::to_native_path(name != nullptr ? name : "");
    if (path.find(':') != std::string::npos || (!path.empty() && path[0] == '/')) return path;
    const char* data = get_setting_text(kSetPrivateDirectory, 0);
    return platform::join_path(data != nullptr ? data : "", path);
}

void halve_setting(int id) {
    set_setting_int(id, get_setting_int(id, 0, 0) / 2, 0, 0);
    write_settings_file(g_state.settings_path);
}

// gui_init of the console and Qt frames: the frame with the splash over it. The child windows
// come with register_window_classes.
int gui_init() {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return 0;
    if (!ui->window_exists(platform::kWindowFrame) &&
        ui->create_frame(kProgramTitle, frame_handler()) != 0) {
        return -1;
    }
    open_splash_window();
    return 0;
}

// Text window n made hidden; window 1's first line is the program's title and version.
int make_text_window(int n) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return 0;
    if (ui->window_exists(n)) return 0;
    const std::string title = std::string(kProgramTitle) + " " + kProgramVersion;
    if (ui->create_window(n, n == platform::kWindowText1 ? title : std::string(" "),
                          text_window_handler()) != 0) {
        return -1;
    }
    ui->show_window(n, false);
    if (const int r = create_text_window(n, kTextWindowLines, kTextWindowRows, kTextWindowColumns);
        r != 0) {
        return r;
    }
    window_record(n).in_use = 0;
    if (n == platform::kWindowText1) {
        ui->add_text_line(n, title);
        textarea_append_line(n, 0, title, nullptr);
    }
    return 0;
}

// The main menu from its list when Show_menubar is on; without the list the option goes off.
void build_program_menus() {
    if (output_option(kOptionMenubar) == 0) return;
    if (build_menu(msg_text(kMsgMainMenuList), platform::kWindowFrame, true) == 0) {
        set_setting_flag(kSetShowMenubar, 0);
        set_output_option(kOptionMenubar, 0);
        return;
    }
    for (int k = 0; k < kRecentFileSlots; ++k) {
        const char* name = get_setting_text(kSetMruFile1 + k, 0);
        set_recent_file_entry(name != nullptr ? name : "", k);
    }
}

// The check items as the system menu of every child window shows them, commands 88 to 91.
void show_check_items() {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return;
    std::vector<platform::MenuEntry> items;
    for (int k = 0; k < g_state.check_count; ++k) {
        platform::MenuEntry e;
        e.id = kFirstCheckItemCommand + k;
        e.label = g_state.checks[k].label;
        e.checked = g_state.checks[k].checked != 0;
        items.push_back(e);
    }
    ui->set_system_menu_items(items);
}

void build_check_items() {
    g_state.check_count = 0;
    if (open_lists_file(0) != 0) return;
    const int list = find_list(msg_text(kMsgCheckItemList), false);
    if (list < 0) return;
    select_list(list);
    const int count = current_list_count();
    for (int k = 0; k < count && g_state.check_count < kCheckItemLimit; ++k) {
        SystemMenuCheckItem& item = g_state.checks[g_state.check_count];
        const char* label = current_list_first(k);
        const char* id = current_list_second(k);
        std::snprintf(item.label, sizeof item.label, "%.*s", kCheckLabelLimit,
                      label != nullptr ? label : "");
        item.setting_id = id != nullptr ? std::atoi(id) : -1;
        item.checked = 0;
        ++g_state.check_count;
    }
}

}  // namespace

int register_window_classes() {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return 0;
    create_color_palette(get_setting_flag(kSetGraphicsWhiteBkgnd) != 0);
    // A change of this one waits for the next start (the program says so when it changes).
    set_graphics_black_and_white(get_setting_flag(kSetGraphicsBlackAndWhite) != 0);
    g_state.windows_registered = true;
    // The frame's toolbar numbers its buttons before the spreadsheet's tool row does.
    build_frame_toolbar();
    if (!ui->window_exists(platform::kWindowSpreadsheet)) {
        if (const int r = create_sheet_window(kTextWindowLines, kSheetRows, kSheetColumns);
            r != 0) {
            if (r < -1) show_error(r);
            return -1;
        }
        build_sheet_strip();
    }
    for (const int n : {platform::kWindowText1, platform::kWindowText2}) {
        if (const int r = make_text_window(n); r != 0) {
            if (r < -1) show_error(r);
            return -1;
        }
    }
    if (!ui->window_exists(platform::kWindowControl) && create_control_window() != 0) return -1;
    if (!ui->window_exists(platform::kWindowEdit) && create_edit_window() != 0) return -1;
    show_check_items();
    return 0;
}

void open_first_text_window() {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr || !ui->window_exists(platform::kWindowFrame)) return;
    if (make_text_window(platform::kWindowText1) != 0) return;
    if (!ui->window_visible(platform::kWindowText1)) {
        textwin_select(platform::kWindowText1, 0, 0);
    }
    window_record(platform::kWindowText1).in_use = 1;
    ui->activate_window(platform::kWindowText1);
}

void choose_system_menu_check(int id) {
    const int k = id - kFirstCheckItemCommand;
    if (k < 0 || k >= g_state.check_count) return;
    const SystemMenuCheckItem& item = g_state.checks[k];
    set_setting_flag(item.setting_id, item.checked != 0 ? 0 : 1);
}

std::string profile_section() {
    return std::string(kProgramTitle) + " " + kProgramVersion;
}

ProgramFolders decide_program_folders(const std::string& root) {
    ProgramFolders folders;
    folders.root = root;
    folders.data = platform::user_profile_get(profile_section(), kProfileDataKey,
                                              platform::join_path(root, "private"));
    return folders;
}

int run_from_program_folder(int argc, char** argv) {
    return start_program(argc, argv, platform::program_folder());
}

std::string startup_failure_text(int code) {
    if (code == kMsgNoMessageFile) return kTextNoMessageFile;
    if (code == kMsgNoEnvironment) return kTextNoEnvironment;
    char text[128];
    std::snprintf(text, sizeof text, kTextInitError, code);
    return text;
}

int start_program(int argc, char** argv, const std::string& root) {
    const ProgramFolders folders = decide_program_folders(root);
    platform::environment_set("TVROOT", folders.root);
    platform::environment_set("TVDATA", folders.data);

    set_program_arguments(argc, argv);
    const int init = runtime_init(1);
    if (init != 0) {
        const TableError& table = last_table_error();
        if (!(table.shown && table.code == init)) show_fixed_text(startup_failure_text(init));
        gui_shutdown();
        return 0;
    }

    // The command language and the command line come before the application start, which
    // binds the lens fields into the interpreter's variable table.
    const int loop = install_main_loop();
    if (loop != 0) {
        show_fixed_text(startup_failure_text(loop));
        gui_shutdown();
        return 0;
    }
    const int app = app_init(0, 0, 0);
    if (app != 0) {
        msg_box(app);
        gui_shutdown();
        return 0;
    }
    set_window_titles(msg_text(kMsgMainCaption), msg_text(kMsgEditWindowCaption));
    if (platform::UiBackend* ui = ui_or_null(); ui != nullptr && ui->window_exists(0)) {
        build_program_menus();
        if (register_window_classes() != 0) {
            gui_shutdown();
            return 0;
        }
    }

    // The run ends through the exit command, which runs the exit hook.
    set_startup_done(true);
    main_loop(1);
    set_running_flag(0);
    gui_shutdown();
    return 1;
}

// The hooks the run time reaches other parts through; command handlers are installed by the
// parts that own them.
static void install_hooks() {
    reset_handler_table();
    HandlerTable& table = handler_table();
    table.exit_hook = exit_hook;
    table.set_setting_flag = set_setting_flag;
    table.settings_item_address = settings_item_address;
    set_handler(kSlotOutputValue, cmd_output_value);
    set_handler(kSlotOutputRows, cmd_output_rows);
    set_handler(kSlotOpenStartupLens, cmd_open_startup_lens);
    install_program_handlers();
}

int runtime_init(int with_windows) {
    install_message_reporter();
    install_hooks();
    if (read_root_folders() != 0) return kMsgNoEnvironment;
    g_state.root = root_folder();
    g_state.data = data_folder();
    if (open_message_table() != 0) return kMsgNoMessageFile;
    clear_last_table_error();
    if (load_definitions(0) != 0) {
        // With the messages readable, the reader has already named the table and its fault;
        // its code tells the caller not to add the general text about the message file.
        const TableError& shown = last_table_error();
        return shown.shown && shown.code != 0 ? shown.code : kMsgNoMessageFile;
    }
    update_flag_expressions();
    {
        const char* name = msg_text(kMsgImmediateCommandName);
        g_state.immediate_symbol =
            definitions().names != nullptr ? find_name(definitions().names, name) : -1;
    }
    set_log_file_name(default_log_file_name(g_state.data));
    if (g_state.check_count == -1) {
        g_state.platform_id = kPlatformNt;
        if (with_windows != 0 && gui_init() != 0) return -1;
        build_check_items();
    }
    return 0;
}

int app_init(int without_windows, int, int) {
    g_state.root = root_folder();
    g_state.data = data_folder();
    if (settings_layout() != 0) return kMsgSettingsLayout;
    g_state.public_folder = platform::join_path(g_state.root, msg_text(kMsgPublicFolderName));
    std::setlocale(LC_TIME, "");

    set_setting_text(kSetCurrentTextDirectory, g_state.data.c_str(), 0);
    set_setting_text(kSetCurrentDirectory, platform::join_path(g_state.data, "len").c_str(), 0);
    g_state.settings_path = platform::join_path(g_state.data, kSettingsFileName);
    // Logging is forced off right after the file is read; opening the log for the file's "On"
    // would only empty the log of the last run.
    g_state.reading_settings_file = true;
    read_settings_file(g_state.settings_path);
    g_state.reading_settings_file = false;
    take_pending_capacities();
    set_setting_text(kSetVersionNumber, kProgramVersion, 0);
    set_setting_int(kSetProgramLevel, 1, 0, 0);

    // Logging and step mode never survive a restart, whatever the file says.
    set_setting_flag(kSetRevertEnable, 1);
    set_setting_flag(kSetOutputOn, 1);
    set_setting_flag(kSetStepMode, 0);
    set_setting_flag(kSetOutputLog, 0);
    set_setting_flag(kSetOutputText, without_windows != 0 ? 0 : 1);

    set_setting_text(kSetDataFolder, g_state.data.c_str(), 0);
    set_setting_text(kSetPrivateDirectory, g_state.data.c_str(), 0);
    set_setting_text(kSetPublicDirectory, g_state.public_folder.c_str(), 0);
    set_file_dialog_folders(kProgramTitle, "P&rivate", g_state.data.c_str(), "P&ublic",
                            g_state.public_folder.c_str());
    set_setting_text(kSetTempFolder, temp_folder_path().c_str(), 0);
    {
        const std::string options = get_setting_text(kSetKplCompilerOptions, 0);
        set_setting_text(kSetKplCompilerOptions, options.c_str(), 0);
    }
    set_setting_text(kSetEditFile, "", 0);

    if (alloc_lens_arrays(g_state.root, g_state.data) != 0) {
        halve_setting(kSetSurfaceLimit);
        return kMsgLensArrays;
    }
    if (alloc_spot_storage() != 0) {
        halve_setting(kSetMaxSpdRays);
        return kMsgSpotStore;
    }
    if (init_lens_drawing() != 0) return kMsgDrawingBuffers;

    set_setting_text(kSetVersionNumber, kProgramVersion, 0);
    set_setting_int(kSetProgramLevel, 1, 0, 0);
    bind_kpl_variables();
    // Lens items need the lens arrays and the start-up bindings: they bind what is left.
    install_lens_items();
    g_state.surface_clipboard_format = platform::register_clipboard_format(kSurfaceClipboardFormat);

    if (without_windows == 0) {
        static constexpr int kStartOptions[][2] = {
            {21, 2},  {22, 3},  {23, 4},  {19, 5},  {36, 6},  {35, 7},  {40, 8},  {43, 11},
            {42, 10}, {48, 12}, {52, 13}, {53, 14}, {55, 16}, {57, 18}, {69, 19},
        };
        for (const auto& o : kStartOptions) set_window_option(o[0], o[1], get_setting_flag(o[0]));
        load_window_placements();
        PrinterChoices choices;
        choices.print_destination = get_setting_int(kSetPrintDestination, 0, 0);
        choices.print_file = printer_file_path(get_setting_text(kSetPrintFile, 0));
        choices.plot_destination = get_setting_int(kSetPlotDestination, 0, 0);
        choices.plot_file = printer_file_path(get_setting_text(kSetPlotFile, 0));
        printer_setup(choices, 0);
        // The pen sequence (15) and the output scale (17) stay in the store for the graphics.
    }
    // The installation's own stock-lens catalogue, when it has one; none is no failure.
    read_lens_catalog(kStartupLensCatalog);
    clear_state_flag(kFlagLensFileNamed);
    return 0;
}

void bind_kpl_variables() {
    LensData& lens = lens_data();
    // The interpreter's variable table and the start-up's own address table both take every
    // lens field of the lens-item list.
#define ITEM_LENS_FIELD(number, name, field)                                          \
    kpl_bind_sysvar(name, &lens.field, lens_item_type<decltype(lens.field)>(), 0, 0); \
    bind(name, &lens.field);
#include "lens/lens_item_list.h"
#include "tables/table_names.h"
    kpl_bind_sysvar(kSysVarGlassName, lens_text_variable(kSysVarGlassName, nullptr), kLensItemChar,
                    kGlassNameVariableSize, 0);
    kpl_bind_sysvar(kSysVarSurfaceNote, lens_text_variable(kSysVarSurfaceNote, nullptr),
                    kLensItemChar, kNoteVariableSize, 0);
    kpl_bind_sysvar(kSysVarLensNoteLine, lens_text_variable(kSysVarLensNoteLine, nullptr),
                    kLensItemChar, kNoteVariableSize, 0);
}

void* kpl_variable_address(int entry) {
    if (entry < 0 || entry >= kKplVariableLimit) return nullptr;
    return g_state.kpl_addresses[entry];
}

void set_window_option(int setting_id, int option, int value) {
    bool checks_changed = false;
    for (int k = 0; k < g_state.check_count; ++k) {
        if (g_state.checks[k].setting_id == setting_id) {
            checks_changed = checks_changed || g_state.checks[k].checked != (value != 0 ? 1 : 0);
            g_state.checks[k].checked = value != 0 ? 1 : 0;
        }
    }
    if (checks_changed && running_flag() != 0) show_check_items();
    if (option <= 0 || option >= kOptionLimit || option == 9) return;
    const int on = value != 0 ? 1 : 0;
    set_output_option(option, on);
    const bool running = running_flag() != 0;
    switch (option) {
        case kOptionLog:
            if (!g_state.reading_settings_file) apply_log_option(on);
            break;
        case kOptionPageMode:
            if (on != 0) set_page_full_check_armed(true);
            break;
        case kOptionMenubar:
            if (running) msg_box(kMsgTakesEffectNextStart);
            break;
        case kOptionToolbar:
            // No tool strip can be shown or hidden while the program runs: the change waits for
            // the next start.
            if (running) msg_box(kMsgTakesEffectNextStart);
            break;
        case kOptionBlackAndWhite:
            if (running) msg_box(kMsgBlackAndWhiteNextStart);
            break;
        case kOptionWhiteBackground:
            if (g_state.windows_registered) create_color_palette(on != 0);
            break;
        default:
            break;
    }
}

namespace {

bool names_lens_file(const std::string& arg) {
    if (arg.size() <= 4) return false;
    std::string tail = arg.substr(arg.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".len" || tail == ".tav";
}

}  // namespace

std::string startup_lens_argument(bool* found) {
    const std::vector<std::string>& args = program_arguments();
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (!names_lens_file(args[i])) continue;
        std::string joined = args[1];
        for (std::size_t k = 2; k <= i; ++k) joined += " " + args[k];
        if (found != nullptr) *found = true;
        return joined;
    }
    if (found != nullptr) *found = false;
    return {};
}

bool lens_folder_of(const std::string& path, std::string* folder) {
    const std::size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos) return false;
    const bool root = cut == 0 || path[cut - 1] == ':';
    *folder = path.substr(0, root ? cut + 1 : cut);
    return true;
}

int cmd_open_startup_lens() {
    set_startup_done(true);
    const char* kept = get_setting_text(kSetLensFile, 0);
    std::string lens = kept != nullptr ? kept : "";

    // The new empty lens is made quietly; it counts as the saved state.
    set_setting_flag(kSetOutputOn, 0);
    run_command_string(kLineNewLens, 0);
    run_command_string(kLineEndEntry, 0);
    record_reference_sums();
    set_setting_flag(kSetOutputOn, 1);

    bool found = false;
    std::string named = startup_lens_argument(&found);
    // A relative name on the command line is the user's, from where the program was started.
    const bool relative = !named.empty() && named[0] != '/' && named[0] != '\\' &&
                          named.find(':') == std::string::npos;
    if (found && relative && !start_folder().empty()) named = start_folder() + "/" + named;
    if (found) lens = named;
    if ((found || get_setting_flag(kSetLensAutoOpen) != 0) && !lens.empty()) {
        // A name too long for Lens_file would leave the old name there and open that file.
        if (set_setting_text(kSetLensFile, lens.c_str(), 0) != 0) {
            set_pending_name(lens.c_str());
            return kMsgBadValue;
        }
        const int opened = run_command_string(kLineOpenLensFile, 0);
        if (opened != 0) return opened;
        std::string folder;
        if (lens_folder_of(lens, &folder))
            set_setting_text(kSetCurrentDirectory, folder.c_str(), 0);
    }

    const char* routine = msg_text(kMsgStartupRoutine);
    if (lookup_symbol(routine) >= 0) return run_command_string(routine, 0);
    return 0;
}

int exit_hook() {
    // A lens without surfaces between object and image holds nothing to save and is never
    // reopened; any other changed lens is offered for saving first, and Cancel or a failed
    // save keeps the program running.
    if (lens_data().image_surface <= 1) {
        set_setting_text(kSetLensFile, "", 0);
    } else if (const int asked = save_if_changed(); asked == kStopped || asked == kErrorTextReady) {
        return asked;
    }
    // Typed text in the edit window is offered the same way.
    if (const int kept = save_edit_text_if_changed(); kept != 0) return kept;

    PrinterChoices choices;
    printer_setup(choices, 1);
    set_setting_int(kSetPrintDestination, choices.print_destination, 0, 0);
    set_setting_int(kSetPlotDestination, choices.plot_destination, 0, 0);
    set_setting_text(kSetPrintFile, choices.print_file.c_str(), 0);
    set_setting_text(kSetPlotFile, choices.plot_file.c_str(), 0);

    set_startup_done(false);
    store_window_placements();
    store_pending_capacities();
    write_settings_file(g_state.settings_path);
    return 0;
}

void gui_shutdown() {
    // A recording still open keeps the frames it has, with their count.
    finish_animation_recording();
    splash_close();
    g_state.windows_registered = false;
    platform::UiBackend* ui = ui_or_null();
    if (ui != nullptr) {
        for (int w = platform::kWindowCount - 1; w >= 1; --w) {
            if (ui->window_exists(w)) ui->destroy_window(w);
        }
    }
    close_log_file();
    free_lens_drawing();
    free_model_storage();
    reset_cad_output();
    reset_lens_drawing_state();
    free_spot_storage();
}

const std::string& settings_file_path() {
    return g_state.settings_path;
}
int immediate_command_symbol() {
    return g_state.immediate_symbol;
}
int system_menu_check_count() {
    return g_state.check_count;
}

const SystemMenuCheckItem* system_menu_check_item(int n) {
    if (n < 0 || n >= g_state.check_count) return nullptr;
    return &g_state.checks[n];
}

int surface_clipboard_format() {
    return g_state.surface_clipboard_format;
}

const char* lens_title_for_caption() {
    return lens_data().title;
}

void reset_startup_state() {
    g_state = StartupState{};
}

namespace {
const platform::StateReset startup_state_reset{"app/startup", reset_startup_state,
                                               platform::ResetLayer::app};
}  // namespace
