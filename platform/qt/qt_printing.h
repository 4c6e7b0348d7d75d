// Printing on Qt: a QPrinter (a PDF file where no printer is installed) drawn with QPainter.
#pragma once

#include <memory>
#include <string>

#include "platform/ui.h"

class QWidget;

namespace platform::qt {

// The page set-up dialog of the default printer (or the PDF printer); margins in hundredths of
// a millimetre.
DialogResult page_setup_dialog(const std::string& caption, UiBackend::PageSetup& setup,
                               QWidget* owner);

// With selection_only given, the print dialog also offers the selected text and it tells
// whether that was chosen (false when no dialog showed).
std::unique_ptr<PrintJob> start_qt_print(const PrintRequest& request, QWidget* owner,
                                         DialogResult* result, bool* selection_only = nullptr);

// What Qt knows of the printer of a job started by start_qt_print; false for another job.
bool describe_qt_printer(const PrintJob& job, UiBackend::PrinterCapabilities& caps);

}  // namespace platform::qt
