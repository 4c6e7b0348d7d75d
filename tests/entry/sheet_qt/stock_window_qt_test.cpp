// The stock-lens parts in window 16 of the started program on Qt (offscreen): the list, the
// panel, the label, the strip's pictured buttons and the preview, as a user sees them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/main_loop.h"
#include "app/startup.h"
#include "lens/stock_lenses.h"
#include "platform/qt/qt_backend.h"
#include "platform/state_reset.h"
#include "runtime/dispatch.h"  // before Qt's headers, whose "slots" would clash
#include "runtime/messages.h"
#include "tests/app/startup/started_runtime.h"
#include "tests/support/qt_test_app.h"
#include "ui/graphics_text_window.h"
#include "ui/text_area.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <QWidget>

namespace {

QWidget* find_widget(const char* name) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == name) return top;
        if (QWidget* w = top->findChild<QWidget*>(name)) return w;
    }
    return nullptr;
}

TEST(StockWindowQt, ThePartsShowInWindow16WithTheStripsPictures) {
    namespace fs = std::filesystem;
    tavo_test::StartedRuntime run;
    for (const char* folder : {"bin/bma", "bin/lmo"}) {
        fs::create_directories(run.tree.root() / folder);
        for (const auto& e : fs::directory_iterator(fs::path(TAVO_INSTALL_DIR) / folder)) {
            fs::copy_file(e.path(), run.tree.root() / folder / e.path().filename(),
                          fs::copy_options::overwrite_existing);
        }
    }
    std::unique_ptr<platform::UiBackend> qt = tavo_test::make_test_qt_backend();
    // However the test ends, the program is taken down while the Qt backend still exists.
    struct TakeDown {
        tavo_test::StartedRuntime& run;
        ~TakeDown() {
            close_catalog_parts();
            free_lens_catalog();
            platform::reset_all_state();
            gui_shutdown();
            set_running_flag(0);
            platform::set_current_ui(run.backend.get());
        }
    } take_down{run};
    platform::set_current_ui(qt.get());
    platform::reset_all_state();
    ASSERT_EQ(runtime_init(1), 0);
    ASSERT_EQ(install_main_loop(), 0);
    platform::set_current_ui(run.backend.get());
    ASSERT_EQ(app_init(0, 0, 0), 0);
    platform::set_current_ui(qt.get());
    main_loop_start();

    ASSERT_EQ(run_command_string("select_lens_catalog generic", 0), 0);
    // What the stock-lens commands of the lens entry and the sheet open.
    ASSERT_EQ(open_catalog_parts(), 0);
    for (int i = 0; i < 20; ++i) qt->process_one_event(false);
    qt->update_now();
    QWidget* window = find_widget("tavo_window_16");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(list_selected_line(), 2);
    auto* label = qobject_cast<QLabel*>(find_widget("tavo_label_16"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text().toStdString(),
              "Generic parts (tavo) GPX050D25: diameter 25.000, focal length 50.000, 46.044");
    // The OK, Cancel and Help pictures of the spreadsheet's strip, with their tips.
    for (const int id : {kWindow16OkCommand, kWindow16CancelCommand, kWindow16HelpCommand}) {
        const std::string name = "tavo_tool_16_" + std::to_string(id);
        auto* button = qobject_cast<QToolButton*>(find_widget(name.c_str()));
        ASSERT_NE(button, nullptr) << name;
        EXPECT_FALSE(button->icon().isNull()) << name;
        EXPECT_FALSE(button->toolTip().isEmpty()) << name;
    }
    // The panel's lines are painted in the grid's pane: text in its first row.
    QWidget* grid = find_widget("tavo_surface_18");
    ASSERT_NE(grid, nullptr);
    const QImage panel = grid->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const TextArea* area = textarea(kGridTextArea);
    int dark = 0;
    for (int y = area->top_margin; y < area->top_margin + area->line_height; ++y) {
        for (int x = 0; x < panel.width(); ++x) dark += qGray(panel.pixel(x, y)) < 100 ? 1 : 0;
    }
    EXPECT_GT(dark, 50);
    if (const char* dir = std::getenv("TAVO_GRAB_DIR")) {
        EXPECT_TRUE(window->grab().save(QString(dir) + "/window16_stock.png"));
    }

    // A click on the panel's "Negative" button lists the negative parts: the main loop builds
    // the panel's level, the grid hands it the click.
    main_loop_pass(false);
    const std::string types = textarea_output_lines(kGridTextArea).at(0);
    const int column = static_cast<int>(types.find("Negative"));
    ASSERT_GT(column, 0) << types;
    const QPointF at(area->left_margin + column * area->char_width + 2, area->top_margin + 3);
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, at, grid->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
        QApplication::sendEvent(grid, &e);
        for (int i = 0; i < 20; ++i) qt->process_one_event(false);
    }
    main_loop_pass(false);
    for (int i = 0; i < 20; ++i) qt->process_one_event(false);
    qt->update_now();
    EXPECT_EQ(stock_selection().type, kStockNegative);
    EXPECT_EQ(textarea_output_lines(kListArea).size(), 4u);
    if (const char* dir = std::getenv("TAVO_GRAB_DIR")) {
        EXPECT_TRUE(window->grab().save(QString(dir) + "/window16_stock_negative.png"));
    }
    close_catalog_parts();
    EXPECT_FALSE(window->isVisible());
}

}  // namespace
