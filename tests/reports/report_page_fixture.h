// The running program with graphics window 1 open for a report page: the lines a page composes
// are collected as it runs them, and its footer reads a fixed date and time.
#pragma once

#include <string>
#include <vector>

#include "graphics/graphics_window.h"
#include "platform/clock.h"
#include "reports/report_page.h"
#include "tests/reports/plot_fixture.h"

namespace plot_test {

// The lines the current page has run, in order.
inline std::vector<std::string>& lines_run() {
    static std::vector<std::string> lines;
    return lines;
}

// 7 March 2002, 09:05: a day and an hour below ten show the footer's leading-zero rules.
inline platform::LocalTime fixed_clock() {
    platform::LocalTime t;
    t.year = 2002;
    t.month = 3;
    t.day = 7;
    t.hour = 9;
    t.minute = 5;
    return t;
}

class ReportPageLoop : public PlotLoop {
protected:
    void SetUp() override {
        PlotLoop::SetUp();
        lines_run().clear();
        set_report_page_line_watcher([](const char* line) { lines_run().push_back(line); });
        set_report_page_clock(fixed_clock);
    }
    void TearDown() override {
        set_report_page_line_watcher(nullptr);
        set_report_page_clock(nullptr);
        PlotLoop::TearDown();
    }
};

}  // namespace plot_test
