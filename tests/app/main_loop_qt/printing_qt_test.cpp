// Printing a text window on Qt without a printer installed: the pages go to DATA/print.pdf,
// read back with pdfinfo and pdftotext.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "platform/qt/qt_backend.h"
#include "platform/state_reset.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "tests/app/startup/started_runtime.h"
#include "tests/support/qt_session.h"
#include "tests/support/qt_test_app.h"
#include "ui/text_area.h"
#include "ui/window_table.h"

// After the program's headers: Qt's "slots" keyword would rename a field of theirs.
#include <QApplication>
#include <QPushButton>
#include <QTimer>

namespace {

std::string run_tool(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

bool have_tool(const char* name) {
    return std::system((std::string("command -v ") + name + " > /dev/null 2>&1").c_str()) == 0;
}

int page_count(const std::string& pdf) {
    std::istringstream info(run_tool("pdfinfo '" + pdf + "'"));
    std::string line;
    while (std::getline(info, line)) {
        if (line.rfind("Pages:", 0) == 0) return std::stoi(line.substr(6));
    }
    return 0;
}

std::vector<std::string> page_lines(const std::string& pdf, int page) {
    std::istringstream text(run_tool("pdftotext -layout -f " + std::to_string(page) + " -l " +
                                     std::to_string(page) + " '" + pdf + "' -"));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(text, line)) {
        const std::size_t start = line.find_first_not_of(" \f");
        if (start != std::string::npos) lines.push_back(line.substr(start));
    }
    return lines;
}

void write_lines(int count) {
    textwin_clear();
    for (int k = 1; k <= count; ++k) text_printf("line %04d\n", k);
}

TEST(QtPrinting, WithoutAPrinterTheWindowIsPrintedToAPdfFilePageByPage) {
    if (!have_tool("pdfinfo") || !have_tool("pdftotext")) GTEST_SKIP() << "poppler-utils missing";
    tavo_test::QtSession session;
    ASSERT_EQ(session.start(), 0);
    tavo_test::StartedRuntime& run = session.run;
    std::unique_ptr<platform::UiBackend>& qt = session.qt;
    set_output_option(kOptionPageMode, 0);
    const std::string pdf = (run.tree.data() / "print.pdf").string();

    // First the number of lines a page holds, L, from a long print.
    write_lines(400);
    ASSERT_EQ(run_command_string("print_text 0", 0), 0);
    ASSERT_TRUE(std::filesystem::exists(pdf));
    const std::vector<std::string> first = page_lines(pdf, 1);
    const int per_page = static_cast<int>(first.size());
    ASSERT_GT(per_page, 10);
    ASSERT_EQ(first.front(), "line 0001");

    // 2L + 20 lines: three pages, the second beginning with line L + 1.
    std::filesystem::remove(pdf);
    write_lines(2 * per_page + 20);
    ASSERT_EQ(run_command_string("print_text 0", 0), 0);
    EXPECT_EQ(page_count(pdf), 3);
    char expected[32];
    std::snprintf(expected, sizeof expected, "line %04d", per_page + 1);
    const std::vector<std::string> second = page_lines(pdf, 2);
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(second.front(), expected);
    EXPECT_EQ(page_lines(pdf, 3).size(), 20u);
    // The Cancel box went with the document, and the frame takes input again.
    for (QWidget* top : QApplication::topLevelWidgets()) {
        EXPECT_NE(top->objectName(), "tavo_print_cancel");
        if (top->objectName() == "tavo_window_0") {
            EXPECT_TRUE(top->isEnabled());
        }
    }

    // Cancel pressed while the document prints: no file, the cancel in the status field.
    std::filesystem::remove(pdf);
    QTimer::singleShot(0, [] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* b = top->findChild<QPushButton*>("tavo_print_cancel_button")) b->click();
        }
    });
    ASSERT_EQ(run_command_string("print_text 0", 0), 0);
    EXPECT_FALSE(std::filesystem::exists(pdf));
    EXPECT_EQ(qt->status_text(), "Printing cancelled");
}

}  // namespace

// print.pdf is the user's file like any other: a link to another file is written through and
// stays a link, and a document cancelled half-way leaves the last one whole.
TEST(QtPrinting, APdfPrintWritesThroughALinkAndACancelKeepsTheLastDocument) {
    tavo_test::QtSession session;
    ASSERT_EQ(session.start(), 0);
    tavo_test::StartedRuntime& run = session.run;
    set_output_option(kOptionPageMode, 0);
    const std::filesystem::path pdf = run.tree.data() / "print.pdf";
    const std::filesystem::path kept = run.tree.base() / "kept" / "last.pdf";
    std::filesystem::create_directories(kept.parent_path());
    run.tree.write_file("kept/last.pdf", "old\n");
    std::filesystem::create_symlink(kept, pdf);

    write_lines(30);
    ASSERT_EQ(run_command_string("print_text 0", 0), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(pdf));
    const std::string printed = tavo_test::read_file(kept);
    EXPECT_EQ(printed.rfind("%PDF", 0), 0u);
    EXPECT_NE(printed.find("%%EOF", printed.size() - 16), std::string::npos);

    write_lines(400);
    QTimer::singleShot(0, [] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* b = top->findChild<QPushButton*>("tavo_print_cancel_button")) b->click();
        }
    });
    ASSERT_EQ(run_command_string("print_text 0", 0), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(pdf));
    EXPECT_TRUE(tavo_test::read_file(kept) == printed);
    for (const auto& entry : std::filesystem::directory_iterator(run.tree.data())) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    }
}
