// The message compiler as a user runs it: the built `vdm` on sources in a temporary ROOT/DATA
// pair that holds the base and diagnostics tables the build made.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/message_table.h"
#include "tests/support/temp_tree.h"

namespace tavo_test {

struct VdmResult {
    int exit_code = -1;  // -1 when the program did not end normally
    std::string output;  // standard output and error together
};

// One text of a table file as the program's reader sees it: the bytes up to the first zero.
struct TableText {
    std::string text;
    unsigned kind = 0;
    bool operator==(const TableText&) const = default;
};

// Reads every slot of a table file; empty when the file cannot be read or parsed.
std::vector<TableText> table_texts(const std::filesystem::path& path);

class VdmTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Runs vdm with args in folder (the tree's base folder when empty), with the environment
    // of this process less the variables named in unset.
    VdmResult run_vdm(const std::vector<std::string>& args,
                      const std::vector<std::string>& unset = {},
                      const std::filesystem::path& folder = {});
    // Public compile with the diagnostics file errs_path().
    VdmResult run_public() { return run_vdm({"-a", "tv", "-m", errs_path().string()}); }
    VdmResult run_private() { return run_vdm({"-a", "tv", "-m", errs_path().string(), "-p"}); }

    std::filesystem::path public_source(const std::string& name) const {
        return tree.root() / "public/kpl" / name;
    }
    std::filesystem::path private_source(const std::string& name) const {
        return tree.data() / "kpl" / name;
    }
    std::filesystem::path public_table() const { return tree.root() / "bin/amo/tvusmsgs.amo"; }
    std::filesystem::path private_table() const { return tree.data() / "bin/amo/tvusmsgs.amo"; }
    std::filesystem::path errs_path() const { return tree.base() / "vdm_errs"; }
    std::string errs() const { return read_file(errs_path()); }
    void write(const std::filesystem::path& path, const std::string& text) const;

    TempTree tree;
};

}  // namespace tavo_test
