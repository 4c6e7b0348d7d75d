#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/stroke_font.h"
#include "platform/state_reset.h"
#include "runtime/definitions.h"
#include "runtime/message_table.h"
#include "runtime/state_flags.h"
#include "runtime/table_files.h"
#include "runtime/table_format.h"
#include "runtime/table_lists.h"
#include "runtime/table_messages.h"
#include "tables/table_names.h"
#include "tests/support/built_tables.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using tavo_test::TempTree;

namespace {

const fs::path kFixtures = fs::path(TAVO_FIXTURES_DIR) / "tables";

// Runs the builder; returns its exit code and what it printed.
int run_builder(const std::string& args, std::string& output) {
    const std::string command = tavo_test::table_builder_path().string() + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    output.clear();
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Builds the fixture tables (and the font) into the public tree of a temporary installation.
void build_fixture_tables(const TempTree& tree) {
    std::string output;
    ASSERT_EQ(
        run_builder("--sources " + kFixtures.string() + " --out " +
                        (tree.root() / "bin/amo").string() + " --font /usr/share/hershey-fonts",
                    output),
        0)
        << output;
}

void write_bytes(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes read_bytes(const fs::path& path) {
    const std::string s = tavo_test::read_file(path);
    return Bytes(s.begin(), s.end());
}

// Source text without comments, blank lines and trailing blanks, as the dump prints it.
std::string normalised_source(const std::vector<fs::path>& files) {
    std::string out;
    for (const fs::path& f : files) {
        std::istringstream in(tavo_test::read_file(f));
        std::string line;
        while (std::getline(in, line)) {
            const std::size_t hash = line.find(" #");
            if (!line.empty() && line[0] == '#') continue;
            if (hash != std::string::npos) line.erase(hash);
            while (!line.empty() && line.back() == ' ') line.pop_back();
            if (!line.empty()) out += line + "\n";
        }
    }
    return out;
}

class Tables : public ::testing::Test {
protected:
    void SetUp() override {
        platform::reset_all_state();
        free_definitions();
        close_message_table();
        clear_last_table_error();
        set_tables_stale(0);
        // The program loads the stroke font with the first definitions.
        set_first_load_companion(load_stroke_font);
    }
    void TearDown() override {
        free_definitions();
        close_message_table();
        free_stroke_font();
        platform::reset_all_state();
    }
};

// --- message-table format ---------------------------------------------------------------

TEST_F(Tables, MessageEntriesPackEighteenBitOffsets) {
    struct Case {
        std::uint32_t offset;
        std::uint8_t length, kind;
        std::uint8_t bytes[4];
    };
    const Case cases[] = {
        {0x00000, 1, 0, {0x00, 0x00, 1, 0x00}},
        {0x3FFFF, 247, 63, {0xFF, 0xFF, 247, 0xFF}},
        {0x1234A, 10, 2, {0x23, 0x4A, 10, (2 << 2) | 1}},
    };
    for (const Case& c : cases) {
        std::uint8_t out[4];
        ASSERT_EQ(encode_message_entry({c.offset, c.length, c.kind}, out), 0);
        EXPECT_EQ(0, std::memcmp(out, c.bytes, 4)) << c.offset;
        const MessageEntry back = decode_message_entry(c.bytes);
        EXPECT_EQ(back.offset, c.offset);
        EXPECT_EQ(back.length, c.length);
        EXPECT_EQ(back.kind, c.kind);
    }
    std::uint8_t out[4] = {9, 9, 9, 9};
    EXPECT_EQ(encode_message_entry({1u << 18, 1, 0}, out), kMessageOffsetTooLarge);
    EXPECT_EQ(out[0], 9);  // nothing written
}

TEST_F(Tables, WriterRefusesATableThatWouldWrap) {
    // 1100 texts of 240 bytes put the last ones beyond 2^18.
    std::vector<MessageText> texts;
    for (int i = 0; i < 1100; ++i) texts.push_back({i + 1, 0, std::string(240, 'x')});
    Bytes out;
    EXPECT_EQ(build_message_table(texts, out), kMessageOffsetTooLarge);
    EXPECT_TRUE(out.empty());
    texts.resize(1000);  // 240000 bytes + index fit
    EXPECT_EQ(build_message_table(texts, out), 0);
}

TEST_F(Tables, OffsetsAreAbsoluteAndEmptyTextIsOneZeroByte) {
    Bytes a, b;
    ASSERT_EQ(build_message_table({{1, 0, ""}}, a), 0);
    ASSERT_EQ(build_message_table({{3, 0, ""}}, b), 0);
    // Same pool position, different stored offset: 14 + 4N. The pool opens with the empty
    // text that slots without a text share, so the slot's own text is at pool position 1.
    EXPECT_EQ(decode_message_entry(&a[10 + 4]).offset, 19u);
    EXPECT_EQ(decode_message_entry(&b[10 + 12]).offset, 27u);
    EXPECT_EQ(decode_message_entry(&a[10 + 4]).length, 1);
    EXPECT_EQ(a[19], 0);
    EXPECT_EQ(a.size(), 20u);
    // Slot 0 has no text of its own: it reads the shared empty text at pool position 0.
    EXPECT_EQ(decode_message_entry(&a[10]).offset, 18u);
    EXPECT_EQ(decode_message_entry(&b[10 + 8]).offset, 26u);
}

TEST_F(Tables, ALoadedTableKeepsPoolPositionsAndThePoolItsEntriesReach) {
    Bytes table;
    ASSERT_EQ(build_message_table({{2, 1, "two"}, {5, 2, "five!"}}, table), 0);
    // Bytes after the last text belong to no entry: they are not part of the pool.
    Bytes padded = table;
    padded.insert(padded.end(), {'x', 'y', 'z'});
    std::vector<MessageEntry> entries;
    std::vector<std::uint8_t> pool;
    ASSERT_EQ(load_message_table_pool(padded, entries, pool), kMessageFormatOk);
    ASSERT_EQ(entries.size(), 6u);
    // Pool: the shared empty text, "two", "five!".
    EXPECT_EQ(pool, (std::vector<std::uint8_t>{0, 't', 'w', 'o', 'f', 'i', 'v', 'e', '!'}));
    EXPECT_EQ(entries[0].offset, 0u);
    EXPECT_EQ(entries[2].offset, 1u);
    EXPECT_EQ(entries[2].kind, 1);
    EXPECT_EQ(entries[5].offset, 4u);
    EXPECT_EQ(entries[5].length, 5);
    // Written back, the table is the one built.
    Bytes again;
    ASSERT_EQ(write_message_table_bytes(entries, pool, again), kMessageFormatOk);
    EXPECT_EQ(again, table);

    Bytes wrong = table;
    wrong[6] = '2';
    EXPECT_EQ(load_message_table_pool(wrong, entries, pool), kMessageWrongMagic);
    const Bytes cut(table.begin(), table.end() - 2);
    EXPECT_EQ(load_message_table_pool(cut, entries, pool), kMessageShort);
    // Failures leave what the caller holds alone.
    EXPECT_EQ(entries.size(), 6u);
}

// --- opening tables -----------------------------------------------------------------------

TEST_F(Tables, OpeningFailuresNameThePath) {
    TempTree tree;
    ASSERT_EQ(read_root_folders(), 0);
    write_bytes(tree.root() / "bin/amo/tvshort.amo", {'a', 'm', 'a'});
    write_bytes(tree.root() / "bin/amo/tvwrong.amo", {'a', 'm', 'x', 'x', '_', '0', '1', 0, 1});
    write_bytes(tree.root() / "bin/amo/tvright.amo", {'a', 'm', 'c', 'l', '_', '0', '1', 0});
    struct Case {
        const char* name;
        int expected;
    };
    const Case cases[] = {
        {"missing.amo", -7}, {"short.amo", -8}, {"wrong.amo", -6}, {"right.amo", 0}};
    for (const Case& c : cases) {
        clear_last_table_error();
        EXPECT_EQ(open_amo_file(true, c.name, kCodeMagic), c.expected) << c.name;
        EXPECT_EQ(last_table_error().code, c.expected) << c.name;
        if (c.expected != 0) {
            EXPECT_EQ(last_table_error().argument, amo_path(true, c.name));
        }
        close_amo_file(0);
    }
}

TEST_F(Tables, WithoutTheRootFolderVariableTheFoldersAreNotRead) {
    const char* root = std::getenv("TVROOT");
    const std::string saved = root ? root : "";
    unsetenv("TVROOT");
    EXPECT_EQ(read_root_folders(), kMsgNoEnvironment);
    if (root) setenv("TVROOT", saved.c_str(), 1);
}

// --- definitions --------------------------------------------------------------------------

TEST_F(Tables, DefinitionsLoadAndNameSearches) {
    TempTree tree;
    build_fixture_tables(tree);
    ASSERT_EQ(read_root_folders(), 0);
    ASSERT_EQ(load_definitions(0), 0) << last_table_error().argument;
    const Definitions& d = definitions();
    EXPECT_STREQ(d.version, "5.40");
    EXPECT_EQ(find_name(d.names, "quit"), 3);
    EXPECT_EQ(find_name(d.names, "rd_l"), 7);
    EXPECT_EQ(find_name(d.names, "QUIT"), -1);
    EXPECT_EQ(find_name(d.names, "quits"), -1);
    EXPECT_EQ(find_name(d.names, ""), -1);
    EXPECT_EQ(d.commands[7].plain_slot, 12);
    EXPECT_EQ(d.commands[7].interactive_slot, 40);
    EXPECT_EQ(d.commands[7].parameter_count, 2);
    EXPECT_EQ(d.commands[9].flags, 0x41);
    EXPECT_EQ(d.value_count, 2);
    double v;
    std::memcpy(&v, d.values[0], 8);
    EXPECT_EQ(v, 100.0);
    EXPECT_STREQ(reinterpret_cast<const char*>(d.values[1] + 4), "a text value");
    // Globals.
    std::strcpy(global_lookup_buffer(), "pi_word");
    const char* matched = nullptr;
    std::uint8_t* entry = find_global_name(&matched, true);
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(matched, "pi_word");
    EXPECT_EQ(le32_at(entry), 7u);
    std::strcpy(global_lookup_buffer(), "nope");
    EXPECT_EQ(find_global_name(&matched, false), nullptr);
}

TEST_F(Tables, FindNameOnAOneEntryTable) {
    Bytes table;
    ASSERT_EQ(build_name_table({{"open", 42}}, NameTableForm::big_endian_with_values, table), 0);
    EXPECT_EQ(find_name(table.data(), "open"), 42);
    for (const char* other : {"OPEN", "ope", "opens", "a", "z"}) {
        EXPECT_EQ(find_name(table.data(), other), -1) << other;
    }
    EXPECT_EQ(find_name(nullptr, "open"), -1);
}

TEST_F(Tables, SymbolNameChoosesAmongTheFirstTwoAliases) {
    TempTree tree;
    build_fixture_tables(tree);
    ASSERT_EQ(read_root_folders(), 0);
    ASSERT_EQ(load_definitions(0), 0);
    // Symbol 7 has rad_l, radius_l, rd_l in table order: only the first two decide.
    struct Case {
        const char* (*fn)(int);
        int symbol;
        const char* expected;
    };
    const Case cases[] = {
        {symbol_name, 7, "radius"},    {symbol_full_name, 7, "radius_l"},
        {symbol_short_name, 7, "rad"}, {symbol_name, 3, "quit"},
        {symbol_short_name, 3, "q"},   {symbol_name, 9, "thickness"},
        {symbol_short_name, 9, "th"},  {symbol_name, 5, "?"},
    };
    for (const Case& c : cases) EXPECT_STREQ(c.fn(c.symbol), c.expected) << c.expected;
}

TEST_F(Tables, VersionOtherThan540IsRefused) {
    for (const char* version : {"5.41", "5.4", "5.400"}) {
        TempTree tree;
        build_fixture_tables(tree);
        Bytes t = read_bytes(tree.root() / "bin/amo/tvrtdefs.amo");
        Bytes patched(t.begin(), t.begin() + 8);
        patched.push_back(static_cast<std::uint8_t>(std::strlen(version)));
        patched.insert(patched.end(), version, version + std::strlen(version));
        patched.insert(patched.end(), t.begin() + 8 + 1 + 4, t.end());
        write_bytes(tree.root() / "bin/amo/tvrtdefs.amo", patched);
        ASSERT_EQ(read_root_folders(), 0);
        clear_last_table_error();
        EXPECT_EQ(load_definitions(0), -1) << version;
        EXPECT_EQ(last_table_error().code, -6) << version;
        free_definitions();
    }
}

TEST_F(Tables, MissingStrokeFontFailsTheFirstLoad) {
    TempTree tree;
    build_fixture_tables(tree);
    fs::remove(tree.root() / "bin/amo/tvgsfont.amo");
    ASSERT_EQ(read_root_folders(), 0);
    EXPECT_EQ(load_definitions(0), -1);
    EXPECT_EQ(last_table_error().code, -7);
}

TEST_F(Tables, ReloadWithUnchangedWorkSizesKeepsTheWorkAreas) {
    TempTree tree;
    build_fixture_tables(tree);
    ASSERT_EQ(read_root_folders(), 0);
    ASSERT_EQ(load_definitions(0), 0);
    std::uint8_t* area = data_area();
    std::memcpy(area, "kept", 5);
    std::memcpy(code_work_area(), "code", 5);
    ASSERT_EQ(reload_definitions(), 0);
    EXPECT_EQ(data_area(), area);
    EXPECT_STREQ(reinterpret_cast<const char*>(data_area()), "kept");
    EXPECT_STREQ(reinterpret_cast<const char*>(code_work_area()), "code");
    EXPECT_EQ(find_name(definitions().names, "quit"), 3);
}

// Damaged definitions tables: each fails to load cleanly with -8, never reads out of bounds.
TEST_F(Tables, CorruptedDefinitionsFailCleanly) {
    TempTree good_tree;
    build_fixture_tables(good_tree);
    const Bytes good = read_bytes(good_tree.root() / "bin/amo/tvrtdefs.amo");
    const std::size_t names_at = 8 + 1 + 4;  // BE16 size of the symbol name table
    const std::size_t names_size = (good[names_at] << 8) | good[names_at + 1];
    const std::size_t first_offset = names_at + 2 + 2;  // offset of the first name
    struct Case {
        const char* what;
        std::size_t at;
        std::vector<std::uint8_t> bytes;
        std::size_t truncate;  // 0: keep the length
    };
    const std::size_t commands_at = names_at + 2 + names_size;
    const Case cases[] = {
        {"name offset beyond the table", first_offset, {0xFF, 0xF0}, 0},
        {"name count beyond the table", names_at + 2, {0x7F, 0xFF}, 0},
        {"command count beyond the file", commands_at, {0xFF, 0x7F}, 0},
        {"truncated in the records", 0, {}, commands_at + 20},
        {"truncated in the conditions", 0, {}, good.size() - 3},
        {"unterminated condition", good.size() - 1, {'y'}, 0},
        {"condition flag out of range", good.size() - 2, {200}, 0},
    };
    for (const Case& c : cases) {
        Bytes t = good;
        for (std::size_t i = 0; i < c.bytes.size(); ++i) t[c.at + i] = c.bytes[i];
        if (c.truncate) t.resize(c.truncate);
        TempTree tree;
        build_fixture_tables(tree);
        write_bytes(tree.root() / "bin/amo/tvrtdefs.amo", t);
        ASSERT_EQ(read_root_folders(), 0);
        clear_last_table_error();
        EXPECT_EQ(load_definitions(0), -1) << c.what;
        EXPECT_EQ(last_table_error().code, -8) << c.what;
        free_definitions();
    }
}

// --- state flags and conditions -------------------------------------------------------------

TEST_F(Tables, ConditionExpressions) {
    TempTree tree;
    build_fixture_tables(tree);
    ASSERT_EQ(read_root_folders(), 0);
    ASSERT_EQ(load_definitions(0), 0);
    // Condition 0: (lens_exists and lens_file_named) or edit_window_shown.
    // Condition 1: not (lens_exists or lens_file_named).
    struct Case {
        bool a, b, c;
        int cond0, cond1;
    };
    const Case cases[] = {
        {false, false, false, -1, 0}, {true, false, false, -1, -1}, {false, true, false, -1, -1},
        {true, true, false, 0, -1},   {false, false, true, 0, 0},   {true, false, true, 0, -1},
    };
    for (const Case& c : cases) {
        reset_state_flags();
        if (c.a) set_state_flag(kFlagLensExists);
        if (c.b) set_state_flag(kFlagLensFileNamed);
        if (c.c) set_state_flag(kFlagEditWindowShown);
        update_flag_expressions();
        EXPECT_EQ(check_enable_condition(0), c.cond0) << c.a << c.b << c.c;
        EXPECT_EQ(check_enable_condition(1), c.cond1) << c.a << c.b << c.c;
    }
    EXPECT_EQ(check_enable_condition(255), 0);
    EXPECT_EQ(check_enable_condition(300), 0);
}

TEST_F(Tables, SettingASetFlagReevaluatesNothing) {
    TempTree tree;
    build_fixture_tables(tree);
    ASSERT_EQ(read_root_folders(), 0);
    ASSERT_EQ(load_definitions(0), 0);
    EXPECT_EQ(set_state_flag(kFlagEditWindowShown), 0);
    EXPECT_EQ(menus_need_update(), 1);
    EXPECT_EQ(check_enable_condition(0), 0);
    menus_need_update() = 0;
    EXPECT_NE(set_state_flag(kFlagEditWindowShown), 0);
    EXPECT_EQ(menus_need_update(), 0);
    clear_state_flag(kFlagLensFileNamed);  // already clear
    EXPECT_EQ(menus_need_update(), 0);
    clear_state_flag(kFlagEditWindowShown);
    EXPECT_EQ(menus_need_update(), 1);
    EXPECT_EQ(check_enable_condition(0), -1);
}

TEST_F(Tables, FlagRegistryHasUniqueNumbersAndNames) {
    for (const StateFlagInfo& a : kStateFlagRegistry) {
        EXPECT_GE(a.number, 0);
        EXPECT_LT(a.number, kStateFlagLimit);
        EXPECT_EQ(state_flag_by_name(a.name), a.number) << a.name;
    }
    EXPECT_EQ(state_flag_by_name("lens_entry_in_progress"), 16);
    EXPECT_EQ(state_flag_by_name("single_command_update"), 17);
}

// --- messages -----------------------------------------------------------------------------

TEST_F(Tables, MessageRingRestartsWhenATextWouldNotFit) {
    TempTree tree;
    std::vector<MessageText> texts;
    for (int i = 1; i <= 3; ++i) texts.push_back({4000 - i, 2, std::string(250, 'a' + i)});
    Bytes table;
    ASSERT_EQ(build_message_table(texts, table), 0);
    write_bytes(tree.root() / "bin/amo/tvrtmsgs.amo", table);
    ASSERT_EQ(read_root_folders(), 0);
    // Whatever texts were read before, opening the table starts the ring at its beginning.
    ASSERT_EQ(open_message_table(), 0);
    msg_text(-1);
    ASSERT_EQ(open_message_table(), 0);
    int kind = -1;
    const char* first = msg_text_kind(-1, &kind);
    EXPECT_EQ(kind, 2);
    const char* second = msg_text(-2);
    const char* third = msg_text(-3);
    // Texts of 250 characters and their terminators in a ring of 744: the second follows the
    // first at 251, and the third (502 + 250 reaches 744) starts the ring again at 0.
    EXPECT_EQ(second, first + 251);
    EXPECT_EQ(third, first);
    EXPECT_EQ(std::string(third), std::string(250, 'd'));
    EXPECT_EQ(std::strlen(second), 250u);
}

TEST_F(Tables, MessagesOutsideTheTableReadSlotZero) {
    TempTree tree;
    Bytes table;
    ASSERT_EQ(build_message_table({{0, 1, "slot zero"}, {4000 - 7, 2, "seven %s"}}, table), 0);
    write_bytes(tree.root() / "bin/amo/tvrtmsgs.amo", table);
    ASSERT_EQ(read_root_folders(), 0);
    ASSERT_EQ(open_message_table(), 0);
    int kind = -1;
    EXPECT_STREQ(msg_text_kind(-7, &kind), "seven %s");
    EXPECT_EQ(kind, 2);
    EXPECT_STREQ(msg_text_kind(-5000, &kind), "slot zero");
    EXPECT_EQ(kind, 1);
    EXPECT_STREQ(msg_text(10), "slot zero");
    close_message_table();
    EXPECT_STREQ(msg_text_kind(-7, &kind), "Cannot access message file");
    EXPECT_EQ(kind, 2);
}

TEST_F(Tables, StalePrivateTablesAreSkipped) {
    TempTree tree;
    Bytes old_private, public_base;
    ASSERT_EQ(build_message_table({{4000 - 7, 2, "private"}}, old_private), 0);
    ASSERT_EQ(build_message_table({{4000 - 7, 2, "public"}}, public_base), 0);
    const fs::path priv = tree.data() / "bin/amo/tvusmsgs.amo";
    const fs::path pub = tree.root() / "bin/amo/tvrtmsgs.amo";
    write_bytes(priv, old_private);
    write_bytes(pub, public_base);
    fs::last_write_time(priv, fs::last_write_time(pub) - std::chrono::hours(1));
    ASSERT_EQ(read_root_folders(), 0);
    EXPECT_EQ(tables_stale(), kStalePrivateTables);
    ASSERT_EQ(open_message_table(), 0);
    EXPECT_STREQ(msg_text(-7), "public");
    // A newer private table is used.
    fs::last_write_time(priv, fs::last_write_time(pub) + std::chrono::hours(1));
    ASSERT_EQ(read_root_folders(), 0);
    EXPECT_EQ(tables_stale(), 0);
    ASSERT_EQ(open_message_table(), 0);
    EXPECT_STREQ(msg_text(-7), "private");
}

TEST_F(Tables, UserTablesOlderThanTheBaseMessagesAreSkipped) {
    // User tables hold the base messages they were compiled on; after the base table is
    // rebuilt, reading an older user table would show the old base texts.
    TempTree tree;
    Bytes user, base;
    ASSERT_EQ(build_message_table({{4000 - 7, 2, "old base"}, {4001, 0, "user"}}, user), 0);
    ASSERT_EQ(build_message_table({{4000 - 7, 2, "new base"}}, base), 0);
    const fs::path pub_user = tree.root() / "bin/amo/tvusmsgs.amo";
    const fs::path priv_user = tree.data() / "bin/amo/tvusmsgs.amo";
    const fs::path pub = tree.root() / "bin/amo/tvrtmsgs.amo";
    write_bytes(pub_user, user);
    write_bytes(priv_user, user);
    write_bytes(pub, base);
    const auto base_time = fs::last_write_time(pub);
    struct Case {
        int public_user_age, private_user_age;  // hours after (+) or before (-) the base table
        const char* seven;
    };
    const Case cases[] = {
        {-1, -1, "new base"}, {+1, -1, "old base"}, {-1, +1, "old base"}, {+1, +1, "old base"}};
    for (const Case& c : cases) {
        fs::last_write_time(pub_user, base_time + std::chrono::hours(c.public_user_age));
        fs::last_write_time(priv_user, base_time + std::chrono::hours(c.private_user_age));
        ASSERT_EQ(read_root_folders(), 0);
        ASSERT_EQ(open_message_table(), 0);
        EXPECT_STREQ(msg_text(-7), c.seven) << c.public_user_age << " " << c.private_user_age;
    }
    close_message_table();
}

TEST_F(Tables, WithoutAMessageTableOpeningReportsTheMissingTable) {
    TempTree tree;
    ASSERT_EQ(read_root_folders(), 0);
    EXPECT_EQ(open_message_table(), -1);
    EXPECT_EQ(last_table_error().code, -7);
}

// --- lists --------------------------------------------------------------------------------

Bytes list_table(const std::vector<std::vector<ListPair>>& lists) {
    std::vector<NameEntry> names;
    for (std::size_t i = 0; i < lists.size(); ++i) {
        names.push_back({"list" + std::to_string(i), static_cast<unsigned>(i)});
    }
    Bytes name_table;
    build_name_table(names, NameTableForm::big_endian_with_values, name_table);
    Bytes t(kListsMagic, kListsMagic + 8);
    put_be16(t, 0);
    put_be16(t, static_cast<unsigned>(name_table.size()));
    t.insert(t.end(), name_table.begin(), name_table.end());
    put_be16(t, static_cast<unsigned>(lists.size()));
    std::size_t pos = t.size() + 5 * lists.size();
    Bytes blocks;
    for (const auto& l : lists) {
        Bytes block;
        EXPECT_EQ(build_list_block(l, block), 0);
        put_be16(t, static_cast<unsigned>(block.size()));
        put_be24(t, static_cast<unsigned>(pos + blocks.size()));
        blocks.insert(blocks.end(), block.begin(), block.end());
    }
    t.insert(t.end(), blocks.begin(), blocks.end());
    return t;
}

TEST_F(Tables, ListCacheRefillsWhenASecondListDoesNotFit) {
    TempTree tree;
    // Blocks of about 6000 and 15000 bytes.
    const std::vector<ListPair> small(1, {std::string(5990, 's'), ""});
    const std::vector<ListPair> large(1, {std::string(14990, 'l'), "x"});
    write_bytes(tree.root() / "bin/amo/tvalists.amo", list_table({small, large}));
    ASSERT_EQ(read_root_folders(), 0);
    ASSERT_EQ(open_lists_file(0), 0);
    EXPECT_EQ(find_list("list1", false), 1);
    EXPECT_EQ(find_list("list1", true), -1);
    select_list(0);
    ASSERT_EQ(current_list(), 0);
    EXPECT_EQ(list_cache_position(0), 0);
    select_list(1);
    ASSERT_EQ(current_list(), 1);
    EXPECT_EQ(list_cache_position(1), 0);   // loaded at the start of the cache
    EXPECT_EQ(list_cache_position(0), -1);  // dropped
    EXPECT_EQ(current_list_count(), 1);
    EXPECT_EQ(std::string(current_list_first(0)), std::string(14990, 'l'));
    EXPECT_STREQ(current_list_second(0), "x");
}

TEST_F(Tables, ListBlocksLargerThanTheCacheAreRefused) {
    TempTree tree;
    Bytes t = list_table({{{"a", "b"}}});
    // Directory entry of list 0 right after the list count: claim 0x9000 bytes.
    const std::size_t dir = t.size() - 5 - (2 + 4 + 4);
    t[dir] = 0x90;
    t[dir + 1] = 0x00;
    t.resize(t.size() + 0x9000);
    write_bytes(tree.root() / "bin/amo/tvalists.amo", t);
    ASSERT_EQ(read_root_folders(), 0);
    EXPECT_EQ(open_lists_file(0), -1);
    EXPECT_EQ(last_table_error().code, -8);
    ListPair huge{std::string(20000, 'h'), ""};
    Bytes block;
    EXPECT_NE(build_list_block({huge}, block), 0);
}

// --- stroke font --------------------------------------------------------------------------

TEST_F(Tables, StrokeFontGlyphs) {
    TempTree tree;
    build_fixture_tables(tree);
    ASSERT_EQ(read_root_folders(), 0);
    ASSERT_EQ(load_stroke_font(), 0);
    EXPECT_EQ(stroke_font().set1_count, 128);
    // 26 symbols; the start after the last one is the end of the set.
    EXPECT_EQ(stroke_font().set2_count, 27);
    EXPECT_FALSE(decode_set2_glyph(25).empty());
    EXPECT_TRUE(decode_set2_glyph(26).empty());
    auto strokes = [](const std::vector<GlyphPoint>& g) {
        int n = 0;
        for (const GlyphPoint& p : g) n += !p.pen_down;
        return n;
    };
    struct Box {
        int min_x = 99, max_x = -99, min_y = 99, max_y = -99;
    };
    auto box = [](const std::vector<GlyphPoint>& g) {
        Box b;
        for (const GlyphPoint& p : g) {
            b.min_x = std::min(b.min_x, p.x);
            b.max_x = std::max(b.max_x, p.x);
            b.min_y = std::min(b.min_y, p.y);
            b.max_y = std::max(b.max_y, p.y);
        }
        return b;
    };
    // Strokes of the simplex roman letters: A has three, H three, O one, T two, space none.
    struct Case {
        char c;
        int strokes;
    };
    for (const Case& c : {Case{'A', 3}, Case{'H', 3}, Case{'O', 1}, Case{'T', 2}, Case{'1', 1}}) {
        EXPECT_EQ(strokes(decode_set1_glyph(c.c)), c.strokes) << c.c;
    }
    EXPECT_TRUE(decode_set1_glyph(' ').empty());
    // Capitals stand on the baseline and reach about 7 units (21 Hershey units x 0.35).
    for (char c : {'A', 'H', 'T', 'E'}) {
        const Box b = box(decode_set1_glyph(c));
        EXPECT_EQ(b.min_y, 0) << c;
        EXPECT_EQ(b.max_y, 7) << c;
        EXPECT_GE(b.min_x, 0) << c;
        EXPECT_LE(b.max_x, 7) << c;
    }
    // A descender goes below the baseline.
    EXPECT_LT(box(decode_set1_glyph('g')).min_y, 0);
    // Marker 1 (a circle) and a set 2 glyph are there.
    EXPECT_FALSE(decode_set1_glyph(1).empty());
    EXPECT_FALSE(decode_set2_glyph(0).empty());
    EXPECT_TRUE(decode_set2_glyph(40).empty());
    // The glyphs kept for drawing are the decoded ones, and go with the font.
    auto same = [](const std::vector<GlyphPoint>& a, const std::vector<GlyphPoint>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& p, const auto& q) {
            return p.x == q.x && p.y == q.y && p.pen_down == q.pen_down && p.special == q.special &&
                   p.circle == q.circle;
        });
    };
    for (int c = -1; c <= kFontSet1Glyphs; ++c)
        EXPECT_TRUE(same(set1_glyph(c), decode_set1_glyph(c))) << c;
    for (int c = -1; c <= kFontSet2Glyphs; ++c)
        EXPECT_TRUE(same(set2_glyph(c), decode_set2_glyph(c))) << c;
    free_stroke_font();
    EXPECT_TRUE(set1_glyph('A').empty());
    EXPECT_TRUE(set2_glyph(0).empty());
}

// --- round trip and builder failures ------------------------------------------------------

TEST_F(Tables, BuilderReaderDumpRoundTrip) {
    TempTree tree;
    build_fixture_tables(tree);
    const fs::path amo = tree.root() / "bin/amo";
    struct Case {
        const char* table;
        std::vector<fs::path> sources;
    };
    const Case cases[] = {
        {"tvrtdefs.amo",
         {kFixtures / "definitions/a_runtime.def", kFixtures / "definitions/b_entry.def"}},
        {"tvrtmsgs.amo", {kFixtures / "messages/rtmsgs.msg"}},
        {"tvmsmsgs.amo", {kFixtures / "messages/msmsgs.msg"}},
        {"tvalists.amo", {kFixtures / "lists/alists.lst"}},
        {"tvctable.amo", {kFixtures / "help/ctable.hlp"}},
    };
    for (const Case& c : cases) {
        std::string output;
        ASSERT_EQ(run_builder("--dump " + (amo / c.table).string(), output), 0) << output;
        EXPECT_EQ(output, normalised_source(c.sources)) << c.table;
    }
    // The program's readers see the same content.
    ASSERT_EQ(read_root_folders(), 0);
    ASSERT_EQ(load_definitions(0), 0);
    ASSERT_EQ(open_message_table(), 0);
    int kind = -1;
    EXPECT_STREQ(msg_text_kind(-8, &kind), "Short %s");
    EXPECT_EQ(kind, 1);
    EXPECT_STREQ(msg_text(-1), "");
    select_list(find_list("alpha", false));
    ASSERT_EQ(current_list_count(), 2);
    EXPECT_STREQ(current_list_first(1), "two");
    EXPECT_EQ(find_list("beta", true), 2);
}

TEST_F(Tables, BuilderNamesTheFailingSourceLine) {
    struct Case {
        const char* file;
        std::string text;
        const char* expected;
    };
    // 240-byte texts in slots 1, 2, ...: the text in slot 1076 (line 1077) is the first whose
    // place lies beyond 2^18 bytes; the last lines are harmless.
    std::string overflowing = "slots 0\n";
    for (int n = 1; n <= 1100; ++n) {
        overflowing += std::to_string(n) + " info \"" + std::string(240, 'x') + "\"\n";
    }
    const Case cases[] = {
        {"messages/rtmsgs.msg", overflowing, "rtmsgs.msg:1077: the table grows beyond"},
        {"messages/rtmsgs.msg", "slots 4000\n-7 error \"a\"\nslots 3999\n-6 error \"b\"\n",
         "rtmsgs.msg:4: cannot be stored"},
        {"definitions/x.def", "version \"5.40\"\ncommand 1 a\ncommand 1 b\n", "x.def:3:"},
        {"definitions/x.def", "version \"5.40\"\ncondition 0 (lens_exists\n", "x.def:2:"},
        {"definitions/x.def", "version \"5.40\"\ncondition 0 no_such_flag\n", "x.def:2:"},
        {"definitions/x.def", "version \"5.40\"\ncommand 1 Upper\n", "x.def:2:"},
        {"definitions/x.def",
         "version \"5.40\"\ncommand 1 a\n  param p int number=5\ndescriptor 5 q int\n",
         "descriptor number 5 pinned twice"},
        {"messages/rtmsgs.msg", "slots 4000\n-7 error \"a\"\n-7 error \"b\"\n", "rtmsgs.msg:3:"},
        {"lists/alists.lst", "list 0 a\n  item \"x\" \"y\"\n", "alists.lst:1:"},
        // Skipped positions: 2 to 24, single or as rising ranges.
        {"lists/alists.lst", "list 0 a\n  item \"x\" \"0\" skips=1\nend\n", "alists.lst:2:"},
        {"lists/alists.lst", "list 0 a\n  item \"x\" \"0\" skips=5-3\nend\n", "alists.lst:2:"},
        {"lists/alists.lst", "list 0 a\n  item \"x\" \"0\" skips=2,25\nend\n", "alists.lst:2:"},
        {"lists/alists.lst", "list 0 a\n  item \"x\" \"0\" mask=2\nend\n", "alists.lst:2:"},
    };
    for (const Case& c : cases) {
        TempTree tree;
        const fs::path src = tree.base() / "src";
        for (const char* dir : {"definitions", "messages", "lists", "help"}) {
            fs::create_directories(src / dir);
        }
        for (const char* f : {"definitions/a_runtime.def", "messages/rtmsgs.msg",
                              "messages/msmsgs.msg", "lists/alists.lst", "help/ctable.hlp"}) {
            fs::copy_file(kFixtures / f, src / f);
        }
        if (std::string(c.file).rfind("definitions", 0) == 0)
            fs::remove(src / "definitions/a_runtime.def");
        tree.write_file(fs::path("src") / c.file, c.text);
        std::string output;
        EXPECT_NE(
            run_builder("--sources " + src.string() + " --out " + (tree.base() / "out").string(),
                        output),
            0)
            << c.text;
        EXPECT_NE(output.find(c.expected), std::string::npos) << output;
    }
}

TEST_F(Tables, BuiltInstallationTablesLoad) {
    // The tables the build installs carry what start-up needs.
    const fs::path amo = tavo_test::built_root() / "bin/amo";
    TempTree tree;
    for (const char* f : {"tvrtdefs.amo", "tvrtmsgs.amo", "tvalists.amo", "tvgsfont.amo",
                          "tvmacode.amo", "tvctable.amo"}) {
        fs::copy_file(amo / f, tree.root() / "bin/amo" / f);
    }
    ASSERT_EQ(read_root_folders(), 0);
    ASSERT_EQ(load_definitions(0), 0);
    ASSERT_EQ(open_message_table(), 0);
    for (int n : {-6, -7, -8, -10, -168, -169}) {
        EXPECT_STRNE(msg_text(n), "") << n;
    }
    EXPECT_STREQ(msg_text(-7), "The file %s cannot be opened or created");
}

}  // namespace
