// Printing on Qt: a QPrinter (a PDF file where no printer is installed) drawn with QPainter.
#pragma once

#include <memory>

#include "platform/ui.h"

class QWidget;

namespace platform::qt {

std::unique_ptr<PrintJob> start_qt_print(const PrintRequest& request, QWidget* owner,
                                         DialogResult* result);

}  // namespace platform::qt
