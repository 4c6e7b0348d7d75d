// A temporary installation folder (ROOT) and user data folder (DATA) for one test, with the
// folder skeleton of an installation, removed again when the test ends. TVROOT, TVDATA and the
// user-profile override point into it while it lives, so no test reads or writes the real ones.
#pragma once

#include <filesystem>
#include <string>

namespace tavo_test {

class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::filesystem::path& base() const { return base_; }
    const std::filesystem::path& root() const { return root_; }
    const std::filesystem::path& data() const { return data_; }
    const std::filesystem::path& profile() const { return profile_; }

    // Writes a text file below the tree (folders made as needed) and returns its path.
    std::filesystem::path write_file(const std::filesystem::path& relative,
                                     const std::string& text) const;

private:
    std::filesystem::path base_;
    std::filesystem::path root_;
    std::filesystem::path data_;
    std::filesystem::path profile_;
    std::string saved_root_, saved_data_, saved_profile_;
    bool had_root_ = false, had_data_ = false, had_profile_ = false;
};

// Reads a whole file as bytes; empty when it cannot be read.
std::string read_file(const std::filesystem::path& path);

// The built installation tree (ROOT of the build), for tests that need built tables.
std::filesystem::path built_root();

}  // namespace tavo_test
