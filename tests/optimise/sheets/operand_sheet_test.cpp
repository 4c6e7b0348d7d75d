// The operands sheet: its rows against the operand listing, every cell's edit against the typed
// operand lines that make the same table, the refusals, the row actions, the rows that go on
// closing, and the revert copy that Cancel and Escape read back.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "optimise/operand_quantities.h"
#include "optimise/operand_sheet.h"
#include "optimise/operands.h"
#include "runtime/messages.h"
#include "runtime/run_state.h"
#include "tests/optimise/sheets/sheets_fixture.h"
#include "ui/grid_control.h"

namespace {

using sheets_test::Cell;
using sheets_test::Line;
using sheets_test::Sheets;

constexpr const char* kHeading = "  O#   DEFINITION";
constexpr int kMode = kGridKindButton | kOperandCellMode;
constexpr const char* kQuantitiesHeading = "Quantities of the shipped operand entry";

class OperandSheet : public Sheets {
protected:
    void SetUp() override {
        Sheets::SetUp();
        operands_lens();
    }
    void operands_lens() {
        dummies(2);
        run_all({"OPE NEW", "O 1 \"OP1\" 1 \"efl\"", "O 2 \"OP5\" 2 \"sa3\"",
                 "O 3 \"REF1*2\" CON 100 \"twice\"", "END"});
    }
    static std::vector<std::string> texts() {
        std::vector<std::string> all;
        for (int i = 0; i < optimise_tables().operand_count; ++i) all.push_back(operand_to_text(i));
        return all;
    }
    // The operand rows, without the names of the shipped quantities below them.
    static std::vector<Line> rows() {
        std::vector<Line> lines = sheet(kHeading);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].text.rfind(kQuantitiesHeading, 0) == 0) {
                lines.resize(i);
                break;
            }
        }
        return lines;
    }
};

TEST_F(OperandSheet, RowsShowWhatTheListingShows) {
    take_output();
    ASSERT_EQ(run("OPE TEXT"), 0);
    const std::string listing = take_output();
    open("ose");
    EXPECT_NE(test_state_flag(kFlagOperandsSheetOpen), 0);
    EXPECT_NE(test_state_flag(kFlagOperandsLevel), 0);
    EXPECT_EQ(command_context_letter(), 'O');
    EXPECT_TRUE(copy_exists(kMsgOperandsSheetRevertCopy));
    const std::vector<Line> lines = rows();
    // The heading, three operands and the empty row for a new one.
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(trim(find(lines, kOperandCellDefinition, 3)->text), "");
    std::istringstream in(listing);
    std::string line;
    const std::regex form(R"re(^O (\d+)\s+"([^"]*)"\s+([MC])\s+(\S+)\s+(\S+)\s*$)re");
    int seen = 0;
    while (std::getline(in, line)) {
        std::smatch m;
        if (!std::regex_match(line, m, form)) continue;
        const int row = std::stoi(m[1]) - 1;
        SCOPED_TRACE(line);
        ASSERT_NE(find(lines, kOperandCellDefinition, row), nullptr);
        EXPECT_EQ(trim(find(lines, kOperandCellDefinition, row)->text), m[2].str());
        EXPECT_EQ(trim(find(lines, kOperandCellMode, row)->text), m[3].str());
        const int number_cell = m[3] == "C" ? kOperandCellTarget : kOperandCellWeight;
        EXPECT_DOUBLE_EQ(std::stod(find(lines, number_cell, row)->text), std::stod(m[4]));
        EXPECT_EQ(trim(find(lines, kOperandCellLabel, row)->text), m[5].str());
        ++seen;
    }
    EXPECT_EQ(seen, 3) << listing;
}

// Below its rows the sheet names what the shipped operand entry computes, each by the word an
// operand refers to it with: the word is that quantity's result slot, as oprds fills it.
TEST_F(OperandSheet, TheSheetNamesTheShippedQuantities) {
    open("ose");
    const std::vector<Line> all = sheet(kHeading);
    std::string below;
    bool seen_heading = false;
    for (const Line& line : all) {
        if (line.text.rfind(kQuantitiesHeading, 0) == 0) seen_heading = true;
        if (seen_heading) below += line.text + "\n";
    }
    ASSERT_TRUE(seen_heading);
    const struct {
        const char* word;
        const char* name;
        int slot;
    } shown[] = {{"OP1", "focal length", kQuantityFocalLength},
                 {"OP3", "f-number", kQuantityFNumber},
                 {"OP5", "Seidel SI, spherical", kQuantitySeidelFirst},
                 {"OP12", "rms spot radius, axis", kQuantitySpotFirst},
                 {"OP18", "distortion (%), full field", kQuantityDistortion}};
    for (const auto& q : shown) {
        SCOPED_TRACE(q.word);
        EXPECT_EQ(std::to_string(q.slot), std::string(q.word).substr(2));
        const std::regex entry(std::string("(^| )") + q.word + " +" +
                               std::regex_replace(q.name, std::regex(R"([()%])"), R"(\$&)"));
        EXPECT_TRUE(std::regex_search(below, entry)) << below;
    }
    // One name for every slot the entry fills, in slot order.
    std::string word, name;
    int count = 0;
    while (operand_quantity_name(count, &word, &name)) {
        EXPECT_EQ(word, "OP" + std::to_string(count + 1));
        EXPECT_FALSE(name.empty());
        ++count;
    }
    EXPECT_EQ(count, kQuantityLastSlot);
}

TEST_F(OperandSheet, EditsMakeTheTableTheTypedLinesMake) {
    open("ose");
    ASSERT_EQ(number(kOperandCellWeight, 0, 2.5), 0);
    ASSERT_EQ(text(kOperandCellLabel, 0, "focal"), 0);
    ASSERT_EQ(text(kOperandCellDefinition, 1, "OP5**2"), 0);
    ASSERT_EQ(send(kLevelEventActivate, kMode, 1), 0);  // operand 2 becomes a constraint
    ASSERT_EQ(number(kOperandCellTarget, 1, 0.5), 0);
    ASSERT_EQ(text(kOperandCellDefinition, 3, "OP7"), 0);  // the empty row: a new operand
    EXPECT_EQ(find(rows(), kOperandCellDefinition, 4)->text.find_first_not_of(' '),
              std::string::npos);
    ok();
    EXPECT_EQ(level_count(), 0);
    EXPECT_EQ(test_state_flag(kFlagOperandsSheetOpen), 0);
    EXPECT_EQ(test_state_flag(kFlagOperandsLevel), 0);
    EXPECT_FALSE(copy_exists(kMsgOperandsSheetRevertCopy));
    EXPECT_TRUE(optimise_tables().chain_compiled);
    const std::string by_sheet = lens_text();

    operands_lens();
    run_all({"OPE", "O 1 WGT \"\" 2.5", "O 1 LAB \"\" 0 \"focal\"",
             "O 2 \"OP5**2\" CON 0.5 \"sa3\"", "O 4 \"OP7\" 1 \"\"", "END"});
    EXPECT_EQ(lens_text(), by_sheet);
}

TEST_F(OperandSheet, RefusedEditsChangeNothing) {
    open("ose");
    const std::string before = lens_text();
    struct Case {
        int field;
        int row;
        const char* typed;  // a definition, or null for the weight -1
        int message;
    } cases[] = {
        {kOperandCellWeight, 0, nullptr, kMsgOperandWeightNegative},
        {kOperandCellDefinition, 0, "***", kMsgOperandSyntax},
        {kOperandCellDefinition, 0, "OP(1", kMsgOperandSyntax},
        {kOperandCellDefinition, 1, "OP1-OP2-OP3", kMsgOperandSyntax},
        {kOperandCellDefinition, 0, "REF1", kMsgOperandSyntax},  // not an earlier operand
        {kOperandCellDefinition, 3, "OP1+", kMsgOperandSyntax},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed != nullptr ? c.typed : "weight");
        const int rc =
            c.typed != nullptr ? text(c.field, c.row, c.typed) : number(c.field, c.row, -1.0);
        EXPECT_EQ(rc, c.message);
    }
    EXPECT_EQ(optimise_tables().operand_count, 3);
    EXPECT_EQ(lens_text(), before);
}

TEST_F(OperandSheet, RowActionsMoveRecordsAndTokensTogether) {
    open("ose");
    // A new empty row before operand 2: the reference of operand 3 (now 4) follows.
    ASSERT_EQ(send(kGridActionInsert, 0, 1), 0);
    EXPECT_EQ(texts(), (std::vector<std::string>{"OP1", "", "OP5", "REF1*2"}));
    ASSERT_EQ(text(kOperandCellDefinition, 1, "OP9"), 0);
    // Cut operand 3 ("OP5") and paste it at the top.
    ASSERT_EQ(send(kGridActionCut, 0, 2), 0);
    EXPECT_EQ(texts()[2], "");
    ASSERT_EQ(send(kGridActionPaste, 0, 0), 0);
    EXPECT_EQ(texts(), (std::vector<std::string>{"OP5", "OP1", "OP9", "", "REF2*2"}));
    EXPECT_STREQ(optimise_tables().operands[0].label, "sa3");
    EXPECT_DOUBLE_EQ(optimise_tables().operands[0].weight, 2.0);
    // A reference pasted above what it names is refused.
    ASSERT_EQ(send(kGridActionCopy, 0, 4), 0);
    EXPECT_EQ(send(kGridActionPaste, 0, 0), kMsgOperandPasteReference);
    // Reversing operands 2..3 ("OP1", "OP9") is refused: operand 5 refers to operand 2.
    EXPECT_EQ(send(kGridActionReverse, 0, 1, 1), kMsgReverseReferenced);
    EXPECT_EQ(send(kGridActionReverse, 0, 3, 1), kMsgReverseReferences);
    ASSERT_EQ(send(kGridActionReverse, 0, 2, 1), 0);
    EXPECT_EQ(texts(), (std::vector<std::string>{"OP5", "OP1", "", "OP9", "REF2*2"}));
    ok();
    // The emptied row goes on closing.
    EXPECT_EQ(texts(), (std::vector<std::string>{"OP5", "OP1", "OP9", "REF2*2"}));
}

TEST_F(OperandSheet, GroupMarkersKeepWeightZeroAndBlockReversal) {
    open("ose");
    ASSERT_EQ(text(kOperandCellDefinition, 3, "GROUP"), 0);
    EXPECT_DOUBLE_EQ(optimise_tables().operands[3].weight, 0.0);
    ASSERT_EQ(number(kOperandCellWeight, 3, 4.0), 0);
    EXPECT_DOUBLE_EQ(optimise_tables().operands[3].weight, 0.0);
    EXPECT_EQ(send(kGridActionReverse, 0, 3, 0), kMsgReverseGroupMarkers);
}

TEST_F(OperandSheet, AnEmptiedOperandTakesItsReferrersAlongOnClosing) {
    open("ose");
    ASSERT_EQ(send(kGridActionDelete, 0, 0), 0);  // operand 3 refers to operand 1
    ok();
    EXPECT_EQ(texts(), (std::vector<std::string>{"OP5"}));
    EXPECT_STREQ(optimise_tables().operands[0].label, "sa3");
}

TEST_F(OperandSheet, CancelAndEscapeGiveTheOperandsBackOkKeeps) {
    const std::string before = lens_text();
    open("ose");
    ASSERT_EQ(text(kOperandCellDefinition, 0, "OP2"), 0);
    ASSERT_EQ(send(kGridActionDelete, 0, 1), 0);
    ui().queue_message_box_answer(platform::MessageAnswer::ok);  // it may close
    cancel();
    EXPECT_EQ(level_count(), 0);
    EXPECT_EQ(lens_text(), before);
    EXPECT_EQ(test_state_flag(kFlagOperandsSheetOpen), 0);
    EXPECT_EQ(test_state_flag(kFlagTemporaryLensCopy), 0);
    EXPECT_FALSE(copy_exists(kMsgOperandsSheetRevertCopy));
    EXPECT_NE(command_context_letter(), 'O');
    // Escape in the main loop.
    open("ose");
    ASSERT_EQ(number(kOperandCellWeight, 1, 9.0), 0);
    ui().queue_message_box_answer(platform::MessageAnswer::ok);
    set_run_state(kRunStateEscapeLevel);
    main_loop_pass(false);
    EXPECT_EQ(level_count(), 0);
    EXPECT_EQ(lens_text(), before);
    // "ose NEW" empties the table; the one empty row goes again on OK.
    open("ose NEW");
    EXPECT_EQ(optimise_tables().operand_count, 1);
    EXPECT_EQ(rows().size(), 3u);
    ASSERT_EQ(text(kOperandCellDefinition, 0, "OP3<2"), 0);
    ok();
    EXPECT_EQ(texts(), (std::vector<std::string>{"OP3<2"}));
}

}  // namespace
