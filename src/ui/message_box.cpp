#include "ui/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include "base/message.h"
#include "ui/qtext.h"

namespace {

QMessageBox::Icon box_icon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information: return QMessageBox::Information;
        case MessageIcon::Warning: return QMessageBox::Warning;
        case MessageIcon::Error: return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

void show_box(const QString& title, const QString& text, MessageIcon icon) {
    QMessageBox box(box_icon(icon), title, text, QMessageBox::Ok);
    box.exec();
}

}  // namespace

void ui_message_box_install() {
    message_set_sink([](const std::string& title, const std::string& text, MessageIcon icon) {
        const QString t = ui_text(title), m = ui_text(text);
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return;
        if (QThread::currentThread() == app->thread()) show_box(t, m, icon);
        else QMetaObject::invokeMethod(app, [t, m, icon] { show_box(t, m, icon); }, Qt::QueuedConnection);
    });
}
