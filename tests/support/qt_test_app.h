// What the Qt test programs share: the Qt backend started with a program name of its own, and a
// widget found by its object name among the top-level windows and their children.
#pragma once

#include <QApplication>
#include <QWidget>
#include <memory>

#include "platform/qt/qt_backend.h"

namespace tavo_test {

// QApplication keeps the arguments it was given: they must outlive every backend.
inline std::unique_ptr<platform::UiBackend> make_test_qt_backend() {
    static int argc = 1;
    static char arg0[] = "tavo_qt_test";
    static char* argv[] = {arg0, nullptr};
    return platform::make_qt_backend(argc, argv);
}

template <typename T>
T* find_widget(const char* name) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == name) {
            if (T* w = qobject_cast<T*>(top)) return w;
        }
        if (T* w = top->findChild<T*>(name)) return w;
    }
    return nullptr;
}

}  // namespace tavo_test
