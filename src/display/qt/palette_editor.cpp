#include "display/qt/palette_editor.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include "display/focus_edit.h"
#include "display/palette.h"
#include "display/qt/focus_builder.h"
#include "display/qt/protocol_key.h"

namespace {

constexpr int kSliderTop = 30;
constexpr int kSliderHeight = 180;
constexpr int kSliderLeft = 140;
constexpr int kSliderSpacing = 40;
constexpr int kFrameGap = 2;  // the selection frame sits this far outside its box
constexpr const char* kChannelNames[3] = {"RED", "GREEN", "BLUE"};

// One palette colour; a click selects it in the editor.
class ColourBox : public QWidget {
public:
    ColourBox(int index, PaletteEditor* editor) : QWidget(editor), index_(index), editor_(editor) {
        setObjectName(QStringLiteral("Colour %1").arg(index));
        const BoxRect b = palette_box_rect(index);
        setGeometry(b.x, b.y, b.width, b.height);
        connect(focus_signals(), &FocusSignals::paletteChanged, this, qOverload<>(&QWidget::update));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), KeyView::row_colour(index_));
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) editor_->select(index_);
    }

private:
    int index_;
    PaletteEditor* editor_;
};

int component(const PaletteColour& c, int channel) { return channel == kRed ? c.red : channel == kGreen ? c.green : c.blue; }

}  // namespace

PaletteEditor::PaletteEditor(QWidget* parent) : QDialog(parent) {
    setObjectName("Palette Editor");
    setWindowTitle(QStringLiteral("Palette Editor"));
    setModal(true);
    for (int i = 0; i < kPaletteColours; ++i) boxes_[i] = new ColourBox(i, this);
    for (int c = 0; c < 3; ++c) {
        auto* heading = new QLabel(QString::fromLatin1(kChannelNames[c]), this);
        heading->setAlignment(Qt::AlignHCenter);
        heading->setGeometry(kSliderLeft + c * kSliderSpacing - 10, 10, kSliderSpacing, 16);
        auto* s = new QSlider(Qt::Vertical, this);
        s->setObjectName(QString::fromLatin1(kChannelNames[c]));
        s->setRange(0, kPaletteSliderMax);
        s->setSingleStep(1);
        s->setPageStep(kPaletteSliderPage);
        s->setTickInterval(16);
        s->setTickPosition(QSlider::TicksRight);
        // Position 0 at the top: the top is full intensity (255 - position).
        s->setInvertedAppearance(true);
        s->setGeometry(kSliderLeft + c * kSliderSpacing, kSliderTop, 24, kSliderHeight);
        connect(s, &QAbstractSlider::actionTriggered, this, [this, c](int action) { on_action(c, action); });
        connect(s, &QAbstractSlider::sliderReleased, this, [this, c] { on_released(c); });
        sliders_[c] = s;
    }
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    ok->setGeometry(30, 230, 80, 26);
    cancel->setGeometry(130, 230, 80, 26);
    // The edits are in effect already: both buttons only close.
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(kSliderLeft + 3 * kSliderSpacing + 10, 270);
}

QPushButton* PaletteEditor::button(const QString& text) const {
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

void PaletteEditor::select(int index) {
    if (index < 0 || index >= kPaletteColours) return;
    selected_ = index;
    const PaletteColour& c = ::palette().colours[index];
    for (int ch = 0; ch < 3; ++ch) {
        QSignalBlocker block(sliders_[ch]);
        sliders_[ch]->setValue(palette_slider_position(component(c, ch)));
    }
    update();  // the frame moves to the new selection
}

void PaletteEditor::on_action(int channel, int action) {
    PaletteSliderEvent e;
    switch (action) {
        case QAbstractSlider::SliderSingleStepAdd: e = PaletteSliderEvent::LineUp; break;
        case QAbstractSlider::SliderSingleStepSub: e = PaletteSliderEvent::LineDown; break;
        case QAbstractSlider::SliderPageStepAdd: e = PaletteSliderEvent::PageUp; break;
        case QAbstractSlider::SliderPageStepSub: e = PaletteSliderEvent::PageDown; break;
        case QAbstractSlider::SliderMove: e = PaletteSliderEvent::ThumbTrack; break;
        default: e = PaletteSliderEvent::Other; break;
    }
    QSlider* s = sliders_[channel];
    int v = 0;
    bool set = false;
    // value() is the position before the step; sliderPosition() where the thumb is now.
    if (!palette_slider_value(e, s->value(), s->sliderPosition(), &v, &set)) return;
    s->setSliderPosition(v);
    apply(channel, v);
}

void PaletteEditor::on_released(int channel) {
    QSlider* s = sliders_[channel];
    int v = 0;
    bool set = false;
    if (!palette_slider_value(PaletteSliderEvent::ThumbPosition, s->sliderPosition(), s->sliderPosition(), &v, &set))
        return;
    apply(channel, v);
}

void PaletteEditor::apply(int channel, int value) {
    if (selected_ < 0) return;
    palette_edit(selected_, static_cast<PaletteChannel>(channel), value);
    Q_EMIT focus_signals()->paletteChanged();
}

void PaletteEditor::paintEvent(QPaintEvent* e) {
    QDialog::paintEvent(e);
    if (selected_ < 0) return;
    const BoxRect b = palette_box_rect(selected_);
    QPainter p(this);
    // Inverting, so the frame shows on any background.
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(b.x - kFrameGap - 1, b.y - kFrameGap - 1, b.width + 2 * kFrameGap + 1, b.height + 2 * kFrameGap + 1));
}

void palette_editor_run(QWidget* owner) {
    PaletteEditor dialog(owner);
    dialog.exec();
}
