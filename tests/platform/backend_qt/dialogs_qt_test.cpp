// The Qt file dialog is our own (not the desktop's): its "P&rivate" and "P&ublic" buttons move
// it to the folders the program names; a closed dialog answers cancelled.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "platform/qt/qt_backend.h"
#include "tests/support/qt_test_app.h"

namespace {

TEST(QtDialogs, TheFolderButtonsMoveTheFileDialogToTheirFolders) {
    namespace fs = std::filesystem;
    std::unique_ptr<platform::UiBackend> ui = tavo_test::make_test_qt_backend();
    ASSERT_EQ(ui->create_frame("TAVO LT", nullptr), 0);
    const fs::path base = fs::temp_directory_path() / ("tavo_dialog_" + std::to_string(::getpid()));
    fs::create_directories(base / "private/len");
    fs::create_directories(base / "public/len");
    const QString private_folder = QString::fromStdString((base / "private/len").string());
    const QString public_folder = QString::fromStdString((base / "public/len").string());

    QString after_private;
    QString after_public;
    bool native = true;
    int buttons_seen = 0;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* d = qobject_cast<QFileDialog*>(w); d != nullptr && d->isVisible())
                    dialog = d;
            }
        }
        if (dialog == nullptr) return;
        native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
        // Both buttons can be seen whole inside the dialog, as wide as their labels ask.
        for (const char* name : {"tavo_private_button", "tavo_public_button"}) {
            auto* b = dialog->findChild<QPushButton*>(name);
            if (b == nullptr) continue;
            const QRect at(b->mapTo(dialog, QPoint(0, 0)), b->size());
            buttons_seen += b->isVisible() && b->width() >= b->sizeHint().width() &&
                            dialog->rect().contains(at);
        }
        if (auto* b = dialog->findChild<QPushButton*>("tavo_private_button")) b->click();
        after_private = dialog->directory().absolutePath();
        if (auto* b = dialog->findChild<QPushButton*>("tavo_public_button")) b->click();
        after_public = dialog->directory().absolutePath();
        dialog->reject();
    });
    platform::FileDialogRequest request;
    request.title = "Open";
    request.folder = base.string();
    request.filters.push_back({"Lens files", "*.len"});
    request.private_label = "P&rivate";
    request.private_folder = private_folder.toStdString();
    request.public_label = "P&ublic";
    request.public_folder = public_folder.toStdString();
    EXPECT_EQ(ui->file_dialog(request), platform::DialogResult::cancelled);
    EXPECT_FALSE(native);
    EXPECT_EQ(buttons_seen, 2);
    EXPECT_EQ(after_private, private_folder);
    EXPECT_EQ(after_public, public_folder);
    fs::remove_all(base);
}

// The fixed-width font dialog offers fixed-width fonts only and starts on the font in use: the
// one named when this system has it, else the fixed font the text areas fall back to.
TEST(QtDialogs, TheFixedWidthFontDialogOffersFixedFontsAndPreselectsTheOneInUse) {
    std::unique_ptr<platform::UiBackend> ui = tavo_test::make_test_qt_backend();
    ASSERT_EQ(ui->create_frame("TAVO LT", nullptr), 0);
    const QString fallback = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    QString fixed_family;
    for (const QString& family : QFontDatabase::families()) {
        if (QFontDatabase::isFixedPitch(family)) fixed_family = family;
    }
    struct Case {
        std::string face;
        QString preselected;
    };
    const Case cases[] = {
        {"No such font on this system", fallback},
        {"", fallback},
        {fixed_family.toStdString(), fixed_family},
    };
    for (const Case& c : cases) {
        if (c.preselected.isEmpty()) continue;  // a system without fixed fonts
        bool monospaced_only = false;
        bool help_button = false;
        QString shown;
        QTimer::singleShot(0, [&] {
            QFontDialog* dialog = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* d = qobject_cast<QFontDialog*>(w); d != nullptr && d->isVisible())
                    dialog = d;
            }
            if (dialog == nullptr) return;
            monospaced_only = dialog->testOption(QFontDialog::MonospacedFonts);
            help_button = dialog->findChild<QPushButton*>("tavo_help_button") != nullptr;
            shown = dialog->currentFont().family();
            dialog->reject();
        });
        platform::FontDescription font;
        font.face = c.face;
        font.height = 14;
        font.fixed_pitch = true;
        font.help_topic = 512;
        EXPECT_EQ(ui->font_dialog("Choose fixed-width font for text areas:", font),
                  platform::DialogResult::cancelled);
        EXPECT_TRUE(monospaced_only) << c.face;
        EXPECT_TRUE(help_button) << c.face;
        // Family names are compared as fontconfig does, without regard to case.
        EXPECT_EQ(shown.toLower().toStdString(), c.preselected.toLower().toStdString()) << c.face;
    }
}

// A filter whose description names its pattern shows it once; a dialog without folder
// buttons has no empty strip for them.
TEST(QtDialogs, TheFileDialogShowsEachFilterOnceAndNoEmptyFolderStrip) {
    std::unique_ptr<platform::UiBackend> ui = tavo_test::make_test_qt_backend();
    ASSERT_EQ(ui->create_frame("TAVO LT", nullptr), 0);
    QStringList shown_filters;
    bool strip_label = true;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            if (dialog == nullptr || !dialog->isVisible()) continue;
            shown_filters = dialog->nameFilters();
            strip_label = false;
            for (const QLabel* label : dialog->findChildren<QLabel*>()) {
                if (label->text().startsWith("Library")) strip_label = true;
            }
            dialog->reject();
        }
    });
    platform::FileDialogRequest request;
    request.title = "Save";
    request.save = true;
    request.filters = {{"Lens files (*.len)", "*.len"}, {"Text", "*.txt"}};
    EXPECT_EQ(ui->file_dialog(request), platform::DialogResult::cancelled);
    EXPECT_EQ(shown_filters, (QStringList{"Lens files (*.len)", "Text (*.txt)"}));
    EXPECT_FALSE(strip_label);
}

}  // namespace

namespace {

TEST(QtWindows, AWindowWhoseCloseIsGreyedStaysOpen) {
    std::unique_ptr<platform::UiBackend> ui = tavo_test::make_test_qt_backend();
    ASSERT_EQ(ui->create_frame("TAVO LT", nullptr), 0);
    ASSERT_EQ(ui->create_window(1, "Text 1", nullptr), 0);
    ASSERT_EQ(ui->set_close_enabled(1, false), 0);
    QWidget* sub = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (QWidget* w = top->findChild<QWidget*>("tavo_window_1")) sub = w;
    }
    ASSERT_NE(sub, nullptr);
    EXPECT_FALSE(sub->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    sub->close();
    QApplication::processEvents();
    EXPECT_TRUE(ui->window_visible(1));
    ASSERT_EQ(ui->set_close_enabled(1, true), 0);
    sub->close();
    QApplication::processEvents();
    EXPECT_FALSE(ui->window_visible(1));
}

}  // namespace
