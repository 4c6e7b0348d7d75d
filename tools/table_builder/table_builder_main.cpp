// The table builder: compiles the text sources of tables/ into the binary tables of the
// installation tree, or prints a built table back as text.
//
//   table_builder --sources <tables folder> --out <bin/amo folder> [--font <hershey folder>]
//   table_builder --dump <table file>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/table_builder/builders.h"

namespace fs = std::filesystem;

namespace {

bool write_table(const fs::path& folder, const std::string& name, const Bytes& bytes) {
    const fs::path path = folder / ("tv" + name);
    const fs::path temp = folder / ("tv" + name + ".tmp");
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "table_builder: cannot write %s\n", temp.c_str());
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) {
        std::fprintf(stderr, "table_builder: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

int build_all(const fs::path& sources, const fs::path& out, const std::string& font_folder) {
    std::error_code ec;
    fs::create_directories(out, ec);
    std::string error;
    Bytes table;
    const auto defs = sources_in(sources / "definitions", ".def");
    Bytes code;
    if (!build_definitions(defs, table, error, &code) || !write_table(out, "rtdefs.amo", table)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const std::pair<const char*, const char*> messages[] = {{"messages/rtmsgs.msg", "rtmsgs.amo"},
                                                            {"messages/msmsgs.msg", "msmsgs.amo"}};
    for (const auto& [src, name] : messages) {
        if (!build_messages((sources / src).string(), table, error) ||
            !write_table(out, name, table)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    }
    if (!build_lists((sources / "lists/alists.lst").string(), table, error) ||
        !write_table(out, "alists.amo", table)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (!build_help((sources / "help/ctable.hlp").string(), table, error) ||
        !write_table(out, "ctable.amo", table)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (!write_table(out, "macode.amo", code)) return 1;
    if (!font_folder.empty()) {
        if (!build_font(font_folder, table, error) || !write_table(out, "gsfont.amo", table)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}

int dump(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "table_builder: cannot read %s\n", path.c_str());
        return 1;
    }
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string text, error;
    if (!dump_table(bytes, fs::path(path).filename().string(), text, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::fputs(text.c_str(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string sources, out, font, dump_path;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--sources") {
            sources = argv[i + 1];
        } else if (key == "--out") {
            out = argv[i + 1];
        } else if (key == "--font") {
            font = argv[i + 1];
        } else if (key == "--dump") {
            dump_path = argv[i + 1];
        } else {
            dump_path.clear();
            sources.clear();
            break;
        }
    }
    if (!dump_path.empty()) return dump(dump_path);
    if (sources.empty() || out.empty()) {
        std::fprintf(stderr,
                     "usage: table_builder --sources <folder> --out <folder> [--font <folder>]\n"
                     "       table_builder --dump <table>\n");
        return 2;
    }
    return build_all(sources, out, font);
}
