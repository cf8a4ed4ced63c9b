#include "display/qt/netwindow.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHideEvent>
#include <QMetaObject>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>

#include "display/display.h"

namespace {

// The full screen, so that resizing the window never reallocates the image.
QSize screen_size(QSize requested) {
    if (!requested.isEmpty()) return requested;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize s = screen->size();
        if (!s.isEmpty()) return s;
    }
    return QSize(1280, 1024);
}

}  // namespace

NetWindow::NetWindow(QWidget* parent, QSize image_size)
    : QWidget(parent), view_(screen_size(image_size).width(), screen_size(image_size).height()) {
    // The paint covers the whole client area: no background to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::ArrowCursor);
    display_set_repaint(&NetWindow::request_repaint, this);
}

NetWindow::~NetWindow() { display_set_repaint(nullptr, nullptr); }

void NetWindow::post_zoom(NetWindow* window, int x0, int y0, int x1, int y1) {
    if (window) QCoreApplication::postEvent(window, new NetZoomEvent(ZoomRect{x0, y0, x1, y1}));
}

void NetWindow::post_font_changed(NetWindow* window) {
    if (window) QCoreApplication::postEvent(window, new QEvent(QEvent::Type(kMsgFontChange)));
}

void NetWindow::request_repaint(void* self) {
    // Capture-and-draw thread: only post. Queued calls to a window that has gone are
    // dropped, and the destructor removes this function before the window goes.
    QMetaObject::invokeMethod(static_cast<NetWindow*>(self), "update", Qt::QueuedConnection);
}

bool NetWindow::event(QEvent* e) {
    if (e->type() == QEvent::Type(kMsgZoomRect)) {
        if (auto* zoom = dynamic_cast<NetZoomEvent*>(e)) view_.post_zoom(zoom->rect());
        return true;
    }
    if (e->type() == QEvent::Type(kMsgFontChange)) {
        view_.post_font_change();
        return true;
    }
    return QWidget::event(e);
}

void NetWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    view_.paint([&](const QImage& image) {
        const QRect client = rect();
        painter.drawImage(QPoint(0, 0), image, client.intersected(image.rect()));
        // Beyond the image (never, as long as it has the screen's size): black.
        if (client.width() > image.width())
            painter.fillRect(QRect(image.width(), 0, client.width() - image.width(), client.height()), Qt::black);
        if (client.height() > image.height())
            painter.fillRect(QRect(0, image.height(), client.width(), client.height() - image.height()), Qt::black);
    });
    painter.end();
    Q_EMIT painted();
}

void NetWindow::apply_size(int width, int height) {
    const int aspect = view_.resize(width, height);
    if (aspect >= 0) Q_EMIT aspectChanged(aspect);
}

void NetWindow::resizeEvent(QResizeEvent* e) { apply_size(e->size().width(), e->size().height()); }

void NetWindow::showEvent(QShowEvent*) {
    // Restored (or shown for the first time): resume with the whole map in view.
    apply_size(width(), height());
}

void NetWindow::hideEvent(QHideEvent*) {
    // Minimised or hidden: stop drawing, as a window with a zero dimension does.
    view_.resize(0, 0);
}
