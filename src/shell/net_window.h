// The network window: the left part of the main window, where the map is shown.
// PENDING (map): the map's window replaces this one; until then it is an empty black
// area that answers the map's private messages by ignoring them.
#pragma once

#include <QWidget>

class NetWindow : public QWidget {
    Q_OBJECT
public:
    explicit NetWindow(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
