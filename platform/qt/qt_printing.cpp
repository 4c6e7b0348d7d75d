#include "platform/qt/qt_printing.h"

#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>
#include <string>

#include "platform/qt/qt_help.h"
#include "platform/text_file.h"

namespace platform::qt {

namespace {

QColor to_qcolor(Colour c) {
    return QColor(c.red, c.green, c.blue);
}

// Draws on the printer's current page. Only what printed text and printed pictures need.
class PrinterContext : public DeviceContext {
public:
    PrinterContext(QPainter& painter, QPrinter& printer) : painter_(painter), printer_(printer) {}

    Size size() const override {
        const QRect r = printer_.pageLayout().paintRectPixels(printer_.resolution());
        return {r.width(), r.height()};
    }
    void set_pen(Colour colour, LineStyle, int width) override {
        painter_.setPen(QPen(to_qcolor(colour), width));
    }
    void set_brush(Colour colour) override { painter_.setBrush(to_qcolor(colour)); }
    void set_null_brush() override { painter_.setBrush(Qt::NoBrush); }
    void set_text_colour(Colour colour) override { text_ = to_qcolor(colour); }
    void move_to(Point p) override { current_ = p; }
    void line_to(Point p) override {
        painter_.drawLine(current_.x, current_.y, p.x, p.y);
        current_ = p;
    }
    void polyline(std::span<const Point> points) override {
        for (std::size_t k = 1; k < points.size(); ++k) {
            painter_.drawLine(points[k - 1].x, points[k - 1].y, points[k].x, points[k].y);
        }
    }
    void polygon(std::span<const Point> points) override {
        QPolygon poly;
        for (const Point& p : points) poly << QPoint(p.x, p.y);
        painter_.drawPolygon(poly);
    }
    void ellipse(Rect r) override {
        painter_.drawEllipse(r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
    void set_pixel(Point p, Colour colour) override {
        painter_.save();
        painter_.setPen(to_qcolor(colour));
        painter_.drawPoint(p.x, p.y);
        painter_.restore();
    }
    void fill_rect(Rect r, Colour colour) override {
        painter_.fillRect(r.left, r.top, r.right - r.left, r.bottom - r.top, to_qcolor(colour));
    }
    void text_out(Point p, std::string_view text) override {
        painter_.save();
        painter_.setPen(text_);
        const QFontMetrics metrics(painter_.font(), &printer_);
        painter_.drawText(p.x, p.y + metrics.ascent(),
                          QString::fromUtf8(text.data(), static_cast<int>(text.size())));
        painter_.restore();
    }
    TextMetrics text_metrics() const override {
        const QFontMetrics metrics(painter_.font(), &printer_);
        return {metrics.height(), metrics.ascent(), metrics.averageCharWidth()};
    }
    int text_width(std::string_view text) const override {
        const QFontMetrics metrics(painter_.font(), &printer_);
        return metrics.horizontalAdvance(
            QString::fromUtf8(text.data(), static_cast<int>(text.size())));
    }
    void set_clip_rect(Rect r) override {
        painter_.setClipRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
    void clear_clip() override { painter_.setClipping(false); }

private:
    QPainter& painter_;
    QPrinter& printer_;
    QColor text_{Qt::black};
    Point current_;
};

// Whether a finished PDF file is whole: its last line is the end-of-file marker. A full disc
// or a size limit cuts the file short, and the PDF engine does not say so.
bool pdf_complete(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly) || file.size() < 6) return false;
    file.seek(file.size() - std::min<qint64>(file.size(), 16));
    return file.readAll().trimmed().endsWith("%%EOF");
}

class QtPrintJob : public PrintJob {
public:
    // pdf, when given, holds the temporary file the printer writes: only a whole document
    // replaces the PDF file.
    QtPrintJob(std::unique_ptr<QPrinter> printer, const FontDescription& font, int screen_dpi,
               std::unique_ptr<AtomicFileWriter> pdf)
        : printer_(std::move(printer)),
          pdf_(std::move(pdf)),
          painter_(),
          context_(painter_, *printer_) {
        started_ = painter_.begin(printer_.get());
        if (!started_) return;
        // The font keeps its screen size: screen pixels scaled to the printer's.
        QFont f(QString::fromStdString(font.face.empty() ? std::string("Monospace") : font.face));
        f.setStyleHint(QFont::TypeWriter);
        f.setFixedPitch(true);
        const int height = font.height > 0 ? font.height : 13;
        f.setPixelSize(std::max(1, height * printer_->resolution() / std::max(1, screen_dpi)));
        f.setWeight(font.weight >= 600 ? QFont::Bold : QFont::Normal);
        f.setItalic(font.italic);
        painter_.setFont(f);
    }
    bool started() const { return started_; }
    DeviceContext& page() override { return context_; }
    int dots_per_inch() const override { return printer_->resolution(); }
    const QPrinter& printer() const { return *printer_; }
    Size page_size() const override { return context_.size(); }
    bool new_page() override { return printer_->newPage(); }
    bool finish() override {
        const bool ended = painter_.end();
        if (pdf_ == nullptr) return ended;
        if (!ended || !pdf_complete(pdf_->temporary_path())) {
            pdf_->discard();
            return false;
        }
        return pdf_->commit() == 0;
    }
    void abort() override {
        printer_->abort();
        painter_.end();
        // A cancelled document leaves the last PDF as it was.
        if (pdf_ != nullptr) pdf_->discard();
    }
    std::string destination() const override {
        if (pdf_ != nullptr) return pdf_->target();
        return printer_->printerName().toStdString();
    }

private:
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<AtomicFileWriter> pdf_;
    QPainter painter_;
    PrinterContext context_;
    bool started_ = false;
};

}  // namespace

bool describe_qt_printer(const PrintJob& job, UiBackend::PrinterCapabilities& caps) {
    const auto* qt_job = dynamic_cast<const QtPrintJob*>(&job);
    if (qt_job == nullptr) return false;
    const QPrinter& printer = qt_job->printer();
    caps.dots_per_inch = printer.resolution();
    const QPageLayout layout = printer.pageLayout();
    const QMargins margins = layout.marginsPixels(printer.resolution());
    caps.margins[0] = margins.left();
    caps.margins[1] = margins.top();
    caps.margins[2] = margins.right();
    caps.margins[3] = margins.bottom();
    caps.landscape = layout.orientation() == QPageLayout::Landscape;
    return true;
}

DialogResult page_setup_dialog(const std::string& caption, UiBackend::PageSetup& setup,
                               QWidget* owner) {
    QPrinter printer(QPrinter::HighResolution);
    if (QPrinterInfo::availablePrinters().isEmpty()) printer.setOutputFormat(QPrinter::PdfFormat);
    // Hundredths of a millimetre to millimetres and back.
    printer.setPageMargins(
        QMarginsF(setup.left / 100.0, setup.top / 100.0, setup.right / 100.0, setup.bottom / 100.0),
        QPageLayout::Millimeter);
    printer.setPageOrientation(setup.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    QPageSetupDialog dialog(&printer, owner);
    dialog.setObjectName("tavo_page_setup");
    dialog.setWindowTitle(QString::fromStdString(caption));
    add_dialog_help_button(dialog, setup.help_topic);
    if (dialog.exec() != QDialog::Accepted) return DialogResult::cancelled;
    const QMarginsF m = printer.pageLayout().margins(QPageLayout::Millimeter);
    setup.left = static_cast<int>(m.left() * 100.0 + 0.5);
    setup.top = static_cast<int>(m.top() * 100.0 + 0.5);
    setup.right = static_cast<int>(m.right() * 100.0 + 0.5);
    setup.bottom = static_cast<int>(m.bottom() * 100.0 + 0.5);
    setup.landscape = printer.pageLayout().orientation() == QPageLayout::Landscape;
    setup.printer = printer.outputFormat() == QPrinter::PdfFormat
                        ? std::string("PDF")
                        : printer.printerName().toStdString();
    return DialogResult::ok;
}

std::unique_ptr<PrintJob> start_qt_print(const PrintRequest& request, QWidget* owner,
                                         DialogResult* result, bool* selection_only) {
    if (selection_only != nullptr) *selection_only = false;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setDocName(QString::fromStdString(request.document));
    std::unique_ptr<AtomicFileWriter> pdf;
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        // No printer installed: the pages go to a PDF file, by way of a temporary file beside
        // it that replaces it only when the document is whole.
        pdf = std::make_unique<AtomicFileWriter>();
        if (pdf->open(request.pdf_file) != 0) {
            if (result != nullptr) *result = DialogResult::failed;
            return nullptr;
        }
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QString::fromStdString(pdf->temporary_path()));
    } else if (request.ask) {
        QPrintDialog dialog(printer.get(), owner);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
        dialog.setOption(QAbstractPrintDialog::PrintSelection, selection_only != nullptr);
        add_dialog_help_button(dialog, request.help_topic);
        if (dialog.exec() != QDialog::Accepted) {
            if (result != nullptr) *result = DialogResult::cancelled;
            return nullptr;
        }
        if (selection_only != nullptr) {
            *selection_only = dialog.printRange() == QAbstractPrintDialog::Selection;
        }
    }
    auto job = std::make_unique<QtPrintJob>(std::move(printer), request.font, 96, std::move(pdf));
    if (!job->started()) {
        if (result != nullptr) *result = DialogResult::failed;
        return nullptr;
    }
    if (result != nullptr) *result = DialogResult::ok;
    return job;
}

}  // namespace platform::qt
