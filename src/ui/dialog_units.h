// Dialog units: the size of a dialog laid out in units of its font, as dialogs are
// described (a quarter of the average character width across, an eighth of the
// character height down).
#pragma once

#include <QFontMetrics>
#include <QSize>
#include <QWidget>

[[nodiscard]] inline QSize dialog_units(const QWidget* w, int dx, int dy) {
    const QFontMetrics fm(w->font());
    return QSize(dx * fm.averageCharWidth() / 4, dy * fm.height() / 8);
}
