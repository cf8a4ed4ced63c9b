#include "display/qt/panel_box.h"

#include <QApplication>
#include <QPalette>
#include <QResizeEvent>

#include <algorithm>

QFont panel_font(int height, bool bold, bool italic) {
    QFont f(QStringLiteral("Arial"));
    // A font "of height 13" is one whose character cell is 13 pixels high; Arial's em is
    // 0.87 of its cell.
    f.setPixelSize(std::max(1, int(height * 0.87 + 0.5)));
    f.setWeight(bold ? QFont::Bold : QFont::Normal);
    f.setItalic(italic);
    return f;
}

QColor panel_menu_colour() { return QApplication::palette().color(QPalette::Button); }

PanelBox::PanelBox(const char* object_name, const QString& caption, QWidget* parent)
    : QWidget(parent), frame_(new QGroupBox(caption, this)) {
    setObjectName(object_name);
    setFont(panel_font());
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, panel_menu_colour());
    setPalette(p);
    frame_->setFont(panel_font());
    frame_->lower();
}

void PanelBox::relayout() {
    frame_->setGeometry(frame_rect(size()));
    place_content();
}

void PanelBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}
