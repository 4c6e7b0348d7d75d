// The compilers of a user's own sources, run as the compile driver runs them: the built `kpl`
// and `brx` of the installation on a temporary ROOT/DATA pair, checked by their exit codes, their
// diagnostics files and the tables they leave.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "kpl/kpl_listing.h"
#include "platform/child_process.h"
#include "runtime/definitions.h"
#include "runtime/menu_store.h"
#include "runtime/table_code.h"
#include "runtime/table_files.h"
#include "runtime/table_format.h"
#include "runtime/table_lists.h"
#include "runtime/table_messages.h"
#include "tests/support/built_tables.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

constexpr int kOk = 0;
constexpr int kFaults = 8;
constexpr int kFailed = 2;

// A ROOT with what the compilers read of an installation: the shipped sources and the tables.
class Compilers : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path built = tavo_test::built_root();
        fs::copy(built / "bin/src", tree_.root() / "bin/src", fs::copy_options::recursive);
        for (const char* table : {"tvrtmsgs.amo", "tvalists.amo", "tvrtdefs.amo", "tvmacode.amo"}) {
            fs::copy_file(built / "bin/amo" / table, tree_.root() / "bin/amo" / table);
        }
    }
    void TearDown() override { unload(); }

    fs::path errors_file() const { return tree_.base() / "errs"; }

    // Runs a tool with the driver's arguments (-p for the private tree).
    int run(const char* tool, bool private_tree) {
        std::vector<std::string> argv = {(tavo_test::built_root() / tool).string(), "-a", "tv",
                                         "-m", errors_file().string()};
        if (private_tree) argv.push_back("-p");
        return platform::run_program(argv, 60000);
    }
    std::string diagnostics() const { return tavo_test::read_file(errors_file()); }

    void write(const fs::path& folder, const std::string& name, const std::string& text) {
        fs::create_directories(folder);
        std::ofstream(folder / name, std::ios::binary) << text;
    }
    void write_private(const std::string& name, const std::string& text) {
        write(tree_.data() / "kpl", name, text);
    }
    void write_public(const std::string& name, const std::string& text) {
        write(tree_.root() / "public/kpl", name, text);
    }

    // Reads the tables of the pair the way the program does at start.
    void load() {
        unload();
        ASSERT_EQ(tavo_test::load_built_tables(), 0);
    }
    static void unload() {
        free_definitions();
        reset_lists();
        close_code_file();
        close_message_table();
        set_tables_stale(0);
    }
    // The listing of a loaded procedure's code, and whether it came from the private code table.
    static std::string procedure_listing(const char* name, bool* from_private) {
        const int symbol = lookup_symbol(name);
        const int q = symbol - kUserSymbolBase;
        if (symbol < kUserSymbolBase || q >= definitions().procedure_count) return "not found";
        const ProcedureRecord& r = definitions().procedures[q];
        const std::uint32_t length = r.interpreter_bytes[0] | (r.interpreter_bytes[1] << 8);
        std::vector<std::uint8_t> code(length);
        *from_private = procedure_code_is_private(r);
        if (load_code_block(r.code_offset, length, *from_private, code.data(), code.size(), 0) !=
            0) {
            return "not loaded";
        }
        return kpl_listing(code.data(), code.size());
    }

    tavo_test::TempTree tree_;
};

const char* const kSumSource =
    "# the sum of two surfaces' thicknesses\n"
    "procedure thick_sum kind=2\n"
    "  param a int\n"
    "  param b int\n"
    "  body \"return th[a] + th[b];\"\n"
    "procedure show_sum\n"
    "  param s int default=1\n"
    "  body \"if (s > 0) {\"\n"
    "  body \"  printf \\\"sum %.4f\\\\n\\\", thick_sum(s, s + 1)\"\n"
    "  body \"}\"\n";

TEST_F(Compilers, APrivateProcedureListsAsTheTableBuilderCompilesIt) {
    write_private("mine.kpl", kSumSource);
    ASSERT_EQ(run("kpl", true), kOk) << diagnostics();
    EXPECT_FALSE(fs::exists(errors_file()));
    // The user's procedures are private: their code is in the private code table.
    ASSERT_TRUE(fs::exists(tree_.data() / "bin/amo/tvpvcode.amo"));
    load();
    bool from_private = false;
    const std::string sum = procedure_listing("thick_sum", &from_private);
    EXPECT_TRUE(from_private);
    const std::string show = procedure_listing("show_sum", &from_private);
    EXPECT_TRUE(from_private);
    // show_sum calls thick_sum by its symbol, the first procedure number after the shipped
    // procedures (they begin at 0x2000).
    const int symbol = lookup_symbol("thick_sum");
    EXPECT_GE(symbol, 8192);
    EXPECT_THAT(show, HasSubstr("user " + std::to_string(symbol) +
                                ":double(local 0:int, local 0:int + 1)"));
    unload();

    // The same text as a procedure block of the shipped definitions, built by the table builder.
    std::string built_sum, built_show;
    {
        tavo_test::TempTree reference;
        const fs::path sources = reference.base() / "sources";
        fs::copy(fs::path(TAVO_SOURCE_DIR) / "tables", sources, fs::copy_options::recursive);
        std::ofstream(sources / "definitions/zz_mine.def", std::ios::binary) << kSumSource;
        ASSERT_EQ(tavo_test::build_tables(sources, reference.root() / "bin/amo"), 0);
        load();
        built_sum = procedure_listing("thick_sum", &from_private);
        EXPECT_FALSE(from_private);
        built_show = procedure_listing("show_sum", &from_private);
        unload();
    }
    EXPECT_EQ(sum, built_sum);
    EXPECT_EQ(show, built_show);
}

TEST_F(Compilers, APublicPassPutsTheProceduresIntoThePublicTables) {
    write_public("tools.kpl", kSumSource);
    ASSERT_EQ(run("kpl", false), kOk) << diagnostics();
    EXPECT_FALSE(fs::exists(tree_.data() / "bin/amo/tvrtdefs.amo"));
    // The private pass finds no private sources: no private copy hides the public tables.
    write(tree_.data() / "bin/amo", "tvrtdefs.amo", "an older private table");
    ASSERT_EQ(run("kpl", true), kOk) << diagnostics();
    EXPECT_FALSE(fs::exists(tree_.data() / "bin/amo/tvrtdefs.amo"));
    load();
    bool from_private = true;
    EXPECT_THAT(procedure_listing("thick_sum", &from_private), HasSubstr("return"));
    EXPECT_FALSE(from_private);
}

TEST_F(Compilers, WithoutSourcesThePublicPassWritesTheShippedDefinitions) {
    ASSERT_EQ(run("kpl", false), kOk) << diagnostics();
    const fs::path built = tavo_test::built_root() / "bin/amo";
    for (const char* table : {"tvrtdefs.amo", "tvmacode.amo"}) {
        EXPECT_EQ(tavo_test::read_file(tree_.root() / "bin/amo" / table),
                  tavo_test::read_file(built / table))
            << table;
    }
}

// Faults in the sources: every one listed as "<file>(<line>): <message>", exit 8, and the
// tables the run would have written stay as they were.
struct FaultCase {
    const char* what;
    std::map<std::string, std::string> private_sources;
    std::map<std::string, std::string> public_sources;
    std::vector<std::string> expected;  // lines of the diagnostics file, in order
};

std::string long_line() {
    return "  body \"" + std::string(4100, 'x') + "\"\n";
}

std::string long_procedure() {
    std::string text = "procedure big\n";
    for (int i = 0; i < 600; ++i) text += "  body \"" + std::string(59, 'x') + "\"\n";
    return text;
}

// 800 procedures of one parameter with a 45-character name: 800 x 46 bytes of names pass the
// 32767 bytes the table's parameter-name pool can address.
std::string many_parameter_names() {
    std::string text;
    for (int i = 0; i < 800; ++i) {
        text += "procedure p" + std::to_string(i) + "\n  param " + std::string(41, 'n') +
                std::to_string(1000 + i) + " int\n  body \"return;\"\n";
    }
    return text;
}

TEST_F(Compilers, FaultsInProcedureSourcesAreListedWithTheirPlaces) {
    const FaultCase cases[] = {
        {"an unknown name on line 3",
         {{"mine.kpl", "procedure edge kind=2\n  param s int\n  body \"return nosuch(s);\"\n"}},
         {},
         {"mine.kpl(3): Unknown name nosuch"}},
        {"the name of a built-in command",
         {{"mine.kpl", "# shadows a command\nprocedure print\n  body \"return;\"\n"}},
         {},
         {"mine.kpl(2): 'print' is a built-in command; choose another name"}},
        {"one name in two files",
         {{"a.kpl", "procedure twice\n  body \"return;\"\n"},
          {"b.kpl",
           "procedure other\n  body \"return;\"\n\nprocedure twice\n  body \"return;\"\n"}},
         {},
         {"b.kpl(4): procedure 'twice' is defined twice: also at a.kpl(1)"}},
        {"a private name that a public source defines",
         {{"mine.kpl", "procedure shared\n  body \"return;\"\n"}},
         {{"pub.kpl", "procedure shared\n  body \"return;\"\n"}},
         {"mine.kpl(1): procedure 'shared' is defined twice: also at pub.kpl(1)"}},
        {"lines a procedure source may not hold, and faults in two procedures",
         {{"mine.kpl",
           "procedure ok\n  body \"return;\"\ncommand 9000 mine plain=1\nglobal g 5\n"
           "procedure bad\n  param p int number=3\n  body \"return;\"\n"}},
         {},
         {"mine.kpl(3): 'command': a procedure source holds only procedure, param and body lines",
          "mine.kpl(6): a procedure parameter takes no descriptor number"}},
        {"an unclosed quote",
         {{"mine.kpl", "procedure q\n  body \"return;\n"}},
         {},
         {"mine.kpl(2): unterminated quoted text"}},
        {"a line that is too long",
         {{"mine.kpl", "procedure wide\n" + long_line()}},
         {},
         {"mine.kpl(2): the line is longer than 4000 characters"}},
        {"a procedure that is too long",
         {{"mine.kpl", long_procedure()}},
         {},
         // Body lines of 59 characters and a line end: 500 of them make 30000 characters, the
         // 501st (on line 502) is one too many.
         {"mine.kpl(502): the procedure is longer than 30000 characters"}},
        {"a parameter of an unknown type and a value that does not exist",
         {{"mine.kpl",
           "procedure t\n  param p float\nprocedure u\n  param p int default=value:8000\n"
           "  body \"return;\"\n"}},
         {},
         {"mine.kpl(2): unknown parameter type 'float'",
          "mine.kpl(3): parameter 'p' refers to an undefined value"}},
        {"conditions the shipped definitions do not define",
         {{"mine.kpl", "procedure c if=250\n  param p int if=251\n  body \"return;\"\n"}},
         {},
         {"mine.kpl(1): condition 250 is not defined",
          "mine.kpl(1): parameter 'p' uses condition 251, which is not defined"}},
        {"more parameter names than the table holds",
         {{"mine.kpl", many_parameter_names()}},
         {},
         {"too many parameters"}},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(tree_.data() / "kpl");
        fs::remove_all(tree_.root() / "public/kpl");
        for (const auto& [name, text] : c.private_sources) write_private(name, text);
        for (const auto& [name, text] : c.public_sources) write_public(name, text);
        write(tree_.data() / "bin/amo", "tvrtdefs.amo", "previous");
        EXPECT_EQ(run("kpl", true), kFaults);
        std::string expected;
        for (const std::string& line : c.expected) expected += line + "\n";
        EXPECT_EQ(diagnostics(), expected);
        EXPECT_EQ(tavo_test::read_file(tree_.data() / "bin/amo/tvrtdefs.amo"), "previous");
        EXPECT_FALSE(fs::exists(tree_.data() / "bin/amo/tvpvcode.amo"));
    }
}

TEST_F(Compilers, OnlyTheirOwnSourcesAreRead) {
    // Sources of the other compilers, whatever their case, are no procedure sources.
    write_private("A_STRING1.KPL", "1: info, \"a string\";\n");
    write_private("a_list1.kpl", "list 300 extra\nend\n");
    write_private("A_Menu2.Kpl", "list 301 extra_menu keyed\nend\n");
    write_private("notes.txt", "not a source");
    write_private("Mine.KPL", "procedure mine\n  body \"return;\"\n");
    ASSERT_EQ(run("kpl", true), kOk) << diagnostics();
    load();
    EXPECT_GE(lookup_symbol("mine"), kUserSymbolBase);
    EXPECT_EQ(find_list("extra", false), -1);  // brx has not run
}

TEST_F(Compilers, AListSourceAddsListsBesideTheShippedOnes) {
    const std::string shipped = tavo_test::read_file(tree_.root() / "bin/amo/tvalists.amo");
    write_public("a_list1.kpl", "list 300 public_colours\n  item \"red\" \"1\"\nend\n");
    write_private("a_list1.kpl",
                  "list 301 my_colours\n  item \"green\" \"2\"\n  item \"blue\" \"3\"\nend\n");
    write_private("a_menu1.kpl",
                  "menu_text_size 8000\nlist 302 my_menu keyed\n"
                  "  item \"M,Mine\" \"show_sum\"\nend\n");
    ASSERT_EQ(run("brx", false), kOk) << diagnostics();
    ASSERT_EQ(run("brx", true), kOk) << diagnostics();
    EXPECT_EQ(tavo_test::read_file(tree_.root() / "bin/amo/tvalists.amo"), shipped);
    load();
    EXPECT_GE(find_list("main_menu", true), 0);
    EXPECT_EQ(find_list("public_colours", false), 300);
    EXPECT_EQ(find_list("my_menu", true), 302);
    ASSERT_EQ(find_list("my_colours", false), 301);
    select_list(301);
    ASSERT_EQ(current_list_count(), 2);
    EXPECT_STREQ(current_list_first(1), "blue");
    EXPECT_STREQ(current_list_second(1), "3");
}

TEST_F(Compilers, FaultsInListSourcesAreListedWithTheirPlaces) {
    const FaultCase cases[] = {
        {"the number of a shipped list",
         {{"a_list1.kpl", "list 50 mine keyed\nend\n"}},
         {},
         {"a_list1.kpl(1): list number 50 is a shipped list"}},
        {"the name of a shipped list",
         {{"a_list1.kpl", "\nlist 400 main_menu keyed\nend\n"}},
         {},
         {"a_list1.kpl(2): list name 'main_menu' is a shipped list"}},
        {"one number in two files",
         {{"a_list1.kpl", "list 400 one\nend\n"}, {"a_menu1.kpl", "list 400 two\nend\n"}},
         {},
         {"a_menu1.kpl(1): list number 400 is used twice: also at a_list1.kpl(1)"}},
        {"a malformed item and a list without end",
         {{"a_list1.kpl", "list 400 one\n  item \"a\"\nend\nlist 401 two\n  item \"a\" \"b\"\n"}},
         {},
         {"a_list1.kpl(2): unknown or malformed line starting with 'item'",
          "a_list1.kpl(4): list without end"}},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(tree_.data() / "kpl");
        for (const auto& [name, text] : c.private_sources) write_private(name, text);
        write(tree_.data() / "bin/amo", "tvulists.amo", "previous");
        EXPECT_EQ(run("brx", true), kFaults);
        std::string expected;
        for (const std::string& line : c.expected) expected += line + "\n";
        EXPECT_EQ(diagnostics(), expected);
        EXPECT_EQ(tavo_test::read_file(tree_.data() / "bin/amo/tvulists.amo"), "previous");
    }
}

TEST_F(Compilers, AFailureToRunIsNoCompileError) {
    write_private("mine.kpl", "procedure mine\n  body \"return;\"\n");
    // No prefix: the folders cannot be found.
    EXPECT_EQ(platform::run_program(
                  {(tavo_test::built_root() / "kpl").string(), "-m", errors_file().string(), "-p"},
                  60000),
              kFailed);
    EXPECT_EQ(diagnostics(), "kpl: the table prefix (-a) is missing\n");
    // The shipped sources are missing.
    fs::remove_all(tree_.root() / "bin/src");
    EXPECT_EQ(run("brx", true), kFailed);
    EXPECT_THAT(diagnostics(), HasSubstr("the shipped sources cannot be read"));
    EXPECT_FALSE(fs::exists(tree_.data() / "bin/amo/tvrtdefs.amo"));
}

}  // namespace
