#include "display/qt/zoom_box.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>

#include "display/qt/netwindow.h"
#include "display/zoom_overview.h"
#include "ui/window_messages.h"

namespace {

constexpr int kEdge = 2;  // the sunken edge around the overview

}  // namespace

ZoomView::ZoomView(NetWindow* map, QWidget* parent) : QWidget(parent), map_(map) {
    setObjectName("Zoom overview");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    if (map_) {
        connect(map_, &NetWindow::aspectChanged, this, &ZoomView::set_aspect);
        connect(map_, &NetWindow::painted, this, &ZoomView::refresh);
    }
    zoom_overview_install(true);
}

ZoomView::~ZoomView() { zoom_overview_install(false); }

void ZoomView::set_aspect(int percent) {
    control_.set_aspect(percent);
    update();
}

void ZoomView::refresh() {
    repaint_needed_ = true;
    update();
}

bool ZoomView::event(QEvent* e) {
    if (e->type() == QEvent::Type(kMsgMapAspect)) {
        set_aspect(static_cast<int>(static_cast<WindowMessageEvent*>(e)->value()));
        return true;
    }
    return QWidget::event(e);
}

void ZoomView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    control_.resize(width(), height());
    zoom_overview_resize(width(), height());
    display_ = QImage(std::max(width(), 1), std::max(height(), 1), QImage::Format_RGB32);
    display_.fill(Qt::black);
}

QImage ZoomView::composed() const {
    QImage shown = display_;
    const bool band = control_.dragging() || control_.shown();
    if (band) {
        const PixelRect& r = control_.rect();
        QPainter p(&shown);
        // Inverting: white XOR the pixel under it.
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.setPen(QPen(Qt::white, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(QPoint(std::min(r.x0, r.x1), std::min(r.y0, r.y1)),
                         QPoint(std::max(r.x0, r.x1) - 1, std::max(r.y0, r.y1) - 1)));
    }
    return shown;
}

void ZoomView::paintEvent(QPaintEvent*) {
    // While a new rectangle is dragged the overview stands still.
    if (repaint_needed_ && !control_.dragging()) {
        zoom_overview_take(&display_);
        repaint_needed_ = false;
    }
    QPainter p(this);
    p.drawImage(0, 0, composed());
}

void ZoomView::post(const ZoomPercent& r) { NetWindow::post_zoom(map_, r.x0, r.y0, r.x1, r.y1); }

void ZoomView::mousePressEvent(QMouseEvent* e) {
    const QPoint at = e->position().toPoint();
    if (e->button() == Qt::LeftButton) control_.left_down(at.x(), at.y());
    else if (e->button() == Qt::RightButton) control_.right_down(at.x(), at.y());
    update();
}

void ZoomView::mouseMoveEvent(QMouseEvent* e) {
    const QPoint at = e->position().toPoint();
    ZoomPercent r;
    if (control_.mouse_move(at.x(), at.y(), &r)) post(r);
    if (control_.dragging() || control_.moving()) update();
}

void ZoomView::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint at = e->position().toPoint();
    ZoomPercent r;
    bool send = false;
    if (e->button() == Qt::LeftButton) send = control_.left_up(at.x(), at.y(), &r);
    else if (e->button() == Qt::RightButton) send = control_.right_up(at.x(), at.y(), &r);
    if (send) post(r);
    update();
}

ZoomBox::ZoomBox(NetWindow* map, QWidget* parent) : PanelBox("Zoom Box", QStringLiteral("Zoom Control"), parent) {
    edge_ = new QFrame(this);
    edge_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    edge_->setLineWidth(kEdge);
    view_ = new ZoomView(map, edge_);
}

bool ZoomBox::event(QEvent* e) {
    if (e->type() == QEvent::Type(kMsgMapAspect)) return QCoreApplication::sendEvent(view_, e);
    return PanelBox::event(e);
}

QRect ZoomBox::frame_rect(QSize s) const { return QRect(5, 0, s.width() - 5, s.height()); }

void ZoomBox::place_content() {
    edge_->setGeometry(15, 25, width() - 30, height() - 40);
    view_->setGeometry(edge_->contentsRect());
}
