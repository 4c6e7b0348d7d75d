#include "platform/qt/qt_help.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QKeyEvent>
#include <QPushButton>

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

}  // namespace

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
