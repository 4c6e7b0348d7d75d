#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <map>

#include "platform/environment.h"
#include "platform/paths.h"
#include "platform/status.h"

namespace platform {

namespace {

std::map<int, void*>& open_libraries() {
    static std::map<int, void*> libraries;
    return libraries;
}

// Handles are never reused within a run, so a stale handle cannot reach a different library.
int next_handle = 1;

std::string& last_error() {
    static std::string text;
    return text;
}

bool is_file(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

int library_open(const std::string& name) {
    const std::string path = to_native_path(name);
    if (path.empty()) {
        last_error() = "empty library name";
        return 0;
    }
    void* library = nullptr;
    if (path.find('/') == std::string::npos) {
        // As on the system the program came from, the program's own folder comes first.
        const std::string folder = program_folder();
        if (!folder.empty() && is_file(join_path(folder, path))) {
            library = ::dlopen(join_path(folder, path).c_str(), RTLD_NOW | RTLD_LOCAL);
        }
    }
    if (library == nullptr) library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* error = ::dlerror();
        last_error() = error != nullptr ? error : "cannot load " + path;
        return 0;
    }
    if (next_handle <= 0) {  // after 2^31 loads in one run: refuse rather than wrap
        ::dlclose(library);
        last_error() = "too many library loads";
        return 0;
    }
    const int handle = next_handle++;
    open_libraries()[handle] = library;
    last_error().clear();
    return handle;
}

void* library_symbol(int handle, const std::string& symbol) {
    auto found = open_libraries().find(handle);
    if (found == open_libraries().end()) {
        last_error() = "unknown library handle " + std::to_string(handle);
        return nullptr;
    }
    ::dlerror();
    void* address = ::dlsym(found->second, symbol.c_str());
    if (address == nullptr) {
        const char* error = ::dlerror();
        last_error() = error != nullptr ? error : "symbol " + symbol + " is null";
        return nullptr;
    }
    last_error().clear();
    return address;
}

int library_close(int handle) {
    auto found = open_libraries().find(handle);
    if (found == open_libraries().end()) {
        last_error() = "unknown library handle " + std::to_string(handle);
        return kNotFound;
    }
    void* library = found->second;
    open_libraries().erase(found);
    if (::dlclose(library) != 0) {
        const char* error = ::dlerror();
        last_error() = error != nullptr ? error : "cannot unload library";
        return kFailed;
    }
    last_error().clear();
    return kOk;
}

std::string library_error_text() {
    return last_error();
}

}  // namespace platform
