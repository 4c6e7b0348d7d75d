#include "tests/msgcompiler/vdm_fixture.h"

#include <sys/wait.h>

#include <cstdio>
#include <fstream>

namespace fs = std::filesystem;

namespace tavo_test {

namespace {

std::string quoted(const std::string& word) {
    std::string out = "'";
    for (char c : word) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

}  // namespace

std::vector<TableText> table_texts(const fs::path& path) {
    const std::string raw = read_file(path);
    const std::vector<std::uint8_t> bytes(raw.begin(), raw.end());
    std::vector<MessageEntry> entries;
    if (raw.empty() || parse_message_table(bytes, entries) != 0) return {};
    std::vector<TableText> texts;
    for (const MessageEntry& e : entries) {
        std::string text(raw.data() + e.offset, e.length);
        text.resize(std::min(text.size(), text.find('\0')));
        texts.push_back({text, e.kind});
    }
    return texts;
}

void VdmTest::SetUp() {
    for (const char* name : {"tvrtmsgs.amo", "tvmsmsgs.amo"}) {
        fs::copy_file(built_root() / "bin/amo" / name, tree.root() / "bin/amo" / name,
                      fs::copy_options::overwrite_existing);
    }
    fs::create_directories(tree.root() / "public/kpl");
    fs::create_directories(tree.data() / "kpl");
    fs::create_directories(tree.data() / "bin/amo");
}

void VdmTest::write(const fs::path& path, const std::string& text) const {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
}

VdmResult VdmTest::run_vdm(const std::vector<std::string>& args,
                           const std::vector<std::string>& unset, const fs::path& folder) {
    std::string command =
        "cd " + quoted((folder.empty() ? tree.base() : folder).string()) + " && env";
    for (const std::string& name : unset) command += " -u " + name;
    command += " " + quoted((built_root() / "vdm").string());
    for (const std::string& a : args) command += " " + quoted(a);
    command += " 2>&1";
    VdmResult result;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[512];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    const int status = ::pclose(pipe);
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    return result;
}

}  // namespace tavo_test
