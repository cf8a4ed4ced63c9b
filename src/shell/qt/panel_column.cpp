#include "shell/qt/panel_column.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>

#include <algorithm>

#include "ui/window_messages.h"
#include "ui/qtext.h"
#include "display/qt/controls_panel.h"
#include "display/qt/load_panel.h"
#include "display/qt/netwindow.h"
#include "display/qt/panel_box.h"
#include "display/qt/protocol_key.h"
#include "display/qt/statistics_panel.h"
#include "display/qt/zoom_box.h"
#include "display/statistics.h"

namespace {

constexpr int kScrollBarWidth = 16;

// PENDING (panels): an empty panel standing where a real one will; it shows its name
// so that the column's layout can be seen.
class EmptyPanel : public QFrame {
public:
    EmptyPanel(const char* name, QWidget* parent) : QFrame(parent) {
        setObjectName(name);
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        auto* label = new QLabel(ui_text(name), this);
        label->setEnabled(false);
        label->move(6, 4);
    }
};

// The display panels (display/qt); null for the places they do not fill.
QWidget* create_display_panel(PanelIndex index, QWidget* network_window, QWidget* parent) {
    auto* map = qobject_cast<NetWindow*>(network_window);
    switch (index) {
        case kPanelLoad: return new LoadPanel(parent);
        case kPanelControls: return new ControlsPanel(map, parent);
        case kPanelProtocolKey: return new ProtocolKeyPanel(parent);
        case kPanelZoomBox: return new ZoomBox(map, parent);
        case kPanelStatistics: return new StatisticsPanel(parent);
        default: return nullptr;
    }
}

}  // namespace

PanelColumn::PanelColumn(QWidget* network_window, QWidget* parent) : QFrame(parent) {
    setObjectName("Panel");
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    axis_font_ = panel_font(13, true, true);
    label_font_ = panel_font(12);

    viewport_ = new QWidget(this);
    bar_ = new QScrollBar(Qt::Vertical, this);
    bar_->setRange(0, kScrollPositions - 1);
    bar_->setSingleStep(1);
    bar_->setPageStep(1);
    bar_->setValue(0);
    connect(bar_, &QAbstractSlider::actionTriggered, this, &PanelColumn::on_scroll_action);

    // Created in this order: the chart first, the Zoom Box last.
    const PanelIndex order[] = {kPanelLoad, kPanelControls, kPanelProtocolKey, kPanelAlarmOutput, kPanelStatistics, kPanelZoomBox};
    for (PanelIndex i : order) {
        panels_[i] = create_display_panel(i, network_window, viewport_);
        if (!panels_[i]) panels_[i] = new EmptyPanel(kPanelPlaces[i].name, viewport_);
    }
    // The chart watches the load the capture pass publishes for the current network,
    // with a bold italic Arial 13 time axis and an Arial 12 label, and keeps the value.
    QWidget* load = panels_[kPanelLoad];
    WindowMessageEvent watch(kMsgLoadWatch, statistics_load_value());
    QCoreApplication::sendEvent(load, &watch);
    LoadFontsEvent fonts(axis_font_, label_font_);
    QCoreApplication::sendEvent(load, &fonts);
    WindowMessageEvent keep(kMsgLoadZeroAfter, nullptr, 0);
    QCoreApplication::sendEvent(load, &keep);
}

int PanelColumn::client_height() const { return contentsRect().height(); }

void PanelColumn::place_panels() {
    const int s = step();
    const int up = s > 0 ? s * position_ : 0;
    for (int i = 0; i < kPanelCount; ++i) {
        const PanelPlace& p = kPanelPlaces[i];
        panels_[i]->setGeometry(p.x, p.y - up, p.width, p.height);
    }
}

void PanelColumn::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    const QRect client = contentsRect();
    bar_->setGeometry(client.right() + 1 - kScrollBarWidth, client.top(), kScrollBarWidth, client.height());
    viewport_->setGeometry(client.left(), client.top(), std::max(0, client.width() - kScrollBarWidth), client.height());
    place_panels();
    bar_->setEnabled(client_height() <= kPanelsHeight);
}

int PanelColumn::scroll(ScrollRequest request, int thumb) {
    int change = 0;
    switch (request) {
        case ScrollRequest::LineUp:
        case ScrollRequest::PageUp: change = -1; break;
        case ScrollRequest::LineDown:
        case ScrollRequest::PageDown: change = 1; break;
        case ScrollRequest::ThumbTrack: change = thumb - position_; break;
        case ScrollRequest::Other: change = 0; break;
    }
    change = std::clamp(change, -position_, kScrollPositions - 1 - position_);
    if (change != 0) {
        position_ += change;
        place_panels();
    }
    bar_->setSliderPosition(position_);
    return change;
}

void PanelColumn::on_scroll_action(int action) {
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub: scroll(ScrollRequest::LineUp); break;
        case QAbstractSlider::SliderSingleStepAdd: scroll(ScrollRequest::LineDown); break;
        case QAbstractSlider::SliderPageStepSub: scroll(ScrollRequest::PageUp); break;
        case QAbstractSlider::SliderPageStepAdd: scroll(ScrollRequest::PageDown); break;
        case QAbstractSlider::SliderMove: scroll(ScrollRequest::ThumbTrack, bar_->sliderPosition()); break;
        default: scroll(ScrollRequest::Other); break;
    }
}

bool PanelColumn::event(QEvent* event) {
    if (event->type() == static_cast<QEvent::Type>(kMsgPanelAdapterChanged)) {
        // The Network Load chart watches the current network's load again.
        WindowMessageEvent watch(kMsgLoadWatch, statistics_load_value());
        QCoreApplication::sendEvent(panels_[kPanelLoad], &watch);
        ++adapter_changes_;
        return true;
    }
    return QFrame::event(event);
}
