#include "display/qt/load_panel.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QResizeEvent>
#include <QTime>

#include <cstring>

#include "ui/qtext.h"

namespace {

const QColor kGridColour(50, 50, 255);

}  // namespace

// --- the chart ---

StripChart::StripChart(QWidget* parent) : QWidget(parent), axis_font_(panel_font(12)) {
    setObjectName("LOAD");
    setAttribute(Qt::WA_OpaquePaintEvent);
    text_height_ = QFontMetrics(axis_font_).height();
    connect(&sample_timer_, &QTimer::timeout, this, &StripChart::sample);
    connect(&mark_timer_, &QTimer::timeout, this, [this] { mark_now(); });
    sample_timer_.start(kChartSampleMs);
    mark_timer_.start(kChartMarkMs);
    rebuild();
    // Once right after creation, then every second.
    QTimer::singleShot(0, this, &StripChart::sample);
}

void StripChart::rebuild() {
    const int w = std::max(width(), 1), h = std::max(height(), 1);
    image_ = QImage(w + kChartMargin, h, QImage::Format_RGB32);
    chart_height_ = ::chart_height(h, axis_height_, text_height_);
    image_.fill(Qt::white);
    QPainter p(&image_);
    p.fillRect(QRect(0, chart_height_, image_.width(), h - chart_height_), panel_menu_colour());
    p.setPen(kGridColour);
    const GridRows grid = chart_grid_rows(chart_height_);
    for (int row : grid.row) p.drawLine(0, row, image_.width() - 1, row);
    p.end();
    label_ = QImage(kChartLabelWidth, kChartLabelHeight, QImage::Format_RGB32);
    draw_label(0, true);
}

void StripChart::draw_label(int value, bool first_eight) {
    label_.fill(Qt::white);
    QPainter p(&label_);
    p.setFont(label_font_set_ ? label_font_ : font());
    p.setPen(Qt::black);
    const std::string text = chart_label_text(ui_engine_text(format_), value, first_eight);
    p.drawText(QRect(0, 0, label_.width(), label_.height()), Qt::AlignLeft | Qt::AlignTop, ui_text(text.c_str()));
}

void StripChart::sample() {
    const bool late = clock_.sample();
    const int v = watched_ ? watched_->load(std::memory_order_relaxed) : 0;
    const int bar = chart_bar(chart_height_, v);
    draw_label(v, false);
    // Scroll the whole image one pixel to the left; the last column stays as it was.
    const int row_bytes = static_cast<int>(image_.bytesPerLine());
    const int pixel = image_.depth() / 8;
    for (int y = 0; y < image_.height(); ++y) {
        uchar* line = image_.scanLine(y);
        std::memmove(line, line + pixel, static_cast<size_t>(row_bytes - pixel));
    }
    if (bar != 0) {
        const BarRows rows = chart_bar_rows(chart_height_, bar);
        const int x = width() - 1;
        for (int y = rows.first; y <= rows.last; ++y)
            if (x >= 0 && y >= 0 && y < image_.height()) image_.setPixel(x, y, 0xff000000u);
    }
    if (zero_after_ && watched_) watched_->store(0, std::memory_order_relaxed);
    update();
    if (late) mark_now();
}

void StripChart::mark_now() {
    const QTime t = QTime::currentTime();
    time_mark(t.hour(), t.minute(), t.second());
}

void StripChart::time_mark(int hour, int minute, int second) {
    if (!clock_.mark()) return;
    const TimeMark m = chart_time_mark(hour, minute, second, width() - 1);
    const QString text = ui_text(chart_time_text(m).c_str());
    QPainter p(&image_);
    p.setFont(axis_font_);
    p.setPen(Qt::black);
    const int band_top = chart_height_;
    const int text_width = QFontMetrics(axis_font_).horizontalAdvance(text);
    p.drawText(QRect(m.column - text_width / 2, band_top + axis_height_, text_width, text_height_),
               Qt::AlignLeft | Qt::AlignTop, text);
    p.drawLine(m.column, band_top, m.column, band_top + axis_height_ - 1);
}

QImage StripChart::composed() const {
    QImage shown = image_.copy(0, 0, std::max(width(), 1), std::max(height(), 1));
    QPainter p(&shown);
    // White stays transparent: the label's black text darkens the chart under it.
    p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    p.drawImage(5, 0, label_);
    return shown;
}

void StripChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, composed());
}

void StripChart::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    rebuild();  // the history is the image itself: a new size starts it afresh
}

bool StripChart::event(QEvent* e) {
    switch (static_cast<int>(e->type())) {
        case kMsgLoadWatch:
            watched_ = static_cast<std::atomic<int>*>(static_cast<WindowMessageEvent*>(e)->pointer());
            return true;
        case kMsgLoadFonts:
            if (auto* f = dynamic_cast<LoadFontsEvent*>(e)) {
                axis_font_ = f->axis_font;
                label_font_ = f->label_font;
                label_font_set_ = true;
                text_height_ = QFontMetrics(axis_font_).height();
                rebuild();
                update();
            }
            return true;
        case kMsgLoadText:
            if (auto* t = dynamic_cast<LoadTextEvent*>(e)) {
                format_ = t->format;
                draw_label(0, true);
                update();
            }
            return true;
        case kMsgLoadAxisHeight:
            axis_height_ = std::max(0, static_cast<int>(static_cast<WindowMessageEvent*>(e)->value()));
            rebuild();
            update();
            return true;
        case kMsgLoadZeroAfter:
            zero_after_ = static_cast<WindowMessageEvent*>(e)->value() != 0;
            return true;
        default: return QWidget::event(e);
    }
}

// --- the panel ---

LoadPanel::LoadPanel(QWidget* parent) : PanelBox("Network Load", QStringLiteral("Network Load"), parent) {
    chart_ = new StripChart(this);
}

QRect LoadPanel::frame_rect(QSize s) const {
    const int m = margin_;
    return QRect(m, m, s.width() - 2 * m, s.height() - 2 * m);
}

void LoadPanel::place_content() {
    const int t = QFontMetrics(frame()->font()).height() / 2 + 2;
    chart_->setGeometry(t, 2 * t, width() - 3 * t, height() - 4 * t);
}

bool LoadPanel::event(QEvent* e) {
    switch (static_cast<int>(e->type())) {
        case kMsgLoadFrameMargin:
            margin_ = static_cast<int>(static_cast<WindowMessageEvent*>(e)->value());
            relayout();
            return true;
        case kMsgLoadText:
            if (auto* t = dynamic_cast<LoadTextEvent*>(e)) set_caption(t->caption);
            [[fallthrough]];
        case kMsgLoadWatch:
        case kMsgLoadFonts:
        case kMsgLoadAxisHeight:
        case kMsgLoadZeroAfter: {
            // Forwarded to the chart as it is (a posted event is owned by the loop, so
            // it is handed on synchronously).
            return QCoreApplication::sendEvent(chart_, e);
        }
        default: return PanelBox::event(e);
    }
}
