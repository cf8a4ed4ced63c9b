#include "display/qt/protocol_key.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QWheelEvent>

#include "display/cfocus.h"
#include "display/palette.h"
#include "display/qt/focus_builder.h"
#include "ui/qtext.h"

namespace {

constexpr int kTitleTop = 10;
constexpr int kFirstRowTop = 30;
constexpr int kTextLeft = 4;

}  // namespace

KeyView::KeyView(QWidget* parent) : QWidget(parent), bar_(new QScrollBar(Qt::Vertical, this)) {
    setObjectName("Protocol key");
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
    bar_->hide();
    connect(bar_, &QScrollBar::valueChanged, this, [this](int v) {
        first_row_ = protocol_key_first_row(static_cast<int>(contents_.rows.size()), v);
        update();
    });
    connect(focus_signals(), &FocusSignals::focusChanged, this, &KeyView::show_focus);
    connect(focus_signals(), &FocusSignals::paletteChanged, this, qOverload<>(&QWidget::update));
    show_focus();
}

int KeyView::row_height() const { return fontMetrics().height(); }

QColor KeyView::row_colour(int index) {
    if (const LogicalPalette* lp = logical_palette(); lp && index >= 0 && index < kLogicalPaletteSize)
        return QColor::fromRgb(lp->entries[index]);
    const PaletteColour c = index >= 0 && index < kPaletteColours ? ::palette().colours[index] : PaletteColour{};
    return QColor(c.red, c.green, c.blue);
}

void KeyView::show_focus() {
    contents_ = protocol_key_rows(cfocus_current());
    const int extra = static_cast<int>(contents_.rows.size()) - kKeyRows;
    first_row_ = 0;
    {
        QSignalBlocker block(bar_);
        bar_->setRange(0, std::max(extra, 0));
        bar_->setValue(0);
    }
    bar_->setVisible(extra > 0);
    place_bar();
    update();
}

void KeyView::place_bar() {
    const int w = bar_->sizeHint().width();
    bar_->setGeometry(width() - w, 0, w, height());
}

void KeyView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    place_bar();
}

void KeyView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const int t = row_height();
    const int text_width = width() - kTextLeft - (bar_->isVisible() ? bar_->width() : 0);
    p.setPen(Qt::white);
    p.drawText(QRect(kTextLeft, kTitleTop, text_width, 2 * t), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               ui_text(contents_.title.c_str()));
    for (int i = 0; i < kKeyRows; ++i) {
        const size_t row = static_cast<size_t>(first_row_ + i);
        if (row >= contents_.rows.size()) break;
        const KeyRow& r = contents_.rows[row];
        if (r.colour == kKeyNoColour || r.text.empty()) continue;
        p.setPen(row_colour(r.colour));
        p.drawText(QRect(kTextLeft, kFirstRowTop + i * t, text_width, t), Qt::AlignLeft | Qt::AlignVCenter,
                   ui_text(r.text.c_str()));
    }
}

void KeyView::wheelEvent(QWheelEvent* e) {
    if (!bar_->isVisible()) return e->ignore();
    const int steps = e->angleDelta().y() / 120;
    bar_->setValue(bar_->value() - steps);
    e->accept();
}

void KeyView::contextMenuEvent(QContextMenuEvent* e) {
    QMenu menu(this);
    QAction* editor = menu.addAction(QStringLiteral("Protocol Editor"));
    editor->setData(kCmdProtocolEditor);
    if (menu.exec(e->globalPos()) == editor) Q_EMIT protocolEditorRequested();
}

ProtocolKeyPanel::ProtocolKeyPanel(QWidget* parent)
    : PanelBox("Protocol Key", QStringLiteral("Protocol Key"), parent) {
    edge_ = new QFrame(this);
    edge_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    edge_->setLineWidth(2);
    key_ = new KeyView(edge_);
    connect(key_, &KeyView::protocolEditorRequested, this, [this] { focus_builder_run(window()); });
}

QRect ProtocolKeyPanel::frame_rect(QSize s) const { return QRect(5, 0, s.width() - 20, s.height()); }

void ProtocolKeyPanel::place_content() {
    edge_->setGeometry(10, 15, width() - 30, height() - 20);
    key_->setGeometry(edge_->contentsRect());
}
