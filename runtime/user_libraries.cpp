#include "runtime/user_libraries.h"

#include <algorithm>
#include <vector>

#include "platform/dynamic_library.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/lens_data_guard.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/table_files.h"
#include "runtime/text_output.h"
#include "runtime/user_library_api.h"

namespace {

struct FunctionEntry {
    int library = 0;  // 0: a retired id
    UserFunction function = nullptr;
};
// The functions the user libraries registered, and the libraries loaded.
struct UserLibrariesState {
    std::vector<FunctionEntry> functions;  // id k is entry k - 1
    std::vector<int> libraries;
};

UserLibrariesState g_user_libraries;

void* lens_item_callback(int item, int index, int index2) {
    const HandlerTable& t = handler_table();
    return t.lens_item_address != nullptr ? t.lens_item_address(item, index, index2) : nullptr;
}

const char* cell_text(int i) {
    const ArgCell* c = arg_cell(i);
    if (c == nullptr || c->type != kArgChar || c->text_length <= 0) return nullptr;
    return c->value.text;
}

void retire(int library) {
    for (FunctionEntry& f : g_user_libraries.functions) {
        if (f.library == library) f = FunctionEntry{};
    }
    std::erase(g_user_libraries.libraries, library);
}

}  // namespace

int load_user_library(const std::string& name) {
    if (name.empty() || name.find_first_of("/\\") != std::string::npos) return 0;
    for (const std::string& folder : {data_folder(), root_folder()}) {
        const std::string path = folder + "/bin/" + name + ".so";
        const int handle = platform::library_open(path);
        if (handle == 0) continue;
        auto init =
            reinterpret_cast<UserInitLibrary>(platform::library_symbol(handle, "InitLibrary"));
        if (init == nullptr) {
            platform::library_close(handle);
            return 0;
        }
        init(get_output_value, run_command_string, lens_item_callback);
        g_user_libraries.libraries.push_back(handle);
        if (output_option(kOptionStepMode) != 0) msg_box(kMsgLibraryLoaded, path.c_str());
        return handle;
    }
    return 0;
}

int cmd_user_dll() {
    const int command = current_command();
    if (command < kCmdDllLoad || command > kCmdDllFree) return 0;
    if (const int r = refuse_while_reading_lens_data(); r != 0) return r;
    switch (command) {
        case kCmdDllLoad: {
            const char* name = cell_text(0);
            set_int_result(name != nullptr ? load_user_library(name) : 0);
            return 0;
        }
        case kCmdDllFunction: {
            const int library = arg_int(0);
            const char* name = cell_text(1);
            void* symbol = name != nullptr && std::find(g_user_libraries.libraries.begin(),
                                                        g_user_libraries.libraries.end(),
                                                        library) != g_user_libraries.libraries.end()
                               ? platform::library_symbol(library, name)
                               : nullptr;
            if (symbol == nullptr) {
                set_int_result(0);
                return 0;
            }
            g_user_libraries.functions.push_back({library, reinterpret_cast<UserFunction>(symbol)});
            set_int_result(static_cast<int>(g_user_libraries.functions.size()));
            return 0;
        }
        case kCmdDllCall: {
            const int id = arg_int(0);
            if (id < 1 || id > static_cast<int>(g_user_libraries.functions.size()) ||
                g_user_libraries.functions[static_cast<std::size_t>(id - 1)].library == 0) {
                return set_error_msg(kMsgNoSuchFunctionId, id);
            }
            // The cells after the id that the caller gave.
            int count = 0;
            while (arg_cell(1 + count) != nullptr && arg_cell(1 + count)->status == kArgGiven) {
                ++count;
            }
            g_user_libraries.functions[static_cast<std::size_t>(id - 1)].function(count,
                                                                                  arg_vector() + 1);
            return 0;
        }
        case kCmdDllFree: {
            const int library = arg_int(0);
            if (std::find(g_user_libraries.libraries.begin(), g_user_libraries.libraries.end(),
                          library) == g_user_libraries.libraries.end()) {
                return 0;
            }
            retire(library);
            platform::library_close(library);
            return 0;
        }
        default:
            return 0;
    }
}

void unload_user_libraries() {
    for (int library : std::vector<int>(g_user_libraries.libraries)) {
        retire(library);
        platform::library_close(library);
    }
    g_user_libraries.functions.clear();
}

void install_user_libraries() {
    set_handler(kSlotUserDll, cmd_user_dll);
}
