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
    StatisticsRow next[kStatisticsRows];
    statistics_rows(v, runtime_text(), next);
    bool changed = false;
    for (int i = 0; i < kStatisticsRows; ++i) {
        if (next[i].value == rows_[i].value) continue;
        rows_[i].value = std::move(next[i].value);
        changed = true;
    }
    if (!changed) return;
    draw_values();
    update();
}

void StatisticsView::draw_labels() {
    const QColor menu = panel_menu_colour();
    labels_ = QImage(std::max(width(), 1), std::max(height(), 1), QImage::Format_RGB32);
    labels_.fill(menu);
    const QFontMetrics fm(font());
    const int row = fm.height() + fm.leading();
    // Right-aligned at half the width; further right when a label is wider than that,
    // so that no label is ever cut.
    split_ = labels_.width() / 2;
    for (const StatisticsRow& r : rows_) split_ = std::max(split_, fm.horizontalAdvance(ui_text(r.label)) + 1);
    QPainter p(&labels_);
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    for (int i = 0; i < kStatisticsRows; ++i)
        p.drawText(QRect(0, i * row, split_, row), Qt::AlignRight | Qt::AlignVCenter, ui_text(rows_[i].label));
}

void StatisticsView::draw_values() {
    if (labels_.isNull()) return;
    image_ = labels_.copy();
    QPainter p(&image_);
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm(font());
    const int row = fm.height() + fm.leading();
    // Left-aligned from a baseline: the plain text path, without a layout per row.
    const int baseline = (row - fm.height()) / 2 + fm.ascent();
    for (int i = 0; i < kStatisticsRows; ++i) p.drawText(QPoint(split_ + 5, i * row + baseline), ui_text(rows_[i].value.c_str()));
}

void StatisticsView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    draw_labels();
    draw_values();
}

void StatisticsView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, image_);
}

StatisticsPanel::StatisticsPanel(QWidget* parent) : PanelBox("Statistics", QStringLiteral("Statistics"), parent) {
    view_ = new StatisticsView(this);
    later_.setSingleShot(true);
    connect(&later_, &QTimer::timeout, this, &StatisticsPanel::take);
}

void StatisticsPanel::take() {
    ++refreshes_;
    since_draw_.start();
    view_->refresh();
}

bool StatisticsPanel::event(QEvent* e) {
    if (e->type() == QEvent::Type(kMsgStatisticsRefresh)) {
        constexpr qint64 kDrawIntervalMs = 500;
        if (later_.isActive()) return true;  // taken when the time is up
        const qint64 since = since_draw_.isValid() ? since_draw_.elapsed() : kDrawIntervalMs;
        if (since >= kDrawIntervalMs) take();
        else later_.start(static_cast<int>(kDrawIntervalMs - since));
        return true;
    }
    return PanelBox::event(e);
}

QRect StatisticsPanel::frame_rect(QSize s) const { return QRect(5, 0, s.width() - 20, s.height()); }

void StatisticsPanel::place_content() { view_->setGeometry(10, 15, width() - 30, height() - 18); }
