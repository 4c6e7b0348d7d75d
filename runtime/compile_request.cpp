#include "runtime/compile_request.h"

#include <algorithm>
#include <cctype>

#include "platform/state_reset.h"
#include "runtime/settings.h"
#include "runtime/table_files.h"
#include "runtime/text_case.h"

namespace {

CompileRequest g_request;

// A folder in one spelling: '/' separators, no doubled or trailing separator, lower case.
std::string folder_key(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    std::string out;
    for (char c : path) {
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out.push_back(c);
    }
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return lower_text(out);
}

bool starts_with(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

}  // namespace

CompileRequest& compile_request() {
    return g_request;
}

void request_compile(int private_tree, int state, const char* options) {
    g_request.private_tree = private_tree != 0 ? 1 : 0;
    g_request.state = state;
    g_request.options = options != nullptr ? options : "";
}

void clear_compile_request() {
    g_request = CompileRequest{};
}

int compile_on_save(const std::string& path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    const std::size_t slash = p.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : p.substr(0, slash);
    const std::string file = slash == std::string::npos ? p : p.substr(slash + 1);
    const std::size_t dot = file.rfind('.');
    if (dot == std::string::npos || lower_text(file.substr(dot + 1)) != "kpl") return kCompileNone;
    const std::string name = lower_text(file.substr(0, dot));
    int state = kCompileCode;
    if (starts_with(name, "a_menu")) {
        state = kCompileMenus;
    } else if (starts_with(name, "a_list")) {
        state = kCompileLists;
    } else if (starts_with(name, "a_string")) {
        state = kCompileStrings;
    }
    const std::string key = folder_key(folder);
    int private_tree = -1;
    if (!root_folder().empty() && key == folder_key(root_folder() + "/public/kpl")) {
        private_tree = 0;
    } else if (!data_folder().empty() && key == folder_key(data_folder() + "/kpl")) {
        private_tree = 1;
    }
    if (private_tree < 0) {
        g_request.state = kCompileNone;
        return kCompileNone;
    }
    request_compile(private_tree, state, compiler_options_text());
    return state;
}

namespace {
void reset_compile_request() {
    g_request = CompileRequest{};
}
const platform::StateReset compile_request_state_reset{
    "runtime/compile_request", reset_compile_request, platform::ResetLayer::runtime};
}  // namespace
