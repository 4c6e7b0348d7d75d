// The help file the build writes (ROOT/hlp/tavolt.html): every help topic the built tables let
// the program show has its section, each command's topic names its parameters as the
// definitions give them, and the build refuses a help source that lacks a topic the tables
// name.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "runtime/arg_cells.h"
#include "runtime/definitions.h"
#include "runtime/help_file.h"
#include "runtime/parameters.h"
#include "runtime/table_format.h"
#include "runtime/table_help.h"
#include "tests/app/startup/started_runtime.h"
#include "tests/support/temp_tree.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBuildFolder = fs::path(TAVO_INSTALL_DIR).parent_path();

std::string built_page() {
    return tavo_test::read_file(fs::path(TAVO_INSTALL_DIR) / "hlp/tavolt.html");
}

bool has_section(const std::string& page, const std::string& id) {
    return page.find("<section id=\"" + id + "\">") != std::string::npos;
}

// The kind a parameter has in the definitions source.
std::string kind_word(std::uint8_t type_flags) {
    if ((type_flags & kParamPlainText) != 0) return "plain_text";
    if ((type_flags & kParamText) != 0) return "text";
    switch (type_flags & kParamTypeMask) {
        case kArgInt:
            return "int";
        case kArgDouble:
            return "double";
        case kArgChar:
            return "char";
        default:
            return "any";
    }
}

TEST(HelpFile, EveryTopicOfTheBuiltTablesHasItsSection) {
    const std::string page = built_page();
    ASSERT_FALSE(page.empty());
    for (const char* id : {kContentsTopic, kUsingHelpTopic}) EXPECT_TRUE(has_section(page, id));

    // The topics the code shows by name, as the tables' header gives them.
    const std::string header =
        tavo_test::read_file(kBuildFolder / "generated/tables/table_names.h");
    const std::regex named("inline constexpr int (kHelpTopic\\w+) = (\\d+);");
    int named_topics = 0;
    for (std::sregex_iterator it(header.begin(), header.end(), named), end; it != end; ++it) {
        ++named_topics;
        EXPECT_TRUE(has_section(page, (*it)[2].str())) << (*it)[1].str();
    }
    EXPECT_GT(named_topics, 0);

    // Every command, and every topic a command's help block names.
    tavo_test::StartedRuntime run;
    ASSERT_EQ(run.start(), 0);
    const Definitions& d = definitions();
    int commands = 0;
    for (int symbol = 0; symbol < d.command_count; ++symbol) {
        // Numbers no command has read as "?".
        const std::string name = symbol_name(symbol);
        if (name.empty() || name == "?") continue;
        ++commands;
        const std::string id = std::to_string(kCommandHelpTopicBase + symbol);
        std::string text;
        ASSERT_TRUE(help_topic_text_of(page, id, text)) << name;
        EXPECT_NE(text.find(symbol_short_name(symbol)), std::string::npos) << text;
        for (int arg = 0; arg < d.commands[symbol].parameter_count; ++arg) {
            const ParamDescriptor* p = param_descriptor(param_descriptor_index(symbol, arg));
            ASSERT_NE(p, nullptr) << name;
            const std::string param =
                std::string(d.param_names + p->name_offset) + " (" + kind_word(p->type_flags) + ")";
            EXPECT_NE(text.find("- " + param), std::string::npos) << name << ": " << param;
        }
        if (load_command_help(symbol) >= 0) {
            if (const char* topic = ctable_find_text('[', '[')) {
                EXPECT_TRUE(has_section(page, topic)) << name << " names topic " << topic;
            }
        }
    }
    EXPECT_GT(commands, 0);
    forget_command_help();
}

TEST(HelpFile, AParameterShowsItsDefaultBoundsAndValueList) {
    std::string text;
    ASSERT_TRUE(
        help_topic_text_of(built_page(), std::to_string(kCommandHelpTopicBase + 737), text));
    for (const char* part :
         {"spot_diagram\n", "Also typed as spd.",
          "- wavelengths (int): one of mon (0), chr (1); default 0",
          "- divisions (double): at least 0; default 0",
          "    spot_diagram wavelengths apodisation divisions wavelength width_y width_x"}) {
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    }
}

TEST(HelpFile, TheConsoleProgramWritesTopicsAndTheContents) {
    tavo_test::TempTree tree;
    tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
    const fs::path output = tree.base() / "out.txt";
    const std::string command = "printf 'help 1 " + std::to_string(kCommandHelpTopicBase + 737) +
                                "\\nhelp 0\\nhelp 2\\n' | TAVO_UI=console '" TAVO_INSTALL_DIR
                                "/tavolt' > '" +
                                output.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string shown = tavo_test::read_file(output);
    const std::string page = built_page();
    for (const std::string& id : {std::to_string(kCommandHelpTopicBase + 737),
                                  std::string(kContentsTopic), std::string(kUsingHelpTopic)}) {
        std::string text;
        ASSERT_TRUE(help_topic_text_of(page, id, text)) << id;
        EXPECT_NE(shown.find(text), std::string::npos) << id << "\n" << shown;
    }
    for (const char* part :
         {"spot_diagram\n\nHelp topic 10737. Also typed as spd.", "- spot_diagram (topic 10737)",
          "- The surface spreadsheet (topic 1043)"}) {
        EXPECT_NE(shown.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(shown.find("Cannot open the help file"), std::string::npos) << shown;
}

// A copy of the sources with one change; the builder's status and its message.
struct BuildRun {
    int status = -1;
    std::string message;
};

BuildRun build_with(const tavo_test::TempTree& tree, const std::string& help_source,
                    const std::string& extra_help_table) {
    const fs::path tables = tree.base() / "tables";
    fs::copy(fs::path(TAVO_SOURCE_DIR) / "tables", tables, fs::copy_options::recursive);
    const fs::path help_table = tables / "help/ctable.hlp";
    tree.write_file("tables/help/ctable.hlp", tavo_test::read_file(help_table) + extra_help_table);
    const fs::path source = tree.write_file("topics.help", help_source);
    const fs::path out = tree.base() / "out.html";
    const fs::path log = tree.base() / "log.txt";
    const std::string command = "'" + (kBuildFolder / "tools/help_builder").string() +
                                "' --help '" + source.string() + "' --tables '" + tables.string() +
                                "' --out '" + out.string() + "' > '" + log.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    BuildRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.message = tavo_test::read_file(log);
    if (run.status != 0) {
        EXPECT_FALSE(fs::exists(out)) << "a failed build left a file";
    }
    return run;
}

TEST(HelpFile, TheBuildFailsOnATopicThatIsMissing) {
    const std::string shipped =
        tavo_test::read_file(fs::path(TAVO_SOURCE_DIR) / "data/hlp/topics.help");
    ASSERT_FALSE(shipped.empty());
    struct Case {
        const char* name;
        std::string help_source;
        std::string help_table;
        const char* message;  // empty: the build succeeds
    };
    const Case cases[] = {
        {"the shipped sources", shipped, "", ""},
        {"a named topic", shipped, "topic 4242 lost_dialog\n", "help topic 4242 (lost_dialog)"},
        {"a help block's topic", shipped, "help 737 flags=0\n  text 91 91 \"4243\"\nend\n",
         "help topic \"4243\""},
        {"a help block naming a command's topic", shipped,
         "help 737 flags=0\n  text 91 91 \"10737\"\nend\n", ""},
        {"a link", shipped + "@topic extra Extra\nSee <<4244>>.\n", "", "topic 4244"},
        {"a topic given twice", shipped + "@topic 510 Again\nText.\n", "", "510 is given twice"},
        {"a hand topic on a command's number", shipped + "@topic 10737 Mine\nText.\n", "",
         "topic 10737 is the topic of command spot_diagram"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tavo_test::TempTree tree;
        const BuildRun run = build_with(tree, c.help_source, c.help_table);
        if (*c.message == '\0') {
            EXPECT_EQ(run.status, 0) << run.message;
        } else {
            EXPECT_EQ(run.status, 1);
            EXPECT_NE(run.message.find(c.message), std::string::npos) << run.message;
        }
    }
}

}  // namespace
