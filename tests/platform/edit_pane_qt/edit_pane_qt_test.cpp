// The Qt edit pane's editing operations and its text dialog, offscreen: replacing the
// selection is one undoable edit that marks the text modified, the top line follows the
// scroll bar, and the dialog hands back what was typed and which button was pressed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt/qt_backend.h"
#include "tests/support/qt_test_app.h"

namespace {

constexpr int kEdit = platform::kWindowEdit;
using Selection = std::pair<int, int>;

class QtEditPane : public ::testing::Test {
protected:
    void SetUp() override {
        ui_ = tavo_test::make_test_qt_backend();
        ASSERT_EQ(ui_->create_frame("TAVO LT", nullptr), 0);
        ASSERT_EQ(ui_->create_window(kEdit, "Edit", nullptr), 0);
        ASSERT_EQ(ui_->create_edit_pane(kEdit, 4), 0);
        ui_->show_window(kEdit, true);
        ui_->set_window_rect(kEdit, {0, 0, 400, 300});
        QApplication::processEvents();
    }
    std::unique_ptr<platform::UiBackend> ui_;
};

TEST_F(QtEditPane, ReplacingTheSelectionIsOneUndoableEditThatMarksTheText) {
    ui_->set_edit_text(kEdit, "hello world");
    EXPECT_FALSE(ui_->edit_modified(kEdit));
    EXPECT_FALSE(ui_->edit_can_undo(kEdit));
    ui_->set_edit_selection(kEdit, 0, 5);
    ASSERT_EQ(ui_->replace_edit_selection(kEdit, "goodbye"), 0);
    EXPECT_EQ(ui_->edit_text(kEdit), "goodbye world");
    EXPECT_EQ(ui_->edit_selection(kEdit), Selection(7, 7));
    EXPECT_TRUE(ui_->edit_modified(kEdit));
    ui_->set_edit_modified(kEdit, false);
    EXPECT_FALSE(ui_->edit_modified(kEdit));
    ASSERT_EQ(ui_->edit_undo(kEdit), 0);
    EXPECT_EQ(ui_->edit_text(kEdit), "hello world");
    // Nothing left to take back.
    EXPECT_NE(ui_->edit_undo(kEdit), 0);
    EXPECT_EQ(ui_->edit_text(kEdit), "hello world");
}

TEST_F(QtEditPane, TheTopLineIsTheEditorsScrollPosition) {
    std::string text;
    for (int k = 1; k <= 200; ++k) text += "line " + std::to_string(k) + "\n";
    ui_->set_edit_text(kEdit, text);
    QApplication::processEvents();
    EXPECT_EQ(ui_->edit_top_line(kEdit), 0);
    ASSERT_EQ(ui_->set_edit_top_line(kEdit, 40), 0);
    EXPECT_EQ(ui_->edit_top_line(kEdit), 40);
    QPlainTextEdit* editor = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* e = top->findChild<QPlainTextEdit*>("tavo_editor_5")) editor = e;
    }
    ASSERT_NE(editor, nullptr);
    // The line drawn at the editor's top left corner.
    EXPECT_EQ(editor->cursorForPosition(QPoint(2, 2)).blockNumber(), 40);
}

// Fills the dialog's fields and presses the button of that code (0 OK, k the extra button k,
// -1 Cancel) once the dialog runs.
void answer_dialog(const std::vector<QString>& fields, int button) {
    QTimer::singleShot(0, [fields, button] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr) return;
        for (std::size_t k = 0; k < fields.size(); ++k) {
            if (auto* f = dialog->findChild<QLineEdit*>(QString("tavo_dialog_field_%1").arg(k)))
                f->setText(fields[k]);
        }
        if (auto* b = dialog->findChild<QPushButton*>(QString("tavo_dialog_button_%1").arg(button)))
            b->click();
    });
}

TEST_F(QtEditPane, TheTextDialogHandsBackTheFieldsAndTheButton) {
    struct Case {
        std::vector<QString> typed;
        int button;
        platform::DialogResult result;
        std::vector<std::string> values;
        int pressed;
    };
    const std::vector<Case> cases = {
        {{"abc", "xyz"}, 1, platform::DialogResult::ok, {"abc", "xyz"}, 1},
        {{"abc", ""}, 0, platform::DialogResult::ok, {"abc", ""}, 0},
        {{"abc", "xyz"}, -1, platform::DialogResult::cancelled, {"kept", "too"}, -5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        platform::UiBackend::TextFieldsDialog dialog;
        dialog.id = 600;
        dialog.title = "Replace Text";
        dialog.labels = {"Find what:", "Replace with:"};
        dialog.values = {"kept", "too"};
        dialog.buttons = {"Replace &all"};
        dialog.button = -5;
        answer_dialog(c.typed, c.button);
        EXPECT_EQ(ui_->text_fields_dialog(dialog), c.result);
        EXPECT_EQ(dialog.values, c.values);
        EXPECT_EQ(dialog.button, c.pressed);
    }
}

TEST_F(QtEditPane, TheDialogFieldsTakeAtMostTheLimit) {
    platform::UiBackend::TextFieldsDialog dialog;
    dialog.title = "Find Text";
    dialog.labels = {"Find what:"};
    dialog.values = {""};
    dialog.max_length = 80;
    answer_dialog({QString(100, 'x')}, 0);
    ASSERT_EQ(ui_->text_fields_dialog(dialog), platform::DialogResult::ok);
    EXPECT_EQ(dialog.values, std::vector<std::string>{std::string(80, 'x')});
}

}  // namespace
