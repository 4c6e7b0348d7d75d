// The compile request that the main loop carries out: which sources to compile (code, strings,
// lists, menus or all three), for which tree, with which extra compiler options. Set by the
// compile command and by the save commands (compile_on_save); the driver in app/ runs it.
#pragma once

#include <string>

enum CompileState : int {
    kCompileNone = 0,
    kCompileCode = 100,     // a procedure source
    kCompileStrings = 101,  // a string source ("a_string...")
    kCompileLists = 102,    // a list source ("a_list...")
    kCompileMenus = 103,    // a menu source ("a_menu...")
    kCompileAll = 113,      // strings, lists and code in turn
};

// The result word of a compile shares the stale word of the tables (runtime/table_files.h):
// 0 success, 1 compile errors, 2 any other failure, plus 4 when the private tables are out of
// date.
inline constexpr int kCompileErrors = 1;
inline constexpr int kCompileFailed = 2;
inline constexpr int kCompileResultMask = 3;

struct CompileRequest {
    int state = kCompileNone;
    int private_tree = 0;  // 0 public tree, 1 private tree
    std::string options;   // extra compiler options, split into words when the tool is started
};

CompileRequest& compile_request();
void request_compile(int private_tree, int state, const char* options);
void clear_compile_request();

// Classifies a saved file and requests its compile: a ".kpl" file (any case) in the public
// source folder ROOT/public/kpl or the private one DATA/kpl, by its name: "a_menu" menus,
// "a_list" lists, "a_string" strings, any other name code. Anything else requests nothing.
// The compiler options are the setting KPL_compiler_options's compiler text. The state set.
int compile_on_save(const std::string& path);
