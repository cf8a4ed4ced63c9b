// The Zoom Box panel ("Zoom Control"): an overview of the whole map on which the nodes
// of the last frame are marked, and on which the user drags the rectangle to show in
// the network window (display/zoom.h has the state machine, display/zoom_overview.h
// the overview image).
//
// - Left drag: a new rectangle, fitted to the map's aspect, posted to the network
//   window (1026) on release. A click (under 4 pixels across) while zoomed returns to
//   the whole map; a second click brings the last rectangle back.
// - Right drag inside the rectangle: moves it, held inside the overview, posted at every
//   move and on release.
// - The network window's aspect (1025, its aspectChanged signal or a kMsgMapAspect
//   event with the percent as value) hides the zoom; its painted signal refreshes the
//   overview.
//
// Threads: window thread. The capture-and-draw thread marks the overview inside its
// render pass; the overview takes the drawing lock when the paint takes a frame.
#pragma once

#include <QFrame>
#include <QImage>

#include "display/qt/panel_box.h"
#include "display/zoom.h"

class NetWindow;

class ZoomView : public QWidget {
    Q_OBJECT
public:
    ZoomView(NetWindow* map, QWidget* parent);
    ~ZoomView() override;

    [[nodiscard]] const ZoomControl& control() const { return control_; }
    [[nodiscard]] const QImage& display_image() const { return display_; }
    // What the paint shows: the display image with the rectangle inverted.
    [[nodiscard]] QImage composed() const;

public Q_SLOTS:
    void set_aspect(int percent);
    // After each paint of the map: the next paint takes the newly marked frame.
    void refresh();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void post(const ZoomPercent& rect);

    NetWindow* map_;
    ZoomControl control_;
    QImage display_;
    bool repaint_needed_ = false;
};

class ZoomBox : public PanelBox {
    Q_OBJECT
public:
    ZoomBox(NetWindow* map, QWidget* parent);
    [[nodiscard]] ZoomView* view() const { return view_; }

protected:
    bool event(QEvent* event) override;
    [[nodiscard]] QRect frame_rect(QSize size) const override;
    void place_content() override;

private:
    QFrame* edge_;
    ZoomView* view_;
};
