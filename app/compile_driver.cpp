#include "app/compile_driver.h"

#include "kpl/kpl_interp.h"
#include "numeric/linear_solvers.h"
#include "platform/child_process.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "runtime/compile_request.h"
#include "runtime/definitions.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/settings.h"
#include "runtime/table_code.h"
#include "runtime/table_files.h"
#include "runtime/table_lists.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"

namespace {

MenuRebuilder g_menu_rebuilder = nullptr;

const char* const kTools[] = {"vdm", "brx", "kpl"};

const char* tool_for(int state) {
    switch (state) {
        case kCompileStrings:
            return "vdm";
        case kCompileCode:
            return "kpl";
        default:
            return "brx";
    }
}

std::string errors_file(const std::string& tree, const char* tool) {
    return tree + "/bin/amo/" + tool + "_errs";
}

bool known_state(int state) {
    return state == kCompileCode || state == kCompileStrings || state == kCompileLists ||
           state == kCompileMenus || state == kCompileAll;
}

}  // namespace

void set_menu_rebuilder(MenuRebuilder rebuilder) {
    g_menu_rebuilder = rebuilder;
}

std::vector<std::string> split_compiler_options(const std::string& options) {
    std::vector<std::string> words;
    std::string word;
    bool in_word = false, quoted = false;
    for (char c : options) {
        if (c == '"') {
            quoted = !quoted;
            in_word = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (in_word) words.push_back(word);
            word.clear();
            in_word = false;
        } else {
            word.push_back(c);
            in_word = true;
        }
    }
    if (in_word) words.push_back(word);
    return words;
}

void run_compiler() {
    const CompileRequest request = compile_request();
    clear_compile_request();
    if (!known_state(request.state)) return;

    int state = request.state;
    close_message_table();
    if (state != kCompileStrings) {
        free_solver_workspace();
        close_lists_file();
    }
    const bool code_closed = state == kCompileAll || state == kCompileCode;
    if (state == kCompileAll) state = kCompileStrings;
    if (code_closed) close_code_file();

    int result = 0;
    bool lists_changed = false;
    bool private_pass = request.private_tree != 0;
    bool last_pass_private = private_pass;
    for (;;) {
        const std::string& tree = private_pass ? data_folder() : root_folder();
        const char* tool = tool_for(state);
        std::vector<std::string> argv = {root_folder() + "/" + tool, "-a", kTablePrefix, "-m",
                                         errors_file(tree, tool)};
        if (private_pass) argv.push_back("-p");
        for (std::string& w : split_compiler_options(request.options)) argv.push_back(w);
        last_pass_private = private_pass;
        const int code = platform::run_program(argv, kCompilerWaitMs);
        if (code != 0) {
            result = code == kCompilerErrorsExit ? kCompileErrors : kCompileFailed;
            break;
        }
        if (state == kCompileLists || state == kCompileMenus) lists_changed = true;
        // The private tables are built on the public ones, so a public pass is followed by a
        // private one.
        if (!private_pass) {
            private_pass = true;
            continue;
        }
        if (request.state != kCompileAll || state == kCompileCode) break;
        state = state == kCompileStrings ? kCompileLists : kCompileCode;
        private_pass = request.private_tree != 0;
    }

    // A failed private pass leaves the private tables out of date: the public ones are read
    // from now on, and at the next start the file ages say the same.
    if (result != 0 && last_pass_private) result += kStalePrivateTables;
    set_tables_stale(result & kStalePrivateTables);
    open_message_table();
    if (lists_changed) {
        reset_lists();
        open_lists_file(0);
    } else {
        open_lists_file(kListReopenOnly);
    }
    if (code_closed) kpl_forget_procedures();

    if (result != 0) {
        if (!code_file_open()) open_code_file();
        set_tables_stale(result);
        show_compile_errors();
        return;
    }
    if (state == kCompileCode) {
        // The definitions list the compiled procedures; a failed reload ends the run.
        if (reload_definitions() != 0) {
            set_running_flag(0);
            return;
        }
        // The loaded-code index is sized by the procedure count, which the reload may change.
        kpl_forget_procedures();
    } else if (!code_file_open()) {
        open_code_file();
    }
    platform::UiBackend* ui = platform::current_ui();
    if (ui != nullptr && ui->window_exists(platform::kWindowFrame)) print_msg(kMsgCompileDone);
    if (output_option(kOptionMenubar) != 0 &&
        (request.state == kCompileAll || request.state == kCompileMenus)) {
        msg_box(kMsgMenusRebuilt);
        if (g_menu_rebuilder != nullptr) g_menu_rebuilder();
        status_msg(0);
    }
}

void show_compile_errors() {
    const int word = tables_stale();
    const bool private_tree = (word & kStalePrivateTables) != 0;
    const std::string folder = private_tree ? data_folder() : root_folder();
    status_msg(private_tree ? kMsgPrivateCompileFailed : kMsgPublicCompileFailed);
    print_msg(kMsgCompileErrorsHeading);
    // The stale mark stays for this run; the result bits are cleared.
    set_tables_stale(word & kStalePrivateTables);
    if ((word & kCompileResultMask) == kCompileFailed) {
        status_msg(kMsgCompilerNotRun);
        return;
    }
    for (const char* tool : kTools) {
        const std::string path = errors_file(folder, tool);
        if (type_text_file(path.c_str(), 0) == 0) platform::remove_file(path);
    }
}

void offer_stale_table_compile() {
    if ((tables_stale() & kStalePrivateTables) == 0) return;
    if (ask_msg(kMsgRecompileStaleTables) == 0) {
        request_compile(1, kCompileAll, compiler_options_text());
        run_compiler();
    } else {
        set_tables_stale(0);
    }
}
