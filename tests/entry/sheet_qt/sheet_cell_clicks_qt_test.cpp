// A sheet cell pressed once, twice or as a double-click offers its whole value selected in the
// command line: the keys typed then replace the value, never add to it.
#include <string>
#include <vector>

#include "tests/entry/sheet_qt/sheet_qt_fixture.h"

namespace {

using tavo_test::QtSheet;

constexpr int kClickedThickness = 3;

class QtSheetClicks : public QtSheet {
protected:
    // The mouse events of a press on the cell, as the window system sends them.
    void send(const std::vector<QEvent::Type>& events, int code, int index) {
        QWidget* surface = tavo_test::find_widget<QWidget>("tavo_surface_3");
        ASSERT_NE(surface, nullptr);
        const QRect r = cell_rect(code, index);
        const QPointF at(r.left() + 6, r.top() + 7);
        for (const QEvent::Type type : events) {
            const bool down = type != QEvent::MouseButtonRelease;
            QMouseEvent e(type, at, at, Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
            QApplication::sendEvent(surface, &e);
            settle();
        }
    }
};

TEST_F(QtSheetClicks, ACellPressedAgainTakesATypedValueWhole) {
    using Events = std::vector<QEvent::Type>;
    const Events click = {QEvent::MouseButtonPress, QEvent::MouseButtonRelease};
    const Events double_click = {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                 QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease};
    struct Case {
        const char* what;
        std::vector<Events> presses;
    };
    const std::vector<Case> cases = {
        {"click, click", {click, click}},
        {"double-click", {double_click}},
        {"click, double-click, click", {click, double_click, click}},
    };
    open_sheet_on_lens("4.822");
    double typed = 5;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const Events& events : c.presses) send(events, kClickedThickness, 2);
        ASSERT_NE(line_edit(), nullptr);
        EXPECT_TRUE(line_edit()->hasSelectedText());
        EXPECT_EQ(line_edit()->selectedText(), line_edit()->text());
        type_keys(std::to_string(static_cast<int>(typed)));
        press(Qt::Key_Return);
        EXPECT_DOUBLE_EQ(surface(2).thickness, typed);
        typed += 1;
    }
}

// The value a cell offers reads as the sheet shows it, not as the nearest binary double spelled
// out, and it is still the very value the lens holds: taken back unchanged it changes nothing.
TEST_F(QtSheetClicks, ACellOffersItsValueAsTheSheetShowsIt) {
    const char* const values[] = {"7331.288", "0.1", "1e-7", "123456789.123"};
    for (const char* value : values) {
        SCOPED_TRACE(value);
        if (level_count() > 0) press(Qt::Key_Escape);
        open_sheet_on_lens(value);
        const double held = surface(2).thickness;
        send({QEvent::MouseButtonPress, QEvent::MouseButtonRelease}, kClickedThickness, 2);
        ASSERT_NE(line_edit(), nullptr);
        EXPECT_EQ(line_edit()->text().toStdString(), value);
        press(Qt::Key_Return);
        EXPECT_EQ(surface(2).thickness, held);
    }
}

}  // namespace
