#include "display/qt/statistics_panel.h"

#include <QPainter>
#include <QResizeEvent>

#include "model/runtime.h"
#include "ui/qtext.h"
#include "ui/window_messages.h"

StatisticsView::StatisticsView(QWidget* parent) : QWidget(parent) {
    setObjectName("Statistics values");
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The labels from the start; the values come with the first refresh.
    statistics_rows(StatisticsValues{}, "", rows_);
    for (StatisticsRow& r : rows_) r.value.clear();
}

void StatisticsView::refresh() {
    StatisticsValues v;
    (void)statistics_take(&v);
    statistics_rows(v, runtime_text(), rows_);
    draw();
    update();
}

void StatisticsView::draw() {
    if (image_.isNull()) return;
    const QColor menu = panel_menu_colour();
    image_.fill(menu);
    QPainter p(&image_);
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm(font());
    const int row = fm.height() + fm.leading();
    // Right-aligned at half the width; further right when a label is wider than that,
    // so that no label is ever cut.
    int mid = image_.width() / 2;
    for (const StatisticsRow& r : rows_) mid = std::max(mid, fm.horizontalAdvance(ui_text(r.label)) + 1);
    for (int i = 0; i < kStatisticsRows; ++i) {
        const int y = i * row;
        p.drawText(QRect(0, y, mid, row), Qt::AlignRight | Qt::AlignVCenter, ui_text(rows_[i].label));
        p.drawText(QRect(mid + 5, y, image_.width() - mid - 5, row), Qt::AlignLeft | Qt::AlignVCenter,
                   ui_text(rows_[i].value.c_str()));
    }
}

void StatisticsView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    image_ = QImage(std::max(width(), 1), std::max(height(), 1), QImage::Format_RGB32);
    draw();
}

void StatisticsView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, image_);
}

StatisticsPanel::StatisticsPanel(QWidget* parent) : PanelBox("Statistics", QStringLiteral("Statistics"), parent) {
    view_ = new StatisticsView(this);
}

bool StatisticsPanel::event(QEvent* e) {
    if (e->type() == QEvent::Type(kMsgStatisticsRefresh)) {
        ++refreshes_;
        view_->refresh();
        return true;
    }
    return PanelBox::event(e);
}

QRect StatisticsPanel::frame_rect(QSize s) const { return QRect(5, 0, s.width() - 20, s.height()); }

void StatisticsPanel::place_content() { view_->setGeometry(10, 15, width() - 30, height() - 18); }
