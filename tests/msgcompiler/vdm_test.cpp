// The message compiler run as a child process on sources in a temporary tree: the table it
// writes, what it prints and its exit code.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "runtime/table_files.h"
#include "runtime/table_messages.h"
#include "tests/msgcompiler/vdm_fixture.h"
#include "tests/support/built_tables.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

namespace tavo_test {
namespace {

constexpr int kFailed = 8;

// The lines of a text that contain part.
int count_lines_with(const std::string& text, const std::string& part) {
    int count = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (text.substr(start, end - start).find(part) != std::string::npos) ++count;
        start = end + 1;
    }
    return count;
}

// Every base message and the given user strings read through the program's message reader,
// with the private tables used or not.
void expect_reader_sees(const std::vector<TableText>& base,
                        const std::vector<std::pair<int, TableText>>& user) {
    ASSERT_EQ(read_root_folders(), 0);
    set_tables_stale(0);
    ASSERT_EQ(open_message_table(), 0);
    ASSERT_FALSE(base.empty());
    for (std::size_t slot = 0; slot < base.size(); ++slot) {
        int kind = -1;
        const std::string text = msg_text_kind(static_cast<int>(slot) - 4000, &kind);
        ASSERT_EQ(text, base[slot].text) << "slot " << slot;
        ASSERT_EQ(kind, static_cast<int>(base[slot].kind)) << "slot " << slot;
    }
    for (const auto& [number, expected] : user) {
        int kind = -1;
        const std::string text = msg_text_kind(number, &kind);
        EXPECT_EQ(text, expected.text) << "user string " << number;
        EXPECT_EQ(kind, static_cast<int>(expected.kind)) << "user string " << number;
    }
    close_message_table();
}

TEST_F(VdmTest, PublicThenPrivateTablesHoldTheBaseAndTheUserStrings) {
    write(public_source("a_string1.kpl"), "5: info, \"x\";\n2*3+1, e \"y\";\n");
    const VdmResult pub = run_public();
    EXPECT_EQ(pub.exit_code, 0) << pub.output << errs();
    EXPECT_FALSE(fs::exists(errs_path()));
    const std::vector<TableText> table = table_texts(public_table());
    ASSERT_GT(table.size(), 4007u);
    EXPECT_EQ(table[4005], (TableText{"x", 0}));
    EXPECT_EQ(table[4007], (TableText{"y", 2}));

    const std::vector<TableText> base = table_texts(built_root() / "bin/amo/tvrtmsgs.amo");
    expect_reader_sees(base, {{5, {"x", 0}}, {7, {"y", 2}}});

    // The private table is built on the public one: the public strings stay readable.
    write(private_source("a_string_mine.kpl"), "9: w, \"z\";\n");
    const VdmResult priv = run_private();
    EXPECT_EQ(priv.exit_code, 0) << priv.output << errs();
    ASSERT_TRUE(fs::exists(private_table()));
    expect_reader_sees(base, {{5, {"x", 0}}, {7, {"y", 2}}, {9, {"z", 1}}});
}

TEST_F(VdmTest, WithoutADiagnosticsFileTheBannerAndTheLinesGoToTheConsole) {
    write(public_source("a_string1.kpl"), "501: info, \"x\";\n");
    const VdmResult r = run_vdm({"-a", "tv"});
    EXPECT_EQ(r.exit_code, kFailed);
    EXPECT_EQ(r.output,
              "Compiling public kpl strings\n a_string1.kpl 1: String number outside 1..500\n");
    EXPECT_FALSE(fs::exists(public_table()));
}

struct OptionCase {
    std::vector<std::string> args;
    const char* expected;
};

TEST_F(VdmTest, BadCommandLinesEndTheRunWithTheirDiagnostic) {
    write(public_source("a_string1.kpl"), "1: i, \"x\";\n");
    const OptionCase cases[] = {
        {{"-a", "tv", "-ab"}, " Bad option: -ab\n"},
        {{"-a", "tv", "-q"}, " Bad option: -q\n"},
        {{"-a", "tv", "-D", std::string(48, 'n')}, " Bad option: -D\n"},
        {{"-a", "tv", "-D", "a", "-D", "b", "-D", "c", "-D", "d",
          "-D", "e",  "-D", "f", "-D", "g", "-D", "h", "-D", "i"},
         " Bad option: -D\n"},
        {{"-a", "tv", "-c"}, " Option value missing, or no -a option\n"},
        {{"-m", "x", "-a"}, " Option value missing, or no -a option\n"},
        {{"-p"}, " Option value missing, or no -a option\n"},
        {{"-a", "am"}, " The prefix AM is reserved\n"},
        {{"-a", "tvxy"}, " The prefix must have one to three characters\n"},
    };
    for (const OptionCase& c : cases) {
        const VdmResult r = run_vdm(c.args);
        EXPECT_EQ(r.exit_code, kFailed) << c.expected;
        // The prefix chooses the diagnostics table, so only "tv" runs show its texts.
        if (c.args.size() > 1 && c.args[0] == "-a" && c.args[1] == "tv") {
            EXPECT_EQ(r.output, c.expected);
        } else {
            EXPECT_THAT(r.output, Not(HasSubstr("Compiling")));
        }
        EXPECT_FALSE(fs::exists(public_table())) << c.expected;
    }
    // Ignored options take their value; "-D" as the last word is ignored.
    const VdmResult ok = run_vdm({"-c", "1", "-g", "2", "-l", "3", "-a", "tv", "-D"});
    EXPECT_EQ(ok.exit_code, 0) << ok.output;
    EXPECT_TRUE(fs::exists(public_table()));
}

struct SourceCase {
    std::string source;
    const char* expected;  // one whole diagnostic line
};

TEST_F(VdmTest, LanguageErrorsNameTheFileAndLine) {
    const SourceCase cases[] = {
        {"501: info, \"x\";", " a_string1.kpl 1: String number outside 1..500\n"},
        {"0: info, \"x\";", " a_string1.kpl 1: String number outside 1..500\n"},
        // Numbers and products far beyond 64 bits stay out of range instead of wrapping.
        {"99999999999999999999999*99999999999999999999: i, \"x\";",
         " a_string1.kpl 1: String number outside 1..500\n"},
        {"\n5: 64, \"x\";", " a_string1.kpl 2: Kind outside 0..63\n"},
        {"5: info, \"x\";\n5: info, \"y\";", " a_string1.kpl 2: String number used twice\n"},
        {"5: bogus, \"x\";", " a_string1.kpl 1: Unknown kind: bogus\n"},
        {"5: \"x\";", " a_string1.kpl 1: Kind missing\n"},
        {"5: i, ;", " a_string1.kpl 1: String text missing at ;\n"},
        {"5: i, \"x\"", " a_string1.kpl 1: ';' missing before end of file\n"},
        {"5) i, \"x\";", " a_string1.kpl 1: Syntax error at )\n"},
        {"1.5: i, \"x\";", " a_string1.kpl 1: Syntax error at 1.5\n"},
        {"#define A 1\n#define a 2\n", " a_string1.kpl 2: Macro already defined: a\n"},
        {"#define\n", " a_string1.kpl 1: Macro name missing\n"},
        {"#define 9x 1\n", " a_string1.kpl 1: Bad macro name: 9x\n"},
        {"#define include 1\n", " a_string1.kpl 1: Bad macro name: include\n"},
        {"#else\n", " a_string1.kpl 1: Invalid character or unknown directive: #else\n"},
        {"5: i, \"x\"; @", " a_string1.kpl 1: Invalid character or unknown directive: @\n"},
        {"#include\n", " a_string1.kpl 1: Include without a file name\n"},
        {"\n#include \"nothing.kpl\"\n",
         " a_string1.kpl 2: Cannot open the included file nothing.kpl\n"},
        {"#include \".\"\n", " a_string1.kpl 1: Cannot open the included file .\n"},
        {"/* open", " a_string1.kpl 1: End of file inside a comment\n"},
        {"5: i, \"open", " a_string1.kpl 1: End of file inside a string\n"},
        {"#define a b\n#define b a\n5: a, \"x\";", " a_string1.kpl 3: Macro expansion overflow\n"},
        {"#define a a a\n5: a, \"x\";", " a_string1.kpl 2: Macro expansion overflow\n"},
        {"5: i, \"x\"; 6: i, \"y\"; " + std::string(400, '7'),
         " a_string1.kpl 1: Token, string or directive argument too long\n"},
    };
    for (const SourceCase& c : cases) {
        write(public_source("a_string1.kpl"), c.source);
        const VdmResult r = run_public();
        EXPECT_EQ(r.exit_code, kFailed) << c.source;
        EXPECT_THAT(errs(), HasSubstr(c.expected)) << c.source;
        EXPECT_FALSE(fs::exists(public_table())) << c.source;
    }
}

TEST_F(VdmTest, TextsOf247BytesAreStoredWholeAndLongerOnesRefused) {
    write(public_source("a_string1.kpl"), "5: i, \"" + std::string(248, 'a') + "\";\n");
    VdmResult r = run_public();
    EXPECT_EQ(r.exit_code, kFailed);
    EXPECT_EQ(errs(), " a_string1.kpl 1: String text longer than 247 bytes\n");

    write(public_source("a_string1.kpl"), "5: i, \"" + std::string(247, 'a') + "\";\n");
    r = run_public();
    ASSERT_EQ(r.exit_code, 0) << errs();
    EXPECT_EQ(table_texts(public_table())[4005].text, std::string(247, 'a'));
}

TEST_F(VdmTest, TenNestedIncludesAreTooDeep) {
    // a_string1.kpl includes inc1, inc1 includes inc2, ... : the tenth input level is refused.
    write(public_source("a_string1.kpl"), "#include \"inc/inc1.kpl\"\n1: i, \"top\";\n");
    for (int i = 1; i <= 9; ++i) {
        // Included names are relative to the including file's folder.
        write(public_source("inc/inc" + std::to_string(i) + ".kpl"),
              "#include \"inc" + std::to_string(i + 1) + ".kpl\"\n" + std::to_string(i + 1) +
                  ": i, \"level\";\n");
    }
    write(public_source("inc/inc10.kpl"), "20: i, \"deepest\";\n");
    VdmResult r = run_public();
    EXPECT_EQ(r.exit_code, kFailed);
    EXPECT_EQ(errs(), " inc8.kpl 1: Included files nested too deep\n");

    // Nine levels are allowed.
    write(public_source("inc/inc8.kpl"), "9: i, \"level\";\n");
    r = run_public();
    ASSERT_EQ(r.exit_code, 0) << errs();
    const auto table = table_texts(public_table());
    EXPECT_EQ(table[4001].text, "top");
    EXPECT_EQ(table[4009].text, "level");
}

TEST_F(VdmTest, ARepeatedDiagnosticOnOneLinePrintsOnce) {
    write(public_source("a_string1.kpl"), "1: 99, \"x\"; 2: 99, \"y\";\n3: 99, \"z\";\n");
    const VdmResult r = run_public();
    EXPECT_EQ(r.exit_code, kFailed);
    EXPECT_EQ(errs(),
              " a_string1.kpl 1: Kind outside 0..63\n a_string1.kpl 2: Kind outside 0..63\n");
}

TEST_F(VdmTest, ThirtyOneErrorsEndTheRun) {
    std::string source;
    for (int i = 0; i < 40; ++i) source += "600: i, \"x\";\n";
    write(public_source("a_string1.kpl"), source);
    const VdmResult r = run_public();
    EXPECT_EQ(r.exit_code, kFailed);
    EXPECT_EQ(count_lines_with(errs(), "String number outside"), 31);
    EXPECT_EQ(count_lines_with(errs(), "Too many errors"), 1);
}

TEST_F(VdmTest, ConditionsDefinitionsAndEscapes) {
    write(public_source("a_string1.kpl"),
          "#ifdef _windows_\n1: info, \"kept\";\n#endif\n"
          "#ifndef _WINDOWS_\n2: info, \"skipped\"; #define skipped 1\n#endif\n"
          "#ifdef zed\n3: info, \"zed\";\n#ifdef nothing\n#endif\n#endif\n"
          "#ifdef undefined_name\n4: i, \"no\";\n#ifndef x\n#endif\n5: i, \"no\";\n#endif\n"
          "4+ZED: i, \"zed is 0\"; // a comment\n"
          "#define three 3\n10*three: w, \"thirty\"; /* and\n another */\n"
          "#undef three\n#ifndef three\n31: w, \"undefined\";\n#endif\n"
          "6: 7 \"a\\nb\";\n"
          "7: i, \"one \\\"quote\\\" and \\\\ backslash\";\n"
          "8: i, \"joined \\\r\n   line\";\n"
          "9: i, \"broken\r\n     line\";\n"
          "0x0a: e, \"\";\n"
          "'\\x0b': e, \"eleven\";\n"
          "(2+2)*3: 0, \"twelve\";\n"
          "-(-13): 0, \"thirteen\";\n");
    const VdmResult r = run_vdm({"-a", "tv", "-m", errs_path().string(), "-D", "ZED"});
    ASSERT_EQ(r.exit_code, 0) << errs();
    const auto t = table_texts(public_table());
    ASSERT_GT(t.size(), 4031u);
    EXPECT_EQ(t[4001], (TableText{"kept", 0}));
    EXPECT_EQ(t[4002].text, "");
    EXPECT_EQ(t[4003].text, "zed");
    EXPECT_EQ(t[4004].text, "zed is 0");
    EXPECT_EQ(t[4005].text, "");
    EXPECT_EQ(t[4030], (TableText{"thirty", 1}));
    EXPECT_EQ(t[4031], (TableText{"undefined", 1}));
    EXPECT_EQ(t[4006], (TableText{"a\\nb", 7}));
    EXPECT_EQ(t[4007].text, "one \"quote\" and \\ backslash");
    EXPECT_EQ(t[4008].text, "joined    line");
    EXPECT_EQ(t[4009].text, "broken line");
    EXPECT_EQ(t[4010], (TableText{"", 2}));
    EXPECT_EQ(t[4011], (TableText{"eleven", 2}));
    EXPECT_EQ(t[4012].text, "twelve");
    EXPECT_EQ(t[4013].text, "thirteen");
}

TEST_F(VdmTest, APrivateCompileWithoutSourcesDeletesThePrivateTable) {
    write(private_table(), "old table");
    const VdmResult r = run_private();
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_FALSE(fs::exists(private_table()));
    EXPECT_FALSE(fs::exists(errs_path()));
}

TEST_F(VdmTest, APublicNumberCannotBeUsedAgainPrivately) {
    write(public_source("a_string1.kpl"), "5: i, \"public\";\n");
    ASSERT_EQ(run_public().exit_code, 0) << errs();
    write(private_source("a_string1.kpl"), "6: i, \"mine\";\n5: i, \"mine too\";\n");
    write(private_table(), "the old private table");
    VdmResult r = run_private();
    EXPECT_EQ(r.exit_code, kFailed);
    EXPECT_EQ(errs(), " a_string1.kpl 2: String number used twice\n");
    // The old table stays without "-x" and goes with it.
    EXPECT_EQ(read_file(private_table()), "the old private table");
    r = run_vdm({"-a", "tv", "-m", errs_path().string(), "-p", "-x"});
    EXPECT_EQ(r.exit_code, kFailed);
    EXPECT_FALSE(fs::exists(private_table()));
    EXPECT_FALSE(fs::exists(tree.data() / "bin/amo/tvusmsgs.tmp"));
}

TEST_F(VdmTest, APublicUserTableOlderThanTheBaseIsNoPrivateBase) {
    write(public_source("a_string1.kpl"), "5: i, \"public\";\n");
    ASSERT_EQ(run_public().exit_code, 0) << errs();
    // The base messages were rebuilt after the public user table.
    const auto later = fs::last_write_time(public_table()) + std::chrono::seconds(10);
    fs::last_write_time(tree.root() / "bin/amo/tvrtmsgs.amo", later);
    write(private_source("a_string1.kpl"), "5: i, \"private\";\n");
    const VdmResult r = run_private();
    EXPECT_EQ(r.exit_code, 0) << errs();
    EXPECT_EQ(table_texts(private_table())[4005].text, "private");
}

TEST_F(VdmTest, WithoutTheRootFolderNothingIsTouched) {
    const fs::path cwd = tree.base() / "cwd";
    fs::create_directories(cwd);
    write(cwd / "bin/amo/tvrtmsgs.amo", read_file(built_root() / "bin/amo/tvrtmsgs.amo"));
    write(cwd / "bin/amo/tvusmsgs.amo", "keep");
    write(cwd / "public/kpl/a_string1.kpl", "1: i, \"x\";\n");
    const VdmResult r = run_vdm({"-a", "tv"}, {"TVROOT"}, cwd);
    EXPECT_EQ(r.exit_code, kFailed);
    EXPECT_EQ(r.output, " Error -44\n");
    EXPECT_EQ(read_file(cwd / "bin/amo/tvusmsgs.amo"), "keep");

    const VdmResult priv = run_vdm({"-a", "tv", "-p", "-m", errs_path().string()}, {"TVDATA"}, cwd);
    EXPECT_EQ(priv.exit_code, kFailed);
    EXPECT_EQ(errs(), " The environment variable TVDATA must name a folder\n");
    EXPECT_EQ(read_file(cwd / "bin/amo/tvusmsgs.amo"), "keep");
}

TEST_F(VdmTest, TwentySourcesLeaveTheLastOneOutAndFail) {
    // Written in an order unlike the sorted one, so directory order does not decide.
    for (int i : {20, 3, 17, 1, 12, 8, 19, 5, 14, 2, 11, 16, 6, 9, 18, 4, 13, 10, 7, 15}) {
        char name[32];
        std::snprintf(name, sizeof name, "a_string%02d.kpl", i);
        write(public_source(name), std::to_string(i) + ": i, \"s\";\n");
    }
    for (int run = 0; run < 2; ++run) {
        const VdmResult r = run_public();
        EXPECT_EQ(r.exit_code, kFailed);
        EXPECT_EQ(errs(), " More than 19 string sources: a_string20.kpl left out\n");
        EXPECT_FALSE(fs::exists(public_table()));
    }
}

TEST_F(VdmTest, SourceNamesMatchWithoutRegardToCase) {
    write(public_source("A_String1.KPL"), "1: i, \"upper\";\n");
    write(public_source("notastring.kpl"), "garbage");
    write(public_source("a_string2.txt"), "garbage");
    const VdmResult r = run_public();
    EXPECT_EQ(r.exit_code, 0) << errs();
    EXPECT_EQ(table_texts(public_table())[4001].text, "upper");
}

TEST_F(VdmTest, DamagedBaseTablesAreRefused) {
    write(public_source("a_string1.kpl"), "1: i, \"x\";\n");
    const fs::path base = tree.root() / "bin/amo/tvrtmsgs.amo";
    const std::string good = read_file(base);
    const std::pair<std::string, const char*> cases[] = {
        {"", " The base message table is too short, empty or too large\n"},
        {good.substr(0, 200), " The base message table is too short, empty or too large\n"},
        {"amms_02" + good.substr(7), " The base message table has a wrong format\n"},
        {std::string("amms_01\0\0\0", 10),
         " The base message table is too short, empty or too large\n"},
    };
    for (const auto& [bytes, expected] : cases) {
        write(base, bytes);
        const VdmResult r = run_public();
        EXPECT_EQ(r.exit_code, kFailed) << expected;
        EXPECT_EQ(errs(), expected);
    }
    fs::remove(base);
    EXPECT_EQ(run_public().exit_code, kFailed);
    EXPECT_EQ(errs(), " Cannot open the base message table\n");
    EXPECT_FALSE(fs::exists(public_table()));
}

TEST_F(VdmTest, TheMacroTableHoldsFiveHundredNames) {
    // "_windows_" and "_winnt_" are defined before the source's own names.
    std::string source;
    for (int i = 1; i <= 499; ++i) source += "#define m" + std::to_string(i) + " 1\n";
    write(public_source("a_string1.kpl"), source);
    const VdmResult r = run_public();
    EXPECT_EQ(r.exit_code, kFailed);
    EXPECT_EQ(errs(), " a_string1.kpl 499: Too many macros\n");
}

// A base table of its own: count texts of length bytes in the slots from first on, and N at
// highest.
void write_base(const fs::path& path, int first, int count, int length, int highest) {
    std::vector<MessageText> texts;
    for (int i = 0; i < count; ++i) texts.push_back({first + i, 0, std::string(length, 'b')});
    texts.push_back({highest, 0, "last"});
    std::vector<std::uint8_t> bytes;
    ASSERT_EQ(build_message_table(texts, bytes), 0);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

TEST_F(VdmTest, TheTextPoolAndTheOffsetsHaveTheirLimits) {
    const fs::path base = tree.root() / "bin/amo/tvrtmsgs.amo";
    std::string strings;
    for (int i = 1; i <= 100; ++i)
        strings += std::to_string(i) + ": i, \"" + std::string(247, 's') + "\";\n";
    write(public_source("a_string1.kpl"), strings);

    // The base pool holds 1 + 3000 x 80 + 4 = 240005 bytes. The k-th entry lowers the limit to
    // 262128 - 4k and fits while 240005 + 247k < 262128 - 4k, that is up to k = 88; entries 89
    // to 100 find the pool full.
    write_base(base, 100, 3000, 80, 3999);
    VdmResult r = run_public();
    EXPECT_EQ(r.exit_code, kFailed);
    EXPECT_EQ(count_lines_with(errs(), "The text pool is full"), 12);
    EXPECT_THAT(errs(), HasSubstr(" a_string1.kpl 89: The text pool is full\n"));
    EXPECT_FALSE(fs::exists(public_table()));

    // With N = 5500 the pool starts at 14 + 4 x 5500 = 22014 and the base pool holds
    // 1 + 2975 x 80 + 4 = 238005 bytes: ten texts of 247 bytes stay below the pool limit, but
    // the tenth would start at 22014 + 238005 + 9 x 247 = 262242, beyond 2^18 = 262144.
    write_base(base, 100, 2975, 80, 5500);
    std::string ten;
    for (int i = 1; i <= 10; ++i)
        ten += std::to_string(i) + ": i, \"" + std::string(247, 's') + "\";\n";
    write(public_source("a_string1.kpl"), ten);
    r = run_public();
    EXPECT_EQ(r.exit_code, kFailed);
    EXPECT_THAT(errs(), HasSubstr("The text pool is full"));
    EXPECT_FALSE(fs::exists(public_table()));
    EXPECT_FALSE(fs::exists(tree.root() / "bin/amo/tvusmsgs.tmp"));

    // A base with N of 5812 does not fit the compiler's slot array.
    write_base(base, 100, 10, 10, 5812);
    r = run_public();
    EXPECT_EQ(r.exit_code, kFailed);
    EXPECT_EQ(errs(), " The base message table is too short, empty or too large\n");
}

TEST_F(VdmTest, AnOutputFolderThatCannotBeWrittenFailsTheRun) {
    write(private_source("a_string1.kpl"), "1: i, \"x\";\n");
    fs::remove_all(tree.data() / "bin/amo");
    const VdmResult r = run_private();
    EXPECT_EQ(r.exit_code, kFailed);
    EXPECT_EQ(errs(), " Cannot create the temporary message table\n");
}

// Where the two languages overlap (entries numbered from the base table's last slot on), the
// compiler's table is byte for byte the table builder's table of the same entries.
TEST_F(VdmTest, TheCompilersTableEqualsTheBuildersBytes) {
    const fs::path sources = tree.base() / "sources";
    fs::copy(fs::path(TAVO_SOURCE_DIR) / "tables", sources, fs::copy_options::recursive);
    // A base whose last slot is 4000, so that user string 1 follows it directly.
    const std::string base = read_file(sources / "messages/rtmsgs.msg") + "0 info \"zero\"\n";
    write(sources / "messages/rtmsgs.msg", base);
    const fs::path base_amo = tree.base() / "base_amo";
    fs::create_directories(base_amo);
    ASSERT_EQ(build_tables(sources, base_amo), 0);

    write(sources / "messages/rtmsgs.msg",
          base + "1 info \"first\"\n3 warning \"third\"\n2 error \"second\"\n4 17 \"\"\n");
    const fs::path both_amo = tree.base() / "both_amo";
    fs::create_directories(both_amo);
    ASSERT_EQ(build_tables(sources, both_amo), 0);

    fs::copy_file(base_amo / "tvrtmsgs.amo", tree.root() / "bin/amo/tvrtmsgs.amo",
                  fs::copy_options::overwrite_existing);
    write(public_source("a_string1.kpl"),
          "1: info, \"first\";\n3: w \"third\";\n2, error, \"second\";\n4: 17, \"\";\n");
    const VdmResult r = run_public();
    ASSERT_EQ(r.exit_code, 0) << errs();
    const std::string ours = read_file(public_table());
    EXPECT_FALSE(ours.empty());
    EXPECT_TRUE(ours == read_file(both_amo / "tvrtmsgs.amo"));
}

}  // namespace
}  // namespace tavo_test
