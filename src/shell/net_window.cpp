#include "shell/net_window.h"

#include <QPainter>

NetWindow::NetWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("NetWindow");
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void NetWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
}
