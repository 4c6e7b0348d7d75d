// A started program on which operand and variable lines run as a user types them, with the
// operand command set to a script entry of the test's own, so that the residuals are known
// functions of the lens values.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "optimise/optimise_data.h"
#include "runtime/table_files.h"
#include "tests/entry/entry_fixture.h"

namespace optimise_test {

class Optimise : public entry_test::Entry {
protected:
    // Writes the script entry "res" (DATA/scp/res.scp) and makes it the operand command.
    void residuals(const std::vector<std::string>& lines) {
        const std::filesystem::path folder = std::filesystem::path(data_folder()) / "scp";
        std::filesystem::create_directories(folder);
        std::ofstream out(folder / "res.scp", std::ios::binary);
        out << "*res\n";
        for (const std::string& line : lines) out << line << "\n";
        out.close();
        set_operand_command("script \"res\"");
    }
    static void set_operand_command(const char* text) {
        OptimiseParams* p = lens_data().optimise_params;
        ASSERT_NE(p, nullptr);
        std::snprintf(p->operand_command, sizeof p->operand_command, "%s", text);
    }
    static OptimiseParams& params() { return *lens_data().optimise_params; }
    // A lens of air-spaced dummy surfaces 1..n whose curvatures the script reads.
    void dummies(int n) {
        std::vector<std::string> lines = {"LEN NEW \"dummies\"", "EBR 5", "NXT"};
        for (int j = 1; j <= n; ++j) {
            lines.push_back("TH 10");
            lines.push_back("NXT");
        }
        lines.push_back("END");
        run_all(lines);
    }
    static double cv(int j) { return surface(j).curvature; }
    static const OptimiseTables& tables() { return optimise_tables(); }
};

}  // namespace optimise_test
