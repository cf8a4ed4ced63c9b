#include "lists/qt/popup.h"

#include <QCoreApplication>
#include <QPointer>

#include "ui/window_messages.h"

namespace {

QList<QPointer<QWidget>>& open_windows() {
    static QList<QPointer<QWidget>> list;
    return list;
}

}  // namespace

void popup_list_create() { open_windows().clear(); }

void popup_add(QWidget* window) {
    if (window) open_windows().append(QPointer<QWidget>(window));
}

int popup_notify_adapter_changed() {
    auto& list = open_windows();
    int sent = 0;
    for (qsizetype i = 0; i < list.size();) {
        if (list[i].isNull()) {
            list.removeAt(i);
            continue;
        }
        WindowMessageEvent message(kMsgAdapterChanged);
        QCoreApplication::sendEvent(list[i].data(), &message);
        ++sent;
        ++i;
    }
    return sent;
}

QList<QWidget*> popup_windows() {
    QList<QWidget*> live;
    for (const auto& w : open_windows())
        if (!w.isNull()) live.append(w.data());
    return live;
}
