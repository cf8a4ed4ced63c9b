// The Controls panel: seven sliders with their labels for the map's node scale, link
// scale, maximum node radius, maximum link width, node and link timeouts and font scale
// (display/controls.h does the arithmetic). A slider changes its setting on a line or
// page step and when its thumb is released; dragging changes nothing until then. A
// font-scale change sends the network window its font-changed message (1027).
//
// Threads: window thread.
#pragma once

#include <QLabel>
#include <QSlider>

#include "display/controls.h"
#include "display/qt/panel_box.h"

class NetWindow;

class ControlsPanel : public PanelBox {
    Q_OBJECT
public:
    ControlsPanel(NetWindow* map, QWidget* parent);

    [[nodiscard]] QSlider* slider(int row) const { return sliders_[row]; }
    [[nodiscard]] QLabel* label(int row) const { return labels_[row]; }
    // Shows every setting again (after the settings changed elsewhere).
    void show_settings();

protected:
    [[nodiscard]] QRect frame_rect(QSize size) const override;
    void place_content() override;

private:
    void on_action(int row, int action);
    void apply(int row, int value);

    NetWindow* map_;
    QSlider* sliders_[kControlRows] = {};
    QLabel* labels_[kControlRows] = {};
};
