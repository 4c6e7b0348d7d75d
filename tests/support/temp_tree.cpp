#include "tests/support/temp_tree.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace tavo_test {
namespace fs = std::filesystem;

namespace {

const char* const kFolders[] = {"bin/amo",    "bin/glc",    "bin/lmo",    "bin/bma",    "bin/mov",
                                "public/kpl", "public/scp", "public/len", "public/mov", "hlp"};
const char* const kDataFolders[] = {"bin", "bin/amo", "bin/glc", "bin/lmo", "bin/mov",
                                    "kpl", "scp",     "len",     "mov"};

void remember(const char* name, std::string& saved, bool& had) {
    const char* value = std::getenv(name);
    had = value != nullptr;
    if (had) saved = value;
}

void restore(const char* name, const std::string& saved, bool had) {
    if (had) {
        ::setenv(name, saved.c_str(), 1);
    } else {
        ::unsetenv(name);
    }
}

}  // namespace

TempTree::TempTree() {
    std::random_device seed_source;
    std::mt19937_64 gen(seed_source());
    fs::path tmp = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::ostringstream name;
        name << "tavo-test-" << std::hex << gen();
        fs::path candidate = tmp / name.str();
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            base_ = candidate;
            break;
        }
    }
    if (base_.empty()) throw std::runtime_error("cannot make a temporary test folder");
    root_ = base_ / "root";
    data_ = base_ / "data";
    profile_ = base_ / "profile.ini";
    for (const char* f : kFolders) fs::create_directories(root_ / f);
    for (const char* f : kDataFolders) fs::create_directories(data_ / f);
    remember("TVROOT", saved_root_, had_root_);
    remember("TVDATA", saved_data_, had_data_);
    remember("TAVO_PROFILE", saved_profile_, had_profile_);
    ::setenv("TVROOT", root_.c_str(), 1);
    ::setenv("TVDATA", data_.c_str(), 1);
    ::setenv("TAVO_PROFILE", profile_.c_str(), 1);
}

TempTree::~TempTree() {
    restore("TVROOT", saved_root_, had_root_);
    restore("TVDATA", saved_data_, had_data_);
    restore("TAVO_PROFILE", saved_profile_, had_profile_);
    std::error_code ec;
    fs::remove_all(base_, ec);
}

fs::path TempTree::write_file(const fs::path& relative, const std::string& text) const {
    fs::path path = base_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
    return path;
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

fs::path built_root() {
    return fs::path(TAVO_INSTALL_DIR);
}

}  // namespace tavo_test
