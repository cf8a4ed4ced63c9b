#include "display/qt/controls_panel.h"

#include <QFontMetrics>

#include "display/qt/netwindow.h"
#include "ui/qtext.h"

ControlsPanel::ControlsPanel(NetWindow* map, QWidget* parent)
    : PanelBox("Controls", QStringLiteral("Controls"), parent), map_(map) {
    for (int row = 0; row < kControlRows; ++row) {
        auto* s = new QSlider(Qt::Horizontal, this);
        s->setRange(kSliderMin, kSliderMax);
        s->setSingleStep(kSliderLineStep);
        s->setPageStep(kSliderPageStep);
        s->setTracking(false);
        s->setObjectName(controls_label(row));
        connect(s, &QAbstractSlider::actionTriggered, this, [this, row](int action) { on_action(row, action); });
        connect(s, &QAbstractSlider::sliderReleased, this, [this, row] {
            apply(row, controls_step(sliders_[row]->value(), SliderEvent::ThumbReleased, sliders_[row]->sliderPosition()));
        });
        sliders_[row] = s;
        auto* l = new QLabel(ui_text(controls_label(row)), this);
        l->setAlignment(Qt::AlignCenter);
        labels_[row] = l;
    }
    show_settings();
}

void ControlsPanel::show_settings() {
    for (int row = 0; row < kControlRows; ++row) {
        QSignalBlocker block(sliders_[row]);
        sliders_[row]->setValue(controls_initial_value(row));
    }
}

void ControlsPanel::on_action(int row, int action) {
    SliderEvent e = SliderEvent::Other;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub: e = SliderEvent::LineLeft; break;
        case QAbstractSlider::SliderSingleStepAdd: e = SliderEvent::LineRight; break;
        case QAbstractSlider::SliderPageStepSub: e = SliderEvent::PageLeft; break;
        case QAbstractSlider::SliderPageStepAdd: e = SliderEvent::PageRight; break;
        case QAbstractSlider::SliderMove: return;  // dragging: nothing until the release
        default: return;
    }
    // The slider has not taken the step yet: value() is still the position before it.
    const int v = controls_step(sliders_[row]->value(), e);
    sliders_[row]->setSliderPosition(v);
    apply(row, v);
}

void ControlsPanel::apply(int row, int value) {
    int values[kControlRows];
    for (int i = 0; i < kControlRows; ++i) values[i] = sliders_[i]->sliderPosition();
    values[row] = value;
    {
        QSignalBlocker block(sliders_[row]);
        sliders_[row]->setValue(value);
    }
    if (controls_apply(row, value, values)) NetWindow::post_font_changed(map_);
}

QRect ControlsPanel::frame_rect(QSize s) const { return QRect(5, 0, s.width() - 5, s.height()); }

void ControlsPanel::place_content() {
    const int t = QFontMetrics(labels_[0]->font()).height();
    for (int row = 0; row < kControlRows; ++row) {
        const ControlRect s = controls_slider_rect(row, t, width());
        sliders_[row]->setGeometry(s.x, s.y, s.width, s.height);
        const ControlRect l = controls_label_rect(row, t, width());
        labels_[row]->setGeometry(l.x, l.y, l.width, l.height);
    }
}
