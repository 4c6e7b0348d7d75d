#include "platform/qt/qt_help.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/help_viewer.h"

namespace platform::qt {

namespace {

// Lives as a child of its control and answers the control's help events.
class ControlHelp : public QObject {
public:
    ControlHelp(QWidget* control, int topic) : QObject(control), topic_(topic) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::QueryWhatsThis:
                return true;  // the What's This cursor shows that help is there
            case QEvent::WhatsThis:
                request_help(topic_);
                return true;
            case QEvent::KeyPress:
                if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
                    request_help(topic_);
                    return true;
                }
                break;
            default:
                break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    int topic_;
};

// The help window while it is open; it goes with its owner.
QPointer<QWidget>& help_window() {
    static QPointer<QWidget> window;
    return window;
}

// The page's sections are named by their id; the browser finds anchors by name.
QString with_named_anchors(const QString& page) {
    static const QRegularExpression tag(
        QStringLiteral(R"re((<[A-Za-z][A-Za-z0-9]*\s[^>]*\bid="([^"]+)"[^>]*>))re"));
    QString out = page;
    out.replace(tag, QStringLiteral(R"re(\1<a name="\2"></a>)re"));
    return out;
}

}  // namespace

bool show_help_browser(QWidget* owner, const std::string& path, const std::string& anchor) {
    const QFileInfo info(QString::fromStdString(path));
    QFile file(info.absoluteFilePath());
    if (owner == nullptr || !info.isFile() || !file.open(QIODevice::ReadOnly)) return false;
    const QString page = QString::fromUtf8(file.readAll());
    QPointer<QWidget>& window = help_window();
    if (window.isNull()) {
        window = new QWidget(owner, Qt::Window);
        window->setObjectName("tavo_help_window");
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* browser = new QTextBrowser(window);
        browser->setObjectName("tavo_help_browser");
        layout->addWidget(browser);
        window->resize(760, 560);
    }
    auto* browser = window->findChild<QTextBrowser*>("tavo_help_browser");
    browser->document()->setBaseUrl(QUrl::fromLocalFile(info.absolutePath() + "/"));
    browser->setHtml(with_named_anchors(page));
    const QString title = browser->documentTitle();
    window->setWindowTitle(title.isEmpty() ? info.fileName() : title);
    window->show();
    window->raise();
    window->activateWindow();
    if (anchor.empty()) {
        browser->moveCursor(QTextCursor::Start);
    } else {
        browser->scrollToAnchor(QString::fromStdString(anchor));
    }
    return true;
}

void add_dialog_help_button(QDialog& dialog, int topic) {
    if (topic == 0) return;
    auto* box = dialog.findChild<QDialogButtonBox*>();
    if (box == nullptr) return;
    QPushButton* help = box->addButton(QDialogButtonBox::Help);
    help->setObjectName("tavo_help_button");
    QObject::connect(help, &QPushButton::clicked, [topic] { request_help(topic); });
}

void set_control_help(QWidget* control, int topic) {
    if (control == nullptr || topic == 0) return;
    control->installEventFilter(new ControlHelp(control, topic));
}

}  // namespace platform::qt
