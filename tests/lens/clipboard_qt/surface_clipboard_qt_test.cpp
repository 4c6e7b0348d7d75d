// Copied surfaces on the desktop clipboard of the Qt backend: the surface-data format under its
// MIME type and the same text as plain text, which another program can paste.
#include <gtest/gtest.h>

// Before Qt's headers, whose "slots" keyword is a macro.
#include "tests/entry/entry_fixture.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <memory>
#include <string>

#include "lens/lens_insert.h"
#include "platform/qt/qt_backend.h"
#include "platform/ui.h"
#include "tests/support/qt_test_app.h"

namespace {

class SurfaceClipboardQt : public entry_test::Entry {};

TEST_F(SurfaceClipboardQt, CopiedSurfacesArePasteableAsDataAndAsText) {
    run_all({"LEN NEW \"Copy\"", "EBR 5", "NXT", "RD 25", "TH 4", "GLA N-BK7", "NXT", "RD -25",
             "TH 40", "NXT", "END"});
    std::unique_ptr<platform::UiBackend> qt = tavo_test::make_test_qt_backend();
    platform::set_current_ui(qt.get());
    QGuiApplication::clipboard()->setText("before");
    EXPECT_EQ(copy_surfaces_to_clipboard(1, 2), 0) << error_text();
    const std::string expected = "NXT;GLA N-BK7;RD   25.0;TH   4.0;NXT;AIR ;RD   -25.0;TH   40.0;";
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat(platform::kSurfaceClipboardMime));
    EXPECT_EQ(data->data(platform::kSurfaceClipboardMime).toStdString(), expected);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), expected);
    EXPECT_EQ(qt->clipboard_text(), expected);
    platform::set_current_ui(&ui());
}

}  // namespace
